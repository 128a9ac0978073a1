#include "serial/error_text.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "serial/error_codes.h"

namespace serial {

namespace {
std::mutex sourceMutex;
SystemMessageSource& Source() {
  static SystemMessageSource source;
  return source;
}
}  // namespace

const TLkStringResource& ErrorStringResource() {
  static const TLkStringResource reader("LK_ERROR_STRINGS_ENGLISH");
  return reader;
}

void SetSystemMessageSource(SystemMessageSource source) {
  std::lock_guard lock(sourceMutex);
  Source() = std::move(source);
}

std::string CleanSystemMessage(std::string text) {
  for (std::size_t i = text.size(); i-- > 0;)
    if (static_cast<unsigned char>(text[i]) < 32) text[i] = ' ';
  std::string out;
  for (char c : text)
    if (!(c == ' ' && !out.empty() && out.back() == ' ')) out.push_back(c);
  return out;
}

std::string LkLoadStr(std::int32_t code) {
  std::int32_t id = static_cast<std::int16_t>(code);
  if (id < 0) id = -id;
  std::string text = ErrorStringResource().GetString(id).substr(0, 255);
  if (!text.empty()) return text;
  SystemMessageSource source;
  {
    std::lock_guard lock(sourceMutex);
    source = Source();
  }
  if (source) text = source(id);
  if (text.empty()) return text;
  return CleanSystemMessage(text.substr(0, 255));
}

char* LkLoadZ(char* buffer, std::int32_t code) {
  std::int64_t id = code < 0 ? -static_cast<std::int64_t>(code) : code;  // the lowest code has no positive twin
  if (id > INT32_MAX) {
    buffer[0] = '\0';
    return buffer;
  }
  return ErrorStringResource().GetAsciiZ(static_cast<std::int32_t>(id), buffer, 80);
}

std::int32_t SystemErrorCode(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return ecFileNotFound;
    case ENOTDIR:
      return ecPathNotFound;
    case EMFILE:
    case ENFILE:
      return ecTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
      return ecFileAccessDenied;
    case EBADF:
      return ecInvalidHandle;
    case ENOMEM:
      return ecOutOfMemory;
    case ENOSPC:
      return ecDiskFull;
    case EINVAL:
      return ecBadArgument;
    default:
      return ecHardwareFailure;
  }
}

}  // namespace serial
