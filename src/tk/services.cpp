#include "tk/services.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHash>
#include <QPointer>
#include <QStyle>
#include <QDateTime>
#include <QDesktopServices>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <cmath>
#include <initializer_list>

#include "platform/clock.h"
#include "platform/text.h"

namespace tk {

namespace {

class QtServices : public Services {
 public:
  std::uint64_t TickCount64() override { return platform::CurrentClock().Milliseconds(); }
  double Now() override {
    const platform::LocalTime now = platform::CurrentClock().Now();
    const QDate epoch(1899, 12, 30);
    const QTime time(now.Hour, now.Minute, now.Second, now.Millisecond);
    return static_cast<double>(epoch.daysTo(QDate(now.Year, now.Month, now.Day))) +
           time.msecsSinceStartOfDay() / 86400000.0;
  }
  bool OpenAddress(const std::string& address) override {
    QUrl url = QUrl::fromUserInput(platform::ToQString(address));
    return url.isValid() && QDesktopServices::openUrl(url);
  }
  Point CursorPos() override {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
  }
  ShiftState KeyboardShiftState() override {
    Qt::KeyboardModifiers m = QApplication::queryKeyboardModifiers();
    ShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (m & Qt::AltModifier) s |= ssAlt;
    return s;
  }
  int DoubleClickTime() override { return QApplication::doubleClickInterval(); }
};

Services* installed = nullptr;

}  // namespace

namespace {

// Locale text in 8 bits: a space outside Latin-1 becomes the no-break space and a typographic apostrophe a
// plain one; any other character outside Latin-1 leaves no value.
std::string Latin1OrEmpty(QString text) {
  for (QChar& c : text) {
    if (c.unicode() <= 0xFF) continue;
    if (c.isSpace())
      c = QChar(0xA0);
    else if (c.unicode() == 0x2019)
      c = QLatin1Char('\'');
  }
  return platform::FromQString(text).value_or(std::string());
}

// The first character of a format that is neither a field letter nor quoted.
QString FieldSeparator(const QString& format) {
  bool quoted = false;
  for (QChar c : format) {
    if (c == QLatin1Char('\''))
      quoted = !quoted;
    else if (!quoted && !c.isLetter())
      return QString(c);
  }
  return {};
}

int CurrencyDigits(const QLocale& locale) {
  QString amount = locale.toCurrencyString(1.5).remove(locale.currencySymbol());
  qsizetype point = amount.indexOf(locale.decimalPoint());
  if (point < 0) return 0;
  int digits = 0;
  for (qsizetype i = point + locale.decimalPoint().size(); i < amount.size() && amount[i].isDigit(); ++i) ++digits;
  return digits;
}

// Where the locale puts the currency and the sign of an amount, as the index of the matching shape: "$"
// stands for the currency, "1.1" for the number.
int CurrencyShape(const QLocale& locale, double value, std::initializer_list<const char*> shapes) {
  if (locale.currencySymbol().isEmpty()) return -1;
  QString s = locale.toCurrencyString(value);
  s.replace(locale.toString(std::abs(value), 'f', CurrencyDigits(locale)), QStringLiteral("1.1"));
  s.replace(locale.currencySymbol(), QStringLiteral("$"));
  s.replace(locale.negativeSign(), QStringLiteral("-"));
  for (QChar& c : s)
    if (c.isSpace()) c = QLatin1Char(' ');
  int index = 0;
  for (const char* shape : shapes) {
    if (s == QLatin1String(shape)) return index;
    ++index;
  }
  return -1;
}

std::string LocaleIntlValue(const QLocale& l, const std::string& key) {
  auto number = [](int n) { return n < 0 ? std::string() : std::to_string(n); };
  if (key == "sDecimal") return Latin1OrEmpty(l.decimalPoint());
  if (key == "sThousand") return Latin1OrEmpty(l.groupSeparator());
  if (key == "sList") return l.decimalPoint() == QLatin1String(",") ? ";" : ",";
  if (key == "iCurrDigits") return number(CurrencyDigits(l));
  if (key == "iCurrency") return number(CurrencyShape(l, 1.5, {"$1.1", "1.1$", "$ 1.1", "1.1 $"}));
  if (key == "iNegCurr")
    return number(CurrencyShape(l, -1.5,
                                {"($1.1)", "-$1.1", "$-1.1", "$1.1-", "(1.1$)", "-1.1$", "1.1-$", "1.1$-", "-1.1 $",
                                 "-$ 1.1", "1.1 $-", "$ 1.1-", "$ -1.1", "1.1- $", "($ 1.1)", "(1.1 $)"}));
  if (key == "sCurrency") {
    // A symbol the platform's 8 bits cannot hold (the euro sign) is written as its ISO code.
    std::string symbol = Latin1OrEmpty(l.currencySymbol());
    return symbol.empty() ? Latin1OrEmpty(l.currencySymbol(QLocale::CurrencyIsoCode)) : symbol;
  }
  if (key == "sCountry")
    return l.territory() == QLocale::AnyTerritory ? std::string()
                                                  : Latin1OrEmpty(QLocale::territoryToString(l.territory()));
  if (key == "iTLZero") {
    QString format = l.timeFormat(QLocale::ShortFormat);
    return format.startsWith(QLatin1String("hh")) || format.startsWith(QLatin1String("HH")) ? "1" : "0";
  }
  if (key == "sTime") return Latin1OrEmpty(FieldSeparator(l.timeFormat(QLocale::ShortFormat)));
  if (key == "sDate") return Latin1OrEmpty(FieldSeparator(l.dateFormat(QLocale::ShortFormat)));
  if (key == "s1159") return Latin1OrEmpty(l.amText());
  if (key == "s2359") return Latin1OrEmpty(l.pmText());
  // The locale's date formats use the original platform's letters and quotes.
  if (key == "sShortDate") return Latin1OrEmpty(l.dateFormat(QLocale::ShortFormat));
  if (key == "sLongDate") return Latin1OrEmpty(l.dateFormat(QLocale::LongFormat));
  return {};
}

}  // namespace

QLocale Services::Locale() { return QLocale(); }

std::string Services::IntlProfileString(const std::string& key) { return LocaleIntlValue(Locale(), key); }

Rect Services::WorkArea(const QWidget* widget) {
  QScreen* screen = widget ? widget->window()->screen() : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? Rect::FromQRect(screen->availableGeometry()) : Rect{};
}

bool Services::ClipboardHasText() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard && !clipboard->text().isEmpty();
}

