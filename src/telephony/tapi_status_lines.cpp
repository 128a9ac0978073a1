#include "telephony/tapi_status_lines.h"

namespace telephony {

void TapiStatusLines::Clear() {
  lines_.fill({});
  count_ = 0;
  repeating_ = false;
}

void TapiStatusLines::Update(const std::string& text, bool repeating) {
  if (repeating && repeating_ && count_ > 0)
    lines_[static_cast<std::size_t>(count_ - 1)] = text;
  else
    Add(text);
  repeating_ = repeating;
}

void TapiStatusLines::Add(const std::string& text) {
  if (count_ == kMaxLines) {
    for (int i = 1; i < kMaxLines; ++i) lines_[static_cast<std::size_t>(i - 1)] = lines_[static_cast<std::size_t>(i)];
  } else {
    ++count_;
  }
  lines_[static_cast<std::size_t>(count_ - 1)] = text;
}

}  // namespace telephony
