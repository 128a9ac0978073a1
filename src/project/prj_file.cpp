#include "project/prj_file.h"

#include "platform/atomic_file.h"

namespace project {

TreeParseResult LoadPrjFile(const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) {
    TreeParseResult result;
    result.Error = "cannot be read";
    return result;
  }
  return SystemMapTree::Parse(bytes);
}

std::string SavePrjFile(const SystemMapTree& tree, const std::string& path, char indent) {
  return platform::WriteFileAtomically(path, tree.ToText(indent));
}

std::string PrjErrorMessage(const std::string& path, const TreeParseResult& result) {
  if (result.ErrorLine == 0) return "File Error: " + path + " " + result.Error;
  return "Project file " + path + " is damaged at line " + std::to_string(result.ErrorLine) + ": " + result.Error;
}

}  // namespace project
