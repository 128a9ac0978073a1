#include "controls/date_arith.h"

#include <gtest/gtest.h>

#include <QDate>
#include <tuple>

#include "fake_services.h"

namespace {

using namespace controls;

TStDate Day(int d, int m, int y) { return DMYtoStDate(d, m, y, 0); }

struct DmyCase {
  int Day, Month, Year;
  TStDate Expected;
};

TEST(DayNumbers, BoundariesAndImpossibleDates) {
  const DmyCase cases[] = {
      {1, 1, 1600, 0},         {31, 1, 1600, 30},      {29, 2, 1600, 59},     {1, 3, 1600, 60},
      {31, 12, 3999, 876581},  {1, 1, 1900, 109573},   {29, 2, 2000, 146156}, {29, 2, 1900, BadDate},
      {31, 12, 1599, BadDate}, {1, 1, 4000, BadDate},  {0, 1, 2000, BadDate}, {32, 1, 2000, BadDate},
      {31, 4, 2000, BadDate},  {1, 13, 2000, BadDate}, {1, 0, 2000, BadDate},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DMYtoStDate(c.Day, c.Month, c.Year, 0), c.Expected) << c.Day << "." << c.Month << "." << c.Year;
}

// Every valid day number against the toolkit's own proleptic Gregorian calendar.
TEST(DayNumbers, EveryDayAgreesWithTheGregorianCalendar) {
  const QDate origin(1600, 1, 1);
  for (TStDate n = MinDate; n <= MaxDate; ++n) {
    const QDate q = origin.addDays(n);
    std::int32_t d, m, y;
    StDateToDMY(n, d, m, y);
    ASSERT_EQ(QDate(y, m, d), q) << n;
    ASSERT_EQ(DMYtoStDate(d, m, y, 0), n);
    ASSERT_EQ(DayOfWeek(n), q.dayOfWeek() % 7) << n;
    ASSERT_EQ(WeekOfYear(n), q.weekNumber()) << n;
  }
  for (TStDate outside : {BadDate, MinDate - 2, -100000, MaxDate + 1, MaxDate + 100000}) {
    std::int32_t d = 9, m = 9, y = 9;
    StDateToDMY(outside, d, m, y);
    EXPECT_EQ(std::tuple(d, m, y), std::tuple(0, 0, 0)) << outside;
  }
}

TEST(DayNumbers, WeekAndWeekdayEdges) {
  EXPECT_EQ(DayOfWeek(0), Saturday);
  EXPECT_EQ(DayOfWeek(BadDate), 7);
  EXPECT_EQ(DayOfWeekDMY(3, 3, 1, 1950), Saturday);  // 3 March 2001
  EXPECT_EQ(WeekOfYear(0), 52);                      // in 1599's last week
  EXPECT_EQ(WeekOfYear(2), 1);
  EXPECT_EQ(WeekOfYear(BadDate), 0);
  EXPECT_EQ(WeekOfYear(MaxDate + 1), 0);
}

TEST(Calendar, LeapYearsEpochsAndMonthLengths) {
  for (int year : {1600, 2000, 2004, 2400}) EXPECT_TRUE(IsLeapYear(year)) << year;
  for (int year : {1700, 1900, 2001, 2100, 4000, 8000}) EXPECT_FALSE(IsLeapYear(year)) << year;

  EXPECT_EQ(ResolveEpoch(49, 1950), 2049);
  EXPECT_EQ(ResolveEpoch(50, 1950), 1950);
  EXPECT_EQ(ResolveEpoch(0, 1950), 2000);
  EXPECT_EQ(ResolveEpoch(1999, 1950), 1999);
  EXPECT_EQ(ResolveEpoch(5, 0), 5);
  EXPECT_EQ(ResolveEpoch(-1, 1950), -1);  // a blank year stays invalid

  EXPECT_EQ(DaysInMonth(2, 1900, 0), 28);
  EXPECT_EQ(DaysInMonth(2, 0, 1950), 29);  // 2000
  EXPECT_EQ(DaysInMonth(9, 2001, 0), 30);
  for (int month : {13, 0, -1, -12, 100}) EXPECT_EQ(DaysInMonth(month, 2000, 0), 0) << month;
  EXPECT_EQ(DaysInMonth(1, 1599, 0), 0);
  EXPECT_TRUE(ValidDate(29, 2, 0, 1950));
  EXPECT_FALSE(ValidDate(29, 2, 1, 1950));
}

TEST(DateArithmetic, MonthStepsRunOverOrClampTheDay) {
  EXPECT_EQ(IncDate(Day(31, 1, 2001), 0, 1, 0), Day(3, 3, 2001));
  EXPECT_EQ(IncDateTrunc(Day(31, 1, 2001), 1, 0), Day(28, 2, 2001));
  EXPECT_EQ(IncDate(Day(29, 2, 2000), 0, 0, 1), Day(1, 3, 2001));
  EXPECT_EQ(IncDateTrunc(Day(29, 2, 2000), 0, 1), Day(28, 2, 2001));
  EXPECT_EQ(IncDateTrunc(Day(30, 1, 2000), 1, 0), Day(29, 2, 2000));
  EXPECT_EQ(IncDate(Day(15, 1, 2001), 0, -1, 0), Day(15, 12, 2000));
  EXPECT_EQ(IncDate(Day(15, 11, 2001), 10, 14, 0), Day(25, 1, 2003));
  EXPECT_EQ(IncDate(Day(15, 6, 3999), 0, 0, 1), BadDate);
  EXPECT_EQ(IncDate(BadDate, 5, 0, 0), BadDate);
}

TEST(DateArithmetic, CalendarDifference) {
  struct {
    TStDate A, B;
    int Days, Months, Years;
  } const cases[] = {
      {Day(31, 12, 1999), Day(15, 3, 2000), 15, 2, 0}, {Day(15, 3, 2000), Day(31, 12, 1999), 15, 2, 0},  // either order
      {Day(31, 1, 2001), Day(28, 2, 2001), 0, 1, 0},   // month ends meet
      {Day(15, 1, 2001), Day(10, 3, 2001), 26, 1, 0},  // borrows January's 31 days
      {Day(20, 11, 1998), Day(5, 2, 2001), 15, 2, 2},
  };
  for (const auto& c : cases) {
    std::int32_t d, m, y;
    DateDiff(c.A, c.B, d, m, y);
    EXPECT_EQ(d, c.Days) << c.A << " " << c.B;
    EXPECT_EQ(m, c.Months) << c.A << " " << c.B;
    EXPECT_EQ(y, c.Years) << c.A << " " << c.B;
  }
}

TEST(DateArithmetic, BondDayCounts) {
  using B = TStBondDateType;
  struct {
    TStDate A, B;
    TStBondDateType Basis;
    int Expected;
  } const cases[] = {
      {Day(31, 1, 2001), Day(31, 3, 2001), B::bdtActual, 59}, {Day(1, 1, 2001), Day(31, 3, 2001), B::bdt30E360, 89},
      {Day(1, 1, 2001), Day(31, 3, 2001), B::bdt30360, 90},   {Day(30, 1, 2001), Day(31, 3, 2001), B::bdt30360, 60},
      {Day(28, 2, 2001), Day(31, 3, 2001), B::bdt30360, 33},  {Day(28, 2, 2001), Day(31, 3, 2001), B::bdt30360psa, 30},
      {Day(31, 3, 2001), Day(31, 1, 2001), B::bdt30E360, 60},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BondDateDiff(c.A, c.B, c.Basis), c.Expected) << static_cast<int>(c.Basis) << " " << c.A;
}

TEST(JulianDays, AstronomicalDates) {
  EXPECT_DOUBLE_EQ(AstJulianDate(0), 2305447.5);
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(2000, 1, 1, 43200), 2451545.0);
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(1582, 10, 15, 0), 2299160.5);
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(1582, 10, 4, 0), 2299159.5);  // the last Julian-calendar day
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(2001, 2, 29, 0), BadJulianDate);
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(2001, 4, 31, 0), BadJulianDate);
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(2001, 13, 1, 0), BadJulianDate);
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(2001, 1, 1, SecondsInDay), BadJulianDate);
  const TStDate n = Day(3, 3, 2001);
  EXPECT_DOUBLE_EQ(AstJulianDatePrim(2001, 3, 3, 0), AstJulianDate(n));
  EXPECT_EQ(AstJulianDatetoStDate(AstJulianDate(n) + 0.6, true), n);
  EXPECT_EQ(AstJulianDatetoStDate(AstJulianDate(n) + 0.6, false), n + 1);
  EXPECT_EQ(AstJulianDatetoStDate(AstJulianDate(0) - 0.1, true), BadDate);
  EXPECT_EQ(AstJulianDatetoStDate(AstJulianDate(MaxDate) + 0.4, false), MaxDate);
  EXPECT_EQ(AstJulianDatetoStDate(AstJulianDate(MaxDate) + 0.7, true), MaxDate);
  EXPECT_EQ(AstJulianDatetoStDate(AstJulianDate(MaxDate) + 0.7, false), BadDate);
  EXPECT_EQ(AstJulianDatetoStDate(AstJulianDate(MaxDate) + 1.0, true), BadDate);
}

