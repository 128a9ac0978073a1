// Triggers, trigger handlers and notification. Each check decides under DataLock what is to be sent,
// releases it, and only then notifies: handlers may call any dispatcher routine.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "serial/dispatcher.h"
#include "serial/error_codes.h"

namespace serial {

namespace {

std::uint8_t UpperByte(std::uint8_t b) { return b >= 'a' && b <= 'z' ? static_cast<std::uint8_t>(b - 32) : b; }

// Dispatch-log entry types and subtypes written here.
enum : std::uint8_t {
  dtTrigger = 2,
  dtError = 3,
  dtTrigAlloc = 5,
  dtTrigDispose = 6,
  dtHandlerAlloc = 7,
  dtHandlerDispose = 8,
  dtTriggerChange = 9
};
enum : std::uint8_t {
  dsAvail = 5,
  dsTimer = 6,
  dsData = 7,
  dsStatus = 8,
  dsDataTrig = 13,
  dsTimerTrig = 14,
  dsStatusTrig = 15,
  dsAvailTrig = 16,
  dsWindow = 17,
  dsProcedure = 18,
  dsMethod = 19
};

// A handler's exception text in the dispatch log is cut to this.
constexpr std::size_t kMaxLoggedErrorText = 255;

std::uint32_t WindowHandleOf(const NotifyTarget* target) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(target));
}

}  // namespace

bool MatchDataTrigger(DataTrigger& t, std::uint8_t byte) {
  const std::uint32_t len = t.Length;
  if (len == 0) return false;
  if (t.IgnoreCase) byte = UpperByte(byte);
  bool result = false;
  for (std::uint32_t i = 0; i < len; ++i) {
    std::uint32_t& k = t.Counters[i];
    if (t.Data[k] == byte) {
      if (k == len - 1) {
        // A full match; the same byte may still start a new alignment below.
        t.Counters.fill(0);
        result = true;
      } else {
        ++k;
      }
    } else {
      k = byte == t.Data[0] ? 1 : 0;
    }
    if (i + 1 >= len) break;
    if (t.Counters[i + 1] != 0) continue;
    // At most one new alignment starts per byte.
    bool started = std::any_of(t.Counters.begin(), t.Counters.begin() + i + 1, [](std::uint32_t c) { return c == 1; });
    if (started || byte != t.Data[0]) break;
  }
  return result;
}

// Handles and look-ups (DataLock held)

void TLkBaseDispatcher::LogLocked(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* bytes,
                                  std::uint32_t len) {
  if (LoggingOn) AddDispatchEntry(type, subType, data, bytes, len);
}

std::int32_t TLkBaseDispatcher::GetTriggerHandle() {
  if (NextTriggerNumber < kTriggerNumbers) return static_cast<std::int32_t>(NextTriggerNumber++ * 8);
  std::vector<bool> used(kTriggerNumbers, false);
  for (const TimerTrigger& t : timers_) used[(t.Handle >> 3) % kTriggerNumbers] = true;
  for (const DataTrigger& t : datas_) used[(t.Handle >> 3) % kTriggerNumbers] = true;
  for (const StatusTrigger& t : statuses_) used[(t.Handle >> 3) % kTriggerNumbers] = true;
  for (std::uint32_t n = 1; n < kTriggerNumbers; ++n)
    if (!used[n]) return static_cast<std::int32_t>(n * 8);
  return ecNoMoreTriggers;
}

TimerTrigger* TLkBaseDispatcher::FindTimer(std::uint32_t handle) {
  if (handle <= kAvailTriggerHandle) return nullptr;
  for (TimerTrigger& t : timers_)
    if (t.Handle == handle) return &t;
  return nullptr;
}

StatusTrigger* TLkBaseDispatcher::FindStatus(std::uint32_t handle) {
  if (handle <= kAvailTriggerHandle) return nullptr;
  for (StatusTrigger& t : statuses_)
    if (t.Handle == handle) return &t;
  return nullptr;
}

