#include "platform/ui.h"

#include <memory>

#include "platform/qt_ui.h"

namespace platform {

namespace {
UiSeam* installed = nullptr;
std::string title;
}  // namespace

void UiSeam::ShowMessage(const std::string& text) { MessageBox(text, ApplicationTitle(), MsgButtons::Ok); }

void UiSeam::ShowException(const std::string& message) {
  MessageBox(message, ApplicationTitle(), MsgButtons::Ok, MsgKind::Error);
}

UiSeam& Ui() {
  static std::unique_ptr<QtUi> fallback;
  if (installed) return *installed;
  if (!fallback) fallback = std::make_unique<QtUi>();
  return *fallback;
}

UiSeam* SetUi(UiSeam* seam) {
  UiSeam* previous = installed;
  installed = seam;
  return previous;
}

const std::string& ApplicationTitle() { return title; }
void SetApplicationTitle(const std::string& t) { title = t; }

}  // namespace platform
