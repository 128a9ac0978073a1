// The maintenance operations and the timer and variable debugger against the simulated controller:
// relay, auto-addressing, memory dump, raw command, the debug grid's refresh and a change.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "controller/raw_command_request.h"
#include "engine_fixture.h"

namespace controller::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::SimFrame;
using testing_support::SimFrameKind;

class MaintenanceTest : public EngineTest {
 protected:
  // Presses the next module's button and lets the engine take the number.
  void PressButton(int expected) {
    const std::size_t lines = view.Log.size();
    ASSERT_EQ(sim.PressModuleButton(), expected);
    ASSERT_TRUE(serial::test::PumpIn(port, 1));
    // A lone byte may be the start of a late answer: it waits two ticks for the rest.
    ASSERT_TRUE(RunUntil([&] { return view.Log.size() > lines; }, 3));
    ASSERT_EQ(view.Log.size(), lines + 1);
    EXPECT_EQ(view.Log.front(), "Addressed Module " + std::to_string(expected));
  }
  std::vector<SimFrame> FramesWithCode(std::uint8_t code) const {
    std::vector<SimFrame> found;
    for (const SimFrame& f : sim.Frames())
      if (f.Kind == SimFrameKind::Command && f.Code == code) found.push_back(f);
    return found;
  }
  std::vector<std::uint16_t> RequestedAddresses(std::size_t fromFrame = 0) const {
    std::vector<std::uint16_t> found;
    const auto frames = sim.Frames();
    for (std::size_t i = fromFrame; i < frames.size(); ++i)
      if (frames[i].Kind == SimFrameKind::Request) found.push_back(frames[i].Address);
    return found;
  }
  static std::array<std::uint8_t, 3> Args3(const SimFrame& f) { return {f.Args[0], f.Args[1], f.Args[2]}; }
};

TEST_F(MaintenanceTest, ARelayRequestSwitchesThatPointAndIsCleared) {
  Connect();
  engine.RelayPoint = 3;
  engine.RelayOn = 1;
  engine.RelayRequest = 5;
  ASSERT_TRUE(RunUntil([&] { return engine.RelayRequest == 0 && engine.CommState == 110; }, 40));
  const auto relays = sim.Commands(CmdRelay);
  ASSERT_EQ(relays.size(), 1u);
  EXPECT_EQ(relays[0].Bytes, (Bytes{0xC8, 0x33, 5, 3, 1, 0, 0, 0x04}));
  EXPECT_TRUE(sim.Relay(5, 3));
}

TEST_F(MaintenanceTest, ARefusedRelayCommandIsNotRetried) {
  Connect();
  view.Detail = true;
  sim.NakNext(1);
  engine.RelayRequest = 2;
  ASSERT_TRUE(RunUntil([&] { return engine.RelayRequest == 0 && engine.CommState == 110; }, 40));
  EXPECT_EQ(FramesWithCode(CmdRelay).size(), 1u);
  EXPECT_EQ(engine.RetryCount, 0);
  EXPECT_TRUE(std::none_of(view.Log.begin(), view.Log.end(), [](auto& l) { return l.rfind("Comms Retry", 0) == 0; }));
}

// The bytes come under the address the controller read them from. Address 0 is read like any other.
TEST_F(MaintenanceTest, TheDumpShowsTheBlockAtTheLow16BitsOfItsAddress) {
  const struct {
    std::int32_t Address;
    std::uint16_t Sent;
  } cases[] = {{0, 0x0000}, {0x1234, 0x1234}, {-256, 0xFF00}, {70000, 4464}, {0x10000, 0x0000}};
  Connect();
  for (const auto& c : cases) {
    Bytes block(256);
    for (int i = 0; i < 256; ++i) block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + c.Sent);
    sim.Write(c.Sent, block);
    const std::size_t from = sim.Frames().size();
    engine.DumpAddress = c.Address;
    engine.DumpRequest = 1;
    ASSERT_TRUE(RunUntil([&] { return engine.DumpRequest == 0 && engine.CommState == 110; }, 40)) << c.Address;
    std::vector<std::uint16_t> asked = RequestedAddresses(from);
    std::erase(asked, AddrIoStates);
    EXPECT_EQ(asked, std::vector<std::uint16_t>{c.Sent}) << c.Address;
    for (int i : {0, 17, 255}) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", block[static_cast<std::size_t>(i)]);
      EXPECT_EQ(view.Cell(CommsGrid::Dump, i % 16, i / 16), hex) << c.Address << " byte " << i;
    }
    EXPECT_EQ(view.Texts[CommsText::DumpAddress], std::to_string(c.Sent));
  }
  // The request frame of the last one is in the log as the sender wrote it.
  const auto frame = RequestFrame(0x0000);
  char line[64];
  std::snprintf(line, sizeof line, "%2x, %2x, %2x, %2x, %2x, %2x, %2x, %2x", frame[0], frame[1], frame[2], frame[3],
                frame[4], frame[5], frame[6], frame[7]);
  EXPECT_TRUE(view.Logged(line)) << line;
}

