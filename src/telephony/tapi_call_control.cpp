// The line device while a call exists: dialling with timed retries, answering, following the call's
// states, handing the connected call's descriptor to the port and taking it back, and reporting through
// the events, the progress display and the call log.
#include <QApplication>
#include <chrono>
#include <cstring>

#include "platform/text.h"
#include "serial/error_codes.h"
#include "serial/error_text.h"
#include "telephony/tapi_device.h"
#include "telephony/tapi_status.h"

namespace telephony {

using namespace platform;

namespace {

constexpr std::int32_t ecTapiBusy = -13928;
constexpr std::int32_t ecTapiUnexpected = -13934;
constexpr std::int32_t ecTapiCallUnavail = -13805;
constexpr std::uintptr_t kRetryTimerId = 1;
// What the waits return when their time ran out.
constexpr std::int32_t kWaitTimedOut = 2;
// The status the retry wait reports every second, with the call state of a dial tone.
constexpr std::uint32_t kRetryStatusMessage = 32;
constexpr std::uint32_t kRetryStatusState = 8;

// The 1-based position of the lowest set bit; `none` for 0.
int LowestBit(std::uint32_t value, int none) {
  if (value == 0) return none;
  int n = 1;
  while (!(value & 1u)) {
    value >>= 1;
    ++n;
  }
  return n;
}

// The text with its first "%s" or "%d" replaced.
std::string FillPlaceholder(std::string text, const std::string& value) {
  for (const char* mark : {"%s", "%d"})
    if (auto at = text.find(mark); at != std::string::npos) return text.replace(at, 2, value);
  return text;
}

template <class Pred>
std::int32_t WaitUntil(Pred done, int timeoutMs, const bool& inUse, bool (*pump)()) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return 0;
    if (!inUse) return 1;
    if (std::chrono::steady_clock::now() > end) return 2;
    if (!pump()) return 1;
  }
}

}  // namespace

// states and texts

TTapiState TLkCustomTapiDevice::StateFromCallState(std::uint32_t callState) {
  if (callState == 0 || (callState & (callState - 1)) != 0 || callState > LINECALLSTATE_DISCONNECTED) return tsUnknown;
  return static_cast<TTapiState>(LowestBit(callState, 0) - 1);
}

TTapiState TLkCustomTapiDevice::TapiState() {
  if (!call_) return tsIdle;
  TapiRecord<LINECALLSTATUS> status;
  if (tuLineGetCallStatusDyn(call_, status) < 0 || !status) return tsIdle;
  return StateFromCallState(status->dwCallState);
}

std::string TLkCustomTapiDevice::TapiStatusMsg(std::uint32_t message, std::uint32_t state, std::uint32_t reason) const {
  const int n = LowestBit(state, 33);
  if (message == LINE_CALLSTATE && state == LINECALLSTATE_DISCONNECTED)
    return FillPlaceholder(serial::LkLoadStr(13515), serial::LkLoadStr(13650 + LowestBit(reason, 0)));
  if (message == kRetryStatusMessage && state == kRetryStatusState)
    return FillPlaceholder(serial::LkLoadStr(13600), std::to_string(retryCountdown_));
  const int base = message == LINE_CALLSTATE      ? 13500
                   : message == LINE_LINEDEVSTATE ? 13532
                   : message == LINE_REPLY        ? 13564
                                                  : 13596;
  return serial::LkLoadStr(base + n);
}

std::string TLkCustomTapiDevice::TapiLogToString(TTapiLogCode code) {
  static const char* const kTexts[] = {
      "None",
      "Call started",
      "Call finished",
      "Dialing",
      "Accepting an incoming call",
      "Answering an incoming call",
      "Connected",
      "Call cancelled",
      "Call drop",
      "Called number was busy",
      "Dial failed",
      "Received a DTMF tone",
  };
  const auto index = static_cast<std::size_t>(code);
  return index < std::size(kTexts) ? kTexts[index] : "";
}

