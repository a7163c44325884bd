// Network descriptions: the JSON loader's errors, the builder, the built-in
// network, the example file and the platform's start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "platform/PlatformInit.h"
#include "platform/sim/SimNetwork.h"
#include "platform/win32api.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;

// The loader's message for a description, or "" when it loads.
std::string ErrorOf(const std::string& json) {
  try {
    sim::ParseNetworkJson(json, "net.json");
  } catch (const sim::NetworkDescriptionError& e) {
    return e.what();
  }
  return "";
}

std::string Computers(const std::string& list) {
  return R"({"thisComputer": "A", "domains": [{"name": "D"}], "computers": [)" + list + "]}";
}

TEST(SimDescription, SyntaxErrorsNameFileAndLine) {
  const std::string message = ErrorOf("{\n  \"thisComputer\": \"A\",\n  oops\n}");
  EXPECT_EQ(message.rfind("net.json: line 3, column ", 0), 0u) << message;
  EXPECT_NE(message.find("syntax error"), std::string::npos) << message;
  EXPECT_EQ(ErrorOf("[1, 2").rfind("net.json: line 1, column ", 0), 0u);
}

TEST(SimDescription, ContentErrorsNameTheField) {
  const struct {
    std::string json;
    std::string expected;
  } cases[] = {
      {Computers(R"({"name": "A"}, {"role": "server"})"), "net.json: computers[1].name: missing"},
      {Computers(R"({"name": "A"}, {"name": "a"})"),
       "net.json: computers[1].name: duplicate computer 'a'"},
      {Computers(R"({"name": "A", "role": "router"})"),
       "net.json: computers[0].role: unknown role 'router'"},
      {Computers(R"({"name": "B"})"), "net.json: thisComputer: 'A' is not among computers"},
      {Computers(R"({"name": "A", "machineSid": "S-1-5-21-1-2"})"),
       "net.json: computers[0].machineSid: bad SID text 'S-1-5-21-1-2'"},
      {Computers(R"({"name": "A", "domain": "E"})"),
       "net.json: computers[0].domain: 'E' is not among domains"},
      {Computers(R"({"name": "A", "answers": "no"})"),
       "net.json: computers[0].answers: expected true or false"},
      {Computers(R"({"name": "A", "polcyDenied": true})"),
       "net.json: computers[0].polcyDenied: unknown field"},
      {Computers(R"({"name": "A", "accounts": [{"name": "x", "rid": -4}]})"),
       "net.json: computers[0].accounts[0].rid: expected a whole number"},
      {Computers(
           R"({"name": "A", "accounts": [{"name": "x", "rid": 1000}, {"name": "X", "rid": 1001}]})"),
       "net.json: computers[0].accounts[1].name: duplicate account 'X'"},
      {Computers(R"({"name": "A", "rights": {"S-1-5-32-54x": ["SeTcbPrivilege"]}})"),
       "net.json: computers[0].rights[S-1-5-32-54x]: bad SID text"},
      {Computers(R"({"name": "A", "rights": {"S-1-1-0": ["SeFlyPrivilege"]}})"),
       "net.json: computers[0].rights[S-1-1-0]: unknown right name 'SeFlyPrivilege'"},
      {Computers(R"({"name": "A", "role": "domainController"})"),
       "net.json: computers[0].role: a domain controller must belong to a domain"},
      {R"({"computers": []})", "net.json: thisComputer: missing"},
      {R"({"thisComputer": "A", "computers": [{"name": "A"}], "currentUser": "A\\nobody"})",
       "net.json: currentUser: 'A\\nobody' is not a user"},
  };
  for (const auto& c : cases) {
    const std::string message = ErrorOf(c.json);
    EXPECT_EQ(message.rfind(c.expected, 0), 0u) << "got: " << message << "\nwanted: " << c.expected;
  }
  EXPECT_EQ(ErrorOf(Computers(R"({"name": "A", "domain": "d"})")), "");
}

TEST(SimDescription, BuilderAndInstallRefuseBrokenNetworks) {
  EXPECT_THROW(sim::NetworkBuilder().User("x", 1000), sim::NetworkDescriptionError);
  try {
    sim::Install(sim::NetworkBuilder().ThisComputer("X").Computer("Y").Build());
    FAIL() << "installed a network without its own computer";
  } catch (const sim::NetworkDescriptionError& e) {
    EXPECT_STREQ(e.what(), "network description: thisComputer: 'X' is not among computers");
  }
  try {
    sim::LoadNetworkFile("/nonexistent/net.json");
    FAIL();
  } catch (const sim::NetworkDescriptionError& e) {
    EXPECT_EQ(std::string(e.what()), "/nonexistent/net.json: cannot open the file");
  }
}

