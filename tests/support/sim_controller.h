#pragma once
// A simulated VORMO controller on the master end of a pseudo-terminal: the code under test opens the
// slave (point a COM number at SlavePath()) and talks to it as to a real controller. A thread of its own
// reads frames by their first byte, drops noise, drops a partial frame after a silence, checks every CRC
// and sum, answers the way the engine's wait states expect and keeps a memory model of the controller.
//
// Answers:
// - a request gets a 264-byte block reply (header = the request's bytes 0-5, 256 bytes of memory, CRC
//   low byte first); a request with a bad CRC gets no answer (the engine's wait times out);
// - a command, clock or block frame gets 06 00 00, or a refusal (15 00 00, or the byte SetRefusalByte chose
//   followed by 00 00) when its sum or CRC is bad, when it asks for something out of range, or for an
//   unknown command; the flash-load command gets no answer at all, the clock read 9 bytes and the X10
//   wait 5 bytes;
// - a refusal means nothing was done.
//
// Memory: one 64 KiB space that requests read, holding the info block, module types and versions, the
// firmware version, the I/O words, the parameters at 0x7F00, the module-parameter block, the manager-ready
// flag, the X10 status, the staging area, the pager table (direct blocks), the timers at 0xA000 and the
// variables at 0xA100 (as the info block says) and the raw IR memory from 0xC000 (image blocks there).
// Image blocks below 0xC000 are the executive and go to a store of their own; flash, touch objects,
// ASCII blocks and IR codes are stores of their own too, filled from the staging area.
//
// Timing: the engine discards its port's output before every send, and on a pseudo-terminal that also
// discards what this end has not read yet. A test that ticks faster than 250 ms must let the simulator
// take each frame before the next tick: SimExchange (support/sim_exchange.h) waits for exactly that.
// Its time is the steady clock, unless a test drives its line clock: then a late or paced answer goes out
// only as the test moves that clock on, so ticks run back to back still see what a real line delivers.
//
// Every method is safe to call from any thread; every wait has a deadline.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "controller/frames.h"
#include "support/pty_pair.h"

namespace testing_support {

using SimBytes = std::vector<std::uint8_t>;

enum class SimFrameKind { Request, Command, Clock, Block };

// One frame as the simulator received it.
struct SimFrame {
  SimFrameKind Kind = SimFrameKind::Request;
  SimBytes Bytes;                      // the whole frame
  bool CheckGood = true;               // its CRC or sum held
  bool Ignored = false;                // dropped on purpose (IgnoreNext)
  bool Garbled = false;                // its answer went out with a byte flipped (GarbleEveryNthReply)
  bool Refused = false;                // answered with a refusal, a bad request unanswered, a flash load not done
  std::chrono::milliseconds Late{};    // its answer went out this long after it on purpose (AnswerLate...)
  std::uint8_t Code = 0;               // command code (commands)
  std::array<std::uint8_t, 5> Args{};  // a1..a5 (requests, blocks) or b1..b5 (commands)
  std::uint16_t Address = 0;           // a3 + 256 x a4 (requests, blocks)
  SimBytes Answer;                     // what was answered at once (empty: nothing yet or never)
  std::chrono::steady_clock::time_point When;

