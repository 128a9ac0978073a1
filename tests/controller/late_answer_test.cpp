// Answers that come late. An attach on the running line while a block read waits for its answer, at the
// program's own pace (a tick every 250 ms of real time) against a controller that answers every frame late,
// inside the engine's time-out: the reconnection goes to state 1 at once, but its first frame, the info
// request, is held until the answer the line owes is in (or the line has stayed quiet for a time-out), so
// the identification never takes that answer for its own, and the controller is identified as it is. And
// answers after the time-out: a frame sent again owes two answers, and the next frame goes only once both
// are in.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using namespace std::chrono_literals;
using testing_support::SimBytes;
using testing_support::SimFrameKind;

// Later than the nine ticks a reconnection started at once takes to send its first request, earlier than
// the twelve of the time-out.
constexpr auto kLate = 2400ms;
constexpr auto kTick = 250ms;

struct Read {
  const char* Name;
  void (*Ask)(CommsEngine&, const std::string& dir);  // from the idle poll, what starts the read
  int Send;                                           // the state that sends its request
};

void PrintTo(const Read& read, std::ostream* os) { *os << read.Name; }

class LateAnswerTest : public EngineTest, public ::testing::WithParamInterface<Read> {
 protected:
  std::size_t InfoRequests() const {
    std::size_t n = 0;
    for (const auto& f : sim.Frames()) n += f.Kind == SimFrameKind::Request && f.Address == AddrInfoBlock;
    return n;
  }
  // Ticks as the window's timer does, 250 ms apart at least, until `done`.
  bool TickAtPaceUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_until(lastTick_ + kTick);
      lastTick_ = std::chrono::steady_clock::now();
      engine.Tick();
    }
    return true;
  }

  std::chrono::steady_clock::time_point lastTick_{};
  testing_support::TempDir temp;
};

void Reidentify(CommsEngine& e, const std::string&) { e.Attach(); }

const Read kReads[] = {
    {"module_types", Reidentify, 102},
    {"firmware_version", Reidentify, 104},
    {"module_versions", Reidentify, 106},
    {"io_states", [](CommsEngine&, const std::string&) {}, 112},
    {"controller_parameters", [](CommsEngine& e, const std::string&) { e.ParamsRequest = 1; }, 150},
    {"manager_ready", [](CommsEngine& e, const std::string&) { e.ModuleParamsRequest = 1; }, 202},
    {"module_parameters", [](CommsEngine& e, const std::string&) { e.ModuleParamsRequest = 1; }, 204},
    {"x10_status", [](CommsEngine& e, const std::string&) { e.X10MonitorRequest = 1; }, 301},
    {"memory_dump",
     [](CommsEngine& e, const std::string&) {
       e.DumpAddress = 0x1234;
       e.DumpRequest = 1;
     },
     550},
    {"timers", [](CommsEngine& e, const std::string&) { e.TimerVarMonitorRequest = 1; }, 700},
    {"variables", [](CommsEngine& e, const std::string&) { e.TimerVarMonitorRequest = 1; }, 702},
    {"more_variables", [](CommsEngine& e, const std::string&) { e.TimerVarMonitorRequest = 1; }, 704},
    {"ir_code_upload",
     [](CommsEngine& e, const std::string& dir) {
       e.IrUploadFileName = (std::filesystem::path(dir) / "codes.lir").string();
       e.IrUploadLir = true;
       e.IrUploadRequest = 1;
     },
     185},
};

TEST_P(LateAnswerTest, AnAttachDuringABlockReadIdentifiesTheControllerAsItIs) {
  const Read& read = GetParam();
  Connect();
  read.Ask(engine, temp.Path());
  ASSERT_TRUE(RunToState(read.Send, 200)) << engine.CommState;
  const std::size_t infos = InfoRequests();
  sim.SetReplyDelay(kLate);
  lastTick_ = std::chrono::steady_clock::now();
  engine.Tick();  // the request goes
  engine.Attach();
  ASSERT_TRUE(TickAtPaceUntil([&] { return InfoRequests() > infos && engine.CommState == 102; })) << engine.CommState;
  sim.SetReplyDelay({});
  ASSERT_TRUE(RunToState(114, 200)) << engine.CommState;
  EXPECT_EQ(engine.AppVersion, 400);
  EXPECT_EQ(engine.TimerTableAddress, sim.TimerTableAddress());
  EXPECT_EQ(engine.VariableTableAddress, sim.VariableTableAddress());
  EXPECT_EQ(InfoRequests(), infos + 1);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{}) << "no Update Warning";
}

