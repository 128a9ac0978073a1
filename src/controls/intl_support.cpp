#include "controls/intl_support.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cstring>

#include "controls/library_data.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tk/hidden_window.h"
#include "tk/services.h"

namespace controls {

namespace {

// The settings' built-in values, used before and where the profile gives none.
struct TIntlData {
  const char* CurrencyLtStr;
  const char* CurrencyRtStr;
  char DecimalChar;
  char CommaChar;
  std::uint8_t CurrencyDigits;
  char SlashChar;
  char TrueChar, FalseChar, YesChar, NoChar;
};
constexpr TIntlData DefaultIntlData{"$", "", '.', ',', 2, '/', 'T', 'F', 'Y', 'N'};

constexpr std::size_t MaxCurrency = 5;
constexpr std::size_t MaxDesignator = 5;
constexpr std::size_t MaxShortDate = 29;
constexpr std::size_t MaxLongDate = 39;
constexpr std::size_t MaxLiteral = 6;
constexpr std::size_t MaxCountry = 255;
constexpr std::size_t MaxCommaDigits = 247;
constexpr std::size_t BufferSize = 256;

const char* const IntlSection = "intl";
const char* const UserProfile = "win.ini";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool SameLetter(char a, char b) { return Lower(a) == Lower(b); }

// Upper case for the Latin-1 letters of month and day names as well.
std::string NameUpperCase(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = static_cast<char>(u - 32);
  }
  return out;
}

std::string Fit(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

char* ToBuffer(char* dest, const std::string& text) {
  const std::size_t n = std::min(text.size(), BufferSize - 1);
  std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
  return dest;
}

// A locale name in 8 bits, or the C locale's when the user's cannot be written in them.
std::string LocaleName(const QString& name, const QString& fallback) {
  auto latin1 = platform::FromQString(name);
  return latin1 ? *latin1 : platform::FromQString(fallback).value_or(std::string());
}

std::size_t FindEitherCase(const std::string& picture, char letter) {
  return std::min(picture.find(Lower(letter)), picture.find(Upper(letter)));
}

std::size_t LongestName(const std::function<std::string(int)>& name, int first, int last) {
  std::size_t longest = 0;
  for (int i = first; i <= last; ++i) longest = std::max(longest, name(i).size());
  return longest;
}

// Sets the run starting at `pos` to `length` letters.
void SetRunLength(std::string& picture, std::size_t pos, std::size_t length) {
  const auto run = static_cast<std::size_t>(TVxIntlSup::isMaskCharCount(picture.substr(pos), picture[pos]));
  if (run < length)
    picture.insert(pos, length - run, picture[pos]);
  else
    picture.erase(pos, run - length);
}

// Brings the run of a day, month or year letter to `minimum` letters (exactly that many with `exact`). A
// one-letter day or month of the platform's format (no leading zero) becomes blank-padded upper case and a
// two-letter upper-case run zero-padded lower case.
void FixDateRun(std::string& picture, char letter, std::size_t minimum, bool exact, bool caseRule) {
  char found = Lower(letter);
  std::size_t pos = picture.find(found);
  if (pos == std::string::npos) {
    found = Upper(letter);
    pos = picture.find(found);
    if (pos == std::string::npos) return;
  }
  const auto run = static_cast<std::size_t>(TVxIntlSup::isMaskCharCount(picture, found));
  const std::size_t length = run < minimum || (exact && run > minimum) ? minimum : run;
  SetRunLength(picture, pos, length);
  if (!caseRule) return;
  char replacement = found;
  if (run == 1 && IsLower(found))
    replacement = Upper(found);
  else if (run == 2 && !IsLower(found))
    replacement = Lower(found);
  std::fill_n(picture.begin() + static_cast<std::ptrdiff_t>(pos), length, replacement);
}

std::int32_t ParseInteger(const std::string& text, bool& ok) {
  std::int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  ok = error == std::errc() && end == text.data() + text.size();
  return value;
}

// The leading integer of a profile value (an optional sign and digits; 0 when it has none).
std::int32_t LeadingInteger(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin < end && *begin == '+') ++begin;
  std::int32_t value = 0;
  return std::from_chars(begin, end, value).ec == std::errc() ? value : 0;
}

// A value of the "intl" section: the user's profile file first, then the locale.
std::string IntlString(const char* key, const std::string& fallback, std::size_t maxLength) {
  std::string value;
  try {
    value = platform::ReadProfileString(UserProfile, IntlSection, key, tk::Svc().IntlProfileString(key));
  } catch (const std::exception&) {
    value = tk::Svc().IntlProfileString(key);
  }
  if (value.empty()) value = fallback;
  return value.substr(0, maxLength);
}

char IntlChar(const char* key, char fallback) {
  std::string value = IntlString(key, std::string(), MaxCurrency);
  return value.empty() ? fallback : value[0];
}

std::int32_t IntlInteger(const char* key, std::int32_t fallback) {
  const std::string local = tk::Svc().IntlProfileString(key);
  const std::int32_t localValue = local.empty() ? fallback : LeadingInteger(local);
  try {
    return platform::ReadProfileInteger(UserProfile, IntlSection, key, localValue);
  } catch (const std::exception&) {
    return localValue;
  }
}

// The short date format of the current user's "Control Panel\International" key, when it has one.
bool RegistryShortDate(std::string& value) {
  try {
    platform::Registry registry(platform::RootKey::CurrentUser);
    if (!registry.OpenKey("\\Control Panel\\International", false) || !registry.ValueExists("sShortDate")) return false;
    value = registry.ReadString("sShortDate");
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Whether the toolkit's long time format shows a morning or afternoon designator.
bool LocaleUsesTwelveHours() {
  const QString format = tk::Svc().Locale().timeFormat(QLocale::LongFormat);
  bool quoted = false;
  for (QChar c : format) {
    if (c == QLatin1Char('\''))
      quoted = !quoted;
    else if (!quoted && (c == QLatin1Char('a') || c == QLatin1Char('A')))
      return true;
  }
  return false;
}

// Hears of profile changes while the settings update themselves: WM_WININICHANGE sent to it, and the
// toolkit's locale change, which is how the desktop announces one here.
class IntlWindow : public tk::HiddenWindow {
 public:
  explicit IntlWindow(WindowProc proc) : tk::HiddenWindow(std::move(proc)) {
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::LocaleChange && watched == QCoreApplication::instance())
      tk::SendMessage(*this, WM_WININICHANGE);
    return false;
  }
};

}  // namespace

TVxIntlSup::TVxIntlSup()
    : DecimalChar(DefaultIntlData.DecimalChar),
      CommaChar(DefaultIntlData.CommaChar),
      CurrencyDigits(DefaultIntlData.CurrencyDigits),
      ListChar(','),
      SlashChar(DefaultIntlData.SlashChar),
      TrueChar(DefaultIntlData.TrueChar),
      FalseChar(DefaultIntlData.FalseChar),
      YesChar(DefaultIntlData.YesChar),
      NoChar(DefaultIntlData.NoChar),
      currencyLtStr_(DefaultIntlData.CurrencyLtStr),
      currencyRtStr_(DefaultIntlData.CurrencyRtStr) {
  ResetInternationalInfo();
}

TVxIntlSup::~TVxIntlSup() = default;

void TVxIntlSup::ResetInternationalInfo() {
  DecimalChar = IntlChar("sDecimal", '.');
  CommaChar = IntlChar("sThousand", ',');
  CurrencyDigits = static_cast<std::uint8_t>(IntlInteger("iCurrDigits", 2));
  if (CommaChar == DecimalChar) {
    DecimalChar = '.';
    CommaChar = ',';
  }

  NegCurrencyFormat = static_cast<std::uint8_t>(IntlInteger("iNegCurr", 0));
  ListChar = IntlChar("sList", ',');
  country_ = IntlString("sCountry", "", MaxCountry);

  currencyLtStr_ = IntlString("sCurrency", "$", MaxCurrency);
  currencyRtStr_ = currencyLtStr_;
  CurrencyFormat = static_cast<std::uint8_t>(IntlInteger("iCurrency", 0));
  if (CurrencyFormat == 2) currencyLtStr_ = (currencyLtStr_ + ' ').substr(0, MaxCurrency);
  if (CurrencyFormat == 3) currencyRtStr_ = (' ' + currencyRtStr_).substr(0, MaxCurrency);

  LeadingZeroHour = IntlInteger("iTLZero", 0) != 0;
  TwelveHour = LocaleUsesTwelveHours();

  ColonChar = IntlChar("sTime", ':');
  SlashChar = IntlChar("sDate", '/');
  AmString = IntlString("s1159", "AM", MaxDesignator);
  PmString = IntlString("s2359", "PM", MaxDesignator);

  std::string shortDate;
  if (!RegistryShortDate(shortDate)) shortDate = IntlString("sShortDate", "MM/dd/yy", MaxShortDate);
  ShortDatePicture = shortDate.substr(0, MaxShortDate);
  // The separator stands as "/" in masks and becomes SlashChar when a date is shown.
  std::replace(ShortDatePicture.begin(), ShortDatePicture.end(), SlashChar, '/');

  LongDatePicture = IntlString("sLongDate", "dddd, MMMM dd, yyyy", MaxLongDate);

  // Quoted literals become runs of a mask letter the date letters leave alone.
  const char literalLetters[3] = {'f', 'g', 'h'};
  for (std::size_t pass = 0; pass < 3; ++pass) {
    std::string& literal = LongDateLiterals[pass];
    literal.clear();
    std::size_t open = LongDatePicture.find('\'');
    if (open == std::string::npos) continue;
    LongDatePicture.erase(open, 1);
    std::size_t close = LongDatePicture.find('\'', open);
    if (close == std::string::npos) continue;
    std::size_t i = open;
    while (i < close) {
      if (literal.size() < MaxLiteral) {
        literal += LongDatePicture[i];
        LongDatePicture[i++] = literalLetters[pass];
      } else {
        LongDatePicture.erase(i, 1);
        --close;
      }
    }
    LongDatePicture.erase(close, 1);
  }

  std::size_t days = LongDatePicture.find("ddd");
  if (days != std::string::npos)
    for (std::size_t i = days; i < LongDatePicture.size() && LongDatePicture[i] == 'd'; ++i) LongDatePicture[i] = 'w';
  for (std::string* picture : {&ShortDatePicture, &LongDatePicture}) {
    std::size_t months = picture->find("MMM");
    if (months == std::string::npos) continue;
    for (std::size_t i = months; i < picture->size() && (*picture)[i] == 'M'; ++i) (*picture)[i] = 'n';
  }

  for (std::size_t i = 0; i < LongDatePicture.size(); ++i) {
    const char c = LongDatePicture[i];
    if ((c == ',' || c == '.') && (i + 1 == LongDatePicture.size() || LongDatePicture[i + 1] != ' '))
      LongDatePicture.insert(i + 1, 1, ' ');
  }
  LongDatePicture.resize(std::min(LongDatePicture.size(), MaxLongDate));

  auto oneLetter = [](std::uint16_t id, char& target) {
    const std::string text = GetVxStr(id);
    if (text.size() == 1) target = text[0];
  };
  oneLetter(30368, YesChar);
  oneLetter(30369, NoChar);
  oneLetter(30370, TrueChar);
  oneLetter(30371, FalseChar);
}

void TVxIntlSup::SetAutoUpdate(bool value) {
  if (value == autoUpdate_) return;
  autoUpdate_ = value;
  if (value)
    window_ = std::make_unique<IntlWindow>([this](tk::Message& message) { isIntlWndProc(message); });
  else
    window_.reset();
}

void TVxIntlSup::isIntlWndProc(tk::Message& message) {
  if (message.Msg != WM_WININICHANGE) {
    if (window_)
      window_->DefaultHandler(message);
    else
      message.Result = 0;
    return;
  }
  if (OnWinIniChange)
    OnWinIniChange(this);
  else
    ResetInternationalInfo();
}

void TVxIntlSup::SetCurrencyLtStr(const std::string& value) { currencyLtStr_ = value.substr(0, MaxCurrency); }
void TVxIntlSup::SetCurrencyRtStr(const std::string& value) { currencyRtStr_ = value.substr(0, MaxCurrency); }

std::string TVxIntlSup::InternationalDate(bool forceCentury) const {
  std::string picture = ShortDatePicture;
  FixDateRun(picture, 'd', 2, false, true);
  FixDateRun(picture, 'm', 2, false, true);
  FixDateRun(picture, 'y', forceCentury ? 4 : 2, false, false);
  return picture;
}

std::string TVxIntlSup::InternationalLongDate(bool abbreviate, bool omitDayOfWeek) const {
  std::string picture = LongDatePicture;
  std::size_t w = picture.find('w');
  if (w != std::string::npos) {
    if (omitDayOfWeek) {
      std::size_t end = w;
      while (end < picture.size() && !std::strchr("dDmMnNyY", picture[end])) ++end;
      picture.erase(w, end - w);
    } else if (abbreviate) {
      SetRunLength(picture, w, 3);
    } else if (isMaskCharCount(picture, 'w') == 4) {
      SetRunLength(picture, w, LongestName([this](int d) { return DayOfWeekToString(d); }, 0, 6));
    }
  }
  std::size_t n = picture.find('n');
  if (n != std::string::npos) {
    if (abbreviate)
      SetRunLength(picture, n, 3);
    else if (isMaskCharCount(picture, 'n') == 4)
      SetRunLength(picture, n, LongestName([this](int m) { return MonthToString(m); }, 1, 12));
  }
  FixDateRun(picture, 'd', 2, true, true);
  FixDateRun(picture, 'm', 2, true, true);
  FixDateRun(picture, 'y', 4, true, false);
  return picture;
}

std::string TVxIntlSup::InternationalTime(bool showSeconds) const {
  std::string picture = showSeconds ? "hh:mm:ss" : "hh:mm";
  if (!LeadingZeroHour) picture[0] = 'H';
  if (TwelveHour) picture += ' ' + std::string(std::max(AmString.size(), PmString.size()), 't');
  return picture;
}

std::string TVxIntlSup::InternationalCurrency(char fill, std::uint8_t maxDigits, bool isFloat, bool addCommas,
                                              bool isNumeric) const {
  if (maxDigits == 0) return {};
  std::string digits;  // built from the right
  for (std::size_t i = 0; i < maxDigits && digits.size() < MaxCommaDigits; ++i) {
    if (addCommas && i > 0 && i % 3 == 0) {
      digits += ',';
      if (digits.size() == MaxCommaDigits) break;
    }
    digits += fill;
  }
  std::string picture(digits.rbegin(), digits.rend());
  if (CurrencyDigits != 0) picture += '.' + std::string(CurrencyDigits, fill);
  if (NegCurrencyFormat == 6) picture += 'g';
  const bool currencyLeft = CurrencyFormat == 0 || CurrencyFormat == 2;
  if (isFloat && currencyLeft)
    picture.insert(0, currencyLtStr_.size(), '$');
  else if (currencyLeft)
    picture.insert(0, currencyLtStr_.size(), 'c');
  else if (CurrencyFormat == 1 || CurrencyFormat == 3)
    picture.append(currencyRtStr_.size(), 'C');
  if (isNumeric) {
    if (NegCurrencyFormat == 0 || NegCurrencyFormat == 4)
      picture += 'p';
    else if ((NegCurrencyFormat == 3 || NegCurrencyFormat == 7 || NegCurrencyFormat == 10) && !currencyLeft)
      picture += 'g';
  }
  return picture;
}

void TVxIntlSup::MergeLiterals(const std::string& picture, std::string& text) const {
  const char letters[3] = {'f', 'g', 'h'};
  for (std::size_t i = 0; i < 3; ++i) isMergePictureSt(picture, text, LongDateLiterals[i], letters[i]);
}

std::string TVxIntlSup::DMYtoDateString(const std::string& picture, std::int32_t day, std::int32_t month,
                                        std::int32_t year, bool pack, std::int32_t epoch) const {
  year = ResolveEpoch(year, epoch);
  std::string text = picture;
  isMergeIntoPicture(text, 'm', month);
  isMergeIntoPicture(text, 'd', day);
  isMergeIntoPicture(text, 'y', year);
  isMergeIntoPicture(text, 'n', month);
  isMergeIntoPicture(text, 'w', DayOfWeekDMY(day, month, year, 0));
  isSubstCharSim(text, '/', SlashChar);
  MergeLiterals(picture, text);
  return pack ? isPackResult(picture, text) : text;
}

std::string TVxIntlSup::DateToDateString(const std::string& picture, TStDate julian, bool pack) const {
  if (julian != BadDate) {
    std::int32_t day, month, year;
    StDateToDMY(julian, day, month, year);
    return DMYtoDateString(picture, day, month, year, pack, 0);
  }
  std::string text = picture;
  for (char letter : {'m', 'n', 'd', 'y', 'w'}) isSubstChar(text, letter, ' ');
  MergeLiterals(picture, text);
  isSubstCharSim(text, '/', SlashChar);
  return text;
}

std::string TVxIntlSup::CurrentDateString(const std::string& picture, bool pack) const {
  return DateToDateString(picture, CurrentDate(), pack);
}

std::string TVxIntlSup::CurrentTimeString(const std::string& picture, bool pack) const {
  return TimeToTimeString(picture, CurrentTime(), pack);
}

std::string TVxIntlSup::isTimeToTimeStringPrim(const std::string& picture, TStTime t, bool pack,
                                               const std::string& pmText, const std::string& amText) const {
  std::uint8_t hours, minutes, seconds;
  StTimeToHMS(t, hours, minutes, seconds);
  std::string designator;
  if (picture.find('t') != std::string::npos) {
    designator = hours < 12 ? amText : pmText;
    if (!amText.empty() && !pmText.empty()) {
      if (hours == 0)
        hours = 12;
      else if (hours > 12)
        hours -= 12;
    }
  }
  std::string text = picture;
  if (t != BadTime) {
    isMergeIntoPicture(text, 'h', hours);
    isMergeIntoPicture(text, 'm', minutes);
    isMergeIntoPicture(text, 's', seconds);
  } else {
    for (char letter : {'h', 'm', 's'}) isSubstChar(text, letter, ' ');
  }
  isSubstCharSim(text, ':', ColonChar);
  // A designator shorter than its run leaves blanks, never the mask letter.
  const bool blankDesignator = amText.empty() && (pmText.empty() || t == BadTime);
  std::size_t next = 0;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    if (picture[i] != 't') continue;
    text[i] = !blankDesignator && next < designator.size() ? designator[next++] : ' ';
  }
  return pack && t != BadTime ? isPackResult(picture, text) : text;
}

