#pragma once
// Path helpers. Paths are joined with '/'; splitting accepts '/', '\' and a drive colon so that names
// written the original's way still split where the user expects.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Program text holds file names as Latin-1 bytes; the file system takes them in its own encoding
// (QFile::encodeName: UTF-8 here). Every name handed to the file system goes through NativePath, and every
// name that comes from it (directory entries, the working directory, the environment) through InternalPath.
std::string NativePath(std::string_view path);
// Nothing when the name holds a character that Latin-1 text cannot.
std::optional<std::string> InternalPath(std::string_view native);

std::string JoinPath(std::string_view dir, std::string_view name);
// The directory part including its trailing separator ("" when there is none).
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
// The extension with its dot ("" when there is none); a dot in a directory name is not an extension.
std::string ExtractFileExt(std::string_view path);
// Replaces the extension (ext includes its dot, or is empty to remove it); appends when there is none.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

bool FileExists(const std::string& path);
// Whether both names reach one existing file (through links or other spellings of its path).
bool SameFile(const std::string& a, const std::string& b);
bool DirectoryExists(const std::string& path);
// The exact path when it exists; otherwise the one entry of its directory whose name matches ignoring
// ASCII case; otherwise the path unchanged (so that opening it reports "not found" as usual).
std::string ResolveFileCase(const std::string& path);

// The working directory, or "." when its name cannot be held as program text.
std::string CurrentDir();

}  // namespace platform
