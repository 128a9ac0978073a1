#include "app/startup.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui/controller/comms_form.h"
#include "gui/program/editor_form.h"
#include "gui/project/ascii_messages_form.h"
#include "gui/project/sys_config.h"
#include "gui/project/touch_screen_form.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace app {
namespace {

TEST(StartUp, CreatesTheWindowsInTableOrderWithTheEditorAsMainWindow) {
  const auto& table = WindowTable();
  const std::vector<std::string> order = {"TEditorForm",
                                          "TCommsForm",
                                          "TSetupForm",
                                          "TParameterForm",
                                          "TChangeParam",
                                          "TManagerParamsForm",
                                          "TManagerRestart",
                                          "TSendX10",
                                          "TMonitorX10",
                                          "TDumpForm",
                                          "TIrForm",
                                          "TSetClearRelay",
                                          "TRemoteIRForm",
                                          "TPagerForm",
                                          "TPagerMessages",
                                          "TTouchScreenForm",
                                          "TX10Grid",
                                          "TEx10Form",
                                          "TMurmexForm",
                                          "TAsciiMessages",
                                          "TForm26",
                                          "TX10Form",
                                          "TTimerVariableForm",
                                          "TForm32",
                                          "TWizard",
                                          "TTransmitASCIIForm",
                                          "TSysConfig",
                                          "TForm3"};
  std::vector<std::string> names;
  for (const WindowEntry& entry : table) names.push_back(entry.ClassName);
  EXPECT_EQ(names, order);
  // The System Map window writes its default project into the current directory.
  testing_support::TempDir cwd;
  std::string previous = platform::CurrentDir();
  ASSERT_EQ(::chdir(cwd.Path().c_str()), 0);
  int result = StartUp(*qApp, table, false);
  ASSERT_EQ(::chdir(previous.c_str()), 0);
  ASSERT_EQ(result, 0);
  ASSERT_NE(EditorForm, nullptr);
  ASSERT_NE(SysConfig, nullptr);
  EXPECT_TRUE(platform::FileExists(cwd.File("temp.prj")));
  EXPECT_EQ(EditorForm->windowTitle().toStdString(), "  Marvik/Tessaro Control Wizard - Code Editor V2.00e5");
  EXPECT_EQ(QApplication::applicationDisplayName(), "Zelta");
  // No display name of its own: the platform would append it to every caption.
  qApp->setApplicationName("Probe");
  EXPECT_EQ(QApplication::applicationDisplayName(), "Probe");
  qApp->setApplicationName("Zelta");
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible()) << "nothing shown before the loop";
  EXPECT_TRUE(testing_support::TestUi().Messages().empty()) << "a normal start shows no message";
}

TEST(StartUp, TheLoopShowsOnlyTheMainWindowEndsWhenItClosesAndThenDeletesTheWindowsLastFirst) {
  struct Window : QWidget {
    Window(std::vector<int>& gone, int n) : gone(gone), n(n) {}
    ~Window() override { gone.push_back(n); }
    std::vector<int>& gone;
    int n;
  };
  std::vector<int> gone;
  std::vector<QWidget*> made;
  std::vector<WindowEntry> table = {
      {"Main",
       [&] {
         made.push_back(new Window(gone, 1));
         return made.back();
       }},
      {"Second",
       [&] {
         made.push_back(new Window(gone, 2));
         return made.back();
       }},
  };
  bool mainWasOnlyVisible = false;
  QMetaObject::invokeMethod(
      qApp,
      [&] {
        made[1]->show();  // a window the user opened
        mainWasOnlyVisible = made[0]->isVisible();
        made[0]->close();
      },
      Qt::QueuedConnection);
  EXPECT_EQ(StartUp(*qApp, table), 0);
  EXPECT_TRUE(mainWasOnlyVisible);
  EXPECT_EQ(gone, (std::vector<int>{2, 1}));
}

TEST(StartUp, ClosingTheEditorEndsTheProgramAndTheCommunicationsLogIsSaved) {
  testing_support::TempDir cwd;
  std::string previous = platform::CurrentDir();
  ASSERT_EQ(::chdir(cwd.Path().c_str()), 0);
  QMetaObject::invokeMethod(
      qApp,
      [] {
        CommsForm->CommsDetailBox->setChecked(true);
        CommsForm->AddLogLine("Begin Program to Controller");
        EditorForm->close();
      },
      Qt::QueuedConnection);
  const int result = StartUp(*qApp, WindowTable());
  ASSERT_EQ(::chdir(previous.c_str()), 0);
  EXPECT_EQ(result, 0);
  std::string log;
  EXPECT_TRUE(platform::ReadWholeFile(cwd.File("Zelta.log"), log));
  EXPECT_EQ(log, "Begin Program to Controller\r\n");
}

// Runs the real program in a folder of its own, taking `steps` one after another from its message loop as
// the user's actions; how many were taken before the program ended.
std::size_t StepsTaken(const std::vector<std::function<void()>>& steps) {
  testing_support::TempDir cwd;
  const std::string previous = platform::CurrentDir();
  EXPECT_EQ(::chdir(cwd.Path().c_str()), 0);
  std::size_t taken = 0;
  auto last = std::chrono::steady_clock::now();
  QTimer next;
  QObject::connect(&next, &QTimer::timeout, [&] {
    if (taken < steps.size()) {
      steps[taken++]();
      last = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - last > std::chrono::seconds(30)) {
      ADD_FAILURE() << "the program did not end after the last step";
      QCoreApplication::exit(1);
    }
  });
  next.start(10);
  EXPECT_EQ(StartUp(*qApp, WindowTable()), 0);
  EXPECT_EQ(::chdir(previous.c_str()), 0);
  return taken;
}

