#pragma once
// The sunrise and sunset table the controller's time-of-day rules test against. The controller does not
// compute the sun: the PC fills a table of local standard times for every day of the year from the
// location in the settings and downloads it with the program. The computation is an almanac-style
// approximation whose constants and quirks the controllers in the field were set up with, so it is kept
// as it is, odd loops included.
//
// Also here: what the communications window shows of it for today (the sunrise and sunset labels and
// whether daylight saving is in force).
#include <array>
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace controller {

struct SunTimes {
  std::uint16_t Sunrise = 0;  // minutes after local midnight
  std::uint16_t Sunset = 0;
  bool operator==(const SunTimes&) const = default;
};

// One day of the table. `day` is taken as the day number of the year; latitude is positive north,
// longitude positive west (degrees), `timeZone` whole hours, negative west of Greenwich.
SunTimes CalcSunTimes(int day, double latitude, double longitude, int timeZone);

class SunTable {
 public:
  static constexpr int Entries = 367;  // days 0..366
  static constexpr int EntryBytes = 4;
  static constexpr int Bytes = Entries * EntryBytes;  // 1,468

  // Sunrise then sunset of every entry, 16-bit little-endian, entry 0 first: what the download sends.
  std::array<std::uint8_t, Bytes> ToBytes() const;

  std::array<SunTimes, Entries> Days{};
};

// The settings' texts as numbers: latitude and longitude as decimal numbers, the zone as its leading
// integer (so "-5.5" is -5); text that does not start with a number counts as 0.
double DecimalText(const std::string& text);
int IntegerText(const std::string& text);

// Every entry from the settings' latitude, longitude and time-zone texts as they stand.
SunTable BuildSunTable(const std::string& latitudeText, const std::string& longitudeText,
                       const std::string& timeZoneText);

// Days from 1 January of the date's year (1 January is 0): the index the window looks today up by.
int DayIndex(int year, int month, int day);
int DayIndex(const platform::LocalTime& date);

// The USA daylight-saving window as day indexes: from the second Sunday of March up to (not including)
// the first Sunday of November.
struct DaylightSavingWindow {
  int Start = 0;
  int End = 0;
};
DaylightSavingWindow DaylightSavingDays(int year);

// True when the "Use Daylight Savings Time" box is ticked and `today` lies in the window.
bool DstActive(bool useDaylightSaving, const platform::LocalTime& today);

// "Sunrise %d:%02d %s" and "Sunset %d:%02d %s" on a 12-hour clock: 12:xx is PM and stays 12.
std::string SunriseText(int minutes);
std::string SunsetText(int minutes);

// What the communications window shows each time it is shown: today's entry, an hour later while daylight
// saving is in force, and the two label texts.
struct TodaysSun {
  int Sunrise = 0;
  int Sunset = 0;
  bool DstActive = false;
  std::string SunriseText;  // Label10
  std::string SunsetText;   // Label11
};
TodaysSun SunForToday(const SunTable& table, const platform::LocalTime& today, bool useDaylightSaving);

}  // namespace controller
