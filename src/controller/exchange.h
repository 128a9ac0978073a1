#pragma once
// The exchange on the line: a frame sent, perhaps sent again after a retry, and the answer bytes it still
// owes. No answer says which frame it answers (a block reply's header is not interpreted), so an answer that
// came after the next frame went would be taken for that frame's. A time-out does not end an exchange: a
// frame sent again owes two answers, and a new frame goes only once both are in or the line has stayed quiet
// for a time-out since that frame was held. The time other frames took bounds nothing about this one (it
// was sent again because it was slower than they were): only a quiet line says nothing more is coming. A
// clean exchange owes nothing once its answer is taken, and holds nothing back.
//
// Every byte read from the line is counted here, whoever reads it: the answer bytes among it pay off what is
// owed, a report the controller sent by itself pays nothing.
namespace controller {

// What the controller may send by itself among the answers: a learnt IR code while a learn runs, X10
// events while the older monitor's reports are switched on. A report is never an answer.
enum class Reports { None, LearntCode, X10Events };

class Exchange {
 public:
  // Ticks of a time-out: a wait retries on its 12th tick, and a line quiet that long brings nothing more.
  static constexpr int QuietTicks = 12;

  // A frame went whose answer is `answerBytes` long (0: it gets none). `again`: the frame on the line sent
  // again by its own send state after Retry(); its answer adds to what is still owed, less the `dropped` bytes
  // the send's discard dropped (a part of an answer leaves its tail owed). Any other frame starts a new
  // exchange.
  void Sent(int answerBytes, bool again, int dropped, Reports reports);
  // The frame on the line goes again: a retry stepped back to its send state, `sendState`.
  void Retry(int sendState) {
    retry_ = true;
    retryState_ = sendState;
  }
  // The frame on the line does not go again (the connection starts again): what it owes may still come.
  void Abandon() { retry_ = false; }
  // A new frame is held back while answers are owed: the line must stay quiet for a time-out from now on.
  void Hold() { quietTicks_ = 0; }
  // `bytes` answer bytes were read from the line, by whichever reader.
  void Read(int bytes);
  // A wait took its answer, `bytes` of input with what came behind it.
  void Taken(int bytes);
  // The end of a tick, with `waiting` bytes in the input: bytes that came are the line's activity.
  void Tick(int waiting);
  // The line is closed, or the controller has started again: nothing owed comes any more.
  void Clear() { *this = Exchange{}; }

  // The frame `sendState` sends now is the one on the line sent again by its own send state.
  bool Again(int sendState) const { return retry_ && retryState_ == sendState; }
  bool Owes() const { return owedBytes_ > 0; }
  // A held frame may go: nothing is owed, or the line has stayed quiet for a time-out.
  bool Settled() const { return !Owes() || quietTicks_ >= QuietTicks; }
  int AnswerBytes() const { return answerBytes_; }
  Reports ReportsAmong() const { return reports_; }

 private:
  int answerBytes_ = 0;
  int owedBytes_ = 0;
  bool retry_ = false;
  int retryState_ = 0;
  Reports reports_ = Reports::None;
  int waiting_ = 0;  // the input count at the end of the last tick
  int quietTicks_ = 0;
};

}  // namespace controller
