#include "project/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/paths.h"
#include "platform/registry.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace project {
namespace {

using testing_support::TestUi;

// A telephony side with one device to choose: the selection dialog picks `Choice` when one is set.
struct RecordingLinks : NoTelephonyLinks {
  void SelectDevice() override {
    ++Selections;
    if (Choice) DeviceName = *Choice;
  }
  int Selections = 0;
  std::optional<std::string> Choice;
};

using Value = std::variant<int, std::string>;
struct Entry {
  const char* Name;
  Value Data;
};

class SettingsTest : public ::testing::Test {
 protected:
  static void Store(const char* key, std::initializer_list<Entry> entries) {
    platform::Registry registry(platform::RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey(key, true));
    for (const Entry& e : entries) {
      if (const int* i = std::get_if<int>(&e.Data))
        registry.WriteInteger(e.Name, *i);
      else
        registry.WriteString(e.Name, std::get<std::string>(e.Data));
    }
  }
  // A complete Config key as a previous run leaves it, with the given values changed.
  static void StoreConfig(std::initializer_list<Entry> changes = {}) {
    Store(Settings::ConfigKey, {{"StartMode", 0},
                                {"Delay", 0},
                                {"ComNum", 2},
                                {"Method", 1},
                                {"NonTapi", 0},
                                {"Modem", std::string()},
                                {"Delete", 777},
                                {"ProgrammingMode", 0}});
    Store(Settings::ConfigKey, changes);
  }
  static void Remove(const char* key, const char* name) {
    platform::Registry registry(platform::RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey(key, false));
    ASSERT_TRUE(registry.DeleteValue(name));
  }
  static int Integer(const char* key, const char* name) {
    platform::Registry registry(platform::RootKey::LocalMachine);
    EXPECT_TRUE(registry.OpenKey(key, false)) << key;
    return registry.ReadInteger(name);
  }
  static std::string Text(const char* key, const char* name) {
    platform::Registry registry(platform::RootKey::LocalMachine);
    EXPECT_TRUE(registry.OpenKey(key, false)) << key;
    return registry.ReadString(name);
  }
  static bool KeyExists(const char* key) { return platform::Registry(platform::RootKey::LocalMachine).KeyExists(key); }

