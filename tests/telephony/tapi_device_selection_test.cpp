#include "telephony/tapi_device_selection_form.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include "platform/posix_tty.h"
#include "serial/port_select_form.h"
#include "support/pty_pair.h"
#include "support/user_input.h"
#include "tapi_fixture.h"

namespace telephony::test {
namespace {

using testing_support::PtyPair;

std::vector<std::string> Items(const QComboBox& box) {
  std::vector<std::string> items;
  for (int i = 0; i < box.count(); ++i) items.push_back(box.itemText(i).toStdString());
  return items;
}

class DeviceSelection : public TapiTest {
 protected:
  DeviceSelection() {
    sim.Lines.push_back({.Name = ""});
    ports.Point(3, free.SlavePath());
    ports.Point(9, held.SlavePath());
    holder = platform::PosixTty::Open(held.SlavePath()).Device;
    serial::ShowPortsInUse = false;  // a port another program holds is not free
  }
  ~DeviceSelection() override { serial::ShowPortsInUse = true; }

  NoPorts ports;
  PtyPair free, held;
  std::unique_ptr<platform::SerialDevice> holder;
};

TEST_F(DeviceSelection, ListsLineDevicesThenFreePortsAndPreselectsTheCurrentChoice) {
  TDeviceSelectionForm form;
  form.ShowTapiDevices = true;
  form.ShowPorts = true;
  form.DeviceName = "Zelta Modem B";
  EXPECT_EQ(form.windowTitle(), "Device Selection");
  EXPECT_EQ(form.size(), QSize(226, 75));
  EXPECT_EQ(form.dsfComboBox->width(), 209);
  EXPECT_TRUE(form.dsfOkBitBtn->isDefault());
  ASSERT_TRUE(testing_support::Shoot(&form, "zelta_device_selection.png"));
  EXPECT_EQ(Items(*form.dsfComboBox),
            (std::vector<std::string>{"Zelta Modem A", "Zelta Modem B", "<noname>", "Direct to COM3"}));
  EXPECT_EQ(form.dsfComboBox->currentText(), "Zelta Modem B");
  EXPECT_EQ(sim.LiveApps(), 0);  // its own API instance ended with the list

  form.dsfComboBox->setCurrentIndex(3);
  testing_support::Click(form.dsfOkBitBtn);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(form.DeviceName, "Direct to COM3");
  EXPECT_EQ(form.TapiMode, serial::tmOff);
  EXPECT_EQ(form.ComNumber, 3);

  // A second showing keeps the list, though the ports changed meanwhile.
  ports.Point(3, "/nonexistent/zelta-tty3");
  form.show();
  EXPECT_EQ(form.dsfComboBox->count(), 4);
  EXPECT_EQ(form.dsfComboBox->currentText(), "Direct to COM3");  // the port's entry in tmOff
  form.dsfComboBox->setCurrentIndex(0);
  form.dsfCancelBitBtnClick();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(form.DeviceName, "Direct to COM3");
  form.dsfComboBox->setCurrentIndex(1);
  form.dsfOkBitBtnClick();
  EXPECT_EQ(form.TapiMode, serial::tmAuto);
  EXPECT_EQ(form.ComNumber, 0);
  EXPECT_EQ(form.DeviceName, "Zelta Modem B");
}

TEST_F(DeviceSelection, EachListCanBeLeftOut) {
  struct Case {
    bool Tapi, Ports;
    std::vector<std::string> Listed;
  };
  for (const Case& c : {Case{true, false, {"Zelta Modem A", "Zelta Modem B", "<noname>"}},
                        Case{false, true, {"Direct to COM3"}}, Case{false, false, {}}}) {
    TDeviceSelectionForm form;
    form.ShowTapiDevices = c.Tapi;
    form.ShowPorts = c.Ports;
    form.DeviceName = "Not Listed";
    form.FillList();
    EXPECT_EQ(Items(*form.dsfComboBox), c.Listed);
    EXPECT_EQ(form.dsfComboBox->currentIndex(), c.Listed.empty() ? -1 : 0);
    // OK with nothing listed takes nothing and closes as cancelled.
    form.dsfOkBitBtnClick();
    EXPECT_EQ(form.result(), c.Listed.empty() ? QDialog::Rejected : QDialog::Accepted);
  }
}

}  // namespace
}  // namespace telephony::test