TTriggerType TLkBaseDispatcher::FindTriggerFromHandle(std::uint32_t handle, bool remove) {
  if (handle <= kAvailTriggerHandle) return ttNone;
  auto take = [&](auto& list, TTriggerType type) {
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& t) { return t.Handle == handle; });
    if (it == list.end()) return ttNone;
    if (remove) list.erase(it);
    return type;
  };
  if (TTriggerType type = take(timers_, ttTimer); type != ttNone) return type;
  if (TTriggerType type = take(statuses_, ttStatus); type != ttNone) return type;
  return take(datas_, ttData);
}

// Adding, arming and removing

void TLkBaseDispatcher::ChangeLengthTrigger(std::uint32_t length) {
  {
    std::lock_guard lock(DataLock);
    AvailLength = length;
    LogLocked(dtTriggerChange, dsAvailTrig, length);
  }
  RecheckTriggers();  // input already waiting may now be notified
}

std::int32_t TLkBaseDispatcher::AddTimerTrigger() {
  std::lock_guard lock(DataLock);
  std::int32_t handle = GetTriggerHandle();
  if (handle < 0) return handle;
  TimerTrigger t;
  t.Handle = static_cast<std::uint32_t>(handle);
  timers_.push_back(t);
  LogLocked(dtTrigAlloc, dsTimerTrig, t.Handle);
  return handle;
}

std::int32_t TLkBaseDispatcher::AddDataTriggerLen(const void* data, bool ignoreCase, std::uint32_t len) {
  if (len > kMaxDataTriggerLen) return ecTriggerTooLong;
  std::lock_guard lock(DataLock);
  std::int32_t handle = GetTriggerHandle();
  if (handle < 0) return handle;
  DataTrigger t;
  t.Handle = static_cast<std::uint32_t>(handle);
  t.Length = len;
  t.IgnoreCase = ignoreCase;
  if (len > 0) std::memcpy(t.Data.data(), data, len);
  if (ignoreCase)
    for (std::uint32_t i = 0; i < len; ++i) t.Data[i] = UpperByte(t.Data[i]);
  datas_.push_back(t);
  LogLocked(dtTrigAlloc, dsDataTrig, t.Handle, t.Data.data(), len);
  return handle;
}

std::int32_t TLkBaseDispatcher::AddDataTrigger(const char* data, bool ignoreCase) {
  return AddDataTriggerLen(data, ignoreCase, static_cast<std::uint32_t>(std::strlen(data)));
}

std::int32_t TLkBaseDispatcher::AddStatusTrigger(std::uint32_t sType) {
  if (sType >= 6) return ecBadArgument;
  std::lock_guard lock(DataLock);
  std::int32_t handle = GetTriggerHandle();
  if (handle < 0) return handle;
  StatusTrigger t;
  t.Handle = static_cast<std::uint32_t>(handle) | sType;
  t.Type = sType;
  statuses_.push_back(t);
  std::uint8_t type = static_cast<std::uint8_t>(sType);
  LogLocked(dtTrigAlloc, dsStatusTrig, t.Handle, &type, 1);
  return static_cast<std::int32_t>(t.Handle);
}

std::int32_t TLkBaseDispatcher::SetTimerTrigger(std::uint32_t handle, std::int32_t ticks, bool activate) {
  std::unique_lock lock(DataLock);
  TimerTrigger* t = FindTimer(handle);
  if (!t) return ecBadTriggerHandle;
  if (activate) {
    if (ticks != 0) t->Interval = ticks;
    NewTimer(t->Timer, t->Interval);
    LogLocked(dtTriggerChange, dsTimerTrig, handle, &ticks, 4);
  } else {
    LogLocked(dtTriggerChange, dsTimerTrig, handle, "Deactivated", 11);
  }
  t->Active = activate;
  lock.unlock();
  if (activate) RecheckTriggers();
  return 0;
}

std::int32_t TLkBaseDispatcher::ExtendTimer(std::uint32_t handle, std::int32_t ticks) {
  std::unique_lock lock(DataLock);
  TimerTrigger* t = FindTimer(handle);
  if (!t) return ecBadTriggerHandle;
  t->Timer.ExpireTicks += ticks;
  LogLocked(dtTriggerChange, dsTimerTrig, handle, &ticks, 4);
  lock.unlock();
  RecheckTriggers();
  return 0;
}

