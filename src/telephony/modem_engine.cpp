#include "telephony/modem_engine.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <thread>
#include <unordered_set>

#include "serial/error_codes.h"
#include "serial/port_list.h"
#include "serial/timing.h"

namespace telephony {

namespace {

using serial::TLkBaseDispatcher;
using Guard = std::unique_lock<std::recursive_mutex>;

constexpr std::uint32_t kDataPointerSlot = 3;
constexpr std::int32_t kSecondTicks = 18;
constexpr std::size_t kMaxLastResponse = 255;
constexpr std::size_t kMaxConfigPiece = 42;  // the piece buffer holds 43 characters with its terminator
constexpr int kPauseToken = 0x100;

// Records the trigger handler may reach, and who is using each.

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::condition_variable& RegistryCv() {
  static std::condition_variable cv;
  return cv;
}
std::unordered_set<TModemRec*>& LiveRecords() {
  static std::unordered_set<TModemRec*> live;
  return live;
}
thread_local std::vector<TModemRec*> tUses;

// Keeps a record alive while a routine or a handler run uses it; a record freed meanwhile on the same
// thread (from the message loop or from a handler) goes when the last use ends.
class RecordUse {
 public:
  explicit RecordUse(TModemRec* rec) : rec_(rec) {
    std::lock_guard lock(RegistryLock());
    Enter();
  }
  // For the trigger handler: only a live record of that dispatcher.
  RecordUse(void* candidate, const TLkBaseDispatcher* dispatcher) {
    std::lock_guard lock(RegistryLock());
    auto* rec = static_cast<TModemRec*>(candidate);
    if (!rec || !LiveRecords().contains(rec) || rec->Dispatcher.lock().get() != dispatcher) return;
    rec_ = rec;
    Enter();
  }
  ~RecordUse() {
    if (!rec_) return;
    bool free;
    {
      std::lock_guard lock(RegistryLock());
      --rec_->Uses;
      tUses.erase(std::find(tUses.rbegin(), tUses.rend(), rec_).base() - 1);
      free = rec_->FreePending && rec_->Uses == 0;
    }
    RegistryCv().notify_all();
    if (free) delete rec_;
  }
  RecordUse(const RecordUse&) = delete;
  RecordUse& operator=(const RecordUse&) = delete;
  TModemRec* Get() const { return rec_; }

 private:
  void Enter() {
    ++rec_->Uses;
    tUses.push_back(rec_);
  }
  TModemRec* rec_ = nullptr;
};

// Sending

struct SendToken {
  int Byte = 0;  // kPauseToken for a "~"
  bool DelayAfter = false;
};

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

void Tokenize(const std::string& s, std::vector<SendToken>& out) {
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    if (s[i] == '~') {
      out.push_back({kPauseToken, false});
      ++i;
      continue;
    }
    int byte = static_cast<unsigned char>(s[i]);
    std::size_t next = i + 1;
    if (s[i] == '^' && i + 1 < n) {
      int code = static_cast<unsigned char>(Upper(s[i + 1]));
      if (code >= 64 && code <= 95) {
        byte = code - 64;
        next = i + 2;
      }
    }
    // The pause after a character is skipped when the character after it is the string's last one.
    out.push_back({byte, next + 1 < n});
    i = next;
  }
}

// Sends the tokens; `beforeLast` runs just before the last character goes out (or at the end when no
// character does). Runs the message loop in the pauses only with `yield`: never while the record's lock
// is held.
std::int32_t SendTokens(TLkBaseDispatcher& d, const std::vector<SendToken>& tokens, std::uint32_t tildeDelay,
                        std::uint32_t charDelay, bool yield, const std::function<void()>& beforeLast) {
  std::size_t last = tokens.size();
  for (std::size_t i = tokens.size(); i-- > 0;)
    if (tokens[i].Byte != kPauseToken) {
      last = i;
      break;
    }
  bool lastDone = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const SendToken& t = tokens[i];
    if (t.Byte == kPauseToken) {
      if (serial::DelayTicks(static_cast<std::int32_t>(tildeDelay), yield) == serial::kQuitMessage)
        return serial::ecGotQuitMsg;
      continue;
    }
    if (i == last && beforeLast) {
      beforeLast();
      lastDone = true;
    }
    std::int32_t rc = d.PutChar(static_cast<std::uint8_t>(t.Byte));
    if (rc < 0) return rc;
    if (charDelay != 0 && t.DelayAfter) serial::DelayTicks(static_cast<std::int32_t>(charDelay), yield);
  }
  if (!lastDone && beforeLast) beforeLast();
  return 0;
}

std::vector<SendToken> TokensOf(std::initializer_list<const std::string*> strings) {
  std::vector<SendToken> tokens;
  for (const std::string* s : strings) Tokenize(*s, tokens);
  return tokens;
}

// Triggers (record lock held)

enum class SlotSet { Command, Connect, Ring };

std::vector<TModemSlot*> SlotsOf(TModemRec& rec, SlotSet set) {
  std::vector<TModemSlot*> slots;
  auto slot = [&](int n) { slots.push_back(&rec.Responses[static_cast<std::size_t>(n - 1)]); };
  switch (set) {
    case SlotSet::Command:
      slot(kOkSlot);
      slot(kErrorSlot);
      break;
    case SlotSet::Connect:
      for (int n = kConnectSlot; n <= kErrorSlot; ++n) slot(n);
      break;
    case SlotSet::Ring:
      slot(kRingSlot);
      break;
  }
  return slots;
}

