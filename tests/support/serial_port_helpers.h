#pragma once
// What the tests of the serial library and of the layers above it share: COM numbers pointed at
// pseudo-terminals or at nothing, ports and dispatchers opened on a pseudo-terminal, a pseudo-terminal
// whose output the test holds back, byte patterns, the manual pumping of a dispatcher whose worker
// threads do not run, and waits to a deadline.
#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/com_port.h"
#include "serial/win32_dispatcher.h"
#include "support/pty_pair.h"

namespace serial::test {

using Bytes = std::vector<std::uint8_t>;

// Points COM<number> at `path` (ZELTA_COM<number>) for the scope's life.
class ScopedComEnv {
 public:
  ScopedComEnv(int number, const std::string& path);
  ~ScopedComEnv();
  ScopedComEnv(const ScopedComEnv&) = delete;
  ScopedComEnv& operator=(const ScopedComEnv&) = delete;

 private:
  std::string name_;
};

// Points COM1 to COM60 at nothing, so that only the ports a test makes (and points at) exist.
class NoPorts {
 public:
  NoPorts();
  void Point(int number, const std::string& path);

 private:
  std::vector<std::unique_ptr<ScopedComEnv>> env_;
};

// A pseudo-terminal whose output the test holds back: in the port, as a loaded machine holds back the
// port's writer (the device takes nothing, the bytes stay in the transmit ring), or in the device, as a
// slow line does (the device takes them and reports them queued until they go out; a transmit purge drops
// them).
class HeldTty : public platform::SerialDevice {
 public:
  enum class Hold { None, InPort, InDevice };
  explicit HeldTty(std::unique_ptr<platform::SerialDevice> tty) : tty_(std::move(tty)) {}
  // Ending a hold in the device sends what it held.
  void SetHold(Hold hold);
  std::size_t HeldInDevice() const;

  long Write(const void* data, std::size_t size) override;
  int GetStatus(platform::SerialStatus& status) override;
  int Purge(bool transmit, bool receive) override;
  int Descriptor() const override { return tty_->Descriptor(); }
  void Close() override { tty_->Close(); }
  int GetSettings(platform::SerialLineSettings& s) override { return tty_->GetSettings(s); }
  int SetSettings(const platform::SerialLineSettings& s) override { return tty_->SetSettings(s); }
  long Read(void* buffer, std::size_t size) override { return tty_->Read(buffer, size); }
  int SetDtr(bool on) override { return tty_->SetDtr(on); }
  int SetRts(bool on) override { return tty_->SetRts(on); }
  int GetModemLines(std::uint8_t& lines) override { return tty_->GetModemLines(lines); }
  int SetBreak(bool on) override { return tty_->SetBreak(on); }

 private:
  std::unique_ptr<platform::SerialDevice> tty_;
  mutable std::mutex mutex_;
  Hold hold_ = Hold::None;
  Bytes held_;
};

// Makes `port` open its device (the COM number's pseudo-terminal) as a HeldTty; `tty` points at it
// while the port is open.
void UseHeldTty(TLkCustomComPort& port, HeldTty*& tty);

// `n` bytes of a pattern that moves with the seed and drifts along the block, so that a lost, doubled or
// reordered byte shows.
Bytes Pattern(std::size_t n, std::uint8_t seed = 0);

// A dispatcher opened on the pseudo-terminal's slave at 115200 baud, its worker threads running.
std::shared_ptr<TLkWin32Dispatcher> OpenPty(const testing_support::PtyPair& pty, std::uint32_t outSize = 4096);

// Writes what the port queued out to the device, unless its output thread does.
void PumpOut(TLkCustomComPort& port);

// Moves device input into the receive ring until `count` bytes are held or 2 s passed; with worker
// threads running it only waits for them. The wait for bytes the far end sends by itself (a simulated
// controller's pushed, event or learnt-code bytes, a modem's answer).
bool PumpIn(TLkBaseDispatcher& d, std::int32_t count);
bool PumpIn(TLkCustomComPort& port, std::int32_t count);

// Polls `done` until it holds or the deadline passes, without running the event loop.
template <class Pred>
bool WaitFor(Pred done, std::chrono::milliseconds deadline = std::chrono::milliseconds(2000)) {
  auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Runs the event loop until `done` or the deadline.
template <class Pred>
bool ProcessUntil(Pred done, std::chrono::milliseconds deadline = std::chrono::milliseconds(2000)) {
  auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace serial::test
