#pragma once
// A serial device over a Linux tty: raw termios, non-blocking, held exclusively with flock so that a
// second program (or a second port object) cannot open it too.
#include <atomic>
#include <mutex>
#include <string>

#include "platform/serial_device.h"

namespace platform {

class PosixTty : public SerialDevice {
 public:
  // Opens and locks the device at `path` and puts it in raw mode with the given settings.
  static SerialOpenResult Open(const std::string& path, const SerialLineSettings& settings = {});
  // Takes over an open descriptor (a connected call's line); it is closed with the device.
  static SerialOpenResult Adopt(int fd);

  ~PosixTty() override;

  int Descriptor() const override { return fd_; }
  void Close() override;
  int GetSettings(SerialLineSettings& settings) override;
  int SetSettings(const SerialLineSettings& settings) override;
  long Read(void* buffer, std::size_t size) override;
  long Write(const void* data, std::size_t size) override;
  int GetStatus(SerialStatus& status) override;
  int Purge(bool transmit, bool receive) override;
  int SetDtr(bool on) override;
  int SetRts(bool on) override;
  int GetModemLines(std::uint8_t& lines) override;
  int SetBreak(bool on) override;

 private:
  explicit PosixTty(int fd) : fd_(fd) {}
  int SetModemBit(int bit, bool on);

  int fd_ = -1;
  SerialLineSettings settings_;  // what termios cannot hold (limits, DTR/RTS modes) is kept here
  // Error counters of the driver at the last status read; pseudo-terminals have none.
  std::mutex countsMutex_;  // the status is read from more than one thread
  bool haveCounts_ = false;
  // A driver without error counters or modem lines (a pseudo-terminal) refuses them for good: they
  // are not asked for again on every status read.
  std::atomic<bool> noCounts_{false}, noModemLines_{false};
  int frame_ = 0, overrun_ = 0, parity_ = 0, brk_ = 0, bufOverrun_ = 0;
};

}  // namespace platform
