// The network scan against the simulated network: its states, the names in
// order, the failures, the refusals while scanning, and a list destroyed
// while its scan is held inside a call.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "app/Startup.h"
#include "computers/ComputerList.h"
#include "tests/support/NameList.h"
#include "tests/support/ScriptedServerEnum.h"
#include "tests/support/SimFixture.h"

namespace {

using namespace std::chrono_literals;
namespace sim = tavrin::sim;
using tavrin::test::Names;
using tavrin::test::ScriptedServerEnum;

template <typename Fn>
void WaitFor(Fn done) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!done() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
}
TComputerListState WaitForEnd(const TComputerList& list) {
  WaitFor([&] { return !TComputerList::Running(list.State()); });
  return list.State();
}
Names NamesOf(const TComputerList& list) {
  return tavrin::test::NamesOf(list.Count(), [&](int i) { return list.Names(i); });
}

// The message of what `action` raises; "" when it raises nothing.
template <typename Fn>
std::string Refusal(Fn action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

class ComputerListSim : public tavrin::test::SimTest {
 protected:
  TComputerList list;
};

TEST_F(ComputerListSim, ScanListsTheBrowsersNamesInOrder) {
  // Workstations in workgroup HOME, more than one batch of 4096 bytes; then
  // the same hidden from the browser: a done, empty scan after the probe.
  for (const bool listed : {true, false}) {
    sim::NetworkBuilder builder;
    builder.ThisComputer("WS1000").Workgroup("HOME");
    Names names;
    for (int i = 0; i < 400; ++i) {
      names.push_back("WS" + std::to_string(1000 + i));
      builder.Computer(names.back(), sim::Role::Workstation, "HOME").Listed(listed);
    }
    Reinstall(builder.Build());
    for (int scan = 0; scan < 2; ++scan) {  // a second scan starts from an empty list
      list.Scan();
      EXPECT_EQ(WaitForEnd(list), lsDone);
      EXPECT_EQ(NamesOf(list), listed ? names : Names{});
    }
    EXPECT_TRUE(list.ErrorText().empty());
    // Each scan: the probe, then a batch and the rest at unlimited length.
    EXPECT_EQ(sim::CountCalls("NetServerEnum"), listed ? 6u : 2u);
    EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
  }
}

TEST_F(ComputerListSim, FailuresEndInFailedWithTheirText) {
  sim::FailEnumeration("NetServerEnum", "", 6118);
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsFailed);
  EXPECT_EQ(list.ErrorText(),
            "Ошибка: The list of servers for this workgroup is not currently available");

  // A failure raised inside the scan: the names before it stay, buffers go.
  ScriptedServerEnum browser(Names(300, "PC"), 101);
  browser.RaiseFrom(3, "browser fell over");  // after the probe and one batch
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsFailed);
  EXPECT_EQ(list.ErrorText(), "Ошибка: browser fell over");
  EXPECT_GT(list.Count(), 0);
  EXPECT_EQ(browser.Outstanding(), 0u);

  // The thread cannot be created: the failure is raised and recorded, and
  // the text stays through a later scan that goes through.
  TComputerListThread::SetStartHook([] { throw std::bad_alloc(); });
  EXPECT_EQ(Refusal([&] { list.Scan(); }), "std::bad_alloc");
  TComputerListThread::SetStartHook({});
  EXPECT_EQ(list.State(), lsFailed);
  browser.RaiseFrom(0, "");
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(list.ErrorText(), "Ошибка: std::bad_alloc");
}

TEST_F(ComputerListSim, RefusalsWhileScanningDuplicatesAndStop) {
  list.Stop();  // nothing runs: nothing happens
  EXPECT_EQ(list.State(), lsIdle);
  // Names listed twice (no simulated network can), more than a batch; the
  // last batch too says that more follows, and only the total ends the scan.
  Names names;
  for (int i = 0; i < 300; ++i) names.push_back("PC" + std::to_string(i % 120));
  ScriptedServerEnum browser(names, 101);
  browser.MoreDataToTheEnd();
  browser.Hold();
  list.Scan();
  EXPECT_EQ(list.State(), lsScanning);
  EXPECT_EQ(Refusal([&] { list.Scan(); }), "Invalid state");
  EXPECT_EQ(Refusal([&] { list.Clear(); }), "Invalid state");
  browser.Release();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), names);  // the running scan was not disturbed
  EXPECT_EQ(browser.Outstanding(), 0u);

  // A stop while the first batch is held ends the scan after its first name.
  browser.Hold(browser.Calls() + 2);
  list.Scan();
  browser.WaitUntilHeld();
  list.Stop();
  EXPECT_EQ(list.State(), lsStopping);
  browser.Release();
  EXPECT_EQ(WaitForEnd(list), lsStopped);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(browser.Outstanding(), 0u);
}

TEST_F(ComputerListSim, DestructionDoesNotWaitForTheCallInProgress) {
  ScriptedServerEnum browser({"PC1"}, 101);
  for (const bool endSteps : {false, true}) {
    browser.Hold();
    const int loads = sim::LibraryLoads("netapi32.dll");
    auto scanning = std::make_unique<TComputerList>();
    scanning->Scan();
    browser.WaitUntilHeld();
    scanning.reset();  // returns while the probe is held
    // The program's end steps leave the library to the call in progress.
    if (endSteps) tavrin::RunEndSteps();
    EXPECT_EQ(sim::LibraryLoads("netapi32.dll"), loads);
    browser.Release();
    WaitFor([] { return TComputerListThread::Alive() == 0; });
    // The thread ended at its check after the probe, its buffer released
    // (the end steps took NetApiBufferFree away).
    EXPECT_EQ(browser.Calls(), endSteps ? 2u : 1u);
    EXPECT_EQ(browser.Outstanding(), endSteps ? 1u : 0u);
  }
}

}  // namespace
