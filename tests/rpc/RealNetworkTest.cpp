// The real network against a real Samba server on loopback (started by the
// test run, its settings in $TAVRIN_TEST_SAMBA/server.env). What Tavrin
// reads and writes is checked with Samba's own rpcclient.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "passes/PassEngine.h"
#include "passes/RowWork.h"
#include "passes/Startup.h"
#include "pickers/Velmar_UsersComboBoxList.h"
#include "platform/PlatformInit.h"
#include "platform/rpc/RealNetwork.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterNames.h"
#include "tests/rpc/SambaServer.h"
#include "tests/support/NameList.h"

namespace {

using tavrin::test::Run;
using Names = std::set<std::string>;

std::map<std::string, std::string> gServer;  // server.env

Names SambaRights(const std::string& sid) { return tavrin::test::RightsHeld(gServer, sid); }

void SetSambaRights(const std::string& sid, const Names& rights) {
  tavrin::test::SetRights(gServer, sid, rights);
  ASSERT_EQ(SambaRights(sid), rights);
}

std::string Admin() { return gServer["NAME"] + "\\" + gServer["ADMIN"]; }

std::string Endpoint() { return "127.0.0.1:" + gServer["PORT"]; }

bool LogIn(const std::string& user, std::string password, const std::string& list = "") {
  tavrin::platform::RealNetworkOptions o;
  o.server = Endpoint();
  o.user = user;
  o.computersFile = list;
  std::string error;
  const bool done = tavrin::platform::InitializeReal(o, password, error);
  EXPECT_TRUE(password.empty()) << "the password text stays in memory";
  return done;
}

class RealNetwork : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    gServer = tavrin::test::SambaServer();
    ASSERT_FALSE(gServer["PORT"].empty()) << "the test run starts the Samba server";
  }
  void SetUp() override {
    ASSERT_TRUE(LogIn(Admin(), gServer["ADMIN_PASSWORD"]));
    startup_.emplace();
    alice = tavrin::test::SidOf(gServer, gServer["ALICE"]);
    ASSERT_FALSE(alice.empty());
    arc.SetSidCenter(&sc);
  }
  void TearDown() override {
    startup_.reset();
    tavrin::rpc::Uninstall();
  }
  TSid Account(const std::string& sidText) {
    sc.SetSidString(sidText);
    return CloneSid(sc.GetSid());
  }
  static TRowCodes Marked(std::initializer_list<std::pair<TvmPrivilege, char>> marks) {
    TRowCodes row = TRowCodes{};
    row.fill(TCellCode::Of('N', ' '));
    for (const auto& [right, mark] : marks) row[right] = TCellCode::Of('N', mark);
    return row;
  }
  std::optional<tavrin::StartupScope> startup_;
  std::string alice;
  TvmSidCenter sc;
  TvmAccountRigthsCenter arc;
};

TEST_F(RealNetwork, ReadsSomeNoneAndOnlyTheCatalogueRights) {
  SetSambaRights(alice, {"SeBackupPrivilege", "SeShutdownPrivilege", "SePrintOperatorPrivilege"});
  TRowRead read = ReadRights(sc, arc, Endpoint(), Account(alice));
  ASSERT_FALSE(read.failed) << read.errorText;
  EXPECT_EQ(read.rights, (TvmPrivileges{spBackup, spShutdown}));

  SetSambaRights(alice, {});
  read = ReadRights(sc, arc, Endpoint(), Account(alice));
  ASSERT_FALSE(read.failed) << read.errorText;
  EXPECT_TRUE(read.rights.Empty());

  // The server's own name reaches it too, and names resolve on it.
  sc.SetSidString(alice);
  EXPECT_EQ(sc.Domain(), gServer["NAME"]);
  EXPECT_EQ(sc.UserName(), gServer["ALICE"]);
  EXPECT_FALSE(ReadRights(sc, arc, gServer["NAME"], Account(alice)).failed);
}

