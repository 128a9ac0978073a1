#include "telephony/tapi_status.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "support/user_input.h"
#include "tapi_fixture.h"
#include "telephony/tapi_status_lines.h"

namespace telephony::test {
namespace {

using namespace platform;
using testing_support::SimCallOutcome;

std::vector<std::string> Shown(const TapiStatusLines& lines) {
  std::vector<std::string> shown;
  for (int i = 0; i < lines.Count(); ++i) shown.push_back(lines.Line(i));
  return shown;
}

TEST(TapiStatusLines, ARepeatingStatusRewritesItsLineAndTheOldestLinesScrollOut) {
  TapiStatusLines lines;
  lines.Update("Called number is busy", false);
  for (int second = 59; second >= 1; --second) lines.Update("Waiting " + std::to_string(second), true);
  EXPECT_EQ(Shown(lines), (std::vector<std::string>{"Called number is busy", "Waiting 1"}));
  lines.Update("Dialing...", false);
  lines.Update("Proceeding...", true);  // the previous one did not repeat: a line of its own
  EXPECT_EQ(lines.Count(), 4);

  lines.Clear();
  EXPECT_EQ(lines.Count(), 0);
  EXPECT_FALSE(lines.Repeating());
  for (int i = 1; i <= 11; ++i) lines.Update("line " + std::to_string(i), false);
  EXPECT_EQ(lines.Count(), TapiStatusLines::kMaxLines);
  EXPECT_EQ(lines.Line(0), "line 3");
  EXPECT_EQ(lines.Line(8), "line 11");
}

class StatusWindow : public TapiTest {
 protected:
  StatusWindow() {
    status = new TLkTapiStatus(owner.get());
    MakeDevice();
  }
  TLkStandardTapiDisplay& Form() { return *status->Form(); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> texts;
    for (QLabel* label : status->Form()->dpStat)
      if (!label->text().isEmpty()) texts.push_back(label->text().toStdString());
    return texts;
  }
  TLkTapiStatus* status = nullptr;
};

TEST_F(StatusWindow, FollowsADialAndItsRetryWaitAndCancelsFromItsButton) {
  EXPECT_EQ(status->Caption(), "Call Progress");
  EXPECT_EQ(Form().windowTitle(), "Call Progress");
  EXPECT_FALSE(status->Visible());
  EXPECT_EQ(Form().size(), QSize(427, 305));

  sim.Outcomes = {SimCallOutcome::Busy};
  device->SetMaxAttempts(2);
  device->SetRetryWait(3);
  device->Timings.RetryTickMs = 60000;  // the test ticks
  device->Dial("5551234");
  ASSERT_TRUE(ProcessUntil([&] { return device->RetryTimerActive(); }));
  device->RetryTimerTick();
  device->RetryTimerTick();
  EXPECT_TRUE(Form().isVisible());
  EXPECT_EQ(Form().dpLabel1->text(), "Dialing:");
  EXPECT_EQ(Form().dpDialing->text(), "5551234");
  EXPECT_EQ(Form().dpUsing->text(), "Zelta Modem B");
  EXPECT_EQ(Form().dpAttempt->text(), "1");
  EXPECT_EQ(Form().dpTotalAttempts->text(), "2");
  // The hang-up after the busy tone waits for the idle line, which is reported too.
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Dialing...", "Proceeding...", "Called number is busy", "Line is idle",
                                               "Waiting for retry in 1 seconds"}));
  EXPECT_TRUE(testing_support::Shoot(&Form(), "zelta_call_progress.png"));

  testing_support::Click(Form().dpCancel);
  EXPECT_FALSE(Form().isVisible());
  EXPECT_FALSE(status->Visible());
  EXPECT_EQ(events.Count("fail"), 1);
  EXPECT_FALSE(device->RetryTimerActive());
  EXPECT_EQ(sim.Count("lineMakeCall"), 1);
}

TEST_F(StatusWindow, AnsweringShowsTheCaller) {
  device->AutoAnswer();
  EXPECT_TRUE(status->Answering);
  sim.Offer(LINEMEDIAMODE_DATAMODEM, 1, LINECALLPARTYID_ADDRESS, "5557777");
  ASSERT_TRUE(ProcessUntil([&] {
    const auto lines = Lines();
    return std::find(lines.begin(), lines.end(), "Ringing") != lines.end();
  }));
  EXPECT_EQ(Form().dpLabel1->text(), "Answering -");
  EXPECT_EQ(Form().dpDialing->text(), "Caller ID: 5557777");
  EXPECT_EQ(Form().dpAttempt->text(), "1");
  EXPECT_EQ(Form().dpTotalAttempts->text(), "1");
}

TEST_F(StatusWindow, ConfigurationModeShowsNoWindow) {
  bool statusSeen = false;
  device->OnTapiStatus = [&](auto...) { statusSeen = true; };
  device->ConfigAndOpen();
  ASSERT_TRUE(ProcessUntil([&] { return events.Count("connect") == 1; }));
  EXPECT_EQ(sim.LastCallParams.dwBearerMode, LINEBEARERMODE_PASSTHROUGH);
  EXPECT_FALSE(Form().isVisible());
  EXPECT_FALSE(statusSeen);
  EXPECT_TRUE(port->Open());
}

TEST_F(StatusWindow, SettingsReachTheWindow) {
  status->SetCaption("Dialling the controller");
  EXPECT_EQ(Form().windowTitle(), "Dialling the controller");
  status->SetVisible(true);
  EXPECT_TRUE(Form().isVisible());
  status->SetVisible(false);
  EXPECT_FALSE(Form().isVisible());
  status->SetPosition(poDesigned);
  EXPECT_EQ(Form().Position, poDesigned);
}

}  // namespace
}  // namespace telephony::test
