#pragma once
// The version text every component of the library shows in its About property.
namespace controls {
inline constexpr const char* VxVersionText = "v3.07";
}  // namespace controls
