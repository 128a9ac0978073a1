#pragma once
// Texts of the library's error codes, from the error-text table "LK_ERROR_STRINGS_ENGLISH".
#include <cstdint>
#include <functional>
#include <string>

#include "serial/string_resource.h"

namespace serial {

// The reader over the error-text table, opened on first use.
const TLkStringResource& ErrorStringResource();

// The text of a code (taken as 16-bit signed; the id is its magnitude), at most 255 characters. Without a
// table entry the platform's message text for that number is used, on one line without double blanks;
// empty when neither exists.
std::string LkLoadStr(std::int32_t code);
inline std::string ErrorMsg(std::int32_t code) { return LkLoadStr(code); }
// The table's text of abs(code) into an 80-byte buffer, zero-terminated; no platform fallback.
char* LkLoadZ(char* buffer, std::int32_t code);

// The platform's message texts are numbered as the original's system was; Linux has no such table, so
// there is none by default. Tests and a future platform source may install one.
using SystemMessageSource = std::function<std::string(std::int32_t id)>;
void SetSystemMessageSource(SystemMessageSource source);

// Control characters become blanks and runs of blanks shrink to one, as the fallback texts are shown.
std::string CleanSystemMessage(std::string text);

// Maps a Linux errno to the library's code for the same failure (the runtime's numbering where one
// exists), negative.
std::int32_t SystemErrorCode(int error);

}  // namespace serial
