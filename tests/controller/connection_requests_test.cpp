// Every request belongs to the connection it was asked of. Whatever ends a connection drops what was asked
// of it and tells each, also a request on the line whose end did not come; only what is asked after the
// attach goes to the next connection, once, and is told nothing. A transfer on the line is cut short; one the
// idle pass chose has sent nothing yet, and is dropped or goes on as one still waiting; a read on the line
// went, and is not told. Two simulated controllers tell which got what: the next connection is the other
// one's, unless a reconnection finds its own line again.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

#include "controller/change_data_request.h"
#include "controller/param_requests.h"
#include "controller/raw_command_request.h"
#include "controller/transmit_request.h"
#include "controller/x10_requests.h"
#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace controller::test {
namespace {

using testing_support::SimController;
using testing_support::SimFrameKind;

enum class Road { Close, NewConnection, Reconnection, DownloadReconnection, LostLine, HangUp, Exit };
// When the request is asked, against the road.
enum class Asked {
  OnLine,   // in its states, something of it on the line
  Chosen,   // the idle pass chose it, and its first state has not run: nothing of it went
  Held,     // its first frame is held back for the answer a poll sent again still owes: it has not gone
  Waiting,  // before the road, behind a command on the line
  After,    // after the attach: the next connection's
};
enum class End { Completes, Fails };
enum class Kind { Command, Mode, Transfer, Read };

std::size_t ParamsSet(const SimController& sim, int p, int value) {
  std::size_t n = 0;
  for (const auto& f : sim.Commands(CmdSetControllerParam)) n += f.Args[0] == p && f.Args[2] == value;
  return n;
}
std::size_t Carried(const SimController& sim, Byte code, int a0, int a1) {
  std::size_t n = 0;
  for (const auto& f : sim.Commands(code)) n += f.Args[0] == a0 && f.Args[1] == a1;
  return n;
}
// Frames of `kind` to `address` the controller took and answered yes.
std::size_t Taken(const SimController& sim, SimFrameKind kind, std::uint16_t address) {
  std::size_t n = 0;
  for (const auto& f : sim.Frames())
    n += f.Kind == kind && f.Address == address && f.CheckGood && !f.Ignored && !f.Refused;
  return n;
}

// Asked as a request window asks it: refused while the same request waits or runs.
bool Ask(CommsEngine& e, RequestKind kind, bool waiting, const std::function<void()>& set) {
  if (!e.RequestAllowed(kind, waiting)) return false;
  set();
  return true;
}

struct Request {
  const char* Name;
  const char* Told;  // its name in the log
  Kind Is;
  bool ResetByReconnection;                // state 1 resets it: a reconnection clears it, told
  std::function<bool(CommsEngine&)> Post;  // false: refused
  int First;                               // its first state
  int OnLine;                              // a state that waits for an answer to something of it
  // How often a controller carried it out: a transfer, whole.
  std::function<std::size_t(const SimController&)> Done;
  const char* Unconfirmed = "";  // told when the answer to a command or a mode's end never came
  const char* FirstLine = nullptr;  // logged as its first frame goes, and only then
};

const Request kRequests[] = {
    {"relay", "Relay Command", Kind::Command, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::Relay, e.RelayRequest, [&] { e.RelayRequest = 3; }); }, 580, 581,
     [](const SimController& s) { return s.Commands(CmdRelay).size(); }, "Relay Command not confirmed"},
    {"learn", "IR Learn", Kind::Mode, true,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::IrLearn, e.IrLearnNumber != -1, [&] {
         e.IrLearnFrequency = 120;
         e.IrLearnNumber = 5;
       });
     },
     560, 561, [](const SimController& s) { return ParamsSet(s, 17, 1); },
     "IR Learn end not confirmed: the controller's IR receiver may be left learning"},
    {"auto address", "Auto Address Command", Kind::Mode, true,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::AutoAddress, e.AutoAddressRequest != -1, [&] { e.AutoAddressRequest = 1; });
     },
     590, 591, [](const SimController& s) { return s.Commands(CmdFindModule).size(); },
     "Last Module Number 0 not sent"},
    {"clock set", "Clock Set", Kind::Command, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::SetClock, e.SetClockRequest, [&] { e.SetClockRequest = 1; }); },
     530, 531, [](const SimController& s) { return static_cast<std::size_t>(s.ClockFramesTaken()); },
     "Clock Set not confirmed"},
    {"queued parameter", "Parameter Change", Kind::Command, false,
     [](CommsEngine& e) { return QueueControllerParamChange(e, 41, "7"); }, 120, 121,
     [](const SimController& s) { return ParamsSet(s, 40, 7); }, "Parameter Change not confirmed"},
    {"module parameter", "Module Parameter Change", Kind::Command, false,
     [](CommsEngine& e) { return PostModuleParamChange(e, 1, 2, "300"); }, 206, 207,
     [](const SimController& s) { return s.Commands(CmdWriteModuleParam).size(); },
     "Module Parameter Change not confirmed"},
    {"raw command", "Raw Command", Kind::Command, true,
     [](CommsEngine& e) {
       return PostRawCommand(e, [](int i) {
         return std::to_string(std::array<int, 6>{CmdSetControllerParam, 42, 0, 9, 0, 0}[static_cast<std::size_t>(i)]);
       });
     },
     155, 156, [](const SimController& s) { return ParamsSet(s, 42, 9); }, "Raw Command not confirmed"},
    {"timer change", "Change Data", Kind::Command, true,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::ChangeData, e.ChangeDataRequest != NoChangeData,
                  [&] { ASSERT_EQ(PostChangeData(e, "3", "100", 1), ""); });
     },
     710, 711, [](const SimController& s) { return s.Commands(CmdChangeTimerVar).size(); },
     "Change Data not confirmed"},
    {"module message", "Transmit Command", Kind::Command, false,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::Transmit, e.TransmitRequest,
                  [&] { ASSERT_TRUE(PostTransmitRequest(e, "1", "2", VoiceMessageLimit, TransmitPlay)); });
     },
     210, 211, [](const SimController& s) { return s.Commands(CmdVoiceTransmit).size(); },
     "Transmit Command not confirmed"},
    {"remote IR", "Remote IR Command", Kind::Command, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::RemoteIr, e.RemoteIrRequest, [&] { e.RemoteIrRequest = 4; }); },
     575, 576, [](const SimController& s) { return s.Commands(CmdRemoteIr).size(); },
     "Remote IR Command not confirmed"},
    {"IR clear", "IR Clear Command", Kind::Command, true,
     [](CommsEngine& e) { return Ask(e, RequestKind::IrClear, e.IrClearNumber != -1, [&] { e.IrClearNumber = 6; }); },
     567, 568, [](const SimController& s) { return s.Commands(CmdClearIr).size(); }, "IR Clear Command not confirmed"},
    {"IR transmit", "IR Transmit Command", Kind::Command, true,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::IrTransmit, e.IrTransmitNumber != -1, [&] { e.IrTransmitNumber = 9; });
     },
     570, 571, [](const SimController& s) { return s.Commands(CmdTransmitIr).size(); },
     "IR Transmit Command not confirmed"},
    {"X10", "X10 Command", Kind::Command, true,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::X10Send, e.X10SendRequest >= 0, [&] { PostX10Send(e, 2, 3, 1); });
     },
     518, 519, [](const SimController& s) { return s.Commands(CmdSendX10).size(); }, "X10 Command not confirmed"},
    {"extended X10", "Extended X10 Command", Kind::Command, false,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::ExtX10, e.ExtX10Request, [&] { PostExtendedX10(e, {2, 3, 0, 0x31}); });
     },
     450, 451, [](const SimController& s) { return s.Commands(CmdExtendedX10).size(); },
     "Extended X10 Command not confirmed"},
    {"program", "Program Download", Kind::Transfer, false,
     [](CommsEngine& e) { return e.RequestAllowed(RequestKind::ProgramDownload) && e.RequestProgramDownload(); }, 499,
     514, [](const SimController& s) { return s.Commands(CmdStartProgram).size(); }, "", "Begin Program to Controller"},
    {"executive", "Executive Reload", Kind::Transfer, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::ReloadExec, false, [&] { e.RequestExecReload(); }); }, 128, 129,
     [](const SimController& s) { return static_cast<std::size_t>(s.ControlStarts()); }},
    {"touch screen", "Touch Screen Download", Kind::Transfer, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::TouchLoad, false, [&] { e.RequestTouchLoad(); }); }, 900, 904,
     [](const SimController& s) { return Carried(s, CmdStoreTouch, 252, 0); }},
    {"icons", "Icon Download", Kind::Transfer, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::IconLoad, false, [&] { e.RequestIconLoad(); }); }, 1100, 1102,
     [](const SimController& s) { return Carried(s, CmdFlashLoad, 0x65, 15); }},
    {"pager", "Pager Messages", Kind::Transfer, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::PagerLoad, false, [&] { e.RequestPagerLoad(); }); }, 600, 603,
     [](const SimController& s) { return Taken(s, SimFrameKind::Block, 0x7E00); }, "", "Sending 256 bytes to 7B00"},
    {"ASCII table", "ASCII Messages", Kind::Transfer, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::AsciiTable, false, [&] { e.RequestAsciiTable(0); }); }, 610, 613,
     [](const SimController& s) { return Carried(s, CmdStoreAscii, 15, 0); }},
    {"module ASCII", "ASCII Messages", Kind::Transfer, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::RemoteAscii, false, [&] { e.RequestAsciiTable(1); }); }, 800, 803,
     [](const SimController& s) { return Carried(s, CmdForwardAscii, 1, 127); }},
    {"IR file download", "Infra-Red File Download", Kind::Transfer, false,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::IrDownload, false, [&] { e.RequestIrDownload(e.IrDownloadFileName, true); });
     },
     140, 144, [](const SimController& s) { return s.Commands(CmdStoreIr).size(); }},
    {"IR file upload", "Infra-Red File Upload", Kind::Transfer, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::IrUpload, false, [&] { e.IrUploadRequest = 1; }); }, 180, 184,
     [](const SimController& s) { return Taken(s, SimFrameKind::Request, AddrStaging); }},
    {"memory dump", "Memory Dump", Kind::Read, false,
     [](CommsEngine& e) {
       return Ask(e, RequestKind::Dump, e.DumpRequest, [&] {
         e.DumpAddress = 0x1234;
         e.DumpRequest = 1;
       });
     },
     550, 551, [](const SimController& s) { return Taken(s, SimFrameKind::Request, 0x1234); }},
    {"clock read", "Get Controller Clock", Kind::Read, false,
     [](CommsEngine& e) { return Ask(e, RequestKind::Clock, false, [&] { e.ClockRequest = e.UserClockRead = 1; }); },
     540, 541, [](const SimController& s) { return s.Commands(CmdReadClock).size(); }},
};

