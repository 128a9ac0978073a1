#pragma once
// The whole conversation with the controller as one state machine: each 250 ms tick of the
// communications window runs one state. An exchange is a send state (one frame out) followed by a wait
// state that polls the port's input count until the reply is whole; a wait that sees nothing by its 12th
// tick, a bad check or a refusal counts a retry and steps back to the send state, and the ninth retry in
// a row disconnects. The states of each operation live in a file of their own and are found by number.
//
// The engine needs no window: it drives the serial port component, shows through a CommsView and reads
// the settings, the project and the clock it is given.
#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "controller/comms_view.h"
#include "controller/dial_up.h"
#include "controller/exchange.h"
#include "controller/frames.h"
#include "controller/request_fields.h"
#include "controller/request_order.h"
#include "controller/running_work.h"
#include "controller/sun_table.h"
#include "platform/atomic_file.h"

class ProgramStore;
class TouchScreenTable;

namespace platform {
class Clock;
}
namespace project {
class AsciiMessageTable;
class Settings;
}  // namespace project
namespace serial {
class TLkCustomComPort;
}

namespace controller {

// What the downloads take from the project.
class CommsProject {
 public:
  virtual ~CommsProject() = default;
  virtual const ProgramStore& Program() const = 0;
  virtual const TouchScreenTable& TouchTable() const = 0;
  virtual const project::AsciiMessageTable& AsciiMessages() const = 0;
  // Packs the project's icons into `buffer`, logging to `log`.
  virtual void CompileIconImage(std::span<std::uint8_t> buffer, project::CommsLog& log) = 0;
};

// What the transfers send, taken when each was asked and checked then: an edit made afterwards goes with
// the next transfer asked.
struct TransferTables {
  static constexpr int ProgramBytes = 96 * 256;  // line records 0..4095
  static constexpr int IconBytes = 192 * 256;    // as far as the icon download sends the image
  static constexpr int TouchBytes = 64 * 256;    // object records 0..255
  static constexpr int PagerRows = 16;
  static constexpr int PagerRowBytes = 64;  // a row's text, zero-padded
  static constexpr int AsciiMessages = 128;

  std::vector<std::uint8_t> Program = std::vector<std::uint8_t>(ProgramBytes);
  SunTable Sun;  // of the location stored then
  bool UseDaylightSaving = false;
  std::uint8_t DstActive = 0;
  std::vector<std::uint8_t> Icons = std::vector<std::uint8_t>(IconBytes);  // compiled then
  std::vector<std::uint8_t> Touch = std::vector<std::uint8_t>(TouchBytes);
  std::array<std::string, PagerRows> Pager;
  std::array<std::string, AsciiMessages> Ascii, ModuleAscii;
  // The executive image: the file the firmware and the settings stored then choose, read whole. Asked before
  // the identification has read the firmware version, the file is chosen once it has, by the settings as
  // they were stored when asked; no path yet until then.
  std::string ExecutiveDirectory;
  int ProgrammingMode = 0;
  std::string ExecutivePath;
  std::vector<std::uint8_t> Executive;
  // The IR file chosen for the download, read whole.
  std::vector<std::uint8_t> IrFile;
};

class CommsEngine;
using StateHandler = void (*)(CommsEngine& engine);
// The states First..Last run Handler.
struct StateEntry {
  int First;
  int Last;
  StateHandler Handler;
};

inline constexpr int ModuleSlots = 128;
inline constexpr int NoModule = 200;  // a module type of 200 or more: nothing at that address

struct CommsParts {
  serial::TLkCustomComPort& Port;
  CommsView& View;
  const project::Settings& Settings;
  CommsProject& Project;
  DialUp& Dial;
  const platform::Clock& Clock;
};

class CommsEngine : public RequestFields {
 public:
  explicit CommsEngine(const CommsParts& parts);
  ~CommsEngine();
  CommsEngine(const CommsEngine&) = delete;
  CommsEngine& operator=(const CommsEngine&) = delete;

  // One tick of the timer. A tick that is already running (a message box shown from a state runs a nested
  // event loop) is skipped, not queued.
  void Tick();

