// The program download: the interpreter stopped, the 96 program blocks through the staging area into
// flash banks 0x50..0x57, the daylight-saving set-up, the six blocks of the sunrise and sunset table into
// bank 0x70, and the program started.
#include <algorithm>

#include "controller/state_tables.h"
#include "platform/clock.h"
#include "platform/ui.h"
#include "program/program_store.h"
#include "project/settings.h"

namespace controller {

namespace {

constexpr int ProgramBlocks = 96;
constexpr int SunBlocks = 6;

// What the download sends is the ask's: nothing asks again until its first frame has gone, which takes the
// request.
void Begin(CommsEngine& e) {
  const TransferTables& asked = e.Asked;
  e.Sending.Program = asked.Program;
  e.Sending.Sun = asked.Sun;
  e.Sending.UseDaylightSaving = asked.UseDaylightSaving;
  e.Sending.DstActive = asked.DstActive;
  e.AddLogLine("Begin Program to Controller");
  e.ShowMeter(0);
  e.CommState = 500;
}

void StopInterpreter(CommsEngine& e) {
  e.SendCommandFrame(CmdStopInterpreter);
  e.CommState = 501;
}

// The stop, daylight-saving and start commands are sent again when refused: a refused start must not end
// under "Controller Program Started".
void AwaitStopped(CommsEngine& e) {
  if (e.AwaitAck("retry STOP")) e.CommState = 512;
}

void CopyProgram(CommsEngine& e) {
  std::copy(e.Sending.Program.begin(), e.Sending.Program.end(), e.ImageBuffer.begin());
  e.BlockIndex = 0;
  e.CommState = 513;
}

void SendProgramBlock(CommsEngine& e) {
  const auto block = std::span(e.ImageBuffer).subspan(e.BlockIndex * BlockDataSize, BlockDataSize);
  e.SetBlockData(block);
  e.ShowBlockInDump(block, "%02X");
  e.SendBlockFrame(StagingHeader);
  e.CommState = 514;
}

void AwaitProgramBlock(CommsEngine& e) {
  if (e.AwaitAck("flash load data")) e.CommState = 515;
}

void FlashProgramBlock(CommsEngine& e) {
  e.SetStep("Loading.... ");
  e.SendCommandFrame(CmdFlashLoad, static_cast<Byte>(0x50 + e.BlockIndex / 12), static_cast<Byte>(e.BlockIndex % 12),
                     static_cast<Byte>(e.FlashArg & 0xFF), static_cast<Byte>(e.FlashArg >> 8));
  e.View.SetMeterPercent(e.BlockIndex * 100 / ProgramBlocks);
  e.CommState = 516;
}

// Nothing answers the flash load: it must have left the port before the next send discards its output.
void NextProgramBlock(CommsEngine& e) {
  if (!e.AwaitSent()) return;
  e.BlockIndex += 1;
  e.CommState = e.BlockIndex == ProgramBlocks ? 502 : 513;
}

void ConfigureDstEnabled(CommsEngine& e) {
  e.SetStep("Configuring DST");
  e.SendCommandFrame(CmdSetControllerParam, 5, 0, e.Sending.UseDaylightSaving ? 1 : 0);
  e.CommState = 503;
}

void AwaitDstEnabled(CommsEngine& e) {
  if (!e.AwaitAck("flash save", "Waiting for Response")) return;
  e.BlockIndex = 0;
  e.CommState = 504;
}

void ConfigureDstNow(CommsEngine& e) {
  e.SetStep("Configuring DST");
  e.SendCommandFrame(CmdSetControllerParam, 4, 0, e.Sending.DstActive);
  e.CommState = 505;
}

void AwaitDstNow(CommsEngine& e) {
  if (e.AwaitAck("flash save")) e.CommState = 506;
}

void SendSunBlock(CommsEngine& e) {
  e.SetStep("Loading Sunrise/Sunset Times");
  // The table ends 68 bytes into the last block; zeros follow it there.
  std::array<std::uint8_t, BlockDataSize> block{};
  const auto table = e.Sending.Sun.ToBytes();
  const std::size_t from = static_cast<std::size_t>(e.BlockIndex) * BlockDataSize;
  if (from < table.size())
    std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(from),
                std::min<std::size_t>(BlockDataSize, table.size() - from), block.begin());
  e.SetBlockData(block);
  e.SendBlockFrame(StagingHeader);
  e.CommState = 507;
}

void AwaitSunBlock(CommsEngine& e) {
  if (e.AwaitAck("flash load data")) e.CommState = 508;
}

void FlashSunBlock(CommsEngine& e) {
  e.SendCommandFrame(CmdFlashLoad, 0x70, static_cast<Byte>(e.BlockIndex), static_cast<Byte>(e.FlashArg & 0xFF),
                     static_cast<Byte>(e.FlashArg >> 8));
  e.CommState = 509;
}

void NextSunBlock(CommsEngine& e) {
  if (!e.AwaitSent()) return;
  e.BlockIndex += 1;
  e.CommState = e.BlockIndex == SunBlocks ? 510 : 506;
}

void StartProgram(CommsEngine& e) {
  e.AddLogLine("Starting Controller Program");
  e.HideMeter();
  e.SetStep("Starting Controller Program");
  e.SendCommandFrame(CmdStartProgram);
  e.CommState = 511;
}

void AwaitStarted(CommsEngine& e) {
  if (!e.AwaitAck("retry STOP", "Waiting for Response")) return;
  e.AddLogLine("Controller Program Started");
  e.FlashArg = 0;
  e.CommState = 110;
}

constexpr StateEntry kStates[] = {
    {499, 499, Begin},
    {500, 500, StopInterpreter},
    {501, 501, AwaitStopped},
    {502, 502, ConfigureDstEnabled},
    {503, 503, AwaitDstEnabled},
    {504, 504, ConfigureDstNow},
    {505, 505, AwaitDstNow},
    {506, 506, SendSunBlock},
    {507, 507, AwaitSunBlock},
    {508, 508, FlashSunBlock},
    {509, 509, NextSunBlock},
    {510, 510, StartProgram},
    {511, 511, AwaitStarted},
    {512, 512, CopyProgram},
    {513, 513, SendProgramBlock},
    {514, 514, AwaitProgramBlock},
    {515, 515, FlashProgramBlock},
    {516, 516, NextProgramBlock},
};

}  // namespace

