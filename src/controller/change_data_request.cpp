#include "controller/change_data_request.h"

#include "controller/typed_number.h"

namespace controller {

std::string PostChangeData(RequestFields& requests, const std::string& numberText, const std::string& valueText,
                           int kind) {
  const bool timer = kind == 1;
  const int number = DecimalPrefix(numberText), value = DecimalPrefix(valueText);
  if (number < 0 || number > (timer ? HighestTimer : HighestVariable))
    return timer ? "Timer# must be 0 to 63" : "Variable# must be 0 to 255";
  if (value < 0 || value > HighestDataValue) return "Data must be 0 to 65535";
  requests.ChangeDataValue = value;
  requests.ChangeDataKind = kind;
  // The number arms the request: it goes in last.
  requests.ChangeDataRequest = number;
  return {};
}

}  // namespace controller