  // What the window's creation does: no flash-load argument yet, no reconnection, the queue free.
  void FormCreate();

  // Counts a retry: logs it while "Errors" is ticked, steps back to the send state and disconnects after
  // the ninth in a row or when a disconnect was asked for.
  void CommsRetry(const std::string& tag);
  void UpdateStatusPanel();

  // The four senders: each discards the port's output and input, restarts WaitCount, lights the
  // transmit light and queues the frame.
  void SendRequestFrame(Byte a1, Byte a2, Byte a3, Byte a4, Byte a5);
  void SendRequestFrame(std::uint16_t address);
  void SendCommandFrame(Byte code, Byte b1 = 0, Byte b2 = 0, Byte b3 = 0, Byte b4 = 0, Byte b5 = 0);
  // FrameBuffer bytes 1-14 are written by the caller.
  void SendClockFrame();
  // FrameBuffer bytes 6-261 are written by the caller.
  void SendBlockFrame(const BlockHeader& header);
  // A block frame carrying BlockData.
  void SendBlockData(const BlockHeader& header);
  // Puts `data` (at most 256 bytes; the rest of the block keeps what it held) into the block's data bytes.
  void SetBlockData(std::span<const std::uint8_t> data);
  // Data byte n of the reply in FrameBuffer.
  Byte Data(int n) const { return FrameBuffer[static_cast<std::size_t>(BlockDataOffset + n)]; }
  std::uint16_t DataWord(int n) const { return static_cast<std::uint16_t>(Data(n) | Data(n + 1) << 8); }

  // One tick of a wait state: counts the tick (a retry tagged "timeout" on the 12th after the send), shows
  // `text` when given, and once `size` bytes are waiting takes them (at most 264) into FrameBuffer and
  // returns true. A reply whole on the 12th tick is still taken: the state that takes it moves on, unless
  // that retry was the ninth in a row (a retry while the user closes takes it, and the close ends the
  // connection as the user's). At most `take` bytes are taken, to leave what follows the reply in the port.
  bool AwaitReply(int size, const char* text = nullptr, int take = BlockReplySize);
  // The counting part of a wait's tick, for a wait that reads what comes its own way: false when its
  // time-out was the ninth retry in a row, which lost the connection: the wait must not move on.
  bool WaitTick(const char* text);
  // A block reply arrived: true when its CRC holds, else a retry tagged "crc".
  bool BlockReplyChecked();
  // The 3-byte answer in FrameBuffer is no acknowledgement: any first byte but 6 is a refusal, also one
  // garbled on the line.
  bool Refused() const { return FrameBuffer[0] != Ack; }
  // One tick of a wait for an acknowledgement: true once it came (the retry count starts again); a
  // refusal is a retry with `tag`.
  bool AwaitAck(const std::string& tag, const char* text = nullptr);
  enum class Answer { Pending, Yes, Refused };
  // One tick of a wait for the answer that ends an operation: once it is in, a refusal is told in the log
  // ("<operation> refused by the controller", no retry), the retry count starts again and the engine
  // moves to `next`, polling unless said otherwise. At most `take` of the waiting bytes are taken.
  Answer AwaitAnswer(const char* operation, const char* text = nullptr, int next = 110, int take = BlockReplySize);
  // One tick of the state after a frame that gets no answer: true once the frame has left the port, so the
  // next send's discard cannot drop it; a frame still held on the 12th tick is a "timeout" retry.
  bool AwaitSent();
  // One byte of input, when one is waiting. The reader counts it: AnswerBytesRead for a byte that is no
  // report.
  bool ReadByte(Byte& b);
  // A wait that reads its answer its own way took `bytes` of input with it.
  void AnswerTaken(int bytes) { exchange_.Taken(bytes); }
  // A reader took `bytes` of input that were no report: what the line owes counts them off.
  void AnswerBytesRead(int bytes) { exchange_.Read(bytes); }
  // For a wait that reads byte by byte: the reports waiting at the front of the input are taken, and each
  // answer the line still owes that is whole in it is taken and dropped.
  void SettleLine();
  // Takes the reports the controller sent by itself that wait at the front of the input, while it may send
  // them (a learn runs, the older X10 monitor's reports are on): each is taken as that report, never as an
  // answer. An X10 event whose bytes are not all in yet waits for them.
  void TakeReports();
  // A learnt code was reported: the learn that waits for it ends.
  void IrCodeLearnt();
  // An X10 event the older monitor's reports brought.
  void ShowX10Event(Byte house, Byte key);
  // The line is gone (an unplugged adapter): the operation's window `window` is hidden and the engine
  // disconnects. For the waits that have no time-out of their own.
  bool LineLost(CommsWindow window);

