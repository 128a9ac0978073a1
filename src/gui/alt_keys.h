#pragma once
// A key typed with Alt held is a command (a mnemonic, a menu's shortcut), never text: in an edit field or a
// cell editor it types nothing, and in a grid it opens no editor with its character. The shortcuts take
// such a key before any widget and keep working; an open menu still finds its items by the character. AltGr
// is no Alt on this platform: what it types lands.
class QCoreApplication;

namespace gui {

// For every widget of the application, from now on; installing again changes nothing.
void InstallAltKeysTypeNothing(QCoreApplication& application);

}  // namespace gui
