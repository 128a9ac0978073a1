#include "app/zelta_application.h"

#include <exception>

#include "tk/exception_guard.h"

namespace app {

ZeltaApplication::ZeltaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZeltaApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    tk::HandleException(std::current_exception());
    return false;
  }
}

}  // namespace app
