// The line device's properties, start-up and shut-down of the API, the device list, the choice of the line
// and its opening, and the configuration and address-translation services. Calls are in
// tapi_call_control.cpp.
#include "telephony/tapi_device.h"

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "serial/lk_misc.h"
#include "telephony/tapi_device_selection_form.h"
#include "telephony/tapi_status.h"
#include "telephony/tapi_voice.h"
#include "tk/modal.h"

namespace telephony {

using namespace platform;

namespace {

constexpr std::int32_t ecTapiNoSelect = -13930;
constexpr std::int32_t ecTapiTranslateFail = -13942;
constexpr std::size_t kWorkBufferSize = 1028;
constexpr const char* kDataModemClass = "comm/datamodem";

// Every device alive in this process: the callback and the line-create broadcast reach only these.
std::vector<TLkCustomTapiDevice*>& LiveDevices() {
  static std::vector<TLkCustomTapiDevice*> devices;
  return devices;
}

bool IsLive(const TLkCustomTapiDevice* device) {
  const auto& live = LiveDevices();
  return std::find(live.begin(), live.end(), device) != live.end();
}

bool ProcessExists(long pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::string OwnUsageValueName() {
  char name[16];
  std::snprintf(name, sizeof name, "$%08X", static_cast<unsigned>(::getpid()));
  return name;
}

// The executable's full path without its extension.
std::string ApplicationName() {
  if (!QCoreApplication::instance()) return {};
  const QFileInfo file(QCoreApplication::applicationFilePath());
  const QString suffix = file.suffix();
  QString path = file.absoluteFilePath();
  if (!suffix.isEmpty()) path.chop(suffix.size() + 1);
  return FromQString(path).value_or("");
}

template <class Fn>
void IgnoreFailures(Fn fn) {
  try {
    fn();
  } catch (...) {
  }
}

}  // namespace

TLkCustomTapiDevice::TLkCustomTapiDevice(tk::Component* owner)
    : serial::TLkBaseQComponent(owner), workBuffer_(kWorkBufferSize) {
  LiveDevices().push_back(this);
  window_ = std::make_unique<tk::HiddenWindow>([this](tk::Message& m) { WindowProc(m); });
  if (owner) {
    if (serial::TLkCustomComPort* port = serial::TLkCustomComPort::SearchComPort(owner)) {
      comPort_ = port;
      FreeNotification(port);
      TakePort(port);
    }
    BindFirstUnbound();
  }
  // A machine without telephony still makes the device: it just has no line devices to offer.
  if (!Designing()) IgnoreFailures([this] { EnumLineDevices(); });
}

TLkCustomTapiDevice::~TLkCustomTapiDevice() {
  // Nobody hears of a device going away: its owner may be half gone already.
  OnTapiStatus = nullptr;
  OnTapiLog = nullptr;
  OnTapiPortOpen = nullptr;
  OnTapiPortClose = nullptr;
  OnTapiConnect = nullptr;
  OnTapiFail = nullptr;
  OnTapiDTMF = nullptr;
  OnTapiCallerID = nullptr;
  if (voice_) {
    voice_->OnTapiWaveNotify = nullptr;
    voice_->OnTapiWaveSilence = nullptr;
  }
  if (open_) IgnoreFailures([this] { SetOpen(false); });
  IgnoreFailures([this] { StopTapi(); });
  FreeRetryTimer();
  if (statusDisplay_) statusDisplay_->SetTapiDevice(nullptr);
  if (tapiLog_) tapiLog_->SetTapiDevice(nullptr);
  statusDisplay_ = nullptr;
  tapiLog_ = nullptr;
  auto& live = LiveDevices();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  callInfo_.reset();
  window_.reset();
}

// properties

void TLkCustomTapiDevice::SetSelectedDevice(const std::string& name) {
  selectedDevice_ = name;
  if (enableVoice_) CheckVoiceSupport();
}

void TLkCustomTapiDevice::SetComPort(serial::TLkCustomComPort* port) {
  comPort_ = port;
  if (port) FreeNotification(port);
}

void TLkCustomTapiDevice::SetStatusDisplay(TLkAbstractTapiStatus* display) {
  statusDisplay_ = display;
  if (display) {
    FreeNotification(display);
    display->SetTapiDevice(this);
  }
}

void TLkCustomTapiDevice::SetTapiLog(TLkTapiLog* log) {
  tapiLog_ = log;
  if (log) {
    FreeNotification(log);
    log->SetTapiDevice(this);
  }
}

void TLkCustomTapiDevice::TakePort(serial::TLkCustomComPort* port) {
  if (!port || port->TapiMode() != serial::tmAuto) return;
  port->SetTapiMode(serial::tmOn);
  port->SetAutoOpen(false);
  port->SetOpen(false);
}

void TLkCustomTapiDevice::BindFirstUnbound() {
  std::function<void(tk::Component*)> visit = [&](tk::Component* c) {
    for (int i = 0; i < c->ComponentCount(); ++i) {
      tk::Component* child = c->Components(i);
      if (!statusDisplay_)
        if (auto* display = dynamic_cast<TLkAbstractTapiStatus*>(child); display && !display->TapiDevice())
          SetStatusDisplay(display);
      if (!tapiLog_)
        if (auto* log = dynamic_cast<TLkTapiLog*>(child); log && !log->TapiDevice()) SetTapiLog(log);
      visit(child);
    }
  };
  visit(Owner());
}

void TLkCustomTapiDevice::Notification(tk::Component* component, tk::Operation operation) {
  serial::TLkBaseQComponent::Notification(component, operation);
  if (!component || component == this) return;
  if (operation == tk::Operation::Remove) {
    if (component == comPort_) comPort_ = nullptr;
    if (component == statusDisplay_) statusDisplay_ = nullptr;
    if (component == tapiLog_) tapiLog_ = nullptr;
    return;
  }
  if (auto* port = dynamic_cast<serial::TLkCustomComPort*>(component); port && !comPort_) {
    SetComPort(port);
    TakePort(port);
  }
  if (auto* display = dynamic_cast<TLkAbstractTapiStatus*>(component);
      display && !statusDisplay_ && !display->TapiDevice())
    SetStatusDisplay(display);
  if (auto* log = dynamic_cast<TLkTapiLog*>(component); log && !tapiLog_ && !log->TapiDevice()) SetTapiLog(log);
}

void TLkCustomTapiDevice::Assign(const TLkCustomTapiDevice& source) {
  tapiDevices_.clear();
  outgoing_ = source.outgoing_;
  selectedDevice_ = source.selectedDevice_;
  open_ = source.open_;
  numDevices_ = source.numDevices_;
  maxAttempts_ = source.maxAttempts_;
  answerOnRing_ = source.answerOnRing_;
  attempt_ = source.attempt_;
  retryWait_ = source.retryWait_;
  showTapiDevices_ = source.showTapiDevices_;
  SetComPort(source.comPort_);
  statusDisplay_ = source.statusDisplay_;
  tapiLog_ = source.tapiLog_;
  callInfo_.reset();
  if (source.callInfo_) {
    const std::uint32_t size = std::max<std::uint32_t>(source.callInfo_->dwTotalSize, sizeof(LINECALLINFO));
    auto* copy = static_cast<LINECALLINFO*>(std::calloc(1, size));
    if (copy) std::memcpy(copy, source.callInfo_.get(), source.callInfo_->dwTotalSize);
    callInfo_.reset(copy);
  }
}

// errors

std::int32_t TLkCustomTapiDevice::CheckTapiError(std::int32_t result) {
  if (result >= 0) return result;
  // The function table's own codes are library codes already.
  if (result == ecTapiLoadFail || result == ecTapiGetAddrFail) return Check(result);
  const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(result) & 0x7FFFFFFFu);
  return Check(-(13800 + low));
}

// the API

void TLkCustomTapiDevice::CleanUsageKey() {
  IgnoreFailures([this] {
    Registry registry(RootKey::CurrentUser);
    if (!registry.OpenKey(kTapiUsageKey, false)) return;
    for (const std::string& name : registry.GetValueNames()) {
      // Every value goes; only the handle a process that has ended left behind is shut down for it.
      char* end = nullptr;
      const long pid = name.size() > 1 && name[0] == '$' ? std::strtol(name.c_str() + 1, &end, 16) : 0;
      const bool running = pid > 0 && end && *end == '\0' && ProcessExists(pid);
      if (!running) IgnoreFailures([&] { tuLineShutdown(static_cast<HLINEAPP>(registry.ReadInteger(name))); });
      IgnoreFailures([&] { registry.DeleteValue(name); });
    }
  });
}

void TLkCustomTapiDevice::WriteUsageValue() {
  IgnoreFailures([this] {
    Registry registry(RootKey::CurrentUser);
    if (registry.OpenKey(kTapiUsageKey, true))
      registry.WriteInteger(OwnUsageValueName(), static_cast<std::int32_t>(lineApp_));
  });
}

void TLkCustomTapiDevice::DeleteUsageValue() {
  IgnoreFailures([] {
    Registry registry(RootKey::CurrentUser);
    if (registry.OpenKey(kTapiUsageKey, false)) registry.DeleteValue(OwnUsageValueName());
  });
}

bool TLkCustomTapiDevice::StartTapi() {
  if (lineApp_) return true;
  if (starting_) return false;
  starting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{starting_};
  CleanUsageKey();
  const std::string appName = ApplicationName();
  bool waited = false;
  for (;;) {
    HLINEAPP app = 0;
    std::uint32_t count = 0;
    const std::int32_t result = tuLineInitialize(&app, nullptr, &TapiLineCallback, appName.c_str(), &count);
    if (result == LINEERR_REINIT && !waited) {
      // The API is re-initialising: give it time once.
      waited = true;
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Timings.ReinitWaitMs);
      while (std::chrono::steady_clock::now() < end && PumpMessages()) {
      }
      continue;
    }
    // Every other failure is raised: retrying at once without bound would hang a machine without
    // telephony for good.
    CheckTapiError(result);
    lineApp_ = app;
    numDevices_ = count;
    break;
  }
  WriteUsageValue();
  line_ = 0;
  call_ = 0;
  return true;
}

