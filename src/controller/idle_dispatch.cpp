// The idle state: the user's close, and an attach that starts a new connection, come before everything.
// Otherwise an IR file in the format this controller does not take is dropped and told, then every request
// is tested in a fixed order and each one that is set overrides those before it, so the last set request in
// this order starts now and the others wait for later passes. A flash download without its key has the
// clock read first. The gate that posts requests keeps those on the same data in the order asked
// (request_order.h).
#include "controller/state_tables.h"
#include "platform/ui.h"

namespace controller {

namespace {

// The file dialog offered the format of the firmware known when it opened (none before identification
// ends): a file in the format this controller does not take is not sent.
void DropIrFileOfOtherFormat(CommsEngine& e, std::uint8_t& request, bool lir, const std::string& what) {
  if (!request || lir == e.TakesLirFiles()) return;
  request = 0;
  const std::string line = what + " not sent: this controller's firmware takes " + (lir ? ".ir" : ".lir") + " files";
  e.AddLogLine(line);
  platform::Ui().ShowMessage(line);
}

// A read the user asked for is shown, and builds the key as well as a silent one.
void NeedFlashKey(CommsEngine& e) {
  if (e.FlashArg == 0 && e.ClockRequest != 1) e.ClockRequest = 2;
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
  int next = 110;
  if (e.RemoteAsciiModule != 0) next = 800;
  if (e.RawCommandRequest) next = 155;
  if (e.TimerVarMonitorRequest) next = 700;
  if (e.ChangeDataRequest != NoChangeData) next = 710;
  if (e.AsciiTableRequest) next = 610;
  if (e.PagerLoadRequest) next = 600;
  if (e.AutoAddressRequest != -1) next = 590;
  if (e.RelayRequest) next = 580;
  if (e.TransmitRequest) next = 210;
  if (e.RemoteIrRequest) next = 575;
  DropIrFileOfOtherFormat(e, e.IrUploadRequest, e.IrUploadLir, "Infra-Red File Upload");
  DropIrFileOfOtherFormat(e, e.IrDownloadRequest, e.IrDownloadLir, "Infra-Red File Download");
  if (e.IrUploadRequest) next = e.TakesLirFiles() ? 180 : 170;
  if (e.IrDownloadRequest) next = e.TakesLirFiles() ? 140 : 160;
  if (e.IrLearnNumber != -1) next = 560;
  if (e.IrClearNumber != -1) next = 567;
  if (e.IrTransmitNumber != -1) next = 570;
  if (e.DumpRequest) next = 550;
  if (e.ProgramDownloadRequest) {
    next = 499;
    NeedFlashKey(e);
  }
  if (e.ReloadExecRequest) next = 128;
  if (e.ModuleParamsRequest) next = 199;
  if (e.ParamChangeRequest == 1) next = 206;
  if (e.X10SendRequest >= 0) next = 518;
  if (e.X10MonitorRequest) next = e.AppVersion > 212 ? 300 : 520;
  if (e.SetClockRequest) next = 530;
  if (e.ExtX10Request) next = 450;
  if (e.ParamsRequest) next = 150;
  for (int slot = 0; slot < CommandQueueSlots; ++slot) {
    if (e.CommandQueue[static_cast<std::size_t>(slot)][0] == 0) continue;
    e.QueueIndex = slot;
    next = 120;
    break;
  }
  if (e.TouchLoadRequest) next = 900;
  if (e.IconLoadRequest) {
    next = 1100;
    NeedFlashKey(e);
  }
  if (e.ClockRequest == 1 || e.ClockRequest == 2)
    next = 540;
  else if (e.ClockRequest >= 3)
    e.ClockRequest -= 1;
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
