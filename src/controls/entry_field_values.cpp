#include "controls/entry_field_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>

#include "controls/intl_support.h"
#include "controls/str_routines.h"
#include "platform/text.h"

namespace controls {

namespace {

// The limits the floating types must keep when converted from text; real and extended take any value.
bool WithinTypeLimits(std::uint8_t subtype, long double v) {
  long double limit;
  switch (subtype) {
    case fsubDouble:
      limit = 1.7e+308L;
      break;
    case fsubSingle:
      limit = 3.4e+38L;
      break;
    case fsubComp:
      limit = 9.2e+18L;
      break;
    default:
      return true;
  }
  return std::fabs(v) <= limit;
}

bool IntegerWithinSubtype(std::uint8_t subtype, std::int32_t v) {
  switch (subtype) {
    case fsubWord:
      return v >= 0 && v <= 65535;
    case fsubInteger:
      return v >= -32768 && v <= 32767;
    case fsubByte:
      return v >= 0 && v <= 255;
    case fsubShortInt:
      return v >= -128 && v <= 127;
    default:
      return true;
  }
}

// Digits with one optional point and an optional exponent: what the platform's decimal conversion takes.
bool PlainDecimal(const std::string& s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == s.size();
}

std::string General(long double value, std::uint8_t subtype, char decimal) {
  const int digits = subtype == fsubSingle ? 7 : subtype == fsubExtended || subtype == fsubComp ? 18 : 15;
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::setprecision(digits) << value;
  std::string text = out.str();
  std::replace(text.begin(), text.end(), '.', decimal);
  return text;
}

char BoolChar(const TVxValueFormat& f, bool value) {
  const TVxIntlSup& intl = f.Settings();
  if (f.Subtype() == fsubYesNo) return value ? intl.YesChar : intl.NoChar;
  return value ? intl.TrueChar : intl.FalseChar;
}

std::uint16_t DataSizeFor(const TVxValueFormat& f) {
  return f.DataSize ? f.DataSize : DataSizeOf(f.DataType, f.MaxLength, 0, 0, false);
}

}  // namespace

const TVxIntlSup& TVxValueFormat::Settings() const { return Intl ? *Intl : VxIntlSup(); }

std::string TVxValueFormat::DateMask() const {
  return DatePicture.empty() ? Settings().InternationalDate(true) : DatePicture;
}

std::string TVxValueFormat::TimeMask() const {
  return TimePicture.empty() ? Settings().InternationalTime(false) : TimePicture;
}

int FloatDecimals(const TVxValueFormat& format) {
  std::size_t point = format.Mask.find('.');
  if (point == std::string::npos) return format.DecimalPlaces;
  int n = 0;
  for (std::size_t i = point + 1; i < format.Mask.size() && IsPictureChar(format.Mask[i]); ++i) ++n;
  return std::min<int>(n, format.MaxLength);
}

std::string FloatToText(const TVxValueFormat& format, long double value) {
  const int decimals = FloatDecimals(format);
  std::string text;
  if (format.Mask.find('E') == std::string::npos) {
    text = FixedText(value, decimals);
    if (text.find('.') != std::string::npos) text = TrimTrailingZeros(text);
    if (text.size() > format.MaxLength) text.clear();
  }
  if (text.empty()) {
    int width = format.MaxLength;
    if (decimals != 0 && decimals + 9 < format.MaxLength) width = decimals + 9;
    // The width holds a sign, one digit, the point, the decimals and a five-character exponent.
    text = ScientificText(value, std::max(1, width - 9));
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    text = TrimEmbeddedZeros(text);
  }
  std::replace(text.begin(), text.end(), '.', format.Settings().DecimalChar);
  return text;
}

bool TextToFloat(const TVxValueFormat& format, const std::string& text, long double& value) {
  std::string s = text;
  FixRealPrim(s, format.Settings().DecimalChar);
  if (!PlainDecimal(s)) return false;
  std::istringstream in(s);
  in.imbue(std::locale::classic());
  long double v = 0;
  in >> v;
  if (in.fail()) return false;
  value = v;
  return true;
}

bool StRangeToRange(const TVxValueFormat& format, const std::string& text, TRangeType& range) {
  range = BlankRange;
  const std::uint8_t subtype = format.Subtype();
  if (subtype == fsubChar) {
    if (text.empty()) {
      range = TRangeType::FromChar(' ');
      return true;
    }
    if (text[0] != '#') {
      range = TRangeType::FromChar(text[0]);
      return true;
    }
    const std::string code = text.substr(1, 2);
    const bool digits = !code.empty() && std::all_of(code.begin(), code.end(), [](char c) {
      return std::isdigit(static_cast<unsigned char>(c));
    });
    range = TRangeType::FromChar(digits ? static_cast<char>(std::stoi(code)) : ' ');
    return digits;
  }
  if (IsIntegerSubtype(subtype)) {
    std::int32_t v = 0;
    if (!Str2Long(text, format.Radix, v) || !IntegerWithinSubtype(subtype, v)) return false;
    range = TRangeType::FromLong(v);
    return true;
  }
  if (IsFloatSubtype(subtype)) {
    long double v = 0;
    if (!text.empty() && !TextToFloat(format, text, v)) return false;
    if (subtype == fsubReal) v = static_cast<double>(v);
    if (!WithinTypeLimits(subtype, v)) return false;
    range = TRangeType::FromExtended(v);
    return true;
  }
  if (subtype == fsubDate || subtype == fsubTime) {
    const TVxIntlSup& intl = format.Settings();
    const std::string mask = subtype == fsubDate ? intl.InternationalDate(true) : intl.InternationalTime(false);
    std::int32_t v = -1;
    if (text.size() == mask.size())
      v = subtype == fsubDate ? intl.DateStringToDate(mask, text, format.Epoch) : intl.TimeStringToTime(mask, text);
    range = TRangeType::FromLong(v);
    return v != -1;
  }
  return true;
}

std::string RangeToStRange(const TVxValueFormat& format, const TRangeType& range) {
  const std::uint8_t subtype = format.Subtype();
  if (subtype == fsubChar) {
    const auto c = static_cast<unsigned char>(range.AsChar());
    return c > ' ' ? std::string(1, static_cast<char>(c)) : "#" + std::to_string(c);
  }
  if (IsIntegerSubtype(subtype)) return Long2Str(range.AsLong(), format.Radix, DataSizeFor(format));
  if (IsFloatSubtype(subtype)) return FloatToText(format, range.AsExtended());
  if (subtype == fsubDate) {
    const TVxIntlSup& intl = format.Settings();
    return intl.DateToDateString(intl.InternationalDate(true), range.AsLong(), false);
  }
  if (subtype == fsubTime) {
    const TVxIntlSup& intl = format.Settings();
    return intl.TimeToTimeString(intl.InternationalTime(false), range.AsLong(), false);
  }
  return {};
}

std::string ValueToText(const TVxValueFormat& format, const TVxScalar& value) {
  const std::uint8_t subtype = format.Subtype();
  switch (subtype) {
    case fsubChar:
      return std::string(1, value.AsChar() ? value.AsChar() : ' ');
    case fsubBoolean:
    case fsubYesNo:
      return std::string(1, BoolChar(format, value.AsChar() != 0));
    case fsubDate:
      return format.Settings().DateToDateString(format.DateMask(), value.AsLong(), false);
    case fsubTime:
      return format.Settings().TimeToTimeString(format.TimeMask(), value.AsLong(), false);
    default:
      break;
  }
  if (IsIntegerSubtype(subtype)) return Long2Str(value.AsLong(), format.Radix, DataSizeFor(format));
  if (IsFloatSubtype(subtype)) {
    // Without decimals of its own a value shows every digit its type keeps.
    if (format.Mask.find('.') == std::string::npos && format.DecimalPlaces == 0 &&
        format.Mask.find('E') == std::string::npos)
      return General(value.AsExtended(), subtype, format.Settings().DecimalChar);
    return FloatToText(format, value.AsExtended());
  }
  return {};
}

std::uint16_t TextToValue(const TVxValueFormat& format, const std::string& text, TVxScalar& value) {
  const std::uint8_t subtype = format.Subtype();
  const TVxIntlSup& intl = format.Settings();
  value = BlankRange;
  switch (subtype) {
    case fsubChar:
      value = TVxScalar::FromChar(text.empty() ? ' ' : text[0]);
      return 0;
    case fsubBoolean:
    case fsubYesNo: {
      const char c = text.empty() ? ' ' : UpCaseChar(text[0]);
      const char yes = subtype == fsubYesNo ? intl.YesChar : intl.TrueChar;
      const char no = subtype == fsubYesNo ? intl.NoChar : intl.FalseChar;
      value = TVxScalar::FromChar(c == yes ? 1 : 0);
      return c == yes || c == no || c == ' ' ? 0 : oeInvalidNumber;
    }
    case fsubDate: {
      const std::string mask = format.DateMask();
      value = TVxScalar::FromLong(BadDate);
      if (text.size() == mask.size() && intl.DateStringIsBlank(mask, text)) return 0;
      const TStDate d = text.size() == mask.size() ? intl.DateStringToDate(mask, text, format.Epoch) : BadDate;
      value = TVxScalar::FromLong(d);
      return d == BadDate ? oeInvalidDate : 0;
    }
    case fsubTime: {
      const std::string mask = format.TimeMask();
      value = TVxScalar::FromLong(BadTime);
      if (platform::Trim(text).empty() || text == intl.TimeToTimeString(mask, BadTime, false)) return 0;
      const TStTime t = text.size() == mask.size() ? intl.TimeStringToTime(mask, text) : BadTime;
      value = TVxScalar::FromLong(t);
      return t == BadTime ? oeInvalidTime : 0;
    }
    default:
      break;
  }
  if (IsIntegerSubtype(subtype)) {
    std::int32_t v = 0;
    if (!Str2Long(text, format.Radix, v) || !IntegerWithinSubtype(subtype, v)) return oeInvalidNumber;
    value = TVxScalar::FromLong(v);
    return 0;
  }
  if (IsFloatSubtype(subtype)) {
    long double v = 0;
    if (!TextToFloat(format, text, v) || !WithinTypeLimits(subtype, v)) return oeInvalidNumber;
    if (subtype == fsubReal || subtype == fsubDouble)
      v = static_cast<double>(v);
    else if (subtype == fsubSingle)
      v = static_cast<float>(v);
    else if (subtype == fsubComp)
      v = std::nearbyint(v);
    value = TVxScalar::FromExtended(v);
    return 0;
  }
  return 0;
}

std::uint16_t CheckRange(const TVxValueFormat& format, const TVxScalar& value, const TRangeType& low,
                         const TRangeType& high) {
  const std::uint8_t subtype = format.Subtype();
  bool inside = true;
  if (subtype == fsubChar) {
    const auto lo = static_cast<unsigned char>(low.AsChar()), hi = static_cast<unsigned char>(high.AsChar());
    const auto c = static_cast<unsigned char>(value.AsChar());
    if (hi > ' ' || lo > ' ') inside = c >= lo && c <= hi;  // blank to blank: no range
  } else if (IsIntegerSubtype(subtype)) {
    inside = value.AsLong() >= low.AsLong() && value.AsLong() <= high.AsLong();
  } else if (IsFloatSubtype(subtype)) {
    inside = value.AsExtended() >= low.AsExtended() && value.AsExtended() <= high.AsExtended();
  } else if (subtype == fsubDate || subtype == fsubTime) {
    inside = value.AsLong() == -1 || (value.AsLong() >= low.AsLong() && value.AsLong() <= high.AsLong());
  }
  return inside ? 0 : oeRangeError;
}

void ScalarToBuffer(std::uint8_t dataType, const TVxScalar& value, void* buffer) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::uint8_t subtype = SubtypeOf(dataType);
  auto store = [&](auto v) { std::memcpy(out, &v, sizeof v); };
  switch (subtype) {
    case fsubChar:
      out[0] = static_cast<std::uint8_t>(value.AsChar());
      break;
    case fsubBoolean:
    case fsubYesNo:
      out[0] = value.AsChar() ? 1 : 0;
      break;
    case fsubLongInt:
    case fsubDate:
    case fsubTime:
      store(value.AsLong());
      break;
    case fsubWord:
      store(static_cast<std::uint16_t>(value.AsLong()));
      break;
    case fsubInteger:
      store(static_cast<std::int16_t>(value.AsLong()));
      break;
    case fsubByte:
      store(static_cast<std::uint8_t>(value.AsLong()));
      break;
    case fsubShortInt:
      store(static_cast<std::int8_t>(value.AsLong()));
      break;
    case fsubReal:
    case fsubDouble:
      store(static_cast<double>(value.AsExtended()));
      break;
    case fsubSingle:
      store(static_cast<float>(value.AsExtended()));
      break;
    case fsubComp:
      store(static_cast<std::int64_t>(std::nearbyint(value.AsExtended())));
      break;
    case fsubExtended:
      std::memcpy(out, value.Bytes.data(), 10);
      break;
    default:
      break;
  }
}