INSTANTIATE_TEST_SUITE_P(Reads, LateAnswerTest, ::testing::ValuesIn(kReads),
                         [](const ::testing::TestParamInfo<Read>& info) { return std::string(info.param.Name); });

// A controller that answers late (2.3 s on an instant line, 0.8 s on a 9600-baud one) answers one block read
// after the engine's time-out: the engine sends it again and takes the late answer as the retry's, and the
// retry's own answer comes after. Each read takes its own answer, and so does the read after it: what the
// windows show is what the controller holds. Each tick is 250 ms of the simulator's line clock.
struct Line {
  const char* Name;
  bool Paced;
  std::chrono::milliseconds Delay;
};

class LateReadTest;
struct LateRead {
  const char* Name;
  void (*Ask)(LateReadTest&);
  int Send;                      // the state that sends its request
  bool (*Shows)(LateReadTest&);  // what the read shows is the controller's
};

class LateReadTest : public EngineTest, public ::testing::WithParamInterface<std::tuple<LateRead, Line>> {
 public:
  using EngineTest::engine;
  using EngineTest::sim;
  using EngineTest::view;

  LateReadTest() {
    sim.DriveLineClock();
    sim.SetModule(1, 5, 3);
    sim.SetModule(3, 9, 2);
    sim.SetIoWord(1, 0x1234);
    sim.SetIoWord(3, 0x00F0);
    for (int p = 0; p < 128; ++p) sim.SetParameter(p, static_cast<std::uint16_t>(p * 7 + 3));
    sim.SetParameter(122, 2);  // IR codes 0 to 2
    sim.SetParameter(123, 0);
    for (int p = 0; p < 64; ++p) {
      sim.SetModuleParameter(1, p, static_cast<std::uint16_t>(1000 + p));
      sim.SetModuleParameter(3, p, static_cast<std::uint16_t>(3000 + p));
    }
    sim.SetX10Unit(2, 9, true);
    for (int k = 0; k < 256; ++k) {
      if (k < 64) sim.SetTimer(k, static_cast<std::uint16_t>(500 + k));
      sim.SetVariable(k, static_cast<std::uint16_t>(700 + k));
    }
    SimBytes memory(256);
    for (int i = 0; i < 256; ++i) memory[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 5 + 1);
    sim.Write(0x1234, memory);
    for (int n = 0; n <= 2; ++n) sim.SetIrCode(n, SimBytes(256, static_cast<std::uint8_t>(0x40 + n)));
  }
  std::size_t Requests(std::size_t from, std::uint16_t address) const {
    const auto frames = sim.Frames();
    return static_cast<std::size_t>(
        std::count_if(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(),
                      [&](const auto& f) { return f.Kind == SimFrameKind::Request && f.Address == address; }));
  }
  bool Identified() const {
    return engine.AppVersion == 400 && engine.FirmwareVersion == 820 && engine.ModuleTypes[0] == 5 &&
           engine.ModuleTypes[2] == 9 && engine.ModuleTypes[1] == NoModule && engine.ModuleVersions[0] == 3 &&
           engine.ModuleVersions[2] == 2 && engine.IoStates[0] == 0x1234 && engine.IoStates[2] == 0x00F0;
  }
  bool Cells(CommsGrid grid, int column, int firstRow, int count, int first) const {
    for (int k = 0; k < count; ++k)
      if (view.Cell(grid, column, firstRow + k) != std::to_string(first + k)) return false;
    return true;
  }

  testing_support::TempDir temp;
};

void Reidentify(LateReadTest& t) { t.engine.Attach(); }
bool ShowsIdentification(LateReadTest&) { return true; }

