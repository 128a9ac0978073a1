#include "gui/alt_keys.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWindow>

#include "support/user_input.h"

namespace gui {
namespace {

// In an edit field, a key typed with Alt held types nothing, letter or digit; what AltGr types lands.
TEST(AltKeys, TypeNothingInAnEditFieldWhileAltGrCharactersLand) {
  QWidget window;
  auto* edit = new QLineEdit(&window);
  window.show();
  edit->setFocus();
  testing_support::TypeInWindow(&window, "ab");
  for (Qt::Key key : {Qt::Key_F, Qt::Key_5}) testing_support::MnemonicInWindow(&window, key);
  EXPECT_EQ(edit->text().toStdString(), "ab");
  QKeyEvent altGr(QEvent::KeyPress, Qt::Key_At, Qt::GroupSwitchModifier, "@");
  QApplication::sendEvent(window.windowHandle(), &altGr);
  EXPECT_EQ(edit->text().toStdString(), "ab@");
}

}  // namespace
}  // namespace gui
