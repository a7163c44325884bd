// tavrin-cli on the simulated network: reports in every format, failures and
// exit statuses as a process; apply and --dry-run in process, where the
// test can read the policies and the LSA calls afterwards.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli/CliRun.h"
#include "tests/support/SimFixture.h"

namespace {

// Calls to other computers take a while, so that the rows of a report
// arrive out of the order of the list (an unreachable computer is quickest).
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

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class CliProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/tavrin-cli-test-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::ofstream(dir_ + "/net.json") << kNetwork;
  }
  static void TearDownTestSuite() { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // Runs tavrin-cli with `args` (shell words) on the network file.
  static TCliRun Cli(const std::string& args, const std::string& network = dir_ + "/net.json") {
    const std::string command = "TAVRIN_SIM_NETWORK='" + network + "' '" TAVRIN_CLI_PATH "' " +
                                args + " 2>'" + dir_ + "/err.txt'";
    TCliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    run.status = WEXITSTATUS(pclose(pipe));
    run.err = Slurp(dir_ + "/err.txt");
    return run;
  }
  static inline std::string dir_;
};

// What a report says of each computer, in the order printed: the names of
// the rights held, or "E:" and the error text.
using Rows = std::vector<std::pair<std::string, std::string>>;

std::string Joined(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, by);) parts.push_back(part);
  return parts;
}

// Table and CSV: a header of the 27 codes, then one line per computer.
Rows FromColumns(const std::string& out, bool csv) {
  std::vector<std::string> lines = Split(out, '\n');
  std::string header = "Computer";
  for (int i = 0; i < PrivilegeCount; ++i)
    header += (csv ? "," : (i ? " " : "  ")) + PrivilegeCode(static_cast<TvmPrivilege>(i));
  EXPECT_EQ(lines.at(0), csv ? header + ",Error\r" : header);
  Rows rows;
  for (size_t l = 1; l < lines.size(); ++l) {
    std::string line = lines[l];
    if (csv) line.pop_back();  // the CR
    std::vector<std::string> cells;
    if (csv) {
      cells = Split(line, ',');
    } else {
      std::stringstream words(line);
      for (std::string word; words >> word;) cells.push_back(word);
    }
    const std::string name = cells.at(0);
    const size_t error = csv ? line.find(",E,") : line.find("error: ");
    if (error != std::string::npos) {
      rows.emplace_back(name, "E:" + (csv ? cells.back() : line.substr(error + 7)));
      continue;
    }
    std::set<std::string> held;
    for (int i = 0; i < PrivilegeCount; ++i) {
      EXPECT_TRUE(cells.at(i + 1) == "Y" || cells.at(i + 1) == "N") << line;
      if (cells.at(i + 1) == "Y") held.insert(PolicyNames[i]);
    }
    rows.emplace_back(name, Joined(held));
  }
  return rows;
}

Rows FromJson(const std::string& out) {
  Rows rows;
  const nlohmann::json report = nlohmann::json::parse(out);
  for (const auto& computer : report.at("computers")) {
    const std::string name = computer.at("name");
    if (!computer.at("error").is_null()) {
      rows.emplace_back(name, "E:" + computer.at("error").get<std::string>());
      continue;
    }
    std::set<std::string> held;
    EXPECT_EQ(computer.at("rights").size(), 27u);
    for (const auto& [right, value] : computer.at("rights").items())
      if (value.get<bool>()) held.insert(right);
    rows.emplace_back(name, Joined(held));
  }
  return rows;
}

const std::string kUnreachable = "E:The network path was not found";
const std::string kDenied = "E:Access is denied";

struct ReportCase {
  const char* args;
  int status;
  Rows rows;
};

TEST_F(CliProcess, ReportsEveryComputerInEachFormat) {
  const ReportCase cases[] = {
      {"--account S-1-5-32-544 --computers WS01,SRV01,GHOST,VAULT --format table",
       1,
       {{"WS01", "SeBackupPrivilege,SeDebugPrivilege"},
        {"SRV01", "SeShutdownPrivilege"},
        {"GHOST", kUnreachable},
        {"VAULT", kDenied}}},
      {"--account Administrators --computers ws01,GHOST --format csv",
       1,
       {{"ws01", "SeBackupPrivilege,SeDebugPrivilege"}, {"GHOST", kUnreachable}}},
      {"--account 'CORP\\alice' --source CORP --computers WS01,SRV01 --format json",
       0,
       {{"WS01", "SeInteractiveLogonRight"}, {"SRV01", "SeServiceLogonRight"}}},
  };
  for (const ReportCase& c : cases) {
    const TCliRun run = Cli(std::string("report ") + c.args);
    SCOPED_TRACE(c.args + ("\n" + run.out + run.err));
    EXPECT_EQ(run.status, c.status);
    const std::string format = Split(c.args, ' ').back();
    EXPECT_EQ(format == "json" ? FromJson(run.out) : FromColumns(run.out, format == "csv"), c.rows);
  }
}

struct RefusalCase {
  const char* args;
  const char* named;  // what the message must name
};

