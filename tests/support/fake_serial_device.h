#pragma once
// A serial device for tests of what pseudo-terminals cannot do: modem lines, line errors, break, hold
// states, a transmit side that fills up or holds what it took, and a device that vanishes. Safe to use
// from several threads.
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/serial_device.h"

namespace testing_support {

class FakeSerialDevice : public platform::SerialDevice {
 public:
  FakeSerialDevice();
  ~FakeSerialDevice() override;

  // --- the far end, driven by the test ---
  void Receive(const std::vector<std::uint8_t>& bytes);  // bytes arriving on the line
  std::vector<std::uint8_t> TakeSent();                  // bytes written so far, removed
  void SetModemLines(std::uint8_t lines);                // ModemLine bits
  void AddLineErrors(std::uint32_t errors);              // SerialStatus error flags, reported once
  void SetHolds(std::uint32_t holds);                    // SerialStatus hold flags
  void SetWriteRoom(std::size_t room);                   // bytes Write() takes before it reports full
  // While on, what Write() takes stays in the device's transmit queue (its status counts it) instead of
  // going out; off sends what was held. A transmit purge drops what is held.
  void HoldOutput(bool on);
  // Run outside the device's lock: at the start of each Write(), before it takes anything, and at the end
  // of each GetStatus(), after it has looked. A test acts there between two looks of the code under test.
  void OnWrite(std::function<void()> hook);
  void AfterStatus(std::function<void()> hook);
  // Run outside the device's lock at the start of each GetModemLines().
  void BeforeModemLines(std::function<void()> hook);
  void Vanish();                                         // reads and writes fail with EIO from now on

  // --- what the code under test did ---
  bool Dtr() const;
  bool Rts() const;
  bool BreakOn() const;
  int PurgeCount(bool transmit) const;
  platform::SerialLineSettings Settings() const;
  int SetSettingsCalls() const;

  // SerialDevice
  int Descriptor() const override;
  void Close() override;
  int GetSettings(platform::SerialLineSettings& settings) override;
  int SetSettings(const platform::SerialLineSettings& settings) override;
  long Read(void* buffer, std::size_t size) override;
  long Write(const void* data, std::size_t size) override;
  int GetStatus(platform::SerialStatus& status) override;
  int Purge(bool transmit, bool receive) override;
  int SetDtr(bool on) override;
  int SetRts(bool on) override;
  int GetModemLines(std::uint8_t& lines) override;
  int SetBreak(bool on) override;

 private:
  void UpdateReadable();  // called with the mutex held

  mutable std::mutex mutex_;
  int event_ = -1;  // eventfd: readable while input waits
  bool closed_ = false, vanished_ = false;
  std::deque<std::uint8_t> input_;
  std::vector<std::uint8_t> sent_, held_;
  bool holdOutput_ = false;
  std::function<void()> onWrite_, afterStatus_, beforeModemLines_;
  std::size_t writeRoom_ = SIZE_MAX;
  std::uint8_t lines_ = 0;
  std::uint32_t errors_ = 0, holds_ = 0;
  bool dtr_ = false, rts_ = false, break_ = false;
  int purgeTx_ = 0, purgeRx_ = 0, setCalls_ = 0;
  platform::SerialLineSettings settings_;
};

}  // namespace testing_support
