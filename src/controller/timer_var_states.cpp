// The debugger's view of the rule program: the 64 timers and 256 variables read into the debug grid on
// every idle pass while the window is open, and one of them overwritten on request.
#include "controller/state_tables.h"

namespace controller {

namespace {

constexpr int Timers = 64;
constexpr int VariablesPerBlock = 128;
constexpr int FirstReadableVersion = 250;  // older executives keep no tables to read

// A good table block: `count` 16-bit values into column `column` from grid row `firstRow`.
bool TakeValues(CommsEngine& e, int column, int firstRow, int count) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Type") || !e.BlockReplyChecked()) return false;
  for (int k = 0; k < count; ++k)
    e.View.SetCell(CommsGrid::TimerVars, column, firstRow + k, std::to_string(e.DataWord(2 * k)));
  e.RetryCount = 0;
  return true;
}

void RequestTimers(CommsEngine& e) {
  if (e.AppVersion < FirstReadableVersion) {
    e.CommState = 114;
    return;
  }
  // The monitor has run once this frame leaves the port.
  e.SetStep("Requesting Timers");
  e.SendRequestFrame(e.TimerTableAddress);
  e.CommState = 701;
}

void AwaitTimers(CommsEngine& e) {
  if (TakeValues(e, 1, 1, Timers)) e.CommState = 702;
}

void RequestVariables(CommsEngine& e) {
  e.SetStep("Requesting Variables");
  e.SendRequestFrame(e.VariableTableAddress);
  e.CommState = 703;
}

void AwaitVariables(CommsEngine& e) {
  if (TakeValues(e, 2, 1, VariablesPerBlock)) e.CommState = 704;
}

void RequestMoreVariables(CommsEngine& e) {
  e.SetStep("Requesting Variables");
  e.SendRequestFrame(static_cast<std::uint16_t>(e.VariableTableAddress + BlockDataSize));
  e.CommState = 705;
}

void AwaitMoreVariables(CommsEngine& e) {
  if (TakeValues(e, 2, 1 + VariablesPerBlock, VariablesPerBlock)) e.CommState = 110;
}

void SendChange(CommsEngine& e) {
  e.AddLogLine("Changing Data");
  e.SentChange = {e.ChangeDataRequest, e.ChangeDataValue, e.ChangeDataKind};
  e.SendCommandFrame(CmdChangeTimerVar, static_cast<Byte>(e.ChangeDataRequest & 0xFF),
                     static_cast<Byte>(e.ChangeDataValue & 0xFF), static_cast<Byte>(e.ChangeDataValue >> 8 & 0xFF),
                     static_cast<Byte>(e.ChangeDataKind & 0xFF));
  e.CommState = 711;
}

void AwaitChange(CommsEngine& e) {
  if (e.AwaitAnswer("Change Data", "Waiting for Response") == CommsEngine::Answer::Pending) return;
  // Cleared on the answer, not when sending: a retry must send the same change again, not "none". A change
  // posted meanwhile is a new one and stays for the next idle pass.
  if (e.SentChange == std::array{e.ChangeDataRequest, e.ChangeDataValue, e.ChangeDataKind})
    e.ChangeDataRequest = e.ChangeDataValue = e.ChangeDataKind = NoChangeData;
}

constexpr StateEntry kStates[] = {
    {700, 700, RequestTimers},  {701, 701, AwaitTimers},          {702, 702, RequestVariables},
    {703, 703, AwaitVariables}, {704, 704, RequestMoreVariables}, {705, 705, AwaitMoreVariables},
    {710, 710, SendChange},     {711, 711, AwaitChange},
};

}  // namespace

std::span<const StateEntry> TimerVarStates() { return kStates; }

}  // namespace controller
