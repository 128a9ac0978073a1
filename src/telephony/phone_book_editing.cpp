#include "telephony/phone_book_editing.h"

#include "telephony/phone_book_entries.h"

namespace telephony {

TPhonebookEditing::TPhonebookEditing(TLkPhonebook& phonebook)
    : phonebook_(phonebook), entries_(LoadPhonebookEntries(phonebook)), rowCount_(phonebook.GetNumRecs()) {}

int TPhonebookEditing::Add(const TPhonebookEntry& entry) {
  phonebook_.AddRecord(&entry);
  rowCount_ = phonebook_.GetNumRecs();
  entries_.push_back(entry);
  return Count() - 1;
}

void TPhonebookEditing::Change(int row, const TPhonebookEntry& edited) {
  TPhonebookEntry& entry = entries_.at(static_cast<std::size_t>(row));
  const std::string oldKey = entry.Name.Get();
  phonebook_.UpdRecord(oldKey, &edited);
  entry = edited;
}

void TPhonebookEditing::Remove(int row) {
  phonebook_.DelRecord(entries_.at(static_cast<std::size_t>(row)).Name.Get());
  entries_.erase(entries_.begin() + row);
  --rowCount_;
}

}  // namespace telephony