std::vector<TModemSlot*> TagSlots(TModemRec& rec, bool errorCorrection) {
  std::vector<TModemSlot*> slots;
  auto& tags = errorCorrection ? rec.ErrCorrectionTags : rec.DataCompressionTags;
  const std::int32_t count = errorCorrection ? rec.NumErrCorrectionTags : rec.NumDataCompressionTags;
  for (std::int32_t i = 0; i < std::min<std::int32_t>(count, kModemMaxTags); ++i)
    slots.push_back(&tags[static_cast<std::size_t>(i)]);
  return slots;
}

void Disarm(TLkBaseDispatcher* d, const std::vector<TModemSlot*>& slots) {
  for (TModemSlot* s : slots) {
    if (s->Active && d) d->RemoveTrigger(s->Trigger);
    s->Active = false;
    s->Trigger = 0;
  }
}

// Arms the slots that have a text and are not armed yet; on a failure the ones this call armed go again.
std::int32_t Arm(TLkBaseDispatcher& d, const std::vector<TModemSlot*>& slots, bool ignoreCase) {
  std::vector<TModemSlot*> armed;
  for (TModemSlot* s : slots) {
    if (s->Text.empty() || s->Active) continue;
    std::int32_t h = d.AddDataTrigger(s->Text.c_str(), ignoreCase);
    if (h < 0) {
      Disarm(&d, armed);
      return h;
    }
    s->Trigger = static_cast<std::uint32_t>(h);
    s->Active = true;
    armed.push_back(s);
  }
  return 0;
}

std::int32_t ArmTags(TModemRec& rec, TLkBaseDispatcher& d) {
  std::int32_t rc = Arm(d, TagSlots(rec, true), false);
  if (rc < 0) return rc;
  rc = Arm(d, TagSlots(rec, false), false);
  if (rc < 0) Disarm(&d, TagSlots(rec, true));
  return rc;
}

void DisarmTags(TModemRec& rec, TLkBaseDispatcher* d) {
  Disarm(d, TagSlots(rec, true));
  Disarm(d, TagSlots(rec, false));
}

void RemoveTimer(TModemRec& rec, TLkBaseDispatcher* d) {
  if (rec.Timer != 0 && d) d->RemoveTrigger(rec.Timer);
  rec.Timer = 0;
}

// A new timer trigger armed for `ticks` in place of the record's timer.
std::int32_t NewTimer(TModemRec& rec, TLkBaseDispatcher& d, std::uint32_t ticks) {
  RemoveTimer(rec, &d);
  std::int32_t h = d.AddTimerTrigger();
  if (h < 0) return h;
  rec.Timer = static_cast<std::uint32_t>(h);
  std::int32_t rc = d.SetTimerTrigger(rec.Timer, static_cast<std::int32_t>(ticks), true);
  if (rc < 0) RemoveTimer(rec, &d);
  return rc;
}

int SlotNumber(TModemRec& rec, std::uint32_t handle) {
  for (int n = 1; n <= 8; ++n) {
    const TModemSlot& s = rec.Responses[static_cast<std::size_t>(n - 1)];
    if (s.Active && s.Trigger == handle) return n;
  }
  return 0;
}

bool IsTag(const std::vector<TModemSlot*>& slots, std::uint32_t handle) {
  return std::any_of(slots.begin(), slots.end(), [&](TModemSlot* s) { return s->Active && s->Trigger == handle; });
}

void ClearLastResponse(TModemRec& rec) {
  rec.LastResponse.clear();
  rec.LastResponseComplete = false;
}

void AddToLastResponse(TModemRec& rec, std::uint8_t c) {
  if (c == '\r' || c == '\n') {
    rec.LastResponseComplete = true;
    return;
  }
  if (rec.LastResponseComplete) ClearLastResponse(rec);
  if (rec.LastResponse.size() < kMaxLastResponse) rec.LastResponse.push_back(static_cast<char>(c));
}

std::int32_t CheckIdle(const TModemRec& rec) {
  if (!rec.Started) return ecModemNotStarted;
  if (rec.State != mstIdle) return ecModemBusy;
  return 0;
}

bool InAttempt(int state) {
  return state == mstDialing || state == mstWaitSpeed || state == mstReadSpeed || state == mstAnswering ||
         state == mstWaitFeatures;
}

// Messages

struct ModemMessage {
  std::uint32_t Msg;
  std::uint32_t WParam;
  std::intptr_t LParam;
};
using Outbox = std::vector<ModemMessage>;

void Put(Outbox& out, TModemStatus status, std::uint32_t wParam = 0, std::intptr_t lParam = 0) {
  out.push_back({ModemMessageOf(status), wParam, lParam});
}

void PurgeDeleted(TModemRec& rec) {
  std::erase_if(rec.Handlers, [](const std::shared_ptr<TModemHandler>& h) { return h->Deleted; });
}

// Sends each message to the handlers, newest first; no lock is held while a handler runs.
void Deliver(TModemRec& rec, const Outbox& out) {
  for (const ModemMessage& m : out) {
    std::vector<std::shared_ptr<TModemHandler>> handlers;
    bool componentStyle;
    DispatcherPtr d;
    {
      Guard lock(rec.Lock);
      rec.LastMessage = m.Msg;
      handlers = rec.Handlers;
      componentStyle = rec.ComponentHandlers;
      d = rec.Dispatcher.lock();
    }
    for (const auto& h : handlers) {
      {
        Guard lock(rec.Lock);
        if (h->Deleted) continue;
      }
      // A handler's exception has nowhere to go on this thread: it ends that handler's turn only.
      try {
        if (h->Proc) {
          h->Proc(m.Msg, m.WParam, componentStyle ? reinterpret_cast<std::intptr_t>(&rec) : m.LParam);
        } else if (h->Window) {
          auto delivery =
              std::make_shared<serial::Delivery>(d.get(), m.Msg, m.WParam, static_cast<std::uint32_t>(m.LParam));
          h->Window->Post(delivery);
          static const std::atomic<bool> never{false};
          delivery->Wait(serial::kWindowDeliveryBound, d ? d->KillThreads : never);
        }
      } catch (...) {
      }
    }
    Guard lock(rec.Lock);
    PurgeDeleted(rec);
  }
}