  testing_support::ScopedConfigDir config;
  RecordingLinks links;
  Settings settings{&links};
};

TEST_F(SettingsTest, FirstStartSeedsTheDefaultsSoTheReadSucceeds) {
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_TRUE(TestUi().Messages().empty());
  EXPECT_EQ(settings.ComNum, 1);
  EXPECT_EQ(settings.ComSelection, 1);
  EXPECT_EQ(settings.Method, 1);
  EXPECT_EQ(settings.Delete, Settings::DefaultPassword);
  EXPECT_EQ(settings.PasswordText, std::to_string(Settings::DefaultPassword));
  EXPECT_EQ(links.PortNumber, 1);
  EXPECT_EQ(links.Selections, 0);
  EXPECT_EQ(settings.CurrentDirectory, platform::CurrentDir());
  EXPECT_EQ(links.PhonebookFileName, platform::JoinPath(platform::CurrentDir(), "KivraPhoneBook.INI"));

  for (const char* name : {"StartMode", "Delay", "ComNum", "Method", "NonTapi", "Delete", "ProgrammingMode"})
    EXPECT_NO_THROW(Integer(Settings::ConfigKey, name)) << name;
  EXPECT_FALSE(KeyExists(Settings::TimeKey)) << "the location is stored by the first write";

  Settings again;
  EXPECT_TRUE(again.ReadConfigFile()) << "a second start reads what the first seeded";
}

TEST_F(SettingsTest, WhatTheWindowStoresIsWhatTheNextReadShows) {
  ASSERT_TRUE(settings.ReadConfigFile());
  settings.SelectComNum(0);
  links.DeviceName = "Line 2";
  settings.SelectMethod(0);
  settings.ProgrammingMode = 1;
  settings.PasswordText = "4321";
  settings.Latitude = "47.6";
  settings.Longitude = "122.33";
  settings.TimeZone = "-8";
  settings.UseDaylightSaving = false;
  settings.EditProtectedParams = true;
  ASSERT_TRUE(settings.OkOrClose());

  EXPECT_EQ(Integer(Settings::ConfigKey, "Delay"), 0);
  EXPECT_EQ(Integer(Settings::ConfigKey, "StartMode"), 0);
  EXPECT_EQ(Integer(Settings::ConfigKey, "ComNum"), 0);
  EXPECT_EQ(Integer(Settings::ConfigKey, "Method"), 0);
  EXPECT_EQ(Integer(Settings::ConfigKey, "Delete"), 4321);
  EXPECT_EQ(Integer(Settings::ConfigKey, "ProgrammingMode"), 1);
  EXPECT_EQ(Text(Settings::ConfigKey, "Modem"), "Line 2");
  EXPECT_EQ(Text(Settings::TimeKey, "Latitude"), "47.6");
  EXPECT_EQ(Integer(Settings::TimeKey, "DST"), 0);

  RecordingLinks otherLinks;
  Settings other(&otherLinks);
  ASSERT_TRUE(other.ReadConfigFile());
  EXPECT_EQ(other.ComNum, 0);
  EXPECT_EQ(other.Method, 0);
  EXPECT_EQ(other.Delay, 0);
  EXPECT_EQ(other.StartMode, 0);
  EXPECT_EQ(other.Delete, 4321);
  EXPECT_EQ(other.ProgrammingMode, 1);
  EXPECT_EQ(other.SelectedDevice, "Line 2");
  EXPECT_EQ(other.Latitude, "47.6");
  EXPECT_EQ(other.Longitude, "122.33");
  EXPECT_EQ(other.TimeZone, "-8");
  EXPECT_FALSE(other.UseDaylightSaving);
  EXPECT_FALSE(other.EditProtectedParams) << "not stored";
  EXPECT_EQ(otherLinks.Selections, 0) << "a device is chosen";
}

TEST_F(SettingsTest, TheStoreHoldsExactlyTheKnownValues) {
  ASSERT_TRUE(settings.ReadConfigFile());
  ASSERT_TRUE(settings.OkOrClose());
  platform::Registry registry(platform::RootKey::LocalMachine);
  ASSERT_TRUE(registry.OpenKey(Settings::ConfigKey, false));
  auto names = registry.GetValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"ComNum", "Delay", "Delete", "Method", "Modem", "NonTapi",
                                             "ProgrammingMode", "StartMode"}));
  ASSERT_TRUE(registry.OpenKey(Settings::TimeKey, false));
  names = registry.GetValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"DST", "Latitude", "Longitude", "TimeZone"}));
  EXPECT_FALSE(KeyExists(Settings::AppPathsKey)) << "the data directory is only read";
}

// A value the store lacks takes its default and is stored with it; one that is there but cannot be read
// stops the read with the store's message, what was read before it staying and what comes after keeping
// its value from before the read.
TEST_F(SettingsTest, AMissingIntegerIsSeededAndAnUnreadableOneFailsTheRead) {
  struct Case {
    const char* Name;
    int Default;
    int ComNum;  // what a failed read leaves
    int Delete;
  };
  for (const Case& c :
       {Case{"StartMode", 1, 1, Settings::DefaultPassword}, Case{"ComNum", 1, 1, Settings::DefaultPassword},
        Case{"Delete", Settings::DefaultPassword, 5, Settings::DefaultPassword}, Case{"ProgrammingMode", 0, 5, 777}}) {
    SCOPED_TRACE(c.Name);
    testing_support::ScopedConfigDir fresh;
    StoreConfig({{"ComNum", 5}});
    Remove(Settings::ConfigKey, c.Name);
    RecordingLinks caseLinks;
    Settings s(&caseLinks);
    TestUi().Clear();
    EXPECT_TRUE(s.ReadConfigFile());
    EXPECT_TRUE(TestUi().Messages().empty());
    EXPECT_EQ(Integer(Settings::ConfigKey, c.Name), c.Default);

    Store(Settings::ConfigKey, {{c.Name, std::string("x")}});
    s.CurrentDirectory = "kept?";
    caseLinks.PhonebookFileName.clear();
    EXPECT_FALSE(s.ReadConfigFile());
    EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{std::string("Invalid data type for '") + c.Name + "'"});
    EXPECT_EQ(s.ComNum, c.ComNum);
    EXPECT_EQ(s.Delete, c.Delete);
    EXPECT_EQ(s.CurrentDirectory, "") << "the before-read value";
    EXPECT_EQ(caseLinks.PhonebookFileName, "") << "the read stopped";
  }
}

