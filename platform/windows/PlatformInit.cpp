#include "platform/PlatformInit.h"

namespace tavrin::platform {

bool Initialize(std::string& error) {
  error.clear();
  return true;
}

bool RealNetworkAvailable() { return false; }

bool InitializeReal(const RealNetworkOptions&, std::string& password, std::string& error) {
  password.assign(password.size(), '\0');
  password.clear();
  error = "on Windows the network is the system's own: --network is not needed";
  return false;
}

std::string NetworkDescription() { return {}; }

void PassEnded() {}

// The system's own calls cannot be cut short: they end at their own limits.
void AbandonCalls() {}

}  // namespace tavrin::platform
