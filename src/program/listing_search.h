#pragma once
// The editor's search over the grid's cells.
#include <string>
#include <vector>

namespace program {

// The first line from `start` to 4095 (never 4096, no wrap-around) whose Program Text cell, or with
// `includeComments` its Comments cell, contains `text`, ignoring the case of ASCII letters; 0 when none
// does. An empty text matches nothing. Cells are indexed by line number.
int FindLine(const std::vector<std::string>& texts, const std::vector<std::string>& comments, int start,
             const std::string& text, bool includeComments);

// Where a search starts: line 1 when the current line is 1, else the line after it.
inline int SearchStart(int currentLine) { return currentLine == 1 ? 1 : currentLine + 1; }

}  // namespace program
