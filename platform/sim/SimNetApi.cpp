// netapi32 functions over the simulated network: account and group
// enumerations, the browser, controller search and reachability.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/SimModel.h"

using namespace tavrin::sim::detail;

namespace {

constexpr DWORD kTypeWorkstation = SV_TYPE_WORKSTATION | SV_TYPE_SERVER | SV_TYPE_NT;  // 0x1003
constexpr DWORD kTypeServer = kTypeWorkstation | SV_TYPE_SERVER_NT;                    // 0x9003
constexpr DWORD kTypeController = kTypeServer | SV_TYPE_DOMAIN_CTRL;                   // 0x900B

using tavrin::sim::records::NetEntry;
using Entry = NetEntry;

// Registers a block of records as a NetApi buffer.
LPBYTE Registered(State& s, LPBYTE block) {
  if (block != nullptr) s.netBuffers.insert(block);
  return block;
}

// The batch protocol of the enumerations, its block registered.
template <typename EntryAt>
NET_API_STATUS Batch(State& s, DWORD level, size_t total, EntryAt entryAt, size_t first,
                     DWORD prefmaxlen, LPBYTE* bufptr, LPDWORD entriesread, size_t& next) {
  const NET_API_STATUS status = tavrin::sim::records::BatchNetEntries(
      level, total, entryAt, first, prefmaxlen, bufptr, entriesread, next);
  Registered(s, *bufptr);
  return status;
}

// The server a netapi call names: null or empty is this computer.
struct Target {
  Computer* computer = nullptr;
  std::string logged;
};

Target ServerArg(State& s, LPCWSTR servername) {
  Target t;
  t.computer = FindSystem(s.model, WideArg(servername), t.logged);
  return t;
}

void Clear(LPBYTE* bufptr, LPDWORD entriesread, LPDWORD totalentries) {
  if (bufptr) *bufptr = nullptr;
  if (entriesread) *entriesread = 0;
  if (totalentries) *totalentries = 0;
}

// The names one enumeration lists: optionally the built-in aliases, then
// accounts of one kind of an account database, in RID order.
struct NameList {
  const AccountDb* db = nullptr;
  const std::vector<size_t>* accounts = nullptr;
  bool builtinAliases = false;

  size_t size() const { return (builtinAliases ? 9 : 0) + (accounts ? accounts->size() : 0); }
  Entry at(size_t i) const {
    static const char16_t* builtin[] = {u"Administrators",
                                        u"Users",
                                        u"Guests",
                                        u"Power Users",
                                        u"Account Operators",
                                        u"Server Operators",
                                        u"Print Operators",
                                        u"Backup Operators",
                                        u"Replicator"};
    if (builtinAliases) {
      if (i < 9) return {builtin[i]};
      i -= 9;
    }
    return {Utf8ToUtf16(db->accounts[(*accounts)[i]].name)};
  }
};

enum class ListKind { Users, GlobalGroups, LocalGroups };

// NetUserEnum, NetGroupEnum and NetLocalGroupEnum: level 0 over a list of
// names, with a resume handle counting entries.
template <typename ResumeT>
NET_API_STATUS EnumerateNames(const char* function, LPCWSTR servername, DWORD level, LPBYTE* bufptr,
                              DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                              ResumeT* resume, ListKind kind, DWORD filter) {
  NetworkDelay(servername);
  auto lock = LockModel();
  State& s = TheState();
  Target t = ServerArg(s, servername);
  LogCall(s, function, t.logged, std::to_string(level));
  if (bufptr == nullptr || entriesread == nullptr || totalentries == nullptr)
    return ERROR_INVALID_PARAMETER;
  Clear(bufptr, entriesread, totalentries);
  if (uint32_t fault = EnumFault(s, function, {t.logged, t.computer ? t.computer->upper : ""}))
    return fault;
  if (Unanswered(lock, s.model, t.computer)) return ERROR_BAD_NETPATH;
  if (level != 0) return ERROR_INVALID_LEVEL;
  const AccountDb& db = s.model.dbs[t.computer->db];
  static const std::vector<size_t> none;
  NameList names;
  names.db = &db;
  switch (kind) {
    case ListKind::Users:
      // Every simulated user is a normal account.
      names.accounts = (filter == 0 || (filter & FILTER_NORMAL_ACCOUNT)) ? &db.users : &none;
      break;
    case ListKind::GlobalGroups:
      names.accounts = &db.globalGroups;
      break;
    case ListKind::LocalGroups:
      names.accounts = &db.localGroups;
      names.builtinAliases = true;
      break;
  }
  size_t resumeAt = resume ? static_cast<size_t>(*resume) : 0;
  const NET_API_STATUS status = tavrin::sim::records::ServeFromResumePoint(
      level, names.size(), [&](size_t i) { return names.at(i); }, prefmaxlen, bufptr, entriesread,
      totalentries, resumeAt);
  Registered(s, *bufptr);
  if (resume) *resume = static_cast<ResumeT>(resumeAt);
  return status;
}

DWORD TypeOf(const Computer& c) {
  switch (c.role) {
    case tavrin::sim::Role::DomainController:
      return kTypeController;
    case tavrin::sim::Role::Server:
      return kTypeServer;
    default:
      return kTypeWorkstation;
  }
}

}  // namespace

