// The touch-screen and icon downloads against the simulated controller: the object table four records
// at a time between the touch screen's stop and start, then its restart; the icon image compiled and
// flashed whole into banks 0x5A..0x65 after the clock read that gives the flash-load argument.
#include <algorithm>

#include "engine_fixture.h"

namespace controller::test {
namespace {

using testing_support::IsControlBlock;
using testing_support::SimFrame;
using testing_support::SimFrameKind;

// Index in `frames` of the first frame that `match` accepts; frames.size() when none does.
std::size_t FirstFrame(const std::vector<SimFrame>& frames, const std::function<bool(const SimFrame&)>& match) {
  return static_cast<std::size_t>(std::find_if(frames.begin(), frames.end(), match) - frames.begin());
}

class TouchDownloadTest : public EngineTest {
 protected:
  TouchDownloadTest() {
    TouchObject button;
    button.Type = TouchButton;
    button.Page = 1;
    button.X = 0xAB;
    button.Text = "Lights";
    for (int record : {1, 2, 255, 300}) {
      button.ObjectNumber = static_cast<std::uint16_t>(record);
      project.Touch.SetObject(record, button);
    }
    project.Touch.SetBacklightOffDelay(30);
  }
  bool Downloaded() { return view.Logged("Touchscreen Data Downloaded OK"); }
};

TEST_F(TouchDownloadTest, SendsTheFirst256RecordsFourAtATimeAndRestarts) {
  Connect();
  engine.RequestTouchLoad();
  ASSERT_TRUE(RunToState(908, 400)) << "state " << engine.CommState;

  const auto stored = sim.TouchObjects();
  const auto sent = project.Touch.DownloadImage();
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), stored.begin()));
  EXPECT_EQ(stored[300 * 64], 0) << "records above 255 stay in the project";
  const auto stores = sim.Commands(CmdStoreTouch);
  ASSERT_EQ(stores.size(), 64u);
  for (std::size_t n = 0; n < stores.size(); ++n)
    EXPECT_EQ(stores[n].Args[0] | stores[n].Args[1] << 8, static_cast<int>(4 * n));

  const auto frames = sim.Frames();
  const std::size_t stop =
      FirstFrame(frames, [](const SimFrame& f) { return IsControlBlock(f) && f.Args[1] == TouchStopHeader.A2; });
  const std::size_t firstStore =
      FirstFrame(frames, [](const SimFrame& f) { return f.Kind == SimFrameKind::Command && f.Code == CmdStoreTouch; });
  EXPECT_LT(stop, firstStore) << "the touch screen is stopped first";
  EXPECT_EQ(sim.ControlStarts(), 1);
  EXPECT_TRUE(testing_support::IsStartBlock(frames.back()));

  EXPECT_EQ(view.Cell(CommsGrid::Dump, 0, 0), "ff") << "the first block, lower-case";
  EXPECT_EQ(view.Cell(CommsGrid::Dump, 6, 4), "ab") << "record 1's X";
  EXPECT_EQ(view.Meter.back(), 98);
  EXPECT_EQ(view.Texts[CommsText::Step], "Loading Touchscreen Object 252");
  EXPECT_TRUE(view.IsShown(CommsWindow::Restart));

  int waited = 0;
  while (engine.CommState == 908 && waited < 400) {
    Step();
    ++waited;
  }
  EXPECT_EQ(waited, 301);
  EXPECT_EQ(engine.CommState, 100) << "identified again";
  EXPECT_TRUE(Downloaded());
  EXPECT_FALSE(view.IsShown(CommsWindow::Restart));
  EXPECT_TRUE(sim.Faults().empty()) << sim.Faults().front();
}

TEST_F(TouchDownloadTest, RefusalsAreRetriedWithTheSameRecords) {
  expectedRetries = 3;  // the three refusals
  Connect();
  view.Detail = true;
  engine.RequestTouchLoad();
  ASSERT_TRUE(RunToState(901, 10));
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 903 && engine.BlockIndex == 8; }, 100));
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 905 && engine.BlockIndex == 20; }, 100));
  sim.NakNext(1);
  ASSERT_TRUE(RunToState(907, 400));

  const auto stored = sim.TouchObjects();
  const auto sent = project.Touch.DownloadImage();
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), stored.begin()));
  EXPECT_EQ(sim.Commands(CmdStoreTouch).size(), 64u);
  for (const char* line : {"Comms Retry retry STOP 902 RX0", "Comms Retry touchscreen load data 904 RX0",
                           "Comms Retry flash save 906 RX0"})
    EXPECT_TRUE(view.Logged(line)) << line;
}

class IconDownloadTest : public EngineTest {
 protected:
  IconDownloadTest() {
    for (std::size_t i = 0; i < icons.size(); ++i) icons[i] = static_cast<std::uint8_t>(i * 5 + 1);
    project.Icons = [this](std::span<std::uint8_t> buffer, project::CommsLog& log) {
      ++compiles;
      std::copy(icons.begin(), icons.end(), buffer.begin());
      log.AddLogLine("icons compiled");
    };
    sim.SetFlashKey(0x1234);
  }
  std::vector<std::uint8_t> icons = std::vector<std::uint8_t>(1300);
  int compiles = 0;
};

