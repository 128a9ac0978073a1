#include "telephony/number_selector.h"

#include <QApplication>

#include "platform/text.h"
#include "telephony/get_number_form.h"
#include "telephony/phone_book.h"
#include "tk/filer.h"
#include "tk/modal.h"

namespace telephony {

namespace {
[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkPhoneNumberSelector", [](tk::Component* owner) { return new TLkPhoneNumberSelector(owner); });
  return true;
}();
}  // namespace

bool TLkPhoneNumberSelector::Execute() {
  TLkPhonebook& phonebook = RequirePhonebook();
  bool result = false;
  std::string number;
  OpenWhileShown open(phonebook);
  TGetNumberForm form(QApplication::activeWindow(), phonebook, number);
  if (tk::ExecModal(form, "TGetNumberForm") == QDialog::Accepted) {
    selectedNumber_ = platform::TrimRight(number);
    result = !selectedNumber_.empty();
  }
  return result;
}

}  // namespace telephony
