// The SID center and the lookup cache on the simulated network: which
// account texts reach which computer, what a failing lookup leaves, and how
// often each server is asked about its well-known accounts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterCache.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using tavrin::test::SimTest;

constexpr const char* NoneMapped =
    "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs was done";

using Names = std::vector<std::string>;

// The account texts LookupAccountNameA was asked for, as "target|text".
Names NameLookups() {
  Names lookups;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "LookupAccountNameA") lookups.push_back(call.target + "|" + call.argument);
  return lookups;
}

size_t SidLookupsTo(const std::string& target) {
  size_t n = 0;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "LookupAccountSidA" && call.target == target) ++n;
  return n;
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

const TSidCache* FindEntry(const TSidCacheServerList& list, const std::string& fullName) {
  for (const auto& entry : list)
    if (entry->FullName() == fullName) return entry.get();
  return nullptr;
}

class SidCenterSim : public SimTest {};

TEST_F(SidCenterSim, EachAccountTextFormReachesTheServer) {
  // The call log's target and the account text looked up, as "target|text".
  const struct {
    const char *server, *domain, *name, *lookup, *sid;
  } cases[] = {
      {"", "CORP", "alice", "|CORP\\alice", "S-1-5-21-1000-2000-3000-1105"},
      {"", "CORP", "Ёлкин", "|CORP\\Ёлкин", "S-1-5-21-1000-2000-3000-1107"},
      {"", "", "localadmin", "|.\\localadmin", "S-1-5-21-11-12-13-1001"},
      {"", "CORP", "", "|CORP", "S-1-5-21-1000-2000-3000"},
      {"", "", "", "|WS01", "S-1-5-21-11-12-13"},
      {"DC01", "", "bob", "DC01|.\\bob", "S-1-5-21-1000-2000-3000-1106"},
      {"SRV01", "", "Administrator", "SRV01|.\\Administrator", "S-1-5-21-21-22-23-500"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lookup);
    TvmSidCenter sc;
    sc.SetServer(c.server);
    sc.SetDomain(c.domain);
    sc.SetUserName(c.name);
    sim::ClearCalls();
    EXPECT_EQ(sc.SidString(), c.sid);
    ASSERT_NE(sc.GetSid(), nullptr);
    EXPECT_EQ(sc.SidLength(), GetLengthSid(sc.GetSid()));
    sc.WellKnown();
    // A size query and the lookup itself, then nothing more for other reads.
    EXPECT_EQ(NameLookups(), Names(2, c.lookup));
    EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 0u);
    EXPECT_TRUE(sc.Errors().empty());
    EXPECT_EQ(CacheList()->Count(), 0u);  // resolved names never reach the cache
  }
}

TEST_F(SidCenterSim, ServerChangeLooksTheNameUpAgain) {
  TvmSidCenter sc;
  sc.SetUserName("Administrator");
  EXPECT_EQ(TextOf(sc.GetSid()), "S-1-5-21-11-12-13-500");
  EXPECT_EQ(sc.WellKnown(), wkAdmin);
  sim::ClearCalls();
  sc.SetServer("SRV01");
  EXPECT_EQ(sc.Source(), ssName);
  EXPECT_EQ(TextOf(sc.GetSid()), "S-1-5-21-21-22-23-500");
  EXPECT_EQ(NameLookups(), Names(2, "SRV01|.\\Administrator"));

  // After a write of Domain the name pair stays, and one lookup follows.
  sc.SetDomain("CORP");
  sim::ClearCalls();
  EXPECT_EQ(sc.UserName(), "Administrator");
  EXPECT_EQ(sc.SidString(), "S-1-5-21-1000-2000-3000-500");
  EXPECT_EQ(sim::CountCalls("LookupAccountNameA"), 2u);
}

TEST_F(SidCenterSim, UnknownNameFailsOncePerReadUntilTheNextWrite) {
  TvmSidCenter sc;
  sc.SetDomain("CORP");
  sc.SetUserName("nobody");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sc.Domain() + "\\" + sc.UserName(), "CORP\\nobody") << "the given pair stays";
  EXPECT_EQ(sc.Errors(), std::vector<std::string>{NoneMapped});
  std::string aborted;
  try {
    sc.GetSid();
  } catch (const EAbort& e) {
    aborted = e.what();
  }
  EXPECT_EQ(aborted, "Operation aborted");
  EXPECT_THROW(sc.WellKnown(), EAbort);
  EXPECT_EQ(sc.Errors(), std::vector<std::string>(3, NoneMapped)) << "one entry per failing read";
  sc.SetDomain("");
  EXPECT_EQ(sc.Errors().size(), 3u);
  sc.SetServer("");
  EXPECT_TRUE(sc.Errors().empty());

  // A computer that does not answer.
  TvmSidCenter ghost;
  ghost.SetServer("GHOST");
  ghost.SetUserName("Administrator");
  EXPECT_EQ(ghost.SidString(), "");
  ASSERT_EQ(ghost.Errors().size(), 1u);
  EXPECT_EQ(ghost.Errors()[0].rfind("Win32 Error.  Code: ", 0), 0u);
}

