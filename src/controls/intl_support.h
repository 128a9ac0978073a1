#pragma once
// The user's national conventions (separators, currency, date and time formats, the letters of boolean
// fields) and the conversions between day numbers, times and text laid out by a picture mask. Date and time
// subfields of a mask are runs of one letter: d day, m month, y year, n month name, w day name, h hour,
// m minute, s second, t designator; an upper-case letter shows a leading blank, a lower-case one a zero.
//
// The settings come from the "intl" section of the user's profile ("win.ini" in the configuration
// directory) when it holds them, otherwise from the locale through tk::Services; the short date format from
// the current user's key "Control Panel\International" first.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/date_arith.h"
#include "tk/message.h"

namespace tk {
class HiddenWindow;
}

namespace controls {

using tk::WM_WININICHANGE;  // the platform's announcement that the user's profile changed

class TVxIntlSup {
 public:
  using NotifyEvent = std::function<void(TVxIntlSup* sender)>;

  TVxIntlSup();
  ~TVxIntlSup();
  TVxIntlSup(const TVxIntlSup&) = delete;
  TVxIntlSup& operator=(const TVxIntlSup&) = delete;

  // Re-reads every setting.
  void ResetInternationalInfo();

  // While on, a hidden window hears of profile changes (WM_WININICHANGE, and the toolkit's locale change)
  // and calls OnWinIniChange, or re-reads the settings when that is not set.
  bool AutoUpdate() const { return autoUpdate_; }
  void SetAutoUpdate(bool value);
  tk::HiddenWindow* WindowHandle() const { return window_.get(); }

  const std::string& GetCountry() const { return country_; }
  const std::string& GetCurrencyLtStr() const { return currencyLtStr_; }
  const std::string& GetCurrencyRtStr() const { return currencyRtStr_; }
  // Keep at most the first 5 characters.
  void SetCurrencyLtStr(const std::string& value);
  void SetCurrencyRtStr(const std::string& value);

  // Default masks built from the settings.
  std::string InternationalDate(bool forceCentury) const;
  std::string InternationalLongDate(bool abbreviate, bool omitDayOfWeek) const;
  std::string InternationalTime(bool showSeconds) const;
  // Empty when maxDigits is 0.
  std::string InternationalCurrency(char fill, std::uint8_t maxDigits, bool isFloat, bool addCommas,
                                    bool isNumeric) const;

  // Day numbers and times to text through a picture; Pack drops the blanks of blank-padded subfields.
  std::string DateToDateString(const std::string& picture, TStDate julian, bool pack) const;
  std::string DMYtoDateString(const std::string& picture, std::int32_t day, std::int32_t month, std::int32_t year,
                              bool pack, std::int32_t epoch) const;
  std::string CurrentDateString(const std::string& picture, bool pack) const;
  std::string CurrentTimeString(const std::string& picture, bool pack) const;
  std::string TimeToTimeString(const std::string& picture, TStTime t, bool pack) const;
  // With "AM" and "PM" whatever the settings say.
  std::string TimeToAmPmString(const std::string& picture, TStTime t, bool pack) const;

  // Text to day numbers and times; the text must be as long as the picture.
  bool DateStringToDMY(const std::string& picture, const std::string& text, std::int32_t epoch, std::int32_t& day,
                       std::int32_t& month, std::int32_t& year) const;
  TStDate DateStringToDate(const std::string& picture, const std::string& text, std::int32_t epoch) const;
  bool DateStringIsBlank(const std::string& picture, const std::string& text) const;
  bool TimeStringToHMS(const std::string& picture, const std::string& text, std::int32_t& hours, std::int32_t& minutes,
                       std::int32_t& seconds) const;
  TStTime TimeStringToTime(const std::string& picture, const std::string& text) const;

  // The locale's long names: months 1 to 12, days of the week 0 (Sunday) to 6; empty outside.
  std::string MonthToString(std::int32_t month) const;
  // The month whose name equals the text when both are cut or padded to `width`; 0 when none does.
  std::int32_t MonthStringToMonth(const std::string& text, std::int32_t width) const;
  std::string DayOfWeekToString(std::int32_t day) const;

