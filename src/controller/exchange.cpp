#include "controller/exchange.h"

#include <algorithm>

namespace controller {

void Exchange::Sent(int answerBytes, bool again, int dropped, Reports reports) {
  // Bytes of an answer dropped by the discard came: only what had not come yet of it is still owed.
  owedBytes_ = again ? std::max(0, owedBytes_ - dropped) : 0;
  owedBytes_ += answerBytes;
  answerBytes_ = answerBytes;
  reports_ = reports;
  retry_ = false;
  waiting_ = 0;
  quietTicks_ = 0;
}

void Exchange::Read(int bytes) {
  if (bytes <= 0 || owedBytes_ == 0) return;
  owedBytes_ = std::max(0, owedBytes_ - bytes);
  quietTicks_ = 0;
}

void Exchange::Taken(int bytes) {
  Read(bytes);
  // The answer came with the retry already counted: what goes next is a new frame.
  retry_ = false;
}

void Exchange::Tick(int waiting) {
  quietTicks_ = waiting == waiting_ ? quietTicks_ + 1 : 0;
  waiting_ = waiting;
}

}  // namespace controller
