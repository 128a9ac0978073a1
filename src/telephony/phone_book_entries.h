#pragma once
// The entries the phone book's list windows show: a copy of every record, in the order of the phone book's
// key list.
#include <vector>

#include "telephony/phone_book.h"

namespace telephony {

// Reads key i - 1 of the key list for i = 1 .. the record count (the phone book must be open or able to
// open). Keys the list lacks (a count that disagrees with the "Index" section) and keys that name no record
// are skipped.
std::vector<TPhonebookEntry> LoadPhonebookEntries(TLkPhonebook& phonebook);

}  // namespace telephony
