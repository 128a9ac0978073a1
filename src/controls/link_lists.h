#pragma once
// The composite controls' containers: double-link lists whose links live inside caller-owned nodes (one node
// can sit in several lists), the sorted variant that finds positions and keys through evenly spaced "key
// rovers", a page pool for nodes, the pointer list and the multi-key sorted list built on them, a small cache
// that forgets its oldest entries, and a growable pointer array with its paired data list. None is a component.
// Items are caller-owned pointers; no container frees them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace controls {

// A list node, owned by whoever makes it. A list made for link index k links the node through Links[k], so
// a node with n pairs can sit in n lists at once; the maker provides the pairs.
struct TVxDoubleLinkNode {
  struct LinkPair {
    TVxDoubleLinkNode* Prev = nullptr;
    TVxDoubleLinkNode* Next = nullptr;
  };
  void* Item = nullptr;
  void* UserData = nullptr;
  LinkPair* Links = nullptr;
};

// A node that carries its own N link pairs.
template <int N>
struct TVxLinkedNode : TVxDoubleLinkNode {
  explicit TVxLinkedNode(void* item = nullptr, void* userData = nullptr) {
    Item = item;
    UserData = userData;
    Links = Pairs;
  }
  TVxLinkedNode(const TVxLinkedNode&) = delete;
  TVxLinkedNode& operator=(const TVxLinkedNode&) = delete;
  LinkPair Pairs[N];
};

// An unsorted double-link list over one link pair of its nodes. Positional access walks from the nearest of
// the first node, the last node and the node reached last time (the "cached node").
class TVxDoubleLinkManager {
 public:
  explicit TVxDoubleLinkManager(int linkIndex);
  virtual ~TVxDoubleLinkManager() = default;
  TVxDoubleLinkManager(const TVxDoubleLinkManager&) = delete;
  TVxDoubleLinkManager& operator=(const TVxDoubleLinkManager&) = delete;

  // Forgets every node and clears its link pair, so that it can be inserted again.
  virtual void Clear();
  // After nothing means at the front; before nothing means at the end. A node already in the list raises.
  void InsertAfter(TVxDoubleLinkNode* node, TVxDoubleLinkNode* after);
  void InsertBefore(TVxDoubleLinkNode* node, TVxDoubleLinkNode* before);
  void SetFirst(TVxDoubleLinkNode* node) { InsertBefore(node, first_); }
  void SetLast(TVxDoubleLinkNode* node) { InsertAfter(node, last_); }
  // Unlinks the node and clears its link pair; a node not in the list raises.
  virtual void DeleteNode(TVxDoubleLinkNode* node);
  // Raises "Node index out of bounds" outside 0 .. Count - 1.
  TVxDoubleLinkNode* GetNode(int index) const;
  TVxDoubleLinkNode* GetNext(const TVxDoubleLinkNode* node) const { return LinksOf(node).Next; }
  TVxDoubleLinkNode* GetPrev(const TVxDoubleLinkNode* node) const { return LinksOf(node).Prev; }
  // Raw link writes: no count or cache upkeep.
  void SetNext(TVxDoubleLinkNode* node, TVxDoubleLinkNode* next) { LinksOf(node).Next = next; }
  void SetPrev(TVxDoubleLinkNode* node, TVxDoubleLinkNode* prev) { LinksOf(node).Prev = prev; }

  TVxDoubleLinkNode* First() const { return first_; }
  TVxDoubleLinkNode* Last() const { return last_; }
  int Count() const { return count_; }
  int LinkIndex() const { return linkIndex_; }
  // Whether the node's pair for this link index is in use (by this list, or by another on the same pair).
  bool IsLinked(const TVxDoubleLinkNode* node) const;
  // The cached node and its index (-1 when none).
  TVxDoubleLinkNode* CachedNode() const { return rover_; }
  int CachedIndex() const { return roverIndex_; }

