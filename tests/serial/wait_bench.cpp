// What waiting costs: the wake-ups per second of an idle open port's three threads, and the CPU time and
// wake-ups of a string wait (yielding or not) for a reply that comes 200 ms after the wait begins.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <thread>

#include "serial/com_port.h"
#include "support/pty_pair.h"
#include "thread_stats.h"

namespace {

using namespace serial;

// A port on COM50, pointed at a pseudo-terminal's slave, in a program with an event loop to yield to.
struct WaitPort {
  WaitPort() {
    static int argc = 1;
    static char name[] = "zelta_serial_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    ::setenv("ZELTA_COM50", pty.SlavePath().c_str(), 1);
    port.SetComNumber(50);
    port.SetAutoOpen(false);
    port.SetOpen(true);
  }
  ~WaitPort() {
    port.SetOpen(false);
    ::unsetenv("ZELTA_COM50");
  }
  testing_support::PtyPair pty;
  TLkComPort port{nullptr};
};

void BM_IdlePortWakeUps(benchmark::State& state) {
  const std::vector<int> before = test::ThreadIds();
  WaitPort p;
  std::vector<int> workers;
  for (int tid : test::ThreadIds())
    if (std::find(before.begin(), before.end(), tid) == before.end()) workers.push_back(tid);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  long woken = 0;
  double seconds = 0;
  for (auto _ : state) {
    const long start = test::WakeUpsOf(workers);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    woken += test::WakeUpsOf(workers) - start;
    seconds += 2;
  }
  state.counters["threads"] = static_cast<double>(workers.size());
  state.counters["wakeups_per_s"] = static_cast<double>(woken) / seconds;
}
BENCHMARK(BM_IdlePortWakeUps)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StringWaitCost(benchmark::State& state) {
  const bool yield = state.range(0) != 0;
  WaitPort p;
  test::ThreadCost total;
  for (auto _ : state) {
    std::jthread farEnd([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      p.pty.WriteMaster({'O', 'K'});
    });
    const test::ThreadCost start = test::CurrentThreadCost();
    if (!p.port.WaitForString("OK", 18, yield, false)) state.SkipWithError("the reply did not come");
    const test::ThreadCost cost = test::CurrentThreadCost() - start;
    total.CpuSeconds += cost.CpuSeconds;
    total.WakeUps += cost.WakeUps;
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["cpu_ms_per_wait"] = total.CpuSeconds * 1000 / n;
  state.counters["wakeups_per_wait"] = static_cast<double>(total.WakeUps) / n;
}
BENCHMARK(BM_StringWaitCost)->ArgName("yield")->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
