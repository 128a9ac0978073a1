#pragma once
// The window tests' user: mouse clicks and keystrokes sent as the windowing system sends them, and
// screenshots of what the user sees.
#include <QEvent>
#include <QPoint>
#include <QString>
#include <Qt>
#include <functional>

class QAbstractItemView;
class QImage;
class QLineEdit;
class QModelIndex;
class QWidget;

namespace testing_support {

// One mouse event at `at` (widget coordinates); `button` is the one pressed, released or held while moving.
void Mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton);

// A left press and release at `at`, then the events they cause.
void ClickAt(QWidget* widget, QPoint at);

// A left click where a user clicks: on a check box's or radio button's indicator, in the middle of anything
// else (push and tool buttons included).
void Click(QWidget* widget);

// A click in the middle of a cell, scrolled into view first.
void ClickCell(QAbstractItemView* view, const QModelIndex& index);

// A left click at `at` in `widget` as the windowing system delivers it: to the widget's window, which hands it
// to whatever is shown under the pointer there (an editor open over a cell takes it), then the events it causes.
// A window that a modal one blocks gets none of these, nor the keys below.
void ClickInWindow(QWidget* widget, QPoint at);
// The same for a double click, as Qt delivers it: press, release, press, double click, release.
void DoubleClickInWindow(QWidget* widget, QPoint at);

// Each character pressed and released on `widget` as the keyboard sends it; nothing is focused or selected.
void Type(QWidget* widget, const QString& text);

// What a user does to overwrite a field: focus it, select all, type.
void Replace(QLineEdit* edit, const QString& text);

// Keys on the view's current cell: each goes to the cell's open editor, or to the view while none is open
// (where the first one opens it).
void TypeInCell(QAbstractItemView* view, const QString& text);

// A key without text (Return, Escape, F2...) pressed and released, then the events it causes.
void Key(QWidget* widget, Qt::Key key);

// Keys as the keyboard delivers them: to `window`, which hands each to the widget that has the focus when it
// is typed; then the events they cause.
void TypeInWindow(QWidget* window, const QString& text);
void KeyInWindow(QWidget* window, Qt::Key key);

// Alt+`key` as the keyboard delivers it, with the key's character: the window's shortcuts take it first, so a
// button's mnemonic clicks the button (after the short press it shows) and the focus stays where it was; a
// key no shortcut takes goes to the focus widget, or to the menu open. Returns once no button is held down any
// more.
void MnemonicInWindow(QWidget* window, Qt::Key key);

// Runs the event loop until `done` holds or five seconds have passed; whether it holds.
bool ProcessUntil(const std::function<bool()>& done);

// Shows the window if it is not yet shown, lets it lay itself out and grabs what it shows; with
// ZELTA_SCREENSHOTS set, saves it there under the file name of `file`, for a look by eye. False when
// nothing could be grabbed or the file cannot be written.
bool Shoot(QWidget* window, const QString& file);
// A picture the test made itself, saved the same way; true when ZELTA_SCREENSHOTS is not set.
bool SaveShot(const QImage& picture, const QString& file);

}  // namespace testing_support
