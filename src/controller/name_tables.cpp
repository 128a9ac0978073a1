#include "controller/name_tables.h"

namespace controller {

const std::array<std::string, 50>& ModuleTypeNames() {
  static const std::array<std::string, 50> names = [] {
    std::array<std::string, 50> n;
    for (int i = 0; i < 50; ++i) n[static_cast<std::size_t>(i)] = std::to_string(i);
    n[3] = "Lurcan-C";
    n[4] = "Lurcan-H";
    n[5] = "Lurcan-T";
    n[6] = "KADO-16IR";
    n[11] = "KADO-16";
    n[12] = "KADO-16I";
    n[13] = "PELKO";
    n[14] = "Murmex";
    n[15] = "SLAVE";
    n[21] = "Lurcan-A";
    return n;
  }();
  return names;
}

const std::array<std::string, 7>& DayNames() {
  static const std::array<std::string, 7> names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
  return names;
}

const std::array<std::string, 32>& X10KeyNames() {
  static const std::array<std::string, 32> names = [] {
    std::array<std::string, 32> n;
    for (int i = 0; i < 16; ++i) n[static_cast<std::size_t>(i)] = std::to_string(i + 1);
    const char* const functions[16] = {
        "All Units OFF",  "All Lights ON", "ON",       "OFF",          "Dim",         "Bright",    "All Lights OFF",
        "Extended Code",  "Hail Request",  "Hail Ack", "Preset Dim 0", "Extend Data", "Status ON", "Status OFF",
        "Status Request", "Preset Dim 1"};
    for (int i = 0; i < 16; ++i) n[static_cast<std::size_t>(16 + i)] = functions[i];
    return n;
  }();
  return names;
}

const std::array<std::string, 16>& X10HouseNames() {
  static const std::array<std::string, 16> names = [] {
    std::array<std::string, 16> n;
    for (int i = 0; i < 16; ++i) n[static_cast<std::size_t>(i)] = std::string(1, static_cast<char>('A' + i));
    return n;
  }();
  return names;
}

}  // namespace controller
