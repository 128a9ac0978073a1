// Per-operation figures for the containers the table and the outline keep their data in: the sparse array
// at random positions over its whole index range, and a sorted list of 100,000 items.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "controls/link_lists.h"
#include "controls/sparse_array.h"

namespace {

using namespace controls;

constexpr int kMax = TVxSparseArray::MaxEntries;

void* P(std::intptr_t value) { return reinterpret_cast<void*>(value); }

// An array with one entry in every 4 over the whole range: 80,000 pointers in 10,000 pages.
void FillQuarter(TVxSparseArray& array) {
  for (int i = 0; i < kMax; i += 4) array.PutItem(i, P(i + 1));
}

std::vector<int> RandomIndexes(int count, int limit) {
  std::mt19937 random(1);
  std::vector<int> indexes(static_cast<std::size_t>(count));
  for (int& i : indexes) i = static_cast<int>(random() % static_cast<unsigned>(limit));
  return indexes;
}

void BM_SparsePut(benchmark::State& state) {
  TVxSparseArray array;
  FillQuarter(array);
  const std::vector<int> at = RandomIndexes(4096, kMax);
  std::size_t n = 0;
  for (auto _ : state) {
    const int index = at[n++ % at.size()];
    array.PutItem(index, P(index + 7));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SparsePut)->Unit(benchmark::kNanosecond);

void BM_SparseGet(benchmark::State& state) {
  TVxSparseArray array;
  FillQuarter(array);
  const std::vector<int> at = RandomIndexes(4096, kMax);
  std::size_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(array.GetItem(at[n++ % at.size()]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SparseGet)->Unit(benchmark::kNanosecond);

// An insert and a delete at the same random position, so the array keeps its size.
void BM_SparseInsertDelete(benchmark::State& state) {
  TVxSparseArray array;
  FillQuarter(array);
  const int limit = static_cast<int>(state.range(0));
  const std::vector<int> at = RandomIndexes(4096, limit);
  std::size_t n = 0;
  for (auto _ : state) {
    const int index = at[n++ % at.size()];
    array.Insert(index, P(3));
    array.Delete(index);
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
// Over the whole range, and near the front of the array, where every later page moves.
BENCHMARK(BM_SparseInsertDelete)->Arg(kMax - 1)->Arg(64)->Unit(benchmark::kMicrosecond);

int CompareValues(int, void* a, void* b) {
  const auto x = reinterpret_cast<std::intptr_t>(a), y = reinterpret_cast<std::intptr_t>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// Items are small numbers posing as pointers, sorted by value under the one key.
void BM_SortedListInsert(benchmark::State& state) {
  const std::vector<int> values = RandomIndexes(100000, 1 << 30);
  for (auto _ : state) {
    TVxSortedList list(1, CompareValues, true);
    for (int v : values) list.Add(P(v + 1));
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_SortedListInsert)->Unit(benchmark::kMillisecond);

void BM_SortedListFind(benchmark::State& state) {
  const std::vector<int> values = RandomIndexes(100000, 1 << 30);
  TVxSortedList list(1, CompareValues, true);
  for (int v : values) list.Add(P(v + 1));
  std::size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.IndexOfValue(P(values[n % values.size()] + 1)));
    benchmark::DoNotOptimize(list.GetItems(static_cast<int>(n * 7919 % values.size())));
    ++n;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SortedListFind)->Unit(benchmark::kNanosecond);

}  // namespace
