#pragma once
// A project with one module of every type and a store to compose lines in, for the line codec tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "program/line_codec.h"
#include "project/name_table.h"
#include "project/system_map_tree.h"
#include "support/scripted_ui.h"

namespace program_test {

// Module slots of the test project (empty slots from 13 on).
enum Slot : int {
  Kado16 = 1,
  Kado16I = 2,
  Kado16Ir = 3,
  Pelko = 4,
  Murmex = 5,
  LurcanT = 6,
  LurcanA = 7,
  LurcanC = 8,
  SlaveMarvik = 9,
  SlaveTessaro = 10,
  LurcanH = 11,
  LurcanL = 12,
  EmptySlot = 13,
};

inline std::uint16_t W0(int function, int kind, int sub = 0) {
  return static_cast<std::uint16_t>(function << 10 | kind << 5 | sub);
}

class LineCodecTest : public ::testing::Test {
 protected:
  explicit LineCodecTest(bool touch = false) {
    using project::ModuleType;
    if (touch) tree.ChangeToTessaro();
    const int first = tree.LastLocalIndex() + 1;
    // Highest slot first, so that the positions of the lower, still empty slots do not move.
    const std::pair<int, ModuleType> modules[] = {
        {LurcanL, ModuleType::LurcanL},
        {LurcanH, ModuleType::LurcanH},
        {SlaveTessaro, ModuleType::SlaveTessaro},
        {SlaveMarvik, ModuleType::SlaveMarvik},
        {LurcanC, ModuleType::LurcanC},
        {LurcanA, ModuleType::LurcanA},
        {LurcanT, ModuleType::LurcanT},
        {Murmex, ModuleType::Murmex},
        {Pelko, ModuleType::Pelko},
        {Kado16Ir, ModuleType::Kado16Ir},
        {Kado16I, ModuleType::Kado16I},
        {Kado16, ModuleType::Kado16},
    };
    for (const auto& [slot, type] : modules) tree.AddModule(first + slot - 1, type);
    project::RefreshNameTable(tree, names);
  }

  // Puts a record at `line` and makes it the current line.
  void Put(int line, std::uint16_t word0, std::uint16_t arg, std::uint16_t value) {
    store.Lines[line] = ProgramLine{word0, arg, value};
    store.CurrentLine = static_cast<std::int16_t>(line);
  }
  ProgramLine At(int line) const { return store.Lines[line]; }
  std::string Render(int line) { return codec.RenderLine(line).value_or("<unchanged>"); }
  testing_support::ScriptedUi& Ui() { return testing_support::TestUi(); }

  project::SystemMapTree tree = project::SystemMapTree::Default();
  project::NameTable names;
  std::unique_ptr<ProgramStore> owned = std::make_unique<ProgramStore>();
  ProgramStore& store = *owned;
  program::LineCodec codec{store, names};
};

class TouchLineCodecTest : public LineCodecTest {
 protected:
  TouchLineCodecTest() : LineCodecTest(true) {}
};

}  // namespace program_test
