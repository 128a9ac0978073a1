#include "serial/com_port.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>

#include "serial/error_codes.h"
#include "serial/timing.h"

namespace serial {

namespace {

// The longest a string wait sleeps before it looks at the port and its timer again.
constexpr int kWaitSliceMs = 100;

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

std::shared_ptr<TLkBaseDispatcher> TLkCustomComPort::VDispatcher() {
  if (portState_ == 1) return nullptr;
  return ValidDispatcher();
}

std::shared_ptr<TLkBaseDispatcher> TLkCustomComPort::ODispatcher() const {
  return portState_ == 2 ? dispatcher_ : nullptr;
}

void TLkCustomComPort::PutChar(char c) { PutBlock(&c, 1); }

void TLkCustomComPort::PutString(const std::string& s) {
  PutBlock(s.data(), static_cast<std::uint16_t>(std::min<std::size_t>(s.size(), 0xFFFF)));
}

std::int32_t TLkCustomComPort::PutBlock(const void* buffer, std::uint16_t length) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::int32_t rc = d->PutBlock(buffer, length);
  // A block that does not fit is the component's "failed to put" whatever the dispatcher calls it.
  if (rc == ecOutputBufferTooSmall) rc = ecPutBlockFail;
  Check(rc);
  return 0;
}

char TLkCustomComPort::GetChar() {
  auto d = VDispatcher();
  if (!d) return 0;
  std::uint8_t c = 0;
  std::int32_t rc = d->GetChar(c);
  if (rc != 0) {
    Check(rc);
    return 0;
  }
  return static_cast<char>(c);
}

std::int32_t TLkCustomComPort::GetBlock(void* buffer, std::uint16_t length) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::int32_t rc = d->GetBlock(buffer, length);
  if (rc == ecBufferIsEmpty) rc = ecGetBlockFail;
  Check(rc);
  return length;
}

char TLkCustomComPort::PeekChar(std::uint16_t index) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::uint8_t c = 0;
  std::int32_t rc = d->PeekChar(c, index);
  if (rc != 0) {
    Check(rc);
    return 0;
  }
  return static_cast<char>(c);
}

std::int32_t TLkCustomComPort::PeekBlock(void* buffer, std::uint16_t length) {
  auto d = VDispatcher();
  if (!d) return 0;
  return Check(d->PeekBlock(buffer, length));
}

bool TLkCustomComPort::CharReady() {
  auto d = VDispatcher();
  return d && d->CharReady();
}

void TLkCustomComPort::FlushInBuffer() {
  if (auto d = VDispatcher()) Check(d->FlushInBuffer());
}

void TLkCustomComPort::FlushOutBuffer() {
  if (auto d = VDispatcher()) Check(d->FlushOutBuffer());
}

void TLkCustomComPort::ProcessCommunications() {
  if (auto d = VDispatcher())
    if (auto* r = dynamic_cast<TLkRecorders*>(d.get())) Check(r->RunProcessCommunications());
}

void TLkCustomComPort::SendBreak(std::int32_t ticks, bool yield) {
  if (auto d = VDispatcher()) d->SendBreak(ticks, yield);
}

void TLkCustomComPort::SetBreak(bool on) {
  if (auto d = VDispatcher()) d->SetBreak(on);
}

void TLkCustomComPort::AddStringToLog(const std::string& s) {
  if (auto d = VDispatcher()) d->AddStringToLog(s);
}

void TLkCustomComPort::AddTraceEntry(char kind, char c) {
  if (portState_ == 1) return;
  auto d = GetDispatcher();
  if (auto* r = dynamic_cast<TLkRecorders*>(d.get())) r->AddTraceEntryPublic(kind, static_cast<std::uint8_t>(c));
}

std::uint8_t TLkCustomComPort::ModemStatus() {
  auto d = VDispatcher();
  return d ? d->GetModemStatus() : 0;
}

