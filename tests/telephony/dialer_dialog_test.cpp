// The dial dialog and its "Dial Progress" window, run on the simulated modem.
#include "telephony/dialer_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <set>

#include "modem_test_support.h"
#include "serial/error_text.h"
#include "serial/lk_exception.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"
#include "telephony/dial_progress_form.h"

namespace telephony_test {
namespace {

using namespace telephony;
using testing_support::SimDialOutcome;
using Lines = std::vector<std::string>;

// Watches the dial window while it is open: every line it showed, and one action once `when` holds. A
// window still open after the deadline fails the test and is closed (which aborts its dialer).
class FormWatch {
 public:
  explicit FormWatch(std::function<bool(TDialerForm&)> when = {}, std::function<void(TDialerForm&)> act = {})
      : when_(std::move(when)), act_(std::move(act)), end_(std::chrono::steady_clock::now() + 15s) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
    timer_.start(2);
  }
  std::set<std::string> Seen;
  bool Opened = false;

 private:
  void Look() {
    auto* form = dynamic_cast<TDialerForm*>(QApplication::activeModalWidget());
    if (!form || !form->isVisible()) return;
    Opened = true;
    for (const std::string& line : form->Lines())
      if (!line.empty()) Seen.insert(line);
    if (when_ && !acted_ && when_(*form)) {
      acted_ = true;
      act_(*form);
    } else if (std::chrono::steady_clock::now() > end_) {
      ADD_FAILURE() << "the dial window stayed open";
      form->close();
    }
  }
  std::function<bool(TDialerForm&)> when_;
  std::function<void(TDialerForm&)> act_;
  std::chrono::steady_clock::time_point end_;
  bool acted_ = false;
  QTimer timer_;
};

bool Shows(TDialerForm& form, const std::string& line) {
  auto lines = form.Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct DialogOnLine : ModemLine {
  DialogOnLine() {
    modem.SetComPort(&port);
    modem.SetDelayFactor(1);
    dialog.SetModem(&modem);
    dialog.SetPhoneNumber("5550100");
    dialog.SetDialerOptions(DialerOptionBit(mdAbortOnNoDialtone) | DialerOptionBit(mdAbortOnError));
  }
  TLkModem modem{nullptr};
  TLkDialerDialog dialog{nullptr};
};

TEST(DialProgress, ShowsTheAttemptTheResultAndTheWaitUntilAborted) {
  DialogOnLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Busy));
  line.dialog.SetRetrySecs(3);
  Lines shown;
  FormWatch watch([](TDialerForm& f) { return Shows(f, "2 Waiting . . ."); },
                  [&](TDialerForm& f) {
                    shown = f.Lines();
                    EXPECT_EQ(f.windowTitle(), "Dial Progress");
                    EXPECT_TRUE(testing_support::Shoot(&f, "dial_progress.png"));
                    f.AbortBtn->click();
                  });
  EXPECT_FALSE(line.dialog.Execute());
  ASSERT_EQ(shown.size(), 13u);
  EXPECT_EQ(Lines(shown.begin(), shown.begin() + 4),
            (Lines{"60 Dialing . . .", "Connection Result: Remote is busy", "2 Waiting . . .", ""}));
  EXPECT_TRUE(watch.Seen.contains("3 Waiting . . ."));
  Pass(4s);  // the aborted wait dials no more
  EXPECT_EQ(line.sim.Dialled().size(), 1u);
}

TEST(DialProgress, AConnectionClosesTheWindowAndExecuteSaysSo) {
  DialogOnLine line;
  FormWatch watch;
  EXPECT_TRUE(line.dialog.Execute());
  EXPECT_TRUE(watch.Opened);
  for (const char* text : {"60 Dialing . . .", "Modem connected!", "Connected at 9600 baud"})
    EXPECT_TRUE(watch.Seen.contains(text)) << text;
  EXPECT_TRUE(line.sim.Online());
}

TEST(DialProgress, ABusyLineIsRedialledThenTheWindowGivesUp) {
  DialogOnLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::Busy));
  line.dialog.SetMaxDialTries(3);
  line.dialog.SetRetrySecs(1);
  FormWatch watch;
  EXPECT_FALSE(line.dialog.Execute());
  EXPECT_EQ(line.sim.Dialled().size(), 3u);
  for (const char* text : {"1 Waiting . . .", "Wait complete, redialing . . .", "Connection Result: Remote is busy"})
    EXPECT_TRUE(watch.Seen.contains(text)) << text;
}

TEST(DialProgress, NoDialToneClosesTheWindowAtOnceWithoutAResultLine) {
  DialogOnLine line;
  line.sim.SetDefaultDial(Result(SimDialOutcome::NoDialTone));
  FormWatch watch;
  EXPECT_FALSE(line.dialog.Execute());
  EXPECT_TRUE(watch.Opened);
  EXPECT_FALSE(watch.Seen.contains("Connection Result: No dialtone, check connections"));
  EXPECT_EQ(line.sim.Dialled().size(), 1u);
}

TEST(DialProgress, ADialThatCannotStartIsShownAndEndsTheWindowWithThePortsTimerHandlerBack) {
  DialogOnLine line;
  TLkModemDialer dialer(nullptr);
  dialer.SetModem(&line.modem);
  dialer.SetPhoneNumber("5550100");
  dialer.Dial();  // the window's own start then finds it dialling already
  const auto handlerBefore = line.port.OnTriggerTimer().target_type().name();
  testing_support::TestUi().Clear();
  FormWatch watch;
  TDialerForm form;
  EXPECT_EQ(form.DoDial(dialer), TDialerForm::mrAbort);
  EXPECT_EQ(testing_support::TestUi().Messages(), std::vector<std::string>{serial::LkLoadStr(ecAlreadyDialing)});
  EXPECT_STREQ(line.port.OnTriggerTimer().target_type().name(), handlerBefore);
  dialer.Abort();
}

TEST(DialProgress, ExecuteNeedsAModemWithAPort) {
  TLkDialerDialog dialog(nullptr);
  EXPECT_THROW(dialog.Execute(), serial::EModemNotAssigned);
  TLkModem modem(nullptr);
  dialog.SetModem(&modem);
  EXPECT_THROW(dialog.Execute(), serial::EPortNotAssigned);
}

TEST(DialProgress, StatusLinesScrollOnceAllThirteenAreUsed) {
  TDialerForm form;
  EXPECT_EQ(form.Label(13)->text(), "Place holder");
  for (QLabel* label : form.findChildren<QLabel*>()) label->clear();
  for (int i = 1; i <= 15; ++i) form.AddLine("line " + std::to_string(i));
  form.RewriteLine("last");
  Lines expected;
  for (int i = 3; i <= 14; ++i) expected.push_back("line " + std::to_string(i));
  expected.push_back("last");
  EXPECT_EQ(form.Lines(), expected);
}

}  // namespace
}  // namespace telephony_test
