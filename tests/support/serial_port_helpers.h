#pragma once
// What the tests of the serial library and of the layers above it share: COM numbers pointed at
// pseudo-terminals or at nothing, ports and dispatchers opened on a pseudo-terminal, byte patterns, the
// manual pumping of a dispatcher whose worker threads do not run, and waits to a deadline.
#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <memory>
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
