#include "project/module_type.h"

#include <cstdio>
#include <string_view>

namespace project {

namespace {
void AddNumbered(std::vector<std::string>& names, const char* format, int first, int last) {
  char buffer[64];
  for (int i = first; i <= last; ++i) {
    std::snprintf(buffer, sizeof buffer, format, i);
    names.emplace_back(buffer);
  }
}
}  // namespace

const std::vector<ModuleTypeInfo>& ModuleTypes() {
  static const std::vector<ModuleTypeInfo> types = {
      {ModuleType::Kado16, "Add KADO16", "   -KADO16"},
      {ModuleType::Kado16I, "Add KADO16-I", "   -KADO16-I"},
      {ModuleType::Kado16Ir, "Add KADO16-IR", "   -KADO16-IR"},
      {ModuleType::Pelko, "Add PELKO", "   -PELKO"},
      {ModuleType::Murmex, "Add MURMEX", "   -MURMEX"},
      {ModuleType::SlaveMarvik, "Add Slave Marvik", "   -Slave Marvik"},
      {ModuleType::SlaveTessaro, "Add Slave Tessaro", "   -Slave Tessaro"},
      {ModuleType::LurcanT, "Add Lurcan-T", "   -LURCAN-T"},
      {ModuleType::LurcanH, "Add Lurcan-H", "   -LURCAN-H"},
      {ModuleType::LurcanA, "Add Lurcan-A", "   -LURCAN-A"},
      {ModuleType::LurcanL, "Add Lurcan-L", "   -LURCAN-L"},
      {ModuleType::LurcanC, "Add Lurcan-C", "   -LURCAN-C"},
  };
  return types;
}

const ModuleTypeInfo& InfoOf(ModuleType type) {
  for (const ModuleTypeInfo& info : ModuleTypes())
    if (info.Type == type) return info;
  return ModuleTypes().front();
}

std::vector<std::string> ModulePointNames(ModuleType type) {
  std::vector<std::string> names;
  switch (type) {
    case ModuleType::Kado16:
      AddNumbered(names, "Input #%d", 0, 7);
      AddNumbered(names, "Relay #%d", 8, 15);
      AddNumbered(names, "Analog #%d", 0, 7);
      break;
    case ModuleType::Kado16I:
      AddNumbered(names, "Input #%d", 0, 15);
      AddNumbered(names, "Analog #%d", 0, 15);
      break;
    case ModuleType::Kado16Ir:
      AddNumbered(names, "IR Zone #%d", 0, 15);
      break;
    case ModuleType::Pelko:
      AddNumbered(names, "Relay #%d", 0, 7);
      break;
    case ModuleType::Murmex:
      AddNumbered(names, "Audio Message #%d", 0, 49);
      break;
    case ModuleType::SlaveMarvik:
      AddNumbered(names, "Variable #%d", 0, 127);
      break;
    case ModuleType::SlaveTessaro:
      AddNumbered(names, "Variable #%d", 0, 127);
      names.emplace_back("Touch Anywhere Button #0");
      AddNumbered(names, "Button #%d", 1, 255);
      break;
    case ModuleType::LurcanT:
      names.emplace_back("Temperature");
      break;
    case ModuleType::LurcanH:
      names.emplace_back("Humidity");
      break;
    case ModuleType::LurcanA:
      AddNumbered(names, "Ascii Message #%d", 0, 127);
      break;
    case ModuleType::LurcanL:
      names.emplace_back("Light Level");
      break;
    case ModuleType::LurcanC:
      names.emplace_back("Input #0");
      break;
  }
  return names;
}

std::optional<ModuleType> ModuleTypeOfSlotText(const std::string& slotText) {
  // The suffixes never end one another ("-KADO16-I" and "-KADO16-IR" differ in their last letter), so the
  // first match is the only one.
  for (const ModuleTypeInfo& info : ModuleTypes()) {
    std::string_view word = std::string_view(info.Suffix).substr(3);  // "-KADO16"
    if (slotText.size() >= word.size() && std::string_view(slotText).substr(slotText.size() - word.size()) == word)
      return info.Type;
  }
  return std::nullopt;
}

int ModuleNumberOfSlotText(const std::string& slotText) {
  size_t hash = slotText.find('#');
  if (hash == std::string::npos) return 0;
  int number = 0;
  for (size_t i = hash + 1; i < slotText.size() && slotText[i] >= '0' && slotText[i] <= '9' && number < 100000; ++i)
    number = number * 10 + (slotText[i] - '0');
  return number;
}

}  // namespace project