std::string TVxIntlSup::TimeToTimeString(const std::string& picture, TStTime t, bool pack) const {
  return isTimeToTimeStringPrim(picture, t, pack, PmString, AmString);
}

std::string TVxIntlSup::TimeToAmPmString(const std::string& picture, TStTime t, bool pack) const {
  std::string withDesignator = picture;
  if (withDesignator.find('t') == std::string::npos) withDesignator += 't';
  return isTimeToTimeStringPrim(withDesignator, t, pack, "PM", "AM");
}

bool TVxIntlSup::DateStringToDMY(const std::string& picture, const std::string& text, std::int32_t epoch,
                                 std::int32_t& day, std::int32_t& month, std::int32_t& year) const {
  if (picture.size() != text.size()) return false;
  month = isExtractFromPicture(picture, text, 0, -1, 'n');
  if (month == 0) month = isExtractFromPicture(picture, text, DefaultMonth, -1, 'm');
  day = isExtractFromPicture(picture, text, 1, -1, 'd');
  year = isExtractFromPicture(picture, text, DefaultYear, -1, 'y');
  return ValidDate(day, month, year, epoch);
}

TStDate TVxIntlSup::DateStringToDate(const std::string& picture, const std::string& text, std::int32_t epoch) const {
  std::int32_t day, month, year;
  if (!DateStringToDMY(picture, text, epoch, day, month, year)) return BadDate;
  return DMYtoStDate(day, month, year, epoch);
}

