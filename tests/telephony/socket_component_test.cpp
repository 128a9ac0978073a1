#include "telephony/socket_component.h"

#include <gtest/gtest.h>

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/scripted_ui.h"
#include "tapi_fixture.h"
#include "telephony/winsock_layer.h"

namespace telephony::test {
namespace {

using namespace platform;

struct Caught {
  bool Raised = false;
  std::int32_t Code = 0;
  std::string Message;
};

Caught CaughtBy(const std::function<void()>& action) {
  Caught c;
  try {
    action();
  } catch (const ELkSocketException& e) {
    c = {true, e.ErrorCode, e.what()};
  }
  return c;
}

class Sockets : public ::testing::Test {
 protected:
  ~Sockets() override {
    owner.reset();
    FreeWinsock();
  }

  TLkSocket& Make() { return *new TLkSocket(owner.get()); }

  // Records every event of a component as "<what> <socket>".
  void Watch(TLkSocket& s, const std::string& who) {
    s.OnAccept = [this, who](tk::Component*, SOCKET k) { Log(who, "accept", k); };
    s.OnConnect = [this, who](tk::Component*, SOCKET k) { Log(who, "connect", k); };
    s.OnDisconnect = [this, who](tk::Component*, SOCKET k) { Log(who, "disconnect", k); };
    s.OnRead = [this, who](tk::Component*, SOCKET k) { Log(who, "read", k); };
    s.OnWrite = [this, who](tk::Component*, SOCKET k) { Log(who, "write", k); };
    s.OnError = [this, who](tk::Component*, SOCKET, std::int32_t code) {
      events.push_back(who + " error " + std::to_string(code));
    };
  }
  void Log(const std::string& who, const char* what, SOCKET) { events.push_back(who + " " + what); }
  bool Saw(const std::string& event) {
    return ProcessUntil([&] { return std::find(events.begin(), events.end(), event) != events.end(); });
  }

  TSockAddrIn Loopback(TLkSocket& s, std::uint16_t port) {
    TSockAddrIn a;
    a.sin_family = WS_AF_INET;
    a.sin_port = s.htons(port);
    a.sin_addr = s.String2NetAddr("127.0.0.1");
    return a;
  }
  std::uint16_t PortOf(SOCKET socket) {
    TSockAddrIn a;
    int length = sizeof a;
    EXPECT_EQ(Winsock()->GetSockName(socket, reinterpret_cast<WsSockAddr*>(&a), &length), 0);
    return Winsock()->Ntohs(a.sin_port);
  }
  // A listening socket on a free loopback port.
  SOCKET Listener(TLkSocket& s) {
    const SOCKET l = s.CreateSocket();
    EXPECT_EQ(s.BindSocket(l, Loopback(s, 0)), 0);
    EXPECT_EQ(s.ListenSocket(l, 5), 0);
    return l;
  }

