// The engine identifies the controller and polls its modules, asks about an old executive once no box is
// open, and retries what the line spoils: time-outs, bad checks, the ninth retry that ends the connection.
#include "controller/comms_engine.h"

#include <functional>

#include "engine_fixture.h"
#include "support/serial_port_helpers.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using platform::MsgResult;

TEST_F(EngineTest, IdentifiesTheControllerAndPollsItsModules) {
  sim.SetModule(1, 5, 7);
  sim.SetModule(3, 14, 2);
  sim.SetIoWord(1, 0x8005);
  sim.SetFirmwareSubNumber(3);
  sim.SetTableAddresses(0x9000, 0x9100);
  Connect();
  EXPECT_EQ(engine.FirmwareVersion, 820);
  EXPECT_EQ(engine.AppVersion, 400);
  EXPECT_EQ(engine.TimerTableAddress, 0x9000);
  EXPECT_EQ(engine.VariableTableAddress, 0x9100);
  EXPECT_EQ(engine.IoStates[0], 0x8005u);
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 19, 1), "32773");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 3, 1), "ON");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 4, 1), "OFF");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 18, 1), "ON");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 3, 2), "") << "an empty slot gets no ON/OFF cells";
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 0, 128), "128");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 3, 0), "I/O# 0");

  engine.UpdateStatusPanel();
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 1, 1), "Lurcan-T");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 2, 1), "  7");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 1, 3), "Murmex");
  EXPECT_EQ(view.Cell(CommsGrid::Modules, 1, 2), "");
  EXPECT_EQ(view.Texts[CommsText::Firmware], "Firmware: V8.20/3");
  EXPECT_EQ(view.Texts[CommsText::Application], "Application: V4.00");
  EXPECT_EQ(view.Texts[CommsText::Date], "Mar 04 2007");

  // Idle, the poll cycle repeats.
  const std::size_t before = sim.Commands(0).size() + sim.Frames().size();
  ASSERT_TRUE(RunUntil([&] { return sim.Frames().size() >= before + 3; }, 40));
  EXPECT_EQ(sim.LastFrame()->Address, AddrIoStates);
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(EngineTest, AnOldExecutiveAsksOncePerIdentificationWhetherToLoadTheNewOne) {
  testing_support::TempDir data;
  testing_support::WriteFile(data.File("FLASH512.BIN"), std::string(300, 'x'));
  settings.CurrentDirectory = data.Path().string();
  sim.SetAppVersion(317);
  Ui().QueueAnswer(MsgResult::Ok);
  Connect();
  EXPECT_EQ(Ui().Messages(),
            std::vector<std::string>{"Warning! Your Controller does not have the latest exec code.. Load Now?"});
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_EQ(engine.ReloadExecRequest, 1);
  EXPECT_TRUE(view.Logged("Download Controller Program Command"));
}

// A box the user has open (one a request window showed) keeps the engine's own question back: the engine
// waits in the identification, tick after tick, and asks once no box is open, so the Return meant for the box
// never answers it.
TEST_F(EngineTest, TheUpdateWarningWaitsUntilNoBoxIsOpen) {
  const std::string box = "Clock Set not sent: the last one asked has not ended yet";
  testing_support::TempDir data;
  testing_support::WriteFile(data.File("FLASH512.BIN"), std::string(300, 'x'));
  settings.CurrentDirectory = data.Path().string();
  sim.SetAppVersion(317);
  engine.CommState = 1;
  Ui().WhileAsked([&] {
    ASSERT_TRUE(RunUntil([&] { return engine.AppVersion == 317; }, 100));
    RunUntil([] { return false; }, 20);  // longer than a time-out
    EXPECT_EQ(engine.CommState, 101);
  });
  Ui().ShowMessage(box);
  Ui().QueueAnswer(MsgResult::Ok);
  ASSERT_TRUE(RunToState(114, 100));
  EXPECT_EQ(Ui().Messages(),
            (std::vector<std::string>{box, "Warning! Your Controller does not have the latest exec code.. Load Now?"}));
  EXPECT_EQ(engine.ReloadExecRequest, 1);
}

TEST_F(EngineTest, RetriesAreLoggedOnlyWhileErrorsIsTicked) {
  expectedRetries = 2;  // the two frames ignored
  Connect();
  sim.IgnoreNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 1; }, 60));
  EXPECT_EQ(CountLog(view, "Comms Retry"), 0);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 0; }, 60)) << "a good reply clears the count";

  view.Detail = true;
  sim.IgnoreNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 1; }, 60));
  EXPECT_EQ(view.Log.front(), "Comms Retry    timeout 113 RX0");
}

TEST_F(EngineTest, TheNinthRetryInARowDisconnectsWithLostConnection) {
  expectedRetries = 9;
  Connect();
  view.Detail = true;
  sim.IgnoreNext(1000);
  ASSERT_TRUE(RunToState(0, 400));
  EXPECT_EQ(CountLog(view, "Comms Retry"), 9);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_EQ(Ui().Asked().back().Caption, "Comms Error");
  EXPECT_TRUE(view.TimerStopped);
  EXPECT_TRUE(view.IsShown(CommsWindow::Editor));
  EXPECT_FALSE(port.Open());
}