const LateRead kLateReads[] = {
    {"info_block", Reidentify, 100, ShowsIdentification},
    {"module_types", Reidentify, 102, ShowsIdentification},
    {"firmware_version", Reidentify, 104, ShowsIdentification},
    {"module_versions", Reidentify, 106, ShowsIdentification},
    {"io_states", [](LateReadTest&) {}, 112, ShowsIdentification},
    {"controller_parameters", [](LateReadTest& t) { t.engine.ParamsRequest = 1; }, 150,
     [](LateReadTest& t) {
       for (int p = 0; p < 128; ++p)
         if (t.engine.ControllerParams[static_cast<std::size_t>(p)] != t.sim.Parameter(p)) return false;
       return true;
     }},
    {"manager_ready", [](LateReadTest& t) { t.engine.ModuleParamsRequest = 1; }, 202,
     [](LateReadTest& t) {
       for (int module : {1, 3})
         for (int p = 0; p < 64; ++p)
           if (t.engine.ModuleParamTable[static_cast<std::size_t>(module)][static_cast<std::size_t>(p)] !=
               t.sim.ModuleParameter(module, p))
             return false;
       return true;
     }},
    {"module_parameters", [](LateReadTest& t) { t.engine.ModuleParamsRequest = 1; }, 204,
     [](LateReadTest& t) {
       return t.engine.ModuleParamTable[3][0] == 3000 && t.engine.ModuleParamTable[1][1] == 1001;
     }},
    {"x10_status", [](LateReadTest& t) { t.engine.X10MonitorRequest = 1; }, 301,
     [](LateReadTest& t) {
       return t.view.Cell(CommsGrid::X10Status, 3, 10) == "ON" && t.view.Cell(CommsGrid::X10Status, 1, 1) == "--" &&
              t.view.Lists[CommsList::X10Activity].empty();
     }},
    {"memory_dump",
     [](LateReadTest& t) {
       t.engine.DumpAddress = 0x1234;
       t.engine.DumpRequest = 1;
     },
     550,
     [](LateReadTest& t) {
       return t.view.Cell(CommsGrid::Dump, 0, 0) == "01" && t.view.Cell(CommsGrid::Dump, 15, 15) == "fc" &&
              t.view.Texts[CommsText::DumpAddress] == std::to_string(0x1234);
     }},
    {"timers", [](LateReadTest& t) { t.engine.TimerVarMonitorRequest = 1; }, 700,
     [](LateReadTest& t) {
       return t.Cells(CommsGrid::TimerVars, 1, 1, 64, 500) && t.Cells(CommsGrid::TimerVars, 2, 1, 256, 700);
     }},
    {"variables", [](LateReadTest& t) { t.engine.TimerVarMonitorRequest = 1; }, 702,
     [](LateReadTest& t) { return t.Cells(CommsGrid::TimerVars, 2, 1, 256, 700); }},
    {"more_variables", [](LateReadTest& t) { t.engine.TimerVarMonitorRequest = 1; }, 704,
     [](LateReadTest& t) { return t.Cells(CommsGrid::TimerVars, 2, 1, 256, 700); }},
    {"ir_code_upload",
     [](LateReadTest& t) {
       t.engine.IrUploadFileName = (std::filesystem::path(t.temp.Path()) / "codes.lir").string();
       t.engine.IrUploadLir = true;
       t.engine.ParamsRequest = 1;  // as the file dialog asks: the highest code number is read first
       t.engine.IrUploadRequest = 1;
     },
     185,
     [](LateReadTest& t) {
       std::string expected;
       for (int n = 0; n <= 2; ++n) expected += std::string(256, static_cast<char>(0x40 + n));
       return testing_support::ReadFile(t.temp.File("codes.lir")) == expected;
     }},
};

const Line kLines[] = {{"instant_line", false, 2300ms}, {"line_at_9600_baud", true, 800ms}};

void PrintTo(const std::tuple<LateRead, Line>& row, std::ostream* os) {
  *os << std::get<0>(row).Name << " on the " << std::get<1>(row).Name;
}

TEST_P(LateReadTest, EachReadTakesItsOwnAnswer) {
  const auto& [read, line] = GetParam();
  sim.SetPacing(line.Paced);
  sim.SetReceivePacing(line.Paced);
  sim.SetReplyDelay(line.Delay);
  Connect();
  read.Ask(*this);
  ASSERT_TRUE(RunToState(read.Send, 400)) << engine.CommState;
  const std::size_t from = sim.Frames().size();
  sim.AnswerNextLate(3300ms);
  // The read, and the read after it: the first poll of the I/O states sent after it (the late poll and its
  // second sending aside), or the monitor's next round.
  const std::size_t polls = read.Send == 112 ? 3 : 1;
  ASSERT_TRUE(RunUntil(
      [&] {
        if (read.Send == 301) return Requests(from, AddrX10Status) >= 3 && engine.CommState == 304;
        return Requests(from, AddrIoStates) >= polls && engine.CommState == 114 && !engine.ModuleParamsRequest &&
               !engine.ParamsRequest && !engine.DumpRequest && !engine.IrUploadRequest;
      },
      6000))
      << engine.CommState;
  EXPECT_TRUE(Identified());
  EXPECT_TRUE(read.Shows(*this));
  expectedRetries = 1;  // the late answer's
}

