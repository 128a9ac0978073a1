#include "controls/notebook_tabs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <string>
#include <vector>

#include "controls/controller.h"
#include "controls/notebook.h"
#include "support/user_input.h"

namespace {

using namespace controls;
using S = TVxTabOrientation;

// A layout of tabs whose captions measure `widths` (own font) in a control `width` x `height`.
TVxTabLayout Layout(std::vector<int> widths, int width = 204, int height = 204) {
  TVxTabLayout layout;
  layout.Width = width;
  layout.Height = height;
  layout.ControlFontHeight = 14;
  for (int w : widths) {
    TVxTabEntry tab;
    tab.FontWidth = w;
    tab.FontHeight = 14;
    layout.Tabs.push_back(tab);
  }
  return layout;
}

std::vector<int> Rows(const TVxTabLayout& layout) {
  std::vector<int> rows;
  for (const TVxTabEntry& t : layout.Tabs) rows.push_back(t.Row);
  return rows;
}

std::vector<int> Lengths(const TVxTabLayout& layout) {
  std::vector<int> lengths;
  for (const TVxTabEntry& t : layout.Tabs) lengths.push_back(t.Length);
  return lengths;
}

TEST(NotebookTabLayout, AutoHeightTakesTheTallestFontItUses) {
  struct Case {
    int ActiveFont, ControlFont, PageFont, Expected;
  } cases[] = {
      {0, 14, 16, 20},   // no active-tab font: the tallest page font
      {22, 14, 16, 26},  // the active-tab font when it is used
      {0, 18, 12, 22},   // the control font
  };
  for (const Case& c : cases) {
    TVxTabLayout layout = Layout({10, 10});
    layout.ActiveFontHeight = c.ActiveFont;
    layout.ControlFontHeight = c.ControlFont;
    layout.Tabs[1].FontHeight = c.PageFont;
    layout.Run();
    EXPECT_EQ(layout.TabHeight, c.Expected) << c.ActiveFont << " " << c.ControlFont << " " << c.PageFont;
  }
}

TEST(NotebookTabLayout, AZeroTabHeightWithoutAutoHeightLaysOutNothing) {
  TVxTabLayout layout = Layout({10, 500});
  layout.TabAutoHeight = false;
  layout.TabHeight = 0;
  layout.Run();
  EXPECT_EQ(layout.Rows, 0);
  EXPECT_EQ(Lengths(layout), (std::vector<int>{65, 65}));  // as the pages started
  EXPECT_TRUE(layout.Place().empty());
}

TEST(NotebookTabLayout, TabLengthsFollowTheWidestCaptionFont) {
  struct Case {
    std::vector<int> Widths;
    std::vector<int> ActiveWidths;
    std::vector<bool> Shown;
    std::vector<int> Expected;
  } cases[] = {
      {{30, 2, 50}, {0, 0, 0}, {true, true, true}, {42, 20, 62}},  // at least 20
      {{30, 30}, {40, 10}, {true, true}, {52, 42}},                // the active-tab font counts
      {{30, 30}, {0, 0}, {true, false}, {42, 0}},                  // a hidden tab has none
  };
  for (const Case& c : cases) {
    TVxTabLayout layout = Layout(c.Widths, 1000);
    for (std::size_t i = 0; i < c.Widths.size(); ++i) {
      layout.Tabs[i].ActiveFontWidth = c.ActiveWidths[i];
      layout.Tabs[i].Shown = c.Shown[i];
    }
    layout.Run();
    EXPECT_EQ(Lengths(layout), c.Expected);
  }
}

TEST(NotebookTabLayout, OldStyleLengthsGrowWithEachShownTab) {
  // Too wide to share a row, so each row's justification shows the common length through its room.
  TVxTabLayout layout = Layout({30, 10, 50}, 64);  // room 60: every tab alone
  layout.OldStyle = true;
  layout.TabRowCount = 3;
  layout.Run();
  // Common length 66 shrunk to the room of 60 in every row.
  EXPECT_EQ(Lengths(layout), (std::vector<int>{60, 60, 60}));
  layout = Layout({30, 10, 50}, 1000);
  layout.OldStyle = true;
  layout.TabRowCount = 1;
  layout.Run();
  // 3 x 66 = 198 justified to 996: 798 over 3 tabs.
  EXPECT_EQ(Lengths(layout), (std::vector<int>{332, 332, 332}));
  // Rows by fit see the lengths before justification: three tabs of 56 need a row each in a room of 100,
  // while with the middle one hidden two of 44 share one.
  layout = Layout({10, 10, 10}, 104);
  layout.OldStyle = true;
  layout.Run();
  EXPECT_EQ(layout.Rows, 3);
  layout = Layout({10, 10, 10}, 104);
  layout.OldStyle = true;
  layout.Tabs[1].Shown = false;
  layout.Run();
  EXPECT_EQ(layout.Rows, 1);
  EXPECT_EQ(Lengths(layout), (std::vector<int>{50, 0, 50}));
}

TEST(NotebookTabLayout, RowsByCountSplitEvenlyAndDealTheRestFromRowZero) {
  struct Case {
    int Pages, RowCount;
    std::vector<bool> Hidden;
    std::vector<int> Expected;
  } cases[] = {
      {7, 3, {}, {0, 0, 1, 1, 2, 2, 0}},
      {8, 3, {}, {0, 0, 1, 1, 2, 2, 0, 1}},
      {6, 2, {}, {0, 0, 0, 1, 1, 1}},
      {7, 3, {false, true}, {0, 0, 0, 1, 1, 2, 2}},  // a hidden tab keeps the row it had
  };
  for (const Case& c : cases) {
    TVxTabLayout layout = Layout(std::vector<int>(static_cast<std::size_t>(c.Pages), 20));
    for (std::size_t i = 0; i < c.Hidden.size(); ++i) layout.Tabs[i].Shown = !c.Hidden[i];
    layout.TabRowCount = c.RowCount;
    layout.Run();
    EXPECT_EQ(Rows(layout), c.Expected) << c.Pages << " pages in " << c.RowCount;
    EXPECT_EQ(layout.Rows, c.RowCount);
    EXPECT_EQ(layout.LastRow, c.RowCount - 1);
  }
  // More rows asked for than there are pages (some were deleted): a row per page, none left empty.
  TVxTabLayout layout = Layout({20, 20});
  layout.TabRowCount = 5;
  layout.Run();
  EXPECT_EQ(Rows(layout), (std::vector<int>{0, 1}));
  EXPECT_EQ(layout.Rows, 2);
  EXPECT_EQ(layout.LastRow, 1);
}

TEST(NotebookTabLayout, RowsByFitFillEachRowAndGiveALongTabARowOfItsOwn) {
  struct Case {
    std::vector<int> Widths;  // lengths are widths + 12
    std::vector<int> Expected;
    int Rows;
  } cases[] = {
      {{28, 28, 28}, {0, 0, 1}, 2},       // 40 + 40 fit in 100, a third does not
      {{28, 200, 28}, {0, 1, 2}, 3},      // 212 is longer than the strip: alone
      {{38, 38, 8, 8}, {0, 0, 1, 1}, 2},  // exactly 100 still fits
      {{300}, {0}, 1},
  };
  for (const Case& c : cases) {
    TVxTabLayout narrow = Layout(c.Widths, 104);  // room 100
    narrow.Run();
    EXPECT_EQ(Rows(narrow), c.Expected);
    EXPECT_EQ(narrow.Rows, c.Rows);
  }
}

TEST(NotebookTabLayout, OldStyleRowsFillTheStripExactly) {
  for (int width : {105, 160, 233}) {
    for (int rowCount : {0, 1, 2}) {
      TVxTabLayout layout = Layout({4, 31, 9, 17, 0}, width);
      layout.OldStyle = true;
      layout.TabRowCount = rowCount;
      layout.Run();
      for (int row = 0; row < layout.Rows; ++row) {
        int sum = 0;
        for (const TVxTabEntry& t : layout.Tabs)
          if (t.Row == row) sum += t.Length;
        EXPECT_EQ(sum, layout.StripLength()) << "width " << width << " rows " << rowCount << " row " << row;
      }
    }
  }
}

TEST(NotebookTabLayout, TheStripRunsAlongTheSideTheTabsAreOn) {
  TVxTabLayout layout = Layout({28, 28, 28}, 300, 104);
  layout.Side = S::toLeft;
  layout.Run();
  EXPECT_EQ(layout.StripLength(), 100);
  EXPECT_EQ(layout.Rows, 2);
}

// Two rows on each side: the active page's row lies next to the page, the others beyond it.
TEST(NotebookTabPlacement, TheActiveRowLiesNextToThePageOnEverySide) {
  for (S side : {S::toTop, S::toRight, S::toBottom, S::toLeft}) {
    for (int active : {0, 3}) {
      TVxTabLayout layout = Layout({28, 28, 28, 28}, 104, 104);  // two tabs a row
      layout.Side = side;
      layout.PageIndex = active;
      layout.Run();
      ASSERT_EQ(layout.Rows, 2);
      std::vector<TVxPlacedTab> placed = layout.Place();
      ASSERT_EQ(placed.size(), 4u);
      const int th = layout.TabHeight;
      tk::Rect page = NotebookPageRect(side, 104, 104, th, layout.Rows);
      const TVxPlacedTab* activeTab = nullptr;
      for (const TVxPlacedTab& t : placed)
        if (t.Index == active) activeTab = &t;
      ASSERT_TRUE(activeTab);
      // The active tab's edge toward the page is the frame line just outside the page.
      const tk::Rect& r = activeTab->Rect;
      switch (side) {
        case S::toTop:
          EXPECT_EQ(r.Bottom, page.Top - 1);
          break;
        case S::toBottom:
          EXPECT_EQ(r.Top, page.Bottom + 1);
          break;
        case S::toRight:
          EXPECT_EQ(r.Left, page.Right + 1);
          break;
        case S::toLeft:
          EXPECT_EQ(r.Right, page.Left - 1);
          break;
      }
      // The other row is painted first, farthest from the page; each row starts with its first tab.
      EXPECT_EQ(placed.front().Index / 2, 1 - active / 2);
      EXPECT_TRUE(placed.front().FirstRowPainted && placed.front().FirstInRow);
      EXPECT_FALSE(activeTab->FirstRowPainted);
      // A key's row move clicks into the other row.
      tk::Point p = NeighbourRowPoint(side, r, th, layout.Tabs[static_cast<std::size_t>(active)].Length);
      int hit = -1;
      for (const TVxPlacedTab& t : placed)
        if (t.Rect.Contains(p)) hit = t.Index;
      EXPECT_EQ(hit / 2, 1 - active / 2) << static_cast<int>(side);
    }
  }
}

TEST(NotebookTabPlacement, TabsRunFromTheStartOfTheStripInPageOrder) {
  struct Case {
    S Side;
    tk::Rect First, Second;
  } cases[] = {
      {S::toTop, {2, 2, 42, 2 + 18}, {42, 2, 82, 2 + 18}},
      {S::toBottom, {2, 101 - 18, 42, 101}, {42, 101 - 18, 82, 101}},
      {S::toRight, {102 - 18, 2, 102, 42}, {102 - 18, 42, 102, 82}},
      {S::toLeft, {2, 62, 2 + 18, 102}, {2, 22, 2 + 18, 62}},  // upward: the first page at the bottom
  };
  for (const Case& c : cases) {
    TVxTabLayout layout = Layout({28, 28}, 104, 104);
    layout.Side = c.Side;
    layout.Run();
    ASSERT_EQ(layout.TabHeight, 18);
    std::vector<TVxPlacedTab> placed = layout.Place();
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].Rect, c.First) << static_cast<int>(c.Side);
    EXPECT_EQ(placed[1].Rect, c.Second) << static_cast<int>(c.Side);
  }
}

