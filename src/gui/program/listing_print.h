#pragma once
// The listing on the printer: one print job, laid out by LayoutListing.
#include <string>
#include <vector>

#include "program/listing_layout.h"

class QPrinter;

namespace program {

// Prints the listing on `printer` in the font `fontFamily`, 8 points, with today's date and time in the
// system's short formats. False when the printer could not be started.
bool PrintListing(QPrinter& printer, const std::string& fontFamily, const ProgramStore& store,
                  const std::vector<std::string>& texts, const std::vector<std::string>& comments);

}  // namespace program
