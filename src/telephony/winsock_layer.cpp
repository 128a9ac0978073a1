#include "telephony/winsock_layer.h"

namespace telephony {

namespace {

// Constant-initialised, and destroyed after the shutdown below has used it.
platform::SocketLibrary* library = nullptr;

// Frees the library when the program ends.
struct UnitShutdown {
  ~UnitShutdown() { FreeWinsock(); }
} unitShutdown;

}  // namespace

bool LoadWinsock() {
  if (!library) library = platform::SocketProviders().Load("WSOCK32");
  if (!library) return false;
  for (const char* name : platform::SocketFunctionNames)
    if (!library->Exports(name)) return false;
  return true;
}

void FreeWinsock() {
  if (!library) return;
  platform::SocketProviders().Free(library);
  library = nullptr;
}

platform::SocketLibrary* Winsock() { return library; }

std::uint32_t wsaMakeSyncReply(std::uint16_t bufferLength, std::uint16_t error) {
  return platform::WsMakeLong(bufferLength, error);
}
std::uint32_t wsaMakeSelectReply(std::uint16_t event, std::uint16_t error) {
  return platform::WsMakeLong(event, error);
}
std::uint16_t wsaGetAsyncBuflen(std::uint32_t param) { return static_cast<std::uint16_t>(param & 0xFFFF); }
std::uint16_t wsaGetAsyncError(std::uint32_t param) { return static_cast<std::uint16_t>(param >> 16); }
std::uint16_t wsaGetSelectEvent(std::uint32_t param) { return static_cast<std::uint16_t>(param & 0xFFFF); }
std::uint16_t wsaGetSelectError(std::uint32_t param) { return static_cast<std::uint16_t>(param >> 16); }

}  // namespace telephony
