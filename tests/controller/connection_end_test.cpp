// What a connection was asked to do ends with it, however it ends; the running work is named by its
// states and asked about before an end cuts it.
#include "controller/comms_engine.h"

#include <functional>

#include "controller/param_requests.h"
#include "engine_fixture.h"
#include "scripted_dial_up.h"
#include "support/serial_port_helpers.h"

namespace controller::test {
namespace {

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
  if (c.How == End::Unplugged) {
    ASSERT_TRUE(HangUpSeen());
  }
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
      {"three transfers not started", 110,
       [&](CommsEngine& e) {
         program(e);
         e.PagerLoadRequest = e.IconLoadRequest = 1;
       },
       Ending::Exit,
       "The Program Download, the Icon Download and the Pager Messages have not started yet: closing now drops "
       "them, and they are not sent. Still close?"},
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

}  // namespace
}  // namespace controller::test
