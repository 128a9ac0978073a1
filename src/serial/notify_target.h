#pragma once
// Delivery of trigger notifications to the window thread. The dispatcher's core knows no Qt: a window
// handler is a NotifyTarget that hands a Delivery over to its own thread (the port component posts an
// event to its receiver) and later runs it there with Delivery::Run. The dispatch thread waits on the
// delivery in short slices, up to a bound (window handlers) or without one (synchronised handlers),
// and gives up at once when the port is being stopped.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace serial {

class TLkBaseDispatcher;

// Trigger messages (first parameter, second parameter = dispatcher Handle * 65536 + data).
inline constexpr std::uint32_t kMsgDataAvail = 0x7E01;
inline constexpr std::uint32_t kMsgDataTrigger = 0x7E02;
inline constexpr std::uint32_t kMsgTimerTrigger = 0x7E03;
inline constexpr std::uint32_t kMsgStatusTrigger = 0x7E04;

// The longest a window handler may keep the dispatch thread waiting before its delivery starts.
inline constexpr std::chrono::milliseconds kWindowDeliveryBound{3000};

using TriggerHandlerFn = std::function<void(std::uint32_t msg, std::uint32_t trigger, std::uint32_t data)>;

class Delivery {
 public:
  Delivery(const TLkBaseDispatcher* dispatcher, std::uint32_t msg, std::uint32_t trigger, std::uint32_t data,
           TriggerHandlerFn handler = {});

  const std::uint32_t Msg, Trigger, Data;

  // Window thread: runs the handler given at construction (a synchronised event handler) with the
  // message, or, for a delivery without one, `fn` (the window target's handling of the message).
  // A delivery whose wait has already ended (timed out or the port stopped) still runs, but its reads
  // of the receive ring consume nothing.
  void Run(const std::function<void()>& fn = {});

  // Dispatch thread: waits until Run has finished. `bound` <= 0 waits without a time bound. A delivery
  // that has not started when the bound passes, or when `kill` becomes true, is marked expired and the
  // result is false. Once started it is waited for until it ends or `kill` becomes true.
  bool Wait(std::chrono::milliseconds bound, const std::atomic<bool>& kill);

  bool Expired() const;

 private:
  enum class State { Pending, Running, Done, Expired, Abandoned };
  const TLkBaseDispatcher* dispatcher_;
  TriggerHandlerFn handler_;
  mutable std::mutex mutex_;
  std::condition_variable done_;
  State state_ = State::Pending;
};

class NotifyTarget {
 public:
  virtual ~NotifyTarget() = default;
  // Called on the dispatch thread with no dispatcher lock held: hand the delivery to the target's thread,
  // which calls delivery->Run(...) when it gets to it. Must not run it inline on the calling thread.
  virtual void Post(std::shared_ptr<Delivery> delivery) = 0;
};

// The application's (window) thread, where synchronised event handlers run. Without one they run on the
// dispatch thread itself (tests, a program without windows).
void SetApplicationTarget(NotifyTarget* target);
NotifyTarget* ApplicationTarget();

// While alive on a thread, that thread notifies `dispatcher`'s handlers: while the dispatcher is in peek
// mode, reads of its receive ring from this thread peek. Reads from any other thread consume.
class NotifyScope {
 public:
  explicit NotifyScope(const TLkBaseDispatcher* dispatcher);
  ~NotifyScope();
  NotifyScope(const NotifyScope&) = delete;
  NotifyScope& operator=(const NotifyScope&) = delete;

  static bool Active(const TLkBaseDispatcher* dispatcher);

 private:
  const TLkBaseDispatcher* previous_;
};

// While alive on a thread, reads of `dispatcher`'s receive ring from that thread peek instead of
// consuming (a late delivery's handler).
class ReadOnlyScope {
 public:
  explicit ReadOnlyScope(const TLkBaseDispatcher* dispatcher);
  ~ReadOnlyScope();
  ReadOnlyScope(const ReadOnlyScope&) = delete;
  ReadOnlyScope& operator=(const ReadOnlyScope&) = delete;

  // The scope's read offset for `dispatcher` on this thread, or null when no scope is active for it.
  static std::uint32_t* OffsetFor(const TLkBaseDispatcher* dispatcher);

 private:
  const TLkBaseDispatcher* previous_;
  std::uint32_t previousOffset_;
};

}  // namespace serial
