#pragma once
// What the "Phonebook Entries" window does to the phone book and to the list it shows, without the window:
// every change goes to the phone book first, and the list changes only when that succeeded.
#include <string>
#include <vector>

#include "telephony/phone_book.h"

namespace telephony {

class TPhonebookEditing {
 public:
  // Loads the entries (the phone book must be open or able to open).
  explicit TPhonebookEditing(TLkPhonebook& phonebook);

  TLkPhonebook& Phonebook() const { return phonebook_; }
  const std::vector<TPhonebookEntry>& Entries() const { return entries_; }
  int Count() const { return static_cast<int>(entries_.size()); }
  // The grid's row count, which follows the phone book's record count.
  int RowCount() const { return rowCount_; }

  // Adds the record and appends the entry; returns its row (the last).
  int Add(const TPhonebookEntry& entry);
  // Updates the record under the entry's name as it was (moving it when the name changed), then the list.
  void Change(int row, const TPhonebookEntry& edited);
  void Remove(int row);

 private:
  TLkPhonebook& phonebook_;
  std::vector<TPhonebookEntry> entries_;
  int rowCount_ = 0;
};

}  // namespace telephony
