#include "project/ascii_messages.h"

#include <stdexcept>

#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace project {

namespace {

void CheckNumber(int n) {
  if (n < 0 || n >= AsciiMessageTable::kMessages) throw std::out_of_range("ASCII message number out of range");
}

}  // namespace

const std::string& AsciiMessageTable::Text(int n) const {
  CheckNumber(n);
  return texts_[static_cast<std::size_t>(n)];
}

void AsciiMessageTable::SetText(int n, std::string text) {
  CheckNumber(n);
  texts_[static_cast<std::size_t>(n)] = std::move(text);
}

std::string AsciiMessageTable::SizeText(int n) const {
  const std::string& text = Text(n);
  return text.empty() ? std::string() : std::to_string(text.size());
}

void AsciiMessageTable::Clear() {
  for (std::string& text : texts_) text.clear();
  file_.clear();
}

std::string AsciiMessageTable::Record(int n) const {
  std::string record = Text(n).substr(0, kRecordBytes);
  record.resize(kRecordBytes, '\0');
  return record;
}

std::string AsciiMessageTable::FilePath(const std::string& path) { return platform::ResolveFileCase(path); }

bool AsciiMessageTable::IsOwnFile(const std::string& path) const {
  return !file_.empty() && platform::SameFile(file_, FilePath(path));
}

std::string AsciiMessageTable::Save(const std::string& path, platform::AtomicFileWriter::WriteFunction write) {
  platform::AtomicFileWriter writer(FilePath(path), std::move(write));
  for (int n = 0; n < kMessages; ++n) writer.Write(Record(n));
  if (!writer.Commit()) return "File Error";
  file_ = FilePath(path);
  return {};
}

std::string AsciiMessageTable::Load(const std::string& path) {
  std::string file;
  // Read only: a file the user may not change still opens.
  if (!platform::ReadWholeFile(FilePath(path), file)) return "File Open Error";
  file_ = FilePath(path);
  file.resize(kFileBytes, '\0');
  // The unread tail stays NUL, so a record cut short by the end of the file keeps the bytes it has.
  for (int n = 0; n < kMessages; ++n) {
    const std::string record = file.substr(static_cast<std::size_t>(n) * kRecordBytes, kRecordBytes);
    texts_[static_cast<std::size_t>(n)] = record.substr(0, record.find('\0'));
  }
  return {};
}

}  // namespace project
