// The dispatch side: how fast received bytes are scanned for data triggers, what one notification to
// several handlers costs, and how long a string from the line takes to reach a data trigger's handler
// through the running worker threads (the latency a modem response sees).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/posix_tty.h"
#include "serial/win32_dispatcher.h"
#include "support/fake_serial_device.h"
#include "support/pty_pair.h"

namespace {

using namespace serial;

std::shared_ptr<TLkWin32Dispatcher> OpenFake(testing_support::FakeSerialDevice*& fake) {
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr, [&fake](const std::string&) {
    platform::SerialOpenResult r;
    auto owned = std::make_unique<testing_support::FakeSerialDevice>();
    fake = owned.get();
    r.Device = std::move(owned);
    return r;
  });
  d->ManualPump = true;
  if (d->InitPort("COM1", 9600, 0, 8, 1, 8192, 8192, 0) != 0) return nullptr;
  return d;
}

void Ignore(std::uint32_t, std::uint32_t, std::uint32_t) {}

// 4 KiB of text scanned against a number of data triggers, as modem responses are.
void BM_ScanReceivedBytes(benchmark::State& state) {
  testing_support::FakeSerialDevice* fake = nullptr;
  auto d = OpenFake(fake);
  const char* responses[] = {"OK\r", "ERROR\r", "CONNECT", "NO CARRIER", "BUSY", "RING", "NO DIALTONE", "+CME"};
  for (int i = 0; i < state.range(0); ++i) d->AddDataTrigger(responses[i % 8], true);
  d->RegisterProcTriggerHandler(Ignore);
  std::vector<std::uint8_t> text(4096);
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<std::uint8_t>("abcdefghij klmnOPQRST\r\n"[i % 23]);
  std::vector<std::uint8_t> sink(4096);
  for (auto _ : state) {
    fake->Receive(text);
    d->EventMask = TLkBaseDispatcher::evRxChar;
    d->DispatchPass();
    d->GetBlock(sink.data(), static_cast<std::uint32_t>(d->InBuffUsed()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4096);
}
BENCHMARK(BM_ScanReceivedBytes)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

// One timer notification to 1, 4 or 16 procedure handlers.
void BM_NotifyHandlers(benchmark::State& state) {
  testing_support::FakeSerialDevice* fake = nullptr;
  auto d = OpenFake(fake);
  for (int i = 0; i < state.range(0); ++i) d->RegisterProcTriggerHandler(Ignore);
  for (auto _ : state) benchmark::DoNotOptimize(d->SendNotify(kMsgTimerTrigger, 8, 0));
}
BENCHMARK(BM_NotifyHandlers)->Arg(1)->Arg(4)->Arg(16);

std::atomic<bool> matched{false};
void Matched(std::uint32_t msg, std::uint32_t, std::uint32_t) {
  if (msg == kMsgDataTrigger) matched = true;
}

// From the far end's write to the data trigger's handler, over a pseudo-terminal.
void BM_LineToTriggerLatency(benchmark::State& state) {
  testing_support::PtyPair pty;
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(
      nullptr, [path = pty.SlavePath()](const std::string&) { return platform::PosixTty::Open(path); });
  if (!pty.Valid() || d->InitPort("COM1", 9600, 0, 8, 1, 4096, 4096, 0) != 0) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  d->AddDataTrigger("OK\r", false);
  d->RegisterProcTriggerHandler(Matched);
  std::vector<std::uint8_t> sink(4096);
  for (auto _ : state) {
    matched = false;
    pty.WriteMaster({'O', 'K', '\r'});
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!matched && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    if (!matched) state.SkipWithError("the trigger did not fire");
    d->GetBlock(sink.data(), static_cast<std::uint32_t>(d->InBuffUsed()));
  }
}
BENCHMARK(BM_LineToTriggerLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