std::int32_t TLkBaseDispatcher::TimerTicksRemaining(std::uint32_t handle, std::int32_t& remaining) {
  std::lock_guard lock(DataLock);
  remaining = 0;
  TimerTrigger* t = FindTimer(handle);
  if (!t) return ecBadTriggerHandle;
  remaining = RemainingTime(t->Timer);
  return 0;
}

std::int32_t TLkBaseDispatcher::SetStatusTrigger(std::uint32_t handle, std::uint16_t value, bool activate) {
  std::unique_lock lock(DataLock);
  StatusTrigger* t = FindStatus(handle);
  if (!t) return ecBadTriggerHandle;
  if (activate) {
    switch (t->Type) {
      case stModem:
        t->Value = static_cast<std::uint16_t>(((value & 0xFF) << 8) | (ModemStatus & value & 0xFF));
        break;
      case stLine: {
        // The caller's bits: 1 overrun, 2 parity, 4 framing, 8 break.
        std::uint16_t mask = 0;
        if (value & 1) mask |= leOverrun;
        if (value & 2) mask |= leParity;
        if (value & 4) mask |= leFraming;
        if (value & 8) mask |= leBreak;
        t->Value = mask;
        break;
      }
      case stOutFree:
      case stOutUsed:
        t->Value = value;
        break;
      default:
        break;
    }
  }
  t->Armed = activate;
  const std::uint8_t record[4] = {static_cast<std::uint8_t>(t->Value), static_cast<std::uint8_t>(t->Value >> 8),
                                  t->Armed, t->Hit};
  LogLocked(dtTriggerChange, dsStatusTrig, handle, record, 4);
  lock.unlock();
  if (activate) RecheckTriggers(true);
  return 0;
}

std::int32_t TLkBaseDispatcher::RemoveTrigger(std::uint32_t handle) {
  std::lock_guard lock(DataLock);
  if (handle == kAvailTriggerHandle) {
    AvailLength = 0;
    return 0;
  }
  switch (FindTriggerFromHandle(handle, true)) {
    case ttTimer:
      LogLocked(dtTrigDispose, dsTimer, handle);
      return 0;
    case ttData:
      LogLocked(dtTrigDispose, dsData, handle);
      return 0;
    case ttStatus: {
      std::uint8_t type = handle & 7;
      LogLocked(dtTrigDispose, dsStatusTrig, handle, &type, 1);
      return 0;
    }
    default:
      return ecBadTriggerHandle;
  }
}

void TLkBaseDispatcher::RemoveAllTriggers() {
  std::lock_guard lock(DataLock);
  AvailLength = 0;
  timers_.clear();
  datas_.clear();
  statuses_.clear();
  NextTriggerNumber = 1;
}

void TLkBaseDispatcher::ResetStatusHits() {
  std::lock_guard lock(DataLock);
  for (StatusTrigger& t : statuses_) t.Hit = false;
  StatusHit = false;
}

void TLkBaseDispatcher::ResetDataTriggers() {
  std::lock_guard lock(DataLock);
  for (DataTrigger& t : datas_) t.Counters.fill(0);
}

void TLkBaseDispatcher::SaveTriggers(TTriggerSave& save) {
  std::lock_guard lock(DataLock);
  save.AvailLength = AvailLength;
  save.Timers = timers_;
  save.Datas = datas_;
  save.Statuses = statuses_;
}

void TLkBaseDispatcher::RestoreTriggers(const TTriggerSave& save) {
  std::unique_lock lock(DataLock);
  AvailLength = save.AvailLength;
  timers_ = save.Timers;
  datas_ = save.Datas;
  statuses_ = save.Statuses;
  // New handles must not repeat a restored one.
  std::uint32_t highest = 0;
  for (const TimerTrigger& t : timers_) highest = std::max(highest, t.Handle >> 3);
  for (const DataTrigger& t : datas_) highest = std::max(highest, t.Handle >> 3);
  for (const StatusTrigger& t : statuses_) highest = std::max(highest, t.Handle >> 3);
  NextTriggerNumber = std::max(NextTriggerNumber, highest + 1);
  lock.unlock();
  RecheckTriggers(true);
}

