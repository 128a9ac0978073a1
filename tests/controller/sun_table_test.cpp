#include "controller/sun_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace controller {
namespace {

platform::LocalTime Day(int year, int month, int day) {
  platform::LocalTime t;
  t.Year = year;
  t.Month = month;
  t.Day = day;
  return t;
}

struct Location {
  const char* Name;
  const char* Latitude;
  const char* Longitude;
  const char* Zone;
};

class MidLatitudeWest : public ::testing::TestWithParam<Location> {};

// Each location in its own zone: sunrise roughly 260..470 and sunset roughly 990..1200 minutes over the
// year (a quarter of an hour more for a town near the edge of its zone), with the long days in summer.
TEST_P(MidLatitudeWest, TimesStayInTheirRangesOverTheYear) {
  constexpr int Slack = 15;
  const Location& at = GetParam();
  const SunTable table = BuildSunTable(at.Latitude, at.Longitude, at.Zone);
  for (int d = 0; d < SunTable::Entries; ++d) {
    const SunTimes& e = table.Days[static_cast<std::size_t>(d)];
    EXPECT_GE(e.Sunrise, 260 - Slack) << at.Name << " day " << d;
    EXPECT_LE(e.Sunrise, 470 + Slack) << at.Name << " day " << d;
    EXPECT_GE(e.Sunset, 990 - Slack) << at.Name << " day " << d;
    EXPECT_LE(e.Sunset, 1200 + Slack) << at.Name << " day " << d;
  }
  const SunTimes& june = table.Days[172];
  const SunTimes& december = table.Days[355];
  EXPECT_LT(june.Sunrise + 45, december.Sunrise) << at.Name;
  EXPECT_GT(june.Sunset, december.Sunset + 45) << at.Name;
}

INSTANTIATE_TEST_SUITE_P(Locations, MidLatitudeWest,
                         ::testing::Values(Location{"Philadelphia", "39.95", "75.16", "-5"},
                                           Location{"Chicago", "41.88", "87.63", "-6"},
                                           Location{"Denver", "39.74", "104.99", "-7"},
                                           Location{"Los Angeles", "34.05", "118.24", "-8"},
                                           Location{"Atlanta", "33.75", "84.39", "-5"}),
                         [](const ::testing::TestParamInfo<Location>& info) {
                           std::string name = info.param.Name;
                           std::erase(name, ' ');
                           return name;
                         });

TEST(SunTable, EndEntriesAreComputedLikeTheOthers) {
  const SunTable table = BuildSunTable("39.95", "75.16", "-5");
  EXPECT_LE(std::abs(table.Days[0].Sunrise - table.Days[1].Sunrise), 2);
  EXPECT_LE(std::abs(table.Days[0].Sunset - table.Days[1].Sunset), 2);
  EXPECT_LE(std::abs(table.Days[366].Sunrise - table.Days[365].Sunrise), 2);
  EXPECT_LE(std::abs(table.Days[366].Sunset - table.Days[365].Sunset), 2);
  EXPECT_EQ(table.Days[0], CalcSunTimes(0, 39.95, 75.16, -5));
}

TEST(SunTable, TextsConvertTheWayTheSettingsAreTyped) {
  const SunTable fiveAndAHalf = BuildSunTable("39.95", "75.16", "-5.5");
  EXPECT_EQ(fiveAndAHalf.Days, BuildSunTable("39.95", "75.16", "-5").Days) << "only the zone's integer part counts";
  EXPECT_NE(fiveAndAHalf.Days, BuildSunTable("39.95", "75.16", "-6").Days);

  const SunTable emptyLatitude = BuildSunTable("", "75.16", "-5");
  EXPECT_EQ(emptyLatitude.Days, BuildSunTable("0", "75.16", "-5").Days);
  EXPECT_NE(emptyLatitude.Days, BuildSunTable("39.95", "75.16", "-5").Days);
  EXPECT_EQ(BuildSunTable("north", "75.16", "zone").Days, BuildSunTable("0", "75.16", "0").Days);
  EXPECT_EQ(BuildSunTable(" 39.95N", "75.16 W", "-5 EST").Days, BuildSunTable("39.95", "75.16", "-5").Days)
      << "the leading number counts";
}

TEST(SunTable, NumberTextsTakeTheirLeadingNumber) {
  struct Case {
    const char* Text;
    double Decimal;
    int Integer;
  };
  for (const Case& c : {Case{"", 0, 0}, Case{"33.25", 33.25, 33}, Case{"-5.5", -5.5, -5}, Case{"  +7", 7, 7},
                        Case{"12abc", 12, 12}, Case{"abc", 0, 0}, Case{"-", 0, 0}, Case{"--5", 0, 0},
                        Case{".5", 0.5, 0}, Case{"99999999999", 99999999999.0, 2147483647}}) {
    EXPECT_DOUBLE_EQ(DecimalText(c.Text), c.Decimal) << '"' << c.Text << '"';
    EXPECT_EQ(IntegerText(c.Text), c.Integer) << '"' << c.Text << '"';
  }
}

// Where the sun stays up or down all day the entry still gets two numbers and nothing marks it.
TEST(SunTable, PolarDaysStillGetTimes) {
  for (double latitude : {80.0, -80.0}) {
    const SunTimes summer = CalcSunTimes(172, latitude, 15, 1);
    const SunTimes winter = CalcSunTimes(355, latitude, 15, 1);
    for (const SunTimes& e : {summer, winter}) {
      EXPECT_GT(e.Sunrise, 0) << latitude;
      EXPECT_LT(e.Sunrise, 1440 + 720) << latitude;
      EXPECT_GT(e.Sunset, 0) << latitude;
      EXPECT_LT(e.Sunset, 1440 + 720) << latitude;
    }
    EXPECT_NE(summer, winter) << latitude;
  }
}

// The loops bring a time up by twelve hours at a time, so whole half-days of zone change nothing; a zone
// far out of range ends at once with the same times.
TEST(SunTable, ZonesTwelveHoursApartGiveTheSameTimes) {
  for (int day : {1, 100, 172, 300}) {
    const SunTimes own = CalcSunTimes(day, 39.95, 75.16, -5);
    EXPECT_EQ(CalcSunTimes(day, 39.95, 75.16, -5 - 12 * 50), own) << day;
    EXPECT_EQ(CalcSunTimes(day, 39.95, 75.16, -5 - 12 * 100000000), own) << day;
    EXPECT_NE(CalcSunTimes(day, 39.95, 75.16, -6), own) << day;
  }
}

TEST(SunTable, BytesAreLittleEndianSunriseThenSunset) {
  SunTable table;
  table.Days[0] = {0x0102, 0x0304};
  table.Days[366] = {0xA1B2, 0xC3D4};
  const auto bytes = table.ToBytes();
  ASSERT_EQ(bytes.size(), 1468u);
  EXPECT_EQ(bytes[0], 0x02);
  EXPECT_EQ(bytes[1], 0x01);
  EXPECT_EQ(bytes[2], 0x04);
  EXPECT_EQ(bytes[3], 0x03);
  EXPECT_EQ(bytes[4], 0x00);
  EXPECT_EQ(bytes[1464], 0xB2);
  EXPECT_EQ(bytes[1465], 0xA1);
  EXPECT_EQ(bytes[1466], 0xD4);
  EXPECT_EQ(bytes[1467], 0xC3);
}

TEST(SunLabels, TwelveHourClockTexts) {
  struct Case {
    int Minutes;
    const char* Sunrise;
    const char* Sunset;
  };
  for (const Case& c :
       {Case{405, "Sunrise 6:45 AM", "Sunset 6:45 AM"}, Case{1230, "Sunrise 8:30 PM", "Sunset 8:30 PM"},
        Case{750, "Sunrise 12:30 PM", "Sunset 12:30 PM"}, Case{719, "Sunrise 11:59 AM", "Sunset 11:59 AM"},
        Case{720, "Sunrise 12:00 PM", "Sunset 12:00 PM"}, Case{779, "Sunrise 12:59 PM", "Sunset 12:59 PM"},
        Case{780, "Sunrise 1:00 PM", "Sunset 1:00 PM"}, Case{5, "Sunrise 0:05 AM", "Sunset 0:05 AM"}}) {
    EXPECT_EQ(SunriseText(c.Minutes), c.Sunrise);
    EXPECT_EQ(SunsetText(c.Minutes), c.Sunset);
  }
}

TEST(DaylightSaving, FromTheSecondSundayOfMarchToTheFirstSundayOfNovember) {
  struct Case {
    int Year, StartDay, EndDay;
  };
  // 2021 and 2026 have the window at the ends of the week the Sunday is looked for in.
  for (const Case& c : {Case{2021, 14, 7}, Case{2024, 10, 3}, Case{2025, 9, 2}, Case{2026, 8, 1}}) {
    EXPECT_FALSE(DstActive(true, Day(c.Year, 3, c.StartDay - 1))) << c.Year;
    EXPECT_TRUE(DstActive(true, Day(c.Year, 3, c.StartDay))) << c.Year;
    EXPECT_TRUE(DstActive(true, Day(c.Year, 7, 4))) << c.Year;
    EXPECT_TRUE(c.EndDay == 1 ? DstActive(true, Day(c.Year, 10, 31)) : DstActive(true, Day(c.Year, 11, c.EndDay - 1)))
        << c.Year;
    EXPECT_FALSE(DstActive(true, Day(c.Year, 11, c.EndDay))) << c.Year;
    EXPECT_FALSE(DstActive(false, Day(c.Year, 7, 4))) << c.Year << ": the box is not ticked";
    const DaylightSavingWindow window = DaylightSavingDays(c.Year);
    EXPECT_EQ(window.Start, DayIndex(c.Year, 3, c.StartDay));
    EXPECT_EQ(window.End, DayIndex(c.Year, 11, c.EndDay));
  }
}

TEST(DaylightSaving, DayIndexCountsFromTheFirstOfJanuary) {
  EXPECT_EQ(DayIndex(2025, 1, 1), 0);
  EXPECT_EQ(DayIndex(2025, 3, 1), 59);
  EXPECT_EQ(DayIndex(2024, 3, 1), 60) << "leap year";
  EXPECT_EQ(DayIndex(2024, 12, 31), 365);
}

TEST(SunForToday, LooksTodayUpAndAddsAnHourInSummerTime) {
  SunTable table;
  for (int d = 0; d < SunTable::Entries; ++d)
    table.Days[static_cast<std::size_t>(d)] = {static_cast<std::uint16_t>(300 + d % 100),
                                               static_cast<std::uint16_t>(1000 + d % 100)};
  const TodaysSun newYear = SunForToday(table, Day(2024, 1, 1), true);
  EXPECT_EQ(newYear.Sunrise, 300) << "1 January is entry 0";
  EXPECT_EQ(newYear.Sunset, 1000);
  EXPECT_FALSE(newYear.DstActive);
  EXPECT_EQ(newYear.SunriseText, "Sunrise 5:00 AM");
  EXPECT_EQ(newYear.SunsetText, "Sunset 4:40 PM");

  const TodaysSun july = SunForToday(table, Day(2024, 7, 4), true);  // entry 185
  EXPECT_TRUE(july.DstActive);
  EXPECT_EQ(july.Sunrise, 385 + 60);
  EXPECT_EQ(july.Sunset, 1085 + 60);
  EXPECT_EQ(july.SunriseText, "Sunrise 7:25 AM");
  EXPECT_EQ(july.SunsetText, "Sunset 7:05 PM");

  const TodaysSun standard = SunForToday(table, Day(2024, 7, 4), false);
  EXPECT_FALSE(standard.DstActive);
  EXPECT_EQ(standard.Sunrise, 385);
}

}  // namespace
}  // namespace controller
