#pragma once
// Services for control tests: a settable cursor and clock, and an opener that records addresses.
#include <string>
#include <vector>

#include "tk/services.h"

namespace controls_test {

class FakeServices : public tk::Services {
 public:
  FakeServices() { previous_ = tk::SetServices(this); }
  ~FakeServices() override { tk::SetServices(previous_); }

  std::uint64_t TickCount64() override { return Ticks; }
  double Now() override { return Today; }
  bool OpenAddress(const std::string& address) override {
    Opened.push_back(address);
    return OpenSucceeds;
  }
  tk::Point CursorPos() override { return Cursor; }
  tk::ShiftState KeyboardShiftState() override { return Shift; }
  int DoubleClickTime() override { return 500; }

  std::uint64_t Ticks = 0;
  double Today = 46363.0;  // 2026-12-07
  bool OpenSucceeds = true;
  std::vector<std::string> Opened;
  tk::Point Cursor{-1000, -1000};
  tk::ShiftState Shift = 0;

 private:
  tk::Services* previous_;
};

}  // namespace controls_test
