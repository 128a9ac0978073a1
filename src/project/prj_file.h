#pragma once
// The ".prj" file: the System Map tree as indented text, one node per line.
#include <string>

#include "project/system_map_tree.h"

namespace project {

// Reads and parses a ".prj" file. A file that cannot be read is reported with ErrorLine 0.
TreeParseResult LoadPrjFile(const std::string& path);

// Writes the tree with one `indent` per level (the project save uses TABs, the default project blanks).
// Returns "" or the error text; a failed write leaves any old file as it was.
std::string SavePrjFile(const SystemMapTree& tree, const std::string& path, char indent = '\t');

// The message a user sees for a damaged or unreadable ".prj" file.
std::string PrjErrorMessage(const std::string& path, const TreeParseResult& result);

}  // namespace project
