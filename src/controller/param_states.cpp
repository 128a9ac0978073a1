// Reading the controller's 128 parameters into the table and the parameter window's grid, and sending a
// command from the queue (the parameter window's edits travel that way).
#include <cstdio>

#include "controller/state_tables.h"

namespace controller {

namespace {

using Slot = std::array<std::uint8_t, 6>;

Slot& QueueSlot(CommsEngine& e) { return e.CommandQueue.at(static_cast<std::size_t>(e.QueueIndex)); }

void SendQueuedCommand(CommsEngine& e) {
  e.SetStep("Sending Command");
  const Slot& slot = QueueSlot(e);
  char line[64];
  std::snprintf(line, sizeof line, "Sending Command: %d %d %d %d %d %d", slot[0], slot[1], slot[2], slot[3], slot[4],
                slot[5]);
  e.AddLogLine(line);
  e.SentCommand = slot;
  e.SendCommandFrame(slot[0], slot[1], slot[2], slot[3], slot[4], slot[5]);
  e.CommState = 121;
}

// A refusal is told; whether the value took shows in the next read of the table.
void AwaitCommandAnswer(CommsEngine& e) {
  if (e.AwaitAnswer("Parameter Change", "Waiting for Response") == CommsEngine::Answer::Pending) return;
  Slot& slot = QueueSlot(e);
  if (slot == e.SentCommand) slot[0] = 0;
}

// The request is taken when the frame leaves the port.
void RequestParams(CommsEngine& e) {
  e.SetStep("Requesting Controller Params");
  e.SendRequestFrame(AddrControllerParams);
  e.CommState = 151;
}

void AwaitParams(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Controller Params") || !e.BlockReplyChecked()) return;
  e.View.SetCell(CommsGrid::ControllerParams, 0, 0, "P#");
  e.View.SetCell(CommsGrid::ControllerParams, 1, 0, "Data");
  for (int k = 0; k < 128; ++k) {
    const std::uint16_t value = e.DataWord(2 * k);
    e.ControllerParams[static_cast<std::size_t>(k)] = value;
    e.View.SetCell(CommsGrid::ControllerParams, 1, k + 1, std::to_string(value));
    e.View.SetCell(CommsGrid::ControllerParams, 0, k + 1, std::to_string(k));
  }
  e.RetryCount = 0;
  e.CommState = 110;
}

constexpr StateEntry kStates[] = {
    {120, 120, SendQueuedCommand},
    {121, 121, AwaitCommandAnswer},
    {150, 150, RequestParams},
    {151, 151, AwaitParams},
};

}  // namespace

std::span<const StateEntry> ControllerParamStates() { return kStates; }

}  // namespace controller
