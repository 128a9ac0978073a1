#include "controls/table_cells.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <climits>
#include <cstring>
#include <map>

#include "controls/controller.h"
#include "controls/table_cell.h"
#include "controls/table_common.h"
#include "support/user_input.h"
#include "tk/filer.h"
#include "tk/virtual_keys.h"

namespace {

using namespace controls;

// A table that answers its cells' questions and records what they tell it.
class TestTable : public TVxTableAncestor {
 public:
  using TVxTableAncestor::TVxTableAncestor;
  void tbCellChanged(TVxTableCellAncestor* sender) override { Changed.push_back(sender); }
  TVxTblKeyNeeds FilterKey(tk::Message& msg) override {
    auto it = Needs.find(static_cast<std::uint16_t>(msg.WParam));
    return it == Needs.end() ? otkDontCare : it->second;
  }
  void ResolveCellAttributes(int, int, TVxCellAttributes& attr) override {
    ++Resolved;
    if (OverrideAccess != otxDefault) attr.Access = OverrideAccess;
  }
  void Dispatch(tk::Message& m) override {
    switch (m.Msg) {
      case ctimQueryOptions:
        m.Result = Options.ToBits();
        break;
      case ctimQueryLockedCols:
        m.Result = LockedCols;
        break;
      case ctimQueryLockedRows:
        m.Result = LockedRows;
        break;
      case ctimQueryActiveCol:
        m.Result = ActiveCol;
        break;
      case ctimQueryActiveRow:
        m.Result = ActiveRow;
        break;
      case ctimRemoveCell:
        Removed.push_back(reinterpret_cast<TVxTableCellAncestor*>(m.LParam));
        break;
      case WM_KEYDOWN:
        Keys.push_back(static_cast<std::uint16_t>(m.WParam));
        break;
      case ctimEditorGotFocus:
      case ctimEditorLostFocus:
        Notices.push_back(m.Msg);
        break;
      default:
        TVxTableAncestor::Dispatch(m);
    }
  }
  std::vector<TVxTableCellAncestor*> Changed, Removed;
  std::vector<std::uint16_t> Keys;
  std::vector<std::uint32_t> Notices;
  std::map<std::uint16_t, TVxTblKeyNeeds> Needs;
  TVxTblOptionSet Options;
  TVxTblAccess OverrideAccess = otxDefault;
  int LockedCols = 1, LockedRows = 1, ActiveCol = 2, ActiveRow = 3, Resolved = 0;
};

// A form with its controller and a table whose window exists.
struct TableForm {
  TableForm() {
    new TVxController(form);
    table = new TestTable(form);
    table->SetName("Table1");
    table->SetColor(tk::clRed);
    table->SetBounds(0, 0, 200, 100);
    table->HandleNeeded();
  }
  ~TableForm() { delete form; }
  tk::Form* form = new tk::Form;
  TestTable* table;
};

void Flush() { QCoreApplication::sendPostedEvents(); }

TVxTblDisplayArray Numbers(std::initializer_list<int> numbers) {
  TVxTblDisplayArray da;
  for (int n : numbers) da.Items.push_back({n, n * 10});
  da.AllocCount = static_cast<std::uint16_t>(da.Items.size());
  da.Count = da.AllocCount;
  return da;
}

// ---- common types

TEST(TableCommon, AssigningADisplayArrayKeepsTheFirstEntriesAndZeroFreesIt) {
  auto da = std::make_unique<TVxTblDisplayArray>(Numbers({4, 5, 6, 7}));
  AssignDisplayArray(da, 2);
  ASSERT_TRUE(da);
  EXPECT_EQ(da->AllocCount, 2);
  EXPECT_EQ(da->Count, 2);
  EXPECT_EQ(da->Items[1].Number, 5);
  AssignDisplayArray(da, 0);
  EXPECT_FALSE(da);
}

TEST(TableCommon, AppendingGrowsBySixteenAndKeepsRoomForTheExtent) {
  std::unique_ptr<TVxTblDisplayArray> da;
  for (int i = 0; i < 10; ++i) AppendDisplayItem(da, i, i * 30);
  EXPECT_EQ(da->AllocCount, 11);
  AppendDisplayItem(da, 10, 300);  // Count reaches AllocCount
  EXPECT_EQ(da->AllocCount, 27);
  SetDisplayExtent(da, 330);
  EXPECT_EQ(DisplayExtent(*da), 330);
  EXPECT_EQ(da->Items[0].Offset, 0);
  EXPECT_EQ(da->Items[10].Number, 10);
}

TEST(TableCommon, MulDivRoundsHalfAwayFromZero) {
  struct Case {
    int a, b, c, result;
  } cases[] = {{30, 4, 3, 40}, {5, 1, 2, 3}, {-5, 1, 2, -3}, {7, 2, 4, 4}, {10, 3, 0, -1}, {INT_MAX, 2, 2, INT_MAX}};
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

TEST(TableCommon, StreamListsRoundTripAndRefuseDamage) {
  TVxStreamList list;
  list.AddInteger(-7);
  list.AddBoolean(true);
  list.AddString(std::string(300, 'x'));
  list.AddString("\xE9t\xE9");
  const TVxStreamList back = TVxStreamList::Decode(list.Encode());
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.Integer(0), -7);
  EXPECT_TRUE(back.Boolean(1));
  EXPECT_EQ(back.String(2).size(), 300u);
  EXPECT_EQ(back.String(3), "\xE9t\xE9");
  EXPECT_THROW(back.String(0), tk::EReadError);
  tk::Binary bytes = list.Encode();
  bytes.pop_back();  // no end marker
  EXPECT_THROW(TVxStreamList::Decode(bytes), tk::EReadError);
  EXPECT_THROW(TVxStreamList::Decode({0x06, 0x00}), tk::EReadError);
}

TEST(TableCommon, TableErrorsWithoutALibraryTextReadUnknown) {
  try {
    TableErrorRes(30258);
    ADD_FAILURE();
  } catch (const EVxTable& e) {
    EXPECT_EQ(e.Message(), "Unknown");
  }
}

// ---- cell registry

TEST(CellRegistry, ACellIsListedOnceAndReportsItsChanges) {
  TableForm f;
  auto* cell = new TVxTCString(f.form);
  f.table->tbIncludeCell(cell);
  f.table->tbIncludeCell(cell);
  f.table->tbIncludeCell(nullptr);
  ASSERT_EQ(f.table->CellList().size(), 1u);
  cell->SetMargin(8);
  EXPECT_EQ(f.table->Changed, std::vector<TVxTableCellAncestor*>{cell});
  f.table->tbExcludeCell(cell);
  cell->SetMargin(6);  // no longer the table's
  EXPECT_EQ(f.table->Changed.size(), 1u);
  f.table->tbIncludeCell(cell);
  delete cell;
  EXPECT_TRUE(f.table->CellList().empty());
}

TEST(CellRegistry, CellDataNamesOwnerAndCell) {
  TableForm f;
  f.form->SetName("Main");
  auto* owned = new TVxTCString(f.form);
  owned->SetName("Cell1");
  tk::Component loose(nullptr);
  auto* orphan = new TVxTCString(&loose);
  orphan->SetName("Cell2");
  f.table->tbIncludeCell(owned);
  f.table->tbIncludeCell(orphan);
  tk::Writer writer;
  const QJsonObject json = writer.WriteComponent(*f.table);
  TestTable reader(nullptr);
  tk::Reader().ReadInto(reader, json);
  ASSERT_TRUE(reader.LoadList());
  EXPECT_EQ(*reader.LoadList(), (std::vector<std::string>{"Main.Cell1", "Cell2"}));
}

// Cells stored as "<owner>.<cell>" resolved against a table on a form named `formName`.
std::vector<std::string> Resolve(const std::string& formName, const std::vector<std::string>& stored) {
  TableForm f;
  if (!formName.empty()) f.form->SetName(formName);
  (new TVxTCString(f.form))->SetName("Cell1");
  (new TVxController(f.form))->SetName("Ctl1");  // not a cell: never taken
  TVxStreamList list;
  for (const std::string& s : stored) list.AddString(s);
  const tk::Binary bytes = list.Encode();
  const QString hex =
      QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex());
  tk::Reader().ReadInto(
      *f.table, QJsonObject{{"Name", "Table1"}, {"Properties", QJsonArray{QJsonArray{"CellData", "Binary", hex}}}});
  f.table->tbFinishLoadingCellList();
  EXPECT_FALSE(f.table->LoadList());
  std::vector<std::string> found;
  for (TVxTableCellAncestor* c : f.table->CellList()) found.push_back(c->Name());
  return found;
}

