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
  // Each rule names the pages of Windows' "User Rights Assignment" reference
  // that state it, under
  // https://learn.microsoft.com/previous-versions/windows/it-pro/windows-10/security/threat-protection/security-policy-settings/
  static const std::vector<TGuardRule> rules = {
      // deny-log-on-locally, deny-access-to-this-computer-from-the-network,
      // deny-log-on-as-a-batch-job, deny-log-on-as-a-service and
      // deny-log-on-through-remote-desktop-services ("Potential impact"): a
      // deny right outranks every grant, and given to Everyone or to the
      // groups everyone or every administrator is in, it keeps them all out.
      {"a deny-logon right granted to Everyone, Authenticated Users, Users or Administrators "
       "locks out everyone in it",
       true,
       kDenyLogonRights,
       {kEveryone, kAuthenticatedUsers, kUsers, kAdministrators}},
      // The same pages: denied to the account that manages the computers, it
      // cuts this program (and its user) off from them.
      {"a deny-logon right granted to the account Tavrin runs or logs on as locks Tavrin out",
       true,
       kDenyLogonRights,
       {kProgramAccount}},
      // access-this-computer-from-the-network and allow-log-on-locally
      // ("Default values", "Potential impact"): Administrators hold both on
      // every kind of computer; without them administrators can neither manage
      // a computer over the network nor at its console.
      {"revoking network or local logon from Administrators keeps administrators out",
       false,
       TvmPrivileges{spNetworkLogon, spInteractiveLogon},
       {kAdministrators}},
      // change-the-system-time and change-the-time-zone ("Default values",
      // "Potential impact"): LOCAL SERVICE holds them for the services that
      // run under it, and must keep them.
      {"LOCAL SERVICE must keep the rights to change the system time and the time zone",
       false,
       TvmPrivileges{spSystemTyme, spTimeZone},
       {kLocalService}},
      // generate-security-audits, bypass-traverse-checking,
      // create-global-objects, adjust-memory-quotas-for-a-process,
      // replace-a-process-level-token and
      // impersonate-a-client-after-authentication ("Default values",
      // "Potential impact"): LOCAL SERVICE and NETWORK SERVICE hold them, and
      // the services under them fail without them.
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
