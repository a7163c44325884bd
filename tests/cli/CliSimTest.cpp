// tavrin-cli on the simulated network: reports as a process, apply in process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "cli/CliHistory.h"
#include "cli/CliRun.h"
#include "cli/CliUndo.h"
#include "passes/GuardRails.h"
#include "passes/Journal.h"
#include "tests/support/SimFixture.h"

namespace {

using Names = std::vector<std::string>;
using tavrin::test::LsaWrites;

// Calls take a while, so that a report's rows arrive out of order (GHOST first).
constexpr const char* kNetwork = R"({"thisComputer": "WS01", "latencyMs": 20,
 "domains": [{"name": "CORP"}],
 "computers": [
  {"name": "DC01", "role": "domainController", "domain": "CORP", "machineSid": "S-1-5-21-1-2-3",
   "accounts": [{"name": "alice", "rid": 1105}]},
  {"name": "WS01", "domain": "CORP", "rights": {
     "S-1-5-32-544": ["SeBackupPrivilege", "SeDenyNetworkLogonRight", "SeDebugPrivilege"],
     "S-1-5-21-1-2-3-1105": ["SeInteractiveLogonRight"]}},
  {"name": "SRV01", "role": "server", "domain": "CORP", "rights": {
     "S-1-5-32-544": ["SeShutdownPrivilege"], "S-1-5-21-1-2-3-1105": ["SeServiceLogonRight"]}},
  {"name": "GHOST", "answers": false},
  {"name": "VAULT", "policyDenied": true}]})";

struct TCliRun {
  int status = -1;
  std::string out, err;
};

std::string FileText(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// What was written to a temporary file, which is closed.
std::string Drain(FILE* file) {
  std::string read;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) read += static_cast<char>(c);
  std::fclose(file);
  return read;
}

class CliProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/tavrin-cli-test-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::ofstream(dir_ + "/net.json") << kNetwork;
  }
  static void TearDownTestSuite() { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  static TCliRun Cli(const std::string& args, const std::string& network = dir_ + "/net.json") {
    const std::string command = "TAVRIN_SIM_NETWORK='" + network + "' '" TAVRIN_CLI_PATH "' " +
                                args + " 2>'" + dir_ + "/err.txt'";
    TCliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    run.status = WEXITSTATUS(pclose(pipe));
    run.err = FileText(dir_ + "/err.txt");
    return run;
  }
  static inline std::string dir_;
};

// Each computer in the order printed: the rights held, or "E:" and the error.
using Rows = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, by);) parts.push_back(part);
  return parts;
}

// The rows of a report in any format, each row's rights as the names held
// in the order of the view's columns.
Rows Parse(const std::string& out, const std::string& format,
           TRightsView view = TRightsView::Classic) {
  Rows rows;
  const std::vector<TvmPrivilege>& shown = ViewRights(view);
  const int count = static_cast<int>(shown.size());
  const auto add = [&](const std::string& name, const std::function<bool(int)>& held) {
    std::string names;
    for (int i = 0; i < count; ++i)
      if (held(i)) names += (names.empty() ? "" : ",") + std::string(PolicyNames[shown[i]]);
    rows.emplace_back(name, names);
  };
  if (format == "json") {
    const nlohmann::json report = nlohmann::json::parse(out);
    for (const auto& c : report.at("computers"))
      if (c.at("error").is_null())
        add(c.at("name"), [&](int i) {
          EXPECT_EQ(c.at("rights").size(), shown.size());
          return c.at("rights").at(PolicyNames[shown[i]]).get<bool>();
        });
      else
        rows.emplace_back(c.at("name"), "E:" + c.at("error").get<std::string>() + " (" +
                                            std::to_string(c.at("code").get<int>()) + ")");
    return rows;
  }
  const bool csv = format == "csv";
  std::vector<std::string> lines = Split(out, '\n');
  if (csv) {  // the account first, so that the file stands on its own
    EXPECT_EQ(lines.at(0).rfind("# Account: ", 0), 0u) << lines.at(0);
    lines.erase(lines.begin());
  }
  std::string header = "Computer";
  for (int i = 0; i < count; ++i)
    header += (csv ? "," : (i ? " " : "  ")) + PrivilegeCode(shown[i]);
  EXPECT_EQ(lines.at(0), csv ? header + ",Error\r" : header);
  for (size_t l = 1; l < lines.size(); ++l) {
    const std::string line = lines[l].substr(0, lines[l].size() - csv);  // CSV lines end in CR
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string w; csv ? bool(std::getline(in, w, ',')) : bool(in >> w);) cells.push_back(w);
    const size_t error = csv ? line.find(",E,") : line.find("error: ");
    if (error != std::string::npos) {
      rows.emplace_back(cells.at(0), "E:" + (csv ? cells.back() : line.substr(error + 7)));
      continue;
    }
    EXPECT_EQ(
        std::count(cells.begin(), cells.end(), "Y") + std::count(cells.begin(), cells.end(), "N"),
        count)
        << line;
    add(cells.at(0), [&](int i) { return cells.at(i + 1) == "Y"; });
  }
  return rows;
}

