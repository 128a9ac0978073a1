// The IR windows as the user drives them: the learn window's modes, its carrier rule, its buttons and its
// close question, the remote IR window, and a learn saved to disk through the communications window
// against the simulated controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <thread>

#include "controller/engine_fixture.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/form_ticker.h"
#include "gui/controller/ir_form.h"
#include "gui/controller/remote_ir_form.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace {

using platform::MsgResult;
using testing_support::Key;
using testing_support::Replace;
using testing_support::Shoot;

class IrFormTest : public controller::test::EngineTest {
 protected:
  IrFormTest() {
    engine.CommState = 110;  // the window posts to a running connection
    form.SaveIrFileDialog = [this] { return ++saves, true; };
  }

  TIrForm form{engine};
  int saves = 0;
};

TEST_F(IrFormTest, TheLearnCarrierIsHeldTo19To470kHzAndSentAsACode) {
  const struct {
    const char* Typed;
    const char* Shown;
    int Code;  // 0: refused, nothing asked
  } cases[] = {{"10", "19", 241}, {"500", "470", 8}, {"38", "38", 120}, {"kHz", "kHz", 0}, {"38kHz", "38kHz", 0}};
  form.ShowLearnMode();
  Replace(form.Edit1, "5");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    Ui().Clear();
    engine.IrLearnNumber = -1;
    engine.IrLearnFrequency = 0;
    view.Log.clear();
    Replace(form.Edit2, c.Typed);
    form.BitBtn1->click();
    EXPECT_EQ(form.Edit2->text().toStdString(), c.Shown);
    EXPECT_EQ(engine.IrLearnFrequency, c.Code);
    if (!c.Code) {
      EXPECT_EQ(engine.IrLearnNumber, -1);
      EXPECT_TRUE(view.Log.empty());
      EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Ir Frequency must be a whole number from 19 to 470"});
      continue;
    }
    EXPECT_EQ(engine.IrLearnNumber, 5);
    EXPECT_EQ(view.Log.front(), "Learning IR# 005 F/" + std::to_string(c.Code) + " (" + c.Shown + "KHz)");
  }
  EXPECT_EQ(engine.IrTransmitNumber, -1);
}

TEST_F(IrFormTest, TheModeDecidesWhatTheFirstButtonDoesAndWhatShows) {
  form.ShowTransmitMode();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.Tag, 1);
  EXPECT_EQ(form.BitBtn1->text(), "Transmit Ir");
  EXPECT_FALSE(form.Label1->isVisible());
  EXPECT_FALSE(form.Edit2->isVisible());
  EXPECT_FALSE(form.BitBtn3->isVisible());
  EXPECT_TRUE(form.BitBtn4->isVisible());
  Replace(form.Edit1, "12");
  form.BitBtn1->click();
  EXPECT_EQ(engine.IrTransmitNumber, 12);
  EXPECT_EQ(engine.IrLearnNumber, -1);
  EXPECT_EQ(view.Log.front(), "Transmiting IR# 012");
  EXPECT_TRUE(Shoot(&form, "zelta_ir_transmit.png"));

  form.ShowLearnMode();
  EXPECT_EQ(form.Tag, 0);
  EXPECT_EQ(form.BitBtn1->text(), "Learn Ir");
  EXPECT_TRUE(form.Label1->isVisible());
  EXPECT_TRUE(form.Edit2->isVisible());
  EXPECT_TRUE(form.BitBtn3->isVisible());
  EXPECT_EQ(form.Edit2->toolTip(), "Enter the Ir frequency in KHz (i.e. 38)");
  EXPECT_TRUE(Shoot(&form, "zelta_ir_learn.png"));
}

TEST_F(IrFormTest, TransmitAndClearPostTheNumberTypedAndRefuseOthers) {
  form.ShowLearnMode();
  Replace(form.Edit1, "7");
  form.BitBtn3->click();
  EXPECT_EQ(engine.IrTransmitNumber, 7);
  EXPECT_EQ(view.Log.front(), "Transmiting IR# 007");
  form.BitBtn4->click();
  EXPECT_EQ(engine.IrClearNumber, 7);
  EXPECT_EQ(view.Log.front(), "Clearing IR# 007");

  engine.IrTransmitNumber = engine.IrClearNumber = -1;
  const std::size_t lines = view.Log.size();
  for (const char* typed : {"-1", "65536", "abc", "8th"}) {
    SCOPED_TRACE(typed);
    Replace(form.Edit1, typed);
    for (QPushButton* button : {form.BitBtn1, form.BitBtn3, form.BitBtn4}) button->click();
  }
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>(12, "Ir Number must be a whole number from 0 to 65535"));
  EXPECT_EQ(engine.IrLearnNumber, -1);
  EXPECT_EQ(engine.IrTransmitNumber, -1);
  EXPECT_EQ(engine.IrClearNumber, -1);
  EXPECT_EQ(view.Log.size(), lines);
}

