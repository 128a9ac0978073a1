#include "controller/request_order.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "controller/comms_engine.h"

namespace controller {

namespace {

using K = RequestKind;
using D = Data;

bool In(const CommsEngine& e, int first, int last) { return e.CommState >= first && e.CommState <= last; }

struct KindRow {
  K Kind;
  const char* Name;
  std::uint32_t Reads, Writes;
  // Stays set while its window is open and is taken again at every idle pass.
  bool Stays;
  // Asked and not yet in its states. A request that clears its flag only at its end runs meanwhile.
  bool (*Waiting)(const CommsEngine&);
};

// In the idle dispatch's order.
constexpr KindRow kKinds[] = {
    {K::RemoteAscii, "ASCII Messages", 0, D::ModuleText, false,
     [](const CommsEngine& e) { return e.RemoteAsciiModule != 0; }},
    {K::RawCommand, "Raw Command", D::All, D::All, false,
     [](const CommsEngine& e) { return e.RawCommandRequest && !In(e, 155, 156); }},
    {K::TimerVarMonitor, "Debug Timers and Variables", D::TimerVars, 0, true,
     [](const CommsEngine& e) { return e.TimerVarMonitorRequest != 0; }},
    {K::ChangeData, "Change Timer/Variable", 0, D::TimerVars, false,
     [](const CommsEngine& e) { return e.ChangeDataRequest != NoChangeData && !In(e, 710, 711); }},
    {K::AsciiTable, "ASCII Messages", 0, D::AsciiTable, false,
     [](const CommsEngine& e) { return e.AsciiTableRequest != 0; }},
    {K::PagerLoad, "Pager Messages", 0, D::PagerTable, false,
     [](const CommsEngine& e) { return e.PagerLoadRequest != 0; }},
    // It ends by setting the clock.
    {K::AutoAddress, "Auto Address Command", 0, D::ModuleParams | D::LastModuleParam | D::Clock, false,
     [](const CommsEngine& e) { return e.AutoAddressRequest != -1 && !In(e, 590, 594); }},
    {K::Relay, "Relay Command", 0, D::Outputs, false,
     [](const CommsEngine& e) { return e.RelayRequest && !In(e, 580, 581); }},
    // A recording writes the module's message; playing or transmitting one reads it.
    {K::Transmit, "Transmit Command", D::ModuleText, D::ModuleText, false,
     [](const CommsEngine& e) { return e.TransmitRequest && !In(e, 210, 211); }},
    {K::RemoteIr, "Remote IR Command", D::IrCodes, 0, false,
     [](const CommsEngine& e) { return e.RemoteIrRequest && !In(e, 575, 576); }},
    // Both take the highest code number and the interpreter's stop from the parameters read before them.
    {K::IrUpload, "Infra-Red File Upload", D::IrCodes | D::IrParams, 0, false,
     [](const CommsEngine& e) { return e.IrUploadRequest != 0; }},
    {K::IrDownload, "Infra-Red File Download", D::IrParams, D::IrCodes, false,
     [](const CommsEngine& e) { return e.IrDownloadRequest != 0; }},
    // The learn's switch of parameter 17 is undone by its own end.
    {K::IrLearn, "IR Learn", 0, D::IrCodes, false,
     [](const CommsEngine& e) { return e.IrLearnNumber != -1 && !In(e, 560, 566); }},
    {K::IrClear, "IR Clear Command", 0, D::IrCodes, false,
     [](const CommsEngine& e) { return e.IrClearNumber != -1 && !In(e, 567, 568); }},
    {K::IrTransmit, "IR Transmit Command", D::IrCodes, 0, false,
     [](const CommsEngine& e) { return e.IrTransmitNumber != -1 && !In(e, 570, 571); }},
    {K::Dump, "Memory Dump", D::Memory, 0, false,
     [](const CommsEngine& e) { return e.DumpRequest && !In(e, 550, 551); }},
    // Its clock read for the flash key is the engine's own.
    {K::ProgramDownload, "Program Download", 0, D::Program | D::DstParams, false,
     [](const CommsEngine& e) { return e.ProgramDownloadRequest != 0; }},
    // The controller restarts without its program, and the reload ends by setting the clock.
    {K::ReloadExec, "Executive Reload", 0, D::Executive | D::Program | D::Clock, false,
     [](const CommsEngine& e) { return e.ReloadExecRequest != 0; }},
    {K::ModuleParams, "Retrieve Module Parameters", D::ModuleParams, 0, false,
     [](const CommsEngine& e) { return e.ModuleParamsRequest != 0; }},
    {K::ParamChange, "Module Parameter Change", D::ModuleParams, D::ModuleParams, false,
     [](const CommsEngine& e) { return e.ParamChangeRequest == 1; }},
    {K::X10Send, "X10 Command", 0, D::X10Out, false,
     [](const CommsEngine& e) { return e.X10SendRequest >= 0 && !In(e, 518, 519); }},
    // While it runs the dispatch is not visited; the older monitor's switch of parameter 15 is undone by
    // its own end.
    {K::X10Monitor, "Monitor X10", D::X10Out, 0, false,
     [](const CommsEngine& e) { return e.X10MonitorRequest && !In(e, 300, 304) && !In(e, 520, 527); }},
    {K::SetClock, "Clock Set", 0, D::Clock, false,
     [](const CommsEngine& e) { return e.SetClockRequest && !In(e, 530, 531); }},
    {K::ExtX10, "Extended X10 Command", 0, D::X10Out, false, [](const CommsEngine& e) { return e.ExtX10Request != 0; }},
    {K::Params, "Retrieve Controller Parameters", D::ControllerParams, 0, false,
     [](const CommsEngine& e) { return e.ParamsRequest != 0; }},
    {K::CommandQueue, "Parameter Change", 0, D::ControllerParams, false,
     [](const CommsEngine& e) {
       return std::any_of(e.CommandQueue.begin(), e.CommandQueue.end(), [](const auto& slot) { return slot[0] != 0; });
     }},
    {K::TouchLoad, "Touch Screen Download", 0, D::TouchScreen, false,
     [](const CommsEngine& e) { return e.TouchLoadRequest != 0; }},
    {K::IconLoad, "Icon Download", 0, D::TouchScreen, false,
     [](const CommsEngine& e) { return e.IconLoadRequest != 0; }},
    {K::Clock, "Get Controller Clock", D::Clock, 0, false,
     [](const CommsEngine& e) { return (e.ClockRequest == 1 || e.ClockRequest == 2) && !In(e, 540, 541); }},
};

// Pairs the dispatch takes later-asked-first on purpose: a change, then the read that shows what the
// controller took; a module parameter change reads itself back.
constexpr std::pair<K, K> kKeptOrder[] = {
    {K::CommandQueue, K::Params},
    {K::ChangeData, K::TimerVarMonitor},
    {K::ParamChange, K::ModuleParams},
};

// An IR transfer takes parameters 122 and 123 from the table that the read asked with it fills: while a
// parameter read waits, so does the transfer.
constexpr std::pair<K, K> kReadFirst[] = {
    {K::IrUpload, K::Params},
    {K::IrDownload, K::Params},
};

constexpr bool RowsInKindOrder() {
  for (std::size_t i = 0; i < std::size(kKinds); ++i)
    if (static_cast<std::size_t>(kKinds[i].Kind) != i) return false;
  return std::size(kKinds) == static_cast<std::size_t>(K::Clock) + 1;
}
static_assert(RowsInKindOrder());

const KindRow& Row(K kind) { return kKinds[static_cast<std::size_t>(kind)]; }

bool Shares(const KindRow& asked, std::uint32_t writes, const KindRow& other) {
  return (writes & (other.Reads | other.Writes)) || (asked.Reads & other.Writes);
}

// `later`, taken first, may overtake `earlier`.
bool Kept(K later, K earlier) {
  return std::find(std::begin(kKeptOrder), std::end(kKeptOrder), std::pair{later, earlier}) != std::end(kKeptOrder);
}

// Of two that wait on shared data, the dispatch takes `later` first, and should not. One that stays set is
// never waited for: it would hold the other for as long as its window is open.
bool Overtakes(const CommsEngine& e, const KindRow& later, const KindRow& earlier) {
  return later.Kind > earlier.Kind && !earlier.Stays && !later.Stays && earlier.Waiting(e) &&
         Shares(later, later.Writes, earlier) && !Kept(later.Kind, earlier.Kind);
}

}  // namespace

const char* RequestName(RequestKind kind) { return Row(kind).Name; }

std::uint32_t ControllerParamData(int parameter) {
  if (parameter == 3) return D::LastModuleParam;
  if (parameter == 122 || parameter == 123) return D::IrParams;
  return parameter == 4 || parameter == 5 ? D::DstParams : D::OtherParams;
}

std::optional<std::string> OutOfOrder(const CommsEngine& engine, RequestKind kind, std::uint32_t writes) {
  const KindRow& asked = Row(kind);
  if (!writes) writes = asked.Writes;
  for (const KindRow& earlier : kKinds) {
    if (earlier.Kind == kind || !earlier.Waiting(engine)) continue;
    const bool takenFirst = kind > earlier.Kind;
    if (earlier.Stays && !takenFirst)
      return std::string(asked.Name) + " not sent: it would wait behind " + earlier.Name + " until that window closes";
    // One that stays set would hold the earlier back for as long as its window is open.
    if (takenFirst && (Shares(asked, writes, earlier) || asked.Stays) && !Kept(kind, earlier.Kind))
      return std::string(asked.Name) + " not sent: " + earlier.Name + ", asked before it, has not been sent yet";
  }
  return std::nullopt;
}

void RankOwnRequest(CommsEngine& engine, RequestKind kind) {
  const KindRow& posted = Row(kind);
  if (!posted.Waiting(engine)) return;
  for (const KindRow& earlier : kKinds)
    if (Overtakes(engine, posted, earlier)) engine.HeldBehind[static_cast<std::size_t>(kind)] |= KindBit(earlier.Kind);
}

void RankBeforeWaiting(CommsEngine& engine, RequestKind kind) {
  const KindRow& posted = Row(kind);
  for (const KindRow& later : kKinds)
    if (later.Waiting(engine) && Overtakes(engine, later, posted))
      engine.HeldBehind[static_cast<std::size_t>(later.Kind)] |= KindBit(kind);
}

KindSet HeldBack(CommsEngine& engine) {
  KindSet waiting = 0;
  for (const KindRow& row : kKinds)
    if (row.Waiting(engine)) waiting |= KindBit(row.Kind);
  KindSet held = 0;
  for (const KindRow& row : kKinds) {
    // Those taken or dropped since are waited for no more, and one taken or dropped waits for nothing.
    KindSet& behind = engine.HeldBehind[static_cast<std::size_t>(row.Kind)];
    behind &= (waiting & KindBit(row.Kind)) ? waiting : 0;
    if (behind) held |= KindBit(row.Kind);
  }
  for (const auto& [reads, fetch] : kReadFirst)
    if (waiting & KindBit(fetch)) held |= KindBit(reads);
  return held;
}

}  // namespace controller
