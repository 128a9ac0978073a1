#include "serial/port_availability.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/serial_device.h"
#include "serial/win32_dispatcher.h"

namespace serial {

bool UseDispatcherForAvail = true;
bool ShowPortsInUse = true;

bool IsPortAvailable(int n) {
  if (n == 0) return false;
  const std::string path = TLkWin32Dispatcher::DevicePath("\\\\.\\COM" + std::to_string(n));
  int error = 0;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    error = errno;
  else if (!::isatty(fd))
    error = ENOTTY;
  else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    error = errno;
  if (fd >= 0) ::close(fd);
  if (error == 0) return true;
  return ShowPortsInUse && platform::ClassifyOpenError(error) == platform::SerialOpenError::InUse;
}

}  // namespace serial
