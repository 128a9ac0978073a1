#include "controller/frames.h"

namespace controller {

std::uint16_t Crc16(std::span<const Byte> bytes, int lastIndex) {
  std::uint16_t crc = 0xFFFF;
  for (int i = 0; i <= lastIndex; ++i) {
    crc ^= static_cast<std::uint16_t>(bytes[static_cast<std::size_t>(i)] << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

Byte AdditiveSum(std::span<const Byte> bytes, int lastIndex) {
  unsigned sum = 0;
  for (int i = 0; i <= lastIndex; ++i) sum += bytes[static_cast<std::size_t>(i)];
  return static_cast<Byte>(sum);
}

std::array<Byte, RequestFrameSize> RequestFrame(Byte a1, Byte a2, Byte a3, Byte a4, Byte a5) {
  std::array<Byte, RequestFrameSize> frame{RequestStart, a1, a2, a3, a4, a5, 0, 0};
  const std::uint16_t crc = Crc16(frame, 5);
  frame[6] = static_cast<Byte>(crc >> 8);
  frame[7] = static_cast<Byte>(crc & 0xFF);
  return frame;
}

std::array<Byte, CommandFrameSize> CommandFrame(Byte code, Byte b1, Byte b2, Byte b3, Byte b4, Byte b5) {
  std::array<Byte, CommandFrameSize> frame{CommandStart, code, b1, b2, b3, b4, b5, 0};
  frame[7] = AdditiveSum(frame, 6);
  return frame;
}

void CompleteClockFrame(FrameBytes& buffer) {
  buffer[0] = ClockStart;
  buffer[ClockFrameSize - 1] = AdditiveSum(buffer, ClockFrameSize - 2);
}

void CompleteBlockFrame(FrameBytes& buffer, const BlockHeader& header) {
  buffer[0] = BlockStart;
  buffer[1] = header.A1;
  buffer[2] = header.A2;
  buffer[3] = header.A3;
  buffer[4] = header.A4;
  buffer[5] = header.A5;
  const std::uint16_t crc = Crc16(buffer, BlockFrameSize - 3);
  buffer[BlockFrameSize - 2] = static_cast<Byte>(crc >> 8);
  buffer[BlockFrameSize - 1] = static_cast<Byte>(crc & 0xFF);
}

bool BlockReplyGood(std::span<const Byte> reply) {
  if (reply.size() < static_cast<std::size_t>(BlockReplySize)) return false;
  const std::uint16_t crc = Crc16(reply, BlockReplySize - 3);
  return reply[BlockReplySize - 2] == (crc & 0xFF) && reply[BlockReplySize - 1] == (crc >> 8);
}

int CalendarDayOfWeek(int year, int month, int day) {
  static constexpr int kMonthOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  const int days = year + year / 4 - year / 100 + year / 400 + kMonthOffsets[(month + 11) % 12] + day;
  return (days % 7 + 7) % 7;
}

void FillClockFrame(FrameBytes& buffer, const ClockFields& when) {
  const auto put = [&](int at, int value) {
    buffer[static_cast<std::size_t>(at)] = static_cast<Byte>(value % 10);
    buffer[static_cast<std::size_t>(at + 1)] = static_cast<Byte>(value / 10 % 10);
  };
  buffer[1] = '=';
  put(2, when.Second);
  put(4, when.Minute);
  put(6, when.Hour);
  put(8, when.Day);
  put(10, when.Month);
  put(12, when.Year % 100);
  buffer[14] = static_cast<Byte>(CalendarDayOfWeek(when.Year, when.Month, when.Day));
}

}  // namespace controller