// "Next Block" while the last block's answer is coming: that block shows under its own address, and the
// next is read after it. A time-out's retry asks for the address first sent again: the block that comes may
// be the first send's, late.
TEST_F(MaintenanceTest, ADumpAskedWhileOneIsAnsweredIsReadAfterIt) {
  const std::uint16_t first = 0x2000, next = 0x2100;
  sim.Write(first, Bytes(256, 0x11));
  sim.Write(next, Bytes(256, 0x22));
  const struct {
    const char* How;
    bool Lost;
    std::vector<std::uint16_t> Asked;
  } cases[] = {{"answered", false, {first, next}}, {"its answer lost", true, {first, first, next}}};
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.How);
    view.Texts[CommsText::DumpAddress].clear();
    const std::size_t from = sim.Frames().size();
    engine.DumpAddress = first;
    engine.DumpRequest = 1;
    ASSERT_TRUE(RunToState(550, 40));
    if (c.Lost) {
      sim.IgnoreNext(1);
      expectedRetries += 1;
    }
    Step();
    engine.DumpAddress = next;
    ASSERT_TRUE(RunUntil([&] { return !view.Texts[CommsText::DumpAddress].empty(); }, 40));
    EXPECT_EQ(view.Texts[CommsText::DumpAddress], std::to_string(first));
    EXPECT_EQ(view.Cell(CommsGrid::Dump, 0, 0), "11");
    ASSERT_TRUE(RunUntil([&] { return engine.DumpRequest == 0 && engine.CommState == 110; }, 40));
    EXPECT_EQ(view.Texts[CommsText::DumpAddress], std::to_string(next));
    EXPECT_EQ(view.Cell(CommsGrid::Dump, 15, 15), "22");
    std::vector<std::uint16_t> asked = RequestedAddresses(from);
    std::erase(asked, AddrIoStates);
    EXPECT_EQ(asked, c.Asked);
  }
}

// A press brings the module's number alone. The number looked for counts, and so does a later one (the
// controller went on from a press the engine missed): the count follows it. A late answer to the search
// command (a byte and 00 00, whatever the byte), a number below the one looked for, or a byte that is no
// module number is no press. An answer may come in parts ticks apart (a modem link buffers).
TEST_F(MaintenanceTest, APressOfTheNumberLookedForOrALaterOneCountsAndTheCountFollowsIt) {
  const struct {
    int LookedFor;
    std::vector<Bytes> Parts;  // a tick apart; an empty part is a tick with nothing
    int Given;                 // the number the engine counts as given, 0 for none
  } cases[] = {{1, {{Ack, 0, 0, 2}}, 2},
               {6, {{Ack, 0, 0}}, 0},
               {5, {{0x05, 0, 0}}, 0},
               {21, {{Nak, 0, 0}}, 0},
               {21, {{Nak, 0}, {0}}, 0},
               {21, {{Nak}, {0}, {0}}, 0},
               {21, {{Nak}, {}, {0, 0}}, 0},
               {3, {{5}}, 5},
               {3, {{3}}, 3},
               {3, {{2}}, 0},
               {3, {{200}}, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.LookedFor * 1000 + c.Given);
    Connect();
    view.Log.clear();
    engine.AutoAddressRequest = c.LookedFor;
    ASSERT_TRUE(RunToState(592, 40));
    int pushed = 0;
    for (const Bytes& part : c.Parts) {
      if (pushed) Step();
      if (part.empty()) continue;
      sim.Push(part);
      pushed += static_cast<int>(part.size());
      ASSERT_TRUE(serial::test::PumpIn(port, pushed));
    }
    for (int tick = 0; tick < 4; ++tick) Step();
    EXPECT_EQ(port.InBuffUsed(), 0);
    const int next = c.Given ? c.Given + 1 : c.LookedFor;
    EXPECT_EQ(view.Texts[CommsText::AutoAddressCaption], "Looking for Module " + std::to_string(next));
    EXPECT_EQ(
        std::count_if(view.Log.begin(), view.Log.end(), [](auto& l) { return l.rfind("Addressed Module", 0) == 0; }),
        c.Given ? 1 : 0);
    if (c.Given) {
      EXPECT_TRUE(view.Logged("Addressed Module " + std::to_string(c.Given)));
    }
    engine.AbortRequest = 1;
    ASSERT_TRUE(RunToState(135, 20));
    EXPECT_EQ(sim.Parameter(3), next - 1);
    ASSERT_TRUE(RunToState(114, 600));
  }
}