TVxScalar BufferToScalar(std::uint8_t dataType, const void* buffer) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  auto load = [&](auto v) {
    std::memcpy(&v, in, sizeof v);
    return v;
  };
  switch (SubtypeOf(dataType)) {
    case fsubChar:
      return TVxScalar::FromChar(static_cast<char>(in[0]));
    case fsubBoolean:
    case fsubYesNo:
      return TVxScalar::FromChar(in[0] ? 1 : 0);
    case fsubLongInt:
    case fsubDate:
    case fsubTime:
      return TVxScalar::FromLong(load(std::int32_t{}));
    case fsubWord:
      return TVxScalar::FromLong(load(std::uint16_t{}));
    case fsubInteger:
      return TVxScalar::FromLong(load(std::int16_t{}));
    case fsubByte:
      return TVxScalar::FromLong(in[0]);
    case fsubShortInt:
      return TVxScalar::FromLong(static_cast<std::int8_t>(in[0]));
    case fsubReal:
    case fsubDouble:
      return TVxScalar::FromExtended(load(double{}));
    case fsubSingle:
      return TVxScalar::FromExtended(load(float{}));
    case fsubComp:
      return TVxScalar::FromExtended(static_cast<long double>(load(std::int64_t{})));
    case fsubExtended: {
      TVxScalar v;
      std::memcpy(v.Bytes.data(), in, 10);
      return v;
    }
    default:
      return BlankRange;
  }
}

