// The network scan against the simulated network.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "computers/ComputerList.h"
#include "passes/Startup.h"
#include "tests/support/NameList.h"
#include "tests/support/Raised.h"
#include "tests/support/ScriptedServerEnum.h"
#include "tests/support/SimFixture.h"

namespace {

using namespace std::chrono_literals;
using tavrin::test::Names;

void WaitFor(auto done) {  // 30 s at most
  for (int i = 0; i < 15000 && !done(); ++i) std::this_thread::sleep_for(2ms);
}

std::string Refusal(auto action) { return tavrin::test::Raised<std::exception>(action); }

class ComputerListSim : public tavrin::test::SimTest {
 protected:
  TComputerListState WaitForEnd() {
    WaitFor([&] { return !TComputerList::Running(list.State()); });
    return list.State();
  }
  Names Listed() const {
    return tavrin::test::NamesOf(list.Count(), [&](int i) { return list.Names(i); });
  }
  TComputerList list;
};

TEST_F(ComputerListSim, ScanListsTheBrowsersNamesInOrder) {
  // Over a batch of 4096 bytes; then none listed: done after the probe.
  for (const bool listed : {true, false}) {
    sim::NetworkBuilder builder;
    builder.ThisComputer("WS1000").Workgroup("HOME");
    Names names;
    for (int i = 1000; i < 1400; ++i)
      builder.Computer(names.emplace_back("WS" + std::to_string(i)), sim::Role::Workstation, "HOME")
          .Listed(listed);
    Reinstall(builder.Build());
    for (int scan = 0; scan < 2; ++scan) {  // a second scan starts from an empty list
      list.Scan();
      EXPECT_EQ(WaitForEnd(), lsDone);
      EXPECT_EQ(Listed(), listed ? names : Names{});
    }
    EXPECT_TRUE(list.ErrorText().empty());
    EXPECT_EQ(sim::CountCalls("NetServerEnum"), listed ? 6u : 2u);  // probe, batch, the rest
    EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
  }
}

TEST_F(ComputerListSim, FailuresRefusalsStopAndDestructionDuringACall) {
  list.Stop();  // nothing runs: nothing happens
  EXPECT_EQ(list.State(), lsIdle);
  sim::FailEnumeration("NetServerEnum", "", 6118);
  list.Scan();
  EXPECT_EQ(WaitForEnd(), lsFailed);
  EXPECT_EQ(list.ErrorText(),
            "Ошибка: The list of servers for this workgroup is not currently available");
  // Names listed twice, over a batch; the last batch too says more follows: the total ends it.
  Names names;
  for (int i = 0; i < 300; ++i) names.push_back("PC" + std::to_string(i % 120));
  tavrin::test::ScriptedServerEnum browser(names, 101);
  browser.RaiseFrom(3, "browser fell over");  // after the probe and a batch: its names stay
  list.Scan();
  EXPECT_EQ(WaitForEnd(), lsFailed);
  EXPECT_EQ(list.ErrorText(), "Ошибка: browser fell over");
  EXPECT_GT(list.Count(), 0);
  EXPECT_EQ(browser.Outstanding(), 0u);
  // The thread cannot be created: raised, and its text kept through a scan that goes through.
  TComputerListThread::SetStartHook([] { throw std::bad_alloc(); });
  EXPECT_EQ(Refusal([&] { list.Scan(); }), "std::bad_alloc");
  TComputerListThread::SetStartHook({});
  EXPECT_EQ(list.State(), lsFailed);
  browser.RaiseFrom(0, "");
  list.Scan();
  EXPECT_EQ(WaitForEnd(), lsDone);
  EXPECT_EQ(list.ErrorText(), "Ошибка: std::bad_alloc");
  browser.MoreDataToTheEnd();
  browser.Hold();
  list.Scan();
  EXPECT_EQ(list.State(), lsScanning);
  EXPECT_EQ(Refusal([&] { list.Scan(); }), "Invalid state");
  EXPECT_EQ(Refusal([&] { list.Clear(); }), "Invalid state");
  browser.Release();
  EXPECT_EQ(WaitForEnd(), lsDone);
  EXPECT_EQ(Listed(), names);  // the running scan was not disturbed
  // A stop while the first batch is held ends the scan after its first name.
  browser.Hold(browser.Calls() + 2);
  list.Scan();
  browser.WaitUntilHeld();
  list.Stop();
  EXPECT_EQ(list.State(), lsStopping);
  browser.Release();
  EXPECT_EQ(WaitForEnd(), lsStopped);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(browser.Outstanding(), 0u);
  const size_t calls = browser.Calls();
  for (const bool endSteps : {false, true}) {
    browser.Hold();
    const int loads = sim::LibraryLoads("netapi32.dll");
    auto scanning = std::make_unique<TComputerList>();
    scanning->Scan();
    browser.WaitUntilHeld();
    scanning.reset();                     // returns while the probe is held
    if (endSteps) tavrin::RunEndSteps();  // they leave the library to the call in progress
    EXPECT_EQ(sim::LibraryLoads("netapi32.dll"), loads);
    browser.Release();
    WaitFor([] { return TComputerListThread::Alive() == 0; });
    // It ended after the probe, its buffer released unless the end steps took the function.
    EXPECT_EQ(browser.Calls(), calls + 1 + endSteps);
    EXPECT_EQ(browser.Outstanding(), endSteps ? 1u : 0u);
  }
}

TEST_F(ComputerListSim, AListDestroyedRightAfterItsScanCallsNothingAfterwards) {
  for (int i = 0; i < 30; ++i) std::make_unique<TComputerList>()->Scan();
  const size_t calls = sim::CountCalls("NetServerEnum");
  WaitFor([] { return TComputerListThread::Alive() == 0; });
  EXPECT_EQ(TComputerListThread::Alive(), 0);
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), calls);
}

}  // namespace
