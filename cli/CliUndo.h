// tavrin-cli undo: what a pass of the journal wrote, put back where it is
// still as the pass left it.
#pragma once

#include <cstdio>

#include "cli/CliOptions.h"

namespace tavrin::cli {

// Reads the pass's computers afresh, writes the inverse of each right the
// pass wrote where it is still as the pass left it, journals that as an
// apply does, and prints one line per computer. Answers the exit status.
int Undo(const TOptions& options, std::FILE* out, std::FILE* err);

}  // namespace tavrin::cli
