#include "app/startup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QSettings>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/zelta_application.h"
#include "gui/qt_ui.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "serial/port_select_form.h"
#include "tk/exception_guard.h"

namespace app {

namespace {

const char* const kTitle = "Zelta";
const char* const kVersion = "2.00e5";

void PrintHelp() {
  std::printf(
      "Usage: zelta [--help] [--version]\n"
      "\n"
      "Programs and maintains Marvik and Tessaro home-automation controllers: rule programs, the\n"
      "System Map, touch-screen pages, and downloads over a serial line or a modem.\n"
      "\n"
      "Settings are kept in $ZELTA_CONFIG_DIR/registry.ini (default ~/.config/zelta/registry.ini).\n"
      "COMn is the device named by $ZELTA_COMn, else by the setting COMn, else /dev/ttyS(n-1).\n");
}

// Ends the message loop when the main window accepts a close, and only then. Qt's own rule, the last
// visible window closing, would end the program when a message box or a file dialog closes while the
// editor is hidden during an attach. The other windows are not asked: they go as the program ends.
class MainWindowClose : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Close || deciding_) return false;
    // The window decides, its questions included; the filter only learns the answer.
    deciding_ = true;
    QCoreApplication::sendEvent(watched, event);
    deciding_ = false;
    if (event->isAccepted()) QCoreApplication::exit(0);
    return true;
  }

 private:
  bool deciding_ = false;
};

}  // namespace

void KeepToolkitState() {
  const std::string folder = platform::UsableConfigDirectory();
  // The dialogs' history names the user's files and folders: the file is made the user's alone, and Qt
  // keeps the mode of the file it replaces.
  if (!folder.empty()) {
    const std::string conf = platform::NativePath(platform::JoinPath(folder, "QtProject.conf"));
    const int fd = ::open(conf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::fchmod(fd, 0600);  // whatever the umask
      ::close(fd);
    }
  }
  // Nothing can be made below a device file: with the settings in memory, the dialogs keep nothing.
  const QString path = folder.empty() ? QStringLiteral("/dev/null") : platform::ToQString(folder);
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, path);
}

int StartUp(QApplication& application, const std::vector<WindowEntry>& table, bool runLoop) {
  try {
    KeepToolkitState();
    platform::SetApplicationTitle(kTitle);
    // The name only: a display name would be appended to every window's caption.
    application.setApplicationName(kTitle);
    std::vector<QWidget*> windows;
    for (const WindowEntry& entry : table) {
      QWidget* window = entry.Create();
      if (window) windows.push_back(window);
    }
    if (!runLoop) return 0;
    application.setQuitOnLastWindowClosed(false);
    MainWindowClose mainWindowClose;
    if (!windows.empty()) {
      windows.front()->installEventFilter(&mainWindowClose);
      windows.front()->show();
    }
    application.exec();
    // The windows go last to first, as the application's own components did: a window's last words (the
    // communications log) may still reach the windows made before it.
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) delete *it;
    return 0;
  } catch (...) {
    tk::HandleException(std::current_exception());
    return 1;
  }
}

int Main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintHelp();
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", kTitle, kVersion);
      return 0;
    }
  }
  ZeltaApplication application(argc, argv);
  platform::QtUi ui;
  platform::SetUi(&ui);
  serial::RegisterSerialDialogs();
  return StartUp(application, WindowTable());
}

}  // namespace app