TEST(CellRegistry, StoredNamesFindTheirCells) {
  struct Case {
    std::string FormName;
    std::vector<std::string> Stored;
    std::vector<std::string> Found;
  } cases[] = {
      {"Form1", {"Form1.Cell1"}, {"Cell1"}},
      {"Form1_2", {"Form1.Cell1"}, {"Cell1"}},  // a second instance of the form
      {"", {"Anything.Cell1"}, {"Cell1"}},      // a nameless host takes any owner
      {"Form1", {"Cell1"}, {"Cell1"}},          // no owner part: the host
      {"Form1", {"Other.Cell1"}, {}},           // no such form: dropped
      {"Form1", {"Form1.Ctl1", "Form1.Missing"}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Resolve(c.FormName, c.Stored), c.Found) << c.FormName << " " << c.Stored[0];
}

// ---- cell base

TEST(TableCell, TakesColourAndFontFromTheTableOnceItHasAWindow) {
  tk::Form form;
  new TVxController(&form);
  auto* table = new TestTable(&form);
  table->SetColor(tk::clRed);
  tk::Font big;
  big.SetSize(20);
  table->SetFont(big);
  TVxTCString cell(nullptr);
  cell.SetTable(table);
  EXPECT_EQ(cell.GetColor(), tk::clBtnFace);  // no window yet: still to be fetched
  table->HandleNeeded();
  EXPECT_EQ(cell.GetColor(), tk::clRed);
  EXPECT_EQ(cell.GetFont().Size(), 20);
  table->SetColor(tk::clBlue);
  table->tbIncludeCell(&cell);
  table->tbNotifyCellsOfTableChange();
  EXPECT_EQ(cell.Color(), tk::clBlue);
  cell.SetColor(tk::clBlue);  // the table's own colour, but now the cell's
  EXPECT_FALSE(cell.TableColor());
  cell.SetTableColor(true);
  EXPECT_EQ(cell.Color(), tk::clBlue);
  cell.SetTable(nullptr);
}

TEST(TableCell, ResolvingFillsTheLastDefaultsAfterTheTable) {
  TableForm f;
  TVxTCString cell(nullptr);
  cell.SetTable(f.table);
  cell.SetColor(clTblColorNotSet);
  cell.SetTextHiColor(tk::clYellow);
  tk::Font scratch;
  TVxCellAttributes attr;
  attr.Font = &scratch;
  cell.ResolveAttributes(1, 1, attr);
  EXPECT_EQ(f.table->Resolved, 1);
  EXPECT_EQ(attr.Access, otxNormal);
  EXPECT_EQ(attr.Adjust, otaCenterLeft);
  EXPECT_EQ(attr.Color, tk::clBtnFace);
  EXPECT_EQ(attr.FontHiColor, tk::clYellow);
  f.table->OverrideAccess = otxReadOnly;
  cell.ResolveAttributes(1, 1, attr);
  EXPECT_EQ(attr.Access, otxReadOnly);
  cell.SetTable(nullptr);
}

TEST(TableCell, ReferencesRegisterWithTheTable) {
  TableForm f;
  TVxTCString cell(nullptr);
  cell.AttachAndIncRefs(f.table);
  cell.IncRefs();
  EXPECT_EQ(f.table->CellList().size(), 1u);
  EXPECT_TRUE(cell.UsedByOtherTable(nullptr));
  cell.DecRefs();
  EXPECT_EQ(cell.Table(), f.table);
  cell.DecRefs();
  EXPECT_TRUE(f.table->CellList().empty());
  EXPECT_EQ(cell.Table(), nullptr);
  cell.DecRefs();  // never below 0
  EXPECT_EQ(cell.RefCount(), 0);
}

TEST(TableCell, MovingToAnotherTableTellsTheOldOne) {
  TableForm a, b;
  TVxTCString cell(nullptr);
  cell.AttachAndIncRefs(a.table);
  cell.SetTable(b.table);
  EXPECT_EQ(a.table->Removed, std::vector<TVxTableCellAncestor*>{&cell});
  EXPECT_TRUE(a.table->CellList().empty());
  EXPECT_EQ(cell.RefCount(), 0);
  cell.SetTable(nullptr);
}

TEST(TableCell, ForgetsADestroyedTable) {
  TVxTCString cell(nullptr);
  {
    TableForm f;
    cell.AttachAndIncRefs(f.table);
  }
  EXPECT_EQ(cell.Table(), nullptr);
  EXPECT_EQ(cell.RefCount(), 0);
}

TEST(TableCell, QuestionsNeedATableWithAWindow) {
  TVxTCString cell(nullptr);
  tk::Message key{WM_KEYDOWN, tk::VK_UP, 1, 0};
  EXPECT_EQ(cell.tcRetrieveTableActiveRow(), 0);
  EXPECT_EQ(cell.FilterTableKey(key), otkDontCare);
  TableForm f;
  f.table->Options = {otoTabToArrow};
  cell.SetTable(f.table);
  EXPECT_EQ(cell.tcRetrieveTableActiveRow(), 3);
  EXPECT_EQ(cell.tcRetrieveTableLockedCols(), 1);
  EXPECT_TRUE(cell.TableWantsTab());
  EXPECT_FALSE(cell.TableWantsEnter());
  cell.SetTable(nullptr);
}

TEST(TableCell, OwnerDrawingReplacesPainting) {
  QImage image(20, 20, QImage::Format_RGB32);
  image.fill(Qt::white);
  tk::Canvas canvas(&image);
  TVxTCString cell(nullptr);
  TVxCellAttributes attr;
  attr.Color = tk::clBlue;
  cell.OnOwnerDraw = [](TVxBaseTableCell*, tk::Canvas&, const tk::Rect&, int, int, const TVxCellAttributes&, void*,
                        bool& done) { done = true; };
  cell.Paint(canvas, {0, 0, 20, 20}, 1, 1, attr, nullptr);
  canvas.Flush();
  EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
  cell.OnOwnerDraw = nullptr;
  cell.Paint(canvas, {0, 0, 20, 20}, 1, 1, attr, nullptr);
  canvas.Flush();
  EXPECT_EQ(image.pixel(5, 5), qRgb(0, 0, 255));
}

// ---- cell matrix

TEST(CellMatrix, ARecordWithNothingSetDisappears) {
  TVxTableCells cells(nullptr);
  int notices = 0;
  cells.OnChange = [&](TVxTableCells*) { ++notices; };
  cells.SetColor(2, 3, tk::clRed);
  cells.SetAdjust(2, 4, otaCenter);
  EXPECT_EQ(cells.RecordCount(), 2);
  cells.SetColor(2, 3, clTblColorNotSet);
  EXPECT_EQ(cells.RecordCount(), 1);
  EXPECT_EQ(cells.ResolveFullAttr(2, 3).Color, clTblColorNotSet);
  tk::Font font;
  cells.SetFont(2, 4, &font);
  EXPECT_NE(cells.Font(2, 4), &font);  // a private copy
  cells.ResetCell(2, 4);
  EXPECT_EQ(cells.RecordCount(), 0);
  EXPECT_EQ(notices, 5);
}

TEST(CellMatrix, RowsAndColumnsMoveWithTheirRecords) {
  TVxTableCells cells(nullptr);
  cells.SetAccess(1, 1, otxReadOnly);
  cells.SetAccess(5, 2, otxInvisible);
  cells.InsertRow(0);
  EXPECT_EQ(cells.Access(2, 1), otxReadOnly);
  cells.DeleteRow(2);
  EXPECT_EQ(cells.RecordCount(), 1);
  EXPECT_EQ(cells.Access(5, 2), otxInvisible);
  cells.ExchangeCols(2, 0);
  EXPECT_EQ(cells.Access(5, 0), otxInvisible);
  cells.InsertCol(0);
  EXPECT_EQ(cells.Access(5, 1), otxInvisible);
  cells.DeleteCol(1);
  EXPECT_EQ(cells.RecordCount(), 0);
  cells.SetAccess(3, 3, otxNormal);
  cells.ExchangeRows(3, 7);
  EXPECT_EQ(cells.Access(7, 3), otxNormal);
}

TEST(CellMatrix, CellOverridesHoldReferences) {
  TableForm f, other;
  TVxTableCells cells(f.table);
  TVxTCString cell(nullptr), foreign(nullptr);
  foreign.AttachAndIncRefs(other.table);
  cells.SetCell(0, 0, &cell);
  cells.SetCell(4, 4, &cell);
  cells.SetCell(1, 1, &foreign);  // used by another table: refused
  EXPECT_EQ(cell.RefCount(), 2);
  EXPECT_EQ(cell.Table(), f.table);
  EXPECT_EQ(cells.Cell(1, 1), nullptr);
  cells.tcNotifyCellDeletion(&cell);
  EXPECT_EQ(cell.RefCount(), 0);
  EXPECT_EQ(cells.RecordCount(), 0);
  EXPECT_TRUE(f.table->CellList().empty());
  foreign.DecRefs();
}

// ---- check glyphs

TEST(CheckGlyphs, CountFollowsTheBitmapShape) {
  struct Case {
    int Width, Height, Count;
  } cases[] = {{60, 20, 3}, {50, 20, 1}, {20, 20, 1}, {7, 0, 1}};
  for (const Case& c : cases) {
    TVxCellGlyphs glyphs;
    QImage bitmap(c.Width, c.Height, QImage::Format_RGB32);
    glyphs.SetBitMap(&bitmap);
    EXPECT_EQ(glyphs.GlyphCount(), c.Count) << c.Width << "x" << c.Height;
    EXPECT_EQ(glyphs.ActiveGlyphCount(), c.Count);
  }
  TVxCellGlyphs standard;
  EXPECT_TRUE(standard.IsDefault());
  EXPECT_EQ(standard.GlyphCount(), 3);  // unchecked, checked, grayed
  standard.SetActiveGlyphCount(4);
  EXPECT_EQ(standard.ActiveGlyphCount(), 3);
}

TEST(CheckGlyphs, AssignedSetsShareOneBitmap) {
  TGlyphResourceManager& manager = TGlyphResourceManager::Instance();
  const int shared = manager.SharedCount(), defaultRefs = manager.DefaultRefCount();
  {
    TVxCellGlyphs a, b;
    QImage bitmap(40, 20, QImage::Format_RGB32);
    a.SetBitMap(&bitmap);
    b.Assign(&a);
    a.Assign(&b);
    EXPECT_EQ(manager.SharedCount(), shared + 1);
    EXPECT_EQ(&a.BitMap(), &b.BitMap());
    EXPECT_EQ(b.GlyphCount(), 2);
    b.SetIsDefault(true);
    EXPECT_TRUE(b.IsDefault());
  }
  EXPECT_EQ(manager.SharedCount(), shared);
  EXPECT_EQ(manager.DefaultRefCount(), defaultRefs);
  EXPECT_FALSE(TVxCellGlyphs().BitMap().isNull());
}

// ---- painting

// The leftmost and rightmost columns holding a pixel of `color`.
std::pair<int, int> Span(const QImage& image, QRgb color) {
  int left = INT_MAX, right = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == color) left = std::min(left, x), right = std::max(right, x);
  return {left, right};
}

