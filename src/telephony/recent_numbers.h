#pragma once
// The numbers dialled recently in this run: at most 20, the most recent first, each once (compared
// exactly). Shared by every number selector and never stored.
#include <string>
#include <vector>

namespace telephony {

class TRecentNumbers {
 public:
  static constexpr std::size_t MaxCount = 20;

  // Puts a non-empty number at the top, dropping its older copy or, in a full list, the oldest number.
  void Use(const std::string& number);
  const std::vector<std::string>& Items() const { return items_; }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::string> items_;
};

// The run's one list.
TRecentNumbers& RecentNumbers();

}  // namespace telephony
