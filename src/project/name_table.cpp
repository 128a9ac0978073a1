#include "project/name_table.h"

#include <algorithm>
#include <cstdio>

namespace project {

namespace {
const std::string kEmpty;

void AppendRange(std::vector<std::string>& items, const NameTable& table, int first, int count) {
  for (int i = 0; i < count; ++i) items.push_back(table.At(first + i));
}
}  // namespace

const std::string& NameTable::At(int position) const {
  return position >= 0 && position < Size ? Names[position] : kEmpty;
}

NameTable& SharedNameTable() {
  static NameTable table;
  return table;
}

void RefreshNameTable(const SystemMapTree& tree, NameTable& table) {
  const int firstSlot = tree.LastLocalIndex() + 1;
  table.ModuleSlotIndex[1] = firstSlot;
  int nextSlot = 2;
  const int count = std::min(tree.Count(), NameTable::LastWritten + 1);
  for (int i = 0; i < count; ++i) {
    const SystemMapTree::Node* node = tree.NodeAt(i);
    table.Names[i] = node->Text();
    if (i > firstSlot && nextSlot <= ModuleSlotCount && tree.LevelOf(node) == 1) table.ModuleSlotIndex[nextSlot++] = i;
  }
}

void FillVariableList(std::vector<std::string>& items, const NameTable& table) {
  items.clear();
  AppendRange(items, table, FirstVariable, 128);
}

void AddModuleDataItems(std::vector<std::string>& items) {
  char buffer[32];
  for (int i = 0; i < 128; ++i) {
    std::snprintf(buffer, sizeof buffer, "Data for Module# %d", i);
    items.emplace_back(buffer);
  }
}

void FillTimerList(std::vector<std::string>& items, const NameTable& table) {
  items.clear();
  AppendRange(items, table, FirstTimer, 64);
}

void FillIrList(std::vector<std::string>& items, const NameTable& table) {
  items.clear();
  AppendRange(items, table, FirstIrCode, 1024);
}

void FillX10UnitList(std::vector<std::string>& items, const NameTable& table) {
  items.clear();
  AppendRange(items, table, FirstX10Unit, 256);
}

void FillTouchObjectList(std::vector<std::string>& items, const NameTable& table) {
  if (!table.IsTouchController()) return;
  items.clear();
  AppendRange(items, table, FirstTouchObject, 256);
}

void FillIconList(std::vector<std::string>& items, const NameTable& table) {
  items.clear();
  items.emplace_back("No Icon");
  AppendRange(items, table, FirstIcon + 1, IconCount - 1);
}

void FillModuleList(std::vector<std::string>& items, const NameTable& table) {
  items.clear();
  for (int k = 1; k <= ModuleSlotCount; ++k) items.push_back(table.At(table.ModuleSlotIndex[k]));
}

void FillControllerModuleList(std::vector<std::string>& items, const NameTable& table) {
  items.clear();
  items.emplace_back(table.IsTouchController() ? "Tessaro" : "Marvik");
  for (int k = 1; k <= ModuleSlotCount; ++k) items.push_back(table.At(table.ModuleSlotIndex[k]));
}

void FillModulePointList(std::vector<std::string>& items, int module, int last, int first, const NameTable& table) {
  items.clear();
  if (module < 1 || module > ModuleSlotCount || first < 0) return;
  for (int j = first; j <= last; ++j) {
    int position = table.ModuleSlotIndex[module] + 1 + j;
    if (position >= NameTable::Size) break;
    items.push_back(table.Names[position]);
  }
}

}  // namespace project
