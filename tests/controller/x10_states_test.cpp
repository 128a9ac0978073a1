// X10 against the simulated controller: a command and an extended command sent, the newer controllers'
// status grid and activity log, the older controllers' event reports, and how each monitor ends.
#include <algorithm>
#include <chrono>

#include "controller/x10_requests.h"
#include "engine_fixture.h"

namespace controller::test {
namespace {

using testing_support::SimBytes;
using testing_support::SimFrame;

SimBytes Bytes(const std::array<Byte, CommandFrameSize>& frame) { return {frame.begin(), frame.end()}; }

class X10Test : public EngineTest {
 protected:
  std::size_t StatusReads() const {
    const auto frames = sim.Frames();
    return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [](const auto& f) {
      return f.Kind == testing_support::SimFrameKind::Request && f.Address == AddrX10Status;
    }));
  }
  // With the newer monitor waiting, the controller reports activity and the engine takes the answer.
  void ReportActivity(int house, int key) {
    ASSERT_TRUE(RunToState(304, 40)) << engine.CommState;
    sim.InjectX10Event(house, key);
    ASSERT_TRUE(serial::test::PumpIn(port, X10ActivityReplySize));
    Step();
    ASSERT_NE(engine.CommState, 304);
  }
  // Connected to a controller whose application is `version` (the identification warns below 3.18;
  // the tests here do not answer it).
  void ConnectOlder(int version) {
    Connect();
    engine.AppVersion = version;
  }
  const std::vector<std::string>& Activity() { return view.Lists[CommsList::X10Activity]; }
  const std::vector<std::string>& Events() { return view.Lists[CommsList::X10Events]; }
  std::vector<SimFrame> ParameterCommands() const { return sim.Commands(CmdSetControllerParam); }
};

TEST_F(X10Test, EachCommandGoesOutOnceAndTheEnginePollsAgain) {
  const struct {
    const char* Name;
    std::function<void(CommsEngine&)> Post;
    std::array<Byte, CommandFrameSize> Frame;
    const char* Log;
  } cases[] = {
      {"send", [](CommsEngine& e) { PostX10Send(e, 2, 18, 128); }, CommandFrame(CmdSendX10, 2, 18, 128),
       "Sending X10: 2/18"},
      {"house A is a request", [](CommsEngine& e) { PostX10Send(e, 0, 5, 1); }, CommandFrame(CmdSendX10, 0, 5, 1),
       "Sending X10: 0/5"},
      {"extended",
       [](CommsEngine& e) {
         PostExtendedX10(e, {15, 4, 0x51, '0'});
       },
       CommandFrame(CmdExtendedX10, 15, 4, 0x51, 0x30), "Sending Extended X10  15/4  81/48"},
  };
  Connect();
  for (const auto& c : cases) {
    ASSERT_TRUE(RunToState(114, 10)) << c.Name;
    const std::size_t before = sim.Frames().size();
    c.Post(engine);
    ASSERT_TRUE(RunUntil([&] { return sim.Frames().size() > before && engine.CommState == 110; }, 40)) << c.Name;
    EXPECT_EQ(sim.Frames()[before].Bytes, Bytes(c.Frame)) << c.Name;
    EXPECT_EQ(view.Log.front(), c.Log) << c.Name;
    EXPECT_EQ(engine.X10SendRequest, -1) << c.Name;
    EXPECT_EQ(engine.X10Key, -1) << c.Name;
    EXPECT_EQ(engine.ExtX10Request, 0) << c.Name;
    ASSERT_TRUE(RunToState(114, 10)) << c.Name;
    Step();
    EXPECT_EQ(engine.CommState, 110) << c.Name << ": taken once";
  }
  EXPECT_TRUE(sim.Faults().empty());
}

TEST_F(X10Test, AnUnansweredSendIsSentAgain) {
  expectedRetries = 1;  // the frame ignored
  Connect();
  sim.IgnoreNext(1);
  PostX10Send(engine, 1, 3, 2);
  ASSERT_TRUE(RunUntil([&] { return engine.X10SendRequest == -1; }, 60));
  EXPECT_EQ(sim.Commands(CmdSendX10).size(), 1u);
  EXPECT_EQ(sim.Frames().back().Code, CmdSendX10);
  EXPECT_EQ(engine.RetryCount, 0);
}

TEST_F(X10Test, TheStatusGridShowsEachUnitOfEachHouse) {
  sim.SetX10Unit(1, 1, true);  // byte 17: B2
  sim.SetX10Unit(3, 0, true);  // byte 48: D1
  Connect();
  engine.X10MonitorRequest = 1;
  ASSERT_TRUE(RunToState(303, 20));
  EXPECT_TRUE(view.IsShown(CommsWindow::X10Grid));
  for (int column = 1; column <= 16; ++column)
    for (int row = 1; row <= 16; ++row)
      EXPECT_EQ(view.Cell(CommsGrid::X10Status, column, row),
                (column == 2 && row == 2) || (column == 4 && row == 1) ? "ON" : "--")
          << column << "/" << row;
  EXPECT_EQ(view.Cell(CommsGrid::X10Status, 0, 0), "") << "the headings are the window's";
}

