#include "gui/program/listing_print.h"

#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

#include "platform/clock.h"
#include "platform/text.h"

namespace program {

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

  const platform::LocalTime now = platform::CurrentClock().Now();
  QLocale locale = QLocale::system();
  std::string date =
      platform::FromQString(locale.toString(QDate(now.Year, now.Month, now.Day), QLocale::ShortFormat)).value_or("");
  std::string time =
      platform::FromQString(locale.toString(QTime(now.Hour, now.Minute, now.Second), QLocale::ShortFormat))
          .value_or("");
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
