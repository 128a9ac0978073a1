#include "serial/lk_str.h"

#include <gtest/gtest.h>

#include <sstream>

#include "serial/line_reader.h"

namespace serial {
namespace {

TEST(TLkStr, EditsGrowAndKeepTheTerminator) {
  TLkStr s(4);
  s.Assign("AT");
  s.Append("DT12345");  // grows past the first maximum
  EXPECT_EQ(s.Text(), "ATDT12345");
  EXPECT_GE(s.GetMaxLen(), 9u);
  EXPECT_EQ(s.GetBuffLen(), s.GetMaxLen() + 1);
  EXPECT_TRUE(s.Insert("+", 5));
  EXPECT_EQ(s.Text(), "ATDT+12345");
  EXPECT_FALSE(s.Insert("x", 99));
  s.Prepend(">");
  EXPECT_EQ(s.Text(), ">ATDT+12345");
  EXPECT_TRUE(s.Delete(1, 1));
  EXPECT_EQ(s.Copy(5, 100), "+12345") << "count cut at the end";
  EXPECT_EQ(s.Copy(0, 2), "");
  TLkStr other(10);
  other.Assign("\r");
  s.AppendTAdStr(other);
  EXPECT_EQ(s.GetLen(), 11u);
  EXPECT_EQ(s.GetChar(10), '\r');
}

TEST(TLkStr, SearchAndCursor) {
  TLkStr s;
  s.Assign("OK\rERROR\rOK\r");
  EXPECT_EQ(s.Pos("ERROR"), 4u);
  EXPECT_EQ(s.GetCurChar(), 'E') << "the cursor on the match";
  EXPECT_EQ(s.PosIdx("OK", 2), 10u);
  EXPECT_EQ(s.PosIdx("BUSY", 1), 0u);
  s.GotoPos(1);
  s.MoveBy(3);
  EXPECT_EQ(s.GetCurChar(), 'E');
  s.MoveBy(-10);
  EXPECT_EQ(s.Cursor(), 0u);
  s.Last();
  EXPECT_EQ(s.GetCurChar(), '\r');
  s.Prev();
  EXPECT_EQ(s.GetCurChar(), 'K');
}

TEST(TLkStr, ResizeAndSetLen) {
  TLkStr s(20);
  s.Assign("0123456789");
  s.SetLen(4);
  EXPECT_EQ(s.Text(), "0123");
  EXPECT_EQ(s.GetLen(), 10u) << "the stored length is left as it was";
  s.SetLen(50);
  EXPECT_EQ(s.Text(), "0123");
  s.Assign("0123456789");
  s.Resize(5);
  EXPECT_EQ(s.Text(), "0123");
  s.SetMaxLen(8);
  EXPECT_EQ(s.GetLen(), 0u);
  EXPECT_EQ(s.Text(), "");
}

TEST(TLineReader, CarriageReturnLinesAcrossPages) {
  std::string text = "first\r\nsecond\r";
  std::string longLine(5000, 'x');
  text += longLine + "\r\nlast";
  text.push_back(26);
  std::istringstream in(text);
  TLineReader reader(in);
  EXPECT_EQ(reader.NextLine(), "first");
  EXPECT_EQ(reader.NextLine(), "second");
  EXPECT_EQ(reader.NextLine(), longLine) << "joined across the 4096-byte page";
  EXPECT_EQ(reader.NextLine(), "last") << "no end-of-file mark";
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.NextLine(), "");
}

TEST(TLineReader, LineFeedAtThePageBoundary) {
  std::string text(4095, 'a');
  text += "\r\nb\r";  // the CR ends the first page, its LF starts the next
  std::istringstream in(text);
  TLineReader reader(in);
  EXPECT_EQ(reader.NextLine(), std::string(4095, 'a'));
  EXPECT_EQ(reader.NextLine(), "b");
  EXPECT_TRUE(reader.Eof());

  std::istringstream empty("");
  EXPECT_TRUE(TLineReader(empty).Eof());
}

}  // namespace
}  // namespace serial
