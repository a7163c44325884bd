// The cell-code rules: reads into a row, marks into rights, committed and failed rows.
#include <gtest/gtest.h>

#include <string>

#include "passes/CellCode.h"

namespace {

// A row from two-character codes in one text ("N Y YN..."), the rest "N ".
TRowCodes Row(const std::string& text) {
  TRowCodes row;
  row.fill(TCellCode::Of('N', ' '));
  for (size_t i = 0; i * 2 < text.size() && i < row.size(); ++i)
    row[i] = TCellCode::FromText(text.substr(i * 2, 2));
  return row;
}

std::string Text(const TRowCodes& row) {
  std::string text;
  for (const TCellCode& code : row) text += code.Text();
  return text;
}

TEST(CellCode, ReadsKeepMarksCommitsAndFailuresSetTheRow) {
  TRowCodes row = Row("NYYN");
  row[2] = TCellCode::FromText("Y");  // too short: becomes blanks first
  row[3] = TCellCode();
  const TvmPrivileges held{spCreateToken, spLockMemory, spServiceLogon};
  const std::string read = Text(ApplyRead(row, false, held));
  EXPECT_EQ(read.substr(0, 8), "YYNNY N ");
  EXPECT_EQ(read.substr(52, 2), "Y ");
  const std::string failed = Text(ApplyRead(row, true, held));
  EXPECT_EQ(failed.substr(0, 8), "EYENE E ");
  ASSERT_EQ(failed.size(), 2u * RightCount);
  for (size_t at = 52; at < failed.size(); at += 2) EXPECT_EQ(failed.substr(at, 2), "E ") << at;

  // Every right of the catalogue, the highest included, has its cell.
  EXPECT_EQ(Text(CommittedRow({spCreateToken, spServiceLogon, spDenyRemoteInteractiveLogon})),
            Text(Row("Y ")).substr(0, 52) + "Y " + Text(Row("Y ")).substr(54, 34) + "Y ");
  row = Row("NYYNN YYE EE");
  row[26] = TCellCode::FromText("N");
  const std::string failedRow = Text(FailedRow(row));
  EXPECT_EQ(failedRow.substr(0, 14), "NEYEN YEE EEN ");
  EXPECT_EQ(failedRow.substr(52, 3), "NN ");

  EXPECT_FALSE(HasChanges(Row("YYNNE Y N E")));
  EXPECT_TRUE(HasChanges(Row("YYNY")));
  EXPECT_TRUE(HasChanges(Row("YYNNE YN")));
}

TEST(CellCode, MarksBecomeTheRightsAsked) {
  // Grants, revocations, "YY"/"NN"/"E" marks that change nothing.
  TRowCodes row = Row("NYYNYYNNNE");
  row[26] = TCellCode::Of('Y', 'N');
  TvmPrivileges rights{spAssignPrimaryToken, spIncreaseQuota, spMachineAccount, spServiceLogon};
  ASSERT_TRUE(ApplyMarks(row, rights));
  EXPECT_EQ(rights, (TvmPrivileges{spCreateToken, spLockMemory, spMachineAccount}));

  // One unreadable cell keeps the row out of the commit.
  row[13] = TCellCode::Of('E', ' ');
  TvmPrivileges untouched{spBackup};
  EXPECT_FALSE(ApplyMarks(row, untouched));
  EXPECT_EQ(untouched, TvmPrivileges{spBackup});
}

TCellCode Code(const char* text) { return TCellCode::FromText(text); }
TEST(CellCode, ImagesDoubleClickMarksAndWithMark) {
  const std::pair<const char*, int> images[] = {
      {"NY", 0}, {"YN", 1}, {"E ", 2},  {"EY", 2},  {"EN", 2},  {"EE", 2}, {"NE", 2}, {"YE", 2},
      {"Y ", 3}, {"YY", 3}, {"N ", -1}, {"NN", -1}, {"  ", -1}, {"", -1},  {"Y", -1}, {"E", -1}};
  for (const auto& [code, image] : images) EXPECT_EQ(StateImageIndex(Code(code)), image) << code;
  const char* marks[] = {"N Y", "NEY", "NY ", "NN ", "Y N", "YYN", "YEN", "YN ",
                         "E Y", "EEY", "EYN", "EN ", "  Y", " YN", " N "};  // state, before, after
  for (const char* c : marks) EXPECT_EQ(MarkAfterDoubleClick(c[0], c[1]), c[2]) << c;
  EXPECT_EQ(WithMark(Code("Y "), 'N').Text(), "YN");
  EXPECT_EQ(WithMark(Code("EE"), ' ').Text(), "E ");
  EXPECT_EQ(WithMark(Code("N"), 'Y').Text(), " Y");
  EXPECT_EQ(Code("NYX").Text(), "NY");
}

}  // namespace
