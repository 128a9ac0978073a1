// The pager table, the ASCII table into the controller and to a module, and the voice and ASCII transmit
// command, against the simulated controller.
#include <algorithm>
#include <array>
#include <functional>
#include <numeric>

#include "controller/transmit_request.h"
#include "engine_fixture.h"

namespace controller::test {
namespace {

using testing_support::SimBytes;
using testing_support::SimFrame;
using testing_support::SimFrameKind;

std::vector<SimFrame> Blocks(const testing_support::SimController& sim) {
  std::vector<SimFrame> blocks;
  for (const SimFrame& f : sim.Frames())
    if (f.Kind == SimFrameKind::Block) blocks.push_back(f);
  return blocks;
}

// A text's first `width` bytes padded with zeros.
SimBytes Field(const std::string& text, std::size_t width) {
  SimBytes field(width, 0);
  std::copy_n(text.begin(), std::min(text.size(), width), field.begin());
  return field;
}

class PagerLoadTest : public EngineTest {
 protected:
  PagerLoadTest() {
    view.Inputs[CommsInput::PagerRow] = [this](int row) { return rows.at(static_cast<std::size_t>(row)); };
  }
  bool Loaded() { return engine.CommState == 110 && engine.PagerLoadRequest == 0; }
  SimBytes StoredRow(int row) { return sim.Read(static_cast<std::uint16_t>(0x7B00 + 64 * row), 64); }

  std::array<std::string, 16> rows;
};

TEST_F(PagerLoadTest, OnlyThePinFilledSendsFourBlocksStraightToTheTable) {
  sim.Write(0x7B00, SimBytes(1024, 0xEE));  // whatever was there before is overwritten
  rows[0] = "4711";
  Connect();
  engine.RequestPagerLoad();
  ASSERT_TRUE(RunUntil([&] { return Loaded(); }, 200));

  const auto blocks = Blocks(sim);
  ASSERT_EQ(blocks.size(), 4u);
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(blocks[b].Address, 0x7B00 + 256 * b);
    EXPECT_EQ(blocks[b].Args[1], 0) << "a direct block: no staging, no image";
    EXPECT_EQ(blocks[b].Data(), b == 0 ? Field("4711", 256) : SimBytes(256, 0)) << b;
  }
  EXPECT_EQ(sim.Read(0x7B00, 1024), Field("4711", 1024));
  EXPECT_TRUE(sim.Commands(CmdFlashLoad).empty());
  EXPECT_TRUE(sim.Faults().empty());
  EXPECT_TRUE(view.Logged("Sending 256 bytes to 7B00"));
  EXPECT_EQ(view.Log.front(), "Sending 256 bytes to 7E00");
}

TEST_F(PagerLoadTest, EachRowIsItsFirst64CharactersPaddedWithZeros) {
  const std::string seventy(70, 'x'), sixtyFour(64, 'y');
  rows[1] = seventy;
  rows[2] = sixtyFour;
  rows[3] = "Call home";
  rows[15] = "Last message";
  Connect();
  engine.RequestPagerLoad();
  ASSERT_TRUE(RunUntil([&] { return Loaded(); }, 200));
  EXPECT_EQ(StoredRow(1), Field(seventy, 64));
  EXPECT_EQ(StoredRow(2), Field(sixtyFour, 64)) << "no terminating zero";
  EXPECT_EQ(StoredRow(3), Field("Call home", 64));
  EXPECT_EQ(StoredRow(15), Field("Last message", 64));
}

TEST_F(PagerLoadTest, ARefusedBlockIsSentAgainAfterTheTimeout) {
  expectedRetries = 2;  // one refusal in each case
  for (int r = 0; r < 16; ++r) rows[static_cast<std::size_t>(r)] = "Row " + std::to_string(r);
  // The second block, and the last one: a refusal anywhere leaves the table incomplete.
  for (std::uint16_t refused : {0x7C00, 0x7E00}) {
    SCOPED_TRACE(refused);
    Connect();
    view.Detail = true;
    const std::size_t before = Blocks(sim).size();
    engine.RequestPagerLoad();
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 602 && engine.BlockIndex == refused; }, 100));
    sim.NakNext(1);
    ASSERT_TRUE(RunUntil([&] { return Loaded(); }, 200));

    std::vector<std::uint16_t> addresses;
    const auto blocks = Blocks(sim);
    for (std::size_t i = before; i < blocks.size(); ++i) addresses.push_back(blocks[i].Address);
    std::vector<std::uint16_t> expected = {0x7B00, 0x7C00, 0x7D00, 0x7E00};
    expected.insert(std::find(expected.begin(), expected.end(), refused), refused);
    EXPECT_EQ(addresses, expected);
    EXPECT_EQ(view.Log[0], "Sending 256 bytes to 7E00");
    EXPECT_TRUE(view.Logged("Comms Retry    timeout 603 RX0"));
    for (int r = 0; r < 16; ++r) EXPECT_EQ(StoredRow(r), Field(rows[static_cast<std::size_t>(r)], 64)) << r;
    EXPECT_EQ(engine.RetryCount, 0);
  }
}

