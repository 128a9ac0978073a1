#include "gui/alt_keys.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
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

// Alt held on from the menu's mnemonic to its item's: Alt+F opens File, then X, Alt still down, runs "E&xit".
TEST(AltKeys, AnOpenMenuFindsItsItemWithAltHeld) {
  QMainWindow window;
  int ran = 0;
  QMenu* file = window.menuBar()->addMenu("&File");
  file->addAction("E&xit", [&] { ++ran; });
  window.show();
  testing_support::MnemonicInWindow(&window, Qt::Key_F);
  ASSERT_TRUE(testing_support::ProcessUntil([&] { return file->isVisible(); }));
  testing_support::MnemonicInWindow(&window, Qt::Key_X);
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(file->isVisible());
}

}  // namespace
}  // namespace gui
