#pragma once
// Small things the library's dialog windows share.
class QLineEdit;
class QWidget;

namespace telephony {

// Keeps a line edit's text 8-bit: a character outside Latin-1 that the user types is refused with a beep
// and the text goes back to what it was.
void GuardLatin1(QLineEdit* edit);

// Fixes the window's size and puts it in the middle of the screen, as the library's dialogs stand.
void FixAndCentre(QWidget* window, int width, int height);

}  // namespace telephony
