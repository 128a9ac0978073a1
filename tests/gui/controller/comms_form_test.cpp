// The communications window as the user drives it: its menus set the engine's requests, showing it
// computes today's sun, hiding it asks for the disconnect, and attached to the simulated controller its
// grid and labels show what the engine reads.
#include "gui/controller/comms_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "controller/engine_fixture.h"
#include "controls/meter.h"
#include "gui/controller/form_ticker.h"
#include "gui/qt_ui.h"
#include "platform/atomic_file.h"
#include "support/temp_dir.h"
#include "support/user_input.h"
#include "telephony/get_number_form.h"
#include "telephony/ini_database.h"
#include "telephony/modal_driver.h"
#include "telephony/phone_book.h"
#include "telephony/tapi_device.h"
#include "telephony/tapi_device_selection_form.h"
#include "tk/modal.h"

namespace {

using controller::test::FakeProject;
using controller::test::FixedClock;

class CommsFormTest : public ::testing::Test {
 protected:
  CommsFormTest() { clock.Time = {2007, 3, 11, 10, 0, 0, 0}; }  // the second Sunday of March
  testing_support::ScriptedUi& Ui() { return testing_support::TestUi(); }
  std::string Cell(int row, int column) {
    QTableWidgetItem* item = form->StringGrid1->item(row - 1, column);
    return item ? item->text().toStdString() : std::string();
  }

  testing_support::ScopedConfigDir config;
  FakeProject project;
  FixedClock clock;
  std::unique_ptr<TCommsForm> form = std::make_unique<TCommsForm>(project, clock);
};

// Connected, each menu sets its request. With no connection running (the window stays up after "Lost
// Connection"), or once the user has closed the one that only finishes its transfer, it asks for nothing
// and says so at once: nothing waits for the next controller.
TEST_F(CommsFormTest, MenusSetTheirRequestsOnlyWhileAConnectionRuns) {
  const struct {
    const char* Item;
    const char* What;
    std::function<bool(const controller::CommsEngine&)> Set;
  } cases[] = {
      {"Monitor1", "Monitor X10", [](auto& e) { return e.X10MonitorRequest == 1; }},
      {"Set1", "Clock Set", [](auto& e) { return e.SetClockRequest == 1; }},
      {"GetCPUClock1", "Get Controller Clock", [](auto& e) { return e.ClockRequest == 1; }},
      {"ReloadVORMOExecutive1", "Executive Reload",
       [](auto& e) { return e.ReloadExecRequest == 1 && e.FlashArg == 5; }},
      {"AutoAddressModules1", "Auto Address Command", [](auto& e) { return e.AutoAddressRequest == 1; }},
      {"DebugTimersandVariables1", "Debug Timers and Variables", [](auto& e) { return e.TimerVarMonitorRequest == 1; }},
      {"RetrieveModuleParameters1", "Retrieve Module Parameters", [](auto& e) { return e.ModuleParamsRequest == 1; }},
      {"RetrieveVORMOParameters1", "Retrieve Controller Parameters", [](auto& e) { return e.ParamsRequest == 1; }},
      {"DownloadInfraRedFiletoVORMO1", "Infra-Red File Download", [](auto& e) { return e.ParamsRequest == 1; }},
      {"UploadInfraRedFilefromVORMO1", "Infra-Red File Upload", [](auto& e) { return e.ParamsRequest == 1; }},
  };
  const struct {
    int State;
    bool Closed;
    const char* Told;  // nullptr: the request is set
  } connections[] = {{0, false, "Not attached to a controller: "},
                     {810, true, "The connection is closing: "},  // an ASCII download to a module runs on
                     {110, false, nullptr}};
  for (const auto& connection : connections) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Item) + " in state " + std::to_string(connection.State));
      ASSERT_TRUE(form->MenuItems.count(c.Item));
      static_cast<controller::RequestFields&>(*form->Engine) = {};
      form->Engine->CommState = connection.State;
      form->Engine->CloseRequest = connection.Closed;
      form->Engine->FlashArg = 5;
      Ui().Clear();
      Ui().QueueOpenFile(std::nullopt);
      Ui().QueueSaveFile(std::nullopt);
      form->MenuItems[c.Item]->trigger();
      EXPECT_EQ(c.Set(*form->Engine), !connection.Told);
      if (connection.Told) {
        EXPECT_EQ(Ui().Messages(), std::vector<std::string>{connection.Told + std::string(c.What) + " not sent"});
      }
    }
  }
  form->Engine->CloseRequest = 0;
  Ui().Clear();
  EXPECT_EQ(form->ListBox1->item(0)->text(), "Edit Manager Params");

  // A clock set asked while one is on the line, the last connection's as a new one waits, is refused: merged
  // into it, it would end with its answer.
  form->Engine->CommState = 531;
  form->Engine->AttachRequest = form->Engine->SetClockRequest = 1;
  form->MenuItems["Set1"]->trigger();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Clock Set not sent: the last one asked has not ended yet"});
  form->Engine->AttachRequest = form->Engine->SetClockRequest = 0;
  Ui().Clear();

  // The program download needs an END line.
  form->MenuItems["DownloadProgramtoVORMO1"]->trigger();
  EXPECT_EQ(form->Engine->ProgramDownloadRequest, 0);
  project.Store.Lines[9] = ProgramLine::End();
  form->MenuItems["DownloadProgramtoVORMO1"]->trigger();
  EXPECT_EQ(form->Engine->ProgramDownloadRequest, 1);
}

