#include "telephony/modem_component.h"

#include <algorithm>

#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "tk/filer.h"

namespace telephony {

namespace {

[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkModem", [](tk::Component* owner) { return new TLkModem(owner); });
  return true;
}();

// A description's command or response string by its number (for a const or a mutable description).
template <class Info>
auto& TextOf(Info& info, TModemText which) {
  decltype(&info.InitCmd) fields[] = {&info.InitCmd,       &info.DialCmd,   &info.DialTerm,  &info.DialCancel,
                                      &info.HangupCmd,     &info.ConfigCmd, &info.AnswerCmd, &info.OkMsg,
                                      &info.ConnectMsg,    &info.BusyMsg,   &info.VoiceMsg,  &info.NoCarrierMsg,
                                      &info.NoDialToneMsg, &info.ErrorMsg,  &info.RingMsg};
  return *fields[which];
}

}  // namespace

// Tag sets and the default description

std::string TTagSet::GetStr(int index) const {
  if (index < 1 || index > static_cast<int>(kModemMaxTags)) return {};
  return strings_[static_cast<std::size_t>(index - 1)];
}

void TTagSet::SetStr(int index, const std::string& text) {
  if (index < 1 || index > static_cast<int>(kModemMaxTags)) return;
  strings_[static_cast<std::size_t>(index - 1)] = text.substr(0, kModemTagLen);
}

const TModemInfo& DefModemData() {
  static const TModemInfo info = [] {
    TModemInfo i;
    i.InitCmd = "ATZ^M";
    i.DialCmd = "ATDT";
    i.DialTerm = "^M";
    i.DialCancel = "^M";
    i.HangupCmd = "+++~~~ATH0^M";
    i.ConfigCmd = "ATE1Q0X1V1^M";
    i.AnswerCmd = "ATA^M";
    i.OkMsg = "OK";
    i.ConnectMsg = "CONNECT";
    i.BusyMsg = "BUSY";
    i.VoiceMsg = "VOICE";
    i.NoCarrierMsg = "NO CARRIER";
    i.NoDialToneMsg = "NO DIALTONE";
    i.ErrorMsg = "ERROR";
    i.RingMsg = "RING";
    i.LockDTE = true;
    i.DefaultBaud = 2400;
    return i;
  }();
  return info;
}

// Life

TLkCustomModem::TLkCustomModem(tk::Component* owner) : serial::TLkBaseComponent(owner), info_(DefModemData()) {
  if (auto* port = serial::TLkCustomComPort::SearchComPort(owner)) SetComPort(port);
  Announce();
}

TLkCustomModem::~TLkCustomModem() {
  if (auto onDestroy = OnDestroy_.Get()) {
    try {
      onDestroy(this);
    } catch (...) {
    }
  }
  try {
    if (started_) Stop();
  } catch (...) {
  }
  FreeRecord();
  if (port_ && portCallback_) port_->DeregisterUserCallback(portCallback_);
}

void TLkCustomModem::SetComPort(serial::TLkCustomComPort* port) {
  if (port == port_) return;
  const bool wasStarted = started_;
  if (started_) Stop();
  if (port_ && portCallback_) port_->DeregisterUserCallback(portCallback_);
  portCallback_ = 0;
  port_ = port;
  if (port_) port_->FreeNotification(this);
  if (wasStarted && port_) SetStarted(true);
}

void TLkCustomModem::SetComPortRef(tk::ComponentRef ref) {
  SetComPort(dynamic_cast<serial::TLkCustomComPort*>(ref.Target));
}

void TLkCustomModem::Notification(tk::Component* component, tk::Operation operation) {
  tk::Component::Notification(component, operation);
  if (operation == tk::Operation::Remove && component == static_cast<tk::Component*>(port_)) {
    // The port is going: its close has stopped the engine; nothing of the port may be touched now.
    FreeRecord();
    started_ = false;
    portCallback_ = 0;
    port_ = nullptr;
  } else if (operation == tk::Operation::Insert && !port_) {
    if (auto* port = dynamic_cast<serial::TLkCustomComPort*>(component)) SetComPort(port);
  }
}

void TLkCustomModem::FreeRecord() {
  if (rec_) mDoneModem(rec_);
  rec_ = nullptr;
}

void TLkCustomModem::SetStarted(bool started) {
  if (Designing() || Loading()) return;
  if (started == started_) return;
  if (started)
    Start();
  else
    Stop();
}

void TLkCustomModem::Start() {
  if (!port_) Check(serial::ecPortNotAssigned);
  if (port_->DeviceLayer() == serial::dlWinsock) throw serial::ECannotUseWithWinSock(serial::ecCannotUseWithWinSock);
  FreeRecord();
  auto dispatcher = port_->GetDispatcher();
  if (!dispatcher) Check(serial::ecCommNotOpen);
  info_.DefaultBaud = port_->Baud();
  TModemInfo description = info_;
  // Only the tags that are set, packed to the front.
  auto pack = [](const TTagSet& tags, TModemInfoTags& to) {
    to = TModemInfoTags{};
    for (const std::string& tag : tags.Strings())
      if (!tag.empty()) to.Tags[to.Count++] = tag;
  };
  pack(errorCorrectionTags_, description.ErrorCheckTags);
  pack(compressionTags_, description.CompressTags);
  TModemRec* rec = nullptr;
  Check(mInitModemComponent(rec, dispatcher, ModemInfoToData(description)));
  {
    std::lock_guard lock(rec->Lock);
    rec->Owner = this;
  }
  mSetModemDialTimeout(rec, dialTimeout_);
  mSetModemAnswerTimeout(rec, answerTimeout_);
  mSetModemDelayFactor(rec, delayFactor_);
  mSetModemCmdTimeout(rec, cmdTimeout_);
  mSetModemDTRDropHold(rec, dtrDropHold_);
  mSetModemCharDelay(rec, charDelay_);
  mSetTildeDelay(rec, tildeDelay_);
  mSetRingWaitTimeout(rec, ringWaitTimeout_);
  mSetModemLockDTE(rec, info_.LockDTE);
  try {
    Check(mRegisterModemHandler(rec, nullptr, &TLkCustomModem::ModemHandler));
    Check(mStartModem(rec));
  } catch (...) {
    mDoneModem(rec);
    throw;
  }
  rec_ = rec;
  started_ = true;
  if (!portCallback_)
    portCallback_ = port_->RegisterUserCallback([this](serial::TLkCustomComPort*, bool opening) {
      if (!opening) SetStarted(false);
    });
}

void TLkCustomModem::Stop() {
  FreeRecord();
  if (port_ && portCallback_) port_->DeregisterUserCallback(portCallback_);
  portCallback_ = 0;
  started_ = false;
}

TModemRec* TLkCustomModem::EnsureStarted() {
  if (!port_) Check(serial::ecPortNotAssigned);
  // A port that opens itself does so here.
  if (!port_->GetDispatcher()) Check(serial::ecCommNotOpen);
  if (!started_) {
    if (autoStart_)
      SetStarted(true);
    else
      Check(ecModemNotStarted);
  }
  return rec_;
}

// Properties

void TLkCustomModem::SetText(TModemText which, const std::string& text) {
  const std::size_t max = which == mtConfigCmd ? kModemConfigLen : which <= mtAnswerCmd ? kModemCmdLen : kModemMsgLen;
  const std::string value = text.substr(0, max);
  if (rec_) Check(mSetModemText(rec_, which, value));
  TextOf(info_, which) = value;
}

void TLkCustomModem::SetTags(TTagSet& tags, const TTagSet& value) {
  if (rec_) {
    TModemTagList ec, dc;
    auto pack = [](const TTagSet& set, TModemTagList& to) {
      for (const std::string& tag : set.Strings())
        if (!tag.empty()) SetModemField(to.Tags[to.Count++], tag);
    };
    pack(&tags == &errorCorrectionTags_ ? value : errorCorrectionTags_, ec);
    pack(&tags == &compressionTags_ ? value : compressionTags_, dc);
    Check(mSetModemTags(rec_, ec, dc));
  }
  tags = value;
}

void TLkCustomModem::SetDataCompressionTags(const TTagSet& tags) { SetTags(compressionTags_, tags); }
void TLkCustomModem::SetErrorCorrectionTags(const TTagSet& tags) { SetTags(errorCorrectionTags_, tags); }

void TLkCustomModem::SetLockDTE(bool lock) {
  info_.LockDTE = lock;
  if (rec_) mSetModemLockDTE(rec_, lock);
}

#define ZELTA_TIMING_SETTER(Name, field, engine)   \
  void TLkCustomModem::Name(std::uint32_t value) { \
    field = value;                                 \
    if (rec_) engine(rec_, value);                 \
  }
ZELTA_TIMING_SETTER(SetDialTimeout, dialTimeout_, mSetModemDialTimeout)
ZELTA_TIMING_SETTER(SetAnswerTimeout, answerTimeout_, mSetModemAnswerTimeout)
ZELTA_TIMING_SETTER(SetDelayFactor, delayFactor_, mSetModemDelayFactor)
ZELTA_TIMING_SETTER(SetCmdTimeout, cmdTimeout_, mSetModemCmdTimeout)
ZELTA_TIMING_SETTER(SetDTRDropHold, dtrDropHold_, mSetModemDTRDropHold)
ZELTA_TIMING_SETTER(SetCharDelay, charDelay_, mSetModemCharDelay)
ZELTA_TIMING_SETTER(SetTildeDelay, tildeDelay_, mSetTildeDelay)
ZELTA_TIMING_SETTER(SetRingWaitTimeout, ringWaitTimeout_, mSetRingWaitTimeout)
#undef ZELTA_TIMING_SETTER

void TLkCustomModem::SetModemInfo(const TModemInfo& info) {
  for (int i = mtInitCmd; i <= mtRingMsg; ++i)
    SetText(static_cast<TModemText>(i), TextOf(info, static_cast<TModemText>(i)));
  SetLockDTE(info.LockDTE);
  info_.DefaultBaud = info.DefaultBaud;
  info_.Name = info.Name.substr(0, kModemNameLen);
}

void TLkCustomModem::GetProperties(tk::PropertyList& list) const {
  tk::Component::GetProperties(list);
  using M = TLkCustomModem;
  using tk::MakeProperty;
  using tk::Value;
  const TModemInfo& d = DefModemData();
  list.push_back(MakeProperty<M>("Version", &M::Version, &M::SetVersion));
  list.back().Stored = [](const tk::Component&) { return false; };
  list.push_back(MakeProperty<M>("ComPort", &M::ComPortRef, &M::SetComPortRef));
  auto text = [&](const char* name, TModemText which, const std::string& def) {
    tk::PropertyInfo p;
    p.Name = name;
    p.Get = [which](const tk::Component& c) { return Value(TextOf(dynamic_cast<const M&>(c).info_, which)); };
    p.Set = [which](tk::Component& c, const Value& v) {
      const std::string* s = std::get_if<std::string>(&v);
      if (!s) throw tk::EReadError("Invalid property value");
      dynamic_cast<M&>(c).SetText(which, *s);
    };
    p.Default = Value(def);
    list.push_back(std::move(p));
  };
  text("InitCmd", mtInitCmd, d.InitCmd);
  text("DialCmd", mtDialCmd, d.DialCmd);
  text("DialTerm", mtDialTerm, d.DialTerm);
  text("DialCancel", mtDialCancel, d.DialCancel);
  text("HangupCmd", mtHangupCmd, d.HangupCmd);
  text("ConfigCmd", mtConfigCmd, d.ConfigCmd);
  text("AnswerCmd", mtAnswerCmd, d.AnswerCmd);
  text("OkMsg", mtOkMsg, d.OkMsg);
  text("ConnectMsg", mtConnectMsg, d.ConnectMsg);
  text("BusyMsg", mtBusyMsg, d.BusyMsg);
  text("VoiceMsg", mtVoiceMsg, d.VoiceMsg);
  text("NoCarrierMsg", mtNoCarrierMsg, d.NoCarrierMsg);
  text("NoDialToneMsg", mtNoDialToneMsg, d.NoDialToneMsg);
  text("ErrorMsg", mtErrorMsg, d.ErrorMsg);
  text("RingMsg", mtRingMsg, d.RingMsg);
  auto tags = [&](const std::string& name, bool compression) {
    for (int i = 1; i <= static_cast<int>(kModemMaxTags); ++i) {
      tk::PropertyInfo p;
      p.Name = name + ".String" + std::to_string(i);
      p.Get = [compression, i](const tk::Component& c) {
        const M& m = dynamic_cast<const M&>(c);
        return Value((compression ? m.DataCompressionTags() : m.ErrorCorrectionTags()).GetStr(i));
      };
      p.Set = [compression, i](tk::Component& c, const Value& v) {
        const std::string* s = std::get_if<std::string>(&v);
        if (!s) throw tk::EReadError("Invalid property value");
        M& m = dynamic_cast<M&>(c);
        TTagSet set = compression ? m.DataCompressionTags() : m.ErrorCorrectionTags();
        set.SetStr(i, *s);
        compression ? m.SetDataCompressionTags(set) : m.SetErrorCorrectionTags(set);
      };
      p.Default = Value(std::string());
      list.push_back(std::move(p));
    }
  };
  tags("DataCompressionTags", true);
  tags("ErrorCorrectionTags", false);
  list.push_back(MakeProperty<M>("LockDTE", &M::LockDTE, &M::SetLockDTE, Value(true)));
  list.push_back(MakeProperty<M>("DialTimeout", &M::DialTimeout, &M::SetDialTimeout, Value(std::int64_t{60})));
  list.push_back(MakeProperty<M>("AnswerTimeout", &M::AnswerTimeout, &M::SetAnswerTimeout, Value(std::int64_t{60})));
  list.push_back(MakeProperty<M>("DelayFactor", &M::DelayFactor, &M::SetDelayFactor, Value(std::int64_t{2})));
  list.push_back(MakeProperty<M>("CmdTimeout", &M::CmdTimeout, &M::SetCmdTimeout, Value(std::int64_t{182})));
  list.push_back(MakeProperty<M>("DTRDropHold", &M::DTRDropHold, &M::SetDTRDropHold, Value(std::int64_t{8})));
  list.push_back(MakeProperty<M>("CharDelay", &M::CharDelay, &M::SetCharDelay, Value(std::int64_t{0})));
  list.push_back(MakeProperty<M>("TildeDelay", &M::TildeDelay, &M::SetTildeDelay, Value(std::int64_t{9})));
  list.push_back(
      MakeProperty<M>("RingWaitTimeout", &M::RingWaitTimeout, &M::SetRingWaitTimeout, Value(std::int64_t{182})));
}

// Operations

void TLkCustomModem::PutCommand(const std::string& command) { Check(mPutModemCommand(EnsureStarted(), command)); }
void TLkCustomModem::Initialize() { Check(mInitializeModem(EnsureStarted())); }
void TLkCustomModem::Configure() { Check(mConfigureModem(EnsureStarted())); }
void TLkCustomModem::Dial(const std::string& number) { Check(mDialModem(EnsureStarted(), number)); }
void TLkCustomModem::Answer() { Check(mAnswerModem(EnsureStarted())); }
void TLkCustomModem::AutoAnswer(std::int32_t rings) { Check(mAutoAnswerModem(EnsureStarted(), rings)); }
void TLkCustomModem::Hangup() { Check(mHangupModem(EnsureStarted())); }
void TLkCustomModem::CancelDialAnswer() { Check(mCancelDialAnswer(EnsureStarted())); }
void TLkCustomModem::ExtendConnectAttempt(std::int32_t seconds) {
  Check(mExtendConnectAttempt(EnsureStarted(), seconds));
}
void TLkCustomModem::WaitOnFeatures() { Check(mWaitOnFeatures(EnsureStarted())); }
void TLkCustomModem::WaitOnResponse() { Check(mWaitOnResponse(EnsureStarted())); }
bool TLkCustomModem::IsAttemptingConnect() { return mIsAttemptingConnect(EnsureStarted()); }
bool TLkCustomModem::FeatureWaitOver() { return mAllFeatureWaitOver(EnsureStarted()); }
std::int32_t TLkCustomModem::GetConnectSpeed() { return mGetConnectSpeed(EnsureStarted()); }
std::string TLkCustomModem::GetLastString() { return mGetLastResponse(EnsureStarted()); }

// Engine messages (dispatch thread)

void TLkCustomModem::ModemHandler(std::uint32_t msg, std::uint32_t wParam, std::intptr_t lParam) {
  auto* rec = reinterpret_cast<TModemRec*>(lParam);
  tk::Component* owner;
  {
    std::lock_guard lock(rec->Lock);
    owner = rec->Owner;
  }
  if (auto* modem = dynamic_cast<TLkCustomModem*>(owner)) modem->HandleModemMessage(msg, wParam, *rec);
}

void TLkCustomModem::HandleModemMessage(std::uint32_t msg, std::uint32_t wParam, TModemRec& rec) {
  if (msg < kModemMessageBase || msg > ModemMessageOf(msCommandProcessed)) return;
  const auto status = static_cast<TModemStatus>(msg - kModemMessageBase);
  std::int32_t data = 0;
  switch (status) {
    case msModemOK:
      ModemOk();
      break;
    case msModemConnect:
      ModemConnect();
      break;
    case msModemBusy:
      ModemBusy();
      break;
    case msModemVoice:
      ModemVoice();
      break;
    case msModemNoCarrier:
      ModemNoCarrier();
      break;
    case msModemNoDialTone:
      ModemNoDialTone();
      break;
    case msModemError:
      ModemError();
      break;
    case msGotLineSpeed:
      data = mGetConnectSpeed(&rec);
      GotLineSpeed(data);
      break;
    case msGotErrCorrection:
      GotErrCorrection();
      break;
    case msGotDataCompression:
      GotDataCompression();
      break;
    case msCmdTimeout:
      CmdTimedOut();
      break;
    case msDialTimeout:
      DialTimedOut();
      break;
    case msAnswerTimeout:
      AnswerTimedOut();
      break;
    case msDialCount:
      data = static_cast<std::int32_t>(wParam);
      DialCount(static_cast<std::uint16_t>(wParam));
      break;
    case msAnswerCount:
      data = static_cast<std::int32_t>(wParam);
      AnswerCount(static_cast<std::uint16_t>(wParam));
      break;
    case msModemRing:
      ModemRing();
      break;
    case msModemIsConnected:
      ModemIsConnected();
      break;
    case msConnectFailed:
      ConnectFailed();
      break;
    case msCommandProcessed: {
      static const TModemStatus kProcessed[] = {msModemOK, msModemError, msCmdTimeout};
      if (wParam < 1 || wParam > 3) return;
      TModemStatus result = kProcessed[wParam - 1];
      CommandProcessed(result);
      data = result;
      break;
    }
  }
  ModemEvent(status, data);
}

void TLkCustomModem::Fire(const ThreadSafeEvent<TNotifyEvent>& event) {
  if (auto e = event.Get()) e(this);
}

void TLkCustomModem::ModemOk() { Fire(OnModemOk_); }
void TLkCustomModem::ModemConnect() { Fire(OnModemConnect_); }
void TLkCustomModem::ModemBusy() { Fire(OnModemBusy_); }
void TLkCustomModem::ModemVoice() { Fire(OnModemVoice_); }
void TLkCustomModem::ModemNoCarrier() { Fire(OnModemNoCarrier_); }
void TLkCustomModem::ModemNoDialTone() { Fire(OnModemNoDialTone_); }
void TLkCustomModem::ModemError() { Fire(OnModemError_); }
void TLkCustomModem::GotErrCorrection() { Fire(OnGotErrCorrection_); }
void TLkCustomModem::GotDataCompression() { Fire(OnGotDataCompression_); }
void TLkCustomModem::CmdTimedOut() { Fire(OnCmdTimedOut_); }
void TLkCustomModem::DialTimedOut() { Fire(OnDialTimedOut_); }
void TLkCustomModem::AnswerTimedOut() { Fire(OnAnswerTimedOut_); }
void TLkCustomModem::ModemIsConnected() { Fire(OnModemIsConnected_); }
void TLkCustomModem::ConnectFailed() { Fire(OnConnectFailed_); }
void TLkCustomModem::ModemRing() { Fire(OnModemRing_); }

void TLkCustomModem::GotLineSpeed(std::int32_t speed) {
  if (auto e = OnGotLineSpeed_.Get()) e(this, speed);
}
void TLkCustomModem::DialCount(std::uint16_t remaining) {
  if (auto e = OnDialCount_.Get()) e(this, remaining);
}
void TLkCustomModem::AnswerCount(std::uint16_t remaining) {
  if (auto e = OnAnswerCount_.Get()) e(this, remaining);
}
void TLkCustomModem::CommandProcessed(TModemStatus status) {
  if (auto e = OnCommandProcessed_.Get()) e(this, status, 0);
}
void TLkCustomModem::ModemEvent(TModemStatus status, std::int32_t data) {
  if (auto e = OnModemEvent_.Get()) e(this, status, data);
}

}  // namespace telephony
