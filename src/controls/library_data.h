#pragma once
// Shared data of the controls library: its message texts by identifier and the alphabetic character set.
#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "controls/string_resource.h"

namespace controls {

// The library's message table (VX_STRINGS_ENGLISH), opened on first use.
const TVxStringResource& VxStrings();
// The text of a library message in 8 bits; "Unknown" when the table has no such identifier.
std::string GetVxStr(std::uint16_t id);
// Fills each %s or %d of a message, in order, with the given texts.
std::string FormatVxStr(const std::string& pattern, std::initializer_list<std::string> args);

// Space, ",", "-", ".", the ASCII letters and the Latin-1 letters from 128 to 255.
const std::bitset<256>& AlphaCharSet();

}  // namespace controls
