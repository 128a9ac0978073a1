#include "controls/table_rows_cols.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "controls/controller.h"
#include "controls/table_cells.h"

namespace {

using namespace controls;

class BareTable : public TVxTableAncestor {
 public:
  using TVxTableAncestor::TVxTableAncestor;
  void tbCellChanged(TVxTableCellAncestor*) override {}
  TVxTblKeyNeeds FilterKey(tk::Message&) override { return otkDontCare; }
  void ResolveCellAttributes(int, int, TVxCellAttributes&) override {}
};

using Notice = std::tuple<int, int, TVxTblActions>;

struct RowsRig {
  RowsRig() {
    rows.OnCfgChanged = [this](TVxTableObject*, int a, int b, TVxTblActions action) {
      notices.emplace_back(a, b, action);
    };
  }
  TVxTableRows rows;
  std::vector<Notice> notices;
};

// ---- rows

TEST(TableRows, ADefaultStyleKeepsNoRecord) {
  RowsRig rig;
  TVxTableRows& rows = rig.rows;
  rows.SetRowHeight(3, 45);
  EXPECT_TRUE(rows.RowIsSpecial(3));
  rows.SetRowHeight(3, rows.DefHeight());
  EXPECT_FALSE(rows.RowIsSpecial(3));
  rows.SetRowHidden(4, true);
  EXPECT_EQ(rows.Row(4), MakeRowStyle(30, true));
  rows.SetRowHidden(4, false);
  EXPECT_FALSE(rows.RowIsSpecial(4));
  rows.SetRow(5, MakeRowStyle(0, true));  // hidden at the default height
  rows.SetRowHeight(5, 50);
  rows.SetRowHeight(5, -3);  // still hidden: keeps its record
  EXPECT_TRUE(rows.RowIsSpecial(5));
  rows.SetDefHeight(20);  // follows the default
  EXPECT_EQ(rows.Height(5), 20);
  rows.SetRow(5, MakeRowStyle(20, false));
  EXPECT_EQ(rows.SpecialCount(), 0);
  rows.SetRowHeight(6, 20);  // the default height on a default row: no notice
  EXPECT_EQ(rig.notices.size(), 9u);
}

TEST(TableRows, DeletingAndInsertingMoveTheRecords) {
  RowsRig rig;
  TVxTableRows& rows = rig.rows;
  rows.SetRowHeight(6, 60);
  rows.Delete(5);
  EXPECT_EQ(rows.Limit(), 9);
  EXPECT_EQ(rows.Height(5), 60);
  rows.Insert(0, MakeRowStyle(-1, false));
  EXPECT_EQ(rows.Height(6), 60);
  rows.Append(MakeRowStyle(12, true));
  EXPECT_EQ(rows.Limit(), 11);
  EXPECT_EQ(rows.Row(10), MakeRowStyle(12, true));
  rows.Exchange(6, 10);
  EXPECT_EQ(rows.Height(10), 60);
  rows.Exchange(2, 2);
  EXPECT_EQ(rig.notices.back(), (Notice{6, 10, taExchange}));
  rows.Clear();
  EXPECT_EQ(rows.SpecialCount(), 0);
  EXPECT_EQ(rig.notices.back(), (Notice{0, 0, taAll}));
}

TEST(TableRows, RowsOutsideTheLimitRaise) {
  TVxTableRows rows;
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const EVxTable& e) {
      return e.Message();
    }
    return std::string("none");
  };
  EXPECT_EQ(message([&] { rows.Row(10); }), "Unknown");
  EXPECT_EQ(message([&] { rows.SetRowHidden(-1, true); }), "Unknown");
  EXPECT_EQ(message([&] { rows.Insert(11, {}); }), "Unknown");
  EXPECT_EQ(message([&] { rows.Insert(TVxTableRows::MaxStoredRow, {}); }), "Unknown");
  EXPECT_EQ(message([&] { rows.Insert(10, {}); }), "none");
}

