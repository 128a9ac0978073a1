#include "telephony/tapi_device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "platform/registry.h"
#include "platform/text.h"
#include "serial/lk_exception.h"
#include "tapi_fixture.h"
#include "telephony/tapi_log.h"
#include "telephony/tapi_status.h"

namespace telephony::test {
namespace {

using namespace platform;
using testing_support::SimLine;

std::int32_t RaisedCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const serial::ELkException& e) {
    return e.ErrorCode;
  }
  return 0;
}

std::string UsageValueName(long pid) {
  char name[16];
  std::snprintf(name, sizeof name, "$%08lX", pid);
  return name;
}

// --- a machine without telephony ---

class NoTelephony : public ::testing::Test {
 protected:
  testing_support::ScopedConfigDir config;
  std::unique_ptr<tk::Component> owner = std::make_unique<tk::Component>(nullptr);
};

TEST_F(NoTelephony, TheDeviceIsMadeWithoutLinesAndDialingReportsTheMissingLibrary) {
  auto* port = new serial::TLkComPort(owner.get());
  auto* device = new TLkTapiDevice(owner.get());
  EXPECT_TRUE(device->TapiDevices().empty());
  EXPECT_EQ(device->LineApp(), 0u);
  EXPECT_EQ(device->ComPort(), port);
  bool failed = false;
  device->OnTapiFail = [&](tk::Component*) { failed = true; };
  try {
    device->Dial("5551234");
    ADD_FAILURE() << "dialled without a telephony library";
  } catch (const serial::ETapiLoadFail& e) {
    EXPECT_EQ(e.ErrorCode, -13931);
    EXPECT_STREQ(e.what(), "Failed to find/load TAPI.DLL");
  }
  device->CancelCall();  // the settings window's disconnect: nothing to end
  EXPECT_FALSE(failed);
  EXPECT_FALSE(port->Open());
}

// --- the device list and the chosen line ---

using TapiDeviceTest = TapiTest;

TEST_F(TapiDeviceTest, ListsTheLineDevicesSkippingOnesThatRefuseTheVersionAndStoppingAtAFailure) {
  struct Case {
    std::vector<SimLine> Lines;
    std::vector<std::string> Listed;
  };
  const std::vector<Case> cases = {
      {{{.Name = "A"}, {.Name = "B"}, {.Name = "C"}}, {"A", "B", "C"}},
      {{{.Name = "A"}, {.Name = "B", .NegotiateFails = true}, {.Name = "C"}}, {"A", "C"}},
      {{{.Name = "A"}, {.Name = "B", .CapsFail = true}, {.Name = "C"}}, {"A"}},
      {{{.Name = ""}}, {""}},
  };
  for (const Case& c : cases) {
    sim.Lines = c.Lines;
    TLkTapiDevice listing(nullptr);
    EXPECT_EQ(listing.TapiDevices(), c.Listed);
    EXPECT_EQ(listing.NumDevices(), c.Lines.size());
  }
}

TEST_F(TapiDeviceTest, ANameSelectsTheLineOnlyWhenItMatchesExactly) {
  MakeDevice();
  device->SetShowPorts(false);
  device->SetShowTapiDevices(false);
  device->SetSelectedDevice("Zelta Modem B");
  device->SetOpen(true);
  EXPECT_EQ(sim.LastOpenDevice, 1u);
  EXPECT_EQ(sim.LastOpenPrivilege, LINECALLPRIVILEGE_OWNER);  // not dialling: incoming calls may arrive
  EXPECT_EQ(sim.LastOpenMedia, LINEMEDIAMODE_DATAMODEM);
  EXPECT_EQ(sim.Count("lineSetStatusMessages"), 1);
  device->SetOpen(false);
  EXPECT_FALSE(sim.AnyLineOpen());
  for (const std::string name : {"zelta modem b", "Zelta Modem B ", "", "Zelta"}) {
    device->SetSelectedDevice(name);
    EXPECT_EQ(RaisedCode([&] { device->SetOpen(true); }), -13930) << name;
    EXPECT_FALSE(device->Open());
  }
}

