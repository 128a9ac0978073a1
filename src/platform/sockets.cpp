#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace platform {

static_assert(WS_AF_INET == AF_INET && WS_SOCK_STREAM == SOCK_STREAM && WS_SOCK_DGRAM == SOCK_DGRAM);

const std::array<const char*, SocketFunctionCount> SocketFunctionNames = {
    "accept",
    "bind",
    "closesocket",
    "connect",
    "getpeername",
    "getsockname",
    "getsockopt",
    "htonl",
    "htons",
    "inet_addr",
    "inet_ntoa",
    "ioctlsocket",
    "listen",
    "ntohl",
    "ntohs",
    "recv",
    "recvfrom",
    "select",
    "send",
    "sendto",
    "setsockopt",
    "shutdown",
    "socket",
    "gethostbyaddr",
    "gethostbyname",
    "gethostname",
    "getservbyport",
    "getservbyname",
    "getprotobynumber",
    "getprotobyname",
    "WSAStartup",
    "WSACleanup",
    "WSASetLastError",
    "WSAGetLastError",
    "WSAIsBlocking",
    "WSAUnhookBlockingHook",
    "WSASetBlockingHook",
    "WSACancelBlockingCall",
    "WSAAsyncGetServByName",
    "WSAAsyncGetServByPort",
    "WSAAsyncGetProtoByName",
    "WSAAsyncGetProtoByNumber",
    "WSAAsyncGetHostByName",
    "WSAAsyncGetHostByAddr",
    "WSACancelAsyncRequest",
    "WSAAsyncSelect",
};

namespace {

thread_local int lastError = 0;

int WsaFromErrno(int error) {
  switch (error) {
    case EINTR:
      return WSAEINTR;
    case EACCES:
    case EPERM:
      return WSAEACCES;
    case EFAULT:
      return WSAEFAULT;
    case EINVAL:
      return WSAEINVAL;
    case EMFILE:
    case ENFILE:
      return WSAEMFILE;
    case EAGAIN:
    case EINPROGRESS:  // a non-blocking connect under way is "would block" to a Winsock caller
      return WSAEWOULDBLOCK;
    case EALREADY:
      return WSAEALREADY;
    case EBADF:
    case ENOTSOCK:
      return WSAENOTSOCK;
    case EDESTADDRREQ:
      return WSAEDESTADDRREQ;
    case EMSGSIZE:
      return WSAEMSGSIZE;
    case EPROTOTYPE:
      return WSAEPROTOTYPE;
    case ENOPROTOOPT:
      return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
      return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
      return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
      return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
      return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
      return WSAEAFNOSUPPORT;
    case EADDRINUSE:
      return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
      return WSAEADDRNOTAVAIL;
    case ENETDOWN:
      return WSAENETDOWN;
    case ENETUNREACH:
      return WSAENETUNREACH;
    case ENETRESET:
      return WSAENETRESET;
    case ECONNABORTED:
      return WSAECONNABORTED;
    case ECONNRESET:
      return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
      return WSAENOBUFS;
    case EISCONN:
      return WSAEISCONN;
    case ENOTCONN:
      return WSAENOTCONN;
    case EPIPE:
    case ESHUTDOWN:
      return WSAESHUTDOWN;
    case ETIMEDOUT:
      return WSAETIMEDOUT;
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    case ELOOP:
      return WSAELOOP;
    case ENAMETOOLONG:
      return WSAENAMETOOLONG;
    case EHOSTDOWN:
      return WSAEHOSTDOWN;
    case EHOSTUNREACH:
      return WSAEHOSTUNREACH;
    default:
      return WSAEINVAL;
  }
}

int WsaFromLookup(int error) {
  switch (error) {
    case EAI_AGAIN:
      return WSATRY_AGAIN;
    case EAI_FAIL:
    case EAI_MEMORY:
    case EAI_SYSTEM:
      return WSANO_RECOVERY;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return WSANO_DATA;
    default:
      return WSAHOST_NOT_FOUND;
  }
}

int Fd(SOCKET s) { return s > static_cast<SOCKET>(INT_MAX) ? -1 : static_cast<int>(s); }

sockaddr_in ToSystem(const WsSockAddr* address) {
  WsSockAddrIn in;
  std::memcpy(static_cast<void*>(&in), address, sizeof in);
  sockaddr_in out{};
  out.sin_family = static_cast<sa_family_t>(in.sin_family);
  out.sin_port = in.sin_port;
  out.sin_addr.s_addr = in.sin_addr.S_addr;
  return out;
}

// Writes the address back the Winsock way; false when the caller's room is too small.
bool FromSystem(const sockaddr_storage& address, socklen_t size, WsSockAddr* out, int* length) {
  if (!out || !length) return true;
  if (*length < static_cast<int>(sizeof(WsSockAddrIn))) return false;
  WsSockAddrIn in;
  if (address.ss_family == AF_INET && size >= sizeof(sockaddr_in)) {
    const auto& a = reinterpret_cast<const sockaddr_in&>(address);
    in.sin_family = WS_AF_INET;
    in.sin_port = a.sin_port;
    in.sin_addr.S_addr = a.sin_addr.s_addr;
  } else {
    in.sin_family = static_cast<std::int16_t>(address.ss_family);
  }
  std::memcpy(static_cast<void*>(out), &in, sizeof in);
  *length = sizeof in;
  return true;
}

// records packed into one buffer: the record, its pointer lists, then its texts and addresses

class Packer {
 public:
  Packer(char* buffer, int length) : buffer_(buffer), length_(length) {}
  std::size_t Reserve(std::size_t size, std::size_t align) {
    used_ = (used_ + align - 1) / align * align;
    const std::size_t at = used_;
    used_ += size;
    return at;
  }
  bool Fits() const { return buffer_ && used_ <= static_cast<std::size_t>(length_); }
  char* At(std::size_t offset) const { return buffer_ + offset; }
  int Needed() const { return static_cast<int>(used_); }

