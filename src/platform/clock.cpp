#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>

namespace platform {

namespace {

class LocalClock : public Clock {
 public:
  LocalTime Now() const override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_wday,
            static_cast<int>(ms)};
  }
  std::uint64_t Milliseconds() const override {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
};

std::atomic<const Clock*> installed{nullptr};

}  // namespace

const Clock& SystemClock() {
  static const LocalClock clock;
  return clock;
}

const Clock& CurrentClock() {
  const Clock* clock = installed.load(std::memory_order_acquire);
  return clock ? *clock : SystemClock();
}

const Clock* SetClock(const Clock* clock) { return installed.exchange(clock, std::memory_order_acq_rel); }

}  // namespace platform
