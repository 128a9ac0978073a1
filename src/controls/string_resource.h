#pragma once
// The controls library's reader of "STR0" string-table resources: a thin wrapper over a registered
// resource, checked by platform::StringTable when opened, so a corrupt table never reads out of bounds.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/string_table.h"
#include "tk/exception.h"

namespace controls {

// The reader's own error, with the texts of VXSRMGR_STRINGS.
class ETpsStringResourceError : public tk::Exception {
  using tk::Exception::Exception;
};

class TVxStringResource {
 public:
  // Opens the named resource; throws ETpsStringResourceError when it is missing, not "STR0" or corrupt.
  explicit TVxStringResource(const std::string& resourceName);

  // Closes the current resource and opens another when a name is given.
  void ChangeResource(const std::string& resourceName);

  // The whole text in 8 bits; empty when the identifier is missing.
  std::string GetString(std::int32_t id) const;
  // Into a zero-terminated buffer of `size` bytes, shortened one UTF-16 unit at a time until it fits.
  char* GetAsciiZ(std::int32_t id, char* buffer, std::size_t size) const;
  // At most size - 1 UTF-16 units and a terminating zero.
  char16_t* GetWideChar(std::int32_t id, char16_t* buffer, std::size_t size) const;
  bool Contains(std::int32_t id) const;

  bool ReportErrors = false;

 private:
  void Open(const std::string& resourceName);
  std::optional<platform::StringTable::Entry> Find(std::int32_t id) const;

  std::optional<platform::StringTable> table_;
};

// The reader's own messages (VXSRMGR_STRINGS).
const TVxStringResource& SrMgrStrings();
// Registers the library's compiled-in tables under their resource names; runs once.
void RegisterControlsResources();

}  // namespace controls
