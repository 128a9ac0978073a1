#include "program/program_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

ProgramLine SkipTo(int function, std::uint16_t distance) {
  return ProgramLine{static_cast<std::uint16_t>((function << 10) | (KindSkipTo << 5)), 0, distance};
}

ProgramLine Marker(std::uint16_t id) {
  return ProgramLine{static_cast<std::uint16_t>(FunctionIf << 10 | 1 << 5), 0x0102, id};
}

class ProgramStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<ProgramStore> owned = std::make_unique<ProgramStore>();
  ProgramStore& s = *owned;
};

TEST_F(ProgramStoreTest, StartsEmptyAndUntitled) {
  for (int n = 0; n < ProgramStore::kSlots; ++n) EXPECT_TRUE(s.Lines[n].IsEmpty());
  EXPECT_EQ(s.Comments.size(), 4097u);
  EXPECT_EQ(s.ClipComments.size(), 4097u);
  EXPECT_EQ(s.FileName, "Untitled");
  EXPECT_EQ(s.ValuePrefix, "");
  EXPECT_EQ(s.CurrentLine, 1);
  EXPECT_FALSE(s.Modified);
  EXPECT_EQ(s.BlockFirst, 0);
  EXPECT_EQ(s.BlockLast, 0);
}

TEST_F(ProgramStoreTest, FunctionSetterClearsOperandsAndKeepsKindAndSub) {
  s.Lines[7] = ProgramLine{static_cast<std::uint16_t>((3 << 10) | (23 << 5) | 17), 0xABCD, 0x1234};
  s.SetLineFunction(7, FunctionElse);
  EXPECT_EQ(s.Lines[7], (ProgramLine{static_cast<std::uint16_t>((2 << 10) | (23 << 5) | 17), 0, 0}));
  EXPECT_EQ(s.GetLineFunction(7), 2);
  EXPECT_EQ(s.GetLineKind(7), 23);
  EXPECT_EQ(s.GetLineSub(7), 17);
  s.SetLineFunction(7, FunctionEnd);
  EXPECT_EQ(s.Lines[7].Word0 & 0x8000, 0);  // no setter writes bit 15
  EXPECT_EQ(s.GetLineFunction(7), 31);
}

TEST_F(ProgramStoreTest, KindSetterClearsOperandsAndSubSetterKeepsThem) {
  s.Lines[1] = ProgramLine{static_cast<std::uint16_t>((4 << 10) | (5 << 5) | 9), 0x8105, 77};
  s.SetLineSub(1, 31);
  EXPECT_EQ(s.Lines[1], (ProgramLine{static_cast<std::uint16_t>((4 << 10) | (5 << 5) | 31), 0x8105, 77}));
  s.SetLineKind(1, 31);
  EXPECT_EQ(s.Lines[1], (ProgramLine{static_cast<std::uint16_t>((4 << 10) | (31 << 5) | 31), 0, 0}));
  s.SetLineKind(1, 0);
  s.SetLineSub(1, 0);
  EXPECT_EQ(s.Lines[1].Word0, 4 << 10);
}

TEST_F(ProgramStoreTest, ArgAndValueAccessors) {
  s.SetLineArg(4096, 0x12FF);
  EXPECT_EQ(s.GetLineArg(4096), 0x12FF);
  EXPECT_EQ(s.GetLineArgLow(4096), 0xFF);
  s.SetLineArgLow(4096, 0x34);
  EXPECT_EQ(s.GetLineArg(4096), 0x1234);

  s.SetValueIsVariable(4096, 5);
  EXPECT_EQ(s.GetLineArg(4096), 0x9234);
  EXPECT_TRUE(s.GetValueIsVariable(4096));
  s.SetValueIsVariable(4096, 0);
  EXPECT_EQ(s.GetLineArg(4096), 0x1234);
  EXPECT_FALSE(s.GetValueIsVariable(4096));

  s.SetLineValue(4096, 65535);
  EXPECT_EQ(s.Lines[4096].Value, 65535);
}

TEST_F(ProgramStoreTest, ReadingTheValueSetsThePrefix) {
  s.SetLineValue(3, 42);
  EXPECT_EQ(s.GetLineValue(3), 42);
  EXPECT_EQ(s.ValuePrefix, " ");
  s.SetValueIsVariable(3, 1);
  EXPECT_EQ(s.GetLineValue(3), 42);
  EXPECT_EQ(s.ValuePrefix, "Variable#");
  s.GetLineValue(4);
  EXPECT_EQ(s.ValuePrefix, " ");
}

