#include "platform/typed_number.h"

#include <cctype>
#include <climits>

#include "platform/ui.h"

namespace platform {

std::optional<int> ReadWholeNumber(const std::string& text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  bool negative = false;
  if (begin < end && (text[begin] == '-' || text[begin] == '+')) negative = text[begin++] == '-';
  if (begin == end) return std::nullopt;
  long long value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<int> ReadTypedNumber(const std::string& text, const TypedField& field) {
  const std::optional<int> value = ReadWholeNumber(text);
  if (!value || *value < field.Lowest || *value > field.Highest) return std::nullopt;
  return value;
}

std::string TypedNumberRefusal(const TypedField& field) {
  return field.Entry + " must be a whole number from " + std::to_string(field.Lowest) + " to " +
         std::to_string(field.Highest);
}

std::optional<int> ReadTypedNumberOrRefuse(const std::string& text, const TypedField& field) {
  const std::optional<int> value = ReadTypedNumber(text, field);
  if (!value) Ui().ShowMessage(TypedNumberRefusal(field));
  return value;
}

std::optional<int> ReadWholeNumberOrRefuse(const std::string& text, const TypedField& field) {
  const std::optional<int> value = ReadWholeNumber(text);
  if (!value) Ui().ShowMessage(TypedNumberRefusal(field));
  return value;
}

std::optional<int> ReadNumberUpToOrRefuse(const std::string& text, const TypedField& field) {
  std::optional<int> value = ReadWholeNumber(text);
  if (value && *value > field.Highest) value.reset();
  if (!value) Ui().ShowMessage(TypedNumberRefusal(field));
  return value;
}

}  // namespace platform
