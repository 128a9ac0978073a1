#pragma once
// How the request windows read a number typed into an edit.
#include <optional>
#include <string>

namespace controller {

// Leading blanks, an optional sign and the digits up to the first non-digit; 0 when no digit comes first.
// Saturates instead of overflowing.
int DecimalPrefix(const std::string& text);

// Where a typed number goes: the entry as the user knows it and the numbers it can hold. Its low bits
// would name some other module, point or value.
struct TypedField {
  std::string Entry;
  int Lowest;
  int Highest;
};

// The number typed, read as DecimalPrefix reads it; nothing when no digit comes first or it does not fit.
std::optional<int> ReadTypedNumber(const std::string& text, const TypedField& field);
// "<Entry> must be a whole number from <Lowest> to <Highest>"
std::string TypedNumberRefusal(const TypedField& field);
// As ReadTypedNumber, and a number that does not fit is refused with that message.
std::optional<int> ReadTypedNumberOrRefuse(const std::string& text, const TypedField& field);

}  // namespace controller