std::optional<std::string> Services::ClipboardText() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard ? platform::FromQString(clipboard->text()) : std::string();
}

void Services::SetClipboardText(const std::string& text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(platform::ToQString(text));
}

int Services::SystemMetric(int index) {
  const QStyle* style = QApplication::style();
  switch (index) {
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
      return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
      return style ? style->pixelMetric(QStyle::PM_ScrollBarSliderMin) : 16;
    default:
      return 0;
  }
}

namespace {

QHash<int, QCursor>& RegisteredCursors() {
  static QHash<int, QCursor> cursors;
  return cursors;
}

}  // namespace

QCursor CursorShape(int cursor) {
  static const QHash<int, Qt::CursorShape> kShapes = {
      {crNone, Qt::BlankCursor},         {crArrow, Qt::ArrowCursor},       {crCross, Qt::CrossCursor},
      {crIBeam, Qt::IBeamCursor},        {crSizeNESW, Qt::SizeBDiagCursor}, {crSizeNS, Qt::SizeVerCursor},
      {crSizeNWSE, Qt::SizeFDiagCursor}, {crSizeWE, Qt::SizeHorCursor},    {crUpArrow, Qt::UpArrowCursor},
      {crHourGlass, Qt::WaitCursor},     {crDrag, Qt::DragCopyCursor},     {crNoDrop, Qt::ForbiddenCursor},
      {crHSplit, Qt::SplitHCursor},      {crVSplit, Qt::SplitVCursor},     {crMultiDrag, Qt::DragCopyCursor},
      {crSQLWait, Qt::WaitCursor},       {crNo, Qt::ForbiddenCursor},      {crAppStart, Qt::BusyCursor},
      {crHelp, Qt::WhatsThisCursor},     {crHandPoint, Qt::PointingHandCursor}, {crSizeAll, Qt::SizeAllCursor}};
  if (auto it = RegisteredCursors().constFind(cursor); it != RegisteredCursors().constEnd()) return *it;
  return QCursor(kShapes.value(cursor, Qt::ArrowCursor));
}

void RegisterCursor(int cursor, const QCursor& shape) { RegisteredCursors().insert(cursor, shape); }

namespace {

constexpr const char* kHandleProperty = "tkHandle";

QHash<HWnd, QPointer<QWidget>>& Handles() {
  static QHash<HWnd, QPointer<QWidget>> handles;
  return handles;
}

}  // namespace

HWnd HandleOf(QWidget* widget) {
  if (!widget) return 0;
  const QVariant known = widget->property(kHandleProperty);
  if (known.isValid()) return known.value<quint64>();
  static HWnd next = 0;
  const HWnd handle = ++next;
  widget->setProperty(kHandleProperty, QVariant::fromValue<quint64>(handle));
  Handles().insert(handle, widget);
  QObject::connect(widget, &QObject::destroyed, [handle] { Handles().remove(handle); });
  return handle;
}

QWidget* FindControl(HWnd handle) { return handle ? Handles().value(handle).data() : nullptr; }

Services& Svc() {
  static QtServices fallback;
  return installed ? *installed : fallback;
}

Services* SetServices(Services* services) {
  Services* previous = installed;
  installed = services;
  return previous;
}

}  // namespace tk
