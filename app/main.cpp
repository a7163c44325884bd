#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/NetworkLogin.h"
#include "app/TavrinMain.h"
#include "platform/NetworkArgs.h"
#include "platform/PlatformInit.h"

int main(int argc, char* argv[]) {
  // The network options are the program's; the rest go to Qt.
  std::vector<std::string> args(argv + 1, argv + argc);
  // Help and version print and end before anything starts; no display is needed.
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(tavrin::WindowHelpText(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("tavrin %s\n", TAVRIN_VERSION);
      return 0;
    }
  }
  tavrin::platform::NetworkArgs network;
  try {
    network = tavrin::platform::TakeNetworkArgs(args, true);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "tavrin: %s\n", e.what());
    return 1;
  }
  std::vector<char*> qtArgs{argv[0]};
  for (std::string& arg : args) qtArgs.push_back(arg.data());
  qtArgs.push_back(nullptr);
  int qtCount = static_cast<int>(qtArgs.size()) - 1;

  if (network.real)
    return tavrin::TavrinMain(qtCount, qtArgs.data(),
                              [&] { return tavrin::LogInToRealNetwork(network); });
  std::string error;
  if (!tavrin::platform::Initialize(error)) {
    std::fprintf(stderr, "tavrin: %s\n", error.c_str());
    return 1;
  }
  return tavrin::TavrinMain(qtCount, qtArgs.data());
}
