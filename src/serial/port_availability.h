#pragma once
// Whether a serial port number can be opened. The device is only opened, locked and closed again: no
// settings are applied and no worker thread is started, so that looking through the ports leaves alone
// what is connected to them. (The system itself raises DTR when a serial device is opened.)
namespace serial {

// Kept for the library's callers: a temporary dispatcher would open the port with its settings, so both
// ways now probe the device the same way.
extern bool UseDispatcherForAvail;
// A port that exists but is held by another program counts as available.
extern bool ShowPortsInUse;

bool IsPortAvailable(int n);

}  // namespace serial
