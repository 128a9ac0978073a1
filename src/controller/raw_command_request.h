#pragma once
// The command typed by hand in the memory-dump window: a code and five arguments, one byte each.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace controller {

class CommsEngine;

// The six bytes from the six edits' texts (index 0 the code); nothing when one is no number 0..255, and
// the user has been told which.
std::optional<std::array<std::uint8_t, 6>> ReadRawCommand(const std::function<std::string(int index)>& typed);

// "Send": the six bytes read now and kept with the request until it is sent, whatever the edits hold by
// then. Bytes that do not fit, or a command asked while the last one has not ended, ask for nothing and
// the user is told: false.
bool PostRawCommand(CommsEngine& engine, const std::function<std::string(int index)>& typed);

}  // namespace controller
