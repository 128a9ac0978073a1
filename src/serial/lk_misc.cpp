#include "serial/lk_misc.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <charconv>
#include <cstring>

extern char** environ;

namespace serial {

namespace {

bool IsDelimiter(char c) { return c == '\0' || c == ':' || c == '\\' || c == '/'; }

std::size_t LastDelimiter(std::string_view path) {
  for (std::size_t i = path.size(); i-- > 0;)
    if (IsDelimiter(path[i])) return i;
  return std::string_view::npos;
}

// Position of the extension's dot in the file-name part, npos when there is none.
std::size_t ExtensionDot(std::string_view name) {
  std::size_t delimiter = LastDelimiter(name);
  std::size_t start = delimiter == std::string_view::npos ? 0 : delimiter + 1;
  std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot >= start ? dot : std::string_view::npos;
}

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
  std::size_t i = LastDelimiter(path);
  if (i == std::string_view::npos) return {};
  if (i == 0) return std::string(path.substr(0, 1));
  if (path[i] == ':') return std::string(path.substr(0, i + 1));
  if (path[i - 1] == ':') return std::string(path.substr(0, i + 1));  // keeps the root of "C:\"
  return std::string(path.substr(0, i));
}

std::string JustFilenameZ(std::string_view path) {
  std::size_t i = LastDelimiter(path);
  std::string_view name = i == std::string_view::npos ? path : path.substr(i + 1);
  return std::string(name.substr(0, 255));
}

std::string JustExtensionZ(std::string_view name) {
  std::size_t dot = ExtensionDot(name);
  if (dot == std::string_view::npos) return {};
  return std::string(name.substr(dot + 1, 3));
}

std::string AddBackSlashZ(std::string_view dir) {
  std::string out(dir);
  if (!out.empty() && !IsDelimiter(out.back())) out.push_back('/');
  return out;
}

bool ExistFileZ(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ForceExtensionZ(std::string_view name, std::string_view ext) {
  std::size_t dot = ExtensionDot(name);
  std::string out(name.substr(0, dot));
  out += '.';
  out += ext;
  return out;
}

std::string DefaultExtensionZ(std::string_view name, std::string_view ext) {
  return ExtensionDot(name) == std::string_view::npos ? ForceExtensionZ(name, ext) : std::string(name);
}

std::string JustName(std::string_view path) {
  std::string name = JustFilenameZ(path);
  return name.substr(0, name.find('.'));
}

int ApWinExecAndWait32(const std::string& file, const std::string& parameters, int) {
  std::string command = file + parameters;
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
