#include "controls/table.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "controls/controller.h"
#include "controls/entry_field_model.h"
#include "controls/table_cells.h"
#include "support/user_input.h"
#include "tk/filer.h"

namespace {

using namespace controls;

void Flush() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A shown, active form with a line edit before a table of 30 rows and 12 columns of 20 by 60 pixels: column
// headings, row headings and string cells over texts "r:c" the test can read back. The client area is 180
// pixels high: the heading row and rows 1 to 8 fill it exactly.
struct Rig {
  explicit Rig(int width = 400, int clientHeight = 180) {
    form->SetName("Form1");
    new TVxController(form);
    before = new QLineEdit(form);
    before->setGeometry(0, 0, 100, 20);
    colHead = new TVxTCColHead(form);
    colHead->SetName("ColHead");
    rowHead = new TVxTCRowHead(form);
    rowHead->SetName("RowHead");
    text = new TVxTCString(form);
    text->SetName("Text");
    text->SetMaxLength(20);
    table = new TVxTable(form);
    table->SetName("Table1");
    table->SetBounds(0, 30, width, 200);
    const int height = clientHeight + table->height() - table->ClientHeight();
    table->SetBounds(0, 30, width, height);
    table->Rows().SetDefHeight(20);
    table->SetRowLimit(30);
    table->SetColCount(12);
    for (int c = 0; c < table->ColCount(); ++c) {
      table->Columns().SetWidth(c, 60);
      table->Columns().SetDefaultCell(c, c == 0 ? static_cast<TVxBaseTableCell*>(rowHead) : text);
    }
    table->SetLockedRowsCell(colHead);
    for (int r = 0; r < 30; ++r)
      for (int c = 0; c < 12; ++c) SetShortString(data[{r, c}].data(), std::to_string(r) + ":" + std::to_string(c));
    table->OnGetCellData = [this](tk::Component*, int r, int c, void*& d, TVxCellDataPurpose purpose) {
      d = data[{r, c}].data();
      if (purpose == cdpForPaint) {
        ++painted;
        paintedCells.insert({r, c});
      }
      if (purpose != cdpForPaint) log.push_back(purpose == cdpForEdit ? "data for edit" : "data for save");
    };
    form->SetBounds(0, 0, width + 20, height + 50);
    form->show();
    form->activateWindow();
    table->setFocus();
    Flush();
  }
  ~Rig() { delete form; }

  std::string Text(int r, int c) { return ShortStringText(data[{r, c}].data()); }
  QPoint At(int r, int c) {
    const tk::Rect cell = table->Layout().CellRect(r, c);
    return table->ClientToWidget({(cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2});
  }
  QWidget* Focused() { return QApplication::focusWidget() ? QApplication::focusWidget() : table; }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& typed = {}) {
    QWidget* target = Focused();
    QKeyEvent press(QEvent::KeyPress, key, modifiers, typed);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, typed);
    QApplication::sendEvent(Focused(), &release);
    Flush();
  }
  void Mouse(QEvent::Type type, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             Qt::MouseButtons held = Qt::LeftButton) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(table->mapToGlobal(at)), button, held, modifiers);
    QApplication::sendEvent(table, &event);
  }
  void Click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, at, modifiers);
    Mouse(QEvent::MouseButtonRelease, at, modifiers, Qt::NoButton);
    Flush();
  }
  std::pair<int, int> Active() const { return {table->ActiveRow(), table->ActiveCol()}; }
  TVxTCStringEdit* Editor() const { return text->Editor(); }
  QRgb Pixel(int r, int c) {
    table->grab();
    const tk::Rect cell = table->Layout().CellRect(r, c);
    return table->Surface().pixel(cell.Right - 4, cell.Top + 3);
  }

  tk::Form* form = new tk::Form;
  QLineEdit* before;
  TVxTCColHead* colHead;
  TVxTCRowHead* rowHead;
  TVxTCString* text;
  TVxTable* table;
  std::map<std::pair<int, int>, TVxShortString> data;
  std::vector<std::string> log;
  int painted = 0;
  std::set<std::pair<int, int>> paintedCells;
};

QRgb Rgb(tk::TColor color) { return tk::ToQColor(color).rgb(); }

// ---- navigation

TEST(TableNavigation, KeysMoveTheActiveCell) {
  struct Case {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    std::pair<int, int> Expected;
  } cases[] = {
      {Qt::Key_Right, Qt::NoModifier, {2, 3}},       {Qt::Key_Left, Qt::NoModifier, {2, 1}},
      {Qt::Key_Up, Qt::NoModifier, {1, 2}},          {Qt::Key_Down, Qt::NoModifier, {3, 2}},
      {Qt::Key_Home, Qt::NoModifier, {2, 1}},        {Qt::Key_End, Qt::NoModifier, {2, 11}},
      {Qt::Key_Home, Qt::ControlModifier, {1, 2}},   {Qt::Key_End, Qt::ControlModifier, {29, 2}},
      {Qt::Key_Up, Qt::ControlModifier, {1, 1}},     {Qt::Key_Down, Qt::ControlModifier, {29, 11}},
      {Qt::Key_PageUp, Qt::ControlModifier, {1, 2}},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.table->SetActiveCell(2, 2);
    rig.Key(c.Key, c.Modifiers);
    EXPECT_EQ(rig.Active(), c.Expected) << c.Key << " " << c.Modifiers;
    // The active cell is always shown whole.
    const int top = rig.table->GetRowOffset(rig.table->ActiveRow());
    ASSERT_GE(top, 0);
    EXPECT_LE(top + 20, rig.table->ClientHeight());
  }
}

TEST(TableNavigation, AMoveGoingNowhereIsStillAnnounced) {
  Rig rig;
  std::vector<std::uint16_t> commands;
  rig.table->OnActiveCellMoving = [&](tk::Component*, std::uint16_t command, int&, int&) {
    commands.push_back(command);
  };
  rig.table->SetActiveCell(3, 1);
  rig.Key(Qt::Key_Left);
  EXPECT_EQ(rig.Active(), (std::pair{3, 1}));
  EXPECT_EQ(commands, (std::vector<std::uint16_t>{ccSetActiveCell, ccLeft}));
}

