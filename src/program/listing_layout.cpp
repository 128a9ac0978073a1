#include "program/listing_layout.h"

#include <algorithm>
#include <cstdio>

namespace program {

namespace {

const std::string& Cell(const std::vector<std::string>& cells, int n) {
  static const std::string kNone;
  return n < static_cast<int>(cells.size()) ? cells[n] : kNone;
}

// An empty cell prints as two blanks; so does a comment that reads "(null)".
std::string Printable(const std::string& cell, bool comment) {
  if (cell.empty() || (comment && cell == "(null)")) return "  ";
  return cell;
}

}  // namespace

std::string PrintHeader(const std::string& fileName, const std::string& date, const std::string& time) {
  return "Zelta 2.0   Program:    " + fileName + "  " + date + "  " + time;
}

std::vector<PrintPage> LayoutListing(const ProgramStore& store, const std::vector<std::string>& texts,
                                     const std::vector<std::string>& comments, const std::string& header,
                                     const PrintMetrics& metrics) {
  const int h = metrics.TextHeight * 17 / 10;
  std::vector<PrintPage> pages(1);
  pages.back().push_back({10, 1, header});
  int y = 1 + 2 * h;

  int widest = 1;
  for (int n = 1; n <= 4095; ++n) widest = std::max(widest, metrics.TextWidth(Cell(texts, n)));
  const int x2 = widest + 70 + metrics.TextWidth("Line# 0000000");

  char number[32];
  for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
    std::snprintf(number, sizeof number, "Line#  %4d:   ", n);
    pages.back().push_back({10, y, number + Printable(Cell(texts, n), false)});
    pages.back().push_back({x2, y, "// " + Printable(Cell(comments, n), true)});
    y += h;
    bool last = store.Lines[n].Function() == FunctionEnd || n == ProgramStore::kLastLine;
    if (last) break;
    if (metrics.PageHeight < y + h) {
      pages.emplace_back();
      y = 1;
    }
  }
  return pages;
}

}  // namespace program
