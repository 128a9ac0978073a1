// Answers that come late. An attach on the running line while a block read waits for its answer, at the
// program's own pace (a tick every 250 ms of real time) against a controller that answers every frame late,
// inside the engine's time-out: the reconnection starts only once that answer is in, so the next
// identification never takes it for its own, and the controller is identified as it is. And answers after
// the time-out: a frame sent again owes two answers, and the next frame goes only once both are in.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using namespace std::chrono_literals;
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

// Each tick is 250 ms of the simulator's line clock.
class AnswerAfterTimeOutTest : public EngineTest {
 protected:
  AnswerAfterTimeOutTest() { sim.DriveLineClock(); }
  // Answers that came after the engine's time-out: each costs its frame one retry.
  int AnswersAfterTimeOut() const {
    const auto frames = sim.Frames();
    return static_cast<int>(std::count_if(frames.begin(), frames.end(), [](const auto& f) { return f.Late >= 3s; }));
  }
};

TEST_F(AnswerAfterTimeOutTest, EachAnswerIsTakenForTheFrameItAnswers) {
  sim.SetModule(1, 5, 3);
  sim.SetModule(4, 9, 2);
  sim.SetIoWord(1, 0x1234);
  sim.SetIoWord(4, 0x00F0);
  sim.SetFirmwareVersion(821);
  // Every frame is answered after the time-out, and the same frame sent again a second after its send.
  sim.AnswerLateEveryNth(1, 3400ms, 1000ms);
  engine.CommState = 1;
  ASSERT_TRUE(RunToState(114, 400)) << engine.CommState;
  EXPECT_EQ(engine.AppVersion, 400);
  EXPECT_EQ(engine.FirmwareVersion, 821);
  EXPECT_EQ(engine.ModuleTypes[0], 5);
  EXPECT_EQ(engine.ModuleTypes[3], 9);
  EXPECT_EQ(engine.ModuleTypes[1], NoModule);
  EXPECT_EQ(engine.ModuleVersions[0], 3);
  EXPECT_EQ(engine.ModuleVersions[3], 2);
  EXPECT_EQ(engine.IoStates[0], 0x1234u);
  EXPECT_EQ(engine.IoStates[3], 0x00F0u);
  expectedRetries = AnswersAfterTimeOut();
  EXPECT_EQ(expectedRetries, 5) << "one for each of the five reads";
}

}  // namespace
}  // namespace controller::test
