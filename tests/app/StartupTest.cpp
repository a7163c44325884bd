// The program's start on the simulated platform: outside the NT family only
// the warning is shown and the program ends with 0; on NT the main window
// comes up and the program ends when it closes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/TavrinMain.h"
#include "app/fmTavrinMain.h"
#include "tests/support/SimFixture.h"

namespace {

// What was on the screen while the program ran.
struct Seen {
  QMessageBox* box = nullptr;  // valid only inside the look
  QString title, text;
  QStringList buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool mainWindow = false;
  int topLevelWindows = 0;
};

// Runs the program; once it waits for the user, looks at the screen and
// answers OK on a message box or closes the main window.
Seen RunProgram(int& exitCode) {
  Seen seen;
  QTimer::singleShot(0, [&seen] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      ++seen.topLevelWindows;
      seen.mainWindow |= qobject_cast<TTavrinForm*>(w) != nullptr;
    }
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      seen.box = box;
      seen.icon = box->icon();
      seen.title = box->windowTitle();
      seen.text = box->text();
      for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
      box->button(QMessageBox::Ok)->click();
      return;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* form = qobject_cast<TTavrinForm*>(w)) form->close();
  });
  char name[] = "tavrin";
  char* argv[] = {name, nullptr};
  exitCode = tavrin::TavrinMain(1, argv);
  return seen;
}

class Startup : public tavrin::test::SimTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(Startup, OutsideNtOnlyTheWarningThenExitZero) {
  tavrin::sim::SetPlatformId(GetParam());
  int exitCode = -1;
  const Seen seen = RunProgram(exitCode);
  EXPECT_EQ(exitCode, 0);
  ASSERT_NE(seen.box, nullptr) << "platform " << GetParam();
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.title, "Warning");
  EXPECT_EQ(seen.text,
            "This program needs Windows NT or 2000 to be executed. \r\nPress Ok button to exit");
  EXPECT_EQ(seen.buttons, QStringList({"OK"}));
  EXPECT_FALSE(seen.mainWindow);
  EXPECT_EQ(seen.topLevelWindows, 1);
}

INSTANTIATE_TEST_SUITE_P(PlatformIds, Startup, ::testing::Values(0u, 1u));

using StartupOnNt = tavrin::test::SimTest;

TEST_F(StartupOnNt, TheMainWindowRunsUntilClosed) {
  int exitCode = -1;
  const Seen seen = RunProgram(exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(seen.mainWindow);
  EXPECT_EQ(seen.box, nullptr);
}

}  // namespace
