#include "platform/registry.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/atomic_file.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  testing_support::ScopedConfigDir config;
};

TEST_F(RegistryTest, FileLocationFollowsTheEnvironment) {
  EXPECT_EQ(RegistryFilePath(), config.Dir().File("registry.ini"));
}

TEST_F(RegistryTest, ValuesRoundTripAcrossAccessObjects) {
  {
    Registry reg(RootKey::LocalMachine);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true));
    reg.WriteInteger("ComNum", 3);
    reg.WriteInteger("Delay", -1);
    reg.WriteString("Path", "C:\\data \"x\"\n\xe9");
    reg.WriteBool("Delete", true);
  }
  Registry reg(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenKey("\\software\\qrn\\vormo\\CONFIG", false)) << "keys match ignoring case";
  EXPECT_EQ(reg.ReadInteger("comnum"), 3);
  EXPECT_EQ(reg.ReadInteger("Delay"), -1);
  EXPECT_EQ(reg.ReadString("Path"), "C:\\data \"x\"\n\xe9");
  EXPECT_TRUE(reg.ReadBool("Delete"));
  EXPECT_EQ(reg.GetValueNames().size(), 4u);
}

TEST_F(RegistryTest, MissingValuesFollowTheOriginalsReadRules) {
  Registry reg(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true));
  EXPECT_EQ(reg.ReadString("Modem"), "");
  try {
    reg.ReadInteger("StartMode");
    FAIL() << "a missing integer must fail";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'StartMode'");
  }
  reg.WriteString("Method", "2");
  EXPECT_THROW(reg.ReadInteger("Method"), RegistryError) << "a string is not an integer";
  EXPECT_FALSE(reg.ValueExists("StartMode"));
  EXPECT_TRUE(reg.ValueExists("method"));
}

TEST_F(RegistryTest, OpeningWithoutCreateNeedsAnExistingKey) {
  Registry reg(RootKey::LocalMachine);
  EXPECT_FALSE(reg.KeyExists("SOFTWARE\\QRN\\VORMO\\Time"));
  EXPECT_FALSE(reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Time", false));
  EXPECT_FALSE(reg.HasCurrentKey());
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Time", true));
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists("SOFTWARE\\QRN\\VORMO\\Time"));
  EXPECT_TRUE(reg.KeyExists("SOFTWARE\\QRN")) << "creating a key creates the keys above it";
  EXPECT_FALSE(reg.KeyExists("SOFTWARE\\QR")) << "a prefix of a name is not a key";
  Registry user(RootKey::CurrentUser);
  EXPECT_FALSE(user.KeyExists("SOFTWARE\\QRN\\VORMO\\Time")) << "root keys are separate";
}

TEST_F(RegistryTest, RelativeKeysOpenBelowTheCurrentKey) {
  Registry reg(RootKey::CurrentUser);
  ASSERT_TRUE(reg.OpenKey("Software\\Zelta", true));
  ASSERT_TRUE(reg.OpenKey("Telephony", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Zelta\\Telephony");
  reg.WriteInteger("Usage", 1);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Zelta", false));
  EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Telephony"});
  EXPECT_TRUE(reg.DeleteKey("Telephony"));
  EXPECT_FALSE(reg.KeyExists("Telephony"));
}

TEST_F(RegistryTest, WritingWithNoOpenKeyFails) {
  Registry reg(RootKey::LocalMachine);
  EXPECT_THROW(reg.WriteInteger("ComNum", 1), RegistryError);
}

TEST_F(RegistryTest, TwoStoresOnOneFileSeeEachOthersWrites) {
  Registry a(RootKey::LocalMachine), b(RootKey::LocalMachine);
  ASSERT_TRUE(a.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true));
  ASSERT_TRUE(b.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true));
  a.WriteInteger("ComNum", 1);
  b.WriteInteger("Method", 2);
  a.WriteInteger("ComNum", 4);
  EXPECT_EQ(b.ReadInteger("ComNum"), 4);
  EXPECT_EQ(a.ReadInteger("Method"), 2) << "a's later write kept b's value";
  EXPECT_TRUE(b.DeleteValue("ComNum"));
  EXPECT_FALSE(a.ValueExists("ComNum"));
}

