#include "controls/virtual_list_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <set>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"
#include "tk/virtual_keys.h"

namespace {

using namespace controls;
using testing_support::TestUi;

void KeyWith(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(widget, &release);
}

void MouseWith(QWidget* widget, QEvent::Type type, QPoint at, Qt::KeyboardModifiers modifiers) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::LeftButton, held, modifiers);
  QApplication::sendEvent(widget, &event);
}

// A list of 100 items, 17 pixels a row, 8 whole rows in its client area; it records what it is asked.
class ListBox : public ::testing::Test {
 protected:
  void SetUp() override {
    form.resize(320, 260);
    list->SetBounds(10, 10, 200, 150);
    list->SetRowHeight(17);
    list->SetNumItems(100);
    list->OnGetItem = [this](tk::Component*, std::int32_t index, std::string& s) {
      asked.push_back(index);
      s = "Item " + std::to_string(index);
    };
    list->OnClick = [this](tk::Component*) { ++clicks; };
    form.show();
    list->setFocus();
    QApplication::processEvents();
    asked.clear();
  }

  QPoint AtRow(int row, int x = 20) const { return list->ClientToWidget({x, row * 17 + 8}); }
  void Paint() {
    list->Invalidate();
    asked.clear();
    list->repaint();
  }

  tk::Form form;
  TVxController* controller = new TVxController(&form);
  TVxVirtualListBox* list = new TVxVirtualListBox(&form);
  std::vector<std::int32_t> asked;
  int clicks = 0;
};

TEST_F(ListBox, PaintsOnlyTheRowsInView) {
  Paint();
  EXPECT_EQ(asked, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(list->Rows(), 8);
}

struct ScrollRange {
  std::int32_t Items;
  int Divisor;
  int Maximum;
  bool BarShown;
};

class ListBoxScrollRange : public ListBox, public ::testing::WithParamInterface<ScrollRange> {};

TEST_P(ListBoxScrollRange, ScalesTheBarForLongLists) {
  list->SetNumItems(GetParam().Items);
  EXPECT_EQ(list->ScrollDivisor(), GetParam().Divisor);
  EXPECT_EQ(list->ScrollMaximum(), GetParam().Maximum);
  EXPECT_EQ(list->VerticalScrollBar()->isVisible(), GetParam().BarShown);
}

INSTANTIATE_TEST_SUITE_P(Table, ListBoxScrollRange,
                         ::testing::Values(ScrollRange{100, 1, 100, true}, ScrollRange{32767, 1, 32767, true},
                                           ScrollRange{40000, 2, 20000, true}, ScrollRange{-1, 131070, 16384, true},
                                           ScrollRange{8, 1, 0, false}, ScrollRange{0, 1, 0, false}));

TEST_F(ListBox, TheThumbOfAScaledBarMovesByTheDivisor) {
  list->SetNumItems(40000);
  list->VerticalScrollBar()->setSliderPosition(500);
  EXPECT_EQ(list->TopIndex(), 1000);
  list->VerticalScrollBar()->setSliderPosition(list->VerticalScrollBar()->maximum());
  EXPECT_EQ(list->TopIndex(), 39984);                                          // 2 x 19992
  list->VerticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);  // no bottom code: stays
  EXPECT_EQ(list->TopIndex(), 39984);
  for (int i = 0; i < 10; ++i) list->VerticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(list->TopIndex(), 39992);  // the last page, and no further
  EXPECT_EQ(list->VerticalScrollBar()->sliderPosition(), list->VerticalScrollBar()->maximum());
}