// The search command's answer is three bytes: a press that reaches the port with it, after it or before
// it (the search crossed the press on the line), is the addressing wait's, as the search starts and after
// "&Skip".
TEST_F(MaintenanceTest, APressThatComesWithTheSearchCommandsAnswerCounts) {
  for (const bool afterSkip : {false, true})
    for (const bool pressFirst : {false, true}) {
      SCOPED_TRACE(afterSkip * 2 + pressFirst);
      Connect();
      view.Log.clear();
      engine.AutoAddressRequest = 4;
      if (afterSkip) {
        ASSERT_TRUE(RunToState(592, 40));
        engine.SkipRequest = 1;
      }
      ASSERT_TRUE(RunToState(590, 40));
      const int pressed = afterSkip ? 5 : 4;
      if (pressFirst) {
        sim.IgnoreNext(1);  // its answer comes late, after the press
        Step();
        ASSERT_EQ(engine.CommState, 591);
        sim.Push({static_cast<Byte>(pressed), Ack, 0, 0});
      } else {
        Step();  // the search command out and its answer in the port
        ASSERT_EQ(engine.CommState, 591);
        ASSERT_EQ(sim.PressModuleButton(), pressed);
      }
      ASSERT_TRUE(serial::test::PumpIn(port, AckReplySize + 1));
      ASSERT_TRUE(RunUntil([&] { return view.Logged("Addressed Module " + std::to_string(pressed)); }, 6));
      EXPECT_EQ(view.Texts[CommsText::AutoAddressCaption], "Looking for Module " + std::to_string(pressed + 1));
      engine.AbortRequest = 1;
      ASSERT_TRUE(RunToState(135, 20));
      EXPECT_EQ(sim.Parameter(3), pressed);
      ASSERT_TRUE(RunToState(114, 600));
    }
}

// "Abort", "&Skip" or the window's close seen while bytes wait: a lone byte is a press and is told before
// they act, a byte followed by 00 is an answer and is dropped. A press that reaches the PC after Abort or
// the close was seen is told before the last number is; one after "&Skip" was seen, before its search goes
// out (the controller still gave the number skipped).
TEST_F(MaintenanceTest, WhatWaitsWhenAbortSkipOrTheCloseIsSeenIsSettledFirst) {
  enum class Act { Abort, Skip, Close };
  const struct {
    Act Does;
    bool Press;  // else a late refusal, 15 00
    bool Late;   // it arrives after the tick that saw the act
    int LookedFor;
    int Told;  // parameter 3 after Abort or the close; the number asked for next after Skip
  } cases[] = {{Act::Abort, true, false, 3, 3},    {Act::Skip, true, false, 3, 5},    {Act::Close, true, false, 3, 3},
               {Act::Abort, false, false, 21, 20}, {Act::Skip, false, false, 21, 22}, {Act::Abort, true, true, 6, 6},
               {Act::Close, true, true, 2, 2},     {Act::Skip, true, true, 3, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Does) * 4 + c.Press * 2 + c.Late);
    Connect();
    view.Log.clear();
    engine.AutoAddressRequest = c.LookedFor;
    ASSERT_TRUE(RunToState(592, 40));
    const auto arrive = [&] {
      if (c.Press) {
        ASSERT_EQ(sim.PressModuleButton(), c.LookedFor);
      } else {
        sim.Push({Nak, 0});
      }
      ASSERT_TRUE(serial::test::PumpIn(port, c.Press ? 1 : 2));
    };
    if (!c.Late) arrive();
    (c.Does == Act::Abort ? engine.AbortRequest : c.Does == Act::Skip ? engine.SkipRequest : engine.CloseRequest) = 1;
    Step();
    if (c.Late) {
      ASSERT_EQ(engine.CommState, c.Does == Act::Skip ? 590 : 593);
      arrive();
    }
    if (c.Does == Act::Skip) {
      ASSERT_TRUE(RunToState(592, 40));
      EXPECT_EQ(sim.Commands(CmdFindModule).back().Args[0], c.Told);
      engine.AbortRequest = 1;
    } else {
      ASSERT_TRUE(RunToState(135, 20));
      EXPECT_EQ(sim.Parameter(3), c.Told);
    }
    EXPECT_EQ(view.Logged("Addressed Module " + std::to_string(c.LookedFor)), c.Press);
    ASSERT_TRUE(RunToState(c.Does == Act::Close ? 0 : 114, 800));
  }
}

