#pragma once
// Many timed events ("triggers") served by one window timer: each trigger has its own interval, repeats or
// fires once, can be disabled and calls its own handler; every firing also calls OnAllTriggers.
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "tk/component.h"
#include "tk/hidden_window.h"

namespace controls {

// Sender (the pool), trigger handle, interval and elapsed time in milliseconds.
using TVxTriggerHandler =
    std::function<void(tk::Component* sender, std::int32_t handle, std::uint32_t interval, std::int32_t elapsed)>;

// A trigger handler with the identity of its code, which AddOneShot compares: two handlers have the same
// code when they are the same function, the same method (whatever object it is bound to) or copies of one
// lambda expression (whatever they captured).
class TVxTriggerEvent {
 public:
  using Function = void (*)(tk::Component*, std::int32_t, std::uint32_t, std::int32_t);

  TVxTriggerEvent() = default;
  TVxTriggerEvent(std::nullptr_t) {}
  TVxTriggerEvent(Function function) : handler_(function) {
    if (function) SetCode(typeid(Function), function);
  }
  template <class F,
            class = std::enable_if_t<
                !std::is_same_v<std::decay_t<F>, TVxTriggerEvent> && !std::is_same_v<std::decay_t<F>, Function> &&
                std::is_invocable_v<F&, tk::Component*, std::int32_t, std::uint32_t, std::int32_t>>>
  TVxTriggerEvent(F callable) : handler_(std::move(callable)) {
    if (!handler_) return;
    // A std::function is known by what it holds, so two of them holding different lambdas differ.
    if constexpr (std::is_same_v<std::decay_t<F>, TVxTriggerHandler>) {
      if (const Function* f = handler_.template target<Function>())
        SetCode(typeid(Function), *f);
      else
        type_ = &handler_.target_type();
    } else {
      type_ = &typeid(std::decay_t<F>);
    }
  }
  // `method` of `object`.
  template <class C, class M>
  static TVxTriggerEvent Method(C* object, M C::*method) {
    TVxTriggerEvent event;
    event.handler_ = [object, method](tk::Component* sender, std::int32_t handle, std::uint32_t interval,
                                      std::int32_t elapsed) { (object->*method)(sender, handle, interval, elapsed); };
    event.SetCode(typeid(M C::*), method);
    return event;
  }

  explicit operator bool() const { return static_cast<bool>(handler_); }
  void operator()(tk::Component* sender, std::int32_t handle, std::uint32_t interval, std::int32_t elapsed) const {
    handler_(sender, handle, interval, elapsed);
  }
  bool SameCode(const TVxTriggerEvent& other) const {
    return type_ && other.type_ && *type_ == *other.type_ && code_ == other.code_;
  }

 private:
  template <class P>
  void SetCode(const std::type_info& type, P pointer) {
    static_assert(sizeof(P) <= sizeof(code_));
    type_ = &type;
    std::memcpy(code_.data(), &pointer, sizeof(P));
  }

  TVxTriggerHandler handler_;
  const std::type_info* type_ = nullptr;
  std::array<unsigned char, 2 * sizeof(void*)> code_{};
};

class TVxTimerPool : public tk::Component {
 public:
  // Intervals below this are raised to it, and the timer never runs faster.
  static constexpr std::uint32_t MinInterval = 55;
  static constexpr std::uint32_t TimerId = 1;

  explicit TVxTimerPool(tk::Component* owner);
  ~TVxTimerPool() override;
  std::string ClassName() const override { return "TVxTimerPool"; }

  // A repeating trigger; returns its handle, or -1 when none could be made.
  std::int32_t Add(TVxTriggerEvent handler, std::uint32_t interval);
  // A trigger that is removed after its first firing.
  std::int32_t AddOneTime(TVxTriggerEvent handler, std::uint32_t interval);
  // As AddOneTime, first removing a pending trigger with the same handler code.
  std::int32_t AddOneShot(TVxTriggerEvent handler, std::uint32_t interval);
  // An unknown handle does nothing.
  void Remove(std::int32_t handle);
  void RemoveAll();

  // The operations below throw EInvalidTriggerHandle for an unknown handle.
  void ResetElapsedTime(std::int32_t handle);
  std::int32_t GetElapsedTriggerTime(std::int32_t handle);
  std::int32_t GetElapsedTriggerTimeSec(std::int32_t handle);
  bool GetTriggerEnabled(std::int32_t handle) const;
  void SetTriggerEnabled(std::int32_t handle, bool enabled);
  std::uint32_t GetTriggerInterval(std::int32_t handle) const;
  // Stores the value as given: no minimum here.
  void SetTriggerInterval(std::int32_t handle, std::uint32_t interval);
  TVxTriggerEvent GetOnTrigger(std::int32_t handle) const;
  void SetOnTrigger(std::int32_t handle, TVxTriggerEvent handler);
  int GetTriggerCount() const { return static_cast<int>(triggers_.size()); }
  // Handles in list order (ascending interval).
  std::vector<std::int32_t> TriggerHandles() const;

  // The current timer period in milliseconds, 0 when no timer runs.
  std::uint32_t Period() const { return period_; }
  bool TimerRunning() const { return timerRunning_; }
  tk::HiddenWindow* Handle() const { return window_.get(); }

  // One timer tick: fires every enabled trigger that is due. The timer calls it; tests call it directly.
  virtual void DoTriggerNotification();

  std::string About() const;
  void SetAbout(const std::string&) {}
  void GetProperties(tk::PropertyList& list) const override;

  TVxTriggerEvent OnAllTriggers;

 private:
  struct Trigger {
    std::int32_t Handle = 0;
    std::uint64_t StartTime = 0;
    std::int32_t Elapsed = 0;
    std::uint32_t Interval = 0;
    std::uint64_t LastFired = 0;
    TVxTriggerEvent Handler;
    bool Enabled = true;
    bool Repeating = true;
    std::uint64_t Serial = 0;  // tells a trigger from a later one that took its handle
  };

  Trigger* Find(std::int32_t handle) const;
  Trigger& Get(std::int32_t handle) const;
  void WindowProc(tk::Message& message);
  void CountEnabled();
  void CalcNewInterval();
  void SortTriggers();
  void UpdateTimer();
  // Recount, recompute and re-arm after a change.
  void Rearm();

  std::vector<std::unique_ptr<Trigger>> triggers_;
  std::unique_ptr<tk::HiddenWindow> window_;
  std::uint32_t period_ = 0;
  int enabledCount_ = 0;
  bool timerRunning_ = false;
  bool notifying_ = false;
  std::uint64_t serials_ = 0;
};

}  // namespace controls
