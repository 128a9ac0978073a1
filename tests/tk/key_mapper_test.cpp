#include "tk/key_mapper.h"

#include <gtest/gtest.h>

#include "tk/virtual_keys.h"

namespace tk {
namespace {

TEST(KeyMapper, QtKeysBecomeThePlatformsVirtualKeys) {
  struct Case {
    int Key;
    Qt::KeyboardModifiers Modifiers;
    std::uint16_t Expected;
  };
  const Qt::KeyboardModifiers none = Qt::NoModifier, keypad = Qt::KeypadModifier, shift = Qt::ShiftModifier;
  const Case cases[] = {
      {Qt::Key_A, none, 'A'},
      {Qt::Key_Z, Qt::ControlModifier, 'Z'},
      {Qt::Key_7, none, '7'},
      {Qt::Key_7, keypad, VK_NUMPAD0 + 7},
      {Qt::Key_F1, none, VK_F1},
      {Qt::Key_F12, none, VK_F1 + 11},
      {Qt::Key_Left, none, VK_LEFT},
      {Qt::Key_Home, keypad, VK_HOME},  // keypad with Num Lock off
      {Qt::Key_Enter, keypad, VK_RETURN},
      {Qt::Key_Backtab, shift, VK_TAB},
      {Qt::Key_Plus, keypad, VK_ADD},
      {Qt::Key_Plus, shift, 0xBB},
      {Qt::Key_Comma, keypad, VK_DECIMAL},
      {Qt::Key_Alt, none, VK_MENU},
      // Qt names the shifted symbol; the platform names the key it is on (US layout).
      {Qt::Key_Exclam, shift, '1'},
      {Qt::Key_ParenRight, shift, '0'},
      {Qt::Key_Asterisk, shift, '8'},
      {Qt::Key_Underscore, shift, 0xBD},
      {Qt::Key_Colon, shift, 0xBA},
      {Qt::Key_Question, shift, 0xBF},
      {Qt::Key_BraceLeft, shift, 0xDB},
      {Qt::Key_AsciiTilde, shift, 0xC0},
      {Qt::Key_QuoteDbl, shift, 0xDE},
      {Qt::Key_Less, shift, 0xBC},
      {Qt::Key_Bar, shift, 0xDC},
      {Qt::Key_Eacute, none, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromQt(c.Key, c.Modifiers), c.Expected) << std::hex << c.Key;
}

}  // namespace
}  // namespace tk