TEST(TableRows, RowsBeyondTheSparseRangeAreAlwaysDefault) {
  RowsRig rig;
  TVxTableRows& rows = rig.rows;
  rows.SetLimit(TVxTableRows::MaxStoredRow + 10);
  const int far = TVxTableRows::MaxStoredRow + 5;
  rows.SetRowHeight(far, 99);
  rows.SetRowHidden(far, true);
  rows.Delete(far);
  EXPECT_EQ(rows.Row(far), MakeRowStyle(30, false));
  EXPECT_FALSE(rows.RowIsSpecial(far));
  EXPECT_EQ(rows.Limit(), TVxTableRows::MaxStoredRow + 10);
  EXPECT_EQ(rig.notices.size(), 1u);  // the limit only
}

TEST(TableRows, LimitAndDefaultHeightRefuseNonsense) {
  RowsRig rig;
  TVxTableRows& rows = rig.rows;
  rows.SetRowHeight(8, 44);
  rows.SetLimit(0);
  EXPECT_EQ(rows.Limit(), 1);
  EXPECT_EQ(rig.notices.back(), (Notice{-2, 0, taGeneral}));
  rows.SetLimit(10);
  EXPECT_FALSE(rows.RowIsSpecial(8));  // dropped off with the shrink
  rows.SetDefHeight(0);
  EXPECT_EQ(rows.DefHeight(), 30);
  rows.Delete(0);
  rows.SetLimit(1);
  rows.Delete(0);
  EXPECT_EQ(rows.Limit(), 1);
}

TEST(TableRows, ScalingLeavesDefaultHeightRowsDefault) {
  TVxTableRows rows;
  rows.SetRowHeight(1, 40);
  rows.SetRowHidden(2, true);
  rows.rwScaleHeights(3, 2);
  EXPECT_EQ(rows.DefHeight(), 45);
  EXPECT_EQ(rows.Height(1), 60);
  EXPECT_EQ(rows.Height(2), 45);
}

// ---- columns

struct ColumnsRig {
  ColumnsRig() : table(new BareTable(form)) {
    new TVxController(form);
    form->SetName("Form1");
    columns = std::make_unique<TVxTableColumns>(table, 3);
    columns->SetOnColumnChanged(
        [this](TVxTableObject*, int a, int b, TVxTblActions action) { notices.emplace_back(a, b, action); });
  }
  ~ColumnsRig() {
    columns.reset();
    delete form;
  }
  tk::Form* form = new tk::Form;
  BareTable* table;
  std::unique_ptr<TVxTableColumns> columns;
  std::vector<Notice> notices;
};

std::vector<int> Widths(const TVxTableColumns& columns) {
  std::vector<int> widths;
  for (int i = 0; i < columns.Count(); ++i) {
    EXPECT_EQ(columns.Col(i)->Number(), i);
    widths.push_back(columns.Width(i));
  }
  return widths;
}

TEST(TableColumns, OutsideTheRangeColumnsAreEmptyAndHidden) {
  ColumnsRig rig;
  EXPECT_EQ(rig.columns->Width(-1), 0);
  EXPECT_TRUE(rig.columns->Hidden(-1));
  EXPECT_EQ(rig.columns->Col(3), nullptr);
  EXPECT_EQ(rig.columns->DefaultCell(3), nullptr);
  rig.columns->SetWidth(3, 10);
  EXPECT_TRUE(rig.notices.empty());
  EXPECT_EQ(rig.columns->Width(0), TVxTableColumn::DefaultWidth);
}

