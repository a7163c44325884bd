#include "pickers/Velmar_Net.h"

#include <array>
#include <string_view>

#include "rights/Velmar_WinVer.h"

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

// Written only by the start and end steps, before and after every window or
// thread; read without a lock in between.
HMODULE gLibrary = nullptr;
std::array<FARPROC, 66> gSlots{};

template <typename Fn>
Fn Entry(Slot slot) {
  // Through the generic function pointer type, as GetProcAddress results go.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(gSlots[slot]));
}

}  // namespace

const std::vector<std::string>& NetApiNames() {
  static const std::vector<std::string> names(std::begin(kNames), std::end(kNames));
  return names;
}

void NetApiStart() {
  static_assert(std::tuple_size_v<decltype(gSlots)> == 66);
  gSlots.fill(nullptr);
  gLibrary = nullptr;
  if (!IsWinNT()) return;
  gLibrary = LoadLibraryA("netapi32.dll");
  for (size_t i = 0; i < std::size(kNames); ++i)
    gSlots[i] =
        gLibrary != nullptr ? GetProcAddress(gLibrary, std::string(kNames[i]).c_str()) : nullptr;
}

void NetApiEnd() {
  if (IsWinNT() && gLibrary != nullptr) FreeLibrary(gLibrary);
  gLibrary = nullptr;
  gSlots.fill(nullptr);
}

bool NetApiResolved(const std::string& name) {
  const size_t slot = SlotOf(name);
  return slot < gSlots.size() && gSlots[slot] != nullptr;
}

HMODULE NetApiLibrary() { return gLibrary; }

FARPROC NetApiReplaceEntry(const std::string& name, FARPROC entry) {
  const size_t slot = SlotOf(name);
  if (slot >= gSlots.size()) return nullptr;
  FARPROC previous = gSlots[slot];
  gSlots[slot] = entry;
  return previous;
}

