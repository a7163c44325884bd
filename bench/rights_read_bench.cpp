// Reading one account's rights on 10,000 simulated computers through the
// account rights center, as the main window does it (set the SID, set
// Server, read CurrentPrivileges and LastStatus), against the bare platform
// calls the center makes for the same reads. Prints the time per computer,
// the ratio, and the platform calls per computer.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "passes/Startup.h"
#include "platform/sim/SimNetwork.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

namespace {

namespace sim = tavrin::sim;

constexpr int kComputers = 10000;

// S-1-5-32-544, the Administrators alias.
BYTE kAdmins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

std::vector<std::string>& ComputerNames() {
  static std::vector<std::string> names;
  return names;
}

// A workgroup of 10,000 workstations; on each the Administrators hold five
// rights, one of them outside the catalogue. No latency.
void InstallNetwork() {
  static bool installed = false;
  if (installed) return;
  sim::NetworkBuilder builder;
  builder.Workgroup("BENCH").ThisComputer("PC00000");
  for (int i = 0; i < kComputers; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "PC%05d", i);
    ComputerNames().push_back(name);
    builder.Computer(name, sim::Role::Workstation, "BENCH")
        .MachineSid("S-1-5-21-7-8-" + std::to_string(100 + i))
        .Rights("S-1-5-32-544", {"SeBackupPrivilege", "SeRestorePrivilege", "SeDebugPrivilege",
                                 "SeRemoteInteractiveLogonRight", "SeInteractiveLogonRight"});
  }
  sim::Install(builder.Build());
  sim::SetLatency(std::chrono::microseconds(0));
  tavrin::RunStartSteps();
  installed = true;
}

struct Figures {
  double callsPerComputer = 0;
  double lsaCallsPerComputer = 0;
};
std::map<std::string, Figures> gFigures;

// The calls logged during one pass, per computer.
void CountPass(const std::string& benchmark) {
  size_t lsa = 0;
  const std::vector<sim::Call> calls = sim::Calls();
  for (const sim::Call& call : calls)
    if (call.function.rfind("Lsa", 0) == 0) ++lsa;
  gFigures[benchmark] = {double(calls.size()) / kComputers, double(lsa) / kComputers};
}

void BM_RightsCenter(benchmark::State& state) {
  InstallNetwork();
  TComponent form;
  auto* sc = new TvmSidCenter(&form);
  auto* arc = new TvmAccountRigthsCenter(&form);
  arc->SetSidCenter(sc);
  int failed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim::ClearCalls();
    state.ResumeTiming();
    for (const std::string& name : ComputerNames()) {
      sc->SetSid(kAdmins);
      arc->SetServer(name);
      benchmark::DoNotOptimize(arc->CurrentPrivileges());
      if (arc->LastStatus() != 0) ++failed;
    }
    state.PauseTiming();
    CountPass("center");
    state.ResumeTiming();
  }
  arc->SetServer("");  // closes the last policy
  if (failed) state.SkipWithError("a read failed");
  state.counters["computers"] = kComputers;
}

// The platform calls of the same pass: the server name to UTF-16, open the
// policy, enumerate, each name back to text, free the array, close.
void BM_BarePlatformCalls(benchmark::State& state) {
  InstallNetwork();
  int failed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim::ClearCalls();
    state.ResumeTiming();
    for (const std::string& name : ComputerNames()) {
      WCHAR wide[32];
      int units = MultiByteToWideChar(CP_ACP, 0, name.data(), int(name.size()), wide, 31);
      wide[units] = 0;
      LSA_UNICODE_STRING server{USHORT(units * sizeof(WCHAR)), USHORT(units * sizeof(WCHAR)), wide};
      LSA_OBJECT_ATTRIBUTES attributes = {};
      attributes.Length = sizeof attributes;
      LSA_HANDLE policy = nullptr;
      if (LsaOpenPolicy(&server, &attributes, POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT,
                        &policy) != 0) {
        ++failed;
        continue;
      }
      PLSA_UNICODE_STRING rights = nullptr;
      ULONG count = 0;
      if (LsaEnumerateAccountRights(policy, kAdmins, &rights, &count) != 0) ++failed;
      char text[128];
      for (ULONG i = 0; i < count; ++i)
        benchmark::DoNotOptimize(WideCharToMultiByte(CP_ACP, 0, rights[i].Buffer,
                                                     rights[i].Length / sizeof(WCHAR), text,
                                                     sizeof text, nullptr, nullptr));
      if (rights != nullptr) LsaFreeMemory(rights);
      LsaClose(policy);
    }
    state.PauseTiming();
    CountPass("bare");
    state.ResumeTiming();
  }
  if (failed) state.SkipWithError("a platform call failed");
  state.counters["computers"] = kComputers;
}

BENCHMARK(BM_RightsCenter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePlatformCalls)->Unit(benchmark::kMillisecond);

// Keeps the wall and CPU time per pass of each benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double real = 0, cpu = 0;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (!run.error_occurred)
        times_[run.run_name.function_name] = {run.real_accumulated_time / double(run.iterations),
                                              run.cpu_accumulated_time / double(run.iterations)};
  }
  Times PerComputerMicroseconds(const std::string& name) const {
    auto found = times_.find(name);
    if (found == times_.end()) return {};
    return {found->second.real / kComputers * 1e6, found->second.cpu / kComputers * 1e6};
  }

 private:
  std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto center = reporter.PerComputerMicroseconds("BM_RightsCenter");
  const auto bare = reporter.PerComputerMicroseconds("BM_BarePlatformCalls");
  std::printf("\nReading one account on %d simulated computers (latency 0), per computer:\n",
              kComputers);
  std::printf("  %-22s %9s %9s %16s %6s\n", "", "wall us", "CPU us", "platform calls", "LSA");
  std::printf("  %-22s %9.2f %9.2f %16.1f %6.1f\n", "rights center", center.real, center.cpu,
              gFigures["center"].callsPerComputer, gFigures["center"].lsaCallsPerComputer);
  std::printf("  %-22s %9.2f %9.2f %16.1f %6.1f\n", "bare platform calls", bare.real, bare.cpu,
              gFigures["bare"].callsPerComputer, gFigures["bare"].lsaCallsPerComputer);
  if (bare.real > 0 && bare.cpu > 0)
    std::printf("  %-22s %9.2f %9.2f\n", "ratio center / bare", center.real / bare.real,
                center.cpu / bare.cpu);
  return 0;
}
