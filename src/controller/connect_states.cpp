// Connecting by each access method, identifying the controller, polling its I/O states, the parked
// state of the network access method, and the disconnect.
#include <cstdio>

#include "controller/direct_port.h"
#include "controller/state_tables.h"
#include "platform/ui.h"
#include "project/settings.h"
#include "serial/com_port.h"

namespace controller {

namespace {

void Next(CommsEngine& e) { e.CommState += 1; }

// A port that would not open or a number selector cancelled: what the attach asked for ends here, and the
// AT modem's port opened for the dial is closed again.
void NeverConnected(CommsEngine& e) {
  if (e.Port.Open()) e.Port.SetOpen(false);
  e.ShowEnded();
  e.CommState = 0;
  e.DropRequests();
  e.TellNotSent();
}

// What is asked after an attach is the connection's it starts: nothing here clears a request. A
// reconnection cleared and told what it drops when it was taken.
void Connect(CommsEngine& e) {
  // What the last connection's end dropped and told only in the log: the attach shows that log.
  e.TellNotSent();
  // Closed before it started: the close wins. Only a reconnection has a line open.
  if (e.CloseRequest) {
    e.CommsErrorKind = -1;
    e.CommState = e.Port.Open() ? 1001 : 1006;
    return;
  }
  // Nor the buttons of an addressing run that a lost connection cut short, nor the last one's retries.
  e.SkipRequest = e.AbortRequest = 0;
  e.RetryCount = 0;
  // A module parameter's read-back a reconnection cut is read again: its window shows the value written. So
  // is a read whose answer never came: its frame goes on this line.
  if (e.ReadBackParam >= 0 && !e.ModuleParamsRequest) e.ModuleParamsRequest = 2;
  for (std::uint8_t* read : {&e.DumpRequest, &e.UserClockRead, &e.X10MonitorRequest})
    if (*read == ReadSent) *read = 1;
  // Nor a flash key: another site may have been dialled or the controller swapped, so the controller at
  // the end of this line confirms its own.
  e.FlashArg = 0;
  e.ClockKeys.clear();
  e.BadClockReads = 0;
  e.CommsErrorKind = -1;
  e.Connection = {e.Settings.ComNum, e.Settings.Method, e.Settings.NonTapi};
  e.Port.SetComNumber(e.Connection.ComNum);
  if (e.Connection.ComNum == 0) {
    e.CommState = 2;
    return;
  }
  if (!OpenDirect(e.Port, e.Connection.ComNum)) {
    NeverConnected(e);
    return;
  }
  e.CommState = e.Connection.NonTapi ? 10 : 4;
}

void DialTelephony(CommsEngine& e) {
  e.CommState = 3;
  std::string number;
  if (e.Dial->SelectNumber(number)) {
    e.Port.SetTapiMode(serial::tmOn);
    e.Dial->TapiDial(number);
  } else {
    NeverConnected(e);
  }
}

void DialModem(CommsEngine& e) {
  e.CommState = 11;
  std::string number;
  if (!e.Dial->SelectNumber(number)) {
    NeverConnected(e);
    return;
  }
  // A dialer that gave up sends no connect event: end as a failed call does, unless the user is leaving.
  if (!e.Dial->RunDialer(number) && e.CommState == 11) {
    if (e.CloseRequest) {
      e.CommState = 1001;
    } else {
      e.CommState = 1000;
      e.CommsErrorKind = 2;
    }
  }
}

// Waiting for the dial-up device's connect event: a user who gives up (closes the window) is not kept
// waiting for an event that may never come.
void AwaitDialUp(CommsEngine& e) {
  if (e.CloseRequest) e.CommState = 1001;
}

// The network access method has nothing to do yet: the engine waits here until the user disconnects.
void Parked(CommsEngine& e) {
  if (e.CloseRequest) e.CommState = 1001;
}

void ChooseMethod(CommsEngine& e) {
  if (e.Connection.Method == 1)
    e.CommState = 94;
  else if (e.Connection.Method == 0)
    e.CommState = 299;
}

void RequestInfo(CommsEngine& e) {
  e.HideMeter();
  if (!e.ParamsRequest) e.ParamsRequest = IdentificationParamsRead;
  RankOwnRequest(e, RequestKind::Params);
  e.ModuleTypes.fill(NoModule);
  e.ModuleVersions.fill(0);
  e.ClearModuleGrid();
  char text[16];
  e.View.SetCell(CommsGrid::Modules, 0, 0, "Mod#");
  e.View.SetCell(CommsGrid::Modules, 1, 0, "Type");
  e.View.SetCell(CommsGrid::Modules, 2, 0, "Vers");
  for (int b = 0; b < 16; ++b) {
    std::snprintf(text, sizeof text, "I/O# %d", b);
    e.View.SetCell(CommsGrid::Modules, 3 + b, 0, text);
  }
  e.View.SetCell(CommsGrid::Modules, 19, 0, "Data");
  e.AppVersion = 0;
  e.FirmwareVersion = 0;
  e.UpdateWarningOwed = 0;
  e.SetStep("Requesting Controller Info");
  e.SendRequestFrame(AddrInfoBlock);
  e.CommState = 101;
}

// Asked by the engine itself, the question waits in state 101, tick after tick, while the user has a box of
// the program's open (the timer ticks under a box a window showed): it would take the keys meant for that box.
void AskUpdateWarning(CommsEngine& e) {
  if (platform::Ui().ModalBoxOpen()) return;
  e.UpdateWarningOwed = 0;
  e.CommState = 102;
  platform::Ui().Beep();
  if (platform::Ui().MessageBox("Warning! Your Controller does not have the latest exec code.. Load Now?",
                                "Update Warning", platform::MsgButtons::OkCancel,
                                platform::MsgKind::Warning) != platform::MsgResult::Ok ||
      !e.RequestAllowed(RequestName(RequestKind::ReloadExec), e.ReloadExecRequest != 0))
    return;
  // The engine's own request: it waits for those asked before it on the same data, but for a program
  // download, which goes after it and brings the program the reload leaves the controller without.
  e.RequestExecReload();
  RankOwnRequest(e, RequestKind::ReloadExec);
  e.HeldBehind[static_cast<std::size_t>(RequestKind::ReloadExec)] &= ~KindBit(RequestKind::ProgramDownload);
}

void AwaitInfo(CommsEngine& e) {
  if (e.UpdateWarningOwed) {
    AskUpdateWarning(e);
    return;
  }
  if (!e.AwaitReply(BlockReplySize, "Waiting for Controller Info") || !e.BlockReplyChecked()) return;
  const auto& f = e.FrameBuffer;
  e.AppVersion = f[8] | f[9] << 8;
  e.FirmwareSubNumber = f[14];
  e.TimerTableAddress = static_cast<std::uint16_t>(f[16] | f[17] << 8);
  e.VariableTableAddress = static_cast<std::uint16_t>(f[18] | f[19] << 8);
  e.RetryCount = 0;
  if (e.AppVersion < 318) {
    e.UpdateWarningOwed = 1;
    AskUpdateWarning(e);
    return;
  }
  e.CommState = 102;
}

void RequestTypes(CommsEngine& e) {
  e.SetStep("Requesting Type");
  e.SendRequestFrame(AddrModuleTypes);
  e.CommState = 103;
}

void AwaitTypes(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Type") || !e.BlockReplyChecked()) return;
  for (int k = 0; k < ModuleSlots; ++k) e.ModuleTypes[static_cast<std::size_t>(k)] = e.Data(k);
  e.RetryCount = 0;
  e.CommState = 104;
}

void RequestRomVersion(CommsEngine& e) {
  e.SendRequestFrame(AddrFirmwareVersion);
  e.CommState = 105;
}

void AwaitRomVersion(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for ROM Version") || !e.BlockReplyChecked()) return;
  e.FirmwareVersion = e.DataWord(0);
  if (e.FirmwareVersion == 0) {
    e.CommsRetry("Rom version");
    return;
  }
  e.RetryCount = 0;
  e.CommState = 106;
  // A reload asked before the version was known takes its image now.
  if (e.ReloadExecRequest && e.Asked.ExecutivePath.empty()) e.TakeExecImage();
}

void RequestVersions(CommsEngine& e) {
  e.SetStep("Requesting Version");
  e.SendRequestFrame(AddrModuleVersions);
  e.CommState = 107;
}

void AwaitVersions(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Version") || !e.BlockReplyChecked()) return;
  for (int k = 0; k < ModuleSlots; ++k)
    if (e.ModuleTypes[static_cast<std::size_t>(k)] < NoModule)
      e.ModuleVersions[static_cast<std::size_t>(k)] = e.Data(k);
  e.RetryCount = 0;
  e.CommState = 108;
}

// The work a new connection's attach waited for has ended: nothing more is read from this controller.
void BeginPoll(CommsEngine& e) {
  e.HideMeter();
  e.CommState = e.AttachRequest ? 1001 : 111;
}

void RequestIo(CommsEngine& e) {
  e.SetStep("Requesting I/O Data");
  e.SendRequestFrame(AddrIoStates);
  e.CommState = 113;
}

void AwaitIo(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Data") || !e.BlockReplyChecked()) return;
  for (int k = 0; k < ModuleSlots; ++k) {
    if (e.ModuleTypes[static_cast<std::size_t>(k)] >= NoModule) continue;
    const std::uint32_t word = e.DataWord(2 * k);
    e.IoStates[static_cast<std::size_t>(k)] = word;
    e.View.SetCell(CommsGrid::Modules, 19, k + 1, std::to_string(word));
    for (int b = 0; b < 16; ++b) e.View.SetCell(CommsGrid::Modules, 3 + b, k + 1, word & (1u << b) ? "ON" : "OFF");
  }
  e.RetryCount = 0;
  e.CommState = 114;
}

void LostConnection(CommsEngine& e) {
  if (e.CommsErrorKind != 2) e.CommsErrorKind = 1;
  e.CommState = 1001;
}

void EndConnection(CommsEngine& e) {
  e.CommState = 1002;
  // A transfer cut short leaves no file open behind it.
  e.CloseImageFile();
  if (e.Connection.ComNum == 0) {
    e.Dial->TapiCancelCall();
    return;
  }
  if (e.Connection.NonTapi) e.Dial->ModemHangup();
  e.Port.SetOpen(false);
}

void Detach(CommsEngine& e) {
  e.RetryCount = 0;
  // Attached again after the close, and not closed since: the next connection starts now, with what was
  // asked of it meanwhile. The attach hid this one's windows.
  const bool next = e.AttachRequest && !e.CloseRequest;
  e.AttachRequest = 0;
  if (!next) {
    e.View.ShowWindow(CommsWindow::Editor, true);
    e.HideConnectionWindows();
    e.ShowEnded();
    e.View.StopTimer();
  }
  e.CommState = next ? 1 : 0;
  if (e.CommsErrorKind == 1)
    platform::Ui().MessageBox("Lost Connection", "Comms Error", platform::MsgButtons::Ok, platform::MsgKind::Error);
  else if (e.CommsErrorKind == 2)
    platform::Ui().MessageBox("Failed Modem Connection Attempt", "Dial Error", platform::MsgButtons::Ok,
                              platform::MsgKind::Error);
  // What the connection was asked for ends with it, with what was posted while it ended; only what was asked
  // after a new connection's attach goes on to that connection.
  if (next)
    e.DropKeptRequest();
  else
    e.DropRequests();
  e.TellNotSent();
}

constexpr StateEntry kStates[] = {
    {1, 1, Connect},
    {2, 2, DialTelephony},
    {3, 3, AwaitDialUp},
    {4, 4, ChooseMethod},
    {10, 10, DialModem},
    {11, 11, AwaitDialUp},
    {94, 99, Next},
    {299, 299, Parked},
    {100, 100, RequestInfo},
    {101, 101, AwaitInfo},
    {102, 102, RequestTypes},
    {103, 103, AwaitTypes},
    {104, 104, RequestRomVersion},
    {105, 105, AwaitRomVersion},
    {106, 106, RequestVersions},
    {107, 107, AwaitVersions},
    {108, 109, Next},
    {110, 110, BeginPoll},
    {111, 111, Next},
    {112, 112, RequestIo},
    {113, 113, AwaitIo},
    {1000, 1000, LostConnection},
    {1001, 1001, EndConnection},
    {1002, 1005, Next},
    {1006, 1006, Detach},
};

}  // namespace

std::span<const StateEntry> ConnectStates() { return kStates; }

}  // namespace controller