 private:
  char* buffer_;
  int length_;
  std::size_t used_ = 0;
};

// Lays out a list of texts (null-ended pointer list then the texts); answers the list's offset.
std::size_t ReserveTexts(Packer& p, const std::vector<std::string>& texts, std::vector<std::size_t>& at) {
  const std::size_t list = p.Reserve((texts.size() + 1) * sizeof(char*), alignof(char*));
  for (const std::string& t : texts) at.push_back(p.Reserve(t.size() + 1, 1));
  return list;
}

char** WriteTexts(Packer& p, std::size_t list, const std::vector<std::string>& texts,
                  const std::vector<std::size_t>& at) {
  auto** pointers = reinterpret_cast<char**>(p.At(list));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::memcpy(p.At(at[i]), texts[i].c_str(), texts[i].size() + 1);
    pointers[i] = p.At(at[i]);
  }
  pointers[texts.size()] = nullptr;
  return pointers;
}

struct HostData {
  std::string Name;
  std::vector<std::string> Aliases;
  std::vector<std::uint32_t> Addresses;  // network order
};

int PackHost(const HostData& d, char* buffer, int length) {
  Packer p(buffer, length);
  const std::size_t record = p.Reserve(sizeof(WsHostEnt), alignof(WsHostEnt));
  const std::size_t name = p.Reserve(d.Name.size() + 1, 1);
  std::vector<std::size_t> aliasAt;
  const std::size_t aliases = ReserveTexts(p, d.Aliases, aliasAt);
  const std::size_t list = p.Reserve((d.Addresses.size() + 1) * sizeof(char*), alignof(char*));
  const std::size_t addresses = p.Reserve(d.Addresses.size() * 4, 4);
  if (!p.Fits()) return p.Needed();
  WsHostEnt h{};
  std::memcpy(p.At(name), d.Name.c_str(), d.Name.size() + 1);
  h.h_name = p.At(name);
  h.h_aliases = WriteTexts(p, aliases, d.Aliases, aliasAt);
  h.h_addrtype = WS_AF_INET;
  h.h_length = 4;
  auto** pointers = reinterpret_cast<char**>(p.At(list));
  for (std::size_t i = 0; i < d.Addresses.size(); ++i) {
    std::memcpy(p.At(addresses + 4 * i), &d.Addresses[i], 4);
    pointers[i] = p.At(addresses + 4 * i);
  }
  pointers[d.Addresses.size()] = nullptr;
  h.h_addr_list = pointers;
  std::memcpy(p.At(record), &h, sizeof h);
  return p.Needed();
}

struct ServData {
  std::string Name, Protocol;
  std::vector<std::string> Aliases;
  std::uint16_t Port = 0;  // network order
};

int PackServ(const ServData& d, char* buffer, int length) {
  Packer p(buffer, length);
  const std::size_t record = p.Reserve(sizeof(WsServEnt), alignof(WsServEnt));
  const std::size_t name = p.Reserve(d.Name.size() + 1, 1);
  const std::size_t protocol = p.Reserve(d.Protocol.size() + 1, 1);
  std::vector<std::size_t> aliasAt;
  const std::size_t aliases = ReserveTexts(p, d.Aliases, aliasAt);
  if (!p.Fits()) return p.Needed();
  WsServEnt s{};
  std::memcpy(p.At(name), d.Name.c_str(), d.Name.size() + 1);
  std::memcpy(p.At(protocol), d.Protocol.c_str(), d.Protocol.size() + 1);
  s.s_name = p.At(name);
  s.s_proto = p.At(protocol);
  s.s_aliases = WriteTexts(p, aliases, d.Aliases, aliasAt);
  s.s_port = static_cast<std::int16_t>(d.Port);
  std::memcpy(p.At(record), &s, sizeof s);
  return p.Needed();
}

struct ProtoData {
  std::string Name;
  std::vector<std::string> Aliases;
  int Number = 0;
};

int PackProto(const ProtoData& d, char* buffer, int length) {
  Packer p(buffer, length);
  const std::size_t record = p.Reserve(sizeof(WsProtoEnt), alignof(WsProtoEnt));
  const std::size_t name = p.Reserve(d.Name.size() + 1, 1);
  std::vector<std::size_t> aliasAt;
  const std::size_t aliases = ReserveTexts(p, d.Aliases, aliasAt);
  if (!p.Fits()) return p.Needed();
  WsProtoEnt r{};
  std::memcpy(p.At(name), d.Name.c_str(), d.Name.size() + 1);
  r.p_name = p.At(name);
  r.p_aliases = WriteTexts(p, aliases, d.Aliases, aliasAt);
  r.p_proto = static_cast<std::int16_t>(d.Number);
  std::memcpy(p.At(record), &r, sizeof r);
  return p.Needed();
}

std::vector<std::string> TextList(char** list) {
  std::vector<std::string> out;
  for (; list && *list; ++list) out.emplace_back(*list);
  return out;
}