TEST_F(ProgramStoreTest, ModuleOperand) {
  s.EncodeModuleArg(2, 127, 200);
  EXPECT_EQ(s.GetLineArg(2), 0x7FC8);
  s.SetValueIsVariable(2, 1);
  s.DecodeModuleArg(2);
  EXPECT_EQ(s.ArgModule, 127);  // the variable flag is not part of the module
  EXPECT_EQ(s.ArgLow, 200);
  s.EncodeModuleArg(2, 1, 0);
  EXPECT_EQ(s.GetLineArg(2), 0x0100);  // re-encoding drops ValueIsVariable
}

TEST_F(ProgramStoreTest, X10OperandRepeatNibble) {
  s.EncodeX10Arg(9, 15, 1, 32);
  EXPECT_EQ(s.GetLineArg(9), 0x0F20);
  s.EncodeX10Arg(9, 2, 15, 5);
  EXPECT_EQ(s.GetLineArg(9), 0xE205);
  s.EncodeX10Arg(9, 2, 16, 5);
  EXPECT_EQ(s.GetLineArg(9), 0xF205);
  s.DecodeX10Arg(9);
  EXPECT_EQ(s.X10Repeat, 16);
  EXPECT_EQ(s.X10House, 2);
  EXPECT_EQ(s.X10Code, 5);
  s.EncodeX10Arg(9, 2, 0, 5);
  EXPECT_EQ(s.GetLineArg(9), 0xF205);
  s.EncodeX10Arg(9, 2, 17, 5);  // above 16 counts as 1
  EXPECT_EQ(s.GetLineArg(9), 0x0205);
  s.EncodeX10Arg(9, 2, 20, 5);
  EXPECT_EQ(s.GetLineArg(9), 0x0205);
  s.EncodeX10Arg(9, 0, 0x100 + 3, 0x100 + 7);  // 8-bit parameters
  EXPECT_EQ(s.GetLineArg(9), 0x2007);
}

TEST_F(ProgramStoreTest, X10DecodeRepairsACodeAbove32) {
  s.SetLineArg(9, 0x3A21);  // repeat 4, house K, code 33
  s.DecodeX10Arg(9);
  EXPECT_EQ(s.GetLineArg(9), 0);
  EXPECT_EQ(s.X10House, 0);
  EXPECT_EQ(s.X10Code, 0);
  EXPECT_EQ(s.X10Repeat, 4);
  s.SetLineArg(9, 0x3A20);  // code 32 is valid
  s.DecodeX10Arg(9);
  EXPECT_EQ(s.GetLineArg(9), 0x3A20);
  EXPECT_EQ(s.X10House, 10);
  EXPECT_EQ(s.X10Code, 32);
}

TEST_F(ProgramStoreTest, LineNumbersOutsideTheStoreThrow) {
  EXPECT_THROW(s.GetLineArg(4097), std::out_of_range);
  EXPECT_THROW(s.SetLineValue(-1, 1), std::out_of_range);
  EXPECT_THROW(s.InsertLine(0, true), std::out_of_range);
  EXPECT_THROW(s.DeleteLine(4097), std::out_of_range);
}

TEST_F(ProgramStoreTest, ReferenceText) {
  s.Lines[12] = ProgramLine{0x7C00, 0xABC, 0xF};
  EXPECT_EQ(s.ReferenceText(12), "7C00-0ABC-000F");
  EXPECT_EQ(s.ReferenceText(1), "0000-0000-0000");
}

TEST_F(ProgramStoreTest, ClearProgramEmptiesEveryLineAndKeepsTheRest) {
  s.Lines[1] = Marker(1);
  s.Lines[4096] = Marker(2);
  s.Comments[4096] = "x";
  s.Modified = true;
  s.FileName = "a.pgm";
  s.ClearProgram();
  for (int n = 1; n <= 4096; ++n) {
    ASSERT_TRUE(s.Lines[n].IsEmpty());
    ASSERT_EQ(s.Comments[n], " ");
  }
  EXPECT_TRUE(s.Modified);
  EXPECT_EQ(s.FileName, "a.pgm");
}

// Insert and delete

void Number(ProgramStore& s) {
  for (int n = 1; n <= 4096; ++n) {
    s.Lines[n] = Marker(static_cast<std::uint16_t>(n));
    s.Comments[n] = "c" + std::to_string(n);
  }
}