  // A line of the log. One a state logs for work whose first frame has not left the port waits for that
  // frame: it is not logged when the frame never goes.
  void AddLogLine(const std::string& line);
  void SetStep(const std::string& text) { View.SetText(CommsText::Step, text); }
  void ShowMeter(int percent);
  void HideMeter();
  // Writes a block into the memory-dump window's grid, with `format` per byte, and beside it the address
  // the bytes were read from; none for a download's block, which the staging area does not keep.
  void ShowBlockInDump(std::span<const std::uint8_t> block, const char* format,
                       std::optional<std::int32_t> address = std::nullopt);
  // The restart wait's window at 0 and its tick count restarted.
  void BeginRestartWait();
  // One tick of the restart wait: true once it has lasted 301 ticks (the window is then hidden). The start
  // block is not waited for, but a refusal of it that comes within the first 12 ticks sends it again.
  bool RestartWaitDone();
  bool HasProgramEnd() const;

  // "&Download Program in Editor to Controller": the request is set only for a program with an END line
  // among lines 1 to 4095 and a stored location the sun table can use; otherwise the user is told and
  // false returned, and a download waiting stays as it was. The program, its sun table and whether daylight
  // saving is in force are taken now.
  bool RequestProgramDownload();
  // "&Reload Controller Executive" and OK on "Update Warning": the image is chosen and read now (TakeExecImage),
  // or once the firmware version is known. False when it cannot be sent: told, and nothing is asked.
  bool RequestExecReload();
  // Chooses the executive image of the reload asked, by the firmware version and the settings stored when it
  // was asked, and reads it whole. One missing, unreadable, empty or longer than the executive's addresses
  // reach is logged and told, and the reload is not asked: false.
  bool TakeExecImage();
  // "&Download Infra-Red File to Controller", once a file is chosen in the format the dialog offered (.lir
  // records or .ir memory): the file is read whole now. One that cannot be read, or as memory is larger than
  // the IR memory, is logged and told, and the download is not asked: false.
  bool RequestIrDownload(const std::string& path, bool lir);
  // The other transfers, asked: each takes what it sends now, into Asked.
  // "Send To:" of the ASCII message window: 0 the controller, 1..127 that module.
  void RequestAsciiTable(int destination);
  // A load of the ASCII messages to a module is asked or runs: another would be refused.
  bool ModuleAsciiAsked() const;
  // "Load Messages": the pager messages window's rows.
  void RequestPagerLoad();
  // The touch-screen designer's load and the project download dialog; the icons are compiled now.
  void RequestTouchLoad();
  void RequestIconLoad();
  // The stored location is one the sun table can use, as the settings window checks it; the user is told
  // of one it refuses.
  bool LocationUsable() const;
  // IR codes travel as .lir records from firmware 8.20 on, as .ir memory before.
  bool TakesLirFiles() const { return FirmwareVersion >= 820; }

