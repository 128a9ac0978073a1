#include "serial/port_select_form.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/posix_tty.h"
#include "port_test_support.h"
#include "serial/com_port.h"
#include "support/pty_pair.h"

namespace serial {
namespace {

using test::ScopedComEnv;
using testing_support::PtyPair;

// Points every COM number of the list at nothing, so that only the ports a test makes exist.
struct NoPorts {
  NoPorts() {
    for (int n = 1; n <= 60; ++n)
      env.push_back(std::make_unique<ScopedComEnv>(n, "/nonexistent/zelta-tty" + std::to_string(n)));
  }
  void Point(int n, const std::string& path) {
    auto& slot = env[static_cast<std::size_t>(n - 1)];
    slot.reset();  // unsets before the new value is set
    slot = std::make_unique<ScopedComEnv>(n, path);
  }
  std::vector<std::unique_ptr<ScopedComEnv>> env;
};

struct Switches {
  ~Switches() {
    UseDispatcherForAvail = true;
    ShowPortsInUse = true;
  }
};

TEST(PortAvailability, ExistingFreeAndHeldPorts) {
  Switches restore;
  NoPorts none;
  PtyPair free, held;
  none.Point(3, free.SlavePath());
  none.Point(7, held.SlavePath());
  auto holder = platform::PosixTty::Open(held.SlavePath());
  ASSERT_TRUE(holder.Device);

  for (bool viaDispatcher : {true, false}) {
    UseDispatcherForAvail = viaDispatcher;
    ShowPortsInUse = true;
    EXPECT_FALSE(IsPortAvailable(0));
    EXPECT_TRUE(IsPortAvailable(3));
    EXPECT_TRUE(IsPortAvailable(7));  // held elsewhere still counts
    EXPECT_FALSE(IsPortAvailable(4));
    ShowPortsInUse = false;
    EXPECT_FALSE(IsPortAvailable(7));
    EXPECT_TRUE(IsPortAvailable(3));  // the test closed it again
  }
}

TEST(PortSelectForm, ListsAvailablePortsUpToFiftyAndSelectsTheFirst) {
  NoPorts none;
  {
    TComSelectForm empty;
    EXPECT_EQ(empty.PortsComboBox->count(), 0);
    EXPECT_EQ(empty.PortsComboBox->currentIndex(), -1);
    EXPECT_EQ(empty.SelectedComNum(), 0);
  }
  PtyPair a, b, c;
  none.Point(12, a.SlavePath());
  none.Point(5, b.SlavePath());
  none.Point(51, c.SlavePath());  // beyond the list
  TComSelectForm form;
  EXPECT_EQ(form.windowTitle(), "Select Port");
  EXPECT_EQ(form.Label1->text(), "The configured serial port is not valid.");
  EXPECT_EQ(form.Label2->text(), "Please choose another port.");
  EXPECT_EQ(form.OkBtn->text(), "OK");
  EXPECT_TRUE(form.OkBtn->isDefault());
  EXPECT_EQ(form.AbortBtn->text(), "Cancel");
  EXPECT_FALSE(form.PortsComboBox->isEditable());
  ASSERT_EQ(form.PortsComboBox->count(), 2);
  EXPECT_EQ(form.PortsComboBox->itemText(0), "COM5");
  EXPECT_EQ(form.PortsComboBox->itemText(1), "COM12");
  EXPECT_EQ(form.SelectedCom(), "COM5");
  EXPECT_EQ(form.SelectedComNum(), 5);
  form.PortsComboBox->setCurrentIndex(1);
  EXPECT_EQ(form.SelectedComNum(), 12);
  if (const char* dir = std::getenv("ZELTA_SHOT_DIR")) {
    form.show();
    form.grab().save(QString(dir) + "/serial_port_select.png");
  }
}

TEST(PortSelectForm, PortZeroOpensThePortTheUserPicks) {
  NoPorts none;
  PtyPair pty;
  none.Point(9, pty.SlavePath());
  SetPortPrompt([](int& n) {
    TComSelectForm form;  // what the dialog would offer
    if (form.PortsComboBox->count() == 0) return false;
    n = form.SelectedComNum();
    return true;
  });
  TLkComPort port(nullptr);
  port.SetOpen(true);
  SetPortPrompt(nullptr);
  EXPECT_EQ(port.ComNumber(), 9);
  EXPECT_TRUE(port.Open());
}

}  // namespace
}  // namespace serial
