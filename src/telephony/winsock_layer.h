#pragma once
// The socket library's function table: "WSOCK32" is loaded by name on first use and every one of its
// functions is looked up; the socket component calls through it. The library stays loaded until the
// program ends.
//
// Window thread only.
#include <cstdint>

#include "platform/sockets.h"

namespace telephony {

// A 32-bit address in network order, and a 16-byte internet socket address.
using TInaddr = platform::WsInAddr;
using TSockAddrIn = platform::WsSockAddrIn;

// Loads the library unless it is loaded and looks every name up; false when it cannot be loaded or at
// the first name it lacks.
bool LoadWinsock();
// Frees the library (the unit's shutdown); the next LoadWinsock loads it again.
void FreeWinsock();
// The loaded library; null before a load succeeded.
platform::SocketLibrary* Winsock();

// Two 16-bit values in one notification parameter, and back.
std::uint32_t wsaMakeSyncReply(std::uint16_t bufferLength, std::uint16_t error);
std::uint32_t wsaMakeSelectReply(std::uint16_t event, std::uint16_t error);
std::uint16_t wsaGetAsyncBuflen(std::uint32_t param);
std::uint16_t wsaGetAsyncError(std::uint32_t param);
std::uint16_t wsaGetSelectEvent(std::uint32_t param);
std::uint16_t wsaGetSelectError(std::uint32_t param);

}  // namespace telephony
