#include "support/sim_controller.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace testing_support {

using namespace controller;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr std::uint16_t kDefaultTimerTable = 0xA000;
constexpr std::uint16_t kDefaultVariableTable = 0xA100;  // two blocks: 256 variables
constexpr std::uint16_t kIrMemory = 0xC000;              // image blocks from here on are the raw IR memory
constexpr int kTimers = 64;
constexpr std::uint8_t kNoModule = 200;
constexpr int kTouchSlots = 512, kTouchSlotSize = 64;
const SimBytes kAck{Ack, 0, 0};
const SimBytes kNak{0x15, 0, 0};
// 10 bit times a byte at 9600 baud.
constexpr auto kByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 9600);

std::size_t FrameSize(std::uint8_t first) {
  switch (first) {
    case RequestStart:
      return RequestFrameSize;
    case CommandStart:
      return CommandFrameSize;
    case ClockStart:
      return ClockFrameSize;
    case BlockStart:
      return BlockFrameSize;
    default:
      return 0;
  }
}

std::string Hex(const SimBytes& bytes, std::size_t limit = 12) {
  std::string s;
  char b[4];
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(b, sizeof b, "%s%02X", i ? " " : "", bytes[i]);
    s += b;
  }
  if (bytes.size() > limit) s += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return s;
}

std::string Format(const char* format, auto... args) {
  char buffer[200];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

const char* CommandName(std::uint8_t code) {
  switch (code) {
    case CmdGatherModuleParam:
      return "gather module parameter";
    case CmdWriteModuleParam:
      return "write module parameter";
    case CmdFindModule:
      return "auto-address";
    case CmdSetControllerParam:
      return "set parameter";
    case CmdChangeTimerVar:
      return "change timer/variable";
    case CmdRelay:
      return "relay";
    case CmdStopInterpreter:
      return "stop interpreter";
    case CmdStartProgram:
      return "start program";
    case CmdSendX10:
      return "send X10";
    case CmdReadClock:
      return "read clock";
    case CmdTransmitIr:
      return "transmit IR";
    case CmdLearnIr:
      return "learn IR";
    case CmdRemoteIr:
      return "remote IR";
    case CmdStoreIr:
      return "store IR";
    case CmdLoadIr:
      return "load IR";
    case CmdWaitX10:
      return "wait X10";
    case CmdExtendedX10:
      return "extended X10";
    case CmdClearIr:
      return "clear IR";
    case CmdVoiceTransmit:
      return "voice/transmit";
    case CmdStoreAscii:
      return "store ASCII";
    case CmdStoreTouch:
      return "store touch objects";
    case CmdFlashLoad:
      return "flash load";
    case CmdForwardAscii:
      return "forward ASCII";
    default:
      return "unknown";
  }
}

// The table index of module 1..128; tests that name another module are wrong.
std::size_t Slot(int module) {
  if (module < 1 || module > 128) throw std::out_of_range("module " + std::to_string(module));
  return static_cast<std::size_t>(module - 1);
}

bool ValidFlashBlock(int bank, int block) {
  if (bank >= 0x50 && bank <= 0x57) return block < 12;
  if (bank >= 0x5A && bank <= 0x65) return block < 16;
  return bank == 0x70 && block < 6;
}

// Whether the 256 bytes read at `address` cover `target`.
bool Covers(std::uint16_t address, std::uint16_t target) {
  return static_cast<std::uint16_t>(target - address) < BlockDataSize;
}

}  // namespace

SimBytes SimFrame::Data() const {
  if (Kind != SimFrameKind::Block || Bytes.size() < static_cast<std::size_t>(BlockFrameSize)) return {};
  return SimBytes(Bytes.begin() + BlockDataOffset, Bytes.begin() + BlockDataOffset + BlockDataSize);
}

std::string SimFrame::Describe() const {
  std::string s;
  switch (Kind) {
    case SimFrameKind::Request:
      s = Format("request %04X", Address);
      break;
    case SimFrameKind::Command:
      s = Format("command %02X %s  %02X %02X %02X %02X %02X", Code, CommandName(Code), Args[0], Args[1], Args[2],
                 Args[3], Args[4]);
      break;
    case SimFrameKind::Clock:
      s = Format("clock %d%d/%d%d/%d%d %d%d:%d%d:%d%d day %d", Bytes[13], Bytes[12], Bytes[11], Bytes[10], Bytes[9],
                 Bytes[8], Bytes[7], Bytes[6], Bytes[5], Bytes[4], Bytes[3], Bytes[2], Bytes[14]);
      break;
    case SimFrameKind::Block:
      if (Args[3] == 0x90 && Args[2] == 0 && Args[4] == 2)
        s = Args[1] == 2 ? "block start" : Args[1] == 1 ? "block stop" : "block stop (touch screen)";
      else if (Args[1] == 1)
        s = Format("block image %04X", Address);
      else if (Address == AddrStaging)
        s = Format("block staging %s", Hex(Data(), 8).c_str());
      else
        s = Format("block direct %04X", Address);
      break;
  }
  if (!CheckGood) s += Kind == SimFrameKind::Command || Kind == SimFrameKind::Clock ? "  BAD SUM" : "  BAD CRC";
  if (Ignored) s += "  (ignored)";
  if (Refused) s += "  (refused)";
  if (!Answer.empty()) s += "  -> " + (Answer.size() == BlockReplySize ? std::string("block reply") : Hex(Answer));
  return s;
}

SimController::SimController() : SimController(nullptr) {}

SimController::SimController(std::unique_ptr<PtyPair> pty) : pty_(pty ? std::move(pty) : std::make_unique<PtyPair>()) {
  Start();
}

