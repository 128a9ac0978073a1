// Whole IR libraries between a file and the controller. Firmware 8.20 and later moves codes one by one
// through the staging area (".lir": one 256-byte record per code, from code 0); older firmware moves the
// raw image of its IR memory from 0xC000 (".ir") with the controller stopped, and restarts afterwards.
// Controller parameter 122 is the highest code an upload asks for; parameter 123 = 1 wants the rule
// interpreter stopped while codes move.
//
// A download sends the file as it was read when it was asked: what the file holds when the download runs
// changes nothing it sends.
//
// An upload never writes into the user's file directly: its bytes go to a file beside it that takes the
// chosen name only once every byte is on disk, so a failed or cut-short upload leaves the old file as it
// was and nothing behind (the engine drops it on disconnect). Every write is checked; a failed one is
// logged and the transfer claims no success.
#include <algorithm>
#include <cerrno>

#include "controller/state_tables.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace controller {

namespace {

constexpr int HighestIrCodeParam = 122;
constexpr int StopInterpreterParam = 123;
constexpr std::uint16_t IrMemoryStart = 0xC000;
constexpr std::uint16_t IrLastBlockAbove = 0xFED0;
// What the 16-bit block address reaches from 0xC000 before it wraps round into the executive.
constexpr std::size_t IrImageBytes = 0x10000 - IrMemoryStart;

std::string FileLine(const CommsEngine& e, const char* what) { return "File: " + e.ImageFilePath + " " + what; }

bool StopsInterpreter(const CommsEngine& e) { return e.ControllerParams[StopInterpreterParam] == 1; }

// The file

// The whole file into `bytes`; false when it cannot be read or, as memory (.ir), would not fit in the IR
// memory: blocks past it would wrap round into the executive at 0x0000.
bool ReadDownloadFile(const std::string& path, bool lir, std::vector<std::uint8_t>& bytes) {
  std::string file;
  if (!platform::ReadWholeFile(path, file) || (!lir && file.size() > IrImageBytes)) return false;
  bytes.assign(file.begin(), file.end());
  return true;
}

// Creates the upload's file; a failure ends the connection.
bool CreateUploadFile(CommsEngine& e) {
  e.CloseImageFile();
  e.ImageFilePath = e.IrUploadFileName;
  e.AddLogLine("Opening File: " + e.ImageFilePath);
  // A folder of that name could never be replaced by the finished file.
  e.UploadFile = std::make_unique<platform::AtomicFileWriter>(e.ImageFilePath);
  if (platform::DirectoryExists(e.ImageFilePath) || !e.UploadFile->Ok()) {
    switch (e.UploadFile->Ok() ? EISDIR : e.UploadFile->ErrorNumber()) {
      case ENOENT:
      case ENOTDIR:
        e.AddLogLine(FileLine(e, "Not Found Error"));
        break;
      case EMFILE:
      case ENFILE:
        e.AddLogLine(FileLine(e, "Too Many Files Error"));
        break;
      case EACCES:
      case EPERM:
      case EROFS:
        e.AddLogLine(FileLine(e, "Permission Denied Error"));
        break;
      default:
        e.AddLogLine(FileLine(e, "Error"));
    }
    e.UploadFile.reset();
    e.CommState = 1000;
    return false;
  }
  e.AddLogLine(FileLine(e, "Open"));
  return true;
}

// The transfer lost its file: it is logged and closed, and the empty path keeps the closing line from
// claiming success. An upload's file goes with it; the user's file stays as it was.
void AbandonFile(CommsEngine& e, const std::string& line) {
  e.AddLogLine(line);
  e.CloseImageFile();
  e.ImageFilePath.clear();
}

// The download sends the file read when it was asked.
void TakeDownload(CommsEngine& e) {
  e.Sending.IrFile = e.Asked.IrFile;
  e.ImageFilePath = e.IrDownloadFileName;  // held whole, however long the dialog's path
}

// The (at most) 256 bytes of the download's file from byte `from`; bytes beyond a short piece are zero.
void ReadPiece(CommsEngine& e, std::size_t from) {
  const std::vector<std::uint8_t>& file = e.Sending.IrFile;
  from = std::min(from, file.size());
  const std::size_t count = std::min<std::size_t>(BlockDataSize, file.size() - from);
  e.BlockData.fill(0);
  std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(from), count, e.BlockData.begin());
  e.FileReadCount = static_cast<std::uint16_t>(count);
}

