#include "support/sim_telephony.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMetaObject>
#include <algorithm>
#include <cstring>

namespace testing_support {

using namespace platform;

namespace {

constexpr std::uint32_t kVersion = kTapiVersion14;

// Writes `parts` into the variable part of a record whose fixed part is `fixed` bytes; sets the needed
// and used sizes; returns the offsets (0 for a part that did not fit).
std::vector<std::uint32_t> FillVariable(void* record, std::uint32_t fixed, const std::vector<std::string>& parts) {
  auto* sizes = static_cast<std::uint32_t*>(record);  // total, needed, used
  std::uint32_t needed = fixed;
  for (const std::string& part : parts) needed += static_cast<std::uint32_t>(part.size());
  sizes[1] = needed;
  sizes[2] = fixed;
  std::vector<std::uint32_t> offsets(parts.size(), 0);
  if (needed > sizes[0]) return offsets;
  std::uint32_t at = fixed;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::memcpy(static_cast<char*>(record) + at, parts[i].data(), parts[i].size());
    offsets[i] = at;
    at += static_cast<std::uint32_t>(parts[i].size());
  }
  sizes[2] = needed;
  return offsets;
}

std::string WithZero(const std::string& s) { return s + '\0'; }

}  // namespace

SimTelephony::SimTelephony() : relay_(std::make_unique<QObject>()) { previous_ = SetProviders(this); }

SimTelephony::~SimTelephony() {
  SetProviders(previous_);
  relay_.reset();  // drops what is still queued
  for (auto& [handle, call] : calls_) ReleaseCall(call);
}

int SimTelephony::Count(const std::string& function) const {
  return static_cast<int>(std::count(Called.begin(), Called.end(), function));
}

bool SimTelephony::AnyLineOpen() const {
  return std::any_of(lines_.begin(), lines_.end(), [](const auto& entry) { return entry.second.Open; });
}

int SimTelephony::LiveApps() const {
  return static_cast<int>(std::count_if(apps_.begin(), apps_.end(), [](const auto& a) { return a.second.Live; }));
}

// --- delivery ---

void SimTelephony::Post(const Message& message) {
  queue_.push_back(message);
  if (!scheduled_) Schedule();
}

void SimTelephony::Schedule() {
  scheduled_ = true;
  QMetaObject::invokeMethod(
      relay_.get(), [this] { DeliverOne(); }, Qt::QueuedConnection);
}