SimController::~SimController() {
  thread_.request_stop();
  Wake();
  if (thread_.joinable()) thread_.join();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void SimController::Start() {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  std::random_device random;
  do flashKey_ = static_cast<std::uint16_t>(random());
  while (flashKey_ == 0);
  std::fill_n(memory_.begin() + AddrModuleTypes, 128, kNoModule);
  PutWord(AddrFirmwareVersion, 820);
  PutWord(AddrInfoBlock + InfoAppVersionAt, 320);
  memory_[AddrInfoBlock + InfoSubNumberAt] = 1;
  PutWord(AddrInfoBlock + InfoTimerTableAt, kDefaultTimerTable);
  PutWord(AddrInfoBlock + InfoVariableTableAt, kDefaultVariableTable);
  memory_[AddrManagerReady] = 255;
  if (pty_->Valid()) thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

bool SimController::Valid() const { return !pty_->SlavePath().empty(); }
const std::string& SimController::SlavePath() const { return pty_->SlavePath(); }

void SimController::Wake() {
  if (wakeFd_ < 0) return;
  std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
}

void SimController::Changed() {
  ++generation_;
  changed_.notify_all();
}

// --- the thread ---

void SimController::Run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    std::vector<std::string> trace;
    int master = -1;
    int timeout = 50;
    bool wantWrite = false;
    {
      std::lock_guard lock(mutex_);
      if (hangUpAsked_ && !hungUp_) {
        pty_->CloseMaster();
        hungUp_ = true;
        rx_.clear();
        out_.clear();
        x10WaitUntil_.reset();
        learnUntil_.reset();
        trace.push_back("hung up");
        Changed();
      }
      if (!hungUp_) master = pty_->Master();
      const auto now = Now();
      timeout = PollTimeoutMs(now);
      wantWrite = WantsToWrite(now);
    }
    Emit(trace);

    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {master, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
    ::poll(fds, master >= 0 ? 2 : 1, timeout);
    std::uint64_t count;
    while (::read(wakeFd_, &count, sizeof count) > 0) {
    }

    bool noPeer = false;
    {
      std::lock_guard lock(mutex_);
      const auto now = Now();
      if (!hungUp_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) noPeer = !ReadInput(now, trace);
      if (!rx_.empty() && now - lastInput_ >= silence_) {
        trace.push_back(Format("dropped a partial frame of %d bytes after a silence", static_cast<int>(rx_.size())));
        rx_.clear();
        ++droppedPartials_;
      }
      RunTimers(now, trace);
      if (!hungUp_) WriteDue(now);
      Changed();
    }
    Emit(trace);
    // No one holds the slave open: the master reports a hang-up until someone opens it again.
    if (noPeer) {
      pollfd wake{wakeFd_, POLLIN, 0};
      ::poll(&wake, 1, 10);
    }
  }
}

void SimController::Emit(std::vector<std::string>& lines) {
  std::function<void(const std::string&)> trace;
  {
    std::lock_guard lock(mutex_);
    trace = trace_;
  }
  if (trace)
    for (const auto& line : lines) trace(line);
  lines.clear();
}

SimController::TimePoint SimController::Now() const { return lineClock_ ? *lineClock_ : SteadyClock::now(); }

int SimController::PollTimeoutMs(TimePoint now) const {
  // A driven clock moves only by AdvanceLineClock, which wakes the thread.
  if (lineClock_) return 50;
  TimePoint until = now + milliseconds(50);
  if (!rx_.empty()) until = std::min(until, lastInput_ + silence_);
  if (!out_.empty()) until = std::min(until, out_.front().Due);
  if (x10WaitUntil_) until = std::min(until, *x10WaitUntil_);
  if (learnUntil_) until = std::min(until, *learnUntil_);
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - now).count();
  return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

bool SimController::WantsToWrite(TimePoint now) const { return !out_.empty() && out_.front().Due <= now; }

bool SimController::ReadInput(TimePoint now, std::vector<std::string>& trace) {
  std::uint8_t buffer[4096];
  const std::size_t noiseBefore = noise_;
  bool peer = true;
  for (;;) {
    const ssize_t n = ::read(pty_->Master(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      peer = !(n < 0 && errno == EIO);  // EIO: no one holds the slave open
      break;
    }
    lastInput_ = now;
    for (ssize_t i = 0; i < n; ++i) TakeByte(buffer[i], now, trace);
  }
  if (noise_ != noiseBefore) trace.push_back(Format("noise: %d bytes dropped", static_cast<int>(noise_ - noiseBefore)));
  return peer;
}

void SimController::TakeByte(std::uint8_t b, TimePoint now, std::vector<std::string>& trace) {
  if (rx_.empty()) {
    rxExpected_ = FrameSize(b);
    if (rxExpected_ == 0) {
      ++noise_;
      return;
    }
    rxStart_ = now;
  }
  rx_.push_back(b);
  if (rx_.size() < rxExpected_) return;
  SimFrame frame;
  frame.Bytes = std::move(rx_);
  frame.When = now;
  rx_.clear();
  if (LostOnTheLine(frame)) {
    frame.Ignored = true;
    trace.push_back("lost on the line: " + Hex(frame.Bytes, 8));
  } else {
    Handle(frame, trace);
  }
  answered_ += frame.Answer.size();
  frames_.push_back(std::move(frame));
}

bool SimController::LostOnTheLine(const SimFrame& frame) {
  // The line goes as the next frame comes, once the answers before it have been taken.
  if (hangUpIn_ && --*hangUpIn_ < 0) {
    hangUpIn_.reset();
    hangUpAsked_ = true;
    return true;
  }
  if (silenceIn_ && --*silenceIn_ < 0) return true;
  const bool flashLoad = frame.Bytes[0] == CommandStart && frame.Bytes[1] == CmdFlashLoad;
  return !flashLoad && dropFrame_.Now();
}

bool SimController::RefusedOnPurpose(const SimFrame& frame) {
  const bool command = frame.Kind == SimFrameKind::Command;
  const bool startBlock = frame.Kind == SimFrameKind::Block && frame.Args[1] == 2 && frame.Args[2] == 0 &&
                          frame.Args[3] == 0x90 && frame.Args[4] == 2;
  const int code = command                             ? frame.Code
                   : frame.Kind == SimFrameKind::Clock ? SimClockFrame
                   : startBlock                        ? SimStartBlock
                                                       : -1;
  bool refused = false;
  for (Refusal& r : refusals_)
    if (r.Code == code) refused |= ++r.Seen == r.Nth || r.Nth == 0;
  // Requests, the clock read, the X10 wait and the flash loads get no acknowledgement to refuse.
  const bool acknowledged =
      frame.Kind != SimFrameKind::Request &&
      !(command && (frame.Code == CmdFlashLoad || frame.Code == CmdReadClock || frame.Code == CmdWaitX10));
  if (acknowledged && refuseAck_.Now()) refused = true;
  return refused;
}

void SimController::RunTimers(TimePoint now, std::vector<std::string>& trace) {
  if (x10WaitUntil_ && now >= *x10WaitUntil_) {
    x10WaitUntil_.reset();
    Send(X10Answer(255, 0), false);
    trace.push_back("X10 wait: nothing happened -> house 255");
  }
  if (learnUntil_ && now >= *learnUntil_) {
    learnUntil_.reset();
    if (learning_) {
      SimBytes code(BlockDataSize);
      for (int i = 0; i < BlockDataSize; ++i)
        code[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(*learning_ + i * 31 + learnFrequency_);
      ir_[*learning_] = code;
      trace.push_back(Format("IR code %d learnt", *learning_));
      learning_.reset();
      Send({0xFD}, false);
    }
  }
}

void SimController::WriteDue(TimePoint now) {
  std::size_t due = 0;
  while (due < out_.size() && out_[due].Due <= now) ++due;
  if (due == 0) return;
  SimBytes bytes(due);
  for (std::size_t i = 0; i < due; ++i) bytes[i] = out_[i].Byte;
  const ssize_t n = ::write(pty_->Master(), bytes.data(), bytes.size());
  if (n > 0) {
    out_.erase(out_.begin(), out_.begin() + n);
    sent_ += static_cast<std::size_t>(n);
  } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(due));  // the line is gone
  }
}

void SimController::Send(const SimBytes& bytes, bool asReply) {
  if (hungUp_ || bytes.empty()) return;
  const auto now = Now();
  auto at = std::max(now + (asReply ? replyDelay_ : milliseconds(0)), lastDue_);
  // The frame answered took its time on the line before the controller could answer it.
  if (asReply && pacedIn_) at = std::max(at, rxStart_ + kByteTime * static_cast<int>(rxExpected_) + replyDelay_);
  SimBytes sent = bytes;
  if (asReply && garbleReply_.Now())
    sent[sent.size() == BlockReplySize ? BlockDataOffset + BlockDataSize / 2 : 0] ^= 0x10;
  for (auto b : sent) {
    out_.push_back({at, b});
    if (paced_) at += kByteTime;
  }
  lastDue_ = at;
}

// --- frames ---

void SimController::Handle(SimFrame& frame, std::vector<std::string>& trace) {
  if (garbleNext_ > 0) {
    --garbleNext_;
    frame.Bytes[frame.Bytes.size() / 2] ^= 0x10;
  }
  const SimBytes& f = frame.Bytes;
  switch (f[0]) {
    case RequestStart:
      frame.Kind = SimFrameKind::Request;
      frame.CheckGood = Crc16(f, 5) == (f[6] << 8 | f[7]);
      break;
    case CommandStart:
      frame.Kind = SimFrameKind::Command;
      frame.CheckGood = AdditiveSum(f, 6) == f[7];
      break;
    case ClockStart:
      frame.Kind = SimFrameKind::Clock;
      frame.CheckGood = AdditiveSum(f, ClockFrameSize - 2) == f[ClockFrameSize - 1];
      break;
    default:
      frame.Kind = SimFrameKind::Block;
      frame.CheckGood = Crc16(f, BlockFrameSize - 3) == (f[BlockFrameSize - 2] << 8 | f[BlockFrameSize - 1]);
      break;
  }
  if (frame.Kind == SimFrameKind::Command) {
    frame.Code = f[1];
    std::copy(f.begin() + 2, f.begin() + 7, frame.Args.begin());
  } else if (frame.Kind != SimFrameKind::Clock) {
    std::copy(f.begin() + 1, f.begin() + 6, frame.Args.begin());
    frame.Address = static_cast<std::uint16_t>(f[3] | f[4] << 8);
  }

  if (!frame.CheckGood) {
    frame.Refused = true;
    if (frame.Kind != SimFrameKind::Request) {
      frame.Answer = kNak;
      Send(kNak, true);
    }
  } else if (ignoreNext_ > 0) {
    --ignoreNext_;
    frame.Ignored = true;
  } else if (RefusedOnPurpose(frame)) {
    frame.Refused = true;
    frame.Answer = kNak;
    Send(kNak, true);
  } else if (nakNext_ > 0 && !(frame.Kind == SimFrameKind::Command && frame.Code == CmdFlashLoad)) {
    --nakNext_;
    frame.Refused = true;
    frame.Answer = kNak;
    Send(kNak, true);
  } else {
    // A controller waiting for X10 activity stops waiting when the PC says something else.
    x10WaitUntil_.reset();
    std::optional<SimBytes> answer;
    switch (frame.Kind) {
      case SimFrameKind::Request:
        answer = HandleRequest(frame);
        break;
      case SimFrameKind::Command:
        answer = HandleCommand(frame);
        break;
      case SimFrameKind::Clock:
        answer = HandleClock(frame);
        break;
      case SimFrameKind::Block:
        answer = HandleBlock(frame);
        break;
    }
    if (answer) {
      if (*answer == kNak) frame.Refused = true;
      frame.Answer = *answer;
      Send(*answer, true);
    }
  }
  trace.push_back(frame.Describe());
}

std::optional<SimBytes> SimController::HandleRequest(SimFrame& frame) {
  const auto& a = frame.Args;
  if (a[0] != 0 || a[1] != 0 || a[4] != 0)
    faults_.push_back(Format("request for %04X with address bytes %d, %d, %d", frame.Address, a[0], a[1], a[4]));
  SimBytes reply(frame.Bytes.begin(), frame.Bytes.begin() + BlockDataOffset);
  const SimBytes data = Load(frame.Address, BlockDataSize);
  reply.insert(reply.end(), data.begin(), data.end());
  const std::uint16_t crc = Crc16(reply, BlockReplySize - 3);
  reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  reply.push_back(static_cast<std::uint8_t>(crc >> 8));
  if (corruptNext_ > 0) {
    --corruptNext_;
    reply[BlockReplySize - 2] ^= 0xFF;
    reply[BlockReplySize - 1] ^= 0xFF;
  }
  if (Covers(frame.Address, AddrManagerReady) && managerPollsLeft_ > 0 && --managerPollsLeft_ == 0)
    memory_[AddrManagerReady] = 255;
  return reply;
}

SimBytes SimController::Refuse(const std::string& why) {
  faults_.push_back(why);
  return kNak;
}

std::optional<SimBytes> SimController::HandleCommand(SimFrame& frame) {
  const auto& a = frame.Args;
  const int n16 = a[0] | a[1] << 8;
  switch (frame.Code) {
    case CmdGatherModuleParam:
      if (a[0] > 63) return Refuse(Format("gather of module parameter %d", a[0]));
      GatherModuleParameter(a[0]);
      return kAck;
    case CmdWriteModuleParam:
      if (a[0] < 1 || a[0] > 127 || a[2] > 63) return Refuse(Format("module parameter %d of module %d", a[2], a[0]));
      moduleParams_[a[0]][a[2]] = static_cast<std::uint16_t>(a[1] | a[3] << 8);
      return kAck;
    case CmdFindModule:
      if (a[0] < 1 || a[0] > 127) return Refuse(Format("auto-addressing from module %d", a[0]));
      addressingNext_ = a[0];
      return kAck;
    case CmdSetControllerParam: {
      if (a[0] > 127) return Refuse(Format("controller parameter %d", a[0]));
      const std::uint16_t value = static_cast<std::uint16_t>(a[1] << 8 | a[2]);
      PutWord(static_cast<std::uint16_t>(AddrControllerParams + 2 * a[0]), value);
      if (a[0] == 3) addressingNext_ = -1;  // the last module number given: addressing is over
      if (a[0] == 17 && value == 0) {
        learning_.reset();
        learnUntil_.reset();
      }
      return kAck;
    }
    case CmdChangeTimerVar: {
      const std::uint16_t value = static_cast<std::uint16_t>(a[1] | a[2] << 8);
      if (a[3] == 1 && a[0] < kTimers) {
        PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoTimerTableAt) + 2 * a[0]), value);
      } else if (a[3] == 0) {
        PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoVariableTableAt) + 2 * a[0]), value);
      } else {
        return Refuse(Format("change of %s %d", a[3] == 1 ? "timer" : "kind", a[0]));
      }
      return kAck;
    }
    case CmdRelay:
      relays_[a[0] << 8 | a[1]] = a[2] != 0;
      if (a[0] >= 1 && a[0] <= 128 && a[1] < 16) {
        const auto at = static_cast<std::uint16_t>(AddrIoStates + 2 * (a[0] - 1));
        const auto bit = static_cast<std::uint16_t>(1u << a[1]);
        PutWord(at, static_cast<std::uint16_t>(a[2] ? Word(at) | bit : Word(at) & ~bit));
      }
      return kAck;
    case CmdStopInterpreter:
      interpreterRunning_ = false;
      return kAck;
    case CmdStartProgram:
      interpreterRunning_ = true;
      return kAck;
    case CmdSendX10:
      if (a[0] > 15 || a[1] > 31) return Refuse(Format("X10 house %d key %d", a[0], a[1]));
      ApplyX10(a[0], a[1]);
      return kAck;
    case CmdReadClock: {
      const SimBytes reply{Ack,
                           static_cast<std::uint8_t>(flashKey_ & 0xFF),
                           static_cast<std::uint8_t>(flashKey_ >> 8),
                           static_cast<std::uint8_t>(clock_.Year % 100),
                           static_cast<std::uint8_t>(clock_.Month),
                           static_cast<std::uint8_t>(clock_.Day),
                           static_cast<std::uint8_t>(clock_.Hour),
                           static_cast<std::uint8_t>(clock_.Minute),
                           static_cast<std::uint8_t>(clock_.DayOfWeek)};
      return reply;
    }
    case CmdTransmitIr:
    case CmdRemoteIr:
    case CmdVoiceTransmit:
      return kAck;
    case CmdLearnIr:
      if (Word(AddrControllerParams + 2 * 17) == 0)
        return Refuse(Format("IR learn of code %d before parameter 17 is set", n16));
      learning_ = n16;
      learnFrequency_ = a[2];
      if (learnDelay_) learnUntil_ = Now() + *learnDelay_;
      return kAck;
    case CmdStoreIr:
      ir_[n16] = Load(AddrStaging, BlockDataSize);
      return kAck;
    case CmdLoadIr: {
      auto it = ir_.find(n16);
      Store(AddrStaging, it != ir_.end() ? it->second : SimBytes(BlockDataSize, 0xFF));  // erased flash
      return kAck;
    }
    case CmdWaitX10:
      if (!x10Events_.empty()) {
        const auto event = x10Events_.front();
        x10Events_.pop_front();
        return X10Answer(event[0], event[1]);
      }
      x10WaitUntil_ = Now() + x10Quiet_;
      return std::nullopt;
    case CmdExtendedX10:
      if (a[0] > 15 || a[1] > 15) return Refuse(Format("extended X10 house %d key %d", a[0], a[1]));
      return kAck;
    case CmdClearIr:
      ir_.erase(n16);
      return kAck;
    case CmdStoreAscii:
      if (a[0] > 15) return Refuse(Format("ASCII block %d", a[0]));
      ascii_[a[0]] = Load(AddrStaging, BlockDataSize);
      return kAck;
    case CmdStoreTouch: {
      if (n16 + 4 > kTouchSlots) return Refuse(Format("touch objects from slot %d", n16));
      const SimBytes staging = Load(AddrStaging, BlockDataSize);
      std::copy(staging.begin(), staging.end(), touch_.begin() + n16 * kTouchSlotSize);
      return kAck;
    }
    case CmdFlashLoad:
      frame.Refused = !FlashLoad(frame);
      return std::nullopt;
    case CmdForwardAscii: {
      const SimBytes staging = Load(AddrStaging, 32);
      const auto end = std::find(staging.begin(), staging.end(), 0);
      forwarded_.push_back({a[0], a[1], std::string(staging.begin(), end)});
      return kAck;
    }
    default:
      return Refuse(Format("unknown command %02X", frame.Code));
  }
}

