// The AT modem engine against the simulated modem on a pseudo-terminal (and, for DTR, a fake device).
#include "telephony/modem_engine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <atomic>
#include <thread>

#include "modem_test_support.h"
#include "serial/error_codes.h"
#include "support/fake_serial_device.h"
#include "support/temp_dir.h"
#include "telephony/modem_component.h"

namespace telephony_test {
namespace {

using namespace telephony;
using testing_support::SimDialOutcome;

const char* const kStatusNames[] = {"OK",         "Connect",     "Busy",          "Voice",         "NoCarrier",
                                    "NoDialTone", "Error",       "LineSpeed",     "ErrCorrection", "Compression",
                                    "CmdTimeout", "DialTimeout", "AnswerTimeout", "DialCount",     "AnswerCount",
                                    "Ring",       "IsConnected", "ConnectFailed", "Processed"};

EventLog* gMessages = nullptr;

void RecordMessage(std::uint32_t msg, std::uint32_t wParam, std::intptr_t lParam) {
  std::string line = kStatusNames[msg - kModemMessageBase];
  if (msg == ModemMessageOf(msGotLineSpeed))
    line += " " + std::to_string(lParam);
  else if (wParam != 0)
    line += " " + std::to_string(wParam);
  if (gMessages) gMessages->Add(line);
}

using Lines = std::vector<std::string>;

// An engine record on the simulated modem's port, started, with short pauses.
struct EngineLine : ModemLine {
  EngineLine() {
    TModemInfo info = DefModemData();
    info.LockDTE = false;
    EXPECT_EQ(mInitModem(rec, port.GetDispatcher(), ModemInfoToData(info)), 0);
    gMessages = &log;
    mSetTildeDelay(rec, 1);
    mSetModemDelayFactor(rec, 1);
    mRegisterModemHandler(rec, nullptr, &RecordMessage);
    EXPECT_EQ(mStartModem(rec), 0);
  }
  ~EngineLine() {
    mDoneModem(rec);
    gMessages = nullptr;
  }
  bool Logged(const Lines& expected, std::chrono::milliseconds deadline = 5000ms) {
    return Until([&] { return log.Lines().size() >= expected.size(); }, deadline) && log.Lines() == expected;
  }
  // The carriage returns the modem received after the first command line.
  int ReturnsAfterCommand() {
    int count = 0;
    for (const auto& r : sim.Received()) count += r.Byte == '\r';
    return count - 1;
  }
  template <class F>
  void Poke(F change) {
    std::lock_guard lock(rec->Lock);
    change(*rec);
  }

