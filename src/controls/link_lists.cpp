#include "controls/link_lists.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <new>

#include "controls/exceptions.h"
#include "tk/exception.h"

namespace controls {

namespace {

[[noreturn]] void Fail(const char* message) { throw EVxException(message); }

// Addresses, not signed numbers: a 64-bit heap may sit anywhere.
int ComparePointers(const void* a, const void* b) {
  const std::less<const void*> less;
  return less(a, b) ? -1 : (less(b, a) ? 1 : 0);
}

int CompareItemPointers(TVxDoubleLinkNode* node1, TVxDoubleLinkNode* node2, int) {
  return ComparePointers(node1->Item, node2->Item);
}

}  // namespace

// Double-link manager

TVxDoubleLinkManager::TVxDoubleLinkManager(int linkIndex) : linkIndex_(linkIndex) {}

void TVxDoubleLinkManager::Clear() {
  // Clean links let a cleared node be inserted again.
  for (TVxDoubleLinkNode* node = first_; node;) {
    TVxDoubleLinkNode* next = LinksOf(node).Next;
    LinksOf(node) = {};
    node = next;
  }
  first_ = last_ = nullptr;
  count_ = 0;
  DropCache();
}

void TVxDoubleLinkManager::DropCache() const {
  rover_ = nullptr;
  roverIndex_ = -1;
}

bool TVxDoubleLinkManager::IsLinked(const TVxDoubleLinkNode* node) const {
  const auto& links = LinksOf(node);
  return links.Prev || links.Next || node == first_;
}

void TVxDoubleLinkManager::InsertAfter(TVxDoubleLinkNode* node, TVxDoubleLinkNode* after) {
  if (IsLinked(node)) Fail("Duplicate item");
  auto& links = LinksOf(node);
  if (!after) {
    links = {nullptr, first_};
    if (first_)
      LinksOf(first_).Prev = node;
    else
      last_ = node;
    first_ = node;
    DropCache();
  } else {
    links = {after, LinksOf(after).Next};
    if (links.Next)
      LinksOf(links.Next).Prev = node;
    else
      last_ = node;
    LinksOf(after).Next = node;
    // Indexes up to `after` stay as they were.
    if (rover_ != first_ && rover_ != after) DropCache();
  }
  ++count_;
}

void TVxDoubleLinkManager::InsertBefore(TVxDoubleLinkNode* node, TVxDoubleLinkNode* before) {
  if (IsLinked(node)) Fail("Duplicate item");
  auto& links = LinksOf(node);
  if (!before) {
    links = {last_, nullptr};
    if (last_)
      LinksOf(last_).Next = node;
    else
      first_ = node;
    last_ = node;
  } else {
    links = {LinksOf(before).Prev, before};
    if (links.Prev)
      LinksOf(links.Prev).Next = node;
    else
      first_ = node;
    LinksOf(before).Prev = node;
  }
  ++count_;
  DropCache();
}

void TVxDoubleLinkManager::DeleteNode(TVxDoubleLinkNode* node) {
  if (!IsLinked(node)) Fail("Node not found");
  auto& links = LinksOf(node);
  TVxDoubleLinkNode* prev = links.Prev;
  TVxDoubleLinkNode* next = links.Next;
  if (prev)
    LinksOf(prev).Next = next;
  else
    first_ = next;
  if (next)
    LinksOf(next).Prev = prev;
  else
    last_ = prev;
  links = {};
  --count_;

  if (count_ == 0) {
    DropCache();
  } else if (!prev) {
    // The first node went: every index falls by one, and a cache on it moves to the new first.
    if (rover_ == node) {
      rover_ = next;
      roverIndex_ = 0;
    } else if (rover_) {
      --roverIndex_;
    }
  } else if (!next) {
    // The last node went: other indexes stand.
    if (rover_ == node) {
      rover_ = prev;
      --roverIndex_;
    }
  } else {
    DropCache();
  }
}

TVxDoubleLinkNode* TVxDoubleLinkManager::GetNode(int index) const {
  if (index < 0 || index >= count_) Fail("Node index out of bounds");
  if (index == 0) return first_;
  if (index == count_ - 1) return last_;
  // Walk from the nearest known place.
  TVxDoubleLinkNode* node = first_;
  int at = 0;
  int distance = index;
  if (count_ - 1 - index < distance) {
    node = last_;
    at = count_ - 1;
    distance = count_ - 1 - index;
  }
  if (rover_ && std::abs(index - roverIndex_) < distance) {
    node = rover_;
    at = roverIndex_;
  }
  return WalkTo(node, at, index);
}

TVxDoubleLinkNode* TVxDoubleLinkManager::WalkTo(TVxDoubleLinkNode* node, int at, int index) const {
  for (; at < index; ++at) node = LinksOf(node).Next;
  for (; at > index; --at) node = LinksOf(node).Prev;
  rover_ = node;
  roverIndex_ = index;
  return node;
}

// Sorted double-link manager

TVxSortedDoubleLinkManager::TVxSortedDoubleLinkManager(int maxRovers, int key, TVxNodeCompare compare, int linkIndex)
    : TVxDoubleLinkManager(linkIndex), Compare(std::move(compare)), Key(key), maxRovers_(std::max(0, maxRovers)) {
  if (maxRovers > MaxRoverLimit) Fail("Too many key rovers requested");
  rovers_.reserve(static_cast<std::size_t>(maxRovers_));
}

void TVxSortedDoubleLinkManager::Clear() {
  TVxDoubleLinkManager::Clear();
  rovers_.clear();
  insertsSinceBalance_ = 0;
}

int TVxSortedDoubleLinkManager::Cmp(TVxDoubleLinkNode* a, TVxDoubleLinkNode* b) const {
  if (!Compare) Fail("Compare not assigned");
  return Compare(a, b, Key);
}

TVxFindResult TVxSortedDoubleLinkManager::Find(TVxDoubleLinkNode* node) const {
  TVxFindResult result;
  if (Count() == 0) return result;
  int c = Cmp(node, Last());
  if (c >= 0) {
    result.Prior = Last();
    if (c == 0) result.Next = Last();
    return result;
  }
  c = Cmp(node, First());
  if (c <= 0) {
    result.Next = First();
    if (c == 0) result.Prior = First();
    result.RoverIndex = 0;
    return result;
  }

  // From here the node lies strictly between the first and the last node.
  if (rovers_.empty()) {
    TVxDoubleLinkNode* at = GetNext(First());
    while (at && Cmp(node, at) > 0) at = GetNext(at);
    if (at == node)
      result.Prior = result.Next = node;
    else
      result.Prior = at ? GetPrev(at) : Last();
    return result;
  }

  const int roverCount = static_cast<int>(rovers_.size());
  int low = 0;
  int high = roverCount - 1;
  int mid = 0;
  while (low <= high) {
    mid = low + (high - low) / 2;
    c = Cmp(node, rovers_[mid].Node);
    if (c == 0) {
      result.Prior = result.Next = rovers_[mid].Node;
      result.RoverIndex = mid;
      return result;
    }
    if (c < 0)
      high = mid - 1;
    else
      low = mid + 1;
  }
  TVxDoubleLinkNode* at = rovers_[mid].Node;
  if (c < 0) {
    result.RoverIndex = mid;
    for (;;) {
      TVxDoubleLinkNode* prev = GetPrev(at);
      const int d = prev ? Cmp(node, prev) : 1;
      if (d == 0) {
        result.Prior = result.Next = prev;
        return result;
      }
      if (d > 0) {
        result.Next = at;
        return result;
      }
      at = prev;
    }
  }
  if (mid < roverCount - 1) result.RoverIndex = low;
  for (;;) {
    TVxDoubleLinkNode* next = GetNext(at);
    const int d = next ? Cmp(node, next) : -1;
    if (d == 0) {
      result.Prior = result.Next = next;
      return result;
    }
    if (d < 0) {
      result.Prior = at;
      return result;
    }
    at = next;
  }
}

TVxDoubleLinkNode* TVxSortedDoubleLinkManager::GetNode(int index) const {
  if (rovers_.empty() || index <= 0 || index >= Count() - 1) return TVxDoubleLinkManager::GetNode(index);
  // Without the rovers a random position in a long list is a walk of a quarter of it on average.
  auto after = std::lower_bound(rovers_.begin(), rovers_.end(), index,
                                [](const Rover& rover, int i) { return rover.Index < i; });
  const Rover* nearest = after != rovers_.end() ? &*after : nullptr;
  if (after != rovers_.begin() && (!nearest || index - std::prev(after)->Index < nearest->Index - index))
    nearest = &*std::prev(after);
  int distance = std::min(index, Count() - 1 - index);
  if (CachedNode()) distance = std::min(distance, std::abs(index - CachedIndex()));
  if (nearest && std::abs(nearest->Index - index) < distance) return WalkTo(nearest->Node, nearest->Index, index);
  return TVxDoubleLinkManager::GetNode(index);
}

bool TVxSortedDoubleLinkManager::LocateExactly(TVxDoubleLinkNode* node, TVxFindResult& where) const {
  int index = 0;
  TVxDoubleLinkNode* at = First();
  while (at && at != node) {
    at = GetNext(at);
    ++index;
  }
  if (!at) return false;
  where.Prior = where.Next = node;
  where.RoverIndex = -1;
  for (int slot = 0; slot < static_cast<int>(rovers_.size()); ++slot) {
    if (rovers_[slot].Index >= index) {
      where.RoverIndex = slot;
      break;
    }
  }
  return true;
}

void TVxSortedDoubleLinkManager::Insert(TVxDoubleLinkNode* node) {
  if (IsLinked(node)) Fail("Duplicate item");
  const TVxFindResult where = Find(node);
  if (where.Prior)
    InsertAfter(node, where.Prior);
  else if (where.Next)
    InsertBefore(node, where.Next);
  else
    SetFirst(node);
  // The rovers from RoverIndex on lie after the new node, except one on the node it went in after.
  if (where.RoverIndex >= 0)
    for (std::size_t slot = static_cast<std::size_t>(where.RoverIndex); slot < rovers_.size(); ++slot)
      if (rovers_[slot].Node != where.Prior) ++rovers_[slot].Index;
  if (++insertsSinceBalance_ > 64) Balance();
}

void TVxSortedDoubleLinkManager::DeleteNode(TVxDoubleLinkNode* node) {
  if (!IsLinked(node)) Fail("Node not found");
  if (insertsSinceBalance_ > 0) Balance();
  TVxFindResult where = Find(node);
  // A node that compares equal to a neighbour can hide behind it; then its place is looked up by walking.
  if (!(where.Prior == node && where.Next == node) && !LocateExactly(node, where)) Fail("Node not found");
  if (where.RoverIndex >= 0) {
    for (std::size_t slot = static_cast<std::size_t>(where.RoverIndex); slot < rovers_.size(); ++slot) {
      Rover& rover = rovers_[slot];
      if (rover.Node != node) {
        --rover.Index;
      } else if (TVxDoubleLinkNode* next = GetNext(node)) {
        rover.Node = next;  // which takes the deleted node's index
      } else {
        rover.Node = GetPrev(node);
        --rover.Index;
      }
    }
  }
  TVxDoubleLinkManager::DeleteNode(node);
  Balance();
}

void TVxSortedDoubleLinkManager::Balance() {
  insertsSinceBalance_ = 0;
  const int count = Count();
  const int wanted = std::min((count - 1) / 2, maxRovers_);
  if (wanted <= 0) {
    rovers_.clear();
    return;
  }
  rovers_.resize(static_cast<std::size_t>(wanted));
  const int spacing = (count - 1) / wanted;
  for (int i = 0; i < wanted; ++i) {
    const int target = (i + 1) * spacing - spacing / 2;
    Rover& rover = rovers_[static_cast<std::size_t>(i)];
    // Step from the previous rover, now in place, or from this rover's old place when that is nearer.
    TVxDoubleLinkNode* node = i == 0 ? First() : rovers_[static_cast<std::size_t>(i) - 1].Node;
    int at = i == 0 ? 0 : rovers_[static_cast<std::size_t>(i) - 1].Index;
    if (rover.Node && rover.Index >= 0 && rover.Index < count && std::abs(rover.Index - target) < target - at) {
      node = rover.Node;
      at = rover.Index;
    }
    for (; at < target; ++at) node = GetNext(node);
    for (; at > target; --at) node = GetPrev(node);
    rover = {target, node};
  }
}

int TVxSortedDoubleLinkManager::FindIndex(TVxDoubleLinkNode* node) const {
  const int count = Count();
  if (count == 0) return -1;
  int c = Cmp(node, Last());
  if (c > 0) return -1;
  if (c == 0) return count - 1;
  c = Cmp(node, First());
  if (c < 0) return -1;
  if (c == 0) return 0;

  TVxDoubleLinkNode* at = First();
  int index = 0;
  bool forward = true;
  if (!rovers_.empty()) {
    int low = 0;
    int high = static_cast<int>(rovers_.size()) - 1;
    int mid = 0;
    while (low <= high) {
      mid = low + (high - low) / 2;
      c = Cmp(node, rovers_[mid].Node);
      if (c == 0) return rovers_[mid].Index;
      if (c < 0)
        high = mid - 1;
      else
        low = mid + 1;
    }
    at = rovers_[mid].Node;
    index = rovers_[mid].Index;
    forward = c > 0;
  }
  for (;;) {
    at = forward ? GetNext(at) : GetPrev(at);
    if (!at) return -1;
    index += forward ? 1 : -1;
    const int d = Cmp(node, at);
    if (d == 0) return index;
    if (forward ? d < 0 : d > 0) return -1;
  }
}

// Pool

TVxPoolManager::TVxPoolManager(int itemSize) {
  if (itemSize > UsablePageSize) Fail("PoolManager does not support items > 4K");
  // Multiples of 8 keep every item's pointers aligned; the largest item still gets a page to itself.
  itemSize_ = std::max(8, (itemSize + 7) / 8 * 8);
  itemsPerPage_ = std::max(1, UsablePageSize / itemSize_);
}

void* TVxPoolManager::NewItem() {
  if (!freeChain_.empty()) {
    void* item = freeChain_.back();
    freeChain_.pop_back();
    return item;
  }
  if (pages_.empty() || usedInPage_ == itemsPerPage_) {
    pages_.push_back(std::make_unique<std::byte[]>(
        static_cast<std::size_t>(std::max(PageSize, itemsPerPage_ * itemSize_))));
    usedInPage_ = 0;
  }
  return pages_.back().get() + static_cast<std::size_t>(usedInPage_++) * static_cast<std::size_t>(itemSize_);
}

void TVxPoolManager::DeleteItem(void* item) {
  if (item) freeChain_.push_back(item);
}

void TVxPoolManager::Clear() {
  pages_.clear();
  freeChain_.clear();
  usedInPage_ = 0;
}

// List

static_assert(sizeof(TVxDoubleLinkNode) % alignof(TVxDoubleLinkNode::LinkPair) == 0);
static_assert(std::is_trivially_destructible_v<TVxDoubleLinkNode>);

TVxList::TVxList(bool large) : TVxList(large, 1) {}

TVxList::TVxList(bool large, int linkCount)
    : linkCount_(linkCount),
      maxRovers_(large ? 512 : 32),
      pointerOrder_(std::make_unique<TVxSortedDoubleLinkManager>(maxRovers_, 0, CompareItemPointers, 0)) {}

TVxList::~TVxList() = default;

TVxDoubleLinkNode* TVxList::NewNode(void* item, void* data) {
  // A node and its link pairs share one pool item: the header, then one pair per order the node sits in.
  if (!pool_)
    pool_ = std::make_unique<TVxPoolManager>(
        static_cast<int>(sizeof(TVxDoubleLinkNode) + sizeof(TVxDoubleLinkNode::LinkPair) * linkCount_));
  auto* raw = static_cast<std::byte*>(pool_->NewItem());
  auto* node = ::new (raw) TVxDoubleLinkNode{item, data, nullptr};
  std::byte* pairs = raw + sizeof(TVxDoubleLinkNode);
  node->Links = ::new (pairs) TVxDoubleLinkNode::LinkPair{};
  for (int i = 1; i < linkCount_; ++i)
    ::new (pairs + sizeof(TVxDoubleLinkNode::LinkPair) * i) TVxDoubleLinkNode::LinkPair{};
  return node;
}

void TVxList::FreeNode(TVxDoubleLinkNode* node) { pool_->DeleteItem(node); }

void* TVxList::GetItems(int index) const { return pointerOrder_->GetNode(index)->Item; }
void* TVxList::GetUserData(int index) const { return pointerOrder_->GetNode(index)->UserData; }
void TVxList::SetUserData(int index, void* data) { pointerOrder_->GetNode(index)->UserData = data; }
TVxDoubleLinkNode* TVxList::GetNode(int index) const { return pointerOrder_->GetNode(index); }

int TVxList::IndexOf(void* item) const {
  TVxDoubleLinkNode probe{item};
  return pointerOrder_->FindIndex(&probe);
}

TVxDoubleLinkNode* TVxList::Add(void* item) { return AddObject(item, nullptr); }

TVxDoubleLinkNode* TVxList::AddObject(void* item, void* data) {
  TVxDoubleLinkNode* node = NewNode(item, data);
  try {
    pointerOrder_->Insert(node);
  } catch (...) {
    FreeNode(node);
    throw;
  }
  return node;
}

void TVxList::Delete(int index) {
  TVxDoubleLinkNode* node = pointerOrder_->GetNode(index);
  pointerOrder_->DeleteNode(node);
  FreeNode(node);
}

void TVxList::Clear() {
  pointerOrder_->Clear();
  if (pool_) pool_->Clear();
}

TVxDoubleLinkNode* TVxList::AddIfUnique(void* item) {
  TVxDoubleLinkNode probe{item};
  if (pointerOrder_->FindIndex(&probe) >= 0) return nullptr;
  return AddObject(item, nullptr);
}

void TVxList::SetAllUserData(void* data) {
  for (TVxDoubleLinkNode* node = pointerOrder_->First(); node; node = pointerOrder_->GetNext(node))
    node->UserData = data;
}

// Sorted list

TVxSortedList::TVxSortedList(int numKeys, TVxItemCompare compare, bool large)
    : TVxList(large, 1 + std::clamp(numKeys, 0, MaxKeys)), Compare(std::move(compare)) {
  if (numKeys > MaxKeys) Fail("Too many keys in list");
  for (int key = 0; key < numKeys; ++key) {
    keyOrders_.push_back(std::make_unique<TVxSortedDoubleLinkManager>(
        MaxRovers(), key, [this](TVxDoubleLinkNode* a, TVxDoubleLinkNode* b, int k) { return MultiComp(a, b, k); },
        key + 1));
  }
  if (numKeys > 0) currentKey_ = 0;
}

TVxSortedList::~TVxSortedList() = default;

int TVxSortedList::MultiComp(TVxDoubleLinkNode* node1, TVxDoubleLinkNode* node2, int key) const {
  if (node1 == node2) return 0;
  if (!Compare) Fail("Compare not assigned");
  const int result = Compare(key, node1->Item, node2->Item);
  if (result != 0 || searchingByValue_) return result;
  return ComparePointers(node1->Item, node2->Item);
}

TVxSortedDoubleLinkManager& TVxSortedList::CurrentOrder() const {
  return currentKey_ < 0 ? PointerOrder() : *keyOrders_[static_cast<std::size_t>(currentKey_)];
}

void* TVxSortedList::GetItems(int index) const { return CurrentOrder().GetNode(index)->Item; }
void* TVxSortedList::GetUserData(int index) const { return CurrentOrder().GetNode(index)->UserData; }
void TVxSortedList::SetUserData(int index, void* data) { CurrentOrder().GetNode(index)->UserData = data; }

int TVxSortedList::IndexOf(void* item) const {
  TVxDoubleLinkNode probe{item};
  return CurrentOrder().FindIndex(&probe);
}

int TVxSortedList::IndexOfValue(void* value) const {
  struct ByValue {
    bool& flag;
    explicit ByValue(bool& f) : flag(f) { flag = true; }
    ~ByValue() { flag = false; }
  } byValue(searchingByValue_);
  TVxDoubleLinkNode probe{value};
  return CurrentOrder().FindIndex(&probe);
}

TVxDoubleLinkNode* TVxSortedList::AddObject(void* item, void* data) {
  TVxDoubleLinkNode* node = TVxList::AddObject(item, data);
  std::size_t placed = 0;
  try {
    for (; placed < keyOrders_.size(); ++placed) keyOrders_[placed]->Insert(node);
  } catch (...) {
    // Leave no trace of an item a comparison refused.
    for (std::size_t key = 0; key < placed; ++key) {
      try {
        keyOrders_[key]->DeleteNode(node);
      } catch (...) {
      }
    }
    PointerOrder().DeleteNode(node);
    FreeNode(node);
    throw;
  }
  return node;
}

void TVxSortedList::Delete(int index) {
  if (index < 0 || index >= Count()) Fail("List index out of bounds");
  TVxDoubleLinkNode* node = CurrentOrder().GetNode(index);
  for (auto& order : keyOrders_) order->DeleteNode(node);
  PointerOrder().DeleteNode(node);
  FreeNode(node);
}

void TVxSortedList::Clear() {
  for (auto& order : keyOrders_) order->Clear();
  TVxList::Clear();
}

void TVxSortedList::SetCurrentKey(int key) {
  if (key < -1 || key >= NumKeys()) Fail("Key number out of range");
  currentKey_ = key;
}

// Fast list and data list

void TVxFastList::CheckIndex(int index) const {
  if (index < 0 || index >= count_) throw tk::EListError("List index out of bounds:" + std::to_string(index));
}

int TVxFastList::Add(void* item) {
  if (count_ == Capacity()) {
    const int capacity = Capacity();
    SetCapacity(capacity + (capacity > 64 ? capacity / 4 : (capacity > 8 ? 16 : 4)));
  }
  items_[static_cast<std::size_t>(count_)] = item;
  return count_++;
}

void TVxFastList::Delete(int index) {
  CheckIndex(index);
  std::copy(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
  items_[static_cast<std::size_t>(--count_)] = nullptr;
}

void* TVxFastList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)];
}

