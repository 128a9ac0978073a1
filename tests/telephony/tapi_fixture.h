#pragma once
// What the telephony tests share: a simulated telephony library with two line devices, an owner holding
// a port, the line device and whatever else a test adds, short waits, and an event loop run to a deadline.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "serial/com_port.h"
#include "support/serial_port_helpers.h"
#include "support/sim_telephony.h"
#include "support/temp_dir.h"
#include "telephony/tapi_device.h"
#include "telephony/tapi_functions.h"
#include "tk/component.h"

namespace telephony::test {

// Runs the event loop until `done` or the deadline.
template <class Pred>
bool ProcessUntil(Pred done, std::chrono::milliseconds deadline = std::chrono::milliseconds(3000)) {
  return serial::test::ProcessUntil(done, deadline);
}

using serial::test::NoPorts;

// Everything the device reports, in order.
struct Events {
  std::vector<std::string> Fired;  // "connect", "fail", "port open", "port close"
  std::vector<TTapiLogCode> Logs;
  int Count(const std::string& name) const { return static_cast<int>(std::count(Fired.begin(), Fired.end(), name)); }
};

class TapiTest : public ::testing::Test {
 protected:
  TapiTest() { sim.Lines = {{.Name = "Zelta Modem A"}, {.Name = "Zelta Modem B", .PortName = "COM7"}}; }
  ~TapiTest() override {
    owner.reset();
    FreeTapiLibrary();
  }

  // A port in the owner, then the device; the device takes the port and answers with short waits.
  TLkTapiDevice& MakeDevice(bool withPort = true) {
    if (withPort) port = new serial::TLkComPort(owner.get());
    device = new TLkTapiDevice(owner.get());
    device->Timings = {2000, 2000, 50, 10};
    device->SetSelectedDevice("Zelta Modem B");
    device->OnTapiConnect = [this](tk::Component*) { events.Fired.push_back("connect"); };
    device->OnTapiFail = [this](tk::Component*) { events.Fired.push_back("fail"); };
    device->OnTapiPortOpen = [this](tk::Component*) { events.Fired.push_back("port open"); };
    device->OnTapiPortClose = [this](tk::Component*) { events.Fired.push_back("port close"); };
    device->OnTapiLog = [this](tk::Component*, TTapiLogCode code) { events.Logs.push_back(code); };
    return *device;
  }

  // The call ends, one way or another: no line held and no attempt waiting.
  bool Settled() {
    return ProcessUntil([&] { return !device->LineInUse() && !device->RetryTimerActive() && !device->Dialing(); });
  }

  testing_support::ScopedConfigDir config;  // a registry of the test's own
  testing_support::SimTelephony sim;
  std::unique_ptr<tk::Component> owner = std::make_unique<tk::Component>(nullptr);
  serial::TLkComPort* port = nullptr;
  TLkTapiDevice* device = nullptr;
  Events events;
};

}  // namespace telephony::test

#include <QApplication>
#include <QTimer>
#include <functional>

#include "telephony/tapi_device_selection_form.h"

namespace telephony::test {

// Acts on the device selection dialog once it shows modally (tries for about a second).
inline void WhenSelectionShows(std::function<void(TDeviceSelectionForm&)> act, int tries = 200) {
  QTimer::singleShot(5, [act = std::move(act), tries]() mutable {
    if (auto* form = dynamic_cast<TDeviceSelectionForm*>(QApplication::activeModalWidget()))
      act(*form);
    else if (tries > 0)
      WhenSelectionShows(std::move(act), tries - 1);
    else
      ADD_FAILURE() << "the device selection dialog did not show";
  });
}

}  // namespace telephony::test
