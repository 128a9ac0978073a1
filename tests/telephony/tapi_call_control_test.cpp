#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "serial/lk_exception.h"
#include "tapi_fixture.h"

namespace telephony::test {
namespace {

using namespace platform;
using testing_support::SimCallOutcome;

std::int32_t RaisedCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const serial::ELkException& e) {
    return e.ErrorCode;
  }
  return 0;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

class CallControl : public TapiTest {
 protected:
  // Dials and waits for the connection.
  bool Connect() {
    MakeDevice();
    device->Dial("5551234");
    return ProcessUntil([&] { return events.Count("connect") == 1; });
  }

  std::vector<std::uint32_t> StatusMessages;
  void RecordStatus() {
    device->OnTapiStatus = [this](tk::Component*, bool, bool, std::uint32_t, std::uint32_t message, std::uint32_t,
                                  std::uint32_t, std::uint32_t) { StatusMessages.push_back(message); };
  }
};

TEST_F(CallControl, ADialledCallConnectsAndTheDataRunsOverThePort) {
  ASSERT_TRUE(Connect());
  EXPECT_EQ(events.Fired, (std::vector<std::string>{"port open", "connect"}));
  EXPECT_EQ(sim.LastDialled, "5551234");
  EXPECT_EQ(sim.LastOpenDevice, 1u);
  EXPECT_EQ(sim.LastOpenPrivilege, LINECALLPRIVILEGE_NONE);
  EXPECT_EQ(sim.LastCallParams.dwTotalSize, 112u);
  EXPECT_EQ(sim.LastCallParams.dwBearerMode, LINEBEARERMODE_VOICE);
  EXPECT_EQ(sim.LastCallParams.dwMediaMode, LINEMEDIAMODE_DATAMODEM);
  EXPECT_EQ(sim.LastCallParams.dwCallParamFlags, LINECALLPARAMFLAGS_IDLE);
  EXPECT_EQ(sim.LastCallParams.dwAddressMode, LINEADDRESSMODE_ADDRESSID);
  EXPECT_TRUE(device->Connected());
  EXPECT_EQ(device->TapiState(), tsConnected);
  EXPECT_EQ(device->BPSRate(), 9600);

  // The port runs on the call's own line.
  ASSERT_TRUE(port->Open());
  EXPECT_NE(port->TapiCid(), 0);
  ASSERT_NE(sim.Pty(), nullptr);
  ASSERT_TRUE(sim.Pty()->WriteMaster(Bytes("OK\r\n")));
  ASSERT_TRUE(ProcessUntil([&] { return port->InBuffUsed() >= 4; }));
  char in[4];
  ASSERT_EQ(port->GetBlock(in, 4), 4);
  EXPECT_EQ(std::string(in, 4), "OK\r\n");
  port->PutString("ATI0\r");
  EXPECT_EQ(sim.Pty()->ReadMaster(5), Bytes("ATI0\r"));

  EXPECT_EQ(events.Logs, (std::vector<TTapiLogCode>{ltapiCallStart, ltapiDial, ltapiConnect}));
}

TEST_F(CallControl, CancellingAConnectedCallClosesThePortWithoutAFailure) {
  ASSERT_TRUE(Connect());
  device->CancelCall();
  EXPECT_FALSE(port->Open());
  EXPECT_EQ(port->TapiCid(), 0);
  EXPECT_EQ(events.Fired, (std::vector<std::string>{"port open", "connect", "port close"}));
  EXPECT_EQ(sim.Count("lineDrop"), 1);
  EXPECT_EQ(sim.Count("lineDeallocateCall"), 1);
  EXPECT_FALSE(sim.AnyLineOpen());
  EXPECT_EQ(device->TapiState(), tsIdle);
  EXPECT_EQ(events.Logs, (std::vector<TTapiLogCode>{ltapiCallStart, ltapiDial, ltapiConnect, ltapiCancel, ltapiDrop,
                                                    ltapiCallFinish}));
}

TEST_F(CallControl, TheFarEndHangingUpClosesThePortAndALaterCancelReportsNothing) {
  ASSERT_TRUE(Connect());
  sim.HangUpFarEnd();
  ASSERT_TRUE(ProcessUntil([&] { return events.Count("port close") == 1; }));
  EXPECT_FALSE(port->Open());
  EXPECT_FALSE(device->LineInUse());
  EXPECT_EQ(events.Logs.back(), ltapiCallFinish);
  // The communications window's disconnect follows; the call has already been reported as ended.
  events.Logs.clear();
  device->CancelCall();
  ProcessUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(events.Fired, (std::vector<std::string>{"port open", "connect", "port close"}));
  EXPECT_EQ(events.Logs, std::vector<TTapiLogCode>{ltapiCancel});
}

TEST_F(CallControl, AFailedCallIsRetriedAfterTheWaitAndReportedOnceAtTheEnd) {
  struct Case {
    SimCallOutcome Outcome;
    int BusyLogs;
  };
  for (const Case& c :
       {Case{SimCallOutcome::Busy, 3}, Case{SimCallOutcome::BusyDetail, 3}, Case{SimCallOutcome::NoAnswer, 0}}) {
    SCOPED_TRACE(static_cast<int>(c.Outcome));
    sim.Outcomes.assign(3, c.Outcome);
    MakeDevice();
    RecordStatus();
    device->SetRetryWait(3);
    device->Dial("5551234");
    ASSERT_TRUE(Settled());
    EXPECT_EQ(sim.Count("lineMakeCall"), 3);
    EXPECT_EQ(device->Attempt(), 3);
    EXPECT_EQ(events.Count("fail"), 1);
    EXPECT_EQ(events.Count("connect"), 0);
    EXPECT_EQ(std::count(events.Logs.begin(), events.Logs.end(), ltapiBusy), c.BusyLogs);
    EXPECT_EQ(std::count(events.Logs.begin(), events.Logs.end(), ltapiCallStart), 1);
    EXPECT_EQ(std::count(events.Logs.begin(), events.Logs.end(), ltapiDial), 3);
    ASSERT_GE(events.Logs.size(), 3u);
    EXPECT_EQ(std::vector<TTapiLogCode>(events.Logs.end() - 3, events.Logs.end()),
              (std::vector<TTapiLogCode>{ltapiDrop, ltapiCallFinish, ltapiDialFail}));
    // Two waits of three seconds: two countdown statuses each.
    EXPECT_EQ(std::count(StatusMessages.begin(), StatusMessages.end(), 32u), 4);
    EXPECT_FALSE(sim.AnyLineOpen());
    owner = std::make_unique<tk::Component>(nullptr);
    events = {};
    StatusMessages.clear();
    sim.Called.clear();
  }
}

TEST_F(CallControl, AnAttemptThatFailsAtOnceFiresTheFailEventOrRaisesWithoutOne) {
  for (SimCallOutcome outcome : {SimCallOutcome::Refused, SimCallOutcome::ReplyFails}) {
    for (bool handler : {true, false}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(outcome)) + (handler ? " handled" : " unhandled"));
      sim.Outcomes = {outcome};
      MakeDevice();
      if (!handler) device->OnTapiFail = nullptr;
      EXPECT_EQ(RaisedCode([&] { device->Dial("5551234"); }), handler ? 0 : -13805);
      EXPECT_EQ(events.Count("fail"), handler ? 1 : 0);
      EXPECT_FALSE(device->Dialing());
      EXPECT_FALSE(device->RetryTimerActive());
      EXPECT_FALSE(sim.AnyLineOpen());
      EXPECT_EQ(sim.Count("lineMakeCall"), 1);
      owner = std::make_unique<tk::Component>(nullptr);
      events = {};
      sim.Called.clear();
    }
  }
}