TEST_F(TapiDeviceTest, AnUnknownNameAsksForTheLineWithTheDialog) {
  MakeDevice();
  device->SetSelectedDevice("Gone Modem");
  WhenSelectionShows([](TDeviceSelectionForm& form) {
    EXPECT_TRUE(form.ShowTapiDevices);
    EXPECT_FALSE(form.ShowPorts);
    form.dsfComboBox->setCurrentIndex(0);
    form.dsfOkBitBtnClick();
  });
  device->SetOpen(true);
  EXPECT_EQ(device->SelectedDevice(), "Zelta Modem A");
  EXPECT_EQ(sim.LastOpenDevice, 0u);
  device->SetOpen(false);
  device->SetSelectedDevice("Gone Modem");
  WhenSelectionShows([](TDeviceSelectionForm& form) { form.dsfCancelBitBtnClick(); });
  EXPECT_EQ(RaisedCode([&] { device->SetOpen(true); }), -13930);
  EXPECT_EQ(device->SelectedDevice(), "Gone Modem");
}

TEST_F(TapiDeviceTest, TheOnlyLineDeviceIsTakenWithoutAsking) {
  sim.Lines = {{.Name = "Lone Modem"}};
  MakeDevice();
  device->SetSelectedDevice("");
  device->SetOpen(true);
  EXPECT_TRUE(device->Open());
  EXPECT_EQ(device->SelectedDevice(), "Lone Modem");
  EXPECT_EQ(sim.LastOpenDevice, 0u);
}

TEST_F(TapiDeviceTest, SelectDeviceSetsTheLineOrHandsThePortADirectNumber) {
  NoPorts none;
  testing_support::PtyPair free;
  none.Point(4, free.SlavePath());
  MakeDevice();
  WhenSelectionShows([](TDeviceSelectionForm& form) {
    EXPECT_EQ(form.DeviceName, "Zelta Modem B");
    EXPECT_EQ(form.dsfComboBox->currentText(), "Zelta Modem B");  // preselected
    form.dsfComboBox->setCurrentIndex(0);
    form.dsfOkBitBtnClick();
  });
  EXPECT_EQ(device->SelectDevice(), TLkCustomTapiDevice::mrOk);
  EXPECT_EQ(device->SelectedDevice(), "Zelta Modem A");
  EXPECT_EQ(port->TapiMode(), serial::tmAuto);  // the dialog's mode for a line device

  WhenSelectionShows([](TDeviceSelectionForm& form) {
    form.dsfComboBox->setCurrentIndex(form.dsfComboBox->findText("Direct to COM4"));
    form.dsfOkBitBtnClick();
  });
  EXPECT_EQ(device->SelectDevice(), TLkCustomTapiDevice::mrOk);
  EXPECT_EQ(port->TapiMode(), serial::tmOff);
  EXPECT_EQ(port->ComNumber(), 4);
  EXPECT_EQ(device->SelectedDevice(), "Zelta Modem A");

  WhenSelectionShows([](TDeviceSelectionForm& form) {
    EXPECT_EQ(form.dsfComboBox->currentText(), "Direct to COM4");  // the port's entry in tmOff
    form.dsfCancelBitBtnClick();
  });
  EXPECT_EQ(device->SelectDevice(), TLkCustomTapiDevice::mrCancel);
  EXPECT_EQ(port->TapiMode(), serial::tmOff);
}

// --- the port, the display and the log on the same owner ---

