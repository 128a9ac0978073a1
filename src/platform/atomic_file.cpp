#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/paths.h"

namespace platform {

AtomicFileWriter::AtomicFileWriter(std::string path, WriteFunction write)
    : path_(std::move(path)), write_(std::move(write)) {
  if (!write_) write_ = [](int fd, const void* data, size_t size) { return ::write(fd, data, size); };
  const std::string native = NativePath(path_);
  std::string dir = ExtractFilePath(native);
  std::string pattern = dir + "." + ExtractFileName(native) + ".XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  fd_ = ::mkstemp(buf.data());
  if (fd_ < 0) {
    Fail("cannot create a file in the folder of " + path_);
    return;
  }
  tempPath_ = buf.data();
  // Keep the old file's permissions; a new file gets the usual 0644.
  struct stat st {};
  mode_t mode = ::stat(native.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  ::fchmod(fd_, mode);
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
  if (::fsync(fd_) != 0) {
    Fail("cannot write " + path_);
    return false;
  }
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    Fail("cannot write " + path_);
    return false;
  }
  if (::rename(tempPath_.c_str(), NativePath(path_).c_str()) != 0) {
    Fail("cannot replace " + path_);
    return false;
  }
  committed_ = true;
  return true;
}

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileWriter w(path);
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
