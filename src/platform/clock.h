#pragma once
// Local date and time, through one clock that tests replace.
namespace platform {

struct LocalTime {
  int Year = 2000, Month = 1, Day = 1;  // Month 1..12
  int Hour = 0, Minute = 0, Second = 0;
  int DayOfWeek = 6;  // 0 = Sunday
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
};

// The system's local time.
const Clock& SystemClock();

}  // namespace platform
