// The whole program as a user drives it against the simulated controller: attach from the editor, let the
// communications window identify the controller, download the program, close the window. The engine's
// timer runs through the event loop, far faster than its 250 ms so the tests stay short.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "app/startup.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/download_project_form.h"
#include "gui/controller/manager_params_form.h"
#include "gui/controller/pager_form.h"
#include "gui/controller/setup_form.h"
#include "gui/program/editor_form.h"
#include "gui/project/touch_screen_form.h"
#include "platform/paths.h"
#include "serial/com_port.h"
#include "serial/dispatcher.h"
#include "support/scripted_ui.h"
#include "support/serial_port_helpers.h"
#include "support/sim_controller.h"
#include "support/temp_dir.h"
#include "support/user_input.h"
#include "tk/modal.h"

namespace app {
namespace {

using testing_support::SimController;
using testing_support::TestUi;

bool LoopUntil(const std::function<bool()>& done, std::chrono::seconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Ticking 250 times faster than the real timer, a tick may come before the simulated controller has read
// the last frame; on a pseudo-terminal the next send's discard would still reach it, as it never does on
// a real line, where the frame left long before. The window's timer ticks only once the port has written
// all it was given, the simulator has read every byte the port wrote (and so answered it), and the port
// has received every byte the simulator sent. A wait state's twelve ticks are a mere 12 ms here: a loaded
// machine that holds the port's writer back longer would otherwise time the answer out, and one retry
// while closing disconnects. Both sides are counted from the tick that first sees the port's opening (the
// tick that opens a port sends nothing), or the gate's own, for a port open before it.
class TicksOnceTaken : public QObject {
 public:
  TicksOnceTaken(QTimer& timer, serial::TLkCustomComPort& port, const SimController& sim)
      : timer_(timer), port_(port), sim_(sim) {
    timer_.installEventFilter(this);
  }
  ~TicksOnceTaken() override { timer_.removeEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Timer) return false;
    const auto d = port_.Dispatcher();
    if (!d) return false;
    if (counted_.owner_before(d) || d.owner_before(counted_)) {
      counted_ = d;
      read_ = sim_.BytesRead();
      sent_ = sim_.BytesSent();
      written_ = d->BytesWritten;
      arrived_ = d->InputArrivals();
    }
    return !d->OutputDrained() || sim_.BytesRead() - read_ < d->BytesWritten - written_ ||
           d->InputArrivals() - arrived_ < sim_.BytesSent() - sent_;
  }

 private:
  QTimer& timer_;
  serial::TLkCustomComPort& port_;
  const SimController& sim_;
  std::weak_ptr<serial::TLkBaseDispatcher> counted_;  // the opening counted from
  std::uint64_t read_ = 0, sent_ = 0, written_ = 0, arrived_ = 0;
};

bool Logged(const std::string& line) {
  return !CommsForm->ListBox1->findItems(QString::fromStdString(line), Qt::MatchExactly).isEmpty();
}

std::size_t Requests(const SimController& sim, std::uint16_t address) {
  const auto frames = sim.Frames();
  return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [&](const auto& f) {
    return f.Kind == testing_support::SimFrameKind::Request && f.Address == address;
  }));
}

std::size_t InfoRequests(const SimController& sim) { return Requests(sim, controller::AddrInfoBlock); }

const char* const kAttachQuestion =
    "The Program Download is running: attaching again now cuts it short and may leave the controller stopped or "
    "half written. Still attach?";