TEST(TableNavigation, TheMouseAnnouncesItsMovesWithTheTablesMouseCommand) {
  // Beside the entry fields' mouse commands, which have names of their own.
  static_assert(ccTableMouse == 250 && ccMouseMove == 251);
  Rig rig;
  rig.table->SetOptions({otoMouseDragSelect});
  std::vector<std::uint16_t> commands;
  rig.table->OnActiveCellMoving = [&](tk::Component*, std::uint16_t command, int&, int&) {
    commands.push_back(command);
  };
  rig.Mouse(QEvent::MouseButtonPress, rig.At(2, 2));
  rig.Mouse(QEvent::MouseMove, rig.At(4, 3));
  EXPECT_EQ(commands, (std::vector<std::uint16_t>{ccTableMouse, ccTableMouse}));
}

TEST(TableNavigation, AMovingHandlerRedirectsOrCancels) {
  Rig rig;
  std::pair<int, int> redirect{-1, -1};
  rig.table->OnActiveCellMoving = [&](tk::Component* sender, std::uint16_t, int& row, int& col) {
    if (redirect.first < 0) return;
    auto* t = static_cast<TVxTable*>(sender);
    row = redirect.first == 0 ? t->ActiveRow() : redirect.first;
    col = redirect.first == 0 ? t->ActiveCol() : redirect.second;
  };
  int changes = 0;
  rig.table->OnActiveCellChanged = [&](tk::Component*, int, int) { ++changes; };
  redirect = {0, 0};  // stay
  rig.Key(Qt::Key_Down);
  EXPECT_EQ(rig.Active(), (std::pair{1, 1}));
  EXPECT_EQ(changes, 0);
  redirect = {5, 4};
  rig.Key(Qt::Key_Down);
  EXPECT_EQ(rig.Active(), (std::pair{5, 4}));
  EXPECT_EQ(changes, 1);
}

TEST(TableNavigation, TabWorksAsAnArrowWhenAsked) {
  Rig rig;
  rig.table->SetActiveCell(2, 3);
  rig.Key(Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), rig.table);  // an ordinary Tab leaves the table
  rig.table->setFocus();
  rig.table->SetOptions({otoTabToArrow});
  rig.Key(Qt::Key_Tab);
  EXPECT_EQ(rig.Active(), (std::pair{2, 4}));
  rig.Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(rig.Active(), (std::pair{2, 3}));
  rig.Key(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(rig.Active(), (std::pair{2, 3}));
  EXPECT_EQ(QApplication::focusWidget(), rig.table);
}

TEST(TableNavigation, PagingDownFromTheLastShownRowStartsAtTheNextOne) {
  Rig rig;
  const TVxTableAxis& rows = rig.table->Layout().RowAxis();
  const int last = rows.LastDisplayed();
  rig.table->SetActiveRow(last);
  ASSERT_EQ(rig.table->TopRow(), 1);
  rig.Key(Qt::Key_PageDown);
  EXPECT_EQ(rig.table->TopRow(), last + 1);
  EXPECT_EQ(rig.table->ActiveRow(), rows.LastDisplayed());  // the same place on the page
  rig.Key(Qt::Key_PageUp);
  EXPECT_EQ(rig.table->TopRow(), 2);  // the old top row is the last one shown
  EXPECT_EQ(rig.table->ActiveRow(), 9);
}

TEST(TableNavigation, DownFromAWholeLastRowScrollsByOneRow) {
  Rig rig;
  rig.table->SetActiveRow(8);  // the rows end exactly at the bottom edge
  rig.Key(Qt::Key_Down);
  EXPECT_EQ(rig.Active(), (std::pair{9, 1}));
  EXPECT_EQ(rig.table->TopRow(), 2);
  rig.table->SetActiveCol(5);  // the columns end inside column 6
  rig.Key(Qt::Key_Right);
  EXPECT_EQ(rig.table->ActiveCol(), 6);
  EXPECT_EQ(rig.table->LeftCol(), 2);
}

TEST(TableNavigation, ScrollBarsMoveTheTopLeftCell) {
  Rig rig;
  QScrollBar* bar = rig.table->VerticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->minimum(), 1);
  EXPECT_EQ(bar->maximum(), rig.table->LastTopRow());
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(rig.table->TopRow(), 2);
  EXPECT_EQ(bar->value(), 2);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(rig.table->TopRow(), 9);  // the last row shown becomes the top one
  EXPECT_EQ(bar->value(), 9);
  rig.table->HorizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(rig.table->LeftCol(), 2);
  EXPECT_EQ(rig.Active(), (std::pair{1, 1}));  // scrolling leaves the active cell
}

