#include "support/pty_pair.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testing_support {

namespace {
int MillisecondsLeft(std::chrono::steady_clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}
}  // namespace

PtyPair::PtyPair() {
  int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
    ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return;
  }
  char name[128];
  if (::ptsname_r(fd, name, sizeof name) != 0) {
    ADD_FAILURE() << "ptsname: " << std::strerror(errno);
    ::close(fd);
    return;
  }
  master_ = fd;
  slavePath_ = name;
}

PtyPair::~PtyPair() { CloseMaster(); }

void PtyPair::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool PtyPair::WriteMaster(const std::vector<std::uint8_t>& bytes, std::chrono::milliseconds deadline) {
  auto end = std::chrono::steady_clock::now() + deadline;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd p{master_, POLLOUT, 0};
    if (MillisecondsLeft(end) == 0) return false;
    ::poll(&p, 1, std::min(MillisecondsLeft(end), 50));
  }
  return true;
}

std::vector<std::uint8_t> PtyPair::ReadMaster(std::size_t count, std::chrono::milliseconds deadline) {
  auto end = std::chrono::steady_clock::now() + deadline;
  std::vector<std::uint8_t> got;
  std::uint8_t buffer[4096];
  while (got.size() < count) {
    ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
    if (n > 0) {
      got.insert(got.end(), buffer, buffer + n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) break;
    if (MillisecondsLeft(end) == 0) break;
    pollfd p{master_, POLLIN, 0};
    ::poll(&p, 1, std::min(MillisecondsLeft(end), 20));
  }
  return got;
}

}  // namespace testing_support
