#pragma once
// Everything the engine shows, and the pager rows it reads from their grid as each step sends them. The
// communications window implements it for itself and the small windows around it; tests record it.
#include <string>

#include "project/comms_log.h"

namespace controller {

enum class CommsText {
  Step,                // the current step
  State,               // the state number
  Firmware,            // "Firmware: V%d.%02d/%d"
  Application,         // "Application: V%d.%02d"
  Date,                // the PC's date
  Time,                // the PC's time
  ModuleParamStatus,   // the module-parameter window's status line
  AutoAddressCaption,  // the auto-addressing panel's caption
  DumpAddress          // the address of the bytes in the memory-dump window
};

enum class CommsGrid {
  Modules,           // the communications window's module grid: 20 columns, header row + slots 1..128
  Dump,              // the memory-dump window: 16 x 16
  ControllerParams,  // the controller-parameter window: 2 x 129
  ModuleParams,      // the module-parameter window: 65 x 129
  X10Status,         // the X10 monitoring grid: 17 x 17
  TimerVars          // the timer and variable window: 3 x 257
};

enum class CommsWindow {
  Editor,
  Meter,             // the progress meter
  DstLabel,          // "DST"
  IrLearnPanel,      // "Waiting for IR Learn"
  IrLearnWindow,     // the "Ir" window in learn mode: what it learnt is this controller's
  AutoAddressPanel,  // "&Skip" and "Abort"
  ControllerParams,
  ModuleParams,
  Restart,  // "Controller Restart"
  X10Grid,
  X10Monitor,
  TimerVars
};

enum class CommsList { X10Activity, X10Events };

enum class CommsInput {
  PagerRow  // pager grid row 0..15
};

enum class CommsCheck { X10UseNames };

class CommsView : public project::CommsLog {
 public:
  virtual void SetText(CommsText which, const std::string& text) = 0;
  virtual void SetCell(CommsGrid grid, int column, int row, const std::string& text) = 0;
  virtual void ShowWindow(CommsWindow window, bool visible) = 0;
  virtual void SetMeterPercent(int percent) = 0;
  virtual void SetRestartPosition(int position) = 0;
  // Inserts a line at the top of one of the monitoring lists.
  virtual void AddListLine(CommsList list, const std::string& line) = 0;
  virtual void ClearList(CommsList list) = 0;
  virtual void SetLights(bool transmitting, bool receiving) = 0;
  // The log's "Errors" box: retries are logged only while it is ticked.
  virtual bool CommsDetail() const = 0;
  virtual std::string InputText(CommsInput input, int index = 0) const = 0;
  virtual bool IsChecked(CommsCheck check) const = 0;
  // Stops the engine's timer.
  virtual void StopTimer() = 0;
  // Controller Access is on the screen, its log with it.
  virtual bool Showing() const = 0;
};

}  // namespace controller