TEST(TableNavigation, TheWheelMovesTheActiveCell) {
  struct Case {
    int Delta;
    Qt::KeyboardModifiers Modifiers;
    int Row;
  } cases[] = {{-120, Qt::NoModifier, 6},
               {120, Qt::NoModifier, 4},
               {0, Qt::NoModifier, 4},
               {-120, Qt::ControlModifier, 12},
               {120, Qt::ControlModifier, 1}};
  for (const Case& c : cases) {
    Rig rig;
    rig.table->SetActiveRow(5);
    const QPoint at = rig.At(5, 2);
    QWheelEvent wheel(at, rig.table->mapToGlobal(at), QPoint(), QPoint(0, c.Delta), Qt::NoButton, c.Modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(rig.table, &wheel);
    EXPECT_EQ(rig.table->ActiveRow(), c.Row) << c.Delta << " " << c.Modifiers;
  }
}

TEST(TableLayoutSetters, ScrollBarsAndBorderShapeTheClientArea) {
  Rig rig;
  const int width = rig.table->width();
  const int bar = rig.table->VerticalScrollBar()->width();
  EXPECT_EQ(rig.table->ClientWidth(), width - 4 - bar);
  rig.table->SetScrollBars(TScrollStyle::ssHorizontal);
  EXPECT_FALSE(rig.table->VerticalScrollBar()->isVisible());
  EXPECT_EQ(rig.table->ClientWidth(), width - 4);
  rig.table->SetCtl3D(false);
  EXPECT_EQ(rig.table->ClientWidth(), width - 2);
  rig.table->SetBorderStyle(TBorderStyle::bsNone);
  EXPECT_EQ(rig.table->ClientWidth(), width);
  EXPECT_EQ(rig.table->Layout().ColAxis().ClientExtent, width);
  rig.table->grab();
  EXPECT_EQ(rig.table->Surface().width(), width);
}

TEST(TableNavigation, ATopLeftHandlerChoosesTheCell) {
  Rig rig;
  rig.table->OnTopLeftCellChanging = [](tk::Component*, int& row, int& col) {
    row = 7;
    col = 3;
  };
  std::vector<std::pair<int, int>> changed;
  rig.table->OnTopLeftCellChanged = [&](tk::Component*, int row, int col) { changed.push_back({row, col}); };
  rig.table->SetTopRow(2);
  EXPECT_EQ(rig.table->TopRow(), 7);
  EXPECT_EQ(rig.table->LeftCol(), 3);
  EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{7, 3}}));
}

TEST(TableLayoutSetters, LockedCountsStayBelowTheCounts) {
  Rig rig;
  rig.table->SetLockedCols(12);
  rig.table->SetColCount(1);
  EXPECT_EQ(rig.table->LockedCols(), 1);
  EXPECT_EQ(rig.table->ColCount(), 12);
  rig.table->SetLeftCol(5);
  rig.table->SetActiveCol(5);
  rig.table->SetLockedCols(3);
  EXPECT_EQ(rig.table->LeftCol(), 5);
  rig.table->SetLockedCols(6);
  EXPECT_EQ(rig.table->LeftCol(), 6);
  EXPECT_EQ(rig.table->ActiveCol(), 6);  // moved off the new locked area
  rig.table->SetColCount(8);
  EXPECT_EQ(rig.table->ColCount(), 8);
  EXPECT_EQ(rig.table->Layout().ColAxis().Last, 7);
}

TEST(TableLayoutSetters, ShrinkingPutsTheActiveCellAndAnchorOnTheNewLastLine) {
  for (bool columns : {true, false}) {
    SCOPED_TRACE(columns ? "columns" : "rows");
    Rig rig;
    rig.table->SetActiveCell(columns ? 3 : 25, columns ? 10 : 3);
    if (columns)
      rig.table->SetColCount(8);
    else
      rig.table->SetRowLimit(20);
    const std::pair<int, int> last = columns ? std::pair{3, 7} : std::pair{19, 3};
    EXPECT_EQ(rig.Active(), last);
    EXPECT_EQ((std::pair{rig.table->SelectionAnchorRow(), rig.table->SelectionAnchorCol()}), last);
  }
}

// Without a window the locked counts are checked too, and what a form stream read is checked once it is in:
// a locked area as large as the table would make the first paint index past the rows and columns.
TEST(TableLayoutSetters, LockedCountsAreCheckedBeforeTheWindowExists) {
  tk::Form form;
  auto* table = new TVxTable(&form);
  table->SetRowLimit(6);
  table->SetColCount(4);
  table->SetLockedRows(6);
  table->SetLockedCols(4);
  table->SetLockedCols(-1);
  EXPECT_EQ(table->LockedRows(), 1);
  EXPECT_EQ(table->LockedCols(), 1);
  table->SetLockedCols(3);
  EXPECT_EQ(table->LockedCols(), 3);
  table->SetLoadingState();
  table->SetLockedRows(9);  // the row limit may still be on its way
  table->SetLockedCols(7);
  EXPECT_EQ(table->LockedRows(), 9);
  table->Loaded();
  ASSERT_LT(table->LockedRows(), table->RowLimit());
  ASSERT_LT(table->LockedCols(), table->ColCount());
  form.SetBounds(0, 0, 300, 200);
  table->SetBounds(0, 0, 300, 200);
  form.show();
  Flush();
  table->grab();
  EXPECT_GE(table->TopRow(), table->LockedRows());
  EXPECT_GE(table->LeftCol(), table->LockedCols());
}

TEST(TableLayoutSetters, EnlargingPullsTheLeftColumnBack) {
  Rig rig;
  rig.table->SetLeftCol(9);
  ASSERT_EQ(rig.table->LeftCol(), 7);  // the last page's left column
  rig.table->SetBounds(0, 30, 900, rig.table->height());
  EXPECT_EQ(rig.table->LeftCol(), 1);
  EXPECT_EQ(rig.table->LastLeftCol(), 1);
}

// ---- selection

TEST(TableSelection, ShiftedMovesExtendFromTheAnchor) {
  Rig rig;
  rig.table->SetActiveCell(2, 2);
  rig.Key(Qt::Key_Down, Qt::ShiftModifier);
  rig.Key(Qt::Key_Right, Qt::ShiftModifier);
  for (int r = 1; r <= 4; ++r)
    for (int c = 1; c <= 4; ++c)
      EXPECT_EQ(rig.table->InSelection(r, c), r >= 2 && r <= 3 && c >= 2 && c <= 3) << r << "," << c;
  rig.Key(Qt::Key_Up, Qt::ShiftModifier);  // back onto the anchor row
  EXPECT_FALSE(rig.table->InSelection(3, 3));
  EXPECT_TRUE(rig.table->InSelection(2, 3));
  rig.Key(Qt::Key_Down);
  EXPECT_FALSE(rig.table->HaveSelection());
}

