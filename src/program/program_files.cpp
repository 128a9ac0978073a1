#include "program/program_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/paths.h"
#include "platform/text.h"

namespace {

void PutRecord(std::string& out, const ProgramLine& line, const std::string& comment) {
  std::uint8_t record[kFileRecordBytes] = {};
  line.Store(record);
  const std::size_t length = std::min(comment.size(), kMaxCommentLength);
  std::memcpy(record + ProgramLine::kBytes, comment.data(), length);
  out.append(reinterpret_cast<const char*>(record), kFileRecordBytes);
}

// The comment stops at the first zero byte and never runs past 79 characters, whatever the file holds.
std::string CommentOf(const std::uint8_t* field) {
  const char* text = reinterpret_cast<const char*>(field);
  return std::string(text, strnlen(text, kMaxCommentLength));
}

// Reads at most limit bytes; false when the file cannot be opened or read.
bool ReadUpTo(const std::string& path, std::size_t limit, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(platform::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes.resize(limit);
  std::size_t got = 0;
  bool ok = true;
  while (got < limit) {
    const ssize_t n = ::read(fd, bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return ok;
}

std::string WriteFile(const std::string& path, const std::string& bytes,
                      platform::AtomicFileWriter::WriteFunction write) {
  platform::AtomicFileWriter writer(path, std::move(write));
  writer.Write(bytes);
  return writer.Commit() ? std::string() : std::string(kFileErrorText);
}

}  // namespace

std::string EncodeProgramFile(ProgramStore& store) {
  std::string bytes;
  bytes.reserve(kProgramFileBytes);
  for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
    if (store.Comments[n].empty()) store.Comments[n].push_back(' ');
    PutRecord(bytes, store.Lines[n], store.Comments[n]);
  }
  return bytes;
}

void DecodeProgramFile(std::string_view bytes, ProgramStore& store) {
  for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
    std::uint8_t record[kFileRecordBytes] = {};
    const std::size_t offset = static_cast<std::size_t>(n - 1) * kFileRecordBytes;
    if (offset < bytes.size())
      std::memcpy(record, bytes.data() + offset, std::min(kFileRecordBytes, bytes.size() - offset));
    store.Lines[n] = ProgramLine::Load(record);
    store.Comments[n] = CommentOf(record + ProgramLine::kBytes);
  }
}

std::string SavePGMFile(ProgramStore& store, const std::string& path, platform::AtomicFileWriter::WriteFunction write) {
  const std::string error = WriteFile(path, EncodeProgramFile(store), std::move(write));
  if (error.empty()) store.Modified = false;
  return error;
}

std::string LoadPGMFile(ProgramStore& store, const std::string& path) {
  // A name that already ends in ".pgm" in some case is the file the user picked, even when another file
  // differs from it only in case.
  std::string file = platform::ChangeFileExt(path, ".PGM");
  file = platform::SameText(file, path) && platform::FileExists(path) ? path : platform::ResolveFileCase(file);
  if (!platform::FileExists(file)) return kPgmNotFoundText;
  std::string bytes;
  if (!ReadUpTo(file, kProgramFileBytes, bytes)) return kFileErrorText;
  DecodeProgramFile(bytes, store);
  return {};
}

std::string SaveSnippetFile(ProgramStore& store, const std::string& path, int first, int last,
                            platform::AtomicFileWriter::WriteFunction write) {
  std::string bytes;
  if (first < 1 || last > ProgramStore::kLastLine) throw std::out_of_range("snippet block out of range");
  for (int n = first; n <= last; ++n) PutRecord(bytes, store.Lines[n], store.Comments[n]);
  const std::string error = WriteFile(path, bytes, std::move(write));
  if (error.empty()) store.FileName = path;
  return error;
}

std::string ReadSnippetFile(const std::string& path, std::vector<ProgramLine>& lines,
                            std::vector<std::string>& comments) {
  lines.clear();
  comments.clear();
  std::string bytes;
  // One record more than any row can take, so that the editor still sees a block that runs past line 4096.
  if (!ReadUpTo(path, (ProgramStore::kLastLine + 1) * kFileRecordBytes, bytes)) return kFileOpenErrorText;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t offset = 0; offset + kFileRecordBytes <= bytes.size(); offset += kFileRecordBytes) {
    lines.push_back(ProgramLine::Load(data + offset));
    comments.push_back(CommentOf(data + offset + ProgramLine::kBytes));
  }
  return {};
}

int LastListedLine(const ProgramStore& store, const std::vector<std::string>& texts) {
  for (int n = ProgramStore::kLastLine; n >= 3; --n) {
    const bool hasText = n < static_cast<int>(texts.size()) && !texts[n].empty();
    if (hasText || store.Lines[n].Function() == FunctionEnd) return n;
  }
  return 2;
}

std::vector<std::string> ListingLines(const ProgramStore& store, const std::vector<std::string>& texts,
                                      const std::vector<std::string>& comments) {
  static const std::string kNone;
  auto cell = [](const std::vector<std::string>& cells, int n) -> const std::string& {
    return n < static_cast<int>(cells.size()) ? cells[n] : kNone;
  };
  constexpr std::size_t kMaxLine = 403;
  constexpr std::size_t kMaxPadding = 85;
  const int last = LastListedLine(store, texts);
  std::size_t widest = 1;
  for (int n = 1; n <= last; ++n) widest = std::max(widest, cell(texts, n).size());

  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(last));
  for (int n = 1; n <= last; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, " %04d - ", n);
    std::string line = number + cell(texts, n);
    if (line.size() < widest + 10) line.append(std::min(widest + 10 - line.size(), kMaxPadding), ' ');
    line += " // ";
    line += cell(comments, n);
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string WriteListingFile(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  return WriteFile(path, bytes, {});
}
