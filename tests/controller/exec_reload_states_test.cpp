// The executive reload against the simulated controller: the image file chosen by firmware and
// programming mode, its blocks at their addresses, the meter, refused blocks sent again, a file that
// cannot be sent, and the restart wait that ends in a new identification and the clock set.
#include <algorithm>
#include <filesystem>
#include <functional>

#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using platform::MsgResult;

using testing_support::IsControlBlock;
using testing_support::SimFrame;
using testing_support::SimFrameKind;

// Executive image blocks (refused ones included), in the order they came.
std::vector<SimFrame> ImageBlocks(const std::vector<SimFrame>& frames) {
  std::vector<SimFrame> blocks;
  for (const SimFrame& f : frames)
    if (f.Kind == SimFrameKind::Block && f.Args[1] == 1 && !IsControlBlock(f)) blocks.push_back(f);
  return blocks;
}

class ExecReloadTest : public EngineTest {
 protected:
  ExecReloadTest() {
    std::filesystem::create_directories(dataDir);
    settings.CurrentDirectory = dataDir.string();
  }
  std::vector<std::uint8_t> WriteImage(const std::string& name, std::size_t size, int seed = 1) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed * 31 + 1);
    testing_support::WriteFile((dataDir / name).string(), std::string(bytes.begin(), bytes.end()));
    return bytes;
  }
  std::vector<std::uint8_t> Executive(std::size_t from, std::size_t count) const {
    const auto image = sim.ExecutiveImage();
    return {image.begin() + static_cast<std::ptrdiff_t>(from),
            image.begin() + static_cast<std::ptrdiff_t>(from + count)};
  }
  // From the poll cycle to the start block, which is about to go out.
  void ReloadToStart() {
    ASSERT_TRUE(engine.RequestExecReload());
    ASSERT_TRUE(RunToState(135, 400)) << "state " << engine.CommState;
  }

  // The downloads that end in the controller's restart wait.
  struct Restarting {
    const char* What;
    std::function<void()> Request;
    int Wait;
    const char* Done;
  };
  std::vector<Restarting> RestartingDownloads() {
    return {{"executive", [&] { engine.RequestExecReload(); }, 136, "Program Downloaded OK"},
            {"touch screen", [&] { engine.RequestTouchLoad(); }, 908, "Touchscreen Data Downloaded OK"}};
  }

  testing_support::TempDir temp;
  std::filesystem::path dataDir = temp.Path() / "a data directory whose path runs past sixty characters";
};

TEST_F(ExecReloadTest, ChoosesTheImageByFirmwareAndProgrammingMode) {
  const auto flash = WriteImage("FLASH.BIN", 100, 1);
  const auto onScreen = WriteImage("OnScreen.bin", 100, 2);  // found whatever its case
  const auto flash512 = WriteImage("FLASH512.BIN", 100, 3);
  const struct {
    int Firmware;
    int Mode;
    const char* File;
    const std::vector<std::uint8_t>& Bytes;
  } cases[] = {
      {819, 0, "FLASH.BIN", flash},
      {819, 1, "FLASH.BIN", flash},
      {820, 1, "OnScreen.bin", onScreen},
      {820, 0, "FLASH512.BIN", flash512},
  };
  Connect();
  for (const auto& c : cases) {
    sim.SetFirmwareVersion(c.Firmware);
    settings.ProgrammingMode = c.Mode;
    engine.CommState = 100;
    ASSERT_TRUE(RunToState(114, 200));
    engine.ParamsRequest = 0;
    ReloadToStart();
    EXPECT_EQ(engine.ImageFilePath, (dataDir / c.File).string()) << c.Firmware << " mode " << c.Mode;
    EXPECT_EQ(Executive(0x1200, 100), c.Bytes) << c.Firmware << " mode " << c.Mode;
  }
}

