// The set/clear relay window as a user drives it: what its Send asks of the engine.
#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "maintenance_forms_fixture.h"

namespace maintenance_test {
namespace {

// Module 0 is never sent: it is refused and told, as a number that does not fit is.
TEST_F(MaintenanceFormsTest, TheRelayWindowSendsTheTypedPointAndRefusesModule0) {
  const struct {
    const char *Module, *Point;
    int Radio;
    std::uint8_t Request, AtPoint, On;
    const char* Told = "";
  } cases[] = {
      {"5", "3", 1, 5, 3, 1},
      {"0", "2", 1, 0, 0, 0, "Module Number must be a whole number from 1 to 255"},
      {" 6a", "4b", 0, 0, 0, 0, "Module Number must be a whole number from 1 to 255"},
  };
  relay->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Module);
    testing_support::TestUi().Clear();
    Engine().RelayRequest = Engine().RelayPoint = Engine().RelayOn = 0;
    relay->Edit1->setText(c.Module);
    relay->Edit2->setText(c.Point);
    relay->RadioGroup1Buttons->button(c.Radio)->setChecked(true);
    Click(relay->BitBtn1);
    EXPECT_EQ(Engine().RelayRequest, c.Request);
    EXPECT_EQ(Engine().RelayPoint, c.AtPoint);
    EXPECT_EQ(Engine().RelayOn, c.On);
    EXPECT_EQ(testing_support::TestUi().Messages(),
              *c.Told ? std::vector<std::string>{c.Told} : std::vector<std::string>{});
  }
  EXPECT_TRUE(relay->isVisible()) << "sending leaves the window open";
  EXPECT_TRUE(Shoot(relay.get(), "zelta_set_clear_relay.png"));
  Click(relay->CloseButton);
  EXPECT_FALSE(relay->isVisible());
}

}  // namespace
}  // namespace maintenance_test
