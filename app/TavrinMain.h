// The program's start: the operating-system check, then the main window and
// its message loop.
#pragma once

#include <functional>

namespace tavrin {

// The refusal shown outside the NT family.
extern const char* const NeedsWindowsNtText;

// Shows the refusal as a modal warning box with one OK button and returns
// when it is closed.
void ShowStartupRefusal();

// Runs the program on the platform as it stands: the units' start steps,
// the application object (unless one exists already), the family check,
// then the main window until it closes. Returns the exit code: 0 after the
// refusal and after the window has closed; 1 when an argument is left that
// the application object did not take as Qt's, or the start steps or the
// window's creation fail, with the reason on the standard error stream.
// `prepare`, when given, runs once the application object exists and before
// the start steps (the login to a real network); answering false ends the
// program with 1.
int TavrinMain(int argc, char** argv, const std::function<bool()>& prepare = {});

// The text `tavrin --help` prints.
const char* WindowHelpText();

}  // namespace tavrin
