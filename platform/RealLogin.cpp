#include "platform/RealLogin.h"

#include <iterator>
#include <stdexcept>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#endif

namespace tavrin::platform {

#ifdef _WIN32

bool KeepSecretsOutOfDumps() { return true; }

bool ReadPassword(int, std::string& password, std::string& error) {
  password.clear();
  error = "--password-fd is not available on Windows";
  return false;
}

bool AskPassword(const std::string&, std::string& password) {
  password.clear();
  return false;
}

#else

bool KeepSecretsOutOfDumps() {
  const rlimit none{0, 0};
  bool kept = setrlimit(RLIMIT_CORE, &none) == 0;
#ifdef __linux__
  kept = prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && kept;
#endif
  return kept;
}

namespace {

// The terminal the password is asked on and its settings before, for the
// signal handler below.
int gPromptFd = -1;
termios gPromptSaved{};
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A signal at the prompt: the terminal gets its echo back, then the signal
// ends the program as it would have without the prompt.
extern "C" void RestoreTerminalAndRaise(int number) {
  tcsetattr(gPromptFd, TCSANOW, &gPromptSaved);
  const char newline = '\n';
  if (write(STDERR_FILENO, &newline, 1) < 0) {
    // Nothing more to do about it on the way out.
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(number, &fallback, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, number);
  pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(number);
}

}  // namespace

bool ReadPassword(int fd, std::string& password, std::string& error) {
  KeepSecretsOutOfDumps();
  password.clear();
  password.reserve(1024);  // never reallocated: no copy is left behind
  char c;
  for (;;) {
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got == 0 || (got == 1 && (c == '\n' || c == '\r'))) break;
    if (got < 0) {
      password.assign(password.size(), '\0');
      password.clear();
      error = "cannot read the password from file descriptor " + std::to_string(fd);
      return false;
    }
    if (password.size() >= 1024) {
      password.assign(password.size(), '\0');
      password.clear();
      error = "the password read from file descriptor " + std::to_string(fd) + " is too long";
      return false;
    }
    password.push_back(c);
  }
  return true;
}

bool AskPassword(const std::string& prompt, std::string& password) {
  password.clear();
  if (!isatty(STDIN_FILENO)) return false;
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  gPromptFd = STDIN_FILENO;
  gPromptSaved = saved;
  // The handler is in place before the echo goes off. A signal the program
  // ignores (nohup's SIGHUP) stays ignored.
  struct sigaction restore {};
  restore.sa_handler = RestoreTerminalAndRaise;
  sigemptyset(&restore.sa_mask);
  for (const int number : kPromptSignals) sigaddset(&restore.sa_mask, number);
  struct sigaction previous[std::size(kPromptSignals)];
  for (size_t i = 0; i < std::size(kPromptSignals); ++i) {
    sigaction(kPromptSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) sigaction(kPromptSignals[i], &restore, nullptr);
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::string error;
  const bool read = ReadPassword(STDIN_FILENO, password, error);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  for (size_t i = 0; i < std::size(kPromptSignals); ++i)
    sigaction(kPromptSignals[i], &previous[i], nullptr);
  std::fputs("\n", stderr);
  return read;
}

#endif

}  // namespace tavrin::platform