std::optional<SimBytes> SimController::HandleClock(SimFrame& frame) {
  const SimBytes& f = frame.Bytes;
  for (int i = 2; i <= 13; ++i)
    if (f[static_cast<std::size_t>(i)] > 9) return Refuse(Format("clock frame digit %d at byte %d", f[i], i));
  if (f[1] != '=') return Refuse("clock frame without '='");
  const auto two = [&](int at) { return f[static_cast<std::size_t>(at)] + 10 * f[static_cast<std::size_t>(at + 1)]; };
  const int month = two(10), day = two(8), hour = two(6), minute = two(4), weekday = f[14];
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || weekday > 6)
    return Refuse(Format("clock frame month %d day %d %02d:%02d weekday %d", month, day, hour, minute, weekday));
  clock_ = {2000 + two(12), two(10), two(8), two(6), two(4), two(2), f[14]};
  ++clockFrames_;
  return kAck;
}

std::optional<SimBytes> SimController::HandleBlock(SimFrame& frame) {
  const auto& a = frame.Args;
  const SimBytes data = frame.Data();
  if (a[0] != 0) return Refuse(Format("block header a1 = %d", a[0]));
  if (a[2] == 0x00 && a[3] == 0x90 && a[4] == 2) {
    if (a[1] == 2) {
      ++controlStarts_;
      interpreterRunning_ = true;
      return kAck;
    }
    if (a[1] > 2) return Refuse(Format("control block a2 = %d", a[1]));
    ++controlStops_;
    interpreterRunning_ = false;
    return kAck;
  }
  if (a[4] != 0) return Refuse(Format("block header a5 = %d", a[4]));
  if (a[1] == 1) {
    ++imageBlocks_;
    if (frame.Address >= kIrMemory) {
      Store(frame.Address, data);
    } else {
      for (int i = 0; i < BlockDataSize; ++i)
        executive_[static_cast<std::uint16_t>(frame.Address + i)] = data[static_cast<std::size_t>(i)];
    }
    return kAck;
  }
  if (a[1] != 0) return Refuse(Format("block header a2 = %d", a[1]));
  Store(frame.Address, data);  // the staging area, or straight to memory (the pager table)
  return kAck;
}

