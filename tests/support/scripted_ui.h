#pragma once
// The UI seam for tests: answers come from queues the test fills, and every question is recorded.
// A question nobody queued an answer for fails the running test (and is answered with Cancel/No), so a
// test can never block on a dialog.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace testing_support {

struct AskedEntry {
  enum class Kind { Message, OpenFile, SaveFile, Input, Print, Beep, Modal } What;
  std::string Text;     // message text, input prompt
  std::string Caption;  // message caption, dialog title, modal window's class name
  platform::MsgButtons Buttons = platform::MsgButtons::Ok;
  platform::MsgKind MessageKind = platform::MsgKind::Plain;
  platform::FileDialogOptions Options;  // file dialogs
};

class ScriptedUi : public platform::UiSeam {
 public:
  platform::MsgResult MessageBox(const std::string& text, const std::string& caption,
                                 platform::MsgButtons buttons, platform::MsgKind kind) override;
  std::optional<std::string> OpenFileName(const platform::FileDialogOptions& options) override;
  std::optional<std::string> SaveFileName(const platform::FileDialogOptions& options) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& initial) override;
  bool PrintSetup(QPrinter& printer) override;
  void Beep() override;
  // A scripted window gets the queued action instead of running; one nobody scripted runs for real, so a
  // test may also drive it with its own events.
  int RunModal(platform::ModalWindow& window) override;
  // Open while what goes on under a question or file dialog runs (WhileAsked), and while a window runs modally.
  bool ModalBoxOpen() const override { return open_ > 0; }

  // Answers, used in order. A plain OK box needs no answer.
  void QueueAnswer(platform::MsgResult answer) { answers_.push_back(answer); }
  void QueueOpenFile(std::optional<std::string> name) { openFiles_.push_back(std::move(name)); }
  void QueueSaveFile(std::optional<std::string> name) { saveFiles_.push_back(std::move(name)); }
  void QueueInput(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }
  // The next print goes to this PDF file; nullopt cancels it.
  void QueuePrintToPdf(std::optional<std::string> pdfPath) { prints_.push_back(std::move(pdfPath)); }
  // The next modal window named `name` is handed to `act`, which fills it in and gives its result.
  using ModalAction = std::function<int(platform::ModalWindow&)>;
  void QueueModal(std::string name, ModalAction act) { modals_.push_back({std::move(name), std::move(act)}); }
  // Runs `act` while a question or file dialog is open, the one after `skip` others: what goes on meanwhile
  // (the engine's timer ticks under a dialog).
  void WhileAsked(std::function<void()> act, int skip = 0) {
    meanwhile_ = std::move(act);
    meanwhileSkip_ = skip;
  }

  const std::vector<AskedEntry>& Asked() const { return asked_; }
  std::vector<std::string> Messages() const;  // texts of the message boxes, in order
  int Beeps() const { return beeps_; }
  void Clear();
  bool AllAnswersUsed() const;

 private:
  std::vector<AskedEntry> asked_;
  std::deque<platform::MsgResult> answers_;
  std::deque<std::optional<std::string>> openFiles_, saveFiles_, inputs_, prints_;
  std::deque<std::pair<std::string, ModalAction>> modals_;
  int beeps_ = 0;
  std::function<void()> meanwhile_;
  int meanwhileSkip_ = 0;
  int open_ = 0;  // boxes and windows open now
  void Meanwhile();
};

// What the windowing system does around a modal box: the box belongs to the window active when it opens
// (the Qt seam makes that window its parent), and when it closes that window is active and in front again.
// Called as a box opens; what it returns is run as the box closes. Set by the entry point of test programs
// with widgets.
using ModalBoxOpenedFunction = std::function<void()> (*)();
extern ModalBoxOpenedFunction ModalBoxOpened;

// The seam installed for the running test (a fresh one for every test).
ScriptedUi& TestUi();

// Points a printer at a PDF file. Set by the entry point of test programs that link the print support, so
// that the model tests' support links no widgets.
using PdfPrinterSetupFunction = void (*)(QPrinter& printer, const std::string& pdfPath);
extern PdfPrinterSetupFunction PdfPrinterSetup;

}  // namespace testing_support

class QApplication;
namespace testing_support {
// Made by the test entry point; a test program may define its own to use another application class.
QApplication* CreateTestApplication(int& argc, char** argv);
}  // namespace testing_support
