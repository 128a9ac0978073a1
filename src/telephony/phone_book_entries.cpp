#include "telephony/phone_book_entries.h"

#include <algorithm>

namespace telephony {

std::vector<TPhonebookEntry> LoadPhonebookEntries(TLkPhonebook& phonebook) {
  std::vector<TPhonebookEntry> entries;
  const std::int32_t count = phonebook.GetNumRecs();
  // A copy: reading a record may not disturb the list, but the list is the component's.
  const std::vector<std::string> keys = phonebook.GetRecordList();
  const std::size_t n = std::min(static_cast<std::size_t>(std::max(count, 0)), keys.size());
  for (std::size_t i = 0; i < n; ++i)
    // An "Index" entry that is not "#" names no record (a file edited by hand): it is not listed.
    if (phonebook.KeyExists(keys[i])) entries.push_back(phonebook.GetEntry(keys[i]));
  return entries;
}

}  // namespace telephony
