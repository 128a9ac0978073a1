#include "serial/lk_misc.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/paths.h"

extern char** environ;

namespace serial {

namespace {

bool IsDelimiter(char c) { return c == '\0' || c == ':' || c == '\\' || c == '/'; }

}  // namespace

void NotBuffer(void* buffer, std::size_t size) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
}

std::string Long2StrZ(std::int32_t n) { return std::to_string(n); }

bool Str2LongZ(std::string_view s, std::int32_t& n) {
  const char* end = s.data() + s.size();
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [ptr, ec] = std::from_chars(s.data(), end, n);
  return !s.empty() && ec == std::errc() && ptr == end;
}

std::string StrStCopy(std::string_view s, std::size_t pos, std::size_t count) {
  if (pos >= s.size()) return {};
  return std::string(s.substr(pos, count));
}

std::string JustPathnameZ(std::string_view path) {
  std::string dir = platform::ExtractFilePath(path);
  // The final delimiter goes, except a lone one, a drive colon, and the one of a root ("C:\").
  if (dir.size() > 1 && dir.back() != ':' && dir[dir.size() - 2] != ':') dir.pop_back();
  return dir;
}

std::string JustFilenameZ(std::string_view path) { return platform::ExtractFileName(path).substr(0, 255); }

std::string JustExtensionZ(std::string_view name) {
  std::string ext = platform::ExtractFileExt(name);
  return ext.empty() ? ext : ext.substr(1, 3);
}

std::string AddBackSlashZ(std::string_view dir) {
  std::string out(dir);
  if (!out.empty() && !IsDelimiter(out.back())) out.push_back('/');
  return out;
}

bool ExistFileZ(const std::string& name) { return platform::FileExists(name); }

std::string ForceExtensionZ(std::string_view name, std::string_view ext) {
  return platform::ChangeFileExt(name, "." + std::string(ext));
}

std::string DefaultExtensionZ(std::string_view name, std::string_view ext) {
  return platform::ExtractFileExt(name).empty() ? ForceExtensionZ(name, ext) : std::string(name);
}

std::string JustName(std::string_view path) {
  std::string name = JustFilenameZ(path);
  return name.substr(0, name.find('.'));
}

int ApWinExecAndWait32(const std::string& file, const std::string& parameters, int) {
  std::string command = platform::NativePath(file + parameters);  // the shell reads names as the system does
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid;
  if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  if (!WIFEXITED(status)) return -1;
  int code = WEXITSTATUS(status);
  return code == 127 ? -1 : code;  // the shell could not start the program
}

}  // namespace serial
