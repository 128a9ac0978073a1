// The program download against the simulated controller: the program and the sun table in flash, the
// daylight-saving set-up and the program started; a refused block sent again.
#include <algorithm>
#include <cstdio>

#include "engine_fixture.h"

namespace controller::test {
namespace {

class ProgramDownloadTest : public EngineTest {
 protected:
  ProgramDownloadTest() {
    for (int n = 1; n <= 4096; ++n)
      project.Store.Lines[static_cast<std::size_t>(n)] =
          ProgramLine{static_cast<std::uint16_t>((3 << 10) | n % 1024), static_cast<std::uint16_t>(n * 7),
                      static_cast<std::uint16_t>(n)};
    project.Store.Lines[4000] = ProgramLine::End();
  }
  // Records 0..4095 as they lie in the store.
  std::vector<std::uint8_t> ProgramBytes() const {
    std::vector<std::uint8_t> bytes(4096 * ProgramLine::kBytes);
    for (int n = 0; n < 4096; ++n) project.Store.Lines[static_cast<std::size_t>(n)].Store(bytes.data() + n * 6);
    return bytes;
  }
  // The table of the location stored.
  std::array<std::uint8_t, SunTable::Bytes> Sun() const {
    return BuildSunTable(settings.Latitude, settings.Longitude, settings.TimeZone).ToBytes();
  }
  bool Downloaded() { return view.Logged("Controller Program Started") && engine.CommState == 110; }
};

TEST_F(ProgramDownloadTest, PutsTheProgramAndTheSunTableIntoFlashAndStartsIt) {
  settings.UseDaylightSaving = true;
  engine.DstActive = 0;
  Connect();
  view.SetText(CommsText::DumpAddress, "4096");  // a dump shown before
  ASSERT_TRUE(engine.RequestProgramDownload());
  ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));

  EXPECT_EQ(sim.ProgramImage(), ProgramBytes()) << "line 4096 is not sent; slot 0 is";
  const auto sun = Sun();
  const auto image = sim.SunTableImage();
  EXPECT_TRUE(std::equal(sun.begin(), sun.end(), image.begin()));
  EXPECT_TRUE(std::all_of(image.begin() + SunTable::Bytes, image.end(), [](auto b) { return b == 0; }));
  EXPECT_TRUE(sim.Faults().empty()) << sim.Faults().front();
  EXPECT_EQ(sim.FlashLoads(), 96 + 6);
  EXPECT_TRUE(sim.InterpreterRunning());
  EXPECT_EQ(engine.FlashArg, 0) << "every download reads the clock again first";

  const auto dst = sim.Commands(CmdSetControllerParam);
  ASSERT_EQ(dst.size(), 2u);
  EXPECT_EQ(dst[0].Args[0], 5);
  EXPECT_EQ(dst[0].Args[2], 1);
  EXPECT_EQ(dst[1].Args[0], 4);
  EXPECT_EQ(dst[1].Args[2], 0);

  EXPECT_EQ(view.Meter.back(), 98);
  EXPECT_FALSE(view.IsShown(CommsWindow::Meter));
  const std::vector<std::string> order = {"Controller Program Started", "Starting Controller Program",
                                          "Begin Program to Controller"};
  auto it = view.Log.begin();
  for (const std::string& line : order) {
    it = std::find(it, view.Log.end(), line);
    EXPECT_NE(it, view.Log.end()) << line;
  }
  char last[3];
  std::snprintf(last, sizeof last, "%02X", ProgramBytes()[95 * 256]);
  EXPECT_EQ(view.Cell(CommsGrid::Dump, 0, 0), last) << "the last program block shows in the dump grid";
  EXPECT_EQ(view.Texts[CommsText::DumpAddress], "") << "under no address: the staging area holds a sun block now";
}

