#pragma once
// The communications window's engine ticked back to back, as its timer would tick it every 250 ms: after a
// tick that sent a frame (the window's transmit light is lit) the simulated controller takes it and its
// answer reaches the port before the next tick. The window's own timer is held back while the ticker
// lives, so that no tick of its own slips in between; it still starts and stops as the engine says.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalBlocker>
#include <QTimer>
#include <functional>

#include "controller/frames.h"
#include "gui/controller/comms_form.h"
#include "serial/status_light.h"
#include "support/serial_port_helpers.h"
#include "support/sim_exchange.h"

namespace gui_test {

class FormTicker {
 public:
  FormTicker(TCommsForm& form, testing_support::SimController& sim)
      : form_(form), sim_(sim), exchange_(sim, *form.LkComPort1), held_(*form.Timer1) {}

  // Ticks until `done` holds, at most `limit` ticks; false when it never did or a frame went missing.
  bool RunUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      exchange_.Mark();
      form_.Timer1Timer();
      // A tick switches the light off while nothing waits to be sent; a send switches it on.
      const auto awaited = exchange_.Await(form_.TXLight1->Lit() ? 1 : 0);
      if (!awaited) {
        ADD_FAILURE() << awaited.message() << "; the engine is in state " << form_.Engine->CommState;
        return false;
      }
      QApplication::processEvents();
    }
    return done();
  }

  // The X10 monitor opened from the menu, as a user leaves it open: the engine waits for X10 activity and
  // takes no request meanwhile.
  bool OpenX10Monitor() {
    form_.Monitor1Click();
    return RunUntil([&] { return form_.Engine->CommState == 304; }, 40);
  }
  // Closed as its windows close it: the wait ends with the controller's next answer.
  bool CloseX10Monitor() {
    form_.Engine->X10MonitorRequest = 0;
    sim_.InjectX10Event(0, 0);
    return serial::test::PumpIn(*form_.LkComPort1, controller::X10ActivityReplySize) &&
           RunUntil([&] { return form_.Engine->CommState != 304; }, 1);
  }

 private:
  TCommsForm& form_;
  testing_support::SimController& sim_;
  testing_support::SimExchange exchange_;
  QSignalBlocker held_;
};

}  // namespace gui_test
