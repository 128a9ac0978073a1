#pragma once
// The way project code reaches the communications window's log list without knowing the window.
#include <string>

namespace project {

class CommsLog {
 public:
  virtual ~CommsLog() = default;
  // Adds a line at the top of the log list.
  virtual void AddLogLine(const std::string& line) = 0;
};

}  // namespace project