TEST_F(ExecReloadTest, SendsTheFileInBlocksFromTheExecutiveStartAndMetersThem) {
  const struct {
    std::size_t Size;
    std::vector<int> Meter;  // one step per acknowledged full block
  } cases[] = {
      {1000, {0, 25, 51, 76}},
      {512, {0, 50, 100}},  // no block of stale bytes after the final, empty read
      {300, {0, 85}},
  };
  Connect();
  for (const auto& c : cases) {
    const auto bytes = WriteImage("FLASH512.BIN", c.Size, static_cast<int>(c.Size));
    const std::size_t before = ImageBlocks(sim.Frames()).size();
    view.Meter.clear();
    ReloadToStart();
    const auto all = ImageBlocks(sim.Frames());
    const std::vector<SimFrame> blocks(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_EQ(blocks.size(), (c.Size + 255) / 256) << c.Size;
    for (std::size_t k = 0; k < blocks.size(); ++k) EXPECT_EQ(blocks[k].Address, 0x1200 + 256 * k) << c.Size;
    EXPECT_EQ(view.Meter, c.Meter) << c.Size;
    EXPECT_EQ(Executive(0x1200, c.Size), bytes) << c.Size;
    if (c.Size != 300) engine.CommState = 110;
  }

  const auto last = ImageBlocks(sim.Frames()).back().Data();
  EXPECT_TRUE(std::all_of(last.begin() + 44, last.end(), [](auto b) { return b == 0; }))
      << "the last block carries 44 bytes of the file and zeros after them";
  EXPECT_EQ(view.Texts[CommsText::Step], "Sending 44 -> 1300");
  EXPECT_FALSE(view.IsShown(CommsWindow::Meter));
  EXPECT_FALSE(sim.InterpreterRunning());

  const std::string path = (dataDir / "FLASH512.BIN").string();
  ASSERT_GT(path.size(), 59u);
  // The file is read when the reload is asked.
  const std::vector<std::string> order = {"Stopping Controller", "Stopping Interp", "File: " + path + " Open",
                                          "Opening File: " + path, "Download Controller Program Command"};
  auto it = view.Log.begin();
  for (const std::string& line : order) {
    it = std::find(it, view.Log.end(), line);
    EXPECT_NE(it, view.Log.end()) << line;
  }
}

TEST_F(ExecReloadTest, RefusedCommandsAndBlocksAreSentAgainAndCountedAsRetries) {
  expectedRetries = 3 * 3;  // the three refusals with each refusal byte; the noise costs none
  const auto bytes = WriteImage("FLASH512.BIN", 600);
  for (Byte refusal : Refusals) {
    SCOPED_TRACE("refused with " + std::to_string(refusal));
    Connect();
    view.Detail = true;
    view.Log.clear();
    sim.SetRefusalByte(refusal);
    const std::size_t stops = sim.Commands(CmdStopInterpreter).size(), sent = ImageBlocks(sim.Frames()).size();
    const int controlStops = sim.ControlStops();
    sim.RefuseCommand(CmdStopInterpreter, 1);  // the executive is never replaced under a running interpreter
    ASSERT_TRUE(engine.RequestExecReload());
    ASSERT_TRUE(RunToState(131, 40));
    EXPECT_EQ(sim.Commands(CmdStopInterpreter).size(), stops + 1);
    EXPECT_TRUE(view.Logged("Comms Retry retry STOP 129 RX0"));
    sim.NakNext(1);
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 133 && engine.BlockIndex == 0x1300; }, 40));
    sim.NakNext(1);
    Step();
    // Noise after the refusal lands in the frame buffer: the block sent again must still be the file's.
    sim.Push(testing_support::SimBytes(40, 0xEE));
    ASSERT_TRUE(serial::test::PumpIn(port, 43));
    ASSERT_TRUE(RunToState(135, 100));

    EXPECT_EQ(Executive(0x1200, 600), bytes);
    const auto blocks = ImageBlocks(sim.Frames());
    ASSERT_EQ(blocks.size(), sent + 4);
    EXPECT_TRUE(blocks[sent + 1].Refused);
    EXPECT_EQ(blocks[sent + 2].Address, 0x1300);
    EXPECT_EQ(blocks[sent + 2].Data(), blocks[sent + 1].Data());
    EXPECT_EQ(sim.ControlStops(), controlStops + 1) << "the refused stop block was sent again";
    EXPECT_TRUE(view.Logged("Comms Retry retry STOP 132 RX0"));
    EXPECT_TRUE(view.Logged("Comms Retry flash load data 134 RX0"));
    EXPECT_EQ(engine.RetryCount, 0) << "a taken block starts the count again";
  }
}

