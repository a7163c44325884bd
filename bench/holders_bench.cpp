// Who holds one right on 200 simulated computers at 20 ms a remote call, 16
// computers side by side, as tavrin-cli who-has and the window's By-right
// mode read it: once with the SID center's cache of names empty (cold), once
// with it filled by the first pass (warm). Prints the wall time, the remote
// calls per computer, the name look-ups, and the floor: what the round trips
// cost at best with 16 in flight.
//
// Each computer lists the Administrators and Backup Operators aliases and a
// domain group; every tenth one also a local account of its own, which only
// that computer can name.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "passes/PassEngine.h"
#include "passes/Startup.h"
#include "platform/sim/SimNetwork.h"
#include "sid/Velmar_SidCenterNames.h"

namespace sim = tavrin::sim;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kComputers = 200;
constexpr int kWorkers = 16;
constexpr auto kLatency = std::chrono::milliseconds(20);
constexpr auto kSilentWait = std::chrono::seconds(5);

std::vector<std::string> Install() {
  sim::NetworkBuilder network;
  network.ThisComputer("ADMIN01").CurrentUser("BENCH\\admin").Domain("BENCH");
  network.Computer("ADMIN01", sim::Role::DomainController, "BENCH")
      .MachineSid("S-1-5-21-9-9-9")
      .User("admin", 1000)
      .GlobalGroup("BackupAdmins", 1202);
  std::vector<std::string> names;
  for (int i = 0; i < kComputers; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "WS%04d", i);
    const std::string machine = "S-1-5-21-7-7-" + std::to_string(i + 10);
    std::vector<std::string> holders = {"S-1-5-32-544", "S-1-5-32-551", "S-1-5-21-9-9-9-1202"};
    if (i % 10 == 0) holders.push_back(machine + "-1001");
    auto& computer = network.Computer(name, sim::Role::Workstation, "BENCH")
                         .MachineSid(machine)
                         .User("svc-backup", 1001);
    for (const std::string& sid : holders) computer.Rights(sid, {"SeBackupPrivilege"});
    names.push_back(name);
  }
  network.Latency(kLatency).Timeout(kSilentWait);
  sim::Install(network.Build());
  return names;
}

void Measure(const char* label, const std::vector<std::string>& names, double least = 0) {
  sim::ClearCalls();
  const size_t lookupsBefore = SidNameLookups();
  const auto start = Clock::now();
  TPassEngine pass(spBackup, names, kWorkers);
  size_t holders = 0;
  int failed = 0;
  while (!pass.Ended()) {
    for (const TRowResult& result : pass.Pump()) {
      holders += result.holders.holders.size();
      failed += result.holders.failed;
    }
    if (!pass.Ended()) pass.WaitForResults(std::chrono::milliseconds(50));
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const size_t opens = sim::CountCalls("LsaOpenPolicy");
  const size_t enums = sim::CountCalls("LsaEnumerateAccountsWithUserRight");
  const size_t lookups = sim::CountCalls("LookupAccountSidA");
  const size_t remote = opens + enums + lookups;
  // The floor: every computer's open and enumeration one after the other,
  // 16 computers at a time, and no fewer rounds than the calls made allow.
  const double rounds = std::ceil(static_cast<double>(kComputers) / kWorkers);
  const double latency = std::chrono::duration<double, std::milli>(kLatency).count();
  const double floor = std::max({rounds * 2 * latency, remote * latency / kWorkers, least});
  std::printf(
      "%-5s %4d computers, %d side by side: %7.0f ms  (floor %5.0f ms)  %zu holders listed, %d "
      "failed\n"
      "      remote calls per computer %.2f (LsaOpenPolicy %zu, "
      "LsaEnumerateAccountsWithUserRight %zu, LookupAccountSidA %zu); name look-ups %zu\n",
      label, kComputers, kWorkers, ms, floor, holders, failed,
      static_cast<double>(remote) / kComputers, opens, enums, lookups,
      SidNameLookups() - lookupsBefore);
}

}  // namespace

int main() {
  const std::vector<std::string> names = Install();
  tavrin::StartupScope startup;
  std::printf("Who holds SeBackupPrivilege, %d ms a remote call\n",
              static_cast<int>(kLatency.count()));
  SidNameCacheClear();
  Measure("cold", names);
  Measure("warm", names);
  // Four computers that do not answer: each waits out its time limit on a
  // worker of its own while the others go on.
  for (int i = 0; i < 4; ++i) sim::SetAnswers(names[static_cast<size_t>(i) * 50], false);
  std::printf("silent: 4 of them do not answer (each fails after %d s)\n",
              static_cast<int>(kSilentWait.count()));
  Measure("warm", names, std::chrono::duration<double, std::milli>(kSilentWait).count());
  return 0;
}