std::string TLkCustomTapiDevice::CallerID() const {
  if (!callInfo_) return {};
  const std::uint32_t flags = callInfo_->dwCallerIDFlags;
  if (!(flags & LINECALLPARTYID_ADDRESS)) {
    if (flags & LINECALLPARTYID_BLOCKED) return "Caller ID Blocked";
    if (flags & LINECALLPARTYID_OUTOFAREA) return "Out of Area Call";
    if (flags & LINECALLPARTYID_UNKNOWN) return "Unknown";
    if (flags & LINECALLPARTYID_UNAVAIL) return "Unavailable";
  }
  return TapiRecordText(callInfo_.get(), callInfo_->dwCallerIDOffset, callInfo_->dwCallerIDSize);
}

std::string TLkCustomTapiDevice::CallerIDName() const {
  if (!callInfo_) return {};
  const std::uint32_t flags = callInfo_->dwCallerIDFlags;
  if (flags & LINECALLPARTYID_BLOCKED) return "Caller ID Blocked";
  if (flags & LINECALLPARTYID_OUTOFAREA) return "Out of Area Call";
  if (flags & LINECALLPARTYID_UNKNOWN) return "Unknown";
  if (flags & LINECALLPARTYID_UNAVAIL) return "Unavailable";
  return TapiRecordText(callInfo_.get(), callInfo_->dwCallerIDNameOffset, callInfo_->dwCallerIDNameSize);
}

// status and log

void TLkCustomTapiDevice::TapiStatus(bool first, bool last, std::uint32_t device, std::uint32_t message,
                                     std::uint32_t param1, std::uint32_t param2, std::uint32_t param3) {
  if (configMode_) return;
  if (statusDisplay_) statusDisplay_->UpdateDisplay(first, last, this, message, param1, param2, param3);
  if (OnTapiStatus && (message || param1 || param2 || param3))
    OnTapiStatus(this, first, last, device, message, param1, param2, param3);
}

void TLkCustomTapiDevice::TapiLogging(TTapiLogCode code) {
  if (tapiLog_) tapiLog_->UpdateLog(code);
  if (OnTapiLog) OnTapiLog(this, code);
}

void TLkCustomTapiDevice::FireTapiFail() {
  if (failureReported_) return;
  failureReported_ = true;
  if (OnTapiFail) OnTapiFail(this);
}

// placing, answering and ending calls

void TLkCustomTapiDevice::CheckReady() {
  if (!comPort_) Check(serial::ecPortNotAssigned);
  if (comPort_->TapiMode() == serial::tmAuto) comPort_->SetTapiMode(serial::tmOn);
  if (comPort_->TapiMode() != serial::tmOn) Check(serial::ecTapiNotSet);
  if (TapiState() != tsIdle) Check(ecTapiBusy);
}

void TLkCustomTapiDevice::Dial(const std::string& number) {
  CheckReady();
  attempt_ = 1;
  dialing_ = true;
  number_ = number;
  configMode_ = false;
  if (statusDisplay_) statusDisplay_->Answering = false;
  try {
    DialAttempt(false);
  } catch (...) {
    dialing_ = false;  // a first attempt that could not even start ends the sequence
    throw;
  }
}

void TLkCustomTapiDevice::AutoAnswer() {
  CheckReady();
  StartTapi();
  cancelled_ = false;
  outgoing_ = false;
  configMode_ = false;
  SetOpen(false);
  SetOpen(true);
  if (statusDisplay_) statusDisplay_->Answering = true;
}

void TLkCustomTapiDevice::ConfigAndOpen() {
  CheckReady();
  StartTapi();
  outgoing_ = false;
  configMode_ = true;
  SetOpen(false);
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
      ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    SetOpen(true);
  }
  SetOpen(false);
  DialAttempt(true);
}

void TLkCustomTapiDevice::CancelCall() {
  StopWavePlayback();
  cancelled_ = true;
  TapiLogging(ltapiCancel);
  HangupCall(true);
}

