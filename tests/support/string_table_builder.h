#pragma once
// Builds a "STR0" string table the way the build-time generator lays it out.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::uint8_t> MakeStringTable(const std::map<std::int32_t, std::u16string>& entries) {
  std::vector<std::uint8_t> b = {'S', 'T', 'R', '0'};
  auto put32 = [&b](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  };
  put32(static_cast<std::uint32_t>(entries.size()));
  std::uint32_t offset = 8 + 12 * static_cast<std::uint32_t>(entries.size());
  for (const auto& [id, text] : entries) {
    put32(static_cast<std::uint32_t>(id));
    put32(offset);
    put32(static_cast<std::uint32_t>(text.size()));
    offset += 2 * static_cast<std::uint32_t>(text.size());
  }
  for (const auto& [id, text] : entries)
    for (char16_t u : text) {
      b.push_back(static_cast<std::uint8_t>(u));
      b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  return b;
}

}  // namespace testing_support
