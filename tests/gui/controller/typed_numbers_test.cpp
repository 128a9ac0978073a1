// A number typed into a request window that does not fit where it goes asks the engine for nothing and
// the user is told the entry and its range; one that fits is posted as typed. A number is the whole text,
// spaces around it aside.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "controller/engine_fixture.h"
#include "gui/controller/change_param_form.h"
#include "gui/controller/dump_form.h"
#include "gui/controller/ex10_form.h"
#include "gui/controller/ir_form.h"
#include "gui/controller/manager_params_form.h"
#include "gui/controller/murmex_form.h"
#include "gui/controller/pager_messages_form.h"
#include "gui/controller/remote_ir_form.h"
#include "gui/controller/send_x10_form.h"
#include "gui/controller/set_clear_relay_form.h"
#include "gui/controller/transmit_ascii_form.h"
#include "support/user_input.h"

namespace {

using Posted = std::optional<long>;
using Slot = std::array<std::uint8_t, 6>;
constexpr std::nullopt_t None = std::nullopt;  // nothing asked for

// Where a number is typed, and what the engine has been asked for since (nothing: nullopt).
struct Entry {
  std::string Name;
  const char* Range;
  QLineEdit* Edit;  // none: the controller parameter grid's cell
  QAbstractButton* Button;
  std::function<Posted()> Asked;
};

class TypedNumbersTest : public controller::test::EngineTest {
 protected:
  TypedNumbersTest() {
    engine.CommState = 110;         // the windows post to a running connection
    change.Prompt({"", "", 2, 5});  // as a click on the module parameter grid picks it
  }

  // The window's other edits hold 1; `text` is typed into `edit` and `button` pressed. Without an edit,
  // `text` is committed in the cell of controller parameter 5, which showed 12.
  void Enter(QLineEdit* edit, QAbstractButton* button, const QString& text) {
    if (!edit) {
      grid.show();
      grid.StringGrid1->item(5, 1)->setText("12");
      grid.StringGrid1->setCurrentCell(5, 1);
      testing_support::TypeInCell(grid.StringGrid1, text);
      testing_support::Key(grid.StringGrid1->indexWidget(grid.StringGrid1->currentIndex()), Qt::Key_Return);
      return;
    }
    edit->window()->show();
    for (QLineEdit* other : edit->window()->findChildren<QLineEdit*>()) other->setText("1");
    testing_support::Replace(edit, text);
    testing_support::Click(button);
  }
  static Posted If(bool armed, long value) { return armed ? Posted(value) : std::nullopt; }

