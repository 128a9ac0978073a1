#include "controls/entry_field_values.h"

#include <gtest/gtest.h>

#include <cmath>

#include "controls/entry_field_validation.h"
#include "controls/intl_support.h"

namespace {

using namespace controls;

class FieldValues : public ::testing::Test {
 protected:
  FieldValues() {
    Intl.ShortDatePicture = "mm/dd/yyyy";
    Intl.SlashChar = '/';
    Intl.DecimalChar = '.';
    Intl.LeadingZeroHour = true;
    Intl.TwelveHour = false;
  }
  TVxValueFormat Format(TVxFieldSubtype subtype, const std::string& mask = "X", std::uint16_t maxLength = 15) {
    TVxValueFormat f;
    f.DataType = MakeDataType(fcSimple, subtype);
    f.Mask = mask;
    f.MaxLength = maxLength;
    f.Intl = &Intl;
    f.DataSize = DataSizeOf(f.DataType, maxLength, 0, 0, false);
    return f;
  }
  TVxIntlSup Intl;
};

struct RangeText {
  TVxFieldSubtype Subtype;
  const char* Text;
  bool Ok;
};

class RangeTexts : public FieldValues, public ::testing::WithParamInterface<RangeText> {};

TEST_P(RangeTexts, ConvertOnlyWithinTheirType) {
  TRangeType r;
  EXPECT_EQ(StRangeToRange(Format(GetParam().Subtype), GetParam().Text, r), GetParam().Ok) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(Table, RangeTexts,
                         ::testing::Values(RangeText{fsubShortInt, "128", false}, RangeText{fsubShortInt, "-128", true},
                                           RangeText{fsubWord, "65535", true}, RangeText{fsubWord, "-1", false},
                                           RangeText{fsubByte, "256", false}, RangeText{fsubInteger, "x", false},
                                           RangeText{fsubChar, "#6x", false}, RangeText{fsubSingle, "3.5e38", false},
                                           RangeText{fsubDouble, "1e300", true}, RangeText{fsubReal, "", true},
                                           RangeText{fsubExtended, "1e4000", true}, RangeText{fsubComp, "1e19", false},
                                           RangeText{fsubExtended, "1.2.3", false},
                                           RangeText{fsubDate, "1/1/2000", false},
                                           RangeText{fsubDate, "02/29/2001", false},
                                           RangeText{fsubDate, "02/29/2000", true}, RangeText{fsubTime, "25:00", false},
                                           RangeText{fsubTime, "23:59", true},
                                           RangeText{fsubString, "anything", true}));

TEST_F(FieldValues, CharacterLimitsReadCodesAndShowUnprintablesAsCodes) {
  TRangeType r;
  ASSERT_TRUE(StRangeToRange(Format(fsubChar), "#65", r));
  EXPECT_EQ(r.AsChar(), 'A');
  EXPECT_EQ(RangeToStRange(Format(fsubChar), TRangeType::FromChar(' ')), "#32");
  EXPECT_EQ(RangeToStRange(Format(fsubChar), TRangeType::FromChar('q')), "q");
}

struct FloatShown {
  const char* Mask;
  std::uint16_t MaxLength;
  long double Value;
  const char* Text;
};

class FloatLimits : public FieldValues, public ::testing::WithParamInterface<FloatShown> {};

TEST_P(FloatLimits, ShowFixedWhenTheyFitElseScientific) {
  const FloatShown& c = GetParam();
  EXPECT_EQ(RangeToStRange(Format(fsubReal, c.Mask, c.MaxLength), TRangeType::FromExtended(c.Value)), c.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FloatLimits,
    ::testing::Values(FloatShown{"99999.99", 15, 1.5L, "1.5"}, FloatShown{"99999.99", 15, 2.0L, "2"},
                      FloatShown{"99999.99", 15, -0.126L, "-0.13"}, FloatShown{"#", 15, 100.0L, "100"},
                      FloatShown{"#.##E", 15, 1500.0L, "1.5E+3"}, FloatShown{"#", 15, -1.7e38L, "-1.7E+38"},
                      FloatShown{"#", 5, 123456.0L, "1.2E+5"}));

TEST_F(FieldValues, TheDecimalCharacterOfTheSettingsIsShownAndRead) {
  Intl.DecimalChar = ',';
  TRangeType r;
  ASSERT_TRUE(StRangeToRange(Format(fsubDouble, "9999,99"), "12,5", r));
  EXPECT_EQ(r.AsExtended(), 12.5L);
  EXPECT_EQ(RangeToStRange(Format(fsubDouble, "9999.99"), r), "12,5");
}

TEST_F(FieldValues, DateAndTimeLimitsUseTheInternationalPictures) {
  TRangeType r;
  ASSERT_TRUE(StRangeToRange(Format(fsubDate), "12/31/1999", r));
  EXPECT_EQ(r.AsLong(), DMYtoStDate(31, 12, 1999, 2000));
  EXPECT_EQ(RangeToStRange(Format(fsubDate), r), "12/31/1999");
  ASSERT_TRUE(StRangeToRange(Format(fsubTime), "08:30", r));
  EXPECT_EQ(r.AsLong(), 8 * 3600 + 30 * 60);
}

TEST_F(FieldValues, DefaultRangesFollowTheSubtype) {
  TRangeType lo, hi;
  DefaultRange(MakeDataType(fcPicture, fsubWord), lo, hi);
  EXPECT_EQ(lo.AsLong(), 0);
  EXPECT_EQ(hi.AsLong(), 65535);
  DefaultRange(MakeDataType(fcSimple, fsubDate), lo, hi);
  EXPECT_EQ(hi.AsLong(), 876581);
  DefaultRange(MakeDataType(fcSimple, fsubSingle), lo, hi);
  EXPECT_FLOAT_EQ(static_cast<float>(hi.AsExtended()), 3.4e38f);
  DefaultRange(MakeDataType(fcSimple, fsubYesNo), lo, hi);
  EXPECT_EQ(lo, BlankRange);
  EXPECT_EQ(hi, BlankRange);
}

TEST(ExtendedBytes, RoundTripAndKeepTheTenByteLayout) {
  for (long double v : {0.0L, -0.0L, 1.0L, -2.5L, 1.1e4932L, 3.4e-4940L, 123456789.125L, HUGE_VALL}) {
    std::uint8_t bytes[10];
    ExtendedToBytes(v, bytes);
    EXPECT_EQ(BytesToExtended(bytes), v) << static_cast<double>(v);
  }
  std::uint8_t one[10];
  ExtendedToBytes(1.0L, one);
  EXPECT_EQ(one[7], 0x80);  // explicit integer bit
  EXPECT_EQ(one[8] | one[9] << 8, 16383);
}

TEST_F(FieldValues, EachTypeTravelsThroughItsBufferAtItsOwnWidth) {
  std::uint8_t buffer[16] = {};
  ScalarToBuffer(MakeDataType(fcSimple, fsubShortInt), TVxScalar::FromLong(-5), buffer);
  EXPECT_EQ(static_cast<std::int8_t>(buffer[0]), -5);
  EXPECT_EQ(buffer[1], 0);
  EXPECT_EQ(BufferToScalar(MakeDataType(fcSimple, fsubShortInt), buffer).AsLong(), -5);
  ScalarToBuffer(MakeDataType(fcSimple, fsubComp), TVxScalar::FromExtended(2.5L), buffer);
  EXPECT_EQ(BufferToScalar(MakeDataType(fcSimple, fsubComp), buffer).AsExtended(), 2.0L);  // to even
  ScalarToBuffer(MakeDataType(fcSimple, fsubSingle), TVxScalar::FromExtended(0.1L), buffer);
  EXPECT_EQ(BufferToScalar(MakeDataType(fcSimple, fsubSingle), buffer).AsExtended(), static_cast<long double>(0.1f));
}

TEST_F(FieldValues, TextsConvertOrNameTheirError) {
  TVxScalar v;
  EXPECT_EQ(TextToValue(Format(fsubInteger), "40000", v), oeInvalidNumber);
  EXPECT_EQ(TextToValue(Format(fsubInteger), " -7 ", v), 0);
  EXPECT_EQ(v.AsLong(), -7);
  EXPECT_EQ(TextToValue(Format(fsubDate), "02/30/2001", v), oeInvalidDate);
  EXPECT_EQ(TextToValue(Format(fsubDate), "  /  /    ", v), 0);
  EXPECT_EQ(v.AsLong(), BadDate);
  EXPECT_EQ(TextToValue(Format(fsubTime), "12:61", v), oeInvalidTime);
  EXPECT_EQ(TextToValue(Format(fsubBoolean), "t", v), 0);
  EXPECT_EQ(v.AsChar(), 1);
  EXPECT_EQ(TextToValue(Format(fsubBoolean), "q", v), oeInvalidNumber);
  EXPECT_EQ(ValueToText(Format(fsubTime), TVxScalar::FromLong(3661)), "01:01");
  EXPECT_EQ(ValueToText(Format(fsubByte, "KK"), TVxScalar::FromLong(171)), "171");
}

TEST_F(FieldValues, RangesHoldOnlyWhereTheTypeHasOne) {
  TVxValueFormat f = Format(fsubLongInt);
  EXPECT_EQ(CheckRange(f, TVxScalar::FromLong(11), TRangeType::FromLong(1), TRangeType::FromLong(10)), oeRangeError);
  EXPECT_EQ(CheckRange(f, TVxScalar::FromLong(10), TRangeType::FromLong(1), TRangeType::FromLong(10)), 0);
  TVxValueFormat c = Format(fsubChar);
  EXPECT_EQ(CheckRange(c, TVxScalar::FromChar('z'), TRangeType::FromChar(' '), TRangeType::FromChar(' ')), 0);
  EXPECT_EQ(CheckRange(c, TVxScalar::FromChar('z'), TRangeType::FromChar('a'), TRangeType::FromChar('m')),
            oeRangeError);
  TVxValueFormat d = Format(fsubDate);
  EXPECT_EQ(CheckRange(d, TVxScalar::FromLong(BadDate), TRangeType::FromLong(5), TRangeType::FromLong(9)), 0);
}

TEST_F(FieldValues, InitialValuesAreZeroInsideTheRangeElseItsLowerLimit) {
  const auto type = MakeDataType(fcSimple, fsubLongInt);
  EXPECT_EQ(InitialValue(type, TRangeType::FromLong(-5), TRangeType::FromLong(5)).AsLong(), 0);
  EXPECT_EQ(InitialValue(type, TRangeType::FromLong(3), TRangeType::FromLong(5)).AsLong(), 3);
  const auto real = MakeDataType(fcSimple, fsubDouble);
  EXPECT_EQ(InitialValue(real, TRangeType::FromExtended(1.5L), TRangeType::FromExtended(9)).AsExtended(), 1.5L);
  const auto ch = MakeDataType(fcSimple, fsubChar);
  EXPECT_EQ(InitialValue(ch, TRangeType::FromChar('a'), TRangeType::FromChar('z')).AsChar(), 'a');
  EXPECT_EQ(InitialValue(ch, TRangeType::FromChar(' '), TRangeType::FromChar(' ')).AsChar(), ' ');
  EXPECT_EQ(InitialValue(MakeDataType(fcSimple, fsubTime), BlankRange, BlankRange).AsLong(), -1);
}

TEST(Cents, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(ToCents(2.5L), 250);
  EXPECT_EQ(ToCents(0.125L), 12);
  EXPECT_EQ(ToCents(0.135L), 14);
  EXPECT_EQ(ToCents(-1.005L), -100);
}

TEST_F(FieldValues, SteppingStopsAtALimitOrWrapsRoundIt) {
  TVxValueFormat f = Format(fsubByte);
  const TRangeType lo = TRangeType::FromLong(0), hi = TRangeType::FromLong(9);
  EXPECT_EQ(StepValue(f, TVxScalar::FromLong(9), 1, false, lo, hi).AsLong(), 9);
  EXPECT_EQ(StepValue(f, TVxScalar::FromLong(9), 1, true, lo, hi).AsLong(), 0);
  EXPECT_EQ(StepValue(f, TVxScalar::FromLong(0), -1, true, lo, hi).AsLong(), 9);
  EXPECT_EQ(StepValue(Format(fsubYesNo), TVxScalar::FromChar(1), 1, false, lo, hi).AsChar(), 0);
}

struct OptionCase {
  TVxFieldClass Class;
  TVxFieldSubtype Subtype;
  TVxEntryFieldOptions In;
  TVxEntryFieldOptions Out;
};

class BadOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(BadOptions, AreRemovedByFieldClassAndType) {
  const OptionCase& c = GetParam();
  EXPECT_EQ(RemoveBadOptions(MakeDataType(c.Class, c.Subtype), c.In), c.Out);
}

constexpr TVxEntryFieldOptions kAll = 0x0FFF;
INSTANTIATE_TEST_SUITE_P(
    Table, BadOptions,
    ::testing::Values(
        OptionCase{fcSimple, fsubString, kAll, kAll & ~(efoRightJustify | efoStripLiterals)},
        OptionCase{fcSimple, fsubBoolean, DefaultFieldOptions | efoReadOnly, efoReadOnly},
        OptionCase{fcSimple, fsubDouble, kAll, kAll & ~(efoTrimBlanks | efoRightJustify | efoStripLiterals)},
        OptionCase{fcSimple, fsubTime, kAll, kAll}, OptionCase{fcPicture, fsubString, kAll, kAll},
        OptionCase{fcPicture, fsubLongInt, kAll, kAll & ~(efoTrimBlanks | efoStripLiterals)},
        OptionCase{fcPicture, fsubDate, kAll, kAll & ~(efoTrimBlanks | efoRightJustify | efoStripLiterals)},
        OptionCase{fcNumeric, fsubString, efoRightAlign | efoArrowIncDec | efoCaretToEnd, efoArrowIncDec}));

TEST(FieldOptions, ForceInsertWinsAndRightJustifiedStringsTrim) {
  const auto picture = MakeDataType(fcPicture, fsubString);
  EXPECT_EQ(AdjustOptions(picture, efoForceInsert | efoForceOvertype), efoForceInsert);
  EXPECT_EQ(AdjustOptions(picture, efoRightJustify), efoRightJustify | efoTrimBlanks);
}

TEST(FieldDataSize, FollowsTheTypeAndTheStrippedPicture) {
  EXPECT_EQ(DataSizeOf(MakeDataType(fcSimple, fsubString), 15, 1, 1, false), 16);
  EXPECT_EQ(DataSizeOf(MakeDataType(fcPicture, fsubString), 14, 14, 10, true), 11);
  EXPECT_EQ(DataSizeOf(MakeDataType(fcPicture, fsubExtended), 14, 14, 10, true), 10);
  EXPECT_EQ(DataSizeOf(MakeDataType(fcNumeric, fsubWord), 5, 5, 5, false), 2);
  EXPECT_EQ(DataSizeOf(0xC4, 5, 5, 5, false), 0);
}

TEST(FieldErrors, CarryTheLibraryMessagesOrTheControllersText) {
  EXPECT_EQ(ErrorMessage(oeRequiredField, ""), "A value is required in this field");
  EXPECT_EQ(ErrorMessage(oePartialEntry, ""), "This field should be either empty or completely full");
  EXPECT_EQ(ErrorMessage(300, "ignored"), "Entry Error");
  EXPECT_EQ(ErrorMessage(40000, "Bad part number"), "Bad part number");
  EXPECT_EQ(RequiredInputError(efoInputRequired, false, true, false, false), oeRequiredField);
  EXPECT_EQ(RequiredInputError(efoInputRequired, true, true, false, false), 0);
  EXPECT_EQ(RequiredInputError(efoInputRequired, false, false, true, false), oeRequiredField);
  EXPECT_EQ(RequiredInputError(efoInputRequired, false, false, true, true), 0);
  EXPECT_EQ(CloseOutcome(257, true, efoSoftValidation), TVxCloseOutcome::CloseMarked);
  EXPECT_EQ(CloseOutcome(257, false, efoSoftValidation), TVxCloseOutcome::HoldAndReport);
}

}  // namespace
