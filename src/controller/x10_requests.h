#pragma once
// What the X10 windows post to the engine: a plain X10 command with its repeat count, and the extended
// commands that Leviton dimmers and group modules understand.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "controller/request_fields.h"
#include "controller/typed_number.h"

namespace controller {

inline constexpr int X10MaxRepeat = 128;
inline constexpr int LevitonMaxLevel = 63;
inline constexpr int LevitonMaxGroup = 63;

// The repeat typed in the send window: 1..128 as typed, any other number 1. A text that is no number is
// refused with a message: nothing.
std::optional<int> X10RepeatFromText(const std::string& text);

// Posts one X10 command. The house goes in last: it is what arms the request.
void PostX10Send(RequestFields& requests, int house, int key, int repeat);

// The buttons of the Leviton window, numbered as the window numbers them.
enum class LevitonButton {
  IncludeInGroup = 1,       // "Include in Group at Current Level"
  RemoveFromGroup = 2,      // "Remove from Group"
  GroupToLearnedLevel = 3,  // "Entire Group to Learned Level"
  GroupOff = 4,             // "Entire Group OFF"
  SetLightLevel = 5         // "Set Light Level"
};

// House, key, data byte and command character of one extended command. A group command's data byte
// carries the group's two low bits in bits 7-6, the function in bits 5-4 and its four high bits in 3-0.
std::array<std::uint8_t, 4> LevitonCommand(LevitonButton button, int house, int key, int group, int level);

// The group number typed: 0..63, or nothing (a larger number would spill into the function bits).
TypedField LevitonGroupField();
std::optional<int> LevitonGroupFromText(const std::string& text);

// The level label for a scroll position 0..63: "%4.1f%%" of the position in percent.
std::string LevitonLevelText(int position);

void PostExtendedX10(RequestFields& requests, const std::array<std::uint8_t, 4>& command);

}  // namespace controller
