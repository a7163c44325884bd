#include "passes/CellCode.h"

#include <algorithm>

TCellCode TCellCode::FromText(std::string_view text) {
  TCellCode code;
  code.length = static_cast<uint8_t>(std::min<size_t>(text.size(), 2));
  for (int i = 0; i < code.length; ++i) code.chars[i] = text[i];
  return code;
}

int StateImageIndex(const TCellCode& code) {
  if (code.length < 2) return -1;
  const char state = code.chars[0];
  const char mark = code.chars[1];
  if (state == 'N' && mark == 'Y') return 0;
  if (state == 'Y' && mark == 'N') return 1;
  if (state == 'E' || mark == 'E') return 2;
  if (state == 'Y') return 3;
  return -1;
}

char MarkAfterDoubleClick(char state, char mark) {
  switch (state) {
    case 'N':
      return (mark == 'Y' || mark == 'N') ? ' ' : 'Y';
    case 'Y':
      return mark == 'N' ? ' ' : 'N';
    default:
      if (mark == 'Y') return 'N';
      if (mark == 'N') return ' ';
      return 'Y';
  }
}

TCellCode WithMark(const TCellCode& code, char mark) {
  TCellCode result = code.length < 2 ? TCellCode::Blanks() : code;
  result.chars[1] = mark;
  return result;
}

TCellCode WithState(const TCellCode& code, char state) {
  TCellCode result = code.length < 2 ? TCellCode::Blanks() : code;
  result.chars[0] = state;
  return result;
}

TRowCodes ApplyRead(const TRowCodes& codes, bool failed, TvmPrivileges rights) {
  TRowCodes result;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const char state =
        failed ? 'E' : (rights.Contains(static_cast<TvmPrivilege>(ordinal)) ? 'Y' : 'N');
    result[ordinal] = WithState(codes[ordinal], state);
  }
  return result;
}

bool ApplyMarks(const TRowCodes& codes, TvmPrivileges& rights) {
  TvmPrivileges result = rights;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const TCellCode& code = codes[ordinal];
    if (code.State() == 'E') return false;
    const auto right = static_cast<TvmPrivilege>(ordinal);
    if (code.Mark() == 'N') result.Exclude(right);
    if (code.Mark() == 'Y') result.Include(right);
  }
  rights = result;
  return true;
}

TRowCodes CommittedRow(TvmPrivileges rights) {
  TRowCodes result;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal)
    result[ordinal] =
        TCellCode::Of(rights.Contains(static_cast<TvmPrivilege>(ordinal)) ? 'Y' : 'N', ' ');
  return result;
}

TRowCodes FailedRow(const TRowCodes& codes) {
  TRowCodes result = codes;
  for (TCellCode& code : result)
    if (code.length == 2 && code.Mark() != ' ') code.chars[1] = 'E';
  return result;
}

bool IsStagedChange(const TCellCode& code) {
  return (code.Mark() == 'Y' || code.Mark() == 'N') && code.Mark() != code.State();
}

bool HasChanges(const TRowCodes& codes) {
  for (const TCellCode& code : codes)
    if (IsStagedChange(code)) return true;
  return false;
}

bool HasMark(const TCellCode& code) { return IsStagedChange(code) || code.Mark() == 'E'; }