std::span<const StateEntry> ProgramDownloadStates() { return kStates; }

bool CommsEngine::RequestProgramDownload() {
  if (!HasProgramEnd()) {
    platform::Ui().ShowMessage("Program Has NO End Statment, Download Aborted");
    return false;
  }
  if (!LocationUsable()) return false;
  // Slot 0, never used, and lines 1 to 4095: line 4096 is not sent.
  const ProgramStore& store = Project.Program();
  for (int n = 0; n < TransferTables::ProgramBytes / static_cast<int>(ProgramLine::kBytes); ++n)
    store.Lines[static_cast<std::size_t>(n)].Store(Asked.Program.data() + n * ProgramLine::kBytes);
  Asked.Sun = BuildSunTable(Settings.Latitude, Settings.Longitude, Settings.TimeZone);
  Asked.UseDaylightSaving = Settings.UseDaylightSaving;
  // Of the same settings and date as the table: what the window showed may be older than either.
  Asked.DstActive = controller::DstActive(Settings.UseDaylightSaving, Clock.Now()) ? 1 : 0;
  ProgramDownloadRequest = 1;
  return true;
}

// The sun table goes with the program: a stored location the settings window would refuse (an older
// store, one edited by hand) would put impossible times into the controller.
bool CommsEngine::LocationUsable() const {
  const std::string location = Settings.LocationError();
  if (location.empty()) return true;
  platform::Ui().ShowMessage(location + ": correct it in Comms Setup. Download Aborted");
  return false;
}

}  // namespace controller