  // Whether an attach now goes on with the running connection: it runs on the road the settings name, that
  // road is a line of its own (on a dial-up road the controller is the number dialled), the user has not
  // closed it and it does not wait for its end for a new connection. Its requests then go on.
  bool Reconnects() const;
  // An attach (the editor's, the touch-screen designer's, the project download dialog's): state 1, at once
  // when nothing runs. Otherwise what runs ends as its kind says (RunningWork): a transfer is cut where it
  // stands, told, and its file closed; a mode runs its end step, a restart wait runs out and a command on the
  // line gets its answer, and only then does the attach take effect. A reconnection then restarts at state 1,
  // with the requests that have not started; its first frame waits for what the exchange on the line still
  // owes, as every new frame does. A new connection drops those at once, told, hides the closed
  // connection's windows and runs its end whole (line closed, modem hung up) before state 1: what is asked
  // after the attach is the new connection's, and no window shows the last controller's values until this
  // connection has read them. A close asked while nothing ran closes nothing: this attach connects. An
  // attach while a new connection waits for the last one's end is that connection's, and changes nothing;
  // so does one while a reconnection is asked and has not started.
  void Attach();
  // A reconnection is asked: the requests a new start must not inherit are cleared now, and told; the
  // running work keeps its own for its end. What is asked from now on is the reconnection's.
  void ClearForReconnection();
  // The project download's reconnection, taken by the idle pass once the running work has ended. Asked
  // while one is asked and has not started, it changes nothing.
  void Reconnect();
  // With no connection running, or once the running one is closing (the user's close, or its end decided),
  // a request window asks for nothing: false, and the user is told at once that `what` was not sent. Nothing
  // waits for whichever controller comes next. `sameAsked`: the same request waits or runs already; the new
  // one is refused and told rather than merged into it or put in its place.
  bool RequestAllowed(const std::string& what, bool sameAsked = false);
  // The same for a request of `kind`, which also runs in the order asked (request_order.h) or is refused
  // and told. `writes` narrows what it writes, as OutOfOrder says.
  bool RequestAllowed(RequestKind kind, bool sameAsked = false, std::uint32_t writes = 0);

  // The connection has ended: every request it was asked for and has not started is dropped, so the next
  // connection, perhaps to another controller, does only what is asked of it then; the values they carried
  // stay. Each is told in the log, and kept for TellNotSent: a command that went and whose answer never came
  // as not confirmed, a mode whose end did not come with what it may have left. At a new connection's attach
  // the running work's own request stays for its end (RunningWork::Keep).
  void DropRequests();
  // The closed connection's end has run and the next starts: of what the closed one was asked, only the
  // request kept for its running work's end can be left, when that end did not clear it; it is dropped and
  // told. What was asked since the attach is the next connection's, and goes on untold.
  void DropKeptRequest();
  // The windows and panels that show one connection's controller, or an operation of it: hidden when it
  // ends. A restart running out keeps its window.
  void HideConnectionWindows();
  // Shows what was dropped in a message when Controller Access is not on the screen (its log tells it
  // otherwise), once.
  void TellNotSent();
  // Logs "<what> not sent", a request that never started, and keeps it for TellNotSent.
  void TellDropped(const std::string& what);
  // Logs "<what> cut short": it went or ran, and was ended before its own end by what the user asked.
  void TellCut(const std::string& what);
  // Logs "<what> ended": a read or monitor that ran and ends with the connection.
  void TellEnded(const std::string& what);
  // Logs "<what> not confirmed": it went, and its answer never came. Kept for TellNotSent.
  void TellNotConfirmed(const std::string& what);