TEST_F(RealNetwork, CommitsGrantsAndRevocationsKeepingOtherRights) {
  SetSambaRights(alice, {"SeBackupPrivilege", "SePrintOperatorPrivilege"});
  const TRowCommit c =
      CommitRights(sc, arc, Endpoint(), Account(alice),
                   Marked({{spBackup, 'N'}, {spIncreaseQuota, 'Y'}, {spShutdown, 'Y'}}));
  EXPECT_EQ(c.outcome, TCommitOutcome::Written) << c.errorText;
  EXPECT_EQ(SambaRights(alice),
            (Names{"SeIncreaseQuotaPrivilege", "SeShutdownPrivilege", "SePrintOperatorPrivilege"}));

  // A right Samba refuses fails the row; what was written before it stays.
  const TRowCommit refused =
      CommitRights(sc, arc, Endpoint(), Account(alice),
                   Marked({{spMachineAccount, 'Y'}, {spTCB, 'Y'}, {spDebug, 'Y'}}));
  EXPECT_EQ(refused.outcome, TCommitOutcome::Failed);
  EXPECT_NE(refused.errorText.find("privilege does not exist"), std::string::npos)
      << refused.errorText;
  EXPECT_EQ(refused.error, 1313u);
  EXPECT_EQ(refused.failedRight, "SeTcbPrivilege");
  EXPECT_EQ(refused.granted, TvmPrivileges{spMachineAccount});
  for (TvmPrivilege right : {spMachineAccount, spTCB, spDebug})
    EXPECT_EQ(refused.codes[right].Text(), "NE") << PolicyNames[right];
  EXPECT_EQ(SambaRights(alice), (Names{"SeIncreaseQuotaPrivilege", "SeShutdownPrivilege",
                                       "SePrintOperatorPrivilege", "SeMachineAccountPrivilege"}));
}

// Of the rights beyond the classic 27, a standalone Samba server takes five;
// it refuses the others (every logon right among them) by name.
TEST_F(RealNetwork, NewRightsSambaTakesReadAndCommitTheOthersFailTheirRow) {
  const TvmPrivileges accepted{spImpersonate, spCreateGlobal, spManageVolume, spEnableDelegation,
                               spUndock};
  SetSambaRights(alice, {"SeImpersonatePrivilege", "SeUndockPrivilege"});
  TRowRead read = ReadRights(sc, arc, Endpoint(), Account(alice));
  ASSERT_FALSE(read.failed) << read.errorText;
  EXPECT_EQ(read.rights, (TvmPrivileges{spImpersonate, spUndock}));
  const TRowCommit written = CommitRights(sc, arc, Endpoint(), Account(alice),
                                          Marked({{spImpersonate, 'N'},
                                                  {spCreateGlobal, 'Y'},
                                                  {spManageVolume, 'Y'},
                                                  {spEnableDelegation, 'Y'}}));
  EXPECT_EQ(written.outcome, TCommitOutcome::Written) << written.errorText;
  EXPECT_EQ(written.rights, accepted - TvmPrivileges{spImpersonate});
  EXPECT_EQ(SambaRights(alice), (Names{"SeUndockPrivilege", "SeManageVolumePrivilege",
                                       "SeCreateGlobalPrivilege", "SeEnableDelegationPrivilege"}));

  // A deny right fails its own row with the reason; another row goes through.
  const std::string bob = tavrin::test::SidOf(gServer, gServer["BOB"]);
  SetSambaRights(bob, {});
  const TRowCommit refused =
      CommitRights(sc, arc, Endpoint(), Account(alice), Marked({{spDenyNetworkLogon, 'Y'}}));
  EXPECT_EQ(refused.outcome, TCommitOutcome::Failed);
  EXPECT_EQ(refused.failedRight, "SeDenyNetworkLogonRight");
  EXPECT_EQ(CommitProblem(refused),
            "failed SeDenyNetworkLogonRight: A specified privilege does not exist (1313)");
  EXPECT_EQ(refused.codes[spDenyNetworkLogon].Text(), "NE");
  const TRowCommit other =
      CommitRights(sc, arc, Endpoint(), Account(bob), Marked({{spImpersonate, 'Y'}}));
  EXPECT_EQ(other.outcome, TCommitOutcome::Written) << other.errorText;
  EXPECT_EQ(SambaRights(bob), Names{"SeImpersonatePrivilege"});
  SetSambaRights(bob, {});
  // Remote interactive logon is refused as well.
  EXPECT_EQ(
      CommitRights(sc, arc, Endpoint(), Account(alice), Marked({{spRemoteInteractiveLogon, 'Y'}}))
          .error,
      1313u);
}