bool TLkCustomTapiDevice::StopTapi() {
  if (!lineApp_) return true;
  if (stopping_) return false;
  stopping_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{stopping_};
  HangupCall(true);
  CheckTapiError(tuLineShutdown(lineApp_));
  DeleteUsageValue();
  lineApp_ = 0;
  return true;
}

std::string TLkCustomTapiDevice::LineName(std::uint32_t deviceID, std::uint32_t apiVersion, bool raise,
                                          bool& capsFailed) {
  TapiRecord<LINEDEVCAPS> caps;
  const std::int32_t result = tuLineGetDevCapsDyn(lineApp_, deviceID, apiVersion, 0, caps);
  capsFailed = result < 0 || !caps;
  if (capsFailed) {
    if (raise) CheckTapiError(result < 0 ? result : LINEERR_OPERATIONFAILED);
    return {};
  }
  return TapiRecordText(caps.get(), caps->dwLineNameOffset, caps->dwLineNameSize);
}

void TLkCustomTapiDevice::EnumLineDevices() {
  StartTapi();
  tapiDevices_.clear();
  for (std::uint32_t id = 0; id < numDevices_; ++id) {
    std::uint32_t version = 0;
    LINEEXTENSIONID extension{};
    if (tuLineNegotiateApiVersion(lineApp_, id, kTapiVersion14, kTapiVersion14, &version, &extension) < 0) continue;
    apiVersion_ = version;
    extensionID_ = extension;
    bool failed = false;
    std::string name = LineName(id, version, false, failed);
    if (failed) break;  // a line error ends the list quietly
    tapiDevices_.push_back(name);
  }
}

