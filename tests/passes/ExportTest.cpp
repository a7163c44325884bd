// The CSV and HTML writers: every field read back as it was meant, names a
// spreadsheet would run defended, and no markup from the data in a report.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "passes/Export.h"

namespace {

using TRecords = std::vector<std::vector<std::string>>;

// A strict CSV reader: records ended by CR LF, fields split by commas,
// quoted fields with inner quotes doubled. Anything else fails the test.
TRecords ReadCsv(const std::string& text) {
  TRecords records(1);
  std::string field;
  bool quoted = false, closed = false;  // inside quotes; just after a closing quote
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"')
        field += c;
      else if (i + 1 < text.size() && text[i + 1] == '"')
        field += text[++i];
      else
        quoted = false, closed = true;
    } else if (c == ',' || c == '\r') {
      records.back().push_back(std::exchange(field, {}));
      closed = false;
      if (c == '\r' && text.compare(i++, 2, "\r\n") != 0) ADD_FAILURE() << "bare CR at " << i;
      if (c == '\r') records.emplace_back();
    } else if (c == '"' && field.empty() && !closed) {
      quoted = true;
    } else {
      if (closed || c == '"' || c == '\n') ADD_FAILURE() << "stray character at " << i;
      field += c;
    }
  }
  EXPECT_TRUE(!quoted && field.empty() && records.back().empty()) << "no CR LF at the end";
  records.pop_back();
  return records;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TExportRow Row(std::string name, std::string error = {}) {
  TExportRow row{std::move(name), {}, std::move(error)};
  row.codes.fill(TCellCode::FromText("N "));
  row.codes[0] = TCellCode::FromText("Y ");
  row.codes[PrivilegeCount - 1] = TCellCode::FromText("NY");
  return row;
}

TEST(Export, CsvReadsBackWithFormulasDefendedUnlessRaw) {
  // Names a spreadsheet would run, then names that only need quoting.
  const std::vector<std::string> formulas = {"=1+1", "+CMD|' /C calc'!A0", "-2", "@NOW()", "\tTAB",
                                             "\rCR"};
  const std::vector<std::string> plain = {
      "WS01", "a,b", "say \"hi\"", "two\r\nlines", " padded  ", "WS=01@x-y+z", ""};
  std::vector<TExportRow> rows;
  for (const auto& name : formulas) rows.push_back(Row(name));
  for (const auto& name : plain) rows.push_back(Row(name));
  rows.push_back(Row("SRV", "-1, \"=cmd\" failed"));

  for (const bool raw : {false, true}) {
    SCOPED_TRACE(raw ? "raw" : "defended");
    const TRecords records = ReadCsv(ExportCsv(rows, raw));
    ASSERT_EQ(records.size(), rows.size() + 1);
    EXPECT_EQ(records[0].front(), "Computer");
    EXPECT_EQ(records[0][1], "CT");
    EXPECT_EQ(records[0].back(), "Error");
    for (size_t r = 0; r < records.size(); ++r)
      ASSERT_EQ(records[r].size(), PrivilegeCount + 2u) << "line " << r;
    for (size_t r = 0; r < rows.size(); ++r) {
      const std::vector<std::string>& got = records[r + 1];
      const bool formula = r < formulas.size();
      EXPECT_EQ(got[0], (formula && !raw ? "'" : "") + rows[r].name) << "row " << r;
      EXPECT_EQ(got[1], "Y");
      EXPECT_EQ(got[2], "N");
      EXPECT_EQ(got[PrivilegeCount], "NY");
      EXPECT_EQ(got.back(), (raw || rows[r].error.empty() ? "" : "'") + rows[r].error);
    }
  }
}

TEST(Export, HtmlShowsNamesAccountAndErrorsAsText) {
  const std::vector<TExportRow> hostile = {Row("<script>x</script>", "<b>denied</b> & \"gone\""),
                                           Row("a&b \"q\" >")};
  const std::string html = ExportHtml(hostile, "<i>Admins</i>");
  for (const char* text :
       {"&lt;script&gt;x&lt;/script&gt;", "&lt;b&gt;denied&lt;/b&gt; &amp; &quot;gone&quot;",
        "a&amp;b &quot;q&quot; &gt;", "&lt;i&gt;Admins&lt;/i&gt;"})
    EXPECT_NE(html.find(text), std::string::npos) << text;
  // The markup is the same whatever the names: no '<' or '>' comes from the data.
  const std::vector<TExportRow> tame = {Row("x", "y"), Row("z")};
  const std::string plain = ExportHtml(tame, "A");
  EXPECT_EQ(std::count(html.begin(), html.end(), '<'), std::count(plain.begin(), plain.end(), '<'));
  EXPECT_EQ(std::count(html.begin(), html.end(), '>'), std::count(plain.begin(), plain.end(), '>'));
  EXPECT_EQ(html.find("<script"), std::string::npos);
}

// Both formats follow the view: the rights it shows in its order, deny rights
// marked in the HTML; a CSV given the account names it first.
TEST(Export, FollowsTheViewAndNamesTheAccount) {
  TExportRow row = Row("WS01");
  row.codes[spDenyRemoteInteractiveLogon] = TCellCode::FromText("NY");
  const std::string csv = ExportCsv({row}, false, TRightsView::All, "=CORP\\x (S-1-5-21-1)");
  ASSERT_EQ(csv.rfind("# Account: '=CORP\\x (S-1-5-21-1)\r\n", 0), 0u) << csv;
  const TRecords records = ReadCsv(csv.substr(csv.find('\n') + 1));
  ASSERT_EQ(records.size(), 2u);
  ASSERT_EQ(records[0].size(), RightCount + 2u);
  for (int i = 0; i < RightCount; ++i) {
    const TvmPrivilege right = ViewRights(TRightsView::All)[i];
    EXPECT_EQ(records[0][i + 1], PrivilegeCode(right));
    EXPECT_EQ(records[1][i + 1], CellText(row.codes[right])) << PrivilegeCode(right);
  }
  EXPECT_EQ(records[1][RightCount], "NY");  // the highest right comes last

  const std::string all = ExportHtml({row}, "A", TRightsView::All);
  const std::string classic = ExportHtml({row}, "A");
  EXPECT_EQ(Count(all, "<th class=\"deny\""), 5);
  EXPECT_EQ(Count(all, "<li class=\"deny\">"), 5);
  EXPECT_NE(all.find(">DR</th>"), std::string::npos);
  EXPECT_NE(all.find("title=\"RI - Allow log on through Remote Desktop Services "
                     "(SeRemoteInteractiveLogonRight)\""),
            std::string::npos);
  EXPECT_EQ(Count(classic, "<th"), 29);
  EXPECT_EQ(Count(all, "<th"), 47);
  EXPECT_EQ(classic.find("Deny"), std::string::npos);
}

}  // namespace
