#pragma once
// The entry fields' typed values without a window: range limits to and from text, a value of any data type
// to and from the field's text and the untyped buffer efTransfer moves, the checks against a range, the
// initial value a range implies and the rounding of cents.
#include <cstdint>
#include <string>

#include "controls/date_arith.h"
#include "controls/entry_field_model.h"
#include "controls/picture_mask.h"

namespace controls {

class TVxIntlSup;

// What the conversions need to know of a field.
struct TVxValueFormat {
  std::uint8_t DataType = 0;
  std::string Mask = "X";
  std::uint16_t MaxLength = 15;
  std::uint8_t DecimalPlaces = 0;
  TVxRadix Radix = TVxRadix::Decimal;
  std::uint16_t DataSize = 0;
  std::int32_t Epoch = 2000;
  const TVxIntlSup* Intl = nullptr;  // null: the global settings
  // The pictures dates and times are written in; empty: the international ones (century forced, no seconds).
  std::string DatePicture;
  std::string TimePicture;

  std::uint8_t Subtype() const { return SubtypeOf(DataType); }
  const TVxIntlSup& Settings() const;
  std::string DateMask() const;
  std::string TimeMask() const;
};

// A value of any data type but string, held as a range limit holds it (character, 32-bit integer or
// 10-byte floating point; dates and times as integers, -1 when blank).
using TVxScalar = TRangeType;

// Range text to a limit (efStRangeToRange); false when the text does not convert for the data type.
bool StRangeToRange(const TVxValueFormat& format, const std::string& text, TRangeType& range);
// A limit as text (efRangeToStRange).
std::string RangeToStRange(const TVxValueFormat& format, const TRangeType& range);

// The decimals a floating value shows: the mask characters right after the mask's ".", at most MaxLength;
// DecimalPlaces without a ".".
int FloatDecimals(const TVxValueFormat& format);
// A floating value as the range texts show it: fixed with its decimals and no trailing zeros when that fits
// MaxLength and the mask has no "E", else scientific without blanks and superfluous exponent zeros; "." is the
// settings' decimal character.
std::string FloatToText(const TVxValueFormat& format, long double value);
// A decimal text with the settings' decimal character; empty is 0.
bool TextToFloat(const TVxValueFormat& format, const std::string& text, long double& value);

// A value as the field's text and back. Parsing gives 0 or the error code (invalid number, date or time);
// range checks are separate.
std::string ValueToText(const TVxValueFormat& format, const TVxScalar& value);
std::uint16_t TextToValue(const TVxValueFormat& format, const std::string& text, TVxScalar& value);
// oeRangeError when the value lies outside the limits (blank dates and times and unranged types pass).
std::uint16_t CheckRange(const TVxValueFormat& format, const TVxScalar& value, const TRangeType& low,
                         const TRangeType& high);

// A value moved into and out of a buffer of the data type's size (1, 2, 4, 8 or 10 bytes).
void ScalarToBuffer(std::uint8_t dataType, const TVxScalar& value, void* buffer);
TVxScalar BufferToScalar(std::uint8_t dataType, const void* buffer);

// The value a new field starts with (efSetInitialValue): zero when the range includes it, else the lower
// limit; a blank character unless the range asks for another; blank dates and times.
TVxScalar InitialValue(std::uint8_t dataType, const TRangeType& low, const TRangeType& high);

// Hundredths rounded to the nearest integer, halves to the even neighbour.
std::int32_t ToCents(long double value);

// The value added to an integer, floating, date or time value when stepped, kept inside [low, high];
// `wrap` carries it round to the other limit instead of stopping at the edge.
TVxScalar StepValue(const TVxValueFormat& format, const TVxScalar& value, double delta, bool wrap,
                    const TRangeType& low, const TRangeType& high);

}  // namespace controls