  // The 256 data bytes of a block frame.
  SimBytes Data() const;
  // One line for people: kind, code or address, arguments, the answer.
  std::string Describe() const;
};

// A control block: header (0, a2, 0x00, 0x90, 2), where a2 says which (1 the stop, 0 the touch screen's
// stop, 2 the start).
bool IsControlBlock(const SimFrame& frame);
// The control block "start", (0, 2, 0x00, 0x90, 2): the one the simulator and every test take for it.
bool IsStartBlock(const SimFrame& frame);

// Where the info block keeps its fields: data byte n of a reply is reply byte n + 6, and the engine reads
// the application version from reply bytes 8-9, the firmware sub-number from 14 and the timer and
// variable table addresses from 16-17 and 18-19.
inline constexpr int InfoAppVersionAt = 2;
inline constexpr int InfoSubNumberAt = 8;
inline constexpr int InfoTimerTableAt = 10;
inline constexpr int InfoVariableTableAt = 12;

// What RefuseCommand picks besides a command code.
inline constexpr int SimClockFrame = 0x100;
inline constexpr int SimStartBlock = 0x101;

// What the simulator did on purpose because a fault switch asked, counted from its making. What a
// controller does by itself is not counted: refusing a frame whose check fails (GarbleNextReceived's too) or
// that it cannot take (Faults()).
struct SimInjected {
  // Frames answered with a refusal by RefuseCommand, RefuseEveryNthAck or NakNext, once a frame whichever
  // switches chose it. NakNext passes over flash loads.
  int Refusals = 0;
  // Answers sent spoilt: block replies given a wrong CRC (CorruptNextBlockReplies) and answers with a byte
  // flipped (GarbleEveryNthReply; refusals too, which then count here and as refusals), once an answer
  // whichever switches spoilt it.
  int Garbled = 0;
  // Frames whose check held, neither done nor answered by DropEveryNthFrame or IgnoreNext. DropEveryNthFrame
  // neither drops nor counts a flash load; IgnoreNext drops and counts it.
  int Dropped = 0;
  // Frames taken, neither done nor answered, after SilenceAfter's count ran out, flash loads too. The frame
  // on which HangUpAfter closes the line counts nowhere; after the hang-up nothing is taken.
  int Silenced = 0;
};

struct SimForwardedAscii {
  int Module = 0;
  int Message = 0;
  std::string Text;  // the staging area's first 32 bytes up to the first zero
};

class SimController {
 public:
  SimController();                                       // makes its own pseudo-terminal
  explicit SimController(std::unique_ptr<PtyPair> pty);  // plays the far end of this one
  ~SimController();
  SimController(const SimController&) = delete;
  SimController& operator=(const SimController&) = delete;

  bool Valid() const;
  const std::string& SlavePath() const;

  // --- the memory model (module numbers 1..128; slot k of the tables is module k + 1) ---
  SimBytes Read(std::uint16_t address, std::size_t count) const;  // wraps at 64 KiB
  void Write(std::uint16_t address, const SimBytes& bytes);
  void SetFirmwareVersion(int version);  // x 100: 820 = 8.20
  int FirmwareVersion() const;
  void SetAppVersion(int version);  // x 100
  void SetFirmwareSubNumber(int number);
  void SetTableAddresses(std::uint16_t timers, std::uint16_t variables);
  std::uint16_t TimerTableAddress() const;
  std::uint16_t VariableTableAddress() const;
  void SetModule(int module, std::uint8_t type, std::uint8_t version = 1);
  void RemoveModule(int module);
  std::uint8_t ModuleType(int module) const;
  void SetIoWord(int module, std::uint16_t word);
  std::uint16_t IoWord(int module) const;
  void SetParameter(int p, std::uint16_t value);  // 0..127, at 0x7F00
  std::uint16_t Parameter(int p) const;
  void SetTimer(int k, std::uint16_t value);
  std::uint16_t Timer(int k) const;
  void SetVariable(int k, std::uint16_t value);
  std::uint16_t Variable(int k) const;
  void SetModuleParameter(int module, int p, std::uint16_t value);  // module 1..127, parameter 0..63
  std::uint16_t ModuleParameter(int module, int p) const;
  // Requests for the manager-ready flag that see it busy (0) after each gather command.
  void SetManagerBusyPolls(int polls);
  void SetX10Unit(int house, int unit, bool on);  // house 0..15, unit 0..15
  bool X10Unit(int house, int unit) const;
  void SetClock(const controller::ClockFields& when);  // a day of the week of 7 or more is sent as it is
  controller::ClockFields Clock() const;
  int ClockFramesTaken() const;
  // The flash-load key: bytes 1-2 of the clock reply; flash loads must carry it (0 meaning 1).
  std::uint16_t FlashKey() const;
  void SetFlashKey(std::uint16_t key);