TEST_F(CallControl, AReplyThatNeverComesIsAFailedAttempt) {
  sim.Outcomes = {SimCallOutcome::NoReply};
  MakeDevice();
  device->Timings.ReplyTimeoutMs = 100;
  device->Dial("5551234");
  EXPECT_EQ(events.Count("fail"), 1);
  EXPECT_FALSE(device->Dialing());
  EXPECT_FALSE(sim.AnyLineOpen());
  EXPECT_EQ(events.Logs.back(), ltapiDialFail);
}

TEST_F(CallControl, ACallWhoseLineCannotBeHandedToThePortIsAFailedAttemptAndRetried) {
  sim.Outcomes.assign(2, SimCallOutcome::NoHandle);
  MakeDevice();
  device->SetMaxAttempts(2);
  device->SetRetryWait(1);
  device->Dial("5551234");
  ASSERT_TRUE(Settled());
  EXPECT_EQ(sim.Count("lineMakeCall"), 2);
  EXPECT_EQ(sim.Count("lineDrop"), 2);
  EXPECT_EQ(events.Fired, std::vector<std::string>{"fail"});
  EXPECT_FALSE(port->Open());
  EXPECT_EQ(port->TapiCid(), 0);
  EXPECT_FALSE(sim.AnyLineOpen());
}

