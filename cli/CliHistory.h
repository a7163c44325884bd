// tavrin-cli history: the journal of changes, read back.
#pragma once

#include <cstdio>
#include <vector>

#include "cli/CliOptions.h"
#include "passes/Journal.h"

namespace tavrin::cli {

// Every record of the journal, oldest first; each damaged line is said on
// `err` and skipped.
std::vector<TJournalRecord> ReadJournal(const TJournal& journal, std::FILE* err);

// Prints the journal's records that pass the filters (--since, --computer,
// --account, --right), newest pass first, one line per right written (or
// per computer where nothing was). Damaged lines are skipped with a warning on
// `err`. Answers the exit status.
int History(const TOptions& options, std::FILE* out, std::FILE* err);

}  // namespace tavrin::cli