  // --- what was stored ---
  SimBytes Staging() const;
  std::optional<SimBytes> FlashBlock(int bank, int block) const;
  SimBytes ProgramImage() const;   // banks 0x50..0x57, 12 blocks each (24,576 bytes; zero where unwritten)
  SimBytes SunTableImage() const;  // bank 0x70, 6 blocks
  SimBytes IconImage() const;      // banks 0x5A..0x65, 16 blocks each (49,152 bytes)
  int FlashLoads() const;          // flash loads done
  int FlashArgMismatches() const;  // flash loads refused for a wrong argument
  SimBytes TouchObjects() const;   // 512 slots of 64 bytes
  std::optional<SimBytes> AsciiBlock(int n) const;
  std::optional<SimBytes> IrCode(int n) const;
  void SetIrCode(int n, const SimBytes& record);
  SimBytes ExecutiveImage() const;  // image blocks below 0xC000, at their addresses (64 KiB)
  int ImageBlocks() const;
  std::vector<SimForwardedAscii> ForwardedAscii() const;
  int ControlStops() const;
  int ControlStarts() const;
  bool InterpreterRunning() const;
  bool Relay(int module, int point) const;
  // The commands with this code that were carried out, in order.
  std::vector<SimFrame> Commands(std::uint8_t code) const;
  // Protocol errors: what the PC sent that a controller cannot take (a wrong or zero flash argument, an
  // unknown command, a value out of range, a request with address bytes 1, 2 or 5 not 0, a clock frame
  // out of the calendar, an IR learn before parameter 17 is set, an unknown block header); empty after a
  // correct conversation.
  std::vector<std::string> Faults() const;

  // --- events the test makes happen ---
  // An X10 event: answers a waiting 0x60 at once, is kept for the next one, or with the old monitor on
  // (parameter 15 = 1) goes out as `lead`, house, key.
  void InjectX10Event(int house, int key, std::uint8_t lead = 0xFE);
  // How long the X10 wait stays quiet before it answers house 255.
  void SetX10QuietAnswer(std::chrono::milliseconds after);
  // Ends a learn in progress: stores a code and sends 0xFD. False when no learn is in progress.
  bool CompleteIrLearn();
  // Ends every learn this long after its command by itself; nullopt: only CompleteIrLearn does.
  void SetIrLearnDelay(std::optional<std::chrono::milliseconds> delay);
  // A module's button pressed while auto-addressing runs: sends the module number given (and gives the
  // slot `type` when asked). Returns that number, or -1 when no addressing runs.
  int PressModuleButton(std::optional<std::uint8_t> type = std::nullopt);
  // Bytes the controller sends by itself (noise, stray answers), `after` from now on its time.
  void Push(const SimBytes& bytes, std::chrono::milliseconds after = {});

  // --- faults ---
  void NakNext(int count);                  // the next answers are refusals (nothing done)
  void CorruptNextBlockReplies(int count);  // the next block replies carry a wrong CRC
  void IgnoreNext(int count);               // the next good frames are neither done nor answered
  void GarbleNextReceived(int count);       // the next frames arrive with a byte flipped: their check fails
  void SetReplyDelay(std::chrono::milliseconds delay);
  void SetPacing(bool at9600Baud);                        // send one byte per 10 bit times at 9600 baud
  void SetSilenceLimit(std::chrono::milliseconds limit);  // a partial frame older than this is dropped
  // A frame is answered only once its bytes would have crossed a 9600-baud line.
  void SetReceivePacing(bool at9600Baud);
  // From now on the simulator's time (when its bytes are due, its timers, its silences) is a line clock
  // that stands still but for AdvanceLineClock; a byte goes out once that clock reaches it.
  void DriveLineClock();
  bool LineClockDriven() const;
  void AdvanceLineClock(std::chrono::milliseconds by);
  // Commands with this code (or the clock frames, or the control "start" blocks) are refused (nothing
  // done): every one (nth 0), or only the nth to arrive from now on.
  void RefuseCommand(int code, int nth = 0);
  // Periodic faults, counted from the call; 0 switches one off.
  void RefuseEveryNthAck(int n);    // every nth frame that would be acknowledged is refused instead
  void GarbleEveryNthReply(int n);  // a block reply's data or a short answer's first byte is flipped
  void DropEveryNthFrame(int n);    // lost on the line, unseen; flash loads are neither counted nor lost
  void SilenceAfter(int frames);    // after this many more frames nothing is done or answered
  void HangUpAfter(int frames);     // the frame after this many more closes the line
  // Every nth answer goes out `late` after its frame, and the next answer `nextLate` after its own: with
  // `late` past the engine's time-out the frame is sent again, and both answers come. Each in place of the
  // reply delay, where it is later.
  void AnswerLateEveryNth(int n, std::chrono::milliseconds late, std::chrono::milliseconds nextLate);
  // The next answer alone goes out `late` after its frame.
  void AnswerNextLate(std::chrono::milliseconds late);
  // Every refusal from now on, asked for or not, is `first`, 00 00 (the default 0x15).
  void SetRefusalByte(std::uint8_t first);
  // Closes the master, as an unplugged adapter does; nothing is read or sent afterwards.
  void HangUp();
  bool HungUp() const;
  // The frame that closes the line was taken, and the line is not closed yet.
  bool HangingUp() const;