// Nine refusals in a row end a dead line, told, also after the user's close. "&Close" while a block is
// refused or unanswered leaves the reload its retries: it runs to its start block and restart, then ends.
TEST_F(ExecReloadTest, AControllerThatKeepsRefusingEndsTheResendsAndTheCloseWaitsForTheReload) {
  const auto image = WriteImage("FLASH512.BIN", 600);
  enum class Fault { Refused, Unanswered };
  const struct {
    const char* What;
    int FaultyState;
    Fault How;
    int Times;
    bool Close;
  } cases[] = {{"stop block refused", 131, Fault::Refused, 9, false},
               {"image block refused", 133, Fault::Refused, 9, false},
               {"image block refused, closed", 133, Fault::Refused, 9, true},
               {"image block refused twice, closed", 133, Fault::Refused, 2, true},
               {"image block unanswered, closed", 133, Fault::Unanswered, 1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    expectedRetries += c.Times;
    Ui().Clear();
    view.Log.clear();
    Connect();
    const int starts = sim.ControlStarts();
    ASSERT_TRUE(engine.RequestExecReload());
    ASSERT_TRUE(RunToState(c.FaultyState, 60));
    c.How == Fault::Refused ? sim.NakNext(c.Times) : sim.IgnoreNext(c.Times);
    Step();
    if (c.Close) engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 1000));
    const bool dead = c.Times == 9;
    EXPECT_EQ(Ui().Messages(), dead ? std::vector<std::string>{"Lost Connection"}
                                    : std::vector<std::string>{"Be sure to re-load your Program File"});
    EXPECT_EQ(sim.ControlStarts(), starts + (dead ? 0 : 1));
    if (!dead) {
      EXPECT_EQ(Executive(0x1200, 600), image) << "the whole image";
      EXPECT_TRUE(view.Logged("Program Downloaded OK"));
    }
    sim.NakNext(0);
  }
}

// The image is chosen and read when the reload is asked: one that cannot be sent is refused and told there,
// and nothing reaches the controller, which goes on running its program.
TEST_F(ExecReloadTest, AnImageThatCannotBeSentIsRefusedWhenAskedAndTheControllerIsNotStopped) {
  const struct {
    const char* What;
    std::function<void()> Make;
  } cases[] = {
      {"missing", [] {}},
      {"empty", [&] { WriteImage("FLASH512.BIN", 0); }},
      {"longer than the addresses reach", [&] { WriteImage("FLASH512.BIN", 0x10000 - 0x1200 + 1); }},
      {"a directory", [&] { std::filesystem::create_directory(dataDir / "FLASH512.BIN"); }},
  };
  const std::string path = (dataDir / "FLASH512.BIN").string();
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::filesystem::remove_all(path);
    c.Make();
    Ui().Clear();
    EXPECT_FALSE(engine.RequestExecReload());
    EXPECT_EQ(engine.ReloadExecRequest, 0);
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"File: " + path + " Error: Executive Reload not sent"});
    EXPECT_TRUE(view.Logged("File: " + path + " Error"));
    const std::size_t polls = sim.Frames().size();
    ASSERT_TRUE(RunUntil([&] { return sim.Frames().size() >= polls + 3; }, 40));
    EXPECT_EQ(engine.CommState / 10, 11) << "polling";
  }
  EXPECT_TRUE(sim.Commands(CmdStopInterpreter).empty());
  EXPECT_EQ(sim.ControlStops(), 0);
  EXPECT_TRUE(ImageBlocks(sim.Frames()).empty());
  EXPECT_TRUE(sim.InterpreterRunning());
}

