#include "support/scripted_ui.h"

#include <gtest/gtest.h>

#include <utility>

namespace testing_support {

PdfPrinterSetupFunction PdfPrinterSetup = nullptr;
ModalBoxOpenedFunction ModalBoxOpened = nullptr;

using platform::MsgButtons;
using platform::MsgResult;

MsgResult ScriptedUi::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                                 platform::MsgKind kind) {
  asked_.push_back({AskedEntry::Kind::Message, text, caption, buttons, kind, {}});
  Meanwhile();
  const std::function<void()> closed = ModalBoxOpened ? ModalBoxOpened() : nullptr;
  MsgResult answer = MsgResult::Ok;
  if (buttons == MsgButtons::Ok && (answers_.empty() || answers_.front() != MsgResult::Ok)) {
    answer = MsgResult::Ok;
  } else if (answers_.empty()) {
    ADD_FAILURE() << "unexpected question: \"" << text << "\" (" << caption << ")";
    answer = buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
  } else {
    answer = answers_.front();
    answers_.pop_front();
  }
  if (closed) closed();
  return answer;
}

void ScriptedUi::Meanwhile() {
  if (!meanwhile_ || meanwhileSkip_-- > 0) return;
  std::function<void()> act = std::exchange(meanwhile_, nullptr);
  ++open_;
  act();
  --open_;
}

namespace {
std::optional<std::string> Take(std::deque<std::optional<std::string>>& queue, const char* what,
                                const std::string& title) {
  if (queue.empty()) {
    ADD_FAILURE() << "unexpected " << what << ": \"" << title << "\"";
    return std::nullopt;
  }
  auto answer = queue.front();
  queue.pop_front();
  return answer;
}
}  // namespace

std::optional<std::string> ScriptedUi::OpenFileName(const platform::FileDialogOptions& options) {
  asked_.push_back({AskedEntry::Kind::OpenFile, "", options.Title, MsgButtons::Ok, {}, options});
  Meanwhile();
  return Take(openFiles_, "open dialog", options.Title);
}

std::optional<std::string> ScriptedUi::SaveFileName(const platform::FileDialogOptions& options) {
  asked_.push_back({AskedEntry::Kind::SaveFile, "", options.Title, MsgButtons::Ok, {}, options});
  Meanwhile();
  return Take(saveFiles_, "save dialog", options.Title);
}

std::optional<std::string> ScriptedUi::InputBox(const std::string& caption, const std::string& prompt,
                                                const std::string&) {
  asked_.push_back({AskedEntry::Kind::Input, prompt, caption, MsgButtons::Ok, {}, {}});
  return Take(inputs_, "input box", caption);
}

bool ScriptedUi::PrintSetup(QPrinter& printer) {
  asked_.push_back({AskedEntry::Kind::Print, "", "", MsgButtons::Ok, {}, {}});
  auto pdf = Take(prints_, "print dialog", "");
  if (!pdf) return false;
  if (!PdfPrinterSetup) {
    ADD_FAILURE() << "printing needs the test entry point with widgets";
    return false;
  }
  PdfPrinterSetup(printer, *pdf);
  return true;
}

int ScriptedUi::RunModal(platform::ModalWindow& window) {
  const std::string name = window.ModalName();
  asked_.push_back({AskedEntry::Kind::Modal, "", name, MsgButtons::Ok, {}, {}});
  const struct Open {
    int& Count;
    explicit Open(int& count) : Count(++count) {}
    ~Open() { --Count; }
  } open(open_);
  if (modals_.empty()) return window.ExecuteModal();
  auto [expected, act] = std::move(modals_.front());
  modals_.pop_front();
  if (expected != name) {
    ADD_FAILURE() << "window " << name << " shown where " << expected << " was scripted";
    return window.CancelResult();
  }
  return act(window);
}

void ScriptedUi::Beep() {
  asked_.push_back({AskedEntry::Kind::Beep, "", "", MsgButtons::Ok, {}, {}});
  ++beeps_;
}

std::vector<std::string> ScriptedUi::Messages() const {
  std::vector<std::string> texts;
  for (const auto& a : asked_)
    if (a.What == AskedEntry::Kind::Message) texts.push_back(a.Text);
  return texts;
}

void ScriptedUi::Clear() {
  asked_.clear();
  answers_.clear();
  openFiles_.clear();
  saveFiles_.clear();
  inputs_.clear();
  prints_.clear();
  modals_.clear();
  meanwhile_ = nullptr;
  beeps_ = 0;
}

bool ScriptedUi::AllAnswersUsed() const {
  return answers_.empty() && openFiles_.empty() && saveFiles_.empty() && inputs_.empty() && prints_.empty() &&
         modals_.empty();
}

}  // namespace testing_support