// The record of code BlockIndex.
void ReadRecord(CommsEngine& e) { ReadPiece(e, std::size_t{e.BlockIndex} * BlockDataSize); }

// The image's bytes for the address BlockIndex.
void ReadImagePiece(CommsEngine& e) { ReadPiece(e, std::size_t{e.BlockIndex} - IrMemoryStart); }

std::string WriteErrorLine(const CommsEngine& e) { return FileLine(e, "Error"); }

// Appends the 256 data bytes of the block reply in FrameBuffer.
bool WriteBlock(CommsEngine& e) {
  return e.UploadFile && e.UploadFile->Write(e.FrameBuffer.data() + BlockDataOffset, BlockDataSize);
}

// The upload's last data step: on disk under the chosen name, or the failure logged.
void FinishUpload(CommsEngine& e) {
  if (!e.UploadFile) return;
  if (!e.UploadFile->Commit()) {
    AbandonFile(e, WriteErrorLine(e));
    return;
  }
  e.UploadFile.reset();
}

// The meter

void StartMeter(CommsEngine& e, float bytes) {
  e.MeterScale = bytes * 0.01f;
  e.MeterBytes = 0;
  e.ShowMeter(0);
}

void AdvanceMeter(CommsEngine& e) {
  e.MeterBytes += BlockDataSize;
  // Nothing to measure (an empty file, no codes beyond 0) means done; the last record may pass the scale.
  int percent = 100;
  if (e.MeterScale > 0) percent = static_cast<int>(std::min(100.0f, static_cast<float>(e.MeterBytes) / e.MeterScale));
  e.View.SetMeterPercent(percent);
}

// The interpreter around a staging transfer (147, 148 and 187, 188)

void StartInterpreterAfter(CommsEngine& e) {
  if (!StopsInterpreter(e)) {
    e.CommState = 100;
    return;
  }
  e.SendCommandFrame(CmdStartProgram);
  e.AddLogLine("Starting Interp");
  e.CommState += 1;
}

void AwaitInterpreterStarted(CommsEngine& e) {
  if (e.AwaitAck("retry STOP")) e.CommState = 100;
}

void StopInterpreter(CommsEngine& e) {
  e.AddLogLine("Stopping Interp");
  e.SendCommandFrame(CmdStopInterpreter);
}

// Download through the staging area (140-148)

// A record read goes out; the end of the file (an empty file sends nothing) ends the codes.
void AfterRecordRead(CommsEngine& e) {
  if (e.FileReadCount > 0) {
    e.CommState = 143;
    return;
  }
  e.HideMeter();
  // An empty file sends nothing: the download is over all the same.
  e.TakeTransferRequest();
  e.CommState = 147;
}

void BeginRecordDownload(CommsEngine& e) {
  TakeDownload(e);
  e.SetStep("Loading Controller ir Data");
  e.BlockIndex = 0;
  StartMeter(e, static_cast<float>(e.Sending.IrFile.size()));
  e.CommState = 141;
}

void StopForRecordDownload(CommsEngine& e) {
  if (!StopsInterpreter(e)) {
    ReadRecord(e);
    AfterRecordRead(e);
    return;
  }
  StopInterpreter(e);
  e.CommState = 142;
}

void AwaitStoppedForRecordDownload(CommsEngine& e) {
  if (!e.AwaitAck("retry STOP")) return;
  ReadRecord(e);
  AfterRecordRead(e);
}

void SendRecord(CommsEngine& e) {
  e.SetStep(platform::FormatText("Loading IR Command %d", e.BlockIndex));
  AdvanceMeter(e);
  e.SendBlockData(StagingHeader);
  e.CommState = 144;
}

void AwaitRecordSent(CommsEngine& e) {
  if (e.AwaitAck("ir load data")) e.CommState = 145;
}

void StoreRecord(CommsEngine& e) {
  e.SendCommandFrame(CmdStoreIr, static_cast<Byte>(e.BlockIndex & 0xFF), static_cast<Byte>(e.BlockIndex >> 8));
  e.CommState = 146;
}

