// The three worker threads of an open port over pseudo-terminals and fake devices: input reaches the
// ring, output reaches the line, flushes are bounded, closing always ends joined, and a dead line costs
// no CPU.
#include <gtest/gtest.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/posix_tty.h"
#include "serial/dispatcher.h"
#include "serial/error_codes.h"
#include "serial/win32_dispatcher.h"
#include "support/fake_serial_device.h"
#include "support/pty_pair.h"
#include "support/serial_port_helpers.h"
#include "thread_stats.h"

namespace serial {
namespace {

using testing_support::FakeSerialDevice;
using testing_support::PtyPair;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using test::OpenPty;
using test::Pattern;
using test::WaitFor;

// A flush waits at most 1 s for a writer in a device write. A timer due in half that (9 ticks), armed just
// before a flush, fires first if the flush waited out that bound for a writer that was not in one.
std::atomic<bool> yardstickFired{false};

void ArmYardstick(TLkBaseDispatcher& d) {
  yardstickFired = false;
  d.RegisterProcTriggerHandler([](std::uint32_t msg, std::uint32_t, std::uint32_t) {
    if (msg == kMsgTimerTrigger) yardstickFired = true;
  });
  ASSERT_EQ(d.SetTimerTrigger(d.AddTimerTrigger(), 9, true), 0);
}

double ProcessCpuSeconds() {
  timespec ts;
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// A dispatcher over a device the test supplies, `prepare`d before the port starts with it.
template <typename Device>
std::shared_ptr<TLkWin32Dispatcher> OpenDevice(Device*& device, const std::function<void(Device&)>& prepare = {}) {
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr, [&device, &prepare](const std::string&) {
    platform::SerialOpenResult r;
    auto owned = std::make_unique<Device>();
    if (prepare) prepare(*owned);
    device = owned.get();
    r.Device = std::move(owned);
    return r;
  });
  EXPECT_EQ(d->InitPort("COM1", 9600, 0, 8, 1, 4096, 4096, 0x03), 0);
  return d;
}

TEST(WorkerThreads, InputAndOutputFlowWithoutPumping) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  ASSERT_TRUE(d->Started);
  EXPECT_EQ(d->ThreadCount, 3);

  Bytes out = Pattern(3000, 1);
  ASSERT_EQ(d->PutBlock(out.data(), 3000), 0);
  EXPECT_EQ(pty.ReadMaster(3000), out) << "the output thread drains the ring";
  EXPECT_TRUE(WaitFor([&] { return d->OutBuffUsed() == 0; }));

  Bytes in = Pattern(5000, 2);
  ASSERT_TRUE(pty.WriteMaster(in));
  ASSERT_TRUE(WaitFor([&] { return d->InBuffUsed() == 5000; })) << d->InBuffUsed();
  Bytes got(5000);
  ASSERT_EQ(d->GetBlock(got.data(), 5000), 0);
  EXPECT_EQ(got, in);

  d->DonePort();
  EXPECT_FALSE(d->Started);
  EXPECT_EQ(d->ThreadCount, 0);
  EXPECT_EQ(d->ComHandle, -1);
}

TEST(WorkerThreads, StartingTwiceIsRefusedAndAFailedOpenStartsNothing) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  struct Starter : TLkWin32Dispatcher {
    static void Start(TLkWin32Dispatcher& d) { (d.*(&Starter::StartDispatcher))(); }
  };
  try {
    Starter::Start(*d);
    FAIL() << "a second start must be refused";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Dispatcher already started");
  }
  EXPECT_EQ(d->ThreadCount, 3) << "the running threads are untouched";

  auto missing = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(
      nullptr, [](const std::string&) { return platform::PosixTty::Open("/dev/zelta-no-such-port"); });
  EXPECT_EQ(missing->InitPort("COM1", 9600, 0, 8, 1, 64, 64, 0), ecFileNotFound);
  EXPECT_FALSE(missing->Started);
  EXPECT_EQ(missing->ThreadCount, 0);
}

