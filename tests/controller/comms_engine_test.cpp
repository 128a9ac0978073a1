// The engine's frame of every tick: connecting, identifying, polling, retries, the idle order and the
// disconnect, against the simulated controller.
#include "controller/comms_engine.h"

#include <algorithm>
#include <functional>

#include "controller/param_requests.h"
#include "engine_fixture.h"
#include "support/serial_port_helpers.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using platform::MsgResult;

int CountLog(const RecordingView& view, const std::string& prefix) {
  return static_cast<int>(
      std::count_if(view.Log.begin(), view.Log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

TEST_F(EngineTest, IdentifiesTheControllerAndPollsItsModules) {
  sim.SetModule(1, 5, 7);
  sim.SetModule(3, 14, 2);
  sim.SetIoWord(1, 0x8005);
  sim.SetFirmwareSubNumber(3);
  sim.SetTableAddresses(0x9000, 0x9100);
  Connect();
  EXPECT_EQ(engine.FirmwareVersion, 820);
  EXPECT_EQ(engine.AppVersion, 400);
  EXPECT_EQ(engine.TimerTableAddress, 0x9000);
  EXPECT_EQ(engine.VariableTableAddress, 0x9100);
  EXPECT_EQ(engine.IoStates[0], 0x8005u);
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 19, 1), "32773");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 3, 1), "ON");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 4, 1), "OFF");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 18, 1), "ON");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 3, 2), "") << "an empty slot gets no ON/OFF cells";
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 0, 128), "128");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 3, 0), "I/O# 0");

  engine.UpdateStatusPanel();
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 1, 1), "Lurcan-T");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 2, 1), "  7");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 1, 3), "Murmex");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 1, 2), "");
  EXPECT_EQ(view.Texts[CommsText::Firmware], "Firmware: V8.20/3");
  EXPECT_EQ(view.Texts[CommsText::Application], "Application: V4.00");
  EXPECT_EQ(view.Texts[CommsText::Date], "Mar 04 2007");

  // Idle, the poll cycle repeats.
  const std::size_t before = sim.Commands(0).size() + sim.Frames().size();
  ASSERT_TRUE(RunUntil([&] { return sim.Frames().size() >= before + 3; }, 40));
  EXPECT_EQ(sim.LastFrame()->Address, AddrIoStates);
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(EngineTest, RetriesAreLoggedOnlyWhileErrorsIsTicked) {
  expectedRetries = 2;  // the two frames ignored
  Connect();
  sim.IgnoreNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 1; }, 60));
  EXPECT_EQ(CountLog(view, "Comms Retry"), 0);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 0; }, 60)) << "a good reply clears the count";

  view.Detail = true;
  sim.IgnoreNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 1; }, 60));
  EXPECT_EQ(view.Log.front(), "Comms Retry    timeout 113 RX0");
}

TEST_F(EngineTest, TheNinthRetryInARowDisconnectsWithLostConnection) {
  expectedRetries = 9;
  Connect();
  view.Detail = true;
  sim.IgnoreNext(1000);
  ASSERT_TRUE(RunToState(0, 400));
  EXPECT_EQ(CountLog(view, "Comms Retry"), 9);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_EQ(Ui().Asked().back().Caption, "Comms Error");
  EXPECT_TRUE(view.TimerStopped);
  EXPECT_TRUE(view.IsShown(CommsWindow::Editor));
  EXPECT_FALSE(port.Open());
}

class ScriptedDialUp : public DialUp {
 public:
  bool SelectNumber(std::string& number) override {
    number = Number;
    return !Number.empty();
  }
  void TapiDial(const std::string& number) override { Dialled = number; }
  void TapiCancelCall() override { ++Cancels; }
  bool RunDialer(const std::string& number) override {
    Dialled = number;
    return DialerConnects;
  }
  void ModemHangup() override { ++Hangups; }
  std::string Number, Dialled;
  int Cancels = 0, Hangups = 0;
  bool DialerConnects = true;
};

// What a connection was asked to do ends with it, however it ends: the next connection, perhaps to another
// controller, starts none of it, nor what was posted while it ended, even when attached before the end
// has run its course; that end runs whole first (line closed, call cancelled, windows hidden, retries
// forgotten), and no window shows the last controller's values. What is dropped is told, in a message too
// when Controller Access is not on the screen; else the user's own disconnect shows none. The user's close
// wins over what was posted around it. A reconnection is no end; what it clears is told. What is asked
// after an attach is the next connection's. The values the requests carried stay: a clear sends the carrier
// it was asked with.
enum class End {
  Connected,          // not ended: the attach decides
  UserClose,          // the idle pass takes the close
  CloseWhileWaiting,  // the close waits for the answer in hand
  RetryWhileClosing,  // that answer never comes
  LostLine,
  TapiFail,
  TapiPortClose,
  FailedOpen,
  TelephonyCancelled,
  ModemCancelled,
  Unplugged  // nothing is read from that controller afterwards
};
enum class Then {
  Nothing,
  AttachAtOnce,         // as soon as the end is decided
  AttachWhileEnding,    // two ticks into the end, after a request window's Send
  CloseAgain,           // the same, then closed again
  AttachOnAnotherPort,  // to the same controller
  Reconnect,
  AskAfterAttach,                    // requests posted after an attach while the end runs
  ReconnectThenClose,                // the download dialog's reconnection, then "&Close" before the idle pass
  AttachOnTheModem,                  // the AT modem road, connected: the number dialled is the controller
  CloseBeforeItStarts,               // attached anew, closed before state 1 ran
  ReconnectTakenThenClose,           // the reconnection taken by the idle pass, closed before state 1 ran
  CloseWhenEndedThenAttach,          // Controller Access closed once the end has run, then attached
  CloseAndAttachBeforeItStarts,      // attached once the end has run, closed and attached again before state 1 ran
  ReconnectTakenThenCloseAndAttach,  // the reconnection taken, closed and attached before state 1 ran
  ExitOnTheModem                     // the program's end, connected on the AT modem road
};
struct EndCase {
  const char* Name;
  End How;
  Then Next;
  bool Showing;  // Controller Access on the screen
  std::vector<std::string> Messages;
};

// What each end drops, in the engine's order.
std::string Told(bool transmit) {
  return std::string("Program Download not sent\nExecutive Reload not sent\nInfra-Red File Upload not sent\n") +
         "Pager Messages not sent\nRelay Command not sent\n" + (transmit ? "Transmit Command not sent\n" : "") +
         "X10 Command not sent\nParameter Change not sent\nMemory Dump not sent\n" +
         "Retrieve Module Parameters not sent\nMonitor X10 not sent\nRetrieve Controller Parameters not sent\n" +
         "Get Controller Clock not sent";
}