std::int32_t TLkCustomTapiDevice::DeviceIDFromName(const std::string& name) {
  StartTapi();
  if (name.empty()) return -1;
  for (std::uint32_t id = 0; id < numDevices_; ++id) {
    std::uint32_t version = 0;
    LINEEXTENSIONID extension{};
    if (tuLineNegotiateApiVersion(lineApp_, id, kTapiVersion14, kTapiVersion14, &version, &extension) < 0) continue;
    apiVersion_ = version;
    extensionID_ = extension;
    bool failed = false;
    if (LineName(id, version, true, failed) == name) return static_cast<std::int32_t>(id);
  }
  return -1;
}

std::int32_t TLkCustomTapiDevice::GetSelectedLine() {
  std::int32_t id = DeviceIDFromName(selectedDevice_);
  if (id >= 0) return id;
  if (numDevices_ == 1 && selectedDevice_.empty()) {
    selectedDevice_ = tapiDevices_.empty() ? std::string() : tapiDevices_.front();
    return 0;
  }
  if (!showPorts_ && !showTapiDevices_) Check(ecTapiNoSelect);
  TDeviceSelectionForm form(ParentWindow());
  form.ShowTapiDevices = true;
  form.ShowPorts = false;
  form.DeviceName = selectedDevice_;
  if (tk::ExecModal(form, "TDeviceSelectionForm") != QDialog::Accepted) Check(ecTapiNoSelect);
  selectedDevice_ = form.DeviceName;
  return DeviceIDFromName(selectedDevice_);
}

