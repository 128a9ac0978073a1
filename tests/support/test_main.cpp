// Entry point of every test program: an offscreen Qt application with the Fusion style, a private
// settings directory, and a fresh scripted UI seam for each test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <filesystem>
#include <memory>

#include "platform/ui.h"
#include "support/scripted_ui.h"

namespace testing_support {

namespace {
std::unique_ptr<ScriptedUi> current;

class FreshUiPerTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    current = std::make_unique<ScriptedUi>();
    platform::SetUi(current.get());
  }
};
}  // namespace

ScriptedUi& TestUi() { return *current; }

// A test program that needs the program's own application object defines this.
__attribute__((weak)) QApplication* CreateTestApplication(int& argc, char** argv) {
  return new QApplication(argc, argv);
}

}  // namespace testing_support

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::filesystem::path ownConfig;
  if (!::getenv("ZELTA_CONFIG_DIR")) {
    ownConfig = std::filesystem::temp_directory_path() / ("zelta-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(ownConfig);
    ::setenv("ZELTA_CONFIG_DIR", ownConfig.c_str(), 1);
  }
  // A private runtime directory: the single-instance lock of a Zelta the user runs meanwhile, or of another
  // test program, is not this program's.
  const std::filesystem::path runtime =
      std::filesystem::temp_directory_path() / ("zelta-runtime-" + std::to_string(::getpid()));
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<QApplication> application(testing_support::CreateTestApplication(argc, argv));
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(QApplication::style()->standardPalette());
  ::testing::UnitTest::GetInstance()->listeners().Append(new testing_support::FreshUiPerTest);
  int result = RUN_ALL_TESTS();
  if (!ownConfig.empty()) std::filesystem::remove_all(ownConfig);
  std::filesystem::remove_all(runtime);
  return result;
}
