#pragma once
// The picture-mask vocabulary of the entry fields: which mask characters hold data, what each accepts and
// how it changes a character's case, the control-character display, and the integer texts in the radix a
// mask asks for (K hexadecimal, O octal, b binary). The date and time letters are shared with the
// international settings.
#include <cstdint>
#include <string>

#include "controls/misc.h"

namespace controls {

class TVxIntlSup;
class TVxUserData;

// Every mask character a picture field accepts.
const CharSet& PictureChars();
// The subset a simple field accepts: no date or time letters.
const CharSet& SimplePictureChars();
const CharSet& IntegerCharSet();  // blank and 0-9
const CharSet& RealCharSet();     // blank, "-", "." and 0-9

inline bool IsPictureChar(char c) { return PictureChars().test(static_cast<unsigned char>(c)); }
// "$" (floating currency) and "," (thousands separator): literals that count as data positions.
inline bool IsSemiLiteral(char c) { return c == '$' || c == ','; }
// A mask position that holds data.
inline bool IsDataPosition(char maskChar) { return IsPictureChar(maskChar) || IsSemiLiteral(maskChar); }

enum class TVxRadix : std::uint8_t { Decimal, Hexadecimal, Octal, Binary };

// The rules of one mask position, with the settings that give B, Y and 1 to 8 their characters.
class TVxMaskRules {
 public:
  TVxMaskRules(const TVxIntlSup& intl, const TVxUserData& user) : intl_(intl), user_(user) {}

  // Whether `c` may stand where `mask` is; with `fixCase` the case rule is applied to it first. The
  // character 0 is refused.
  bool CharOK(char mask, char& c, char prev, bool fixCase) const;
  // The case rule of `mask`; the mixed rules upper-case only after a blank or "-".
  void FixCase(char mask, char& c, char prev) const;

 private:
  const TVxIntlSup& intl_;
  const TVxUserData& user_;
};

// The mask character at `pos`; past the end, the last one ("X" for an empty mask).
char NthMaskChar(const std::string& mask, std::size_t pos);
// The number of mask characters that hold data (picture characters, "$" and ",").
std::uint16_t MaskDataChars(const std::string& mask);
// The data size of a picture string that omits its literals.
std::uint16_t CalcDataSize(const std::string& mask, std::uint16_t maxLength);

// From the start: the count of characters of code 32 or more, then the count of control characters after
// them.
void FindCtrlChars(const std::string& text, int& before, int& count);
// Control characters made visible: code 1 shows as "A".
std::string MapControlChars(const std::string& text);

// The radix a mask's characters ask for: binary over octal over hexadecimal.
TVxRadix RadixOfMask(const std::string& mask);
// A text in the radix to an integer; blanks around it are ignored and an empty text is 0.
bool Str2Long(const std::string& text, TVxRadix radix, std::int32_t& value);
bool BinStr2Long(const std::string& text, std::int32_t& value);
bool OctStr2Long(const std::string& text, std::int32_t& value);
// An integer in the radix: hexadecimal, octal and binary keep the digits a value of `dataSize` bytes has.
std::string Long2Str(std::int32_t value, TVxRadix radix, std::uint16_t dataSize);

// What a field shows at design time: the first MaxLength mask characters, or for a simple field the mask's
// first character in every position.
std::string SampleDisplayData(const std::string& mask, std::uint16_t maxLength, bool simpleField);

}  // namespace controls
