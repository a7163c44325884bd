// The built-in demonstration network: a small organisation with one domain,
// a warehouse workgroup, and the usual untidiness of a real network.
#include <algorithm>

#include "platform/sim/SimNetwork.h"

namespace tavrin::sim {
namespace {

constexpr const char* kDomainSid = "S-1-5-21-1708537768-1957994488-725345543";

std::string Rid(const std::string& base, uint32_t rid) { return base + "-" + std::to_string(rid); }

// Grants `right` to every SID of `holders` in a computer's policy.
void Grant(ComputerSpec& c, const std::string& right, const std::vector<std::string>& holders) {
  for (const std::string& sid : holders) {
    auto& list = c.rights[sid];
    if (std::find(list.begin(), list.end(), right) == list.end()) list.push_back(right);
  }
}

const std::string kEveryone = "S-1-1-0";
const std::string kService = "S-1-5-6";
const std::string kAuthenticated = "S-1-5-11";
const std::string kSystem = "S-1-5-18";
const std::string kAdmins = "S-1-5-32-544";
const std::string kUsers = "S-1-5-32-545";
const std::string kGuests = "S-1-5-32-546";
const std::string kPowerUsers = "S-1-5-32-547";
const std::string kAccountOps = "S-1-5-32-548";
const std::string kServerOps = "S-1-5-32-549";
const std::string kPrintOps = "S-1-5-32-550";
const std::string kBackupOps = "S-1-5-32-551";

// The policy Windows 2000 gives a workstation or member server out of the box.
void MemberDefaults(ComputerSpec& c) {
  const std::string guest = Rid(c.machineSid, 501);
  Grant(c, "SeNetworkLogonRight", {kEveryone, kAdmins, kUsers, kPowerUsers, kBackupOps});
  Grant(c, "SeInteractiveLogonRight", {kAdmins, kUsers, kPowerUsers, kBackupOps, guest});
  Grant(c, "SeChangeNotifyPrivilege", {kEveryone, kAdmins, kUsers, kPowerUsers, kBackupOps});
  Grant(c, "SeShutdownPrivilege", {kAdmins, kUsers, kPowerUsers, kBackupOps});
  Grant(c, "SeUndockPrivilege", {kAdmins, kUsers, kPowerUsers});
  Grant(c, "SeSystemtimePrivilege", {kAdmins, kPowerUsers});
  Grant(c, "SeProfileSingleProcessPrivilege", {kAdmins, kPowerUsers});
  Grant(c, "SeBackupPrivilege", {kAdmins, kBackupOps});
  Grant(c, "SeRestorePrivilege", {kAdmins, kBackupOps});
  for (const char* r :
       {"SeSecurityPrivilege", "SeTakeOwnershipPrivilege", "SeLoadDriverPrivilege",
        "SeSystemProfilePrivilege", "SeIncreaseBasePriorityPrivilege", "SeCreatePagefilePrivilege",
        "SeSystemEnvironmentPrivilege", "SeRemoteShutdownPrivilege", "SeDebugPrivilege",
        "SeIncreaseQuotaPrivilege"})
    Grant(c, r, {kAdmins});
  // Added by Service Pack 4.
  Grant(c, "SeImpersonatePrivilege", {kAdmins, kService});
  Grant(c, "SeCreateGlobalPrivilege", {kAdmins, kService});
  Grant(c, "SeDenyNetworkLogonRight", {guest});
  Grant(c, "SeAuditPrivilege", {kSystem});
}

// The Default Domain Controllers Policy.
void ControllerDefaults(ComputerSpec& c) {
  Grant(c, "SeNetworkLogonRight", {kEveryone, kAuthenticated, kAdmins});
  Grant(c, "SeInteractiveLogonRight", {kAdmins, kAccountOps, kServerOps, kPrintOps, kBackupOps});
  Grant(c, "SeChangeNotifyPrivilege", {kEveryone, kAuthenticated, kAdmins});
  Grant(c, "SeShutdownPrivilege", {kAdmins, kServerOps, kPrintOps, kBackupOps, kAccountOps});
  Grant(c, "SeSystemtimePrivilege", {kAdmins, kServerOps});
  Grant(c, "SeRemoteShutdownPrivilege", {kAdmins, kServerOps});
  Grant(c, "SeBackupPrivilege", {kAdmins, kServerOps, kBackupOps});
  Grant(c, "SeRestorePrivilege", {kAdmins, kServerOps, kBackupOps});
  Grant(c, "SeLoadDriverPrivilege", {kAdmins, kPrintOps});
  Grant(c, "SeMachineAccountPrivilege", {kAuthenticated});
  Grant(c, "SeEnableDelegationPrivilege", {kAdmins});
  for (const char* r :
       {"SeSecurityPrivilege", "SeTakeOwnershipPrivilege", "SeSystemProfilePrivilege",
        "SeIncreaseBasePriorityPrivilege", "SeCreatePagefilePrivilege",
        "SeSystemEnvironmentPrivilege", "SeDebugPrivilege", "SeIncreaseQuotaPrivilege",
        "SeProfileSingleProcessPrivilege"})
    Grant(c, r, {kAdmins});
  Grant(c, "SeAuditPrivilege", {kSystem});
}

}  // namespace

NetworkSpec BuiltInNetwork() {
  NetworkBuilder b;
  b.ThisComputer("OKT-WS01")
      .CurrentUser("OKTAVA\\a.sokolova")
      .Latency(std::chrono::milliseconds(15))
      // Windows waits tens of seconds for a computer that is switched off;
      // a shorter wait keeps the demonstration moving.
      .Timeout(std::chrono::seconds(4))
      .Domain("OKTAVA")
      .Workgroup("WAREHOUSE")
      // The domain's controllers hold its accounts.
      .Computer("OKT-DC01", Role::DomainController, "OKTAVA")
      .MachineSid(kDomainSid)
      .User("krbtgt", 502)
      .User("a.sokolova", 1104)
      .User("Ирина.Волкова", 1105)
      .User("Пётр.Смирнов", 1106)
      .User("José.Martínez", 1107)
      .User("Zoë.Brandt", 1108)
      .User("helpdesk", 1109)
      .User("svc-backup", 1110)
      .User("svc-sql", 1111)
      .User("Ёжиков", 1112)
      .GlobalGroup("Бухгалтерия", 1200)
      .GlobalGroup("Helpdesk Staff", 1201)
      .GlobalGroup("Backup Admins", 1202)
      .GlobalGroup("Développeurs", 1203)
      .LocalGroup("RAS and IAS Servers", 553)
      .LocalGroup("Print Admins", 1300)
      .Computer("OKT-DC02", Role::DomainController, "OKTAVA")
      .MachineSid(kDomainSid)
      .Computer("OKT-FS01", Role::Server, "OKTAVA")
      .MachineSid("S-1-5-21-2025429265-688789844-1801674531")
      .User("scanner", 1001)
      .LocalGroup("Share Admins", 1002)
      .Computer("OKT-SQL01", Role::Server, "OKTAVA")
      .MachineSid("S-1-5-21-1275210071-1604221365-1343024091")
      .LocalGroup("SQLServerAdmins", 1001)
      .Computer("OKT-PRN01", Role::Server, "OKTAVA")
      .MachineSid("S-1-5-21-3478051220-2270383960-2054120366")
      .PolicyDenied(true)
      .Computer("OKT-WS01", Role::Workstation, "OKTAVA")
      .MachineSid("S-1-5-21-861567501-1202660629-682003330")
      .User("Техник", 1001)
      .LocalGroup("Local Support", 1002)
      .Computer("OKT-WS02", Role::Workstation, "OKTAVA")
      .MachineSid("S-1-5-21-1844237615-1383384898-1060284298")
      .Computer("OKT-WS03", Role::Workstation, "OKTAVA")
      .MachineSid("S-1-5-21-515967899-1606980848-1644491937")
      .User("Ана.Ковач", 1001)
      .Computer("OKT-WS04", Role::Workstation, "OKTAVA")
      .MachineSid("S-1-5-21-1390067357-1202660629-1417001333")
      .Answers(false)  // a laptop away from the office
      .Computer("OKT-WS05", Role::Workstation, "OKTAVA")
      .MachineSid("S-1-5-21-2052111302-1214440339-682003330")
      .Computer("OKT-LAB01", Role::Workstation, "OKTAVA")
      .MachineSid("S-1-5-21-3096613734-1891262406-2418214316")
      .Listed(false)  // answers, but the browser does not list it
      .Computer("WH-PC01", Role::Workstation, "WAREHOUSE")
      .MachineSid("S-1-5-21-4193428811-2701346121-3530154932")
      .User("кладовщик", 1000)
      .User("scanner", 1001)
      .Computer("WH-PC02", Role::Workstation, "WAREHOUSE")
      .MachineSid("S-1-5-21-1957994488-3530154932-2701346121")
      .User("кладовщик", 1000);
  NetworkSpec description = b.Build();

  const std::string svcBackup = Rid(kDomainSid, 1110);
  const std::string svcSql = Rid(kDomainSid, 1111);
  const std::string helpdesk = Rid(kDomainSid, 1201);
  const std::string backupAdmins = Rid(kDomainSid, 1202);
  const std::string deletedUser = Rid(kDomainSid, 1099);  // an account deleted long ago
  const std::string oldTrust = "S-1-5-21-3623811015-3361044348-30300820-1013";  // a retired domain

  for (ComputerSpec& c : description.computers) {
    if (c.role == Role::DomainController) {
      ControllerDefaults(c);
      Grant(c, "SeBackupPrivilege", {backupAdmins});
      Grant(c, "SeRestorePrivilege", {backupAdmins});
      Grant(c, "SeBatchLogonRight", {svcBackup});
      continue;
    }
    MemberDefaults(c);
    if (c.domain == "OKTAVA" && c.role == Role::Workstation) {
      Grant(c, "SeRemoteShutdownPrivilege", {helpdesk});
      Grant(c, "SeShutdownPrivilege", {helpdesk});
      Grant(c, "SeRemoteInteractiveLogonRight", {helpdesk, kAdmins});
    }
  }
  auto computer = [&](const char* name) -> ComputerSpec& {
    for (ComputerSpec& c : description.computers)
      if (c.name == name) return c;
    throw NetworkDescriptionError(std::string("built-in network: no ") + name);
  };
  ComputerSpec& fs = computer("OKT-FS01");
  Grant(fs, "SeServiceLogonRight", {svcBackup, deletedUser});
  Grant(fs, "SeBatchLogonRight", {svcBackup, deletedUser});
  Grant(fs, "SeBackupPrivilege", {svcBackup, backupAdmins});
  Grant(fs, "SeRestorePrivilege", {backupAdmins});
  Grant(fs, "SeDenyInteractiveLogonRight", {svcBackup});
  Grant(fs, "SeManageVolumePrivilege", {Rid(fs.machineSid, 1002)});
  ComputerSpec& sql = computer("OKT-SQL01");
  Grant(sql, "SeServiceLogonRight", {svcSql, svcBackup});
  Grant(sql, "SeLockMemoryPrivilege", {svcSql});
  Grant(sql, "SeAssignPrimaryTokenPrivilege", {svcSql});
  Grant(sql, "SeIncreaseQuotaPrivilege", {svcSql});
  Grant(sql, "SeTcbPrivilege", {oldTrust});
  Grant(sql, "SeDenyInteractiveLogonRight", {svcSql});
  ComputerSpec& ws1 = computer("OKT-WS01");
  Grant(ws1, "SeDebugPrivilege", {Rid(ws1.machineSid, 1002)});
  Grant(ws1, "SeSystemtimePrivilege", {Rid(ws1.machineSid, 1002)});
  Grant(ws1, "SeInteractiveLogonRight", {Rid(ws1.machineSid, 1001)});
  ComputerSpec& wh1 = computer("WH-PC01");
  Grant(wh1, "SeBatchLogonRight", {Rid(wh1.machineSid, 1001)});
  Grant(wh1, "SeShutdownPrivilege", {kGuests});
  // A right of Windows NT's time that no current Windows assigns any more.
  Grant(wh1, "SeUnsolicitedInputPrivilege", {kAdmins});
  return description;
}

}  // namespace tavrin::sim
