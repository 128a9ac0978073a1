#include "controller/running_work.h"

#include <algorithm>

#include "controller/comms_engine.h"

namespace controller {

namespace {

struct WorkStates {
  int First, Last;
  RunningWork Work;
};

constexpr const char* kHalfIrCodes = "may leave the controller stopped, with its IR codes half written";
constexpr const char* kLearnEnds = "the controller's IR receiver is switched back and no code is learnt";
constexpr const char* kLearnLeft = "the controller's IR receiver may be left learning";

template <auto Field>
void Keep(Requests& to, const Requests& from, std::size_t) {
  to.*Field = from.*Field;
}

template <auto Field>
void Take(Requests& requests) {
  requests.*Field = Requests{}.*Field;
}

void X10MonitorRuns(Requests& requests) {
  if (requests.X10MonitorRequest) requests.X10MonitorRequest = ReadSent;
}

// Only the queued change on the line: the others were not sent.
void KeepSentSlot(Requests& to, const Requests& from, std::size_t slot) {
  to.CommandQueue[slot] = from.CommandQueue[slot];
}

const WorkStates kWork[] = {
    {128,
     135,
     {WorkKind::Transfer, "Executive Reload", "leaves the controller without a whole executive", nullptr, nullptr,
      Take<&Requests::ReloadExecRequest>}},
    {136, 136, {WorkKind::RestartWait, "Executive Reload", ""}},
    {140,
     148,
     {WorkKind::Transfer, "Infra-Red File Download", kHalfIrCodes, nullptr, nullptr,
      Take<&Requests::IrDownloadRequest>}},
    {160,
     165,
     {WorkKind::Transfer, "Infra-Red File Download", "leaves the controller stopped, with its IR codes half written",
      nullptr, nullptr, Take<&Requests::IrDownloadRequest>}},
    {166, 166, {WorkKind::RestartWait, "Infra-Red File Download", ""}},
    {170,
     175,
     {WorkKind::Transfer, "Infra-Red File Upload", "leaves the controller stopped; no file is written", nullptr,
      nullptr, Take<&Requests::IrUploadRequest>}},
    {176, 176, {WorkKind::RestartWait, "Infra-Red File Upload", ""}},
    {180,
     188,
     {WorkKind::Transfer, "Infra-Red File Upload", "may leave the controller stopped; no file is written", nullptr,
      nullptr, Take<&Requests::IrUploadRequest>}},
    {499,
     516,
     {WorkKind::Transfer, "Program Download", "leaves the controller with its program stopped", nullptr, nullptr,
      Take<&Requests::ProgramDownloadRequest>}},
    {600,
     603,
     {WorkKind::Transfer, "Pager Messages", "leaves the controller's pager messages half written", nullptr, nullptr,
      Take<&Requests::PagerLoadRequest>}},
    {610,
     615,
     {WorkKind::Transfer, "ASCII Messages", "leaves the controller's ASCII messages half written", nullptr, nullptr,
      Take<&Requests::AsciiTableRequest>}},
    {800,
     826,
     {WorkKind::Transfer, "ASCII Messages", "leaves the module's ASCII messages half written", nullptr, nullptr,
      Take<&Requests::RemoteAsciiModule>}},
    {900,
     907,
     {WorkKind::Transfer, "Touch Screen Download", "leaves the touch screen stopped and half written", nullptr, nullptr,
      Take<&Requests::TouchLoadRequest>}},
    {908, 908, {WorkKind::RestartWait, "Touch Screen Download", ""}},
    {1100,
     1104,
     {WorkKind::Transfer, "Icon Download", "leaves the controller's icons half written", nullptr, nullptr,
      Take<&Requests::IconLoadRequest>}},

    {520,
     527,
     {WorkKind::Mode, "X10 Monitor", "the controller's X10 event reports are switched off", nullptr,
      "the controller may go on sending its X10 event reports", X10MonitorRuns, Reports::X10Events}},
    {560, 561, {WorkKind::Mode, "IR Learn", kLearnEnds, Keep<&Requests::IrLearnNumber>, kLearnLeft}},
    // From the learn command on, a code may be reported.
    {562,
     564,
     {WorkKind::Mode, "IR Learn", kLearnEnds, Keep<&Requests::IrLearnNumber>, kLearnLeft, nullptr,
      Reports::LearntCode}},
    // Its end step has cleared its number: a learn asked now is the next, and has not started.
    {565, 566, {WorkKind::Mode, "IR Learn", kLearnEnds, nullptr, kLearnLeft, nullptr, Reports::LearntCode}},
    {590,
     594,
     {WorkKind::Mode, "Auto Address",
      "the controller is told the last module number given and restarts (about 75 seconds)",
      Keep<&Requests::AutoAddressRequest>}},

    {120, 121, {WorkKind::Command, "Parameter Change", "", KeepSentSlot}},
    {155, 156, {WorkKind::Command, "Raw Command", "", Keep<&Requests::RawCommandRequest>}},
    {206, 207, {WorkKind::Command, "Module Parameter Change", "", Keep<&Requests::ParamChangeRequest>}},
    {210, 211, {WorkKind::Command, "Transmit Command", "", Keep<&Requests::TransmitRequest>}},
    {450, 451, {WorkKind::Command, "Extended X10 Command", "", Keep<&Requests::ExtX10Request>}},
    {518, 519, {WorkKind::Command, "X10 Command", "", Keep<&Requests::X10SendRequest>}},
    {530, 531, {WorkKind::Command, "Clock Set", "", Keep<&Requests::SetClockRequest>}},
    {567, 568, {WorkKind::Command, "IR Clear Command", "", Keep<&Requests::IrClearNumber>}},
    {570, 571, {WorkKind::Command, "IR Transmit Command", "", Keep<&Requests::IrTransmitNumber>}},
    {575, 576, {WorkKind::Command, "Remote IR Command", "", Keep<&Requests::RemoteIrRequest>}},
    {580, 581, {WorkKind::Command, "Relay Command", "", Keep<&Requests::RelayRequest>}},
    {710, 711, {WorkKind::Command, "Change Data", "", Keep<&Requests::ChangeDataRequest>}},
};

const RunningWork kAddressingRestart{WorkKind::RestartWait, "Auto Address", ""};

}  // namespace

constexpr RequestKind kTransfers[] = {
    RequestKind::ProgramDownload, RequestKind::ReloadExec, RequestKind::TouchLoad, RequestKind::IconLoad,
    RequestKind::IrDownload,      RequestKind::IrUpload,   RequestKind::PagerLoad, RequestKind::AsciiTable,
};

std::span<const RequestKind> TransferKinds() { return kTransfers; }

bool TransferAsked(const Requests& r, RequestKind kind) {
  switch (kind) {
    case RequestKind::ProgramDownload:
      return r.ProgramDownloadRequest != 0;
    case RequestKind::ReloadExec:
      return r.ReloadExecRequest != 0;
    case RequestKind::TouchLoad:
      return r.TouchLoadRequest != 0;
    case RequestKind::IconLoad:
      return r.IconLoadRequest != 0;
    case RequestKind::IrDownload:
      return r.IrDownloadRequest != 0;
    case RequestKind::IrUpload:
      return r.IrUploadRequest != 0;
    case RequestKind::PagerLoad:
      return r.PagerLoadRequest != 0;
    case RequestKind::AsciiTable:
    case RequestKind::RemoteAscii:
      return r.AsciiTableRequest != 0 || r.RemoteAsciiModule != 0;
    default:
      return false;
  }
}

const RunningWork* WorkOfState(int state, bool addressing) {
  if (addressing && (state == 135 || state == 136)) return &kAddressingRestart;
  for (const WorkStates& w : kWork)
    if (state >= w.First && state <= w.Last) return &w.Work;
  return nullptr;
}

namespace {

// A change queued since the idle pass chose the parameter read goes out after it: the read that shows it
// is still to come.
void TakeParams(CommsEngine& e) {
  const bool changeQueued =
      std::any_of(e.CommandQueue.begin(), e.CommandQueue.end(), [](const auto& slot) { return slot[0] != 0; });
  if (!changeQueued) e.ParamsRequest = 0;
}

// Its bytes are the address sent; one asked since is read after them.
void TakeDump(CommsEngine& e) {
  if (e.DumpRequest && e.DumpAddress == e.SentDumpAddress) e.DumpRequest = ReadSent;
}

const ReadWork kReads[] = {
    {150, 151, [](const CommsEngine& e) { return e.ParamsRequest != 0; }, TakeParams},
    {199, 205, [](const CommsEngine& e) { return e.ModuleParamsRequest != 0; },
     [](CommsEngine& e) { e.ModuleParamsRequest = 0; }},
    {300, 304, [](const CommsEngine& e) { return e.X10MonitorRequest != 0; },
     [](CommsEngine& e) { X10MonitorRuns(e); }},
    {540, 541, [](const CommsEngine& e) { return e.ClockRequest == 1 || e.ClockRequest == 2; },
     [](CommsEngine& e) {
       if (e.UserClockRead) e.UserClockRead = ReadSent;
     }},
    {550, 551, [](const CommsEngine& e) { return e.DumpRequest != 0; }, TakeDump},
    {700, 705, [](const CommsEngine& e) { return e.TimerVarMonitorRequest != 0; },
     [](CommsEngine& e) {
       if (e.TimerVarMonitorRequest) e.TimerVarMonitorRequest = TimerVarMonitorRan;
     }},
};

}  // namespace

const ReadWork* ReadOfState(int state) {
  for (const ReadWork& read : kReads)
    if (state >= read.First && state <= read.Last) return &read;
  return nullptr;
}

namespace {

// What ending `work` does, as the question says it; empty when there is nothing to ask.
std::string EndStatement(const RunningWork& work, Ending how) {
  const std::string doing = how == Ending::Exit ? "closing" : "attaching";
  const std::string name = work.Name;
  switch (work.Kind) {
    case WorkKind::Mode:
      return "The " + name + " is running: " + doing + " now ends it first: " + work.Ends + ".";
    // A posted reconnection is taken once these have ended.
    case WorkKind::Transfer:
    case WorkKind::PortWork:
      if (how == Ending::Reconnection) return {};
      return "The " + name + " is running: " + doing + " now cuts it short and " + work.Ends + ".";
    case WorkKind::RestartWait:
      if (how == Ending::Reconnection) return {};
      return "The controller is restarting after the " + name + ": " + doing +
             " now waits for the restart to end first (about 75 seconds).";
    case WorkKind::Command:
      break;
  }
  return {};
}

}  // namespace

std::string EndQuestion(const RunningWork* work, Ending how, const std::string& also) {
  std::string question = work ? EndStatement(*work, how) : std::string();
  if (!also.empty()) question += (question.empty() ? "" : " ") + also;
  if (question.empty()) return {};
  return question + " Still " + (how == Ending::Exit ? "close" : "attach") + "?";
}

}  // namespace controller
