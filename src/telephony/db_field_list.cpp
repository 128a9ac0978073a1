#include "telephony/db_field_list.h"

#include <algorithm>
#include <cstring>

#include "telephony/ini_engine.h"

namespace telephony {

TDBFieldInfo::TDBFieldInfo(const std::string& name, std::uint16_t length)
    : Name(name), FieldLength(length), IsString(true) {}

TDBFieldInfo::TDBFieldInfo(const std::string& name) : Name(name), FieldLength(4), IsString(false) {}

void TDBFieldList::Assign(const TDBFieldList& other) {
  std::vector<std::unique_ptr<TDBFieldInfo>> copies;
  for (int i = 0; i < other.Count(); ++i) copies.push_back(std::make_unique<TDBFieldInfo>(other.Items(i)));
  items_ = std::move(copies);
}

std::int32_t TDBFieldList::RecordSize() const {
  std::int32_t size = 0;
  for (const auto& f : items_) size += f->RecordBytes();
  return size;
}

bool TDBFieldList::HasIndexCandidate() const {
  return std::any_of(items_.begin(), items_.end(),
                     [](const auto& f) { return f->IsString && f->FieldLength <= MaxIndexLen; });
}

void TDBFieldList::StrsToPChars(const void* callerRecord, void* engineRecord) const {
  const auto* from = static_cast<const std::uint8_t*>(callerRecord);
  auto* to = static_cast<std::uint8_t*>(engineRecord);
  for (const auto& f : items_) {
    const std::size_t bytes = static_cast<std::size_t>(f->RecordBytes());
    if (f->IsString) {
      const std::size_t length = std::min<std::size_t>(from[0], f->FieldLength);
      std::memset(to, 0, bytes);
      std::memcpy(to, from + 1, length);
    } else {
      std::memcpy(to, from, 4);
    }
    from += bytes;
    to += bytes;
  }
}

void TDBFieldList::PCharsToStrs(const void* engineRecord, void* callerRecord) const {
  const auto* from = static_cast<const std::uint8_t*>(engineRecord);
  auto* to = static_cast<std::uint8_t*>(callerRecord);
  for (const auto& f : items_) {
    const std::size_t bytes = static_cast<std::size_t>(f->RecordBytes());
    if (f->IsString) {
      std::size_t length = 0;
      while (length < f->FieldLength && length < 255 && from[length] != 0) ++length;
      std::memset(to, 0, bytes);
      to[0] = static_cast<std::uint8_t>(length);
      std::memcpy(to + 1, from, length);
    } else {
      std::memcpy(to, from, 4);
    }
    from += bytes;
    to += bytes;
  }
}

}  // namespace telephony
