#pragma once
// The modules a System Map slot can hold: the slot menu's captions, the type suffix the slot text carries
// and the point names added under the slot.
#include <optional>
#include <string>
#include <vector>

namespace project {

enum class ModuleType {
  Kado16,
  Kado16I,
  Kado16Ir,
  Pelko,
  Murmex,
  SlaveMarvik,
  SlaveTessaro,
  LurcanT,
  LurcanH,
  LurcanA,
  LurcanL,
  LurcanC,
};

struct ModuleTypeInfo {
  ModuleType Type;
  const char* Caption;  // slot menu entry, e.g. "Add KADO16"
  const char* Suffix;   // appended to the slot text, e.g. "   -KADO16"
};

// Every type, in the slot menu's order.
const std::vector<ModuleTypeInfo>& ModuleTypes();
const ModuleTypeInfo& InfoOf(ModuleType type);

// The default point names of a module, in tree order.
std::vector<std::string> ModulePointNames(ModuleType type);

// The type named by a slot text's suffix; nothing for an empty slot.
std::optional<ModuleType> ModuleTypeOfSlotText(const std::string& slotText);
// The number after the '#' of a slot text ("Module #12   -PELKO" -> 12); 0 when there is none.
int ModuleNumberOfSlotText(const std::string& slotText);

}  // namespace project
