#include "telephony/phone_book_editor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cerrno>

#include "modal_driver.h"
#include "platform/profile.h"
#include "serial/lk_exception.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"
#include "telephony/entry_grid.h"
#include "telephony/phone_book.h"
#include "telephony/phone_book_form.h"
#include "telephony/phone_entry_form.h"

namespace telephony {
namespace {

using telephony_test::WhenModal;
using testing_support::Click;
using testing_support::Replace;
using testing_support::Shoot;
using testing_support::TestUi;
using testing_support::Type;

class PhonebookEditorTest : public ::testing::Test {
 protected:
  PhonebookEditorTest() { book.SetFileName(file); }

  void AddEntry(const std::string& name, const std::string& number) {
    TPhonebookEntry entry;
    entry.Name.Set(name);
    entry.Number.Set(number);
    book.AddRecord(&entry);
  }
  std::string Number(const std::string& section) { return platform::ReadProfileString(file, section, "Number", ""); }
  // The texts the list shows, row by row.
  static std::vector<std::string> Shown(const TPhonebookForm& form) {
    std::vector<std::string> rows;
    auto* model = form.ListGrid->model();
    for (int r = 0; r < model->rowCount(); ++r)
      rows.push_back(model->index(r, 0).data().toString().toStdString() + "=" +
                     model->index(r, 1).data().toString().toStdString());
    return rows;
  }
  // Fills the entry window as a user and presses OK.
  static void Enter(TPhoneEntryForm& entry, const QString& name, const QString& number) {
    Overwrite(entry.NameEdit, name);
    Overwrite(entry.NumberEdit, number);
    Click(entry.OkBtn);
  }
  // Selects everything, deletes it and types the text (an empty one leaves the field empty).
  static void Overwrite(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    testing_support::Key(edit, Qt::Key_Backspace);
    Type(edit, text);
  }