  std::unique_ptr<tk::Component> owner = std::make_unique<tk::Component>(nullptr);
  std::vector<std::string> events;
};

TEST_F(Sockets, ALoopbackConnectionCarriesDataBothWaysWithEveryEvent) {
  TLkSocket& server = Make();
  TLkSocket& client = Make();
  ASSERT_TRUE(server.Loaded());
  EXPECT_EQ(server.StartupError(), 0);
  Watch(server, "server");
  Watch(client, "client");
  SOCKET accepted = INVALID_SOCKET;
  server.OnAccept = [&](tk::Component*, SOCKET listener) {
    TSockAddrIn peer;
    accepted = server.AcceptSocket(listener, peer);
    events.push_back("server accept from " + server.NetAddr2String(peer.sin_addr));
  };
  std::string atServer, atClient;
  auto reader = [](TLkSocket& s, std::string& into) {
    return [&s, &into](tk::Component*, SOCKET k) {
      char buffer[64];
      const int n = s.ReadSocket(k, buffer, sizeof buffer, 0);
      if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
    };
  };
  server.OnRead = reader(server, atServer);
  client.OnRead = reader(client, atClient);

  const SOCKET listener = Listener(server);
  ASSERT_EQ(server.SetAsyncStyles(listener, FD_ACCEPT | FD_READ | FD_CLOSE), 0);
  const SOCKET c = client.CreateSocket();
  ASSERT_EQ(client.SetAsyncStyles(c, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE), 0);
  // Non-blocking: the connect would block, which is no error; its completion is an event.
  EXPECT_EQ(client.ConnectSocket(c, Loopback(client, PortOf(listener))), SOCKET_ERROR);
  EXPECT_EQ(client.GetLastError(), WSAEWOULDBLOCK);
  ASSERT_TRUE(Saw("client connect"));
  ASSERT_TRUE(Saw("client write"));
  ASSERT_TRUE(Saw("server accept from 127.0.0.1"));

  EXPECT_TRUE(client.CanWriteSocket(c, 0));
  EXPECT_FALSE(client.CanReadSocket(c, 0));
  EXPECT_EQ(client.WriteSocket(c, "hello", 5, 0), 5);
  ASSERT_TRUE(ProcessUntil([&] { return atServer == "hello"; }));
  EXPECT_EQ(server.WriteSocket(accepted, "world!", 6, 0), 6);
  ASSERT_TRUE(ProcessUntil([&] { return atClient == "world!"; }));

  EXPECT_EQ(client.CloseSocket(c), 0);
  ASSERT_TRUE(Saw("server disconnect"));
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.find("error") != e.npos; }),
            0);
  server.CloseSocket(accepted);
  server.CloseSocket(listener);
}

TEST_F(Sockets, ARefusedConnectionIsAnErrorEventOrShownWithoutAHandler) {
  TLkSocket& s = Make();
  const SOCKET l = Listener(s);
  const std::uint16_t closedPort = PortOf(l);
  s.CloseSocket(l);
  for (bool handled : {true, false}) {
    SCOPED_TRACE(handled);
    if (handled) Watch(s, "client");
    if (!handled) s.OnError = nullptr;
    const SOCKET c = s.CreateSocket();
    ASSERT_EQ(s.SetAsyncStyles(c, FD_CONNECT | FD_READ | FD_CLOSE), 0);
    s.ConnectSocket(c, Loopback(s, closedPort));
    if (handled) {
      ASSERT_TRUE(Saw("client error 10061"));
    } else {
      ASSERT_TRUE(ProcessUntil([] { return !testing_support::TestUi().Messages().empty(); }));
      EXPECT_EQ(testing_support::TestUi().Messages().back(), "The attempt to connect was forcibly refused");
    }
    s.CloseSocket(c);
  }
}

TEST_F(Sockets, AFailedCallGoesToTheErrorHandlerOrRaisesButWouldBlockPassesWhereItMay) {
  TLkSocket& s = Make();
  const SOCKET taken = Listener(s);
  const SOCKET other = s.CreateSocket();
  EXPECT_EQ(CaughtBy([&] { s.BindSocket(other, Loopback(s, PortOf(taken))); }).Code, WSAEADDRINUSE);
  const Caught notSocket = CaughtBy([&] { s.CloseSocket(987654); });
  EXPECT_EQ(notSocket.Code, WSAENOTSOCK);
  EXPECT_EQ(notSocket.Message, WsaErrorText(WSAENOTSOCK)) << "the platform's text where the table has none";

  // A read with nothing there would block: no error, even without a handler.
  const SOCKET c = s.CreateSocket();
  s.SetAsyncStyles(c, FD_CONNECT);
  s.ConnectSocket(c, Loopback(s, PortOf(taken)));
  ASSERT_TRUE(ProcessUntil([&] { return s.CanWriteSocket(c, 0); }));
  char buffer[4];
  EXPECT_EQ(s.ReadSocket(c, buffer, sizeof buffer, 0), SOCKET_ERROR);
  EXPECT_EQ(s.GetLastError(), WSAEWOULDBLOCK);

  // An accept with nothing waiting may not pass silently.
  Watch(s, "server");
  s.SetAsyncStyles(taken, FD_ACCEPT);  // non-blocking from here on
  TSockAddrIn peer;
  const SOCKET first = s.AcceptSocket(taken, peer);  // the one waiting connection
  EXPECT_NE(first, INVALID_SOCKET);
  EXPECT_EQ(s.AcceptSocket(taken, peer), INVALID_SOCKET);
  EXPECT_EQ(events.back(), "server error 10035");
  for (SOCKET k : {taken, other, c, first}) s.CloseSocket(k);
}