TEST_F(IconDownloadTest, FlashesAll192BlocksAfterTheClockRead) {
  expectedRetries = 1;  // the refusal
  Connect();
  std::fill(engine.ImageBuffer.begin(), engine.ImageBuffer.end(), 0x5A);  // left by an earlier transfer
  engine.FlashArg = 0;
  view.Detail = true;
  engine.RequestIconLoad();
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 1101 && engine.BlockIndex == 17; }, 100));
  sim.NakNext(1);
  ASSERT_TRUE(RunToState(110, 1000)) << "state " << engine.CommState;

  EXPECT_EQ(compiles, 1);
  EXPECT_TRUE(view.Logged("icons compiled"));
  const auto image = sim.IconImage();
  ASSERT_EQ(image.size(), 192u * 256u);
  EXPECT_TRUE(std::equal(icons.begin(), icons.end(), image.begin()));
  EXPECT_TRUE(std::all_of(image.begin() + static_cast<std::ptrdiff_t>(icons.size()), image.end(), [](auto b) {
    return b == 0;
  })) << "nothing of an earlier transfer follows the icons";
  EXPECT_TRUE(view.Logged("Comms Retry flash load data 1102 RX0"));

  const auto loads = sim.Commands(CmdFlashLoad);
  ASSERT_EQ(loads.size(), 192u);
  const struct {
    std::size_t Load;
    int Bank, Block;
  } layout[] = {{0, 0x5A, 0}, {15, 0x5A, 15}, {16, 0x5B, 0}, {17, 0x5B, 1}, {191, 0x65, 15}};
  for (const auto& l : layout) {
    EXPECT_EQ(loads[l.Load].Args[0], l.Bank) << l.Load;
    EXPECT_EQ(loads[l.Load].Args[1], l.Block) << l.Load;
  }
  EXPECT_EQ(sim.FlashArgMismatches(), 0);
  EXPECT_TRUE(sim.Faults().empty()) << sim.Faults().front();

  const auto frames = sim.Frames();
  const std::size_t clockRead =
      FirstFrame(frames, [](const SimFrame& f) { return f.Kind == SimFrameKind::Command && f.Code == CmdReadClock; });
  const std::size_t firstBlock =
      FirstFrame(frames, [](const SimFrame& f) { return f.Kind == SimFrameKind::Block && f.Address == AddrStaging; });
  EXPECT_LT(clockRead, firstBlock) << "the flash-load argument is read first";

  EXPECT_EQ(view.Cell(CommsGrid::Dump, 2, 0), "0B") << "the first block, upper-case";
  EXPECT_EQ(view.Texts[CommsText::Step], "Bank 65, Block 15");
  EXPECT_EQ(view.Meter.back(), 99);
  EXPECT_FALSE(view.IsShown(CommsWindow::Meter));
}

// Nothing answers an icon block's flash load: while the device still holds it, the next block's send would
// discard it. The engine moves on once it has gone.
TEST_F(IconDownloadTest, AFlashLoadHeldInTheDeviceIsNotDiscardedByTheNextSend) {
  using Hold = serial::test::HeldTty::Hold;
  serial::test::HeldTty* tty = nullptr;
  serial::test::UseHeldTty(port, tty);
  Connect();
  engine.RequestIconLoad();
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 1103 && engine.BlockIndex == 20; }, 200));
  const int loads = sim.FlashLoads(), sends = view.Sends;
  tty->SetHold(Hold::InDevice);
  engine.Tick();  // the flash load
  ASSERT_TRUE(
      serial::test::WaitFor([&] { return port.OutBuffUsed() == 0 && tty->HeldInDevice() == CommandFrameSize; }));
  for (int tick = 0; tick < 3; ++tick) engine.Tick();
  EXPECT_EQ(engine.CommState, 1104);
  EXPECT_EQ(view.Sends, sends + 1) << "nothing sent while the flash load waits";
  tty->SetHold(Hold::None);
  ASSERT_TRUE(sim.WaitUntil([&] { return sim.FlashLoads() == loads + 1 && port.OutputDrained(); }));
  ASSERT_TRUE(RunToState(110, 1000));
  EXPECT_EQ(sim.FlashLoads(), 192);
  const auto image = sim.IconImage();
  EXPECT_TRUE(std::equal(icons.begin(), icons.end(), image.begin()));
}

// The line drops halfway through a transfer: the connection ends once, with its message and no success, and
// the transfer is told cut short, never "not sent".
struct Unplugged {
  const char* Name;
  const char* Told;
  void (*Ask)(CommsEngine&);
  int SendState;
  std::uint16_t CommsEngine::*Done;
  int Halfway;
};
const Unplugged kUnplugged[] = {
    {"Touch", "Touch Screen Download", [](CommsEngine& e) { e.RequestTouchLoad(); }, 903, &CommsEngine::BlockIndex, 40},
    {"Icons", "Icon Download", [](CommsEngine& e) { e.RequestIconLoad(); }, 1101, &CommsEngine::BlockIndex, 40},
    {"AsciiToAModule", "ASCII Messages", [](CommsEngine& e) { e.RequestAsciiTable(3); }, 802,
     &CommsEngine::FileReadCount, 30},
};

void PrintTo(const Unplugged& u, std::ostream* out) { *out << u.Name; }

class UnplugTest : public IconDownloadTest, public ::testing::WithParamInterface<Unplugged> {};

TEST_P(UnplugTest, AnUnplugHalfwayEndsTheConnection) {
  const Unplugged& u = GetParam();
  Connect();
  u.Ask(engine);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == u.SendState && engine.*u.Done == u.Halfway; }, 2000));
  ASSERT_TRUE(HangUpSeen());
  ASSERT_TRUE(RunToState(0, 40)) << "state " << engine.CommState;
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_TRUE(view.Logged(std::string(u.Told) + " cut short"));
  for (const std::string& line : view.Log) EXPECT_FALSE(line.ends_with(" not sent")) << line;
  EXPECT_FALSE(view.Logged("Touchscreen Data Downloaded OK"));
  EXPECT_FALSE(view.IsShown(CommsWindow::Restart));
  EXPECT_FALSE(port.Open());
}

INSTANTIATE_TEST_SUITE_P(Transfers, UnplugTest, ::testing::ValuesIn(kUnplugged),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace controller::test
