#include "controls/picture_mask.h"

#include "controls/intl_support.h"
#include "controls/library_data.h"
#include "controls/str_routines.h"
#include "controls/user_data.h"

namespace controls {

namespace {

CharSet Range(char from, char to) {
  CharSet s;
  for (int c = static_cast<unsigned char>(from); c <= static_cast<unsigned char>(to); ++c)
    s.set(static_cast<std::size_t>(c));
  return s;
}

bool In(const CharSet& set, char c) { return set.test(static_cast<unsigned char>(c)); }

char UpperIfMixed(char c, char prev) { return prev == ' ' || prev == '-' ? UpCaseChar(c) : c; }

}  // namespace

const CharSet& PictureChars() {
  static const CharSet set = MakeCharSet("!#9ABDEHKLMNOSXYabdhilmnstxy") | Range('1', '8');
  return set;
}

const CharSet& SimplePictureChars() {
  static const CharSet set = MakeCharSet("!#9ABEKLOXYabilx") | Range('1', '8');
  return set;
}

const CharSet& IntegerCharSet() {
  static const CharSet set = MakeCharSet(" ") | Range('0', '9');
  return set;
}

const CharSet& RealCharSet() {
  static const CharSet set = MakeCharSet(" -.") | Range('0', '9');
  return set;
}

void TVxMaskRules::FixCase(char mask, char& c, char prev) const {
  switch (mask) {
    case '!':
    case 'A':
    case 'E':
    case 'K':
    case 'B':
    case 'Y':
    case 'N':
      c = UpCaseChar(c);
      break;
    case 'L':
    case 'l':
      c = LoCaseChar(c);
      break;
    case 'x':
      c = UpperIfMixed(c, prev);
      break;
    default:
      if (mask >= '1' && mask <= '8') {
        switch (user_.ForceCase(mask)) {
          case TCaseChange::mcUpperCase:
            c = UpCaseChar(c);
            break;
          case TCaseChange::mcLowerCase:
            c = LoCaseChar(c);
            break;
          case TCaseChange::mcMixedCase:
            c = UpperIfMixed(c, prev);
            break;
          case TCaseChange::mcNoChange:
            break;
        }
      }
  }
}

bool TVxMaskRules::CharOK(char mask, char& c, char prev, bool fixCase) const {
  if (c == '\0') return false;
  if (fixCase) FixCase(mask, c, prev);
  if (mask < '#' || mask > 'y') return true;
  switch (mask) {
    case 'a':
    case 'A':
    case 'l':
    case 'N':
    case 'n':
      return In(AlphaCharSet(), c);
    case '9':
    case 'D':
    case 'd':
    case 'M':
    case 'm':
    case 'y':
    case 'H':
    case 'h':
    case 'S':
    case 's':
      return In(IntegerCharSet(), c);
    case 'i':
      return c == '-' || In(IntegerCharSet(), c);
    case '#':
      return In(RealCharSet(), c);
    case 'E':
      return c == '+' || c == 'E' || In(RealCharSet(), c);
    case 'K':
      return (c >= 'A' && c <= 'F') || In(IntegerCharSet(), c);
    case 'O':
      return c == ' ' || (c >= '0' && c <= '7');
    case 'b':
      return c == ' ' || c == '0' || c == '1';
    case 'B':
      return c == intl_.TrueChar || c == intl_.FalseChar;
    case 'Y':
      return c == intl_.YesChar || c == intl_.NoChar;
    default:
      if (mask >= '1' && mask <= '8') return In(user_.UserCharSet(mask), c);
      return true;  // X, L, x, t and the characters the table does not list
  }
}

char NthMaskChar(const std::string& mask, std::size_t pos) {
  if (mask.empty()) return 'X';
  return pos < mask.size() ? mask[pos] : mask.back();
}

std::uint16_t MaskDataChars(const std::string& mask) {
  std::uint16_t n = 0;
  for (char c : mask)
    if (IsDataPosition(c)) ++n;
  return n;
}

std::uint16_t CalcDataSize(const std::string& mask, std::uint16_t maxLength) {
  return static_cast<std::uint16_t>(maxLength - mask.size() + MaskDataChars(mask) + 1);
}

void FindCtrlChars(const std::string& text, int& before, int& count) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) >= 32) ++i;
  before = static_cast<int>(i);
  std::size_t j = i;
  while (j < text.size() && static_cast<unsigned char>(text[j]) < 32) ++j;
  count = static_cast<int>(j - i);
}

std::string MapControlChars(const std::string& text) {
  std::string shown = text;
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 32) c = static_cast<char>(c + 64);
  return shown;
}

TVxRadix RadixOfMask(const std::string& mask) {
  if (mask.find('b') != std::string::npos) return TVxRadix::Binary;
  if (mask.find('O') != std::string::npos) return TVxRadix::Octal;
  if (mask.find('K') != std::string::npos) return TVxRadix::Hexadecimal;
  return TVxRadix::Decimal;
}

bool BinStr2Long(const std::string& text, std::int32_t& value) {
  std::uint32_t bits = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    char c = text[n - 1 - i];  // from the right
    if (c != '0' && c != '1') return false;
    if (c == '1') {
      if (i >= 32) return false;
      bits |= 1u << i;
    }
  }
  value = static_cast<std::int32_t>(bits);
  return true;
}

bool OctStr2Long(const std::string& text, std::int32_t& value) {
  std::uint32_t bits = 0;
  for (char c : text) {
    if (c < '0' || c > '7') return false;
    if (bits & 0xE0000000u) return false;  // the shift would push set bits out
    bits = bits << 3 | static_cast<std::uint32_t>(c - '0');
  }
  value = static_cast<std::int32_t>(bits);
  return true;
}

bool Str2Long(const std::string& text, TVxRadix radix, std::int32_t& value) {
  std::string s = TrimRight(TrimLeft(text));
  if (s.empty()) {
    value = 0;
    return true;
  }
  switch (radix) {
    case TVxRadix::Binary:
      return BinStr2Long(s, value);
    case TVxRadix::Octal:
      return OctStr2Long(s, value);
    case TVxRadix::Hexadecimal:
      if (s.find('$') == std::string::npos) s = "$" + s;
      break;
    case TVxRadix::Decimal:
      if (s == "-2147483648") {
        value = INT32_MIN;
        return true;
      }
      break;
  }
  std::int32_t v = 0;
  if (!StrToLongPChar(s.c_str(), v)) return false;
  value = v;
  return true;
}

std::string Long2Str(std::int32_t value, TVxRadix radix, std::uint16_t dataSize) {
  char buffer[40];
  const auto bits = static_cast<std::uint32_t>(value);
  const bool narrow = dataSize < 4;
  switch (radix) {
    case TVxRadix::Hexadecimal: {
      std::string s = HexLPChar(buffer, bits);
      return narrow ? s.substr(s.size() - 2u * dataSize) : s;
    }
    case TVxRadix::Octal: {
      std::string s = OctalLPChar(buffer, bits);
      return narrow ? s.substr(12u - 4u * dataSize) : s;
    }
    case TVxRadix::Binary: {
      std::string s = BinaryLPChar(buffer, bits);
      return narrow ? s.substr(s.size() - 8u * dataSize) : s;
    }
    case TVxRadix::Decimal:
      break;
  }
  return std::to_string(value);
}

std::string SampleDisplayData(const std::string& mask, std::uint16_t maxLength, bool simpleField) {
  if (simpleField) return std::string(maxLength, NthMaskChar(mask, 0));
  return mask.substr(0, maxLength);
}

}  // namespace controls
