#include "program/listing_print.h"

#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cstdio>

#include "platform/text.h"

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

bool PrintListing(QPrinter& printer, const std::string& fontFamily, const ProgramStore& store,
                  const std::vector<std::string>& texts, const std::vector<std::string>& comments) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  QFont font(platform::ToQString(fontFamily));
  font.setPointSize(8);
  painter.setFont(font);
  QFontMetrics fm = painter.fontMetrics();

  PrintMetrics metrics;
  metrics.TextWidth = [&fm](const std::string& text) { return fm.horizontalAdvance(platform::ToQString(text)); };
  metrics.TextHeight = fm.height();  // the font's line height, as for "Test"
  metrics.PageHeight = painter.device()->height();

  QDateTime now = QDateTime::currentDateTime();
  QLocale locale = QLocale::system();
  std::string date = platform::FromQString(locale.toString(now.date(), QLocale::ShortFormat)).value_or("");
  std::string time = platform::FromQString(locale.toString(now.time(), QLocale::ShortFormat)).value_or("");
  std::vector<PrintPage> pages =
      LayoutListing(store, texts, comments, PrintHeader(store.FileName, date, time), metrics);

  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) printer.newPage();
    for (const PrintItem& item : pages[p])
      painter.drawText(item.X, item.Y + fm.ascent(), platform::ToQString(item.Text));
  }
  return painter.end();
}

}  // namespace program
