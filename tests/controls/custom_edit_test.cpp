#include "controls/custom_edit.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"
#include "tk/virtual_keys.h"

namespace {

using namespace controls;
using testing_support::TestUi;

void Settle() { QApplication::processEvents(); }

// An edit whose label stands below it, as a descendant may ask.
class EditLabelledBelow : public TVxEdit {
 public:
  explicit EditLabelledBelow(tk::Component* owner) : TVxEdit(owner) { SetLabelBelow(true); }
};

class EditOnForm : public ::testing::Test {
 protected:
  EditOnForm() {
    form.resize(320, 220);
    controller = new TVxController(&form);
    edit = new TVxEdit(&form);
    edit->SetName("Edit1");
    edit->SetBounds(40, 80, 121, 25);
    form.show();
    Settle();
  }
  TVxAttachedLabel* Attach(TVxCustomEdit& e) {
    e.LabelInfo().SetVisible(true);
    return e.GetAttachedLabel();
  }

  tk::Form form;
  TVxController* controller;
  TVxEdit* edit;
};

TEST_F(EditOnForm, AttachingALabelNamesItAndPutsItOnTheEdit) {
  TVxAttachedLabel* label = Attach(*edit);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Name(), "Edit1Label1");
  EXPECT_EQ(label->Caption(), "Edit1Label1");
  EXPECT_EQ(label->Left(), edit->Left());
  EXPECT_EQ(label->Top() + label->Height(), edit->Top());
  EXPECT_EQ(label->FocusControl(), edit);
  ASSERT_TRUE(testing_support::Shoot(&form, "edit_with_label.png"));
}

TEST_F(EditOnForm, TheLabelFollowsTheEditAndKeepsOffsetsTheUserGaveIt) {
  TVxAttachedLabel* label = Attach(*edit);
  edit->SetBounds(100, 120, 121, 25);
  Settle();
  EXPECT_EQ(label->Left(), 100);
  EXPECT_EQ(label->Top() + label->Height(), 120);
  label->SetBounds(label->Left() - 10, label->Top() - 5, label->Width(), label->Height());
  Settle();
  EXPECT_EQ(edit->LabelInfo().OffsetX(), -10);
  EXPECT_EQ(edit->LabelInfo().OffsetY(), -5);
  edit->SetBounds(60, 150, 121, 25);
  Settle();
  EXPECT_EQ(label->Left(), 50);
  EXPECT_EQ(label->Top() + label->Height(), 145);
}

TEST_F(EditOnForm, ADescendantCanHaveItsLabelBelow) {
  auto* below = new EditLabelledBelow(&form);
  below->SetBounds(40, 20, 121, 25);
  TVxAttachedLabel* label = Attach(*below);
  EXPECT_EQ(label->Top(), below->Top() + below->Height());
  label->SetBounds(label->Left(), label->Top() + 4, label->Width(), label->Height());
  Settle();
  EXPECT_EQ(below->LabelInfo().OffsetY(), 4);
}

TEST_F(EditOnForm, HidingTheEditHidesItsLabel) {
  TVxAttachedLabel* label = Attach(*edit);
  edit->SetVisible(false);
  EXPECT_TRUE(label->isHidden());
  edit->SetVisible(true);
  EXPECT_FALSE(label->isHidden());
}

TEST_F(EditOnForm, DeletingTheLabelLeavesTheEditWithoutOne) {
  delete Attach(*edit);
  EXPECT_FALSE(edit->LabelInfo().Visible());
  try {
    edit->GetAttachedLabel();
    FAIL() << "no exception";
  } catch (const tk::Exception& e) {
    EXPECT_STREQ(e.what(), "Label not attached");
  }
}

TEST_F(EditOnForm, DetachingFreesTheLabel) {
  Attach(*edit);
  edit->LabelInfo().SetVisible(false);
  EXPECT_EQ(form.FindComponent("Edit1Label1"), nullptr);
}

TEST_F(EditOnForm, KeepsTheFormsControllerUntilItIsDeleted) {
  EXPECT_EQ(edit->Controller(), controller);
  delete controller;
  EXPECT_FALSE(edit->ControllerAssigned());
  auto* dropped = new TVxController(&form);
  EXPECT_EQ(edit->Controller(), dropped);
}

TEST(EditWithoutController, CannotMakeItsWindowAtRunTimeAndGetsOneAtDesignTime) {
  tk::Form form;
  auto* edit = new TVxEdit(&form);
  EXPECT_THROW(edit->HandleNeeded(), ENoControllerAssigned);
  form.SetDesigning(true);
  edit->HandleNeeded();
  ASSERT_NE(edit->Controller(), nullptr);
  EXPECT_EQ(edit->Controller()->Name(), "VxController1");
}

TEST_F(EditOnForm, TypedCharactersGoThroughKeyPressAndTheEditsCase) {
  edit->OnKeyPress = [](tk::Component*, char& key) {
    if (key == 'x') key = '\0';
    if (key == 'a') key = 'b';
  };
  edit->SetCharCase(tk::EditCharCase::ecUpperCase);
  testing_support::Type(edit, QString::fromUtf8("axc\u20ACd"));
  EXPECT_EQ(edit->Text(), "BCD");
  EXPECT_EQ(TestUi().Beeps(), 1);  // the euro sign is no Latin-1 character
}

TEST_F(EditOnForm, KeyDownCanTakeAKeyBeforeTheEditSeesIt) {
  edit->SetText("abc");
  edit->setCursorPosition(3);
  edit->OnKeyDown = [](tk::Component*, std::uint16_t& key, tk::ShiftState) {
    if (key == tk::VK_LEFT) key = 0;
  };
  testing_support::Key(edit, Qt::Key_Left);
  testing_support::Key(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->Text(), "ab");
}

TEST_F(EditOnForm, AutoSelectAndHideSelectionDecideWhatFocusLeavesSelected) {
  auto* other = new TVxEdit(&form);
  other->SetBounds(40, 150, 121, 25);
  edit->SetText("hello");
  edit->SetAutoSelect(false);
  edit->setFocus(Qt::TabFocusReason);
  Settle();
  EXPECT_EQ(edit->SelLength(), 0);
  edit->SetSelStart(1);
  edit->SetSelLength(3);
  other->setFocus(Qt::TabFocusReason);
  Settle();
  EXPECT_FALSE(edit->hasSelectedText());  // hidden ...
  EXPECT_EQ(edit->SelLength(), 3);        // ... but kept
  edit->setFocus(Qt::TabFocusReason);
  Settle();
  EXPECT_EQ(edit->SelText(), "ell");
  edit->SetHideSelection(false);
  other->setFocus(Qt::TabFocusReason);
  Settle();
  EXPECT_EQ(edit->selectedText(), "ell");
  EXPECT_EQ(other->SelLength(), 0);  // AutoSelect found nothing to select
  edit->SetAutoSelect(true);
  edit->setFocus(Qt::TabFocusReason);
  Settle();
  EXPECT_EQ(edit->SelLength(), 5);
}

TEST_F(EditOnForm, APasswordCharHidesTheTextAndTheHeightFollowsTheFont) {
  edit->SetText("abc");
  edit->SetPasswordChar('#');
  EXPECT_EQ(edit->displayText(), "###");
  tk::Font font = edit->Font();
  font.SetSize(20);
  edit->SetFont(font);
  EXPECT_EQ(edit->Height(), QFontMetrics(font.Q()).height() + 8);
}

}  // namespace
