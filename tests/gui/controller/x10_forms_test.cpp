// The X10 windows as the user drives them: the send window's repeat, the Leviton window's command bytes,
// level label and group up-down, the monitor windows ending the monitoring, and the commands reaching the
// simulated controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>

#include "controller/engine_fixture.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/ex10_form.h"
#include "gui/controller/ir_form.h"
#include "gui/controller/manager_params_form.h"
#include "gui/controller/monitor_x10_form.h"
#include "gui/controller/remote_ir_form.h"
#include "gui/controller/send_x10_form.h"
#include "gui/controller/set_clear_relay_form.h"
#include "gui/controller/transmit_ascii_form.h"
#include "gui/controller/x10_grid_form.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace {

using controller::CmdExtendedX10;
using controller::CmdSendX10;
using testing_support::Click;
using testing_support::Replace;
using testing_support::Shoot;

std::string Text(const QLabel* label) { return label->text().toStdString(); }
std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }
std::string Cell(const QTableWidget* grid, int column, int row) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item ? item->text().toStdString() : std::string();
}

class X10FormsTest : public controller::test::EngineTest {
 protected:
  X10FormsTest() { engine.CommState = 110; }  // the windows post to a running connection
};

TEST_F(X10FormsTest, SendPostsTheChosenCodesWithARepeatOf1To128) {
  const struct {
    const char* Typed;
    std::optional<int> Repeat;  // nothing: refused, nothing sent
  } cases[] = {{"0", 1},
               {"-3", 1},
               {"500", 1},
               {"128", 128},
               {"1", 1},
               {"64", 64},
               {"abc", std::nullopt},
               {"", std::nullopt},
               {"12 times", std::nullopt}};
  TSendX10 form(engine);
  form.show();
  EXPECT_TRUE(form.HouseGroupButtons->button(0)->isChecked());
  EXPECT_TRUE(form.KeyGroupButtons->button(0)->isChecked());
  EXPECT_EQ(form.KeyGroupButtons->button(31)->text(), "Preset Dim 1  (32)");
  form.HouseGroupButtons->button(2)->click();
  form.KeyGroupButtons->button(18)->click();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    Ui().Clear();
    engine.X10SendRequest = -1;
    form.Edit1->setText(c.Typed);
    form.BitBtn1->click();
    if (!c.Repeat) {
      EXPECT_EQ(engine.X10SendRequest, -1);
      EXPECT_EQ(Text(form.Edit1), c.Typed);
      EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Repeat must be a whole number from 1 to 128"});
      continue;
    }
    EXPECT_EQ(engine.X10Repeat, *c.Repeat);
    EXPECT_EQ(Text(form.Edit1), std::to_string(*c.Repeat));
    EXPECT_EQ(engine.X10Key, 18);
    EXPECT_EQ(engine.X10SendRequest, 2);
  }
  EXPECT_TRUE(form.isVisible()) << "Send leaves the window open";
  Shoot(&form, "/tmp/x10_send.png");
  form.BitBtn2->click();
  EXPECT_FALSE(form.isVisible());
}

TEST_F(X10FormsTest, SendReachesTheController) {
  Connect();
  TSendX10 form(engine);
  form.HouseGroupButtons->button(15)->click();
  form.KeyGroupButtons->button(17)->click();
  form.Edit1->setText("3");
  form.BitBtn1->click();
  ASSERT_TRUE(RunUntil([&] { return engine.X10SendRequest == -1; }, 20));
  const auto sent = sim.Commands(CmdSendX10);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Args[0], 15);
  EXPECT_EQ(sent[0].Args[1], 17);
  EXPECT_EQ(sent[0].Args[2], 3);
  EXPECT_TRUE(sim.X10Unit(15, 0)) << "all lights on";
}