void TLkCustomTapiDevice::SetOpen(bool open) {
  StartTapi();
  const std::uint32_t media = enableVoice_ ? LINEMEDIAMODE_AUTOMATEDVOICE : LINEMEDIAMODE_DATAMODEM;
  std::int32_t id = -1;
  if (open) id = GetSelectedLine();
  if (open == open_) return;
  if (!open) {
    HangupCall(false);
    return;
  }
  const std::uint32_t privilege = outgoing_ ? LINECALLPRIVILEGE_NONE : LINECALLPRIVILEGE_OWNER;
  CheckTapiError(tuLineOpen(lineApp_, static_cast<std::uint32_t>(id), &line_, apiVersion_, 0,
                            reinterpret_cast<std::uintptr_t>(this), privilege, media, nullptr));
  deviceID_ = id;
  inUse_ = true;
  openedOnce_ = true;
  CheckTapiError(tuLineSetStatusMessages(line_, LINEDEVSTATE_ALL, LINEADDRESSSTATE_ALL));
  open_ = true;
  if (attempt_ == 1 || !outgoing_) TapiLogging(ltapiCallStart);
}

int TLkCustomTapiDevice::SelectDevice() {
  TDeviceSelectionForm form(ParentWindow());
  form.ShowTapiDevices = showTapiDevices_;
  form.ShowPorts = showPorts_;
  form.TapiMode = comPort_ ? comPort_->TapiMode() : serial::tmAuto;
  if (form.TapiMode == serial::tmOff)
    form.ComNumber = comPort_ ? comPort_->ComNumber() : 0;
  else
    form.DeviceName = selectedDevice_;
  if (tk::ExecModal(form, "TDeviceSelectionForm") != QDialog::Accepted) return mrCancel;
  if (comPort_ && form.TapiMode == serial::tmOff) {
    comPort_->SetTapiMode(serial::tmOff);
    comPort_->SetComNumber(form.ComNumber);
  } else {
    if (comPort_) comPort_->SetTapiMode(form.TapiMode);
    SetSelectedDevice(form.DeviceName);
  }
  return mrOk;
}

QWidget* TLkCustomTapiDevice::ParentWindow() {
  if (parentWindow_) return parentWindow_;
  if (auto* owner = dynamic_cast<QWidget*>(Owner())) return parentWindow_ = owner->window();
  return QApplication::activeWindow();
}

// configuration and translation

