#pragma once
// Routines on zero-terminated 8-bit buffers: number-to-text conversions, searching, inserting, deleting
// and trimming. Positions are 0-based. Buffers must be large enough for what is written into them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace controls {

char* BinaryBPChar(char* dest, std::uint8_t value);
char* BinaryWPChar(char* dest, std::uint16_t value);
char* BinaryLPChar(char* dest, std::uint32_t value);
char* HexBPChar(char* dest, std::uint8_t value);
char* HexWPChar(char* dest, std::uint16_t value);
char* HexLPChar(char* dest, std::uint32_t value);
// A pointer as segment and offset: 4 digits, ":" and 4 digits of its low 32 bits.
char* HexPtrPChar(char* dest, const void* pointer);
char* OctalLPChar(char* dest, std::uint32_t value);
char* CharStrPChar(char* dest, char c, std::size_t count);
// Each tab becomes spaces up to the next multiple of `tabSize`; a size of 0 gives an empty result.
char* DetabPChar(char* dest, const char* source, std::size_t tabSize);
char LoCaseChar(char c);
char UpCaseChar(char c);

bool StrChPos(const char* text, char c, std::size_t& pos);
bool StrStPos(const char* text, const char* pattern, std::size_t& pos);
char* StrChDeletePrim(char* text, std::size_t pos);
char* StrStDeletePrim(char* text, std::size_t pos, std::size_t count);
char* StrChInsertPrim(char* text, char c, std::size_t pos);
char* StrStInsertPrim(char* text, const char* insertion, std::size_t pos);
char* StrStInsert(char* dest, const char* text, const char* insertion, std::size_t pos);
char* StrInsertChars(char* text, char c, std::size_t pos, std::size_t count);
char* StrStCopy(char* dest, const char* source, std::size_t pos, std::size_t count);

char* TrimAllSpacesPChar(char* text);
char* TrimTrailPrimPChar(char* text);
char* TrimTrailPChar(char* dest, const char* source);
std::string TrimTrailingZeros(const std::string& text);
char* TrimTrailingZerosPChar(char* text);
std::string TrimEmbeddedZeros(const std::string& text);
char* TrimEmbeddedZerosPChar(char* text);

// Decimal, "$" or "0x" hexadecimal. On failure `value` is the 0-based position of the offending character
// (-1 for a text of 256 characters or more).
bool StrToLongPChar(const char* text, std::int32_t& value);

// A number with `decimals` places, or in scientific form ("1.50E+003") with `digits` after the point;
// always with '.' whatever the locale.
std::string FixedText(long double value, int decimals);
std::string ScientificText(long double value, int digits);

using BMTable = std::uint8_t[256];
void BMMakeTable(const char* pattern, BMTable& table);
bool BMSearch(const char* buffer, std::size_t length, const BMTable& table, const char* pattern, std::size_t& pos);
// Ignoring case; build the table from the upper-cased pattern.
bool BMSearchUC(const char* buffer, std::size_t length, const BMTable& table, const char* pattern, std::size_t& pos);

}  // namespace controls
