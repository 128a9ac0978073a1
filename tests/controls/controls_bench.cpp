// Figures for the controls' hot paths: a timer-pool firing pass and dates through a picture mask.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "controls/date_arith.h"
#include "controls/intl_support.h"
#include "controls/timer_pool.h"
#include "fake_services.h"

namespace {

using namespace controls;

QApplication& App() {
  static int argc = 1;
  static char name[] = "zelta_controls_bench";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Other benchmark files of this program may have made the application already.
  // Never destroyed: at exit Qt's own statics go first, and a shown widget leaves devices behind.
  if (!QApplication::instance()) new QApplication(argc, argv);
  return *qApp;
}

// One pass over 1,000 triggers, every one of them due.
void BM_TimerPoolFiringPass(benchmark::State& state) {
  App();
  controls_test::FakeServices clock;
  TVxTimerPool pool(nullptr);
  std::int64_t fired = 0;
  for (int i = 0; i < 1000; ++i)
    pool.Add([&fired](tk::Component*, std::int32_t, std::uint32_t, std::int32_t) { ++fired; },
             static_cast<std::uint32_t>(100 + i % 10 * 100));
  for (auto _ : state) {
    clock.Ticks += 1000;
    pool.DoTriggerNotification();
  }
  benchmark::DoNotOptimize(fired);
  state.SetItemsProcessed(fired);
}
BENCHMARK(BM_TimerPoolFiringPass)->Unit(benchmark::kMicrosecond);

// 100,000 dates to text and back through one mask.
void BM_DatesThroughAMask(benchmark::State& state) {
  App();
  controls_test::FakeServices services;
  TVxIntlSup intl;
  const std::string picture = "dd/mm/yyyy";
  const TStDate first = DMYtoStDate(1, 1, 1900, 0);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (TStDate d = first; d < first + 100000; ++d) {
      const std::string text = intl.DateToDateString(picture, d, false);
      sum += intl.DateStringToDate(picture, text, 0) - d;
    }
    if (sum != 0) state.SkipWithError("a date did not come back");
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_DatesThroughAMask)->Unit(benchmark::kMillisecond);

}  // namespace
