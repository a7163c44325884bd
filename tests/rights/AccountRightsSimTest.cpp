// The account rights center on the simulated network, read through its LSA calls.
#include <memory>

#include "base/Velmar_CenterUtils.h"
#include "passes/Startup.h"
#include "rights/Velmar_LsaApi.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"
#include "tests/support/Raised.h"
#include "tests/support/SimFixture.h"
#include "tests/support/SimTestHelpers.h"

namespace {

using tavrin::test::Names;

const std::string kAdmins = "S-1-5-32-544";

// The LSA calls logged since the last look, as "function target argument".
Names LsaCalls() {
  Names calls;
  for (const sim::Call& call : sim::Calls())
    if (call.function.rfind("Lsa", 0) == 0)
      calls.push_back(call.function + " " + call.target + " " + call.argument);
  sim::ClearCalls();
  return calls;
}

class AccountRights : public tavrin::test::SimTest {
 protected:
  void SetUp() override {  // SRV01's Administrators: three catalogue rights and another
    sim::NetworkSpec network = tavrin::test::SmallNetwork();
    for (sim::ComputerSpec& c : network.computers)
      if (c.name == "SRV01")
        c.rights[kAdmins] = {"SeTrustedCredManAccessPrivilege", "SeBackupPrivilege",
                             "SeUnsolicitedInputPrivilege", "SeServiceLogonRight"};
    Reinstall(network);
    arc_->SetSidCenter(sc_);
  }
  void TearDown() override {
    form_.reset();
    SimTest::TearDown();
  }
  void Point(const std::string& sid, const char* server = nullptr) {
    sc_->SetSid(tavrin::test::SidBytes(sid).data());
    if (server) arc_->SetServer(server);
  }
  DWORD CommitError() {
    return tavrin::test::RaisedCode([&] { arc_->Commit(); });
  }

