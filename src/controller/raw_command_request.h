#pragma once
// The command typed by hand in the memory-dump window: a code and five arguments, one byte each.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace controller {

// The six bytes from the six edits' texts (index 0 the code); nothing when one is no number 0..255, and
// the user has been told which. Read by "Send", and again when the engine takes the request, as the
// window stays open meanwhile.
std::optional<std::array<std::uint8_t, 6>> ReadRawCommand(const std::function<std::string(int index)>& typed);

}  // namespace controller
