#include "telephony/ini_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/profile.h"
#include "support/temp_dir.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

// A database of a key "Name" (21), a string "Number" (21) and an integer "Rings": records of 48 bytes.
struct Contact {
  std::string Name, Number;
  std::int32_t Rings = 0;
};

std::vector<std::uint8_t> Record(const Contact& c) {
  std::vector<std::uint8_t> r(48, 0);
  std::memcpy(r.data(), c.Name.data(), std::min<std::size_t>(c.Name.size(), 21));
  std::memcpy(r.data() + 22, c.Number.data(), std::min<std::size_t>(c.Number.size(), 21));
  std::memcpy(r.data() + 44, &c.Rings, 4);  // little-endian host
  return r;
}

Contact FromRecord(const std::vector<std::uint8_t>& r) {
  Contact c;
  // A record the engine did not fill has no terminator: read no further than the field.
  const auto text = [&](std::size_t at) {
    const char* p = reinterpret_cast<const char*>(r.data() + at);
    return std::string(p, ::strnlen(p, 22));
  };
  c.Name = text(0);
  c.Number = text(22);
  std::memcpy(&c.Rings, r.data() + 44, 4);
  return c;
}

class IniEngineTest : public ::testing::Test {
 protected:
  void Define(TIniDatabase& database) {
    ASSERT_EQ(iAddIniDBStringField(database, "Name", 21, true), 0);
    ASSERT_EQ(iAddIniDBStringField(database, "Number", 21, false), 0);
    ASSERT_EQ(iAddIniDBIntField(database, "Rings"), 0);
  }
  // Opens the file as a prepared database, with default values when given.
  void Open(const Contact* defaults = nullptr) {
    ASSERT_EQ(iInitIniDatabase(db, file), 0);
    Define(*db);
    std::vector<std::uint8_t> d = defaults ? Record(*defaults) : std::vector<std::uint8_t>();
    ASSERT_EQ(iPrepareIniDatabase(*db, defaults ? d.data() : nullptr), 0);
  }
  std::int32_t Add(const Contact& c) { return iAddIniRecord(*db, Record(c).data()); }
  Contact Get(const std::string& key, std::int32_t* rc = nullptr) {
    std::vector<std::uint8_t> r(48, 0xEE);
    std::int32_t result = iGetIniRecord(*db, key, r.data());
    if (rc) *rc = result;
    EXPECT_TRUE(rc || result == 0) << "reading " << key << ": " << result;
    return FromRecord(r);
  }
  std::vector<std::string> Keys() {
    TIniIndexBuffer buffer;
    std::int32_t size = 0;
    if (iAllocIniIndexRec(*db, buffer, size) < 0) return {};
    EXPECT_EQ(iLoadIniIndex(*db, buffer.get(), size), 0);
    return IniIndexKeys(buffer.get(), size);
  }
  std::string Entry(const std::string& section, const std::string& key) {
    return platform::ReadProfileString(file, section, key, "<none>");
  }

  testing_support::TempDir dir;
  std::string file = dir.File("contacts.ini");
  TIniDatabasePtr db;
};

TEST_F(IniEngineTest, ANewFileStartsWithAnEmptyIndexAndNoRecords) {
  Open();
  EXPECT_EQ(ReadFile(file), "[Index]\r\n[Defaults]\r\n_Entries=0\r\n");
  EXPECT_EQ(iNumIniRecs(*db), 0);
  EXPECT_TRUE(Keys().empty());
  TIniIndexBuffer buffer;
  std::int32_t size = 0;
  EXPECT_EQ(iAllocIniIndexRec(*db, buffer, size), ecDatabaseEmpty);
  char small[8];
  EXPECT_EQ(iLoadIniIndex(*db, small, sizeof small), ecDatabaseEmpty);
}

TEST_F(IniEngineTest, RecordsKeepTheirTypedFieldsAndTheFileShowsThem) {
  Open();
  ASSERT_EQ(Add({"Office", "555-0100", 3}), 0);
  ASSERT_EQ(Add({"Cabin", "555-0199", -2}), 0);
  Contact office = Get("OFFICE");
  EXPECT_EQ(office.Name, "OFFICE") << "the key field is the key as the caller gave it";
  EXPECT_EQ(office.Number, "555-0100");
  EXPECT_EQ(office.Rings, 3);
  EXPECT_EQ(Get("Cabin").Rings, -2);
  EXPECT_EQ(Entry("Index", "Office"), "#");
  EXPECT_EQ(Entry("Office", "Number"), "555-0100");
  EXPECT_EQ(Entry("Office", "Rings"), "3");
  EXPECT_EQ(Entry("Office", "Name"), "<none>") << "the key is the section's name, not an entry";
  EXPECT_EQ(Entry("Defaults", "_Entries"), "2");
  EXPECT_EQ(iNumIniRecs(*db), 2);
  EXPECT_EQ(Keys(), (std::vector<std::string>{"Office", "Cabin"}));
}