TEST_F(SettingsTest, AMissingDaylightSavingValueKeepsTheBoxAsShown) {
  StoreConfig();
  Store(Settings::TimeKey, {{"Latitude", std::string("51.5")}, {"TimeZone", std::string("0")}});
  settings.UseDaylightSaving = false;
  EXPECT_TRUE(settings.ReadConfigFile());
  EXPECT_TRUE(TestUi().Messages().empty());
  EXPECT_EQ(settings.Latitude, "51.5");
  EXPECT_EQ(settings.Longitude, "") << "a missing string reads as empty";
  EXPECT_EQ(settings.TimeZone, "0");
  EXPECT_FALSE(settings.UseDaylightSaving);
  EXPECT_EQ(Integer(Settings::TimeKey, "DST"), 0);
}

TEST_F(SettingsTest, WithoutTheTimeKeyTheLocationStaysAsShown) {
  StoreConfig();
  settings.Latitude = "10.5";
  settings.TimeZone = "3";
  settings.UseDaylightSaving = false;
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.Latitude, "10.5");
  EXPECT_EQ(settings.TimeZone, "3");
  EXPECT_FALSE(settings.UseDaylightSaving);
  ASSERT_TRUE(settings.WriteConfigFile());
  EXPECT_EQ(Text(Settings::TimeKey, "Latitude"), "10.5");
  EXPECT_EQ(Text(Settings::TimeKey, "Longitude"), Settings::DefaultLongitude);
  EXPECT_EQ(Integer(Settings::TimeKey, "DST"), 0);
}

