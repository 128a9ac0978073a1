// Every download and maintenance operation against a controller that refuses, garbles, drops, falls
// silent, hangs up, answers late (inside the engine's time-out, or after it, so the frame goes again and
// both answers come; a transfer's block so, with the frame after it refused) or at the pace of a 9600-baud
// line. Each cell ends within a bounded number of ticks, with the controller holding exactly what the
// operation meant to put there or with the failure told; none claims success over wrong bytes. Flash-load commands are
// never lost: nothing confirms them. Each tick is 250 ms of the simulator's line clock, so a late or paced answer
// reaches the engine at the tick a real line would bring it, however fast the ticks run.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using namespace std::chrono_literals;
using testing_support::SimBytes;
using testing_support::SimController;
using testing_support::SimFrame;

// The last two refuse as the first two do, with the refusal garbled on the line.
enum class Fault {
  RefuseEvery3rdAck,
  RefuseChosen,
  GarbleEvery4thReply,
  DropEvery5thFrame,
  SilenceMidway,
  HangUpMidway,
  Late300ms,
  Paced9600,
  RefuseEvery3rdAckWith95,
  RefuseChosenWith05,
  Every4thAfterTimeOut,
  LateBlockThenRefused
};
constexpr int FaultCount = 12;
const char* const FaultNames[FaultCount] = {"a_Refuse3rdAck", "b_RefuseChosen", "c_Garble4thReply", "d_Drop5thFrame",
                                            "e_Silence",      "f_HangUp",       "g_Late300ms",      "h_Paced9600",
                                            "i_Refuse3rd95",  "j_Chosen05",     "k_AfterTimeOut",   "l_LateBlock"};

class FaultMatrixTest;
using Action = std::function<void(FaultMatrixTest&)>;
using Check = std::function<bool(FaultMatrixTest&)>;

constexpr const char* Lost = "Lost Connection";

// Each cell ends exact (the controller holds what was meant) or told; what it ends in is stated here: "exact"
// or the texts the user sees, in order. A late or slow line, a garbled reply or a lost frame costs no more
// than time; silence or a hang-up loses the connection; refusals end as the row says.
struct Operation {
  const char* Name;
  int ChosenCode;                      // what (b, j) refuses every time; -1: the operation sends no command
  const char* ChosenRefused;           // what (b, j) end in
  int FirstState;                      // the operation has begun once the engine was here
  int Midway;                          // frames after which the line falls silent or is hung up
  int Ticks;                           // the bound
  Action Prepare;                      // before connecting
  Action Start;                        // posts the request
  Check Exact;                         // the controller holds what was meant
  Check Claimed;                       // a text says it succeeded (none: the operation has no such text)
  Action User = nullptr;               // what the user does while it runs
  Check ClaimHolds = nullptr;          // what that text says, where it says less than Exact checks
  const char* ThirdRefused = "exact";  // what (a, i) end in
  const char* LostTold = Lost;         // what a line gone midway ends in
};

SimBytes Pattern(std::size_t size, int seed) {
  SimBytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256 * 13 + seed);
  return bytes;
}

class FaultMatrixTest : public EngineTest, public ::testing::WithParamInterface<std::tuple<int, Fault>> {
 public:
  FaultMatrixTest() { sim.DriveLineClock(); }
  static const std::vector<Operation>& Operations();
  static std::map<std::string, std::map<int, std::string>>& Outcomes() {
    static std::map<std::string, std::map<int, std::string>> outcomes;
    return outcomes;
  }
  static void TearDownTestSuite();