void TLkCustomTapiDevice::DialAttempt(bool passThrough) {
  if (inUse_) return;
  StartTapi();
  cancelled_ = false;
  outgoing_ = true;
  SetOpen(true);
  LINECALLPARAMS params{};
  params.dwTotalSize = sizeof params;
  params.dwBearerMode = passThrough ? LINEBEARERMODE_PASSTHROUGH : LINEBEARERMODE_VOICE;
  params.dwMediaMode = enableVoice_ ? LINEMEDIAMODE_AUTOMATEDVOICE : LINEMEDIAMODE_DATAMODEM;
  params.dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
  params.dwAddressMode = LINEADDRESSMODE_ADDRESSID;
  params.dwAddressID = 0;
  failureReported_ = false;
  TapiLogging(ltapiDial);
  const std::string number = number_;  // a zero-terminated copy
  const std::int32_t result = WaitForReply(tuLineMakeCall(line_, &call_, number.c_str(), 0, &params));
  // A reply that never came is no call: left alone, the device would stay dialling for ever.
  if (result >= 0 && result != kWaitTimedOut) return;
  TapiLogging(ltapiDialFail);
  dialing_ = false;
  HangupCall(true);
  if (!OnTapiFail) Check(ecTapiCallUnavail);
  FireTapiFail();
}

bool TLkCustomTapiDevice::HangupCall(bool cancelled) {
  if (hangingUp_) return true;
  const bool neverConnected = !connected_;
  const bool wasInUse = inUse_;
  // Between two attempts no line is held, yet the call is not over: a hang-up then still ends it.
  const bool sequenceRan = dialing_;
  if (inUse_) {
    hangingUp_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{hangingUp_};
    const bool portWasOpen = ClosePortOnCall();
    if (call_) {
      if (TapiState() != tsIdle) {
        WaitForReply(tuLineDrop(call_, nullptr, 0));
        WaitForCallState(LINECALLSTATE_IDLE);
      }
      tuLineDeallocateCall(call_);
    }
    if (line_) tuLineClose(line_);
    call_ = 0;
    line_ = 0;
    open_ = false;
    connected_ = false;
    inUse_ = false;
    if (portWasOpen && OnTapiPortClose) OnTapiPortClose(this);
    TapiLogging(ltapiDrop);
  }
  bool retry = false;
  if (cancelled) {
    dialing_ = false;
    FreeRetryTimer();
  }
  if (dialing_) {
    if (attempt_ < maxAttempts_) {
      CreateRetryTimer();
      retry = true;
    } else {
      dialing_ = false;
    }
  }
  // A line that was not held reports the end only of a dial sequence still running: a hang-up after the
  // call has ended (the disconnect that follows a failure or a lost line) must not report it again.
  if (!retry && !configMode_ && (wasInUse || (openedOnce_ && sequenceRan))) {
    TapiStatus(false, true, 0, 0, 0, 0, 0);
    TapiLogging(ltapiCallFinish);
    if (neverConnected) {
      TapiLogging(ltapiDialFail);
      FireTapiFail();
    }
  }
  hangingUp_ = false;
  inUse_ = false;
  if (!wasInUse) {
    call_ = 0;
    line_ = 0;
    open_ = false;
    connected_ = false;
    failureReported_ = false;
  }
  return true;
}

std::int32_t TLkCustomTapiDevice::WaitForReply(std::int32_t request) {
  if (replyWaitRunning_) return 1;
  if (request < 1) return request;
  replyWaitRunning_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{replyWaitRunning_};
  pendingRequest_ = request;
  replyResult_ = LINEERR_OPERATIONFAILED;
  replyReceived_ = false;
  const std::int32_t waited =
      WaitUntil([this] { return replyReceived_; }, Timings.ReplyTimeoutMs, inUse_, &PumpMessages);
  return waited == 0 ? replyResult_ : waited;
}

std::int32_t TLkCustomTapiDevice::WaitForCallState(std::uint32_t state) {
  if (stateWaitRunning_) return 1;
  stateWaitRunning_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{stateWaitRunning_};
  stateChanged_ = false;
  return WaitUntil([&] { return state == 0 ? stateChanged_ : lastCallState_ == state; }, Timings.StateTimeoutMs, inUse_,
                   &PumpMessages);
}

void TLkCustomTapiDevice::RefreshCallInfo(HCALL call) {
  TapiRecord<LINECALLINFO> info;
  if (call && tuLineGetCallInfoDyn(call, info) >= 0) {
    callInfo_ = std::move(info);
  } else {
    callInfo_.reset();
  }
}

