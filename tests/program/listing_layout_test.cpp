// The printed listing's layout from text metrics.
#include "program/listing_layout.h"

#include <gtest/gtest.h>

namespace program {
namespace {

// Every character 5 units wide, lines 10 high (so 17 per printed line), pages `pageHeight` high.
PrintMetrics FixedMetrics(int pageHeight) {
  PrintMetrics metrics;
  metrics.TextWidth = [](const std::string& text) { return static_cast<int>(text.size()) * 5; };
  metrics.TextHeight = 10;
  metrics.PageHeight = pageHeight;
  return metrics;
}

TEST(ListingLayout, HeaderColumnsAndTheEndLine) {
  ProgramStore store;
  std::vector<std::string> texts(4097), comments(4097);
  texts[1] = "IF x";
  texts[2] = "    THEN something longer";  // 25 characters: the widest
  comments[1] = "first";
  comments[2] = "(null)";
  store.Lines[3] = ProgramLine::End();
  texts[3] = "End Program";
  texts[4000] = "far below the END";  // never printed

  auto pages = LayoutListing(store, texts, comments, "HEADER", FixedMetrics(10000));
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 1u + 3 * 2) << "the header, then text and comment of lines 1 to 3";
  EXPECT_EQ(pages[0][0].Text, "HEADER");
  EXPECT_EQ(pages[0][0].X, 10);
  EXPECT_EQ(pages[0][0].Y, 1);
  const int x2 = 25 * 5 + 70 + 13 * 5;  // the widest cell, a margin, "Line# 0000000"
  EXPECT_EQ(pages[0][1].Text, "Line#     1:   IF x");
  EXPECT_EQ(pages[0][1].Y, 1 + 2 * 17);
  EXPECT_EQ(pages[0][2].Text, "// first");
  EXPECT_EQ(pages[0][2].X, x2);
  EXPECT_EQ(pages[0][4].Text, "// " + std::string("  ")) << "\"(null)\" prints as two blanks";
  EXPECT_EQ(pages[0][5].Text, "Line#     3:   End Program");
  EXPECT_EQ(pages[0][6].Text, "//   ");
  EXPECT_EQ(texts[4], "") << "the cells are not changed";
  EXPECT_EQ(PrintHeader("Untitled", "7/12/26", "08:00"), "Zelta 2.0   Program:    Untitled  7/12/26  08:00");
}

TEST(ListingLayout, WithoutAnEndLineEveryLineIsPrintedOnPagesWithoutHeaders) {
  ProgramStore store;
  std::vector<std::string> texts(4097), comments(4097);
  // Header at 1, lines from 35 in steps of 17: a line needs its own height and one more below it, so
  // 57 lines fit a 1020-unit first page.
  auto pages = LayoutListing(store, texts, comments, "H", FixedMetrics(1020));
  std::size_t lines = 0;
  for (const auto& page : pages) lines += page.size();
  EXPECT_EQ(lines, 1u + 4096 * 2);
  ASSERT_GT(pages.size(), 2u);
  EXPECT_EQ(pages[0].size(), 1u + 57 * 2);
  EXPECT_EQ(pages[1][0].Y, 1) << "later pages start at the top, without a header";
  EXPECT_EQ(pages[1][0].Text, "Line#    58:     ");
  for (const auto& page : pages) {
    ASSERT_FALSE(page.empty()) << "no empty page at the end";
    EXPECT_LE(page.back().Y + 17, 1020);
  }
  EXPECT_EQ(pages.back().back().Text, "//   ");
  EXPECT_EQ(pages.back()[pages.back().size() - 2].Text, "Line#  4096:     ");
}

}  // namespace
}  // namespace program
