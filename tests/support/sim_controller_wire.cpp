// The simulator's end of the line: its thread, reading frames by their first byte, resynchronising on
// noise, dropping a partial frame after a silence, pacing, the line clock, and writing the bytes due.
#include "support/sim_controller.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "support/sim_controller_internal.h"

namespace testing_support {

using namespace sim;

namespace {

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

}  // namespace

void SimController::Wake() {
  if (wakeFd_ < 0) return;
  std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
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
    read_ += static_cast<std::size_t>(n);
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

bool SimController::Send(const SimBytes& bytes, bool asReply, milliseconds after) {
  if (hungUp_ || bytes.empty()) return false;
  const auto now = Now();
  auto at = std::max(now + after + (asReply ? replyDelay_ : milliseconds{}), lastDue_);
  // The frame answered took its time on the line before the controller could answer it.
  if (asReply && pacedIn_) at = std::max(at, rxStart_ + kByteTime * static_cast<int>(rxExpected_) + replyDelay_);
  SimBytes sent = bytes;
  const bool garbled = asReply && garbleReply_.Now();
  if (garbled) {
    const bool block = sent.size() == BlockReplySize;
    // A reply whose CRC CorruptNextBlockReplies spoilt was counted there.
    if (!block || BlockReplyGood(sent)) ++injected_.Garbled;
    sent[block ? BlockDataOffset + BlockDataSize / 2 : 0] ^= 0x10;
  }
  for (auto b : sent) {
    out_.push_back({at, b});
    if (paced_) at += kByteTime;
  }
  lastDue_ = at;
  return garbled;
}

void SimController::AnswerFrame(SimFrame& frame, const SimBytes& bytes) {
  if (nextAnswerLate_) {
    frame.Late = *std::exchange(nextAnswerLate_, std::nullopt);
  } else if (std::exchange(lateFollows_, false)) {
    frame.Late = nextLate_;
  } else if (lateAnswer_.Now()) {
    frame.Late = late_;
    lateFollows_ = true;
  }
  frame.Answer = bytes;
  frame.Garbled = Send(bytes, true, std::max(frame.Late - replyDelay_, milliseconds{}));
}

void SimController::Push(const SimBytes& bytes, milliseconds after) {
  {
    std::lock_guard lock(mutex_);
    Send(bytes, false, after);
  }
  Wake();
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

}  // namespace testing_support