const std::string kUnreachable = "E:The network path was not found (53)";

TEST_F(CliProcess, ReportsEveryComputerInEachFormat) {
  // clang-format off
  const std::tuple<int, std::string, Rows> cases[] = {
      {1, "--account S-1-5-32-544 --computers WS01,SRV01,GHOST,VAULT --format table",
       {{"WS01", "SeBackupPrivilege,SeDebugPrivilege"}, {"SRV01", "SeShutdownPrivilege"},
        {"GHOST", kUnreachable}, {"VAULT", "E:Access is denied (5)"}}},
      {1, "--account Administrators --computers ws01,GHOST --format csv",
       {{"ws01", "SeBackupPrivilege,SeDebugPrivilege"}, {"GHOST", kUnreachable}}},
      {0, "--account 'CORP\\alice' --source CORP --computers WS01,SRV01 --format json",
       {{"WS01", "SeInteractiveLogonRight"}, {"SRV01", "SeServiceLogonRight"}}},
      // All 45: the deny right shows beside the classic rights.
      {0, "--account S-1-5-32-544 --computers WS01 --rights all --format table",
       {{"WS01", "SeBackupPrivilege,SeDebugPrivilege,SeDenyNetworkLogonRight"}}},
      {0, "--account S-1-5-32-544 --computers WS01 --rights all --format csv",
       {{"WS01", "SeBackupPrivilege,SeDebugPrivilege,SeDenyNetworkLogonRight"}}},
      {0, "--account S-1-5-32-544 --computers WS01 --rights all --format json",
       {{"WS01", "SeBackupPrivilege,SeDebugPrivilege,SeDenyNetworkLogonRight"}}}};
  // clang-format on
  for (const auto& [status, args, rows] : cases) {
    const TCliRun run = Cli("report " + args);
    SCOPED_TRACE(args + "\n" + run.out + run.err);
    EXPECT_EQ(run.status, status);
    const bool all = args.find("--rights all") != std::string::npos;
    EXPECT_EQ(
        Parse(run.out, Split(args, ' ').back(), all ? TRightsView::All : TRightsView::Classic),
        rows);
  }
}

