#pragma once
// 8-bit text: every string the system stores is Latin-1 bytes in a std::string. Conversions to Qt and to
// UTF-8 happen only at the boundaries, and every byte round-trips.
#include <optional>
#include <string>
#include <string_view>

class QString;

namespace platform {

QString ToQString(std::string_view latin1);
// Nothing when the text holds a character outside Latin-1: such input is refused, never altered.
std::optional<std::string> FromQString(const QString& text);
bool IsLatin1(const QString& text);

std::string Latin1ToUtf8(std::string_view latin1);
// Characters outside Latin-1 become '?'; used only for diagnostics read from the outside.
std::string Utf8ToLatin1(std::string_view utf8);

// printf-style text of any length.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string UpperCase(std::string_view s);  // ASCII letters only, as the original's routine
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);  // ASCII case-insensitive equality
std::string Trim(std::string_view s);                   // blanks and control characters at both ends
std::string TrimRight(std::string_view s);

}  // namespace platform
