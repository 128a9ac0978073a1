#include "controller/frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace controller {
namespace {

using Bytes = std::vector<Byte>;

TEST(Frames, ChecksAndTheFramesThePcSends) {
  const std::string digits = "123456789";
  EXPECT_EQ(Crc16(Bytes(digits.begin(), digits.end()), 8), 0x29B1);

  const auto info = RequestFrame(AddrInfoBlock);
  EXPECT_EQ(Bytes(info.begin(), info.end()), (Bytes{0x2A, 0, 0, 0x8F, 0xB7, 0, 0x2D, 0xEB}));

  const auto stop = CommandFrame(CmdStopInterpreter);
  EXPECT_EQ(Bytes(stop.begin(), stop.end()), (Bytes{0xC8, 0x35, 0, 0, 0, 0, 0, 0xFD}));
  const auto wrap = CommandFrame(0xFF, 0xFF, 0x10);
  EXPECT_EQ(wrap[7], static_cast<Byte>(0xC8 + 0xFF + 0xFF + 0x10)) << "the sum keeps its low 8 bits";
}

TEST(Frames, ClockFrameCarriesDigitsUnitsFirstAndASumOverTheUnwrittenBytes) {
  FrameBytes buffer{};
  buffer[20] = 0x11;  // filler the engine does not write still counts in the sum
  FillClockFrame(buffer, {2007, 3, 4, 9, 5, 7, 0});
  CompleteClockFrame(buffer);
  EXPECT_EQ(Bytes(buffer.begin() + 1, buffer.begin() + 15), (Bytes{'=', 7, 0, 5, 0, 9, 0, 4, 0, 3, 0, 7, 0, 0}));
  EXPECT_EQ(buffer[0], 0xF1);
  EXPECT_EQ(buffer[49], AdditiveSum(buffer, 48));
  FillClockFrame(buffer, {2123, 12, 31, 23, 59, 58, 6});
  EXPECT_EQ(Bytes(buffer.begin() + 2, buffer.begin() + 15), (Bytes{8, 5, 9, 5, 3, 2, 1, 3, 2, 1, 3, 2, 5}));
}

// The weekday sent is the calendar's, whatever the caller says: 3 March 2007 was a Saturday.
TEST(Frames, ClockFrameWeekdayFollowsTheCalendar) {
  const struct {
    int Year, Month, Day, Claimed, Weekday;
  } dates[] = {{2007, 3, 3, 0, 6}, {2007, 3, 4, 3, 0}, {2000, 2, 29, 0, 2}, {2024, 12, 25, 0, 3}, {1900, 3, 1, 0, 4}};
  for (const auto& d : dates) {
    FrameBytes buffer{};
    FillClockFrame(buffer, {d.Year, d.Month, d.Day, 9, 5, 7, d.Claimed});
    EXPECT_EQ(buffer[14], d.Weekday) << d.Year << "-" << d.Month << "-" << d.Day;
  }
}

TEST(Frames, BlockFrameAndItsReplyCarryTheCrcInOppositeOrders) {
  FrameBytes buffer{};
  for (int i = 0; i < 256; ++i) buffer[6 + i] = static_cast<Byte>(i * 7);
  CompleteBlockFrame(buffer, ImageHeader(0x1300));
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), (Bytes{0xD5, 0, 1, 0x00, 0x13, 0}));
  const std::uint16_t crc = Crc16(buffer, 261);
  EXPECT_EQ(buffer[262], crc >> 8);
  EXPECT_EQ(buffer[263], crc & 0xFF);

  Bytes reply(buffer.begin(), buffer.begin() + 264);
  reply[262] = static_cast<Byte>(crc & 0xFF);
  reply[263] = static_cast<Byte>(crc >> 8);
  EXPECT_TRUE(BlockReplyGood(reply));
  std::swap(reply[262], reply[263]);
  EXPECT_FALSE(BlockReplyGood(reply)) << "high byte first is the PC's order, not the controller's";
  EXPECT_FALSE(BlockReplyGood(Bytes(reply.begin(), reply.begin() + 263)));
}

}  // namespace
}  // namespace controller