// What the reload sends is the image chosen and read when it was asked: a setting stored or a file changed
// while it waits changes nothing of it.
TEST_F(ExecReloadTest, TheImageSentIsTheOneTakenWhenAsked) {
  testing_support::TempDir other;
  testing_support::WriteFile(other.File("FLASH512.BIN"), std::string(700, 'o'));
  const struct {
    const char* Change;
    std::function<void()> Make;
  } cases[] = {
      {"on-screen programming stored", [&] { settings.ProgrammingMode = 1; }},
      {"the file rewritten", [&] { WriteImage("FLASH512.BIN", 900, 7); }},
      {"the file removed", [&] { std::filesystem::remove(dataDir / "FLASH512.BIN"); }},
      {"another data folder stored", [&] { settings.CurrentDirectory = other.Path().string(); }},
  };
  WriteImage("ONSCREEN.BIN", 500, 9);
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Change);
    settings.ProgrammingMode = 0;
    settings.CurrentDirectory = dataDir.string();
    const auto asked = WriteImage("FLASH512.BIN", 600, 3);
    ASSERT_TRUE(engine.RequestExecReload());
    c.Make();
    ASSERT_TRUE(RunToState(135, 400)) << "state " << engine.CommState;
    EXPECT_EQ(Executive(0x1200, 600), asked);
    EXPECT_EQ(sim.ExecutiveImage()[0x1200 + 600], 0) << "nothing after the image asked";
    EXPECT_EQ(engine.ImageFilePath, (dataDir / "FLASH512.BIN").string());
    sim.Write(0x1200, std::vector<std::uint8_t>(1024, 0));
    engine.CommState = 110;
  }
}

// A reload asked while the last one's refused stop is about to go again is a reload of its own: the last
// goes with the image it took when its stop first went, and this one after it with its own.
TEST_F(ExecReloadTest, AReloadAskedWhileTheLastOnesStopGoesAgainKeepsItsOwnImage) {
  Connect();
  const auto first = WriteImage("FLASH512.BIN", 600, 3);
  ASSERT_TRUE(engine.RequestExecReload());
  ASSERT_TRUE(RunToState(128, 40));
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 128 && engine.RetryCount == 1; }, 20));
  const auto second = WriteImage("FLASH512.BIN", 600, 5);
  ASSERT_TRUE(engine.RequestAllowed(RequestKind::ReloadExec, engine.ReloadExecRequest != 0));
  ASSERT_TRUE(engine.RequestExecReload());
  ASSERT_TRUE(RunToState(136, 400)) << "state " << engine.CommState;
  EXPECT_EQ(Executive(0x1200, 600), first);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 136 && !engine.ReloadExecRequest; }, 1000))
      << "state " << engine.CommState;
  EXPECT_EQ(Executive(0x1200, 600), second);
  expectedRetries = 1;
}

// "Update Warning" comes before the identification has read the firmware version: the image is chosen by
// the version read then and by the settings stored when OK was clicked, and one that cannot be sent is
// told and not asked for. OK while a reload asked already waits is refused and told: that one goes with
// the image it took when asked, though the file has been rewritten since.
TEST_F(ExecReloadTest, OkOnUpdateWarningTakesTheImageOfTheFirmwareIdentified) {
  const auto flash = WriteImage("FLASH.BIN", 100, 1);
  const auto onScreen = WriteImage("ONSCREEN.BIN", 100, 2);
  const struct {
    int Firmware;
    int ModeAtOk;
    const char* File;  // nullptr: missing
    const std::vector<std::uint8_t>* Bytes;
    bool Waiting = false;  // a reload of this file was asked before the identification
  } cases[] = {{819, 1, "FLASH.BIN", &flash},
               {820, 1, "ONSCREEN.BIN", &onScreen},
               {820, 0, nullptr, nullptr},
               {820, 1, "ONSCREEN.BIN", &onScreen, true}};
  Connect();
  sim.SetAppVersion(317);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Firmware) + " mode " + std::to_string(c.ModeAtOk) + (c.Waiting ? " waiting" : ""));
    sim.SetFirmwareVersion(c.Firmware);
    settings.ProgrammingMode = c.ModeAtOk;
    Ui().Clear();
    if (c.Waiting) {
      ASSERT_EQ(engine.FirmwareVersion, c.Firmware);
      ASSERT_TRUE(engine.RequestExecReload());
      WriteImage(c.File, 100, 3);
    }
    Ui().QueueAnswer(MsgResult::Ok);
    engine.CommState = 100;
    ASSERT_TRUE(RunToState(102, 40));
    settings.ProgrammingMode = 1 - c.ModeAtOk;  // stored after OK
    ASSERT_TRUE(RunToState(114, 40));
    engine.ParamsRequest = 0;
    const std::string warning = "Warning! Your Controller does not have the latest exec code.. Load Now?";
    if (c.Waiting) {
      EXPECT_EQ(Ui().Messages(),
                (std::vector<std::string>{warning, "Executive Reload not sent: the last one asked has not ended yet"}));
    }
    if (!c.File) {
      const std::string path = (dataDir / "FLASH512.BIN").string();
      EXPECT_EQ(Ui().Messages(),
                (std::vector<std::string>{warning, "File: " + path + " Error: Executive Reload not sent"}));
      EXPECT_EQ(engine.ReloadExecRequest, 0);
      continue;
    }
    ASSERT_TRUE(RunToState(135, 400)) << "state " << engine.CommState;
    EXPECT_EQ(engine.ImageFilePath, (dataDir / c.File).string());
    EXPECT_EQ(Executive(0x1200, 100), *c.Bytes);
    engine.CommState = 110;
  }
  EXPECT_EQ(sim.Commands(CmdStopInterpreter).size(), 3u) << "nothing stopped for the image that could not be sent";
}

