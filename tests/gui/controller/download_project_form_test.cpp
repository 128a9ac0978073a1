// The "Download Project" dialog as the user drives it: "Begin Download" attaches or asks for a
// reconnection, then asks for the clock and the ticked parts; a program without an END line is refused
// while the other parts still reach the controller.
#include "gui/controller/download_project_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <optional>

#include "controller/engine_fixture.h"
#include "gui/comms_link.h"
#include "support/user_input.h"

namespace {

using platform::MsgResult;
using testing_support::Click;
using testing_support::Shoot;
using testing_support::SimFrame;
using testing_support::SimFrameKind;

// The communications window as far as the dialog sees it: attaching starts the connect sequence.
class RecordingLink : public gui::DetachedCommsLink {
 public:
  explicit RecordingLink(controller::CommsEngine& engine) : engine_(engine) {}
  bool ReadConfigFile() override {
    ++Reads;
    return ReadSucceeds;
  }
  void Attach() override {
    ++Attaches;
    engine_.Attach();
  }
  std::string EndQuestion(bool exit) const override {
    return engine_.EndQuestion(exit ? controller::Ending::Exit : controller::Ending::Attach);
  }

  int Reads = 0;
  int Attaches = 0;
  bool ReadSucceeds = true;

 private:
  controller::CommsEngine& engine_;
};

class DownloadProjectFormTest : public controller::test::EngineTest {
 protected:
  DownloadProjectFormTest() { form.show(); }
  std::size_t FirstCommand(const std::vector<SimFrame>& frames, std::uint8_t code) const {
    return static_cast<std::size_t>(
        std::find_if(frames.begin(), frames.end(),
                     [&](const SimFrame& f) { return f.Kind == SimFrameKind::Command && f.Code == code; }) -
        frames.begin());
  }

  // Connected on the road the settings name, no new connection waiting for its end.
  void Running() {
    engine.CommState = 114;
    engine.AttachRequest = 0;
    engine.Connection = engine.StoredRoad();
  }

