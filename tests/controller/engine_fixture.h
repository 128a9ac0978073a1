#pragma once
// The engine against the simulated controller over a real serial port on a pseudo-terminal. Ticks run
// back to back: after each one the fixture lets the frame leave the port, the simulator take it and
// answer, and the answer reach the port, so no wait state counts a tick it would not count at 250 ms.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "controller/comms_engine.h"
#include "platform/clock.h"
#include "program/program_store.h"
#include "project/ascii_messages.h"
#include "project/settings.h"
#include "project/touch_screen_table.h"
#include "serial/com_port.h"
#include "support/serial_port_helpers.h"
#include "support/scripted_ui.h"
#include "support/sim_controller.h"

namespace controller::test {

class RecordingView : public CommsView {
 public:
  void AddLogLine(const std::string& line) override {
    Log.insert(Log.begin(), line);
    if (OnLog) OnLog();
  }
  void SetText(CommsText which, const std::string& text) override { Texts[which] = text; }
  void SetCell(CommsGrid grid, int column, int row, const std::string& text) override {
    Cells[{grid, column, row}] = text;
  }
  void ShowWindow(CommsWindow window, bool visible) override { Shown[window] = visible; }
  void SetMeterPercent(int percent) override { Meter.push_back(percent); }
  void SetRestartPosition(int position) override { RestartPosition = position; }
  void AddListLine(CommsList list, const std::string& line) override {
    auto& lines = Lists[list];
    lines.insert(lines.begin(), line);
  }
  void SetLights(bool, bool) override {}
  bool CommsDetail() const override { return Detail; }
  std::string InputText(CommsInput input, int index) const override {
    auto it = Inputs.find(input);
    return it == Inputs.end() ? std::string() : it->second(index);
  }
  bool IsChecked(CommsCheck check) const override { return Checks.count(check) && Checks.at(check); }
  void StopTimer() override { TimerStopped = true; }

  std::string Cell(CommsGrid grid, int column, int row) const {
    auto it = Cells.find({grid, column, row});
    return it == Cells.end() ? std::string() : it->second;
  }
  bool IsShown(CommsWindow window) const { return Shown.count(window) && Shown.at(window); }
  bool Logged(const std::string& line) const { return std::find(Log.begin(), Log.end(), line) != Log.end(); }

  std::map<CommsText, std::string> Texts;
  std::map<std::tuple<CommsGrid, int, int>, std::string> Cells;
  std::map<CommsWindow, bool> Shown;
  std::vector<std::string> Log;  // newest first, as the log list
  std::vector<int> Meter;
  int RestartPosition = -1;
  std::map<CommsList, std::vector<std::string>> Lists;
  bool Detail = false;
  std::map<CommsInput, std::function<std::string(int)>> Inputs;
  std::map<CommsCheck, bool> Checks;
  bool TimerStopped = false;
  std::function<void()> OnLog;  // runs inside the engine's tick, as a nested event loop would
};

class FakeProject : public CommsProject {
 public:
  const ProgramStore& Program() const override { return Store; }
  const TouchScreenTable& TouchTable() const override { return Touch; }
  const project::AsciiMessageTable& AsciiMessages() const override { return Ascii; }
  void CompileIconImage(std::span<std::uint8_t> buffer, project::CommsLog& log) override {
    if (Icons) Icons(buffer, log);
  }
  ProgramStore Store;
  TouchScreenTable Touch;
  project::AsciiMessageTable Ascii;
  std::function<void(std::span<std::uint8_t>, project::CommsLog&)> Icons;
};

class FixedClock : public platform::Clock {
 public:
  platform::LocalTime Now() const override { return Time; }
  std::uint64_t Milliseconds() const override { return platform::SystemClock().Milliseconds(); }
  platform::LocalTime Time{2007, 3, 4, 9, 5, 7, 0};
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    settings.ComNum = 1;
    settings.Method = 1;
    sim.SetAppVersion(400);
    sim.SetFirmwareVersion(820);
  }
  ~EngineTest() override { port.SetOpen(false); }

  testing_support::ScriptedUi& Ui() { return testing_support::TestUi(); }

  // One tick, then the line settles: what the engine sent has been taken and answered, and the answer
  // has reached the port's input.
  void Step() {
    engine.Tick();
    Settle();
  }
  void Settle() {
    // Only a tick that sent a frame (every send restarts WaitCount) leaves anything in flight.
    if (!port.Open() || sim.HungUp() || engine.WaitCount != 0) return;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (port.OutBuffUsed() != 0 && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    sim.WaitUntilSettled(std::chrono::seconds(2), std::chrono::milliseconds(3));
    // The answer is in the port once its input count stops growing.
    std::int32_t last = -1;
    for (int quiet = 0; quiet < 3 && std::chrono::steady_clock::now() < end;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const std::int32_t now = port.InBuffUsed();
      quiet = now == last ? quiet + 1 : 0;
      last = now;
    }
  }
  // Ticks until `done` holds, at most `limit` ticks; false when it never did.
  bool RunUntil(const std::function<bool()>& done, int limit = 2000) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      Step();
    }
    return done();
  }
  bool RunToState(int state, int limit = 2000) {
    return RunUntil([&] { return engine.CommState == state; }, limit);
  }
  // Attaches, connects and identifies: the engine idles in its poll cycle.
  void Connect() {
    engine.CommState = 1;
    ASSERT_TRUE(RunToState(114, 200)) << "state " << engine.CommState;
    // Identifying asks for the controller parameters; the tests here look at other things.
    engine.ParamsRequest = 0;
  }

  // Every test ends with no protocol error at the simulator but those it provokes on purpose.
  void TearDown() override {
    const std::vector<std::string> errors = sim.Faults();
    std::string all;
    for (const std::string& e : errors) all += "\n  " + e;
    EXPECT_EQ(static_cast<int>(errors.size()), expectedProtocolErrors_) << "protocol errors:" << all;
  }
  void ExpectProtocolErrors(int count) { expectedProtocolErrors_ = count; }
  int expectedProtocolErrors_ = 0;

  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  serial::TLkComPort port{nullptr};
  RecordingView view;
  project::Settings settings;
  FakeProject project;
  NoDialUp noDialUp;
  FixedClock clock;
  CommsEngine engine{CommsParts{port, view, settings, project, noDialUp, clock}};
};

}  // namespace controller::test
