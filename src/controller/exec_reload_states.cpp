// The executive reload: the interpreter stopped, the image file chosen by firmware and programming mode
// sent block by block to the executive's addresses between a "stop" and a "start" control block, then
// the restart wait, a new identification and the clock set from the PC.
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

std::string ImageFileName(const CommsEngine& e) {
  if (e.FirmwareVersion < 820) return "FLASH.BIN";
  return e.Settings.ProgrammingMode == 1 ? "ONSCREEN.BIN" : "FLASH512.BIN";
}

std::string ImagePath(const CommsEngine& e) {
  return platform::ResolveFileCase(platform::JoinPath(e.Settings.CurrentDirectory, ImageFileName(e)));
}

// Reads the next piece; the block's bytes after a short piece are zero. -1 on a read error.
int ReadPiece(CommsEngine& e) {
  auto& piece = e.BlockData;
  std::fill(piece.begin(), piece.end(), 0);
  std::size_t got = 0;
  while (got < piece.size()) {
    const ssize_t n = ::read(e.ImageFileHandle, piece.data() + got, piece.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<int>(got);
}

void FileError(CommsEngine& e) {
  e.AddLogLine("File: " + e.ImageFilePath + " Error");
  e.CloseImageFile();
  e.CommState = 1000;
}

// Opens the image file; false when it cannot be read or cannot be a whole executive image.
bool OpenImageFile(CommsEngine& e, long& length) {
  e.ImageFileHandle = ::open(platform::NativePath(e.ImageFilePath).c_str(), O_RDONLY | O_CLOEXEC);
  if (e.ImageFileHandle < 0) return false;
  struct stat st {};
  if (::fstat(e.ImageFileHandle, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  length = static_cast<long>(st.st_size);
  return length > 0 && length <= MaxImageBytes;
}

void StopInterpreter(CommsEngine& e) {
  // The flash key goes here, not at the click: a download running then still flashes with it.
  e.FlashArg = 0;
  e.AddressingRestart = 0;
  // An image the addresses cannot hold is refused while the controller still runs untouched.
  struct stat st {};
  const std::string path = ImagePath(e);
  if (::stat(platform::NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > MaxImageBytes) {
    e.ReloadExecRequest = 0;
    e.ImageFilePath = path;
    FileError(e);
    return;
  }
  e.SetStep("Stopping Interp");
  e.AddLogLine("Stopping Interp");
  e.SendCommandFrame(CmdStopInterpreter);
  // Taken as the stop goes: a reload cut from here on is cut short, and never sent again.
  e.ReloadExecRequest = 0;
  e.CommState = 129;
}

// A refused stop is sent again: the executive must not be replaced under a running interpreter.
void AwaitInterpreterStopped(CommsEngine& e) {
  if (e.AwaitAck("retry STOP", "Waiting for Response")) e.CommState = 130;
}

void OpenImage(CommsEngine& e) {
  e.SetStep("Loading Controller");
  e.BlockIndex = ExecutiveStart;
  e.CloseImageFile();
  e.ImageFilePath = ImagePath(e);
  e.AddLogLine("Opening File: " + e.ImageFilePath);
  long length = 0;
  if (!OpenImageFile(e, length)) {
    FileError(e);
    return;
  }
  e.AddLogLine("File: " + e.ImageFilePath + " Open");
  e.MeterScale = static_cast<float>(length) * 0.01f;
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
  const int n = ReadPiece(e);
  if (n <= 0) {  // the file was not empty when it was opened
    FileError(e);
    return;
  }
  e.FileReadCount = static_cast<std::uint16_t>(n);
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
    const int n = ReadPiece(e);
    if (n < 0) {
      FileError(e);
      return;
    }
    // A file that ends on a block boundary ends with an empty read: there is nothing left to send.
    if (n > 0) {
      e.FileReadCount = static_cast<std::uint16_t>(n);
      e.CommState = 133;
      return;
    }
  }
  e.CloseImageFile();
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
    {128, 128, StopInterpreter}, {129, 129, AwaitInterpreterStopped}, {130, 130, OpenImage},
    {131, 131, StopController},  {132, 132, AwaitControllerStopped},  {133, 133, SendImageBlock},
    {134, 134, AwaitImageBlock}, {135, 135, StartExecutive},          {136, 136, AwaitRestart},
};

}  // namespace

std::span<const StateEntry> ExecReloadStates() { return kStates; }

}  // namespace controller
