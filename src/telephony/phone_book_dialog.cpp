#include "telephony/phone_book_dialog.h"

#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "telephony/phone_book.h"

namespace telephony {

TLkPhonebookDialog::TLkPhonebookDialog(tk::Component* owner) : tk::Component(owner) {
  if (!owner) return;
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (auto* phonebook = dynamic_cast<TLkPhonebook*>(owner->Components(i))) {
      SetPhonebook(phonebook);
      break;
    }
}

void TLkPhonebookDialog::SetPhonebook(TLkPhonebook* phonebook) {
  if (phonebook_ == phonebook) return;
  if (phonebook_) RemoveFreeNotification(phonebook_);
  phonebook_ = phonebook;
  // Told of its destruction wherever it is owned.
  if (phonebook_) FreeNotification(phonebook_);
}

void TLkPhonebookDialog::Notification(tk::Component* component, tk::Operation operation) {
  if (operation == tk::Operation::Remove && component == phonebook_) phonebook_ = nullptr;
  tk::Component::Notification(component, operation);
  if (operation == tk::Operation::Insert && !phonebook_)
    if (auto* phonebook = dynamic_cast<TLkPhonebook*>(component)) SetPhonebook(phonebook);
}

tk::ComponentRef TLkPhonebookDialog::PhonebookRef() const { return tk::ComponentRef{phonebook_}; }

void TLkPhonebookDialog::SetPhonebookRef(tk::ComponentRef ref) {
  SetPhonebook(dynamic_cast<TLkPhonebook*>(ref.Target));
}

void TLkPhonebookDialog::GetProperties(tk::PropertyList& list) const {
  tk::Component::GetProperties(list);
  using P = TLkPhonebookDialog;
  list.push_back(tk::MakeProperty<P>("Version", &P::Version, &P::SetVersion));
  list.back().Stored = [](const tk::Component&) { return false; };
  list.push_back(tk::MakeProperty<P>("Phonebook", &P::PhonebookRef, &P::SetPhonebookRef));
}

TLkPhonebook& TLkPhonebookDialog::RequirePhonebook() const {
  if (!phonebook_) throw serial::EPhonebookNotAssigned(serial::ecPhonebookNotAssigned);
  return *phonebook_;
}

TLkPhonebookDialog::OpenWhileShown::OpenWhileShown(TLkPhonebook& phonebook)
    : phonebook_(phonebook), wasOpen_(phonebook.Open()) {
  if (!wasOpen_) phonebook_.SetOpen(true);
}

TLkPhonebookDialog::OpenWhileShown::~OpenWhileShown() {
  if (!wasOpen_) phonebook_.SetOpen(false);
}

}  // namespace telephony
