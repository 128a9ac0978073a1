#include "controls/notebook.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLineEdit>
#include <string>
#include <vector>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/rotated_label.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"
#include "tk/filer.h"
#include "tk/virtual_keys.h"

namespace {

using namespace controls;
using S = TVxTabOrientation;

// A shown form with a controller and a notebook of four pages, "&Alpha" to "&Delta", the first active.
class NotebookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form.SetBounds(0, 0, 320, 240);
    Controller = new TVxController(&Form);
    Nb = new TVxNotebook(&Form);
    tk::Font font;
    font.SetName("DejaVu Sans");
    font.SetHeight(-13);
    Nb->SetFont(font);
    Nb->SetBounds(10, 10, 300, 200);
    for (const char* caption : {"&Alpha", "&Beta", "&Gamma", "&Delta"}) Nb->InsertPage(caption, Nb->PageCount());
    Nb->OnPageChange = [this](tk::Component*, int index, bool& allow) {
      Events.push_back("change " + std::to_string(index));
      allow = !Veto;
    };
    Nb->OnPageChanged = [this](tk::Component*, int index) { Events.push_back("changed " + std::to_string(index)); };
    Nb->OnTabClick = [this](tk::Component*, int index) { Events.push_back("click " + std::to_string(index)); };
    Form.show();
    Form.activateWindow();
    QApplication::processEvents();
    Nb->grab();  // lays the tabs out
  }

  QPoint TabCentre(int index) {
    tk::Rect r = Nb->GetTabRect(index);
    return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  void Press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(w, &release);
  }
  // The page visible on top: what the user sees.
  int ShownPage() {
    int shown = -1;
    for (int i = 0; i < Nb->PageCount(); ++i)
      if (Nb->Pages(i)->isVisible()) {
        EXPECT_EQ(shown, -1) << "two pages show";
        shown = i;
      }
    return shown;
  }

  tk::Form Form;
  TVxController* Controller;
  TVxNotebook* Nb;
  std::vector<std::string> Events;
  bool Veto = false;
};

using Strings = std::vector<std::string>;

TEST_F(NotebookTest, ValidIndicesSkipDisabledAndHiddenPagesAndWrap) {
  Nb->Pages(1)->SetEnabled(false);
  Nb->Pages(2)->SetPageVisible(false);
  struct Case {
    int From, Next, Prev;
  } cases[] = {{0, 3, 3}, {3, 0, 0}, {-1, 0, 3}, {9, 0, 3}};
  for (const Case& c : cases) {
    EXPECT_EQ(Nb->NextValidIndex(c.From), c.Next) << c.From;
    EXPECT_EQ(Nb->PrevValidIndex(c.From), c.Prev) << c.From;
  }
  Nb->Pages(3)->SetEnabled(false);
  EXPECT_EQ(Nb->NextValidIndex(0), -1);  // nothing but the page itself
  Nb->NextPage();
  Nb->PrevPage();
  EXPECT_EQ(Nb->PageIndex(), 0);
  Form.SetDesigning(true);  // at design time every page counts
  EXPECT_TRUE(Nb->IsValid(1) && Nb->IsValid(2));
}

TEST_F(NotebookTest, ChangingThePageAsksFirstThenReports) {
  Nb->SetPageIndex(2);
  EXPECT_EQ(Events, (Strings{"change 2", "changed 2"}));
  EXPECT_EQ(ShownPage(), 2);
  Events.clear();
  Nb->SetPageIndex(2);  // already active
  Veto = true;
  Nb->SetPageIndex(3);
  EXPECT_EQ(Events, Strings{"change 3"});
  EXPECT_EQ(Nb->PageIndex(), 2);
  EXPECT_EQ(ShownPage(), 2);
  // An active page disabled meanwhile still goes when another is chosen.
  Veto = false;
  Nb->Pages(2)->SetEnabled(false);
  Nb->SetPageIndex(0);
  EXPECT_EQ(ShownPage(), 0);
}

TEST_F(NotebookTest, AChangeAskedForWhileOneIsAskedIsIgnored) {
  Nb->OnPageChange = [this](tk::Component*, int index, bool&) {
    Events.push_back("change " + std::to_string(index));
    Nb->SetPageIndex(3);
  };
  Nb->SetPageIndex(2);
  EXPECT_EQ(Events, (Strings{"change 2", "changed 2"}));
  EXPECT_EQ(Nb->PageIndex(), 2);
}

