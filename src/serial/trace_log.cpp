#include "serial/trace_log.h"

#include <sys/utsname.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/paths.h"
#include "serial/error_codes.h"
#include "serial/error_text.h"
#include "serial/timing.h"

namespace serial {

namespace {

// A dump file: opened for appending (when asked and it exists) or anew, every failure kept as the
// library's code of the first errno seen.
class DumpFile {
 public:
  DumpFile(const std::string& name, bool append) {
    // Appending to a file that does not exist yet makes it, as a fresh dump would.
    file_ = std::fopen(platform::NativePath(name).c_str(), append ? "ab" : "wb");
    if (!file_) error_ = SystemErrorCode(errno);
    if (file_) std::setvbuf(file_, nullptr, _IOFBF, 512);
  }
  ~DumpFile() {
    if (file_) std::fclose(file_);
  }
  bool Opened() const { return file_ != nullptr; }
  std::int32_t Error() const { return error_; }
  void Write(const std::string& s) {
    if (file_ && error_ == 0 && !s.empty() && std::fwrite(s.data(), 1, s.size(), file_) != s.size())
      error_ = SystemErrorCode(errno);
  }
  void Line(const std::string& s = {}) {
    Write(s);
    Write(kDumpLineEnd);
  }
  std::int32_t Close() {
    if (file_ && std::fclose(file_) != 0 && error_ == 0) error_ = SystemErrorCode(errno);
    file_ = nullptr;
    return error_;
  }

