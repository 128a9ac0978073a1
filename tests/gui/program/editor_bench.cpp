// Loading a full program and showing it: every one of the 4096 lines rendered through the line codec
// into the grid, and the window painted.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <memory>

#include "gui/program/editor_form.h"
#include "workspace/project.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "zelta_program_bench";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return std::make_unique<QApplication>(argc, argv);
  }();
  return *app;
}

// Every line used, in the kinds a real program mixes: conditions, actions, Skip To, END last.
void FillFullProgram(ProgramStore& store) {
  for (int n = 1; n < ProgramStore::kLastLine; ++n) {
    switch (n % 4) {
      case 1:
        store.Lines[n] = ProgramLine{static_cast<std::uint16_t>(FunctionIf << 10 | 5 << 5 | n % 8),
                                     static_cast<std::uint16_t>(n % 128), static_cast<std::uint16_t>(n)};
        break;
      case 2:
        store.Lines[n] = ProgramLine{static_cast<std::uint16_t>(FunctionAnd << 10 | 4 << 5 | n % 8),
                                     static_cast<std::uint16_t>(n % 64), 5};
        break;
      case 3:
        store.Lines[n] = ProgramLine{static_cast<std::uint16_t>(FunctionThen << 10 | KindSkipTo << 5), 0, 2};
        break;
      default:
        store.Lines[n] = ProgramLine{static_cast<std::uint16_t>(FunctionElse << 10 | 5 << 5),
                                     static_cast<std::uint16_t>(n % 128), 1};
    }
    store.Comments[n] = "comment of line " + std::to_string(n);
  }
  store.Lines[ProgramStore::kLastLine] = ProgramLine::End();
}

void LoadAndShowFullProgram(benchmark::State& state) {
  QApplication& app = App();
  workspace::Project project;
  TEditorForm editor(project);
  FillFullProgram(editor.Store);
  editor.show();
  for (auto _ : state) {
    editor.UpdateListing();
    editor.repaint();
    app.processEvents();
  }
  if (editor.Listing->Text(1).empty() || editor.Listing->Text(4096) != "End Program")
    state.SkipWithError("the lines were not rendered");
  editor.hide();
}
BENCHMARK(LoadAndShowFullProgram)->Unit(benchmark::kMillisecond);

}  // namespace