class EndToEnd : public ::testing::Test {
 protected:
  EndToEnd() {
    EXPECT_EQ(::chdir(cwd_.Path().c_str()), 0);
    for (SimController* s : {&sim, &sim2}) {
      s->SetAppVersion(400);
      s->SetFirmwareVersion(820);
      s->SetModule(1, 11);
    }
  }
  ~EndToEnd() override {
    gate_.reset();
    // The windows go with their test, last first as at exit: one that fails leaves nothing running (a
    // timer, a connection, a port) for the next.
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) delete *it;
    EXPECT_EQ(::chdir(previous_.c_str()), 0);
  }
  void SetUp() override {
    std::vector<WindowEntry> table = WindowTable();
    for (WindowEntry& entry : table)
      entry.Create = [this, create = entry.Create] {
        QWidget* window = create();
        if (window) windows_.push_back(window);
        return window;
      };
    ASSERT_EQ(StartUp(*qApp, table, false), 0);
    // Every block of the program differs from the others, so a block lost or sent twice shows.
    for (int n = 1; n < 4095; ++n)
      EditorForm->Store.Lines[static_cast<std::size_t>(n)] =
          ProgramLine{static_cast<std::uint16_t>(1 << 10 | n % 1024), static_cast<std::uint16_t>(n), 7};
    EditorForm->Store.Lines[4095] = ProgramLine::End();
  }

  // "Attach to Controller" from the editor, then the engine idles connected to `peer`.
  void AttachTo(const SimController& peer) {
    gate_.reset();
    EditorForm->AttachToController1->trigger();
    ASSERT_TRUE(CommsForm->isVisible());
    TickFor(peer);
    ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 114; }, std::chrono::seconds(30)));
  }
  // The engine's timer, fast, ticks as `peer` takes what is sent.
  void TickFor(const SimController& peer) {
    gate_.reset();
    CommsForm->Timer1->setInterval(1);
    gate_.emplace(*CommsForm->Timer1, *CommsForm->LkComPort1, peer);
  }
  // The program download started, a few blocks in the controller, then "&Close": the editor is back and
  // the transfer runs on until the engine's next idle pass.
  void DownloadThenClose() {
    const int loads = sim.FlashLoads();
    CommsForm->MenuItems["DownloadProgramtoVORMO1"]->trigger();
    ASSERT_TRUE(LoopUntil([&] { return sim.FlashLoads() >= loads + 4; }, std::chrono::seconds(30)));
    CommsForm->BitBtn1->click();
    ASSERT_TRUE(EditorForm->isVisible());
    ASSERT_TRUE(CommsForm->Engine->DownloadRunning());
  }
  void ExpectTheWholeProgramIn(const SimController& peer) {
    std::vector<std::uint8_t> expected(4096 * ProgramLine::kBytes);
    for (int n = 0; n < 4096; ++n)
      EditorForm->Store.Lines[static_cast<std::size_t>(n)].Store(expected.data() + n * ProgramLine::kBytes);
    EXPECT_EQ(peer.ProgramImage(), expected);
    const auto sun = CommsForm->Engine->Sun.ToBytes();
    EXPECT_TRUE(std::equal(sun.begin(), sun.end(), peer.SunTableImage().begin()));
    EXPECT_EQ(peer.FlashLoads(), 96 + 6);
    EXPECT_EQ(peer.Commands(controller::CmdStartProgram).size(), 1u);
    EXPECT_TRUE(peer.Faults().empty());
  }
  // COM`number` chosen in Comms Setup and stored with OK.
  void ChoosePortInSetup(int number) {
    TestUi().QueueModal("TSetupForm", [number](platform::ModalWindow& window) {
      auto& setup = tk::DialogOf<TSetupForm>(window);
      setup.show();
      testing_support::Click(setup.RadioGroup1Buttons->button(number));
      testing_support::Click(setup.BitBtn1);
      return setup.result();
    });
    EditorForm->CommsSetup1->trigger();
  }
  void CloseAndWait() {
    CommsForm->BitBtn1->click();  // "&Close"
    ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 0; }, std::chrono::seconds(30)));
  }

  testing_support::ScopedConfigDir config;  // a test here stores a port
  SimController sim, sim2;
  serial::test::ScopedComEnv com1{1, sim.SlavePath()}, com2{2, sim2.SlavePath()};

 private:
  testing_support::TempDir cwd_;
  const std::string previous_ = platform::CurrentDir();
  std::optional<TicksOnceTaken> gate_;
  std::vector<QWidget*> windows_;
};

