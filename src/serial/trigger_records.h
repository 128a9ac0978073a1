#pragma once
// The dispatcher's trigger records and handler records, and the save area that carries triggers across
// a reopen of the port.
#include <array>
#include <cstdint>
#include <vector>

#include "serial/notify_target.h"
#include "serial/timing.h"

namespace serial {

// Kinds reported by a trigger look-up.
enum TTriggerType : std::uint32_t { ttNone = 0, ttTimer = 2, ttData = 3, ttStatus = 4 };

// Status trigger types (also the low three bits of a status trigger's handle).
enum : std::uint32_t { stModem = 1, stLine = 2, stOutFree = 3, stOutUsed = 4, stOutSent = 5 };

inline constexpr std::uint32_t kAvailTriggerHandle = 1;
inline constexpr std::uint32_t kMaxDataTriggerLen = 21;
inline constexpr std::uint32_t kTriggerNumbers = 4096;  // handles are numbers 1..4095 times 8

struct TimerTrigger {
  std::uint32_t Handle = 0;
  EventTimer Timer;
  std::int32_t Interval = 0;  // in ticks, the last value given
  std::int32_t Reserved = -1;
  bool Active = false;
};

struct DataTrigger {
  std::uint32_t Handle = 0;
  std::uint32_t Length = 0;
  std::array<std::uint32_t, kMaxDataTriggerLen + 1> Counters{};  // partial matches of candidate alignments
  bool Matched = false;
  bool IgnoreCase = false;
  std::array<std::uint8_t, kMaxDataTriggerLen> Data{};  // upper-cased when ignoring case
};

struct StatusTrigger {
  std::uint32_t Handle = 0;
  std::uint32_t Type = 0;
  std::uint16_t Value = 0;  // type 1: mask << 8 | last state; 2: line-error mask; 3, 4: threshold
  bool Armed = false;
  bool Hit = false;
};

struct TTriggerSave {
  std::uint32_t AvailLength = 0;
  std::vector<TimerTrigger> Timers;
  std::vector<DataTrigger> Datas;
  std::vector<StatusTrigger> Statuses;
};

// A procedure handler: called on the dispatch thread with (message, trigger handle, second parameter).
using TriggerProc = void (*)(std::uint32_t msg, std::uint32_t trigger, std::uint32_t data);

// An event handler: a method, matched on its code when deregistered.
struct TriggerEvent {
  void* Object = nullptr;
  void (*Code)(void* object, std::uint32_t msg, std::uint32_t trigger, std::uint32_t data) = nullptr;
};

// Advances one data trigger's candidate alignments by one received byte; true on a full match.
bool MatchDataTrigger(DataTrigger& trigger, std::uint8_t byte);

}  // namespace serial