TEST(Times, SplittingBuildingAndValidating) {
  std::uint8_t h, m, s;
  StTimeToHMS(45296, h, m, s);
  EXPECT_EQ(h * 10000 + m * 100 + s, 123456);
  StTimeToHMS(BadTime, h, m, s);
  EXPECT_EQ(h + m + s, 0);
  EXPECT_EQ(HMStoStTime(24, 0, 0), 0);
  EXPECT_EQ(HMStoStTime(25, 0, 0), 3600);
  EXPECT_EQ(HMStoStTime(23, 59, 59), 86399);
  EXPECT_TRUE(ValidTime(23, 59, 59));
  EXPECT_FALSE(ValidTime(24, 0, 0));
  EXPECT_FALSE(ValidTime(0, 60, 0));
  EXPECT_FALSE(ValidTime(0, 0, -1));
}

TEST(Times, ArithmeticWrapsAroundMidnight) {
  EXPECT_EQ(IncTime(86000, 0, 10, 0), 200);
  EXPECT_EQ(DecTime(100, 0, 0, 200), 86300);
  EXPECT_EQ(DecTime(100, 25, 0, 0), 100 - 3600 + 86400);
  std::uint8_t h, m, s;
  TimeDiff(3700, 100, h, m, s);
  EXPECT_EQ(h * 10000 + m * 100 + s, 10000);
  EXPECT_EQ(RoundToNearestHour(HMStoStTime(23, 45, 0), false), 0);
  EXPECT_EQ(RoundToNearestHour(HMStoStTime(23, 45, 0), true), HMStoStTime(23, 0, 0));
  EXPECT_EQ(RoundToNearestHour(HMStoStTime(10, 29, 59), false), HMStoStTime(10, 0, 0));
  EXPECT_EQ(RoundToNearestMinute(HMStoStTime(23, 59, 30), false), 0);
  EXPECT_EQ(RoundToNearestMinute(HMStoStTime(23, 59, 30), true), HMStoStTime(23, 59, 0));
  EXPECT_EQ(RoundToNearestMinute(HMStoStTime(10, 0, 29), false), HMStoStTime(10, 0, 0));
}

