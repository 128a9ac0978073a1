#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
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

TEST_F(RegistryTest, AStoreThatCannotBeSavedReports) {
  // A folder where the file should be: nothing can be renamed over it, even by root.
  ASSERT_EQ(::mkdir(RegistryFilePath().c_str(), 0700), 0);
  Registry reg(RootKey::LocalMachine);
  EXPECT_THROW(reg.OpenKey("SOFTWARE\\QRN\\VORMO\\Config", true), RegistryError);
  EXPECT_FALSE(reg.HasCurrentKey());
}

}  // namespace
}  // namespace platform
