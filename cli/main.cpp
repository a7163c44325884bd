#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Velmar_WinVer.h"
#include "cli/CliHistory.h"
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/CliUndo.h"
#include "passes/Startup.h"
#include "platform/NetworkArgs.h"
#include "platform/PlatformInit.h"
#include "platform/RealLogin.h"

#ifndef TAVRIN_VERSION
#define TAVRIN_VERSION "1.0"
#endif

int main(int argc, char* argv[]) {
  using namespace tavrin::cli;
  TOptions options;
  tavrin::platform::NetworkArgs network;
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    network = tavrin::platform::TakeNetworkArgs(args);
    options = ParseOptions(args);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "tavrin-cli: %s\n", e.what());
    return ExitUsage;
  }
  if (options.command == TCommand::Help) {
    std::fputs(HelpText().c_str(), stdout);
    return ExitDone;
  }
  if (options.command == TCommand::Version) {
    std::puts("tavrin-cli " TAVRIN_VERSION);
    return ExitDone;
  }
  // The journal is read from the disk alone: no network is needed for it.
  if (options.command == TCommand::History) return History(options, stdout, stderr);

  std::string error;
  if (network.real) {
    // The password never comes from the command line or the environment.
    std::string password;
    const bool read = network.passwordFd >= 0
                          ? tavrin::platform::ReadPassword(network.passwordFd, password, error)
                          : tavrin::platform::AskPassword(
                                "Password for " + network.options.user + ": ", password);
    if (!read) {
      if (error.empty()) error = "no password: give --password-fd N or run on a terminal";
      std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
      return ExitUsage;
    }
    if (!tavrin::platform::InitializeReal(network.options, password, error)) {
      std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
      return ExitUsage;
    }
  } else if (!tavrin::platform::Initialize(error)) {
    std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
    return ExitUsage;
  }
  try {
    tavrin::StartupScope startup;
    if (!IsWinNT()) {
      std::fputs("tavrin-cli: this program runs only on Windows NT\n", stderr);
      return ExitUsage;
    }
    if (options.command == TCommand::Undo) return Undo(options, stdout, stderr);
    return RunCommand(options, stdout, stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin-cli: %s\n", e.what());
    return ExitUsage;
  }
}