TEST(DateTimes, DifferenceAndIncrement) {
  std::int32_t days, seconds;
  DateTimeDiff({12, 100}, {10, 200}, days, seconds);
  EXPECT_EQ(days, 1);
  EXPECT_EQ(seconds, 86300);
  DateTimeDiff({10, 200}, {10, 50}, days, seconds);
  EXPECT_EQ(days * 100000 + seconds, 150);

  struct {
    TStDateTimeRec From;
    int Days, Seconds;
    TStDateTimeRec Expected;
  } const cases[] = {
      {{10, 100}, 0, -200, {9, 86300}},
      {{10, 100}, 0, 2 * 86400 + 5, {12, 105}},
      {{10, 100}, 1, -(2 * 86400 + 50), {9, 50}},
      {{10, 100}, -3, 86300, {8, 0}},
  };
  for (const auto& c : cases) {
    TStDateTimeRec out;
    IncDateTime(c.From, out, c.Days, c.Seconds);
    EXPECT_EQ(out.D, c.Expected.D) << c.Seconds;
    EXPECT_EQ(out.T, c.Expected.T) << c.Seconds;
  }
}

TEST(DateTimes, ToolkitDateTimeConversions) {
  EXPECT_EQ(DateTimeToStDate(0.0), Day(30, 12, 1899));
  EXPECT_EQ(DateTimeToStDate(-1.25), Day(29, 12, 1899));
  EXPECT_EQ(DateTimeToStTime(-1.25), 6 * 3600);
  EXPECT_EQ(DateTimeToStDate(1.75), Day(31, 12, 1899));
  EXPECT_EQ(DateTimeToStTime(1.75), 18 * 3600);
  EXPECT_EQ(DateTimeToStTime(0.5 + 0.4 / 86400), 43200);  // fractions of a second are dropped
  EXPECT_EQ(DateTimeToStDate(-200000.0), BadDate);
  EXPECT_DOUBLE_EQ(StDateToDateTime(Day(1, 1, 1900)), 2.0);
  EXPECT_DOUBLE_EQ(StDateToDateTime(BadDate), 0.0);
  EXPECT_DOUBLE_EQ(StTimeToDateTime(21600), 0.25);
  EXPECT_DOUBLE_EQ(StTimeToDateTime(BadTime), 0.0);
}

TEST(DateTimes, TwoByteDatesRoundTrip) {
  for (std::uint32_t x = 0; x <= 0xFFFF; ++x)
    ASSERT_EQ(Convert4ByteDate(Convert2ByteDate(static_cast<std::uint16_t>(x))), x);
  EXPECT_EQ(Convert2ByteDate(0), Day(1, 1, 1900));
}

TEST(DateTimes, TodayAndNowComeFromTheToolkitClock) {
  controls_test::FakeServices services;
  services.Today = 46363.75;  // 2026-12-07 18:00
  EXPECT_EQ(CurrentDate(), Day(7, 12, 2026));
  EXPECT_EQ(CurrentTime(), 18 * 3600);
}

TEST(DateTimes, DefaultYearAndMonthAreThoseOfTheStart) {
  const QDate today = QDate::currentDate();
  EXPECT_EQ(DefaultYear, today.year());
  EXPECT_EQ(DefaultMonth, today.month());
}

}  // namespace
