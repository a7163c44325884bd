// Network descriptions: loader errors, builder, built-in network, platform start.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/PlatformInit.h"
#include "platform/sim/SimNetwork.h"
#include "platform/win32api.h"
#include "rights/Velmar_RightsCenter.h"
#include "tests/support/Raised.h"
#include "tests/support/SimTestHelpers.h"

namespace {

namespace sim = tavrin::sim;

const auto Thrown = [](auto f) { return tavrin::test::Raised<sim::NetworkDescriptionError>(f); };
std::string ErrorOf(const std::string& json) {
  return Thrown([&] { sim::ParseNetworkJson(json, "net.json"); });
}

std::string Computers(const std::string& list) {
  return R"({"thisComputer": "A", "domains": [{"name": "D"}], "computers": [)" + list + "]}";
}
// A description whose computer A has the fields given.
std::string OnA(const std::string& fields) { return Computers(R"({"name": "A", )" + fields + "}"); }
std::string Account(const std::string& name) {
  return OnA(R"("accounts": [{"name": ")" + name + R"(", "rid": 1000}])");
}

TEST(SimDescription, ContentErrorsNameTheField) {
  // Each message starts "net.json: " and then the text given.
  const std::pair<std::string, std::string> cases[] = {
      {"{\n  \"thisComputer\": \"A\",\n  oops\n}", "line 3, column "},
      {"[1, 2", "line 1, column "},
      {Computers(R"({"name": "A"}, {"role": "server"})"), "computers[1].name: missing"},
      {Computers(R"({"name": "A"}, {"name": "a"})"), "computers[1].name: duplicate computer 'a'"},
      {OnA(R"("role": "router")"), "computers[0].role: unknown role 'router'"},
      {Computers(R"({"name": "B"})"), "thisComputer: 'A' is not among computers"},
      {OnA(R"("machineSid": "S-1-5-21-1-2")"), "computers[0].machineSid: bad SID text"},
      {OnA(R"("domain": "E")"), "computers[0].domain: 'E' is not among domains"},
      {OnA(R"("answers": "no")"), "computers[0].answers: expected true or false"},
      {OnA(R"("polcyDenied": true)"), "computers[0].polcyDenied: unknown field"},
      {OnA(R"("accounts": [{"name": "x", "rid": -4}])"),
       "computers[0].accounts[0].rid: expected a whole number"},
      {OnA(R"("accounts": [{"name": "x", "rid": 1000}, {"name": "X", "rid": 1001}])"),
       "computers[0].accounts[1].name: duplicate account 'X'"},
      {OnA(R"("rights": {"S-1-5-32-54x": []})"), "computers[0].rights[S-1-5-32-54x]: bad SID"},
      {OnA(R"("rights": {"S-1-1-0": ["SeFlyPrivilege"]})"),
       "computers[0].rights[S-1-1-0]: unknown right name 'SeFlyPrivilege'"},
      {OnA(R"("role": "domainController")"),
       "computers[0].role: a domain controller must belong to a domain"},
      {R"({"computers": []})", "thisComputer: missing"},
      {R"({"thisComputer": "A", "computers": [{"name": "A"}], "currentUser": "A\\nobody"})",
       "currentUser: 'A\\nobody' is not a user"},
      // Hostile texts: refused, named, quoted escaped and short.
      {R"({"thisComputer": "A", "computers": [{"name": "A"}], "thisComputer": "A"})",
       "thisComputer: duplicate field"},
      {Computers(R"({"name": "A"}, {"name": "B", "rights": {"S-1-1-0": [], "S-1-1-0": []}})"),
       "computers[1].rights[S-1-1-0]: duplicate field"},
      {OnA(R"("accounts": [{"name": "x", "rid": 1}, {"rid": -1e400}])"),
       "computers[0].accounts[1].rid: number too large"},
      {R"({"thisComputer": "A", "latencyMs": )" + std::string(100000, '[') +
           std::string(100000, ']') + "}",
       "latencyMs[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]: nested more than 16 levels deep"},
      {OnA(R"("comment": ["x"])"), "computers[0].comment: expected a string, found a list"},
      {OnA(R"("role": ")" + std::string(100000, 'x') + "\""),
       "computers[0].role: unknown role 'xxxxxxxxxxxxxxxx"},
      {R"({"thisComputer": ")" + std::string(100000, 'x'), "line 1, column "},
      {OnA(R"("na\u0000me": 1)"), "computers[0].na\\u0000me: unknown field"},
      {Computers(R"({"name": "A"}, {"name": "PC1\u0000X"})"),
       "computers[1].name: 'PC1\\u0000X' contains a control character"},
      {Computers(R"({"name": "A B"})"), "computers[0].name: 'A B' contains ' '"},
      {R"({"thisComputer": "A", "domains": [{"name": "ПРЕДПРИЯТИЕ-ЮГО1"}]})",
       "domains[0].name: 'ПРЕДПРИЯТИЕ-ЮГО1' is longer than 15 characters"},
      {Account("a|b"), "computers[0].accounts[0].name: 'a|b' contains '|', which Windows does not"},
      {Account("Александр.Петровичев1"),
       "computers[0].accounts[0].name: 'Александр.Петровичев1' is longer than 20"},
      {Account(". ."), "computers[0].accounts[0].name: '. .' is made only of periods and spaces"},
      {OnA(R"("accounts": [{"kind": "localGroup", "rid": 1000, "name": ")" + std::string(257, 'g') +
           R"("}])"),
       "computers[0].accounts[0].name: 'gggggggggggggggg"},
  };
  for (const auto& [json, expected] : cases) {
    const std::string message = ErrorOf(json);
    EXPECT_EQ(message.rfind("net.json: " + expected, 0), 0u) << message << "\nwanted: " << expected;
    EXPECT_LT(message.size(), 300u);
    EXPECT_EQ(message.find_first_of(std::string("\0\n", 2)), std::string::npos) << message;
  }
  // Names are measured in characters, not bytes; groups may be long.
  for (const std::string& accepted :
       {Computers(R"({"name": "A", "domain": "d", "comment": "c"})"),
        R"({"thisComputer": "ПК-БУХГАЛТЕРИЯ1", "domains": [{"name": "ПРЕДПРИЯТИЕ-ЮГО"}], )"
        R"("computers": [{"name": "ПК-БУХГАЛТЕРИЯ1", "accounts": [{"name": "Александр.Петровичев",)"
        R"( "rid": 1000}, {"kind": "globalGroup", "rid": 1001, "name": ")" +
            std::string(256, 'g') + R"("}]}]})"})
    EXPECT_EQ(ErrorOf(accepted), "(nothing)");
}