TEST_F(SidCenterSim, DomainRelativeValuesAreBuiltFromTheDomainSid) {
  const struct {
    const char* server;
    const char* domain;
    TvmWellKnownSid value;
    const char* sid;
    const char* name;
    const char* nameDomain;
  } cases[] = {
      {"", "CORP", wkAdmin, "S-1-5-21-1000-2000-3000-500", "Administrator", "CORP"},
      {"", "corp", wkGuest, "S-1-5-21-1000-2000-3000-501", "Guest", "CORP"},
      {"", "CORP", wkAdminsGroup, "S-1-5-21-1000-2000-3000-512", "Domain Admins", "CORP"},
      {"", "CORP", wkUsersGroup, "S-1-5-21-1000-2000-3000-513", "Domain Users", "CORP"},
      {"", "CORP", wkGuestsGroup, "S-1-5-21-1000-2000-3000-514", "Domain Guests", "CORP"},
      {"", "", wkGuest, "S-1-5-21-11-12-13-501", "Guest", "WS01"},
      {"SRV01", "SRV01", wkUsersGroup, "S-1-5-21-21-22-23-513", "None", "SRV01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sid);
    TvmSidCenter sc;
    sc.SetServer(c.server);
    sc.SetDomain(c.domain);
    sc.SetWellKnown(c.value);
    EXPECT_EQ(sc.SidString(), c.sid);
    EXPECT_EQ(sc.Explicit().SubAuthorityCount, 5);
    EXPECT_EQ(sc.Source(), ssWellKnown);
    EXPECT_EQ(sc.WellKnown(), c.value);
    EXPECT_FALSE(sc.NameReady());
    // The name comes from looking the built SID up.
    EXPECT_EQ(sc.UserName(), c.name);
    EXPECT_EQ(sc.Domain(), c.nameDomain);
    TvmSidCenter back;
    back.SetSidString(c.sid);
    EXPECT_EQ(back.WellKnown(), c.value);
    EXPECT_TRUE(sc.Errors().empty());
  }
}

TEST_F(SidCenterSim, FailedDomainLookupKeepsTheGivenKind) {
  TvmSidCenter sc;
  sc.SetDomain("NOWHERE");
  sc.SetWellKnown(wkAdmin);
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sc.Errors(), std::vector<std::string>{NoneMapped});
  // Still the administrator of a domain to be found, not the bare domain.
  EXPECT_EQ(sc.Source(), ssWellKnown);
  EXPECT_TRUE(sc.WellKnownReady());
  EXPECT_FALSE(sc.NameReady());
  EXPECT_EQ(sc.UserName(), "");
  EXPECT_THROW(sc.GetSid(), EAbort);
  EXPECT_EQ(sc.Errors().size(), 3u);
  sc.SetDomain("CORP");
  EXPECT_EQ(sc.SidString(), "S-1-5-21-1000-2000-3000-500");
  EXPECT_EQ(sc.UserName(), "Administrator");
}

TEST_F(SidCenterSim, CacheIsFilledOncePerServerKey) {
  EXPECT_EQ(CacheList()->Count(), 0u);
  sim::ClearCalls();
  TvmSidCenter sc;
  sc.SetServer("srv01");
  sc.SetUserName("nobody");
  EXPECT_EQ(sc.SidString(), "");
  ASSERT_EQ(CacheList()->Count(), 1u);
  EXPECT_EQ(CacheList()->Key(0), "SRV01");
  // 27 well-known values and the two domain reads, all against the server.
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 29u);
  EXPECT_EQ(SidLookupsTo("SRV01"), 29u);

  // Other unresolved names, other spellings of the server: no second fill.
  sc.SetUserName("nobody else");
  EXPECT_EQ(sc.SidString(), "");
  sc.SetServer("Srv01");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 29u);
  EXPECT_EQ(CacheList()->Count(), 1u);

  // No server and an empty one share the key "\", filled against this computer.
  sim::ClearCalls();
  EXPECT_EQ(CachedLookupError(nullptr, "nobody"), ERROR_NONE_MAPPED);
  EXPECT_EQ(CachedLookupError("", "nobody"), ERROR_NONE_MAPPED);
  ASSERT_EQ(CacheList()->Count(), 2u);
  EXPECT_EQ(CacheList()->Key(1), "\\");
  EXPECT_EQ(SidLookupsTo(""), 29u);
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 29u);

  // The end step destroys the lists; the next start begins empty.
  tavrin::RunEndSteps();
  EXPECT_EQ(CacheList(), nullptr);
  tavrin::RunStartSteps();
  ASSERT_NE(CacheList(), nullptr);
  EXPECT_EQ(CacheList()->Count(), 0u);
}