struct PaintRig {
  PaintRig(int width = 120, int height = 30) : image(width, height, QImage::Format_RGB32) {
    font.SetName("DejaVu Sans");
    font.SetHeight(-12);
    attr.Font = &font;
    attr.Color = tk::clWhite;
    attr.FontColor = tk::clBlack;
    attr.FontHiColor = tk::clRed;
    attr.Access = otxNormal;
  }
  QImage Paint(TVxBaseTableCell& cell, const void* data, int row = 1, int col = 1) {
    image.fill(Qt::gray);
    tk::Canvas canvas(&image);
    canvas.TextAntialias = false;
    cell.Paint(canvas, {0, 0, image.width(), image.height()}, row, col, attr, const_cast<void*>(data));
    canvas.Flush();
    return image;
  }
  QImage image;
  tk::Font font;
  TVxCellAttributes attr;
};

TEST(StringCell, TooLongCentredTextStartsAtTheLeftUnlessWrapped) {
  PaintRig rig;
  TVxTCString cell(nullptr);
  cell.SetUseASCIIZStrings(true);
  rig.attr.Adjust = otaCenter;
  const char* shortText = "ab";
  const int shortLeft = Span(rig.Paint(cell, shortText), qRgb(0, 0, 0)).first;
  EXPECT_GT(shortLeft, 40);
  const char* longText = "a rather long text that does not fit";
  const QImage centred = rig.Paint(cell, longText);
  rig.attr.Adjust = otaCenterLeft;
  EXPECT_EQ(centred, rig.Paint(cell, longText));
  rig.attr.Adjust = otaTopCenter;
  cell.SetUseWordWrap(true);
  const char* word = "centred";
  EXPECT_GT(Span(rig.Paint(cell, word), qRgb(0, 0, 0)).first, 20);
}