// A flush while the far end reads nothing: the writer sits on a full line, the flush must not wait for it.
TEST(WorkerThreads, FlushWhileTheLineIsFullReturnsAtOnce) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty, 60000);
  Bytes lots = Pattern(60000, 3);
  ASSERT_EQ(d->PutBlock(lots.data(), 60000), 0);
  // Wait until the writer has filled the pseudo-terminal and stalls.
  std::int32_t last = -1;
  ASSERT_TRUE(WaitFor([&] {
    std::int32_t now = d->OutBuffUsed();
    bool still = now == last && now > 0;
    last = now;
    if (!still) std::this_thread::sleep_for(20ms);
    return still;
  }));
  ArmYardstick(*d);
  EXPECT_EQ(d->FlushOutBuffer(), 0);
  EXPECT_FALSE(yardstickFired) << "the flush waited on a writer that only waits for room";
  EXPECT_EQ(d->OutBuffUsed(), 0);
  EXPECT_FALSE(d->OutputPending());

  // The writer goes on with what is queued after the flush.
  pty.ReadMaster(200000, 200ms);
  Bytes marker = {'E', 'N', 'D', '!'};
  ASSERT_EQ(d->PutBlock(marker.data(), 4), 0);
  Bytes tail;
  ASSERT_TRUE(WaitFor([&] {
    Bytes more = pty.ReadMaster(1, 20ms);
    tail.insert(tail.end(), more.begin(), more.end());
    return tail.size() >= 4 && Bytes(tail.end() - 4, tail.end()) == marker;
  }));
  EXPECT_TRUE(WaitFor([] { return yardstickFired.load(); })) << "the yardstick runs";
}

// A device whose write blocks until released, as a driver stuck in a write would.
class StuckWriteDevice : public FakeSerialDevice {
 public:
  long Write(const void* data, std::size_t size) override {
    {
      std::unique_lock lock(mutex_);
      inWrite_ = true;
      changed_.notify_all();
      changed_.wait_for(lock, 30s, [&] { return released_; });
      inWrite_ = false;
    }
    return FakeSerialDevice::Write(data, size);
  }
  bool WaitInWrite() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 2s, [&] { return inWrite_; });
  }
  bool InWrite() {
    std::lock_guard lock(mutex_);
    return inWrite_;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool inWrite_ = false, released_ = false;
};

TEST(WorkerThreads, FlushDuringAStuckWriteIsBoundedAndTheWriteIsAbandoned) {
  StuckWriteDevice* device = nullptr;
  auto d = OpenDevice(device);
  struct Released {
    StuckWriteDevice*& Device;
    ~Released() {
      if (Device) Device->Release();
    }
  } released{device};  // also when an assertion ends the test: the port's close joins the writer
  Bytes block = Pattern(100, 4);
  ASSERT_EQ(d->PutBlock(block.data(), 100), 0);
  ASSERT_TRUE(device->WaitInWrite());

  auto start = Clock::now();
  EXPECT_EQ(d->FlushOutBuffer(), 0);
  auto took = Clock::now() - start;
  EXPECT_GE(took, 900ms) << "the flush waited for the writer's acknowledgement";
  EXPECT_TRUE(device->InWrite()) << "but not for the write, which is stuck until released";
  EXPECT_EQ(d->OutBuffUsed(), 0);

  Bytes next = Pattern(10, 5);
  ASSERT_EQ(d->PutBlock(next.data(), 10), 0);
  device->Release();
  // The abandoned write does not count against what was queued after the flush, and what was queued
  // after it did not overwrite the bytes that write was still sending.
  ASSERT_TRUE(WaitFor([&] { return d->OutBuffUsed() == 0; }));
  Bytes both = block;
  both.insert(both.end(), next.begin(), next.end());
  EXPECT_EQ(device->TakeSent(), both);
}

