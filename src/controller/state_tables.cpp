#include "controller/state_tables.h"

namespace controller {

std::vector<std::span<const StateEntry>> AllStateTables() {
  return {
      ConnectStates(),
      IdleStates(),
      ProgramDownloadStates(),
      ClockStates(),
  };
}

}  // namespace controller