TEST(StringCell, RaisedTextPutsTheHighlightUpAndLeft) {
  PaintRig rig;
  TVxTCString cell(nullptr);
  TVxShortString data{};
  SetShortString(data.data(), "I");
  rig.attr.Adjust = otaCenter;
  for (TVxTextStyle style : {tsRaised, tsLowered}) {
    rig.attr.TextStyle = style;
    const QImage image = rig.Paint(cell, data.data());
    const auto red = Span(image, qRgb(255, 0, 0)), black = Span(image, qRgb(0, 0, 0));
    ASSERT_GE(red.second, 0);
    if (style == tsRaised)
      EXPECT_LT(red.first, black.first);
    else
      EXPECT_GT(red.second, black.second);
  }
}

TEST(StringCell, PaintsNothingButTheBackgroundWhenInvisibleOrWithoutData) {
  PaintRig rig;
  TVxTCString cell(nullptr);
  TVxShortString data{};
  SetShortString(data.data(), "text");
  rig.attr.Access = otxInvisible;
  EXPECT_EQ(Span(rig.Paint(cell, data.data()), qRgb(0, 0, 0)).second, -1);
  rig.attr.Access = otxNormal;
  EXPECT_EQ(Span(rig.Paint(cell, nullptr), qRgb(0, 0, 0)).second, -1);
  cell.SetDesigning(true);  // the designer shows "row:column"
  EXPECT_GE(Span(rig.Paint(cell, nullptr), qRgb(0, 0, 0)).second, 0);
}

