#include "serial/com_dispatcher.h"

#include <algorithm>
#include <mutex>

#include "serial/timing.h"

namespace serial {

void TLkRecorders::SyncFlags() {
  d_.TracingOn = trace_.TracingOn;
  d_.LoggingOn = log_.LoggingOn;
}

std::int32_t TLkRecorders::InitTracing(std::uint32_t numEntries) {
  std::lock_guard lock(d_.DataLock);
  std::int32_t rc = trace_.InitTracing(numEntries);
  SyncFlags();
  return rc;
}

void TLkRecorders::StartTracing() {
  std::lock_guard lock(d_.DataLock);
  trace_.StartTracing();
  SyncFlags();
}

void TLkRecorders::StopTracing() {
  std::lock_guard lock(d_.DataLock);
  trace_.StopTracing();
  SyncFlags();
}

std::int32_t TLkRecorders::ClearTracing() {
  std::lock_guard lock(d_.DataLock);
  return trace_.ClearTracing();
}

void TLkRecorders::AbortTracing() {
  std::lock_guard lock(d_.DataLock);
  trace_.AbortTracing();
  SyncFlags();
}

std::int32_t TLkRecorders::DumpTracePrim(const std::string& fileName, bool append, bool inHex, bool allHex) {
  std::lock_guard lock(d_.DataLock);
  std::int32_t rc = trace_.DumpTracePrim(fileName, append, inHex, allHex);
  SyncFlags();
  return rc;
}

std::int32_t TLkRecorders::DumpTrace(const std::string& fileName, bool inHex, bool allHex) {
  return DumpTracePrim(fileName, false, inHex, allHex);
}

std::int32_t TLkRecorders::AppendTrace(const std::string& fileName, bool inHex, bool allHex) {
  return DumpTracePrim(fileName, true, inHex, allHex);
}

void TLkRecorders::AddTraceEntryPublic(char kind, std::uint8_t c) {
  std::lock_guard lock(d_.DataLock);
  trace_.AddTraceEntry(kind, c);
}

std::int32_t TLkRecorders::InitDispatchLogging(std::uint32_t size) {
  std::lock_guard lock(d_.DataLock);
  std::int32_t rc = log_.InitDispatchLogging(size, std::max(d_.InQueueSize, d_.OutQueueSize));
  SyncFlags();
  return rc;
}

void TLkRecorders::StartDispatchLogging() {
  std::lock_guard lock(d_.DataLock);
  log_.StartDispatchLogging();
  SyncFlags();
}

void TLkRecorders::StopDispatchLogging() {
  std::lock_guard lock(d_.DataLock);
  log_.StopDispatchLogging();
  SyncFlags();
}

void TLkRecorders::ClearDispatchLogging() {
  std::lock_guard lock(d_.DataLock);
  log_.ClearDispatchLogging();
}

void TLkRecorders::AbortDispatchLogging() {
  std::lock_guard lock(d_.DataLock);
  log_.AbortDispatchLogging();
  SyncFlags();
}

std::int32_t TLkRecorders::DumpLogPrim(const std::string& fileName, bool append, bool inHex, bool allHex) {
  std::lock_guard lock(d_.DataLock);
  std::int32_t rc = log_.DumpDispatchLogPrim(fileName, append, inHex, allHex);
  SyncFlags();
  return rc;
}

std::int32_t TLkRecorders::DumpDispatchLog(const std::string& fileName, bool inHex, bool allHex) {
  return DumpLogPrim(fileName, false, inHex, allHex);
}

std::int32_t TLkRecorders::AppendDispatchLog(const std::string& fileName, bool inHex, bool allHex) {
  return DumpLogPrim(fileName, true, inHex, allHex);
}

std::uint32_t TLkRecorders::GetDispatchTime() const { return LkTimeGetTime() - d_.TimeBase; }

bool TLkRecorders::TraceExists() {
  std::lock_guard lock(d_.DataLock);
  return trace_.HasBuffer();
}

bool TLkRecorders::LogExists() {
  std::lock_guard lock(d_.DataLock);
  return log_.HasLog();
}

void TLkRecorders::RecordTrace(char kind, std::uint8_t c) { trace_.AddTraceEntry(kind, c); }

void TLkRecorders::RecordDispatch(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* buffer,
                                  std::uint32_t bufLen) {
  if (log_.LoggingOn) log_.AddDispatchEntry(type, subType, GetDispatchTime(), data, buffer, bufLen);
}

}  // namespace serial
