#include "gui/controller/setup_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "platform/registry.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace {

using project::Settings;
using testing_support::Click;
using testing_support::Replace;
using testing_support::Shoot;
using testing_support::TestUi;

struct RecordingLinks : project::NoTelephonyLinks {
  void SelectDevice() override {
    ++Selections;
    DeviceName = "Line 7";
  }
  int Selections = 0;
};

int StoredInteger(const char* name) {
  platform::Registry registry(platform::RootKey::LocalMachine);
  EXPECT_TRUE(registry.OpenKey(Settings::ConfigKey, false));
  return registry.ReadInteger(name);
}

std::string StoredText(const char* key, const char* name) {
  platform::Registry registry(platform::RootKey::LocalMachine);
  EXPECT_TRUE(registry.OpenKey(key, false));
  return registry.ReadString(name);
}

class SetupFormTest : public ::testing::Test {
 protected:
  SetupFormTest() {
    EXPECT_TRUE(settings.ReadConfigFile());
    form = std::make_unique<TSetupForm>(settings);
    form->show();
    QApplication::processEvents();
  }

  QAbstractButton* ComButton(int index) { return form->RadioGroup1Buttons->button(index); }

  testing_support::ScopedConfigDir config;
  RecordingLinks links;
  Settings settings{&links};
  std::unique_ptr<TSetupForm> form;
};

TEST_F(SetupFormTest, PickingAPortAndTheAuxModemThenOkStoresThem) {
  Click(ComButton(3));
  Click(form->CheckBox1);
  EXPECT_TRUE(form->CheckBox1->isChecked());
  EXPECT_EQ(settings.ComNum, 3);

  Shoot(form.get(), "/tmp/setup_form.png");

  Click(form->BitBtn1);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(StoredInteger("ComNum"), 3);
  EXPECT_EQ(StoredInteger("NonTapi"), 1);
  EXPECT_EQ(StoredInteger("Delay"), 0);
  EXPECT_EQ(StoredInteger("StartMode"), 0);
  EXPECT_EQ(links.PortNumber, 3);
}

TEST_F(SetupFormTest, ShowsTheReadSettings) {
  EXPECT_EQ(form->windowTitle(), "Setup");
  EXPECT_TRUE(ComButton(1)->isChecked()) << "COM1 after the first read";
  EXPECT_EQ(form->Edit3->text().toStdString(), std::to_string(Settings::DefaultPassword));
  EXPECT_EQ(form->Edit1->text().toStdString(), Settings::DefaultLatitude);
  EXPECT_EQ(form->Label2->text().toStdString(), settings.CurrentDirectory);
  EXPECT_FALSE(form->RadioGroup2->isEnabled());
  EXPECT_FALSE(form->Edit3->isEnabled());
  EXPECT_FALSE(form->BitBtn4->isEnabled());
  EXPECT_EQ(form->Edit3->displayText(), QString(form->Edit3->text().size(), '*')) << "a star for each character";
  EXPECT_TRUE(form->Edit5->isReadOnly());
  EXPECT_EQ(form->RadioGroup1Buttons->buttons().size(), 9);
  EXPECT_EQ(ComButton(8)->text(), "COM&8");
}

TEST_F(SetupFormTest, TickingTheAuxModemOnTheModemMovesToComOne) {
  Click(ComButton(0));
  EXPECT_EQ(links.Selections, 0) << "choosing the modem opens nothing by itself";
  Click(form->CheckBox1);
  EXPECT_TRUE(ComButton(1)->isChecked());
  EXPECT_FALSE(ComButton(0)->isChecked());
  EXPECT_EQ(settings.ComNum, 1);
}

TEST_F(SetupFormTest, ClickingTheDeviceFieldOpensTheSelection) {
  Click(ComButton(0));
  Click(form->Edit5);
  EXPECT_EQ(links.Selections, 1);
  EXPECT_EQ(form->Edit5->text(), "Line 7");
  Click(ComButton(2));
  EXPECT_EQ(form->Edit5->text(), "") << "a COM port has no telephony device";
}

TEST_F(SetupFormTest, ClosingStoresTheTypedLocation) {
  Replace(form->Edit1, "47.6");
  Replace(form->Edit4, "-8");
  Click(form->CheckBox2);
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(StoredText(Settings::TimeKey, "Latitude"), "47.6");
  EXPECT_EQ(StoredText(Settings::TimeKey, "TimeZone"), "-8");
  platform::Registry registry(platform::RootKey::LocalMachine);
  ASSERT_TRUE(registry.OpenKey(Settings::TimeKey, false));
  EXPECT_EQ(registry.ReadBool("DST"), form->CheckBox2->isChecked());
}

TEST_F(SetupFormTest, ALongitudeTheSunTableCannotUseKeepsTheWindowOpenAndStoresNothing) {
  const std::string store = config.Dir().File("registry.ini");
  const std::string before = testing_support::ReadFile(store);
  int phoneBooks = 0;
  form->PhonebookEditor = [&] { ++phoneBooks; };
  Replace(form->Edit2, "999");
  const std::function<void()> paths[] = {[&] { Click(form->BitBtn1); }, [&] { form->close(); },
                                         [&] { Click(form->BitBtn3); }};
  for (const auto& path : paths) {
    TestUi().Clear();
    path();
    EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"Longitude must be a decimal number from -180 to 180"});
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(testing_support::ReadFile(store), before);
  }
  EXPECT_EQ(phoneBooks, 0);
}

TEST_F(SetupFormTest, TextOutsideLatin1IsRefused) {
  Replace(form->Edit2, "84");
  Replace(form->Edit2, QString::fromUtf8("\u20ac"));
  EXPECT_EQ(TestUi().Beeps(), 1);
  EXPECT_EQ(settings.Longitude, "84");
  EXPECT_EQ(form->Edit2->text(), "84");
}

TEST_F(SetupFormTest, PhoneBookRunsTheEditorAndCloses) {
  int edits = 0;
  form->PhonebookEditor = [&] { ++edits; };
  Click(form->BitBtn3);
  EXPECT_EQ(edits, 1);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(TestUi().Messages().empty());
}

TEST_F(SetupFormTest, PhoneBookWithoutAnEditorSaysSoAndStillStores) {
  Click(ComButton(5));
  Click(form->BitBtn3);
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"No phone book editor is available."});
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(StoredInteger("ComNum"), 5);
}

TEST_F(SetupFormTest, PagerSetupKeepsTheWindowOpen) {
  int shown = 0;
  form->PagerSetup = [&] { ++shown; };
  Click(form->BitBtn2);
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(form->isVisible());
}

TEST_F(SetupFormTest, ProgrammingModeAndProtectedParamsReachTheModel) {
  Click(form->ProgrammingModeButtons->button(1));
  Click(form->CheckBox3);
  EXPECT_EQ(settings.ProgrammingMode, 1);
  EXPECT_TRUE(settings.EditProtectedParams);
  Click(form->BitBtn1);
  EXPECT_EQ(StoredInteger("ProgrammingMode"), 1);
}

}  // namespace
