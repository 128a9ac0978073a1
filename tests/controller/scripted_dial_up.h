#pragma once
// The dial-up side as a test scripts it: the number the selector gives (none: cancelled), whether the AT
// modem's dialer connects, and what was dialled, cancelled and hung up.
#include <string>

#include "controller/dial_up.h"

namespace controller::test {

class ScriptedDialUp : public DialUp {
 public:
  bool SelectNumber(std::string& number) override {
    number = Number;
    return !Number.empty();
  }
  void TapiDial(const std::string& number) override { Dialled = number; }
  void TapiCancelCall() override { ++Cancels; }
  bool RunDialer(const std::string& number) override {
    Dialled = number;
    return DialerConnects;
  }
  void ModemHangup() override { ++Hangups; }
  std::string Number, Dialled;
  int Cancels = 0, Hangups = 0;
  bool DialerConnects = true;
};

}  // namespace controller::test
