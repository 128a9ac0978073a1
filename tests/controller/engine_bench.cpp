// The engine over a pseudo-terminal against the simulated controller, ticking as fast as the line
// settles: what one poll cycle and a whole program download cost when the 250 ms timer is not the limit.
#include <benchmark/benchmark.h>

#include <time.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "controller/engine_fixture.h"

namespace controller::test {
namespace {

class BenchEngine : public EngineTest {
 public:
  void TestBody() override {}
  using EngineTest::Connect;
  using EngineTest::engine;
  using EngineTest::project;
  using EngineTest::RunUntil;
  using EngineTest::sim;
  using EngineTest::Step;
  using EngineTest::view;
};

// The port posts to its window; an application must exist. No question is ever asked here.
QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "zelta_controller_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication application(argc, argv);
  return application;
}

void BM_PollCycle(benchmark::State& state) {
  Application();
  BenchEngine bench;
  bench.Connect();
  for (auto _ : state) {
    // 110 .. 114: one I/O request and its 264-byte reply.
    for (int i = 0; i < 5; ++i) bench.Step();
  }
  state.SetLabel("5 ticks");
}
BENCHMARK(BM_PollCycle)->Unit(benchmark::kMillisecond);

void BM_ProgramDownload(benchmark::State& state) {
  Application();
  BenchEngine bench;
  bench.Connect();
  bench.project.Store.Lines[4095] = ProgramLine::End();
  for (auto _ : state) {
    bench.view.Log.clear();
    bench.engine.RequestProgramDownload();
    bench.RunUntil([&] { return bench.view.Logged("Controller Program Started") && bench.engine.CommState == 110; },
                   2000);
  }
  state.SetLabel("96 program and 6 sun blocks");
}
BENCHMARK(BM_ProgramDownload)->Unit(benchmark::kMillisecond)->Iterations(1);

// Ticks until the engine is at `to`.
int CountTicks(BenchEngine& bench, int to, int limit = 5000) {
  int ticks = 0;
  do {
    bench.Step();
    ++ticks;
  } while (bench.engine.CommState != to && ticks < limit);
  return ticks;
}

// Ticks each operation takes against the floor its states allow (one tick per send and one per wait), on an
// instant line (arg 0) and with the controller's answers paced at 9600 baud (arg 1). Each tick waits for
// the line to settle, as a 250 ms tick does for any answer shorter than 240 bytes at 9600 baud.
void BM_TicksPerOperation(benchmark::State& state) {
  Application();
  BenchEngine bench;
  bench.sim.SetPacing(state.range(0) != 0);
  bench.project.Store.Lines[4095] = ProgramLine::End();
  int attach = 0, poll = 0, params = 0, clock = 0, download = 0;
  for (auto _ : state) {
    bench.engine.CommState = 1;
    attach = CountTicks(bench, 114);
    bench.engine.ParamsRequest = 0;
    poll = CountTicks(bench, 114);
    bench.engine.ParamsRequest = 1;
    params = CountTicks(bench, 110);
    CountTicks(bench, 114);
    bench.engine.ClockRequest = 1;
    clock = CountTicks(bench, 110);
    CountTicks(bench, 114);
    bench.engine.RequestProgramDownload();
    CountTicks(bench, 499);  // the silent clock read for the flash argument comes first
    download = CountTicks(bench, 110);
    bench.engine.CloseRequest = 1;
    CountTicks(bench, 0);
  }
  // Floors: 1, 4, 94-99, 100-113; 110-114; idle, 150, 151; idle, 540, 541; 499-501, 512, 96 x 513-516,
  // 502-505, 6 x 506-509, 510, 511.
  state.counters["download"] = download;
  state.counters["download_floor"] = 4 + 96 * 4 + 4 + 6 * 4 + 2;
  state.SetLabel(state.range(0) ? "9600 baud" : "instant line");
  // Paced, a 264-byte reply takes 275 ms, longer than a real tick: only the download, whose answers are 3
  // bytes, is compared with its floor there.
  if (state.range(0)) return;
  state.counters["attach"] = attach;
  state.counters["attach_floor"] = 22;
  state.counters["poll"] = poll;
  state.counters["poll_floor"] = 5;
  state.counters["params"] = params;
  state.counters["params_floor"] = 3;
  state.counters["clock"] = clock;
  state.counters["clock_floor"] = 3;
}
BENCHMARK(BM_TicksPerOperation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// What a frame lost on the line costs: a read of every module parameter (two modules, 64 each) clean and with
// every fifth frame lost, in ticks; a loss costs its time-out and, once the answer to its second sending is
// in, the answer time seen and its margin.
void BM_LostFrames(benchmark::State& state) {
  Application();
  BenchEngine bench;
  for (int module : {1, 3}) {
    bench.sim.SetModule(module, 5);
    for (int p = 0; p < 64; ++p) bench.sim.SetModuleParameter(module, p, static_cast<std::uint16_t>(p));
  }
  bench.sim.SetManagerBusyPolls(0);
  bench.Connect();
  const auto read = [&] {
    bench.engine.ModuleParamsRequest = 1;
    int ticks = 0;
    while (ticks < 5000 && !(bench.engine.CommState == 114 && !bench.engine.ModuleParamsRequest)) {
      bench.Step();
      ++ticks;
    }
    return ticks;
  };
  int clean = 0, lossy = 0, lost = 0;
  for (auto _ : state) {
    clean = read();
    const std::size_t from = bench.sim.Frames().size();
    bench.sim.DropEveryNthFrame(5);
    lossy = read();
    bench.sim.DropEveryNthFrame(0);
    const auto frames = bench.sim.Frames();
    lost = static_cast<int>(std::count_if(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(),
                                          [](const auto& f) { return f.Ignored; }));
  }
  state.counters["ticks_clean"] = clean;
  state.counters["ticks_every_5th_lost"] = lossy;
  state.counters["lost"] = lost;
  state.counters["ticks_per_loss"] = lost ? static_cast<double>(lossy - clean) / lost : 0;
  state.counters["time_out_ticks"] = Exchange::QuietTicks;
}
BENCHMARK(BM_LostFrames)->Unit(benchmark::kMillisecond)->Iterations(1);

// What an attached engine polling an idle controller costs, ticked by a real 250 ms timer for 10 seconds:
// the process's CPU time (the engine, the port's threads and the simulator's) as a share of one core.
void BM_IdlePollingCpu(benchmark::State& state) {
  Application();
  BenchEngine bench;
  bench.Connect();
  const auto cpu = [] {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
  };
  double share = 0;
  int ticks = 0;
  const std::size_t frames = bench.sim.Frames().size();
  for (auto _ : state) {
    QTimer timer;
    timer.setInterval(250);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      bench.engine.Tick();
      ++ticks;
    });
    const double before = cpu();
    const auto start = std::chrono::steady_clock::now();
    timer.start();
    QTimer::singleShot(10000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    timer.stop();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    share = (cpu() - before) / wall * 100;
  }
  state.counters["cpu_percent_of_core"] = share;
  state.counters["ticks"] = ticks;
  state.counters["polls"] = static_cast<double>(bench.sim.Frames().size() - frames);
  state.counters["retries"] = bench.engine.RetryCount;
}
BENCHMARK(BM_IdlePollingCpu)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace controller::test
