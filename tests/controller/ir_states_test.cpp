// IR codes against the simulated controller: learning (completed by the controller, cancelled by the
// user), transmitting, clearing and remote transmitting, and the IR file transfers of both firmware
// generations with their open, write and disconnect failures.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>

#include "engine_fixture.h"
#include "serial/dispatcher.h"
#include "support/no_free_descriptors.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using testing_support::ReadFile;
using testing_support::SimBytes;
using testing_support::SimFrameKind;
using testing_support::WriteFile;

std::string Pattern(std::size_t size, int seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256 * 13 + seed) & 0xFF);
  return bytes;
}

SimBytes Bytes(const std::string& text, std::size_t from, std::size_t count) {
  return SimBytes(text.begin() + static_cast<std::ptrdiff_t>(from),
                  text.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// Makes every write past `bytes` into a regular file fail (EFBIG), as a full disk would.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit low = saved_;
    low.rlim_cur = bytes;
    previous_ = ::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &low);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  sighandler_t previous_ = SIG_DFL;
};

class IrTest : public EngineTest {
 protected:
  // The engine idles again after a request: polling, nothing left to do.
  bool BackToPolling() {
    return RunUntil([&] { return engine.CommState == 114 && !engine.ParamsRequest; }, 2000);
  }
  // What the IR file dialogs do: fresh parameters, then the transfer in the format the firmware takes.
  void RequestDownload(const std::string& path) {
    engine.ParamsRequest = 1;
    EXPECT_TRUE(engine.RequestIrDownload(path, engine.FirmwareVersion >= 820)) << "asked";
  }
  void RequestUpload(const std::string& path) {
    engine.IrUploadFileName = path;
    engine.IrUploadLir = engine.FirmwareVersion >= 820;
    engine.ParamsRequest = 1;
    engine.IrUploadRequest = 1;
  }
  // Commands in the order the controller carried them out.
  std::vector<Byte> CommandCodes() const {
    std::vector<Byte> codes;
    for (const auto& frame : sim.Frames())
      if (frame.Kind == SimFrameKind::Command && !frame.Refused) codes.push_back(frame.Code);
    return codes;
  }
  std::vector<std::uint16_t> BlockAddresses() const {
    std::vector<std::uint16_t> addresses;
    for (const auto& frame : sim.Frames())
      if (frame.Kind == SimFrameKind::Block && frame.Args[1] == 1 && frame.Args[4] == 0)
        addresses.push_back(frame.Address);
    return addresses;
  }
  // Nothing moves on the line while the controller restarts: those ticks need no settling.
  bool SitOutRestartWait() {
    for (int i = 0; i < 310 && (engine.CommState == 166 || engine.CommState == 176); ++i) engine.Tick();
    return engine.CommState == 100;
  }
  std::vector<std::string> DirEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing_support::TempDir dir;
};

// --- Learn, clear, transmit, remote ---

TEST_F(IrTest, ALearnWaitsWithoutTimeOutUntilTheControllerSendsFD) {
  Connect();
  engine.IrLearnNumber = 5;
  engine.IrLearnFrequency = 120;
  ASSERT_TRUE(RunToState(564, 40));
  EXPECT_TRUE(view.IsShown(CommsWindow::IrLearnPanel));
  EXPECT_EQ(view.Texts[CommsText::Step], "Learn Command Sent");
  for (int i = 0; i < 40; ++i) Step();
  EXPECT_EQ(engine.CommState, 564) << "the user may take their time";
  EXPECT_EQ(engine.RetryCount, 0);

  sim.Push({0x41});  // stray bytes are dropped
  ASSERT_TRUE(serial::test::PumpIn(port, 1));
  Step();
  EXPECT_EQ(engine.CommState, 564);
  ASSERT_TRUE(sim.CompleteIrLearn());
  ASSERT_TRUE(serial::test::PumpIn(port, 1));
  ASSERT_TRUE(BackToPolling());

  EXPECT_TRUE(view.Logged("Ir Learn Complete"));
  EXPECT_FALSE(view.IsShown(CommsWindow::IrLearnPanel));
  EXPECT_EQ(engine.IrLearnNumber, -1);
  EXPECT_TRUE(sim.IrCode(5).has_value());
  const auto params = sim.Commands(CmdSetControllerParam);
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[0].Args, (std::array<std::uint8_t, 5>{17, 0, 1, 0, 0}));
  EXPECT_EQ(params[1].Args, (std::array<std::uint8_t, 5>{17, 0, 0, 0, 0})) << "learning switched off again";
  const auto learn = sim.Commands(CmdLearnIr);
  ASSERT_EQ(learn.size(), 1u);
  EXPECT_EQ(learn[0].Args, (std::array<std::uint8_t, 5>{5, 0, 120, 0, 0}));
}