// The look-ups; each answers 0 or a Winsock code.
int LookupHostByName(const char* name, HostData& d) {
  if (!name) return WSAEFAULT;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (int r = ::getaddrinfo(name, nullptr, &hints, &found))
    return r == EAI_SYSTEM ? WsaFromErrno(errno) : WsaFromLookup(r);
  d.Name = found->ai_canonname ? found->ai_canonname : name;
  for (addrinfo* a = found; a; a = a->ai_next) {
    const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
    if (std::find(d.Addresses.begin(), d.Addresses.end(), address) == d.Addresses.end()) d.Addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return d.Addresses.empty() ? WSANO_DATA : 0;
}

int LookupHostByAddr(const char* address, int length, int type, HostData& d) {
  if (!address || length < 4) return WSAEFAULT;
  if (type != WS_AF_INET) return WSAEAFNOSUPPORT;
  sockaddr_in in{};
  in.sin_family = AF_INET;
  std::memcpy(&in.sin_addr.s_addr, address, 4);
  char host[NI_MAXHOST];
  if (int r =
          ::getnameinfo(reinterpret_cast<const sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0, NI_NAMEREQD))
    return WsaFromLookup(r);
  d.Name = host;
  d.Addresses = {in.sin_addr.s_addr};
  return 0;
}

int LookupServByName(const char* name, const char* protocol, ServData& d) {
  if (!name) return WSAEFAULT;
  servent entry{}, *found = nullptr;
  char work[4096];
  if (::getservbyname_r(name, protocol, &entry, work, sizeof work, &found) != 0 || !found) return WSANO_DATA;
  d = {found->s_name, found->s_proto ? found->s_proto : "", TextList(found->s_aliases),
       static_cast<std::uint16_t>(found->s_port)};
  return 0;
}

int LookupServByPort(int port, const char* protocol, ServData& d) {
  servent entry{}, *found = nullptr;
  char work[4096];
  if (::getservbyport_r(port, protocol, &entry, work, sizeof work, &found) != 0 || !found) return WSANO_DATA;
  d = {found->s_name, found->s_proto ? found->s_proto : "", TextList(found->s_aliases),
       static_cast<std::uint16_t>(found->s_port)};
  return 0;
}

int LookupProtoByName(const char* name, ProtoData& d) {
  if (!name) return WSAEFAULT;
  protoent entry{}, *found = nullptr;
  char work[1024];
  if (::getprotobyname_r(name, &entry, work, sizeof work, &found) != 0 || !found) return WSANO_DATA;
  d = {found->p_name, TextList(found->p_aliases), found->p_proto};
  return 0;
}

int LookupProtoByNumber(int number, ProtoData& d) {
  protoent entry{}, *found = nullptr;
  char work[1024];
  if (::getprotobynumber_r(number, &entry, work, sizeof work, &found) != 0 || !found) return WSANO_DATA;
  d = {found->p_name, TextList(found->p_aliases), found->p_proto};
  return 0;
}

// The calling thread's record of its last look-up.
template <class Record, class Data>
Record* ThreadRecord(const Data& d, int (*pack)(const Data&, char*, int)) {
  thread_local std::vector<std::max_align_t> storage;
  const int needed = pack(d, nullptr, 0);
  storage.resize(static_cast<std::size_t>(needed) / sizeof(std::max_align_t) + 1);
  pack(d, reinterpret_cast<char*>(storage.data()), static_cast<int>(storage.size() * sizeof(std::max_align_t)));
  return reinterpret_cast<Record*>(storage.data());
}

bool SystemOption(int level, int option, int& sysLevel, int& sysOption) {
  if (level == WS_IPPROTO_TCP && option == WS_TCP_NODELAY) {
    sysLevel = IPPROTO_TCP;
    sysOption = TCP_NODELAY;
    return true;
  }
  if (level != WS_SOL_SOCKET) return false;
  sysLevel = SOL_SOCKET;
  switch (option) {
    case WS_SO_DEBUG:
      sysOption = SO_DEBUG;
      return true;
    case WS_SO_ACCEPTCONN:
      sysOption = SO_ACCEPTCONN;
      return true;
    case WS_SO_REUSEADDR:
      sysOption = SO_REUSEADDR;
      return true;
    case WS_SO_KEEPALIVE:
      sysOption = SO_KEEPALIVE;
      return true;
    case WS_SO_DONTROUTE:
      sysOption = SO_DONTROUTE;
      return true;
    case WS_SO_BROADCAST:
      sysOption = SO_BROADCAST;
      return true;
    case WS_SO_LINGER:
    case WS_SO_DONTLINGER:
      sysOption = SO_LINGER;
      return true;
    case WS_SO_OOBINLINE:
      sysOption = SO_OOBINLINE;
      return true;
    case WS_SO_SNDBUF:
      sysOption = SO_SNDBUF;
      return true;
    case WS_SO_RCVBUF:
      sysOption = SO_RCVBUF;
      return true;
    case WS_SO_ERROR:
      sysOption = SO_ERROR;
      return true;
    case WS_SO_TYPE:
      sysOption = SO_TYPE;
      return true;
    default:
      return false;
  }
}

bool Listening(int fd) {
  int on = 0;
  socklen_t size = sizeof on;
  return ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &on, &size) == 0 && on;
}

bool Connected(int fd) {
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  return ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0;
}

}  // namespace

