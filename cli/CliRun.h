// What tavrin-cli does once its arguments are read: resolve the account,
// gather the computers, read or commit them on a pool of workers and print
// the results in the order of the computer list.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "passes/GuardRails.h"
#include "passes/Journal.h"
#include "passes/PassEngine.h"
#include "passes/RowWork.h"

namespace tavrin::cli {

// Exit statuses.
constexpr int ExitDone = 0;        // every computer done
constexpr int ExitSomeFailed = 1;  // some computers unreadable or failed, the rest done
constexpr int ExitUsage = 2;       // bad arguments, or the account cannot be resolved

// The account as resolved: its SID and the text it was given as.
struct TResolvedAccount {
  TSid sid;
  std::string sidString;
  std::string given;
};

// Resolves the account through a SID center (SetAccount) on the source: a
// SID text as it stands; "DOMAIN\name"; a bare name first qualified with the
// source's domain (or computer) name, then as it stands. The source is a
// computer or a domain whose controller is found with NetGetAnyDCName.
// Throws std::runtime_error naming the account when it cannot be resolved.
TResolvedAccount ResolveAccount(const std::string& account, const std::string& source);

// The computers to work on: --computers, the files, then the scan, each
// name once (letter case ignored); "." stands for this computer. A file
// that cannot be read throws std::invalid_argument; a failed scan is
// written to `err` and sets `scanFailed`, keeping what it found.
std::vector<std::string> GatherComputers(const TOptions& options, std::FILE* err, bool& scanFailed);

// Reads or commits `computers` for `account`, 16 at once, and gives the
// results in the order of the list. A commit writes `codes[i]` to computer i,
// or `codes[0]` to each when there is one.
std::vector<TRowResult> RunPass(const std::vector<std::string>& computers, const TSid& account,
                                TRowJobKind kind, const std::vector<TRowCodes>& codes,
                                std::FILE* err);

// A text from outside (a name, a system message) as a terminal may show it.
std::string Shown(const std::string& text);

// The result of an apply on one computer, as printed.
struct TApplyLine {
  const char* outcome = "";  // written, in force, planned, not read, failed, unverified
  TvmPrivileges granted, revoked, inForce;
  std::string failedRight;
  std::string error;  // the reason, without its code
  DWORD code = 0;
  std::string problem;  // what went wrong, as the row says it (CommitProblem)
};

// What became of a row committed with `codes` (its marks are what was asked
// for); for a dry run, what its read says a commit would do.
TApplyLine ApplyLineOf(bool dryRun, const TRowResult& result, const TRowCodes& codes);

// "granted A, B; revoked C; already in force: D", then what went wrong; a
// row that failed or was not read says only that, as the window's row does.
std::string ApplyText(const TApplyLine& line, bool dry);

// The guard rails the planned changes would break, written to `err`: true
// when they refuse the changes (no --force, not a dry run).
bool GuardRailsRefuse(const TOptions& options, const std::string& sid,
                      const std::vector<TStagedRow>& planned, std::FILE* err);

// A journal that cannot be written, said on `err`: true when it cannot.
bool JournalRefuses(const TJournal& journal, std::FILE* err);

// Display width of a UTF-8 text in a table: its code points.
size_t Width(const std::string& text);

// Runs a report, an apply or a who-has after start-up; returns the exit status.
int RunCommand(const TOptions& options, std::FILE* out, std::FILE* err);

}  // namespace tavrin::cli
