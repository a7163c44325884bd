// The simulated network management functions and the call log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32api.h"
#include "tests/platform/SimTestHelpers.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::Names;
using tavrin::test::Narrow;
using tavrin::test::ServerEnum;
namespace sim = tavrin::sim;
using Statuses = std::vector<NET_API_STATUS>;

struct Pass {
  Names names;
  Statuses statuses;
  std::vector<DWORD> counts;
  NET_API_STATUS last = 0;
};

enum class List { Users, LocalGroups, GlobalGroups };

// Runs a batched level-0 enumeration the way the account picker does.
Pass Enumerate(List list, const char16_t* server, DWORD prefmaxlen) {
  Pass pass;
  DWORD_PTR resume = 0;
  for (int guard = 0; guard < 1000; ++guard) {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0, userResume = static_cast<DWORD>(resume);
    const NET_API_STATUS status =
        list == List::Users ? NetUserEnum(server, 0, FILTER_NORMAL_ACCOUNT, &buffer, prefmaxlen,
                                          &read, &total, &userResume)
        : list == List::LocalGroups
            ? NetLocalGroupEnum(server, 0, &buffer, prefmaxlen, &read, &total, &resume)
            : NetGroupEnum(server, 0, &buffer, prefmaxlen, &read, &total, &resume);
    if (list == List::Users) resume = userResume;
    pass.statuses.push_back(pass.last = status);
    if (status != NERR_Success && status != ERROR_MORE_DATA) {
      EXPECT_EQ(buffer, nullptr);
      break;
    }
    pass.counts.push_back(read);
    // The three level-0 entries are one name pointer each.
    const auto* entries = reinterpret_cast<const USER_INFO_0*>(buffer);
    for (DWORD i = 0; i < read; ++i) pass.names.push_back(Narrow(entries[i].usri0_name));
    EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
    if (status == NERR_Success) break;
  }
  return pass;
}

class SimNetApi : public tavrin::test::SimTest {};

TEST_F(SimNetApi, UserEnumAtPreferredLengthOneGivesOneEntryPerCall) {
  const size_t buffers = sim::OutstandingNetBuffers();
  Pass local = Enumerate(List::Users, nullptr, 1);
  EXPECT_EQ(local.names, (Names{"Administrator", "Guest", "localadmin"}));
  EXPECT_EQ(local.statuses, (Statuses{ERROR_MORE_DATA, ERROR_MORE_DATA, NERR_Success}));
  EXPECT_EQ(local.counts, (std::vector<DWORD>{1, 1, 1}));
  Pass domain = Enumerate(List::Users, u"\\\\DC01", 1);
  ASSERT_EQ(domain.names.size(), 5u);
  EXPECT_EQ(domain.names[2], "alice");
  EXPECT_EQ(domain.last, NERR_Success);
  EXPECT_EQ(sim::OutstandingNetBuffers(), buffers);

  EXPECT_EQ(Enumerate(List::Users, u"\\\\GHOST", 1).last, ERROR_BAD_NETPATH);
  EXPECT_EQ(Enumerate(List::Users, u"\\\\NOWHERE", 1).last, ERROR_BAD_NETPATH);
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
    expected.push_back((i < 10 ? "group0" : "group") + std::to_string(i));
    b.LocalGroup(expected.back(), 2000 + i);
  }
  Reinstall(b.Build());
  Pass pass = Enumerate(List::LocalGroups, nullptr, 256);
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
  for (size_t batch = 0; batch < pass.counts.size(); ++batch) {
    size_t bytes = 0;
    for (size_t k = 0; k < pass.counts[batch]; ++k) bytes += cost(pass.names[at + k]);
    at += pass.counts[batch];
    EXPECT_LE(bytes, 256u) << "batch " << batch;
    if (at < pass.names.size()) {
      EXPECT_GT(bytes + cost(pass.names[at]), 256u) << "batch " << batch;
    }
  }
  // Everything at once with the maximum length.
  EXPECT_EQ(Enumerate(List::LocalGroups, nullptr, MAX_PREFERRED_LENGTH).counts,
            std::vector<DWORD>{49});
}

TEST_F(SimNetApi, GlobalGroups) {
  EXPECT_EQ(Enumerate(List::GlobalGroups, nullptr, 256).names, Names{"None"})
      << "a workstation lists \"None\"";
  EXPECT_EQ(Enumerate(List::GlobalGroups, u"\\\\DC01", 256).names,
            (Names{"Domain Admins", "Domain Users", "Domain Guests", "Operators"}));
  EXPECT_EQ(Enumerate(List::LocalGroups, u"PC-HOME", 256).names.size(), 9u);
}