// Closed before the learn command went out, the learn is not sent (not as IR# 65535 either); closed as the
// idle pass took it, nothing is sent at all. A code that comes while the receiver is switched back (before
// the switch-off goes, or ahead of its answer) was learnt, and is told so; only a learn that got no code is
// told cut short.
TEST_F(IrTest, ALearnIsCancelledByClosingItsWindowOrByTheDisconnect) {
  enum class Code { None, BeforeTheSwitchOff, AheadOfItsAnswer };
  const struct {
    const char* How;
    bool Disconnect;
    int EndState;
    int CancelIn = 564;
    Code Comes = Code::None;
    std::size_t Switches = 2;  // parameter 17 on and off
  } cases[] = {
      {"learn window closed", false, 114},
      {"disconnect asked for", true, 0},
      {"learn window closed before the learn went out", false, 114, 561},
      {"learn window closed as the learn was taken", false, 114, 560, Code::None, 0},
      {"disconnect asked for, the code comes before the switch-off", true, 0, 564, Code::BeforeTheSwitchOff},
      // Last: the line clock drives the simulator from here on.
      {"disconnect asked for, the code comes ahead of the switch-off's answer", true, 0, 564, Code::AheadOfItsAnswer}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.How);
    if (engine.CommState != 114) Connect();
    view.Log.clear();
    const std::size_t before = sim.Commands(CmdSetControllerParam).size();
    const std::size_t learns = sim.Commands(CmdLearnIr).size();
    engine.IrLearnNumber = 9;
    ASSERT_TRUE(RunToState(c.CancelIn, 40));
    if (c.Disconnect)
      engine.CloseRequest = 1;
    else
      engine.IrLearnNumber = -1;
    if (c.Comes != Code::None) {
      ASSERT_TRUE(RunToState(565, 2));
    }
    if (c.Comes == Code::BeforeTheSwitchOff) {
      ASSERT_TRUE(sim.CompleteIrLearn());
      ASSERT_TRUE(serial::test::PumpIn(port, 1));
    } else if (c.Comes == Code::AheadOfItsAnswer) {
      // The switch-off goes, the code stored just before it comes, then its answer.
      sim.DriveLineClock();
      sim.SetIrCode(9, SimBytes(256, 0x5A));
      sim.Push({0xFD}, std::chrono::milliseconds(500));
      sim.SetReplyDelay(std::chrono::seconds(1));
      Step();
      sim.SetReplyDelay({});
    }
    ASSERT_TRUE(RunToState(c.EndState, 200));
    const auto params = sim.Commands(CmdSetControllerParam);
    ASSERT_EQ(params.size(), before + c.Switches);
    if (c.Switches) {
      EXPECT_EQ(params.back().Args[2], 0) << "learning switched off";
    }
    EXPECT_FALSE(view.IsShown(CommsWindow::IrLearnPanel));
    EXPECT_EQ(view.Logged("Ir Learn Complete"), c.Comes != Code::None);
    EXPECT_EQ(view.Logged("IR Learn cut short"), c.Disconnect && c.Comes == Code::None);
    EXPECT_EQ(sim.IrCode(9).has_value(), c.Comes != Code::None);
    EXPECT_EQ(engine.IrLearnNumber, -1);
    EXPECT_EQ(sim.Commands(CmdLearnIr).size(), learns + (c.CancelIn == 564));
  }
}