std::string WsaErrorText(int code) {
  switch (code) {
    case WSAEINTR:
      return "A blocking call was interrupted";
    case WSAEBADF:
      return "The file handle is not valid";
    case WSAEACCES:
      return "Permission denied";
    case WSAEFAULT:
      return "Bad address";
    case WSAEINVAL:
      return "Invalid argument";
    case WSAEMFILE:
      return "Too many open sockets";
    case WSAEWOULDBLOCK:
      return "The operation would block";
    case WSAEINPROGRESS:
      return "A blocking operation is in progress";
    case WSAEALREADY:
      return "The operation is already in progress";
    case WSAENOTSOCK:
      return "Not a socket";
    case WSAEDESTADDRREQ:
      return "A destination address is required";
    case WSAEMSGSIZE:
      return "The message is too long";
    case WSAEPROTOTYPE:
      return "Wrong protocol type for the socket";
    case WSAENOPROTOOPT:
      return "Bad protocol option";
    case WSAEPROTONOSUPPORT:
      return "The protocol is not supported";
    case WSAESOCKTNOSUPPORT:
      return "The socket type is not supported";
    case WSAEOPNOTSUPP:
      return "The operation is not supported";
    case WSAEPFNOSUPPORT:
      return "The protocol family is not supported";
    case WSAEAFNOSUPPORT:
      return "The address family is not supported by the protocol family";
    case WSAEADDRINUSE:
      return "The address is already in use";
    case WSAEADDRNOTAVAIL:
      return "Cannot assign the requested address";
    case WSAENETDOWN:
      return "The network is down";
    case WSAENETUNREACH:
      return "The network is unreachable";
    case WSAENETRESET:
      return "The network dropped the connection on reset";
    case WSAECONNABORTED:
      return "The connection was aborted";
    case WSAECONNRESET:
      return "The connection was reset by the peer";
    case WSAENOBUFS:
      return "No buffer space is available";
    case WSAEISCONN:
      return "The socket is already connected";
    case WSAENOTCONN:
      return "The socket is not connected";
    case WSAESHUTDOWN:
      return "Cannot send after the socket was shut down";
    case WSAETOOMANYREFS:
      return "Too many references";
    case WSAETIMEDOUT:
      return "The connection timed out";
    case WSAECONNREFUSED:
      return "The connection was refused";
    case WSAELOOP:
      return "Cannot translate the name";
    case WSAENAMETOOLONG:
      return "The name is too long";
    case WSAEHOSTDOWN:
      return "The host is down";
    case WSAEHOSTUNREACH:
      return "No route to the host";
    case WSASYSNOTREADY:
      return "The network subsystem is unavailable";
    case WSAVERNOTSUPPORTED:
      return "The requested sockets version is not supported";
    case WSANOTINITIALISED:
      return "The sockets library has not been started";
    case WSAHOST_NOT_FOUND:
      return "The host was not found";
    case WSATRY_AGAIN:
      return "The host was not found: try again";
    case WSANO_RECOVERY:
      return "A name server failed for good";
    case WSANO_DATA:
      return "The name has no record of the requested type";
    default:
      return {};
  }
}

// the library's state

struct Watch {
  SOCKET Socket = 0;
  QPointer<QObject> Target;
  std::function<void(std::uint32_t, std::uintptr_t, std::intptr_t)> Post;
  std::uint32_t Msg = 0;
  std::int32_t Events = 0;
  std::unique_ptr<QSocketNotifier> Read, Write;
  bool Listening = false;
  bool Connecting = false;
  bool Closed = false;

  // A socket may be closed from a window procedure that its own notifier's report led to: the notifiers
  // go later, never inside their own signal.
  ~Watch() {
    for (QSocketNotifier* n : {Read.release(), Write.release()}) {
      if (!n) continue;
      n->setEnabled(false);
      n->deleteLater();
    }
  }

  void Report(std::int32_t event, int error) {
    if ((Events & event) && Target && Post)
      Post(
          Msg, Socket,
          static_cast<std::intptr_t>(WsMakeLong(static_cast<std::uint16_t>(event), static_cast<std::uint16_t>(error))));
  }
  bool WantsRead() const { return Events & (FD_READ | FD_OOB | FD_CLOSE); }
};

struct SocketLibrary::State {
  std::atomic<int> Startups{0};
  std::map<SOCKET, std::unique_ptr<Watch>> Watches;
  std::shared_ptr<std::set<WsAsyncHandle>> Pending = std::make_shared<std::set<WsAsyncHandle>>();
  WsAsyncHandle NextRequest = 1;
  WsBlockingHook Hook = nullptr;

  Watch* Find(SOCKET s) {
    auto it = Watches.find(s);
    return it == Watches.end() ? nullptr : it->second.get();
  }
  void Readable(SOCKET s);
  void Writable(SOCKET s);
  Watch& Add(SOCKET s, const WsWindow& window, std::uint32_t msg, std::int32_t events);
};

Watch& SocketLibrary::State::Add(SOCKET s, const WsWindow& window, std::uint32_t msg, std::int32_t events) {
  auto w = std::make_unique<Watch>();
  w->Socket = s;
  w->Target = window.Object;
  w->Post = window.Post;
  w->Msg = msg;
  w->Events = events;
  w->Read = std::make_unique<QSocketNotifier>(static_cast<qintptr>(s), QSocketNotifier::Read);
  w->Write = std::make_unique<QSocketNotifier>(static_cast<qintptr>(s), QSocketNotifier::Write);
  w->Read->setEnabled(false);
  w->Write->setEnabled(false);
  QObject::connect(w->Read.get(), &QSocketNotifier::activated, [this, s] { Readable(s); });
  QObject::connect(w->Write.get(), &QSocketNotifier::activated, [this, s] { Writable(s); });
  Watch& added = *w;
  Watches[s] = std::move(w);
  return added;
}

void SocketLibrary::State::Readable(SOCKET s) {
  Watch* w = Find(s);
  if (!w) return;
  if (w->Listening) {
    w->Read->setEnabled(false);  // again once the connection is accepted
    w->Report(FD_ACCEPT, 0);
    return;
  }
  char byte;
  const ssize_t n = ::recv(Fd(s), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n > 0) {
    w->Read->setEnabled(false);  // again once the data is read
    w->Report(FD_READ, 0);
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  w->Read->setEnabled(false);
  w->Closed = true;
  w->Report(FD_CLOSE, n == 0 ? 0 : WsaFromErrno(errno));
}

void SocketLibrary::State::Writable(SOCKET s) {
  Watch* w = Find(s);
  if (!w) return;
  w->Write->setEnabled(false);  // again when a send would block
  if (!w->Connecting) {
    w->Report(FD_WRITE, 0);
    return;
  }
  w->Connecting = false;
  int error = 0;
  socklen_t size = sizeof error;
  ::getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &error, &size);
  if (error) {
    w->Report(FD_CONNECT, WsaFromErrno(error));
    return;
  }
  w->Report(FD_CONNECT, 0);
  if (w->WantsRead()) w->Read->setEnabled(true);
  w->Report(FD_WRITE, 0);
}

// the library

SocketLibrary::SocketLibrary() : state_(std::make_unique<State>()) {}
SocketLibrary::~SocketLibrary() = default;

