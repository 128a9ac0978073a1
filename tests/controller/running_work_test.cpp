// Work that puts the controller into a mode, or waits for its restart, ends through its own end whatever ends
// the connection or the program: a reconnection, a new connection, the program's end. The end reaches the
// controller before the next connection starts or the program ends, and a dead line ends it within the
// retries. A command on the line when a reconnection comes is not sent again.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "controller/param_requests.h"
#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using testing_support::SimFrameKind;

enum class Road { Reconnection, NewConnection, Exit };

class RunningWorkTest;

struct Work {
  const char* Row;
  const char* Named;  // in the question asked first
  std::function<void(RunningWorkTest&)> Start;
  std::function<void(RunningWorkTest&)> Ended;  // the controller once its end has run
  bool CutShort;                                // ended before its own end: told
};

class RunningWorkTest : public EngineTest, public ::testing::WithParamInterface<std::tuple<int, Road>> {
 public:
  static const std::vector<Work>& Works();
  static constexpr int WorkCount = 13;

  RunningWorkTest() {
    std::filesystem::create_directories(data);
    settings.CurrentDirectory = data.string();
  }

  std::size_t InfoRequests() const {
    std::size_t n = 0;
    for (const auto& f : sim.Frames()) n += f.Kind == SimFrameKind::Request && f.Address == AddrInfoBlock;
    return n;
  }
  // The older controllers report X10 events through parameter 15. Told older after their identification,
  // which would otherwise ask to reload their executive.
  void ConnectOlder() {
    Connect();
    engine.AppVersion = 212;
  }
  // What is asked in between: an IR clear.
  void AskIrClear() {
    ASSERT_TRUE(engine.RequestAllowed(RequestKind::IrClear, engine.IrClearNumber != -1));
    engine.IrClearNumber = 9;
  }
  // The controller is identified once more and the IR clear goes, once, told nothing; then the connection
  // closes. `infos` and `clears` are the counts before.
  void ExpectOneIdentificationAndTheClear(std::size_t infos, std::size_t clears) {
    ASSERT_TRUE(RunUntil(
        [&] {
          return InfoRequests() > infos && engine.CommState == 114 && !engine.ReconnectRequest &&
                 !engine.ParamsRequest && engine.IrClearNumber == -1;
        },
        400));
    EXPECT_EQ(InfoRequests(), infos + 1);
    EXPECT_EQ(sim.Commands(CmdClearIr).size(), clears + 1);
    EXPECT_FALSE(view.Logged("IR Clear Command not sent"));
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 400));
  }
  void Learn(int state) {
    Connect();
    engine.IrLearnNumber = 5;
    ASSERT_TRUE(RunToState(state == 565 ? 564 : state, 40));
    ASSERT_EQ(sim.Parameter(17), 1);
    if (state == 565) {
      engine.IrLearnNumber = -1;  // the learn window closed
      ASSERT_TRUE(RunToState(565, 2));
    }
  }
  void Address(bool aborted) {
    Connect();
    engine.AutoAddressRequest = 1;
    ASSERT_TRUE(RunToState(592, 40));
    ASSERT_EQ(sim.PressModuleButton(), 1);
    ASSERT_TRUE(serial::test::PumpIn(port, 1));
    ASSERT_TRUE(RunUntil([&] { return view.Logged("Addressed Module 1"); }, 6));
    if (!aborted) return;
    engine.AbortRequest = 1;
    ASSERT_TRUE(RunToState(593, 3));
  }
  void ExpectAddressingEnded() {
    EXPECT_EQ(sim.Parameter(3), 1) << "the last number given";
    EXPECT_EQ(sim.ControlStarts(), 1);
    EXPECT_TRUE(view.Logged("Program Downloaded OK")) << "the restart ran out";
  }
  void ImageTransfer(bool upload) {
    sim.SetFirmwareVersion(819);
    testing_support::WriteFile((data / "codes.ir").string(), std::string(300, 'c'));
    Connect();
    if (upload) {
      engine.IrUploadFileName = (data / "up.ir").string();
      engine.IrUploadRequest = 1;
    } else {
      ASSERT_TRUE(engine.RequestIrDownload((data / "codes.ir").string(), false));
    }
    ASSERT_TRUE(RunToState(upload ? 176 : 166, 600));
  }

  testing_support::TempDir temp;
  const std::filesystem::path data = std::filesystem::path(temp.Path()) / "data";
  serial::test::ScopedComEnv com3{3, sim.SlavePath()};  // another road to the same controller
};