bool SimController::FlashLoad(const SimFrame& frame) {
  const int bank = frame.Args[0], block = frame.Args[1];
  const std::uint16_t argument = static_cast<std::uint16_t>(frame.Args[2] | frame.Args[3] << 8);
  const std::uint16_t expected = flashKey_ ? flashKey_ : 1;
  if (argument == 0) {
    faults_.push_back(Format("flash load of bank %02X block %d with argument 0", bank, block));
    return false;
  }
  if (argument != expected) {
    ++flashMismatches_;
    faults_.push_back(
        Format("flash load of bank %02X block %d with argument %04X, expected %04X", bank, block, argument, expected));
    return false;
  }
  if (!ValidFlashBlock(bank, block)) {
    faults_.push_back(Format("flash load of bank %02X block %d: no such block", bank, block));
    return false;
  }
  flash_[bank << 8 | block] = Load(AddrStaging, BlockDataSize);
  ++flashLoads_;
  return true;
}

void SimController::GatherModuleParameter(int p) {
  for (int module = 1; module <= 128; ++module) {
    const std::uint16_t value =
        module < 128 ? moduleParams_[static_cast<std::size_t>(module)][static_cast<std::size_t>(p)] : 0;
    PutWord(static_cast<std::uint16_t>(AddrModuleParams + 2 * (module - 1)), value);
  }
  managerPollsLeft_ = managerBusyPolls_;
  memory_[AddrManagerReady] = managerBusyPolls_ > 0 ? 0 : 255;
}

