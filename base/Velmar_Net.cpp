#include "base/Velmar_Net.h"

#include <array>
#include <atomic>
#include <string_view>

#include "base/Velmar_WinVer.h"

namespace {

constexpr std::string_view kNames[] = {
    "NetServerGetInfo",
    "NetServerSetInfo",
    "NetShareGetInfo",
    "NetShareSetInfo",
    "NetSessionDel",
    "NetConnectionEnum",
    "NetUserAdd",
    "NetUserEnum",
    "NetUserGetInfo",
    "NetUserSetInfo",
    "NetUserDel",
    "NetUserGetGroups",
    "NetUserSetGroups",
    "NetUserGetLocalGroups",
    "NetUserModalsGet",
    "NetUserModalsSet",
    "NetUserChangePassword",
    "NetGroupAdd",
    "NetGroupAddUser",
    "NetGroupEnum",
    "NetGroupGetInfo",
    "NetGroupSetInfo",
    "NetGroupDel",
    "NetGroupDelUser",
    "NetGroupGetUsers",
    "NetGroupSetUsers",
    "NetLocalGroupAdd",
    "NetLocalGroupAddMember",
    "NetLocalGroupEnum",
    "NetLocalGroupGetInfo",
    "NetLocalGroupDel",
    "NetLocalGroupDelMember",
    "NetLocalGroupSetInfo",
    "NetLocalGroupGetMembers",
    "NetLocalGroupSetMembers",
    "NetLocalGroupAddMembers",
    "NetLocalGroupDelMembers",
    "NetQueryDisplayInformation",
    "NetGetDisplayInformationIndex",
    "NetGetDCName",
    "NetGetAnyDCName",
    "I_NetLogonControl",
    "NetEnumerateTrustedDomains",
    "NetApiBufferAllocate",
    "NetApiBufferFree",
    "NetApiBufferReallocate",
    "NetApiBufferSize",
    "NetapipBufferAllocate",
    "NetServerEnum",
    "NetServerEnumEx",
    "NetServerDiskEnum",
    "NetServerComputerNameAdd",
    "NetServerComputerNameDel",
    "NetServerTransportAdd",
    "NetServerTransportAddEx",
    "NetServerTransportDel",
    "NetServerTransportEnum",
    "NetShareAdd",
    "NetShareEnum",
    "NetShareEnumSticky",
    "NetShareDel",
    "NetShareDelSticky",
    "NetShareCheck",
    "NetSessionEnum",
    "NetSessionGetInfo",
    "NetFileGetInfo",
};

// The position of a name in kNames.
constexpr size_t SlotOf(std::string_view name) {
  for (size_t i = 0; i < std::size(kNames); ++i)
    if (kNames[i] == name) return i;
  return std::size(kNames);
}

// Slots of the seven functions the program calls.
enum Slot : size_t {
  kServerGetInfo = SlotOf("NetServerGetInfo"),
  kUserEnum = SlotOf("NetUserEnum"),
  kGroupEnum = SlotOf("NetGroupEnum"),
  kLocalGroupEnum = SlotOf("NetLocalGroupEnum"),
  kGetAnyDCName = SlotOf("NetGetAnyDCName"),
  kApiBufferFree = SlotOf("NetApiBufferFree"),
  kServerEnum = SlotOf("NetServerEnum"),
};
static_assert(std::size(kNames) == 66);
static_assert(kApiBufferFree == 44 && kServerEnum == 48);

// Written by the start and end steps. The slots are atomic because a scan
// thread left running when its list went may still call a wrapper while the
// end steps empty the table.
HMODULE gLibrary = nullptr;
std::array<std::atomic<FARPROC>, 66> gSlots{};
// Wrapper calls in progress: the end step leaves the library loaded rather
// than unload it under a call that has not returned.
std::atomic<int> gCallsInProgress{0};

// Calls the entry point of a slot, or answers ERROR_CALL_NOT_IMPLEMENTED
// when it was not found.
template <typename Fn, typename... Args>
NET_API_STATUS CallEntry(Slot slot, Args... args) {
  struct InProgress {
    InProgress() { ++gCallsInProgress; }
    ~InProgress() { --gCallsInProgress; }
  } inProgress;
  const FARPROC entry = gSlots[slot].load();
  if (entry == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  // Through the generic function pointer type, as GetProcAddress results go.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(entry))(args...);
}

void EmptyTable() {
  for (std::atomic<FARPROC>& slot : gSlots) slot.store(nullptr);
}

}  // namespace

const std::vector<std::string>& NetApiNames() {
  static const std::vector<std::string> names(std::begin(kNames), std::end(kNames));
  return names;
}

void NetApiStart() {
  static_assert(std::tuple_size_v<decltype(gSlots)> == 66);
  EmptyTable();
  gLibrary = nullptr;
  if (!IsWinNT()) return;
  gLibrary = LoadLibraryA("netapi32.dll");
  for (size_t i = 0; i < std::size(kNames); ++i)
    gSlots[i].store(gLibrary != nullptr ? GetProcAddress(gLibrary, std::string(kNames[i]).c_str())
                                        : nullptr);
}

void NetApiEnd() {
  // The table is emptied first: a wrapper called from now on calls nothing,
  // and one already calling is counted.
  EmptyTable();
  if (IsWinNT() && gLibrary != nullptr && gCallsInProgress.load() == 0) FreeLibrary(gLibrary);
  gLibrary = nullptr;
}

bool NetApiResolved(const std::string& name) {
  const size_t slot = SlotOf(name);
  return slot < gSlots.size() && gSlots[slot].load() != nullptr;
}

HMODULE NetApiLibrary() { return gLibrary; }

FARPROC NetApiReplaceEntry(const std::string& name, FARPROC entry) {
  const size_t slot = SlotOf(name);
  if (slot >= gSlots.size()) return nullptr;
  return gSlots[slot].exchange(entry);
}

namespace VelmarNet {

NET_API_STATUS NetUserEnum(LPCWSTR servername, DWORD level, DWORD filter, LPBYTE* bufptr,
                           DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                           LPDWORD resume_handle) {
  return CallEntry<decltype(&::NetUserEnum)>(kUserEnum, servername, level, filter, bufptr,
                                             prefmaxlen, entriesread, totalentries, resume_handle);
}

NET_API_STATUS NetGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                            LPDWORD entriesread, LPDWORD totalentries, PDWORD_PTR resume_handle) {
  return CallEntry<decltype(&::NetGroupEnum)>(kGroupEnum, servername, level, bufptr, prefmaxlen,
                                              entriesread, totalentries, resume_handle);
}

NET_API_STATUS NetLocalGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                 LPDWORD entriesread, LPDWORD totalentries,
                                 PDWORD_PTR resumehandle) {
  return CallEntry<decltype(&::NetLocalGroupEnum)>(kLocalGroupEnum, servername, level, bufptr,
                                                   prefmaxlen, entriesread, totalentries,
                                                   resumehandle);
}

