#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "platform/paths.h"

namespace platform {

namespace {

std::atomic<AtomicFileWriter::SyncFunction> syncFunction{::fsync};

std::string FolderOf(const std::string& native) { return native.substr(0, native.rfind('/') + 1); }

// The kernel's rule for links in shared folders (fs.protected_symlinks), which it cannot apply to a chain
// resolved here: in a sticky folder all may write, only the user's own links and those of the folder's
// owner are followed.
bool MayFollow(const struct stat& link, const std::string& folder) {
  if (link.st_uid == ::geteuid()) return true;
  struct stat dir {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &dir) != 0) return false;
  const bool shared = (dir.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
  return !shared || link.st_uid == dir.st_uid;
}

// The file a save replaces: the end of the chain of symbolic links at `native`, or `native` itself, or
// the first link of the chain that is not to be followed.
std::string SaveTarget(std::string native) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !MayFollow(st, FolderOf(native))) break;
    std::vector<char> buf(static_cast<size_t>(st.st_size) + 1);
    const ssize_t n = ::readlink(native.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) break;
    const std::string link(buf.data(), static_cast<size_t>(n));
    native = link.front() == '/' ? link : FolderOf(native) + link;
  }
  return native;
}

// A new file beside `target`, opened for writing. Made by open() itself, so that the umask applies to
// `mode` as it does to any new file.
int CreateBeside(const std::string& target, mode_t mode, std::string& path) {
  thread_local std::mt19937 random{std::random_device{}()};
  const std::string prefix = FolderOf(target) + "." + target.substr(target.rfind('/') + 1) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFF));
    path = prefix + suffix;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

AtomicFileWriter::SyncFunction AtomicFileWriter::SetSyncFunction(SyncFunction sync) {
  return syncFunction.exchange(sync ? sync : ::fsync);
}

AtomicFileWriter::AtomicFileWriter(std::string path, WriteFunction write, Access access)
    : path_(std::move(path)), write_(std::move(write)) {
  if (!write_) write_ = [](int fd, const void* data, size_t size) { return ::write(fd, data, size); };
  target_ = SaveTarget(NativePath(path_));
  // The old file's mode is kept; until it is set, the bytes are the owner's alone. A link replaced
  // itself has no mode to keep.
  struct stat old {};
  const bool replacing = ::lstat(target_.c_str(), &old) == 0 && !S_ISLNK(old.st_mode);
  const bool usual = access == Access::Usual;
  std::string temp;
  fd_ = CreateBeside(target_, replacing || !usual ? PrivateFileMode : NewFileMode, temp);
  if (fd_ < 0) {
    Fail("cannot create a file in the folder of " + path_);
    return;
  }
  tempPath_ = temp;
  if (replacing || !usual) ::fchmod(fd_, usual ? old.st_mode & 07777 : PrivateFileMode);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

void AtomicFileWriter::Fail(const std::string& what) {
  if (!error_.empty()) return;
  errorNumber_ = errno;
  error_ = what + ": " + std::strerror(errno);
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
  if (!Ok()) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write_(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      Fail("cannot write " + path_);
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (!Ok() || committed_) return Ok();
  if (syncFunction.load()(fd_) != 0) {
    Fail("cannot write " + path_);
    return false;
  }
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    Fail("cannot write " + path_);
    return false;
  }
  if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
    Fail("cannot replace " + path_);
    return false;
  }
  committed_ = true;
  // The rename itself lasts through a power cut only once the folder is on disk too. A folder this user
  // may write in but not read cannot be opened for that: the file is saved all the same. Any other
  // failure to open it (no descriptor left, say) leaves the save unsure, as a failed flush does.
  const std::string folder = FolderOf(target_);
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 && (errno == EACCES || errno == EPERM)) return true;
  const bool synced = dir >= 0 && (syncFunction.load()(dir) == 0 || errno == EINVAL);  // EINVAL: not supported
  if (!synced) Fail("cannot write the folder of " + path_);
  if (dir >= 0) ::close(dir);
  return synced;
}

std::string WriteFileAtomically(const std::string& path, std::string_view bytes, AtomicFileWriter::Access access) {
  AtomicFileWriter w(path, {}, access);
  w.Write(bytes);
  w.Commit();
  return w.Error();
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int why = errno;
      ::close(fd);
      errno = why;
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool ReadFileForUpdate(const std::string& path, std::size_t limit, std::string& bytes) {
  bytes.assign(limit, '\0');
  const int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t got = 0;
  bool ok = true;
  while (got < limit) {
    const ssize_t n = ::read(fd, bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return ok;
}

}  // namespace platform