void TLkBaseDispatcher::ClearSaveBuffers(TTriggerSave& save) { save = {}; }

// Handlers

void TLkBaseDispatcher::RegisterWndTriggerHandler(NotifyTarget* target) {
  {
    std::lock_guard lock(DataLock);
    wndHandlers_.push_back(std::make_shared<WndHandler>(WndHandler{target}));
    HandlersPresent = true;
    LogLocked(dtHandlerAlloc, dsWindow, WindowHandleOf(target));
  }
  RecheckTriggers();
}

void TLkBaseDispatcher::RegisterProcTriggerHandler(TriggerProc proc) {
  {
    std::lock_guard lock(DataLock);
    procHandlers_.push_back(std::make_shared<ProcHandler>(ProcHandler{proc}));
    HandlersPresent = true;
    LogLocked(dtHandlerAlloc, dsProcedure, 0);
  }
  RecheckTriggers();
}

void TLkBaseDispatcher::RegisterEventTriggerHandler(TriggerEvent handler) {
  {
    std::lock_guard lock(DataLock);
    eventHandlers_.push_back(std::make_shared<EventHandler>(EventHandler{handler, false}));
    HandlersPresent = true;
    LogLocked(dtHandlerAlloc, dsMethod, 0);
  }
  RecheckTriggers();
}

void TLkBaseDispatcher::RegisterSyncEventTriggerHandler(TriggerEvent handler) {
  {
    std::lock_guard lock(DataLock);
    eventHandlers_.push_back(std::make_shared<EventHandler>(EventHandler{handler, true}));
    HandlersPresent = true;
    LogLocked(dtHandlerAlloc, dsMethod, 1);
  }
  RecheckTriggers();
}

namespace {

// Frees the first live record that `matches`, or only marks it while a notification is in progress.
template <typename List, typename Pred>
bool Deregister(List& list, bool inNotify, std::atomic<bool>& deleted, Pred matches) {
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& h) { return !h->Deleted && matches(*h); });
  if (it == list.end()) return false;
  if (inNotify) {
    (*it)->Deleted = true;
    deleted = true;
  } else {
    list.erase(it);
  }
  return true;
}

}  // namespace

void TLkBaseDispatcher::DeregisterWndTriggerHandler(NotifyTarget* target) {
  std::lock_guard lock(DataLock);
  if (Deregister(wndHandlers_, InNotify, HandlersDeleted, [&](const WndHandler& h) { return h.Target == target; }))
    LogLocked(dtHandlerDispose, dsWindow, WindowHandleOf(target));
  UpdateHandlerFlagsLocked(0);
}

void TLkBaseDispatcher::DeregisterProcTriggerHandler(TriggerProc proc) {
  std::lock_guard lock(DataLock);
  if (Deregister(procHandlers_, InNotify, HandlersDeleted, [&](const ProcHandler& h) { return h.Proc == proc; }))
    LogLocked(dtHandlerDispose, dsProcedure, 0);
  UpdateHandlerFlagsLocked(0);
}

void TLkBaseDispatcher::DeregisterEventTriggerHandler(TriggerEvent handler) {
  std::lock_guard lock(DataLock);
  if (Deregister(eventHandlers_, InNotify, HandlersDeleted,
                 [&](const EventHandler& h) { return h.Event.Code == handler.Code; }))
    LogLocked(dtHandlerDispose, dsMethod, 0);
  UpdateHandlerFlagsLocked(0);
}

bool TLkBaseDispatcher::AnyHandlersLocked() const {
  auto live = [](const auto& list) {
    return std::count_if(list.begin(), list.end(), [](const auto& h) { return !h->Deleted; });
  };
  return live(wndHandlers_) >= 2 || live(procHandlers_) > 0 || live(eventHandlers_) > 0;
}

