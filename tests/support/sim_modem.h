#pragma once
// A simulated Hayes modem on the master end of a pseudo-terminal: the code under test opens the slave
// (point a COM number at SlavePath()) and talks AT commands to it. A thread of its own answers.
//
// Command mode: characters are echoed (ATE0 stops that, ATZ starts it again); a line ends at CR and is
// ignored unless it starts with "AT"; its commands are taken in turn: D dials (the rest of the line is
// the number), A answers, H hangs up, O goes back on line, Z resets, E sets the echo; any other letter
// with its digits is accepted. Results are verbose ("\r\nOK\r\n"); a line holding a refused text gets
// ERROR. A dial ends after its script's delay with the script's result; any character that arrives
// meanwhile aborts it with NO CARRIER. CONNECT puts the modem on line: from then on it is transparent
// (what arrives is the remote's, what the test sends comes from the remote) until the escape "+++" with
// a guard time of silence before and after, which returns it to command mode, still connected, with OK.
//
// A pseudo-terminal has no modem lines: DTR cannot hang this modem up (tests of DTR use a fake device).
// Every method is safe to call from any thread; every wait has a deadline.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/pty_pair.h"

namespace testing_support {

enum class SimDialOutcome { Connect, Busy, NoCarrier, NoDialTone, Voice, Error, Silent };

struct SimDialScript {
  SimDialOutcome Outcome = SimDialOutcome::Connect;
  int Speed = 9600;  // CONNECT <speed><Extra>; 0 for a bare CONNECT<Extra>
  std::string Extra;
  std::chrono::milliseconds Delay{30};  // from the end of the command line to the result
};

struct SimReceivedByte {
  std::chrono::steady_clock::time_point When;
  std::uint8_t Byte;
};

class SimModem {
 public:
  using Clock = std::chrono::steady_clock;

  SimModem();
  ~SimModem();
  SimModem(const SimModem&) = delete;
  SimModem& operator=(const SimModem&) = delete;

  bool Valid() const { return pty_.Valid(); }
  const std::string& SlavePath() const { return pty_.SlavePath(); }

  // --- set-up ---
  // The results of successive dials of `number` (digits as dialled, without T or P); the last repeats.
  void ScriptDial(const std::string& number, std::vector<SimDialScript> results);
  void SetDefaultDial(SimDialScript script);
  // What ATA brings (after a ring; without one it is NO CARRIER).
  void SetAnswer(SimDialScript script);
  // A command line containing `text` (compared in upper case) is answered ERROR.
  void RefuseCommand(const std::string& text);
  // A command line containing `text` gets no result at all (the caller's wait times out).
  void IgnoreCommand(const std::string& text);
  void SetGuardTime(std::chrono::milliseconds guard);

  // --- the line ---
  void Ring();
  // Bytes from the remote end, while on line.
  void SendOnline(const std::string& bytes);

  // --- what happened ---
  std::vector<std::string> Commands() const;  // command lines, without CR, as received
  std::vector<std::string> Dialled() const;
  std::string OnlineData() const;  // what arrived while on line
  std::vector<SimReceivedByte> Received() const;
  bool Online() const;     // transparent
  bool Connected() const;  // off hook with a carrier (on line or escaped to command mode)
  int Hangups() const;
  bool Echo() const;

  // Waits until `done` (called under no lock) or the deadline.
  static bool WaitUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds deadline = std::chrono::milliseconds(3000));
  bool WaitForCommands(std::size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(3000));

 private:
  enum class Mode { Command, Dialing, Answering, Online };

  void Run(std::stop_token stop);
  void Take(std::uint8_t b, Clock::time_point now);  // mutex held
  void CommandLine(const std::string& line);         // mutex held
  void Result(const std::string& text);              // mutex held
  void Write(const std::string& bytes);              // mutex held
  void Tick(Clock::time_point now);                  // mutex held
  void FinishCall(const SimDialScript& script);      // mutex held

  PtyPair pty_;
  mutable std::mutex mutex_;
  Mode mode_ = Mode::Command;
  bool echo_ = true;
  bool connected_ = false;
  bool ringing_ = false;
  int hangups_ = 0;
  std::string line_;
  std::map<std::string, std::deque<SimDialScript>> scripts_;
  SimDialScript defaultDial_;
  SimDialScript answer_;
  SimDialScript pending_;  // the dial or answer in progress
  Clock::time_point pendingAt_{};
  std::vector<std::string> refused_, ignored_;
  std::chrono::milliseconds guard_{1000};
  int pluses_ = 0;
  Clock::time_point lastOnlineByte_{}, plusesAt_{};
  std::vector<std::string> commands_, dialled_;
  std::string online_;
  std::vector<SimReceivedByte> received_;
  std::jthread thread_;
};

}  // namespace testing_support
