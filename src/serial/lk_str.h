#pragma once
// A growable zero-terminated text with a cursor, as the modem and telephony engines build their command
// and response strings. Positions given to the editing routines are 1-based; GetChar/SetChar are 0-based.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace serial {

class TLkStr {
 public:
  explicit TLkStr(std::uint32_t maxLen = 255);

  void SetMaxLen(std::uint32_t maxLen);  // a new, empty buffer
  void Resize(std::uint32_t n);          // keeps at most n - 1 characters

  void Append(std::string_view s);
  void AppendBuff(const char* buffer, std::uint32_t len) { Append(std::string_view(buffer, len)); }
  void AppendTAdStr(const TLkStr& other) { Append(other.Text()); }
  void Prepend(std::string_view s) { Insert(s, 1); }
  bool Insert(std::string_view s, std::uint32_t pos);  // false when pos lies outside the text
  bool Delete(std::uint32_t pos, std::uint32_t count);
  std::string Copy(std::uint32_t pos, std::uint32_t count) const;  // count cut at the end
  std::uint32_t Pos(std::string_view s) { return PosIdx(s, 1); }
  std::uint32_t PosIdx(std::string_view s, std::uint32_t from);  // 1-based or 0; the cursor on the match
  void Clear();
  void Assign(std::string_view s);

  char GetChar(std::uint32_t index) const;  // 0 beyond the buffer
  void SetChar(std::uint32_t index, char c);
  char GetCurChar() const { return GetChar(cursor_); }
  void GotoPos(std::uint32_t pos) { cursor_ = pos == 0 ? 0 : pos - 1; }
  void First() { cursor_ = 0; }
  void Last() { cursor_ = len_ == 0 ? 0 : len_ - 1; }
  void Next() { ++cursor_; }
  void Prev() { cursor_ = cursor_ == 0 ? 0 : cursor_ - 1; }
  void MoveBy(std::int32_t count);
  std::uint32_t Cursor() const { return cursor_; }

  std::uint32_t GetLen() const { return len_; }
  std::uint32_t GetMaxLen() const { return maxLen_; }
  std::uint32_t GetBuffLen() const { return maxLen_ + 1; }
  // Stores a terminator at n when n is not above the length; the stored length stays as it was.
  void SetLen(std::uint32_t n);

  std::string Text() const;  // up to the first terminator

 private:
  void GrowFor(std::uint32_t extra);

  std::uint32_t maxLen_ = 0, len_ = 0, cursor_ = 0;
  std::vector<char> buffer_;  // maxLen_ + 5 bytes
};

}  // namespace serial