  static constexpr Slot Waiting{0x28, 9, 0, 7, 0, 0};  // a change to parameter 9 queued before
  TSetClearRelay relay{engine};
  TRemoteIRForm remote{engine};
  TChangeParam change{engine};
  TDumpForm dump{engine};
  TMurmexForm voice{engine};
  TTransmitASCIIForm ascii{engine};
  TManagerParamsForm grid{engine};
};

TEST_F(TypedNumbersTest, ANumberThatDoesNotFitAsksForNothingAndNamesItsEntry) {
  auto& e = engine;
  using E = const Entry;
  E relayModule{"Module Number", "1 to 255", relay.Edit1, relay.BitBtn1,
                [&] { return If(e.RelayRequest, e.RelayRequest); }};
  E relayPoint{"I/O Point", "0 to 255", relay.Edit2, relay.BitBtn1, [&] { return If(e.RelayRequest, e.RelayPoint); }};
  E remoteModule{"Module Number", "1 to 255", remote.Edit1, remote.BitBtn1,
                 [&] { return If(e.RemoteIrRequest, e.RemoteIrRequest); }};
  E zone{"Zone Number", "0 to 255", remote.Edit2, remote.BitBtn1,
         [&] { return If(e.RemoteIrRequest, e.RemoteIrZone); }};
  E remoteIr{"Ir Number", "0 to 65535", remote.Edit3, remote.BitBtn1,
             [&] { return If(e.RemoteIrRequest, e.RemoteIrNumber); }};
  E param{"Parameter 5 on Module 2", "0 to 65535", change.Edit1, change.BitBtn1, [&] {
            EXPECT_NE(change.isVisible(), e.ParamChangeRequest == 1) << "a refusal keeps the dialog open";
            return If(e.ParamChangeRequest, change.Edit1->text().trimmed().toLong());
          }};
  const auto typedByte = [&](int i) { return If(e.RawCommandRequest, dump.CommandEdits[i]->text().toLong()); };
  E address{"Address", "0 to 65535", dump.Edit1, dump.BitBtn1, [&] { return If(e.DumpRequest, e.DumpAddress); }};
  E nextBlock{"Address", "0 to 65535", dump.Edit1, dump.Button1, [&] { return If(e.DumpRequest, e.DumpAddress); }};
  E byte1{"Command byte 1", "0 to 255", dump.CommandEdits[0], dump.BitBtn3, [&] { return typedByte(0); }};
  E byte6{"Command byte 6", "0 to 255", dump.CommandEdits[5], dump.BitBtn3, [&] { return typedByte(5); }};
  E module{"Module#", "1 to 127", voice.Edit1, voice.BitBtn2, [&] { return If(e.TransmitRequest, e.TransmitRequest); }};
  E voiceMessage{"Message#", "0 to 50", voice.Edit2, voice.BitBtn2,
                 [&] { return If(e.TransmitRequest, e.TransmitMessage); }};
  E asciiMessage{"Message#", "0 to 127", ascii.Edit2, ascii.BitBtn2,
                 [&] { return If(e.TransmitRequest, e.TransmitMessage); }};
  E cell{"Parameter 5", "0 to 65535", nullptr, nullptr, [&] {
           EXPECT_EQ(e.CommandQueue[0], Waiting) << "the change queued before stays first";
           const Slot& slot = e.CommandQueue[1];
           if (slot[0] || e.ParamsRequest) return If(slot[1] == 5, slot[2] << 8 | slot[3]);
           EXPECT_EQ(grid.StringGrid1->item(5, 1)->text(), "12") << "the cell keeps its text";
           return Posted();
         }};
  const struct {
    const Entry& At;
    std::vector<std::pair<const char*, Posted>> Typed;
  } cases[] = {
      {relayModule, {{"300", None}, {"-1", None}, {"255", 255}, {" 7 ", 7}}},
      {relayPoint, {{"abc", None}, {"12abc", None}, {"0x10", None}}},
      {remoteModule, {{"300", None}, {"0", None}, {"1", 1}}},
      {zone, {{"-1", None}}},
      {remoteIr, {{"70000", None}, {"abc", None}, {"65535", 65535}, {"0x10", None}}},
      {param, {{"70000", None}, {"-5", None}, {"abc", None}, {"65535", 65535}, {"12abc", None}, {" 7 ", 7}}},
      {address, {{"70000", None}, {"65536", None}, {"131088", None}, {"99999999999", None}, {"65535", 65535}}},
      {nextBlock, {{"70000", None}, {"65280", 65536}}},
      {byte1, {{"300", None}}},
      {byte6, {{"abc", None}, {"+5", 5}, {"12abc", None}}},
      {module, {{"300", None}, {"127", 127}}},
      {voiceMessage, {{"-5", None}, {"abc", None}, {"51", None}, {"300", None}, {"50", 50}}},
      {asciiMessage, {{"128", None}, {"127", 127}}},
      {cell,
       {{"70000", None},
        {"-5", None},
        {"abc", None},
        {"99999999999", None},
        {"0", 0},
        {"0x10", None},
        {"12abc", None},
        {" 7 ", 7}}},
  };
  for (const auto& c : cases) {
    for (const auto& [typed, asked] : c.Typed) {
      SCOPED_TRACE(c.At.Name + " \"" + typed + "\"");
      static_cast<controller::RequestFields&>(engine) = {};
      engine.CommandQueue[0] = Waiting;
      view.Log.clear();
      Ui().Clear();
      Enter(c.At.Edit, c.At.Button, typed);
      EXPECT_EQ(c.At.Asked(), asked);
      if (asked) continue;
      EXPECT_EQ(Ui().Messages(), std::vector<std::string>{c.At.Name + " must be a whole number from " + c.At.Range});
      EXPECT_EQ(Ui().Beeps(), 0);
      EXPECT_TRUE(view.Log.empty()) << view.Log.front();
    }
  }
}

// With no connection running, once the user has closed the one that only finishes its transfer, or while a
// lost line's end runs, a request window's Send asks for nothing and says so at once: nothing of it waits for
// whichever controller comes next. A value typed into the parameter grid is told at its Enter.
TEST_F(TypedNumbersTest, ASendWithNoConnectionRunningAsksForNothingAndSaysSo) {
  TIrForm ir{engine};
  TEx10Form ex10{engine};
  TSendX10 x10{engine};
  TPagerMessages pager{engine};
  const struct {
    const char* What;
    QAbstractButton* Send;
  } cases[] = {{"Relay Command", relay.BitBtn1},
               {"Remote IR Command", remote.BitBtn1},
               {"Module Parameter Change", change.BitBtn1},
               {"Memory Dump", dump.BitBtn1},
               {"Memory Dump", dump.Button2},
               {"Raw Command", dump.BitBtn3},
               {"Transmit Command", voice.BitBtn2},
               {"IR Transmit Command", ir.BitBtn3},
               {"IR Clear Command", ir.BitBtn4},
               {"Extended X10 Command", ex10.Button4},
               {"X10 Command", x10.BitBtn1},
               {"Pager Messages", pager.BitBtn1},
               {"Parameter Change", nullptr}};
  const struct {
    int State;
    bool Closed;
    const char* Told;
  } connections[] = {{0, false, "Not attached to a controller: "},
                     {810, true, "The connection is closing: "},  // an ASCII download to a module runs on
                     {1003, false, "The connection is closing: "}};
  for (const auto& connection : connections)
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.What) + " in state " + std::to_string(connection.State));
      static_cast<controller::RequestFields&>(engine) = {};
      engine.CommState = connection.State;
      engine.CloseRequest = connection.Closed;
      const controller::Requests before = engine;
      Ui().Clear();
      view.Log.clear();
      if (c.Send) {
        c.Send->window()->show();
        for (QLineEdit* edit : c.Send->window()->findChildren<QLineEdit*>()) edit->setText("2");
        testing_support::Click(c.Send);
      } else {
        Enter(nullptr, nullptr, "2");
      }
      EXPECT_EQ(Ui().Messages(), std::vector<std::string>{connection.Told + std::string(c.What) + " not sent"});
      EXPECT_EQ(static_cast<const controller::Requests&>(engine), before);
      EXPECT_TRUE(view.Log.empty()) << view.Log.front();
    }
}

}  // namespace