TEST_F(EndToEnd, AttachDownloadTheProgramAndDetach) {
  AttachTo(sim);
  CommsForm->MenuItems["DownloadProgramtoVORMO1"]->trigger();
  ASSERT_TRUE(LoopUntil([] { return Logged("Controller Program Started"); }, std::chrono::seconds(90)));
  ExpectTheWholeProgramIn(sim);

  CloseAndWait();
  EXPECT_FALSE(CommsForm->Timer1->isActive());
  EXPECT_TRUE(EditorForm->isVisible());
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{});
}

// Pager Setup, opened from the modal Setup, is in front of it and takes the user's clicks and keys; Setup's OK
// closes both.
TEST_F(EndToEnd, PagerSetupWorksInFrontOfSetupAndGoesWithIt) {
  TestUi().QueueModal("TSetupForm", [](platform::ModalWindow& window) {
    auto& setup = tk::DialogOf<TSetupForm>(window);
    setup.show();
    testing_support::Click(setup.BitBtn2);
    EXPECT_TRUE(PagerForm->isVisible());
    testing_support::ClickThroughWindow(PagerForm->Edit1);
    testing_support::TypeThroughWindow(PagerForm->Edit1, "5551234");
    EXPECT_EQ(PagerForm->Edit1->text(), "5551234");
    testing_support::ClickThroughWindow(setup.BitBtn1);
    EXPECT_FALSE(setup.isVisible());
    EXPECT_FALSE(PagerForm->isVisible());
    return setup.result();
  });
  EditorForm->CommsSetup1->trigger();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// The editor's Attach restarts the connection; while a transfer runs on after "&Close" it asks first, and
// Cancel lets the transfer end.
TEST_F(EndToEnd, AttachAsksBeforeItCutsARunningDownloadShort) {
  AttachTo(sim);
  DownloadThenClose();
  std::size_t infos = InfoRequests(sim);
  TestUi().QueueAnswer(platform::MsgResult::Cancel);
  EditorForm->AttachToController1->trigger();
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{kAttachQuestion});
  EXPECT_FALSE(CommsForm->isVisible());
  ASSERT_TRUE(LoopUntil([&] { return CommsForm->Engine->CommState == 0 || InfoRequests(sim) > infos; },
                        std::chrono::seconds(90)));
  EXPECT_EQ(InfoRequests(sim), infos) << "the download was cut short by a new connection";
  EXPECT_TRUE(Logged("Controller Program Started"));
  ExpectTheWholeProgramIn(sim);

  // Nothing running: Attach attaches at once. With a transfer running, OK attaches as asked.
  AttachTo(sim);
  DownloadThenClose();
  infos = InfoRequests(sim);
  TestUi().QueueAnswer(platform::MsgResult::Ok);
  EditorForm->AttachToController1->trigger();
  EXPECT_EQ(TestUi().Messages(), (std::vector<std::string>{kAttachQuestion, kAttachQuestion}));
  EXPECT_TRUE(CommsForm->isVisible());
  EXPECT_FALSE(EditorForm->isVisible());
  ASSERT_TRUE(LoopUntil([&] { return InfoRequests(sim) > infos; }, std::chrono::seconds(30)));
  EXPECT_EQ(sim.Commands(controller::CmdStartProgram).size(), 1u) << "the second download never started the program";
  CloseAndWait();
}

// COM2 chosen in Comms Setup while a download to the controller on COM1 runs on: that controller gets the
// whole download, the one on COM2 nothing until the next attach.
TEST_F(EndToEnd, APortChosenDuringADownloadIsTheNextConnections) {
  AttachTo(sim);
  DownloadThenClose();
  ChoosePortInSetup(2);
  ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 0; }, std::chrono::seconds(90)));
  EXPECT_TRUE(Logged("Controller Program Started"));
  ExpectTheWholeProgramIn(sim);
  EXPECT_TRUE(sim2.Frames().empty());

  const std::size_t seen = sim.Frames().size();
  AttachTo(sim2);
  EXPECT_EQ(InfoRequests(sim2), 1u);
  EXPECT_EQ(sim.Frames().size(), seen);
  CloseAndWait();
  EXPECT_TRUE(TestUi().Messages().empty());
}

