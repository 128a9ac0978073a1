#pragma once
// The library's private window messages.
#include <cstdint>

namespace controls {

inline constexpr std::uint32_t OM_REPORTERROR = 0x7F00;
inline constexpr std::uint32_t OM_SETFOCUS = 0x7F01;
inline constexpr std::uint32_t OM_PREEDIT = 0x7F06;
inline constexpr std::uint32_t OM_POSTEDIT = 0x7F07;
inline constexpr std::uint32_t OM_AFTERENTER = 0x7F08;
inline constexpr std::uint32_t OM_AFTEREXIT = 0x7F09;
inline constexpr std::uint32_t OM_DELAYNOTIFY = 0x7F0A;
inline constexpr std::uint32_t OM_POSITIONLABEL = 0x7F0B;
inline constexpr std::uint32_t OM_RECORDLABELPOSITION = 0x7F0C;
inline constexpr std::uint32_t OM_ASSIGNLABEL = 0x7F0D;
inline constexpr std::uint32_t OM_COLLECTIONCHANGED = 0x7F10;

}  // namespace controls
