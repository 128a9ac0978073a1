// The project's 128 ASCII messages, 32 bytes each: eight to a block through the staging area into the
// controller's ASCII store, or one by one through the staging area to a module that shows or sends text.
// Also the voice module's record and play and a module's ASCII transmit, which are one command each.
#include <algorithm>
#include <cstdio>

#include "controller/state_tables.h"
#include "platform/text.h"
#include "project/ascii_messages.h"

namespace controller {

namespace {

constexpr int AsciiMessages = TransferTables::AsciiMessages;
constexpr int AsciiMessageBytes = 32;
constexpr int MessagesPerBlock = BlockDataSize / AsciiMessageBytes;
constexpr int ModulePauseTicks = 20;  // five seconds for the module to take the message
constexpr int FirstPauseState = 806;

// Message n into data bytes at..at+31: its first 32 characters, the rest of the block left as it is.
void PackMessage(CommsEngine& e, int n, int at) {
  const std::string& text = e.Sending.Ascii[static_cast<std::size_t>(n)];
  const std::size_t length = std::min<std::size_t>(text.size(), AsciiMessageBytes);
  std::copy_n(text.begin(), length, e.BlockData.begin() + at);
}

// The table into the controller

void BeginTable(CommsEngine& e) {
  e.ShowMeter(0);
  e.Sending.Ascii = e.Asked.Ascii;
  e.BlockIndex = AddrStaging;
  e.FileReadCount = 0;
  e.CommState = 611;
}

void PackTableBlock(CommsEngine& e) {
  e.View.SetMeterPercent(e.FileReadCount * 100 / AsciiMessages);
  e.BlockData.fill(0);
  for (int j = 0; j < MessagesPerBlock; ++j) {
    PackMessage(e, e.FileReadCount, j * AsciiMessageBytes);
    e.FileReadCount += 1;
  }
  e.CommState = 612;
}

void SendTableBlock(CommsEngine& e) {
  e.AddLogLine(platform::FormatText("Sending %d bytes to %X - %d", BlockDataSize, e.BlockIndex, e.FileReadCount));
  e.SendBlockData(StagingHeader);
  e.CommState = 613;
}

void AwaitTableBlock(CommsEngine& e) {
  if (!e.AwaitReply(AckReplySize)) return;
  // Anything but yes waits for the time-out, which sends the block again.
  if (e.Refused()) return;
  e.RetryCount = 0;
  e.CommState = 614;
}

void StoreTableBlock(CommsEngine& e) {
  e.SendCommandFrame(CmdStoreAscii, static_cast<Byte>((e.FileReadCount - 1) / MessagesPerBlock));
  e.CommState = 615;
}

// A refused store leaves the block in the staging area only: the store is sent again.
void AwaitTableStored(CommsEngine& e) {
  if (!e.AwaitAck("flash save", "Waiting for Response")) return;
  e.CommState = e.FileReadCount >= AsciiMessages ? 110 : 611;
}

// The table to a module, one message at a time

void BeginModule(CommsEngine& e) {
  e.AsciiModule = e.RemoteAsciiModule;
  e.Sending.Ascii = e.Asked.ModuleAscii;
  e.FileReadCount = 0;
  e.ShowMeter(0);
  e.CommState = 801;
}

void PackModuleMessage(CommsEngine& e) {
  e.View.SetMeterPercent(e.FileReadCount * 100 / AsciiMessages);
  e.BlockData.fill(0);
  PackMessage(e, e.FileReadCount, 0);
  e.CommState = 802;
}

void SendModuleMessage(CommsEngine& e) {
  e.SetStep(platform::FormatText("Loading Remote ASCII %d", e.FileReadCount));
  e.AddLogLine(platform::FormatText("Sending %d bytes to %X", BlockDataSize, AddrStaging));
  e.SendBlockData(StagingHeader);
  e.CommState = 803;
}

void AwaitModuleMessage(CommsEngine& e) {
  if (e.AwaitAck("Ascii load data")) e.CommState = 804;
}

void ForwardMessage(CommsEngine& e) {
  e.SetStep(platform::FormatText("Forwarding Remote ASCII# %d", e.FileReadCount));
  e.AddLogLine(platform::FormatText("Forwarding to command %d to Mod %d", e.FileReadCount, e.AsciiModule));
  e.SendCommandFrame(CmdForwardAscii, static_cast<Byte>(e.AsciiModule), static_cast<Byte>(e.FileReadCount));
  e.CommState = 805;
}

void AwaitForwarded(CommsEngine& e) {
  if (e.AwaitAck("flash save")) e.CommState = FirstPauseState;
}

void PauseForModule(CommsEngine& e) { e.CommState += 1; }

void NextModuleMessage(CommsEngine& e) {
  e.FileReadCount += 1;
  if (e.FileReadCount < AsciiMessages) {
    e.CommState = 801;
    return;
  }
  e.AsciiModule = 0;
  e.CommState = 100;
}

// Voice record and play, ASCII transmit

void SendTransmit(CommsEngine& e) {
  e.SetStep("Sending Transmit Command");
  e.SendCommandFrame(CmdVoiceTransmit, e.TransmitRequest, e.TransmitMessage, e.TransmitCode);
  e.CommState = 211;
}

void AwaitTransmit(CommsEngine& e) {
  if (e.AwaitAnswer("Transmit Command", "Waiting for Response") != CommsEngine::Answer::Pending) e.TransmitRequest = 0;
}

constexpr StateEntry kStates[] = {
    {210, 210, SendTransmit},
    {211, 211, AwaitTransmit},
    {610, 610, BeginTable},
    {611, 611, PackTableBlock},
    {612, 612, SendTableBlock},
    {613, 613, AwaitTableBlock},
    {614, 614, StoreTableBlock},
    {615, 615, AwaitTableStored},
    {800, 800, BeginModule},
    {801, 801, PackModuleMessage},
    {802, 802, SendModuleMessage},
    {803, 803, AwaitModuleMessage},
    {804, 804, ForwardMessage},
    {805, 805, AwaitForwarded},
    {FirstPauseState, FirstPauseState + ModulePauseTicks - 1, PauseForModule},
    {FirstPauseState + ModulePauseTicks, FirstPauseState + ModulePauseTicks, NextModuleMessage},
};

static_assert(FirstPauseState + ModulePauseTicks == 826);

}  // namespace

std::span<const StateEntry> AsciiStates() { return kStates; }

void CommsEngine::RequestAsciiTable(int destination) {
  auto& texts = destination == 0 ? Asked.Ascii : Asked.ModuleAscii;
  for (int n = 0; n < AsciiMessages; ++n) texts[static_cast<std::size_t>(n)] = Project.AsciiMessages().Text(n);
  if (destination == 0)
    AsciiTableRequest = 1;
  else
    RemoteAsciiModule = destination;
}

bool CommsEngine::ModuleAsciiAsked() const {
  return RemoteAsciiModule != 0 || (CommState >= 800 && CommState <= FirstPauseState + ModulePauseTicks);
}

}  // namespace controller
