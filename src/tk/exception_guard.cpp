#include "tk/exception_guard.h"

#include "platform/ui.h"

namespace tk {

void HandleException(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    platform::Ui().ShowException(e.what());
  } catch (...) {
    platform::Ui().ShowException("Unknown exception");
  }
}

}  // namespace tk
