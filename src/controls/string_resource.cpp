#include "controls/string_resource.h"

#include <cstdio>
#include <mutex>

#include "platform/resources.h"

namespace resources {
std::span<const std::uint8_t> VxStringsEnglish();
std::span<const std::uint8_t> VxSrMgrStrings();
}  // namespace resources

namespace controls {

namespace {

// The reader's own texts, read straight from their table so that a failure to open a table never recurses.
std::string SrMgrText(int id, const char* fallback) {
  if (auto blob = platform::FindResource("VXSRMGR_STRINGS")) {
    platform::StringTable table(*blob);
    if (auto entry = table.Find(id)) return table.Latin1(*entry);
  }
  return fallback;
}

std::string Format(const std::string& pattern, const std::string& arg) {
  std::size_t at = pattern.find("%s");
  if (at == std::string::npos) return pattern;
  return pattern.substr(0, at) + arg + pattern.substr(at + 2);
}

}  // namespace

void RegisterControlsResources() {
  static std::once_flag once;
  std::call_once(once, [] {
    platform::RegisterResource("VX_STRINGS_ENGLISH", resources::VxStringsEnglish());
    platform::RegisterResource("VXSRMGR_STRINGS", resources::VxSrMgrStrings());
  });
}

const TVxStringResource& SrMgrStrings() {
  RegisterControlsResources();
  static const TVxStringResource reader("VXSRMGR_STRINGS");
  return reader;
}

TVxStringResource::TVxStringResource(const std::string& resourceName) { Open(resourceName); }

void TVxStringResource::ChangeResource(const std::string& resourceName) {
  table_.reset();
  if (!resourceName.empty()) Open(resourceName);
}

void TVxStringResource::Open(const std::string& resourceName) {
  RegisterControlsResources();
  std::string name = resourceName.substr(0, 255);
  auto blob = platform::FindResource(name);
  if (!blob) throw ETpsStringResourceError(Format(SrMgrText(3, "String resource not found: %s"), name));
  platform::StringTable table(*blob);
  if (table.Status() == platform::StringTable::Problem::BadMagic)
    throw ETpsStringResourceError(SrMgrText(5, "Invalid TPString resource"));
  if (!table.Valid()) throw ETpsStringResourceError(Format(SrMgrText(4, "Unable to open string resource: %s"), name));
  table_ = table;
}

std::optional<platform::StringTable::Entry> TVxStringResource::Find(std::int32_t id) const {
  auto entry = table_ ? table_->Find(id) : std::nullopt;
  if (!entry && ReportErrors) {
    std::string pattern = SrMgrText(1, "String not found: %d");
    std::size_t at = pattern.find("%d");
    if (at != std::string::npos) pattern = pattern.substr(0, at) + std::to_string(id) + pattern.substr(at + 2);
    throw ETpsStringResourceError(pattern);
  }
  return entry;
}

bool TVxStringResource::Contains(std::int32_t id) const { return table_ && table_->Find(id).has_value(); }

std::string TVxStringResource::GetString(std::int32_t id) const {
  auto entry = Find(id);
  return entry ? table_->Latin1(*entry) : std::string();
}

char* TVxStringResource::GetAsciiZ(std::int32_t id, char* buffer, std::size_t size) const {
  if (size == 0) return buffer;
  buffer[0] = '\0';
  auto entry = Find(id);
  if (!entry) return buffer;
  // Texts are 8-bit after conversion: one byte per UTF-16 unit, so the cut is by units.
  std::string text = table_->Latin1(*entry);
  if (text.size() > size - 1) text.resize(size - 1);
  text.copy(buffer, text.size());
  buffer[text.size()] = '\0';
  return buffer;
}

char16_t* TVxStringResource::GetWideChar(std::int32_t id, char16_t* buffer, std::size_t size) const {
  if (size == 0) return buffer;
  buffer[0] = u'\0';
  auto entry = Find(id);
  if (!entry) return buffer;
  std::u16string text = table_->Text(*entry);
  if (text.size() > size - 1) text.resize(size - 1);
  text.copy(buffer, text.size());
  buffer[text.size()] = u'\0';
  return buffer;
}

}  // namespace controls
