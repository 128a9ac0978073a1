#include "platform/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/temp_dir.h"

namespace platform {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class ProfileTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  std::string file = dir.File("test.ini");
};

TEST_F(ProfileTest, SectionsAndKeysMatchIgnoringCaseAndSurroundingBlanks) {
  WriteFile(file, "[Index]\nBob=#\n[ Mixed Case ]\n  Some Key  =  padded value  \n");
  struct Case {
    const char* Section;
    const char* Key;
    const char* Expected;
  } cases[] = {
      {"Index", "Bob", "#"},
      {"INDEX", "bob", "#"},
      {"index", "BOB", "#"},
      {"mixed case", "SOME KEY", "padded value"},
      {" Mixed Case ", " some key ", "padded value"},
      {"Index", "Bo", "missing"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadProfileString(file, c.Section, c.Key, "missing"), c.Expected) << c.Section << "/" << c.Key;
}

TEST_F(ProfileTest, WritingAnExistingKeyInOtherCaseReplacesItsValueAndKeepsItsSpelling) {
  WriteFile(file, "[Phone]\nNumber=1\n");
  ASSERT_TRUE(WriteProfileString(file, "PHONE", "NUMBER", "2"));
  EXPECT_EQ(ReadFile(file), "[Phone]\nNumber=2\n");
}

TEST_F(ProfileTest, NewKeysGoToTheEndOfTheirSectionAndNewSectionsToTheEndOfTheFile) {
  WriteFile(file, "; kept comment\n[A]\nx=1\n\n[B]\ny=2\n");
  ASSERT_TRUE(WriteProfileString(file, "a", "z", "3"));
  ASSERT_TRUE(WriteProfileString(file, "C", "w", "4"));
  EXPECT_EQ(ReadFile(file), "; kept comment\n[A]\nx=1\nz=3\n\n[B]\ny=2\n[C]\nw=4\n");
  EXPECT_EQ(ProfileSectionNames(file), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(ProfileKeyNames(file, "a"), (std::vector<std::string>{"x", "z"}));
}

TEST_F(ProfileTest, AFileKeepsItsLineEndsAndANewFileGetsCarriageReturnLineFeeds) {
  struct Case {
    const char* Before;
    const char* After;
  } cases[] = {
      {"[A]\r\nx=1\r\n", "[A]\r\nx=1\r\ny=2\r\n"},
      {"[A]\nx=1\n", "[A]\nx=1\ny=2\n"},
      {nullptr, "[A]\r\ny=2\r\n"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(file);
    if (c.Before) WriteFile(file, c.Before);
    ASSERT_TRUE(WriteProfileString(file, "A", "y", "2"));
    EXPECT_EQ(ReadFile(file), c.After);
    EXPECT_EQ(ReadProfileString(file, "A", "y", ""), "2");
  }
}

TEST_F(ProfileTest, WritingAnEntryChangesNoOtherLineWhateverItsLineEnd) {
  const std::string damaged = std::string(ZELTA_TEST_DATA_DIR) + "/damaged/";
  const std::string crValue = ReadFile(damaged + "profile-value-trailing-cr.ini");
  // The same value on an unended last line: the end it is given keeps the carriage return in the text.
  const std::string crLast = ReadFile(damaged + "profile-last-line-trailing-cr.ini");
  struct Case {
    std::string Before;
    const char* Section;
    std::string After;
  } cases[] = {
      {crValue, "a", crValue + "n=1\n"},
      {crValue, "b", crValue + "[b]\nn=1\n"},
      {crLast, "a", crLast + "\nn=1\n"},
      {crLast, "b", crLast + "\n[b]\nn=1\n"},
      {"[A]\r\nn=0\n[B]\r\ny=2\r\r\n", "A", "[A]\r\nn=1\n[B]\r\ny=2\r\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Before);
    WriteFile(file, c.Before);
    const std::string k = ReadProfileString(file, "a", "k", "");
    ASSERT_TRUE(WriteProfileString(file, c.Section, "n", "1"));
    EXPECT_EQ(ReadFile(file), c.After);
    EXPECT_EQ(ReadProfileString(file, "a", "k", ""), k);
  }
}

TEST_F(ProfileTest, AnImageWritesAllItsChangesInOneReplaceOrNone) {
  WriteFile(file, "[A]\nx=1\n[B]\ny=2\n");
  ProfileImage image(file);
  ASSERT_TRUE(image.WriteString("A", "z", "3"));
  image.DeleteSection("B");
  EXPECT_FALSE(image.WriteString("A", "bad=key", "1"));
  EXPECT_EQ(image.ReadString("a", "Z", ""), "3");
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\n[B]\ny=2\n") << "nothing is written before Save";
  auto previous = SetProfileWriteFunction([](int, const void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  });
  EXPECT_FALSE(image.Save());
  SetProfileWriteFunction(previous);
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\n[B]\ny=2\n");
  ASSERT_TRUE(image.Save());
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\nz=3\n");
}

TEST_F(ProfileTest, AMissingFileReadsAsEmptyAndDeletingFromItWritesNothing) {
  const std::string missing = dir.File("none.ini");
  EXPECT_EQ(ReadProfileString(missing, "S", "k", "dflt"), "dflt");
  EXPECT_EQ(ReadProfileInteger(missing, "S", "k", 7), 7);
  EXPECT_TRUE(ProfileSectionNames(missing).empty());
  EXPECT_TRUE(ProfileKeyNames(missing, "S").empty());
  EXPECT_TRUE(DeleteProfileKey(missing, "S", "k"));
  EXPECT_TRUE(DeleteProfileSection(missing, "S"));
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(ProfileTest, IntegersReadTheLeadingDecimalNumberOfTheValue) {
  WriteFile(file, "[S]\nplain=42\nneg=-7\nplus=+5\nmixed=12abc\nword=abc\nempty=\n");
  struct Case {
    const char* Key;
    std::int32_t Expected;
  } cases[] = {{"plain", 42}, {"neg", -7}, {"plus", 5}, {"mixed", 12}, {"word", 0}, {"empty", 99}, {"missing", 99}};
  for (const Case& c : cases) EXPECT_EQ(ReadProfileInteger(file, "S", c.Key, 99), c.Expected) << c.Key;
  ASSERT_TRUE(WriteProfileInteger(file, "S", "written", -123));
  EXPECT_EQ(ReadProfileString(file, "S", "written", ""), "-123");
}

TEST_F(ProfileTest, DeletingAKeyOrASectionRemovesOnlyThat) {
  WriteFile(file, "[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
  ASSERT_TRUE(DeleteProfileKey(file, "a", "X"));
  ASSERT_TRUE(DeleteProfileSection(file, "b"));
  EXPECT_EQ(ReadFile(file), "[A]\ny=2\n[C]\nw=4\n");
}

TEST_F(ProfileTest, NamesTheFileCannotHoldBackAreRefusedAndNothingIsWritten) {
  WriteFile(file, "[A]\nx=1\n");
  struct Case {
    const char* Section;
    const char* Key;
    const char* Value;
  } cases[] = {{"A", "a=b", "v"}, {"A", "[k", "v"}, {"A", ";k", "v"},        {"A", "  ", "v"},
               {"A]", "k", "v"},  {"", "k", "v"},   {"A", "k", "two\nlines"}};
  for (const Case& c : cases) {
    EXPECT_FALSE(WriteProfileString(file, c.Section, c.Key, c.Value)) << c.Section << "/" << c.Key;
    EXPECT_FALSE(LastProfileError().empty());
  }
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\n");
}

TEST_F(ProfileTest, AFailedWriteKeepsTheOldFileAndSaysWhy) {
  WriteFile(file, "[A]\nx=1\n[B]\ny=2\n");
  auto previous = SetProfileWriteFunction([](int, const void*, size_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  });
  EXPECT_FALSE(WriteProfileString(file, "A", "x", "2"));
  EXPECT_FALSE(DeleteProfileSection(file, "A"));
  EXPECT_NE(LastProfileError().find("No space left"), std::string::npos) << LastProfileError();
  SetProfileWriteFunction(previous);
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\n[B]\ny=2\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary file is left";
  EXPECT_TRUE(WriteProfileString(file, "A", "x", "2"));
  EXPECT_TRUE(LastProfileError().empty());
}

TEST_F(ProfileTest, AWriteIntoAFolderThatDoesNotExistFails) {
  EXPECT_FALSE(WriteProfileString(dir.File("no/such/folder.ini"), "A", "x", "1"));
}

TEST(ProfileFiles, ABareNameLivesInTheWindowsDirectoryWhichAReadDoesNotMake) {
  testing_support::ScopedConfigDir config;
  const std::string folder = config.Dir().File("zelta");
  testing_support::ScopedEnv notMadeYet("ZELTA_CONFIG_DIR", folder);
  EXPECT_EQ(ReadProfileString("LWMODEM.INI", "Defaults", "_Entries", "none"), "none");
  EXPECT_FALSE(std::filesystem::exists(folder));
  ASSERT_TRUE(WriteProfileString("LWMODEM.INI", "Defaults", "_Entries", "0"));
  EXPECT_EQ(ReadFile(folder + "/LWMODEM.INI"), "[Defaults]\r\n_Entries=0\r\n");
  EXPECT_EQ(ProfilePath("LWMODEM.INI"), folder + "/LWMODEM.INI");
}

void ExpectABareNameIsNeitherReadNorWritten(const std::string& planted) {
  EXPECT_EQ(ReadProfileString("win.ini", "a", "k", "none"), "none");
  EXPECT_FALSE(WriteProfileString("win.ini", "a", "k", "written"));
  EXPECT_FALSE(LastProfileError().empty());
  EXPECT_EQ(ReadFile(planted), "[a]\nk=planted\n");
  EXPECT_FALSE(std::filesystem::exists("win.ini")) << "nor is it written where the program runs";
}

TEST(ProfileFiles, ABareNameInAFolderOthersMayChangeIsNeitherReadNorWritten) {
  testing_support::ScopedConfigDir config;
  WriteFile(config.Dir().File("win.ini"), "[a]\nk=planted\n");
  ASSERT_EQ(::chmod(config.Dir().Path().c_str(), 0757), 0);
  ExpectABareNameIsNeitherReadNorWritten(config.Dir().File("win.ini"));
}

TEST(ProfileFiles, ABareNameInAFolderAnotherUserOwnsIsNeitherReadNorWritten) {
  testing_support::ScopedConfigDir config;
  WriteFile(config.Dir().File("win.ini"), "[a]\nk=planted\n");
  if (::chown(config.Dir().Path().c_str(), 4321, 4321) != 0)
    GTEST_SKIP() << "only root can give a folder to another user: " << std::strerror(errno);
  ExpectABareNameIsNeitherReadNorWritten(config.Dir().File("win.ini"));
}

TEST(ProfileFiles, AFileIsFoundWhenItsNameDiffersOnlyInCase) {
  testing_support::TempDir dir;
  WriteFile(dir.File("KivraPhoneBook.INI"), "[Index]\nBob=#\n");
  const std::string other = dir.File("kivraphonebook.ini");
  EXPECT_EQ(ReadProfileString(other, "Index", "Bob", ""), "#");
  ASSERT_TRUE(WriteProfileString(other, "Index", "Ann", "#"));
  EXPECT_FALSE(std::filesystem::exists(other)) << "the existing file is written, not a second one";
  EXPECT_EQ(ReadFile(dir.File("KivraPhoneBook.INI")), "[Index]\nBob=#\nAnn=#\n");
}

}  // namespace
}  // namespace platform