bool SocketLibrary::Exports(std::string_view name) const {
  return std::find(SocketFunctionNames.begin(), SocketFunctionNames.end(), name) != SocketFunctionNames.end();
}

int SocketLibrary::Fail(int error) {
  WSASetLastError(error);
  return SOCKET_ERROR;
}

#define ZELTA_WS_STARTED(failure)       \
  if (state_->Startups.load() == 0) {   \
    WSASetLastError(WSANOTINITIALISED); \
    return failure;                     \
  }

SOCKET SocketLibrary::Socket(int family, int type, int protocol) {
  ZELTA_WS_STARTED(INVALID_SOCKET)
  const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    WSASetLastError(WsaFromErrno(errno));
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(fd);
}

SOCKET SocketLibrary::Accept(SOCKET s, WsSockAddr* address, int* length) {
  ZELTA_WS_STARTED(INVALID_SOCKET)
  if (address && !length) {
    WSASetLastError(WSAEFAULT);
    return INVALID_SOCKET;
  }
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  const int fd = ::accept4(Fd(s), reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
  Watch* listener = state_->Find(s);
  if (listener && !listener->Closed && (listener->Events & FD_ACCEPT)) listener->Read->setEnabled(true);
  if (fd < 0) {
    WSASetLastError(WsaFromErrno(errno));
    return INVALID_SOCKET;
  }
  if (!FromSystem(peer, size, address, length)) {
    ::close(fd);
    WSASetLastError(WSAEFAULT);
    return INVALID_SOCKET;
  }
  const auto accepted = static_cast<SOCKET>(fd);
  // An accepted socket reports as its listener does.
  if (listener) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    Watch& w = state_->Add(accepted, {listener->Target, listener->Post}, listener->Msg, listener->Events);
    if (w.WantsRead()) w.Read->setEnabled(true);
    if (w.Events & FD_WRITE) w.Write->setEnabled(true);
  }
  return accepted;
}

int SocketLibrary::Bind(SOCKET s, const WsSockAddr* address, int length) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if (!address || length < static_cast<int>(sizeof(WsSockAddrIn))) return Fail(WSAEFAULT);
  const sockaddr_in in = ToSystem(address);
  if (::bind(Fd(s), reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0) return Fail(WsaFromErrno(errno));
  return 0;
}

int SocketLibrary::CloseSocket(SOCKET s) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  state_->Watches.erase(s);
  if (Fd(s) < 0 || ::close(Fd(s)) != 0) return Fail(WsaFromErrno(Fd(s) < 0 ? EBADF : errno));
  return 0;
}

int SocketLibrary::Connect(SOCKET s, const WsSockAddr* address, int length) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if (!address || length < static_cast<int>(sizeof(WsSockAddrIn))) return Fail(WSAEFAULT);
  const sockaddr_in in = ToSystem(address);
  const int result = ::connect(Fd(s), reinterpret_cast<const sockaddr*>(&in), sizeof in);
  const int error = errno;
  if (Watch* w = state_->Find(s); w && (result == 0 || error == EINPROGRESS)) {
    w->Connecting = true;  // the connect notification follows once the socket is writable
    w->Write->setEnabled(true);
  }
  if (result != 0) return Fail(WsaFromErrno(error));
  return 0;
}

int SocketLibrary::GetPeerName(SOCKET s, WsSockAddr* address, int* length) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  if (::getpeername(Fd(s), reinterpret_cast<sockaddr*>(&peer), &size) != 0) return Fail(WsaFromErrno(errno));
  if (!address || !length || !FromSystem(peer, size, address, length)) return Fail(WSAEFAULT);
  return 0;
}

int SocketLibrary::GetSockName(SOCKET s, WsSockAddr* address, int* length) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  sockaddr_storage own{};
  socklen_t size = sizeof own;
  if (::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&own), &size) != 0) return Fail(WsaFromErrno(errno));
  if (!address || !length || !FromSystem(own, size, address, length)) return Fail(WSAEFAULT);
  return 0;
}