// The far end reads as a controller does, the moment bytes arrive; each frame is flushed as soon as it
// holds it, as the next send of a conversation does. A flush that meets the writer just back from its
// device write must not let the writer send the frame again.
TEST(WorkerThreads, AFlushRightAfterTheFarEndHoldsAFrameNeverSendsItAgain) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  std::mutex mutex;
  std::condition_variable arrived;
  Bytes received;
  std::jthread reader([&](std::stop_token stop) {
    std::uint8_t buffer[4096];
    while (!stop.stop_requested()) {
      pollfd p{pty.Master(), POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0) continue;
      const ssize_t n = ::read(pty.Master(), buffer, sizeof buffer);
      if (n <= 0) continue;
      std::lock_guard lock(mutex);
      received.insert(received.end(), buffer, buffer + n);
      arrived.notify_all();
    }
  });
  constexpr int kFrames = 5000;
  Bytes sent;
  for (int i = 0; i < kFrames; ++i) {
    Bytes frame = Pattern(8, static_cast<std::uint8_t>(i));
    frame[0] = static_cast<std::uint8_t>(i & 0xFF);
    frame[1] = static_cast<std::uint8_t>(i >> 8);
    sent.insert(sent.end(), frame.begin(), frame.end());
    ASSERT_EQ(d->PutBlock(frame.data(), 8), 0);
    {
      std::unique_lock lock(mutex);
      ASSERT_TRUE(arrived.wait_for(lock, 2s, [&] { return received.size() >= sent.size(); }))
          << "frame " << i << " never reached the far end";
    }
    ASSERT_EQ(d->FlushOutBuffer(), 0);
  }
  reader.request_stop();
  reader.join();
  const auto diverge = std::mismatch(received.begin(), received.end(), sent.begin(), sent.end()).first;
  EXPECT_TRUE(received == sent) << "the far end's bytes go astray at frame " << (diverge - received.begin()) / 8
                                << " of " << received.size() / 8;
}

TEST(WorkerThreads, PartialAndRefusedWritesKeepEveryByte) {
  FakeSerialDevice* device = nullptr;
  auto d = OpenDevice(device);
  device->SetWriteRoom(0);  // the device takes nothing: EAGAIN for ever
  Bytes block = Pattern(1000, 6);
  ASSERT_EQ(d->PutBlock(block.data(), 1000), 0);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(d->OutBuffUsed(), 1000) << "nothing dropped while the device is full";
  double cpu = ProcessCpuSeconds();
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(ProcessCpuSeconds() - cpu, 0.1) << "a writer facing a full device does not spin";
  device->SetWriteRoom(300);
  EXPECT_TRUE(WaitFor([&] { return d->OutBuffUsed() == 700; }));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(d->OutBuffUsed(), 700) << "the rest waits for room";
  device->SetWriteRoom(SIZE_MAX);
  ASSERT_TRUE(WaitFor([&] { return d->OutBuffUsed() == 0; }));
  EXPECT_EQ(device->TakeSent(), block);
}

// The far end hangs up under a running port (an unplugged adapter).
TEST(WorkerThreads, DeadLineIsReportedOnceAndCostsNoCpu) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  std::int32_t status = d->AddStatusTrigger(stLine);
  ASSERT_GT(status, 0);
  ASSERT_EQ(d->SetStatusTrigger(status, 8, true), 0);  // break
  static std::atomic<int> lineHits;
  lineHits = 0;
  d->RegisterProcTriggerHandler([](std::uint32_t msg, std::uint32_t, std::uint32_t) {
    if (msg == kMsgStatusTrigger) ++lineHits;
  });

  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return d->DeviceLost.load(); }));
  ASSERT_TRUE(WaitFor([&] { return lineHits == 1; }));
  EXPECT_EQ(d->GetLineError(), 9) << "reported as a line error";
  EXPECT_TRUE(d->CheckLineBreak());

  double cpu = ProcessCpuSeconds();
  std::this_thread::sleep_for(1s);
  double used = ProcessCpuSeconds() - cpu;
  EXPECT_LT(used, 0.1) << "a dead port must not spin: " << used << " s of CPU in 1 s";
  EXPECT_EQ(lineHits, 1) << "reported once";
  EXPECT_FALSE(d->CheckLineBreak());

  Bytes b = Pattern(10, 7);
  ASSERT_EQ(d->PutBlock(b.data(), 10), 0);
  EXPECT_TRUE(WaitFor([&] { return d->OutBuffUsed() == 0; })) << "bytes for a dead line are dropped";
  ArmYardstick(*d);
  d->DonePort();
  EXPECT_FALSE(yardstickFired) << "the close waited on the writer of a dead line";
  EXPECT_FALSE(d->Started);
}

