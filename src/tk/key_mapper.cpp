#include "tk/key_mapper.h"

#include <utility>

#include "tk/virtual_keys.h"

namespace tk {

std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers & Qt::KeypadModifier;
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
    return static_cast<std::uint16_t>(keypad ? VK_NUMPAD0 + (qtKey - Qt::Key_0) : qtKey);
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<std::uint16_t>(qtKey);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<std::uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
  if (keypad) {
    static constexpr std::pair<int, std::uint16_t> kKeypad[] = {
        {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},      {Qt::Key_Minus, VK_SUBTRACT},
        {Qt::Key_Period, VK_DECIMAL},    {Qt::Key_Comma, VK_DECIMAL}, {Qt::Key_Slash, VK_DIVIDE}};
    for (const auto& [key, vk] : kKeypad)
      if (key == qtKey) return vk;
  }
  static constexpr std::pair<int, std::uint16_t> kKeys[] = {{Qt::Key_Backspace, VK_BACK},
                                                            {Qt::Key_Tab, VK_TAB},
                                                            {Qt::Key_Backtab, VK_TAB},
                                                            {Qt::Key_Return, VK_RETURN},
                                                            {Qt::Key_Enter, VK_RETURN},
                                                            {Qt::Key_Shift, VK_SHIFT},
                                                            {Qt::Key_Control, VK_CONTROL},
                                                            {Qt::Key_Alt, VK_MENU},
                                                            {Qt::Key_Pause, VK_PAUSE},
                                                            {Qt::Key_CapsLock, VK_CAPITAL},
                                                            {Qt::Key_Escape, VK_ESCAPE},
                                                            {Qt::Key_Space, VK_SPACE},
                                                            {Qt::Key_PageUp, VK_PRIOR},
                                                            {Qt::Key_PageDown, VK_NEXT},
                                                            {Qt::Key_End, VK_END},
                                                            {Qt::Key_Home, VK_HOME},
                                                            {Qt::Key_Left, VK_LEFT},
                                                            {Qt::Key_Up, VK_UP},
                                                            {Qt::Key_Right, VK_RIGHT},
                                                            {Qt::Key_Down, VK_DOWN},
                                                            {Qt::Key_Insert, VK_INSERT},
                                                            {Qt::Key_Delete, VK_DELETE},
                                                            {Qt::Key_NumLock, VK_NUMLOCK},
                                                            {Qt::Key_ScrollLock, VK_SCROLL},
                                                            // The punctuation keys of a US keyboard.
                                                            {Qt::Key_Semicolon, 0xBA},
                                                            {Qt::Key_Plus, 0xBB},
                                                            {Qt::Key_Equal, 0xBB},
                                                            {Qt::Key_Comma, 0xBC},
                                                            {Qt::Key_Minus, 0xBD},
                                                            {Qt::Key_Period, 0xBE},
                                                            {Qt::Key_Slash, 0xBF},
                                                            {Qt::Key_QuoteLeft, 0xC0},
                                                            {Qt::Key_BracketLeft, 0xDB},
                                                            {Qt::Key_Backslash, 0xDC},
                                                            {Qt::Key_BracketRight, 0xDD},
                                                            {Qt::Key_Apostrophe, 0xDE}};
  for (const auto& [key, vk] : kKeys)
    if (key == qtKey) return vk;
  // Qt names the shifted symbol where the platform names the key it is on (a US keyboard): Ctrl+Shift+1
  // arrives as Key_Exclam and must still be the key '1'.
  static constexpr std::pair<int, std::uint16_t> kShifted[] = {
      {Qt::Key_ParenRight, '0'}, {Qt::Key_Exclam, '1'},   {Qt::Key_At, '2'},         {Qt::Key_NumberSign, '3'},
      {Qt::Key_Dollar, '4'},     {Qt::Key_Percent, '5'},  {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'},
      {Qt::Key_Asterisk, '8'},   {Qt::Key_ParenLeft, '9'}, {Qt::Key_Colon, 0xBA},     {Qt::Key_Less, 0xBC},
      {Qt::Key_Underscore, 0xBD}, {Qt::Key_Greater, 0xBE}, {Qt::Key_Question, 0xBF},  {Qt::Key_AsciiTilde, 0xC0},
      {Qt::Key_BraceLeft, 0xDB}, {Qt::Key_Bar, 0xDC},      {Qt::Key_BraceRight, 0xDD}, {Qt::Key_QuoteDbl, 0xDE}};
  for (const auto& [key, vk] : kShifted)
    if (key == qtKey) return vk;
  return 0;
}

}  // namespace tk
