#include "support/serial_port_helpers.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/posix_tty.h"

namespace serial::test {

ScopedComEnv::ScopedComEnv(int number, const std::string& path) : name_("ZELTA_COM" + std::to_string(number)) {
  ::setenv(name_.c_str(), path.c_str(), 1);
}

ScopedComEnv::~ScopedComEnv() { ::unsetenv(name_.c_str()); }

NoPorts::NoPorts() {
  for (int n = 1; n <= 60; ++n)
    env_.push_back(std::make_unique<ScopedComEnv>(n, "/nonexistent/zelta-tty" + std::to_string(n)));
}

void NoPorts::Point(int number, const std::string& path) {
  auto& slot = env_.at(static_cast<std::size_t>(number - 1));
  slot.reset();  // unsets before the new value is set
  slot = std::make_unique<ScopedComEnv>(number, path);
}

Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
  return b;
}

std::shared_ptr<TLkWin32Dispatcher> OpenPty(const testing_support::PtyPair& pty, std::uint32_t outSize) {
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(
      nullptr, [path = pty.SlavePath()](const std::string&) { return platform::PosixTty::Open(path); });
  EXPECT_EQ(d->InitPort("COM1", 115200, 0, 8, 1, 4096, outSize, 0), 0);
  return d;
}

void PumpOut(TLkCustomComPort& port) {
  if (auto d = port.Dispatcher(); d && d->ThreadCount == 0) d->WriteOutput();
}

bool PumpIn(TLkBaseDispatcher& d, std::int32_t count) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    if (d.InBuffUsed() >= count) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    if (d.ThreadCount != 0 || !d.ExtractData()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool PumpIn(TLkCustomComPort& port, std::int32_t count) {
  auto d = port.Dispatcher();
  return d && PumpIn(*d, count);
}

}  // namespace serial::test
