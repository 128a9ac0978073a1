// The module parameters: for each parameter number the controller's module manager gathers that parameter
// from every module; the engine polls until the manager is ready and reads the values in one block. A
// write sends one value to one module, lets the manager settle and reads that parameter back.
#include <cstdio>
#include <string>

#include "controller/param_requests.h"
#include "controller/state_tables.h"
#include "platform/text.h"

namespace controller {

namespace {

constexpr std::uint8_t ManagerReady = 255;
constexpr int PauseEnd = 229;  // states 220..228: nine ticks for the manager after a write
// A stop lets the parameter in hand finish; a manager still busy after this many polls is given up.
constexpr int StopGracePolls = 8;

// Ended before its last parameter: a reconnection says so.
void EndRead(CommsEngine& e) {
  if (e.ReconnectRequest && !e.ModuleParamsStop) e.TellEnded("Module Parameter Read");
  e.ModuleParamsStop = 0;
  e.CommState = 110;
}

// A request of 2 reads back the parameter whose read-back a reconnection cut, in the window as it stands;
// nothing when a read since has shown it.
// The request is taken when the first gather leaves the port.
void StartRead(CommsEngine& e) {
  const bool readBack = e.ModuleParamsRequest == 2;
  if (readBack && e.ReadBackParam < 0) {
    e.ModuleParamsRequest = 0;
    e.CommState = 110;
    return;
  }
  if (!readBack) e.View.ShowWindow(CommsWindow::ModuleParams, true);
  e.ModuleParamsStop = 0;
  e.ParamIndex = static_cast<std::uint8_t>(readBack ? e.ReadBackParam : 0);
  e.LastParamIndex = static_cast<std::uint8_t>(readBack ? e.ReadBackParam : 63);
  e.CommState = 200;
}

void SendGather(CommsEngine& e) {
  e.SetStep("Sending Command");
  e.SendCommandFrame(CmdGatherModuleParam, e.ParamIndex);
  e.CommState = 201;
}

// A refused gather leaves the previous parameter's values at 0xB48B: it is sent again.
void AwaitGather(CommsEngine& e) {
  if (!e.AwaitAck("flash load", "Waiting for Response")) return;
  e.ManagerBusyPolls = 0;
  e.CommState = 202;
}

void RequestReady(CommsEngine& e) {
  e.SetStep("Requesting Ready");
  e.SendRequestFrame(AddrManagerReady);
  e.CommState = 203;
}

void AwaitReady(CommsEngine& e) {
  const std::string busy = platform::FormatText("Manager Busy %d", e.Data(0));
  if (!e.AwaitReply(BlockReplySize, busy.c_str()) || !e.BlockReplyChecked()) return;
  const std::string requesting = platform::FormatText("Requesting Parameter %d", e.ParamIndex);
  e.AddLogLine(requesting);
  e.View.SetText(CommsText::ModuleParamStatus, requesting);
  e.RetryCount = 0;
  if (e.Data(0) == ManagerReady) {
    e.CommState = 204;
  } else if (e.WorkEnding() || (e.ModuleParamsStop && ++e.ManagerBusyPolls > StopGracePolls)) {
    // The poll has no limit of its own: a disconnect or a reconnection ends it, and so does a stop (a
    // click, hiding the window) once the parameter in hand has had its chance.
    EndRead(e);
  } else {
    e.CommState = 202;
  }
}

void RequestValues(CommsEngine& e) {
  e.SetStep("Requesting Data");
  e.SendRequestFrame(AddrModuleParams);
  e.CommState = 205;
}

void AwaitValues(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Data") || !e.BlockReplyChecked()) return;
  const int p = e.ParamIndex;
  for (int k = FirstParamModule; k <= LastParamModule; ++k) {
    // A module that is not there keeps its old value and cell.
    if (e.ModuleTypes[static_cast<std::size_t>(k - 1)] >= NoModule) continue;
    const std::uint16_t value = e.DataWord(2 * (k - 1));
    e.ModuleParamTable[static_cast<std::size_t>(k)][static_cast<std::size_t>(p)] = value;
    e.ModuleParamRead[static_cast<std::size_t>(k)].set(static_cast<std::size_t>(p));
    e.View.SetCell(CommsGrid::ModuleParams, p + 1, k, std::to_string(value));
  }
  e.RetryCount = 0;
  e.ParamIndex = static_cast<std::uint8_t>(p + 1);
  if (e.ParamIndex > e.LastParamIndex) {
    e.View.SetText(CommsText::ModuleParamStatus, "Parameters Received");
    e.ReadBackParam = -1;
    e.CommState = 110;
  } else if (e.WorkEnding()) {
    EndRead(e);
  } else {
    e.CommState = 200;
  }
  if (e.ModuleParamsStop) {
    e.ModuleParamsStop = 0;
    e.CommState = 110;
  }
}

// The change as OK took it. The request stays set until the answer: a retry sends the same change, and
// another asked meanwhile is refused rather than put in its place.
void SendParameter(CommsEngine& e) {
  e.ParamModule = e.ParamChangeModule;
  e.ParamNumber = e.ParamChangeNumber;
  const int v = e.ParamChangeValue;
  e.SetStep("Sending Parameter");
  // The parameter number sits between the value's two bytes.
  e.SendCommandFrame(CmdWriteModuleParam, e.ParamModule, static_cast<Byte>(v & 0xFF), e.ParamNumber,
                     static_cast<Byte>(v >> 8), 0);
  e.CommState = 207;
}

// The read-back is the written parameter's, whatever is asked meanwhile.
void AwaitParameter(CommsEngine& e) {
  // A new connection's attach waited for the answer only: the read-back would show this controller's value.
  const int next = e.AttachRequest ? 110 : 220;
  if (e.AwaitAnswer("Module Parameter Change", "Waiting for Response", next) == CommsEngine::Answer::Pending) return;
  e.ParamChangeRequest = 0;
  e.ParamIndex = e.LastParamIndex = e.ParamNumber;
  // The click that picked the cell stopped the read before; the read-back is one of its own.
  e.ModuleParamsStop = 0;
  if (next == 220) e.ReadBackParam = e.ParamNumber;
}

void Pause(CommsEngine& e) {
  e.CommState += 1;
  if (e.CommState >= PauseEnd) e.CommState = 200;
}

constexpr StateEntry kStates[] = {
    {199, 199, StartRead},      {200, 200, SendGather},    {201, 201, AwaitGather}, {202, 202, RequestReady},
    {203, 203, AwaitReady},     {204, 204, RequestValues}, {205, 205, AwaitValues}, {206, 206, SendParameter},
    {207, 207, AwaitParameter}, {220, PauseEnd, Pause},
};

}  // namespace

std::span<const StateEntry> ModuleParamStates() { return kStates; }

}  // namespace controller
