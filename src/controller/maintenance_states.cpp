// Maintenance operations: switching one relay, giving bus addresses to new modules as the installer
// presses their buttons, reading 256 bytes of controller memory for the dump window, and sending a
// command typed by hand. The relay, addressing and raw commands take any 3-byte answer.
#include <algorithm>
#include <cstdio>

#include "controller/state_tables.h"
#include "platform/text.h"
#include "serial/com_port.h"

namespace controller {

namespace {

Byte Low8(int value) { return static_cast<Byte>(value & 0xFF); }

// relay

void SendRelay(CommsEngine& e) {
  e.SetStep("Sending Transmit Command");
  e.SendCommandFrame(CmdRelay, e.RelayRequest, e.RelayPoint, e.RelayOn);
  e.CommState = 581;
}

void AwaitRelay(CommsEngine& e) {
  if (e.AwaitAnswer("Relay Command", "Waiting for Response") != CommsEngine::Answer::Pending) e.RelayRequest = 0;
}

// auto-addressing: AutoAddressRequest is the module number looked for

void ShowLookingFor(CommsEngine& e) {
  e.View.SetText(CommsText::AutoAddressCaption, platform::FormatText("Looking for Module %d", e.AutoAddressRequest));
}

// A press of a module's button brings its number alone; an answer to a command (an acknowledgement or a
// refusal) is a byte followed by 00 00. Bytes that may still be the start of such an answer wait for the
// rest, two ticks at most (a modem link may bring them a tick apart). Then, or at once when `settle`, a
// lone byte is a press and a byte followed by 00 is an answer, whose first byte is `given`.
enum class AddressInput { None, Answer, Press };
constexpr int LastModuleAddress = 127;
constexpr int AddressHoldTicks = 2;

AddressInput TakeAddressInput(CommsEngine& e, Byte& given, bool settle) {
  const int waiting = e.Port.InBuffUsed();
  if (waiting < 1) return AddressInput::None;
  Byte head[3] = {};
  const int peeked = std::min(waiting, 3);
  e.Port.PeekBlock(head, static_cast<std::uint16_t>(peeked));
  const bool answerShaped = (waiting < 2 || head[1] == 0) && (waiting < 3 || head[2] == 0);
  if (answerShaped && waiting < 3 && !settle && e.AddressHeldTicks < AddressHoldTicks) {
    ++e.AddressHeldTicks;
    return AddressInput::None;
  }
  e.AddressHeldTicks = 0;
  given = head[0];
  if (answerShaped && waiting > 1) {
    e.Port.GetBlock(head, static_cast<std::uint16_t>(peeked));
    e.AnswerTaken(peeked);
    return AddressInput::Answer;
  }
  e.Port.GetBlock(&given, 1);
  return AddressInput::Press;
}

// The number looked for counts, and so does a later one: the controller went on from a press missed here,
// and the count follows it, or the last number told at the end would give one number twice. Until the
// controller has taken a "&Skip", the number skipped is still the one it gives. A lower number, or a byte
// that is no module address, is no button pressed.
int LowestPress(const CommsEngine& e) { return e.SkippedModule ? e.SkippedModule : e.AutoAddressRequest; }

void CountPress(CommsEngine& e, Byte given) {
  if (given < LowestPress(e) || given > LastModuleAddress) return;
  e.AddLogLine(platform::FormatText("Addressed Module %d", given));
  e.AutoAddressRequest = std::max<int>(e.AutoAddressRequest, given + 1);
  ShowLookingFor(e);
}

// Takes what waits, settled as TakeAddressInput says; an answer that comes late is no press.
void TakePresses(CommsEngine& e, bool settle) {
  Byte given = 0;
  for (AddressInput in; (in = TakeAddressInput(e, given, settle)) != AddressInput::None;)
    if (in == AddressInput::Press) CountPress(e, given);
}

// The answer to a command of the addressing run, with the presses that cross it on the line, before or
// after it: each is counted. True once the answer is in; `refused` tells what it said. What follows the
// answer is held as before it: an earlier command's answer may follow.
bool TakeAddressAnswer(CommsEngine& e, bool& refused) {
  bool answered = false;
  Byte given = 0;
  for (AddressInput in; (in = TakeAddressInput(e, given, false)) != AddressInput::None;) {
    if (in == AddressInput::Press) {
      CountPress(e, given);
    } else if (!answered) {
      answered = true;
      refused = given != Ack;
    }
  }
  return answered;
}

void FindModule(CommsEngine& e) {
  // Taken as the connection ends: no search has started, and none starts. After "&Skip" the search runs,
  // and ends as it does.
  if (e.WorkEnding() && e.ModeNotStarted()) {
    e.CommState = 110;
    return;
  }
  // A press between the click on "&Skip" and this search: the send would drop it.
  if (e.SkippedModule) TakePresses(e, true);
  e.AbortRequest = 0;
  e.AddressHeldTicks = 0;
  e.LastNumberSent = 0;
  e.View.ShowWindow(CommsWindow::AutoAddressPanel, true);
  ShowLookingFor(e);
  e.SetStep("Sending Auto Address Command");
  e.SendCommandFrame(CmdFindModule, Low8(e.AutoAddressRequest));
  e.CommState = 591;
}

void AwaitFindModule(CommsEngine& e) {
  if (!e.WaitTick("Waiting for Response")) return;
  bool refused = false;
  if (!TakeAddressAnswer(e, refused)) return;
  if (refused) e.AddLogLine("Auto Address Command refused by the controller");
  e.SkippedModule = 0;  // the controller has the number looked for now
  e.RetryCount = 0;
  e.CommState = 592;
}

// Waits for the installer, without a time-out, until the line is gone: the controller sends each number
// it gives and goes on to the next by itself.
void AwaitModules(CommsEngine& e) {
  if (e.LineLost(CommsWindow::AutoAddressPanel)) return;
  // Closing or attaching ends the addressing the way "Abort" does, so the controller still learns the last
  // number given. Before either, or "&Skip", what waits is settled: the next send would drop it.
  const bool ending = e.AbortRequest || e.WorkEnding();
  TakePresses(e, ending || e.SkipRequest);
  if (ending) {
    if (!e.AbortRequest) e.TellCut("Auto Address");
    e.SkipRequest = 0;
    e.CommState = 593;
    return;
  }
  if (e.SkipRequest) {
    e.SkipRequest = 0;
    e.SkippedModule = e.AutoAddressRequest;
    e.AutoAddressRequest += 1;
    e.CommState = 590;
  }
}

// The controller is told the last number it gave. A press that reached the PC since Abort was seen is
// counted first. Sent again (no answer, or a press that crossed it), what waits may be an earlier write's
// answer: a byte that may start it waits for the rest, and only one that stays alone is a press.
void SendLastModule(CommsEngine& e) {
  // Bytes that keep coming would hold the write for good: past the hold a late answer is whole, so what
  // waits is settled as it stands.
  TakePresses(e, !e.LastNumberSent || e.LastNumberHeldTicks > AddressHoldTicks);
  if (e.Port.InBuffUsed() > 0) {
    ++e.LastNumberHeldTicks;  // held for the next tick
    return;
  }
  e.LastNumberHeldTicks = 0;
  e.SendCommandFrame(CmdSetControllerParam, 3, 0, Low8(e.AutoAddressRequest - 1));
  e.LastNumberSent = 1;
  e.LastNumberAnswered = 0;
  e.AddressHeldTicks = 0;
  e.CommState = 594;
}

// Then the executive reload's restart step: the controller starts again with its new modules. What
// follows the answer is settled first: the restart's send would drop a press in it.
void AwaitLastModule(CommsEngine& e) {
  if (!e.WaitTick("Waiting for Response")) return;
  if (e.CommState != 594) e.AddressHeldTicks = 0;  // sent again: 593 settles what waits afresh
  const int told = e.AutoAddressRequest;
  bool refused = false;
  if (e.LastNumberAnswered) {
    TakePresses(e, false);
  } else if (TakeAddressAnswer(e, refused)) {
    e.LastNumberAnswered = 1;
    if (refused) e.AddLogLine("Last Module Number refused by the controller");
  }
  // A press crossed the write: the controller gave another number, and is told that one.
  if (e.AutoAddressRequest != told) {
    e.AddressHeldTicks = 0;
    e.CommState = 593;
    return;
  }
  if (!e.LastNumberAnswered || e.Port.InBuffUsed() > 0) return;
  e.RetryCount = 0;
  e.LastNumberSent = 0;
  e.LastNumberAnswered = 0;
  e.AutoAddressRequest = -1;
  e.AbortRequest = 0;
  e.View.ShowWindow(CommsWindow::AutoAddressPanel, false);
  e.AddressingRestart = 1;
  e.CommState = 135;
}

// memory dump

void RequestDump(CommsEngine& e) {
  e.SetStep("Requesting Memory");
  // Sent again, it asks for the address first sent: that block may still come, late, and it is shown under
  // its own address. One asked meanwhile is read after it.
  if (e.RetryCount == 0) e.SentDumpAddress = e.DumpAddress;
  e.SendRequestFrame(static_cast<std::uint16_t>(e.SentDumpAddress & 0xFFFF));
  e.CommState = 551;
}

// The bytes show with the address the controller read them from: the low 16 bits of the one asked.
void AwaitDump(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Data") || !e.BlockReplyChecked()) return;
  e.ShowBlockInDump(std::span(e.FrameBuffer).subspan(BlockDataOffset, BlockDataSize), "%02x",
                    e.SentDumpAddress & 0xFFFF);
  if (e.DumpAddress == e.SentDumpAddress) e.DumpRequest = 0;
  e.RetryCount = 0;
  e.CommState = 110;
}

// raw command: code and five arguments as the dump window's Send read them

void SendRawCommand(CommsEngine& e) {
  const auto& b = e.RawCommand;
  e.SendCommandFrame(b[0], b[1], b[2], b[3], b[4], b[5]);
  e.CommState = 156;
}

void AwaitRawCommand(CommsEngine& e) {
  if (e.AwaitAnswer("Raw Command", "Waiting for Response") != CommsEngine::Answer::Pending) e.RawCommandRequest = 0;
}

constexpr StateEntry kStates[] = {
    {155, 155, SendRawCommand}, {156, 156, AwaitRawCommand}, {550, 550, RequestDump},     {551, 551, AwaitDump},
    {580, 580, SendRelay},      {581, 581, AwaitRelay},      {590, 590, FindModule},      {591, 591, AwaitFindModule},
    {592, 592, AwaitModules},   {593, 593, SendLastModule},  {594, 594, AwaitLastModule},
};

}  // namespace

std::span<const StateEntry> MaintenanceStates() { return kStates; }

}  // namespace controller
