// Rendering a full listing: the editor renders all 4096 lines after every load.
#include <benchmark/benchmark.h>

#include <memory>

#include "program/line_codec.h"
#include "project/name_table.h"
#include "project/system_map_tree.h"

namespace {

std::uint16_t W0(int function, int kind, int sub = 0) {
  return static_cast<std::uint16_t>(function << 10 | kind << 5 | sub);
}

// A Tessaro project with modules of several types in the first slots.
std::unique_ptr<project::NameTable> Names() {
  using project::ModuleType;
  project::SystemMapTree tree = project::SystemMapTree::Default();
  tree.ChangeToTessaro();
  const int first = tree.LastLocalIndex() + 1;
  const ModuleType types[] = {ModuleType::Kado16,  ModuleType::Kado16I,     ModuleType::Kado16Ir,
                              ModuleType::Pelko,   ModuleType::Murmex,      ModuleType::LurcanT,
                              ModuleType::LurcanA, ModuleType::SlaveMarvik, ModuleType::SlaveTessaro};
  for (int slot = 9; slot >= 1; --slot) tree.AddModule(first + slot - 1, types[slot - 1]);
  auto names = std::make_unique<project::NameTable>();
  project::RefreshNameTable(tree, *names);
  return names;
}

// Lines of every kind, all within range so that no warning is raised.
std::unique_ptr<ProgramStore> FullProgram() {
  const ProgramLine mix[] = {
      {W0(0, 0), 0x0109, 3},     {W0(3, 1, 7), 0x8219, 4},  {W0(4, 2), 0x0312, 0},      {W0(0, 3), 0x0600, 95},
      {W0(0, 4, 4), 0x003F, 30}, {W0(0, 5, 2), 0x0083, 0},  {W0(0, 6), 1730, 0},        {W0(0, 6, 1), 0x4078, 0},
      {W0(0, 7, 3), 0, 12},      {W0(0, 8), 0, 15},         {W0(0, 9, 1), 0, 6},        {W0(0, 10, 3), 0x8000, 3},
      {W0(0, 11), 0, 426},       {W0(0, 13), 0x0003, 1023}, {W0(0, 14), 0x0205, 4},     {W0(0, 18), 0, 0},
      {W0(0, 25), 0, 17},        {W0(1, 0), 0x010A, 1},     {W0(1, 1), 0x0110, 5},      {W0(2, 2), 63, 0},
      {W0(1, 3), 0x2214, 0},     {W0(1, 4, 3), 0x8005, 10}, {W0(1, 5, 3), 0x8002, 200}, {W0(1, 6), 0, 1},
      {W0(1, 7), 3, 5},          {W0(1, 20), 0x0304, 100},  {W0(1, 13), 0x0002, 4},     {W0(2, 15), 0x0102, 15},
      {W0(1, 17), 0x0E0F, 1},    {W0(1, 19), 0x0003, 0},    {W0(1, 21), 0x8102, 2},     {W0(1, 22), 0x0001, 5},
      {W0(1, 23), 0x0507, 0},    {W0(1, 24), 0x8703, 9},
  };
  auto store = std::make_unique<ProgramStore>();
  const int count = static_cast<int>(std::size(mix));
  for (int n = 1; n < ProgramStore::kLastLine; ++n) store->Lines[n] = mix[n % count];
  store->Lines[ProgramStore::kLastLine] = ProgramLine::End();
  return store;
}

void RenderFullListing(benchmark::State& state) {
  auto names = Names();
  auto store = FullProgram();
  program::LineCodec codec(*store, *names);
  std::size_t characters = 0;
  for (auto _ : state) {
    for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
      std::optional<std::string> text = codec.RenderLine(n);
      if (!text) {
        state.SkipWithError("a line rendered no text");
        return;
      }
      characters += text->size();
    }
  }
  benchmark::DoNotOptimize(characters);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * ProgramStore::kLastLine);
}
BENCHMARK(RenderFullListing)->Unit(benchmark::kMillisecond);

// Opening one line in the wizard fills its panel's lists (the IR list has 1024 names).
void ShowLineWithLists(benchmark::State& state) {
  auto names = Names();
  auto store = FullProgram();
  program::LineCodec codec(*store, *names);
  for (auto _ : state) {
    for (int n = 1; n <= 34; ++n) benchmark::DoNotOptimize(codec.ShowProgramLine(n));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 34);
}
BENCHMARK(ShowLineWithLists)->Unit(benchmark::kMicrosecond);

}  // namespace