TEST_F(MaintenanceTest, AddressingTwoModulesThenAbortTellsTheLastNumberAndRestarts) {
  sim.SetParameter(3, 9);
  Connect();
  engine.AutoAddressRequest = 1;
  ASSERT_TRUE(RunToState(592, 40));
  EXPECT_TRUE(view.IsShown(CommsWindow::AutoAddressPanel));
  EXPECT_EQ(view.Texts[CommsText::AutoAddressCaption], "Looking for Module 1");
  EXPECT_EQ(FramesWithCode(CmdFindModule).size(), 1u);

  PressButton(1);
  EXPECT_EQ(view.Texts[CommsText::AutoAddressCaption], "Looking for Module 2");
  PressButton(2);
  EXPECT_EQ(view.Texts[CommsText::AutoAddressCaption], "Looking for Module 3");
  // The installer may take as long as they like: this wait has no time-out.
  for (int i = 0; i < 40; ++i) Step();
  EXPECT_EQ(engine.CommState, 592);
  EXPECT_EQ(engine.RetryCount, 0);

  engine.AbortRequest = 1;
  ASSERT_TRUE(RunToState(135, 20));
  const auto last = sim.Commands(CmdSetControllerParam);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(Args3(last[0]), (std::array<std::uint8_t, 3>{3, 0, 2}));
  EXPECT_EQ(sim.Parameter(3), 2);
  EXPECT_EQ(
      std::count_if(view.Log.begin(), view.Log.end(), [](auto& l) { return l.rfind("Addressed Module", 0) == 0; }), 2);
  EXPECT_EQ(FramesWithCode(CmdFindModule).size(), 1u) << "the controller goes on numbering by itself";
  EXPECT_EQ(engine.AutoAddressRequest, -1);
  EXPECT_EQ(engine.AbortRequest, 0);
  EXPECT_FALSE(view.IsShown(CommsWindow::AutoAddressPanel));
}

TEST_F(MaintenanceTest, SkipLeavesTheNumberFreeAndAsksForTheNext) {
  Connect();
  engine.AutoAddressRequest = 4;
  ASSERT_TRUE(RunToState(592, 40));
  engine.SkipRequest = 1;
  Step();
  EXPECT_EQ(engine.SkipRequest, 0);
  ASSERT_TRUE(RunToState(592, 40));
  const auto finds = sim.Commands(CmdFindModule);
  ASSERT_EQ(finds.size(), 2u);
  EXPECT_EQ(finds[0].Args[0], 4);
  EXPECT_EQ(finds[1].Args[0], 5);
  EXPECT_EQ(view.Texts[CommsText::AutoAddressCaption], "Looking for Module 5");
  PressButton(5);

  engine.AbortRequest = 1;
  ASSERT_TRUE(RunToState(135, 20));
  EXPECT_EQ(Args3(sim.Commands(CmdSetControllerParam).back()), (std::array<std::uint8_t, 3>{3, 0, 5}));
}

