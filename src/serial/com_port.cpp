#include "serial/com_port.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "serial/lk_misc.h"
#include "serial/timing.h"

namespace serial {

namespace {

// One step of the window thread's message loop for the library's yielding waits.
int QtYieldStep() {
  if (QCoreApplication::closingDown()) return kQuitMessage;
  if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  return QCoreApplication::closingDown() ? kQuitMessage : 0;
}

// The same step, waiting up to `ms` for an event (a posted message, a timer, a wake-up of the loop) when
// none is pending.
int QtYieldWait(int ms) {
  if (QCoreApplication::closingDown()) return kQuitMessage;
  if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return 0;
  }
  QTimer bound;
  bound.setSingleShot(true);
  bound.start(ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return QCoreApplication::closingDown() ? kQuitMessage : 0;
}

}  // namespace

namespace {
std::atomic<PortSelectionDialog> portSelection{nullptr};
}  // namespace

void SetPortSelectionDialog(PortSelectionDialog dialog) { portSelection.store(dialog); }

TLkCustomComPort::TLkCustomComPort(tk::Component* owner) : TLkBaseQComponent(owner) {
  SetYieldStep(QtYieldStep, QtYieldWait);
  // Components made before the port on the same owner (a modem, a telephony device) look for it now.
  Announce();
}

TLkCustomComPort::~TLkCustomComPort() {
  // No trigger event runs from here on; a destructor never throws: a failing dump at this close is dropped.
  destroying_ = true;
  try {
    if (portState_ == 2) DonePort();
  } catch (...) {
  }
  if (auto d = dispatcher_) {
    // A close still waiting for its message is finished here: the workers end before the window goes.
    d->DonePortPrim();
    RegisterComPort(false);
    dispatcher_.reset();
  }
  portState_ = 0;
  users_.clear();
  TLkBaseDispatcher::ClearSaveBuffers(triggerSave_);
  DestroyComponents();
}

void TLkCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
  if (portState_ != 0 || layer != dlWin32) return;  // only the one supported layer, only while closed
  deviceLayer_ = layer;
  DeviceLayerChanged();
}

void TLkCustomComPort::ApplyLine() {
  if (auto d = ODispatcher()) Check(d->SetLine(static_cast<std::uint32_t>(baud_), parity_, dataBits_, stopBits_));
}

void TLkCustomComPort::SetBaud(std::int32_t baud) {
  if (baud == baud_ && !forceSettings_) return;
  baud_ = baud;
  ApplyLine();
}

void TLkCustomComPort::SetParity(TParity parity) {
  if (parity == parity_ && !forceSettings_) return;
  parity_ = parity;
  ApplyLine();
}

void TLkCustomComPort::SetDataBits(std::uint16_t bits) {
  if (bits == dataBits_ && !forceSettings_) return;
  dataBits_ = bits;
  ApplyLine();
}

void TLkCustomComPort::SetStopBits(std::uint16_t bits) {
  if (bits == stopBits_ && !forceSettings_) return;
  stopBits_ = bits;
  ApplyLine();
}

void TLkCustomComPort::SetInSize(std::uint16_t size) {
  inSize_ = size;
  // The receive ring has its fixed size and the driver sizes its own queues: nothing to apply.
}

void TLkCustomComPort::SetOutSize(std::uint16_t size) { outSize_ = size; }

void TLkCustomComPort::SetDTR(bool on) {
  if (on == dtr_ && !forceSettings_) return;
  if (auto d = ODispatcher()) Check(d->SetDtr(on));
  dtr_ = on;
}

void TLkCustomComPort::SetRTS(bool on) {
  if (on == rts_ && !forceSettings_) return;
  if (auto d = ODispatcher()) Check(d->SetRts(on));
  rts_ = on;
}

void TLkCustomComPort::ApplyHWFlow() {
  if (auto d = ODispatcher()) Check(d->HWFlowOptions(bufferFull_, bufferResume_, hwFlow_));
}

