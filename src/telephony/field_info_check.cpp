#include "telephony/field_info_check.h"

#include "platform/text.h"
#include "serial/lk_misc.h"
#include "telephony/ini_engine.h"

namespace telephony {

TFieldInfoProblem CheckFieldInfo(const std::string& name, bool isString, const std::string& lengthText,
                                 std::int32_t recordSize, const TDBFieldList& working, const TDBFieldInfo* self) {
  using Where = TFieldInfoProblem::Where;
  const std::string trimmedName = platform::Trim(name);
  if (trimmedName.empty()) return {Where::Name, "You must enter a field name"};
  for (int i = 0; i < working.Count(); ++i)
    if (&working.Items(i) != self && platform::SameText(working.Items(i).Name, trimmedName))
      return {Where::Name, "A field with that name already exists"};
  if (!isString) return {};
  const std::string trimmedLength = platform::Trim(lengthText);
  if (trimmedLength.empty()) return {Where::Length, "You must enter a field length for string fields"};
  std::int32_t length = 0;
  if (!serial::Str2LongZ(trimmedLength, length)) return {Where::Length, "Field length must be a number"};
  if (length < 1 || length > 255) return {Where::Length, "Field length must be between 1 and 255 characters"};
  if (length + recordSize > MaxDBRecordSize)
    return {Where::Length, "Total record size cannot be greater than 65520 bytes"};
  return {};
}

}  // namespace telephony