const EndCase kEndCases[] = {
    {"UserCloseHidden", End::UserClose, Then::Nothing, false, {Told(true)}},
    {"UserCloseShown", End::UserClose, Then::Nothing, true, {}},
    {"LostLine", End::LostLine, Then::Nothing, true, {"Lost Connection"}},
    {"FailedOpen", End::FailedOpen, Then::Nothing, true, {"COM2 Port Does Not Exist"}},
    {"TelephonyCancelledHidden", End::TelephonyCancelled, Then::Nothing, false, {Told(false)}},
    {"ModemCancelled", End::ModemCancelled, Then::Nothing, true, {}},
    {"CloseWhileWaitingThenAttach", End::CloseWhileWaiting, Then::AttachAtOnce, true, {}},
    {"RetryWhileClosingThenAttach", End::RetryWhileClosing, Then::AttachAtOnce, true, {"Lost Connection"}},
    {"TapiFailThenAttach", End::TapiFail, Then::AttachAtOnce, true, {"Failed Modem Connection Attempt"}},
    {"TapiPortCloseThenAttach", End::TapiPortClose, Then::AttachAtOnce, true, {"Lost Connection"}},
    {"AttachWhileEndingHidden", End::UserClose, Then::AttachWhileEnding, false, {}},
    {"AttachThenCloseAgain", End::UserClose, Then::CloseAgain, true, {}},
    {"AttachOnAnotherPort", End::Connected, Then::AttachOnAnotherPort, true, {}},
    {"Reconnect", End::Connected, Then::Reconnect, true, {}},
    {"UnpluggedThenAttach", End::Unplugged, Then::AttachAtOnce, true, {"Lost Connection", "COM2 Port Does Not Exist"}},
    {"AskedAfterTheAttach", End::UserClose, Then::AskAfterAttach, true, {}},
    {"CloseAfterAPostedReconnection", End::Connected, Then::ReconnectThenClose, true, {}},
    {"AttachOnTheModemRoad", End::Connected, Then::AttachOnTheModem, true, {}},
    {"CloseBeforeTheAttachStarts",
     End::UserClose,
     Then::CloseBeforeItStarts,
     false,
     {Told(false), "Relay Command not sent\nTransmit Command not sent"}},
    {"CloseAfterATakenReconnection", End::Connected, Then::ReconnectTakenThenClose, true, {}},
    {"LostLineThenClosedThenAttach", End::LostLine, Then::CloseWhenEndedThenAttach, true, {"Lost Connection"}},
    {"AttachCloseAttachBeforeItStarts", End::LostLine, Then::CloseAndAttachBeforeItStarts, true, {"Lost Connection"}},
    {"ReconnectCloseAttachBeforeItStarts", End::Connected, Then::ReconnectTakenThenCloseAndAttach, true, {}},
    {"ExitOnTheModemRoad", End::Connected, Then::ExitOnTheModem, false, {Told(true)}},
};

class ConnectionEndTest : public EngineTest, public ::testing::WithParamInterface<EndCase> {
 protected:
  ConnectionEndTest() { engine.Dial = &dial; }

  // Connects on the stored road, the AT modem's too.
  void ConnectOnRoad() {
    engine.CommState = 1;
    if (settings.NonTapi) {
      ASSERT_TRUE(RunToState(11, 5));
      engine.ModemConnect();
    }
    ASSERT_TRUE(RunToState(114, 200)) << "state " << engine.CommState;
    engine.ParamsRequest = 0;
  }
  // The last controller's values, on show in the windows or held to check against.
  static constexpr std::tuple<CommsGrid, int, int> kValueCells[] = {
      {CommsGrid::Modules, 19, 1},  {CommsGrid::ControllerParams, 1, 5}, {CommsGrid::ModuleParams, 7, 1},
      {CommsGrid::TimerVars, 1, 3}, {CommsGrid::TimerVars, 2, 3},        {CommsGrid::X10Status, 1, 1},
      {CommsGrid::Dump, 0, 0}};
  static constexpr CommsText kValueTexts[] = {CommsText::DumpAddress, CommsText::ModuleParamStatus};
  static constexpr CommsList kValueLists[] = {CommsList::X10Activity, CommsList::X10Events};
  void ShowLastControllersValues() {
    for (const auto& [grid, column, row] : kValueCells) view.SetCell(grid, column, row, "77");
    for (CommsText text : kValueTexts) view.SetText(text, "45959");
    for (CommsList list : kValueLists) view.AddListLine(list, "A1 ON");
    engine.ModuleParamTable[1][6] = 4321;
    engine.ModuleParamRead[1].set(6);
    engine.ShowMeter(30);
    engine.SetStep("Requesting ir Data");
  }
  void ExpectValuesShown(bool shown) {
    for (const auto& [grid, column, row] : kValueCells)
      EXPECT_EQ(view.Cell(grid, column, row).empty(), !shown) << static_cast<int>(grid) << " column " << column;
    for (CommsText text : kValueTexts) EXPECT_EQ(view.Texts[text].empty(), !shown) << static_cast<int>(text);
    for (CommsList list : kValueLists) EXPECT_EQ(view.Lists[list].empty(), !shown) << static_cast<int>(list);
    EXPECT_EQ(ModuleParamPasswordMatches(engine, "4321"), shown) << "the password checked";
    EXPECT_EQ(engine.FirmwareVersion != 0, shown);
  }

  ScriptedDialUp dial;
  const std::vector<CommsWindow> windows = {CommsWindow::ControllerParams, CommsWindow::AutoAddressPanel,
                                            CommsWindow::IrLearnPanel,     CommsWindow::IrLearnWindow,
                                            CommsWindow::Restart,          CommsWindow::X10Grid,
                                            CommsWindow::X10Monitor,       CommsWindow::TimerVars};
};

