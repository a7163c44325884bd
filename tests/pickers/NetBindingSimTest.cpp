// The network management binding against the simulated network: the table
// resolved at start, the guarded wrappers, and the batched enumeration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <set>

#include "app/Startup.h"
#include "pickers/Velmar_Net.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using tavrin::test::SimTest;

class NetBindingSim : public SimTest {
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
    std::vector<NET_API_STATUS> statuses = {
        VelmarNet::NetUserEnum(nullptr, 0, FILTER_NORMAL_ACCOUNT, &buffer, 1, &read, &total,
                               &resume),
        VelmarNet::NetGroupEnum(nullptr, 0, &buffer, 256, &read, &total, &resumePtr),
        VelmarNet::NetLocalGroupEnum(nullptr, 0, &buffer, 256, &read, &total, &resumePtr),
        VelmarNet::NetServerEnum(nullptr, 100, &buffer, 4096, &read, &total, SV_TYPE_DOMAIN_ENUM,
                                 nullptr, &resume),
        VelmarNet::NetGetAnyDCName(nullptr, u"CORP", &buffer),
        VelmarNet::NetServerGetInfo(nullptr, 100, &buffer),
        VelmarNet::NetApiBufferFree(nullptr),
    };
    return statuses;
  }
};

TEST_F(NetBindingSim, EveryNameIsResolvedAtStart) {
  ASSERT_EQ(NetApiNames().size(), 66u);
  EXPECT_EQ(NetApiNames().front(), "NetServerGetInfo");
  EXPECT_EQ(NetApiNames().back(), "NetFileGetInfo");
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
  std::vector<std::string> names;
  EXPECT_EQ(VelmarNet::EnumerateUsers("", [&](const std::string& n) { names.push_back(n); }),
            ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(sim::CountCalls("NetUserEnum"), 0u);
  EXPECT_EQ(VelmarNet::EnumerateGroups("", [&](const std::string& n) { names.push_back(n); }), 0u);
  EXPECT_FALSE(names.empty());

  // The library missing: every wrapper answers 120 and nothing is called.
  Restart([] { sim::HideLibrary("netapi32.dll"); });
  EXPECT_EQ(NetApiLibrary(), nullptr);
  sim::ClearCalls();
  for (NET_API_STATUS status : WrapperStatuses()) EXPECT_EQ(status, ERROR_CALL_NOT_IMPLEMENTED);
  for (const char* fn : {"NetUserEnum", "NetGroupEnum", "NetLocalGroupEnum", "NetServerEnum",
                         "NetGetAnyDCName", "NetServerGetInfo"})
    EXPECT_EQ(sim::CountCalls(fn), 0u) << fn;

  // Outside the NT family the library is not even loaded.
  Restart([] {
    sim::ShowAllExports();
    sim::SetPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  });
  EXPECT_EQ(NetApiLibrary(), nullptr);
  for (const std::string& name : NetApiNames()) EXPECT_FALSE(NetApiResolved(name)) << name;
  for (NET_API_STATUS status : WrapperStatuses()) EXPECT_EQ(status, ERROR_CALL_NOT_IMPLEMENTED);
}

TEST_F(NetBindingSim, ServerArgumentOfAnEmptyNameIsNull) {
  EXPECT_EQ(VelmarNet::ServerArgument("").get(), nullptr);
  EXPECT_EQ(VelmarNet::WideString(VelmarNet::ServerArgument("DC01").get()), u"\\\\DC01");

  sim::ClearCalls();
  std::vector<std::string> local, remote;
  EXPECT_EQ(VelmarNet::EnumerateUsers("", [&](const std::string& n) { local.push_back(n); }), 0u);
  EXPECT_EQ(VelmarNet::EnumerateUsers("DC01", [&](const std::string& n) { remote.push_back(n); }),
            0u);
  std::set<std::string> targets;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "NetUserEnum") targets.insert(call.target);
  EXPECT_EQ(targets, (std::set<std::string>{"", "DC01"}));
  // The controller lists the domain's users, this computer its own.
  EXPECT_NE(std::find(remote.begin(), remote.end(), "alice"), remote.end());
  EXPECT_NE(std::find(local.begin(), local.end(), "localadmin"), local.end());
  EXPECT_EQ(std::find(local.begin(), local.end(), "alice"), local.end());
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

// A scripted enumeration: each step says the status, the names of the
// batch (in a buffer the platform allocated) and whether the resume handle
// moves.
struct Step {
  NET_API_STATUS status;
  std::vector<std::u16string> names;
  bool advance;
};

class ScriptedEnumeration {
 public:
  explicit ScriptedEnumeration(std::deque<Step> steps) : steps_(std::move(steps)) {}
  ~ScriptedEnumeration() {
    for (void* block : blocks_) std::free(block);
  }
  // Buffers handed out; the enumeration gives each to NetApiBufferFree.
  size_t Buffers() const { return blocks_.size(); }

  NET_API_STATUS operator()(DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total) {
    lengths.push_back(length);
    ++calls;
    EXPECT_EQ(*buffer, nullptr) << "the buffer variable is cleared before each call";
    if (steps_.empty()) {
      ADD_FAILURE() << "called after the end";
      return ERROR_INVALID_PARAMETER;
    }
    Step step = steps_.front();
    if (steps_.size() > 1) steps_.pop_front();  // the last step repeats
    *read = static_cast<DWORD>(step.names.size());
    *total = 99;
    if (!step.names.empty()) {
      // Records first, then the strings, as the platform lays them out.
      size_t size = step.names.size() * sizeof(USER_INFO_0);
      for (const auto& n : step.names) size += (n.size() + 1) * sizeof(WCHAR);
      void* block = std::malloc(size);
      blocks_.push_back(block);
      auto* records = static_cast<USER_INFO_0*>(block);
      auto* text = reinterpret_cast<WCHAR*>(records + step.names.size());
      for (size_t i = 0; i < step.names.size(); ++i) {
        records[i].usri0_name = text;
        for (char16_t c : step.names[i]) *text++ = c;
        *text++ = 0;
      }
      *buffer = static_cast<LPBYTE>(block);
    }
    if (step.advance) ++resume;
    return step.status;
  }

  DWORD_PTR resume = 0;
  int calls = 0;
  std::vector<DWORD> lengths;

 private:
  std::deque<Step> steps_;
  std::vector<void*> blocks_;
};

NET_API_STATUS RunScript(ScriptedEnumeration& script, std::vector<std::string>& names) {
  sim::ClearCalls();
  const NET_API_STATUS status = VelmarNet::EnumerateBatches(
      [&](DWORD l, LPBYTE* b, DWORD* r, DWORD* t) { return script(l, b, r, t); }, 256,
      sizeof(USER_INFO_0), [&] { return script.resume; }, [&] { script.resume = 0; },
      [&](const BYTE* record) {
        names.push_back(
            VelmarNet::FromWide(reinterpret_cast<const USER_INFO_0*>(record)->usri0_name));
      });
  // Every buffer returned went to NetApiBufferFree once.
  EXPECT_EQ(sim::CountCalls("NetApiBufferFree"), script.Buffers());
  return status;
}

TEST_F(NetBindingSim, BatchesFollowTheStatuses) {
  {
    // 234 with entries, 234 with none (asked once more), then 0 with none.
    ScriptedEnumeration script({{ERROR_MORE_DATA, {u"alice", u"bob"}, true},
                                {ERROR_MORE_DATA, {}, false},
                                {ERROR_MORE_DATA, {u"carol"}, true},
                                {NERR_Success, {}, false}});
    std::vector<std::string> names;
    EXPECT_EQ(RunScript(script, names), 0u);
    EXPECT_EQ(names, (std::vector<std::string>{"alice", "bob", "carol"}));
    EXPECT_EQ(script.calls, 4);
  }
  {
    // 0 with no entries ends at once with nothing read.
    ScriptedEnumeration script({{NERR_Success, {}, false}});
    std::vector<std::string> names;
    EXPECT_EQ(RunScript(script, names), 0u);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(script.calls, 1);
  }
  {
    // A failing status ends the enumeration without reading its batch.
    ScriptedEnumeration script(
        {{ERROR_MORE_DATA, {u"alice"}, true}, {ERROR_ACCESS_DENIED, {}, false}});
    std::vector<std::string> names;
    EXPECT_EQ(RunScript(script, names), ERROR_ACCESS_DENIED);
    EXPECT_EQ(names, std::vector<std::string>{"alice"});
  }
  {
    // 234 with nothing and a resume handle that never moves, for ever: the
    // run ends after a few calls with the status as its failure.
    ScriptedEnumeration script({{ERROR_MORE_DATA, {u"alice"}, true}, {ERROR_MORE_DATA, {}, false}});
    std::vector<std::string> names;
    EXPECT_EQ(RunScript(script, names), ERROR_MORE_DATA);
    EXPECT_EQ(names, std::vector<std::string>{"alice"});
    EXPECT_EQ(script.calls, 1 + VelmarNet::MaxEmptyBatches);
  }
  {
    // Entries with a resume handle that stands still (NetServerEnum cannot
    // resume): the rest is asked for at once, without repeating a name.
    ScriptedEnumeration script(
        {{ERROR_MORE_DATA, {u"a", u"b"}, false}, {NERR_Success, {u"a", u"b", u"c", u"d"}, false}});
    std::vector<std::string> names;
    EXPECT_EQ(RunScript(script, names), 0u);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(script.lengths, (std::vector<DWORD>{256, MAX_PREFERRED_LENGTH}));
  }
  {
    // Empty batches that are not in a row do not add up.
    std::deque<Step> steps;
    for (int i = 0; i < 2 * VelmarNet::MaxEmptyBatches; ++i) {
      steps.push_back({ERROR_MORE_DATA, {}, false});
      steps.push_back({ERROR_MORE_DATA, {u"x"}, true});
    }
    steps.push_back({NERR_Success, {}, false});
    ScriptedEnumeration script(steps);
    std::vector<std::string> names;
    EXPECT_EQ(RunScript(script, names), 0u);
    EXPECT_EQ(names.size(), size_t(2 * VelmarNet::MaxEmptyBatches));
  }
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(NetBindingSim, SimulatedEnumerationsTerminateAndReleaseTheirBuffers) {
  sim::ClearCalls();
  std::vector<std::string> users, local, global, domains;
  EXPECT_EQ(VelmarNet::EnumerateUsers("DC01", [&](const std::string& n) { users.push_back(n); }),
            0u);
  EXPECT_EQ(
      VelmarNet::EnumerateLocalGroups("DC01", [&](const std::string& n) { local.push_back(n); }),
      0u);
  EXPECT_EQ(VelmarNet::EnumerateGroups("DC01", [&](const std::string& n) { global.push_back(n); }),
            0u);
  EXPECT_EQ(VelmarNet::EnumerateDomains([&](const std::string& n) { domains.push_back(n); }), 0u);
  EXPECT_NE(std::find(users.begin(), users.end(), "Ёлкин"), users.end());
  EXPECT_NE(std::find(local.begin(), local.end(), "Helpdesk"), local.end());
  EXPECT_NE(std::find(global.begin(), global.end(), "Operators"), global.end());
  EXPECT_EQ(domains, (std::vector<std::string>{"CORP", "HOME"}));
  // A batch per user at a preferred length of one byte.
  EXPECT_GE(sim::CountCalls("NetUserEnum"), users.size());
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

}  // namespace