TEST_F(ListBox, ArrowsAndPagesOfTheBarStepTheTopIndexAndReportIt) {
  std::vector<std::int32_t> tops;
  list->OnTopIndexChanged = [&](tk::Component*, std::int32_t top) { tops.push_back(top); };
  QScrollBar* bar = list->VerticalScrollBar();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // already at the top: nothing
  EXPECT_EQ(tops, (std::vector<std::int32_t>{1, 8, 7, 0}));
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(ListBox, AWindowPaintRequestAsksForTheRowsUnderIt) {
  for (bool now : {false, true}) {
    asked.clear();
    const QRect row(list->ClientToWidget({0, 2 * 17}), QSize(list->ClientWidth(), 17));
    if (now)
      list->repaint(row);
    else
      list->update(row);
    EXPECT_TRUE(testing_support::ProcessUntil([&] { return !asked.empty(); })) << "now " << now;
    QApplication::processEvents();
    EXPECT_EQ(asked, std::vector<std::int32_t>{2}) << "now " << now;
  }
}

TEST_F(ListBox, ScrollingAsksOnlyForTheRowsItUncovers) {
  list->Scroll(0, 10);
  for (bool smooth : {true, false}) {
    list->SetSmoothScroll(smooth);
    Paint();
    asked.clear();
    list->VerticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QApplication::processEvents();
    EXPECT_EQ(asked, std::vector<std::int32_t>{list->TopIndex() + 7}) << "smooth " << smooth;
    asked.clear();
    list->Scroll(0, -2);
    QApplication::processEvents();
    std::set<std::int32_t> rows(asked.begin(), asked.end());
    EXPECT_EQ(rows, (std::set<std::int32_t>{list->TopIndex(), list->TopIndex() + 1})) << "smooth " << smooth;
  }
  // What scrolled shows the right items: a full repaint asks for the same rows as are on the screen.
  const QImage scrolled = list->grab().toImage();
  list->Invalidate();
  EXPECT_EQ(list->grab().toImage(), scrolled);
}

TEST_F(ListBox, TheWheelScrollsThreeLinesANotch) {
  QWheelEvent toward(QPointF(20, 20), list->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(list, &toward);
  EXPECT_EQ(list->TopIndex(), 3);
  QWheelEvent away(QPointF(20, 20), list->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(list, &away);
  EXPECT_EQ(list->TopIndex(), 0);
}

struct KeyMove {
  Qt::Key Key;
  std::int32_t From;
  std::int32_t To;
};

class ListBoxKeys : public ListBox, public ::testing::WithParamInterface<KeyMove> {};

TEST_P(ListBoxKeys, MoveTheItemIndex) {
  list->SetItemIndex(GetParam().From);
  testing_support::Key(list, GetParam().Key);
  EXPECT_EQ(list->ItemIndex(), GetParam().To);
  EXPECT_GE(list->ItemIndex(), list->TopIndex());  // in view
  EXPECT_LT(list->ItemIndex(), list->TopIndex() + list->Rows());
}

INSTANTIATE_TEST_SUITE_P(Table, ListBoxKeys,
                         ::testing::Values(KeyMove{Qt::Key_Down, 10, 11}, KeyMove{Qt::Key_Down, 99, 99},
                                           KeyMove{Qt::Key_Up, 10, 9}, KeyMove{Qt::Key_Up, 0, 0},
                                           KeyMove{Qt::Key_Home, 10, 0}, KeyMove{Qt::Key_End, 10, 99},
                                           KeyMove{Qt::Key_PageDown, 10, 17}, KeyMove{Qt::Key_PageDown, 90, 99},
                                           KeyMove{Qt::Key_PageUp, 10, 3}, KeyMove{Qt::Key_PageUp, 4, 0},
                                           KeyMove{Qt::Key_Right, 10, 11}, KeyMove{Qt::Key_Left, 10, 9},
                                           KeyMove{Qt::Key_Left, 0, 0}));

TEST_F(ListBox, ANewItemIndexComesIntoViewAndClicks) {
  list->SetItemIndex(50);
  EXPECT_EQ(list->TopIndex(), 43);
  list->SetItemIndex(20);
  EXPECT_EQ(list->TopIndex(), 20);
  EXPECT_EQ(clicks, 2);
  list->SetItemIndex(20);
  EXPECT_EQ(clicks, 2);
  list->SetItemIndex(500);  // past the end: the last
  EXPECT_EQ(list->ItemIndex(), 99);
  EXPECT_EQ(list->FocusedIndex(), 99);
}

TEST_F(ListBox, WithoutItemsNothingIsPaintedAndKeysDoNothing) {
  list->SetItemIndex(5);
  list->Scroll(0, 40);
  list->SetNumItems(0);
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(list->TopIndex(), 0);
  Paint();
  EXPECT_TRUE(asked.empty());
  for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_PageDown, Qt::Key_Home}) testing_support::Key(list, key);
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_FALSE(list->VerticalScrollBar()->isVisible());
  list->SetNumItems(30);  // new items start at the top
  EXPECT_EQ(list->TopIndex(), 0);
}

TEST_F(ListBox, AClickSelectsTheItemUnderTheMouseAndDraggingFollowsIt) {
  list->Scroll(0, 10);
  testing_support::ClickAt(list, AtRow(3));
  EXPECT_EQ(list->ItemIndex(), 13);
  EXPECT_EQ(clicks, 1);
  testing_support::Mouse(list, QEvent::MouseButtonPress, AtRow(1));
  testing_support::Mouse(list, QEvent::MouseMove, AtRow(5));
  EXPECT_EQ(list->ItemIndex(), 15);
  EXPECT_EQ(clicks, 1);  // selecting while the button is down is no click
  testing_support::Mouse(list, QEvent::MouseMove, list->ClientToWidget({20, list->ClientHeight() + 30}));
  EXPECT_EQ(list->ItemIndex(), 20);  // below the list: as far as the pointer reaches, into view
  EXPECT_EQ(list->TopIndex(), 13);
  testing_support::Mouse(list, QEvent::MouseButtonRelease, list->ClientToWidget({20, list->ClientHeight() + 30}));
  EXPECT_EQ(clicks, 1);  // released outside
}

TEST_F(ListBox, TheHeaderRowTakesTheFirstRowAndItsOwnClicks) {
  list->SetShowHeader(true);
  list->SetHeader("Name");
  EXPECT_EQ(list->Rows(), 7);
  struct At {
    int Y;
    std::int32_t Any;
    std::int32_t Existing;
  };
  for (At at : {At{5, 0, -1}, At{17 + 5, 0, 0}, At{17 * 4 + 5, 3, 3}, At{200, 99, -1}}) {
    EXPECT_EQ(list->ItemAtPos({20, at.Y}, false), at.Any) << at.Y;
    EXPECT_EQ(list->ItemAtPos({20, at.Y}, true), at.Existing) << at.Y;
  }
  std::vector<tk::Point> clicked;
  list->OnClickHeader = [&](tk::Component*, tk::Point p) { clicked.push_back(p); };
  list->SetItemIndex(4);
  testing_support::ClickAt(list, AtRow(0, 30));
  EXPECT_EQ(clicked, (std::vector<tk::Point>{tk::Point{30, 8}}));
  EXPECT_EQ(list->ItemIndex(), 4);
  tk::Rect r;
  EXPECT_EQ(tk::SendMessage(*list, LB_GETITEMRECT, 4, reinterpret_cast<std::intptr_t>(&r)), 0);
  EXPECT_EQ(r, (tk::Rect{0, 5 * 17, list->ClientWidth(), 6 * 17}));
}

TEST_F(ListBox, EndUpdateWithoutBeginFailsAndNothingPaintsMeanwhile) {
  list->BeginUpdate();
  Paint();
  EXPECT_TRUE(asked.empty());
  list->EndUpdate();
  list->repaint();
  EXPECT_EQ(asked.size(), 8u);
  EXPECT_THROW(list->EndUpdate(), EVxException);
  list->BeginUpdate();  // the mismatch left the counter at zero, so one pair paints again
  list->EndUpdate();
  Paint();
  EXPECT_EQ(asked.size(), 8u);
}

TEST_F(ListBox, InsertingAndDeletingItemsKeepsTheItemIndexOnItsItem) {
  list->SetItemIndex(20);
  list->InsertItemsAt(5, 10);
  EXPECT_EQ(list->NumItems(), 105);
  EXPECT_EQ(list->ItemIndex(), 25);
  list->InsertItemsAt(5, 30);
  EXPECT_EQ(list->ItemIndex(), 25);
  list->DeleteItemsAt(3, 0);
  EXPECT_EQ(list->ItemIndex(), 22);
  list->DeleteItemsAt(10, 20);  // the item goes with them
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(list->NumItems(), 97);
}

TEST_F(ListBox, InsertsAndDeletesStayWithinTheListsLimits) {
  constexpr std::int32_t max = TVxCustomVirtualListBox::MaxItems;
  list->SetItemIndex(20);
  list->InsertItemsAt(-5, 0);  // nothing to insert or delete
  list->DeleteItemsAt(-5, 0);
  EXPECT_EQ(list->NumItems(), 100);
  EXPECT_EQ(list->ItemIndex(), 20);
  list->InsertItemsAt(max, 0);  // only as many as still fit
  EXPECT_EQ(list->NumItems(), max);
  EXPECT_EQ(list->ItemIndex(), max - 80);
  list->DeleteItemsAt(max, 10);  // everything from item 10 on, the item with them
  EXPECT_EQ(list->NumItems(), 10);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->SetItemIndex(9);
  list->DeleteItemsAt(3, 50);  // beyond the end: nothing goes
  EXPECT_EQ(list->NumItems(), 10);
  EXPECT_EQ(list->ItemIndex(), 9);
}

TEST_F(ListBox, ListBoxMessagesAnswerAsAListBoxWould) {
  struct Case {
    std::uint32_t Msg;
    std::uintptr_t WParam;
    std::intptr_t Expected;
  };
  list->SetItemIndex(12);
  for (Case c :
       {Case{LB_GETCOUNT, 0, 100}, Case{LB_GETCURSEL, 0, 12}, Case{LB_GETITEMHEIGHT, 0, 17}, Case{LB_GETTOPINDEX, 0, 5},
        Case{LB_GETCARETINDEX, 0, 12}, Case{LB_GETSEL, 12, 1}, Case{LB_GETSEL, 13, 0}, Case{LB_GETSEL, 100, -1},
        Case{LB_SETTOPINDEX, 100, -1}, Case{LB_SETTOPINDEX, 40, 0}, Case{LB_SETCURSEL, 300, -1},
        Case{LB_SETCURSEL, 30, 0}, Case{LB_SETCURSEL, static_cast<std::uintptr_t>(-1), -1}, Case{LB_SETSEL, 1, -1},
        Case{LB_SELITEMRANGE, 1, -1}}) {
    EXPECT_EQ(tk::SendMessage(*list, c.Msg, c.WParam), c.Expected) << std::hex << c.Msg << " " << c.WParam;
  }
  EXPECT_EQ(list->TopIndex(), 30);  // LB_SETCURSEL 30 after the top went to 40
  EXPECT_EQ(list->ItemIndex(), -1);
  std::vector<int> stops(130, 10);
  EXPECT_EQ(tk::SendMessage(*list, LB_SETTABSTOPS, 3, reinterpret_cast<std::intptr_t>(stops.data())), 1);
  EXPECT_EQ(list->TabStops(), std::vector<int>(3, 10 * list->DialogUnitWidth()));
  EXPECT_EQ(tk::SendMessage(*list, LB_SETTABSTOPS, 130, reinterpret_cast<std::intptr_t>(stops.data())), 0);
  EXPECT_EQ(list->TabStops().size(), 128u);
  tk::SendMessage(*list, LB_RESETCONTENT);
  EXPECT_EQ(list->NumItems(), 0);
}

TEST_F(ListBox, CharactersPickTheItemTheOwnerNames) {
  list->OnCharToItem = [](tk::Component*, char ch, std::int32_t& index) {
    if (ch >= '0' && ch <= '9') index = (ch - '0') * 10;
  };
  testing_support::Type(list, "4");
  EXPECT_EQ(list->ItemIndex(), 40);
  testing_support::Type(list, "x");
  EXPECT_EQ(list->ItemIndex(), 40);
}

TEST_F(ListBox, KeysBoundToUserCommandsReachTheOwner) {
  controller->EntryCommands().AddCommand("Default", tk::VK_F1 + 4, 0, 0, 0, 300);
  std::vector<std::uint16_t> commands;
  list->OnUserCommand = [&](tk::Component*, std::uint16_t command) { commands.push_back(command); };
  std::uint16_t seen = 0;
  list->OnKeyDown = [&](tk::Component*, std::uint16_t& key, tk::ShiftState) {
    seen = key;
    if (key == tk::VK_DOWN) key = 0;  // taken by the owner
  };
  testing_support::Key(list, Qt::Key_F5);
  list->SetItemIndex(3);
  testing_support::Key(list, Qt::Key_Down);
  EXPECT_EQ(commands, std::vector<std::uint16_t>{300});
  EXPECT_EQ(seen, tk::VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 3);
}

TEST_F(ListBox, WithAHorizontalBarSideKeysShiftTheText) {
  list->SetScrollBars(TVxScrollBars::ssBoth);
  list->SetColumns(3);
  list->SetOwnerDraw(true);
  std::vector<std::string> drawn;
  list->OnDrawItem = [&](tk::Component*, std::int32_t index, const tk::Rect&, const std::string& s) {
    if (index == 0) drawn.push_back(s);
  };
  list->SetItemIndex(2);
  for (int i = 0; i < 5; ++i) testing_support::Key(list, Qt::Key_Right);
  EXPECT_EQ(list->HorizontalOffset(), 3);
  EXPECT_EQ(list->ItemIndex(), 2);
  list->repaint();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back(), "m 0");
  testing_support::Key(list, Qt::Key_Left);
  EXPECT_EQ(list->HorizontalScrollBar()->value(), 2);
}

