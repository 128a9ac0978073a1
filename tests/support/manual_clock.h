#pragma once
// A clock a test moves by hand, installed as the program's clock while the scope lives.
#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace testing_support {

// Its milliseconds are read from `source`, which the test moves.
class ManualClock : public platform::Clock {
 public:
  explicit ManualClock(std::atomic<std::uint64_t>& source) : source_(source) { previous_ = platform::SetClock(this); }
  ~ManualClock() override { platform::SetClock(previous_); }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  platform::LocalTime Now() const override { return platform::SystemClock().Now(); }
  std::uint64_t Milliseconds() const override { return source_.load(); }

 private:
  std::atomic<std::uint64_t>& source_;
  const platform::Clock* previous_;
};

}  // namespace testing_support
