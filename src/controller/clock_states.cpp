// Setting the controller's clock from the PC, and reading it back: shown in the log, or silently to
// build the flash-load argument that every flash write carries.
#include <algorithm>
#include <cstdio>

#include "controller/name_tables.h"
#include "controller/state_tables.h"
#include "platform/clock.h"

namespace controller {

namespace {

// A controller whose clock keeps answering badly never gives a flash argument: after this many bad reads
// the flash downloads waiting for one are dropped, instead of re-reading the clock on every idle pass.
constexpr int BadClockReadsBeforeDrop = 3;
// Replies of the connection kept to agree with a later one.
constexpr std::size_t MaxClockKeys = 9;

void SetClock(CommsEngine& e) {
  e.SetStep("Setting Controller RTC");
  e.AddLogLine("Setting Controller RTC");
  const platform::LocalTime now = e.Clock.Now();
  FillClockFrame(e.FrameBuffer, {now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second, now.DayOfWeek});
  e.SendClockFrame();
  e.CommState = 531;
}

void AwaitClockSet(CommsEngine& e) {
  if (e.AwaitAnswer("Clock Set", "Waiting for Response") == CommsEngine::Answer::Pending) return;
  e.SetClockRequest = 0;
  e.ReloadClock = 0;
}

void ReadClock(CommsEngine& e) {
  e.SendCommandFrame(CmdReadClock);
  e.CommState = 541;
}

void AwaitClock(CommsEngine& e) {
  if (!e.AwaitReply(ClockReplySize, "Waiting for Response")) return;
  const auto& f = e.FrameBuffer;
  std::string text = "Bad RTC Data";
  if (f[8] < 7) {
    char line[96];
    std::snprintf(line, sizeof line, "Controller Clock: %s, %02d/%02d/%02d  %02d:%02d", DayNames()[f[8]].c_str(), f[4],
                  f[5], f[3], f[6], f[7]);
    text = line;
    // The controller's flash key rides in the clock reply; 0 would mean "none yet", so it is never used.
    const std::uint16_t key = static_cast<std::uint16_t>(f[1] | f[2] << 8);
    auto& keys = e.ClockKeys;
    const bool confirmed = std::find(keys.begin(), keys.end(), key) != keys.end(), first = keys.empty();
    // A key agreeing with any earlier reply of the connection is trusted: one garbled reply between good
    // ones costs one read more, not two.
    if (confirmed) keys.clear();
    if (keys.size() == MaxClockKeys) keys.erase(keys.begin());
    keys.push_back(key);
    if (confirmed) {
      e.FlashArg = key == 0 ? 1 : key;
      e.BadClockReads = 0;
    } else if (e.ClockRequest == 2) {
      // A flash download waits for this key: the clock is read again before the key is used (a reply
      // whole on the tick that timed out is read again already). A first opinion costs no retry; one
      // that disagrees with the last is a retry.
      if (e.CommState == 541 && first) {
        e.RetryCount = 0;
        e.CommState = 540;
      } else if (e.CommState == 541) {
        e.CommsRetry("flash key");
      }
      return;
    }
  }
  e.CommState = 110;
  if (e.ClockRequest != 2) e.AddLogLine(text);
  const bool flashWaiting = e.FlashArg == 0 && (e.ProgramDownloadRequest || e.IconLoadRequest);
  if (f[8] >= 7 && flashWaiting && ++e.BadClockReads >= BadClockReadsBeforeDrop) {
    if (e.ClockRequest == 2) e.AddLogLine(text);
    e.AddLogLine("Flash Download Cancelled: No Valid Controller Clock");
    e.ProgramDownloadRequest = 0;
    e.IconLoadRequest = 0;
    e.BadClockReads = 0;
  }
  e.ClockRequest = 0;
  e.UserClockRead = 0;
  e.RetryCount = 0;
}

constexpr StateEntry kStates[] = {
    {530, 530, SetClock},
    {531, 531, AwaitClockSet},
    {540, 540, ReadClock},
    {541, 541, AwaitClock},
};

}  // namespace

std::span<const StateEntry> ClockStates() { return kStates; }

}  // namespace controller