TEST_F(RegistryTest, AStoreThatCannotBeReadIsNeverWrittenOver) {
  // A folder where the file should be cannot be read, whoever runs the test.
  ASSERT_EQ(::mkdir(RegistryFilePath().c_str(), 0700), 0);
  for (int i = 0; i < 2; ++i) {
    Registry reg(RootKey::LocalMachine);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true));
    reg.WriteInteger("ComNum", 2 + i);
    EXPECT_EQ(reg.ReadInteger("ComNum"), 2 + i) << "the settings live on in memory";
  }
  struct stat st {};
  ASSERT_EQ(::stat(RegistryFilePath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode)) << "nothing was written over it";
  ASSERT_EQ(testing_support::TestUi().Messages().size(), 1u) << "said once";
  EXPECT_NE(testing_support::TestUi().Messages()[0].find("cannot be read"), std::string::npos);
}

TEST_F(RegistryTest, ASaveThatCannotTakeTheLockIsRefused) {
  ASSERT_EQ(::mkdir((RegistryFilePath() + ".lock").c_str(), 0700), 0);
  Registry reg(RootKey::LocalMachine);
  EXPECT_EQ(reg.ReadString("Modem"), "") << "reading needs no lock";
  try {
    reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true);
    FAIL() << "saved without the lock";
  } catch (const RegistryError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot lock"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_NE(::access(RegistryFilePath().c_str(), F_OK), 0);
}

TEST_F(RegistryTest, LinesNotUnderstoodAreKeptThroughASave) {
  const std::vector<std::string> odd = {
      "stray text before any key", "\"Colour\"=hex:00,ff",    "\"Count\"=dword:12345678z",
      "; a comment of the user's", "\"Name\"=\"unterminated",
  };
  std::string file = "; Zelta settings\n" + odd[0] + "\n[HKEY_LOCAL_MACHINE\\Soft]\n\"Kept\"=dword:00000007\n";
  for (size_t i = 1; i < odd.size(); ++i) file += odd[i] + "\n";
  testing_support::WriteFile(RegistryFilePath(), file);

  Registry reg(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenKey("Soft", false));
  EXPECT_EQ(reg.ReadInteger("Kept"), 7);
  EXPECT_FALSE(reg.ValueExists("Count")) << "a malformed integer is not read as a number";
  reg.WriteInteger("Added", 1);

  std::string saved = testing_support::ReadFile(RegistryFilePath());
  for (const auto& line : odd) EXPECT_NE(saved.find(line + "\n"), std::string::npos) << line;
  EXPECT_NE(saved.find("\"Kept\"=dword:00000007"), std::string::npos);
  ASSERT_EQ(testing_support::TestUi().Messages().size(), 1u);
  EXPECT_NE(testing_support::TestUi().Messages()[0].find("Line 2 "), std::string::npos)
      << testing_support::TestUi().Messages()[0];
}

TEST_F(RegistryTest, AKeptLineKeepsItsOwnLineEndThroughEverySave) {
  // A comment whose text ends in a carriage return, before its CR LF.
  const std::string comment =
      testing_support::ReadFile(std::string(ZELTA_TEST_DATA_DIR) + "/damaged/registry-kept-line-trailing-cr.ini");
  testing_support::WriteFile(RegistryFilePath(), comment);
  Registry reg(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenKey("Soft", true));
  for (int save = 0; save < 2; ++save) {
    reg.WriteInteger("ComNum", save);
    EXPECT_NE(testing_support::ReadFile(RegistryFilePath()).find(comment), std::string::npos) << "save " << save;
  }
}