  RecordingLink link{engine};
  TForm3 form{engine, link};
};

TEST_F(DownloadProjectFormTest, OffersTheFourPartsAllTicked) {
  EXPECT_EQ(form.windowTitle(), "Download Project");
  const struct {
    QCheckBox* Box;
    const char* Caption;
    bool Enabled;
  } boxes[] = {{form.CheckBox1, "Download Icons", true},
               {form.CheckBox2, "Download Program", true},
               {form.CheckBox3, "Download IR Commands", false},
               {form.CheckBox4, "Download Touch Screen", true}};
  for (const auto& b : boxes) {
    EXPECT_EQ(b.Box->text(), b.Caption);
    EXPECT_TRUE(b.Box->isChecked()) << b.Caption;
    EXPECT_EQ(b.Box->isEnabled(), b.Enabled) << b.Caption;
  }
  EXPECT_EQ(form.BitBtn1->text(), "Begin Download");
  EXPECT_TRUE(Shoot(&form, "/tmp/download_project_form.png"));
}

TEST_F(DownloadProjectFormTest, WithoutAnEndLineTheClockIconsAndTouchScreenStillGo) {
  Click(form.BitBtn1);
  EXPECT_EQ(link.Reads, 1);
  EXPECT_EQ(link.Attaches, 1);
  EXPECT_EQ(engine.ClockRequest, 1);
  EXPECT_EQ(engine.IconLoadRequest, 1);
  EXPECT_EQ(engine.TouchLoadRequest, 1);
  EXPECT_EQ(engine.ProgramDownloadRequest, 0);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Program Has NO End Statment, Download Aborted"});
  EXPECT_FALSE(form.isVisible());

  // The engine, now attaching, reads the clock, then loads the icons, then the touch screen.
  ASSERT_TRUE(RunToState(908, 2500)) << "state " << engine.CommState;
  const auto frames = sim.Frames();
  const std::size_t clock = FirstCommand(frames, controller::CmdReadClock);
  const std::size_t icons = FirstCommand(frames, controller::CmdFlashLoad);
  const std::size_t touch = FirstCommand(frames, controller::CmdStoreTouch);
  EXPECT_LT(clock, icons);
  EXPECT_LT(icons, touch);
  EXPECT_LT(touch, frames.size());
  EXPECT_EQ(sim.Commands(controller::CmdFlashLoad).size(), 192u);
  EXPECT_EQ(sim.Commands(controller::CmdStoreTouch).size(), 64u);
}

TEST_F(DownloadProjectFormTest, AConnectedEngineReconnectsAndGetsOnlyTheTickedParts) {
  project.Store.Lines[12] = ProgramLine::End();
  const struct {
    bool Icons, Program, Touch;
  } cases[] = {{true, true, true}, {false, true, false}, {true, false, false}, {false, false, true}};
  for (const auto& c : cases) {
    Running();
    engine.ReconnectRequest = engine.ClockRequest = 0;
    engine.IconLoadRequest = engine.ProgramDownloadRequest = engine.TouchLoadRequest = 0;
    form.show();
    for (auto [box, ticked] :
         {std::pair{form.CheckBox1, c.Icons}, std::pair{form.CheckBox2, c.Program}, std::pair{form.CheckBox4, c.Touch}})
      if (box->isChecked() != ticked) Click(box);
    Click(form.BitBtn1);
    EXPECT_EQ(engine.ReconnectRequest, 1);
    EXPECT_EQ(engine.ClockRequest, 1);
    EXPECT_EQ(engine.IconLoadRequest, c.Icons ? 1 : 0);
    EXPECT_EQ(engine.ProgramDownloadRequest, c.Program ? 1 : 0);
    EXPECT_EQ(engine.TouchLoadRequest, c.Touch ? 1 : 0);
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_EQ(link.Reads + link.Attaches, 0);
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(DownloadProjectFormTest, WhileAttachedAllFourPartsFollowAReconnectionInOneConnection) {
  project.Store.Lines[12] = ProgramLine::End();
  Connect();
  const std::size_t before = sim.Frames().size();
  form.show();
  Click(form.BitBtn1);
  Step();
  EXPECT_EQ(engine.CommState, 1) << "the reconnection comes first";
  ASSERT_TRUE(RunUntil([&] { return view.Logged("Controller Program Started"); }, 4000))
      << "state " << engine.CommState;

  auto frames = sim.Frames();
  frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(before));
  const std::size_t clock = FirstCommand(frames, controller::CmdReadClock);
  const std::size_t icons = FirstCommand(frames, controller::CmdFlashLoad);
  const std::size_t touch = FirstCommand(frames, controller::CmdStoreTouch);
  const std::size_t program = FirstCommand(frames, controller::CmdStartProgram);
  EXPECT_GT(clock, 0u) << "identified again before the clock read";
  EXPECT_LT(clock, icons);
  EXPECT_LT(icons, touch);
  EXPECT_LT(touch, program);
  EXPECT_LT(program, frames.size());
  EXPECT_EQ(sim.Commands(controller::CmdStoreTouch).size(), 64u);
  EXPECT_EQ(link.Attaches, 0);
  EXPECT_TRUE(Ui().Messages().empty());
}

// A learn waiting for its code would hold the reconnection back for as long as the user lets it wait: the
// dialog asks first. Cancel asks for nothing; OK ends the learn (the receiver switched back) before the
// reconnection.
TEST_F(DownloadProjectFormTest, ALearnWaitingIsAskedAboutAndEndedBeforeTheReconnection) {
  project.Store.Lines[12] = ProgramLine::End();
  Connect();
  engine.IrLearnNumber = 5;
  ASSERT_TRUE(RunToState(564, 40));
  const std::string question =
      "The IR Learn is running: attaching now ends it first: the controller's IR receiver is switched back and no "
      "code is learnt. Still attach?";
  for (platform::MsgResult answer : {platform::MsgResult::Cancel, platform::MsgResult::Ok}) {
    Ui().QueueAnswer(answer);
    form.show();
    Click(form.BitBtn1);
    EXPECT_EQ(Ui().Messages().back(), question);
    const int asked = engine.ReconnectRequest + engine.ClockRequest + engine.IconLoadRequest + engine.TouchLoadRequest +
                      engine.ProgramDownloadRequest;
    EXPECT_EQ(asked, answer == platform::MsgResult::Ok ? 5 : 0);
  }
  ASSERT_TRUE(RunToState(1, 40));
  EXPECT_EQ(sim.Parameter(17), 0);
  engine.CloseRequest = 1;
  ASSERT_TRUE(RunToState(0, 400));
}

// A ticked part that waits already holds the whole download back: nothing is asked, and every ticked part is
// told, the waiting ones as waiting and the others as going only together with them.
TEST_F(DownloadProjectFormTest, APartThatWaitsAlreadyHoldsBackEveryTickedPartAndEachIsTold) {
  const std::string waits = " not sent: the last one asked has not ended yet";
  const struct {
    bool Icons, Program, Touch;                 // ticked
    bool IconsAsked, ProgramAsked, TouchAsked;  // waiting already
    std::string Told;
  } cases[] = {
      {true, true, false, false, true, false,
       "Icon Download not sent: it goes only together with the Program Download\nProgram Download" + waits},
      {true, true, true, false, false, true,
       "Icon Download not sent: it goes only together with the Touch Screen Download\nTouch Screen Download" + waits +
           "\nProgram Download not sent: it goes only together with the Touch Screen Download"},
      {true, true, true, true, true, false,
       "Icon Download" + waits +
           "\nTouch Screen Download not sent: it goes only together with the Icon Download and the Program "
           "Download\nProgram Download" +
           waits},
      {false, true, true, true, true, false,
       "Touch Screen Download not sent: it goes only together with the Program Download\nProgram Download" + waits},
  };
  project.Store.Lines[12] = ProgramLine::End();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Told);
    Running();
    Ui().Clear();
    engine.ReconnectRequest = engine.ClockRequest = 0;
    engine.IconLoadRequest = c.IconsAsked;
    engine.ProgramDownloadRequest = c.ProgramAsked;
    engine.TouchLoadRequest = c.TouchAsked;
    for (auto [box, ticked] :
         {std::pair{form.CheckBox1, c.Icons}, std::pair{form.CheckBox2, c.Program}, std::pair{form.CheckBox4, c.Touch}})
      if (box->isChecked() != ticked) Click(box);
    Click(form.BitBtn1);
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{c.Told});
    EXPECT_EQ(engine.ReconnectRequest + engine.ClockRequest, 0);
    EXPECT_EQ(engine.IconLoadRequest, c.IconsAsked);
    EXPECT_EQ(engine.ProgramDownloadRequest, c.ProgramAsked);
    EXPECT_EQ(engine.TouchLoadRequest, c.TouchAsked);
    EXPECT_TRUE(form.isVisible());
  }
}

