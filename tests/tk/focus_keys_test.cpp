// Keys, focus and mouse capture on a shown form, driven through its window as the platform delivers them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <string>
#include <vector>

#include "tk/control.h"
#include "tk/custom_label.h"
#include "tk/virtual_keys.h"

namespace tk {
namespace {

class Box : public CustomControl {
 public:
  using CustomControl::CustomControl;
  std::vector<int> Keys;             // Qt keys that reached the control
  std::vector<std::string> Focus;    // "in A" / "out B": the other window named by each focus message
  std::vector<QPoint> Moves;         // mouse moves, in the control's coordinates
  int CancelModes = 0;
  std::uint16_t SpecialKey = 0;      // a key it claims from the shortcuts (CM_WANTSPECIALKEY)

  void Dispatch(Message& m) override {
    if (m.Msg == WM_SETFOCUS || m.Msg == WM_KILLFOCUS) {
      QWidget* other = FindControl(m.WParam);
      Focus.push_back((m.Msg == WM_SETFOCUS ? "in " : "out ") + (other ? other->objectName().toStdString() : "-"));
    }
    if (m.Msg == WM_CANCELMODE) ++CancelModes;
    if (m.Msg == CM_WANTSPECIALKEY && m.WParam == SpecialKey) {
      m.Result = 1;
      return;
    }
    CustomControl::Dispatch(m);
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override { Keys.push_back(e->key()); }
  void MouseMove(ShiftState, int x, int y) override { Moves.emplace_back(x, y); }
};

class FocusKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 400, 120);
    for (Box*& box : {std::ref(a), std::ref(b), std::ref(c)}) box = new Box(&form);
    a->setObjectName("A");
    b->setObjectName("B");
    c->setObjectName("C");
    a->SetBounds(10, 40, 80, 30);
    b->SetBounds(110, 40, 80, 30);
    c->SetBounds(210, 40, 80, 30);
    form.Show();
    form.activateWindow();
    QApplication::processEvents();
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(form.windowHandle(), &press);
  }
  void MoveMouse(QPoint formPos) {
    QMouseEvent move(QEvent::MouseMove, formPos, form.mapToGlobal(formPos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(form.windowHandle(), &move);
  }
  QWidget* Focused() { return QApplication::focusWidget(); }

  Form form;
  Box* a = nullptr;
  Box* b = nullptr;
  Box* c = nullptr;
};

TEST_F(FocusKeys, TabAndTheArrowsMoveTheFocusUnlessTheControlWantsThem) {
  struct Case {
    const char* Name;
    Box* From;
    int Codes;  // the focused control's dialog codes
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    Box* To;    // where the focus ends
    bool Kept;  // the key reached the control
  };
  const int plain = DLGC_WANTARROWS | DLGC_WANTCHARS;
  for (const Case& k : {
           Case{"tab", a, plain, Qt::Key_Tab, Qt::NoModifier, b, false},
           Case{"shift+tab", a, plain, Qt::Key_Backtab, Qt::ShiftModifier, c, false},
           Case{"wanted tab", a, plain | DLGC_WANTTAB, Qt::Key_Tab, Qt::NoModifier, a, true},
           Case{"all keys", a, DLGC_WANTALLKEYS, Qt::Key_Tab, Qt::NoModifier, a, true},
           Case{"wanted right", b, plain, Qt::Key_Right, Qt::NoModifier, b, true},
           Case{"refused right", b, DLGC_WANTCHARS, Qt::Key_Right, Qt::NoModifier, c, false},
           Case{"refused down", b, 0, Qt::Key_Down, Qt::NoModifier, c, false},
           Case{"refused up", b, 0, Qt::Key_Up, Qt::NoModifier, a, false},
           Case{"refused left wraps", a, 0, Qt::Key_Left, Qt::NoModifier, c, false},
       }) {
    SCOPED_TRACE(k.Name);
    k.From->SetDialogCodes(k.Codes);
    k.From->setFocus();
    k.From->Keys.clear();
    Press(k.Key, k.Modifiers);
    EXPECT_EQ(Focused(), k.To);
    EXPECT_EQ(!k.From->Keys.empty(), k.Kept);
    k.From->SetDialogCodes(plain);
  }
}

TEST_F(FocusKeys, AWindowedControlLeavesTheArrowsToItsFormUnlessItAsks) {
  Box* d = new Box(&form);
  d->setFocus();
  Press(Qt::Key_Down);
  EXPECT_EQ(Focused(), a) << "the form moved the focus on, past the last control to the first";
  EXPECT_TRUE(d->Keys.empty());
}

TEST_F(FocusKeys, TabSkipsWhatIsNoTabStopOrCannotFocusAndFollowsTheTabOrder) {
  b->SetTabStop(false);
  a->setFocus();
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), c) << "not a tab stop";
  EXPECT_EQ(form.ActiveControl(), c);
  b->SetTabStop(true);
  c->setEnabled(false);
  a->setFocus();
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focused(), b) << "backwards, past the disabled one";
  c->setEnabled(true);

  c->SetTabOrder(0);
  EXPECT_EQ(c->TabOrder(), 0);
  EXPECT_EQ(a->TabOrder(), 1);
  EXPECT_EQ(b->TabOrder(), 2);
  EXPECT_EQ(form.FindNextControl(nullptr, true, true, false), c);
  b->hide();
  EXPECT_FALSE(b->CanFocus());
  EXPECT_EQ(form.FindNextControl(a, true, true, false), c) << "the hidden one is skipped, the order wraps";
  form.SetActiveControl(a);
  EXPECT_EQ(Focused(), a);
  EXPECT_THROW(form.SetActiveControl(b), EInvalidOperation);
}