TEST_F(X10Test, ActivityIsLoggedByNumberOrByName) {
  const struct {
    bool UseNames;
    int House, Key;
    const char* Line;  // nullptr: no line
  } cases[] = {
      {true, 2, 18, "X10 Activity 9:05:07  -  C / ON"},
      {true, 15, 31, "X10 Activity 9:05:07  -  P / Preset Dim 1"},
      {false, 2, 18, "X10 Activity 9:05:07  -  2 / 18"},
      {false, 16, 40, "X10 Activity 9:05:07  -  16 / 40"},
      {true, 16, 3, nullptr},
      {true, 2, 32, nullptr},
      {true, 255, 0, nullptr},
      {false, 255, 7, nullptr},
  };
  Connect();
  engine.X10MonitorRequest = 1;
  for (const auto& c : cases) {
    view.Checks[CommsCheck::X10UseNames] = c.UseNames;
    view.Lists.clear();
    ReportActivity(c.House, c.Key);
    const std::size_t reads = StatusReads();
    if (c.Line) {
      ASSERT_EQ(Activity().size(), 1u) << c.House << "/" << c.Key;
      EXPECT_EQ(Activity().front(), c.Line);
    } else {
      EXPECT_TRUE(Activity().empty()) << c.House << "/" << c.Key << ": " << Activity().front();
    }
    EXPECT_EQ(engine.CommState, 301) << "the status is read again";
    ASSERT_TRUE(RunToState(303, 10));
    EXPECT_EQ(StatusReads(), reads + 1);
  }
}

TEST_F(X10Test, ActivityRefreshesTheGrid) {
  Connect();
  engine.X10MonitorRequest = 1;
  ASSERT_TRUE(RunToState(304, 20));
  EXPECT_EQ(view.Cell(CommsGrid::X10Status, 3, 5), "--");
  sim.SetX10Unit(2, 4, true);
  ReportActivity(2, 18);
  ASSERT_TRUE(RunToState(303, 10));
  EXPECT_EQ(view.Cell(CommsGrid::X10Status, 3, 5), "ON");
}

TEST_F(X10Test, AQuietControllerIsAskedAgainAfterTwelveTicks) {
  expectedRetries = 1;  // the silence
  sim.SetX10QuietAnswer(std::chrono::seconds(30));
  Connect();
  engine.X10MonitorRequest = 1;
  ASSERT_TRUE(RunToState(304, 20));
  for (int tick = 1; tick <= 11; ++tick) Step();
  EXPECT_EQ(engine.CommState, 304);
  Step();
  EXPECT_EQ(engine.CommState, 303);
  EXPECT_EQ(engine.RetryCount, 1);
  ASSERT_TRUE(RunToState(304, 3));
  EXPECT_EQ(sim.Commands(CmdWaitX10).size(), 2u);
}

TEST_F(X10Test, NewerMonitorEndsAtTheNextAnswerWhenSwitchedOff) {
  Connect();
  engine.X10MonitorRequest = 1;
  ASSERT_TRUE(RunToState(304, 20));
  engine.X10MonitorRequest = 0;
  ReportActivity(1, 2);
  EXPECT_EQ(engine.CommState, 114);
  Step();
  EXPECT_EQ(engine.CommState, 110);
}

TEST_F(X10Test, OlderMonitorLogsReportedEventsAndSwitchesReportsOff) {
  ConnectOlder(212);
  engine.X10MonitorRequest = 1;
  ASSERT_TRUE(RunToState(522, 20));
  EXPECT_TRUE(view.IsShown(CommsWindow::X10Monitor));
  EXPECT_EQ(sim.Parameter(15), 1);

  // No time-out while nothing comes.
  for (int tick = 0; tick < 40; ++tick) Step();
  EXPECT_EQ(engine.CommState, 522);
  EXPECT_EQ(engine.RetryCount, 0);

  sim.Push({0x00, 0x41});  // not an event
  sim.InjectX10Event(3, 18, 0xFE);
  sim.InjectX10Event(4, 2, 0xFB);
  ASSERT_TRUE(serial::test::PumpIn(port, 8));
  ASSERT_TRUE(RunUntil([&] { return Events().size() == 2 && engine.CommState == 522; }, 20));
  EXPECT_EQ(Events(), (std::vector<std::string>{"Received X10  4/ 2", "Received X10  3/18"}));
  EXPECT_EQ(port.InBuffUsed(), 0);

  engine.X10MonitorRequest = 0;
  ASSERT_TRUE(RunToState(110, 10));
  EXPECT_EQ(sim.Parameter(15), 0);
  const auto commands = ParameterCommands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].Bytes, Bytes(CommandFrame(CmdSetControllerParam, 15, 0, 1)));
  EXPECT_EQ(commands[1].Bytes, Bytes(CommandFrame(CmdSetControllerParam, 15, 0, 0)));
}

