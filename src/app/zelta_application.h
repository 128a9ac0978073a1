#pragma once
#include <QApplication>

namespace app {

// The application object. An exception that escapes an event handler is shown the way the original's
// toolkit shows it (a message box with its message) and the message loop goes on.
class ZeltaApplication : public QApplication {
 public:
  ZeltaApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an exception that reached the application through the UI seam.
void ShowApplicationException(const std::exception_ptr& error);

}  // namespace app