TEST_F(NotebookTest, AnInvalidPageIndexIsRefusedAndTheActivePageStays) {
  Nb->Pages(1)->SetEnabled(false);
  for (int bad : {1, -1, 4}) {
    try {
      Nb->SetPageIndex(bad);
      FAIL() << bad;
    } catch (const EInvalidPageIndex& e) {
      EXPECT_STREQ(e.what(), "Invalid page index value");
    }
  }
  EXPECT_EQ(Nb->PageIndex(), 0);
  EXPECT_TRUE(Events.empty());
}

TEST_F(NotebookTest, InsertingAtOrBeforeTheActivePageKeepsItActiveWithoutEvents) {
  Nb->SetPageIndex(1);
  Events.clear();
  TVxTabPage* beta = Nb->Pages(1);
  Nb->InsertPage("New", 1);
  EXPECT_EQ(Nb->PageIndex(), 2);
  EXPECT_EQ(Nb->Pages(2), beta);
  EXPECT_EQ(Nb->Pages(1)->Caption(), "New");
  Nb->InsertPage("Last", 5);
  EXPECT_EQ(Nb->PageIndex(), 2);
  EXPECT_EQ(ShownPage(), 2);
  EXPECT_TRUE(Events.empty());
  EXPECT_THROW(Nb->InsertPage("Far", 7), EInvalidPageIndex);
}

TEST_F(NotebookTest, TheFirstPageInsertedBecomesActive) {
  auto* empty = new TVxNotebook(&Form);
  empty->InsertPage("Only", 0);
  EXPECT_EQ(empty->PageIndex(), 0);
  EXPECT_TRUE(empty->Pages(0)->isVisible());
}

TEST_F(NotebookTest, DeletingShowsThePageThatMovesInOrThenTheFirst) {
  Nb->SetPageIndex(1);
  Nb->DeletePage(1);  // Gamma moves into index 1
  EXPECT_EQ(Nb->PageIndex(), 1);
  EXPECT_EQ(Nb->Pages(1)->Caption(), "&Gamma");
  EXPECT_EQ(ShownPage(), 1);
  Nb->SetPageIndex(2);
  Events.clear();
  Nb->DeletePage(2);  // the index falls off the end
  EXPECT_EQ(Nb->PageIndex(), 0);
  EXPECT_EQ(ShownPage(), 0);
  Nb->DeletePage(7);  // ignored
  EXPECT_EQ(Nb->PageCount(), 2);
}

TEST_F(NotebookTest, PagesAreFoundByCaptionOrNameIgnoringCase) {
  Nb->Pages(2)->SetName("ThirdPage");
  EXPECT_EQ(Nb->PageNameToIndex("&gamma"), 2);
  EXPECT_EQ(Nb->IndexOf("thirdpage", false), 2);
  EXPECT_EQ(Nb->IndexOf("&Gamma", false), -1);
  EXPECT_EQ(Nb->Pages(2)->GetDisplayText(), "TVxTabPage: &Gamma");
  Nb->Pages(2)->SetCaption("");
  EXPECT_EQ(Nb->Pages(2)->GetDisplayText(), "TVxTabPage: ThirdPage");
  EXPECT_EQ(Nb->PageCollection().GetEditorCaption(), "Tab Pages Editor");
  Form.SetDesigning(true);
  EXPECT_EQ(Nb->InsertPage("Designed", 0)->Name(), "Page1");
}

TEST_F(NotebookTest, ClickingATabActivatesItsPageAndFocusesItsFirstControl) {
  auto* edit = new QLineEdit(Nb->Pages(2));
  edit->show();
  testing_support::ClickAt(Nb, TabCentre(2));
  EXPECT_EQ(Nb->PageIndex(), 2);
  EXPECT_EQ(Events, (Strings{"change 2", "changed 2", "click 2"}));
  EXPECT_TRUE(edit->hasFocus());
  Events.clear();
  testing_support::ClickAt(Nb, TabCentre(2));  // the active tab: the notebook takes the focus
  EXPECT_EQ(Events, Strings{"click 2"});
  EXPECT_TRUE(Nb->hasFocus());
}