INSTANTIATE_TEST_SUITE_P(Reads, LateReadTest,
                         ::testing::Combine(::testing::ValuesIn(kLateReads), ::testing::ValuesIn(kLines)),
                         [](const ::testing::TestParamInfo<std::tuple<LateRead, Line>>& info) {
                           return std::string(std::get<0>(info.param).Name) + "_" + std::get<1>(info.param).Name;
                         });

// A reconnection on the running line starts at once: only its first frame waits for what the exchange on the
// line still owes. Each tick is 250 ms of the simulator's line clock.
class ReconnectionTest : public EngineTest {
 protected:
  ReconnectionTest() { sim.DriveLineClock(); }
  testing_support::TempDir temp;
};

// A transfer cut while its answer is on the way is over at once: asked again, it is not refused as if it
// still ran.
TEST_F(ReconnectionTest, ATransferCutByAnAttachIsOverAtOnce) {
  const struct {
    const char* Name;
    int Waiting;  // its wait state
    const char* Told;
    void (*Ask)(CommsEngine&, const std::string& dir);
    bool (*Asked)(const CommsEngine&);
  } rows[] = {
      {"IR file upload", 186, "Infra-Red File Upload cut short",
       [](CommsEngine& e, const std::string& dir) {
         e.IrUploadFileName = dir + "/codes.lir";
         e.IrUploadLir = true;
         e.IrUploadRequest = 1;
       },
       [](const CommsEngine& e) { return e.IrFileTransferAsked(true); }},
      {"ASCII messages to a module", 803, "ASCII Messages cut short",
       [](CommsEngine& e, const std::string&) { e.RequestAsciiTable(2); },
       [](const CommsEngine& e) { return e.ModuleAsciiAsked(); }},
  };
  sim.SetReplyDelay(2000ms);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    Connect();
    row.Ask(engine, temp.Path().string());
    ASSERT_TRUE(RunToState(row.Waiting, 400)) << engine.CommState;
    engine.Attach();
    EXPECT_FALSE(row.Asked(engine));
    Step();
    EXPECT_FALSE(row.Asked(engine));
    EXPECT_TRUE(view.Logged(
        std::string(row.Name == std::string("IR file upload") ? "Infra-Red File Upload" : "ASCII Messages") +
        " cut short"));
  }
}

// An attach on the running line just after a block request went: the reconnection's first frame waits for
// that request's answer, even one that comes after the engine's time-out, and the controller is identified
// as it is.
TEST_F(ReconnectionTest, TheFirstFrameWaitsForTheAnswerOnTheLine) {
  for (const auto late : {2400ms, 3300ms}) {
    SCOPED_TRACE(late.count());
    sim.SetReplyDelay(2300ms);
    Connect();
    ASSERT_TRUE(RunToState(112, 40));
    sim.AnswerNextLate(late);
    Step();  // the request goes
    engine.Attach();
    ASSERT_TRUE(RunToState(114, 200)) << engine.CommState;
    EXPECT_EQ(engine.AppVersion, 400);
    EXPECT_EQ(engine.FirmwareVersion, 820);
    EXPECT_EQ(engine.TimerTableAddress, sim.TimerTableAddress());
  }
}

// The end step of a mode the controller reports in (an IR learn ended by "&Close", the older X10 monitor
// switched off), with the report waiting as the end step goes, coming before its answer (the end step lost
// once on the line) or after it in the same read: the report is taken as that report, never as the answer
// or a refusal.
struct EndStep {
  const char* Name;
  bool Learn;           // else the older X10 monitor
  Byte ReportLead;      // the report: 0xFD alone, or an X10 event 0xFE 3 18
  int Lost;             // end steps the line loses: the report comes while the wait goes on
  bool AfterTheAnswer;  // pushed once the answer is in
};

void PrintTo(const EndStep& step, std::ostream* os) { *os << step.Name; }

class EndStepReportTest : public EngineTest, public ::testing::WithParamInterface<EndStep> {};

