#pragma once
// The phone book editor: a dialog component whose Execute shows the "Phonebook Entries" window on its
// phone book.
#include "telephony/phone_book_dialog.h"

namespace telephony {

class TLkPhonebookEditor : public TLkPhonebookDialog {
 public:
  using TLkPhonebookDialog::TLkPhonebookDialog;
  std::string ClassName() const override { return "TLkPhonebookEditor"; }

  // Raises EPhonebookNotAssigned without a phone book. Opens the phone book for the window's life when it
  // was closed. The result means nothing.
  bool Execute() override;
};

}  // namespace telephony