bool TVxIntlSup::DateStringIsBlank(const std::string& picture, const std::string& text) const {
  std::int32_t month = isExtractFromPicture(picture, text, 0, -2, 'n');
  if (month == 0) month = isExtractFromPicture(picture, text, -2, -2, 'm');
  return month == -2 && isExtractFromPicture(picture, text, -2, -2, 'd') == -2 &&
         isExtractFromPicture(picture, text, -2, -2, 'y') == -2;
}

bool TVxIntlSup::TimeStringToHMS(const std::string& picture, const std::string& text, std::int32_t& hours,
                                 std::int32_t& minutes, std::int32_t& seconds) const {
  if (picture.size() != text.size()) return false;
  hours = isExtractFromPicture(picture, text, 0, -1, 'h');
  minutes = isExtractFromPicture(picture, text, 0, -1, 'm');
  seconds = isExtractFromPicture(picture, text, 0, -1, 's');
  if (hours == -1 || minutes == -1 || seconds == -1) return false;
  const std::size_t t = picture.find('t');
  if (t != std::string::npos && !AmString.empty() && !PmString.empty()) {
    const std::string designator = platform::TrimRight(text.substr(t, isMaskCharCount(picture, 't')));
    const bool pm = platform::SameText(designator, PmString);
    const bool am = !pm && platform::SameText(designator, AmString);
    if (designator.empty() || (!pm && !am) || hours < 1 || hours > 12) return false;
    if (pm && hours < 12)
      hours += 12;
    else if (am && hours == 12)
      hours = 0;
  }
  return ValidTime(hours, minutes, seconds);
}