TEST_F(X10FormsTest, LevitonButtonsComposeTheDataByte) {
  TEx10Form form(engine);
  QPushButton* const buttons[] = {nullptr, form.Button1, form.Button2, form.Button3, form.Button4, form.Button5};
  const struct {
    int Button;
    const char* Group;
    int Level;
    std::uint8_t Data;
    char Command;
  } cases[] = {
      {2, "5", 0, 0x51, '0'},                          // remove from group 5
      {1, "5", 0, 0x61, '0'},                          // include in group 5
      {3, "5", 0, 0x61, '6'},                          // group 5 to its learned level
      {4, "5", 0, 0x71, '6'},                          // group 5 off
      {2, "2", 0, 0x90, '0'},                          // group 2: its low bits go to the top
      {1, "63", 0, 0xEF, '0'},                         // the highest group
      {4, "0", 0, 0x30, '6'},  {5, "0", 63, 63, '1'},  // the level alone
      {5, "abc", 17, 17, '1'},                         // the group plays no part
  };
  form.RadioGroup1Buttons->button(7)->click();
  form.RadioGroup2Buttons->button(12)->click();
  for (const auto& c : cases) {
    engine.ExtX10Request = 0;
    form.Edit1->setText(c.Group);
    form.ScrollBar1->setValue(c.Level);
    buttons[c.Button]->click();
    const std::array<std::uint8_t, 4> expected{7, 12, c.Data, static_cast<std::uint8_t>(c.Command)};
    EXPECT_EQ(engine.ExtX10Command, expected) << "button " << c.Button << " group " << c.Group;
    EXPECT_EQ(engine.ExtX10Request, 1);
  }
  EXPECT_EQ(Ui().Beeps(), 0);
}

TEST_F(X10FormsTest, AGroupOutside0To63OrNoNumberIsNotSent) {
  TEx10Form form(engine);
  for (const char* typed : {"64", "-1", "100", "64x", "abc"}) {
    form.Edit1->setText(typed);
    form.Button2->click();
    EXPECT_EQ(engine.ExtX10Request, 0) << typed;
  }
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>(5, "Group Number must be a whole number from 0 to 63"));
}

TEST_F(X10FormsTest, TheLevelLabelFollowsTheEndOfAScroll) {
  TEx10Form form(engine);
  EXPECT_EQ(Text(form.Label1), "Brightness Level 0%");

  // A drag shows its level once the thumb is let go.
  form.ScrollBar1->setSliderDown(true);
  form.ScrollBar1->setSliderPosition(32);
  EXPECT_EQ(Text(form.Label1), "Brightness Level 0%");
  form.ScrollBar1->setSliderDown(false);
  EXPECT_EQ(Text(form.Label1), "50.8%");

  const struct {
    int Position;
    const char* Label;
  } cases[] = {{63, "100.0%"}, {1, " 1.6%"}, {0, " 0.0%"}};
  for (const auto& c : cases) {
    form.ScrollBar1->setValue(c.Position);
    EXPECT_EQ(Text(form.Label1), c.Label);
  }
  form.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Text(form.Label1), " 1.6%");
}

TEST_F(X10FormsTest, TheUpDownStepsTheGroupWithin0To63) {
  TEx10Form form(engine);
  const struct {
    const char* Typed;
    int By;
    const char* Shown;
  } cases[] = {{"0", -1, "0"}, {"0", 1, "1"}, {"62", 1, "63"}, {"63", 1, "63"}, {"x", 1, "1"}};
  for (const auto& c : cases) {
    form.Edit1->setText(c.Typed);
    (c.By > 0 ? form.UpDown1Up : form.UpDown1Down)->click();
    EXPECT_EQ(Text(form.Edit1), c.Shown) << c.Typed << " " << c.By;
  }
}

TEST_F(X10FormsTest, LevitonCommandReachesTheController) {
  Connect();
  TEx10Form form(engine);
  form.show();
  form.RadioGroup1Buttons->button(4)->click();
  form.RadioGroup2Buttons->button(9)->click();
  form.Edit1->setText("5");
  form.Button2->click();
  ASSERT_TRUE(RunUntil([&] { return sim.Commands(CmdExtendedX10).size() == 1 && engine.CommState == 110; }, 20));
  const auto sent = sim.Commands(CmdExtendedX10).front();
  EXPECT_EQ(sent.Args, (std::array<std::uint8_t, 5>{4, 9, 0x51, '0', 0}));
  EXPECT_TRUE(view.Logged("Sending Extended X10  4/9  81/48"));
  form.ScrollBar1->setValue(40);
  Shoot(&form, "/tmp/x10_leviton.png");
}

