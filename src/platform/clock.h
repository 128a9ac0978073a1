#pragma once
// The one clock the program reads: local date and time, and a monotonic millisecond count. Tests install
// their own.
#include <cstdint>

namespace platform {

struct LocalTime {
  int Year = 2000, Month = 1, Day = 1;  // Month 1..12
  int Hour = 0, Minute = 0, Second = 0;
  int DayOfWeek = 6;  // 0 = Sunday
  int Millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
  // Milliseconds since some start; never goes back and never wraps.
  virtual std::uint64_t Milliseconds() const = 0;
};

// The system's clock.
const Clock& SystemClock();
// The installed clock: the system's unless a test installed another. Safe to read from any thread.
const Clock& CurrentClock();
// Installs `clock` (not owned; nullptr restores the system's) and returns the previous one.
const Clock* SetClock(const Clock* clock);

}  // namespace platform
