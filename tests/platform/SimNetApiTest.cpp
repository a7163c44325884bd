// The simulated network management functions and the call log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32api.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::Narrow;
namespace sim = tavrin::sim;
using Names = std::vector<std::string>;

struct Pass {
  Names names;
  std::vector<NET_API_STATUS> statuses;
  std::vector<DWORD> counts;
  NET_API_STATUS last = 0;
};

// Runs a batched level-0 enumeration the way the account picker does.
template <typename Call>
Pass Enumerate(Call call) {
  Pass pass;
  DWORD_PTR resume = 0;
  for (int guard = 0; guard < 1000; ++guard) {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    const NET_API_STATUS status = call(&buffer, &read, &total, &resume);
    pass.statuses.push_back(status);
    pass.last = status;
    if (status != NERR_Success && status != ERROR_MORE_DATA) {
      EXPECT_EQ(buffer, nullptr);
      break;
    }
    pass.counts.push_back(read);
    const auto* entries = reinterpret_cast<const USER_INFO_0*>(buffer);
    for (DWORD i = 0; i < read; ++i) pass.names.push_back(Narrow(entries[i].usri0_name));
    EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
    if (status == NERR_Success) break;
  }
  return pass;
}

Pass Users(const char16_t* server, DWORD prefmaxlen) {
  return Enumerate([&](LPBYTE* buffer, LPDWORD read, LPDWORD total, DWORD_PTR* resume) {
    DWORD r = static_cast<DWORD>(*resume);
    NET_API_STATUS s =
        NetUserEnum(server, 0, FILTER_NORMAL_ACCOUNT, buffer, prefmaxlen, read, total, &r);
    *resume = r;
    return s;
  });
}

Pass LocalGroups(const char16_t* server, DWORD prefmaxlen) {
  return Enumerate([&](LPBYTE* buffer, LPDWORD read, LPDWORD total, DWORD_PTR* resume) {
    return NetLocalGroupEnum(server, 0, buffer, prefmaxlen, read, total, resume);
  });
}

Pass GlobalGroups(const char16_t* server, DWORD prefmaxlen) {
  return Enumerate([&](LPBYTE* buffer, LPDWORD read, LPDWORD total, DWORD_PTR* resume) {
    return NetGroupEnum(server, 0, buffer, prefmaxlen, read, total, resume);
  });
}

class SimNetApi : public tavrin::test::SimTest {};

TEST_F(SimNetApi, UserEnumAtPreferredLengthOneGivesOneEntryPerCall) {
  const size_t buffers = sim::OutstandingNetBuffers();
  Pass local = Users(nullptr, 1);
  EXPECT_EQ(local.names, (Names{"Administrator", "Guest", "localadmin"}));
  EXPECT_EQ(local.statuses,
            (std::vector<NET_API_STATUS>{ERROR_MORE_DATA, ERROR_MORE_DATA, NERR_Success}));
  EXPECT_EQ(local.counts, (std::vector<DWORD>{1, 1, 1}));

  Pass domain = Users(u"\\\\DC01", 1);
  EXPECT_EQ(domain.names.size(), 5u);
  EXPECT_EQ(domain.names[2], "alice");
  EXPECT_EQ(domain.statuses.back(), NERR_Success);
  EXPECT_EQ(sim::OutstandingNetBuffers(), buffers);

  EXPECT_EQ(Users(u"\\\\GHOST", 1).last, ERROR_BAD_NETPATH);
  EXPECT_EQ(Users(u"\\\\NOWHERE", 1).last, ERROR_BAD_NETPATH);
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetUserEnum(nullptr, 1, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            ERROR_INVALID_LEVEL);
}

TEST_F(SimNetApi, GroupEnumerationsBatchAtPreferredLength) {
  sim::NetworkBuilder b;
  b.ThisComputer("BIG").Computer("BIG");
  Names expected = {
      "Administrators",   "Users",           "Guests",           "Power Users", "Account Operators",
      "Server Operators", "Print Operators", "Backup Operators", "Replicator"};
  for (int i = 0; i < 40; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "group%02d", i);
    b.LocalGroup(name, 2000 + i);
    expected.push_back(name);
  }
  Reinstall(b.Build());
  Pass pass = LocalGroups(nullptr, 256);
  EXPECT_EQ(pass.names, expected);
  ASSERT_GT(pass.counts.size(), 2u);
  for (size_t i = 0; i + 1 < pass.statuses.size(); ++i)
    EXPECT_EQ(pass.statuses[i], ERROR_MORE_DATA);
  EXPECT_EQ(pass.last, NERR_Success);
  // Each batch holds as many whole entries as fit in 256 bytes, never fewer.
  auto cost = [](const std::string& n) {
    return sizeof(LOCALGROUP_INFO_0) + (n.size() + 1) * sizeof(WCHAR);
  };
  size_t at = 0;
  for (size_t b = 0; b < pass.counts.size(); ++b) {
    size_t bytes = 0;
    for (size_t k = 0; k < pass.counts[b]; ++k) bytes += cost(pass.names[at + k]);
    at += pass.counts[b];
    EXPECT_LE(bytes, 256u) << "batch " << b;
    if (at < pass.names.size()) {
      EXPECT_GT(bytes + cost(pass.names[at]), 256u) << "batch " << b;
    }
  }

  // Everything at once with the maximum length.
  Pass all = LocalGroups(nullptr, MAX_PREFERRED_LENGTH);
  EXPECT_EQ(all.counts, std::vector<DWORD>{49});
}

