// The quick ways bytes take through an open port: input the comm thread moves itself while no pass has
// anyone to notify, a handler joining in the middle of a stream, a receive flush that lands while the
// device is being read, and output queued behind bytes the writer is still busy with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "platform/posix_tty.h"
#include "serial/dispatcher.h"
#include "serial/win32_dispatcher.h"
#include "support/fake_serial_device.h"
#include "support/pty_pair.h"
#include "support/serial_port_helpers.h"

namespace serial {
namespace {

using testing_support::FakeSerialDevice;
using testing_support::PtyPair;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using test::OpenPty;
using test::Pattern;

// Reads from the port as an application polling its input count does, until `count` bytes came or
// five seconds passed.
Bytes PollPort(TLkBaseDispatcher& d, std::size_t count) {
  Bytes got;
  Bytes buf(TLkBaseDispatcher::kRxRingSize);
  auto end = Clock::now() + 5s;
  while (got.size() < count && Clock::now() < end) {
    std::int32_t n = d.InBuffUsed();
    if (n <= 0) {
      std::this_thread::yield();
      continue;
    }
    if (d.GetBlock(buf.data(), static_cast<std::uint32_t>(n)) != 0) {
      ADD_FAILURE() << "the count said " << n << " bytes were held";
      break;
    }
    got.insert(got.end(), buf.begin(), buf.begin() + n);
  }
  return got;
}

// A window that is never asked for anything: the port's own window while it wants no notifications.
struct SilentWindow : NotifyTarget {
  void Post(std::shared_ptr<Delivery>) override { ++posts; }
  std::atomic<int> posts{0};
};

TEST(DataPaths, StreamPassesTheRingWholeAndInOrderWithNobodyToNotify) {
  enum { kNoHandler, kOwnWindow, kOwnWindowLogged };
  for (int setup : {kNoHandler, kOwnWindow, kOwnWindowLogged}) {
    SCOPED_TRACE(setup == kNoHandler   ? "no handler"
                 : setup == kOwnWindow ? "the port's own window registered, not wanting notifications"
                                       : "the same with the dispatch log on: the comm thread waits for each pass");
    const bool ownWindow = setup != kNoHandler;
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    auto d = OpenPty(pty);
    SilentWindow window;
    if (ownWindow) {
      d->RegisterWndTriggerHandler(&window);
      d->ChangeLengthTrigger(1);  // every pass finds data available, and notifies nobody
    }
    d->LoggingOn = setup == kOwnWindowLogged;  // the base dispatcher records nothing
    // Many times the ring, so that it wraps and fills while the reader polls.
    const Bytes sent = Pattern(24 * TLkBaseDispatcher::kRxRingSize, static_cast<std::uint8_t>(setup));
    std::jthread writer([&] { EXPECT_TRUE(pty.WriteMaster(sent, 5000ms)); });
    Bytes got = PollPort(*d, sent.size());
    writer.join();
    ASSERT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "no byte lost, doubled or moved";
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(d->InBuffUsed(), 0);
    EXPECT_EQ(window.posts, 0);
    d->DonePort();
  }
}

TEST(DataPaths, PassesOfAGatheredStreamStillFollowPromptly) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  d->ChangeLengthTrigger(1);
  // Nobody is notified, so the wake-ups for a stream are gathered; the pass for its last bytes still
  // comes within about a millisecond, not at the dispatch thread's own look, 2 s after the pass for the
  // burst's first bytes.
  auto passed = [&] {
    std::scoped_lock lock(d->DataLock, d->RxLock);
    return d->LastAvailPos == d->RxWritePos;
  };
  for (int round = 0; round < 4; ++round) {
    const Bytes burst = Pattern(3000, static_cast<std::uint8_t>(round));
    const auto sent = Clock::now();
    ASSERT_TRUE(pty.WriteMaster(burst));
    auto end = Clock::now() + 5s;
    while (d->InBuffUsed() < 3000 && Clock::now() < end) std::this_thread::yield();
    ASSERT_EQ(d->InBuffUsed(), 3000);
    while (!passed() && Clock::now() < end) std::this_thread::sleep_for(200us);
    EXPECT_LT(Clock::now() - sent, 1s) << "round " << round;
    Bytes got(3000);
    ASSERT_EQ(d->GetBlock(got.data(), 3000), 0);
    EXPECT_EQ(got, burst);
  }
  d->DonePort();
}

// The notified count is taken by the handler itself (on the dispatch thread), as a modem engine does.
struct Sink {
  std::mutex Mutex;
  Bytes Taken;
  std::size_t Size() {
    std::lock_guard lock(Mutex);
    return Taken.size();
  }
};
std::atomic<TLkBaseDispatcher*> handlerPort{nullptr};
Sink* handlerSink = nullptr;
void TakeAvailable(std::uint32_t msg, std::uint32_t count, std::uint32_t) {
  if (msg != kMsgDataAvail) return;
  Bytes buf(count);
  if (handlerPort.load()->GetBlock(buf.data(), count) != 0) return;
  std::lock_guard lock(handlerSink->Mutex);
  handlerSink->Taken.insert(handlerSink->Taken.end(), buf.begin(), buf.end());
}

TEST(DataPaths, HandlerJoiningMidStreamTakesTheRestOnce) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  Sink sink;
  handlerPort = d.get();
  handlerSink = &sink;
  d->ChangeLengthTrigger(1);

