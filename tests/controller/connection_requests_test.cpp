// Every request belongs to the connection it was asked of. Whatever ends a connection drops what was asked
// of it and tells each, also a request on the line whose end did not come; only what is asked after the
// attach goes to the next connection, once. Two simulated controllers tell which got what: the next
// connection is the other one's, unless a reconnection finds its own line again.
#include <gtest/gtest.h>

#include <functional>

#include "controller/param_requests.h"
#include "engine_fixture.h"

namespace controller::test {
namespace {

using testing_support::SimController;

enum class Road { Close, NewConnection, Reconnection, DownloadReconnection, LostLine, HangUp, Exit };
enum class Asked { OfOld, OfNew };
enum class End { Completes, Fails };

std::size_t ParamsSet(const SimController& sim, int p, int value) {
  std::size_t n = 0;
  for (const auto& f : sim.Commands(CmdSetControllerParam)) n += f.Args[0] == p && f.Args[2] == value;
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
  const char* Told;                                       // its name in the log
  std::function<bool(CommsEngine&)> Post;                 // false: refused
  int OnLine;                                             // the state that waits for its answer
  std::function<std::size_t(const SimController&)> Done;  // how often a controller carried it out
  const char* Unconfirmed;                                // told when its answer never came
};

const Request kRequests[] = {
    {"relay", "Relay Command",
     [](CommsEngine& e) { return Ask(e, RequestKind::Relay, e.RelayRequest, [&] { e.RelayRequest = 3; }); }, 581,
     [](const SimController& s) { return s.Commands(CmdRelay).size(); }, "Relay Command not confirmed"},
    {"learn", "IR Learn",
     [](CommsEngine& e) {
       return Ask(e, RequestKind::IrLearn, e.IrLearnNumber != -1, [&] {
         e.IrLearnFrequency = 120;
         e.IrLearnNumber = 5;
       });
     },
     561, [](const SimController& s) { return ParamsSet(s, 17, 1); },
     "IR Learn end not confirmed: the controller's IR receiver may be left learning"},
    {"auto address", "Auto Address Command",
     [](CommsEngine& e) {
       return Ask(e, RequestKind::AutoAddress, e.AutoAddressRequest != -1, [&] { e.AutoAddressRequest = 1; });
     },
     591, [](const SimController& s) { return s.Commands(CmdFindModule).size(); }, "Last Module Number 0 not sent"},
    {"clock set", "Clock Set",
     [](CommsEngine& e) { return Ask(e, RequestKind::SetClock, e.SetClockRequest, [&] { e.SetClockRequest = 1; }); },
     531, [](const SimController& s) { return static_cast<std::size_t>(s.ClockFramesTaken()); },
     "Clock Set not confirmed"},
    {"queued parameter", "Parameter Change", [](CommsEngine& e) { return QueueControllerParamChange(e, 41, "7"); }, 121,
     [](const SimController& s) { return ParamsSet(s, 40, 7); }, "Parameter Change not confirmed"},
    {"module parameter", "Module Parameter Change",
     [](CommsEngine& e) { return PostModuleParamChange(e, 1, 2, "300"); }, 207,
     [](const SimController& s) { return s.Commands(CmdWriteModuleParam).size(); },
     "Module Parameter Change not confirmed"},
};

// On the line as the road comes when the request is the next connection's.
const Request kTransmit = {"IR transmit",
                           "IR Transmit Command",
                           [](CommsEngine& e) { return (e.IrTransmitNumber = 9) != 0; },
                           571,
                           [](const SimController& s) { return s.Commands(CmdTransmitIr).size(); },
                           "IR Transmit Command not confirmed"};

using Row = std::tuple<Road, int, Asked, End>;

class ConnectionRequestsTest : public EngineTest, public ::testing::WithParamInterface<Row> {
 protected:
  ConnectionRequestsTest() {
    for (SimController* s : {&sim, &other}) {
      s->SetAppVersion(400);
      s->SetFirmwareVersion(820);
      s->SetModule(1, 11);
    }
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
  const Request& onLine = asked == Asked::OfOld ? request : kTransmit;
  if (fails) sim.IgnoreNext(1000);
  ASSERT_TRUE(onLine.Post(engine));
  ASSERT_TRUE(RunToState(onLine.OnLine, 40)) << engine.CommState;
  view.Log.clear();
  Ui().Clear();

  bool posted = false;
  const auto postForNext = [&] {
    if (asked == Asked::OfNew && !posted) {
      ASSERT_TRUE(request.Post(engine)) << "asked for the next connection";
    }
    posted = true;
  };
  settings.ComNum = reconnects ? 1 : 3;  // a new connection's road goes to the other controller
  if (road == Road::Close) engine.CloseRequest = 1;
  if (road == Road::Exit) engine.EndForExit();
  if (road == Road::DownloadReconnection) engine.Reconnect();
  if (road == Road::HangUp) {
    sim.HangUp();
    // Seen by the port before the next send, however loaded the machine: that send fails.
    ASSERT_TRUE(sim.WaitUntil([&] {
      auto d = port.Dispatcher();
      return d && (d->LineErrors & serial::TLkBaseDispatcher::leBreak);
    }));
  }
  // Attached, and asked for the next connection; after a close only to ask.
  const bool attaches =
      road == Road::NewConnection || road == Road::Reconnection || (road == Road::Close && asked == Asked::OfNew);
  if (attaches) engine.Attach();
  if (attaches || road == Road::DownloadReconnection) postForNext();
  ASSERT_TRUE(RunUntil([&] { return Settled(); }, 3000)) << engine.CommState;
  // A connection that ended is followed by the next the user attaches.
  if (engine.CommState == 0 && road != Road::Exit) {
    settings.ComNum = 3;
    engine.Attach();
    postForNext();
    ASSERT_TRUE(RunUntil([&] { return Settled(); }, 3000)) << engine.CommState;
  }
  const bool nextIsOther = engine.Connection.ComNum == 3;
  engine.CloseRequest = 1;
  ASSERT_TRUE(RunToState(0, 1000)) << engine.CommState;

  // The end on the line went once, or its answer never came and that is told.
  EXPECT_EQ(onLine.Done(sim), fails ? 0u : 1u);
  EXPECT_EQ(onLine.Done(other), 0u) << "asked of the last connection";
  EXPECT_EQ(view.Logged(onLine.Unconfirmed), fails);
  if (asked == Asked::OfNew) {
    // Asked after the attach: the next connection's, once. A reconnection whose line is lost meanwhile never
    // came, and what it was asked ended with the connection.
    const bool lost = reconnects && fails;
    EXPECT_EQ(request.Done(nextIsOther ? other : sim), lost ? 0u : 1u);
    if (nextIsOther) {
      EXPECT_EQ(request.Done(sim), 0u);
    }
  }
  // The next controller's windows show none of the last one's values.
  if (nextIsOther && asked == Asked::OfOld) {
    EXPECT_FALSE(engine.ModuleParamRead[1].any()) << "the last controller's module parameter read back";
  }
  // "not sent" only for what never started.
  EXPECT_FALSE(view.Logged(std::string(onLine.Told) + " not sent"));
  EXPECT_EQ(view.Logged(std::string(request.Told) + " not sent"), asked == Asked::OfNew && reconnects && fails);
  // A mode keeps its retries for its end; the command on the line is not sent again after a close.
  const bool keepsRetries = onLine.OnLine == 561 || onLine.OnLine == 591;
  const bool closing = road == Road::Close || road == Road::Exit || road == Road::NewConnection;
  if (fails) expectedRetries = road == Road::HangUp ? 1 : keepsRetries || !closing ? 9 : 1;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  const auto [road, index, asked, end] = info.param;
  static const char* const kRoads[] = {"Close",    "NewConnection", "Reconnection", "DownloadReconnection",
                                       "LostLine", "HangUp",        "Exit"};
  std::string name = std::string(kRoads[static_cast<int>(road)]) + "_" + kRequests[index].Name +
                     (asked == Asked::OfOld ? "_ofOld" : "_ofNew") + (end == End::Fails ? "_fails" : "_completes");
  for (char& ch : name)
    if (ch == ' ') ch = '_';
  return name;
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  for (Road road : {Road::Close, Road::NewConnection, Road::Reconnection, Road::DownloadReconnection, Road::LostLine,
                    Road::HangUp, Road::Exit})
    for (int index = 0; index < static_cast<int>(std::size(kRequests)); ++index)
      for (Asked asked : {Asked::OfOld, Asked::OfNew})
        for (End end : {End::Completes, End::Fails}) {
          // A lost line or a hang-up is an end that fails; nothing is asked after the program's end.
          const bool lineGone = road == Road::LostLine || road == Road::HangUp;
          if ((lineGone && end == End::Completes) || (road == Road::Exit && asked == Asked::OfNew)) continue;
          rows.emplace_back(road, index, asked, end);
        }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Roads, ConnectionRequestsTest, ::testing::ValuesIn(Rows()), RowName);

}  // namespace
}  // namespace controller::test
