#include "telephony/phone_book_editor.h"

#include <QApplication>

#include "telephony/phone_book.h"
#include "telephony/phone_book_form.h"
#include "tk/filer.h"

namespace telephony {

namespace {
[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkPhonebookEditor", [](tk::Component* owner) { return new TLkPhonebookEditor(owner); });
  return true;
}();
}  // namespace

bool TLkPhonebookEditor::Execute() {
  TLkPhonebook& phonebook = RequirePhonebook();
  OpenWhileShown open(phonebook);
  TPhonebookForm form(QApplication::activeWindow(), phonebook);
  return form.exec() == QDialog::Accepted;
}

}  // namespace telephony
