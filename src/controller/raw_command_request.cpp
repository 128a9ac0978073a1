#include "controller/raw_command_request.h"

#include <array>
#include <cstdint>
#include <optional>

#include "controller/comms_engine.h"
#include "controller/typed_number.h"

namespace controller {

bool PostRawCommand(CommsEngine& engine, const std::function<std::string(int index)>& typed) {
  if (!engine.RequestAllowed(RequestKind::RawCommand, engine.RawCommandRequest != 0)) return false;
  std::array<std::uint8_t, 6> bytes{};
  for (int i = 0; i < 6; ++i) {
    const std::optional<int> byte =
        ReadTypedNumberOrRefuse(typed(i), {"Command byte " + std::to_string(i + 1), 0, 255});
    if (!byte) return false;
    bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(*byte);
  }
  engine.RawCommand = bytes;
  engine.RawCommandRequest = 1;
  return true;
}

}  // namespace controller
