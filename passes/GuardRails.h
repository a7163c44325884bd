// The guard rails of a commit: changes that can lock administrators out of
// their computers or take from Windows' own service accounts what they need,
// checked before anything is written. The rules are one table
// (GuardRules), each sourced to the public Windows documentation.
#pragma once

#include <string>
#include <vector>

#include "passes/CommitReport.h"
#include "rights/Velmar_RightsCenter.h"

// The account the program itself runs as, or logs on to the computers as,
// in the accounts of a rule.
inline constexpr const char* kProgramAccount = "program account";

// One rule: a grant (or revocation) of any of `rights` to (or from) any of
// `accounts` (SID texts, or kProgramAccount) is flagged with `says`.
struct TGuardRule {
  const char* says;
  bool grant;
  TvmPrivileges rights;
  std::vector<const char*> accounts;
};

const std::vector<TGuardRule>& GuardRules();

// One rule a commit would break: what the rule says, the rights concerned
// and the computers, in the order of the rows.
struct TGuardFlag {
  std::string says;
  TvmPrivileges rights;
  std::vector<std::string> computers;
};

// The rules the staged rows would break for the account of SID text
// `account`; `programAccount` is the SID text of the account the program
// runs or logs on as (empty when unknown). Rows the commit skips as
// unreadable are left out.
std::vector<TGuardFlag> CheckGuardRails(const std::string& account,
                                        const std::string& programAccount,
                                        const std::vector<TStagedRow>& rows);

// The SID text of the account the program runs as (on the real network:
// logs on as); empty when it cannot be had.
std::string ProgramAccountSid();

// Each flag on a line of its own: "says: rights (codes) on A, B".
std::string GuardFlagsText(const std::vector<TGuardFlag>& flags);
