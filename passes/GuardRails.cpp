#include "passes/GuardRails.h"

#include "sid/Velmar_SidCenter.h"

namespace {

constexpr const char* kEveryone = "S-1-1-0";
constexpr const char* kAuthenticatedUsers = "S-1-5-11";
constexpr const char* kLocalService = "S-1-5-19";
constexpr const char* kNetworkService = "S-1-5-20";
constexpr const char* kAdministrators = "S-1-5-32-544";
constexpr const char* kUsers = "S-1-5-32-545";

constexpr TvmPrivileges kDenyLogonRights{spDenyInteractiveLogon, spDenyNetworkLogon,
                                         spDenyBatchLogon, spDenyServiceLogon,
                                         spDenyRemoteInteractiveLogon};

}  // namespace

const std::vector<TGuardRule>& GuardRules() {
  static const std::vector<TGuardRule> rules = {
      // A deny right outranks every grant: "Deny log on locally", "Deny access
      // to this computer from the network", "Deny log on as a batch job",
      // "Deny log on as a service" and "Deny log on through Remote Desktop
      // Services" (learn.microsoft.com, Windows security, Security policy
      // settings, User Rights Assignment, each right's page) warn that
      // assigning them to Everyone, to broad groups or to the accounts that
      // administer the computer keeps those accounts from logging on at all.
      {"a deny-logon right granted to Everyone, Authenticated Users, Users or Administrators "
       "locks out everyone in it",
       true,
       kDenyLogonRights,
       {kEveryone, kAuthenticatedUsers, kUsers, kAdministrators}},
      // The same pages: denying the logon of the account that manages the
      // computers cuts off this program (and its user) from them.
      {"a deny-logon right granted to the account Tavrin runs or logs on as locks Tavrin out",
       true,
       kDenyLogonRights,
       {kProgramAccount}},
      // "Access this computer from the network" and "Allow log on locally"
      // (same reference): Administrators hold them by default on every kind of
      // computer; removing them keeps administrators from managing it over
      // the network or at its console.
      {"revoking network or local logon from Administrators keeps administrators out",
       false,
       TvmPrivileges{spNetworkLogon, spInteractiveLogon},
       {kAdministrators}},
      // "Change the system time" and "Change the time zone" (same reference,
      // Potential impact): LOCAL SERVICE must keep them for the services that
      // run under it.
      {"LOCAL SERVICE must keep the rights to change the system time and the time zone",
       false,
       TvmPrivileges{spSystemTyme, spTimeZone},
       {kLocalService}},
      // "Generate security audits", "Bypass traverse checking", "Create global
      // objects", "Adjust memory quotas for a process", "Replace a process
      // level token" and "Impersonate a client after authentication" (same
      // reference, Potential impact / Default values): LOCAL SERVICE and
      // NETWORK SERVICE must keep them, or the services under them fail.
      {"LOCAL SERVICE and NETWORK SERVICE must keep the rights their services need",
       false,
       TvmPrivileges{spAudit, spChangeNotify, spCreateGlobal, spIncreaseQuota, spAssignPrimaryToken,
                     spImpersonate},
       {kLocalService, kNetworkService}},
  };
  return rules;
}

std::vector<TGuardFlag> CheckGuardRails(const std::string& account,
                                        const std::string& programAccount,
                                        const std::vector<TStagedRow>& rows) {
  std::vector<TGuardFlag> flags;
  for (const TGuardRule& rule : GuardRules()) {
    bool concerned = false;
    for (const char* sid : rule.accounts)
      concerned |= sid == kProgramAccount ? !programAccount.empty() && account == programAccount
                                          : account == sid;
    if (!concerned) continue;
    TGuardFlag flag{rule.says, {}, {}};
    for (const TStagedRow& row : rows) {
      if (row.unreadable) continue;
      const TvmPrivileges hit = (rule.grant ? row.grants : row.revokes) & rule.rights;
      if (hit.Empty()) continue;
      flag.rights = flag.rights | hit;
      flag.computers.push_back(row.name);
    }
    if (!flag.computers.empty()) flags.push_back(std::move(flag));
  }
  return flags;
}

std::string GuardFlagsText(const std::vector<TGuardFlag>& flags) {
  std::string text;
  for (const TGuardFlag& flag : flags) {
    text += flag.says + ": " + RightNames(flag.rights) + " on ";
    for (size_t i = 0; i < flag.computers.size(); ++i) text += (i ? ", " : "") + flag.computers[i];
    text += "\n";
  }
  return text;
}

std::string ProgramAccountSid() {
  TvmSidCenter center;
  center.SetWellKnown(wkCurrentUser);
  return center.SidString();
}
