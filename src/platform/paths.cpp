#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <filesystem>

#include "platform/text.h"

namespace platform {

namespace {
bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

size_t NameStart(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsSeparator(path[i - 1])) --i;
  return i;
}
}  // namespace

std::string NativePath(std::string_view path) {
  const QByteArray bytes = QFile::encodeName(ToQString(path));
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::optional<std::string> InternalPath(std::string_view native) {
  const QString name = QFile::decodeName(QByteArray(native.data(), static_cast<qsizetype>(native.size())));
  // Bytes the file-system encoding cannot decode come back as U+FFFD, which Latin-1 refuses too.
  return FromQString(name);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  std::string r(dir);
  if (r.back() != '/' && r.back() != '\\') r += '/';
  size_t skip = 0;
  while (skip < name.size() && (name[skip] == '/' || name[skip] == '\\')) ++skip;
  r += name.substr(skip);
  return r;
}

std::string ExtractFilePath(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string ExtractFileName(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string ExtractFileExt(std::string_view path) {
  std::string_view name = path.substr(NameStart(path));
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  size_t start = NameStart(path);
  size_t dot = path.substr(start).rfind('.');
  std::string r(dot == std::string_view::npos ? path : path.substr(0, start + dot));
  r += ext;
  return r;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(NativePath(a), NativePath(b), error);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ResolveFileCase(const std::string& path) {
  struct stat st {};
  if (::stat(NativePath(path).c_str(), &st) == 0) return path;
  std::string dir = ExtractFilePath(path);
  std::string name = ExtractFileName(path);
  DIR* d = ::opendir(dir.empty() ? "." : NativePath(dir).c_str());
  if (!d) return path;
  std::string found;
  while (dirent* e = ::readdir(d)) {
    // An entry whose name program text cannot hold cannot be the one asked for.
    std::optional<std::string> entry = InternalPath(e->d_name);
    if (entry && SameText(*entry, name)) {
      found = dir + *entry;
      break;
    }
  }
  ::closedir(d);
  return found.empty() ? path : found;
}

std::string CurrentDir() {
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return ".";
  return InternalPath(buf).value_or(".");
}

}  // namespace platform
