// The faults a test asks the simulator for: refusals, garbled replies, frames dropped, silence and a hang-up.
#include "support/sim_controller.h"

namespace testing_support {

using namespace controller;

bool SimController::LostOnTheLine(const SimFrame& frame) {
  // The line goes as the next frame comes, once the answers before it have been taken.
  if (hangUpIn_ && --*hangUpIn_ < 0) {
    hangUpIn_.reset();
    hangUpAsked_ = true;
    return true;
  }
  if (silenceIn_ && --*silenceIn_ < 0) {
    ++injected_.Silenced;
    return true;
  }
  const bool flashLoad = frame.Bytes[0] == CommandStart && frame.Bytes[1] == CmdFlashLoad;
  if (flashLoad || !dropFrame_.Now()) return false;
  ++injected_.Dropped;
  return true;
}

bool SimController::RefusedOnPurpose(const SimFrame& frame) {
  const bool command = frame.Kind == SimFrameKind::Command;
  const int code = command                             ? frame.Code
                   : frame.Kind == SimFrameKind::Clock ? SimClockFrame
                   : IsStartBlock(frame)               ? SimStartBlock
                                                       : -1;
  bool refused = false;
  for (Refusal& r : refusals_)
    if (r.Code == code) refused |= ++r.Seen == r.Nth || r.Nth == 0;
  // Requests, the clock read, the X10 wait and the flash loads get no acknowledgement to refuse.
  const bool acknowledged =
      frame.Kind != SimFrameKind::Request &&
      !(command && (frame.Code == CmdFlashLoad || frame.Code == CmdReadClock || frame.Code == CmdWaitX10));
  if (acknowledged && refuseAck_.Now()) refused = true;
  // NakNext takes the next frame not refused already, but for a flash load.
  if (!refused && nakNext_ > 0 && !(command && frame.Code == CmdFlashLoad)) {
    --nakNext_;
    refused = true;
  }
  if (refused) ++injected_.Refusals;
  return refused;
}

SimBytes SimController::RefusalAnswer() const { return {refusalByte_, 0, 0}; }

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
void SimController::AnswerLateEveryNth(int n, std::chrono::milliseconds late, std::chrono::milliseconds nextLate) {
  SetPeriodic(lateAnswer_, n);
  std::lock_guard lock(mutex_);
  late_ = late;
  nextLate_ = nextLate;
  lateFollows_ = false;
}
void SimController::AnswerNextLate(std::chrono::milliseconds late) {
  std::lock_guard lock(mutex_);
  nextAnswerLate_ = late;
}
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

void SimController::SetRefusalByte(std::uint8_t first) {
  std::lock_guard lock(mutex_);
  refusalByte_ = first;
}
SimInjected SimController::Injected() const {
  std::lock_guard lock(mutex_);
  return injected_;
}

bool SimController::HungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

bool SimController::HangingUp() const {
  std::lock_guard lock(mutex_);
  return hangUpAsked_ && !hungUp_;
}

}  // namespace testing_support
