#include "controls/str_routines.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace controls;

TEST(StrConversions, BinaryHexAndOctalDigits) {
  char b[40];
  EXPECT_STREQ(BinaryBPChar(b, 0xA5), "10100101");
  EXPECT_STREQ(BinaryWPChar(b, 0x8001), "1000000000000001");
  EXPECT_EQ(std::strlen(BinaryLPChar(b, 1)), 32u);
  EXPECT_STREQ(HexBPChar(b, 0x0F), "0F");
  EXPECT_STREQ(HexWPChar(b, 0xBEEF), "BEEF");
  EXPECT_STREQ(HexLPChar(b, 0x1234ABCD), "1234ABCD");
  EXPECT_STREQ(HexPtrPChar(b, reinterpret_cast<const void*>(std::uintptr_t{0x0012ABCD})), "0012:ABCD");
  EXPECT_STREQ(OctalLPChar(b, 8), "000000000010");
  EXPECT_STREQ(CharStrPChar(b, '*', 3), "***");
}

TEST(StrConversions, DetabExpandsToTheNextStop) {
  char out[32];
  EXPECT_STREQ(DetabPChar(out, "a\tb", 4), "a   b");
  EXPECT_STREQ(DetabPChar(out, "\tx", 4), "    x");
  EXPECT_STREQ(DetabPChar(out, "a\tb", 0), "");
}

TEST(StrConversions, StrToLongAcceptsDecimalAndHexAndReportsTheBadCharacter) {
  std::int32_t v = 0;
  EXPECT_TRUE(StrToLongPChar("0x1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(StrToLongPChar("-42  ", v));
  EXPECT_EQ(v, -42);
  EXPECT_TRUE(StrToLongPChar("$FFFFFFFF", v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(StrToLongPChar("12a", v));
  EXPECT_EQ(v, 2);
  EXPECT_FALSE(StrToLongPChar("", v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(StrToLongPChar("2147483648", v));
  EXPECT_TRUE(StrToLongPChar("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_FALSE(StrToLongPChar(std::string(256, '1').c_str(), v));
  EXPECT_EQ(v, -1);
}

TEST(StrEditing, SearchInsertDeleteAndCopy) {
  std::size_t pos = 99;
  EXPECT_TRUE(StrChPos("hello", 'l', pos));
  EXPECT_EQ(pos, 2u);
  EXPECT_FALSE(StrChPos("hello", 'z', pos));
  EXPECT_TRUE(StrStPos("hello", "llo", pos));
  EXPECT_EQ(pos, 2u);
  EXPECT_FALSE(StrStPos("hello", "", pos));
  EXPECT_FALSE(StrStPos("he", "hello", pos));
  char s[32] = "abcdef";
  EXPECT_STREQ(StrStDeletePrim(s, 1, 2), "adef");
  EXPECT_STREQ(StrChDeletePrim(s, 10), "adef");  // beyond the end: nothing
  EXPECT_STREQ(StrChInsertPrim(s, 'X', 1), "aXdef");
  EXPECT_STREQ(StrStInsertPrim(s, "12", 5), "aXdef12");
  EXPECT_STREQ(StrInsertChars(s, '-', 0, 2), "--aXdef12");
  char d[32];
  EXPECT_STREQ(StrStInsert(d, "ace", "b", 1), "abce");
  EXPECT_STREQ(StrStCopy(d, "abcdef", 2, 3), "cde");
  EXPECT_STREQ(StrStCopy(d, "abcdef", 4, 10), "ef");
  EXPECT_STREQ(StrStCopy(d, "abcdef", 6, 1), "");
}

TEST(StrTrimming, SpacesAndZeros) {
  char s[32] = "  ab c  ";
  EXPECT_STREQ(TrimAllSpacesPChar(s), "ab c");
  char t[32] = "x \t\r\n";
  EXPECT_STREQ(TrimTrailPrimPChar(t), "x");
  EXPECT_EQ(TrimTrailingZeros("12.5000"), "12.5");
  EXPECT_EQ(TrimTrailingZeros("12.000"), "12");
  EXPECT_EQ(TrimTrailingZeros("1200"), "1200");  // no decimal point: the zeros are the number's
  EXPECT_EQ(TrimEmbeddedZeros("1.2300000E+005"), "1.23E+5");
  EXPECT_EQ(TrimEmbeddedZeros("2.0000E-010"), "2E-10");
  EXPECT_EQ(TrimEmbeddedZeros("1.5E+000"), "1.5E+0");
  char z[32] = "3.1400";
  EXPECT_STREQ(TrimTrailingZerosPChar(z), "3.14");
}

TEST(StrCase, Latin1LettersChangeCase) {
  EXPECT_EQ(UpCaseChar('a'), 'A');
  EXPECT_EQ(LoCaseChar('Q'), 'q');
  EXPECT_EQ(UpCaseChar('\xE9'), '\xC9');  // e acute
  EXPECT_EQ(UpCaseChar('\xFF'), '\xFF');  // its capital is not Latin-1
  EXPECT_EQ(UpCaseChar('1'), '1');
}

TEST(BoyerMoore, TableAndSearch) {
  BMTable table;
  BMMakeTable("abcab", table);
  EXPECT_EQ(table[static_cast<unsigned char>('z')], 5);
  EXPECT_EQ(table[static_cast<unsigned char>('a')], 1);  // the later occurrence wins
  EXPECT_EQ(table[static_cast<unsigned char>('b')], 3);
  EXPECT_EQ(table[static_cast<unsigned char>('c')], 2);
  const char* text = "xxabcaxabcabyy";
  std::size_t pos = 0;
  EXPECT_TRUE(BMSearch(text, std::strlen(text), table, "abcab", pos));
  EXPECT_EQ(pos, 7u);
  EXPECT_FALSE(BMSearch(text, 6, table, "abcab", pos));
  BMTable upper;
  BMMakeTable("ABCAB", upper);
  EXPECT_TRUE(BMSearchUC("xxABcAbyy", 9, upper, "abcab", pos));
  EXPECT_EQ(pos, 2u);
}

}  // namespace
