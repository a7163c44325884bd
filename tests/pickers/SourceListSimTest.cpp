// The source list against the simulated network.
#include <gtest/gtest.h>

#include "pickers/Velmar_SidSourceComboBoxList.h"
#include "tests/support/ScriptedServerEnum.h"
#include "tests/support/SimFixture.h"

namespace {

struct Item {
  std::string server, domain, caption;
  int kind;
  bool operator==(const Item&) const = default;
};
using Items = std::vector<Item>;
const Item kThisComputer{"", "WS01", "WS01", 0};

Items Fill(std::vector<std::string>& errors) {
  Velmar_SidSourceComboBox::TvmSidSourceList list;
  list.Fill();
  Items items;
  for (int i = 0; i < list.Count(); ++i) {
    const auto* s = list.Sources(i);
    items.push_back({s->Server(), s->Domain(), s->Caption(), s->Kind()});
  }
  EXPECT_EQ(list.Sources(list.Count()), nullptr);
  errors = list.Errors();
  return items;
}

using SourceListSim = tavrin::test::SimTest;

TEST_F(SourceListSim, ThisComputerThenDomainsWithAControllerInTheBrowsersOrderEvenWithoutABrowser) {
  sim::NetworkBuilder builder;
  builder.ThisComputer("WS01").Domain("ZETA").Workgroup("HOME").Domain("ALPHA").Domain("SILENT");
  builder.Computer("DCZ", sim::Role::DomainController, "ZETA").MachineSid("S-1-5-21-1-1-1");
  builder.Computer("DCA", sim::Role::DomainController, "ALPHA").MachineSid("S-1-5-21-2-2-2");
  builder.Computer("DCS", sim::Role::DomainController, "SILENT")
      .MachineSid("S-1-5-21-3-3-3")
      .Answers(false);
  builder.Computer("WS01", sim::Role::Workstation, "HOME").MachineSid("S-1-5-21-4-4-4");
  Reinstall(builder.Build());
  // A workgroup and a domain with a silent controller are left out; no backslashes.
  const Item zeta{"DCZ", "ZETA", "ZETA", 1}, alpha{"DCA", "ALPHA", "ALPHA", 1};
  std::vector<std::string> errors;
  EXPECT_EQ(Fill(errors), (Items{kThisComputer, zeta, alpha}));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(sim::CountCalls("NetGetAnyDCName"), 4u);  // one per listed domain
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);

  // A silent browser: this computer stays, and the failure is noted.
  sim::FailEnumeration("NetServerEnum", "", ERROR_NO_BROWSER_SERVERS_FOUND);
  EXPECT_EQ(Fill(errors), (Items{kThisComputer}));
  EXPECT_EQ(errors, std::vector<std::string>{
                        "Win32 Error.  Code: 6118.\nThe list of servers for this workgroup is not "
                        "currently available"});
  // A domain the browser lists twice (no simulated network can) is listed twice.
  tavrin::test::ScriptedServerEnum browser({"ALPHA", "HOME", "ALPHA"}, 100);
  EXPECT_EQ(Fill(errors), (Items{kThisComputer, alpha, alpha}));
  EXPECT_EQ(browser.Outstanding(), 0u);
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

}  // namespace