TEST_F(Sockets, NamesAddressesPortsAndServicesAreLookedUp) {
  TLkSocket& s = Make();
  EXPECT_EQ(s.NetAddr2String(s.LookupName("localhost")), "127.0.0.1");
  EXPECT_EQ(s.LookupName("no-such-host.invalid").S_addr, 0u);
  EXPECT_EQ(s.LookupAddress(s.String2NetAddr("127.0.0.1")), "localhost");
  EXPECT_EQ(s.LookupAddress(s.String2NetAddr("192.0.2.77")), "");
  EXPECT_EQ(s.LookupService("http"), 80);
  EXPECT_EQ(s.LookupService("no-such-service"), 0);
  EXPECT_EQ(s.LookupPort(80), "http");
  EXPECT_FALSE(s.GetLocalHost().empty());
  EXPECT_EQ(s.GetLocalAddress().S_addr, s.LookupName(s.GetLocalHost()).S_addr);
  EXPECT_NE(s.GetLocalAddress().S_addr, 0u);
  EXPECT_EQ(s.NetAddr2String(s.String2NetAddr("192.168.100.200 and more")), "192.168.100.200");
  EXPECT_EQ(s.String2NetAddr("nonsense").S_addr, WS_INADDR_NONE);
  EXPECT_EQ(s.ntohs(s.htons(0x1234)), 0x1234);
  EXPECT_EQ(s.htonl(0x01020304), 0x04030201u);
  EXPECT_EQ(s.GetDescription(), "BSD sockets");
  EXPECT_EQ(s.GetSystemStatus(), "Running");
}

TEST_F(Sockets, AnAsynchronousLookUpAnswersThroughTheWindowUnlessCancelled) {
  TLkSocket& s = Make();  // starts the library
  QObject window;
  std::vector<std::pair<WsAsyncHandle, std::uint32_t>> answers;
  const WsWindow target{&window, [&](std::uint32_t, std::uintptr_t w, std::intptr_t l) {
                          answers.emplace_back(w, static_cast<std::uint32_t>(l));
                        }};
  alignas(8) char buffer[1024];
  char tiny[8];
  const WsAsyncHandle found = Winsock()->WSAAsyncGetHostByName(target, 1, "localhost", buffer, sizeof buffer);
  alignas(8) char other[1024];
  const WsAsyncHandle cancelled = Winsock()->WSAAsyncGetServByName(target, 1, "http", "tcp", other, sizeof other);
  const WsAsyncHandle small = Winsock()->WSAAsyncGetProtoByName(target, 1, "tcp", tiny, sizeof tiny);
  EXPECT_EQ(Winsock()->WSACancelAsyncRequest(cancelled), 0);
  ASSERT_TRUE(ProcessUntil([&] { return answers.size() == 2; }));
  EXPECT_EQ(answers[0].first, found);
  EXPECT_EQ(wsaGetAsyncError(answers[0].second), 0);
  const auto* host = reinterpret_cast<const WsHostEnt*>(buffer);
  EXPECT_STREQ(host->h_name, "localhost");
  EXPECT_EQ(s.NetAddr2String({*reinterpret_cast<const std::uint32_t*>(host->h_addr_list[0])}), "127.0.0.1");
  EXPECT_EQ(answers[1].first, small);
  EXPECT_EQ(wsaGetAsyncError(answers[1].second), WSAENOBUFS);
  EXPECT_GT(wsaGetAsyncBuflen(answers[1].second), sizeof tiny);
  EXPECT_EQ(Winsock()->WSACancelAsyncRequest(found), SOCKET_ERROR) << "it has already answered";
}

// --- start-up ---

// Finds a library of the test's making, or none.
class TestLibraries : public SocketLibraries {
 public:
  explicit TestLibraries(SocketLibrary* library) : library_(library), previous_(SetSocketProviders(this)) {
    FreeWinsock();
  }
  ~TestLibraries() override {
    FreeWinsock();
    SetSocketProviders(previous_);
  }
  SocketLibrary* Load(const std::string& name) override { return name == "WSOCK32" ? library_ : nullptr; }
  void Free(SocketLibrary*) override {}