TEST_F(RegistryTest, TheFolderNameFromTheEnvironmentIsTakenAsText) {
  const std::string native = config.Dir().File("K\303\274che");  // "Küche" in UTF-8
  ::setenv("ZELTA_CONFIG_DIR", native.c_str(), 1);               // the fixture restores it
  EXPECT_EQ(RegistryFilePath(), config.Dir().File("K\374che/registry.ini"));
  Registry reg(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenKey("Soft", true));
  EXPECT_EQ(::access((native + "/registry.ini").c_str(), F_OK), 0);

  // A name Latin-1 cannot hold: the settings live in memory, and nothing is written there.
  const std::string omega = config.Dir().File("\xce\xa9");
  ::setenv("ZELTA_CONFIG_DIR", omega.c_str(), 1);
  EXPECT_EQ(RegistryFilePath(), "");
  ASSERT_TRUE(reg.OpenKey("\\Soft", true));
  reg.WriteInteger("ComNum", 5);
  EXPECT_EQ(reg.ReadInteger("ComNum"), 5);
  EXPECT_EQ(testing_support::TestUi().Messages().size(), 1u);
  EXPECT_NE(::access(omega.c_str(), F_OK), 0);
}

TEST_F(RegistryTest, TheStoreIsReadableByItsOwnerOnlyAfterEverySave) {
  Registry reg(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true));
  for (const bool leftOpenBefore : {false, true}) {
    // As an earlier version left it.
    if (leftOpenBefore) {
      ASSERT_EQ(::chmod(RegistryFilePath().c_str(), 0644), 0);
    }
    reg.WriteInteger("Delete", 1234);
    struct stat st {};
    ASSERT_EQ(::stat(RegistryFilePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << leftOpenBefore;
  }
}

TEST_F(RegistryTest, WithoutAHomeVariableTheFolderIsInTheHomeThePasswordDatabaseGives) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* me = nullptr;
  ASSERT_EQ(::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &me), 0);
  ASSERT_NE(me, nullptr);
  struct stat folder {};
  if (::stat(me->pw_dir, &folder) != 0 || !S_ISDIR(folder.st_mode) || folder.st_uid != ::geteuid())
    GTEST_SKIP() << "the password database gives this user no home folder of their own (" << me->pw_dir << ")";
  const std::string expected = std::string(me->pw_dir) + "/.config/zelta";
  for (const char* home : {static_cast<const char*>(nullptr), ""}) {
    testing_support::ScopedEnv noConfig("ZELTA_CONFIG_DIR", std::nullopt), noXdg("XDG_CONFIG_HOME", std::nullopt),
        noHome("HOME", home ? std::optional<std::string>(home) : std::nullopt);
    EXPECT_EQ(LocateConfigFolder().Path, expected) << (home ? "empty" : "unset");
  }
}

void ExpectTheFolderIsNotUsed(const testing_support::TempDir& folder) {
  Registry reg(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenKey("Soft", true));
  reg.WriteInteger("ComNum", 5);
  EXPECT_EQ(reg.ReadInteger("ComNum"), 5) << "the settings live on in memory";
  EXPECT_FALSE(std::filesystem::exists(folder.File("registry.ini")));
  const auto& told = testing_support::TestUi().Messages();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("belongs to another user"), std::string::npos) << told[0];
}

TEST_F(RegistryTest, AFolderOthersMayChangeIsNotUsed) {
  ASSERT_EQ(::chmod(config.Dir().Path().c_str(), 0757), 0);
  ExpectTheFolderIsNotUsed(config.Dir());
}

TEST_F(RegistryTest, AFolderAnotherUserOwnsIsNotUsed) {
  if (::chown(config.Dir().Path().c_str(), 4321, 4321) != 0)
    GTEST_SKIP() << "only root can give a folder to another user: " << std::strerror(errno);
  ExpectTheFolderIsNotUsed(config.Dir());
}

}  // namespace
}  // namespace platform