TEST_P(EndStepReportTest, TheReportIsTakenAsThatReport) {
  const EndStep& c = GetParam();
  Connect();
  view.Detail = true;
  if (c.Learn) {
    engine.IrLearnNumber = 5;
    ASSERT_TRUE(RunToState(564, 40));
    engine.CloseRequest = 1;
  } else {
    engine.AppVersion = 212;
    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(522, 20));
    engine.X10MonitorRequest = 0;
  }
  const int endStep = c.Learn ? 565 : 526;
  ASSERT_TRUE(RunToState(endStep, 5));
  sim.IgnoreNext(c.Lost);
  expectedRetries = c.Lost;
  const SimBytes report = c.ReportLead == 0xFD ? SimBytes{0xFD} : SimBytes{0xFE, 3, 18};
  if (c.Lost || c.AfterTheAnswer) Step();  // the end step goes; its answer, if any, is in
  sim.Push(report);
  ASSERT_TRUE(serial::test::PumpIn(port, static_cast<std::int32_t>(report.size() + (c.AfterTheAnswer ? 3 : 0))));
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == (c.Learn ? 0 : 114); }, 60)) << engine.CommState;
  EXPECT_EQ(sim.Parameter(c.Learn ? 17 : 15), 0) << "switched off";
  EXPECT_FALSE(view.Logged(c.Learn ? "Comms Retry flash save 566 RX0" : "Comms Retry flash save 527 RX0"));
  if (c.Learn) {
    EXPECT_TRUE(view.Logged("Ir Learn Complete"));
    EXPECT_FALSE(view.Logged("IR Learn cut short"));
  } else {
    EXPECT_EQ(view.Lists[CommsList::X10Events], std::vector<std::string>{"Received X10  3/18"});
  }
}

const EndStep kEndSteps[] = {
    {"learn_code_waiting_as_it_goes", true, 0xFD, 0, false}, {"learn_code_before_its_answer", true, 0xFD, 1, false},
    {"learn_code_after_its_answer", true, 0xFD, 0, true},    {"x10_event_waiting_as_it_goes", false, 0xFE, 0, false},
    {"x10_event_before_its_answer", false, 0xFE, 1, false},  {"x10_event_after_its_answer", false, 0xFE, 0, true},
};

INSTANTIATE_TEST_SUITE_P(Modes, EndStepReportTest, ::testing::ValuesIn(kEndSteps),
                         [](const ::testing::TestParamInfo<EndStep>& info) { return std::string(info.param.Name); });

// After a frame sent again whose answers come late, what the line still owes is taken as those answers,
// whoever reads the line next: the addressing's search, a learn's end step. Each tick is 250 ms of the
// simulator's line clock.
class SentAgainTest : public EngineTest {
 protected:
  SentAgainTest() {
    sim.DriveLineClock();
    for (int module : {1, 3}) sim.SetModule(module, 5);
  }
  // The frame `state` sends is lost once: sent again, it is answered, and the next frame waits for the line
  // to settle.
  void LoseOnce(int state) {
    ASSERT_TRUE(RunToState(state, 40)) << engine.CommState;
    sim.IgnoreNext(1);
    Step();
  }
  // Frames that set controller parameter `p` to `value` that reached the controller.
  std::size_t ParamFrames(int p, int value) const {
    std::size_t n = 0;
    for (const auto& f : sim.Frames())
      n += f.Kind == SimFrameKind::Command && f.Code == CmdSetControllerParam && f.Args[0] == p && f.Args[2] == value;
    return n;
  }
  void AskLearn() {
    engine.IrLearnFrequency = 120;
    engine.IrLearnNumber = 5;
  }
};

// Closing the learn window drops a learn not started, and withdraws its waiting frame only: the reconnection's
// identification, or a module parameter read under way, whose frame waits for the line goes on to its end.
TEST_F(SentAgainTest, ALearnDroppedEndsOnlyTheLearn) {
  Connect();
  ASSERT_TRUE(RunToState(112, 40));
  sim.AnswerNextLate(3300ms);
  Step();
  engine.Attach();
  ASSERT_TRUE(RunUntil([&] { return engine.FrameHeld(); }, 40)) << engine.CommState;
  AskLearn();
  engine.DropLearnNotStarted();
  ASSERT_TRUE(RunToState(114, 60)) << engine.CommState;
  EXPECT_EQ(engine.ModuleTypes[2], 5) << "the controller identified";

  engine.ModuleParamsRequest = 1;
  LoseOnce(202);
  ASSERT_TRUE(RunUntil([&] { return engine.FrameHeld(); }, 40)) << engine.CommState;
  AskLearn();
  engine.DropLearnNotStarted();
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 114; }, 3000));
  EXPECT_EQ(view.Texts[CommsText::ModuleParamStatus], "Parameters Received");
  EXPECT_TRUE(sim.Commands(CmdLearnIr).empty());
  expectedRetries = 1;
}

