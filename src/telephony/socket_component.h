#pragma once
// The socket component: starts the socket library (version 1.1), offers thin TCP socket operations whose
// failures go to one error handler, turns the library's asynchronous notifications into six events, and
// converts and looks up addresses, ports and services. No window of the program places one; any may.
//
// Window thread only: the notifications arrive at the component's hidden window through the event loop.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/sockets.h"
#include "telephony/winsock_layer.h"
#include "tk/component.h"
#include "tk/exception.h"
#include "tk/hidden_window.h"
#include "tk/message.h"

namespace telephony {

using platform::SOCKET;

// The message the library posts for a socket's events (the original's 0xB11).
inline constexpr std::uint32_t kWsSocketMessage = 2833;
inline constexpr std::uint32_t kWmQueryEndSession = 0x0011;

inline constexpr std::int32_t ecWinsockLoad = 9002;
inline constexpr std::int32_t ecWinsockVersion = 9003;
inline constexpr std::int32_t ecWinsockNotInitialized = 9004;

enum TWsMode { wsClient, wsServer };

using TWsNotifyEvent = std::function<void(tk::Component* sender, SOCKET socket)>;
using TWsSocketErrorEvent = std::function<void(tk::Component* sender, SOCKET socket, std::int32_t errorCode)>;

class ELkSocketException : public tk::Exception {
 public:
  // The message is the code's text.
  explicit ELkSocketException(std::int32_t code);
  // The message is `format` with the code's text in its placeholder.
  ELkSocketException(std::int32_t code, const std::string& format);

  std::int32_t ErrorCode = 0;

  // The text of a library or socket code; the platform's text where the library's table has none.
  static std::string CodeText(std::int32_t code);
};

class TLkSocket : public tk::Component, public tk::MessageTarget {
 public:
  explicit TLkSocket(tk::Component* owner);
  ~TLkSocket() override;
  std::string ClassName() const override { return "TLkSocket"; }

  TWsNotifyEvent OnAccept;
  TWsNotifyEvent OnConnect;
  TWsNotifyEvent OnDisconnect;
  TWsNotifyEvent OnRead;
  TWsNotifyEvent OnWrite;
  TWsSocketErrorEvent OnError;

  // Whether the library started, and why not (0 when it did).
  bool Loaded() const { return loaded_; }
  std::int32_t StartupError() const { return startupError_; }
  // Raises ELkSocketException ("Winsock not initialized - ...") while the library is unusable.
  void CheckLoaded() const;

  // socket operations: a failure goes to DoError, "would block" passes silently where noted
  // A TCP socket; a failure raises.
  SOCKET CreateSocket();
  SOCKET AcceptSocket(SOCKET socket, TSockAddrIn& address);
  int BindSocket(SOCKET socket, const TSockAddrIn& address);
  int ConnectSocket(SOCKET socket, const TSockAddrIn& address);             // would block: silent
  int ListenSocket(SOCKET socket, int backlog);                             // would block: silent
  int ReadSocket(SOCKET socket, void* buffer, int size, int flags);         // would block: silent
  int WriteSocket(SOCKET socket, const void* buffer, int size, int flags);  // would block: silent
  int ShutdownSocket(SOCKET socket, int how);                               // would block: silent
  int CloseSocket(SOCKET socket);
  int SetSocketOptions(SOCKET socket, int level, int option, const void* value, int length);
  // Asks for the events (FD_READ ...) as notifications to this component.
  int SetAsyncStyles(SOCKET socket, std::int32_t events);
  bool CanReadSocket(SOCKET socket, int timeoutMs);
  bool CanWriteSocket(SOCKET socket, int timeoutMs);

  // conversions and look-ups
  std::uint32_t htonl(std::uint32_t value);
  std::uint16_t htons(std::uint16_t value);
  std::uint32_t ntohl(std::uint32_t value);
  std::uint16_t ntohs(std::uint16_t value);
  std::string NetAddr2String(TInaddr address);
  // At most the first 15 characters of the text count.
  TInaddr String2NetAddr(const std::string& text);
  // The name's first address; 0 when it does not resolve.
  TInaddr LookupName(const std::string& name);
  // The address's host name; empty when it does not resolve.
  std::string LookupAddress(TInaddr address);
  // The service name of a port (host order); empty when there is none.
  std::string LookupPort(std::uint16_t port);
  // The TCP port (host order) of a service name; 0 when the service is not known.
  std::uint16_t LookupService(const std::string& service);
  std::string GetLocalHost();
  TInaddr GetLocalAddress();
  std::string GetDescription();
  std::string GetSystemStatus();
  int GetLastError();
  tk::HiddenWindow* GetHandle() const { return window_.get(); }

  void Dispatch(tk::Message& message) override;
  void DefaultHandler(tk::Message&) override {}

 protected:
  virtual void DoAccept(SOCKET socket);
  virtual void DoConnect(SOCKET socket);
  virtual void DoDisconnect(SOCKET socket);
  // Fires OnError; without a handler raises ELkSocketException with the code.
  virtual void DoError(SOCKET socket, std::int32_t errorCode);
  virtual void DoRead(SOCKET socket);
  virtual void DoWrite(SOCKET socket);
  // Hears of a start-up error. Called from the constructor, so a subclass's own version does not run
  // then: a subclass reads StartupError() instead.
  virtual void ShowErrorMessage(std::int32_t errorCode);

 private:
  platform::SocketLibrary& Lib() const;
  // The library's result, with a failure passed to DoError unless it is "would block" and `quietBlock`.
  int Checked(SOCKET socket, int result, bool quietBlock);
  bool CanSocket(SOCKET socket, int timeoutMs, bool read);
  void SocketMessage(const tk::Message& message);

  bool loaded_ = false;
  std::int32_t startupError_ = 0;
  platform::WsaData data_;
  std::unique_ptr<tk::HiddenWindow> window_;
};

}  // namespace telephony
