// The port as the communications window uses it: a timer that flushes, sends a request and polls the
// input count until the reply is complete, against a far end that answers; and the trigger events that
// reach the component's window from the dispatch thread.
#include <gtest/gtest.h>

#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "serial/com_port.h"
#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "support/fake_serial_device.h"
#include "support/pty_pair.h"
#include "support/serial_port_helpers.h"

namespace serial {
namespace {

using test::ScopedComEnv;
using testing_support::PtyPair;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRequestSize = 8;
constexpr std::size_t kReplySize = 11;

// The far end: answers each 8-byte request with ACK, the request and a sum, in two pieces.
class Peer {
 public:
  explicit Peer(PtyPair& pty) : pty_(pty), thread_([this](std::stop_token stop) { Run(stop); }) {}
  int Answered() const { return answered_; }

 private:
  void Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
      Bytes request = pty_.ReadMaster(kRequestSize, std::chrono::milliseconds(50));
      pending_.insert(pending_.end(), request.begin(), request.end());
      while (pending_.size() >= kRequestSize) {
        Bytes r(pending_.begin(), pending_.begin() + kRequestSize);
        pending_.erase(pending_.begin(), pending_.begin() + kRequestSize);
        std::uint8_t sum = 0;
        for (auto b : r) sum = static_cast<std::uint8_t>(sum + b);
        Bytes first{6, r[0], r[1], r[2]};
        Bytes rest(r.begin() + 3, r.end());
        rest.push_back(sum);
        rest.push_back('\r');
        pty_.WriteMaster(first);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pty_.WriteMaster(rest);
        ++answered_;
      }
    }
  }
  PtyPair& pty_;
  Bytes pending_;
  std::atomic<int> answered_{0};
  std::jthread thread_;
};

// The engine's way: one timer; each tick either completes the reply it waits for and sends the next
// request, or polls again.
struct Exchanger {
  Exchanger(TLkCustomComPort& port, int interval, int count) : port(port), count(count) {
    timer.setInterval(interval);
    QObject::connect(&timer, &QTimer::timeout, [this] { Tick(); });
  }
  void Tick() {
    if (waiting) {
      if (port.InBuffUsed() < static_cast<std::int32_t>(kReplySize)) return;
      std::uint8_t reply[kReplySize];
      port.GetBlock(reply, kReplySize);
      std::uint8_t sum = 0;
      for (std::size_t i = 0; i < kRequestSize; ++i) sum = static_cast<std::uint8_t>(sum + request[i]);
      bool good = reply[0] == 6 && std::equal(request, request + kRequestSize, reply + 1) &&
                  reply[kRequestSize + 1] == sum && reply[kRequestSize + 2] == '\r';
      (good ? completed : bad)++;
      waiting = false;
      if (completed + bad == count) {
        timer.stop();
        return;
      }
    }
    port.FlushInBuffer();
    port.FlushOutBuffer();
    for (std::size_t i = 0; i < kRequestSize; ++i) request[i] = static_cast<std::uint8_t>(sent * 13 + i * 31);
    request[0] = static_cast<std::uint8_t>(sent);
    port.PutBlock(request, kRequestSize);
    ++sent;
    waiting = true;
  }
  TLkCustomComPort& port;
  int count;
  QTimer timer;
  std::uint8_t request[kRequestSize] = {};
  bool waiting = false;
  int sent = 0, completed = 0, bad = 0;
};

TEST(PortApplication, TimerDrivenExchangesArriveWholeAndInOrder) {
  PtyPair pty;
  ScopedComEnv com(46, pty.SlavePath());
  TLkComPort port(nullptr);
  port.SetComNumber(46);
  port.SetBaud(9600);
  port.SetAutoOpen(false);
  port.SetOpen(true);
  Peer peer(pty);

  // The window's own 250 ms rhythm for a few exchanges, then 100 at a quicker one to keep the test short.
  Exchanger slow(port, 250, 4);
  slow.timer.start();
  ASSERT_TRUE(test::ProcessUntil([&] { return !slow.timer.isActive(); }, std::chrono::milliseconds(5000)));
  EXPECT_EQ(slow.completed, 4);

  Exchanger quick(port, 10, 100);
  quick.timer.start();
  ASSERT_TRUE(test::ProcessUntil([&] { return !quick.timer.isActive(); }, std::chrono::milliseconds(20000)));
  EXPECT_EQ(quick.completed, 100);
  EXPECT_EQ(quick.bad, 0);
  EXPECT_EQ(peer.Answered(), 104);
  EXPECT_EQ(port.InBuffUsed(), 0);
}