  const Bytes first = Pattern(6000, 7), second = Pattern(50000, 9);
  ASSERT_TRUE(pty.WriteMaster(first));
  ASSERT_EQ(PollPort(*d, first.size()), first);

  // From now on a pass has someone to notify: the comm thread waits for each pass again, and the
  // handler takes what each data-available notification counts.
  d->RegisterProcTriggerHandler(&TakeAvailable);
  std::jthread writer([&] { EXPECT_TRUE(pty.WriteMaster(second, 5000ms)); });
  auto end = Clock::now() + 5s;
  while (sink.Size() < second.size() && Clock::now() < end) std::this_thread::sleep_for(2ms);
  writer.join();
  d->DonePort();
  handlerPort = nullptr;
  std::lock_guard lock(sink.Mutex);
  EXPECT_EQ(sink.Taken.size(), second.size());
  EXPECT_TRUE(sink.Taken == second) << "the handler saw every byte once, in order";
}

// A device that holds, once, the thread that reads it (in Read, after taking the bytes) or that asks how
// much waits (in GetStatus, before looking), until the test lets it go.
struct HoldingDevice : FakeSerialDevice {
  long Read(void* buffer, std::size_t size) override {
    long n = FakeSerialDevice::Read(buffer, size);
    Hold(holdRead);
    return n;
  }
  int GetStatus(platform::SerialStatus& status) override {
    Hold(holdStatus);
    return FakeSerialDevice::GetStatus(status);
  }
  void Hold(bool& armed) {
    std::unique_lock lock(holdMutex);
    if (!armed) return;
    armed = false;
    held = true;
    changed.notify_all();
    changed.wait_for(lock, 5s, [this] { return !held; });
  }
  bool WaitHeld() {
    std::unique_lock lock(holdMutex);
    return changed.wait_for(lock, 5s, [this] { return held; });
  }
  void Release() {
    std::lock_guard lock(holdMutex);
    held = false;
    changed.notify_all();
  }
  std::mutex holdMutex;
  std::condition_variable changed;
  bool holdRead = false, holdStatus = false, held = false;
};

// The thread sleeps in the kernel: here, that it waits for a lock another thread holds.
bool AsleepInTheKernel(pid_t thread) {
  std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
  const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t name = line.rfind(')');  // the state follows the thread's name
  return name != std::string::npos && name + 2 < line.size() && line[name + 2] == 'S';
}

struct HoldingPort {
  HoldingPort() {
    d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr, [this](const std::string&) {
      platform::SerialOpenResult r;
      auto owned = std::make_unique<HoldingDevice>();
      device = owned.get();
      r.Device = std::move(owned);
      return r;
    });
    d->ManualPump = true;
    EXPECT_EQ(d->InitPort("COM1", 9600, 0, 8, 1, 4096, 4096, 0x03), 0);
  }
  ~HoldingPort() { d->DonePort(); }
  // A receive flush on a thread of its own: true once it has returned.
  std::future<void> Flush() {
    return std::async(std::launch::async, [this] {
      flusher = ::gettid();
      EXPECT_EQ(d->FlushInBuffer(), 0);
    });
  }
  // True when the flush waits (asleep, for a lock), false when it went by and returned.
  bool FlushWaits(const std::future<void>& flushed) {
    for (auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::yield()) {
      if (flushed.wait_for(0s) == std::future_status::ready) return false;
      if (flusher != 0 && AsleepInTheKernel(flusher)) return true;
    }
    return false;
  }
  std::shared_ptr<TLkBaseDispatcher> d;
  std::atomic<pid_t> flusher{0};
  HoldingDevice* device = nullptr;
};

