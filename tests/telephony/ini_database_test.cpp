#include "telephony/ini_database.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "platform/profile.h"
#include "serial/lk_exception.h"
#include "support/temp_dir.h"
#include "telephony/phone_book.h"
#include "telephony/short_string.h"
#include "tk/filer.h"

namespace telephony {
namespace {

using testing_support::ReadFile;

// The caller's layout of a record of a key "Name" (20), an integer "Count" and a string "Note" (10).
#pragma pack(push, 1)
struct Item {
  TShortString<20> Name;
  std::int32_t Count = 0;
  TShortString<10> Note;
};
#pragma pack(pop)
static_assert(sizeof(Item) == 21 + 4 + 11);

Item MakeItem(const std::string& name, std::int32_t count, const std::string& note) {
  Item item;
  item.Name.Set(name);
  item.Count = count;
  item.Note.Set(note);
  return item;
}

TDBFieldList ItemFields() {
  TDBFieldList fields;
  fields.Add(TDBFieldInfo("Name", 20));
  fields.Add(TDBFieldInfo("Count"));
  fields.Add(TDBFieldInfo("Note", 10));
  return fields;
}

class IniDatabaseTest : public ::testing::Test {
 protected:
  IniDatabaseTest() {
    db.SetFileName(file);
    db.SetFieldList(ItemFields());
  }

  void Add(const std::string& name, std::int32_t count, const std::string& note) {
    const Item item = MakeItem(name, count, note);
    db.AddRecord(&item);
  }
  void Upd(const std::string& key, const std::string& name) {
    const Item item = MakeItem(name, 0, "");
    db.UpdRecord(key, &item);
  }