// Parameter 17 is set before the learn command goes out, whatever was refused; a refused learn ends as
// closing the window does; a refused switch-off is sent again, so no cancelled learn stores a code later.
TEST_F(IrTest, RefusalsNeverLeaveALearnWithoutParameter17) {
  expectedRetries = 3 * 2;  // each refused parameter 17; a refused learn is told, not sent again
  enum class End { Learnt, Refused, Cancelled };
  const struct {
    const char* What;
    int Code, Nth;
    End Ends;
  } cases[] = {{"parameter 17 refused", CmdSetControllerParam, 1, End::Learnt},
               {"learn refused", CmdLearnIr, 1, End::Refused},
               {"switch-off refused after a cancel", CmdSetControllerParam, 2, End::Cancelled}};
  for (Byte refusal : Refusals)
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.What) + " with " + std::to_string(refusal));
      sim.SetRefusalByte(refusal);
      Connect();
      view.Log.clear();
      sim.RefuseCommand(c.Code, c.Nth);
      engine.IrLearnNumber = 5;
      if (c.Ends != End::Refused) {
        ASSERT_TRUE(RunToState(564, 60));
      }
      if (c.Ends == End::Learnt) {
        ASSERT_TRUE(sim.CompleteIrLearn());
        ASSERT_TRUE(serial::test::PumpIn(port, 1));
      }
      if (c.Ends == End::Cancelled) engine.IrLearnNumber = -1;
      ASSERT_TRUE(RunUntil([&] { return engine.CommState == 110 && engine.IrLearnNumber == -1; }, 100));
      EXPECT_EQ(view.Logged("Ir Learn Complete"), c.Ends == End::Learnt);
      EXPECT_EQ(view.Logged("IR Learn refused by the controller"), c.Ends == End::Refused);
      EXPECT_EQ(sim.Parameter(17), 0) << "learning switched off again";
      EXPECT_FALSE(view.IsShown(CommsWindow::IrLearnPanel));
    }
}

TEST_F(IrTest, TransmitClearAndRemoteSendTheirCommandAndFreeTheirRequest) {
  sim.SetIrCode(300, SimBytes(256, 0x11));
  const struct {
    const char* What;
    std::function<void(CommsEngine&)> Post;
    Byte Code;
    std::array<std::uint8_t, 5> Args;
    std::function<bool(const CommsEngine&)> Freed;
    std::string Step;  // the step text the operation ends with
  } cases[] = {
      {"transmit",
       [](auto& e) { e.IrTransmitNumber = 258; },
       CmdTransmitIr,
       {2, 1, 0, 0, 0},
       [](auto& e) { return e.IrTransmitNumber == -1; },
       "Sending Transmit Command"},
      {"clear",
       [](auto& e) {
         e.IrClearFrequency = 120;
         e.IrClearNumber = 300;
       },
       CmdClearIr,
       {0x2C, 1, 120, 0, 0},
       [](auto& e) { return e.IrClearNumber == -1; },
       "Clear IR Command Sent"},
      {"remote",
       [](auto& e) {
         e.RemoteIrNumber = 513;
         e.RemoteIrZone = 3;
         e.RemoteIrRequest = 7;
       },
       CmdRemoteIr,
       {7, 3, 1, 2, 0},
       [](auto& e) { return e.RemoteIrRequest == 0; },
       "Sending Transmit Remote Command"},
  };
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    c.Post(engine);
    ASSERT_TRUE(RunUntil([&] { return c.Freed(engine); }, 40));
    EXPECT_EQ(engine.CommState, 110);
    EXPECT_EQ(view.Texts[CommsText::Step], c.Step);
    ASSERT_TRUE(BackToPolling());
    const auto sent = sim.Commands(c.Code);
    ASSERT_EQ(sent.size(), 1u) << "sent once";
    EXPECT_EQ(sent[0].Args, c.Args);
  }
  EXPECT_FALSE(sim.IrCode(300).has_value());
}

// --- Staging transfers (firmware 8.20 and later) ---

