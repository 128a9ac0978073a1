#pragma once
// How a number typed for the controller is read: the request windows' edits and grids, and the Control
// Wizard's constants.
#include <optional>
#include <string>

namespace platform {

// The whole text as a number: an optional sign and digits, with spaces around them aside. Nothing for any
// other text ("0x10", "12abc", "1 2", ""), nor for a number too large for an int.
std::optional<int> ReadWholeNumber(const std::string& text);

// Where a typed number goes: the entry as the user knows it and the numbers it can hold. Its low bits
// would name some other module, point or value.
struct TypedField {
  std::string Entry;
  int Lowest;
  int Highest;
};

// The number typed, read as ReadWholeNumber reads it; nothing when it is no number or does not fit.
std::optional<int> ReadTypedNumber(const std::string& text, const TypedField& field);
// "<Entry> must be a whole number from <Lowest> to <Highest>"
std::string TypedNumberRefusal(const TypedField& field);
// As ReadTypedNumber, and a number that does not fit is refused with that message.
std::optional<int> ReadTypedNumberOrRefuse(const std::string& text, const TypedField& field);
// For an entry that brings any number into its range itself: the number typed, whatever its size; a text
// that is no number is refused with the message of `field`.
std::optional<int> ReadWholeNumberOrRefuse(const std::string& text, const TypedField& field);
// For an entry that brings a number below its range into it itself (a memory address stepped below 0 is
// the top of memory): the number typed up to the field's highest; a text that is no number, or a number
// above the highest, is refused with the message of `field`.
std::optional<int> ReadNumberUpToOrRefuse(const std::string& text, const TypedField& field);

}  // namespace platform