// A step of a mode the user has ended does not go: the learn command waiting for the line when the learn
// window closes, or a refused switch-on about to go again; the receiver is switched back instead.
TEST_F(SentAgainTest, AStepOfAModeTheUserEndedDoesNotGo) {
  Connect();
  AskLearn();
  LoseOnce(560);
  ASSERT_TRUE(RunUntil([&] { return engine.FrameHeld(); }, 40)) << engine.CommState;
  engine.CancelLearn();
  ASSERT_TRUE(RunToState(110, 60)) << engine.CommState;
  EXPECT_TRUE(sim.Commands(CmdLearnIr).empty()) << "nothing is learnt under a closed window";
  EXPECT_EQ(ParamFrames(17, 0), 1u) << "switched back";

  AskLearn();
  ASSERT_TRUE(RunToState(560, 40));
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 560 && engine.RetryCount == 1; }, 20));
  engine.CancelLearn();
  ASSERT_TRUE(RunToState(110, 60)) << engine.CommState;
  EXPECT_EQ(ParamFrames(17, 1), 3u) << "the refused switch-on is not sent again";
  EXPECT_EQ(ParamFrames(17, 0), 2u);
  EXPECT_EQ(sim.Parameter(17), 0);
  expectedRetries = 2;
}

// A mode's switch-on that waits for the line is withdrawn when its window closes: nothing of it goes.
TEST_F(SentAgainTest, ASwitchOnWaitingWhenItsWindowClosesNeverGoes) {
  for (bool learn : {true, false}) {
    SCOPED_TRACE(learn ? "IR learn" : "older X10 monitor");
    Connect();
    engine.AppVersion = 212;
    LoseOnce(112);
    if (learn)
      AskLearn();
    else
      engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunUntil([&] { return engine.FrameHeld(); }, 40)) << engine.CommState;
    if (learn)
      engine.DropLearnNotStarted();
    else
      engine.X10MonitorRequest = 0;
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 114 && !engine.FrameHeld(); }, 40)) << engine.CommState;
    EXPECT_EQ(ParamFrames(learn ? 17 : 15, 1), 0u);
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 40));
  }
  expectedRetries = 2;
}

// A program block answered after its time-out goes again, and the answer to its second sending is late too:
// nothing goes until that answer is in, so the refusal of the next block is that block's own and sends it
// again. Flash holds the program, each block where it belongs, before the program is started.
TEST_F(SentAgainTest, NothingGoesWhileTheAnswerToAFrameSentAgainCanStillCome) {
  for (int n = 1; n < 4000; ++n)
    project.Store.Lines[static_cast<std::size_t>(n)] =
        ProgramLine{static_cast<std::uint16_t>((3 << 10) | n % 1024), static_cast<std::uint16_t>(n * 7),
                    static_cast<std::uint16_t>(n)};
  project.Store.Lines[4000] = ProgramLine::End();
  Connect();
  ASSERT_TRUE(engine.RequestProgramDownload());
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 513 && engine.BlockIndex == 5; }, 200));
  sim.AnswerNextLate(3300ms);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 513 && engine.RetryCount == 1; }, 20));
  sim.AnswerNextLate(2000ms);
  Step();  // block 5 goes again
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return view.Logged("Controller Program Started") && engine.CommState == 110; }, 800));
  std::vector<std::uint8_t> program(4096 * ProgramLine::kBytes);
  for (int n = 0; n < 4096; ++n) project.Store.Lines[static_cast<std::size_t>(n)].Store(program.data() + n * 6);
  EXPECT_EQ(sim.ProgramImage(), program);
  expectedRetries = 2;  // block 5's time-out, block 6's refusal
}