TEST_F(NotebookTest, ADisabledTabReportsTheClickAndAVetoedOneDoesNot) {
  Nb->Pages(1)->SetEnabled(false);
  testing_support::ClickAt(Nb, TabCentre(1));
  EXPECT_EQ(Events, Strings{"click 1"});
  EXPECT_EQ(Nb->PageIndex(), 0);
  Events.clear();
  Veto = true;
  testing_support::ClickAt(Nb, TabCentre(3));
  EXPECT_EQ(Events, Strings{"change 3"});
  EXPECT_EQ(Nb->PageIndex(), 0);
}

TEST_F(NotebookTest, TheMouseOverATabAndOverAPageReachTheNotebook) {
  std::vector<int> over;
  std::vector<QPoint> moves;
  Nb->OnMouseOverTab = [&](tk::Component*, int index) { over.push_back(index); };
  Nb->OnMouseMove = [&](tk::Component*, tk::ShiftState, int x, int y) { moves.push_back(QPoint(x, y)); };
  testing_support::Mouse(Nb, QEvent::MouseMove, TabCentre(3), Qt::NoButton);
  EXPECT_EQ(over, std::vector<int>{3});
  // A page's empty area is the notebook's: the move arrives in notebook coordinates.
  TVxTabPage* page = Nb->Pages(0);
  testing_support::Mouse(page, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves.back(), QPoint(page->Left() + 5, page->Top() + 5));
}

TEST_F(NotebookTest, AtDesignTimeTabsTakeTheClicksAndTheEditorChoosesThePage) {
  Form.SetDesigning(true);
  EXPECT_TRUE(Nb->DesignHitTest(TabCentre(1).x(), TabCentre(1).y()));
  EXPECT_EQ(Nb->cursor().shape(), Qt::BitmapCursor);
  EXPECT_FALSE(Nb->DesignHitTest(150, 150));
  EXPECT_EQ(Nb->cursor().shape(), Qt::ArrowCursor);
  Nb->PageCollection().DoOnItemSelected(2);
  EXPECT_EQ(Nb->PageIndex(), 2);
  EXPECT_TRUE(Events.empty());  // no change events at design time
}

TEST_F(NotebookTest, KeysStepThroughTheTabsOfTheirSide) {
  struct Case {
    S Side;
    Qt::Key Key;
    int From, Expected;
  } cases[] = {
      {S::toTop, Qt::Key_Right, 0, 1},  {S::toTop, Qt::Key_Left, 0, 3},  {S::toTop, Qt::Key_End, 1, 3},
      {S::toTop, Qt::Key_Home, 3, 0},   {S::toTop, Qt::Key_Down, 1, 1},  {S::toBottom, Qt::Key_Right, 2, 3},
      {S::toRight, Qt::Key_Down, 1, 2}, {S::toRight, Qt::Key_Up, 1, 0},  {S::toRight, Qt::Key_Right, 1, 1},
      {S::toLeft, Qt::Key_Up, 1, 2},    {S::toLeft, Qt::Key_Down, 1, 0}, {S::toLeft, Qt::Key_Right, 1, 1},
  };
  for (const Case& c : cases) {
    Nb->SetTabOrientation(c.Side);
    Nb->SetPageIndex(c.From);
    Nb->setFocus();
    Press(Nb, c.Key);
    EXPECT_EQ(Nb->PageIndex(), c.Expected) << static_cast<int>(c.Side) << " key " << c.Key << " from " << c.From;
    EXPECT_TRUE(Nb->hasFocus());
  }
}

TEST_F(NotebookTest, AKeyToTheNeighbouringRowClicksIntoIt) {
  Nb->SetTabRowCount(2);  // pages 0-1 in row 0, 2-3 in row 1
  Nb->grab();
  Nb->setFocus();
  Press(Nb, Qt::Key_Up);
  EXPECT_EQ(Nb->PageIndex() / 2, 1);
  EXPECT_EQ(Nb->ActiveRow(), 1);
  Press(Nb, Qt::Key_Down);  // toward the page: no action
  EXPECT_EQ(Nb->ActiveRow(), 1);
  Nb->grab();
  Press(Nb, Qt::Key_Up);
  EXPECT_EQ(Nb->ActiveRow(), 0);
}

