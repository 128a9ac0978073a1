#include "platform/posix_tty.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

struct BaudEntry {
  std::uint32_t Baud;
  speed_t Speed;
};

const BaudEntry kBauds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},        {200, B200},
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},  {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

bool SpeedOf(std::uint32_t baud, speed_t& speed) {
  for (const BaudEntry& e : kBauds)
    if (e.Baud == baud) {
      speed = e.Speed;
      return true;
    }
  return false;
}

int Fail() { return -errno; }

// The driver does not know the request at all (as against a passing failure).
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL; }

}  // namespace

SerialOpenResult PosixTty::Open(const std::string& path, const SerialLineSettings& settings) {
  SerialOpenResult result;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int error = fd < 0 ? errno : 0;
  if (fd >= 0 && !::isatty(fd)) error = ENOTTY;
  // TIOCEXCL does not stop root; an advisory lock on the open file does.
  if (!error && ::flock(fd, LOCK_EX | LOCK_NB) != 0) error = errno;
  if (error) {
    if (fd >= 0) ::close(fd);
    result.Error = ClassifyOpenError(error);
    result.SystemError = error;
    return result;
  }
  std::unique_ptr<PosixTty> tty(new PosixTty(fd));
  if (int rc = tty->SetSettings(settings); rc < 0) {
    result.Error = ClassifyOpenError(-rc);
    result.SystemError = -rc;
    return result;
  }
  result.Device = std::move(tty);
  return result;
}

SerialOpenResult PosixTty::Adopt(int fd) {
  SerialOpenResult result;
  if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) {
    result.Error = SerialOpenError::NoDevice;
    result.SystemError = EBADF;
    return result;
  }
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  std::unique_ptr<PosixTty> tty(new PosixTty(fd));
  SerialLineSettings current;
  tty->GetSettings(current);
  tty->settings_ = current;
  result.Device = std::move(tty);
  return result;
}

PosixTty::~PosixTty() { Close(); }

void PosixTty::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the lock too
  fd_ = -1;
}

// The settings as last applied: a pseudo-terminal silently keeps 8 data bits without parity, and the
// library compares what it asked for with what it reads back.
int PosixTty::GetSettings(SerialLineSettings& settings) {
  termios t;
  if (::tcgetattr(fd_, &t) != 0) return Fail();
  settings = settings_;
  return 0;
}

int PosixTty::SetSettings(const SerialLineSettings& settings) {
  termios t;
  if (::tcgetattr(fd_, &t) != 0) return Fail();
  speed_t speed;
  if (!SpeedOf(settings.Baud, speed)) return -EINVAL;
  if (settings.DataBits < 5 || settings.DataBits > 8 || settings.Parity > 4) return -EINVAL;
  ::cfmakeraw(&t);
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[settings.DataBits - 5];
  if (settings.Parity != 0) t.c_cflag |= PARENB;
  if (settings.Parity == 1 || settings.Parity == 3) t.c_cflag |= PARODD;
  if (settings.Parity >= 3) t.c_cflag |= CMSPAR;
  if (settings.StopBits != 0) t.c_cflag |= CSTOPB;  // termios has no one and a half: two
  // termios flows output on CTS and raises RTS in one setting; DSR/DTR handshakes have no equivalent.
  if (settings.OutxCtsFlow || settings.RtsControl == SerialLineSettings::Handshake) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (settings.OutX) t.c_iflag |= IXON;
  if (settings.InX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(settings.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(settings.XoffChar);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return Fail();
  settings_ = settings;
  // The modem-line modes are applied as levels where the device has lines at all.
  if (settings.DtrControl <= SerialLineSettings::Enable) SetDtr(settings.DtrControl == SerialLineSettings::Enable);
  if (settings.RtsControl <= SerialLineSettings::Enable) SetRts(settings.RtsControl == SerialLineSettings::Enable);
  return 0;
}

long PosixTty::Read(void* buffer, std::size_t size) {
  if (size == 0) return 0;
  for (;;) {
    ssize_t n = ::read(fd_, buffer, size);
    if (n > 0) return n;
    if (n == 0) {
      // A hung-up line (the far end closed, an adapter was pulled) reads as 0 for ever: say so.
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return -EIO;
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return Fail();
  }
}

long PosixTty::Write(const void* data, std::size_t size) {
  if (size == 0) return 0;
  for (;;) {
    ssize_t n = ::write(fd_, data, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return Fail();
  }
}

int PosixTty::GetStatus(SerialStatus& status) {
  status = {};
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) return Fail();
  status.InQueue = static_cast<std::uint32_t>(waiting);
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) == 0) status.OutQueue = static_cast<std::uint32_t>(queued);
  serial_icounter_struct counts{};
  if (noCounts_) return static_cast<int>(status.InQueue);
  if (::ioctl(fd_, TIOCGICOUNT, &counts) != 0) {
    if (Unsupported(errno)) noCounts_ = true;
  } else {
    std::lock_guard lock(countsMutex_);
    if (haveCounts_) {
      if (counts.buf_overrun != bufOverrun_) status.Errors |= SerialStatus::RxOverflow;
      if (counts.overrun != overrun_) status.Errors |= SerialStatus::Overrun;
      if (counts.parity != parity_) status.Errors |= SerialStatus::Parity;
      if (counts.frame != frame_) status.Errors |= SerialStatus::Framing;
      if (counts.brk != brk_) status.Errors |= SerialStatus::Break;
    }
    haveCounts_ = true;
    frame_ = counts.frame;
    overrun_ = counts.overrun;
    parity_ = counts.parity;
    brk_ = counts.brk;
    bufOverrun_ = counts.buf_overrun;
  }
  return static_cast<int>(status.InQueue);
}

int PosixTty::Purge(bool transmit, bool receive) {
  int queue = transmit && receive ? TCIOFLUSH : transmit ? TCOFLUSH : TCIFLUSH;
  if (!transmit && !receive) return 0;
  return ::tcflush(fd_, queue) == 0 ? 0 : Fail();
}

int PosixTty::SetModemBit(int bit, bool on) { return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : Fail(); }

int PosixTty::SetDtr(bool on) { return SetModemBit(TIOCM_DTR, on); }
int PosixTty::SetRts(bool on) { return SetModemBit(TIOCM_RTS, on); }

int PosixTty::GetModemLines(std::uint8_t& lines) {
  lines = 0;
  int bits = 0;
  if (noModemLines_) return -ENOTTY;
  if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
    if (Unsupported(errno)) noModemLines_ = true;
    return Fail();
  }
  if (bits & TIOCM_CTS) lines |= LineCts;
  if (bits & TIOCM_DSR) lines |= LineDsr;
  if (bits & TIOCM_RI) lines |= LineRi;
  if (bits & TIOCM_CD) lines |= LineDcd;
  return 0;
}

int PosixTty::SetBreak(bool on) { return ::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0 ? 0 : Fail(); }

}  // namespace platform