// The trigger handler's states (record lock held)

struct Context {
  TModemRec& Rec;
  TLkBaseDispatcher& D;
  Outbox& Out;
  bool AnswerNow = false;
};

std::int32_t CancelLocked(TModemRec& rec, TLkBaseDispatcher* d);

// Ends a dial or answer attempt; the caller then adds the message that says why.
void EndAttempt(Context& c, bool cancel) {
  TModemRec& rec = c.Rec;
  if (cancel) {
    // Nothing of the window's message loop runs on this thread: the pause is a plain one.
    serial::DelayTicks(static_cast<std::int32_t>(2 * rec.DelayFactor), false);
    if (rec.State >= mstDialing && rec.State <= mstWaitRings) CancelLocked(rec, &c.D);
  }
  Disarm(&c.D, SlotsOf(rec, SlotSet::Connect));
  DisarmTags(rec, &c.D);
  RemoveTimer(rec, &c.D);
  rec.State = mstIdle;
  rec.ConnectSpeed = 0;
  ++rec.Attempt;
  Put(c.Out, msConnectFailed);
}

void StartFeatureWait(Context& c) {
  TModemRec& rec = c.Rec;
  rec.State = mstIdle;
  if (NewTimer(rec, c.D, rec.FeatureWait) < 0) {
    DisarmTags(rec, &c.D);
    Put(c.Out, msConnectFailed);
    return;
  }
  rec.State = mstWaitFeatures;
}

// The platform's standard line rates from 300 up. A line change waits about 18 character times at the
// port's rate, here behind the record's lock: a connect line naming another rate ("CONNECT 1") must not
// put the port where the next change would hold every modem call for minutes.
bool IsStandardLineRate(std::int32_t rate) {
  static constexpr std::int32_t kRates[] = {300,   600,   1200,  2400,  4800,   9600,   14400,
                                            19200, 38400, 56000, 57600, 115200, 128000, 256000};
  return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

void SetSpeed(Context& c, std::int32_t speed) {
  c.Rec.ConnectSpeed = speed;
  // Any other rate, and one the device refuses, leaves the line as it was: the modem buffers at its own
  // rate anyway.
  if (!c.Rec.LockDTE && IsStandardLineRate(speed)) c.D.ChangeBaud(static_cast<std::uint32_t>(speed));
}

void EndSpeed(Context& c) {
  TModemRec& rec = c.Rec;
  rec.SpeedBuffer[rec.SpeedCount] = '\0';
  std::int64_t value = 0;
  for (int i = 0; i < rec.SpeedCount; ++i) value = value * 10 + (rec.SpeedBuffer[i] - '0');
  SetSpeed(c, static_cast<std::int32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max())));
  RemoveTimer(rec, &c.D);
  Put(c.Out, msGotLineSpeed, 0, rec.ConnectSpeed);
  StartFeatureWait(c);
}

// A match of a feature tag in the states that listen for them.
bool HandleTag(Context& c, std::uint32_t handle) {
  TModemRec& rec = c.Rec;
  bool ec = IsTag(TagSlots(rec, true), handle);
  if (!ec && !IsTag(TagSlots(rec, false), handle)) return false;
  Disarm(&c.D, TagSlots(rec, ec));
  Put(c.Out, ec ? msGotErrCorrection : msGotDataCompression);
  (ec ? rec.GotErrCorrection : rec.GotDataCompression) = true;
  if (rec.State == mstWaitFeatures && rec.GotErrCorrection && rec.GotDataCompression) {
    RemoveTimer(rec, &c.D);
    rec.State = mstIdle;
    Put(c.Out, msModemIsConnected);
  }
  return true;
}

void EndCommand(Context& c, TModemStatus status, std::uint32_t processed) {
  Put(c.Out, status);
  Disarm(&c.D, SlotsOf(c.Rec, SlotSet::Command));
  RemoveTimer(c.Rec, &c.D);
  c.Rec.State = mstIdle;
  ++c.Rec.Attempt;
  Put(c.Out, msCommandProcessed, processed);
}

void CommandState(Context& c, std::uint32_t msg, std::uint32_t trigger) {
  if (msg == serial::kMsgDataTrigger) {
    int slot = SlotNumber(c.Rec, trigger);
    if (slot == kOkSlot) EndCommand(c, msModemOK, 1);
    if (slot == kErrorSlot) EndCommand(c, msModemError, 2);
  } else if (msg == serial::kMsgTimerTrigger && trigger == c.Rec.Timer) {
    EndCommand(c, msCmdTimeout, 3);
  }
}

