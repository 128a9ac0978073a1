// The idle pass starts the requests in their order; a transfer sends what was asked, each operation takes
// the ticks its states count, a tick inside a tick is skipped, and a refused command is told, not sent again.
#include "controller/comms_engine.h"

#include <algorithm>
#include <functional>

#include "engine_fixture.h"

namespace controller::test {
namespace {

struct IdleCase {
  const char* Name;
  std::function<void(CommsEngine&)> Set;
  int Next;
};

TEST_F(EngineTest, TheIdleStateStartsTheLastSetRequestInItsOrder) {
  const IdleCase cases[] = {
      {"nothing", [](CommsEngine&) {}, 110},
      {"download and disconnect",
       [](CommsEngine& e) {
         e.ProgramDownloadRequest = e.CloseRequest = 1;
         e.FlashArg = 7;
       },
       1001},
      {"icons without a flash argument read the clock first", [](CommsEngine& e) { e.IconLoadRequest = 1; }, 540},
      {"icons with one",
       [](CommsEngine& e) {
         e.IconLoadRequest = 1;
         e.FlashArg = 7;
       },
       1100},
      {"a queue with only its last slot used", [](CommsEngine& e) { e.CommandQueue[128][0] = 0x28; }, 120},
      {"X10 house A", [](CommsEngine& e) { e.X10SendRequest = 0; }, 518},
      {"a counted-down clock request", [](CommsEngine& e) { e.ClockRequest = 3; }, 110},
      {"IR upload, old firmware", [](CommsEngine& e) { e.IrUploadRequest = 1; }, 170},
      {"IR upload, 8.20",
       [](CommsEngine& e) {
         e.IrUploadRequest = 1;
         e.IrUploadLir = true;
         e.FirmwareVersion = 820;
       },
       180},
      {"X10 monitor on 2.13",
       [](CommsEngine& e) {
         e.X10MonitorRequest = 1;
         e.AppVersion = 213;
       },
       300},
      {"X10 monitor on 2.12",
       [](CommsEngine& e) {
         e.X10MonitorRequest = 1;
         e.AppVersion = 212;
       },
       520},
      {"a reconnection beats every request", [](CommsEngine& e) { e.ReconnectRequest = e.SetClockRequest = 1; }, 1},
      {"the user's close wins over a posted reconnection",
       [](CommsEngine& e) { e.ReconnectRequest = e.CloseRequest = 1; }, 1001},
      {"and over a request posted around it",
       [](CommsEngine& e) {
         e.TouchLoadRequest = e.CloseRequest = 1;
         e.CommandQueue[0][0] = 0x28;
       },
       1001},
      {"but for the clock set that ends a reload",
       [](CommsEngine& e) { e.SetClockRequest = e.ReloadClock = e.CloseRequest = 1; }, 530},
      {"variable 255", [](CommsEngine& e) { e.ChangeDataRequest = 255; }, 710},
      {"a change before the refresh",
       [](CommsEngine& e) {
         e.ChangeDataRequest = 4;
         e.TimerVarMonitorRequest = 1;
       },
       710},
  };
  for (const IdleCase& c : cases) {
    CommsEngine fresh{CommsParts{port, view, settings, project, noDialUp, clock}};
    c.Set(fresh);
    fresh.CommState = 114;
    fresh.Tick();
    EXPECT_EQ(fresh.CommState, c.Next) << c.Name;
    if (std::string(c.Name) == "a counted-down clock request") {
      EXPECT_EQ(fresh.ClockRequest, 2);
    }
    if (std::string(c.Name) == "a queue with only its last slot used") {
      EXPECT_EQ(fresh.QueueIndex, 128);
    }
    if (c.Next == 1) {
      EXPECT_EQ(fresh.ReconnectRequest, 0);
    }
    if (c.Next == 1001) {
      EXPECT_EQ(fresh.CloseRequest, 1) << "its end drops and tells the rest";
    }
  }
}

// A transfer sends what was there when it was asked, checked then: asked while the X10 monitor holds the
// engine, then edited before it starts, the controller gets the table as it stood when asked.
TEST_F(EngineTest, ATransferSendsWhatWasThereWhenItWasAsked) {
  using testing_support::SimBytes;
  std::array<std::string, 16> pagerRows;
  view.Inputs[CommsInput::PagerRow] = [&](int row) { return pagerRows.at(static_cast<std::size_t>(row)); };
  std::uint8_t iconByte = 0;
  project.Icons = [&](std::span<std::uint8_t> buffer, project::CommsLog&) {
    std::fill_n(buffer.begin(), 1300, iconByte);
  };
  // `count` texts, each in a zero-padded field of `width` bytes.
  const auto fields = [](int count, std::size_t width, const std::function<std::string(int)>& text) {
    SimBytes bytes;
    for (int n = 0; n < count; ++n) {
      SimBytes field(width, 0);
      const std::string t = text(n);
      std::copy_n(t.begin(), std::min(t.size(), width), field.begin());
      bytes.insert(bytes.end(), field.begin(), field.end());
    }
    return bytes;
  };
  const auto fillAscii = [&](const std::string& mark) {
    for (int n = 0; n < 128; ++n) project.Ascii.SetText(n, mark + std::to_string(n));
  };
  const auto newProject = [&] {
    project.Ascii.Clear();
    project.Ascii.SetText(27, "LATE27");
  };
  const auto asciiTable = [&] { return fields(128, 32, [&](int n) { return project.Ascii.Text(n); }); };
  const struct {
    const char* Transfer;
    std::function<void()> Fill, Ask, Edit;
    std::function<SimBytes()> Table, Held;
    std::function<bool()> Done;
  } rows[] = {
      {"program and sun table",
       [&] {
         for (int n = 1; n <= 4096; ++n)
           project.Store.Lines[static_cast<std::size_t>(n)] =
               ProgramLine{static_cast<std::uint16_t>(3 << 10 | n % 1024), static_cast<std::uint16_t>(n), 7};
         project.Store.Lines[4000] = ProgramLine::End();
       },
       [&] { EXPECT_TRUE(engine.RequestProgramDownload()); },
       [&] {
         for (auto& line : project.Store.Lines) line = ProgramLine{};  // File > New Program
         settings.Latitude = "-33.9";
       },
       [&] {
         SimBytes bytes(4096 * ProgramLine::kBytes);
         for (int n = 0; n < 4096; ++n)
           project.Store.Lines[static_cast<std::size_t>(n)].Store(bytes.data() + n * ProgramLine::kBytes);
         const auto sun = BuildSunTable(settings.Latitude, settings.Longitude, settings.TimeZone).ToBytes();
         bytes.insert(bytes.end(), sun.begin(), sun.end());
         return bytes;
       },
       [&] {
         SimBytes held = sim.ProgramImage();
         const SimBytes sun = sim.SunTableImage();
         held.insert(held.end(), sun.begin(), sun.begin() + SunTable::Bytes);
         return held;
       },
       [&] { return view.Logged("Controller Program Started"); }},
      {"ASCII messages to the controller", [&] { fillAscii("Message "); }, [&] { engine.RequestAsciiTable(0); },
       newProject, asciiTable,
       [&] {
         SimBytes held;
         for (int b = 0; b < 16; ++b) {
           const SimBytes block = sim.AsciiBlock(b).value_or(SimBytes(256));
           held.insert(held.end(), block.begin(), block.end());
         }
         return held;
       },
       [&] { return sim.Commands(CmdStoreAscii).size() == 16; }},
      {"ASCII messages to module 3", [&] { fillAscii("Module message "); }, [&] { engine.RequestAsciiTable(3); },
       newProject, asciiTable,
       [&] {
         const auto forwarded = sim.ForwardedAscii();
         return fields(128, 32, [&](int n) {
           const auto& f = forwarded.at(static_cast<std::size_t>(n));
           return f.Module == 3 ? f.Text : std::string();
         });
       },
       [&] { return sim.ForwardedAscii().size() == 128; }},
      {"pager messages", [&] { pagerRows.fill("Call home"); }, [&] { engine.RequestPagerLoad(); },
       [&] { pagerRows[9] = "LATE"; },
       [&] { return fields(16, 64, [&](int row) { return pagerRows.at(static_cast<std::size_t>(row)); }); },
       [&] { return sim.Read(0x7B00, 1024); }, [&] { return !engine.PagerLoadRequest && engine.CommState == 110; }},
      {"icons", [&] { iconByte = 0x11; }, [&] { engine.RequestIconLoad(); }, [&] { iconByte = 0x22; },
       [&] {
         SimBytes image(192 * 256, 0);
         std::fill_n(image.begin(), 1300, iconByte);
         return image;
       },
       [&] { return sim.IconImage(); }, [&] { return !engine.IconLoadRequest && engine.CommState == 110; }},
      {"touch screen", [&] { project.Touch.SetBacklightOffDelay(30); }, [&] { engine.RequestTouchLoad(); },
       [&] { project.Touch.SetBacklightOffDelay(99); },
       [&] {
         const auto image = project.Touch.DownloadImage();
         return SimBytes(image.begin(), image.end());
       },
       [&] {
         const SimBytes held = sim.TouchObjects();
         return SimBytes(held.begin(), held.begin() + TouchScreenTable::kDownloadBytes);
       },
       [&] { return engine.CommState == 908; }},
  };
  sim.SetX10QuietAnswer(std::chrono::milliseconds(0));
  Connect();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Transfer);
    ASSERT_TRUE(RunToState(114, 40));
    engine.X10MonitorRequest = 1;
    ASSERT_TRUE(RunToState(304, 20));
    r.Fill();
    r.Ask();
    const SimBytes asked = r.Table();
    r.Edit();
    ASSERT_NE(r.Table(), asked) << "the edit changes the table";
    engine.X10MonitorRequest = 0;
    ASSERT_TRUE(RunUntil(r.Done, 128 * 30));
    EXPECT_TRUE(r.Held() == asked) << "the controller holds the table as it stood when asked";
  }
}

