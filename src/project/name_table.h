#pragma once
// The name table: the flat copy of the System Map from which every list of names is filled.
//
// Entry i of `Names` is the text of the tree node at absolute position i; `ModuleSlotIndex[k]` is the
// position of module slot k (1..126), so child j of slot k sits at ModuleSlotIndex[k] + 1 + j.
//
// The program uses one shared instance (SharedNameTable()), rebuilt by the System Map window whenever its
// tree may have changed; every other window only reads it. A rebuild renews the positions the tree covers
// and leaves later entries as an earlier rebuild wrote them.
//
// The list builders fill the item list of a drop-down or list box. Each says whether it clears the list
// first; the list index of an item is the number the program line stores.
#include <array>
#include <string>
#include <vector>

#include "project/system_map_tree.h"

namespace project {

class NameTable {
 public:
  static constexpr int Size = 5000;
  // A rebuild writes positions 0..4998 at most; position 4999 is never written.
  static constexpr int LastWritten = Size - 2;

  NameTable() : Names(Size) {}

  // Out-of-range positions read as empty.
  const std::string& At(int position) const;
  // The model word at position 0 names the touch-screen model (the tree's IsTouchController after every
  // rebuild, which every model change makes).
  bool IsTouchController() const { return Names[0] == "Tessaro"; }

  std::vector<std::string> Names;
  std::array<int, ModuleSlotCount + 1> ModuleSlotIndex{};  // entry 0 unused
};

// The program's one table.
NameTable& SharedNameTable();

// Rebuilds `table` from `tree`.
void RefreshNameTable(const SystemMapTree& tree, NameTable& table = SharedNameTable());

// Clears; the 128 variable names (index = variable number).
void FillVariableList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// Keeps the list; appends "Data for Module# 0" .. "Data for Module# 127".
void AddModuleDataItems(std::vector<std::string>& items);
// Clears; the 64 timer names.
void FillTimerList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// Clears; the 1024 IR code names.
void FillIrList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// Clears; the 256 X10 unit names (index = 16 x house + unit - 1).
void FillX10UnitList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// On the touch-screen model: clears, then the 256 touch object names. On the smaller model the list is
// left exactly as it was.
void FillTouchObjectList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// Clears; "No Icon", then the names of icons 1..199 (200 items, index = icon number).
void FillIconList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// Clears; the 126 slot texts (index = module number - 1).
void FillModuleList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// Clears; the controller's model word, then the 126 slot texts (index = module number, 0 = controller).
void FillControllerModuleList(std::vector<std::string>& items, const NameTable& table = SharedNameTable());
// Clears; the names of points first..last of module slot k (nothing when first > last); stops at the
// table's end.
void FillModulePointList(std::vector<std::string>& items, int module, int last, int first,
                         const NameTable& table = SharedNameTable());

}  // namespace project
