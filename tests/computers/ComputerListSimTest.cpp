// The network scan against the simulated network: its states, the names in
// order, the failure text, the refusals while scanning, and destruction
// during a scan.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "app/Startup.h"
#include "computers/ComputerList.h"
#include "tests/support/ScriptedServerEnum.h"
#include "tests/support/SimFixture.h"

namespace {

using namespace std::chrono_literals;
using tavrin::test::SimTest;
namespace sim = tavrin::sim;

// Waits until the scan has ended; gives the final state.
TComputerListState WaitForEnd(const TComputerList& list) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (TComputerList::Running(list.State()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(2ms);
  return list.State();
}

std::vector<std::string> NamesOf(const TComputerList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Names(i));
  return names;
}

// The names the browser lists, in its order, straight from the platform.
std::vector<std::string> BrowserNames() {
  std::vector<std::string> names;
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetServerEnum(nullptr, 101, &buffer, MAX_PREFERRED_LENGTH, &read, &total, SV_TYPE_ALL,
                          nullptr, &resume),
            0u);
  for (DWORD i = 0; i < read; ++i)
    names.push_back(VelmarNet::FromWide(reinterpret_cast<SERVER_INFO_101*>(buffer)[i].sv101_name));
  NetApiBufferFree(buffer);
  return names;
}

class ComputerListSim : public SimTest {};

TEST_F(ComputerListSim, ScanListsTheBrowsersNamesInOrder) {
  const std::vector<std::string> expected = BrowserNames();
  ASSERT_FALSE(expected.empty());
  TComputerList list;
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), expected);
  EXPECT_TRUE(list.ErrorText().empty());
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);

  // A second scan starts from an empty list.
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), expected);
}

TEST_F(ComputerListSim, ManyComputersArriveInBatches) {
  sim::NetworkBuilder builder;
  builder.ThisComputer("WS0000").Workgroup("HOME");
  // More computers than one batch of 4096 bytes holds.
  std::vector<std::string> expected;
  for (int i = 0; i < 400; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "WS%04d", i);
    builder.Computer(name, sim::Role::Workstation, "HOME");
  }
  Reinstall(builder.Build());
  expected = BrowserNames();
  ASSERT_EQ(expected.size(), 400u);

  TComputerList list;
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), expected);
  EXPECT_GE(sim::CountCalls("NetServerEnum"), 3u);  // the probe and more than one batch
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(ComputerListSim, DuplicatesAreKeptInOrder) {
  // A browser that lists some names twice (no simulated network can), more
  // than one batch of 4096 bytes, and never moves its resume handle.
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("PC" + std::to_string(i % 120));
  tavrin::test::ScriptedServerEnum browser(names, 101);
  TComputerList list;
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), names);
  EXPECT_EQ(browser.Outstanding(), 0u);
}

TEST_F(ComputerListSim, NoComputerVisibleIsADoneEmptyScan) {
  sim::NetworkBuilder builder;
  builder.ThisComputer("LONELY").Workgroup("HOME").Computer("LONELY", sim::Role::Workstation,
                                                            "HOME");
  builder.Listed(false);
  Reinstall(builder.Build());
  TComputerList list;
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), 1u);  // the probe only
}

TEST_F(ComputerListSim, FailuresCarryTheSystemText) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string text;
  };
  const Case cases[] = {
      {"browser silent", [] { sim::FailEnumeration("NetServerEnum", "", 6118); },
       "Ошибка: The list of servers for this workgroup is not currently available"},
      {"access denied", [] { sim::FailEnumeration("NetServerEnum", "", 5); },
       "Ошибка: Access is denied"},
      {"function missing",
       [] {
         tavrin::RunEndSteps();
         sim::HideExport("netapi32.dll", "NetServerEnum");
         tavrin::RunStartSteps();
       },
       "Ошибка: This function is not supported on this system"},
  };
  for (const Case& c : cases) {
    Reinstall(tavrin::test::SmallNetwork());
    c.arrange();
    TComputerList list;
    list.Scan();
    EXPECT_EQ(WaitForEnd(list), lsFailed) << c.what;
    EXPECT_EQ(list.ErrorText(), c.text) << c.what;
    EXPECT_EQ(list.Count(), 0) << c.what;
    // The text stays through a later successful scan.
    sim::ClearFaults();
    sim::ShowAllExports();
    tavrin::RunEndSteps();
    tavrin::RunStartSteps();
    list.Scan();
    EXPECT_EQ(WaitForEnd(list), lsDone) << c.what;
    EXPECT_EQ(list.ErrorText(), c.text) << c.what;
  }
}

TEST_F(ComputerListSim, ScanAndClearAreRefusedWhileScanning) {
  sim::SetLatency(150ms);
  TComputerList list;
  list.Scan();
  EXPECT_EQ(list.State(), lsScanning);
  try {
    list.Scan();
    ADD_FAILURE() << "a second scan started";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Invalid state");
  }
  try {
    list.Clear();
    ADD_FAILURE() << "cleared during a scan";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Invalid state");
  }
  sim::SetLatency(0us);
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_GT(list.Count(), 0);  // the running scan was not disturbed
}

TEST_F(ComputerListSim, StopEndsTheScanInStopped) {
  sim::SetLatency(100ms);
  TComputerList list;
  list.Stop();  // nothing runs: nothing happens
  EXPECT_EQ(list.State(), lsIdle);
  list.Scan();
  list.Stop();
  EXPECT_EQ(list.State(), lsStopping);
  EXPECT_EQ(WaitForEnd(list), lsStopped);
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), 1u);  // it ended at the first check
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(ComputerListSim, DestructionDuringAScanWaitsForTheThread) {
  sim::SetLatency(300ms);
  auto list = std::make_unique<TComputerList>();
  list->Scan();
  std::this_thread::sleep_for(50ms);  // the probe is under way
  const auto start = std::chrono::steady_clock::now();
  list.reset();
  const auto waited = std::chrono::steady_clock::now() - start;
  // The thread was inside its probe: the destructor waited for it.
  EXPECT_GE(waited, 100ms);
  const size_t calls = sim::CountCalls("NetServerEnum");
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), calls);  // the thread has gone
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

}  // namespace