bool TLkBaseDispatcher::NobodyToNotifyLocked() const {
  if (!HandlersPresent) return true;
  auto live = [](const auto& list) {
    return std::any_of(list.begin(), list.end(), [](const auto& h) { return !h->Deleted; });
  };
  if (live(eventHandlers_) || live(procHandlers_)) return false;
  return !(wndHandlers_.size() >= 2 || PortHandlerActive) || !live(wndHandlers_);
}

void TLkBaseDispatcher::UpdateHandlerFlagsLocked(std::uint32_t flagUpdate) {
  bool any = AnyHandlersLocked();
  switch (flagUpdate) {
    case 0:
      HandlersPresent = any || PortHandlerActive;
      break;
    case 1:
      PortHandlerActive = true;
      HandlersPresent = true;
      break;
    case 2:
      PortHandlerActive = false;
      HandlersPresent = any;
      break;
    default:
      break;
  }
}

void TLkBaseDispatcher::UpdateHandlerFlags(std::uint32_t flagUpdate) {
  {
    std::lock_guard lock(DataLock);
    UpdateHandlerFlagsLocked(flagUpdate);
  }
  RecheckTriggers();
}

void TLkBaseDispatcher::PurgeDeletedHandlers() {
  auto purge = [](auto& list) { std::erase_if(list, [](const auto& h) { return h->Deleted; }); };
  purge(wndHandlers_);
  purge(procHandlers_);
  purge(eventHandlers_);
  HandlersDeleted = false;
  UpdateHandlerFlagsLocked(0);
}

// Checks

bool TLkBaseDispatcher::CheckTimerTriggers() {
  std::uint32_t handle = 0;
  {
    std::lock_guard lock(DataLock);
    for (TimerTrigger& t : timers_)
      if (t.Active && TimerExpired(t.Timer)) {
        t.Active = false;
        handle = t.Handle;
        LogLocked(dtTrigger, dsTimer, handle);
        break;
      }
  }
  return handle != 0 && SendNotify(kMsgTimerTrigger, handle, 0);
}

bool TLkBaseDispatcher::StatusFires(StatusTrigger& t, std::uint32_t& value) {
  value = 0;
  switch (t.Type) {
    case stModem: {
      std::uint8_t last = t.Value & 0xFF, mask = static_cast<std::uint8_t>(t.Value >> 8);
      return ((last ^ ModemStatus) & mask) != 0;
    }
    case stLine: {
      std::uint32_t errors = LineErrors;
      if ((t.Value & errors) == 0) return false;
      t.Value = static_cast<std::uint16_t>(errors);
      return true;
    }
    case stOutFree: {
      std::int32_t free = OutBuffFree();
      value = static_cast<std::uint32_t>(std::max(free, 0));
      return free >= t.Value;
    }
    case stOutUsed: {
      std::int32_t used = OutBuffUsed();
      value = static_cast<std::uint32_t>(std::max(used, 0));
      return used <= t.Value;
    }
    case stOutSent:
      return OutputSent.exchange(false);
    default:
      return false;
  }
}

bool TLkBaseDispatcher::CheckStatusTriggers() {
  std::uint32_t handle = 0, value = 0;
  {
    std::lock_guard lock(DataLock);
    for (StatusTrigger& t : statuses_)
      if (t.Armed && !t.Hit && StatusFires(t, value)) {
        t.Armed = false;
        t.Hit = true;
        StatusHit = true;
        handle = t.Handle;
        LogLocked(dtTrigger, dsStatus, handle);
        break;
      }
  }
  return handle != 0 && SendNotify(kMsgStatusTrigger, handle, value);
}