  testing_support::TempDir dir;
  std::string file = dir.File("items.ini");
  tk::Component owner{nullptr};
  TLkIniDBase& db = *new TLkIniDBase(&owner);
};

TEST_F(IniDatabaseTest, RecordsPassInTheCallersLayout) {
  Add("Lamp", 3, "hall");
  Item read;
  read.Note.Set("garbage");
  db.GetRecord("LAMP", &read);
  EXPECT_EQ(read.Name.Get(), "LAMP");
  const std::int32_t count = read.Count;  // a packed field: copied, never bound by reference
  EXPECT_EQ(count, 3);
  EXPECT_EQ(read.Note.Get(), "hall");
  EXPECT_EQ(platform::ReadProfileString(file, "Lamp", "Note", ""), "hall");
  EXPECT_TRUE(db.Open()) << "a record operation opens the database";
}

TEST_F(IniDatabaseTest, FailuresAreRaisedAsTheirExceptionClassesWithTheirTexts) {
  Add("Lamp", 3, "hall");
  try {
    Add("lamp", 1, "");
    FAIL() << "a second Lamp was accepted";
  } catch (const serial::ERecordExists& e) {
    EXPECT_EQ(e.ErrorCode, -7007);
    EXPECT_STREQ(e.what(), "Record already exists");
  }
  Item item;
  EXPECT_THROW(db.GetRecord("Desk", &item), serial::ERecordNotFound);
  EXPECT_THROW(db.DelRecord("Desk"), serial::ERecordNotFound);
  EXPECT_THROW(db.UpdRecord("Desk", &item), serial::ERecordNotFound);
  EXPECT_THROW(db.UpdRecord("Desk", &item), serial::EINI) << "every database error is an EINI";
}

TEST_F(IniDatabaseTest, TheKeyListFollowsChangesAndSortsWhenAsked) {
  for (const char* name : {"Lamp", "desk", "Bed"}) Add(name, 0, "");
  EXPECT_EQ(db.GetRecordList(), (std::vector<std::string>{"Lamp", "desk", "Bed"}));
  db.SetSortedIndex(true);
  EXPECT_EQ(db.GetRecordList(), (std::vector<std::string>{"Bed", "desk", "Lamp"}));
  db.DelRecord("DESK");
  Upd("Bed", "Attic");
  EXPECT_EQ(db.GetRecordList(), (std::vector<std::string>{"Attic", "Lamp"}));
  EXPECT_EQ(db.GetNumRecs(), 2);
}

TEST_F(IniDatabaseTest, AnEmptyDatabaseHasAnEmptyKeyList) {
  EXPECT_TRUE(db.GetRecordList().empty());
  EXPECT_EQ(db.GetNumRecs(), 0);
  EXPECT_EQ(ReadFile(file), "[Index]\r\n[Defaults]\r\n_Entries=0\r\n");
}

TEST_F(IniDatabaseTest, TheKeyListHoldsTheWholeIndexWhateverTheCountSays) {
  const std::string a(20, 'a'), b(20, 'b'), c(20, 'c');
  testing_support::WriteFile(file, "[Index]\n" + a + "=#\n" + b + "=#\n" + c + "=#\n[Defaults]\n_Entries=1\n");
  db.SetFileName(file);
  EXPECT_EQ(db.GetRecordList(), (std::vector<std::string>{a, b, c}));
}

TEST_F(IniDatabaseTest, AFieldListWithoutAPossibleIndexIsRefusedAndChangesNothing) {
  TDBFieldList longKey;
  longKey.Add(TDBFieldInfo("Key", 32));
  longKey.Add(TDBFieldInfo("Count"));
  try {
    db.SetFieldList(longKey);
    FAIL() << "accepted";
  } catch (const serial::EBadFieldList& e) {
    EXPECT_EQ(e.ErrorCode, -7013);
  }
  EXPECT_EQ(db.FieldList().Count(), 3);
  EXPECT_EQ(db.IndexedField(), "Name");
}

TEST_F(IniDatabaseTest, TheIndexMustBeAShortEnoughStringField) {
  TDBFieldList fields = ItemFields();
  fields.Add(TDBFieldInfo("Long", 32));
  db.SetFieldList(fields);
  for (const char* name : {"Long", "Count", "Nothing"}) {
    try {
      db.SetIndexedField(name);
      ADD_FAILURE() << name << " became the index";
    } catch (const serial::EBadFieldForIndex& e) {
      EXPECT_EQ(e.ErrorCode, -7014);
    }
  }
  db.SetIndexedField("note");
  EXPECT_EQ(db.IndexedField(), "note");
}

TEST_F(IniDatabaseTest, ANewFieldListTakesItsFirstStringFieldThatCanBeAnIndex) {
  TDBFieldList fields;
  fields.Add(TDBFieldInfo("Count"));
  fields.Add(TDBFieldInfo("Remarks", 200));
  fields.Add(TDBFieldInfo("Code", 8));
  db.SetOpen(true);
  db.SetFieldList(fields);
  EXPECT_EQ(db.IndexedField(), "Code");
  EXPECT_TRUE(db.Open()) << "an open database reopens with the new fields";
}

TEST_F(IniDatabaseTest, AFieldNameOf22CharactersFailsWhenTheDatabaseOpens) {
  TDBFieldList fields = ItemFields();
  fields.Add(TDBFieldInfo(std::string(22, 'x'), 5));
  db.SetFieldList(fields);
  EXPECT_THROW(db.SetOpen(true), serial::EKeyTooLong);
  EXPECT_FALSE(db.Open());
}

TEST_F(IniDatabaseTest, AnOpenDatabaseFollowsItsNewFile) {
  Add("Lamp", 1, "");
  const std::string other = dir.File("other.ini");
  db.SetFileName(other + "   ");
  EXPECT_EQ(db.FileName(), other);
  EXPECT_TRUE(db.Open());
  EXPECT_EQ(db.GetNumRecs(), 0);
  EXPECT_TRUE(std::filesystem::exists(other));
  db.SetFileName("   ");
  EXPECT_EQ(db.FileName(), other) << "an empty name is ignored";
}

TEST_F(IniDatabaseTest, TheFieldListIsStreamedWithTheComponent) {
  TDBFieldList fields = ItemFields();
  db.SetFieldList(fields);
  db.SetName("Items");
  const QJsonObject json = tk::Writer().WriteComponent(db);

  tk::Component other(nullptr);
  auto* read = dynamic_cast<TLkIniDBase*>(tk::Reader().ReadRoot(json, &other));
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->FieldList().Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(read->FieldList().Items(i).Name, fields.Items(i).Name);
    EXPECT_EQ(read->FieldList().Items(i).FieldLength, fields.Items(i).FieldLength);
    EXPECT_EQ(read->FieldList().Items(i).IsString, fields.Items(i).IsString);
  }
  EXPECT_EQ(read->FileName(), file);
  EXPECT_EQ(read->IndexedField(), "Name");
}

TEST_F(IniDatabaseTest, ThePhoneBooksFixedFieldsAreNotStreamed) {
  TLkPhonebook phonebook(&owner);
  phonebook.SetFileName(dir.File("phones.ini"));
  const QJsonObject json = tk::Writer().WriteComponent(phonebook);
  QStringList names;
  for (const auto& p : json["Properties"].toArray()) names << p.toArray().at(0).toString();
  EXPECT_EQ(names, QStringList{"FileName"});
  EXPECT_EQ(phonebook.FieldList().Count(), 2);
  EXPECT_EQ(phonebook.IndexedField(), "Name");
}

}  // namespace
}  // namespace telephony