TEST(HeadingCells, ColumnLettersCountFromTheFirstUnlockedColumn) {
  struct Case {
    int N;
    const char* Letters;
  } cases[] = {{0, ""}, {1, "A"}, {26, "Z"}, {27, "AA"}, {52, "AZ"}, {53, "BA"}, {702, "ZZ"}, {703, "AAA"}};
  for (const Case& c : cases) EXPECT_EQ(ColumnLetters(c.N), c.Letters) << c.N;
  TVxTCColHead head(nullptr);
  EXPECT_EQ(head.HeadingText(27, 1, nullptr), "AA");
  EXPECT_EQ(head.HeadingText(0, 1, nullptr), "");  // a locked column
  head.SetShowLetters(false);
  head.SetHeadings({"Name", "Value"});
  EXPECT_EQ(head.HeadingText(1, 1, nullptr), "Value");
  EXPECT_EQ(head.HeadingText(5, 1, nullptr), "");
}

TEST(HeadingCells, HeadingsFollowTheColumns) {
  TVxTCColHead head(nullptr);
  head.SetHeadings({"a", "b", "c"});
  head.tcColumnsChanged(1, 0, taInsert);
  head.tcColumnsChanged(4, 0, taInsert);  // at the end: appended
  EXPECT_EQ(head.Headings(), (std::vector<std::string>{"a", "", "b", "c", ""}));
  head.tcColumnsChanged(0, 0, taDelete);
  head.tcColumnsChanged(0, 6, taExchange);  // padded first
  EXPECT_EQ(head.Headings(), (std::vector<std::string>{"", "b", "c", "", "", "", ""}));
}