  TModemRec* rec = nullptr;
};

TEST(ModemCommandText, CaretsControlAndTildesPause) {
  constexpr int P = 0x100;
  struct Case {
    const char* text;
    std::vector<int> bytes;
  } cases[] = {
      {"ATZ^M", {'A', 'T', 'Z', 13}},
      {"^^", {30}},
      {"AT^", {'A', 'T', '^'}},
      {"^m^`", {13, '^', '`'}},
      {"+++~~~ATH0^M", {'+', '+', '+', P, P, P, 'A', 'T', 'H', '0', 13}},
  };
  for (const Case& c : cases) EXPECT_EQ(ModemCommandBytes(c.text), c.bytes) << c.text;
}

TEST(ModemEngine, CommandsNeedAStartedIdleEngine) {
  EngineLine line;
  line.sim.IgnoreCommand("ATI");
  TModemRec* rec = line.rec;
  EXPECT_EQ(mStartModem(rec), ecModemBusy);
  EXPECT_EQ(mAutoAnswerModem(rec, 0), serial::ecBadArgument);
  EXPECT_EQ(mCancelDialAnswer(rec), ecModemNotDialing);
  EXPECT_EQ(mExtendConnectAttempt(rec, 5), ecModemNotDialing);

  ASSERT_EQ(mPutModemCommand(rec, "ATI^M"), 0);  // never answered: the engine stays busy
  for (std::int32_t rc : {mPutModemCommand(rec, "ATZ^M"), mDialModem(rec, "1"), mAnswerModem(rec),
                          mAutoAnswerModem(rec, 1), mConfigureModem(rec)})
    EXPECT_EQ(rc, ecModemBusy);
  EXPECT_EQ(mCancelDialAnswer(rec), ecModemNotDialing);

  mStopModem(rec);
  for (std::int32_t rc :
       {mPutModemCommand(rec, "ATZ^M"), mDialModem(rec, "1"), mAnswerModem(rec), mAutoAnswerModem(rec, 1),
        mConfigureModem(rec), mHangupModem(rec), mExtendConnectAttempt(rec, 1), mWaitOnResponse(rec)})
    EXPECT_EQ(rc, ecModemNotStarted);
  EXPECT_EQ(mCancelDialAnswer(rec), ecModemNotDialing);
}

TEST(ModemEngine, ACommandEndsWithItsResult) {
  struct Case {
    const char* command;
    Lines messages;
  } cases[] = {
      {"ATZ^M", {"OK", "Processed 1"}},
      {"ATX9^M", {"Error", "Processed 2"}},
      {"ATI^M", {"CmdTimeout", "Processed 3"}},
  };
  for (const Case& c : cases) {
    EngineLine line;
    line.sim.RefuseCommand("X9");
    line.sim.IgnoreCommand("ATI");
    mSetModemCmdTimeout(line.rec, 6);
    ASSERT_EQ(mPutModemCommand(line.rec, c.command), 0);
    EXPECT_EQ(mWaitOnResponse(line.rec), 0);
    EXPECT_TRUE(line.Logged(c.messages)) << c.command;
    EXPECT_EQ(mGetLastMessage(line.rec), ModemMessageOf(msCommandProcessed));
    // The modem echoes the command; that is the line the engine saw last.
    EXPECT_EQ(mGetLastResponse(line.rec), std::string(c.command).substr(0, std::string(c.command).size() - 2));
  }
}

TEST(ModemEngine, ConfigureSendsEachPieceInTurn) {
  EngineLine line;
  line.sim.RefuseCommand("&C9");
  ASSERT_EQ(mSetModemText(line.rec, mtConfigCmd, "ATE1Q0^M|AT&C9^M||ATS0=0^M"), 0);
  EXPECT_EQ(mConfigureModem(line.rec), 0);
  EXPECT_EQ(line.sim.Commands(), (Lines{"ATE1Q0", "AT&C9", "ATS0=0"}));
  EXPECT_EQ(line.log.Lines(), (Lines{"OK", "Processed 1", "Error", "Processed 2", "OK", "Processed 1"}));

  // A piece longer than its buffer is refused before anything goes out.
  ASSERT_EQ(mSetModemText(line.rec, mtConfigCmd, "ATZ^M|AT" + std::string(41, 'L')), 0);
  EXPECT_EQ(mConfigureModem(line.rec), serial::ecBadArgument);
  EXPECT_EQ(line.sim.Commands().size(), 3u);
}

TEST(ModemEngine, ADialThatConnectsReadsTheSpeed) {
  EngineLine line;
  line.sim.ScriptDial("5551234", {{SimDialOutcome::Connect, 9600, "", 20ms}});
  ASSERT_EQ(mDialModem(line.rec, "5551234"), 0);
  EXPECT_TRUE(mIsAttemptingConnect(line.rec));
  EXPECT_TRUE(line.Logged({"Connect", "LineSpeed 9600", "IsConnected"}));
  EXPECT_EQ(line.sim.Commands(), Lines{"ATDT5551234"});
  EXPECT_TRUE(line.sim.Online());
  EXPECT_EQ(mGetConnectSpeed(line.rec), 9600);
  EXPECT_EQ(mGetLastResponse(line.rec), "CONNECT 9600");
  EXPECT_FALSE(mIsAttemptingConnect(line.rec));
  // On line, the modem's responses are all taken and what follows is the remote's, both ways.
  line.sim.SendOnline("VORMO");
  ASSERT_TRUE(serial::test::PumpIn(line.port, 5));
  char data[8] = {};
  EXPECT_EQ(line.port.InBuffUsed(), 5);
  line.port.GetBlock(data, 5);
  EXPECT_STREQ(data, "VORMO");
  line.port.PutString("hello");
  EXPECT_TRUE(Until([&] { return line.sim.OnlineData() == "hello"; }));
  // An empty number dials nothing and reports nothing.
  line.log.Clear();
  EXPECT_EQ(mDialModem(line.rec, ""), 0);
  Pass(100ms);
  EXPECT_TRUE(line.log.Lines().empty());
}

TEST(ModemEngine, ConnectWithoutASpeedMeans300AfterTheWait) {
  EngineLine line;
  line.sim.SetDefaultDial({SimDialOutcome::Connect, 0, "", 10ms});
  line.Poke([](TModemRec& r) { r.SpeedWait = 4; });
  ASSERT_EQ(mDialModem(line.rec, "7"), 0);
  EXPECT_TRUE(line.Logged({"Connect", "LineSpeed 300", "IsConnected"}));
  EXPECT_EQ(mGetConnectSpeed(line.rec), 300);
}

TEST(ModemEngine, FeatureTagsEndTheFeatureWaitEarly) {
  EngineLine line;
  TModemTagList ec, dc;
  ec.Count = dc.Count = 1;
  SetModemField(ec.Tags[0], "ARQ");
  SetModemField(dc.Tags[0], "V42BIS");
  ASSERT_EQ(mSetModemTags(line.rec, ec, dc), 0);
  line.Poke([](TModemRec& r) { r.FeatureWait = 400; });  // 22 s: only the tags can end it in time
  line.sim.SetDefaultDial({SimDialOutcome::Connect, 14400, "/ARQ/V42BIS", 10ms});
  ASSERT_EQ(mDialModem(line.rec, "7"), 0);
  EXPECT_TRUE(line.Logged({"Connect", "LineSpeed 14400", "ErrCorrection", "Compression", "IsConnected"}, 3000ms));
  EXPECT_TRUE(mAllFeatureWaitOver(line.rec));
}

TEST(ModemEngine, AFailedDialEndsTheAttemptThenSaysWhy) {
  struct Case {
    SimDialOutcome outcome;
    const char* message;
    int cancels;  // only a busy line is cancelled
  } cases[] = {
      {SimDialOutcome::Busy, "Busy", 1},
      {SimDialOutcome::NoCarrier, "NoCarrier", 0},
      {SimDialOutcome::NoDialTone, "NoDialTone", 0},
      {SimDialOutcome::Voice, "Voice", 0},
      {SimDialOutcome::Error, "Error", 0},
  };
  for (const Case& c : cases) {
    EngineLine line;
    line.sim.SetDefaultDial(Result(c.outcome));
    ASSERT_EQ(mDialModem(line.rec, "42"), 0);
    EXPECT_TRUE(line.Logged({"ConnectFailed", c.message})) << c.message;
    Pass(150ms);
    EXPECT_EQ(line.ReturnsAfterCommand(), c.cancels) << c.message;
    EXPECT_FALSE(mIsAttemptingConnect(line.rec));
  }
}

TEST(ModemEngine, ADialTimesOutCountingTheSecondsThenCancels) {
  EngineLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Silent));
  mSetModemDialTimeout(line.rec, 3);
  ASSERT_EQ(mDialModem(line.rec, "42"), 0);
  EXPECT_TRUE(line.Logged({"DialCount 2", "DialCount 1", "ConnectFailed", "DialTimeout"}, 6000ms));
  EXPECT_TRUE(Until([&] { return line.ReturnsAfterCommand() == 1; }));
}

