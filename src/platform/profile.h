#pragma once
// Profile (INI) files, with the rules of the original platform's profile calls that the record databases
// rely on: sections and keys match ignoring ASCII case (and blanks around them), values are read trimmed,
// a missing file or section reads as empty, and a file named without a folder lives in the Windows
// directory. Every call reads the file afresh, so two users of one file see each other's writes; every
// write replaces the file atomically and a failed write leaves the old file as it was.
//
// Unlike the original, a name the file cannot hold back faithfully is refused rather than written: a key
// with '=' or a line break, or starting with '[' or ';'; a section with ']' or a line break; an empty key
// or section; a value with a line break.
//
// A file keeps the line ends it has (CR LF or LF); a new file gets CR LF, as the original's files have.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/atomic_file.h"

namespace platform {

// Stands in for the Windows directory: the configuration directory; "" when it is not used (another user
// owns it or others may change it), and a bare name then reads as a missing file and cannot be written.
// A read makes no folder; the first write of a bare name makes it when missing.
std::string WindowsDirectory();

// The file a profile name stands for: a bare name in the Windows directory, any other as it is; the
// existing file whose name differs only in case when the exact one does not exist. "" for a bare name
// without a Windows directory.
std::string ProfilePath(const std::string& name);

// The value of `key`, trimmed; `defaultValue` when the file, the section or the key is missing.
std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue);
// The leading decimal integer of the value (an optional sign and digits; 0 when it has none);
// `defaultValue` when the key is missing or its value empty.
std::int32_t ReadProfileInteger(const std::string& file, const std::string& section, const std::string& key,
                                std::int32_t defaultValue);
// Section names in file order, and the key names of a section in file order (empty for a missing one).
std::vector<std::string> ProfileSectionNames(const std::string& file);
std::vector<std::string> ProfileKeyNames(const std::string& file, const std::string& section);

// Writes `key=value`, replacing the key's value where it exists (keeping its spelling), else appending it
// to the section, which is added at the end of the file when missing. The file is made when missing.
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);
bool WriteProfileInteger(const std::string& file, const std::string& section, const std::string& key,
                         std::int32_t value);
// Removing what is not there succeeds and writes nothing.
bool DeleteProfileKey(const std::string& file, const std::string& section, const std::string& key);
bool DeleteProfileSection(const std::string& file, const std::string& section);

// A profile file read once, changed in memory and written back in one atomic replace: a caller whose one
// operation makes several changes leaves either all of them or none in the file.
class ProfileImage {
 public:
  explicit ProfileImage(const std::string& file);
  ~ProfileImage();
  ProfileImage(const ProfileImage&) = delete;
  ProfileImage& operator=(const ProfileImage&) = delete;

  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  std::vector<std::string> KeyNames(const std::string& section) const;
  // False (nothing changed) for a name or value the file cannot hold.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
  void DeleteKey(const std::string& section, const std::string& key);
  void DeleteSection(const std::string& section);
  // Writes the image when it changed; false (the file as it was) when the write fails.
  bool Save();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Why the last failed write of this thread failed ("" after a success).
const std::string& LastProfileError();

// Replaces the function every profile write goes through (empty restores the system's write); returns the
// previous one. Tests make writes fail with it.
AtomicFileWriter::WriteFunction SetProfileWriteFunction(AtomicFileWriter::WriteFunction write);

}  // namespace platform
