#pragma once
// The version text every component of the library shows in its About property.
#include "tk/property.h"

namespace controls {
inline constexpr const char* VxVersionText = "v3.07";

// The read-only "About" property: the version text, never stored.
tk::PropertyInfo AboutProperty();
}  // namespace controls
