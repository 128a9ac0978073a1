#include "telephony/recent_numbers.h"

#include <algorithm>

namespace telephony {

void TRecentNumbers::Use(const std::string& number) {
  if (number.empty()) return;
  if (items_.size() >= MaxCount) items_.erase(items_.begin() + (MaxCount - 1), items_.end());
  items_.erase(std::remove(items_.begin(), items_.end(), number), items_.end());
  items_.insert(items_.begin(), number);
}

TRecentNumbers& RecentNumbers() {
  static TRecentNumbers list;
  return list;
}

}  // namespace telephony