 protected:
  TVxDoubleLinkNode::LinkPair& LinksOf(const TVxDoubleLinkNode* node) const { return node->Links[linkIndex_]; }
  // Walks from `node`, which sits at `at`, to `index` and caches where it ended.
  TVxDoubleLinkNode* WalkTo(TVxDoubleLinkNode* node, int at, int index) const;

 private:
  void DropCache() const;

  int linkIndex_;
  TVxDoubleLinkNode* first_ = nullptr;
  TVxDoubleLinkNode* last_ = nullptr;
  int count_ = 0;
  mutable TVxDoubleLinkNode* rover_ = nullptr;
  mutable int roverIndex_ = -1;
};

// Compares two nodes under a key: negative, zero or positive.
using TVxNodeCompare = std::function<int(TVxDoubleLinkNode* node1, TVxDoubleLinkNode* node2, int key)>;

// Where a node belongs in a sorted list. Prior and Next are the same node when an equal node was met. The
// rovers from slot RoverIndex on lie at or after that place (-1: none is known to).
struct TVxFindResult {
  TVxDoubleLinkNode* Prior = nullptr;
  TVxDoubleLinkNode* Next = nullptr;
  int RoverIndex = -1;
};

// A double-link list kept in the order of `Compare` under `Key`, with up to MaxRovers "key rovers": nodes at
// evenly spaced indexes, rebalanced after more than 64 insertions and around every deletion, that serve
// binary search by key and by position.
class TVxSortedDoubleLinkManager : public TVxDoubleLinkManager {
 public:
  static constexpr int MaxRoverLimit = 512;
  struct Rover {
    int Index = -1;
    TVxDoubleLinkNode* Node = nullptr;
  };

  // More than 512 rovers raise "Too many key rovers requested".
  TVxSortedDoubleLinkManager(int maxRovers, int key, TVxNodeCompare compare, int linkIndex);

  void Clear() override;
  // Places the node after an equal node found through a rover or at an end, else before it; the same node
  // twice raises "Duplicate item".
  void Insert(TVxDoubleLinkNode* node);
  // Raises "Node not found" when the node is not in the list.
  void DeleteNode(TVxDoubleLinkNode* node) override;
  TVxFindResult Find(TVxDoubleLinkNode* node) const;
  // As the unsorted list's, but starting from a rover when one is nearer than the ends and the cached node.
  TVxDoubleLinkNode* GetNode(int index) const;
  // The index of a node comparing equal to `node`, or -1.
  int FindIndex(TVxDoubleLinkNode* node) const;
  void Balance();

  int MaxRovers() const { return maxRovers_; }
  const std::vector<Rover>& Rovers() const { return rovers_; }

  TVxNodeCompare Compare;
  int Key;

 private:
  int Cmp(TVxDoubleLinkNode* a, TVxDoubleLinkNode* b) const;
  // Where the node itself sits when an equal neighbour hid it from Find.
  bool LocateExactly(TVxDoubleLinkNode* node, TVxFindResult& where) const;

  int maxRovers_;
  std::vector<Rover> rovers_;
  int insertsSinceBalance_ = 0;
};

// Hands out fixed-size items from 4096-byte pages, of which 4092 bytes hold items. Item sizes are rounded up
// to a multiple of 8, so every item is aligned to 8.
class TVxPoolManager {
 public:
  static constexpr int PageSize = 4096;
  static constexpr int UsablePageSize = 4092;

  // Sizes above 4092 raise "PoolManager does not support items > 4K".
  explicit TVxPoolManager(int itemSize);
  TVxPoolManager(const TVxPoolManager&) = delete;
  TVxPoolManager& operator=(const TVxPoolManager&) = delete;

  // The item given back last, else the next slot of the current page, else a slot of a new page.
  void* NewItem();
  void DeleteItem(void* item);
  // Frees every page; items handed out before are gone.
  void Clear();

  int ItemSize() const { return itemSize_; }
  int ItemsPerPage() const { return itemsPerPage_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }

 private:
  int itemSize_;
  int itemsPerPage_;
  std::vector<std::unique_ptr<std::byte[]>> pages_;
  int usedInPage_ = 0;
  std::vector<void*> freeChain_;
};

