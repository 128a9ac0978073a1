#include "tk/control.h"

#include <gtest/gtest.h>

#include <QApplication>

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

}  // namespace
}  // namespace tk