// Whatever crosses the write that tells the controller its last number (a lost write and its retry, a
// press before or after the answer, a late answer in two parts), with Abort or the user's close, the
// controller ends told the number it gave, and the log names each module given.
TEST_F(MaintenanceTest, TheControllerIsToldTheLastNumberItGave) {
  const struct {
    const char* What;
    bool Close;
    int At;       // where the line brings what follows: 594 as the write waits, 593 as it goes again
    bool Press;   // the controller, still addressing, gives the next number
    Bytes Now;    // bytes the line brings then
    Bytes Later;  // and a tick later
    int Told;
  } cases[] = {{"retried", false, 593, false, {}, {}, 2},
               {"retried, closed", true, 593, false, {}, {}, 2},
               {"a press while unanswered", false, 594, true, {}, {}, 3},
               {"a press while unanswered, closed", true, 594, true, {}, {}, 3},
               {"a press as the write goes again", false, 593, true, {}, {}, 3},
               {"a late answer in two parts", false, 593, false, {Ack}, {0, 0}, 2},
               {"a press before the answer", false, 594, false, {3, Ack, 0, 0}, {}, 3},
               {"a press after the answer, closed", true, 594, false, {Ack, 0, 0, 3}, {}, 3}};
  const auto push = [&](const Bytes& bytes) {
    const int before = port.InBuffUsed();
    sim.Push(bytes);
    ASSERT_TRUE(serial::test::PumpIn(port, before + static_cast<int>(bytes.size())));
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Connect();
    view.Log.clear();
    engine.AutoAddressRequest = 1;
    ASSERT_TRUE(RunToState(592, 40));
    PressButton(1);
    PressButton(2);
    sim.IgnoreNext(1);
    expectedRetries += c.At == 593;  // the write timed out
    (c.Close ? engine.CloseRequest : engine.AbortRequest) = 1;
    ASSERT_TRUE(RunToState(594, 3));
    if (c.At == 593) {
      ASSERT_TRUE(RunToState(593, 20));
    } else if (c.Press) {
      Step();
    }
    if (c.Press) {
      ASSERT_EQ(sim.PressModuleButton(), 3);
      ASSERT_TRUE(serial::test::PumpIn(port, 1));
    }
    if (!c.Now.empty()) push(c.Now);
    if (!c.Later.empty()) {
      Step();
      push(c.Later);
    }
    ASSERT_TRUE(RunToState(135, 40));
    EXPECT_EQ(sim.Parameter(3), c.Told);
    for (int m = 1; m <= c.Told; ++m) EXPECT_TRUE(view.Logged("Addressed Module " + std::to_string(m))) << m;
    EXPECT_FALSE(view.Logged("Addressed Module " + std::to_string(c.Told + 1)));
    EXPECT_FALSE(view.Logged("Last Module Number refused by the controller"));
    ASSERT_TRUE(RunToState(c.Close ? 0 : 114, 800));
    EXPECT_EQ(Ui().Messages().size(), 1u) << "only the restart's reminder";
    Ui().Clear();
  }
}

// Bytes that keep coming as the last-number write goes again hold it a few ticks at most.
TEST_F(MaintenanceTest, NoiseHoldsTheLastNumberWrittenAgainAFewTicksAtMost) {
  expectedRetries = 1;  // the write lost
  Connect();
  engine.AutoAddressRequest = 1;
  ASSERT_TRUE(RunToState(592, 40));
  PressButton(1);
  sim.IgnoreNext(1);
  engine.AbortRequest = 1;
  ASSERT_TRUE(RunToState(593, 40));
  ASSERT_TRUE(RunToState(594, 3));
  ASSERT_TRUE(RunToState(593, 20));
  const std::size_t writes = sim.Commands(CmdSetControllerParam).size();
  int ticks = 0;
  for (; sim.Commands(CmdSetControllerParam).size() == writes && ticks < 12; ++ticks) {
    const int before = port.InBuffUsed();
    sim.Push({0xEE});
    ASSERT_TRUE(serial::test::PumpIn(port, before + 1));
    Step();
  }
  EXPECT_LE(ticks, 4);
  ASSERT_TRUE(RunToState(135, 40));
  EXPECT_EQ(sim.Parameter(3), 1);
}

TEST_F(MaintenanceTest, HidingTheWindowEndsTheAddressingLikeAbort) {
  Connect();
  engine.AutoAddressRequest = 1;
  ASSERT_TRUE(RunToState(592, 40));
  PressButton(1);
  engine.CloseRequest = 1;
  ASSERT_TRUE(RunToState(135, 20));
  EXPECT_EQ(Args3(sim.Commands(CmdSetControllerParam).back()), (std::array<std::uint8_t, 3>{3, 0, 1}));
}

