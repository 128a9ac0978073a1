#pragma once
// The entry fields' data model: field classes and data types with the size of the value each moves and its
// default range, the field options and state flags, the error codes, the editing commands the fields add to
// the command tables' own, and the rules that keep a field's options consistent with its type.
#include <array>
#include <cstdint>
#include <string>

namespace controls {

enum TVxFieldClass : std::uint8_t { fcSimple = 0, fcPicture = 1, fcNumeric = 2 };

// The subtype of a data-type code (field class x 64 + subtype).
enum TVxFieldSubtype : std::uint8_t {
  fsubString = 0,
  fsubChar,
  fsubBoolean,
  fsubYesNo,
  fsubLongInt,   // signed 32-bit
  fsubWord,      // unsigned 16-bit
  fsubInteger,   // signed 16-bit
  fsubByte,      // unsigned 8-bit
  fsubShortInt,  // signed 8-bit
  fsubReal,      // 8-byte floating point
  fsubExtended,  // 10-byte floating point
  fsubDouble,
  fsubSingle,
  fsubComp,  // 64-bit integer handled as floating point
  fsubDate,  // day number
  fsubTime,  // seconds since midnight
};

constexpr std::uint8_t MakeDataType(TVxFieldClass fieldClass, TVxFieldSubtype subtype) {
  return static_cast<std::uint8_t>(fieldClass * 64 + subtype);
}
constexpr std::uint8_t FieldClassOf(std::uint8_t dataType) { return dataType / 64; }
constexpr std::uint8_t SubtypeOf(std::uint8_t dataType) { return dataType % 64; }
constexpr bool IsNumericSubtype(std::uint8_t subtype) { return subtype >= fsubLongInt && subtype <= fsubComp; }
constexpr bool IsIntegerSubtype(std::uint8_t subtype) { return subtype >= fsubLongInt && subtype <= fsubShortInt; }
constexpr bool IsFloatSubtype(std::uint8_t subtype) { return subtype >= fsubReal && subtype <= fsubComp; }
// String, boolean and yes/no: their range is always blank.
constexpr bool HasNoRange(std::uint8_t subtype) {
  return subtype == fsubString || subtype == fsubBoolean || subtype == fsubYesNo;
}

// Field options, as bits of TVxEntryFieldOptions, in the declared order.
enum TVxEntryFieldOption : std::uint16_t {
  efoArrowIncDec = 1 << 0,
  efoCaretToEnd = 1 << 1,
  efoForceInsert = 1 << 2,
  efoForceOvertype = 1 << 3,
  efoInputRequired = 1 << 4,
  efoPasswordMode = 1 << 5,
  efoReadOnly = 1 << 6,
  efoRightAlign = 1 << 7,
  efoRightJustify = 1 << 8,
  efoSoftValidation = 1 << 9,
  efoStripLiterals = 1 << 10,
  efoTrimBlanks = 1 << 11,
};
using TVxEntryFieldOptions = std::uint16_t;
inline constexpr TVxEntryFieldOptions DefaultFieldOptions = efoCaretToEnd | efoTrimBlanks;
inline constexpr int EntryFieldOptionCount = 12;
// "efoArrowIncDec" ...; empty outside the twelve.
const char* EntryFieldOptionName(int index);

// State flags, as bits of TsefOptionSet, in the declared order.
enum TsefOption : std::uint32_t {
  sefValPending = 1u << 0,
  sefInvalid = 1u << 1,
  sefNoHighlight = 1u << 2,
  sefIgnoreFocus = 1u << 3,
  sefValidating = 1u << 4,
  sefModified = 1u << 5,
  sefEverModified = 1u << 6,
  sefFixSemiLits = 1u << 7,
  sefHexadecimal = 1u << 8,
  sefOctal = 1u << 9,
  sefBinary = 1u << 10,
  sefNumeric = 1u << 11,
  sefRealVar = 1u << 12,
  sefNoLiterals = 1u << 13,
  sefHaveFocus = 1u << 14,
  sefRetainPos = 1u << 15,
  sefErrorPending = 1u << 16,
  sefInsert = 1u << 17,
  sefLiteral = 1u << 18,
  sefAcceptChar = 1u << 19,
  sefCharOK = 1u << 20,
  sefUpdating = 1u << 21,
  sefGettingValue = 1u << 22,
  sefUserValidating = 1u << 23,
  sefNoUserValidate = 1u << 24,
};
using TsefOptionSet = std::uint32_t;
inline constexpr TsefOptionSet sefDefOptions = sefInsert | sefCharOK;

enum class TZeroDisplay : std::uint8_t { zdShow, zdHide, zdHideUntilModified };

// Error codes of conversion and validation; 32768 and above are the user's own.
inline constexpr std::uint16_t oeRangeError = 256;
inline constexpr std::uint16_t oeInvalidNumber = 257;
inline constexpr std::uint16_t oeRequiredField = 258;
inline constexpr std::uint16_t oeInvalidDate = 259;
inline constexpr std::uint16_t oeInvalidTime = 260;
inline constexpr std::uint16_t oeBlanksInField = 261;
inline constexpr std::uint16_t oePartialEntry = 262;
inline constexpr std::uint16_t oeCustomError = 32768;

// Editing commands of the fields beyond the command tables' codes (command_table.h).
inline constexpr std::uint16_t ccTypedChar = 249;  // a character message; the character is the first parameter
inline constexpr std::uint16_t ccMouse = 250;      // left button down
inline constexpr std::uint16_t ccMouseMove = 251;  // moved with the left button held
inline constexpr std::uint16_t ccDblClk = 253;
inline constexpr std::uint16_t ccUser = 254;       // a user command after OnUserCommand has seen it
inline constexpr std::uint16_t ccUserFirst = 256;  // user commands start here

// Directions of efTransfer.
enum TVxTransferDirection : std::uint8_t { otNone = 0, otGet = 1, otSet = 2 };

// A range limit: 10 bytes holding a character, a 32-bit integer (integers, dates and times) or a 10-byte
// floating-point number, by data type. All zero is the blank range.
struct TRangeType {
  std::array<std::uint8_t, 10> Bytes{};

