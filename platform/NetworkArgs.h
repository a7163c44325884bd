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

// The options above, each declared once: parsing and the programs' help
// both come from here.
struct NetworkOption {
  const char* name;
  const char* value;  // what it takes, as help shows it
  const char* help;
  bool windowOnly;  // --computers-file (tavrin-cli has one of its own)
};
const std::vector<NetworkOption>& NetworkOptionList();
// The options for a help text: one line each, "  --name VALUE   help".
std::string NetworkOptionsHelp(bool window);

// Takes the options above out of `args` (the other arguments stay, in
// order). Throws std::invalid_argument with a message for the user: a
// missing value, an unknown network, --server or --user missing for the real
// network, or given without it. --computers-file is taken only when
// `computersFile` is set (tavrin-cli has an option of that name of its own).
NetworkArgs TakeNetworkArgs(std::vector<std::string>& args, bool computersFile = false);

}  // namespace tavrin::platform