TEST_F(SettingsTest, AComPortReadClearsTheStoredDevice) {
  StoreConfig({{"ComNum", 3}, {"Modem", std::string("Line 1")}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.ComNum, 3);
  EXPECT_EQ(settings.SelectedDevice, "");
  EXPECT_EQ(links.DeviceName, "");
  EXPECT_EQ(links.PortNumber, 3);
  ASSERT_TRUE(settings.WriteConfigFile());
  EXPECT_EQ(Text(Settings::ConfigKey, "Modem"), "") << "the next write stores it empty";
}

// The radio group's handler runs only when the read moves it: a device stored while COM3 is already shown
// survives the next read.
TEST_F(SettingsTest, HandlersRunOnlyWhenTheShownChoiceChanges) {
  StoreConfig({{"ComNum", 3}});
  ASSERT_TRUE(settings.ReadConfigFile());
  Store(Settings::ConfigKey, {{"Modem", std::string("Line 1")}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.SelectedDevice, "Line 1");

  Store(Settings::ConfigKey, {{"ComNum", 4}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.SelectedDevice, "");
}

TEST_F(SettingsTest, TheModemWithoutADeviceOpensTheSelectionOnReadAndWrite) {
  StoreConfig({{"ComNum", 0}});
  links.Choice = "Line 3";
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(links.Selections, 1);
  EXPECT_EQ(settings.SelectedDevice, "Line 3");
  EXPECT_EQ(links.PortNumber, 0);

  links.Choice.reset();
  links.DeviceName.clear();
  ASSERT_TRUE(settings.WriteConfigFile());
  EXPECT_EQ(links.Selections, 2);

  links.Choice = "Line 4";
  links.DeviceName.clear();
  ASSERT_TRUE(settings.WriteConfigFile());
  EXPECT_EQ(links.Selections, 3);
  EXPECT_EQ(settings.SelectedDevice, "Line 4");
  EXPECT_EQ(Text(Settings::ConfigKey, "Modem"), "Line 4");
}

TEST_F(SettingsTest, TheAuxiliaryModemReadTicksTheBoxAndClearsTheDevice) {
  StoreConfig({{"ComNum", 2}, {"NonTapi", 1}, {"Modem", std::string("Line 1")}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_TRUE(settings.AuxModem);
  EXPECT_EQ(settings.NonTapi, 1);
  EXPECT_EQ(settings.ComNum, 2);
  EXPECT_EQ(links.DeviceName, "");
}

// The auxiliary modem with "&Modem" stored: on the first read the box is ticked last, which moves the
// choice to COM1 after the port was already given 0 and the device selection opened.
TEST_F(SettingsTest, TheAuxiliaryModemOnTheModemChoiceMovesToComOne) {
  StoreConfig({{"ComNum", 0}, {"NonTapi", 1}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(links.Selections, 1);
  EXPECT_EQ(links.PortNumber, 0);
  EXPECT_EQ(settings.ComNum, 1);
  EXPECT_EQ(settings.ComSelection, 1);
  EXPECT_TRUE(settings.AuxModem);
  EXPECT_EQ(settings.NonTapi, 1);
}

// With the box already ticked, a read that moves the choice to "&Modem" unticks it before NonTapi is
// looked at, so the auxiliary modem is switched off.
TEST_F(SettingsTest, MovingToTheModemUnticksTheAuxiliaryModem) {
  StoreConfig({{"ComNum", 2}, {"NonTapi", 1}});
  ASSERT_TRUE(settings.ReadConfigFile());
  ASSERT_TRUE(settings.AuxModem);
  Store(Settings::ConfigKey, {{"ComNum", 0}, {"Modem", std::string("Line 1")}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.ComNum, 0);
  EXPECT_FALSE(settings.AuxModem);
  EXPECT_EQ(settings.NonTapi, 0);
  EXPECT_EQ(settings.SelectedDevice, "Line 1");
}

TEST_F(SettingsTest, UserClicksFollowTheWindowsRules) {
  ASSERT_TRUE(settings.ReadConfigFile());
  settings.SelectComNum(0);
  links.DeviceName = "Line 1";
  settings.SelectDevice();
  EXPECT_EQ(settings.SelectedDevice, "Line 1");

  settings.SetNonTapi(true);
  EXPECT_EQ(settings.ComSelection, 1) << "the auxiliary modem needs a COM port";
  EXPECT_EQ(settings.ComNum, 1);
  EXPECT_EQ(settings.NonTapi, 1);
  EXPECT_EQ(settings.SelectedDevice, "");
  EXPECT_EQ(links.DeviceName, "");

  settings.SelectComNum(6);
  EXPECT_EQ(settings.ComNum, 6);
  EXPECT_TRUE(settings.AuxModem) << "a COM port keeps the auxiliary modem";
  settings.SetNonTapi(false);
  EXPECT_EQ(settings.NonTapi, 0);
  EXPECT_EQ(settings.ComNum, 6);

  settings.SetNonTapi(true);
  settings.SelectComNum(0);
  EXPECT_FALSE(settings.AuxModem);
  EXPECT_EQ(settings.NonTapi, 0);
}

TEST_F(SettingsTest, ClosingStoresThePasswordWhenItIsOneAndZeroDelayAndStartMode) {
  struct Case {
    const char* Typed;
    int Stored;
  };
  for (const Case& c : {Case{"0", 0}, Case{"65535", 65535}, Case{"65536", Settings::DefaultPassword},
                        Case{"-1", Settings::DefaultPassword}, Case{"", 0}, Case{"secret", 0}, Case{"12ab", 12},
                        Case{"99999999999999999999", Settings::DefaultPassword}}) {
    settings.PasswordText = c.Typed;
    settings.Delay = 3;
    settings.StartMode = 1;
    ASSERT_TRUE(settings.OkOrClose()) << c.Typed;
    EXPECT_EQ(settings.Delete, c.Stored) << c.Typed;
    EXPECT_EQ(Integer(Settings::ConfigKey, "Delete"), c.Stored) << c.Typed;
    EXPECT_EQ(Integer(Settings::ConfigKey, "Delay"), 0);
    EXPECT_EQ(Integer(Settings::ConfigKey, "StartMode"), 0);
  }
}

TEST_F(SettingsTest, TheDataDirectoryComesFromTheProgramsPath) {
  StoreConfig();
  Store(Settings::AppPathsKey, {{"Path", std::string("/srv/zelta/data")}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.CurrentDirectory, "/srv/zelta/data");
  EXPECT_EQ(links.PhonebookFileName, "/srv/zelta/data/KivraPhoneBook.INI");

  const std::string longPath = "/" + std::string(250, 'd') + "/" + std::string(250, 'e');
  Store(Settings::AppPathsKey, {{"Path", longPath}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.CurrentDirectory, longPath) << "a long path is kept whole";
  EXPECT_EQ(links.PhonebookFileName, longPath + "/KivraPhoneBook.INI");
}

// The radio groups show one of their items: a stored number past the last shows the last one.
TEST_F(SettingsTest, StoredChoicesOutOfRangeShowTheLastItem) {
  StoreConfig({{"ComNum", 12}, {"Method", 7}, {"ProgrammingMode", 9}});
  ASSERT_TRUE(settings.ReadConfigFile());
  EXPECT_EQ(settings.ComNum, 8);
  EXPECT_EQ(links.PortNumber, 8);
  EXPECT_EQ(settings.Method, 1);
  EXPECT_EQ(settings.ProgrammingMode, 1);
}

TEST(TimeSettings, ALocationTheSunTableCannotUseIsRefusedNamingItsField) {
  const std::string latitude = "Latitude must be a decimal number from -90 to 90";
  const std::string longitude = "Longitude must be a decimal number from -180 to 180";
  const std::string zone = "Time Zone must be a whole number of hours from -12 to 14";
  const struct {
    const char *Latitude, *Longitude, *TimeZone;
    const std::string& Error;
  } cases[] = {
      {"33.75", "84.39", "-5", {}},      {"-90", "180", "14", {}},          {"90", "-180", "-12", {}},
      {" +47.6 ", "122.33", " -8 ", {}}, {"90.01", "84", "-5", latitude},   {"abc", "84", "-5", latitude},
      {"", "84", "-5", latitude},        {"33", "999", "-5", longitude},    {"33", "-180.5", "-5", longitude},
      {"33", "1e2", "-5", longitude},    {"33", "84.3.9", "-5", longitude}, {"33", "84", "5.5", zone},
      {"33", "84", "15", zone},          {"33", "84", "-13", zone},         {"33", "84", "", zone},
      {"abc", "999", "x", latitude},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TimeSettingsError(c.Latitude, c.Longitude, c.TimeZone), c.Error)
        << c.Latitude << " / " << c.Longitude << " / " << c.TimeZone;
}

TEST_F(SettingsTest, AFailedWriteIsReported) {
  ASSERT_TRUE(settings.ReadConfigFile());
  // A directory where the store's lock belongs: no save can take the lock.
  std::filesystem::remove(platform::RegistryFilePath() + ".lock");
  std::filesystem::create_directory(platform::RegistryFilePath() + ".lock");
  EXPECT_FALSE(settings.OkOrClose());
  ASSERT_EQ(TestUi().Messages().size(), 1u);
  EXPECT_NE(TestUi().Messages()[0].find("Cannot save the settings"), std::string::npos) << TestUi().Messages()[0];
}

}  // namespace
}  // namespace project
