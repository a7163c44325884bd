#include "platform/PlatformInit.h"

namespace tavrin::platform {

bool Initialize(std::string& error) {
  error.clear();
  return true;
}

}  // namespace tavrin::platform