TEST_F(ProgramDownloadTest, ARefusedBlockIsSentAgainToTheSameFlashBlock) {
  expectedRetries = 3;  // a refusal, a bad check and a lost block
  Connect();
  view.Detail = true;
  ASSERT_TRUE(engine.RequestProgramDownload());
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 513 && engine.BlockIndex == 12; }, 400));
  sim.NakNext(1);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 513 && engine.BlockIndex == 40; }, 400));
  sim.GarbleNextReceived(1);  // the controller finds the block's CRC bad
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 506 && engine.BlockIndex == 2; }, 400));
  sim.IgnoreNext(1);  // a sun block lost on the line
  ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
  EXPECT_EQ(sim.ProgramImage(), ProgramBytes());
  const auto sun = Sun();
  EXPECT_TRUE(std::equal(sun.begin(), sun.end(), sim.SunTableImage().begin()));
  EXPECT_EQ(std::count(view.Log.begin(), view.Log.end(), "Comms Retry flash load data 514 RX0"), 2);
  EXPECT_TRUE(view.Logged("Comms Retry    timeout 507 RX0"));
  EXPECT_TRUE(sim.Faults().empty());
  const auto loads = sim.Commands(CmdFlashLoad);
  ASSERT_GT(loads.size(), 13u);
  EXPECT_EQ(loads[12].Args[0], 0x51) << "block 12 goes to bank 0x51, block 0";
  EXPECT_EQ(loads[12].Args[1], 0);
  EXPECT_EQ(loads[95].Args[0], 0x57);
  EXPECT_EQ(loads[95].Args[1], 11);
}

// Their answers are otherwise taken as they come, but a refusal sends the command again: the download
// never ends under "Controller Program Started" with the interpreter stopped.
TEST_F(ProgramDownloadTest, ARefusedStopDaylightSavingOrStartCommandIsSentAgain) {
  expectedRetries = 3 * 3;  // one per case and refusal
  const struct {
    int Code, Nth;
    std::size_t Carried;  // times the controller carried the command out
  } cases[] = {{CmdStopInterpreter, 1, 1}, {CmdSetControllerParam, 2, 2}, {CmdStartProgram, 1, 1}};
  Connect();
  view.Detail = true;
  for (Byte refusal : Refusals)
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(c.Code) + " refused with " + std::to_string(refusal));
      sim.SetRefusalByte(refusal);
      const std::size_t before = sim.Commands(static_cast<Byte>(c.Code)).size();
      view.Log.clear();
      sim.RefuseCommand(c.Code, c.Nth);
      ASSERT_TRUE(engine.RequestProgramDownload());
      ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
      EXPECT_EQ(sim.Commands(static_cast<Byte>(c.Code)).size() - before, c.Carried);
      EXPECT_EQ(std::count_if(view.Log.begin(), view.Log.end(), [](auto& l) { return l.rfind("Comms Retry", 0) == 0; }),
                1);
      EXPECT_TRUE(sim.InterpreterRunning());
    }
}

// The clock reply carries the flash key without a check of its own: a key garbled in one reply is read
// again rather than flashed with, and a later download of the same connection reads the clock once.
TEST_F(ProgramDownloadTest, AFlashKeyIsTrustedOnlyOnceTwoClockRepliesAgree) {
  constexpr std::uint16_t K = 0x1234, G = K ^ 0x0100;
  const struct {
    const char* Replies;
    std::uint16_t Keys[3];  // the key in each clock reply
  } cases[] = {{"garbled first", {G, K, K}}, {"garbled between good ones", {K, G, K}}};
  expectedRetries = 2;  // the reply that disagrees, once a case
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Replies);
    sim.SetFlashKey(c.Keys[0]);
    Connect();
    view.Log.clear();
    const std::size_t reads = sim.Commands(CmdReadClock).size();
    const int loads = sim.FlashLoads();
    ASSERT_TRUE(engine.RequestProgramDownload());
    for (std::size_t k = 1; k < 3; ++k) {
      ASSERT_TRUE(RunUntil([&] { return sim.Commands(CmdReadClock).size() == reads + k; }, 40));
      sim.SetFlashKey(c.Keys[k]);
    }
    ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
    EXPECT_EQ(sim.Commands(CmdReadClock).size(), reads + 3);
    EXPECT_EQ(sim.FlashArgMismatches(), 0);
    EXPECT_EQ(sim.FlashLoads(), loads + 96 + 6);
    EXPECT_EQ(sim.ProgramImage(), ProgramBytes());

    view.Log.clear();
    ASSERT_TRUE(engine.RequestProgramDownload());
    ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
    EXPECT_EQ(sim.Commands(CmdReadClock).size(), reads + 4);
    EXPECT_EQ(sim.FlashLoads(), loads + 2 * (96 + 6));
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 40));
  }
}

