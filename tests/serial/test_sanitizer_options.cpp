// Qt is not built for ThreadSanitizer: its locks are futexes the sanitizer cannot see, so Qt's own event
// queue looks racy whenever a worker posts an event to the window thread. Qt's memory accesses are left
// out of the checks; ours are all checked.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libQt6Core.so.6\n"; }