  static TRangeType FromChar(char c);
  static TRangeType FromLong(std::int32_t value);
  static TRangeType FromExtended(long double value);
  char AsChar() const { return static_cast<char>(Bytes[0]); }
  std::int32_t AsLong() const;
  long double AsExtended() const;
  friend bool operator==(const TRangeType&, const TRangeType&) = default;
};
inline constexpr TRangeType BlankRange{};

// The 10-byte floating-point layout of the range limits and of extended values (sign, 15-bit exponent,
// 64-bit mantissa with its integer bit, little-endian), whatever the width of long double here.
void ExtendedToBytes(long double value, std::uint8_t* bytes);
long double BytesToExtended(const std::uint8_t* bytes);

// The default limits of a data type; string, boolean and yes/no (and any unknown subtype) keep the blank
// range.
void DefaultRange(std::uint8_t dataType, TRangeType& low, TRangeType& high);

// The number of bytes efTransfer moves for the data type. `maskDataChars` is the number of mask characters
// that hold data; it counts only for a picture string that strips its literals.
std::uint16_t DataSizeOf(std::uint8_t dataType, std::uint16_t maxLength, std::uint16_t maskLength,
                         std::uint16_t maskDataChars, bool stripLiterals);

// The options that do not fit the field class and data type removed.
TVxEntryFieldOptions RemoveBadOptions(std::uint8_t dataType, TVxEntryFieldOptions options);
// The rules a changed option set obeys before the bad options go: force insert wins over force overtype, a
// right-justified string trims its blanks, a picture string without trimming cannot right-justify.
TVxEntryFieldOptions AdjustOptions(std::uint8_t dataType, TVxEntryFieldOptions options);

}  // namespace controls