  std::unique_ptr<TComponent> form_ = std::make_unique<TComponent>();
  TvmSidCenter* sc_ = new TvmSidCenter(form_.get());
  TvmAccountRigthsCenter* arc_ = new TvmAccountRigthsCenter(form_.get());
};

TEST_F(AccountRights, ReadsSplitTheNamesAndHoldPerSidAndServer) {
  Point(kAdmins, "SRV01");
  LsaCalls();
  EXPECT_EQ(arc_->CurrentPrivileges(),
            (TvmPrivileges{spBackup, spServiceLogon, spTrustedCredManAccess}));
  EXPECT_EQ(arc_->CurrentAdditional(), (Names{"SeUnsolicitedInputPrivilege"}));
  EXPECT_EQ(LsaCalls(), (Names{"LsaOpenPolicy SRV01 0x810",
                               "LsaEnumerateAccountRights SRV01 S-1-5-32-544", "LsaFreeMemory  "}));

  // Repeated reads, even of the same SID given again, call nothing; the snapshot is a copy.
  arc_->CurrentAdditional().push_back("SeJunk");
  Point(kAdmins);
  EXPECT_EQ(arc_->CurrentAdditional().size(), 1u);
  EXPECT_EQ(LsaCalls(), Names{});

  // What was read on SRV01 is not shown for WS01, though the SID is the same.
  arc_->SetServer("WS01");
  EXPECT_EQ(
      arc_->CurrentPrivileges(),
      (TvmPrivileges{spBackup, spRestore, spDebug, spInteractiveLogon, spRemoteInteractiveLogon}));
  EXPECT_TRUE(arc_->CurrentAdditional().empty());

  // Another SID is read again; holding nothing is a good read with no array to free.
  sim::FailEnumeration("LsaEnumerateAccountRights", "", 0xC000009A);
  Point("S-1-5-32-545");
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_EQ(arc_->LastStatus(), STATUS_INSUFFICIENT_RESOURCES);
  sim::ClearFaults();
  Point("S-1-5-32-546");
  LsaCalls();
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_EQ(arc_->LastStatus(), 0);
  EXPECT_EQ(LsaCalls(), Names{"LsaEnumerateAccountRights WS01 S-1-5-32-546"});

  // Writing Server closes the policy, even for the same computer.
  Point(kAdmins);
  arc_->CurrentPrivileges();
  LsaCalls();
  arc_->SetServer("WS01");
  EXPECT_EQ(LsaCalls(), Names{"LsaClose WS01 "});
  // Without a SID center nothing is read nor written; a commit only closes.
  EXPECT_FALSE(arc_->CurrentPrivileges().Empty());
  LsaCalls();
  delete sc_;
  EXPECT_EQ(arc_->SidCenter(), nullptr);
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_TRUE(arc_->Committed());
  arc_->SetNewAdditional({"SeFooRight"});
  EXPECT_FALSE(arc_->Committed());
  arc_->Commit();
  EXPECT_EQ(LsaCalls(), Names{"LsaClose WS01 "});
  {  // a SID center with no owner in common is followed too
    TvmSidCenter other;
    arc_->SetSidCenter(&other);
  }
  EXPECT_EQ(arc_->SidCenter(), nullptr);
  arc_->SetSidCenter(sc_ = new TvmSidCenter(form_.get()));
  Point(kAdmins);
  EXPECT_FALSE(arc_->CurrentPrivileges().Empty());
  delete arc_;  // closes its policy
  EXPECT_EQ(sim::OpenPolicyHandles(), 0u);
}

// A failed read is not remembered, and no commit writes from it (it would revoke nothing).
TEST_F(AccountRights, FailedReadsAreNotRememberedNorWrittenFrom) {
  sim::FailEnumeration("LsaEnumerateAccountRights", "SRV01", 0xC000009A);
  Point(kAdmins, "SRV01");
  EXPECT_EQ(CommitError(), ERROR_NO_SYSTEM_RESOURCES);
  sim::ClearFaults();
  EXPECT_EQ(arc_->CurrentPrivileges(),
            (TvmPrivileges{spBackup, spServiceLogon, spTrustedCredManAccess}));
  EXPECT_EQ(arc_->LastStatus(), 0);
  arc_->Commit();
  EXPECT_TRUE(sim::RightsOf("SRV01", kAdmins).empty());

  // A policy that does not open is not kept: the commit opens again, writes nothing.
  sim::SetPolicyDenied("SRV01", true);
  LsaCalls();
  arc_->CurrentPrivileges();
  EXPECT_EQ(arc_->LastStatus(), STATUS_ACCESS_DENIED);
  arc_->SetNewPrivileges({spDebug});
  EXPECT_EQ(CommitError(), ERROR_ACCESS_DENIED);
  const std::string open = "LsaOpenPolicy SRV01 0x810",
                    toError = "LsaNtStatusToWinError  0xC0000022";
  EXPECT_EQ(LsaCalls(), (Names{open, toError, open, toError, toError}));

  // A SID the SID center cannot produce makes a failed read too.
  Point(kAdmins, "WS01");
  EXPECT_FALSE(arc_->CurrentPrivileges().Empty());
  sc_->SetUserName("nosuchuser");  // GetSid raises the silent abort
  LsaCalls();
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_THROW(arc_->Commit(), Exception);
  EXPECT_EQ(LsaCalls(), (Names{"LsaNtStatusToWinError  0xC0000001", "LsaClose WS01 "}));
}

TEST_F(AccountRights, StartAndEndStepsBindTheLsa) {
  for (const char* name : LsaApi::FunctionNames) EXPECT_TRUE(LsaApi::Resolved(name)) << name;

  // After the end step every entry answers 120 and calls nothing.
  tavrin::RunEndSteps();
  Point(kAdmins, "WS01");
  LsaCalls();
  EXPECT_TRUE(arc_->CurrentPrivileges().Empty());
  EXPECT_EQ(arc_->LastStatus(), 120);
  EXPECT_EQ(CommitError(), 120u);
  EXPECT_EQ(LsaApi::LsaClose(nullptr), 120);
  EXPECT_EQ(LsaCalls(), Names{});

  // Without the library nothing is found, and start-up still goes on.
  sim::HideLibrary("advapi32.dll");
  EXPECT_NO_THROW(tavrin::RunStartSteps());
  for (const char* name : LsaApi::FunctionNames) EXPECT_FALSE(LsaApi::Resolved(name)) << name;

  // A network code has no system text.
  EXPECT_EQ(EWin32Error(2453).Message(), "Win32 Error.  Code: 2453.\n");
}

TEST_F(AccountRights, CommitWritesOneRightPerCallInCatalogueOrder) {
  // As the main window does it; one name per call, in catalogue order, other names after.
  Point(kAdmins, "SRV01");
  arc_->SetNewPrivileges({spCreateToken, spDebug});
  arc_->SetNewAdditional(arc_->CurrentAdditional());
  arc_->NewAdditional().push_back("SeRestorePrivilege");
  LsaCalls();
  arc_->Commit();
  const std::string grant = "LsaAddAccountRights SRV01 S-1-5-32-544 ";
  const std::string revoke = "LsaRemoveAccountRights SRV01 S-1-5-32-544 ";
  EXPECT_EQ(LsaCalls(), (Names{grant + "SeCreateTokenPrivilege", revoke + "SeBackupPrivilege",
                               grant + "SeRestorePrivilege", grant + "SeDebugPrivilege",
                               revoke + "SeServiceLogonRight",
                               revoke + "SeTrustedCredManAccessPrivilege", "LsaClose SRV01 "}));
  // Committed reads afresh; committing a state in force calls nothing.
  EXPECT_TRUE(arc_->Committed());
  LsaCalls();
  arc_->Commit();
  EXPECT_EQ(LsaCalls(), Names{});

  // Other names left out are revoked last. Writing false commits nothing.
  arc_->SetNewPrivileges({spServiceLogon});
  arc_->SetNewAdditional({"SeTrustedCredManAccessPrivilege"});  // a catalogue name: into the set
  arc_->SetCommitted(false);
  EXPECT_EQ(LsaCalls(), Names{});
  arc_->SetCommitted(true);
  EXPECT_EQ(LsaCalls(), (Names{revoke + "SeCreateTokenPrivilege", revoke + "SeRestorePrivilege",
                               revoke + "SeDebugPrivilege", grant + "SeServiceLogonRight",
                               grant + "SeTrustedCredManAccessPrivilege",
                               revoke + "SeUnsolicitedInputPrivilege", "LsaClose SRV01 "}));

  // Other names are compared ignoring case and repetition, both ways.
  arc_->SetNewAdditional({"SEUNSOLICITEDINPUTPRIVILEGE", "seunsolicitedinputprivilege"});
  EXPECT_FALSE(arc_->Committed());
  arc_->Commit();
  EXPECT_EQ(sim::RightsOf("SRV01", kAdmins),
            (Names{"SeServiceLogonRight", "SeTrustedCredManAccessPrivilege",
                   "SeUnsolicitedInputPrivilege"}));
  EXPECT_TRUE(arc_->Committed());

  // A commit failing at its third call raises, stops and closes the policy.
  arc_->SetNewPrivileges({spLockMemory, spSecurity, spDebug, spShutdown});
  sim::FailWrite(3, STATUS_ACCESS_DENIED);
  LsaCalls();
  EXPECT_EQ(CommitError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(arc_->LastStatus(), STATUS_ACCESS_DENIED);
  EXPECT_EQ(LsaCalls(), (Names{grant + "SeLockMemoryPrivilege", grant + "SeSecurityPrivilege",
                               grant + "SeShutdownPrivilege", "LsaNtStatusToWinError  0xC0000022",
                               "LsaClose SRV01 "}));
  EXPECT_EQ(arc_->CurrentPrivileges(),
            (TvmPrivileges{spLockMemory, spSecurity, spServiceLogon, spTrustedCredManAccess}));
}

}  // namespace
