#pragma once
// The serial device seam: what the serial library needs of a port, whatever stands behind it (a tty, a
// descriptor handed over by telephony, or a fake in tests). Results are 0 or a count for success and a
// negated errno for failure. No Qt here.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The line settings the library keeps for a port (the original's device control block).
struct SerialLineSettings {
  enum Control : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2, Toggle = 3 };

  std::uint32_t Baud = 9600;
  std::uint8_t DataBits = 8;
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  // code: 0 one, 1 one and a half, 2 two
  bool OutxCtsFlow = false;   // output waits for CTS
  bool OutxDsrFlow = false;   // output waits for DSR
  std::uint8_t DtrControl = Enable;
  std::uint8_t RtsControl = Enable;
  bool OutX = false;  // XON/XOFF on the transmit side
  bool InX = false;   // XON/XOFF on the receive side
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  char XonChar = 17;
  char XoffChar = 19;

  bool operator==(const SerialLineSettings&) const = default;
};

// Line-error flags and hold states as the library reports them.
struct SerialStatus {
  enum Error : std::uint32_t { RxOverflow = 1, Overrun = 2, Parity = 4, Framing = 8, Break = 16 };
  enum Hold : std::uint32_t { CtsHold = 1, DsrHold = 2, XoffHold = 8, XoffSent = 16 };
  std::uint32_t Errors = 0;
  std::uint32_t Holds = 0;
  std::uint32_t InQueue = 0;
  std::uint32_t OutQueue = 0;
};

// Modem-line bits as the library reports them.
enum ModemLine : std::uint8_t { LineCts = 0x10, LineDsr = 0x20, LineRi = 0x40, LineDcd = 0x80 };

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // A descriptor that polls readable while input waits (and reports POLLHUP/POLLERR when the device is
  // gone); -1 when closed.
  virtual int Descriptor() const = 0;
  virtual void Close() = 0;

  virtual int GetSettings(SerialLineSettings& settings) = 0;
  virtual int SetSettings(const SerialLineSettings& settings) = 0;

  // Non-blocking: the bytes read or taken, 0 when nothing waits or there is no room.
  virtual long Read(void* buffer, std::size_t size) = 0;
  virtual long Write(const void* data, std::size_t size) = 0;
  // Bytes waiting in the receive queue, and fills the status record (line errors since the last call).
  virtual int GetStatus(SerialStatus& status) = 0;
  virtual int Purge(bool transmit, bool receive) = 0;

  virtual int SetDtr(bool on) = 0;
  virtual int SetRts(bool on) = 0;
  virtual int GetModemLines(std::uint8_t& lines) = 0;  // ModemLine bits
  virtual int SetBreak(bool on) = 0;
};

enum class SerialOpenError { None, NoDevice, InUse, NoPermission, Other };

struct SerialOpenResult {
  std::unique_ptr<SerialDevice> Device;
  SerialOpenError Error = SerialOpenError::None;
  int SystemError = 0;  // errno of the failure
};

// Classifies an errno from opening a serial device.
SerialOpenError ClassifyOpenError(int error);

// The device path of COM<n>: environment ZELTA_COM<n>, else the settings-store value "COM<n>" under local
// machine "SYSTEM\Ports", else /dev/ttyS<n-1>.
std::string ResolveComDevice(int number);
// The COM number in a name such as "\\.\COM3" or "COM3"; 0 when the name is not of that form.
int ComNumberOfName(const std::string& name);

}  // namespace platform