TEST_F(CliProcess, WhoHasListsEachComputersHoldersOrItsReason) {
  const std::string computers = " --computers WS01,SRV01,GHOST,VAULT --format ";
  // The right by its Windows name, its code or its constant in any case.
  const TCliRun json = Cli("who-has 'Back up files and directories'" + computers + "json");
  const TCliRun table = Cli("who-has bk" + computers + "table");
  const TCliRun csv = Cli("who-has sebackupprivilege" + computers + "csv");
  for (const TCliRun* run : {&json, &table, &csv}) EXPECT_EQ(run->status, 1) << run->err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["right"], "SeBackupPrivilege");
  ASSERT_EQ(doc["computers"].size(), 4u);
  EXPECT_EQ(doc["computers"][0]["name"], "WS01");
  EXPECT_EQ(
      doc["computers"][0]["holders"],
      nlohmann::json::parse(R"([{"name": "BUILTIN\\Administrators", "sid": "S-1-5-32-544"}])"));
  EXPECT_EQ(doc["computers"][1]["holders"], nlohmann::json::array());
  EXPECT_TRUE(doc["computers"][1]["error"].is_null());
  EXPECT_TRUE(doc["computers"][2]["holders"].is_null());
  EXPECT_EQ(doc["computers"][2]["code"], 1722);
  EXPECT_EQ(doc["computers"][3]["error"], "Access is denied");
  EXPECT_EQ(doc["computers"][3]["code"], 5);
  EXPECT_EQ(table.out,
            "Computer  Accounts holding SeBackupPrivilege\n"
            "WS01      BUILTIN\\Administrators (S-1-5-32-544)\n"
            "SRV01     (none)\n"
            "GHOST     error: The RPC server is unavailable (1722)\n"
            "VAULT     error: Access is denied (5)\n");
  EXPECT_EQ(csv.out,
            "# Right: SeBackupPrivilege\r\nComputer,Accounts,SIDs,Error\r\n"
            "WS01,BUILTIN\\Administrators,S-1-5-32-544,\r\nSRV01,,,\r\n"
            "GHOST,,,The RPC server is unavailable (1722)\r\nVAULT,,,Access is denied (5)\r\n");
  // Every computer read: status 0.
  const TCliRun done = Cli("who-has LS --computers WS01,SRV01");
  EXPECT_EQ(done.status, 0);
  EXPECT_NE(done.out.find("SRV01     CORP\\alice (S-1-5-21-1-2-3-1105)\n"), std::string::npos)
      << done.out;
}

TEST_F(CliProcess, CsvGuardsCellsSpreadsheetsWouldRunUnlessRaw) {
  const std::string args =
      "report --account S-1-5-32-544 --computers '=HYPERLINK(1),WS01' --format csv";
  const TCliRun guarded = Cli(args), raw = Cli(args + " --csv-raw");
  EXPECT_NE(guarded.out.find("\n'=HYPERLINK(1),E,"), std::string::npos) << guarded.out;
  EXPECT_NE(raw.out.find("\n=HYPERLINK(1),E,"), std::string::npos) << raw.out;
  EXPECT_EQ(Parse(raw.out, "csv").at(1), Parse(guarded.out, "csv").at(1));
}

TEST_F(CliProcess, RefusesBadArgumentsAndUnknownAccountsWithStatus2) {
  const std::string apply = "apply --account S-1-5-32-544 --computers WS01 --",
                    report = "report --account ";
  const std::string none = dir_ + "/none.json";
  const struct {
    std::string args, named, network = "";  // the message names `named`
  } cases[] = {
      {apply + "grant SeFooPrivilege", "SeFooPrivilege"},
      {apply + "revoke 'Back up files'", "\"Back up files\""},
      {apply + "grant BKP", "BKP"},
      {apply + "grant SeDebugPrivilege --revoke SeDebugPrivilege", "SeDebugPrivilege"},
      {report + "nobody --computers WS01", "\"nobody\""},
      {report + "'CORP\\ghost' --computers WS01", "CORP\\ghost"},
      {report + "S-1-x --computers WS01", "S-1-x"},
      {report + "S-1-5-32-544", "--computers"},
      {report + "S-1-5-32-544 --computers WS01 --format xml", "xml"},
      {report + "S-1-5-32-544 --computers-file /nonexistent/list", "/nonexistent/list"},
      {report + "S-1-5-32-544 --computers WS01", none, none},
      // Standard input as the list, names no computer has (list files: ComputerNamesTest).
      {report + "S-1-5-32-544 --computers-file - <&-", "standard input is closed"},
      {report + "S-1-5-32-544 --computers-file - <'" + dir_ + "'", "is a directory"},
      {report + "S-1-5-32-544 --computers 'WS01,PC\x1b]0;x\x07'", "\"PC\\x1b]0;x\\x07\""},
      {report + "'a\x1b[31mb' --computers WS01", "\"a\\x1b[31mb\""},
      {report + "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16 --computers WS01",
       "more than 15 sub-authorities"},
      {report + "S-1-256-1 --computers WS01", "identifier authority above 255"},
      {"who-has --computers WS01", "needs a right"},
      {"who-has SeFooPrivilege --computers WS01", "SeFooPrivilege"},
      {"who-has BK", "--computers"},
      {"who-has BK --computers WS01 --account x", "--account"},
  };
  for (const auto& [args, named, network] : cases) {
    const TCliRun run = network.empty() ? Cli(args) : Cli(args, network);
    SCOPED_TRACE(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    EXPECT_EQ(
        std::count_if(run.err.begin(), run.err.end(),
                      [](char c) { return c != '\n' && static_cast<unsigned char>(c) < 0x20; }),
        0);
  }
}

TEST_F(CliProcess, SaysWhyTheScanFailedInItsOwnWords) {
  const std::string network = dir_ + "/nobrowser.json";
  std::ofstream(network) << R"({"thisComputer": "WS01", "browserAnswers": false,
                               "computers": [{"name": "WS01"}]})";
  const TCliRun run = Cli("report --account S-1-5-32-544 --scan --computers WS01", network);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("WS01"), std::string::npos);
  EXPECT_NE(run.err.find("tavrin-cli: the network scan failed: The list of servers for this "
                         "workgroup is not currently available (6118)\n"),
            std::string::npos)
      << run.err;
}