TEST(NotebookTabGeometry, WithoutTabsThePagesFillTheControl) {
  for (S side : {S::toTop, S::toRight, S::toBottom, S::toLeft}) {
    EXPECT_EQ(NotebookPageRect(side, 220, 185, 0, 3), (tk::Rect{0, 0, 220, 185}));
    EXPECT_TRUE(TabTextArea(side, {10, 10, 60, 30}, 0).Empty());
  }
}

TEST(NotebookTabGeometry, TheFocusRectangleLiesInsideTheTabAndTheRepaintReachesIntoThePage) {
  const tk::Rect tab{40, 40, 100, 60}, sideTab{40, 40, 60, 100};
  for (S side : {S::toTop, S::toRight, S::toBottom, S::toLeft}) {
    const tk::Rect& r = (side == S::toTop || side == S::toBottom) ? tab : sideTab;
    tk::Rect focus = TabFocusRect(side, TabTextArea(side, r, 20));
    EXPECT_TRUE(focus.Left > r.Left && focus.Top > r.Top && focus.Right < r.Right && focus.Bottom <= r.Bottom)
        << static_cast<int>(side);
    tk::Rect invalid = TabInvalidRect(side, r);
    tk::Rect enlarged = EnlargedTabRect(side, r);
    // Both grow toward the page only, by 5 and by nothing.
    tk::Point towardPage = side == S::toTop      ? tk::Point{70, r.Bottom + 4}
                           : side == S::toBottom ? tk::Point{70, r.Top - 5}
                           : side == S::toRight  ? tk::Point{r.Left - 5, 70}
                                                 : tk::Point{r.Right + 4, 70};
    EXPECT_TRUE(invalid.Contains(towardPage)) << static_cast<int>(side);
    EXPECT_EQ(enlarged.Width() + enlarged.Height(), r.Width() + r.Height() + 6 + (side == S::toLeft ? -1 : 0));
  }
}

