// The Control Wizard's layout: every panel fits the window at the editor's height and no control covers
// another; screenshots of a condition, an action and an X10 line go to /tmp for a look.
#include <QApplication>
#include <QLayout>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <string>
#include <vector>

#include "support/user_input.h"
#include "wizard_test_fixture.h"

namespace wizard_test {
namespace {

using program::Panel;
using program::WizardPanel;
using program::WizardRadioGroup;

// The controls a user sees side by side: the panel's own widgets, the edit row's, the time-of-day pages'
// and the radio buttons; not the inner parts of a drop-down or a date edit.
bool IsControl(const QWidget* w, const WizardPanel* panel) {
  const QWidget* parent = w->parentWidget();
  return parent == panel || parent == panel->EditRow || qobject_cast<const WizardRadioGroup*>(parent) ||
         (panel->Pages && parent && parent->parentWidget() == panel->Pages);
}

// Every visible control lies inside the panel and overlaps no visible sibling.
void ExpectLaidOut(const WizardPanel* panel, const std::string& what) {
  EXPECT_LE(panel->minimumSizeHint().height(), panel->height()) << what << ": squeezed";
  EXPECT_LE(panel->minimumSizeHint().width(), panel->width()) << what << ": squeezed";
  std::vector<const QWidget*> controls;
  for (const QWidget* w : panel->findChildren<QWidget*>())
    if (w->isVisible() && IsControl(w, panel)) controls.push_back(w);
  ASSERT_FALSE(controls.empty()) << what;
  for (const QWidget* w : controls) {
    const QRect inPanel(w->mapTo(panel, QPoint(0, 0)), w->size());
    EXPECT_TRUE(panel->rect().contains(inPanel))
        << what << ": " << w->metaObject()->className() << " " << w->objectName().toStdString() << " outside the panel";
    for (const QWidget* other : controls) {
      if (other != w && other->parentWidget() == w->parentWidget()) {
        EXPECT_FALSE(w->geometry().intersects(other->geometry()))
            << what << ": " << w->metaObject()->className() << " overlaps " << other->metaObject()->className();
      }
    }
  }
}

void Settle(QWidget* window) {
  window->layout()->activate();
  QApplication::processEvents();
}

TEST_F(WizardTest, EveryPanelFitsTheWindowAtTheEditorsHeight) {
  form->setFixedHeight(editor->height());
  form->show();
  for (int id = static_cast<int>(Panel::TestIoPoint); id <= static_cast<int>(Panel::LevGroup); ++id) {
    WizardPanel* panel = form->PanelOf(static_cast<Panel>(id));
    ASSERT_NE(panel, nullptr) << id;
    form->Panels->setCurrentWidget(panel);
    const std::string what = panel->title().toStdString();
    for (int page = 0; page < (panel->Tab ? 2 : 1); ++page) {
      if (panel->Tab) panel->Tab->setCurrentIndex(page);
      Settle(form.get());
      EXPECT_TRUE(form->rect().contains(form->Panels->geometry())) << what;
      EXPECT_TRUE(form->Panels->rect().contains(panel->geometry())) << what;
      ExpectLaidOut(panel, what);
    }
  }
  // The lists and the button above the panels do not overlap either.
  const std::vector<QWidget*> top = {form->Function, form->IfType, form->BitBtn2, form->Panels};
  for (QWidget* a : top) {
    for (QWidget* b : top) {
      if (a != b && a->isVisible() && b->isVisible()) {
        EXPECT_FALSE(a->geometry().intersects(b->geometry())) << a->objectName().toStdString();
      }
    }
  }
}

TEST_F(WizardTest, ScreenshotsOfAConditionAnActionAndAnX10Line) {
  struct Shot {
    int Line;
    ProgramLine Record;
    const char* File;
  };
  const Shot shots[] = {
      {102, ProgramLine{W0(FunctionAnd, 1, 7), 0x8219, 4}, "/tmp/wizard_condition.png"},
      {103, ProgramLine{W0(FunctionIf, 6, 3), 0x80F0, 0}, "/tmp/wizard_time_of_day.png"},
      {333, ProgramLine{W0(FunctionThen, 5, 3), 0x8002, 200}, "/tmp/wizard_action.png"},
      {391, ProgramLine{W0(FunctionThen, 24), 0x8703, 9}, "/tmp/wizard_ascii.png"},
      {403, ProgramLine{W0(FunctionThen, 15), 0x0102, 15}, "/tmp/wizard_x10.png"},
      {400, ProgramLine{W0(FunctionThen, 3), 0x2214, 0}, "/tmp/wizard_transmit_x10.png"},
      {401, ProgramLine{W0(FunctionThen, 13), 0x0002, 4}, "/tmp/wizard_rcs.png"},
  };
  for (const Shot& shot : shots) {
    Store().Lines[shot.Line] = shot.Record;
    Open(shot.Line);
    Settle(form.get());
    ASSERT_NE(P(), nullptr) << shot.File;
    ExpectLaidOut(P(), shot.File);
    const QPixmap picture = form->grab();
    EXPECT_EQ(picture.size(), form->size());
    EXPECT_TRUE(testing_support::SaveShot(picture.toImage(), shot.File)) << shot.File;
  }
}

}  // namespace
}  // namespace wizard_test
