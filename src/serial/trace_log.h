#pragma once
// The dispatcher's two diagnostic recorders: the trace (every byte the application queued or took, in
// order) and the dispatch log (what the dispatcher did, with millisecond times). Both live in memory
// while the port runs and are written out only by a dump, which releases them. Callers hold the
// dispatcher's DataLock around every call; nothing here locks.
#include <cstdint>
#include <string>
#include <vector>

namespace serial {

inline constexpr std::uint32_t kMaxTraceEntries = 4'000'000;

// Line end of the dump files: the original's, so that dumps read the same wherever they are opened.
inline constexpr const char* kDumpLineEnd = "\r\n";

class TLkTrace {
 public:
  bool HasBuffer() const { return !TraceBuffer.empty(); }
  bool On() const { return TracingOn; }

  // A fresh trace of `numEntries` entries, or a cleared one when a trace exists; tracing is then on.
  // 0 or more than 4,000,000 entries is a bad argument and leaves everything as it was.
  std::int32_t InitTracing(std::uint32_t numEntries);
  void AddTraceEntry(char kind, std::uint8_t c);
  std::int32_t ClearTracing();
  void StartTracing() { TracingOn = HasBuffer(); }
  void StopTracing() { TracingOn = false; }
  void AbortTracing();

  // Writes the trace as text (appended when `append` and the file exists) and releases it. 0, or the
  // negated I/O error of the file. An empty trace writes no file.
  std::int32_t DumpTracePrim(const std::string& fileName, bool append, bool inHex, bool allHex);

  bool TracingOn = false;
  std::vector<std::uint8_t> TraceBuffer;  // pairs: kind, byte
  std::uint32_t TraceIndex = 0;
  std::uint32_t TraceMax = 0;
  bool TraceWrapped = false;
};

// Header of a dispatch-log entry; its data bytes follow it in the ring.
struct TDispatchRecord {
  std::uint8_t Type = 0;
  std::uint8_t SubType = 0;
  std::uint32_t Time = 0;
  std::uint32_t Data = 0;
  std::uint32_t DataLen = 0;
};

class TLkDispatchLog {
 public:
  static constexpr std::uint32_t kMaxLogSize = 16'000'000;
  static constexpr std::uint32_t kHeaderSize = sizeof(TDispatchRecord);

  bool HasLog() const { return !LogBuffer.empty(); }
  bool On() const { return LoggingOn; }

  // A fresh log of `size` bytes (logging on) with a scratch area of `scratchSize`; with a log already
  // there, only clears it. A zero size is a bad argument.
  std::int32_t InitDispatchLogging(std::uint32_t size, std::uint32_t scratchSize);
  void StartDispatchLogging() { LoggingOn = HasLog(); }
  void StopDispatchLogging() { LoggingOn = false; }
  void AbortDispatchLogging();
  void ClearDispatchLogging();

  // Stores one entry, header and data together or not at all. `time` is ms since the port opened.
  void AddDispatchEntry(std::uint8_t type, std::uint8_t subType, std::uint32_t time, std::uint32_t data,
                        const void* buffer, std::uint32_t bufLen);
  bool PushDLEntry(const void* buf, std::uint32_t len);
  // False with the oldest entry taken out; true when the log is empty.
  bool PopLastDLEntry(TDispatchRecord& rec, std::vector<std::uint8_t>& data);

  // Writes the log as a table and releases it. 0, or the negated I/O error of the file (when the file
  // cannot be made the log stays in memory). An empty log writes no file.
  std::int32_t DumpDispatchLogPrim(const std::string& fileName, bool append, bool inHex, bool allHex);

  bool LoggingOn = false;
  std::vector<std::uint8_t> LogBuffer;
  std::uint32_t LogHead = 0, LogTail = 0, LogFree = 0, LogSize = 0;
  std::uint32_t LogScratch = 0;

 private:
  void CopyOut(std::uint32_t from, void* to, std::uint32_t len) const;
};

// The dump's time column: ms as "%07.7d" with a dot before the last three digits (0012.345).
std::string DispatchTimeText(std::uint32_t ms);
// The texts of the dispatch log's header.
std::string CompilerName();
std::string OperatingSystemDescription();

}  // namespace serial
