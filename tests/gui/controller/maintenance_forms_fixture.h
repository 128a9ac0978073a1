#pragma once
// The relay, memory-dump and timer/variable windows wired to a communications window: as the program makes
// them, and attached over the simulated controller (AttachedFormsTest).
#include <gtest/gtest.h>

#include <QTableWidget>
#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "controller/engine_fixture.h"
#include "gui/controller/change_timer_variable_form.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/dump_form.h"
#include "gui/controller/form_ticker.h"
#include "gui/controller/set_clear_relay_form.h"
#include "gui/controller/timer_variable_form.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace maintenance_test {

using controller::CommsGrid;
using controller::test::FakeProject;
using controller::test::FixedClock;
using testing_support::Click;
using testing_support::Shoot;

// Clicks grid cell (column, row) of the debug grid, whose row 0 is its header.
inline void ClickCell(QTableWidget* grid, int column, int row) {
  testing_support::ClickCell(grid, grid->model()->index(row - 1, column));
}

inline std::string Text(const QTableWidget* grid, int column, int row) {
  const QTableWidgetItem* item = grid->item(row - 1, column);
  return item ? item->text().toStdString() : std::string();
}

class MaintenanceFormsTest : public ::testing::Test {
 protected:
  MaintenanceFormsTest() {
    comms->Engine->CommState = 110;  // the windows post to a running connection
    DumpForm = dump.get();
    SetClearRelay = relay.get();
    TimerVariableForm = timerVars.get();
    Form32 = change.get();
  }
  ~MaintenanceFormsTest() override {
    DumpForm = nullptr;
    SetClearRelay = nullptr;
    TimerVariableForm = nullptr;
    Form32 = nullptr;
  }
  controller::CommsEngine& Engine() { return *comms->Engine; }

  testing_support::ScopedConfigDir config;
  FakeProject project;
  FixedClock clock;
  std::unique_ptr<TCommsForm> comms = std::make_unique<TCommsForm>(project, clock);
  std::unique_ptr<TDumpForm> dump = std::make_unique<TDumpForm>(*comms->Engine);
  std::unique_ptr<TSetClearRelay> relay = std::make_unique<TSetClearRelay>(*comms->Engine);
  std::unique_ptr<TTimerVariableForm> timerVars = std::make_unique<TTimerVariableForm>(*comms->Engine);
  std::unique_ptr<TForm32> change = std::make_unique<TForm32>(*comms->Engine);
};

// Wired to the communications window as the program wires them, over the simulated controller.
class AttachedFormsTest : public MaintenanceFormsTest {
 protected:
  AttachedFormsTest() {
    sim.SetAppVersion(400);
    sim.SetFirmwareVersion(820);
    comms->AttachGrid(CommsGrid::Dump, dump->StringGrid1, false);
    comms->AttachEdit(controller::CommsText::DumpAddress, dump->Edit1);
    comms->AttachGrid(CommsGrid::TimerVars, timerVars->TVGrid, true);
    comms->AttachWindow(controller::CommsWindow::TimerVars, timerVars.get());
    comms->Settings.ComNum = 1;
    Engine().CommState = 0;
    comms->AttachEngine();
    EXPECT_TRUE(RunUntil([&] { return Engine().CommState == 114; }));
    Engine().ParamsRequest = 0;
  }
  ~AttachedFormsTest() override {
    Engine().CloseRequest = 1;
    RunUntil([&] { return Engine().CommState == 0; });
  }
  bool RunUntil(const std::function<bool()>& done, int limit = 400) { return ticker.RunUntil(done, limit); }
  void Menu(const char* item) { comms->MenuItems[item]->trigger(); }
  void RawCommand(std::array<const char*, 6> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) dump->CommandEdits[i]->setText(bytes[i]);
    Click(dump->BitBtn3);
  }
  // Asks while the X10 monitor keeps the engine busy, closes the monitor, and runs until all that was asked
  // has gone, with `meanwhile` before each tick.
  void AskWhileBusy(const std::function<void()>& ask, int limit = 400, const std::function<void()>& meanwhile = {}) {
    ASSERT_TRUE(ticker.OpenX10Monitor());
    ask();
    ASSERT_TRUE(ticker.CloseX10Monitor());
    ASSERT_TRUE(RunUntil(
        [&] {
          if (meanwhile) meanwhile();
          controller::Requests asked = Engine();
          // A slot sent keeps its bytes: only its code marks it used.
          const bool queued = std::any_of(asked.CommandQueue.begin(), asked.CommandQueue.end(),
                                          [](const auto& slot) { return slot[0] != 0; });
          asked.CommandQueue = {};
          return Engine().CommState == 110 && !queued && asked == controller::Requests{} && !Engine().UploadFile;
        },
        limit))
        << "state " << Engine().CommState;
  }

  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  gui_test::FormTicker ticker{*comms, sim};
};

}  // namespace maintenance_test