TEST_F(IrTest, ALirDownloadStoresEveryRecordAsItsCodeAndSendsNoBlockPastTheEnd) {
  // A long path: more than the 59 characters the original could hold.
  const std::string path = dir.File("a_library_of_infra_red_codes_with_a_name_well_past_sixty_characters.lir");
  const std::string file = Pattern(600, 1);
  WriteFile(path, file);
  Connect();
  RequestDownload(path);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 140; }, 40));
  ASSERT_TRUE(BackToPolling());

  const auto stored = sim.Commands(CmdStoreIr);
  ASSERT_EQ(stored.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(stored[static_cast<std::size_t>(k)].Args[0], k);
  EXPECT_EQ(sim.IrCode(0), Bytes(file, 0, 256));
  EXPECT_EQ(sim.IrCode(1), Bytes(file, 256, 256));
  const SimBytes last = *sim.IrCode(2);
  EXPECT_EQ(SimBytes(last.begin(), last.begin() + 88), Bytes(file, 512, 88));
  EXPECT_EQ(SimBytes(last.begin() + 88, last.end()), SimBytes(168, 0)) << "zeros after the file's last bytes";
  EXPECT_TRUE(view.Logged("Opening File: " + path));
  EXPECT_TRUE(view.Logged("File: " + path + " Open"));
  EXPECT_FALSE(view.IsShown(CommsWindow::Meter));
  EXPECT_EQ(view.Meter.back(), 100);
  EXPECT_TRUE(std::all_of(view.Meter.begin(), view.Meter.end(), [](int p) { return p >= 0 && p <= 100; }));
  EXPECT_TRUE(sim.Commands(CmdStopInterpreter).empty());
  EXPECT_TRUE(sim.Faults().empty()) << sim.Faults().front();

  // An empty file stores nothing: no block of leftovers goes out as code 0.
  WriteFile(path, "");
  RequestDownload(path);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 140; }, 40));
  ASSERT_TRUE(BackToPolling());
  EXPECT_EQ(sim.Commands(CmdStoreIr).size(), 3u);
  EXPECT_EQ(engine.IrDownloadRequest, 0) << "over, though nothing went";
}

TEST_F(IrTest, ALirUploadAsksForCodesZeroToParameter122) {
  sim.SetIrCode(0, SimBytes(256, 0x10));
  sim.SetIrCode(9, SimBytes(256, 0x19));
  const struct {
    int Highest;
    std::size_t Bytes;
  } cases[] = {{9, 2560}, {0, 256}};
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Highest);
    sim.SetParameter(122, static_cast<std::uint16_t>(c.Highest));
    const std::string path = dir.File("codes.lir");
    RequestUpload(path);
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 180; }, 40));
    ASSERT_TRUE(BackToPolling());
    const std::string file = ReadFile(path);
    ASSERT_EQ(file.size(), c.Bytes);
    EXPECT_EQ(Bytes(file, 0, 256), SimBytes(256, 0x10));
    if (c.Highest == 9) {
      EXPECT_EQ(Bytes(file, 256, 256), SimBytes(256, 0xFF)) << "an unused code reads as erased flash";
      EXPECT_EQ(Bytes(file, 9 * 256, 256), SimBytes(256, 0x19));
    }
    EXPECT_EQ(view.Meter.back(), 100) << "a zero scale reads as done";
    EXPECT_FALSE(view.IsShown(CommsWindow::Meter));
  }
  const auto loads = sim.Commands(CmdLoadIr);
  ASSERT_EQ(loads.size(), 11u);
  EXPECT_EQ(loads[9].Args[0], 9);
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"codes.lir"}) << "nothing else left in the directory";
}

TEST_F(IrTest, Parameter123StopsTheInterpreterForAStagingTransferAndStartsItAfter) {
  const std::string path = dir.File("codes.lir");
  WriteFile(path, Pattern(512, 2));
  sim.SetParameter(122, 1);
  const struct {
    const char* What;
    bool Upload;
    int Param123;
    Byte DataCommand;
  } cases[] = {{"download", false, 1, CmdStoreIr},
               {"upload", true, 1, CmdLoadIr},
               {"download, interpreter left running", false, 0, CmdStoreIr},
               {"upload, interpreter left running", true, 0, CmdLoadIr}};
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    sim.SetParameter(123, static_cast<std::uint16_t>(c.Param123));
    const std::size_t from = CommandCodes().size();
    c.Upload ? RequestUpload(path) : RequestDownload(path);
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == (c.Upload ? 180 : 140); }, 40));
    ASSERT_TRUE(BackToPolling());
    auto codes = CommandCodes();
    codes.erase(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(from));
    std::vector<Byte> expected;
    if (c.Param123 == 1) expected.push_back(CmdStopInterpreter);
    for (int k = 0; k < 2; ++k) expected.push_back(c.DataCommand);
    if (c.Param123 == 1) expected.push_back(CmdStartProgram);
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(view.Logged("Stopping Interp"), c.Param123 == 1);
    EXPECT_TRUE(sim.InterpreterRunning());
    view.Log.clear();
  }
}

// --- Image transfers (firmware before 8.20) ---

class IrImageTest : public IrTest {
 protected:
  IrImageTest() { sim.SetFirmwareVersion(819); }
};