// What the dialog does is decided again once its question is answered: a connection lost while the box was
// open is not reconnected, the dialog attaches a new one and its parts go to that.
TEST_F(DownloadProjectFormTest, AConnectionLostWhileTheQuestionIsOpenIsAttachedAnew) {
  project.Store.Lines[12] = ProgramLine::End();
  Connect();
  engine.IrLearnNumber = 5;
  ASSERT_TRUE(RunToState(564, 40));
  const std::string question =
      "The IR Learn is running: attaching now ends it first: the controller's IR receiver is switched back and no "
      "code is learnt. Still attach?";
  Ui().WhileAsked([&] {
    ASSERT_TRUE(HangUpSeen());
    ASSERT_TRUE(RunToState(0, 40));
    // Queued once the boxes that tell the loss have closed: they would take it.
    Ui().QueueAnswer(MsgResult::Ok);
  });
  Click(form.BitBtn1);
  const auto told = Ui().Messages();
  EXPECT_EQ(std::count(told.begin(), told.end(), question), 1) << "nothing runs to ask about";
  EXPECT_NE(std::find(told.begin(), told.end(), "Lost Connection"), told.end());
  EXPECT_EQ(link.Reads, 1);
  EXPECT_EQ(link.Attaches, 1);
  EXPECT_EQ(engine.CommState, 1);
  EXPECT_EQ(engine.ReconnectRequest, 0);
  EXPECT_EQ(engine.ClockRequest + engine.IconLoadRequest + engine.TouchLoadRequest + engine.ProgramDownloadRequest, 4);
  EXPECT_FALSE(form.isVisible());
}

// OK ends only the work the question named: a mode that starts while the box is open is asked about in its
// turn, and Cancel then asks for nothing and leaves it running.
TEST_F(DownloadProjectFormTest, AModeThatStartsWhileTheQuestionIsOpenIsAskedAboutInItsTurn) {
  project.Store.Lines[12] = ProgramLine::End();
  Connect();
  engine.IrLearnNumber = 5;
  ASSERT_TRUE(RunToState(564, 40));
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueAnswer(MsgResult::Cancel);
  Ui().WhileAsked([&] {
    ASSERT_TRUE(sim.CompleteIrLearn());
    ASSERT_TRUE(serial::test::PumpIn(port, 1));
    engine.AutoAddressRequest = 1;
    ASSERT_TRUE(RunToState(592, 100));
  });
  Click(form.BitBtn1);
  EXPECT_EQ(Ui().Messages(),
            (std::vector<std::string>{
                "The IR Learn is running: attaching now ends it first: the controller's IR receiver is switched back "
                "and no code is learnt. Still attach?",
                "The Auto Address is running: attaching now ends it first: the controller is told the last module "
                "number given and restarts (about 75 seconds). Still attach?"}));
  EXPECT_EQ(engine.ReconnectRequest + engine.ClockRequest + engine.IconLoadRequest + engine.TouchLoadRequest +
                engine.ProgramDownloadRequest,
            0);
  EXPECT_EQ(link.Attaches, 0);
  Step();
  EXPECT_EQ(engine.CommState, 592) << "it runs on";
  EXPECT_TRUE(form.isVisible());
}