void SimController::ApplyX10(int house, int key) {
  const auto unit = [&](int u) -> std::uint8_t& { return memory_[AddrX10Status + house * 16 + u]; };
  if (key < 16) {
    x10Selected_[static_cast<std::size_t>(house)] = key;
    return;
  }
  switch (key) {
    case 16:  // all units off
    case 22:  // all lights off
      for (int u = 0; u < 16; ++u) unit(u) = 0;
      break;
    case 17:  // all lights on
      for (int u = 0; u < 16; ++u) unit(u) = 1;
      break;
    case 18:
      unit(x10Selected_[static_cast<std::size_t>(house)]) = 1;
      break;
    case 19:
      unit(x10Selected_[static_cast<std::size_t>(house)]) = 0;
      break;
    default:
      break;
  }
}

SimBytes SimController::X10Answer(int house, int key) const {
  return {Ack, 0, 0, static_cast<std::uint8_t>(house), static_cast<std::uint8_t>(key)};
}

// --- memory model ---

std::uint16_t SimController::Word(std::uint16_t address) const {
  return static_cast<std::uint16_t>(memory_[address] | memory_[static_cast<std::uint16_t>(address + 1)] << 8);
}

void SimController::PutWord(std::uint16_t address, std::uint16_t value) {
  memory_[address] = static_cast<std::uint8_t>(value & 0xFF);
  memory_[static_cast<std::uint16_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

SimBytes SimController::Load(std::uint16_t address, std::size_t count) const {
  SimBytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = memory_[static_cast<std::uint16_t>(address + i)];
  return bytes;
}

void SimController::Store(std::uint16_t address, const SimBytes& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) memory_[static_cast<std::uint16_t>(address + i)] = bytes[i];
}

SimBytes SimController::Read(std::uint16_t address, std::size_t count) const {
  std::lock_guard lock(mutex_);
  return Load(address, count);
}

void SimController::Write(std::uint16_t address, const SimBytes& bytes) {
  std::lock_guard lock(mutex_);
  Store(address, bytes);
}

void SimController::SetFirmwareVersion(int version) {
  std::lock_guard lock(mutex_);
  PutWord(AddrFirmwareVersion, static_cast<std::uint16_t>(version));
}
int SimController::FirmwareVersion() const {
  std::lock_guard lock(mutex_);
  return Word(AddrFirmwareVersion);
}
void SimController::SetAppVersion(int version) {
  std::lock_guard lock(mutex_);
  PutWord(AddrInfoBlock + InfoAppVersionAt, static_cast<std::uint16_t>(version));
}
void SimController::SetFirmwareSubNumber(int number) {
  std::lock_guard lock(mutex_);
  memory_[AddrInfoBlock + InfoSubNumberAt] = static_cast<std::uint8_t>(number);
}
void SimController::SetTableAddresses(std::uint16_t timers, std::uint16_t variables) {
  std::lock_guard lock(mutex_);
  PutWord(AddrInfoBlock + InfoTimerTableAt, timers);
  PutWord(AddrInfoBlock + InfoVariableTableAt, variables);
}
std::uint16_t SimController::TimerTableAddress() const {
  std::lock_guard lock(mutex_);
  return Word(AddrInfoBlock + InfoTimerTableAt);
}
std::uint16_t SimController::VariableTableAddress() const {
  std::lock_guard lock(mutex_);
  return Word(AddrInfoBlock + InfoVariableTableAt);
}
void SimController::SetModule(int module, std::uint8_t type, std::uint8_t version) {
  std::lock_guard lock(mutex_);
  memory_[AddrModuleTypes + Slot(module)] = type;
  memory_[AddrModuleVersions + Slot(module)] = version;
}
void SimController::RemoveModule(int module) { SetModule(module, kNoModule, 0); }
std::uint8_t SimController::ModuleType(int module) const {
  std::lock_guard lock(mutex_);
  return memory_[AddrModuleTypes + Slot(module)];
}
void SimController::SetIoWord(int module, std::uint16_t word) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(AddrIoStates + 2 * Slot(module)), word);
}
std::uint16_t SimController::IoWord(int module) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(AddrIoStates + 2 * Slot(module)));
}
void SimController::SetParameter(int p, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(AddrControllerParams + 2 * p), value);
}
std::uint16_t SimController::Parameter(int p) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(AddrControllerParams + 2 * p));
}
void SimController::SetTimer(int k, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoTimerTableAt) + 2 * k), value);
}
std::uint16_t SimController::Timer(int k) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoTimerTableAt) + 2 * k));
}
void SimController::SetVariable(int k, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoVariableTableAt) + 2 * k), value);
}
std::uint16_t SimController::Variable(int k) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoVariableTableAt) + 2 * k));
}
void SimController::SetModuleParameter(int module, int p, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  moduleParams_.at(static_cast<std::size_t>(module)).at(static_cast<std::size_t>(p)) = value;
}
std::uint16_t SimController::ModuleParameter(int module, int p) const {
  std::lock_guard lock(mutex_);
  return moduleParams_.at(static_cast<std::size_t>(module)).at(static_cast<std::size_t>(p));
}
void SimController::SetManagerBusyPolls(int polls) {
  std::lock_guard lock(mutex_);
  managerBusyPolls_ = std::max(0, polls);
}
void SimController::SetX10Unit(int house, int unit, bool on) {
  std::lock_guard lock(mutex_);
  memory_[static_cast<std::size_t>(AddrX10Status + house * 16 + unit)] = on ? 1 : 0;
}
bool SimController::X10Unit(int house, int unit) const {
  std::lock_guard lock(mutex_);
  return memory_[static_cast<std::size_t>(AddrX10Status + house * 16 + unit)] != 0;
}
void SimController::SetClock(const ClockFields& when) {
  std::lock_guard lock(mutex_);
  clock_ = when;
}
ClockFields SimController::Clock() const {
  std::lock_guard lock(mutex_);
  return clock_;
}
int SimController::ClockFramesTaken() const {
  std::lock_guard lock(mutex_);
  return clockFrames_;
}
std::uint16_t SimController::FlashKey() const {
  std::lock_guard lock(mutex_);
  return flashKey_;
}
void SimController::SetFlashKey(std::uint16_t key) {
  std::lock_guard lock(mutex_);
  flashKey_ = key;
}