// The works, by the state each is in when the road comes.
const std::vector<Work>& RunningWorkTest::Works() {
  using T = RunningWorkTest;
  static const std::vector<Work> works = {
      {"learn, receiver switched on", "IR Learn", [](T& t) { t.Learn(561); },
       [](T& t) { EXPECT_EQ(t.sim.Parameter(17), 0); }, true},
      {"learn, before the learn command", "IR Learn", [](T& t) { t.Learn(562); },
       [](T& t) {
         EXPECT_EQ(t.sim.Parameter(17), 0);
         EXPECT_TRUE(t.sim.Commands(CmdLearnIr).empty()) << "no learn after the cut";
       },
       true},
      {"learn, waiting for the code", "IR Learn", [](T& t) { t.Learn(564); },
       [](T& t) { EXPECT_EQ(t.sim.Parameter(17), 0); }, true},
      {"learn, switching the receiver back", "IR Learn", [](T& t) { t.Learn(565); },
       [](T& t) { EXPECT_EQ(t.sim.Parameter(17), 0); }, false},
      {"addressing, waiting for a button", "Auto Address", [](T& t) { t.Address(false); },
       [](T& t) { t.ExpectAddressingEnded(); }, true},
      {"addressing, telling the last number", "Auto Address", [](T& t) { t.Address(true); },
       [](T& t) { t.ExpectAddressingEnded(); }, false},
      {"older X10 monitor", "X10 Monitor",
       [](T& t) {
         t.ConnectOlder();
         t.engine.X10MonitorRequest = 1;
         ASSERT_TRUE(t.RunToState(522, 20));
         ASSERT_EQ(t.sim.Parameter(15), 1);
       },
       [](T& t) { EXPECT_EQ(t.sim.Parameter(15), 0); }, false},
      {"touch screen restart", "Touch Screen Download",
       [](T& t) {
         t.Connect();
         t.engine.RequestTouchLoad();
         ASSERT_TRUE(t.RunToState(908, 600));
       },
       [](T& t) { EXPECT_TRUE(t.view.Logged("Touchscreen Data Downloaded OK")); }, false},
      {"executive restart", "Executive Reload",
       [](T& t) {
         testing_support::WriteFile((t.data / "FLASH512.BIN").string(), std::string(300, 'x'));
         t.Connect();
         ASSERT_TRUE(t.engine.RequestExecReload());
         ASSERT_TRUE(t.RunToState(136, 400));
       },
       [](T& t) { EXPECT_TRUE(t.view.Logged("Program Downloaded OK")); }, false},
      {"IR image download restart", "Infra-Red File Download", [](T& t) { t.ImageTransfer(false); },
       [](T& t) { EXPECT_TRUE(t.view.Logged("Ir Data Downloaded OK")); }, false},
      {"IR image upload restart", "Infra-Red File Upload", [](T& t) { t.ImageTransfer(true); },
       [](T& t) { EXPECT_TRUE(t.view.Logged("Ir Data Uploaded OK")); }, false},
      {"IR code upload, a code on the line", "Infra-Red File Upload",
       [](T& t) {
         t.Connect();
         t.engine.IrUploadFileName = (t.data / "up.lir").string();
         t.engine.IrUploadLir = true;
         t.engine.IrUploadRequest = 1;
         ASSERT_TRUE(t.RunToState(186, 40));
       },
       // Its file goes with it: nothing is left open or half written.
       [](T& t) {
         EXPECT_EQ(t.engine.UploadFile, nullptr);
         EXPECT_TRUE(std::filesystem::is_empty(t.data));
       },
       true},
      {"program download, its blocks", "Program Download",
       [](T& t) {
         t.Connect();
         t.engine.ProgramDownloadRequest = 1;
         ASSERT_TRUE(t.RunToState(514, 600));
       },
       [](T& t) { EXPECT_LT(t.sim.FlashLoads(), 96 + 6) << "cut where it stood"; }, true},
  };
  return works;
}