TEST_F(CommsFormTest, TheIrFileDialogsFollowTheFirmwareAndArmTheirRequest) {
  testing_support::TempDir dir;
  const std::string codes = dir.File("codes.ir");
  testing_support::WriteFile(codes, "codes");
  form->Engine->CommState = 110;
  form->Engine->FirmwareVersion = 819;
  // The file is read as it is chosen: one that cannot be is refused then, and told.
  const std::string none = dir.File("none.ir");
  Ui().QueueOpenFile(none);
  form->MenuItems["DownloadInfraRedFiletoVORMO1"]->trigger();
  EXPECT_EQ(form->Engine->IrDownloadRequest, 0);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"File: " + none + " Error: Infra-Red File Download not sent"});
  Ui().QueueOpenFile(codes);
  form->MenuItems["DownloadInfraRedFiletoVORMO1"]->trigger();
  EXPECT_EQ(Ui().Asked().back().Options.Filter, "Program files (*.ir)|*.IR");
  EXPECT_EQ(form->Engine->IrDownloadRequest, 1);
  EXPECT_EQ(form->Engine->IrDownloadFileName, codes);
  EXPECT_EQ(form->Engine->ParamsRequest, 1);

  form->Engine->FirmwareVersion = 820;
  Ui().QueueSaveFile(std::nullopt);
  form->MenuItems["UploadInfraRedFilefromVORMO1"]->trigger();
  const auto& save = Ui().Asked()[Ui().Asked().size() - 2];
  EXPECT_EQ(save.Options.DefaultExt, "lir");
  EXPECT_EQ(save.Options.FileName, "Untitled");
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_EQ(form->Engine->IrUploadRequest, 0) << "cancelled";

  // Onto an existing file: asked once, and No is the dialog's Cancel.
  const std::string existing = dir.File("codes.lir");
  testing_support::WriteFile(existing, "old");
  using platform::MsgResult;
  for (const MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
    Ui().Clear();
    Ui().QueueSaveFile(existing);
    Ui().QueueAnswer(answer);
    form->MenuItems["UploadInfraRedFilefromVORMO1"]->trigger();
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{existing + " already exists.\nDo you want to replace it?"});
    EXPECT_EQ(form->Engine->IrUploadRequest, answer == MsgResult::Yes);
  }
}

