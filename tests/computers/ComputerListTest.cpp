// The scan on whatever NT system runs the test (under Wine too) comes to an end.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "computers/ComputerList.h"
#include "passes/Startup.h"

TEST(ComputerList, ScanComesToAnEnd) {
  tavrin::StartupScope startup;
  TComputerList list;
  list.Scan();
  for (int i = 0; i < 6000 && TComputerList::Running(list.State()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const TComputerListState state = list.State();
  ASSERT_TRUE(state == lsDone || state == lsFailed) << int(state);
  // A failure (Wine: 6118) carries the prefix and the system's text.
  EXPECT_EQ(list.ErrorText().rfind("Ошибка: ", 0), state == lsDone ? std::string::npos : 0u);
  list.Clear();
  EXPECT_EQ(list.State(), lsIdle);
  EXPECT_EQ(list.Count(), 0);
}
