#pragma once
// A fresh directory for one test, removed with everything in it afterwards.
#include <filesystem>
#include <optional>
#include <string>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
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
