#include "serial/timing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace serial {

namespace {

std::atomic<YieldStep> yieldStep{nullptr};
std::atomic<YieldWaitStep> yieldWaitStep{nullptr};

// The longest single sleep of a delay: a clock a test sets is looked at again at least this often.
constexpr std::int32_t kLongestSleepMs = 250;

std::int32_t Clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

std::int32_t Ticks2Secs(std::int32_t ticks) { return Clamp32((static_cast<std::int64_t>(ticks) + 9) * 92 / 1675); }
std::int32_t Secs2Ticks(std::int32_t secs) { return Clamp32(static_cast<std::int64_t>(secs) * 1675 / 92); }
std::int32_t MSecs2Ticks(std::int32_t ms) { return Clamp32(static_cast<std::int64_t>(ms) * 1675 / 92000); }

std::uint32_t LkTimeGetTime() { return static_cast<std::uint32_t>(platform::CurrentClock().Milliseconds()); }

// The 32-bit millisecond count spans exactly twice the tick limit in ticks; folding it into the limit
// makes every wrap of the tick count the one amount the timer routines allow for.
std::int32_t CurrentTicks() { return static_cast<std::int32_t>(LkTimeGetTime() / kTickMs % kMaxTicks); }

void NewTimer(EventTimer& timer, std::int32_t ticks) {
  std::int64_t now = CurrentTicks();
  timer.StartTicks = static_cast<std::int32_t>(now);
  timer.ExpireTicks = Clamp32(now + std::min(ticks, kMaxTicks));
}

void NewTimerSecs(EventTimer& timer, std::int32_t secs) { NewTimer(timer, Secs2Ticks(secs)); }

bool TimerExpired(const EventTimer& timer) {
  std::int64_t now = CurrentTicks();
  if (now > timer.ExpireTicks) return true;
  if (now >= timer.StartTicks) return false;
  return now + kMaxTicks > timer.ExpireTicks;  // the count wrapped since the start
}

std::int32_t ElapsedTime(const EventTimer& timer) {
  std::int64_t now = CurrentTicks();
  if (now < timer.StartTicks) return Clamp32(now + (kMaxTicks - static_cast<std::int64_t>(timer.StartTicks)));
  return Clamp32(now - timer.StartTicks);
}

std::int32_t ElapsedTimeInSecs(const EventTimer& timer) { return Ticks2Secs(ElapsedTime(timer)); }

std::int32_t RemainingTime(const EventTimer& timer) {
  std::int64_t now = CurrentTicks();
  std::int64_t remaining = timer.ExpireTicks - now;
  if (now < timer.StartTicks) remaining -= kMaxTicks;
  return Clamp32(std::max<std::int64_t>(remaining, 0));
}

std::int32_t RemainingTimeInSecs(const EventTimer& timer) { return Ticks2Secs(RemainingTime(timer)); }

std::int32_t MsUntilExpiry(const EventTimer& timer) {
  if (TimerExpired(timer)) return 0;
  // It expires when the tick after its expiry tick begins.
  std::int64_t ms = (static_cast<std::int64_t>(RemainingTime(timer)) + 1) * kTickMs - LkTimeGetTime() % kTickMs;
  return Clamp32(std::max<std::int64_t>(ms, 1));
}

void SetYieldStep(YieldStep step, YieldWaitStep wait) {
  yieldStep.store(step);
  yieldWaitStep.store(wait);
}

int SafeYield() {
  YieldStep step = yieldStep.load();
  return step ? step() : 0;
}

int SafeYieldWait(int ms) {
  if (YieldWaitStep step = yieldWaitStep.load()) return step(ms);
  int message = SafeYield();
  if (message == 0 && ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return message;
}

int DelayTicks(std::int32_t ticks, bool yield) {
  if (ticks < 1) return 0;
  EventTimer timer;
  NewTimer(timer, std::min(ticks, kMaxTicks));
  int last = 0;
  while (!TimerExpired(timer)) {
    // Asleep until the timer expires, or (yielding) until the message loop has something to do.
    const std::int32_t wait = std::min(MsUntilExpiry(timer), kLongestSleepMs);
    if (!yield) {
      std::this_thread::sleep_for(std::chrono::milliseconds(wait));
      continue;
    }
    int message = SafeYieldWait(wait);
    if (message == kQuitMessage) return message;
    if (message != 0) last = message;
  }
  return last;
}

std::int32_t DelayMS(std::int32_t ms) {
  std::uint32_t start = LkTimeGetTime();
  for (;;) {
    const std::int64_t left = ms - static_cast<std::int64_t>(LkTimeGetTime() - start);
    if (left <= 0) return ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::int64_t>(left, kLongestSleepMs)));
  }
}

}  // namespace serial