void TLkCustomComPort::SetHWFlowOptions(THWFlowOptions options) {
  if (options == hwFlow_ && !forceSettings_) return;
  if (options != 0) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = static_cast<std::uint16_t>(inSize_ * 9 / 10);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) bufferResume_ = static_cast<std::uint16_t>(inSize_ / 10);
  }
  if (auto d = ODispatcher()) Check(d->HWFlowOptions(bufferFull_, bufferResume_, options));
  hwFlow_ = options;
  if (options & (hwfUseRTS | hwfRequireCTS)) SetRS485Mode(false);
}

void TLkCustomComPort::ApplySWFlow(TSWFlowOptions options) {
  auto d = ODispatcher();
  if (!d) return;
  std::uint32_t option = options == swfBoth ? 3 : options == swfTransmit ? 1 : options == swfReceive ? 2 : 0;
  if (option)
    Check(d->SWFlowEnable(bufferFull_, bufferResume_, option));
  else
    Check(d->SWFlowDisable());
}

void TLkCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
  if (options == swFlow_ && !forceSettings_) return;
  if (options != swfNone) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = static_cast<std::uint16_t>(inSize_ * 3 / 4);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) bufferResume_ = static_cast<std::uint16_t>(inSize_ / 4);
  }
  ApplySWFlow(options);
  swFlow_ = options;  // only what the open port took
}

void TLkCustomComPort::SetXOnChar(char c) {
  if (c == xOn_ && !forceSettings_) return;
  xOn_ = c;
  if (auto d = ODispatcher()) Check(d->SWFlowChars(xOn_, xOff_));
}

void TLkCustomComPort::SetXOffChar(char c) {
  if (c == xOff_ && !forceSettings_) return;
  xOff_ = c;
  if (auto d = ODispatcher()) Check(d->SWFlowChars(xOn_, xOff_));
}

void TLkCustomComPort::SetBufferFull(std::uint16_t v) {
  bufferFull_ = v > inSize_ ? static_cast<std::uint16_t>(v * 9 / 10) : v;
  ScopedFlag force(forceSettings_, true);
  SetHWFlowOptions(hwFlow_);
  SetSWFlowOptions(swFlow_);
}

void TLkCustomComPort::SetBufferResume(std::uint16_t v) {
  bufferResume_ = v > bufferFull_ ? static_cast<std::uint16_t>(bufferFull_ / 10) : v;
  ScopedFlag force(forceSettings_, true);
  SetHWFlowOptions(hwFlow_);
  SetSWFlowOptions(swFlow_);
}

void TLkCustomComPort::SetUseMSRShadow(bool v) { useMSRShadow_ = v; }

void TLkCustomComPort::SetUseEventWord(bool v) {
  if (v == useEventWord_ && !forceSettings_) return;
  if (auto d = ODispatcher()) {
    if (v)
      d->OptionsOn(4);
    else
      d->OptionsOff(4);
  }
  useEventWord_ = v;
}

void TLkCustomComPort::SetRS485Mode(bool on) {
  if (on == rs485Mode_ && !forceSettings_) return;
  if (auto d = ODispatcher()) d->SetRS485Mode(on);
  rs485Mode_ = on;
  if (on) {
    hwFlow_ &= static_cast<THWFlowOptions>(~(hwfUseRTS | hwfRequireCTS));
    SetRTS(false);
  }
}

void TLkCustomComPort::SetThreadBoost(TApThreadBoost boost) {
  if (boost == threadBoost_ && !forceSettings_) return;
  threadBoost_ = boost;
  if (auto d = ODispatcher()) d->SetThreadBoost(static_cast<std::uint8_t>(boost));
}

void TLkCustomComPort::SetTriggerLength(std::uint16_t length) {
  if (length == triggerLength_ && !forceSettings_) return;
  triggerLength_ = length;
  if (auto d = ODispatcher()) d->ChangeLengthTrigger(length);
}

