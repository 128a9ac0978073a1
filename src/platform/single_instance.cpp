#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/paths.h"

namespace platform {

std::string InstanceLockName(uid_t user) { return "Zelta-" + std::to_string(user) + ".lock"; }

std::string InstanceLockDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    // The variable holds a name in the file system's encoding.
    std::optional<std::string> dir = InternalPath(runtime);
    if (dir && DirectoryExists(*dir)) return *dir;
  }
  return "/tmp";
}

SingleInstanceLock::SingleInstanceLock(const std::string& directory) : path_(JoinPath(directory, InstanceLockName())) {
  // No link is followed and the file stays private: in a shared /tmp another user could otherwise plant
  // the file, or lock it through a readable descriptor, and keep this user's copy from starting.
  fd_ = ::open(NativePath(path_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    error_ = path_ + ": " + std::strerror(errno);
    return;
  }
  // A file with another name too may be one of this user's that another user linked here: locking it
  // would let them keep this user's copy from starting.
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1) {
    error_ = path_ + ": not a file of this user alone";
    ::close(fd_);
    fd_ = -1;
    return;
  }
  int result;
  do {
    result = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    state_ = InstanceLock::Taken;
    return;
  }
  const int error = errno;
  ::close(fd_);
  fd_ = -1;
  if (error == EWOULDBLOCK) {
    state_ = InstanceLock::HeldElsewhere;
  } else {
    error_ = path_ + ": " + std::strerror(error);
  }
}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

void SingleInstanceLock::KeepForLife() { fd_ = -1; }

InstanceLock AcquireSingleInstance(const std::string& directory) {
  static std::mutex mutex;
  static std::set<std::string> held;  // lock files this process keeps
  std::lock_guard lock(mutex);
  if (held.count(JoinPath(directory, InstanceLockName()))) return InstanceLock::Taken;
  SingleInstanceLock candidate(directory);
  if (candidate.State() == InstanceLock::Taken) {
    candidate.KeepForLife();
    held.insert(candidate.Path());
  }
  return candidate.State();
}

}  // namespace platform
