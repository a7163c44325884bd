#include <cstdio>
#include <string>

#include "app/TavrinMain.h"
#include "platform/PlatformInit.h"

int main(int argc, char* argv[]) {
  std::string error;
  if (!tavrin::platform::Initialize(error)) {
    std::fprintf(stderr, "tavrin: %s\n", error.c_str());
    return 1;
  }
  return tavrin::TavrinMain(argc, argv);
}
