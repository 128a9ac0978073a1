#pragma once
// A length-prefixed string of at most N characters in N + 1 bytes (a length byte, then the characters):
// the string fields of the records callers hand to the record databases.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telephony {

template <std::size_t N>
struct TShortString {
  static_assert(N >= 1 && N <= 255);
  std::uint8_t Length = 0;
  char Chars[N] = {};

  // A length byte beyond N (a record from elsewhere) reads as N characters.
  std::string Get() const { return std::string(Chars, Length < N ? Length : N); }
  // Cut to N characters.
  void Set(std::string_view s) {
    Length = static_cast<std::uint8_t>(s.size() < N ? s.size() : N);
    for (std::size_t i = 0; i < N; ++i) Chars[i] = i < Length ? s[i] : '\0';
  }
};

}  // namespace telephony