  // The same operations on zero-terminated buffers of 256 characters.
  char* InternationalDatePChar(char* dest, bool forceCentury) const;
  char* InternationalLongDatePChar(char* dest, bool abbreviate, bool omitDayOfWeek) const;
  char* InternationalTimePChar(char* dest, bool showSeconds) const;
  char* InternationalCurrencyPChar(char* dest, char fill, std::uint8_t maxDigits, bool isFloat, bool addCommas,
                                   bool isNumeric) const;
  char* DateToDatePChar(char* dest, const char* picture, TStDate julian, bool pack) const;
  char* DMYtoDatePChar(char* dest, const char* picture, std::int32_t day, std::int32_t month, std::int32_t year,
                       bool pack, std::int32_t epoch) const;
  char* CurrentDatePChar(char* dest, const char* picture, bool pack) const;
  char* CurrentTimePChar(char* dest, const char* picture, bool pack) const;
  char* TimeToTimePChar(char* dest, const char* picture, TStTime t, bool pack) const;
  char* TimeToAmPmPChar(char* dest, const char* picture, TStTime t, bool pack) const;
  bool DatePCharToDMY(const char* picture, const char* text, std::int32_t epoch, std::int32_t& day, std::int32_t& month,
                      std::int32_t& year) const;
  TStDate DatePCharToDate(const char* picture, const char* text, std::int32_t epoch) const;
  bool DatePCharIsBlank(const char* picture, const char* text) const;
  bool TimePCharToHMS(const char* picture, const char* text, std::int32_t& hours, std::int32_t& minutes,
                      std::int32_t& seconds) const;
  TStTime TimePCharToTime(const char* picture, const char* text) const;
  char* MonthToPChar(char* dest, std::int32_t month) const;
  std::int32_t MonthPCharToMonth(const char* text, std::int32_t width) const;
  char* DayOfWeekToPChar(char* dest, std::int32_t day) const;
  char* GetCountryPChar(char* dest) const;
  char* GetCurrencyLtPChar(char* dest) const;
  char* GetCurrencyRtPChar(char* dest) const;

  // The mask primitives the conversions and the entry fields share.
  // The value of the subfield of `letter` (either case): NotFoundValue without one or when picture and
  // text differ in length, BlankValue when it holds only blanks, -1 when it does not convert.
  std::int32_t isExtractFromPicture(const std::string& picture, const std::string& text, std::int32_t notFoundValue,
                                    std::int32_t blankValue, char letter) const;
  // Writes the value into the subfield of `letter` in `picture`: a day or month name for "w" and "n", else
  // the number right-aligned, dropping digits that do not fit.
  void isMergeIntoPicture(std::string& picture, char letter, std::int32_t value) const;
  // Copies `literal` into the positions of the run of `letter` in `picture`, blank-padded.
  static void isMergePictureSt(const std::string& picture, std::string& text, const std::string& literal, char letter);
  // The length of the run of `letter` from its first occurrence.
  static std::int32_t isMaskCharCount(const std::string& picture, char letter);
  // The text without the blanks of blank-padded subfields and of a blank designator with its separator.
  static std::string isPackResult(const std::string& picture, const std::string& text);
  // Replaces `letter` in either case, or only exactly, by `with`.
  static void isSubstChar(std::string& picture, char letter, char with);
  static void isSubstCharSim(std::string& picture, char letter, char with);
  std::string isTimeToTimeStringPrim(const std::string& picture, TStTime t, bool pack, const std::string& pmText,
                                     const std::string& amText) const;
  void isIntlWndProc(tk::Message& message);

  char DecimalChar;
  char CommaChar;
  std::uint8_t CurrencyDigits;
  char ListChar;
  char SlashChar;
  char TrueChar;
  char FalseChar;
  char YesChar;
  char NoChar;
  NotifyEvent OnWinIniChange;
  std::string AmString;  // at most 5 characters each
  std::string PmString;
  char ColonChar = ':';
  std::uint8_t CurrencyFormat = 0;     // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  std::uint8_t NegCurrencyFormat = 0;  // the platform's 16 forms of a negative amount
  // The first three quoted literals of the long date format, standing in it as runs of "f", "g" and "h".
  std::array<std::string, 3> LongDateLiterals;
  std::string LongDatePicture;   // at most 39 characters
  std::string ShortDatePicture;  // at most 29 characters, with "/" for the date separator
  bool LeadingZeroHour = false;
  bool TwelveHour = false;

 private:
  void MergeLiterals(const std::string& picture, std::string& text) const;

  bool autoUpdate_ = false;
  std::unique_ptr<tk::HiddenWindow> window_;
  std::string currencyLtStr_;
  std::string currencyRtStr_;
  std::string country_;
};

// The library's settings, made on first use and kept to the end of the program.
TVxIntlSup& VxIntlSup();

}  // namespace controls
