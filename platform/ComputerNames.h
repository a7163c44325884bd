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

// The one rule for computer names given by hand, in a list file or on the
// command line: names are separated by commas, blanks, tabs or line ends; a
// leading "\\" is dropped; names are compared without regard to letter case
// (SameComputerName); a name Windows would refuse is refused
// (ComputerNameProblem). "NAME:PORT" names a computer on a port of its own.
std::vector<std::string> SplitComputerNames(std::string_view text);
bool SameComputerName(std::string_view a, std::string_view b);
// The name as SameComputerName compares it (text::UpperKey), as a key for
// sets and maps.
std::string ComputerNameKey(std::string_view name);

// Why a name cannot stand for a computer, with the name shown escaped:
// "the name \"PC\\x1b[31m\" holds a control character"; empty when it can.
// Refused are control characters, bytes that are not text, the characters
// \ / * ? " < > | and names longer than kMaxComputerName.
std::string ComputerNameProblem(std::string_view name);

// Reads the computer names of a list by the rule above, '#' starting a
// comment to the line's end;
// "-" reads standard input. Accepted are regular files, pipes and standard
// input (a terminal included, read to its end like a prompt); a directory, a
// device, a closed standard input or a source that cannot be read is
// refused, and so is a line, a name count or a size beyond `bounds`, or a
// name ComputerNameProblem refuses. A named pipe that no program writes to
// within the bounds' wait is refused rather than waited for. Throws
// std::invalid_argument with a message naming the list.
std::vector<std::string> ReadComputerList(const std::string& path, const TListBounds& bounds = {});

}  // namespace tavrin