// A refused switch-on ends the monitor as its Close does; a refused switch-off is sent again, or the
// controller would go on sending events into later exchanges.
TEST_F(X10Test, OlderMonitorEndsOnARefusedSwitchOnAndSendsARefusedSwitchOffAgain) {
  expectedRetries = 3;  // the refused switch-off, once per refusal byte
  for (Byte refusal : Refusals) {
    SCOPED_TRACE("refused with " + std::to_string(refusal));
    ConnectOlder(212);
    view.Detail = true;
    view.Log.clear();
    sim.SetRefusalByte(refusal);
    sim.RefuseCommand(CmdSetControllerParam, 1);
    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(110, 20));
    EXPECT_TRUE(view.Logged("Monitor X10 Command refused by the controller"));
    EXPECT_FALSE(view.IsShown(CommsWindow::X10Monitor));
    EXPECT_EQ(engine.X10MonitorRequest, 0);
    EXPECT_EQ(sim.Parameter(15), 0);

    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(522, 20));
    EXPECT_EQ(sim.Parameter(15), 1);
    sim.RefuseCommand(CmdSetControllerParam, 1);
    engine.X10MonitorRequest = 0;
    ASSERT_TRUE(RunToState(110, 40));
    EXPECT_EQ(sim.Parameter(15), 0);
    EXPECT_TRUE(view.Logged("Comms Retry flash save 527 RX0"));
  }
}

// Closed in the middle of an event, the older monitor reads the event whole before its switch-off goes: the
// send's discard would drop the rest. A rest that does not come is given up after two ticks.
TEST_F(X10Test, OlderMonitorClosedInTheMiddleOfAnEventReadsItWhole) {
  for (const bool restComes : {true, false}) {
    SCOPED_TRACE(restComes);
    view.Lists.clear();
    ConnectOlder(100);
    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(522, 20));
    sim.Push({0xFE, 7});
    ASSERT_TRUE(serial::test::PumpIn(port, 2));
    ASSERT_TRUE(RunToState(524, 5));
    engine.X10MonitorRequest = 0;
    Step();
    if (restComes) {
      sim.Push({9});
      ASSERT_TRUE(serial::test::PumpIn(port, 1));
    }
    ASSERT_TRUE(RunToState(110, 8));
    EXPECT_EQ(Events(), restComes ? std::vector<std::string>{"Received X10  7/ 9"} : std::vector<std::string>{});
    EXPECT_EQ(sim.Parameter(15), 0);
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 40));
  }
}

// Neither monitor passes the idle state while monitoring is wanted, so each takes the disconnect request
// itself; without that, the idle order (the monitor comes after the disconnect) would restart it for good.
TEST_F(X10Test, ADisconnectEndsEitherMonitor) {
  const struct {
    int AppVersion;
    int WaitState;
    CommsWindow Window;
  } cases[] = {{213, 304, CommsWindow::X10Grid}, {212, 522, CommsWindow::X10Monitor}};
  for (const auto& c : cases) {
    ConnectOlder(c.AppVersion);
    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(c.WaitState, 20)) << c.AppVersion;
    engine.CloseRequest = 1;
    if (c.WaitState == 304) ReportActivity(0, 0);
    ASSERT_TRUE(RunToState(0, 40)) << c.AppVersion << ": " << engine.CommState;
    EXPECT_EQ(engine.X10MonitorRequest, 0);
    EXPECT_FALSE(view.IsShown(c.Window));
    EXPECT_EQ(sim.Parameter(15), 0) << "event reports are switched off first";
    EXPECT_TRUE(Ui().Messages().empty());
  }
}

// An attach that starts a new connection while the older monitor runs switches event reports off first, or
// the controller would send events into the new connection's exchanges; on a dead line the switch-off's
// retries end it.
TEST_F(X10Test, AnAttachSwitchesTheOlderMonitorsReportsOffFirst) {
  serial::test::ScopedComEnv com3{3, sim.SlavePath()};
  const struct {
    const char* Name;
    int State;
    int Ignored;  // switch-offs the line loses
  } cases[] = {{"switch-on sent", 521, 0}, {"waiting", 522, 0}, {"dead line", 522, 9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui().Clear();
    settings.ComNum = 1;
    ConnectOlder(212);
    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(c.State, 20));
    sim.IgnoreNext(c.Ignored);
    expectedRetries += c.Ignored;
    settings.ComNum = 3;  // another road: a new connection
    engine.Attach();
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 114 && engine.Connection.ComNum == 3; }, 400))
        << engine.CommState;
    EXPECT_EQ(sim.Parameter(15), c.Ignored ? 1 : 0);
    const std::vector<std::string> lost = {
        "Lost Connection", "X10 Monitor end not confirmed: the controller may go on sending its X10 event reports"};
    EXPECT_EQ(Ui().Messages(), c.Ignored ? lost : std::vector<std::string>{});
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 40));
  }
}

}  // namespace
}  // namespace controller::test
