// The controller parameters and the module parameters against the simulated controller: the table read
// into the grid, a change sent through the command queue before the read, the module manager's gather,
// ready poll and block for every parameter, and the write of one module parameter.
#include <algorithm>
#include <climits>

#include "controller/param_requests.h"
#include "engine_fixture.h"

namespace controller::test {
namespace {

class ParamStatesTest : public EngineTest {
 protected:
  // Index of the first frame the simulator took that `match` accepts; -1 when none.
  long FirstFrame(const std::function<bool(const testing_support::SimFrame&)>& match) const {
    const auto frames = sim.Frames();
    auto it = std::find_if(frames.begin(), frames.end(), match);
    return it == frames.end() ? -1 : it - frames.begin();
  }
  long ParamReads() const {
    const auto frames = sim.Frames();
    return std::count_if(frames.begin(), frames.end(), [](const auto& f) {
      return f.Kind == testing_support::SimFrameKind::Request && f.Address == AddrControllerParams;
    });
  }
  // Ticks until the engine is back in its poll cycle with nothing of the parameters left to do.
  bool ParamsSettled(int limit = 200) {
    return RunUntil([&] { return engine.CommState == 110 && !engine.ParamsRequest && engine.CommandQueue[0][0] == 0; },
                    limit);
  }
  bool ModuleParamsReceived(int limit = 2000) {
    return RunUntil(
        [&] { return view.Texts[CommsText::ModuleParamStatus] == "Parameters Received" && engine.CommState == 110; },
        limit);
  }
};

TEST_F(ParamStatesTest, TheReadFillsTheTableAndTheGrid) {
  expectedRetries = 1;  // the bad check
  for (int p = 0; p < 128; ++p) sim.SetParameter(p, static_cast<std::uint16_t>(p * 3 + 1));
  sim.SetParameter(5, 300);
  sim.SetParameter(127, 0xFFFF);
  view.Detail = true;
  Connect();
  engine.ParamsRequest = 1;
  ASSERT_TRUE(RunToState(150, 20));
  sim.CorruptNextBlockReplies(1);
  ASSERT_TRUE(ParamsSettled());

  EXPECT_TRUE(std::any_of(view.Log.begin(), view.Log.end(), [](const std::string& line) {
    return line.find("crc 151") != std::string::npos;
  })) << "a bad CRC asks again";
  EXPECT_EQ(engine.RetryCount, 0);
  EXPECT_EQ(engine.ControllerParams[0], 1);
  EXPECT_EQ(engine.ControllerParams[5], 300);
  EXPECT_EQ(engine.ControllerParams[126], 126 * 3 + 1);
  EXPECT_EQ(engine.ControllerParams[127], 0xFFFF);
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 0, 0), "P#");
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 1, 0), "Data");
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 0, 6), "5");
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 1, 6), "300");
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 0, 128), "127");
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 1, 128), "65535");
  EXPECT_EQ(view.Texts[CommsText::Step], "Waiting for Controller Params");
}

TEST_F(ParamStatesTest, AnEditIsSentBeforeTheReadAndFreesItsSlot) {
  sim.SetParameter(5, 7);
  Connect();
  ASSERT_TRUE(QueueControllerParamChange(engine, 6, " 300 "));
  EXPECT_EQ(engine.CommandQueue[0], (std::array<std::uint8_t, 6>{0x28, 5, 0x01, 0x2C, 0, 0}));
  EXPECT_EQ(engine.ParamsRequest, 1);
  EXPECT_EQ(view.Log.front(), "Change Parameter 5 to 300") << "the number written";
  ASSERT_TRUE(ParamsSettled());

  EXPECT_EQ(sim.Parameter(5), 300);
  const auto sets = sim.Commands(CmdSetControllerParam);
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].Args, (std::array<std::uint8_t, 5>{5, 0x01, 0x2C, 0, 0}));
  const long sent = FirstFrame([](const auto& f) { return f.Code == CmdSetControllerParam; });
  const long read = FirstFrame([](const auto& f) {
    return f.Kind == testing_support::SimFrameKind::Request && f.Address == AddrControllerParams;
  });
  ASSERT_GE(sent, 0);
  EXPECT_GT(read, sent) << "the queue goes before the read";
  EXPECT_TRUE(view.Logged("Sending Command: 40 5 1 44 0 0"));
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 1, 6), "300") << "the read shows what the controller took";
  EXPECT_EQ(engine.ControllerParams[5], 300);
}

