#include "telephony/phone_entry_check.h"

#include "platform/text.h"
#include "serial/error_codes.h"
#include "serial/error_text.h"
#include "telephony/ini_engine.h"
#include "telephony/phone_book.h"

namespace telephony {

TPhoneEntryProblem CheckPhoneEntry(TLkPhonebook& phonebook, const std::string& oldName, const std::string& name,
                                   const std::string& number) {
  if (name.empty()) return TPhoneEntryProblem::NoName;
  if (number.empty()) return TPhoneEntryProblem::NoNumber;
  if (IsBadIniKey(name)) return TPhoneEntryProblem::BadName;
  if (!platform::SameText(name, oldName) && phonebook.KeyExists(name)) return TPhoneEntryProblem::NameExists;
  return TPhoneEntryProblem::None;
}

std::string PhoneEntryProblemText(TPhoneEntryProblem problem) {
  switch (problem) {
    case TPhoneEntryProblem::NoName:
      return serial::LkLoadStr(4401);
    case TPhoneEntryProblem::NoNumber:
      return serial::LkLoadStr(4402);
    case TPhoneEntryProblem::NameExists:
      return serial::LkLoadStr(4403);
    case TPhoneEntryProblem::BadName:
      return serial::LkLoadStr(serial::ecBadArgument);
    case TPhoneEntryProblem::None:
      break;
  }
  return "";
}

}  // namespace telephony
