#pragma once
// Brings the program up: the title, the windows created once in their fixed order, the message loop.
#include <functional>
#include <string>
#include <vector>

class QApplication;
class QWidget;

namespace app {

struct WindowEntry {
  const char* ClassName;
  // Creates the window and stores it in its global pointer.
  std::function<QWidget*()> Create;
};

// Every window of the program in creation order; the first is the main window.
const std::vector<WindowEntry>& WindowTable();

// Creates the windows of `table` in order and, when `runLoop`, runs the message loop until the main
// window accepts a close (no other window's closing ends it), then deletes the windows last to first.
// An exception escaping creation or the loop is shown once and the result is non-zero: windows after the
// failing one are never created. Returns 0 after a normal end.
int StartUp(QApplication& application, const std::vector<WindowEntry>& table, bool runLoop = true);

// Qt's own dialogs keep their state (a file dialog its history) in the program's settings folder, and
// nowhere while the settings live in memory, never in a folder of Qt's choosing. StartUp does this first.
void KeepToolkitState();

// The whole entry routine: --help and --version, the application object, StartUp.
int Main(int argc, char** argv);

}  // namespace app
