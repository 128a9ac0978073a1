#pragma once
// Opening the communications window's port on a COM port directly, as a controller connection and the
// pager modem set-up do. The telephony device takes the port for its calls (at start-up, and each dial):
// in that mode the port waits for a call's handle and refuses to open, so it is taken back first.
#include <cstdint>

namespace serial {
class TLkCustomComPort;
}

namespace controller {

// Opens `port` on COM`comNumber`; false, after telling the user in a "COM ERROR" box, when it cannot be
// opened.
bool OpenDirect(serial::TLkCustomComPort& port, std::uint16_t comNumber);

}  // namespace controller
