#include "platform/serial_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "platform/posix_tty.h"
#include "platform/registry.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

using testing_support::PtyPair;

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { had_ ? (void)::setenv(name_, old_.c_str(), 1) : (void)::unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(ResolveComDevice, EnvironmentThenSettingsStoreThenDefault) {
  testing_support::ScopedConfigDir config;
  ::unsetenv("ZELTA_COM7");
  EXPECT_EQ(ResolveComDevice(7), "/dev/ttyS6");
  {
    Registry registry(RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey("\\SYSTEM\\Ports", true));
    registry.WriteString("COM7", "/dev/ttyUSB0");
  }
  EXPECT_EQ(ResolveComDevice(7), "/dev/ttyUSB0");
  EXPECT_EQ(ResolveComDevice(8), "/dev/ttyS7") << "only COM7 is mapped";
  ScopedEnv env("ZELTA_COM7", "/dev/pts/99");
  EXPECT_EQ(ResolveComDevice(7), "/dev/pts/99");
}

TEST(ResolveComDevice, ComNumbersOfNames) {
  EXPECT_EQ(ComNumberOfName("\\\\.\\COM3"), 3);
  EXPECT_EQ(ComNumberOfName("com12"), 12);
  EXPECT_EQ(ComNumberOfName("/dev/ttyS0"), 0);
  EXPECT_EQ(ComNumberOfName("COM"), 0);
  EXPECT_EQ(ComNumberOfName("XCOM3"), 0);
}

TEST(ClassifyOpenError, NoDeviceInUseAndPermission) {
  for (int e : {ENOENT, ENODEV, ENXIO, ENOTTY}) EXPECT_EQ(ClassifyOpenError(e), SerialOpenError::NoDevice) << e;
  for (int e : {EBUSY, EWOULDBLOCK}) EXPECT_EQ(ClassifyOpenError(e), SerialOpenError::InUse) << e;
  for (int e : {EACCES, EPERM}) EXPECT_EQ(ClassifyOpenError(e), SerialOpenError::NoPermission) << e;
  EXPECT_EQ(ClassifyOpenError(EIO), SerialOpenError::Other);
}

TEST(PosixTty, LineSettingsReachTheTerminal) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  SerialLineSettings wanted;
  wanted.Baud = 19200;
  wanted.DataBits = 7;
  wanted.Parity = 2;
  wanted.StopBits = 2;
  wanted.OutX = true;
  auto opened = PosixTty::Open(pty.SlavePath(), wanted);
  ASSERT_TRUE(opened.Device) << opened.SystemError;

  int probe = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(probe, 0);
  termios t;
  ASSERT_EQ(::tcgetattr(probe, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  // (A pseudo-terminal forces 8 data bits without parity, so those two cannot be seen here.)
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO)) << "raw mode";
  ::close(probe);

  SerialLineSettings read;
  ASSERT_EQ(opened.Device->GetSettings(read), 0);
  EXPECT_EQ(read, wanted);

  SerialLineSettings odd = wanted;
  odd.Parity = 3;  // mark
  odd.Baud = 115200;
  odd.OutX = false;
  ASSERT_EQ(opened.Device->SetSettings(odd), 0);
  ASSERT_EQ(opened.Device->GetSettings(read), 0);
  EXPECT_EQ(read, odd);
  probe = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(::tcgetattr(probe, &t), 0);
  ::close(probe);
  EXPECT_EQ(::cfgetospeed(&t), B115200);
  EXPECT_FALSE(t.c_iflag & IXON);
  odd.Baud = 12345;
  EXPECT_EQ(opened.Device->SetSettings(odd), -EINVAL) << "a rate the terminal cannot take";
}

TEST(PosixTty, MissingHeldAndForeignDevices) {
  auto missing = PosixTty::Open("/dev/zelta-no-such-tty");
  EXPECT_FALSE(missing.Device);
  EXPECT_EQ(missing.Error, SerialOpenError::NoDevice);

  testing_support::TempDir dir;
  std::string file = dir.File("plain");
  ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0600));
  EXPECT_EQ(PosixTty::Open(file).Error, SerialOpenError::NoDevice) << "a plain file is no serial device";

  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto first = PosixTty::Open(pty.SlavePath());
  ASSERT_TRUE(first.Device);
  auto second = PosixTty::Open(pty.SlavePath());
  EXPECT_FALSE(second.Device);
  EXPECT_EQ(second.Error, SerialOpenError::InUse);
  first.Device->Close();
  EXPECT_TRUE(PosixTty::Open(pty.SlavePath()).Device) << "closing releases the lock";
}

TEST(PosixTty, DeviceWithoutPermission) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), ::geteuid() == 0 ? 0600 : 0), 0);
  SerialOpenResult result;
  // Root passes every permission check: look at the device as an ordinary user would, on a thread of its
  // own (the file-system user id is per thread).
  std::thread([&] {
    if (::geteuid() == 0) ::setfsuid(65534);
    result = PosixTty::Open(pty.SlavePath());
    if (::geteuid() == 0) ::setfsuid(0);
  }).join();
  EXPECT_FALSE(result.Device);
  EXPECT_EQ(result.Error, SerialOpenError::NoPermission);
  EXPECT_EQ(result.SystemError, EACCES);
}

TEST(PosixTty, BytesBothWaysAndAHangUpThatEnds) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto opened = PosixTty::Open(pty.SlavePath());
  ASSERT_TRUE(opened.Device);
  SerialDevice& tty = *opened.Device;

  std::vector<std::uint8_t> out = {0x00, 0x0D, 0x0A, 0xFF, 0x11, 0x13, 'x'};
  ASSERT_EQ(tty.Write(out.data(), out.size()), static_cast<long>(out.size()));
  EXPECT_EQ(pty.ReadMaster(out.size()), out) << "raw: no translation of CR, LF or flow characters";

  std::vector<std::uint8_t> in = {0x7F, 0x03, 0x0D, 'a'};
  ASSERT_TRUE(pty.WriteMaster(in));
  pollfd p{tty.Descriptor(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  SerialStatus status;
  EXPECT_EQ(tty.GetStatus(status), 4);
  EXPECT_EQ(status.InQueue, 4u);
  std::uint8_t buffer[16];
  EXPECT_EQ(tty.Read(buffer, sizeof buffer), 4);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 4), in);
  EXPECT_EQ(tty.Read(buffer, sizeof buffer), 0) << "nothing waits: no block";

  std::uint8_t lines;
  EXPECT_LT(tty.GetModemLines(lines), 0) << "a pseudo-terminal has no modem lines";

  pty.CloseMaster();
  p = {tty.Descriptor(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
  EXPECT_LT(tty.Read(buffer, sizeof buffer), 0) << "the hang-up is an error, not an endless 0";
}

TEST(PosixTty, AdoptedDescriptor) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  auto adopted = PosixTty::Adopt(fd);
  ASSERT_TRUE(adopted.Device);
  EXPECT_EQ(adopted.Device->Descriptor(), fd);
  std::uint8_t buffer[4];
  EXPECT_EQ(adopted.Device->Read(buffer, 4), 0) << "made non-blocking";
  EXPECT_EQ(PosixTty::Adopt(-1).Error, SerialOpenError::NoDevice);
}

}  // namespace
}  // namespace platform
