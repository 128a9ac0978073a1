#include "platform/profile.h"

#include <mutex>
#include <optional>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace platform {

namespace {

std::mutex writeLock;
AtomicFileWriter::WriteFunction writeFunction;
thread_local std::string lastError;

// Blanks and tabs, as the profile calls trim them (other control characters are data).
std::string TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t b = 0, e = s.size();
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// One line of the file as it stands, with what it means.
struct Line {
  enum class Kind { Other, Section, Entry } What = Kind::Other;
  std::string Text;
  std::string Name;   // section name or key, trimmed
  std::string Value;  // entry value, trimmed
  std::string End;    // the line's own end ("\r\n" or "\n"); none for a new line or an unended one without CR
};

struct Document {
  std::vector<Line> Lines;
  std::string LineEnd = "\r\n";  // for lines that have none of their own

  // Index of the header of the first section of that name, or npos.
  std::size_t FindSection(const std::string& section) const {
    for (std::size_t i = 0; i < Lines.size(); ++i)
      if (Lines[i].What == Line::Kind::Section && SameText(Lines[i].Name, section)) return i;
    return std::string::npos;
  }
  // One past the last line of the section whose header is at `header`.
  std::size_t SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < Lines.size() && Lines[i].What != Line::Kind::Section) ++i;
    return i;
  }
  std::size_t FindKey(std::size_t header, const std::string& key) const {
    for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
      if (Lines[i].What == Line::Kind::Entry && SameText(Lines[i].Name, key)) return i;
    return std::string::npos;
  }
  const Line* Entry(const std::string& section, const std::string& key) const {
    std::size_t header = FindSection(section);
    if (header == std::string::npos) return nullptr;
    std::size_t at = FindKey(header, key);
    return at == std::string::npos ? nullptr : &Lines[at];
  }
};

Line ParseLine(std::string text) {
  Line line;
  std::string trimmed = TrimBlanks(text);
  if (!trimmed.empty() && trimmed.front() == '[') {
    std::size_t close = trimmed.find(']');
    line.What = Line::Kind::Section;
    line.Name =
        TrimBlanks(std::string_view(trimmed).substr(1, close == std::string::npos ? std::string::npos : close - 1));
  } else if (!trimmed.empty() && trimmed.front() != ';') {
    std::size_t eq = trimmed.find('=');
    if (eq != std::string::npos) {
      line.What = Line::Kind::Entry;
      line.Name = TrimBlanks(std::string_view(trimmed).substr(0, eq));
      line.Value = TrimBlanks(std::string_view(trimmed).substr(eq + 1));
    }
  }
  line.Text = std::move(text);
  return line;
}

Document Load(const std::string& path) {
  Document doc;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return doc;
  // New lines take the line end of the file's first line. Every line keeps its own, so that a CR that
  // belongs to a line's text (before its CR LF) stays there when another line is written.
  if (std::size_t first = bytes.find('\n'); first != std::string::npos && (first == 0 || bytes[first - 1] != '\r'))
    doc.LineEnd = "\n";
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const bool ended = end != std::string::npos;
    if (!ended) end = bytes.size();
    std::string text = bytes.substr(start, end - start);
    const bool cr = !text.empty() && text.back() == '\r';
    if (cr) text.pop_back();
    Line line = ParseLine(std::move(text));
    // An unended last line whose carriage return was taken for its end gets CR LF, and keeps its text.
    if (ended || cr) line.End = cr ? "\r\n" : "\n";
    doc.Lines.push_back(std::move(line));
    start = end + 1;
  }
  return doc;
}

bool Fail(const std::string& why) {
  lastError = why;
  return false;
}

bool IsBareName(const std::string& name) { return name.find_first_of("/\\") == std::string::npos; }

