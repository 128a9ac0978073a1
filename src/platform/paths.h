#pragma once
// Path helpers. Paths are joined with '/'; splitting accepts '/', '\' and a drive colon so that names
// written the original's way still split where the user expects.
#include <string>
#include <string_view>

namespace platform {

std::string JoinPath(std::string_view dir, std::string_view name);
// The directory part including its trailing separator ("" when there is none).
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
// The extension with its dot ("" when there is none); a dot in a directory name is not an extension.
std::string ExtractFileExt(std::string_view path);
// Replaces the extension (ext includes its dot, or is empty to remove it); appends when there is none.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The exact path when it exists; otherwise the one entry of its directory whose name matches ignoring
// ASCII case; otherwise the path unchanged (so that opening it reports "not found" as usual).
std::string ResolveFileCase(const std::string& path);

std::string CurrentDir();

}  // namespace platform
