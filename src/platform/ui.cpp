#include "platform/ui.h"

#include <QString>
#include <cstdio>

#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

namespace {
UiSeam* installed = nullptr;
std::string title;
}  // namespace

void UiSeam::ShowMessage(const std::string& text) { MessageBox(text, ApplicationTitle(), MsgButtons::Ok); }

void UiSeam::ShowException(const std::string& message) {
  MessageBox(message, ApplicationTitle(), MsgButtons::Ok, MsgKind::Error);
}

namespace {
// Stands in until the program installs its windows' seam: says on standard error what it was asked and
// answers as a user who cancels.
class HeadlessUi : public UiSeam {
 public:
  MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgKind) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return buttons == MsgButtons::Ok ? MsgResult::Ok : buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
  }
  std::optional<std::string> OpenFileName(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> SaveFileName(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  bool PrintSetup(QPrinter&) override { return false; }
  void Beep() override {}
  int RunModal(ModalWindow& window) override { return window.CancelResult(); }
  bool ModalBoxOpen() const override { return false; }
};
}  // namespace

UiSeam& Ui() {
  static HeadlessUi fallback;
  return installed ? *installed : fallback;
}

UiSeam* SetUi(UiSeam* seam) {
  UiSeam* previous = installed;
  installed = seam;
  return previous;
}

bool ConfirmReplace(const std::vector<std::string>& paths, const std::string& caption) {
  std::vector<std::string> existing;
  for (const std::string& path : paths)
    if (FileExists(path)) existing.push_back(path);
  if (existing.empty()) return true;
  std::string names;
  for (const std::string& path : existing) names += (names.empty() ? "" : "\n") + path;
  const std::string text = existing.size() == 1 ? names + " already exists.\nDo you want to replace it?"
                                                : names + "\nalready exist.\nDo you want to replace them?";
  return Ui().MessageBox(text, caption, MsgButtons::YesNo, MsgKind::Warning) == MsgResult::Yes;
}

std::optional<std::string> ChosenFileName(const QString& name) {
  std::optional<std::string> text = FromQString(name);
  if (!text) {
    const QByteArray utf8 = name.toUtf8();
    Ui().ShowMessage("The name \"" + Utf8ToLatin1(std::string_view(utf8.constData(), utf8.size())) +
                     "\" holds characters Zelta cannot store. Please choose a name in Western European letters.");
  }
  return text;
}

const std::string& ApplicationTitle() { return title; }
void SetApplicationTitle(const std::string& t) { title = t; }

}  // namespace platform