TEST_F(RealNetwork, HoldersOfARightAreReadOnceAndNamedFromTheCache) {
  SetSambaRights(alice, {"SeBackupPrivilege"});
  SidNameCacheClear();
  const auto holds = [&](const TRowHolders& row) {
    for (const THolder& h : row.holders)
      if (h.sid == alice) return h.name == gServer["NAME"] + "\\" + gServer["ALICE"];
    return false;
  };
  TRowHolders row = ReadHolders(Endpoint(), spBackup);
  ASSERT_FALSE(row.failed) << row.errorText;
  EXPECT_TRUE(holds(row));
  const size_t lookups = SidNameLookups();
  EXPECT_GE(lookups, 1u);
  row = ReadHolders(Endpoint(), spBackup);  // named from the cache this time
  EXPECT_TRUE(holds(row));
  EXPECT_EQ(SidNameLookups(), lookups);

  SetSambaRights(alice, {});
  row = ReadHolders(Endpoint(), spBackup);
  ASSERT_FALSE(row.failed) << row.errorText;
  EXPECT_FALSE(holds(row));
  // A right Samba does not know fails the row with Windows' code for it.
  row = ReadHolders(Endpoint(), spDelegateSessionUserImpersonate);
  EXPECT_TRUE(row.failed);
  EXPECT_EQ(row.error, ERROR_NO_SUCH_PRIVILEGE);
  row = ReadHolders("127.0.0.1:1", spBackup);
  EXPECT_TRUE(row.failed);
  EXPECT_NE(row.error, 0u);
}

TEST_F(RealNetwork, FailuresGiveUnreadableRowsWithinSeconds) {
  SetSambaRights(alice, {});
  const TSid account = Account(alice);
  struct Case {
    const char* what;
    std::string user, password, computer, message;
  };
  const Case cases[] = {
      {"wrong password", Admin(), "wrong", Endpoint(), "Logon failure"},
      {"no right to change rights", gServer["BOB"], gServer["BOB_PASSWORD"], Endpoint(),
       "Access is denied"},
      {"a closed port", Admin(), gServer["ADMIN_PASSWORD"], "127.0.0.1:1",
       "network path was not found"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ASSERT_TRUE(LogIn(k.user, k.password));
    const auto start = std::chrono::steady_clock::now();
    const TRowRead read = ReadRights(sc, arc, k.computer, account);
    EXPECT_TRUE(read.failed);
    EXPECT_NE(read.errorText.find(k.message), std::string::npos) << read.errorText;
    const TRowCommit commit = CommitRights(sc, arc, k.computer, account, Marked({{spBackup, 'Y'}}));
    // Unreadable afresh: skipped for the read's reason, nothing written, the mark kept.
    EXPECT_EQ(commit.outcome, TCommitOutcome::Skipped);
    EXPECT_EQ(commit.errorText, read.errorText);
    EXPECT_EQ(commit.error, read.error);
    EXPECT_EQ(commit.codes[spBackup].Text(), "NY");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  }
  EXPECT_EQ(SambaRights(alice).count("SeBackupPrivilege"), 0u);
}

TEST_F(RealNetwork, AccountListHasUsersLocalGroupsAndBuiltinAliases) {
  TvmUserList list;
  list.Fill();
  const std::vector<std::string> names = tavrin::test::NamesOf(list.Count(), [&](int i) {
    return list.UserInfo(i)->Domain() + "\\" + list.UserInfo(i)->Name();
  });
  const std::string server = gServer["NAME"];
  for (const std::string& expected :
       {server + "\\" + gServer["ALICE"], server + "\\" + gServer["BOB"], server + "\\Staff",
        std::string("BUILTIN\\Administrators")})
    EXPECT_GE(tavrin::test::PositionOf(names, expected), 0) << expected;
  EXPECT_TRUE(list.Errors().empty()) << list.Errors().front();

  // In batches of one: 234 while entries remain, the resume handle moving on.
  HMODULE netapi = LoadLibraryA("netapi32.dll");
  const auto enumerate = reinterpret_cast<decltype(&NetLocalGroupEnum)>(
      reinterpret_cast<void*>(GetProcAddress(netapi, "NetLocalGroupEnum")));
  const auto release = reinterpret_cast<decltype(&NetApiBufferFree)>(
      reinterpret_cast<void*>(GetProcAddress(netapi, "NetApiBufferFree")));
  DWORD_PTR resume = 0;
  std::string batches;
  NET_API_STATUS status;
  do {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    status = enumerate(nullptr, 0, &buffer, 1, &read, &total, &resume);
    batches += std::to_string(status) + ":" + std::to_string(read) + "/" + std::to_string(total);
    for (DWORD i = 0; i < read; ++i) {
      batches += " ";
      for (const WCHAR* c = reinterpret_cast<LOCALGROUP_INFO_0*>(buffer)[i].lgrpi0_name; *c; ++c)
        batches += static_cast<char>(*c);
    }
    batches += "; ";
    EXPECT_EQ(release(buffer), NERR_Success);
  } while (status == ERROR_MORE_DATA && batches.size() < 200);
  EXPECT_EQ(batches, "234:1/2 Administrators; 0:1/1 Staff; ");
  EXPECT_EQ(resume, 0u);
  FreeLibrary(netapi);
}

// Established TCP connections from this machine to the server's port.
int ClientConnections() {
  std::ifstream tcp("/proc/net/tcp");
  char port[8];
  std::snprintf(port, sizeof port, ":%04X", static_cast<unsigned>(std::stoi(gServer["PORT"])));
  int count = 0;
  for (std::string line; std::getline(tcp, line);) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    count += remote.size() > 5 && remote.compare(remote.size() - 5, 5, port) == 0 && state == "01";
  }
  return count;
}

