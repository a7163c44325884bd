// Stands in for NetServerEnum with a fixed list of names (repeats allowed),
// in batches of at most the preferred length with the resume handle standing
// still, and for NetApiBufferFree (other buffers passed on). Calls can be held
// inside the stand-in or made to raise.
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
  // While held, every call from the `call`-th on (counted from 1) waits
  // inside the stand-in until Release(); WaitUntilHeld() waits for one.
  void Hold(size_t call = 1);
  void Release();
  void WaitUntilHeld() const;
  void RaiseFrom(size_t call, std::string text);  // std::runtime_error from that call on
  void MoreDataToTheEnd();  // the last batch too says more follows: only the total ends it
};

}  // namespace tavrin::test