int SocketLibrary::GetSockOpt(SOCKET s, int level, int option, char* value, int* length) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  int sysLevel = 0, sysOption = 0;
  if (!SystemOption(level, option, sysLevel, sysOption)) return Fail(WSAENOPROTOOPT);
  if (!value || !length) return Fail(WSAEFAULT);
  if (sysOption == SO_LINGER) {
    linger l{};
    socklen_t size = sizeof l;
    if (::getsockopt(Fd(s), sysLevel, sysOption, &l, &size) != 0) return Fail(WsaFromErrno(errno));
    if (option == WS_SO_DONTLINGER) {
      if (*length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
      const int off = !l.l_onoff;
      std::memcpy(value, &off, sizeof off);
      *length = sizeof off;
      return 0;
    }
    if (*length < static_cast<int>(sizeof(WsLinger))) return Fail(WSAEFAULT);
    const WsLinger w{static_cast<std::uint16_t>(l.l_onoff), static_cast<std::uint16_t>(l.l_linger)};
    std::memcpy(value, &w, sizeof w);
    *length = sizeof w;
    return 0;
  }
  if (*length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
  int v = 0;
  socklen_t size = sizeof v;
  if (::getsockopt(Fd(s), sysLevel, sysOption, &v, &size) != 0) return Fail(WsaFromErrno(errno));
  if (sysOption == SO_ERROR && v) v = WsaFromErrno(v);
  std::memcpy(value, &v, sizeof v);
  *length = sizeof v;
  return 0;
}

int SocketLibrary::SetSockOpt(SOCKET s, int level, int option, const char* value, int length) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  int sysLevel = 0, sysOption = 0;
  if (!SystemOption(level, option, sysLevel, sysOption) || option == WS_SO_ERROR || option == WS_SO_TYPE ||
      option == WS_SO_ACCEPTCONN)
    return Fail(WSAENOPROTOOPT);
  if (!value) return Fail(WSAEFAULT);
  int result = 0;
  if (option == WS_SO_LINGER) {
    if (length < static_cast<int>(sizeof(WsLinger))) return Fail(WSAEFAULT);
    WsLinger w;
    std::memcpy(&w, value, sizeof w);
    const linger l{w.l_onoff, w.l_linger};
    result = ::setsockopt(Fd(s), sysLevel, sysOption, &l, sizeof l);
  } else {
    if (length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
    int v = 0;
    std::memcpy(&v, value, sizeof v);
    if (option == WS_SO_DONTLINGER) {
      const linger l{v ? 0 : 1, 0};
      result = ::setsockopt(Fd(s), sysLevel, sysOption, &l, sizeof l);
    } else {
      result = ::setsockopt(Fd(s), sysLevel, sysOption, &v, sizeof v);
    }
  }
  return result == 0 ? 0 : Fail(WsaFromErrno(errno));
}

std::uint32_t SocketLibrary::Htonl(std::uint32_t value) { return htonl(value); }
std::uint16_t SocketLibrary::Htons(std::uint16_t value) { return htons(value); }
std::uint32_t SocketLibrary::Ntohl(std::uint32_t value) { return ntohl(value); }
std::uint16_t SocketLibrary::Ntohs(std::uint16_t value) { return ntohs(value); }

std::uint32_t SocketLibrary::InetAddr(const char* text) {
  if (!text) return WS_INADDR_NONE;
  in_addr address{};
  return ::inet_aton(text, &address) ? address.s_addr : WS_INADDR_NONE;
}

char* SocketLibrary::InetNtoa(WsInAddr address) {
  thread_local char text[16];
  in_addr in{};
  in.s_addr = address.S_addr;
  return ::inet_ntop(AF_INET, &in, text, sizeof text) ? text : nullptr;
}

int SocketLibrary::IoctlSocket(SOCKET s, std::uint32_t command, std::uint32_t* argument) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if (!argument) return Fail(WSAEFAULT);
  const int fd = Fd(s);
  switch (command) {
    case WS_FIONBIO: {
      // A socket under WSAAsyncSelect stays non-blocking.
      if (!*argument && state_->Find(s)) return Fail(WSAEINVAL);
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags < 0 || ::fcntl(fd, F_SETFL, *argument ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) < 0)
        return Fail(WsaFromErrno(errno));
      return 0;
    }
    case WS_FIONREAD: {
      int waiting = 0;
      if (::ioctl(fd, FIONREAD, &waiting) != 0) return Fail(WsaFromErrno(errno));
      *argument = static_cast<std::uint32_t>(waiting);
      return 0;
    }
    case WS_SIOCATMARK: {
      const int mark = ::sockatmark(fd);
      if (mark < 0) return Fail(WsaFromErrno(errno));
      *argument = mark ? 0 : 1;  // true while no urgent byte is next
      return 0;
    }
    default:
      return Fail(WSAEINVAL);
  }
}

int SocketLibrary::Listen(SOCKET s, int backlog) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if (::listen(Fd(s), backlog) != 0) return Fail(WsaFromErrno(errno));
  if (Watch* w = state_->Find(s)) {
    w->Listening = true;
    if (w->Events & FD_ACCEPT) w->Read->setEnabled(true);
  }
  return 0;
}

namespace {
int SystemFlags(int flags) { return (flags & WS_MSG_OOB ? MSG_OOB : 0) | (flags & WS_MSG_PEEK ? MSG_PEEK : 0); }
}  // namespace

int SocketLibrary::Recv(SOCKET s, char* buffer, int length, int flags) {
  return RecvFrom(s, buffer, length, flags, nullptr, nullptr);
}

int SocketLibrary::RecvFrom(SOCKET s, char* buffer, int length, int flags, WsSockAddr* from, int* fromLength) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if ((!buffer && length > 0) || length < 0) return Fail(WSAEFAULT);
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  const ssize_t n = ::recvfrom(Fd(s), buffer, static_cast<std::size_t>(length), SystemFlags(flags),
                               reinterpret_cast<sockaddr*>(&peer), &size);
  const int error = errno;
  // Reading is what lets the next read notification through.
  if (Watch* w = state_->Find(s); w && !w->Closed && w->WantsRead()) w->Read->setEnabled(true);
  if (n < 0) return Fail(WsaFromErrno(error));
  if (from && size > 0 && !FromSystem(peer, size, from, fromLength)) return Fail(WSAEFAULT);
  return static_cast<int>(n);
}

int SocketLibrary::Send(SOCKET s, const char* buffer, int length, int flags) {
  return SendTo(s, buffer, length, flags, nullptr, 0);
}

int SocketLibrary::SendTo(SOCKET s, const char* buffer, int length, int flags, const WsSockAddr* to, int toLength) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if ((!buffer && length > 0) || length < 0) return Fail(WSAEFAULT);
  ssize_t n = 0;
  if (to) {
    if (toLength < static_cast<int>(sizeof(WsSockAddrIn))) return Fail(WSAEFAULT);
    const sockaddr_in in = ToSystem(to);
    n = ::sendto(Fd(s), buffer, static_cast<std::size_t>(length), SystemFlags(flags) | MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&in), sizeof in);
  } else {
    n = ::send(Fd(s), buffer, static_cast<std::size_t>(length), SystemFlags(flags) | MSG_NOSIGNAL);
  }
  if (n >= 0) return static_cast<int>(n);
  const int error = errno;
  // A send that would block brings a write notification once there is room again.
  if (Watch* w = state_->Find(s); w && (error == EAGAIN || error == EWOULDBLOCK) && (w->Events & FD_WRITE))
    w->Write->setEnabled(true);
  return Fail(WsaFromErrno(error));
}

