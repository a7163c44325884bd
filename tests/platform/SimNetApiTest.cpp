// The simulated network management functions and the call log.
#include "tests/support/SimFixture.h"
#include "tests/support/SimTestHelpers.h"

namespace {

using namespace tavrin::test;

struct Pass {
  Names names;
  std::vector<NET_API_STATUS> statuses;
  std::vector<DWORD> counts;
  NET_API_STATUS last = 0;
};

enum class List { Users, LocalGroups, GlobalGroups };

// Runs a batched level-0 enumeration the way the account picker does.
Pass Enumerate(List list, const char16_t* server, DWORD prefmaxlen) {
  Pass pass;
  DWORD_PTR resume = 0;
  for (int guard = 0; guard < 1000 && (pass.statuses.empty() || pass.last == ERROR_MORE_DATA);
       ++guard) {
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
    // The three level-0 records are one name pointer each.
    const auto* entries = reinterpret_cast<const USER_INFO_0*>(buffer);
    for (DWORD i = 0; i < read; ++i) pass.names.push_back(Narrow(entries[i].usri0_name));
    EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);
  }
  return pass;
}

class SimNetApi : public SimTest {};

TEST_F(SimNetApi, AccountEnumerationsInBatchesOfWholeEntries) {
  const size_t buffers = sim::OutstandingNetBuffers();
  Pass local = Enumerate(List::Users, nullptr, 1);  // one entry per call
  EXPECT_EQ(local.names, (Names{"Administrator", "Guest", "localadmin"}));
  EXPECT_EQ(local.statuses, (std::vector<NET_API_STATUS>{234, 234, 0}));
  EXPECT_EQ(Enumerate(List::GlobalGroups, nullptr, 256).names, Names{"None"});
  EXPECT_EQ(Enumerate(List::LocalGroups, u"PC-HOME", 256).names.size(), 9u);
  EXPECT_EQ(sim::OutstandingNetBuffers(), buffers);

  EXPECT_EQ(Enumerate(List::Users, u"\\\\GHOST", 1).last, ERROR_BAD_NETPATH);
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetUserEnum(nullptr, 1, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            ERROR_INVALID_LEVEL);
  // An injected failure hits only its computer; null names this computer.
  sim::FailEnumeration("NetUserEnum", "DC01", ERROR_ACCESS_DENIED);
  sim::FailEnumeration("NetGroupEnum", "WS01", 2221);
  EXPECT_EQ(Enumerate(List::Users, u"\\\\DC01", 1).last, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Enumerate(List::Users, nullptr, 1).last, NERR_Success);
  EXPECT_EQ(Enumerate(List::GlobalGroups, nullptr, 256).last, 2221u);
  sim::ClearFaults();
  EXPECT_EQ(Enumerate(List::Users, u"\\\\DC01", 1).names.size(), 5u);

  constexpr DWORD kLength = 80;
  const Pass pass = Enumerate(List::LocalGroups, u"DC01", kLength);
  ASSERT_EQ(pass.names.size(), 10u) << "the nine built-in aliases and Helpdesk";
  EXPECT_EQ(pass.names.front() + "," + pass.names.back(), "Administrators,Helpdesk");
  ASSERT_GT(pass.counts.size(), 3u);
  // Each batch holds as many whole entries as fit in kLength bytes, at least one.
  auto cost = [](const std::string& n) {
    return sizeof(LOCALGROUP_INFO_0) + (n.size() + 1) * sizeof(WCHAR);
  };
  for (size_t batch = 0, at = 0; batch < pass.counts.size(); ++batch) {
    size_t bytes = 0;
    for (size_t k = 0; k < pass.counts[batch]; ++k) bytes += cost(pass.names[at++]);
    EXPECT_TRUE(bytes <= kLength || pass.counts[batch] == 1) << batch;
    EXPECT_TRUE(at == pass.names.size() || bytes + cost(pass.names[at]) > kLength) << batch;
  }
  EXPECT_EQ(Enumerate(List::LocalGroups, u"DC01", MAX_PREFERRED_LENGTH).counts,
            std::vector<DWORD>{10});
}

TEST_F(SimNetApi, ServerEnumControllerSearchAndReachability) {
  auto all = ServerEnum();
  EXPECT_EQ(all.status + all.total, 4u);
  EXPECT_EQ(all.names, (Names{"DC01", "WS01", "SRV01", "GHOST"})) << "the domain's browse list";
  EXPECT_EQ(all.types, (std::vector<DWORD>{0x900B, 0x1003, 0x9003, 0x1003}));
  // A short preferred length: 234, whole entries only, the total stays.
  auto part = ServerEnum(101, 100);
  EXPECT_EQ(part.status, ERROR_MORE_DATA);
  EXPECT_EQ(part.read * 10 + part.total, 14u);
  EXPECT_EQ(ServerEnum(100, 4096, u"home").names, Names{"PC-HOME"});

  EXPECT_EQ(ServerEnum(101, 4096, nullptr, nullptr, 5).status, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ServerEnum(101, 4096, nullptr, u"\\\\WS01").status, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ServerEnum(102).status, ERROR_INVALID_LEVEL);

  LPBYTE buffer = nullptr;
  // A controller found is pinned by the source list's tests; here the failures.
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

TEST_F(SimNetApi, CallLogRecordsTargetsAndArguments) {
  sim::ClearCalls();
  Enumerate(List::Users, u"\\\\dc01", MAX_PREFERRED_LENGTH);
  ServerEnum();
  LSA_HANDLE policy = nullptr;
  OpenPolicy(u"srv01", policy);
  LsaClose(policy);
  Names calls;
  for (const sim::Call& c : sim::Calls())
    calls.push_back(c.function + "|" + c.target + "|" + c.argument);
  EXPECT_EQ(calls,
            (Names{"NetUserEnum|DC01|0", "NetApiBufferFree||", "NetServerEnum||101 0xFFFFFFFF",
                   "NetApiBufferFree||", "LsaOpenPolicy|SRV01|0x810", "LsaClose|SRV01|"}));
}

}  // namespace