namespace VelmarNet {

NET_API_STATUS NetUserEnum(LPCWSTR servername, DWORD level, DWORD filter, LPBYTE* bufptr,
                           DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                           LPDWORD resume_handle) {
  auto fn = Entry<decltype(&::NetUserEnum)>(kUserEnum);
  if (fn == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return fn(servername, level, filter, bufptr, prefmaxlen, entriesread, totalentries,
            resume_handle);
}

NET_API_STATUS NetGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                            LPDWORD entriesread, LPDWORD totalentries, PDWORD_PTR resume_handle) {
  auto fn = Entry<decltype(&::NetGroupEnum)>(kGroupEnum);
  if (fn == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return fn(servername, level, bufptr, prefmaxlen, entriesread, totalentries, resume_handle);
}

NET_API_STATUS NetLocalGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                 LPDWORD entriesread, LPDWORD totalentries,
                                 PDWORD_PTR resumehandle) {
  auto fn = Entry<decltype(&::NetLocalGroupEnum)>(kLocalGroupEnum);
  if (fn == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return fn(servername, level, bufptr, prefmaxlen, entriesread, totalentries, resumehandle);
}

NET_API_STATUS NetServerEnum(LMCSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                             LPDWORD entriesread, LPDWORD totalentries, DWORD servertype,
                             LMCSTR domain, LPDWORD resume_handle) {
  auto fn = Entry<decltype(&::NetServerEnum)>(kServerEnum);
  if (fn == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return fn(servername, level, bufptr, prefmaxlen, entriesread, totalentries, servertype, domain,
            resume_handle);
}

NET_API_STATUS NetGetAnyDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE* bufptr) {
  auto fn = Entry<decltype(&::NetGetAnyDCName)>(kGetAnyDCName);
  if (fn == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return fn(servername, domainname, bufptr);
}

NET_API_STATUS NetServerGetInfo(LMSTR servername, DWORD level, LPBYTE* bufptr) {
  auto fn = Entry<decltype(&::NetServerGetInfo)>(kServerGetInfo);
  if (fn == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return fn(servername, level, bufptr);
}

NET_API_STATUS NetApiBufferFree(LPVOID Buffer) {
  auto fn = Entry<decltype(&::NetApiBufferFree)>(kApiBufferFree);
  if (fn == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return fn(Buffer);
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

ServerArgument::ServerArgument(const std::string& server) {
  if (!server.empty()) server_ = ToWide("\\\\" + server);
}

void NetBuffer::Release() {
  if (buffer_ != nullptr) VelmarNet::NetApiBufferFree(buffer_);
  buffer_ = nullptr;
}

NET_API_STATUS EnumerateBatches(const BatchCall& call, DWORD preferredLength, size_t stride,
                                const std::function<DWORD_PTR()>& resume,
                                const std::function<void()>& restart,
                                const std::function<void(const BYTE* record)>& record) {
  int emptyInARow = 0;
  DWORD skip = 0;  // entries of this batch read before (after a restart)
  DWORD taken = 0;
  for (;;) {
    NetBuffer buffer;
    DWORD entriesRead = 0;
    DWORD totalEntries = 0;
    const DWORD_PTR resumeBefore = resume();
    const NET_API_STATUS status =
        call(preferredLength, buffer.Receive(), &entriesRead, &totalEntries);
    if (status != NERR_Success && status != ERROR_MORE_DATA) return status;
    const DWORD count = buffer.get() != nullptr ? entriesRead : 0;
    for (DWORD i = skip; i < count; ++i) {
      record(buffer.get() + static_cast<size_t>(i) * stride);
      ++taken;
    }
    buffer.Release();
    if (status == NERR_Success) return NERR_Success;
    skip = 0;
    if (resume() != resumeBefore) {
      emptyInARow = 0;
    } else if (count == 0) {
      // One empty batch is asked again; a run of them is a server
      // repeating itself.
      if (++emptyInARow >= MaxEmptyBatches) return ERROR_MORE_DATA;
    } else {
      // Entries, but no way on: the rest in one call.
      if (preferredLength == MAX_PREFERRED_LENGTH) return ERROR_MORE_DATA;
      preferredLength = MAX_PREFERRED_LENGTH;
      restart();
      skip = taken;
    }
  }
}

namespace {

// Reads the one wide-character name at the start of a level-0 record.
template <typename Record>
void ReadNames(const BYTE* record, LPWSTR Record::*field,
               const std::function<void(const std::string&)>& name) {
  const Record* entry = reinterpret_cast<const Record*>(record);
  name(FromWide(entry->*field));
}

}  // namespace

NET_API_STATUS EnumerateUsers(const std::string& server,
                              const std::function<void(const std::string&)>& name) {
  const ServerArgument serverArgument(server);
  DWORD resume = 0;
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total) {
        return VelmarNet::NetUserEnum(serverArgument.get(), 0, FILTER_NORMAL_ACCOUNT, buffer,
                                      length, read, total, &resume);
      },
      1, sizeof(USER_INFO_0), [&] { return static_cast<DWORD_PTR>(resume); }, [&] { resume = 0; },
      [&](const BYTE* record) { ReadNames(record, &USER_INFO_0::usri0_name, name); });
}

NET_API_STATUS EnumerateLocalGroups(const std::string& server,
                                    const std::function<void(const std::string&)>& name) {
  const ServerArgument serverArgument(server);
  DWORD_PTR resume = 0;
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total) {
        return VelmarNet::NetLocalGroupEnum(serverArgument.get(), 0, buffer, length, read, total,
                                            &resume);
      },
      256, sizeof(LOCALGROUP_INFO_0), [&] { return resume; }, [&] { resume = 0; },
      [&](const BYTE* record) { ReadNames(record, &LOCALGROUP_INFO_0::lgrpi0_name, name); });
}

NET_API_STATUS EnumerateGroups(const std::string& server,
                               const std::function<void(const std::string&)>& name) {
  const ServerArgument serverArgument(server);
  DWORD_PTR resume = 0;
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total) {
        return VelmarNet::NetGroupEnum(serverArgument.get(), 0, buffer, length, read, total,
                                       &resume);
      },
      256, sizeof(GROUP_INFO_0), [&] { return resume; }, [&] { resume = 0; },
      [&](const BYTE* record) { ReadNames(record, &GROUP_INFO_0::grpi0_name, name); });
}

NET_API_STATUS EnumerateDomains(const std::function<void(const std::string&)>& name) {
  DWORD resume = 0;
  return EnumerateBatches(
      [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total) {
        return VelmarNet::NetServerEnum(nullptr, 100, buffer, length, read, total,
                                        SV_TYPE_DOMAIN_ENUM, nullptr, &resume);
      },
      4096, sizeof(SERVER_INFO_100), [&] { return static_cast<DWORD_PTR>(resume); },
      [&] { resume = 0; },
      [&](const BYTE* record) { ReadNames(record, &SERVER_INFO_100::sv100_name, name); });
}

}  // namespace VelmarNet