TEST(NotebookTabCaptions, TheFirstAmpersandMarksTheAccelerator) {
  struct Case {
    const char* Caption;
    const char* Text;
    int AccelPos;
  } cases[] = {
      {"&Files", "Files", 0}, {"Fi&les", "Files", 2}, {"A&&B", "A&B", -1},  {"", " ", -1},
      {"End&", "End", -1},    {"&&&x", "&&x", -1},    {"a&b&c", "ab&c", 1},
  };
  for (const Case& c : cases) {
    TVxTabCaption parsed = ParseTabCaption(c.Caption);
    EXPECT_EQ(parsed.Text, c.Text) << c.Caption;
    EXPECT_EQ(parsed.AccelPos, c.AccelPos) << c.Caption;
  }
  EXPECT_EQ(TabAccelerator("Fi&les"), 'l');
  EXPECT_EQ(TabAccelerator("A&&B"), '\0');
}

// ---- painting

tk::Font TestFont(int pixels = 13) {
  tk::Font font;
  font.SetName("DejaVu Sans");
  font.SetHeight(-pixels);
  font.SetColor(tk::clBlack);
  return font;
}

struct PaintedNotebook {
  explicit PaintedNotebook(S side) {
    form.SetBounds(0, 0, 300, 260);
    new TVxController(&form);
    notebook = new TVxNotebook(&form);
    notebook->SetFont(TestFont());
    notebook->SetActiveTabFont(TestFont(14));
    notebook->SetBounds(10, 10, 280, 240);
    notebook->SetTabOrientation(side);
    const char* captions[] = {"&General", "Timers", "X10", "Relays", "Voice", "Infrared"};
    const tk::TColor colors[] = {tk::RGB(255, 255, 200), tk::RGB(200, 230, 255), tk::RGB(210, 255, 210),
                                 tk::RGB(255, 220, 220), tk::RGB(235, 220, 255), tk::RGB(240, 240, 240)};
    for (int i = 0; i < 6; ++i) {
      TVxTabPage* page = notebook->InsertPage(captions[i], i);
      page->SetTabColor(colors[i]);
    }
    notebook->Pages(4)->SetEnabled(false);
    notebook->SetTabRowCount(2);
    form.show();
    QApplication::processEvents();
    notebook->SetPageIndex(1);
  }
  QImage Shot() {
    QApplication::processEvents();
    return notebook->grab().toImage();
  }
  tk::Form form;
  TVxNotebook* notebook;
};

