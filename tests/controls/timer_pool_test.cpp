#include "controls/timer_pool.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <functional>
#include <vector>

#include "controls/exceptions.h"
#include "fake_services.h"
#include "support/scripted_ui.h"

namespace {

using namespace controls;

struct Firing {
  std::int32_t Handle;
  std::uint32_t Interval;
  std::int32_t Elapsed;
  friend bool operator==(const Firing&, const Firing&) = default;
};

class TimerPool : public ::testing::Test {
 protected:
  // A handler that records its firings; each call makes a handler of the same code.
  TVxTriggerEvent Recorder() {
    return [this](tk::Component*, std::int32_t h, std::uint32_t i, std::int32_t e) { Fired.push_back({h, i, e}); };
  }
  void At(std::uint64_t ticks) {
    Clock.Ticks = ticks;
    Pool.DoTriggerNotification();
  }

  controls_test::FakeServices Clock;
  TVxTimerPool Pool{nullptr};
  std::vector<Firing> Fired;
};

TEST_F(TimerPool, IntervalsBelowTheMinimumAreRaisedOnAddButNotWhenSet) {
  std::int32_t h = Pool.Add(Recorder(), 10);
  EXPECT_EQ(Pool.GetTriggerInterval(h), 55u);
  Pool.SetTriggerInterval(h, 20);
  EXPECT_EQ(Pool.GetTriggerInterval(h), 20u);
  EXPECT_EQ(Pool.Period(), 55u);
}

TEST_F(TimerPool, PeriodIsTheLargestStepThatDividesTheIntervals) {
  struct Case {
    std::vector<std::uint32_t> Intervals;
    std::uint32_t Period;
  };
  for (const Case& c : std::vector<Case>{{{200, 300}, 100},
                                         {{100, 150}, 55},
                                         {{1000}, 1000},
                                         {{500, 700}, 100},
                                         {{250, 1000, 750}, 250},
                                         {{60, 90}, 55}}) {
    TVxTimerPool pool(nullptr);
    for (std::uint32_t i : c.Intervals) pool.Add(Recorder(), i);
    EXPECT_EQ(pool.Period(), c.Period) << c.Intervals.size() << " intervals from " << c.Intervals[0];
    EXPECT_TRUE(pool.TimerRunning());
  }
}

TEST_F(TimerPool, AnOverdueTriggerMakesTheTimerRunAtTheMinimum) {
  for (std::uint64_t overdue : {1, 4000}) {
    TVxTimerPool pool(nullptr);
    Clock.Ticks = 0;
    std::int32_t h = pool.Add(Recorder(), 1000);
    Clock.Ticks = 1000 + overdue;
    pool.SetTriggerEnabled(h, false);
    pool.SetTriggerEnabled(h, true);
    EXPECT_EQ(pool.Period(), 55u) << "overdue by " << overdue;
    EXPECT_TRUE(pool.TimerRunning()) << "overdue by " << overdue;
  }
}

TEST_F(TimerPool, TimerRunsOnlyWhileATriggerIsEnabled) {
  std::int32_t a = Pool.Add(Recorder(), 200);
  std::int32_t b = Pool.Add(Recorder(), 300);
  Pool.SetTriggerEnabled(a, false);
  EXPECT_EQ(Pool.Period(), 100u);  // disabled intervals still take part in the division
  Pool.SetTriggerEnabled(b, false);
  EXPECT_FALSE(Pool.TimerRunning());
  EXPECT_EQ(Pool.Period(), 0u);
  Pool.SetTriggerEnabled(a, true);
  EXPECT_TRUE(Pool.TimerRunning());
  EXPECT_EQ(Pool.Period(), 100u);
  Pool.RemoveAll();
  EXPECT_FALSE(Pool.TimerRunning());
  EXPECT_EQ(Pool.GetTriggerCount(), 0);
}

TEST_F(TimerPool, ATriggerFiresFromTwentySevenMillisecondsBeforeItsInterval) {
  std::vector<Firing> all;
  Pool.OnAllTriggers = [&](tk::Component* sender, std::int32_t h, std::uint32_t i, std::int32_t e) {
    EXPECT_EQ(sender, &Pool);
    all.push_back({h, i, e});
  };
  std::int32_t h = Pool.Add(Recorder(), 1000);
  At(972);
  EXPECT_TRUE(Fired.empty());
  At(973);
  At(1500);  // counted from the last firing
  At(1946);
  EXPECT_EQ(Fired, (std::vector<Firing>{{h, 1000, 973}, {h, 1000, 973}}));
  EXPECT_EQ(all, Fired);
}

TEST_F(TimerPool, DisabledTriggersDoNotFire) {
  std::int32_t h = Pool.Add(Recorder(), 100);
  Pool.SetTriggerEnabled(h, false);
  At(5000);
  EXPECT_TRUE(Fired.empty());
}

TEST_F(TimerPool, AOneTimeTriggerFiresOnceAndIsGone) {
  std::int32_t once = Pool.AddOneTime(Recorder(), 100);
  std::int32_t repeating = Pool.Add(Recorder(), 100);
  At(100);
  At(200);
  EXPECT_EQ(Fired, (std::vector<Firing>{{once, 100, 100}, {repeating, 100, 100}, {repeating, 100, 100}}));
  EXPECT_THROW(Pool.GetTriggerInterval(once), EInvalidTriggerHandle);
  Pool.Remove(once);  // an unknown handle is no error here
  EXPECT_EQ(Pool.GetTriggerCount(), 1);
}

void IgnoreTrigger(tk::Component*, std::int32_t, std::uint32_t, std::int32_t) {}

class Owner {
 public:
  void OnTrigger(tk::Component*, std::int32_t, std::uint32_t, std::int32_t) { ++Calls; }
  int Calls = 0;
};

TEST_F(TimerPool, AOneShotReplacesThePendingTriggerWithTheSameCode) {
  Pool.AddOneShot(Recorder(), 100);
  Pool.AddOneShot(Recorder(), 300);
  EXPECT_EQ(Pool.GetTriggerCount(), 1);
  Pool.AddOneShot(&IgnoreTrigger, 100);
  Pool.AddOneShot(&IgnoreTrigger, 100);
  Pool.AddOneShot([](tk::Component*, std::int32_t, std::uint32_t, std::int32_t) {}, 100);
  EXPECT_EQ(Pool.GetTriggerCount(), 3);
  Pool.RemoveAll();
  Pool.AddOneShot(Recorder(), 300);
  Owner first, second;
  Pool.AddOneShot(TVxTriggerEvent::Method(&first, &Owner::OnTrigger), 100);
  Pool.AddOneShot(TVxTriggerEvent::Method(&second, &Owner::OnTrigger), 100);  // another object, same code
  EXPECT_EQ(Pool.GetTriggerCount(), 2);
  At(100);
  EXPECT_EQ(first.Calls + second.Calls, 1);
  EXPECT_EQ(second.Calls, 1);
  EXPECT_EQ(Pool.GetTriggerCount(), 1);  // the recorder's, due at 300
}

TEST_F(TimerPool, HandlesFollowTheGreatestAndTheListStaysOrderedByInterval) {
  std::int32_t a = Pool.Add(Recorder(), 500);
  std::int32_t b = Pool.Add(Recorder(), 100);
  std::int32_t c = Pool.Add(Recorder(), 500);
  EXPECT_EQ(std::vector<std::int32_t>({a, b, c}), std::vector<std::int32_t>({0, 1, 2}));
  Pool.Remove(b);
  std::int32_t d = Pool.Add(Recorder(), 200);
  EXPECT_EQ(d, 3);
  EXPECT_EQ(Pool.TriggerHandles(), std::vector<std::int32_t>({d, a, c}));
}

TEST_F(TimerPool, UnknownHandlesAreRefusedExceptByRemove) {
  Pool.Add(Recorder(), 100);
  const std::vector<std::function<void()>> calls = {
      [&] { Pool.ResetElapsedTime(7); },         [&] { Pool.GetElapsedTriggerTime(7); },
      [&] { Pool.GetElapsedTriggerTimeSec(7); }, [&] { Pool.GetTriggerEnabled(7); },
      [&] { Pool.SetTriggerEnabled(7, false); }, [&] { Pool.GetTriggerInterval(7); },
      [&] { Pool.SetTriggerInterval(7, 100); },  [&] { Pool.GetOnTrigger(7); },
      [&] { Pool.SetOnTrigger(7, Recorder()); },
  };
  for (std::size_t i = 0; i < calls.size(); ++i) {
    try {
      calls[i]();
      ADD_FAILURE() << "call " << i;
    } catch (const EInvalidTriggerHandle& e) {
      EXPECT_STREQ(e.what(), "Invalid trigger handle");
    }
  }
  EXPECT_NO_THROW(Pool.Remove(7));
}

TEST_F(TimerPool, ElapsedTimeAndFiringRunOnPastThe32BitTickAndSaturate) {
  constexpr std::uint64_t Wrap = 0x100000000ull;  // where a 32-bit tick count would start again
  Clock.Ticks = Wrap - 0x1000;
  std::int32_t h = Pool.Add(Recorder(), 100);
  Clock.Ticks = Wrap - 0x1000 + 2500;
  EXPECT_EQ(Pool.GetElapsedTriggerTime(h), 2500);
  At(Wrap - 40);
  At(Wrap + 60);  // 100 ms later, across the point where the 32-bit count restarts: none lost
  EXPECT_EQ(Fired.back(), (Firing{h, 100, 2500 + 100}));
  Clock.Ticks = Wrap + 0x200;
  EXPECT_EQ(Pool.GetElapsedTriggerTime(h), 0x1000 + 0x200);
  Pool.ResetElapsedTime(h);
  Clock.Ticks = Wrap + 0x200 + 4999;
  EXPECT_EQ(Pool.GetElapsedTriggerTimeSec(h), 4);
  Clock.Ticks = Wrap + 0x200 + 0x80000000u;
  EXPECT_EQ(Pool.GetElapsedTriggerTime(h), 2147483647);
  Pool.ResetElapsedTime(h);
  EXPECT_EQ(Pool.GetElapsedTriggerTime(h), 2147483647);
}

TEST_F(TimerPool, HandlersMayAddAndRemoveTriggersWhileThePoolFires) {
  std::int32_t late = -1;
  std::int32_t first = Pool.Add(
      [&](tk::Component*, std::int32_t, std::uint32_t, std::int32_t) {
        Pool.Remove(late);
        Pool.Add(Recorder(), 100);
      },
      100);
  late = Pool.Add(Recorder(), 100);
  At(100);
  EXPECT_TRUE(Fired.empty());  // removed before its turn; the new one is not due yet
  EXPECT_EQ(Pool.GetTriggerCount(), 2);
  EXPECT_EQ(Pool.TriggerHandles()[0], first);
}

TEST_F(TimerPool, APassFiresEveryDueTriggerOnceWhateverItsHandlersRemove) {
  struct Case {
    const char* Name;
    bool OneTime;      // the acting trigger fires once
    bool RemoveSelf;   // it removes itself
    bool RemoveFirst;  // it removes the trigger before it
  };
  for (const Case& c : {Case{"self", false, true, false}, Case{"earlier", false, false, true},
                        Case{"one-time removes earlier", true, false, true}}) {
    SCOPED_TRACE(c.Name);
    Pool.RemoveAll();
    Fired.clear();
    Clock.Ticks = 0;
    std::int32_t acting = -1;
    const std::int32_t before = Pool.Add(Recorder(), 100);
    auto act = [&, c](tk::Component*, std::int32_t, std::uint32_t, std::int32_t) {
      if (c.RemoveSelf) Pool.Remove(acting);
      if (c.RemoveFirst) Pool.Remove(before);
    };
    acting = c.OneTime ? Pool.AddOneTime(act, 100) : Pool.Add(act, 100);
    const std::int32_t after = Pool.Add(Recorder(), 100);
    At(100);
    EXPECT_EQ(Fired, (std::vector<Firing>{{before, 100, 100}, {after, 100, 100}}));
  }
}

void WaitFor(const std::function<bool()>& done) {
  QElapsedTimer waited;
  waited.start();
  while (!done() && waited.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST_F(TimerPool, TheWindowTimerFiresTheTriggersAndShowsTheirErrors) {
  Clock.Ticks = 0;
  int calls = 0;
  Pool.Add(
      [&](tk::Component*, std::int32_t, std::uint32_t, std::int32_t) {
        ++calls;
        Clock.Ticks += 1000;
        throw EVxException("trigger failed");
      },
      55);
  Clock.Ticks = 1000;
  WaitFor([&] { return calls >= 2; });
  EXPECT_GE(calls, 2);
  ASSERT_FALSE(testing_support::TestUi().Messages().empty());
  EXPECT_EQ(testing_support::TestUi().Messages().front(), "trigger failed");
}

TEST_F(TimerPool, ATickDuringAHandlersModalLoopIsSkippedNotNested) {
  int depth = 0, deepest = 0, calls = 0;
  Pool.Add(
      [&](tk::Component*, std::int32_t, std::uint32_t, std::int32_t) {
        ++calls;
        deepest = std::max(deepest, ++depth);
        Clock.Ticks += 1000;
        if (depth == 1) {
          Pool.AddOneTime(Recorder(), 100000);  // re-arms: a fresh window timer that Qt would let tick
          QElapsedTimer modal;
          modal.start();
          while (modal.elapsed() < 200) QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        --depth;
      },
      55);
  Clock.Ticks = 1000;
  WaitFor([&] { return calls >= 2; });
  EXPECT_GE(calls, 2);
  EXPECT_EQ(deepest, 1);
}

}  // namespace
