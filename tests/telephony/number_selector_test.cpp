#include "telephony/number_selector.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "modal_driver.h"
#include "serial/lk_exception.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"
#include "telephony/entry_grid.h"
#include "telephony/get_number_form.h"
#include "telephony/number_select_form.h"
#include "telephony/phone_book.h"
#include "telephony/recent_numbers.h"
#include "tk/modal.h"

namespace telephony {
namespace {

using telephony_test::WhenModal;
using testing_support::Click;
using testing_support::Shoot;
using testing_support::TestUi;
using testing_support::Type;

TEST(RecentNumbers, ANumberUsedAgainMovesToTheTopAndTheListKeepsTheLatest20) {
  TRecentNumbers recent;
  recent.Use("1");
  recent.Use("2");
  recent.Use("1");
  recent.Use("");
  EXPECT_EQ(recent.Items(), (std::vector<std::string>{"1", "2"}));
  recent.Use("1 ");
  EXPECT_EQ(recent.Items().front(), "1 ") << "numbers compare exactly";
  recent.Clear();
  for (int i = 1; i <= 21; ++i) recent.Use(std::to_string(i));
  ASSERT_EQ(recent.Items().size(), 20u);
  EXPECT_EQ(recent.Items().front(), "21");
  EXPECT_EQ(recent.Items().back(), "2") << "the oldest is pushed out";
}

class NumberSelectorTest : public ::testing::Test {
 protected:
  NumberSelectorTest() {
    book.SetFileName(dir.File("KivraPhoneBook.INI"));
    RecentNumbers().Clear();
  }
  void AddEntry(const std::string& name, const std::string& number) {
    TPhonebookEntry entry;
    entry.Name.Set(name);
    entry.Number.Set(number);
    book.AddRecord(&entry);
  }
  static void TypeNumber(TGetNumberForm& form, const QString& text) {
    form.PhoneCombo->lineEdit()->setFocus();
    form.PhoneCombo->lineEdit()->selectAll();
    testing_support::Key(form.PhoneCombo->lineEdit(), Qt::Key_Backspace);
    Type(form.PhoneCombo->lineEdit(), text);
  }