void TLkCustomComPort::GetProperties(tk::PropertyList& list) const {
  TLkBaseQComponent::GetProperties(list);
  using P = TLkCustomComPort;
  static const char* const kLayers[] = {"dlWin16", "dlFossil", "dlWin32", "dlWinsock"};
  static const char* const kParities[] = {"pNone", "pOdd", "pEven", "pMark", "pSpace"};
  static const char* const kSWFlow[] = {"swfNone", "swfReceive", "swfTransmit", "swfBoth"};
  static const char* const kStates[] = {"tlOff", "tlOn", "tlDump", "tlAppend", "tlClear", "tlPause"};
  static const char* const kTapi[] = {"tmNone", "tmAuto", "tmOn", "tmOff"};
  using tk::MakeEnumProperty;
  using tk::MakeProperty;
  using tk::Value;
  list.push_back(MakeProperty<P>("Version", &P::Version, &P::SetVersion));
  list.back().Stored = [](const tk::Component&) { return false; };
  list.push_back(MakeEnumProperty<P>("DeviceLayer", &P::DeviceLayer, &P::SetDeviceLayer, kLayers, dlWin32));
  list.push_back(MakeProperty<P>("ComNumber", &P::ComNumber, &P::SetComNumber, Value(std::int64_t{0})));
  list.push_back(MakeProperty<P>("Baud", &P::Baud, &P::SetBaud, Value(std::int64_t{19200})));
  list.push_back(MakeProperty<P>("PromptForPort", &P::PromptForPort, &P::SetPromptForPort, Value(true)));
  list.push_back(MakeEnumProperty<P>("Parity", &P::Parity, &P::SetParity, kParities, pNone));
  list.push_back(MakeProperty<P>("DataBits", &P::DataBits, &P::SetDataBits, Value(std::int64_t{8})));
  list.push_back(MakeProperty<P>("StopBits", &P::StopBits, &P::SetStopBits, Value(std::int64_t{1})));
  list.push_back(MakeProperty<P>("InSize", &P::InSize, &P::SetInSize, Value(std::int64_t{4096})));
  list.push_back(MakeProperty<P>("OutSize", &P::OutSize, &P::SetOutSize, Value(std::int64_t{4096})));
  list.push_back(MakeProperty<P>("AutoOpen", &P::AutoOpen, &P::SetAutoOpen, Value(true)));
  list.push_back(MakeProperty<P>("Open", &P::Open, &P::SetOpen, Value(false)));
  list.push_back(MakeProperty<P>("DTR", &P::DTR, &P::SetDTR, Value(true)));
  list.push_back(MakeProperty<P>("RTS", &P::RTS, &P::SetRTS, Value(true)));
  list.push_back(MakeProperty<P>("HWFlowOptions", &P::HWFlowOptions, &P::SetHWFlowOptions, Value(std::int64_t{0})));
  list.push_back(MakeEnumProperty<P>("SWFlowOptions", &P::SWFlowOptions, &P::SetSWFlowOptions, kSWFlow, swfNone));
  list.push_back(MakeProperty<P>("XOnChar", &P::XOnChar, &P::SetXOnChar, Value(std::int64_t{17})));
  list.push_back(MakeProperty<P>("XOffChar", &P::XOffChar, &P::SetXOffChar, Value(std::int64_t{19})));
  list.push_back(MakeProperty<P>("BufferFull", &P::BufferFull, &P::SetBufferFull, Value(std::int64_t{0})));
  list.push_back(MakeProperty<P>("BufferResume", &P::BufferResume, &P::SetBufferResume, Value(std::int64_t{0})));
  list.push_back(MakeEnumProperty<P>("Tracing", &P::Tracing, &P::SetTracing, kStates, tlOff));
  list.push_back(MakeProperty<P>("TraceSize", &P::TraceSize, &P::SetTraceSize, Value(std::int64_t{10000})));
  list.push_back(MakeProperty<P>("TraceName", &P::TraceName, &P::SetTraceName, Value(std::string("LK.TRC"))));
  list.push_back(MakeProperty<P>("TraceHex", &P::TraceHex, &P::SetTraceHex, Value(true)));
  list.push_back(MakeProperty<P>("TraceAllHex", &P::TraceAllHex, &P::SetTraceAllHex, Value(false)));
  list.push_back(MakeEnumProperty<P>("Logging", &P::Logging, &P::SetLogging, kStates, tlOff));
  list.push_back(MakeProperty<P>("LogSize", &P::LogSize, &P::SetLogSize, Value(std::int64_t{10000})));
  list.push_back(MakeProperty<P>("LogName", &P::LogName, &P::SetLogName, Value(std::string("LK.LOG"))));
  list.push_back(MakeProperty<P>("LogHex", &P::LogHex, &P::SetLogHex, Value(true)));
  list.push_back(MakeProperty<P>("LogAllHex", &P::LogAllHex, &P::SetLogAllHex, Value(false)));
  list.push_back(MakeProperty<P>("UseMSRShadow", &P::UseMSRShadow, &P::SetUseMSRShadow, Value(true)));
  list.push_back(MakeProperty<P>("UseEventWord", &P::UseEventWord, &P::SetUseEventWord, Value(true)));
  list.push_back(MakeProperty<P>("CommNotificationLevel", &P::CommNotificationLevel, &P::SetCommNotificationLevel,
                                 Value(std::int64_t{10})));
  list.push_back(MakeEnumProperty<P>("TapiMode", &P::TapiMode, &P::SetTapiMode, kTapi, tmAuto));
  list.push_back(MakeProperty<P>("RS485Mode", &P::RS485Mode, &P::SetRS485Mode, Value(false)));
}

