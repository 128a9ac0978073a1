#pragma once
// The one place an exception that escapes a window procedure or an event ends: it is shown the way the
// application object shows one, and the message loop goes on. Qt's event dispatch must never see it.
#include <exception>
#include <utility>

namespace tk {

void HandleException(const std::exception_ptr& error);

// Runs `work`; an exception it throws goes to HandleException.
template <class F>
void Guarded(F&& work) {
  try {
    std::forward<F>(work)();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

}  // namespace tk