class AsciiLoadTest : public EngineTest {
 protected:
  AsciiLoadTest() {
    for (int n = 0; n < 128; ++n) project.Ascii.SetText(n, "Message " + std::to_string(n));
  }
};

TEST_F(AsciiLoadTest, TheTableGoesToTheControllerEightMessagesABlock) {
  project.Ascii.SetText(9, std::string(40, 'w'));
  project.Ascii.SetText(10, "^013 escapes go as typed");
  project.Ascii.SetText(127, "");
  Connect();
  engine.RequestAsciiTable(0);
  ASSERT_TRUE(RunUntil([&] { return engine.AsciiTableRequest == 0 && engine.CommState == 110; }, 400));

  const auto stores = sim.Commands(CmdStoreAscii);
  ASSERT_EQ(stores.size(), 16u);
  for (int b = 0; b < 16; ++b) {
    EXPECT_EQ(stores[b].Args[0], b);
    SimBytes expected;
    for (int j = 0; j < 8; ++j) {
      const SimBytes field = Field(project.Ascii.Text(8 * b + j), 32);
      expected.insert(expected.end(), field.begin(), field.end());
    }
    EXPECT_EQ(sim.AsciiBlock(b), expected) << b;
  }
  const SimBytes second = sim.AsciiBlock(1).value_or(SimBytes(256));
  EXPECT_EQ(SimBytes(second.begin() + 32, second.begin() + 64), Field(std::string(32, 'w'), 32))
      << "a 40-character message is stored as its first 32";
  for (const SimFrame& block : Blocks(sim)) EXPECT_EQ(block.Address, AddrStaging);

  std::vector<std::string> sends;
  for (const std::string& line : view.Log)
    if (line.rfind("Sending ", 0) == 0) sends.insert(sends.begin(), line);
  ASSERT_EQ(sends.size(), 16u);
  EXPECT_EQ(sends.front(), "Sending 256 bytes to B387 - 8");
  EXPECT_EQ(sends.back(), "Sending 256 bytes to B387 - 128");
  EXPECT_EQ(view.Meter.front(), 0);
  EXPECT_EQ(view.Meter.back(), 93) << "the meter shows what was packed before each block";
  EXPECT_TRUE(sim.Faults().empty());
}

TEST_F(AsciiLoadTest, ARefusedTableBlockIsSentAgainBeforeItIsStored) {
  expectedRetries = 1;  // the refusal
  Connect();
  engine.RequestAsciiTable(0);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 612 && engine.FileReadCount == 24; }, 200));
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 110; }, 400));
  EXPECT_EQ(Blocks(sim).size(), 17u);
  EXPECT_EQ(sim.Commands(CmdStoreAscii).size(), 16u);
  const SimBytes third = sim.AsciiBlock(2).value_or(SimBytes(256));
  EXPECT_EQ(SimBytes(third.begin(), third.begin() + 32), Field("Message 16", 32));
}

// A refused store leaves the block in the staging area only: the store goes out again.
TEST_F(AsciiLoadTest, ARefusedStoreIsSentAgain) {
  expectedRetries = 3;  // one per refusal
  Connect();
  for (Byte refusal : Refusals) {
    SCOPED_TRACE(refusal);
    sim.SetRefusalByte(refusal);
    const std::size_t stores = sim.Commands(CmdStoreAscii).size();
    sim.RefuseCommand(CmdStoreAscii, 2);
    engine.RequestAsciiTable(0);
    ASSERT_TRUE(RunUntil([&] { return engine.AsciiTableRequest == 0 && engine.CommState == 110; }, 400));
    const auto stored = sim.Commands(CmdStoreAscii);
    ASSERT_EQ(stored.size() - stores, 16u);
    EXPECT_EQ(stored[stores + 1].Args[0], 1) << "the refused store, sent again";
  }
}