void TLkCustomComPort::Assign(TLkCustomComPort& source) {
  users_ = source.users_;
  if (auto d = source.ODispatcher()) {
    d->SaveTriggers(triggerSave_);
    triggersSaved_ = true;
  } else if (source.triggersSaved_) {
    triggerSave_ = source.triggerSave_;
    triggersSaved_ = true;
  }
  SetDeviceLayer(source.deviceLayer_);
  SetComNumber(source.comNumber_);
  SetBaud(source.baud_);
  promptForPort_ = source.promptForPort_;
  SetParity(source.parity_);
  SetDataBits(source.dataBits_);
  SetStopBits(source.stopBits_);
  SetInSize(source.inSize_);
  SetOutSize(source.outSize_);
  autoOpen_ = source.autoOpen_;
  SetDTR(source.dtr_);
  SetRTS(source.rts_);
  SetHWFlowOptions(source.hwFlow_);
  SetSWFlowOptions(source.swFlow_);
  SetXOnChar(source.xOn_);
  SetXOffChar(source.xOff_);
  SetBufferFull(source.bufferFull_);
  SetBufferResume(source.bufferResume_);
  SetTracing(source.tracing_);
  SetTraceSize(source.traceSize_);
  traceName_ = source.traceName_;
  traceHex_ = source.traceHex_;
  traceAllHex_ = source.traceAllHex_;
  SetLogging(source.logging_);
  SetLogSize(source.logSize_);
  logName_ = source.logName_;
  logHex_ = source.logHex_;
  logAllHex_ = source.logAllHex_;
  SetUseMSRShadow(source.useMSRShadow_);
  SetUseEventWord(source.useEventWord_);
  commNotificationLevel_ = source.commNotificationLevel_;
  SetRS485Mode(source.rs485Mode_);
  SetTriggerLength(source.triggerLength_);
  onTrigger_ = source.onTrigger_;
  onTriggerAvail_ = source.onTriggerAvail_;
  onTriggerData_ = source.onTriggerData_;
  onTriggerStatus_ = source.onTriggerStatus_;
  onTriggerTimer_ = source.onTriggerTimer_;
  onTriggerLineError_ = source.onTriggerLineError_;
  onTriggerModemStatus_ = source.onTriggerModemStatus_;
  onTriggerOutbuffFree_ = source.onTriggerOutbuffFree_;
  onTriggerOutbuffUsed_ = source.onTriggerOutbuffUsed_;
  onTriggerOutSent_ = source.onTriggerOutSent_;
  UpdateHandlerFlag();
  OnPortOpen = source.OnPortOpen;
  OnPortClose = source.OnPortClose;
  tapiMode_ = source.tapiMode_;
}

