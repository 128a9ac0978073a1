#pragma once
// The number typed into a request window's edit, read the one way the request windows read numbers.
#include <QLineEdit>
#include <optional>

#include "controller/typed_number.h"
#include "platform/text.h"

// The number typed when it fits `field`; otherwise nothing, and the user has been told.
inline std::optional<int> TypedNumber(const QLineEdit* edit, const controller::TypedField& field) {
  return controller::ReadTypedNumberOrRefuse(platform::FromQString(edit->text()).value_or(std::string()), field);
}

// The number typed for an entry that brings any number into `field` itself; nothing when the text is no
// number, and the user has been told.
inline std::optional<int> TypedWholeNumber(const QLineEdit* edit, const controller::TypedField& field) {
  return controller::ReadWholeNumberOrRefuse(platform::FromQString(edit->text()).value_or(std::string()), field);
}

// The number typed for an entry that brings a number below `field` into it itself, when it is no greater
// than its highest; otherwise nothing, and the user has been told.
inline std::optional<int> TypedNumberUpTo(const QLineEdit* edit, const controller::TypedField& field) {
  return controller::ReadNumberUpToOrRefuse(platform::FromQString(edit->text()).value_or(std::string()), field);
}
