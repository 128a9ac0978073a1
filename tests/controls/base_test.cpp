#include "controls/base.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWindow>
#include <functional>

#include "controls/calculator.h"
#include "controls/controller.h"
#include "controls/entry_field_simple.h"
#include "controls/exceptions.h"
#include "controls/messages.h"
#include "controls/notebook.h"
#include "controls/outline.h"
#include "tk/filer.h"

namespace {

using namespace controls;

class TPageItem : public TVxCollectible {
 public:
  static const VxClass Class;
  explicit TPageItem(tk::Component* owner, const VxClass& cls = Class) : TVxCollectible(owner, cls) {}
};
const VxClass TPageItem::Class{"TPageItem", &TVxCollectible::Class};

class TOtherItem : public TVxCollectible {
 public:
  static const VxClass Class;
  explicit TOtherItem(tk::Component* owner, const VxClass& cls = Class) : TVxCollectible(owner, cls) {}
};
const VxClass TOtherItem::Class{"TOtherItem", &TVxCollectible::Class};

// A non-visual component holding one collection of pages, as a notebook holds its pages.
class TPageOwner : public TVxComponent {
 public:
  explicit TPageOwner(tk::Component* owner) : TVxComponent(owner), Pages(this, ItemClassOf<TPageItem>()) {
    Pages.OnChanged = [this](TVxCollection*) { ++Changes; };
  }
  ~TPageOwner() override { Pages.Clear(); }
  std::string ClassName() const override { return "TPageOwner"; }
  TVxCollection Pages;
  int Changes = 0;
};

TEST(Collections, OnlyLibraryComponentsMayOwnOne) {
  tk::Component plain(nullptr);
  try {
    TVxCollection c(&plain, ItemClassOf<TPageItem>());
    FAIL();
  } catch (const EVxException& e) {
    EXPECT_STREQ(e.what(), "Owner must be a TVxComponent or TVxCustomComponent descendant");
  }
}

TEST(Collections, AddInsertAndDeleteKeepOrderAndReportChanges) {
  tk::Form form;
  auto* owner = new TPageOwner(&form);
  tk::Component* a = owner->Pages.Add();
  tk::Component* b = owner->Pages.Add();
  EXPECT_EQ(owner->Changes, 2);
  EXPECT_EQ(a->Owner(), owner);  // items belong to the collection's owner
  tk::Component* c = owner->Pages.Insert(0);
  tk::Component* d = owner->Pages.Insert(-1);
  tk::Component* e = owner->Pages.Insert(owner->Pages.Count() + 5);
  ASSERT_EQ(owner->Pages.Count(), 5);
  EXPECT_EQ(owner->Pages.Items(0), c);
  EXPECT_EQ(owner->Pages.Items(1), a);
  EXPECT_EQ(owner->Pages.Items(2), b);
  EXPECT_EQ(owner->Pages.Items(3), d);
  EXPECT_EQ(owner->Pages.Items(4), e);
  EXPECT_EQ(dynamic_cast<TVxCollectibleLink*>(b)->GetIndex(), 2);
  int before = owner->Changes;
  owner->Pages.Delete(17);  // nothing freed, still reported
  EXPECT_EQ(owner->Pages.Count(), 5);
  EXPECT_EQ(owner->Changes, before + 1);
  owner->Pages.Delete(0);
  EXPECT_EQ(owner->Pages.Count(), 4);
  EXPECT_EQ(owner->Pages.Items(0), a);
  delete b;  // an item freed elsewhere leaves its collection
  EXPECT_EQ(owner->Pages.Count(), 3);
  EXPECT_EQ(owner->Pages.ItemByName(""), a);
  EXPECT_EQ(owner->Pages.GetEditorCaption(), "Editing TVxCollection");
}

TEST(Collections, ItemsRefuseOwnersWithoutAMatchingCollection) {
  tk::Component plain(nullptr);
  EXPECT_THROW(TPageItem item(&plain), EVxException);
  TVxComponent bare(nullptr);
  try {
    TPageItem item(&bare);
    FAIL();
  } catch (const EVxException& e) {
    EXPECT_STREQ(e.what(), "No collection exists in the owner component");
  }
  TPageOwner owner(nullptr);
  try {
    new TOtherItem(&owner);
    FAIL();
  } catch (const EVxException& e) {
    EXPECT_STREQ(e.what(), "No collection found for this type");
  }
  EXPECT_EQ(owner.ComponentCount(), 0);  // the half-made item is gone
  owner.Pages.SetItemClass({});
  try {
    owner.Pages.Add();
    FAIL();
  } catch (const EVxException& e) {
    EXPECT_STREQ(e.what(), "Item class not set");
  }
}

TEST(Collections, ItemsMadeAtDesignTimeTakeTheFirstFreeName) {
  tk::Form form;
  form.SetDesigning(true);
  (new tk::Component(&form))->SetName("CollectionItem1");
  auto* owner = new TPageOwner(&form);
  auto* nested = new tk::Component(owner);
  nested->SetName("collectionitem3");  // anywhere in the form's tree, in any case
  tk::Component* a = owner->Pages.Add();
  tk::Component* b = owner->Pages.Add();
  EXPECT_EQ(a->Name(), "CollectionItem2");
  EXPECT_EQ(b->Name(), "CollectionItem4");
}

TEST(Collections, ItemsStreamAsTheOwnersChildrenAndReadBackIntoTheCollection) {
  tk::RegisterClass("TPageOwner", [](tk::Component* owner) { return new TPageOwner(owner); });
  tk::RegisterClass("TPageItem", [](tk::Component* owner) { return new TPageItem(owner); });
  tk::Form form;
  auto* owner = new TPageOwner(&form);
  owner->SetName("Book");
  owner->Pages.Add()->SetName("First");
  owner->Pages.Add()->SetName("Second");
  QJsonObject json = tk::Writer().WriteComponent(*owner);
  ASSERT_EQ(json["Children"].toArray().size(), 2);

  tk::Form other;
  auto* copy = dynamic_cast<TPageOwner*>(tk::Reader().ReadRoot(json, &other));
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->Pages.Count(), 2);
  EXPECT_EQ(copy->Pages.Items(0)->Name(), "First");
  EXPECT_EQ(copy->Pages.Items(1)->Name(), "Second");
  EXPECT_EQ(copy->Changes, 1) << "the collection reports its load once";
  owner->Pages.Stored = false;
  EXPECT_FALSE(tk::Writer().WriteComponent(*owner).contains("Children"));
}

