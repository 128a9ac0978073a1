#pragma once
// The controls library's calendar: a date is a day number counted from 1 January 1600 (day 0) to
// 31 December 3999, a time is a count of seconds since midnight; -1 is the invalid (blank) value of both.
// Two-digit years are placed in a century window around an epoch year.
#include <cstdint>

#include "tk/types.h"

namespace controls {

using TStDate = std::int32_t;
using TStTime = std::int32_t;

inline constexpr TStDate BadDate = -1;
inline constexpr TStTime BadTime = -1;
inline constexpr TStDate MinDate = 0;        // 1600-01-01
inline constexpr TStDate MaxDate = 876581;   // 3999-12-31
inline constexpr TStDate Date1900 = 109573;  // 1900-01-01, day 0 of the two-byte dates
inline constexpr std::int32_t MinYear = 1600;
inline constexpr std::int32_t MaxYear = 3999;
inline constexpr std::int32_t SecondsInDay = 86400;
inline constexpr double BadJulianDate = -2147483647.0;

enum TStDayType : std::uint8_t { Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };
enum class TStBondDateType : std::uint8_t { bdtActual, bdt30E360, bdt30360, bdt30360psa };

struct TStDateTimeRec {
  TStDate D = 0;
  TStTime T = 0;
};

// The year and month of the day the library started; used where a date text has no year or month.
extern std::int32_t DefaultYear;
extern std::int32_t DefaultMonth;

bool IsLeapYear(std::int32_t year);
// A year from 0 to 99 placed in the century window of `epoch`; any other year as it is.
std::int32_t ResolveEpoch(std::int32_t year, std::int32_t epoch);
// 28 to 31; 0 for a month outside 1..12 or a year outside 1600..3999.
std::int32_t DaysInMonth(std::int32_t month, std::int32_t year, std::int32_t epoch);
bool ValidDate(std::int32_t day, std::int32_t month, std::int32_t year, std::int32_t epoch);

TStDate DMYtoStDate(std::int32_t day, std::int32_t month, std::int32_t year, std::int32_t epoch);
// All three 0 for the invalid date.
void StDateToDMY(TStDate julian, std::int32_t& day, std::int32_t& month, std::int32_t& year);
TStDate CurrentDate();

// Adds years and months, then days; a 29th, 30th or 31st may run into the following month.
TStDate IncDate(TStDate julian, std::int32_t days, std::int32_t months, std::int32_t years);
// Adds years and months, keeping the day within the target month.
TStDate IncDateTrunc(TStDate julian, std::int32_t months, std::int32_t years);
// The calendar difference, the earlier date first whatever the order of the arguments.
void DateDiff(TStDate date1, TStDate date2, std::int32_t& days, std::int32_t& months, std::int32_t& years);
std::int32_t BondDateDiff(TStDate date1, TStDate date2, TStBondDateType dayBasis);
// ISO 8601 week 1 to 53; 0 outside the valid range.
std::int32_t WeekOfYear(TStDate julian);
// Sunday 0 to Saturday 6; 7 for the invalid date.
TStDayType DayOfWeek(TStDate julian);
TStDayType DayOfWeekDMY(std::int32_t day, std::int32_t month, std::int32_t year, std::int32_t epoch);

// Astronomical Julian Day at midnight starting the day.
double AstJulianDate(TStDate julian);
// BadJulianDate for an impossible date or a time outside 0..86399.
double AstJulianDatePrim(std::int32_t year, std::int32_t month, std::int32_t day, TStTime time);
TStDate AstJulianDatetoStDate(double julian, bool truncate);

void StTimeToHMS(TStTime t, std::uint8_t& hours, std::uint8_t& minutes, std::uint8_t& seconds);
TStTime HMStoStTime(std::uint8_t hours, std::uint8_t minutes, std::uint8_t seconds);
bool ValidTime(std::int32_t hours, std::int32_t minutes, std::int32_t seconds);
TStTime CurrentTime();
// The absolute difference of two times.
void TimeDiff(TStTime time1, TStTime time2, std::uint8_t& hours, std::uint8_t& minutes, std::uint8_t& seconds);
TStTime IncTime(TStTime t, std::uint8_t hours, std::uint8_t minutes, std::uint8_t seconds);
TStTime DecTime(TStTime t, std::uint8_t hours, std::uint8_t minutes, std::uint8_t seconds);
TStTime RoundToNearestHour(TStTime t, bool truncate);
TStTime RoundToNearestMinute(TStTime t, bool truncate);

void DateTimeDiff(const TStDateTimeRec& dt1, const TStDateTimeRec& dt2, std::int32_t& days, std::int32_t& seconds);
void IncDateTime(const TStDateTimeRec& dt1, TStDateTimeRec& dt2, std::int32_t days, std::int32_t seconds);

// Between day numbers and times and the toolkit's date-time (days since 1899-12-30, fraction = time).
TStDate DateTimeToStDate(tk::DateTime dt);
TStTime DateTimeToStTime(tk::DateTime dt);
tk::DateTime StDateToDateTime(TStDate julian);
tk::DateTime StTimeToDateTime(TStTime t);

// Between day numbers and the two-byte dates counted from 1 January 1900.
TStDate Convert2ByteDate(std::uint16_t twoByteDate);
std::uint16_t Convert4ByteDate(TStDate fourByteDate);

}  // namespace controls
