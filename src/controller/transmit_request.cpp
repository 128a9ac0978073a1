#include "controller/transmit_request.h"

#include <algorithm>

#include "controller/typed_number.h"
#include "platform/ui.h"

namespace controller {

TransmitPost PostTransmitRequest(RequestFields& requests, const std::string& moduleText, const std::string& messageText,
                                 int messageLimit, std::uint8_t code) {
  TransmitPost post;
  const int typed = DecimalPrefix(messageText);
  post.Message = std::clamp(typed, 0, messageLimit);
  post.Replaced = post.Message != typed;
  const int module = DecimalPrefix(moduleText);
  if (module < 1 || module > HighestModule) {
    platform::Ui().Beep();
    return post;
  }
  requests.TransmitMessage = static_cast<std::uint8_t>(post.Message);
  requests.TransmitCode = code;
  // The module number arms the request: it goes in last.
  requests.TransmitRequest = static_cast<std::uint8_t>(module);
  post.Posted = true;
  return post;
}

}  // namespace controller
