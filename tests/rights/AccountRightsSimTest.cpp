// The account rights center and the LSA binding against the simulated
// network: what the center asks the LSA, read from the call log, and what
// ends up in force in the computers' policies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_LsaApi.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/Raised.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using tavrin::test::Names;
using tavrin::test::RaisedCode;

const std::string kAdmins = "S-1-5-32-544";
const std::string kUsers = "S-1-5-32-545";

// The LSA calls of the log, as "function target argument".
Names LsaCalls() {
  Names calls;
  for (const sim::Call& call : sim::Calls())
    if (call.function.rfind("Lsa", 0) == 0)
      calls.push_back(call.function + " " + call.target + " " + call.argument);
  return calls;
}

size_t Writes() {
  return sim::CountCalls("LsaAddAccountRights") + sim::CountCalls("LsaRemoveAccountRights");
}

// The small network with one SID's rights on one computer replaced.
sim::NetworkSpec WithRights(const std::string& computer, const std::string& sid, Names rights) {
  sim::NetworkSpec network = tavrin::test::SmallNetwork();
  for (sim::ComputerSpec& c : network.computers)
    if (c.name == computer) c.rights[sid] = std::move(rights);
  return network;
}

class AccountRights : public tavrin::test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Build();
  }
  void TearDown() override {
    delete form_;
    SimTest::TearDown();
  }
  // The main window's pair: a SID center and a rights center bound to it.
  void Build() {
    delete form_;
    form_ = new TComponent(nullptr);
    sc_ = new TvmSidCenter(form_);
    arc_ = new TvmAccountRigthsCenter(form_);
    arc_->SetSidCenter(sc_);
  }
  void Reinstall(const sim::NetworkSpec& network) {
    SimTest::Reinstall(network);
    Build();
  }
  // Gives the SID center the SID (a new block each time); then the server.
  void Point(const std::string& sid, const char* server = nullptr) {
    std::vector<BYTE> bytes = tavrin::test::SidBytes(sid);
    sc_->SetSid(bytes.data());
    if (server) arc_->SetServer(server);
  }
  DWORD CommitError() {
    return RaisedCode([&] { arc_->Commit(); });
  }

  TComponent* form_ = nullptr;
  TvmSidCenter* sc_ = nullptr;
  TvmAccountRigthsCenter* arc_ = nullptr;
};

TEST_F(AccountRights, ReadSplitsCatalogueAndOtherNamesInLsaOrder) {
  Reinstall(WithRights("SRV01", kAdmins,
                       {"SeTrustedCredManAccessPrivilege", "SeBackupPrivilege",
                        "SeRemoteInteractiveLogonRight", "SeServiceLogonRight"}));
  Point(kAdmins, "SRV01");
  sim::ClearCalls();
  EXPECT_EQ(arc_->CurrentPrivileges(), (TvmPrivileges{spBackup, spServiceLogon}));
  EXPECT_EQ(arc_->CurrentAdditional(),
            (Names{"SeTrustedCredManAccessPrivilege", "SeRemoteInteractiveLogonRight"}));
  EXPECT_EQ(LsaCalls(), (Names{"LsaOpenPolicy SRV01 0x810",
                               "LsaEnumerateAccountRights SRV01 S-1-5-32-544", "LsaFreeMemory  "}));
  EXPECT_EQ(sim::OutstandingLsaBuffers(), 0u);

  // Repeated reads cost no LSA call, even for the same SID given again; the
  // snapshot is the caller's to spoil; the policy stays open.
  sim::ClearCalls();
  arc_->CurrentAdditional().push_back("SeJunk");
  Point(kAdmins);
  EXPECT_EQ(arc_->CurrentAdditional().size(), 2u);
  EXPECT_TRUE(LsaCalls().empty());
  EXPECT_EQ(sim::OpenPolicyHandles(), 1u);

  // Another account on another computer; then back to the first account
  // there: what was read on SRV01 is not shown for WS01.
  Point(kUsers, "WS01");
  EXPECT_EQ(arc_->CurrentPrivileges(), (TvmPrivileges{spChangeNotify, spNetworkLogon}));
  EXPECT_TRUE(arc_->CurrentAdditional().empty());
  Point(kAdmins);
  EXPECT_EQ(arc_->CurrentPrivileges(),
            (TvmPrivileges{spBackup, spRestore, spDebug, spInteractiveLogon}));
  EXPECT_EQ(arc_->LastStatus(), 0);

  // An account holding nothing (STATUS_OBJECT_NAME_NOT_FOUND) is read once,
  // successfully, with no array to free.
  Point(kAdmins, "PC-HOME");
  sim::ClearCalls();
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_TRUE(arc_->CurrentAdditional().empty());
  EXPECT_EQ(arc_->LastStatus(), 0);
  EXPECT_EQ(LsaCalls(), (Names{"LsaOpenPolicy PC-HOME 0x810",
                               "LsaEnumerateAccountRights PC-HOME S-1-5-32-544"}));
}

