#include "telephony/phone_book.h"

#include "tk/filer.h"

namespace telephony {

namespace {
[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkPhonebook", [](tk::Component* owner) { return new TLkPhonebook(owner); });
  return true;
}();
}  // namespace

TLkPhonebook::TLkPhonebook(tk::Component* owner) : TLkCustomIniDBase(owner) {
  fixedFields_ = true;
  TDBFieldList fields;
  fields.Add(TDBFieldInfo("Name", PhonebookFieldLen));
  fields.Add(TDBFieldInfo("Number", PhonebookFieldLen));
  InstallFields(fields, "Name");
  Announce();
}

void TLkPhonebook::GetProperties(tk::PropertyList& list) const {
  tk::Component::GetProperties(list);
  using P = TLkPhonebook;
  list.push_back(tk::MakeProperty<P>("Version", &P::Version, &P::SetVersion));
  list.back().Stored = [](const tk::Component&) { return false; };
  list.push_back(
      tk::MakeProperty<P>("FileName", &P::FileName, &P::SetFileName, tk::Value(std::string("DATABASE.INI"))));
}

TPhonebookEntry TLkPhonebook::GetEntry(const std::string& key) {
  TPhonebookEntry entry;
  GetRecord(key, &entry);
  return entry;
}

}  // namespace telephony