// `path` is where `file` lives; a bare name's folder is made here, by the write, never by a read.
bool Save(const std::string& file, const std::string& path, const Document& doc) {
  if (path.empty() || (IsBareName(file) && UsableConfigDirectory().empty()))
    return Fail("the settings folder is not used, so a file named without a folder is not kept");
  std::string bytes;
  for (const Line& line : doc.Lines) bytes += line.Text + (line.End.empty() ? doc.LineEnd : line.End);
  AtomicFileWriter::WriteFunction write;
  {
    std::lock_guard lock(writeLock);
    write = writeFunction;
  }
  AtomicFileWriter writer(path, write);
  writer.Write(bytes);
  if (!writer.Commit()) return Fail(writer.Error());
  lastError.clear();
  return true;
}

std::optional<std::string> CheckedSection(const std::string& section) {
  std::string name = TrimBlanks(section);
  if (name.empty() || HasLineBreak(name) || name.find(']') != std::string::npos) return std::nullopt;
  return name;
}

std::optional<std::string> CheckedKey(const std::string& key) {
  std::string name = TrimBlanks(key);
  if (name.empty() || HasLineBreak(name) || name.find('=') != std::string::npos || name.front() == '[' ||
      name.front() == ';')
    return std::nullopt;
  return name;
}

}  // namespace

// A folder another user may change is no more trusted with these files than with the settings.
std::string WindowsDirectory() { return CheckedConfigDirectory(); }

std::string ProfilePath(const std::string& name) {
  if (!IsBareName(name)) return ResolveFileCase(name);
  const std::string dir = WindowsDirectory();
  return dir.empty() ? "" : ResolveFileCase(JoinPath(dir, name));
}

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
  Document doc = Load(ProfilePath(file));
  const Line* entry = doc.Entry(TrimBlanks(section), TrimBlanks(key));
  return entry ? entry->Value : defaultValue;
}

std::int32_t ReadProfileInteger(const std::string& file, const std::string& section, const std::string& key,
                                std::int32_t defaultValue) {
  std::string value = ReadProfileString(file, section, key, "");
  if (value.empty()) return defaultValue;
  std::size_t i = 0;
  bool negative = false;
  if (value[i] == '-' || value[i] == '+') negative = value[i++] == '-';
  std::uint32_t n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
    n = n * 10u + static_cast<std::uint32_t>(value[i] - '0');
  // 32-bit wrap-around, as the original's conversion.
  return static_cast<std::int32_t>(negative ? 0u - n : n);
}

std::vector<std::string> ProfileSectionNames(const std::string& file) {
  std::vector<std::string> names;
  for (const Line& line : Load(ProfilePath(file)).Lines)
    if (line.What == Line::Kind::Section) names.push_back(line.Name);
  return names;
}