TEST(TableSelection, CtrlClicksAddAndCutOutRectangles) {
  Rig rig;
  rig.Click(rig.At(2, 2));
  rig.Click(rig.At(4, 4), Qt::ShiftModifier);
  ASSERT_TRUE(rig.table->InSelection(3, 3));
  rig.Click(rig.At(3, 3), Qt::ControlModifier);  // on a selected cell: the next rectangle deselects
  rig.Click(rig.At(4, 4), Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(rig.table->InSelection(2, 2));
  EXPECT_TRUE(rig.table->InSelection(2, 4));
  EXPECT_FALSE(rig.table->InSelection(3, 3));
  EXPECT_FALSE(rig.table->InSelection(4, 4));
  EXPECT_EQ(rig.Active(), (std::pair{4, 4}));
}

TEST(TableSelection, OptionsNormaliseAndClearTheSelection) {
  struct Case {
    TVxTblOptionSet Given, Taken;
  } cases[] = {
      {{otoRowSelection, otoAllowRowMoves}, {otoRowSelection}},
      {{otoColSelection, otoAllowColMoves, otoAllowRowMoves}, {otoColSelection, otoAllowRowMoves}},
      {{otoBrowseRow, otoMouseDragSelect}, {otoBrowseRow, otoNoRowResizing, otoNoColResizing, otoNoSelection}},
      {{otoAlwaysEditing, otoRowSelection}, {otoAlwaysEditing, otoNoRowResizing, otoNoColResizing, otoNoSelection}},
      {{otoNoSelection, otoColSelection, otoThumbTrack}, {otoNoSelection, otoThumbTrack}},
  };
  Rig rig;
  for (const Case& c : cases) {
    rig.Key(Qt::Key_Down, Qt::ShiftModifier);
    ASSERT_TRUE(rig.table->HaveSelection());
    rig.table->SetOptions(c.Given);
    EXPECT_EQ(rig.table->Options(), c.Taken) << c.Given.ToBits();
    EXPECT_FALSE(rig.table->HaveSelection());
    rig.table->SetOptions({});
  }
}

TEST(TableSelection, HeadingClicksSelectWholeRowsColumnsAndTheTable) {
  Rig rig;
  rig.table->SetOptions({otoRowSelection, otoColSelection});
  std::vector<std::pair<int, int>> lockedClicks;
  rig.table->OnLockedCellClick = [&](tk::Component*, int r, int c) { lockedClicks.push_back({r, c}); };
  rig.Click(rig.At(3, 0));
  EXPECT_TRUE(rig.table->InSelection(3, 11));
  EXPECT_FALSE(rig.table->InSelection(2, 1));
  rig.Click(rig.At(0, 2));
  EXPECT_TRUE(rig.table->InSelection(29, 2));
  EXPECT_TRUE(rig.table->InSelection(3, 5));  // added to what was selected
  rig.Click(rig.At(0, 0));
  EXPECT_TRUE(rig.table->InSelection(20, 9));
  EXPECT_EQ(lockedClicks, (std::vector<std::pair<int, int>>{{3, 0}, {0, 2}, {0, 0}}));
}

TEST(TableSelection, DraggingSelectsAndScrollsOneStepAtATime) {
  Rig rig;
  rig.table->SetOptions({otoMouseDragSelect});
  rig.Mouse(QEvent::MouseButtonPress, rig.At(2, 2));
  ASSERT_TRUE(rig.table->State().Contains(otsMouseSelect));
  rig.Mouse(QEvent::MouseMove, rig.At(4, 3));
  EXPECT_TRUE(rig.table->InSelection(3, 3));
  const int below = rig.table->height() + 40;
  const int lastShown = rig.table->Layout().RowAxis().LastDisplayed();
  rig.Mouse(QEvent::MouseMove, QPoint(rig.At(4, 3).x(), below));
  EXPECT_EQ(rig.table->ActiveRow(), lastShown + 1);  // one row beyond the edge, scrolled into view
  EXPECT_GE(rig.table->GetRowOffset(lastShown + 1), 0);
  rig.Mouse(QEvent::MouseButtonRelease, QPoint(rig.At(4, 3).x(), below), Qt::NoModifier, Qt::NoButton);
  EXPECT_TRUE(rig.table->State().Contains(otsNormal));
  EXPECT_TRUE(rig.table->InSelection(lastShown + 1, 2));
}

// ---- editing

TEST(TableEditing, F2EditsInPlaceAndKeepsTheChange) {
  Rig rig;
  rig.table->SetActiveCell(2, 3);
  rig.Key(Qt::Key_F2);
  ASSERT_TRUE(rig.table->InEditingState());
  ASSERT_TRUE(rig.Editor());
  EXPECT_TRUE(rig.Editor()->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), rig.Editor());
  const tk::Rect cell = rig.table->Layout().CellRect(2, 3);
  EXPECT_EQ(rig.Editor()->geometry().topLeft(), rig.table->ClientToWidget({cell.Left, cell.Top}));
  rig.Editor()->selectAll();
  testing_support::Type(rig.Editor(), "new");
  rig.Key(Qt::Key_F2);
  EXPECT_FALSE(rig.table->InEditingState());
  EXPECT_EQ(rig.Text(2, 3), "new");
  EXPECT_EQ(QApplication::focusWidget(), rig.table);
}

// A save in the middle of an edit keeps what the save at its end keeps, for either data layout and the memo.
TEST(TableEditing, ASaveDuringTheEditKeepsWhatTheEndKeeps) {
  Rig rig;
  auto* memo = new TVxTCMemo(rig.form);
  memo->SetMaxLength(6);  // a buffer of 6, terminator included
  rig.table->Columns().SetDefaultCell(2, memo);
  rig.text->SetMaxLength(5);
  for (bool zeroTerminated : {false, true}) {
    rig.text->SetUseASCIIZStrings(zeroTerminated);
    char* buffer = reinterpret_cast<char*>(rig.data[{1, 1}].data());
    if (zeroTerminated) std::strcpy(buffer, "old");
    const auto saved = [&] { return zeroTerminated ? std::string(buffer) : rig.Text(1, 1); };
    rig.table->SetActiveCell(1, 1);
    rig.Key(Qt::Key_F2);
    ASSERT_TRUE(rig.Editor());
    rig.Editor()->SetText("abcdefgh");
    ASSERT_TRUE(rig.table->SaveEditedData());
    EXPECT_EQ(saved(), "abcde") << zeroTerminated;
    ASSERT_TRUE(rig.table->StopEditingState(true));
    EXPECT_EQ(saved(), "abcde") << zeroTerminated;
  }
  char* buffer = reinterpret_cast<char*>(rig.data[{1, 2}].data());
  std::strcpy(buffer, "old");
  rig.table->SetActiveCell(1, 2);
  rig.Key(Qt::Key_F2);
  ASSERT_TRUE(memo->Editor());
  memo->Editor()->setPlainText("far too long");  // refused: the cell's text stays
  EXPECT_EQ(memo->Editor()->Text(), "old");
  memo->Editor()->setPlainText("hello");
  ASSERT_TRUE(rig.table->SaveEditedData());
  EXPECT_STREQ(buffer, "hello");
  std::strcpy(buffer, "old");
  ASSERT_TRUE(rig.table->StopEditingState(true));
  EXPECT_STREQ(buffer, "hello");
}

