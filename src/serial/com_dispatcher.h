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

// The trace and the dispatch log of one dispatcher, with the front ends the port component calls.
class TLkRecorders {
 public:
  explicit TLkRecorders(TLkBaseDispatcher& dispatcher) : d_(dispatcher) {}
  virtual ~TLkRecorders() = default;

  std::int32_t InitTracing(std::uint32_t numEntries);
  void StartTracing();
  void StopTracing();
  std::int32_t ClearTracing();
  void AbortTracing();
  std::int32_t DumpTrace(const std::string& fileName, bool inHex, bool allHex);
  std::int32_t AppendTrace(const std::string& fileName, bool inHex, bool allHex);
  // Records a pair when a trace exists, whether it is on or not.
  void AddTraceEntryPublic(char kind, std::uint8_t c);

  std::int32_t InitDispatchLogging(std::uint32_t size);
  void StartDispatchLogging();
  void StopDispatchLogging();
  void ClearDispatchLogging();
  void AbortDispatchLogging();
  std::int32_t DumpDispatchLog(const std::string& fileName, bool inHex, bool allHex);
  std::int32_t AppendDispatchLog(const std::string& fileName, bool inHex, bool allHex);
  std::uint32_t GetDispatchTime() const;

  // The dispatcher's own ProcessCommunications.
  virtual std::int32_t RunProcessCommunications() = 0;

  // Read access for tests and the component (DataLock taken).
  bool TraceExists();
  bool LogExists();

 protected:
  // The dispatcher's recording hooks; DataLock is held by the caller.
  void RecordTrace(char kind, std::uint8_t c);
  void RecordDispatch(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* buffer,
                      std::uint32_t bufLen);

 private:
  std::int32_t DumpTracePrim(const std::string& fileName, bool append, bool inHex, bool allHex);
  std::int32_t DumpLogPrim(const std::string& fileName, bool append, bool inHex, bool allHex);
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
