// The two downloads of the touch-screen controller. The object table goes through the staging area four
// records at a time, each piece stored by command 0x6B, between the touch screen's "stop" and "start"
// control blocks, and the touch screen then restarts. The icon image is compiled afresh and flashed
// whole into banks 0x5A..0x65.
#include <algorithm>
#include <cstdio>

#include "controller/state_tables.h"
#include "project/touch_screen_table.h"

namespace controller {

namespace {

constexpr int TouchSlotsSent = 256;
constexpr int TouchSlotsPerBlock = BlockDataSize / static_cast<int>(TouchScreenTable::kRecordBytes);
constexpr int IconBlocks = 192;
constexpr int IconBlocksPerBank = 16;
constexpr int IconFirstBank = 0x5A;
static_assert(TouchScreenTable::kDownloadBytes == TransferTables::TouchBytes);
static_assert(IconBlocks * BlockDataSize == TransferTables::IconBytes);

// Touch-screen objects

void BeginTouch(CommsEngine& e) {
  e.ShowMeter(0);
  e.Sending.Touch = e.Asked.Touch;
  e.SetStep("Loading Touchscreen Data");
  e.BlockIndex = 0;
  e.CommState = 901;
}

void StopTouchScreen(CommsEngine& e) {
  e.AddLogLine("Stopping Tessaro");
  e.SendBlockFrame(TouchStopHeader);
  e.CommState = 902;
}

void AwaitTouchStopped(CommsEngine& e) {
  if (e.AwaitAck("retry STOP")) e.CommState = 903;
}

void SendTouchBlock(CommsEngine& e) {
  char step[48];
  std::snprintf(step, sizeof step, "Loading Touchscreen Object %d", e.BlockIndex);
  e.SetStep(step);
  const auto block =
      std::span(e.Sending.Touch)
          .subspan(static_cast<std::size_t>(e.BlockIndex) * TouchScreenTable::kRecordBytes, BlockDataSize);
  e.SetBlockData(block);
  e.View.SetMeterPercent(e.BlockIndex * 100 / TouchSlotsSent);
  if (e.BlockIndex == 0) e.ShowBlockInDump(block, "%02x");
  e.SendBlockFrame(StagingHeader);
  e.CommState = 904;
}

void AwaitTouchBlock(CommsEngine& e) {
  if (e.AwaitAck("touchscreen load data")) e.CommState = 905;
}

void StoreTouchBlock(CommsEngine& e) {
  e.SendCommandFrame(CmdStoreTouch, static_cast<Byte>(e.BlockIndex & 0xFF), static_cast<Byte>(e.BlockIndex >> 8));
  e.CommState = 906;
}

void AwaitTouchStored(CommsEngine& e) {
  if (!e.AwaitAck("flash save")) return;
  e.BlockIndex += TouchSlotsPerBlock;
  e.CommState = e.BlockIndex < TouchSlotsSent ? 903 : 907;
}

void StartTouchScreen(CommsEngine& e) {
  e.AddLogLine("Starting Tessaro");
  e.SendBlockFrame(StartHeader);
  e.CommState = 908;
  e.BeginRestartWait();
}

// A disconnect asked for meanwhile waits for the next idle pass, after the controller has restarted; a
// new connection's attach ends this one then.
void AwaitTouchRestart(CommsEngine& e) {
  if (!e.RestartWaitDone()) return;
  e.CommState = e.AttachRequest ? 1001 : 100;
  e.AddLogLine("Touchscreen Data Downloaded OK");
}

// Icons

void BeginIcons(CommsEngine& e) {
  e.Sending.Icons = e.Asked.Icons;
  std::copy(e.Sending.Icons.begin(), e.Sending.Icons.end(), e.ImageBuffer.begin());
  e.ShowMeter(0);
  e.BlockIndex = 0;
  e.CommState = 1101;
}

void SendIconBlock(CommsEngine& e) {
  const auto block =
      std::span(e.ImageBuffer).subspan(static_cast<std::size_t>(e.BlockIndex) * BlockDataSize, BlockDataSize);
  e.SetBlockData(block);
  if (e.BlockIndex == 0) e.ShowBlockInDump(block, "%02X");
  e.SendBlockFrame(StagingHeader);
  e.CommState = 1102;
}

void AwaitIconBlock(CommsEngine& e) {
  if (e.AwaitAck("flash load data")) e.CommState = 1103;
}

void FlashIconBlock(CommsEngine& e) {
  const int bank = IconFirstBank + e.BlockIndex / IconBlocksPerBank;
  const int block = e.BlockIndex % IconBlocksPerBank;
  char step[32];
  std::snprintf(step, sizeof step, "Bank %x, Block %d", bank, block);
  e.SetStep(step);
  e.SendCommandFrame(CmdFlashLoad, static_cast<Byte>(bank), static_cast<Byte>(block),
                     static_cast<Byte>(e.FlashArg & 0xFF), static_cast<Byte>(e.FlashArg >> 8));
  e.View.SetMeterPercent(e.BlockIndex * 100 / IconBlocks);
  e.CommState = 1104;
}

// Nothing answers the flash load: it must have left the port before the next send discards its output.
void NextIconBlock(CommsEngine& e) {
  if (!e.AwaitSent()) return;
  e.BlockIndex += 1;
  if (e.BlockIndex < IconBlocks) {
    e.CommState = 1101;
    return;
  }
  e.HideMeter();
  e.CommState = 110;
}

constexpr StateEntry kStates[] = {
    {900, 900, BeginTouch},       {901, 901, StopTouchScreen},  {902, 902, AwaitTouchStopped},
    {903, 903, SendTouchBlock},   {904, 904, AwaitTouchBlock},  {905, 905, StoreTouchBlock},
    {906, 906, AwaitTouchStored}, {907, 907, StartTouchScreen}, {908, 908, AwaitTouchRestart},
    {1100, 1100, BeginIcons},     {1101, 1101, SendIconBlock},  {1102, 1102, AwaitIconBlock},
    {1103, 1103, FlashIconBlock}, {1104, 1104, NextIconBlock},
};

}  // namespace

std::span<const StateEntry> TouchIconStates() { return kStates; }

void CommsEngine::RequestTouchLoad() {
  const auto image = Project.TouchTable().DownloadImage();
  std::copy(image.begin(), image.end(), Asked.Touch.begin());
  TouchLoadRequest = 1;
}

void CommsEngine::RequestIconLoad() {
  // The compiler leaves the bytes after the last icon as they were: the flash gets zeros there. It may
  // write as far as the staging image reaches.
  std::vector<std::uint8_t> image(ImageBufferSize);
  Project.CompileIconImage(image, View);
  std::copy_n(image.begin(), Asked.Icons.size(), Asked.Icons.begin());
  IconLoadRequest = 1;
}

}  // namespace controller