// "&Close", COM2 chosen and Attach at once, before the idle pass has taken the close: the first connection
// ends whole (line closed, its parameter window hidden) and the controller on COM2 gets nothing asked of
// the first.
TEST_F(EndToEnd, AnAttachRightAfterTheCloseStartsANewConnection) {
  AttachTo(sim);
  CommsForm->MenuItems["RetrieveVORMOParameters1"]->trigger();
  ASSERT_TRUE(ManagerParamsForm->isVisible());
  CommsForm->Engine->RelayRequest = 5;  // as "Set/Clear Relay" posts it
  CommsForm->BitBtn1->click();          // "&Close"
  ChoosePortInSetup(2);
  AttachTo(sim2);
  EXPECT_FALSE(ManagerParamsForm->isVisible());
  EXPECT_TRUE(Logged("Relay Command not sent"));
  ASSERT_TRUE(LoopUntil([&] { return Requests(sim2, controller::AddrIoStates) >= 8; }, std::chrono::seconds(30)));
  EXPECT_TRUE(sim2.Commands(controller::CmdRelay).empty());
  EXPECT_TRUE(sim.Commands(controller::CmdRelay).empty());
  CloseAndWait();
}

// "&Close" during a project download's icons: the icons, running at the close, run to their end; the touch
// pages and the program, whose turn never came, are said not to be sent. The next connection, to another
// controller on COM2, stops nothing and loads nothing.
TEST_F(EndToEnd, AProjectDownloadClosedDuringItsIconsLeavesNothingForTheNextConnection) {
  AttachTo(sim);
  Form3->show();
  Form3->BitBtn1->click();  // "Begin Download", all four parts ticked
  ASSERT_TRUE(LoopUntil([&] { return sim.FlashLoads() >= 4; }, std::chrono::seconds(30)));
  CommsForm->BitBtn1->click();  // "&Close"
  ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 0; }, std::chrono::seconds(90)));
  EXPECT_EQ(sim.FlashLoads(), 192) << "every icon block";
  EXPECT_TRUE(sim.Commands(controller::CmdStoreTouch).empty());
  EXPECT_TRUE(sim.Commands(controller::CmdStopInterpreter).empty());
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"Program Download not sent\nTouch Screen Download not sent"});

  ChoosePortInSetup(2);
  AttachTo(sim2);
  ASSERT_TRUE(LoopUntil([&] { return Requests(sim2, controller::AddrIoStates) >= 8; }, std::chrono::seconds(30)));
  EXPECT_TRUE(sim2.Commands(controller::CmdStopInterpreter).empty());
  EXPECT_EQ(sim2.FlashLoads(), 0);
  CloseAndWait();
}

// "&Close" wins over what was posted around it: the project download dialog's reconnection posted just
// before it, and the touch-screen designer's Load just after it with COM2 chosen meanwhile, send nothing to
// the closed controller. The Load goes to the next connection's.
TEST_F(EndToEnd, NothingPostedAroundTheCloseGoesToTheClosedController) {
  AttachTo(sim);
  Form3->CheckBox1->setChecked(false);  // icons
  Form3->CheckBox2->setChecked(false);  // program
  Form3->show();
  Form3->BitBtn1->click();      // "Begin Download": a reconnection, the clock and the touch pages
  CommsForm->BitBtn1->click();  // "&Close", before the idle pass takes the reconnection
  ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 0; }, std::chrono::seconds(30)));
  EXPECT_EQ(InfoRequests(sim), 1u) << "no reconnection";
  EXPECT_TRUE(sim.Commands(controller::CmdReadClock).empty());
  EXPECT_TRUE(sim.Commands(controller::CmdStoreTouch).empty());
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"Touch Screen Download not sent"});

  AttachTo(sim);
  const std::size_t seen = sim.Frames().size();
  CommsForm->BitBtn1->click();  // "&Close"
  ChoosePortInSetup(2);
  TouchScreenForm->Load1->trigger();
  TickFor(sim2);
  ASSERT_TRUE(
      LoopUntil([&] { return sim2.Commands(controller::CmdStoreTouch).size() == 64u; }, std::chrono::seconds(60)));
  EXPECT_EQ(sim.Frames().size(), seen);
  CloseAndWait();
}

}  // namespace
}  // namespace app
