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

struct Step {
  std::string Name;
  std::function<bool()> Run;  // true when done; false to be asked again on the next pass of the loop
};

// What the user does to the modal window in front: true once it is dealt with.
using Answer = std::function<bool(QWidget* modal)>;

Answer Press(QMessageBox::StandardButton button) {
  return [button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box || !box->button(button)) return false;
    box->button(button)->click();
    return true;
  };
}

Answer Click(const char* buttonName) {
  return [buttonName](QWidget* modal) {
    auto* button = modal->findChild<QPushButton*>(buttonName);
    if (!button || !button->isVisible()) return false;
    button->click();
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

// The whole program with Qt's own dialogs in a folder of its own: Run() takes the steps one after another
// from the program's message loop, then closes the editor, and checks that every step was reached.
class ProgramRun {
 public:
  ProgramRun() : previousUi_(platform::SetUi(&ui_)) {
    EXPECT_EQ(::chdir(cwd_.Path().c_str()), 0);
    QObject::connect(&answerTimer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible() || answers_.empty() || !answers_.front()(modal)) return;
      answers_.erase(answers_.begin());
      ++answered_;
    });
    QObject::connect(&stepTimer_, &QTimer::timeout, [this] { NextStep(); });
  }
  ~ProgramRun() {
    EXPECT_EQ(::chdir(previousDir_.c_str()), 0);
    platform::SetUi(previousUi_);
  }

  // The user's answers to the modal windows to come, in order; a modal window with none is closed.
  void Expect(std::vector<Answer> answers) { answers_ = std::move(answers); }
  int Answered() const { return answered_; }
  std::string File(const std::string& name) const { return cwd_.File(name); }

  void Run(std::vector<Step> steps) {
    steps_ = std::move(steps);
    stepStart_ = std::chrono::steady_clock::now();
    answerTimer_.start(10);
    stepTimer_.start(5);
    EXPECT_EQ(StartUp(*qApp, WindowTable()), 0);
    answerTimer_.stop();
    stepTimer_.stop();
    EXPECT_EQ(done_, steps_.size()) << "the program ended after \"" << (done_ ? steps_[done_ - 1].Name : "start")
                                    << "\"";
  }

 private:
  void NextStep() {
    if (running_) return;  // a step's modal window is open: its own loop runs this timer
    running_ = true;
    if (done_ == steps_.size()) {
      EditorForm->close();
    } else {
      if (answers_.empty()) answers_.push_back([](QWidget* modal) { return modal->close(); });
      if (steps_[done_].Run()) {
        ++done_;
        stepStart_ = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() - stepStart_ > std::chrono::seconds(60)) {
        ADD_FAILURE() << "step \"" << steps_[done_].Name << "\" did not finish";
        QCoreApplication::exit(1);
      }
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
  std::chrono::steady_clock::time_point stepStart_;
  QTimer answerTimer_, stepTimer_;
};

const Step Attach{"attach", [] {
                    EditorForm->AttachToController1->trigger();
                    CommsForm->Timer1->setInterval(10);
                    return true;
                  }};
const Step Identified{"identified",
                      [] { return CommsForm->Engine->CommState == 114 && !CommsForm->Engine->ParamsRequest; }};

class ModalLifetime : public ::testing::Test {
 protected:
  ModalLifetime() {
    sim.SetAppVersion(400);
    sim.SetFirmwareVersion(820);
  }
  testing_support::ScopedConfigDir config;
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  ProgramRun program;
};

TEST_F(ModalLifetime, EveryModalDialogClosedWhileAttachedLeavesTheProgramRunning) {
  auto modal = [this](const std::string& name, std::function<void()> open) {
    return Step{name, [this, name, open] {
                  EXPECT_FALSE(EditorForm->isVisible()) << "the editor is hidden while attached";
                  const int before = program.Answered();
                  open();
                  EXPECT_EQ(program.Answered(), before + 1) << name << " showed one modal window";
                  return true;
                }};
  };
  QPrinter printer;
  int port = 0;
  program.Run({Attach, Identified, modal("message box", [] { platform::Ui().ShowMessage("Lost Connection"); }),
               modal("open file", [] { platform::Ui().OpenFileName({}); }),
               modal("save file", [] { platform::Ui().SaveFileName({}); }),
               modal("input box", [] { platform::Ui().InputBox("Zelta", "Name:", ""); }),
               modal("print setup", [&] { platform::Ui().PrintSetup(printer); }),
               modal("TSetupForm", [] { EditorForm->CommsSetup1->trigger(); }),
               modal("TSendX10", [] { CommsForm->MenuItems["SendX101"]->trigger(); }),
               modal("TForm26", [] { tk::ExecModal(*Form26, "TForm26"); }),
               modal("TX10Form", [] { tk::ExecModal(*X10Form, "TX10Form"); }),
               modal("phone book editor", [] { CommsForm->EditPhonebook(); }),
               modal("TGetNumberForm", [] { CommsForm->LkPhoneNumberSelector1->Execute(); }),
               modal("TComSelectForm", [&] { serial::ShowPortSelection(port); })});
}

TEST_F(ModalLifetime, ClosingTheIrLearnWindowAndSavingTheCodesLeavesTheProgramRunning) {
  sim.SetParameter(122, 4);
  const std::string path = program.File("learned.lir");
  program.Run({Attach,
               Identified,
               {"learn",
                [] {
                  CommsForm->MenuItems["LearnInfraRedCommand1"]->trigger();
                  IrForm->Edit1->setText("4");
                  IrForm->BitBtn1->click();
                  return true;
                }},
               {"learning", [] { return CommsForm->Engine->CommState == 564; }},
               {"learned", [this] { return sim.CompleteIrLearn(); }},
               {"close the learn window",
                [&] {
                  if (CommsForm->Engine->CommState != 114) return false;
                  program.Expect({Press(QMessageBox::Yes), ChooseFile(path)});
                  IrForm->BitBtn2->click();
                  return true;
                }},
               {"uploaded", [&] {
                  return std::filesystem::exists(path) && std::filesystem::file_size(path) == 5u * 256 &&
                         CommsForm->Engine->CommState == 114;
                }}});
}

TEST_F(ModalLifetime, AbortingTheDialerWithNoModemAnsweringLeavesTheProgramRunning) {
  testing_support::PtyPair line;  // no modem answers on it
  serial::test::ScopedComEnv modemPort{2, line.SlavePath()};
  platform::Registry registry(platform::RootKey::LocalMachine);
  registry.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true);
  registry.WriteInteger("ComNum", 2);
  registry.WriteInteger("NonTapi", 1);
  const Answer number = [](QWidget* modal) {
    auto* combo = modal->findChild<QComboBox*>("PhoneCombo");
    if (combo) combo->setEditText("5551234");
    return combo && Click("OkBtn")(modal);
  };
  program.Expect({number, Click("AbortBtn"), Press(QMessageBox::Ok)});
  program.Run({Attach, {"back in the editor", [this] {
                          return program.Answered() == 3 && CommsForm->Engine->CommState == 0 &&
                                 EditorForm->isVisible();
                        }}});
}

}  // namespace
}  // namespace app
