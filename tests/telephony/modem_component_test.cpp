// The modem component: its events, its start and stop with the port, and its failures as exceptions.
#include "telephony/modem_component.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "modem_test_support.h"
#include "serial/lk_exception.h"
#include "support/fake_serial_device.h"

namespace telephony_test {
namespace {

using namespace telephony;
using testing_support::SimDialOutcome;
using Lines = std::vector<std::string>;

struct ModemOnLine : ModemLine {
  explicit ModemOnLine(bool open = true) : ModemLine(open) {
    modem.SetComPort(&port);
    modem.SetTildeDelay(1);
    modem.SetDelayFactor(1);
    modem.SetOnModemEvent([this](tk::Component*, TModemStatus status, std::int32_t data) {
      log.Add("Event " + std::to_string(status) + " " + std::to_string(data));
    });
  }
  bool Logged(const Lines& expected, std::chrono::milliseconds deadline = 5000ms) {
    return Until([&] { return log.Lines().size() >= expected.size(); }, deadline) && log.Lines() == expected;
  }
  TLkModem modem{nullptr};
};

TEST(ModemComponent, ADialThatConnectsRaisesItsEventsInOrderOffTheWindowThread) {
  ModemOnLine line;
  std::atomic<bool> onWindowThread{false};
  const auto windowThread = std::this_thread::get_id();
  line.modem.SetOnModemConnect([&](tk::Component* sender) {
    EXPECT_EQ(sender, &line.modem);
    onWindowThread = onWindowThread || std::this_thread::get_id() == windowThread;
    line.log.Add("Connect");
  });
  line.modem.SetOnGotLineSpeed(
      [&](tk::Component*, std::int32_t speed) { line.log.Add("Speed " + std::to_string(speed)); });
  line.modem.SetOnModemIsConnected([&](tk::Component*) { line.log.Add("Connected"); });
  line.modem.Dial("5550100");
  EXPECT_TRUE(line.modem.Started());
  EXPECT_TRUE(line.Logged({"Connect", "Event 1 0", "Speed 9600", "Event 7 9600", "Connected", "Event 16 0"}));
  EXPECT_FALSE(onWindowThread);
  EXPECT_EQ(line.modem.GetConnectSpeed(), 9600);
  EXPECT_EQ(line.sim.Commands(), Lines{"ATDT5550100"});
}

TEST(ModemComponent, CommandProcessedCarriesTheOutcome) {
  struct Case {
    const char* command;
    TModemStatus outcome;
  } cases[] = {{"ATZ^M", msModemOK}, {"ATX9^M", msModemError}, {"ATI^M", msCmdTimeout}};
  for (const Case& c : cases) {
    ModemOnLine line;
    line.sim.RefuseCommand("X9");
    line.sim.IgnoreCommand("ATI");
    line.modem.SetCmdTimeout(5);
    line.modem.SetOnCommandProcessed([&](tk::Component*, TModemStatus status, std::int32_t data) {
      line.log.Add("Processed " + std::to_string(status) + " " + std::to_string(data));
    });
    line.modem.PutCommand(c.command);
    line.modem.WaitOnResponse();
    const std::string outcome = std::to_string(c.outcome);
    EXPECT_TRUE(Until([&] { return line.log.Lines().size() == 3; })) << c.command;
    EXPECT_EQ(line.log.Lines(), (Lines{"Event " + outcome + " 0", "Processed " + outcome + " 0",
                                       "Event " + std::to_string(msCommandProcessed) + " " + outcome}))
        << c.command;
  }
}

TEST(ModemComponent, AStringCannotChangeWhileACommandWaits) {
  ModemOnLine line;
  line.sim.IgnoreCommand("ATI");
  line.modem.SetCmdTimeout(4);
  line.modem.PutCommand("ATI^M");
  EXPECT_THROW(line.modem.SetInitCmd("AT&F^M"), serial::EModemBusy);
  EXPECT_EQ(line.modem.InitCmd(), "ATZ^M");
  line.modem.WaitOnResponse();
  line.modem.SetInitCmd("AT&F^M");
  line.modem.Initialize();
  line.modem.WaitOnResponse();
  EXPECT_EQ(line.sim.Commands(), (Lines{"ATI", "AT&F"}));
  // Strings are cut to their field's length.
  line.modem.SetOkMsg(std::string(30, 'K'));
  EXPECT_EQ(line.modem.OkMsg(), std::string(21, 'K'));
}

TEST(ModemComponent, OperationsNeedAPortThatIsOrCanBeOpen) {
  TLkModem lone(nullptr);
  EXPECT_THROW(lone.Dial("1"), serial::EPortNotAssigned);

  ModemOnLine line(false);
  line.port.SetAutoOpen(false);
  try {
    line.modem.Dial("1");
    ADD_FAILURE() << "dialled on a closed port";
  } catch (const serial::ECommNotOpen& e) {
    EXPECT_EQ(e.ErrorCode, -2007);
  }
  EXPECT_FALSE(line.modem.Started());
  EXPECT_FALSE(line.port.Open());
  // A port that opens itself does so for the first operation.
  line.port.SetAutoOpen(true);
  line.modem.Initialize();
  EXPECT_TRUE(line.port.Open());
  EXPECT_TRUE(line.modem.Started());
}

TEST(ModemComponent, ClosingThePortStopsTheModemAndTheNextOperationStartsItAgain) {
  ModemOnLine line;
  line.modem.Initialize();
  line.modem.WaitOnResponse();
  ASSERT_TRUE(line.modem.Started());
  line.port.SetOpen(false);
  EXPECT_FALSE(line.modem.Started());
  line.port.SetOpen(true);
  line.log.Clear();
  line.modem.Initialize();
  line.modem.WaitOnResponse();
  EXPECT_TRUE(line.Logged({"Event 0 0", "Event 18 0"}));
}

TEST(ModemComponent, LockDteKeepsThePortRateAfterAConnect) {
  for (bool lock : {true, false}) {
    ModemOnLine line;
    line.modem.SetLockDTE(lock);
    line.sim.SetDefaultDial({SimDialOutcome::Connect, 2400, "", 10ms});
    line.modem.Dial("1");
    ASSERT_TRUE(Until([&] { return line.log.Has("Event 16 0"); })) << lock;
    std::uint32_t baud, parity, dataBits, stopBits;
    line.port.Dispatcher()->GetLine(baud, parity, dataBits, stopBits);
    EXPECT_EQ(serial::BaudOfCode(baud), lock ? 19200u : 2400u) << lock;
  }
}

TEST(ModemComponent, AHangupCommandOfDtrOrNothingDropsDtr) {
  FakeDevicePort line;
  serial::TLkComPort& port = line.port;
  testing_support::FakeSerialDevice*& fake = line.fake;
  TLkModem modem(nullptr);
  modem.SetComPort(&port);
  modem.SetDTRDropHold(2);
  for (const char* command : {"DTR", "dtr", ""}) {
    modem.SetHangupCmd(command);
    port.SetOpen(true);
    std::atomic<bool> sawLow{false}, stop{false};
    std::thread watch([&] {
      while (!stop)
        if (fake && !fake->Dtr()) sawLow = true;
    });
    modem.Hangup();
    stop = true;
    watch.join();
    EXPECT_TRUE(sawLow) << command;
    EXPECT_TRUE(fake->Dtr()) << command;
    EXPECT_TRUE(fake->TakeSent().empty()) << command;
    port.SetOpen(false);
  }
}

}  // namespace
}  // namespace telephony_test
