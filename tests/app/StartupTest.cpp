// The program's start: outside the NT family only the warning, on NT the window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "app/TavrinMain.h"
#include "app/fmTavrinMain.h"
#include "platform/NetworkArgs.h"
#include "tests/support/SimFixture.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

// What was on the screen once the program waited for the user.
struct Seen {
  int exitCode = -1;
  QStringList texts;    // the box's title, text, buttons; the window's title and network
  QStringList windows;  // the classes of the windows shown
};

// Runs the program and answers OK on a message box or closes the main window.
Seen RunProgram() {
  Seen seen;
  QTimer::singleShot(0, [&seen] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) seen.windows << w->metaObject()->className();
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      seen.texts << box->windowTitle() << box->text();
      for (QAbstractButton* button : box->buttons()) seen.texts << button->text();
      box->button(QMessageBox::Ok)->click();
    } else {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TTavrinForm*>(w)) {
          const auto* label = w->findChild<QLabel*>(QStringLiteral("NetworkLabel"));
          seen.texts << w->windowTitle() << (label ? label->text() : "(no network label)");
          w->close();
        }
    }
  });
  char name[] = "tavrin";
  char* argv[] = {name, nullptr};
  seen.exitCode = tavrin::TavrinMain(1, argv);
  return seen;
}

class Startup : public tavrin::test::SimTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(Startup, OnlyNtOpensTheMainWindowOthersOnlyWarn) {
  tavrin::sim::SetPlatformId(GetParam());
  const Seen seen = RunProgram();
  EXPECT_EQ(seen.exitCode, 0);
  const bool nt = GetParam() == 2;  // VER_PLATFORM_WIN32_NT
  EXPECT_EQ(seen.windows, QStringList({nt ? "TTavrinForm" : "QMessageBox"}));
  EXPECT_EQ(seen.texts, nt ? QStringList({"Tavrin", "simulated network"})
                           : QStringList({"Warning",
                                          "This program needs Windows NT or 2000 to be executed. "
                                          "\r\nPress Ok button to exit",
                                          "OK"}));
}

INSTANTIATE_TEST_SUITE_P(PlatformIds, Startup, ::testing::Values(0u, 1u, 2u));

TEST(NetworkOptions, AreTakenOutOfTheArgumentsOrRefused) {
  using tavrin::platform::TakeNetworkArgs;
  std::vector<std::string> args = {
      "-style", "fusion",      "--network",     "real", "--server",         "dc01:4455",
      "--user", "CORP\\admin", "--password-fd", "3",    "--computers-file", "list.txt",
      "x"};
  const auto taken = TakeNetworkArgs(args, true);
  EXPECT_TRUE(taken.real);
  EXPECT_EQ(taken.options.server + "|" + taken.options.user + "|" + taken.options.computersFile,
            "dc01:4455|CORP\\admin|list.txt");
  EXPECT_EQ(taken.passwordFd, 3);
  EXPECT_EQ(args, (std::vector<std::string>{"-style", "fusion", "x"}));
  // tavrin-cli keeps its own --computers-file.
  args = {"--computers-file", "a"};
  EXPECT_FALSE(TakeNetworkArgs(args).real);
  EXPECT_EQ(args.size(), 2u);

  const std::vector<std::vector<std::string>> refused = {
      {"--network"},
      {"--network", "lan"},
      {"--network", "real", "--server", "dc01"},
      {"--network", "real", "--user", "u"},
      {"--server", "dc01"},
      {"--network", "sim", "--password-fd", "0"},
      {"--network", "real", "--server", "s", "--user", "u", "--password-fd", "-1"}};
  for (std::vector<std::string> bad : refused)
    EXPECT_THROW(TakeNetworkArgs(bad, true), std::invalid_argument) << bad.back();
}

}  // namespace
