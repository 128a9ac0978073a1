#include "controls/link_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "controls/exceptions.h"
#include "tk/exception.h"

namespace {

using namespace controls;
using Node = TVxDoubleLinkNode;

// Items are small integers disguised as pointers, so the pointer order is the numeric order.
void* P(std::intptr_t value) { return reinterpret_cast<void*>(value); }
std::intptr_t V(const void* item) { return reinterpret_cast<std::intptr_t>(item); }

template <class F>
std::string ErrorOf(F&& action) {
  try {
    action();
  } catch (const tk::Exception& e) {
    return e.Message();
  }
  return "";
}

std::vector<std::intptr_t> Walk(const TVxDoubleLinkManager& list) {
  std::vector<std::intptr_t> values;
  for (Node* node = list.First(); node; node = list.GetNext(node)) values.push_back(V(node->Item));
  return values;
}

// Every position through GetNode, in an order that moves the cached node about.
// Even indexes forward and odd ones backward; then every index again in a scattered order (a node that
// disagrees reads as -1), so that sorted lists start from their rovers too.
template <class List>
std::vector<std::intptr_t> ByIndex(const List& list) {
  const int n = list.Count();
  std::vector<std::intptr_t> values(static_cast<std::size_t>(n));
  for (int i = 0; i < n; i += 2) values[static_cast<std::size_t>(i)] = V(list.GetNode(i)->Item);
  for (int i = (n - 2) | 1; i > 0; i -= 2) values[static_cast<std::size_t>(i)] = V(list.GetNode(i)->Item);
  for (int k = 0; k < n; ++k) {
    const auto i = static_cast<std::size_t>(static_cast<long long>(k) * 7919 % n);
    if (V(list.GetNode(static_cast<int>(i))->Item) != values[i]) values[i] = -1;
  }
  return values;
}

// Each rover knows its node's index, and they run in order.
void ExpectRoversInPlace(const TVxSortedDoubleLinkManager& list) {
  int previous = -1;
  for (const auto& rover : list.Rovers()) {
    EXPECT_EQ(rover.Node, list.GetNode(rover.Index)) << rover.Index;
    EXPECT_GT(rover.Index, previous);
    previous = rover.Index;
  }
}

Node* NodeAt(const TVxDoubleLinkManager& list, int index) {
  Node* node = list.First();
  while (index-- > 0) node = list.GetNext(node);
  return node;
}

int CompareValues(Node* a, Node* b, int) { return V(a->Item) < V(b->Item) ? -1 : (V(a->Item) > V(b->Item) ? 1 : 0); }

TEST(DoubleLinkManager, InsertsAtEitherEndAndAroundANode) {
  TVxLinkedNode<1> a(P(1)), b(P(2)), c(P(3)), d(P(4)), e(P(5));
  TVxDoubleLinkManager list(0);
  list.SetLast(&c);
  list.SetFirst(&a);
  list.InsertAfter(&e, &c);
  list.InsertBefore(&d, &e);
  list.InsertAfter(&b, &a);
  EXPECT_EQ(Walk(list), (std::vector<std::intptr_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(ByIndex(list), Walk(list));
  EXPECT_EQ(list.GetPrev(&a), nullptr);
  EXPECT_EQ(list.GetNext(&e), nullptr);
  EXPECT_EQ(ErrorOf([&] { list.InsertAfter(&c, &e); }), "Duplicate item");
}

TEST(DoubleLinkManager, PositionsStayRightAsTheCachedNodeSurvivesDeletions) {
  std::vector<std::unique_ptr<TVxLinkedNode<1>>> nodes;
  TVxDoubleLinkManager list(0);
  std::vector<std::intptr_t> model;
  for (int i = 0; i < 40; ++i) {
    nodes.push_back(std::make_unique<TVxLinkedNode<1>>(P(i)));
    list.SetLast(nodes.back().get());
    model.push_back(i);
  }
  // First, last and middle nodes, with the cache on the node, before it and after it; -1 is the last.
  struct Case {
    int Deleted, Cached;
  } cases[] = {{0, 0}, {0, 20}, {-1, -1}, {-1, 3}, {-1, 30}, {17, 17}, {17, 5}, {17, 25}, {1, 0}};
  for (const Case& c : cases) {
    const int last = static_cast<int>(model.size()) - 1;
    const int deleted = c.Deleted < 0 ? last : c.Deleted;
    list.GetNode(c.Cached < 0 ? last : c.Cached);
    list.DeleteNode(NodeAt(list, deleted));
    model.erase(model.begin() + deleted);
    // Next to the old cached place first, where a stale cache would be the nearest start.
    const int near = std::clamp(c.Cached < 0 ? last : c.Cached, 1, static_cast<int>(model.size()) - 2);
    ASSERT_EQ(V(list.GetNode(near)->Item), model[static_cast<std::size_t>(near)]) << c.Deleted << " " << c.Cached;
    ASSERT_EQ(ByIndex(list), model);
    ASSERT_EQ(Walk(list), model);
  }
}

TEST(DoubleLinkManager, OutOfRangePositionsAndStrangersRaise) {
  TVxDoubleLinkManager list(0);
  TVxLinkedNode<1> only(P(1)), stranger(P(2));
  EXPECT_EQ(ErrorOf([&] { list.GetNode(0); }), "Node index out of bounds");
  list.SetFirst(&only);
  for (int index : {-1, 1}) EXPECT_EQ(ErrorOf([&] { list.GetNode(index); }), "Node index out of bounds");
  EXPECT_EQ(ErrorOf([&] { list.DeleteNode(&stranger); }), "Node not found");
  list.DeleteNode(&only);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
  list.SetLast(&only);  // a deleted node can come back
  EXPECT_EQ(list.Count(), 1);
}

TEST(DoubleLinkManager, OneNodeSitsInTwoListsThroughItsTwoLinkPairs) {
  TVxLinkedNode<2> a(P(1)), b(P(2)), c(P(3));
  TVxDoubleLinkManager forward(0), backward(1);
  for (Node* n : {static_cast<Node*>(&a), static_cast<Node*>(&b), static_cast<Node*>(&c)}) {
    forward.SetLast(n);
    backward.SetFirst(n);
  }
  forward.DeleteNode(&b);
  EXPECT_EQ(Walk(forward), (std::vector<std::intptr_t>{1, 3}));
  EXPECT_EQ(Walk(backward), (std::vector<std::intptr_t>{3, 2, 1}));
}

TEST(SortedDoubleLinkManager, SmallListsUseNoRovers) {
  for (int count : {0, 1, 2, 3}) {
    TVxSortedDoubleLinkManager list(32, 0, CompareValues, 0);
    std::vector<std::unique_ptr<TVxLinkedNode<1>>> nodes;
    for (int i = 0; i < count; ++i) {
      nodes.push_back(std::make_unique<TVxLinkedNode<1>>(P(i)));
      list.Insert(nodes.back().get());
    }
    list.Balance();
    EXPECT_EQ(list.Rovers().size(), count == 3 ? 1u : 0u) << count;
  }
}

TEST(SortedDoubleLinkManager, AnEqualNodeGoesAfterOneARoverFindsElseBefore) {
  TVxLinkedNode<1> n10(P(10)), n20(P(20)), n30(P(30)), n40(P(40)), n50(P(50)), second20(P(20)), second30(P(30));
  TVxSortedDoubleLinkManager list(32, 0, CompareValues, 0);
  for (Node* n : {&n30, &n10, &n50, &n20, &n40}) list.Insert(static_cast<Node*>(n));
  list.Insert(&second30);  // no rovers yet: a walk from the first node stops before the equal one
  EXPECT_EQ(list.GetNext(&second30), &n30);

  list.DeleteNode(&second30);  // deleting balances: rovers on 20 and 40
  ASSERT_EQ(list.Rovers().size(), 2u);
  EXPECT_EQ(list.Rovers()[0].Node, &n20);
  list.Insert(&second20);
  EXPECT_EQ(list.GetPrev(&second20), &n20);
  list.Insert(&second30);  // met by the walk back from the rover on 40
  EXPECT_EQ(list.GetPrev(&second30), &n30);
  ExpectRoversInPlace(list);
}

TEST(SortedDoubleLinkManager, MisuseRaisesTheLibraryTexts) {
  TVxLinkedNode<1> a(P(1)), b(P(2));
  EXPECT_EQ(ErrorOf([] { TVxSortedDoubleLinkManager(513, 0, CompareValues, 0); }), "Too many key rovers requested");
  TVxSortedDoubleLinkManager list(512, 0, CompareValues, 0);
  list.Insert(&a);
  EXPECT_EQ(ErrorOf([&] { list.Insert(&a); }), "Duplicate item");
  EXPECT_EQ(ErrorOf([&] { list.DeleteNode(&b); }), "Node not found");
  list.Compare = nullptr;
  EXPECT_EQ(ErrorOf([&] { list.Insert(&b); }), "Compare not assigned");
  EXPECT_EQ(list.Count(), 1);
}

// Random insertions and deletions of values with many repeats, against a sorted model.
TEST(SortedDoubleLinkManager, KeepsOrderPositionsAndRoversThroughManyChanges) {
  for (int maxRovers : {0, 3, 32}) {
    std::mt19937 random(7);
    TVxSortedDoubleLinkManager list(maxRovers, 0, CompareValues, 0);
    std::vector<std::unique_ptr<TVxLinkedNode<1>>> nodes;
    std::multiset<std::intptr_t> model;
    for (int step = 0; step < 1500; ++step) {
      if (nodes.empty() || random() % 3 != 0) {
        nodes.push_back(std::make_unique<TVxLinkedNode<1>>(P(random() % 200)));
        list.Insert(nodes.back().get());
        model.insert(V(nodes.back()->Item));
      } else {
        const std::size_t victim = random() % nodes.size();
        list.DeleteNode(nodes[victim].get());
        model.erase(model.find(V(nodes[victim]->Item)));
        nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(victim));
      }
      if (step % 97 == 0 || step == 1499) {
        const std::vector<std::intptr_t> expected(model.begin(), model.end());
        ASSERT_EQ(Walk(list), expected);
        ASSERT_EQ(ByIndex(list), expected);
        ExpectRoversInPlace(list);
        for (int probe : {-1, 0, 57, 199, 200}) {
          TVxLinkedNode<1> sought(P(probe));
          const int index = list.FindIndex(&sought);
          if (model.count(probe)) {
            ASSERT_GE(index, 0) << probe;
            EXPECT_EQ(expected[static_cast<std::size_t>(index)], probe);
          } else {
            EXPECT_EQ(index, -1) << probe;
          }
        }
      }
    }
    list.Balance();
    EXPECT_EQ(static_cast<int>(list.Rovers().size()), std::min((list.Count() - 1) / 2, maxRovers));
    ExpectRoversInPlace(list);
  }
}

TEST(PoolManager, ItemsPerPageFollowFromTheRoundedSize) {
  struct Case {
    int Requested, Size, PerPage;
  } cases[] = {{1, 8, 511}, {12, 16, 255}, {40, 40, 102}, {41, 48, 85}, {4092, 4096, 1}};
  for (const Case& c : cases) {
    TVxPoolManager pool(c.Requested);
    EXPECT_EQ(pool.ItemSize(), c.Size) << c.Requested;
    EXPECT_EQ(pool.ItemsPerPage(), c.PerPage) << c.Requested;
    int misaligned = 0;
    for (int i = 0; i <= c.PerPage; ++i) misaligned += reinterpret_cast<std::uintptr_t>(pool.NewItem()) % 8 != 0;
    EXPECT_EQ(misaligned, 0) << c.Requested;
    EXPECT_EQ(pool.PageCount(), 2) << c.Requested;
  }
  EXPECT_EQ(ErrorOf([] { TVxPoolManager(4093); }), "PoolManager does not support items > 4K");
}

TEST(PoolManager, ReturnedItemsAreReusedLastFirstAndClearFreesThePages) {
  TVxPoolManager pool(16);
  void* a = pool.NewItem();
  void* b = pool.NewItem();
  EXPECT_NE(a, b);
  pool.DeleteItem(a);
  pool.DeleteItem(b);
  EXPECT_EQ(pool.NewItem(), b);
  EXPECT_EQ(pool.NewItem(), a);
  pool.Clear();
  EXPECT_EQ(pool.PageCount(), 0);
  pool.NewItem();
  EXPECT_EQ(pool.PageCount(), 1);
}

TEST(List, KeepsItemsInPointerOrderWithTheirUserData) {
  TVxList list(false);
  for (int v : {30, 10, 20}) list.AddObject(P(v), P(v + 1));
  EXPECT_EQ(V(list.GetItems(0)), 10);
  EXPECT_EQ(V(list.GetUserData(2)), 31);
  EXPECT_EQ(list.IndexOf(P(20)), 1);
  EXPECT_EQ(list.IndexOf(P(25)), -1);
  EXPECT_EQ(list.AddIfUnique(P(20)), nullptr);
  ASSERT_NE(list.AddIfUnique(P(25)), nullptr);
  list.SetAllUserData(P(7));
  list.SetUserData(0, P(8));
  EXPECT_EQ(V(list.GetUserData(0)), 8);
  EXPECT_EQ(V(list.GetNode(3)->UserData), 7);
  list.Delete(1);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(V(list.GetItems(1)), 25);
  EXPECT_EQ(ErrorOf([&] { list.GetItems(3); }), "Node index out of bounds");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Add(P(5));
  EXPECT_EQ(V(list.GetItems(0)), 5);
}

TEST(List, TheSameItemTwiceIsListedAndDeletedTwice) {
  TVxList list(false);
  for (int v : {1, 2, 3, 2, 4}) list.Add(P(v));
  list.Delete(2);  // the second of the two 2s
  list.Delete(1);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.IndexOf(P(2)), -1);
}

struct Person {
  std::string Name;
  int Age;
};

int ComparePeople(int key, void* a, void* b) {
  const auto* x = static_cast<Person*>(a);
  const auto* y = static_cast<Person*>(b);
  if (key == 0) return x->Name.compare(y->Name);
  return x->Age - y->Age;
}

std::vector<std::string> Names(const TVxSortedList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(static_cast<Person*>(list.GetItems(i))->Name);
  return names;
}

TEST(SortedList, ShowsItsItemsInTheCurrentKeysOrder) {
  Person ann{"Ann", 40}, bob{"Bob", 20}, cid{"Cid", 30}, dee{"Dee", 20};
  TVxSortedList list(2, ComparePeople, false);
  for (Person* p : {&cid, &ann, &dee, &bob}) list.AddObject(p, &p->Age);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Ann", "Bob", "Cid", "Dee"}));
  list.SetCurrentKey(1);
  const auto byAge = Names(list);
  EXPECT_EQ(std::vector<std::string>(byAge.begin() + 2, byAge.end()), (std::vector<std::string>{"Cid", "Ann"}));
  EXPECT_EQ(list.IndexOf(&ann), 3);
  EXPECT_EQ(list.GetUserData(3), &ann.Age);
  Person twenty{"", 20}, fifty{"", 50};
  EXPECT_LT(list.IndexOfValue(&twenty), 2);
  EXPECT_EQ(list.IndexOfValue(&fifty), -1);
  EXPECT_EQ(list.IndexOf(&twenty), -1);  // an equal key is not the same item
  list.Delete(3);                        // Ann, by age
  list.SetCurrentKey(0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Bob", "Cid", "Dee"}));
  list.SetCurrentKey(-1);
  EXPECT_EQ(list.IndexOf(&ann), -1);
}

TEST(SortedList, MisuseRaisesTheLibraryTexts) {
  EXPECT_EQ(ErrorOf([] { TVxSortedList(65, ComparePeople, false); }), "Too many keys in list");
  TVxSortedList list(2, ComparePeople, false);
  for (int key : {-2, 2}) EXPECT_EQ(ErrorOf([&] { list.SetCurrentKey(key); }), "Key number out of range");
  Person ann{"Ann", 1};
  list.Add(&ann);
  for (int index : {-1, 1}) EXPECT_EQ(ErrorOf([&] { list.Delete(index); }), "List index out of bounds");
}

TEST(SortedList, AnItemTheComparisonRefusesLeavesNoTrace) {
  Person ann{"Ann", 1}, bob{"Bob", 2};
  TVxSortedList list(
      2,
      [](int key, void* a, void* b) -> int {
        if (key == 1) throw EVxException("OnCompareNodes not assigned");
        return ComparePeople(key, a, b);
      },
      false);
  list.Add(&ann);  // one item needs no comparison
  EXPECT_EQ(ErrorOf([&] { list.Add(&bob); }), "OnCompareNodes not assigned");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.IndexOf(&bob), -1);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(SortedList, ALargeListStaysInOrderThroughAdditionsAndDeletions) {
  std::vector<Person> people(600);
  std::mt19937 random(11);
  for (std::size_t i = 0; i < people.size(); ++i) people[i] = {std::to_string(random() % 100000), int(random() % 50)};
  TVxSortedList list(2, ComparePeople, true);
  for (Person& p : people) list.Add(&p);
  for (int i = 0; i < 200; ++i) list.Delete(static_cast<int>(random() % static_cast<unsigned>(list.Count())));
  for (int key : {0, 1}) {
    list.SetCurrentKey(key);
    for (int i = 1; i < list.Count(); ++i)
      ASSERT_LE(ComparePeople(key, list.GetItems(i - 1), list.GetItems(i)), 0) << key << " at " << i;
    for (int i = 0; i < list.Count(); i += 37) EXPECT_EQ(list.IndexOf(list.GetItems(i)), i);
  }
  EXPECT_EQ(list.Count(), 400);
}

TEST(LiteCache, NothingIsKeptWithoutCapacity) {
  TVxLiteCache<int> cache(0);
  cache.AddValue(1, 10);
  int value = 0;
  EXPECT_FALSE(cache.GetValue(1, value));
}

TEST(LiteCache, AFullCacheForgetsItsOldestInsertionReadOrNot) {
  std::vector<int> discarded;  // outlives the cache, whose destruction notifies too
  TVxLiteCache<int> cache(3);
  cache.OnRemove = [&](int& v) { discarded.push_back(v); };
  for (int key : {1, 2, 3}) cache.AddValue(key, key * 10);
  int value = 0;
  EXPECT_TRUE(cache.GetValue(1, value));
  EXPECT_EQ(value, 10);
  cache.AddValue(4, 40);
  cache.AddValue(5, 50);
  EXPECT_EQ(discarded, (std::vector<int>{10, 20}));
  EXPECT_FALSE(cache.GetValue(1, value));
  EXPECT_TRUE(cache.GetValue(3, value));
}

TEST(LiteCache, ARemovedSlotIsReusedBeforeAnyLiveOne) {
  std::vector<int> discarded;  // outlives the cache, whose destruction notifies too
  TVxLiteCache<int> cache(3);
  cache.OnRemove = [&](int& v) { discarded.push_back(v); };
  for (int key : {1, 2, 3}) cache.AddValue(key, key * 10);
  cache.RemoveValue(3);
  int value = 0;
  EXPECT_FALSE(cache.GetValue(3, value));
  cache.AddValue(4, 40);
  EXPECT_EQ(discarded, (std::vector<int>{30}));
  EXPECT_TRUE(cache.GetValue(1, value));
  cache.RemoveValue(2);
  cache.Clear();  // live and removed alike
  EXPECT_EQ(discarded, (std::vector<int>{30, 10, 20, 40}));
  EXPECT_EQ(cache.Used(), 0);
}

TEST(LiteCache, TheFirstLiveSlotAnswersForARepeatedKey) {
  TVxLiteStringCache cache(4);
  cache.AddValue(7, "old");
  cache.AddValue(7, "new");
  std::string s;
  ASSERT_TRUE(cache.GetValue(7, s));
  EXPECT_EQ(s, "old");
  cache.RemoveValue(7);
  ASSERT_TRUE(cache.GetValue(7, s));
  EXPECT_EQ(s, "new");
}

TEST(FastList, CapacityGrowsByFourSixteenOrAQuarter) {
  TVxFastList list;
  std::vector<int> capacities;
  for (int i = 0; i < 100; ++i) {
    list.Add(P(i));
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
}

TEST(FastList, BadArgumentsRaiseListErrorsNamingTheArgument) {
  TVxFastList list;
  list.Add(P(1));
  struct Case {
    std::function<void()> Action;
    const char* Message;
  } cases[] = {
      {[&] { list.Get(1); }, "List index out of bounds:1"},
      {[&] { list.Put(-1, nullptr); }, "List index out of bounds:-1"},
      {[&] { list.Delete(5); }, "List index out of bounds:5"},
      {[&] { list.SetCapacity(0); }, "Invalid list capacity:0"},
      {[&] { list.SetCapacity(TVxFastList::MaxListSize); }, "Invalid list capacity:134217728"},
      {[&] { list.SetCount(-1); }, "Invalid list count:-1"},
  };
  for (const Case& c : cases) {
    try {
      c.Action();
      ADD_FAILURE() << c.Message;
    } catch (const tk::EListError& e) {
      EXPECT_EQ(e.Message(), c.Message);
    }
  }
  EXPECT_EQ(list.Count(), 1);
}

TEST(FastList, DeletesShiftSearchesRunBackwardAndNewSlotsAreNil) {
  TVxFastList list;
  for (int v : {1, 2, 3, 2}) list.Add(P(v));
  EXPECT_EQ(list.IndexOf(P(2)), 3);
  EXPECT_EQ(list.IndexOf(P(9)), -1);
  list.Delete(0);
  EXPECT_EQ(V(list.Get(0)), 2);
  list.SetCount(1);
  list.SetCount(3);
  EXPECT_EQ(list.Get(2), nullptr);
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(DataList, ItemsAndUserDataMoveTogether) {
  TVxDataList list;
  EXPECT_EQ(list.Add(P(1)), 0);
  EXPECT_EQ(list.AddObject(P(2), P(20)), 1);
  list.AddIfUnique(P(1));
  list.AddIfUnique(P(3));
  EXPECT_EQ(list.Count(), 3);
  list.Delete(0);
  EXPECT_EQ(V(list.Items(0)), 2);
  EXPECT_EQ(V(list.UserData(0)), 20);
  EXPECT_EQ(list.UserData(1), nullptr);
  list.SetAllUserData(P(9));
  EXPECT_EQ(V(list.UserData(1)), 9);
  EXPECT_EQ(list.IndexOf(P(3)), 1);
}

}  // namespace
