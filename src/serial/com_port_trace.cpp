#include "serial/com_port.h"

#include <algorithm>

#include "serial/error_codes.h"

namespace serial {

namespace {

std::uint32_t SizeCap(TRecorder which) {
  return which == TRecorder::Trace ? kMaxTraceEntries : TLkDispatchLog::kMaxLogSize;
}

std::int32_t NotEnabled(TRecorder which) {
  return which == TRecorder::Trace ? ecTracingNotEnabled : ecLoggingNotEnabled;
}

}  // namespace

TLkRecorders* TLkCustomComPort::Recorders() const { return dynamic_cast<TLkRecorders*>(dispatcher_.get()); }

TTraceLogState& TLkCustomComPort::StateOf(TRecorder which) { return which == TRecorder::Trace ? tracing_ : logging_; }

std::uint32_t& TLkCustomComPort::SizeOf(TRecorder which) { return which == TRecorder::Trace ? traceSize_ : logSize_; }

void TLkCustomComPort::InitRecorder(TRecorder which, std::uint32_t size) {
  if (portState_ == 1) return;
  if (size != 0) SizeOf(which) = std::min(size, SizeCap(which));
  ValidDispatcher();
  auto* r = Recorders();
  Check(r ? r->InitRecorder(which, size) : NotEnabled(which));
  StateOf(which) = tlOn;
}

void TLkCustomComPort::SwitchRecorder(TRecorder which, bool on) {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->SwitchRecorder(which, on);
  StateOf(which) = on ? tlOn : tlPause;
}

void TLkCustomComPort::ClearRecorder(TRecorder which) {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) Check(r->ClearRecorder(which));
}

void TLkCustomComPort::AbortRecorder(TRecorder which) {
  if (portState_ == 1) return;
  ValidDispatcher();
  if (auto* r = Recorders()) r->AbortRecorder(which);
  StateOf(which) = tlOff;
}

void TLkCustomComPort::DumpRecorder(TRecorder which, bool append) {
  if (portState_ == 1) return;
  auto d = ValidDispatcher();
  auto* r = dynamic_cast<TLkRecorders*>(d.get());
  std::int32_t rc = NotEnabled(which);
  // The flags go by name: the hex flag is InHex, the all-hex flag AllHex.
  if (r && which == TRecorder::Trace) rc = r->DumpRecorder(which, traceName_, append, traceHex_, traceAllHex_);
  if (r && which == TRecorder::Log) rc = r->DumpRecorder(which, logName_, append, logHex_, logAllHex_);
  StateOf(which) = tlOff;  // a dump releases the recorder, whatever became of the file
  Check(rc);
}

// Tracing and logging share one state machine.
void TLkCustomComPort::SetRecorderState(TRecorder which, TTraceLogState state) {
  if (portState_ == 1) return;
  TTraceLogState& current = StateOf(which);
  if (portState_ != 2) {
    current = state == tlOn ? tlOn : tlOff;
    return;
  }
  if (state == current && !forceSettings_) return;
  bool active = current == tlOn || current == tlPause;
  switch (state) {
    case tlOff:
      if (active) AbortRecorder(which);
      break;
    case tlOn:
      if (current == tlPause)
        SwitchRecorder(which, true);
      else
        InitRecorder(which, SizeOf(which));
      break;
    case tlDump:
    case tlAppend:
      if (active) {
        SwitchRecorder(which, true);
        DumpRecorder(which, state == tlAppend);
      }
      break;
    case tlClear:
      if (active) ClearRecorder(which);
      break;
    case tlPause:
      if (current == tlOn) SwitchRecorder(which, false);
      break;
  }
}

void TLkCustomComPort::SetRecorderSize(TRecorder which, std::uint32_t size) {
  size = std::min(size, SizeCap(which));
  if (size == SizeOf(which)) return;
  SizeOf(which) = size;
  TTraceLogState previous = StateOf(which);
  if (portState_ == 2 && (previous == tlOn || previous == tlPause)) {
    AbortRecorder(which);
    SetRecorderState(which, previous);
  }
}

void TLkCustomComPort::InitTracing(std::uint32_t numEntries) { InitRecorder(TRecorder::Trace, numEntries); }
void TLkCustomComPort::StartTracing() { SwitchRecorder(TRecorder::Trace, true); }
void TLkCustomComPort::StopTracing() { SwitchRecorder(TRecorder::Trace, false); }
void TLkCustomComPort::ClearTracing() { ClearRecorder(TRecorder::Trace); }
void TLkCustomComPort::AbortTracing() { AbortRecorder(TRecorder::Trace); }
void TLkCustomComPort::DumpTrace() { DumpRecorder(TRecorder::Trace, false); }
void TLkCustomComPort::AppendTrace() { DumpRecorder(TRecorder::Trace, true); }
void TLkCustomComPort::SetTracing(TTraceLogState state) { SetRecorderState(TRecorder::Trace, state); }
void TLkCustomComPort::SetTraceSize(std::uint32_t size) { SetRecorderSize(TRecorder::Trace, size); }

void TLkCustomComPort::InitLogging(std::uint32_t size) { InitRecorder(TRecorder::Log, size); }
void TLkCustomComPort::StartLogging() { SwitchRecorder(TRecorder::Log, true); }
void TLkCustomComPort::StopLogging() { SwitchRecorder(TRecorder::Log, false); }
void TLkCustomComPort::ClearLogging() { ClearRecorder(TRecorder::Log); }
void TLkCustomComPort::AbortLogging() { AbortRecorder(TRecorder::Log); }
void TLkCustomComPort::DumpLog() { DumpRecorder(TRecorder::Log, false); }
void TLkCustomComPort::AppendLog() { DumpRecorder(TRecorder::Log, true); }
void TLkCustomComPort::SetLogging(TTraceLogState state) { SetRecorderState(TRecorder::Log, state); }
void TLkCustomComPort::SetLogSize(std::uint32_t size) { SetRecorderSize(TRecorder::Log, size); }

}  // namespace serial
