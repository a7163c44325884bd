// The journal read back as history: the filters, the passes newest first,
// a damaged line skipped, and the lines as CSV.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "passes/JournalQuery.h"

namespace {

TJournalRecord Record(const std::string& time, const std::string& pass, const std::string& computer,
                      const std::string& account, const std::string& sid) {
  TJournalRecord r;
  r.time = time;
  r.pass = pass;
  r.user = "ann";
  r.network = "simulated network";
  r.computer = computer;
  r.account = account;
  r.sid = sid;
  r.outcome = "written";
  r.read = true;
  return r;
}

TJournalWrite Write(const std::string& right, bool grant, const std::string& result) {
  TJournalWrite w;
  w.right = right;
  w.grant = grant;
  w.result = result;
  return w;
}

// "computer right action result" of each line, in order.
std::vector<std::string> Texts(const std::vector<THistoryLine>& lines) {
  std::vector<std::string> texts;
  for (const THistoryLine& l : lines)
    texts.push_back(l.computer + " " + l.right + " " + l.action + " " + l.result);
  return texts;
}

class JournalQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    // Pass A: two computers, one of them failed; pass B later, on one; a
    // pass C of another account; then a line a crash cut short.
    TJournalRecord ws = Record("2026-12-05T10:00:00Z", "A", "WS01", "LAB\\ann", "S-1-5-21-1-1001");
    ws.writes = {Write("SeDebugPrivilege", true, "written"),
                 Write("SeBackupPrivilege", false, "in force")};
    TJournalRecord srv =
        Record("2026-12-05T10:00:01Z", "A", "SRV01", "LAB\\ann", "S-1-5-21-1-1001");
    srv.outcome = "failed";
    srv.writes = {Write("SeDebugPrivilege", true, "failed")};
    srv.writes[0].code = 5;
    srv.writes[0].text = "Access is denied";
    TJournalRecord ghost =
        Record("2026-12-05T10:00:02Z", "A", "GHOST", "LAB\\ann", "S-1-5-21-1-1001");
    ghost.outcome = "skipped";
    ghost.code = 53;
    ghost.error = "The network path was not found";
    TJournalRecord later =
        Record("2026-12-07T09:00:00Z", "B", "ws01", "LAB\\ann", "S-1-5-21-1-1001");
    later.logon = "LAB\\admin";
    later.writes = {Write("SeServiceLogonRight", true, "written")};
    TJournalRecord other =
        Record("2026-12-07T09:30:00Z", "C", "WS01", "BUILTIN\\Administrators", "S-1-5-32-544");
    other.writes = {Write("SeDebugPrivilege", false, "written")};
    path = (std::filesystem::temp_directory_path() /
            ("tavrin-query-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed())) /
            "journal.jsonl")
               .string();
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    ASSERT_EQ(TJournal(path).Append({ws, srv, ghost, later, other}), "");
    std::ofstream(path, std::ios::app) << R"({"time": "2026-12-07T1)";
  }
  void TearDown() override {
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
  }
  // The lines point into the records read, kept until the next query.
  std::vector<THistoryLine> Query(const TJournalFilter& filter) {
    std::vector<std::string> warnings;
    records = TJournal(path).Read(warnings);
    return HistoryLines(QueryHistory(records, filter));
  }
  std::string path;
  std::vector<TJournalRecord> records;
};

TEST_F(JournalQuery, FiltersByDateComputerAccountAndRightNewestPassFirst) {
  std::vector<std::string> warnings;
  const std::vector<THistoryPass> passes = QueryHistory(TJournal(path).Read(warnings), {});
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("line 6: skipped"), std::string::npos) << warnings[0];
  ASSERT_EQ(passes.size(), 3u);
  EXPECT_EQ(passes[0].pass, "C");
  EXPECT_EQ(passes[1].pass, "B");
  EXPECT_EQ(passes[1].user, "ann (as LAB\\admin)");
  EXPECT_EQ(passes[2].pass, "A");
  EXPECT_EQ(passes[2].time, "2026-12-05T10:00:00Z");
  EXPECT_EQ(passes[2].computers, (std::vector<std::string>{"WS01", "SRV01", "GHOST"}));
  EXPECT_EQ(passes[2].outcomes, "1 written, 1 failed, 1 skipped");
  EXPECT_EQ(Texts(passes[2].lines),
            (std::vector<std::string>{"WS01 SeDebugPrivilege grant written",
                                      "WS01 SeBackupPrivilege revoke in force",
                                      "SRV01 SeDebugPrivilege grant failed: Access is denied (5)",
                                      "GHOST   skipped: The network path was not found (53)"}));

  TJournalFilter filter;
  filter.since = "2026-12-07";
  EXPECT_EQ(Texts(Query(filter)),
            (std::vector<std::string>{"WS01 SeDebugPrivilege revoke written",
                                      "ws01 SeServiceLogonRight grant written"}));
  filter.since = "2026-12-07T09:10";
  EXPECT_EQ(Query(filter).size(), 1u);
  // A computer in any letter case; an account by SID, by name, by bare name.
  filter = {};
  filter.computer = "Ws01";
  EXPECT_EQ(Query(filter).size(), 4u);
  filter.computer.clear();
  for (const char* account : {"s-1-5-21-1-1001", "lab\\ANN", "Ann"}) {
    filter.account = account;
    EXPECT_EQ(Query(filter).size(), 5u) << account;
  }
  filter.account = "OTHER\\ann";
  EXPECT_TRUE(Query(filter).empty());
  // A right as rights/ reads it: constant, code or policy name; a computer
  // without writes has no line of any right.
  for (const char* right : {"sedebugprivilege", "DG", "Debug programs"}) {
    filter = {};
    filter.right = RightFromUserText(right);
    ASSERT_TRUE(filter.right) << right;
    EXPECT_EQ(Texts(Query(filter)),
              (std::vector<std::string>{
                  "WS01 SeDebugPrivilege revoke written", "WS01 SeDebugPrivilege grant written",
                  "SRV01 SeDebugPrivilege grant failed: Access is denied (5)"}))
        << right;
  }
  filter.computer = "SRV01";
  filter.since = "2026-12-06";
  EXPECT_TRUE(Query(filter).empty());
  // Each line keeps its record narrowed to its right.
  const TJournalRecord line = NarrowedRecord(Query({})[1]);
  EXPECT_EQ(line.pass, "B");
  ASSERT_EQ(line.writes.size(), 1u);
  EXPECT_EQ(line.writes[0].right, "SeServiceLogonRight");
}

TEST_F(JournalQuery, CsvQuotesAndDefendsEveryField) {
  TJournalRecord r =
      Record("2026-12-07T09:00:00Z", "D", "WS01", "=cmd|' /C calc'!A0", "S-1-5-21-9");
  r.writes = {Write("SeDebugPrivilege", true, "failed")};
  r.writes[0].code = 5;
  r.writes[0].text = "Access, \"denied\"";
  ASSERT_EQ(TJournal(path).Append({r}), "");
  TJournalFilter filter;
  filter.account = "S-1-5-21-9";
  EXPECT_EQ(HistoryCsv(Query(filter)),
            "time,pass,computer,account,right,action,result\r\n"
            "2026-12-07T09:00:00Z,D,WS01,'=cmd|' /C calc'!A0,SeDebugPrivilege,grant,"
            "\"failed: Access, \"\"denied\"\" (5)\"\r\n");
}

}  // namespace
