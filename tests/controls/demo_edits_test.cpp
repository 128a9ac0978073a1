// The windowed controls together on one small form, driven by real events: an edit with its label, a list
// box and a meter.
#include <gtest/gtest.h>

#include <QApplication>

#include "controls/controller.h"
#include "controls/custom_edit.h"
#include "controls/meter.h"
#include "controls/virtual_list_box.h"
#include "support/user_input.h"
#include "tk/color.h"

namespace {

using namespace controls;

TEST(DemoForm, AnEditAListBoxAndAMeterTakeKeysAndPaint) {
  tk::Form form;
  form.resize(300, 200);
  new TVxController(&form);
  auto* edit = new TVxEdit(&form);
  edit->SetName("Room");
  edit->SetBounds(10, 30, 150, 24);
  auto* list = new TVxVirtualListBox(&form);
  list->SetBounds(10, 70, 150, 90);
  list->SetNumItems(20);
  list->OnGetItem = [](tk::Component*, std::int32_t index, std::string& s) { s = "Line " + std::to_string(index); };
  auto* meter = new TVxMeter(&form);
  meter->SetBounds(170, 70, 120, 24);
  meter->SetPercent(60);
  form.show();
  QApplication::processEvents();
  edit->LabelInfo().SetVisible(true);
  QApplication::processEvents();

  testing_support::Click(edit);
  testing_support::Type(edit, "Kitchen");
  testing_support::Click(list);
  QApplication::processEvents();
  EXPECT_EQ(edit->Text(), "Kitchen");
  EXPECT_TRUE(list->hasFocus());
  EXPECT_GE(list->ItemIndex(), 0);

  QImage shot = form.grab().toImage();
  EXPECT_TRUE(testing_support::SaveShot(shot, "zelta_controls_demo_edits.png"));
  // The chosen row shows in the highlight colour.
  const QColor highlight = tk::ToQColor(tk::clHighlight);
  int highlighted = 0;
  for (int y = list->y(); y < list->y() + list->height(); ++y)
    if (shot.pixelColor(list->x() + list->width() / 2, y) == highlight) ++highlighted;
  EXPECT_GT(highlighted, 5);
}

}  // namespace