  // The work running now (RunningWork): the engine's, or what holds the port outside a connection; nullptr
  // when none. A command counts once it has gone on the line.
  const RunningWork* Running() const;
  // The question an attach (`how`) or the program's end asks before it ends what runs, naming it and what
  // ending it does; at the program's end also a transfer asked for that has not started. Empty: nothing to ask.
  std::string EndQuestion(Ending how) const;
  // The connection is closing or about to start again (the user's close, an attach, a posted reconnection):
  // work that waits for the user ends through its end step now.
  bool WorkEnding() const { return CloseRequest || AttachRequest || ReconnectRequest; }
  // A mode (a learn, auto-addressing, the older X10 monitor) that has sent nothing yet: it is only asked
  // for, and ending the connection drops it.
  bool ModeNotStarted() const { return !workSent_; }
  // A frame of the work in hand has left the port: a frame held back, or not sent yet, has not gone.
  bool WorkSent() const { return workSent_; }
  // A frame, or the send state of a mode's step, waits for the line to settle: it has not gone.
  bool FrameHeld() const { return !held_.empty() || stateHeld_; }
  // The transfer in hand takes its request: at its first frame that leaves the port, or when it ends with
  // nothing to send. Until then it is only asked, and what ends the connection drops it.
  void TakeTransferRequest();
  // A read's first frame waits for the line or has not been made: the read is only asked.
  bool ReadNotStarted() const { return readTake_ != nullptr; }
  // The program ends, as "&Close" ends the connection: running work ends through its end step, a transfer is
  // cut (the user agreed), the line is closed or the call ended and what has not started is told not sent.
  void EndForExit();
  // A transfer (program, executive, touch screen, icons, pager or ASCII tables, IR codes) or a restart wait
  // after one is in its states: it runs to its end, with its retries, whatever the user closes meanwhile.
  bool TransferRunning() const;
  // The identification, parameter read and clock set that end an executive reload (or an addressing run).
  bool ReloadEnding() const;
  // The learn window closes: a learn asked that has not started yet is dropped now, and the user told it was
  // not sent, before the window offers to save the codes. One running ends through its own states.
  void DropLearnNotStarted();
  // Then the window is gone: the learn it asked ends, through its own states when it runs. One the last
  // connection keeps for its end after an attach elsewhere is not this window's (the window closed with that
  // connection): its end tells it cut short.
  void CancelLearn();
  // An IR file upload (or download) is asked for or in its states: another asked now would take its file.
  bool IrFileTransferAsked(bool upload) const;
  // The module grid empty but for its slot numbers and headers.
  void ClearModuleGrid();
  // The connection has ended: no step, meter or clock shows it as running.
  void ShowEnded();

  // How the running connection reaches the controller, taken from the settings as it starts: settings
  // stored while it runs are the next connection's.
  struct Road {
    std::uint8_t ComNum = 0;
    std::uint8_t Method = 0;
    std::uint8_t NonTapi = 0;
    bool operator==(const Road&) const = default;
  } Connection;
  Road StoredRoad() const;
  // An attach that starts a new connection waits for the running work's end and the closed connection's,
  // then starts the next.
  std::uint8_t AttachRequest = 0;

  // Engine fields.
  std::int32_t CommState = 0;  // 0: not attached
  std::int32_t WaitCount = 0;
  std::int32_t RetryCount = 0;
  std::int32_t StatusTick = 0;
  FrameBytes FrameBuffer{};
  std::int32_t CommsErrorKind = -1;  // -1 none, 1 lost connection, 2 failed modem connection
  std::int32_t FirmwareVersion = 0;  // x 100
  std::int32_t AppVersion = 0;       // x 100
  std::int32_t FirmwareSubNumber = 0;
  std::uint16_t TimerTableAddress = 0, VariableTableAddress = 0;
  std::array<std::uint8_t, ModuleSlots> ModuleTypes{};
  std::array<std::uint8_t, ModuleSlots> ModuleVersions{};
  std::array<std::uint32_t, ModuleSlots> IoStates{};
  // The info reply calls for the "Update Warning": asked in state 101 once the user has no box open.
  std::uint8_t UpdateWarningOwed = 0;

  // Shared with the requests.
  std::int32_t QueueIndex = 0;
  // The queued command on its way. A slot rewritten while its command waits for the answer holds a newer
  // command and stays queued.
  std::array<std::uint8_t, 6> SentCommand{};
  // The timer or variable change on its way (number, value, kind): one posted while it waits for the
  // answer is newer and stays posted.
  std::array<std::int32_t, 3> SentChange{};
  // The dump address on its way: the bytes that come are that address's, and one asked meanwhile is read
  // after them.
  std::int32_t SentDumpAddress = 0;
  std::vector<std::uint8_t> ImageBuffer = std::vector<std::uint8_t>(ImageBufferSize);
  std::uint16_t FlashArg = 0;  // 0: none built since it was last cleared
  // The flash keys of the connection's good clock replies since a key was last trusted. The reply has no
  // check of its own, so a key is trusted only when two replies agree on it.
  std::vector<std::uint16_t> ClockKeys;
  // Bad clock replies in a row while a flash download waits for its argument.
  std::int32_t BadClockReads = 0;
  // What the window shows: daylight saving in force today, and the table of the settings stored.
  std::uint8_t DstActive = 0;
  SunTable Sun;