TEST_F(ExecReloadTest, AnUnplugHalfwayEndsTheConnection) {
  WriteImage("FLASH512.BIN", 4000);
  Connect();
  ASSERT_TRUE(engine.RequestExecReload());
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 133 && engine.BlockIndex == 0x1600; }, 100));
  ASSERT_TRUE(HangUpSeen());
  ASSERT_TRUE(RunToState(0, 40)) << "state " << engine.CommState;
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
  EXPECT_FALSE(view.Logged("Program Downloaded OK"));
}

TEST_F(ExecReloadTest, TheRestartWaitEndsInIdentificationAndTheClockSet) {
  WriteImage("FLASH512.BIN", 300);
  sim.SetClock({2001, 1, 1, 0, 0, 0, 1});
  Connect();
  ReloadToStart();
  Step();
  EXPECT_EQ(sim.ControlStarts(), 1);
  EXPECT_TRUE(view.IsShown(CommsWindow::Restart));
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Be sure to re-load your Program File"});

  int waited = 0;
  while (engine.CommState == 136 && waited < 400) {
    Step();
    ++waited;
  }
  EXPECT_EQ(waited, 301);
  EXPECT_EQ(engine.CommState, 100);
  EXPECT_EQ(view.RestartPosition, 100);
  EXPECT_FALSE(view.IsShown(CommsWindow::Restart));
  EXPECT_TRUE(view.Logged("Program Downloaded OK"));
  EXPECT_EQ(engine.SetClockRequest, 1);

  ASSERT_TRUE(RunToState(114, 100)) << "identified again";
  engine.ParamsRequest = 0;
  ASSERT_TRUE(RunUntil([&] { return sim.ClockFramesTaken() == 1 && engine.SetClockRequest == 0; }, 40));
  EXPECT_EQ(sim.Clock().Year, clock.Time.Year);
}

