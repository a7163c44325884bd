// Passes of reads over 1,000 simulated computers, run the way the window
// runs them, with one worker and with sixteen. Prints the wall time, the
// floor no pass can beat (the slowest single computer, and the total time of
// the remote calls divided by the workers), the longest time the event loop
// went without processing events, and the platform calls per computer read.
//
//   pass_bench           1 ms per remote call, every computer answering
//   pass_bench --slow    20 ms per remote call, 50 computers that do not
//                        answer and fail after a 5 s time-out (the pass with
//                        one worker then takes several minutes)
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/RightsGrid.h"
#include "app/WindowSettings.h"
#include "app/fmTavrinMain.h"
#include "passes/Startup.h"
#include "platform/sim/SimNetwork.h"
#include "tests/support/FormAccess.h"

namespace sim = tavrin::sim;
using std::chrono::milliseconds;

namespace {

constexpr int kComputers = 1000;

sim::NetworkSpec Network(milliseconds latency, int silent, milliseconds timeout) {
  sim::NetworkBuilder network;
  network.ThisComputer("ADMIN01").CurrentUser("BENCH\\admin").Domain("BENCH");
  network.Computer("ADMIN01", sim::Role::DomainController, "BENCH")
      .MachineSid("S-1-5-21-9-9-9")
      .User("admin", 1000);
  for (int i = 0; i < kComputers; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "WS%04d", i);
    network.Computer(name, sim::Role::Workstation, "BENCH")
        .MachineSid("S-1-5-21-7-7-" + std::to_string(i + 10))
        .Rights("S-1-5-32-544", {"SeBackupPrivilege", "SeDebugPrivilege"})
        .Answers(i % (kComputers / std::max(silent, 1)) != 7 || silent == 0);
  }
  network.Latency(latency).Timeout(timeout);
  return network.Build();
}

// Runs the event loop as the program's own would, until the window is idle.
void WaitIdle(TTavrinForm& form) {
  while (tavrin::test::Child<QTimer>(form, "Timer")->isActive() || form.PassRunning())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// One measured Refresh over every row of a window that has read its
// computers once already.
void Measure(TTavrinForm& form, int workers, milliseconds latency, milliseconds timeout,
             int silent) {
  form.SetPassWorkers(workers);
  QElapsedTimer clock;
  qint64 last = 0;
  qint64 widest = 0;
  // Ticks whenever the event loop runs; the widest gap between two ticks is
  // the longest the window went without processing events.
  QTimer tick;
  tick.setInterval(0);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    widest = std::max(widest, now - last);
    last = now;
  });
  sim::ClearCalls();
  clock.start();
  tick.start();
  tavrin::test::Child<QAction>(form, "aRefresh")->trigger();
  WaitIdle(form);
  const double seconds = clock.nsecsElapsed() / 1e9;
  tick.stop();

  // Remote calls, and of those the ones that wait for the network (the
  // simulation answers LsaClose without its latency).
  size_t remote = 0;
  size_t delayed = 0;
  const std::vector<sim::Call> calls = sim::Calls();
  for (const sim::Call& call : calls) {
    remote += !call.target.empty();
    delayed += !call.target.empty() && call.function != "LsaClose";
  }
  const int rows = tavrin::test::Child<TRightsGrid>(form, "GrRights")->RowCount() - 2;
  const double callTime =
      double(delayed) * latency.count() / 1000.0 + double(silent) * timeout.count() / 1000.0;
  const double slowest = silent > 0 ? timeout.count() / 1000.0 + latency.count() / 1000.0
                                    : 3 * latency.count() / 1000.0;
  const double floor = std::max(slowest, callTime / workers);
  std::printf(
      "  %2d worker(s): wall %.2f s, floor %.2f s (slowest computer %.2f s, calls %.1f s "
      "/ %d), ratio %.2f; longest event-loop gap %.1f ms\n",
      workers, seconds, floor, slowest, callTime, workers, seconds / floor, widest / 1e6);
  std::printf("               %d rows, %.2f remote calls per read, %.2f platform calls in all\n",
              rows, double(remote) / rows, double(calls.size()) / rows);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The window's settings from earlier runs would add rows: a folder of its own.
  QTemporaryDir settings;
  tavrin::KeepWindowSettingsIn(settings.path());
  const bool slow = argc > 1 && std::strcmp(argv[1], "--slow") == 0;
  const milliseconds latency(slow ? 20 : 1);
  const milliseconds timeout(slow ? 5000 : 0);
  const int silent = slow ? 50 : 0;
  sim::Install(Network(latency, silent, timeout));
  tavrin::RunStartSteps();
  {
    auto form = std::make_unique<TTavrinForm>();
    form->show();
    WaitIdle(*form);  // the start-up scan and its reads
    std::printf(
        "read pass over %d computers, %lld ms per remote call, %d not answering "
        "(time-out %lld ms)\n",
        kComputers, static_cast<long long>(latency.count()), silent,
        static_cast<long long>(timeout.count()));
    for (int workers : {16, 1}) Measure(*form, workers, latency, timeout, silent);
  }
  tavrin::RunEndSteps();
  return 0;
}
