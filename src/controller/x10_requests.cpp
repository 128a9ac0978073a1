#include "controller/x10_requests.h"

#include <cstdio>

#include "controller/typed_number.h"

namespace controller {

namespace {

std::uint8_t GroupByte(int group, std::uint8_t function) {
  return static_cast<std::uint8_t>(((group << 6) | (group >> 2) | function) & 0xFF);
}

}  // namespace

std::optional<int> X10RepeatFromText(const std::string& text) {
  const std::optional<int> repeat = ReadWholeNumberOrRefuse(text, {"Repeat", 1, X10MaxRepeat});
  if (!repeat) return std::nullopt;
  return *repeat >= 1 && *repeat <= X10MaxRepeat ? *repeat : 1;
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

TypedField LevitonGroupField() { return {"Group Number", 0, LevitonMaxGroup}; }

std::optional<int> LevitonGroupFromText(const std::string& text) { return ReadTypedNumber(text, LevitonGroupField()); }

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