NET_API_STATUS NetServerEnum(LMCSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                             LPDWORD entriesread, LPDWORD totalentries, DWORD servertype,
                             LMCSTR domain, LPDWORD resume_handle) {
  return CallEntry<decltype(&::NetServerEnum)>(kServerEnum, servername, level, bufptr, prefmaxlen,
                                               entriesread, totalentries, servertype, domain,
                                               resume_handle);
}

NET_API_STATUS NetGetAnyDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE* bufptr) {
  return CallEntry<decltype(&::NetGetAnyDCName)>(kGetAnyDCName, servername, domainname, bufptr);
}

NET_API_STATUS NetServerGetInfo(LMSTR servername, DWORD level, LPBYTE* bufptr) {
  return CallEntry<decltype(&::NetServerGetInfo)>(kServerGetInfo, servername, level, bufptr);
}

NET_API_STATUS NetApiBufferFree(LPVOID Buffer) {
  return CallEntry<decltype(&::NetApiBufferFree)>(kApiBufferFree, Buffer);
}

// ---------------------------------------------------------------- helpers

WideString ToWide(const std::string& text) {
  if (text.empty()) return {};
  int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  WideString wide(static_cast<size_t>(length), WCHAR(0));
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string FromWide(LPCWSTR text) {
  if (text == nullptr || text[0] == 0) return {};
  int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), length, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(length - 1));  // without the terminating zero
  return narrow;
}

bool AnyDomainController(const std::string& domain, std::string& server) {
  NetBuffer controller;
  if (NetGetAnyDCName(nullptr, ToWide(domain).c_str(), controller.Receive()) != NERR_Success)
    return false;
  server = FromWide(reinterpret_cast<LPCWSTR>(controller.get()));
  if (server.rfind("\\\\", 0) == 0) server.erase(0, 2);
  return true;
}

ServerArgument::ServerArgument(const std::string& server) {
  if (!server.empty()) server_ = ToWide("\\\\" + server);
}

void NetBuffer::Release() {
  if (buffer_ != nullptr) VelmarNet::NetApiBufferFree(buffer_);
  buffer_ = nullptr;
}

