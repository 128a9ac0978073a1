#pragma once
// The communications window's fixed name tables.
#include <array>
#include <string>

namespace controller {

// 50 entries by module type code; a code without a name reads as its own number.
const std::array<std::string, 50>& ModuleTypeNames();
// "Sunday" .. "Saturday".
const std::array<std::string, 7>& DayNames();
// "1" .. "16", then the sixteen X10 functions in the order of their codes.
const std::array<std::string, 32>& X10KeyNames();
// "A" .. "P".
const std::array<std::string, 16>& X10HouseNames();

}  // namespace controller
