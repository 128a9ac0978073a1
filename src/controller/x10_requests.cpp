#include "controller/x10_requests.h"

#include <charconv>
#include <cstdio>

#include "platform/text.h"

namespace controller {

namespace {

// A decimal integer with an optional sign, blanks around it allowed; nothing for anything else.
std::optional<int> DecimalFromText(const std::string& text) {
  std::string trimmed = platform::Trim(text);
  const char* first = trimmed.data();
  const char* last = first + trimmed.size();
  if (first != last && *first == '+') ++first;
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

std::uint8_t GroupByte(int group, std::uint8_t function) {
  return static_cast<std::uint8_t>(((group << 6) | (group >> 2) | function) & 0xFF);
}

}  // namespace

int X10RepeatFromText(const std::string& text) {
  const std::optional<int> repeat = DecimalFromText(text);
  return repeat && *repeat >= 1 && *repeat <= X10MaxRepeat ? *repeat : 1;
}

void PostX10Send(RequestFields& requests, int house, int key, int repeat) {
  requests.X10Repeat = repeat;
  requests.X10Key = key;
  requests.X10SendRequest = house;
}

std::array<std::uint8_t, 4> LevitonCommand(LevitonButton button, int house, int key, int group, int level) {
  std::uint8_t data = 0;
  char command = '0';
  switch (button) {
    case LevitonButton::SetLightLevel:
      data = static_cast<std::uint8_t>(level);
      command = '1';
      break;
    case LevitonButton::IncludeInGroup:
      data = GroupByte(group, 0x20);
      break;
    case LevitonButton::RemoveFromGroup:
      data = GroupByte(group, 0x10);
      break;
    case LevitonButton::GroupToLearnedLevel:
      data = GroupByte(group, 0x20);
      command = '6';
      break;
    case LevitonButton::GroupOff:
      data = GroupByte(group, 0x30);
      command = '6';
      break;
  }
  return {static_cast<std::uint8_t>(house), static_cast<std::uint8_t>(key), data, static_cast<std::uint8_t>(command)};
}

std::optional<int> LevitonGroupFromText(const std::string& text) {
  const std::optional<int> group = DecimalFromText(text);
  if (!group || *group < 0 || *group > LevitonMaxGroup) return std::nullopt;
  return group;
}

std::string LevitonLevelText(int position) {
  char text[32];
  std::snprintf(text, sizeof text, "%4.1f%%", position * 1.587);
  return text;
}

void PostExtendedX10(RequestFields& requests, const std::array<std::uint8_t, 4>& command) {
  requests.ExtX10Command = command;
  requests.ExtX10Request = 1;
}

}  // namespace controller
