#pragma once
// How the request windows read a number typed into an edit.
#include <string>

namespace controller {

// Leading blanks, an optional sign and the digits up to the first non-digit; 0 when no digit comes first.
// Saturates instead of overflowing.
int DecimalPrefix(const std::string& text);

}  // namespace controller