TEST(TableEditing, EscapeThrowsTheChangeAway) {
  Rig rig;
  rig.Key(Qt::Key_F2);
  ASSERT_TRUE(rig.Editor());
  testing_support::Type(rig.Editor(), "zz");
  rig.Key(Qt::Key_Escape);
  EXPECT_FALSE(rig.table->InEditingState());
  EXPECT_EQ(rig.Text(1, 1), "1:1");
}

TEST(TableEditing, ALetterStartsEditingAndIsTyped) {
  Rig rig;
  rig.Key(Qt::Key_Q, Qt::NoModifier, "q");
  ASSERT_TRUE(rig.table->InEditingState());
  ASSERT_TRUE(rig.Editor());
  EXPECT_EQ(rig.Editor()->Text(), "q");  // the editor takes the focus with its text selected
  rig.Key(Qt::Key_Down);                 // moving on saves
  EXPECT_EQ(rig.Text(1, 1), "q");
  EXPECT_EQ(rig.Active(), (std::pair{2, 1}));
  EXPECT_FALSE(rig.table->InEditingState());
}

TEST(TableEditing, EventsAroundOneEditComeInOrder) {
  Rig rig;
  rig.table->SetActiveCell(4, 2);
  rig.log.clear();
  rig.table->OnBeginEdit = [&](tk::Component*, int, int, bool&) { rig.log.push_back("begin"); };
  rig.table->OnSizeCellEditor = [&](tk::Component*, int, int, tk::Rect&, TVxTblEditorStyle&) {
    rig.log.push_back("size");
  };
  rig.table->OnEnteringColumn = [&](tk::Component*, int c) { rig.log.push_back("column " + std::to_string(c)); };
  rig.table->OnEnteringRow = [&](tk::Component*, int r) {
    if (r == 4) rig.log.push_back("row 4");
  };
  rig.table->OnEndEdit = [&](tk::Component*, TVxTableCellAncestor*, int, int, bool&) { rig.log.push_back("end"); };
  rig.table->OnDoneEdit = [&](tk::Component*, int, int) { rig.log.push_back("done"); };
  // Painted last: the bottom-right cell.
  rig.table->SetAllowRedraw(false);
  rig.table->InvalidateTable();
  rig.table->SetAllowRedraw(true);
  rig.log.clear();
  rig.table->StartEditingState();
  rig.table->StopEditingState(true);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"begin", "size", "column 2", "row 4", "data for edit", "size", "end",
                                               "data for save", "done"}));
}

TEST(TableEditing, OnlyNormalAccessOpensAnEditor) {
  struct Case {
    TVxTblAccess CellAccess;
    bool Veto;
    bool Edits;
  } cases[] = {
      {otxDefault, false, true},
      {otxReadOnly, false, false},
      {otxInvisible, false, false},
      {otxNormal, true, false},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.table->Cells().SetAccess(1, 1, c.CellAccess);
    rig.table->OnBeginEdit = [&](tk::Component*, int, int, bool& allow) { allow = !c.Veto; };
    rig.Key(Qt::Key_F2);
    EXPECT_EQ(rig.table->InEditingState(), c.Edits) << int(c.CellAccess);
    EXPECT_EQ(rig.Editor() != nullptr, c.Edits);
    EXPECT_EQ(rig.table->State().Contains(otsNormal), !c.Edits);
  }
}

// A string cell whose editor does not let go of a text that says "stuck".
class StubbornCell : public TVxTCString {
 public:
  using TVxTCString::TVxTCString;
  bool CanSaveEditedData(bool SaveValue) override { return !SaveValue || !Editor() || Editor()->Text() != "stuck"; }
};

TEST(TableEditing, AnEditorThatRefusesKeepsTheActiveCell) {
  Rig rig;
  auto* stubborn = new StubbornCell(rig.form);
  stubborn->SetMaxLength(20);
  rig.table->Columns().SetDefaultCell(2, stubborn);
  rig.table->SetActiveCell(3, 2);
  rig.Key(Qt::Key_F2);
  ASSERT_TRUE(stubborn->Editor());
  stubborn->Editor()->SetText("stuck");
  rig.Key(Qt::Key_Down);
  rig.Click(rig.At(5, 5));
  EXPECT_EQ(rig.Active(), (std::pair{3, 2}));
  EXPECT_TRUE(rig.table->InEditingState());
  stubborn->Editor()->SetText("free");
  rig.Key(Qt::Key_Down);
  EXPECT_EQ(rig.Active(), (std::pair{4, 2}));
  EXPECT_EQ(rig.Text(3, 2), "free");
}

TEST(TableEditing, AlwaysEditingFollowsTheActiveCell) {
  Rig rig;
  rig.table->SetOptions({otoAlwaysEditing});
  rig.table->SetActiveCell(2, 2);
  Flush();
  ASSERT_TRUE(rig.table->InEditingState());
  rig.Key(Qt::Key_Escape);
  rig.Key(Qt::Key_F2);
  EXPECT_TRUE(rig.table->InEditingState());
  rig.Editor()->SetText("moved");
  rig.Key(Qt::Key_Down);
  EXPECT_EQ(rig.Text(2, 2), "moved");
  ASSERT_TRUE(rig.table->InEditingState());
  EXPECT_EQ(rig.Active(), (std::pair{3, 2}));
  EXPECT_EQ(rig.Editor()->Text(), "3:2");
}

