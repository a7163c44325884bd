// The SID center and the lookup cache on the simulated network.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "passes/Startup.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterCache.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::SidText;
using Names = std::vector<std::string>;

constexpr const char* NoneMapped =
    "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs was done";

// The logged calls of a function, as "target|argument", or the targets only.
Names Logged(const std::string& function, bool withArgument = true) {
  Names calls;
  for (const sim::Call& call : sim::Calls())
    if (call.function == function)
      calls.push_back(withArgument ? call.target + "|" + call.argument : call.target);
  return calls;
}

class SidCenterSim : public tavrin::test::SimTest {};

TEST_F(SidCenterSim, NamePairsAndDomainRelativeKindsAreLookedUpOnTheServerOrListed) {
  // A name pair or a domain-relative kind: the look-up ("target|text"), SID, names read back.
  const std::string corp = "S-1-5-21-1000-2000-3000", ws01 = "S-1-5-21-11-12-13";
  const struct {
    const char *server, *domain, *name;
    TvmWellKnownSid kind;
    std::string lookup, sid, account;
  } cases[] = {
      {"", "CORP", "Ёлкин", wkOther, "|CORP\\Ёлкин", corp + "-1107", "CORP\\Ёлкин"},
      {"", "", "localadmin", wkOther, "|.\\localadmin", ws01 + "-1001", "\\localadmin"},
      {"", "CORP", "", wkOther, "|CORP", corp, "CORP\\"},
      {"", "CORP", "corp", wkOther, "|CORP", corp, "CORP\\corp"},  // the name a domain SID reads as
      {"", "", "", wkOther, "|WS01", ws01, "\\"},
      {"DC01", "", "bob", wkOther, "DC01|.\\bob", corp + "-1106", "\\bob"},
      {"", "CORP", nullptr, wkAdmin, "|CORP", corp + "-500", "CORP\\Administrator"},
      {"", "CORP", nullptr, wkAdminsGroup, "|CORP", corp + "-512", "CORP\\Domain Admins"},
      {"", "CORP", nullptr, wkGuestsGroup, "|CORP", corp + "-514", "CORP\\Domain Guests"},
      {"", "", nullptr, wkGuest, "|WS01", ws01 + "-501", "WS01\\Guest"},
      {"SRV01", "SRV01", nullptr, wkUsersGroup, "SRV01|SRV01", "S-1-5-21-21-22-23-513",
       "SRV01\\None"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sid);
    TvmSidCenter sc;
    c.name ? sc.SetUserName(c.name) : sc.SetWellKnown(c.kind);
    sc.SetDomain(c.domain);
    sc.SetServer(c.server);
    sim::ClearCalls();
    EXPECT_EQ(sc.SidString(), c.sid);
    EXPECT_EQ(sc.SidLength(), GetLengthSid(sc.GetSid()));
    sc.WellKnown();
    EXPECT_EQ(Logged("LookupAccountNameA"), Names(2, c.lookup));  // size query, lookup
    EXPECT_EQ(sc.Domain() + "\\" + sc.UserName(), c.account);
  }
  EXPECT_EQ(CacheList()->Count(), 0u);  // resolved names never reach the cache

  // A failed lookup is listed at every read.
  TvmSidCenter sc;
  sc.SetDomain("CORP");
  sc.SetUserName("nobody");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_THROW(sc.GetSid(), EAbort);
  EXPECT_THROW(sc.WellKnown(), EAbort);
  EXPECT_EQ(sc.Errors(), Names(3, NoneMapped));

  // A domain not found: still the administrator of a domain to be found.
  sc.SetDomain("NOWHERE");
  sc.SetWellKnown(wkAdmin);
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sc.UserName(), "");
  EXPECT_EQ(sc.Errors(), Names(2, NoneMapped));
  sc.SetDomain("CORP");
  EXPECT_EQ(sc.SidString(), corp + "-500");
  EXPECT_EQ(sc.UserName(), "Administrator");
}

