#include "support/fake_serial_device.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace testing_support {

FakeSerialDevice::FakeSerialDevice() { event_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

FakeSerialDevice::~FakeSerialDevice() {
  if (event_ >= 0) ::close(event_);
}

void FakeSerialDevice::UpdateReadable() {
  std::uint64_t value;
  while (::read(event_, &value, sizeof value) > 0) {
  }
  if (!input_.empty() || vanished_) {
    value = 1;
    [[maybe_unused]] ssize_t n = ::write(event_, &value, sizeof value);
  }
}

void FakeSerialDevice::Receive(const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  UpdateReadable();
}

std::vector<std::uint8_t> FakeSerialDevice::TakeSent() {
  std::lock_guard lock(mutex_);
  return std::exchange(sent_, {});
}

void FakeSerialDevice::SetModemLines(std::uint8_t lines) {
  std::lock_guard lock(mutex_);
  lines_ = lines;
}

void FakeSerialDevice::AddLineErrors(std::uint32_t errors) {
  std::lock_guard lock(mutex_);
  errors_ |= errors;
}

void FakeSerialDevice::SetHolds(std::uint32_t holds) {
  std::lock_guard lock(mutex_);
  holds_ = holds;
}

void FakeSerialDevice::SetWriteRoom(std::size_t room) {
  std::lock_guard lock(mutex_);
  writeRoom_ = room;
}

void FakeSerialDevice::HoldOutput(bool on) {
  std::lock_guard lock(mutex_);
  holdOutput_ = on;
  if (on) return;
  sent_.insert(sent_.end(), held_.begin(), held_.end());
  held_.clear();
}

void FakeSerialDevice::OnWrite(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  onWrite_ = std::move(hook);
}

void FakeSerialDevice::AfterStatus(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  afterStatus_ = std::move(hook);
}

void FakeSerialDevice::BeforeModemLines(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  beforeModemLines_ = std::move(hook);
}

void FakeSerialDevice::Vanish() {
  std::lock_guard lock(mutex_);
  vanished_ = true;
  UpdateReadable();
}

bool FakeSerialDevice::Dtr() const {
  std::lock_guard lock(mutex_);
  return dtr_;
}

bool FakeSerialDevice::Rts() const {
  std::lock_guard lock(mutex_);
  return rts_;
}

bool FakeSerialDevice::BreakOn() const {
  std::lock_guard lock(mutex_);
  return break_;
}

int FakeSerialDevice::PurgeCount(bool transmit) const {
  std::lock_guard lock(mutex_);
  return transmit ? purgeTx_ : purgeRx_;
}

platform::SerialLineSettings FakeSerialDevice::Settings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

int FakeSerialDevice::SetSettingsCalls() const {
  std::lock_guard lock(mutex_);
  return setCalls_;
}

int FakeSerialDevice::Descriptor() const {
  std::lock_guard lock(mutex_);
  return closed_ ? -1 : event_;
}

void FakeSerialDevice::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

int FakeSerialDevice::GetSettings(platform::SerialLineSettings& settings) {
  std::lock_guard lock(mutex_);
  if (closed_ || vanished_) return -EIO;
  settings = settings_;
  return 0;
}

int FakeSerialDevice::SetSettings(const platform::SerialLineSettings& settings) {
  std::lock_guard lock(mutex_);
  if (closed_ || vanished_) return -EIO;
  settings_ = settings;
  ++setCalls_;
  if (settings.DtrControl <= platform::SerialLineSettings::Enable)
    dtr_ = settings.DtrControl == platform::SerialLineSettings::Enable;
  if (settings.RtsControl <= platform::SerialLineSettings::Enable)
    rts_ = settings.RtsControl == platform::SerialLineSettings::Enable;
  return 0;
}

long FakeSerialDevice::Read(void* buffer, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (closed_ || vanished_) return -EIO;
  std::size_t n = std::min(size, input_.size());
  std::copy_n(input_.begin(), n, static_cast<std::uint8_t*>(buffer));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
  UpdateReadable();
  return static_cast<long>(n);
}

long FakeSerialDevice::Write(const void* data, std::size_t size) {
  std::unique_lock lock(mutex_);
  if (const auto hook = onWrite_) {
    lock.unlock();
    hook();
    lock.lock();
  }
  if (closed_ || vanished_) return -EIO;
  std::size_t n = std::min(size, writeRoom_);
  if (writeRoom_ != SIZE_MAX) writeRoom_ -= n;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  auto& to = holdOutput_ ? held_ : sent_;
  to.insert(to.end(), bytes, bytes + n);
  return static_cast<long>(n);
}

int FakeSerialDevice::GetStatus(platform::SerialStatus& status) {
  std::unique_lock lock(mutex_);
  if (closed_ || vanished_) return -EIO;
  status = {};
  status.Errors = std::exchange(errors_, 0);
  status.Holds = holds_;
  status.InQueue = static_cast<std::uint32_t>(input_.size());
  status.OutQueue = static_cast<std::uint32_t>(held_.size());
  if (const auto hook = afterStatus_) {
    lock.unlock();
    hook();
  }
  return static_cast<int>(status.InQueue);
}

int FakeSerialDevice::Purge(bool transmit, bool receive) {
  std::lock_guard lock(mutex_);
  if (transmit) {
    ++purgeTx_;
    held_.clear();
  }
  if (receive) {
    ++purgeRx_;
    input_.clear();
    UpdateReadable();
  }
  return 0;
}

int FakeSerialDevice::SetDtr(bool on) {
  std::lock_guard lock(mutex_);
  dtr_ = on;
  return 0;
}

int FakeSerialDevice::SetRts(bool on) {
  std::lock_guard lock(mutex_);
  rts_ = on;
  return 0;
}

int FakeSerialDevice::GetModemLines(std::uint8_t& lines) {
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    hook = beforeModemLines_;
  }
  if (hook) hook();
  std::lock_guard lock(mutex_);
  lines = lines_;
  return 0;
}

int FakeSerialDevice::SetBreak(bool on) {
  std::lock_guard lock(mutex_);
  break_ = on;
  return 0;
}

}  // namespace testing_support
