#pragma once
// The Control Wizard's fixed texts: the Function and kind lists, the shared choice lists, the comparison
// phrases and the messages. The line codec renders with them and the wizard window fills its lists from
// them, so both show exactly the same characters (leading and trailing blanks included).
#include <span>
#include <string>

namespace program {

using TextList = std::span<const char* const>;

// Function list: "IF", "    THEN", "    ELSE", "  AND", "  OR", "END"; index 0..4 = stored Function.
TextList FunctionItems();
inline constexpr int FunctionEndIndex = 5;
// Condition kinds (27 entries, index = Kind of an IF/AND/OR line); "--" entries have no panel.
TextList IfTypeItems();
// Action kinds (27 entries, index = Kind of a THEN/ELSE line).
TextList ThenTypeItems();

// Shared choice lists.
TextList X10CodeItems();     // 32: "1".."16", then the sixteen functions; index = stored code
TextList HouseCodeItems();   // "A".."P"
TextList DataSourceItems();  // "Constant", "Variable"; index = ValueIsVariable

// Comparisons.
TextList ComparePhrases();      // 8, kinds 1, 3, 4, 5 (entry 7 has a trailing blank)
TextList DateComparePhrases();  // 4, kinds 7 to 11
TextList TimeComparePhrases();  // 4, kind 6 ("becomes =" at 3)

// Condition panels.
TextList IoStatusItems();   // kind 0: "Is OFF", "Is ON", "Turns OFF", "Turns ON"
TextList X10StatusItems();  // kind 14: the four above and the two command pairs
TextList TodTabItems();     // kind 6 tabs: "Sunrise / Sunset", "Time of Day"
TextList SunItems();        // kind 6: "Sunrise", "Sunset"
TextList MonthItems();      // "January (1)" .. "December (12)"
TextList WeekdayItems();    // "Sunday (0)" .. "Saturday (6)"

// Action panels.
TextList IoCommandItems();     // kind 0: "Turn OFF", "Turn ON" (also the Quick ON/OFF actions)
TextList OperatorItems();      // kind 5: "=", "+", "-", "*", "/", "%"
TextList PagerMessageItems();  // kind 19: "Message# 1" .. "Message# 15"
TextList RcsCommandItems();    // kind 13: 35 entries, 0 "Setpoint" .. 33 "Request Temperature", 34 ""
TextList SwitchTypeItems();    // kinds 15/21: PCS, Leviton
TextList GroupItems();         // kind 22: "Group# 0" .. "Group# 63"
TextList GroupSetItems();      // kind 22: "Group to OFF", "Group to PRESET"
inline constexpr const char* ZoneZeroItem = "Zone 0";

// The window's caption (with the line number once a line is open) and the text of an END line.
inline constexpr const char* WizardCaption = "Control Wizard";
inline constexpr const char* WizardLineCaption = "Control Wizard, Line# %d";
inline constexpr const char* EndProgramText = "End Program";

// Messages.
inline constexpr const char* OutOfLimitsMessage = "Warning-Entry out of limits, line# %d";
inline constexpr const char* InvalidTimeMessage = "Invalid Time Entry, Must be between 0000 and 2359";
inline constexpr const char* InvalidSkipMessage = "Invalid Skip Address";
// Captions that follow a slider: the sunrise/sunset offset and the preset dim level.
inline constexpr const char* SunOffsetCaption = "%d minutes";
inline constexpr const char* LightLevelCaption = "Light Level %d %%";

// Item `index` of `list`, or the empty text when the list has no such item.
std::string ItemOf(TextList list, int index);

}  // namespace program