TEST_F(SimNetApi, ServerEnumListsTheBrowser) {
  auto all = ServerEnum();
  ASSERT_EQ(all.status, NERR_Success);
  EXPECT_EQ(all.total, 4u);
  EXPECT_EQ(all.names, (Names{"DC01", "WS01", "SRV01", "GHOST"})) << "the domain's browse list";
  ASSERT_EQ(all.types.size(), 4u);
  EXPECT_TRUE(all.types[0] & SV_TYPE_DOMAIN_CTRL);
  EXPECT_FALSE(all.types[1] & SV_TYPE_DOMAIN_CTRL);

  // A short preferred length: 234, whole entries only, the total stays.
  auto part = ServerEnum(101, 100);
  EXPECT_EQ(part.status, ERROR_MORE_DATA);
  EXPECT_EQ(part.read, 1u);
  EXPECT_EQ(part.total, 4u);

  EXPECT_EQ(ServerEnum(100, 4096, nullptr, nullptr, 0, SV_TYPE_DOMAIN_ENUM).names,
            (Names{"CORP", "HOME"}));
  EXPECT_EQ(ServerEnum(100, 4096, u"home").names, Names{"PC-HOME"});

  EXPECT_EQ(ServerEnum(101, 4096, nullptr, nullptr, 5).status, ERROR_INVALID_PARAMETER)
      << "a resume handle";
  EXPECT_EQ(ServerEnum(101, 4096, nullptr, u"\\\\WS01").status, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ServerEnum(102).status, ERROR_INVALID_LEVEL);
  sim::SetBrowserAnswers(false);
  EXPECT_EQ(ServerEnum().status, ERROR_NO_BROWSER_SERVERS_FOUND);
  sim::ClearFaults();
  sim::FailEnumeration("NetServerEnum", "", 1450);
  auto failed = ServerEnum();
  EXPECT_EQ(failed.status, 1450u);
  EXPECT_TRUE(failed.nullOnFailure);
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

  ASSERT_EQ(NetServerGetInfo(const_cast<LMSTR>(u"\\\\srv01"), 100, &buffer), NERR_Success);
  EXPECT_EQ(Narrow(reinterpret_cast<SERVER_INFO_100*>(buffer)->sv100_name), "SRV01");
  NetApiBufferFree(buffer);
  for (const char16_t* silent : {u"GHOST", u"DC01", u"NOWHERE"}) {
    EXPECT_EQ(NetServerGetInfo(const_cast<LMSTR>(silent), 100, &buffer), ERROR_BAD_NETPATH);
    EXPECT_EQ(buffer, nullptr);
  }
  EXPECT_EQ(NetApiBufferFree(nullptr), NERR_Success);
}

TEST_F(SimNetApi, EnumerationFaultsHitTheirComputer) {
  sim::FailEnumeration("NetUserEnum", "DC01", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Enumerate(List::Users, u"\\\\DC01", 1).last, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Enumerate(List::Users, nullptr, 1).last, NERR_Success);
  sim::FailEnumeration("NetGroupEnum", "WS01", 2221);
  EXPECT_EQ(Enumerate(List::GlobalGroups, nullptr, 256).last, 2221u) << "null: this computer";
  sim::ClearFaults();
  EXPECT_EQ(Enumerate(List::Users, u"\\\\DC01", 1).last, NERR_Success);
}

TEST_F(SimNetApi, CallLogRecordsTargetsAndArguments) {
  sim::ClearCalls();
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  NetUserEnum(u"\\\\dc01", 0, 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
  NetApiBufferFree(buffer);
  ServerEnum();
  tavrin::test::NameSizeQuery("\\\\SRV01", "Administrator");
  LSA_HANDLE policy = nullptr;
  tavrin::test::OpenPolicy(u"srv01", policy);
  LsaClose(policy);

  Names calls;
  for (const sim::Call& c : sim::Calls())
    calls.push_back(c.function + "|" + c.target + "|" + c.argument);
  EXPECT_EQ(calls,
            (Names{"NetUserEnum|DC01|0", "NetApiBufferFree||", "NetServerEnum||101 0xFFFFFFFF",
                   "NetApiBufferFree||", "LookupAccountNameA|SRV01|Administrator",
                   "LsaOpenPolicy|SRV01|0x810", "LsaClose|SRV01|"}));
  EXPECT_EQ(sim::CountCalls("NetApiBufferFree"), 2u);
  sim::ClearCalls();
  EXPECT_TRUE(sim::Calls().empty());
  EXPECT_EQ(sim::CountCalls("NetUserEnum"), 0u);
}

}  // namespace