  // Transfer fields of the downloads, the IR transfers, the pager and the ASCII loads.
  // The data of the block on its way, kept apart from FrameBuffer: a long or noisy reply overwrites
  // FrameBuffer before a refused or unanswered block is sent again.
  std::array<std::uint8_t, BlockDataSize> BlockData{};
  std::uint16_t BlockIndex = 0;
  std::uint16_t FileReadCount = 0;
  std::string ImageFilePath;
  // An IR upload's file: written beside the chosen one and put in its place only when whole, so a
  // transfer that fails or is cut short leaves the user's file as it was.
  std::unique_ptr<platform::AtomicFileWriter> UploadFile;
  std::int32_t MeterBytes = 0;
  float MeterScale = 0;
  std::int32_t RestartTicks = 0;
  // Each transfer keeps its tables while it waits (the program and the icons may wait at once, and the
  // staging image holds one at a time); the running one sends the copy it took in a first state no retry
  // comes back to, so one asked again meanwhile keeps its own.
  TransferTables Asked, Sending;
  // The module the running ASCII load sends to: its request is taken with its first frame, as every other
  // transfer's, so a load cut short is neither told "not sent" nor started again by a reconnection.
  std::int32_t AsciiModule = 0;

  std::array<std::uint16_t, 128> ControllerParams{};

  std::uint8_t ModuleParamsStop = 0;
  std::int32_t ManagerBusyPolls = 0;  // busy answers in a row for the parameter in hand
  std::uint8_t ParamIndex = 0, LastParamIndex = 0;
  std::uint8_t ParamNumber = 0, ParamModule = 0;
  std::array<std::array<std::uint16_t, 64>, 128> ModuleParamTable{};
  // The module parameter read back after its write, while that read runs (-1: none). One a reconnection
  // cuts is read again once connected (ModuleParamsRequest 2).
  std::int32_t ReadBackParam = -1;

  // The module parameters this connection has read: only these are shown or checked (the password).
  std::array<std::bitset<64>, 128> ModuleParamRead{};

  // The learn was ended before its code came (the connection closes or starts again): told once the
  // receiver is switched back, unless the code comes meanwhile.
  std::uint8_t LearnCut = 0;
  // The controller reported the code learnt since the learn started.
  std::uint8_t CodeLearnt = 0;

  std::uint8_t X10EventHouse = 0, X10EventKey = 0;
  // Ticks an X10 event begun has waited for its rest while the older monitor ends.
  std::int32_t X10EventTicks = 0;
  // The executive reload's restart (states 135 and 136) is auto-addressing's end.
  std::uint8_t AddressingRestart = 0;
  // Ticks the auto-addressing wait has held the waiting bytes: they may be the start of a late answer.
  std::int32_t AddressHeldTicks = 0;
  // The number "&Skip" left free (0: none) until the controller has the search for the next: it may still
  // give it meanwhile.
  std::int32_t SkippedModule = 0;
  // The last module number has been written since the addressing ended: a write sent again may cross the
  // answer of the one before on the line.
  std::uint8_t LastNumberSent = 0;
  std::uint8_t LastNumberAnswered = 0;  // the last write's answer is in; what followed it waits to be settled
  // Ticks the write sent again has waited for the bytes before it to settle: bytes that keep coming hold it
  // a few ticks at most.
  std::int32_t LastNumberHeldTicks = 0;

  // The parts the engine works with.
  serial::TLkCustomComPort& Port;
  CommsView& View;
  const project::Settings& Settings;
  CommsProject& Project;
  DialUp* Dial;  // replaced when the telephony components arrive
  const platform::Clock& Clock;
  // Work that holds Port outside a connection (the pager's modem set-up; its window sets it): an attach
  // cuts it short first, once the user has agreed.
  PortHoldingWork* PortWork = nullptr;

  // Events of the dial-up components. A connect report moves on only the state that waits for it (3 for the
  // telephony call, 11 for the AT modem).
  void TapiConnect();
  void TapiFail();
  void TapiPortClose();
  void ModemConnect();

  // Closes the upload's file, if one is open; an unfinished one is dropped.
  void CloseImageFile();