  // --- observation ---
  std::vector<SimFrame> Frames() const;
  std::size_t ReceivedCount() const;  // whole frames taken, good or bad
  std::size_t BytesAnswered() const;  // bytes of the answers given at once to the frames taken
  std::optional<SimFrame> LastFrame() const;
  std::size_t NoiseBytes() const;  // bytes that started no frame
  int DroppedPartials() const;     // partial frames dropped after a silence
  std::size_t BytesSent() const;
  std::size_t BytesDue() const;  // sent, or due to be sent by now
  // Bytes read from the line, frames and noise alike. Until it has read all the PC's port wrote, a discard
  // of the port's output can still drop some on a pseudo-terminal, as it never does on a real line.
  std::size_t BytesRead() const;
  SimInjected Injected() const;
  bool WaitUntilReceived(std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(2));
  // Until `done` (called with no lock of the simulator held) returns true.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = std::chrono::seconds(2));
  // A line for each frame, answer, push, drop and noise, called on the simulator's thread.
  void SetTrace(std::function<void(const std::string&)> trace);

 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct OutByte {
    TimePoint Due;
    std::uint8_t Byte;
  };

  void Start();
  void Run(std::stop_token stop);
  void Wake();
  void Emit(std::vector<std::string>& lines);
  TimePoint Now() const;  // the line clock's time when driven
  int PollTimeoutMs(TimePoint now) const;
  bool ReadInput(TimePoint now, std::vector<std::string>& trace);  // false: no one holds the slave
  void TakeByte(std::uint8_t b, TimePoint now, std::vector<std::string>& trace);
  void RunTimers(TimePoint now, std::vector<std::string>& trace);
  void WriteDue(TimePoint now);
  bool WantsToWrite(TimePoint now) const;

  void Handle(SimFrame& frame, std::vector<std::string>& trace);
  std::optional<SimBytes> HandleRequest(SimFrame& frame);
  std::optional<SimBytes> HandleCommand(SimFrame& frame);
  std::optional<SimBytes> HandleClock(SimFrame& frame);
  std::optional<SimBytes> HandleBlock(SimFrame& frame);
  bool FlashLoad(const SimFrame& frame);
  void GatherModuleParameter(int p);
  void ApplyX10(int house, int key);
  SimBytes X10Answer(int house, int key) const;
  SimBytes Refuse(SimFrame& frame, const std::string& why);  // a frame the controller cannot take
  SimBytes RefusalAnswer() const;
  bool RefusedOnPurpose(const SimFrame& frame);
  bool LostOnTheLine(const SimFrame& frame);
  // True when the answer went out garbled. Due no earlier than `after` from now (after the reply delay for
  // an answer).
  bool Send(const SimBytes& bytes, bool asReply, std::chrono::milliseconds after = {});
  // `bytes` go as the answer to `frame`, late when AnswerLateEveryNth says so.
  void AnswerFrame(SimFrame& frame, const SimBytes& bytes);
  void Changed();

