// Throughput of a serial port over a pseudo-terminal pair: the port component (rings, worker threads)
// against the bare descriptors (write and read straight on the pty), in both directions. Every byte of
// the port passes one more thread than the bare path does; both run thousands of times faster than the
// 115,200 baud a real line carries.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "serial/com_port.h"
#include "support/pty_pair.h"

namespace {

using namespace serial;

constexpr std::size_t kPayload = 256 * 1024;
constexpr std::size_t kChunk = 4096;

// Reads `count` bytes from `fd` (non-blocking, polled); false when 5 s pass without progress.
bool ReadAll(int fd, std::size_t count) {
  std::vector<std::uint8_t> buf(8192);
  std::size_t got = 0;
  while (got < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) return false;
    ssize_t n = ::read(fd, buf.data(), std::min(buf.size(), count - got));
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `count` bytes to `fd` (non-blocking, polled).
bool WriteAll(int fd, std::size_t count) {
  std::vector<std::uint8_t> buf(kChunk, 0x5A);
  std::size_t put = 0;
  while (put < count) {
    ssize_t n = ::write(fd, buf.data(), std::min(kChunk, count - put));
    if (n > 0) {
      put += static_cast<std::size_t>(n);
      continue;
    }
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 5000) <= 0) return false;
  }
  return true;
}

int OpenRawSlave(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

void BM_RawSend(benchmark::State& state) {
  testing_support::PtyPair pty;
  int slave = OpenRawSlave(pty.SlavePath());
  for (auto _ : state) {
    std::jthread reader([&] { ReadAll(pty.Master(), kPayload); });
    WriteAll(slave, kPayload);
  }
  ::close(slave);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}
BENCHMARK(BM_RawSend)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RawReceive(benchmark::State& state) {
  testing_support::PtyPair pty;
  int slave = OpenRawSlave(pty.SlavePath());
  for (auto _ : state) {
    std::jthread writer([&] { WriteAll(pty.Master(), kPayload); });
    ReadAll(slave, kPayload);
  }
  ::close(slave);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}
BENCHMARK(BM_RawReceive)->Unit(benchmark::kMillisecond)->UseRealTime();

// A port component on COM50, pointed at the pty's slave.
struct BenchPort {
  explicit BenchPort(std::uint16_t outSize = 16384) {
    ::setenv("ZELTA_COM50", pty.SlavePath().c_str(), 1);
    port.SetComNumber(50);
    port.SetBaud(115200);
    port.SetAutoOpen(false);
    port.SetOutSize(outSize);
    port.SetOpen(true);
  }
  ~BenchPort() {
    port.SetOpen(false);
    ::unsetenv("ZELTA_COM50");
  }
  testing_support::PtyPair pty;
  TLkComPort port{nullptr};
};

// The sender sleeps 100 us (about 150 with the timer's slack) whenever the ring has no room for a chunk,
// so at most one ring's worth leaves per sleep: with the 16 KB ring that is about 110 MB/s whatever the
// port does. The second run, with a ring twice as large, shows more of what the port itself moves.
void BM_PortSend(benchmark::State& state) {
  BenchPort b(static_cast<std::uint16_t>(state.range(0)));
  std::vector<char> chunk(kChunk, 0x5A);
  for (auto _ : state) {
    std::jthread reader([&] { ReadAll(b.pty.Master(), kPayload); });
    for (std::size_t put = 0; put < kPayload; put += kChunk) {
      // The application's way: wait a moment for room rather than spin on the count.
      while (b.port.OutBuffFree() < static_cast<std::int32_t>(kChunk))
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      b.port.PutBlock(chunk.data(), kChunk);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}
BENCHMARK(BM_PortSend)->Arg(16384)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PortReceive(benchmark::State& state) {
  BenchPort b;
  std::vector<char> buf(8192);
  for (auto _ : state) {
    std::jthread writer([&] { WriteAll(b.pty.Master(), kPayload); });
    std::size_t got = 0;
    while (got < kPayload) {
      std::int32_t n = b.port.InBuffUsed();
      if (n <= 0) {
        std::this_thread::yield();
        continue;
      }
      got += static_cast<std::size_t>(b.port.GetBlock(buf.data(), static_cast<std::uint16_t>(n)));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}
BENCHMARK(BM_PortReceive)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