// --- what was stored ---

SimBytes SimController::Staging() const { return Read(AddrStaging, BlockDataSize); }

std::optional<SimBytes> SimController::FlashBlock(int bank, int block) const {
  std::lock_guard lock(mutex_);
  auto it = flash_.find(bank << 8 | block);
  if (it == flash_.end()) return std::nullopt;
  return it->second;
}

namespace {
SimBytes Region(const std::map<int, SimBytes>& flash, int firstBank, int banks, int blocksPerBank) {
  SimBytes image(static_cast<std::size_t>(banks * blocksPerBank * BlockDataSize));
  for (int n = 0; n < banks * blocksPerBank; ++n) {
    auto it = flash.find((firstBank + n / blocksPerBank) << 8 | n % blocksPerBank);
    if (it != flash.end()) std::copy(it->second.begin(), it->second.end(), image.begin() + n * BlockDataSize);
  }
  return image;
}
}  // namespace

SimBytes SimController::ProgramImage() const {
  std::lock_guard lock(mutex_);
  return Region(flash_, 0x50, 8, 12);
}
SimBytes SimController::SunTableImage() const {
  std::lock_guard lock(mutex_);
  return Region(flash_, 0x70, 1, 6);
}
SimBytes SimController::IconImage() const {
  std::lock_guard lock(mutex_);
  return Region(flash_, 0x5A, 12, 16);
}
int SimController::FlashLoads() const {
  std::lock_guard lock(mutex_);
  return flashLoads_;
}
int SimController::FlashArgMismatches() const {
  std::lock_guard lock(mutex_);
  return flashMismatches_;
}
SimBytes SimController::TouchObjects() const {
  std::lock_guard lock(mutex_);
  return touch_;
}
std::optional<SimBytes> SimController::AsciiBlock(int n) const {
  std::lock_guard lock(mutex_);
  auto it = ascii_.find(n);
  if (it == ascii_.end()) return std::nullopt;
  return it->second;
}
std::optional<SimBytes> SimController::IrCode(int n) const {
  std::lock_guard lock(mutex_);
  auto it = ir_.find(n);
  if (it == ir_.end()) return std::nullopt;
  return it->second;
}
void SimController::SetIrCode(int n, const SimBytes& record) {
  std::lock_guard lock(mutex_);
  SimBytes r = record;
  r.resize(BlockDataSize);
  ir_[n] = r;
}
SimBytes SimController::ExecutiveImage() const {
  std::lock_guard lock(mutex_);
  return executive_;
}
int SimController::ImageBlocks() const {
  std::lock_guard lock(mutex_);
  return imageBlocks_;
}
std::vector<SimForwardedAscii> SimController::ForwardedAscii() const {
  std::lock_guard lock(mutex_);
  return forwarded_;
}
int SimController::ControlStops() const {
  std::lock_guard lock(mutex_);
  return controlStops_;
}
int SimController::ControlStarts() const {
  std::lock_guard lock(mutex_);
  return controlStarts_;
}
bool SimController::InterpreterRunning() const {
  std::lock_guard lock(mutex_);
  return interpreterRunning_;
}
bool SimController::Relay(int module, int point) const {
  std::lock_guard lock(mutex_);
  auto it = relays_.find(module << 8 | point);
  return it != relays_.end() && it->second;
}
std::vector<SimFrame> SimController::Commands(std::uint8_t code) const {
  std::lock_guard lock(mutex_);
  std::vector<SimFrame> done;
  for (const auto& f : frames_)
    if (f.Kind == SimFrameKind::Command && f.Code == code && f.CheckGood && !f.Ignored && !f.Refused) done.push_back(f);
  return done;
}
std::vector<std::string> SimController::Faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

