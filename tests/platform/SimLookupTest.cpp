// Account lookups of the simulation: the buffer protocols, the account text
// forms and the failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32api.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::NameSizeQuery;
using tavrin::test::SidBytes;
namespace sim = tavrin::sim;

struct NameResult {
  DWORD error = 0;  // 0: found
  std::vector<BYTE> sid;
  std::string domain;
  SID_NAME_USE use = SidTypeUnknown;
};

// The two-call protocol the program uses: size query, then the real call.
NameResult LookupName(const char* system, const char* name) {
  NameResult r;
  const auto q = NameSizeQuery(system, name);
  r.error = q.error ? q.error : ~0u;  // the size query cannot succeed
  if (q.error != ERROR_INSUFFICIENT_BUFFER) return r;
  DWORD sidSize = q.sidSize, domainSize = q.domainSize;
  r.sid.resize(sidSize);
  std::vector<char> domain(domainSize);
  r.error = 0;
  if (!LookupAccountNameA(system, name, r.sid.data(), &sidSize, domain.data(), &domainSize, &r.use))
    return r.error = GetLastError(), r;
  EXPECT_EQ(domainSize, std::strlen(domain.data())) << "a success counts no zero";
  r.domain = domain.data();
  return r;
}

struct SidResult {
  DWORD error = 0;
  std::string name, domain;
  SID_NAME_USE use = SidTypeUnknown;
};

SidResult LookupSid(const char* system, std::vector<BYTE> sid) {
  SidResult r;
  char name[65] = {}, domain[65] = {};
  DWORD nameSize = 64, domainSize = 64;
  if (!LookupAccountSidA(system, sid.data(), name, &nameSize, domain, &domainSize, &r.use))
    r.error = GetLastError();
  r.name = name;
  r.domain = domain;
  return r;
}

class SimLookup : public tavrin::test::SimTest {};

