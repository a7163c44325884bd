// tavrin-cli history: the journal of changes, read back.
#pragma once

#include <cstdio>

#include "cli/CliOptions.h"

namespace tavrin::cli {

// Prints the journal's records that pass the filters (--since, --computer,
// --account, --right), newest pass first, one line per right written (or
// per computer where nothing was). Damaged lines are skipped with a warning on
// `err`. Answers the exit status.
int History(const TOptions& options, std::FILE* out, std::FILE* err);

}  // namespace tavrin::cli
