// What a call raises; header-only, for the tests built for Windows too.
#pragma once

#include <string>

#include "base/Velmar_CenterUtils.h"

namespace tavrin::test {

// The message of the E a call raises, "(nothing)" if none; other exceptions pass on.
template <typename E = Exception, typename F>
std::string Raised(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "(nothing)";
}

constexpr DWORD NothingRaised = 0xFFFFFFFF;

// The code of the EWin32Error a call raises; NothingRaised when it raises none.
template <typename F>
DWORD RaisedCode(F&& call) {
  try {
    call();
  } catch (const EWin32Error& e) {
    return e.ErrorCode();
  }
  return NothingRaised;
}

}  // namespace tavrin::test
