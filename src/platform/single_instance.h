#pragma once
// One copy of the program per user: the first copy holds an exclusive flock on the user's lock file for
// as long as it runs. The kernel drops the lock when the process ends, however it ends, so a copy that
// crashed never blocks the next start; the file left behind means nothing by itself.
#include <unistd.h>

#include <string>

namespace platform {

// "Zelta-<user number>.lock": one lock per user, even in a folder all users share.
std::string InstanceLockName(uid_t user = ::geteuid());

// $XDG_RUNTIME_DIR when it names a directory, else /tmp.
std::string InstanceLockDirectory();

enum class InstanceLock {
  Taken,          // this process holds the lock
  HeldElsewhere,  // another process holds it: another copy runs
  Unavailable     // the lock file could not be made or opened, or is not this user's alone (another owner, a link,
                  // other names); nothing is known about other copies
};

class SingleInstanceLock {
 public:
  // Tries the lock file in `directory` once, without waiting.
  explicit SingleInstanceLock(const std::string& directory);
  ~SingleInstanceLock();  // releases a lock taken, unless kept
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  InstanceLock State() const { return state_; }
  const std::string& Path() const { return path_; }
  // Why the lock is unavailable, with the system's reason.
  const std::string& Error() const { return error_; }
  // Holds a taken lock until the process ends: the descriptor is never closed.
  void KeepForLife();

 private:
  std::string path_;
  int fd_ = -1;
  InstanceLock state_ = InstanceLock::Unavailable;
  std::string error_;
};

// The program's check: takes the lock in `directory` and keeps it for the life of the process. Asking
// again for a directory whose lock this process already holds answers Taken.
InstanceLock AcquireSingleInstance(const std::string& directory = InstanceLockDirectory());

}  // namespace platform
