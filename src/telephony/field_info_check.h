#pragma once
// The checks of the "Field Information" window before it accepts a field.
#include <cstdint>
#include <string>

#include "telephony/db_field_list.h"

namespace telephony {

struct TFieldInfoProblem {
  enum class Where { None, Name, Length } At = Where::None;
  std::string Text;
};

// `recordSize` is the record size the window was given; `self` is the field being edited (it may be in
// `working`, and its own name is no clash).
TFieldInfoProblem CheckFieldInfo(const std::string& name, bool isString, const std::string& lengthText,
                                 std::int32_t recordSize, const TDBFieldList& working, const TDBFieldInfo* self);

}  // namespace telephony