// the port on the call

std::int32_t TLkCustomTapiDevice::CallCommHandle() {
  auto* id = reinterpret_cast<VARSTRING*>(workBuffer_.data());
  std::fill(workBuffer_.begin(), workBuffer_.end(), 0);
  id->dwTotalSize = static_cast<std::uint32_t>(workBuffer_.size());
  std::int32_t handle = -1;
  if (tuLineGetID(line_, 0, call_, LINECALLSELECT_CALL, id, "comm/datamodem") >= 0 && id->dwStringSize >= 4 &&
      id->dwStringOffset + 4 <= workBuffer_.size())
    std::memcpy(&handle, workBuffer_.data() + id->dwStringOffset, sizeof handle);
  return handle;
}

bool TLkCustomTapiDevice::OpenPortOnCall() {
  if (!comPort_) return true;
  const std::int32_t handle = CallCommHandle();
  if (handle <= 0) return false;
  OpenPortOn(handle);
  return true;
}

void TLkCustomTapiDevice::OpenPortOn(std::int32_t handle) {
  // The whole descriptor: one cut to 16 bits would be another file, or none.
  comPort_->SetOpen(false);
  comPort_->SetTapiCid(handle);
  comPort_->SetOpen(true);
  if (OnTapiPortOpen) OnTapiPortOpen(this);
}

bool TLkCustomTapiDevice::ClosePortOnCall() {
  if (!comPort_) return false;
  const bool wasOpen = comPort_->Open();
  comPort_->SetOpen(false);
  comPort_->SetTapiCid(0);
  return wasOpen;
}

// the wait between attempts

void TLkCustomTapiDevice::CreateRetryTimer() {
  FreeRetryTimer();
  retryCountdown_ = retryWait_;
  retryTimerActive_ = true;
  if (window_) window_->SetTimer(kRetryTimerId, Timings.RetryTickMs);
}

void TLkCustomTapiDevice::FreeRetryTimer() {
  if (!retryTimerActive_) return;
  retryTimerActive_ = false;
  if (window_) window_->KillTimer(kRetryTimerId);
}

void TLkCustomTapiDevice::RetryTimerTick() {
  if (!retryTimerActive_) return;
  --retryCountdown_;
  // A sequence that ended meanwhile (a cancel) makes no further attempt, whatever the countdown says.
  if (!dialing_ || (call_ && TapiState() != tsIdle)) {
    FreeRetryTimer();
    return;
  }
  if (retryCountdown_ <= 0) {
    FreeRetryTimer();
    ++attempt_;
    DialAttempt(false);
    return;
  }
  TapiStatus(false, false, 0, kRetryStatusMessage, kRetryStatusState, 0, 0);
}

// line messages