 private:
  void RunState();
  // The line is gone: the connection ends, and a transfer running is told cut short.
  void LoseConnection();
  // A new frame waits while the frame before it still owes answers (held_); one sent again by its own send
  // state goes at once. A step of a mode under way holds its send state instead, which runs again once the
  // line has settled and decides with what is true then.
  void Send(std::span<const Byte> frame);
  // The frame leaves the port: what left it, not the state number, says whether the work in hand went.
  void Transmit(std::span<const Byte> frame, bool again, int state);
  // A frame held back goes on the first tick the line has settled: true while it waits or as it goes, and
  // no state runs on such a tick. A connection that ended or starts again drops it: it never went.
  bool SendHeld();
  // Nothing held goes: the line closed or starts again.
  void DropHeld();
  // Whether the state that made the held frame would still send it: the first frame of work or of a read
  // that is no longer asked, or of the engine's poll, does not go once the connection ends or starts again.
  // The identification, a read or a transfer that has gone on, and a reload's own frames end through their
  // own ends.
  bool HeldFrameWanted() const;
  // The held frame is no longer wanted: it never goes, and the engine goes back to its idle pass, which
  // takes what is asked now. Nothing else moves.
  void WithdrawUnwanted();
  // The request of work that has not started is still asked for.
  bool StillAsked(const RunningWork& work) const;
  void FlushPendingLog();
  // The transfer of `state` takes its request, unless a frame of its run went already.
  void TakeRequestOf(int state);
  // What the controller may send by itself now.
  Reports ReportsNow() const;
  // Once the controller is in the addressing mode, the addressing run tells presses from answers by itself:
  // its frames are never held. Its first search waits like any frame.
  bool SettlesOwnInput() const;
  // The disconnect states 1000 to 1006 (the icon download's states are numbered past them).
  bool Disconnecting() const;
  // A read or monitor that ran ends with the connection: told "<what> ended".
  void TellReadsEnded();
  // The clock set that ends a reload is the reload's own: nothing withdraws it.
  bool ReloadsOwn(int state) const;
  // The work of the current state: transfers, modes and restart waits, and a command once it went.
  const RunningWork* StateWork() const;
  // Keeps its retries while the connection closes: a transfer, a restart and a mode's end.
  bool KeepsRetries() const;
  // A new connection: nothing of the last controller stays on show or is checked against.
  void ForgetController();
  void StartReconnection();
  // A reconnection is asked and has not started: posted, or on its open line before its first frame went.
  bool ReconnectionAsked() const;
  // An attach now is the one asked already: a new connection waits for this one's end, or a reconnection
  // asked has not started.
  bool AttachChangesNothing() const;
  // The request of `work` is still asked for.
  bool Holds(const RunningWork& work) const;
  // Logs `line` and keeps it for TellNotSent.
  void Tell(const std::string& line);
  // Tells each request of `asked` that is asked for no more: dropped, or not confirmed when it was on the
  // line. An addressing run dropped leaves no number of its own behind.
  void TellDrops(const Requests& asked);

  // The running work whose request a new connection's attach kept for its end, until that end clears it.
  const RunningWork* keptWork_ = nullptr;
  // The command or mode in hand when the connection's end was decided, until its end tells it.
  const RunningWork* endedIn_ = nullptr;
  std::vector<StateHandler> handlers_;
  std::string notSent_;  // the requests dropped with the last connection, a line each
  // Among them a number the controller gave and was not told: the next addressing run would give it twice.
  bool tellAlways_ = false;
  bool ticking_ = false;
  bool timedOut_ = false;  // this tick's wait has counted its time-out retry already
  Exchange exchange_;
  std::vector<Byte> held_;  // a new frame that waits for the line to settle
  bool stateHeld_ = false;  // or a mode's send state, to run again then
  int heldState_ = 0;       // the state that made it
  // Lines the work in hand logged before its first frame left the port: they go with that frame.
  std::vector<std::string> pendingLog_;
  bool inState_ = false;  // a state runs: the lines it logs are its own
  // A frame of the work in hand has left the port. Each run of work starts from a state of no work (the
  // idle pass, the poll), which clears it.
  bool workSent_ = false;
  // The read in hand whose first frame has not left the port: it takes its request then.
  const ReadWork* readTake_ = nullptr;
};

}  // namespace controller
