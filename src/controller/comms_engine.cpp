#include "controller/comms_engine.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "controller/name_tables.h"
#include "controller/param_requests.h"
#include "controller/state_tables.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "program/program_store.h"
#include "project/settings.h"
#include "serial/com_port.h"
#include "serial/lk_exception.h"

namespace controller {

namespace {

constexpr int MaxState = 1200;
constexpr int TimeoutTicks = 10;  // a wait that had counted more than this retries
constexpr int MaxRetries = 8;     // one more in a row loses the connection
constexpr int IdleState = 114, PollRequestState = 112;
// A module parameter read under way.
constexpr int FirstModuleRead = 200, LastModuleRead = 205;
// The addressing mode's states; the clock set.
constexpr int FindModuleStart = 590, LastModuleWritten = 594, SetClockState = 530;

// The answer a frame gets: a block for a request, the clock's 9 bytes, the X10 wait's 5, nothing for the
// flash load, and an acknowledgement for everything else.
int AnswerSize(std::span<const Byte> frame) {
  if (frame[0] == RequestStart) return BlockReplySize;
  if (frame[0] != CommandStart) return AckReplySize;
  switch (frame[1]) {
    case CmdReadClock:
      return ClockReplySize;
    case CmdWaitX10:
      return X10ActivityReplySize;
    case CmdFlashLoad:
      return 0;
    default:
      return AckReplySize;
  }
}

// RAII for the re-entry guard of Tick.
class Reentry {
 public:
  explicit Reentry(bool& flag) : flag_(flag) { flag_ = true; }
  ~Reentry() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace

CommsEngine::CommsEngine(const CommsParts& parts)
    : Port(parts.Port),
      View(parts.View),
      Settings(parts.Settings),
      Project(parts.Project),
      Dial(&parts.Dial),
      Clock(parts.Clock),
      handlers_(MaxState + 1, nullptr) {
  for (std::span<const StateEntry> table : AllStateTables())
    for (const StateEntry& entry : table)
      for (int state = entry.First; state <= entry.Last; ++state) {
        if (handlers_.at(static_cast<std::size_t>(state)))
          throw std::logic_error("two handlers for state " + std::to_string(state));
        handlers_[static_cast<std::size_t>(state)] = entry.Handler;
      }
  ModuleTypes.fill(NoModule);
  FormCreate();
}

CommsEngine::~CommsEngine() { CloseImageFile(); }

void CommsEngine::FormCreate() {
  FlashArg = 0;
  ReconnectRequest = 0;
  for (auto& slot : CommandQueue) slot.fill(0);
}

void CommsEngine::Tick() {
  if (ticking_) return;
  Reentry guard(ticking_);
  if (++StatusTick > 10) UpdateStatusPanel();
  View.SetLights(Port.OutBuffUsed() != 0, Port.InBuffUsed() != 0);
  const RunningWork* work = StateWork();
  try {
    // The line is closed or closing: nothing owed comes on it, and nothing held goes.
    if (CommState == 0 || Disconnecting()) {
      exchange_.Clear();
      DropHeld();
    }
    WithdrawUnwanted();
    if (!SendHeld()) RunState();
    exchange_.Tick(Port.InBuffUsed());
  } catch (const serial::ELkException& e) {
    // A port that fails mid-conversation (an unplugged adapter) ends the connection once, instead of
    // failing again on every tick.
    AddLogLine(e.what());
    if (CommState >= 1000 && CommState < 1006)
      ++CommState;
    else if (CommState != 0)
      LoseConnection();
  }
  // Ended in a command's or a mode's states: its answer, or its end, did not come.
  const bool unfinished = work && (work->Kind == WorkKind::Command || work->Kind == WorkKind::Mode);
  if (unfinished && Disconnecting() && !endedIn_) endedIn_ = work;
  // Its end has cleared the request kept for it: one asked from now on is the next connection's.
  if (keptWork_ && !Holds(*keptWork_)) keptWork_ = nullptr;
  View.SetText(CommsText::State, std::to_string(CommState));
}

// The state that would send the frame on the line again does not run: what that frame owes may still
// come, and the reconnection's first frame waits for it (or for a quiet line), so no late block is taken
// for the identification's.
void CommsEngine::StartReconnection() {
  exchange_.Abandon();
  DropHeld();
  CommState = 1;
}

bool CommsEngine::SendHeld() {
  if (!FrameHeld()) return false;
  if (CommState <= 1 || Disconnecting()) {
    DropHeld();
    return false;
  }
  SettleLine();
  if (!exchange_.Settled()) return true;
  // What the line still owed no longer comes.
  exchange_.Clear();
  if (stateHeld_) {
    // The mode's send state runs now, and decides with what is true now.
    stateHeld_ = false;
    return false;
  }
  const std::vector<Byte> frame = std::move(held_);
  held_.clear();
  Transmit(frame, false, heldState_);
  return true;
}

void CommsEngine::DropHeld() {
  if (!FrameHeld()) return;
  held_.clear();
  stateHeld_ = false;
  pendingLog_.clear();
}

bool CommsEngine::HeldFrameWanted() const {
  if (held_.empty()) return true;
  if (readTake_) return !WorkEnding() && readTake_->Asked(*this);
  if (const RunningWork* work = WorkOfState(heldState_, AddressingRestart != 0); work && !workSent_)
    return ReloadsOwn(heldState_) || (!WorkEnding() && StillAsked(*work));
  return heldState_ != PollRequestState || !WorkEnding();
}

void CommsEngine::WithdrawUnwanted() {
  if (HeldFrameWanted()) return;
  held_.clear();
  pendingLog_.clear();
  readTake_ = nullptr;
  CommState = IdleState;
}

bool CommsEngine::StillAsked(const RunningWork& work) const {
  if (work.Keep) return Holds(work);
  // A transfer, or the older X10 monitor: its take would change its request.
  Requests taken = *this;
  if (work.Take) work.Take(taken);
  return !(taken == static_cast<const Requests&>(*this));
}

bool CommsEngine::ReloadsOwn(int state) const {
  return ReloadClock && WorkOfState(state, false) == WorkOfState(SetClockState, false);
}

void CommsEngine::AddLogLine(const std::string& line) {
  if (inState_ && WorkOfState(CommState, AddressingRestart != 0) && !workSent_)
    pendingLog_.push_back(line);
  else
    View.AddLogLine(line);
}

void CommsEngine::FlushPendingLog() {
  std::vector<std::string> lines = std::move(pendingLog_);
  pendingLog_.clear();
  for (const std::string& line : lines) View.AddLogLine(line);
}

void CommsEngine::SettleLine() {
  TakeReports();
  const int size = exchange_.AnswerBytes();
  std::vector<Byte> answer(static_cast<std::size_t>(size));
  while (exchange_.Owes() && size > 0 && Port.InBuffUsed() >= size) {
    Port.GetBlock(answer.data(), static_cast<std::uint16_t>(size));
    exchange_.Taken(size);
    TakeReports();
  }
}

void CommsEngine::TakeTransferRequest() { TakeRequestOf(CommState); }

void CommsEngine::TakeRequestOf(int state) {
  // Its first frame took it already: what is asked now is the next.
  if (workSent_) return;
  const RunningWork* work = WorkOfState(state, AddressingRestart != 0);
  if (work && work->Take) work->Take(*this);
}

Reports CommsEngine::ReportsNow() const {
  const RunningWork* work = WorkOfState(CommState, AddressingRestart != 0);
  if (work && work->Reports != Reports::None) return work->Reports;
  // The answers the switch-off still owes may come with reports.
  return exchange_.Owes() ? exchange_.ReportsAmong() : Reports::None;
}

void CommsEngine::TakeReports() {
  const Reports reports = ReportsNow();
  for (Byte head[X10ReportSize] = {}; reports != Reports::None && Port.InBuffUsed() > 0;) {
    Port.PeekBlock(head, 1);
    if (reports == Reports::LearntCode) {
      if (head[0] != IrLearntReport) return;
      Port.GetBlock(head, 1);
      IrCodeLearnt();
      continue;
    }
    if ((head[0] != X10EventLead && head[0] != X10EventLeadAlt) || Port.InBuffUsed() < X10ReportSize) return;
    Port.GetBlock(head, X10ReportSize);
    ShowX10Event(head[1], head[2]);
  }
}

bool CommsEngine::SettlesOwnInput() const {
  return workSent_ && CommState >= FindModuleStart && CommState <= LastModuleWritten;
}

void CommsEngine::LoseConnection() {
  if (const RunningWork* work = StateWork(); work && work->Kind == WorkKind::Transfer) TellCut(work->Name);
  CommState = 1000;
}

void CommsEngine::RunState() {
  if (CommState < 0 || CommState > MaxState) return;
  // Between runs of work: the next starts with nothing of it gone.
  const RunningWork* work = WorkOfState(CommState, AddressingRestart != 0);
  if (!work) workSent_ = false;
  // What work that sent nothing logged goes to the log once it has ended, or left its states.
  if (!work || workSent_) FlushPendingLog();
  // A read starts at its first state, and is only asked until its first frame leaves the port.
  const ReadWork* read = ReadOfState(CommState);
  if (read != readTake_) readTake_ = nullptr;
  if (read && CommState == read->First) readTake_ = read;
  StateHandler handler = handlers_[static_cast<std::size_t>(CommState)];
  if (!handler) return;
  const int state = CommState;
  inState_ = true;
  handler(*this);
  inState_ = false;
  // Its send state runs again once the line has settled.
  if (stateHeld_) CommState = state;
  // Left its states without a frame (an error ends it): what it logged is told now.
  if (held_.empty() && !WorkOfState(CommState, AddressingRestart != 0)) FlushPendingLog();
}

void CommsEngine::CommsRetry(const std::string& tag) {
  exchange_.Retry(CommState - 1);
  if (View.CommsDetail())
    View.AddLogLine(
        platform::FormatText("Comms Retry %10s %3d RX%d", tag.c_str(), CommState, static_cast<int>(Port.InBuffUsed())));
  // A transfer left half way would leave the controller stopped or half written, and a mode's end the
  // controller in its mode: they keep their retries. A command the closed connection had on the line is
  // not sent again.
  const bool keeps = KeepsRetries();
  CommState -= 1;
  if (++RetryCount > MaxRetries)
    LoseConnection();
  else if (keeps)
    return;
  else if (CloseRequest)
    CommState = 1000;
  else if (AttachRequest)
    CommState = 1001;
}

void CommsEngine::UpdateStatusPanel() {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  StatusTick = 0;
  View.SetText(CommsText::Firmware, platform::FormatText("Firmware: V%d.%02d/%d", FirmwareVersion / 100,
                                                         FirmwareVersion % 100, FirmwareSubNumber));
  View.SetText(CommsText::Application,
               platform::FormatText("Application: V%d.%02d", AppVersion / 100, AppVersion % 100));
  const platform::LocalTime now = Clock.Now();
  View.SetText(CommsText::Date,
               platform::FormatText("%s %02d %04d", kMonths[(now.Month + 11) % 12], now.Day, now.Year));
  View.SetText(CommsText::Time, platform::FormatText("%d:%02d:%02d", now.Hour, now.Minute, now.Second));
  View.ShowWindow(CommsWindow::DstLabel, DstActive != 0);
  for (int k = 0; k < ModuleSlots; ++k) {
    const int type = ModuleTypes[static_cast<std::size_t>(k)];
    View.SetCell(CommsGrid::Modules, 2, k + 1,
                 type < NoModule ? platform::FormatText("%3d", ModuleVersions[static_cast<std::size_t>(k)]) : "");
    View.SetCell(CommsGrid::Modules, 1, k + 1,
                 type < 50 ? ModuleTypeNames()[static_cast<std::size_t>(type)] : std::string());
  }
}

void CommsEngine::Send(std::span<const Byte> frame) {
  const bool again = exchange_.Again(CommState);
  if (again || !exchange_.Owes() || SettlesOwnInput()) {
    Transmit(frame, again, CommState);
    return;
  }
  heldState_ = CommState;
  exchange_.Hold();
  const RunningWork* work = WorkOfState(CommState, AddressingRestart != 0);
  if (workSent_ && work && work->Kind == WorkKind::Mode)
    stateHeld_ = true;
  else
    held_.assign(frame.begin(), frame.end());
}

void CommsEngine::Transmit(std::span<const Byte> frame, bool again, int state) {
  // A report waiting would go with the discard.
  TakeReports();
  const int dropped = Port.InBuffUsed();
  Port.FlushOutBuffer();
  Port.FlushInBuffer();
  WaitCount = 0;
  exchange_.Sent(AnswerSize(frame), again, dropped, ReportsNow());
  View.SetLights(true, false);
  Port.PutBlock(frame.data(), static_cast<std::uint16_t>(frame.size()));
  // The work of the state that sent it has gone: a transfer, or a read, takes its request with its first
  // frame.
  TakeRequestOf(state);
  if (const ReadWork* read = std::exchange(readTake_, nullptr); read && !again) read->Take(*this);
  workSent_ = workSent_ || WorkOfState(state, AddressingRestart != 0);
  FlushPendingLog();
}

void CommsEngine::SendRequestFrame(Byte a1, Byte a2, Byte a3, Byte a4, Byte a5) {
  const auto frame = RequestFrame(a1, a2, a3, a4, a5);
  if (CommState == 550)
    AddLogLine(platform::FormatText("%2x, %2x, %2x, %2x, %2x, %2x, %2x, %2x", frame[0], frame[1], frame[2], frame[3],
                                    frame[4], frame[5], frame[6], frame[7]));
  Send(frame);
}

void CommsEngine::SendRequestFrame(std::uint16_t address) {
  SendRequestFrame(0, 0, static_cast<Byte>(address & 0xFF), static_cast<Byte>(address >> 8), 0);
}

void CommsEngine::SendCommandFrame(Byte code, Byte b1, Byte b2, Byte b3, Byte b4, Byte b5) {
  Send(CommandFrame(code, b1, b2, b3, b4, b5));
}

void CommsEngine::SendClockFrame() {
  CompleteClockFrame(FrameBuffer);
  Send(std::span(FrameBuffer).first(ClockFrameSize));
}

void CommsEngine::SendBlockFrame(const BlockHeader& header) {
  CompleteBlockFrame(FrameBuffer, header);
  Send(std::span(FrameBuffer).first(BlockFrameSize));
}

void CommsEngine::SendBlockData(const BlockHeader& header) {
  SetBlockData(BlockData);
  SendBlockFrame(header);
}

void CommsEngine::SetBlockData(std::span<const std::uint8_t> data) {
  std::copy_n(data.begin(), std::min<std::size_t>(data.size(), BlockDataSize), FrameBuffer.begin() + BlockDataOffset);
}

bool CommsEngine::WaitTick(const char* text) {
  timedOut_ = WaitCount++ > TimeoutTicks;
  if (timedOut_) CommsRetry("timeout");
  if (text) SetStep(text);
  // The ninth retry lost the connection: the answer no longer moves the state on. One while the user
  // closes takes an answer whole on this tick, and the close then ends the connection as the user's.
  return !timedOut_ || RetryCount <= MaxRetries;
}

bool CommsEngine::AwaitReply(int size, const char* text, int take) {
  if (!WaitTick(text)) return false;
  TakeReports();
  const std::int32_t waiting = Port.InBuffUsed();
  if (waiting < size) return false;
  // A report that came with the answer is split from it.
  if (ReportsNow() != Reports::None) take = size;
  const int taken = std::min({waiting, BlockReplySize, take});
  Port.GetBlock(FrameBuffer.data(), static_cast<std::uint16_t>(taken));
  exchange_.Taken(taken);
  TakeReports();
  return true;
}

// A bad reply on the tick that timed out counts that one retry only.
bool CommsEngine::BlockReplyChecked() {
  if (BlockReplyGood(std::span(FrameBuffer).first(BlockReplySize))) return true;
  if (!timedOut_) CommsRetry("crc");
  return false;
}

bool CommsEngine::AwaitAck(const std::string& tag, const char* text) {
  if (!AwaitReply(AckReplySize, text)) return false;
  if (Refused()) {
    if (!timedOut_) CommsRetry(tag);
    return false;
  }
  RetryCount = 0;
  return true;
}

CommsEngine::Answer CommsEngine::AwaitAnswer(const char* operation, const char* text, int next, int take) {
  if (!AwaitReply(AckReplySize, text, take)) return Answer::Pending;
  const bool refused = Refused();
  if (refused) AddLogLine(std::string(operation) + " refused by the controller");
  RetryCount = 0;
  CommState = next;
  return refused ? Answer::Refused : Answer::Yes;
}

bool CommsEngine::AwaitSent() {
  if (Port.OutputDrained()) return true;
  if (WaitCount++ > TimeoutTicks) CommsRetry("timeout");
  return false;
}

bool CommsEngine::ReadByte(Byte& b) {
  if (Port.InBuffUsed() < 1) return false;
  Port.GetBlock(&b, 1);
  return true;
}

bool CommsEngine::LineLost(CommsWindow window) {
  if (!Port.LineBreak()) return false;
  View.ShowWindow(window, false);
  CommState = 1000;
  return true;
}

void CommsEngine::ShowMeter(int percent) {
  View.SetMeterPercent(percent);
  View.ShowWindow(CommsWindow::Meter, true);
}

void CommsEngine::HideMeter() { View.ShowWindow(CommsWindow::Meter, false); }

void CommsEngine::ShowBlockInDump(std::span<const std::uint8_t> block, const char* format,
                                  std::optional<std::int32_t> address) {
  for (int i = 0; i < static_cast<int>(block.size()) && i < BlockDataSize; ++i)
    View.SetCell(CommsGrid::Dump, i % 16, i / 16, platform::FormatText(format, block[static_cast<std::size_t>(i)]));
  View.SetText(CommsText::DumpAddress, address ? std::to_string(*address) : std::string());
}

void CommsEngine::BeginRestartWait() {
  View.ShowWindow(CommsWindow::Restart, true);
  View.SetRestartPosition(0);
  RestartTicks = 0;
}

bool CommsEngine::RestartWaitDone() {
  // A controller that restarts at once may not answer the start block at all; only a refusal counts.
  if (RestartTicks < TimeoutTicks + 2 && Port.InBuffUsed() >= AckReplySize) {
    const int taken = std::min(Port.InBuffUsed(), BlockReplySize);
    Port.GetBlock(FrameBuffer.data(), static_cast<std::uint16_t>(taken));
    exchange_.Taken(taken);
    if (Refused()) {
      View.ShowWindow(CommsWindow::Restart, false);
      CommsRetry("retry STOP");
      return false;
    }
  }
  View.SetRestartPosition(RestartTicks / 3);
  if (++RestartTicks < 301) return false;
  View.ShowWindow(CommsWindow::Restart, false);
  // The controller has started again: an answer to the start block no longer comes.
  exchange_.Clear();
  return true;
}

bool CommsEngine::HasProgramEnd() const {
  const ProgramStore& store = Project.Program();
  for (int n = 1; n <= 4095; ++n)
    if (store.Lines[static_cast<std::size_t>(n)].Function() == FunctionEnd) return true;
  return false;
}

void CommsEngine::CloseImageFile() { UploadFile.reset(); }

// Only the wait for the call takes its report: one that comes after the call was given up starts nothing.
void CommsEngine::TapiConnect() {
  if (CommState != 3) return;
  CommState = 4;
  AddLogLine("Modem Connected");
}

void CommsEngine::ModemConnect() {
  if (CommState != 11) return;
  CommState = 4;
  AddLogLine("Modem Connected");
}

// During the disconnect the call's own end (cancelled by state 1001) reports as these events too: they
// must not start the disconnect over again.
void CommsEngine::TapiFail() {
  if (Disconnecting()) return;
  if (CommState != 0) CommState = 1000;
  CommsErrorKind = 2;
}

void CommsEngine::TapiPortClose() {
  if (CommState != 0 && !Disconnecting()) LoseConnection();
}

CommsEngine::Road CommsEngine::StoredRoad() const { return {Settings.ComNum, Settings.Method, Settings.NonTapi}; }

bool CommsEngine::Reconnects() const {
  // An attach waiting for the end has the engine in its disconnect states, or in the running work's end.
  const bool running = CommState != 0 && !Disconnecting() && !CloseRequest && !AttachRequest;
  const bool dialled = Connection.ComNum == 0 || Connection.NonTapi;
  return running && !dialled && Connection == StoredRoad();
}

void CommsEngine::Attach() {
  if (PortWork && PortWork->Running()) {
    PortWork->Cut();
    // Controller Access comes up over the set-up's window: its log tells the cut too.
    AddLogLine(std::string(PortWork->Work().Name) + " cut short");
  }
  // A new connection waits for this one's end already: this attach is that connection's, and what was
  // asked of it stays. One the user has closed since ends, and this attach starts another. The same for a
  // reconnection asked.
  if (AttachChangesNothing()) return;
  // Nothing runs, or state 1 has not run yet. A reconnection waiting for state 1 has its line open.
  const bool lineClosed = CommState == 0 || (CommState == 1 && !Port.Open());
  // With nothing on the line, a close asked meanwhile (Controller Access closed after "Lost Connection")
  // closes nothing: this attach connects.
  if (lineClosed) CloseRequest = 0;
  if (CommState == 0) ForgetController();
  // State 1 has not run yet: nothing is on the line, or a reconnection goes on. One the user has closed
  // ends first, as a running connection does.
  if (lineClosed || (CommState == 1 && !CloseRequest)) {
    CommState = 1;
    return;
  }
  // Ended already, or ending: its end goes on to the next connection.
  const RunningWork* work = StateWork();
  const bool cut = work && work->Kind == WorkKind::Transfer;
  if (cut) {
    TellCut(work->Name);
    // Its states do not run again: nothing keeps its file open, and an upload's goes.
    CloseImageFile();
  }
  // The rest ends through its own end before the attach takes effect.
  const bool endsFirst = work && !cut;
  if (Reconnects()) {
    // What is asked from now on is the reconnection's. The idle pass takes it once the work has ended.
    ClearForReconnection();
    if (endsFirst) {
      ReconnectRequest = 1;
      return;
    }
    TellReadsEnded();
    StartReconnection();
    return;
  }
  // Once the user has closed a connection, or another road is stored, or a number was dialled, the
  // controller at the end of the next line gets nothing asked of the last one.
  TellReadsEnded();
  DropRequests();
  HideConnectionWindows();
  ForgetController();
  AttachRequest = 1;
  if (!endsFirst && !Disconnecting()) CommState = 1001;
}

bool CommsEngine::RequestAllowed(const std::string& what, bool sameAsked) {
  // Once the user has closed, or the end is decided, nothing more goes to this connection; an attach since
  // has dropped the close, and what is asked now is the next connection's.
  const bool closing = CloseRequest || (Disconnecting() && !AttachRequest);
  if (CommState != 0 && !closing) {
    if (!sameAsked) return true;
    platform::Ui().ShowMessage(what + " not sent: the last one asked has not ended yet");
    return false;
  }
  platform::Ui().ShowMessage(
      std::string(CommState == 0 ? "Not attached to a controller: " : "The connection is closing: ") + what +
      " not sent");
  return false;
}

bool CommsEngine::RequestAllowed(RequestKind kind, bool sameAsked, std::uint32_t writes) {
  if (!RequestAllowed(RequestName(kind), sameAsked)) return false;
  const std::optional<std::string> refusal = OutOfOrder(*this, kind, writes);
  if (refusal) platform::Ui().ShowMessage(*refusal);
  return !refusal;
}

void CommsEngine::HideConnectionWindows() {
  const RunningWork* work = StateWork();
  const bool restarting = work && work->Kind == WorkKind::RestartWait;
  for (CommsWindow window : {CommsWindow::ControllerParams, CommsWindow::ModuleParams, CommsWindow::IrLearnPanel,
                             CommsWindow::IrLearnWindow, CommsWindow::AutoAddressPanel, CommsWindow::Restart,
                             CommsWindow::X10Grid, CommsWindow::X10Monitor, CommsWindow::TimerVars})
    if (window != CommsWindow::Restart || !restarting) View.ShowWindow(window, false);
}

void CommsEngine::Tell(const std::string& line) {
  AddLogLine(line);
  notSent_ += (notSent_.empty() ? "" : "\n") + line;
}

void CommsEngine::TellDropped(const std::string& what) { Tell(what + " not sent"); }
void CommsEngine::TellNotConfirmed(const std::string& what) { Tell(what + " not confirmed"); }

void CommsEngine::TellCut(const std::string& what) { AddLogLine(what + " cut short"); }
void CommsEngine::TellEnded(const std::string& what) { AddLogLine(what + " ended"); }

// These ran: they end with the connection, and start again only when asked again. One whose first frame
// has not gone goes on with the reconnection.
void CommsEngine::TellReadsEnded() {
  if (TimerVarMonitorRequest == TimerVarMonitorRan) TellEnded("Timers and Variables Monitor");
  if (CommState >= FirstModuleRead && CommState <= LastModuleRead && !ReadNotStarted())
    TellEnded("Module Parameter Read");
}

void CommsEngine::ClearForReconnection() {
  const Requests asked = *this;
  ChangeDataRequest = NoChangeData;
  RawCommandRequest = 0;
  IrTransmitNumber = IrLearnNumber = IrClearNumber = AutoAddressRequest = -1;
  X10SendRequest = -1;
  TimerVarMonitorRequest = 0;
  // The running work reads its own until its end, which clears it.
  if (const RunningWork* work = StateWork(); work && work->Keep)
    work->Keep(*this, asked, static_cast<std::size_t>(QueueIndex));
  const auto cleared = [&](bool was, bool is, const char* what) {
    if (was && !is) TellDropped(what);
    return was && !is;
  };
  if (cleared(asked.ChangeDataRequest != NoChangeData, ChangeDataRequest != NoChangeData, "Change Data"))
    ChangeDataValue = ChangeDataKind = NoChangeData;
  cleared(asked.RawCommandRequest, RawCommandRequest, "Raw Command");
  cleared(asked.IrTransmitNumber != -1, IrTransmitNumber != -1, "IR Transmit Command");
  // Their windows would wait for what no longer comes.
  if (cleared(asked.IrLearnNumber != -1, IrLearnNumber != -1, "IR Learn"))
    View.ShowWindow(CommsWindow::IrLearnPanel, false);
  cleared(asked.IrClearNumber != -1, IrClearNumber != -1, "IR Clear Command");
  if (cleared(asked.AutoAddressRequest != -1, AutoAddressRequest != -1, "Auto Address Command"))
    View.ShowWindow(CommsWindow::AutoAddressPanel, false);
  if (cleared(asked.X10SendRequest >= 0, X10SendRequest >= 0, "X10 Command")) X10Key = -1;
  if (asked.TimerVarMonitorRequest == TimerVarMonitorRan) TellEnded("Timers and Variables Monitor");
  if (asked.TimerVarMonitorRequest) View.ShowWindow(CommsWindow::TimerVars, false);
  // The frame of one told not sent never goes.
  WithdrawUnwanted();
}

void CommsEngine::Reconnect() {
  if (ReconnectionAsked()) return;
  ClearForReconnection();
  ReconnectRequest = 1;
}

bool CommsEngine::AttachChangesNothing() const {
  return (AttachRequest && !CloseRequest) || (Reconnects() && ReconnectionAsked());
}

bool CommsEngine::ReconnectionAsked() const {
  // Its first frame, the info request, has not gone: it waits for state 100, or for the line to settle.
  const bool starting =
      CommState == 1 || CommState == 4 || (CommState >= 94 && CommState <= 100) || (CommState == 101 && !held_.empty());
  return ReconnectRequest || (starting && Port.Open());
}

void CommsEngine::ClearModuleGrid() {
  for (int r = 1; r <= ModuleSlots; ++r) {
    View.SetCell(CommsGrid::Modules, 0, r, std::to_string(r));
    for (int c = 1; c < 20; ++c) View.SetCell(CommsGrid::Modules, c, r, "");
  }
}

void CommsEngine::ForgetController() {
  FirmwareVersion = AppVersion = FirmwareSubNumber = 0;
  ModuleTypes.fill(NoModule);
  ModuleVersions.fill(0);
  IoStates.fill(0);
  ClearModuleGrid();
  UpdateStatusPanel();
  HideMeter();
  SetStep("");
  for (int k = 1; k <= 128; ++k) View.SetCell(CommsGrid::ControllerParams, 1, k, "");
  // The values stay (the window keeps the last read), but none is shown or checked until read again.
  for (auto& read : ModuleParamRead) read.reset();
  for (int k = FirstParamModule; k <= LastParamModule; ++k)
    for (int p = 0; p < 64; ++p) View.SetCell(CommsGrid::ModuleParams, p + 1, k, "");
  View.SetText(CommsText::ModuleParamStatus, "");
  ReadBackParam = -1;
  for (int k = 0; k < 256; ++k) {
    if (k < 64) View.SetCell(CommsGrid::TimerVars, 1, k + 1, "");
    View.SetCell(CommsGrid::TimerVars, 2, k + 1, "");
  }
  for (int house = 1; house <= 16; ++house)
    for (int unit = 1; unit <= 16; ++unit) View.SetCell(CommsGrid::X10Status, house, unit, "");
  View.ClearList(CommsList::X10Activity);
  View.ClearList(CommsList::X10Events);
  for (int i = 0; i < BlockDataSize; ++i) View.SetCell(CommsGrid::Dump, i % 16, i / 16, "");
  View.SetText(CommsText::DumpAddress, "");
}

void CommsEngine::ShowEnded() {
  HideMeter();
  SetStep("");
  View.SetText(CommsText::Date, "");
  View.SetText(CommsText::Time, "");
}

void CommsEngine::DropRequests() {
  const Requests asked = *this;
  static_cast<Requests&>(*this) = Requests{};
  // The running work reads its own request until its end, which clears it.
  const RunningWork* work = StateWork();
  keptWork_ = work && work->Keep ? work : nullptr;
  if (keptWork_) keptWork_->Keep(*this, asked, static_cast<std::size_t>(QueueIndex));
  TellDrops(asked);
  WithdrawUnwanted();
}

void CommsEngine::DropKeptRequest() {
  const Requests asked = *this;
  if (keptWork_) keptWork_->Keep(*this, Requests{}, static_cast<std::size_t>(QueueIndex));
  keptWork_ = nullptr;
  TellDrops(asked);
}

void CommsEngine::TellDrops(const Requests& asked) {
  // What the end was decided in went on the line. A mode's end that did not come may have left the
  // controller in the mode: that is told even with Controller Access on the screen.
  const RunningWork* went = std::exchange(endedIn_, nullptr);
  if (went && went->Left) {
    Tell(std::string(went->Name) + " end not confirmed: " + went->Left);
    tellAlways_ = true;
  }
  const auto tell = [&](bool dropped, const std::string& what) {
    if (!dropped) return;
    if (!went || what != went->Name)
      TellDropped(what);
    else if (went->Kind == WorkKind::Command)
      TellNotConfirmed(what);
  };
  for (RequestKind kind : TransferKinds())
    tell(TransferAsked(asked, kind) && !TransferAsked(*this, kind), RequestName(kind));
  // The commands that would change the controller, named as their answers are.
  tell(asked.RawCommandRequest && !RawCommandRequest, "Raw Command");
  tell(asked.ChangeDataRequest != NoChangeData && ChangeDataRequest == NoChangeData, "Change Data");
  // Ended while it told the controller the last number it gave: the controller goes on from that number.
  // Ended in the addressing, before that: the controller may have given numbers it was not told of.
  const bool addressingDropped = asked.AutoAddressRequest != -1 && AutoAddressRequest == -1;
  if (addressingDropped && (LastNumberSent || went == WorkOfState(FindModuleStart, false))) {
    const std::string last = platform::FormatText("Last Module Number %d", asked.AutoAddressRequest - 1);
    LastNumberSent ? TellNotConfirmed(last) : TellDropped(last);
    tellAlways_ = true;
  } else {
    tell(addressingDropped, "Auto Address Command");
  }
  tell(asked.RelayRequest && !RelayRequest, "Relay Command");
  tell(asked.TransmitRequest && !TransmitRequest, "Transmit Command");
  tell(asked.RemoteIrRequest && !RemoteIrRequest, "Remote IR Command");
  tell(asked.IrLearnNumber != -1 && IrLearnNumber == -1, "IR Learn");
  tell(asked.IrClearNumber != -1 && IrClearNumber == -1, "IR Clear Command");
  tell(asked.IrTransmitNumber != -1 && IrTransmitNumber == -1, "IR Transmit Command");
  tell(asked.ParamChangeRequest == 1 && ParamChangeRequest != 1, "Module Parameter Change");
  tell(asked.X10SendRequest >= 0 && X10SendRequest < 0, "X10 Command");
  tell(asked.SetClockRequest && !SetClockRequest, "Clock Set");
  tell(asked.ExtX10Request && !ExtX10Request, "Extended X10 Command");
  bool queueDropped = false;
  for (std::size_t slot = 0; slot < CommandQueue.size(); ++slot)
    queueDropped = queueDropped || (asked.CommandQueue[slot][0] != 0 && CommandQueue[slot][0] == 0);
  tell(queueDropped, "Parameter Change");
  // The reads the user asked whose first frame has not gone: one that went was on the line.
  tell(asked.DumpRequest == 1 && !DumpRequest, RequestName(RequestKind::Dump));
  tell(asked.ModuleParamsRequest == 1 && !ModuleParamsRequest, RequestName(RequestKind::ModuleParams));
  tell(asked.X10MonitorRequest == 1 && !X10MonitorRequest, RequestName(RequestKind::X10Monitor));
  tell(asked.ParamsRequest == 1 && !ParamsRequest, RequestName(RequestKind::Params));
  tell(asked.ClockRequest == 1 && asked.UserClockRead == 1 && ClockRequest != 1, RequestName(RequestKind::Clock));
  if (AutoAddressRequest == -1) {
    SkippedModule = 0;
    LastNumberSent = 0;
    LastNumberAnswered = 0;
  }
}

void CommsEngine::TellNotSent() {
  if (!notSent_.empty() && (!View.Showing() || tellAlways_)) platform::Ui().ShowMessage(notSent_);
  notSent_.clear();
  tellAlways_ = false;
}

bool CommsEngine::Holds(const RunningWork& work) const {
  Requests held{};
  work.Keep(held, *this, static_cast<std::size_t>(QueueIndex));
  return !(held == Requests{});
}

bool CommsEngine::Disconnecting() const { return CommState >= 1000 && CommState <= 1006; }

const RunningWork* CommsEngine::StateWork() const {
  if (CommState <= 0 || Disconnecting()) return nullptr;
  const RunningWork* work = WorkOfState(CommState, AddressingRestart != 0);
  // Nothing of it has left the port (its first frame is held, or not sent yet): it is still only asked.
  return work && workSent_ ? work : nullptr;
}

const RunningWork* CommsEngine::Running() const {
  if (PortWork && PortWork->Running()) return &PortWork->Work();
  return StateWork();
}

std::string CommsEngine::EndQuestion(Ending how) const {
  // Asked again, an attach or a reconnection ends nothing: there is nothing to ask.
  const bool portWork = PortWork && PortWork->Running();
  if (!portWork &&
      ((how == Ending::Attach && AttachChangesNothing()) || (how == Ending::Reconnection && ReconnectionAsked())))
    return {};
  const RunningWork* work = Running();
  if (how != Ending::Exit || CommState < 100 || Disconnecting() || CommState == 299)
    return controller::EndQuestion(work, how);
  // Connected: a transfer asked for starts at one of the next idle passes.
  std::vector<std::string> waiting;
  for (RequestKind kind : TransferKinds())
    if (TransferAsked(*this, kind)) waiting.push_back(std::string("the ") + RequestName(kind));
  // Named after the running work too: the question says all the end drops.
  if (waiting.empty()) return controller::EndQuestion(work, how);
  std::string names = waiting.front();
  for (std::size_t i = 1; i < waiting.size(); ++i) names += (i + 1 < waiting.size() ? ", " : " and ") + waiting[i];
  names[0] = 'T';
  const bool one = waiting.size() == 1;
  return controller::EndQuestion(
      work, how,
      names + (one ? " has not started yet: closing now drops it, and it is not sent."
                   : " have not started yet: closing now drops them, and they are not sent."));
}

void CommsEngine::EndForExit() {
  if (CommState == 0) return;
  CloseRequest = 1;
  // The user agreed to the cut, and to drop a transfer that has not started, the one chosen too.
  const RunningWork* chosen = WorkOfState(CommState, AddressingRestart != 0);
  if (!chosen || chosen->Kind != WorkKind::Transfer) return;
  if (StateWork()) TellCut(chosen->Name);
  CommState = 1001;
}

bool CommsEngine::TransferRunning() const {
  const RunningWork* work = WorkOfState(CommState, AddressingRestart != 0);
  const bool transfer = work && (work->Kind == WorkKind::Transfer || work->Kind == WorkKind::RestartWait);
  return transfer || ReloadEnding();
}

// A reload ends with the identification after its restart, the parameter read that identification asks for
// (taken before the clock set, unless it waits behind a download) and the clock set, which clears ReloadClock.
bool CommsEngine::ReloadEnding() const {
  return ReloadClock && ((CommState >= 100 && CommState <= 113) || CommState == 150 || CommState == 151 ||
                         CommState == 530 || CommState == 531);
}

bool CommsEngine::KeepsRetries() const {
  const RunningWork* work = StateWork();
  return TransferRunning() || (work && work->Kind == WorkKind::Mode);
}

bool CommsEngine::IrFileTransferAsked(bool upload) const {
  const RunningWork* work = WorkOfState(CommState, false);
  const std::string name = upload ? "Infra-Red File Upload" : "Infra-Red File Download";
  return (upload ? IrUploadRequest : IrDownloadRequest) || (work && work->Name == name);
}

}  // namespace controller
