#include "app/zelta_application.h"

#include <exception>

#include "platform/ui.h"

namespace app {

ZeltaApplication::ZeltaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZeltaApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowApplicationException(std::current_exception());
    return false;
  }
}

void ShowApplicationException(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    platform::Ui().ShowException(e.what());
  } catch (...) {
    platform::Ui().ShowException("Unknown exception");
  }
}

}  // namespace app
