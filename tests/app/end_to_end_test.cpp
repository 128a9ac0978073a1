// The whole program as a user drives it against the simulated controller: attach from the editor, let the
// communications window identify the controller, download the program, close the window; and its windows'
// grids and trees as the user types into them. The engine's timer runs through the event loop, far faster
// than its 250 ms so the tests stay short.
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
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <optional>
#include <regex>
#include <thread>

#include "app/startup.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/download_project_form.h"
#include "gui/controller/ir_form.h"
#include "gui/controller/manager_params_form.h"
#include "gui/controller/pager_form.h"
#include "gui/controller/pager_messages_form.h"
#include "gui/controller/setup_form.h"
#include "gui/program/editor_form.h"
#include "gui/project/ascii_messages_form.h"
#include "gui/project/sys_config.h"
#include "gui/project/system_map_model.h"
#include "gui/project/touch_screen_form.h"
#include "platform/paths.h"
#include "serial/com_port.h"
#include "serial/dispatcher.h"
#include "support/scripted_ui.h"
#include "support/serial_port_helpers.h"
#include "support/sim_controller.h"
#include "support/sim_modem.h"
#include "support/temp_dir.h"
#include "support/user_input.h"
#include "telephony/tapi_device_selection_form.h"
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

// A cell of a grid or tree.
struct Cell {
  QAbstractItemView* View;
  QModelIndex Index;
  // Where the user points at it, scrolled into view first.
  QPoint Centre() const {
    View->scrollTo(Index);
    QApplication::processEvents();  // the view's layout decides where the cell is
    return View->visualRect(Index).center();
  }
};

constexpr int kParam = 11;
constexpr int kVariable = project::FirstVariable + 7;

