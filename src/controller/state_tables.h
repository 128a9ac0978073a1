#pragma once
// The states of each operation, by operation. Each table lives in its operation's file.
#include <span>
#include <vector>

#include "controller/comms_engine.h"

namespace controller {

std::span<const StateEntry> ConnectStates();
std::span<const StateEntry> IdleStates();
std::span<const StateEntry> ProgramDownloadStates();
std::span<const StateEntry> ExecReloadStates();
std::span<const StateEntry> TouchIconStates();
std::span<const StateEntry> ClockStates();
std::span<const StateEntry> ControllerParamStates();
std::span<const StateEntry> IrStates();
std::span<const StateEntry> IrTransferStates();
std::span<const StateEntry> ModuleParamStates();
std::span<const StateEntry> PagerStates();
std::span<const StateEntry> AsciiStates();
std::span<const StateEntry> MaintenanceStates();
std::span<const StateEntry> TimerVarStates();
std::span<const StateEntry> X10States();

// Every operation's table; the engine refuses two handlers for one state.
std::vector<std::span<const StateEntry>> AllStateTables();

}  // namespace controller
