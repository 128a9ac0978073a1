#include "controller/exchange.h"

#include <algorithm>

namespace controller {

void Exchange::Sent(int answerBytes, int dropped, Reports reports) {
  // An answer whole in the input when its frame went again was in; a part of one still owes the rest.
  if (again_ && answerBytes_ > 0)
    owed_ = std::max(0, owed_ - dropped / answerBytes_);
  else
    owed_ = 0;
  if (answerBytes > 0) ++owed_;
  answerBytes_ = answerBytes;
  reports_ = reports;
  again_ = false;
  waiting_ = 0;
  quietTicks_ = 0;
}

void Exchange::Taken(int bytes) {
  const int answers = answerBytes_ > 0 ? std::max(1, bytes / answerBytes_) : 1;
  owed_ = std::max(0, owed_ - answers);
  // The answer came with the retry already counted: what goes next is a new frame.
  again_ = false;
  quietTicks_ = 0;
}

void Exchange::Tick(int waiting) {
  quietTicks_ = waiting == waiting_ ? quietTicks_ + 1 : 0;
  waiting_ = waiting;
}

}  // namespace controller
