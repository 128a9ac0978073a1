#pragma once
// What the device selection dialog lists and how a choice reads: the telephony line devices by name and
// the free serial ports as "Direct to COM<n>". No window here.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/com_port.h"

namespace telephony {

class TapiDeviceSelection {
 public:
  static constexpr const char* kDirectToCom = "Direct to COM";
  static constexpr int kHighestPort = 50;

  // The names of the line devices, through an API instance of its own ("<noname>" for an empty name).
  static std::vector<std::string> LineDeviceNames();
  // "Direct to COM<n>" for every free port 1 to 50; `afterProbe` runs after each probe.
  static std::vector<std::string> PortEntries(const std::function<void()>& afterProbe = {});

  // The entry to select at first: the port's entry in tmOff, else the device name; the first entry when
  // neither is listed; -1 for an empty list.
  static int PreselectIndex(const std::vector<std::string>& entries, serial::TTapiMode mode, std::uint16_t comNumber,
                            const std::string& deviceName);

  // What a chosen entry means: a port (tmOff and its number) or a line device (tmAuto and 0).
  struct Choice {
    serial::TTapiMode TapiMode = serial::tmAuto;
    std::uint16_t ComNumber = 0;
  };
  static Choice Interpret(const std::string& entry);
};

}  // namespace telephony