void TLkCustomTapiDevice::ShowConfigDialog() {
  StartTapi();
  const bool wasOpen = open_;
  SetOpen(true);
  struct Restore {
    TLkCustomTapiDevice& d;
    bool was;
    ~Restore() {
      IgnoreFailures([this] { d.SetOpen(was); });
    }
  } restore{*this, wasOpen};
  CheckTapiError(tuLineConfigDialog(static_cast<std::uint32_t>(deviceID_), ParentWindow(), kDataModemClass));
}

void TLkCustomTapiDevice::ShowConfigDialogEdit(const TTapiConfigRec& configIn, TTapiConfigRec& configOut) {
  StartTapi();
  auto* out = reinterpret_cast<VARSTRING*>(workBuffer_.data());
  std::fill(workBuffer_.begin(), workBuffer_.end(), 0);
  out->dwTotalSize = kWorkBufferSize;
  CheckTapiError(tuLineConfigDialogEdit(static_cast<std::uint32_t>(GetSelectedLine()), ParentWindow(), kDataModemClass,
                                        configIn.Data.data(), configIn.DataSize, out));
  const std::uint32_t size = std::min<std::uint32_t>(out->dwStringSize, kWorkBufferSize - sizeof(VARSTRING));
  const std::uint8_t* data = workBuffer_.data() + std::min<std::size_t>(out->dwStringOffset, kWorkBufferSize - size);
  configOut.DataSize = size;
  configOut.Data.assign(data, data + size);
}

TTapiConfigRec TLkCustomTapiDevice::GetDevConfig() {
  StartTapi();
  auto* config = reinterpret_cast<VARSTRING*>(workBuffer_.data());
  std::fill(workBuffer_.begin(), workBuffer_.end(), 0);
  config->dwTotalSize = kWorkBufferSize;
  CheckTapiError(tuLineGetDevConfig(static_cast<std::uint32_t>(GetSelectedLine()), config, kDataModemClass));
  TTapiConfigRec rec;
  const std::uint32_t size = std::min<std::uint32_t>(config->dwStringSize, kWorkBufferSize - sizeof(VARSTRING));
  const std::uint8_t* data = workBuffer_.data() + std::min<std::size_t>(config->dwStringOffset, kWorkBufferSize - size);
  rec.DataSize = size;
  rec.Data.assign(data, data + size);
  return rec;
}

void TLkCustomTapiDevice::SetDevConfig(const TTapiConfigRec& config) {
  StartTapi();
  CheckTapiError(tuLineSetDevConfig(static_cast<std::uint32_t>(GetSelectedLine()), config.Data.data(), config.DataSize,
                                    kDataModemClass));
}

std::uint16_t TLkCustomTapiDevice::ComNumber() {
  StartTapi();
  const bool wasOpen = open_;
  SetOpen(true);
  auto* id = reinterpret_cast<VARSTRING*>(workBuffer_.data());
  std::fill(workBuffer_.begin(), workBuffer_.end(), 0);
  id->dwTotalSize = kWorkBufferSize;
  const std::int32_t result = tuLineGetID(line_, 0, 0, LINECALLSELECT_LINE, id, "comm/datamodem/portname");
  std::string name = result < 0 ? std::string() : TapiRecordText(id, id->dwStringOffset, id->dwStringSize);
  if (!wasOpen) SetOpen(false);
  name = name.substr(0, 10);
  std::int32_t number = 0;
  if (name.size() <= 3 || !serial::Str2LongZ(name.substr(3), number) || number < 0 || number > 0xFFFF) return 0;
  return static_cast<std::uint16_t>(number);
}

std::int32_t TLkCustomTapiDevice::BPSRate() const {
  return connected_ && callInfo_ ? static_cast<std::int32_t>(callInfo_->dwRate) : 0;
}

std::string TLkCustomTapiDevice::TranslateAddress(const std::string& number) {
  StartTapi();
  TapiRecord<LINETRANSLATEOUTPUT> out;
  const std::int32_t result =
      tuLineTranslateAddressDyn(lineApp_, static_cast<std::uint32_t>(GetSelectedLine()), apiVersion_, number, 0,
                                LINETRANSLATEOPTION_CANCELCALLWAITING, out);
  if (result < 0 || !out) Check(ecTapiTranslateFail);
  return TapiRecordText(out.get(), out->dwDialableStringOffset, out->dwDialableStringSize);
}