// A connection that ends while the user picks the file, or answers the replace question, gets no transfer,
// and none waits for the next controller: the user is told.
TEST_F(CommsFormTest, AnIrFileChosenAsTheConnectionEndsIsNotSent) {
  testing_support::TempDir dir;
  const std::string existing = dir.File("codes.lir");
  testing_support::WriteFile(existing, "old");
  const struct {
    const char* Item;
    const char* What;
    int Skip;  // the questions before the one the connection ends under
  } cases[] = {{"DownloadInfraRedFiletoVORMO1", "Infra-Red File Download", 0},
               {"UploadInfraRedFilefromVORMO1", "Infra-Red File Upload", 0},
               {"UploadInfraRedFilefromVORMO1", "Infra-Red File Upload", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Item) + " skip " + std::to_string(c.Skip));
    static_cast<controller::RequestFields&>(*form->Engine) = {};
    form->Engine->CommState = 110;
    Ui().Clear();
    Ui().QueueOpenFile(existing);
    Ui().QueueSaveFile(existing);
    Ui().QueueAnswer(platform::MsgResult::Yes);
    Ui().WhileAsked([&] { form->Engine->CommState = 0; }, c.Skip);
    form->MenuItems[c.Item]->trigger();
    EXPECT_FALSE(form->Engine->IrDownloadRequest || form->Engine->IrUploadRequest);
    const std::vector<std::string> told = Ui().Messages();
    EXPECT_EQ(told.empty() ? "" : told.back(), "Not attached to a controller: " + std::string(c.What) + " not sent");
  }
}

// Chosen before identification ends, the dialogs offer the .ir format; a controller that turns out to take
// .lir gets neither transfer, and the user is told.
TEST_F(CommsFormTest, AnIrFileIsSentOnlyInTheFormatItsDialogOffered) {
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  testing_support::TempDir dir;
  const std::string codes = dir.File("codes.IR"), saved = dir.File("saved.IR");
  testing_support::WriteFile(codes, std::string(512, 'c'));
  form->Settings.ComNum = 1;
  form->AttachEngine();
  gui_test::FormTicker ticker(*form, sim);
  ASSERT_TRUE(ticker.RunUntil([&] { return form->Engine->CommState != 1; }, 1));
  Ui().QueueOpenFile(codes);
  form->MenuItems["DownloadInfraRedFiletoVORMO1"]->trigger();
  Ui().QueueSaveFile(saved);
  form->MenuItems["UploadInfraRedFilefromVORMO1"]->trigger();
  EXPECT_EQ(Ui().Asked()[0].Options.Filter, "Program files (*.ir)|*.IR");
  const controller::CommsEngine& e = *form->Engine;
  ASSERT_TRUE(ticker.RunUntil(
      [&] { return e.CommState == 114 && !e.IrDownloadRequest && !e.IrUploadRequest && !e.ParamsRequest; }, 400));
  EXPECT_FALSE(sim.IrCode(0).has_value());
  EXPECT_FALSE(std::filesystem::exists(saved));
  const std::string takes = " not sent: this controller's firmware takes .lir files";
  EXPECT_EQ(Ui().Messages(),
            (std::vector<std::string>{"Infra-Red File Upload" + takes, "Infra-Red File Download" + takes}));
  form->Engine->CloseRequest = 1;
  EXPECT_TRUE(ticker.RunUntil([&] { return e.CommState == 0; }, 20));
}

// The box the user has open stays in front of the question the engine asks by itself: the question waits until
// the box has closed, so the Return meant for the box answers the box and starts no reload.
TEST_F(CommsFormTest, TheUpdateWarningWaitsUntilTheUsersBoxHasClosed) {
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(317);
  sim.SetFirmwareVersion(820);
  form->Settings.ComNum = 1;
  form->AttachEngine();
  gui_test::FormTicker ticker(*form, sim);
  platform::QtUi qt;
  platform::UiSeam* const scripted = platform::SetUi(&qt);
  bool boxOpen = false;
  std::vector<bool> askedOverTheBox;  // at each "Update Warning", whether the user's box was still open
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* warning = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!warning || warning->windowTitle() != "Update Warning") return;
    askedOverTheBox.push_back(boxOpen);
    warning->button(QMessageBox::Cancel)->click();
  });
  user.start(10);
  QTimer::singleShot(0, [&] {
    // Under the box the engine identifies the controller, and ticks on.
    ticker.RunUntil([&] { return form->Engine->AppVersion == 317; }, 100);
    ticker.RunUntil([] { return false; }, 20);
    testing_support::Key(QApplication::activeModalWidget(), Qt::Key_Return);
  });
  boxOpen = true;
  platform::Ui().ShowMessage("Clock Set not sent: the last one asked has not ended yet");
  boxOpen = false;
  const bool identified = ticker.RunUntil([&] { return form->Engine->CommState == 114; }, 100);
  platform::SetUi(scripted);
  ASSERT_TRUE(identified);
  EXPECT_EQ(askedOverTheBox, std::vector<bool>{false});
  EXPECT_EQ(form->Engine->ReloadExecRequest, 0);
  form->Engine->CloseRequest = 1;
  EXPECT_TRUE(ticker.RunUntil([&] { return form->Engine->CommState == 0; }, 20));
}

