#pragma once
// The nine status lines of the call-progress window: new texts go below the last one and push the oldest
// out, and a status that repeats (a dial tone, the retry countdown, proceeding) rewrites its line in place.
#include <array>
#include <cstdint>
#include <string>

namespace telephony {

class TapiStatusLines {
 public:
  static constexpr int kMaxLines = 9;

  void Clear();
  // Adds `text`, or replaces the last line when this update and the previous one both repeat.
  void Update(const std::string& text, bool repeating);
  // Adds a line; beyond nine the first one is lost.
  void Add(const std::string& text);

  int Count() const { return count_; }
  bool Repeating() const { return repeating_; }
  // Line 1 to 9 (index 0 to 8); empty beyond Count().
  const std::string& Line(int index) const { return lines_.at(static_cast<std::size_t>(index)); }

  // Whether a call state (or the retry countdown's state) repeats: dial tone or proceeding.
  static bool IsRepeatingState(std::uint32_t state) { return state == 0x8 || state == 0x200; }

 private:
  std::array<std::string, kMaxLines> lines_;
  int count_ = 0;
  bool repeating_ = false;
};

}  // namespace telephony