TEST_F(SidCenterSim, CacheHoldsTheServersNamesForLocallyBuiltSids) {
  FillCache("\\");
  ASSERT_EQ(CacheList()->Count(), 1u);
  const TSidCacheServerList& list = CacheList()->Accounts(0);
  const struct {
    const char* fullName;
    const char* domain;
    const char* sid;
  } expected[] = {
      {"BUILTIN\\Administrators", "BUILTIN", "S-1-5-32-544"},
      {".\\Administrators", "", "S-1-5-32-544"},
      {"BUILTIN\\BUILTIN", "BUILTIN", "S-1-5-32"},
      {".\\BUILTIN", "", "S-1-5-32"},
      {"NT AUTHORITY\\SYSTEM", "NT AUTHORITY", "S-1-5-18"},
      {".\\SYSTEM", "", "S-1-5-18"},
      {".\\Everyone", "", "S-1-1-0"},
      {".\\CREATOR OWNER", "", "S-1-3-0"},
      {"CORP\\alice", "CORP", "S-1-5-21-1000-2000-3000-1105"},  // the running user
  };
  for (const auto& e : expected) {
    const TSidCache* entry = FindEntry(list, e.fullName);
    ASSERT_NE(entry, nullptr) << e.fullName;
    EXPECT_EQ(entry->Domain(), e.domain);
    EXPECT_EQ(TextOf(entry->Sid()), e.sid);
    EXPECT_EQ(entry->SidLength(), GetLengthSid(entry->Sid()));
  }
  EXPECT_EQ(FindEntry(list, ".\\alice"), nullptr);
  // 27 values with a name, the 19 of BUILTIN and NT AUTHORITY also under ".\".
  EXPECT_EQ(list.size(), 27u + 19u);
  EXPECT_LE(list.size(), 54u);
}

TEST_F(SidCenterSim, CacheAnswersWithTheSystemsBufferProtocol) {
  // The system itself does not map ".\Administrators": the alias is not in
  // this computer's account domain. The cache does, in any letter case.
  const char* account = ".\\administrators";
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = SidTypeLabel;
  sim::ClearCalls();
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
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 29u);

  EXPECT_EQ(CachedLookupError(nullptr, ".\\Nobody"), ERROR_NONE_MAPPED) << "absent from the list";

  // And through the SID center, whose name pair goes the same way.
  TvmSidCenter sc;
  sc.SetUserName("Administrators");
  EXPECT_EQ(sc.SidString(), "S-1-5-32-544");
  EXPECT_EQ(sc.WellKnown(), wkAdminsAlias);
  EXPECT_TRUE(sc.Errors().empty());
}

TEST_F(SidCenterSim, UnreachableServerKeepsAnEmptyList) {
  TvmSidCenter sc;
  sc.SetServer("GHOST");
  sc.SetDomain("BUILTIN");
  sc.SetUserName("Administrators");
  EXPECT_EQ(sc.SidString(), "");
  ASSERT_EQ(CacheList()->Count(), 1u);
  EXPECT_EQ(CacheList()->Key(0), "GHOST");
  EXPECT_TRUE(CacheList()->Accounts(0).empty());

  // It answers again: the system resolves names itself, but what only the
  // cache could answer stays unanswered for the rest of the run.
  sim::SetAnswers("GHOST", true);
  sim::ClearCalls();
  sc.SetUserName("Administrators");
  sc.SetDomain("BUILTIN");
  EXPECT_EQ(sc.SidString(), "S-1-5-32-544");
  sc.SetDomain("");
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sc.Errors().back(), NoneMapped);
  EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 0u);
  EXPECT_TRUE(CacheList()->Accounts(0).empty());
}

}  // namespace