TEST_F(ProgramStoreTest, InsertMovesLinesDownAndLosesLine4095) {
  Number(s);
  s.InsertLine(1, true);
  EXPECT_TRUE(s.Lines[1].IsEmpty());
  EXPECT_EQ(s.Comments[1], "");
  EXPECT_EQ(s.Lines[2], Marker(1));
  EXPECT_EQ(s.Comments[2], "c1");
  EXPECT_EQ(s.Lines[4095], Marker(4094));
  EXPECT_EQ(s.Lines[4096], Marker(4096));
  EXPECT_EQ(s.Comments[4096], "c4096");
  EXPECT_TRUE(s.Lines[0].IsEmpty());
  EXPECT_FALSE(s.Modified);
}

TEST_F(ProgramStoreTest, InsertAtTheLastTwoLines) {
  Number(s);
  s.InsertLine(4096, true);
  EXPECT_TRUE(s.Lines[4096].IsEmpty());
  EXPECT_EQ(s.Lines[4095], Marker(4095));
  s.InsertLine(4095, true);
  EXPECT_TRUE(s.Lines[4095].IsEmpty());
  EXPECT_EQ(s.Lines[4094], Marker(4094));
  EXPECT_TRUE(s.Lines[4096].IsEmpty());
}

TEST_F(ProgramStoreTest, InsertRenumbersSkipsAboveThatReachThePoint) {
  s.Lines[2] = SkipTo(FunctionThen, 3);                                                // targets line 5
  s.Lines[3] = SkipTo(FunctionElse, 1);                                                // targets line 4
  s.Lines[4] = SkipTo(FunctionElse, 2);                                                // targets line 6
  s.Lines[1] = ProgramLine{static_cast<std::uint16_t>((1 << 10) | (5 << 5)), 0, 100};  // THEN, another kind
  s.Lines[6] = SkipTo(FunctionThen, 1);                                                // below the point
  s.InsertLine(5, true);
  EXPECT_EQ(s.Lines[2].Value, 4);
  EXPECT_EQ(s.Lines[3].Value, 1);
  EXPECT_EQ(s.Lines[4].Value, 3);
  EXPECT_EQ(s.Lines[1].Value, 100);
  EXPECT_EQ(s.Lines[7], SkipTo(FunctionThen, 1));

  s.Lines[2] = SkipTo(FunctionThen, 2);  // targets line 4, above the point
  s.InsertLine(5, true);
  EXPECT_EQ(s.Lines[2].Value, 2);

  s.Lines[2] = SkipTo(FunctionThen, 3);
  s.InsertLine(5, false);
  EXPECT_EQ(s.Lines[2].Value, 3);
}

TEST_F(ProgramStoreTest, InsertAt4096RenumbersSkipsThatReachIt) {
  s.Lines[4095] = SkipTo(FunctionThen, 1);
  s.Lines[4094] = SkipTo(FunctionThen, 1);
  s.InsertLine(4096, true);
  EXPECT_EQ(s.Lines[4095].Value, 2);
  EXPECT_EQ(s.Lines[4094].Value, 1);
}

TEST_F(ProgramStoreTest, DeleteMovesLinesUpAndDuplicatesLine4096) {
  Number(s);
  s.DeleteLine(1);
  EXPECT_EQ(s.Lines[1], Marker(2));
  EXPECT_EQ(s.Comments[1], "c2");
  EXPECT_EQ(s.Lines[4095], Marker(4096));
  EXPECT_EQ(s.Lines[4096], Marker(4096));
  EXPECT_EQ(s.Comments[4095], "c4096");
  EXPECT_EQ(s.Comments[4096], "c4096");
}

TEST_F(ProgramStoreTest, DeletingLine4096ChangesNoLine) {
  Number(s);
  s.DeleteLine(4096);
  for (int n = 1; n <= 4096; ++n) ASSERT_EQ(s.Lines[n], Marker(static_cast<std::uint16_t>(n)));
  s.DeleteLine(4095);
  EXPECT_EQ(s.Lines[4095], Marker(4096));
  EXPECT_EQ(s.Lines[4094], Marker(4094));
}