TEST_F(SimLookup, NameSizeQueryThenLookup) {
  const auto q = NameSizeQuery(nullptr, "CORP\\alice");
  EXPECT_EQ(q.error, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(q.sidSize, 28u);
  EXPECT_EQ(q.domainSize, 5u) << "\"CORP\" and its terminating zero";

  // A SID buffer large enough but a domain buffer one short still fails.
  std::vector<BYTE> sid(q.sidSize);
  char domain[8];
  DWORD sidSize = q.sidSize, shortDomain = 4;
  SID_NAME_USE use;
  EXPECT_FALSE(
      LookupAccountNameA(nullptr, "CORP\\alice", sid.data(), &sidSize, domain, &shortDomain, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(shortDomain, 5u);
}

TEST_F(SimLookup, NameForms) {
  const struct {
    const char *system, *name, *sid, *domain;
    SID_NAME_USE use;
  } cases[] = {
      {nullptr, "CORP\\alice", "S-1-5-21-1000-2000-3000-1105", "CORP", SidTypeUser},
      {nullptr, ".\\localadmin", "S-1-5-21-11-12-13-1001", "WS01", SidTypeUser},
      {"", "localadmin", "S-1-5-21-11-12-13-1001", "WS01", SidTypeUser},
      {nullptr, "ws01\\Printers", "S-1-5-21-11-12-13-1002", "WS01", SidTypeAlias},
      {nullptr, "Administrator", "S-1-5-21-11-12-13-500", "WS01", SidTypeUser},  // local first
      {nullptr, "CORP\\Administrator", "S-1-5-21-1000-2000-3000-500", "CORP", SidTypeUser},
      {nullptr, "None", "S-1-5-21-11-12-13-513", "WS01", SidTypeGroup},
      {nullptr, "WS01", "S-1-5-21-11-12-13", "WS01", SidTypeDomain},
      {nullptr, "corp", "S-1-5-21-1000-2000-3000", "CORP", SidTypeDomain},
      {nullptr, "ёлкин", "S-1-5-21-1000-2000-3000-1107", "CORP", SidTypeUser},
      {nullptr, "Operators", "S-1-5-21-1000-2000-3000-1200", "CORP", SidTypeGroup},
      {nullptr, "Everyone", "S-1-1-0", "", SidTypeWellKnownGroup},
      {nullptr, "authenticated users", "S-1-5-11", "NT AUTHORITY", SidTypeWellKnownGroup},
      {nullptr, "BUILTIN", "S-1-5-32", "BUILTIN", SidTypeDomain},
      {nullptr, "BUILTIN\\Backup Operators", "S-1-5-32-551", "BUILTIN", SidTypeAlias},
      {"\\\\DC01", ".\\alice", "S-1-5-21-1000-2000-3000-1105", "CORP", SidTypeUser},
      {"DC01", "DC01", "S-1-5-21-1000-2000-3000", "CORP", SidTypeDomain},
      {"\\\\SRV01", "Administrator", "S-1-5-21-21-22-23-500", "SRV01", SidTypeUser},
      {"\\\\PC-HOME", "owner", "S-1-5-21-31-32-33-1000", "PC-HOME", SidTypeUser},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " on " + (c.system ? c.system : "(null)"));
    NameResult r = LookupName(c.system, c.name);
    ASSERT_EQ(r.error, 0u);
    EXPECT_EQ(r.sid, SidBytes(c.sid));
    EXPECT_EQ(r.domain, c.domain);
    EXPECT_EQ(r.use, c.use);
  }
}

TEST_F(SimLookup, NameFailures) {
  const struct {
    const char *system, *name;
    DWORD error;
  } cases[] = {
      {nullptr, "nobody", ERROR_NONE_MAPPED},
      {nullptr, "OTHER\\alice", ERROR_NONE_MAPPED},
      {nullptr, ".\\Administrators", ERROR_NONE_MAPPED},  // BUILTIN is not WS01's domain
      {nullptr, "HOME\\owner", ERROR_NONE_MAPPED},
      {"\\\\PC-HOME", "CORP\\alice", ERROR_NONE_MAPPED},  // a workgroup computer
      {"\\\\SRV01", "localadmin", ERROR_NONE_MAPPED},     // WS01's account
      {"\\\\GHOST", "Everyone", RPC_S_SERVER_UNAVAILABLE},
      {"NOWHERE", "Everyone", RPC_S_SERVER_UNAVAILABLE},
  };
  for (const auto& c : cases) EXPECT_EQ(LookupName(c.system, c.name).error, c.error) << c.name;

  // With its controller gone a member no longer resolves the domain's accounts.
  sim::SetAnswers("DC01", false);
  EXPECT_EQ(LookupName(nullptr, "CORP\\alice").error, ERROR_NONE_MAPPED);
  EXPECT_EQ(LookupName(nullptr, "localadmin").error, 0u);
  sim::ClearFaults();
  EXPECT_EQ(LookupName(nullptr, "CORP\\alice").error, 0u);
}

TEST_F(SimLookup, SidSizeProtocol) {
  std::vector<BYTE> sid = SidBytes("S-1-5-21-1000-2000-3000-1105");
  char name[16], domain[16];
  DWORD n = 0, d = 0;
  SID_NAME_USE use;
  EXPECT_FALSE(LookupAccountSidA(nullptr, sid.data(), nullptr, &n, nullptr, &d, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(n, 6u) << "\"alice\" and the zero";
  EXPECT_EQ(d, 5u);
  n = 5;  // exactly the name's length: no room for the zero
  d = 16;
  EXPECT_FALSE(LookupAccountSidA(nullptr, sid.data(), name, &n, domain, &d, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(n, 6u);
  d = 5;
  ASSERT_TRUE(LookupAccountSidA(nullptr, sid.data(), name, &n, domain, &d, &use));
  EXPECT_EQ(std::string(name) + "|" + domain, "alice|CORP");
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(d, 4u);
  EXPECT_EQ(use, SidTypeUser);
}

TEST_F(SimLookup, SidResolution) {
  const struct {
    const char *system, *sid, *name, *domain;
    SID_NAME_USE use;
  } cases[] = {
      {nullptr, "S-1-5-21-11-12-13", "WS01", "WS01", SidTypeDomain},
      {nullptr, "S-1-5-21-11-12-13-513", "None", "WS01", SidTypeGroup},
      {nullptr, "S-1-5-21-1000-2000-3000-512", "Domain Admins", "CORP", SidTypeGroup},
      {nullptr, "S-1-5-21-1000-2000-3000-1107", "Ёлкин", "CORP", SidTypeUser},
      {nullptr, "S-1-5-32-544", "Administrators", "BUILTIN", SidTypeAlias},
      {nullptr, "S-1-5-32", "BUILTIN", "BUILTIN", SidTypeDomain},
      {nullptr, "S-1-0-0", "NULL SID", "", SidTypeWellKnownGroup},
      {nullptr, "S-1-5-7", "ANONYMOUS LOGON", "NT AUTHORITY", SidTypeWellKnownGroup},
      {"\\\\SRV01", "S-1-5-21-21-22-23-501", "Guest", "SRV01", SidTypeUser},
      {"DC01", "S-1-5-21-1000-2000-3000-1300", "Helpdesk", "CORP", SidTypeAlias},
  };
  for (const auto& c : cases) {
    SidResult r = LookupSid(c.system, SidBytes(c.sid));
    ASSERT_EQ(r.error, 0u) << c.sid;
    EXPECT_EQ(r.name + "|" + r.domain, std::string(c.name) + "|" + c.domain) << c.sid;
    EXPECT_EQ(r.use, c.use) << c.sid;
  }
  const struct {
    const char *system, *sid;
    DWORD error;
  } failures[] = {
      {nullptr, "S-1-5-21-1000-2000-3000-1999", ERROR_NONE_MAPPED},  // deleted
      {nullptr, "S-1-5-21-21-22-23-500", ERROR_NONE_MAPPED},         // SRV01's own
      {nullptr, "S-1-5-32-553", ERROR_NONE_MAPPED},
      {"GHOST", "S-1-1-0", RPC_S_SERVER_UNAVAILABLE},
  };
  for (const auto& c : failures)
    EXPECT_EQ(LookupSid(c.system, SidBytes(c.sid)).error, c.error) << c.sid;
  std::vector<BYTE> bad = SidBytes("S-1-5-32-544");
  bad[0] = 2;
  EXPECT_EQ(LookupSid(nullptr, bad).error, ERROR_INVALID_SID);
}

}  // namespace