TEST(TableEditing, ShiftTabOutOfTheEditorLandsBeforeTheTable) {
  Rig rig;
  rig.Key(Qt::Key_F2);
  ASSERT_EQ(QApplication::focusWidget(), rig.Editor());
  rig.Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), rig.before);
}

TEST(TableEditing, AClickOnTheActiveCellEditsUnlessItFocusedTheTable) {
  Rig rig;
  rig.before->setFocus();
  Flush();
  rig.Click(rig.At(1, 1));  // focuses the table only
  EXPECT_EQ(QApplication::focusWidget(), rig.table);
  EXPECT_FALSE(rig.table->InEditingState());
  rig.Click(rig.At(1, 1));
  EXPECT_TRUE(rig.table->InEditingState());
  rig.Click(rig.At(3, 3));  // elsewhere: saved and moved
  EXPECT_FALSE(rig.table->InEditingState());
  EXPECT_EQ(rig.Active(), (std::pair{3, 3}));
}

// ---- mouse

TEST(TableMouse, AColumnIsSizedByItsHeadingLine) {
  struct Case {
    std::vector<int> Moves;  // from the column's left edge
    int Width;
  } cases[] = {{{80, 100}, 100}, {{8, 6, 3, -20}, 6}};
  for (const Case& c : cases) {
    Rig rig;
    const tk::Rect cell = rig.table->Layout().CellRect(0, 2);
    const QPoint line = rig.table->ClientToWidget({cell.Right + 1, 10});
    rig.Mouse(QEvent::MouseMove, line, Qt::NoModifier, Qt::NoButton);
    ASSERT_TRUE(rig.table->State().Contains(otsShowSize));
    EXPECT_EQ(rig.table->cursor().shape(), Qt::SplitHCursor);
    rig.Mouse(QEvent::MouseButtonPress, line);
    QPoint at = line;
    for (int x : c.Moves) {
      at = rig.table->ClientToWidget({cell.Left + x, 10});
      rig.Mouse(QEvent::MouseMove, at);
    }
    rig.Mouse(QEvent::MouseButtonRelease, at, Qt::NoModifier, Qt::NoButton);
    EXPECT_EQ(rig.table->Columns().Width(2), c.Width);
    EXPECT_EQ(rig.table->GetColOffset(3), cell.Left + c.Width);
    EXPECT_TRUE(rig.table->State().Contains(otsNormal));
  }
}

TEST(TableMouse, ResizingCanBeSwitchedOff) {
  Rig rig;
  rig.table->SetOptions({otoNoColResizing});
  const tk::Rect cell = rig.table->Layout().CellRect(0, 2);
  rig.Mouse(QEvent::MouseMove, rig.table->ClientToWidget({cell.Right, 10}), Qt::NoModifier, Qt::NoButton);
  EXPECT_FALSE(rig.table->State().Contains(otsShowSize));
  EXPECT_EQ(rig.table->cursor().shape(), Qt::ArrowCursor);
  rig.table->SetDesigning(true);
  rig.Mouse(QEvent::MouseMove, rig.table->ClientToWidget({cell.Right, 10}), Qt::NoModifier, Qt::NoButton);
  EXPECT_TRUE(rig.table->State().Contains(otsShowSize));
}

TEST(TableMouse, DraggingAColumnHeadingMovesTheColumn) {
  Rig rig;
  rig.table->SetOptions({otoAllowColMoves});
  for (int c = 1; c < 6; ++c) rig.table->Columns().SetWidth(c, 50 + c);  // tell them apart
  rig.table->SetActiveCol(2);
  rig.Mouse(QEvent::MouseMove, rig.At(0, 2), Qt::NoModifier, Qt::NoButton);
  ASSERT_TRUE(rig.table->State().Contains(otsShowMove));
  rig.Mouse(QEvent::MouseButtonPress, rig.At(0, 2));
  ASSERT_TRUE(rig.table->State().Contains(otsMoving));
  EXPECT_TRUE(rig.table->DragImage());
  rig.Mouse(QEvent::MouseMove, rig.At(3, 5));
  EXPECT_EQ(rig.table->MoveToIndex(), rig.table->tbFindColInx(5));
  rig.Mouse(QEvent::MouseButtonRelease, rig.At(3, 5), Qt::NoModifier, Qt::NoButton);
  EXPECT_FALSE(rig.table->DragImage());
  std::vector<int> widths;
  for (int c = 1; c < 6; ++c) widths.push_back(rig.table->Columns().Width(c));
  EXPECT_EQ(widths, (std::vector<int>{51, 53, 54, 55, 52}));
  EXPECT_EQ(rig.table->ActiveCol(), 5);
}

// ---- painting

TEST(TablePainting, OnlyTheLastUnlockDraws) {
  Rig rig;
  rig.painted = 0;
  rig.table->SetAllowRedraw(false);
  rig.table->SetAllowRedraw(false);
  rig.table->InvalidateCell(3, 3);
  rig.table->repaint();  // a paint request inside the lock draws nothing
  rig.table->SetAllowRedraw(true);
  EXPECT_EQ(rig.painted, 0);
  EXPECT_FALSE(rig.table->AllowRedraw());
  rig.table->SetAllowRedraw(true);
  EXPECT_EQ(rig.painted, 2);  // the cell and the active one, whose frame is to go
  rig.table->SetAllowRedraw(true);
  EXPECT_TRUE(rig.table->AllowRedraw());
  EXPECT_EQ(rig.painted, 2);
}

