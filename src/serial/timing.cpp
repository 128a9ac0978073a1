#include "serial/timing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace serial {

namespace {

std::uint32_t SystemClock() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::atomic<MillisecondClock> clock{nullptr};
std::atomic<YieldStep> yieldStep{nullptr};

std::int32_t Clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

std::int32_t Ticks2Secs(std::int32_t ticks) { return Clamp32((static_cast<std::int64_t>(ticks) + 9) * 92 / 1675); }
std::int32_t Secs2Ticks(std::int32_t secs) { return Clamp32(static_cast<std::int64_t>(secs) * 1675 / 92); }
std::int32_t MSecs2Ticks(std::int32_t ms) { return Clamp32(static_cast<std::int64_t>(ms) * 1675 / 92000); }

void SetMillisecondClock(MillisecondClock c) { clock.store(c); }

std::uint32_t LkTimeGetTime() {
  MillisecondClock c = clock.load();
  return c ? c() : SystemClock();
}

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

void SetYieldStep(YieldStep step) { yieldStep.store(step); }

int SafeYield() {
  YieldStep step = yieldStep.load();
  return step ? step() : 0;
}

int DelayTicks(std::int32_t ticks, bool yield) {
  if (ticks < 1) return 0;
  EventTimer timer;
  NewTimer(timer, std::min(ticks, kMaxTicks));
  int last = 0;
  while (!TimerExpired(timer)) {
    int message = yield ? SafeYield() : 0;
    if (message == kQuitMessage) return message;
    if (message != 0) {
      last = message;
      continue;
    }
    // The original spun here; a short sleep keeps the timing and spares the core.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return last;
}

std::int32_t DelayMS(std::int32_t ms) {
  std::uint32_t start = LkTimeGetTime();
  while (static_cast<std::int64_t>(LkTimeGetTime() - start) < ms)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return ms;
}

}  // namespace serial