TEST_F(RealNetwork, APassKeepsOneConnectionPerComputerUntilItEnds) {
  SetSambaRights(alice, {"SeBackupPrivilege"});
  const int before = ClientConnections();
  // Three names, two computers as far as connections go: the server's own
  // name is its endpoint's.
  const std::string three[] = {Endpoint(), "localhost:" + gServer["PORT"], gServer["NAME"]};
  std::vector<std::string> names;
  for (int row = 0; row < 9; ++row) names.push_back(three[row % 3]);
  std::vector<TRowResult> results;
  // While the pass runs (each time a row is done) it holds the connections.
  std::atomic<size_t> most{0};
  std::atomic<int> mostClient{0};
  TPassEngine pass(TRowJobKind::Read, Account(alice), names, 4, [&] {
    most = std::max(most.load(), tavrin::rpc::OpenConnections());
    mostClient = std::max(mostClient.load(), ClientConnections() - before);
  });
  for (int turn = 0; turn < 500 && !pass.Ended(); ++turn) {  // 10 s at most
    for (TRowResult& r : pass.Pump()) results.push_back(std::move(r));
    if (!pass.Ended()) pass.WaitForResults(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(results.size(), 9u);
  EXPECT_EQ(most, 2u);
  EXPECT_EQ(mostClient, 2);  // the SAM and server pipes share them
  for (const TRowResult& r : results) {
    EXPECT_FALSE(r.read.failed) << r.name << ": " << r.read.errorText;
    EXPECT_EQ(r.read.rights, TvmPrivileges{spBackup}) << r.name;
  }
  EXPECT_EQ(tavrin::rpc::OpenConnections(), 0u);  // the pass has ended
}

// The worker processes this process started (the real network's), by PID.
std::vector<int> Workers() {
  std::vector<int> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string pid, comm, state;
    int parent = 0;
    if (stat >> pid >> comm >> state >> parent && parent == getpid() && comm == "(tavrin-rpc)")
      found.push_back(std::stoi(pid));
  }
  return found;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(RealNetwork, WorkersGetTheCredentialsOverTheirPipeOnlyAndEndWithTheNetwork) {
  ASSERT_FALSE(ReadRights(sc, arc, Endpoint(), Account(alice)).failed);
  const std::vector<int> workers = Workers();
  ASSERT_FALSE(workers.empty());
  const std::string password = gServer["ADMIN_PASSWORD"];
  for (const int pid : workers) {
    const std::string dir = "/proc/" + std::to_string(pid);
    EXPECT_EQ(FileText(dir + "/cmdline"), std::string("tavrin-rpc-worker", 18));
    EXPECT_EQ(FileText(dir + "/environ").find(password), std::string::npos);
    // No crash dump of a process that holds the NT hash.
    EXPECT_NE(FileText(dir + "/limits").find("Max core file size        0"), std::string::npos);
    for (const auto& fd : std::filesystem::directory_iterator(dir + "/fd"))
      EXPECT_FALSE(std::filesystem::is_regular_file(std::filesystem::read_symlink(fd)))
          << "a file open in the worker: " << std::filesystem::read_symlink(fd);
  }
  tavrin::rpc::Uninstall();  // the credentials are forgotten: the workers end
  for (int i = 0; i < 100 && !Workers().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(Workers().empty());
}

// Kills the workers and waits until each is dead (a zombie), so that the
// next call writes to a closed pipe.
void KillWorkers() {
  for (const int pid : Workers()) {
    kill(pid, SIGKILL);
    for (int i = 0; i < 200 && FileText("/proc/" + std::to_string(pid) + "/stat").find(") Z ") ==
                                   std::string::npos;
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST_F(RealNetwork, AWorkerThatDiesFailsOnlyItsCallAndIsReplaced) {
  SetSambaRights(alice, {"SeBackupPrivilege"});
  ASSERT_FALSE(ReadRights(sc, arc, Endpoint(), Account(alice)).failed);
  KillWorkers();
  // The call that finds it gone fails as a computer that does not answer;
  // this process goes on (no SIGPIPE from writing to it).
  const TRowRead lost = ReadRights(sc, arc, Endpoint(), Account(alice));
  EXPECT_TRUE(lost.failed);
  EXPECT_EQ(lost.error, 53u) << lost.errorText;
  const TRowRead again = ReadRights(sc, arc, Endpoint(), Account(alice));
  EXPECT_FALSE(again.failed) << again.errorText;
  EXPECT_EQ(again.rights, TvmPrivileges{spBackup});
  // One that dies while it waits for work, its connections closed, is
  // replaced before a computer is given to it.
  HMODULE netapi = LoadLibraryA("netapi32.dll");
  const auto info = reinterpret_cast<decltype(&NetServerGetInfo)>(
      reinterpret_cast<void*>(GetProcAddress(netapi, "NetServerGetInfo")));
  const auto release = reinterpret_cast<decltype(&NetApiBufferFree)>(
      reinterpret_cast<void*>(GetProcAddress(netapi, "NetApiBufferFree")));
  std::u16string other;
  for (char c : "localhost:" + gServer["PORT"]) other += static_cast<char16_t>(c);
  for (int round = 0; round < 2; ++round) {
    LPBYTE buffer = nullptr;
    EXPECT_EQ(info(reinterpret_cast<LMSTR>(other.data()), 100, &buffer), NERR_Success) << round;
    release(buffer);
    tavrin::rpc::ReleaseConnections();
    KillWorkers();
  }
  FreeLibrary(netapi);
}

// The names NetServerEnum lists at level 101, or its status.
std::string Listed() {
  HMODULE netapi = LoadLibraryA("netapi32.dll");
  auto enumerate = reinterpret_cast<decltype(&NetServerEnum)>(
      reinterpret_cast<void*>(GetProcAddress(netapi, "NetServerEnum")));
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0;
  const NET_API_STATUS status = enumerate(nullptr, 101, &buffer, MAX_PREFERRED_LENGTH, &read,
                                          &total, SV_TYPE_ALL, nullptr, nullptr);
  std::string names = status == NERR_Success ? "" : "status " + std::to_string(status);
  for (DWORD i = 0; i < read; ++i) {
    const auto* info = reinterpret_cast<SERVER_INFO_101*>(buffer) + i;
    for (const WCHAR* c = info->sv101_name; *c; ++c) names += static_cast<char>(*c);
    names += ";";
  }
  reinterpret_cast<decltype(&NetApiBufferFree)>(
      reinterpret_cast<void*>(GetProcAddress(netapi, "NetApiBufferFree")))(buffer);
  FreeLibrary(netapi);
  return names;
}

TEST_F(RealNetwork, TheComputerListIsTheListFileOrTheServer) {
  EXPECT_EQ(Listed(), Endpoint() + ";");
  const std::string file = testing::TempDir() + "/computers.txt";
  std::ofstream(file) << "# the lab\n  " << Endpoint() << "  \n\\\\WS1, ws2\tSRV2 # spare\n\n";
  ASSERT_TRUE(LogIn(Admin(), gServer["ADMIN_PASSWORD"], file));
  EXPECT_EQ(Listed(), Endpoint() + ";WS1;ws2;SRV2;");
  ASSERT_TRUE(LogIn(Admin(), gServer["ADMIN_PASSWORD"], file + ".gone"));
  EXPECT_EQ(Listed(), "status 2");
  std::ofstream(file) << "PC01\nPC<2>\n";  // a name no computer may have: no list
  ASSERT_TRUE(LogIn(Admin(), gServer["ADMIN_PASSWORD"], file));
  EXPECT_EQ(Listed(), "status 13");
}

TEST(RealNetworkOptions, EndpointsAndRefusals) {
  std::string host;
  unsigned port = 0;
  EXPECT_TRUE(tavrin::rpc::SplitEndpoint("srv01", host, port));
  EXPECT_EQ(host + ":" + std::to_string(port), "srv01:445");
  EXPECT_TRUE(tavrin::rpc::SplitEndpoint("10.0.0.7:4455", host, port));
  EXPECT_EQ(host + ":" + std::to_string(port), "10.0.0.7:4455");
  for (const char* bad :
       {"", "srv:", "srv:0", "srv:65536", "srv:44a", ":445", "a b", "[::1]:445", "srv:1:2"})
    EXPECT_FALSE(tavrin::rpc::SplitEndpoint(bad, host, port)) << bad;
  std::string password = "secret", error;
  EXPECT_FALSE(tavrin::platform::InitializeReal({"srv:0", "u", ""}, password, error));
  EXPECT_TRUE(password.empty());
  EXPECT_NE(error.find("--server"), std::string::npos);
}

}  // namespace
