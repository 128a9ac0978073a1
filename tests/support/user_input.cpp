#include "support/user_input.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWindow>
#include <algorithm>
#include <initializer_list>

// What the window system's key delivery asks of the shortcuts before the key goes to a widget (Qt's own
// test library drives it the same way).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep, ushort count);

namespace testing_support {

namespace {

bool Present(const QWidget* widget, const char* what) {
  if (!widget) ADD_FAILURE() << what << ": no widget";
  return widget != nullptr;
}

QPoint WhereAUserClicks(QWidget* widget) {
  QStyle::SubElement indicator;
  if (qobject_cast<QCheckBox*>(widget))
    indicator = QStyle::SE_CheckBoxIndicator;
  else if (qobject_cast<QRadioButton*>(widget))
    indicator = QStyle::SE_RadioButtonIndicator;
  else
    return widget->rect().center();
  QStyleOptionButton option;
  option.initFrom(widget);
  return widget->style()->subElementRect(indicator, &option, widget).center();
}

// The key code a keyboard gives a character: its upper-case letter for ASCII, none it can name otherwise.
int KeyOf(QChar c) {
  return c.unicode() < 0x80 ? static_cast<int>(c.toUpper().unicode()) : static_cast<int>(Qt::Key_unknown);
}

// A press and its release; no release reaches a widget the press destroyed.
void PressAndRelease(QObject* receiver, int key, const QString& text) {
  QPointer<QObject> target(receiver);
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(receiver, &press);
  if (!target) return;
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(receiver, &release);
}

// Left-button events at `at` in `widget`, each sent to the widget's window, which hands it to what is under the
// pointer then; then the events they cause.
void MouseInWindow(QWidget* widget, QPoint at, std::initializer_list<QEvent::Type> types) {
  if (!Present(widget, "MouseInWindow")) return;
  QWidget* window = widget->window();
  const QPoint inWindow = widget->mapTo(window, at);
  const QPoint global = widget->mapToGlobal(at);
  for (QEvent::Type type : types) {
    QMouseEvent event(type, QPointF(inWindow), QPointF(global), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->windowHandle(), &event);
  }
  QApplication::processEvents();
}

}  // namespace

void Mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button) {
  if (!Present(widget, "Mouse")) return;
  // A move changes no button; `button` is the one held while it moves.
  const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : button;
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(button);
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), changed, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void ClickAt(QWidget* widget, QPoint at) {
  if (!Present(widget, "ClickAt")) return;
  Mouse(widget, QEvent::MouseButtonPress, at);
  Mouse(widget, QEvent::MouseButtonRelease, at);
  QApplication::processEvents();
}

void Click(QWidget* widget) {
  if (!Present(widget, "Click")) return;
  ClickAt(widget, WhereAUserClicks(widget));
}

void ClickCell(QAbstractItemView* view, const QModelIndex& index) {
  if (!Present(view, "ClickCell")) return;
  QApplication::processEvents();  // the view's layout decides where the cell is
  view->scrollTo(index);
  ClickAt(view->viewport(), view->visualRect(index).center());
}

void ClickInWindow(QWidget* widget, QPoint at) {
  MouseInWindow(widget, at, {QEvent::MouseButtonPress, QEvent::MouseButtonRelease});
}

void DoubleClickInWindow(QWidget* widget, QPoint at) {
  MouseInWindow(widget, at,
                {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                 QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease});
}

void Type(QWidget* widget, const QString& text) {
  if (!Present(widget, "Type")) return;
  for (QChar c : text) PressAndRelease(widget, KeyOf(c), QString(c));
}

void Replace(QLineEdit* edit, const QString& text) {
  if (!Present(edit, "Replace")) return;
  edit->setFocus();
  edit->selectAll();
  Type(edit, text);
}

void TypeInCell(QAbstractItemView* view, const QString& text) {
  if (!Present(view, "TypeInCell")) return;
  const auto target = [view]() -> QWidget* {
    QWidget* editor = view->indexWidget(view->currentIndex());
    return editor ? editor : view;
  };
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, KeyOf(c), Qt::NoModifier, QString(c));
    QApplication::sendEvent(target(), &press);
    QKeyEvent release(QEvent::KeyRelease, KeyOf(c), Qt::NoModifier, QString(c));
    QApplication::sendEvent(target(), &release);
  }
}

void Key(QWidget* widget, Qt::Key key) {
  if (!Present(widget, "Key")) return;
  PressAndRelease(widget, key, QString());
  QApplication::processEvents();
}

void TypeInWindow(QWidget* window, const QString& text) {
  if (!Present(window, "TypeInWindow")) return;
  for (QChar c : text) {
    PressAndRelease(window->windowHandle(), KeyOf(c), QString(c));
    QApplication::processEvents();
  }
}

void KeyInWindow(QWidget* window, Qt::Key key) {
  if (!Present(window, "KeyInWindow")) return;
  PressAndRelease(window->windowHandle(), key, QString());
  QApplication::processEvents();
}

void MnemonicInWindow(QWidget* window, Qt::Key key) {
  if (!Present(window, "MnemonicInWindow")) return;
  // The keyboard types into the active window; the offscreen platform activates none by itself.
  if (QApplication::activeWindow() != window) QApplication::setActiveWindow(window);
  // An open menu takes the keys while it is open.
  QWidget* popup = QApplication::activePopupWidget();
  QWidget* focus = popup ? popup : QApplication::focusWidget();
  QObject* target = focus ? static_cast<QObject*>(focus) : window->windowHandle();
  // The keyboard gives the key's character along, Alt held or not.
  const QString text = key < 0x80 && QChar(key).isLetterOrNumber() ? QString(QChar(key).toLower()) : QString();
  if (!qt_sendShortcutOverrideEvent(target, 0, key, Qt::AltModifier, text, false, 1)) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::AltModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::AltModifier, text);
    QApplication::sendEvent(target, &release);
  }
  const QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
  ProcessUntil([&] {
    return std::none_of(buttons.begin(), buttons.end(), [](const QAbstractButton* b) { return b->isDown(); });
  });
}

bool Shoot(QWidget* window, const QString& file) {
  if (!Present(window, "Shoot")) return false;
  window->show();
  QApplication::processEvents();
  const QPixmap shot = window->grab();
  return !shot.isNull() && SaveShot(shot.toImage(), file);
}

bool SaveShot(const QImage& picture, const QString& file) {
  const QByteArray dir = qgetenv("ZELTA_SCREENSHOTS");
  return dir.isEmpty() || picture.save(QDir(QString::fromLocal8Bit(dir)).filePath(QFileInfo(file).fileName()));
}

bool ProcessUntil(const std::function<bool()>& done) {
  QElapsedTimer waited;
  waited.start();
  while (!done() && waited.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

}  // namespace testing_support