TEST_F(CliProcess, RefusesBadArgumentsAndUnknownAccountsWithStatus2) {
  const RefusalCase cases[] = {
      {"apply --account S-1-5-32-544 --computers WS01 --grant SeFooPrivilege", "SeFooPrivilege"},
      {"apply --account S-1-5-32-544 --computers WS01 --revoke sebackupprivilege",
       "sebackupprivilege"},
      {"apply --account S-1-5-32-544 --computers WS01 --grant SeDebugPrivilege --revoke "
       "SeDebugPrivilege",
       "SeDebugPrivilege"},
      {"report --account nobody --computers WS01", "\"nobody\""},
      {"report --account 'CORP\\ghost' --computers WS01", "CORP\\ghost"},
      {"report --account S-1-x --computers WS01", "S-1-x"},
      {"report --account S-1-5-32-544", "--computers"},
      {"report --account S-1-5-32-544 --computers WS01 --format xml", "xml"},
      {"report --account S-1-5-32-544 --computers-file /nonexistent/list", "/nonexistent/list"},
  };
  for (const RefusalCase& c : cases) {
    const TCliRun run = Cli(c.args);
    SCOPED_TRACE(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
  }
  const TCliRun broken = Cli("report --account S-1-5-32-544 --computers WS01", dir_ + "/none.json");
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find(dir_ + "/none.json"), std::string::npos) << broken.err;
  EXPECT_EQ(Cli("--version").out, "tavrin-cli 1.0\n");
}

// ------------------------------------------------------------- in process

class CliApply : public tavrin::test::SimTest {
 protected:
  // Runs a command of tavrin-cli in this process; returns its status and
  // puts its standard output into `out`.
  int Apply(const std::string& args, std::string& out) {
    std::vector<std::string> words = Split(args, ' ');
    words.insert(words.begin(), "apply");
    FILE* stdoutFile = std::tmpfile();
    FILE* stderrFile = std::tmpfile();
    const int status =
        tavrin::cli::RunCommand(tavrin::cli::ParseOptions(words), stdoutFile, stderrFile);
    std::rewind(stdoutFile);
    out.clear();
    for (int c; (c = std::fgetc(stdoutFile)) != EOF;) out += static_cast<char>(c);
    std::fclose(stdoutFile);
    std::fclose(stderrFile);
    return status;
  }
  // The LSA writes made, as "computer function argument", in any order.
  static std::multiset<std::string> Writes() {
    std::multiset<std::string> writes;
    for (const auto& call : tavrin::sim::Calls())
      if (call.function == "LsaAddAccountRights" || call.function == "LsaRemoveAccountRights")
        writes.insert(call.target + " " + call.function + " " + call.argument);
    return writes;
  }
  static std::set<std::string> Held(const std::string& computer) {
    const auto rights = tavrin::sim::RightsOf(computer, "S-1-5-32-544");
    return {rights.begin(), rights.end()};
  }
};

TEST_F(CliApply, WritesExactlyTheDifferenceAndDryRunWritesNothing) {
  const std::string args =
      "--account Administrators --computers WS01,SRV01,GHOST --grant "
      "SeShutdownPrivilege,SeDebugPrivilege --revoke SeBackupPrivilege";
  const std::set<std::string> ws01 = Held("WS01"), srv01 = Held("SRV01");
  std::string out;
  tavrin::sim::ClearCalls();
  EXPECT_EQ(Apply(args + " --dry-run", out), 1);
  EXPECT_EQ(out.substr(0, out.find("GHOST")),
            "WS01: would grant SeShutdownPrivilege; would revoke SeBackupPrivilege; "
            "already in force: SeDebugPrivilege\n"
            "SRV01: would grant SeShutdownPrivilege, SeDebugPrivilege; would revoke "
            "SeBackupPrivilege\n");
  EXPECT_EQ(out.substr(out.find("GHOST")), "GHOST: not read: The network path was not found\n");
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(Held("WS01"), ws01);

  EXPECT_EQ(Apply(args, out), 1);
  EXPECT_EQ(out.substr(0, out.find("GHOST")),
            "WS01: granted SeShutdownPrivilege; revoked SeBackupPrivilege; "
            "already in force: SeDebugPrivilege\n"
            "SRV01: granted SeShutdownPrivilege, SeDebugPrivilege; revoked SeBackupPrivilege\n");
  const std::string admins = " S-1-5-32-544 ";
  EXPECT_EQ(Writes(), (std::multiset<std::string>{
                          "WS01 LsaAddAccountRights" + admins + "SeShutdownPrivilege",
                          "WS01 LsaRemoveAccountRights" + admins + "SeBackupPrivilege",
                          "SRV01 LsaAddAccountRights" + admins + "SeShutdownPrivilege",
                          "SRV01 LsaAddAccountRights" + admins + "SeDebugPrivilege",
                          "SRV01 LsaRemoveAccountRights" + admins + "SeBackupPrivilege"}));
  std::set<std::string> expected = ws01;
  expected.erase("SeBackupPrivilege");
  expected.insert("SeShutdownPrivilege");
  EXPECT_EQ(Held("WS01"), expected);  // the rights outside the 27 stay

  tavrin::sim::ClearCalls();
  EXPECT_EQ(Apply("--account S-1-5-32-544 --computers SRV01 --grant SeDebugPrivilege", out), 0);
  EXPECT_EQ(out, "SRV01: already in force: SeDebugPrivilege\n");
  EXPECT_TRUE(Writes().empty());
}

}  // namespace
