// Secrets on their way in: the password prompt gives the terminal back on
// every way out, and no crash dump holds the password or its NT hash. Every
// case runs in a child process, which the parent watches with time limits.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/NetworkArgs.h"
#include "platform/PlatformInit.h"
#include "platform/RealLogin.h"

namespace {

using namespace std::chrono_literals;

// The child's exit status, or -1 when it had to be killed after `limit`.
int WaitFor(pid_t child, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(5ms);
  }
  return status;
}

// Reads what `fd` gives until `wanted` was seen or `limit` passed.
bool ReadUntil(int fd, const std::string& wanted, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string seen;
  while (seen.find(wanted) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) != 1) return false;
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    seen.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

struct Crash {
  int status = -1;
  int report[3] = {-1, -1, -1};  // dumpable, the soft and the hard core limit
  bool coreFile = true;
};

// A child that allows core dumps as a user might, runs `setUp`, tells what
// protects it, then aborts in a fresh folder.
Crash CrashAfter(const std::function<void()>& setUp) {
  Crash crash;
  char folder[] = "/tmp/tavrin-core-XXXXXX";
  if (!mkdtemp(folder)) return crash;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return crash;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    rlimit core{};
    getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = core.rlim_max;
    setrlimit(RLIMIT_CORE, &core);
    prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
    setUp();
    getrlimit(RLIMIT_CORE, &core);
    const int report[3] = {prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), static_cast<int>(core.rlim_cur),
                           static_cast<int>(core.rlim_max)};
    if (write(pipeFds[1], report, sizeof report) != sizeof report || chdir(folder) != 0) _exit(9);
    signal(SIGABRT, SIG_DFL);
    abort();
  }
  close(pipeFds[1]);
  pollfd p{pipeFds[0], POLLIN, 0};
  if (poll(&p, 1, 10000) != 1 ||
      read(pipeFds[0], crash.report, sizeof crash.report) != sizeof crash.report)
    crash.report[0] = -1;  // no report: the set-up did not finish
  close(pipeFds[0]);
  crash.status = WaitFor(child);
  crash.coreFile = !std::filesystem::is_empty(folder);
  std::filesystem::remove_all(folder);
  return crash;
}

void ExpectNoCore(const Crash& crash, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_TRUE(crash.status != -1 && WIFSIGNALED(crash.status)) << crash.status;
  EXPECT_EQ(WTERMSIG(crash.status), SIGABRT);
  EXPECT_FALSE(WCOREDUMP(crash.status));
  EXPECT_FALSE(crash.coreFile);
  EXPECT_EQ(crash.report[0], 0) << "still dumpable";
  EXPECT_EQ(crash.report[1], 0);
  EXPECT_EQ(crash.report[2], 0) << "the hard limit lets the core limit be raised again";
}

TEST(SecretKeeping, NoCoreDumpOnceTheRealNetworkOrAPasswordIsInPlay) {
  ExpectNoCore(CrashAfter([] {
                 std::vector<std::string> args{"--network",   "real",   "--server",
                                               "127.0.0.1:1", "--user", "u"};
                 tavrin::platform::TakeNetworkArgs(args);
               }),
               "taking the real network's options (before the window's dialog)");
  ExpectNoCore(CrashAfter([] {
                 int fds[2];
                 if (pipe(fds) != 0 || write(fds[1], "pw\n", 3) != 3) _exit(8);
                 std::string password, error;
                 tavrin::platform::ReadPassword(fds[0], password, error);
               }),
               "reading a password");
  // Nothing listens on port 1: the credentials are made, no connection.
  ExpectNoCore(CrashAfter([] {
                 std::string password = "password", error;
                 tavrin::platform::InitializeReal({"127.0.0.1:1", "CORP\\u", ""}, password, error);
               }),
               "credentials in memory");
}

#ifdef TAVRIN_HAVE_SAMBA
// The NT hash of "password" (MD4 of its UTF-16LE form), a published value,
// kept masked: a clear copy in the scanner would be found too.
constexpr unsigned char kMask = 0xa5;
const unsigned char kMaskedHash[16] = {0x2d, 0xe3, 0x52, 0x4f, 0x4b, 0x2a, 0x14, 0xb2,
                                       0x08, 0xa3, 0x18, 0x7d, 0x95, 0x12, 0xfd, 0xc9};

bool IsHash(const char* p) {
  for (size_t k = 0; k < sizeof kMaskedHash; ++k)
    if ((static_cast<unsigned char>(p[k]) ^ kMask) != kMaskedHash[k]) return false;
  return true;
}

// Whether [address, address + 16) touches the buffer the memory is read into.
bool Within(unsigned long address, const char (&buffer)[1 << 16]) {
  const auto start = reinterpret_cast<unsigned long>(buffer);
  return address + 16 > start && address < start + sizeof buffer;
}

