// The name table is rebuilt on every selection change and the first hover after an edit; the largest
// tree (the touch-screen model with a slave Tessaro in every slot) must stay quick to rebuild, to read and
// to write.
#include <benchmark/benchmark.h>

#include "project/name_table.h"
#include "project/system_map_tree.h"

namespace {

project::SystemMapTree LargestTree() {
  project::SystemMapTree tree = project::SystemMapTree::Default();
  tree.ChangeToTessaro();
  for (int slot = 1; slot <= project::ModuleSlotCount; ++slot)
    tree.AddModule(tree.PositionOf(tree.Root()->Child(slot)), project::ModuleType::SlaveTessaro);
  return tree;
}

void RefreshLargestTree(benchmark::State& state) {
  project::SystemMapTree tree = LargestTree();
  project::NameTable table;
  for (auto _ : state) {
    project::RefreshNameTable(tree, table);
    benchmark::DoNotOptimize(table.ModuleSlotIndex[8]);
  }
}
BENCHMARK(RefreshLargestTree)->Unit(benchmark::kMicrosecond);

void WriteLargestPrj(benchmark::State& state) {
  project::SystemMapTree tree = LargestTree();
  for (auto _ : state) benchmark::DoNotOptimize(tree.ToText());
}
BENCHMARK(WriteLargestPrj)->Unit(benchmark::kMillisecond);

void ParseLargestPrj(benchmark::State& state) {
  const std::string text = LargestTree().ToText();
  for (auto _ : state) {
    auto result = project::SystemMapTree::Parse(text);
    if (!result.Tree) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(result.Tree->Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(ParseLargestPrj)->Unit(benchmark::kMillisecond);

void AddModuleToLargestTree(benchmark::State& state) {
  project::SystemMapTree tree = LargestTree();
  const int slot1 = tree.LastLocalIndex() + 1;
  for (auto _ : state) tree.AddModule(slot1, project::ModuleType::SlaveTessaro);
}
BENCHMARK(AddModuleToLargestTree)->Unit(benchmark::kMicrosecond);

}  // namespace
