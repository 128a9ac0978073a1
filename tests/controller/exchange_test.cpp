// The exchange on the line: what the controller still owes is counted byte by byte, whoever reads it.
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

}  // namespace
}  // namespace controller
