#include "controls/entry_field_model.h"

#include <cmath>
#include <cstring>

namespace controls {

namespace {

constexpr const char* kOptionNames[EntryFieldOptionCount] = {
    "efoArrowIncDec", "efoCaretToEnd", "efoForceInsert",  "efoForceOvertype",  "efoInputRequired", "efoPasswordMode",
    "efoReadOnly",    "efoRightAlign", "efoRightJustify", "efoSoftValidation", "efoStripLiterals", "efoTrimBlanks"};

}  // namespace

const char* EntryFieldOptionName(int index) {
  return index >= 0 && index < EntryFieldOptionCount ? kOptionNames[index] : "";
}

void ExtendedToBytes(long double value, std::uint8_t* bytes) {
  std::memset(bytes, 0, 10);
  std::uint16_t signExp = std::signbit(value) ? 0x8000 : 0;
  std::uint64_t mantissa = 0;
  if (std::isnan(value)) {
    signExp |= 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(value)) {
    signExp |= 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (value != 0) {
    int e = 0;
    long double m = std::frexp(std::fabs(value), &e);  // [0.5, 1)
    int biased = e - 1 + 16383;
    if (biased >= 0x7FFF) {  // beyond what 10 bytes hold: infinity
      signExp |= 0x7FFF;
      mantissa = 0x8000000000000000ull;
    } else {
      int shift = 64;
      if (biased <= 0) {  // denormal: the integer bit goes
        shift += biased - 1;
        biased = 0;
      }
      mantissa = shift > 0 ? static_cast<std::uint64_t>(std::ldexp(m, shift)) : 0;
      signExp |= static_cast<std::uint16_t>(biased);
    }
  }
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(mantissa >> (8 * i));
  bytes[8] = static_cast<std::uint8_t>(signExp);
  bytes[9] = static_cast<std::uint8_t>(signExp >> 8);
}

long double BytesToExtended(const std::uint8_t* bytes) {
  std::uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i) mantissa |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  auto signExp = static_cast<std::uint16_t>(bytes[8] | bytes[9] << 8);
  bool negative = signExp & 0x8000;
  int exponent = signExp & 0x7FFF;
  long double value;
  if (exponent == 0x7FFF)
    value = (mantissa << 1) == 0 ? HUGE_VALL : std::nanl("");
  else
    value = std::ldexp(static_cast<long double>(mantissa), (exponent == 0 ? 1 : exponent) - 16383 - 63);
  return negative ? -value : value;
}

TRangeType TRangeType::FromChar(char c) {
  TRangeType r;
  r.Bytes[0] = static_cast<std::uint8_t>(c);
  return r;
}

TRangeType TRangeType::FromLong(std::int32_t value) {
  TRangeType r;
  auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) r.Bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
  return r;
}

TRangeType TRangeType::FromExtended(long double value) {
  TRangeType r;
  ExtendedToBytes(value, r.Bytes.data());
  return r;
}

std::int32_t TRangeType::AsLong() const {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(Bytes[static_cast<std::size_t>(i)]) << (8 * i);
  return static_cast<std::int32_t>(bits);
}

long double TRangeType::AsExtended() const { return BytesToExtended(Bytes.data()); }

void DefaultRange(std::uint8_t dataType, TRangeType& low, TRangeType& high) {
  low = high = BlankRange;
  auto longs = [&](std::int32_t lo, std::int32_t hi) {
    low = TRangeType::FromLong(lo);
    high = TRangeType::FromLong(hi);
  };
  auto floats = [&](long double bound) {
    low = TRangeType::FromExtended(-bound);
    high = TRangeType::FromExtended(bound);
  };
  switch (SubtypeOf(dataType)) {
    case fsubChar:
      low = high = TRangeType::FromChar(' ');
      break;
    case fsubLongInt:
      longs(INT32_MIN, INT32_MAX);
      break;
    case fsubWord:
      longs(0, 65535);
      break;
    case fsubInteger:
      longs(-32768, 32767);
      break;
    case fsubByte:
      longs(0, 255);
      break;
    case fsubShortInt:
      longs(-128, 127);
      break;
    case fsubReal:
      floats(1.7e+38L);
      break;
    case fsubExtended:
      floats(1.1e+4932L);
      break;
    case fsubDouble:
      floats(1.7e+308L);
      break;
    case fsubSingle:
      floats(3.4e+38L);
      break;
    case fsubComp:
      floats(9.2e+18L);
      break;
    case fsubDate:
      longs(0, 876581);
      break;
    case fsubTime:
      longs(0, 86399);
      break;
    default:
      break;
  }
}

std::uint16_t DataSizeOf(std::uint8_t dataType, std::uint16_t maxLength, std::uint16_t maskLength,
                         std::uint16_t maskDataChars, bool stripLiterals) {
  if (FieldClassOf(dataType) > fcNumeric) return 0;
  switch (SubtypeOf(dataType)) {
    case fsubString:
      if (FieldClassOf(dataType) == fcPicture && stripLiterals)
        return static_cast<std::uint16_t>(maxLength - maskLength + maskDataChars + 1);
      return static_cast<std::uint16_t>(maxLength + 1);
    case fsubChar:
    case fsubBoolean:
    case fsubYesNo:
    case fsubByte:
    case fsubShortInt:
      return 1;
    case fsubWord:
    case fsubInteger:
      return 2;
    case fsubLongInt:
    case fsubSingle:
    case fsubDate:
    case fsubTime:
      return 4;
    case fsubReal:
    case fsubDouble:
    case fsubComp:
      return 8;
    case fsubExtended:
      return 10;
    default:
      return 0;
  }
}

TVxEntryFieldOptions RemoveBadOptions(std::uint8_t dataType, TVxEntryFieldOptions options) {
  constexpr TVxEntryFieldOptions single =
      efoCaretToEnd | efoForceInsert | efoTrimBlanks | efoRightJustify | efoStripLiterals;
  const std::uint8_t subtype = SubtypeOf(dataType);
  const bool oneChar = subtype == fsubChar || subtype == fsubBoolean || subtype == fsubYesNo;
  const bool dateTime = subtype == fsubDate || subtype == fsubTime;
  TVxEntryFieldOptions bad = 0;
  switch (FieldClassOf(dataType)) {
    case fcSimple:
      if (subtype == fsubString)
        bad = efoRightJustify | efoStripLiterals;
      else if (oneChar)
        bad = single;
      else if (!dateTime)
        bad = efoTrimBlanks | efoRightJustify | efoStripLiterals;
      break;
    case fcPicture:
      if (oneChar)
        bad = single;
      else if (dateTime)
        bad = efoTrimBlanks | efoRightJustify | efoStripLiterals;
      else if (subtype != fsubString)
        bad = efoTrimBlanks | efoStripLiterals;
      break;
    case fcNumeric:
      bad = single | efoRightAlign;
      break;
    default:
      break;
  }
  return options & static_cast<TVxEntryFieldOptions>(~bad);
}

TVxEntryFieldOptions AdjustOptions(std::uint8_t dataType, TVxEntryFieldOptions options) {
  if (options & efoForceInsert) options &= static_cast<TVxEntryFieldOptions>(~efoForceOvertype);
  const bool string = SubtypeOf(dataType) == fsubString;
  if (string && (options & efoRightJustify)) options |= efoTrimBlanks;
  if (string && FieldClassOf(dataType) == fcPicture && !(options & efoTrimBlanks))
    options &= static_cast<TVxEntryFieldOptions>(~efoRightJustify);
  return options;
}

}  // namespace controls
