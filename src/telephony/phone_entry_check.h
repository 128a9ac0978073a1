#pragma once
// The checks of the "Phonebook Entry" window before it accepts an entry.
#include <string>

namespace telephony {

class TLkPhonebook;

enum class TPhoneEntryProblem { None, NoName, NoNumber, NameExists, BadName };

// `oldName` is the entry's name when the window opened (empty for a new entry). A name that differs from it
// only in letter case is the same entry's.
TPhoneEntryProblem CheckPhoneEntry(TLkPhonebook& phonebook, const std::string& oldName, const std::string& name,
                                   const std::string& number);
// The text the window shows for a problem ("" for none).
std::string PhoneEntryProblemText(TPhoneEntryProblem problem);

}  // namespace telephony