bool TLkBaseDispatcher::CheckReceiveTriggers() {
  struct Fired {
    std::uint32_t Handle, Length;
  };
  std::vector<Fired> fired;
  bool avail = false;
  std::uint32_t availCount = 0;
  {
    std::lock_guard data(DataLock);
    std::lock_guard rx(RxLock);
    if (!RxRing) return false;
    const std::uint32_t used = RxUsedLocked();
    if (rxUnscanned_ > used) {
      // A reader took bytes before they were scanned: they are not scanned.
      rxUnscanned_ = used;
      RxScanPos = (RxWritePos + kRxRingSize - used) % kRxRingSize;
    }
    std::uint32_t p = RxScanPos;
    std::uint32_t longest = 0;
    bool matched = false;
    if (std::none_of(datas_.begin(), datas_.end(), [](const DataTrigger& t) { return t.Length != 0; })) {
      // No string to look for: the bytes are passed over as the scan would pass them.
      p = (p + rxUnscanned_) % kRxRingSize;
      rxUnscanned_ = 0;
    }
    // Scanning counts bytes rather than comparing positions, so a full ring is scanned too.
    while (rxUnscanned_ > 0) {
      std::uint8_t b = RxRing[p];
      for (DataTrigger& t : datas_) {
        if (t.Length == 0) continue;
        t.Matched = t.Matched || MatchDataTrigger(t, b);
        if (t.Matched) {
          matched = true;
          longest = std::max(longest, t.Length);
        }
      }
      if (matched) break;
      p = (p + 1) % kRxRingSize;
      --rxUnscanned_;
    }
    const std::uint32_t peek = PeekMode ? PeekOffset : 0;
    if (!matched) {
      RxScanPos = p;
      std::uint32_t waiting = used - std::min(used, peek);
      if (AvailLength != 0 && LastAvailPos != p && waiting >= AvailLength) {
        avail = true;
        availCount = waiting;
        LastAvailPos = p;
        LogLocked(dtTrigger, dsAvail, availCount);
      }
    } else {
      if (AvailLength != 0 && LastAvailPos != p) {
        // Bytes from the read position through the end of the match, and those before the match.
        std::uint32_t through = (p + kRxRingSize - RxReadPos) % kRxRingSize + 1;
        through -= std::min(through, peek);
        if (through >= longest && through - longest >= AvailLength) {
          avail = true;
          availCount = through - longest;
          LastAvailPos = p;
          LogLocked(dtTrigger, dsAvail, availCount);
        }
      }
      for (std::size_t i = datas_.size(); i-- > 0;)
        if (datas_[i].Matched) {
          datas_[i].Matched = false;
          fired.push_back({datas_[i].Handle, datas_[i].Length});
          LogLocked(dtTrigger, dsData, datas_[i].Handle);
        }
      RxScanPos = (p + 1) % kRxRingSize;
      --rxUnscanned_;
    }
  }
  bool result = false;
  if (avail) result = SendNotify(kMsgDataAvail, availCount, 0);
  for (const Fired& f : fired) {
    if (ClosePending) return false;
    {
      // A handler may have removed a trigger that has not been notified yet.
      std::lock_guard lock(DataLock);
      if (std::none_of(datas_.begin(), datas_.end(), [&](const DataTrigger& t) { return t.Handle == f.Handle; }))
        continue;
    }
    result = SendNotify(kMsgDataTrigger, f.Handle, f.Length);
  }
  return result;
}

bool TLkBaseDispatcher::CheckTriggers() {
  return CheckTimerTriggers() || CheckStatusTriggers() || CheckReceiveTriggers();
}

// Notification

void TLkBaseDispatcher::DeliverTo(NotifyTarget* target, std::uint32_t msg, std::uint32_t trigger, std::uint32_t data,
                                  std::chrono::milliseconds bound, TriggerHandlerFn handler) {
  if (!target) {
    if (handler) handler(msg, trigger, data);
    return;
  }
  auto delivery = std::make_shared<Delivery>(this, msg, trigger, data, std::move(handler));
  target->Post(delivery);
  delivery->Wait(bound, KillThreads);
}

void TLkBaseDispatcher::HandlerFailed(std::uint8_t subType, std::uint32_t msg, const std::exception_ptr& error) {
  std::string text = "Unknown exception";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
  }
  std::lock_guard lock(DataLock);
  LogLocked(dtError, subType, msg, text.data(),
            static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), kMaxLoggedErrorText)));
  if (errorSink_) errorSink_(error);
}