void TVxFastList::Put(int index, void* item) {
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)] = item;
}

int TVxFastList::IndexOf(void* item) const {
  for (int i = count_ - 1; i >= 0; --i)
    if (items_[static_cast<std::size_t>(i)] == item) return i;
  return -1;
}

void TVxFastList::Clear() {
  items_.clear();
  items_.shrink_to_fit();
  count_ = 0;
}

void TVxFastList::SetCapacity(int capacity) {
  if (capacity < count_ || capacity >= MaxListSize)
    throw tk::EListError("Invalid list capacity:" + std::to_string(capacity));
  items_.resize(static_cast<std::size_t>(capacity));
}

void TVxFastList::SetCount(int count) {
  if (count < 0 || count >= MaxListSize) throw tk::EListError("Invalid list count:" + std::to_string(count));
  if (count > Capacity()) SetCapacity(count);
  if (count > count_) std::fill(items_.begin() + count_, items_.begin() + count, nullptr);
  count_ = count;
}

int TVxDataList::AddObject(void* item, void* data) {
  const int index = items_.Add(item);
  userData_.Add(data);
  return index;
}

void TVxDataList::AddIfUnique(void* item) {
  if (IndexOf(item) < 0) Add(item);
}

void TVxDataList::Delete(int index) {
  items_.Delete(index);
  userData_.Delete(index);
}

void TVxDataList::Clear() {
  items_.Clear();
  userData_.Clear();
}

void TVxDataList::SetAllUserData(void* data) {
  for (int i = 0; i < userData_.Count(); ++i) userData_.Put(i, data);
}

}  // namespace controls