  void Arm(Fault fault, const Operation& op) {
    armedAt = sim.Frames().size();
    switch (fault) {
      case Fault::RefuseEvery3rdAckWith95:
        sim.SetRefusalByte(0x95);
        [[fallthrough]];
      case Fault::RefuseEvery3rdAck:
        sim.RefuseEveryNthAck(3);
        break;
      case Fault::RefuseChosenWith05:
        sim.SetRefusalByte(0x05);
        [[fallthrough]];
      case Fault::RefuseChosen:
        sim.RefuseCommand(op.ChosenCode);
        break;
      case Fault::GarbleEvery4thReply:
        sim.GarbleEveryNthReply(4);
        break;
      case Fault::DropEvery5thFrame:
        sim.DropEveryNthFrame(5);
        break;
      case Fault::SilenceMidway:
        sim.SilenceAfter(op.Midway);
        break;
      case Fault::HangUpMidway:
        sim.HangUpAfter(op.Midway);
        break;
      case Fault::Late300ms:
        sim.SetReplyDelay(300ms);
        break;
      case Fault::Paced9600:
        sim.SetPacing(true);
        sim.SetReceivePacing(true);
        break;
      case Fault::Every4thAfterTimeOut:
        sim.AnswerLateEveryNth(4, 3400ms, 1000ms);
        break;
      case Fault::LateBlockThenRefused:
        break;  // armed as the second block goes (StallSecondBlock)
    }
  }
  // A transfer's second block is answered after the time-out, the block sent again a second after its send,
  // and the frame after them is refused: that refusal is its own, not the block's, and sends it again.
  void StallSecondBlock(int blockState) {
    if (engine.CommState == blockState && ++blocksSeen == 2) {
      sim.AnswerNextLate(3300ms);
      stalledAt = sim.Frames().size();
    }
    if (!stalledAt) return;
    const std::size_t taken = sim.Frames().size() - stalledAt;
    if (taken == 1 && stallStep == 0) {
      sim.AnswerNextLate(1000ms);
      stallStep = 1;
    } else if (taken == 2 && stallStep == 1) {
      sim.NakNext(1);
      stallStep = 2;
    }
  }
  // The state that sends a block of each transfer.
  static int BlockState(const std::string& op) {
    static const std::map<std::string, int> states = {{"ProgramDownload", 513}, {"ExecutiveReload", 133},
                                                      {"TouchScreen", 903},     {"Icons", 1101},
                                                      {"IrFileDownload", 143},  {"AsciiTable", 612}};
    const auto it = states.find(op);
    return it == states.end() ? 0 : it->second;
  }

  // The engine idles with nothing left to do, or has disconnected.
  bool Ended() {
    const CommsEngine& e = engine;
    if (e.CommState == 0) return true;
    const bool queueEmpty =
        std::all_of(e.CommandQueue.begin(), e.CommandQueue.end(), [](const auto& slot) { return slot[0] == 0; });
    return e.CommState == 114 && queueEmpty && !e.ProgramDownloadRequest && !e.ReloadExecRequest &&
           !e.TouchLoadRequest && !e.IconLoadRequest && !e.IrDownloadRequest && !e.AsciiTableRequest &&
           !e.ModuleParamsRequest && !e.ParamChangeRequest && !e.ParamsRequest && !e.SetClockRequest &&
           !e.ClockRequest && e.X10SendRequest < 0 && !e.ExtX10Request && e.IrLearnNumber == -1 && !e.RelayRequest &&
           e.AutoAddressRequest == -1 && !e.DumpRequest && !e.RawCommandRequest;
  }
  // What the user was told: the messages shown and the refusals logged, in the order they came. The
  // restart's own reminder tells of no fault.
  std::vector<std::string> Told() const {
    std::vector<std::string> told = testing_support::TestUi().Messages();
    std::erase(told, "Be sure to re-load your Program File");
    for (auto line = view.Log.rbegin(); line != view.Log.rend(); ++line)
      if (line->find(" refused by the controller") != std::string::npos) told.push_back(*line);
    return told;
  }
  // The retries the faults injected since Arm() owe: one for each refusal, garbled answer the engine looks
  // at, and frame lost or answered after the time-out while its answer is waited for; none for a refusal the
  // engine tells instead.
  int RetriesOwed() const {
    int owed = 0;
    const auto frames = sim.Frames();
    for (std::size_t i = armedAt; i < frames.size(); ++i) {
      const SimFrame& f = frames[i];
      const bool answerLookedAt = !(IsCommand(f, CmdReadClock) || IsCommand(f, CmdWaitX10));
      const bool answerAwaited = !(IsCommand(f, CmdFlashLoad) || testing_support::IsStartBlock(f));
      const bool afterTimeOut = f.Late >= 3s;
      if (f.Refused || (f.Garbled && answerLookedAt) || ((f.Ignored || afterTimeOut) && answerAwaited)) ++owed;
    }
    const auto told = Told();
    return owed - static_cast<int>(std::count_if(told.begin(), told.end(), [](const std::string& t) {
             return t.find(" refused by the controller") != std::string::npos;
           }));
  }
  static bool IsCommand(const SimFrame& f, Byte code) {
    return f.Bytes.size() == CommandFrameSize && f.Bytes[0] == CommandStart && f.Bytes[1] == code;
  }