TEST(HeadingCells, MarkersShowTheActiveRowAndColumn) {
  TableForm f;
  PaintRig rig(60, 30);
  TVxTCColHead colHead(nullptr);
  TVxTCRowHead rowHead(nullptr);
  colHead.SetTable(f.table);
  rowHead.SetTable(f.table);
  colHead.SetShowActiveCol(true);
  rowHead.SetShowActiveRow(true);
  rig.attr.Adjust = otaCenter;
  const auto col = Span(rig.Paint(colHead, nullptr, 0, f.table->ActiveCol), qRgb(0, 0, 0));
  EXPECT_EQ(col.second - col.first + 1, 10);  // min(60, 30) div 3
  const auto row = Span(rig.Paint(rowHead, nullptr, f.table->ActiveRow, 0), qRgb(0, 0, 0));
  EXPECT_EQ(row.second - row.first + 1, 5);  // a 10-pixel side points right
  const QImage numbered = rig.Paint(rowHead, nullptr, 4, 0);
  EXPECT_GE(Span(numbered, qRgb(0, 0, 0)).second, 0);
  colHead.SetTable(nullptr);
  rowHead.SetTable(nullptr);
}

TEST(StringCell, Screenshot) {
  TableForm f;
  PaintRig rig(480, 120);
  QImage& image = rig.image;
  image.fill(Qt::white);
  tk::Canvas canvas(&image);
  TVxTCColHead colHead(nullptr);
  TVxTCRowHead rowHead(nullptr);
  TVxTCString text(nullptr);
  colHead.SetTable(f.table);
  rowHead.SetTable(f.table);
  rowHead.SetShowActiveRow(true);
  rig.attr.Color = tk::clBtnFace;
  TVxShortString data{};
  for (int col = 0; col < 4; ++col) {
    rig.attr.Adjust = otaCenter;
    colHead.Paint(canvas, {col * 120, 0, col * 120 + 119, 29}, 0, col, rig.attr, nullptr);
  }
  const TVxTblAdjust adjusts[] = {otaTopLeft, otaCenter, otaBottomRight};
  const TVxTextStyle styles[] = {tsFlat, tsRaised, tsLowered};
  for (int row = 1; row < 4; ++row) {
    rig.attr.Color = tk::clBtnFace;
    rig.attr.Adjust = otaCenter;
    rowHead.Paint(canvas, {0, row * 30, 119, row * 30 + 29}, row, 0, rig.attr, nullptr);
    for (int col = 1; col < 4; ++col) {
      rig.attr.Color = tk::clWhite;
      rig.attr.Adjust = adjusts[col - 1];
      rig.attr.TextStyle = styles[row - 1];
      SetShortString(data.data(), col == 2 && row == 3 ? "centred but far too long to fit" : "Cell text");
      text.Paint(canvas, {col * 120, row * 30, col * 120 + 119, row * 30 + 29}, row, col, rig.attr, data.data());
    }
  }
  canvas.Flush();
  EXPECT_TRUE(testing_support::SaveShot(image, "table_cells.png"));
  colHead.SetTable(nullptr);
  rowHead.SetTable(nullptr);
}

