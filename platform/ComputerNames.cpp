#include "platform/ComputerNames.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/TextSafety.h"
#include "platform/WideText.h"

#ifdef _WIN32
#include <fstream>
#include <iostream>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrin {

std::vector<std::string> SplitComputerNames(std::string_view text) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at < text.size()) {
    const size_t start = text.find_first_not_of(", \t\r\n", at);
    if (start == std::string_view::npos) break;
    size_t end = text.find_first_of(", \t\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view name = text.substr(start, end - start);
    if (name.size() > 2 && name[0] == '\\' && name[1] == '\\') name.remove_prefix(2);
    names.emplace_back(name);
    at = end;
  }
  return names;
}

std::string ComputerNameKey(std::string_view name) { return platform::text::UpperKey(name); }

bool SameComputerName(std::string_view a, std::string_view b) {
  return ComputerNameKey(a) == ComputerNameKey(b);
}

std::string ComputerNameProblem(std::string_view name) {
  const std::string shown = "the name \"" + EscapeControls(name) + "\"";
  if (HasControls(name)) return shown + " holds a control character or a byte that is not text";
  if (const size_t bad = name.find_first_of("\\/*?\"<>|"); bad != std::string_view::npos)
    return shown + " holds '" + std::string(1, name[bad]) + "', which no computer name may";
  if (name.size() > kMaxComputerName)
    return shown + " is longer than " + std::to_string(kMaxComputerName) + " characters";
  return {};
}

namespace {

[[noreturn]] void Refuse(const std::string& list, const std::string& why) {
  throw std::invalid_argument("the computer list " + list + " " + why);
}

// Takes the names of a list's text as it comes, line by line, and keeps
// the bounds.
class TListReader {
 public:
  TListReader(std::string shown, const TListBounds& bounds)
      : shown_(std::move(shown)), bounds_(bounds) {}

  void Feed(const char* data, size_t size) {
    bytes_ += size;
    if (bytes_ > bounds_.bytes) Refuse(shown_, "is larger than " + Size(bounds_.bytes));
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == '\n') {
        EndLine();
        continue;
      }
      if (line_.size() >= bounds_.line)
        Refuse(shown_, "has a line longer than " + std::to_string(bounds_.line) +
                           " characters (line " + std::to_string(lineNumber_ + 1) + ")");
      line_ += data[i];
    }
  }

  std::vector<std::string> Finish() {
    if (!line_.empty()) EndLine();
    return std::move(names_);
  }

 private:
  void EndLine() {
    ++lineNumber_;
    std::string_view line = line_;
    for (std::string& name : SplitComputerNames(line.substr(0, line.find('#')))) {
      if (const std::string problem = ComputerNameProblem(name); !problem.empty())
        Refuse(shown_, "is refused: line " + std::to_string(lineNumber_) + ": " + problem);
      if (names_.size() >= bounds_.names)
        Refuse(shown_, "holds more than " + std::to_string(bounds_.names) + " names");
      names_.push_back(std::move(name));
    }
    line_.clear();
  }

  static std::string Size(size_t bytes) {
    return bytes >= (size_t{1} << 20) ? std::to_string(bytes >> 20) + " MB"
                                      : std::to_string(bytes) + " bytes";
  }

  const std::string shown_;
  const TListBounds bounds_;
  std::string line_;
  size_t lineNumber_ = 0;
  size_t bytes_ = 0;
  std::vector<std::string> names_;
};

}  // namespace

#ifdef _WIN32

std::vector<std::string> ReadComputerList(const std::string& path, const TListBounds& bounds) {
  const bool standardInput = path == "-";
  const std::string shown = standardInput ? "on standard input" : "\"" + path + "\"";
  std::ifstream file;
  if (!standardInput) {
    file.open(path, std::ios::binary);
    if (!file) Refuse(shown, "cannot be read");
  }
  std::istream& in = standardInput ? std::cin : file;
  TListReader reader(shown, bounds);
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    reader.Feed(buffer, static_cast<size_t>(in.gcount()));
  if (in.bad()) Refuse(shown, "cannot be read");
  return reader.Finish();
}

#else

namespace {

std::string Duration(std::chrono::milliseconds wait) {
  return wait.count() % 1000 == 0 ? std::to_string(wait.count() / 1000) + " s"
                                  : std::to_string(wait.count()) + " ms";
}

}  // namespace

std::vector<std::string> ReadComputerList(const std::string& path, const TListBounds& bounds) {
  const bool standardInput = path == "-";
  const std::string shown = standardInput ? "on standard input" : "\"" + path + "\"";
  const auto why = [] { return std::string(": ") + std::strerror(errno); };
  // Opened without blocking: a named pipe with no writer would otherwise
  // hold the open forever.
  const int fd = standardInput ? STDIN_FILENO
                               : open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Refuse(shown, "cannot be read" + why());
  struct TClose {
    int fd;
    bool own;
    ~TClose() {
      if (own) close(fd);
    }
  } closer{fd, !standardInput};
  struct stat info {};
  if (fstat(fd, &info) != 0)
    Refuse(shown,
           standardInput ? "cannot be read: standard input is closed" : "cannot be read" + why());
  if (S_ISDIR(info.st_mode)) Refuse(shown, "is a directory, not a list of computers");
  const bool terminal = S_ISCHR(info.st_mode) && standardInput && isatty(fd);
  if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode) && !S_ISSOCK(info.st_mode) && !terminal)
    Refuse(shown, "is a device, not a list of computers");
  if (S_ISFIFO(info.st_mode) && !standardInput) {
    pollfd wait{fd, POLLIN, 0};
    int ready;
    do ready = poll(&wait, 1, static_cast<int>(bounds.pipeWait.count()));
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
      Refuse(shown, "is a named pipe that nothing wrote to within " + Duration(bounds.pipeWait));
  }
  if (!standardInput) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  TListReader reader(shown, bounds);
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      Refuse(shown, "cannot be read" + why());
    }
    reader.Feed(buffer, static_cast<size_t>(got));
  }
  return reader.Finish();
}

#endif

}  // namespace tavrin