  std::size_t armedAt = 0;
  int blocksSeen = 0, stallStep = 0;
  std::size_t stalledAt = 0;

  testing_support::TempDir dir;
  SimBytes data;  // what the operation sends, where it sends a file or an image
  int presses = 0;
};

const std::vector<Operation>& FaultMatrixTest::Operations() {
  using T = FaultMatrixTest;
  static const std::vector<Operation> ops = {
      {"ProgramDownload", CmdStartProgram, Lost, 499, 100, 4000,
       [](T& t) {
         for (int n = 1; n <= 4096; ++n)
           t.project.Store.Lines[static_cast<std::size_t>(n)] = ProgramLine{
               static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n * 7), static_cast<std::uint16_t>(n)};
         t.project.Store.Lines[4000] = ProgramLine::End();
         t.engine.Sun = BuildSunTable("33.75", "84.39", "-5");
       },
       [](T& t) { t.engine.RequestProgramDownload(); },
       [](T& t) {
         SimBytes bytes(4096 * ProgramLine::kBytes);
         for (int n = 0; n < 4096; ++n)
           t.project.Store.Lines[static_cast<std::size_t>(n)].Store(bytes.data() + n * ProgramLine::kBytes);
         const auto sun = t.engine.Sun.ToBytes();
         return t.sim.ProgramImage() == bytes && std::equal(sun.begin(), sun.end(), t.sim.SunTableImage().begin()) &&
                t.sim.InterpreterRunning();
       },
       [](T& t) { return t.view.Logged("Controller Program Started"); }},
      {"ExecutiveReload", testing_support::SimStartBlock, Lost, 128, 3, 1500,
       [](T& t) {
         t.data = Pattern(600, 3);
         t.settings.CurrentDirectory = t.dir.Path().string();
         testing_support::WriteFile(t.dir.File("FLASH512.BIN"), std::string(t.data.begin(), t.data.end()));
       },
       [](T& t) { t.engine.RequestExecReload(); },
       [](T& t) {
         const auto image = t.sim.ExecutiveImage();
         return std::equal(t.data.begin(), t.data.end(), image.begin() + 0x1200) && t.sim.InterpreterRunning();
       },
       [](T& t) { return t.view.Logged("Program Downloaded OK"); }, nullptr, nullptr,
       // the clock set that follows the restart is the third acknowledgement
       "exact; Clock Set refused by the controller"},
      {"TouchScreen", CmdStoreTouch, Lost, 900, 60, 3000,
       [](T& t) {
         TouchObject button;
         button.Type = TouchButton;
         button.Page = 1;
         button.Text = "Lights";
         for (int record : {1, 2, 200, 255}) {
           button.ObjectNumber = static_cast<std::uint16_t>(record);
           t.project.Touch.SetObject(record, button);
         }
       },
       [](T& t) { t.engine.RequestTouchLoad(); },
       [](T& t) {
         const auto sent = t.project.Touch.DownloadImage().first(256 * TouchScreenTable::kRecordBytes);
         const auto held = t.sim.TouchObjects();
         return std::equal(sent.begin(), sent.end(), held.begin()) && t.sim.InterpreterRunning();
       },
       [](T& t) { return t.view.Logged("Touchscreen Data Downloaded OK"); }},
      {"Icons", CmdReadClock, Lost, 1100, 150, 4000,
       [](T& t) {
         t.data = Pattern(192 * 256, 5);
         t.project.Icons = [&t](std::span<std::uint8_t> buffer, project::CommsLog&) {
           std::copy(t.data.begin(), t.data.end(), buffer.begin());
         };
       },
       [](T& t) { t.engine.RequestIconLoad(); }, [](T& t) { return t.sim.IconImage() == t.data; }, nullptr},
      {"IrFileDownload", CmdStoreIr, Lost, 140, 5, 1500,
       [](T& t) {
         t.data = Pattern(3 * 256, 7);
         t.sim.SetParameter(123, 1);  // the interpreter is stopped around the transfer
         testing_support::WriteFile(t.dir.File("codes.lir"), std::string(t.data.begin(), t.data.end()));
       },
       [](T& t) {
         t.engine.ParamsRequest = 1;
         t.engine.RequestIrDownload(t.dir.File("codes.lir"), true);
       },
       [](T& t) {
         for (int k = 0; k < 3; ++k)
           if (t.sim.IrCode(k) != SimBytes(t.data.begin() + k * 256, t.data.begin() + (k + 1) * 256)) return false;
         return t.sim.InterpreterRunning();
       },
       nullptr},
      {"AsciiTable", CmdStoreAscii, Lost, 610, 16, 1500,
       [](T& t) {
         for (int n = 0; n < 128; ++n) t.project.Ascii.SetText(n, "Message " + std::to_string(n));
       },
       [](T& t) { t.engine.RequestAsciiTable(0); },
       [](T& t) {
         for (int b = 0; b < 16; ++b) {
           SimBytes expected(256);
           for (int j = 0; j < 8; ++j) {
             const std::string text = t.project.Ascii.Text(8 * b + j);
             std::copy(text.begin(), text.end(), expected.begin() + 32 * j);
           }
           if (t.sim.AsciiBlock(b) != expected) return false;
         }
         return true;
       },
       nullptr},
      {"ClockSet", testing_support::SimClockFrame, "Clock Set refused by the controller", 530, 0, 300,
       [](T& t) {
         t.sim.SetClock({2001, 1, 1, 0, 0, 0, 1});
       },
       [](T& t) { t.engine.SetClockRequest = 1; },
       [](T& t) {
         const ClockFields c = t.sim.Clock();
         const platform::LocalTime& pc = t.clock.Time;
         return t.sim.ClockFramesTaken() > 0 && c.Year == pc.Year && c.Month == pc.Month && c.Day == pc.Day &&
                c.Hour == pc.Hour && c.Minute == pc.Minute && c.Second == pc.Second;
       },
       nullptr},
      {"ParameterChange", CmdSetControllerParam, "Parameter Change refused by the controller", 120, 0, 300, nullptr,
       [](T& t) {
         t.engine.CommandQueue[0] = {CmdSetControllerParam, 9, 0x01, 0x2C, 0, 0};
         t.engine.ParamsRequest = 1;
       },
       [](T& t) { return t.sim.Parameter(9) == 300; }, nullptr},
      {"ModuleParamRead", CmdGatherModuleParam, Lost, 199, 60, 3000,
       [](T& t) {
         for (int module : {1, 3}) {
           t.sim.SetModule(module, 5);
           for (int p = 0; p < 64; ++p)
             t.sim.SetModuleParameter(module, p, static_cast<std::uint16_t>(module * 1000 + p));
         }
         t.sim.SetManagerBusyPolls(0);
       },
       [](T& t) { t.engine.ModuleParamsRequest = 1; },
       [](T& t) {
         for (int module : {1, 3})
           for (int p = 0; p < 64; ++p)
             if (t.engine.ModuleParamTable[static_cast<std::size_t>(module)][static_cast<std::size_t>(p)] !=
                 module * 1000 + p)
               return false;
         return true;
       },
       [](T& t) { return t.view.Texts[CommsText::ModuleParamStatus] == "Parameters Received"; }},
      {"ModuleParamWrite", CmdWriteModuleParam, "Module Parameter Change refused by the controller", 206, 0, 600,
       [](T& t) { t.sim.SetModule(2, 5); },
       [](T& t) {
         t.engine.ParamChangeModule = 2;
         t.engine.ParamChangeNumber = 5;
         t.engine.ParamChangeValue = 1000;
         t.engine.ParamChangeRequest = 1;
       },
       [](T& t) { return t.sim.ModuleParameter(2, 5) == 1000 && t.engine.ModuleParamTable[2][5] == 1000; },
       [](T& t) { return t.view.Texts[CommsText::ModuleParamStatus] == "Parameters Received"; }, nullptr,
       // the read-back's line: the table shows what the controller holds
       [](T& t) { return t.engine.ModuleParamTable[2][5] == t.sim.ModuleParameter(2, 5); }},
      {"X10Send", CmdSendX10, "X10 Command refused by the controller", 518, 0, 300, nullptr,
       [](T& t) {
         t.engine.X10Key = 17;  // all lights on
         t.engine.X10SendRequest = 2;
       },
       [](T& t) { return t.sim.X10Unit(2, 9); }, nullptr},
      {"ExtendedX10", CmdExtendedX10, "Extended X10 Command refused by the controller", 450, 0, 300, nullptr,
       [](T& t) {
         t.engine.ExtX10Command = {1, 2, 0x20, '1'};
         t.engine.ExtX10Request = 1;
       },
       [](T& t) { return !t.sim.Commands(CmdExtendedX10).empty(); }, nullptr},
      {"IrLearn", CmdLearnIr, "IR Learn refused by the controller", 560, 1, 600, nullptr,
       [](T& t) { t.engine.IrLearnNumber = 5; },
       [](T& t) { return t.sim.IrCode(5).has_value() && t.sim.Parameter(17) == 0; },
       [](T& t) { return t.view.Logged("Ir Learn Complete"); },
       [](T& t) {
         // The user holds the remote to the receiver once the controller waits for it.
         if (t.engine.CommState == 564 && t.presses == 0 && t.sim.CompleteIrLearn()) {
           t.presses = 1;
           serial::test::PumpIn(t.port, 1);
         }
       },
       [](T& t) { return t.sim.IrCode(5).has_value(); },  // what "Ir Learn Complete" claims
       "exact", "Lost Connection; IR Learn end not confirmed: the controller's IR receiver may be left learning"},
      {"Relay", CmdRelay, "Relay Command refused by the controller", 580, 0, 300, nullptr,
       [](T& t) {
         t.engine.RelayPoint = 3;
         t.engine.RelayOn = 1;
         t.engine.RelayRequest = 2;
       },
       [](T& t) { return t.sim.Relay(2, 3); }, nullptr},
      {"AutoAddress", CmdFindModule, "Auto Address Command refused by the controller", 590, 1, 1500, nullptr,
       [](T& t) { t.engine.AutoAddressRequest = 1; },
       [](T& t) {
         return t.sim.Parameter(3) == 2 && t.sim.ModuleType(1) == 5 && t.sim.ModuleType(2) == 5 &&
                t.sim.InterpreterRunning();
       },
       nullptr,  // the restart after it closes with the reload's line, which claims nothing of the addressing
       [](T& t) {
         // The installer presses two modules' buttons, then "Abort".
         if (t.engine.CommState != 592 || t.engine.AbortRequest) return;
         if (t.presses < 2 && t.engine.AutoAddressRequest == 1 + t.presses) {
           if (t.sim.PressModuleButton(5) < 0 || !serial::test::PumpIn(t.port, 1)) t.engine.AbortRequest = 1;
           ++t.presses;
         } else if (t.presses == 2 && t.engine.AutoAddressRequest == 3) {
           t.engine.AbortRequest = 1;
         }
       },
       nullptr, "exact",
       // The line goes as the last number is written: the controller gave 2 and was never told.
       "Lost Connection; Last Module Number 2 not confirmed"},
      {"MemoryDump", -1, nullptr, 550, 0, 300, [](T& t) { t.sim.Write(0x1234, Pattern(256, 9)); },
       [](T& t) {
         t.engine.DumpAddress = 0x1234;
         t.engine.DumpRequest = 1;
       },
       [](T& t) {
         const SimBytes memory = t.sim.Read(0x1234, 256);
         for (int i = 0; i < 256; ++i) {
           char hex[4];
           std::snprintf(hex, sizeof hex, "%02x", memory[static_cast<std::size_t>(i)]);
           if (t.view.Cell(CommsGrid::Dump, i % 16, i / 16) != hex) return false;
         }
         return true;
       },
       nullptr},
      {"RawCommand", CmdStopInterpreter, "Raw Command refused by the controller", 155, 0, 300, nullptr,
       [](T& t) {
         t.engine.RawCommand = {CmdStopInterpreter, 0, 0, 0, 0, 0};
         t.engine.RawCommandRequest = 1;
       },
       [](T& t) { return !t.sim.InterpreterRunning(); }, nullptr},
  };
  return ops;
}