const char* const kAttachQuestion =
    "The Program Download is running: attaching now cuts it short and leaves the controller with its program "
    "stopped. Still attach?";

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

  // "Attach to Controller" from the editor, then the engine idles connected to `peer`: the attach has
  // identified it again. The engine may idle before that, when the attach waits for what runs to end.
  void AttachTo(const SimController& peer) {
    gate_.reset();
    const std::size_t infos = InfoRequests(peer);
    EditorForm->AttachToController1->trigger();
    ASSERT_TRUE(CommsForm->isVisible());
    TickFor(peer);
    ASSERT_TRUE(LoopUntil([&] { return InfoRequests(peer) > infos && CommsForm->Engine->CommState == 114; },
                          std::chrono::seconds(30)));
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
    ASSERT_TRUE(CommsForm->Engine->TransferRunning());
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

  // A grid or tree the user types into.
  struct TypingView {
    const char* Window;
    std::function<Cell()> Open;     // shows the window; the cell typed into
    std::function<void()> Between;  // what the window gets between a click and the keys
    QString Typed;
    std::function<QString()> Stored;  // where the typing is kept: the table saved or sent
  };
  std::vector<TypingView> TypingViews() {
    return {
        {"ascii_messages",
         [] {
           EditorForm->AsciiMessages1->trigger();
           return Cell{AsciiMessages->StringGrid1, AsciiMessages->StringGrid1->model()->index(7, 1)};
         },
         [] { AsciiMessages->StringGrid1KeyUp(); },  // the size column rewritten
         "ABC SEVEN", [] { return QString::fromStdString(AsciiMessages->Messages.Text(7)); }},
        {"system_map",
         [] {
           EditorForm->SystemMap1->trigger();
           return Cell{SysConfig->TreeView1, SysConfig->Model->IndexAt(kVariable)};
         },
         // Another node's rename lands: the tree changes under the view.
         [] { SysConfig->Model->setData(SysConfig->Model->IndexAt(kVariable + 1), "Boiler"); }, "PumpRoom",
         [] { return QString::fromStdString(SysConfig->Tree.NodeAt(kVariable)->Text()); }},
        {"pager_messages",
         [] {
           CommsForm->MenuItems["PagerMessages2"]->trigger();
           return Cell{PagerMessages->StringGrid1, PagerMessages->StringGrid1->model()->index(7, 1)};
         },
         [] { PagerMessages->StringGrid1->viewport()->repaint(); }, "CALL HOME",
         [] { return QString::fromStdString(PagerMessages->RowText(7)); }},
        {"editor_comments",
         [] {
           EditorForm->show();
           return Cell{EditorForm->StringGrid1, EditorForm->Listing->index(6, program::ListingModel::ColumnComment)};
         },
         [] { EditorForm->StringGrid1->viewport()->repaint(); }, "pump on",
         [] { return QString::fromStdString(EditorForm->Store.Comments.at(7)); }},
        {"controller_params",
         [this] {
           sim.SetParameter(kParam, 7);
           AttachTo(sim);
           CommsForm->MenuItems["RetrieveVORMOParameters1"]->trigger();
           const Cell cell{ManagerParamsForm->StringGrid1, ManagerParamsForm->StringGrid1->model()->index(kParam, 1)};
           EXPECT_TRUE(LoopUntil([&] { return CellText(cell) == "7"; }, std::chrono::seconds(30)));
           return cell;
         },
         // The controller's value changes and the engine's read-back rewrites the cell.
         [this] {
           sim.SetParameter(kParam, 4321);
           CommsForm->Engine->ParamsRequest = 1;
           EXPECT_TRUE(LoopUntil([&] { return ManagerParamsForm->StringGrid1->item(kParam, 1)->text() == "4321"; },
                                 std::chrono::seconds(30)));
         },
         "8502", [this] { return QString::number(sim.Parameter(kParam)); }},
    };
  }
  // The view's window shown, its cell clicked and selected, no editor open.
  static Cell Selected(const TypingView& row) {
    const Cell cell = row.Open();
    testing_support::ClickInWindow(cell.View->viewport(), cell.Centre());
    testing_support::KeyInWindow(cell.View->window(), Qt::Key_Return);  // closes an editor the click opened
    EXPECT_TRUE(cell.View->selectionModel()->isSelected(cell.Index));
    EXPECT_EQ(cell.View->indexWidget(cell.Index), nullptr);
    return cell;
  }
  static QString CellText(const Cell& cell) { return cell.Index.data().toString(); }
  // The connection polls with nothing asked of it but its clock's count-down: what was asked has gone.
  static bool Quiet() {
    controller::Requests asked = *CommsForm->Engine;
    asked.ClockRequest = 0;
    for (auto& slot : asked.CommandQueue)
      if (slot[0] == 0) slot.fill(0);  // a free slot keeps the bytes it sent
    const int state = CommsForm->Engine->CommState;
    return state >= 110 && state <= 114 && asked == controller::Requests{};
  }
  // The commands and blocks the controller got: what the requests send.
  std::size_t Sent() const {
    const auto frames = sim.Frames();
    return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [](const auto& f) {
      return f.Kind == testing_support::SimFrameKind::Command || f.Kind == testing_support::SimFrameKind::Block;
    }));
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
    testing_support::ClickInWindow(PagerForm->Edit1, PagerForm->Edit1->rect().center());
    testing_support::TypeInWindow(PagerForm, "5551234");
    EXPECT_EQ(PagerForm->Edit1->text(), "5551234");
    testing_support::ClickInWindow(setup.BitBtn1, setup.BitBtn1->rect().center());
    EXPECT_FALSE(setup.isVisible());
    EXPECT_FALSE(PagerForm->isVisible());
    return setup.result();
  });
  EditorForm->CommsSetup1->trigger();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// "Configure Modem" right after start-up, on the port the telephony device took: the modem hears the three