TEST_F(TapiDeviceTest, APortLeftInAutoModeIsTakenForTelephonyAndNotOpened) {
  auto* autoPort = new serial::TLkComPort(owner.get());
  MakeDevice(false);
  EXPECT_EQ(device->ComPort(), autoPort);
  EXPECT_EQ(autoPort->TapiMode(), serial::tmOn);
  EXPECT_FALSE(autoPort->AutoOpen());
  EXPECT_FALSE(autoPort->Open());

  // A port added later is taken too; one set up for direct use keeps its mode.
  auto other = std::make_unique<tk::Component>(nullptr);
  auto* direct = new serial::TLkComPort(other.get());
  direct->SetTapiMode(serial::tmOff);
  TLkTapiDevice second(other.get());
  EXPECT_EQ(second.ComPort(), direct);
  EXPECT_EQ(direct->TapiMode(), serial::tmOff);
  EXPECT_TRUE(direct->AutoOpen());
  delete direct;
  EXPECT_EQ(second.ComPort(), nullptr);
}

TEST_F(TapiDeviceTest, BindsTheFirstDisplayAndLogNotBoundYetBothWays) {
  auto* status = new TLkTapiStatus(owner.get());
  auto* log = new TLkTapiLog(owner.get());
  MakeDevice();
  EXPECT_EQ(device->StatusDisplay(), status);
  EXPECT_EQ(status->TapiDevice(), device);
  EXPECT_EQ(device->TapiLog(), log);
  EXPECT_EQ(log->TapiDevice(), device);

  TLkTapiDevice second(owner.get());  // both are taken
  EXPECT_EQ(second.StatusDisplay(), nullptr);
  EXPECT_EQ(second.TapiLog(), nullptr);
  auto* secondLog = new TLkTapiLog(owner.get());  // a new one goes to the device that has none
  EXPECT_EQ(second.TapiLog(), secondLog);
  EXPECT_EQ(secondLog->TapiDevice(), &second);
  EXPECT_EQ(device->TapiLog(), log);
  auto* secondStatus = new TLkTapiStatus(owner.get());
  EXPECT_EQ(second.StatusDisplay(), secondStatus);

  delete status;
  delete log;
  EXPECT_EQ(device->StatusDisplay(), nullptr);
  EXPECT_EQ(device->TapiLog(), nullptr);
}

// --- start-up and the usage values ---

TEST_F(TapiDeviceTest, StartUpRemovesEveryUsageValueAndShutsDownOnlyThoseOfEndedProcesses) {
  const std::string ended = "$7FFFFFF0";  // beyond any process number
  const std::string running = UsageValueName(::getppid());
  {
    Registry registry(RootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey(kTapiUsageKey, true));
    registry.WriteInteger(ended, 4321);
    registry.WriteInteger(running, 8765);
  }
  MakeDevice();
  EXPECT_EQ(sim.ShutdownHandles, std::vector<HLINEAPP>{4321});
  Registry registry(RootKey::CurrentUser);
  ASSERT_TRUE(registry.OpenKey(kTapiUsageKey, false));
  EXPECT_EQ(registry.GetValueNames(), std::vector<std::string>{UsageValueName(::getpid())});
  EXPECT_EQ(registry.ReadInteger(UsageValueName(::getpid())), static_cast<std::int32_t>(device->LineApp()));

  const HLINEAPP app = device->LineApp();
  owner.reset();  // the device goes, and its API with it
  EXPECT_EQ(sim.ShutdownHandles.back(), app);
  EXPECT_EQ(sim.LiveApps(), 0);
  EXPECT_TRUE(registry.GetValueNames().empty());
}

// The start and stop of the API, reachable from a test.
struct StartableDevice : TLkTapiDevice {
  using TLkCustomTapiDevice::StartTapi;
  using TLkCustomTapiDevice::StopTapi;
  using TLkTapiDevice::TLkTapiDevice;
};