// A reload asked from the menu while a program download asked before it waits does not overtake it, across
// the project download's reconnection too: it is refused and told. The one OK on "Update Warning" asks at the
// reconnection's identification goes ahead, and the program download waiting brings the program after it.
TEST_F(ExecReloadTest, AReloadFromTheMenuWaitsForAProgramDownloadAskedBeforeItUpdateWarningsGoesAhead) {
  WriteImage("FLASH512.BIN", 300);
  project.Store.Lines[10] = ProgramLine::End();
  const struct {
    const char* Name;
    bool FromUpdateWarning;
    std::vector<std::string> Told;
  } cases[] = {
      {"from the menu", false, {"Executive Reload not sent: Program Download, asked before it, has not been sent yet"}},
      {"OK on Update Warning",
       true,
       {"Warning! Your Controller does not have the latest exec code.. Load Now?",
        "Be sure to re-load your Program File"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    sim.SetAppVersion(400);
    Connect();
    Ui().Clear();
    const std::size_t from = sim.Frames().size();
    // As Download Project asks it of a running connection.
    engine.Reconnect();
    engine.ClockRequest = 1;
    RankOwnRequest(engine, RequestKind::Clock);
    ASSERT_TRUE(engine.RequestProgramDownload());
    RankOwnRequest(engine, RequestKind::ProgramDownload);
    if (c.FromUpdateWarning) {
      sim.SetAppVersion(317);
      Ui().QueueAnswer(MsgResult::Ok);
    } else if (engine.RequestAllowed(RequestKind::ReloadExec, engine.ReloadExecRequest != 0)) {
      ASSERT_TRUE(engine.RequestExecReload());
    }
    ASSERT_TRUE(RunUntil(
        [&] {
          if (engine.CommState == 136) sim.SetAppVersion(400);  // the new executive
          return engine.CommState == 114 && !engine.ReconnectRequest && !engine.ProgramDownloadRequest &&
                 !engine.ReloadExecRequest && !engine.ReloadClock;
        },
        2000));
    EXPECT_EQ(Ui().Messages(), c.Told);
    const auto frames = sim.Frames();
    const auto first = [&](const std::function<bool(const SimFrame&)>& is) {
      return std::find_if(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(), is) - frames.begin();
    };
    const auto programBlock =
        first([](const SimFrame& f) { return f.Kind == SimFrameKind::Block && f.Address == AddrStaging; });
    const auto executiveStop = first([](const SimFrame& f) { return IsControlBlock(f) && f.Args[1] == 1; });
    const auto end = frames.end() - frames.begin();
    ASSERT_LT(programBlock, end) << "the program was sent";
    EXPECT_EQ(executiveStop < end, c.FromUpdateWarning);
    // The reload leaves the controller without its program: the download waiting brings it after.
    EXPECT_EQ(executiveStop < programBlock, c.FromUpdateWarning);
  }
}

// The start block is not waited for, but a refusal of it within the restart wait's first twelve ticks
// sends it again, and one that never stops ends the connection.
TEST_F(ExecReloadTest, ARefusedStartBlockIsSentAgain) {
  expectedRetries = 2 * 3 + 9;  // one refusal per download and refusal byte, then nine to the lost connection
  WriteImage("FLASH512.BIN", 10);
  for (Byte refusal : Refusals)
    for (const auto& d : RestartingDownloads()) {
      SCOPED_TRACE(d.What + std::string(" refused with ") + std::to_string(refusal));
      sim.SetRefusalByte(refusal);
      Ui().Clear();
      Connect();
      const int starts = sim.ControlStarts();
      sim.RefuseCommand(testing_support::SimStartBlock, 1);
      d.Request();
      ASSERT_TRUE(RunToState(100, 1000));
      EXPECT_TRUE(view.Logged(d.Done));
      EXPECT_EQ(sim.ControlStarts(), starts + 1);
      EXPECT_TRUE(sim.InterpreterRunning());
      EXPECT_LE(Ui().Messages().size(), 1u) << "the message is not shown again";
    }
  Ui().Clear();
  Connect();
  sim.RefuseCommand(testing_support::SimStartBlock);
  ASSERT_TRUE(engine.RequestExecReload());
  ASSERT_TRUE(RunToState(0, 1000));
  EXPECT_EQ(Ui().Messages().back(), "Lost Connection");
  EXPECT_FALSE(sim.InterpreterRunning());
}

// The restart wait is bounded: a disconnect asked for meanwhile is taken at the next idle pass, once the
// controller has restarted, been identified and, after a reload, been given the clock.
TEST_F(ExecReloadTest, ADisconnectDuringTheRestartWaitIsTakenAfterIt) {
  WriteImage("FLASH512.BIN", 10);
  for (const auto& c : RestartingDownloads()) {
    SCOPED_TRACE(c.What);
    Connect();
    c.Request();
    ASSERT_TRUE(RunToState(c.Wait, 400));
    Step();
    engine.CloseRequest = 1;
    const int clocks = sim.ClockFramesTaken();
    ASSERT_TRUE(RunToState(0, 400));
    EXPECT_TRUE(view.Logged(c.Done));
    EXPECT_EQ(sim.ClockFramesTaken(), clocks + (c.Wait == 136 ? 1 : 0)) << "the clock is set after a reload";
    EXPECT_FALSE(view.IsShown(CommsWindow::Restart));
  }
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Be sure to re-load your Program File"}) << "no Lost Connection";
}

// "&Close" waits for the clock set that ends a reload, and for nothing else: a poll that waits for the line
// (a frame of the identification was lost) does not go.
TEST_F(ExecReloadTest, APollWaitingAtTheCloseDuringTheReloadsEndDoesNotGo) {
  WriteImage("FLASH512.BIN", 10);
  Connect();
  ASSERT_TRUE(engine.RequestExecReload());
  ASSERT_TRUE(RunToState(136, 400));
  ASSERT_TRUE(RunToState(106, 400));
  sim.IgnoreNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 113 && engine.FrameHeld(); }, 40)) << engine.CommState;
  const std::size_t from = sim.Frames().size();
  engine.CloseRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return sim.ClockFramesTaken() == 1; }, 40)) << engine.CommState;
  const auto frames = sim.Frames();
  EXPECT_TRUE(std::none_of(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(), [](const SimFrame& f) {
    return f.Kind == SimFrameKind::Request;
  })) << "no poll before the clock set";
  ASSERT_TRUE(RunToState(0, 400));
  expectedRetries = 1;
}