// ---- editing

struct EditRig : TableForm {
  EditRig() {
    form->SetBounds(0, 0, 300, 120);
    form->show();
    attr.Font = &font;
    attr.Color = tk::clWhite;
    attr.FontColor = tk::clBlack;
  }
  void Start(TVxBaseTableCell& cell, void* data, TVxTblEditorStyle style = tesNormal) {
    cell.SetTable(table);
    cell.StartEditing(1, 1, {10, 10, 110, 40}, attr, style, data);
    Flush();
  }
  void Press(QWidget* editor, Qt::Key key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(editor, &press);
    Flush();
  }
  tk::Font font;
  TVxCellAttributes attr;
};

TEST(StringEditing, MaxLengthZeroTypesFreelyButSavesNothing) {
  EditRig rig;
  TVxTCString cell(nullptr);
  TVxShortString data{};
  SetShortString(data.data(), "old");
  rig.Start(cell, data.data());
  ASSERT_TRUE(cell.Editor());
  EXPECT_EQ(cell.Editor()->Text(), "old");
  testing_support::Type(cell.Editor(), QString(40, 'x'));
  EXPECT_EQ(cell.Editor()->Text().size(), 43u);
  EXPECT_TRUE(cell.GetModified());
  cell.StopEditing(true, data.data());
  EXPECT_EQ(ShortStringText(data.data()), "");
  EXPECT_FALSE(cell.Editor());
}

TEST(StringEditing, SavedTextFitsTheBuffer) {
  EditRig rig;
  TVxTCString cell(nullptr);
  cell.SetMaxLength(4);
  cell.SetUseASCIIZStrings(true);
  char buffer[8] = "ab";
  rig.Start(cell, buffer);
  cell.Editor()->SetText("abcd");
  cell.SaveEditedData(buffer);  // during the edit as at its end: MaxLength characters
  EXPECT_STREQ(buffer, "abcd");
  std::strcpy(buffer, "ab");
  cell.StopEditing(true, buffer);
  EXPECT_STREQ(buffer, "abcd");
}

TEST(StringEditing, KeysTheTableWantsGoThere) {
  EditRig rig;
  TVxTCString cell(nullptr);
  cell.SetAutoAdvanceLeftRight(true);
  for (std::uint16_t key : {tk::VK_UP, tk::VK_LEFT, tk::VK_RIGHT}) rig.table->Needs[key] = otkWouldLike;
  rig.table->Needs[tk::VK_ESCAPE] = otkMustHave;
  TVxShortString data{};
  SetShortString(data.data(), "abc");
  rig.Start(cell, data.data());
  TVxTCStringEdit* editor = cell.Editor();
  editor->setCursorPosition(1);
  rig.Press(editor, Qt::Key_Left);  // inside the text: the editor moves
  rig.Press(editor, Qt::Key_Left);  // at the start: the table
  rig.Press(editor, Qt::Key_Up);
  rig.Press(editor, Qt::Key_Escape);
  editor->setSelection(1, 2);  // ends at the end but starts inside: stays
  rig.Press(editor, Qt::Key_Right);
  rig.Press(editor, Qt::Key_Return);  // nobody's: swallowed
  EXPECT_EQ(rig.table->Keys, (std::vector<std::uint16_t>{tk::VK_LEFT, tk::VK_UP, tk::VK_ESCAPE}));
  EXPECT_EQ(editor->Text(), "abc");
}