TEST_P(ConnectionEndTest, ARequestDoesNotOutliveItsConnection) {
  const EndCase& c = GetParam();
  serial::test::ScopedComEnv missing{2, "/nonexistent/zelta-tty"}, com3{3, sim.SlavePath()};
  engine.IrClearFrequency = 77;
  settings.NonTapi = c.Next == Then::AttachOnTheModem || c.Next == Then::ExitOnTheModem;
  if (c.How == End::Unplugged) {
    // Before the line goes: the values the requests carried stay.
    ConnectOnRoad();
    engine.IrClearNumber = 9;
    ASSERT_TRUE(RunUntil([&] { return engine.IrClearNumber == -1 && engine.CommState == 110; }, 40));
    ASSERT_EQ(sim.Commands(CmdClearIr).size(), 1u);
    EXPECT_EQ(sim.Commands(CmdClearIr)[0].Args[2], 77);
  }
  const bool telephony = c.How == End::TapiFail || c.How == End::TapiPortClose;
  dial.Number = telephony || settings.NonTapi ? "5550100" : "";
  // A connection that never connects ends as it starts, with what the attach asked for.
  const bool connects =
      !telephony && c.How != End::FailedOpen && c.How != End::TelephonyCancelled && c.How != End::ModemCancelled;
  if (connects) ConnectOnRoad();
  Ui().Clear();
  view.Log.clear();
  view.Visible = c.Showing;
  if (c.How == End::LostLine || c.How == End::CloseWhileWaiting || c.How == End::RetryWhileClosing) {
    ASSERT_TRUE(RunToState(112, 20));
    sim.IgnoreNext(c.How == End::LostLine ? 9 : 1);
    expectedRetries += c.How == End::LostLine ? 9 : c.How == End::RetryWhileClosing;
  }
  ShowLastControllersValues();
  engine.ProgramDownloadRequest = engine.ReloadExecRequest = engine.IrUploadRequest = engine.PagerLoadRequest = 1;
  engine.Asked.ExecutivePath = "FLASH512.BIN";  // the reload's image, taken when it was asked
  engine.IrUploadLir = true;
  engine.RelayRequest = 5;
  engine.X10SendRequest = 2;
  engine.DumpAddress = 0x1234;
  engine.DumpRequest = engine.ModuleParamsRequest = engine.X10MonitorRequest = engine.ParamsRequest = 1;
  engine.ClockRequest = engine.UserClockRead = 1;
  engine.CommandQueue[0] = {0x28, 15, 0x10, 0xE1, 0, 0};
  for (CommsWindow w : windows) view.Shown[w] = connects || telephony;
  if (c.How == End::UserClose || c.How == End::RetryWhileClosing) engine.CloseRequest = 1;
  if (c.How == End::FailedOpen) settings.ComNum = 2;
  if (c.How == End::TelephonyCancelled || telephony) settings.ComNum = 0;
  if (c.How == End::ModemCancelled) settings.NonTapi = 1;
  if (!connects) engine.CommState = 1;
  if (c.How == End::CloseWhileWaiting) {
    Step();
    ASSERT_EQ(engine.CommState, 113);
    engine.CloseRequest = 1;
    engine.RetryCount = 5;  // a noisy line
  }
  if (telephony) {
    ASSERT_TRUE(RunToState(3, 3));
    c.How == End::TapiFail ? engine.TapiFail() : engine.TapiPortClose();
  }
  if (c.How == End::Unplugged) sim.HangUp();
  if (c.How == End::RetryWhileClosing || c.How == End::Unplugged) {
    ASSERT_TRUE(RunToState(1000, 20));
  }
  if (c.How == End::UserClose) {
    ASSERT_TRUE(RunToState(c.Next == Then::CloseBeforeItStarts ? 0 : 1002, 20));
    engine.TransmitRequest = 3;  // a request window's Send
  }

  if (c.Next == Then::CloseWhenEndedThenAttach || c.Next == Then::CloseAndAttachBeforeItStarts) {
    ASSERT_TRUE(RunToState(0, 400));
  }
  if (c.Next == Then::CloseWhenEndedThenAttach) engine.CloseRequest = 1;  // closes nothing: no connection runs

  // The reconnection taken and closed is attached later.
  const bool reconnectsFirst = c.Next == Then::ReconnectThenClose || c.Next == Then::ReconnectTakenThenClose ||
                               c.Next == Then::ReconnectTakenThenCloseAndAttach;
  const bool attaches = c.Next != Then::Nothing && c.Next != Then::ExitOnTheModem && !reconnectsFirst;
  const bool reconnects = c.Next == Then::Reconnect;
  const bool ended = engine.CommState == 0;
  if (attaches) {
    settings.ComNum = c.How == End::Unplugged ? 2 : c.Next == Then::AttachOnAnotherPort ? 3 : 1;
    view.Visible = c.Showing || c.Next != Then::CloseBeforeItStarts;
    engine.Attach();
    // The end runs first, and nothing asked of the closed connection waits for the next, nor is anything
    // of its controller on show.
    EXPECT_EQ(engine.CommState >= 1000, !reconnects && !ended);
    EXPECT_EQ(engine.ProgramDownloadRequest, reconnects);
    EXPECT_EQ(engine.X10SendRequest, -1) << "a reconnection clears it, told";
    EXPECT_TRUE(view.Logged("X10 Command not sent"));
    for (CommsWindow w : windows) EXPECT_EQ(view.IsShown(w), reconnects) << static_cast<int>(w);
    ExpectValuesShown(reconnects);
    if (!reconnects && !ended) {
      ASSERT_TRUE(RunToState(1002, 20));
      EXPECT_FALSE(port.Open());
      EXPECT_EQ(dial.Cancels, telephony ? 1 : 0);
      EXPECT_EQ(dial.Hangups, settings.NonTapi ? 1 : 0) << "the call ends before the next dial";
    }
  }
  // What is asked after the attach, or instead of one.
  if (c.Next == Then::AskAfterAttach || c.Next == Then::CloseBeforeItStarts) engine.RelayRequest = 6;
  if (c.Next == Then::AskAfterAttach) engine.IrClearNumber = 9;
  const bool closedAtOnce = c.Next == Then::ReconnectThenClose || c.Next == Then::ReconnectTakenThenClose ||
                            c.Next == Then::CloseBeforeItStarts;
  if (reconnectsFirst) engine.ReconnectRequest = 1;
  if (c.Next == Then::ReconnectTakenThenClose || c.Next == Then::ReconnectTakenThenCloseAndAttach) {
    ASSERT_TRUE(RunToState(1, 20));
  }
  if (c.Next == Then::CloseAgain || closedAtOnce) engine.CloseRequest = 1;
  // Attached again: this attach connects.
  const bool attachesAgain =
      c.Next == Then::CloseAndAttachBeforeItStarts || c.Next == Then::ReconnectTakenThenCloseAndAttach;
  if (attachesAgain) {
    engine.CloseRequest = 1;
    engine.Attach();
  }
  const std::size_t framesBefore = sim.Frames().size();
  view.TimerStopped = false;
  if (c.Next == Then::ExitOnTheModem) {
    engine.TransmitRequest = 3;
    engine.EndForExit();
  }
  if ((attaches || attachesAgain) && c.Next != Then::CloseAgain && c.Next != Then::CloseBeforeItStarts) {
    ASSERT_TRUE(RunToState(1, 20));
    EXPECT_EQ(engine.RetryCount, 0);
    if (c.How != End::Unplugged) {
      if (settings.NonTapi) {
        ASSERT_TRUE(RunToState(11, 5));
        engine.ModemConnect();
      }
      ASSERT_TRUE(RunToState(114, 200));
      if (c.Next == Then::AskAfterAttach) {
        ASSERT_TRUE(RunUntil([&] { return engine.CommState == 114 && engine.RelayRequest == 0; }, 40));
        ASSERT_TRUE(RunUntil([&] { return engine.IrClearNumber == -1 && engine.CommState == 114; }, 40));
        EXPECT_EQ(sim.Commands(CmdClearIr).size(), 1u) << "asked after the attach: the next connection's";
        ASSERT_EQ(sim.Commands(CmdRelay).size(), 1u);
        EXPECT_EQ(sim.Commands(CmdRelay)[0].Args[0], 6);
      }
      view.Visible = c.Showing;
      engine.CloseRequest = 1;
    }
  }
  ASSERT_TRUE(RunToState(0, 400));
  if (closedAtOnce) {
    EXPECT_EQ(sim.Frames().size(), framesBefore) << "nothing goes to the closed connection";
    EXPECT_TRUE(view.TimerStopped);
  }
  EXPECT_FALSE(port.Open());
  if (c.Next == Then::ExitOnTheModem) {
    EXPECT_EQ(dial.Hangups, 1) << "the call ends with the program";
  }
  EXPECT_EQ(Ui().Messages(), c.Messages);
  for (const char* what : {"Program Download", "Executive Reload", "Infra-Red File Upload", "Pager Messages",
                           "Relay Command", "Parameter Change", "Memory Dump", "Retrieve Module Parameters",
                           "Monitor X10", "Retrieve Controller Parameters", "Get Controller Clock"})
    EXPECT_TRUE(view.Logged(std::string(what) + " not sent")) << what;
  EXPECT_EQ(view.Logged("Transmit Command not sent"), c.How == End::UserClose || c.Next == Then::ExitOnTheModem);
  EXPECT_EQ(engine.ProgramDownloadRequest + engine.ReloadExecRequest + engine.PagerLoadRequest + engine.RelayRequest +
                engine.TransmitRequest + engine.CommandQueue[0][0],
            0);
  EXPECT_EQ(engine.DumpRequest + engine.ModuleParamsRequest + engine.X10MonitorRequest + engine.ParamsRequest +
                engine.ClockRequest,
            0);
  for (CommsWindow w : windows) EXPECT_FALSE(view.IsShown(w));
  EXPECT_TRUE(view.Texts[CommsText::Step].empty()) << "no operation shows as running";
  EXPECT_FALSE(view.IsShown(CommsWindow::Meter));
}

INSTANTIATE_TEST_SUITE_P(Ends, ConnectionEndTest, ::testing::ValuesIn(kEndCases),
                         [](const ::testing::TestParamInfo<EndCase>& info) { return info.param.Name; });

TEST_F(EngineTest, AnOldExecutiveAsksOncePerIdentificationWhetherToLoadTheNewOne) {
  testing_support::TempDir data;
  testing_support::WriteFile(data.File("FLASH512.BIN"), std::string(300, 'x'));
  settings.CurrentDirectory = data.Path().string();
  sim.SetAppVersion(317);
  Ui().QueueAnswer(MsgResult::Ok);
  Connect();
  EXPECT_EQ(Ui().Messages(),
            std::vector<std::string>{"Warning! Your Controller does not have the latest exec code.. Load Now?"});
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_EQ(engine.ReloadExecRequest, 1);
  EXPECT_TRUE(view.Logged("Download Controller Program Command"));
}

// A box the user has open (one a request window showed) keeps the engine's own question back: the engine
// waits in the identification, tick after tick, and asks once no box is open, so the Return meant for the box
// never answers it.
TEST_F(EngineTest, TheUpdateWarningWaitsUntilNoBoxIsOpen) {
  const std::string box = "Clock Set not sent: the last one asked has not ended yet";
  testing_support::TempDir data;
  testing_support::WriteFile(data.File("FLASH512.BIN"), std::string(300, 'x'));
  settings.CurrentDirectory = data.Path().string();
  sim.SetAppVersion(317);
  engine.CommState = 1;
  Ui().WhileAsked([&] {
    ASSERT_TRUE(RunUntil([&] { return engine.AppVersion == 317; }, 100));
    RunUntil([] { return false; }, 20);  // longer than a time-out
    EXPECT_EQ(engine.CommState, 101);
  });
  Ui().ShowMessage(box);
  Ui().QueueAnswer(MsgResult::Ok);
  ASSERT_TRUE(RunToState(114, 100));
  EXPECT_EQ(Ui().Messages(),
            (std::vector<std::string>{box, "Warning! Your Controller does not have the latest exec code.. Load Now?"}));
  EXPECT_EQ(engine.ReloadExecRequest, 1);
}

