#pragma once
// The dispatcher a port component opens: the platform dispatcher with the trace and the dispatch log
// recording what it does. The recorders live here, beside the dispatcher, and are reached under its
// DataLock.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "serial/trace_log.h"
#include "serial/win32_dispatcher.h"

namespace serial {

// Which of a dispatcher's two recorders a front end works on.
enum class TRecorder { Trace, Log };

// The trace and the dispatch log of one dispatcher, with the front ends the port component calls. Each
// front end is one routine for both recorders, under DataLock; the library's names for them are thin
// entry points.
class TLkRecorders {
 public:
  explicit TLkRecorders(TLkBaseDispatcher& dispatcher) : d_(dispatcher) {}
  virtual ~TLkRecorders() = default;

  // A fresh recorder of `size` (trace entries, log bytes), or the existing one cleared.
  std::int32_t InitRecorder(TRecorder which, std::uint32_t size);
  // Switches recording on or off, keeping what was recorded.
  void SwitchRecorder(TRecorder which, bool on);
  std::int32_t ClearRecorder(TRecorder which);
  void AbortRecorder(TRecorder which);
  // Writes the recorder to its file (appended when `append` and the file exists) and releases it. 0, or
  // the negated I/O error; a log whose file could not be made stays in memory, switched off.
  std::int32_t DumpRecorder(TRecorder which, const std::string& fileName, bool append, bool inHex, bool allHex);
  bool RecorderExists(TRecorder which);

  std::int32_t InitTracing(std::uint32_t numEntries) { return InitRecorder(TRecorder::Trace, numEntries); }
  void StartTracing() { SwitchRecorder(TRecorder::Trace, true); }
  void StopTracing() { SwitchRecorder(TRecorder::Trace, false); }
  std::int32_t ClearTracing() { return ClearRecorder(TRecorder::Trace); }
  void AbortTracing() { AbortRecorder(TRecorder::Trace); }
  std::int32_t DumpTrace(const std::string& fileName, bool inHex, bool allHex) {
    return DumpRecorder(TRecorder::Trace, fileName, false, inHex, allHex);
  }
  std::int32_t AppendTrace(const std::string& fileName, bool inHex, bool allHex) {
    return DumpRecorder(TRecorder::Trace, fileName, true, inHex, allHex);
  }
  // Records a pair when a trace exists, whether it is on or not.
  void AddTraceEntryPublic(char kind, std::uint8_t c);

  std::int32_t InitDispatchLogging(std::uint32_t size) { return InitRecorder(TRecorder::Log, size); }
  void StartDispatchLogging() { SwitchRecorder(TRecorder::Log, true); }
  void StopDispatchLogging() { SwitchRecorder(TRecorder::Log, false); }
  void ClearDispatchLogging() { ClearRecorder(TRecorder::Log); }
  void AbortDispatchLogging() { AbortRecorder(TRecorder::Log); }
  std::int32_t DumpDispatchLog(const std::string& fileName, bool inHex, bool allHex) {
    return DumpRecorder(TRecorder::Log, fileName, false, inHex, allHex);
  }
  std::int32_t AppendDispatchLog(const std::string& fileName, bool inHex, bool allHex) {
    return DumpRecorder(TRecorder::Log, fileName, true, inHex, allHex);
  }
  std::uint32_t GetDispatchTime() const;

  // The dispatcher's own ProcessCommunications.
  virtual std::int32_t RunProcessCommunications() = 0;

  bool TraceExists() { return RecorderExists(TRecorder::Trace); }
  bool LogExists() { return RecorderExists(TRecorder::Log); }

 protected:
  // The dispatcher's recording hooks; DataLock is held by the caller.
  void RecordTrace(char kind, std::uint8_t c);
  void RecordDispatch(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* buffer,
                      std::uint32_t bufLen);

 private:
  void SyncFlags();  // the dispatcher's TracingOn/LoggingOn follow the recorders

  TLkBaseDispatcher& d_;
  TLkTrace trace_;
  TLkDispatchLog log_;
};

template <class Base>
class TLkRecordingDispatcher : public Base, public TLkRecorders {
 public:
  template <typename... Args>
  explicit TLkRecordingDispatcher(Args&&... args)
      : Base(std::forward<Args>(args)...), TLkRecorders(static_cast<TLkBaseDispatcher&>(*this)) {}
  // Closed here, while the recording hooks still exist and before any worker could call a lost one.
  ~TLkRecordingDispatcher() override { this->Shutdown(); }

  std::int32_t RunProcessCommunications() override { return this->ProcessCommunications(); }

 protected:
  void AddTraceEntry(char kind, std::uint8_t c) override { RecordTrace(kind, c); }
  void AddDispatchEntry(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* buffer,
                        std::uint32_t bufLen) override {
    RecordDispatch(type, subType, data, buffer, bufLen);
  }
};

using TLkComDispatcher = TLkRecordingDispatcher<TLkWin32Dispatcher>;
using TLkTapiComDispatcher = TLkRecordingDispatcher<TLkTAPI32Dispatcher>;

}  // namespace serial
