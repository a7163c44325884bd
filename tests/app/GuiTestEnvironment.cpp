// One QApplication per GUI test program, offscreen unless asked otherwise; an object
// library (tavrin_gui_test_support) so that its registration is never dropped.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

int argc = 1;
char name[] = "tavrin-test";
char* argv[] = {name, nullptr};

class GuiTestEnvironment : public ::testing::Environment {
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { application_.reset(); }
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiTestEnvironment);

}  // namespace
