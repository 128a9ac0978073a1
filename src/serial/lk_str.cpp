#include "serial/lk_str.h"

#include <algorithm>
#include <cstring>

namespace serial {

TLkStr::TLkStr(std::uint32_t maxLen) { SetMaxLen(maxLen); }

void TLkStr::SetMaxLen(std::uint32_t maxLen) {
  maxLen_ = maxLen;
  buffer_.assign(static_cast<std::size_t>(maxLen) + 5, '\0');
  len_ = cursor_ = 0;
}

void TLkStr::Resize(std::uint32_t n) {
  std::uint32_t keep = n == 0 ? 0 : std::min(len_, n - 1);
  std::vector<char> bigger(static_cast<std::size_t>(n) + 5, '\0');
  std::copy_n(buffer_.begin(), keep, bigger.begin());
  buffer_.swap(bigger);
  maxLen_ = n;
  len_ = keep;
}

void TLkStr::GrowFor(std::uint32_t extra) {
  if (static_cast<std::uint64_t>(len_) + extra > maxLen_) Resize(len_ + extra + 1);
}

void TLkStr::Append(std::string_view s) {
  GrowFor(static_cast<std::uint32_t>(s.size()));
  std::copy(s.begin(), s.end(), buffer_.begin() + len_);
  len_ += static_cast<std::uint32_t>(s.size());
  buffer_[len_] = '\0';
}

bool TLkStr::Insert(std::string_view s, std::uint32_t pos) {
  if (len_ == 0 && pos == 1) {
    Append(s);
    return true;
  }
  if (pos < 1 || pos > len_) return false;
  GrowFor(static_cast<std::uint32_t>(s.size()));
  auto at = buffer_.begin() + (pos - 1);
  std::copy_backward(at, buffer_.begin() + len_, buffer_.begin() + len_ + s.size());
  std::copy(s.begin(), s.end(), at);
  len_ += static_cast<std::uint32_t>(s.size());
  buffer_[len_] = '\0';
  return true;
}

bool TLkStr::Delete(std::uint32_t pos, std::uint32_t count) {
  if (pos < 1 || pos > len_) return false;
  count = std::min(count, len_ - (pos - 1));
  auto at = buffer_.begin() + (pos - 1);
  std::copy(at + count, buffer_.begin() + len_, at);
  len_ -= count;
  buffer_[len_] = '\0';
  return true;
}

std::string TLkStr::Copy(std::uint32_t pos, std::uint32_t count) const {
  if (pos < 1 || pos > len_) return {};
  count = std::min(count, len_ - (pos - 1));
  return std::string(buffer_.data() + (pos - 1), count);
}

std::uint32_t TLkStr::PosIdx(std::string_view s, std::uint32_t from) {
  if (from < 1 || from > len_ || s.empty()) return 0;
  std::string_view text(buffer_.data(), len_);
  std::size_t at = text.find(s, from - 1);
  if (at == std::string_view::npos) return 0;
  cursor_ = static_cast<std::uint32_t>(at);
  return cursor_ + 1;
}

void TLkStr::Clear() {
  len_ = cursor_ = 0;
  buffer_[0] = '\0';
}

void TLkStr::Assign(std::string_view s) {
  Clear();
  Append(s);
}

char TLkStr::GetChar(std::uint32_t index) const { return index < buffer_.size() ? buffer_[index] : '\0'; }

void TLkStr::SetChar(std::uint32_t index, char c) {
  if (index < maxLen_) buffer_[index] = c;
}

void TLkStr::MoveBy(std::int32_t count) {
  std::int64_t to = static_cast<std::int64_t>(cursor_) + count;
  cursor_ = static_cast<std::uint32_t>(std::max<std::int64_t>(to, 0));
}

void TLkStr::SetLen(std::uint32_t n) {
  if (n <= len_) buffer_[n] = '\0';
}

std::string TLkStr::Text() const { return std::string(buffer_.data(), ::strnlen(buffer_.data(), len_)); }

}  // namespace serial