// A connection the user has closed, one on another port than the stored one, or one through a dial-up
// modem (the controller is the number dialled) is not reconnected: it ends, and what is asked here is the
// next connection's. Cutting a transfer that writes the controller is asked first, naming it.
TEST_F(DownloadProjectFormTest, AClosedConnectionOrAnotherRoadAttachesANewOne) {
  project.Store.Lines[12] = ProgramLine::End();
  enum class Why { Closed, AnotherPort, AuxModem, ClosedMidTransfer };
  const struct {
    Why Is;
    std::optional<MsgResult> Answer;  // to the question before a transfer is cut
  } cases[] = {{Why::Closed, {}},
               {Why::AnotherPort, {}},
               {Why::AuxModem, {}},
               {Why::ClosedMidTransfer, MsgResult::Cancel},
               {Why::ClosedMidTransfer, MsgResult::Ok}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Is) * 10 + c.Answer.has_value());
    settings.NonTapi = c.Is == Why::AuxModem;
    Running();
    Ui().Clear();
    link.Attaches = 0;
    engine.RelayRequest = 5;
    engine.ClockRequest = 0;
    if (c.Is == Why::Closed || c.Is == Why::ClosedMidTransfer) engine.CloseRequest = 1;
    if (c.Is == Why::AnotherPort) settings.ComNum = 2;
    if (c.Is == Why::ClosedMidTransfer) WorkWent(515);  // a program block's flash load
    if (c.Answer) Ui().QueueAnswer(*c.Answer);
    form.show();
    Click(form.BitBtn1);
    const bool attaches = c.Answer != MsgResult::Cancel;
    ASSERT_EQ(Ui().Messages().size(), c.Answer ? 1u : 0u);
    if (c.Answer) {
      EXPECT_NE(Ui().Messages()[0].find("The Program Download is running"), std::string::npos) << Ui().Messages()[0];
    }
    EXPECT_EQ(link.Attaches, attaches ? 1 : 0);
    EXPECT_EQ(engine.CommState, attaches ? 1001 : 515) << "the end runs first";
    EXPECT_EQ(engine.ReconnectRequest, 0);
    EXPECT_EQ(engine.RelayRequest, attaches ? 0 : 5);
    EXPECT_EQ(engine.ClockRequest, attaches ? 1 : 0);
    settings.ComNum = 1;
    engine.CloseRequest = 0;
  }
  settings.NonTapi = 0;
}

// A connection that cannot be made drops the parts asked, each told; the clock read the download asks for
// itself is not one the user asked, and ends untold.
TEST_F(DownloadProjectFormTest, AConnectionThatCannotBeMadeTellsThePartsButNotItsOwnClockRead) {
  project.Store.Lines[12] = ProgramLine::End();
  settings.ComNum = 2;
  Click(form.BitBtn1);
  Step();  // the port does not open
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_TRUE(view.Logged("Program Download not sent"));
  EXPECT_FALSE(view.Logged("Get Controller Clock not sent"));
}

// The program goes with the sun table of the stored location: with one the settings window refuses, the
// dialog starts nothing, rather than restart the controller without its program.
TEST_F(DownloadProjectFormTest, ARefusedLocationWithTheProgramTickedStartsNothing) {
  project.Store.Lines[12] = ProgramLine::End();
  settings.Longitude = "999";
  for (const bool attached : {false, true}) {
    SCOPED_TRACE(attached);
    attached ? Running() : void(engine.CommState = 0);
    Ui().Clear();
    form.show();
    Click(form.BitBtn1);
    EXPECT_EQ(link.Attaches, 0);
    EXPECT_EQ(engine.ReconnectRequest + engine.ClockRequest + engine.IconLoadRequest + engine.TouchLoadRequest +
                  engine.ProgramDownloadRequest,
              0);
    ASSERT_EQ(Ui().Messages().size(), 1u);
    EXPECT_NE(Ui().Messages()[0].find("Comms Setup"), std::string::npos) << Ui().Messages()[0];
    EXPECT_TRUE(form.isVisible());
  }
  Click(form.CheckBox2);
  Click(form.BitBtn1);
  EXPECT_EQ(engine.ReconnectRequest, 1) << "without the program the other parts go";
  EXPECT_EQ(engine.IconLoadRequest, 1);
}

TEST_F(DownloadProjectFormTest, AFailedSettingsReloadAsksForNothing) {
  link.ReadSucceeds = false;
  Click(form.BitBtn1);
  EXPECT_EQ(link.Attaches, 0);
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(engine.ClockRequest + engine.IconLoadRequest + engine.TouchLoadRequest + engine.ProgramDownloadRequest, 0);
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