TEST_F(SimNetApi, GlobalGroups) {
  EXPECT_EQ(GlobalGroups(nullptr, 256).names, Names{"None"}) << "a workstation lists \"None\"";
  EXPECT_EQ(GlobalGroups(u"\\\\DC01", 256).names,
            (Names{"Domain Admins", "Domain Users", "Domain Guests", "Operators"}));
  EXPECT_EQ(LocalGroups(u"PC-HOME", 256).names.size(), 9u);
}

TEST_F(SimNetApi, ServerEnumListsTheBrowser) {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  ASSERT_EQ(
      NetServerEnum(nullptr, 101, &buffer, 4096, &read, &total, SV_TYPE_ALL, nullptr, &resume),
      NERR_Success);
  ASSERT_EQ(read, 4u);
  EXPECT_EQ(total, 4u);
  const auto* servers = reinterpret_cast<const SERVER_INFO_101*>(buffer);
  Names names;
  for (DWORD i = 0; i < read; ++i) names.push_back(Narrow(servers[i].sv101_name));
  EXPECT_EQ(names, (Names{"DC01", "WS01", "SRV01", "GHOST"})) << "the primary domain's browse list";
  EXPECT_EQ(servers[0].sv101_platform_id, PLATFORM_ID_NT);
  EXPECT_TRUE(servers[0].sv101_type & SV_TYPE_DOMAIN_CTRL);
  EXPECT_FALSE(servers[1].sv101_type & SV_TYPE_DOMAIN_CTRL);
  NetApiBufferFree(buffer);

  // A short preferred length: 234, whole entries only, the total stays.
  ASSERT_EQ(NetServerEnum(nullptr, 101, &buffer, 100, &read, &total, SV_TYPE_ALL, nullptr, &resume),
            ERROR_MORE_DATA);
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(total, 4u);
  NetApiBufferFree(buffer);

  ASSERT_EQ(NetServerEnum(nullptr, 100, &buffer, 4096, &read, &total, SV_TYPE_DOMAIN_ENUM, nullptr,
                          &resume),
            NERR_Success);
  const auto* domains = reinterpret_cast<const SERVER_INFO_100*>(buffer);
  ASSERT_EQ(read, 2u);
  EXPECT_EQ(Narrow(domains[0].sv100_name), "CORP");
  EXPECT_EQ(Narrow(domains[1].sv100_name), "HOME");
  NetApiBufferFree(buffer);

  ASSERT_EQ(
      NetServerEnum(nullptr, 100, &buffer, 4096, &read, &total, SV_TYPE_ALL, u"home", &resume),
      NERR_Success);
  EXPECT_EQ(read, 1u);
  NetApiBufferFree(buffer);

  resume = 5;
  EXPECT_EQ(
      NetServerEnum(nullptr, 101, &buffer, 4096, &read, &total, SV_TYPE_ALL, nullptr, &resume),
      ERROR_INVALID_PARAMETER);
  resume = 0;
  EXPECT_EQ(
      NetServerEnum(u"\\\\WS01", 101, &buffer, 4096, &read, &total, SV_TYPE_ALL, nullptr, &resume),
      ERROR_INVALID_PARAMETER);
  EXPECT_EQ(
      NetServerEnum(nullptr, 102, &buffer, 4096, &read, &total, SV_TYPE_ALL, nullptr, &resume),
      ERROR_INVALID_LEVEL);
  sim::SetBrowserAnswers(false);
  EXPECT_EQ(
      NetServerEnum(nullptr, 101, &buffer, 4096, &read, &total, SV_TYPE_ALL, nullptr, &resume),
      ERROR_NO_BROWSER_SERVERS_FOUND);
  sim::ClearFaults();
  sim::FailEnumeration("NetServerEnum", "", 1450);
  EXPECT_EQ(
      NetServerEnum(nullptr, 101, &buffer, 4096, &read, &total, SV_TYPE_ALL, nullptr, &resume),
      1450u);
  EXPECT_EQ(buffer, nullptr);
}

