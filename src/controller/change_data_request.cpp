#include "controller/change_data_request.h"

#include "controller/typed_number.h"

namespace controller {

std::string PostChangeData(RequestFields& requests, const std::string& numberText, const std::string& valueText,
                           int kind) {
  const TypedField numberField =
      kind == 1 ? TypedField{"Timer#", 0, HighestTimer} : TypedField{"Variable#", 0, HighestVariable};
  const TypedField valueField{"Data", 0, HighestDataValue};
  const std::optional<int> number = ReadTypedNumber(numberText, numberField);
  if (!number) return TypedNumberRefusal(numberField);
  const std::optional<int> value = ReadTypedNumber(valueText, valueField);
  if (!value) return TypedNumberRefusal(valueField);
  requests.ChangeDataValue = *value;
  requests.ChangeDataKind = kind;
  // The number arms the request: it goes in last.
  requests.ChangeDataRequest = *number;
  return {};
}

}  // namespace controller
