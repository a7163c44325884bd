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

using tavrin::test::SimTest;

// What was on the screen while the program ran.
struct Seen {
  bool messageBox = false;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title, text;
  QStringList buttons;
  bool mainWindow = false;
  int topLevelWindows = 0;
};

// Looks at the screen once the program waits for the user, then answers:
// OK on a message box, closing the main window.
void AnswerWhenShown(Seen& seen) {
  QTimer::singleShot(0, [&seen] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      ++seen.topLevelWindows;
      if (qobject_cast<TTavrinForm*>(w)) seen.mainWindow = true;
    }
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      seen.messageBox = true;
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
}

int RunProgram() {
  char name[] = "tavrin";
  char* argv[] = {name, nullptr};
  return tavrin::TavrinMain(1, argv);
}

class Startup : public SimTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(Startup, OutsideNtOnlyTheWarningThenExitZero) {
  tavrin::sim::SetPlatformId(GetParam());
  Seen seen;
  AnswerWhenShown(seen);
  EXPECT_EQ(RunProgram(), 0);
  ASSERT_TRUE(seen.messageBox) << "platform " << GetParam();
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.title, "Warning");
  EXPECT_EQ(seen.text,
            "This program needs Windows NT or 2000 to be executed. \r\nPress Ok button to exit");
  EXPECT_EQ(seen.buttons, QStringList({"OK"}));
  EXPECT_FALSE(seen.mainWindow);
  EXPECT_EQ(seen.topLevelWindows, 1);
}

INSTANTIATE_TEST_SUITE_P(PlatformIds, Startup, ::testing::Values(0u, 1u));

class StartupOnNt : public SimTest {};

TEST_F(StartupOnNt, TheMainWindowRunsUntilClosed) {
  Seen seen;
  AnswerWhenShown(seen);
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_TRUE(seen.mainWindow);
  EXPECT_FALSE(seen.messageBox);
}

}  // namespace