// --- events ---

void SimController::InjectX10Event(int house, int key, std::uint8_t lead) {
  {
    std::lock_guard lock(mutex_);
    if (Word(AddrControllerParams + 2 * 15) == 1) {
      Send({lead, static_cast<std::uint8_t>(house), static_cast<std::uint8_t>(key)}, false);
    } else if (x10WaitUntil_) {
      x10WaitUntil_.reset();
      Send(X10Answer(house, key), true);
    } else {
      x10Events_.push_back({static_cast<std::uint8_t>(house), static_cast<std::uint8_t>(key)});
    }
    Changed();
  }
  Wake();
}

void SimController::SetX10QuietAnswer(std::chrono::milliseconds after) {
  std::lock_guard lock(mutex_);
  x10Quiet_ = after;
}

bool SimController::CompleteIrLearn() {
  {
    std::lock_guard lock(mutex_);
    if (!learning_) return false;
    learnUntil_ = Now();  // the thread stores the code and answers
  }
  Wake();
  return true;
}

void SimController::SetIrLearnDelay(std::optional<std::chrono::milliseconds> delay) {
  std::lock_guard lock(mutex_);
  learnDelay_ = delay;
}

int SimController::PressModuleButton(std::optional<std::uint8_t> type) {
  int number;
  {
    std::lock_guard lock(mutex_);
    if (addressingNext_ < 1 || addressingNext_ > 255) return -1;
    number = addressingNext_++;
    if (type && number <= 128) memory_[static_cast<std::size_t>(AddrModuleTypes + number - 1)] = *type;
    Send({static_cast<std::uint8_t>(number)}, false);
    Changed();
  }
  Wake();
  return number;
}

