// The SID center against this computer's own accounts (empty Server); Wine too.
#include <gtest/gtest.h>

#include <string>

#include "base/Velmar_CenterUtils.h"
#include "passes/Startup.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterCache.h"

namespace {

TEST(SidCenterLocal, SystemNamesCurrentUserAndThisComputersDomain) {
  tavrin::StartupScope startup;
  // "BUILTIN\Administrators" maps; ".\Administrators" with the cache's help where needed.
  for (const char* domain : {"BUILTIN", ""}) {
    TvmSidCenter named;
    named.SetDomain(domain);
    named.SetUserName("Administrators");
    EXPECT_EQ(named.SidString(), "S-1-5-32-544") << domain;
    EXPECT_TRUE(*domain == '\0' || CacheList()->Count() == 0u);
  }
  TvmSidCenter system;
  system.SetWellKnown(wkLocalSystem);
  EXPECT_EQ(system.Domain() + "\\" + system.UserName(), "NT AUTHORITY\\SYSTEM");

  // The running user, a kind with a name; as a SID, recognised by shape only.
  TvmSidCenter me, shape;
  me.SetWellKnown(wkCurrentUser);
  EXPECT_NE(me.UserName(), "");
  EXPECT_EQ(me.WellKnown(), wkCurrentUser);
  shape.SetSid(me.GetSid());
  EXPECT_NE(shape.WellKnown(), wkCurrentUser);

  // Both names empty: this computer's domain, base of its administrator.
  TvmSidCenter machine, admin;
  machine.SetSource(ssName);
  const std::string domainSid = machine.SidString();
  ASSERT_EQ(domainSid.rfind("S-1-5-21-", 0), 0u) << domainSid;
  admin.SetWellKnown(wkAdmin);
  EXPECT_EQ(admin.SidString(), domainSid + "-500");
}

}  // namespace
