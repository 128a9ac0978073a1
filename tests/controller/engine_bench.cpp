// The engine over a pseudo-terminal against the simulated controller, ticking as fast as the line
// settles: what one poll cycle and a whole program download cost when the 250 ms timer is not the limit.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

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

}  // namespace
}  // namespace controller::test
