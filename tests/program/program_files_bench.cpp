// Save and load of a full program (every line used, every comment 79 characters) through the .pgm file.
#include <benchmark/benchmark.h>

#include <memory>

#include "program/program_files.h"
#include "support/temp_dir.h"

namespace {

std::unique_ptr<ProgramStore> FullProgram() {
  auto s = std::make_unique<ProgramStore>();
  for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
    s->Lines[n] = ProgramLine{static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n * 3),
                              static_cast<std::uint16_t>(n * 5)};
    s->Comments[n] = std::string(79, static_cast<char>('a' + n % 26));
  }
  return s;
}

void SaveFullProgram(benchmark::State& state) {
  testing_support::TempDir dir;
  auto store = FullProgram();
  const std::string path = dir.File("full.pgm");
  for (auto _ : state) {
    if (!SavePGMFile(*store, path).empty()) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kProgramFileBytes));
}
BENCHMARK(SaveFullProgram)->Unit(benchmark::kMillisecond);

void LoadFullProgram(benchmark::State& state) {
  testing_support::TempDir dir;
  const std::string path = dir.File("full.pgm");
  if (!SavePGMFile(*FullProgram(), path).empty()) {
    state.SkipWithError("save failed");
    return;
  }
  auto store = std::make_unique<ProgramStore>();
  for (auto _ : state) {
    if (!LoadPGMFile(*store, path).empty()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(store->Lines[4096]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kProgramFileBytes));
}
BENCHMARK(LoadFullProgram)->Unit(benchmark::kMillisecond);

}  // namespace
