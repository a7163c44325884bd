// Stands in for NetServerEnum with a fixed list of names (repeats allowed,
// which no simulated network can describe), in batches of at most the
// preferred length, resuming as Windows would not: with the resume handle
// standing still, like the real function. Buffers are released through a
// stand-in NetApiBufferFree that passes every other buffer on. The test can
// hold calls inside the stand-in and make calls raise.
#pragma once

#include <string>
#include <vector>

#include "platform/win32api.h"

namespace tavrin::test {

class ScriptedServerEnum {
 public:
  // Installs the stand-ins into the network management binding.
  ScriptedServerEnum(std::vector<std::string> names, DWORD level);
  // Lets held calls go and puts the platform's functions back.
  ~ScriptedServerEnum();
  ScriptedServerEnum(const ScriptedServerEnum&) = delete;
  ScriptedServerEnum& operator=(const ScriptedServerEnum&) = delete;

  // Buffers handed out and not yet released.
  size_t Outstanding() const;
  // Calls made so far.
  size_t Calls() const;
  // While held, every call from the `call`-th on (counted from 1) waits
  // inside the stand-in until Release().
  void Hold(size_t call = 1);
  void Release();
  // Waits until a call is held inside the stand-in.
  void WaitUntilHeld() const;
  // Calls from the `call`-th on raise std::runtime_error with `text`.
  void RaiseFrom(size_t call, std::string text);
  // The last batch too answers ERROR_MORE_DATA: only the total tells the end.
  void MoreDataToTheEnd();
};

}  // namespace tavrin::test
