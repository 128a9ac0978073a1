#include "controller/param_requests.h"

#include <cctype>
#include <climits>
#include <cstdio>

namespace controller {

int DecimalPrefix(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool ControllerParamRowEditable(int row, bool editProtected) { return row < FirstProtectedParamRow || editProtected; }

void QueueControllerParamChange(CommsEngine& engine, int row, const std::string& text) {
  const int p = row - 1;
  const int v = DecimalPrefix(text);
  engine.CommandQueue[0] = {CmdSetControllerParam,
                            static_cast<std::uint8_t>(p),
                            static_cast<std::uint8_t>(v >> 8),
                            static_cast<std::uint8_t>(v),
                            0,
                            0};
  engine.ParamsRequest = 1;
  char line[64];
  std::snprintf(line, sizeof line, "Change Parameter %d to ", p);
  engine.AddLogLine(line + text);
}

bool ModuleParamPasswordMatches(const CommsEngine& engine, const std::string& password) {
  return DecimalPrefix(password) == engine.ModuleParamTable[1][6];
}

std::optional<ParamChangePrompt> ClickModuleParamCell(CommsEngine& engine, int column, int row,
                                                      const std::string& password) {
  engine.ModuleParamsStop = 1;
  if (!ModuleParamPasswordMatches(engine, password)) return std::nullopt;
  // Only the modules the table keeps can be changed; the grid's lower rows stand for no module.
  if (column < 1 || column > 64 || row < FirstParamModule || row > LastParamModule) return std::nullopt;
  engine.ParamNumber = static_cast<std::uint8_t>(column - 1);
  engine.ParamModule = static_cast<std::uint8_t>(row);
  char label[64];
  std::snprintf(label, sizeof label, "Change Parameter %d on Module %d to:", engine.ParamNumber, engine.ParamModule);
  return ParamChangePrompt{label, std::to_string(engine.ModuleParamTable[engine.ParamModule][engine.ParamNumber])};
}

}  // namespace controller
