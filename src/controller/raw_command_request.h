#pragma once
// The command typed by hand in the memory-dump window: a code and five arguments, one byte each.
#include <functional>
#include <string>

namespace controller {

class CommsEngine;

// "Send": the six bytes (index 0 the code) read now and kept with the request until it is sent, whatever
// the edits hold by then. A byte that is no number 0..255, or a command asked while the last one has not
// ended, asks for nothing and the user is told: false.
bool PostRawCommand(CommsEngine& engine, const std::function<std::string(int index)>& typed);

}  // namespace controller
