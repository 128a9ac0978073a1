#include "controller/sun_table.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>

namespace controller {

namespace {

constexpr double K = 0.0174532925;             // degrees to radians, as the table was always computed
constexpr double R = 57.29577957855229;        // radians to degrees
constexpr double Zenith = 1.5853407354166669;  // 90 degrees 50 minutes, in radians

// A double truncated to a 32-bit integer the way the x86 conversion does it: a value with no such integer
// (too large, infinite, not a number) becomes INT_MIN.
std::int32_t Truncate(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
  return static_cast<std::int32_t>(value);
}

// The "add 12 until not negative" loop. A zone or longitude far out of range would keep it going for
// ages; there the remainder gives the same result in one step.
double RaiseByTwelves(double u) {
  if (u < -1200.0) u = std::fmod(u, 12.0);
  while (u < 0) u += 12;
  return u;
}

// Minutes from hours: the whole hours (plus `extraHours`) times 60 plus the fraction times 60.
std::uint16_t Minutes(double u, int extraHours) {
  const std::int32_t hours = Truncate(u);
  const double fraction = u - hours;
  const std::int32_t minutes = Truncate((static_cast<double>(hours) + extraHours) * 60 + fraction * 60);
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(minutes) & 0xFFFF);
}

// The local time of sunrise or sunset in hours, before the loop that brings it above zero.
double EventHours(bool sunset, int day, double lh, double sinLat, double cosLat, double cz, int timeZone) {
  const double t = day + ((sunset ? 18 : 6) + lh) / 24;
  const double M = 0.9856 * t - 3.251;
  const double L = M + 1.916 * std::sin(M * K) + 0.02 * std::sin(M * 0.034906585) + 282.565;
  double RA = std::atan(0.91746 * std::tan(L * K)) * R;
  if (std::fabs(RA + 360 - L) > 90) RA += 180;
  if (RA > 360) RA -= 360;
  const double RAh = RA / 15;
  const double sinDec = 0.39782 * std::sin(L * K);
  const double cosDec = std::sqrt(1 - sinDec * sinDec);
  const double cosH = (cz - sinDec * sinLat) / (cosDec * cosLat);
  // Where the sun neither rises nor sets, cosH itself goes on as the angle: nothing is flagged.
  const double H = std::fabs(cosH) <= 1 ? std::acos(cosH) * R : cosH;
  const double Hh = sunset ? H / 15 : (360 - H) / 15;
  const double T = Hh + RAh + (-0.06571 * t - 6.62);
  return T + lh + timeZone;
}

// Leading blanks, then an optional sign; returns the position of what follows and whether it was '-'.
std::size_t SkipBlanksAndSign(const std::string& text, bool& negative) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  return i;
}

std::string SunText(const char* word, int minutes) {
  const char* suffix = minutes >= 720 ? "PM" : "AM";
  const int clock = minutes >= 780 ? minutes - 720 : minutes;
  char text[48];
  std::snprintf(text, sizeof text, "%s %d:%02d %s", word, clock / 60, minutes % 60, suffix);
  return text;
}

std::chrono::sys_days Date(int year, int month, int day) {
  return std::chrono::sys_days(std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) /
                               std::chrono::day(static_cast<unsigned>(day)));
}

// The first Sunday on or after the given day.
int SundayFrom(int year, int month, int day) {
  std::chrono::sys_days date = Date(year, month, day);
  while (std::chrono::weekday(date) != std::chrono::Sunday) date += std::chrono::days(1);
  return static_cast<int>((date - Date(year, 1, 1)).count());
}

}  // namespace

SunTimes CalcSunTimes(int day, double latitude, double longitude, int timeZone) {
  const double cz = std::cos(Zenith);
  const double lh = longitude / 15;
  const double cosLat = std::cos(latitude * K);
  const double sinLat = std::sin(latitude * K);

  SunTimes times;
  // The evening formula gives the time less 24 hours; the loop and the 12 added below bring it back.
  times.Sunrise = Minutes(RaiseByTwelves(EventHours(false, day, lh, sinLat, cosLat, cz, timeZone)), 0);
  times.Sunset = Minutes(RaiseByTwelves(EventHours(true, day, lh, sinLat, cosLat, cz, timeZone)), 12);
  return times;
}

std::array<std::uint8_t, SunTable::Bytes> SunTable::ToBytes() const {
  std::array<std::uint8_t, Bytes> bytes{};
  for (int d = 0; d < Entries; ++d) {
    const SunTimes& entry = Days[static_cast<std::size_t>(d)];
    std::uint8_t* out = bytes.data() + d * EntryBytes;
    out[0] = static_cast<std::uint8_t>(entry.Sunrise & 0xFF);
    out[1] = static_cast<std::uint8_t>(entry.Sunrise >> 8);
    out[2] = static_cast<std::uint8_t>(entry.Sunset & 0xFF);
    out[3] = static_cast<std::uint8_t>(entry.Sunset >> 8);
  }
  return bytes;
}

double DecimalText(const std::string& text) {
  bool negative;
  std::size_t i = SkipBlanksAndSign(text, negative);
  // A second sign ("--5", "+-5") is not a number.
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0;
  double value = 0;
  const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow keeps its sign as infinity; underflow is 0.
    value = std::strtod(text.c_str() + i, nullptr);
  } else if (result.ec != std::errc()) {
    return 0;
  }
  return negative ? -value : value;
}

int IntegerText(const std::string& text) {
  bool negative;
  std::size_t i = SkipBlanksAndSign(text, negative);
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) value = 2147483648LL;  // saturates instead of overflowing
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

SunTable BuildSunTable(const std::string& latitudeText, const std::string& longitudeText,
                       const std::string& timeZoneText) {
  const double latitude = DecimalText(latitudeText);
  const double longitude = DecimalText(longitudeText);
  const int zone = IntegerText(timeZoneText);
  SunTable table;
  for (int d = 0; d < SunTable::Entries; ++d)
    table.Days[static_cast<std::size_t>(d)] = CalcSunTimes(d, latitude, longitude, zone);
  return table;
}

int DayIndex(int year, int month, int day) {
  return static_cast<int>((Date(year, month, day) - Date(year, 1, 1)).count());
}

int DayIndex(const platform::LocalTime& date) { return DayIndex(date.Year, date.Month, date.Day); }

DaylightSavingWindow DaylightSavingDays(int year) { return {SundayFrom(year, 3, 8), SundayFrom(year, 11, 1)}; }

bool DstActive(bool useDaylightSaving, const platform::LocalTime& today) {
  if (!useDaylightSaving) return false;
  const DaylightSavingWindow window = DaylightSavingDays(today.Year);
  const int index = DayIndex(today);
  return window.Start <= index && index < window.End;
}

std::string SunriseText(int minutes) { return SunText("Sunrise", minutes); }

std::string SunsetText(int minutes) { return SunText("Sunset", minutes); }

TodaysSun SunForToday(const SunTable& table, const platform::LocalTime& today, bool useDaylightSaving) {
  const SunTimes& entry = table.Days[static_cast<std::size_t>(DayIndex(today))];
  TodaysSun sun;
  sun.Sunrise = entry.Sunrise;
  sun.Sunset = entry.Sunset;
  sun.DstActive = DstActive(useDaylightSaving, today);
  if (sun.DstActive) {
    sun.Sunrise += 60;
    sun.Sunset += 60;
  }
  sun.SunriseText = SunriseText(sun.Sunrise);
  sun.SunsetText = SunsetText(sun.Sunset);
  return sun;
}

}  // namespace controller
