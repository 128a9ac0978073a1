// The executive reload: the interpreter stopped, the image file chosen by firmware and programming mode and
// read when the reload was asked sent block by block to the executive's addresses between a "stop" and a
// "start" control block, then the restart wait, a new identification and the clock set from the PC.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "controller/state_tables.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "project/settings.h"

namespace controller {

namespace {

constexpr std::uint16_t ExecutiveStart = 0x1200;
// The block address is 16 bits: a longer image would wrap round and overwrite the bottom of memory.
constexpr long MaxImageBytes = 0x10000 - ExecutiveStart;

std::string ImageFileName(int firmwareVersion, int programmingMode) {
  if (firmwareVersion < 820) return "FLASH.BIN";
  return programmingMode == 1 ? "ONSCREEN.BIN" : "FLASH512.BIN";
}

// The whole file into `bytes`; false when it cannot be read or cannot be a whole executive image.
bool ReadImageFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  const int handle = ::open(platform::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) return false;
  struct stat st {};
  bool good = ::fstat(handle, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= MaxImageBytes;
  bytes.assign(good ? static_cast<std::size_t>(st.st_size) : 0, 0);
  for (std::size_t got = 0; good && got < bytes.size();) {
    const ssize_t n = ::read(handle, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    good = n > 0;  // shorter than it was a moment ago: not the image it was
    if (good) got += static_cast<std::size_t>(n);
  }
  ::close(handle);
  return good;
}

// The next piece of the image from BlockIndex; the block's bytes after a short piece are zero.
int ReadPiece(CommsEngine& e) {
  const std::vector<std::uint8_t>& image = e.Sending.Executive;
  // Past the last block the address has wrapped round to 0: nothing is left.
  const std::size_t from = std::min<std::size_t>(std::size_t{e.BlockIndex} - ExecutiveStart, image.size());
  const std::size_t count = std::min<std::size_t>(BlockDataSize, image.size() - from);
  e.BlockData.fill(0);
  std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(from), count, e.BlockData.begin());
  return static_cast<int>(count);
}

void StopInterpreter(CommsEngine& e) {
  // The flash key goes here, not at the click: a download running then still flashes with it.
  e.FlashArg = 0;
  e.AddressingRestart = 0;
  // The image read when it was asked, taken once: the stop's first leaving the port takes the request, so a
  // reload asked after it keeps its own image when this stop is sent again.
  if (!e.WorkSent()) {
    e.Sending.Executive = e.Asked.Executive;
    e.ImageFilePath = e.Asked.ExecutivePath;
  }
  e.SetStep("Stopping Interp");
  e.AddLogLine("Stopping Interp");
  e.SendCommandFrame(CmdStopInterpreter);
  e.CommState = 129;
}

// A refused stop is sent again: the executive must not be replaced under a running interpreter.
void AwaitInterpreterStopped(CommsEngine& e) {
  if (e.AwaitAck("retry STOP", "Waiting for Response")) e.CommState = 130;
}

void BeginImage(CommsEngine& e) {
  e.SetStep("Loading Controller");
  e.BlockIndex = ExecutiveStart;
  e.MeterScale = static_cast<float>(e.Sending.Executive.size()) * 0.01f;
  e.MeterBytes = 0;
  e.ShowMeter(0);
  e.CommState = 131;
}

void StopController(CommsEngine& e) {
  e.AddLogLine("Stopping Controller");
  e.SendBlockFrame(StopHeader);
  e.CommState = 132;
}

// A refused stop or image block is sent again; the refusals count as retries, so a controller that never
// takes it ends the connection instead of holding the engine here for ever.
void AwaitControllerStopped(CommsEngine& e) {
  if (!e.AwaitAck("retry STOP")) return;
  e.FileReadCount = static_cast<std::uint16_t>(ReadPiece(e));
  e.CommState = 133;
}

void SendImageBlock(CommsEngine& e) {
  char step[48];
  std::snprintf(step, sizeof step, "Sending %d -> %X", e.FileReadCount, e.BlockIndex);
  e.SetStep(step);
  e.SendBlockData(ImageHeader(e.BlockIndex));
  e.CommState = 134;
}

void AwaitImageBlock(CommsEngine& e) {
  if (!e.AwaitAck("flash load data")) return;
  e.BlockIndex += BlockDataSize;
  if (e.FileReadCount == BlockDataSize) {
    e.MeterBytes += BlockDataSize;
    e.View.SetMeterPercent(static_cast<int>(static_cast<float>(e.MeterBytes) / e.MeterScale));
    // An image that ends on a block boundary ends with an empty piece: there is nothing left to send.
    if (const int n = ReadPiece(e); n > 0) {
      e.FileReadCount = static_cast<std::uint16_t>(n);
      e.CommState = 133;
      return;
    }
  }
  e.HideMeter();
  e.CommState = 135;
}

// Also where auto-addressing ends: it needs nothing of the reload's own fields. A start block sent again
// after a refusal does not repeat the message.
void StartExecutive(CommsEngine& e) {
  e.AddLogLine("Starting Executive");
  e.SendBlockFrame(StartHeader);
  e.CommState = 136;
  e.View.ShowWindow(CommsWindow::Restart, true);
  if (e.RetryCount == 0) platform::Ui().ShowMessage("Be sure to re-load your Program File");
  e.BeginRestartWait();
}

// A disconnect asked for meanwhile waits for the next idle pass: the controller has restarted by then,
// and its clock is set first, the last step of the transfer. A new connection's controller may be another:
// its clock is not set, and that is told, unless a clock set was asked since the attach: that one is the
// new connection's and goes, and the line would say it was dropped.
void AwaitRestart(CommsEngine& e) {
  if (!e.RestartWaitDone()) return;
  e.AddLogLine("Program Downloaded OK");
  if (e.AttachRequest) {
    if (!e.SetClockRequest) e.TellDropped("Clock Set");
    e.CommState = 1001;
    return;
  }
  e.SetClockRequest = 1;
  e.ReloadClock = 1;
  // Part of the work asked before what waits now: a clock read asked meanwhile shows the time it sets.
  RankBeforeWaiting(e, RequestKind::SetClock);
  e.CommState = 100;
}

constexpr StateEntry kStates[] = {
    {128, 128, StopInterpreter}, {129, 129, AwaitInterpreterStopped}, {130, 130, BeginImage},
    {131, 131, StopController},  {132, 132, AwaitControllerStopped},  {133, 133, SendImageBlock},
    {134, 134, AwaitImageBlock}, {135, 135, StartExecutive},          {136, 136, AwaitRestart},
};

}  // namespace

std::span<const StateEntry> ExecReloadStates() { return kStates; }

bool CommsEngine::RequestExecReload() {
  AddLogLine("Download Controller Program Command");
  Asked.ExecutiveDirectory = Settings.CurrentDirectory;
  Asked.ProgrammingMode = Settings.ProgrammingMode;
  Asked.ExecutivePath.clear();
  Asked.Executive.clear();
  ReloadExecRequest = 1;
  // Identification clears the version until it has read it again.
  return FirmwareVersion == 0 || TakeExecImage();
}

bool CommsEngine::TakeExecImage() {
  const std::string path = platform::ResolveFileCase(
      platform::JoinPath(Asked.ExecutiveDirectory, ImageFileName(FirmwareVersion, Asked.ProgrammingMode)));
  AddLogLine("Opening File: " + path);
  if (!ReadImageFile(path, Asked.Executive)) {
    AddLogLine("File: " + path + " Error");
    Asked.Executive.clear();
    ReloadExecRequest = 0;
    platform::Ui().ShowMessage("File: " + path + " Error: Executive Reload not sent");
    return false;
  }
  AddLogLine("File: " + path + " Open");
  Asked.ExecutivePath = path;
  return true;
}

}  // namespace controller
