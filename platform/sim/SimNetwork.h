// Control surface of the simulated Windows NT network.
//
// The simulation stands in for the operating system on every platform but
// Windows: platform/win32api.h declares the Windows functions and this module
// implements them over the network installed here. Tests and demonstrations
// describe a network (in C++ with NetworkBuilder, or in JSON), install it,
// inject faults, act, and then read the simulation's state and call log.
//
// Everything here is safe to call from several threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/NetworkOverride.h"
#include "platform/win32api.h"

namespace tavrin::sim {

enum class Role { Workstation, Server, DomainController };
enum class AccountKind { User, GlobalGroup, LocalGroup };

struct AccountSpec {
  std::string name;  // UTF-8, as the account database spells it
  AccountKind kind = AccountKind::User;
  uint32_t rid = 0;  // relative identifier under the computer's (or domain's) SID
};

struct ComputerSpec {
  std::string name;  // NetBIOS name, as the browser lists it
  Role role = Role::Workstation;
  std::string domain;                 // the domain or workgroup it belongs to ("" for none)
  bool answers = true;                // false: the computer does not answer at all
  bool policyDenied = false;          // LsaOpenPolicy answers STATUS_ACCESS_DENIED
  bool listed = true;                 // appears in the browser's computer list
  std::string machineSid;             // "S-1-5-21-a-b-c"; on a controller, the domain's SID
  std::vector<AccountSpec> accounts;  // the local account database (a controller's is the domain's)
  // The LSA policy: for each SID (text form), the right names it holds, in order.
  std::map<std::string, std::vector<std::string>> rights;
};

struct DomainSpec {
  std::string name;        // domain or workgroup name
  bool workgroup = false;  // a workgroup has no controller and no SID
  bool listed = true;      // appears in the browser's domain list
};

// A whole network description.
struct NetworkSpec {
  std::string thisComputer = "WS01";  // must name one of `computers`
  uint32_t platformId = 2;            // what GetVersionExA reports
  uint32_t majorVersion = 5, minorVersion = 0, buildNumber = 2195;
  std::string currentUser;     // "DOMAIN\\name" or "COMPUTER\\name" of the running user
  bool browserAnswers = true;  // false: NetServerEnum answers 6118
  std::vector<DomainSpec> domains;
  std::vector<ComputerSpec> computers;
  std::chrono::microseconds latency{0};  // added to every network-facing call
  // How long a call to a computer that does not answer waits before it fails.
  std::chrono::microseconds timeout{0};
};

// Raised by the loader and by Install for a description that cannot be used.
// what() names the file (if any) and the problem, with line or field.
class NetworkDescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Fluent builder for tests.
class NetworkBuilder {
 public:
  NetworkBuilder();
  NetworkBuilder& ThisComputer(const std::string& name);
  NetworkBuilder& PlatformId(uint32_t id);
  NetworkBuilder& CurrentUser(const std::string& domainBackslashName);
  NetworkBuilder& BrowserAnswers(bool answers);
  // Latency applies to calls that name a computer; calls without a target
  // name (this computer) answer at once.
  NetworkBuilder& Latency(std::chrono::microseconds perCall);
  NetworkBuilder& Timeout(std::chrono::microseconds wait);
  NetworkBuilder& Domain(const std::string& name, bool listed = true);
  NetworkBuilder& Workgroup(const std::string& name, bool listed = true);
  // Starts a computer; the calls below apply to the last computer started.
  // Every computer gets the accounts Windows always has: users Administrator
  // (500) and Guest (501); on a workstation or member server the global group
  // "None" (513); on a controller Domain Admins (512), Domain Users (513) and
  // Domain Guests (514). The built-in aliases (BUILTIN\Administrators, ...)
  // and the well-known principals exist on every computer without being
  // listed. A controller's accounts are its domain's accounts.
  NetworkBuilder& Computer(const std::string& name, Role role = Role::Workstation,
                           const std::string& domain = "");
  NetworkBuilder& MachineSid(const std::string& sidText);
  NetworkBuilder& Answers(bool answers);
  NetworkBuilder& PolicyDenied(bool denied);
  NetworkBuilder& Listed(bool listed);
  NetworkBuilder& User(const std::string& name, uint32_t rid);
  NetworkBuilder& GlobalGroup(const std::string& name, uint32_t rid);
  NetworkBuilder& LocalGroup(const std::string& name, uint32_t rid);
  NetworkBuilder& Rights(const std::string& sidText, std::vector<std::string> rightNames);
  NetworkSpec Build() const;

