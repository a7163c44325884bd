#include "rights/Velmar_RightsCenter.h"

#include <cctype>

// The policy names are those of Windows' "User Rights Assignment" reference
// (learn.microsoft.com, Windows security, Security policy settings, User
// Rights Assignment), which lists each right with its constant.
const std::array<TRightInfo, RightCount> RightsCatalogue = {{
    {"SeCreateTokenPrivilege", "CT", "Create token", "Create a token object", false, false},
    {"SeAssignPrimaryTokenPrivilege", "PT", "Assign primary token", "Replace a process level token",
     false, false},
    {"SeLockMemoryPrivilege", "LM", "Lock memory", "Lock pages in memory", false, false},
    {"SeIncreaseQuotaPrivilege", "IQ", "Increase quota", "Adjust memory quotas for a process",
     false, false},
    {"SeMachineAccountPrivilege", "MA", "Machine account", "Add workstations to domain", false,
     false},
    {"SeTcbPrivilege", "PS", "Act as a part of system", "Act as part of the operating system",
     false, false},
    {"SeSecurityPrivilege", "SY", "Security", "Manage auditing and security log", false, false},
    {"SeTakeOwnershipPrivilege", "TO", "Take ownership", "Take ownership of files or other objects",
     false, false},
    {"SeLoadDriverPrivilege", "LD", "Load driver", "Load and unload device drivers", false, false},
    {"SeSystemProfilePrivilege", "SP", "System profile", "Profile system performance", false,
     false},
    {"SeSystemtimePrivilege", "ST", "Change system time", "Change the system time", false, false},
    {"SeProfileSingleProcessPrivilege", "PR", "Profile single process", "Profile single process",
     false, false},
    {"SeIncreaseBasePriorityPrivilege", "IP", "Increase base priority",
     "Increase scheduling priority", false, false},
    {"SeCreatePagefilePrivilege", "PG", "Create pagefile", "Create a pagefile", false, false},
    {"SeCreatePermanentPrivilege", "PM", "Create permanent", "Create permanent shared objects",
     false, false},
    {"SeBackupPrivilege", "BK", "Backup", "Back up files and directories", false, false},
    {"SeRestorePrivilege", "RE", "Restore", "Restore files and directories", false, false},
    {"SeShutdownPrivilege", "SH", "Shutdown", "Shut down the system", false, false},
    {"SeDebugPrivilege", "DG", "Debug", "Debug programs", false, false},
    {"SeAuditPrivilege", "AU", "Audit", "Generate security audits", false, false},
    {"SeSystemEnvironmentPrivilege", "SE", "System environment",
     "Modify firmware environment values", false, false},
    {"SeChangeNotifyPrivilege", "CN", "Change notify", "Bypass traverse checking", false, false},
    {"SeRemoteShutdownPrivilege", "RS", "Remote shutdown", "Force shutdown from a remote system",
     false, false},
    {"SeInteractiveLogonRight", "IL", "Interactive logon", "Allow log on locally", true, false},
    {"SeNetworkLogonRight", "NL", "Network logon", "Access this computer from the network", true,
     false},
    {"SeBatchLogonRight", "BJ", "Logon as a batch job", "Log on as a batch job", true, false},
    {"SeServiceLogonRight", "LS", "Logon as a service", "Log on as a service", true, false},
    {"SeImpersonatePrivilege", "IM", "Impersonate", "Impersonate a client after authentication",
     false, false},
    {"SeCreateGlobalPrivilege", "CG", "Create global", "Create global objects", false, false},
    {"SeManageVolumePrivilege", "MV", "Manage volume", "Perform volume maintenance tasks", false,
     false},
    {"SeCreateSymbolicLinkPrivilege", "SL", "Create symbolic link", "Create symbolic links", false,
     false},
    {"SeTimeZonePrivilege", "TZ", "Change time zone", "Change the time zone", false, false},
    {"SeIncreaseWorkingSetPrivilege", "WS", "Increase working set",
     "Increase a process working set", false, false},
    {"SeTrustedCredManAccessPrivilege", "CM", "Trusted Credential Manager access",
     "Access Credential Manager as a trusted caller", false, false},
    {"SeRelabelPrivilege", "RL", "Relabel", "Modify an object label", false, false},
    {"SeEnableDelegationPrivilege", "ED", "Enable delegation",
     "Enable computer and user accounts to be trusted for delegation", false, false},
    {"SeSyncAgentPrivilege", "SA", "Synchronize agent", "Synchronize directory service data", false,
     false},
    {"SeUndockPrivilege", "UD", "Undock", "Remove computer from docking station", false, false},
    {"SeDelegateSessionUserImpersonatePrivilege", "SU", "Session user impersonation",
     "Obtain an impersonation token for another user in the same session", false, false},
    {"SeRemoteInteractiveLogonRight", "RI", "Remote interactive logon",
     "Allow log on through Remote Desktop Services", true, false},
    {"SeDenyInteractiveLogonRight", "DI", "Deny interactive logon", "Deny log on locally", true,
     true},
    {"SeDenyNetworkLogonRight", "DN", "Deny network logon",
     "Deny access to this computer from the network", true, true},
    {"SeDenyBatchLogonRight", "DB", "Deny logon as a batch job", "Deny log on as a batch job", true,
     true},
    {"SeDenyServiceLogonRight", "DS", "Deny logon as a service", "Deny log on as a service", true,
     true},
    {"SeDenyRemoteInteractiveLogonRight", "DR", "Deny remote interactive logon",
     "Deny log on through Remote Desktop Services", true, true},
}};

