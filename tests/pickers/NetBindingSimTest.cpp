// The network management binding against the simulated network: the table
// resolved at start, the guarded wrappers, and the batched enumeration.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>

#include "app/Startup.h"
#include "pickers/Velmar_Net.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using Names = std::vector<std::string>;

// A callback that appends each name to `names`.
auto Into(Names& names) {
  return [&names](const std::string& name) { names.push_back(name); };
}
bool Holds(const Names& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

class NetBindingSim : public tavrin::test::SimTest {
 protected:
  // Runs the start steps again after `arrange` changed the platform.
  template <typename Fn>
  void Restart(Fn arrange) {
    tavrin::RunEndSteps();
    arrange();
    tavrin::RunStartSteps();
  }
  // Every wrapper's status with harmless arguments.
  static std::vector<NET_API_STATUS> WrapperStatuses() {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    DWORD_PTR resumePtr = 0;
    return {VelmarNet::NetUserEnum(nullptr, 0, FILTER_NORMAL_ACCOUNT, &buffer, 1, &read, &total,
                                   &resume),
            VelmarNet::NetGroupEnum(nullptr, 0, &buffer, 256, &read, &total, &resumePtr),
            VelmarNet::NetLocalGroupEnum(nullptr, 0, &buffer, 256, &read, &total, &resumePtr),
            VelmarNet::NetServerEnum(nullptr, 100, &buffer, 4096, &read, &total,
                                     SV_TYPE_DOMAIN_ENUM, nullptr, &resume),
            VelmarNet::NetGetAnyDCName(nullptr, u"CORP", &buffer),
            VelmarNet::NetServerGetInfo(nullptr, 100, &buffer),
            VelmarNet::NetApiBufferFree(nullptr)};
  }
};

TEST_F(NetBindingSim, EveryNameIsResolvedAtStartAndDroppedAtTheEnd) {
  ASSERT_FALSE(NetApiNames().empty());
  EXPECT_NE(NetApiLibrary(), nullptr);
  for (const std::string& name : NetApiNames()) EXPECT_TRUE(NetApiResolved(name)) << name;
  EXPECT_FALSE(NetApiResolved("NetNoSuchFunction"));
  tavrin::RunEndSteps();
  EXPECT_EQ(NetApiLibrary(), nullptr);
  EXPECT_FALSE(NetApiResolved("NetUserEnum"));
}

TEST_F(NetBindingSim, MissingEntryPointsAnswer120AndCallNothing) {
  // One export hidden: only its wrapper is cut off.
  Restart([] { sim::HideExport("netapi32.dll", "NetUserEnum"); });
  EXPECT_FALSE(NetApiResolved("NetUserEnum"));
  EXPECT_TRUE(NetApiResolved("NetGroupEnum"));
  sim::ClearCalls();
  Names names;
  EXPECT_EQ(VelmarNet::EnumerateUsers("", Into(names)), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(sim::CountCalls("NetUserEnum"), 0u);
  EXPECT_EQ(VelmarNet::EnumerateGroups("", Into(names)), 0u);
  EXPECT_FALSE(names.empty());

  // The library missing, or outside the NT family not even loaded: every
  // wrapper answers 120 and nothing is called.
  for (auto arrange : {+[] { sim::HideLibrary("netapi32.dll"); },
                       +[] {
                         sim::ShowAllExports();
                         sim::SetPlatformId(VER_PLATFORM_WIN32_WINDOWS);
                       }}) {
    Restart(arrange);
    EXPECT_EQ(NetApiLibrary(), nullptr);
    for (const std::string& name : NetApiNames()) EXPECT_FALSE(NetApiResolved(name)) << name;
    sim::ClearCalls();
    for (NET_API_STATUS status : WrapperStatuses()) EXPECT_EQ(status, ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_TRUE(sim::Calls().empty());
  }
}

TEST_F(NetBindingSim, EnumerationsGoWhereNamedAndReleaseTheirBuffers) {
  EXPECT_EQ(VelmarNet::ServerArgument("").get(), nullptr);
  EXPECT_EQ(VelmarNet::WideString(VelmarNet::ServerArgument("DC01").get()), u"\\\\DC01");

  sim::ClearCalls();
  Names local, users, localGroups, groups, domains;
  EXPECT_EQ(VelmarNet::EnumerateUsers("", Into(local)), 0u);
  EXPECT_EQ(VelmarNet::EnumerateUsers("DC01", Into(users)), 0u);
  EXPECT_EQ(VelmarNet::EnumerateLocalGroups("DC01", Into(localGroups)), 0u);
  EXPECT_EQ(VelmarNet::EnumerateGroups("DC01", Into(groups)), 0u);
  EXPECT_EQ(VelmarNet::EnumerateDomains(Into(domains)), 0u);
  std::set<std::string> targets;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "NetUserEnum") targets.insert(call.target);
  EXPECT_EQ(targets, (std::set<std::string>{"", "DC01"}));
  // The controller lists the domain's accounts, this computer its own.
  EXPECT_TRUE(Holds(users, "alice"));
  EXPECT_TRUE(Holds(users, "Ёлкин"));
  EXPECT_TRUE(Holds(local, "localadmin"));
  EXPECT_FALSE(Holds(local, "alice"));
  EXPECT_TRUE(Holds(localGroups, "Helpdesk"));
  EXPECT_TRUE(Holds(groups, "Operators"));
  EXPECT_EQ(domains, (Names{"CORP", "HOME"}));
  // A batch per user at a preferred length of one byte.
  EXPECT_GE(sim::CountCalls("NetUserEnum"), local.size() + users.size());
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

// A scripted enumeration: each step says the status, the names of the
// batch (in a buffer the platform allocated) and whether the resume handle
// moves. The last step repeats.
struct Step {
  NET_API_STATUS status;
  std::vector<std::u16string> names;
  bool advance;
};

class ScriptedEnumeration {
 public:
  explicit ScriptedEnumeration(std::deque<Step> steps) : steps_(std::move(steps)) {}
  // Buffers handed out; the enumeration gives each to NetApiBufferFree.
  size_t Buffers() const { return blocks_.size(); }

  NET_API_STATUS operator()(DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total) {
    lengths.push_back(length);
    EXPECT_EQ(*buffer, nullptr) << "the buffer variable is cleared before each call";
    Step step = steps_.front();
    if (steps_.size() > 1) steps_.pop_front();
    *read = static_cast<DWORD>(step.names.size());
    *total = 99;
    if (!step.names.empty()) {
      auto& records = blocks_.emplace_back();
      for (const auto& name : step.names) records.push_back({strings_.emplace_back(name).data()});
      *buffer = reinterpret_cast<LPBYTE>(records.data());
    }
    if (step.advance) ++resume;
    return step.status;
  }

  DWORD_PTR resume = 0;
  std::vector<DWORD> lengths;  // one per call

 private:
  std::deque<Step> steps_;
  std::deque<std::vector<USER_INFO_0>> blocks_;
  std::deque<std::u16string> strings_;
};

TEST_F(NetBindingSim, BatchesFollowTheStatuses) {
  const int many = VelmarNet::MaxEmptyBatches;
  std::deque<Step> interleaved;  // empty batches not in a row do not add up
  for (int i = 0; i < 2 * many; ++i) {
    interleaved.push_back({ERROR_MORE_DATA, {}, false});
    interleaved.push_back({ERROR_MORE_DATA, {u"x"}, true});
  }
  interleaved.push_back({NERR_Success, {}, false});
  const struct {
    const char* what;
    std::deque<Step> steps;
    NET_API_STATUS status;
    Names names;
    std::vector<DWORD> lengths;  // empty: not checked, only counted
    int calls;
  } cases[] = {
      {"234 with entries, 234 with none (asked once more), 0 with none",
       {{ERROR_MORE_DATA, {u"alice", u"bob"}, true},
        {ERROR_MORE_DATA, {}, false},
        {ERROR_MORE_DATA, {u"carol"}, true},
        {NERR_Success, {}, false}},
       0,
       {"alice", "bob", "carol"},
       {},
       4},
      {"0 with none ends at once", {{NERR_Success, {}, false}}, 0, {}, {}, 1},
      {"a failing status ends without reading its batch",
       {{ERROR_MORE_DATA, {u"alice"}, true}, {ERROR_ACCESS_DENIED, {u"bob"}, false}},
       ERROR_ACCESS_DENIED,
       {"alice"},
       {},
       2},
      {"endless empty 234 batches end with the status as the failure",
       {{ERROR_MORE_DATA, {u"alice"}, true}, {ERROR_MORE_DATA, {}, false}},
       ERROR_MORE_DATA,
       {"alice"},
       {},
       1 + many},
      {"a resume handle standing still: the rest at once, no name twice",
       {{ERROR_MORE_DATA, {u"a", u"b"}, false}, {NERR_Success, {u"a", u"b", u"c", u"d"}, false}},
       0,
       {"a", "b", "c", "d"},
       {256, MAX_PREFERRED_LENGTH},
       2},
      {"interleaved empty batches", interleaved, 0, Names(2 * many, "x"), {}, 4 * many + 1},
  };
  for (const auto& c : cases) {
    ScriptedEnumeration script(c.steps);
    Names names;
    sim::ClearCalls();
    const NET_API_STATUS status = VelmarNet::EnumerateBatches(
        [&](DWORD l, LPBYTE* b, DWORD* r, DWORD* t) { return script(l, b, r, t); }, 256,
        sizeof(USER_INFO_0), [&] { return script.resume; }, [&] { script.resume = 0; },
        [&](const BYTE* record) {
          names.push_back(
              VelmarNet::FromWide(reinterpret_cast<const USER_INFO_0*>(record)->usri0_name));
        });
    EXPECT_EQ(status, c.status) << c.what;
    EXPECT_EQ(names, c.names) << c.what;
    EXPECT_EQ(script.lengths.size(), size_t(c.calls)) << c.what;
    if (!c.lengths.empty()) {
      EXPECT_EQ(script.lengths, c.lengths) << c.what;
    }
    // Every buffer returned went to NetApiBufferFree once.
    EXPECT_EQ(sim::CountCalls("NetApiBufferFree"), script.Buffers()) << c.what;
  }
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

}  // namespace
