#include "controls/date_arith.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "tk/services.h"

namespace controls {

namespace {

constexpr TStDate Date18991230 = 109571;  // day 0 of the toolkit's date-time

bool LastDayOfMonth(std::int32_t day, std::int32_t month, std::int32_t year) {
  return day == DaysInMonth(month, year, 0);
}

std::int32_t StartYear() {
  std::int32_t day, month, year;
  StDateToDMY(CurrentDate(), day, month, year);
  return year;
}

std::int32_t StartMonth() {
  std::int32_t day, month, year;
  StDateToDMY(CurrentDate(), day, month, year);
  return month;
}

}  // namespace

std::int32_t DefaultYear = StartYear();
std::int32_t DefaultMonth = StartMonth();

bool IsLeapYear(std::int32_t year) { return year % 4 == 0 && year % 4000 != 0 && (year % 100 != 0 || year % 400 == 0); }

std::int32_t ResolveEpoch(std::int32_t year, std::int32_t epoch) {
  if (year < 0 || year >= 100) return year;
  std::int32_t full = year + epoch / 100 * 100;
  if (epoch % 100 > year) full += 100;
  return full;
}

std::int32_t DaysInMonth(std::int32_t month, std::int32_t year, std::int32_t epoch) {
  year = ResolveEpoch(year, epoch);
  if (year < MinYear || year > MaxYear) return 0;
  switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
      return 31;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    case 2:
      return IsLeapYear(year) ? 29 : 28;
    default:
      return 0;
  }
}

bool ValidDate(std::int32_t day, std::int32_t month, std::int32_t year, std::int32_t epoch) {
  year = ResolveEpoch(year, epoch);
  if (year < MinYear || year > MaxYear || month < 1 || month > 12) return false;
  return day >= 1 && day <= DaysInMonth(month, year, 0);
}

TStDate DMYtoStDate(std::int32_t day, std::int32_t month, std::int32_t year, std::int32_t epoch) {
  year = ResolveEpoch(year, epoch);
  if (!ValidDate(day, month, year, 0)) return BadDate;
  // 1600's January and February come before the first March the formula counts from.
  if (year == MinYear && month < 3) return month == 1 ? day - 1 : day + 30;
  if (month > 2) {
    month -= 3;
  } else {
    month += 9;
    --year;
  }
  const std::int32_t y = year - MinYear;
  return y / 100 * 146097 / 4 + y % 100 * 1461 / 4 + (153 * month + 2) / 5 + day + 59;
}

void StDateToDMY(TStDate julian, std::int32_t& day, std::int32_t& month, std::int32_t& year) {
  if (julian < MinDate || julian > MaxDate) {
    day = month = year = 0;
    return;
  }
  if (julian <= 59) {
    year = MinYear;
    if (julian > 30) {
      month = 2;
      day = julian - 30;
    } else {
      month = 1;
      day = julian + 1;
    }
    return;
  }
  std::int32_t t = (julian - 59) * 4 - 1;
  year = t / 146097 * 100;
  const std::int32_t r = t % 146097 / 4;
  year += (4 * r + 3) / 1461;
  const std::int32_t d = ((4 * r + 3) % 1461 + 4) / 4;
  month = (5 * d - 3) / 153;
  day = ((5 * d - 3) % 153 + 5) / 5;
  if (month >= 10) {
    month -= 9;
    ++year;
  } else {
    month += 3;
  }
  year += MinYear;
}

TStDate CurrentDate() { return DateTimeToStDate(tk::Svc().Now()); }

namespace {

// Steps 1 and 2 of the month arithmetic: the day held at 28 at most, the excess returned.
std::int32_t ShiftMonths(TStDate julian, std::int32_t months, std::int32_t years, std::int32_t& day,
                         std::int32_t& month, std::int32_t& year) {
  StDateToDMY(julian, day, month, year);
  std::int32_t excess = 0;
  if (day >= 29) {
    excess = day - 28;
    day = 28;
  }
  year += years + months / 12;
  month += months % 12;
  if (month < 1) {
    month += 12;
    --year;
  } else if (month > 12) {
    month -= 12;
    ++year;
  }
  return excess;
}

}  // namespace

TStDate IncDate(TStDate julian, std::int32_t days, std::int32_t months, std::int32_t years) {
  std::int32_t day, month, year;
  const std::int32_t excess = ShiftMonths(julian, months, years, day, month, year);
  TStDate result = DMYtoStDate(day, month, year, 0);
  if (result == BadDate) return BadDate;
  return result + days + excess;
}

TStDate IncDateTrunc(TStDate julian, std::int32_t months, std::int32_t years) {
  std::int32_t day, month, year;
  const std::int32_t excess = ShiftMonths(julian, months, years, day, month, year);
  const std::int32_t room = DaysInMonth(month, year, 0) - day;
  return DMYtoStDate(day + (excess < room ? excess : room), month, year, 0);
}

