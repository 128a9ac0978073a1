#pragma once
// What a tick of the communications engine set going on the line, waited for by what it is, not by a quiet
// spell: a tick that sent a frame is over once the simulated controller has taken that frame, the port
// has written all of it, and the port's input holds every byte the simulator answered at once. When the
// simulator's line clock is driven, the tick's time passes on that clock once the frame is taken, and the
// port's input must then hold every byte due by it: no more, since nothing else has gone out, and no fewer.
// A tick whose frame hung the line up is over once the port is done with that frame and has seen the line
// gone, as a real port is long before the next 250 ms tick.
// Bytes the simulator sends later by itself (X10 events, a learnt IR code, an addressing press) are not
// part of it: a test waits for those by their count (serial::test::PumpIn).
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "serial/com_port.h"
#include "support/sim_controller.h"

namespace testing_support {

class SimExchange {
 public:
  SimExchange(SimController& sim, serial::TLkCustomComPort& port) : sim_(sim), port_(port) {}

  // Remembers how many frames the simulator has taken and how much it has answered: call before a tick.
  void Mark();
  // After ticks that sent `sends` frames since Mark(): waits for their exchange as above, `elapse` passing on
  // a driven line clock, at most `deadline`, then marks again. A frame not taken or an answer not arrived in
  // time fails, naming the frame. A closed port, or a line hung up before the mark, has nothing to wait for.
  ::testing::AssertionResult Await(int sends, std::chrono::milliseconds elapse = {},
                                   std::chrono::milliseconds deadline = std::chrono::seconds(5));
  // Once the simulator has hung up: until the port's own thread has seen the line gone, so a wait that looks
  // at the line on the next tick finds it gone, however loaded the machine.
  ::testing::AssertionResult LineGoneSeen(std::chrono::milliseconds deadline = std::chrono::seconds(5));

 private:
  // The port's writer counts what it wrote a moment after the far end has it: until it has counted it all.
  ::testing::AssertionResult WriterDone(std::size_t frame, std::chrono::steady_clock::time_point end);

  SimController& sim_;
  serial::TLkCustomComPort& port_;
  std::size_t frames_ = 0, answered_ = 0, due_ = 0;
  bool lineUp_ = false;  // the simulator had not hung up at the mark
  std::uint64_t arrived_ = 0;
};

}  // namespace testing_support
