#include "controls/sparse_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "controls/exceptions.h"

namespace {

using controls::TVxSparseArray;

void* P(std::intptr_t value) { return reinterpret_cast<void*>(value); }

// The whole array below `size` as plain numbers (0 for nil).
std::vector<std::intptr_t> Dump(const TVxSparseArray& array, int size) {
  std::vector<std::intptr_t> values;
  for (int i = 0; i < size; ++i) values.push_back(reinterpret_cast<std::intptr_t>(array.GetItem(i)));
  return values;
}

TEST(SparseArray, OnlyPagesHoldingAPointerExist) {
  TVxSparseArray array;
  EXPECT_EQ(array.Count(), 0);
  EXPECT_EQ(array.First(), nullptr);
  EXPECT_EQ(array.Last(), nullptr);
  array.PutItem(5, nullptr);  // nil never makes a page
  EXPECT_EQ(array.PageCount(), 0);
  array.PutItem(3, P(1));
  array.PutItem(100, P(2));
  array.PutItem(101, P(3));
  EXPECT_EQ(array.PageCount(), 2);
  EXPECT_EQ(array.Count(), 102);
  EXPECT_EQ(array.ActiveCount(), 3);
  EXPECT_EQ(array.GetItem(50), nullptr);
  array.PutItem(101, nullptr);
  EXPECT_EQ(array.Count(), 101);
  array.PutItem(100, nullptr);  // the page's only pointer
  EXPECT_EQ(array.PageCount(), 1);
  EXPECT_EQ(array.Count(), 4);
  EXPECT_EQ(array.ActiveCount(), 1);
  array.Clear();
  EXPECT_EQ(array.PageCount(), 0);
  EXPECT_EQ(array.Count(), 0);
  EXPECT_EQ(array.ActiveCount(), 0);
}

TEST(SparseArray, IndexesOutsideTheArrayRaise) {
  TVxSparseArray array;
  array.PutItem(TVxSparseArray::MaxEntries - 1, P(1));
  for (int index : {-1, TVxSparseArray::MaxEntries}) {
    try {
      array.GetItem(index);
      ADD_FAILURE() << index;
    } catch (const controls::ESAEOutOfBounds& e) {
      EXPECT_EQ(e.Message(), "Index is out of bounds for sparse array");
    }
    EXPECT_THROW(array.PutItem(index, P(1)), controls::ESAEOutOfBounds);
    EXPECT_THROW(array.Insert(index, P(1)), controls::ESparseArrayError);
    EXPECT_THROW(array.Delete(index), controls::ESAEOutOfBounds);
  }
}

TEST(SparseArray, AFullArrayTakesNoMore) {
  TVxSparseArray array;
  array.PutItem(TVxSparseArray::MaxEntries - 2, P(1));
  EXPECT_EQ(array.Add(P(2)), TVxSparseArray::MaxEntries - 1);
  try {
    array.Add(P(3));
    ADD_FAILURE();
  } catch (const controls::ESAEAtMaxSize& e) {
    EXPECT_EQ(e.Message(), "Sparse array is at the maximum size");
  }
  EXPECT_THROW(array.Insert(0, P(3)), controls::ESAEAtMaxSize);
  EXPECT_EQ(array.ActiveCount(), 2);
}

TEST(SparseArray, DeletingPullsLaterPagesDownAcrossGaps) {
  TVxSparseArray array;
  array.PutItem(0, P(1));
  array.PutItem(64, P(2));
  array.Delete(0);
  EXPECT_EQ(array.GetItem(63), P(2));
  EXPECT_EQ(array.PageCount(), 1);
  EXPECT_EQ(array.Count(), 64);
  array.Delete(500);  // beyond Count
  EXPECT_EQ(array.Count(), 64);
}

TEST(SparseArray, InsertingPushesEveryLaterEntryUpEvenPastANilTopSlot) {
  TVxSparseArray array;
  array.PutItem(0, P(1));
  array.PutItem(40, P(2));
  array.PutItem(200, P(3));
  array.Insert(0, P(9));
  EXPECT_EQ(Dump(array, 3), (std::vector<std::intptr_t>{9, 1, 0}));
  EXPECT_EQ(array.GetItem(41), P(2));
  EXPECT_EQ(array.GetItem(201), P(3));
  EXPECT_EQ(array.Count(), 202);
  array.Insert(300, P(4));  // beyond Count: a plain store
  EXPECT_EQ(array.Count(), 301);
  EXPECT_EQ(array.ActiveCount(), 5);
}

// Random stores, insertions, deletions and exchanges near page edges, against a plain vector.
TEST(SparseArray, BehavesLikeAPlainArray) {
  std::mt19937 random(3);
  TVxSparseArray array;
  std::vector<std::intptr_t> model(400, 0);
  auto pick = [&] { return static_cast<int>(random() % 300); };
  for (int step = 0; step < 3000; ++step) {
    const int index = pick();
    const std::intptr_t value = random() % 4 == 0 ? 0 : static_cast<std::intptr_t>(random() % 50 + 1);
    switch (random() % 4) {
      case 0:
        array.PutItem(index, P(value));
        model[static_cast<std::size_t>(index)] = value;
        break;
      case 1:
        array.Insert(index, P(value));
        model.insert(model.begin() + index, value);
        model.pop_back();
        break;
      case 2:
        array.Delete(index);
        model.erase(model.begin() + index);
        model.push_back(0);
        break;
      default: {
        const int other = pick();
        array.Exchange(index, other);
        std::swap(model[static_cast<std::size_t>(index)], model[static_cast<std::size_t>(other)]);
      }
    }
    ASSERT_EQ(model.back(), 0) << "the test's model overflowed";
    if (step % 50 == 0) {
      ASSERT_EQ(Dump(array, 400), model) << step;
      int count = 0;
      int active = 0;
      for (std::size_t i = 0; i < model.size(); ++i)
        if (model[i]) count = static_cast<int>(i) + 1, ++active;
      ASSERT_EQ(array.Count(), count);
      ASSERT_EQ(array.ActiveCount(), active);
    }
  }
}

TEST(SparseArray, SearchesAndWalksGoInIndexOrder) {
  TVxSparseArray array;
  for (int index : {70, 3, 40, 5}) array.PutItem(index, P(index == 40 ? 3 : index));
  EXPECT_EQ(array.IndexOf(P(3)), 40);  // the highest of two
  EXPECT_EQ(array.IndexOf(P(99)), -1);
  EXPECT_EQ(array.First(), P(3));
  EXPECT_EQ(array.Last(), P(70));
  for (bool backwards : {false, true}) {
    std::vector<int> seen;
    const int stopped = array.ForAll(
        [&](int index, void*) {
          seen.push_back(index);
          return index != 40;
        },
        backwards);
    EXPECT_EQ(stopped, 40);
    EXPECT_EQ(seen, backwards ? (std::vector<int>{70, 40}) : (std::vector<int>{3, 5, 40}));
  }
  EXPECT_EQ(array.ForAll([](int, void*) { return true; }, false), -1);
}

}  // namespace