TEST_F(NotebookTest, UserCommandsGoToTheirEvent) {
  Controller->EntryCommands().AddCommand("Default", tk::VK_F1 + 4, 0, 0, 0, 300);  // F5
  std::vector<int> commands;
  Nb->OnUserCommand = [&](tk::Component*, std::uint16_t command) { commands.push_back(command); };
  Nb->setFocus();
  Press(Nb, Qt::Key_F5);
  EXPECT_EQ(commands, std::vector<int>{300});
  EXPECT_EQ(Nb->PageIndex(), 0);
}

TEST_F(NotebookTest, AnAcceleratorActivatesItsPageFromAnywhereInTheWindow) {
  auto* outside = new QLineEdit(&Form);
  outside->show();
  auto* inDelta = new QLineEdit(Nb->Pages(3));
  inDelta->show();
  outside->setFocus();
  Press(outside, Qt::Key_D, Qt::AltModifier);
  EXPECT_EQ(Nb->PageIndex(), 3);
  EXPECT_TRUE(inDelta->hasFocus());
  EXPECT_EQ(Events, (Strings{"change 3", "changed 3", "click 3"}));
  Events.clear();
  outside->setFocus();
  Press(outside, Qt::Key_D, Qt::AltModifier);  // the active page's: the focus only
  EXPECT_TRUE(Events.empty());
  EXPECT_TRUE(Nb->hasFocus());
  Nb->Pages(1)->SetEnabled(false);
  Press(Nb, Qt::Key_B, Qt::AltModifier);
  EXPECT_EQ(Nb->PageIndex(), 3);
}

TEST_F(NotebookTest, TheNotebooksColourOverridesThePagesTabColours) {
  Nb->Pages(2)->SetTabColor(tk::clYellow);
  Nb->SetColor(tk::clAqua);
  EXPECT_FALSE(Nb->PageUsesTabColor());
  for (int i = 0; i < Nb->PageCount(); ++i) EXPECT_EQ(Nb->Pages(i)->TabColor(), tk::clAqua);
  Nb->SetTabColor(tk::clLime);  // the active page's own colour
  EXPECT_EQ(Nb->Pages(0)->TabColor(), tk::clLime);
  EXPECT_FALSE(Nb->TabUseDefaultColor());
  Nb->SetColor(tk::clRed);
  EXPECT_EQ(Nb->Pages(0)->TabColor(), tk::clLime);
  Nb->SetTabUseDefaultColor(true);
  EXPECT_EQ(Nb->Pages(0)->TabColor(), tk::clRed);
}

TEST_F(NotebookTest, TabHeightAndRowCountTakeOnlySensibleValues) {
  Nb->SetTabHeight(-3);
  EXPECT_TRUE(Nb->TabAutoHeight());
  Nb->SetTabHeight(30);
  EXPECT_FALSE(Nb->TabAutoHeight());
  EXPECT_EQ(Nb->TabHeight(), 30);
  Nb->ChangeScale(3, 2);
  EXPECT_EQ(Nb->TabHeight(), 45);
  Nb->SetTabRowCount(5);  // more rows than pages
  EXPECT_EQ(Nb->TabRowCount(), 0);
  Nb->SetTabRowCount(4);
  EXPECT_EQ(Nb->RowsInUse(), 4);
  Nb->SetTabHeight(0);
  Nb->grab();
  EXPECT_EQ(Nb->Pages(0)->BoundsRect(), Nb->ClientRect());  // no tabs: the page fills the notebook
  EXPECT_EQ(Nb->ClientWidth(), 300);
}

TEST_F(NotebookTest, TheSideAlongTheStripKeepsTwentyPixels) {
  Nb->SetBounds(0, 0, 5, 5);
  EXPECT_EQ(Nb->Width(), 20);
  EXPECT_EQ(Nb->Height(), 5);
  Nb->SetTabOrientation(S::toLeft);
  EXPECT_EQ(Nb->Height(), 20);
}

// Fonts that cannot be turned: every "Fixedsys" here.
struct NoTurningFixedsys {
  NoTurningFixedsys() : previous(SetTrueTypeTest([](const tk::Font& f) { return f.Name() != "Fixedsys"; })) {}
  ~NoTurningFixedsys() { SetTrueTypeTest(previous); }
  TrueTypeTest previous;
};

