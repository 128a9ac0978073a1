// The program ends when its editor closes, and at no other time: with the editor hidden by an attach, the
// program's modal dialogs are opened and closed as Qt shows them (no scripted seam), and its message loop
// still runs after each. Each step runs from the program's own loop; a loop that ended early leaves the
// steps after it undone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/ir_form.h"
#include "gui/program/editor_form.h"
#include "gui/project/enter_text_form.h"
#include "gui/project/x10_form.h"
#include "gui/qt_ui.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "serial/port_select_form.h"
#include "support/pty_pair.h"
#include "support/serial_port_helpers.h"
#include "support/sim_controller.h"
#include "support/temp_dir.h"
#include "telephony/number_selector.h"
#include "tk/modal.h"

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

struct Step {
  std::string Name;
  // True when done; false to be asked again on the next pass of the loop.
  std::function<bool()> Run;
};

// What the user does to the modal window in front: true once it is dealt with.
using Answer = std::function<bool(QWidget* modal)>;

bool CloseIt(QWidget* modal) { return modal->close(); }

// Clicks the message box's `button`.
Answer Press(QMessageBox::StandardButton button) {
  return [button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box || !box->button(button)) return false;
    box->button(button)->click();
    return true;
  };
}

Answer ChooseFile(const std::string& path) {
  return [path](QWidget* modal) {
    // Typed into the name field, as a user does: the dialog's own proposal may still arrive meanwhile.
    auto* name = qobject_cast<QFileDialog*>(modal) ? modal->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (!name) return false;
    name->setText(QString::fromStdString(path));
    static_cast<QDialog*>(modal)->accept();  // the file dialog checks the name as its own button does
    return true;
  };
}

Answer ClickNamed(const char* button) {
  return [button](QWidget* modal) {
    auto* push = modal->findChild<QPushButton*>(button);
    if (!push || !push->isVisible()) return false;
    push->click();
    return true;
  };
}

// Runs the whole program with Qt's own dialogs: `steps` one after another from its message loop, each
// within `deadline`, then the editor's close. Returns how many steps ran before the loop ended.
class ProgramRun {
 public:
  ProgramRun() : previousUi_(platform::SetUi(&ui_)) {
    EXPECT_EQ(::chdir(cwd_.Path().c_str()), 0);
    answerTimer_.setInterval(10);
    QObject::connect(&answerTimer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible() || answers_.empty()) return;
      if (!answers_.front()(modal)) return;
      answers_.erase(answers_.begin());
      ++answered_;
    });
    stepTimer_.setInterval(5);
    QObject::connect(&stepTimer_, &QTimer::timeout, [this] { NextStep(); });
  }
  ~ProgramRun() {
    EXPECT_EQ(::chdir(previousDir_.c_str()), 0);
    platform::SetUi(previousUi_);
  }

  // The user's answers to the modal windows to come, in order; a modal window with no answer is closed.
  void Expect(std::vector<Answer> answers) { answers_ = std::move(answers); }

  std::size_t Run(std::vector<Step> steps, std::chrono::seconds deadline) {
    steps_ = std::move(steps);
    deadline_ = deadline;
    stepStart_ = Clock::now();
    answerTimer_.start();
    stepTimer_.start();
    EXPECT_EQ(StartUp(*qApp, WindowTable()), 0);
    answerTimer_.stop();
    stepTimer_.stop();
    return done_;
  }

  const testing_support::TempDir& Folder() const { return cwd_; }
  // How many modal windows the user has dealt with.
  int Answered() const { return answered_; }

 private:
  void NextStep() {
    if (running_) return;  // a step's modal window is open: its own loop runs this timer
    running_ = true;
    if (done_ < steps_.size()) {
      if (answers_.empty()) answers_.push_back(CloseIt);
      if (steps_[done_].Run()) {
        ++done_;
        stepStart_ = Clock::now();
      } else if (Clock::now() - stepStart_ > deadline_) {
        ADD_FAILURE() << "step \"" << steps_[done_].Name << "\" did not finish";
        QCoreApplication::exit(1);
      }
    } else {
      EditorForm->close();
    }
    running_ = false;
  }

  testing_support::TempDir cwd_;
  const std::string previousDir_ = platform::CurrentDir();
  platform::QtUi ui_;
  platform::UiSeam* previousUi_;
  std::vector<Answer> answers_;
  std::vector<Step> steps_;
  std::size_t done_ = 0;
  int answered_ = 0;
  bool running_ = false;
  std::chrono::seconds deadline_{};
  Clock::time_point stepStart_;
  QTimer answerTimer_, stepTimer_;
};

// The steps that attach the editor to the simulated controller and wait until it polls.
std::vector<Step> AttachSteps() {
  return {{"attach",
           [] {
             EditorForm->AttachToController1->trigger();
             CommsForm->Timer1->setInterval(10);
             return true;
           }},
          {"identified", [] { return CommsForm->Engine->CommState == 114 && !CommsForm->Engine->ParamsRequest; }}};
}

