// The work on one computer's row, without any window: reading the chosen
// account's rights from a computer, and committing a row's staged marks to
// it. Each function drives the SID center and the rights center it is
// given, so that one pair can serve every row in turn, or each worker of a
// pass can have its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "passes/CellCode.h"
#include "platform/win32api.h"
#include "rights/Velmar_RightsCenter.h"

class TvmSidCenter;
class TvmAccountRigthsCenter;

// What a read of one computer found.
struct TRowRead {
  bool failed = true;
  TvmPrivileges rights;   // the catalogue rights held, when the read went through
  DWORD error = 0;        // the system error code of a failed read, where there is one
  std::string errorText;  // why it failed, for reports
};

// Reads the rights of `account` on computer `name`: checks that the
// computer answers (NetServerGetInfo, level 100), gives the account to `sc`,
// points `arc` (bound to `sc`) at the computer and reads. Never raises.
// Without an account, or when the SID center refuses it, the read fails:
// a row must never claim that an account it could not name lacks every
// right.
TRowRead ReadRights(TvmSidCenter& sc, TvmAccountRigthsCenter& arc, const std::string& name,
                    const TSid& account);

// One account holding a right on a computer.
struct THolder {
  std::string sid;   // "S-1-5-32-544"
  std::string name;  // "BUILTIN\Administrators"; the SID text when no computer could name it
};

// What a read of one right's holders on one computer found.
struct TRowHolders {
  bool failed = true;
  std::vector<THolder> holders;  // in the order the computer gave them
  DWORD error = 0;               // the system error code of a failed read
  std::string errorText;         // why it failed, for reports
};

// Reads which accounts hold `right` on computer `name`: one policy opened
// for looking up names and viewing the policy, one enumeration
// (LsaEnumerateAccountsWithUserRight), none holding it is an empty list.
// The SIDs are named through the SID center's cache of names
// (Velmar_SidCenterNames.h), asking the computer only for SIDs not met
// before. Never raises.
TRowHolders ReadHolders(const std::string& name, TvmPrivilege right);

// What a commit did to one computer.
enum class TCommitOutcome : uint8_t {
  Skipped,     // unreadable (fresh read failed, or a cell shows 'E'): nothing written
  InForce,     // the rights asked for were already in force: nothing written
  Written,     // the difference was written and the computer holds it now
  Failed,      // no account, the SID center refused it, or a write failed
  Cancelled,   // stopped before anything was written
  Unverified,  // every write went through, but reading the computer back failed
};

struct TRowCommit {
  TCommitOutcome outcome = TCommitOutcome::Skipped;
  TvmPrivileges before;     // what the fresh read found, once it went through
  TvmPrivileges rights;     // what the computer holds afterwards (InForce, Written), or
                            // should hold (Unverified)
  TvmPrivileges granted;    // the grants and revocations written: all of them (Written,
  TvmPrivileges revoked;    // Unverified), those made before the failing one (Failed)
  std::string failedRight;  // the right whose write failed; empty when none did
  DWORD error = 0;          // the system error code of the failure, skip or read-back
  std::string errorText;    // why it failed, was skipped or is not verified
  // The codes the row shows afterwards.
  TRowCodes codes;
};

// Commits the row's staged marks to computer `name` for `account`: reads
// the computer afresh, applies the grants and revocations to what it holds
// now, keeps the account's rights outside the catalogue, and lets `arc`
// write the difference, one right per call. A computer that does not answer
// is skipped as a read would skip it. `beforeWrite` is called just before
// the first write; answering false cancels the row with nothing written.
// After writing, the computer is read back: what it holds must be what was
// asked for (Written), and when that read fails the row is Unverified.
// Never raises.
TRowCommit CommitRights(TvmSidCenter& sc, TvmAccountRigthsCenter& arc, const std::string& name,
                        const TSid& account, const TRowCodes& codes,
                        const std::function<bool()>& beforeWrite = {});

// The system's text for a code on one line, "error N" where the system has
// none.
std::string ErrorDescription(DWORD code);

// What went wrong with a commit, on one line, as a row shows it:
// "granted A; revoked B; failed C: reason (code)", "written, not verified:
// reason (code)", "not read: reason (code)"; empty when the row was written
// or already in force.
std::string CommitProblem(const TRowCommit& commit);

// The policy names of the rights of a set in catalogue order, joined by
// ", ": "SeBackupPrivilege, SeDebugPrivilege".
std::string RightNames(TvmPrivileges rights);

// A failure's text with its code: "Access is denied (5)"; the text alone
// for code 0, and "error N" (no system text) as it stands.
std::string ErrorWithCode(const std::string& text, DWORD code);