// The edits are read as Send is clicked: one that does not fit a byte asks for nothing.
TEST_F(MaintenanceTest, TheRawCommandSendsTheSixEditsWhenEachFitsAByte) {
  const struct {
    std::array<const char*, 6> Edits;
    Bytes Frame;  // none: refused
    const char* Message;
  } cases[] = {
      {{"300", "0", "0", "0", "0", "0"}, {}, "Command byte 1 must be a whole number from 0 to 255"},
      {{"53", "-1", "0", "0", "0", "0"}, {}, "Command byte 2 must be a whole number from 0 to 255"},
      {{"53", "0", "0", "0", "0", ""}, {}, "Command byte 6 must be a whole number from 0 to 255"},
      {{"53", "255", "x1", "0", "0", "0"}, {}, "Command byte 3 must be a whole number from 0 to 255"},
      {{"53", "0", "0", "0", "12abc", "0"}, {}, "Command byte 5 must be a whole number from 0 to 255"},
      {{"53", "0", " 7 ", "+2", "12", "255"}, {0xC8, 0x35, 0, 7, 2, 12, 255, 0x11}, ""},
  };
  Connect();
  for (const auto& c : cases) {
    const std::size_t from = sim.Frames().size();
    Ui().Clear();
    PostRawCommand(engine, [&](int i) { return std::string(c.Edits.at(static_cast<std::size_t>(i))); });
    ASSERT_TRUE(RunUntil([&] { return engine.RawCommandRequest == 0 && engine.CommState == 110; }, 40));
    const auto frames = sim.Frames();
    const auto raw = std::find_if(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(),
                                  [](const SimFrame& f) { return f.Kind == SimFrameKind::Command; });
    EXPECT_EQ(raw == frames.end() ? Bytes{} : raw->Bytes, c.Frame) << c.Message;
    EXPECT_EQ(Ui().Messages(), *c.Message ? std::vector<std::string>{c.Message} : std::vector<std::string>{});
  }
  EXPECT_FALSE(sim.InterpreterRunning()) << "0x35 stops the interpreter";
}

class TimerVarTest : public MaintenanceTest {
 protected:
  bool Refreshed() { return engine.CommState == 110 && !view.Cell(CommsGrid::TimerVars, 2, 256).empty(); }
};

TEST_F(TimerVarTest, TheRefreshFillsTimersAndBothVariableBlocks) {
  sim.SetTableAddresses(0x9000, 0x9100);
  sim.SetTimer(0, 0xFFFF);
  sim.SetTimer(63, 7);
  sim.SetTimer(64, 99);
  sim.SetVariable(0, 1);
  sim.SetVariable(127, 128);
  sim.SetVariable(128, 300);
  sim.SetVariable(255, 65534);
  Connect();
  engine.TimerVarMonitorRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return Refreshed(); }, 60));
  const struct {
    int Column, Row;
    const char* Text;
  } cells[] = {{1, 1, "65535"}, {1, 64, "7"},    {1, 65, ""},       {2, 1, "1"},
               {2, 128, "128"}, {2, 129, "300"}, {2, 256, "65534"}, {0, 129, ""}};
  for (const auto& c : cells)
    EXPECT_EQ(view.Cell(CommsGrid::TimerVars, c.Column, c.Row), c.Text) << c.Column << "," << c.Row;
  const auto asked = RequestedAddresses();
  for (std::uint16_t address : {0x9000, 0x9100, 0x9200})
    EXPECT_NE(std::find(asked.begin(), asked.end(), address), asked.end()) << address;

  // It starts again after each I/O poll.
  const std::size_t first = sim.Frames().size();
  ASSERT_TRUE(RunUntil([&] { return RequestedAddresses(first).size() >= 2; }, 20));
  EXPECT_EQ(RequestedAddresses(first), (std::vector<std::uint16_t>{AddrIoStates, 0x9000}));
}

