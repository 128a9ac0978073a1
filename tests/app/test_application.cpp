// The start-up tests run under the program's own application object, whose event guard they check.
#include "app/zelta_application.h"
#include "support/scripted_ui.h"

namespace testing_support {
QApplication* CreateTestApplication(int& argc, char** argv) { return new app::ZeltaApplication(argc, argv); }
}  // namespace testing_support
