#include "serial/notify_target.h"

namespace serial {

namespace {

std::atomic<NotifyTarget*> applicationTarget{nullptr};

struct ReadOnlyState {
  const TLkBaseDispatcher* Dispatcher = nullptr;
  std::uint32_t Offset = 0;
};
thread_local ReadOnlyState readOnly;
thread_local const TLkBaseDispatcher* notifying = nullptr;

// The slice in which a waiting dispatch thread looks at its stop flag again.
constexpr std::chrono::milliseconds kSlice{10};

}  // namespace

Delivery::Delivery(const TLkBaseDispatcher* dispatcher, std::uint32_t msg, std::uint32_t trigger, std::uint32_t data,
                   TriggerHandlerFn handler)
    : Msg(msg), Trigger(trigger), Data(data), dispatcher_(dispatcher), handler_(std::move(handler)) {}

void Delivery::Run(const std::function<void()>& fn) {
  bool late;
  {
    std::lock_guard lock(mutex_);
    late = state_ != State::Pending;
    if (!late) state_ = State::Running;
  }
  auto call = [&] {
    if (handler_)
      handler_(Msg, Trigger, Data);
    else if (fn)
      fn();
  };
  if (late) {
    ReadOnlyScope scope(dispatcher_);
    call();
    return;
  }
  try {
    NotifyScope scope(dispatcher_);  // the handler's reads peek, as on the dispatch thread
    call();
  } catch (...) {
    std::lock_guard lock(mutex_);
    state_ = State::Done;
    done_.notify_all();
    throw;
  }
  std::lock_guard lock(mutex_);
  state_ = State::Done;
  done_.notify_all();
}

bool Delivery::Wait(std::chrono::milliseconds bound, const std::atomic<bool>& kill) {
  auto end = std::chrono::steady_clock::now() + bound;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (state_ == State::Done) return true;
    if (kill) {
      if (state_ == State::Pending) state_ = State::Expired;
      // A handler already running is left to finish on its own thread; nobody waits for it.
      if (state_ == State::Running) state_ = State::Abandoned;
      return false;
    }
    if (state_ == State::Pending && bound.count() > 0 && std::chrono::steady_clock::now() >= end) {
      state_ = State::Expired;
      return false;
    }
    done_.wait_for(lock, kSlice);
  }
}

bool Delivery::Expired() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Expired;
}

void SetApplicationTarget(NotifyTarget* target) { applicationTarget = target; }
NotifyTarget* ApplicationTarget() { return applicationTarget; }

NotifyScope::NotifyScope(const TLkBaseDispatcher* dispatcher) : previous_(notifying) { notifying = dispatcher; }

NotifyScope::~NotifyScope() { notifying = previous_; }

bool NotifyScope::Active(const TLkBaseDispatcher* dispatcher) { return dispatcher && notifying == dispatcher; }

ReadOnlyScope::ReadOnlyScope(const TLkBaseDispatcher* dispatcher)
    : previous_(readOnly.Dispatcher), previousOffset_(readOnly.Offset) {
  readOnly = {dispatcher, 0};
}

ReadOnlyScope::~ReadOnlyScope() { readOnly = {previous_, previousOffset_}; }

std::uint32_t* ReadOnlyScope::OffsetFor(const TLkBaseDispatcher* dispatcher) {
  return dispatcher && readOnly.Dispatcher == dispatcher ? &readOnly.Offset : nullptr;
}

}  // namespace serial
