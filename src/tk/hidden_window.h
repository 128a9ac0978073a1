#pragma once
// Stands in for a hidden message-only window: messages posted or sent to it and its window timers reach
// the window procedure given at construction.
#include <QObject>
#include <functional>
#include <map>

#include "tk/message.h"

namespace tk {

class HiddenWindow : public QObject, public MessageTarget {
 public:
  using WindowProc = std::function<void(Message&)>;
  explicit HiddenWindow(WindowProc proc, QObject* parent = nullptr);
  ~HiddenWindow() override;

  void Dispatch(Message& message) override;
  // Starts (or restarts) timer `id`; WM_TIMER with the id in the word parameter arrives every `ms`.
  bool SetTimer(std::uintptr_t id, int ms);
  bool KillTimer(std::uintptr_t id);

 protected:
  bool event(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  WindowProc proc_;
  std::map<std::uintptr_t, int> timers_;  // our id -> Qt timer id
};

}  // namespace tk