  testing_support::TempDir dir;
  std::string file = dir.File("KivraPhoneBook.INI");
  tk::Component owner{nullptr};
  TLkPhonebook& book = *new TLkPhonebook(&owner);
};

TEST_F(PhonebookEditorTest, TheEditorLinksToAPhoneBookOnItsOwnerAndForgetsOneThatGoes) {
  tk::Component form(nullptr);
  auto* editor = new TLkPhonebookEditor(&form);
  EXPECT_EQ(editor->Phonebook(), nullptr);
  auto* later = new TLkPhonebook(&form);
  EXPECT_EQ(editor->Phonebook(), later) << "a phone book added later is linked";
  delete later;
  EXPECT_EQ(editor->Phonebook(), nullptr);
  try {
    editor->Execute();
    FAIL() << "ran without a phone book";
  } catch (const serial::EPhonebookNotAssigned& e) {
    EXPECT_EQ(e.ErrorCode, -1008);
    EXPECT_STREQ(e.what(), "Phonebook component not assigned");
  }
  TLkPhonebookEditor onSameOwner(&owner);
  EXPECT_EQ(onSameOwner.Phonebook(), &book);
}

TEST_F(PhonebookEditorTest, ANewPhoneBookStartsEmptyAndTheFirstAddShowsOneSelectedRow) {
  TLkPhonebookEditor editor(&owner);
  WhenModal<TPhonebookForm>([&](TPhonebookForm& form) {
    EXPECT_EQ(form.windowTitle(), "Phonebook Entries");
    EXPECT_EQ(form.Grid().RowCount(), 0);
    WhenModal<TPhoneEntryForm>([](TPhoneEntryForm& entry) {
      EXPECT_EQ(entry.windowTitle(), "Phonebook Entry");
      Replace(entry.NameEdit, "Lake House");
      Replace(entry.NumberEdit, "1-555-0142");
      EXPECT_TRUE(Shoot(&entry, "phonebook_entry.png"));
      Click(entry.OkBtn);
    });
    Click(form.AddBtn);
    EXPECT_EQ(form.Grid().RowCount(), 1);
    EXPECT_EQ(form.Grid().Row(), 0);
    EXPECT_EQ(Shown(form), (std::vector<std::string>{"Lake House=1-555-0142"}));
    EXPECT_TRUE(Shoot(&form, "phonebook_entries.png"));
    Click(form.OkBtn);
  });
  editor.Execute();
  EXPECT_FALSE(book.Open()) << "the editor closes the phone book it opened";
  EXPECT_EQ(Number("Lake House"), "1-555-0142");
  EXPECT_TRUE(TestUi().Messages().empty());
}

TEST_F(PhonebookEditorTest, ExecuteLeavesAnOpenPhoneBookOpen) {
  TLkPhonebookEditor editor(&owner);
  book.SetOpen(true);
  WhenModal<TPhonebookForm>([](TPhonebookForm& form) { Click(form.OkBtn); });
  editor.Execute();
  EXPECT_TRUE(book.Open());
}

TEST_F(PhonebookEditorTest, ChangeAndRemoveOnAnEmptyPhoneBookOnlyBeep) {
  TPhonebookForm form(nullptr, book);
  Click(form.ChangeBtn);
  Click(form.RemoveBtn);
  form.ListGridDblClick();
  EXPECT_EQ(TestUi().Beeps(), 3);
  EXPECT_TRUE(TestUi().Asked().size() == 3u) << "no question, no message";
}

TEST_F(PhonebookEditorTest, TheListShowsEveryEntryInKeyOrder) {
  AddEntry("Office", "555-0100");
  AddEntry("Cabin", "555-0199");
  TPhonebookForm form(nullptr, book);
  EXPECT_EQ(Shown(form), (std::vector<std::string>{"Office=555-0100", "Cabin=555-0199"}));
  EXPECT_EQ(form.Grid().Row(), 0);
  // Column 0 is header section 0 less the border allowance; the two columns fill the grid.
  EXPECT_EQ(form.ListGrid->columnWidth(0), form.ListHeader->sectionSize(0) - form.Grid().BorderAllowance());
  EXPECT_EQ(form.ListGrid->columnWidth(0) + form.ListGrid->columnWidth(1), form.ListGrid->width());
  form.ListHeader->resizeSection(0, 100);
  EXPECT_EQ(form.ListGrid->columnWidth(0), 100 - form.Grid().BorderAllowance());
}

TEST_F(PhonebookEditorTest, AnIndexEntryThatNamesNoRecordIsNotListed) {
  AddEntry("Office", "555-0100");
  platform::WriteProfileString(file, "Index", "Ghost", "deleted");
  platform::WriteProfileString(file, "Defaults", "_Entries", "2");
  book.SetOpen(false);
  TPhonebookForm form(nullptr, book);
  EXPECT_EQ(form.Editing().Count(), 1);
  EXPECT_EQ(Shown(form), (std::vector<std::string>{"Office=555-0100", "="})) << "the record count's rows stay blank";
  form.Grid().SelectRow(1);
  Click(form.ChangeBtn);
  EXPECT_EQ(TestUi().Beeps(), 1);
}

TEST_F(PhonebookEditorTest, TheEntryWindowRefusesWhatCannotBeStoredAndStaysOpen) {
  AddEntry("Office", "555-0100");
  AddEntry("Cabin", "555-0199");
  TPhonebookForm form(nullptr, book);
  form.show();
  bool accepted = false;
  WhenModal<TPhoneEntryForm>([&](TPhoneEntryForm& entry) {
    EXPECT_EQ(entry.NameEdit->text(), "Office");
    Enter(entry, "", "1");
    EXPECT_EQ(entry.focusWidget(), entry.NameEdit);
    Enter(entry, "Office", "");
    EXPECT_EQ(entry.focusWidget(), entry.NumberEdit);
    Enter(entry, "cabin", "1");
    EXPECT_EQ(entry.focusWidget(), entry.NameEdit);
    Enter(entry, "a=b", "1");  // a name the file would read back otherwise
    EXPECT_EQ(entry.focusWidget(), entry.NameEdit);
    EXPECT_TRUE(entry.isVisible());
    EXPECT_EQ(TestUi().Messages(),
              (std::vector<std::string>{"You must enter an entry name", "You must enter a phone number",
                                        "A phonebook entry with that name already exists",
                                        "Bad argument passed to function"}));
    Enter(entry, "OFFICE", "555-0111");  // its own name in other letter case
    accepted = !entry.isVisible();
  });
  Click(form.ChangeBtn);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(platform::ProfileSectionNames(file), (std::vector<std::string>{"Index", "Defaults", "Office", "Cabin"}));
  EXPECT_EQ(Number("Office"), "555-0111");
  EXPECT_EQ(Shown(form)[0], "OFFICE=555-0111");
}

TEST_F(PhonebookEditorTest, ChangingTheNameMovesTheEntry) {
  AddEntry("Office", "555-0100");
  TPhonebookForm form(nullptr, book);
  WhenModal<TPhoneEntryForm>([](TPhoneEntryForm& entry) { Enter(entry, "Work", "555-0100"); });
  form.ListGridDblClick();
  EXPECT_EQ(book.GetRecordList(), (std::vector<std::string>{"Work"}));
  EXPECT_EQ(Number("Work"), "555-0100");
  EXPECT_EQ(Shown(form), (std::vector<std::string>{"Work=555-0100"}));
}

TEST_F(PhonebookEditorTest, RemovingAsksFirstAndNoLeavesThePhoneBookAsItWas) {
  AddEntry("Office", "555-0100");
  AddEntry("Cabin", "555-0199");
  TPhonebookForm form(nullptr, book);
  form.Grid().SelectRow(1);
  TestUi().QueueAnswer(platform::MsgResult::No);
  Click(form.RemoveBtn);
  EXPECT_EQ(TestUi().Messages(), (std::vector<std::string>{"Are you sure you want to delete this entry?"}));
  EXPECT_EQ(book.GetNumRecs(), 2);
  TestUi().QueueAnswer(platform::MsgResult::Yes);
  Click(form.RemoveBtn);
  EXPECT_EQ(book.GetRecordList(), (std::vector<std::string>{"Office"}));
  EXPECT_EQ(Shown(form), (std::vector<std::string>{"Office=555-0100"}));
  EXPECT_EQ(form.Grid().Row(), 0);
}

TEST_F(PhonebookEditorTest, AnAddThatCannotBeWrittenIsShownAndNotListed) {
  TPhonebookForm form(nullptr, book);
  WhenModal<TPhoneEntryForm>([](TPhoneEntryForm& entry) { Enter(entry, "Office", "555-0100"); });
  auto previous = platform::SetProfileWriteFunction([](int, const void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  });
  Click(form.AddBtn);
  platform::SetProfileWriteFunction(previous);
  EXPECT_EQ(TestUi().Messages(), (std::vector<std::string>{"Generic INI file write error"}));
  EXPECT_EQ(form.Grid().RowCount(), 0);
  EXPECT_EQ(form.Editing().Count(), 0);
}

TEST_F(PhonebookEditorTest, TheEntryWindowTakesAtMost20Latin1CharactersAField) {
  TPhonebookEntry entry;
  TPhoneEntryForm form(nullptr, book, entry);
  form.NameEdit->setFocus();
  Type(form.NameEdit, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(form.NameEdit->text(), "ABCDEFGHIJKLMNOPQRST");
  form.NumberEdit->setFocus();
  Type(form.NumberEdit, QString("12") + QChar(0x20AC));
  EXPECT_EQ(form.NumberEdit->text(), "12");
  EXPECT_EQ(TestUi().Beeps(), 1);
}

}  // namespace
}  // namespace telephony