// An instant line: each exchange takes its send tick and one wait tick, as the states allow at best.
TEST_F(EngineTest, OperationsTakeTheTicksTheirStatesCount) {
  engine.CommState = 1;
  int ticks = 0;
  for (; engine.CommState != 114 && ticks < 100; ++ticks) Step();
  EXPECT_EQ(ticks, 22) << "attach and identify: 1, 4, 94-99, 100-113";
  engine.ParamsRequest = 0;

  const struct {
    const char* Name;
    std::function<void()> Ask;
    int Ticks;  // from the idle pass that takes the request back to polling (state 110)
  } cases[] = {
      {"nothing", [] {}, 1},
      {"parameters", [&] { engine.ParamsRequest = 1; }, 3},
      {"queued command", [&] { engine.CommandQueue[3] = {0x28, 9, 0, 1, 0, 0}; }, 3},
      {"clock set", [&] { engine.SetClockRequest = 1; }, 3},
      {"clock read", [&] { engine.ClockRequest = 1; }, 3},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(engine.CommState, 114) << c.Name;
    c.Ask();
    int n = 0;
    for (; engine.CommState != 110 && n < 100; ++n) Step();
    EXPECT_EQ(n, c.Ticks) << c.Name;
    for (int i = 0; i < 4; ++i) Step();
    EXPECT_EQ(engine.CommState, 114) << "the poll: 110-113, " << c.Name;
  }
  EXPECT_EQ(engine.RetryCount, 0);
}

