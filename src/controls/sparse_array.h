#pragma once
// An array of pointers indexed 0 .. 319,999 in which only non-nil entries cost memory: entries live in pages of
// 32, and only pages holding a pointer exist. The table keeps its per-row settings and per-cell overrides in it.
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace controls {

class TVxSparseArray {
 public:
  static constexpr int MaxEntries = 320000;
  static constexpr int PageSlots = 32;

  // Called for each non-nil entry; false stops the walk. The action must not change the array.
  using TSAAction = std::function<bool(int index, void* item)>;

  // Indexes outside 0 .. 319,999 raise ESAEOutOfBounds.
  void* GetItem(int index) const;
  void PutItem(int index, void* item);
  void* operator[](int index) const { return GetItem(index); }
  // Stores at Count and returns that index; a full array raises ESAEAtMaxSize.
  int Add(void* item);
  // Moves the entries from `index` on up by one; a full array raises ESAEAtMaxSize.
  void Insert(int index, void* item);
  // Moves the entries above `index` down by one; nothing at or beyond Count.
  void Delete(int index);
  void Exchange(int index1, int index2);
  void Clear();
  // Frees every page whose entries are all nil.
  void Squeeze();
  // The highest index holding the pointer, or -1.
  int IndexOf(void* item) const;
  // The first and last non-nil entries; nil when empty.
  void* First() const;
  void* Last() const;
  // Calls the action for every non-nil entry in index order (or backwards) and returns the index where it
  // answered false; -1 when it never did.
  int ForAll(const TSAAction& action, bool backwards) const;

  // Highest index holding a pointer, plus 1.
  int Count() const { return count_; }
  // Number of non-nil entries.
  int ActiveCount() const { return activeCount_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }

 private:
  using Page = std::array<void*, PageSlots>;
  struct PageEntry {
    int Number;
    std::unique_ptr<Page> Slots;
  };

  static void CheckIndex(int index);
  static bool IsEmpty(const Page& page);
  Page* FindPage(int number) const;
  Page& MakePage(int number);
  void Recount();

  std::vector<PageEntry> pages_;  // sorted by page number
  int count_ = 0;
  int activeCount_ = 0;
};

}  // namespace controls