TVxScalar InitialValue(std::uint8_t dataType, const TRangeType& low, const TRangeType& high) {
  const std::uint8_t subtype = SubtypeOf(dataType);
  if (subtype == fsubChar) {
    const auto lo = static_cast<unsigned char>(low.AsChar()), hi = static_cast<unsigned char>(high.AsChar());
    return TVxScalar::FromChar(lo > ' ' || hi < ' ' ? low.AsChar() : ' ');
  }
  if (IsIntegerSubtype(subtype)) return TVxScalar::FromLong(low.AsLong() < 1 && high.AsLong() >= 0 ? 0 : low.AsLong());
  if (IsFloatSubtype(subtype))
    return TVxScalar::FromExtended(low.AsExtended() < 1 && high.AsExtended() >= 0 ? 0 : low.AsExtended());
  if (subtype == fsubDate || subtype == fsubTime) return TVxScalar::FromLong(-1);
  return BlankRange;
}

std::int32_t ToCents(long double value) {
  return static_cast<std::int32_t>(std::nearbyint(value * 100));  // the default rounding: halves to even
}

TVxScalar StepValue(const TVxValueFormat& format, const TVxScalar& value, double delta, bool wrap,
                    const TRangeType& low, const TRangeType& high) {
  const std::uint8_t subtype = format.Subtype();
  if (subtype == fsubBoolean || subtype == fsubYesNo) return TVxScalar::FromChar(value.AsChar() ? 0 : 1);
  if (subtype == fsubChar) {
    const int lo = static_cast<unsigned char>(low.AsChar()), hi = static_cast<unsigned char>(high.AsChar());
    const bool ranged = lo > ' ' || hi > ' ';
    const int first = ranged ? lo : 1, last = ranged ? hi : 255;
    int c = static_cast<unsigned char>(value.AsChar()) + static_cast<int>(delta);
    if (c > last) c = wrap ? first : last;
    if (c < first) c = wrap ? last : first;
    return TVxScalar::FromChar(static_cast<char>(c));
  }
  if (IsFloatSubtype(subtype)) {
    const long double lo = low.AsExtended(), hi = high.AsExtended();
    long double v = value.AsExtended() + delta;
    if (v > hi) v = wrap ? lo : hi;
    if (v < lo) v = wrap ? hi : lo;
    return TVxScalar::FromExtended(v);
  }
  if (IsIntegerSubtype(subtype) || subtype == fsubDate || subtype == fsubTime) {
    const std::int64_t lo = low.AsLong(), hi = high.AsLong();
    std::int64_t v = value.AsLong();
    if (v == -1 && (subtype == fsubDate || subtype == fsubTime))
      v = subtype == fsubDate ? CurrentDate() : CurrentTime();  // a blank date steps from today
    else
      v += static_cast<std::int64_t>(delta);
    if (v > hi) v = wrap ? lo : hi;
    if (v < lo) v = wrap ? hi : lo;
    return TVxScalar::FromLong(static_cast<std::int32_t>(v));
  }
  return value;
}

}  // namespace controls