TEST(WorkerThreads, VanishedDeviceIsReportedOnceAndStopsBeingPolled) {
  FakeSerialDevice* device = nullptr;
  auto d = OpenDevice(device);
  device->Vanish();  // its descriptor stays readable while every call fails
  ASSERT_TRUE(WaitFor([&] { return d->DeviceLost.load(); }));
  double cpu = ProcessCpuSeconds();
  std::this_thread::sleep_for(500ms);
  EXPECT_LT(ProcessCpuSeconds() - cpu, 0.05);
  EXPECT_EQ(d->GetLineError(), 9);
}

TEST(WorkerThreads, ModemLineChangesReachStatusTriggers) {
  FakeSerialDevice* device = nullptr;
  auto d = OpenDevice(device);
  std::int32_t cts = d->AddStatusTrigger(stModem);
  ASSERT_EQ(d->SetStatusTrigger(cts, platform::LineCts, true), 0);
  static std::atomic<std::uint32_t> fired;
  fired = 0;
  d->RegisterProcTriggerHandler([](std::uint32_t msg, std::uint32_t trigger, std::uint32_t) {
    if (msg == kMsgStatusTrigger) fired = trigger;
  });
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(fired, 0u);
  device->SetModemLines(platform::LineCts);
  ASSERT_TRUE(WaitFor([&] { return fired == static_cast<std::uint32_t>(cts); }));
  EXPECT_EQ(TLkBaseDispatcher::ClassifyStatusTrigger(fired), stModem);
  EXPECT_TRUE(d->CheckDeltaCTS());

  std::int32_t line = d->AddStatusTrigger(stLine);
  ASSERT_EQ(d->SetStatusTrigger(line, 1 | 4, true), 0);  // overrun, framing
  fired = 0;
  device->AddLineErrors(platform::SerialStatus::Framing);
  ASSERT_TRUE(WaitFor([&] { return fired == static_cast<std::uint32_t>(line); }));
  EXPECT_EQ(d->GetLineError(), 4);
}

// A line that changes once the port is open reaches its trigger however late the comm thread first looks
// at the lines: that first look is held here until the line has changed.
TEST(WorkerThreads, ALineChangeBeforeTheCommThreadFirstLooksReachesItsTrigger) {
  const auto opener = std::this_thread::get_id();
  std::mutex m;
  std::condition_variable cv;
  bool changed = false;
  std::atomic<bool> held{false};
  auto release = [&] {
    {
      std::lock_guard lock(m);
      changed = true;
    }
    cv.notify_all();
  };
  FakeSerialDevice* device = nullptr;
  auto d = OpenDevice<FakeSerialDevice>(device, [&](FakeSerialDevice& fresh) {
    fresh.BeforeModemLines([&] {
      if (std::this_thread::get_id() == opener || held.exchange(true)) return;
      std::unique_lock lock(m);
      cv.wait(lock, [&] { return changed; });
    });
  });
  struct Released {
    std::function<void()> Release;
    ~Released() { Release(); }
  } released{release};  // also when an assertion ends the test: the port's close joins the thread
  const std::int32_t cts = d->AddStatusTrigger(stModem);
  ASSERT_EQ(d->SetStatusTrigger(cts, platform::LineCts, true), 0);
  static std::atomic<std::uint32_t> fired;
  fired = 0;
  d->RegisterProcTriggerHandler([](std::uint32_t msg, std::uint32_t trigger, std::uint32_t) {
    if (msg == kMsgStatusTrigger) fired = trigger;
  });
  device->SetModemLines(platform::LineCts);
  release();
  EXPECT_TRUE(WaitFor([&] { return fired == static_cast<std::uint32_t>(cts); }));
}