TEST_F(EngineTest, APortThatCannotBeOpenedIsReportedAndLeavesTheEngineDetached) {
  serial::test::ScopedComEnv missing{2, "/nonexistent/zelta-tty"};
  settings.ComNum = 2;
  engine.CommState = 1;
  Step();
  EXPECT_EQ(engine.CommState, 0);
  ASSERT_EQ(Ui().Messages(), std::vector<std::string>{"COM2 Port Does Not Exist"});
  EXPECT_EQ(Ui().Asked().back().Caption, "COM ERROR");

  serial::TLkComPort other{nullptr};
  other.SetComNumber(1);
  other.SetOpen(true);
  settings.ComNum = 1;
  engine.CommState = 1;
  Step();
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(Ui().Messages().back(), "COM1 Port Already In Use");
}

// Waits with no reply of their own to time out still end on the way out: the user's disconnect ends them
// quietly, a dialer that gives up ends them as a failed call.
TEST_F(EngineTest, WaitsWithoutATimeOutEndOnDisconnectOrWhenTheDialerGivesUp) {
  ScriptedDialUp dial;
  dial.Number = "5550100";
  engine.Dial = &dial;

  settings.Method = 0;
  engine.CommState = 1;
  ASSERT_TRUE(RunToState(299, 5));
  for (int i = 0; i < 20; ++i) Step();
  EXPECT_EQ(engine.CommState, 299) << "the network access method parks";
  engine.CloseRequest = 1;
  ASSERT_TRUE(RunToState(0, 10));
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(Ui().Messages().empty());

  settings.Method = 1;
  settings.NonTapi = 1;
  dial.DialerConnects = false;
  engine.CommState = 1;
  ASSERT_TRUE(RunToState(0, 20)) << "state " << engine.CommState;
  EXPECT_EQ(dial.Hangups, 1);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Failed Modem Connection Attempt"});
}

TEST_F(EngineTest, DialUpConnectsOnTheDevicesEventsAndAFailedCallSaysSo) {
  ScriptedDialUp dial;
  engine.Dial = &dial;
  settings.ComNum = 0;
  engine.CommState = 1;
  engine.Tick();
  EXPECT_EQ(engine.CommState, 2);
  engine.Tick();
  EXPECT_EQ(engine.CommState, 0) << "the number selector was cancelled";
  EXPECT_TRUE(Ui().Messages().empty());

  dial.Number = "5551234";
  engine.CommState = 1;
  engine.Tick();
  engine.Tick();
  EXPECT_EQ(engine.CommState, 3);
  EXPECT_EQ(dial.Dialled, "5551234");
  EXPECT_EQ(port.TapiMode(), serial::tmOn);
  engine.TapiFail();
  for (int i = 0; i < 8; ++i) engine.Tick();
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(dial.Cancels, 1);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Failed Modem Connection Attempt"});
  EXPECT_EQ(Ui().Asked().back().Caption, "Dial Error");

  // The AT modem road on a COM port, after that telephony call: a connect event moves on.
  settings.ComNum = 1;
  settings.NonTapi = 1;
  engine.CommState = 1;
  Step();
  Step();
  EXPECT_EQ(engine.CommState, 11);
  engine.ModemConnect();
  EXPECT_EQ(engine.CommState, 4);
  EXPECT_TRUE(view.Logged("Modem Connected"));
  EXPECT_EQ(Ui().Messages().size(), 1u);
}

