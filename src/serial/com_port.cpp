#include "serial/com_port.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "serial/port_list.h"
#include "serial/timing.h"

namespace serial {

namespace {

constexpr std::uint32_t kTraceSizeCap = 4'000'000;
constexpr std::uint32_t kLogSizeCap = 16'000'000;

PortPrompt& Prompt() {
  static PortPrompt prompt;
  return prompt;
}

// One step of the window thread's message loop for the library's yielding waits.
int QtYieldStep() {
  if (QCoreApplication::closingDown()) return kQuitMessage;
  if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  return QCoreApplication::closingDown() ? kQuitMessage : 0;
}

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// A message of the dispatch thread on its way to the notification window.
class DeliveryEvent : public QEvent {
 public:
  static QEvent::Type EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  explicit DeliveryEvent(std::shared_ptr<Delivery> delivery) : QEvent(EventType()), Item(std::move(delivery)) {}
  std::shared_ptr<Delivery> Item;
};

// The notification window: runs delivered trigger messages through the component's window procedure.
class ComWindow : public tk::HiddenWindow {
 public:
  using tk::HiddenWindow::HiddenWindow;

  // Set when the port lets the window go; it may still be inside one of its own messages then, so it is
  // deleted later, and whatever reaches it meanwhile goes nowhere.
  bool Detached = false;

  void Dispatch(tk::Message& message) override {
    if (Detached) {
      message.Result = 0;
      return;
    }
    tk::HiddenWindow::Dispatch(message);
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() == DeliveryEvent::EventType()) {
      auto& delivery = *static_cast<DeliveryEvent*>(e)->Item;
      delivery.Run([&] {
        tk::Message m{delivery.Msg, delivery.Trigger, static_cast<std::intptr_t>(delivery.Data), 0};
        Dispatch(m);
      });
      return true;
    }
    return tk::HiddenWindow::event(e);
  }
};

// Posts from the dispatch thread to the notification window, for as long as the window is there.
class ComReceiver : public NotifyTarget {
 public:
  explicit ComReceiver(ComWindow* window) : window_(window) {}
  void Post(std::shared_ptr<Delivery> delivery) override {
    std::lock_guard lock(mutex_);
    if (window_) QCoreApplication::postEvent(window_, new DeliveryEvent(std::move(delivery)));
  }
  void Detach() {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
  }

 private:
  std::mutex mutex_;
  ComWindow* window_;
};

}  // namespace

bool ShowPortSelection(int& number);  // port_select_form.cpp

void SetPortPrompt(PortPrompt prompt) { Prompt() = std::move(prompt); }

TLkCustomComPort::TLkCustomComPort(tk::Component* owner) : tk::QComponent(owner) {
  SetYieldStep(QtYieldStep);
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

std::int32_t TLkCustomComPort::Check(std::int32_t code) {
  SetLoading(tk::Component::Loading());
  return CheckException(this, code);
}

// ---------------------------------------------------------------------------------------------------
// Settings

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
  bool force = forceSettings_;
  forceSettings_ = true;
  try {
    SetHWFlowOptions(hwFlow_);
    SetSWFlowOptions(swFlow_);
  } catch (...) {
    forceSettings_ = force;
    throw;
  }
  forceSettings_ = force;
}