extern "C" {

NET_API_STATUS WINAPI NetUserEnum(LPCWSTR servername, DWORD level, DWORD filter, LPBYTE* bufptr,
                                  DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                  LPDWORD resume_handle) {
  return EnumerateNames("NetUserEnum", servername, level, bufptr, prefmaxlen, entriesread,
                        totalentries, resume_handle, ListKind::Users, filter);
}

NET_API_STATUS WINAPI NetGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr,
                                   DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                   PDWORD_PTR resume_handle) {
  return EnumerateNames("NetGroupEnum", servername, level, bufptr, prefmaxlen, entriesread,
                        totalentries, resume_handle, ListKind::GlobalGroups, 0);
}

NET_API_STATUS WINAPI NetLocalGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr,
                                        DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                        PDWORD_PTR resumehandle) {
  return EnumerateNames("NetLocalGroupEnum", servername, level, bufptr, prefmaxlen, entriesread,
                        totalentries, resumehandle, ListKind::LocalGroups, 0);
}

NET_API_STATUS WINAPI NetServerEnum(LMCSTR servername, DWORD level, LPBYTE* bufptr,
                                    DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                    DWORD servertype, LMCSTR domain, LPDWORD resume_handle) {
  NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  Model& m = s.model;
  char argument[32];
  std::snprintf(argument, sizeof argument, "%u 0x%08X", level, servertype);
  const std::string server = WideArg(servername);
  const std::string domainName = WideArg(domain);
  LogCall(s, "NetServerEnum", UpperKey(StripBackslashes(server)), argument);
  if (bufptr == nullptr || entriesread == nullptr || totalentries == nullptr)
    return ERROR_INVALID_PARAMETER;
  Clear(bufptr, entriesread, totalentries);
  const Computer& here = m.computers[m.thisComputer];
  if (uint32_t fault = EnumFault(s, "NetServerEnum", {here.upper, domainName})) return fault;
  if (!server.empty()) return ERROR_INVALID_PARAMETER;  // reserved: must be null
  if (resume_handle != nullptr && *resume_handle != 0) return ERROR_INVALID_PARAMETER;
  if (level != 100 && level != 101) return ERROR_INVALID_LEVEL;
  if (!m.browserAnswers) return ERROR_NO_BROWSER_SERVERS_FOUND;

  std::vector<Entry> entries;
  if (servertype == SV_TYPE_DOMAIN_ENUM) {
    for (const Domain& d : m.domains)
      if (d.listed)
        entries.push_back({Utf8ToUtf16(d.name), SV_TYPE_DOMAIN_ENUM | SV_TYPE_NT,
                           m.description.majorVersion, m.description.minorVersion});
  } else {
    // The browse list of one domain or workgroup: the primary one unless named.
    int which = here.domain;
    if (!domainName.empty()) {
      auto it = m.domainByName.find(UpperKey(domainName));
      if (it == m.domainByName.end()) return ERROR_NO_BROWSER_SERVERS_FOUND;
      which = it->second;
    }
    auto add = [&](const Computer& c) {
      const DWORD type = TypeOf(c);
      if (c.listed && (type & servertype) != 0)
        entries.push_back(
            {Utf8ToUtf16(c.name), type, m.description.majorVersion, m.description.minorVersion});
    };
    if (which >= 0) {
      for (int k : m.domains[which].members) add(m.computers[k]);
    } else {
      for (const Computer& c : m.computers)
        if (c.domain < 0) add(c);
    }
  }
  size_t next = 0;
  const NET_API_STATUS status = Batch(
      s, level, entries.size(), [&](size_t i) { return entries[i]; }, 0, prefmaxlen, bufptr,
      entriesread, next);
  if (status == NERR_Success || status == ERROR_MORE_DATA)
    *totalentries = static_cast<DWORD>(entries.size());
  return status;
}

