#include "program/listing_search.h"

#include <algorithm>

#include "platform/text.h"

namespace program {

int FindLine(const std::vector<std::string>& texts, const std::vector<std::string>& comments, int start,
             const std::string& text, bool includeComments) {
  if (text.empty()) return 0;
  const std::string wanted = platform::LowerCase(text);
  auto contains = [&](const std::vector<std::string>& cells, int n) {
    return n < static_cast<int>(cells.size()) && platform::LowerCase(cells[n]).find(wanted) != std::string::npos;
  };
  for (int n = std::max(start, 1); n <= 4095; ++n) {
    if (contains(texts, n) || (includeComments && contains(comments, n))) return n;
  }
  return 0;
}

}  // namespace program