void TLkCustomComPort::SetBufferResume(std::uint16_t v) {
  bufferResume_ = v > bufferFull_ ? static_cast<std::uint16_t>(bufferFull_ / 10) : v;
  bool force = forceSettings_;
  forceSettings_ = true;
  try {
    SetHWFlowOptions(hwFlow_);
    SetSWFlowOptions(swFlow_);
  } catch (...) {
    forceSettings_ = force;
    throw;
  }
  forceSettings_ = force;
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
  tk::QComponent::GetProperties(list);
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

// ---------------------------------------------------------------------------------------------------
// Events

bool TLkCustomComPort::AnyTriggerEvent() const {
  return onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ || onTriggerTimer_ ||
         onTriggerLineError_ || onTriggerModemStatus_ || onTriggerOutbuffFree_ || onTriggerOutbuffUsed_ ||
         onTriggerOutSent_;
}

#define ZELTA_TRIGGER_EVENT_SETTER(Name, Type, field) \
  void TLkCustomComPort::Name(Type e) {               \
    field = std::move(e);                             \
    UpdateHandlerFlag();                              \
  }
ZELTA_TRIGGER_EVENT_SETTER(SetOnTrigger, TTriggerEvent, onTrigger_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerAvail, TTriggerAvailEvent, onTriggerAvail_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerData, TTriggerHandleEvent, onTriggerData_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerStatus, TTriggerHandleEvent, onTriggerStatus_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerTimer, TTriggerHandleEvent, onTriggerTimer_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerLineError, TTriggerLineErrorEvent, onTriggerLineError_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerModemStatus, TTriggerSenderEvent, onTriggerModemStatus_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerOutbuffFree, TTriggerSenderEvent, onTriggerOutbuffFree_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerOutbuffUsed, TTriggerSenderEvent, onTriggerOutbuffUsed_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerOutSent, TTriggerSenderEvent, onTriggerOutSent_)
#undef ZELTA_TRIGGER_EVENT_SETTER

void TLkCustomComPort::UpdateHandlerFlag() {
  if (auto d = ODispatcher()) d->UpdateHandlerFlags(AnyTriggerEvent() ? 1 : 2);
}

void TLkCustomComPort::Trigger(std::uint32_t msg, std::uint32_t handle, std::uint32_t data) {
  if (onTrigger_) onTrigger_(this, msg, handle, data);
}
void TLkCustomComPort::TriggerAvail(std::uint32_t count) {
  if (onTriggerAvail_) onTriggerAvail_(this, count);
}
void TLkCustomComPort::TriggerData(std::uint32_t handle) {
  if (onTriggerData_) onTriggerData_(this, handle);
}
void TLkCustomComPort::TriggerStatus(std::uint32_t handle) {
  if (onTriggerStatus_) onTriggerStatus_(this, handle);
}
void TLkCustomComPort::TriggerTimer(std::uint32_t handle) {
  if (onTriggerTimer_) onTriggerTimer_(this, handle);
}
void TLkCustomComPort::TriggerLineError(std::uint16_t error, bool lineBreak) {
  if (onTriggerLineError_) onTriggerLineError_(this, error, lineBreak);
}
void TLkCustomComPort::TriggerModemStatus() {
  if (onTriggerModemStatus_) onTriggerModemStatus_(this);
}
void TLkCustomComPort::TriggerOutbuffFree() {
  if (onTriggerOutbuffFree_) onTriggerOutbuffFree_(this);
}
void TLkCustomComPort::TriggerOutbuffUsed() {
  if (onTriggerOutbuffUsed_) onTriggerOutbuffUsed_(this);
}
void TLkCustomComPort::TriggerOutSent() {
  if (onTriggerOutSent_) onTriggerOutSent_(this);
}
void TLkCustomComPort::WaitChar(char c) {
  if (OnWaitChar) OnWaitChar(this, c);
}

// ---------------------------------------------------------------------------------------------------
// Opening and closing

void TLkCustomComPort::SetOpen(bool value) {
  if (value == open_) return;
  if (Designing() || tk::Component::Loading()) {
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
  tk::QComponent::Loaded();
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
  if (!dispatcher_ && !Designing() && !tk::Component::Loading() && portState_ != 2 && autoOpen_) SetOpen(true);
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
  bool ok = Prompt() ? Prompt()(chosen) : ShowPortSelection(chosen);
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
    forceSettings_ = true;
    struct ForceOff {
      bool& flag;
      ~ForceOff() { flag = false; }
    } forceOff{forceSettings_};
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
    forceSettings_ = false;
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

void TLkCustomComPort::RegisterComPort(bool enabling) {
  if (enabling) {
    if (window_) return;
    auto window = std::make_unique<ComWindow>([this](tk::Message& m) { ComWindowProc(m); });
    receiver_ = std::make_unique<ComReceiver>(window.get());
    window_ = std::move(window);
    if (dispatcher_) dispatcher_->RegisterWndTriggerHandler(receiver_.get());
  } else {
    if (receiver_) {
      if (dispatcher_) dispatcher_->DeregisterWndTriggerHandler(receiver_.get());
      static_cast<ComReceiver*>(receiver_.get())->Detach();
    }
    if (auto* window = static_cast<ComWindow*>(window_.release())) {
      window->Detached = true;
      window->deleteLater();
    }
    receiver_.reset();
  }
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

// ---------------------------------------------------------------------------------------------------
// Notification window

void TLkCustomComPort::ComWindowProc(tk::Message& message) {
  std::uint32_t msg = message.Msg;
  if ((msg < apw_TriggerAvail || msg > apw_TriggerStatus) && msg != apw_ClosePending) {
    message.Result = 0;
    return;
  }
  message.Result = 0;
  if (destroying_) return;
  auto handle = static_cast<std::int32_t>((static_cast<std::uintptr_t>(message.LParam) >> 16) & 0xFFFF);
  std::shared_ptr<TLkBaseDispatcher> d = PortList::At(handle);
  if (!d || d->Owner != this) return;
  auto* port = this;
  if (msg == apw_ClosePending) {
    if (d != dispatcher_ || portState_ != 1) return;
    // Without a worker left to finish the close, the window does it.
    if (d->ClosePending && !d->InNotify && d->ThreadCount == 0 && d->Started) d->DonePortPrim();
    if (!d->Started) {
      d->DonePortPrim();  // the device is let go before anything may open it again
      FinishClose();
    } else if (window_) {
      tk::PostMessage(window_.get(), apw_ClosePending, message.WParam, message.LParam);
    }
    return;
  }
  auto wParam = static_cast<std::uint32_t>(message.WParam);
  auto low = static_cast<std::uint32_t>(message.LParam & 0xFFFF);
  port->Trigger(msg, wParam, msg == apw_TriggerAvail ? wParam : low);
  switch (msg) {
    case apw_TriggerAvail:
      TriggerAvail(wParam);
      break;
    case apw_TriggerData:
      TriggerData(wParam);
      break;
    case apw_TriggerTimer:
      TriggerTimer(wParam);
      break;
    case apw_TriggerStatus:
      TriggerStatus(wParam);
      switch (TLkBaseDispatcher::ClassifyStatusTrigger(wParam)) {
        case 1:
          TriggerModemStatus();
          break;
        case 2: {
          auto error = static_cast<std::uint16_t>(d->GetLineError());
          TriggerLineError(error, d->CheckLineBreak());
          break;
        }
        case 3:
          TriggerOutbuffFree();
          break;
        case 4:
          TriggerOutbuffUsed();
          break;
        case 5:
          TriggerOutSent();
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------
// Users

void TLkCustomComPort::RegisterUser(QObject* window) { users_.push_back({window, 0, {}}); }

void TLkCustomComPort::DeregisterUser(QObject* window) {
  for (auto i = users_.size(); i-- > 0;)
    if (users_[i].Window == window) users_.erase(users_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::intptr_t TLkCustomComPort::RegisterUserCallback(TPortCallback callback) {
  std::intptr_t id = nextUserId_++;
  users_.push_back({nullptr, id, std::move(callback)});
  return id;
}

void TLkCustomComPort::DeregisterUserCallback(std::intptr_t id) {
  for (auto i = users_.size(); i-- > 0;)
    if (users_[i].Id == id) users_.erase(users_.begin() + static_cast<std::ptrdiff_t>(i));
}

void TLkCustomComPort::PortOpen() {
  // A copy: a user may deregister while being told.
  auto users = users_;
  for (auto i = users.size(); i-- > 0;) {
    if (users[i].Window) {
      if (auto* target = dynamic_cast<tk::MessageTarget*>(users[i].Window)) tk::SendMessage(*target, apw_PortOpen);
    } else if (users[i].Callback) {
      users[i].Callback(this, true);
    }
  }
  if (OnPortOpen) OnPortOpen(this);
}

void TLkCustomComPort::PortClose() {
  auto users = users_;
  for (auto i = users.size(); i-- > 0;) {
    if (users[i].Window) {
      if (auto* target = dynamic_cast<tk::MessageTarget*>(users[i].Window)) tk::SendMessage(*target, apw_PortClose);
    } else if (users[i].Callback) {
      users[i].Callback(this, false);
    }
  }
  if (OnPortClose) OnPortClose(this);
}

TLkCustomComPort* TLkCustomComPort::SearchComPort(tk::Component* component) {
  if (!component) return nullptr;
  for (int i = 0; i < component->ComponentCount(); ++i) {
    tk::Component* c = component->Components(i);
    if (auto* port = dynamic_cast<TLkCustomComPort*>(c)) return port;
    if (auto* found = SearchComPort(c)) return found;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Input and output

std::shared_ptr<TLkBaseDispatcher> TLkCustomComPort::VDispatcher() {
  if (portState_ == 1) return nullptr;
  return ValidDispatcher();
}

std::shared_ptr<TLkBaseDispatcher> TLkCustomComPort::ODispatcher() const {
  return portState_ == 2 ? dispatcher_ : nullptr;
}

TLkRecorders* TLkCustomComPort::Recorders() const { return dynamic_cast<TLkRecorders*>(dispatcher_.get()); }

void TLkCustomComPort::PutChar(char c) { PutBlock(&c, 1); }

void TLkCustomComPort::PutString(const std::string& s) {
  PutBlock(s.data(), static_cast<std::uint16_t>(std::min<std::size_t>(s.size(), 0xFFFF)));
}

std::int32_t TLkCustomComPort::PutBlock(const void* buffer, std::uint16_t length) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::int32_t rc = d->PutBlock(buffer, length);
  // A block that does not fit is the component's "failed to put" whatever the dispatcher calls it.
  if (rc == ecOutputBufferTooSmall) rc = ecPutBlockFail;
  Check(rc);
  return 0;
}

char TLkCustomComPort::GetChar() {
  auto d = VDispatcher();
  if (!d) return 0;
  std::uint8_t c = 0;
  std::int32_t rc = d->GetChar(c);
  if (rc != 0) {
    Check(rc);
    return 0;
  }
  return static_cast<char>(c);
}

std::int32_t TLkCustomComPort::GetBlock(void* buffer, std::uint16_t length) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::int32_t rc = d->GetBlock(buffer, length);
  if (rc == ecBufferIsEmpty) rc = ecGetBlockFail;
  Check(rc);
  return length;
}

char TLkCustomComPort::PeekChar(std::uint16_t index) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::uint8_t c = 0;
  std::int32_t rc = d->PeekChar(c, index);
  if (rc != 0) {
    Check(rc);
    return 0;
  }
  return static_cast<char>(c);
}

std::int32_t TLkCustomComPort::PeekBlock(void* buffer, std::uint16_t length) {
  auto d = VDispatcher();
  if (!d) return 0;
  return Check(d->PeekBlock(buffer, length));
}

bool TLkCustomComPort::CharReady() {
  auto d = VDispatcher();
  return d && d->CharReady();
}

void TLkCustomComPort::FlushInBuffer() {
  if (auto d = VDispatcher()) Check(d->FlushInBuffer());
}

void TLkCustomComPort::FlushOutBuffer() {
  if (auto d = VDispatcher()) Check(d->FlushOutBuffer());
}

void TLkCustomComPort::ProcessCommunications() {
  if (auto d = VDispatcher())
    if (auto* r = dynamic_cast<TLkRecorders*>(d.get())) Check(r->RunProcessCommunications());
}

void TLkCustomComPort::SendBreak(std::int32_t ticks, bool yield) {
  if (auto d = VDispatcher()) d->SendBreak(ticks, yield);
}

void TLkCustomComPort::SetBreak(bool on) {
  if (auto d = VDispatcher()) d->SetBreak(on);
}

void TLkCustomComPort::AddStringToLog(const std::string& s) {
  if (auto d = VDispatcher()) d->AddStringToLog(s);
}

void TLkCustomComPort::AddTraceEntry(char kind, char c) {
  if (portState_ == 1) return;
  auto d = GetDispatcher();
  if (auto* r = dynamic_cast<TLkRecorders*>(d.get())) r->AddTraceEntryPublic(kind, static_cast<std::uint8_t>(c));
}

std::uint8_t TLkCustomComPort::ModemStatus() {
  auto d = VDispatcher();
  return d ? d->GetModemStatus() : 0;
}

bool TLkCustomComPort::DSR() {
  auto d = ODispatcher();
  return d && d->CheckDSR();
}
bool TLkCustomComPort::CTS() {
  auto d = ODispatcher();
  return d && d->CheckCTS();
}
bool TLkCustomComPort::RI() {
  auto d = ODispatcher();
  return d && d->CheckRI();
}
bool TLkCustomComPort::DCD() {
  auto d = ODispatcher();
  return d && d->CheckDCD();
}
bool TLkCustomComPort::DeltaDSR() {
  auto d = ODispatcher();
  return d && d->CheckDeltaDSR();
}
bool TLkCustomComPort::DeltaCTS() {
  auto d = ODispatcher();
  return d && d->CheckDeltaCTS();
}
bool TLkCustomComPort::DeltaRI() {
  auto d = ODispatcher();
  return d && d->CheckDeltaRI();
}
bool TLkCustomComPort::DeltaDCD() {
  auto d = ODispatcher();
  return d && d->CheckDeltaDCD();
}

std::uint16_t TLkCustomComPort::LineError() {
  auto d = ODispatcher();
  return d ? static_cast<std::uint16_t>(Check(d->GetLineError())) : 0;
}

bool TLkCustomComPort::LineBreak() {
  auto d = ODispatcher();
  return d && d->CheckLineBreak();
}

std::int32_t TLkCustomComPort::InBuffUsed() {
  auto d = ODispatcher();
  return d ? d->InBuffUsed() : 0;
}

std::int32_t TLkCustomComPort::InBuffFree() {
  auto d = ODispatcher();
  return d ? d->InBuffFree() : kClosedInBuffFree;
}

std::int32_t TLkCustomComPort::OutBuffUsed() {
  auto d = ODispatcher();
  return d ? d->OutBuffUsed() : 0;
}

std::int32_t TLkCustomComPort::OutBuffFree() {
  auto d = ODispatcher();
  return d ? d->OutBuffFree() : outSize_;
}

std::uint16_t TLkCustomComPort::BaseAddress() {
  auto d = ODispatcher();
  return d ? d->GetBaseAddress() : 0;
}

void TLkCustomComPort::SetBaseAddress(std::uint16_t address) {
  if (auto d = ODispatcher()) d->SetBaseAddress(address);
}

std::int32_t TLkCustomComPort::FlowState() {
  auto d = VDispatcher();
  if (!d) return 0;
  std::int32_t state = Check(d->HWFlowState()) - 1;
  if (state == 0) state = Check(d->SWFlowState()) - 1;
  return state;
}

// ---------------------------------------------------------------------------------------------------
// Triggers

std::int32_t TLkCustomComPort::AddDataTrigger(const std::string& data, bool ignoreCase) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::string s = data.substr(0, 255);
  return Check(d->AddDataTriggerLen(s.data(), ignoreCase, static_cast<std::uint32_t>(s.size())));
}

std::int32_t TLkCustomComPort::AddTimerTrigger() {
  auto d = VDispatcher();
  return d ? Check(d->AddTimerTrigger()) : 0;
}

std::int32_t TLkCustomComPort::AddStatusTrigger(std::uint16_t kind) {
  auto d = VDispatcher();
  return d ? Check(d->AddStatusTrigger(kind)) : 0;
}

void TLkCustomComPort::SetTimerTrigger(std::int32_t handle, std::int32_t ticks, bool activate) {
  if (auto d = VDispatcher()) Check(d->SetTimerTrigger(static_cast<std::uint32_t>(handle), ticks, activate));
}

void TLkCustomComPort::SetStatusTrigger(std::int32_t handle, std::uint16_t value, bool activate) {
  if (auto d = VDispatcher()) Check(d->SetStatusTrigger(static_cast<std::uint32_t>(handle), value, activate));
}

void TLkCustomComPort::RemoveTrigger(std::int32_t handle) {
  if (auto d = ODispatcher()) Check(d->RemoveTrigger(static_cast<std::uint32_t>(handle)));
}

void TLkCustomComPort::RemoveAllTriggers() {
  if (auto d = ODispatcher()) d->RemoveAllTriggers();
}

// ---------------------------------------------------------------------------------------------------
// String waits

bool TLkCustomComPort::CheckForString(std::uint8_t& index, char c, const std::string& s, bool ignoreCase) {
  if (portState_ == 1 || s.empty()) return false;
  ++index;
  char want = index <= s.size() ? s[index - 1] : '\0';
  if (ignoreCase) {
    c = Upper(c);
    want = Upper(want);
  }
  if (index <= s.size() && c == want) {
    if (index == s.size()) {
      index = 0;
      return true;
    }
    return false;
  }
  char first = ignoreCase ? Upper(s[0]) : s[0];
  index = c == first ? 1 : 0;
  return false;
}

bool TLkCustomComPort::Terminating() const { return QCoreApplication::closingDown(); }

void TLkCustomComPort::PrepareWait() {
  if (portState_ == 1) return;
  auto d = ValidDispatcher();
  bool was = false;
  d->SetEventBusy(was, true);
  if (!prepared_) preparedWasBusy_ = was;
  prepared_ = true;
}

void TLkCustomComPort::EndWait(TLkBaseDispatcher& d, bool wasBusy) {
  bool clear = prepared_ ? !preparedWasBusy_ : !wasBusy;
  if (clear) {
    bool ignored;
    d.SetEventBusy(ignored, false);
  }
  prepared_ = false;
  preparedWasBusy_ = false;
}

int TLkCustomComPort::WaitForMultiString(const std::string& s, std::int32_t timeout, bool yield, bool ignoreCase,
                                         char separator) {
  if (portState_ == 1 || s.empty()) return 0;
  std::vector<std::string> alternatives;
  std::size_t start = 0;
  while (start < s.size() && alternatives.size() < 127) {
    std::size_t end = s.find(separator, start);
    if (end == std::string::npos) end = s.size();
    alternatives.push_back(s.substr(start, end - start));
    start = end + 1;
  }
  return WaitForAlternatives(alternatives, timeout, yield, ignoreCase);
}

bool TLkCustomComPort::WaitForString(const std::string& s, std::int32_t timeout, bool yield, bool ignoreCase) {
  if (portState_ == 1) return false;
  if (s.empty()) return true;
  return WaitForAlternatives({s}, timeout, yield, ignoreCase) == 1;
}

int TLkCustomComPort::WaitForAlternatives(const std::vector<std::string>& alternatives, std::int32_t timeout,
                                          bool yield, bool ignoreCase) {
  auto d = ValidDispatcher();  // held: a handler that closes the port during a yield cannot free it here
  bool wasBusy = false;
  d->SetEventBusy(wasBusy, true);
  std::vector<std::uint8_t> positions(alternatives.size(), 0);
  EventTimer timer;
  NewTimer(timer, timeout);
  int found = 0;
  try {
    for (;;) {
      bool took = false;
      if (portState_ == 2 && d->CharReady()) {
        std::uint8_t byte = 0;
        if (d->GetChar(byte) == 0) {
          took = true;
          char c = static_cast<char>(byte);
          WaitChar(c);
          for (std::size_t i = 0; i < alternatives.size() && !found; ++i)
            if (CheckForString(positions[i], c, alternatives[i], ignoreCase)) found = static_cast<int>(i) + 1;
          if (found) break;
        }
      }
      // Closing or shutting down ends the wait as "not seen".
      if (TimerExpired(timer) || portState_ != 2 || Terminating()) break;
      if (yield) {
        if (SafeYield() == kQuitMessage) break;
      } else if (!took) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  } catch (...) {
    EndWait(*d, wasBusy);
    throw;
  }
  EndWait(*d, wasBusy);
  return found;
}

// ---------------------------------------------------------------------------------------------------
// Trace and dispatch log

void TLkCustomComPort::SetTraceState(TTraceLogState state, bool log) { (log ? logging_ : tracing_) = state; }

void TLkCustomComPort::InitTracing(std::uint32_t numEntries) {
  if (portState_ == 1) return;
  if (numEntries != 0) traceSize_ = std::min(numEntries, kTraceSizeCap);
  auto d = ValidDispatcher();
  auto* r = dynamic_cast<TLkRecorders*>(d.get());
  Check(r ? r->InitTracing(numEntries) : ecTracingNotEnabled);
  tracing_ = tlOn;
}

void TLkCustomComPort::StartTracing() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->StartTracing();
  tracing_ = tlOn;
}

void TLkCustomComPort::StopTracing() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->StopTracing();
  tracing_ = tlPause;
}

void TLkCustomComPort::ClearTracing() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) Check(r->ClearTracing());
}

void TLkCustomComPort::AbortTracing() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->AbortTracing();
  tracing_ = tlOff;
}

void TLkCustomComPort::DumpRecorder(bool log, bool append) {
  auto d = ValidDispatcher();
  auto* r = dynamic_cast<TLkRecorders*>(d.get());
  std::int32_t rc = log ? ecLoggingNotEnabled : ecTracingNotEnabled;
  // The flags go by name: the hex flag is InHex, the all-hex flag AllHex.
  if (r && !log)
    rc = append ? r->AppendTrace(traceName_, traceHex_, traceAllHex_)
                : r->DumpTrace(traceName_, traceHex_, traceAllHex_);
  if (r && log)
    rc = append ? r->AppendDispatchLog(logName_, logHex_, logAllHex_)
                : r->DumpDispatchLog(logName_, logHex_, logAllHex_);
  SetTraceState(tlOff, log);  // a dump releases the recorder, whatever became of the file
  Check(rc);
}

void TLkCustomComPort::DumpTrace() {
  if (portState_ == 1) return;
  DumpRecorder(false, false);
}

void TLkCustomComPort::AppendTrace() {
  if (portState_ == 1) return;
  DumpRecorder(false, true);
}

// Tracing and logging share one state machine; `log` picks the recorder.
void TLkCustomComPort::SetRecorderState(bool log, TTraceLogState state) {
  if (portState_ == 1) return;
  TTraceLogState& current = log ? logging_ : tracing_;
  if (portState_ != 2) {
    current = state == tlOn ? tlOn : tlOff;
    return;
  }
  if (state == current && !forceSettings_) return;
  bool active = current == tlOn || current == tlPause;
  switch (state) {
    case tlOff:
      if (active) log ? AbortLogging() : AbortTracing();
      break;
    case tlOn:
      if (current == tlPause)
        log ? StartLogging() : StartTracing();
      else
        log ? InitLogging(logSize_) : InitTracing(traceSize_);
      break;
    case tlDump:
    case tlAppend:
      if (active) {
        log ? StartLogging() : StartTracing();
        DumpRecorder(log, state == tlAppend);
      }
      break;
    case tlClear:
      if (active) log ? ClearLogging() : ClearTracing();
      break;
    case tlPause:
      if (current == tlOn) log ? StopLogging() : StopTracing();
      break;
  }
}

void TLkCustomComPort::SetTracing(TTraceLogState state) { SetRecorderState(false, state); }

void TLkCustomComPort::SetTraceSize(std::uint32_t size) {
  size = std::min(size, kTraceSizeCap);
  if (size == traceSize_) return;
  traceSize_ = size;
  if (portState_ == 2 && (tracing_ == tlOn || tracing_ == tlPause)) {
    TTraceLogState previous = tracing_;
    AbortTracing();
    SetTracing(previous);
  }
}

void TLkCustomComPort::InitLogging(std::uint32_t size) {
  if (portState_ == 1) return;
  if (size != 0) logSize_ = std::min(size, kLogSizeCap);
  auto d = ValidDispatcher();
  auto* r = dynamic_cast<TLkRecorders*>(d.get());
  Check(r ? r->InitDispatchLogging(size) : ecLoggingNotEnabled);
  logging_ = tlOn;
}

void TLkCustomComPort::StartLogging() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->StartDispatchLogging();
  logging_ = tlOn;
}

void TLkCustomComPort::StopLogging() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->StopDispatchLogging();
  logging_ = tlPause;
}

void TLkCustomComPort::ClearLogging() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->ClearDispatchLogging();
}

void TLkCustomComPort::AbortLogging() {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->AbortDispatchLogging();
  logging_ = tlOff;
}

void TLkCustomComPort::DumpLog() {
  if (portState_ == 1) return;
  DumpRecorder(true, false);
}

void TLkCustomComPort::AppendLog() {
  if (portState_ == 1) return;
  DumpRecorder(true, true);
}

void TLkCustomComPort::SetLogging(TTraceLogState state) { SetRecorderState(true, state); }

void TLkCustomComPort::SetLogSize(std::uint32_t size) {
  size = std::min(size, kLogSizeCap);
  if (size == logSize_) return;
  logSize_ = size;
  if (portState_ == 2 && (logging_ == tlOn || logging_ == tlPause)) {
    TTraceLogState previous = logging_;
    AbortLogging();
    SetLogging(previous);
  }
}

}  // namespace serial
