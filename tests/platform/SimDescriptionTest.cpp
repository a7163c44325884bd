// Network descriptions: the JSON loader's errors, the builder, the built-in
// network, the example file and the platform's start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/PlatformInit.h"
#include "platform/sim/SimNetwork.h"
#include "platform/win32api.h"
#include "rights/Velmar_RightsCenter.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;

// The description error a call raises, or "" when it raises none.
template <typename F>
std::string Thrown(F f) {
  try {
    f();
  } catch (const sim::NetworkDescriptionError& e) {
    return e.what();
  }
  return "";
}

std::string ErrorOf(const std::string& json) {
  return Thrown([&] { sim::ParseNetworkJson(json, "net.json"); });
}

std::string ThisComputer() {
  char name[16];
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? name : "";
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
  EXPECT_EQ(
      Thrown([] { sim::Install(sim::NetworkBuilder().ThisComputer("X").Computer("Y").Build()); }),
      "network description: thisComputer: 'X' is not among computers");
  EXPECT_EQ(Thrown([] { sim::LoadNetworkFile("/nonexistent/net.json"); }),
            "/nonexistent/net.json: cannot open the file");
}

TEST(SimDescription, BuiltInNetworkIsABelievableOrganisation) {
  const sim::NetworkSpec description = sim::BuiltInNetwork();
  sim::Install(description);
  EXPECT_GE(description.computers.size(), 10u);
  EXPECT_LE(description.computers.size(), 15u);
  EXPECT_GE(description.latency, std::chrono::milliseconds(10));
  EXPECT_LE(description.latency, std::chrono::milliseconds(20));
  sim::SetLatency(std::chrono::microseconds(0));

  int silent = 0, denied = 0, controllers = 0, nonAscii = 0, workgroups = 0;
  for (const auto& c : description.computers) {
    silent += !c.answers;
    denied += c.policyDenied;
    controllers += c.role == sim::Role::DomainController;
    for (const auto& a : c.accounts)
      for (unsigned char ch : a.name) nonAscii += ch >= 0x80;
  }
  for (const auto& d : description.domains) workgroups += d.workgroup;
  for (int count : {silent, denied, controllers, nonAscii, workgroups}) EXPECT_GT(count, 0);

  // This computer is a domain member; its domain answers the browser.
  EXPECT_NE(ThisComputer(), "");
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetGetAnyDCName(nullptr, u"OKTAVA", &buffer), NERR_Success);
  NetApiBufferFree(buffer);

  // Some SID holding rights somewhere resolves nowhere, and some right lies
  // outside the catalogue Tavrin shows.
  bool orphan = false, outside = false;
  for (const auto& c : description.computers) {
    if (!c.answers) continue;
    for (const auto& [sid, rights] : c.rights) {
      for (const auto& r : rights) outside |= !PrivilegeFromPolicyName(r).has_value();
      const std::string system = "\\\\" + c.name;
      std::vector<BYTE> binary = tavrin::test::SidBytes(sid);
      char n[65], d[65];
      DWORD nn = 64, dd = 64;
      SID_NAME_USE use;
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
  sim::Install(sim::LoadNetworkFile(TAVRIN_SOURCE_DIR "/docs/examples/small-network.json"));
  sim::SetLatency(std::chrono::microseconds(0));
  EXPECT_EQ(ThisComputer(), "PC01");
  EXPECT_EQ(sim::RightsOf("FILES", "S-1-5-32-544"),
            (std::vector<std::string>{"SeBackupPrivilege", "SeShutdownPrivilege"}));
  EXPECT_EQ(tavrin::test::NameSizeQuery(nullptr, "SMALL\\Сергей").error, ERROR_INSUFFICIENT_BUFFER);
  LSA_HANDLE policy = nullptr;
  EXPECT_EQ(tavrin::test::OpenPolicy(u"SHED", policy), STATUS_ACCESS_DENIED);
  EXPECT_EQ(tavrin::test::OpenPolicy(u"PC02", policy), RPC_NT_SERVER_UNAVAILABLE);
}

TEST(SimDescription, PlatformStartFollowsTheEnvironment) {
  const std::string bad = testing::TempDir() + "tavrin-bad-network.json";
  std::ofstream(bad)
      << R"({"thisComputer": "A", "computers": [{"name": "A", "role": "mainframe"}]})";
  setenv("TAVRIN_SIM_NETWORK", bad.c_str(), 1);
  std::string error;
  EXPECT_FALSE(tavrin::platform::Initialize(error));
  EXPECT_EQ(error, bad +
                       ": computers[0].role: unknown role 'mainframe' (expected workstation, "
                       "server or domainController)");

  setenv("TAVRIN_SIM_NETWORK", TAVRIN_SOURCE_DIR "/docs/examples/small-network.json", 1);
  EXPECT_TRUE(tavrin::platform::Initialize(error)) << error;
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(ThisComputer(), "PC01");
  unsetenv("TAVRIN_SIM_NETWORK");
  EXPECT_TRUE(tavrin::platform::Initialize(error));
  EXPECT_EQ(ThisComputer(), sim::BuiltInNetwork().thisComputer);
}

}  // namespace