void DateDiff(TStDate date1, TStDate date2, std::int32_t& days, std::int32_t& months, std::int32_t& years) {
  if (date1 > date2) std::swap(date1, date2);
  std::int32_t day1, month1, year1, day2, month2, year2;
  StDateToDMY(date1, day1, month1, year1);
  StDateToDMY(date2, day2, month2, year2);
  // The last day of a month counts as day 0 of the next, so 31 January to 28 February is one month.
  auto toNextMonth = [](std::int32_t& day, std::int32_t& month, std::int32_t& year) {
    if (!LastDayOfMonth(day, month, year)) return;
    day = 0;
    if (++month > 12) {
      month = 1;
      ++year;
    }
  };
  toNextMonth(day1, month1, year1);
  toNextMonth(day2, month2, year2);
  if (day2 < day1) {
    if (--month2 == 0) {
      month2 = 12;
      --year2;
    }
    day2 += DaysInMonth(month1, year1, 0);
  }
  if (month2 < month1) {
    month2 += 12;
    --year2;
  }
  days = day2 - day1;
  months = month2 - month1;
  years = year2 - year1;
}

std::int32_t BondDateDiff(TStDate date1, TStDate date2, TStBondDateType dayBasis) {
  if (date1 > date2) std::swap(date1, date2);
  if (dayBasis == TStBondDateType::bdtActual) return date2 - date1;
  std::int32_t day1, month1, year1, day2, month2, year2;
  StDateToDMY(date1, day1, month1, year1);
  StDateToDMY(date2, day2, month2, year2);
  if (day1 == 31 || (dayBasis == TStBondDateType::bdt30360psa && month1 == 2 && LastDayOfMonth(day1, 2, year1)))
    day1 = 30;
  if (day2 == 31 && (dayBasis == TStBondDateType::bdt30E360 || day1 >= 30)) day2 = 30;
  return (year2 - year1) * 360 + (month2 - month1) * 30 + (day2 - day1);
}

std::int32_t WeekOfYear(TStDate julian) {
  if (julian < MinDate || julian > MaxDate) return 0;
  const TStDate thursday = julian + 3 - (DayOfWeek(julian) + 6) % 7;
  // The first two days of 1600 belong to the last week of 1599, which began on a day number of -365.
  TStDate firstDay = -365;
  if (thursday >= MinDate) {
    std::int32_t day, month, year;
    StDateToDMY(thursday, day, month, year);
    firstDay = DMYtoStDate(1, 1, year, 0);
  }
  return (thursday - firstDay) / 7 + 1;
}

TStDayType DayOfWeek(TStDate julian) {
  if (julian == BadDate) return static_cast<TStDayType>(7);
  return static_cast<TStDayType>((julian + 6) % 7);
}

TStDayType DayOfWeekDMY(std::int32_t day, std::int32_t month, std::int32_t year, std::int32_t epoch) {
  return DayOfWeek(DMYtoStDate(day, month, year, epoch));
}

double AstJulianDate(TStDate julian) { return julian - 0.5 + 2305448.0; }

double AstJulianDatePrim(std::int32_t year, std::int32_t month, std::int32_t day, TStTime time) {
  if (month < 1 || month > 12 || day < 1 || time < 0 || time >= SecondsInDay) return BadJulianDate;
  std::int32_t longest = 31;
  if (month == 4 || month == 6 || month == 9 || month == 11) longest = 30;
  if (month == 2) longest = IsLeapYear(year) ? 29 : 28;
  if (day > longest) return BadJulianDate;
  // The Gregorian correction applies from its first day, 15 October 1582.
  const bool gregorian = year > 1582 || (year == 1582 && (month > 10 || (month == 10 && day >= 15)));
  if (month < 3) {
    month += 12;
    --year;
  }
  const std::int32_t a = std::abs(year / 100);
  const std::int32_t b = gregorian ? 2 - a + a / 4 : 0;
  return std::trunc(365.25 * (year + 4716)) + std::trunc(30.6001 * (month + 1)) + day + b - 1524.5 +
         time / static_cast<double>(SecondsInDay);
}

TStDate AstJulianDatetoStDate(double julian, bool truncate) {
  const double n = julian + 0.5 - 2305448.0;
  if (!(n >= MinDate && n < MaxDate + 1)) return BadDate;
  // Any moment of 31 December 3999 is that day; only rounding may carry it past the range.
  const double day = std::trunc(truncate ? n : n + 0.5);
  return day > MaxDate ? BadDate : static_cast<TStDate>(day);
}

void StTimeToHMS(TStTime t, std::uint8_t& hours, std::uint8_t& minutes, std::uint8_t& seconds) {
  if (t == BadTime) {
    hours = minutes = seconds = 0;
    return;
  }
  hours = static_cast<std::uint8_t>(t / 3600);
  minutes = static_cast<std::uint8_t>(t % 3600 / 60);
  seconds = static_cast<std::uint8_t>(t % 60);
}

