#pragma once
// The exchange on the line: a frame sent, perhaps sent again after a retry, and the answers it still owes.
// No answer says which frame it answers (a block reply's header is not interpreted), so an answer that came
// after the next frame went would be taken for that frame's. A time-out does not end an exchange: a frame
// sent again owes two answers, and a new frame goes only once both are in or the line has stayed quiet for
// a time-out since that frame was held. A clean exchange owes nothing once its answer is taken, and holds
// nothing back.
namespace controller {

// What the controller may send by itself among the answers: a learnt IR code while a learn runs, X10
// events while the older monitor's reports are switched on. A report is never an answer.
enum class Reports { None, LearntCode, X10Events };

class Exchange {
 public:
  // Ticks of a time-out: a wait retries on its 12th tick, and a line quiet that long brings nothing more.
  static constexpr int QuietTicks = 12;

  // A frame went whose answer is `answerBytes` long (0: it gets none). Sent again after Retry() its answer
  // adds to those still owed, less the whole answers among the `dropped` bytes the send's discard dropped;
  // any other frame starts a new exchange.
  void Sent(int answerBytes, int dropped, Reports reports);
  // The frame on the line goes again: a retry stepped back to its send state.
  void Retry() { again_ = true; }
  // The frame on the line does not go again (the connection starts again): what it owes may still come.
  void Abandon() { again_ = false; }
  // A new frame is held back while answers are owed: the line must stay quiet for a time-out from now on.
  void Hold() { quietTicks_ = 0; }
  // `bytes` were taken from the input as answers: each whole answer among them, and at least one, is in.
  void Taken(int bytes);
  // The end of a tick, with `waiting` bytes in the input: bytes that came are the line's activity.
  void Tick(int waiting);
  // The line is closed, or the controller has started again: nothing owed comes any more.
  void Clear() { *this = Exchange{}; }

  // The next frame is the one on the line sent again.
  bool Again() const { return again_; }
  bool Owes() const { return owed_ > 0; }
  // Nothing has come for a time-out (since the hold began): what is owed no longer comes.
  bool Quiet() const { return quietTicks_ >= QuietTicks; }
  // A held frame may go.
  bool Settled() const { return !Owes() || Quiet(); }
  int AnswerBytes() const { return answerBytes_; }
  Reports ReportsAmong() const { return reports_; }

 private:
  int answerBytes_ = 0;
  int owed_ = 0;
  bool again_ = false;
  Reports reports_ = Reports::None;
  int waiting_ = 0;  // the input count at the end of the last tick
  int quietTicks_ = 0;
};

}  // namespace controller