// A list of pointers with per-item user data, kept in item-pointer order; positional access comes from the
// sorted manager's rovers (512 in a large list, else 32). Nodes come from a pool made on the first insertion.
class TVxList {
 public:
  explicit TVxList(bool large);
  virtual ~TVxList();
  TVxList(const TVxList&) = delete;
  TVxList& operator=(const TVxList&) = delete;

  virtual void* GetItems(int index) const;
  virtual void* GetUserData(int index) const;
  virtual void SetUserData(int index, void* data);
  // The node at an index of the item-pointer order.
  virtual TVxDoubleLinkNode* GetNode(int index) const;
  virtual int IndexOf(void* item) const;
  virtual TVxDoubleLinkNode* Add(void* item);
  virtual TVxDoubleLinkNode* AddObject(void* item, void* data);
  virtual void Delete(int index);
  virtual void Clear();
  // The new node, or nothing when an item with that pointer is already listed.
  TVxDoubleLinkNode* AddIfUnique(void* item);
  void SetAllUserData(void* data);
  int Count() const { return pointerOrder_->Count(); }

 protected:
  TVxList(bool large, int linkCount);
  int MaxRovers() const { return maxRovers_; }
  TVxSortedDoubleLinkManager& PointerOrder() const { return *pointerOrder_; }
  TVxDoubleLinkNode* NewNode(void* item, void* data);
  void FreeNode(TVxDoubleLinkNode* node);

 private:
  int linkCount_;
  int maxRovers_;
  std::unique_ptr<TVxSortedDoubleLinkManager> pointerOrder_;
  std::unique_ptr<TVxPoolManager> pool_;
};

// The user's comparison of two items under a key (0 .. NumKeys - 1).
using TVxItemCompare = std::function<int(int key, void* item1, void* item2)>;

// A list kept in up to 64 orders at once, one per key, besides the item-pointer order; items, user data,
// IndexOf and Delete go by the current key's order (-1: the item-pointer order; key 0 to begin with when there
// are keys). Items the comparison finds equal are ordered by their pointers.
class TVxSortedList : public TVxList {
 public:
  static constexpr int MaxKeys = 64;

  // More than 64 keys raise "Too many keys in list".
  TVxSortedList(int numKeys, TVxItemCompare compare, bool large);
  ~TVxSortedList() override;

  void* GetItems(int index) const override;
  void* GetUserData(int index) const override;
  void SetUserData(int index, void* data) override;
  int IndexOf(void* item) const override;
  TVxDoubleLinkNode* AddObject(void* item, void* data) override;
  // Raises "List index out of bounds" outside 0 .. Count - 1.
  void Delete(int index) override;
  void Clear() override;

  // Raises "Key number out of range" outside -1 .. NumKeys - 1.
  void SetCurrentKey(int key);
  int CurrentKey() const { return currentKey_; }
  int NumKeys() const { return static_cast<int>(keyOrders_.size()); }
  // The index, in the current order, of an item whose key compares equal to `value`'s; -1 when none.
  int IndexOfValue(void* value) const;

  TVxItemCompare Compare;

 private:
  int MultiComp(TVxDoubleLinkNode* node1, TVxDoubleLinkNode* node2, int key) const;
  TVxSortedDoubleLinkManager& CurrentOrder() const;

  std::vector<std::unique_ptr<TVxSortedDoubleLinkManager>> keyOrders_;
  int currentKey_ = -1;
  mutable bool searchingByValue_ = false;
};

// A fixed number of (key, value) slots that forgets the oldest insertion when full, preferring slots whose
// value was removed. Reading does not make a value younger. Keys are not checked for duplicates: the first
// live slot with a key answers for it. OnRemove sees every value that is evicted or cleared (removed ones
// too, when their slot is reused or cleared), the destructor's clear included.
template <class T>
class TVxLiteCache {
 public:
  explicit TVxLiteCache(int capacity) : capacity_(capacity > 0 ? capacity : 0) {
    slots_.reserve(static_cast<std::size_t>(capacity_));
  }
  ~TVxLiteCache() { Clear(); }
  TVxLiteCache(const TVxLiteCache&) = delete;
  TVxLiteCache& operator=(const TVxLiteCache&) = delete;