TEST_F(TapiDeviceTest, StartUpWaitsOnceForARestartOfTheApiAndRaisesOtherFailures) {
  struct Case {
    std::vector<std::int32_t> Results;
    std::int32_t Raised;
  };
  const std::vector<Case> cases = {
      {{LINEERR_REINIT}, 0},
      {{LINEERR_REINIT, LINEERR_REINIT}, -13882},
      {{LINEERR_NODRIVER}, -13867},
      {{LINEERR_NODEVICE}, -13866},
  };
  for (const Case& c : cases) {
    StartableDevice d(nullptr);
    d.Timings.ReinitWaitMs = 20;
    ASSERT_TRUE(d.StopTapi());
    sim.InitializeResults.assign(c.Results.begin(), c.Results.end());
    const int before = sim.Count("lineInitialize");
    if (c.Raised) {
      EXPECT_EQ(RaisedCode([&] { d.StartTapi(); }), c.Raised);
      EXPECT_EQ(d.LineApp(), 0u);
    } else {
      EXPECT_TRUE(d.StartTapi());
      EXPECT_NE(d.LineApp(), 0u);
    }
    EXPECT_EQ(sim.Count("lineInitialize") - before, static_cast<int>(c.Results.size()) + (c.Raised ? 0 : 1));
  }
  // The application names itself by its path without an extension.
  EXPECT_EQ(sim.LastAppName,
            platform::FromQString(QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath()).value());
}

TEST_F(TapiDeviceTest, ANewLineDeviceReachesEveryDevice) {
  MakeDevice();
  TLkTapiDevice other(nullptr);
  ASSERT_EQ(other.TapiDevices().size(), 2u);
  sim.AddLine({.Name = "Zelta Modem C"});
  const std::vector<std::string> all = {"Zelta Modem A", "Zelta Modem B", "Zelta Modem C"};
  EXPECT_TRUE(ProcessUntil([&] { return device->TapiDevices() == all && other.TapiDevices() == all; }));
  EXPECT_EQ(device->NumDevices(), 3u);
}

// --- configuration and translation ---

TEST_F(TapiDeviceTest, ConfigurationGoesToTheSelectedLine) {
  sim.Lines[1].Config = {1, 2, 3};
  MakeDevice();
  device->ShowConfigDialog();
  EXPECT_EQ(sim.ConfigDialogs, std::vector<std::string>{"1 comm/datamodem"});
  EXPECT_FALSE(device->Open());  // open only for the dialog
  EXPECT_FALSE(sim.AnyLineOpen());

  const TTapiConfigRec config = device->GetDevConfig();
  EXPECT_EQ(config.DataSize, 3u);
  EXPECT_EQ(config.Data, (std::vector<std::uint8_t>{1, 2, 3}));
  TTapiConfigRec edited;
  device->ShowConfigDialogEdit(config, edited);
  EXPECT_EQ(edited.Data, (std::vector<std::uint8_t>{1, 2, 3, 0x5A}));
  device->SetDevConfig(edited);
  EXPECT_EQ(sim.Lines[1].Config, edited.Data);
  EXPECT_EQ(device->ComNumber(), 7);
  EXPECT_FALSE(sim.AnyLineOpen());
}

TEST_F(TapiDeviceTest, AddressesTranslateForTheSelectedLine) {
  MakeDevice();
  EXPECT_EQ(device->TranslateAddress("5551234"), "*70,5551234");
  EXPECT_EQ(sim.LastTranslateOptions, LINETRANSLATEOPTION_CANCELCALLWAITING);
  std::string dialable, displayable;
  std::uint32_t current = 0, dest = 0, results = 0;
  EXPECT_EQ(device->TranslateAddressEx("5551234", 2, dialable, displayable, current, dest, results), 0);
  EXPECT_EQ(dialable, "5551234");
  EXPECT_EQ(displayable, "5551234");
  EXPECT_EQ(sim.LastTranslateCard, 2u);
  EXPECT_EQ(current, 1u);
  EXPECT_EQ(dest, 44u);
  EXPECT_EQ(results, 0x10u);
  EXPECT_EQ(device->TranslateAddressEx("", 0, dialable, displayable, current, dest, results), LINEERR_INVALPARAM);
  EXPECT_EQ(RaisedCode([&] { device->TranslateAddress(""); }), -13942);
  EXPECT_TRUE(device->TranslateDialog("5551234"));
}

}  // namespace
}  // namespace telephony::test