TEST_P(RunningWorkTest, EndsThroughItsOwnEndBeforeTheNextConnectionOrTheProgramsEnd) {
  const auto [index, road] = GetParam();
  ASSERT_EQ(Works().size(), static_cast<std::size_t>(WorkCount));
  const Work& work = Works()[static_cast<std::size_t>(index)];
  work.Start(*this);
  if (HasFatalFailure()) return;
  Ui().Clear();
  view.Log.clear();
  const std::string question = engine.EndQuestion(road == Road::Exit ? Ending::Exit : Ending::Attach);
  EXPECT_NE(question.find(std::string(work.Named)), std::string::npos) << question;

  const std::size_t infos = InfoRequests();
  const RunningWork* running = engine.Running();
  const bool restarting = running && running->Kind == WorkKind::RestartWait;
  if (road == Road::Exit) {
    engine.EndForExit();
    ASSERT_TRUE(RunToState(0, 900));
  } else {
    if (road == Road::NewConnection) settings.ComNum = 3;
    engine.Attach();
    EXPECT_EQ(view.IsShown(CommsWindow::Restart), restarting) << "the restart's window stays while it runs";
    // The next identification starts only once the work has ended.
    ASSERT_TRUE(RunUntil([&] { return InfoRequests() > infos; }, 900)) << engine.CommState;
  }
  work.Ended(*this);
  // Only what never started is told not sent: the clock set that ends a reload, when the next connection's
  // controller may be another.
  for (const std::string& line : view.Log) {
    if (line.ends_with(" not sent")) {
      EXPECT_TRUE(line == "Clock Set not sent" && road == Road::NewConnection) << line;
    }
  }
  EXPECT_EQ(view.Logged(std::string(work.Named) + " cut short"), work.CutShort);
  if (road != Road::Exit) {
    ASSERT_TRUE(RunToState(114, 400));
    EXPECT_EQ(engine.Connection.ComNum, road == Road::NewConnection ? 3 : 1);
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 400));
  }
  // Controller Access is on the screen: its log tells the rest.
  const bool addressing = std::string(work.Named) == "Auto Address";
  EXPECT_EQ(Ui().Messages(),
            addressing ? std::vector<std::string>{"Be sure to re-load your Program File"} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Works, RunningWorkTest,
                         ::testing::Combine(::testing::Range(0, RunningWorkTest::WorkCount),
                                            ::testing::Values(Road::Reconnection, Road::NewConnection, Road::Exit)),
                         [](const ::testing::TestParamInfo<std::tuple<int, Road>>& info) {
                           std::string name =
                               RunningWorkTest::Works()[static_cast<std::size_t>(std::get<0>(info.param))].Row;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           const Road road = std::get<1>(info.param);
                           return name + (road == Road::Reconnection    ? "_reconnection"
                                          : road == Road::NewConnection ? "_new"
                                                                        : "_exit");
                         });

// A dead line during the end step: the end keeps its retries, then the program ends with "Lost Connection",
// never a hang.
TEST_F(RunningWorkTest, ADeadLineEndsTheEndStepWithinItsRetries) {
  const Work& learn = Works()[2];
  const Work& addressing = Works()[4];
  const Work& monitor = Works()[6];
  for (const Work* work : {&learn, &addressing, &monitor}) {
    SCOPED_TRACE(work->Row);
    work->Start(*this);
    Ui().Clear();
    sim.IgnoreNext(100);
    expectedRetries += 9;
    engine.EndForExit();
    ASSERT_TRUE(RunToState(0, 9 * 13 + 20));
    // What the end may have left is told even with Controller Access shown: the controller may not know the
    // last number it gave, or go on learning or reporting.
    std::vector<std::string> told = {"Lost Connection"};
    if (work == &addressing) told.push_back("Last Module Number 1 not confirmed");
    if (work == &learn) told.push_back("IR Learn end not confirmed: the controller's IR receiver may be left learning");
    if (work == &monitor)
      told.push_back("X10 Monitor end not confirmed: the controller may go on sending its X10 event reports");
    EXPECT_EQ(Ui().Messages(), told);
    sim.IgnoreNext(0);
  }
}

