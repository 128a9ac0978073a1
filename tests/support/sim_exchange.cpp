#include "support/sim_exchange.h"

#include <string>
#include <thread>

#include "serial/dispatcher.h"

namespace testing_support {

void SimExchange::Mark() {
  frames_ = sim_.ReceivedCount();
  answered_ = sim_.BytesAnswered();
}

::testing::AssertionResult SimExchange::Await(int sends, std::chrono::milliseconds deadline) {
  auto d = port_.Dispatcher();
  if (sends <= 0 || !d || !port_.Open() || sim_.HungUp()) {
    Mark();
    return ::testing::AssertionSuccess();
  }
  const auto end = std::chrono::steady_clock::now() + deadline;
  const std::size_t frame = frames_ + static_cast<std::size_t>(sends);
  if (!sim_.WaitUntilReceived(frame, deadline)) {
    const auto last = sim_.LastFrame();
    return ::testing::AssertionFailure() << "frame " << frame << " did not reach the simulated controller in "
                                         << deadline.count()
                                         << " ms (the last it took: " << (last ? last->Describe() : std::string("none"))
                                         << ")";
  }
  const auto expected = static_cast<std::int32_t>(sim_.BytesAnswered() - answered_);
  for (;;) {
    const std::uint64_t seen = d->InputArrivals();
    const std::int32_t held = d->InBuffUsed();
    if (held >= expected) break;
    if (std::chrono::steady_clock::now() >= end)
      return ::testing::AssertionFailure() << "the answer to frame " << frame << " (" << sim_.LastFrame()->Describe()
                                           << ") reached the port with " << held << " of " << expected << " bytes";
    d->WaitForInput(seen, std::chrono::milliseconds(20));
  }
  // The writer counts what it wrote a moment after the far end has it.
  while (d->OutBuffUsed() != 0) {
    if (std::chrono::steady_clock::now() >= end)
      return ::testing::AssertionFailure()
             << "frame " << frame << " was taken, yet the port still holds " << d->OutBuffUsed() << " bytes to send";
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  Mark();
  return ::testing::AssertionSuccess();
}

}  // namespace testing_support