// A poll sent again owes its second answer, 2.3 s late, when Auto Address is asked: the search waits for it,
// and the addressing counts only the buttons pressed and tells the controller the last number it gave.
TEST_F(SentAgainTest, AutoAddressCountsOnlyThePressesAfterALateAnswer) {
  sim.SetReplyDelay(2300ms);
  Connect();
  ASSERT_TRUE(RunToState(112, 40));
  sim.AnswerNextLate(3300ms);
  Step();  // the poll goes, and goes again after the time-out
  engine.AutoAddressRequest = 1;
  ASSERT_TRUE(RunToState(592, 200)) << engine.CommState;
  sim.SetReplyDelay({});
  EXPECT_EQ(sim.PressModuleButton(), 1);
  ASSERT_TRUE(serial::test::PumpIn(port, 1));
  ASSERT_TRUE(RunUntil([&] { return engine.AutoAddressRequest == 2; }, 10)) << engine.CommState;
  engine.AbortRequest = 1;
  ASSERT_TRUE(RunToState(136, 200)) << engine.CommState;
  EXPECT_FALSE(view.Logged("Auto Address Command refused by the controller"));
  EXPECT_EQ(std::count_if(view.Log.begin(), view.Log.end(),
                          [](const std::string& l) { return l.rfind("Addressed Module", 0) == 0; }),
            1);
  EXPECT_EQ(sim.Parameter(3), 1) << "the last module number given";
  expectedRetries = 1;
}

// The learn command's answer comes after the time-out, and after the learn window has closed: the receiver's
// switch-off is a new frame, and waits for that answer instead of taking it as its own. Its own refusal then
// sends it again, and the receiver ends switched back.
TEST_F(SentAgainTest, ALearnsSwitchOffWaitsForTheLearnCommandsLateAnswer) {
  Connect();
  AskLearn();
  ASSERT_TRUE(RunToState(562, 20));
  sim.AnswerNextLate(4500ms);
  Step();  // the learn command goes
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 562 && engine.RetryCount == 1; }, 20));
  engine.CancelLearn();
  ASSERT_TRUE(RunUntil([&] { return engine.FrameHeld(); }, 4)) << "the switch-off waits for the learn command's answer";
  ASSERT_TRUE(RunToState(110, 60)) << engine.CommState;
  EXPECT_EQ(sim.Parameter(17), 0) << "the receiver switched back";
  EXPECT_EQ(sim.Commands(CmdLearnIr).size(), 1u);
  expectedRetries = 2;  // the learn command's time-out, the switch-off's refusal
}

// A frame held for an answer the line owes goes on the first tick the line has settled, never a time-out
// later: counted from a moment each row sets up to the next frame reaching the controller, 250 ms of the
// simulator's line clock a tick.
class HoldTest;
struct Hold {
  const char* Name;
  bool (*Until)(HoldTest&);  // the scenario, up to the moment the count starts
  int Within;                // ticks from then to the next frame
  int Retries;
};

void PrintTo(const Hold& hold, std::ostream* os) { *os << hold.Name; }

class HoldTest : public EngineTest, public ::testing::WithParamInterface<Hold> {
 public:
  using EngineTest::Connect, EngineTest::RunToState, EngineTest::RunUntil, EngineTest::Step;
  using EngineTest::engine, EngineTest::port, EngineTest::sim;

  HoldTest() { sim.DriveLineClock(); }
  // A controller slow to answer its identification (2.3 s): the answer time seen on the line is ten ticks.
  bool ConnectSlowly() {
    sim.SetReplyDelay(2300ms);
    Connect();
    sim.SetReplyDelay({});
    return engine.CommState == 114;
  }
  // The frame `sendState` sends is lost once, and sent again it is answered: once the engine reads the line
  // in `reading`, the lost one's answer comes after all, in two parts a tick apart; then `end`.
  bool LateAnswerInParts(int sendState, int reading, const std::function<void()>& end) {
    if (!RunToState(sendState, 40)) return false;
    sim.IgnoreNext(1);
    if (!RunToState(reading, 40)) return false;
    sim.Push({Ack});
    if (!serial::test::PumpIn(port, 1)) return false;
    Step();
    sim.Push({0, 0});
    if (!serial::test::PumpIn(port, 2)) return false;
    Step();
    Step();
    end();
    return port.InBuffUsed() == 0;
  }
  // The frame `sendState` sends is answered twice and at once, after its time-out: `wait` takes the
  // first answer, and the moment is when the state after it has read the line empty.
  bool SentAgain(int sendState, int wait) {
    if (!RunToState(sendState, 40)) return false;
    sim.AnswerNextLate(3300ms);
    return RunUntil([&] { return engine.CommState == wait + 1 && port.InBuffUsed() == 0; }, 40);
  }
};

