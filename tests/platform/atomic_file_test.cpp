#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/temp_dir.h"

namespace platform {
namespace {

using testing_support::ReadFile;

size_t FilesIn(const std::filesystem::path& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(AtomicFileWriter, CommitReplacesTheFile) {
  testing_support::TempDir dir;
  std::string path = dir.File("a.pgm");
  ASSERT_EQ(WriteFileAtomically(path, "old"), "");
  ASSERT_EQ(WriteFileAtomically(path, std::string("new\0bytes", 9)), "");
  EXPECT_EQ(ReadFile(path), std::string("new\0bytes", 9));
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(AtomicFileWriter, StoppingBeforeTheRenameLeavesTheOldFile) {
  testing_support::TempDir dir;
  std::string path = dir.File("a.pgm");
  ASSERT_EQ(WriteFileAtomically(path, "old"), "");
  {
    AtomicFileWriter w(path);
    ASSERT_TRUE(w.Write("half of the new cont"));
    // destroyed without Commit: as if the program died between the write and the rename
  }
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(FilesIn(dir.Path()), 1u) << "the temporary file is removed";
}

TEST(AtomicFileWriter, AFailingWriteLeavesTheOldFileAndReportsTheReason) {
  testing_support::TempDir dir;
  std::string path = dir.File("a.pgm");
  ASSERT_EQ(WriteFileAtomically(path, "old"), "");
  size_t budget = 10;  // a device that fails after 10 bytes
  AtomicFileWriter w(path, [&](int fd, const void* data, size_t size) -> ssize_t {
    if (budget == 0) {
      errno = ENOSPC;
      return -1;
    }
    size_t n = std::min(size, budget);
    budget -= n;
    return ::write(fd, data, n);
  });
  EXPECT_TRUE(w.Write("0123456789"));
  EXPECT_FALSE(w.Write("more"));
  EXPECT_FALSE(w.Commit());
  EXPECT_NE(w.Error().find("No space left"), std::string::npos) << w.Error();
  EXPECT_EQ(ReadFile(path), "old");
}

TEST(AtomicFileWriter, ShortWritesAreContinued) {
  testing_support::TempDir dir;
  std::string path = dir.File("a.bin");
  AtomicFileWriter w(path, [](int fd, const void* data, size_t size) { return ::write(fd, data, size > 3 ? 3 : size); });
  std::string content(1000, 'x');
  EXPECT_TRUE(w.Write(content));
  EXPECT_TRUE(w.Commit());
  EXPECT_EQ(ReadFile(path), content);
}

TEST(AtomicFileWriter, AMissingFolderIsReported) {
  testing_support::TempDir dir;
  std::string error = WriteFileAtomically(dir.File("no/such/a.pgm"), "x");
  EXPECT_FALSE(error.empty());
  std::string bytes;
  EXPECT_FALSE(ReadWholeFile(dir.File("no/such/a.pgm"), bytes));
}

}  // namespace
}  // namespace platform