// The window system's and the toolkit's paint requests draw the cells under them with their data as it is now.
TEST(TablePainting, APaintRequestAsksForTheDataOfTheCellsUnderIt) {
  struct Case {
    const char* Name;
    std::function<void(TVxTable*, const QRect&)> Ask;
    bool WholeTable;
  } cases[] = {
      {"update", [](TVxTable* t, const QRect& r) { t->update(r); }, false},
      {"repaint", [](TVxTable* t, const QRect& r) { t->repaint(r); }, false},
      {"Invalidate", [](TVxTable* t, const QRect&) { t->Invalidate(); }, true},
      {"Repaint", [](TVxTable* t, const QRect&) { t->Repaint(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Rig rig;
    SetShortString(rig.data[{4, 3}].data(), "new text");
    rig.paintedCells.clear();
    const tk::Rect cell = rig.table->Layout().CellRect(4, 3);
    c.Ask(rig.table, QRect(rig.table->ClientToWidget({cell.Left, cell.Top}), QSize(cell.Width(), cell.Height())));
    EXPECT_TRUE(testing_support::ProcessUntil([&] { return rig.paintedCells.count({4, 3}) == 1; }));
    Flush();
    EXPECT_EQ(rig.paintedCells.count({8, 5}) == 1, c.WholeTable);
  }
}

TEST(TablePainting, ScrollingMovesPixelsAndDrawsOnlyWhatCameIntoView) {
  struct Case {
    QAbstractSlider::SliderAction Action;
    bool Vertical;
    int MostCellsDrawn;
  } cases[] = {
      // The row or column that was last shown is drawn again with the one that came into view, and the
      // active cell's frame goes: 7 cells a row, 9 a column.
      {QAbstractSlider::SliderSingleStepAdd, true, 15},
      {QAbstractSlider::SliderSingleStepAdd, false, 19},
      {QAbstractSlider::SliderPageStepAdd, true, 80},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.table->SetActiveCell(3, 3);
    rig.table->Cells().SetColor(4, 4, tk::clYellow);
    rig.painted = 0;
    (c.Vertical ? rig.table->VerticalScrollBar() : rig.table->HorizontalScrollBar())->triggerAction(c.Action);
    EXPECT_LE(rig.painted, c.MostCellsDrawn);
    const QImage scrolled = rig.table->Surface().copy();
    rig.table->SetAllowRedraw(false);
    rig.table->InvalidateTable();
    rig.table->SetAllowRedraw(true);
    EXPECT_EQ(scrolled, rig.table->Surface()) << c.Action << " " << c.Vertical;
  }
}

TEST(TablePainting, NoDataIsAskedForBeforeTheWindowExists) {
  tk::Form form;
  new TVxController(&form);
  auto* cell = new TVxTCString(&form);
  auto* table = new TVxTable(&form);
  table->Columns().SetDefaultCell(1, cell);
  int asked = 0;
  table->OnGetCellData = [&](tk::Component*, int, int, void*&, TVxCellDataPurpose) { ++asked; };
  table->grab();
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(table->HandleAllocated());
  form.show();
  Flush();
  table->grab();
  EXPECT_GT(asked, 0);
}

TEST(TablePainting, ARowIsAnnouncedOnceWhilePaintedAgain) {
  Rig rig;
  std::vector<int> rows;
  rig.table->OnEnteringRow = [&](tk::Component*, int r) { rows.push_back(r); };
  rig.table->SetActiveCell(5, 1);
  rig.table->SetAllowRedraw(false);
  rig.table->InvalidateRow(5);
  rig.table->SetAllowRedraw(true);
  rig.table->SetAllowRedraw(false);
  rig.table->InvalidateCell(5, 3);
  rig.table->SetAllowRedraw(true);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), 5), 1);
}

TEST(TablePainting, CellsTakeTheColoursOfWhatTheyAre) {
  Rig rig;
  TVxTableColors colors;
  colors.SetLocked(tk::clYellow);
  colors.SetSelected(tk::clLime);
  colors.SetActiveFocused(tk::clRed);
  colors.SetActiveUnfocused(tk::clMaroon);
  rig.table->SetColors(colors);
  rig.table->Cells().SetColor(0, 3, clTblColorNotSet);  // a record whose colour says "none"
  rig.table->Cells().SetAdjust(0, 3, otaCenter);
  rig.table->Cells().SetColor(4, 4, tk::clAqua);
  rig.table->SetActiveCell(2, 2);
  rig.Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(rig.Pixel(0, 3), Rgb(tk::clYellow));
  EXPECT_EQ(rig.Pixel(4, 4), Rgb(tk::clAqua));
  EXPECT_EQ(rig.Pixel(2, 2), Rgb(tk::clLime));
  EXPECT_EQ(rig.Pixel(2, 3), Rgb(tk::clRed));
  rig.before->setFocus();
  Flush();
  EXPECT_EQ(rig.Pixel(2, 3), Rgb(tk::clMaroon));
  rig.table->setFocus();
  rig.table->SetOptions({otoBrowseRow});
  Flush();
  EXPECT_EQ(rig.Pixel(2, 5), Rgb(tk::clRed));  // the whole active row
}

TEST(TablePainting, GridLinesFollowTheirPens) {
  Rig rig;
  const tk::Rect cell = rig.table->Layout().CellRect(5, 5);
  const auto right = [&] {
    rig.table->grab();
    return rig.table->Surface().pixel(cell.Right - 1, cell.Top + 6);
  };
  rig.table->GridPenSet().NormalGrid().SetStyle(tk::PenStyle::psSolid);
  rig.table->GridPenSet().NormalGrid().SetNormalColor(tk::clBlue);
  EXPECT_EQ(right(), Rgb(tk::clBlue));
  rig.table->GridPenSet().NormalGrid().SetEffect(geNone);
  EXPECT_EQ(right(), Rgb(tk::clBtnFace)) << "the cell reaches its edge";
}

// ---- data, cells and streaming

