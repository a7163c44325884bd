// One QApplication per GUI test program, offscreen unless asked otherwise; an object
// library (tavrin_gui_test_support) so that its registration is never dropped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace {

int argc = 1;
char name[] = "tavrin-test";
char* argv[] = {name, nullptr};

class GuiTestEnvironment : public ::testing::Environment {
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc, argv);
    // The window's settings (the rights shown) go to a place of the test's own.
    settings_ = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_->path());
  }
  void TearDown() override {
    settings_.reset();
    application_.reset();
  }
  std::unique_ptr<QApplication> application_;
  std::unique_ptr<QTemporaryDir> settings_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiTestEnvironment);

}  // namespace