// A read that fails is not remembered, and no commit writes from it: with
// an empty desired state it would otherwise find nothing to revoke.
TEST_F(AccountRights, FailedReadIsNotRememberedNorWrittenFrom) {
  sim::FailEnumeration("LsaEnumerateAccountRights", "SRV01", 0xC000009A);
  Point(kAdmins, "SRV01");  // holds SeBackupPrivilege
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_EQ(arc_->LastStatus(), STATUS_INSUFFICIENT_RESOURCES);
  arc_->SetNewPrivileges({});
  EXPECT_FALSE(arc_->Committed());
  EXPECT_EQ(CommitError(), ERROR_NO_SYSTEM_RESOURCES);
  EXPECT_EQ(Writes(), 0u);
  // Once the LSA answers, the next read succeeds and the commit goes through.
  sim::ClearFaults();
  sim::ClearCalls();
  EXPECT_EQ(arc_->CurrentPrivileges(), TvmPrivileges{spBackup});
  EXPECT_EQ(sim::CountCalls("LsaEnumerateAccountRights"), 1u);
  arc_->Commit();
  EXPECT_TRUE(sim::RightsOf("SRV01", kAdmins).empty());

  // A SID the SID center cannot produce makes a failed read too.
  Point(kAdmins, "WS01");
  EXPECT_FALSE(arc_->CurrentPrivileges().Empty());
  sc_->SetUserName("nosuchuser");  // GetSid raises the silent abort
  sim::ClearCalls();
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_TRUE(arc_->CurrentAdditional().empty());
  EXPECT_NE(arc_->LastStatus(), 0);
  EXPECT_FALSE(arc_->Committed());
  EXPECT_THROW(arc_->Commit(), Exception);
  EXPECT_EQ(Writes() + sim::CountCalls("LsaEnumerateAccountRights"), 0u);
  // Back to the account read before: read again, not an emptied cache.
  Point(kAdmins);
  EXPECT_TRUE(arc_->CurrentPrivileges().Contains(spRestore));
  EXPECT_EQ(arc_->LastStatus(), 0);
}

TEST_F(AccountRights, FailedOpenGivesTheStatusAndTriesAgain) {
  sim::SetPolicyDenied("SRV01", true);
  Point(kAdmins, "SRV01");
  sim::ClearCalls();
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_EQ(arc_->LastStatus(), STATUS_ACCESS_DENIED);
  EXPECT_EQ(sim::OpenPolicyHandles(), 0u);
  // Nothing was kept: each read opens again; a commit writes nothing.
  arc_->CurrentPrivileges();
  EXPECT_EQ(sim::CountCalls("LsaOpenPolicy"), 2u);
  arc_->SetNewPrivileges({spDebug});
  EXPECT_FALSE(arc_->Committed());
  EXPECT_EQ(CommitError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Writes() + sim::CountCalls("LsaEnumerateAccountRights"), 0u);

  // Without LsaOpenPolicy the status is 120; the only LSA function called
  // is the status conversion. Without the conversion, the code is 120 too.
  sim::HideExport("advapi32.dll", "LsaOpenPolicy");
  tavrin::RunStartSteps();
  Point(kAdmins, "WS01");
  sim::ClearCalls();
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_EQ(arc_->LastStatus(), 120);
  EXPECT_EQ(LsaCalls(), Names{"LsaNtStatusToWinError  0x00000078"});
  EXPECT_EQ(CommitError(), LsaNtStatusToWinError(120));
  sim::HideExport("advapi32.dll", "LsaNtStatusToWinError");
  tavrin::RunStartSteps();
  Point(kAdmins, "WS01");
  EXPECT_EQ(CommitError(), 120u);
}

TEST_F(AccountRights, BindingLooksUpEveryNameAndEndsWithNothing) {
  // The lookups follow the table's order, and every one succeeds.
  sim::ClearCalls();
  tavrin::RunStartSteps();
  Names looked;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "GetProcAddress" && call.argument.rfind("Lsa", 0) == 0)
      looked.push_back(call.argument);
  EXPECT_EQ(looked, Names(std::begin(LsaApi::FunctionNames), std::end(LsaApi::FunctionNames)));
  for (const char* name : LsaApi::FunctionNames) EXPECT_TRUE(LsaApi::Resolved(name)) << name;

  // After the end step every entry answers 120 and calls nothing.
  tavrin::RunEndSteps();
  sim::ClearCalls();
  LSA_HANDLE handle = nullptr;
  EXPECT_EQ(LsaApi::LsaOpenPolicy(nullptr, nullptr, 0, &handle), 120);
  EXPECT_EQ(LsaApi::LsaClose(nullptr), 120);
  EXPECT_EQ(LsaApi::LsaNtStatusToWinError(STATUS_ACCESS_DENIED), 120u);
  EXPECT_TRUE(LsaCalls().empty());

  // Without the library nothing is found, and start-up still goes on.
  sim::HideLibrary("advapi32.dll");
  EXPECT_NO_THROW(tavrin::RunStartSteps());
  for (const char* name : LsaApi::FunctionNames) EXPECT_FALSE(LsaApi::Resolved(name)) << name;
  Point(kAdmins, "WS01");
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_EQ(arc_->LastStatus(), 120);
}