  void AddValue(std::int32_t key, const T& value) {
    if (capacity_ == 0) return;
    if (Used() < capacity_) {
      slots_.push_back(Slot{key, value, ++age_});
      return;
    }
    Slot* oldest = &slots_.front();
    for (Slot& slot : slots_)
      if (slot.Stamp < oldest->Stamp) oldest = &slot;
    if (OnRemove) OnRemove(oldest->Value);
    *oldest = Slot{key, value, ++age_};
  }
  bool GetValue(std::int32_t key, T& value) const {
    const Slot* slot = FindLive(key);
    if (!slot) return false;
    value = slot->Value;
    return true;
  }
  void RemoveValue(std::int32_t key) {
    for (Slot& slot : slots_) {
      if (slot.Stamp != 0 && slot.Key == key) {
        slot.Stamp = 0;
        return;
      }
    }
  }
  void Clear() {
    if (OnRemove)
      for (Slot& slot : slots_) OnRemove(slot.Value);
    slots_.clear();
  }
  int Capacity() const { return capacity_; }
  // Slots taken so far, live or removed.
  int Used() const { return static_cast<int>(slots_.size()); }

  std::function<void(T& value)> OnRemove;

 private:
  // Stamp: the insertion's age, 0 once removed. A counter rather than the clock's milliseconds keeps
  // insertions within one tick in order and never wraps.
  struct Slot {
    std::int32_t Key;
    T Value;
    std::uint64_t Stamp;
  };
  const Slot* FindLive(std::int32_t key) const {
    for (const Slot& slot : slots_)
      if (slot.Stamp != 0 && slot.Key == key) return &slot;
    return nullptr;
  }

  int capacity_;
  std::vector<Slot> slots_;
  std::uint64_t age_ = 0;
};

// A lite cache of texts.
class TVxLiteStringCache {
 public:
  explicit TVxLiteStringCache(int capacity) : cache_(capacity) {}
  void AddValue(std::int32_t key, const std::string& s) { cache_.AddValue(key, s); }
  bool GetValue(std::int32_t key, std::string& s) const { return cache_.GetValue(key, s); }
  void RemoveValue(std::int32_t key) { cache_.RemoveValue(key); }
  void Clear() { cache_.Clear(); }
  int Capacity() const { return cache_.Capacity(); }

 private:
  TVxLiteCache<std::string> cache_;
};

// A growable array of pointers. Capacity grows by a quarter above 64, by 16 above 8, else by 4; counts and
// capacities stop below 134,217,728. Bad arguments raise tk::EListError.
class TVxFastList {
 public:
  static constexpr int MaxListSize = 134217728;

  int Add(void* item);
  void Delete(int index);
  void* Get(int index) const;
  void Put(int index, void* item);
  // The last index holding the item, or -1.
  int IndexOf(void* item) const;
  void Clear();
  void SetCapacity(int capacity);
  // New slots are nil.
  void SetCount(int count);
  int Count() const { return count_; }
  int Capacity() const { return static_cast<int>(items_.size()); }

 private:
  void CheckIndex(int index) const;

  std::vector<void*> items_;  // sized to the capacity
  int count_ = 0;
};

// Items with a user-data pointer each, in two fast lists kept in step.
class TVxDataList {
 public:
  // Both return the new index.
  int Add(void* item) { return AddObject(item, nullptr); }
  int AddObject(void* item, void* data);
  void AddIfUnique(void* item);
  void Delete(int index);
  void Clear();
  int Count() const { return items_.Count(); }
  void* Items(int index) const { return items_.Get(index); }
  void* UserData(int index) const { return userData_.Get(index); }
  void SetUserData(int index, void* data) { userData_.Put(index, data); }
  void SetAllUserData(void* data);
  int IndexOf(void* item) const { return items_.IndexOf(item); }

 private:
  TVxFastList items_;
  TVxFastList userData_;
};

}  // namespace controls
