#include "telephony/tapi_device_selection.h"

#include <cstdlib>

#include "serial/port_availability.h"
#include "telephony/tapi_functions.h"

namespace telephony {

namespace {

void IgnoreLineMessage(std::uint32_t, std::uint32_t, std::uintptr_t, std::uint32_t, std::uint32_t, std::uint32_t) {}

}  // namespace

std::vector<std::string> TapiDeviceSelection::LineDeviceNames() {
  std::vector<std::string> names;
  HLINEAPP app = 0;
  std::uint32_t count = 0;
  if (tuLineInitialize(&app, nullptr, &IgnoreLineMessage, "", &count) == 0) {
    for (std::uint32_t id = 0; id < count; ++id) {
      std::uint32_t version = 0;
      platform::LINEEXTENSIONID extension{};
      if (tuLineNegotiateApiVersion(app, id, platform::kTapiVersion14, platform::kTapiVersion14, &version, &extension) <
          0)
        continue;
      TapiRecord<platform::LINEDEVCAPS> caps;
      if (tuLineGetDevCapsDyn(app, id, version, 0, caps) < 0 || !caps) continue;
      std::string name = TapiRecordText(caps.get(), caps->dwLineNameOffset, caps->dwLineNameSize);
      names.push_back(name.empty() ? "<noname>" : name);
    }
  }
  tuLineShutdown(app);
  return names;
}

std::vector<std::string> TapiDeviceSelection::PortEntries(const std::function<void()>& afterProbe) {
  std::vector<std::string> entries;
  for (int n = 1; n <= kHighestPort; ++n) {
    if (serial::IsPortAvailable(n)) entries.push_back(kDirectToCom + std::to_string(n));
    if (afterProbe) afterProbe();
  }
  return entries;
}

int TapiDeviceSelection::PreselectIndex(const std::vector<std::string>& entries, serial::TTapiMode mode,
                                        std::uint16_t comNumber, const std::string& deviceName) {
  if (entries.empty()) return -1;
  const std::string wanted = mode == serial::tmOff ? kDirectToCom + std::to_string(comNumber) : deviceName;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i] == wanted) return static_cast<int>(i);
  return 0;
}

TapiDeviceSelection::Choice TapiDeviceSelection::Interpret(const std::string& entry) {
  Choice choice;
  if (entry.find(kDirectToCom) != std::string::npos) {
    choice.TapiMode = serial::tmOff;
    // The number is the text from the 14th character on.
    const std::size_t at = std::string(kDirectToCom).size();
    choice.ComNumber = entry.size() > at ? static_cast<std::uint16_t>(std::atoi(entry.c_str() + at)) : 0;
  }
  return choice;
}

}  // namespace telephony