int SocketLibrary::Select(int, WsFdSet* read, WsFdSet* write, WsFdSet* except, const WsTimeVal* timeout) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  std::vector<pollfd> polls;
  auto add = [&](WsFdSet* set, short events) {
    if (!set) return;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(set->fd_count, WS_FD_SETSIZE); ++i) {
      const int fd = Fd(set->fd_array[i]);
      auto it = std::find_if(polls.begin(), polls.end(), [fd](const pollfd& p) { return p.fd == fd; });
      if (it == polls.end())
        polls.push_back({fd, events, 0});
      else
        it->events |= events;
    }
  };
  add(read, POLLIN);
  add(write, POLLOUT);
  add(except, POLLPRI);
  if (polls.empty()) return Fail(WSAEINVAL);
  if (std::any_of(polls.begin(), polls.end(), [](const pollfd& p) { return p.fd < 0; })) return Fail(WSAENOTSOCK);
  const int ms = timeout ? timeout->tv_sec * 1000 + timeout->tv_usec / 1000 : -1;
  int n = 0;
  do {
    n = ::poll(polls.data(), polls.size(), ms);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return Fail(WsaFromErrno(errno));
  if (std::any_of(polls.begin(), polls.end(), [](const pollfd& p) { return p.revents & POLLNVAL; }))
    return Fail(WSAENOTSOCK);
  int ready = 0;
  auto keep = [&](WsFdSet* set, short wanted) {
    if (!set) return;
    WsFdSet kept;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(set->fd_count, WS_FD_SETSIZE); ++i) {
      const int fd = Fd(set->fd_array[i]);
      auto it = std::find_if(polls.begin(), polls.end(), [fd](const pollfd& p) { return p.fd == fd; });
      if (it->revents & wanted) kept.fd_array[kept.fd_count++] = set->fd_array[i];
    }
    *set = kept;
    ready += static_cast<int>(kept.fd_count);
  };
  keep(read, POLLIN | POLLHUP | POLLERR);
  keep(write, POLLOUT | POLLERR);
  keep(except, POLLPRI);
  return ready;
}

int SocketLibrary::Shutdown(SOCKET s, int how) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  const int sysHow = how == WS_SD_RECEIVE ? SHUT_RD : how == WS_SD_SEND ? SHUT_WR : how == WS_SD_BOTH ? SHUT_RDWR : -1;
  if (sysHow < 0) return Fail(WSAEINVAL);
  if (::shutdown(Fd(s), sysHow) != 0) return Fail(WsaFromErrno(errno));
  return 0;
}

WsHostEnt* SocketLibrary::GetHostByAddr(const char* address, int length, int type) {
  ZELTA_WS_STARTED(nullptr)
  HostData d;
  if (int error = LookupHostByAddr(address, length, type, d)) {
    WSASetLastError(error);
    return nullptr;
  }
  return ThreadRecord<WsHostEnt>(d, &PackHost);
}

WsHostEnt* SocketLibrary::GetHostByName(const char* name) {
  ZELTA_WS_STARTED(nullptr)
  HostData d;
  if (int error = LookupHostByName(name, d)) {
    WSASetLastError(error);
    return nullptr;
  }
  return ThreadRecord<WsHostEnt>(d, &PackHost);
}

int SocketLibrary::GetHostName(char* name, int length) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) return Fail(WsaFromErrno(errno));
  const std::size_t size = std::strlen(host) + 1;
  if (!name || length < 0 || size > static_cast<std::size_t>(length)) return Fail(WSAEFAULT);
  std::memcpy(name, host, size);
  return 0;
}

WsServEnt* SocketLibrary::GetServByPort(int port, const char* protocol) {
  ZELTA_WS_STARTED(nullptr)
  ServData d;
  if (int error = LookupServByPort(port, protocol, d)) {
    WSASetLastError(error);
    return nullptr;
  }
  return ThreadRecord<WsServEnt>(d, &PackServ);
}

WsServEnt* SocketLibrary::GetServByName(const char* name, const char* protocol) {
  ZELTA_WS_STARTED(nullptr)
  ServData d;
  if (int error = LookupServByName(name, protocol, d)) {
    WSASetLastError(error);
    return nullptr;
  }
  return ThreadRecord<WsServEnt>(d, &PackServ);
}

WsProtoEnt* SocketLibrary::GetProtoByNumber(int number) {
  ZELTA_WS_STARTED(nullptr)
  ProtoData d;
  if (int error = LookupProtoByNumber(number, d)) {
    WSASetLastError(error);
    return nullptr;
  }
  return ThreadRecord<WsProtoEnt>(d, &PackProto);
}

WsProtoEnt* SocketLibrary::GetProtoByName(const char* name) {
  ZELTA_WS_STARTED(nullptr)
  ProtoData d;
  if (int error = LookupProtoByName(name, d)) {
    WSASetLastError(error);
    return nullptr;
  }
  return ThreadRecord<WsProtoEnt>(d, &PackProto);
}

int SocketLibrary::WSAStartup(std::uint16_t version, WsaData* data) {
  const int major = version & 0xFF, minor = version >> 8;
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  if (!data) return WSAEFAULT;
  *data = {};
  data->wVersion = major > 2 || (major == 2 && minor > 2) ? 0x0202 : version;
  data->wHighVersion = 0x0202;
  std::strcpy(data->szDescription, "BSD sockets");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 0x7FFF;
  data->iMaxUdpDg = 65507;
  ++state_->Startups;
  return 0;
}

int SocketLibrary::WSACleanup() {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if (--state_->Startups == 0) {
    state_->Watches.clear();
    state_->Pending->clear();
  }
  return 0;
}

void SocketLibrary::WSASetLastError(int error) { lastError = error; }
int SocketLibrary::WSAGetLastError() { return lastError; }

// No call blocks inside a message loop here, so there is never a blocking call to cancel.
bool SocketLibrary::WSAIsBlocking() { return false; }

int SocketLibrary::WSAUnhookBlockingHook() {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  state_->Hook = nullptr;
  return 0;
}