TEST(StringEditing, AFullFieldAdvancesToTheNextCell) {
  EditRig rig;
  TVxTCString cell(nullptr);
  cell.SetMaxLength(3);
  cell.SetAutoAdvanceChar(true);
  int changes = 0;
  cell.OnChange = [&](tk::Component*) { ++changes; };
  TVxShortString data{};
  rig.Start(cell, data.data());
  testing_support::Type(cell.Editor(), "abcd");
  Flush();
  EXPECT_EQ(cell.Editor()->Text(), "abc");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(rig.table->Keys, (std::vector<std::uint16_t>{tk::VK_RIGHT, tk::VK_RIGHT}));
}

TEST(StringEditing, FocusNoticesReachTheTable) {
  EditRig rig;
  TVxTCString cell(nullptr);
  TVxShortString data{};
  rig.Start(cell, data.data());
  rig.form->activateWindow();
  cell.Editor()->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(cell.Editor()->hasFocus());
  rig.table->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(rig.table->Notices, (std::vector<std::uint32_t>{ctimEditorGotFocus, ctimEditorLostFocus}));
  cell.EditHide();
  EXPECT_TRUE(cell.Editor()->isHidden());
  cell.EditMove({0, 0, 50, 20});
  EXPECT_EQ(cell.Editor()->geometry(), QRect(0, 0, 50, 20));
}

TEST(MemoEditing, ReturnsAreTheMemosOnlyWhenItWantsThem) {
  EditRig rig;
  TVxTCMemo cell(nullptr);
  rig.table->Needs[tk::VK_RETURN] = otkWouldLike;
  char buffer[16] = "one";
  rig.Start(cell, buffer, tes3D);
  TVxTCMemoEdit* editor = cell.Editor();
  ASSERT_TRUE(editor);
  EXPECT_TRUE(editor->isVisible());
  editor->moveCursor(QTextCursor::End);
  rig.Press(editor, Qt::Key_Return, "\r");
  EXPECT_EQ(rig.table->Keys, std::vector<std::uint16_t>{tk::VK_RETURN});
  cell.StopEditing(false, buffer);
  cell.SetWantReturns(true);
  rig.Start(cell, buffer);
  cell.Editor()->moveCursor(QTextCursor::End);
  rig.Press(cell.Editor(), Qt::Key_Return, "\r");
  testing_support::Type(cell.Editor(), "two");
  cell.SetMaxLength(6);
  cell.StopEditing(true, buffer);  // a buffer of MaxLength characters
  EXPECT_STREQ(buffer, "one\nt");
}

TEST(StringEditing, Screenshot) {
  EditRig rig;
  TVxTCString cell(nullptr);
  TVxTCMemo memo(nullptr);
  TVxShortString data{};
  SetShortString(data.data(), "Edited in place");
  rig.attr.Color = tk::clYellow;
  rig.Start(cell, data.data(), tesBorder);
  char text[] = "A memo\nof two lines";
  memo.SetTable(rig.table);
  memo.StartEditing(1, 2, {120, 10, 260, 70}, rig.attr, tes3D, text);
  EXPECT_TRUE(testing_support::Shoot(rig.form, "table_editors.png"));

  // Both editors stand in their cells on the cell's colour, the string's text on one line, the memo's on two
  // (the table, 200 wide, cuts the memo off).
  const QImage shown = rig.form->grab().toImage();
  const struct {
    QRect Place;
    int Lines;
  } editors[] = {{QRect(10, 10, 100, 30), 1}, {QRect(120, 10, 80, 60), 2}};
  for (const auto& e : editors) {
    EXPECT_EQ(shown.pixel(e.Place.bottomRight() - QPoint(3, 3)), qRgb(255, 255, 0)) << e.Lines;
    QRect ink;
    for (int y = e.Place.top() + 3; y < e.Place.bottom() - 2; ++y)
      for (int x = e.Place.left() + 3; x < e.Place.right() - 2; ++x)
        if (qGray(shown.pixel(x, y)) < 100) ink |= QRect(x, y, 1, 1);
    EXPECT_GT(ink.width(), 40) << e.Lines;
    EXPECT_GT(ink.height(), 8 * e.Lines) << e.Lines;
    EXPECT_LT(ink.height(), 20 * e.Lines) << e.Lines;
  }
}

}  // namespace
