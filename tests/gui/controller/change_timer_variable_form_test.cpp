// The change timer/variable window as a user drives it: its arrows, and the numbers and values it refuses.
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <cstdlib>

#include "maintenance_forms_fixture.h"

namespace maintenance_test {
namespace {

TEST_F(MaintenanceFormsTest, TheArrowsStepWithinTheirLimitsButTypedTextIsFree) {
  const struct {
    QLineEdit* TForm32::*Edit;
    QToolButton* TForm32::*Arrow;
    const char* Typed;
    const char* After;
  } cases[] = {
      {&TForm32::Edit1, &TForm32::UpDown1Up, "62", "63"},       {&TForm32::Edit1, &TForm32::UpDown1Up, "63", "63"},
      {&TForm32::Edit1, &TForm32::UpDown1Up, "199", "63"},      {&TForm32::Edit1, &TForm32::UpDown1Down, "0", "0"},
      {&TForm32::Edit2, &TForm32::UpDown2Up, "31999", "32000"}, {&TForm32::Edit2, &TForm32::UpDown2Down, "x", "0"},
  };
  change->show();
  for (const auto& c : cases) {
    (change.get()->*c.Edit)->setText(c.Typed);
    Click(change.get()->*c.Arrow);
    EXPECT_EQ((change.get()->*c.Edit)->text().toStdString(), c.After) << c.Typed;
  }
  change->Edit2->setText("40000");
  change->Edit1->setText("3");
  Click(change->BitBtn1);
  EXPECT_EQ(Engine().ChangeDataValue, 40000);
}

// Typed numbers are read by their leading digits; one the controller's tables cannot hold would overwrite
// some other timer or variable, so it is refused with a message and the window stays open.
TEST_F(MaintenanceFormsTest, ANumberOrValueTheTablesCannotHoldIsRefused) {
  const struct {
    int Column;
    const char* Number;
    const char* Value;
    const char* Message;  // "": posted
  } cases[] = {
      {2, "300", "1", "Variable# must be a whole number from 0 to 255"},
      {2, "-5", "1", "Variable# must be a whole number from 0 to 255"},
      {2, "-1", "1", "Variable# must be a whole number from 0 to 255"},
      {1, "64", "1", "Timer# must be a whole number from 0 to 63"},
      {1, "abc", "1", "Timer# must be a whole number from 0 to 63"},
      {2, "44", "65536", "Data must be a whole number from 0 to 65535"},
      {1, "3", "-1", "Data must be a whole number from 0 to 65535"},
      {2, "255", "65535", ""},
      {1, "63 ", "12abc", "Data must be a whole number from 0 to 65535"},
  };
  timerVars->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Number) + " / " + c.Value);
    ClickCell(timerVars->TVGrid, c.Column, 1);
    change->Edit1->setText(c.Number);
    change->Edit2->setText(c.Value);
    Engine().ChangeDataRequest = controller::NoChangeData;
    testing_support::TestUi().Clear();
    Click(change->BitBtn1);
    const bool posted = *c.Message == '\0';
    EXPECT_EQ(change->isVisible(), !posted);
    EXPECT_EQ(testing_support::TestUi().Messages(),
              posted ? std::vector<std::string>{} : std::vector<std::string>{c.Message});
    EXPECT_EQ(Engine().ChangeDataRequest, posted ? std::atoi(c.Number) : controller::NoChangeData);
    if (posted) {
      EXPECT_EQ(Engine().ChangeDataValue, std::atoi(c.Value));
    }
  }
}

}  // namespace
}  // namespace maintenance_test
