// Throughput of the dispatcher's rings: 1 MiB through the transmit ring to a device and from a device
// through the receive ring, in blocks of several sizes. At 115,200 baud a byte takes about 87 us on the
// wire; a ring operation must cost a small fraction of that.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "serial/win32_dispatcher.h"

namespace {

using namespace serial;

constexpr std::size_t kMiB = 1 << 20;

// A device that takes every write and always has input waiting: only the rings' cost is measured.
class EndlessDevice : public platform::SerialDevice {
 public:
  int Descriptor() const override { return 1000; }
  void Close() override {}
  int GetSettings(platform::SerialLineSettings& s) override {
    s = settings_;
    return 0;
  }
  int SetSettings(const platform::SerialLineSettings& s) override {
    settings_ = s;
    return 0;
  }
  long Read(void* buffer, std::size_t size) override {
    std::memset(buffer, 0x55, size);
    return static_cast<long>(size);
  }
  long Write(const void*, std::size_t size) override { return static_cast<long>(size); }
  int GetStatus(platform::SerialStatus& status) override {
    status = {};
    status.InQueue = 1 << 20;
    return 0;
  }
  int Purge(bool, bool) override { return 0; }
  int SetDtr(bool) override { return 0; }
  int SetRts(bool) override { return 0; }
  int GetModemLines(std::uint8_t& lines) override {
    lines = 0;
    return 0;
  }
  int SetBreak(bool) override { return 0; }

 private:
  platform::SerialLineSettings settings_;
};

std::shared_ptr<TLkWin32Dispatcher> OpenPort() {
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr, [](const std::string&) {
    platform::SerialOpenResult r;
    r.Device = std::make_unique<EndlessDevice>();
    return r;
  });
  d->ManualPump = true;  // the benchmark moves the bytes itself: no worker threads
  if (d->InitPort("COM1", 115200, 0, 8, 1, 8192, 8192, 0) != 0) return nullptr;
  return d;
}

void BM_TransmitRing(benchmark::State& state) {
  auto d = OpenPort();
  const auto block = static_cast<std::uint32_t>(state.range(0));
  std::vector<std::uint8_t> data(block, 0xA5);
  for (auto _ : state) {
    for (std::size_t moved = 0; moved < kMiB; moved += block) {
      if (d->PutBlock(data.data(), block) != 0) state.SkipWithError("ring refused a block");
      if (d->OutBuffUsed() >= 4096) d->WriteOutput();
    }
    d->WriteOutput();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kMiB);
  state.counters["ns_per_byte"] = benchmark::Counter(static_cast<double>(state.iterations()) * kMiB,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TransmitRing)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_ReceiveRing(benchmark::State& state) {
  auto d = OpenPort();
  const auto block = static_cast<std::uint32_t>(state.range(0));
  std::vector<std::uint8_t> data(block);
  for (auto _ : state) {
    for (std::size_t moved = 0; moved < kMiB; moved += block) {
      if (d->InBuffUsed() < static_cast<std::int32_t>(block)) d->ExtractData();
      if (d->GetBlock(data.data(), block) != 0) state.SkipWithError("ring held too little");
    }
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kMiB);
  state.counters["ns_per_byte"] = benchmark::Counter(static_cast<double>(state.iterations()) * kMiB,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReceiveRing)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
