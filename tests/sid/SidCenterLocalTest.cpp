// The SID center against this computer's own account database, with the
// platform's real answers (empty Server). Holds on Windows and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterCache.h"

namespace {

class SidCenterLocal : public ::testing::Test {
 protected:
  void SetUp() override { tavrin::RunStartSteps(); }
  void TearDown() override { tavrin::RunEndSteps(); }
};

TEST_F(SidCenterLocal, WellKnownAccountsHaveTheirSystemNames) {
  const struct {
    TvmWellKnownSid value;
    const char* name;
    const char* domain;
  } table[] = {
      // clang-format off
      {wkNull, "NULL SID", ""}, {wkWorld, "Everyone", ""}, {wkLocal, "LOCAL", ""},
      {wkCreatorOwner, "CREATOR OWNER", ""}, {wkCreatorGroup, "CREATOR GROUP", ""},
      {wkCreatorOwnerServer, "CREATOR OWNER SERVER", ""},
      {wkCreatorGroupServer, "CREATOR GROUP SERVER", ""},
      {wkDialup, "DIALUP", "NT AUTHORITY"}, {wkNetwork, "NETWORK", "NT AUTHORITY"},
      {wkBatch, "BATCH", "NT AUTHORITY"}, {wkInteractive, "INTERACTIVE", "NT AUTHORITY"},
      {wkService, "SERVICE", "NT AUTHORITY"}, {wkAnonymous, "ANONYMOUS LOGON", "NT AUTHORITY"},
      {wkProxy, "PROXY", "NT AUTHORITY"}, {wkBuildIn, "BUILTIN", "BUILTIN"},
      {wkAuthenticated, "Authenticated Users", "NT AUTHORITY"},
      {wkLocalSystem, "SYSTEM", "NT AUTHORITY"}, {wkAdminsAlias, "Administrators", "BUILTIN"},
      {wkUsersAlias, "Users", "BUILTIN"}, {wkGuestsAlias, "Guests", "BUILTIN"},
      {wkPowerUsersAlias, "Power Users", "BUILTIN"},
      {wkAccountOpsAlias, "Account Operators", "BUILTIN"},
      {wkSystemOpsAlias, "Server Operators", "BUILTIN"},
      {wkPrintOpsAlias, "Print Operators", "BUILTIN"},
      {wkBackupOpsAlias, "Backup Operators", "BUILTIN"}, {wkReplicatorAlias, "Replicator", "BUILTIN"},
      // clang-format on
  };
  TvmSidCenter sc;
  for (const auto& w : table) {
    sc.SetWellKnown(w.value);
    // Wine names S-1-5-32-552 "Replicators".
    if (w.value == wkReplicatorAlias && sc.UserName() == "Replicators") continue;
    EXPECT_EQ(sc.Domain() + "\\" + sc.UserName(), std::string(w.domain) + "\\" + w.name);
    EXPECT_TRUE(sc.NameReady());
    EXPECT_TRUE(sc.Errors().empty());
  }
}

TEST_F(SidCenterLocal, NamePairsResolveToTheWellKnownSids) {
  const struct {
    const char* domain;
    const char* name;
    const char* sid;
    TvmWellKnownSid value;
  } cases[] = {
      {"BUILTIN", "Administrators", "S-1-5-32-544", wkAdminsAlias},
      {"BUILTIN", "Users", "S-1-5-32-545", wkUsersAlias},
      {"NT AUTHORITY", "SYSTEM", "S-1-5-18", wkLocalSystem},
      // ".\name": the well-known accounts of this computer, found by the
      // system or else in the lookup cache.
      {"", "Administrators", "S-1-5-32-544", wkAdminsAlias},
      {"", "everyone", "S-1-1-0", wkWorld},
      {"", "SYSTEM", "S-1-5-18", wkLocalSystem},
  };
  for (const auto& c : cases) {
    TvmSidCenter sc;
    sc.SetDomain(c.domain);
    sc.SetUserName(c.name);
    SCOPED_TRACE(std::string(c.domain) + "\\" + c.name);
    EXPECT_EQ(sc.Source(), ssName);
    EXPECT_EQ(sc.SidString(), c.sid);
    EXPECT_EQ(sc.WellKnown(), c.value);
    ASSERT_NE(sc.GetSid(), nullptr);
    EXPECT_EQ(sc.SidLength(), GetLengthSid(sc.GetSid()));
    EXPECT_TRUE(sc.Errors().empty()) << sc.Errors().front();
    // The name pair is the given form: it reads as written.
    EXPECT_EQ(sc.UserName(), c.name);
    EXPECT_EQ(sc.Domain(), c.domain);
  }
}

TEST_F(SidCenterLocal, CurrentUserAndThisComputersDomain) {
  std::vector<std::string> errors;
  TSidBlock held = CurrentUserSid(errors);
  PSID token = held.get();
  ASSERT_NE(token, nullptr);
  EXPECT_TRUE(errors.empty());

  TvmSidCenter me;
  me.SetWellKnown(wkCurrentUser);
  ASSERT_NE(me.GetSid(), nullptr);
  EXPECT_TRUE(EqualSid(me.GetSid(), token));
  EXPECT_EQ(me.WellKnown(), wkCurrentUser);  // the given kind
  EXPECT_NE(me.UserName(), "");
  // Given as a SID, the same account is recognised by its shape only.
  TvmSidCenter shape;
  shape.SetSid(token);
  EXPECT_NE(shape.WellKnown(), wkCurrentUser);
  EXPECT_EQ(shape.SidString(), me.SidString());


  // Both names empty: this computer's account domain, S-1-5-21-x-y-z.
  TvmSidCenter machine;
  machine.SetSource(ssName);
  const std::string domainSid = machine.SidString();
  ASSERT_EQ(domainSid.rfind("S-1-5-21-", 0), 0u) << domainSid;
  EXPECT_EQ(machine.Explicit().SubAuthorityCount, 4);
  EXPECT_EQ(machine.WellKnown(), wkOther);

  // The built-in accounts of that domain, built from it and recognised back.
  for (const auto& [value, rid] : {std::pair{wkAdmin, "-500"}, std::pair{wkGuest, "-501"}}) {
    TvmSidCenter sc;
    sc.SetWellKnown(value);
    EXPECT_EQ(sc.SidString(), domainSid + rid);
    TvmSidCenter back;
    back.SetSidString(sc.SidString());
    EXPECT_EQ(back.WellKnown(), value);
  }
}

}  // namespace