bool TLkBaseDispatcher::SendNotify(std::uint32_t msg, std::uint32_t trigger, std::uint32_t data) {
  std::vector<std::shared_ptr<EventHandler>> events;
  std::vector<std::shared_ptr<ProcHandler>> procs;
  std::vector<std::shared_ptr<WndHandler>> windows;
  bool windowsWanted;
  {
    std::lock_guard lock(DataLock);
    if (!HandlersPresent) return true;
    if (NobodyToNotifyLocked()) {
      // No handler would run (the port's own window alone, not wanting notifications): nothing is
      // peeked or taken, so a data-available notification counts as not taken whole.
      return msg != kMsgDataAvail || trigger == 0;
    }
    InNotify = true;
    events = eventHandlers_;
    procs = procHandlers_;
    windows = wndHandlers_;
    windowsWanted = wndHandlers_.size() >= 2 || PortHandlerActive;
  }
  const bool peek = msg == kMsgDataAvail || msg == kMsgDataTrigger;
  {
    std::lock_guard lock(RxLock);
    PeekMax = 0;
    PeekOffset = 0;
    PeekMode = peek;  // every handler starts at the same byte and nothing is taken until all have run
  }
  const std::uint32_t param = (static_cast<std::uint32_t>(Handle) << 16) + data;
  NotifyScope notifying(this);  // the handlers' reads peek; other threads' reads go on consuming
  auto deleted = [this](const auto& h) {
    std::lock_guard lock(DataLock);
    return h->Deleted;
  };
  // After each handler: what it took, and whether a close was asked for.
  auto closing = [this] {
    {
      std::lock_guard lock(RxLock);
      PeekMax = std::max(PeekMax, PeekOffset);
      PeekOffset = 0;
    }
    return ClosePending.load();
  };

  // A handler that throws must not leave the dispatcher mid-notification (or end the dispatch thread):
  // its exception stops at the notification, which logs it and hands it to the owner.
  auto guarded = [&](std::uint8_t kind, auto&& fn) {
    try {
      fn();
    } catch (...) {
      HandlerFailed(kind, msg, std::current_exception());
    }
  };
  bool closed = false;
  for (const auto& h : events) {
    if (deleted(h) || !h->Event.Code) continue;
    TriggerEvent ev = h->Event;
    auto call = [ev](std::uint32_t m, std::uint32_t t, std::uint32_t d) { ev.Code(ev.Object, m, t, d); };
    if (h->Sync)
      guarded(dsMethod,
              [&] { DeliverTo(ApplicationTarget(), msg, trigger, param, std::chrono::milliseconds(0), call); });
    else
      guarded(dsMethod, [&] { call(msg, trigger, param); });
    if ((closed = closing())) break;
  }
  if (!closed)
    for (const auto& h : procs) {
      if (deleted(h) || !h->Proc) continue;
      guarded(dsProcedure, [&] { h->Proc(msg, trigger, param); });
      if ((closed = closing())) break;
    }
  if (!closed && windowsWanted)
    for (const auto& h : windows) {
      if (deleted(h) || !h->Target) continue;
      DeliverTo(h->Target, msg, trigger, param, WindowDeliveryBound, {});
      if ((closed = closing())) break;
    }

  bool result = !closed;
  bool wasFull = false;
  {
    std::lock_guard lock(RxLock);
    if (PeekMode) {
      PeekMode = false;
      if (!closed) {
        RxReadPos = (RxReadPos + PeekMax) % kRxRingSize;
        wasFull = RxRingFull && PeekMax != 0;
        if (PeekMax != 0) RxRingFull = false;
        if (msg == kMsgDataAvail && PeekMax != trigger) result = false;
      }
    }
    PeekOffset = 0;
  }
  if (wasFull) Wake(comWake_);  // the comm thread stopped polling for input while the ring was full
  {
    std::lock_guard lock(DataLock);
    InNotify = false;
    if (HandlersDeleted) PurgeDeletedHandlers();
  }
  return result;
}

}  // namespace serial