TEST_F(ParamStatesTest, AKeystrokeWhileTheCommandIsOnTheWayIsSentToo) {
  Connect();
  QueueControllerParamChange(engine, 6, "30");
  ASSERT_TRUE(RunToState(121, 20));
  QueueControllerParamChange(engine, 6, "300");
  ASSERT_TRUE(ParamsSettled());
  EXPECT_EQ(sim.Commands(CmdSetControllerParam).size(), 2u);
  EXPECT_EQ(sim.Parameter(5), 300) << "the last text typed is what the controller holds";
  EXPECT_EQ(view.Cell(CommsGrid::ControllerParams, 1, 6), "300");
}

TEST_F(ParamStatesTest, CellTextIsANumberOnlyWhenItIsTheWholeText) {
  const struct {
    const char* Text;
    std::optional<int> Value;
  } cases[] = {{"300", 300},
               {" 7 ", 7},
               {"-1", -1},
               {"+4", 4},
               {"12ab", std::nullopt},
               {"0x10", std::nullopt},
               {"1 2", std::nullopt},
               {"abc", std::nullopt},
               {"", std::nullopt},
               {"-", std::nullopt},
               {"-2147483648", INT_MIN},
               {"2147483648", std::nullopt},
               {"-99999999999", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ReadTypedNumber(c.Text, {"N", INT_MIN, INT_MAX}), c.Value) << c.Text;

  engine.CommState = 110;
  EXPECT_FALSE(QueueControllerParamChange(engine, 1, "x"));
  EXPECT_EQ(engine.CommandQueue[0][0], 0) << "not a number queues nothing";
  EXPECT_EQ(engine.ParamsRequest, 0);
  EXPECT_TRUE(view.Log.empty());
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Parameter 0 must be a whole number from 0 to 65535"});
}

TEST_F(ParamStatesTest, ReadsTheParametersOfTheModulesThatAreThere) {
  sim.SetModule(1, 5);
  sim.SetModule(3, 14);
  for (int p = 0; p < 64; ++p) {
    sim.SetModuleParameter(1, p, static_cast<std::uint16_t>(100 + p));
    sim.SetModuleParameter(2, p, 999);
    sim.SetModuleParameter(3, p, static_cast<std::uint16_t>(3000 + p));
  }
  sim.SetModuleParameter(3, 63, 0xFFFF);
  sim.SetManagerBusyPolls(2);
  Connect();
  engine.ModuleParamTable[2][0] = 77;
  view.SetCell(CommsGrid::ModuleParams, 1, 2, "77");
  engine.ModuleParamsRequest = 1;
  ASSERT_TRUE(ModuleParamsReceived());

  EXPECT_TRUE(view.IsShown(CommsWindow::ModuleParams));
  EXPECT_EQ(engine.ModuleParamsRequest, 0);
  EXPECT_EQ(sim.Commands(CmdGatherModuleParam).size(), 64u);
  for (int p = 0; p < 64; p += 21) {
    EXPECT_EQ(engine.ModuleParamTable[1][static_cast<std::size_t>(p)], 100 + p) << p;
    EXPECT_EQ(view.Cell(CommsGrid::ModuleParams, p + 1, 1), std::to_string(100 + p));
  }
  EXPECT_EQ(engine.ModuleParamTable[3][63], 0xFFFF);
  EXPECT_EQ(view.Cell(CommsGrid::ModuleParams, 64, 3), "65535");
  EXPECT_EQ(engine.ModuleParamTable[2][0], 77) << "no module 2: its row keeps what it held";
  EXPECT_EQ(view.Cell(CommsGrid::ModuleParams, 1, 2), "77");
  EXPECT_EQ(view.Cell(CommsGrid::ModuleParams, 2, 2), "");
  EXPECT_TRUE(view.Logged("Requesting Parameter 63"));
  EXPECT_TRUE(sim.Faults().empty());
}

// A refused gather would leave the parameter before it in the manager's block.
TEST_F(ParamStatesTest, ARefusedGatherIsSentAgain) {
  expectedRetries = 3;  // one per refusal
  sim.SetModule(1, 5);
  for (int p = 0; p < 64; ++p) sim.SetModuleParameter(1, p, static_cast<std::uint16_t>(500 + p));
  Connect();
  for (Byte refusal : Refusals) {
    SCOPED_TRACE(refusal);
    sim.SetRefusalByte(refusal);
    const std::size_t gathers = sim.Commands(CmdGatherModuleParam).size();
    engine.ModuleParamTable[1][8] = 0;
    view.Texts[CommsText::ModuleParamStatus].clear();
    sim.RefuseCommand(CmdGatherModuleParam, 8);
    engine.ModuleParamsRequest = 1;
    ASSERT_TRUE(ModuleParamsReceived());
    EXPECT_EQ(engine.ModuleParamTable[1][7], 507);
    EXPECT_EQ(engine.ModuleParamTable[1][8], 508);
    EXPECT_EQ(sim.Commands(CmdGatherModuleParam).size() - gathers, 64u);
  }
}

// The click that picked the cell does not stop the read-back, however long the manager stays busy.
TEST_F(ParamStatesTest, WritesOneParameterPausesAndReadsItBack) {
  for (int module = 1; module <= 3; ++module) sim.SetModule(module, 5);
  sim.SetManagerBusyPolls(12);
  Connect();
  engine.ModuleParamTable[1][6] = 4321;
  engine.ModuleParamRead[1].set(6);  // as this connection read it
  ASSERT_TRUE(ClickModuleParamCell(engine, 6, 2, "4321"));
  ASSERT_TRUE(PostModuleParamChange(engine, 2, 5, "1000"));
  ASSERT_TRUE(RunToState(220, 30));
  int pause = 0;
  while (engine.CommState != 200 && pause < 20) {
    Step();
    ++pause;
  }
  EXPECT_EQ(pause, 9) << "nine ticks for the module manager";
  ASSERT_TRUE(ModuleParamsReceived(100));

  const auto writes = sim.Commands(CmdWriteModuleParam);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].Args, (std::array<std::uint8_t, 5>{2, 0xE8, 5, 0x03, 0}));
  EXPECT_EQ(sim.ModuleParameter(2, 5), 1000);
  const auto gathers = sim.Commands(CmdGatherModuleParam);
  ASSERT_EQ(gathers.size(), 1u) << "only the parameter written is read back";
  EXPECT_EQ(gathers[0].Args[0], 5);
  EXPECT_EQ(engine.ModuleParamTable[2][5], 1000);
  EXPECT_EQ(view.Cell(CommsGrid::ModuleParams, 6, 2), "1000");
  EXPECT_EQ(engine.ParamChangeRequest, 0);
}