TEST_F(IrImageTest, AnImageUploadWrites63BlocksFromC000AndRestartsTheController) {
  const std::string image = Pattern(16128, 3);
  sim.Write(0xC000, Bytes(image, 0, image.size()));
  const std::string path = dir.File("memory.ir");
  WriteFile(path, "an older image");
  Connect();
  RequestUpload(path);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 176; }, 400));
  EXPECT_TRUE(view.IsShown(CommsWindow::Restart));
  EXPECT_EQ(sim.ControlStops(), 1);
  EXPECT_EQ(sim.ControlStarts(), 1);
  EXPECT_EQ(ReadFile(path), image) << "named as soon as the last block is in";
  ASSERT_TRUE(SitOutRestartWait());
  EXPECT_FALSE(view.IsShown(CommsWindow::Restart));
  EXPECT_EQ(view.RestartPosition, 100);
  EXPECT_EQ(view.Log.front(), "Ir Data Uploaded OK");
  std::vector<std::uint16_t> requested;
  for (const auto& frame : sim.Frames())
    if (frame.Kind == SimFrameKind::Request && frame.Address >= 0xC000) requested.push_back(frame.Address);
  ASSERT_EQ(requested.size(), 63u);
  EXPECT_EQ(requested.front(), 0xC000);
  EXPECT_EQ(requested.back(), 0xFE00);
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"memory.ir"});
  EXPECT_TRUE(sim.Faults().empty()) << sim.Faults().front();
}

TEST_F(IrImageTest, AnImageDownloadWritesTheFileFromC000BlockByBlock) {
  const struct {
    std::size_t Size;
    int Blocks;
  } cases[] = {{600, 3}, {512, 2}, {16384, 64}, {0, 0}};
  const std::string path = dir.File("memory.ir");
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Size);
    sim.Write(0xC000, SimBytes(16384, 0xEE));
    const std::string file = Pattern(c.Size, static_cast<int>(c.Size));
    WriteFile(path, file);
    const std::size_t before = BlockAddresses().size();
    RequestDownload(path);
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 166; }, 400));
    ASSERT_TRUE(SitOutRestartWait());
    EXPECT_EQ(view.Log.front(), "Ir Data Downloaded OK");
    const auto addresses = BlockAddresses();
    ASSERT_EQ(addresses.size() - before, static_cast<std::size_t>(c.Blocks)) << "no block without file bytes";
    if (c.Blocks) {
      EXPECT_EQ(addresses.back(), 0xC000 + (c.Blocks - 1) * 256);
    }
    EXPECT_EQ(sim.Read(0xC000, c.Size), Bytes(file, 0, c.Size));
    if (c.Size % 256) {
      EXPECT_EQ(sim.Read(static_cast<std::uint16_t>(0xC000 + c.Size), 256 - c.Size % 256),
                SimBytes(256 - c.Size % 256, 0));
    }
  }
  EXPECT_TRUE(view.Logged("Sending 88 bytes to C200"));
  EXPECT_TRUE(view.Logged("Sending 256 bytes to FF00"));
  EXPECT_EQ(sim.ControlStops(), 4);
  EXPECT_EQ(sim.ControlStarts(), 4);
}

TEST_F(IrImageTest, ARefusedImageBlockIsSentAgainAtOnceAndCountedAsARetry) {
  expectedRetries = 3;  // the three refusals
  const std::string path = dir.File("memory.ir");
  const std::string file = Pattern(768, 5);
  WriteFile(path, file);
  view.Detail = true;
  Connect();
  RequestDownload(path);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 163 && engine.BlockIndex == 0xC100; }, 60));
  sim.NakNext(3);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 166; }, 200));
  EXPECT_EQ(sim.Read(0xC000, 768), Bytes(file, 0, 768));
  const auto addresses = BlockAddresses();
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), 0xC100), 4);
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), 0xC200), 1);
  EXPECT_TRUE(view.Logged("Comms Retry ir load data 164 RX0"));
}

