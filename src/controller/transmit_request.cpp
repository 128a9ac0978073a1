#include "controller/transmit_request.h"

#include "controller/typed_number.h"

namespace controller {

bool PostTransmitRequest(RequestFields& requests, const std::string& moduleText, const std::string& messageText,
                         int messageLimit, std::uint8_t code) {
  const std::optional<int> module = ReadTypedNumberOrRefuse(moduleText, {"Module#", 1, HighestModule});
  if (!module) return false;
  const std::optional<int> message = ReadTypedNumberOrRefuse(messageText, {"Message#", 0, messageLimit});
  if (!message) return false;
  requests.TransmitMessage = static_cast<std::uint8_t>(*message);
  requests.TransmitCode = code;
  // The module number arms the request: it goes in last.
  requests.TransmitRequest = static_cast<std::uint8_t>(*module);
  return true;
}

}  // namespace controller
