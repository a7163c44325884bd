// Account lookups, the process token and the SID helpers of the simulation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32api.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::SidBytes;
namespace sim = tavrin::sim;

struct NameResult {
  BOOL ok = FALSE;
  DWORD error = 0;
  std::vector<BYTE> sid;
  std::string domain;
  SID_NAME_USE use = SidTypeUnknown;
};

// The two-call protocol the program uses: size query, then the real call.
NameResult LookupName(const char* system, const char* name) {
  NameResult r;
  DWORD sidSize = 0, domainSize = 0;
  SetLastError(0);
  r.ok = LookupAccountNameA(system, name, nullptr, &sidSize, nullptr, &domainSize, &r.use);
  r.error = GetLastError();
  if (r.ok || r.error != ERROR_INSUFFICIENT_BUFFER) return r;
  r.sid.resize(sidSize);
  std::vector<char> domain(domainSize);
  r.ok =
      LookupAccountNameA(system, name, r.sid.data(), &sidSize, domain.data(), &domainSize, &r.use);
  r.error = r.ok ? 0 : GetLastError();
  if (r.ok) {
    EXPECT_EQ(domainSize, std::strlen(domain.data()))
        << "a success reports the length without the zero";
    r.domain = domain.data();
  }
  return r;
}

struct SidResult {
  BOOL ok = FALSE;
  DWORD error = 0;
  std::string name, domain;
  SID_NAME_USE use = SidTypeUnknown;
};

SidResult LookupSid(const char* system, const std::string& sidText) {
  SidResult r;
  std::vector<BYTE> sid = SidBytes(sidText);
  char name[65] = {}, domain[65] = {};
  DWORD nameSize = 64, domainSize = 64;
  SetLastError(0);
  r.ok = LookupAccountSidA(system, sid.data(), name, &nameSize, domain, &domainSize, &r.use);
  r.error = r.ok ? 0 : GetLastError();
  r.name = name;
  r.domain = domain;
  return r;
}

class SimLookup : public tavrin::test::SimTest {};