bool TLkCustomComPort::DSR() {
  auto d = ODispatcher();
  return d && d->CheckDSR();
}
bool TLkCustomComPort::CTS() {
  auto d = ODispatcher();
  return d && d->CheckCTS();
}
bool TLkCustomComPort::RI() {
  auto d = ODispatcher();
  return d && d->CheckRI();
}
bool TLkCustomComPort::DCD() {
  auto d = ODispatcher();
  return d && d->CheckDCD();
}
bool TLkCustomComPort::DeltaDSR() {
  auto d = ODispatcher();
  return d && d->CheckDeltaDSR();
}
bool TLkCustomComPort::DeltaCTS() {
  auto d = ODispatcher();
  return d && d->CheckDeltaCTS();
}
bool TLkCustomComPort::DeltaRI() {
  auto d = ODispatcher();
  return d && d->CheckDeltaRI();
}
bool TLkCustomComPort::DeltaDCD() {
  auto d = ODispatcher();
  return d && d->CheckDeltaDCD();
}

std::uint16_t TLkCustomComPort::LineError() {
  auto d = ODispatcher();
  return d ? static_cast<std::uint16_t>(Check(d->GetLineError())) : 0;
}

bool TLkCustomComPort::LineBreak() {
  auto d = ODispatcher();
  return d && d->CheckLineBreak();
}

std::int32_t TLkCustomComPort::InBuffUsed() {
  auto d = ODispatcher();
  return d ? d->InBuffUsed() : 0;
}

std::int32_t TLkCustomComPort::InBuffFree() {
  auto d = ODispatcher();
  return d ? d->InBuffFree() : kClosedInBuffFree;
}

std::int32_t TLkCustomComPort::OutBuffUsed() {
  auto d = ODispatcher();
  return d ? d->OutBuffUsed() : 0;
}

bool TLkCustomComPort::OutputDrained() {
  auto d = ODispatcher();
  return !d || d->OutputDrained();
}

std::int32_t TLkCustomComPort::OutBuffFree() {
  auto d = ODispatcher();
  return d ? d->OutBuffFree() : outSize_;
}

std::uint16_t TLkCustomComPort::BaseAddress() {
  auto d = ODispatcher();
  return d ? d->GetBaseAddress() : 0;
}

void TLkCustomComPort::SetBaseAddress(std::uint16_t address) {
  if (auto d = ODispatcher()) d->SetBaseAddress(address);
}

std::int32_t TLkCustomComPort::FlowState() {
  auto d = VDispatcher();
  if (!d) return 0;
  std::int32_t state = Check(d->HWFlowState()) - 1;
  if (state == 0) state = Check(d->SWFlowState()) - 1;
  return state;
}

std::int32_t TLkCustomComPort::AddDataTrigger(const std::string& data, bool ignoreCase) {
  auto d = VDispatcher();
  if (!d) return 0;
  std::string s = data.substr(0, 255);
  return Check(d->AddDataTriggerLen(s.data(), ignoreCase, static_cast<std::uint32_t>(s.size())));
}

std::int32_t TLkCustomComPort::AddTimerTrigger() {
  auto d = VDispatcher();
  return d ? Check(d->AddTimerTrigger()) : 0;
}

std::int32_t TLkCustomComPort::AddStatusTrigger(std::uint16_t kind) {
  auto d = VDispatcher();
  return d ? Check(d->AddStatusTrigger(kind)) : 0;
}

void TLkCustomComPort::SetTimerTrigger(std::int32_t handle, std::int32_t ticks, bool activate) {
  if (auto d = VDispatcher()) Check(d->SetTimerTrigger(static_cast<std::uint32_t>(handle), ticks, activate));
}

void TLkCustomComPort::SetStatusTrigger(std::int32_t handle, std::uint16_t value, bool activate) {
  if (auto d = VDispatcher()) Check(d->SetStatusTrigger(static_cast<std::uint32_t>(handle), value, activate));
}

void TLkCustomComPort::RemoveTrigger(std::int32_t handle) {
  if (auto d = ODispatcher()) Check(d->RemoveTrigger(static_cast<std::uint32_t>(handle)));
}

void TLkCustomComPort::RemoveAllTriggers() {
  if (auto d = ODispatcher()) d->RemoveAllTriggers();
}

bool TLkCustomComPort::CheckForString(std::uint8_t& index, char c, const std::string& s, bool ignoreCase) {
  if (portState_ == 1 || s.empty()) return false;
  ++index;
  char want = index <= s.size() ? s[index - 1] : '\0';
  if (ignoreCase) {
    c = Upper(c);
    want = Upper(want);
  }
  if (index <= s.size() && c == want) {
    if (index == s.size()) {
      index = 0;
      return true;
    }
    return false;
  }
  char first = ignoreCase ? Upper(s[0]) : s[0];
  index = c == first ? 1 : 0;
  return false;
}

