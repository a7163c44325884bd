// On the simulated platform, starting the platform means installing the
// network the program runs on.
#include "platform/PlatformInit.h"

#include "platform/sim/SimNetwork.h"

namespace tavrin::platform {

bool Initialize(std::string& error) {
  try {
    sim::Install(sim::NetworkFromEnvironment());
    error.clear();
    return true;
  } catch (const sim::NetworkDescriptionError& e) {
    error = e.what();
  } catch (const std::exception& e) {
    error = std::string("simulated network: ") + e.what();
  }
  return false;
}

}  // namespace tavrin::platform
