#include "tk/control.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "support/scripted_ui.h"

namespace tk {
namespace {

class WindowedThing : public CustomControl {
 public:
  using CustomControl::CustomControl;
  int Made = 0;

 protected:
  void CreateWnd() override { ++Made; }
};

TEST(CustomControl, AControlMadeOnAShowingFormGetsItsWindowOnceItIsWhole) {
  Form form;
  form.show();
  auto* control = new WindowedThing(&form);
  EXPECT_TRUE(control->Visible());
  EXPECT_EQ(control->Made, 0) << "not from inside its own construction";
  QApplication::processEvents();
  EXPECT_EQ(control->Made, 1);
  EXPECT_TRUE(control->HandleAllocated());
}

class FailingThing : public CustomControl {
 public:
  using CustomControl::CustomControl;

 protected:
  void CreateWnd() override { throw EInvalidOperation("no window for you"); }
};

TEST(CustomControl, AnExceptionMakingTheWindowComesFromTheShowThatAskedForIt) {
  Form form;
  auto* control = new FailingThing(&form);
  try {
    form.Show();
    ADD_FAILURE() << "the show went through";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "no window for you");
  }
  EXPECT_FALSE(control->HandleAllocated());
  EXPECT_THROW(control->HandleNeeded(), EInvalidOperation);
  // A show nobody made through the toolkit hands it to the application's handler instead.
  form.hide();
  form.show();
  ASSERT_EQ(testing_support::TestUi().Messages().size(), 1u);
  EXPECT_EQ(testing_support::TestUi().Messages()[0], "no window for you");
}

}  // namespace
}  // namespace tk