// A command on the line when a reconnection comes gets its answer first, and is not sent again after it.
TEST_F(RunningWorkTest, AReconnectionDoesNotSendACommandThatWentAgain) {
  const struct {
    const char* Name;
    std::function<void(CommsEngine&)> Post;
    int Waiting;  // its answer in the port
    std::function<std::size_t(const testing_support::SimController&)> Taken;
  } cases[] = {
      {"relay", [](CommsEngine& e) { e.RelayRequest = 3; }, 581,
       [](const testing_support::SimController& s) { return s.Commands(CmdRelay).size(); }},
      {"X10",
       [](CommsEngine& e) {
         e.X10Key = 3;
         e.X10SendRequest = 2;
       },
       519, [](const testing_support::SimController& s) { return s.Commands(CmdSendX10).size(); }},
      {"extended X10", [](CommsEngine& e) { e.ExtX10Request = 1; }, 451,
       [](const testing_support::SimController& s) { return s.Commands(CmdExtendedX10).size(); }},
      {"module message",
       [](CommsEngine& e) {
         e.TransmitMessage = 2;
         e.TransmitCode = 4;
         e.TransmitRequest = 3;
       },
       211, [](const testing_support::SimController& s) { return s.Commands(CmdVoiceTransmit).size(); }},
      {"remote IR", [](CommsEngine& e) { e.RemoteIrRequest = 4; }, 576,
       [](const testing_support::SimController& s) { return s.Commands(CmdRemoteIr).size(); }},
      {"clock set", [](CommsEngine& e) { e.SetClockRequest = 1; }, 531,
       [](const testing_support::SimController& s) { return static_cast<std::size_t>(s.ClockFramesTaken()); }},
      {"queued parameter", [](CommsEngine& e) { e.CommandQueue[0] = {CmdSetControllerParam, 40, 0, 7, 0, 0}; }, 121,
       [](const testing_support::SimController& s) { return s.Commands(CmdSetControllerParam).size(); }},
      {"module parameter", [](CommsEngine& e) { PostModuleParamChange(e, 1, 2, "300"); }, 207,
       [](const testing_support::SimController& s) { return s.Commands(CmdWriteModuleParam).size(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    sim.SetModule(1, 11);
    Connect();
    const std::size_t sent = c.Taken(sim);
    c.Post(engine);
    ASSERT_TRUE(RunToState(c.Waiting, 40));
    const std::size_t infos = InfoRequests();
    engine.Attach();
    ASSERT_TRUE(RunUntil([&] { return InfoRequests() > infos; }, 40));
    // A read-back the reconnection cut runs again.
    ASSERT_TRUE(
        RunUntil([&] { return engine.CommState == 114 && !engine.ParamsRequest && !engine.ModuleParamsRequest; }, 400));
    EXPECT_EQ(c.Taken(sim), sent + 1);
    Requests left = engine;
    for (auto& slot : left.CommandQueue)
      if (slot[0] == 0) slot.fill(0);  // a free slot keeps the bytes it sent
    EXPECT_EQ(left, Requests{}) << "nothing is left to send again";
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 400));
  }
}

// An attach while a new connection waits for the last one's end is that connection's, never a
// reconnection, and changes nothing: the next connection identifies once, and what was asked of it, before
// the second attach too, goes, once.
TEST_F(RunningWorkTest, ASecondAttachWhileANewConnectionWaitsIsThatConnections) {
  for (const bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "closed, attached, attached again" : "attached to another port, then back");
    settings.ComNum = 1;
    Learn(564);
    if (closed) engine.CloseRequest = 1;
    settings.ComNum = closed ? 1 : 3;
    engine.Attach();
    AskIrClear();
    settings.ComNum = 1;
    EXPECT_FALSE(engine.Reconnects()) << "Download Project attaches too";
    EXPECT_EQ(engine.EndQuestion(Ending::Attach), "") << "nothing to ask: it ends nothing";
    engine.Attach();
    ExpectOneIdentificationAndTheClear(InfoRequests(), sim.Commands(CmdClearIr).size());
  }
}