// The restart, the identification, the parameter read it asks for and the clock set that end a reload are
// the reload: after "&Close" a frame lost in that identification or read is sent again, and an attach in the
// restart wait either sets the clock after its own identification (a reconnection) or says it was not sent
// (a new connection, after the close). A clock set asked for that new connection is its own: it goes, and
// nothing says a clock set was not sent.
TEST_F(ExecReloadTest, TheClockSetThatEndsAReloadIsSetOrTold) {
  WriteImage("FLASH512.BIN", 10);
  enum class Then { CloseAndLoseAFrame, CloseInTheParamReadAndLoseAFrame, Attach, CloseThenAttach, AskForTheNext };
  const struct {
    const char* What;
    Then Does;
    bool Set;
    bool Told;  // "Clock Set not sent"
  } cases[] = {{"closed, a frame of the identification lost", Then::CloseAndLoseAFrame, true, false},
               {"closed in the parameter read, a frame lost", Then::CloseInTheParamReadAndLoseAFrame, true, false},
               {"attached again", Then::Attach, true, false},
               {"closed, then attached", Then::CloseThenAttach, false, true},
               {"closed, attached, a clock set asked", Then::AskForTheNext, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Ui().Clear();
    view.Log.clear();
    Connect();
    ASSERT_TRUE(engine.RequestExecReload());
    ASSERT_TRUE(RunToState(136, 400));
    Step();
    const int clocks = sim.ClockFramesTaken();
    if (c.Does == Then::CloseInTheParamReadAndLoseAFrame) {
      ASSERT_TRUE(RunToState(150, 400)) << "the identification asks for the parameters";
    }
    if (c.Does != Then::Attach) engine.CloseRequest = 1;
    if (c.Does == Then::CloseAndLoseAFrame) {
      ASSERT_TRUE(RunToState(101, 400));
    }
    if (c.Does == Then::CloseAndLoseAFrame || c.Does == Then::CloseInTheParamReadAndLoseAFrame) {
      sim.IgnoreNext(1);
      expectedRetries += 1;
    } else {
      engine.Attach();
      if (c.Does == Then::AskForTheNext) {
        ASSERT_TRUE(engine.RequestAllowed(RequestKind::SetClock, engine.SetClockRequest != 0));
        engine.SetClockRequest = 1;
      }
      ASSERT_TRUE(RunToState(114, 400)) << "identified on the next line";
      engine.ParamsRequest = 0;
      ASSERT_TRUE(RunUntil([&] { return engine.CommState == 110 && engine.SetClockRequest == 0; }, 40));
      engine.CloseRequest = 1;
    }
    ASSERT_TRUE(RunToState(0, 400));
    EXPECT_EQ(sim.ClockFramesTaken(), clocks + (c.Set ? 1 : 0));
    EXPECT_EQ(view.Logged("Clock Set not sent"), c.Told);
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Be sure to re-load your Program File"});
  }
}

}  // namespace
}  // namespace controller::test
