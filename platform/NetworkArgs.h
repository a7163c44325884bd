// The command-line options that choose the network, shared by the window
// and tavrin-cli:
//   --network sim|real      the simulated network (the default) or real computers
//   --server NAME[:PORT]    the computer standing for this one on a real network
//   --user DOMAIN\NAME      the account the connections authenticate as
//   --password-fd N         read the password from file descriptor N
//   --computers-file FILE   (the window's) the names "Update list of computers" lists
#pragma once

#include <string>
#include <vector>

#include "platform/PlatformInit.h"

namespace tavrin::platform {

struct NetworkArgs {
  bool real = false;
  RealNetworkOptions options;
  int passwordFd = -1;  // -1: ask for it
};

// Takes the options above out of `args` (the other arguments stay, in
// order). Throws std::invalid_argument with a message for the user: a
// missing value, an unknown network, --server or --user missing for the real
// network, or given without it. --computers-file is taken only when
// `computersFile` is set (tavrin-cli has an option of that name of its own).
NetworkArgs TakeNetworkArgs(std::vector<std::string>& args, bool computersFile = false);

// Keeps secrets out of crash dumps from now on: the process is made
// non-dumpable and its core file size limit, soft and hard, set to 0 (so
// that it cannot be raised again). Taking the real network's options, both
// password readers and InitializeReal call it before any secret is in
// memory. False when either could not be set. Nothing to do on Windows.
bool KeepSecretsOutOfDumps();

// Reads a password from a file descriptor: up to the first line end or the
// end of the input. False with a message when it cannot be read.
bool ReadPassword(int fd, std::string& password, std::string& error);
// Asks for a password on the terminal without echoing it. False when there
// is no terminal. The terminal's settings are restored on every way out:
// the line's end, the end of input, and SIGINT, SIGTERM, SIGHUP or SIGQUIT,
// after which the signal ends the program as it would have.
bool AskPassword(const std::string& prompt, std::string& password);

}  // namespace tavrin::platform
