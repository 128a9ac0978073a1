#pragma once
// A fresh directory for one test, removed with everything in it afterwards.
#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace testing_support {

class TempDir {
 public:
  explicit TempDir(const std::filesystem::path& parent = std::filesystem::temp_directory_path());
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A fresh directory, 0711, that another user can reach: in the temporary folder when others may search it
// and every folder above it, else in /tmp or /var/tmp (a private TMPDIR, as `mktemp -d` makes, shuts them
// out). Null when there is none: the test then skips.
std::unique_ptr<TempDir> TempDirOthersReach();

// File permissions do not stop root: while this lives, this thread opens files with an ordinary user's
// rights, nobody's when run as root.
class OrdinaryUser {
 public:
  static uid_t Id();
  OrdinaryUser();
  ~OrdinaryUser();
  OrdinaryUser(const OrdinaryUser&) = delete;
  OrdinaryUser& operator=(const OrdinaryUser&) = delete;
};

// A whole file's bytes; the test fails when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Sets (or, given nothing, unsets) an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Points ZELTA_CONFIG_DIR at a fresh directory for the life of the object, so a test has its own settings.
class ScopedConfigDir {
 public:
  ScopedConfigDir();
  ~ScopedConfigDir();
  const TempDir& Dir() const { return dir_; }

 private:
  TempDir dir_;
  std::string previous_;
  bool hadPrevious_;
};

}  // namespace testing_support
