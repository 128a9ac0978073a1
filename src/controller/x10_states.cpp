// X10: one command sent, an extended (Leviton) command sent, and the two ways of watching X10 traffic.
// Controllers newer than application 2.12 keep a status block and answer a wait command when something
// happens; older ones report each event as three unsolicited bytes once parameter 15 is set.
#include <cstdio>

#include "controller/name_tables.h"
#include "controller/state_tables.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace controller {

namespace {

constexpr Byte ReportX10Events = 15;  // the controller parameter that switches event reporting
constexpr Byte NoX10Activity = 255;   // house byte of a wait answer when nothing happened
constexpr int X10EventRestTicks = 2;

std::string TimeText(const platform::Clock& clock) {
  const platform::LocalTime now = clock.Now();
  return platform::FormatText("%d:%02d:%02d", now.Hour, now.Minute, now.Second);
}

// Send X10

void StartX10Send(CommsEngine& e) {
  e.AddLogLine(platform::FormatText("Sending X10: %d/%d", e.X10SendRequest, e.X10Key));
  e.SendCommandFrame(CmdSendX10, static_cast<Byte>(e.X10SendRequest), static_cast<Byte>(e.X10Key),
                     static_cast<Byte>(e.X10Repeat));
  e.CommState = 519;
}

void AwaitX10Sent(CommsEngine& e) {
  if (e.AwaitAnswer("X10 Command", "Waiting for Response") == CommsEngine::Answer::Pending) return;
  e.X10SendRequest = -1;
  e.X10Key = -1;
}

// Extended X10

void StartExtendedX10(CommsEngine& e) {
  const auto& c = e.ExtX10Command;
  e.AddLogLine(platform::FormatText("Sending Extended X10  %d/%d  %d/%d", c[0], c[1], c[2], c[3]));
  e.SetStep("Sending Extended X10");
  e.SendCommandFrame(CmdExtendedX10, c[0], c[1], c[2], c[3]);
  e.CommState = 451;
}

// Set until its answer is in, so a command sent again after a lost answer is still the one asked.
void AwaitExtendedX10(CommsEngine& e) {
  if (e.AwaitAnswer("Extended X10 Command") != CommsEngine::Answer::Pending) e.ExtX10Request = 0;
}

// Monitor, newer controllers

// The monitor never passes the idle state while it is wanted, so it takes the disconnect request itself:
// monitoring ends and its window closes, and the idle state then disconnects. A reconnection passes the
// idle state too, and monitoring goes on after it. A new connection's attach drops the request and hides
// the window itself.
bool StopMonitorForDisconnect(CommsEngine& e, CommsWindow window) {
  if (!e.CloseRequest) return false;
  e.X10MonitorRequest = 0;
  e.View.ShowWindow(window, false);
  return true;
}

void ShowX10Grid(CommsEngine& e) {
  e.View.ShowWindow(CommsWindow::X10Grid, true);
  e.CommState = 301;
}

void RequestX10Status(CommsEngine& e) {
  e.SetStep("Requesting X10 Status");
  e.SendRequestFrame(AddrX10Status);
  e.CommState = 302;
}

void AwaitX10Status(CommsEngine& e) {
  if (!e.AwaitReply(BlockReplySize, "Waiting for Data") || !e.BlockReplyChecked()) return;
  e.RetryCount = 0;
  e.CommState = 303;
  for (int house = 0; house < 16; ++house)
    for (int unit = 0; unit < 16; ++unit)
      e.View.SetCell(CommsGrid::X10Status, house + 1, unit + 1, e.Data(house * 16 + unit) ? "ON" : "--");
}

void SendWaitX10(CommsEngine& e) {
  e.SetStep("Sending Wait X10 Command");
  e.SendCommandFrame(CmdWaitX10);
  e.CommState = 304;
}

void AwaitX10Activity(CommsEngine& e) {
  if (!e.AwaitReply(X10ActivityReplySize, "Waiting for Response")) return;
  e.RetryCount = 0;
  StopMonitorForDisconnect(e, CommsWindow::X10Grid);
  e.CommState = e.X10MonitorRequest && !e.WorkEnding() ? 301 : 114;
  const Byte house = e.FrameBuffer[3], key = e.FrameBuffer[4];
  if (house == NoX10Activity) return;
  if (!e.View.IsChecked(CommsCheck::X10UseNames)) {
    e.View.AddListLine(CommsList::X10Activity,
                       platform::FormatText("X10 Activity %s  -  %d / %d", TimeText(e.Clock).c_str(), house, key));
  } else if (house < X10HouseNames().size() && key < X10KeyNames().size()) {
    e.View.AddListLine(CommsList::X10Activity,
                       platform::FormatText("X10 Activity %s  -  %s / %s", TimeText(e.Clock).c_str(),
                                            X10HouseNames()[house].c_str(), X10KeyNames()[key].c_str()));
  }
}

// Monitor, older controllers

void StartEventReports(CommsEngine& e) {
  const bool ended = e.WorkEnding() || !e.X10MonitorRequest;
  // Taken as the connection ends, or as its window closed: the reports are not switched on.
  if (ended && e.ModeNotStarted()) {
    StopMonitorForDisconnect(e, CommsWindow::X10Monitor);
    e.CommState = 110;
    return;
  }
  // Ended while its switch-on is to go again: the one that went may have taken, so they are switched off.
  if (ended) {
    StopMonitorForDisconnect(e, CommsWindow::X10Monitor);
    e.CommState = 526;
    return;
  }
  e.View.ShowWindow(CommsWindow::X10Monitor, true);
  e.SetStep("Sending Monitor X10 Command");
  e.SendCommandFrame(CmdSetControllerParam, ReportX10Events, 0, 1);
  e.CommState = 521;
}

// A refused switch-on ends the monitor as its window's Close does: the switch-off still goes out, in
// case the refusal was an acknowledgement garbled on the line.
void AwaitEventReportsOn(CommsEngine& e) {
  if (e.AwaitAnswer("Monitor X10 Command", nullptr, 522) != CommsEngine::Answer::Refused) return;
  e.X10MonitorRequest = 0;
  e.View.ShowWindow(CommsWindow::X10Monitor, false);
  e.CommState = 526;
}

// States 522-524 wait without a time-out: events come when they come, for as long as monitoring is
// wanted, or until the line is gone.
void ReadEventByte(CommsEngine& e) {
  if (e.LineLost(CommsWindow::X10Monitor)) {
    e.X10MonitorRequest = 0;
    return;
  }
  // Between events: what the switch-on still owes is taken as its answer, a whole event as that event.
  if (e.CommState == 522) e.SettleLine();
  Byte b = 0;
  if (e.ReadByte(b)) {
    e.X10EventTicks = 0;
    if (e.CommState == 522) {
      if (b == X10EventLead || b == X10EventLeadAlt)
        e.CommState = 523;
      else
        e.AnswerBytesRead(1);
    } else if (e.CommState == 523) {
      e.X10EventHouse = b;
      e.CommState = 524;
    } else {
      e.X10EventKey = b;
      e.CommState = 525;
    }
  }
  StopMonitorForDisconnect(e, CommsWindow::X10Monitor);
  if (e.X10MonitorRequest && !e.WorkEnding()) return;
  // An event begun is read whole first: the switch-off's discard would drop its rest. Its rest comes a tick
  // or two behind its lead at most.
  const bool eventBegun = e.CommState == 523 || e.CommState == 524;
  if (eventBegun && e.X10EventTicks++ < X10EventRestTicks) return;
  if (e.CommState != 525) e.CommState = 526;
}

void ShowEvent(CommsEngine& e) {
  e.ShowX10Event(e.X10EventHouse, e.X10EventKey);
  e.CommState = 522;
}

void StopEventReports(CommsEngine& e) {
  e.SetStep("Sending Cancel Monitor X10 Command");
  e.SendCommandFrame(CmdSetControllerParam, ReportX10Events, 0, 0);
  e.CommState = 527;
}

// A refused switch-off is sent again: the controller would go on sending events into later exchanges. An
// event that comes before its answer is shown as the wait takes it.
void AwaitEventReportsOff(CommsEngine& e) {
  if (e.AwaitAck("flash save")) e.CommState = 110;
}

constexpr StateEntry kStates[] = {
    {300, 300, ShowX10Grid},       {301, 301, RequestX10Status},    {302, 302, AwaitX10Status},
    {303, 303, SendWaitX10},       {304, 304, AwaitX10Activity},    {450, 450, StartExtendedX10},
    {451, 451, AwaitExtendedX10},  {518, 518, StartX10Send},        {519, 519, AwaitX10Sent},
    {520, 520, StartEventReports}, {521, 521, AwaitEventReportsOn}, {522, 524, ReadEventByte},
    {525, 525, ShowEvent},         {526, 526, StopEventReports},    {527, 527, AwaitEventReportsOff},
};

}  // namespace

std::span<const StateEntry> X10States() { return kStates; }

void CommsEngine::ShowX10Event(Byte house, Byte key) {
  View.AddListLine(CommsList::X10Events, platform::FormatText("Received X10 %2d/%2d", house, key));
}

}  // namespace controller