void AttemptState(Context& c, std::uint32_t msg, std::uint32_t trigger) {
  TModemRec& rec = c.Rec;
  const bool dialing = rec.State == mstDialing;
  if (msg == serial::kMsgDataTrigger) {
    switch (SlotNumber(rec, trigger)) {
      case kConnectSlot: {
        Disarm(&c.D, SlotsOf(rec, SlotSet::Connect));
        rec.State = mstWaitSpeed;
        rec.SpeedCount = 0;
        rec.SpeedBuffer[0] = '\0';
        if (NewTimer(rec, c.D, rec.SpeedWait) < 0) {
          EndAttempt(c, false);
          return;
        }
        Put(c.Out, msModemConnect);
        return;
      }
      case kBusySlot:
        EndAttempt(c, true);
        Put(c.Out, msModemBusy);
        return;
      case kVoiceSlot:
        EndAttempt(c, false);
        Put(c.Out, msModemVoice);
        return;
      case kNoCarrierSlot:
        EndAttempt(c, false);
        Put(c.Out, msModemNoCarrier);
        return;
      case kNoDialToneSlot:
        EndAttempt(c, false);
        Put(c.Out, msModemNoDialTone);
        return;
      case kErrorSlot:
        EndAttempt(c, false);
        Put(c.Out, msModemError);
        return;
      default:
        HandleTag(c, trigger);
        return;
    }
  }
  if (msg != serial::kMsgTimerTrigger || trigger != rec.Timer) return;
  if (--rec.Countdown <= 0) {
    EndAttempt(c, true);
    Put(c.Out, dialing ? msDialTimeout : msAnswerTimeout);
    return;
  }
  if (c.D.SetTimerTrigger(rec.Timer, kSecondTicks, true) < 0) {
    EndAttempt(c, true);
    return;
  }
  Put(c.Out, dialing ? msDialCount : msAnswerCount, static_cast<std::uint32_t>(rec.Countdown));
}

// Reads one waiting character into the last response; false when none is left of `budget`.
bool ReadChar(Context& c, std::uint32_t& budget, std::uint8_t& ch) {
  if (budget == 0 || c.D.GetChar(ch) != 0) return false;
  --budget;
  if (c.Rec.State != mstIdle) AddToLastResponse(c.Rec, ch);
  return true;
}

void ReadSpeedDigits(Context& c, std::uint32_t& budget) {
  TModemRec& rec = c.Rec;
  std::uint8_t ch;
  while (rec.State == mstReadSpeed && ReadChar(c, budget, ch)) {
    if (std::isdigit(ch)) {
      // Digits past the twelfth are not part of any line rate: they are passed over.
      if (rec.SpeedCount < 12) rec.SpeedBuffer[rec.SpeedCount++] = static_cast<char>(ch);
      continue;
    }
    EndSpeed(c);
  }
}

void SpeedStates(Context& c, std::uint32_t msg, std::uint32_t trigger, std::uint32_t& budget) {
  TModemRec& rec = c.Rec;
  if (msg == serial::kMsgDataAvail) {
    std::uint8_t ch;
    while (rec.State == mstWaitSpeed && ReadChar(c, budget, ch)) {
      if (std::isdigit(ch)) {
        rec.SpeedBuffer[0] = static_cast<char>(ch);
        rec.SpeedCount = 1;
        rec.State = mstReadSpeed;
      }
    }
    ReadSpeedDigits(c, budget);
  } else if (msg == serial::kMsgDataTrigger) {
    HandleTag(c, trigger);
  } else if (msg == serial::kMsgTimerTrigger && trigger == rec.Timer) {
    const bool announce = rec.State == mstWaitSpeed;
    RemoveTimer(rec, &c.D);
    SetSpeed(c, 300);
    if (announce) Put(c.Out, msGotLineSpeed, 0, 300);
    StartFeatureWait(c);
  }
}

void FeatureState(Context& c, std::uint32_t msg, std::uint32_t trigger) {
  TModemRec& rec = c.Rec;
  if (msg == serial::kMsgDataTrigger) {
    HandleTag(c, trigger);
  } else if (msg == serial::kMsgTimerTrigger && trigger == rec.Timer) {
    DisarmTags(rec, &c.D);
    RemoveTimer(rec, &c.D);
    rec.State = mstIdle;
    Put(c.Out, msModemIsConnected);
  }
}

void RingState(Context& c, std::uint32_t msg, std::uint32_t trigger) {
  TModemRec& rec = c.Rec;
  if (msg == serial::kMsgDataTrigger && SlotNumber(rec, trigger) == kRingSlot) {
    Put(c.Out, msModemRing);
    if (--rec.RingsLeft > 0) {
      c.D.SetTimerTrigger(rec.Timer, static_cast<std::int32_t>(rec.RingWaitTimeout), true);
      return;
    }
    Disarm(&c.D, SlotsOf(rec, SlotSet::Ring));
    RemoveTimer(rec, &c.D);
    rec.State = mstIdle;
    ++rec.Attempt;
    c.AnswerNow = true;
  } else if (msg == serial::kMsgTimerTrigger && trigger == rec.Timer) {
    rec.RingsLeft = rec.RingCount;
  }
}

void HandleTrigger(TModemRec& rec, TLkBaseDispatcher& d, std::uint32_t msg, std::uint32_t trigger) {
  Outbox out;
  Context c{rec, d, out};
  {
    Guard lock(rec.Lock);
    if (rec.State == mstIdle || rec.Sending || !rec.Started) return;
    ++rec.Progress;
    std::uint32_t budget = msg == serial::kMsgDataAvail ? trigger : 0;
    switch (rec.State) {
      case mstCommand:
        CommandState(c, msg, trigger);
        break;
      case mstDialing:
      case mstAnswering:
        AttemptState(c, msg, trigger);
        break;
      case mstWaitSpeed:
      case mstReadSpeed:
        SpeedStates(c, msg, trigger, budget);
        break;
      case mstWaitRings:
        RingState(c, msg, trigger);
        break;
      case mstWaitFeatures:
        FeatureState(c, msg, trigger);
        break;
      default:
        break;
    }
    // The rest of what the message announced goes into the last response, except while the speed is
    // still being read from it. Only what was announced: later bytes are not scanned for triggers yet.
    if (msg == serial::kMsgDataAvail && rec.State != mstWaitSpeed && rec.State != mstReadSpeed) {
      std::uint8_t ch;
      while (ReadChar(c, budget, ch)) {
      }
    }
  }
  Deliver(rec, out);
  if (c.AnswerNow) mAnswerModem(&rec);
}

