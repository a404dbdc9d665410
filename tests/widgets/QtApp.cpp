#include "tests/widgets/QtApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class QtApplicationEnvironment : public testing::Environment {
 public:
  void SetUp() override { EnsureQtApplication(); }
  void TearDown() override { Application().reset(); }

  static std::unique_ptr<QApplication>& Application() {
    static std::unique_ptr<QApplication> application;
    return application;
  }
};

[[maybe_unused]] testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);  // gtest owns it

}  // namespace

void EnsureQtApplication() {
  static int argc = 1;
  static char name[] = "korvane_widgets_tests";
  static char* argv[] = {name, nullptr};
  auto& application = QtApplicationEnvironment::Application();
  if (!application) application = std::make_unique<QApplication>(argc, argv);
}