// A reconnection asked again before it has started changes nothing: what was asked in between goes with it,
// once, and the controller is identified once more, not twice.
TEST_F(RunningWorkTest, AReconnectionAskedAgainBeforeItStartsChangesNothing) {
  enum class While { Learning, Idle, AnswerOwed };
  enum class By { Attach, Download };
  const struct {
    const char* Name;
    While When;
    By First, Second;
    bool FirstFrameHeld = false;  // asked again as its first frame waits for the answer owed
  } cases[] = {
      {"attached while a learn runs, attached again", While::Learning, By::Attach, By::Attach},
      {"attached while a learn runs, then Download Project", While::Learning, By::Attach, By::Download},
      {"Download Project while a learn runs, then attached", While::Learning, By::Download, By::Attach},
      {"Download Project twice while a learn runs", While::Learning, By::Download, By::Download},
      {"attached when idle, then Download Project", While::Idle, By::Attach, By::Download},
      {"Download Project when idle, then attached", While::Idle, By::Download, By::Attach},
      {"attached with an answer owed, then Download Project", While::AnswerOwed, By::Attach, By::Download},
      {"attached with an answer owed, then Download Project as its first frame waits", While::AnswerOwed, By::Attach,
       By::Download, true},
  };
  const auto ask = [this](By by) { by == By::Attach ? engine.Attach() : engine.Reconnect(); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    view.Log.clear();
    if (c.When == While::Learning) {
      Learn(564);
    } else {
      Connect();
    }
    if (c.When == While::AnswerOwed) {
      ASSERT_TRUE(RunToState(112, 10));
      sim.IgnoreNext(1);
      Step();
    }
    const std::size_t infos = InfoRequests(), clears = sim.Commands(CmdClearIr).size();
    ask(c.First);
    if (c.FirstFrameHeld) {
      ASSERT_TRUE(RunUntil([&] { return engine.CommState == 101; }, 20));
    }
    ASSERT_EQ(InfoRequests(), infos);
    AskIrClear();
    EXPECT_EQ(engine.EndQuestion(c.Second == By::Attach ? Ending::Attach : Ending::Reconnection), "")
        << "nothing to ask: it ends nothing";
    ask(c.Second);
    ExpectOneIdentificationAndTheClear(infos, clears);
  }
}

// A learn asked while the last one switches the receiver back has not started: whatever ends the connection
// drops it, told, and a reconnection does not start it. Asked of the next connection once the last learn's end
// has cleared its number, it is that connection's, and goes.
TEST_F(RunningWorkTest, ALearnAskedAsTheLastEndsBelongsToTheConnectionItWasAskedOf) {
  enum class By { Attach, Download, AttachElsewhere };
  const struct {
    const char* Name;
    By Road;
    bool Next;  // asked after the attach, once the last learn's end has cleared its number
  } cases[] = {
      {"attached", By::Attach, false},
      {"Download Project", By::Download, false},
      {"attached elsewhere", By::AttachElsewhere, false},
      {"attached elsewhere, asked of the next connection", By::AttachElsewhere, true},
  };
  const auto ask = [this] {
    ASSERT_TRUE(engine.RequestAllowed(RequestKind::IrLearn, engine.IrLearnNumber != -1));
    engine.IrLearnNumber = 7;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    view.Log.clear();
    settings.ComNum = 1;
    Learn(c.Next ? 564 : 565);
    if (!c.Next) ask();
    const std::size_t infos = InfoRequests(), learns = sim.Commands(CmdLearnIr).size();
    if (c.Road == By::AttachElsewhere) settings.ComNum = 3;
    c.Road == By::Download ? engine.Reconnect() : engine.Attach();
    if (c.Next) {
      ASSERT_TRUE(RunUntil([&] { return engine.IrLearnNumber == -1; }, 5));
      ask();
    }
    ASSERT_TRUE(RunUntil(
        [&] {
          return InfoRequests() > infos &&
                 (engine.CommState == 564 ||
                  (engine.CommState == 114 && !engine.ParamsRequest && engine.IrLearnNumber == -1));
        },
        400));
    EXPECT_EQ(sim.Commands(CmdLearnIr).size(), learns + (c.Next ? 1 : 0));
    EXPECT_EQ(view.Logged("IR Learn not sent"), !c.Next);
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 400));
  }
}

// A module parameter's read-back that a reconnection cuts is read again once connected: the grid ends on
// the value the controller holds.
TEST_F(RunningWorkTest, AReadBackCutByAReconnectionIsReadAgain) {
  sim.SetModule(1, 11);
  sim.SetManagerBusyPolls(3);
  const struct {
    const char* Name;
    int At;
    bool Download;
  } cases[] = {{"the editor's attach in the manager's pause", 222, false},
               {"the project download's, the write on the line", 207, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    view.Cells.clear();
    Connect();
    ASSERT_TRUE(PostModuleParamChange(engine, 1, 2, "1000"));
    ASSERT_TRUE(RunToState(c.At, 40));
    const std::size_t infos = InfoRequests();
    c.Download ? engine.Reconnect() : engine.Attach();
    ASSERT_TRUE(RunUntil(
        [&] {
          return InfoRequests() > infos && engine.CommState == 114 && !engine.ParamsRequest &&
                 !engine.ModuleParamsRequest;
        },
        400));
    EXPECT_EQ(sim.ModuleParameter(1, 2), 1000);
    EXPECT_EQ(view.Cell(CommsGrid::ModuleParams, 3, 1), "1000");
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 400));
  }
}

