#pragma once
// The number typed into a request window's edit, read the one way the request windows read numbers.
#include <QLineEdit>
#include <optional>

#include "controller/typed_number.h"
#include "platform/text.h"

inline int TypedNumber(const QLineEdit* edit) {
  return controller::DecimalPrefix(platform::FromQString(edit->text()).value_or(std::string()));
}

// The number typed when it fits `field`; otherwise nothing, and the user has been told.
inline std::optional<int> TypedNumber(const QLineEdit* edit, const controller::TypedField& field) {
  return controller::ReadTypedNumberOrRefuse(platform::FromQString(edit->text()).value_or(std::string()), field);
}
