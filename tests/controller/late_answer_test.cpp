// An attach on the running line while a block read waits for its answer, at the program's own pace (a tick
// every 250 ms of real time) against a controller that answers every frame late, inside the engine's
// time-out: the reconnection starts only once that answer is in, so the next identification never takes it
// for its own, and the controller is identified as it is.
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

}  // namespace
}  // namespace controller::test