// A learn asked behind other work that has not started when the window closes is dropped first, and told:
// the file offered would not hold its code. So is one asked while the last switches the receiver back. The
// window ends only the learn it asked: one the last connection keeps for its end after an attach elsewhere
// closed with that connection's window, and its end tells it cut short.
TEST_F(IrFormTest, ClosingCancelsTheLearnAndOffersToSaveInLearnModeOnly) {
  // Behind other work; waiting for its code; the last learn switching the receiver back.
  constexpr int Asked = 110, Waiting = 564, Ending = 565;
  const struct {
    const char* What;
    bool Learn;
    std::optional<MsgResult> Answer;
    std::function<void(TIrForm&)> Close;
    int Saves;
    int State;
    bool NewConnectionWaits = false;
  } cases[] = {
      {"learn, Yes", true, MsgResult::Yes, [](TIrForm& f) { f.BitBtn2->click(); }, 1, Asked},
      {"learn, No", true, MsgResult::No, [](TIrForm& f) { f.BitBtn2->click(); }, 0, Waiting},
      {"learn, title bar", true, MsgResult::No, [](TIrForm& f) { f.close(); }, 0, Asked},
      {"learn, Escape", true, MsgResult::Yes, [](TIrForm& f) { Key(&f, Qt::Key_Escape); }, 1, Waiting},
      {"transmit", false, std::nullopt, [](TIrForm& f) { f.BitBtn2->click(); }, 0, Asked},
      {"learn asked as the last ends", true, MsgResult::No, [](TIrForm& f) { f.BitBtn2->click(); }, 0, Ending},
      {"the last connection's learn", true, MsgResult::No, [](TIrForm& f) { f.BitBtn2->click(); }, 0, Waiting, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Ui().Clear();
    view.Log.clear();
    saves = 0;
    c.Learn ? form.ShowLearnMode() : form.ShowTransmitMode();
    // Waiting for its code, or switching the receiver back: the learn's frames went.
    c.State == Asked ? void(engine.CommState = c.State) : WorkWent(c.State);
    engine.AttachRequest = c.NewConnectionWaits;
    engine.IrLearnNumber = 3;
    if (c.Answer) Ui().QueueAnswer(*c.Answer);
    c.Close(form);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(engine.IrLearnNumber, c.NewConnectionWaits ? 3 : -1);
    EXPECT_EQ(saves, c.Saves);
    const bool notSent = c.State == Asked || c.State == Ending;
    std::vector<std::string> told;
    if (notSent) told.push_back("IR Learn not sent");
    if (c.Answer) told.push_back("Do you want to save learned Ir to disk?");
    EXPECT_EQ(Ui().Messages(), told);
    EXPECT_EQ(view.Logged("IR Learn not sent"), notSent);
  }
}

// The learn window is its connection's: when that ends it closes without asking to save, which would upload
// the next controller's codes; the transmit window stays.
TEST_F(IrFormTest, TheLearnWindowClosesWithItsConnection) {
  for (const bool learn : {true, false}) {
    learn ? form.ShowLearnMode() : form.ShowTransmitMode();
    form.HideLearnMode();
    EXPECT_EQ(form.isVisible(), !learn);
  }
  EXPECT_TRUE(Ui().Messages().empty());
  EXPECT_EQ(saves, 0);
}

TEST_F(IrFormTest, TheRemoteWindowPostsCodeZoneAndModule) {
  TRemoteIRForm remote(engine);
  EXPECT_EQ(remote.windowTitle(), "Transmit Remote IR");
  EXPECT_EQ(remote.Edit1->text(), "0");
  const struct {
    const char* Module;
    const char* Zone;
    const char* Number;
    int Request, ZoneSent, NumberSent;
    const char* Told = "";
  } cases[] = {{"7", "3", "513", 7, 3, 513},
               {"0", "2", "9", 0, 0, 0, "Module Number must be a whole number from 1 to 255"},  // the default
               {"7a", "3 ", "513x", 0, 0, 0, "Module Number must be a whole number from 1 to 255"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Module);
    Ui().Clear();
    engine.RemoteIrRequest = engine.RemoteIrZone = 0;
    engine.RemoteIrNumber = 0;
    remote.Edit1->setText(c.Module);
    remote.Edit2->setText(c.Zone);
    remote.Edit3->setText(c.Number);
    remote.BitBtn1->click();
    EXPECT_EQ(engine.RemoteIrRequest, c.Request);
    EXPECT_EQ(engine.RemoteIrZone, c.ZoneSent);
    EXPECT_EQ(engine.RemoteIrNumber, c.NumberSent);
    EXPECT_EQ(Ui().Messages(), *c.Told ? std::vector<std::string>{c.Told} : std::vector<std::string>{});
  }
  remote.show();
  EXPECT_TRUE(Shoot(&remote, "zelta_remote_ir.png"));
  remote.CloseButton->click();
  EXPECT_FALSE(remote.isVisible());
}

// A learn clicked again with another number while the first waits for its code is refused and told: the code
// lands under the first number. One clicked while a closed learn switches the receiver back goes after it.
TEST_F(IrFormTest, ALearnAskedWhileOneRunsIsRefusedAndOneAskedAsItEndsGoesAfter) {
  Connect();
  form.ShowLearnMode();
  const auto learn = [&](const char* number) {
    Replace(form.Edit1, number);
    testing_support::Click(form.BitBtn1);
  };
  const auto learnt = [&] { return sim.CompleteIrLearn() && serial::test::PumpIn(port, 1) && RunToState(110, 20); };
  learn("1");
  ASSERT_TRUE(RunToState(564, 20));
  learn("2");
  EXPECT_FALSE(view.Logged("Learning IR# 002 F/120 (38KHz)"));
  ASSERT_TRUE(learnt());
  EXPECT_TRUE(sim.IrCode(1).has_value());
  EXPECT_FALSE(sim.IrCode(2).has_value());

  learn("3");
  ASSERT_TRUE(RunToState(564, 20));
  Ui().QueueAnswer(MsgResult::No);
  testing_support::Click(form.BitBtn2);
  ASSERT_TRUE(RunToState(566, 5));
  form.ShowLearnMode();
  learn("4");
  ASSERT_TRUE(RunToState(564, 20));
  ASSERT_TRUE(learnt());
  EXPECT_FALSE(sim.IrCode(3).has_value());
  EXPECT_TRUE(sim.IrCode(4).has_value());
  EXPECT_EQ(Ui().Messages(), (std::vector<std::string>{"IR Learn not sent: the last one asked has not ended yet",
                                                       "Do you want to save learned Ir to disk?"}));
}

// A clear carries the carrier of the last learn asked before it, not of one asked after it that goes later.
TEST_F(IrFormTest, AClearKeepsTheCarrierItWasAskedWith) {
  Connect();
  engine.IrLearnFrequency = 120;  // the last learn's, at 38 kHz
  form.ShowLearnMode();
  Replace(form.Edit1, "6");
  testing_support::Click(form.BitBtn4);
  Replace(form.Edit2, "56");
  testing_support::Click(form.BitBtn1);
  ASSERT_TRUE(RunToState(564, 40));
  const auto clears = sim.Commands(controller::CmdClearIr), learns = sim.Commands(controller::CmdLearnIr);
  ASSERT_EQ(clears.size(), 1u);
  EXPECT_EQ(clears[0].Args[2], 120);
  ASSERT_EQ(learns.size(), 1u);
  EXPECT_EQ(learns[0].Args[2], 81);
}

// The user learns a code, closes the learn window and keeps the codes in a file.
TEST(IrLearnToDisk, ALearnedCodeIsSavedThroughTheCommsWindowsSaveDialog) {
  testing_support::ScopedConfigDir config;
  testing_support::TempDir dir;
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  sim.SetParameter(122, 4);
  controller::test::FakeProject project;
  controller::test::FixedClock clock;
  TCommsForm comms(project, clock);
  TIrForm ir(*comms.Engine);
  ir.SaveIrFileDialog = [&] { return comms.SaveIrFileDialog(); };
  controller::CommsEngine& engine = *comms.Engine;
  comms.Settings.ComNum = 1;
  comms.AttachEngine();
  gui_test::FormTicker ticker(comms, sim);
  auto runUntil = [&](const std::function<bool()>& done) { return ticker.RunUntil(done, 400); };
  ASSERT_TRUE(runUntil([&] { return engine.CommState == 114 && !engine.ParamsRequest; }));

  comms.AttachShow("LearnInfraRedCommand1", [&] { ir.ShowLearnMode(); });
  comms.MenuItems["LearnInfraRedCommand1"]->trigger();
  ASSERT_TRUE(ir.isVisible());
  ir.Edit1->setText("4");
  ir.BitBtn1->click();
  ASSERT_TRUE(runUntil([&] { return engine.CommState == 564; }));
  EXPECT_TRUE(comms.Panel1->isVisibleTo(&comms));
  ASSERT_TRUE(sim.CompleteIrLearn());
  ASSERT_TRUE(serial::test::WaitFor([&] { return comms.LkComPort1->InBuffUsed() == 1; })) << "the learn's end";
  ASSERT_TRUE(runUntil([&] { return engine.CommState == 114; }));
  EXPECT_FALSE(comms.Panel1->isVisibleTo(&comms));
  EXPECT_EQ(comms.ListBox1->findItems("Ir Learn Complete", Qt::MatchExactly).size(), 1);

  const std::string path = dir.File("learned.lir");
  testing_support::TestUi().QueueAnswer(MsgResult::Yes);
  testing_support::TestUi().QueueSaveFile(path);
  ir.BitBtn2->click();
  EXPECT_EQ(engine.IrUploadRequest, 1);
  ASSERT_TRUE(runUntil([&] { return std::filesystem::exists(path) && engine.CommState == 114; }));
  const std::string file = testing_support::ReadFile(path);
  ASSERT_EQ(file.size(), 5u * 256);
  const auto code = sim.IrCode(4);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(file.substr(4 * 256), std::string(code->begin(), code->end()));

  comms.Engine->CloseRequest = 1;
  ASSERT_TRUE(runUntil([&] { return engine.CommState == 0; }));
}

}  // namespace
