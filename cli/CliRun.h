// What tavrin-cli does once its arguments are read: resolve the account,
// gather the computers, read or commit them on a pool of workers and print
// the results in the order of the computer list.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
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

// Runs a report, an apply or a who-has after start-up; returns the exit status.
int RunCommand(const TOptions& options, std::FILE* out, std::FILE* err);

}  // namespace tavrin::cli
