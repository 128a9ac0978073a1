#pragma once
// The dial-up road through the telephony library's components: the phone book's number selector, the
// telephony line device and, on the AT-modem road, the dialer dialog and the modem. A component that
// fails is reported in the communications log and ends the attempt as a failed connection, so the
// engine never waits for an event that will not come.
#include <string>

#include "controller/dial_up.h"

namespace controller {
class CommsEngine;
}
namespace telephony {
class TLkTapiDevice;
class TLkDialerDialog;
class TLkModem;
class TLkPhoneNumberSelector;
}  // namespace telephony

class ComponentDialUp : public controller::DialUp {
 public:
  ComponentDialUp(controller::CommsEngine& engine, telephony::TLkPhoneNumberSelector& selector,
                  telephony::TLkTapiDevice& tapi, telephony::TLkDialerDialog& dialer, telephony::TLkModem& modem);

  bool SelectNumber(std::string& number) override;
  void TapiDial(const std::string& number) override;
  void TapiCancelCall() override;
  bool RunDialer(const std::string& number) override;
  void ModemHangup() override;

 private:
  // Runs `work`; a library failure is logged and, when `failsTheCall`, ends the attempt.
  template <class Work>
  bool Guard(Work work, bool failsTheCall);

  controller::CommsEngine& engine_;
  telephony::TLkPhoneNumberSelector& selector_;
  telephony::TLkTapiDevice& tapi_;
  telephony::TLkDialerDialog& dialer_;
  telephony::TLkModem& modem_;
};
