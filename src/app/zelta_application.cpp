#include "app/zelta_application.h"

#include <exception>

#include "gui/alt_keys.h"
#include "tk/exception_guard.h"

namespace app {

ZeltaApplication::ZeltaApplication(int& argc, char** argv) : QApplication(argc, argv) {
  gui::InstallAltKeysTypeNothing(*this);
}

bool ZeltaApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    tk::HandleException(std::current_exception());
    return false;
  }
}

}  // namespace app
