// Single IR codes: learning one from a remote control held to the controller's receiver, clearing one,
// transmitting one, and having a remote module transmit one in a zone.
#include "controller/state_tables.h"
#include "platform/ui.h"
#include "serial/com_port.h"

namespace controller {

namespace {

constexpr Byte LearnModeParam = 17;  // the controller parameter that puts the IR receiver into learning
constexpr int LearnEndStep = 565;    // the receiver switched back: the learn's number is cleared by then

Byte Low(std::int32_t n) { return static_cast<Byte>(n & 0xFF); }
Byte High(std::int32_t n) { return static_cast<Byte>((n >> 8) & 0xFF); }

// Learn

// The learn is over: `cut` ends it before its code came (the connection closes or starts again), which is
// told once the receiver is switched back, unless the code comes meanwhile. The receiver is switched back
// next.
void EndLearn(CommsEngine& e, bool cut) {
  e.LearnCut = cut;
  e.View.ShowWindow(CommsWindow::IrLearnPanel, false);
  e.IrLearnNumber = -1;
  e.CommState = LearnEndStep;
}

void StartLearnMode(CommsEngine& e) {
  const bool ended = e.WorkEnding() || e.IrLearnNumber == -1;
  // Taken as the connection ends, or as its window closed: nothing has gone yet, and nothing goes.
  if (ended && e.ModeNotStarted()) {
    e.CommState = 110;
    return;
  }
  // Ended while its switch-on is to go again: the switch-on that went may have taken, so the receiver is
  // switched back instead.
  if (ended) {
    EndLearn(e, e.IrLearnNumber != -1);
    return;
  }
  e.CodeLearnt = 0;
  e.View.ShowWindow(CommsWindow::IrLearnPanel, true);
  e.SetStep("Sending Wait for IR Command");
  e.SendCommandFrame(CmdSetControllerParam, LearnModeParam, 0, 1);
  e.CommState = 561;
}

// Parameter 17 must be set before the learn command goes out: a refusal sends it again.
void AwaitLearnMode(CommsEngine& e) {
  if (e.AwaitAck("flash save", "Waiting for Response")) e.CommState = 562;
}

void SendLearn(CommsEngine& e) {
  // Closed before the learn went out: nothing is learnt (the number is gone), the receiver is switched back.
  if (e.IrLearnNumber == -1 || e.WorkEnding()) {
    EndLearn(e, e.IrLearnNumber != -1);
    return;
  }
  e.SetStep("Sending Learn Command");
  e.SendCommandFrame(CmdLearnIr, Low(e.IrLearnNumber), High(e.IrLearnNumber), e.IrLearnFrequency);
  e.CommState = 563;
}

// A refused learn ends as closing the learn window does: parameter 17 is cleared again.
void AwaitLearnSent(CommsEngine& e) {
  const CommsEngine::Answer answer = e.AwaitAnswer("IR Learn", "Waiting for Response", 564);
  if (answer == CommsEngine::Answer::Refused) {
    EndLearn(e, false);
  } else if (answer == CommsEngine::Answer::Yes) {
    e.SetStep("Learn Command Sent");
  }
}

// Waits for the user: no time-out. The learn ends when the code arrives, when the learn window is closed,
// or when the connection closes or starts again; each of these switches the receiver back. A line that is
// gone (an unplugged adapter) disconnects as any failed exchange does, and nothing reaches the receiver.
void AwaitLearnt(CommsEngine& e) {
  if (e.LineLost(CommsWindow::IrLearnPanel)) return;
  // The code may have come with the learn command's answer, or behind a late one.
  e.SettleLine();
  Byte b = 0;
  if (!e.CodeLearnt && e.ReadByte(b)) {
    if (b == IrLearntReport)
      e.IrCodeLearnt();
    else
      e.AnswerBytesRead(1);
  }
  if (e.CodeLearnt) {
    // One asked while the receiver is switched back is the next, and goes after.
    EndLearn(e, false);
  } else if (e.IrLearnNumber == -1 || e.WorkEnding()) {
    // A cancelled learn must not leave "Waiting for IR Learn" standing either.
    EndLearn(e, e.IrLearnNumber != -1);
  }
}

void EndLearnMode(CommsEngine& e) {
  // A code stored since the last look is waiting: the send's discard would drop it.
  for (Byte b = 0; e.ReadByte(b);) {
    if (b == IrLearntReport)
      e.IrCodeLearnt();
    else
      e.AnswerBytesRead(1);
  }
  e.SetStep("Sending Cancel Learn Ir Command");
  e.SendCommandFrame(CmdSetControllerParam, LearnModeParam, 0, 0);
  e.CommState = 566;
}

// A receiver left learning would store the next code it sees under the number whose learn was cancelled:
// a refusal sends the switch-off again. A code stored just as the switch-off came is a report, told as the
// wait takes it; it is no refusal.
void AwaitLearnModeEnded(CommsEngine& e) {
  const bool ended = e.AwaitAck("flash save", "Waiting for Response");
  // Cut short: no code came before the answer, or the end gave up.
  if (e.LearnCut && (ended || e.CommState == 1000)) {
    e.TellCut("IR Learn");
    e.LearnCut = 0;
  }
  if (ended) e.CommState = 110;
}

// Clear

void SendClear(CommsEngine& e) {
  e.SendCommandFrame(CmdClearIr, Low(e.IrClearNumber), High(e.IrClearNumber), e.IrClearFrequency);
  e.CommState = 568;
}

void AwaitCleared(CommsEngine& e) {
  const CommsEngine::Answer answer = e.AwaitAnswer("IR Clear Command");
  if (answer == CommsEngine::Answer::Pending) return;
  if (answer == CommsEngine::Answer::Yes) e.SetStep("Clear IR Command Sent");
  e.IrClearNumber = -1;
}

// Transmit

void SendTransmit(CommsEngine& e) {
  e.SetStep("Sending Transmit Command");
  e.SendCommandFrame(CmdTransmitIr, Low(e.IrTransmitNumber), High(e.IrTransmitNumber));
  e.CommState = 571;
}

void AwaitTransmitted(CommsEngine& e) {
  if (e.AwaitAnswer("IR Transmit Command") != CommsEngine::Answer::Pending) e.IrTransmitNumber = -1;
}

// Remote transmit

void SendRemoteTransmit(CommsEngine& e) {
  e.SetStep("Sending Transmit Remote Command");
  e.SendCommandFrame(CmdRemoteIr, e.RemoteIrRequest, e.RemoteIrZone, Low(e.RemoteIrNumber), High(e.RemoteIrNumber));
  e.CommState = 576;
}

void AwaitRemoteTransmitted(CommsEngine& e) {
  if (e.AwaitAnswer("Remote IR Command") != CommsEngine::Answer::Pending) e.RemoteIrRequest = 0;
}

constexpr StateEntry kStates[] = {
    {560, 560, StartLearnMode},         {561, 561, AwaitLearnMode},   {562, 562, SendLearn},
    {563, 563, AwaitLearnSent},         {564, 564, AwaitLearnt},      {565, 565, EndLearnMode},
    {566, 566, AwaitLearnModeEnded},    {567, 567, SendClear},        {568, 568, AwaitCleared},
    {570, 570, SendTransmit},           {571, 571, AwaitTransmitted}, {575, 575, SendRemoteTransmit},
    {576, 576, AwaitRemoteTransmitted},
};

}  // namespace

std::span<const StateEntry> IrStates() { return kStates; }

void CommsEngine::IrCodeLearnt() {
  AddLogLine("Ir Learn Complete");
  LearnCut = 0;
  CodeLearnt = 1;
}

void CommsEngine::DropLearnNotStarted() {
  // A learn runs until its end step: one asked while the last switches the receiver back has not started.
  const RunningWork* work = StateWork();
  const bool running = work && work->Name == std::string("IR Learn") && CommState < LearnEndStep;
  if (IrLearnNumber == -1 || running) return;
  IrLearnNumber = -1;
  AddLogLine("IR Learn not sent");
  WithdrawUnwanted();
  platform::Ui().ShowMessage("IR Learn not sent");
}

// While a new connection waits, a learn still asked is the last connection's, kept for its end.
void CommsEngine::CancelLearn() {
  if (!AttachRequest) IrLearnNumber = -1;
}

}  // namespace controller
