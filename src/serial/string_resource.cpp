#include "serial/string_resource.h"

#include <algorithm>
#include <mutex>

#include "platform/resources.h"

namespace resources {
std::span<const std::uint8_t> LkErrorStringsEnglish();
std::span<const std::uint8_t> AdsrmgrStrings();
}  // namespace resources

namespace serial {

namespace {

// The reader's own texts, used when its own table cannot be read either.
const char* const kFallbackTexts[] = {"",
                                      "String not found: %d",
                                      "Cannot lock resource",
                                      "String resource not found: %s",
                                      "Unable to open string resource: %s",
                                      "Invalid TPString resource"};

// Read straight from the table, not through a reader: a reader failing to open its own table must not
// need itself to say so.
std::string ReaderText(int id) {
  RegisterSerialStringTables();
  std::string text;
  if (auto data = platform::FindResource("ADSRMGR_STRINGS")) {
    platform::StringTable table(*data);
    if (auto entry = table.Valid() ? table.Find(id) : std::nullopt) text = table.Latin1(*entry);
  }
  return text.empty() ? kFallbackTexts[id] : text;
}

// Replaces the first "%s" or "%d" of `format` with `arg`.
std::string FormatOne(std::string format, std::string_view arg) {
  std::size_t at = format.find('%');
  while (at != std::string::npos && at + 1 < format.size()) {
    if (format[at + 1] == 's' || format[at + 1] == 'd') return format.replace(at, 2, arg);
    at = format.find('%', at + 2);
  }
  return format;
}

}  // namespace

void RegisterSerialStringTables() {
  static std::once_flag once;
  std::call_once(once, [] {
    platform::RegisterResource("LK_ERROR_STRINGS_ENGLISH", resources::LkErrorStringsEnglish());
    platform::RegisterResource("ADSRMGR_STRINGS", resources::AdsrmgrStrings());
  });
}

const TLkStringResource& TpsResStrings() {
  static const TLkStringResource reader("ADSRMGR_STRINGS");
  return reader;
}

TLkStringResource::TLkStringResource(std::string_view resourceName) { ChangeResource(resourceName); }

TLkStringResource::~TLkStringResource() { srCloseResource(); }

void TLkStringResource::ChangeResource(std::string_view resourceName) {
  srCloseResource();
  if (!resourceName.empty()) srOpenResource(resourceName);
}

void TLkStringResource::srOpenResource(std::string_view resourceName) {
  RegisterSerialStringTables();
  std::string name(resourceName.substr(0, 255));
  auto data = platform::FindResource(name);
  if (!data) throw ETpsStringResourceError(FormatOne(ReaderText(3), name));
  platform::StringTable table(*data);
  if (table.Status() == platform::StringTable::Problem::BadMagic) throw ETpsStringResourceError(ReaderText(5));
  // The magic is there but the index points outside the blob: the table cannot be opened, and is never read.
  if (!table.Valid()) throw ETpsStringResourceError(FormatOne(ReaderText(4), name));
  table_.emplace(table);
}

void TLkStringResource::srCloseResource() { table_.reset(); }

std::optional<platform::StringTable::Entry> TLkStringResource::srFindIdent(std::int32_t id) const {
  std::optional<platform::StringTable::Entry> entry;
  if (table_) entry = table_->Find(id);
  if (!entry && RaiseOnMissing) throw ETpsStringResourceError(FormatOne(ReaderText(1), std::to_string(id)));
  return entry;
}

std::string TLkStringResource::GetString(std::int32_t id) const {
  auto entry = srFindIdent(id);
  return entry ? table_->Latin1(*entry) : std::string();
}

char* TLkStringResource::GetAsciiZ(std::int32_t id, char* buffer, std::int32_t size) const {
  if (size < 1) return buffer;
  auto entry = srFindIdent(id);
  if (!entry) {
    buffer[0] = '\0';
    return buffer;
  }
  // One byte per unit in the 8-bit encoding: shorten until the terminator fits.
  std::string text = table_->Latin1(*entry);
  std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size) - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = '\0';
  return buffer;
}

char16_t* TLkStringResource::GetWideChar(std::int32_t id, char16_t* buffer, std::int32_t size) const {
  if (size < 1) return buffer;
  auto entry = srFindIdent(id);
  if (!entry) {
    buffer[0] = u'\0';
    return buffer;
  }
  std::u16string text = table_->Text(*entry);
  std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size) - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = u'\0';
  return buffer;
}

}  // namespace serial