const Hold kHolds[] = {
    // The user attaches while the I/O poll's answer is 2.4 s late: the reconnection's info request goes on
    // the tick after that answer is in, the tenth.
    {"answer_taken_during_the_hold",
     [](HoldTest& t) {
       t.Connect();
       if (!t.RunToState(112, 40)) return false;
       t.sim.AnswerNextLate(2400ms);
       t.Step();
       t.engine.Attach();
       return true;
     },
     10, 0},
    // The start block that ends auto-addressing is lost: the controller has started again once the wait
    // ends, and the identification goes at once.
    {"restart_gives_up_the_start_blocks_answer",
     [](HoldTest& t) {
       t.Connect();
       t.engine.AutoAddressRequest = 1;
       if (!t.RunToState(592, 40) || t.sim.PressModuleButton() != 1 || !serial::test::PumpIn(t.port, 1) ||
           !t.RunUntil([&] { return t.engine.AutoAddressRequest == 2; }, 10))
         return false;
       t.engine.AbortRequest = 1;
       if (!t.RunToState(135, 200)) return false;
       t.sim.IgnoreNext(1);
       return t.RunToState(100, 400);
     },
     1, 0},
    // A controller slow to identify answers the learn command twice at once after its time-out: the learn
    // takes the second answer as it waits, so closing its window switches the receiver back on the second
    // tick, not once the answer time seen has passed since the learn command went again.
    {"learn_wait_settles_the_line",
     [](HoldTest& t) {
       if (!t.ConnectSlowly()) return false;
       t.engine.IrLearnFrequency = 120;
       t.engine.IrLearnNumber = 5;
       if (!t.SentAgain(562, 563)) return false;
       t.engine.CancelLearn();
       return true;
     },
     2, 1},
    // The same for the older X10 monitor's switch-on, and its window closed.
    {"x10_monitor_wait_settles_the_line",
     [](HoldTest& t) {
       if (!t.ConnectSlowly()) return false;
       t.engine.AppVersion = 212;
       t.engine.X10MonitorRequest = 1;
       if (!t.SentAgain(520, 521)) return false;
       t.engine.X10MonitorRequest = 0;
       return true;
     },
     2, 1},
    // The learn command's first sending is lost; its answer comes, late and in two parts, while the learn
    // waits for its code: the learn counts what it reads, and its window's close switches the receiver back
    // on the second tick.
    {"learn_wait_counts_what_it_reads",
     [](HoldTest& t) {
       t.Connect();
       t.engine.IrLearnFrequency = 120;
       t.engine.IrLearnNumber = 5;
       return t.LateAnswerInParts(562, 564, [&] { t.engine.CancelLearn(); });
     },
     2, 1},
    // The same for the older X10 monitor between events, and its window closed.
    {"x10_monitor_counts_what_it_reads",
     [](HoldTest& t) {
       t.Connect();
       t.engine.AppVersion = 212;
       t.engine.X10MonitorRequest = 1;
       return t.LateAnswerInParts(520, 522, [&] { t.engine.X10MonitorRequest = 0; });
     },
     2, 1},
    // The user closes while the I/O poll, lost on the line, waits: the next attach's info request goes
    // as state 100 first runs, on the ninth tick.
    {"closed_line_owes_nothing",
     [](HoldTest& t) {
       t.Connect();
       if (!t.RunToState(112, 40)) return false;
       t.sim.IgnoreNext(1);
       t.Step();
       t.engine.CloseRequest = 1;
       if (!t.RunToState(0, 40)) return false;
       t.engine.Attach();
       return true;
     },
     9, 1},
};

TEST_P(HoldTest, TheNextFrameGoesOnceTheLineHasSettled) {
  const Hold& hold = GetParam();
  ASSERT_TRUE(hold.Until(*this)) << engine.CommState;
  const std::size_t from = sim.ReceivedCount();
  int ticks = 0;
  while (sim.ReceivedCount() == from && ticks < 3 * Exchange::QuietTicks) {
    Step();
    ++ticks;
  }
  EXPECT_LE(ticks, hold.Within) << "in state " << engine.CommState;
  expectedRetries = hold.Retries;
}

INSTANTIATE_TEST_SUITE_P(Holds, HoldTest, ::testing::ValuesIn(kHolds),
                         [](const ::testing::TestParamInfo<Hold>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace controller::test
