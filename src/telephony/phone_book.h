#pragma once
// The phone book: an INI record database of named telephone numbers with two fixed fields, "Name" (the
// key) and "Number", each at most 21 characters.
#include "telephony/ini_database.h"
#include "telephony/short_string.h"

namespace telephony {

inline constexpr std::size_t PhonebookFieldLen = 21;

// A phone book record in the caller's layout.
struct TPhonebookEntry {
  TShortString<PhonebookFieldLen> Name;
  TShortString<PhonebookFieldLen> Number;
};
static_assert(sizeof(TPhonebookEntry) == 44);

class TLkPhonebook : public TLkCustomIniDBase {
 public:
  explicit TLkPhonebook(tk::Component* owner);
  std::string ClassName() const override { return "TLkPhonebook"; }
  void GetProperties(tk::PropertyList& list) const override;

  TPhonebookEntry GetEntry(const std::string& key);
};

}  // namespace telephony
