#pragma once
// The dial-up side the engine uses: the phone-number selector, the telephony line device, the AT modem and
// its dialer dialog. The telephony library's components implement it; until one is installed the engine
// uses NoDialUp, which tells the user that no dial-up device is available.
#include <functional>
#include <string>

namespace controller {

class DialUp {
 public:
  virtual ~DialUp() = default;
  // The phone book's number selector: true with a number chosen.
  virtual bool SelectNumber(std::string& number) = 0;
  // Places a call on the telephony line device; its connect or fail event follows.
  virtual void TapiDial(const std::string& number) = 0;
  virtual void TapiCancelCall() = 0;
  // Runs the dialer dialog on the AT modem; the modem's connect event follows a connection. False when
  // the dialer gave up (or was cancelled): no event will come.
  virtual bool RunDialer(const std::string& number) = 0;
  virtual void ModemHangup() = 0;
};

class NoDialUp : public DialUp {
 public:
  bool SelectNumber(std::string& number) override;
  void TapiDial(const std::string&) override {}
  void TapiCancelCall() override {}
  bool RunDialer(const std::string&) override { return false; }
  void ModemHangup() override {}
};

}  // namespace controller