TEST(TableData, BlocksKeepTheirCornersInOrder) {
  Rig rig;
  rig.table->SetBlockColEnd(6);
  rig.table->SetBlockColBegin(4);
  rig.table->SetBlockColEnd(2);  // below the begin: the begin follows
  EXPECT_EQ(rig.table->BlockColBegin(), 2);
  rig.table->SetBlockColBegin(40);  // beyond the columns: ignored
  EXPECT_EQ(rig.table->BlockColBegin(), 2);
  rig.table->SetBlockRowEnd(3);
  rig.table->SetBlockRowBegin(2);
  rig.table->SetBlockColor(tk::clFuchsia);
  EXPECT_EQ(rig.table->Cells().Color(3, 2), tk::clFuchsia);
  EXPECT_EQ(rig.table->Cells().RecordCount(), 2);
  rig.table->SetColCount(2);
  EXPECT_EQ(rig.table->BlockColEnd(), 1);
}

TEST(TableData, ACellInUseByAnotherTableIsRefused) {
  Rig rig;
  auto* other = new TVxTable(rig.form);
  auto* head = new TVxTCColHead(rig.form);
  other->SetLockedRowsCell(head);
  rig.table->SetLockedRowsCell(head);
  EXPECT_EQ(rig.table->LockedRowsCell(), rig.colHead);
  EXPECT_EQ(head->Table(), other);
}

TEST(TableData, ADestroyedCellLeavesNothingBehind) {
  Rig rig;
  rig.table->Cells().SetCell(5, 5, rig.colHead);
  rig.table->SetActiveCell(2, 2);
  rig.Key(Qt::Key_F2);
  ASSERT_TRUE(rig.table->InEditingState());
  delete rig.text;
  delete rig.colHead;
  EXPECT_FALSE(rig.table->LockedRowsCell());
  EXPECT_FALSE(rig.table->Columns().DefaultCell(3));
  EXPECT_FALSE(rig.table->Cells().Cell(5, 5));
  EXPECT_FALSE(rig.table->InEditingState());
  EXPECT_EQ(rig.table->CellList(), std::vector<TVxTableCellAncestor*>{rig.rowHead});
  rig.table->grab();  // paints with what is left
}

TEST(TableData, AFormStreamKeepsRowsColumnsAndCellLinks) {
  Rig rig;
  rig.table->Rows().SetRowHeight(3, 35);
  rig.table->Rows().SetRowHidden(7, true);
  rig.table->Columns().SetHidden(4, true);
  rig.table->Columns().SetWidth(2, 77);
  rig.table->SetOptions({otoTabToArrow, otoThumbTrack});
  const QJsonObject json = tk::Writer().WriteComponent(*rig.form);
  tk::Form form;
  tk::Reader().ReadInto(form, json);
  auto* copy = dynamic_cast<TVxTable*>(form.FindComponent("Table1"));
  ASSERT_TRUE(copy);
  form.show();
  Flush();
  EXPECT_EQ(copy->RowLimit(), 30);
  EXPECT_EQ(copy->Rows().DefHeight(), 20);
  EXPECT_EQ(copy->Rows().Height(3), 35);
  EXPECT_TRUE(copy->Rows().Hidden(7));
  EXPECT_EQ(copy->Rows().SpecialCount(), 2);
  EXPECT_EQ(copy->ColCount(), 12);
  EXPECT_EQ(copy->Columns().Width(2), 77);
  EXPECT_TRUE(copy->Columns().Hidden(4));
  EXPECT_EQ(copy->Columns().DefaultCell(0), form.FindComponent("RowHead"));
  EXPECT_EQ(copy->Columns().DefaultCell(5), form.FindComponent("Text"));
  EXPECT_EQ(copy->LockedRowsCell(), form.FindComponent("ColHead"));
  EXPECT_EQ(copy->Options(), (TVxTblOptionSet{otoTabToArrow, otoThumbTrack}));
  EXPECT_EQ(copy->CellList().size(), 3u);
}

// ---- screenshots

TEST(TableScreenshot, HeadingsSelectionAndEditing) {
  Rig rig(420, 220);
  rig.colHead->SetShowActiveCol(true);
  rig.rowHead->SetShowActiveRow(true);
  rig.table->Cells().SetColor(6, 2, tk::clYellow);
  rig.table->SetActiveCell(2, 2);
  rig.Key(Qt::Key_Down, Qt::ShiftModifier);
  rig.Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_TRUE(testing_support::Shoot(rig.form, "table_selection.png"));
  rig.table->SetActiveCell(5, 4);
  rig.Key(Qt::Key_F2);
  testing_support::Type(rig.Editor(), " edited");
  EXPECT_TRUE(testing_support::Shoot(rig.form, "table_editing.png"));
  rig.Key(Qt::Key_Escape);
  const tk::Rect cell = rig.table->Layout().CellRect(0, 3);
  rig.Mouse(QEvent::MouseMove, rig.table->ClientToWidget({cell.Right, 10}), Qt::NoModifier, Qt::NoButton);
  rig.Mouse(QEvent::MouseButtonPress, rig.table->ClientToWidget({cell.Right, 10}));
  rig.Mouse(QEvent::MouseMove, rig.table->ClientToWidget({cell.Right + 40, 10}));
  EXPECT_TRUE(testing_support::Shoot(rig.form, "table_sizing.png"));
  rig.Mouse(QEvent::MouseButtonRelease, rig.table->ClientToWidget({cell.Right + 40, 10}), Qt::NoModifier, Qt::NoButton);
  rig.table->SetOptions({otoAllowRowMoves});
  rig.Mouse(QEvent::MouseMove, rig.At(2, 0), Qt::NoModifier, Qt::NoButton);
  rig.Mouse(QEvent::MouseButtonPress, rig.At(2, 0));
  rig.Mouse(QEvent::MouseMove, rig.At(6, 0));
  EXPECT_TRUE(testing_support::Shoot(rig.form, "table_moving.png"));
  rig.Mouse(QEvent::MouseButtonRelease, rig.At(6, 0), Qt::NoModifier, Qt::NoButton);
  EXPECT_EQ(rig.Text(2, 1), "2:1");  // the data stays; the rows' settings and overrides move
  EXPECT_EQ(rig.table->Cells().Color(5, 2), tk::clYellow);
}

}  // namespace