TStTime HMStoStTime(std::uint8_t hours, std::uint8_t minutes, std::uint8_t seconds) {
  return (hours % 24 * 3600 + minutes * 60 + seconds) % SecondsInDay;
}

bool ValidTime(std::int32_t hours, std::int32_t minutes, std::int32_t seconds) {
  return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 && seconds <= 59;
}

TStTime CurrentTime() {
  const double now = tk::Svc().Now();
  const auto t = static_cast<TStTime>((now - std::floor(now)) * SecondsInDay);
  return t < SecondsInDay ? t : SecondsInDay - 1;
}

void TimeDiff(TStTime time1, TStTime time2, std::uint8_t& hours, std::uint8_t& minutes, std::uint8_t& seconds) {
  StTimeToHMS(std::abs(time1 - time2), hours, minutes, seconds);
}

TStTime IncTime(TStTime t, std::uint8_t hours, std::uint8_t minutes, std::uint8_t seconds) {
  return (t + HMStoStTime(hours, minutes, seconds)) % SecondsInDay;
}

TStTime DecTime(TStTime t, std::uint8_t hours, std::uint8_t minutes, std::uint8_t seconds) {
  TStTime result = t - HMStoStTime(static_cast<std::uint8_t>(hours % 24), minutes, seconds);
  return result < 0 ? result + SecondsInDay : result;
}

TStTime RoundToNearestHour(TStTime t, bool truncate) {
  std::uint8_t hours, minutes, seconds;
  StTimeToHMS(t, hours, minutes, seconds);
  if (!truncate && minutes >= 30) ++hours;
  return HMStoStTime(hours, 0, 0);
}

TStTime RoundToNearestMinute(TStTime t, bool truncate) {
  std::uint8_t hours, minutes, seconds;
  StTimeToHMS(t, hours, minutes, seconds);
  if (!truncate && seconds >= 30) ++minutes;
  return HMStoStTime(hours, minutes, 0);
}

void DateTimeDiff(const TStDateTimeRec& dt1, const TStDateTimeRec& dt2, std::int32_t& days, std::int32_t& seconds) {
  const bool firstEarlier = dt1.D < dt2.D || (dt1.D == dt2.D && dt1.T <= dt2.T);
  const TStDateTimeRec& earlier = firstEarlier ? dt1 : dt2;
  const TStDateTimeRec& later = firstEarlier ? dt2 : dt1;
  days = later.D - earlier.D;
  TStTime laterTime = later.T;
  if (earlier.T > laterTime) {
    --days;
    laterTime += SecondsInDay;
  }
  seconds = laterTime - earlier.T;
}

void IncDateTime(const TStDateTimeRec& dt1, TStDateTimeRec& dt2, std::int32_t days, std::int32_t seconds) {
  TStDate day = dt1.D + days;
  TStTime time = dt1.T;
  if (seconds >= 0) {
    time += seconds;
    day += time / SecondsInDay;
    time %= SecondsInDay;
  } else {
    std::int32_t s = -seconds;
    day -= s / SecondsInDay;
    s %= SecondsInDay;
    if (s > time) {
      --day;
      time += SecondsInDay;
    }
    time -= s;
  }
  dt2.D = day;
  dt2.T = time;
}

TStDate DateTimeToStDate(tk::DateTime dt) {
  // A negative date-time counts its whole days back from 30 December 1899 and its fraction forward.
  if (!(std::fabs(dt) < 1e7)) return BadDate;
  const double julian = std::trunc(dt) + Date18991230;
  return julian >= MinDate && julian <= MaxDate ? static_cast<TStDate>(julian) : BadDate;
}

TStTime DateTimeToStTime(tk::DateTime dt) {
  if (!(std::fabs(dt) < 1e7)) return BadTime;
  const auto ms = static_cast<std::int64_t>(std::llround(std::fabs(dt - std::trunc(dt)) * 86400000.0));
  return HMStoStTime(static_cast<std::uint8_t>(ms / 3600000), static_cast<std::uint8_t>(ms / 60000 % 60),
                     static_cast<std::uint8_t>(ms / 1000 % 60));
}

tk::DateTime StDateToDateTime(TStDate julian) {
  return julian == BadDate ? 0.0 : static_cast<double>(julian - Date18991230);
}

tk::DateTime StTimeToDateTime(TStTime t) { return t == BadTime ? 0.0 : t / static_cast<double>(SecondsInDay); }

TStDate Convert2ByteDate(std::uint16_t twoByteDate) { return twoByteDate + Date1900; }

std::uint16_t Convert4ByteDate(TStDate fourByteDate) { return static_cast<std::uint16_t>(fourByteDate - Date1900); }

}  // namespace controls