TEST(CliHelp, ComesFromTheOptionsParsed) {
  const std::string help = tavrin::cli::HelpText();
  for (const char* option :
       {"--account ACCOUNT", "--source COMPUTER|DOMAIN", "--computers NAME,...",
        "--computers-file FILE", "--scan", "--format table|csv|json", "--format table|json",
        "--csv-raw", "--grant RIGHT,...", "--revoke RIGHT,...", "--dry-run", "--network sim|real",
        "--password-fd N", "--rights classic|all", "--force"})
    EXPECT_NE(help.find(std::string("\n  ") + option), std::string::npos) << option;
  // Every right, on a line of its own: code, constant, Windows' name.
  for (const TRightInfo& info : RightsCatalogue) {
    const size_t line = help.find(std::string("\n  ") + info.code + "  " + info.constant + " ");
    ASSERT_NE(line, std::string::npos) << info.constant;
    EXPECT_NE(help.substr(line + 1, help.find('\n', line + 1) - line - 1).find(info.policyName),
              std::string::npos)
        << info.constant;
  }
  // Each option the report takes, and only those, in its usage.
  const std::string report = help.substr(0, help.find("tavrin-cli apply"));
  EXPECT_NE(report.find("[--csv-raw]"), std::string::npos);
  EXPECT_EQ(report.find("--dry-run"), std::string::npos);
  // The window's --computers-file of the real network is not the command line's.
  EXPECT_EQ(help.find("Update list of computers"), std::string::npos);
}

class CliApply : public tavrin::test::SimTest {
 protected:
  int Apply(const std::string& args, std::string& out) {
    return Run(Split("apply " + args, ' '), out);
  }
  int Run(const std::vector<std::string>& args, std::string& out) {
    FILE* outFile = std::tmpfile();
    FILE* errFile = std::tmpfile();
    const tavrin::cli::TOptions options = tavrin::cli::ParseOptions(args);
    using tavrin::cli::TCommand;
    const int status =
        options.command == TCommand::Undo      ? tavrin::cli::Undo(options, outFile, errFile)
        : options.command == TCommand::History ? tavrin::cli::History(options, outFile, errFile)
                                               : tavrin::cli::RunCommand(options, outFile, errFile);
    out = Drain(outFile);
    err = Drain(errFile);
    return status;
  }
  std::string err;
};

TEST_F(CliApply, WritesExactlyTheDifferenceAndDryRunWritesNothing) {
  const std::string args =
      "--account Administrators --computers WS01,SRV01,GHOST --grant "
      "SeShutdownPrivilege,SeDebugPrivilege --revoke SeBackupPrivilege";
  std::string out;
  tavrin::sim::ClearCalls();
  EXPECT_EQ(Apply(args + " --dry-run", out), 1);
  const std::string ghost = "GHOST: not read: The network path was not found (53)\n";
  EXPECT_EQ(out,
            "WS01: would grant SeShutdownPrivilege; would revoke SeBackupPrivilege; "
            "already in force: SeDebugPrivilege\n"
            "SRV01: would grant SeShutdownPrivilege, SeDebugPrivilege; would revoke "
            "SeBackupPrivilege\n" +
                ghost);
  EXPECT_EQ(LsaWrites(), Names{});

  EXPECT_EQ(Apply(args, out), 1);
  EXPECT_EQ(out.substr(0, out.find("GHOST")),
            "WS01: granted SeShutdownPrivilege; revoked SeBackupPrivilege; "
            "already in force: SeDebugPrivilege\n"
            "SRV01: granted SeShutdownPrivilege, SeDebugPrivilege; revoked SeBackupPrivilege\n");
  EXPECT_EQ(LsaWrites(), (Names{"Add SRV01 SeDebugPrivilege", "Add SRV01 SeShutdownPrivilege",
                                "Add WS01 SeShutdownPrivilege", "Rem SRV01 SeBackupPrivilege",
                                "Rem WS01 SeBackupPrivilege"}));
}

