#include "support/sim_exchange.h"

#include <string>
#include <thread>

#include "serial/dispatcher.h"

namespace testing_support {

void SimExchange::Mark() {
  lineUp_ = !sim_.HungUp();
  frames_ = sim_.ReceivedCount();
  answered_ = sim_.BytesAnswered();
  due_ = sim_.BytesDue();
  auto d = port_.Dispatcher();
  arrived_ = d ? d->InputArrivals() : 0;
}

::testing::AssertionResult SimExchange::Await(int sends, std::chrono::milliseconds elapse,
                                              std::chrono::milliseconds deadline) {
  const bool driven = sim_.LineClockDriven();
  auto d = port_.Dispatcher();
  const bool line = d && port_.Open() && !sim_.HungUp();
  const auto end = std::chrono::steady_clock::now() + deadline;
  const std::size_t frame = frames_ + static_cast<std::size_t>(std::max(sends, 0));
  // The simulator hangs up a moment after it took the frame that asked it to; a frame sent meanwhile is never
  // taken.
  const auto taken = [&] { return (sim_.ReceivedCount() >= frame && !sim_.HangingUp()) || sim_.HungUp(); };
  if (line && sends > 0 && !sim_.WaitUntil(taken, deadline)) {
    const auto last = sim_.LastFrame();
    return ::testing::AssertionFailure() << "frame " << frame << " did not reach the simulated controller in "
                                         << deadline.count()
                                         << " ms (the last it took: " << (last ? last->Describe() : std::string("none"))
                                         << ")";
  }
  // Only now: had the clock moved before the frame was taken, its answer would come a tick late.
  if (driven) sim_.AdvanceLineClock(elapse);
  // Hung up since the mark: the next tick finds the line closed, as it would 250 ms later, only once the
  // port is done with the frame that asked for it and its own thread has seen the line gone.
  if (lineUp_ && sim_.HungUp() && d && port_.Open()) {
    auto gone = sends > 0 ? WriterDone(frame, end) : ::testing::AssertionSuccess();
    if (gone) gone = LineGoneSeen(deadline);
    Mark();
    return gone;
  }
  if (!line || sim_.HungUp() || (sends <= 0 && !driven)) {
    Mark();
    return ::testing::AssertionSuccess();
  }
  // Driven: counted by what arrived since the mark, as the tick may have read or discarded what was held.
  const auto expected = driven ? static_cast<std::int64_t>(sim_.BytesDue() - due_)
                               : static_cast<std::int64_t>(sim_.BytesAnswered() - answered_);
  for (;;) {
    const std::uint64_t seen = d->InputArrivals();
    const std::int64_t held = driven ? static_cast<std::int64_t>(seen - arrived_) : d->InBuffUsed();
    if (held >= expected) break;
    if (std::chrono::steady_clock::now() >= end) {
      const auto last = sim_.LastFrame();
      return ::testing::AssertionFailure() << (driven ? "what was due after frame " : "the answer to frame ") << frame
                                           << " (" << (last ? last->Describe() : std::string("none"))
                                           << ") reached the port with " << held << " of " << expected
                                           << " bytes (the simulator has written " << sim_.BytesSent() << " of "
                                           << (driven ? sim_.BytesDue() : sim_.BytesAnswered())
                                           << " bytes in all; the port holds " << d->InBuffUsed()
                                           << (d->DeviceLost ? ", its line lost" : "") << ", line errors "
                                           << d->LineErrors << ")";
    }
    d->WaitForInput(seen, std::chrono::milliseconds(20));
  }
  if (sends > 0) {
    if (auto written = WriterDone(frame, end); !written) return written;
  }
  Mark();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SimExchange::WriterDone(std::size_t frame, std::chrono::steady_clock::time_point end) {
  auto d = port_.Dispatcher();
  while (d && d->OutBuffUsed() != 0) {
    if (std::chrono::steady_clock::now() >= end)
      return ::testing::AssertionFailure()
             << "frame " << frame << " was taken, yet the port still holds " << d->OutBuffUsed() << " bytes to send";
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SimExchange::LineGoneSeen(std::chrono::milliseconds deadline) {
  if (sim_.WaitUntil(
          [&] {
            auto d = port_.Dispatcher();
            return d && (d->LineErrors & serial::TLkBaseDispatcher::leBreak);
          },
          deadline))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the port never saw the line gone";
}

}  // namespace testing_support