TEST_F(ListBox, AtDesignTimeItShowsSampleItemsInWholeRows) {
  list->SetDesigning(true);
  list->OnGetItem = nullptr;
  list->SetOwnerDraw(true);
  std::vector<std::string> drawn;
  list->OnDrawItem = [&](tk::Component*, std::int32_t, const tk::Rect&, const std::string& s) { drawn.push_back(s); };
  list->SetHeader("Title");
  EXPECT_TRUE(list->ShowHeader());
  list->SetBounds(10, 10, 200, 150);
  EXPECT_EQ(list->ClientHeight(), 136);
  Paint();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.front(), "0. - Sample virtual list box item");
  EXPECT_EQ(tk::SendMessage(*list, LB_GETSEL, 0), 1);
  EXPECT_EQ(tk::SendMessage(*list, LB_GETSEL, 1), 0);
}

// ---- several items selected: the owner keeps the selection

class MultiSelectListBox : public ListBox {
 protected:
  void SetUp() override {
    ListBox::SetUp();
    list->SetLoadingState();
    list->SetMultiSelect(true);
    list->Loaded();
    list->OnIsSelected = [this](tk::Component*, std::int32_t index, bool& selected) {
      selected = chosen.count(index) > 0;
    };
    list->OnSelect = [this](tk::Component*, std::int32_t index, bool selected) {
      if (index == -1 && !selected) chosen.clear();
      if (index >= 0 && selected) chosen.insert(index);
      if (index >= 0 && !selected) chosen.erase(index);
    };
    list->OnGetItemStatus = [](tk::Component*, std::int32_t index, bool& protect) { protect = index == 6; };
  }
  std::set<std::int32_t> chosen;
};

