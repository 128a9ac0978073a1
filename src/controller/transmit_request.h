#pragma once
// What the voice-module dialog ("Record", "Play") and the ASCII transmit dialog ("Transmit") post to the
// engine: one command 0x67 to a module with a message number and what to do with it.
#include <cstdint>
#include <string>

#include "controller/request_fields.h"

namespace controller {

inline constexpr int VoiceMessageLimit = 50;   // the voice module's highest message
inline constexpr int AsciiMessageLimit = 127;  // the highest ASCII message
inline constexpr int HighestModule = 127;

enum : std::uint8_t { TransmitRecord = 3, TransmitPlay = 4 };  // play also means transmit

struct TransmitPost {
  bool Posted = false;    // false: the module number starts nothing
  int Message = 0;        // the message number sent (or that would have been)
  bool Replaced = false;  // the typed message number was out of range: the dialog shows Message instead
};

// Reads the dialog's module and message edits by their leading digits (0 when none), holds the message
// within 0..messageLimit and posts the request. A module outside 1..127 posts nothing (with a beep): its
// low eight bits would name some other module.
TransmitPost PostTransmitRequest(RequestFields& requests, const std::string& moduleText, const std::string& messageText,
                                 int messageLimit, std::uint8_t code);

}  // namespace controller