  testing_support::TempDir dir;
  tk::Component owner{nullptr};
  TLkPhonebook& book = *new TLkPhonebook(&owner);
  TLkPhoneNumberSelector& selector = *new TLkPhoneNumberSelector(&owner);
};

TEST_F(NumberSelectorTest, WithAnEmptyPhoneBookANumberIsTypedAndKeptWithoutTrailingBlanks) {
  WhenModal<TGetNumberForm>([](TGetNumberForm& form) {
    EXPECT_EQ(form.windowTitle(), "Dial");
    EXPECT_FALSE(form.SelectBtn->isEnabled());
    TypeNumber(form, "555-0100  ");
    Click(form.OkBtn);
  });
  EXPECT_TRUE(selector.Execute());
  EXPECT_EQ(selector.SelectedNumber(), "555-0100");
  EXPECT_EQ(RecentNumbers().Items(), (std::vector<std::string>{"555-0100  "}));
  EXPECT_FALSE(book.Open()) << "the selector closes the phone book it opened";
}

TEST_F(NumberSelectorTest, TheDialWindowRunsThroughTheUiSeamSoATestCanScriptIt) {
  testing_support::TestUi().QueueModal("TGetNumberForm", [](platform::ModalWindow& window) {
    auto& form = tk::DialogOf<TGetNumberForm>(window);
    TypeNumber(form, "555-0123");
    form.OkBtnClick();
    return form.result();
  });
  EXPECT_TRUE(selector.Execute());
  EXPECT_EQ(selector.SelectedNumber(), "555-0123");
  EXPECT_TRUE(testing_support::TestUi().AllAnswersUsed());
}

TEST_F(NumberSelectorTest, OkWithNothingTypedReturnsFalseAndLeavesTheRecentNumbers) {
  RecentNumbers().Use("555-0100");
  WhenModal<TGetNumberForm>([](TGetNumberForm& form) {
    EXPECT_EQ(form.PhoneCombo->count(), 1);
    EXPECT_EQ(form.PhoneCombo->currentText(), "") << "the number starts empty";
    Click(form.OkBtn);
  });
  EXPECT_FALSE(selector.Execute());
  EXPECT_EQ(selector.SelectedNumber(), "");
  EXPECT_EQ(RecentNumbers().Items(), (std::vector<std::string>{"555-0100"}));
}

TEST_F(NumberSelectorTest, CancelKeepsTheLastSelectedNumber) {
  WhenModal<TGetNumberForm>([](TGetNumberForm& form) {
    TypeNumber(form, "555-0100");
    Click(form.OkBtn);
  });
  ASSERT_TRUE(selector.Execute());
  WhenModal<TGetNumberForm>([](TGetNumberForm& form) {
    TypeNumber(form, "555-0999");
    Click(form.CancelBtn);
  });
  EXPECT_FALSE(selector.Execute());
  EXPECT_EQ(selector.SelectedNumber(), "555-0100");
  EXPECT_EQ(RecentNumbers().Items().size(), 1u);
}

TEST_F(NumberSelectorTest, ANumberIsChosenFromThePhoneBook) {
  AddEntry("Office", "555-0100");
  AddEntry("Lake House", "1-555-0142");
  WhenModal<TGetNumberForm>([](TGetNumberForm& form) {
    EXPECT_TRUE(form.SelectBtn->isEnabled());
    WhenModal<TNumberSelectForm>([](TNumberSelectForm& list) {
      EXPECT_EQ(list.windowTitle(), "Select Phone Number");
      EXPECT_EQ(list.Grid().RowCount(), 2);
      EXPECT_TRUE(Shoot(&list, "select_phone_number.png"));
      testing_support::ClickCell(list.ListGrid, list.ListGrid->model()->index(1, 1));
      EXPECT_EQ(list.Grid().Row(), 1);
      list.ListGridDblClick();
      EXPECT_EQ(list.ChosenName(), "Lake House");
    });
    Click(form.SelectBtn);
    EXPECT_EQ(form.PhoneCombo->currentText(), "1-555-0142");
    EXPECT_TRUE(Shoot(&form, "dial.png"));
    Click(form.OkBtn);
  });
  EXPECT_TRUE(selector.Execute());
  EXPECT_EQ(selector.SelectedNumber(), "1-555-0142");
}

TEST_F(NumberSelectorTest, CancelInTheNumberListLeavesTheTypedNumber) {
  AddEntry("Office", "555-0100");
  WhenModal<TGetNumberForm>([](TGetNumberForm& form) {
    TypeNumber(form, "777");
    WhenModal<TNumberSelectForm>([](TNumberSelectForm& list) { Click(list.CancelBtn); });
    Click(form.SelectBtn);
    EXPECT_EQ(form.PhoneCombo->currentText(), "777");
    Click(form.OkBtn);
  });
  EXPECT_TRUE(selector.Execute());
  EXPECT_EQ(selector.SelectedNumber(), "777");
}

TEST_F(NumberSelectorTest, TheNumberFieldTakesNoMoreThanTheVariableHolds) {
  WhenModal<TGetNumberForm>([](TGetNumberForm& form) {
    TypeNumber(form, "1234567890123456789012345");
    EXPECT_EQ(form.PhoneCombo->currentText(), "123456789012345678901");
    Click(form.OkBtn);
  });
  EXPECT_TRUE(selector.Execute());
  EXPECT_EQ(selector.SelectedNumber(), "123456789012345678901");
}

TEST_F(NumberSelectorTest, WithoutAPhoneBookExecuteRaises) {
  selector.SetPhonebook(nullptr);
  EXPECT_THROW(selector.Execute(), serial::EPhonebookNotAssigned);
}

}  // namespace
}  // namespace telephony
