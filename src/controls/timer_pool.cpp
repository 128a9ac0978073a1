#include "controls/timer_pool.h"

#include <algorithm>
#include <climits>
#include <new>

#include "controls/exceptions.h"
#include "controls/version.h"
#include "tk/exception_guard.h"
#include "tk/filer.h"
#include "tk/services.h"

namespace controls {

namespace {

constexpr std::int64_t MaxElapsed = 2147483647;

// Milliseconds from `since` to `now`, capped where a 64-bit difference would pass the elapsed time's range.
// The tick count is 64 bits wide and never wraps, so no firing is lost or doubled after 49.7 days.
std::int64_t TicksSince(std::uint64_t since, std::uint64_t now) {
  if (since >= now) return 0;
  return static_cast<std::int64_t>(std::min<std::uint64_t>(now - since, MaxElapsed));
}

const bool kRegistered =
    (tk::RegisterClass("TVxTimerPool", [](tk::Component* owner) { return new TVxTimerPool(owner); }), true);

}  // namespace

TVxTimerPool::TVxTimerPool(tk::Component* owner)
    : tk::Component(owner), window_(std::make_unique<tk::HiddenWindow>([this](tk::Message& m) { WindowProc(m); })) {}

TVxTimerPool::~TVxTimerPool() {
  period_ = 0;
  UpdateTimer();
  triggers_.clear();
  window_.reset();
}

std::string TVxTimerPool::About() const { return VxVersionText; }

void TVxTimerPool::GetProperties(tk::PropertyList& list) const {
  tk::Component::GetProperties(list);
  list.push_back(AboutProperty());
}

std::int32_t TVxTimerPool::Add(TVxTriggerEvent handler, std::uint32_t interval) {
  std::unique_ptr<Trigger> t;
  try {
    t = std::make_unique<Trigger>();
  } catch (const std::bad_alloc&) {
    return -1;
  }
  const std::uint64_t now = tk::Svc().TickCount64();
  t->Handle = 0;
  for (const auto& other : triggers_) t->Handle = std::max(t->Handle, other->Handle + 1);
  t->StartTime = now;
  t->Interval = std::max(interval, MinInterval);
  t->LastFired = now;
  t->Handler = std::move(handler);
  t->Serial = ++serials_;
  const std::int32_t handle = t->Handle;
  triggers_.push_back(std::move(t));
  CountEnabled();
  CalcNewInterval();
  SortTriggers();
  UpdateTimer();
  return handle;
}

std::int32_t TVxTimerPool::AddOneTime(TVxTriggerEvent handler, std::uint32_t interval) {
  const std::int32_t handle = Add(std::move(handler), interval);
  if (handle != -1) Get(handle).Repeating = false;
  return handle;
}

std::int32_t TVxTimerPool::AddOneShot(TVxTriggerEvent handler, std::uint32_t interval) {
  if (handler) {
    auto same =
        std::find_if(triggers_.begin(), triggers_.end(), [&](const auto& t) { return t->Handler.SameCode(handler); });
    if (same != triggers_.end()) Remove((*same)->Handle);
  }
  return AddOneTime(std::move(handler), interval);
}

void TVxTimerPool::Remove(std::int32_t handle) {
  auto it = std::find_if(triggers_.begin(), triggers_.end(), [&](const auto& t) { return t->Handle == handle; });
  if (it == triggers_.end()) return;
  triggers_.erase(it);
  Rearm();
}

void TVxTimerPool::RemoveAll() {
  while (!triggers_.empty()) triggers_.pop_back();
  period_ = 0;
  enabledCount_ = 0;
  UpdateTimer();
}

TVxTimerPool::Trigger* TVxTimerPool::Find(std::int32_t handle) const {
  for (const auto& t : triggers_)
    if (t->Handle == handle) return t.get();
  return nullptr;
}

TVxTimerPool::Trigger& TVxTimerPool::Get(std::int32_t handle) const {
  Trigger* t = Find(handle);
  if (!t) throw EInvalidTriggerHandle();
  return *t;
}

void TVxTimerPool::ResetElapsedTime(std::int32_t handle) { Get(handle).StartTime = tk::Svc().TickCount64(); }

std::int32_t TVxTimerPool::GetElapsedTriggerTime(std::int32_t handle) {
  Trigger& t = Get(handle);
  // Once saturated it stays there: the value no longer means anything that could grow.
  if (t.Elapsed < MaxElapsed)
    t.Elapsed = static_cast<std::int32_t>(std::min(TicksSince(t.StartTime, tk::Svc().TickCount64()), MaxElapsed));
  return t.Elapsed;
}

std::int32_t TVxTimerPool::GetElapsedTriggerTimeSec(std::int32_t handle) {
  return GetElapsedTriggerTime(handle) / 1000;
}

bool TVxTimerPool::GetTriggerEnabled(std::int32_t handle) const { return Get(handle).Enabled; }

void TVxTimerPool::SetTriggerEnabled(std::int32_t handle, bool enabled) {
  Trigger& t = Get(handle);
  if (t.Enabled == enabled) return;
  t.Enabled = enabled;
  Rearm();
}

std::uint32_t TVxTimerPool::GetTriggerInterval(std::int32_t handle) const { return Get(handle).Interval; }

void TVxTimerPool::SetTriggerInterval(std::int32_t handle, std::uint32_t interval) {
  Trigger& t = Get(handle);
  if (t.Interval == interval) return;
  t.Interval = interval;
  CalcNewInterval();
  UpdateTimer();
}

TVxTriggerEvent TVxTimerPool::GetOnTrigger(std::int32_t handle) const { return Get(handle).Handler; }

void TVxTimerPool::SetOnTrigger(std::int32_t handle, TVxTriggerEvent handler) {
  Get(handle).Handler = std::move(handler);
}

std::vector<std::int32_t> TVxTimerPool::TriggerHandles() const {
  std::vector<std::int32_t> handles;
  for (const auto& t : triggers_) handles.push_back(t->Handle);
  return handles;
}

void TVxTimerPool::WindowProc(tk::Message& message) {
  if (message.Msg != tk::WM_TIMER) {
    window_->DefaultHandler(message);
    return;
  }
  // A handler that runs a modal loop lets the timer tick again: that tick is skipped, not nested.
  if (notifying_) return;
  notifying_ = true;
  tk::Guarded([this] { DoTriggerNotification(); });
  notifying_ = false;
}

void TVxTimerPool::DoTriggerNotification() {
  const std::uint64_t now = tk::Svc().TickCount64();
  // Handlers may add and remove triggers: the pass walks the triggers there were when it began and looks
  // each one up again, so none is skipped, fired twice or used after it was freed. A trigger added during
  // the pass waits for the next one, even when it took the handle of one that was removed.
  std::vector<std::pair<std::int32_t, std::uint64_t>> pass;
  pass.reserve(triggers_.size());
  for (const auto& t : triggers_) pass.emplace_back(t->Handle, t->Serial);
  std::size_t at = 0;  // where the next trigger stands while no handler changed the list
  for (const auto& [handle, serial] : pass) {
    if (at >= triggers_.size() || triggers_[at]->Handle != handle) {
      auto it = std::find_if(triggers_.begin(), triggers_.end(), [&](const auto& t) { return t->Handle == handle; });
      if (it == triggers_.end()) continue;
      at = static_cast<std::size_t>(it - triggers_.begin());
    }
    Trigger* t = triggers_[at].get();
    ++at;
    if (t->Serial != serial || !t->Enabled) continue;
    const std::int64_t e = TicksSince(t->LastFired, now);
    // Fires up to 27 ms early, half a tick of the original's 55 ms timer.
    if (e < static_cast<std::int64_t>(t->Interval) - 27) continue;
    t->LastFired = now;
    const std::uint32_t interval = t->Interval;
    const auto elapsed = static_cast<std::int32_t>(std::min(t->Elapsed + e, MaxElapsed));
    const TVxTriggerEvent handler = t->Handler;
    if (!t->Repeating) {
      Remove(handle);  // t is gone from here on
      --at;
    }
    if (handler) handler(this, handle, interval, elapsed);
    if (OnAllTriggers) OnAllTriggers(this, handle, interval, elapsed);
  }
}

void TVxTimerPool::CountEnabled() {
  enabledCount_ =
      static_cast<int>(std::count_if(triggers_.begin(), triggers_.end(), [](const auto& t) { return t->Enabled; }));
}

void TVxTimerPool::CalcNewInterval() {
  const std::uint64_t now = tk::Svc().TickCount64();
  // 32-bit arithmetic as the original's: the interval is compared unsigned, the time left signed, so an
  // overdue trigger makes the period negative until the end.
  std::uint32_t p = UINT32_MAX;
  bool anyEnabled = false;
  for (const auto& t : triggers_) {
    if (!t->Enabled) continue;
    anyEnabled = true;
    if (t->Interval < p) p = t->Interval;
    const std::int64_t elapsed = TicksSince(t->LastFired, now);
    const auto left =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(t->Interval - static_cast<std::uint32_t>(elapsed)));
    if (left < static_cast<std::int32_t>(p)) p = static_cast<std::uint32_t>(left);
  }
  if (p < MinInterval) p = MinInterval;
  // Told apart by the triggers, not by the value: one overdue by 1 ms leaves the largest value too.
  if (!anyEnabled) {
    period_ = 0;
    return;
  }
  // A period that divides every interval lets each trigger fire on time.
  std::int64_t q = static_cast<std::int32_t>(p);
  for (bool changed = true; changed && q > MinInterval;) {
    changed = false;
    for (const auto& t : triggers_) {
      const std::int64_t rest = t->Interval % q;
      if (rest != 0) {
        q -= rest;
        changed = true;
        break;
      }
    }
  }
  if (q < MinInterval) q = MinInterval;
  period_ = static_cast<std::uint32_t>(q);
}

void TVxTimerPool::SortTriggers() {
  std::stable_sort(triggers_.begin(), triggers_.end(),
                   [](const auto& a, const auto& b) { return a->Interval < b->Interval; });
}

void TVxTimerPool::UpdateTimer() {
  if (!window_) return;
  window_->KillTimer(TimerId);
  timerRunning_ = false;
  if (period_ == 0 || enabledCount_ == 0) return;
  const int ms = static_cast<int>(std::min<std::uint32_t>(period_, INT_MAX));
  if (!window_->SetTimer(TimerId, ms)) throw ENoTimersAvailable();
  timerRunning_ = true;
}

void TVxTimerPool::Rearm() {
  CountEnabled();
  CalcNewInterval();
  UpdateTimer();
}

}  // namespace controls