TEST(ModemEngine, ExtendingADialAddsSeconds) {
  EngineLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Silent));
  mSetModemDialTimeout(line.rec, 1);
  ASSERT_EQ(mDialModem(line.rec, "42"), 0);
  EXPECT_EQ(mExtendConnectAttempt(line.rec, 0), 0);  // no seconds: a dial keeps its time
  EXPECT_EQ(mExtendConnectAttempt(line.rec, 2), 0);
  EXPECT_TRUE(line.Logged({"DialCount 2", "DialCount 1", "ConnectFailed", "DialTimeout"}, 6000ms));
}

TEST(ModemEngine, CancellingADialReportsNothing) {
  EngineLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Silent));
  ASSERT_EQ(mDialModem(line.rec, "42"), 0);
  ASSERT_TRUE(Until([&] { return line.sim.Dialled().size() == 1; }));
  EXPECT_EQ(mCancelDialAnswer(line.rec), 0);
  EXPECT_FALSE(mIsAttemptingConnect(line.rec));
  Pass(200ms);
  EXPECT_EQ(line.ReturnsAfterCommand(), 1);  // the modem was told, and its NO CARRIER went unheard
  EXPECT_TRUE(line.log.Lines().empty());
}

TEST(ModemEngine, AutoAnswerAnswersOnTheCountedRing) {
  EngineLine line;
  ASSERT_EQ(mAutoAnswerModem(line.rec, 2), 0);
  line.sim.Ring();
  ASSERT_TRUE(line.Logged({"Ring"}));
  line.sim.Ring();
  EXPECT_TRUE(line.Logged({"Ring", "Ring", "Connect", "LineSpeed 9600", "IsConnected"}));
  EXPECT_EQ(line.sim.Commands(), Lines{"ATA"});
}

