// The SID center and the lookup cache on the simulated network: which
// account texts reach which computer, what a failing lookup leaves, and how
// often each server is asked about its well-known accounts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterCache.h"
#include "tests/support/Raised.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using tavrin::test::Raised;
using Names = std::vector<std::string>;

constexpr const char* NoneMapped =
    "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs was done";

// The account texts LookupAccountNameA was asked for, as "target|text".
Names NameLookups() {
  Names lookups;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "LookupAccountNameA") lookups.push_back(call.target + "|" + call.argument);
  return lookups;
}

// The computers LookupAccountSidA was asked on, in order.
Names SidLookupTargets() {
  Names targets;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "LookupAccountSidA") targets.push_back(call.target);
  return targets;
}

std::string TextOf(PSID sid) {
  TvmSidCenter sc;
  sc.SetSid(sid);
  return sc.SidString();
}

// LookupAccountNameCached with buffers large enough: 0, or the error.
DWORD CachedLookupError(const char* system, const char* name) {
  BYTE sid[68];
  char domain[65];
  DWORD sidSize = sizeof sid, domainSize = 64;
  SID_NAME_USE use;
  return LookupAccountNameCached(system, name, sid, &sidSize, domain, &domainSize, &use)
             ? 0
             : GetLastError();
}

class SidCenterSim : public tavrin::test::SimTest {};

TEST_F(SidCenterSim, NamePairsAndDomainRelativeKindsAreLookedUpOnTheServer) {
  // A name pair, or (no name) a kind built from the SID of its domain: the
  // account text looked up, as "target|text", the SID and the name pair read.
  const std::string corp = "S-1-5-21-1000-2000-3000", ws01 = "S-1-5-21-11-12-13";
  const struct {
    const char *server, *domain, *name;
    TvmWellKnownSid kind;
    std::string lookup, sid, account;
  } cases[] = {
      {"", "CORP", "Ёлкин", wkOther, "|CORP\\Ёлкин", corp + "-1107", "CORP\\Ёлкин"},
      {"", "", "localadmin", wkOther, "|.\\localadmin", ws01 + "-1001", "\\localadmin"},
      {"", "CORP", "", wkOther, "|CORP", corp, "CORP\\"},
      {"", "", "", wkOther, "|WS01", ws01, "\\"},
      {"DC01", "", "bob", wkOther, "DC01|.\\bob", corp + "-1106", "\\bob"},
      {"", "CORP", nullptr, wkAdmin, "|CORP", corp + "-500", "CORP\\Administrator"},
      {"", "corp", nullptr, wkGuest, "|corp", corp + "-501", "CORP\\Guest"},
      {"", "CORP", nullptr, wkAdminsGroup, "|CORP", corp + "-512", "CORP\\Domain Admins"},
      {"", "CORP", nullptr, wkUsersGroup, "|CORP", corp + "-513", "CORP\\Domain Users"},
      {"", "CORP", nullptr, wkGuestsGroup, "|CORP", corp + "-514", "CORP\\Domain Guests"},
      {"", "", nullptr, wkGuest, "|WS01", ws01 + "-501", "WS01\\Guest"},
      {"SRV01", "SRV01", nullptr, wkUsersGroup, "SRV01|SRV01", "S-1-5-21-21-22-23-513",
       "SRV01\\None"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sid);
    TvmSidCenter sc;
    sc.SetServer(c.server);
    sc.SetDomain(c.domain);
    c.name ? sc.SetUserName(c.name) : sc.SetWellKnown(c.kind);
    sim::ClearCalls();
    EXPECT_EQ(sc.SidString(), c.sid);
    EXPECT_EQ(sc.SidLength(), GetLengthSid(sc.GetSid()));
    sc.WellKnown();
    // A size query and the lookup itself, then nothing more for other reads.
    EXPECT_EQ(NameLookups(), Names(2, c.lookup));
    EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 0u);
    // A given pair reads as written; a kind's comes from looking it up.
    EXPECT_EQ(sc.Domain() + "\\" + sc.UserName(), c.account);
    EXPECT_TRUE(sc.Errors().empty());
    EXPECT_EQ(CacheList()->Count(), 0u);  // resolved names never reach the cache
  }

  // A new Server looks the same name up there; after a write of Domain the
  // user name stays.
  TvmSidCenter sc;
  sc.SetUserName("Administrator");
  EXPECT_EQ(sc.WellKnown(), wkAdmin);
  sim::ClearCalls();
  sc.SetServer("SRV01");
  EXPECT_EQ(TextOf(sc.GetSid()), "S-1-5-21-21-22-23-500");
  EXPECT_EQ(NameLookups(), Names(2, "SRV01|.\\Administrator"));
  sc.SetDomain("CORP");
  EXPECT_EQ(sc.UserName(), "Administrator");
  EXPECT_EQ(sc.SidString(), corp + "-500");
}

TEST_F(SidCenterSim, FailedLookupsAreListedOncePerReadUntilTheNextWrite) {
  TvmSidCenter sc;
  sc.SetDomain("CORP");
  sc.SetUserName("nobody");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sc.Domain() + "\\" + sc.UserName(), "CORP\\nobody") << "the given pair stays";
  EXPECT_EQ(Raised<EAbort>([&] { sc.GetSid(); }), "Operation aborted");
  EXPECT_THROW(sc.WellKnown(), EAbort);
  EXPECT_EQ(sc.Errors(), Names(3, NoneMapped));
  sc.SetDomain("");
  EXPECT_EQ(sc.Errors().size(), 3u);
  sc.SetServer("");
  EXPECT_TRUE(sc.Errors().empty());

  // A domain that is not found: still the administrator of a domain to be
  // found, not the bare domain.
  TvmSidCenter kind;
  kind.SetDomain("NOWHERE");
  kind.SetWellKnown(wkAdmin);
  EXPECT_EQ(kind.SidString(), "");
  EXPECT_EQ(kind.UserName(), "");
  EXPECT_THROW(kind.GetSid(), EAbort);
  EXPECT_EQ(kind.Errors(), Names(3, NoneMapped));
  kind.SetDomain("CORP");
  EXPECT_EQ(kind.SidString(), "S-1-5-21-1000-2000-3000-500");
  EXPECT_EQ(kind.UserName(), "Administrator");
}

