// The idle state: the user's close, and an attach that starts a new connection, come before everything.
// Otherwise an IR file in the format this controller does not take is dropped and told, then every request
// is tested in a fixed order and each one that is set overrides those before it, so the last set request in
// this order starts now and the others wait for later passes. A flash download without its key has the
// clock read first. The gate that posts requests keeps those on the same data in the order asked, and a
// request the engine or a dialog set for itself is passed over while one asked before it waits
// (request_order.h).
#include "controller/state_tables.h"
#include "platform/ui.h"

namespace controller {

namespace {

using K = RequestKind;

// The file dialog offered the format of the firmware known when it opened (none before identification
// ends): a file in the format this controller does not take is not sent.
void DropIrFileOfOtherFormat(CommsEngine& e, std::uint8_t& request, bool lir, const std::string& what) {
  if (!request || lir == e.TakesLirFiles()) return;
  request = 0;
  const std::string line = what + " not sent: this controller's firmware takes " + (lir ? ".ir" : ".lir") + " files";
  e.AddLogLine(line);
  platform::Ui().ShowMessage(line);
}

// A flash download waits for its key: the clock is read first. A read the user asked for is shown, and
// builds the key as well as a silent one.
bool FlashKeyKnown(CommsEngine& e) {
  if (e.FlashArg != 0) return true;
  if (e.ClockRequest != 1) e.ClockRequest = 2;
  return false;
}

void Idle(CommsEngine& e) {
  // The user's close wins over whatever was posted around it: nothing goes to a closed connection, and its
  // end tells what it drops. An attach that starts a new connection ends this one once its work has ended.
  if (e.CloseRequest) {
    e.CommState = e.ReloadClock && e.SetClockRequest ? 530 : 1001;
    return;
  }
  if (e.AttachRequest) {
    e.CommState = 1001;
    return;
  }
  DropIrFileOfOtherFormat(e, e.IrUploadRequest, e.IrUploadLir, "Infra-Red File Upload");
  DropIrFileOfOtherFormat(e, e.IrDownloadRequest, e.IrDownloadLir, "Infra-Red File Download");
  const KindSet held = HeldBack(e);
  const auto free = [held](K kind) { return !(held & KindBit(kind)); };
  int next = 110;
  if (e.RemoteAsciiModule != 0 && free(K::RemoteAscii)) next = 800;
  if (e.RawCommandRequest && free(K::RawCommand)) next = 155;
  if (e.TimerVarMonitorRequest && free(K::TimerVarMonitor)) next = 700;
  if (e.ChangeDataRequest != NoChangeData && free(K::ChangeData)) next = 710;
  if (e.AsciiTableRequest && free(K::AsciiTable)) next = 610;
  if (e.PagerLoadRequest && free(K::PagerLoad)) next = 600;
  if (e.AutoAddressRequest != -1 && free(K::AutoAddress)) next = 590;
  if (e.RelayRequest && free(K::Relay)) next = 580;
  if (e.TransmitRequest && free(K::Transmit)) next = 210;
  if (e.RemoteIrRequest && free(K::RemoteIr)) next = 575;
  if (e.IrUploadRequest && free(K::IrUpload)) next = e.TakesLirFiles() ? 180 : 170;
  if (e.IrDownloadRequest && free(K::IrDownload)) next = e.TakesLirFiles() ? 140 : 160;
  if (e.IrLearnNumber != -1 && free(K::IrLearn)) next = 560;
  if (e.IrClearNumber != -1 && free(K::IrClear)) next = 567;
  if (e.IrTransmitNumber != -1 && free(K::IrTransmit)) next = 570;
  if (e.DumpRequest && free(K::Dump)) next = 550;
  if (e.ProgramDownloadRequest && free(K::ProgramDownload) && FlashKeyKnown(e)) next = 499;
  if (e.ReloadExecRequest && free(K::ReloadExec)) next = 128;
  if (e.ModuleParamsRequest && free(K::ModuleParams)) next = 199;
  if (e.ParamChangeRequest == 1 && free(K::ParamChange)) next = 206;
  if (e.X10SendRequest >= 0 && free(K::X10Send)) next = 518;
  if (e.X10MonitorRequest && free(K::X10Monitor)) next = e.AppVersion > 212 ? 300 : 520;
  if (e.SetClockRequest && free(K::SetClock)) next = 530;
  if (e.ExtX10Request && free(K::ExtX10)) next = 450;
  if (e.ParamsRequest && free(K::Params)) next = 150;
  for (int slot = 0; slot < CommandQueueSlots && free(K::CommandQueue); ++slot) {
    if (e.CommandQueue[static_cast<std::size_t>(slot)][0] == 0) continue;
    e.QueueIndex = slot;
    next = 120;
    break;
  }
  if (e.TouchLoadRequest && free(K::TouchLoad)) next = 900;
  if (e.IconLoadRequest && free(K::IconLoad) && FlashKeyKnown(e)) next = 1100;
  if (e.ClockRequest == 1 || e.ClockRequest == 2) {
    if (free(K::Clock)) next = 540;
  } else if (e.ClockRequest >= 3) {
    e.ClockRequest -= 1;
  }
  if (e.ReconnectRequest) {
    next = 1;
    e.ReconnectRequest = 0;
  }
  e.CommState = next;
}

constexpr StateEntry kStates[] = {{114, 114, Idle}};

}  // namespace

std::span<const StateEntry> IdleStates() { return kStates; }

}  // namespace controller
