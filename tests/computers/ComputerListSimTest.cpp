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
namespace sim = tavrin::sim;
using Names = std::vector<std::string>;

// Waits until the scan has ended; gives the final state.
TComputerListState WaitForEnd(const TComputerList& list) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (TComputerList::Running(list.State()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(2ms);
  return list.State();
}

Names NamesOf(const TComputerList& list) {
  Names names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Names(i));
  return names;
}

// The names the browser lists, in its order, straight from the platform.
Names BrowserNames() {
  Names names;
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

// The message of what `action` throws, or "" when it throws nothing.
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
  // A network of this computer in workgroup HOME and `count` workstations
  // WS0000, WS0001, ... there; `listed` false hides them from the browser.
  void InstallWorkgroup(int count, bool listed = true) {
    sim::NetworkBuilder builder;
    builder.ThisComputer("WS0000").Workgroup("HOME");
    for (int i = 0; i < std::max(count, 1); ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "WS%04d", i);
      builder.Computer(name, sim::Role::Workstation, "HOME");
    }
    if (!listed) builder.Listed(false);
    Reinstall(builder.Build());
  }
  TComputerList list;
};

TEST_F(ComputerListSim, ScanListsTheBrowsersNamesInOrder) {
  const Names expected = BrowserNames();
  ASSERT_FALSE(expected.empty());
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), expected);
  EXPECT_TRUE(list.ErrorText().empty());
  // A second scan starts from an empty list.
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), expected);

  // More computers than one batch of 4096 bytes holds.
  InstallWorkgroup(400);
  ASSERT_EQ(BrowserNames().size(), 400u);
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), BrowserNames());
  EXPECT_GE(sim::CountCalls("NetServerEnum"), 3u);  // the probe and more than one batch
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);

  // Nothing visible: a done, empty scan after the probe alone.
  InstallWorkgroup(1, false);
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), 1u);
}

TEST_F(ComputerListSim, DuplicatesAreKeptInOrder) {
  // A browser that lists some names twice (no simulated network can), more
  // than one batch of 4096 bytes, and never moves its resume handle.
  Names names;
  for (int i = 0; i < 300; ++i) names.push_back("PC" + std::to_string(i % 120));
  tavrin::test::ScriptedServerEnum browser(names, 101);
  list.Scan();
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_EQ(NamesOf(list), names);
  EXPECT_EQ(browser.Outstanding(), 0u);
}

TEST_F(ComputerListSim, FailuresCarryTheSystemText) {
  const struct {
    void (*arrange)();
    std::string text;
  } cases[] = {
      {[] { sim::FailEnumeration("NetServerEnum", "", 6118); },
       "Ошибка: The list of servers for this workgroup is not currently available"},
      {[] { sim::FailEnumeration("NetServerEnum", "", 5); }, "Ошибка: Access is denied"},
      {[] {
         tavrin::RunEndSteps();
         sim::HideExport("netapi32.dll", "NetServerEnum");
         tavrin::RunStartSteps();
       },
       "Ошибка: This function is not supported on this system"},
  };
  for (const auto& c : cases) {
    Reinstall(tavrin::test::SmallNetwork());
    c.arrange();
    TComputerList failing;
    failing.Scan();
    EXPECT_EQ(WaitForEnd(failing), lsFailed) << c.text;
    EXPECT_EQ(failing.ErrorText(), c.text);
    EXPECT_EQ(failing.Count(), 0) << c.text;
    // The text stays through a later successful scan.
    Reinstall(tavrin::test::SmallNetwork());
    failing.Scan();
    EXPECT_EQ(WaitForEnd(failing), lsDone) << c.text;
    EXPECT_EQ(failing.ErrorText(), c.text);
  }
}

TEST_F(ComputerListSim, RefusalsWhileScanningAndStop) {
  list.Stop();  // nothing runs: nothing happens
  EXPECT_EQ(list.State(), lsIdle);
  sim::SetLatency(1s);
  list.Scan();
  EXPECT_EQ(list.State(), lsScanning);
  EXPECT_EQ(Refusal([&] { list.Scan(); }), "Invalid state");
  EXPECT_EQ(Refusal([&] { list.Clear(); }), "Invalid state");
  sim::SetLatency(0us);
  EXPECT_EQ(WaitForEnd(list), lsDone);
  EXPECT_GT(list.Count(), 0);  // the running scan was not disturbed

  sim::SetLatency(500ms);
  sim::ClearCalls();
  list.Scan();
  list.Stop();
  EXPECT_EQ(list.State(), lsStopping);
  EXPECT_EQ(WaitForEnd(list), lsStopped);
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), 1u);  // it ended at the first check
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(ComputerListSim, DestructionDuringAScanWaitsForTheThread) {
  // The probe takes long and is logged when it returns; the thread checks
  // for the stop only after it. A destructor that waits for the thread
  // therefore returns after the probe has been logged, and nothing follows.
  sim::SetLatency(300ms);
  auto scanning = std::make_unique<TComputerList>();
  scanning->Scan();
  scanning.reset();
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), 1u);
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

}  // namespace