TEST_F(NotebookTest, SideTabsNeedFontsThatTurn) {
  NoTurningFixedsys fonts;
  tk::Font fixed = Nb->Pages(2)->Font();
  fixed.SetName("Fixedsys");
  Nb->Pages(2)->SetFont(fixed);
  EXPECT_FALSE(Nb->Pages(2)->ParentFont());
  try {
    Nb->SetTabOrientation(S::toLeft);
    FAIL();
  } catch (const EInvalidTabFont& e) {
    EXPECT_STREQ(e.what(), "Invalid font. Non toTop oriented tabs require a True-Type font");
  }
  EXPECT_EQ(Nb->TabOrientation(), S::toTop);
  Form.SetDesigning(true);  // the designer renames instead
  Nb->SetTabOrientation(S::toLeft);
  EXPECT_EQ(Nb->Pages(2)->Font().Name(), "Arial");
  Form.SetDesigning(false);
  tk::Font font = Nb->Font();
  font.SetName("Fixedsys");
  EXPECT_THROW(Nb->SetFont(font), EInvalidTabFont);
  EXPECT_EQ(Nb->Font().Name(), "Arial");
  EXPECT_EQ(Nb->Pages(0)->Font().Name(), "Arial");  // pages follow the notebook's font
}

TEST(NotebookStreams, ANotebookReadBackShowsItsDefaultPage) {
  QJsonObject json;
  {
    tk::Form form;
    new TVxController(&form);
    auto* nb = new TVxNotebook(&form);
    nb->SetName("Book");
    for (const char* caption : {"One", "Two", "Three"}) nb->InsertPage(caption, nb->PageCount());
    nb->Pages(1)->SetName("Second");
    nb->Pages(1)->SetTabColor(tk::clYellow);
    nb->Pages(2)->SetPageVisible(false);
    nb->SetDefaultPageIndex(1);
    nb->SetTabOrientation(S::toBottom);
    nb->SetOldStyle(true);
    json = tk::Writer().WriteComponent(form);
  }
  // A page from an older form: the old class name and the bounds it kept.
  QJsonObject old;
  old["Class"] = "TVxPageContainer";
  old["Name"] = "Fourth";
  old["Properties"] = QJsonArray{QJsonArray{"Caption", "String", "Four"}, QJsonArray{"Left", "Integer", 4},
                                 QJsonArray{"Visible", "Boolean", true}};
  QJsonArray children = json["Children"].toArray();
  for (int i = 0; i < children.size(); ++i) {
    QJsonObject child = children[i].toObject();
    if (child["Class"] != "TVxNotebook") continue;
    QJsonArray pages = child["Children"].toArray();
    pages.append(old);
    child["Children"] = pages;
    children[i] = child;
  }
  json["Children"] = children;

  tk::Form form;
  tk::Reader().ReadInto(form, json);
  auto* nb = dynamic_cast<TVxNotebook*>(form.FindComponent("Book"));
  ASSERT_TRUE(nb);
  ASSERT_EQ(nb->PageCount(), 4);
  EXPECT_EQ(nb->Pages(3)->Caption(), "Four");
  EXPECT_EQ(nb->Pages(1)->Name(), "Second");
  EXPECT_EQ(nb->Pages(1)->TabColor(), tk::clYellow);
  EXPECT_FALSE(nb->Pages(2)->PageVisible());
  EXPECT_EQ(nb->TabOrientation(), S::toBottom);
  EXPECT_TRUE(nb->OldStyle());
  EXPECT_EQ(nb->PageIndex(), 1);
  form.show();
  QApplication::processEvents();
  EXPECT_TRUE(nb->Pages(1)->isVisible());
  for (int i : {0, 2, 3}) EXPECT_FALSE(nb->Pages(i)->isVisible()) << i;
}

TEST(NotebookStreams, ADefaultPageThatIsNotValidFailsTheRead) {
  QJsonObject json;
  {
    tk::Form form;
    auto* nb = new TVxNotebook(&form);
    nb->InsertPage("One", 0);
    nb->SetDefaultPageIndex(3);
    json = tk::Writer().WriteComponent(form);
  }
  tk::Form form;
  try {
    tk::Reader().ReadInto(form, json);
    FAIL();
  } catch (const tk::EReadError& e) {
    EXPECT_STREQ(e.what(), "Invalid page index value");
  }
}

}  // namespace
