// The network management binding: the resolved table, the wrappers, the batches.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "base/Velmar_Net.h"
#include "passes/Startup.h"
#include "tests/support/NameList.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::Into;
using tavrin::test::Names;

using NetBindingSim = tavrin::test::SimTest;

TEST_F(NetBindingSim, WrappersCallWhatWasResolvedAndAnswer120WithoutIt) {
  EXPECT_NE(NetApiLibrary(), nullptr);
  for (const std::string& name : NetApiNames()) EXPECT_TRUE(NetApiResolved(name)) << name;
  EXPECT_FALSE(NetApiResolved("NetNoSuchFunction"));
  EXPECT_EQ(VelmarNet::ServerArgument("").get(), nullptr);
  EXPECT_EQ(VelmarNet::WideString(VelmarNet::ServerArgument("DC01").get()), u"\\\\DC01");

  // One export hidden: only its wrapper is cut off, and it calls nothing.
  tavrin::RunEndSteps();
  sim::HideExport("netapi32.dll", "NetUserEnum");
  tavrin::RunStartSteps();
  Names names;
  EXPECT_EQ(VelmarNet::EnumerateUsers("", Into(names)), ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(sim::CountCalls("NetUserEnum"), 0u);
  EXPECT_EQ(VelmarNet::EnumerateGroups("", Into(names)), 0u);
  EXPECT_FALSE(names.empty());

  // After the end steps, without the library, outside NT: every wrapper answers 120.
  for (int variant = 0; variant < 3; ++variant) {
    Reinstall(tavrin::test::SmallNetwork());
    tavrin::RunEndSteps();
    if (variant == 1) sim::HideLibrary("netapi32.dll");
    if (variant == 2) sim::SetPlatformId(VER_PLATFORM_WIN32_WINDOWS);
    if (variant > 0) tavrin::RunStartSteps();
    EXPECT_EQ(NetApiLibrary(), nullptr);
    EXPECT_EQ(sim::LibraryLoads("netapi32.dll"), 0) << variant;
    for (const std::string& name : NetApiNames()) EXPECT_FALSE(NetApiResolved(name)) << name;
    sim::ClearCalls();
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    DWORD_PTR resumePtr = 0;
    for (const NET_API_STATUS status :
         {VelmarNet::NetUserEnum(nullptr, 0, 0, &buffer, 1, &read, &total, &resume),
          VelmarNet::NetGroupEnum(nullptr, 0, &buffer, 256, &read, &total, &resumePtr),
          VelmarNet::NetLocalGroupEnum(nullptr, 0, &buffer, 256, &read, &total, &resumePtr),
          VelmarNet::NetServerEnum(nullptr, 100, &buffer, 4096, &read, &total, 0, nullptr, &resume),
          VelmarNet::NetGetAnyDCName(nullptr, u"CORP", &buffer),
          VelmarNet::NetServerGetInfo(nullptr, 100, &buffer), VelmarNet::NetApiBufferFree(nullptr)})
      EXPECT_EQ(status, ERROR_CALL_NOT_IMPLEMENTED) << variant;
    EXPECT_TRUE(sim::Calls().empty()) << variant;
  }
}

// One batch per word, "status:names[+][/total]" ('+': the resume handle moves); the last repeats.
struct Step {
  NET_API_STATUS status;
  std::u16string names;  // a letter per name
  bool advance = false;
  DWORD total = 99;
};
std::deque<Step> Script(const std::string& text) {
  std::deque<Step> steps;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    const size_t colon = word.find(':'), slash = word.find('/');
    Step& step = steps.emplace_back(Step{static_cast<NET_API_STATUS>(std::stoul(word)), {}});
    if (slash != std::string::npos)
      step.total = static_cast<DWORD>(std::stoul(word.substr(slash + 1)));
    for (const char c : word.substr(colon + 1, slash - colon - 1))
      c == '+' ? void(step.advance = true) : step.names.push_back(c);
  }
  return steps;
}

TEST_F(NetBindingSim, BatchesFollowTheStatuses) {
  const int many = VelmarNet::MaxEmptyBatches;
  std::string interleaved;  // empty batches not in a row do not add up
  for (int i = 0; i < 2 * many; ++i) interleaved += "234: 234:x+ ";
  const DWORD unlimited = MAX_PREFERRED_LENGTH;
  const size_t never = ~size_t(0);
  const struct {
    const char* what;
    std::string script;
    bool totalTellsTheEnd;
    size_t stopAtNames;  // the stop check answers true once this many are read
    NET_API_STATUS status;
    std::string names;
    std::vector<DWORD> lengths;  // one per call
  } cases[] = {
      // clang-format off
      {"an empty 234 batch is asked again", "234:ab+ 234: 234:c+ 0:", false, never, 0, "abc",
       {256, 256, 256, 256}},
      {"0 with none ends at once", "0:", false, never, 0, "", {256}},
      {"a failing status ends without reading its batch", "234:a+ 5:b", false, never, 5, "a",
       {256, 256}},
      {"endless empty 234 batches end in a failure", "234:a+ 234:", false, never, 234, "a",
       std::vector<DWORD>(1 + many, 256)},
      {"a resume handle standing still: the rest at once, no name twice", "234:ab 0:abcd", false,
       never, 0, "abcd", {256, unlimited}},
      {"and the rest still short: a failure", "234:ab", false, never, 234, "ab", {256, unlimited}},
      {"interleaved empty batches", interleaved + "0:", false, never, 0, std::string(2 * many, 'x'),
       std::vector<DWORD>(4 * many + 1, 256)},
      {"by the total: a batch of every entry is the last", "234:ab/2", true, never, 0, "ab", {256}},
      {"by the total: an empty batch is the last", "234:+", true, never, 0, "", {256}},
      {"a stop after a record", "234:abc+", false, 2, VelmarNet::EnumerationStopped, "ab", {256}},
      {"a stop before a further call, never before the first", "234:+", false, 0,
       VelmarNet::EnumerationStopped, "", {256}},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::deque<Step> steps = Script(c.script);
    std::deque<std::vector<USER_INFO_0>> blocks;
    std::deque<std::u16string> strings;
    std::vector<DWORD> lengths;
    std::string names;
    sim::ClearCalls();
    const NET_API_STATUS status = VelmarNet::EnumerateBatches(
        [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total, DWORD_PTR* resume) {
          lengths.push_back(length);
          EXPECT_EQ(*buffer, nullptr) << "the buffer variable is cleared before each call";
          const Step step = steps.front();
          if (steps.size() > 1) steps.pop_front();
          *read = static_cast<DWORD>(step.names.size());
          *total = step.total;
          if (!step.names.empty()) {
            auto& records = blocks.emplace_back();
            for (const char16_t c : step.names)
              records.push_back({strings.emplace_back(1, c).data()});
            *buffer = reinterpret_cast<LPBYTE>(records.data());
          }
          *resume += step.advance;
          return step.status;
        },
        {256, sizeof(USER_INFO_0), c.totalTellsTheEnd},
        [&](const BYTE* record) {
          names += VelmarNet::FromWide(reinterpret_cast<const USER_INFO_0*>(record)->usri0_name);
        },
        [&] { return names.size() >= c.stopAtNames; });
    EXPECT_EQ(status, c.status) << c.what;
    EXPECT_EQ(names, c.names) << c.what;
    EXPECT_EQ(lengths, c.lengths) << c.what;
    // Every buffer returned went to NetApiBufferFree once.
    EXPECT_EQ(sim::CountCalls("NetApiBufferFree"), blocks.size()) << c.what;
  }
}

}  // namespace