// A message box opened inside a tick runs a nested event loop, where the timer fires again: that tick is
// skipped, not run inside the first.
TEST_F(EngineTest, ATickInsideATickIsSkipped) {
  Connect();
  bool armed = true, skipped = false;
  view.OnLog = [&] {
    if (!armed) return;
    armed = false;
    const int state = engine.CommState;
    engine.Tick();
    skipped = engine.CommState == state;
  };
  engine.SetClockRequest = 1;
  ASSERT_TRUE(RunUntil([&] { return !armed; }, 10));
  EXPECT_TRUE(skipped);
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 110 && engine.SetClockRequest == 0; }, 10));
  EXPECT_EQ(sim.ClockFramesTaken(), 1);
}

// Commands whose answers the conversation takes as they come are still told when refused, and not sent again.
TEST_F(EngineTest, ARefusedSingleCommandIsLoggedAndNotSentAgain) {
  using testing_support::SimClockFrame;
  struct Case {
    const char* Operation;
    int Code, Nth;
    std::function<void(CommsEngine&)> Request;
    int At = 0;  // in this state the user does what Then does
    std::function<void(CommsEngine&)> Then = nullptr;
  };
  const Case cases[] = {
      {"Clock Set", SimClockFrame, 1, [](CommsEngine& e) { e.SetClockRequest = 1; }},
      {"Parameter Change", CmdSetControllerParam, 1,
       [](CommsEngine& e) { e.CommandQueue[0] = {CmdSetControllerParam, 9, 0, 5, 0, 0}; }},
      {"Module Parameter Change", CmdWriteModuleParam, 1,
       [](CommsEngine& e) {
         e.ParamChangeModule = 2;
         e.ParamChangeNumber = 5;
         e.ParamChangeValue = 7;
         e.ParamChangeRequest = 1;
       }},
      {"X10 Command", CmdSendX10, 1,
       [](CommsEngine& e) {
         e.X10Key = 18;
         e.X10SendRequest = 2;
       }},
      {"Extended X10 Command", CmdExtendedX10, 1,
       [](CommsEngine& e) {
         e.ExtX10Command = {1, 2, 0x20, '1'};
         e.ExtX10Request = 1;
       }},
      {"Relay Command", CmdRelay, 1,
       [](CommsEngine& e) {
         e.RelayPoint = 3;
         e.RelayRequest = 2;
       }},
      {"Raw Command", CmdStopInterpreter, 1,
       [](CommsEngine& e) {
         e.RawCommand = {CmdStopInterpreter, 0, 0, 0, 0, 0};
         e.RawCommandRequest = 1;
       }},
      {"IR Transmit Command", CmdTransmitIr, 1, [](CommsEngine& e) { e.IrTransmitNumber = 3; }},
      {"IR Clear Command", CmdClearIr, 1, [](CommsEngine& e) { e.IrClearNumber = 3; }},
      {"Remote IR Command", CmdRemoteIr, 1,
       [](CommsEngine& e) {
         e.RemoteIrNumber = 3;
         e.RemoteIrRequest = 2;
       }},
      {"Transmit Command", CmdVoiceTransmit, 1,
       [](CommsEngine& e) {
         e.TransmitCode = 4;
         e.TransmitRequest = 2;
       }},
      {"Change Data", CmdChangeTimerVar, 1,
       [](CommsEngine& e) {
         e.ChangeDataValue = 5;
         e.ChangeDataKind = 0;
         e.ChangeDataRequest = 3;
       }},
      {"Auto Address Command", CmdFindModule, 1, [](CommsEngine& e) { e.AutoAddressRequest = 1; }, 592,
       [](CommsEngine& e) { e.AbortRequest = 1; }},
      {"Last Module Number", CmdSetControllerParam, 1, [](CommsEngine& e) { e.AutoAddressRequest = 1; }, 592,
       [](CommsEngine& e) { e.AbortRequest = 1; }},
  };
  Connect();
  view.Detail = true;
  for (Byte refusal : Refusals)
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.Operation) + " refused with " + std::to_string(refusal));
      sim.SetRefusalByte(refusal);
      view.Log.clear();
      sim.RefuseCommand(c.Code, c.Nth);
      c.Request(engine);
      ASSERT_TRUE(RunUntil(
          [&] {
            if (c.Then && engine.CommState == c.At) c.Then(engine);
            return view.Logged(std::string(c.Operation) + " refused by the controller") && engine.CommState == 110;
          },
          600));
      EXPECT_EQ(CountLog(view, "Comms Retry"), 0);
      EXPECT_NE(view.Texts[CommsText::Step], "Clear IR Command Sent");
    }
}

}  // namespace
}  // namespace controller::test
