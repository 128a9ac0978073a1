#include "controller/transmit_request.h"

#include <algorithm>
#include <charconv>

#include "platform/text.h"
#include "platform/ui.h"

namespace controller {

namespace {

long long DecimalOrZero(const std::string& text) {
  const std::string trimmed = platform::Trim(text);
  long long value = 0;
  const char* end = trimmed.data() + trimmed.size();
  const auto [stop, error] = std::from_chars(trimmed.data(), end, value);
  return error == std::errc() && stop == end ? value : 0;
}

}  // namespace

TransmitPost PostTransmitRequest(RequestFields& requests, const std::string& moduleText, const std::string& messageText,
                                 int messageLimit, std::uint8_t code) {
  TransmitPost post;
  const long long typed = DecimalOrZero(messageText);
  post.Message = static_cast<int>(std::clamp<long long>(typed, 0, messageLimit));
  post.Replaced = post.Message != typed;
  const long long module = DecimalOrZero(moduleText);
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
