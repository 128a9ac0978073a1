#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "modal_driver.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"
#include "telephony/field_info_check.h"
#include "telephony/field_info_form.h"
#include "telephony/field_list_form.h"

namespace telephony {
namespace {

using telephony_test::WhenModal;
using testing_support::Click;
using testing_support::Shoot;
using testing_support::TestUi;
using testing_support::Type;

TDBFieldList Fields(std::initializer_list<TDBFieldInfo> fields) {
  TDBFieldList list;
  for (const TDBFieldInfo& f : fields) list.Add(f);
  return list;
}

std::vector<std::string> Names(const TDBFieldList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Items(i).Name);
  return names;
}

void Overwrite(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  testing_support::Key(edit, Qt::Key_Backspace);
  Type(edit, text);
}

TEST(FieldInfoCheck, EachEntryIsCheckedInTurn) {
  const TDBFieldList working = Fields({TDBFieldInfo("Name", 20), TDBFieldInfo("Count")});
  const TDBFieldInfo& count = working.Items(1);
  struct Case {
    const char* Name;
    bool IsString;
    const char* Length;
    std::int32_t RecordSize;
    const TDBFieldInfo* Self;
    TFieldInfoProblem::Where At;
    const char* Text;
  } cases[] = {
      {"  ", true, "20", 0, nullptr, TFieldInfoProblem::Where::Name, "You must enter a field name"},
      {" name ", true, "20", 0, nullptr, TFieldInfoProblem::Where::Name, "A field with that name already exists"},
      {"COUNT", false, "", 0, &count, TFieldInfoProblem::Where::None, ""},
      {"Note", true, " ", 0, nullptr, TFieldInfoProblem::Where::Length,
       "You must enter a field length for string fields"},
      {"Note", true, "2x", 0, nullptr, TFieldInfoProblem::Where::Length, "Field length must be a number"},
      {"Note", true, "0", 0, nullptr, TFieldInfoProblem::Where::Length,
       "Field length must be between 1 and 255 characters"},
      {"Note", true, "256", 0, nullptr, TFieldInfoProblem::Where::Length,
       "Field length must be between 1 and 255 characters"},
      {"Note", true, "255", 65265, nullptr, TFieldInfoProblem::Where::None, ""},
      {"Note", true, "255", 65266, nullptr, TFieldInfoProblem::Where::Length,
       "Total record size cannot be greater than 65520 bytes"},
      {"Note", false, "", 65520, nullptr, TFieldInfoProblem::Where::None, ""},
  };
  for (const Case& c : cases) {
    const TFieldInfoProblem p = CheckFieldInfo(c.Name, c.IsString, c.Length, c.RecordSize, working, c.Self);
    EXPECT_EQ(p.At, c.At) << c.Name << "/" << c.Length;
    EXPECT_EQ(p.Text, c.Text) << c.Name << "/" << c.Length;
  }
}

TEST(FieldListEditor, AListWhoseOnlyStringFieldHasLength32CannotBeAccepted) {
  TDBFieldList list = Fields({TDBFieldInfo("Key", 32), TDBFieldInfo("Count")});
  TFrmDBFieldList form(nullptr, list);
  Click(form.OkBtn);
  EXPECT_EQ(TestUi().Messages(),
            (std::vector<std::string>{"You should create at least one string field of 31 characters or less"}));
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(list.Items(0).FieldLength, 32);
}

TEST(FieldListEditor, AFieldIsAddedAndTheListReplacedOnlyOnOk) {
  TDBFieldList list = Fields({TDBFieldInfo("Name", 20)});
  TFrmDBFieldList form(nullptr, list);
  form.show();
  WhenModal<TFrmFieldInfo>([](TFrmFieldInfo& info) {
    EXPECT_EQ(info.windowTitle(), "Field Information");
    EXPECT_EQ(info.FieldNameEdit->text(), "FieldName");
    EXPECT_EQ(info.MaxLenEdit->text(), "20");
    Overwrite(info.FieldNameEdit, "Rings");
    Click(info.StrTypeCheckBox);
    EXPECT_FALSE(info.MaxLenEdit->isVisible());
    EXPECT_EQ(info.MaxLenEdit->text(), "");
    EXPECT_TRUE(Shoot(&info, "field_information.png"));
    Click(info.OkBtn);
  });
  Click(form.AddBtn);
  EXPECT_EQ(form.FieldList->count(), 2);
  EXPECT_EQ(list.Count(), 1) << "the caller's list waits for OK";
  EXPECT_TRUE(Shoot(&form, "database_fields.png"));
  Click(form.OkBtn);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  ASSERT_EQ(Names(list), (std::vector<std::string>{"Name", "Rings"}));
  EXPECT_FALSE(list.Items(1).IsString);
  EXPECT_EQ(list.Items(1).FieldLength, 4);
}

TEST(FieldListEditor, RenamingAFieldToItsOwnNameInOtherCaseIsAccepted) {
  TDBFieldList list = Fields({TDBFieldInfo("Name", 20), TDBFieldInfo("Count")});
  TFrmDBFieldList form(nullptr, list);
  form.FieldList->setCurrentRow(0);
  WhenModal<TFrmFieldInfo>([](TFrmFieldInfo& info) {
    Overwrite(info.FieldNameEdit, "NAME");
    Click(info.OkBtn);
  });
  form.FieldListDblClick();
  EXPECT_TRUE(TestUi().Messages().empty());
  EXPECT_EQ(form.FieldList->item(0)->text(), "NAME");
  EXPECT_EQ(form.FieldList->currentRow(), 0);
}

TEST(FieldListEditor, EditingNearTheSizeLimitCountsTheFieldsOldSizeAsWell) {
  // 65520 bytes in all: the 11-byte field cannot even keep its length, since its old bytes count too.
  TDBFieldList list =
      Fields({TDBFieldInfo("Name", 20), TDBFieldInfo("Big", 65520 - 21 - 11 - 1), TDBFieldInfo("Small", 10)});
  ASSERT_EQ(list.RecordSize(), 65520);
  TFrmDBFieldList form(nullptr, list);
  form.FieldList->setCurrentRow(2);
  WhenModal<TFrmFieldInfo>([](TFrmFieldInfo& info) {
    Click(info.OkBtn);
    EXPECT_TRUE(info.isVisible());
    EXPECT_EQ(info.focusWidget(), info.MaxLenEdit);
    Click(info.CancelBtn);
  });
  Click(form.EditBtn);
  EXPECT_EQ(TestUi().Messages(), (std::vector<std::string>{"Total record size cannot be greater than 65520 bytes"}));
}

TEST(FieldListEditor, FieldsMoveUpAndDownAndTheEndsOnlyBeep) {
  TDBFieldList list = Fields({TDBFieldInfo("A", 5), TDBFieldInfo("B", 5), TDBFieldInfo("C", 5)});
  TFrmDBFieldList form(nullptr, list);
  form.FieldList->setCurrentRow(0);
  Click(form.UpBtn);
  EXPECT_EQ(TestUi().Beeps(), 1);
  Click(form.DownBtn);
  Click(form.DownBtn);
  EXPECT_EQ(Names(form.Editing().Working()), (std::vector<std::string>{"B", "C", "A"}));
  EXPECT_EQ(form.FieldList->currentRow(), 2);
  EXPECT_EQ(form.FieldList->item(2)->text(), "A");
  Click(form.DownBtn);
  EXPECT_EQ(TestUi().Beeps(), 2);
  Click(form.DeleteBtn);
  EXPECT_EQ(Names(form.Editing().Working()), (std::vector<std::string>{"B", "C"}));
  EXPECT_EQ(form.FieldList->count(), 2);
}

TEST(FieldListEditor, WithNothingSelectedEditDeleteAndMovesBeep) {
  TDBFieldList list = Fields({TDBFieldInfo("A", 5), TDBFieldInfo("B", 5)});
  TFrmDBFieldList form(nullptr, list);
  for (QAbstractButton* b :
       std::initializer_list<QAbstractButton*>{form.EditBtn, form.DeleteBtn, form.UpBtn, form.DownBtn})
    Click(b);
  EXPECT_EQ(TestUi().Beeps(), 4);
  EXPECT_EQ(form.Editing().Working().Count(), 2);
}

}  // namespace
}  // namespace telephony
