#pragma once
// What the "Change Timer/Variable" window posts to the engine: one timer or variable overwritten.
#include <string>

#include "controller/request_fields.h"

namespace controller {

inline constexpr int HighestTimer = 63;
inline constexpr int HighestVariable = 255;
inline constexpr int HighestDataValue = 65535;

// Reads the typed number and value as whole numbers and posts the change (kind 0 variable, 1
// timer). No number, or one the controller's tables cannot hold, posts nothing: the text returned says
// why (empty when posted).
std::string PostChangeData(RequestFields& requests, const std::string& numberText, const std::string& valueText,
                           int kind);

}  // namespace controller
