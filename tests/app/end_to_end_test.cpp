// The whole program as a user drives it against the simulated controller: attach from the editor, let the
// communications window identify the controller, download the program, close the window. The engine's
// timer runs through the event loop, far faster than its 250 ms so the test stays short.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/startup.h"
#include "gui/controller/comms_form.h"
#include "gui/program/editor_form.h"
#include "platform/paths.h"
#include "serial/com_port.h"
#include "serial/dispatcher.h"
#include "support/scripted_ui.h"
#include "support/serial_port_helpers.h"
#include "support/sim_controller.h"
#include "support/temp_dir.h"

namespace app {
namespace {

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
// a real line, where the frame left long before. The window's timer ticks only once the simulator has read
// every byte the port wrote, and the port has received every byte the simulator sent (a wait state's
// twelve ticks are a mere 12 ms here). The port opens once here. A frame the port has not written yet is
// the engine's own to wait for: ticks this fast find a flash load still in the port now and then.
class TicksOnceTaken : public QObject {
 public:
  TicksOnceTaken(QTimer& timer, serial::TLkCustomComPort& port, const testing_support::SimController& sim)
      : timer_(timer), port_(port), sim_(sim) {
    timer_.installEventFilter(this);
  }
  ~TicksOnceTaken() override { timer_.removeEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Timer) return false;
    const auto d = port_.Dispatcher();
    return d && (sim_.BytesRead() < d->BytesWritten || d->InputArrivals() < sim_.BytesSent());
  }

 private:
  QTimer& timer_;
  serial::TLkCustomComPort& port_;
  const testing_support::SimController& sim_;
};

bool Logged(const std::string& line) {
  return !CommsForm->ListBox1->findItems(QString::fromStdString(line), Qt::MatchExactly).isEmpty();
}

TEST(EndToEnd, AttachDownloadTheProgramAndDetach) {
  testing_support::TempDir cwd;
  const std::string previous = platform::CurrentDir();
  ASSERT_EQ(::chdir(cwd.Path().c_str()), 0);
  testing_support::SimController sim;
  serial::test::ScopedComEnv com{1, sim.SlavePath()};
  sim.SetAppVersion(400);
  sim.SetFirmwareVersion(820);
  sim.SetModule(1, 11);

  ASSERT_EQ(StartUp(*qApp, WindowTable(), false), 0);
  // Every block of the program differs from the others, so a block lost or sent twice shows.
  for (int n = 1; n < 4095; ++n)
    EditorForm->Store.Lines[static_cast<std::size_t>(n)] =
        ProgramLine{static_cast<std::uint16_t>(1 << 10 | n % 1024), static_cast<std::uint16_t>(n), 7};
  EditorForm->Store.Lines[4095] = ProgramLine::End();

  EditorForm->AttachToController1->trigger();
  ASSERT_TRUE(CommsForm->isVisible());
  CommsForm->Timer1->setInterval(1);
  TicksOnceTaken held(*CommsForm->Timer1, *CommsForm->LkComPort1, sim);
  ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 114; }, std::chrono::seconds(30)));

  CommsForm->MenuItems["DownloadProgramtoVORMO1"]->trigger();
  ASSERT_TRUE(LoopUntil([] { return Logged("Controller Program Started"); }, std::chrono::seconds(90)));
  std::vector<std::uint8_t> expected(4096 * ProgramLine::kBytes);
  for (int n = 0; n < 4096; ++n)
    EditorForm->Store.Lines[static_cast<std::size_t>(n)].Store(expected.data() + n * ProgramLine::kBytes);
  EXPECT_EQ(sim.ProgramImage(), expected);
  const auto sun = CommsForm->Engine->Sun.ToBytes();
  EXPECT_TRUE(std::equal(sun.begin(), sun.end(), sim.SunTableImage().begin()));
  EXPECT_EQ(sim.FlashLoads(), 96 + 6);
  EXPECT_TRUE(sim.Faults().empty());

  CommsForm->BitBtn1->click();  // "&Close"
  ASSERT_TRUE(LoopUntil([] { return CommsForm->Engine->CommState == 0; }, std::chrono::seconds(10)));
  EXPECT_FALSE(CommsForm->Timer1->isActive());
  EXPECT_TRUE(EditorForm->isVisible());
  EXPECT_EQ(testing_support::TestUi().Messages(), std::vector<std::string>{});
  EditorForm->hide();
  ASSERT_EQ(::chdir(previous.c_str()), 0);
}

}  // namespace
}  // namespace app