// A reconnection starts with retries of its own: one asked at once after a noisy exchange still has all of
// them for its identification.
TEST_F(EngineTest, AReconnectionStartsWithItsOwnRetries) {
  Connect();
  ASSERT_TRUE(RunToState(112, 20));
  sim.IgnoreNext(5);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 5 && engine.CommState == 112; }, 100));
  engine.Attach();
  ASSERT_EQ(engine.CommState, 1);
  sim.IgnoreNext(4);
  expectedRetries = 9;
  ASSERT_TRUE(RunToState(114, 200)) << engine.CommState;
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(EngineTest, ABadCrcIsRetriedAsSuch) {
  expectedRetries = 1;  // the bad check
  Connect();
  view.Detail = true;
  sim.CorruptNextBlockReplies(1);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 1; }, 20));
  EXPECT_EQ(view.Log.front(), "Comms Retry        crc 113 RX0");
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 0 && engine.CommState == 114; }, 20));
}

// A reply that is whole on the twelfth wait tick is taken: the time-out's retry is counted, but the
// exchange goes on instead of sending the frame again.
TEST_F(EngineTest, AReplyWholeOnTheTwelfthWaitTickIsTaken) {
  expectedRetries = 2;  // the time-out of each case
  using testing_support::SimBytes;
  const auto blockReply = [](const SimBytes& request) {
    SimBytes reply(request.begin(), request.begin() + BlockDataOffset);
    reply.resize(BlockReplySize - 2);
    const std::uint16_t crc = Crc16(reply, BlockReplySize - 3);
    reply.push_back(static_cast<Byte>(crc & 0xFF));
    reply.push_back(static_cast<Byte>(crc >> 8));
    return reply;
  };
  const struct {
    const char* What;
    std::function<void()> Request;
    int Wait, Next;
    std::function<SimBytes(const SimBytes&)> Reply;
  } cases[] = {
      {"I/O poll", [] {}, 113, 114, blockReply},
      {"relay", [&] { engine.RelayRequest = 2; }, 581, 110,
       [](const SimBytes&) {
         return SimBytes{Ack, 0, 0};
       }},
  };
  Connect();
  view.Detail = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    c.Request();
    ASSERT_TRUE(RunToState(c.Wait - 1, 40));
    sim.IgnoreNext(1);
    for (int tick = 0; tick < 12; ++tick) Step();  // the send and eleven ticks of waiting
    ASSERT_EQ(engine.CommState, c.Wait);
    const std::size_t frames = sim.ReceivedCount();
    const SimBytes reply = c.Reply(sim.LastFrame()->Bytes);
    sim.Push(reply);
    ASSERT_TRUE(serial::test::PumpIn(port, static_cast<std::int32_t>(reply.size())));
    Step();
    EXPECT_EQ(engine.CommState, c.Next);
    EXPECT_EQ(engine.RetryCount, 0);
    EXPECT_EQ(sim.ReceivedCount(), frames) << "nothing sent again";
    EXPECT_EQ(view.Log.front().rfind("Comms Retry    timeout", 0), 0u);
  }
}

// The ninth retry in a row ends the connection, even when the answer becomes whole on that very tick: the
// state does not move on after it, and the transfer told cut short is not then done.
class NinthRetryTest : public EngineTest {
 protected:
  NinthRetryTest() { sim.DriveLineClock(); }
};

TEST_F(NinthRetryTest, AnAnswerOnTheTickOfTheNinthRetryDoesNotMoveTheStateOn) {
  Connect();
  engine.RequestTouchLoad();
  ASSERT_TRUE(RunToState(901, 20)) << engine.CommState;
  // The stop block is lost eight times; its ninth sending is answered on the tick of its time-out.
  sim.IgnoreNext(8);
  ASSERT_TRUE(RunUntil([&] { return engine.RetryCount == 8 && engine.CommState == 901; }, 200))
      << engine.CommState << " " << engine.RetryCount;
  sim.AnswerNextLate(std::chrono::milliseconds(12 * 250));
  ASSERT_TRUE(RunToState(0, 40)) << engine.CommState;
  EXPECT_TRUE(view.Logged("Touch Screen Download cut short"));
  EXPECT_FALSE(view.Logged("Touchscreen Data Downloaded OK"));
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_EQ(sim.Commands(CmdStoreTouch).size(), 0u);
  expectedRetries = 9;
}

// A retry while the user closes, on the tick the answer is whole, takes the answer: the close ends the
// connection as the user's, with no "Lost Connection".
TEST_F(NinthRetryTest, AnAnswerOnTheTickOfARetryWhileTheUserClosesIsTaken) {
  Connect();
  ASSERT_TRUE(RunToState(112, 20));
  sim.AnswerNextLate(std::chrono::milliseconds(12 * 250));
  Step();
  engine.CloseRequest = 1;
  ASSERT_TRUE(RunToState(0, 40)) << engine.CommState;
  EXPECT_TRUE(Ui().Messages().empty()) << Ui().Messages().front();
  expectedRetries = 1;
}

}  // namespace
}  // namespace controller::test
