// Stands in for NetServerEnum with a fixed list of names (repeats allowed,
// which no simulated network can describe), in batches of at most
// `perBatch` entries, resuming as Windows would not: with the resume handle
// standing still, like the real function. Buffers are released through a
// stand-in NetApiBufferFree that passes every other buffer on.
#pragma once

#include <string>
#include <vector>

#include "platform/win32api.h"

namespace tavrin::test {

class ScriptedServerEnum {
 public:
  // Installs the stand-ins into the network management binding.
  ScriptedServerEnum(std::vector<std::string> names, DWORD level);
  // Puts the platform's functions back.
  ~ScriptedServerEnum();
  ScriptedServerEnum(const ScriptedServerEnum&) = delete;
  ScriptedServerEnum& operator=(const ScriptedServerEnum&) = delete;

  // Buffers handed out and not yet released.
  size_t Outstanding() const;
};

}  // namespace tavrin::test