TEST(DataPaths, AReceiveFlushWaitsForTheReadInFlightAndDropsWhatItBrought) {
  HoldingPort port;
  port.device->Receive(Pattern(300, 1));
  ASSERT_TRUE(port.d->ExtractData());
  port.device->Receive(Pattern(500, 2));
  port.device->holdRead = true;
  std::thread reader([&] { port.d->ExtractData(); });
  ASSERT_TRUE(port.device->WaitHeld());
  EXPECT_EQ(port.d->InBuffUsed(), 300) << "the ring is readable while the device is being read";
  auto flushed = port.Flush();
  EXPECT_TRUE(port.FlushWaits(flushed)) << "the flush went by a read in flight";
  port.device->Release();
  reader.join();
  flushed.get();
  EXPECT_EQ(port.d->InBuffUsed(), 0) << "the flush empties the ring and what the read in flight brought";

  const Bytes after = Pattern(700, 3);
  port.device->Receive(after);
  ASSERT_TRUE(port.d->ExtractData());
  Bytes got(700);
  ASSERT_EQ(port.d->GetBlock(got.data(), 700), 0);
  EXPECT_EQ(got, after) << "input after the flush is kept";
}

// An extraction that looked at the ring before a flush and reads the device after it: what arrived after
// the flush (the answer to what was sent after it) is kept, because the flush waits for that read.
TEST(DataPaths, InputArrivingAfterAFlushIsKeptByAReadThatBeganBeforeIt) {
  HoldingPort port;
  port.device->holdStatus = true;
  std::thread reader([&] { port.d->ExtractData(); });
  ASSERT_TRUE(port.device->WaitHeld());
  auto flushed = port.Flush();
  EXPECT_TRUE(port.FlushWaits(flushed)) << "the flush went by the read in flight";
  port.device->Release();
  reader.join();
  flushed.get();
  const Bytes answer = Pattern(264, 4);
  port.device->Receive(answer);
  ASSERT_TRUE(port.d->ExtractData());
  Bytes got(264);
  ASSERT_EQ(port.d->InBuffUsed(), 264);
  ASSERT_EQ(port.d->GetBlock(got.data(), 264), 0);
  EXPECT_EQ(got, answer);
}

TEST(DataPaths, OutputQueuedBehindBusyBytesAndAfterIdleReachesTheLine) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  // Blocks queued while the writer still has bytes on its hands are taken without a wake of their own.
  Bytes expected;
  for (int i = 0; i < 40; ++i) {
    Bytes block = Pattern(97, static_cast<std::uint8_t>(i));
    auto end = Clock::now() + 2s;
    while (d->OutBuffFree() < 97 && Clock::now() < end) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(d->PutBlock(block.data(), 97), 0);
    expected.insert(expected.end(), block.begin(), block.end());
  }
  EXPECT_EQ(pty.ReadMaster(expected.size()), expected);

  // A block put into an empty ring wakes the idle writer, which would otherwise sleep on: each such block
  // gives the writer a wake-up of its own.
  auto waitFor = [](auto done) {
    for (auto end = Clock::now() + 10s; !done() && Clock::now() < end;) std::this_thread::yield();
    return done();
  };
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(waitFor([&] { return d->OutBuffUsed() == 0; }));
    const std::uint64_t wakes = d->OutputWakes;
    const Bytes block = Pattern(10, static_cast<std::uint8_t>(100 + i));
    ASSERT_EQ(d->PutBlock(block.data(), 10), 0);
    EXPECT_EQ(pty.ReadMaster(10, 10000ms), block);
    EXPECT_TRUE(waitFor([&] { return d->OutputWakes > wakes; })) << "the put woke the writer";
  }
  d->DonePort();
}

}  // namespace
}  // namespace serial