// What a request asked before the road waits behind, and what one asked after it follows on the line: IR
// transmit, or a relay for the IR transmit itself.
const Request& Ahead(const Request& request) {
  const auto named = [](const char* name) -> const Request& {
    return *std::find_if(std::begin(kRequests), std::end(kRequests),
                         [&](const Request& r) { return std::string(r.Name) == name; });
  };
  return std::string(request.Name) == "IR transmit" ? named("relay") : named("IR transmit");
}

using Row = std::tuple<Road, int, Asked, End>;

class ConnectionRequestsTest : public EngineTest, public ::testing::WithParamInterface<Row> {
 protected:
  ConnectionRequestsTest() {
    for (SimController* s : {&sim, &other}) {
      s->SetAppVersion(400);
      s->SetFirmwareVersion(820);
      s->SetModule(1, 11);
    }
    // What the transfers send: a program with its end, an executive image, a file of one IR code.
    project.Store.Lines[10] = ProgramLine::End();
    settings.CurrentDirectory = temp.Path().string();
    testing_support::WriteFile(temp.File("FLASH512.BIN"), std::string(300, 'x'));
    testing_support::WriteFile(temp.File("codes.lir"), std::string(256, 'c'));
    engine.IrDownloadFileName = temp.File("codes.lir");
    engine.IrUploadFileName = temp.File("up.lir");
    engine.IrDownloadLir = engine.IrUploadLir = true;
  }
  testing_support::SimExchange& Line() override { return port.ComNumber() == 3 ? otherLine : exchange; }
  // The connection waits for the user, or has done all it was asked; or none runs.
  bool Settled() const {
    Requests left = engine;
    for (auto& slot : left.CommandQueue)
      if (slot[0] == 0) slot.fill(0);  // a free slot keeps the bytes it sent
    const bool waitsForUser = engine.CommState == 564 || engine.CommState == 592;
    return engine.CommState == 0 || waitsForUser ||
           (engine.CommState == 114 && !engine.AttachRequest && left == Requests{});
  }