TEST(StartUp, ExitAsksEveryWindowHoldingUnsavedWorkOrARunningDownloadAndCancelKeepsTheProgramRunning) {
  using platform::MsgResult;
  using testing_support::TestUi;
  const struct {
    const char* Question;
    std::function<void()> Edit;
    const char* Told = nullptr;  // what the end tells after the questions
  } cases[] = {
      {"Ascii data has changed and not saved, Still close?",
       [] {
         EditorForm->AsciiMessages1->trigger();
         QTableWidget* grid = AsciiMessages->StringGrid1;
         grid->setCurrentCell(0, 1);
         testing_support::TypeInCell(grid, "Hello");
         testing_support::Key(grid->indexWidget(grid->currentIndex()), Qt::Key_Return);
         // Closed, the window keeps the table: it is lost only at exit.
         TestUi().QueueAnswer(MsgResult::Ok);
         AsciiMessages->close();
       }},
      {"Touchscreen data has changed and not saved, Still close?",
       [] {
         TouchScreenForm->ShowTouchScreenDesigner();
         testing_support::Click(TouchScreenForm->findChild<QPushButton*>("Button1"));
       }},
      {"The Program Download has not started yet: closing now drops it, and it is not sent. Still close?",
       [] {
         // Asked of a connection at its idle pass, which takes the close first.
         CommsForm->Engine->CommState = 114;
         CommsForm->Engine->ProgramDownloadRequest = 1;
       },
       "Program Download not sent"},
  };
  for (const auto& c : cases) {
    bool shownAfterCancel = false;
    const std::size_t taken = StepsTaken({c.Edit,
                                          [] {
                                            TestUi().Clear();
                                            TestUi().QueueAnswer(MsgResult::Cancel);
                                            EditorForm->Exit1->trigger();
                                          },
                                          [&] {
                                            shownAfterCancel = EditorForm->isVisible();
                                            TestUi().QueueAnswer(MsgResult::Ok);
                                            EditorForm->Exit1->trigger();
                                          }});
    EXPECT_EQ(taken, 3u) << c.Question << ": the program ended at the first Exit";
    EXPECT_TRUE(shownAfterCancel) << c.Question;
    std::vector<std::string> told{c.Question, c.Question};
    if (c.Told) told.push_back(c.Told);
    EXPECT_EQ(TestUi().Messages(), told);
  }
}

TEST(StartUp, AWindowThatFailsToBeCreatedEndsTheProgramAfterOneMessage) {
  std::vector<std::string> created;
  std::vector<WindowEntry> table = {
      {"First",
       [&] {
         created.push_back("First");
         return nullptr;
       }},
      {"Broken", [&]() -> QWidget* { throw std::runtime_error("Cannot create window"); }},
      {"Later",
       [&] {
         created.push_back("Later");
         return nullptr;
       }},
  };
  EXPECT_NE(StartUp(*qApp, table), 0);
  EXPECT_EQ(created, std::vector<std::string>{"First"}) << "windows after the failing one are never created";
  EXPECT_EQ(testing_support::TestUi().Messages(), std::vector<std::string>{"Cannot create window"});
  EXPECT_EQ(testing_support::TestUi().Asked()[0].Caption, "Zelta");
}

TEST(StartUp, AnExceptionInAnEventHandlerIsShownAndTheLoopGoesOn) {
  QPointer<QWidget> main = new QWidget;
  std::vector<WindowEntry> table = {{"Main", [&] { return main.data(); }}};
  bool ranAfter = false;
  QMetaObject::invokeMethod(
      qApp, [] { throw std::runtime_error("handler failed"); }, Qt::QueuedConnection);
  QMetaObject::invokeMethod(
      qApp,
      [&] {
        ranAfter = true;
        main->close();
      },
      Qt::QueuedConnection);
  EXPECT_EQ(StartUp(*qApp, table), 0);
  EXPECT_TRUE(ranAfter);
  EXPECT_EQ(testing_support::TestUi().Messages(), std::vector<std::string>{"handler failed"});
}

TEST(StartUp, QtsFileDialogsKeepTheirStateInTheSettingsFolderForTheUsersEyesOnlyOrNowhere) {
  testing_support::TempDir xdg;
  testing_support::ScopedEnv qtsChoice("XDG_CONFIG_HOME", xdg.Path().string());
  const mode_t umask = ::umask(022);  // a new file would be readable by all
  for (bool ownFolder : {true, false}) {
    testing_support::ScopedConfigDir config;
    if (!ownFolder) ::chmod(config.Dir().Path().c_str(), 0757);  // the settings live in memory
    KeepToolkitState();
    delete new QFileDialog;  // it keeps its history as it goes
    const std::string conf = config.Dir().File("QtProject.conf");
    EXPECT_EQ(std::filesystem::exists(conf), ownFolder);
    struct stat st {};
    if (ownFolder) {
      EXPECT_EQ(::stat(conf.c_str(), &st), 0);
      EXPECT_GT(st.st_size, 0) << "the dialog wrote there";
      EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_TRUE(std::filesystem::is_empty(xdg.Path())) << ownFolder;
  }
  ::umask(umask);
}

}  // namespace
}  // namespace app