void TLkCustomComPort::SetOpen(bool value) {
  if (value == open_) return;
  if (Designing() || Loading()) {
    open_ = value;
    if (value) openAtLoad_ = true;
    return;
  }
  if (!value) {
    DonePort();
  } else if (portState_ == 0) {
    InitPort();
  } else if (portState_ == 1) {
    reopenPending_ = true;
  }
}

void TLkCustomComPort::Loaded() {
  TLkBaseQComponent::Loaded();
  if (Designing()) return;
  if (openAtLoad_) open_ = true;
  if (open_) {
    openAtLoad_ = false;
    open_ = false;  // InitPort sets it once the port is open
    InitPort();
  }
}

void TLkCustomComPort::ForcePortOpen() {
  if (autoOpen_) openAtLoad_ = true;
}

std::shared_ptr<TLkBaseDispatcher> TLkCustomComPort::GetDispatcher() {
  if (!dispatcher_ && !Designing() && !Loading() && portState_ != 2 && autoOpen_) SetOpen(true);
  return dispatcher_;
}

std::shared_ptr<TLkBaseDispatcher> TLkCustomComPort::ValidDispatcher() {
  auto d = GetDispatcher();
  if (!d) Check(ecCommNotOpen);
  return d;
}

void TLkCustomComPort::ValidateComport() {
  if (comNumber_ != 0) return;
  if (!promptForPort_) Check(ecNoPortSelected);
  int chosen = 0;
  const PortSelectionDialog dialog = portSelection.load();
  bool ok = dialog && dialog(chosen);
  if (!ok || chosen <= 0) Check(ecNoPortSelected);
  comNumber_ = static_cast<std::uint16_t>(chosen);
}

void TLkCustomComPort::ActivateDeviceLayer() {
  if (DispatcherFactory) {
    dispatcher_ = DispatcherFactory(*this);
    return;
  }
  if (deviceLayer_ != dlWin32) Check(ecNullApi);
  if (tapiMode_ == tmOn)
    dispatcher_ = TLkBaseDispatcher::Create<TLkTapiComDispatcher>(this, static_cast<std::int32_t>(tapiCid_));
  else
    dispatcher_ = TLkBaseDispatcher::Create<TLkComDispatcher>(this);
}

void TLkCustomComPort::InitializePort() {
  std::string name;
  if (tapiMode_ != tmOn) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "\\\\.\\COM%d", comNumber_);
    name = buf;
  }
  std::uint32_t options =
      (dtr_ ? 1u : 0u) | (rts_ ? 2u : 0u) | ((hwFlow_ & hwfUseDTR) ? 16u : 0u) | ((hwFlow_ & hwfUseRTS) ? 32u : 0u);
  auto d = dispatcher_;
  std::int32_t rc =
      d->InitPort(name, static_cast<std::uint32_t>(baud_), parity_, dataBits_, stopBits_, inSize_, outSize_, options);
  if (rc == ecFileAccessDenied) rc = ecAlreadyOpen;
  if (rc == ecFileNotFound || rc == ecPathNotFound) rc = ecBadId;
  if (rc != 0) Check(rc);
}