  SimBytes Load(std::uint16_t address, std::size_t count) const;
  void Store(std::uint16_t address, const SimBytes& bytes);
  std::uint16_t Word(std::uint16_t address) const;
  void PutWord(std::uint16_t address, std::uint16_t value);

  std::unique_ptr<PtyPair> pty_;
  int wakeFd_ = -1;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t generation_ = 0;

  // Memory model.
  std::vector<std::uint8_t> memory_ = std::vector<std::uint8_t>(0x10000);
  std::vector<std::uint8_t> executive_ = std::vector<std::uint8_t>(0x10000);
  std::array<std::array<std::uint16_t, 64>, 128> moduleParams_{};
  std::map<int, SimBytes> flash_;  // bank x 256 + block
  std::vector<std::uint8_t> touch_ = std::vector<std::uint8_t>(512 * 64);
  std::map<int, SimBytes> ascii_;
  std::map<int, SimBytes> ir_;
  std::vector<SimForwardedAscii> forwarded_;
  std::map<int, bool> relays_;  // module x 256 + point
  std::array<int, 16> x10Selected_{};
  controller::ClockFields clock_{2007, 3, 4, 9, 5, 7, 0};
  int clockFrames_ = 0;
  std::uint16_t flashKey_ = 1;
  int flashLoads_ = 0, flashMismatches_ = 0, imageBlocks_ = 0;
  int controlStops_ = 0, controlStarts_ = 0;
  bool interpreterRunning_ = true;
  int managerBusyPolls_ = 1, managerPollsLeft_ = 0;
  std::vector<std::string> faults_;

  // Pending operations.
  std::deque<std::array<std::uint8_t, 2>> x10Events_;
  std::optional<TimePoint> x10WaitUntil_;
  std::chrono::milliseconds x10Quiet_{1000};
  std::optional<int> learning_;
  std::uint8_t learnFrequency_ = 0;
  std::optional<TimePoint> learnUntil_;
  std::optional<std::chrono::milliseconds> learnDelay_;
  int addressingNext_ = -1;

  // Faults asked for.
  int nakNext_ = 0, corruptNext_ = 0, ignoreNext_ = 0, garbleNext_ = 0;
  std::uint8_t refusalByte_ = 0x15;
  std::chrono::milliseconds replyDelay_{0};
  bool paced_ = false;
  std::chrono::milliseconds silence_{100};
  bool hangUpAsked_ = false, hungUp_ = false;
  bool pacedIn_ = false;
  struct Refusal {
    int Code = 0;  // a command code, SimClockFrame or SimStartBlock
    int Nth = 0;   // 0: every one
    int Seen = 0;
  };
  std::vector<Refusal> refusals_;
  // Every nth of what it counts; 0: never.
  struct Periodic {
    int Every = 0, Seen = 0;
    bool Now() { return Every > 0 && ++Seen % Every == 0; }
  };
  Periodic refuseAck_, garbleReply_, dropFrame_, lateAnswer_;
  std::chrono::milliseconds late_{}, nextLate_{};
  bool lateFollows_ = false;  // the answer after a late one is late too
  std::optional<std::chrono::milliseconds> nextAnswerLate_;
  void SetPeriodic(Periodic& fault, int n);
  std::optional<int> silenceIn_, hangUpIn_;
  SimInjected injected_;

  // The wire.
  SimBytes rx_;
  std::size_t rxExpected_ = 0;
  TimePoint rxStart_{};
  TimePoint lastInput_{};
  std::deque<OutByte> out_;  // in order of their due times
  std::optional<TimePoint> lineClock_;
  TimePoint lastDue_{};
  std::vector<SimFrame> frames_;
  std::size_t noise_ = 0, sent_ = 0, answered_ = 0, read_ = 0;
  int droppedPartials_ = 0;
  std::function<void(const std::string&)> trace_;

  std::jthread thread_;  // last: stopped and joined before anything above goes
};

}  // namespace testing_support
