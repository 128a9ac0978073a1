#include "platform/serial_device.h"

#include <cerrno>
#include <cstdlib>

#include "platform/registry.h"
#include "platform/text.h"

namespace platform {

SerialOpenError ClassifyOpenError(int error) {
  switch (error) {
    case 0:
      return SerialOpenError::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTTY:
      return SerialOpenError::NoDevice;
    case EBUSY:
    case EWOULDBLOCK:
      return SerialOpenError::InUse;
    case EACCES:
    case EPERM:
      return SerialOpenError::NoPermission;
    default:
      return SerialOpenError::Other;
  }
}

std::string ResolveComDevice(int number) {
  std::string name = "COM" + std::to_string(number);
  if (const char* path = std::getenv(("ZELTA_" + name).c_str()); path && *path) return path;
  try {
    Registry registry(RootKey::LocalMachine);
    if (registry.OpenKey("\\SYSTEM\\Ports", false)) {
      std::string path = Trim(registry.ReadString(name));
      if (!path.empty()) return path;
    }
  } catch (const RegistryError&) {
    // An unreadable store leaves the default.
  }
  return "/dev/ttyS" + std::to_string(number - 1);
}

int ComNumberOfName(const std::string& name) {
  std::string upper = UpperCase(name);
  std::size_t at = upper.rfind("COM");
  if (at == std::string::npos || at + 3 >= upper.size()) return 0;
  std::string prefix = upper.substr(0, at);
  if (!prefix.empty() && prefix != "\\\\.\\") return 0;
  int number = 0;
  for (std::size_t i = at + 3; i < upper.size(); ++i) {
    if (upper[i] < '0' || upper[i] > '9' || number > 100000) return 0;
    number = number * 10 + (upper[i] - '0');
  }
  return number;
}

}  // namespace platform
