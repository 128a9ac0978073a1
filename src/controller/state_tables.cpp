#include "controller/state_tables.h"

namespace controller {

std::vector<std::span<const StateEntry>> AllStateTables() {
  return {
      ConnectStates(),         IdleStates(),      ProgramDownloadStates(),
      ExecReloadStates(),      TouchIconStates(), ClockStates(),
      ControllerParamStates(), IrStates(),        IrTransferStates(),
      ModuleParamStates(),     PagerStates(),     AsciiStates(),
      MaintenanceStates(),     TimerVarStates(),  X10States(),
  };
}

}  // namespace controller
