#include "platform/resources.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/text.h"

namespace platform {

namespace {
std::mutex mutex;
std::map<std::string, std::span<const std::uint8_t>>& Table() {
  static std::map<std::string, std::span<const std::uint8_t>> table;
  return table;
}
}  // namespace

// Resource names match ignoring case, as the original's resource look-up does.
void RegisterResource(std::string_view name, std::span<const std::uint8_t> data) {
  std::lock_guard lock(mutex);
  Table()[UpperCase(name)] = data;
}

std::optional<std::span<const std::uint8_t>> FindResource(std::string_view name) {
  std::lock_guard lock(mutex);
  auto it = Table().find(UpperCase(name));
  if (it == Table().end()) return std::nullopt;
  return it->second;
}

}  // namespace platform