// command lines in order. Setup's OK while they go out lets them end; the pager window goes then.
TEST_F(EndToEnd, PagerSetupConfiguresTheModemFromAFreshStartAndSetupsOkLetsItEnd) {
  const struct {
    const char* Name;
    int StepsBeforeOk;
  } cases[] = {{"from a fresh start, OK once it ended", 4}, {"OK after the first command", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    testing_support::SimModem modem;
    serial::test::ScopedComEnv com{1, modem.SlavePath()};
    // The steps are the test's: the window's own timer waits far longer than the test.
    PagerForm->Timer1->setInterval(std::chrono::hours(1));
    std::size_t steps = 0;
    const auto step = [&] {
      PagerForm->Timer1Timer();
      if (++steps <= 3) {
        EXPECT_TRUE(modem.WaitForCommands(steps));
      }
    };
    TestUi().QueueModal("TSetupForm", [&](platform::ModalWindow& window) {
      auto& setup = tk::DialogOf<TSetupForm>(window);
      setup.show();
      testing_support::Click(setup.BitBtn2);
      testing_support::Replace(PagerForm->Edit1, "5551234");
      testing_support::ClickInWindow(PagerForm->BitBtn1, PagerForm->BitBtn1->rect().center());
      while (steps < static_cast<std::size_t>(c.StepsBeforeOk)) step();
      testing_support::ClickInWindow(setup.BitBtn1, setup.BitBtn1->rect().center());
      EXPECT_EQ(PagerForm->isVisible(), steps < 4);
      return setup.result();
    });
    EditorForm->CommsSetup1->trigger();
    while (steps < 4) step();
    EXPECT_EQ(modem.Commands(),
              (std::vector<std::string>{"AT&F0&K0Q0&D0Q0V0E0&W1", "AT&Z0=5551234", "AT&F0S0=6&K0Q0&D0Q1&W0"}));
    EXPECT_FALSE(PagerForm->isVisible());
    EXPECT_FALSE(CommsForm->LkComPort1->Open());
    EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{});
  }
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

// The connection started by the touch-screen designer's Load leaves the editor in reach. Its Attach, and
// Exit, ask first while work runs that an end would cut, naming it and what ending it does: Cancel lets it
// run on; OK runs its end first (parameter 17 or 15 back to 0, the last module number told and the
// controller restarted) before the next identification or the program's end.
enum class Ends { Attach, Exit };
struct RunningCase {
  const char* Name;
  std::function<void(SimController&)> Start;  // from polling
  int Waiting;                                // the state the work waits in
  const char* Question;                       // asked of the attach; the exit's says "closing" and "close"
  std::function<void(const SimController&)> Ended;
};
const RunningCase kRunning[] = {
    {"Learn",
     [](SimController&) {
       CommsForm->MenuItems["LearnInfraRedCommand1"]->trigger();
       IrForm->Edit1->setText("5");
       testing_support::Click(IrForm->BitBtn1);
     },
     564,
     "The IR Learn is running: attaching now ends it first: the controller's IR receiver is switched back and no "
     "code is learnt. Still attach?",
     [](const SimController& sim) { EXPECT_EQ(sim.Parameter(17), 0); }},
    {"AutoAddress",
     [](SimController& sim) {
       CommsForm->MenuItems["AutoAddressModules1"]->trigger();
       ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 592; }, std::chrono::seconds(30)));
       ASSERT_EQ(sim.PressModuleButton(), 1);
       ASSERT_TRUE(LoopUntil([] { return Logged("Addressed Module 1"); }, std::chrono::seconds(30)));
     },
     592,
     "The Auto Address is running: attaching now ends it first: the controller is told the last module number "
     "given and restarts (about 75 seconds). Still attach?",
     [](const SimController& sim) {
       EXPECT_EQ(sim.Parameter(3), 1);
       EXPECT_EQ(sim.ControlStarts(), 2) << "the touch screen's, then the addressing's";
     }},
};

class RunningWorkEnds : public EndToEnd, public ::testing::WithParamInterface<std::tuple<RunningCase, Ends>> {};

TEST_P(RunningWorkEnds, AfterTheQuestionAndBeforeWhatComesNext) {
  const auto& [c, ends] = GetParam();
  const bool exit = ends == Ends::Exit;
  EditorForm->show();
  TouchScreenForm->Load1->trigger();
  TickFor(sim);
  EXPECT_TRUE(EditorForm->isVisible());
  ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 908; }, std::chrono::seconds(60)));
  TestUi().QueueAnswer(platform::MsgResult::Cancel);
  EditorForm->AttachToController1->trigger();
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"The controller is restarting after the Touch Screen "
                                                          "Download: attaching now waits for the restart to end first "
                                                          "(about 75 seconds). Still attach?"});
  ASSERT_TRUE(LoopUntil([] { return Logged("Touchscreen Data Downloaded OK") && Quiet(); }, std::chrono::seconds(60)));

  c.Start(sim);
  ASSERT_TRUE(LoopUntil([&] { return CommsForm->Engine->CommState == c.Waiting; }, std::chrono::seconds(30)));
  std::string question = c.Question;
  if (exit)
    question = std::regex_replace(std::regex_replace(question, std::regex("attaching"), "closing"),
                                  std::regex("Still attach"), "Still close");
  const auto run = [&] { exit ? EditorForm->Exit1->trigger() : EditorForm->AttachToController1->trigger(); };
  TestUi().Clear();
  TestUi().QueueAnswer(platform::MsgResult::Cancel);
  run();
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{question});
  EXPECT_EQ(CommsForm->Engine->CommState, c.Waiting) << "it runs on";
  EXPECT_TRUE(EditorForm->isVisible());

  const std::size_t infos = InfoRequests(sim);
  TestUi().QueueAnswer(platform::MsgResult::Ok);
  if (exit) TestUi().QueueAnswer(platform::MsgResult::Ok);  // the program's own question
  run();
  if (exit) {
    EXPECT_TRUE(EditorForm->isVisible()) << "until the connection has ended";
    ASSERT_TRUE(LoopUntil([] { return !EditorForm->isVisible(); }, std::chrono::seconds(60)));
    EXPECT_EQ(CommsForm->Engine->CommState, 0);
    EXPECT_FALSE(CommsForm->LkComPort1->Open());
  } else {
    ASSERT_TRUE(LoopUntil([&] { return InfoRequests(sim) > infos; }, std::chrono::seconds(60)));
  }
  c.Ended(sim);
  std::vector<std::string> told = {question, question};
  if (exit) told.push_back("Program has changed and not saved, Still close?");
  if (c.Waiting == 592) told.push_back("Be sure to re-load your Program File");  // the restart's own
  EXPECT_EQ(TestUi().Messages(), told);
  if (!exit) CloseAndWait();
}

