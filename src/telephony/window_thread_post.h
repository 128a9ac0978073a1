#pragma once
// Hands work from another thread (the port's dispatch thread) to the thread of a QObject, for as long as
// that object is there: its owner detaches before the object goes, and work posted after that is
// dropped. Work already queued goes with the object.
#include <QObject>
#include <functional>
#include <mutex>

namespace telephony {

class WindowThreadPost {
 public:
  explicit WindowThreadPost(QObject* target) : target_(target) {}

  // Any thread; runs `work` later on the target's thread, in the order posted.
  void Post(std::function<void()> work);
  // The target's thread, before the target goes.
  void Detach();

 private:
  std::mutex mutex_;
  QObject* target_;
};

}  // namespace telephony