 private:
  SocketLibrary* library_;
  SocketLibraries* previous_;
};

class ScriptedLibrary : public SocketLibrary {
 public:
  std::string Lacks;
  int StartResult = 0;
  std::uint16_t Granted = 0x0101;
  int Cleanups = 0;
  bool Exports(std::string_view name) const override { return name != Lacks && SocketLibrary::Exports(name); }
  int WSAStartup(std::uint16_t version, WsaData* data) override {
    if (StartResult) return StartResult;
    const int r = SocketLibrary::WSAStartup(version, data);
    data->wVersion = Granted;
    return r;
  }
  int WSACleanup() override {
    ++Cleanups;
    return SocketLibrary::WSACleanup();
  }
};

TEST_F(Sockets, AnUnusableLibraryMakesEveryOperationRaiseNotInitialized) {
  struct Case {
    const char* What;
    bool Found;
    std::string Lacks;
    int StartResult;
    std::uint16_t Granted;
    std::int32_t Error;
    std::string Reason;
    int Cleanups;
  };
  const Case cases[] = {
      {"no library", false, "", 0, 0x0101, 9002, "Error loading Winsock DLL", 0},
      {"a function missing", true, "WSAAsyncSelect", 0, 0x0101, 9002, "Error loading Winsock DLL", 0},
      {"another version", true, "", 0, 0x0202, 9003, "Incorrect version of Winsock", 1},
      {"start refused", true, "", WSASYSNOTREADY, 0x0101, WSASYSNOTREADY, WsaErrorText(WSASYSNOTREADY), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    ScriptedLibrary library;
    library.Lacks = c.Lacks;
    library.StartResult = c.StartResult;
    library.Granted = c.Granted;
    TestLibraries libraries(c.Found ? &library : nullptr);
    auto s = std::make_unique<TLkSocket>(nullptr);
    EXPECT_EQ(s->StartupError(), c.Error);
    const std::function<void()> operations[] = {
        [&] { s->CreateSocket(); },
        [&] { s->htons(1); },
        [&] { s->LookupName("localhost"); },
        [&] { s->GetLocalHost(); },
        [&] { s->SetAsyncStyles(0, FD_READ); },
    };
    for (const auto& operation : operations) {
      const Caught caught = CaughtBy(operation);
      EXPECT_EQ(caught.Code, c.Error);
      EXPECT_EQ(caught.Message, "Winsock not initialized - " + c.Reason);
    }
    s.reset();
    EXPECT_EQ(library.Cleanups, c.Cleanups) << "a library that started is cleaned up";
  }
}

TEST_F(Sockets, TheHiddenWindowLetsTheUserLogOffAndNotificationsCarryTwoHalves) {
  TLkSocket& s = Make();
  EXPECT_EQ(tk::SendMessage(s, 0x0011), 1);
  EXPECT_EQ(wsaGetSelectEvent(wsaMakeSelectReply(FD_CONNECT, 10061)), FD_CONNECT);
  EXPECT_EQ(wsaGetSelectError(wsaMakeSelectReply(FD_CONNECT, 10061)), 10061);
  EXPECT_EQ(wsaGetAsyncBuflen(wsaMakeSyncReply(300, 10055)), 300);
  EXPECT_EQ(wsaGetAsyncError(wsaMakeSyncReply(300, 10055)), 10055);
  // A notification with an error goes to the error event, whatever the event was.
  Watch(s, "s");
  tk::SendMessage(s, kWsSocketMessage, 5, wsaMakeSelectReply(FD_READ, 10054));
  tk::SendMessage(s, kWsSocketMessage, 5, wsaMakeSelectReply(FD_OOB, 0));
  tk::SendMessage(s, kWsSocketMessage, 5, wsaMakeSelectReply(FD_CLOSE, 0));
  EXPECT_EQ(events, (std::vector<std::string>{"s error 10054", "s disconnect"}));
}

}  // namespace
}  // namespace telephony::test