WsBlockingHook SocketLibrary::WSASetBlockingHook(WsBlockingHook hook) {
  ZELTA_WS_STARTED(nullptr)
  WsBlockingHook previous = state_->Hook;
  state_->Hook = hook;
  return previous;
}

int SocketLibrary::WSACancelBlockingCall() {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  return Fail(WSAEINVAL);
}

namespace {

// Posts the answer of an asynchronous look-up unless it was cancelled meanwhile.
WsAsyncHandle PostAnswer(const std::shared_ptr<std::set<WsAsyncHandle>>& pending, WsAsyncHandle handle,
                         const WsWindow& window, std::uint32_t msg, int needed, int error) {
  pending->insert(handle);
  const auto reply =
      static_cast<std::intptr_t>(WsMakeLong(static_cast<std::uint16_t>(needed), static_cast<std::uint16_t>(error)));
  QMetaObject::invokeMethod(
      window.Object,
      [pending, handle, post = window.Post, msg, reply] {
        if (pending->erase(handle) && post) post(msg, handle, reply);
      },
      Qt::QueuedConnection);
  return handle;
}

template <class Data>
int Answer(int error, const Data& d, int (*pack)(const Data&, char*, int), char* buffer, int length, int& needed) {
  if (error) return error;
  needed = pack(d, buffer, length);
  return needed > length ? WSAENOBUFS : 0;
}

}  // namespace

#define ZELTA_WS_ASYNC(lookup, Data, pack)                            \
  ZELTA_WS_STARTED(0)                                                 \
  if (!window.Object) {                                               \
    WSASetLastError(WSAEINVAL);                                       \
    return 0;                                                         \
  }                                                                   \
  Data d;                                                             \
  int needed = 0;                                                     \
  const int error = Answer(lookup, d, &pack, buffer, length, needed); \
  return PostAnswer(state_->Pending, state_->NextRequest++, window, msg, needed, error);

WsAsyncHandle SocketLibrary::WSAAsyncGetServByName(const WsWindow& window, std::uint32_t msg, const char* name,
                                                   const char* protocol, char* buffer, int length){
    ZELTA_WS_ASYNC(LookupServByName(name, protocol, d), ServData, PackServ)}

WsAsyncHandle SocketLibrary::WSAAsyncGetServByPort(const WsWindow& window, std::uint32_t msg, int port,
                                                   const char* protocol, char* buffer, int length){
    ZELTA_WS_ASYNC(LookupServByPort(port, protocol, d), ServData, PackServ)}

WsAsyncHandle SocketLibrary::WSAAsyncGetProtoByName(const WsWindow& window, std::uint32_t msg, const char* name,
                                                    char* buffer, int length){
    ZELTA_WS_ASYNC(LookupProtoByName(name, d), ProtoData, PackProto)}

WsAsyncHandle SocketLibrary::WSAAsyncGetProtoByNumber(const WsWindow& window, std::uint32_t msg, int number,
                                                      char* buffer, int length){
    ZELTA_WS_ASYNC(LookupProtoByNumber(number, d), ProtoData, PackProto)}

WsAsyncHandle SocketLibrary::WSAAsyncGetHostByName(const WsWindow& window, std::uint32_t msg, const char* name,
                                                   char* buffer, int length){
    ZELTA_WS_ASYNC(LookupHostByName(name, d), HostData, PackHost)}

WsAsyncHandle SocketLibrary::WSAAsyncGetHostByAddr(const WsWindow& window, std::uint32_t msg, const char* address,
                                                   int addressLength, int type, char* buffer, int length) {
  ZELTA_WS_ASYNC(LookupHostByAddr(address, addressLength, type, d), HostData, PackHost)
}

#undef ZELTA_WS_ASYNC

int SocketLibrary::WSACancelAsyncRequest(WsAsyncHandle handle) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  if (state_->Pending->erase(handle)) return 0;
  return Fail(handle && handle < state_->NextRequest ? WSAEALREADY : WSAEINVAL);
}

int SocketLibrary::WSAAsyncSelect(SOCKET s, const WsWindow& window, std::uint32_t msg, std::int32_t events) {
  ZELTA_WS_STARTED(SOCKET_ERROR)
  const int fd = Fd(s);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) return Fail(WSAENOTSOCK);
  if (events && !window.Object) return Fail(WSAEINVAL);
  state_->Watches.erase(s);
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) < 0) return Fail(WsaFromErrno(errno));
  if (!events) return 0;
  Watch& w = state_->Add(s, window, msg, events);
  if (Listening(fd)) {
    w.Listening = true;
    if (events & FD_ACCEPT) w.Read->setEnabled(true);
  } else if (Connected(fd)) {
    if (w.WantsRead()) w.Read->setEnabled(true);
    if (events & FD_WRITE) w.Write->setEnabled(true);  // a connected socket can be written at once
  }
  return 0;
}

#undef ZELTA_WS_STARTED

// the lookup

namespace {

// Never destroyed: libraries are freed by other units' shutdown, in no order the language fixes.
class ProgramSockets : public SocketLibraries {
 public:
  SocketLibrary* Load(const std::string& name) override {
    static SocketLibrary* bsd = new SocketLibrary;
    return name == "WSOCK32" ? bsd : nullptr;
  }
  void Free(SocketLibrary*) override {}
};

SocketLibraries& ProgramLookup() {
  static SocketLibraries* lookup = new ProgramSockets;
  return *lookup;
}

std::atomic<SocketLibraries*> installedSockets{nullptr};

}  // namespace

SocketLibraries& SocketProviders() {
  SocketLibraries* s = installedSockets.load();
  return s ? *s : ProgramLookup();
}

SocketLibraries* SetSocketProviders(SocketLibraries* libraries) {
  SocketLibraries* previous = installedSockets.exchange(libraries);
  return previous ? previous : &ProgramLookup();
}

}  // namespace platform
