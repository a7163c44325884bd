#include "rights/Velmar_RightsCenter.h"

const std::array<const char*, PrivilegeCount> PolicyNames = {
    "SeCreateTokenPrivilege",
    "SeAssignPrimaryTokenPrivilege",
    "SeLockMemoryPrivilege",
    "SeIncreaseQuotaPrivilege",
    "SeMachineAccountPrivilege",
    "SeTcbPrivilege",
    "SeSecurityPrivilege",
    "SeTakeOwnershipPrivilege",
    "SeLoadDriverPrivilege",
    "SeSystemProfilePrivilege",
    "SeSystemtimePrivilege",
    "SeProfileSingleProcessPrivilege",
    "SeIncreaseBasePriorityPrivilege",
    "SeCreatePagefilePrivilege",
    "SeCreatePermanentPrivilege",
    "SeBackupPrivilege",
    "SeRestorePrivilege",
    "SeShutdownPrivilege",
    "SeDebugPrivilege",
    "SeAuditPrivilege",
    "SeSystemEnvironmentPrivilege",
    "SeChangeNotifyPrivilege",
    "SeRemoteShutdownPrivilege",
    "SeInteractiveLogonRight",
    "SeNetworkLogonRight",
    "SeBatchLogonRight",
    "SeServiceLogonRight",
};

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

const std::array<const char*, PrivilegeCount> PrivilegeDisplayNames = {
    "Create a token object",
    "Replace a process level token",
    "Lock pages in memory",
    "Adjust memory quotas for a process",
    "Add workstations to domain",
    "Act as part of the operating system",
    "Manage auditing and security log",
    "Take ownership of files or other objects",
    "Load and unload device drivers",
    "Profile system performance",
    "Change the system time",
    "Profile single process",
    "Increase scheduling priority",
    "Create a pagefile",
    "Create permanent shared objects",
    "Back up files and directories",
    "Restore files and directories",
    "Shut down the system",
    "Debug programs",
    "Generate security audits",
    "Modify firmware environment values",
    "Bypass traverse checking",
    "Force shutdown from a remote system",
    "Allow log on locally",
    "Access this computer from the network",
    "Log on as a batch job",
    "Log on as a service",
};

std::optional<TvmPrivilege> PrivilegeFromPolicyName(const std::string& name) {
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
    if (name == PolicyNames[ordinal]) return static_cast<TvmPrivilege>(ordinal);
  return std::nullopt;
}

std::string PrivilegeLegendLine(TvmPrivilege right) { return PrivilegeLegend[right]; }

std::string PrivilegeCode(TvmPrivilege right) { return std::string(PrivilegeLegend[right], 2); }