TEST(TableColumns, ChangesRenumberAndReport) {
  ColumnsRig rig;
  TVxTableColumns& c = *rig.columns;
  for (int i = 0; i < 3; ++i) c.SetWidth(i, 10 * (i + 1));
  auto column = std::make_unique<TVxTableColumn>(rig.table);
  column->SetWidth(99);
  EXPECT_TRUE(c.Insert(1, std::move(column)));
  EXPECT_EQ(Widths(c), (std::vector<int>{10, 99, 20, 30}));
  c.Exchange(0, 3);
  c.Delete(1);
  EXPECT_EQ(Widths(c), (std::vector<int>{30, 20, 10}));
  c.SetCount(5);
  c.SetCount(0);
  c.SetCount(2);
  EXPECT_EQ(Widths(c), (std::vector<int>{30, 20}));
  const std::vector<Notice> expected{{0, 0, taSingle},   {1, 0, taSingle}, {2, 0, taSingle}, {1, 0, taInsert},
                                     {0, 3, taExchange}, {1, 0, taDelete}, {3, 0, taInsert}, {4, 0, taInsert},
                                     {4, 0, taDelete},   {3, 0, taDelete}, {2, 0, taDelete}};
  EXPECT_EQ(rig.notices, expected);
}

TEST(TableColumns, ForeignColumnsAreRefused) {
  ColumnsRig rig;
  BareTable other(nullptr);
  struct Wider : TVxTableColumn {
    using TVxTableColumn::TVxTableColumn;
  };
  auto foreign = std::make_unique<TVxTableColumn>(&other);
  EXPECT_FALSE(rig.columns->Append(std::move(foreign)));
  EXPECT_TRUE(foreign);  // the caller keeps what was refused
  TVxTableColumns wide(rig.table, 0, ColumnClassOf<Wider>());
  EXPECT_FALSE(wide.Append(std::make_unique<TVxTableColumn>(rig.table)));
  EXPECT_TRUE(wide.Append(std::make_unique<Wider>(rig.table)));
  EXPECT_FALSE(rig.columns->Insert(3, std::make_unique<TVxTableColumn>(rig.table)));  // appending is Append's
}

TEST(TableColumns, DefaultCellsHoldReferencesOfTheirTable) {
  ColumnsRig rig;
  BareTable other(nullptr);
  auto* cell = new TVxTCString(rig.form);
  TVxTCString foreign(nullptr);
  foreign.AttachAndIncRefs(&other);
  rig.columns->SetDefaultCell(0, cell);
  rig.columns->SetDefaultCell(2, cell);
  rig.columns->SetDefaultCell(1, &foreign);
  EXPECT_EQ(cell->RefCount(), 2);
  EXPECT_EQ(rig.table->CellList().size(), 1u);
  EXPECT_EQ(rig.columns->DefaultCell(1), nullptr);
  rig.columns->Col(1)->Assign(*rig.columns->Col(0));
  EXPECT_EQ(cell->RefCount(), 3);
  rig.columns->tcNotifyCellDeletion(cell);
  EXPECT_EQ(cell->RefCount(), 0);
  EXPECT_TRUE(rig.table->CellList().empty());
  foreign.DecRefs();
}

TEST(TableColumns, LoadedDefaultCellsResolveWhenLoadingStops) {
  ColumnsRig rig;
  auto* cell = new TVxTCString(rig.form);
  cell->SetName("Cell1");
  std::vector<TVxPendingCell>& pending = rig.columns->StartLoading();
  pending.push_back({"Form1.Cell1", rig.columns->Col(0)});
  pending.push_back({"Elsewhere.Cell1", rig.columns->Col(1)});
  pending.push_back({"Form1.Cell1", rig.columns->Col(2)});
  rig.columns->Delete(2);  // its pending name goes with it
  rig.columns->Insert(0, std::make_unique<TVxTableColumn>(rig.table));
  EXPECT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending.front().Name, "unknown");
  rig.columns->StopLoading();
  EXPECT_FALSE(rig.columns->IsLoading());
  EXPECT_EQ(rig.columns->DefaultCell(1), cell);
  EXPECT_EQ(rig.columns->DefaultCell(2), nullptr);
  EXPECT_EQ(cell->RefCount(), 1);
}

}  // namespace
