// Construction of the simulated controller and what a test observes of its conversation: the frames taken,
// the bytes answered, sent and due, and the waits on them.
#include "support/sim_controller.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "support/sim_controller_internal.h"

namespace testing_support {

using namespace sim;

namespace {

constexpr std::uint16_t kDefaultTimerTable = 0xA000;
constexpr std::uint16_t kDefaultVariableTable = 0xA100;  // two blocks: 256 variables

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

}  // namespace

bool IsControlBlock(const SimFrame& frame) {
  const auto& a = frame.Args;
  return frame.Kind == SimFrameKind::Block && a[0] == StartHeader.A1 && a[2] == StartHeader.A3 &&
         a[3] == StartHeader.A4 && a[4] == StartHeader.A5;
}

bool IsStartBlock(const SimFrame& frame) { return IsControlBlock(frame) && frame.Args[1] == StartHeader.A2; }

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
      if (IsControlBlock(*this))
        s = IsStartBlock(*this) ? "block start" : Args[1] == 1 ? "block stop" : "block stop (touch screen)";
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
  if (Late.count()) s += Format("  (answered %d ms late)", static_cast<int>(Late.count()));
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

void SimController::Changed() {
  ++generation_;
  changed_.notify_all();
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

std::size_t SimController::BytesRead() const {
  std::lock_guard lock(mutex_);
  return read_;
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
