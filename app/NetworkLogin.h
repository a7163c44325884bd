// Logging in to a real network before the window opens: the password is
// asked for in a dialog (or read from --password-fd), handed to the
// platform, and checked against the server that stands for this computer.
#pragma once

#include "platform/NetworkArgs.h"

namespace tavrin {

// Needs the application object. Asks again after a logon failure; false
// when the administrator cancels or the network cannot be used (the reason
// has been shown).
bool LogInToRealNetwork(const platform::NetworkArgs& network);

}  // namespace tavrin
