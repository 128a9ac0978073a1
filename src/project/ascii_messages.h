#pragma once
// The project's table of 128 ASCII messages and its ".asc" file: 128 records of 32 bytes, record r holding
// message r NUL-padded (a text of 32 or more characters fills its record with no NUL). Texts are kept as
// typed, escapes such as "^013" included: nothing here decodes them, and a text longer than 32 characters
// stays whole in the table; only the file and the controller see its first 32.
#include <array>
#include <cstddef>
#include <string>

#include "platform/atomic_file.h"

namespace project {

class AsciiMessageTable {
 public:
  static constexpr int kMessages = 128;
  static constexpr std::size_t kRecordBytes = 32;
  static constexpr std::size_t kFileBytes = kMessages * kRecordBytes;  // 4,096

  // Message n (0..127); out-of-range numbers throw std::out_of_range.
  const std::string& Text(int n) const;
  void SetText(int n, std::string text);
  // What the size column shows for message n: its length in characters, "" for an empty text.
  std::string SizeText(int n) const;
  // Every text empty; the table no longer holds any file's messages.
  void Clear();

  // Both return "" or the message the window shows. Load reads the file (one the user may not change
  // too); "File Open Error" when it cannot be read, and the table is then as it was. A short file leaves the messages wholly past its end empty; bytes after record 127 are ignored.
  std::string Load(const std::string& path);
  // Replaces the file (or the one whose name differs only in case): "File Error" leaves the old file.
  std::string Save(const std::string& path, platform::AtomicFileWriter::WriteFunction write = {});
  // The file both use for `path`: the one whose name differs only in case when none has it exactly.
  static std::string FilePath(const std::string& path);
  // Whether `path` is the file the table was last read from or written to: the one file a save replaces
  // without asking.
  bool IsOwnFile(const std::string& path) const;

  // The 32 bytes message n takes in the file and in the controller's store.
  std::string Record(int n) const;

 private:
  std::array<std::string, kMessages> texts_;
  std::string file_;
};

}  // namespace project