TEST_F(AccountRights, CommitWritesOneRightPerCallInCatalogueOrder) {
  Reinstall(WithRights("SRV01", kAdmins,
                       {"SeDebugPrivilege", "SeTrustedCredManAccessPrivilege", "SeBackupPrivilege",
                        "SeRemoteInteractiveLogonRight"}));
  Point(kAdmins, "SRV01");
  // As the main window does it: read, stage, keep the other names.
  EXPECT_EQ(arc_->CurrentPrivileges(), (TvmPrivileges{spBackup, spDebug}));
  arc_->SetNewPrivileges({spRestore, spDebug});
  arc_->SetNewAdditional(arc_->CurrentAdditional());
  EXPECT_FALSE(arc_->Committed());
  sim::ClearCalls();
  arc_->Commit();
  // One name per call, never AllRights ("*"); the other names as they were.
  EXPECT_EQ(LsaCalls(), (Names{"LsaRemoveAccountRights SRV01 S-1-5-32-544 SeBackupPrivilege",
                               "LsaAddAccountRights SRV01 S-1-5-32-544 SeRestorePrivilege",
                               "LsaClose SRV01 "}));
  EXPECT_EQ(sim::RightsOf("SRV01", kAdmins),
            (Names{"SeDebugPrivilege", "SeTrustedCredManAccessPrivilege",
                   "SeRemoteInteractiveLogonRight", "SeRestorePrivilege"}));
  EXPECT_EQ(arc_->LastStatus(), 0);
  // Committed reads the computer afresh and finds the new state in force;
  // a desired state already in force costs no write.
  sim::ClearCalls();
  EXPECT_TRUE(arc_->Committed());
  EXPECT_EQ(sim::CountCalls("LsaEnumerateAccountRights"), 1u);
  arc_->Commit();
  EXPECT_EQ(Writes(), 0u);

  // The other names are part of the desired state: leaving them out of
  // NewAdditional revokes them, one call each, after the catalogue rights.
  arc_->SetNewPrivileges({});
  arc_->SetNewAdditional({"SeTrustedCredManAccessPrivilege", "SeCreateSymbolicLinkPrivilege"});
  sim::ClearCalls();
  arc_->SetCommitted(false);  // does nothing
  EXPECT_EQ(Writes(), 0u);
  arc_->SetCommitted(true);
  EXPECT_EQ(LsaCalls(),
            (Names{"LsaRemoveAccountRights SRV01 S-1-5-32-544 SeRestorePrivilege",
                   "LsaRemoveAccountRights SRV01 S-1-5-32-544 SeDebugPrivilege",
                   "LsaAddAccountRights SRV01 S-1-5-32-544 SeCreateSymbolicLinkPrivilege",
                   "LsaRemoveAccountRights SRV01 S-1-5-32-544 SeRemoteInteractiveLogonRight",
                   "LsaClose SRV01 "}));
  EXPECT_EQ(sim::RightsOf("SRV01", kAdmins),
            (Names{"SeTrustedCredManAccessPrivilege", "SeCreateSymbolicLinkPrivilege"}));
}

// The first and the last right of the catalogue, granted and revoked.
TEST_F(AccountRights, CommitReachesBothEndsOfTheCatalogue) {
  Point(kAdmins, "SRV01");  // holds SeBackupPrivilege
  const struct {
    TvmPrivileges wanted;
    Names inForce;
  } steps[] = {
      {{spCreateToken, spServiceLogon}, {"SeCreateTokenPrivilege", "SeServiceLogonRight"}},
      {{spCreateToken}, {"SeCreateTokenPrivilege"}},
      {{spServiceLogon}, {"SeServiceLogonRight"}},
      {{}, {}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.wanted.Mask());
    arc_->SetNewPrivileges(step.wanted);
    arc_->SetNewAdditional({});
    arc_->Commit();
    EXPECT_EQ(sim::RightsOf("SRV01", kAdmins), step.inForce);
    EXPECT_EQ(arc_->CurrentPrivileges(), step.wanted);
  }
}

