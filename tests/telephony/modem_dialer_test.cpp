// The modem dialer: attempts, redials, cycling, extending, aborting, and the handlers it borrows.
#include "telephony/modem_dialer.h"

#include <gtest/gtest.h>

#include "modem_test_support.h"
#include "serial/lk_exception.h"

namespace telephony_test {
namespace {

using namespace telephony;
using testing_support::SimDialOutcome;
using Lines = std::vector<std::string>;

// A dialer on a modem on the simulated modem's port, with the application's own handlers in place.
struct DialerOnLine : ModemLine {
  DialerOnLine() {
    modem.SetComPort(&port);
    modem.SetDelayFactor(1);
    modem.SetOnModemConnect([this](tk::Component*) { app.Add("connect"); });
    modem.SetOnModemBusy([this](tk::Component*) { app.Add("busy"); });
    port.SetOnTriggerTimer([this](tk::Component*, std::uint32_t h) { app.Add("timer " + std::to_string(h)); });
    dialer.SetModem(&modem);
    dialer.SetPhoneNumber("5550100");
    auto note = [this](const char* what) { return [this, what](tk::Component*) { log.Add(what); }; };
    dialer.OnDialStart = note("DialStart");
    dialer.OnConnect = note("Connect");
    dialer.OnConnectionEstablished = note("Established");
    dialer.OnBusy = note("Busy");
    dialer.OnNoDialTone = note("NoDialTone");
    dialer.OnRetryStart = note("RetryStart");
    dialer.OnRetryEnd = note("RetryEnd");
    dialer.OnCycleDial = note("CycleDial");
    dialer.OnTooManyTries = note("TooManyTries");
    dialer.OnDialTimedOut = note("TimedOut");
    dialer.OnGotLineSpeed = [this](tk::Component*, std::int32_t speed) { log.Add("Speed " + std::to_string(speed)); };
    dialer.OnDialCount = [this](tk::Component*, std::uint16_t n) { log.Add("Count " + std::to_string(n)); };
  }
  bool Finished() {
    return Until([&] { return !dialer.Dialing(); }, 8000ms);
  }
  TLkModem modem{nullptr};
  TLkModemDialer dialer{nullptr};
};

TEST(ModemDialer, AConnectionOnTheFirstAttemptGivesBackWhatItBorrowed) {
  DialerOnLine line;
  line.dialer.Dial();
  EXPECT_TRUE(line.dialer.Dialing());
  ASSERT_TRUE(line.Finished());
  EXPECT_EQ(line.dialer.Result(), drConnected);
  EXPECT_EQ(line.log.Lines(), (Lines{"DialStart", "Connect", "Speed 9600", "Established"}));
  EXPECT_EQ(line.app.Count("connect"), 1u);  // the application's handler ran in the dialer's time too
  line.app.Clear();
  line.modem.OnModemConnect()(nullptr);
  line.port.OnTriggerTimer()(nullptr, 77);
  EXPECT_EQ(line.app.Lines(), (Lines{"connect", "timer 77"}));
}

TEST(ModemDialer, ABusyLineIsRedialledUntilTooManyTries) {
  DialerOnLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Busy));
  line.dialer.SetMaxDialTries(3);
  line.dialer.SetRetrySecs(1);
  // The port's own timer triggers keep reaching its own handler meanwhile.
  const std::int32_t own = line.port.AddTimerTrigger();
  line.port.SetTimerTrigger(own, 30, true);
  line.dialer.Dial();
  ASSERT_TRUE(line.Finished());
  EXPECT_EQ(line.dialer.Result(), drFailed);
  EXPECT_EQ(line.sim.Dialled().size(), 3u);
  EXPECT_EQ(line.log.Lines(), (Lines{"DialStart", "Busy", "RetryStart", "RetryEnd", "DialStart", "Busy", "RetryStart",
                                     "RetryEnd", "DialStart", "Busy", "TooManyTries"}));
  EXPECT_EQ(line.app.Count("busy"), 3u);
  EXPECT_TRUE(line.app.Has("timer " + std::to_string(own)));
}

