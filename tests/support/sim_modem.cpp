#include "support/sim_modem.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace testing_support {

namespace {

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

std::string ResultText(const SimDialScript& s) {
  switch (s.Outcome) {
    case SimDialOutcome::Connect:
      return (s.Speed > 0 ? "CONNECT " + std::to_string(s.Speed) : std::string("CONNECT")) + s.Extra;
    case SimDialOutcome::Busy:
      return "BUSY";
    case SimDialOutcome::NoCarrier:
      return "NO CARRIER";
    case SimDialOutcome::NoDialTone:
      return "NO DIALTONE";
    case SimDialOutcome::Voice:
      return "VOICE";
    case SimDialOutcome::Error:
      return "ERROR";
    case SimDialOutcome::Silent:
      return {};
  }
  return {};
}

}  // namespace

SimModem::SimModem() {
  if (pty_.Valid()) thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

SimModem::~SimModem() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void SimModem::ScriptDial(const std::string& number, std::vector<SimDialScript> results) {
  std::lock_guard lock(mutex_);
  scripts_[number] = std::deque<SimDialScript>(results.begin(), results.end());
}

void SimModem::SetDefaultDial(SimDialScript script) {
  std::lock_guard lock(mutex_);
  defaultDial_ = std::move(script);
}

void SimModem::SetAnswer(SimDialScript script) {
  std::lock_guard lock(mutex_);
  answer_ = std::move(script);
}

void SimModem::RefuseCommand(const std::string& text) {
  std::lock_guard lock(mutex_);
  refused_.push_back(Upper(text));
}

void SimModem::IgnoreCommand(const std::string& text) {
  std::lock_guard lock(mutex_);
  ignored_.push_back(Upper(text));
}

void SimModem::SetGuardTime(std::chrono::milliseconds guard) {
  std::lock_guard lock(mutex_);
  guard_ = guard;
}

void SimModem::Ring() {
  std::lock_guard lock(mutex_);
  if (mode_ != Mode::Command || connected_) return;
  ringing_ = true;
  Result("RING");
}

void SimModem::SendOnline(const std::string& bytes) {
  std::lock_guard lock(mutex_);
  if (mode_ == Mode::Online) Write(bytes);
}

std::vector<std::string> SimModem::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<std::string> SimModem::Dialled() const {
  std::lock_guard lock(mutex_);
  return dialled_;
}

std::string SimModem::OnlineData() const {
  std::lock_guard lock(mutex_);
  return online_;
}

std::vector<SimReceivedByte> SimModem::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool SimModem::Online() const {
  std::lock_guard lock(mutex_);
  return mode_ == Mode::Online;
}

bool SimModem::Connected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

int SimModem::Hangups() const {
  std::lock_guard lock(mutex_);
  return hangups_;
}

bool SimModem::Echo() const {
  std::lock_guard lock(mutex_);
  return echo_;
}

bool SimModem::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
  const auto end = Clock::now() + deadline;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool SimModem::WaitForCommands(std::size_t count, std::chrono::milliseconds deadline) {
  return WaitUntil([&] { return Commands().size() >= count; }, deadline);
}

void SimModem::Run(std::stop_token stop) {
  std::uint8_t buffer[256];
  while (!stop.stop_requested()) {
    pollfd p{pty_.Master(), POLLIN, 0};
    int ready = ::poll(&p, 1, 5);
    ssize_t n = 0;
    if (ready > 0 && (p.revents & POLLIN)) n = ::read(pty_.Master(), buffer, sizeof buffer);
    // Nobody holds the slave open (POLLHUP, EIO): wait for the port to open it again.
    if (ready > 0 && !(p.revents & POLLIN)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    for (ssize_t i = 0; i < n; ++i) Take(buffer[i], now);
    Tick(now);
  }
}

void SimModem::Write(const std::string& bytes) {
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  pty_.WriteMaster(data, std::chrono::milliseconds(500));
}

void SimModem::Result(const std::string& text) { Write("\r\n" + text + "\r\n"); }

void SimModem::Take(std::uint8_t b, Clock::time_point now) {
  received_.push_back({now, b});
  switch (mode_) {
    case Mode::Online:
      online_.push_back(static_cast<char>(b));
      if (b == '+' && (pluses_ > 0 ? pluses_ < 3 && now - plusesAt_ < guard_ : now - lastOnlineByte_ >= guard_)) {
        ++pluses_;
        plusesAt_ = now;
      } else {
        pluses_ = 0;
      }
      lastOnlineByte_ = now;
      return;
    case Mode::Dialing:
    case Mode::Answering:
      // A key pressed while the modem dials or answers gives up the call.
      mode_ = Mode::Command;
      Result("NO CARRIER");
      return;
    case Mode::Command:
      break;
  }
  if (echo_) Write(std::string(1, static_cast<char>(b)));
  if (b == '\r') {
    std::string line = line_;
    line_.clear();
    CommandLine(line);
  } else if (b != '\n') {
    line_.push_back(static_cast<char>(b));
  }
}

void SimModem::Tick(Clock::time_point now) {
  if ((mode_ == Mode::Dialing || mode_ == Mode::Answering) && now >= pendingAt_) {
    FinishCall(pending_);
    return;
  }
  if (mode_ == Mode::Online && pluses_ == 3 && now - plusesAt_ >= guard_) {
    pluses_ = 0;
    mode_ = Mode::Command;
    Result("OK");
  }
}

void SimModem::FinishCall(const SimDialScript& script) {
  if (script.Outcome == SimDialOutcome::Silent) return;
  Result(ResultText(script));
  if (script.Outcome == SimDialOutcome::Connect) {
    mode_ = Mode::Online;
    connected_ = true;
    pluses_ = 0;
    lastOnlineByte_ = Clock::now();
  } else {
    mode_ = Mode::Command;
  }
}

void SimModem::CommandLine(const std::string& raw) {
  const std::string line = Upper(raw);
  if (line.size() < 2 || line.compare(0, 2, "AT") != 0) return;
  commands_.push_back(raw);
  for (const std::string& text : ignored_)
    if (line.find(text) != std::string::npos) return;
  for (const std::string& text : refused_)
    if (line.find(text) != std::string::npos) return Result("ERROR");
  std::size_t i = 2;
  auto number = [&] {
    std::size_t start = i;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    return line.substr(start, i - start);
  };
  while (i < line.size()) {
    const char c = line[i++];
    switch (c) {
      case ' ':
        break;
      case 'D': {
        std::string dial;
        for (; i < line.size(); ++i)
          if (line[i] != 'T' && line[i] != 'P' && line[i] != ' ') dial.push_back(line[i]);
        dialled_.push_back(dial);
        auto found = scripts_.find(dial);
        if (found != scripts_.end() && !found->second.empty()) {
          pending_ = found->second.front();
          if (found->second.size() > 1) found->second.pop_front();
        } else {
          pending_ = defaultDial_;
        }
        ringing_ = false;
        mode_ = Mode::Dialing;
        pendingAt_ = Clock::now() + pending_.Delay;
        return;
      }
      case 'A':
        if (!ringing_) return Result("NO CARRIER");
        ringing_ = false;
        pending_ = answer_;
        mode_ = Mode::Answering;
        pendingAt_ = Clock::now() + pending_.Delay;
        return;
      case 'H':
        number();
        if (connected_) ++hangups_;
        connected_ = false;
        break;
      case 'O':
        number();
        if (!connected_) return Result("NO CARRIER");
        Result("CONNECT");
        mode_ = Mode::Online;
        lastOnlineByte_ = Clock::now();
        return;
      case 'Z':
        number();
        echo_ = true;
        break;
      case 'E':
        echo_ = number() != "0";
        break;
      case '&':
        if (i < line.size()) ++i;
        number();
        break;
      case 'S':
        number();
        if (i < line.size() && (line[i] == '=' || line[i] == '?')) {
          ++i;
          number();
        }
        break;
      default:
        if (!std::isalpha(static_cast<unsigned char>(c))) return Result("ERROR");
        number();
        break;
    }
  }
  Result("OK");
}

}  // namespace testing_support
