#pragma once
// What the simulated controller's source files share: the names they use, the type byte of an empty module
// slot and the trace lines' formatting.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "support/sim_controller.h"

namespace testing_support::sim {

using namespace controller;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline constexpr std::uint8_t kNoModule = 200;

inline std::string Hex(const SimBytes& bytes, std::size_t limit = 12) {
  std::string s;
  char b[4];
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(b, sizeof b, "%s%02X", i ? " " : "", bytes[i]);
    s += b;
  }
  if (bytes.size() > limit) s += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return s;
}

inline std::string Format(const char* format, auto... args) {
  char buffer[200];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

}  // namespace testing_support::sim
