#pragma once
// Helpers of the port component's tests: COM numbers pointed at pseudo-terminals or at nothing, and the
// manual pumping of a port's dispatcher (no worker threads in these tests).
#include <stdlib.h>

#include <QCoreApplication>
#include <chrono>
#include <string>
#include <thread>

#include "serial/com_port.h"

namespace serial::test {

class ScopedComEnv {
 public:
  ScopedComEnv(int number, const std::string& path) : name_("ZELTA_COM" + std::to_string(number)) {
    ::setenv(name_.c_str(), path.c_str(), 1);
  }
  ~ScopedComEnv() { ::unsetenv(name_.c_str()); }
  ScopedComEnv(const ScopedComEnv&) = delete;
  ScopedComEnv& operator=(const ScopedComEnv&) = delete;

 private:
  std::string name_;
};

// Writes what the port queued out to the device, unless its output thread does.
inline void PumpOut(TLkCustomComPort& port) {
  if (auto d = port.Dispatcher(); d && d->ThreadCount == 0) d->WriteOutput();
}

// Moves device input into the receive ring until `count` bytes are held or 2 s passed.
inline bool PumpIn(TLkCustomComPort& port, std::int32_t count) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    auto d = port.Dispatcher();
    if (!d) return false;
    if (d->InBuffUsed() >= count) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    if (d->ThreadCount != 0 || !d->ExtractData()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
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