// How many times the hash is in this process's writable memory, read
// through the kernel so that freed blocks can be read too.
int HashCopies() {
  std::ifstream maps("/proc/self/maps");
  int copies = 0;
  static char chunk[1 << 16];
  for (std::string line; std::getline(maps, line);) {
    unsigned long from = 0, to = 0;
    char perms[5] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %4s", &from, &to, perms) != 3 || perms[1] != 'w' ||
        to - from > (256ul << 20) || line.find("[v") != std::string::npos)
      continue;
    for (unsigned long at = from; at < to; at += sizeof chunk - 15) {
      iovec local{chunk, std::min<size_t>(sizeof chunk, to - at)};
      iovec remote{reinterpret_cast<void*>(at), local.iov_len};
      const ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
      for (ssize_t i = 0; i + 16 <= got; ++i)
        if (IsHash(chunk + i) && !Within(at + i, chunk)) {
          ++copies;
          i += 15;
        }
    }
  }
  return copies;
}

int gCopiesHeld = -1;
void ReportCopiesLeft() { _exit(gCopiesHeld * 10 + std::min(HashCopies(), 9)); }

TEST(SecretKeeping, TheNtHashIsKeptOnceAndWipedAtExit) {
  const pid_t child = fork();
  if (child == 0) {
    atexit(ReportCopiesLeft);  // runs after the backend's own handler
    std::string password = "password", error;
    if (!tavrin::platform::InitializeReal({"127.0.0.1:1", "u", ""}, password, error)) _exit(99);
    gCopiesHeld = std::min(HashCopies(), 9);
    std::exit(0);
  }
  const int status = WaitFor(child, 60s);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status) / 10, 1) << "copies of the hash while logged on";
  EXPECT_EQ(WEXITSTATUS(status) % 10, 0) << "copies of the hash left at exit";
}
#endif

// The prompt on a pseudo-terminal of its own; `act` answers it. The child
// exits with 0 for the right password, 1 for another, 2 when none was read,
// 4 when it could still dump core.
struct Prompted {
  int status = -1;
  bool echoWhileAsking = true;
  bool echoAfter = false;
};

Prompted Prompt(const std::function<void(pid_t child, int master, const termios& t)>& act) {
  Prompted result;
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return result;
  const pid_t child = fork();
  if (child == 0) {
    close(master);
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) signal(number, SIG_DFL);
    std::string password;
    if (!tavrin::platform::AskPassword("Password: ", password)) _exit(2);
    if (prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0) _exit(4);
    _exit(password == "s3cret" ? 0 : 1);
  }
  termios t{};
  if (ReadUntil(master, "Password: ") && tcgetattr(slave, &t) == 0) {
    result.echoWhileAsking = (t.c_lflag & ECHO) != 0;
    act(child, master, t);
  }
  result.status = WaitFor(child);
  if (tcgetattr(slave, &t) == 0) result.echoAfter = (t.c_lflag & ECHO) != 0;
  close(master);
  close(slave);
  return result;
}

void Type(int master, const std::string& text) {
  ASSERT_EQ(write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

TEST(SecretKeeping, ThePromptGivesTheTerminalBackOnEveryWayOut) {
  const Prompted entered =
      Prompt([](pid_t, int master, const termios&) { Type(master, "s3cret\n"); });
  EXPECT_FALSE(entered.echoWhileAsking);
  ASSERT_TRUE(WIFEXITED(entered.status)) << entered.status;
  EXPECT_EQ(WEXITSTATUS(entered.status), 0);
  EXPECT_TRUE(entered.echoAfter);

  const Prompted ended = Prompt([](pid_t, int master, const termios& t) {
    Type(master, std::string(1, static_cast<char>(t.c_cc[VEOF])));
  });
  ASSERT_TRUE(WIFEXITED(ended.status)) << ended.status;
  EXPECT_EQ(WEXITSTATUS(ended.status), 1) << "the end of input gives an empty password";
  EXPECT_TRUE(ended.echoAfter);

  // A signal ends the program as it would have, with the echo back on.
  const Prompted interrupted = Prompt([](pid_t, int master, const termios& t) {
    Type(master, "s3c" + std::string(1, static_cast<char>(t.c_cc[VINTR])));
  });
  ASSERT_TRUE(WIFSIGNALED(interrupted.status)) << interrupted.status;
  EXPECT_EQ(WTERMSIG(interrupted.status), SIGINT);
  EXPECT_TRUE(interrupted.echoAfter);

  const Prompted terminated =
      Prompt([](pid_t child, int, const termios&) { kill(child, SIGTERM); });
  EXPECT_FALSE(terminated.echoWhileAsking);
  ASSERT_TRUE(WIFSIGNALED(terminated.status)) << terminated.status;
  EXPECT_EQ(WTERMSIG(terminated.status), SIGTERM);
  EXPECT_TRUE(terminated.echoAfter);
}

}  // namespace
