#pragma once
// What the modem, dialer and dial dialog tests share: a port on the simulated modem, a thread-safe log of
// what arrived from the dispatch thread, and waits that run the window thread's loop with a deadline.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "serial/com_port.h"
#include "support/fake_serial_device.h"
#include "support/serial_port_helpers.h"
#include "support/sim_modem.h"

namespace telephony_test {

using namespace std::chrono_literals;

// Lines appended from any thread.
class EventLog {
 public:
  void Add(const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool Has(const std::string& line) const {
    auto lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::size_t Count(const std::string& line) const {
    auto lines = Lines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Runs the window thread's loop until `done` or the deadline.
template <class Pred>
bool Until(Pred done, std::chrono::milliseconds deadline = 5000ms) {
  return serial::test::ProcessUntil(done, deadline);
}

// Lets time pass with the window thread's loop running.
inline void Pass(std::chrono::milliseconds time) {
  serial::test::ProcessUntil([] { return false; }, time);
}

// A port (COM41) on the simulated modem, opened with its worker threads running.
struct ModemLine {
  static constexpr int kComNumber = 41;
  explicit ModemLine(bool open = true) : env(kComNumber, sim.SlavePath()) {
    port.SetComNumber(kComNumber);
    sim.SetGuardTime(40ms);
    if (open) port.SetOpen(true);
  }
  ~ModemLine() { port.SetOpen(false); }

  // What the tests' handlers write to: made first, so that they outlast the port, whose close still
  // delivers what its worker threads raised.
  EventLog log, app;
  testing_support::SimModem sim;
  serial::test::ScopedComEnv env;
  serial::TLkComPort port{nullptr};
};

// A port (COM1) on a fake device, made anew at each open: for what a pseudo-terminal cannot show (modem
// lines, any line rate).
struct FakeDevicePort {
  FakeDevicePort() {
    port.SetComNumber(1);
    port.DispatcherFactory = [this](serial::TLkCustomComPort& p) {
      return serial::TLkBaseDispatcher::Create<serial::TLkComDispatcher>(&p, [this](const std::string&) {
        platform::SerialOpenResult r;
        auto device = std::make_unique<testing_support::FakeSerialDevice>();
        fake = device.get();
        r.Device = std::move(device);
        return r;
      });
    };
  }

  testing_support::FakeSerialDevice* fake = nullptr;
  serial::TLkComPort port{nullptr};
};

inline testing_support::SimDialScript Result(testing_support::SimDialOutcome outcome) {
  testing_support::SimDialScript s;
  s.Outcome = outcome;
  return s;
}

}  // namespace telephony_test
