#pragma once
// The one seam for every modal interaction: message boxes, confirmations, file dialogs, input boxes, the
// print dialog and the beep. Windows call Ui(); the program installs a Qt implementation, tests a scripted
// one that answers from a queue and records what was asked.
#include <optional>
#include <string>
#include <vector>

class QPrinter;
class QString;

namespace platform {

enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok, Cancel, Yes, No };
enum class MsgKind { Plain, Information, Warning, Error, Question };

struct FileDialogOptions {
  std::string Title;
  std::string Filter;  // the original's form: "Program files (*.pgm)|*.PGM|All files (*.*)|*.*"
  int FilterIndex = 1;
  std::string InitialDir;
  std::string FileName;    // proposed name
  std::string DefaultExt;  // without the dot; added when the chosen name has no extension
  bool MustExist = false;
};

// A window of the program run modally through the seam, so that tests can script it like a message box.
class ModalWindow {
 public:
  virtual ~ModalWindow() = default;
  // The window's class name ("TSetupForm"): what a test scripts it by.
  virtual std::string ModalName() const = 0;
  // Runs the window until it closes; its modal result.
  virtual int ExecuteModal() = 0;
  // The result of a window closed without a choice.
  virtual int CancelResult() const = 0;
};

class UiSeam {
 public:
  virtual ~UiSeam() = default;
  virtual MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                               MsgKind kind = MsgKind::Plain) = 0;
  virtual std::optional<std::string> OpenFileName(const FileDialogOptions& options) = 0;
  virtual std::optional<std::string> SaveFileName(const FileDialogOptions& options) = 0;
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& initial) = 0;
  // Lets the user set the printer up; false when the print is cancelled.
  virtual bool PrintSetup(QPrinter& printer) = 0;
  virtual void Beep() = 0;
  // Runs `window` modally and gives its result.
  virtual int RunModal(ModalWindow& window) = 0;
  // One of the program's modal boxes or windows is open: a question the program asks by itself waits, or it
  // would take the keys meant for that box.
  virtual bool ModalBoxOpen() const = 0;

  // The original's plain message: the application title as caption, one OK button.
  void ShowMessage(const std::string& text);
  // How an exception that reached the application is shown.
  void ShowException(const std::string& message);
};

// The installed seam. Until one is installed, a headless one answers every question with cancel.
UiSeam& Ui();
// Installs a seam (not owned) and returns the previous one; nullptr restores the default.
UiSeam* SetUi(UiSeam* seam);

// Before a save replaces files: asks nothing when none of `paths` exists, else one Yes/No question, titled
// `caption`, naming each that does. True to go on with the save.
bool ConfirmReplace(const std::vector<std::string>& paths, const std::string& caption);

// A file name the user chose, as program text; nothing, once the user has been told, when program text
// cannot hold it (projects and settings store their paths as 8-bit text).
std::optional<std::string> ChosenFileName(const QString& name);

const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);

}  // namespace platform