TEST_F(X10FormsTest, HidingAMonitorWindowEndsTheMonitoring) {
  TMonitorX10 monitor(engine);
  TX10Grid grid(engine);
  for (QDialog* window : std::initializer_list<QDialog*>{&monitor, &grid}) {
    engine.X10MonitorRequest = 1;
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(engine.X10MonitorRequest, 1) << "showing leaves it as it is";
    window->close();
    EXPECT_EQ(engine.X10MonitorRequest, 0) << window->windowTitle().toStdString();
  }
  monitor.ListBox1->addItems({"Received X10  4/ 2", "Received X10  3/18"});
  monitor.show();
  Shoot(&monitor, "/tmp/x10_monitor.png");
}

TEST_F(X10FormsTest, TheGridWindowShowsWhatTheEngineWrites) {
  testing_support::ScopedConfigDir config;
  TCommsForm comms(project, clock);
  TX10Grid grid(*comms.Engine);
  comms.AttachGrid(controller::CommsGrid::X10Status, grid.StringGrid1, false);
  comms.AttachList(controller::CommsList::X10Activity, grid.ListBox1);
  comms.AttachCheck(controller::CommsCheck::X10UseNames, [&] { return grid.CheckBox1->isChecked(); });

  EXPECT_EQ(grid.StringGrid1->columnCount(), 17);
  EXPECT_EQ(grid.StringGrid1->rowCount(), 17);
  EXPECT_EQ(Cell(grid.StringGrid1, 1, 0), "A");
  EXPECT_EQ(Cell(grid.StringGrid1, 16, 0), "P");
  EXPECT_EQ(Cell(grid.StringGrid1, 0, 1), "1");
  EXPECT_EQ(Cell(grid.StringGrid1, 0, 16), "16");
  EXPECT_TRUE(comms.IsChecked(controller::CommsCheck::X10UseNames)) << "ticked at first";
  grid.CheckBox1->setChecked(false);
  EXPECT_FALSE(comms.IsChecked(controller::CommsCheck::X10UseNames));
  grid.CheckBox1->setChecked(true);

  for (int column = 1; column <= 16; ++column)
    for (int row = 1; row <= 16; ++row)
      comms.SetCell(controller::CommsGrid::X10Status, column, row, (column + row) % 5 ? "--" : "ON");
  comms.SetCell(controller::CommsGrid::X10Status, 2, 2, "ON");
  EXPECT_EQ(Cell(grid.StringGrid1, 2, 2), "ON");
  EXPECT_EQ(Cell(grid.StringGrid1, 1, 0), "A") << "the headings stay";
  comms.AddListLine(controller::CommsList::X10Activity, "X10 Activity 9:05:07  -  C / ON");
  comms.AddListLine(controller::CommsList::X10Activity, "X10 Activity 9:05:09  -  C / OFF");
  grid.show();
  Shoot(&grid, "/tmp/x10_grid.png");

  grid.Button1->click();
  EXPECT_EQ(grid.ListBox1->count(), 0);
}

