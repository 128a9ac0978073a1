#pragma once
// What the two parameter windows ask of the engine, kept apart from their widgets: the controller
// parameter grid's edit rule and the change it queues, and the module parameter grid's click.
#include <optional>
#include <string>

#include "controller/comms_engine.h"
#include "controller/typed_number.h"

namespace controller {

// Rows 119..128 of the controller parameter grid hold the protected parameters 118..127: they are open to
// editing only while the settings allow it; rows 1..118 always are.
inline constexpr int FirstProtectedParamRow = 119;
bool ControllerParamRowEditable(int row, bool editProtected);

// An edited cell's text: queues "set parameter row - 1 to the text's value" after the changes waiting, asks
// for the table again so the grid shows what the controller took, and logs it. A text that is no number
// 0..65535, or a queue full to its last slot, queues nothing and is refused with a message: false.
bool QueueControllerParamChange(CommsEngine& engine, int row, const std::string& text);

// The modules whose parameters the window shows and the read fills.
inline constexpr int FirstParamModule = 1;
inline constexpr int LastParamModule = 63;

// The parameter password is the value the controller holds as parameter 6 of module 1.
bool ModuleParamPasswordMatches(const CommsEngine& engine, const std::string& password);

struct ParamChangePrompt {
  std::string Label;  // "Change Parameter %d on Module %d to:"
  std::string Value;  // the table's value, the edit's starting text
  std::uint8_t Module = 0, Number = 0;  // the cell picked
};

// A click on a cell of the module parameter grid (column 1..64 = parameter 0..63, row = module): ends a
// running read after the parameter in hand; with the right password it picks the cell for the change
// dialog and returns what the dialog shows. Row 128, past the table, gives no prompt. A change asked
// before keeps its own cell.
std::optional<ParamChangePrompt> ClickModuleParamCell(CommsEngine& engine, int column, int row,
                                                      const std::string& password);

// OK in the change dialog: asks for `text` to be written to parameter `number` of module `module`, kept
// with the request until it is sent. A text that is no number 0..65535, or a change asked while the last
// one has not ended, asks for nothing and the user is told: false.
bool PostModuleParamChange(CommsEngine& engine, int module, int number, const std::string& text);

}  // namespace controller
