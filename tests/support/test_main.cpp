// Entry point of every test program: an offscreen Qt application with the Fusion style, a private
// settings directory, and a fresh scripted UI seam for each test. The model tests build it without
// widgets (ZELTA_TEST_NO_WIDGETS), on a GUI application.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#ifdef ZELTA_TEST_NO_WIDGETS
#include <QGuiApplication>
#else
#include <QApplication>
#include <QPointer>
#include <QPrinter>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include "gui/alt_keys.h"
#endif
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

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

#ifndef ZELTA_TEST_NO_WIDGETS
// A test program that needs the program's own application object defines this. The windows get the key
// handling the program's application gives them.
__attribute__((weak)) QApplication* CreateTestApplication(int& argc, char** argv) {
  auto* application = new QApplication(argc, argv);
  gui::InstallAltKeysTypeNothing(*application);
  return application;
}

namespace {
void PrintToPdf(QPrinter& printer, const std::string& pdfPath) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdfPath));
}

// The offscreen platform has no window manager to give the focus back when a box closes.
std::function<void()> ReturnToBoxOwner() {
  QPointer<QWidget> owner = QApplication::activeWindow();
  return [owner] {
    if (!owner || !owner->isVisible()) return;
    owner->raise();
    owner->activateWindow();
  };
}
}  // namespace
#endif

}  // namespace testing_support

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::filesystem::path ownConfig;
  if (!::getenv("ZELTA_CONFIG_DIR")) {
    ownConfig = std::filesystem::temp_directory_path() / ("zelta-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(ownConfig);
    // Whatever the umask: a settings folder others may change is not used.
    std::filesystem::permissions(ownConfig, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    ::setenv("ZELTA_CONFIG_DIR", ownConfig.c_str(), 1);
  }
  // A private runtime directory: the single-instance lock of a Zelta the user runs meanwhile, or of another
  // test program, is not this program's. A death test's child runs in its parent's.
  std::filesystem::path runtime;
  const char* inherited = ::getenv("XDG_RUNTIME_DIR");
  if (!inherited || std::string_view(inherited).find("/zelta-runtime-") == std::string_view::npos) {
    runtime = std::filesystem::temp_directory_path() / ("zelta-runtime-" + std::to_string(::getpid()));
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
#ifdef ZELTA_TEST_NO_WIDGETS
  QGuiApplication application(argc, argv);
#else
  std::unique_ptr<QApplication> application(testing_support::CreateTestApplication(argc, argv));
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(QApplication::style()->standardPalette());
  testing_support::PdfPrinterSetup = testing_support::PrintToPdf;
  testing_support::ModalBoxOpened = testing_support::ReturnToBoxOwner;
#endif
  ::testing::UnitTest::GetInstance()->listeners().Append(new testing_support::FreshUiPerTest);
  int result = RUN_ALL_TESTS();
  if (!ownConfig.empty()) std::filesystem::remove_all(ownConfig);
  if (!runtime.empty()) std::filesystem::remove_all(runtime);
  return result;
}
