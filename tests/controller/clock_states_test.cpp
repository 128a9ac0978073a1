// The controller's clock: set to the local time, read into the flash argument, and a bad clock that drops
// the flash downloads waiting for it.
#include "controller/comms_engine.h"

#include "engine_fixture.h"

namespace controller::test {
namespace {

TEST_F(EngineTest, SettingTheClockSendsTheLocalTimeAndReadingItBuildsTheFlashArgument) {
  Connect();
  engine.ParamsRequest = 0;
  clock.Time = {2007, 3, 3, 9, 5, 7, 0};  // a clock that calls a Saturday Sunday
  engine.SetClockRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return sim.ClockFramesTaken() == 1 && engine.CommState == 110; }, 40));
  EXPECT_EQ(sim.Clock().Day, 3);
  EXPECT_EQ(sim.Clock().Second, 7);
  EXPECT_EQ(sim.Clock().DayOfWeek, 6) << "the calendar's weekday";
  EXPECT_EQ(engine.SetClockRequest, 0);

  // The key is the connection's first opinion after the first good reply, and trusted once a second
  // good reply agrees with it.
  const struct {
    int ClockRequest;
    int DayOfWeek;
    const char* Logged;  // nullptr: nothing
    std::uint16_t FlashArg;
  } reads[] = {{1, 6, "Controller Clock: Saturday, 03/03/07  09:05", 0},
               {1, 7, "Bad RTC Data", 0},
               {2, 6, nullptr, 0x1234},
               {1, 6, "Controller Clock: Saturday, 03/03/07  09:05", 0x1234}};
  sim.SetFlashKey(0x1234);
  for (const auto& read : reads) {
    sim.SetClock({2007, 3, 3, 9, 5, 7, read.DayOfWeek});
    engine.FlashArg = 0;
    const std::size_t logged = view.Log.size();
    engine.ClockRequest = read.ClockRequest;
    ASSERT_TRUE(RunUntil([&] { return engine.ClockRequest == 0 && engine.CommState == 110; }, 40));
    if (read.Logged)
      EXPECT_EQ(view.Log.front(), read.Logged);
    else
      EXPECT_EQ(view.Log.size(), logged);
    EXPECT_EQ(engine.FlashArg, read.FlashArg);
  }
  EXPECT_EQ(sim.Commands(CmdReadClock).size(), 4u) << "each read sent once";
}

// A clock that never answers well gives no flash argument: the pending downloads are dropped after a few
// silent reads, with a line in the log, instead of re-reading the clock on every idle pass.
TEST_F(EngineTest, ABadClockDropsTheFlashDownloadsWaitingForItsArgument) {
  Connect();
  sim.SetClock({2007, 3, 4, 9, 5, 7, 7});
  engine.ProgramDownloadRequest = 1;
  engine.IconLoadRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return !engine.ProgramDownloadRequest && engine.CommState == 110; }, 200));
  EXPECT_EQ(engine.IconLoadRequest, 0);
  EXPECT_EQ(sim.Commands(CmdReadClock).size(), 3u);
  EXPECT_EQ(view.Log[0], "Flash Download Cancelled: No Valid Controller Clock");
  EXPECT_EQ(view.Log[1], "Bad RTC Data");
  EXPECT_EQ(CountLog(view, "Bad RTC Data"), 1) << "the silent reads before stay silent";
  for (int i = 0; i < 40; ++i) Step();
  EXPECT_EQ(sim.Commands(CmdReadClock).size(), 3u) << "nothing reads the clock again";
  EXPECT_EQ(sim.FlashLoads(), 0);
}

}  // namespace
}  // namespace controller::test
