#pragma once
// The phone number selector: a dialog component whose Execute asks, in the "Dial" window, for a number to
// dial, typed or taken from the recent numbers or the phone book.
#include <string>

#include "telephony/phone_book_dialog.h"

namespace telephony {

class TLkPhoneNumberSelector : public TLkPhonebookDialog {
 public:
  using TLkPhonebookDialog::TLkPhonebookDialog;
  std::string ClassName() const override { return "TLkPhoneNumberSelector"; }

  // Raises EPhonebookNotAssigned without a phone book. On OK the number, without trailing blanks, becomes
  // SelectedNumber and the result says whether it is not empty; on Cancel the result is false and
  // SelectedNumber keeps its value.
  bool Execute() override;

  const std::string& SelectedNumber() const { return selectedNumber_; }

 private:
  std::string selectedNumber_;
};

}  // namespace telephony
