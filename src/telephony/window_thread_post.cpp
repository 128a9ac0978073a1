#include "telephony/window_thread_post.h"

namespace telephony {

void WindowThreadPost::Post(std::function<void()> work) {
  // The lock keeps the target from going while the work is being queued for it.
  std::lock_guard lock(mutex_);
  if (target_) QMetaObject::invokeMethod(target_, std::move(work), Qt::QueuedConnection);
}

void WindowThreadPost::Detach() {
  std::lock_guard lock(mutex_);
  target_ = nullptr;
}

}  // namespace telephony
