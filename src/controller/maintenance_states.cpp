// Maintenance operations: switching one relay, giving bus addresses to new modules as the installer
// presses their buttons, reading 256 bytes of controller memory for the dump window, and sending a
// command typed by hand. The relay, addressing and raw commands take any 3-byte answer.
#include <algorithm>
#include <cstdio>

#include "controller/raw_command_request.h"
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

void FindModule(CommsEngine& e) {
  e.AbortRequest = 0;
  e.AddressHeldTicks = 0;
  e.View.ShowWindow(CommsWindow::AutoAddressPanel, true);
  ShowLookingFor(e);
  e.SetStep("Sending Auto Address Command");
  e.SendCommandFrame(CmdFindModule, Low8(e.AutoAddressRequest));
  e.CommState = 591;
}

// The answer's own three bytes only: a press that reached the port with them is the addressing wait's.
void AwaitFindModule(CommsEngine& e) {
  e.AwaitAnswer("Auto Address Command", "Waiting for Response", 592, AckReplySize);
}

// A press of a module's button brings its number alone; a late answer to the search command (an
// acknowledgement or a refusal) is a byte followed by 00 00. Bytes that may still be the start of such an
// answer wait for the rest, two ticks at most (a modem link may bring them a tick apart). Then, or at once
// when `settle`, a lone byte is a press and a byte followed by 00 is an answer.
enum class AddressInput { None, LateAnswer, Press };
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
  if (answerShaped && waiting > 1) {
    e.Port.GetBlock(head, static_cast<std::uint16_t>(peeked));
    return AddressInput::LateAnswer;
  }
  e.Port.GetBlock(&given, 1);
  return AddressInput::Press;
}

// Takes what waits, settled as TakeAddressInput says. The number looked for counts, and so does a later
// one: the controller went on from a press missed here, and the count follows it, or the last number told
// at the end would give one number twice. A late answer, a number below the one looked for, or a byte that
// is no module address is no button pressed.
void TakePresses(CommsEngine& e, bool settle) {
  Byte given = 0;
  for (AddressInput in; (in = TakeAddressInput(e, given, settle)) != AddressInput::None;) {
    if (in != AddressInput::Press || given < e.AutoAddressRequest || given > LastModuleAddress) continue;
    e.AddLogLine(platform::FormatText("Addressed Module %d", given));
    e.AutoAddressRequest = given + 1;
    ShowLookingFor(e);
  }
}

// Waits for the installer, without a time-out, until the line is gone: the controller sends each number
// it gives and goes on to the next by itself.
void AwaitModules(CommsEngine& e) {
  if (e.LineLost(CommsWindow::AutoAddressPanel)) return;
  // Hiding the window ends the addressing the way "Abort" does, so the controller still learns the last
  // number given. Before either, or "&Skip", what waits is settled: the next send would drop it.
  const bool ending = e.AbortRequest || e.CloseRequest;
  TakePresses(e, ending || e.SkipRequest);
  if (ending) {
    e.SkipRequest = 0;
    e.CommState = 593;
    return;
  }
  if (e.SkipRequest) {
    e.SkipRequest = 0;
    e.AutoAddressRequest += 1;
    e.CommState = 590;
  }
}

// A press that reached the PC since Abort was seen is counted too: the controller is told the last number
// it gave. Sent again after no answer (a retry), a byte that waits is most likely the start of that answer,
// late, or of a refusal: it counts only when it cannot be one.
void SendLastModule(CommsEngine& e) {
  const bool again = e.RetryCount > 0;
  if (again) e.AddressHeldTicks = 0;
  TakePresses(e, !again);
  e.SendCommandFrame(CmdSetControllerParam, 3, 0, Low8(e.AutoAddressRequest - 1));
  e.CommState = 594;
}

// Then the executive reload's restart step: the controller starts again with its new modules.
void AwaitLastModule(CommsEngine& e) {
  if (e.AwaitAnswer("Last Module Number", "Waiting for Response", 135) == CommsEngine::Answer::Pending) return;
  e.AutoAddressRequest = -1;
  e.AbortRequest = 0;
  e.View.ShowWindow(CommsWindow::AutoAddressPanel, false);
}

// memory dump

void RequestDump(CommsEngine& e) {
  e.SetStep("Requesting Memory");
  e.SendRequestFrame(static_cast<std::uint16_t>(e.DumpAddress & 0xFFFF));
  e.CommState = 551;
}

void AwaitDump(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Data") || !e.BlockReplyChecked()) return;
  e.DumpAddress = 0;
  e.ShowBlockInDump(std::span(e.FrameBuffer).subspan(BlockDataOffset, BlockDataSize), "%02x");
  e.RetryCount = 0;
  e.CommState = 110;
}

// raw command: code and five arguments from the dump window's six edits

void SendRawCommand(CommsEngine& e) {
  const auto bytes = ReadRawCommand([&e](int i) { return e.View.InputText(CommsInput::RawCommandByte, i); });
  if (!bytes) {
    e.RawCommandRequest = 0;
    e.CommState = 110;
    return;
  }
  const auto& b = *bytes;
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