TEST(PortNotification, TriggerEventsReachTheComponentAndSurviveAPortChange) {
  PtyPair a, b;
  ScopedComEnv comA(47, a.SlavePath());
  ScopedComEnv comB(48, b.SlavePath());
  TLkComPort port(nullptr);
  port.SetComNumber(47);
  std::vector<std::uint32_t> avail, data, generic;
  port.SetOnTrigger([&](tk::Component* s, std::uint32_t msg, std::uint32_t, std::uint32_t) {
    EXPECT_EQ(s, &port);
    generic.push_back(msg);
  });
  port.SetOnTriggerAvail([&](tk::Component*, std::uint32_t n) { avail.push_back(n); });
  port.SetOnTriggerData([&](tk::Component*, std::uint32_t h) { data.push_back(h); });
  port.SetOpen(true);
  std::int32_t ok = port.AddDataTrigger("OK", false);
  EXPECT_GT(ok, 0);

  ASSERT_TRUE(a.WriteMaster({'x', 'x', 'O', 'K'}));
  ASSERT_TRUE(test::ProcessUntil([&] { return !data.empty(); }));
  EXPECT_EQ(data.front(), static_cast<std::uint32_t>(ok));
  ASSERT_FALSE(avail.empty());
  EXPECT_EQ(avail.front(), 2u);  // the bytes before the match
  EXPECT_NE(std::find(generic.begin(), generic.end(), apw_TriggerData), generic.end());

  // Moved to another port number: the trigger is still there and fires on the new line.
  port.SetComNumber(48);
  // A notification may be on its way: the close then finishes from the window, and the reopen after it.
  ASSERT_TRUE(test::ProcessUntil([&] { return port.Open(); }));
  data.clear();
  ASSERT_TRUE(b.WriteMaster({'O', 'K'}));
  ASSERT_TRUE(test::ProcessUntil([&] { return !data.empty(); }));
  EXPECT_EQ(data.front(), static_cast<std::uint32_t>(ok));

  port.RemoveTrigger(ok);
  EXPECT_THROW(port.RemoveTrigger(ok), ETrigger);
  EXPECT_THROW(port.AddDataTrigger(std::string(22, 'a'), false), ETriggerTooLong);
}

TEST(PortNotification, HandlerThatClosesThePortDuringAWaitEndsItQuietly) {
  PtyPair pty;
  ScopedComEnv com(49, pty.SlavePath());
  TLkComPort port(nullptr);
  port.SetComNumber(49);
  port.SetOpen(true);
  std::weak_ptr<TLkBaseDispatcher> dispatcher = port.Dispatcher();
  // Another window closes the port while the wait yields to it; the wait still holds its dispatcher.
  QTimer::singleShot(100, [&] { port.SetOpen(false); });
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.WaitForString("NEVER", 182, true, false));  // about 10 s, ended early as "not seen"
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(port.Open());
  // The close finishes from the window once the dispatch thread has let go.
  ASSERT_TRUE(test::ProcessUntil([&] { return port.PortState() == 0; }));
  EXPECT_EQ(port.Dispatcher(), nullptr);
  EXPECT_TRUE(dispatcher.expired());
  // And it opens again.
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
}

TEST(PortNotification, AnOpenAskedForWhileClosingFollowsTheClose) {
  // Pumped by hand, so that the close stays pending for as long as the port is busy.
  TLkComPort port(nullptr);
  port.SetComNumber(1);
  int opened = 0;
  port.DispatcherFactory = [&](TLkCustomComPort& p) {
    auto d = TLkBaseDispatcher::Create<TLkComDispatcher>(&p, [&](const std::string&) {
      ++opened;
      platform::SerialOpenResult r;
      r.Device = std::make_unique<testing_support::FakeSerialDevice>();
      return r;
    });
    d->ManualPump = true;
    return d;
  };
  port.SetOpen(true);
  port.PrepareWait();  // busy: the close cannot finish at once
  port.SetOpen(false);
  EXPECT_EQ(port.PortState(), 1);
  port.SetOpen(true);
  EXPECT_TRUE(port.ReopenPending());
  bool ignored;
  port.Dispatcher()->SetEventBusy(ignored, false);
  ASSERT_TRUE(test::ProcessUntil([&] { return port.Open(); }));
  EXPECT_FALSE(port.ReopenPending());
  EXPECT_EQ(port.PortState(), 2);
  EXPECT_EQ(opened, 2);
}

}  // namespace
}  // namespace serial
