// Computer names as an administrator gives them: checked one by one, and
// read from a list file or standard input with bounds on what is read.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// No name of a computer is longer (a fully qualified DNS name).
constexpr size_t kMaxComputerName = 255;

// The bounds of one list: its lines, its names, its size, and how long a
// named pipe may take to get a writer.
struct TListBounds {
  size_t line = 4096;
  size_t names = 1000000;
  size_t bytes = size_t{256} << 20;
  std::chrono::milliseconds pipeWait = std::chrono::seconds(10);
};

// Why a name cannot stand for a computer, with the name shown escaped:
// "the name \"PC\\x1b[31m\" holds a control character"; empty when it can.
std::string ComputerNameProblem(std::string_view name);

// Reads the computer names of a list: one or more a line, separated by
// commas, blanks and tabs trimmed, '#' starting a comment to the line's end;
// "-" reads standard input. Accepted are regular files, pipes and standard
// input (a terminal included, read to its end like a prompt); a directory, a
// device, a closed standard input or a source that cannot be read is
// refused, and so is a line, a name count or a size beyond `bounds`, or a
// name ComputerNameProblem refuses. A named pipe that no program writes to
// within the bounds' wait is refused rather than waited for. Throws
// std::invalid_argument with a message naming the list.
std::vector<std::string> ReadComputerList(const std::string& path, const TListBounds& bounds = {});

}  // namespace tavrin