TEST_F(SidCenterSim, CacheIsFilledOncePerServerKey) {
  TvmSidCenter sc;
  sc.SetServer("srv01");
  sc.SetUserName("nobody");
  EXPECT_EQ(sc.SidString(), "");
  ASSERT_EQ(CacheList()->Count(), 1u);
  EXPECT_EQ(CacheList()->Key(0), "SRV01");
  // 27 well-known values and the two domain reads, all against the server.
  EXPECT_EQ(SidLookupTargets(), Names(29, "SRV01"));

  // Other unresolved names, other spellings of the server: no second fill.
  sc.SetUserName("nobody else");
  EXPECT_EQ(sc.SidString(), "");
  sc.SetServer("Srv01");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 29u);

  // No server and an empty one share the key "\", filled against this computer.
  sim::ClearCalls();
  EXPECT_EQ(CachedLookupError(nullptr, "nobody"), ERROR_NONE_MAPPED);
  EXPECT_EQ(CachedLookupError("", "nobody"), ERROR_NONE_MAPPED);
  ASSERT_EQ(CacheList()->Count(), 2u);
  EXPECT_EQ(CacheList()->Key(1), "\\");
  EXPECT_EQ(SidLookupTargets(), Names(29, ""));

  // A server that does not answer keeps an empty list. Once it answers, the
  // system resolves names itself, but what only the cache could answer
  // stays unanswered for the rest of the run.
  sc.SetServer("GHOST");
  sc.SetDomain("BUILTIN");
  sc.SetUserName("Administrators");
  EXPECT_EQ(sc.SidString(), "");
  ASSERT_EQ(CacheList()->Count(), 3u);
  EXPECT_TRUE(CacheList()->Accounts(2).empty());
  sim::SetAnswers("GHOST", true);
  sim::ClearCalls();
  sc.SetUserName("Administrators");
  sc.SetDomain("BUILTIN");
  EXPECT_EQ(sc.SidString(), "S-1-5-32-544");
  sc.SetDomain("");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sc.Errors().back(), NoneMapped);
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 0u);

  // The end step destroys the lists; the next start begins empty.
  tavrin::RunEndSteps();
  EXPECT_EQ(CacheList(), nullptr);
  tavrin::RunStartSteps();
  ASSERT_NE(CacheList(), nullptr);
  EXPECT_EQ(CacheList()->Count(), 0u);
}

TEST_F(SidCenterSim, CacheAnswersWithTheServersNamesAndTheSystemsBufferProtocol) {
  // The system itself does not map ".\Administrators": the alias is not in
  // this computer's account domain. The cache does, in any letter case,
  // filled at the first failure.
  const char* account = ".\\administrators";
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use = SidTypeLabel;
  EXPECT_FALSE(
      LookupAccountNameCached(nullptr, account, nullptr, &sidSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(sidSize, 16u);
  EXPECT_EQ(domainSize, 1u);
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 29u);
  std::vector<BYTE> sid(sidSize, 0xCC);
  std::vector<char> domain(domainSize, 'x');
  EXPECT_TRUE(LookupAccountNameCached(nullptr, account, sid.data(), &sidSize, domain.data(),
                                      &domainSize, &use));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(TextOf(sid.data()), "S-1-5-32-544");
  EXPECT_EQ(domain[0], '\0');
  EXPECT_EQ(use, SidTypeLabel);  // not written by the cache

  // The list holds each account under the server's names; those of the
  // built-in and the system domain also under ".\".
  const TSidCacheServerList& list = CacheList()->Accounts(0);
  const struct {
    const char *fullName, *domain, *sid;
  } expected[] = {
      {"BUILTIN\\Administrators", "BUILTIN", "S-1-5-32-544"},
      {".\\BUILTIN", "", "S-1-5-32"},
      {"NT AUTHORITY\\SYSTEM", "NT AUTHORITY", "S-1-5-18"},
      {".\\SYSTEM", "", "S-1-5-18"},
      {".\\Everyone", "", "S-1-1-0"},
      {"CORP\\alice", "CORP", "S-1-5-21-1000-2000-3000-1105"},  // the running user
  };
  for (const auto& e : expected) {
    const TSidCache* entry = nullptr;
    for (const auto& candidate : list)
      if (candidate->FullName() == e.fullName) entry = candidate.get();
    ASSERT_NE(entry, nullptr) << e.fullName;
    EXPECT_EQ(entry->Domain(), e.domain);
    EXPECT_EQ(TextOf(entry->Sid()), e.sid);
    EXPECT_EQ(entry->SidLength(), GetLengthSid(entry->Sid()));
  }
  // 27 values with a name, the 19 of BUILTIN and NT AUTHORITY also under ".\".
  EXPECT_EQ(list.size(), 27u + 19u);
  EXPECT_EQ(CachedLookupError(nullptr, ".\\alice"), ERROR_NONE_MAPPED);
}

}  // namespace