INSTANTIATE_TEST_SUITE_P(Works, RunningWorkEnds,
                         ::testing::Combine(::testing::ValuesIn(kRunning), ::testing::Values(Ends::Attach, Ends::Exit)),
                         [](const ::testing::TestParamInfo<RunningWorkEnds::ParamType>& info) {
                           return std::string(std::get<0>(info.param).Name) +
                                  (std::get<1>(info.param) == Ends::Exit ? "Exit" : "Attach");
                         });

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
// ends whole (line closed, its parameter and learn windows hidden) and the controller on COM2 gets nothing
// asked of the first.
TEST_F(EndToEnd, AnAttachRightAfterTheCloseStartsANewConnection) {
  AttachTo(sim);
  CommsForm->MenuItems["RetrieveVORMOParameters1"]->trigger();
  ASSERT_TRUE(ManagerParamsForm->isVisible());
  CommsForm->MenuItems["LearnInfraRedCommand1"]->trigger();
  ASSERT_TRUE(IrForm->isVisible());
  CommsForm->Engine->RelayRequest = 5;  // as "Set/Clear Relay" posts it
  CommsForm->BitBtn1->click();          // "&Close"
  ChoosePortInSetup(2);
  AttachTo(sim2);
  EXPECT_FALSE(ManagerParamsForm->isVisible());
  EXPECT_FALSE(IrForm->isVisible()) << "its save would upload the next controller's codes";
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
  // The clock read is the project download's own: only what the user asked is told.
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

// Text typed at once after a click on the selected cell lands whole in that cell, in every grid and tree the
// user types into: no key goes to a search that moves the selection or is lost before a late editor opens,
// also when the window rewrites or repaints itself between the click and the keys. Keys typed with Alt held
// (no mnemonic there) type nothing.
TEST_F(EndToEnd, KeysTypedAtOnceAfterAClickOnTheSelectedCellLandWholeInIt) {
  using testing_support::ClickInWindow;
  using testing_support::KeyInWindow;
  using testing_support::MnemonicInWindow;
  using testing_support::TypeInWindow;
  for (const auto& row : TypingViews()) {
    SCOPED_TRACE(row.Window);
    const Cell cell = Selected(row);
    QWidget* window = cell.View->window();
    ClickInWindow(cell.View->viewport(), cell.Centre());
    row.Between();
    TypeInWindow(window, row.Typed.left(3));
    EXPECT_TRUE(testing_support::Shoot(window, QString("zelta_typing_%1.png").arg(row.Window)));
    for (Qt::Key key : {Qt::Key_Z, Qt::Key_Q, Qt::Key_5}) MnemonicInWindow(window, key);
    TypeInWindow(window, row.Typed.mid(3));
    KeyInWindow(window, Qt::Key_Return);
    EXPECT_EQ(cell.View->currentIndex(), cell.Index) << "no key moves the selection";
    EXPECT_TRUE(LoopUntil([&] { return row.Stored() == row.Typed; }, std::chrono::seconds(10)))
        << row.Stored().toStdString();
    EXPECT_EQ(CellText(cell).toStdString(), row.Typed.toStdString());
  }
  CloseAndWait();
}

// Escape in a cell editor is the user's cancel: the cell, and the table behind it, get back the text they had
// when the edit opened, though the typing reached them keystroke by keystroke; the edit ends, and nothing
// is sent.
TEST_F(EndToEnd, EscapeGivesTheCellAndItsTableTheTextTheyHad) {
  using testing_support::ClickInWindow;
  using testing_support::KeyInWindow;
  using testing_support::TypeInWindow;
  AttachTo(sim);  // anything sent would reach the controller
  for (const auto& row : TypingViews()) {
    SCOPED_TRACE(row.Window);
    const Cell cell = Selected(row);
    QWidget* window = cell.View->window();
    const auto click = [&] { ClickInWindow(cell.View->viewport(), cell.Centre()); };
    click();
    TypeInWindow(window, row.Typed);
    KeyInWindow(window, Qt::Key_Return);
    ASSERT_TRUE(LoopUntil([&] { return row.Stored() == row.Typed && Quiet(); }, std::chrono::seconds(30)));
    const std::size_t sent = Sent();
    click();
    TypeInWindow(window, "OOPS");
    auto* editor = qobject_cast<QLineEdit*>(cell.View->indexWidget(cell.Index));
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->text(), "OOPS");
    KeyInWindow(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(cell.View->indexWidget(cell.Index), nullptr);
    EXPECT_EQ(CellText(cell).toStdString(), row.Typed.toStdString());
    EXPECT_EQ(row.Stored().toStdString(), row.Typed.toStdString());
    EXPECT_TRUE(testing_support::Shoot(window, QString("zelta_escape_%1.png").arg(row.Window)));
    EXPECT_TRUE(LoopUntil(Quiet, std::chrono::seconds(10)));
    EXPECT_EQ(Sent(), sent);
  }
  CloseAndWait();
}

// A double click on the selected cell is still the view's, though its first click opens the editor at once:
// Qt's DoubleClicked trigger opens the editor holding the whole text, selected, and a tree node opens.
TEST_F(EndToEnd, ADoubleClickOnTheSelectedCellIsTheViews) {
  using testing_support::ClickInWindow;
  const struct {
    const char* Window;
    std::function<Cell()> Open;  // shows the window and selects the cell
    std::function<bool(const Cell&)> Done;
  } rows[] = {
      {"ascii_messages",
       [] {
         EditorForm->AsciiMessages1->trigger();
         const Cell cell{AsciiMessages->StringGrid1, AsciiMessages->StringGrid1->model()->index(3, 1)};
         ClickInWindow(cell.View->viewport(), cell.Centre());
         testing_support::TypeInWindow(AsciiMessages, "HELLO WORLD");
         testing_support::KeyInWindow(AsciiMessages, Qt::Key_Return);
         return cell;
       },
       [](const Cell& cell) {
         auto* editor = qobject_cast<QLineEdit*>(cell.View->indexWidget(cell.Index));
         return editor && editor->selectedText() == "HELLO WORLD";
       }},
      {"system_map",
       [] {
         EditorForm->SystemMap1->trigger();
         SysConfig->Tessaro1Click();  // "Icons": a header the user may rename, so the click opens its editor
         const Cell cell{SysConfig->TreeView1, SysConfig->Model->IndexAt(project::IconsHeader)};
         ClickInWindow(cell.View->viewport(), cell.Centre());
         return cell;
       },
       [](const Cell& cell) {
         return static_cast<QTreeView*>(cell.View)->isExpanded(cell.Index) && !cell.View->indexWidget(cell.Index);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Window);
    const Cell cell = row.Open();
    ASSERT_TRUE(cell.View->selectionModel()->isSelected(cell.Index));
    ASSERT_EQ(cell.View->indexWidget(cell.Index), nullptr);
    testing_support::DoubleClickInWindow(cell.View->viewport(), cell.Centre());
    EXPECT_TRUE(row.Done(cell));
  }
}

// An open cell editor writes only into its own line: whatever rewrites or moves the lines under it (a line
// command by mnemonic or by click, a re-render or read-back, a table opened, the window shown again) ends the
// edit first, on the line it was opened on. The Return that follows ends nothing more and presses no default
// button: the typed text stays on its line and no other line changes.
TEST_F(EndToEnd, AnOpenCellEditorWritesOnlyIntoItsOwnLine) {
  using testing_support::ClickInWindow;
  using testing_support::KeyInWindow;
  using testing_support::MnemonicInWindow;
  using testing_support::TypeInWindow;
  using Lines = std::vector<std::pair<int, QString>>;
  const auto comment = [](int n) { return QString::fromStdString(EditorForm->Store.Comments.at(n)).trimmed(); };
  const auto message = [](int n) { return QString::fromStdString(AsciiMessages->Messages.Text(n)); };
  const auto pagerRow = [](int n) { return QString::fromStdString(PagerMessages->RowText(n)); };
  const auto parameter = [&](int p) { return QString::number(sim.Parameter(p)); };
  const auto node = [](int position) { return QString::fromStdString(SysConfig->Tree.NodeAt(position)->Text()); };
  // Line 9 typed into, between two lines with comments of their own.
  const auto editorLine9 = [] {
    EditorForm->show();
    for (int n = 7; n < 13; ++n) EditorForm->Store.Comments[n] = n == 8 ? "eight" : n == 10 ? "ten" : "";
    EditorForm->UpdateListing();
    return Cell{EditorForm->StringGrid1, EditorForm->Listing->index(8, program::ListingModel::ColumnComment)};
  };
  const auto asciiMessage3 = [] {
    EditorForm->AsciiMessages1->trigger();
    for (int n : {2, 4}) AsciiMessages->StringGrid1->item(n, 1)->setText(QString("message %1").arg(n));
    return Cell{AsciiMessages->StringGrid1, AsciiMessages->StringGrid1->model()->index(3, 1)};
  };
  struct Row {
    const char* What;
    std::function<Cell()> Open;  // shows the window and fills the lines around the cell typed into
    QString Typed;
    std::function<void()> Rewrite;  // what rewrites or moves the lines while the editor is open
    std::function<QString(int)> Line;
    Lines Expected;
  };
  const auto editorRow = [&](const char* what, std::function<void()> rewrite, Lines expected) {
    return Row{what, editorLine9, "OR-A", std::move(rewrite), comment, std::move(expected)};
  };
  const auto asciiRow = [&](const char* what, std::function<void()> rewrite, Lines expected) {
    return Row{what, asciiMessage3, "TYPED", std::move(rewrite), message, std::move(expected)};
  };
  const std::vector<Row> rows = {
      editorRow("editor: Alt+I", [] { MnemonicInWindow(EditorForm, Qt::Key_I); },
                {{8, "eight"}, {9, ""}, {10, "OR-A"}, {11, "ten"}}),
      editorRow("editor: Insert Line clicked",
                [] { ClickInWindow(EditorForm->BitBtn5, EditorForm->BitBtn5->rect().center()); },
                {{8, "eight"}, {9, ""}, {10, "OR-A"}, {11, "ten"}}),
      editorRow("editor: Alt+D",
                [] {
                  TestUi().QueueAnswer(platform::MsgResult::Ok);
                  MnemonicInWindow(EditorForm, Qt::Key_D);
                },
                {{8, "eight"}, {9, "ten"}, {10, ""}}),
      // The Comms menu shares Alt+C: the key only moves the focus, which ends the edit.
      editorRow("editor: Alt+C", [] { MnemonicInWindow(EditorForm, Qt::Key_C); },
                {{8, "eight"}, {9, "OR-A"}, {10, "ten"}}),
      editorRow("editor: re-rendered", [] { EditorForm->UpdateListing(); }, {{8, "eight"}, {9, "OR-A"}, {10, "ten"}}),
      asciiRow("ascii: a table opened",
               [] {
                 project::AsciiMessageTable file;
                 for (int n : {2, 3, 4}) file.SetText(n, "from file " + std::to_string(n));
                 ASSERT_EQ(file.Save("house.asc"), "");
                 TestUi().QueueAnswer(platform::MsgResult::Ok);  // "Ascii data has changed and not saved, Still Open?"
                 TestUi().QueueOpenFile("house.asc");
                 AsciiMessages->Open1->trigger();
               },
               {{2, "from file 2"}, {3, "from file 3"}, {4, "from file 4"}}),
      asciiRow("ascii: shown again after New Project",
               [] {
                 AsciiMessages->hide();
                 AsciiMessages->ClearAsciiMessages();
                 EditorForm->AsciiMessages1->trigger();
               },
               {{2, ""}, {3, ""}, {4, ""}}),
      Row{"system map: another node renamed, Collapse All clicked",
          [] {
            EditorForm->SystemMap1->trigger();
            return Cell{SysConfig->TreeView1, SysConfig->Model->IndexAt(kVariable)};
          },
          "PumpRoom",
          [] {
            SysConfig->Model->setData(SysConfig->Model->IndexAt(kVariable + 1), "Boiler");
            ClickInWindow(SysConfig->BitBtn7, SysConfig->BitBtn7->rect().center());
          },
          node,
          {{kVariable - 1, node(kVariable - 1)}, {kVariable, "PumpRoom"}, {kVariable + 1, "Boiler"}}},
      // Return in the pager's cell editor is the editor's, not the window's "Load Messages".
      Row{"pager: shown again, then Return",
          [&] {
            AttachTo(sim);
            CommsForm->MenuItems["PagerMessages2"]->trigger();
            ClickInWindow(PagerMessages->CloseButton, PagerMessages->CloseButton->rect().center());
            CommsForm->MenuItems["PagerMessages2"]->trigger();
            PagerMessages->StringGrid1->item(6, 1)->setText("six");
            PagerMessages->StringGrid1->setCurrentCell(7, 1);
            return Cell{PagerMessages->StringGrid1, PagerMessages->StringGrid1->model()->index(7, 1)};
          },
          "HURRY",
          [] {},
          pagerRow,
          {{6, "six"}, {7, "HURRY"}, {8, ""}}},
      Row{"controller parameters: read back",
          [&] {
            sim.SetParameter(kParam - 1, 10);
            sim.SetParameter(kParam, 7);
            CommsForm->MenuItems["RetrieveVORMOParameters1"]->trigger();
            const Cell cell{ManagerParamsForm->StringGrid1, ManagerParamsForm->StringGrid1->model()->index(kParam, 1)};
            EXPECT_TRUE(LoopUntil([&] { return cell.Index.data().toString() == "7"; }, std::chrono::seconds(30)));
            return cell;
          },
          "8502",
          [&] {
            sim.SetParameter(kParam, 4321);
            CommsForm->Engine->ParamsRequest = 1;
            EXPECT_TRUE(LoopUntil([&] { return ManagerParamsForm->StringGrid1->item(kParam, 1)->text() == "4321"; },
                                  std::chrono::seconds(30)));
          },
          parameter,
          {{kParam - 1, "10"}, {kParam, "8502"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    const Cell cell = row.Open();
    QWidget* window = cell.View->window();
    const auto click = [&] { ClickInWindow(cell.View->viewport(), cell.Centre()); };
    click();
    KeyInWindow(window, Qt::Key_Return);  // ends an edit the click opened, and nothing else
    ASSERT_TRUE(window->isVisible());
    ASSERT_EQ(cell.View->indexWidget(cell.Index), nullptr);
    click();
    TypeInWindow(window, row.Typed);
    ASSERT_NE(cell.View->indexWidget(cell.Index), nullptr);
    row.Rewrite();
    KeyInWindow(window, Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    for (const auto& [line, text] : row.Expected)
      EXPECT_TRUE(LoopUntil([&] { return row.Line(line) == text; }, std::chrono::seconds(10)))
          << "line " << line << ": " << row.Line(line).toStdString();
  }
  const auto frames = sim.Frames();
  EXPECT_TRUE(std::none_of(frames.begin(), frames.end(), [](const auto& f) {
    return f.Kind == testing_support::SimFrameKind::Block;
  })) << "the pager table was sent";
  CloseAndWait();
}

// ---- The pager's modem set-up owns its port until its last step ----

const std::vector<std::string> kModemLines = {"AT&F0&K0Q0&D0Q0V0E0&W1", "AT&Z0=5551234", "AT&F0S0=6&K0Q0&D0Q1&W0"};

// Setup on COM1 (the first start's), Pager Setup on the modem's port, "Configure Modem", its first line at the
// modem, Setup's OK. The steps are the test's: the pager window's timer, and the engine's, wait far longer.
class ModemSetupRunning : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    EditorForm->Store.Lines.fill(ProgramLine{});  // nothing unsaved to ask about
    EditorForm->show();                           // as the message loop shows it
  }
  void ConfigureModemThenSetupsOk(int modemCom) {
    modemCom_.emplace(modemCom, modem.SlavePath());
    PagerForm->Timer1->setInterval(std::chrono::hours(1));
    CommsForm->Timer1->setInterval(std::chrono::hours(1));
    SetupAgain([&](TSetupForm& setup) {
      testing_support::Click(setup.BitBtn2);
      testing_support::Replace(PagerForm->Edit1, "5551234");
      testing_support::Click(PagerForm->ComNumButtons->button(modemCom - 1));
      testing_support::ClickInWindow(PagerForm->BitBtn1, PagerForm->BitBtn1->rect().center());
      Step();
    });
  }
  // Comms Setup: `act` in the window, then its OK.
  static void SetupAgain(const std::function<void(TSetupForm& setup)>& act) {
    TestUi().QueueModal("TSetupForm", [act](platform::ModalWindow& window) {
      auto& setup = tk::DialogOf<TSetupForm>(window);
      setup.show();
      act(setup);
      testing_support::ClickInWindow(setup.BitBtn1, setup.BitBtn1->rect().center());
      return setup.result();
    });
    EditorForm->CommsSetup1->trigger();
  }
  void Step() {
    PagerForm->Timer1Timer();
    EXPECT_TRUE(modem.WaitForCommands(++steps_, std::chrono::seconds(30)));
  }
  // The remaining lines, then the tick that reads the last reply and ends the set-up.
  void StepToTheEnd() {
    while (steps_ < kModemLines.size()) Step();
    PagerForm->Timer1Timer();
  }

  testing_support::SimModem modem;

 private:
  std::optional<serial::test::ScopedComEnv> modemCom_;
  std::size_t steps_ = 0;
};

// What would take the set-up's port: an Attach from each window that attaches, and the program's end.
const struct PortTaker {
  const char* Name;
  void (*Take)();
  const char* Doing;
  const char* Verb;
} kPortTakers[] = {
    {"EditorAttach", [] { EditorForm->AttachToController1->trigger(); }, "attaching", "attach"},
    {"DesignerLoad", [] { TouchScreenForm->Load1->trigger(); }, "attaching", "attach"},
    {"ProjectDownload",
     [] {
       Form3->CheckBox2->setChecked(false);  // no program to send
       Form3->BitBtn1->click();              // "Begin Download"
     },
     "attaching", "attach"},
    {"Exit", [] { EditorForm->Exit1->trigger(); }, "closing", "close"},
};

class ModemSetupTaken : public ModemSetupRunning,
                        public ::testing::WithParamInterface<std::tuple<PortTaker, int, platform::MsgResult>> {};

// Asked, naming the set-up. Cancel: nothing is taken and the modem hears all three lines. OK: the set-up is cut
// before its port is taken, and its window stays to say so.
TEST_P(ModemSetupTaken, AsksAndCancelLetsTheSetUpEnd) {
  const auto& [taker, modemCom, answer] = GetParam();
  const bool ok = answer == platform::MsgResult::Ok;
  ConfigureModemThenSetupsOk(modemCom);
  TestUi().QueueAnswer(answer);
  taker.Take();
  EXPECT_EQ(TestUi().Messages(),
            std::vector<std::string>{"The Pager Modem Setup is running: " + std::string(taker.Doing) +
                                     " now cuts it short and leaves the modem with part of its commands. Still " +
                                     taker.Verb + "?"});
  EXPECT_EQ(CommsForm->Engine->CommState != 0 || !EditorForm->isVisible(), ok);
  if (!ok) StepToTheEnd();
  EXPECT_EQ(modem.Commands(), ok ? std::vector<std::string>{kModemLines[0]} : kModemLines);
  EXPECT_EQ(PagerForm->ListBox1->findItems("Modem Setup cut short", Qt::MatchExactly).size(), ok ? 1 : 0);
  // The attach shows Controller Access over the pager window: its log says it too.
  const bool attached = ok && std::string(taker.Name) != "Exit";
  EXPECT_EQ(CommsForm->ListBox1->findItems("Pager Modem Setup cut short", Qt::MatchExactly).size(), attached ? 1 : 0);
  EXPECT_FALSE(PagerForm->Setup.Running());
  EXPECT_FALSE(CommsForm->LkComPort1->Open()) << "the engine has not ticked";
  EXPECT_EQ(PagerForm->isVisible(), ok) << "a set-up cut short stays in view";
}

std::string TakenName(const ::testing::TestParamInfo<ModemSetupTaken::ParamType>& info) {
  const auto& [taker, modemCom, answer] = info.param;
  return taker.Name + std::string(modemCom == 1 ? "OnSetupsPort" : "OnAnother") +
         (answer == platform::MsgResult::Ok ? "Ok" : "Cancel");
}
INSTANTIATE_TEST_SUITE_P(TakersOnEachPort, ModemSetupTaken,
                         ::testing::Combine(::testing::ValuesIn(kPortTakers), ::testing::Values(1, 2),
                                            ::testing::Values(platform::MsgResult::Cancel, platform::MsgResult::Ok)),
                         TakenName);

// While the set-up runs on COM2: Comms Setup again, then again with a modem device chosen and "Pager Setup"
// clicked. Nothing is asked; the port number stored (COM1) waits for the set-up's end, which leaves the
// window the user has just opened again; Setup's OK closes it.
TEST_F(ModemSetupRunning, TheSettingsWaitForItsEnd) {
  ConfigureModemThenSetupsOk(2);
  SetupAgain([](TSetupForm&) {});
  SetupAgain([this](TSetupForm& setup) {
    TestUi().QueueModal("TDeviceSelectionForm", [](platform::ModalWindow& window) {
      auto& selection = tk::DialogOf<telephony::TDeviceSelectionForm>(window);
      selection.TapiMode = serial::tmOff;
      selection.ComNumber = 1;
      return static_cast<int>(QDialog::Accepted);
    });
    testing_support::ClickInWindow(setup.Edit5, setup.Edit5->rect().center());
    testing_support::Click(setup.BitBtn2);
    StepToTheEnd();
    EXPECT_EQ(CommsForm->LkComPort1->ComNumber(), 1);
    EXPECT_TRUE(PagerForm->isVisible());
  });
  EXPECT_EQ(modem.Commands(), kModemLines);
  EXPECT_FALSE(PagerForm->isVisible());
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{});
}

}  // namespace
}  // namespace app
