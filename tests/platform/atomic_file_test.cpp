#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

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
  AtomicFileWriter w(path,
                     [](int fd, const void* data, size_t size) { return ::write(fd, data, size > 3 ? 3 : size); });
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

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(AtomicFileWriter, ANewFileTakesItsModeLessTheUmaskAndAnOldOneKeepsItsOwn) {
  const struct {
    mode_t Umask;
    mode_t NewFileMode;
    mode_t Expected;
  } cases[] = {{022, AtomicFileWriter::NewFileMode, 0644},
               {002, AtomicFileWriter::NewFileMode, 0664},
               {077, AtomicFileWriter::NewFileMode, 0600},
               {0, AtomicFileWriter::PrivateFileMode, 0600}};
  for (const auto& c : cases) {
    testing_support::TempDir dir;
    const mode_t previous = ::umask(c.Umask);
    const std::string path = dir.File("a.pgm");
    EXPECT_EQ(WriteFileAtomically(path, "new", c.NewFileMode), "");
    EXPECT_EQ(ModeOf(path), c.Expected) << std::oct << c.Umask << " " << c.NewFileMode;
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(WriteFileAtomically(path, "again", c.NewFileMode), "");
    EXPECT_EQ(ModeOf(path), 0640u);
    ::umask(previous);
  }
}

TEST(AtomicFileWriter, SavingOverALinkReplacesTheFileItLeadsTo) {
  testing_support::TempDir dir;
  std::filesystem::create_directory(dir.File("data"));
  testing_support::WriteFile(dir.File("data/a.pgm"), "old");
  std::filesystem::create_symlink("data/a.pgm", dir.File("near.pgm"));
  std::filesystem::create_symlink(dir.File("near.pgm"), dir.File("far.pgm"));
  ASSERT_EQ(WriteFileAtomically(dir.File("far.pgm"), "new"), "");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("far.pgm")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("near.pgm")));
  EXPECT_EQ(ReadFile(dir.File("data/a.pgm")), "new");
  EXPECT_EQ(FilesIn(dir.File("data")), 1u);
}

std::vector<ino_t> synced;
int RecordSync(int fd) {
  struct stat st {};
  ::fstat(fd, &st);
  synced.push_back(st.st_ino);
  return ::fsync(fd);
}

TEST(AtomicFileWriter, TheFolderIsFlushedAfterTheRename) {
  testing_support::TempDir dir;
  const std::string path = dir.File("a.pgm");
  synced.clear();
  const AtomicFileWriter::SyncFunction previous = AtomicFileWriter::SetSyncFunction(RecordSync);
  EXPECT_EQ(WriteFileAtomically(path, "new"), "");
  AtomicFileWriter::SetSyncFunction(previous);
  struct stat file {
  }, folder{};
  ASSERT_EQ(::stat(path.c_str(), &file), 0);
  ASSERT_EQ(::stat(dir.Path().c_str(), &folder), 0);
  EXPECT_EQ(synced, (std::vector<ino_t>{file.st_ino, folder.st_ino}));
}

}  // namespace
}  // namespace platform