TEST_F(SidCenterSim, AccountsAsTypedAreLookedUpOnTheServer) {
  // The look-ups ("target|text", each a size query and, when that answers,
  // the look-up), the SID and the names read back.
  const std::string alice = "S-1-5-21-1000-2000-3000-1105";
  const struct {
    const char *server, *text, *qualifier;
    Names lookups;
    std::string sid, account;
  } cases[] = {
      // clang-format off
      {"", "Administrators", "WS01", {"|WS01\\Administrators", "|Administrators", "|Administrators"},
       "S-1-5-32-544", "BUILTIN\\Administrators"},
      {"", "everyone", "", {"|everyone", "|everyone"}, "S-1-1-0", "\\Everyone"},
      {"", "alice", "CORP", {"|CORP\\alice", "|CORP\\alice"}, alice, "CORP\\alice"},
      {"DC01", "CORP\\alice", "WS01", {"DC01|CORP\\alice", "DC01|CORP\\alice"}, alice, "CORP\\alice"},
      {"DC01", "s-1-5-32-544", "CORP", {}, "s-1-5-32-544", "BUILTIN\\Administrators"},  // as given
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TvmSidCenter sc;
    sc.SetServer(c.server);
    sc.SetAccount(c.text, c.qualifier);
    sim::ClearCalls();
    EXPECT_EQ(sc.SidString(), c.sid);
    EXPECT_EQ(Logged("LookupAccountNameA"), c.lookups);
    EXPECT_EQ(sc.Domain() + "\\" + sc.UserName(), c.account);
    EXPECT_EQ(sc.LookupError(), 0u);
  }

  // A name no try finds: the silent abort, the system's code and message.
  TvmSidCenter sc;
  sc.SetAccount("nobody", "CORP");
  EXPECT_THROW(sc.GetSid(), EAbort);
  EXPECT_EQ(sc.LookupError(), static_cast<DWORD>(ERROR_NONE_MAPPED));
  EXPECT_EQ(sc.Errors(), Names(1, NoneMapped));
}

TEST_F(SidCenterSim, CacheIsFilledOncePerServerKeyAndAnswersLikeTheSystem) {
  // The cache, filled at the first failure, maps ".\Administrators" with the two-call protocol.
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use = SidTypeLabel;
  const char* account = ".\\administrators";
  EXPECT_FALSE(
      LookupAccountNameCached(nullptr, account, nullptr, &sidSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(sidSize * 100 + domainSize, 1601u) << "S-1-5-32-544, and an empty domain's zero";
  std::vector<BYTE> sid(sidSize, 0xCC);
  std::vector<char> domain(domainSize, 'x');
  EXPECT_TRUE(LookupAccountNameCached(nullptr, account, sid.data(), &sidSize, domain.data(),
                                      &domainSize, &use));
  EXPECT_EQ(SidText(sid.data()), "S-1-5-32-544");
  EXPECT_EQ(domain[0], '\0');
  EXPECT_EQ(use, SidTypeLabel);  // not written by the cache

  // No server and "" share the key "\": 27 well-known values, two domain reads.
  EXPECT_FALSE(LookupAccountNameCached("", "nobody", sid.data(), &sidSize, domain.data(),
                                       &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_NONE_MAPPED);
  ASSERT_EQ(CacheList()->Count(), 1u);
  EXPECT_EQ(CacheList()->Key(0), "\\");
  EXPECT_EQ(Logged("LookupAccountSidA", false), Names(29, ""));

  // 27 accounts under the server's names, 19 of them also under ".\".
  Names entries;
  for (const auto& entry : CacheList()->Accounts(0))
    entries.push_back(entry->FullName() + "|" + entry->Domain() + "|" + SidText(entry->Sid()));
  EXPECT_EQ(entries.size(), 27u + 19u);
  for (const char* expected :
       {"BUILTIN\\Administrators|BUILTIN|S-1-5-32-544",
        "NT AUTHORITY\\SYSTEM|NT AUTHORITY|S-1-5-18", ".\\SYSTEM||S-1-5-18", ".\\Everyone||S-1-1-0",
        "CORP\\alice|CORP|S-1-5-21-1000-2000-3000-1105"})  // the running user
    EXPECT_NE(std::find(entries.begin(), entries.end(), expected), entries.end()) << expected;

  // Another server's key is its name in upper case, filled once.
  TvmSidCenter sc;
  sc.SetServer("srv01");
  sc.SetUserName("nobody");
  sim::ClearCalls();
  EXPECT_EQ(sc.SidString(), "");
  sc.SetServer("Srv01");
  EXPECT_EQ(sc.SidString(), "");
  ASSERT_EQ(CacheList()->Count(), 2u);
  EXPECT_EQ(CacheList()->Key(1), "SRV01");
  EXPECT_EQ(Logged("LookupAccountSidA", false), Names(29, "SRV01"));

  // A silent server keeps an empty list, also once it answers.
  sc.SetServer("GHOST");
  EXPECT_EQ(sc.SidString(), "");
  ASSERT_EQ(CacheList()->Count(), 3u);
  EXPECT_TRUE(CacheList()->Accounts(2).empty());
  // Its failure stays the system's: not an unknown name.
  EXPECT_FALSE(LookupAccountNameCached("GHOST", "nobody", sid.data(), &sidSize, domain.data(),
                                       &domainSize, &use));
  EXPECT_EQ(GetLastError(), RPC_S_SERVER_UNAVAILABLE);
  sim::SetAnswers("GHOST", true);
  sim::ClearCalls();
  sc.SetUserName("Administrators");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 0u);

  tavrin::RunEndSteps();
  EXPECT_EQ(CacheList(), nullptr);  // the end step destroys the lists
}

}  // namespace