namespace {

// Sets `key=value` in the document; "" when done, else why the file cannot hold it.
std::string SetEntry(Document& doc, const std::string& section, const std::string& key, const std::string& value) {
  std::optional<std::string> sectionName = CheckedSection(section);
  if (!sectionName) return "a profile section cannot be named \"" + section + "\"";
  std::optional<std::string> keyName = CheckedKey(key);
  if (!keyName) return "a profile key cannot be named \"" + key + "\"";
  if (HasLineBreak(value)) return "a profile value cannot hold a line break";

  std::size_t header = doc.FindSection(*sectionName);
  if (header == std::string::npos) {
    doc.Lines.push_back(ParseLine("[" + *sectionName + "]"));
    doc.Lines.push_back(ParseLine(*keyName + "=" + value));
    return "";
  }
  std::size_t at = doc.FindKey(header, *keyName);
  if (at != std::string::npos) {
    Line changed = ParseLine(doc.Lines[at].Name + "=" + value);
    changed.End = doc.Lines[at].End;
    doc.Lines[at] = std::move(changed);
    return "";
  }
  // After the section's last non-blank line, so blank lines keep separating the sections.
  std::size_t insert = doc.SectionEnd(header);
  while (insert > header + 1 && TrimBlanks(doc.Lines[insert - 1].Text).empty()) --insert;
  doc.Lines.insert(doc.Lines.begin() + static_cast<std::ptrdiff_t>(insert), ParseLine(*keyName + "=" + value));
  return "";
}

// True when there was something to remove.
bool RemoveKey(Document& doc, const std::string& section, const std::string& key) {
  std::size_t header = doc.FindSection(TrimBlanks(section));
  std::size_t at = header == std::string::npos ? header : doc.FindKey(header, TrimBlanks(key));
  if (at == std::string::npos) return false;
  doc.Lines.erase(doc.Lines.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

bool RemoveSection(Document& doc, const std::string& section) {
  std::size_t header = doc.FindSection(TrimBlanks(section));
  if (header == std::string::npos) return false;
  doc.Lines.erase(doc.Lines.begin() + static_cast<std::ptrdiff_t>(header),
                  doc.Lines.begin() + static_cast<std::ptrdiff_t>(doc.SectionEnd(header)));
  return true;
}

std::vector<std::string> KeysOf(const Document& doc, const std::string& section) {
  std::vector<std::string> names;
  std::size_t header = doc.FindSection(TrimBlanks(section));
  if (header == std::string::npos) return names;
  for (std::size_t i = header + 1, end = doc.SectionEnd(header); i < end; ++i)
    if (doc.Lines[i].What == Line::Kind::Entry) names.push_back(doc.Lines[i].Name);
  return names;
}

}  // namespace

std::vector<std::string> ProfileKeyNames(const std::string& file, const std::string& section) {
  return KeysOf(Load(ProfilePath(file)), section);
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
  const std::string path = ProfilePath(file);
  Document doc = Load(path);
  if (std::string why = SetEntry(doc, section, key, value); !why.empty()) return Fail(why);
  return Save(file, path, doc);
}

bool WriteProfileInteger(const std::string& file, const std::string& section, const std::string& key,
                         std::int32_t value) {
  return WriteProfileString(file, section, key, std::to_string(value));
}

bool DeleteProfileKey(const std::string& file, const std::string& section, const std::string& key) {
  const std::string path = ProfilePath(file);
  Document doc = Load(path);
  lastError.clear();
  return !RemoveKey(doc, section, key) || Save(file, path, doc);
}

bool DeleteProfileSection(const std::string& file, const std::string& section) {
  const std::string path = ProfilePath(file);
  Document doc = Load(path);
  lastError.clear();
  return !RemoveSection(doc, section) || Save(file, path, doc);
}

struct ProfileImage::State {
  std::string File;
  std::string Path;
  Document Doc;
  bool Changed = false;
};

ProfileImage::ProfileImage(const std::string& file) : state_(std::make_unique<State>()) {
  state_->File = file;
  state_->Path = ProfilePath(file);
  state_->Doc = Load(state_->Path);
}

ProfileImage::~ProfileImage() = default;

std::string ProfileImage::ReadString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue) const {
  const Line* entry = state_->Doc.Entry(TrimBlanks(section), TrimBlanks(key));
  return entry ? entry->Value : defaultValue;
}

std::vector<std::string> ProfileImage::KeyNames(const std::string& section) const {
  return KeysOf(state_->Doc, section);
}

bool ProfileImage::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  Document changed = state_->Doc;
  if (std::string why = SetEntry(changed, section, key, value); !why.empty()) return Fail(why);
  state_->Doc = std::move(changed);
  state_->Changed = true;
  return true;
}

bool ProfileImage::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

void ProfileImage::DeleteKey(const std::string& section, const std::string& key) {
  if (RemoveKey(state_->Doc, section, key)) state_->Changed = true;
}

void ProfileImage::DeleteSection(const std::string& section) {
  if (RemoveSection(state_->Doc, section)) state_->Changed = true;
}

bool ProfileImage::Save() {
  if (!state_->Changed) return true;
  if (!platform::Save(state_->File, state_->Path, state_->Doc)) return false;
  state_->Changed = false;
  return true;
}

const std::string& LastProfileError() { return lastError; }

AtomicFileWriter::WriteFunction SetProfileWriteFunction(AtomicFileWriter::WriteFunction write) {
  std::lock_guard lock(writeLock);
  std::swap(writeFunction, write);
  return write;
}

}  // namespace platform
