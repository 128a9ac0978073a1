#pragma once
// Sockets: the function table of the original's Windows Sockets 1.1 library ("WSOCK32"), over BSD sockets.
// Calls keep that library's conventions: a SOCKET per socket, SOCKET_ERROR (-1) or INVALID_SOCKET for a
// failure with its reason from WSAGetLastError as a Winsock code (10004 to 11004), addresses and ports in
// network order, and asynchronous notifications posted to a window.
//
// The constants carry a WS_ prefix where the plain Winsock name is a macro of the system's own headers.
// Asynchronous calls (WSAAsyncSelect and the WSAAsyncGet... look-ups) work on the window thread: they use
// its event loop. No other call blocks longer than the system call it makes.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QObject;

namespace platform {

// The socket library's functions, in the order its users fetch them.
inline constexpr int SocketFunctionCount = 46;
extern const std::array<const char*, SocketFunctionCount> SocketFunctionNames;

using SOCKET = std::uintptr_t;
inline constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
inline constexpr int SOCKET_ERROR = -1;

// Reasons, as WSAGetLastError gives them.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEPFNOSUPPORT = 10046;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETOOMANYREFS = 10059;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAELOOP = 10062;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

// The platform's text for a Winsock code; empty for a number that is none.
std::string WsaErrorText(int code);

inline constexpr int WS_AF_INET = 2;
inline constexpr int WS_SOCK_STREAM = 1;
inline constexpr int WS_SOCK_DGRAM = 2;
inline constexpr int WS_IPPROTO_TCP = 6;
inline constexpr int WS_SOL_SOCKET = 0xFFFF;
inline constexpr int WS_SO_DEBUG = 0x0001;
inline constexpr int WS_SO_ACCEPTCONN = 0x0002;
inline constexpr int WS_SO_REUSEADDR = 0x0004;
inline constexpr int WS_SO_KEEPALIVE = 0x0008;
inline constexpr int WS_SO_DONTROUTE = 0x0010;
inline constexpr int WS_SO_BROADCAST = 0x0020;
inline constexpr int WS_SO_LINGER = 0x0080;
inline constexpr int WS_SO_OOBINLINE = 0x0100;
inline constexpr int WS_SO_DONTLINGER = ~WS_SO_LINGER;
inline constexpr int WS_SO_SNDBUF = 0x1001;
inline constexpr int WS_SO_RCVBUF = 0x1002;
inline constexpr int WS_SO_ERROR = 0x1007;
inline constexpr int WS_SO_TYPE = 0x1008;
inline constexpr int WS_TCP_NODELAY = 0x0001;
inline constexpr int WS_MSG_OOB = 0x1;
inline constexpr int WS_MSG_PEEK = 0x2;
inline constexpr int WS_SD_RECEIVE = 0;
inline constexpr int WS_SD_SEND = 1;
inline constexpr int WS_SD_BOTH = 2;
inline constexpr std::uint32_t WS_FIONREAD = 0x4004667F;
inline constexpr std::uint32_t WS_FIONBIO = 0x8004667E;
inline constexpr std::uint32_t WS_SIOCATMARK = 0x40047307;
inline constexpr std::uint32_t WS_INADDR_ANY = 0;
inline constexpr std::uint32_t WS_INADDR_NONE = 0xFFFFFFFF;
inline constexpr int WS_FD_SETSIZE = 64;

// Events of WSAAsyncSelect.
inline constexpr std::int32_t FD_READ = 0x01;
inline constexpr std::int32_t FD_WRITE = 0x02;
inline constexpr std::int32_t FD_OOB = 0x04;
inline constexpr std::int32_t FD_ACCEPT = 0x08;
inline constexpr std::int32_t FD_CONNECT = 0x10;
inline constexpr std::int32_t FD_CLOSE = 0x20;

// Two 16-bit halves in one parameter, as the notifications carry them.
constexpr std::uint32_t WsMakeLong(std::uint16_t low, std::uint16_t high) {
  return static_cast<std::uint32_t>(low) | static_cast<std::uint32_t>(high) << 16;
}

// The records, laid out as the published interface lays them out.
struct WsInAddr {
  std::uint32_t S_addr = 0;  // network order
};
struct WsSockAddr {
  std::uint16_t sa_family = 0;
  char sa_data[14] = {};
};
struct WsSockAddrIn {
  std::int16_t sin_family = 0;
  std::uint16_t sin_port = 0;  // network order
  WsInAddr sin_addr;
  char sin_zero[8] = {};
};
static_assert(sizeof(WsSockAddr) == 16 && sizeof(WsSockAddrIn) == 16);

struct WsHostEnt {
  char* h_name;
  char** h_aliases;
  std::int16_t h_addrtype;
  std::int16_t h_length;
  char** h_addr_list;
};
struct WsServEnt {
  char* s_name;
  char** s_aliases;
  std::int16_t s_port;  // network order
  char* s_proto;
};
struct WsProtoEnt {
  char* p_name;
  char** p_aliases;
  std::int16_t p_proto;
};
struct WsaData {
  std::uint16_t wVersion = 0;
  std::uint16_t wHighVersion = 0;
  char szDescription[257] = {};
  char szSystemStatus[129] = {};
  std::uint16_t iMaxSockets = 0;
  std::uint16_t iMaxUdpDg = 0;
  char* lpVendorInfo = nullptr;
};
struct WsFdSet {
  std::uint32_t fd_count = 0;
  SOCKET fd_array[WS_FD_SETSIZE] = {};
};
struct WsTimeVal {
  std::int32_t tv_sec = 0;
  std::int32_t tv_usec = 0;
};
struct WsLinger {
  std::uint16_t l_onoff = 0;
  std::uint16_t l_linger = 0;
};

// Stands in for a window and its procedure: the asynchronous calls post to it, and stop once the object
// is destroyed.
struct WsWindow {
  QObject* Object = nullptr;
  std::function<void(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)> Post;
};

using WsBlockingHook = bool (*)();
using WsAsyncHandle = std::uintptr_t;

// The library: every function of the table, as BSD sockets carry it out. Tests derive from it to make a
// function fail or go missing.
class SocketLibrary {
 public:
  SocketLibrary();
  virtual ~SocketLibrary();
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