TEST_F(ProgramStoreTest, DeleteRenumbersSkipsAboveThatReachPastThePoint) {
  s.Lines[2] = SkipTo(FunctionThen, 4);  // targets line 6
  s.Lines[3] = SkipTo(FunctionElse, 2);  // targets line 5, the deleted line
  s.Lines[4] = SkipTo(FunctionElse, 0);
  s.Lines[6] = SkipTo(FunctionThen, 7);  // below: moves up unchanged
  s.DeleteLine(5);
  EXPECT_EQ(s.Lines[2].Value, 3);
  EXPECT_EQ(s.Lines[3].Value, 2);
  EXPECT_EQ(s.Lines[4].Value, 0);
  EXPECT_EQ(s.Lines[5], SkipTo(FunctionThen, 7));
}

// Block insert, Copy, Cut and Paste

TEST_F(ProgramStoreTest, BlockKeepsItsOwnSkipDistances) {
  s.Lines[1] = SkipTo(FunctionThen, 4);  // targets line 5, the insertion point
  s.Lines[2] = SkipTo(FunctionThen, 2);  // targets line 4, above it
  s.Lines[5] = Marker(5);
  const ProgramLine block[] = {SkipTo(FunctionThen, 2), Marker(100), SkipTo(FunctionElse, 1)};
  const std::string comments[] = {"a", "b", "c"};
  EXPECT_EQ(s.InsertBlock(5, block, comments), 3);
  EXPECT_EQ(s.Lines[5], block[0]);
  EXPECT_EQ(s.Lines[6], block[1]);
  EXPECT_EQ(s.Lines[7], block[2]);
  EXPECT_EQ(s.Comments[7], "c");
  EXPECT_EQ(s.Lines[8], Marker(5));
  EXPECT_EQ(s.Lines[1].Value, 7);  // still reaches the old line 5
  EXPECT_EQ(s.Lines[2].Value, 2);
}

TEST_F(ProgramStoreTest, BlockInsertMatchesSingleInsertsAboveThePoint) {
  auto singleOwner = std::make_unique<ProgramStore>();
  ProgramStore& single = *singleOwner;
  for (int n = 1; n <= 40; ++n)
    s.Lines[n] = SkipTo(n % 2 ? FunctionThen : FunctionElse, static_cast<std::uint16_t>(n % 7));
  single.Lines = s.Lines;
  const ProgramLine block[4] = {};
  s.InsertBlock(20, block, {});
  for (int i = 0; i < 4; ++i) single.InsertLine(20, true);
  for (int n = 1; n <= 4096; ++n) ASSERT_EQ(s.Lines[n], single.Lines[n]) << n;
}

TEST_F(ProgramStoreTest, BlockStopsAtLine4096) {
  Number(s);
  const ProgramLine block[] = {Marker(901), Marker(902), Marker(903)};
  const std::string comments[] = {"x", "y", "z"};
  EXPECT_EQ(s.InsertBlock(4095, block, comments), 2);
  EXPECT_EQ(s.Lines[4094], Marker(4094));
  EXPECT_EQ(s.Lines[4095], Marker(901));
  EXPECT_EQ(s.Lines[4096], Marker(902));
  EXPECT_EQ(s.Comments[4096], "y");
  EXPECT_EQ(s.InsertBlock(4096, block, comments), 1);
  EXPECT_EQ(s.Lines[4096], Marker(901));
  EXPECT_EQ(s.Lines[4095], Marker(901));
}

TEST_F(ProgramStoreTest, BlockFromTheStoreItselfIsTakenBeforeLinesMove) {
  Number(s);
  EXPECT_EQ(s.InsertBlock(2, std::span<const ProgramLine>(s.Lines).subspan(1, 3),
                          std::span<const std::string>(s.Comments).subspan(1, 3)),
            3);
  EXPECT_EQ(s.Lines[2], Marker(1));
  EXPECT_EQ(s.Lines[3], Marker(2));
  EXPECT_EQ(s.Lines[4], Marker(3));
  EXPECT_EQ(s.Comments[4], "c3");
  EXPECT_EQ(s.Lines[5], Marker(2));
}