void TLkCustomComPort::InitPort() {
  if (tapiMode_ != tmOn) ValidateComport();
  ActivateDeviceLayer();
  try {
    if (tapiMode_ == tmOn && tapiCid_ == 0) Check(ecNotOpenedByTapi);
    InitializePort();
    if (tapiMode_ == tmOn) {
      // The telephony side opened the line: take its settings rather than imposing ours.
      std::uint32_t baud, parity, dataBits, stopBits, hw, sw, full, resume;
      char xOn, xOff;
      dispatcher_->GetLine(baud, parity, dataBits, stopBits);
      dispatcher_->GetFlowOptions(hw, sw, full, resume, xOn, xOff);
      baud_ = static_cast<std::int32_t>(baud);
      parity_ = static_cast<TParity>(parity);
      dataBits_ = static_cast<std::uint16_t>(dataBits);
      stopBits_ = static_cast<std::uint16_t>(stopBits);
      hwFlow_ = static_cast<THWFlowOptions>(hw);
      swFlow_ = sw == 3 ? swfBoth : sw == 1 ? swfTransmit : sw == 2 ? swfReceive : swfNone;
      xOn_ = xOn;
      xOff_ = xOff;
    }
    portState_ = 2;
    UpdateHandlerFlag();
    {
      ScopedFlag force(forceSettings_, true);
      SetTracing(tracing_);
      SetLogging(logging_);
      SetHWFlowOptions(hwFlow_);
      SetSWFlowOptions(swFlow_);
      SetXOnChar(xOn_);
      SetXOffChar(xOff_);
      SetTriggerLength(triggerLength_);
      SetDTR(dtr_);
      if (deviceLayer_ != dlFossil) SetRTS(rts_);
      SetUseMSRShadow(useMSRShadow_);
      SetUseEventWord(useEventWord_);
      SetCommNotificationLevel(commNotificationLevel_);
      SetRS485Mode(rs485Mode_);
      SetThreadBoost(threadBoost_);
    }
    open_ = true;
    RegisterComPort(true);
    if (triggersSaved_) {
      triggersSaved_ = false;
      dispatcher_->RestoreTriggers(triggerSave_);
    }
  } catch (...) {
    open_ = false;
    portState_ = 0;
    RegisterComPort(false);
    dispatcher_.reset();
    throw;
  }
  PortOpen();
}

void TLkCustomComPort::DonePort() {
  open_ = false;
  if (portState_ != 2) return;
  // The trace and the log go to their files; a failing dump is reported once the port is closed.
  std::exception_ptr failure;
  try {
    SetTracing(tlDump);
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    SetLogging(tlDump);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  portState_ = 1;
  try {
    PortClose();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  auto d = dispatcher_;
  d->SaveTriggers(triggerSave_);
  triggersSaved_ = true;
  bool busy = d->InNotify;
  d->DonePort();
  if (busy && window_ && !destroying_) {
    tk::PostMessage(window_.get(), apw_ClosePending, 0, static_cast<std::intptr_t>(d->Handle) << 16);
    SafeYield();
  } else if (!destroying_) {
    FinishClose();
  }
  if (failure) std::rethrow_exception(failure);
}

void TLkCustomComPort::FinishClose() {
  RegisterComPort(false);
  dispatcher_.reset();
  portState_ = 0;
  if (reopenPending_) {
    reopenPending_ = false;
    InitPort();
  }
}

void TLkCustomComPort::SetComNumber(std::uint16_t n) {
  if (n == comNumber_) return;
  bool wasOpen = portState_ == 2;
  TTraceLogState tracing = tracing_, logging = logging_;
  // A dump that fails at the close is reported once the port runs under its new number.
  std::exception_ptr failure;
  if (wasOpen) {
    try {
      DonePort();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  comNumber_ = n;
  if (wasOpen) {
    tracing_ = tracing;
    logging_ = logging;
    SetOpen(true);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace serial