 private:
  std::FILE* file_ = nullptr;
  std::int32_t error_ = 0;
};

// One byte as the dumps show it, and its width.
std::string ByteItem(std::uint8_t c, bool inHex, bool allHex) {
  char buf[8];
  if (allHex) {
    std::snprintf(buf, sizeof buf, "[%02X]", c);
    return buf;
  }
  std::uint8_t lowest = inHex ? 0x21 : 0x20;
  if (c >= lowest && c <= 0x7E) return std::string(1, static_cast<char>(c));
  if (inHex)
    std::snprintf(buf, sizeof buf, "[%02X]", c);
  else
    std::snprintf(buf, sizeof buf, "[%u]", c);
  return buf;
}

std::string Text(std::int32_t id) { return ErrorStringResource().GetString(id); }

std::string Trimmed(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

}  // namespace

// Trace

std::int32_t TLkTrace::InitTracing(std::uint32_t numEntries) {
  if (!HasBuffer()) {
    if (numEntries == 0 || numEntries > kMaxTraceEntries) return ecBadArgument;
    TraceBuffer.assign(static_cast<std::size_t>(numEntries) * 2, 0);
    TraceMax = numEntries;
    TraceIndex = 0;
    TraceWrapped = false;
  } else {
    ClearTracing();
  }
  TracingOn = true;
  return 0;
}

void TLkTrace::AddTraceEntry(char kind, std::uint8_t c) {
  if (!HasBuffer()) return;
  TraceBuffer[TraceIndex * 2] = static_cast<std::uint8_t>(kind);
  TraceBuffer[TraceIndex * 2 + 1] = c;
  if (++TraceIndex == TraceMax) {
    TraceIndex = 0;
    TraceWrapped = true;
  }
}

std::int32_t TLkTrace::ClearTracing() {
  TraceIndex = 0;
  TraceWrapped = false;
  return 0;
}

void TLkTrace::AbortTracing() {
  TracingOn = false;
  std::vector<std::uint8_t>().swap(TraceBuffer);
  TraceMax = TraceIndex = 0;
  TraceWrapped = false;
}

std::int32_t TLkTrace::DumpTracePrim(const std::string& fileName, bool append, bool inHex, bool allHex) {
  if (!HasBuffer()) return 0;
  TracingOn = false;
  std::uint32_t first = TraceWrapped ? TraceIndex : 0;
  if (!TraceWrapped && TraceIndex == 0) {
    AbortTracing();
    return 0;
  }
  DumpFile f(fileName, append);
  if (!f.Opened()) {
    std::int32_t rc = f.Error();
    AbortTracing();
    return rc;
  }
  char lastKind = 0;
  bool firstBlock = true;
  int column = 0;
  std::uint32_t i = first;
  do {
    char kind = static_cast<char>(TraceBuffer[i * 2]);
    std::uint8_t c = TraceBuffer[i * 2 + 1];
    if (firstBlock || kind != lastKind) {
      if (!firstBlock) f.Line(kDumpLineEnd);
      firstBlock = false;
      if (kind == 'T')
        f.Line("Transmit: ");
      else if (kind == 'R')
        f.Line("Receive: ");
      else
        f.Line(std::string("Special-") + kind + ": ");
      column = 0;
      lastKind = kind;
    }
    std::string item = ByteItem(c, inHex, allHex);
    int width = static_cast<int>(item.size());
    column += width;
    if (column >= 79) {
      f.Write(kDumpLineEnd);
      column = width;
    }
    f.Write(item);
    if (++i == TraceMax) i = 0;
  } while (i != TraceIndex);
  std::int32_t rc = f.Close();
  AbortTracing();
  return rc;
}

// Dispatch log

std::int32_t TLkDispatchLog::InitDispatchLogging(std::uint32_t size, std::uint32_t scratchSize) {
  if (HasLog()) {
    ClearDispatchLogging();
    return 0;
  }
  if (size == 0 || size > kMaxLogSize) return ecBadArgument;
  LogBuffer.assign(size, 0);
  LogSize = LogFree = size;
  LogHead = LogTail = 0;
  LogScratch = scratchSize;
  LoggingOn = true;
  return 0;
}

void TLkDispatchLog::AbortDispatchLogging() {
  LoggingOn = false;
  std::vector<std::uint8_t>().swap(LogBuffer);
  LogHead = LogTail = LogFree = LogSize = LogScratch = 0;
}

void TLkDispatchLog::ClearDispatchLogging() {
  LogHead = LogTail = 0;
  LogFree = LogSize;
}

void TLkDispatchLog::AddDispatchEntry(std::uint8_t type, std::uint8_t subType, std::uint32_t time, std::uint32_t data,
                                      const void* buffer, std::uint32_t bufLen) {
  if (!HasLog()) return;
  // Header and data go in as one piece, so the ring never holds a header without its data.
  if (bufLen > LogScratch || static_cast<std::uint64_t>(bufLen) + kHeaderSize >= LogSize) return;
  TDispatchRecord rec;
  rec.Type = type;
  rec.SubType = subType;
  rec.Time = time;
  rec.Data = data;
  rec.DataLen = bufLen;
  std::vector<std::uint8_t> entry(kHeaderSize + bufLen);
  std::memcpy(entry.data(), &rec, kHeaderSize);
  if (bufLen) std::memcpy(entry.data() + kHeaderSize, buffer, bufLen);
  PushDLEntry(entry.data(), static_cast<std::uint32_t>(entry.size()));
}

bool TLkDispatchLog::PushDLEntry(const void* buf, std::uint32_t len) {
  if (len >= LogSize) return false;
  TDispatchRecord rec;
  std::vector<std::uint8_t> dropped;
  while (len > LogFree)
    if (PopLastDLEntry(rec, dropped)) break;
  const auto* bytes = static_cast<const std::uint8_t*>(buf);
  std::uint32_t first = std::min(len, LogSize - LogHead);
  std::memcpy(LogBuffer.data() + LogHead, bytes, first);
  std::memcpy(LogBuffer.data(), bytes + first, len - first);
  LogHead = (LogHead + len) % LogSize;
  LogFree -= len;
  return true;
}

void TLkDispatchLog::CopyOut(std::uint32_t from, void* to, std::uint32_t len) const {
  auto* out = static_cast<std::uint8_t*>(to);
  std::uint32_t first = std::min(len, LogSize - from);
  std::memcpy(out, LogBuffer.data() + from, first);
  std::memcpy(out + first, LogBuffer.data(), len - first);
}

bool TLkDispatchLog::PopLastDLEntry(TDispatchRecord& rec, std::vector<std::uint8_t>& data) {
  if (!HasLog() || LogFree == LogSize) return true;
  CopyOut(LogTail, &rec, kHeaderSize);
  LogTail = (LogTail + kHeaderSize) % LogSize;
  data.resize(rec.DataLen);
  if (rec.DataLen) CopyOut(LogTail, data.data(), rec.DataLen);
  LogTail = (LogTail + rec.DataLen) % LogSize;
  LogFree += kHeaderSize + rec.DataLen;
  return false;
}

std::int32_t TLkDispatchLog::DumpDispatchLogPrim(const std::string& fileName, bool append, bool inHex, bool allHex) {
  if (!HasLog() || LogFree == LogSize) {
    AbortDispatchLogging();
    return 0;
  }
  LoggingOn = false;
  DumpFile f(fileName, append);
  if (!f.Opened()) return f.Error();

  f.Line("LK v3.03");
  f.Line("Compiler : " + CompilerName());
  f.Line("Operating System : " + OperatingSystemDescription());
  f.Line(Text(15501));
  f.Line(Text(15502));

  static const char* const kStatusKinds[] = {"(Not active)",         "(Modem status)",       "(Line status)",
                                             "(Output buffer free)", "(Output buffer used)", "(Output sent)"};
  TDispatchRecord rec;
  std::vector<std::uint8_t> data;
  while (!PopLastDLEntry(rec, data)) {
    char head[128];
    std::snprintf(head, sizeof head, "%8s  %-8s  %-12s  %.8x  ", DispatchTimeText(rec.Time).c_str(),
                  Text(15001 + rec.Type).c_str(), rec.SubType ? Text(15100 + rec.SubType).c_str() : "", rec.Data);
    std::string line = head;
    if (data.empty()) {
      if (rec.Type == 10) {
        std::string name = rec.Data <= 42 ? Text(15700 + static_cast<std::int32_t>(rec.Data)) : std::string();
        line = Trimmed(line + " [" + name + "]");
      }
      f.Line(line);
      continue;
    }
    if ((rec.Type == 5 || rec.Type == 6) && rec.SubType == 15) {
      line += data[0] < 6 ? kStatusKinds[data[0]] : "";
    } else {
      int column = 45;
      for (std::uint8_t c : data) {
        std::string item = rec.Type == 19 && allHex ? std::string(1, static_cast<char>(c)) : ByteItem(c, inHex, allHex);
        int width = static_cast<int>(item.size());
        if (column + width > 78) {
          line += kDumpLineEnd;
          line += std::string(44, ' ');
          column = 45 + width;
        } else {
          column += width;
        }
        line += item;
      }
    }
    if (rec.SubType == 4) {
      std::string names;
      for (int bit = 0; bit < 8; ++bit)
        if (rec.Data & (1u << bit)) names += Text(15601 + bit);
      line += " (" + Trimmed(names) + ")";
    }
    f.Line(line);
  }
  std::int32_t rc = f.Close();
  AbortDispatchLogging();
  return rc;
}

std::string DispatchTimeText(std::uint32_t ms) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", ms);
  std::string s = digits;
  s.insert(s.size() - 3, ".");
  return s;
}

std::string CompilerName() {
#if defined(__clang__)
  return "clang " __clang_version__;
#elif defined(__GNUC__)
  return "g++ " __VERSION__;
#else
  return "C++";
#endif
}

std::string OperatingSystemDescription() {
  // Not one of the platform identifiers the original knew; then the kernel's version.
  std::string text = "Unknown";
  utsname u{};
  if (::uname(&u) == 0) {
    unsigned major = 0, minor = 0;
    std::sscanf(u.release, "%u.%u", &major, &minor);
    text += std::to_string(major) + "." + std::to_string(minor) + " " + u.sysname;
  }
  return text.substr(0, 80);
}

}  // namespace serial