TEST_F(IniEngineTest, MissingEntriesReadAsTheDefaultRecordsValues) {
  Contact defaults{"", "000", 5};
  Open(&defaults);
  EXPECT_EQ(Entry("Defaults", "Number"), "000");
  EXPECT_EQ(Entry("Defaults", "Rings"), "5");
  ASSERT_EQ(Add({"Bare", "", 1}), 0);
  EXPECT_EQ(Entry("Bare", "Number"), "<none>") << "an empty string is not stored";
  EXPECT_EQ(Get("Bare").Number, "000");
  platform::DeleteProfileKey(file, "Bare", "Rings");
  EXPECT_EQ(Get("Bare").Rings, 5);

  // An existing file takes its defaults and count from its "Defaults" section.
  iDoneIniDatabase(db);
  Open();
  EXPECT_EQ(iNumIniRecs(*db), 1);
  EXPECT_EQ(Get("Bare").Number, "000");
}

TEST_F(IniEngineTest, AStoredHashReadsEmptyAndSurvivesBeingSavedEmpty) {
  Open();
  ASSERT_EQ(Add({"Hash", "1", 0}), 0);
  platform::WriteProfileString(file, "Hash", "Number", "#");
  EXPECT_EQ(Get("Hash").Number, "");
  ASSERT_EQ(iUpdIniRecord(*db, "Hash", Record({"Hash", "", 0}).data()), 0);
  EXPECT_EQ(Entry("Hash", "Number"), "#");
  platform::WriteProfileString(file, "Hash", "Number", "#note");
  EXPECT_EQ(Get("Hash").Number, "#note") << "only a value of exactly # reads empty";
  // Cleared, such a value becomes the explicit empty one rather than staying.
  ASSERT_EQ(iUpdIniRecord(*db, "Hash", Record({"Hash", "", 0}).data()), 0);
  EXPECT_EQ(Entry("Hash", "Number"), "#");
  EXPECT_EQ(Get("Hash").Number, "");
}

TEST_F(IniEngineTest, AKeyThatExistsInAnyLetterCaseIsRefused) {
  Open();
  ASSERT_EQ(Add({"Office", "1", 0}), 0);
  for (const char* key : {"Office", "OFFICE", "office"}) EXPECT_EQ(Add({key, "2", 0}), ecRecordExists) << key;
  EXPECT_EQ(Get("Office").Number, "1");
  EXPECT_EQ(iNumIniRecs(*db), 1);
}

