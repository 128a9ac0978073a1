#pragma once
// The library's time base: 55 ms ticks counted from a 32-bit millisecond clock, event timers over them,
// and tick delays. The clock and the message-loop step are injectable so that tests control time.
#include <cstdint>

namespace serial {

inline constexpr std::int32_t kMaxTicks = 39045157;  // the 2^31 ms range in ticks; longer times are cut
inline constexpr std::int32_t kTickMs = 55;
inline constexpr int kQuitMessage = 18;

struct EventTimer {
  std::int32_t StartTicks = 0;
  std::int32_t ExpireTicks = 0;
};

// Conversions (64-bit intermediates: the 32-bit products overflow for long times).
std::int32_t Ticks2Secs(std::int32_t ticks);
std::int32_t Secs2Ticks(std::int32_t secs);
std::int32_t MSecs2Ticks(std::int32_t ms);

// The program's millisecond clock (platform::CurrentClock) in 32 bits: monotonic, wrapping.
std::uint32_t LkTimeGetTime();
std::int32_t CurrentTicks();  // LkTimeGetTime() / 55, within the tick limit

void NewTimer(EventTimer& timer, std::int32_t ticks);
void NewTimerSecs(EventTimer& timer, std::int32_t secs);
bool TimerExpired(const EventTimer& timer);
std::int32_t ElapsedTime(const EventTimer& timer);
std::int32_t ElapsedTimeInSecs(const EventTimer& timer);
std::int32_t RemainingTime(const EventTimer& timer);
std::int32_t RemainingTimeInSecs(const EventTimer& timer);
// Milliseconds until TimerExpired turns true (0 once it has), for waits that sleep until then.
std::int32_t MsUntilExpiry(const EventTimer& timer);

// One step of the window thread's message loop: handles one message if any and returns its number
// (kQuitMessage when the application is closing; the quit stays queued), 0 when none was waiting. The
// window layer installs the real step; without one nothing is pending. `wait` is the same step, except
// that when nothing is pending it waits up to `ms` for something to handle (or for the loop to be woken);
// without it a plain step and a sleep stand in.
using YieldStep = int (*)();
using YieldWaitStep = int (*)(int ms);
void SetYieldStep(YieldStep step, YieldWaitStep wait = nullptr);
int SafeYield();
int SafeYieldWait(int ms);

// Waits `ticks` ticks; with `yield` it runs the message loop meanwhile and ends early on the quit message.
// Returns the last message number handled (kQuitMessage when quitting), 0 for ticks < 1.
int DelayTicks(std::int32_t ticks, bool yield);
// Waits until the millisecond clock has advanced by `ms`; returns ms.
std::int32_t DelayMS(std::int32_t ms);

}  // namespace serial
