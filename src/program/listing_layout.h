#pragma once
// The printed listing laid out: a header, then "Line#  %4d:   <text>" with "// <comment>" in a second
// column, up to and including the END line (every line when there is none). Laying it out needs only text
// metrics, so it is worked out apart from the printer; a page break falls wherever the next line would not
// fit. The grid's cells are read, never changed.
#include <functional>
#include <string>
#include <vector>

#include "program/program_store.h"

namespace program {

struct PrintItem {
  int X = 0;
  int Y = 0;  // top of the text
  std::string Text;
};
using PrintPage = std::vector<PrintItem>;

struct PrintMetrics {
  std::function<int(const std::string&)> TextWidth;
  int TextHeight = 0;  // of "Test"
  int PageHeight = 0;
};

// "Zelta 2.0   Program:    <file>  <date>  <time>"
std::string PrintHeader(const std::string& fileName, const std::string& date, const std::string& time);

// texts and comments are the grid's cells indexed by line number (1..4096).
std::vector<PrintPage> LayoutListing(const ProgramStore& store, const std::vector<std::string>& texts,
                                     const std::vector<std::string>& comments, const std::string& header,
                                     const PrintMetrics& metrics);

}  // namespace program