TEST_F(IniEngineTest, KeysAndValuesTheFileCannotHoldAreBadArgumentsAndWriteNothing) {
  Open();
  ASSERT_EQ(Add({"Office", "1", 0}), 0);
  const std::string before = ReadFile(file);
  for (const char* key : {"Index", "DEFAULTS", "", "a=b", "[a", "a]", ";a", " a", "a ", "a\tb", "a\x7F"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(Add({key, "1", 0}), -1002);
    EXPECT_EQ(iUpdIniRecord(*db, "Office", Record({key, "1", 0}).data()), -1002);
  }
  for (const char* number : {"1\r2", "1\n2"}) {
    EXPECT_EQ(Add({"Cabin", number, 0}), -1002);
    EXPECT_EQ(iUpdIniRecord(*db, "Office", Record({"Office", number, 0}).data()), -1002);
    EXPECT_EQ(iChangeIniDefaults(*db, Record({"", number, 0}).data()), -1002);
  }
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_EQ(iNumIniRecs(*db), 1);
  EXPECT_EQ(Add({"semi;colon [ok]x", "1", 0}), -1002) << "brackets anywhere";
  EXPECT_EQ(Add({"semi;colon", "1", 0}), 0) << "a ';' inside is plain text";
}

TEST_F(IniEngineTest, UpdatingUnderANameInOtherCaseRewritesTheFieldsInTheOldSection) {
  Open();
  ASSERT_EQ(Add({"Office", "1", 1}), 0);
  ASSERT_EQ(iUpdIniRecord(*db, "office", Record({"OFFICE", "2", 7}).data()), 0);
  EXPECT_EQ(platform::ProfileSectionNames(file), (std::vector<std::string>{"Index", "Defaults", "Office"}));
  EXPECT_EQ(Keys(), (std::vector<std::string>{"Office"}));
  EXPECT_EQ(Get("Office").Number, "2");
  EXPECT_EQ(Get("Office").Rings, 7);
}

TEST_F(IniEngineTest, UpdatingUnderANewNameMovesTheRecord) {
  Open();
  ASSERT_EQ(Add({"Office", "1", 1}), 0);
  ASSERT_EQ(Add({"Cabin", "2", 2}), 0);
  ASSERT_EQ(iUpdIniRecord(*db, "Office", Record({"Work", "3", 3}).data()), 0);
  EXPECT_EQ(Keys(), (std::vector<std::string>{"Cabin", "Work"}));
  EXPECT_EQ(platform::ProfileSectionNames(file), (std::vector<std::string>{"Index", "Defaults", "Cabin", "Work"}));
  EXPECT_EQ(Get("Work").Number, "3");
  EXPECT_EQ(iNumIniRecs(*db), 2);
}

TEST_F(IniEngineTest, UpdatingOntoAnotherRecordsNameIsRefusedAndLeavesBothRecords) {
  Open();
  ASSERT_EQ(Add({"Office", "1", 1}), 0);
  ASSERT_EQ(Add({"Cabin", "2", 2}), 0);
  EXPECT_EQ(iUpdIniRecord(*db, "Office", Record({"CABIN", "3", 3}).data()), ecRecordExists);
  EXPECT_EQ(Get("Office").Number, "1");
  EXPECT_EQ(Get("Cabin").Number, "2");
  EXPECT_EQ(iNumIniRecs(*db), 2);
}

TEST_F(IniEngineTest, DeletingRemovesTheIndexEntryAndTheSection) {
  Open();
  ASSERT_EQ(Add({"Office", "1", 1}), 0);
  ASSERT_EQ(Add({"Cabin", "2", 2}), 0);
  ASSERT_EQ(iDelIniRecord(*db, "OFFICE"), 0);
  EXPECT_EQ(ReadFile(file),
            "[Index]\r\nCabin=#\r\n[Defaults]\r\n_Entries=1\r\n[Cabin]\r\nNumber=2\r\nRings=2\r\n");
  EXPECT_FALSE(iKeyExists(*db, "Office"));
}

TEST_F(IniEngineTest, ARecordThatIsNotThereIsNotFound) {
  Open();
  std::int32_t rc = 0;
  Get("Nobody", &rc);
  EXPECT_EQ(rc, ecRecordNotFound);
  EXPECT_EQ(iDelIniRecord(*db, "Nobody"), ecRecordNotFound);
  EXPECT_EQ(iUpdIniRecord(*db, "Nobody", Record({"Nobody", "1", 0}).data()), ecRecordNotFound);
  // Only an index entry of "#" makes a record.
  platform::WriteProfileString(file, "Index", "Ghost", "yes");
  EXPECT_FALSE(iKeyExists(*db, "Ghost"));
}

TEST_F(IniEngineTest, The999thRecordIsAcceptedAndThe1000thRefusedWithoutWriting) {
  std::string text = "[Index]\n";
  for (int i = 0; i < 998; ++i) text += "K" + std::to_string(i) + "=#\n";
  text += "[Defaults]\n_Entries=998\n";
  WriteFile(file, text);
  Open();
  EXPECT_EQ(Add({"Last", "1", 0}), 0);
  EXPECT_EQ(iNumIniRecs(*db), 999);
  const std::string before = ReadFile(file);
  EXPECT_EQ(Add({"TooMany", "1", 0}), ecDatabaseFull);
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_EQ(Keys().size(), 999u) << "the key buffer holds every key";
}

TEST_F(IniEngineTest, ARecordCountTheDatabaseCannotHoldIsAReadErrorAndNothingIsSizedByIt) {
  const std::string damaged = std::string(ZELTA_TEST_DATA_DIR) + "/damaged/";
  for (const std::string& text :
       {ReadFile(damaged + "inidb-entries-overflow.ini"), ReadFile(damaged + "modemdb-entries-huge-alloc.ini"),
        std::string("[Defaults]\n_Entries=1000\n"), std::string("[Defaults]\n_Entries=-1\n")}) {
    SCOPED_TRACE(text);
    WriteFile(file, text);
    ASSERT_EQ(iInitIniDatabase(db, file), 0);
    Define(*db);
    ASSERT_EQ(iPrepareIniDatabase(*db, nullptr), ecIniRead);
    EXPECT_FALSE(db->Prepared);
    EXPECT_EQ(ReadFile(file), text);
  }
  db->NumRecords = 67108864;  // as the damaged file states it
  EXPECT_EQ(iGetIniIndexRecSize(*db), ecIniRead);
}

TEST_F(IniEngineTest, DeletingFromAFileWhoseCountFellShortKeepsACountItCanOpen) {
  WriteFile(file, "[Index]\nCabin=#\n[Defaults]\n_Entries=0\n[Cabin]\nRings=2\n");
  Open();
  ASSERT_EQ(iDelIniRecord(*db, "Cabin"), 0);
  EXPECT_EQ(Entry("Defaults", "_Entries"), "0");
  Open();
}

TEST_F(IniEngineTest, TheKeyListHoldsKeysOfTheLongestLength) {
  ASSERT_EQ(iInitIniDatabase(db, file), 0);
  ASSERT_EQ(iAddIniDBStringField(*db, "Key", 31, true), 0);
  ASSERT_EQ(iPrepareIniDatabase(*db, nullptr), 0);
  const std::string a(31, 'a'), b(31, 'b');
  std::vector<std::uint8_t> r(32, 0);
  for (const std::string& key : {a, b}) {
    std::memcpy(r.data(), key.data(), 31);
    ASSERT_EQ(iAddIniRecord(*db, r.data()), 0);
  }
  EXPECT_EQ(Keys(), (std::vector<std::string>{a, b}));
}

TEST_F(IniEngineTest, FieldsAreRefusedWhenTheyCannotBeStored) {
  ASSERT_EQ(iInitIniDatabase(db, file), 0);
  EXPECT_EQ(iAddIniDBStringField(*db, std::string(22, 'n'), 10, false), ecKeyTooLong);
  EXPECT_EQ(iAddIniDBStringField(*db, std::string(21, 'n'), 10, false), 0);
  EXPECT_EQ(iAddIniDBStringField(*db, "Key", 32, true), ecDataTooLarge) << "an index of 32 characters";
  EXPECT_EQ(iAddIniDBStringField(*db, "Big", 65520 - 11, false), ecDataTooLarge);
  EXPECT_EQ(iAddIniDBStringField(*db, "Big", 65520 - 12, false), 0);
  EXPECT_EQ(db->RecordSize, 65520);
}

TEST_F(IniEngineTest, RoutinesRefuseADatabaseWithoutFieldsIndexOrPreparation) {
  ASSERT_EQ(iInitIniDatabase(db, file), 0);
  std::vector<std::uint8_t> r(48, 0);
  EXPECT_EQ(iPrepareIniDatabase(*db, nullptr), ecNoFieldsDefined);
  EXPECT_EQ(iAddIniRecord(*db, r.data()), ecNoFieldsDefined);
  EXPECT_EQ(iNumIniRecs(*db), ecNoFieldsDefined);
  ASSERT_EQ(iAddIniDBStringField(*db, "Number", 21, false), 0);
  EXPECT_EQ(iPrepareIniDatabase(*db, nullptr), ecNoIndexKey);
  ASSERT_EQ(iAddIniDBStringField(*db, "Name", 21, true), 0);
  EXPECT_EQ(iAddIniRecord(*db, r.data()), ecDatabaseNotPrepared);
  EXPECT_EQ(iGetIniRecord(*db, "x", r.data()), ecDatabaseNotPrepared);
  EXPECT_EQ(iChangeIniDefaults(*db, r.data()), ecDatabaseNotPrepared);
  EXPECT_FALSE(iKeyExists(*db, "x"));
  EXPECT_FALSE(std::filesystem::exists(file)) << "nothing touches the file before it is prepared";
}

TEST_F(IniEngineTest, AFailedWriteReportsTheWriteError) {
  Open();
  ASSERT_EQ(Add({"Office", "1", 1}), 0);
  auto previous = platform::SetProfileWriteFunction([](int, const void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  });
  EXPECT_EQ(Add({"Cabin", "2", 2}), ecIniWrite);
  EXPECT_EQ(iDelIniRecord(*db, "Office"), ecIniWrite);
  EXPECT_EQ(iUpdIniRecord(*db, "Office", Record({"Office", "9", 9}).data()), ecIniWrite);
  EXPECT_EQ(iWriteToIni(*db, Record({"Office", "9", 9}).data(), "Export", dir.File("export.ini")), ecIniWrite);
  platform::SetProfileWriteFunction(previous);
  EXPECT_EQ(iNumIniRecs(*db), 1);
  EXPECT_EQ(Get("Office").Number, "1");

  // Preparing a new file that cannot be written.
  TIniDatabasePtr other;
  iInitIniDatabase(other, dir.File("missing/folder/x.ini"));
  Define(*other);
  EXPECT_EQ(iPrepareIniDatabase(*other, nullptr), ecIniWrite);
  EXPECT_FALSE(other->Prepared);
}

// Lets the first `writesLeft` writes through, then fails every one.
int writesLeft = 0;
ssize_t WriteUntilExhausted(int fd, const void* data, size_t size) {
  if (writesLeft-- > 0) return ::write(fd, data, size);
  errno = ENOSPC;
  return -1;
}

TEST_F(IniEngineTest, AnOperationIsWrittenWholeOrNotAtAll) {
  const std::vector<std::pair<const char*, std::function<std::int32_t()>>> operations = {
      {"add", [&] { return Add({"Cabin", "2", 2}); }},
      {"move", [&] { return iUpdIniRecord(*db, "Office", Record({"Work", "3", 3}).data()); }},
      {"delete", [&] { return iDelIniRecord(*db, "Office"); }},
  };
  for (const auto& [name, operation] : operations) {
    for (int allowed = 0; allowed < 4; ++allowed) {
      SCOPED_TRACE(std::string(name) + " after " + std::to_string(allowed) + " writes");
      std::filesystem::remove(file);
      Open();
      ASSERT_EQ(Add({"Office", "1", 1}), 0);
      const std::string before = ReadFile(file);
      writesLeft = allowed;
      auto previous = platform::SetProfileWriteFunction(WriteUntilExhausted);
      const std::int32_t rc = operation();
      platform::SetProfileWriteFunction(previous);
      if (rc == 0) continue;  // all of it went through
      EXPECT_EQ(rc, ecIniWrite);
      EXPECT_EQ(ReadFile(file), before);
      EXPECT_EQ(iNumIniRecs(*db), 1);
    }
  }
}

TEST_F(IniEngineTest, ARecordWrittenToAnotherFileReadsBackWithEveryField) {
  Open();
  const std::string other = dir.File("export.ini");
  ASSERT_EQ(iWriteToIni(*db, Record({"Office", "", 4}).data(), "Saved", other), 0);
  EXPECT_EQ(ReadFile(other), "[Saved]\r\nName=Office\r\nNumber=\r\nRings=4\r\n");
  std::vector<std::uint8_t> r(48, 0xEE);
  ASSERT_EQ(iReadFromIni(*db, r.data(), "Saved", other), 0);
  Contact c = FromRecord(r);
  EXPECT_EQ(c.Name, "Office");
  EXPECT_EQ(c.Number, "");
  EXPECT_EQ(c.Rings, 4);
}

TEST(IniEngineFiles, ABareNameThatExistsOnlyInTheWindowsDirectoryIsReadNotOverwritten) {
  testing_support::ScopedConfigDir config;
  const std::string text = "[Index]\nOffice=#\n[Defaults]\n_Entries=1\nNumber=000\n[Office]\nNumber=42\n";
  WriteFile(config.Dir().File("PHONES.INI"), text);
  TIniDatabasePtr db;
  iInitIniDatabase(db, "PHONES.INI");
  iAddIniDBStringField(*db, "Name", 21, true);
  iAddIniDBStringField(*db, "Number", 21, false);
  ASSERT_EQ(iPrepareIniDatabase(*db, nullptr), 0);
  EXPECT_EQ(iNumIniRecs(*db), 1);
  EXPECT_EQ(ReadFile(config.Dir().File("PHONES.INI")), text);
  std::vector<std::uint8_t> r(44, 0);
  ASSERT_EQ(iGetIniRecord(*db, "Office", r.data()), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 22), "42");
}

}  // namespace
}  // namespace telephony
