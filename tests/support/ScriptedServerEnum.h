// Stands in for NetServerEnum (fixed names, batches of the preferred length, the resume
// handle still) and NetApiBufferFree; calls can be held or made to raise.
#pragma once

#include <string>
#include <vector>

#include "platform/win32api.h"

namespace tavrin::test {

class ScriptedServerEnum {
 public:
  ScriptedServerEnum(std::vector<std::string> names, DWORD level);
  ~ScriptedServerEnum();  // lets held calls go, puts the platform's functions back

  size_t Outstanding() const;  // buffers handed out and not yet released
  size_t Calls() const;
  // Calls from the `call`-th on (from 1) wait until Release(); WaitUntilHeld() waits for one.
  void Hold(size_t call = 1);
  void Release();
  void WaitUntilHeld() const;
  void RaiseFrom(size_t call, std::string text);  // std::runtime_error from that call on
  void MoreDataToTheEnd();  // the last batch too says more follows: only the total ends it
};

}  // namespace tavrin::test
