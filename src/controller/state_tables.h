#pragma once
// The states of each operation, by operation. Each table lives in its operation's file.
#include <span>
#include <vector>

#include "controller/comms_engine.h"

namespace controller {

std::span<const StateEntry> ConnectStates();
std::span<const StateEntry> IdleStates();
std::span<const StateEntry> ProgramDownloadStates();
std::span<const StateEntry> ClockStates();

// Every operation's table; the engine refuses two handlers for one state.
std::vector<std::span<const StateEntry>> AllStateTables();

}  // namespace controller