TEST_F(FocusKeys, FocusMessagesNameTheOtherWindow) {
  a->setFocus();
  a->Focus.clear();
  b->setFocus();
  c->setFocus();
  EXPECT_EQ(a->Focus, (std::vector<std::string>{"out B"}));
  EXPECT_EQ(b->Focus, (std::vector<std::string>{"in A", "out C"}));
  EXPECT_EQ(c->Focus, (std::vector<std::string>{"in B"}));
}

TEST_F(FocusKeys, AcceleratorsReachTheFormsLabels) {
  auto* label = new CustomLabel(&form);
  label->SetCaption("&Name");
  label->SetFocusControl(c);
  a->setFocus();
  Press(Qt::Key_N, Qt::AltModifier, "n");
  EXPECT_EQ(Focused(), c) << "Alt and the accelerator";
  a->setFocus();
  a->SetDialogCodes(DLGC_WANTCHARS);
  Press(Qt::Key_N, Qt::NoModifier, "n");
  EXPECT_EQ(Focused(), a) << "a control that wants characters keeps them";
  EXPECT_EQ(a->Keys, (std::vector<int>{Qt::Key_N}));
  a->SetDialogCodes(DLGC_WANTARROWS);
  Press(Qt::Key_N, Qt::NoModifier, "n");
  EXPECT_EQ(Focused(), c) << "one that refuses them lets the character be an accelerator";
  a->setFocus();
  Press(Qt::Key_M, Qt::AltModifier, "m");
  EXPECT_EQ(Focused(), a) << "no such accelerator";
}

TEST_F(FocusKeys, AControlKeepsTheShortcutsItWants) {
  a->setFocus();
  a->SetDialogCodes(DLGC_WANTCHARS);
  a->SpecialKey = 'C';
  auto overridden = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent e(QEvent::ShortcutOverride, key, modifiers, text);
    e.ignore();
    QApplication::sendEvent(a, &e);
    return e.isAccepted();
  };
  EXPECT_TRUE(overridden(Qt::Key_C, Qt::ControlModifier, {}));
  EXPECT_FALSE(overridden(Qt::Key_V, Qt::ControlModifier, {}));
  EXPECT_TRUE(overridden(Qt::Key_X, Qt::NoModifier, "x")) << "a character, to a control that wants them";
  a->SetDialogCodes(0);
  EXPECT_FALSE(overridden(Qt::Key_X, Qt::NoModifier, "x"));
}

TEST_F(FocusKeys, TheCapturingControlGetsTheMouseOutsideItselfUntilAnotherTakesIt) {
  a->SetMouseCapture(true);
  ASSERT_TRUE(a->MouseCapture());
  MoveMouse(QPoint(250, 50));  // over C
  EXPECT_EQ(a->Moves, (std::vector<QPoint>{QPoint(240, 10)}));
  EXPECT_TRUE(c->Moves.empty());

  b->SetMouseCapture(true);  // another takes it: the first one's mode is cancelled
  EXPECT_EQ(a->CancelModes, 1);
  EXPECT_FALSE(a->MouseCapture());
  EXPECT_TRUE(b->MouseCapture());

  b->SetMouseCapture(false);  // letting go is no cancelling
  EXPECT_EQ(b->CancelModes, 0);
  EXPECT_EQ(CaptureControl(), nullptr);
  a->Moves.clear();
  MoveMouse(QPoint(250, 50));
  EXPECT_TRUE(a->Moves.empty());
  EXPECT_EQ(c->Moves.size(), 1u);
}

}  // namespace
}  // namespace tk