TEST_F(CliApply, NamesTheRightsWrittenBeforeAFailedOne) {
  const std::string args =
      "--account S-1-5-32-544 --grant "
      "SeIncreaseQuotaPrivilege,SeMachineAccountPrivilege,SeTcbPrivilege --computers ";
  std::string out;
  tavrin::sim::FailWrite(3, static_cast<int32_t>(0xC0000060), "SRV01");  // NO_SUCH_PRIVILEGE
  EXPECT_EQ(Apply(args + "SRV01,GHOST", out), 1);
  EXPECT_EQ(out,
            "SRV01: granted SeIncreaseQuotaPrivilege, SeMachineAccountPrivilege; failed "
            "SeTcbPrivilege: A specified privilege does not exist (1313)\n"
            "GHOST: not read: The network path was not found (53)\n");

  tavrin::sim::FailWrite(2, static_cast<int32_t>(0xC0000022), "WS01");  // ACCESS_DENIED
  EXPECT_EQ(Apply(args + "WS01,SRV01 --format json", out), 1);
  const nlohmann::json report = nlohmann::json::parse(out);
  EXPECT_EQ(report.at("sid"), "S-1-5-32-544");
  const nlohmann::json& ws01 = report.at("computers").at(0);
  EXPECT_EQ(ws01.at("outcome"), "failed");
  EXPECT_EQ(ws01.at("granted"), nlohmann::json({"SeIncreaseQuotaPrivilege"}));
  EXPECT_EQ(ws01.at("failed"), nlohmann::json::parse(R"([{"right": "SeMachineAccountPrivilege",
                                  "error": "Access is denied", "code": 5}])"));
  const nlohmann::json& srv01 = report.at("computers").at(1);
  EXPECT_EQ(srv01.at("outcome"), "written");
  EXPECT_EQ(srv01.at("granted"), nlohmann::json({"SeTcbPrivilege"}));
  EXPECT_EQ(srv01.at("inForce"),
            nlohmann::json({"SeIncreaseQuotaPrivilege", "SeMachineAccountPrivilege"}));
  EXPECT_TRUE(srv01.at("error").is_null());
}