NET_API_STATUS WINAPI NetGetAnyDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE* bufptr) {
  NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  Model& m = s.model;
  Target t = ServerArg(s, servername);
  const std::string domainName = WideArg(domainname);
  LogCall(s, "NetGetAnyDCName", t.logged, domainName);
  if (bufptr == nullptr) return ERROR_INVALID_PARAMETER;
  *bufptr = nullptr;
  if (uint32_t fault = EnumFault(s, "NetGetAnyDCName",
                                 {t.logged, t.computer ? t.computer->upper : "", domainName}))
    return fault;
  if (!Reachable(m, t.computer)) return ERROR_BAD_NETPATH;
  int which = t.computer->domain;
  if (!domainName.empty()) {
    auto it = m.domainByName.find(UpperKey(domainName));
    if (it == m.domainByName.end()) return ERROR_NO_SUCH_DOMAIN;
    which = it->second;
  }
  if (which < 0) return ERROR_NO_SUCH_DOMAIN;
  const Domain& d = m.domains[which];
  if (d.workgroup) return NERR_DCNotFound;
  for (int k : d.controllers) {
    const Computer& dc = m.computers[k];
    if (!Reachable(m, &dc)) continue;
    const std::u16string name = Utf8ToUtf16("\\\\" + dc.name);  // a bare string
    auto* block = static_cast<WCHAR*>(std::malloc((name.size() + 1) * sizeof(WCHAR)));
    if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    std::memcpy(block, name.data(), name.size() * sizeof(WCHAR));
    block[name.size()] = 0;
    s.netBuffers.insert(block);
    *bufptr = reinterpret_cast<LPBYTE>(block);
    return NERR_Success;
  }
  return NERR_DCNotFound;
}

NET_API_STATUS WINAPI NetServerGetInfo(LMSTR servername, DWORD level, LPBYTE* bufptr) {
  NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  Target t = ServerArg(s, servername);
  LogCall(s, "NetServerGetInfo", t.logged, std::to_string(level));
  if (bufptr == nullptr) return ERROR_INVALID_PARAMETER;
  *bufptr = nullptr;
  if (uint32_t fault =
          EnumFault(s, "NetServerGetInfo", {t.logged, t.computer ? t.computer->upper : ""}))
    return fault;
  if (Unanswered(lock, s.model, t.computer)) return ERROR_BAD_NETPATH;
  if (level != 100 && level != 101) return ERROR_INVALID_LEVEL;
  std::vector<Entry> one = {{Utf8ToUtf16(t.computer->name), TypeOf(*t.computer),
                             s.model.description.majorVersion, s.model.description.minorVersion}};
  *bufptr = Registered(s, tavrin::sim::records::PackNetEntries(level, one));
  return *bufptr ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID Buffer) {
  auto lock = LockModel();
  State& s = TheState();
  LogCall(s, "NetApiBufferFree", "", "");
  if (Buffer == nullptr) return NERR_Success;
  if (!s.netBuffers.erase(Buffer)) return ERROR_INVALID_PARAMETER;  // not a NetApi buffer
  std::free(Buffer);
  return NERR_Success;
}

}  // extern "C"
