#pragma once
// The engine against the simulated controller over a real serial port on a pseudo-terminal. Ticks run
// back to back: after a tick that sent a frame the fixture waits until the simulator has taken it and its
// answer is in the port, or, where that frame hung the line up, until the port is done with it and has seen
// the line gone, so no wait state counts a tick it would not count at 250 ms. A test that drives the
// simulator's line clock gets 250 ms of it per tick instead, and before the next tick exactly what the line
// delivered by then. At its end each test checks that the engine retried exactly as often as the test meant
// it to.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "controller/comms_engine.h"
#include "platform/clock.h"
#include "program/program_store.h"
#include "project/ascii_messages.h"
#include "project/settings.h"
#include "project/touch_screen_table.h"
#include "serial/com_port.h"
#include "serial/dispatcher.h"
#include "support/scripted_ui.h"
#include "support/serial_port_helpers.h"
#include "support/sim_controller.h"
#include "support/sim_exchange.h"

namespace controller::test {

class RecordingView : public CommsView {
 public:
  void AddLogLine(const std::string& line) override {
    Log.insert(Log.begin(), line);
    if (OnLog) OnLog();
  }
  void SetText(CommsText which, const std::string& text) override {
    Texts[which] = text;
    if (which == CommsText::State) inTick_ = false;  // the last thing a tick shows
  }
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
  void ClearList(CommsList list) override { Lists[list].clear(); }
  // A tick sets the lights first; every send sets them again.
  void SetLights(bool, bool) override {
    if (inTick_) ++Sends;
    inTick_ = true;
  }
  // Asked once by each retry.
  bool CommsDetail() const override {
    ++Retries;
    return Detail;
  }
  std::string InputText(CommsInput input, int index) const override {
    auto it = Inputs.find(input);
    return it == Inputs.end() ? std::string() : it->second(index);
  }
  bool IsChecked(CommsCheck check) const override { return Checks.count(check) && Checks.at(check); }
  void StopTimer() override { TimerStopped = true; }
  bool Showing() const override { return Visible; }

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
  bool Visible = true;          // Controller Access on the screen
  std::function<void()> OnLog;  // runs inside the engine's tick, as a nested event loop would
  int Sends = 0;                // frames the engine sent
  mutable int Retries = 0;      // retries it counted

 private:
  bool inTick_ = false;
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

// The log lines that start with `prefix`.
inline int CountLog(const RecordingView& view, const std::string& prefix) {
  return static_cast<int>(
      std::count_if(view.Log.begin(), view.Log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// The refusals a line brings: the controller's own, and two garbled on the way. Any first byte but 6
// refuses.
inline constexpr Byte Refusals[] = {Nak, 0x05, 0x95};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    settings.ComNum = 1;
    settings.Method = 1;
    sim.SetAppVersion(400);
    sim.SetFirmwareVersion(820);
  }
  ~EngineTest() override { port.SetOpen(false); }
  // Every test ends having made the engine retry, and the simulator see protocol errors, exactly as often
  // as it meant to.
  void TearDown() override {
    EXPECT_EQ(view.Retries, expectedRetries) << "retries (time-outs, bad checks, refusals) the engine counted";
    std::string all;
    for (const std::string& e : sim.Faults()) all += "\n  " + e;
    EXPECT_EQ(static_cast<int>(sim.Faults().size()), expectedProtocolErrors) << "protocol errors:" << all;
  }

  testing_support::ScriptedUi& Ui() { return testing_support::TestUi(); }

  // One tick, then what it sent has been taken and answered, and the answer has reached the port's input.
  void Step() {
    testing_support::SimExchange& line = Line();
    line.Mark();
    const int sends = view.Sends;
    engine.Tick();
    if (lineFailed_) return;
    if (const auto awaited = line.Await(view.Sends - sends, kTickTime); !awaited) {
      lineFailed_ = true;
      ADD_FAILURE() << awaited.message() << "; the engine is in state " << engine.CommState;
    }
  }
  // The simulated controller on the port's line: a test with more than one points the port's number at each.
  virtual testing_support::SimExchange& Line() { return exchange; }
  // Ticks until `done` holds, at most `limit` ticks; false when it never did.
  bool RunUntil(const std::function<bool()>& done, int limit = 2000) {
    for (int i = 0; i < limit && !lineFailed_; ++i) {
      if (done()) return true;
      Step();
    }
    return done();
  }
  bool RunToState(int state, int limit = 2000) {
    return RunUntil([&] { return engine.CommState == state; }, limit);
  }
  // The engine in `state`, its work's frame gone: a clock read has left the port, and what it owes is
  // counted in, so the next frame is not held for it.
  void WorkWent(int state) {
    if (port.ComNumber() == 0) port.SetComNumber(1);  // named, as a connection names it; open or not
    engine.CommState = state;
    engine.SendCommandFrame(CmdReadClock);
    engine.AnswerTaken(ClockReplySize);
  }
  // The simulator hangs up, and the port has seen the line gone before the next tick, however loaded the
  // machine: the next send fails, and a wait that looks at the line finds it gone.
  ::testing::AssertionResult HangUpSeen() {
    sim.HangUp();
    return exchange.LineGoneSeen();
  }
  // Attaches, connects and identifies: the engine idles in its poll cycle.
  void Connect() {
    engine.CommState = 1;
    ASSERT_TRUE(RunToState(114, 200)) << "state " << engine.CommState;
    // Identifying asks for the controller parameters; the tests here look at other things.
    engine.ParamsRequest = 0;
  }

  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  serial::TLkComPort port{nullptr};
  RecordingView view;
  project::Settings settings;
  FakeProject project;
  NoDialUp noDialUp;
  FixedClock clock;
  CommsEngine engine{CommsParts{port, view, settings, project, noDialUp, clock}};
  testing_support::SimExchange exchange{sim, port};
  int expectedRetries = 0;         // a test that makes the engine retry says how often
  int expectedProtocolErrors = 0;  // and one that sends the controller what it cannot take, how many

 private:
  static constexpr std::chrono::milliseconds kTickTime{250};

  bool lineFailed_ = false;  // a frame or an answer went missing: the ticks that follow mean nothing
};

}  // namespace controller::test
