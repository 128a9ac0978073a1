// The pager table: the user's PIN and 15 messages, 64 bytes a row, written straight into controller memory
// from 0x7B00, four rows a block.
#include <algorithm>
#include <cstdio>

#include "controller/state_tables.h"

namespace controller {

namespace {

constexpr std::uint16_t PagerTableAddress = 0x7B00;
constexpr int PagerRows = TransferTables::PagerRows;
constexpr int PagerRowBytes = TransferTables::PagerRowBytes;
constexpr int RowsPerBlock = BlockDataSize / PagerRowBytes;

void Begin(CommsEngine& e) {
  e.Sending.Pager = e.Asked.Pager;
  e.BlockIndex = PagerTableAddress;
  e.FileReadCount = 0;
  e.CommState = 601;
}

void PackRows(CommsEngine& e) {
  e.BlockData.fill(0);
  for (int j = 0; j < RowsPerBlock; ++j) {
    const std::string& text = e.Sending.Pager[e.FileReadCount];
    const std::size_t length = std::min<std::size_t>(text.size(), PagerRowBytes);
    std::copy_n(text.begin(), length, e.BlockData.begin() + j * PagerRowBytes);
    e.FileReadCount += 1;
  }
  e.CommState = 602;
}

void SendBlock(CommsEngine& e) {
  char line[64];
  std::snprintf(line, sizeof line, "Sending %d bytes to %X", BlockDataSize, e.BlockIndex);
  e.AddLogLine(line);
  e.SendBlockData(DirectHeader(e.BlockIndex));
  e.CommState = 603;
}

void AwaitBlock(CommsEngine& e) {
  if (!e.AwaitReply(AckReplySize)) return;
  // A refused block, the last one too, waits here until the time-out sends it again.
  if (e.Refused()) return;
  e.RetryCount = 0;
  if (e.FileReadCount >= PagerRows) {
    e.CommState = 110;
    return;
  }
  e.BlockIndex += BlockDataSize;
  e.CommState = 601;
}

constexpr StateEntry kStates[] = {
    {600, 600, Begin},
    {601, 601, PackRows},
    {602, 602, SendBlock},
    {603, 603, AwaitBlock},
};

}  // namespace

std::span<const StateEntry> PagerStates() { return kStates; }

void CommsEngine::RequestPagerLoad() {
  for (int row = 0; row < PagerRows; ++row)
    Asked.Pager[static_cast<std::size_t>(row)] = View.InputText(CommsInput::PagerRow, row);
  PagerLoadRequest = 1;
}

}  // namespace controller