NET_API_STATUS EnumerateBatches(const BatchCall& call, const BatchShape& shape,
                                const std::function<void(const BYTE* record)>& record,
                                const std::function<bool()>& stop) {
  const auto stopped = [&stop] { return stop && stop(); };
  DWORD preferredLength = shape.preferredLength;
  DWORD_PTR resume = 0;
  int emptyInARow = 0;
  DWORD skip = 0;  // entries of this batch read before (after a restart)
  DWORD taken = 0;
  for (bool first = true;; first = false) {
    if (!first && stopped()) return EnumerationStopped;
    NetBuffer buffer;
    DWORD entriesRead = 0;
    DWORD totalEntries = 0;
    const DWORD_PTR resumeBefore = resume;
    const NET_API_STATUS status =
        call(preferredLength, buffer.Receive(), &entriesRead, &totalEntries, &resume);
    if (status != NERR_Success && status != ERROR_MORE_DATA) return status;
    const DWORD count = buffer.get() != nullptr ? entriesRead : 0;
    const bool last =
        status == NERR_Success || (shape.totalTellsTheEnd && (count == 0 || count == totalEntries));
    for (DWORD i = skip; i < count; ++i) {
      record(buffer.get() + static_cast<size_t>(i) * shape.stride);
      ++taken;
      if (stopped()) return EnumerationStopped;
    }
    if (last) return NERR_Success;
    skip = 0;
    if (resume != resumeBefore) {
      emptyInARow = 0;
    } else if (count == 0) {
      // One empty batch is asked again; a run of them is a server
      // repeating itself.
      if (++emptyInARow >= MaxEmptyBatches) return ERROR_MORE_DATA;
    } else {
      // Entries, but no way on: the rest in one call.
      if (preferredLength == MAX_PREFERRED_LENGTH) return ERROR_MORE_DATA;
      preferredLength = MAX_PREFERRED_LENGTH;
      resume = 0;
      skip = taken;
    }
  }
}

namespace {

// A record reader that hands the wide-character name at the start of each
// level-0 (or level-100/101) record on as a string.
template <typename Record>
std::function<void(const BYTE*)> NameReader(LPWSTR Record::*field,
                                            const std::function<void(const std::string&)>& name) {
  return [field, &name](const BYTE* record) {
    name(FromWide(reinterpret_cast<const Record*>(record)->*field));
  };
}

}  // namespace

NET_API_STATUS EnumerateUsers(const std::string& server,
                              const std::function<void(const std::string&)>& name) {
  const ServerArgument serverArgument(server);
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total, DWORD_PTR* resume) {
        DWORD handle = static_cast<DWORD>(*resume);
        const NET_API_STATUS status = VelmarNet::NetUserEnum(
            serverArgument.get(), 0, FILTER_NORMAL_ACCOUNT, buffer, length, read, total, &handle);
        *resume = handle;
        return status;
      },
      {AccountBatchLength, sizeof(USER_INFO_0)}, NameReader(&USER_INFO_0::usri0_name, name));
}

NET_API_STATUS EnumerateLocalGroups(const std::string& server,
                                    const std::function<void(const std::string&)>& name) {
  const ServerArgument serverArgument(server);
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total, DWORD_PTR* resume) {
        return VelmarNet::NetLocalGroupEnum(serverArgument.get(), 0, buffer, length, read, total,
                                            resume);
      },
      {AccountBatchLength, sizeof(LOCALGROUP_INFO_0)},
      NameReader(&LOCALGROUP_INFO_0::lgrpi0_name, name));
}

NET_API_STATUS EnumerateGroups(const std::string& server,
                               const std::function<void(const std::string&)>& name) {
  const ServerArgument serverArgument(server);
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total, DWORD_PTR* resume) {
        return VelmarNet::NetGroupEnum(serverArgument.get(), 0, buffer, length, read, total,
                                       resume);
      },
      {AccountBatchLength, sizeof(GROUP_INFO_0)}, NameReader(&GROUP_INFO_0::grpi0_name, name));
}

NET_API_STATUS EnumerateServers(DWORD level, DWORD serverType, const BatchShape& shape,
                                const std::function<void(const BYTE* record)>& record,
                                const std::function<bool()>& stop) {
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total, DWORD_PTR* resume) {
        DWORD handle = static_cast<DWORD>(*resume);
        const NET_API_STATUS status = VelmarNet::NetServerEnum(nullptr, level, buffer, length, read,
                                                               total, serverType, nullptr, &handle);
        *resume = handle;
        return status;
      },
      shape, record, stop);
}

NET_API_STATUS EnumerateDomains(const std::function<void(const std::string&)>& name) {
  return EnumerateServers(100, SV_TYPE_DOMAIN_ENUM, {4096, sizeof(SERVER_INFO_100)},
                          NameReader(&SERVER_INFO_100::sv100_name, name), {});
}

}  // namespace VelmarNet
