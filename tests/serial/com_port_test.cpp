#include "serial/com_port.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <algorithm>
#include <thread>
#include <vector>

#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "serial/port_select_form.h"
#include "support/fake_serial_device.h"
#include "support/pty_pair.h"
#include "support/scripted_ui.h"
#include "support/serial_port_helpers.h"
#include "support/temp_dir.h"
#include "thread_stats.h"
#include "tk/hidden_window.h"
#include "tk/modal.h"

namespace serial {
namespace {

using test::ScopedComEnv;
using testing_support::FakeSerialDevice;
using testing_support::PtyPair;
using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A port component with COM<number> pointed at a fresh pseudo-terminal.
struct PtyPort {
  explicit PtyPort(int number = 41) : com(number, pty.SlavePath()) {
    port.SetComNumber(static_cast<std::uint16_t>(number));
    port.SetBaud(9600);
  }
  PtyPair pty;
  ScopedComEnv com;
  TLkComPort port{nullptr};
};

template <class E>
void ExpectRaises(const std::function<void()>& f, const std::string& message, std::int32_t code) {
  try {
    f();
    ADD_FAILURE() << "nothing raised, expected: " << message;
  } catch (const E& e) {
    EXPECT_EQ(std::string(e.what()), message);
    EXPECT_EQ(e.ErrorCode, code);
  }
}

// The published defaults are checked by the form stream test below; these are the rest a new port relies on.
TEST(ComPortProperties, ANewPortIsClosedWithATriggerLengthOfOne) {
  TLkComPort p(nullptr);
  EXPECT_EQ(p.ClassName(), "TLkComPort");
  EXPECT_EQ(p.TriggerLength(), 1);
  EXPECT_EQ(p.PortState(), 0);
  EXPECT_EQ(p.Dispatcher(), nullptr);
}

TEST(ComPortProperties, PublishedPropertiesAreAtTheirDefaults) {
  TLkComPort p(nullptr);
  tk::PropertyList list;
  p.GetProperties(list);
  std::vector<std::string> names;
  for (const auto& prop : list) {
    names.push_back(prop.Name);
    EXPECT_FALSE(prop.ShouldWrite(p)) << prop.Name;
  }
  for (const char* name : {"DeviceLayer", "ComNumber", "Baud", "Parity", "InSize", "Open", "HWFlowOptions",
                           "SWFlowOptions", "Tracing", "TraceName", "LogSize", "TapiMode", "RS485Mode"})
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  p.SetBaud(9600);
  p.SetTapiMode(tmNone);
  int written = 0;
  for (const auto& prop : list) written += prop.ShouldWrite(p) ? 1 : 0;
  EXPECT_EQ(written, 2);
}

TEST(ComPortProperties, FlowThresholdsAndTheirCorrections) {
  TLkComPort p(nullptr);
  p.SetRS485Mode(true);
  EXPECT_FALSE(p.RTS());  // RS-485 switches RTS itself
  p.SetHWFlowOptions(hwfRequireCTS);
  EXPECT_EQ(p.BufferFull(), 3686);
  EXPECT_EQ(p.BufferResume(), 409);
  EXPECT_FALSE(p.RS485Mode());

  p.SetBufferFull(5000);  // above InSize: corrected again by the re-applied flow options
  EXPECT_EQ(p.BufferFull(), 3686);

  TLkComPort plain(nullptr);
  plain.SetBufferFull(5000);
  EXPECT_EQ(plain.BufferFull(), 4500);
  plain.SetBufferFull(3686);
  plain.SetBufferResume(4000);  // above BufferFull
  EXPECT_EQ(plain.BufferResume(), 368);

  TLkComPort sw(nullptr);
  sw.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(sw.BufferFull(), 3072);
  EXPECT_EQ(sw.BufferResume(), 1024);

  // Tracing of a closed port keeps only on or off; sizes are capped.
  p.SetTracing(tlPause);
  EXPECT_EQ(p.Tracing(), tlOff);
  p.SetTracing(tlOn);
  EXPECT_EQ(p.Tracing(), tlOn);
  p.SetTraceSize(5'000'000);
  EXPECT_EQ(p.TraceSize(), 4'000'000u);
  p.SetLogSize(20'000'000);
  EXPECT_EQ(p.LogSize(), 16'000'000u);
  p.SetLogSize(5'000'000);
  EXPECT_EQ(p.LogSize(), 5'000'000u);
}

TEST(ComPortProperties, ClosedPortCountsAndLines) {
  TLkComPort p(nullptr);
  p.SetOutSize(2048);
  EXPECT_EQ(p.InBuffFree(), 8192);
  EXPECT_EQ(p.OutBuffFree(), 2048);
  EXPECT_EQ(p.InBuffUsed(), 0);
  EXPECT_EQ(p.OutBuffUsed(), 0);
  EXPECT_FALSE(p.CTS());
  EXPECT_FALSE(p.DCD());
  EXPECT_EQ(p.LineError(), 0);
  EXPECT_FALSE(p.Open());  // none of these opens the port
}

TEST(ComPortOpen, OpensClosesAndReopens) {
  PtyPort t;
  ASSERT_TRUE(t.pty.Valid());
  t.port.SetOpen(true);
  EXPECT_TRUE(t.port.Open());
  EXPECT_EQ(t.port.PortState(), 2);
  ASSERT_NE(t.port.Dispatcher(), nullptr);
  EXPECT_NE(t.port.NotificationWindow(), nullptr);
  EXPECT_EQ(t.port.Dispatcher()->Owner, &t.port);

  // The output thread may send at once: what was queued is seen on the line (queue counts are checked
  // over a device that takes nothing).
  t.port.PutString("ATZ");
  test::PumpOut(t.port);
  EXPECT_EQ(t.pty.ReadMaster(3), B("ATZ"));

  t.port.SetOpen(false);
  EXPECT_FALSE(t.port.Open());
  EXPECT_EQ(t.port.PortState(), 0);
  EXPECT_EQ(t.port.Dispatcher(), nullptr);
  EXPECT_EQ(t.port.NotificationWindow(), nullptr);

  t.port.SetOpen(true);
  EXPECT_TRUE(t.port.Open());
  ASSERT_TRUE(t.pty.WriteMaster(B("OK\r")));
  ASSERT_TRUE(test::PumpIn(t.port, 3));
  char buf[3];
  EXPECT_EQ(t.port.GetBlock(buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "OK\r");
}

TEST(ComPortOpen, FlowOptionsTheOpenPortRefusesAreNotStored) {
  PtyPort t;
  t.port.SetOpen(true);
  t.port.SetInSize(8192);  // the open port keeps its 4096-byte queue: thresholds for 8192 do not fit it
  EXPECT_THROW(t.port.SetSWFlowOptions(swfBoth), EBadArgument);
  EXPECT_EQ(t.port.SWFlowOptions(), swfNone);
  EXPECT_THROW(t.port.SetHWFlowOptions(hwfRequireCTS), EBadArgument);
  EXPECT_EQ(t.port.HWFlowOptions(), 0);
}

TEST(ComPortOpen, AutoOpenOpensOnFirstUseAndOnlyThen) {
  PtyPort t;
  t.port.SetAutoOpen(false);
  ExpectRaises<ECommNotOpen>([&] { t.port.PutString("x"); }, "ie_NOpen - device not open", ecCommNotOpen);
  t.port.SetAutoOpen(true);
  EXPECT_EQ(t.port.InBuffUsed(), 0);  // reading a count does not open
  EXPECT_FALSE(t.port.Open());
  t.port.PutString("x");
  EXPECT_TRUE(t.port.Open());
}

TEST(ComPortOpen, AlreadyOpenAndBadPortRaiseWithTheirTexts) {
  PtyPort first;
  first.port.SetOpen(true);
  TLkComPort second(nullptr);
  second.SetComNumber(41);
  ExpectRaises<EAlreadyOpen>([&] { second.SetOpen(true); }, "ie_Open - device already open", ecAlreadyOpen);
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.PortState(), 0);
  EXPECT_EQ(second.Dispatcher(), nullptr);

  ScopedComEnv missing(43, "/nonexistent/ttyZ9");
  TLkComPort third(nullptr);
  third.SetComNumber(43);
  ExpectRaises<EBadId>([&] { third.SetOpen(true); }, "ie_BadId - Specified comport doesn't exist", ecBadId);
  EXPECT_FALSE(third.Open());
  // Both are EOpenComm: the communications window catches that group.
  try {
    third.SetOpen(true);
  } catch (const EOpenComm&) {
    SUCCEED();
  }
}

TEST(ComPortOpen, PortZeroPromptsOrRefuses) {
  PtyPair pty;
  ScopedComEnv com(42, pty.SlavePath());
  TLkComPort p(nullptr);
  p.SetPromptForPort(false);
  ExpectRaises<ENoPortSelected>([&] { p.SetOpen(true); }, "The ComNumber property of the TLkComPort has not been set",
                                ecNoPortSelected);

  // Without the library's dialogs registered no port is chosen; with them the selection dialog runs
  // through the UI seam: cancelled first, then COM42 chosen.
  SetPortSelectionDialog(nullptr);
  p.SetPromptForPort(true);
  EXPECT_THROW(p.SetOpen(true), ENoPortSelected);
  RegisterSerialDialogs();
  auto choose = [](const char* port) {
    return [port](platform::ModalWindow& window) {
      auto& form = tk::DialogOf<TComSelectForm>(window);
      if (!port) return static_cast<int>(QDialog::Rejected);
      form.PortsComboBox->setCurrentText(port);
      return static_cast<int>(QDialog::Accepted);
    };
  };
  testing_support::TestUi().QueueModal("TComSelectForm", choose(nullptr));
  p.SetPromptForPort(true);
  EXPECT_THROW(p.SetOpen(true), ENoPortSelected);
  testing_support::TestUi().QueueModal("TComSelectForm", choose("COM42"));
  p.SetOpen(true);
  EXPECT_TRUE(testing_support::TestUi().AllAnswersUsed());
  EXPECT_EQ(p.ComNumber(), 42);
  EXPECT_TRUE(p.Open());
}

TEST(ComPortOpen, ComNumberChangeMovesAnOpenPortKeepingItsTrace) {
  testing_support::TempDir dir;
  PtyPort a(41);
  PtyPair other;
  ScopedComEnv com(44, other.SlavePath());
  a.port.SetTraceName(dir.File("a.trc"));
  a.port.SetTracing(tlOn);
  a.port.SetOpen(true);
  EXPECT_EQ(a.port.Tracing(), tlOn);
  a.port.PutString("ab");

  a.port.SetComNumber(44);
  EXPECT_TRUE(a.port.Open());
  EXPECT_EQ(a.port.ComNumber(), 44);
  EXPECT_EQ(a.port.Tracing(), tlOn);  // a new trace runs on the new port
  // The old port's trace went to its file at the close.
  EXPECT_TRUE(std::filesystem::exists(dir.File("a.trc")));
  a.port.PutString("Z");
  test::PumpOut(a.port);
  EXPECT_EQ(other.ReadMaster(1), B("Z"));

  // The first device is free again.
  TLkComPort b(nullptr);
  b.SetComNumber(41);
  b.SetOpen(true);
  EXPECT_TRUE(b.Open());
}

TEST(ComPortOpen, ComNumberChangeStillMovesThePortWhenTheTraceCannotBeWritten) {
  testing_support::TempDir dir;
  PtyPort a(41);
  PtyPair other;
  ScopedComEnv com(44, other.SlavePath());
  a.port.SetTraceName(dir.File("no-such-dir/a.trc"));
  a.port.SetTracing(tlOn);
  a.port.SetOpen(true);
  a.port.PutString("ab");
  EXPECT_THROW(a.port.SetComNumber(44), ELkException);  // reported...
  EXPECT_EQ(a.port.ComNumber(), 44);                    // ...after the move
  EXPECT_TRUE(a.port.Open());
  EXPECT_EQ(a.port.Tracing(), tlOn);
  a.port.PutString("Z");
  test::PumpOut(a.port);
  EXPECT_EQ(other.ReadMaster(1), B("Z"));
  a.port.SetTracing(tlOff);
}

TEST(ComPortOpen, OpenSetWhileLoadingOpensWhenLoaded) {
  PtyPort t;
  t.port.SetLoadingState();
  t.port.SetOpen(true);
  EXPECT_FALSE(t.port.Dispatcher());                          // only stored while loading
  EXPECT_FALSE(t.port.AutoOpen() && t.port.GetDispatcher());  // and nothing opens it early
  EXPECT_NO_THROW(t.port.ValidDispatcher()) << "no error is raised while the port is being loaded";
  t.port.Loaded();
  EXPECT_TRUE(t.port.Open());
  EXPECT_EQ(t.port.PortState(), 2);
}

TEST(ComPortOpen, AssignTakesSettingsEventsAndTriggers) {
  PtyPort source;
  source.port.SetBaud(38400);
  source.port.SetXOnChar(1);  // (pseudo-terminals refuse parity and other sizes)
  source.port.SetTraceName("x.trc");
  source.port.SetLogAllHex(true);
  source.port.SetTapiMode(tmNone);
  int avail = 0;
  source.port.SetOnTriggerAvail([&](tk::Component*, std::uint32_t) { ++avail; });
  source.port.SetOpen(true);
  std::int32_t timer = source.port.AddTimerTrigger();
  source.port.SetOpen(false);

  TLkComPort copy(nullptr);
  copy.Assign(source.port);
  EXPECT_EQ(copy.ComNumber(), 41);
  EXPECT_EQ(copy.Baud(), 38400);
  EXPECT_EQ(copy.XOnChar(), 1);
  EXPECT_EQ(copy.TraceName(), "x.trc");
  EXPECT_TRUE(copy.LogAllHex());
  EXPECT_EQ(copy.TapiMode(), tmNone);
  ASSERT_TRUE(copy.OnTriggerAvail());
  copy.SetOpen(true);
  copy.SetTimerTrigger(timer, 1, true);  // the saved trigger came along
  EXPECT_THROW(copy.SetTimerTrigger(timer + 8, 1, true), EBadTriggerHandle);
}

TEST(ComPortOpen, UsersAreToldOfOpenAndCloseLastFirst) {
  PtyPort t;
  std::vector<std::string> told;
  auto first = t.port.RegisterUserCallback([&](TLkCustomComPort* p, bool opening) {
    EXPECT_EQ(p, &t.port);
    told.push_back(std::string("first ") + (opening ? "open" : "close"));
  });
  t.port.RegisterUserCallback(
      [&](TLkCustomComPort*, bool opening) { told.push_back(std::string("second ") + (opening ? "open" : "close")); });
  struct Window : tk::HiddenWindow {
    explicit Window(std::vector<std::string>& log)
        : tk::HiddenWindow([&log](tk::Message& m) { log.push_back("window " + std::to_string(m.Msg)); }) {}
  } window(told);
  t.port.RegisterUser(&window);
  t.port.OnPortOpen = [&](tk::Component*) { told.push_back("OnPortOpen"); };
  t.port.OnPortClose = [&](tk::Component*) {
    EXPECT_EQ(t.port.PortState(), 1);  // told while closing, the device still there
    told.push_back("OnPortClose");
  };

  t.port.SetOpen(true);
  t.port.SetOpen(false);
  EXPECT_EQ(told, (std::vector<std::string>{"window 32264", "second open", "first open", "OnPortOpen", "window 32265",
                                            "second close", "first close", "OnPortClose"}));
  told.clear();
  t.port.DeregisterUserCallback(first);
  t.port.DeregisterUser(&window);
  t.port.SetOpen(true);
  EXPECT_EQ(told, (std::vector<std::string>{"second open", "OnPortOpen"}));
  t.port.SetOpen(false);  // closed while `told` still lives: the close tells the users again
}

TEST(ComPortOpen, SearchComPortFindsTheFirstDepthFirst) {
  tk::Component form(nullptr);
  tk::Component panel(&form);
  TLkComPort nested(&panel);
  TLkComPort direct(&form);
  EXPECT_EQ(TLkCustomComPort::SearchComPort(&form), &nested);
  EXPECT_EQ(TLkCustomComPort::SearchComPort(&direct), nullptr);
  EXPECT_EQ(TLkCustomComPort::ComName(3), "COM3");
}

TEST(ComPortIO, BlocksAreAllOrNothing) {
  // A device that takes nothing: what is queued stays queued.
  FakeSerialDevice* fake = nullptr;
  TLkComPort port(nullptr);
  port.SetComNumber(1);
  port.DispatcherFactory = [&](TLkCustomComPort& p) {
    return TLkBaseDispatcher::Create<TLkComDispatcher>(&p, [&](const std::string&) {
      platform::SerialOpenResult r;
      auto device = std::make_unique<FakeSerialDevice>();
      device->SetWriteRoom(0);
      fake = device.get();
      r.Device = std::move(device);
      return r;
    });
  };
  port.SetOutSize(16);
  port.SetOpen(true);
  ASSERT_NE(fake, nullptr);
  port.PutString("0123456789");
  ExpectRaises<EPutBlockFail>([&] { port.PutString("0123456789"); }, "Failed to put entire block", ecPutBlockFail);
  EXPECT_EQ(port.OutBuffUsed(), 10);  // nothing of the refused block queued
  EXPECT_EQ(port.OutBuffFree(), 6);
  port.FlushOutBuffer();
  EXPECT_EQ(port.OutBuffUsed(), 0);

  fake->Receive(B("abc"));
  ASSERT_TRUE(test::PumpIn(port, 3));
  char buf[8];
  ExpectRaises<EGetBlockFail>([&] { port.GetBlock(buf, 4); }, "Failed to get entire block", ecGetBlockFail);
  EXPECT_EQ(port.InBuffUsed(), 3);
  EXPECT_TRUE(port.CharReady());
  EXPECT_EQ(port.PeekChar(2), 'b');
  EXPECT_EQ(port.GetChar(), 'a');
  EXPECT_EQ(port.InBuffFree(), 8190);
  port.FlushInBuffer();
  EXPECT_EQ(port.InBuffUsed(), 0);
  EXPECT_THROW(port.GetChar(), EBufferIsEmpty);
}

TEST(ComPortWaits, StringMatchesRestartOnTheFirstCharacter) {
  PtyPort t;
  t.port.SetOpen(true);
  std::string seen;
  t.port.OnWaitChar = [&](tk::Component*, char c) { seen += c; };
  ASSERT_TRUE(t.pty.WriteMaster(B("OOK")));
  ASSERT_TRUE(test::PumpIn(t.port, 3));
  EXPECT_TRUE(t.port.WaitForString("OK", 18, false, false));
  EXPECT_EQ(seen, "OOK");
  EXPECT_FALSE(t.port.Dispatcher()->InNotify);  // the busy mark is gone again

  ASSERT_TRUE(t.pty.WriteMaster(B("xxERROR")));
  ASSERT_TRUE(test::PumpIn(t.port, 7));
  EXPECT_EQ(t.port.WaitForMultiString("OK|ERROR|", 18, false, false, '|'), 2);

  ASSERT_TRUE(t.pty.WriteMaster(B("ok")));
  ASSERT_TRUE(test::PumpIn(t.port, 2));
  EXPECT_TRUE(t.port.WaitForString("OK", 18, true, true));
  EXPECT_FALSE(t.port.WaitForString("OK", 2, true, false));  // nothing more comes: times out
  EXPECT_TRUE(t.port.WaitForString("", 2, false, false));

  std::uint8_t index = 0;
  EXPECT_FALSE(t.port.CheckForString(index, 'A', "AB", false));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(t.port.CheckForString(index, 'A', "AB", false));
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(t.port.CheckForString(index, 'B', "AB", false));
  EXPECT_EQ(index, 0);
}

TEST(ComPortWaits, PrepareWaitKeepsTheBusyMarkUntilTheWaitEnds) {
  PtyPort t;
  t.port.SetOpen(true);
  auto d = t.port.Dispatcher();
  t.port.PrepareWait();
  EXPECT_TRUE(d->InNotify);
  t.port.PutString("AT");
  EXPECT_FALSE(t.port.WaitForString("OK", 1, false, false));
  EXPECT_FALSE(d->InNotify);
}

// Waits on the window thread sleep until something happens, yielding or not: a string that comes after
// a while, a tick delay, a rate change behind output the line has not taken yet.
TEST(ComPortWaits, WaitsSleepRatherThanPoll) {
  PtyPort t;
  t.port.SetOutSize(60000);
  t.port.SetOpen(true);
  const Bytes lots(60000, 'z');
  struct Case {
    const char* Name;
    std::function<void()> Wait;
    std::function<void()> FarEnd;  // what the far end does 250 ms into the wait
  };
  auto sendOk = [&] { t.pty.WriteMaster(B("OK")); };
  const Case cases[] = {
      {"string", [&] { EXPECT_TRUE(t.port.WaitForString("OK", 91, false, false)); }, sendOk},
      {"string, yielding", [&] { EXPECT_TRUE(t.port.WaitForString("OK", 91, true, false)); }, sendOk},
      {"delay", [] { DelayTicks(5, false); }, {}},
      {"delay, yielding", [] { DelayTicks(5, true); }, {}},
      {"rate change behind queued output",
       [&] {
         ASSERT_EQ(t.port.PutBlock(lots.data(), 60000), 0);
         t.port.SetBaud(19200);
         EXPECT_EQ(t.port.OutBuffUsed(), 0);
       },
       [&] { t.pty.ReadMaster(60000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::jthread farEnd([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      if (c.FarEnd) c.FarEnd();
    });
    const test::ThreadCost before = test::CurrentThreadCost();
    c.Wait();
    const test::ThreadCost cost = test::CurrentThreadCost() - before;
    EXPECT_LT(cost.CpuSeconds, 0.03);
    EXPECT_LT(cost.WakeUps, 25);
  }
}

}  // namespace
}  // namespace serial