TEST_F(CallControl, CancellingDuringTheRetryWaitEndsTheSequenceAndReportsTheFailure) {
  sim.Outcomes = {SimCallOutcome::Busy};
  MakeDevice();
  RecordStatus();
  device->SetRetryWait(1);
  device->Timings.RetryTickMs = 60000;  // the test ticks
  device->Dial("5551234");
  ASSERT_TRUE(ProcessUntil([&] { return device->RetryTimerActive(); }));
  events.Logs.clear();
  device->CancelCall();
  device->RetryTimerTick();  // the tick that would have made the next attempt
  EXPECT_EQ(sim.Count("lineMakeCall"), 1);
  EXPECT_FALSE(device->Dialing());
  EXPECT_EQ(events.Count("fail"), 1);
  EXPECT_EQ(events.Logs, (std::vector<TTapiLogCode>{ltapiCancel, ltapiCallFinish, ltapiDialFail}));
}

TEST_F(CallControl, DialingNeedsATelephonyPortAndNoCallInProgress) {
  struct Case {
    bool WithPort;
    serial::TTapiMode Mode;
    std::int32_t Raised;
  };
  for (const Case& c : {Case{false, serial::tmAuto, -1005}, Case{true, serial::tmOff, -13929},
                        Case{true, serial::tmNone, -13929}, Case{true, serial::tmAuto, 0}}) {
    sim.Outcomes = {SimCallOutcome::Ringing};
    MakeDevice(c.WithPort);
    if (port) port->SetTapiMode(c.Mode);
    EXPECT_EQ(RaisedCode([&] { device->Dial("5551234"); }), c.Raised);
    if (port) {
      EXPECT_EQ(port->TapiMode(), c.Raised ? c.Mode : serial::tmOn);
    }
    owner = std::make_unique<tk::Component>(nullptr);
    port = nullptr;
  }

  ASSERT_TRUE(Connect());
  try {
    device->Dial("5559999");
    ADD_FAILURE() << "dialled over a call";
  } catch (const serial::ETapiBusy& e) {
    EXPECT_EQ(e.ErrorCode, -13928);
    EXPECT_STREQ(e.what(), "TAPI already open, dialing or answering");
  }
  EXPECT_TRUE(port->Open());
  EXPECT_EQ(device->TapiState(), tsConnected);
  EXPECT_EQ(sim.Count("lineMakeCall"), 2);  // the ringing one above and this call
}

TEST_F(CallControl, ASecondConnectedReportChangesNothing) {
  ASSERT_TRUE(Connect());
  const int ids = sim.Count("lineGetID");
  device->DoLineCallState(device->CallHandle(), LINECALLSTATE_CONNECTED, 0, LINEMEDIAMODE_DATAMODEM);
  EXPECT_EQ(events.Count("connect"), 1);
  EXPECT_EQ(events.Count("port open"), 1);
  EXPECT_EQ(sim.Count("lineGetID"), ids);
  EXPECT_TRUE(port->Open());
}

TEST_F(CallControl, OfferedCallsAreAnsweredByTheirMedia) {
  struct Case {
    std::uint32_t Media;
    bool Voice;
    bool Answered;
  };
  const std::vector<Case> cases = {
      {LINEMEDIAMODE_DATAMODEM, false, true},       {LINEMEDIAMODE_G3FAX, false, true},
      {LINEMEDIAMODE_UNKNOWN, false, true},         {LINEMEDIAMODE_INTERACTIVEVOICE, false, false},
      {LINEMEDIAMODE_AUTOMATEDVOICE, false, false}, {LINEMEDIAMODE_AUTOMATEDVOICE, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Media) + (c.Voice ? " voice" : ""));
    MakeDevice();
    device->SetEnableVoice(c.Voice);
    device->AutoAnswer();
    EXPECT_EQ(sim.LastOpenPrivilege, LINECALLPRIVILEGE_OWNER);
    EXPECT_EQ(sim.LastOpenMedia, c.Voice ? LINEMEDIAMODE_AUTOMATEDVOICE : LINEMEDIAMODE_DATAMODEM);
    sim.Offer(c.Media, 2, LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "5557777 ", "Kivra");
    ProcessUntil([&] { return events.Count("connect") == 1; }, std::chrono::milliseconds(c.Answered ? 3000 : 200));
    EXPECT_EQ(sim.Count("lineAccept"), c.Answered ? 1 : 0);
    EXPECT_EQ(sim.Count("lineAnswer"), c.Answered ? 1 : 0);  // at the second ring
    EXPECT_EQ(events.Count("connect"), c.Answered ? 1 : 0);
    // A voice call keeps the port to itself: no data runs over it.
    EXPECT_EQ(port->Open(), c.Answered && !c.Voice);
    if (c.Answered) {
      EXPECT_FALSE(device->Outgoing());
      EXPECT_EQ(device->CallerID(), "5557777 ");
      EXPECT_EQ(std::count(events.Logs.begin(), events.Logs.end(), ltapiAccept), 1);
      EXPECT_EQ(std::count(events.Logs.begin(), events.Logs.end(), ltapiAnswer), 1);
    }
    owner = std::make_unique<tk::Component>(nullptr);
    events = {};
    sim.Called.clear();
  }
}

