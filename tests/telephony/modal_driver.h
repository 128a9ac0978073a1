#pragma once
// Acting in a modal window as a user: the action is queued before the window opens and runs once a window
// of that class is the active modal one. A window that never comes fails the test, and whatever modal
// window stands then is closed so that nothing blocks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>

namespace telephony_test {

template <class Window>
void WhenModal(std::function<void(Window&)> act) {
  auto* timer = new QTimer;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act, deadline] {
    auto* window = dynamic_cast<Window*>(QApplication::activeModalWidget());
    if (window && window->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(*window);
      return;
    }
    if (std::chrono::steady_clock::now() < deadline) return;
    timer->stop();
    timer->deleteLater();
    ADD_FAILURE() << "the expected modal window did not open";
    if (QWidget* other = QApplication::activeModalWidget()) other->close();
  });
  timer->start(5);
}

}  // namespace telephony_test