void AwaitRecordStored(CommsEngine& e) {
  if (!e.AwaitAck("flash save")) return;
  e.BlockIndex += 1;
  // Code numbers end at 65535: a file of more records would go on from code 0 again.
  if (e.BlockIndex == 0)
    e.FileReadCount = 0;
  else
    ReadRecord(e);
  AfterRecordRead(e);
}

// Upload through the staging area (180-188)

void BeginRecordUpload(CommsEngine& e) {
  e.SetStep("Reading Controller Ir Data");
  e.FileReadCount = 0;
  e.BlockIndex = 0;
  if (!CreateUploadFile(e)) return;
  StartMeter(e, static_cast<float>(e.ControllerParams[HighestIrCodeParam]) * BlockDataSize);
  e.CommState = 181;
}

void StopForRecordUpload(CommsEngine& e) {
  if (!StopsInterpreter(e)) {
    e.CommState = 183;
    return;
  }
  StopInterpreter(e);
  e.CommState = 182;
}

void AwaitStoppedForRecordUpload(CommsEngine& e) {
  if (e.AwaitAck("retry STOP")) e.CommState = 183;
}

void LoadRecord(CommsEngine& e) {
  e.SetStep(platform::FormatText("Retrieving IR Command %d", e.BlockIndex));
  e.SendCommandFrame(CmdLoadIr, static_cast<Byte>(e.BlockIndex & 0xFF), static_cast<Byte>(e.BlockIndex >> 8));
  e.CommState = 184;
}

void AwaitRecordLoaded(CommsEngine& e) {
  if (e.AwaitAck("flash load")) e.CommState = 185;
}

void RequestRecord(CommsEngine& e) {
  e.SetStep("Requesting ir Data");
  e.SendRequestFrame(AddrStaging);
  e.CommState = 186;
}

void AwaitRecord(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for ir Data") || !e.BlockReplyChecked()) return;
  e.RetryCount = 0;
  if (!WriteBlock(e)) {
    AbandonFile(e, WriteErrorLine(e));
    e.HideMeter();
    e.CommState = 187;
    return;
  }
  AdvanceMeter(e);
  // Compared before counting on, so that a highest code of 65535 still ends.
  const bool last = e.BlockIndex >= e.ControllerParams[HighestIrCodeParam];
  e.BlockIndex += 1;
  if (!last) {
    e.CommState = 183;
    return;
  }
  FinishUpload(e);
  e.HideMeter();
  e.CommState = 187;
}

// Download of the memory image (160-166)

void BeginImageDownload(CommsEngine& e) {
  TakeDownload(e);
  e.SetStep("Loading Controller ir Data");
  e.BlockIndex = IrMemoryStart;
  e.CommState = 161;
}

void StopControllerForImageDownload(CommsEngine& e) {
  e.AddLogLine("Stopping Controller");
  e.SendBlockFrame(StopHeader);
  e.CommState = 162;
}

void AwaitStoppedForImageDownload(CommsEngine& e) {
  if (!e.AwaitAck("retry STOP")) return;
  ReadImagePiece(e);
  e.CommState = e.FileReadCount > 0 ? 163 : 165;  // an empty file sends no block
}

void SendImageBlock(CommsEngine& e) {
  e.AddLogLine(platform::FormatText("Sending %d bytes to %X", e.FileReadCount, e.BlockIndex));
  e.SendBlockData(ImageHeader(e.BlockIndex));
  e.CommState = 164;
}

void AwaitImageBlockSent(CommsEngine& e) {
  // Refused: the same block again, counted as a retry so that a controller that never takes it ends the
  // connection.
  if (!e.AwaitAck("ir load data")) return;
  e.BlockIndex += BlockDataSize;
  // The size check keeps the address from wrapping; the wrap test only guards it.
  if (e.FileReadCount < BlockDataSize || e.BlockIndex == 0) {
    e.CommState = 165;
    return;
  }
  ReadImagePiece(e);
  // A file whose length is a multiple of 256 ends here, without an empty block.
  e.CommState = e.FileReadCount > 0 ? 163 : 165;
}

void StartControllerAfterImageDownload(CommsEngine& e) {
  e.AddLogLine("Starting Controller");
  e.SendBlockFrame(StartHeader);
  e.CommState = 166;
  e.BeginRestartWait();
}