TEST_F(CallControl, CallerIdentityFollowsItsFlags) {
  struct Case {
    std::uint32_t Flags;
    std::string Id, Name;
  };
  const std::vector<Case> cases = {
      {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "5557777", "Kivra"},
      {LINECALLPARTYID_BLOCKED, "Caller ID Blocked", "Caller ID Blocked"},
      {LINECALLPARTYID_OUTOFAREA, "Out of Area Call", "Out of Area Call"},
      {LINECALLPARTYID_UNKNOWN, "Unknown", "Unknown"},
      {LINECALLPARTYID_UNAVAIL, "Unavailable", "Unavailable"},
      {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNAVAIL, "5557777", "Unavailable"},
      {0, "5557777", "Kivra"},
  };
  for (const Case& c : cases) {
    MakeDevice();
    std::string heard;
    device->OnTapiCallerID = [&](tk::Component*, const std::string& id, const std::string& name) {
      heard = id + "|" + name;
    };
    device->AutoAnswer();
    sim.Offer(LINEMEDIAMODE_DATAMODEM, 0, c.Flags, "  5557777 ", "Kivra ");
    ASSERT_TRUE(ProcessUntil([&] { return device->CallHandle() != 0; }));
    device->DoLineCallInfo(device->CallHandle(), LINECALLINFOSTATE_CALLERID, 0, 0);
    const auto trimmed = [](const std::string& s) { return platform::Trim(s); };
    EXPECT_EQ(trimmed(device->CallerID()), c.Id) << c.Flags;
    EXPECT_EQ(trimmed(device->CallerIDName()), c.Name) << c.Flags;
    EXPECT_EQ(heard, c.Id + "|" + c.Name);
    owner = std::make_unique<tk::Component>(nullptr);
  }
}

TEST_F(CallControl, StatusTextsNameTheStateTheReasonAndTheCountdown) {
  MakeDevice();
  struct Case {
    std::uint32_t Message, State, Reason;
    std::string Text;
  };
  const std::vector<Case> cases = {
      {LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, "Line is idle"},
      {LINE_CALLSTATE, LINECALLSTATE_CONNECTED, 0, "Connected!"},
      {LINE_CALLSTATE, LINECALLSTATE_PROCEEDING, 0, "Proceeding..."},
      {LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY, "Call disconnected (Line was Busy)"},
      {LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL,
       "Call disconnected (Normal Hangup by Remote)"},
      {LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED, 0, "Call disconnected (Reason Unspecified)"},
      {LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 0, "Ringing"},
      {LINE_REPLY, 1, 0, "TAPI line reply"},
      {5, 2, 0, "Called number is busy"},
      {32, 8, 0, "Waiting for retry in 0 seconds"},
  };
  for (const Case& c : cases) EXPECT_EQ(device->TapiStatusMsg(c.Message, c.State, c.Reason), c.Text);
  EXPECT_EQ(TLkCustomTapiDevice::TapiLogToString(ltapiNone), "None");
  EXPECT_EQ(TLkCustomTapiDevice::TapiLogToString(ltapiAccept), "Accepting an incoming call");
  EXPECT_EQ(TLkCustomTapiDevice::TapiLogToString(ltapiReceivedDigit), "Received a DTMF tone");
  EXPECT_EQ(TLkCustomTapiDevice::StateFromCallState(LINECALLSTATE_RINGBACK), tsRingback);
  EXPECT_EQ(TLkCustomTapiDevice::StateFromCallState(LINECALLSTATE_DISCONNECTED), tsDisconnected);
  EXPECT_EQ(TLkCustomTapiDevice::StateFromCallState(0x10000), tsUnknown);
  EXPECT_EQ(TLkCustomTapiDevice::StateFromCallState(0x140), tsUnknown);
}

}  // namespace
}  // namespace telephony::test
