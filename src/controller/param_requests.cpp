#include "controller/param_requests.h"

#include <cstdio>

#include "platform/text.h"

namespace controller {

bool ControllerParamRowEditable(int row, bool editProtected) { return row < FirstProtectedParamRow || editProtected; }

bool QueueControllerParamChange(CommsEngine& engine, int row, const std::string& text) {
  // After the last change waiting: the queue is sent from its first slot on.
  int slot = CommandQueueSlots;
  while (slot > 0 && engine.CommandQueue[static_cast<std::size_t>(slot - 1)][0] == 0) --slot;
  const int p = row - 1;
  if (!engine.RequestAllowed(RequestKind::CommandQueue, slot == CommandQueueSlots, ControllerParamData(p)))
    return false;
  const std::optional<int> v = ReadTypedNumberOrRefuse(text, {platform::FormatText("Parameter %d", p), 0, 0xFFFF});
  if (!v) return false;
  engine.CommandQueue[static_cast<std::size_t>(slot)] = {CmdSetControllerParam,
                                                         static_cast<std::uint8_t>(p),
                                                         static_cast<std::uint8_t>(*v >> 8),
                                                         static_cast<std::uint8_t>(*v),
                                                         0,
                                                         0};
  engine.ParamsRequest = 1;
  RankOwnRequest(engine, RequestKind::Params);
  engine.AddLogLine(platform::FormatText("Change Parameter %d to %d", p, *v));
  return true;
}

bool PostModuleParamChange(CommsEngine& engine, int module, int number, const std::string& text) {
  if (!engine.RequestAllowed(RequestKind::ParamChange, engine.ParamChangeRequest == 1)) return false;
  const std::optional<int> v =
      ReadTypedNumberOrRefuse(text, {platform::FormatText("Parameter %d on Module %d", number, module), 0, 0xFFFF});
  if (!v) return false;
  engine.ParamChangeModule = static_cast<std::uint8_t>(module);
  engine.ParamChangeNumber = static_cast<std::uint8_t>(number);
  engine.ParamChangeValue = static_cast<std::uint16_t>(*v);
  engine.ParamChangeRequest = 1;
  return true;
}

// Only against the password this connection read: the last controller's is no key to this one.
bool ModuleParamPasswordMatches(const CommsEngine& engine, const std::string& password) {
  return engine.ModuleParamRead[1][6] && ReadWholeNumber(password) == engine.ModuleParamTable[1][6];
}

std::optional<ParamChangePrompt> ClickModuleParamCell(CommsEngine& engine, int column, int row,
                                                      const std::string& password) {
  engine.ModuleParamsStop = 1;
  if (!ModuleParamPasswordMatches(engine, password)) return std::nullopt;
  // Row 128 lies past the table's 128 rows (modules 0..127).
  if (column < 1 || column > 64 || row < FirstParamModule || row >= static_cast<int>(engine.ModuleParamTable.size()))
    return std::nullopt;
  const auto number = static_cast<std::uint8_t>(column - 1);
  const auto module = static_cast<std::uint8_t>(row);
  char label[64];
  std::snprintf(label, sizeof label, "Change Parameter %d on Module %d to:", number, module);
  // A value this connection has not read is none of this controller's.
  const bool read = engine.ModuleParamRead[module][number];
  return ParamChangePrompt{label, read ? std::to_string(engine.ModuleParamTable[module][number]) : std::string(),
                           module, number};
}

}  // namespace controller
