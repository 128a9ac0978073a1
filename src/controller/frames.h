#pragma once
// The controller's four frames and its replies. The PC sends a request (read 256 bytes), a command, a
// clock setting or a block write; the controller answers a request with a 264-byte block and everything
// else with 3 bytes whose first is 6 for yes. Values on the wire are little-endian, except the CRC of the
// frames the PC sends (high byte first), which a block reply carries low byte first.
#include <array>
#include <cstdint>
#include <span>

namespace controller {

using Byte = std::uint8_t;

inline constexpr int FrameBufferSize = 300;
using FrameBytes = std::array<Byte, FrameBufferSize>;

inline constexpr int RequestFrameSize = 8;
inline constexpr int CommandFrameSize = 8;
inline constexpr int ClockFrameSize = 50;
inline constexpr int BlockFrameSize = 264;
inline constexpr int BlockReplySize = 264;
inline constexpr int AckReplySize = 3;
inline constexpr int ClockReplySize = 9;
inline constexpr int X10ActivityReplySize = 5;
inline constexpr int BlockDataOffset = 6;  // data byte n of a block frame or reply is byte 6 + n
inline constexpr int BlockDataSize = 256;

inline constexpr Byte RequestStart = 0x2A;
inline constexpr Byte CommandStart = 0xC8;
inline constexpr Byte ClockStart = 0xF1;
inline constexpr Byte BlockStart = 0xD5;
inline constexpr Byte Ack = 6;
inline constexpr Byte Nak = 0x15;  // the refusal the controller sends; any first byte but Ack refuses
// Reports the controller sends by itself: a learnt IR code (the byte alone), an X10 event (lead, house, key).
inline constexpr Byte IrLearntReport = 0xFD;
inline constexpr Byte X10EventLead = 0xFE, X10EventLeadAlt = 0xFB;
inline constexpr int X10ReportSize = 3;

// Command codes.
enum : Byte {
  CmdGatherModuleParam = 0x1F,
  CmdWriteModuleParam = 0x21,
  CmdFindModule = 0x22,
  CmdSetControllerParam = 0x28,
  CmdChangeTimerVar = 0x29,
  CmdRelay = 0x33,
  CmdStopInterpreter = 0x35,
  CmdStartProgram = 0x36,
  CmdSendX10 = 0x37,
  CmdReadClock = 0x3E,
  CmdTransmitIr = 0x5A,
  CmdLearnIr = 0x5B,
  CmdRemoteIr = 0x5C,
  CmdStoreIr = 0x5D,
  CmdLoadIr = 0x5E,
  CmdWaitX10 = 0x60,
  CmdExtendedX10 = 0x61,
  CmdClearIr = 0x62,
  CmdVoiceTransmit = 0x67,
  CmdStoreAscii = 0x68,
  CmdStoreTouch = 0x6B,
  CmdFlashLoad = 0x6C,
  CmdForwardAscii = 0x6E,
};

// Controller addresses the requests read.
enum : std::uint16_t {
  AddrInfoBlock = 0xB78F,
  AddrModuleTypes = 0xB001,
  AddrFirmwareVersion = 0x0104,
  AddrModuleVersions = 0xB082,
  AddrIoStates = 0xB58D,
  AddrControllerParams = 0x7F00,
  AddrManagerReady = 0xB952,
  AddrModuleParams = 0xB48B,
  AddrX10Status = 0xBA00,
  AddrStaging = 0xB387,
};

// A block header a1..a5.
struct BlockHeader {
  Byte A1 = 0, A2 = 0, A3 = 0, A4 = 0, A5 = 0;
};
inline constexpr BlockHeader StagingHeader{0, 0, 0x87, 0xB3, 0};
inline constexpr BlockHeader StopHeader{0, 1, 0x00, 0x90, 2};
inline constexpr BlockHeader TouchStopHeader{0, 0, 0x00, 0x90, 2};
inline constexpr BlockHeader StartHeader{0, 2, 0x00, 0x90, 2};
// An executive or raw image block to `address`.
inline constexpr BlockHeader ImageHeader(std::uint16_t address) {
  return {0, 1, static_cast<Byte>(address & 0xFF), static_cast<Byte>(address >> 8), 0};
}
// A block written straight to `address` (pager table).
inline constexpr BlockHeader DirectHeader(std::uint16_t address) {
  return {0, 0, static_cast<Byte>(address & 0xFF), static_cast<Byte>(address >> 8), 0};
}

// CRC-16/CCITT-FALSE over bytes 0..lastIndex.
std::uint16_t Crc16(std::span<const Byte> bytes, int lastIndex);
// The low 8 bits of the plain sum of bytes 0..lastIndex.
Byte AdditiveSum(std::span<const Byte> bytes, int lastIndex);

// A request for 256 bytes at the address a3 (low), a4 (high); a1, a2, a5 are 0 in every request.
std::array<Byte, RequestFrameSize> RequestFrame(Byte a1, Byte a2, Byte a3, Byte a4, Byte a5);
inline std::array<Byte, RequestFrameSize> RequestFrame(std::uint16_t address) {
  return RequestFrame(0, 0, static_cast<Byte>(address & 0xFF), static_cast<Byte>(address >> 8), 0);
}
std::array<Byte, CommandFrameSize> CommandFrame(Byte code, Byte b1 = 0, Byte b2 = 0, Byte b3 = 0, Byte b4 = 0,
                                                Byte b5 = 0);
// Completes a clock frame whose bytes 1-14 the caller wrote: the start byte and the sum at 49.
void CompleteClockFrame(FrameBytes& buffer);
// Completes a block frame whose data the caller wrote at 6..261: the start, the header and the CRC.
void CompleteBlockFrame(FrameBytes& buffer, const BlockHeader& header);

// Whether a 264-byte block reply carries its CRC, low byte first.
bool BlockReplyGood(std::span<const Byte> reply);

struct ClockFields {
  int Year = 0, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
  int DayOfWeek = 0;  // 0 = Sunday
};
// The calendar's day of the week of a date (Gregorian), 0 = Sunday.
int CalendarDayOfWeek(int year, int month, int day);
// Bytes 1-14 of a clock frame: '=', then seconds, minutes, hours, day, month and year as (units, tens),
// then the day of the week that the calendar gives the date (when.DayOfWeek is not trusted).
void FillClockFrame(FrameBytes& buffer, const ClockFields& when);

}  // namespace controller