TEST_F(AsciiLoadTest, AModuleGetsEveryMessageWithAPauseAfterEachAndTheControllerIsIdentifiedAgain) {
  project.Ascii.SetText(3, std::string(40, 'q'));
  Connect();
  std::vector<int> states;
  engine.RequestAsciiTable(9);
  ASSERT_TRUE(RunUntil(
      [&] {
        states.push_back(engine.CommState);
        return engine.CommState == 100;
      },
      128 * 40));

  EXPECT_EQ(engine.RemoteAsciiModule, 0);
  const auto forwarded = sim.ForwardedAscii();
  ASSERT_EQ(forwarded.size(), 128u);
  for (int n = 0; n < 128; ++n) {
    EXPECT_EQ(forwarded[n].Module, 9);
    EXPECT_EQ(forwarded[n].Message, n);
  }
  EXPECT_EQ(forwarded[5].Text, "Message 5");
  EXPECT_EQ(forwarded[3].Text, std::string(32, 'q'));
  const auto commands = sim.Commands(CmdForwardAscii);
  EXPECT_EQ(commands[5].Args[0], 9);
  EXPECT_EQ(commands[5].Args[1], 5);

  // One message: the block, the forward, then 20 ticks for the module.
  const auto first = std::find(states.begin(), states.end(), 806);
  ASSERT_NE(first, states.end());
  const auto next = std::find(first, states.end(), 801);
  ASSERT_NE(next, states.end());
  std::vector<int> pause(first, next);
  std::vector<int> expected(21);
  std::iota(expected.begin(), expected.end(), 806);
  EXPECT_EQ(pause, expected);
  EXPECT_TRUE(std::none_of(std::find(states.begin(), states.end(), 800), states.end(), [](int s) { return s == 114; }))
      << "the idle state is not visited meanwhile";
  EXPECT_TRUE(view.Logged("Forwarding to command 127 to Mod 9"));
  EXPECT_TRUE(view.Logged("Sending 256 bytes to B387"));
  EXPECT_EQ(view.Texts[CommsText::Step], "Forwarding Remote ASCII# 127");
  EXPECT_TRUE(sim.Faults().empty());
}

TEST_F(AsciiLoadTest, ARefusedModuleMessageIsSentAgainWithItsTag) {
  expectedRetries = 2;  // the two refusals
  Connect();
  view.Detail = true;
  engine.RequestAsciiTable(4);
  ASSERT_TRUE(RunToState(802, 20));
  sim.NakNext(1);
  ASSERT_TRUE(RunToState(804, 20));
  EXPECT_TRUE(view.Logged("Comms Retry Ascii load data 803 RX0"));
  sim.NakNext(1);
  ASSERT_TRUE(RunToState(806, 20));
  EXPECT_TRUE(view.Logged("Comms Retry flash save 805 RX0"));
  const auto forwarded = sim.ForwardedAscii();
  ASSERT_EQ(forwarded.size(), 1u);
  EXPECT_EQ(forwarded[0].Text, "Message 0");
}

// A refusal with noise after it fills more of FrameBuffer than its 3 bytes: the block sent again is still
// the one queued, in each of the three loads that send a refused block again.
TEST_F(AsciiLoadTest, ABlockRefusedWithNoiseAfterItIsSentAgainAsQueued) {
  expectedRetries = 3;  // the pager and table blocks wait for their time-out; the module message retries
  view.Inputs[CommsInput::PagerRow] = [](int row) { return row == 0 ? std::string("4711") : std::string(); };
  const struct {
    const char* Load;
    std::function<void()> Request;
    int SendState, Done;
    std::function<SimBytes()> Stored;  // the first bytes the controller holds of the first block
    std::string Expected;
  } cases[] = {
      {"pager", [&] { engine.RequestPagerLoad(); }, 602, 110, [&] { return sim.Read(0x7B00, 4); }, "4711"},
      {"table", [&] { engine.RequestAsciiTable(0); }, 612, 110, [&] { return sim.AsciiBlock(0).value_or(SimBytes(9)); },
       "Message 0"},
      {"module", [&] { engine.RequestAsciiTable(4); }, 802, 806,
       [&] {
         const auto forwarded = sim.ForwardedAscii();
         return forwarded.empty() ? SimBytes() : SimBytes(forwarded[0].Text.begin(), forwarded[0].Text.end());
       },
       "Message 0"},
  };
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Load);
    c.Request();
    ASSERT_TRUE(RunToState(c.SendState, 20));
    sim.IgnoreNext(1);
    Step();
    sim.Push({Nak, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    ASSERT_TRUE(serial::test::PumpIn(port, 7));
    ASSERT_TRUE(RunToState(c.Done, 400));
    const SimBytes stored = c.Stored();
    EXPECT_EQ(std::string(stored.begin(), stored.begin() + std::min(stored.size(), c.Expected.size())), c.Expected);
  }
}