TStTime TVxIntlSup::TimeStringToTime(const std::string& picture, const std::string& text) const {
  std::int32_t hours, minutes, seconds;
  if (!TimeStringToHMS(picture, text, hours, minutes, seconds)) return BadTime;
  return HMStoStTime(static_cast<std::uint8_t>(hours), static_cast<std::uint8_t>(minutes),
                     static_cast<std::uint8_t>(seconds));
}

std::string TVxIntlSup::MonthToString(std::int32_t month) const {
  if (month < 1 || month > 12) return {};
  return LocaleName(tk::Svc().Locale().monthName(month, QLocale::LongFormat),
                    QLocale::c().monthName(month, QLocale::LongFormat));
}

std::int32_t TVxIntlSup::MonthStringToMonth(const std::string& text, std::int32_t width) const {
  // With no width every name would match January.
  if (width < 1) return 0;
  const auto w = static_cast<std::size_t>(width);
  const std::string wanted = Fit(NameUpperCase(text), w);
  for (std::int32_t month = 1; month <= 12; ++month)
    if (Fit(NameUpperCase(MonthToString(month)), w) == wanted) return month;
  return 0;
}

std::string TVxIntlSup::DayOfWeekToString(std::int32_t day) const {
  if (day < 0 || day > 6) return {};
  const int qtDay = day == 0 ? 7 : day;  // the toolkit counts from Monday
  return LocaleName(tk::Svc().Locale().dayName(qtDay, QLocale::LongFormat),
                    QLocale::c().dayName(qtDay, QLocale::LongFormat));
}