void SimTelephony::DeliverOne() {
  scheduled_ = false;
  if (queue_.empty()) return;
  const Message m = queue_.front();
  queue_.pop_front();
  // The next one may be delivered while the application handles this one (its waits run the loop).
  if (!queue_.empty()) Schedule();
  auto app = apps_.find(m.App);
  if (app == apps_.end() || !app->second.Live) return;
  std::uintptr_t instance = 0;
  if (m.Line) {
    Line* line = FindLine(m.Line);
    if (!line || !line->Open) return;
    instance = line->Instance;
  }
  if (m.Call) {
    Call* call = FindCall(m.Call);
    if (!call || !call->Allocated) return;
    if (m.Msg == LINE_CALLSTATE) {
      call->State = m.Param1;
      if (m.Param1 == LINECALLSTATE_CONNECTED && call->SlaveFd < 0) {
        pty_ = std::make_unique<PtyPair>();
        call->SlaveFd = ::open(pty_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      }
    }
  }
  app->second.Callback(m.Device, m.Msg, instance, m.Param1, m.Param2, m.Param3);
}

void SimTelephony::PostCallState(HCALL handle, std::uint32_t state, std::uint32_t detail) {
  Call* call = FindCall(handle);
  if (!call) return;
  Line* line = FindLine(call->Line);
  if (!line) return;
  Post({line->App, call->Line, handle, handle, LINE_CALLSTATE, state, detail, call->Media});
}

void SimTelephony::PostReply(HLINE handle, std::int32_t request, std::int32_t result) {
  Line* line = FindLine(handle);
  if (!line) return;
  Post({line->App, handle, 0, 0, LINE_REPLY, static_cast<std::uint32_t>(request), static_cast<std::uint32_t>(result),
        0});
}

void SimTelephony::Purge(HLINEAPP app, HLINE line, HCALL call) {
  std::erase_if(queue_, [&](const Message& m) {
    return (app && m.App == app) || (line && m.Line == line) || (call && m.Call == call);
  });
}

void SimTelephony::ReleaseCall(Call& call) {
  call.Allocated = false;
  if (call.SlaveFd >= 0) ::close(call.SlaveFd);
  call.SlaveFd = -1;
}

SimTelephony::Line* SimTelephony::FindLine(HLINE line) {
  auto it = lines_.find(line);
  return it == lines_.end() ? nullptr : &it->second;
}

SimTelephony::Call* SimTelephony::FindCall(HCALL call) {
  auto it = calls_.find(call);
  return it == calls_.end() ? nullptr : &it->second;
}

// --- the far end ---

void SimTelephony::HangUpFarEnd() {
  for (auto& [handle, call] : calls_)
    if (call.Allocated && call.State == LINECALLSTATE_CONNECTED)
      PostCallState(handle, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
}

void SimTelephony::Offer(std::uint32_t mediaMode, int rings, std::uint32_t callerIDFlags, const std::string& callerID,
                         const std::string& callerName) {
  for (auto& [handle, line] : lines_) {
    if (!line.Open || !(line.Privilege & LINECALLPRIVILEGE_OWNER)) continue;
    const HCALL call = nextHandle_++;
    Call& c = calls_[call];
    c.Line = handle;
    c.State = LINECALLSTATE_OFFERING;
    c.Media = mediaMode;
    c.CallerIDFlags = callerIDFlags;
    c.CallerID = callerID;
    c.CallerName = callerName;
    PostCallState(call, LINECALLSTATE_OFFERING);
    for (int ring = 1; ring <= rings; ++ring)
      Post({line.App, handle, 0, handle, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 0, static_cast<std::uint32_t>(ring)});
    return;
  }
}

void SimTelephony::AddLine(const SimLine& line) {
  Lines.push_back(line);
  for (auto& [handle, app] : apps_)
    if (app.Live) Post({handle, 0, 0, 0, LINE_CREATE, static_cast<std::uint32_t>(Lines.size() - 1), 0, 0});
}

void SimTelephony::SendLineDevState(std::uint32_t state, std::uint32_t param2, std::uint32_t param3) {
  for (auto& [handle, line] : lines_)
    if (line.Open) Post({line.App, handle, 0, handle, LINE_LINEDEVSTATE, state, param2, param3});
}

// --- the library ---

TelephonyProvider* SimTelephony::Load(const std::string& name) {
  ++LoadAttempts;
  if (!Installed || name != "TAPI32") return nullptr;
  ++Loads;
  return this;
}

void SimTelephony::Free(TelephonyProvider*) { ++Frees; }

bool SimTelephony::Exports(std::string_view name) const { return !Missing.contains(std::string(name)); }

std::int32_t SimTelephony::LineInitialize(HLINEAPP* lineApp, void*, LineCallback callback, const char* appName,
                                          std::uint32_t* numDevs) {
  Record("lineInitialize");
  LastAppName = appName ? appName : "";
  if (!InitializeResults.empty()) {
    const std::int32_t result = InitializeResults.front();
    InitializeResults.pop_front();
    if (result != 0) return result;
  }
  const HLINEAPP app = nextHandle_++;
  apps_[app] = App{callback, true};
  lastApp_ = app;
  *lineApp = app;
  *numDevs = static_cast<std::uint32_t>(Lines.size());
  return 0;
}

std::int32_t SimTelephony::LineShutdown(HLINEAPP lineApp) {
  Record("lineShutdown");
  ShutdownHandles.push_back(lineApp);
  auto it = apps_.find(lineApp);
  if (it == apps_.end() || !it->second.Live) return LINEERR_INVALAPPHANDLE;
  it->second.Live = false;
  for (auto& [handle, line] : lines_)
    if (line.App == lineApp) line.Open = false;
  Purge(lineApp, 0, 0);
  return 0;
}

std::int32_t SimTelephony::LineNegotiateAPIVersion(HLINEAPP, std::uint32_t deviceID, std::uint32_t low,
                                                   std::uint32_t high, std::uint32_t* apiVersion,
                                                   LINEEXTENSIONID* extensionID) {
  Record("lineNegotiateAPIVersion");
  if (deviceID >= Lines.size()) return LINEERR_BADDEVICEID;
  if (Lines[deviceID].NegotiateFails || low > kVersion || high < kVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
  *apiVersion = kVersion;
  *extensionID = {};
  return 0;
}

std::int32_t SimTelephony::LineGetDevCaps(HLINEAPP, std::uint32_t deviceID, std::uint32_t, std::uint32_t,
                                          LINEDEVCAPS* caps) {
  Record("lineGetDevCaps");
  DevCapsSizes.push_back(caps->dwTotalSize);
  if (deviceID >= Lines.size()) return LINEERR_BADDEVICEID;
  const SimLine& line = Lines[deviceID];
  if (line.CapsFail) return LINEERR_OPERATIONFAILED;
  if (caps->dwTotalSize < sizeof(LINEDEVCAPS) || (CapsTooSmallBelowKilobyte && caps->dwTotalSize < 1024))
    return LINEERR_STRUCTURETOOSMALL;
  caps->dwStringFormat = STRINGFORMAT_ASCII;
  caps->dwMediaModes = LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE;
  if (line.Voice) caps->dwMediaModes |= LINEMEDIAMODE_AUTOMATEDVOICE;
  caps->dwBearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_PASSTHROUGH;
  const auto at = FillVariable(caps, sizeof(LINEDEVCAPS), {std::string(line.CapsPadding, 'P'), WithZero(line.Name)});
  if (at[1]) {
    caps->dwProviderInfoSize = line.CapsPadding;
    caps->dwProviderInfoOffset = at[0];
    caps->dwLineNameSize = static_cast<std::uint32_t>(line.Name.size() + 1);
    caps->dwLineNameOffset = at[1];
  }
  return 0;
}

std::int32_t SimTelephony::LineOpen(HLINEAPP lineApp, std::uint32_t deviceID, HLINE* line, std::uint32_t, std::uint32_t,
                                    std::uintptr_t callbackInstance, std::uint32_t privileges, std::uint32_t mediaModes,
                                    const LINECALLPARAMS*) {
  Record("lineOpen");
  auto app = apps_.find(lineApp);
  if (app == apps_.end() || !app->second.Live) return LINEERR_INVALAPPHANDLE;
  if (deviceID >= Lines.size()) return LINEERR_BADDEVICEID;
  LastOpenPrivilege = privileges;
  LastOpenMedia = mediaModes;
  LastOpenDevice = deviceID;
  const HLINE handle = nextHandle_++;
  lines_[handle] = Line{lineApp, deviceID, callbackInstance, privileges, true};
  *line = handle;
  return 0;
}

std::int32_t SimTelephony::LineSetStatusMessages(HLINE line, std::uint32_t, std::uint32_t) {
  Record("lineSetStatusMessages");
  Line* l = FindLine(line);
  return l && l->Open ? 0 : LINEERR_INVALLINEHANDLE;
}

std::int32_t SimTelephony::LineMakeCall(HLINE line, HCALL* call, const char* destAddress, std::uint32_t,
                                        const LINECALLPARAMS* callParams) {
  Record("lineMakeCall");
  Line* l = FindLine(line);
  if (!l || !l->Open) return LINEERR_INVALLINEHANDLE;
  LastDialled = destAddress ? destAddress : "";
  if (callParams) LastCallParams = *callParams;
  const SimCallOutcome outcome = Outcomes.empty() ? SimCallOutcome::Connect : Outcomes.front();
  if (!Outcomes.empty()) Outcomes.pop_front();
  if (outcome == SimCallOutcome::Refused) return LINEERR_CALLUNAVAIL;
  const std::int32_t request = nextRequest_++;
  if (outcome == SimCallOutcome::ReplyFails || outcome == SimCallOutcome::NoReply) {
    *call = 0;
    if (outcome == SimCallOutcome::ReplyFails) PostReply(line, request, LINEERR_CALLUNAVAIL);
    return request;
  }
  const HCALL handle = nextHandle_++;
  Call& c = calls_[handle];
  c.Line = line;
  c.State = LINECALLSTATE_DIALING;
  c.Media = callParams ? callParams->dwMediaMode : LINEMEDIAMODE_DATAMODEM;
  *call = handle;
  PostReply(line, request, 0);
  PostCallState(handle, LINECALLSTATE_DIALTONE);
  PostCallState(handle, LINECALLSTATE_DIALING);
  PostCallState(handle, LINECALLSTATE_PROCEEDING);
  c.NoHandle = outcome == SimCallOutcome::NoHandle;
  switch (outcome) {
    case SimCallOutcome::Connect:
    case SimCallOutcome::NoHandle:
      PostCallState(handle, LINECALLSTATE_RINGBACK);
      PostCallState(handle, LINECALLSTATE_CONNECTED);
      break;
    case SimCallOutcome::Busy:
      PostCallState(handle, LINECALLSTATE_BUSY);
      break;
    case SimCallOutcome::BusyDetail:
      PostCallState(handle, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY);
      break;
    case SimCallOutcome::NoAnswer:
      PostCallState(handle, LINECALLSTATE_RINGBACK);
      PostCallState(handle, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER);
      break;
    case SimCallOutcome::Ringing:
      PostCallState(handle, LINECALLSTATE_RINGBACK);
      break;
    default:
      break;
  }
  return request;
}

std::int32_t SimTelephony::LineAccept(HCALL call, const char*, std::uint32_t) {
  Record("lineAccept");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  const std::int32_t request = nextRequest_++;
  PostReply(c->Line, request, 0);
  PostCallState(call, LINECALLSTATE_ACCEPTED);
  return request;
}

std::int32_t SimTelephony::LineAnswer(HCALL call, const char*, std::uint32_t) {
  Record("lineAnswer");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  if (c->State == LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  const std::int32_t request = nextRequest_++;
  PostReply(c->Line, request, 0);
  PostCallState(call, LINECALLSTATE_CONNECTED);
  return request;
}

std::int32_t SimTelephony::LineDrop(HCALL call, const char*, std::uint32_t) {
  Record("lineDrop");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  if (c->State == LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
  // The far end's script ends here.
  Purge(0, 0, call);
  const std::int32_t request = nextRequest_++;
  PostReply(c->Line, request, 0);
  PostCallState(call, LINECALLSTATE_IDLE);
  return request;
}

std::int32_t SimTelephony::LineDeallocateCall(HCALL call) {
  Record("lineDeallocateCall");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  ReleaseCall(*c);
  Purge(0, 0, call);
  return 0;
}

std::int32_t SimTelephony::LineClose(HLINE line) {
  Record("lineClose");
  Line* l = FindLine(line);
  if (!l || !l->Open) return LINEERR_INVALLINEHANDLE;
  l->Open = false;
  Purge(0, line, 0);
  return 0;
}

std::int32_t SimTelephony::LineGetID(HLINE line, std::uint32_t, HCALL call, std::uint32_t select, VARSTRING* id,
                                     const char* deviceClass) {
  Record("lineGetID");
  const std::string wanted = deviceClass ? deviceClass : "";
  id->dwStringFormat = STRINGFORMAT_BINARY;
  if (select == LINECALLSELECT_CALL && wanted == "comm/datamodem") {
    Call* c = FindCall(call);
    if (!c || !c->Allocated || c->SlaveFd < 0 || c->NoHandle) return LINEERR_INVALCALLHANDLE;
    // The handle comes first, then the port's name.
    const std::int32_t fd = ::dup(c->SlaveFd);
    const std::string data = std::string(reinterpret_cast<const char*>(&fd), sizeof fd) +
                             WithZero(Lines[FindLine(c->Line)->DeviceID].PortName);
    const auto at = FillVariable(id, sizeof(VARSTRING), {data});
    if (at[0]) {
      id->dwStringSize = static_cast<std::uint32_t>(data.size());
      id->dwStringOffset = at[0];
    } else {
      ::close(fd);
    }
    return 0;
  }
  if (select == LINECALLSELECT_CALL && (wanted == "wave/out" || wanted == "wave/in")) {
    Call* c = FindCall(call);
    if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
    const SimLine& simLine = Lines[FindLine(c->Line)->DeviceID];
    if (!simLine.Voice) return LINEERR_INVALDEVICECLASS;
    const std::uint32_t wave = wanted == "wave/out" ? simLine.WaveOutID : simLine.WaveInID;
    const std::string data(reinterpret_cast<const char*>(&wave), sizeof wave);
    const auto at = FillVariable(id, sizeof(VARSTRING), {data});
    if (at[0]) {
      id->dwStringSize = static_cast<std::uint32_t>(data.size());
      id->dwStringOffset = at[0];
    }
    return 0;
  }
  if (select == LINECALLSELECT_LINE && wanted == "comm/datamodem/portname") {
    Line* l = FindLine(line);
    if (!l || !l->Open) return LINEERR_INVALLINEHANDLE;
    const std::string name = WithZero(Lines[l->DeviceID].PortName);
    id->dwStringFormat = STRINGFORMAT_ASCII;
    const auto at = FillVariable(id, sizeof(VARSTRING), {name});
    if (at[0]) {
      id->dwStringSize = static_cast<std::uint32_t>(name.size());
      id->dwStringOffset = at[0];
    }
    return 0;
  }
  return LINEERR_INVALDEVICECLASS;
}

std::int32_t SimTelephony::LineGetCallInfo(HCALL call, LINECALLINFO* info) {
  Record("lineGetCallInfo");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  if (info->dwTotalSize < sizeof(LINECALLINFO)) return LINEERR_STRUCTURETOOSMALL;
  info->hLine = c->Line;
  info->dwRate = Rate;
  info->dwMediaMode = c->Media;
  info->dwCallStates = c->State;
  info->dwCallerIDFlags = c->CallerIDFlags;
  const auto at = FillVariable(info, sizeof(LINECALLINFO), {WithZero(c->CallerID), WithZero(c->CallerName)});
  if (at[0]) {
    info->dwCallerIDSize = static_cast<std::uint32_t>(c->CallerID.size() + 1);
    info->dwCallerIDOffset = at[0];
    info->dwCallerIDNameSize = static_cast<std::uint32_t>(c->CallerName.size() + 1);
    info->dwCallerIDNameOffset = at[1];
  }
  return 0;
}

std::int32_t SimTelephony::LineGetCallStatus(HCALL call, LINECALLSTATUS* status) {
  Record("lineGetCallStatus");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  if (status->dwTotalSize < sizeof(LINECALLSTATUS)) return LINEERR_STRUCTURETOOSMALL;
  status->dwNeededSize = status->dwUsedSize = sizeof(LINECALLSTATUS);
  status->dwCallState = c->State;
  return 0;
}

std::int32_t SimTelephony::LineConfigDialog(std::uint32_t deviceID, QWidget*, const char* deviceClass) {
  Record("lineConfigDialog");
  if (deviceID >= Lines.size()) return LINEERR_BADDEVICEID;
  ConfigDialogs.push_back(std::to_string(deviceID) + " " + (deviceClass ? deviceClass : ""));
  return 0;
}

std::int32_t SimTelephony::LineConfigDialogEdit(std::uint32_t deviceID, QWidget*, const char* deviceClass,
                                                const void* configIn, std::uint32_t size, VARSTRING* configOut) {
  Record("lineConfigDialogEdit");
  if (deviceID >= Lines.size()) return LINEERR_BADDEVICEID;
  ConfigDialogs.push_back(std::to_string(deviceID) + " " + (deviceClass ? deviceClass : ""));
  // The user's edit: the block comes back with one byte more.
  std::string block(static_cast<const char*>(configIn), size);
  block += '\x5A';
  const auto at = FillVariable(configOut, sizeof(VARSTRING), {block});
  if (at[0]) {
    configOut->dwStringSize = static_cast<std::uint32_t>(block.size());
    configOut->dwStringOffset = at[0];
  }
  return 0;
}

std::int32_t SimTelephony::LineGetDevConfig(std::uint32_t deviceID, VARSTRING* config, const char*) {
  Record("lineGetDevConfig");
  if (deviceID >= Lines.size()) return LINEERR_BADDEVICEID;
  const auto& data = Lines[deviceID].Config;
  const auto at = FillVariable(config, sizeof(VARSTRING), {std::string(data.begin(), data.end())});
  if (at[0]) {
    config->dwStringSize = static_cast<std::uint32_t>(data.size());
    config->dwStringOffset = at[0];
  }
  return 0;
}

std::int32_t SimTelephony::LineSetDevConfig(std::uint32_t deviceID, const void* config, std::uint32_t size,
                                            const char*) {
  Record("lineSetDevConfig");
  if (deviceID >= Lines.size()) return LINEERR_BADDEVICEID;
  const auto* bytes = static_cast<const std::uint8_t*>(config);
  Lines[deviceID].Config.assign(bytes, bytes + size);
  return 0;
}

std::int32_t SimTelephony::LineTranslateAddress(HLINEAPP, std::uint32_t deviceID, std::uint32_t, const char* addressIn,
                                                std::uint32_t card, std::uint32_t options,
                                                LINETRANSLATEOUTPUT* output) {
  Record("lineTranslateAddress");
  LastTranslateCard = card;
  LastTranslateOptions = options;
  const std::string address = addressIn ? addressIn : "";
  if (deviceID >= Lines.size() || address.empty()) return LINEERR_INVALPARAM;
  if (output->dwTotalSize < sizeof(LINETRANSLATEOUTPUT)) return LINEERR_STRUCTURETOOSMALL;
  // Calls waiting is switched off by the dialling prefix "*70,".
  const std::string dialable = (options & LINETRANSLATEOPTION_CANCELCALLWAITING ? "*70," : "") + address;
  output->dwCurrentCountry = 1;
  output->dwDestCountry = 44;
  output->dwTranslateResults = 0x10;
  const auto at = FillVariable(output, sizeof(LINETRANSLATEOUTPUT), {WithZero(dialable), WithZero(address)});
  if (at[0]) {
    output->dwDialableStringSize = static_cast<std::uint32_t>(dialable.size() + 1);
    output->dwDialableStringOffset = at[0];
    output->dwDisplayableStringSize = static_cast<std::uint32_t>(address.size() + 1);
    output->dwDisplayableStringOffset = at[1];
  }
  return 0;
}

std::int32_t SimTelephony::LineTranslateDialog(HLINEAPP, std::uint32_t deviceID, std::uint32_t, QWidget*, const char*) {
  Record("lineTranslateDialog");
  return deviceID < Lines.size() ? 0 : LINEERR_BADDEVICEID;
}

// --- voice ---

void SimTelephony::SendDigit(char digit) {
  for (auto& [handle, call] : calls_) {
    if (!call.Allocated || !call.DigitModes) continue;
    Line* line = FindLine(call.Line);
    if (!line) continue;
    Post({line->App, call.Line, handle, handle, LINE_MONITORDIGITS, static_cast<std::uint8_t>(digit), call.DigitModes,
          0});
  }
}

std::int32_t SimTelephony::LineMonitorDigits(HCALL call, std::uint32_t digitModes) {
  Record("lineMonitorDigits");
  MonitoredDigitModes = digitModes;
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  if (MonitorDigitsResult != 0) return MonitorDigitsResult;
  c->DigitModes = digitModes;
  return 0;
}

std::int32_t SimTelephony::LineGenerateDigits(HCALL call, std::uint32_t digitMode, const char* digits, std::uint32_t) {
  Record("lineGenerateDigits");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  GeneratedDigits += digits ? digits : "";
  GeneratedDigitMode = digitMode;
  if (Line* line = FindLine(c->Line)) Post({line->App, c->Line, call, call, LINE_GENERATE, 1 /* done */, 0, 0});
  return 0;
}

std::int32_t SimTelephony::LineSetCallParams(HCALL call, std::uint32_t bearerMode, std::uint32_t minRate,
                                             std::uint32_t maxRate, const LINEDIALPARAMS*) {
  Record("lineSetCallParams");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  LastBearerMode = bearerMode;
  LastMinRate = minRate;
  LastMaxRate = maxRate;
  const std::int32_t request = nextRequest_++;
  PostReply(c->Line, request, SetCallParamsReply);
  return request;
}

std::int32_t SimTelephony::LineSetMediaMode(HCALL call, std::uint32_t mediaModes) {
  Record("lineSetMediaMode");
  Call* c = FindCall(call);
  if (!c || !c->Allocated) return LINEERR_INVALCALLHANDLE;
  LastMediaMode = mediaModes;
  if (SetMediaModeResult != 0) return SetMediaModeResult;
  c->Media = mediaModes;
  return 0;
}

}  // namespace testing_support
