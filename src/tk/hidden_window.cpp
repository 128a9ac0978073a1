#include "tk/hidden_window.h"

#include <QTimerEvent>

namespace tk {

HiddenWindow::HiddenWindow(WindowProc proc, QObject* parent) : QObject(parent), proc_(std::move(proc)) {}

HiddenWindow::~HiddenWindow() {
  for (auto& [id, qtId] : timers_) killTimer(qtId);
}

void HiddenWindow::Dispatch(Message& message) {
  if (proc_)
    proc_(message);
  else
    DefaultHandler(message);
}

bool HiddenWindow::SetTimer(std::uintptr_t id, int ms) {
  KillTimer(id);
  int qtId = startTimer(ms < 1 ? 1 : ms);
  if (qtId == 0) return false;
  timers_[id] = qtId;
  return true;
}

bool HiddenWindow::KillTimer(std::uintptr_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  killTimer(it->second);
  timers_.erase(it);
  return true;
}

bool HiddenWindow::event(QEvent* event) {
  if (HandleMessageEvent(event, *this)) return true;
  return QObject::event(event);
}

void HiddenWindow::timerEvent(QTimerEvent* event) {
  for (auto& [id, qtId] : timers_) {
    if (qtId == event->timerId()) {
      Message m{WM_TIMER, id, 0, 0};
      Dispatch(m);
      return;
    }
  }
}

}  // namespace tk
