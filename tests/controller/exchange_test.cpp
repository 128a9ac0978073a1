// The exchange on the line: what the controller still owes is counted byte by byte, whoever reads it, and a
// frame held for it goes only once every answer is in or the line has stayed quiet for a time-out.
#include "controller/exchange.h"

#include <gtest/gtest.h>

namespace controller {
namespace {

constexpr int Ack = 3, Block = 264;

// An answer read in parts owes its rest: a fragment taken as it stood is not a whole answer.
TEST(Exchange, CountsEveryByteReadAgainstWhatIsOwed) {
  Exchange e;
  e.Sent(Ack, false, 0, Reports::None);
  e.Taken(2);
  EXPECT_TRUE(e.Owes());
  e.Read(1);
  EXPECT_FALSE(e.Owes());
}

// A frame sent again owes both answers; of the first, the part the send's discard dropped had come.
TEST(Exchange, AFrameSentAgainOwesBothAnswersLessWhatTheDiscardDropped) {
  Exchange e;
  e.Sent(Block, false, 0, Reports::None);
  e.Retry(200);
  EXPECT_TRUE(e.Again(200));
  EXPECT_FALSE(e.Again(201)) << "only its own send state sends it again";
  e.Sent(Block, true, 100, Reports::None);
  e.Taken(Block);
  e.Read(Block - 100 - 1);
  EXPECT_TRUE(e.Owes());
  e.Read(1);
  EXPECT_FALSE(e.Owes());
}

// Answered once after it went again, a frame may still owe the other answer: however fast the controller
// answered before, the next frame waits for that answer or for a time-out of quiet, counted from the hold.
TEST(Exchange, AHeldFrameWaitsForEveryAnswerOrATimeOutOfQuiet) {
  Exchange e;
  e.Sent(Ack, false, 0, Reports::None);
  e.Tick(0);
  e.Taken(Ack);  // a quick controller: answered on the first tick
  e.Sent(Ack, false, 0, Reports::None);
  for (int tick = 0; tick < Exchange::QuietTicks; ++tick) e.Tick(0);
  e.Retry(300);
  e.Sent(Ack, true, 0, Reports::None);
  e.Taken(Ack);
  e.Hold();
  for (int tick = 1; tick < Exchange::QuietTicks; ++tick) {
    e.Tick(0);
    EXPECT_FALSE(e.Settled()) << "tick " << tick;
  }
  e.Tick(0);
  EXPECT_TRUE(e.Settled());

  e.Hold();
  e.Read(Ack);  // the last answer comes: nothing more is owed
  EXPECT_TRUE(e.Settled());
}

}  // namespace
}  // namespace controller
