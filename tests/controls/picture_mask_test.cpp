#include "controls/picture_mask.h"

#include <gtest/gtest.h>

#include "controls/intl_support.h"
#include "controls/user_data.h"

namespace {

using namespace controls;

struct CharCase {
  char Mask;
  char Typed;
  char Prev;
  bool Accepted;
  char Stored;  // after the case rule
};

class MaskCharacters : public ::testing::TestWithParam<CharCase> {};

TEST_P(MaskCharacters, AcceptOnlyTheirKindAfterTheCaseRule) {
  TVxIntlSup intl;
  intl.TrueChar = 'T';
  intl.FalseChar = 'F';
  intl.YesChar = 'Y';
  intl.NoChar = 'N';
  TVxUserData user;
  user.SetUserCharSet('3', MakeCharSet("xyz"));
  user.SetForceCase('3', TCaseChange::mcLowerCase);
  const CharCase& c = GetParam();
  char typed = c.Typed;
  EXPECT_EQ(TVxMaskRules(intl, user).CharOK(c.Mask, typed, c.Prev, true), c.Accepted) << c.Mask << " " << c.Typed;
  if (c.Accepted) {
    EXPECT_EQ(typed, c.Stored) << c.Mask << " " << c.Typed;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, MaskCharacters,
                         ::testing::Values(CharCase{'K', 'a', ' ', true, 'A'}, CharCase{'K', 'g', ' ', false, 0},
                                           CharCase{'K', '7', ' ', true, '7'}, CharCase{'b', '1', ' ', true, '1'},
                                           CharCase{'b', '2', ' ', false, 0}, CharCase{'b', ' ', ' ', true, ' '},
                                           CharCase{'O', '8', ' ', false, 0}, CharCase{'O', '7', ' ', true, '7'},
                                           CharCase{'9', 'a', ' ', false, 0}, CharCase{'9', ' ', ' ', true, ' '},
                                           CharCase{'i', '-', ' ', true, '-'}, CharCase{'#', '.', ' ', true, '.'},
                                           CharCase{'#', '+', ' ', false, 0}, CharCase{'E', 'e', ' ', true, 'E'},
                                           CharCase{'E', '+', ' ', true, '+'}, CharCase{'A', 'q', ' ', true, 'Q'},
                                           CharCase{'a', '5', ' ', false, 0}, CharCase{'l', 'Q', ' ', true, 'q'},
                                           CharCase{'!', 'q', ' ', true, 'Q'}, CharCase{'L', 'Q', ' ', true, 'q'},
                                           CharCase{'x', 's', ' ', true, 'S'}, CharCase{'x', 's', 'a', true, 's'},
                                           CharCase{'x', 'j', '-', true, 'J'}, CharCase{'B', 't', ' ', true, 'T'},
                                           CharCase{'B', 'y', ' ', false, 0}, CharCase{'Y', 'n', ' ', true, 'N'},
                                           CharCase{'3', 'Y', ' ', true, 'y'}, CharCase{'3', 'a', ' ', false, 0},
                                           CharCase{'N', 'j', ' ', true, 'J'}, CharCase{'d', 'x', ' ', false, 0},
                                           CharCase{'t', '%', ' ', true, '%'}, CharCase{'X', '\0', ' ', false, 0},
                                           CharCase{'~', '%', ' ', true, '%'}, CharCase{'Z', '%', ' ', true, '%'}));

TEST(MaskCharacters, WithoutTheCaseRuleAHexDigitMustAlreadyBeUpperCase) {
  TVxIntlSup intl;
  TVxUserData user;
  char typed = 'a';
  EXPECT_FALSE(TVxMaskRules(intl, user).CharOK('K', typed, ' ', false));
}

TEST(MaskCharacters, MixedCaseCapitalisesEachPartOfADoubleName) {
  TVxIntlSup intl;
  TVxUserData user;
  TVxMaskRules rules(intl, user);
  std::string out;
  char prev = ' ';
  for (char c : std::string("smith-jones")) {
    rules.FixCase('x', c, prev);
    out += c;
    prev = c;
  }
  EXPECT_EQ(out, "Smith-Jones");
}

TEST(PictureMask, PositionsPastTheMaskRepeatItsLastCharacter) {
  EXPECT_EQ(NthMaskChar("99X", 1), '9');
  EXPECT_EQ(NthMaskChar("99X", 40), 'X');
  EXPECT_EQ(CalcDataSize("(999) 999-9999", 14), 11);
  EXPECT_EQ(CalcDataSize("$#,###", 6), 7);  // semi-literals hold data
}

TEST(PictureMask, ControlCharactersAreCountedAndShownAsLetters) {
  int before = 0, count = 0;
  FindCtrlChars(std::string("ab\x01\x02"
                            "c"),
                before, count);
  EXPECT_EQ(before, 2);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(MapControlChars(std::string("a\x01z\x1a")), "aAzZ");
}

struct IntText {
  const char* Text;
  TVxRadix Radix;
  bool Ok;
  std::int32_t Value;
};

class IntegerTexts : public ::testing::TestWithParam<IntText> {};

TEST_P(IntegerTexts, ConvertInTheFieldsRadix) {
  std::int32_t v = 12345;
  EXPECT_EQ(Str2Long(GetParam().Text, GetParam().Radix, v), GetParam().Ok) << GetParam().Text;
  if (GetParam().Ok) {
    EXPECT_EQ(v, GetParam().Value) << GetParam().Text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerTexts,
    ::testing::Values(IntText{"  -2147483648 ", TVxRadix::Decimal, true, INT32_MIN},
                      IntText{"12a", TVxRadix::Decimal, false, 0}, IntText{"   ", TVxRadix::Decimal, true, 0},
                      IntText{"ff", TVxRadix::Hexadecimal, true, 255}, IntText{"$10", TVxRadix::Hexadecimal, true, 16},
                      IntText{"FFFFFFFF", TVxRadix::Hexadecimal, true, -1}, IntText{"101", TVxRadix::Binary, true, 5},
                      IntText{"102", TVxRadix::Binary, false, 0},
                      IntText{"100000000000000000000000000000000", TVxRadix::Binary, false, 0},
                      IntText{"00000000000000000000000000000000001", TVxRadix::Binary, true, 1},
                      IntText{"777", TVxRadix::Octal, true, 511}, IntText{"37777777777", TVxRadix::Octal, true, -1},
                      IntText{"77777777777", TVxRadix::Octal, false, 0}, IntText{"8", TVxRadix::Octal, false, 0}));

struct IntShown {
  std::int32_t Value;
  TVxRadix Radix;
  std::uint16_t DataSize;
  const char* Text;
};

class IntegerDisplay : public ::testing::TestWithParam<IntShown> {};

TEST_P(IntegerDisplay, KeepsTheDigitsOfTheDataSize) {
  EXPECT_EQ(Long2Str(GetParam().Value, GetParam().Radix, GetParam().DataSize), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerDisplay,
    ::testing::Values(IntShown{255, TVxRadix::Hexadecimal, 1, "FF"},
                      IntShown{255, TVxRadix::Hexadecimal, 4, "000000FF"}, IntShown{5, TVxRadix::Binary, 1, "00000101"},
                      IntShown{255, TVxRadix::Octal, 1, "0377"}, IntShown{8, TVxRadix::Octal, 4, "000000000010"},
                      IntShown{0, TVxRadix::Decimal, 4, "0"}, IntShown{-42, TVxRadix::Decimal, 2, "-42"}));

TEST(PictureMask, TheRadixFollowsTheMasksLettersAndSamplesShowTheMask) {
  EXPECT_EQ(RadixOfMask("KKKK"), TVxRadix::Hexadecimal);
  EXPECT_EQ(RadixOfMask("bbbbbbbb"), TVxRadix::Binary);
  EXPECT_EQ(RadixOfMask("OOO"), TVxRadix::Octal);
  EXPECT_EQ(RadixOfMask("999"), TVxRadix::Decimal);
  EXPECT_EQ(SampleDisplayData("99/99/9999", 5, false), "99/99");
  EXPECT_EQ(SampleDisplayData("!X", 4, true), "!!!!");
}

}  // namespace