// An owner whose collection goes with it, as the library's composite controls hold theirs.
class TBookOwner : public TVxComponent {
 public:
  TBookOwner(tk::Component* owner, int* changes) : TVxComponent(owner), Pages(this, ItemClassOf<TPageItem>()) {
    Pages.OnChanged = [changes](TVxCollection*) { ++*changes; };
  }
  TVxCollection Pages;
};

TEST(Collections, ItemsFreedAtDesignTimeReportTheChangeUnlessTheirCollectionGoes) {
  tk::Form form;
  form.SetDesigning(true);
  int changes = 0;
  auto* owner = new TBookOwner(&form, &changes);
  owner->Pages.Add();
  owner->Pages.Add();
  tk::Component* third = owner->Pages.Add();
  changes = 0;
  delete third;
  EXPECT_EQ(changes, 1);
  changes = 0;
  delete owner;  // the collection frees its items: nothing to report to a collection that is going
  EXPECT_EQ(changes, 0);
}

TEST(Collections, AboutIsNeverStored) {
  TVxComponent c(nullptr);
  EXPECT_EQ(c.About(), "v3.07");
  c.SetAbout("v9");
  EXPECT_EQ(c.About(), "v3.07");
  QJsonObject json = tk::Writer().WriteComponent(c);
  for (const auto& p : json["Properties"].toArray()) EXPECT_NE(p.toArray().at(0).toString(), "About");
}

class AttachedLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<tk::Form>();
    form->resize(300, 200);
    control = new TVxCustomControl(form.get());
    control->SetName("Edit");
    control->SetBounds(50, 80, 100, 20);
    form->show();
    QApplication::processEvents();
  }
  std::unique_ptr<tk::Form> form;
  TVxCustomControl* control = nullptr;
};

TEST_F(AttachedLabelTest, AttachingMakesANamedLabelStandingOnTheControl) {
  try {
    control->GetAttachedLabel();
    FAIL();
  } catch (const EVxException& e) {
    EXPECT_STREQ(e.what(), "Label not attached");
  }
  control->LabelInfo().SetVisible(true);
  TVxAttachedLabel* label = control->GetAttachedLabel();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Name(), "EditLabel1");
  EXPECT_EQ(label->Caption(), "EditLabel1");
  EXPECT_EQ(label->Owner(), form.get());
  EXPECT_EQ(label->Left(), 50);
  EXPECT_EQ(label->Top() + label->Height(), 80);
  control->LabelInfo().SetOffsets(10, -5);
  EXPECT_EQ(label->Left(), 60);
  EXPECT_EQ(label->Top() + label->Height(), 75);
}

TEST_F(AttachedLabelTest, TheLabelTravelsWithTheControlAndRecordsItsOwnMoves) {
  control->LabelInfo().SetVisible(true);
  TVxAttachedLabel* label = control->GetAttachedLabel();
  control->SetBounds(70, 100, 100, 20);
  QApplication::processEvents();  // the move is posted
  EXPECT_EQ(label->Left(), 70);
  EXPECT_EQ(label->Top() + label->Height(), 100);
  label->SetBounds(90, 40, label->Width(), label->Height());
  QApplication::processEvents();
  EXPECT_EQ(control->LabelInfo().OffsetX(), 20);
  EXPECT_EQ(control->LabelInfo().OffsetY(), 40 + label->Height() - 100);
  control->SetBounds(0, 100, 100, 20);
  QApplication::processEvents();
  EXPECT_EQ(label->Left(), 20);
}

