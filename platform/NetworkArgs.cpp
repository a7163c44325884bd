#include "platform/NetworkArgs.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "platform/RealLogin.h"

namespace tavrin::platform {

const std::vector<NetworkOption>& NetworkOptionList() {
  static const std::vector<NetworkOption> options = {
      {"--network", "sim|real", "the simulated network (the default) or real computers", false},
      {"--server", "NAME[:PORT]", "the computer standing for this one on a real network", false},
      {"--user", "DOMAIN\\NAME", "the account the connections authenticate as", false},
      {"--password-fd", "N", "read the password from file descriptor N", false},
      {"--computers-file", "FILE", "the names \"Update list of computers\" lists", true},
  };
  return options;
}

std::string NetworkOptionsHelp(bool window) {
  std::string text;
  for (const NetworkOption& option : NetworkOptionList()) {
    if (option.windowOnly && !window) continue;
    std::string head = std::string("  ") + option.name + " " + option.value;
    head.resize(std::max<size_t>(head.size() + 1, 30), ' ');
    text += head + option.help + "\n";
  }
  return text;
}

NetworkArgs TakeNetworkArgs(std::vector<std::string>& args, bool computersFile) {
  NetworkArgs result;
  bool serverGiven = false, userGiven = false, fileGiven = false;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const NetworkOption* option = nullptr;
    for (const NetworkOption& candidate : NetworkOptionList())
      if (arg == candidate.name && (computersFile || !candidate.windowOnly)) option = &candidate;
    if (option == nullptr) {
      rest.push_back(arg);
      continue;
    }
    if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
    const std::string value = args[++i];
    if (arg == "--network") {
      if (value != "sim" && value != "real")
        throw std::invalid_argument("unknown network \"" + value + "\" (sim or real)");
      result.real = value == "real";
    } else if (arg == "--server") {
      result.options.server = value;
      serverGiven = true;
    } else if (arg == "--user") {
      result.options.user = value;
      userGiven = true;
    } else if (arg == "--password-fd") {
      if (value.empty() || value.size() > 6 ||
          value.find_first_not_of("0123456789") != std::string::npos)
        throw std::invalid_argument("--password-fd needs a file descriptor number");
      result.passwordFd = std::stoi(value);
    } else {
      result.options.computersFile = value;
      fileGiven = true;
    }
  }
  if (result.real && (result.options.server.empty() || result.options.user.empty()))
    throw std::invalid_argument(
        "--network real needs --server NAME[:PORT] and --user DOMAIN\\NAME");
  if (!result.real && (serverGiven || userGiven || fileGiven || result.passwordFd >= 0))
    throw std::invalid_argument(
        "--server, --user, --password-fd and --computers-file go with --network real");
  args = std::move(rest);
  // The window asks for the password in a dialog of its own: from here on.
  if (result.real) KeepSecretsOutOfDumps();
  return result;
}

}  // namespace tavrin::platform
