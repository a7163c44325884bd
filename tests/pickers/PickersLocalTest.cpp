// This computer's account and source lists on any NT system (Wine too) fill and end.
#include <gtest/gtest.h>

#include <set>

#include "passes/Startup.h"
#include "pickers/Velmar_SidSourceComboBoxList.h"
#include "pickers/Velmar_UsersComboBoxList.h"

TEST(PickersLocal, ListsOfThisComputerFillAndEnd) {
  tavrin::StartupScope startup;
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &size));

  TvmUserList list;
  list.SetDomain(computer);
  list.Fill();  // under Wine the user enumeration repeats itself: it must end
  std::set<TvmWellKnownSid> wellKnown;
  for (int i = 0; i < list.Count(); ++i) {
    const TvmUserInfo* entry = list.UserInfo(i);
    EXPECT_TRUE(IsValidSid(entry->Sid()));
    EXPECT_FALSE(entry->Name().empty());
    if (entry->WellKnown() == wkOther) continue;
    EXPECT_EQ(int(wellKnown.size()), i) << entry->Name();  // well-known accounts come first
    wellKnown.insert(entry->WellKnown());
  }
  for (TvmWellKnownSid value : {wkWorld, wkLocalSystem, wkAdminsAlias, wkUsersAlias})
    EXPECT_TRUE(wellKnown.count(value)) << "well-known value " << int(value);
  for (const std::string& error : list.Errors())
    EXPECT_EQ(error.rfind("Win32 Error.  Code: ", 0), 0u) << error;

  Velmar_SidSourceComboBox::TvmSidSourceList sources;
  sources.Fill();
  ASSERT_GE(sources.Count(), 1);
  EXPECT_EQ(sources.Sources(0)->Domain(), computer);
  EXPECT_EQ(sources.Sources(0)->Server(), "");
  for (int i = 1; i < sources.Count(); ++i) {
    EXPECT_EQ(sources.Sources(i)->Kind(), 1);
    EXPECT_NE(sources.Sources(i)->Server().substr(0, 1), "\\");
  }
}
