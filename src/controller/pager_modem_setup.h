#pragma once
// Prepares the modem that the controller pages through: with the modem on one of the PC's serial ports,
// the communications window's port is opened there and, one step every three seconds, three AT command
// lines go out, each followed by what the modem answered. The replies are shown, not checked.
//
// The port is the one the controller connection uses: the set-up opens it as a connection does (taken back
// from the telephony device) and refuses to start while a connection runs, or while it runs itself. Once
// started it owns the port until its last step: an attach, or the program's end, asks the user first,
// naming it, and on OK cuts it short (Cut) before the connection starts, which its list says; a port number
// the settings give meanwhile waits for its end (HoldPortNumber).
#include <functional>
#include <optional>
#include <string>

#include "controller/running_work.h"

namespace serial {
class TLkCustomComPort;
}

namespace controller {

class PagerModemSetup : public PortHoldingWork {
 public:
  static constexpr int MaxReplyBytes = 28;  // read of one reply
  static constexpr int StepMilliseconds = 3000;
  static constexpr const char* Name = "Pager Modem Setup";  // what the questions call it
  static constexpr const char* CutLine = "Modem Setup cut short";

  PagerModemSetup(serial::TLkCustomComPort& port, std::function<bool()> controllerConnected);

  // "Configure Modem" on port COM`comNumber`: true when the steps start. When the set-up runs already, the
  // port cannot be opened, or a controller connection holds it, the user is told and false returned.
  bool Begin(int comNumber);
  // One step (the window's timer): sends the next command line, after reading the reply to the last one.
  // False once the set-up is over; the port is then closed.
  bool ConfigureModemStep(const std::string& serviceNumber);
  // The window hidden before the end: the port the set-up opened is closed again.
  void Cancel();
  // Whatever takes the port (the user agreed) ends the set-up first: the port is closed and the list says so.
  void Cut() override;
  // A port number given to the port while the set-up holds it: the port takes it once the set-up has ended.
  void HoldPortNumber(int comNum) override { heldPortNumber_ = comNum; }

  int Step() const { return step_; }
  bool Running() const override { return running_; }
  const RunningWork& Work() const override;

  // Each line sent and each reply read, as it went over the line (the window's list).
  std::function<void(const std::string& line)> AddLine;
  // The set-up has ended, however: by its last step, the window hidden, or short of it (`cut`: a cut or a
  // failing port, which the list says).
  std::function<void(bool cut)> Ended;

 private:
  void Send(const std::string& line);
  void ReadReply();
  void Stop(bool cut = false);
  void Show(const std::string& line);

  serial::TLkCustomComPort& port_;
  std::function<bool()> controllerConnected_;
  int step_ = 0;
  bool running_ = false;
  std::optional<int> heldPortNumber_;
};

}  // namespace controller