// Every apply that writes leaves its records in the journal; history reads
// them back, filtered, past a line a crash cut short.
TEST_F(CliApply, JournalsEachComputerAndHistoryReadsItBack) {
  char pattern[] = "/tmp/tavrin-journal-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string journal = dir + "/journal.jsonl";
  std::string out;
  // An unwritable journal stops the apply before anything is written.
  tavrin::sim::ClearCalls();
  std::ofstream(dir + "/file") << "";
  EXPECT_EQ(Apply("--account S-1-5-32-544 --computers SRV01 --grant SeTcbPrivilege --journal " +
                      dir + "/file/j",
                  out),
            2);
  EXPECT_EQ(LsaWrites(), Names{});

  const std::string args =
      "--account S-1-5-32-544 --grant SeTcbPrivilege,SeDebugPrivilege "
      "--revoke SeBackupPrivilege --journal " +
      journal + " --computers ";
  tavrin::sim::FailWrite(2, static_cast<int32_t>(0xC0000022), "SRV01");
  EXPECT_EQ(Apply(args + "WS01,SRV01,GHOST", out), 1);
  EXPECT_EQ(Apply(args + "WS01 --dry-run", out), 0);  // not journalled
  std::vector<std::string> lines = Split(FileText(journal), '\n');
  ASSERT_EQ(lines.size(), 3u);
  const nlohmann::json ws01 = nlohmann::json::parse(lines[0]);
  const nlohmann::json srv01 = nlohmann::json::parse(lines[1]);
  const nlohmann::json ghost = nlohmann::json::parse(lines[2]);
  EXPECT_EQ(ws01.at("pass"), ghost.at("pass"));
  EXPECT_EQ(ws01.at("sid"), "S-1-5-32-544");
  EXPECT_EQ(ws01.at("network"), "simulated network");
  EXPECT_EQ(ws01.at("before"),
            nlohmann::json({"SeBackupPrivilege", "SeRestorePrivilege", "SeDebugPrivilege",
                            "SeInteractiveLogonRight", "SeRemoteInteractiveLogonRight"}));
  EXPECT_EQ(ws01.at("writes"), nlohmann::json::parse(R"([
      {"right": "SeTcbPrivilege", "action": "grant", "result": "written"},
      {"right": "SeBackupPrivilege", "action": "revoke", "result": "written"},
      {"right": "SeDebugPrivilege", "action": "grant", "result": "in force"}])"));
  EXPECT_EQ(srv01.at("outcome"), "failed");
  EXPECT_EQ(srv01.at("writes").at(1), nlohmann::json::parse(R"(
      {"right": "SeBackupPrivilege", "action": "revoke", "result": "failed", "code": 5,
       "error": "Access is denied"})"));
  EXPECT_EQ(srv01.at("writes").at(2).at("result"), "not written");
  EXPECT_EQ(ghost.at("outcome"), "skipped");
  EXPECT_EQ(ghost.at("code"), 53);
  EXPECT_TRUE(ghost.at("before").is_null());
  EXPECT_TRUE(std::regex_match(ws01.at("time").get<std::string>(),
                               std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));

  // A second pass, then a line cut short by a crash: history skips it with a
  // warning, newest pass first, filtered.
  EXPECT_EQ(Apply(args + "WS01", out), 0);
  std::ofstream(journal, std::ios::app) << R"({"time": "2026-12-07T1)";
  const auto History = [&](const std::string& args) {
    TCliRun run;
    run.status = Run(Split("history " + args, ' '), run.out);
    run.err = err;
    return run;
  };
  TCliRun history = History("--format csv --computer ws01 --journal " + journal);
  EXPECT_EQ(history.status, 0);
  EXPECT_NE(history.err.find("line 5: skipped"), std::string::npos) << history.err;
  lines = Split(history.out, '\n');
  ASSERT_EQ(lines.size(), 7u);  // the head and three rights of each of two passes
  EXPECT_NE(lines[1].find(",WS01,S-1-5-32-544,SeTcbPrivilege,grant,in force\r"), std::string::npos)
      << lines[1];
  EXPECT_NE(lines[4].find(",WS01,S-1-5-32-544,SeTcbPrivilege,grant,written\r"), std::string::npos)
      << lines[4];
  history = History("--format json --account s-1-5-32-544 --computer GHOST --journal " + journal);
  const nlohmann::json ghostLines = nlohmann::json::parse(history.out);
  ASSERT_EQ(ghostLines.size(), 3u);
  EXPECT_EQ(ghostLines.at(0).at("writes").at(0).at("result"), "not written");
  // One right's lines, by its code; names wider in bytes than on screen
  // keep the table's columns in line.
  TJournalRecord wide;
  wide.time = "2026-12-08T00:00:00Z";
  wide.pass = "wide";
  wide.computer = "WS01";
  wide.account = "CORP\\J\u00fcrgen \u00c5s";
  wide.writes = {{"SeTcbPrivilege", true, "written", 0, ""}};
  ASSERT_EQ(TJournal(journal).Append({wide}), "");
  history = History("--right ps --computer ws01 --journal " + journal);
  lines = Split(history.out, '\n');
  ASSERT_EQ(lines.size(), 4u) << history.out;
  for (const std::string& line : lines) {
    const size_t right = std::min(line.find("right"), line.find("SeTcbPrivilege"));
    ASSERT_NE(right, std::string::npos) << line;
    EXPECT_EQ(tavrin::cli::Width(line.substr(0, right)),
              tavrin::cli::Width(lines[0].substr(0, lines[0].find("right"))))
        << line;
  }
  EXPECT_THROW(tavrin::cli::ParseOptions({"history", "--right", "SeNoSuchPrivilege"}),
               std::invalid_argument);
  std::system(("rm -rf '" + dir + "'").c_str());
}

