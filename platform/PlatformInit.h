// Brings the platform up before anything else runs.
#pragma once

#include <string>

namespace tavrin::platform {

// On Windows there is nothing to do. On the simulated platform this installs
// the network that TAVRIN_SIM_NETWORK names, or the built-in one. Returns
// false with a message naming the file and the problem when the description
// cannot be used; the program must not start then.
bool Initialize(std::string& error);

}  // namespace tavrin::platform
