#include "platform/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
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

TEST(AtomicFileWriter, ANewFileTakesItsModeLessTheUmaskAnOldOneKeepsItsOwnAndAPrivateOneIsTheOwners) {
  using Access = AtomicFileWriter::Access;
  const struct {
    mode_t Umask;
    Access Kind;
    mode_t New, Replaced;  // the mode of a new file, and of one that was 0640
  } cases[] = {{022, Access::Usual, 0644, 0640},
               {002, Access::Usual, 0664, 0640},
               {077, Access::Usual, 0600, 0640},
               {0, Access::Private, 0600, 0600},
               {0277, Access::Private, 0600, 0600}};
  for (const auto& c : cases) {
    testing_support::TempDir dir;
    const mode_t previous = ::umask(c.Umask);
    const std::string path = dir.File("a.pgm");
    EXPECT_EQ(WriteFileAtomically(path, "new", c.Kind), "");
    EXPECT_EQ(ModeOf(path), c.New) << std::oct << c.Umask;
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(WriteFileAtomically(path, "again", c.Kind), "");
    EXPECT_EQ(ModeOf(path), c.Replaced) << std::oct << c.Umask;
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

// A save follows a link only where the kernel would in a shared folder (fs.protected_symlinks): elsewhere
// another user's link could make it replace, or create, any file of this user's.
TEST(AtomicFileWriter, ALinkInAStickyFolderOthersMayWriteIsFollowedOnlyWhereTheKernelWouldFollowIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a link to another user";
  const uid_t me = ::geteuid(), other = 65534;
  const struct {
    const char* What;
    uid_t LinkOwner, FolderOwner;
    mode_t FolderMode;
    const char* LeadsTo;
    bool Followed;
  } cases[] = {
      {"another user's link", other, me, 01777, "target", false},
      {"another user's dangling link", other, me, 01777, "missing", false},
      {"the user's own link", me, other, 01777, "target", true},
      {"a link in a folder that is not sticky", other, me, 0777, "target", true},
      {"a link in a folder others may not write", other, me, 01755, "target", true},
      {"a link of the folder's owner", other, other, 01777, "target", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    testing_support::TempDir dir;
    testing_support::WriteFile(dir.File("target"), "old");
    const std::string link = dir.File("shared/a.pgm");
    ASSERT_EQ(::mkdir(dir.File("shared").c_str(), 0700), 0);
    std::filesystem::create_symlink(dir.File(c.LeadsTo), link);
    ASSERT_EQ(::lchown(link.c_str(), c.LinkOwner, c.LinkOwner), 0);
    ASSERT_EQ(::chown(dir.File("shared").c_str(), c.FolderOwner, c.FolderOwner), 0);
    ASSERT_EQ(::chmod(dir.File("shared").c_str(), c.FolderMode), 0);
    ASSERT_EQ(WriteFileAtomically(link, "new"), "");
    EXPECT_EQ(std::filesystem::is_symlink(link), c.Followed);
    EXPECT_EQ(ReadFile(c.Followed ? dir.File(c.LeadsTo) : link), "new");
    EXPECT_EQ(ReadFile(dir.File("target")), c.Followed ? "new" : "old");
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  }
  // Along a chain, each link is judged where it lies: the user's own link is followed, the stranger's it
  // leads to is replaced.
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("target"), "old");
  ASSERT_EQ(::mkdir(dir.File("shared").c_str(), 01777), 0);
  ASSERT_EQ(::chmod(dir.File("shared").c_str(), 01777), 0);
  std::filesystem::create_symlink(dir.File("target"), dir.File("shared/planted"));
  ASSERT_EQ(::lchown(dir.File("shared/planted").c_str(), other, other), 0);
  std::filesystem::create_symlink(dir.File("shared/planted"), dir.File("mine"));
  ASSERT_EQ(WriteFileAtomically(dir.File("mine"), "new"), "");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("mine")));
  EXPECT_FALSE(std::filesystem::is_symlink(dir.File("shared/planted")));
  EXPECT_EQ(ReadFile(dir.File("shared/planted")), "new");
  EXPECT_EQ(ReadFile(dir.File("target")), "old");
}

// The rename has replaced the file by then: a folder that will not open for its flush (write and search
// but no read) is no failed save.
TEST(AtomicFileWriter, AFolderThatCannotBeOpenedForItsFlushAfterTheRenameIsNoFailedSave) {
  auto dir = testing_support::TempDirOthersReach();
  if (!dir) GTEST_SKIP() << "no temporary folder another user can reach";
  const std::string folder = dir->File("write-only"), path = dir->File("write-only/a.pgm");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chown(folder.c_str(), testing_support::OrdinaryUser::Id(), static_cast<gid_t>(-1)), 0);
  std::string error;
  {
    testing_support::OrdinaryUser user;
    ASSERT_EQ(WriteFileAtomically(path, "old"), "");
    ASSERT_EQ(::chmod(folder.c_str(), 0300), 0);
    ASSERT_LT(::open(folder.c_str(), O_RDONLY | O_DIRECTORY), 0) << "the folder opens after all";
    error = WriteFileAtomically(path, "new");
    ::chmod(folder.c_str(), 0700);
  }
  EXPECT_EQ(error, "");
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(FilesIn(folder), 1u);
}

// As the file is flushed, the descriptor limit drops to the file's own descriptor. Every one below it is
// in use (it was the lowest free), so once the file is closed the folder finds none.
rlimit descriptorLimit{};
int SyncLeavingNoDescriptorForTheFolder(int fd) {
  rlimit low = descriptorLimit;
  low.rlim_cur = static_cast<rlim_t>(fd);
  ::setrlimit(RLIMIT_NOFILE, &low);
  return ::fsync(fd);
}

// Only a refused open means a folder that cannot be flushed by this user at all.
TEST(AtomicFileWriter, AFolderThatWillNotOpenForItsFlushForAnotherReasonFailsTheSave) {
  testing_support::TempDir dir;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &descriptorLimit), 0);
  const AtomicFileWriter::SyncFunction previous =
      AtomicFileWriter::SetSyncFunction(SyncLeavingNoDescriptorForTheFolder);
  AtomicFileWriter w(dir.File("a.pgm"));
  w.Write("new");
  const bool saved = w.Commit();
  ::setrlimit(RLIMIT_NOFILE, &descriptorLimit);
  AtomicFileWriter::SetSyncFunction(previous);
  EXPECT_FALSE(saved);
  EXPECT_EQ(w.ErrorNumber(), EMFILE) << w.Error();
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