TEST_F(MultiSelectListBox, ShiftAndControlClicksExtendAndToggleSkippingProtectedItems) {
  testing_support::ClickAt(list, AtRow(2));
  MouseWith(list, QEvent::MouseButtonPress, AtRow(7), Qt::ShiftModifier);
  MouseWith(list, QEvent::MouseButtonRelease, AtRow(7), Qt::ShiftModifier);
  EXPECT_EQ(chosen, (std::set<std::int32_t>{2, 3, 4, 5, 7}));
  MouseWith(list, QEvent::MouseButtonPress, AtRow(4), Qt::ControlModifier);
  MouseWith(list, QEvent::MouseButtonRelease, AtRow(4), Qt::ControlModifier);
  EXPECT_EQ(chosen, (std::set<std::int32_t>{2, 3, 5, 7}));
  EXPECT_EQ(list->ItemIndex(), 4);
  KeyWith(list, Qt::Key_Down, Qt::ShiftModifier);  // from the anchor, now item 4
  EXPECT_EQ(chosen, (std::set<std::int32_t>{4, 5}));
  testing_support::Key(list, Qt::Key_Down);  // a plain move clears; the protected item cannot be selected
  EXPECT_TRUE(chosen.empty());
  EXPECT_EQ(list->ItemIndex(), 6);
}

