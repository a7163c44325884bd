// The SID center against this computer's own account database, with the
// platform's real answers (empty Server). Holds on Windows and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"

namespace {

TEST(SidCenterLocal, SystemNamesCurrentUserAndThisComputersDomain) {
  tavrin::StartupScope startup;
  // Both ways between the system's names and well-known SIDs; ".\name" is
  // found by the system or else in the lookup cache.
  for (const char* domain : {"BUILTIN", ""}) {
    TvmSidCenter named;
    named.SetDomain(domain);
    named.SetUserName("Administrators");
    EXPECT_EQ(named.SidString(), "S-1-5-32-544") << domain;
    EXPECT_EQ(named.SidLength(), GetLengthSid(named.GetSid()));
    EXPECT_EQ(named.Domain(), domain);  // the given pair reads as written
  }
  TvmSidCenter system;
  system.SetWellKnown(wkLocalSystem);
  EXPECT_EQ(system.Domain() + "\\" + system.UserName(), "NT AUTHORITY\\SYSTEM");

  std::vector<std::string> errors;
  const TSidBlock token = CurrentUserSid(errors);
  ASSERT_NE(token, nullptr);
  EXPECT_TRUE(errors.empty());
  TvmSidCenter me, shape;
  me.SetWellKnown(wkCurrentUser);
  EXPECT_TRUE(EqualSid(me.GetSid(), token.get()));
  EXPECT_EQ(me.WellKnown(), wkCurrentUser);  // the given kind
  EXPECT_NE(me.UserName(), "");
  // Given as a SID, the same account is recognised by its shape only.
  shape.SetSid(token.get());
  EXPECT_NE(shape.WellKnown(), wkCurrentUser);

  // Both names empty: this computer's account domain, S-1-5-21-x-y-z, from
  // which its administrator is built.
  TvmSidCenter machine, admin;
  machine.SetSource(ssName);
  const std::string domainSid = machine.SidString();
  ASSERT_EQ(domainSid.rfind("S-1-5-21-", 0), 0u) << domainSid;
  EXPECT_EQ(machine.Explicit().SubAuthorityCount, 4);
  admin.SetWellKnown(wkAdmin);
  EXPECT_EQ(admin.SidString(), domainSid + "-500");
}

}  // namespace