void SimController::Push(const SimBytes& bytes) {
  {
    std::lock_guard lock(mutex_);
    Send(bytes, false);
  }
  Wake();
}

// --- faults ---

void SimController::NakNext(int count) {
  std::lock_guard lock(mutex_);
  nakNext_ = count;
}
void SimController::CorruptNextBlockReplies(int count) {
  std::lock_guard lock(mutex_);
  corruptNext_ = count;
}
void SimController::IgnoreNext(int count) {
  std::lock_guard lock(mutex_);
  ignoreNext_ = count;
}
void SimController::GarbleNextReceived(int count) {
  std::lock_guard lock(mutex_);
  garbleNext_ = count;
}
void SimController::SetReplyDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  replyDelay_ = delay;
}
void SimController::SetPacing(bool at9600Baud) {
  std::lock_guard lock(mutex_);
  paced_ = at9600Baud;
}
void SimController::SetSilenceLimit(std::chrono::milliseconds limit) {
  std::lock_guard lock(mutex_);
  silence_ = limit;
}
void SimController::SetReceivePacing(bool at9600Baud) {
  std::lock_guard lock(mutex_);
  pacedIn_ = at9600Baud;
}
void SimController::DriveLineClock() {
  std::lock_guard lock(mutex_);
  if (!lineClock_) lineClock_ = SteadyClock::now();
}
bool SimController::LineClockDriven() const {
  std::lock_guard lock(mutex_);
  return lineClock_.has_value();
}
void SimController::AdvanceLineClock(std::chrono::milliseconds by) {
  std::vector<std::string> trace;
  {
    std::lock_guard lock(mutex_);
    if (!lineClock_) return;
    *lineClock_ += by;
    // What the timers send is due now: queued before BytesDue() can be asked.
    RunTimers(*lineClock_, trace);
    Changed();
  }
  Emit(trace);
  Wake();
}
void SimController::RefuseCommand(int code, int nth) {
  std::lock_guard lock(mutex_);
  refusals_.push_back({code, nth, 0});
}
void SimController::SetPeriodic(Periodic& fault, int n) {
  std::lock_guard lock(mutex_);
  fault = {n, 0};
}
void SimController::RefuseEveryNthAck(int n) { SetPeriodic(refuseAck_, n); }
void SimController::GarbleEveryNthReply(int n) { SetPeriodic(garbleReply_, n); }
void SimController::DropEveryNthFrame(int n) { SetPeriodic(dropFrame_, n); }
void SimController::SilenceAfter(int frames) {
  std::lock_guard lock(mutex_);
  silenceIn_ = frames;
}
void SimController::HangUpAfter(int frames) {
  std::lock_guard lock(mutex_);
  hangUpIn_ = frames;
}

void SimController::HangUp() {
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) {
      pty_->CloseMaster();
      hungUp_ = true;
      return;
    }
    hangUpAsked_ = true;
  }
  Wake();
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::seconds(2), [this] { return hungUp_; });
}

bool SimController::HungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

// --- observation ---

std::vector<SimFrame> SimController::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}
std::size_t SimController::ReceivedCount() const {
  std::lock_guard lock(mutex_);
  return frames_.size();
}
std::size_t SimController::BytesAnswered() const {
  std::lock_guard lock(mutex_);
  return answered_;
}
std::optional<SimFrame> SimController::LastFrame() const {
  std::lock_guard lock(mutex_);
  if (frames_.empty()) return std::nullopt;
  return frames_.back();
}
std::size_t SimController::NoiseBytes() const {
  std::lock_guard lock(mutex_);
  return noise_;
}
int SimController::DroppedPartials() const {
  std::lock_guard lock(mutex_);
  return droppedPartials_;
}
std::size_t SimController::BytesSent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

std::size_t SimController::BytesDue() const {
  std::lock_guard lock(mutex_);
  const auto now = Now();
  std::size_t due = sent_;
  for (auto b = out_.begin(); b != out_.end() && b->Due <= now; ++b) ++due;
  return due;
}

bool SimController::WaitUntilReceived(std::size_t count, std::chrono::milliseconds deadline) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, deadline, [&] { return frames_.size() >= count; });
}

bool SimController::WaitUntilSettled(std::chrono::milliseconds deadline, std::chrono::milliseconds quiet) {
  // Bytes written to the slave reach the master a little later: only a quiet spell counts.
  const auto end = SteadyClock::now() + deadline;
  std::optional<TimePoint> since;
  std::unique_lock lock(mutex_);
  for (;;) {
    int unread = 0;
    if (!hungUp_) ::ioctl(pty_->Master(), FIONREAD, &unread);
    const auto now = SteadyClock::now();
    if (!(rx_.empty() && (out_.empty() || hungUp_) && unread == 0)) {
      since.reset();
    } else if (!since) {
      since = now;
    } else if (now - *since >= quiet) {
      return true;
    }
    if (now >= end) return false;
    changed_.wait_for(lock, milliseconds(2));
  }
}

bool SimController::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
  const auto end = SteadyClock::now() + deadline;
  std::unique_lock lock(mutex_);
  for (;;) {
    const std::uint64_t seen = generation_;
    lock.unlock();
    const bool ok = done();
    lock.lock();
    if (ok) return true;
    if (SteadyClock::now() >= end) return false;
    // The condition may hang on things outside the simulator too: look again every few milliseconds.
    changed_.wait_until(lock, std::min(end, SteadyClock::now() + milliseconds(5)), [&] { return generation_ != seen; });
  }
}

void SimController::SetTrace(std::function<void(const std::string&)> trace) {
  std::lock_guard lock(mutex_);
  trace_ = std::move(trace);
}

}  // namespace testing_support