std::int32_t TLkCustomTapiDevice::TranslateAddressEx(const std::string& number, std::uint32_t card,
                                                     std::string& dialable, std::string& displayable,
                                                     std::uint32_t& currentCountry, std::uint32_t& destCountry,
                                                     std::uint32_t& translateResults) {
  StartTapi();
  TapiRecord<LINETRANSLATEOUTPUT> out;
  const std::int32_t result = tuLineTranslateAddressDyn(lineApp_, static_cast<std::uint32_t>(GetSelectedLine()),
                                                        apiVersion_, number, card, 0, out);
  if (result == 0 && out) {
    dialable = TapiRecordText(out.get(), out->dwDialableStringOffset, out->dwDialableStringSize);
    displayable = TapiRecordText(out.get(), out->dwDisplayableStringOffset, out->dwDisplayableStringSize);
    currentCountry = out->dwCurrentCountry;
    destCountry = out->dwDestCountry;
    translateResults = out->dwTranslateResults;
  }
  return result;
}

bool TLkCustomTapiDevice::TranslateDialog(const std::string& number) {
  StartTapi();
  return tuLineTranslateDialog(lineApp_, static_cast<std::uint32_t>(GetSelectedLine()), apiVersion_, ParentWindow(),
                               number) == 0;
}

// messages

void TLkCustomTapiDevice::WindowProc(tk::Message& message) {
  try {
    if (message.Msg == kLineCreateMessage)
      DoLineCreate(0, static_cast<std::uint32_t>(message.WParam), 0, 0);
    else if (message.Msg == tk::WM_TIMER)
      RetryTimerTick();
  } catch (const std::exception& e) {
    Ui().ShowException(e.what());
  }
}

void TLkCustomTapiDevice::TapiLineCallback(std::uint32_t device, std::uint32_t message, std::uintptr_t instance,
                                           std::uint32_t param1, std::uint32_t param2, std::uint32_t param3) {
  if (message == LINE_CREATE) {
    // Every device learns of the new line, whichever of them the API told.
    for (TLkCustomTapiDevice* d : LiveDevices())
      tk::PostMessage(d->window_.get(), kLineCreateMessage, param1, static_cast<std::intptr_t>(param2));
  }
  auto* target = reinterpret_cast<TLkCustomTapiDevice*>(instance);
  if (!target || !IsLive(target)) return;
  try {
    switch (message) {
      case LINE_CALLINFO:
        target->DoLineCallInfo(device, param1, param2, param3);
        break;
      case LINE_CALLSTATE:
        target->DoLineCallState(device, param1, param2, param3);
        break;
      case LINE_CLOSE:
        target->DoLineClose(device, param1, param2, param3);
        break;
      case LINE_GENERATE:
        target->DoLineGenerate(device, param1, param2, param3);
        break;
      case LINE_LINEDEVSTATE:
        target->DoLineDevState(device, param1, param2, param3);
        break;
      case LINE_MONITORDIGITS:
        target->DoLineMonitorDigits(device, param1, param2, param3);
        break;
      case LINE_MONITORMEDIA:
        target->DoLineMonitorMedia(device, param1, param2, param3);
        break;
      case LINE_MONITORTONE:
        target->DoLineMonitorTone(device, param1, param2, param3);
        break;
      case LINE_REPLY:
        target->DoLineReply(device, param1, param2, param3);
        break;
      case LINE_REQUEST:
        target->DoLineRequest(device, param1, param2, param3);
        break;
      case LINE_CREATE:
        target->DoLineCreate(device, param1, param2, param3);
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    Ui().ShowException(e.what());
  }
}

bool TLkCustomTapiDevice::PumpMessages() {
  if (QCoreApplication::closingDown() || !QCoreApplication::instance()) return false;
  if (QThread::currentThread() == QCoreApplication::instance()->thread())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return !QCoreApplication::closingDown();
}

}  // namespace telephony