const std::array<const char*, RightCount> PolicyNames = [] {
  std::array<const char*, RightCount> names{};
  for (int ordinal = 0; ordinal < RightCount; ++ordinal)
    names[ordinal] = RightsCatalogue[ordinal].constant;
  return names;
}();

const std::array<const char*, PrivilegeCount> PrivilegeLegend = {
    "CT - Create token",
    "PT - Assign primary token",
    "LM - Lock memory",
    "IQ - Increase quota",
    "MA - Machine account",
    "PS - Act as a part of system",
    "SY - Security",
    "TO - Take ownership",
    "LD - Load driver",
    "SP - System profile",
    "ST - Change system time",
    "PR - Profile single process",
    "IP - Increase base priority",
    "PG - Create pagefile",
    "PM - Create permanent",
    "BK - Backup",
    "RE - Restore",
    "SH - Shutdown",
    "DG - Debug",
    "AU - Audit",
    "SE - System environment",
    "CN - Change notify",
    "RS - Remote shutdown",
    "IL - Interactive logon",
    "NL - Network logon",
    "BJ - Logon as a batch job",
    "LS - Logon as a service",
};

namespace {

std::string Folded(const std::string& text) {
  std::string folded;
  for (char c : text) folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

std::optional<TvmPrivilege> PrivilegeFromPolicyName(const std::string& name) {
  for (int ordinal = 0; ordinal < RightCount; ++ordinal)
    if (name == PolicyNames[ordinal]) return static_cast<TvmPrivilege>(ordinal);
  return std::nullopt;
}

std::optional<TvmPrivilege> RightFromUserText(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const std::string key = Folded(text.substr(first, text.find_last_not_of(" \t") - first + 1));
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const TRightInfo& info = RightsCatalogue[ordinal];
    if (key == Folded(info.constant) || key == Folded(info.code) || key == Folded(info.policyName))
      return static_cast<TvmPrivilege>(ordinal);
  }
  return std::nullopt;
}

std::string PrivilegeLegendLine(TvmPrivilege right) {
  return std::string(RightInfo(right).code) + " - " + RightInfo(right).shortName;
}

std::string PrivilegeCode(TvmPrivilege right) { return RightInfo(right).code; }

std::string RightDescription(TvmPrivilege right) {
  const TRightInfo& info = RightInfo(right);
  return std::string(info.code) + " - " + info.policyName + " (" + info.constant + ")";
}

const std::vector<TvmPrivilege>& ViewRights(TRightsView view) {
  static const std::vector<TvmPrivilege> classic = [] {
    std::vector<TvmPrivilege> rights;
    for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
      rights.push_back(static_cast<TvmPrivilege>(ordinal));
    return rights;
  }();
  static const std::vector<TvmPrivilege> all = [] {
    std::vector<TvmPrivilege> rights;
    for (int ordinal = 0; ordinal < RightCount; ++ordinal)
      if (!RightsCatalogue[ordinal].logonRight)
        rights.push_back(static_cast<TvmPrivilege>(ordinal));
    for (auto [right, denied] : {std::pair{spInteractiveLogon, spDenyInteractiveLogon},
                                 {spNetworkLogon, spDenyNetworkLogon},
                                 {spBatchLogon, spDenyBatchLogon},
                                 {spServiceLogon, spDenyServiceLogon},
                                 {spRemoteInteractiveLogon, spDenyRemoteInteractiveLogon}}) {
      rights.push_back(right);
      rights.push_back(denied);
    }
    return rights;
  }();
  return view == TRightsView::All ? all : classic;
}

TvmPrivileges ViewSet(TRightsView view) {
  return view == TRightsView::All ? TvmPrivileges::All() : TvmPrivileges::Classic();
}

const char* ViewName(TRightsView view) { return view == TRightsView::All ? "all" : "classic"; }

std::optional<TRightsView> ViewFromName(const std::string& name) {
  if (name == "classic") return TRightsView::Classic;
  if (name == "all") return TRightsView::All;
  return std::nullopt;
}
