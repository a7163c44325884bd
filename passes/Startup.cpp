#include "passes/Startup.h"

#include <vector>

#include "base/Velmar_Net.h"
#include "base/Velmar_WinVer.h"
#include "rights/Velmar_LsaApi.h"
#include "sid/Velmar_SidCenterCache.h"

namespace tavrin {
namespace {

struct Step {
  void (*start)();
  void (*end)();
};

void Nothing() {}

// The steps in start order. Each unit that needs starting adds its pair here.
const std::vector<Step>& Steps() {
  static const std::vector<Step> steps = {
      {&WinVerStart, &Nothing},        // the version record
      {&LsaApiStart, &LsaApiEnd},      // the LSA policy functions
      {&NetApiStart, &NetApiEnd},      // the network management functions (NT family only)
      {&SidCacheStart, &SidCacheEnd},  // the SID lookup cache, empty
  };
  return steps;
}

// How many steps have run, so that the end undoes exactly those.
size_t gStarted = 0;

}  // namespace

void RunStartSteps() {
  RunEndSteps();
  const auto& steps = Steps();
  try {
    for (const Step& step : steps) {
      step.start();
      ++gStarted;
    }
  } catch (...) {
    RunEndSteps();
    throw;
  }
}

void RunEndSteps() {
  const auto& steps = Steps();
  while (gStarted > 0) {
    --gStarted;
    steps[gStarted].end();
  }
}

}  // namespace tavrin