TEST_F(ProgramStoreTest, CutAndPasteMovesABlockWithItsDistances) {
  Number(s);
  s.Lines[11] = SkipTo(FunctionThen, 2);
  s.Lines[9] = SkipTo(FunctionElse, 5);  // targets line 14, after the block
  s.CutBlock(10, 12);
  EXPECT_EQ(s.BlockFirst, 10);
  EXPECT_EQ(s.BlockLast, 12);
  EXPECT_EQ(s.Lines[10], Marker(13));
  EXPECT_EQ(s.Lines[9].Value, 2);
  EXPECT_EQ(s.ClipLines[11], SkipTo(FunctionThen, 2));
  EXPECT_EQ(s.ClipComments[12], "c12");

  EXPECT_EQ(s.PasteBlock(3), 3);
  EXPECT_EQ(s.Lines[3], Marker(10));
  EXPECT_EQ(s.Lines[4], SkipTo(FunctionThen, 2));
  EXPECT_EQ(s.Lines[5], Marker(12));
  EXPECT_EQ(s.Comments[5], "c12");
  EXPECT_EQ(s.Lines[6], Marker(3));
  EXPECT_EQ(s.Lines[12], SkipTo(FunctionElse, 2));
  // The snapshot stays: the same block pastes again.
  EXPECT_EQ(s.PasteBlock(100), 3);
  EXPECT_EQ(s.Lines[101], SkipTo(FunctionThen, 2));
}

TEST_F(ProgramStoreTest, CopyLeavesTheProgramAndSnapshotsUpTo4095) {
  Number(s);
  s.CopyBlock(4095, 4096);
  EXPECT_EQ(s.Lines[4095], Marker(4095));
  EXPECT_EQ(s.ClipLines[4095], Marker(4095));
  EXPECT_TRUE(s.ClipLines[4096].IsEmpty());
  EXPECT_EQ(s.PasteBlock(1), 2);
  EXPECT_EQ(s.Lines[1], Marker(4095));
  EXPECT_TRUE(s.Lines[2].IsEmpty());
}

TEST_F(ProgramStoreTest, PasteBeforeAnyCopyInsertsOneEmptyLine) {
  Number(s);
  EXPECT_EQ(s.PasteBlock(7), 1);
  EXPECT_TRUE(s.Lines[7].IsEmpty());
  EXPECT_EQ(s.Lines[8], Marker(7));
}

// Controller image and dates

TEST_F(ProgramStoreTest, ControllerImageIsSlots0To4095LittleEndian) {
  s.Lines[1] = ProgramLine{0x0102, 0x0304, 0x0506};
  s.Lines[4095] = ProgramLine{0xA1A2, 0xB1B2, 0xC1C2};
  s.Lines[4096] = ProgramLine::End();
  const std::vector<std::uint8_t> image = s.ControllerImage();
  ASSERT_EQ(image.size(), 24576u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(image[i], 0);
  EXPECT_EQ(image[6], 0x02);
  EXPECT_EQ(image[7], 0x01);
  EXPECT_EQ(image[11], 0x05);
  EXPECT_EQ(image[24570], 0xA2);
  EXPECT_EQ(image[24575], 0xC1);
}

TEST(DateToDayNumber, GivenDates) {
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 1, 99), 1);
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 1, 0), 366);
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 3, 0), 426);
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 3, 99), 60);
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 1, 19), 7306);
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 1, 20), 7671);
  EXPECT_EQ(ProgramStore::DateToDayNumber(31, 12, 20), 8036);
}

TEST(DateToDayNumber, CountsEveryDayFrom1999To2020) {
  using namespace std::chrono;
  int expected = 1;
  for (sys_days d = year{1999} / January / 1; d <= sys_days(year{2020} / December / 31); d += days{1}, ++expected) {
    const year_month_day ymd{d};
    const int yy = static_cast<int>(ymd.year()) % 100;
    ASSERT_EQ(ProgramStore::DateToDayNumber(static_cast<int>(static_cast<unsigned>(ymd.day())),
                                            static_cast<int>(static_cast<unsigned>(ymd.month())), yy),
              expected)
        << static_cast<int>(ymd.year()) << "-" << static_cast<unsigned>(ymd.month());
  }
  EXPECT_EQ(expected - 1, 8036);
}

TEST(DateToDayNumber, LaterYearsGiveTheDayOfTheYearWithoutLeapDay) {
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 1, 21), 1);
  EXPECT_EQ(ProgramStore::DateToDayNumber(31, 12, 21), 365);
  EXPECT_EQ(ProgramStore::DateToDayNumber(1, 3, 24), 60);  // 2024 is a leap year, not counted
  EXPECT_EQ(ProgramStore::DateToDayNumber(31, 12, 98), 365);
  EXPECT_EQ(ProgramStore::DateToDayNumber(5, 13, 5), 5 + 2192);  // a month outside 1..12 adds nothing
}

}  // namespace