std::int32_t TVxIntlSup::isExtractFromPicture(const std::string& picture, const std::string& text,
                                              std::int32_t notFoundValue, std::int32_t blankValue, char letter) const {
  const std::size_t start = FindEitherCase(picture, letter);
  if (start == std::string::npos || picture.size() != text.size()) return notFoundValue;
  std::string collected;
  std::size_t end = start;
  for (; end < picture.size() && SameLetter(picture[end], letter); ++end)
    if (text[end] != ' ') collected += text[end];
  if (collected.empty()) return blankValue;
  if (Lower(letter) == 'n') {
    const std::int32_t month = MonthStringToMonth(collected, static_cast<std::int32_t>(end - start));
    return month == 0 ? -1 : month;
  }
  bool ok;
  const std::int32_t value = ParseInteger(collected, ok);
  return ok ? value : -1;
}

void TVxIntlSup::isMergeIntoPicture(std::string& picture, char letter, std::int32_t value) const {
  // The run starts at its first letter in either case, where extraction reads it: a mixed run such as "Hh"
  // (blank before a one-digit hour, yet "0" for hour 0) is one subfield, its case rules kept per character.
  const std::size_t start = FindEitherCase(picture, letter);
  if (start == std::string::npos) return;
  std::size_t end = start;
  while (end < picture.size() && SameLetter(picture[end], letter)) ++end;
  const std::size_t width = end - start;

  const char kind = Lower(letter);
  const bool name = kind == 'w' || kind == 'n';
  std::string valueText;
  if (kind == 'w')
    valueText = Fit(DayOfWeekToString(value), width);
  else if (kind == 'n')
    valueText = Fit(MonthToString(value), width);
  else
    valueText = std::string(40, ' ') + std::to_string(value);

  std::size_t next = valueText.size();
  for (std::size_t i = end; i-- > start;) {
    const char mask = picture[i];
    char c = next > 0 ? valueText[--next] : ' ';
    if (name) {
      if (mask == 'N' || mask == 'W') c = NameUpperCase(std::string(1, c))[0];
    } else if (c == ' ' && IsLower(mask)) {
      c = '0';
    }
    picture[i] = c;
  }
}