// "&Close" while a table goes out lets it run to its end, with its retries: neither the controller nor
// a module is left with a table half old, half new. Then the connection ends, with nothing to tell.
TEST_F(AsciiLoadTest, ATableRunningAtTheCloseRunsToItsEnd) {
  view.Inputs[CommsInput::PagerRow] = [](int row) { return "Row " + std::to_string(row); };
  // Counted from the row's start: the simulator keeps what earlier rows sent.
  int storedBefore = 0, forwardedBefore = 0, pagerBefore = 0;
  const auto stored = [&] { return static_cast<int>(sim.Commands(CmdStoreAscii).size()) - storedBefore; };
  const auto forwarded = [&] { return static_cast<int>(sim.ForwardedAscii().size()) - forwardedBefore; };
  const auto pagerBlocks = [&] {
    const auto blocks = Blocks(sim);
    return static_cast<int>(
               std::count_if(blocks.begin(), blocks.end(), [](const SimFrame& f) { return f.Address >= 0x7B00; })) -
           pagerBefore;
  };
  const struct {
    const char* What;
    std::function<void()> Ask;
    std::function<bool()> CloseWhen;
    bool RefusedAtTheClose;
    std::function<bool()> Whole;
  } cases[] = {
      {"table, after 3 blocks", [&] { engine.RequestAsciiTable(0); }, [&] { return stored() == 3; }, false,
       [&] {
         const SimBytes last = sim.AsciiBlock(15).value_or(SimBytes(256));
         return stored() == 16 && SimBytes(last.begin(), last.begin() + 32) == Field("Message 120", 32);
       }},
      {"table, after 8 blocks, the next refused", [&] { engine.RequestAsciiTable(0); }, [&] { return stored() == 8; },
       true, [&] { return stored() == 16; }},
      {"module, in the pause after 4 messages", [&] { engine.RequestAsciiTable(4); },
       [&] { return forwarded() == 4 && engine.CommState > 805; }, false, [&] { return forwarded() == 128; }},
      {"pager, after 1 block", [&] { engine.RequestPagerLoad(); }, [&] { return pagerBlocks() == 1; }, false,
       [&] { return pagerBlocks() == 4 && sim.Read(0x7B00 + 64 * 15, 64) == Field("Row 15", 64); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Connect();
    view.Log.clear();
    storedBefore = forwardedBefore = pagerBefore = 0;
    storedBefore = stored();
    forwardedBefore = forwarded();
    pagerBefore = pagerBlocks();
    c.Ask();
    ASSERT_TRUE(RunUntil(c.CloseWhen, 800));
    if (c.RefusedAtTheClose) {
      sim.NakNext(1);
      expectedRetries += 1;
    }
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 4000));
    EXPECT_TRUE(c.Whole());
    EXPECT_TRUE(Ui().Messages().empty());
    EXPECT_TRUE(std::none_of(view.Log.begin(), view.Log.end(), [](auto& l) { return l.ends_with(" not sent"); }));
    EXPECT_FALSE(port.Open());
  }
}

TEST_F(EngineTest, TransmitSendsTheModuleTheMessageAndWhatToDo) {
  const struct {
    const char* Module;
    const char* Message;
    int Limit;
    std::uint8_t Code;
    int Sent;  // -1: refused, nothing posted
  } cases[] = {
      {"7", "50", VoiceMessageLimit, TransmitRecord, 50},  {"7", "12", VoiceMessageLimit, TransmitPlay, 12},
      {"7", "70", VoiceMessageLimit, TransmitRecord, -1},  {"127", "127", AsciiMessageLimit, TransmitPlay, 127},
      {"127", "128", AsciiMessageLimit, TransmitPlay, -1}, {" 3 ", "+5", AsciiMessageLimit, TransmitPlay, 5},
      {" 3 ", "-5", AsciiMessageLimit, TransmitPlay, -1},  {"2", "abc", AsciiMessageLimit, TransmitPlay, -1},
      {"0", "5", AsciiMessageLimit, TransmitPlay, -1},     {"300", "5", AsciiMessageLimit, TransmitPlay, -1},
  };
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Module) + " / " + c.Message);
    const std::size_t before = sim.Commands(CmdVoiceTransmit).size();
    EXPECT_EQ(PostTransmitRequest(engine, c.Module, c.Message, c.Limit, c.Code), c.Sent >= 0);
    ASSERT_TRUE(RunUntil([&] { return engine.TransmitRequest == 0 && engine.CommState == 110; }, 40));
    const auto sent = sim.Commands(CmdVoiceTransmit);
    if (c.Sent < 0) {
      EXPECT_EQ(sent.size(), before);
      continue;
    }
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_EQ(sent.back().Args[0], std::stoi(c.Module));
    EXPECT_EQ(sent.back().Args[1], c.Sent);
    EXPECT_EQ(sent.back().Args[2], c.Code);
    EXPECT_EQ(view.Texts[CommsText::Step], "Waiting for Response");
  }
  const std::string voice = "Message# must be a whole number from 0 to 50";
  const std::string ascii = "Message# must be a whole number from 0 to 127";
  const std::string module = "Module# must be a whole number from 1 to 127";
  EXPECT_EQ(Ui().Messages(), (std::vector<std::string>{voice, ascii, ascii, ascii, module, module}));
}

}  // namespace
}  // namespace controller::test