TEST(ModemDialer, OptionsChooseWhichResultsEndTheDialingAtOnce) {
  struct Case {
    SimDialOutcome outcome;
    TDialerOptions options;
    const char* event;
    bool stops;
  } cases[] = {
      {SimDialOutcome::NoDialTone, kDefaultDialerOptions, "NoDialTone", true},
      {SimDialOutcome::NoDialTone, 0, "NoDialTone", false},
      {SimDialOutcome::Busy, DialerOptionBit(mdAbortOnBusy), "Busy", true},
      {SimDialOutcome::Busy, kDefaultDialerOptions, "Busy", false},
  };
  for (const Case& c : cases) {
    DialerOnLine line;
    line.sim.SetDefaultDial(Result(c.outcome));
    line.dialer.SetDialerOptions(c.options);
    line.dialer.Dial();
    ASSERT_TRUE(Until([&] { return line.log.Has(c.event); })) << c.event;
    Pass(50ms);
    EXPECT_EQ(line.dialer.Dialing(), !c.stops) << c.event;
    EXPECT_EQ(line.log.Has("RetryStart"), !c.stops) << c.event;
    if (c.stops) {
      EXPECT_EQ(line.dialer.Result(), drFailed);
    } else {
      line.dialer.Abort();
    }
  }
}

TEST(ModemDialer, CycleWhileWaitingToRedialDialsAtOnce) {
  DialerOnLine line;
  line.sim.ScriptDial("5550100", {Result(SimDialOutcome::Busy), Result(SimDialOutcome::Connect)});
  line.dialer.Dial();
  ASSERT_TRUE(Until([&] { return line.dialer.Retrying(); }));
  line.dialer.Cycle();
  EXPECT_FALSE(line.dialer.Retrying());
  ASSERT_TRUE(line.Finished());  // well within the 60 seconds of the wait
  EXPECT_EQ(line.dialer.Result(), drConnected);
  EXPECT_EQ(line.log.Lines(), (Lines{"DialStart", "Busy", "RetryStart", "RetryEnd", "DialStart", "Connect",
                                     "Speed 9600", "Established"}));
}

TEST(ModemDialer, CycleDuringAnAttemptCancelsItAndMayGoOneAttemptPastTheLimit) {
  DialerOnLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Silent));
  line.dialer.SetMaxDialTries(1);
  line.dialer.Dial();
  ASSERT_TRUE(Until([&] { return line.sim.Dialled().size() == 1; }));
  line.dialer.Cycle();
  EXPECT_FALSE(line.modem.IsAttemptingConnect());
  ASSERT_TRUE(Until([&] { return line.sim.Dialled().size() == 2; }));
  line.dialer.Cycle();
  EXPECT_FALSE(line.dialer.Dialing());
  EXPECT_EQ(line.dialer.Result(), drFailed);
  EXPECT_EQ(line.log.Lines(), (Lines{"DialStart", "CycleDial", "DialStart", "TooManyTries"}));
}

TEST(ModemDialer, ExtendAddsToTheRunningAttempt) {
  DialerOnLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Silent));
  line.modem.SetDialTimeout(3);
  line.dialer.Dial();
  ASSERT_TRUE(Until([&] { return line.log.Has("Count 2"); }));
  line.dialer.Extend(5);
  ASSERT_TRUE(Until([&] { return line.log.Lines().size() == 3; }));
  EXPECT_EQ(line.log.Lines().back(), "Count 6");
  line.dialer.Abort();
  EXPECT_EQ(line.dialer.Result(), drFailed);
  EXPECT_FALSE(line.modem.IsAttemptingConnect());
}

TEST(ModemDialer, MisuseIsRefused) {
  DialerOnLine line;
  for (auto call : {&TLkCustomModemDialer::Cycle, &TLkCustomModemDialer::Abort})
    EXPECT_THROW((line.dialer.*call)(), serial::ENotDialing);
  EXPECT_THROW(line.dialer.Extend(5), serial::ENotDialing);
  line.sim.SetDefaultDial(Result(SimDialOutcome::Silent));
  line.dialer.Dial();
  EXPECT_THROW(line.dialer.Dial(), serial::EAlreadyDialing);
  line.dialer.Abort();

  TLkModemDialer alone(nullptr);
  EXPECT_THROW(alone.Dial(), serial::EModemNotAssigned);
  TLkModem portless(nullptr);
  alone.SetModem(&portless);
  EXPECT_THROW(alone.Dial(), serial::EPortNotAssigned);
}

TEST(ModemDialer, LinksToTheOwnersModemAndForgetsItWhenItGoes) {
  tk::Component form(nullptr);
  TLkModemDialer before(&form);  // there before the modem: linked when it comes
  auto* modem = new TLkModem(&form);
  TLkModemDialer after(&form);
  EXPECT_EQ(before.Modem(), modem);
  EXPECT_EQ(after.Modem(), modem);
  delete modem;
  EXPECT_EQ(before.Modem(), nullptr);
  EXPECT_EQ(after.Modem(), nullptr);
}

}  // namespace
}  // namespace telephony_test