// The dispatcher's procedure handler for every port that carries an engine record.
void ModemTriggerHandler(std::uint32_t msg, std::uint32_t trigger, std::uint32_t data) {
  if (msg != serial::kMsgDataAvail && msg != serial::kMsgDataTrigger && msg != serial::kMsgTimerTrigger) return;
  auto d = serial::PortList::At(static_cast<std::int32_t>(data >> 16));
  if (!d) return;
  void* p = nullptr;
  d->GetDataPointer(p, kDataPointerSlot);
  RecordUse use(p, d.get());
  if (use.Get()) HandleTrigger(*use.Get(), *d, msg, trigger);
}

// mCancelDialAnswer's work with the lock held and the state already checked.
std::int32_t CancelLocked(TModemRec& rec, TLkBaseDispatcher* d) {
  std::int32_t rc = 0;
  if (rec.State == mstWaitRings) {
    RemoveTimer(rec, d);
    Disarm(d, SlotsOf(rec, SlotSet::Ring));
  } else {
    // The record's lock is held: no message loop may run here.
    if (d) rc = SendTokens(*d, TokensOf({&rec.DialCancel}), rec.TildeDelay, rec.CharDelay, false, {});
    serial::DelayTicks(static_cast<std::int32_t>(rec.DelayFactor), false);
    Disarm(d, SlotsOf(rec, SlotSet::Connect));
    RemoveTimer(rec, d);
  }
  rec.State = mstIdle;
  rec.Sending = false;
  rec.ConnectSpeed = 0;
  ++rec.Attempt;
  return rc;
}

// Starts a wait that sends something first: `arm` arms the triggers with the lock held; the strings are
// sent without it (the message loop may run in their pauses); then the timer is armed unless the wait
// was ended meanwhile.
std::int32_t StartWait(TModemRec* rec, int state, std::initializer_list<const std::string*> strings,
                       const std::function<std::int32_t(TModemRec&, TLkBaseDispatcher&)>& arm,
                       const std::function<void(TModemRec&, TLkBaseDispatcher*)>& disarm,
                       const std::function<std::uint32_t(const TModemRec&)>& timerTicks) {
  RecordUse use(rec);
  Guard lock(rec->Lock);
  if (std::int32_t rc = CheckIdle(*rec)) return rc;
  DispatcherPtr d = rec->Dispatcher.lock();
  if (!d) return serial::ecCommNotOpen;
  ClearLastResponse(*rec);
  std::int32_t rc = arm(*rec, *d);
  if (rc < 0) return rc;
  std::int32_t timer = d->AddTimerTrigger();
  if (timer < 0) {
    disarm(*rec, d.get());
    return timer;
  }
  rec->Timer = static_cast<std::uint32_t>(timer);
  rec->State = state;
  rec->Sending = true;
  const std::uint64_t attempt = ++rec->Attempt;
  const auto ourTimer = rec->Timer;
  const std::vector<SendToken> tokens = TokensOf(strings);
  const std::uint32_t tilde = rec->TildeDelay, charDelay = rec->CharDelay;
  lock.unlock();
  rc = SendTokens(*d, tokens, tilde, charDelay, true, [&] {
    Guard inner(rec->Lock);
    if (rec->Attempt == attempt) rec->Sending = false;
  });
  lock.lock();
  // Stopped, cancelled or already answered meanwhile: the wait is no longer ours to time.
  if (rec->Attempt != attempt || rec->State != state || rec->Timer != ourTimer) return rc < 0 ? rc : 0;
  if (rc >= 0) rc = d->SetTimerTrigger(rec->Timer, static_cast<std::int32_t>(timerTicks(*rec)), true);
  if (rc < 0) {
    disarm(*rec, d.get());
    RemoveTimer(*rec, d.get());
    rec->State = mstIdle;
    rec->Sending = false;
    ++rec->Attempt;
    return rc;
  }
  return 0;
}

std::int32_t InitRecord(TModemRec*& rec, const DispatcherPtr& dispatcher, const TModemData& data, bool component) {
  rec = nullptr;
  if (!dispatcher) return serial::ecBadArgument;
  auto* r = new TModemRec;
  r->InitCmd = ModemField(data.InitCmd);
  r->DialCmd = ModemField(data.DialCmd);
  r->DialTerm = ModemField(data.DialTerm);
  r->DialCancel = ModemField(data.DialCancel);
  r->HangupCmd = ModemField(data.HangupCmd);
  r->ConfigCmd = ModemField(data.ConfigCmd);
  r->AnswerCmd = ModemField(data.AnswerCmd);
  const std::string responses[] = {ModemField(data.OkMsg),        ModemField(data.ConnectMsg),
                                   ModemField(data.BusyMsg),      ModemField(data.VoiceMsg),
                                   ModemField(data.NoCarrierMsg), ModemField(data.NoDialToneMsg),
                                   ModemField(data.ErrorMsg),     ModemField(data.RingMsg)};
  for (std::size_t i = 0; i < 8; ++i) r->Responses[i].Text = responses[i];
  mSetModemTags(r, data.ErrorCheckTags, data.CompressTags);
  r->LockDTE = data.LockDTE;
  r->Dispatcher = dispatcher;
  r->ComponentHandlers = component;
  std::int32_t rc = dispatcher->SetDataPointer(r, kDataPointerSlot);
  if (rc < 0) {
    delete r;
    return rc;
  }
  {
    std::lock_guard lock(RegistryLock());
    LiveRecords().insert(r);
  }
  rec = r;
  return 0;
}