  // Whether the library has the function of that name ("accept", "WSAStartup", ...).
  virtual bool Exports(std::string_view name) const;

  virtual SOCKET Accept(SOCKET s, WsSockAddr* address, int* length);
  virtual int Bind(SOCKET s, const WsSockAddr* address, int length);
  virtual int CloseSocket(SOCKET s);
  virtual int Connect(SOCKET s, const WsSockAddr* address, int length);
  virtual int GetPeerName(SOCKET s, WsSockAddr* address, int* length);
  virtual int GetSockName(SOCKET s, WsSockAddr* address, int* length);
  virtual int GetSockOpt(SOCKET s, int level, int option, char* value, int* length);
  virtual std::uint32_t Htonl(std::uint32_t value);
  virtual std::uint16_t Htons(std::uint16_t value);
  virtual std::uint32_t InetAddr(const char* text);
  virtual char* InetNtoa(WsInAddr address);
  virtual int IoctlSocket(SOCKET s, std::uint32_t command, std::uint32_t* argument);
  virtual int Listen(SOCKET s, int backlog);
  virtual std::uint32_t Ntohl(std::uint32_t value);
  virtual std::uint16_t Ntohs(std::uint16_t value);
  virtual int Recv(SOCKET s, char* buffer, int length, int flags);
  virtual int RecvFrom(SOCKET s, char* buffer, int length, int flags, WsSockAddr* from, int* fromLength);
  virtual int Select(int count, WsFdSet* read, WsFdSet* write, WsFdSet* except, const WsTimeVal* timeout);
  virtual int Send(SOCKET s, const char* buffer, int length, int flags);
  virtual int SendTo(SOCKET s, const char* buffer, int length, int flags, const WsSockAddr* to, int toLength);
  virtual int SetSockOpt(SOCKET s, int level, int option, const char* value, int length);
  virtual int Shutdown(SOCKET s, int how);
  virtual SOCKET Socket(int family, int type, int protocol);
  // The look-ups answer a record of the calling thread's, valid until its next look-up, or null.
  virtual WsHostEnt* GetHostByAddr(const char* address, int length, int type);
  virtual WsHostEnt* GetHostByName(const char* name);
  virtual int GetHostName(char* name, int length);
  virtual WsServEnt* GetServByPort(int port, const char* protocol);
  virtual WsServEnt* GetServByName(const char* name, const char* protocol);
  virtual WsProtoEnt* GetProtoByNumber(int number);
  virtual WsProtoEnt* GetProtoByName(const char* name);
  virtual int WSAStartup(std::uint16_t version, WsaData* data);
  virtual int WSACleanup();
  virtual void WSASetLastError(int error);
  virtual int WSAGetLastError();
  virtual bool WSAIsBlocking();
  virtual int WSAUnhookBlockingHook();
  virtual WsBlockingHook WSASetBlockingHook(WsBlockingHook hook);
  virtual int WSACancelBlockingCall();
  // The asynchronous look-ups fill `buffer` with the record and post `msg` with the request's handle and
  // WsMakeLong(bytes needed, error); 0 when the request cannot be made.
  virtual WsAsyncHandle WSAAsyncGetServByName(const WsWindow& window, std::uint32_t msg, const char* name,
                                              const char* protocol, char* buffer, int length);
  virtual WsAsyncHandle WSAAsyncGetServByPort(const WsWindow& window, std::uint32_t msg, int port, const char* protocol,
                                              char* buffer, int length);
  virtual WsAsyncHandle WSAAsyncGetProtoByName(const WsWindow& window, std::uint32_t msg, const char* name,
                                               char* buffer, int length);
  virtual WsAsyncHandle WSAAsyncGetProtoByNumber(const WsWindow& window, std::uint32_t msg, int number, char* buffer,
                                                 int length);
  virtual WsAsyncHandle WSAAsyncGetHostByName(const WsWindow& window, std::uint32_t msg, const char* name, char* buffer,
                                              int length);
  virtual WsAsyncHandle WSAAsyncGetHostByAddr(const WsWindow& window, std::uint32_t msg, const char* address,
                                              int length, int type, char* buffer, int bufferLength);
  virtual int WSACancelAsyncRequest(WsAsyncHandle handle);
  // Posts `msg` with the socket and WsMakeLong(event, error) for each of `events` that happens; makes the
  // socket non-blocking. Events 0 stops the notifications.
  virtual int WSAAsyncSelect(SOCKET s, const WsWindow& window, std::uint32_t msg, std::int32_t events);

 protected:
  // Fails with `error` as the last error; answers SOCKET_ERROR.
  int Fail(int error);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Finds and frees socket libraries by name, as the platform's library loader does.
class SocketLibraries {
 public:
  virtual ~SocketLibraries() = default;
  // The library of that name, or null when there is none.
  virtual SocketLibrary* Load(const std::string& name) = 0;
  virtual void Free(SocketLibrary* library) = 0;
};

// The installed lookup. Until one is installed, the program's own: "WSOCK32" is the BSD library.
SocketLibraries& SocketProviders();
// Installs a lookup (not owned) and returns the previous one; nullptr restores the program's own.
SocketLibraries* SetSocketProviders(SocketLibraries* libraries);

}  // namespace platform