TEST(ModemEngine, RingsTooFarApartStartTheCountAgain) {
  EngineLine line;
  mSetRingWaitTimeout(line.rec, 3);
  ASSERT_EQ(mAutoAnswerModem(line.rec, 2), 0);
  line.sim.Ring();
  ASSERT_TRUE(line.Logged({"Ring"}));
  Pass(400ms);
  line.sim.Ring();
  ASSERT_TRUE(line.Logged({"Ring", "Ring"}));
  Pass(100ms);
  EXPECT_TRUE(line.sim.Commands().empty());
  line.sim.Ring();
  EXPECT_TRUE(Until([&] { return line.sim.Commands() == Lines{"ATA"}; }));
}

TEST(ModemEngine, HangupEscapesWithGuardTimeThenHangsUp) {
  EngineLine line;
  ASSERT_EQ(mDialModem(line.rec, "42"), 0);
  ASSERT_TRUE(line.Logged({"Connect", "LineSpeed 9600", "IsConnected"}));
  line.log.Clear();
  mSetTildeDelay(line.rec, 2);
  ASSERT_EQ(mHangupModem(line.rec), 0);
  EXPECT_EQ(mWaitOnResponse(line.rec), 0);
  EXPECT_TRUE(line.Logged({"OK", "Processed 1"}));
  EXPECT_EQ(line.sim.Hangups(), 1);
  EXPECT_FALSE(line.sim.Connected());
  EXPECT_EQ(mGetConnectSpeed(line.rec), 0);
  // Three pauses of TildeDelay between the escape and the command.
  auto received = line.sim.Received();
  auto plus = std::find_if(received.rbegin(), received.rend(), [](auto& r) { return r.Byte == '+'; });
  auto a =
      std::find_if(received.begin(), received.end(), [&](auto& r) { return r.Byte == 'A' && r.When > plus->When; });
  ASSERT_NE(a, received.end());
  EXPECT_GE(a->When - plus->When, 3 * 2 * 55ms - 60ms);
}

TEST(ModemEngine, StoppingMidDialLeavesNothingBehind) {
  EngineLine line;
  line.sim.SetDefaultDial({SimDialOutcome::Busy, 0, "", 300ms});
  ASSERT_EQ(mDialModem(line.rec, "42"), 0);
  ASSERT_TRUE(Until([&] { return line.sim.Dialled().size() == 1; }));
  EXPECT_EQ(mStopModem(line.rec), 0);
  EXPECT_FALSE(mModemStarted(line.rec));
  Pass(500ms);
  EXPECT_TRUE(line.log.Lines().empty());
  // Started again, the record works as before.
  ASSERT_EQ(mStartModem(line.rec), 0);
  ASSERT_EQ(mPutModemCommand(line.rec, "ATZ^M"), 0);
  EXPECT_TRUE(line.Logged({"OK", "Processed 1"}));
}

// A window handler: the engine hands each message to the window thread and waits for it there.
class WindowHandler : public serial::NotifyTarget {
 public:
  void Post(std::shared_ptr<serial::Delivery> delivery) override {
    QMetaObject::invokeMethod(
        qApp,
        [this, delivery] {
          delivery->Run([&] {
            onWindowThread = onWindowThread && QThread::currentThread() == qApp->thread();
            log.Add(kStatusNames[delivery->Msg - kModemMessageBase]);
          });
        },
        Qt::QueuedConnection);
  }
  EventLog log;
  std::atomic<bool> onWindowThread{true};
};

