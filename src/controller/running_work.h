#pragma once
// The work that can be running on a connection, by its states, and how each ends when an attach, "&Close" or
// the program's end ends the connection:
// - a transfer is cut where it stands (the user is asked first: a cut leaves it half done);
// - work that has put the controller into a mode (an IR learn, auto-addressing, the older controllers' X10
//   event reports) runs its own end step first, with its retries, so the controller is not left in it;
// - a restart wait runs out: the controller does not answer until it has started;
// - a single command on the line gets its answer first, so a reconnection does not send it again.
// Work that holds the port outside any connection (the pager's modem set-up) is cut, once the user agreed.
#include <cstddef>
#include <span>
#include <string>

#include "controller/exchange.h"
#include "controller/request_order.h"

namespace controller {

class CommsEngine;
struct Requests;

enum class WorkKind { Transfer, Mode, RestartWait, Command, PortWork };

struct RunningWork {
  WorkKind Kind;
  const char* Name;  // as the user knows it, and as its "not sent" and "cut short" lines name it
  const char* Ends;  // what ending it now does, in the question's words (transfers, modes, port work)
  // Copies the request the work still reads until its end from `from` to `to` (`slot`: the queue slot being
  // sent): a new connection's attach, which drops every other request, keeps it for that end; copied from no
  // request, it drops it. None for a transfer, which is cut.
  void (*Keep)(Requests& to, const Requests& from, std::size_t slot) = nullptr;
  // What a mode's end that was not confirmed may have left the controller in.
  const char* Left = nullptr;
  // What its first frame leaving the port does to its request: a transfer's is cleared, the older X10
  // monitor's marked as run. Until then the work is only asked: a reconnection runs it, once, and an end
  // drops it as not sent.
  void (*Take)(Requests& requests) = nullptr;
  // What the controller may send by itself while the work is in these states, from the frame that starts
  // the reports until the answer to the one that ends them.
  controller::Reports Reports = Reports::None;
};

// Work that holds the engine's port outside a connection. It owns the port until its last step: whatever
// would take or move the port asks the user first and, on OK, cuts it short.
class PortHoldingWork {
 public:
  virtual ~PortHoldingWork() = default;
  virtual bool Running() const = 0;
  // What it is, for the questions: its kind is WorkKind::PortWork.
  virtual const RunningWork& Work() const = 0;
  // The user agreed: the work ends now and closes the port; its window says so.
  virtual void Cut() = 0;
  // A port number given while the work holds the port: taken once it has ended.
  virtual void HoldPortNumber(int comNum) = 0;
};

// How the connection is about to end, for the question asked first.
enum class Ending {
  Attach,        // a new connection, or a reconnection from the editor's or the designer's attach
  Reconnection,  // the project download's reconnection: it waits for transfers and restarts, and ends modes
  Exit,          // the program's end
};

// The question `how` asks before it ends `work` (nullptr: none runs), with `also`, what else the end drops,
// said after it; empty when there is nothing to ask.
std::string EndQuestion(const RunningWork* work, Ending how, const std::string& also = {});

// The transfers a connection can be asked for, in the order their drops are told; each is named by its
// request kind.
std::span<const RequestKind> TransferKinds();
// The transfer of `kind` is asked in `requests` (the ASCII messages: to the controller or to a module).
bool TransferAsked(const Requests& requests, RequestKind kind);

// The work whose states include `state`, before telling a command in flight from one not yet sent: nullptr
// for none (idle, polling, connecting, reads). States 135 and 136 are auto-addressing's restart when
// `addressing`.
const RunningWork* WorkOfState(int state, bool addressing);

// A read the idle dispatch starts at its first state. Like a transfer it keeps its request until its first
// frame leaves the port; Take then clears it, or marks it as gone where the request stays until the answer
// (a dump, the clock) or until the window closes (the monitors). Before that an end drops it as not sent,
// and a reconnection runs it.
struct ReadWork {
  int First, Last;
  bool (*Asked)(const CommsEngine& engine);
  void (*Take)(CommsEngine& engine);
};

// The read whose states include `state`; nullptr for none.
const ReadWork* ReadOfState(int state);

}  // namespace controller