// An open port with nothing to do leaves its three threads asleep, and still fires a timer on time.
TEST(WorkerThreads, AnIdlePortWakesAFewTimesASecond) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  const std::vector<int> before = test::ThreadIds();
  auto d = OpenPty(pty);
  std::vector<int> workers;
  for (int tid : test::ThreadIds())
    if (std::find(before.begin(), before.end(), tid) == before.end()) workers.push_back(tid);
  ASSERT_EQ(workers.size(), 3u);
  std::this_thread::sleep_for(100ms);
  const long start = test::WakeUpsOf(workers);
  std::this_thread::sleep_for(1s);
  const long woken = test::WakeUpsOf(workers) - start;
  EXPECT_LT(woken, 8) << "wake-ups of an idle port's threads in one second";

  static std::atomic<int> fired;
  static std::atomic<std::uint32_t> second;  // the first timer to fire after the one that settles the thread
  fired = 0;
  d->RegisterProcTriggerHandler([](std::uint32_t msg, std::uint32_t trigger, std::uint32_t) {
    if (msg != kMsgTimerTrigger) return;
    if (fired == 1) second = trigger;
    ++fired;
  });
  const std::int32_t later = d->AddTimerTrigger();
  const std::int32_t timer = d->AddTimerTrigger();
  // Its first firing ends a pass: the dispatch thread then waits as on an idle line, up to 2 s.
  ASSERT_EQ(d->SetTimerTrigger(later, 1, true), 0);
  ASSERT_TRUE(WaitFor([&] { return fired == 1; }, 5s));
  // Armed first and due later: by the dispatch thread's own look both are due, and this one fires first.
  ASSERT_EQ(d->SetTimerTrigger(later, 18, true), 0);
  auto armed = Clock::now();
  ASSERT_EQ(d->SetTimerTrigger(timer, 3, true), 0);
  ASSERT_TRUE(WaitFor([&] { return fired >= 2; }, 5s));
  EXPECT_GE(Clock::now() - armed, 3 * 55ms) << "not before its ticks have passed";
  EXPECT_EQ(second, static_cast<std::uint32_t>(timer)) << "the dispatch thread woke for the timer";
}

// Opening and closing under traffic both ways: every close must end joined, with nothing left running.
TEST(WorkerThreads, OpenCloseStressWithTrafficBothWays) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  Bytes chunk = Pattern(64, 8);
  auto start = Clock::now();
  for (int i = 0; i < 1000; ++i) {
    auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(
        nullptr, [path = pty.SlavePath()](const std::string&) { return platform::PosixTty::Open(path); });
    // At the device's own rate: a rate change waits for the line to drain first.
    ASSERT_EQ(d->InitPort("COM1", 9600, 0, 8, 1, 4096, 4096, 0), 0) << "iteration " << i;
    ASSERT_EQ(d->PutBlock(chunk.data(), 64), 0);
    pty.WriteMaster(chunk, 100ms);
    if (i % 7 == 3) std::this_thread::sleep_for(1ms);  // sometimes close in mid-traffic, sometimes at once
    if (i % 100 == 0) {
      // Now and then make sure the traffic really flows before closing.
      ASSERT_EQ(pty.ReadMaster(64, 5s).size(), 64u) << "iteration " << i;
      ASSERT_TRUE(WaitFor([&] { return d->InBuffUsed() >= 64; }, 5s)) << "iteration " << i;
    }
    if (i % 2) d->DonePort();  // closed explicitly, or by destruction
    d.reset();
    pty.ReadMaster(4096, 0ms);
    ASSERT_LT(Clock::now() - start, 120s) << "stuck at iteration " << i;
  }
}

}  // namespace
}  // namespace serial
