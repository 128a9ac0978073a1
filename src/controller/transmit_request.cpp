#include "controller/transmit_request.h"

#include <algorithm>
#include <climits>

#include "controller/typed_number.h"
#include "platform/ui.h"

namespace controller {

TransmitPost PostTransmitRequest(RequestFields& requests, const std::string& moduleText, const std::string& messageText,
                                 int messageLimit, std::uint8_t code) {
  TransmitPost post;
  const std::optional<int> module = ReadTypedNumberOrRefuse(moduleText, {"Module#", 1, HighestModule});
  if (!module) return post;
  // Above the limit the limit is sent; only no number or a negative one is refused.
  const TypedField message{"Message#", 0, messageLimit};
  const std::optional<int> typed = ReadTypedNumber(messageText, {message.Entry, 0, INT_MAX});
  if (!typed) {
    platform::Ui().ShowMessage(TypedNumberRefusal(message));
    return post;
  }
  post.Message = std::min(*typed, messageLimit);
  post.Replaced = post.Message != *typed;
  requests.TransmitMessage = static_cast<std::uint8_t>(post.Message);
  requests.TransmitCode = code;
  // The module number arms the request: it goes in last.
  requests.TransmitRequest = static_cast<std::uint8_t>(*module);
  post.Posted = true;
  return post;
}

}  // namespace controller