TEST_F(TimerVarTest, AChangeGoesOutBeforeTheNextRefreshWhichShowsIt) {
  const struct {
    std::int32_t Number, Value, Kind;
    int Column, Row;
    std::array<std::uint8_t, 4> Args;
  } cases[] = {
      {199, 1234, 0, 2, 200, {199, 0xD2, 0x04, 0}},
      {5, 32000, 1, 1, 6, {5, 0x00, 0x7D, 1}},
      {255, 7, 0, 2, 256, {255, 7, 0, 0}},
  };
  Connect();
  engine.TimerVarMonitorRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return Refreshed(); }, 60));
  for (const auto& c : cases) {
    engine.ChangeDataValue = c.Value;
    engine.ChangeDataKind = c.Kind;
    engine.ChangeDataRequest = c.Number;
    const std::size_t from = sim.Frames().size();
    ASSERT_TRUE(
        RunUntil([&] { return view.Cell(CommsGrid::TimerVars, c.Column, c.Row) == std::to_string(c.Value); }, 80))
        << c.Number;
    const auto frames = sim.Frames();
    const auto change = std::find_if(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(),
                                     [](const SimFrame& f) { return f.Code == CmdChangeTimerVar; });
    const auto timers = std::find_if(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(),
                                     [&](const SimFrame& f) { return f.Address == engine.TimerTableAddress; });
    ASSERT_NE(change, frames.end());
    EXPECT_LT(change, timers);
    EXPECT_EQ((std::array<std::uint8_t, 4>{change->Args[0], change->Args[1], change->Args[2], change->Args[3]}),
              c.Args);
    EXPECT_EQ(engine.ChangeDataRequest, NoChangeData);
    EXPECT_EQ(engine.ChangeDataValue, NoChangeData);
    EXPECT_EQ(engine.ChangeDataKind, NoChangeData);
  }
  EXPECT_TRUE(view.Logged("Changing Data"));
  EXPECT_EQ(sim.Variable(199), 1234);
  EXPECT_EQ(sim.Timer(5), 32000);
}

TEST_F(TimerVarTest, AChangeWhoseAnswerIsLostIsSentAgainUnchanged) {
  expectedRetries = 1;  // the lost answer
  Connect();
  sim.IgnoreNext(1);
  engine.ChangeDataValue = 77;
  engine.ChangeDataKind = 0;
  engine.ChangeDataRequest = 10;
  ASSERT_TRUE(RunUntil([&] { return engine.ChangeDataRequest == NoChangeData && engine.CommState == 110; }, 60));
  const auto sent = FramesWithCode(CmdChangeTimerVar);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].Bytes, sent[1].Bytes);
  EXPECT_EQ(sim.Variable(10), 77);
  EXPECT_TRUE(sim.Faults().empty());
}

// The change on its way is cleared by its answer; one posted while it waits is another and goes out next.
TEST_F(TimerVarTest, AChangePostedWhileTheLastAwaitsItsAnswerIsSentToo) {
  Connect();
  engine.ChangeDataValue = 77;
  engine.ChangeDataKind = 0;
  engine.ChangeDataRequest = 10;
  ASSERT_TRUE(RunToState(711, 20));
  engine.ChangeDataValue = 88;
  engine.ChangeDataKind = 0;
  engine.ChangeDataRequest = 20;
  ASSERT_TRUE(RunUntil([&] { return engine.ChangeDataRequest == NoChangeData && engine.CommState == 110; }, 60));
  EXPECT_EQ(sim.Variable(10), 77);
  EXPECT_EQ(sim.Variable(20), 88);
  EXPECT_EQ(FramesWithCode(CmdChangeTimerVar).size(), 2u);
}

TEST_F(TimerVarTest, OnlyApplicationVersion250AndLaterIsRead) {
  for (int version : {249, 250}) {
    sim.SetAppVersion(version);
    Ui().QueueAnswer(platform::MsgResult::Cancel);  // the update question of an old executive
    Connect();
    engine.TimerVarMonitorRequest = 1;
    const std::size_t from = sim.Frames().size();
    std::vector<int> states;
    for (int i = 0; i < 30; ++i) {
      Step();
      states.push_back(engine.CommState);
    }
    const auto asked = RequestedAddresses(from);
    const bool read = std::find(asked.begin(), asked.end(), sim.TimerTableAddress()) != asked.end();
    EXPECT_EQ(read, version >= 250) << version;
    if (version < 250) {
      EXPECT_TRUE(asked.empty()) << "nothing is read, not even the I/O states";
      EXPECT_TRUE(std::all_of(states.begin(), states.end(), [](int s) { return s == 700 || s == 114; }));
    }
    engine.TimerVarMonitorRequest = 0;
  }
}

}  // namespace
}  // namespace controller::test