TEST(SimDescription, FilesOnlyRegularAndSmallAndTheOneTheEnvironmentNames) {
  const std::string dir = testing::TempDir() + "tavrin-description-files/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "directory");
  ASSERT_EQ(mkfifo((dir + "fifo").c_str(), 0600), 0);
  for (const char* name : {"limit", "huge"}) std::ofstream(dir + name).put('x');
  std::filesystem::resize_file(dir + "limit", 16 << 20);  // padded with NULs
  std::filesystem::resize_file(dir + "huge", (16 << 20) + 1);
  const std::pair<std::string, std::string> cases[] = {
      {dir + "missing.json", "cannot open the file: No such file or directory"},
      {dir + "directory", "is a directory, not a file"},
      {dir + "fifo", "is not a regular file"},
      {"/dev/zero", "is not a regular file"},
      {dir + "huge", "is larger than 16 MiB"},
      {dir + "limit", "line 1, column 1: syntax error"},
  };
  for (const auto& [path, problem] : cases) {
    const std::string message = Thrown([&] { sim::LoadNetworkFile(path); });
    EXPECT_EQ(message.rfind(path + ": " + problem, 0), 0u) << message;
  }

  const std::string bad = dir + "bad.json";
  std::ofstream(bad)
      << R"({"thisComputer": "A", "computers": [{"name": "A", "role": "main\u0000frame"}]})";
  setenv("TAVRIN_SIM_NETWORK", bad.c_str(), 1);
  std::string error;
  EXPECT_FALSE(tavrin::platform::Initialize(error));
  EXPECT_EQ(error,
            bad +
                ": computers[0].role: unknown role 'main\\u0000frame' (expected workstation, "
                "server or domainController)");

  setenv("TAVRIN_SIM_NETWORK", TAVRIN_SOURCE_DIR "/docs/examples/small-network.json", 1);
  EXPECT_TRUE(tavrin::platform::Initialize(error)) << error;
  EXPECT_TRUE(error.empty());
  sim::SetLatency(std::chrono::microseconds(0));
  EXPECT_EQ(sim::Current().thisComputer, "PC01");
  DWORD s = 0, d = 0;
  SID_NAME_USE use;
  EXPECT_FALSE(LookupAccountNameA(nullptr, "SMALL\\Сергей", nullptr, &s, nullptr, &d, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  unsetenv("TAVRIN_SIM_NETWORK");
  EXPECT_TRUE(tavrin::platform::Initialize(error));
  EXPECT_EQ(sim::Current().thisComputer, sim::BuiltInNetwork().thisComputer);
  std::filesystem::remove_all(dir);
}

TEST(SimDescription, BuilderAndInstallRefuseBrokenNetworks) {
  EXPECT_THROW(sim::NetworkBuilder().User("x", 1000), sim::NetworkDescriptionError);
  EXPECT_EQ(
      Thrown([] { sim::Install(sim::NetworkBuilder().ThisComputer("X").Computer("Y").Build()); }),
      "network description: thisComputer: 'X' is not among computers");
  // The builder's names pass the same checks as a file's.
  sim::NetworkBuilder named;
  named.ThisComputer("A").Computer("A").User(std::string("x\0y", 3), 1000);
  EXPECT_EQ(Thrown([&] { sim::Install(named.Build()); }),
            "network description: computers[0].accounts[0].name: 'x\\u0000y' contains a control "
            "character");
}

TEST(SimDescription, BuiltInNetworkIsABelievableOrganisation) {
  using std::chrono::milliseconds;
  const sim::NetworkSpec net = sim::BuiltInNetwork();
  sim::Install(net);
  EXPECT_TRUE(net.computers.size() >= 10 && net.computers.size() <= 15);
  EXPECT_TRUE(net.latency >= milliseconds(10) && net.latency <= milliseconds(20));
  sim::SetLatency(std::chrono::microseconds(0));
  // Some silent, denied, controllers, workgroups, non-ASCII, odd rights, unresolved SIDs.
  int counts[7] = {};
  for (const auto& d : net.domains) counts[3] += d.workgroup;
  for (const auto& c : net.computers) {
    counts[0] += !c.answers, counts[1] += c.policyDenied;
    counts[2] += c.role == sim::Role::DomainController;
    for (const auto& a : c.accounts)
      for (unsigned char ch : a.name) counts[4] += ch >= 0x80;
    for (const auto& [sid, rights] : c.rights) {
      for (const auto& r : rights) counts[5] += !PrivilegeFromPolicyName(r).has_value();
      char n[65], d[65];
      DWORD nn = 64, dd = 64;
      SID_NAME_USE use;
      counts[6] += c.answers &&
                   !LookupAccountSidA(("\\\\" + c.name).c_str(), tavrin::test::SidBytes(sid).data(),
                                      n, &nn, d, &dd, &use) &&
                   GetLastError() == ERROR_NONE_MAPPED;
    }
  }
  for (int i = 0; i < 7; ++i) EXPECT_GT(counts[i], 0) << i;
  // The rights of current Windows: a deny right and logon through Remote Desktop among them.
  for (const char* right : {"SeDenyInteractiveLogonRight", "SeRemoteInteractiveLogonRight"}) {
    bool held = false;
    for (const auto& c : net.computers)
      for (const auto& [sid, rights] : c.rights)
        held |= std::find(rights.begin(), rights.end(), right) != rights.end();
    EXPECT_TRUE(held) << right;
  }
  // This computer is a domain member; its domain has a controller.
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetGetAnyDCName(nullptr, u"OKTAVA", &buffer), NERR_Success);
  NetApiBufferFree(buffer);
}

}  // namespace