TEST_F(AttachedLabelTest, HidingOrFreeingTheLabelDetachesIt) {
  control->LabelInfo().SetVisible(true);
  control->SetVisible(false);
  EXPECT_FALSE(control->GetAttachedLabel()->Visible());
  control->SetVisible(true);
  delete control->GetAttachedLabel();
  EXPECT_FALSE(control->LabelInfo().Visible());
  control->LabelInfo().SetVisible(true);
  EXPECT_EQ(control->GetAttachedLabel()->Name(), "EditLabel1");
  control->LabelInfo().SetVisible(false);
  EXPECT_EQ(form->FindComponent("EditLabel1"), nullptr);
}

TEST_F(AttachedLabelTest, EnterAndExitEventsRunAfterTheFocusChange) {
  std::vector<std::string> log;
  control->AfterEnter = [&](tk::Component*) { log.push_back("enter"); };
  control->AfterExit = [&](tk::Component*) { log.push_back("exit"); };
  QApplication::processEvents();  // whatever focus the form's showing gave
  log.clear();
  tk::SendMessage(*control, tk::WM_SETFOCUS);
  EXPECT_TRUE(log.empty());  // posted, not run inside the focus handling
  QApplication::processEvents();
  tk::SendMessage(*control, tk::WM_KILLFOCUS);
  QApplication::processEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "exit"}));
}

TEST_F(AttachedLabelTest, TheWheelMessageIsDecoded) {
  int gotDelta = 0, gotX = 0, gotY = 0;
  tk::ShiftState gotShift = 0;
  control->OnMouseWheel = [&](tk::Component*, tk::ShiftState s, int delta, int x, int y) {
    gotShift = s;
    gotDelta = delta;
    gotX = x;
    gotY = y;
  };
  auto wParam = static_cast<std::uintptr_t>(tk::ssCtrl) | (static_cast<std::uintptr_t>(0xFF88) << 16);  // -120
  tk::SendMessage(*control, tk::WM_MOUSEWHEEL, wParam, (300 << 16) | 25);
  EXPECT_EQ(gotShift, tk::ssCtrl);
  EXPECT_EQ(gotDelta, -120);
  EXPECT_EQ(gotX, 25);
  EXPECT_EQ(gotY, 300);
}

}  // namespace

namespace {

using namespace controls;

class TTestEdit : public TVxCustomControl {
 public:
  using TVxCustomControl::TVxCustomControl;
  std::string ClassName() const override { return "TTestEdit"; }
};

TEST(AttachedLabelStreams, AFormReadBackReattachesTheLabelToItsControl) {
  EXPECT_TRUE(tk::IsClassRegistered("TVxAttachedLabel"));
  tk::RegisterClass("TTestEdit", [](tk::Component* owner) { return new TTestEdit(owner); });
  tk::Form form;
  form.resize(300, 200);
  auto* edit = new TTestEdit(&form);
  edit->SetName("Edit");
  edit->SetBounds(40, 90, 100, 20);
  form.show();
  QApplication::processEvents();
  edit->LabelInfo().SetVisible(true);
  edit->LabelInfo().SetOffsets(5, -3);
  QJsonObject json = tk::Writer().WriteComponent(form);

  tk::Form copy;
  copy.resize(300, 200);
  tk::Reader().ReadInto(copy, json);
  QApplication::processEvents();
  auto* edit2 = dynamic_cast<TTestEdit*>(copy.FindComponent("Edit"));
  auto* label2 = dynamic_cast<TVxAttachedLabel*>(copy.FindComponent("EditLabel1"));
  ASSERT_NE(edit2, nullptr);
  ASSERT_NE(label2, nullptr);
  EXPECT_EQ(label2->Control(), edit2);
  EXPECT_EQ(label2->Caption(), "EditLabel1");
  EXPECT_EQ(edit2->GetAttachedLabel(), label2);
  EXPECT_EQ(edit2->LabelInfo().OffsetX(), 5);
  EXPECT_EQ(edit2->LabelInfo().OffsetY(), -3);
}

// On a form, a windowed control keeps the arrow keys only when it asks for them; otherwise they move the
// focus on to the next control. (The table's own tests send it its keys through the same routing.)
TEST(WindowedControls, KeepTheArrowsOnlyWhenTheyAskForThem) {
  struct Case {
    const char* Name;
    std::function<QWidget*(tk::Form*)> Make;
    bool Keeps;
  } cases[] = {
      {"entry field", [](tk::Form* f) { return new TVxSimpleField(f); }, true},
      {"list box", [](tk::Form* f) { return new TVxVirtualListBox(f); }, true},
      {"outline", [](tk::Form* f) { return new TVxOutline(f); }, true},
      {"notebook", [](tk::Form* f) { return new TVxNotebook(f); }, true},
      {"calculator", [](tk::Form* f) { return new TVxCalculator(f); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    tk::Form form;
    new TVxController(&form);
    QWidget* control = c.Make(&form);
    auto* next = new QLineEdit(&form);
    control->setGeometry(10, 10, 200, 150);
    next->setGeometry(10, 170, 100, 20);
    form.resize(240, 200);
    form.show();
    form.activateWindow();
    QApplication::processEvents();
    control->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), control);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(form.windowHandle(), &press);
    EXPECT_EQ(QApplication::focusWidget(), c.Keeps ? control : next);
  }
}

}  // namespace