// Each request asked again before the first went (an older controller's X10 monitor holds the engine from its
// idle pass), and again while the first is sent again after a lost answer: the controller gets what was
// confirmed first; the others are refused and told, or, for the parameter grid, sent after it in order.
TEST_F(X10FormsTest, ARequestAskedAgainBeforeTheFirstWentIsRefusedOrSentAfterIt) {
  using namespace controller;
  using Args = std::array<std::uint8_t, 5>;
  sim.SetAppVersion(212);                         // its monitor waits for events without a time-out
  Ui().QueueAnswer(platform::MsgResult::Cancel);  // no executive update
  Connect();
  TSetClearRelay relay(engine);
  TRemoteIRForm remote(engine);
  TIrForm ir(engine);
  TTransmitASCIIForm ascii(engine);
  TSendX10 send(engine);
  TEx10Form leviton(engine);
  TManagerParamsForm params(engine);
  TMonitorX10 monitor(engine);
  ir.ShowLearnMode();
  for (QWidget* window : std::initializer_list<QWidget*>{&relay, &remote, &ascii, &send, &leviton, &params})
    window->show();
  // The k-th time each control is given its number + k: an edit types it, a radio group's button of that
  // index is clicked, the parameter grid types it into the value of that parameter.
  const auto enter = [&](QObject* at, int number) {
    if (auto* edit = qobject_cast<QLineEdit*>(at)) return Replace(edit, QString::number(number));
    if (auto* group = qobject_cast<QButtonGroup*>(at)) return Click(group->button(number));
    params.StringGrid1->setCurrentCell(number, 1);
    testing_support::TypeInCell(params.StringGrid1, QString::number(number));
    testing_support::Key(params.StringGrid1->indexWidget(params.StringGrid1->currentIndex()), Qt::Key_Return);
  };
  const struct {
    const char* What;  // none: sent after the first
    std::vector<std::pair<QObject*, int>> Numbers;
    QWidget* Button;
    Byte Code;
    std::vector<Args> Sent;
  } cases[] = {
      {"Relay Command", {{relay.Edit1, 3}, {relay.Edit2, 1}}, relay.BitBtn1, CmdRelay, {{3, 1, 0}}},
      {"Remote IR Command",
       {{remote.Edit1, 4}, {remote.Edit2, 1}, {remote.Edit3, 7}},
       remote.BitBtn1,
       CmdRemoteIr,
       {{4, 1, 7, 0}}},
      {"IR Transmit Command", {{ir.Edit1, 5}}, ir.BitBtn3, CmdTransmitIr, {{5, 0}}},
      {"IR Clear Command", {{ir.Edit1, 5}}, ir.BitBtn4, CmdClearIr, {{5, 0, 0}}},
      {"Transmit Command", {{ascii.Edit1, 2}, {ascii.Edit2, 3}}, ascii.BitBtn2, CmdVoiceTransmit, {{2, 3, 4}}},
      {"X10 Command",
       {{send.HouseGroupButtons, 2}, {send.KeyGroupButtons, 5}, {send.Edit1, 1}},
       send.BitBtn1,
       CmdSendX10,
       {{2, 5, 1}}},
      {"Extended X10 Command",
       {{leviton.RadioGroup1Buttons, 4}, {leviton.RadioGroup2Buttons, 9}, {leviton.Edit1, 5}},
       leviton.Button2,
       CmdExtendedX10,
       {{4, 9, 0x51, '0'}}},
      {nullptr, {{params.StringGrid1, 5}}, nullptr, CmdSetControllerParam, {{5, 0, 5}, {6, 0, 6}, {7, 0, 7}}},
  };
  // Nothing asked waits any more: every flag and number at none, every queue slot free.
  const auto settled = [&] {
    Requests asked = engine;
    for (auto& slot : asked.CommandQueue)
      if (!slot[0]) slot = {};
    return engine.CommState == 110 && asked == Requests{};
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Code));
    // The monitor's own switch of parameter 15 aside.
    const auto sent = [&] {
      std::vector<Args> args;
      for (const testing_support::SimFrame& f : sim.Commands(c.Code))
        if (f.Code != CmdSetControllerParam || f.Args[0] != 15) args.push_back(f.Args);
      return args;
    };
    const std::size_t before = sent().size();
    Ui().Clear();
    engine.X10MonitorRequest = 1;  // "Monitor X10"
    monitor.show();
    ASSERT_TRUE(RunToState(522, 20));
    const auto ask = [&](int k) {
      for (const auto& [at, number] : c.Numbers) enter(at, number + k);
      if (c.Button) Click(c.Button);
    };
    ask(0);
    ask(1);
    Click(monitor.CloseButton);
    ASSERT_TRUE(RunToState(114, 20));
    sim.IgnoreNext(1);
    expectedRetries += 1;
    ASSERT_TRUE(RunUntil([&] { return sim.Frames().back().Ignored; }, 5));
    ask(2);
    ASSERT_TRUE(RunUntil(settled, 80));
    const std::vector<Args> all = sent();
    EXPECT_EQ(std::vector<Args>(all.begin() + static_cast<long>(before), all.end()), c.Sent);
    const std::string told = std::string(c.What ? c.What : "") + " not sent: the last one asked has not ended yet";
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>(c.What ? 2 : 0, told));
  }
}

}  // namespace
