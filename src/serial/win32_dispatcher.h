#pragma once
// The dispatcher over a platform serial device (a termios tty on Linux), and its variant over a
// descriptor that the telephony side has already opened for a connected call.
//
// Opening starts the port's three worker threads, unless ManualPump was set: then the caller runs
// ExtractData(), WriteOutput() and the dispatch passes itself.
#include <functional>
#include <memory>
#include <string>

#include "platform/serial_device.h"
#include "serial/dispatcher.h"

namespace serial {

class TLkWin32Dispatcher : public TLkBaseDispatcher {
 public:
  using DeviceOpener = std::function<platform::SerialOpenResult(const std::string& path)>;

  // `opener` opens a device path; by default a tty (tests hand in fakes).
  explicit TLkWin32Dispatcher(TLkBaseComponent* owner, DeviceOpener opener = {});
  ~TLkWin32Dispatcher() override;

  platform::SerialDevice* Device() const { return device_.get(); }
  // The path a port name opens: "\\.\COM<n>" and "COM<n>" go through the COM-number resolution.
  static std::string DevicePath(const std::string& comName);

 protected:
  std::int32_t EscapeComFunction(std::int32_t func) override;
  std::int32_t FlushCom(std::int32_t queue) override;
  std::uint32_t GetDeviceErrors(platform::SerialStatus& stat) override;
  std::int32_t GetComEventMask(std::int32_t mask) override;
  std::int32_t GetComState(TDeviceState& dcb) override;
  std::int32_t ReadCom(void* buffer, std::uint32_t size) override;
  std::int32_t SetComState(TDeviceState& dcb) override;
  std::int32_t WriteCom(const void* buffer, std::uint32_t size) override;
  bool SetupCom(std::uint32_t inSize, std::uint32_t outSize) override;
  void StartDispatcher() override;
  void StopDispatcher() override;
  std::int32_t OpenCom(const std::string& comName, std::uint32_t inQueue, std::uint32_t outQueue) override;
  std::int32_t CloseCom() override;
  std::int32_t ProcessCommunications() override;
  std::int32_t SetBreakState(bool on) override;
  std::int32_t WriteDevice(const void* data, std::uint32_t size) override;
  std::uint8_t ReadModemLines() override;
  int PollDescriptor() override;
  std::int32_t ProbeDevice(platform::SerialStatus& stat) override;

  // Takes over an opened device: sets ComHandle, or records why it failed and returns -1.
  std::int32_t TakeDevice(platform::SerialOpenResult opened);

  std::unique_ptr<platform::SerialDevice> device_;
  DeviceOpener opener_;
};

class TLkTAPI32Dispatcher : public TLkWin32Dispatcher {
 public:
  // `comHandle` is the descriptor of the connected call's line (0 when there is none).
  TLkTAPI32Dispatcher(TLkBaseComponent* owner, std::int32_t comHandle);
  ~TLkTAPI32Dispatcher() override;

 protected:
  std::int32_t OpenCom(const std::string& comName, std::uint32_t inQueue, std::uint32_t outQueue) override;

 private:
  std::int32_t lineHandle_;
};

}  // namespace serial
