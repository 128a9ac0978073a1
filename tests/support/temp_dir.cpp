#include "support/temp_dir.h"

#include <stdlib.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "platform/atomic_file.h"

namespace testing_support {

TempDir::TempDir(const std::filesystem::path& parent) {
  std::string pattern = (parent / "zelta-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("cannot make a temporary directory");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {
// Others may search the folder and every folder above it.
bool OthersReach(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::canonical(folder, error);
  if (error) return false;
  for (;; path = path.parent_path()) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !(st.st_mode & S_IXOTH)) return false;
    if (path == path.root_path()) return true;
  }
}
}  // namespace

std::unique_ptr<TempDir> TempDirOthersReach() {
  for (const std::filesystem::path& parent :
       {std::filesystem::temp_directory_path(), std::filesystem::path("/tmp"), std::filesystem::path("/var/tmp")}) {
    if (!OthersReach(parent)) continue;
    auto dir = std::make_unique<TempDir>(parent);
    if (::chmod(dir->Path().c_str(), 0711) == 0) return dir;
  }
  return nullptr;
}

uid_t OrdinaryUser::Id() { return ::geteuid() == 0 ? 65534 : ::geteuid(); }
OrdinaryUser::OrdinaryUser() { ::setfsuid(Id()); }
OrdinaryUser::~OrdinaryUser() { ::setfsuid(::geteuid()); }

std::string ReadFile(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, bytes)) << path;
  return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  EXPECT_TRUE(out.good()) << path;
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* old = ::getenv(name)) old_ = old;
  if (value)
    ::setenv(name, value->c_str(), 1);
  else
    ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    ::setenv(name_, old_->c_str(), 1);
  else
    ::unsetenv(name_);
}

ScopedConfigDir::ScopedConfigDir() {
  const char* old = ::getenv("ZELTA_CONFIG_DIR");
  hadPrevious_ = old != nullptr;
  if (old) previous_ = old;
  ::setenv("ZELTA_CONFIG_DIR", dir_.Path().c_str(), 1);
}

ScopedConfigDir::~ScopedConfigDir() {
  if (hadPrevious_)
    ::setenv("ZELTA_CONFIG_DIR", previous_.c_str(), 1);
  else
    ::unsetenv("ZELTA_CONFIG_DIR");
}

}  // namespace testing_support
