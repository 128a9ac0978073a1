#pragma once
// The mailbox through which every window asks the engine for work. A poster writes a request's values
// and then sets its flag or number; the engine's idle state takes one request per pass. Posters and the
// engine all run on the window thread, so nothing here needs a lock.
//
// A request carries what the user confirmed until it is sent: the same request asked while one waits is
// refused and told (RequestAllowed's `sameAsked`), never written over it. A transfer, and a read, takes its
// request when its first frame leaves the port: asked again while it runs, the same transfer is asked anew
// and waits for it, with what it takes then. Refused while they run as well are an IR file transfer and an ASCII load
// to a module, which a second would take the file or the module of, and work whose request stays set until its end (a
// learn, auto-addressing). Controller parameter changes queue instead, and go in the order entered. Requests on the
// same controller data keep the order they were asked in (request_order.h).
#include <array>
#include <cstdint>
#include <string>

#include "controller/request_order.h"

namespace controller {

inline constexpr int CommandQueueSlots = 129;
inline constexpr int ImageBufferSize = 0xE000;  // the staging image: 57,344 bytes
// No timer or variable change asked for. (255 would leave variable 255 unchangeable.)
inline constexpr std::int32_t NoChangeData = -1;
// The timers and variables monitor has run: a connection's end ends it. One only asked did not.
inline constexpr std::uint8_t TimerVarMonitorRan = 2;
// A read's first frame has gone (the dump, the user's clock read, the X10 monitor): a connection's end does
// not tell it not sent, and a reconnection asks it again.
inline constexpr std::uint8_t ReadSent = 2;
// The controller parameter read the identification asks for itself: a connection's end drops it untold.
inline constexpr std::uint8_t IdentificationParamsRead = 2;

// What a connection is asked to do: each request's flag or number. They end with the connection.
struct Requests {
  // In the order the idle state tests them.
  std::int32_t RemoteAsciiModule = 0;
  std::uint8_t RawCommandRequest = 0;
  std::uint8_t TimerVarMonitorRequest = 0;  // 1 asked, TimerVarMonitorRan once it has read the tables
  std::int32_t ChangeDataRequest = NoChangeData;
  std::uint8_t AsciiTableRequest = 0;
  std::uint8_t PagerLoadRequest = 0;
  std::int32_t AutoAddressRequest = -1;
  std::uint8_t RelayRequest = 0;
  std::uint8_t TransmitRequest = 0;
  std::uint8_t RemoteIrRequest = 0;
  std::uint8_t IrUploadRequest = 0;
  std::uint8_t IrDownloadRequest = 0;
  std::int32_t IrLearnNumber = -1;
  std::int32_t IrClearNumber = -1;
  std::int32_t IrTransmitNumber = -1;
  std::uint8_t DumpRequest = 0;  // a dump of DumpAddress is asked; ReadSent until its bytes come
  std::uint8_t ProgramDownloadRequest = 0;
  std::uint8_t ReloadExecRequest = 0;
  std::uint8_t ModuleParamsRequest = 0;  // 1 all of them; 2 again the read-back a reconnection cut
  std::uint8_t CloseRequest = 0;
  std::uint8_t ParamChangeRequest = 0;
  std::int32_t X10SendRequest = -1;    // any house 0 or more is a request
  std::uint8_t X10MonitorRequest = 0;  // 1 asked, ReadSent once its first frame went
  std::uint8_t ExtX10Request = 0;
  std::uint8_t SetClockRequest = 0;
  // The clock set that ends an executive reload (or an addressing run) is still part of it: a close waits
  // for it.
  std::uint8_t ReloadClock = 0;
  std::uint8_t ParamsRequest = 0;  // 1 asked, or IdentificationParamsRead
  // Slots of command bytes 1-6 (code, b1..b5); a code of 0 marks the slot free.
  std::array<std::array<std::uint8_t, 6>, CommandQueueSlots> CommandQueue{};
  std::uint8_t TouchLoadRequest = 0;
  std::uint8_t IconLoadRequest = 0;
  std::int32_t ClockRequest = 0;  // 1 read and show, 2 read silently, 3 and more counted down
  // "&Get Controller Clock" asked the read (1; ReadSent until its answer): a read the user never asked (the
  // project download's, the engine's own) ends untold.
  std::uint8_t UserClockRead = 0;
  std::uint8_t ReconnectRequest = 0;

  // Buttons of the auto-addressing panel.
  std::uint8_t SkipRequest = 0, AbortRequest = 0;

  // What each request the engine or a dialog set for itself waits for (request_order.h).
  HeldBehindKinds HeldBehind{};

  bool operator==(const Requests&) const = default;
};

// The values a request carries. They outlast the connection: a learn's carrier is the one a later clear
// sends.
struct RequestValues {
  std::int32_t ChangeDataValue = NoChangeData, ChangeDataKind = NoChangeData;  // kind 0 variable, 1 timer
  std::uint8_t RelayPoint = 0, RelayOn = 0;
  std::uint8_t TransmitMessage = 0, TransmitCode = 0;  // code 3 record, 4 play or transmit
  std::uint8_t RemoteIrZone = 0;
  std::uint16_t RemoteIrNumber = 0;
  std::int32_t DumpAddress = 0;  // only its low 16 bits reach the wire
  std::uint8_t IrLearnFrequency = 0;
  std::uint8_t IrClearFrequency = 0;  // the last learn's carrier when the clear was asked
  std::int32_t X10Key = -1, X10Repeat = 1;
  std::array<std::uint8_t, 4> ExtX10Command{};  // house, key, data byte, command character
  // The module parameter change as OK took it: module, parameter number and value.
  std::uint8_t ParamChangeModule = 0, ParamChangeNumber = 0;
  std::uint16_t ParamChangeValue = 0;
  // The command typed in the memory-dump window as Send read it: code, then five arguments.
  std::array<std::uint8_t, 6> RawCommand{};
  // The files the save and open dialogs chose, one for each transfer, and the format each dialog offered:
  // .lir records (firmware 8.20 and later) or .ir memory.
  std::string IrUploadFileName, IrDownloadFileName;
  bool IrUploadLir = false, IrDownloadLir = false;
};

struct RequestFields : Requests, RequestValues {};

}  // namespace controller
