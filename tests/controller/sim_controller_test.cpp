// The simulated controller is test equipment: these check that what it answers is what a controller
// answers, since every engine test trusts it.
#include "support/sim_controller.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <thread>

#include "serial/win32_dispatcher.h"

namespace controller {
namespace {

using namespace std::chrono_literals;
using testing_support::SimBytes;
using testing_support::SimController;

// The PC's end of the line, opened raw as the port component opens it.
class PcEnd {
 public:
  explicit PcEnd(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios t{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &t) == 0) {
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~PcEnd() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Open() const { return fd_ >= 0; }
  template <class Bytes>
  void Send(const Bytes& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What arrives within the deadline, up to `count` bytes.
  SimBytes Take(std::size_t count, std::chrono::milliseconds deadline = 2s) {
    SimBytes got;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      std::uint8_t b[512];
      const ssize_t n = ::read(fd_, b, std::min(sizeof b, count - got.size()));
      if (n > 0) got.insert(got.end(), b, b + n);
    }
    return got;
  }

 private:
  int fd_;
};

SimBytes Bytes(std::span<const Byte> b) { return SimBytes(b.begin(), b.end()); }

SimBytes BlockFrame(const BlockHeader& header, Byte fill) {
  FrameBytes buffer{};
  for (int i = 0; i < BlockDataSize; ++i)
    buffer[static_cast<std::size_t>(BlockDataOffset + i)] = static_cast<Byte>(fill + i);
  CompleteBlockFrame(buffer, header);
  return SimBytes(buffer.begin(), buffer.begin() + BlockFrameSize);
}

const SimBytes kAck{6, 0, 0}, kNak{0x15, 0, 0};

struct SimControllerTest : testing::Test {
  void SetUp() override { ASSERT_TRUE(sim.Valid() && pc.Open()); }
  SimController sim;
  PcEnd pc{sim.SlavePath()};
};

TEST_F(SimControllerTest, AnswersARequestWithItsMemoryAndStoresWhatCommandsSet) {
  sim.SetModule(5, 11);
  pc.Send(RequestFrame(AddrModuleTypes));
  const SimBytes reply = pc.Take(BlockReplySize);
  ASSERT_EQ(reply.size(), static_cast<std::size_t>(BlockReplySize));
  EXPECT_TRUE(BlockReplyGood(reply));
  EXPECT_EQ(SimBytes(reply.begin(), reply.begin() + 6), (SimBytes{0x2A, 0, 0, 0x01, 0xB0, 0})) << "the header echoes";
  EXPECT_EQ(reply[BlockDataOffset + 4], 11);
  EXPECT_EQ(reply[BlockDataOffset + 5], 200) << "no module";

  pc.Send(CommandFrame(CmdSetControllerParam, 10, 0x12, 0x34));
  EXPECT_EQ(pc.Take(3), kAck);
  pc.Send(RequestFrame(AddrControllerParams));
  const SimBytes params = pc.Take(BlockReplySize);
  ASSERT_EQ(params.size(), static_cast<std::size_t>(BlockReplySize));
  EXPECT_EQ(params[BlockDataOffset + 20], 0x34) << "parameters are little-endian words";
  EXPECT_EQ(params[BlockDataOffset + 21], 0x12);
}

TEST_F(SimControllerTest, RefusesFramesWhoseCheckFails) {
  struct Case {
    const char* what;
    SimBytes frame;
    SimBytes answer;
  };
  SimBytes command = Bytes(CommandFrame(CmdSetControllerParam, 7, 0, 9));
  command[7] ^= 1;
  SimBytes block = BlockFrame(DirectHeader(0x7B00), 1);
  block[100] ^= 0x40;
  SimBytes request = Bytes(RequestFrame(AddrInfoBlock));
  request[7] ^= 1;
  const Case cases[] = {{"command", command, kNak}, {"block", block, kNak}, {"request", request, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto before = sim.ReceivedCount();
    pc.Send(c.frame);
    ASSERT_TRUE(sim.WaitUntilReceived(before + 1));
    EXPECT_FALSE(sim.LastFrame()->CheckGood);
    EXPECT_EQ(sim.LastFrame()->Answer, c.answer);
    if (!c.answer.empty()) {
      EXPECT_EQ(pc.Take(3), c.answer);
    }
  }
  EXPECT_EQ(sim.Parameter(7), 0) << "a refused frame does nothing";
  EXPECT_EQ(sim.Read(0x7B00, 1)[0], 0);
}

TEST_F(SimControllerTest, InjectedFaultsTakeTheNextAnswersOnly) {
  sim.NakNext(1);
  pc.Send(CommandFrame(CmdRelay, 2, 3, 1));
  EXPECT_EQ(pc.Take(3), kNak);
  EXPECT_FALSE(sim.Relay(2, 3)) << "refused: not done";
  pc.Send(CommandFrame(CmdRelay, 2, 3, 1));
  EXPECT_EQ(pc.Take(3), kAck);
  EXPECT_TRUE(sim.Relay(2, 3));
  EXPECT_EQ(sim.IoWord(2), 1 << 3);

  sim.CorruptNextBlockReplies(1);
  pc.Send(RequestFrame(AddrInfoBlock));
  EXPECT_FALSE(BlockReplyGood(pc.Take(BlockReplySize)));
  pc.Send(RequestFrame(AddrInfoBlock));
  EXPECT_TRUE(BlockReplyGood(pc.Take(BlockReplySize)));

  sim.IgnoreNext(1);
  const std::size_t taken = sim.ReceivedCount();
  pc.Send(CommandFrame(CmdStopInterpreter));
  ASSERT_TRUE(sim.WaitUntilReceived(taken + 1));
  EXPECT_TRUE(sim.LastFrame()->Ignored);
  EXPECT_TRUE(sim.InterpreterRunning());
  pc.Send(CommandFrame(CmdStopInterpreter));
  EXPECT_EQ(pc.Take(3), kAck) << "the first bytes since: the ignored frame was not answered";
  EXPECT_FALSE(sim.InterpreterRunning());
}

TEST_F(SimControllerTest, LateGarbledAndPacedAnswers) {
  using Clock = std::chrono::steady_clock;
  sim.GarbleNextReceived(1);
  pc.Send(CommandFrame(CmdRelay, 2, 3, 1));
  EXPECT_EQ(pc.Take(3), kNak);
  ASSERT_TRUE(sim.WaitUntilReceived(1));
  EXPECT_FALSE(sim.LastFrame()->CheckGood) << "a byte flipped on the way";
  EXPECT_FALSE(sim.Relay(2, 3));

  sim.SetReplyDelay(300ms);
  auto start = Clock::now();
  pc.Send(CommandFrame(CmdStartProgram));
  EXPECT_EQ(pc.Take(3), kAck);
  EXPECT_GE(Clock::now() - start, 300ms);
  sim.SetReplyDelay(0ms);

  // 264 bytes of 10 bits at 9600 baud: 275 ms on the line.
  sim.SetPacing(true);
  start = Clock::now();
  pc.Send(RequestFrame(AddrInfoBlock));
  const SimBytes reply = pc.Take(BlockReplySize, 3s);
  EXPECT_TRUE(BlockReplyGood(reply));
  EXPECT_GE(Clock::now() - start, 260ms);
}

// A driven line clock lets bytes out only as it reaches them: a paced reply partly at one step, the rest at
// the next, however long each step really takes.
TEST_F(SimControllerTest, DrivenLineClockSendsWhatIsDueOnly) {
  sim.DriveLineClock();
  sim.SetReplyDelay(1h);
  sim.SetPacing(true);
  pc.Send(RequestFrame(AddrInfoBlock));
  ASSERT_TRUE(sim.WaitUntilReceived(1));
  EXPECT_EQ(sim.BytesDue(), 0u);
  // 100 ms of a 9600-baud line: bytes 0..96 of the reply.
  sim.AdvanceLineClock(1h + 100ms);
  EXPECT_EQ(sim.BytesDue(), 97u);
  SimBytes reply = pc.Take(97);
  ASSERT_EQ(reply.size(), 97u);
  EXPECT_EQ(sim.BytesSent(), 97u) << "the rest is not due yet";
  sim.AdvanceLineClock(250ms);
  EXPECT_EQ(sim.BytesDue(), static_cast<std::size_t>(BlockReplySize));
  const SimBytes rest = pc.Take(BlockReplySize - 97);
  reply.insert(reply.end(), rest.begin(), rest.end());
  EXPECT_TRUE(BlockReplyGood(reply));
}

TEST_F(SimControllerTest, DropsNoiseThatStartsNoFrame) {
  SimBytes line{0x00, 0x55, 0xFF, 0x06};
  const auto frame = CommandFrame(CmdStartProgram);
  line.insert(line.end(), frame.begin(), frame.end());
  pc.Send(line);
  EXPECT_EQ(pc.Take(3), kAck);
  EXPECT_EQ(sim.NoiseBytes(), 4u);
  EXPECT_EQ(sim.Commands(CmdStartProgram).size(), 1u);
}

TEST_F(SimControllerTest, DropsAPartialFrameAfterASilence) {
  const auto request = RequestFrame(AddrInfoBlock);
  pc.Send(std::span(request).first(5));
  ASSERT_TRUE(sim.WaitUntil([&] { return sim.DroppedPartials() == 1; }));
  pc.Send(CommandFrame(CmdStartProgram));
  EXPECT_EQ(pc.Take(3), kAck) << "the command is not taken as the rest of the request";
  EXPECT_EQ(sim.ReceivedCount(), 1u);
}

TEST_F(SimControllerTest, FlashLoadsOnlyWithTheArgumentFromTheClockReply) {
  pc.Send(CommandFrame(CmdReadClock));
  const SimBytes clock = pc.Take(ClockReplySize);
  ASSERT_EQ(clock.size(), static_cast<std::size_t>(ClockReplySize));
  const int key = clock[1] + 256 * clock[2];
  EXPECT_EQ(key, sim.FlashKey());
  EXPECT_EQ(SimBytes(clock.begin() + 3, clock.end()), (SimBytes{7, 3, 4, 9, 5, 0})) << "yy mm dd hh mm, day";

  pc.Send(BlockFrame(StagingHeader, 0x40));
  EXPECT_EQ(pc.Take(3), kAck);
  const auto wrong = static_cast<std::uint16_t>(key ^ 0x0101);
  pc.Send(CommandFrame(CmdFlashLoad, 0x51, 3, static_cast<Byte>(wrong & 0xFF), static_cast<Byte>(wrong >> 8)));
  pc.Send(CommandFrame(CmdFlashLoad, 0x51, 3, static_cast<Byte>(key & 0xFF), static_cast<Byte>(key >> 8)));
  ASSERT_TRUE(sim.WaitUntilReceived(4));
  const auto frames = sim.Frames();
  EXPECT_TRUE(frames[2].Answer.empty() && frames[3].Answer.empty()) << "a flash load is never answered";
  EXPECT_EQ(sim.FlashArgMismatches(), 1);
  EXPECT_EQ(sim.Faults().size(), 1u);
  EXPECT_EQ(sim.FlashLoads(), 1);
  const SimBytes program = sim.ProgramImage();
  EXPECT_EQ(program[(12 + 3) * 256], 0x40) << "bank 0x51 holds program blocks 12..23";
  EXPECT_EQ(program[(12 + 3) * 256 + 255], static_cast<Byte>(0x40 + 255));
}

// What a controller cannot take is recorded, so that the engine's tests see it.
TEST_F(SimControllerTest, RecordsProtocolErrors) {
  const auto clock = [](int month, int hour, int weekday) {
    FrameBytes buffer{};
    FillClockFrame(buffer, {2007, month, 4, hour, 5, 7, 0});
    buffer[14] = static_cast<Byte>(weekday);
    CompleteClockFrame(buffer);
    return SimBytes(buffer.begin(), buffer.begin() + ClockFrameSize);
  };
  const SimBytes frames[] = {
      Bytes(RequestFrame(0, 1, 0x8F, 0xB7, 0)),
      Bytes(RequestFrame(0, 0, 0x8F, 0xB7, 1)),
      clock(13, 9, 0),
      clock(3, 24, 0),
      clock(3, 9, 7),
      Bytes(CommandFrame(CmdLearnIr, 5, 0, 120)),  // parameter 17 is 0
      Bytes(CommandFrame(CmdFlashLoad, 0x50, 0, 0, 0)),
  };
  std::size_t expected = 0;
  for (const SimBytes& frame : frames) {
    pc.Send(frame);
    ++expected;
    EXPECT_TRUE(sim.WaitUntil([&] { return sim.Faults().size() == expected; })) << sim.Frames().back().Describe();
  }
  EXPECT_EQ(sim.ClockFramesTaken(), 0);
}

TEST_F(SimControllerTest, RefusesAChosenCommandEveryTimeOrTheNthTime) {
  sim.RefuseCommand(CmdStartProgram, 2);
  sim.RefuseCommand(testing_support::SimStartBlock);
  for (const SimBytes& answer : {kAck, kNak, kAck}) {
    pc.Send(CommandFrame(CmdStartProgram));
    EXPECT_EQ(pc.Take(3), answer);
  }
  pc.Send(BlockFrame(StartHeader, 0));
  EXPECT_EQ(pc.Take(3), kNak);
  // Not the start block: a block no controller takes, refused as such and not on purpose.
  pc.Send(BlockFrame({1, 2, 0x00, 0x90, 2}, 0));
  EXPECT_EQ(pc.Take(3), kNak);
  EXPECT_EQ(sim.Injected().Refusals, 2);
  EXPECT_EQ(sim.Faults().size(), 1u);
  EXPECT_EQ(sim.ControlStarts(), 0);
  EXPECT_EQ(sim.Commands(CmdStartProgram).size(), 2u);
}

// Every refusal, asked for or the controller's own, starts with the byte chosen.
TEST_F(SimControllerTest, RefusesWithTheChosenByte) {
  sim.SetRefusalByte(0x95);
  sim.RefuseCommand(CmdStartProgram);
  sim.NakNext(1);  // passed over by the start refused already: the relay's
  SimBytes badSum = Bytes(CommandFrame(CmdRelay, 2, 3, 1));
  badSum[7] ^= 1;
  for (const SimBytes& frame : {Bytes(CommandFrame(CmdStartProgram)), Bytes(CommandFrame(CmdRelay, 2, 3, 1)), badSum,
                                Bytes(CommandFrame(0x99))}) {
    pc.Send(frame);
    EXPECT_EQ(pc.Take(3), (SimBytes{0x95, 0, 0})) << sim.LastFrame()->Describe();
  }
  EXPECT_FALSE(sim.Relay(2, 3));
}

// Counted: a frame refused by two switches once, a reply spoilt by two switches once; not counted: the
// controller's own refusals, a flash load that a drop passes over.
TEST_F(SimControllerTest, CountsWhatItInjectedOnPurpose) {
  std::size_t taken = 0;
  const auto send = [&](const SimBytes& frame) {
    pc.Send(frame);
    ASSERT_TRUE(sim.WaitUntilReceived(++taken));
  };
  const SimBytes relay = Bytes(CommandFrame(CmdRelay, 2, 3, 1));
  SimBytes badSum = relay;
  badSum[7] ^= 1;
  const std::uint16_t key = sim.FlashKey();
  const SimBytes flashLoad =
      Bytes(CommandFrame(CmdFlashLoad, 0x50, 0, static_cast<Byte>(key & 0xFF), static_cast<Byte>(key >> 8)));

  sim.RefuseCommand(CmdStartProgram);
  sim.NakNext(1);
  send(Bytes(CommandFrame(CmdStartProgram)));
  send(relay);  // NakNext's
  send(badSum);
  send(Bytes(CommandFrame(0x99)));
  sim.CorruptNextBlockReplies(1);
  sim.GarbleEveryNthReply(1);
  send(Bytes(RequestFrame(AddrInfoBlock)));
  sim.GarbleEveryNthReply(0);
  sim.DropEveryNthFrame(1);
  send(flashLoad);
  sim.IgnoreNext(1);
  send(flashLoad);
  send(relay);  // DropEveryNthFrame's
  sim.DropEveryNthFrame(0);
  sim.SilenceAfter(0);
  send(relay);
  const auto injected = sim.Injected();
  EXPECT_EQ((std::array{injected.Refusals, injected.Garbled, injected.Dropped, injected.Silenced}),
            (std::array{2, 1, 2, 1}))
      << "refusals, garbled, dropped, silenced";
  EXPECT_EQ(sim.FlashLoads(), 1);
}

// The periodic faults, over six relay commands: "A" acknowledged, "N" refused, "R" refused with 0x95, "G"
// garbled, "-" nothing. Each frame's answer is read once the simulator has taken it, as long as it said.
TEST_F(SimControllerTest, InjectsPeriodicFaults) {
  const struct {
    const char* What;
    std::function<void(SimController&)> Arm;
    std::string Answers;
    std::array<int, 4> Injected;  // refusals, garbled, dropped, silenced
    bool HangsUp;
  } cases[] = {
      {"every 3rd ack refused", [](SimController& s) { s.RefuseEveryNthAck(3); }, "AANAAN", {2, 0, 0, 0}, false},
      {"every 3rd ack refused with 0x95",
       [](SimController& s) {
         s.SetRefusalByte(0x95);
         s.RefuseEveryNthAck(3);
       },
       "AARAAR",
       {2, 0, 0, 0},
       false},
      {"every 4th reply garbled", [](SimController& s) { s.GarbleEveryNthReply(4); }, "AAAGAA", {0, 1, 0, 0}, false},
      {"every 5th frame dropped", [](SimController& s) { s.DropEveryNthFrame(5); }, "AAAA-A", {0, 0, 1, 0}, false},
      {"silence after 2", [](SimController& s) { s.SilenceAfter(2); }, "AA----", {0, 0, 0, 4}, false},
      {"hang-up after 2", [](SimController& s) { s.HangUpAfter(2); }, "AA-", {0, 0, 0, 0}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    SimController fresh;
    PcEnd end{fresh.SlavePath()};
    c.Arm(fresh);
    std::string answers;
    for (std::size_t i = 0; i < c.Answers.size(); ++i) {
      end.Send(CommandFrame(CmdRelay, 1, static_cast<Byte>(i), 1));
      ASSERT_TRUE(fresh.WaitUntilReceived(i + 1));
      const SimBytes got = end.Take(fresh.Frames()[i].Answer.size());
      answers += got == kAck                   ? 'A'
                 : got == kNak                 ? 'N'
                 : got == SimBytes{0x95, 0, 0} ? 'R'
                 : got == SimBytes{0x16, 0, 0} ? 'G'
                 : got.empty()                 ? '-'
                                               : '?';
    }
    EXPECT_EQ(answers, c.Answers);
    const auto injected = fresh.Injected();
    EXPECT_EQ((std::array{injected.Refusals, injected.Garbled, injected.Dropped, injected.Silenced}), c.Injected);
    EXPECT_TRUE(fresh.WaitUntil([&] { return fresh.HungUp() == c.HangsUp; }));
  }
}

TEST(SimControllerHangUp, ReachesThePortAsAnError) {
  SimController sim;
  ASSERT_TRUE(sim.Valid());
  ::setenv("ZELTA_COM47", sim.SlavePath().c_str(), 1);
  auto port = serial::TLkBaseDispatcher::Create<serial::TLkWin32Dispatcher>(nullptr);
  port->ManualPump = true;
  ASSERT_EQ(port->InitPort("COM47", 9600, 0, 8, 1, 1024, 1024, 0), 0);
  ::unsetenv("ZELTA_COM47");
  sim.HangUp();
  EXPECT_TRUE(sim.HungUp());
  const auto frame = CommandFrame(CmdStopInterpreter);
  ASSERT_EQ(port->PutBlock(frame.data(), CommandFrameSize), 0);
  EXPECT_LT(port->WriteOutput(), 0);
  EXPECT_FALSE(port->ExtractData());
}

}  // namespace
}  // namespace controller
