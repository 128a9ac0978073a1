// Qt is not built for ThreadSanitizer: its locks are futexes the sanitizer cannot see, so Qt's own event
// queue looks racy whenever a worker posts an event to the window thread. Qt's memory accesses are left
// out of the checks, and so is reading a posted event's type, which is written once when it is made and
// read by every event filter before the event's receiver can make the hand-over plain. Ours are all checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "race:QEvent::type\n";
}
