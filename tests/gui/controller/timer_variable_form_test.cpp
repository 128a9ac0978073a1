// The timers and variables debug window as a user drives it: its grid, the change window its clicks open,
// and, attached over the simulated controller, the controller's values it shows.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "maintenance_forms_fixture.h"

namespace maintenance_test {
namespace {

TEST_F(MaintenanceFormsTest, TheDebugGridNumbersItsRowsAndMarksMissingTimers) {
  const QTableWidget* grid = timerVars->TVGrid;
  ASSERT_EQ(grid->rowCount() + 1, 257);
  ASSERT_EQ(grid->columnCount(), 3);
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Timers");
  EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Variables");
  const struct {
    int Column, Row;
    const char* Text;
  } cells[] = {{0, 1, "0"},      {0, 128, "127"},   {0, 129, ""}, {1, 64, ""},
               {1, 65, " N/A "}, {1, 128, " N/A "}, {1, 129, ""}, {2, 65, ""}};
  for (const auto& c : cells) EXPECT_EQ(Text(grid, c.Column, c.Row), c.Text) << c.Column << "," << c.Row;
}

TEST_F(MaintenanceFormsTest, ClickingTheDebugGridOpensTheChangeWindowWhereAValueCanBeChanged) {
  const struct {
    int Column, Row;
    bool Opens;
    const char* Label;
    const char* Number;
  } cases[] = {
      {1, 70, false, "", ""},
      {0, 5, false, "", ""},
      {2, 200, true, "Variable#", "199"},
      {1, 64, true, "Timer#", "63"},
      {2, 65, true, "Variable#", "64"},
      {1, 1, true, "Timer#", "0"},
  };
  timerVars->show();
  for (const auto& c : cases) {
    change->hide();
    change->Label1->setText("?");
    change->Edit2->setText("9");
    ClickCell(timerVars->TVGrid, c.Column, c.Row);
    EXPECT_EQ(change->isVisible(), c.Opens) << c.Column << "," << c.Row;
    if (!c.Opens) continue;
    EXPECT_EQ(change->Label1->text().toStdString(), c.Label);
    EXPECT_EQ(change->Edit1->text().toStdString(), c.Number);
    EXPECT_EQ(change->Edit2->text(), "0");
  }

  ClickCell(timerVars->TVGrid, 2, 200);
  ClickCell(timerVars->TVGrid, 0, 5);
  EXPECT_EQ(timerVars->CurrentColumn(), 2) << "the numbering column never becomes current";
  EXPECT_EQ(timerVars->CurrentRow(), 200);
  change->Edit2->setText("1234");
  EXPECT_TRUE(Shoot(change.get(), "zelta_change_timer_variable.png"));
  Click(change->BitBtn1);
  EXPECT_FALSE(change->isVisible());
  EXPECT_EQ(Engine().ChangeDataRequest, 199);
  EXPECT_EQ(Engine().ChangeDataValue, 1234);
  EXPECT_EQ(Engine().ChangeDataKind, 0);

  ClickCell(timerVars->TVGrid, 1, 11);
  Engine().ChangeDataRequest = controller::NoChangeData;
  Click(change->BitBtn2);
  EXPECT_FALSE(change->isVisible());
  EXPECT_EQ(Engine().ChangeDataRequest, controller::NoChangeData) << "Cancel arms nothing";
  ClickCell(timerVars->TVGrid, 1, 11);
  Click(change->BitBtn1);
  EXPECT_EQ(Engine().ChangeDataRequest, 10);
  EXPECT_EQ(Engine().ChangeDataKind, 1);
}

TEST_F(MaintenanceFormsTest, HidingTheDebugWindowStopsTheRefresh) {
  comms->DebugTimersandVariables1Click();
  timerVars->show();
  EXPECT_EQ(Engine().TimerVarMonitorRequest, 1);
  Click(timerVars->BitBtn1);
  EXPECT_FALSE(timerVars->isVisible());
  EXPECT_EQ(Engine().TimerVarMonitorRequest, 0);
}

TEST_F(AttachedFormsTest, TheDebugWindowShowsTheControllersValuesAndChangesOne) {
  sim.SetTimer(0, 0xFFFF);
  sim.SetTimer(2, 250);
  sim.SetVariable(0, 17);
  sim.SetVariable(200, 4321);
  comms->DebugTimersandVariables1Click();
  EXPECT_TRUE(timerVars->isVisible());
  QTableWidget* grid = timerVars->TVGrid;
  ASSERT_TRUE(RunUntil([&] { return Text(grid, 2, 201) == "4321"; }));
  EXPECT_EQ(Text(grid, 1, 1), "65535");
  EXPECT_EQ(Text(grid, 1, 3), "250");
  EXPECT_EQ(Text(grid, 2, 1), "17");
  EXPECT_EQ(Text(grid, 1, 65), " N/A ");
  EXPECT_EQ(Text(grid, 0, 129), "");
  grid->scrollToTop();
  EXPECT_TRUE(Shoot(timerVars.get(), "zelta_timer_variables.png"));
  grid->scrollToItem(grid->item(120, 0), QAbstractItemView::PositionAtCenter);
  EXPECT_TRUE(Shoot(timerVars.get(), "zelta_timer_variables_128.png"));

  ClickCell(grid, 2, 200);
  change->Edit2->setText("1234");
  Click(change->BitBtn1);
  ASSERT_TRUE(RunUntil([&] { return Text(grid, 2, 200) == "1234"; }));
  const auto changes = sim.Commands(controller::CmdChangeTimerVar);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].Bytes, (std::vector<std::uint8_t>{0xC8, 0x29, 199, 0xD2, 0x04, 0, 0, 0x8E}));

  Click(timerVars->BitBtn1);
  EXPECT_EQ(Engine().TimerVarMonitorRequest, 0);
}

}  // namespace
}  // namespace maintenance_test