TEST(ModemEngine, HandlersGetTheMessagesUntilDeregistered) {
  EngineLine line;
  WindowHandler window;
  mRegisterModemHandler(line.rec, &window, nullptr);
  ASSERT_EQ(mPutModemCommand(line.rec, "ATZ^M"), 0);
  EXPECT_EQ(mWaitOnResponse(line.rec), 0);
  EXPECT_TRUE(Until([&] { return window.log.Lines() == Lines{"OK", "Processed"}; }));
  EXPECT_TRUE(window.onWindowThread);
  EXPECT_TRUE(line.Logged({"OK", "Processed 1"}));

  mDeregisterModemHandler(line.rec, &window, nullptr);
  mDeregisterModemHandler(line.rec, nullptr, &RecordMessage);
  ASSERT_EQ(mPutModemCommand(line.rec, "ATZ^M"), 0);
  EXPECT_EQ(mWaitOnResponse(line.rec), 0);
  Pass(100ms);
  EXPECT_EQ(window.log.Lines().size(), 2u);
  EXPECT_EQ(line.log.Lines().size(), 2u);
}

TEST(ModemEngineDtr, AHangupByDtrDropsTheLineForTheHold) {
  FakeDevicePort line;
  serial::TLkComPort& port = line.port;
  port.SetOpen(true);
  testing_support::FakeSerialDevice* fake = line.fake;
  ASSERT_NE(fake, nullptr);
  for (const char* command : {"DTR", "dtr", ""}) {
    TModemInfo info = DefModemData();
    info.HangupCmd = command;
    TModemRec* rec = nullptr;
    ASSERT_EQ(mInitModem(rec, port.GetDispatcher(), ModemInfoToData(info)), 0);
    ASSERT_EQ(mStartModem(rec), 0);
    mSetModemDTRDropHold(rec, 3);
    std::atomic<bool> sawLow{false}, stop{false};
    std::thread watch([&] {
      while (!stop)
        if (!fake->Dtr()) sawLow = true;
    });
    EXPECT_EQ(mHangupModem(rec), 0);
    stop = true;
    watch.join();
    EXPECT_TRUE(sawLow) << command;
    EXPECT_TRUE(fake->Dtr()) << command;
    EXPECT_TRUE(fake->TakeSent().empty()) << command;
    mDoneModem(rec);
  }
  port.SetOpen(false);
}

TEST(ModemEngineRates, AConnectRateThatIsNoStandardOneIsReportedAndLeavesThePortsRate) {
  FakeDevicePort line;
  line.port.SetOpen(true);
  ASSERT_NE(line.fake, nullptr);
  const std::uint32_t portRate = line.fake->Settings().Baud;
  TModemInfo info = DefModemData();
  info.LockDTE = false;
  TModemRec* rec = nullptr;
  ASSERT_EQ(mInitModem(rec, line.port.GetDispatcher(), ModemInfoToData(info)), 0);
  EventLog log;
  gMessages = &log;
  mRegisterModemHandler(rec, nullptr, &RecordMessage);
  ASSERT_EQ(mStartModem(rec), 0);
  mSetModemDelayFactor(rec, 1);
  auto connect = [&](const std::string& reply) {
    log.Clear();
    EXPECT_EQ(mDialModem(rec, "7"), 0);
    const auto start = std::chrono::steady_clock::now();
    line.fake->Receive(std::vector<std::uint8_t>(reply.begin(), reply.end()));
    EXPECT_TRUE(Until([&] { return log.Has("IsConnected"); }));
    return std::chrono::steady_clock::now() - start;
  };

  connect(testing_support::ReadFile(ZELTA_TEST_DATA_DIR "/damaged/modem-reply-connect-1.txt"));
  EXPECT_TRUE(log.Has("LineSpeed 1"));
  EXPECT_EQ(mGetConnectSpeed(rec), 1);
  ASSERT_EQ(line.fake->Settings().Baud, portRate);
  // The next line change waits at the port's rate behind the record's lock: well under a second, plus the
  // feature wait of half a second.
  EXPECT_LT(connect("CONNECT 9600\r\n"), 3s);
  EXPECT_EQ(line.fake->Settings().Baud, 9600u);
  mDoneModem(rec);
  gMessages = nullptr;
}

}  // namespace
}  // namespace telephony_test