tk::TColor At(const QImage& image, int x, int y) { return tk::FromQColor(QColor(image.pixel(x, y))); }

TEST(NotebookTabPainting, EachSideShowsTheActiveTabJoinedToItsFramedPage) {
  for (S side : {S::toTop, S::toRight, S::toBottom, S::toLeft}) {
    PaintedNotebook painted(side);
    TVxNotebook& nb = *painted.notebook;
    QImage shot = painted.Shot();
    const char* names[] = {"top", "right", "bottom", "left"};
    testing_support::SaveShot(shot, QString("notebook_%1.png").arg(names[static_cast<int>(side)]));
    SCOPED_TRACE(names[static_cast<int>(side)]);
    ASSERT_EQ(nb.RowsInUse(), 2);
    const int w = nb.Width(), h = nb.Height();
    // The page shows the active tab's colour, the notebook follows it.
    const tk::TColor active = nb.Pages(1)->TabColor();
    EXPECT_EQ(nb.Color(), active);
    tk::Rect page = nb.Pages(1)->BoundsRect();
    EXPECT_EQ(At(shot, page.Left + page.Width() / 2, page.Top + page.Height() / 2), active);
    // Every shown tab got a rectangle; the active one lies next to the page.
    for (int i = 0; i < nb.PageCount(); ++i) EXPECT_FALSE(nb.GetTabRect(i).Empty()) << i;
    // Inside the active tab, clear of its caption and focus rectangle: the tab's colour.
    tk::Rect tab = nb.GetTabRect(1);
    tk::Point inside = side == S::toRight  ? tk::Point{(tab.Left + tab.Right) / 2, tab.Top + 3}
                       : side == S::toLeft ? tk::Point{(tab.Left + tab.Right) / 2, tab.Bottom - 4}
                                           : tk::Point{tab.Left + 3, (tab.Top + tab.Bottom) / 2};
    EXPECT_EQ(At(shot, inside.X, inside.Y), active);
    // The frame: black on the outer edge away from the light, the highlight on the lit edge.
    const tk::TColor black = tk::clBlack, light = tk::ColorToRGB(tk::clBtnHighlight);
    switch (side) {
      case S::toTop:
        EXPECT_EQ(tab.Bottom, page.Top - 1);
        EXPECT_EQ(At(shot, w - 1, h / 2), black);
        EXPECT_EQ(At(shot, 0, h / 2), light);
        break;
      case S::toBottom:
        EXPECT_EQ(tab.Top, page.Bottom + 1);
        EXPECT_EQ(At(shot, w - 1, h / 4), black);
        EXPECT_EQ(At(shot, 0, h / 4), light);
        break;
      case S::toRight:
        EXPECT_EQ(tab.Left, page.Right + 1);
        EXPECT_EQ(At(shot, w / 4, h - 1), black);
        EXPECT_EQ(At(shot, w / 4, 0), light);
        break;
      case S::toLeft:
        EXPECT_EQ(tab.Right, page.Left - 1);
        EXPECT_EQ(At(shot, w - 1, h / 2), black);
        EXPECT_EQ(At(shot, w / 2, 0), light);
        break;
    }
  }
}

