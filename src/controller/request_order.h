#pragma once
// Requests that read and write the same controller data run in the order the user asked them. The idle
// dispatch takes the last set request of its fixed order, so a request asked later but tested later would
// run first: while an earlier request on the same data (one of the two writing it) waits, the later one is
// refused and told which request it would overtake. One that would wait behind the timers refresh until its
// window closes is refused too. What the engine and the dialogs post for themselves is ranked by the same
// table: it waits for the requests asked before it that it would overtake.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace controller {

class CommsEngine;

// What a request reads or writes, one bit each: on the controller, in its modules and on the power line.
struct Data {
  static constexpr std::uint32_t IrCodes = 1u << 0;
  static constexpr std::uint32_t LastModuleParam = 1u << 1;  // controller parameter 3
  static constexpr std::uint32_t DstParams = 1u << 2;        // controller parameters 4 and 5
  static constexpr std::uint32_t OtherParams = 1u << 3;
  static constexpr std::uint32_t Clock = 1u << 4;
  static constexpr std::uint32_t TimerVars = 1u << 5;
  static constexpr std::uint32_t PagerTable = 1u << 6;
  static constexpr std::uint32_t AsciiTable = 1u << 7;
  static constexpr std::uint32_t Program = 1u << 8;  // the rule program and its sun table
  static constexpr std::uint32_t Executive = 1u << 9;
  static constexpr std::uint32_t TouchScreen = 1u << 10;   // touch objects and icons
  static constexpr std::uint32_t Outputs = 1u << 11;       // the modules' I/O points
  static constexpr std::uint32_t ModuleParams = 1u << 12;  // module parameters and bus numbers
  static constexpr std::uint32_t X10Out = 1u << 13;
  static constexpr std::uint32_t ModuleText = 1u << 14;  // messages held by text and voice modules
  static constexpr std::uint32_t IrParams = 1u << 15;    // controller parameters 122 and 123
  static constexpr std::uint32_t ControllerParams = LastModuleParam | DstParams | IrParams | OtherParams;
  // What a memory dump can show.
  static constexpr std::uint32_t Memory =
      IrCodes | ControllerParams | TimerVars | PagerTable | AsciiTable | Program | Executive | TouchScreen | Outputs;
  static constexpr std::uint32_t All = ~0u;
};

// Every request the idle dispatch takes, in the order it tests them: of two set, the later is taken first.
enum class RequestKind {
  RemoteAscii,
  RawCommand,
  TimerVarMonitor,
  ChangeData,
  AsciiTable,
  PagerLoad,
  AutoAddress,
  Relay,
  Transmit,
  RemoteIr,
  IrUpload,
  IrDownload,
  IrLearn,
  IrClear,
  IrTransmit,
  Dump,
  ProgramDownload,
  ReloadExec,
  ModuleParams,
  ParamChange,
  X10Send,
  X10Monitor,
  SetClock,
  ExtX10,
  Params,
  CommandQueue,
  TouchLoad,
  IconLoad,
  Clock,
};

inline constexpr std::size_t RequestKinds = static_cast<std::size_t>(RequestKind::Clock) + 1;
// Request kinds, one bit each.
using KindSet = std::uint32_t;
constexpr KindSet KindBit(RequestKind kind) { return 1u << static_cast<unsigned>(kind); }
// For each kind, the requests it waits for: the idle dispatch passes it over while any of them waits.
using HeldBehindKinds = std::array<KindSet, RequestKinds>;

// The request's name in what the user is told.
const char* RequestName(RequestKind kind);

// The data a change of controller parameter `parameter` writes.
std::uint32_t ControllerParamData(int parameter);

// What the user is told when `kind`, asked now, would not run in the order asked; nothing when it may be
// posted. `writes`, when not 0, is what this one writes (a parameter change writes its one parameter).
std::optional<std::string> OutOfOrder(const CommsEngine& engine, RequestKind kind, std::uint32_t writes = 0);

// `kind`, set now by the engine or a dialog for itself rather than through the gate, waits for the requests
// waiting now that the dispatch would otherwise take after it on the same data.
void RankOwnRequest(CommsEngine& engine, RequestKind kind);
// `kind`, set now by the engine to end work asked before the requests waiting now: those the dispatch would
// take before it on the same data wait for it.
void RankBeforeWaiting(CommsEngine& engine, RequestKind kind);
// For the idle dispatch: the requests that wait for another still waiting, or for the read they need.
KindSet HeldBack(CommsEngine& engine);

}  // namespace controller