TEST(SimDescription, BuiltInNetworkIsABelievableOrganisation) {
  const sim::NetworkSpec spec = sim::BuiltInNetwork();
  sim::Install(spec);
  EXPECT_GE(spec.computers.size(), 10u);
  EXPECT_LE(spec.computers.size(), 15u);
  EXPECT_GE(spec.latency, std::chrono::milliseconds(10));
  EXPECT_LE(spec.latency, std::chrono::milliseconds(20));
  sim::SetLatency(std::chrono::microseconds(0));

  int silent = 0, denied = 0, controllers = 0, nonAscii = 0;
  for (const auto& c : spec.computers) {
    silent += !c.answers;
    denied += c.policyDenied;
    controllers += c.role == sim::Role::DomainController;
    for (const auto& a : c.accounts)
      for (unsigned char ch : a.name) nonAscii += ch >= 0x80;
  }
  EXPECT_GE(silent, 1);
  EXPECT_GE(denied, 1);
  EXPECT_GE(controllers, 1);
  EXPECT_GT(nonAscii, 0);
  bool workgroup = false;
  for (const auto& d : spec.domains) workgroup |= d.workgroup;
  EXPECT_TRUE(workgroup);

  // This computer is a domain member; its domain answers the browser.
  char name[16];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetGetAnyDCName(nullptr, u"OKTAVA", &buffer), NERR_Success);
  NetApiBufferFree(buffer);

  // Some SID holding rights somewhere resolves nowhere, and some right lies
  // outside what Tavrin shows.
  bool orphan = false, outside = false;
  const std::set<std::string> shown = {"SeAssignPrimaryTokenPrivilege",
                                       "SeAuditPrivilege",
                                       "SeBackupPrivilege",
                                       "SeBatchLogonRight",
                                       "SeChangeNotifyPrivilege",
                                       "SeCreatePagefilePrivilege",
                                       "SeCreatePermanentPrivilege",
                                       "SeCreateTokenPrivilege",
                                       "SeDebugPrivilege",
                                       "SeIncreaseBasePriorityPrivilege",
                                       "SeIncreaseQuotaPrivilege",
                                       "SeInteractiveLogonRight",
                                       "SeLoadDriverPrivilege",
                                       "SeLockMemoryPrivilege",
                                       "SeMachineAccountPrivilege",
                                       "SeNetworkLogonRight",
                                       "SeProfileSingleProcessPrivilege",
                                       "SeRemoteShutdownPrivilege",
                                       "SeRestorePrivilege",
                                       "SeSecurityPrivilege",
                                       "SeServiceLogonRight",
                                       "SeShutdownPrivilege",
                                       "SeSystemEnvironmentPrivilege",
                                       "SeSystemProfilePrivilege",
                                       "SeSystemtimePrivilege",
                                       "SeTakeOwnershipPrivilege",
                                       "SeTcbPrivilege"};
  ASSERT_EQ(shown.size(), 27u);
  for (const auto& c : spec.computers) {
    if (!c.answers) continue;
    for (const auto& [sid, rights] : c.rights) {
      for (const auto& r : rights) outside |= !shown.count(r);
      std::vector<BYTE> binary = tavrin::test::SidBytes(sid);
      char n[65], d[65];
      DWORD nn = 64, dd = 64;
      SID_NAME_USE use;
      const std::string system = "\\\\" + c.name;
      if (!LookupAccountSidA(system.c_str(), binary.data(), n, &nn, d, &dd, &use)) {
        EXPECT_EQ(GetLastError(), ERROR_NONE_MAPPED) << sid << " on " << c.name;
        orphan = true;
      }
    }
  }
  EXPECT_TRUE(orphan);
  EXPECT_TRUE(outside);
}

TEST(SimDescription, ExampleFileLoadsAndRuns) {
  const sim::NetworkSpec spec =
      sim::LoadNetworkFile(TAVRIN_SOURCE_DIR "/docs/examples/small-network.json");
  sim::Install(spec);
  sim::SetLatency(std::chrono::microseconds(0));
  char name[16];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "PC01");
  EXPECT_EQ(sim::RightsOf("FILES", "S-1-5-32-544"),
            (std::vector<std::string>{"SeBackupPrivilege", "SeShutdownPrivilege"}));
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use;
  EXPECT_FALSE(
      LookupAccountNameA(nullptr, "SMALL\\Сергей", nullptr, &sidSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  LSA_HANDLE policy = nullptr;
  EXPECT_EQ(tavrin::test::OpenPolicy(u"SHED", policy), STATUS_ACCESS_DENIED);
  EXPECT_EQ(tavrin::test::OpenPolicy(u"PC02", policy), RPC_NT_SERVER_UNAVAILABLE);
}

TEST(SimDescription, PlatformStartFollowsTheEnvironment) {
  const std::string bad = testing::TempDir() + "tavrin-bad-network.json";
  {
    std::ofstream out(bad);
    out << "{\n  \"thisComputer\": \"A\",\n  \"computers\": [{\"name\": \"A\", \"role\": "
           "\"mainframe\"}]\n}\n";
  }
  setenv("TAVRIN_SIM_NETWORK", bad.c_str(), 1);
  std::string error;
  EXPECT_FALSE(tavrin::platform::Initialize(error));
  EXPECT_EQ(error,
            bad +
                ": computers[0].role: unknown role 'mainframe' (expected workstation, server or "
                "domainController)");

  setenv("TAVRIN_SIM_NETWORK", TAVRIN_SOURCE_DIR "/docs/examples/small-network.json", 1);
  EXPECT_TRUE(tavrin::platform::Initialize(error)) << error;
  EXPECT_TRUE(error.empty());
  char name[16];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "PC01");

  unsetenv("TAVRIN_SIM_NETWORK");
  EXPECT_TRUE(tavrin::platform::Initialize(error));
  size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, sim::BuiltInNetwork().thisComputer.c_str());
}

}  // namespace