bool TLkCustomComPort::Terminating() const { return QCoreApplication::closingDown(); }

void TLkCustomComPort::PrepareWait() {
  if (portState_ == 1) return;
  auto d = ValidDispatcher();
  bool was = false;
  d->SetEventBusy(was, true);
  if (!prepared_) preparedWasBusy_ = was;
  prepared_ = true;
}

void TLkCustomComPort::EndWait(TLkBaseDispatcher& d, bool wasBusy) {
  bool clear = prepared_ ? !preparedWasBusy_ : !wasBusy;
  if (clear) {
    bool ignored;
    d.SetEventBusy(ignored, false);
  }
  prepared_ = false;
  preparedWasBusy_ = false;
}

int TLkCustomComPort::WaitForMultiString(const std::string& s, std::int32_t timeout, bool yield, bool ignoreCase,
                                         char separator) {
  if (portState_ == 1 || s.empty()) return 0;
  std::vector<std::string> alternatives;
  std::size_t start = 0;
  while (start < s.size() && alternatives.size() < 127) {
    std::size_t end = s.find(separator, start);
    if (end == std::string::npos) end = s.size();
    alternatives.push_back(s.substr(start, end - start));
    start = end + 1;
  }
  return WaitForAlternatives(alternatives, timeout, yield, ignoreCase);
}

bool TLkCustomComPort::WaitForString(const std::string& s, std::int32_t timeout, bool yield, bool ignoreCase) {
  if (portState_ == 1) return false;
  if (s.empty()) return true;
  return WaitForAlternatives({s}, timeout, yield, ignoreCase) == 1;
}

int TLkCustomComPort::WaitForAlternatives(const std::vector<std::string>& alternatives, std::int32_t timeout,
                                          bool yield, bool ignoreCase) {
  auto d = ValidDispatcher();  // held: a handler that closes the port during a yield cannot free it here
  struct BusyMark {
    TLkCustomComPort& Port;
    TLkBaseDispatcher& D;
    bool WasBusy = false;
    ~BusyMark() { Port.EndWait(D, WasBusy); }
  } busy{*this, *d};
  d->SetEventBusy(busy.WasBusy, true);
  std::vector<std::uint8_t> positions(alternatives.size(), 0);
  EventTimer timer;
  NewTimer(timer, timeout);
  int found = 0;
  // Asleep until input comes: a yielding wait in the window thread's event loop, which the input wakes.
  QAbstractEventDispatcher* loop = yield ? QAbstractEventDispatcher::instance() : nullptr;
  struct InputWaker {
    TLkBaseDispatcher& D;
    QAbstractEventDispatcher* Loop;
    std::function<void()> Previous;
    ~InputWaker() {
      if (Loop) D.SetInputWaker(std::move(Previous));
    }
  } waker{*d, loop, loop ? d->SetInputWaker([loop] { loop->wakeUp(); }) : nullptr};
  for (;;) {
    const std::uint64_t seen = d->InputArrivals();
    bool took = false;
    if (portState_ == 2 && d->CharReady()) {
      std::uint8_t byte = 0;
      if (d->GetChar(byte) == 0) {
        took = true;
        char c = static_cast<char>(byte);
        WaitChar(c);
        for (std::size_t i = 0; i < alternatives.size() && !found; ++i)
          if (CheckForString(positions[i], c, alternatives[i], ignoreCase)) found = static_cast<int>(i) + 1;
        if (found) break;
      }
    }
    // Closing or shutting down ends the wait as "not seen".
    if (TimerExpired(timer) || portState_ != 2 || Terminating()) break;
    if (took) {
      if (yield && SafeYield() == kQuitMessage) break;
      continue;
    }
    const int wait = std::min(MsUntilExpiry(timer), kWaitSliceMs);
    if (yield) {
      if (SafeYieldWait(wait) == kQuitMessage) break;
    } else {
      d->WaitForInput(seen, std::chrono::milliseconds(wait));
    }
  }
  return found;
}

}  // namespace serial
