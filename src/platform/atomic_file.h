#pragma once
// Replaces a user's file safely: the bytes go to a temporary file in the same directory, every write is
// checked, the file is flushed to disk and renamed over the old one only on Commit(), and the folder is
// flushed after it where this user may open it. Anything short of a successful Commit() leaves the old
// file exactly as it was.
//
// A path that is a symbolic link saves into the file the link leads to; the link stays. Each link of the
// chain is followed only where the kernel would follow it in a shared folder (fs.protected_symlinks): a
// link that another user left in a sticky folder all may write, unless that user owns the folder, is
// replaced itself, so that it cannot turn a save into one over a file of the user's choosing.
//
// The file keeps its mode; a new one is made as any new file is (its mode less the umask). A private file
// is the owner's alone after every save, whatever mode it had.
#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace platform {

class AtomicFileWriter {
 public:
  // The write function is the seam through which tests make writes fail.
  using WriteFunction = std::function<ssize_t(int fd, const void* data, size_t size)>;
  // How a file or folder is flushed to disk: fsync, unless a test puts its own in (it gets the previous).
  using SyncFunction = int (*)(int fd);
  static SyncFunction SetSyncFunction(SyncFunction sync);

  // A new file's mode, less the umask; a file that holds secrets is read and written by its owner only.
  static constexpr mode_t NewFileMode = 0666;
  static constexpr mode_t PrivateFileMode = 0600;
  enum class Access { Usual, Private };

  explicit AtomicFileWriter(std::string path, WriteFunction write = {}, Access access = Access::Usual);
  ~AtomicFileWriter();  // discards the temporary file unless committed
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }  // first failure, with the system's reason
  int ErrorNumber() const { return errorNumber_; }     // its errno

  // Each returns false once anything has failed; later calls do nothing.
  bool Write(const void* data, size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  bool Commit();

 private:
  void Fail(const std::string& what);

  std::string path_;
  std::string target_;    // the file replaced, in the file system's encoding
  std::string tempPath_;  // in the file system's encoding
  WriteFunction write_;
  int fd_ = -1;
  bool committed_ = false;
  std::string error_;
  int errorNumber_ = 0;
};

// Writes the whole content at once; returns "" or the error text.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes,
                                AtomicFileWriter::Access access = AtomicFileWriter::Access::Usual);
// Reads a whole file; false when it cannot be opened or read, with errno saying why.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Reads at most `limit` bytes of a file opened for update, as the original's data files were: a file the
// user may not change is refused. False when it cannot be opened or read.
bool ReadFileForUpdate(const std::string& path, std::size_t limit, std::string& bytes);

}  // namespace platform