TEST_F(MultiSelectListBox, DraggingSelectsFromWhereThePressBegan) {
  testing_support::Mouse(list, QEvent::MouseButtonPress, AtRow(1));
  testing_support::Mouse(list, QEvent::MouseMove, AtRow(4));
  testing_support::Mouse(list, QEvent::MouseMove, AtRow(3));
  testing_support::Mouse(list, QEvent::MouseButtonRelease, AtRow(3));
  EXPECT_EQ(chosen, (std::set<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(tk::SendMessage(*list, LB_SETCURSEL, 5), -1);
  EXPECT_EQ(tk::SendMessage(*list, LB_SETSEL, 1, 9), 0);
  EXPECT_EQ(tk::SendMessage(*list, LB_SELITEMRANGE, 1, 20 | 22 << 16), 0);
  EXPECT_EQ(chosen, (std::set<std::int32_t>{1, 2, 3, 9, 20, 21, 22}));
}

TEST_F(MultiSelectListBox, MissingSelectionEventsAreReported) {
  list->OnSelect = nullptr;
  testing_support::ClickAt(list, AtRow(2));
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"OnSelect event is not assigned"});
  list->OnIsSelected = nullptr;
  EXPECT_THROW(tk::SendMessage(*list, LB_GETSEL, 2), EOnIsSelectedNotAssigned);
}

