// Figures for the controls that show long data: painting a page and moving through a table, a virtual list
// box and an outline. A long one should cost about what a short one does.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "controls/command_table.h"
#include "controls/controller.h"
#include "controls/outline.h"
#include "controls/table.h"
#include "controls/table_cells.h"
#include "controls/virtual_list_box.h"

namespace {

using namespace controls;

void EnsureApp() {
  static int argc = 1;
  static char name[] = "zelta_controls_bench";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Never destroyed: at exit Qt's own statics go first, and a shown widget leaves devices behind.
  if (!QApplication::instance()) new QApplication(argc, argv);
}

// Made before any widget member of a rig.
struct AppFirst {
  AppFirst() { EnsureApp(); }
};

struct TableRig : AppFirst {
  explicit TableRig(int rows) {
    SetShortString(cell.data(), "some text");
    new TVxController(&form);
    auto* text = new TVxTCString(&form);
    text->SetName("Text");
    table = new TVxTable(&form);
    table->SetBounds(0, 0, 600, 400);
    table->Rows().SetDefHeight(20);
    table->SetRowLimit(rows);
    table->SetColCount(8);
    for (int c = 0; c < 8; ++c) table->Columns().SetDefaultCell(c, text);
    table->OnGetCellData = [this](tk::Component*, int, int, void*& data, TVxCellDataPurpose) { data = cell.data(); };
    form.SetBounds(0, 0, 620, 420);
    form.show();
    QApplication::processEvents();
  }
  tk::Form form;
  TVxTable* table;
  TVxShortString cell{};
};

void BM_TableRepaintPage(benchmark::State& state) {
  TableRig rig(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    rig.table->InvalidateTable();
    rig.table->repaint();
  }
}
BENCHMARK(BM_TableRepaintPage)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One page down with its repaint; at the bottom the next step goes back to the top.
void BM_TableNextPage(benchmark::State& state) {
  TableRig rig(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    rig.table->MoveActiveCell(rig.table->ActiveRow() == rig.table->RowLimit() - 1 ? ccFirstPage : ccNextPage);
    rig.table->repaint();
  }
}
BENCHMARK(BM_TableNextPage)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

struct ListRig : AppFirst {
  explicit ListRig(std::int32_t count) {
    new TVxController(&form);
    list = new TVxVirtualListBox(&form);
    list->SetBounds(0, 0, 300, 400);
    list->SetNumItems(count);
    list->OnGetItem = [](tk::Component*, std::int32_t index, std::string& s) { s = "Item " + std::to_string(index); };
    form.SetBounds(0, 0, 320, 420);
    form.show();
    QApplication::processEvents();
  }
  tk::Form form;
  TVxVirtualListBox* list;
};

void BM_ListBoxPaintPage(benchmark::State& state) {
  ListRig rig(static_cast<std::int32_t>(state.range(0)));
  for (auto _ : state) {
    rig.list->Invalidate();
    rig.list->repaint();
  }
}
BENCHMARK(BM_ListBoxPaintPage)->Arg(100)->Arg(TVxCustomVirtualListBox::MaxItems)->Unit(benchmark::kMicrosecond);

// To the last item and back to the first, each with its repaint.
void BM_ListBoxJumpToEnd(benchmark::State& state) {
  ListRig rig(static_cast<std::int32_t>(state.range(0)));
  for (auto _ : state) {
    rig.list->SetItemIndex(rig.list->NumItems() - 1);
    rig.list->repaint();
    rig.list->SetItemIndex(0);
    rig.list->repaint();
  }
}
BENCHMARK(BM_ListBoxJumpToEnd)->Arg(100)->Arg(TVxCustomVirtualListBox::MaxItems)->Unit(benchmark::kMicrosecond);

// 100 groups of 99 children: 10,000 nodes loaded from the binary form, expanded, and paged through.
void BM_OutlineLoadExpandAndPage(benchmark::State& state) {
  EnsureApp();
  std::vector<TVxOutlineNodeRecord> roots;
  for (int g = 0; g < 100; ++g) {
    TVxOutlineNodeRecord group{"Group " + std::to_string(g), -1, TVxOlNodeStyle::osPlain, false,
                               TVxOlNodeMode::omPreload, {}};
    for (int c = 0; c < 99; ++c)
      group.Children.push_back({"Node " + std::to_string(c), -1, TVxOlNodeStyle::osCheck, c % 2 == 0,
                                TVxOlNodeMode::omPreload, {}});
    roots.push_back(group);
  }
  const std::string bytes = EncodeOutlineBinary(roots);
  tk::Form form;
  new TVxController(&form);
  auto* outline = new TVxOutline(&form);
  outline->SetBounds(0, 0, 300, 400);
  form.SetBounds(0, 0, 320, 420);
  form.show();
  QApplication::processEvents();
  int pages = 0;
  using Clock = std::chrono::steady_clock;
  Clock::duration load{}, expand{}, page{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    std::istringstream stream(bytes);
    outline->LoadFromStream(stream);
    const auto t1 = Clock::now();
    outline->ExpandAll();
    const auto t2 = Clock::now();
    for (std::int32_t top = 0; top < outline->Lines(); top += outline->Rows(), ++pages) {
      outline->SetTopIndex(top);
      outline->repaint();
    }
    load += t1 - t0, expand += t2 - t1, page += Clock::now() - t2;
  }
  if (outline->GetAbsNodes() != 10000) state.SkipWithError("not every node was loaded");
  const auto ms = [&](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / static_cast<double>(state.iterations());
  };
  state.counters["pages"] = pages / static_cast<double>(state.iterations());
  state.counters["load_ms"] = ms(load);
  state.counters["expand_ms"] = ms(expand);
  state.counters["paging_ms"] = ms(page);
}
BENCHMARK(BM_OutlineLoadExpandAndPage)->Unit(benchmark::kMillisecond);

}  // namespace
