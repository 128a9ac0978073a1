#include "telephony/modem_database.h"

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "serial/lk_exception.h"
#include "support/temp_dir.h"
#include "telephony/modem_db_engine.h"

namespace telephony {
namespace {

class ModemDatabaseTest : public ::testing::Test {
 protected:
  ModemDatabaseTest() { modems.SetFileName(file); }

  // Stores a modem record as a user's editor would leave it, then reads it through the database.
  TModemInfo ReadStored(const std::string& key, const std::string& value) {
    TModemInfo info;
    info.Name = "Hand Edited";
    modems.AddModem(info);
    platform::WriteProfileString(file, "Hand Edited", key, value);
    TModemInfo read;
    modems.GetModem("Hand Edited", read);
    return read;
  }

  testing_support::TempDir dir;
  std::string file = dir.File("LWMODEM.INI");
  TLkModemDBase modems{nullptr};
};

TEST_F(ModemDatabaseTest, ANewFileHoldsTheDefaultsRecord) {
  modems.SetOpen(true);
  const std::pair<const char*, const char*> defaults[] = {{"InitCmd", "ATZ^M"},
                                                          {"DialCmd", "ATD"},
                                                          {"DialTerm", "^M"},
                                                          {"DialCancel", "^M"},
                                                          {"HangupCmd", "+++~~~ATH0^M"},
                                                          {"ConfigCmd", "ATE1Q0X1V1^M"},
                                                          {"AnswerCmd", "ATA^M"},
                                                          {"OkMsg", "OK"},
                                                          {"ConnectMsg", "CONNECT"},
                                                          {"BusyMsg", "BUSY"},
                                                          {"VoiceMsg", "VOICE"},
                                                          {"NoCarrierMsg", "NO CARRIER"},
                                                          {"NoDialToneMsg", "NO DIAL"},
                                                          {"ErrorMsg", "ERROR"},
                                                          {"RingMsg", "RING"},
                                                          {"ErrorCheckTags", ""},
                                                          {"CompressTags", ""},
                                                          {"LockDTE", "TRUE"},
                                                          {"DefaultBaud", "2400"},
                                                          {"_Entries", "0"}};
  for (const auto& [key, value] : defaults)
    EXPECT_EQ(platform::ReadProfileString(file, "Defaults", key, "<none>"), value) << key;
  EXPECT_EQ(platform::ReadProfileString(file, "Defaults", "Name", "<none>"), "<none>");
}

TEST_F(ModemDatabaseTest, AModemRoundTripsAndUnsetTextsTakeTheDefaults) {
  TModemInfo info;
  info.Name = "Courier";
  info.InitCmd = "AT&F^M";
  info.ErrorCheckTags = {2, {"V42", "MNP"}};
  info.LockDTE = false;
  info.DefaultBaud = 57600;
  modems.AddModem(info);
  EXPECT_EQ(platform::ReadProfileString(file, "Courier", "ErrorCheckTags", ""), "V42,MNP");
  EXPECT_EQ(platform::ReadProfileString(file, "Courier", "LockDTE", ""), "FALSE");

  TModemInfo read;
  modems.GetModem("courier", read);
  EXPECT_EQ(read.InitCmd, "AT&F^M");
  EXPECT_EQ(read.DialCmd, "ATD") << "an empty text reads as its default";
  EXPECT_EQ(read.ErrorCheckTags.Count, 2);
  EXPECT_EQ(read.ErrorCheckTags.Tags[1], "MNP");
  EXPECT_EQ(read.CompressTags.Count, 0);
  EXPECT_FALSE(read.LockDTE);
  EXPECT_EQ(read.DefaultBaud, 57600);
  EXPECT_EQ(modems.NumModems(), 1);
}

TEST_F(ModemDatabaseTest, LockDTEIsTrueOnlyForTheWordsThatMeanIt) {
  const std::pair<const char*, bool> cases[] = {{"yes", true}, {"TRUE", true},     {"on", true},     {"1", true},
                                                {"Y", false},  {"enabled", false}, {"FALSE", false}, {"0", false}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ReadStored("LockDTE", text).LockDTE, expected) << text;
    modems.DelModem("Hand Edited");
  }
}

TEST_F(ModemDatabaseTest, ADefaultBaudThatIsNotANumberReadsAs2400) {
  const std::pair<const char*, std::int32_t> cases[] = {{"fast", 2400}, {"9600", 9600}, {"96oo", 2400}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ReadStored("DefaultBaud", text).DefaultBaud, expected) << text;
    modems.DelModem("Hand Edited");
  }
}