TEST(NotebookTabPainting, ClickingABackRowBringsItNextToThePage) {
  PaintedNotebook painted(S::toTop);
  TVxNotebook& nb = *painted.notebook;
  painted.Shot();
  tk::Rect back = nb.GetTabRect(4 - 1);  // row 1 holds pages 3..5; row 0 (active) 0..2
  EXPECT_LT(back.Top, nb.GetTabRect(1).Top);
  testing_support::ClickAt(&nb, QPoint(back.Left + 5, back.Top + 5));
  EXPECT_EQ(nb.PageIndex(), 3);
  QImage shot = painted.Shot();
  testing_support::SaveShot(shot, "notebook_top_row_moved.png");
  EXPECT_EQ(nb.ActiveRow(), 1);
  EXPECT_GT(nb.GetTabRect(3).Top, nb.GetTabRect(1).Top);  // the rows swapped places
  EXPECT_EQ(nb.GetTabRect(3).Bottom, nb.Pages(3)->Top() - 1);
}

TEST(NotebookTabPainting, OwnerDrawnCaptionsGetTheTextAreaOfEveryShownTab) {
  PaintedNotebook painted(S::toBottom);
  TVxNotebook& nb = *painted.notebook;
  std::vector<int> drawn;
  nb.OnDrawTab = [&](tk::Component*, int index, const std::string& title, const tk::Rect& r, bool enabled,
                     bool active) {
    drawn.push_back(index);
    EXPECT_EQ(title, nb.Pages(index)->Caption());
    EXPECT_EQ(enabled, index != 4);
    EXPECT_EQ(active, index == 1);
    EXPECT_NE(nb.Canvas(), nullptr);
    nb.Canvas()->Brush.Color = tk::clRed;
    nb.Canvas()->FillRect({r.Left, r.Top, r.Left + 3, r.Top + 3});
  };
  QApplication::processEvents();
  drawn.clear();
  QImage shot = nb.grab().toImage();
  // Six tabs, and the active one again when painted larger.
  EXPECT_EQ(drawn.size(), 7u);
  EXPECT_EQ(drawn.back(), 1);
  tk::Rect area = TabTextArea(S::toBottom, nb.GetTabRect(0), nb.TabHeight());
  EXPECT_EQ(At(shot, area.Left + 1, area.Top + 1), tk::clRed);
  EXPECT_EQ(nb.Canvas(), nullptr);
}

TEST(NotebookTabPainting, WithoutPagesTheNotebookIsItsColourAndSaysSoAtDesignTime) {
  tk::Form form;
  new TVxController(&form);
  auto* nb = new TVxNotebook(&form);
  nb->SetColor(tk::RGB(10, 120, 30));
  form.show();
  QImage plain = nb->grab().toImage();
  EXPECT_EQ(At(plain, 3, 3), tk::RGB(10, 120, 30));
  EXPECT_EQ(At(plain, 100, 14), tk::RGB(10, 120, 30));
  form.SetDesigning(true);
  QImage designing = nb->grab().toImage();
  bool text = false;
  for (int x = 5; x < 120; ++x) text = text || At(designing, x, 12) != tk::RGB(10, 120, 30);
  EXPECT_TRUE(text);
}

}  // namespace
