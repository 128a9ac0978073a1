#pragma once
// Reader of the library's string tables ("STR0" resources compiled into the program) by numeric id.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/string_table.h"

namespace serial {

class ETpsStringResourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TLkStringResource {
 public:
  // Opens the named resource; raises ETpsStringResourceError when it is missing or not a valid table.
  explicit TLkStringResource(std::string_view resourceName);
  ~TLkStringResource();
  TLkStringResource(const TLkStringResource&) = delete;
  TLkStringResource& operator=(const TLkStringResource&) = delete;

  // Closes the current table and, when the name is not empty, opens the named one.
  void ChangeResource(std::string_view resourceName);
  bool IsOpen() const { return table_.has_value(); }

  // When set, a missing id raises "String not found: %d" instead of giving an empty text.
  bool RaiseOnMissing = false;

  // The text in the 8-bit (Latin-1) encoding; empty when the id is missing.
  std::string GetString(std::int32_t id) const;
  // The text into `buffer` of `size` bytes, zero-terminated, shortened to fit. Returns the buffer.
  char* GetAsciiZ(std::int32_t id, char* buffer, std::int32_t size) const;
  // The text as UTF-16, at most size - 1 units and a zero unit. Returns the buffer.
  char16_t* GetWideChar(std::int32_t id, char16_t* buffer, std::int32_t size) const;

 private:
  std::optional<platform::StringTable::Entry> srFindIdent(std::int32_t id) const;
  void srOpenResource(std::string_view resourceName);
  void srCloseResource();

  std::optional<platform::StringTable> table_;
};

// The reader over "ADSRMGR_STRINGS", which holds the reader's own error texts.
const TLkStringResource& TpsResStrings();

// Registers the serial library's string tables with the program's resources (idempotent).
void RegisterSerialStringTables();

}  // namespace serial