void AwaitRestartAfterImageDownload(CommsEngine& e) {
  if (!e.RestartWaitDone()) return;
  if (!e.ImageFilePath.empty()) e.AddLogLine("Ir Data Downloaded OK");
  e.CommState = e.AttachRequest ? 1001 : 100;
}

// Upload of the memory image (170-176)

void BeginImageUpload(CommsEngine& e) {
  e.SetStep("Reading Controller Ir Data");
  e.FileReadCount = 0;
  e.BlockIndex = IrMemoryStart;
  if (!CreateUploadFile(e)) return;
  e.CommState = 171;
}

void StopControllerForImageUpload(CommsEngine& e) {
  e.AddLogLine("Stopping Controller");
  e.SendBlockFrame(StopHeader);
  e.CommState = 172;
}

void AwaitStoppedForImageUpload(CommsEngine& e) {
  if (e.AwaitAck("retry STOP")) e.CommState = 173;
}

void RequestImageBlock(CommsEngine& e) {
  e.SetStep("Requesting ir Data");
  e.SendRequestFrame(e.BlockIndex);
  e.CommState = 174;
}

void AwaitImageBlock(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for ir Data") || !e.BlockReplyChecked()) return;
  e.RetryCount = 0;
  e.BlockIndex += BlockDataSize;
  if (!WriteBlock(e)) {
    // The controller is stopped: it is started again all the same.
    AbandonFile(e, WriteErrorLine(e));
    e.CommState = 175;
    return;
  }
  e.CommState = e.BlockIndex > IrLastBlockAbove ? 175 : 173;
}

void StartControllerAfterImageUpload(CommsEngine& e) {
  FinishUpload(e);
  e.AddLogLine("Starting Controller");
  e.SendBlockFrame(StartHeader);
  e.CommState = 176;
  e.BeginRestartWait();
}

void AwaitRestartAfterImageUpload(CommsEngine& e) {
  if (!e.RestartWaitDone()) return;
  if (!e.ImageFilePath.empty()) e.AddLogLine("Ir Data Uploaded OK");
  e.CommState = e.AttachRequest ? 1001 : 100;
}

constexpr StateEntry kStates[] = {
    {140, 140, BeginRecordDownload},
    {141, 141, StopForRecordDownload},
    {142, 142, AwaitStoppedForRecordDownload},
    {143, 143, SendRecord},
    {144, 144, AwaitRecordSent},
    {145, 145, StoreRecord},
    {146, 146, AwaitRecordStored},
    {147, 147, StartInterpreterAfter},
    {148, 148, AwaitInterpreterStarted},
    {160, 160, BeginImageDownload},
    {161, 161, StopControllerForImageDownload},
    {162, 162, AwaitStoppedForImageDownload},
    {163, 163, SendImageBlock},
    {164, 164, AwaitImageBlockSent},
    {165, 165, StartControllerAfterImageDownload},
    {166, 166, AwaitRestartAfterImageDownload},
    {170, 170, BeginImageUpload},
    {171, 171, StopControllerForImageUpload},
    {172, 172, AwaitStoppedForImageUpload},
    {173, 173, RequestImageBlock},
    {174, 174, AwaitImageBlock},
    {175, 175, StartControllerAfterImageUpload},
    {176, 176, AwaitRestartAfterImageUpload},
    {180, 180, BeginRecordUpload},
    {181, 181, StopForRecordUpload},
    {182, 182, AwaitStoppedForRecordUpload},
    {183, 183, LoadRecord},
    {184, 184, AwaitRecordLoaded},
    {185, 185, RequestRecord},
    {186, 186, AwaitRecord},
    {187, 187, StartInterpreterAfter},
    {188, 188, AwaitInterpreterStarted},
};

}  // namespace

std::span<const StateEntry> IrTransferStates() { return kStates; }

bool CommsEngine::RequestIrDownload(const std::string& path, bool lir) {
  AddLogLine("Opening File: " + path);
  if (!ReadDownloadFile(path, lir, Asked.IrFile)) {
    AddLogLine("File: " + path + " Error");
    platform::Ui().ShowMessage("File: " + path + " Error: Infra-Red File Download not sent");
    return false;
  }
  AddLogLine("File: " + path + " Open");
  IrDownloadFileName = path;
  IrDownloadLir = lir;
  IrDownloadRequest = 1;
  return true;
}

}  // namespace controller
