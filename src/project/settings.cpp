#include "project/settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/ui.h"

namespace project {

namespace {

// A radio group shows one of its items: a stored index past the last item shows the last one.
int ShownIndex(int value, int first, int last) { return std::clamp(value, first, last); }

// The decimal value a number edit holds, read the C runtime's way: leading blanks and a sign, then digits
// up to the first other character; text that is not a number counts as 0. A number too large for a long
// comes back as the long's limit, which is no password either.
long DecimalValue(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

// An integer of the current key; a missing one is first stored as `fallback`.
std::int32_t SeededInteger(platform::Registry& registry, const char* name, std::int32_t fallback) {
  if (!registry.ValueExists(name)) registry.WriteInteger(name, fallback);
  return registry.ReadInteger(name);
}

// A decimal number (`whole`: an integer) with blanks around it allowed; nothing for any other text,
// exponents included.
std::optional<double> TypedNumber(std::string_view text, bool whole) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int digits = 0, points = 0;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)))
      ++digits;
    else if (c == '.' && !whole)
      ++points;
    else
      return std::nullopt;
  }
  if (digits == 0 || points > 1) return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return negative ? -value : value;
}

bool Within(std::optional<double> value, double low, double high) { return value && *value >= low && *value <= high; }

}  // namespace

std::string TimeSettingsError(const std::string& latitude, const std::string& longitude, const std::string& timeZone) {
  if (!Within(TypedNumber(latitude, false), -90, 90)) return "Latitude must be a decimal number from -90 to 90";
  if (!Within(TypedNumber(longitude, false), -180, 180)) return "Longitude must be a decimal number from -180 to 180";
  if (!Within(TypedNumber(timeZone, true), -12, 14)) return "Time Zone must be a whole number of hours from -12 to 14";
  return {};
}

Settings::Settings(SettingsLinks* links) : links_(links ? links : &ownLinks_) {}

bool Settings::ReadConfigFile() {
  try {
    ReadValues();
    return true;
  } catch (const platform::RegistryError& error) {
    platform::Ui().ShowMessage(error.what());
    return false;
  }
}

void Settings::ReadValues() {
  ComNum = 1;
  Method = 1;
  Delay = 3;
  StartMode = 1;
  Delete = DefaultPassword;
  CurrentDirectory.clear();

  platform::Registry registry(platform::RootKey::LocalMachine);
  if (registry.OpenKey(TimeKey, false)) {
    Latitude = registry.ReadString("Latitude");
    Longitude = registry.ReadString("Longitude");
    UseDaylightSaving = SeededInteger(registry, "DST", UseDaylightSaving ? 1 : 0) != 0;
    TimeZone = registry.ReadString("TimeZone");
    registry.CloseKey();
  }

  // A new machine (or a store from an older version) lacks values: they are seeded with the defaults, so
  // that the window can open there. Only a value that is present but unreadable fails the read.
  registry.OpenKey(ConfigKey, true);
  StartMode = static_cast<std::uint8_t>(SeededInteger(registry, "StartMode", StartMode));
  Delay = static_cast<std::uint8_t>(SeededInteger(registry, "Delay", Delay));
  ComNum = static_cast<std::uint8_t>(SeededInteger(registry, "ComNum", ComNum));
  Method = static_cast<std::uint8_t>(SeededInteger(registry, "Method", Method));
  NonTapi = static_cast<std::uint8_t>(SeededInteger(registry, "NonTapi", 0));
  if (!registry.ValueExists("Modem")) registry.WriteString("Modem", "");
  links_->SetSelectedDevice(registry.ReadString("Modem"));
  Delete = SeededInteger(registry, "Delete", Delete);
  ProgrammingMode = ShownIndex(SeededInteger(registry, "ProgrammingMode", 0), -1, ProgrammingModes - 1);
  registry.CloseKey();

  if (registry.OpenKey(AppPathsKey, false)) {
    CurrentDirectory = registry.ReadString("Path");
    registry.CloseKey();
  }
  if (CurrentDirectory.empty()) CurrentDirectory = platform::CurrentDir();

  SelectComNum(ComNum);
  SelectMethod(Method);
  PasswordText = std::to_string(Delete);

  links_->SetPortNumber(ComNum);
  if (ComNum == 0 && links_->SelectedDevice().empty()) links_->SelectDevice();
  ShowSelectedDevice();
  if (NonTapi == 1) SetNonTapi(true);

  links_->SetPhonebookFileName(platform::JoinPath(CurrentDirectory, PhonebookFile));
}

bool Settings::WriteConfigFile() {
  try {
    WriteValues();
    return true;
  } catch (const platform::RegistryError& error) {
    platform::Ui().ShowMessage(error.what());
    return false;
  }
}

void Settings::WriteValues() {
  platform::Registry registry(platform::RootKey::LocalMachine);
  registry.OpenKey(ConfigKey, true);
  registry.WriteInteger("Delay", Delay);
  registry.WriteInteger("StartMode", StartMode);
  registry.WriteInteger("ComNum", ComNum);
  registry.WriteInteger("Method", Method);
  registry.WriteInteger("NonTapi", NonTapi);
  registry.WriteInteger("Delete", Delete);
  registry.WriteInteger("ProgrammingMode", ProgrammingMode);
  if (ComNum == 0 && links_->SelectedDevice().empty()) {
    links_->SelectDevice();
    ShowSelectedDevice();
  }
  registry.WriteString("Modem", links_->SelectedDevice());
  registry.CloseKey();

  registry.OpenKey(TimeKey, true);
  registry.WriteString("Latitude", Latitude);
  registry.WriteString("Longitude", Longitude);
  registry.WriteBool("DST", UseDaylightSaving);
  registry.WriteString("TimeZone", TimeZone);
  registry.CloseKey();

  links_->SetPortNumber(ComNum);
  links_->SettingsStored();
}

bool Settings::OkOrClose() {
  Delay = 0;
  StartMode = 0;
  const long typed = DecimalValue(PasswordText);
  Delete = typed >= 0 && typed <= 65535 ? static_cast<std::int32_t>(typed) : DefaultPassword;
  return WriteConfigFile();
}

void Settings::SelectComNum(int index) {
  index = ShownIndex(index, 0, ComPorts);
  if (index == ComSelection) return;
  ComSelection = index;
  ComNum = static_cast<std::uint8_t>(index);
  if (index > 0) {
    SelectedDevice.clear();
    links_->SetSelectedDevice("");
  } else {
    SetNonTapi(false);
  }
}

void Settings::SelectMethod(int index) { Method = static_cast<std::uint8_t>(ShownIndex(index, 0, 1)); }

void Settings::SetNonTapi(bool ticked) {
  if (ticked == AuxModem) return;
  AuxModem = ticked;
  if (ticked) {
    SelectedDevice.clear();
    links_->SetSelectedDevice("");
    // The auxiliary modem sits on a COM port.
    if (ComSelection == 0) SelectComNum(1);
    NonTapi = 1;
  } else {
    NonTapi = 0;
  }
}

void Settings::SelectDevice() {
  links_->SelectDevice();
  ShowSelectedDevice();
}

void Settings::ShowSelectedDevice() { SelectedDevice = links_->SelectedDevice(); }

}  // namespace project
