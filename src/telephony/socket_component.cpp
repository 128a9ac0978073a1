#include "telephony/socket_component.h"

#include <cstring>

#include "serial/error_text.h"
#include "tk/exception_guard.h"
#include "tk/filer.h"

namespace telephony {

using namespace platform;

namespace {

[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkSocket", [](tk::Component* owner) { return new TLkSocket(owner); });
  return true;
}();

constexpr std::uint16_t kWinsockVersion11 = 0x0101;

std::string Filled(const std::string& format, const std::string& value) {
  std::string text = format;
  if (auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace

// the exception

std::string ELkSocketException::CodeText(std::int32_t code) {
  std::string text = serial::LkLoadStr(code);
  return text.empty() ? WsaErrorText(code) : text;
}

ELkSocketException::ELkSocketException(std::int32_t code) : tk::Exception(CodeText(code)), ErrorCode(code) {}

ELkSocketException::ELkSocketException(std::int32_t code, const std::string& format)
    : tk::Exception(Filled(format, CodeText(code))), ErrorCode(code) {}

// the component

TLkSocket::TLkSocket(tk::Component* owner) : tk::Component(owner) {
  if (!LoadWinsock()) {
    startupError_ = ecWinsockLoad;
  } else if (const int result = Lib().WSAStartup(kWinsockVersion11, &data_); result != 0) {
    startupError_ = result;
  } else {
    loaded_ = true;
    if ((data_.wVersion & 0xFF) != 1) startupError_ = ecWinsockVersion;
    window_ = std::make_unique<tk::HiddenWindow>([this](tk::Message& m) { Dispatch(m); });
  }
  if (startupError_) ShowErrorMessage(startupError_);
}

TLkSocket::~TLkSocket() {
  if (loaded_) {
    Lib().WSACancelBlockingCall();
    Lib().WSACleanup();
  }
  window_.reset();
}

SocketLibrary& TLkSocket::Lib() const { return *Winsock(); }

void TLkSocket::CheckLoaded() const {
  if (startupError_ != 0) throw ELkSocketException(startupError_, serial::LkLoadStr(ecWinsockNotInitialized));
}

void TLkSocket::ShowErrorMessage(std::int32_t) {}

int TLkSocket::Checked(SOCKET socket, int result, bool quietBlock) {
  if (result != SOCKET_ERROR) return result;
  const int error = Lib().WSAGetLastError();
  if (!(quietBlock && error == WSAEWOULDBLOCK)) DoError(socket, error);
  return result;
}

// socket operations

SOCKET TLkSocket::CreateSocket() {
  CheckLoaded();
  const SOCKET s = Lib().Socket(WS_AF_INET, WS_SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) throw ELkSocketException(Lib().WSAGetLastError());
  return s;
}

SOCKET TLkSocket::AcceptSocket(SOCKET socket, TSockAddrIn& address) {
  CheckLoaded();
  int length = sizeof address;
  const SOCKET accepted = Lib().Accept(socket, reinterpret_cast<WsSockAddr*>(&address), &length);
  if (accepted == INVALID_SOCKET) DoError(socket, Lib().WSAGetLastError());
  return accepted;
}

int TLkSocket::BindSocket(SOCKET socket, const TSockAddrIn& address) {
  CheckLoaded();
  return Checked(socket, Lib().Bind(socket, reinterpret_cast<const WsSockAddr*>(&address), sizeof address), false);
}

int TLkSocket::ConnectSocket(SOCKET socket, const TSockAddrIn& address) {
  CheckLoaded();
  return Checked(socket, Lib().Connect(socket, reinterpret_cast<const WsSockAddr*>(&address), sizeof address), true);
}

int TLkSocket::ListenSocket(SOCKET socket, int backlog) {
  CheckLoaded();
  return Checked(socket, Lib().Listen(socket, backlog), true);
}

int TLkSocket::ReadSocket(SOCKET socket, void* buffer, int size, int flags) {
  CheckLoaded();
  return Checked(socket, Lib().Recv(socket, static_cast<char*>(buffer), size, flags), true);
}

int TLkSocket::WriteSocket(SOCKET socket, const void* buffer, int size, int flags) {
  CheckLoaded();
  return Checked(socket, Lib().Send(socket, static_cast<const char*>(buffer), size, flags), true);
}

int TLkSocket::ShutdownSocket(SOCKET socket, int how) {
  CheckLoaded();
  return Checked(socket, Lib().Shutdown(socket, how), true);
}

int TLkSocket::CloseSocket(SOCKET socket) {
  CheckLoaded();
  return Checked(socket, Lib().CloseSocket(socket), false);
}

int TLkSocket::SetSocketOptions(SOCKET socket, int level, int option, const void* value, int length) {
  CheckLoaded();
  return Checked(socket, Lib().SetSockOpt(socket, level, option, static_cast<const char*>(value), length), false);
}

int TLkSocket::SetAsyncStyles(SOCKET socket, std::int32_t events) {
  CheckLoaded();
  tk::HiddenWindow* window = window_.get();
  const WsWindow target{window, [window](std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
                          tk::PostMessage(window, msg, wParam, lParam);
                        }};
  return Checked(socket, Lib().WSAAsyncSelect(socket, target, kWsSocketMessage, events), false);
}

bool TLkSocket::CanSocket(SOCKET socket, int timeoutMs, bool read) {
  CheckLoaded();
  WsFdSet set;
  set.fd_count = 1;
  set.fd_array[0] = socket;
  WsTimeVal timeout;
  timeout.tv_sec = timeoutMs / 1000;
  timeout.tv_usec = timeoutMs % 1000 * 1000;
  return Lib().Select(0, read ? &set : nullptr, read ? nullptr : &set, nullptr, &timeout) > 0;
}

bool TLkSocket::CanReadSocket(SOCKET socket, int timeoutMs) { return CanSocket(socket, timeoutMs, true); }
bool TLkSocket::CanWriteSocket(SOCKET socket, int timeoutMs) { return CanSocket(socket, timeoutMs, false); }

// conversions and look-ups

std::uint32_t TLkSocket::htonl(std::uint32_t value) {
  CheckLoaded();
  return Lib().Htonl(value);
}

std::uint16_t TLkSocket::htons(std::uint16_t value) {
  CheckLoaded();
  return Lib().Htons(value);
}

std::uint32_t TLkSocket::ntohl(std::uint32_t value) {
  CheckLoaded();
  return Lib().Ntohl(value);
}

std::uint16_t TLkSocket::ntohs(std::uint16_t value) {
  CheckLoaded();
  return Lib().Ntohs(value);
}

std::string TLkSocket::NetAddr2String(TInaddr address) {
  CheckLoaded();
  const char* text = Lib().InetNtoa(address);
  return text ? text : "";
}

TInaddr TLkSocket::String2NetAddr(const std::string& text) {
  CheckLoaded();
  TInaddr address;
  address.S_addr = Lib().InetAddr(text.substr(0, 15).c_str());
  return address;
}

TInaddr TLkSocket::LookupName(const std::string& name) {
  CheckLoaded();
  TInaddr address;
  if (const WsHostEnt* host = Lib().GetHostByName(name.c_str()); host && host->h_addr_list && host->h_addr_list[0])
    std::memcpy(&address.S_addr, host->h_addr_list[0], sizeof address.S_addr);
  return address;
}

std::string TLkSocket::LookupAddress(TInaddr address) {
  CheckLoaded();
  const WsHostEnt* host =
      Lib().GetHostByAddr(reinterpret_cast<const char*>(&address.S_addr), sizeof address.S_addr, WS_AF_INET);
  return host && host->h_name ? host->h_name : "";
}

std::string TLkSocket::LookupPort(std::uint16_t port) {
  CheckLoaded();
  const WsServEnt* service = Lib().GetServByPort(Lib().Htons(port), nullptr);
  return service && service->s_name ? service->s_name : "";
}

std::uint16_t TLkSocket::LookupService(const std::string& service) {
  CheckLoaded();
  const WsServEnt* found = Lib().GetServByName(service.c_str(), "tcp");
  return found ? Lib().Ntohs(static_cast<std::uint16_t>(found->s_port)) : 0;
}

std::string TLkSocket::GetLocalHost() {
  CheckLoaded();
  char name[256] = {};
  if (Lib().GetHostName(name, sizeof name) != 0) return "";
  return name;
}

TInaddr TLkSocket::GetLocalAddress() { return LookupName(GetLocalHost()); }

std::string TLkSocket::GetDescription() {
  CheckLoaded();
  return data_.szDescription;
}

std::string TLkSocket::GetSystemStatus() {
  CheckLoaded();
  return data_.szSystemStatus;
}

int TLkSocket::GetLastError() {
  CheckLoaded();
  return Lib().WSAGetLastError();
}

// notifications

void TLkSocket::Dispatch(tk::Message& message) {
  if (message.Msg == kWmQueryEndSession) {
    message.Result = 1;  // the user may log off
    return;
  }
  if (message.Msg == kWsSocketMessage) {
    tk::Guarded([&] { SocketMessage(message); });
    return;
  }
  DefaultHandler(message);
}

void TLkSocket::SocketMessage(const tk::Message& message) {
  const auto socket = static_cast<SOCKET>(message.WParam);
  const auto param = static_cast<std::uint32_t>(message.LParam);
  if (const std::uint16_t error = wsaGetSelectError(param)) {
    DoError(socket, error);
    return;
  }
  switch (wsaGetSelectEvent(param)) {
    case FD_READ:
      DoRead(socket);
      break;
    case FD_WRITE:
      DoWrite(socket);
      break;
    case FD_ACCEPT:
      DoAccept(socket);
      break;
    case FD_CONNECT:
      DoConnect(socket);
      break;
    case FD_CLOSE:
      DoDisconnect(socket);
      break;
    default:
      break;
  }
}

void TLkSocket::DoAccept(SOCKET socket) {
  if (OnAccept) OnAccept(this, socket);
}

void TLkSocket::DoConnect(SOCKET socket) {
  if (OnConnect) OnConnect(this, socket);
}

void TLkSocket::DoDisconnect(SOCKET socket) {
  if (OnDisconnect) OnDisconnect(this, socket);
}

void TLkSocket::DoRead(SOCKET socket) {
  if (OnRead) OnRead(this, socket);
}

void TLkSocket::DoWrite(SOCKET socket) {
  if (OnWrite) OnWrite(this, socket);
}

void TLkSocket::DoError(SOCKET socket, std::int32_t errorCode) {
  if (!OnError) throw ELkSocketException(errorCode);
  OnError(this, socket, errorCode);
}

}  // namespace telephony
