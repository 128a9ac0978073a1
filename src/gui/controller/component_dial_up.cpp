#include "gui/controller/component_dial_up.h"

#include "controller/comms_engine.h"
#include "serial/lk_exception.h"
#include "telephony/dialer_dialog.h"
#include "telephony/modem_component.h"
#include "telephony/number_selector.h"
#include "telephony/tapi_device.h"

ComponentDialUp::ComponentDialUp(controller::CommsEngine& engine, telephony::TLkPhoneNumberSelector& selector,
                                 telephony::TLkTapiDevice& tapi, telephony::TLkDialerDialog& dialer,
                                 telephony::TLkModem& modem)
    : engine_(engine), selector_(selector), tapi_(tapi), dialer_(dialer), modem_(modem) {}

template <class Work>
bool ComponentDialUp::Guard(Work work, bool failsTheCall) {
  try {
    work();
    return true;
  } catch (const serial::ELkException& e) {
    engine_.AddLogLine(e.what());
    if (failsTheCall) engine_.TapiFail();
    return false;
  }
}

bool ComponentDialUp::SelectNumber(std::string& number) {
  bool chosen = false;
  Guard([&] { chosen = selector_.Execute(); }, false);
  if (chosen) number = selector_.SelectedNumber();
  return chosen;
}

void ComponentDialUp::TapiDial(const std::string& number) {
  Guard([&] { tapi_.Dial(number); }, true);
}

void ComponentDialUp::TapiCancelCall() {
  Guard([&] { tapi_.CancelCall(); }, false);
}

bool ComponentDialUp::RunDialer(const std::string& number) {
  bool connected = false;
  Guard(
      [&] {
        dialer_.SetPhoneNumber(number);
        connected = dialer_.Execute();
      },
      true);
  return connected;
}

void ComponentDialUp::ModemHangup() {
  // The port closes right after: let the modem take its hang-up command first.
  Guard(
      [&] {
        modem_.Hangup();
        modem_.WaitOnResponse();
      },
      false);
}