// A connect report moves only the state that waits for it: one that comes after the call was given up, or
// that belongs to the other dial-up road, neither starts a connection nor leaves the engine in a state that
// nothing runs.
TEST_F(EngineTest, AConnectReportMovesOnlyTheStateThatWaitsForIt) {
  enum class Report { Telephony, Modem };
  const struct {
    const char* Name;
    Report Comes;
    int In, Then;
  } cases[] = {
      {"the telephony call connects", Report::Telephony, 3, 4},
      {"the AT modem connects", Report::Modem, 11, 4},
      {"telephony, not attached", Report::Telephony, 0, 0},
      {"telephony, ending", Report::Telephony, 1002, 1002},
      {"telephony, at the end's last step", Report::Telephony, 1006, 1006},
      {"telephony, on the AT modem's wait", Report::Telephony, 11, 11},
      {"AT modem, not attached", Report::Modem, 0, 0},
      {"AT modem, ending", Report::Modem, 1003, 1003},
      {"AT modem, on the telephony call's wait", Report::Modem, 3, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    view.Log.clear();
    engine.CommState = c.In;
    c.Comes == Report::Telephony ? engine.TapiConnect() : engine.ModemConnect();
    EXPECT_EQ(engine.CommState, c.Then);
    EXPECT_EQ(view.Logged("Modem Connected"), c.Then != c.In);
  }
}

TEST_F(EngineTest, AUserWhoGivesUpWaitingForADialUpConnectionDisconnectsOnce) {
  ScriptedDialUp dial;
  dial.Number = "5550100";
  engine.Dial = &dial;
  settings.ComNum = 0;
  engine.CommState = 1;
  engine.Tick();
  engine.Tick();
  ASSERT_EQ(engine.CommState, 3);
  engine.Tick();
  EXPECT_EQ(engine.CommState, 3) << "waiting for the call";
  engine.CloseRequest = 1;
  engine.Tick();
  EXPECT_EQ(engine.CommState, 1001) << "the wait ends on the disconnect request";
  engine.Tick();
  // Cancelling the call reports the call's end; that must not start the disconnect over.
  engine.TapiPortClose();
  engine.TapiFail();
  for (int i = 0; i < 8; ++i) engine.Tick();
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(dial.Cancels, 1);
  EXPECT_TRUE(Ui().Messages().empty());
}

// Settings stored while a connection runs are for the next one: the running connection is ended the way
// it was made, and one still dialling goes on by the access method it started with.
TEST_F(EngineTest, AConnectionKeepsTheRoadItWasMadeOnWhateverIsStoredMeanwhile) {
  ScriptedDialUp dial;
  dial.Number = "5550100";
  engine.Dial = &dial;
  const struct {
    const char* Name;
    std::uint8_t AuxModem;
    std::function<void(project::Settings&)> Change;
    int Hangups;
  } cases[] = {
      {"direct, then the telephony modem", 0, [](project::Settings& s) { s.ComNum = 0; }, 0},
      {"direct, then the AUX modem", 0, [](project::Settings& s) { s.NonTapi = 1; }, 0},
      {"AUX modem, then direct by the network access method", 1,
       [](project::Settings& s) {
         s.NonTapi = 0;
         s.Method = 0;
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    settings.ComNum = 1;
    settings.Method = 1;
    settings.NonTapi = c.AuxModem;
    dial.Cancels = dial.Hangups = 0;
    engine.CommState = 1;
    ASSERT_TRUE(RunToState(c.AuxModem ? 11 : 100, 10));
    c.Change(settings);
    if (c.AuxModem) engine.ModemConnect();
    ASSERT_TRUE(RunToState(114, 100));
    engine.ParamsRequest = 0;
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 40));
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(dial.Cancels, 0);
    EXPECT_EQ(dial.Hangups, c.Hangups);
  }
  engine.Dial = &noDialUp;
}

struct IdleCase {
  const char* Name;
  std::function<void(CommsEngine&)> Set;
  int Next;
};

TEST_F(EngineTest, TheIdleStateStartsTheLastSetRequestInItsOrder) {
  const IdleCase cases[] = {
      {"nothing", [](CommsEngine&) {}, 110},
      {"download and disconnect",
       [](CommsEngine& e) {
         e.ProgramDownloadRequest = e.CloseRequest = 1;
         e.FlashArg = 7;
       },
       1001},
      {"icons without a flash argument read the clock first", [](CommsEngine& e) { e.IconLoadRequest = 1; }, 540},
      {"icons with one",
       [](CommsEngine& e) {
         e.IconLoadRequest = 1;
         e.FlashArg = 7;
       },
       1100},
      {"a queue with only its last slot used", [](CommsEngine& e) { e.CommandQueue[128][0] = 0x28; }, 120},
      {"X10 house A", [](CommsEngine& e) { e.X10SendRequest = 0; }, 518},
      {"a counted-down clock request", [](CommsEngine& e) { e.ClockRequest = 3; }, 110},
      {"IR upload, old firmware", [](CommsEngine& e) { e.IrUploadRequest = 1; }, 170},
      {"IR upload, 8.20",
       [](CommsEngine& e) {
         e.IrUploadRequest = 1;
         e.IrUploadLir = true;
         e.FirmwareVersion = 820;
       },
       180},
      {"X10 monitor on 2.13",
       [](CommsEngine& e) {
         e.X10MonitorRequest = 1;
         e.AppVersion = 213;
       },
       300},
      {"X10 monitor on 2.12",
       [](CommsEngine& e) {
         e.X10MonitorRequest = 1;
         e.AppVersion = 212;
       },
       520},
      {"a reconnection beats every request", [](CommsEngine& e) { e.ReconnectRequest = e.SetClockRequest = 1; }, 1},
      {"the user's close wins over a posted reconnection",
       [](CommsEngine& e) { e.ReconnectRequest = e.CloseRequest = 1; }, 1001},
      {"and over a request posted around it",
       [](CommsEngine& e) {
         e.TouchLoadRequest = e.CloseRequest = 1;
         e.CommandQueue[0][0] = 0x28;
       },
       1001},
      {"but for the clock set that ends a reload",
       [](CommsEngine& e) { e.SetClockRequest = e.ReloadClock = e.CloseRequest = 1; }, 530},
      {"variable 255", [](CommsEngine& e) { e.ChangeDataRequest = 255; }, 710},
      {"a change before the refresh",
       [](CommsEngine& e) {
         e.ChangeDataRequest = 4;
         e.TimerVarMonitorRequest = 1;
       },
       710},
  };
  for (const IdleCase& c : cases) {
    CommsEngine fresh{CommsParts{port, view, settings, project, noDialUp, clock}};
    c.Set(fresh);
    fresh.CommState = 114;
    fresh.Tick();
    EXPECT_EQ(fresh.CommState, c.Next) << c.Name;
    if (std::string(c.Name) == "a counted-down clock request") {
      EXPECT_EQ(fresh.ClockRequest, 2);
    }
    if (std::string(c.Name) == "a queue with only its last slot used") {
      EXPECT_EQ(fresh.QueueIndex, 128);
    }
    if (c.Next == 1) {
      EXPECT_EQ(fresh.ReconnectRequest, 0);
    }
    if (c.Next == 1001) {
      EXPECT_EQ(fresh.CloseRequest, 1) << "its end drops and tells the rest";
    }
  }
}

// A transfer sends what was there when it was asked, checked then: asked while the X10 monitor holds the
// engine, then edited before it starts, the controller gets the table as it stood when asked.
TEST_F(EngineTest, ATransferSendsWhatWasThereWhenItWasAsked) {
  using testing_support::SimBytes;
  std::array<std::string, 16> pagerRows;
  view.Inputs[CommsInput::PagerRow] = [&](int row) { return pagerRows.at(static_cast<std::size_t>(row)); };
  std::uint8_t iconByte = 0;
  project.Icons = [&](std::span<std::uint8_t> buffer, project::CommsLog&) {
    std::fill_n(buffer.begin(), 1300, iconByte);
  };
  // `count` texts, each in a zero-padded field of `width` bytes.
  const auto fields = [](int count, std::size_t width, const std::function<std::string(int)>& text) {
    SimBytes bytes;
    for (int n = 0; n < count; ++n) {
      SimBytes field(width, 0);
      const std::string t = text(n);
      std::copy_n(t.begin(), std::min(t.size(), width), field.begin());
      bytes.insert(bytes.end(), field.begin(), field.end());
    }
    return bytes;
  };
  const auto fillAscii = [&](const std::string& mark) {
    for (int n = 0; n < 128; ++n) project.Ascii.SetText(n, mark + std::to_string(n));
  };
  const auto newProject = [&] {
    project.Ascii.Clear();
    project.Ascii.SetText(27, "LATE27");
  };
  const auto asciiTable = [&] { return fields(128, 32, [&](int n) { return project.Ascii.Text(n); }); };
  const struct {
    const char* Transfer;
    std::function<void()> Fill, Ask, Edit;
    std::function<SimBytes()> Table, Held;
    std::function<bool()> Done;
  } rows[] = {
      {"program and sun table",
       [&] {
         for (int n = 1; n <= 4096; ++n)
           project.Store.Lines[static_cast<std::size_t>(n)] =
               ProgramLine{static_cast<std::uint16_t>(3 << 10 | n % 1024), static_cast<std::uint16_t>(n), 7};
         project.Store.Lines[4000] = ProgramLine::End();
       },
       [&] { EXPECT_TRUE(engine.RequestProgramDownload()); },
       [&] {
         for (auto& line : project.Store.Lines) line = ProgramLine{};  // File > New Program
         settings.Latitude = "-33.9";
       },
       [&] {
         SimBytes bytes(4096 * ProgramLine::kBytes);
         for (int n = 0; n < 4096; ++n)
           project.Store.Lines[static_cast<std::size_t>(n)].Store(bytes.data() + n * ProgramLine::kBytes);
         const auto sun = BuildSunTable(settings.Latitude, settings.Longitude, settings.TimeZone).ToBytes();
         bytes.insert(bytes.end(), sun.begin(), sun.end());
         return bytes;
       },
       [&] {
         SimBytes held = sim.ProgramImage();
         const SimBytes sun = sim.SunTableImage();
         held.insert(held.end(), sun.begin(), sun.begin() + SunTable::Bytes);
         return held;
       },
       [&] { return view.Logged("Controller Program Started"); }},
      {"ASCII messages to the controller", [&] { fillAscii("Message "); }, [&] { engine.RequestAsciiTable(0); },
       newProject, asciiTable,
       [&] {
         SimBytes held;
         for (int b = 0; b < 16; ++b) {
           const SimBytes block = sim.AsciiBlock(b).value_or(SimBytes(256));
           held.insert(held.end(), block.begin(), block.end());
         }
         return held;
       },
       [&] { return sim.Commands(CmdStoreAscii).size() == 16; }},
      {"ASCII messages to module 3", [&] { fillAscii("Module message "); }, [&] { engine.RequestAsciiTable(3); },
       newProject, asciiTable,
       [&] {
         const auto forwarded = sim.ForwardedAscii();
         return fields(128, 32, [&](int n) {
           const auto& f = forwarded.at(static_cast<std::size_t>(n));
           return f.Module == 3 ? f.Text : std::string();
         });
       },
       [&] { return sim.ForwardedAscii().size() == 128; }},
      {"pager messages", [&] { pagerRows.fill("Call home"); }, [&] { engine.RequestPagerLoad(); },
       [&] { pagerRows[9] = "LATE"; },
       [&] { return fields(16, 64, [&](int row) { return pagerRows.at(static_cast<std::size_t>(row)); }); },
       [&] { return sim.Read(0x7B00, 1024); }, [&] { return !engine.PagerLoadRequest && engine.CommState == 110; }},
      {"icons", [&] { iconByte = 0x11; }, [&] { engine.RequestIconLoad(); }, [&] { iconByte = 0x22; },
       [&] {
         SimBytes image(192 * 256, 0);
         std::fill_n(image.begin(), 1300, iconByte);
         return image;
       },
       [&] { return sim.IconImage(); }, [&] { return !engine.IconLoadRequest && engine.CommState == 110; }},
      {"touch screen", [&] { project.Touch.SetBacklightOffDelay(30); }, [&] { engine.RequestTouchLoad(); },
       [&] { project.Touch.SetBacklightOffDelay(99); },
       [&] {
         const auto image = project.Touch.DownloadImage();
         return SimBytes(image.begin(), image.end());
       },
       [&] {
         const SimBytes held = sim.TouchObjects();
         return SimBytes(held.begin(), held.begin() + TouchScreenTable::kDownloadBytes);
       },
       [&] { return engine.CommState == 908; }},
  };
  sim.SetX10QuietAnswer(std::chrono::milliseconds(0));
  Connect();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Transfer);
    ASSERT_TRUE(RunToState(114, 40));
    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(304, 20));
    r.Fill();
    r.Ask();
    const SimBytes asked = r.Table();
    r.Edit();
    ASSERT_NE(r.Table(), asked) << "the edit changes the table";
    engine.X10MonitorRequest = 0;
    ASSERT_TRUE(RunUntil(r.Done, 128 * 30));
    EXPECT_TRUE(r.Held() == asked) << "the controller holds the table as it stood when asked";
  }
}