// Another site dialled or the controller swapped: a key an earlier connection trusted is never flashed
// with, whether it came from clock reads or from a download cut short.
TEST_F(ProgramDownloadTest, EveryConnectionConfirmsItsOwnFlashKey) {
  const struct {
    const char* Earlier;
    bool CutShort;
  } cases[] = {{"two clock reads", false}, {"a download cut short", true}};
  expectedRetries = 9;  // the line lost under the download cut short
  std::uint16_t key = 0x1111;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Earlier);
    sim.SetFlashKey(key);
    Connect();
    if (c.CutShort) {
      ASSERT_TRUE(engine.RequestProgramDownload());
      ASSERT_TRUE(RunUntil([&] { return engine.CommState == 513 && engine.BlockIndex == 2; }, 400));
      sim.IgnoreNext(9);
      ASSERT_TRUE(RunToState(0, 200));
      EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
    } else {
      for (int read = 0; read < 2; ++read) {
        engine.ClockRequest = 1;
        ASSERT_TRUE(RunUntil([&] { return engine.ClockRequest == 0 && engine.CommState == 114; }, 40));
      }
    }
    ASSERT_EQ(engine.FlashArg, key);
    if (!c.CutShort) {
      engine.CloseRequest = 1;
      ASSERT_TRUE(RunToState(0, 40));
    }

    key += 0x1111;
    sim.SetFlashKey(key);
    Connect();
    view.Log.clear();
    const std::size_t reads = sim.Commands(CmdReadClock).size();
    ASSERT_TRUE(engine.RequestProgramDownload());
    ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
    EXPECT_EQ(sim.Commands(CmdReadClock).size(), reads + 2);
    EXPECT_EQ(sim.FlashArgMismatches(), 0);
    EXPECT_EQ(sim.ProgramImage(), ProgramBytes());
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 40));
    key += 0x1111;
  }
}

// Nothing answers a flash load: a send that discarded it while it still waited, in the port or in the
// device, would lose a block unseen. The engine moves on only once it has left both.
TEST_F(ProgramDownloadTest, AFlashLoadHeldInThePortOrTheDeviceIsNotDiscardedByTheNextSend) {
  using Hold = serial::test::HeldTty::Hold;
  serial::test::HeldTty* tty = nullptr;
  serial::test::UseHeldTty(port, tty);
  const struct {
    int SendState, Block;
    Hold Where;
  } holds[] = {{515, 5, Hold::InPort}, {515, 7, Hold::InDevice}, {508, 2, Hold::InDevice}};
  Connect();
  ASSERT_TRUE(engine.RequestProgramDownload());
  for (const auto& h : holds) {
    SCOPED_TRACE("flash load of state " + std::to_string(h.SendState) + ", block " + std::to_string(h.Block));
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == h.SendState && engine.BlockIndex == h.Block; }, 400));
    const int loads = sim.FlashLoads(), sends = view.Sends;
    tty->SetHold(h.Where);
    engine.Tick();  // the flash load
    if (h.Where == Hold::InDevice) {
      ASSERT_TRUE(
          serial::test::WaitFor([&] { return port.OutBuffUsed() == 0 && tty->HeldInDevice() == CommandFrameSize; }));
    }
    for (int tick = 0; tick < 3; ++tick) engine.Tick();
    EXPECT_EQ(engine.CommState, h.SendState + 1);
    EXPECT_EQ(view.Sends, sends + 1) << "nothing sent while the flash load waits";
    tty->SetHold(Hold::None);
    // Ticks run back to back here: the next waits until the port has counted the frame gone.
    ASSERT_TRUE(sim.WaitUntil([&] { return sim.FlashLoads() == loads + 1 && port.OutputDrained(); }));
  }
  ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
  EXPECT_EQ(sim.FlashLoads(), 96 + 6);
  EXPECT_EQ(sim.ProgramImage(), ProgramBytes());
}

TEST_F(ProgramDownloadTest, OnlyAProgramWithAnEndLineBeforeLine4096IsSent) {
  const struct {
    int EndAt;
    bool Sent;
  } cases[] = {{4095, true}, {4096, false}, {0, false}};
  for (const auto& c : cases) {
    for (auto& line : project.Store.Lines) line = ProgramLine{};
    if (c.EndAt) project.Store.Lines[static_cast<std::size_t>(c.EndAt)] = ProgramLine::End();
    engine.ProgramDownloadRequest = 0;
    Ui().Clear();
    EXPECT_EQ(engine.RequestProgramDownload(), c.Sent) << c.EndAt;
    EXPECT_EQ(engine.ProgramDownloadRequest, c.Sent ? 1 : 0);
    EXPECT_EQ(Ui().Messages().size(), c.Sent ? 0u : 1u);
  }
  EXPECT_EQ(Ui().Messages().back(), "Program Has NO End Statment, Download Aborted");
}

