#include "serial/timing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "support/manual_clock.h"

namespace serial {
namespace {

std::atomic<std::uint64_t> nowMs{0};

class Timing : public ::testing::Test {
 protected:
  void SetUp() override {
    nowMs = 0;
    clock_.emplace(nowMs);
  }
  void TearDown() override {
    clock_.reset();
    SetYieldStep(nullptr);
  }
  std::optional<testing_support::ManualClock> clock_;
  static void AtTick(std::int64_t tick) { nowMs = static_cast<std::uint64_t>(tick * kTickMs); }
};

TEST_F(Timing, Conversions) {
  EXPECT_EQ(Ticks2Secs(18), 1);
  EXPECT_EQ(Ticks2Secs(0), 0);
  EXPECT_EQ(Secs2Ticks(1), 18);
  EXPECT_EQ(Secs2Ticks(60), 1092);
  EXPECT_EQ(MSecs2Ticks(1000), 18);
  // Past the 21 minutes where 32-bit products overflow.
  EXPECT_EQ(MSecs2Ticks(3'600'000), 65543);
  EXPECT_EQ(MSecs2Ticks(INT32_MAX), 39'098'207);
  EXPECT_EQ(Secs2Ticks(2'000'000), 36'413'043);
  EXPECT_EQ(Ticks2Secs(kMaxTicks), 2'144'570);
}

TEST_F(Timing, TicksFollowTheMillisecondClock) {
  nowMs = 54;
  EXPECT_EQ(CurrentTicks(), 0);
  nowMs = 55;
  EXPECT_EQ(CurrentTicks(), 1);
  nowMs = UINT32_MAX - kTickMs;
  EXPECT_EQ(CurrentTicks(), kMaxTicks - 1) << "the count stays within the tick limit";
  nowMs = kTickMs * static_cast<std::uint32_t>(kMaxTicks);
  EXPECT_EQ(CurrentTicks(), 0);
}

TEST_F(Timing, ATimerAcrossTheMillisecondClockWrapEndsOnTime) {
  nowMs = UINT32_MAX - 57 * kTickMs;
  EventTimer t;
  NewTimer(t, 100);
  nowMs += 60 * kTickMs;  // the clock wrapped past 2^32; the tick at the wrap is a short one
  EXPECT_FALSE(TimerExpired(t));
  EXPECT_EQ(ElapsedTime(t), 59);
  EXPECT_EQ(RemainingTime(t), 41);
  nowMs += 42 * kTickMs;
  EXPECT_TRUE(TimerExpired(t)) << "not some 24 days later";
  EXPECT_EQ(ElapsedTime(t), 101);
}

TEST_F(Timing, TimerLifecycle) {
  AtTick(1000);
  EventTimer t;
  NewTimer(t, 18);
  EXPECT_EQ(t.StartTicks, 1000);
  EXPECT_EQ(t.ExpireTicks, 1018);
  AtTick(1018);
  EXPECT_FALSE(TimerExpired(t)) << "expires only past the expiry tick";
  EXPECT_EQ(ElapsedTime(t), 18);
  EXPECT_EQ(RemainingTime(t), 0);
  AtTick(1019);
  EXPECT_TRUE(TimerExpired(t));
  EXPECT_EQ(RemainingTime(t), 0) << "never below 0";
  AtTick(1000);
  NewTimerSecs(t, 60);
  EXPECT_EQ(t.ExpireTicks, 1000 + 1092);
  AtTick(1000 + 546);
  EXPECT_EQ(ElapsedTimeInSecs(t), 30);
  EXPECT_EQ(RemainingTimeInSecs(t), 30);
}

TEST_F(Timing, LongTimersAreCutAndWrapsAreCounted) {
  AtTick(100);
  EventTimer t;
  NewTimer(t, 50'000'000);
  EXPECT_EQ(t.ExpireTicks, 100 + kMaxTicks);

  // Started 57 ticks before the count wrapped, for 100 ticks.
  t.StartTicks = kMaxTicks - 57;
  t.ExpireTicks = kMaxTicks + 43;
  AtTick(0);
  EXPECT_FALSE(TimerExpired(t));
  EXPECT_EQ(ElapsedTime(t), 57);
  EXPECT_EQ(RemainingTime(t), 43);
  AtTick(43);
  EXPECT_FALSE(TimerExpired(t));
  EXPECT_EQ(RemainingTime(t), 0);
  AtTick(44);
  EXPECT_TRUE(TimerExpired(t));
  EXPECT_EQ(ElapsedTime(t), 101);
}

int quitAfter = 0;
int StepThatQuits() {
  nowMs += kTickMs;  // each loop round lets a tick pass
  return --quitAfter <= 0 ? kQuitMessage : 15;
}

TEST_F(Timing, DelayTicksEndsOnTheQuitMessage) {
  EXPECT_EQ(DelayTicks(0, true), 0);
  EXPECT_EQ(DelayTicks(-5, false), 0);
  SetYieldStep(StepThatQuits);
  quitAfter = 3;
  EXPECT_EQ(DelayTicks(18, true), kQuitMessage);
  EXPECT_EQ(nowMs.load(), 3u * kTickMs) << "returned at the third message, long before 18 ticks";
  quitAfter = 1000;
  nowMs = 0;
  EXPECT_EQ(DelayTicks(5, true), 15) << "the last message handled";
  EXPECT_EQ(SafeYield(), 15);
  SetYieldStep(nullptr);
  EXPECT_EQ(SafeYield(), 0);
}

TEST(TimingRealClock, DelayWaitsAboutTheTime) {
  std::uint32_t start = LkTimeGetTime();
  EXPECT_EQ(DelayMS(20), 20);
  EXPECT_GE(LkTimeGetTime() - start, 20u);
  start = LkTimeGetTime();
  DelayTicks(2, false);
  std::uint32_t took = LkTimeGetTime() - start;
  EXPECT_GE(took, 55u);
  EXPECT_LT(took, 5000u);  // a busy machine holds it back, but not for seconds
}

}  // namespace
}  // namespace serial