std::string EndedAfter(const std::vector<Step>& steps, std::size_t done) {
  return done < steps.size() ? "the program ended after \"" + (done ? steps[done - 1].Name : "start") + "\""
                             : std::string();
}

TEST(ModalLifetime, EveryModalDialogClosedWhileAttachedLeavesTheProgramRunning) {
  testing_support::ScopedConfigDir config;
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  ProgramRun program;
  auto modal = [&program](const std::string& name, std::function<void()> open) {
    return Step{name, [&program, name, open] {
                  EXPECT_FALSE(EditorForm->isVisible()) << "the editor is hidden while attached";
                  const int before = program.Answered();
                  open();
                  EXPECT_EQ(program.Answered(), before + 1) << name << " showed one modal window";
                  return true;
                }};
  };
  std::vector<Step> steps = AttachSteps();
  const std::vector<Step> dialogs = {
      modal("message box", [] { platform::Ui().ShowMessage("Lost Connection"); }),
      modal("open file", [] { platform::Ui().OpenFileName({}); }),
      modal("save file", [] { platform::Ui().SaveFileName({}); }),
      modal("input box", [] { platform::Ui().InputBox("Zelta", "Name:", ""); }),
      modal("print setup",
            [] {
              QPrinter printer;
              platform::Ui().PrintSetup(printer);
            }),
      modal("TSetupForm", [] { EditorForm->CommsSetup1->trigger(); }),
      modal("TSendX10", [] { CommsForm->MenuItems["SendX101"]->trigger(); }),
      modal("TForm26", [] { tk::ExecModal(*Form26, "TForm26"); }),
      modal("TX10Form", [] { tk::ExecModal(*X10Form, "TX10Form"); }),
      modal("phone book editor", [] { CommsForm->EditPhonebook(); }),
      modal("TGetNumberForm", [] { CommsForm->LkPhoneNumberSelector1->Execute(); }),
      modal("TComSelectForm",
            [] {
              int number = 0;
              serial::ShowPortSelection(number);
            }),
  };
  steps.insert(steps.end(), dialogs.begin(), dialogs.end());
  const std::size_t done = program.Run(steps, std::chrono::seconds(60));
  EXPECT_EQ(done, steps.size()) << EndedAfter(steps, done);
}

TEST(ModalLifetime, ClosingTheIrLearnWindowAndSavingTheCodesLeavesTheProgramRunning) {
  testing_support::ScopedConfigDir config;
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  sim.SetParameter(122, 4);
  ProgramRun program;
  const std::string path = program.Folder().File("learned.lir");
  std::vector<Step> steps = AttachSteps();
  const std::vector<Step> learn = {
      {"learn",
       [] {
         CommsForm->MenuItems["LearnInfraRedCommand1"]->trigger();
         IrForm->Edit1->setText("4");
         IrForm->BitBtn1->click();
         return true;
       }},
      {"learning", [] { return CommsForm->Engine->CommState == 564; }},
      {"learned", [&sim] { return sim.CompleteIrLearn(); }},
      {"close the learn window",
       [&] {
         if (CommsForm->Engine->CommState != 114) return false;
         program.Expect({Press(QMessageBox::Yes), ChooseFile(path)});
         IrForm->BitBtn2->click();
         return true;
       }},
      {"uploaded",
       [&] {
         return std::filesystem::exists(path) && std::filesystem::file_size(path) == 5u * 256 &&
                CommsForm->Engine->CommState == 114;
       }},
  };
  steps.insert(steps.end(), learn.begin(), learn.end());
  const std::size_t done = program.Run(steps, std::chrono::seconds(60));
  EXPECT_EQ(done, steps.size()) << EndedAfter(steps, done);
}

TEST(ModalLifetime, AbortingTheDialerWithNoModemAnsweringLeavesTheProgramRunning) {
  testing_support::ScopedConfigDir config;
  testing_support::PtyPair line;  // no modem answers on it
  serial::test::ScopedComEnv com{1, line.SlavePath()};
  {
    platform::Registry registry(platform::RootKey::LocalMachine);
    registry.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true);
    registry.WriteInteger("ComNum", 1);
    registry.WriteInteger("NonTapi", 1);
  }
  ProgramRun program;
  bool dialled = false;
  program.Expect({[](QWidget* modal) {
                    auto* combo = modal->findChild<QComboBox*>("PhoneCombo");
                    if (!combo) return false;
                    combo->setEditText("5551234");
                    return ClickNamed("OkBtn")(modal);
                  },
                  [&dialled](QWidget* modal) { return dialled = ClickNamed("AbortBtn")(modal); },
                  Press(QMessageBox::Ok)});
  const std::vector<Step> steps = {
      {"attach",
       [] {
         EditorForm->AttachToController1->trigger();
         CommsForm->Timer1->setInterval(10);
         return true;
       }},
      {"back in the editor", [&] { return dialled && CommsForm->Engine->CommState == 0 && EditorForm->isVisible(); }},
  };
  const std::size_t done = program.Run(steps, std::chrono::seconds(60));
  EXPECT_EQ(done, steps.size()) << EndedAfter(steps, done);
  EXPECT_TRUE(dialled);
}

}  // namespace
}  // namespace app