void TVxIntlSup::isMergePictureSt(const std::string& picture, std::string& text, const std::string& literal,
                                  char letter) {
  std::size_t i = picture.find(letter);
  if (i == std::string::npos) return;
  for (std::size_t k = 0; i < picture.size() && i < text.size() && picture[i] == letter; ++i, ++k)
    text[i] = k < literal.size() ? literal[k] : ' ';
}

std::int32_t TVxIntlSup::isMaskCharCount(const std::string& picture, char letter) {
  std::size_t i = picture.find(letter);
  if (i == std::string::npos) return 0;
  std::int32_t count = 0;
  for (; i < picture.size() && picture[i] == letter; ++i) ++count;
  return count;
}

std::string TVxIntlSup::isPackResult(const std::string& picture, const std::string& text) {
  std::string packed;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char mask = i < picture.size() ? picture[i] : '\0';
    if (text[i] == ' ' && mask != '\0' && std::strchr("DHMNSWnwt", mask)) {
      // A blank designator takes the blank that separated it from the time with it.
      if (mask == 't' && i > 0 && picture[i - 1] == ' ' && !packed.empty()) packed.pop_back();
      continue;
    }
    packed += text[i];
  }
  return packed;
}

void TVxIntlSup::isSubstChar(std::string& picture, char letter, char with) {
  for (char& c : picture)
    if (SameLetter(c, letter)) c = with;
}