TEST_F(ModemDatabaseTest, ATagListKeepsItsFirstFiveTagsEachCutTo21Characters) {
  const TModemInfo read = ReadStored("CompressTags", "a,b,c,d,e,f,g");
  EXPECT_EQ(read.CompressTags.Count, 5);
  EXPECT_EQ(read.CompressTags.Tags[4], "e");
  modems.DelModem("Hand Edited");
  const TModemInfo longTag = ReadStored("CompressTags", std::string(30, 'x') + ",V42bis");
  EXPECT_EQ(longTag.CompressTags.Tags[0], std::string(21, 'x'));
  EXPECT_EQ(longTag.CompressTags.Tags[1], "V42bis");
}

TEST_F(ModemDatabaseTest, TheNameListFollowsChanges) {
  modems.SetSortedIndex(true);
  for (const char* name : {"Zoom", "courier", "Hayes"}) {
    TModemInfo info;
    info.Name = name;
    modems.AddModem(info);
  }
  EXPECT_EQ(modems.GetRecordList(), (std::vector<std::string>{"courier", "Hayes", "Zoom"}));
  TModemInfo renamed;
  renamed.Name = "Acme";
  modems.UpdModem("Zoom", renamed);
  modems.DelModem("Hayes");
  EXPECT_EQ(modems.GetRecordList(), (std::vector<std::string>{"Acme", "courier"}));
  EXPECT_THROW(modems.DelModem("Hayes"), serial::ERecordNotFound);
}

TEST_F(ModemDatabaseTest, AModemWrittenToAnotherFileReadsBack) {
  TModemInfo info;
  info.Name = "Portable";
  info.DialCmd = "ATDP";
  info.DefaultBaud = 19200;
  const std::string other = dir.File("export.ini");
  modems.WriteToIni(info, "Mine", other);
  EXPECT_EQ(platform::ReadProfileString(other, "Mine", "Name", ""), "Portable");
  TModemInfo read;
  modems.ReadFromIni(read, "Mine", other);
  EXPECT_EQ(read.Name, "Portable");
  EXPECT_EQ(read.DialCmd, "ATDP");
  EXPECT_EQ(read.DefaultBaud, 19200);
}

TEST_F(ModemDatabaseTest, ANameListThatWouldOutgrowItsFileIsRefusedAsUnreadable) {
  const std::string text = testing_support::ReadFile(ZELTA_TEST_DATA_DIR "/damaged/modemdb-entries-huge-alloc.ini");
  testing_support::WriteFile(file, text);
  EXPECT_THROW(modems.GetRecordList(), serial::EIniRead);
  EXPECT_EQ(testing_support::ReadFile(file), text);
}

TEST(ModemDatabaseEngine, TheStoredRecordIs942BytesAndTheDatabaseMatchesIt) {
  testing_support::TempDir dir;
  TModemDatabasePtr db;
  ASSERT_EQ(mInitModemDatabase(db, dir.File("m.ini")), 0);
  EXPECT_EQ(db->Database->RecordSize, ModemRecordSize);
  EXPECT_EQ(db->Database->Fields.size(), 20u);
  EXPECT_TRUE(db->Database->Fields.front().IsIndex);
  TModemData data;
  EXPECT_EQ(mGetModem(*db, "none", data), ecRecordNotFound);
  EXPECT_EQ(data.Name[0], '\0');
  mDoneModemDatabase(db);
  EXPECT_EQ(db, nullptr);
}

TEST(ModemDatabaseEngine, AFileThatCannotBeMadeLeavesNoDatabase) {
  testing_support::TempDir dir;
  TModemDatabasePtr db;
  EXPECT_EQ(mInitModemDatabase(db, dir.File("no/folder/m.ini")), ecIniWrite);
  EXPECT_EQ(db, nullptr);
  TLkModemDBase modems(nullptr);
  modems.SetFileName(dir.File("no/folder/m.ini"));
  EXPECT_THROW(modems.SetOpen(true), serial::EIniWrite);
}

}  // namespace
}  // namespace telephony