 private:
  NetworkSpec spec_;
};

// Installs a network, replacing the current one (faults, hidden exports,
// latency and the call log are reset too). Throws NetworkDescriptionError.
void Install(const NetworkSpec& description);
// The built-in demonstration network.
NetworkSpec BuiltInNetwork();
// Reads a JSON description; throws NetworkDescriptionError naming the file.
NetworkSpec LoadNetworkFile(const std::string& path);
NetworkSpec ParseNetworkJson(const std::string& text, const std::string& sourceName = "<text>");
// The network the program starts on: the file TAVRIN_SIM_NETWORK names, else
// the built-in one. Throws NetworkDescriptionError.
NetworkSpec NetworkFromEnvironment();
// The network installed now (a copy, with the LSA policies as they stand).
NetworkSpec Current();
// Checks a description as Install would, without installing it. Throws
// NetworkDescriptionError naming the field.
void ValidateNetwork(const NetworkSpec& description);

// ---------------------------------------------------------------- faults
void SetAnswers(const std::string& computer, bool answers);
void SetPolicyDenied(const std::string& computer, bool denied);
// The k-th LSA write (LsaAddAccountRights / LsaRemoveAccountRights, counted
// from 1 from now on, over the whole network or to one computer only) fails
// with `status`.
void FailWrite(int k, int32_t status = (int32_t)0xC0000022, const std::string& computer = "");
// The named enumeration (NetUserEnum, NetLocalGroupEnum, NetGroupEnum,
// NetServerEnum, NetGetAnyDCName, LsaEnumerateAccountRights,
// LsaEnumerateAccountsWithUserRight) fails with
// `status` for the given computer ("" for every target) until cleared.
void FailEnumeration(const std::string& function, const std::string& computer, uint32_t status);
// Clears the faults above and gives every computer back the answering and
// policy state it was installed with (latency and platform id stay).
void ClearFaults();
// false: NetServerEnum answers 6118 (no browser).
void SetBrowserAnswers(bool answers);
// Hides one export of "advapi32.dll" or "netapi32.dll" from GetProcAddress.
void HideExport(const std::string& dll, const std::string& name);
// Makes LoadLibraryA fail for the library.
void HideLibrary(const std::string& dll);
void ShowAllExports();
void SetLatency(std::chrono::microseconds perCall);
// How long calls to a computer that does not answer wait before they fail.
void SetTimeout(std::chrono::microseconds wait);
// Changes what GetVersionExA reports.
void SetPlatformId(uint32_t id);

// The names each simulated library exports (every name of the binding tables).
std::vector<std::string> Exports(const std::string& dll);

// ---------------------------------------------------------------- call log
// Every advapi32 and netapi32 function is logged, and LoadLibraryA,
// GetProcAddress and FreeLibrary; the SID helpers (IsValidSid, GetLengthSid,
// EqualSid) and the rest of kernel32 are not. Key arguments:
//   LookupAccountNameA  the account name        LookupAccountSidA  the SID text
//   LsaOpenPolicy       the access, "0x810"      LsaEnumerateAccountRights  the SID text
//   LsaEnumerateAccountsWithUserRight  the right's name ("*" for none)
//   LsaAddAccountRights / LsaRemoveAccountRights  "<SID text> <right>[,<right>...]"
//                       ("<SID text> *" when AllRights is set)
//   NetUserEnum, NetLocalGroupEnum, NetGroupEnum, NetServerGetInfo  the level, "0"
//   NetServerEnum       "<level> 0x<type>", e.g. "101 0xFFFFFFFF"
//   NetGetAnyDCName     the domain name         LoadLibraryA / GetProcAddress  the name
// The target is the system or server name as passed, without leading
// backslashes and in upper case; "" when the call names no computer (null or
// empty: this computer).
struct Call {
  std::string function;  // "LsaOpenPolicy"
  std::string target;    // the computer the call went to, upper case ("" for this computer)
  std::string argument;  // the key argument: an account name, a SID text, a right name, a level
};
std::vector<Call> Calls();
size_t CountCalls(const std::string& function);
void ClearCalls();

// ---------------------------------------------------------------- state
// The right names a SID holds on a computer now.
std::vector<std::string> RightsOf(const std::string& computer, const std::string& sidText);
// Open LSA handles, NetApi buffers and LSA buffers not yet released.
size_t OpenPolicyHandles();
size_t OutstandingNetBuffers();
size_t OutstandingLsaBuffers();
// Token handles from OpenProcessToken not yet closed.
size_t OpenTokenHandles();
// LoadLibraryA calls for the library not yet matched by FreeLibrary.
int LibraryLoads(const std::string& dll);

// Another network behind the same functions (platform/NetworkOverride.h).
using platform::NetworkOverride;
using platform::Override;
using platform::SetOverride;

}  // namespace tavrin::sim
