#include "serial/com_dispatcher.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <utility>

#include "serial/timing.h"

namespace serial {

void TLkRecorders::SyncFlags() {
  d_.TracingOn = trace_.TracingOn;
  d_.LoggingOn = log_.LoggingOn;
}

std::int32_t TLkRecorders::InitRecorder(TRecorder which, std::uint32_t size) {
  std::lock_guard lock(d_.DataLock);
  std::int32_t rc = which == TRecorder::Trace
                        ? trace_.InitTracing(size)
                        : log_.InitDispatchLogging(size, std::max(d_.InQueueSize, d_.OutQueueSize));
  SyncFlags();
  return rc;
}

void TLkRecorders::SwitchRecorder(TRecorder which, bool on) {
  std::lock_guard lock(d_.DataLock);
  if (which == TRecorder::Trace)
    on ? trace_.StartTracing() : trace_.StopTracing();
  else
    on ? log_.StartDispatchLogging() : log_.StopDispatchLogging();
  SyncFlags();
}

std::int32_t TLkRecorders::ClearRecorder(TRecorder which) {
  std::lock_guard lock(d_.DataLock);
  if (which == TRecorder::Trace) return trace_.ClearTracing();
  log_.ClearDispatchLogging();
  return 0;
}

void TLkRecorders::AbortRecorder(TRecorder which) {
  std::lock_guard lock(d_.DataLock);
  which == TRecorder::Trace ? trace_.AbortTracing() : log_.AbortDispatchLogging();
  SyncFlags();
}

namespace {

// A dump takes the recorder out under DataLock and writes it without: the file may be slow (or a pipe),
// and the dispatch thread records under that lock. What the dump leaves held (a log whose file could not
// be made) goes back, unless a new recorder was started meanwhile.
template <class Recorder, class Dump, class Held>
std::int32_t TakeAndDump(std::mutex& lock, Recorder& recorder, const std::function<void()>& sync, Dump dump,
                         Held held) {
  Recorder taken;
  {
    std::lock_guard guard(lock);
    taken = std::exchange(recorder, Recorder{});
    sync();
  }
  std::int32_t rc = dump(taken);
  if (held(taken)) {
    std::lock_guard guard(lock);
    if (!held(recorder)) recorder = std::move(taken);
  }
  return rc;
}

}  // namespace

std::int32_t TLkRecorders::DumpRecorder(TRecorder which, const std::string& fileName, bool append, bool inHex,
                                        bool allHex) {
  auto sync = [this] { SyncFlags(); };
  if (which == TRecorder::Trace)
    return TakeAndDump(
        d_.DataLock, trace_, sync, [&](TLkTrace& t) { return t.DumpTracePrim(fileName, append, inHex, allHex); },
        [](const TLkTrace& t) { return t.HasBuffer(); });
  return TakeAndDump(
      d_.DataLock, log_, sync,
      [&](TLkDispatchLog& l) { return l.DumpDispatchLogPrim(fileName, append, inHex, allHex); },
      [](const TLkDispatchLog& l) { return l.HasLog(); });
}

void TLkRecorders::AddTraceEntryPublic(char kind, std::uint8_t c) {
  std::lock_guard lock(d_.DataLock);
  trace_.AddTraceEntry(kind, c);
}

bool TLkRecorders::RecorderExists(TRecorder which) {
  std::lock_guard lock(d_.DataLock);
  return which == TRecorder::Trace ? trace_.HasBuffer() : log_.HasLog();
}

std::uint32_t TLkRecorders::GetDispatchTime() const { return LkTimeGetTime() - d_.TimeBase; }

void TLkRecorders::RecordTrace(char kind, std::uint8_t c) { trace_.AddTraceEntry(kind, c); }

void TLkRecorders::RecordDispatch(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* buffer,
                                  std::uint32_t bufLen) {
  if (log_.LoggingOn) log_.AddDispatchEntry(type, subType, GetDispatchTime(), data, buffer, bufLen);
}

}  // namespace serial
