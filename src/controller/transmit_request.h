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

// Reads the dialog's module and message edits as whole numbers and posts the request. No module
// number 1..127, or no message number 0..messageLimit, posts nothing and is refused with a message: false.
bool PostTransmitRequest(RequestFields& requests, const std::string& moduleText, const std::string& messageText,
                         int messageLimit, std::uint8_t code);

}  // namespace controller