TEST_F(ParamStatesTest, AStopEndsTheReadAfterTheParameterInHand) {
  sim.SetModule(1, 5);
  Connect();
  engine.ModuleParamsRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return engine.ParamIndex == 3 && engine.CommState == 202; }, 300));
  engine.ModuleParamsStop = 1;  // as a click on the grid does
  ASSERT_TRUE(RunToState(110, 20));
  EXPECT_EQ(engine.ParamIndex, 4);
  EXPECT_EQ(engine.ModuleParamsStop, 0);
  for (int i = 0; i < 20; ++i) Step();
  EXPECT_EQ(sim.Commands(CmdGatherModuleParam).size(), 4u) << "the loop is over";
  EXPECT_NE(view.Texts[CommsText::ModuleParamStatus], "Parameters Received");
}

TEST_F(ParamStatesTest, ABusyManagerIsPolledUntilAStopOrTheDisconnect) {
  sim.SetModule(1, 5);
  sim.SetManagerBusyPolls(1000000);
  Connect();
  engine.ModuleParamsRequest = 1;
  const auto readyPolls = [&] {
    const auto frames = sim.Frames();
    return std::count_if(frames.begin(), frames.end(), [](const auto& f) { return f.Address == AddrManagerReady; });
  };
  ASSERT_TRUE(RunUntil([&] { return readyPolls() >= 15 && engine.CommState == 203; }, 100));
  Step();
  EXPECT_EQ(engine.CommState, 202);
  EXPECT_EQ(engine.RetryCount, 0) << "every busy answer is a good reply";
  EXPECT_EQ(view.Texts[CommsText::Step], "Manager Busy 0");

  engine.ModuleParamsStop = 1;  // a click on the grid, or hiding its window
  ASSERT_TRUE(RunToState(110, 40));
  EXPECT_EQ(engine.ModuleParamsStop, 0);
  const auto polls = readyPolls();
  for (int i = 0; i < 10; ++i) Step();
  EXPECT_EQ(readyPolls(), polls) << "the poll is over";

  engine.ModuleParamsRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return readyPolls() >= polls + 3 && engine.CommState == 203; }, 100));
  engine.CloseRequest = 1;  // hiding the communications window
  ASSERT_TRUE(RunToState(0, 30));
  EXPECT_TRUE(Ui().Messages().empty()) << "a disconnect by the user shows nothing";
  EXPECT_FALSE(view.IsShown(CommsWindow::ModuleParams));
}

}  // namespace
}  // namespace controller::test
