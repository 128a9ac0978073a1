#pragma once
#include <QStringList>

#include "platform/ui.h"

namespace platform {

// The seam shown to the user: Qt message boxes and dialogs.
class QtUi : public UiSeam {
 public:
  MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgKind kind) override;
  std::optional<std::string> OpenFileName(const FileDialogOptions& options) override;
  std::optional<std::string> SaveFileName(const FileDialogOptions& options) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& initial) override;
  bool PrintSetup(QPrinter& printer) override;
  void Beep() override;
  int RunModal(ModalWindow& window) override;
  bool ModalBoxOpen() const override;
};

// "Program files (*.pgm)|*.PGM" -> {"Program files (*.pgm *.PGM)"}: every pattern in both cases, since
// the original's files may be named either way.
QStringList QtFilters(const std::string& filter);

}  // namespace platform
