#include "platform/NetworkArgs.h"

#include <iterator>
#include <stdexcept>

#include "platform/RealLogin.h"

namespace tavrin::platform {

NetworkArgs TakeNetworkArgs(std::vector<std::string>& args, bool computersFile) {
  NetworkArgs result;
  bool serverGiven = false, userGiven = false, fileGiven = false;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--network") {
      const std::string network = value();
      if (network != "sim" && network != "real")
        throw std::invalid_argument("unknown network \"" + network + "\" (sim or real)");
      result.real = network == "real";
    } else if (arg == "--server") {
      result.options.server = value();
      serverGiven = true;
    } else if (arg == "--user") {
      result.options.user = value();
      userGiven = true;
    } else if (arg == "--password-fd") {
      const std::string fd = value();
      if (fd.empty() || fd.size() > 6 || fd.find_first_not_of("0123456789") != std::string::npos)
        throw std::invalid_argument("--password-fd needs a file descriptor number");
      result.passwordFd = std::stoi(fd);
    } else if (arg == "--computers-file" && computersFile) {
      result.options.computersFile = value();
      fileGiven = true;
    } else {
      rest.push_back(arg);
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
