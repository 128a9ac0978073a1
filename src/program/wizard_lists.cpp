#include "program/wizard_lists.h"

#include <cstdio>

namespace program {

namespace {
constexpr const char* kNoKind = "        --";

constexpr const char* kFunctions[] = {"IF", "    THEN", "    ELSE", "  AND", "  OR", "END"};

constexpr const char* kIfTypes[] = {"Module / Point",
                                    "Module / Param",
                                    "Receive Single X10",
                                    "Compare Lurcan Data",
                                    "Timer (seconds)",
                                    "Variable",
                                    "Time of Day (Military)",
                                    "Month",
                                    "Day of Month",
                                    "Day of Week (0-6)",
                                    "Year",
                                    "Date (mm/dd/yy)",
                                    kNoKind,
                                    "Receive IR",
                                    "X10 Status/Cmnd Pair",
                                    kNoKind,
                                    kNoKind,
                                    kNoKind,
                                    "I/O Error Occurs",
                                    kNoKind,
                                    kNoKind,
                                    kNoKind,
                                    kNoKind,
                                    kNoKind,
                                    kNoKind,
                                    "Touch Button Pressed",
                                    ""};

constexpr const char* kThenTypes[] = {"Module / Point",
                                      "Set Slave Variable  ",
                                      "Load Data to Variable",
                                      "Transmit  Single X10",
                                      "Timer (seconds)",
                                      "Variable",
                                      "Skip To (Program Jump)",
                                      "Set Displayed Icon",
                                      kNoKind,
                                      kNoKind,
                                      kNoKind,
                                      kNoKind,
                                      kNoKind,
                                      "Send  X10 Thermostat (RCS)",
                                      "Send Lurcan Thermostat",
                                      "X10 Preset Dim (PCS)",
                                      kNoKind,
                                      "X10 Quick ON/OFF",
                                      kNoKind,
                                      "Send Page",
                                      "Transmit  IR",
                                      "X10 Preset Dim (Leviton)",
                                      "Transmit X10 Group (Leviton)",
                                      "Transmit Murmex",
                                      "Transmit Ascii Message",
                                      kNoKind,
                                      ""};

constexpr const char* kX10Codes[] = {"1",
                                     "2",
                                     "3",
                                     "4",
                                     "5",
                                     "6",
                                     "7",
                                     "8",
                                     "9",
                                     "10",
                                     "11",
                                     "12",
                                     "13",
                                     "14",
                                     "15",
                                     "16",
                                     "All Units OFF  (17)",
                                     "All Lights ON  (18)",
                                     "ON  (19)",
                                     "OFF  (20)",
                                     "Dim  (21)",
                                     "Bright  (22)",
                                     "All Lights OFF  (23)",
                                     "Extended Code  (24)",
                                     "Hail Request  (25)",
                                     "Hail Ack  (26)",
                                     "Preset Dim 0  (27)",
                                     "Extend Data  (28)",
                                     "Status ON  (29)",
                                     "Status OFF  (30)",
                                     "Status Request  (31)",
                                     "Preset Dim 1  (32)"};

constexpr const char* kHouses[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P"};
constexpr const char* kSources[] = {"Constant", "Variable"};

constexpr const char* kCompare[] = {
    "is >", "is <", "is NOT =", "is =", "becomes >", "becomes <", "becomes NOT =", "becomes = "};
constexpr const char* kDateCompare[] = {"is >", "is <", "is NOT =", "is ="};
constexpr const char* kTimeCompare[] = {"is >", "is <", "is NOT =", "becomes ="};

constexpr const char* kIoStatus[] = {"Is OFF", "Is ON", "Turns OFF", "Turns ON"};
constexpr const char* kX10Status[] = {"Is OFF",   "Is ON",           "Turns OFF",
                                      "Turns ON", "ON Command Pair", "OFF Command Pair"};
constexpr const char* kTodTabs[] = {"Sunrise / Sunset", "Time of Day"};
constexpr const char* kSun[] = {"Sunrise", "Sunset"};
constexpr const char* kMonths[] = {"January (1)",   "February (2)", "March (3)",     "April (4)",
                                   "May (5)",       "June (6)",     "July (7)",      "August (8)",
                                   "September (9)", "October (10)", "November (11)", "December (12)"};
constexpr const char* kWeekdays[] = {"Sunday (0)",   "Monday (1)", "Tuesday (2)", "Wednesday (3)",
                                     "Thursday (4)", "Friday (5)", "Saturday (6)"};

constexpr const char* kIoCommands[] = {"Turn OFF", "Turn ON"};
constexpr const char* kOperators[] = {"=", "+", "-", "*", "/", "%"};
constexpr const char* kPagerMessages[] = {"Message# 1",  "Message# 2",  "Message# 3",  "Message# 4",  "Message# 5",
                                          "Message# 6",  "Message# 7",  "Message# 8",  "Message# 9",  "Message# 10",
                                          "Message# 11", "Message# 12", "Message# 13", "Message# 14", "Message# 15"};
constexpr const char* kRcsCommands[] = {"Setpoint",
                                        "System OFF",
                                        "Heat Mode",
                                        "Cool Mode",
                                        "Auto Mode",
                                        "Fan ON",
                                        "Fan OFF",
                                        "Setback ON",
                                        "Setback OFF",
                                        "Increase 1 Degree",
                                        "Decrease 1 Degree",
                                        "Setback Delta 6F/3C",
                                        "Setback Delta 8F/4C",
                                        "Setback Delta 10F/5C",
                                        "Setback Delta 12F/6C",
                                        "Setback Delta 14F/7C",
                                        "Setback Delta 16F/8C",
                                        "Unit ON",
                                        "Unit OFF",
                                        "Preset ON",
                                        "Preset OFF",
                                        "Ack ON",
                                        "Ack OFF",
                                        "Echo ON",
                                        "Echo OFF",
                                        "Safe ON",
                                        "Safe OFF",
                                        "Autosend ON",
                                        "Autosend OFF",
                                        "DT1",
                                        "DT2",
                                        "DT3",
                                        "DT4",
                                        "Request Temperature",
                                        ""};
constexpr const char* kSwitchTypes[] = {"PCS  (Levels  0 - 31)", "Leviton  (Levels  0 - 63)"};
constexpr const char* kGroupSet[] = {"Group to OFF", "Group to PRESET"};

struct GroupNames {
  char Texts[64][12];
  const char* Items[64];
  GroupNames() {
    for (int i = 0; i < 64; ++i) {
      std::snprintf(Texts[i], sizeof Texts[i], "Group# %d", i);
      Items[i] = Texts[i];
    }
  }
};
}  // namespace

TextList FunctionItems() { return kFunctions; }
TextList IfTypeItems() { return kIfTypes; }
TextList ThenTypeItems() { return kThenTypes; }
TextList X10CodeItems() { return kX10Codes; }
TextList HouseCodeItems() { return kHouses; }
TextList DataSourceItems() { return kSources; }
TextList ComparePhrases() { return kCompare; }
TextList DateComparePhrases() { return kDateCompare; }
TextList TimeComparePhrases() { return kTimeCompare; }
TextList IoStatusItems() { return kIoStatus; }
TextList X10StatusItems() { return kX10Status; }
TextList TodTabItems() { return kTodTabs; }
TextList SunItems() { return kSun; }
TextList MonthItems() { return kMonths; }
TextList WeekdayItems() { return kWeekdays; }
TextList IoCommandItems() { return kIoCommands; }
TextList OperatorItems() { return kOperators; }
TextList PagerMessageItems() { return kPagerMessages; }
TextList RcsCommandItems() { return kRcsCommands; }
TextList SwitchTypeItems() { return kSwitchTypes; }
TextList GroupItems() {
  static const GroupNames names;
  return names.Items;
}
TextList GroupSetItems() { return kGroupSet; }

std::string ItemOf(TextList list, int index) {
  return index >= 0 && index < static_cast<int>(list.size()) ? list[index] : std::string();
}

}  // namespace program
