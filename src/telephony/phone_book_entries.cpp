#include "telephony/phone_book_entries.h"

namespace telephony {

std::vector<TPhonebookEntry> LoadPhonebookEntries(TLkPhonebook& phonebook) {
  std::vector<TPhonebookEntry> entries;
  // A copy: reading a record may not disturb the list, but the list is the component's. The list itself
  // is walked, not the record count, which a file edited by hand may contradict.
  const std::vector<std::string> keys = phonebook.GetRecordList();
  for (const std::string& key : keys)
    // An "Index" entry that is not "#" names no record (a file edited by hand): it is not listed.
    if (phonebook.KeyExists(key)) entries.push_back(phonebook.GetEntry(key));
  return entries;
}

}  // namespace telephony
