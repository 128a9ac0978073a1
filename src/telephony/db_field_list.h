#pragma once
// The field list of an INI record database component, and the conversion between the caller's record
// layout and the engine's. Both layouts hold the fields in order with no padding and give a string field of
// maximum length N N + 1 bytes and an integer field 4; the caller's strings are length-prefixed, the
// engine's zero-terminated.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace telephony {

class TDBFieldInfo {
 public:
  TDBFieldInfo(const std::string& name, std::uint16_t length);  // a string field of at most `length` characters
  explicit TDBFieldInfo(const std::string& name);               // an integer field
  TDBFieldInfo(const TDBFieldInfo& other) = default;
  TDBFieldInfo& operator=(const TDBFieldInfo& other) = default;

  std::string Name;
  std::uint16_t FieldLength = 4;  // N for a string, 4 for an integer
  bool IsString = false;

  // Bytes the field takes in a record.
  std::int32_t RecordBytes() const { return IsString ? FieldLength + 1 : 4; }
};

class TDBFieldList {
 public:
  TDBFieldList() = default;
  TDBFieldList(const TDBFieldList& other) { Assign(other); }
  TDBFieldList& operator=(const TDBFieldList& other) {
    if (this != &other) Assign(other);
    return *this;
  }

  int Count() const { return static_cast<int>(items_.size()); }
  TDBFieldInfo& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
  const TDBFieldInfo& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  void Add(const TDBFieldInfo& field) { items_.push_back(std::make_unique<TDBFieldInfo>(field)); }
  void Delete(int index) { items_.erase(items_.begin() + index); }
  void Exchange(int a, int b) {
    std::swap(items_.at(static_cast<std::size_t>(a)), items_.at(static_cast<std::size_t>(b)));
  }
  void Clear() { items_.clear(); }
  // Copies of every field of `other`, in order, in place of this list's.
  void Assign(const TDBFieldList& other);

  // The record bytes of the fields, and whether one string field could be an index (at most 31 characters).
  std::int32_t RecordSize() const;
  bool HasIndexCandidate() const;

  // Caller layout to engine layout and back, field by field.
  void StrsToPChars(const void* callerRecord, void* engineRecord) const;
  void PCharsToStrs(const void* engineRecord, void* callerRecord) const;

 private:
  std::vector<std::unique_ptr<TDBFieldInfo>> items_;
};

}  // namespace telephony
