// The source list against the simulated network.
#include <gtest/gtest.h>

#include "pickers/Velmar_SidSourceComboBoxList.h"
#include "tests/support/ScriptedServerEnum.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using tavrin::test::SimTest;
using Velmar_SidSourceComboBox::TvmSidSource;
using Velmar_SidSourceComboBox::TvmSidSourceList;

struct Item {
  std::string server, domain, caption;
  int kind;
  bool operator==(const Item&) const = default;
};

std::vector<Item> ItemsOf(const TvmSidSourceList& list) {
  std::vector<Item> items;
  for (int i = 0; i < list.Count(); ++i) {
    const TvmSidSource* s = list.Sources(i);
    items.push_back({s->Server(), s->Domain(), s->Caption(), s->Kind()});
  }
  return items;
}

class SourceListSim : public SimTest {};

TEST_F(SourceListSim, ThisComputerThenDomainsWithAController) {
  TvmSidSourceList list;
  list.Fill();
  // The workgroup HOME has no controller and is left out; the controller's
  // name comes without its two backslashes.
  EXPECT_EQ(ItemsOf(list),
            (std::vector<Item>{{"", "WS01", "WS01", 0}, {"DC01", "CORP", "CORP", 1}}));
  EXPECT_TRUE(list.Errors().empty());
  EXPECT_EQ(sim::CountCalls("NetGetAnyDCName"), 2u);  // one per listed domain
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
  EXPECT_EQ(list.Sources(2), nullptr);
}

TEST_F(SourceListSim, DomainsKeepTheBrowsersOrderAndRepeats) {
  sim::NetworkBuilder builder;
  builder.ThisComputer("WS01")
      .Domain("ZETA")
      .Workgroup("HOME")
      .Domain("ALPHA")
      .Domain("SILENT")
      .Computer("DCZ", sim::Role::DomainController, "ZETA")
      .MachineSid("S-1-5-21-1-1-1")
      .Computer("DCA", sim::Role::DomainController, "ALPHA")
      .MachineSid("S-1-5-21-2-2-2")
      .Computer("DCS", sim::Role::DomainController, "SILENT")
      .MachineSid("S-1-5-21-3-3-3")
      .Answers(false)
      .Computer("WS01", sim::Role::Workstation, "HOME")
      .MachineSid("S-1-5-21-4-4-4");
  Reinstall(builder.Build());
  TvmSidSourceList list;
  list.Fill();
  // A domain whose controller does not answer is left out without a word.
  EXPECT_EQ(ItemsOf(list), (std::vector<Item>{{"", "WS01", "WS01", 0},
                                              {"DCZ", "ZETA", "ZETA", 1},
                                              {"DCA", "ALPHA", "ALPHA", 1}}));
  EXPECT_TRUE(list.Errors().empty());
}

TEST_F(SourceListSim, ADomainListedTwiceIsListedTwice) {
  // No simulated network lists a name twice; a stand-in browser does.
  tavrin::test::ScriptedServerEnum browser({"CORP", "HOME", "CORP"}, 100);
  TvmSidSourceList list;
  list.Fill();
  EXPECT_EQ(ItemsOf(list), (std::vector<Item>{{"", "WS01", "WS01", 0},
                                              {"DC01", "CORP", "CORP", 1},
                                              {"DC01", "CORP", "CORP", 1}}));
  EXPECT_EQ(browser.Outstanding(), 0u);
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(SourceListSim, SilentBrowserKeepsThisComputer) {
  for (const NET_API_STATUS status : {ERROR_NO_BROWSER_SERVERS_FOUND, ERROR_ACCESS_DENIED}) {
    sim::FailEnumeration("NetServerEnum", "", status);
    TvmSidSourceList list;
    list.Fill();
    EXPECT_EQ(ItemsOf(list), (std::vector<Item>{{"", "WS01", "WS01", 0}}));
    ASSERT_EQ(list.Errors().size(), 1u);
    EXPECT_EQ(list.Errors()[0].rfind("Win32 Error.  Code: " + std::to_string(status) + ".\n", 0),
              0u)
        << list.Errors()[0];
    sim::ClearFaults();
  }
}

}  // namespace
