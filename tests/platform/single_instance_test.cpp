// The single-instance lock: a copy that runs holds it, another process sees it held, and it goes with the
// process that held it however that process ends.
#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace platform {
namespace {

// Another process that takes the lock in `directory`, as `user`, and holds it until told to end.
class OtherCopy {
 public:
  explicit OtherCopy(const std::string& directory, uid_t user = ::geteuid()) {
    int ready[2], stop[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(stop), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only system calls here: the test process has threads.
      ::close(ready[0]);
      ::close(stop[1]);
      if (user != ::geteuid() && (::setgid(user) != 0 || ::setuid(user) != 0)) ::_exit(1);
      SingleInstanceLock lock(directory);
      const char taken = lock.State() == InstanceLock::Taken ? 'y' : 'n';
      (void)!::write(ready[1], &taken, 1);
      char ignored;
      (void)!::read(stop[0], &ignored, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(stop[0]);
    stop_ = stop[1];
    char taken = 0;
    EXPECT_EQ(::read(ready[0], &taken, 1), 1);
    ::close(ready[0]);
    Holds = taken == 'y';
  }
  // Ends the other copy: by a kill, as a crash would, or as it ends by itself.
  void End(bool crash) {
    if (pid_ <= 0) return;
    if (crash) ::kill(pid_, SIGKILL);
    ::close(stop_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  ~OtherCopy() { End(false); }

  bool Holds = false;

 private:
  pid_t pid_ = -1;
  int stop_ = -1;
};

TEST(SingleInstanceLock, TheFirstCopyTakesAPrivateLockFile) {
  testing_support::TempDir dir;
  SingleInstanceLock lock(dir.Path().string());
  EXPECT_EQ(lock.State(), InstanceLock::Taken);
  EXPECT_EQ(lock.Path(), dir.File("Zelta-" + std::to_string(::geteuid()) + ".lock"));
  struct stat info {};
  ASSERT_EQ(::stat(lock.Path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(SingleInstanceLock, AnotherProcessSeesTheLockHeldUntilItsHolderEnds) {
  for (bool crash : {false, true}) {
    testing_support::TempDir dir;
    OtherCopy other(dir.Path().string());
    ASSERT_TRUE(other.Holds);
    {
      SingleInstanceLock second(dir.Path().string());
      EXPECT_EQ(second.State(), InstanceLock::HeldElsewhere) << crash;
    }
    other.End(crash);
    SingleInstanceLock after(dir.Path().string());
    EXPECT_EQ(after.State(), InstanceLock::Taken) << "the file left behind blocks nothing; crash " << crash;
  }
}

TEST(SingleInstanceLock, AnotherUsersCopyInASharedFolderLeavesThisUserToTheirOwnLock) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can run a copy as another user";
  auto dir = testing_support::TempDirOthersReach();
  if (!dir) GTEST_SKIP() << "no temporary folder another user can reach";
  std::filesystem::permissions(dir->Path(), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
  OtherCopy other(dir->Path().string(), 4321);
  ASSERT_TRUE(other.Holds);
  EXPECT_EQ(SingleInstanceLock(dir->Path().string()).State(), InstanceLock::Taken);
}

TEST(SingleInstanceLock, ALockFileThatCannotBeTrustedOrMadeIsUnavailable) {
  testing_support::TempDir dir;
  const std::string target = dir.File("elsewhere");
  testing_support::WriteFile(target, "x");
  std::filesystem::create_directory(dir.File("linked"));
  std::filesystem::create_symlink(target, dir.File("linked/" + InstanceLockName()));
  std::filesystem::create_directory(dir.File("folder"));
  std::filesystem::create_directory(dir.File("folder/" + InstanceLockName()));
  // Another user who may write in the folder could hard-link a file of this user's there.
  std::filesystem::create_directory(dir.File("hard-linked"));
  std::filesystem::create_hard_link(target, dir.File("hard-linked/" + InstanceLockName()));
  for (const std::string sub : {"missing", "linked", "folder", "hard-linked"}) {
    SingleInstanceLock lock(dir.File(sub));
    EXPECT_EQ(lock.State(), InstanceLock::Unavailable) << sub;
    EXPECT_NE(lock.Error().find(dir.File(sub)), std::string::npos) << lock.Error();
  }
  EXPECT_EQ(testing_support::ReadFile(target), "x") << "a link is never followed";
}

TEST(SingleInstanceLock, TheProgramKeepsItsLockAndMayAskAgain) {
  testing_support::TempDir dir;
  const std::string path = dir.Path().string();
  ASSERT_EQ(AcquireSingleInstance(path), InstanceLock::Taken);
  EXPECT_EQ(AcquireSingleInstance(path), InstanceLock::Taken);
  SingleInstanceLock other(path);
  EXPECT_EQ(other.State(), InstanceLock::HeldElsewhere) << "the lock is still held";
}

TEST(SingleInstanceLock, TheLockLivesInTheRuntimeDirectoryElseTmp) {
  testing_support::TempDir dir;
  const struct {
    std::optional<std::string> Runtime;
    std::string Expected;
  } cases[] = {
      {dir.Path().string(), dir.Path().string()}, {std::nullopt, "/tmp"}, {"", "/tmp"}, {dir.File("missing"), "/tmp"}};
  for (const auto& c : cases) {
    testing_support::ScopedEnv env("XDG_RUNTIME_DIR", c.Runtime);
    EXPECT_EQ(InstanceLockDirectory(), c.Expected) << c.Runtime.value_or("(unset)");
  }
}

}  // namespace
}  // namespace platform
