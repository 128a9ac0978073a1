#include "platform/string_table.h"

namespace platform {

StringTable::StringTable(std::span<const std::uint8_t> blob) : blob_(blob) {
  if (blob.size() < 8 || blob[0] != 'S' || blob[1] != 'T' || blob[2] != 'R' || blob[3] != '0') {
    problem_ = Problem::BadMagic;
    return;
  }
  std::uint64_t count = Read32(4);
  if (8 + 12 * count > blob.size()) {
    problem_ = Problem::Corrupt;
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::size_t at = 8 + 12 * static_cast<std::size_t>(i);
    std::uint64_t offset = Read32(at + 4), length = Read32(at + 8);
    std::int32_t id = static_cast<std::int32_t>(Read32(at));
    bool ordered = i == 0 || static_cast<std::int32_t>(Read32(at - 12)) < id;
    if (offset + 2 * length > blob.size() || !ordered) {
      problem_ = Problem::Corrupt;
      return;
    }
  }
  valid_count_ = static_cast<std::uint32_t>(count);
}

std::uint32_t StringTable::Read32(std::size_t offset) const {
  return static_cast<std::uint32_t>(blob_[offset]) | static_cast<std::uint32_t>(blob_[offset + 1]) << 8 |
         static_cast<std::uint32_t>(blob_[offset + 2]) << 16 | static_cast<std::uint32_t>(blob_[offset + 3]) << 24;
}

StringTable::Entry StringTable::EntryAt(std::uint32_t index) const {
  std::size_t at = 8 + 12 * static_cast<std::size_t>(index);
  return {static_cast<std::int32_t>(Read32(at)), Read32(at + 4), Read32(at + 8)};
}

std::optional<StringTable::Entry> StringTable::Find(std::int32_t id) const {
  std::int64_t lo = 0, hi = static_cast<std::int64_t>(valid_count_) - 1;
  while (hi >= lo) {
    std::int64_t mid = (lo + hi) / 2;
    Entry e = EntryAt(static_cast<std::uint32_t>(mid));
    if (e.Id == id) return e;
    if (e.Id < id)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return std::nullopt;
}

std::u16string StringTable::Text(const Entry& entry) const {
  std::u16string text;
  text.reserve(entry.Length);
  for (std::uint32_t i = 0; i < entry.Length; ++i) {
    std::size_t at = entry.Offset + 2 * static_cast<std::size_t>(i);
    text.push_back(static_cast<char16_t>(blob_[at] | blob_[at + 1] << 8));
  }
  return text;
}

std::string StringTable::Latin1(const Entry& entry) const {
  std::string text;
  for (char16_t u : Text(entry)) text.push_back(u <= 0xFF ? static_cast<char>(u) : '?');
  return text;
}

}  // namespace platform
