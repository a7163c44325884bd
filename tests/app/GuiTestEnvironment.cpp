// One QApplication per GUI test program, offscreen unless asked otherwise, with
// the window's settings in a folder of its own (never the user's); an object
// library (tavrin_gui_test_support) so that its registration is never dropped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

#include "app/WindowSettings.h"

namespace {

int argc = 1;
char name[] = "tavrin-test";
char* argv[] = {name, nullptr};

// Every test starts with nothing remembered by the window.
class ForgetWindowSettings : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { tavrin::OpenWindowSettings()->clear(); }
};

class GuiTestEnvironment : public ::testing::Environment {
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc, argv);
    tavrin::KeepWindowSettingsIn(settings_.path());
    ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetWindowSettings);
  }
  void TearDown() override {
    tavrin::KeepWindowSettingsIn(QString());
    application_.reset();
  }
  QTemporaryDir settings_;
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiTestEnvironment);

}  // namespace
