// tavrin-cli on a real network with a wide-area delay, beside rpcclient.
// Starts private Samba servers on loopback (scripts/samba-test-server.sh)
// and a delaying proxy in front of them: one listening port per emulated
// computer, D ms added each way. Prints, for D = 10 ms:
//   - reads of 50 computers (all ports to one server): the time, the floor
//     (one computer's time x 50 / 16 workers) and their ratio;
//   - an apply of one grant and one revocation on 10 computers (10 servers,
//     one per port, so that each computer really changes): the same figures,
//     the floor being one computer's time (10 computers for 16 workers);
//   - the round trips and TCP connections a read of one computer costs;
//   - the same reads and applies with rpcclient under xargs -P16.
// Each time is the best of three runs. Needs root, like the servers.
//   real_network_bench [DELAY_MS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/rpc/DelayProxy.h"
#include "tests/rpc/SambaServer.h"

namespace {

using tavrin::test::Run;
using tavrin::test::Words;
using Clock = std::chrono::steady_clock;
constexpr int kWorkers = 16;  // tavrin-cli's, and xargs -P's

// The best of three runs of `command`, in seconds.
double Best(const std::string& command, const std::string& before = "") {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    if (!before.empty()) Run(before);
    const auto start = Clock::now();
    Run(command);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

struct Servers {
  std::string dir;
  std::map<std::string, std::string> env;
  Servers(const std::string& script, const std::string& folder, int count) : dir(folder) {
    if (std::system(
            ("bash " + script + " start " + dir + " " + std::to_string(count) + " >/dev/null")
                .c_str()) == 0)
      env = tavrin::test::SambaServer(dir.c_str());
  }
  ~Servers() { Run("bash " SOURCE_DIR "/scripts/samba-test-server.sh stop " + dir); }
};

std::string Joined(const std::vector<unsigned>& ports, size_t count, const char* separator) {
  std::string text;
  for (size_t i = 0; i < count; ++i)
    text += (i ? separator : "") + std::string("127.0.0.1:") + std::to_string(ports[i]);
  return text;
}

// The floor: one computer's time for each computer a worker has to read
// in turn (50 computers: 50/16 of it); never below one computer's time.
void Figures(const char* what, double one, double all, int computers) {
  const double floor = one * std::max(1.0, static_cast<double>(computers) / kWorkers);
  std::printf("%-34s %7.2f s  floor %5.2f s (one computer %.3f s)  ratio %.2f\n", what, all, floor,
              one, all / floor);
}

}  // namespace

namespace {

int Bench(int delayMs, const std::string& folder) {
  const std::string script = SOURCE_DIR "/scripts/samba-test-server.sh";
  const std::string cli = CLI_PATH;
  Servers one(script, folder + "/one", 1);
  Servers ten(script, folder + "/ten", 10);
  if (one.env.empty() || ten.env.empty()) {
    std::fprintf(stderr, "real_network_bench: the Samba servers did not start\n");
    return 1;
  }
  auto& e = one.env;
  const std::string password = e["ADMIN_PASSWORD"];
  const std::string alice = e["ALICE"];
  // tavrin-cli, its password through a pipe.
  const auto tavrin = [&](const std::string& server, const std::string& args) {
    return "printf '%s\\n' '" + password + "' | " + cli + " " + args + " --network real --server " +
           server + " --user root --password-fd 0 >/dev/null 2>&1";
  };
  const auto rpcclient = [&](const std::string& conf, const std::string& auth,
                             const std::string& commands) {
    return "xargs -P" + std::to_string(kWorkers) + " -I{} rpcclient -s " + conf + " -A " + auth +
           " -p {} 127.0.0.1 -c '" + commands + "' >/dev/null 2>&1";
  };
  const std::string sid =
      Words(Run("rpcclient -s " + e["CONF"] + " -p " + e["PORT"] + " -A " + e["ADMIN_AUTH"] +
                " 127.0.0.1 -c 'lookupnames " + alice + "' 2>/dev/null"))
          .at(1);
  std::printf("D = %d ms each way (a %d ms round trip), %d workers\n\n", delayMs, 2 * delayMs,
              kWorkers);

  // Reads: 50 computers, every port to the one server.
  tavrin::test::DelayProxy proxy{std::chrono::milliseconds(delayMs)};
  std::vector<unsigned> ports;
  for (int i = 0; i < 50; ++i) ports.push_back(proxy.AddPort(std::stoul(e["PORT"])));
  const std::string server = "127.0.0.1:" + std::to_string(ports[0]);
  const std::string report = "report --account " + alice + " --format csv --computers ";
  Run(tavrin(server, report + Joined(ports, 1, ",")));  // warm
  // The round trips of a computer other than the server (which the look-up
  // of the account also uses).
  const int trips0 = proxy.RoundTrips(ports[1]);
  const int conns0 = proxy.Connections(ports[1]);
  Run(tavrin(server, report + Joined(std::vector<unsigned>{ports[1]}, 1, ",")));
  const int trips = proxy.RoundTrips(ports[1]) - trips0;
  const int conns = proxy.Connections(ports[1]) - conns0;
  // One computer: another than the server, as 49 of the 50 are.
  const double tavrinOne =
      Best(tavrin(server, report + Joined(std::vector<unsigned>{ports[1]}, 1, ",")));
  const double tavrinAll = Best(tavrin(server, report + Joined(ports, 50, ",")));

  std::string portList;
  for (unsigned p : ports) portList += std::to_string(p) + "\n";
  std::ofstream(folder + "/ports") << portList;
  std::ofstream(folder + "/port1") << ports[2] << "\n";
  const std::string readCommand = "lsaenumacctrights " + sid;
  const int rtrips0 = proxy.RoundTrips(ports[2]);
  const int rconns0 = proxy.Connections(ports[2]);
  Run(rpcclient(e["CONF"], e["ADMIN_AUTH"], readCommand) + " < " + folder + "/port1");
  const int rtrips = proxy.RoundTrips(ports[2]) - rtrips0;
  const int rconns = proxy.Connections(ports[2]) - rconns0;
  const double rpcOne =
      Best(rpcclient(e["CONF"], e["ADMIN_AUTH"], readCommand) + " < " + folder + "/port1");
  const double rpcAll =
      Best(rpcclient(e["CONF"], e["ADMIN_AUTH"], readCommand) + " < " + folder + "/ports");

  // Applies: 10 computers, each port to a server of its own.
  auto& t = ten.env;
  const std::vector<std::string> tenPorts = Words(t["PORTS"]);
  std::vector<unsigned> applyPorts;
  for (const std::string& p : tenPorts) applyPorts.push_back(proxy.AddPort(std::stoul(p)));
  const std::string tenSid =
      Words(Run("rpcclient -s " + t["CONF"] + " -p " + t["PORT"] + " -A " + t["ADMIN_AUTH"] +
                " 127.0.0.1 -c 'lookupnames " + t["ALICE"] + "' 2>/dev/null"))
          .at(1);
  // Before each apply: SeBackup held, SeShutdown not, on every server.
  std::string reset;
  const std::vector<std::string> confs = Words(t["CONFS"]);
  for (size_t i = 0; i < tenPorts.size(); ++i)
    reset += "rpcclient -s " + confs[i] + " -p " + tenPorts[i] + " -A " + t["ADMIN_AUTH"] +
             " 127.0.0.1 -c 'lsaaddacctrights " + tenSid +
             " SeBackupPrivilege; lsaremoveacctrights " + tenSid +
             " SeShutdownPrivilege' >/dev/null 2>&1 & ";
  reset += "wait";
  const std::string apply = "apply --account " + t["ALICE"] +
                            " --grant SeShutdownPrivilege --revoke SeBackupPrivilege --computers ";
  const std::string applyServer = "127.0.0.1:" + std::to_string(applyPorts[0]);
  const double applyOne = Best(
      tavrin(applyServer, apply + Joined(std::vector<unsigned>{applyPorts[1]}, 1, ",")), reset);
  const double applyAll = Best(tavrin(applyServer, apply + Joined(applyPorts, 10, ",")), reset);
  std::string applyList;
  for (unsigned p : applyPorts) applyList += std::to_string(p) + "\n";
  std::ofstream(folder + "/apply-ports") << applyList;
  std::ofstream(folder + "/apply-port1") << applyPorts[0] << "\n";
  // The names are the server's own (every server was given the same password).
  const std::string change = "lsaaddacctrights " + tenSid +
                             " SeShutdownPrivilege; lsaremoveacctrights " + tenSid +
                             " SeBackupPrivilege";
  const double rpcApplyOne =
      Best(rpcclient(t["CONF"], t["ADMIN_AUTH"], change) + " < " + folder + "/apply-port1", reset);
  const double rpcApplyAll =
      Best(rpcclient(t["CONF"], t["ADMIN_AUTH"], change) + " < " + folder + "/apply-ports", reset);

  Figures("tavrin-cli report, 50 computers", tavrinOne, tavrinAll, 50);
  Figures("rpcclient | xargs -P16, 50 reads", rpcOne, rpcAll, 50);
  Figures("tavrin-cli apply, 10 computers", applyOne, applyAll, 10);
  Figures("rpcclient | xargs -P16, 10 applies", rpcApplyOne, rpcApplyAll, 10);
  std::printf(
      "\none computer's read: tavrin-cli %d round trips, %d TCP connection(s); "
      "rpcclient %d round trips, %d TCP connection(s)\n",
      trips, conns, rtrips, rconns);
  std::printf("tavrin-cli against rpcclient, 50 reads: %.2fx as fast\n", rpcAll / tavrinAll);
  proxy.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int delayMs = argc > 1 ? std::atoi(argv[1]) : 10;
  if (geteuid() != 0) {
    std::fprintf(stderr, "real_network_bench: needs root (it starts Samba servers)\n");
    return 1;
  }
  char folder[] = "/tmp/tavrin-bench-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const int status = Bench(delayMs, folder);  // the servers are stopped by now
  Run(std::string("rm -rf ") + folder);
  return status;
}