// The running work is named by its states, with what ending it does: a transfer is cut, a mode ends
// through its end step, a restart is waited for, a command counts once it went. Work counts only once one of
// its frames has left the port: before, it is only asked for. The program's end also asks about a transfer
// asked for while connected.
TEST_F(EngineTest, TheRunningWorkIsNamedByItsStatesAndAskedAboutAsItEnds) {
  const auto program = [](CommsEngine& e) { e.ProgramDownloadRequest = 1; };
  const struct {
    const char* Name;
    int State;
    bool Went;  // a frame of the state's work has left the port
    std::function<void(CommsEngine&)> Set;
    const char* Work;  // "" none
    bool KeepsRetries;
  } cases[] = {
      {"detached", 0, false, {}, "", false},
      {"polling", 112, true, {}, "", false},
      {"learn asked", 560, false, {}, "", false},
      {"learn's switch-on sent again", 560, true, {}, "IR Learn", true},
      {"learn's switch-on held back", 561, false, {}, "", false},
      {"receiver switched to learning", 561, true, {}, "IR Learn", true},
      {"receiver switched back", 566, true, {}, "IR Learn", true},
      {"addressing asked", 590, false, {}, "", false},
      {"addressing after a skip", 590, true, [](CommsEngine& e) { e.SkippedModule = 4; }, "Auto Address", true},
      {"last module number", 594, true, {}, "Auto Address", true},
      {"addressing's restart", 136, true, [](CommsEngine& e) { e.AddressingRestart = 1; }, "Auto Address", true},
      {"older X10 monitor switching reports on", 521, true, {}, "X10 Monitor", true},
      {"older X10 monitor switching them off", 527, true, {}, "X10 Monitor", true},
      {"addressing search on the line", 591, true, {}, "Auto Address", true},
      {"executive stop held back", 129, false, {}, "", true},
      {"executive image block", 134, true, {}, "Executive Reload", true},
      {"executive restart wait", 136, true, {}, "Executive Reload", true},
      {"IR image up", 174, true, {}, "Infra-Red File Upload", true},
      {"program flash load", 516, true, {}, "Program Download", true},
      {"pager's first block held back", 603, false, {}, "", true},
      {"ASCII table to a module, in its pause", 810, true, {}, "ASCII Messages", true},
      {"touch screen restart wait", 908, true, {}, "Touch Screen Download", true},
      {"icons, numbered past the disconnect states", 1102, true, {}, "Icon Download", true},
      {"relay asked", 580, false, {}, "", false},
      {"relay held back", 581, false, {}, "", false},
      {"relay on the line", 581, true, {}, "Relay Command", false},
      {"relay sent again", 580, true, {}, "Relay Command", false},
      {"clock read before the program", 540, true, program, "", false},
      {"disconnecting", 1003, false, {}, "", false},
  };
  // The frames that go carry a clock read, which the controller answers and nobody reads.
  Connect();
  for (const auto& c : cases) {
    CommsEngine fresh{CommsParts{port, view, settings, project, noDialUp, clock}};
    if (c.Set) c.Set(fresh);
    fresh.CommState = c.State;
    if (c.Went) fresh.SendCommandFrame(CmdReadClock);
    const RunningWork* work = fresh.Running();
    EXPECT_EQ(work ? work->Name : "", std::string(c.Work)) << c.Name;
    fresh.CloseRequest = 1;
    fresh.CommsRetry("timeout");
    EXPECT_EQ(fresh.CommState, c.KeepsRetries ? c.State - 1 : 1000) << c.Name << ": a retry after the close";
    ++expectedRetries;
  }

  const struct {
    const char* Name;
    int State;
    std::function<void(CommsEngine&)> Set;
    Ending How;
    const char* Question;
  } questions[] = {
      {"a transfer",
       516,
       {},
       Ending::Attach,
       "The Program Download is running: attaching now cuts it short and leaves the controller with its program "
       "stopped. Still attach?"},
      {"a mode",
       564,
       {},
       Ending::Exit,
       "The IR Learn is running: closing now ends it first: the controller's IR receiver is switched back and no "
       "code is learnt. Still close?"},
      {"a mode, the download's reconnection",
       592,
       {},
       Ending::Reconnection,
       "The Auto Address is running: attaching now ends it first: the controller is told the last module "
       "number given and restarts (about 75 seconds). Still attach?"},
      {"a restart",
       908,
       {},
       Ending::Attach,
       "The controller is restarting after the Touch Screen Download: attaching now waits for the restart to end "
       "first (about 75 seconds). Still attach?"},
      {"a restart, the download's reconnection", 908, {}, Ending::Reconnection, ""},
      {"a transfer, the download's reconnection", 516, {}, Ending::Reconnection, ""},
      {"a command on the line", 581, {}, Ending::Exit, ""},
      {"a transfer not started", 110, program, Ending::Exit,
       "The Program Download has not started yet: closing now drops it, and it is not sent. Still close?"},
      {"a mode, a transfer waiting behind it", 564, program, Ending::Exit,
       "The IR Learn is running: closing now ends it first: the controller's IR receiver is switched back and no "
       "code is learnt. The Program Download has not started yet: closing now drops it, and it is not sent. Still "
       "close?"},
      {"a transfer not started, attaching", 110, program, Ending::Attach, ""},
      {"a transfer asked while parked", 299, program, Ending::Exit, ""},
  };
  for (const auto& q : questions) {
    CommsEngine fresh{CommsParts{port, view, settings, project, noDialUp, clock}};
    if (q.Set) q.Set(fresh);
    fresh.CommState = q.State;
    fresh.SendCommandFrame(CmdReadClock);
    EXPECT_EQ(fresh.EndQuestion(q.How), q.Question) << q.Name;
  }
}

// An attach goes on with the running connection only on the road it was made on, a line of its own:
// port, access method and AUX modem alike. On a dial-up road the controller is the number dialled, and a
// connection the user has closed is over.
TEST_F(EngineTest, AnAttachReconnectsOnlyOnTheLineTheConnectionRuns) {
  const CommsEngine::Road direct{1, 1, 0};
  const struct {
    const char* Name;
    CommsEngine::Road Running, Stored;
    bool Closed;
    bool Reconnects;
  } cases[] = {
      {"the same line", direct, direct, false, true},
      {"another access method", direct, {1, 0, 0}, false, false},
      {"the AUX modem", direct, {1, 1, 1}, false, false},
      {"through the telephony modem", {0, 1, 0}, {0, 1, 0}, false, false},
      {"closed", direct, direct, true, false},
  };
  for (const auto& c : cases) {
    CommsEngine fresh{CommsParts{port, view, settings, project, noDialUp, clock}};
    fresh.CommState = 112;
    fresh.Connection = c.Running;
    fresh.CloseRequest = c.Closed;
    settings.ComNum = c.Stored.ComNum;
    settings.Method = c.Stored.Method;
    settings.NonTapi = c.Stored.NonTapi;
    EXPECT_EQ(fresh.Reconnects(), c.Reconnects) << c.Name;
    fresh.CommState = 1102;  // the icon download, numbered past the disconnect states
    EXPECT_EQ(fresh.Reconnects(), c.Reconnects) << c.Name << ", during the icons";
  }
}