TEST_F(SimNetApi, ControllerSearchAndReachability) {
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetGetAnyDCName(nullptr, u"CORP", &buffer), NERR_Success);
  EXPECT_EQ(Narrow(reinterpret_cast<const WCHAR*>(buffer)), "\\\\DC01");
  NetApiBufferFree(buffer);
  EXPECT_EQ(NetGetAnyDCName(nullptr, u"HOME", &buffer), NERR_DCNotFound);
  EXPECT_EQ(NetGetAnyDCName(nullptr, u"NOWHERE", &buffer), ERROR_NO_SUCH_DOMAIN);
  sim::SetAnswers("DC01", false);
  EXPECT_EQ(NetGetAnyDCName(nullptr, u"CORP", &buffer), NERR_DCNotFound);

  EXPECT_EQ(NetServerGetInfo(nullptr, 100, &buffer), NERR_Success);
  NetApiBufferFree(buffer);
  ASSERT_EQ(NetServerGetInfo(const_cast<LMSTR>(u"\\\\srv01"), 100, &buffer), NERR_Success);
  EXPECT_EQ(Narrow(reinterpret_cast<SERVER_INFO_100*>(buffer)->sv100_name), "SRV01");
  NetApiBufferFree(buffer);
  EXPECT_EQ(NetServerGetInfo(const_cast<LMSTR>(u"GHOST"), 100, &buffer), ERROR_BAD_NETPATH);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(NetServerGetInfo(const_cast<LMSTR>(u"DC01"), 100, &buffer), ERROR_BAD_NETPATH);
  EXPECT_EQ(NetServerGetInfo(const_cast<LMSTR>(u"NOWHERE"), 100, &buffer), ERROR_BAD_NETPATH);
  EXPECT_EQ(NetApiBufferFree(nullptr), NERR_Success);
}

TEST_F(SimNetApi, EnumerationFaultsHitTheirComputer) {
  sim::FailEnumeration("NetUserEnum", "DC01", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Users(u"\\\\DC01", 1).last, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Users(nullptr, 1).last, NERR_Success);
  sim::FailEnumeration("NetGroupEnum", "WS01", 2221);
  EXPECT_EQ(GlobalGroups(nullptr, 256).last, 2221u) << "null names this computer";
  sim::ClearFaults();
  EXPECT_EQ(Users(u"\\\\DC01", 1).last, NERR_Success);
}

TEST_F(SimNetApi, CallLogRecordsTargetsAndArguments) {
  sim::ClearCalls();
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  NetUserEnum(u"\\\\dc01", 0, FILTER_NORMAL_ACCOUNT, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
              &resume);
  NetApiBufferFree(buffer);
  NetServerEnum(nullptr, 101, &buffer, 4096, &read, &total, SV_TYPE_ALL, nullptr, &resume);
  NetApiBufferFree(buffer);
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use;
  LookupAccountNameA("\\\\SRV01", "Administrator", nullptr, &sidSize, nullptr, &domainSize, &use);
  LSA_HANDLE policy = nullptr;
  tavrin::test::OpenPolicy(u"srv01", policy);
  LsaClose(policy);

  const std::vector<sim::Call> calls = sim::Calls();
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[0].function, "NetUserEnum");
  EXPECT_EQ(calls[0].target, "DC01");
  EXPECT_EQ(calls[0].argument, "0");
  EXPECT_EQ(calls[1].function, "NetApiBufferFree");
  EXPECT_EQ(calls[2].function, "NetServerEnum");
  EXPECT_EQ(calls[2].target, "");
  EXPECT_EQ(calls[2].argument, "101 0xFFFFFFFF");
  EXPECT_EQ(calls[4].function, "LookupAccountNameA");
  EXPECT_EQ(calls[4].target, "SRV01");
  EXPECT_EQ(calls[4].argument, "Administrator");
  EXPECT_EQ(calls[5].function, "LsaOpenPolicy");
  EXPECT_EQ(calls[5].target, "SRV01");
  EXPECT_EQ(calls[5].argument, "0x810");
  EXPECT_EQ(sim::CountCalls("NetApiBufferFree"), 2u);
  sim::ClearCalls();
  EXPECT_TRUE(sim::Calls().empty());
  EXPECT_EQ(sim::CountCalls("NetUserEnum"), 0u);
}

}  // namespace
