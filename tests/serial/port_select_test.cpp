#include "serial/port_select_form.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <memory>
#include <vector>

#include "platform/posix_tty.h"
#include "serial/com_port.h"
#include "support/pty_pair.h"
#include "support/scripted_ui.h"
#include "support/serial_port_helpers.h"
#include "support/user_input.h"
#include "tk/modal.h"

namespace serial {
namespace {

using test::NoPorts;
using testing_support::PtyPair;

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

// Probing a port must not touch the device beyond opening it: no settings, no threads.
TEST(PortAvailability, ProbingLeavesTheLineAsItWas) {
  Switches restore;
  NoPorts none;
  PtyPair pty;
  none.Point(3, pty.SlavePath());
  const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  termios set{};
  ::tcgetattr(fd, &set);
  ::cfsetspeed(&set, B2400);
  set.c_lflag |= ICANON | ECHO;
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &set), 0);
  ::tcgetattr(fd, &set);
  for (bool viaDispatcher : {true, false}) {
    UseDispatcherForAvail = viaDispatcher;
    EXPECT_TRUE(IsPortAvailable(3));
    termios now{};
    ::tcgetattr(fd, &now);
    EXPECT_EQ(::cfgetospeed(&now), B2400);
    EXPECT_EQ(now.c_lflag, set.c_lflag);
    EXPECT_EQ(now.c_iflag, set.c_iflag);
    EXPECT_EQ(now.c_cflag, set.c_cflag);
  }
  ::close(fd);
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
  EXPECT_TRUE(testing_support::Shoot(&form, "serial_port_select.png"));
}

TEST(PortSelectForm, PortZeroOpensThePortTheUserPicks) {
  NoPorts none;
  PtyPair pty;
  none.Point(9, pty.SlavePath());
  RegisterSerialDialogs();
  testing_support::TestUi().QueueModal("TComSelectForm", [](platform::ModalWindow& window) {
    auto& form = tk::DialogOf<TComSelectForm>(window);
    EXPECT_EQ(form.PortsComboBox->currentText(), "COM9") << "the one port there is, selected";
    return static_cast<int>(QDialog::Accepted);
  });
  TLkComPort port(nullptr);
  port.SetOpen(true);
  EXPECT_EQ(port.ComNumber(), 9);
  EXPECT_TRUE(port.Open());
}

}  // namespace
}  // namespace serial