// A stored location the settings window refuses (an older registry, one edited by hand) would put a sun
// table of impossible times into the controller: the download does not start and says which field to mend.
TEST_F(ProgramDownloadTest, AStoredLocationTheSettingsWindowRefusesStartsNoDownload) {
  const struct {
    const char* Latitude;
    const char* Longitude;
    const char* TimeZone;
    const char* Field;
  } cases[] = {
      {"91", "84.39", "-5", "Latitude"}, {"33.75", "999", "-5", "Longitude"}, {"33.75", "84.39", "-5.5", "Time Zone"}};
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Field);
    settings.Latitude = c.Latitude;
    settings.Longitude = c.Longitude;
    settings.TimeZone = c.TimeZone;
    Ui().Clear();
    EXPECT_FALSE(engine.RequestProgramDownload());
    EXPECT_EQ(engine.ProgramDownloadRequest, 0);
    ASSERT_EQ(Ui().Messages().size(), 1u);
    EXPECT_EQ(Ui().Messages()[0].rfind(c.Field, 0), 0u) << Ui().Messages()[0];
    EXPECT_NE(Ui().Messages()[0].find("Comms Setup"), std::string::npos) << Ui().Messages()[0];
  }
  for (int tick = 0; tick < 20; ++tick) Step();
  EXPECT_TRUE(sim.Commands(CmdStopInterpreter).empty()) << "the controller is not stopped";
  EXPECT_EQ(sim.FlashLoads(), 0);

  // Mended since the window built its table (it is built when the window is shown): the table sent is the
  // one of the location just checked.
  settings.Latitude = "-33.9";
  settings.Longitude = "-18.4";
  settings.TimeZone = "2";
  ASSERT_TRUE(engine.RequestProgramDownload());
  ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
  const auto sun = BuildSunTable("-33.9", "-18.4", "2").ToBytes();
  EXPECT_TRUE(std::equal(sun.begin(), sun.end(), sim.SunTableImage().begin()));
}

// The location, the daylight-saving choice and whether daylight saving is in force go as they were when
// the download was asked, checked then, whatever the window showed before: changed while it waits behind its
// clock read, even to a location the settings window refuses or across the changeover date, they change
// nothing of what goes out.
TEST_F(ProgramDownloadTest, TheSunTableAndDaylightSavingAreThoseOfTheAsk) {
  const struct {
    const char* What;
    bool Use;
    platform::LocalTime AskedOn;
    std::uint8_t Shown;  // what Controller Access computed when it was shown
    bool UseAfter;
    platform::LocalTime After;
    int Enabled, InForce;  // controller parameters 5 and 4
  } cases[] = {
      {"in force, unticked after, into winter",
       true,
       {2007, 7, 4, 12, 0, 0, 3},
       0,
       false,
       {2007, 12, 1, 12, 0, 0, 6},
       1,
       1},
      {"before the changeover, the date passing it",
       true,
       {2007, 3, 10, 23, 59, 0, 6},
       1,
       true,
       {2007, 3, 11, 0, 0, 0, 0},
       1,
       0},
      {"not used, ticked after", false, {2007, 7, 4, 12, 0, 0, 3}, 1, true, {2007, 7, 4, 12, 0, 0, 3}, 0, 0},
  };
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    settings.Longitude = "84.39";
    settings.UseDaylightSaving = c.Use;
    clock.Time = c.AskedOn;
    engine.DstActive = c.Shown;
    view.Log.clear();
    const std::size_t sets = sim.Commands(CmdSetControllerParam).size();
    ASSERT_TRUE(engine.RequestProgramDownload());
    settings.Longitude = "999";
    settings.UseDaylightSaving = c.UseAfter;
    clock.Time = c.After;
    ASSERT_TRUE(RunUntil([&] { return Downloaded(); }, 1000));
    EXPECT_TRUE(Ui().Messages().empty());
    const auto sun = BuildSunTable(settings.Latitude, "84.39", settings.TimeZone).ToBytes();
    EXPECT_TRUE(std::equal(sun.begin(), sun.end(), sim.SunTableImage().begin()));
    const auto dst = sim.Commands(CmdSetControllerParam);
    ASSERT_EQ(dst.size(), sets + 2);
    EXPECT_EQ(dst[sets].Args[2], c.Enabled);
    EXPECT_EQ(dst[sets + 1].Args[2], c.InForce);
  }
}

}  // namespace
}  // namespace controller::test