// A read or a monitor that ran says it ended when an attach ends it; it was not "not sent". One only asked
// never ran, and did not end: a reconnection goes on with it, and a new connection drops it, told. So is one
// whose first frame waits for the line to settle (the frame before it lost once): nothing of it went. One
// that has gone on ends, though its next frame waits.
TEST_F(RunningWorkTest, AReadOrAMonitorEndedByAnAttachSaysItEnded) {
  sim.SetModule(1, 11);
  sim.SetManagerBusyPolls(1000);  // the module read polls the busy manager
  enum class Held { No, First, Later };
  const struct {
    const char* Name;
    std::uint8_t Requests::*Request;
    int Running;  // 114: attached before the idle pass takes it
    const char* Ended;
    const char* Dropped = "";  // by a new connection
    Held Frame = Held::No;
    bool GoesOn = false;  // asked still once reconnected
  } cases[] = {
      {"timers and variables", &Requests::TimerVarMonitorRequest, 703, "Timers and Variables Monitor ended"},
      {"module parameters", &Requests::ModuleParamsRequest, 203, "Module Parameter Read ended"},
      {"timers and variables, only asked", &Requests::TimerVarMonitorRequest, 114, ""},
      {"module parameters, chosen by the idle pass", &Requests::ModuleParamsRequest, 199, "",
       "Retrieve Module Parameters not sent", Held::No, true},
      {"timers and variables, its first frame held", &Requests::TimerVarMonitorRequest, 0, "", "", Held::First},
      {"module parameters, its first frame held", &Requests::ModuleParamsRequest, 0, "",
       "Retrieve Module Parameters not sent", Held::First, true},
      {"controller parameters, its first frame held", &Requests::ParamsRequest, 0, "",
       "Retrieve Controller Parameters not sent", Held::First, true},
      {"module parameters, a later frame held", &Requests::ModuleParamsRequest, 0, "Module Parameter Read ended", "",
       Held::Later},
  };
  for (const auto& c : cases)
    for (Road road : {Road::Reconnection, Road::NewConnection}) {
      SCOPED_TRACE(std::string(c.Name) + (road == Road::Reconnection ? ", reconnection" : ", new connection"));
      settings.ComNum = 1;
      Connect();
      view.Log.clear();
      if (c.Frame == Held::First) {
        ASSERT_TRUE(RunToState(112, 40));
        sim.IgnoreNext(1);
        Step();
      }
      engine.*c.Request = 1;
      if (c.Frame == Held::Later) {
        ASSERT_TRUE(RunToState(202, 40));
        sim.IgnoreNext(1);
        Step();
      }
      if (c.Frame != Held::No) {
        ASSERT_TRUE(RunUntil([&] { return engine.FrameHeld(); }, 60)) << engine.CommState;
        expectedRetries += 1;
      } else {
        ASSERT_TRUE(RunToState(c.Running, 40));
      }
      if (road == Road::NewConnection) settings.ComNum = 3;
      engine.Attach();
      EXPECT_EQ(view.Logged(c.Ended), *c.Ended != '\0');
      const std::string dropped = road == Road::NewConnection ? c.Dropped : "";
      EXPECT_EQ(view.Logged(dropped), !dropped.empty());
      for (const std::string& line : view.Log) {
        EXPECT_EQ(line.ends_with(" not sent"), line == dropped) << line;
        EXPECT_TRUE(*c.Ended || !line.ends_with(" ended")) << line;
      }
      ASSERT_TRUE(RunToState(114, 400));
      EXPECT_EQ(engine.*c.Request == 1, c.GoesOn && road == Road::Reconnection);
      engine.CloseRequest = 1;
      ASSERT_TRUE(RunToState(0, 400));
    }
}

}  // namespace
}  // namespace controller::test
