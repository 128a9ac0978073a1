#include "support/serial_port_helpers.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/posix_tty.h"
#include "serial/com_dispatcher.h"

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

void HeldTty::SetHold(Hold hold) {
  std::lock_guard lock(mutex_);
  hold_ = hold;
  if (hold == Hold::InDevice) return;
  // A pseudo-terminal takes a few frames at once.
  for (std::size_t sent = 0; sent < held_.size();) {
    const long n = tty_->Write(held_.data() + sent, held_.size() - sent);
    if (n < 0) break;
    sent += static_cast<std::size_t>(n);
  }
  held_.clear();
}

std::size_t HeldTty::HeldInDevice() const {
  std::lock_guard lock(mutex_);
  return held_.size();
}

long HeldTty::Write(const void* data, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (hold_ == Hold::InPort) return 0;
  if (hold_ == Hold::None) return tty_->Write(data, size);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  held_.insert(held_.end(), bytes, bytes + size);
  return static_cast<long>(size);
}

int HeldTty::GetStatus(platform::SerialStatus& status) {
  std::lock_guard lock(mutex_);
  const int rc = tty_->GetStatus(status);
  status.OutQueue += static_cast<std::uint32_t>(held_.size());
  return rc;
}

int HeldTty::Purge(bool transmit, bool receive) {
  std::lock_guard lock(mutex_);
  if (transmit) held_.clear();
  return tty_->Purge(transmit, receive);
}

void UseHeldTty(TLkCustomComPort& port, HeldTty*& tty) {
  port.DispatcherFactory = [&tty](TLkCustomComPort& p) {
    return TLkBaseDispatcher::Create<TLkComDispatcher>(&p, [&tty](const std::string& path) {
      platform::SerialOpenResult opened = platform::PosixTty::Open(path);
      if (!opened.Device) return opened;
      auto held = std::make_unique<HeldTty>(std::move(opened.Device));
      tty = held.get();
      opened.Device = std::move(held);
      return opened;
    });
  };
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
