#pragma once
// The one mapping of Qt's key codes to the platform's virtual-key codes (tk/virtual_keys.h), which key
// tables and key events carry.
#include <Qt>
#include <cstdint>

namespace tk {

// 0 for a key the platform has no code for. Keys of the numeric keypad (`modifiers` holds
// Qt::KeypadModifier) map to the keypad's own codes.
std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

}  // namespace tk
