#include "controls/sparse_array.h"

#include <algorithm>

#include "controls/exceptions.h"

namespace controls {

namespace {
constexpr int Slots = TVxSparseArray::PageSlots;
}

void TVxSparseArray::CheckIndex(int index) {
  if (index < 0 || index >= MaxEntries) throw ESAEOutOfBounds("Index is out of bounds for sparse array");
}

bool TVxSparseArray::IsEmpty(const Page& page) {
  return std::all_of(page.begin(), page.end(), [](void* p) { return p == nullptr; });
}

TVxSparseArray::Page* TVxSparseArray::FindPage(int number) const {
  auto it = std::lower_bound(pages_.begin(), pages_.end(), number,
                             [](const PageEntry& entry, int n) { return entry.Number < n; });
  return it != pages_.end() && it->Number == number ? it->Slots.get() : nullptr;
}

TVxSparseArray::Page& TVxSparseArray::MakePage(int number) {
  auto it = std::lower_bound(pages_.begin(), pages_.end(), number,
                             [](const PageEntry& entry, int n) { return entry.Number < n; });
  if (it != pages_.end() && it->Number == number) return *it->Slots;
  it = pages_.insert(it, PageEntry{number, std::make_unique<Page>()});
  return *it->Slots;
}

void TVxSparseArray::Recount() {
  count_ = 0;
  for (auto page = pages_.rbegin(); page != pages_.rend(); ++page) {
    for (int slot = Slots - 1; slot >= 0; --slot) {
      if ((*page->Slots)[slot]) {
        count_ = page->Number * Slots + slot + 1;
        return;
      }
    }
  }
}

void* TVxSparseArray::GetItem(int index) const {
  CheckIndex(index);
  const Page* page = FindPage(index / Slots);
  return page ? (*page)[index % Slots] : nullptr;
}

void TVxSparseArray::PutItem(int index, void* item) {
  CheckIndex(index);
  Page* page = FindPage(index / Slots);
  if (!page) {
    if (!item) return;
    page = &MakePage(index / Slots);
  }
  void*& slot = (*page)[index % Slots];
  activeCount_ += (item != nullptr) - (slot != nullptr);
  slot = item;
  if (!item && IsEmpty(*page)) {
    // Every other page holds a pointer, so this is the only one that can have become empty.
    std::erase_if(pages_, [page](const PageEntry& entry) { return entry.Slots.get() == page; });
  }
  Recount();
}

int TVxSparseArray::Add(void* item) {
  if (count_ >= MaxEntries) throw ESAEAtMaxSize("Sparse array is at the maximum size");
  const int index = count_;
  PutItem(index, item);
  return index;
}

void TVxSparseArray::Insert(int index, void* item) {
  CheckIndex(index);
  if (count_ >= MaxEntries) throw ESAEAtMaxSize("Sparse array is at the maximum size");
  if (index >= count_) {
    PutItem(index, item);
    return;
  }
  // Every entry from `index` on moves up one, the last page first, so each page's top slot can go to slot 0
  // of the page above, which has already made room.
  const int firstPage = index / Slots;
  std::vector<int> numbers;
  for (const PageEntry& entry : pages_)
    if (entry.Number >= firstPage) numbers.push_back(entry.Number);
  for (auto number = numbers.rbegin(); number != numbers.rend(); ++number) {
    Page& page = *FindPage(*number);
    const int from = *number == firstPage ? index % Slots : 0;
    void* carry = page[Slots - 1];
    std::copy_backward(page.begin() + from, page.end() - 1, page.end());
    page[from] = nullptr;
    if (carry) MakePage(*number + 1)[0] = carry;
  }
  if (item) {
    MakePage(firstPage)[index % Slots] = item;
    ++activeCount_;
  }
  Squeeze();
  Recount();
}

void TVxSparseArray::Delete(int index) {
  CheckIndex(index);
  if (index >= count_) return;
  const int firstPage = index / Slots;
  std::vector<int> numbers;
  for (const PageEntry& entry : pages_)
    if (entry.Number >= firstPage) numbers.push_back(entry.Number);
  // First page first: each page's slot 0 goes to the top slot of the page below, which has already moved down.
  for (int number : numbers) {
    Page& page = *FindPage(number);
    if (number == firstPage) {
      if (page[index % Slots]) --activeCount_;
      std::copy(page.begin() + index % Slots + 1, page.end(), page.begin() + index % Slots);
    } else {
      if (void* carry = page[0]) MakePage(number - 1)[Slots - 1] = carry;
      std::copy(page.begin() + 1, page.end(), page.begin());
    }
    // MakePage may have moved the directory, but never a page.
    page[Slots - 1] = nullptr;
  }
  Squeeze();
  Recount();
}

void TVxSparseArray::Exchange(int index1, int index2) {
  if (index1 == index2) return;
  void* item1 = GetItem(index1);
  void* item2 = GetItem(index2);
  PutItem(index1, item2);
  PutItem(index2, item1);
}

void TVxSparseArray::Clear() {
  pages_.clear();
  count_ = 0;
  activeCount_ = 0;
}

void TVxSparseArray::Squeeze() {
  std::erase_if(pages_, [](const PageEntry& entry) { return IsEmpty(*entry.Slots); });
}

int TVxSparseArray::ForAll(const TSAAction& action, bool backwards) const {
  if (backwards) {
    for (auto page = pages_.rbegin(); page != pages_.rend(); ++page)
      for (int slot = Slots - 1; slot >= 0; --slot)
        if (void* item = (*page->Slots)[slot]; item && !action(page->Number * Slots + slot, item))
          return page->Number * Slots + slot;
  } else {
    for (const PageEntry& page : pages_)
      for (int slot = 0; slot < Slots; ++slot)
        if (void* item = (*page.Slots)[slot]; item && !action(page.Number * Slots + slot, item))
          return page.Number * Slots + slot;
  }
  return -1;
}

int TVxSparseArray::IndexOf(void* item) const {
  return ForAll([item](int, void* entry) { return entry != item; }, true);
}

void* TVxSparseArray::First() const {
  void* found = nullptr;
  ForAll(
      [&found](int, void* item) {
        found = item;
        return false;
      },
      false);
  return found;
}

void* TVxSparseArray::Last() const { return count_ > 0 ? GetItem(count_ - 1) : nullptr; }

}  // namespace controls