// The same IR file transfer asked again once the first runs, its request taken, is refused and told, with no
// dialog; the first runs to its end with its own file (the upload takes the code the download left).
TEST_F(CommsFormTest, ASecondIrFileTransferAskedWhileTheFirstRunsIsRefused) {
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  const testing_support::SimBytes codes(256, 'c');
  testing_support::TempDir dir;
  const std::string house = dir.File("house.lir"), saved = dir.File("saved.lir");
  testing_support::WriteFile(house, std::string(codes.begin(), codes.end()));
  form->Settings.ComNum = 1;
  form->AttachEngine();
  gui_test::FormTicker ticker(*form, sim);
  const controller::CommsEngine& e = *form->Engine;
  ASSERT_TRUE(ticker.RunUntil([&] { return e.CommState == 114; }, 200));
  const struct {
    const char* Item;
    const char* What;
    std::function<void()> Choose;
  } cases[] = {{"DownloadInfraRedFiletoVORMO1", "Infra-Red File Download", [&] { Ui().QueueOpenFile(house); }},
               {"UploadInfraRedFilefromVORMO1", "Infra-Red File Upload", [&] { Ui().QueueSaveFile(saved); }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    c.Choose();
    form->MenuItems[c.Item]->trigger();
    ASSERT_TRUE(ticker.RunUntil(
        [&] {
          const controller::RunningWork* work = e.Running();
          return work && work->Name == std::string(c.What) && !e.IrDownloadRequest && !e.IrUploadRequest;
        },
        100));
    Ui().Clear();
    form->MenuItems[c.Item]->trigger();
    EXPECT_EQ(Ui().Messages(),
              std::vector<std::string>{c.What + std::string(" not sent: the last one asked has not ended yet")});
    ASSERT_TRUE(ticker.RunUntil(
        [&] { return e.CommState == 114 && !e.IrDownloadRequest && !e.IrUploadRequest && !e.ParamsRequest; }, 400));
  }
  EXPECT_EQ(sim.IrCode(0), codes);
  EXPECT_EQ(testing_support::ReadFile(saved), std::string(codes.begin(), codes.end()));
  form->Engine->CloseRequest = 1;
  EXPECT_TRUE(ticker.RunUntil([&] { return e.CommState == 0; }, 20));
}

TEST_F(CommsFormTest, ShowingComputesTodaysSunAndHidingAsksForTheDisconnect) {
  QWidget editor;
  form->AttachWindow(controller::CommsWindow::Editor, &editor);
  form->Settings.UseDaylightSaving = true;
  form->show();
  EXPECT_EQ(form->Engine->DstActive, 1) << "the second Sunday of March";
  EXPECT_TRUE(form->Label10->text().startsWith("Sunrise "));
  EXPECT_TRUE(form->Label11->text().endsWith(" PM"));
  form->hide();
  EXPECT_EQ(form->Engine->CloseRequest, 1);
  EXPECT_TRUE(editor.isVisible());

  // A stored longitude the settings window refuses gives no times at all, not "Sunrise 56:29 PM".
  form->Settings.Longitude = "999";
  form->show();
  EXPECT_EQ(form->Label10->text(), "");
  EXPECT_EQ(form->Label11->text(), "");
}

// What the window shows of the sun and of daylight saving follows the settings as they are stored, not only
// when it is shown.
TEST_F(CommsFormTest, TheSunShownFollowsTheSettingsStored) {
  form->Settings.UseDaylightSaving = true;
  form->show();
  const struct {
    const char* What;
    std::function<void()> Change;
  } cases[] = {
      {"another longitude", [&] { form->Settings.Longitude = "120.5"; }},
      {"another time zone", [&] { form->Settings.TimeZone = "-8"; }},
      {"daylight saving unticked", [&] { form->Settings.UseDaylightSaving = false; }},
      {"daylight saving ticked again", [&] { form->Settings.UseDaylightSaving = true; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string shown = form->Label10->text().toStdString() + form->Label11->text().toStdString();
    c.Change();
    ASSERT_TRUE(form->Settings.WriteConfigFile());
    const project::Settings& s = form->Settings;
    const controller::TodaysSun today = controller::SunForToday(
        controller::BuildSunTable(s.Latitude, s.Longitude, s.TimeZone), clock.Now(), s.UseDaylightSaving);
    EXPECT_NE(today.SunriseText + today.SunsetText, shown) << "the change shows";
    EXPECT_EQ(form->Label10->text().toStdString(), today.SunriseText);
    EXPECT_EQ(form->Label11->text().toStdString(), today.SunsetText);
    EXPECT_EQ(form->Engine->DstActive, today.DstActive ? 1 : 0);
    EXPECT_EQ(form->Label12->isVisible(), today.DstActive);
  }
  EXPECT_TRUE(testing_support::Shoot(form.get(), "zelta_comms_sun_stored.png"));
}

TEST_F(CommsFormTest, TheDisconnectBringsTheEditorToTheFront) {
  // Hidden by the editor's attach, or left shown by the touch-screen designer's. The user's close shows no
  // box; a lost connection and a failed dial do, and the focus goes back to the box's owner when it closes.
  for (bool editorShown : {false, true})
    for (int errorKind : {-1, 1, 2}) {
      QWidget editor;
      form->AttachWindow(controller::CommsWindow::Editor, &editor);
      editor.setVisible(editorShown);
      form->show();
      form->activateWindow();
      ASSERT_TRUE(testing_support::ProcessUntil([&] { return QApplication::activeWindow() == form.get(); }));
      form->Engine->CommsErrorKind = errorKind;
      form->Engine->CommState = 1006;  // the disconnect's last state, which shows the editor
      form->Timer1Timer();
      EXPECT_EQ(form->Engine->CommState, 0);
      EXPECT_TRUE(testing_support::ProcessUntil([&] { return QApplication::activeWindow() == &editor; }))
          << editorShown << " " << errorKind;
      form->AttachWindow(controller::CommsWindow::Editor, nullptr);
    }
}

TEST_F(CommsFormTest, TheLogIsSavedAtExitOnlyWhileErrorsIsTicked) {
  testing_support::TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  form->AddLogLine("first");
  form->AddLogLine("second");
  form.reset();
  EXPECT_FALSE(std::filesystem::exists(dir.File("Zelta.log")));
  form = std::make_unique<TCommsForm>(project, clock);
  form->CommsDetailBox->setChecked(true);
  form->AddLogLine("first");
  form->AddLogLine("second");
  form.reset();
  std::string text;
  EXPECT_TRUE(platform::ReadWholeFile(dir.File("Zelta.log"), text));
  EXPECT_EQ(text, "second\r\nfirst\r\n");

  // Days of logging keep the newest lines, the file its format.
  form = std::make_unique<TCommsForm>(project, clock);
  form->CommsDetailBox->setChecked(true);
  for (int i = 0; i < controller::MaxLogLines + 5; ++i) form->AddLogLine("line " + std::to_string(i));
  ASSERT_EQ(form->ListBox1->count(), controller::MaxLogLines);
  EXPECT_EQ(form->ListBox1->item(0)->text(), "line 10004");
  EXPECT_EQ(form->ListBox1->item(controller::MaxLogLines - 1)->text(), "line 5");
  form.reset();
  EXPECT_TRUE(platform::ReadWholeFile(dir.File("Zelta.log"), text));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), controller::MaxLogLines);
  EXPECT_EQ(text.substr(0, 12), "line 10004\r\n");
  std::filesystem::current_path(previous);
}

TEST_F(CommsFormTest, TheSettingsReachTheTelephonyDeviceAndThePhoneBook) {
  testing_support::TempDir data;
  form->SetPhonebookFileName(data.File("KivraPhoneBook.INI"));
  EXPECT_EQ(form->LkPhonebook1->FileName(), data.File("KivraPhoneBook.INI"));
  form->SetSelectedDevice("Line 1");
  EXPECT_EQ(form->LkTapiDevice1->SelectedDevice(), "Line 1");
  EXPECT_EQ(form->SelectedDevice(), "Line 1");
}

TEST_F(CommsFormTest, DiallingWithoutATelephonyProviderEndsAsAFailedConnection) {
  // A number is typed in the selector; no telephony exists on this machine, so the call fails at once.
  testing_support::TempDir data;
  form->SetPhonebookFileName(data.File("KivraPhoneBook.INI"));
  form->Settings.ComNum = 0;
  telephony_test::WhenModal<telephony::TGetNumberForm>([](telephony::TGetNumberForm& dial) {
    dial.PhoneCombo->lineEdit()->setText("5550100");
    dial.OkBtn->click();
  });
  form->AttachEngine();
  for (int i = 0; i < 20 && form->Engine->CommState != 0; ++i) form->Timer1Timer();
  EXPECT_EQ(form->Engine->CommState, 0);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Failed Modem Connection Attempt"});
  EXPECT_GE(form->ListBox1->count(), 1) << "the library's reason is in the log";
}

TEST_F(CommsFormTest, AttachedToTheControllerItShowsItsModules) {
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  sim.SetModule(2, 11, 4);
  sim.SetIoWord(2, 0x0003);
  form->Settings.ComNum = 1;
  form->AttachEngine();
  EXPECT_TRUE(form->Timer1->isActive());
  gui_test::FormTicker ticker(*form, sim);
  ASSERT_TRUE(ticker.RunUntil([&] { return form->Engine->CommState == 114; }, 200));
  form->Engine->UpdateStatusPanel();
  EXPECT_EQ(Cell(2, 1), "KADO-16");
  EXPECT_EQ(Cell(2, 3), "ON");
  EXPECT_EQ(Cell(2, 5), "OFF");
  EXPECT_EQ(form->StringGrid1->horizontalHeaderItem(19)->text(), "Data");
  EXPECT_TRUE(form->Label3->text().startsWith("Firmware: V8.20/"));

  EXPECT_TRUE(testing_support::Shoot(form.get(), "zelta_comms.png"));
  form->Engine->ParamsRequest = 0;  // the parameter read is not what this test looks at
  form->Engine->CloseRequest = 1;
  EXPECT_TRUE(ticker.RunUntil([&] { return form->Engine->CommState == 0; }, 20));
  EXPECT_FALSE(form->Timer1->isActive());
}

// While connected, the settings window's OK and its device selection keep the connection on its line; the
// port stored is the next connection's.
TEST_F(CommsFormTest, SettingsStoredWhileConnectedLeaveTheConnectionOnItsPort) {
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  serial::test::ScopedComEnv com2{2, "/nonexistent/zelta-tty"};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  ASSERT_TRUE(form->ReadConfigFile());
  form->AttachEngine();
  gui_test::FormTicker ticker(*form, sim);
  ASSERT_TRUE(ticker.RunUntil([&] { return form->Engine->CommState == 114; }, 200));

  form->Settings.SelectComNum(2);
  ASSERT_TRUE(form->Settings.WriteConfigFile());
  // "Direct to COM2" picked in the telephony device's selection.
  Ui().QueueModal("TDeviceSelectionForm", [](platform::ModalWindow& window) {
    auto& selection = tk::DialogOf<telephony::TDeviceSelectionForm>(window);
    selection.TapiMode = serial::tmOff;
    selection.ComNumber = 2;
    return static_cast<int>(QDialog::Accepted);
  });
  form->SelectDevice();
  EXPECT_EQ(form->LkComPort1->ComNumber(), 1);
  EXPECT_TRUE(form->LkComPort1->Open());
  EXPECT_EQ(form->LkTapiDevice1->ComPort(), form->LkComPort1);
  const std::size_t frames = sim.Frames().size();
  ASSERT_TRUE(ticker.RunUntil([&] { return sim.Frames().size() > frames + 1; }, 40)) << "the poll goes on";

  form->Engine->ParamsRequest = 0;
  form->Engine->CloseRequest = 1;
  ASSERT_TRUE(ticker.RunUntil([&] { return form->Engine->CommState == 0; }, 20));
  ASSERT_TRUE(form->ReadConfigFile());
  EXPECT_EQ(form->LkComPort1->ComNumber(), 2) << "the next connection's port";
}

// A download as the window shows it: the meter climbs, each block goes through the memory-dump grid, the
// step and state labels follow the engine. "Reload Controller Executive" clicked meanwhile leaves the
// download its flash key and runs after it.
TEST_F(CommsFormTest, ADownloadShowsItsProgress) {
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  sim.SetModule(1, 11, 2);
  for (int n = 1; n < 4000; ++n)
    project.Store.Lines[static_cast<std::size_t>(n)] =
        ProgramLine{static_cast<std::uint16_t>(1 << 10 | n % 1024), static_cast<std::uint16_t>(n), 7};
  project.Store.Lines[4000] = ProgramLine::End();
  QTableWidget dump(16, 16);
  form->AttachGrid(controller::CommsGrid::Dump, &dump, false);
  testing_support::TempDir data;
  testing_support::WriteFile(data.File("FLASH512.BIN"), std::string(300, 'x'));
  form->Settings.CurrentDirectory = data.Path().string();
  form->Settings.ComNum = 1;
  form->AttachEngine();
  gui_test::FormTicker ticker(*form, sim);
  auto run = [&](const std::function<bool()>& done) { return ticker.RunUntil(done, 2000); };
  ASSERT_TRUE(run([&] { return form->Engine->CommState == 114; }));
  form->MenuItems["DownloadProgramtoVORMO1"]->trigger();
  ASSERT_TRUE(run([&] { return form->Engine->CommState == 516 && form->Engine->BlockIndex == 48; }));
  EXPECT_TRUE(form->FileMeter->isVisible());
  EXPECT_EQ(form->FileMeter->Percent(), 50);
  EXPECT_EQ(form->Label7->text(), "Loading.... ");
  EXPECT_EQ(form->Label8->text(), "516");
  std::array<std::uint8_t, 6> record{};
  project.Store.Lines[48 * 256 / 6].Store(record.data());  // block 48 starts inside this record
  char first[3];
  std::snprintf(first, sizeof first, "%02X", record[48 * 256 % 6]);
  EXPECT_EQ(dump.item(0, 0)->text(), first);
  EXPECT_TRUE(testing_support::Shoot(form.get(), "zelta_comms_download.png"));
  form->MenuItems["ReloadVORMOExecutive1"]->trigger();

  ASSERT_TRUE(run([&] { return form->Engine->CommState == 110 && form->Engine->BlockIndex == 6; }));
  EXPECT_FALSE(form->FileMeter->isVisible());
  EXPECT_EQ(form->ListBox1->item(0)->text(), "Controller Program Started");
  EXPECT_TRUE(sim.Faults().empty());
  EXPECT_TRUE(testing_support::Shoot(form.get(), "zelta_comms_program_started.png"));
  ASSERT_TRUE(run([&] {
    const controller::CommsEngine& e = *form->Engine;
    return e.CommState == 114 && !e.ReloadExecRequest && !e.ReloadClock;
  }));
  EXPECT_EQ(form->ListBox1->findItems("Program Downloaded OK", Qt::MatchExactly).size(), 1);
  EXPECT_EQ(sim.ExecutiveImage()[0x1200], 'x');
  EXPECT_EQ(form->Engine->FlashArg, 0) << "the next download reads the key again";
  Ui().Clear();

  // A controller that refuses to start the program: with "Errors" ticked the retries show, then the
  // connection is given up; the start is never claimed.
  form->CommsDetailBox->setChecked(true);
  sim.RefuseCommand(controller::CmdStartProgram);
  form->MenuItems["DownloadProgramtoVORMO1"]->trigger();
  ASSERT_TRUE(run([&] { return form->Engine->CommState == 0; }));
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_EQ(form->ListBox1->findItems("Controller Program Started", Qt::MatchExactly).size(), 1);
  EXPECT_EQ(form->ListBox1->findItems("Comms Retry retry STOP 511", Qt::MatchStartsWith).size(), 9);
  EXPECT_FALSE(sim.InterpreterRunning());
  EXPECT_TRUE(testing_support::Shoot(form.get(), "zelta_comms_start_refused.png"));
  form->CommsDetailBox->setChecked(false);  // no log saved at exit into the folder the tests run in
}

}  // namespace
