// Connecting: a port that cannot be opened, the dial-up roads and their connect reports, a user who gives up
// waiting, and the road a connection keeps and reconnects on whatever is stored meanwhile.
#include "controller/comms_engine.h"

#include <functional>

#include "engine_fixture.h"
#include "scripted_dial_up.h"
#include "support/serial_port_helpers.h"

namespace controller::test {
namespace {

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

}  // namespace
}  // namespace controller::test