void TVxIntlSup::isSubstCharSim(std::string& picture, char letter, char with) {
  std::replace(picture.begin(), picture.end(), letter, with);
}

char* TVxIntlSup::InternationalDatePChar(char* dest, bool forceCentury) const {
  return ToBuffer(dest, InternationalDate(forceCentury));
}
char* TVxIntlSup::InternationalLongDatePChar(char* dest, bool abbreviate, bool omitDayOfWeek) const {
  return ToBuffer(dest, InternationalLongDate(abbreviate, omitDayOfWeek));
}
char* TVxIntlSup::InternationalTimePChar(char* dest, bool showSeconds) const {
  return ToBuffer(dest, InternationalTime(showSeconds));
}
char* TVxIntlSup::InternationalCurrencyPChar(char* dest, char fill, std::uint8_t maxDigits, bool isFloat,
                                             bool addCommas, bool isNumeric) const {
  return ToBuffer(dest, InternationalCurrency(fill, maxDigits, isFloat, addCommas, isNumeric));
}
char* TVxIntlSup::DateToDatePChar(char* dest, const char* picture, TStDate julian, bool pack) const {
  return ToBuffer(dest, DateToDateString(picture, julian, pack));
}
char* TVxIntlSup::DMYtoDatePChar(char* dest, const char* picture, std::int32_t day, std::int32_t month,
                                 std::int32_t year, bool pack, std::int32_t epoch) const {
  return ToBuffer(dest, DMYtoDateString(picture, day, month, year, pack, epoch));
}
char* TVxIntlSup::CurrentDatePChar(char* dest, const char* picture, bool pack) const {
  return ToBuffer(dest, CurrentDateString(picture, pack));
}
char* TVxIntlSup::CurrentTimePChar(char* dest, const char* picture, bool pack) const {
  return ToBuffer(dest, CurrentTimeString(picture, pack));
}
char* TVxIntlSup::TimeToTimePChar(char* dest, const char* picture, TStTime t, bool pack) const {
  return ToBuffer(dest, TimeToTimeString(picture, t, pack));
}
char* TVxIntlSup::TimeToAmPmPChar(char* dest, const char* picture, TStTime t, bool pack) const {
  return ToBuffer(dest, TimeToAmPmString(picture, t, pack));
}
bool TVxIntlSup::DatePCharToDMY(const char* picture, const char* text, std::int32_t epoch, std::int32_t& day,
                                std::int32_t& month, std::int32_t& year) const {
  return DateStringToDMY(picture, text, epoch, day, month, year);
}
TStDate TVxIntlSup::DatePCharToDate(const char* picture, const char* text, std::int32_t epoch) const {
  return DateStringToDate(picture, text, epoch);
}
bool TVxIntlSup::DatePCharIsBlank(const char* picture, const char* text) const {
  return DateStringIsBlank(picture, text);
}
bool TVxIntlSup::TimePCharToHMS(const char* picture, const char* text, std::int32_t& hours, std::int32_t& minutes,
                                std::int32_t& seconds) const {
  return TimeStringToHMS(picture, text, hours, minutes, seconds);
}
TStTime TVxIntlSup::TimePCharToTime(const char* picture, const char* text) const {
  return TimeStringToTime(picture, text);
}
char* TVxIntlSup::MonthToPChar(char* dest, std::int32_t month) const { return ToBuffer(dest, MonthToString(month)); }
std::int32_t TVxIntlSup::MonthPCharToMonth(const char* text, std::int32_t width) const {
  return MonthStringToMonth(text, width);
}
char* TVxIntlSup::DayOfWeekToPChar(char* dest, std::int32_t day) const {
  return ToBuffer(dest, DayOfWeekToString(day));
}
char* TVxIntlSup::GetCountryPChar(char* dest) const { return ToBuffer(dest, country_); }
char* TVxIntlSup::GetCurrencyLtPChar(char* dest) const { return ToBuffer(dest, currencyLtStr_); }
char* TVxIntlSup::GetCurrencyRtPChar(char* dest) const { return ToBuffer(dest, currencyRtStr_); }

TVxIntlSup& VxIntlSup() {
  static TVxIntlSup settings;
  return settings;
}

}  // namespace controls