TEST_F(AccountRights, NewAdditionalMovesCatalogueNamesAndIgnoresCase) {
  arc_->SetNewAdditional({"SeDebugPrivilege", "SeFooRight", "sedebugprivilege"});
  EXPECT_EQ(arc_->NewPrivileges(), TvmPrivileges{spDebug});
  EXPECT_EQ(arc_->NewAdditional(), (Names{"SeFooRight", "sedebugprivilege"}));
  // Names put into the own list move at the next read.
  arc_->NewAdditional().push_back("SeBackupPrivilege");
  EXPECT_EQ(arc_->NewPrivileges(), (TvmPrivileges{spBackup, spDebug}));
  EXPECT_EQ(arc_->NewAdditional().size(), 2u);

  // Other names differing from the ones in force only in case are in force.
  Point(kAdmins, "WS01");  // holds SeRemoteInteractiveLogonRight
  arc_->SetNewPrivileges(arc_->CurrentPrivileges());
  arc_->SetNewAdditional({"SEREMOTEINTERACTIVELOGONRIGHT", "seremoteinteractivelogonright"});
  sim::ClearCalls();
  EXPECT_TRUE(arc_->Committed());
  arc_->Commit();
  EXPECT_TRUE(LsaCalls().empty());
}

TEST_F(AccountRights, CommitFailingAtTheThirdCallKeepsTheFirstTwo) {
  Point(kAdmins, "SRV01");  // holds SeBackupPrivilege
  arc_->SetNewPrivileges({spLockMemory, spSecurity, spDebug, spShutdown});
  sim::FailWrite(3, STATUS_ACCESS_DENIED);
  sim::ClearCalls();
  EXPECT_EQ(CommitError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(arc_->LastStatus(), STATUS_ACCESS_DENIED);
  EXPECT_EQ(Writes(), 3u);  // no call after the failing one
  EXPECT_EQ(sim::OpenPolicyHandles(), 0u);
  // Lock memory and security were granted, revoking backup failed, and
  // shutdown and debug were not reached. The next read shows just that.
  EXPECT_EQ(sim::RightsOf("SRV01", kAdmins),
            (Names{"SeBackupPrivilege", "SeLockMemoryPrivilege", "SeSecurityPrivilege"}));
  EXPECT_FALSE(arc_->Committed());
  EXPECT_EQ(arc_->CurrentPrivileges(), (TvmPrivileges{spBackup, spLockMemory, spSecurity}));
}

TEST_F(AccountRights, PolicyClosingAndSidCenterRemoval) {
  // Writing Server closes the policy, even for the same computer.
  Point(kAdmins, "WS01");
  arc_->CurrentPrivileges();
  sim::ClearCalls();
  arc_->SetServer("WS01");
  EXPECT_EQ(LsaCalls(), Names{"LsaClose WS01 "});
  EXPECT_EQ(sim::OpenPolicyHandles(), 0u);

  // A failed enumeration leaves a status and an open policy behind.
  sim::FailEnumeration("LsaEnumerateAccountRights", "", 0xC000009A);
  arc_->CurrentPrivileges();
  sim::ClearFaults();
  ASSERT_EQ(arc_->LastStatus(), STATUS_INSUFFICIENT_RESOURCES);
  sim::ClearCalls();
  delete sc_;
  EXPECT_EQ(arc_->SidCenter(), nullptr);
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_TRUE(arc_->CurrentAdditional().empty());
  EXPECT_EQ(arc_->LastStatus(), STATUS_INSUFFICIENT_RESOURCES);  // untouched
  EXPECT_TRUE(LsaCalls().empty());
  EXPECT_TRUE(arc_->Committed());
  arc_->SetNewAdditional({"SeFooRight"});
  EXPECT_FALSE(arc_->Committed());
  arc_->SetNewAdditional({});
  arc_->SetNewPrivileges({spDebug});
  EXPECT_FALSE(arc_->Committed());
  // A commit writes nothing but closes the open policy.
  EXPECT_EQ(sim::OpenPolicyHandles(), 1u);
  arc_->Commit();
  EXPECT_EQ(LsaCalls(), (Names{"LsaClose WS01 "}));

  // A SID center with no owner in common is followed too; destroying the
  // rights center closes its policy.
  auto* other = new TvmSidCenter(nullptr);
  arc_->SetSidCenter(other);
  delete other;
  EXPECT_EQ(arc_->SidCenter(), nullptr);
  arc_->SetSidCenter(sc_ = new TvmSidCenter(form_));
  Point(kAdmins);
  arc_->CurrentPrivileges();
  EXPECT_EQ(sim::OpenPolicyHandles(), 1u);
  delete arc_;
  EXPECT_EQ(sim::OpenPolicyHandles(), 0u);
}

}  // namespace