// Runs the message loop until `done`; ends with -1003 on quitting and -4006 when the engine shows no
// progress for longer than its longest wait.
std::int32_t WaitLoop(TModemRec* rec, const std::function<bool(TModemRec&)>& done) {
  RecordUse use(rec);
  std::uint64_t progress;
  std::chrono::milliseconds bound;
  {
    Guard lock(rec->Lock);
    if (!rec->Started) return ecModemNotStarted;
    progress = rec->Progress;
    bound = std::chrono::milliseconds(
        (std::max({rec->CmdTimeout, rec->RingWaitTimeout, rec->SpeedWait + 18}) + rec->FeatureWait) * serial::kTickMs +
        2000);
  }
  auto lastMove = std::chrono::steady_clock::now();
  for (;;) {
    {
      Guard lock(rec->Lock);
      if (!rec->Started || done(*rec)) return 0;
      if (rec->Progress != progress) {
        progress = rec->Progress;
        lastMove = std::chrono::steady_clock::now();
      }
      // Waiting for rings has no end of its own: only the caller's quitting ends it.
      if (rec->State == mstWaitRings) lastMove = std::chrono::steady_clock::now();
      if (rec->Dispatcher.expired()) return serial::ecCommNotOpen;
    }
    if (std::chrono::steady_clock::now() - lastMove > bound) return ecModemNotResponding;
    int message = serial::SafeYield();
    if (message == serial::kQuitMessage) return serial::ecGotQuitMsg;
    if (message == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

// Life of a record

std::int32_t mInitModem(TModemRec*& rec, const DispatcherPtr& dispatcher, const TModemData& data) {
  return InitRecord(rec, dispatcher, data, false);
}

std::int32_t mInitModemComponent(TModemRec*& rec, const DispatcherPtr& dispatcher, const TModemData& data) {
  return InitRecord(rec, dispatcher, data, true);
}

std::int32_t mDoneModem(TModemRec*& rec) {
  TModemRec* r = rec;
  rec = nullptr;
  if (!r) return 0;
  mStopModem(r);
  {
    std::lock_guard lock(RegistryLock());
    LiveRecords().erase(r);
  }
  if (DispatcherPtr d = r->Dispatcher.lock()) {
    void* p = nullptr;
    d->GetDataPointer(p, kDataPointerSlot);
    if (p == r) d->SetDataPointer(nullptr, kDataPointerSlot);
  }
  std::unique_lock lock(RegistryLock());
  // A handler run on another thread finishes first; uses on this thread (further up its stack) free it.
  const auto mine = static_cast<int>(std::count(tUses.begin(), tUses.end(), r));
  RegistryCv().wait(lock, [&] { return r->Uses == mine; });
  if (mine > 0) {
    r->FreePending = true;
    return 0;
  }
  lock.unlock();
  delete r;
  return 0;
}

std::int32_t mStartModem(TModemRec* rec) {
  RecordUse use(rec);
  Guard lock(rec->Lock);
  if (rec->Started) return ecModemBusy;
  DispatcherPtr d = rec->Dispatcher.lock();
  if (!d) return serial::ecCommNotOpen;
  d->RegisterProcTriggerHandler(&ModemTriggerHandler);
  d->ChangeLengthTrigger(1);
  rec->Started = true;
  return 0;
}

std::int32_t mStopModem(TModemRec* rec) {
  RecordUse use(rec);
  Guard lock(rec->Lock);
  if (!rec->Started) return 0;
  DispatcherPtr d = rec->Dispatcher.lock();
  switch (rec->State) {
    case mstCommand:
      Disarm(d.get(), SlotsOf(*rec, SlotSet::Command));
      RemoveTimer(*rec, d.get());
      break;
    case mstWaitFeatures:
      RemoveTimer(*rec, d.get());
      break;
    case mstIdle:
      break;
    default:
      CancelLocked(*rec, d.get());
      break;
  }
  // Nothing of the engine's stays armed on the port.
  DisarmTags(*rec, d.get());
  for (SlotSet set : {SlotSet::Connect, SlotSet::Command, SlotSet::Ring}) Disarm(d.get(), SlotsOf(*rec, set));
  RemoveTimer(*rec, d.get());
  if (d) d->DeregisterProcTriggerHandler(&ModemTriggerHandler);
  rec->Started = false;
  rec->State = mstIdle;
  rec->Sending = false;
  ++rec->Attempt;
  return 0;
}

std::int32_t mRegisterModemHandler(TModemRec* rec, serial::NotifyTarget* window, TModemProc proc) {
  Guard lock(rec->Lock);
  auto entry = std::make_shared<TModemHandler>();
  entry->Window = window;
  entry->Proc = proc;
  rec->Handlers.insert(rec->Handlers.begin(), entry);
  return 0;
}

std::int32_t mDeregisterModemHandler(TModemRec* rec, serial::NotifyTarget* window, TModemProc proc) {
  Guard lock(rec->Lock);
  for (const auto& h : rec->Handlers) {
    if (h->Deleted) continue;
    if (window ? h->Window == window : h->Proc == proc) {
      h->Deleted = true;
      break;
    }
  }
  return 0;
}

// Operations

std::int32_t mPutModemCommand(TModemRec* rec, const std::string& command) {
  std::string text;
  {
    Guard lock(rec->Lock);
    text = command;
  }
  return StartWait(
      rec, mstCommand, {&text},
      [](TModemRec& r, TLkBaseDispatcher& d) { return Arm(d, SlotsOf(r, SlotSet::Command), true); },
      [](TModemRec& r, TLkBaseDispatcher* d) { Disarm(d, SlotsOf(r, SlotSet::Command)); },
      [](const TModemRec& r) { return r.CmdTimeout; });
}

std::int32_t mInitializeModem(TModemRec* rec) {
  std::string init;
  {
    Guard lock(rec->Lock);
    init = rec->InitCmd;
  }
  return mPutModemCommand(rec, init);
}

std::int32_t mConfigureModem(TModemRec* rec) {
  RecordUse use(rec);
  std::string config;
  std::uint32_t delay;
  {
    Guard lock(rec->Lock);
    if (std::int32_t rc = CheckIdle(*rec)) return rc;
    config = rec->ConfigCmd;
    delay = rec->DelayFactor;
  }
  std::vector<std::string> pieces;
  for (std::size_t start = 0;;) {
    std::size_t bar = config.find('|', start);
    std::string piece = config.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (piece.size() > kMaxConfigPiece) return serial::ecBadArgument;
    if (!piece.empty()) pieces.push_back(piece);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (const std::string& piece : pieces) {
    if (std::int32_t rc = mPutModemCommand(rec, piece); rc < 0) return rc;
    if (std::int32_t rc = mWaitOnResponse(rec); rc < 0) return rc;
    if (serial::DelayTicks(static_cast<std::int32_t>(delay), true) == serial::kQuitMessage) return serial::ecGotQuitMsg;
  }
  return 0;
}

namespace {

std::int32_t StartAttempt(TModemRec* rec, int state, const std::string& command, const std::string& number) {
  std::string term;
  {
    Guard lock(rec->Lock);
    term = state == mstDialing ? rec->DialTerm : std::string();
  }
  auto arm = [state](TModemRec& r, TLkBaseDispatcher& d) {
    r.GotErrCorrection = r.GotDataCompression = false;
    r.ConnectSpeed = 0;
    std::int32_t rc = Arm(d, SlotsOf(r, SlotSet::Connect), true);
    if (rc < 0) return rc;
    rc = ArmTags(r, d);
    if (rc < 0) {
      Disarm(&d, SlotsOf(r, SlotSet::Connect));
      return rc;
    }
    r.Countdown = static_cast<std::int32_t>(state == mstDialing ? r.DialTimeout : r.AnswerTimeout);
    return 0;
  };
  auto disarm = [](TModemRec& r, TLkBaseDispatcher* d) {
    Disarm(d, SlotsOf(r, SlotSet::Connect));
    DisarmTags(r, d);
  };
  return StartWait(rec, state, {&command, &number, &term}, arm, disarm,
                   [](const TModemRec&) { return static_cast<std::uint32_t>(kSecondTicks); });
}

}  // namespace

std::int32_t mDialModem(TModemRec* rec, const std::string& number) {
  if (number.empty()) return 0;
  std::string dial;
  {
    Guard lock(rec->Lock);
    dial = rec->DialCmd;
  }
  return StartAttempt(rec, mstDialing, dial, number);
}

std::int32_t mAnswerModem(TModemRec* rec) {
  std::string answer;
  {
    Guard lock(rec->Lock);
    answer = rec->AnswerCmd;
  }
  return StartAttempt(rec, mstAnswering, answer, std::string());
}

std::int32_t mAutoAnswerModem(TModemRec* rec, std::int32_t rings) {
  RecordUse use(rec);
  Guard lock(rec->Lock);
  if (std::int32_t rc = CheckIdle(*rec)) return rc;
  if (rings == 0) return serial::ecBadArgument;
  DispatcherPtr d = rec->Dispatcher.lock();
  if (!d) return serial::ecCommNotOpen;
  rec->RingCount = rec->RingsLeft = rings;
  std::int32_t rc = Arm(*d, SlotsOf(*rec, SlotSet::Ring), true);
  if (rc < 0) return rc;
  std::int32_t timer = d->AddTimerTrigger();
  if (timer < 0) {
    Disarm(d.get(), SlotsOf(*rec, SlotSet::Ring));
    return timer;
  }
  rec->Timer = static_cast<std::uint32_t>(timer);
  rec->State = mstWaitRings;
  ++rec->Attempt;
  return 0;
}

std::int32_t mHangupModem(TModemRec* rec) {
  RecordUse use(rec);
  std::string hangup;
  std::uint32_t hold;
  DispatcherPtr d;
  {
    Guard lock(rec->Lock);
    if (!rec->Started) return ecModemNotStarted;
    rec->ConnectSpeed = 0;
    hangup = rec->HangupCmd;
    hold = rec->DTRDropHold;
    d = rec->Dispatcher.lock();
  }
  std::string upper = hangup;
  std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
  if (!hangup.empty() && upper != "DTR") return mPutModemCommand(rec, hangup);
  if (!d) return serial::ecCommNotOpen;
  std::int32_t rc = d->SetDtr(false);
  if (rc < 0) return rc;
  serial::DelayTicks(static_cast<std::int32_t>(hold), true);
  rc = d->SetDtr(true);
  return rc < 0 ? rc : 0;
}

std::int32_t mCancelDialAnswer(TModemRec* rec) {
  RecordUse use(rec);
  Guard lock(rec->Lock);
  if (!rec->Started || rec->State < mstDialing || rec->State > mstWaitRings) return ecModemNotDialing;
  DispatcherPtr d = rec->Dispatcher.lock();
  return CancelLocked(*rec, d.get());
}

std::int32_t mExtendConnectAttempt(TModemRec* rec, std::int32_t seconds) {
  Guard lock(rec->Lock);
  if (!rec->Started) return ecModemNotStarted;
  if (!InAttempt(rec->State)) return ecModemNotDialing;
  if (rec->State == mstAnswering || (rec->State == mstDialing && seconds >= 1)) rec->Countdown += seconds;
  return 0;
}

bool mIsAttemptingConnect(TModemRec* rec) {
  Guard lock(rec->Lock);
  return rec->Started && InAttempt(rec->State);
}

bool mAllFeatureWaitOver(TModemRec* rec) {
  Guard lock(rec->Lock);
  if (rec->State == mstWaitFeatures) return false;
  if (rec->State == mstDialing || rec->State == mstAnswering) return rec->GotErrCorrection && rec->GotDataCompression;
  return true;
}

std::int32_t mWaitOnFeatures(TModemRec* rec) {
  return WaitLoop(rec, [](TModemRec& r) { return mAllFeatureWaitOver(&r); });
}

std::int32_t mWaitOnResponse(TModemRec* rec) {
  return WaitLoop(rec, [](TModemRec& r) { return r.State == mstIdle; });
}

// Fields

std::int32_t mGetConnectSpeed(TModemRec* rec) {
  Guard lock(rec->Lock);
  return rec->ConnectSpeed;
}

std::uint32_t mGetLastMessage(TModemRec* rec) {
  Guard lock(rec->Lock);
  return rec->LastMessage;
}

bool mModemStarted(TModemRec* rec) {
  Guard lock(rec->Lock);
  return rec->Started;
}

DispatcherPtr mGetComHandle(TModemRec* rec) {
  Guard lock(rec->Lock);
  return rec->Dispatcher.lock();
}

std::string mGetLastResponse(TModemRec* rec) {
  Guard lock(rec->Lock);
  return rec->LastResponse;
}

#define ZELTA_MODEM_SETTER(Name, field)            \
  void Name(TModemRec* rec, std::uint32_t value) { \
    Guard lock(rec->Lock);                         \
    rec->field = value;                            \
  }
ZELTA_MODEM_SETTER(mSetModemDialTimeout, DialTimeout)
ZELTA_MODEM_SETTER(mSetModemAnswerTimeout, AnswerTimeout)
ZELTA_MODEM_SETTER(mSetModemDelayFactor, DelayFactor)
ZELTA_MODEM_SETTER(mSetModemCmdTimeout, CmdTimeout)
ZELTA_MODEM_SETTER(mSetModemDTRDropHold, DTRDropHold)
ZELTA_MODEM_SETTER(mSetModemCharDelay, CharDelay)
ZELTA_MODEM_SETTER(mSetTildeDelay, TildeDelay)
ZELTA_MODEM_SETTER(mSetRingWaitTimeout, RingWaitTimeout)
#undef ZELTA_MODEM_SETTER

std::uint32_t mGetModemDialTimeout(TModemRec* rec) {
  Guard lock(rec->Lock);
  return rec->DialTimeout;
}

void mSetModemLockDTE(TModemRec* rec, bool lock) {
  Guard guard(rec->Lock);
  rec->LockDTE = lock;
}

std::int32_t mSetModemText(TModemRec* rec, TModemText which, const std::string& text) {
  Guard lock(rec->Lock);
  if (rec->State != mstIdle) return ecModemBusy;
  std::string* commands[] = {&rec->InitCmd,   &rec->DialCmd,   &rec->DialTerm, &rec->DialCancel,
                             &rec->HangupCmd, &rec->ConfigCmd, &rec->AnswerCmd};
  if (which <= mtAnswerCmd) {
    *commands[which] = text;
    return 0;
  }
  TModemSlot& slot = rec->Responses[static_cast<std::size_t>(which - mtOkMsg)];
  if (slot.Active) Disarm(rec->Dispatcher.lock().get(), {&slot});
  slot.Text = text;
  return 0;
}

std::int32_t mSetModemTags(TModemRec* rec, const TModemTagList& errorCorrection, const TModemTagList& compression) {
  Guard lock(rec->Lock);
  if (rec->State != mstIdle) return ecModemBusy;
  // Tags left armed by a cancelled attempt go with their old texts.
  DisarmTags(*rec, rec->Dispatcher.lock().get());
  auto copy = [](const TModemTagList& from, std::int32_t& count, std::array<TModemSlot, kModemMaxTags>& to) {
    count = std::clamp<std::int32_t>(from.Count, 0, kModemMaxTags);
    for (std::size_t i = 0; i < kModemMaxTags; ++i) to[i].Text = ModemField(from.Tags[i]);
  };
  copy(errorCorrection, rec->NumErrCorrectionTags, rec->ErrCorrectionTags);
  copy(compression, rec->NumDataCompressionTags, rec->DataCompressionTags);
  return 0;
}

std::vector<int> ModemCommandBytes(const std::string& command) {
  std::vector<SendToken> tokens;
  Tokenize(command, tokens);
  std::vector<int> bytes;
  for (const SendToken& t : tokens) bytes.push_back(t.Byte);
  return bytes;
}

}  // namespace telephony