TEST_F(ListBox, APressWhileAnotherFieldsErrorIsPendingIsEaten) {
  QWidget other(&form);
  other.setFocusPolicy(Qt::StrongFocus);
  other.show();
  other.setFocus();
  controller->SetErrorPending(true);
  testing_support::ClickAt(list, AtRow(3));
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_TRUE(other.hasFocus());
}

TEST_F(ListBox, ShowsHeaderSelectionAndProtectedRowsInTheirColours) {
  list->SetShowHeader(true);
  list->SetHeader("Items\tState");
  list->SetItemIndex(2);
  list->OnGetItemStatus = [](tk::Component*, std::int32_t index, bool& protect) { protect = index == 4; };
  list->OnGetItemColor = [](tk::Component*, std::int32_t index, tk::TColor&, tk::TColor& bg) {
    if (index == 5) bg = tk::clYellow;
  };
  list->Invalidate();
  ASSERT_TRUE(testing_support::Shoot(&form, "virtual_list_box.png"));
  const QImage shot = list->grab().toImage();
  auto colourOfRow = [&](int row) {
    return tk::FromQColor(shot.pixelColor(list->ClientToWidget({150, row * 17 + 2})));
  };
  EXPECT_EQ(colourOfRow(0), tk::ColorToRGB(tk::clBtnFace));    // header
  EXPECT_EQ(colourOfRow(3), tk::ColorToRGB(tk::clHighlight));  // item 2
  EXPECT_EQ(colourOfRow(5), tk::clRed);                        // item 4, protected
  EXPECT_EQ(colourOfRow(6), tk::clYellow);                     // item 5, the owner's colour
  EXPECT_EQ(colourOfRow(7), tk::ColorToRGB(tk::clWindow));
}

}  // namespace
