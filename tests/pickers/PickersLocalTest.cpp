// The account and source lists of this computer, on whatever NT system runs
// the test (under Wine too): the fills end, this computer is a source, and
// the well-known accounts the system can name are listed.
#include <gtest/gtest.h>

#include <set>

#include "app/Startup.h"
#include "pickers/Velmar_SidSourceComboBoxList.h"
#include "pickers/Velmar_UsersComboBoxList.h"

namespace {

std::string ThisComputer() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  EXPECT_TRUE(GetComputerNameA(name, &size));
  return name;
}

TEST(PickersLocal, AccountListOfThisComputerFillsAndEnds) {
  tavrin::StartupScope startup;
  TvmUserList list;
  list.SetDomain(ThisComputer());
  list.Fill();  // under Wine the user enumeration repeats itself: it must end
  for (const std::string& error : list.Errors()) std::printf("error: %s\n", error.c_str());
  std::set<TvmWellKnownSid> wellKnown;
  for (int i = 0; i < list.Count(); ++i) {
    const TvmUserInfo* entry = list.UserInfo(i);
    ASSERT_NE(entry->Sid(), nullptr);
    EXPECT_TRUE(IsValidSid(entry->Sid()));
    EXPECT_FALSE(entry->Name().empty());
    wellKnown.insert(entry->WellKnown());
  }
  std::printf("%d accounts, %zu well-known, %zu errors\n", list.Count(), wellKnown.size(),
              list.Errors().size());
  // Every NT system names these.
  for (TvmWellKnownSid value : {wkWorld, wkLocalSystem, wkAdminsAlias, wkUsersAlias})
    EXPECT_TRUE(wellKnown.count(value)) << "well-known value " << int(value);
  // Well-known accounts come first.
  bool other = false;
  for (int i = 0; i < list.Count(); ++i) {
    if (list.UserInfo(i)->WellKnown() == wkOther)
      other = true;
    else
      EXPECT_FALSE(other) << list.UserInfo(i)->Name() << " after an enumerated account";
  }
  // Every failure is worded as a system error.
  for (const std::string& error : list.Errors())
    EXPECT_EQ(error.rfind("Win32 Error.  Code: ", 0), 0u) << error;
}

TEST(PickersLocal, SourceListHoldsThisComputer) {
  tavrin::StartupScope startup;
  Velmar_SidSourceComboBox::TvmSidSourceList list;
  list.Fill();
  ASSERT_GE(list.Count(), 1);
  EXPECT_EQ(list.Sources(0)->Domain(), ThisComputer());
  EXPECT_EQ(list.Sources(0)->Caption(), ThisComputer());
  EXPECT_EQ(list.Sources(0)->Server(), "");
  EXPECT_EQ(list.Sources(0)->Kind(), 0);
  for (int i = 1; i < list.Count(); ++i) {
    EXPECT_EQ(list.Sources(i)->Kind(), 1);
    EXPECT_FALSE(list.Sources(i)->Server().empty());
    EXPECT_NE(list.Sources(i)->Server().substr(0, 1), "\\");
  }
  for (const std::string& error : list.Errors()) std::printf("error: %s\n", error.c_str());
}

}  // namespace
