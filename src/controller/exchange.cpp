#include "controller/exchange.h"

#include <algorithm>

namespace controller {

void Exchange::Sent(int answerBytes, bool again, int dropped, Reports reports) {
  // Bytes of an answer dropped by the discard came: only what had not come yet of it is still owed.
  owedBytes_ = again ? std::max(0, owedBytes_ - dropped) : 0;
  owedBytes_ += answerBytes;
  sends_ = again ? sends_ + 1 : 1;
  answered_ = false;
  sinceSent_ = 0;
  answerBytes_ = answerBytes;
  reports_ = reports;
  retry_ = false;
  waiting_ = 0;
  quietTicks_ = 0;
}

void Exchange::Read(int bytes) {
  if (bytes <= 0 || owedBytes_ == 0) return;
  const auto answersOwed = [this](int owed) { return answerBytes_ > 0 ? (owed + answerBytes_ - 1) / answerBytes_ : 0; };
  const int before = answersOwed(owedBytes_);
  owedBytes_ = std::max(0, owedBytes_ - bytes);
  // An answer is whole: the first of a frame sent once tells how long this controller takes to answer.
  if (answersOwed(owedBytes_) < before) {
    answered_ = true;
    if (sends_ == 1 && owedBytes_ == 0) answerTicks_ = std::max(answerTicks_, sinceSent_);
  }
  quietTicks_ = 0;
}

void Exchange::Taken(int bytes) {
  Read(std::max(bytes, answerBytes_));
  // The answer came with the retry already counted: what goes next is a new frame.
  retry_ = false;
}

void Exchange::Tick(int waiting) {
  quietTicks_ = waiting == waiting_ ? quietTicks_ + 1 : 0;
  waiting_ = waiting;
  ++sinceSent_;
}

bool Exchange::Settled() const {
  if (!Owes() || quietTicks_ >= QuietTicks) return true;
  // Sent again and answered: the first sending's answer came before that answer, or never comes; the second
  // sending's comes within the answer time seen, unless it was that answer.
  const bool answeredAgain = sends_ > 1 && answered_ && answerTicks_ > 0;
  return answeredAgain && quietTicks_ > 0 && sinceSent_ >= std::min(QuietTicks, answerTicks_ + AnswerMarginTicks);
}

}  // namespace controller