TEST_F(IrImageTest, ARefusedBlockGoesAgainFromTheFileNotFromWhatAReplyLeftInTheFrame) {
  expectedRetries = 1;  // the refusal
  const std::string path = dir.File("memory.ir");
  const std::string file = Pattern(512, 7);
  WriteFile(path, file);
  Connect();
  RequestDownload(path);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 163 && engine.BlockIndex == 0xC100; }, 60));
  sim.NakNext(1);
  ASSERT_TRUE(RunToState(164, 20));
  ASSERT_TRUE(RunToState(163, 60)) << "refused: the block goes again";
  // What a long or noisy reply leaves in the frame before the block is sent again.
  std::fill(engine.FrameBuffer.begin() + controller::BlockDataOffset, engine.FrameBuffer.end(), 0xEE);
  ASSERT_TRUE(RunToState(166, 200));
  EXPECT_EQ(sim.Read(0xC000, 512), Bytes(file, 0, 512));
}

TEST_F(IrImageTest, AControllerThatKeepsRefusingEndsTheConnection) {
  expectedRetries = 18;  // nine in each case
  const struct {
    const char* What;
    bool Upload;
    int Refused;  // the send state refused
  } cases[] = {{"image block", false, 163}, {"upload's stop block", true, 171}};
  const std::string path = dir.File("memory.ir");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    WriteFile(path, Pattern(768, 5));
    Ui().Clear();
    Connect();
    c.Upload ? RequestUpload(path) : RequestDownload(path);
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == c.Refused; }, 60));
    sim.NakNext(1000);
    ASSERT_TRUE(RunToState(0, 100)) << "state " << engine.CommState;
    sim.NakNext(0);
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Lost Connection"});
    EXPECT_EQ(ReadFile(path), Pattern(768, 5));
  }
}

// --- The file as asked ---

// The download sends the file as it was when asked, on both roads: rewritten or removed while the download
// waits, the controller gets what was there at the ask and nothing of what came after.
TEST_F(IrTest, TheFileSentIsTheOneReadWhenAsked) {
  const struct {
    int Firmware;
    const char* Name;
    bool Removed;  // else rewritten, longer
  } cases[] = {
      {820, "codes.lir", false}, {820, "codes.lir", true}, {819, "memory.ir", false}, {819, "memory.ir", true}};
  // Codes 0-3, or the IR memory's first four blocks: a block past the file asked keeps its 0xEE.
  const auto held = [&](bool lir) {
    if (!lir) return sim.Read(0xC000, 1024);
    SimBytes bytes;
    for (int k = 0; k < 4; ++k) {
      const SimBytes code = sim.IrCode(k).value_or(SimBytes());
      bytes.insert(bytes.end(), code.begin(), code.end());
    }
    return bytes;
  };
  int seed = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + (c.Removed ? " removed" : " rewritten"));
    const bool lir = c.Firmware >= 820;
    sim.SetFirmwareVersion(c.Firmware);
    for (int k = 0; k < 4; ++k) sim.SetIrCode(k, SimBytes(256, 0xEE));
    sim.Write(0xC000, SimBytes(1024, 0xEE));
    Connect();
    const std::string path = dir.File(c.Name);
    const std::string asked = Pattern(600, ++seed);
    WriteFile(path, asked);
    RequestDownload(path);
    if (c.Removed)
      std::filesystem::remove(path);
    else
      WriteFile(path, Pattern(1024, 99));
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == (lir ? 147 : 166); }, 400)) << "state " << engine.CommState;
    ASSERT_TRUE(lir || SitOutRestartWait());
    ASSERT_TRUE(BackToPolling());
    SimBytes expected = Bytes(asked, 0, asked.size());
    expected.resize(768, 0);  // the last block's bytes past the file are zero
    expected.resize(1024, 0xEE);
    EXPECT_EQ(held(lir), expected);
  }
}

// A file that cannot be sent is refused and told when it is asked: nothing reaches the controller, whose
// interpreter goes on running (parameter 123 would have it stopped for a record download).
TEST_F(IrTest, AFileThatCannotBeSentIsRefusedWhenAsked) {
  const struct {
    const char* What;
    int Firmware;
    std::function<void(const std::string&)> Make;
  } cases[] = {
      {"a missing file", 820, [](const std::string&) {}},
      {"a directory", 820, [](const std::string& path) { std::filesystem::create_directory(path); }},
      {"an image larger than the IR memory", 819, [](const std::string& path) { WriteFile(path, Pattern(16385, 4)); }},
  };
  sim.SetParameter(123, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    sim.SetFirmwareVersion(c.Firmware);
    Connect();
    Ui().Clear();
    view.Log.clear();
    const std::string path = dir.File(std::string(c.What) + (c.Firmware >= 820 ? ".lir" : ".ir"));
    c.Make(path);
    engine.ParamsRequest = 1;
    EXPECT_FALSE(engine.RequestIrDownload(path, c.Firmware >= 820));
    EXPECT_EQ(engine.IrDownloadRequest, 0);
    EXPECT_EQ(view.Log, (std::vector<std::string>{"File: " + path + " Error", "Opening File: " + path}));
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"File: " + path + " Error: Infra-Red File Download not sent"});
    ASSERT_TRUE(BackToPolling());
  }
  EXPECT_TRUE(sim.Commands(CmdStopInterpreter).empty());
  EXPECT_EQ(sim.ControlStops(), 0);
  EXPECT_TRUE(sim.Commands(CmdStoreIr).empty());
  EXPECT_TRUE(BlockAddresses().empty());
  EXPECT_TRUE(sim.InterpreterRunning());
}

