// The program's start and end steps, run explicitly by the entry point (and
// by tests, again and again, on a changed simulated platform).
//
// Start, in order: the operating-system version is read, the LSA functions
// are resolved, on the NT family the network management functions are
// resolved, and the SID lookup cache is created empty. The end steps undo
// them in the reverse order.
#pragma once

namespace tavrin {

// Runs the start steps. A step that raises (a failed GetVersionExA) undoes
// the steps already run and passes the exception on.
void RunStartSteps();

// Undoes what RunStartSteps did, in the reverse order. Safe to call when the
// start steps have not run.
void RunEndSteps();

// RAII form for the entry point and for tests.
class StartupScope {
 public:
  StartupScope() { RunStartSteps(); }
  ~StartupScope() { RunEndSteps(); }
  StartupScope(const StartupScope&) = delete;
  StartupScope& operator=(const StartupScope&) = delete;
};

}  // namespace tavrin
