#pragma once
#include <QApplication>

namespace app {

// The application object. An exception that escapes an event handler is shown the way the original's
// toolkit shows it (a message box with its message) and the message loop goes on. A key typed with Alt held
// types nothing (gui/alt_keys.h).
class ZeltaApplication : public QApplication {
 public:
  ZeltaApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