// A reconnection starts with retries of its own: one asked at once after a noisy exchange still has all of
// them for its identification.
TEST_F(EngineTest, AReconnectionStartsWithItsOwnRetries) {
  Connect();
  ASSERT_TRUE(RunToState(112, 20));
  sim.IgnoreNext(5);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 5 && engine.CommState == 112; }, 100));
  engine.Attach();
  ASSERT_EQ(engine.CommState, 1);
  sim.IgnoreNext(4);
  expectedRetries = 9;
  ASSERT_TRUE(RunToState(114, 200)) << engine.CommState;
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(EngineTest, SettingTheClockSendsTheLocalTimeAndReadingItBuildsTheFlashArgument) {
  Connect();
  engine.ParamsRequest = 0;
  clock.Time = {2007, 3, 3, 9, 5, 7, 0};  // a clock that calls a Saturday Sunday
  engine.SetClockRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return sim.ClockFramesTaken() == 1 && engine.CommState == 110; }, 40));
  EXPECT_EQ(sim.Clock().Day, 3);
  EXPECT_EQ(sim.Clock().Second, 7);
  EXPECT_EQ(sim.Clock().DayOfWeek, 6) << "the calendar's weekday";
  EXPECT_EQ(engine.SetClockRequest, 0);

  // The key is the connection's first opinion after the first good reply, and trusted once a second
  // good reply agrees with it.
  const struct {
    int ClockRequest;
    int DayOfWeek;
    const char* Logged;  // nullptr: nothing
    std::uint16_t FlashArg;
  } reads[] = {{1, 6, "Controller Clock: Saturday, 03/03/07  09:05", 0},
               {1, 7, "Bad RTC Data", 0},
               {2, 6, nullptr, 0x1234},
               {1, 6, "Controller Clock: Saturday, 03/03/07  09:05", 0x1234}};
  sim.SetFlashKey(0x1234);
  for (const auto& read : reads) {
    sim.SetClock({2007, 3, 3, 9, 5, 7, read.DayOfWeek});
    engine.FlashArg = 0;
    const std::size_t logged = view.Log.size();
    engine.ClockRequest = read.ClockRequest;
    ASSERT_TRUE(RunUntil([&] { return engine.ClockRequest == 0 && engine.CommState == 110; }, 40));
    if (read.Logged)
      EXPECT_EQ(view.Log.front(), read.Logged);
    else
      EXPECT_EQ(view.Log.size(), logged);
    EXPECT_EQ(engine.FlashArg, read.FlashArg);
  }
  EXPECT_EQ(sim.Commands(CmdReadClock).size(), 4u) << "each read sent once";
}

// A clock that never answers well gives no flash argument: the pending downloads are dropped after a few
// silent reads, with a line in the log, instead of re-reading the clock on every idle pass.
TEST_F(EngineTest, ABadClockDropsTheFlashDownloadsWaitingForItsArgument) {
  Connect();
  sim.SetClock({2007, 3, 4, 9, 5, 7, 7});
  engine.ProgramDownloadRequest = 1;
  engine.IconLoadRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return !engine.ProgramDownloadRequest && engine.CommState == 110; }, 200));
  EXPECT_EQ(engine.IconLoadRequest, 0);
  EXPECT_EQ(sim.Commands(CmdReadClock).size(), 3u);
  EXPECT_EQ(view.Log[0], "Flash Download Cancelled: No Valid Controller Clock");
  EXPECT_EQ(view.Log[1], "Bad RTC Data");
  EXPECT_EQ(CountLog(view, "Bad RTC Data"), 1) << "the silent reads before stay silent";
  for (int i = 0; i < 40; ++i) Step();
  EXPECT_EQ(sim.Commands(CmdReadClock).size(), 3u) << "nothing reads the clock again";
  EXPECT_EQ(sim.FlashLoads(), 0);
}

// An instant line: each exchange takes its send tick and one wait tick, as the states allow at best.
TEST_F(EngineTest, OperationsTakeTheTicksTheirStatesCount) {
  engine.CommState = 1;
  int ticks = 0;
  for (; engine.CommState != 114 && ticks < 100; ++ticks) Step();
  EXPECT_EQ(ticks, 22) << "attach and identify: 1, 4, 94-99, 100-113";
  engine.ParamsRequest = 0;

  const struct {
    const char* Name;
    std::function<void()> Ask;
    int Ticks;  // from the idle pass that takes the request back to polling (state 110)
  } cases[] = {
      {"nothing", [] {}, 1},
      {"parameters", [&] { engine.ParamsRequest = 1; }, 3},
      {"queued command", [&] { engine.CommandQueue[3] = {0x28, 9, 0, 1, 0, 0}; }, 3},
      {"clock set", [&] { engine.SetClockRequest = 1; }, 3},
      {"clock read", [&] { engine.ClockRequest = 1; }, 3},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(engine.CommState, 114) << c.Name;
    c.Ask();
    int n = 0;
    for (; engine.CommState != 110 && n < 100; ++n) Step();
    EXPECT_EQ(n, c.Ticks) << c.Name;
    for (int i = 0; i < 4; ++i) Step();
    EXPECT_EQ(engine.CommState, 114) << "the poll: 110-113, " << c.Name;
  }
  EXPECT_EQ(engine.RetryCount, 0);
}

TEST_F(EngineTest, ABadCrcIsRetriedAsSuch) {
  expectedRetries = 1;  // the bad check
  Connect();
  view.Detail = true;
  sim.CorruptNextBlockReplies(1);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 1; }, 20));
  EXPECT_EQ(view.Log.front(), "Comms Retry        crc 113 RX0");
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 0 && engine.CommState == 114; }, 20));
}

// A message box opened inside a tick runs a nested event loop, where the timer fires again: that tick is
// skipped, not run inside the first.
TEST_F(EngineTest, ATickInsideATickIsSkipped) {
  Connect();
  bool armed = true, skipped = false;
  view.OnLog = [&] {
    if (!armed) return;
    armed = false;
    const int state = engine.CommState;
    engine.Tick();
    skipped = engine.CommState == state;
  };
  engine.SetClockRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return !armed; }, 10));
  EXPECT_TRUE(skipped);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 110 && engine.SetClockRequest == 0; }, 10));
  EXPECT_EQ(sim.ClockFramesTaken(), 1);
}

// An adapter pulled out while polling: the connection ends once, with its message, and the port closed.
TEST_F(EngineTest, AnUnpluggedLineEndsTheConnection) {
  Connect();
  sim.HangUp();
  ASSERT_TRUE(RunToState(0, 150)) << "state " << engine.CommState;
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(view.TimerStopped);
}

// The waits for the user or the controller have no time-out of their own: a line that is gone ends them
// with the usual disconnect. They send nothing, so they see it once the port's thread has, not before.
struct UntimedWait {
  const char* Name;
  int AppVersion, State;
  void (*Request)(CommsEngine&);
  CommsWindow Window;
  const char* Left;  // what the wait may leave the controller in, told after "Lost Connection"
};
const UntimedWait UntimedWaits[] = {
    {"IrLearn", 400, 564, [](CommsEngine& e) { e.IrLearnNumber = 5; }, CommsWindow::IrLearnPanel,
     "IR Learn end not confirmed: the controller's IR receiver may be left learning"},
    {"OlderX10Monitor", 212, 522, [](CommsEngine& e) { e.X10MonitorRequest = 1; }, CommsWindow::X10Monitor,
     "X10 Monitor end not confirmed: the controller may go on sending its X10 event reports"},
    {"AutoAddressing", 400, 592, [](CommsEngine& e) { e.AutoAddressRequest = 1; }, CommsWindow::AutoAddressPanel,
     "Last Module Number 0 not sent"},
};

void PrintTo(const UntimedWait& wait, std::ostream* out) { *out << wait.Name; }

class LineGoneTest : public EngineTest, public ::testing::WithParamInterface<UntimedWait> {};

