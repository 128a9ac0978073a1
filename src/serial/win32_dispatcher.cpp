#include "serial/win32_dispatcher.h"

#include <sched.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/posix_tty.h"
#include "serial/error_codes.h"
#include "serial/error_text.h"

namespace serial {

namespace {

// What InitPort reports for a device that would not open (magnitudes; InitPort negates them). A port
// that does not exist and one held elsewhere give the numbers the port component maps to its "does not
// exist" and "already open" errors; a device the user may not open has a code of its own.
std::int32_t OpenFailure(const platform::SerialOpenResult& opened) {
  switch (opened.Error) {
    case platform::SerialOpenError::NoDevice:
      return -ecFileNotFound;
    case platform::SerialOpenError::InUse:
      return -ecFileAccessDenied;
    case platform::SerialOpenError::NoPermission:
      return -ecNoPermission;
    default:
      return -SystemErrorCode(opened.SystemError);
  }
}

}  // namespace

TLkWin32Dispatcher::TLkWin32Dispatcher(TLkBaseComponent* owner, DeviceOpener opener)
    : TLkBaseDispatcher(owner), opener_(std::move(opener)) {
  if (!opener_) opener_ = [](const std::string& path) { return platform::PosixTty::Open(path); };
}

TLkWin32Dispatcher::~TLkWin32Dispatcher() { Shutdown(); }

std::string TLkWin32Dispatcher::DevicePath(const std::string& comName) {
  int number = platform::ComNumberOfName(comName);
  return number > 0 ? platform::ResolveComDevice(number) : comName;
}

std::int32_t TLkWin32Dispatcher::TakeDevice(platform::SerialOpenResult opened) {
  if (!opened.Device) {
    LastError = OpenFailure(opened);
    return -1;
  }
  device_ = std::move(opened.Device);
  ComHandle = device_->Descriptor();
  return ComHandle;
}

std::int32_t TLkWin32Dispatcher::OpenCom(const std::string& comName, std::uint32_t, std::uint32_t) {
  return TakeDevice(opener_(DevicePath(comName)));
}

// Called once the worker threads have been joined (DonePortPrim): none of them polls the descriptor.
std::int32_t TLkWin32Dispatcher::CloseCom() {
  if (device_) device_->Close();
  ComHandle = -1;
  return 0;
}

std::int32_t TLkWin32Dispatcher::EscapeComFunction(std::int32_t func) {
  // A pseudo-terminal or telephony line has no modem lines: the request is dropped, as the original
  // ignored the result.
  if (!device_) return 0;
  switch (func) {
    case 3:
    case 4:
      device_->SetRts(func == 3);
      break;
    case 5:
    case 6:
      device_->SetDtr(func == 5);
      break;
    default:
      break;
  }
  return 0;
}

std::int32_t TLkWin32Dispatcher::FlushCom(std::int32_t queue) {
  if (queue == 0) ClearTransmitRing();
  if (!device_) return 0;
  int rc = device_->Purge(queue == 0, queue != 0);
  return rc < 0 ? SystemErrorCode(-rc) : 0;
}

std::uint32_t TLkWin32Dispatcher::GetDeviceErrors(platform::SerialStatus& stat) {
  stat = {};
  if (!device_ || device_->GetStatus(stat) < 0) {
    stat = {};
    return 0;
  }
  return stat.Errors;
}

std::int32_t TLkWin32Dispatcher::GetComEventMask(std::int32_t) { return 0; }

std::int32_t TLkWin32Dispatcher::GetComState(TDeviceState& dcb) {
  if (!device_ || device_->GetSettings(dcb) < 0) return -1;
  return 0;
}

std::int32_t TLkWin32Dispatcher::SetComState(TDeviceState& dcb) {
  if (!device_) return ecCommNotOpen;
  int rc = device_->SetSettings(dcb);
  return rc < 0 ? SystemErrorCode(-rc) : 0;
}

std::int32_t TLkWin32Dispatcher::ReadCom(void* buffer, std::uint32_t size) {
  if (!device_) return ecCommNotOpen;
  long n = device_->Read(buffer, size);
  return n < 0 ? SystemErrorCode(static_cast<int>(-n)) : static_cast<std::int32_t>(n);
}

std::int32_t TLkWin32Dispatcher::WriteCom(const void* buffer, std::uint32_t size) {
  // OutputLock is held by PutBlock, which has checked the room.
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint32_t first = std::min(size, OutQueueSize - TxWritePos);
  std::memcpy(TxRing.get() + TxWritePos, bytes, first);
  std::memcpy(TxRing.get(), bytes + first, size - first);
  TxWritePos = (TxWritePos + size) % OutQueueSize;
  return static_cast<std::int32_t>(size);
}

bool TLkWin32Dispatcher::SetupCom(std::uint32_t, std::uint32_t) { return true; }  // the driver sizes its queues

void TLkWin32Dispatcher::StartDispatcher() { StartThreads(); }

void TLkWin32Dispatcher::StopDispatcher() { StopThreads(); }

int TLkWin32Dispatcher::PollDescriptor() { return device_ ? device_->Descriptor() : -1; }

std::int32_t TLkWin32Dispatcher::ProbeDevice(platform::SerialStatus& stat) {
  stat = {};
  if (!device_) return -ENODEV;
  int rc = device_->GetStatus(stat);
  return rc < 0 ? rc : static_cast<std::int32_t>(stat.Errors);
}

std::int32_t TLkWin32Dispatcher::ProcessCommunications() {
  ::sched_yield();
  return 0;
}

std::int32_t TLkWin32Dispatcher::SetBreakState(bool on) {
  if (!device_) return ecCommNotOpen;
  int rc = device_->SetBreak(on);
  return rc < 0 ? SystemErrorCode(-rc) : 0;
}

std::int32_t TLkWin32Dispatcher::WriteDevice(const void* data, std::uint32_t size) {
  if (!device_) return ecCommNotOpen;
  long n = device_->Write(data, size);
  return n < 0 ? SystemErrorCode(static_cast<int>(-n)) : static_cast<std::int32_t>(n);
}

std::uint8_t TLkWin32Dispatcher::ReadModemLines() {
  std::uint8_t lines = 0;
  if (!device_ || device_->GetModemLines(lines) < 0) return 0;
  return lines;
}

TLkTAPI32Dispatcher::TLkTAPI32Dispatcher(TLkBaseComponent* owner, std::int32_t comHandle)
    : TLkWin32Dispatcher(owner), lineHandle_(comHandle) {}

TLkTAPI32Dispatcher::~TLkTAPI32Dispatcher() { Shutdown(); }

std::int32_t TLkTAPI32Dispatcher::OpenCom(const std::string&, std::uint32_t, std::uint32_t) {
  if (lineHandle_ <= 0) {
    LastError = -ecCommNotOpen;
    return ecCommNotOpen;
  }
  return TakeDevice(platform::PosixTty::Adopt(lineHandle_));
}

}  // namespace serial