TEST_F(SimLookup, NameSizeQueryThenLookup) {
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use = SidTypeUnknown;
  EXPECT_FALSE(
      LookupAccountNameA(nullptr, "CORP\\alice", nullptr, &sidSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(sidSize, 28u);
  EXPECT_EQ(domainSize, 5u) << "\"CORP\" and its terminating zero";

  // A SID buffer large enough but a domain buffer one short still fails.
  std::vector<BYTE> sid(sidSize);
  char domain[8];
  DWORD shortDomain = 4;
  EXPECT_FALSE(
      LookupAccountNameA(nullptr, "CORP\\alice", sid.data(), &sidSize, domain, &shortDomain, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(shortDomain, 5u);

  NameResult r = LookupName(nullptr, "CORP\\alice");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.sid, SidBytes("S-1-5-21-1000-2000-3000-1105"));
  EXPECT_EQ(r.domain, "CORP");
  EXPECT_EQ(r.use, SidTypeUser);
}

TEST_F(SimLookup, NameForms) {
  const struct {
    const char* system;
    const char* name;
    const char* sid;
    const char* domain;
    SID_NAME_USE use;
  } cases[] = {
      {nullptr, ".\\localadmin", "S-1-5-21-11-12-13-1001", "WS01", SidTypeUser},
      {"", "localadmin", "S-1-5-21-11-12-13-1001", "WS01", SidTypeUser},
      {nullptr, "ws01\\Printers", "S-1-5-21-11-12-13-1002", "WS01", SidTypeAlias},
      {nullptr, "Administrator", "S-1-5-21-11-12-13-500", "WS01", SidTypeUser},  // local first
      {nullptr, "CORP\\Administrator", "S-1-5-21-1000-2000-3000-500", "CORP", SidTypeUser},
      {nullptr, "None", "S-1-5-21-11-12-13-513", "WS01", SidTypeGroup},
      {nullptr, "WS01", "S-1-5-21-11-12-13", "WS01", SidTypeDomain},
      {nullptr, "corp", "S-1-5-21-1000-2000-3000", "CORP", SidTypeDomain},
      {nullptr, "bob", "S-1-5-21-1000-2000-3000-1106", "CORP", SidTypeUser},
      {nullptr, "ёлкин", "S-1-5-21-1000-2000-3000-1107", "CORP", SidTypeUser},
      {nullptr, "CORP\\Domain Admins", "S-1-5-21-1000-2000-3000-512", "CORP", SidTypeGroup},
      {nullptr, "Operators", "S-1-5-21-1000-2000-3000-1200", "CORP", SidTypeGroup},
      {nullptr, "Everyone", "S-1-1-0", "", SidTypeWellKnownGroup},
      {nullptr, "CREATOR OWNER", "S-1-3-0", "", SidTypeWellKnownGroup},
      {nullptr, "NT AUTHORITY\\SYSTEM", "S-1-5-18", "NT AUTHORITY", SidTypeWellKnownGroup},
      {nullptr, "authenticated users", "S-1-5-11", "NT AUTHORITY", SidTypeWellKnownGroup},
      {nullptr, "BUILTIN", "S-1-5-32", "BUILTIN", SidTypeDomain},
      {nullptr, "BUILTIN\\Backup Operators", "S-1-5-32-551", "BUILTIN", SidTypeAlias},
      {"\\\\DC01", ".\\alice", "S-1-5-21-1000-2000-3000-1105", "CORP", SidTypeUser},
      {"DC01", "DC01", "S-1-5-21-1000-2000-3000", "CORP", SidTypeDomain},
      {"\\\\SRV01", "Administrator", "S-1-5-21-21-22-23-500", "SRV01", SidTypeUser},
      {"\\\\PC-HOME", "owner", "S-1-5-21-31-32-33-1000", "PC-HOME", SidTypeUser},
  };
  for (const auto& c : cases) {
    NameResult r = LookupName(c.system, c.name);
    ASSERT_TRUE(r.ok) << c.name << " on " << (c.system ? c.system : "(null)") << ": " << r.error;
    EXPECT_EQ(r.sid, SidBytes(c.sid)) << c.name;
    EXPECT_EQ(r.domain, c.domain) << c.name;
    EXPECT_EQ(r.use, c.use) << c.name;
  }
}

TEST_F(SimLookup, NameFailures) {
  EXPECT_EQ(LookupName(nullptr, "nobody").error, ERROR_NONE_MAPPED);
  EXPECT_EQ(LookupName(nullptr, "OTHER\\alice").error, ERROR_NONE_MAPPED);
  EXPECT_EQ(LookupName(nullptr, ".\\Administrators").error, ERROR_NONE_MAPPED)
      << "the built-in aliases are not in the computer's own domain";
  EXPECT_EQ(LookupName(nullptr, "HOME\\owner").error, ERROR_NONE_MAPPED);
  EXPECT_EQ(LookupName("\\\\PC-HOME", "CORP\\alice").error, ERROR_NONE_MAPPED)
      << "a workgroup computer";
  EXPECT_EQ(LookupName("\\\\SRV01", "localadmin").error, ERROR_NONE_MAPPED) << "WS01's account";
  EXPECT_EQ(LookupName("\\\\GHOST", "Everyone").error, RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(LookupName("NOWHERE", "Everyone").error, RPC_S_SERVER_UNAVAILABLE);

  // With its controller gone a member no longer resolves the domain's accounts.
  sim::SetAnswers("DC01", false);
  EXPECT_EQ(LookupName(nullptr, "CORP\\alice").error, ERROR_NONE_MAPPED);
  EXPECT_TRUE(LookupName(nullptr, "localadmin").ok);
  sim::ClearFaults();
  EXPECT_TRUE(LookupName(nullptr, "CORP\\alice").ok);
}

TEST_F(SimLookup, SidSizeProtocol) {
  std::vector<BYTE> sid = SidBytes("S-1-5-21-1000-2000-3000-1105");
  DWORD nameSize = 0, domainSize = 0;
  SID_NAME_USE use;
  EXPECT_FALSE(
      LookupAccountSidA(nullptr, sid.data(), nullptr, &nameSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(nameSize, 6u);  // "alice" and the zero
  EXPECT_EQ(domainSize, 5u);

  char name[16], domain[16];
  nameSize = 5;  // exactly the name's length: no room for the zero
  domainSize = 16;
  EXPECT_FALSE(LookupAccountSidA(nullptr, sid.data(), name, &nameSize, domain, &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(nameSize, 6u);

  nameSize = 6;
  domainSize = 5;
  ASSERT_TRUE(LookupAccountSidA(nullptr, sid.data(), name, &nameSize, domain, &domainSize, &use));
  EXPECT_STREQ(name, "alice");
  EXPECT_STREQ(domain, "CORP");
  EXPECT_EQ(nameSize, 5u);
  EXPECT_EQ(domainSize, 4u);
  EXPECT_EQ(use, SidTypeUser);
}

TEST_F(SimLookup, SidResolution) {
  const struct {
    const char* system;
    const char* sid;
    const char* name;
    const char* domain;
    SID_NAME_USE use;
  } cases[] = {
      {nullptr, "S-1-5-21-11-12-13", "", "WS01", SidTypeDomain},
      {nullptr, "S-1-5-21-11-12-13-513", "None", "WS01", SidTypeGroup},
      {nullptr, "S-1-5-21-1000-2000-3000", "", "CORP", SidTypeDomain},
      {nullptr, "S-1-5-21-1000-2000-3000-512", "Domain Admins", "CORP", SidTypeGroup},
      {nullptr, "S-1-5-21-1000-2000-3000-1107", "Ёлкин", "CORP", SidTypeUser},
      {nullptr, "S-1-5-32-544", "Administrators", "BUILTIN", SidTypeAlias},
      {nullptr, "S-1-5-32-552", "Replicator", "BUILTIN", SidTypeAlias},
      {nullptr, "S-1-5-32", "BUILTIN", "BUILTIN", SidTypeDomain},
      {nullptr, "S-1-0-0", "NULL SID", "", SidTypeWellKnownGroup},
      {nullptr, "S-1-5-7", "ANONYMOUS LOGON", "NT AUTHORITY", SidTypeWellKnownGroup},
      {"\\\\SRV01", "S-1-5-21-21-22-23-501", "Guest", "SRV01", SidTypeUser},
      {"DC01", "S-1-5-21-1000-2000-3000-1300", "Helpdesk", "CORP", SidTypeAlias},
  };
  for (const auto& c : cases) {
    SidResult r = LookupSid(c.system, c.sid);
    ASSERT_TRUE(r.ok) << c.sid << ": " << r.error;
    EXPECT_EQ(r.name, c.name) << c.sid;
    EXPECT_EQ(r.domain, c.domain) << c.sid;
    EXPECT_EQ(r.use, c.use) << c.sid;
  }
  EXPECT_EQ(LookupSid(nullptr, "S-1-5-21-1000-2000-3000-1999").error, ERROR_NONE_MAPPED)
      << "deleted";
  EXPECT_EQ(LookupSid(nullptr, "S-1-5-21-21-22-23-500").error, ERROR_NONE_MAPPED) << "SRV01's own";
  EXPECT_EQ(LookupSid(nullptr, "S-1-5-32-553").error, ERROR_NONE_MAPPED);
  EXPECT_EQ(LookupSid("GHOST", "S-1-1-0").error, RPC_S_SERVER_UNAVAILABLE);

  std::vector<BYTE> bad = SidBytes("S-1-5-32-544");
  bad[0] = 2;
  char name[65], domain[65];
  DWORD n = 64, d = 64;
  SID_NAME_USE use;
  EXPECT_FALSE(LookupAccountSidA(nullptr, bad.data(), name, &n, domain, &d, &use));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_SID);
}

TEST_F(SimLookup, ProcessTokenGivesTheRunningUser) {
  const size_t before = sim::OpenTokenHandles();
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD needed = 0;
  EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, sizeof(TOKEN_USER) + 28u);
  EXPECT_EQ(needed, 44u);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed));
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  ASSERT_TRUE(IsValidSid(user->User.Sid));
  std::vector<BYTE> alice = SidBytes("S-1-5-21-1000-2000-3000-1105");
  EXPECT_EQ(GetLengthSid(user->User.Sid), 28u);
  EXPECT_TRUE(EqualSid(user->User.Sid, alice.data()));
  EXPECT_EQ(sim::OpenTokenHandles(), before + 1);
  EXPECT_TRUE(CloseHandle(token));
  EXPECT_EQ(sim::OpenTokenHandles(), before);
  EXPECT_FALSE(CloseHandle(token));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(SimSidHelpers, ValidityLengthAndEquality) {
  std::vector<BYTE> admins = SidBytes("S-1-5-32-544");
  std::vector<BYTE> users = SidBytes("S-1-5-32-545");
  SetLastError(1234);
  EXPECT_TRUE(IsValidSid(admins.data()));
  EXPECT_FALSE(IsValidSid(nullptr));
  std::vector<BYTE> bad = admins;
  bad[0] = 2;
  EXPECT_FALSE(IsValidSid(bad.data()));
  std::vector<BYTE> sixteen(8 + 4 * 16, 0);
  sixteen[0] = 1;
  sixteen[1] = 16;
  EXPECT_FALSE(IsValidSid(sixteen.data()));
  EXPECT_EQ(GetLastError(), 1234u) << "IsValidSid leaves the last error alone";
  EXPECT_EQ(GetLengthSid(admins.data()), 16u);
  EXPECT_TRUE(EqualSid(admins.data(), SidBytes("S-1-5-32-544").data()));
  EXPECT_FALSE(EqualSid(admins.data(), users.data()));
  EXPECT_FALSE(EqualSid(SidBytes("S-1-5-32").data(), admins.data()));
}

}  // namespace
