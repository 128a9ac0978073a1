#include "controller/typed_number.h"

#include <cctype>
#include <climits>

#include "platform/ui.h"

namespace controller {

namespace {

std::optional<int> LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

int DecimalPrefix(const std::string& text) { return LeadingNumber(text).value_or(0); }

std::optional<int> ReadTypedNumber(const std::string& text, const TypedField& field) {
  const std::optional<int> value = LeadingNumber(text);
  if (!value || *value < field.Lowest || *value > field.Highest) return std::nullopt;
  return value;
}

std::string TypedNumberRefusal(const TypedField& field) {
  return field.Entry + " must be a whole number from " + std::to_string(field.Lowest) + " to " +
         std::to_string(field.Highest);
}

std::optional<int> ReadTypedNumberOrRefuse(const std::string& text, const TypedField& field) {
  const std::optional<int> value = ReadTypedNumber(text, field);
  if (!value) platform::Ui().ShowMessage(TypedNumberRefusal(field));
  return value;
}

}  // namespace controller
