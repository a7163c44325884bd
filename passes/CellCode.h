// The code of one right cell of the rights grid and the rules that change
// it: what a read writes, what a double-click or a key stages, what a
// commit leaves behind.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "rights/Velmar_RightsCenter.h"

// The current state ('Y', 'N', 'E') followed by the staged mark (' ', 'Y',
// 'N', 'E'). A cell that was never written holds an empty code; a code is
// never longer than two characters.
struct TCellCode {
  std::array<char, 2> chars{};
  uint8_t length = 0;

  static constexpr TCellCode Of(char state, char mark) { return TCellCode{{state, mark}, 2}; }
  static constexpr TCellCode Blanks() { return Of(' ', ' '); }
  // The first two characters of a text; shorter texts stay shorter.
  static TCellCode FromText(std::string_view text);
  std::string Text() const { return std::string(chars.data(), length); }
  // The current state and the staged mark; 0 where the code is too short.
  constexpr char State() const { return length > 0 ? chars[0] : 0; }
  constexpr char Mark() const { return length > 1 ? chars[1] : 0; }
  friend bool operator==(const TCellCode&, const TCellCode&) = default;
};

// The codes of one computer's row, one per right of the catalogue in
// catalogue order, whichever rights are shown.
using TRowCodes = std::array<TCellCode, RightCount>;

// The index into the state images for a code: 0 grant staged ("NY"),
// 1 revocation staged ("YN"), 2 unreadable or failed ('E' in either place),
// 3 right held (first 'Y'); -1 for every other code, codes shorter than two
// characters included.
int StateImageIndex(const TCellCode& code);

// The staged mark a double-click leaves on a cell. On a readable cell it
// flips between no change and the opposite of the current state; on any
// other cell it cycles blank, grant, revoke.
char MarkAfterDoubleClick(char state, char mark);

// The code with its staged mark replaced. A code shorter than two characters
// becomes two blanks first, so that the result always has both characters.
TCellCode WithMark(const TCellCode& code, char mark);

// The code with its current state replaced, the staged mark kept (a code
// shorter than two characters becomes two blanks first).
TCellCode WithState(const TCellCode& code, char state);

// What a read writes into a row: every state 'E' when the read failed, else
// 'Y' for the rights in `rights` and 'N' for the others; marks stay.
TRowCodes ApplyRead(const TRowCodes& codes, bool failed, TvmPrivileges rights);

// The rights a commit asks for: `rights` (read just before) with the row's
// grants ('Y' marks) added and its revocations ('N' marks) removed. Answers
// false, leaving `rights` alone, when a cell of the row shows the computer
// as unreadable: such a row is not committed.
bool ApplyMarks(const TRowCodes& codes, TvmPrivileges& rights);

// The row once the rights in force are `rights`: their states, no marks.
TRowCodes CommittedRow(TvmPrivileges rights);

// The row after a failed commit: every staged mark that is not a blank
// becomes 'E'; states and blank marks stay.
TRowCodes FailedRow(const TRowCodes& codes);

// Whether the cell stages a change: a 'Y' or 'N' mark unequal to the state.
bool IsStagedChange(const TCellCode& code);

// Whether any cell of the row stages a change.
bool HasChanges(const TRowCodes& codes);

// Whether the cell carries a mark that means something: a staged change, or
// a change that failed ('E').
bool HasMark(const TCellCode& code);