void TLkCustomTapiDevice::DoLineCallState(std::uint32_t device, std::uint32_t state, std::uint32_t detail,
                                          std::uint32_t media) {
  lastCallState_ = state;
  stateChanged_ = true;
  auto status = [&](bool first, bool last) { TapiStatus(first, last, device, LINE_CALLSTATE, state, detail, media); };
  switch (state) {
    case LINECALLSTATE_IDLE:
      status(false, false);
      HangupCall(false);
      break;
    case LINECALLSTATE_OFFERING: {
      RefreshCallInfo(device);
      if (!callInfo_) Check(ecTapiUnexpected);
      std::uint32_t accepted = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_G3FAX;
      if (enableVoice_) accepted |= LINEMEDIAMODE_AUTOMATEDVOICE;
      if (callInfo_->dwMediaMode & accepted) {
        call_ = device;
        status(true, false);
        WaitForReply(tuLineAccept(call_, nullptr, 0));
        TapiLogging(ltapiAccept);
      }
      break;
    }
    case LINECALLSTATE_ACCEPTED:
    case LINECALLSTATE_DIALING:
    case LINECALLSTATE_RINGBACK:
    case LINECALLSTATE_PROCEEDING:
      status(false, false);
      break;
    case LINECALLSTATE_DIALTONE:
      status(true, false);
      break;
    case LINECALLSTATE_BUSY:
      TapiLogging(ltapiBusy);
      status(false, false);
      HangupCall(false);
      break;
    case LINECALLSTATE_SPECIALINFO:
      status(false, false);
      HangupCall(false);
      break;
    case LINECALLSTATE_CONNECTED: {
      if (connected_) break;  // a second report for the same call
      RefreshCallInfo(device);
      std::int32_t handle = 0;
      if (!enableVoice_ && comPort_ && (handle = CallCommHandle()) <= 0) {
        // A call whose line cannot be handed to the port is no connection: the attempt failed.
        status(false, false);
        HangupCall(false);
        break;
      }
      connected_ = true;
      FreeRetryTimer();
      dialing_ = false;
      if (enableVoice_)
        StartDigitMonitoring();
      else if (comPort_)
        OpenPortOn(handle);
      status(false, true);
      if (OnTapiConnect) OnTapiConnect(this);
      TapiLogging(ltapiConnect);
      break;
    }
    case LINECALLSTATE_DISCONNECTED:
      status(false, false);
      if (detail == LINEDISCONNECTMODE_BUSY) TapiLogging(ltapiBusy);
      HangupCall(false);
      break;
    default:
      break;
  }
}

void TLkCustomTapiDevice::DoLineDevState(std::uint32_t device, std::uint32_t state, std::uint32_t param2,
                                         std::uint32_t param3) {
  switch (state) {
    case LINEDEVSTATE_RINGING:
      // Only a call this device took on can be answered.
      if (param3 >= answerOnRing_ && call_) {
        WaitForReply(tuLineAnswer(call_, nullptr, 0));
        TapiLogging(ltapiAnswer);
      }
      TapiStatus(false, false, device, LINE_LINEDEVSTATE, state, param2, param3);
      break;
    case LINEDEVSTATE_DISCONNECTED:
    case LINEDEVSTATE_OUTOFSERVICE:
    case LINEDEVSTATE_MAINTENANCE:
      HangupCall(true);
      break;
    case LINEDEVSTATE_REINIT:
      if (param2 == 0)
        StopTapi();
      else if (param2 == LINE_LINEDEVSTATE)
        DoLineDevState(device, param3, 0, 0);
      else if (param2 == LINE_CREATE)
        DoLineCreate(device, param3, 0, 0);
      break;
    default:
      break;
  }
}

void TLkCustomTapiDevice::DoLineClose(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
  line_ = 0;
  call_ = 0;
  HangupCall(true);
}

void TLkCustomTapiDevice::DoLineReply(std::uint32_t, std::uint32_t request, std::uint32_t result, std::uint32_t) {
  if (replyWaitRunning_ && static_cast<std::int32_t>(request) == pendingRequest_) {
    replyResult_ = static_cast<std::int32_t>(result);
    replyReceived_ = true;
  }
}

void TLkCustomTapiDevice::DoLineCreate(std::uint32_t, std::uint32_t newID, std::uint32_t, std::uint32_t) {
  if (newID + 1 > numDevices_) numDevices_ = newID + 1;
  EnumLineDevices();
}

void TLkCustomTapiDevice::DoLineMonitorDigits(std::uint32_t, std::uint32_t digit, std::uint32_t, std::uint32_t) {
  TapiDTMF(static_cast<char>(digit & 0xFF), 0);
  TapiLogging(ltapiReceivedDigit);
}

void TLkCustomTapiDevice::DoLineCallInfo(std::uint32_t device, std::uint32_t infoState, std::uint32_t, std::uint32_t) {
  RefreshCallInfo(device);
  if ((infoState & LINECALLINFOSTATE_CALLERID) && OnTapiCallerID)
    OnTapiCallerID(this, Trim(CallerID()), Trim(CallerIDName()));
}

void TLkCustomTapiDevice::DoLineGenerate(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void TLkCustomTapiDevice::DoLineMonitorMedia(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void TLkCustomTapiDevice::DoLineMonitorTone(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void TLkCustomTapiDevice::DoLineRequest(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}

}  // namespace telephony