// Undo puts back what a pass wrote where it is still as the pass left it,
// names what changed since, and is journalled as an undo.
TEST_F(CliApply, UndoPutsBackWhatIsStillAsThePassLeftIt) {
  char pattern[] = "/tmp/tavrin-undo-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string journal = " --journal " + dir + "/journal.jsonl";
  const auto lastPass = [&] {
    std::ifstream in(dir + "/journal.jsonl");
    std::string line, last;
    while (std::getline(in, line)) last = line;
    return nlohmann::json::parse(last);
  };
  std::string out;
  // The pass: on WS01 and SRV01 (GHOST does not answer: nothing to undo there).
  ASSERT_EQ(Apply("--account S-1-5-32-544 --grant SeTcbPrivilege,SeDebugPrivilege --revoke "
                  "SeBackupPrivilege --computers WS01,SRV01,GHOST" +
                      journal,
                  out),
            1);
  const std::string pass = lastPass().at("pass");
  // Later, SRV01 gets SeBackupPrivilege back by another pass.
  ASSERT_EQ(
      Apply("--account S-1-5-32-544 --grant SeBackupPrivilege --computers SRV01" + journal, out),
      0);
  const std::string later = lastPass().at("pass");

  tavrin::sim::ClearCalls();
  EXPECT_EQ(
      Run({"undo", pass.substr(0, 20), "--dry-run", "--journal", dir + "/journal.jsonl"}, out), 1)
      << err;
  EXPECT_EQ(LsaWrites(), Names{});
  const std::string changed =
      "left alone: SeBackupPrivilege (changed since: now held by a later "
      "pass (" +
      later + "))\n";
  EXPECT_EQ(out.substr(out.find('\n') + 1),
            "WS01: would grant SeBackupPrivilege; would revoke SeTcbPrivilege\n"
            "SRV01: would revoke SeTcbPrivilege, SeDebugPrivilege; " +
                changed);
  // SeDebugPrivilege was in force on WS01 already: the pass did not write it,
  // and undo leaves it.
  EXPECT_EQ(Run({"undo", pass, "--journal", dir + "/journal.jsonl"}, out), 1) << err;
  EXPECT_EQ(LsaWrites(), (Names{"Add WS01 SeBackupPrivilege", "Rem SRV01 SeDebugPrivilege",
                                "Rem SRV01 SeTcbPrivilege", "Rem WS01 SeTcbPrivilege"}));
  EXPECT_NE(out.find("SRV01: revoked SeTcbPrivilege, SeDebugPrivilege; " + changed),
            std::string::npos)
      << out;
  EXPECT_EQ(lastPass().at("undoes"), pass);
  // Undone once, there is nothing left to put back; an unknown pass is refused.
  EXPECT_EQ(Run({"undo", pass, "--journal", dir + "/journal.jsonl"}, out), 1);
  EXPECT_NE(out.find("WS01: nothing to undo; left alone: SeTcbPrivilege (changed since: "
                     "revoked by a later pass"),
            std::string::npos)
      << out;
  EXPECT_EQ(Run({"undo", "1999", "--journal", dir + "/journal.jsonl"}, out), 2);
  EXPECT_NE(err.find("the journal has no pass \"1999\""), std::string::npos) << err;
  std::system(("rm -rf '" + dir + "'").c_str());
}