// --- Failures ---

TEST_F(IrTest, AnUploadFileThatCannotBeCreatedIsLoggedAndEndsTheConnection) {
  const std::string missingDir = dir.File("gone") + "/codes.lir";
  const std::string aDirectory = dir.File("folder");
  std::filesystem::create_directory(aDirectory);
  const struct {
    const char* What;
    std::string Path;
    std::string Line;
    bool NoDescriptors;
  } cases[] = {
      {"into a missing directory", missingDir, "File: " + missingDir + " Not Found Error", false},
      {"with no descriptor left", dir.File("x.lir"), "File: " + dir.File("x.lir") + " Too Many Files Error", true},
      {"over a directory", aDirectory, "File: " + aDirectory + " Error", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Connect();
    view.Log.clear();
    engine.ParamsRequest = 0;
    engine.IrUploadRequest = 1;
    engine.IrUploadFileName = c.Path;
    engine.IrUploadLir = true;
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 180; }, 40));
    {
      std::optional<testing_support::NoFreeDescriptors> none;
      if (c.NoDescriptors) none.emplace();
      Step();
    }
    EXPECT_EQ(engine.CommState, 1000);
    ASSERT_GE(view.Log.size(), 2u);
    EXPECT_EQ(view.Log[0], c.Line);
    EXPECT_EQ(view.Log[1], "Opening File: " + c.Path);
    ASSERT_TRUE(RunToState(0, 20));
    EXPECT_EQ(engine.IrUploadRequest, 0);
  }
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"folder"});
}

TEST_F(IrTest, AFailedWriteKeepsTheOldFileAndClaimsNoSuccess) {
  const struct {
    int Firmware;
    int EndBefore;  // the state that starts the controller or interpreter again
  } cases[] = {{820, 187}, {819, 175}};
  const std::string path = dir.File("codes.ir");
  WriteFile(path, "the old codes");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Firmware);
    sim.SetFirmwareVersion(c.Firmware);
    sim.SetParameter(122, 20);
    sim.SetParameter(123, 1);
    Connect();
    view.Log.clear();
    RequestUpload(path);
    ASSERT_TRUE(RunUntil([&] { return engine.CommState == 181 || engine.CommState == 171; }, 40));
    {
      ScopedFileSizeLimit limit(1000);
      ASSERT_TRUE(RunUntil([&] { return engine.CommState == c.EndBefore; }, 400));
    }
    EXPECT_EQ(view.Log.front(), "File: " + path + " Error");
    ASSERT_TRUE(BackToPolling());
    EXPECT_EQ(ReadFile(path), "the old codes");
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"codes.ir"});
    EXPECT_FALSE(view.Logged("Ir Data Uploaded OK"));
    EXPECT_TRUE(sim.InterpreterRunning()) << "started again all the same";
    engine.CloseRequest = 1;
    ASSERT_TRUE(RunToState(0, 20));
  }
}

TEST_F(IrTest, AnUploadCutShortByADisconnectLeavesTheOldFileAndNoOther) {
  expectedRetries = 9;  // the silence, until the connection is lost
  const std::string path = dir.File("codes.lir");
  WriteFile(path, "the old codes");
  sim.SetParameter(122, 30);
  Connect();
  RequestUpload(path);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 183 && engine.BlockIndex == 5; }, 200));
  sim.IgnoreNext(1000);
  ASSERT_TRUE(RunToState(0, 400));
  EXPECT_EQ(ReadFile(path), "the old codes");
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"codes.lir"});
}

}  // namespace
}  // namespace controller::test