TEST_P(LineGoneTest, EndsTheWaitWithTheUsualDisconnect) {
  const UntimedWait& wait = GetParam();
  Connect();
  engine.AppVersion = wait.AppVersion;  // which X10 monitor runs
  wait.Request(engine);
  ASSERT_TRUE(RunToState(wait.State, 40));
  ASSERT_TRUE(view.IsShown(wait.Window));
  ASSERT_TRUE(HangUpSeen());
  ASSERT_TRUE(RunToState(0, 40));
  EXPECT_EQ(Ui().Messages(), (std::vector<std::string>{"Lost Connection", wait.Left}));
  EXPECT_FALSE(view.IsShown(wait.Window));
}

INSTANTIATE_TEST_SUITE_P(Waits, LineGoneTest, ::testing::ValuesIn(UntimedWaits),
                         [](const auto& info) { return std::string(info.param.Name); });

// Commands whose answers the conversation takes as they come are still told when refused, and not sent again.
TEST_F(EngineTest, ARefusedSingleCommandIsLoggedAndNotSentAgain) {
  using testing_support::SimClockFrame;
  struct Case {
    const char* Operation;
    int Code, Nth;
    std::function<void(CommsEngine&)> Request;
    int At = 0;  // in this state the user does what Then does
    std::function<void(CommsEngine&)> Then = nullptr;
  };
  const Case cases[] = {
      {"Clock Set", SimClockFrame, 1, [](CommsEngine& e) { e.SetClockRequest = 1; }},
      {"Parameter Change", CmdSetControllerParam, 1,
       [](CommsEngine& e) { e.CommandQueue[0] = {CmdSetControllerParam, 9, 0, 5, 0, 0}; }},
      {"Module Parameter Change", CmdWriteModuleParam, 1,
       [](CommsEngine& e) {
         e.ParamChangeModule = 2;
         e.ParamChangeNumber = 5;
         e.ParamChangeValue = 7;
         e.ParamChangeRequest = 1;
       }},
      {"X10 Command", CmdSendX10, 1,
       [](CommsEngine& e) {
         e.X10Key = 18;
         e.X10SendRequest = 2;
       }},
      {"Extended X10 Command", CmdExtendedX10, 1,
       [](CommsEngine& e) {
         e.ExtX10Command = {1, 2, 0x20, '1'};
         e.ExtX10Request = 1;
       }},
      {"Relay Command", CmdRelay, 1,
       [](CommsEngine& e) {
         e.RelayPoint = 3;
         e.RelayRequest = 2;
       }},
      {"Raw Command", CmdStopInterpreter, 1,
       [](CommsEngine& e) {
         e.RawCommand = {CmdStopInterpreter, 0, 0, 0, 0, 0};
         e.RawCommandRequest = 1;
       }},
      {"IR Transmit Command", CmdTransmitIr, 1, [](CommsEngine& e) { e.IrTransmitNumber = 3; }},
      {"IR Clear Command", CmdClearIr, 1, [](CommsEngine& e) { e.IrClearNumber = 3; }},
      {"Remote IR Command", CmdRemoteIr, 1,
       [](CommsEngine& e) {
         e.RemoteIrNumber = 3;
         e.RemoteIrRequest = 2;
       }},
      {"Transmit Command", CmdVoiceTransmit, 1,
       [](CommsEngine& e) {
         e.TransmitCode = 4;
         e.TransmitRequest = 2;
       }},
      {"Change Data", CmdChangeTimerVar, 1,
       [](CommsEngine& e) {
         e.ChangeDataValue = 5;
         e.ChangeDataKind = 0;
         e.ChangeDataRequest = 3;
       }},
      {"Auto Address Command", CmdFindModule, 1, [](CommsEngine& e) { e.AutoAddressRequest = 1; }, 592,
       [](CommsEngine& e) { e.AbortRequest = 1; }},
      {"Last Module Number", CmdSetControllerParam, 1, [](CommsEngine& e) { e.AutoAddressRequest = 1; }, 592,
       [](CommsEngine& e) { e.AbortRequest = 1; }},
  };
  Connect();
  view.Detail = true;
  for (Byte refusal : Refusals)
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.Operation) + " refused with " + std::to_string(refusal));
      sim.SetRefusalByte(refusal);
      view.Log.clear();
      sim.RefuseCommand(c.Code, c.Nth);
      c.Request(engine);
      ASSERT_TRUE(RunUntil(
          [&] {
            if (c.Then && engine.CommState == c.At) c.Then(engine);
            return view.Logged(std::string(c.Operation) + " refused by the controller") && engine.CommState == 110;
          },
          600));
      EXPECT_EQ(CountLog(view, "Comms Retry"), 0);
      EXPECT_NE(view.Texts[CommsText::Step], "Clear IR Command Sent");
    }
}

// A reply that is whole on the twelfth wait tick is taken: the time-out's retry is counted, but the
// exchange goes on instead of sending the frame again.
TEST_F(EngineTest, AReplyWholeOnTheTwelfthWaitTickIsTaken) {
  expectedRetries = 2;  // the time-out of each case
  using testing_support::SimBytes;
  const auto blockReply = [](const SimBytes& request) {
    SimBytes reply(request.begin(), request.begin() + BlockDataOffset);
    reply.resize(BlockReplySize - 2);
    const std::uint16_t crc = Crc16(reply, BlockReplySize - 3);
    reply.push_back(static_cast<Byte>(crc & 0xFF));
    reply.push_back(static_cast<Byte>(crc >> 8));
    return reply;
  };
  const struct {
    const char* What;
    std::function<void()> Request;
    int Wait, Next;
    std::function<SimBytes(const SimBytes&)> Reply;
  } cases[] = {
      {"I/O poll", [] {}, 113, 114, blockReply},
      {"relay", [&] { engine.RelayRequest = 2; }, 581, 110,
       [](const SimBytes&) {
         return SimBytes{Ack, 0, 0};
       }},
  };
  Connect();
  view.Detail = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    c.Request();
    ASSERT_TRUE(RunToState(c.Wait - 1, 40));
    sim.IgnoreNext(1);
    for (int tick = 0; tick < 12; ++tick) Step();  // the send and eleven ticks of waiting
    ASSERT_EQ(engine.CommState, c.Wait);
    const std::size_t frames = sim.ReceivedCount();
    const SimBytes reply = c.Reply(sim.LastFrame()->Bytes);
    sim.Push(reply);
    ASSERT_TRUE(serial::test::PumpIn(port, static_cast<std::int32_t>(reply.size())));
    Step();
    EXPECT_EQ(engine.CommState, c.Next);
    EXPECT_EQ(engine.RetryCount, 0);
    EXPECT_EQ(sim.ReceivedCount(), frames) << "nothing sent again";
    EXPECT_EQ(view.Log.front().rfind("Comms Retry    timeout", 0), 0u);
  }
}

// The ninth retry in a row ends the connection, even when the answer becomes whole on that very tick: the
// state does not move on after it, and the transfer told cut short is not then done.
class NinthRetryTest : public EngineTest {
 protected:
  NinthRetryTest() { sim.DriveLineClock(); }
};

TEST_F(NinthRetryTest, AnAnswerOnTheTickOfTheNinthRetryDoesNotMoveTheStateOn) {
  Connect();
  engine.RequestTouchLoad();
  ASSERT_TRUE(RunToState(901, 20)) << engine.CommState;
  // The stop block is lost eight times; its ninth sending is answered on the tick of its time-out.
  sim.IgnoreNext(8);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 8 && engine.CommState == 901; }, 200))
      << engine.CommState << " " << engine.RetryCount;
  sim.AnswerNextLate(std::chrono::milliseconds(12 * 250));
  ASSERT_TRUE(RunToState(0, 40)) << engine.CommState;
  EXPECT_TRUE(view.Logged("Touch Screen Download cut short"));
  EXPECT_FALSE(view.Logged("Touchscreen Data Downloaded OK"));
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_EQ(sim.Commands(CmdStoreTouch).size(), 0u);
  expectedRetries = 9;
}

}  // namespace
}  // namespace controller::test