// Rights by constant in any case, by code or by Windows' name; a deny right
// and a new privilege written and read back.
TEST_F(CliApply, TakesRightsByAnyNameAndWritesTheNewOnes) {
  const auto grants = [](const std::string& list) {
    return tavrin::cli::ParseOptions(
               {"apply", "--account", "S-1-5-32-544", "--computers", "WS01", "--grant", list})
        .grant;
  };
  EXPECT_EQ(grants("sedebugprivilege, bk ,Log On As A Service,DN,deny log on locally"),
            (TvmPrivileges{spDebug, spBackup, spServiceLogon, spDenyNetworkLogon,
                           spDenyInteractiveLogon}));

  std::string out;
  tavrin::sim::ClearCalls();
  EXPECT_EQ(Apply("--account CORP\\bob --computers WS01 --grant IM,DI", out), 0) << err;
  EXPECT_EQ(out, "WS01: granted SeImpersonatePrivilege, SeDenyInteractiveLogonRight\n");
  EXPECT_EQ(LsaWrites(),
            (Names{"Add WS01 SeDenyInteractiveLogonRight", "Add WS01 SeImpersonatePrivilege"}));
  const auto report = [&](const char* rights) {
    EXPECT_EQ(Run({"report", "--account", "CORP\\bob", "--computers", "WS01", "--rights", rights,
                   "--format", "json"},
                  out),
              0);
    return nlohmann::json::parse(out).at("computers").at(0).at("rights");
  };
  const nlohmann::json all = report("all");
  EXPECT_EQ(all.size(), 45u);
  EXPECT_TRUE(all.at("SeImpersonatePrivilege").get<bool>());
  EXPECT_TRUE(all.at("SeDenyInteractiveLogonRight").get<bool>());
  EXPECT_FALSE(all.at("SeDenyNetworkLogonRight").get<bool>());
  EXPECT_EQ(report("classic").size(), 27u);
  // A commit in the classic view keeps them.
  EXPECT_EQ(Apply("--account CORP\\bob --computers WS01 --grant SeShutdownPrivilege", out), 0);
  EXPECT_TRUE(report("all").at("SeDenyInteractiveLogonRight").get<bool>());
  EXPECT_EQ(Apply("--account CORP\\bob --computers WS01 --revoke di", out), 0);
  EXPECT_EQ(out, "WS01: revoked SeDenyInteractiveLogonRight\n");
}

// Each guard rail refuses with status 2 and writes nothing; --force writes.
TEST_F(CliApply, GuardRailsRefuseLockOutsUnlessForced) {
  tavrin::sim::NetworkSpec network = tavrin::test::SmallNetwork();
  for (tavrin::sim::ComputerSpec& c : network.computers)
    if (c.name == "WS01") {
      c.rights["S-1-5-19"] = {"SeTimeZonePrivilege"};
      c.rights["S-1-5-20"] = {"SeImpersonatePrivilege"};
      c.rights["S-1-5-32-544"].push_back("SeNetworkLogonRight");
    }
  Reinstall(network);
  const std::string self = ProgramAccountSid();
  ASSERT_FALSE(self.empty());
  const struct {
    std::string args, rule;
  } cases[] = {
      {"--account Everyone --grant DN", "Everyone"},
      {"--account S-1-5-32-545 --grant DR", "Everyone"},
      {"--account S-1-5-11 --grant DI", "Everyone"},
      {"--account S-1-5-32-544 --revoke IL", "Administrators"},
      {"--account " + self + " --grant DI", "runs or logs on as"},
      {"--account S-1-5-32-544 --revoke NL", "Administrators"},
      {"--account S-1-5-19 --revoke TZ", "LOCAL SERVICE must keep"},
      {"--account S-1-5-20 --revoke IM", "NETWORK SERVICE"},
  };
  for (const auto& [args, rule] : cases) {
    SCOPED_TRACE(args);
    std::string out;
    tavrin::sim::ClearCalls();
    EXPECT_EQ(Apply(args + " --computers WS01,SRV01", out), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(LsaWrites(), Names{});
    EXPECT_NE(err.find(rule), std::string::npos) << err;
    EXPECT_NE(err.find("on WS01, SRV01"), std::string::npos) << err;
    EXPECT_EQ(Apply(args + " --computers WS01 --dry-run", out), 0);
    EXPECT_EQ(LsaWrites(), Names{});
    EXPECT_EQ(Apply(args + " --computers WS01 --force", out), 0) << err;
    EXPECT_EQ(LsaWrites().size(), 1u) << out;
  }
  // Not every deny or revocation is flagged.
  std::string out;
  EXPECT_EQ(Apply("--account S-1-5-32-544 --revoke BK --computers WS01", out), 0) << err;
  EXPECT_EQ(Apply("--account S-1-5-19 --revoke BK --computers WS01", out), 0) << err;
  EXPECT_EQ(err, "");
}

}  // namespace
