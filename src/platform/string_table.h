#pragma once
// A read-only view of a string table in the "STR0" format: magic, 32-bit count, `count` index records of
// (signed id, byte offset from the table's start, length in UTF-16 units) ascending by id, then UTF-16LE
// texts. Little-endian throughout. The serial and controls libraries' readers both stand on this view.
//
// The blob is checked once, when the view is made: a count, offset or length that points outside the blob,
// or ids out of order, refuse the whole table, so no look-up can read out of bounds.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform {

class StringTable {
 public:
  enum class Problem { None, BadMagic, Corrupt };

  struct Entry {
    std::int32_t Id;
    std::uint32_t Offset;
    std::uint32_t Length;  // UTF-16 units
  };

  // Checks the blob; Status() says why a table was refused.
  explicit StringTable(std::span<const std::uint8_t> blob);

  Problem Status() const { return problem_; }
  bool Valid() const { return problem_ == Problem::None; }
  std::uint32_t Count() const { return valid_count_; }

  std::optional<Entry> Find(std::int32_t id) const;  // binary search with signed comparison
  Entry EntryAt(std::uint32_t index) const;
  std::u16string Text(const Entry& entry) const;
  // Units outside Latin-1 become '?'; the tables hold only characters of the 8-bit range.
  std::string Latin1(const Entry& entry) const;

 private:
  std::uint32_t Read32(std::size_t offset) const;

  std::span<const std::uint8_t> blob_;
  Problem problem_ = Problem::None;
  std::uint32_t valid_count_ = 0;
};

}  // namespace platform
