#include "controller/pager_modem_setup.h"

#include <algorithm>
#include <array>
#include <utility>

#include "controller/direct_port.h"
#include "platform/ui.h"
#include "serial/com_port.h"
#include "serial/lk_exception.h"

namespace controller {

namespace {

constexpr char Cr = 13;

void Tell(const std::string& text) {
  platform::Ui().MessageBox(text, "COM ERROR", platform::MsgButtons::Ok, platform::MsgKind::Error);
}

}  // namespace

PagerModemSetup::PagerModemSetup(serial::TLkCustomComPort& port, std::function<bool()> controllerConnected)
    : port_(port), controllerConnected_(std::move(controllerConnected)) {}

const RunningWork& PagerModemSetup::Work() const {
  static const RunningWork work{WorkKind::PortWork, Name, "leaves the modem with part of its commands"};
  return work;
}

bool PagerModemSetup::Begin(int comNumber) {
  // A running set-up keeps its port and its steps: another start would move the port under them.
  if (running_) {
    platform::Ui().ShowMessage(std::string("The ") + Name + " is running: Configure Modem again once it has ended");
    return false;
  }
  if (controllerConnected_ && controllerConnected_()) {
    Tell("Disconnect From The Controller Before Pager Setup");
    return false;
  }
  step_ = 0;
  running_ = false;
  if (!OpenDirect(port_, static_cast<std::uint16_t>(comNumber))) return false;
  step_ = 1;
  running_ = true;
  return true;
}

bool PagerModemSetup::ConfigureModemStep(const std::string& serviceNumber) {
  if (!running_) return false;
  try {
    switch (step_) {
      case 1:
        Send(std::string("AT&F0&K0Q0&D0Q0V0E0&W1") + Cr);
        step_ = 2;
        break;
      case 2:
        ReadReply();
        Send("AT&Z0=" + serviceNumber + Cr);
        step_ = 3;
        break;
      case 3:
        ReadReply();
        Send(std::string("AT&F0S0=6&K0Q0&D0Q1&W0") + Cr);
        step_ = 4;
        break;
      default:
        ReadReply();
        Stop();
        break;
    }
  } catch (const serial::ELkException& e) {
    // A port that fails (an unplugged adapter) ends the set-up instead of failing every three seconds; as
    // a cut, so a window waiting to close stays with the failure in view.
    Show(e.what());
    Stop(true);
  }
  return running_;
}

void PagerModemSetup::Cancel() {
  if (!running_) return;
  Stop();
}

void PagerModemSetup::Cut() {
  if (!running_) return;
  Show(CutLine);
  Stop(true);
}

void PagerModemSetup::Send(const std::string& line) {
  port_.PutString(line);
  Show(line);
}

void PagerModemSetup::ReadReply() {
  const int waiting = std::min<int>(port_.InBuffUsed(), MaxReplyBytes);
  if (waiting <= 0) return;
  std::array<char, MaxReplyBytes> reply{};
  port_.GetBlock(reply.data(), static_cast<std::uint16_t>(waiting));
  Show(std::string(reply.data(), static_cast<std::size_t>(waiting)));
}

void PagerModemSetup::Stop(bool cut) {
  running_ = false;
  const std::optional<int> held = std::exchange(heldPortNumber_, std::nullopt);
  try {
    port_.SetOpen(false);
    if (held) port_.SetComNumber(static_cast<std::uint16_t>(*held));
  } catch (const serial::ELkException& e) {
    Show(e.what());
  }
  if (Ended) Ended(cut);
}

void PagerModemSetup::Show(const std::string& line) {
  if (AddLine) AddLine(line);
}

}  // namespace controller