void FaultMatrixTest::TearDownTestSuite() {
  std::printf("\n%-17s", "operation");
  for (const char* name : FaultNames) std::printf(" %-11.11s", name + 2);
  std::printf("\n");
  for (const auto& [op, cells] : Outcomes()) {
    std::printf("%-17s", op.c_str());
    for (int f = 0; f < FaultCount; ++f) std::printf(" %-11s", cells.count(f) ? cells.at(f).c_str() : "-");
    std::printf("\n");
  }
}

std::string Expected(const Operation& op, Fault fault) {
  switch (fault) {
    case Fault::RefuseEvery3rdAck:
    case Fault::RefuseEvery3rdAckWith95:
      return op.ThirdRefused;
    case Fault::RefuseChosen:
    case Fault::RefuseChosenWith05:
      return op.ChosenRefused;
    case Fault::SilenceMidway:
    case Fault::HangUpMidway:
      return op.LostTold;
    default:
      return "exact";
  }
}

TEST_P(FaultMatrixTest, EndsExactOrTold) {
  const Operation& op = Operations()[static_cast<std::size_t>(std::get<0>(GetParam()))];
  const Fault fault = std::get<1>(GetParam());
  if (op.Prepare) op.Prepare(*this);
  Connect();
  Arm(fault, op);
  op.Start(*this);
  bool begun = false;
  int ticks = 0;
  // A failure may end the connection before the operation's first state.
  while (!((begun || engine.CommState == 0) && Ended()) && ticks < op.Ticks) {
    if (op.User) op.User(*this);
    if (fault == Fault::LateBlockThenRefused) StallSecondBlock(BlockState(op.Name));
    Step();
    ++ticks;
    begun = begun || engine.CommState == op.FirstState;
  }
  ASSERT_TRUE((begun || engine.CommState == 0) && Ended())
      << "state " << engine.CommState << " after " << ticks << " ticks";

  expectedRetries = RetriesOwed();
  const bool exact = op.Exact(*this), claimed = op.Claimed && op.Claimed(*this);
  std::string outcome = exact ? "exact" : "";
  for (const std::string& told : Told()) outcome += (outcome.empty() ? "" : "; ") + told;
  EXPECT_EQ(outcome, Expected(op, fault));
  EXPECT_FALSE(claimed && !(op.ClaimHolds ? op.ClaimHolds(*this) : exact)) << "success claimed over wrong bytes";
  Outcomes()[op.Name][static_cast<int>(fault)] = std::string(exact ? "exact" : "told") + " " + std::to_string(ticks);
}

std::vector<std::tuple<int, Fault>> Cells() {
  std::vector<std::tuple<int, Fault>> cells;
  for (int op = 0; op < static_cast<int>(FaultMatrixTest::Operations().size()); ++op)
    for (int f = 0; f < FaultCount; ++f) {
      const auto fault = static_cast<Fault>(f);
      const Operation& o = FaultMatrixTest::Operations()[static_cast<std::size_t>(op)];
      const bool chosen = fault == Fault::RefuseChosen || fault == Fault::RefuseChosenWith05;
      if (chosen && o.ChosenCode < 0) continue;
      if (fault == Fault::LateBlockThenRefused && !FaultMatrixTest::BlockState(o.Name)) continue;
      cells.emplace_back(op, fault);
    }
  return cells;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FaultMatrixTest, ::testing::ValuesIn(Cells()),
    [](const ::testing::TestParamInfo<std::tuple<int, Fault>>& info) {
      return std::string(FaultMatrixTest::Operations()[static_cast<std::size_t>(std::get<0>(info.param))].Name) + "_" +
             FaultNames[static_cast<int>(std::get<1>(info.param))];
    });

}  // namespace
}  // namespace controller::test
