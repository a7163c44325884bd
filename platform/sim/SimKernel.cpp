// kernel32 services of the simulated platform: version, system texts, last
// error, computer name, the two simulated libraries, code-page conversion and
// string helpers. The ANSI code page is UTF-8 here.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unordered_map>

#include "platform/sim/SimModel.h"

using namespace tavrin::sim::detail;

namespace {

thread_local DWORD tLastError = 0;

constexpr DWORD kMbErrInvalidChars = 0x00000008;
constexpr DWORD kWcErrInvalidChars = 0x00000080;
constexpr DWORD kErrorNoUnicodeTranslation = 1113;
constexpr DWORD kErrorInvalidFlags = 1004;
constexpr DWORD kMaxWidthMask = 0x000000FF;  // FORMAT_MESSAGE_MAX_WIDTH_MASK

// ---------------------------------------------------------------- system texts
// The English texts Windows gives with FORMAT_MESSAGE_FROM_SYSTEM for every
// code the simulation can produce.
const std::unordered_map<DWORD, const char*>& SystemTexts() {
  static const std::unordered_map<DWORD, const char*> texts = {
      {0, "The operation completed successfully.\r\n"},
      {1, "Incorrect function.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough storage is available to process this command.\r\n"},
      {13, "The data is invalid.\r\n"},
      {31, "A device attached to the system is not functioning.\r\n"},
      {38, "Reached the end of the file.\r\n"},
      {50, "The request is not supported.\r\n"},
      {51,
       "Windows cannot find the network path. Verify that the network path is correct and the "
       "destination computer is not busy or turned off. If Windows still cannot find the network "
       "path, contact your network administrator.\r\n"},
      {53, "The network path was not found.\r\n"},
      {58, "The specified server cannot perform the requested operation.\r\n"},
      {59, "An unexpected network error occurred.\r\n"},
      {64, "The specified network name is no longer available.\r\n"},
      {65, "Network access is denied.\r\n"},
      {67, "The network name cannot be found.\r\n"},
      {71,
       "No more connections can be made to this remote computer at this time because there are "
       "already as many connections as the computer can accept.\r\n"},
      {86, "The specified network password is not correct.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {88, "A write fault occurred on the network.\r\n"},
      {109, "The pipe has been ended.\r\n"},
      {111, "The file name is too long.\r\n"},
      {120, "This function is not supported on this system.\r\n"},
      {121, "The semaphore timeout period has expired.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
      {124, "The system call level is not correct.\r\n"},
      {126, "The specified module could not be found.\r\n"},
      {127, "The specified procedure could not be found.\r\n"},
      {231, "All pipe instances are busy.\r\n"},
      {232, "The pipe is being closed.\r\n"},
      {233, "No process is on the other end of the pipe.\r\n"},
      {234, "More data is available.\r\n"},
      {259, "No more data is available.\r\n"},
      {317,
       "The system cannot find message text for message number 0x%1 in the message file for "
       "%2.\r\n"},
      {995,
       "The I/O operation has been aborted because of either a thread exit or an application "
       "request.\r\n"},
      {997, "Overlapped I/O operation is in progress.\r\n"},
      {998, "Invalid access to memory location.\r\n"},
      {1004, "Invalid flags.\r\n"},
      {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
      {1168, "Element not found.\r\n"},
      {1225, "The remote computer refused the network connection.\r\n"},
      {1231,
       "The network location cannot be reached. For information about network troubleshooting, see "
       "Windows Help.\r\n"},
      {1232,
       "The network location cannot be reached. For information about network troubleshooting, see "
       "Windows Help.\r\n"},
      {1234,
       "No service is operating at the destination network endpoint on the remote system.\r\n"},
      {1236, "The network connection was aborted by the local system.\r\n"},
      {1301, "Some mapping between account names and security IDs was not done.\r\n"},
      {1311, "There are currently no logon servers available to service the logon request.\r\n"},
      {1313, "A specified privilege does not exist.\r\n"},
      {1314, "A required privilege is not held by the client.\r\n"},
      {1315, "The name provided is not a properly formed account name.\r\n"},
      {1317, "The specified account does not exist.\r\n"},
      {1319, "The specified group does not exist.\r\n"},
      {1326, "Logon failure: unknown user name or bad password.\r\n"},
      {1327, "Logon failure: user account restriction.\r\n"},
      {1328, "Logon failure: account logon time restriction violation.\r\n"},
      {1329, "Logon failure: user not allowed to log on to this computer.\r\n"},
      {1330, "Logon failure: the specified account password has expired.\r\n"},
      {1331, "Logon failure: account currently disabled.\r\n"},
      {1332, "No mapping between account names and security IDs was done.\r\n"},
      {1337, "The security ID structure is invalid.\r\n"},
      {1346,
       "Either a required impersonation level was not provided, or the provided impersonation "
       "level is invalid.\r\n"},
      {1352,
       "The security account manager (SAM) or local security authority (LSA) server was in the "
       "wrong state to perform the security operation.\r\n"},
      {1353, "The domain was in the wrong state to perform the security operation.\r\n"},
      {1354, "This operation is only allowed for the Primary Domain Controller of the domain.\r\n"},
      {1355, "The specified domain either does not exist or could not be contacted.\r\n"},
      {1358,
       "Unable to complete the requested operation because of either a catastrophic media failure "
       "or a data structure corruption on the disk.\r\n"},
      {1359, "An internal error occurred.\r\n"},
      {1376, "The specified local group does not exist.\r\n"},
      {1385,
       "Logon failure: the user has not been granted the requested logon type at this "
       "computer.\r\n"},
      {1450, "Insufficient system resources exist to complete the requested service.\r\n"},
      {1460, "This operation returned because the timeout period expired.\r\n"},
      {1717, "The interface is unknown.\r\n"},
      {1722, "The RPC server is unavailable.\r\n"},
      {1723, "The RPC server is too busy to complete this operation.\r\n"},
      {1726, "The remote procedure call failed.\r\n"},
      {1727, "The remote procedure call failed and did not execute.\r\n"},
      {1728, "A remote procedure call (RPC) protocol error occurred.\r\n"},
      {1745, "The procedure number is out of range.\r\n"},
      {1752, "The server endpoint cannot perform the operation.\r\n"},
      {1753, "There are no more endpoints available from the endpoint mapper.\r\n"},
      {1764, "The requested operation is not supported.\r\n"},
      {1781, "The enumeration value is out of range.\r\n"},
      {1783, "The stub received bad data.\r\n"},
      {1788,
       "The trust relationship between the primary domain and the trusted domain failed.\r\n"},
      {1789, "The trust relationship between this workstation and the primary domain failed.\r\n"},
      {1792, "An attempt was made to logon, but the network logon service was not started.\r\n"},
      {1793, "The user's account has expired.\r\n"},
      {1818, "The remote procedure call was cancelled.\r\n"},
      {1820, "A communications failure occurred during a remote procedure call.\r\n"},
      {1821, "The requested authentication level is not supported.\r\n"},
      {1825, "A security package specific error occurred.\r\n"},
      {1907, "The user's password must be changed before logging on the first time.\r\n"},
      {1909, "The referenced account is currently locked out and may not be logged on to.\r\n"},
      {6118, "The list of servers for this workgroup is not currently available\r\n"},
  };
  return texts;
}

// Expands the inserts of a message: %1..%99 (with an optional !printf
// format!, default !s!), %% %n %r %t %0 %. and "% ". False when an insert
// needs arguments that were not given.
bool ExpandInserts(const std::string& in, DWORD flags, va_list* args, std::string& out) {
  std::vector<DWORD_PTR> sequential;  // arguments read so far from a va_list
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%' || i + 1 >= in.size()) {
      out.push_back(in[i]);
      continue;
    }
    const char next = in[++i];
    if (next == '0') return true;  // end of message, no trailing newline
    if (next == 'n') {
      out += "\r\n";
      continue;
    }
    if (next == 'r') {
      out.push_back('\r');
      continue;
    }
    if (next == 't') {
      out.push_back('\t');
      continue;
    }
    if (next < '1' || next > '9') {
      out.push_back(next);  // %% %. %! and "% "
      continue;
    }
    int index = next - '0';
    if (i + 1 < in.size() && in[i + 1] >= '0' && in[i + 1] <= '9')
      index = index * 10 + (in[++i] - '0');
    std::string format = "s";
    if (i + 1 < in.size() && in[i + 1] == '!') {
      const size_t close = in.find('!', i + 2);
      if (close == std::string::npos) return false;
      format = in.substr(i + 2, close - i - 2);
      i = close;
    }
    if (args == nullptr) return false;
    DWORD_PTR value;
    if (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) {
      value = reinterpret_cast<const DWORD_PTR*>(args)[index - 1];
    } else {
      while (static_cast<int>(sequential.size()) < index)
        sequential.push_back(va_arg(*args, DWORD_PTR));
      value = sequential[index - 1];
    }
    char piece[512];
    const std::string description = "%" + format;
    if (format.find('s') != std::string::npos)
      std::snprintf(piece, sizeof piece, description.c_str(), reinterpret_cast<const char*>(value));
    else if (format.find('l') != std::string::npos || format.find('I') != std::string::npos)
      std::snprintf(
          piece, sizeof piece,
          ("%" + std::string(format.back() == 'x' || format.back() == 'X' ? "llX" : "llu")).c_str(),
          static_cast<unsigned long long>(value));
    else
      std::snprintf(piece, sizeof piece, description.c_str(), static_cast<unsigned>(value));
    out += piece;
  }
  return true;
}

// ---------------------------------------------------------------- libraries

struct Module {
  const char* key;  // upper-case file name
};
Module gAdvapi{"ADVAPI32.DLL"};
Module gNetapi{"NETAPI32.DLL"};

// What a missing-in-the-simulation export answers when called.
INT_PTR NotImplementedStub() {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return ERROR_CALL_NOT_IMPLEMENTED;
}

template <typename F>
FARPROC Proc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

struct ExportTable {
  std::vector<std::string> order;
  std::unordered_map<std::string, FARPROC> procs;  // case-sensitive, as Windows
  void Add(const char* name, FARPROC proc = &NotImplementedStub) {
    order.push_back(name);
    procs.emplace(name, proc);
  }
};

const ExportTable& Advapi32() {
  static const ExportTable table = [] {
    ExportTable t;
    t.Add("LsaFreeMemory", Proc(&LsaFreeMemory));
    t.Add("LsaClose", Proc(&LsaClose));
    t.Add("LsaOpenPolicy", Proc(&LsaOpenPolicy));
    t.Add("LsaQueryInformationPolicy");
    t.Add("LsaSetInformationPolicy");
    t.Add("LsaEnumerateTrustedDomains");
    t.Add("LsaLookupNames");
    t.Add("LsaLookupSids");
    t.Add("LsaEnumerateAccountsWithUserRight", Proc(&LsaEnumerateAccountsWithUserRight));
    t.Add("LsaEnumerateAccountRights", Proc(&LsaEnumerateAccountRights));
    t.Add("LsaAddAccountRights", Proc(&LsaAddAccountRights));
    t.Add("LsaRemoveAccountRights", Proc(&LsaRemoveAccountRights));
    t.Add("LsaQueryTrustedDomainInfo");
    t.Add("LsaSetTrustedDomainInformation");
    t.Add("LsaDeleteTrustedDomain");
    t.Add("LsaStorePrivateData");
    t.Add("LsaRetrievePrivateData");
    t.Add("LsaNtStatusToWinError", Proc(&LsaNtStatusToWinError));
    t.Add("GetExplicitEntriesFromAclW");
    t.Add("GetExplicitEntriesFromAclA");
    t.Add("LookupAccountNameA", Proc(&LookupAccountNameA));
    t.Add("LookupAccountSidA", Proc(&LookupAccountSidA));
    t.Add("LookupPrivilegeValueA", Proc(&LookupPrivilegeValueA));
    t.Add("OpenProcessToken", Proc(&OpenProcessToken));
    t.Add("GetTokenInformation", Proc(&GetTokenInformation));
    t.Add("IsValidSid", Proc(&IsValidSid));
    t.Add("GetLengthSid", Proc(&GetLengthSid));
    t.Add("EqualSid", Proc(&EqualSid));
    return t;
  }();
  return table;
}

const ExportTable& Netapi32() {
  static const ExportTable table = [] {
    ExportTable t;
    const char* names[] = {"NetServerGetInfo",
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
                           "I_NetLogonControl2",
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
                           "NetFileGetInfo"};
    const std::unordered_map<std::string, FARPROC> real = {
        {"NetServerGetInfo", Proc(&NetServerGetInfo)},
        {"NetUserEnum", Proc(&NetUserEnum)},
        {"NetGroupEnum", Proc(&NetGroupEnum)},
        {"NetLocalGroupEnum", Proc(&NetLocalGroupEnum)},
        {"NetGetAnyDCName", Proc(&NetGetAnyDCName)},
        {"NetApiBufferFree", Proc(&NetApiBufferFree)},
        {"NetServerEnum", Proc(&NetServerEnum)}};
    for (const char* n : names) {
      auto it = real.find(n);
      t.Add(n, it == real.end() ? &NotImplementedStub : it->second);
    }
    return t;
  }();
  return table;
}

// "advapi32", "ADVAPI32.DLL", "C:\\WINNT\\system32\\advapi32.dll" -> "ADVAPI32.DLL"
std::string LibraryKey(const char* name) {
  std::string key = UpperKey(name);
  const size_t slash = key.find_last_of("\\/");
  if (slash != std::string::npos) key = key.substr(slash + 1);
  if (key.find('.') == std::string::npos) key += ".DLL";
  return key;
}

Module* ModuleOf(HMODULE h) {
  void* p = h;
  if (p == &gAdvapi) return &gAdvapi;
  if (p == &gNetapi) return &gNetapi;
  return nullptr;
}

const ExportTable& TableOf(const Module* m) { return m == &gAdvapi ? Advapi32() : Netapi32(); }

// ---------------------------------------------------------------- comparison

// The letter an accented Latin-1 capital sorts with; the code point otherwise.
char32_t BaseLetter(char32_t c) {
  if (c >= 0xC0 && c <= 0xC5) return 'A';
  if (c == 0xC7) return 'C';
  if (c >= 0xC8 && c <= 0xCB) return 'E';
  if (c >= 0xCC && c <= 0xCF) return 'I';
  if (c == 0xD1) return 'N';
  if ((c >= 0xD2 && c <= 0xD6) || c == 0xD8) return 'O';
  if (c >= 0xD9 && c <= 0xDC) return 'U';
  if (c == 0xDD || c == 0x178) return 'Y';
  return c;
}

// Primary weight: letters in alphabet order, Ё with Е, accents ignored.
uint64_t Primary(char32_t c) {
  c = BaseLetter(FoldUpper(c));
  if (c == 0x401) return 0x415ull * 2 + 1;  // Ё sorts right after Е
  return static_cast<uint64_t>(c) * 2;
}

}  // namespace

namespace tavrin::sim {
std::vector<std::string> Exports(const std::string& dll) {
  const std::string key = LibraryKey(dll.c_str());
  if (key == gAdvapi.key) return Advapi32().order;
  if (key == gNetapi.key) return Netapi32().order;
  return {};
}
}  // namespace tavrin::sim

extern "C" {

DWORD WINAPI GetLastError(void) { return tLastError; }

void WINAPI SetLastError(DWORD dwErrCode) { tLastError = dwErrCode; }

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  constexpr DWORD kExSize = 156;  // OSVERSIONINFOEXA
  if (info == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != kExSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto lock = LockModel();
  const Model& m = TheState().model;
  info->dwMajorVersion = m.description.majorVersion;
  info->dwMinorVersion = m.description.minorVersion;
  info->dwBuildNumber = m.description.buildNumber;
  info->dwPlatformId = m.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  if (info->dwOSVersionInfoSize == kExSize) {
    uint8_t* extra = reinterpret_cast<uint8_t*>(info) + sizeof(OSVERSIONINFOA);
    std::memset(extra, 0, kExSize - sizeof(OSVERSIONINFOA));
    const tavrin::sim::Role role = m.computers[m.thisComputer].role;
    extra[6] = role == tavrin::sim::Role::Workstation        ? 1
               : role == tavrin::sim::Role::DomainController ? 2
                                                             : 3;
  }
  return TRUE;
}

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
  const DWORD width = dwFlags & kMaxWidthMask;
  // The simulated platform has no LocalFree to release an allocated buffer,
  // and does not wrap lines at a width.
  if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) || (width != 0 && width != kMaxWidthMask) ||
      ((dwFlags & FORMAT_MESSAGE_FROM_STRING) &&
       (dwFlags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE)))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text;
  if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
    if (lpSource == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    text = static_cast<const char*>(lpSource);
  } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    // Codes 2100-2999 are netmsg.dll's and have no system text.
    auto it = SystemTexts().find(dwMessageId);
    if (it == SystemTexts().end()) {
      SetLastError(ERROR_MR_MID_NOT_FOUND);
      return 0;
    }
    text = it->second;
  } else {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  // The message's own line breaks come out as "\r\n", or as a space with the
  // maximum width; %n is a hard break either way.
  std::string broken;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      broken.push_back(text[i]);
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    broken += width == kMaxWidthMask ? " " : "\r\n";
  }
  std::string out;
  if (dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) {
    out = broken;
  } else if (!ExpandInserts(broken, dwFlags, Arguments, out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (lpBuffer == nullptr || nSize < out.size() + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, out.c_str(), out.size() + 1);
  return static_cast<DWORD>(out.size());
}

BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  if (nSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name;
  if (const auto* o = tavrin::sim::Override(); o && o->thisComputerName) {
    if (!o->thisComputerName(name)) return FALSE;
  } else {
    auto lock = LockModel();
    const Model& m = TheState().model;
    name = m.computers[m.thisComputer].name;
  }
  if (lpBuffer == nullptr || *nSize < name.size() + 1) {
    *nSize = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(lpBuffer, name.c_str(), name.size() + 1);
  *nSize = static_cast<DWORD>(name.size());
  return TRUE;
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  auto lock = LockModel();
  State& s = TheState();
  LogCall(s, "LoadLibraryA", "", lpLibFileName ? lpLibFileName : "");
  if (lpLibFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string key = LibraryKey(lpLibFileName);
  Module* m = key == gAdvapi.key ? &gAdvapi : key == gNetapi.key ? &gNetapi : nullptr;
  if (m == nullptr || s.hiddenLibraries.count(key)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++s.libraryRefs[key];
  return reinterpret_cast<HMODULE>(m);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  auto lock = LockModel();
  State& s = TheState();
  const bool byOrdinal = reinterpret_cast<uintptr_t>(lpProcName) < 0x10000;
  LogCall(s, "GetProcAddress", "",
          byOrdinal ? "#" + std::to_string(reinterpret_cast<uintptr_t>(lpProcName)) : lpProcName);
  Module* m = ModuleOf(hModule);
  if (m == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (byOrdinal) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  const ExportTable& table = TableOf(m);
  auto it = table.procs.find(lpProcName);
  if (it == table.procs.end() || s.hiddenExports.count(std::string(m->key) + "!" + lpProcName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (const auto* o = tavrin::sim::Override(); o && o->exportOf)
    if (FARPROC other = o->exportOf(m->key, lpProcName)) return other;
  return it->second;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  auto lock = LockModel();
  State& s = TheState();
  Module* m = ModuleOf(hLibModule);
  LogCall(s, "FreeLibrary", "", m ? m->key : "");
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  int& refs = s.libraryRefs[m->key];
  if (refs > 0) --refs;
  return TRUE;
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr) ||
      (CodePage != CP_ACP && CodePage != CP_UTF8 && CodePage != 1 && CodePage != 3)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (CodePage == CP_UTF8 && (dwFlags & ~kMbErrInvalidChars) != 0) {
    SetLastError(kErrorInvalidFlags);
    return 0;
  }
  const size_t length =
      cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  bool invalid = false;
  const std::u32string points = DecodeUtf8(std::string_view(lpMultiByteStr, length), &invalid);
  if (invalid && (dwFlags & kMbErrInvalidChars)) {
    SetLastError(kErrorNoUnicodeTranslation);
    return 0;
  }
  std::string reencoded;
  for (char32_t c : points) AppendUtf8(reencoded, c);
  const std::u16string wide = Utf8ToUtf16(reencoded);
  if (cchWideChar == 0) return static_cast<int>(wide.size());
  if (static_cast<size_t>(cchWideChar) < wide.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpWideCharStr, wide.data(), wide.size() * sizeof(WCHAR));
  return static_cast<int>(wide.size());
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr) ||
      (CodePage != CP_ACP && CodePage != CP_UTF8 && CodePage != 1 && CodePage != 3) ||
      (CodePage == CP_UTF8 && (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (CodePage == CP_UTF8 && (dwFlags & ~kWcErrInvalidChars) != 0) {
    SetLastError(kErrorInvalidFlags);
    return 0;
  }
  size_t length = 0;
  if (cchWideChar == -1) {
    while (lpWideCharStr[length] != 0) ++length;
    ++length;  // the terminating zero is converted too
  } else {
    length = static_cast<size_t>(cchWideChar);
  }
  const std::u16string_view in(lpWideCharStr, length);
  if (dwFlags & kWcErrInvalidChars) {
    for (size_t i = 0; i < in.size(); ++i) {
      const char16_t c = in[i];
      const bool high = c >= 0xD800 && c <= 0xDBFF;
      const bool low = c >= 0xDC00 && c <= 0xDFFF;
      if (high && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
        ++i;
      } else if (high || low) {
        SetLastError(kErrorNoUnicodeTranslation);
        return 0;
      }
    }
  }
  const std::string out = Utf16ToUtf8(in);
  if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = FALSE;
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (static_cast<size_t>(cbMultiByte) < out.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpMultiByteStr, out.data(), out.size());
  return static_cast<int>(out.size());
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr)
    return lpString1 == lpString2 ? 0 : (lpString1 == nullptr ? -1 : 1);
  const std::u32string a = DecodeUtf8(lpString1);
  const std::u32string b = DecodeUtf8(lpString2);
  // Letters first, accents only when the letters are equal.
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const uint64_t pa = Primary(a[i]), pb = Primary(b[i]);
    if (pa != pb) return pa < pb ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    const char32_t ua = FoldUpper(a[i]), ub = FoldUpper(b[i]);
    if (ua != ub) return ua < ub ? -1 : 1;
  }
  return 0;
}

DWORD WINAPI CharUpperBuffA(LPSTR lpsz, DWORD cchLength) {
  if (lpsz == nullptr) return 0;
  DWORD i = 0;
  while (i < cchLength) {
    const unsigned char b = static_cast<unsigned char>(lpsz[i]);
    const DWORD n = b < 0x80             ? 1
                    : (b & 0xE0) == 0xC0 ? 2
                    : (b & 0xF0) == 0xE0 ? 3
                    : (b & 0xF8) == 0xF0 ? 4
                                         : 1;
    if (n == 1) {
      if (b >= 'a' && b <= 'z') lpsz[i] = static_cast<char>(b - 32);
      ++i;
      continue;
    }
    if (i + n > cchLength) break;
    bool invalid = false;
    const std::u32string c = DecodeUtf8(std::string_view(lpsz + i, n), &invalid);
    if (!invalid && c.size() == 1) {
      std::string upper;
      AppendUtf8(upper, FoldUpper(c[0]));
      if (upper.size() == n) std::memcpy(lpsz + i, upper.data(), n);
      i += n;
    } else {
      ++i;
    }
  }
  return cchLength;
}

}  // extern "C"