  testing_support::TempDir temp;
  SimController other;
  serial::test::ScopedComEnv com3{3, other.SlavePath()};
  testing_support::SimExchange otherLine{other, port};
};

TEST_P(ConnectionRequestsTest, WhatWasAskedOfOneConnectionNeverReachesTheNext) {
  const auto [road, index, asked, end] = GetParam();
  const Request& request = kRequests[index];
  const bool fails = end == End::Fails;
  const bool reconnects = road == Road::Reconnection || road == Road::DownloadReconnection;
  Connect();
  // On the line as the road comes: the request itself, or what it waits behind or follows.
  const bool notGone = asked == Asked::Chosen || asked == Asked::Held;
  const Request* onLine = notGone ? nullptr : asked == Asked::OnLine ? &request : &Ahead(request);
  std::size_t framesBefore = 0;
  if (asked == Asked::Held) {
    // The poll is lost once: its second sending is answered, the first still owes its answer.
    ASSERT_TRUE(RunToState(112, 20));
    sim.IgnoreNext(1);
    Step();
    ASSERT_TRUE(request.Post(engine));
    ASSERT_TRUE(RunUntil([&] { return engine.FrameHeld(); }, 60)) << engine.CommState;
    framesBefore = sim.Frames().size();
  } else if (onLine) {
    ASSERT_TRUE(onLine->Post(engine));
    ASSERT_TRUE(RunToState(onLine->OnLine - 1, 600)) << engine.CommState;
    if (fails) sim.IgnoreNext(1000);
    Step();
    ASSERT_EQ(engine.CommState, onLine->OnLine);
  } else {
    ASSERT_TRUE(request.Post(engine));
    ASSERT_TRUE(RunToState(request.First, 40)) << engine.CommState;
  }
  if (asked == Asked::Waiting) {
    ASSERT_TRUE(request.Post(engine)) << "asked before the road";
  }
  const auto firstLines = [&] {
    return request.FirstLine ? std::count(view.Log.begin(), view.Log.end(), request.FirstLine) : 0;
  };
  const auto firstLinesBefore = firstLines();
  view.Log.clear();
  Ui().Clear();

  bool posted = false;
  const auto postForNext = [&] {
    if (asked == Asked::After && !posted) {
      ASSERT_TRUE(request.Post(engine)) << "asked for the next connection";
    }
    posted = true;
  };
  settings.ComNum = reconnects ? 1 : 3;  // a new connection's road goes to the other controller
  if (road == Road::Close) engine.CloseRequest = 1;
  if (road == Road::Exit) engine.EndForExit();
  if (road == Road::DownloadReconnection) engine.Reconnect();
  if (road == Road::HangUp) {
    ASSERT_TRUE(HangUpSeen());
  }
  // Attached, and asked for the next connection; after a close only to ask.
  const bool attaches =
      road == Road::NewConnection || road == Road::Reconnection || (road == Road::Close && asked == Asked::After);
  if (attaches) engine.Attach();
  if (attaches || road == Road::DownloadReconnection) postForNext();
  ASSERT_TRUE(RunUntil([&] { return Settled(); }, 6000)) << engine.CommState;
  // A connection that ended is followed by the next the user attaches.
  if (engine.CommState == 0 && road != Road::Exit) {
    settings.ComNum = 3;
    engine.Attach();
    postForNext();
    ASSERT_TRUE(RunUntil([&] { return Settled(); }, 6000)) << engine.CommState;
  }
  const bool nextIsOther = engine.Connection.ComNum == 3;
  engine.CloseRequest = 1;
  ASSERT_TRUE(RunToState(0, 1000)) << engine.CommState;

  const std::string told = request.Told;
  if (onLine) {
    // A transfer on the line is cut where it stands by an attach, the program's end or a dead line; "&Close"
    // and the project download's reconnection wait for it. The end of a command or a mode on the line went
    // once, or its answer never came and that is told. A read whose answer an attach's reconnection leaves is
    // read again.
    const bool transfer = onLine->Is == Kind::Transfer;
    const bool cut =
        transfer && (fails || road == Road::NewConnection || road == Road::Reconnection || road == Road::Exit);
    const bool readAgain = onLine->Is == Kind::Read && road == Road::Reconnection;
    EXPECT_EQ(onLine->Done(sim), fails || cut ? 0u : readAgain ? 2u : 1u);
    EXPECT_EQ(onLine->Done(other), 0u) << "asked of the last connection";
    if (transfer) {
      EXPECT_EQ(view.Logged(std::string(onLine->Told) + " cut short"), cut);
    } else if (onLine->Is != Kind::Read) {
      EXPECT_EQ(view.Logged(onLine->Unconfirmed), fails);
    }
    // "not sent" only for what never started: a read the reconnection asks again, its line lost before it goes.
    EXPECT_EQ(view.Logged(std::string(onLine->Told) + " not sent"), readAgain && fails);
  }
  if (notGone || asked == Asked::Waiting) {
    // Nothing of it went: a reconnection goes on with it unless state 1 resets it; every end drops it, told.
    const bool goesOn = reconnects && !request.ResetByReconnection && !fails;
    EXPECT_EQ(request.Done(sim), goesOn ? 1u : 0u);
    // A held frame never goes for work that ends: the controller got nothing of it after the hold.
    if (asked == Asked::Held && !goesOn) {
      const auto frames = sim.Frames();
      EXPECT_TRUE(std::all_of(frames.begin() + static_cast<std::ptrdiff_t>(framesBefore), frames.end(),
                              [](const auto& f) { return f.Kind == SimFrameKind::Request; }))
          << "only the engine's own reads went after the hold";
    }
    EXPECT_EQ(request.Done(other), 0u);
    EXPECT_EQ(view.Logged(told + " not sent"), !goesOn);
    // What it logs as its first frame goes is logged once when it goes on, and never when it is dropped.
    if (request.FirstLine) {
      EXPECT_EQ(firstLinesBefore + firstLines(), goesOn ? 1 : 0);
    }
    EXPECT_FALSE(view.Logged(told + " cut short")) << "nothing of it ran";
  }
  if (asked == Asked::After) {
    // Asked after the attach: the next connection's, once, and told nothing. A reconnection whose line is
    // lost meanwhile never came, and what it was asked ended with the connection.
    const bool lost = reconnects && fails;
    EXPECT_EQ(request.Done(nextIsOther ? other : sim), lost ? 0u : 1u);
    if (nextIsOther) {
      EXPECT_EQ(request.Done(sim), 0u);
    }
    EXPECT_EQ(view.Logged(told + " not sent"), lost);
  }
  // The next controller's windows show none of the last one's values.
  if (nextIsOther && asked == Asked::OnLine) {
    EXPECT_FALSE(engine.ModuleParamRead[1].any()) << "the last controller's module parameter read back";
  }
  // A transfer or a mode keeps its retries for its end; the command or read on the line is not sent again
  // after a close, and a transfer cut at once, or a read a new connection leaves, counts none.
  const bool keepsRetries = onLine && (onLine->Is == Kind::Transfer || onLine->Is == Kind::Mode);
  const bool closing = road == Road::Close || road == Road::Exit || road == Road::NewConnection;
  const bool cutAtOnce =
      onLine && ((onLine->Is == Kind::Transfer && (road == Road::Exit || road == Road::NewConnection)) ||
                 (onLine->Is == Kind::Read && road == Road::NewConnection));
  if (fails) expectedRetries = road == Road::HangUp ? 1 : cutAtOnce ? 0 : keepsRetries || !closing ? 9 : 1;
  if (asked == Asked::Held) expectedRetries = 1;  // the lost poll's
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  const auto [road, index, asked, end] = info.param;
  static const char* const kRoads[] = {"Close",    "NewConnection", "Reconnection", "DownloadReconnection",
                                       "LostLine", "HangUp",        "Exit"};
  static const char* const kAsked[] = {"_onLine", "_chosen", "_held", "_waiting", "_after"};
  std::string name = std::string(kRoads[static_cast<int>(road)]) + "_" + kRequests[index].Name +
                     kAsked[static_cast<int>(asked)] + (end == End::Fails ? "_fails" : "_completes");
  for (char& ch : name)
    if (ch == ' ') ch = '_';
  return name;
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  for (Road road : {Road::Close, Road::NewConnection, Road::Reconnection, Road::DownloadReconnection, Road::LostLine,
                    Road::HangUp, Road::Exit})
    for (int index = 0; index < static_cast<int>(std::size(kRequests)); ++index)
      for (Asked asked : {Asked::OnLine, Asked::Chosen, Asked::Held, Asked::Waiting, Asked::After})
        for (End end : {End::Completes, End::Fails}) {
          // A lost line or a hang-up is an end that fails; nothing is asked after the program's end. A transfer
          // the idle pass chose is caught before its first state only by what ends the connection at once.
          const bool lineGone = road == Road::LostLine || road == Road::HangUp;
          const bool atOnce = road == Road::NewConnection || road == Road::Reconnection || road == Road::Exit;
          if ((lineGone && end == End::Completes) || (road == Road::Exit && asked == Asked::After)) continue;
          if (asked == Asked::Chosen && (kRequests[index].Is != Kind::Transfer || !atOnce || end == End::Fails))
            continue;
          // A held frame is caught by every road that ends or restarts the connection while it waits.
          if (asked == Asked::Held && (road == Road::LostLine || end == End::Fails)) continue;
          rows.emplace_back(road, index, asked, end);
        }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Roads, ConnectionRequestsTest, ::testing::ValuesIn(Rows()), RowName);

}  // namespace
}  // namespace controller::test
