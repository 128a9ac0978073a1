// A line that is gone (an adapter pulled out) ends the connection once, while polling and in the waits that
// have no time-out of their own.
#include "controller/comms_engine.h"

#include "engine_fixture.h"

namespace controller::test {
namespace {

// An adapter pulled out while polling: the connection ends once, with its message, and the port closed.
TEST_F(EngineTest, AnUnpluggedLineEndsTheConnection) {
  Connect();
  ASSERT_TRUE(HangUpSeen());
  ASSERT_TRUE(RunToState(0, 150)) << "state " << engine.CommState;
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(view.TimerStopped);
}

// The waits for the user or the controller have no time-out of their own: a line that is gone ends them
// with the usual disconnect. They send nothing, so they see it once the port's thread has, not before.
struct UntimedWait {
  const char* Name;
  int AppVersion, State;
  void (*Request)(CommsEngine&);
  CommsWindow Window;
  const char* Left;  // what the wait may leave the controller in, told after "Lost Connection"
};
const UntimedWait UntimedWaits[] = {
    {"IrLearn", 400, 564, [](CommsEngine& e) { e.IrLearnNumber = 5; }, CommsWindow::IrLearnPanel,
     "IR Learn end not confirmed: the controller's IR receiver may be left learning"},
    {"OlderX10Monitor", 212, 522, [](CommsEngine& e) { e.X10MonitorRequest = 1; }, CommsWindow::X10Monitor,
     "X10 Monitor end not confirmed: the controller may go on sending its X10 event reports"},
    {"AutoAddressing", 400, 592, [](CommsEngine& e) { e.AutoAddressRequest = 1; }, CommsWindow::AutoAddressPanel,
     "Last Module Number 0 not sent"},
};

void PrintTo(const UntimedWait& wait, std::ostream* out) { *out << wait.Name; }

class LineGoneTest : public EngineTest, public ::testing::WithParamInterface<UntimedWait> {};

TEST_P(LineGoneTest, EndsTheWaitWithTheUsualDisconnect) {
  const UntimedWait& wait = GetParam();
  Connect();
  engine.AppVersion = wait.AppVersion;  // which X10 monitor runs
  wait.Request(engine);
  ASSERT_TRUE(RunToState(wait.State, 40));
  ASSERT_TRUE(view.IsShown(wait.Window));
  ASSERT_TRUE(HangUpSeen());
  ASSERT_TRUE(RunToState(0, 40));
  EXPECT_EQ(Ui().Messages(), (std::vector<std::string>{"Lost Connection", wait.Left}));
  EXPECT_FALSE(view.IsShown(wait.Window));
}

INSTANTIATE_TEST_SUITE_P(Waits, LineGoneTest, ::testing::ValuesIn(UntimedWaits),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace controller::test
