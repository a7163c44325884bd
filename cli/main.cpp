#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "platform/PlatformInit.h"
#include "rights/Velmar_WinVer.h"

#ifndef TAVRIN_VERSION
#define TAVRIN_VERSION "1.0"
#endif

int main(int argc, char* argv[]) {
  using namespace tavrin::cli;
  TOptions options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
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

  std::string error;
  if (!tavrin::platform::Initialize(error)) {
    std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
    return ExitUsage;
  }
  try {
    tavrin::StartupScope startup;
    if (!IsWinNT()) {
      std::fputs("tavrin-cli: this program runs only on Windows NT\n", stderr);
      return ExitUsage;
    }
    return RunCommand(options, stdout, stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin-cli: %s\n", e.what());
    return ExitUsage;
  }
}
