#pragma once
// The AT modem as a component: its command and response strings and its timing as properties, one engine
// record on the dispatcher of its port while started (from the first operation until the port closes),
// every engine failure raised as the library's exception, and every engine message turned into a virtual
// method and an event.
//
// Threads: the operations, setters and start and stop run on the window thread. The virtual methods and
// events that follow engine messages run on the port's dispatch thread: a handler that touches a window
// posts to the window thread (serial.md). Events may be set and read from any thread. Stopping waits for
// a message being handled on the dispatch thread to end, so a class that overrides the virtual methods
// stops the modem (SetStarted(false)) in its own destructor, before its part is gone.
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "serial/com_port.h"
#include "serial/lk_base_component.h"
#include "telephony/modem_data.h"
#include "telephony/modem_engine.h"
#include "tk/component.h"

namespace telephony {

class TLkCustomModem;

using TNotifyEvent = std::function<void(tk::Component* sender)>;
using TLineSpeedEvent = std::function<void(tk::Component* sender, std::int32_t speed)>;
using TConnectCountEvent = std::function<void(tk::Component* sender, std::uint16_t remaining)>;
using TModemEvent = std::function<void(tk::Component* sender, TModemStatus whatHappened, std::int32_t data)>;
using TModemDestroyEvent = std::function<void(TLkCustomModem* modem)>;

// Five feature tags of at most 21 characters, numbered 1 to 5.
class TTagSet {
 public:
  std::string GetStr(int index) const;
  void SetStr(int index, const std::string& text);
  const std::array<std::string, kModemMaxTags>& Strings() const { return strings_; }
  friend bool operator==(const TTagSet&, const TTagSet&) = default;

 private:
  std::array<std::string, kModemMaxTags> strings_;
};

// The library's default modem description.
const TModemInfo& DefModemData();

// An event that the dispatch thread reads while the window thread may set it.
template <class F>
class ThreadSafeEvent {
 public:
  void Set(F f) {
    std::lock_guard lock(mutex_);
    f_ = std::move(f);
  }
  F Get() const {
    std::lock_guard lock(mutex_);
    return f_;
  }

 private:
  mutable std::mutex mutex_;
  F f_;
};

class TLkCustomModem : public serial::TLkBaseComponent {
 public:
  explicit TLkCustomModem(tk::Component* owner);
  ~TLkCustomModem() override;
  std::string ClassName() const override { return "TLkCustomModem"; }

  // properties
  serial::TLkCustomComPort* ComPort() const { return port_; }
  void SetComPort(serial::TLkCustomComPort* port);
  tk::ComponentRef ComPortRef() const { return {port_}; }
  void SetComPortRef(tk::ComponentRef ref);

  const std::string& InitCmd() const { return info_.InitCmd; }
  void SetInitCmd(const std::string& s) { SetText(mtInitCmd, s); }
  const std::string& DialCmd() const { return info_.DialCmd; }
  void SetDialCmd(const std::string& s) { SetText(mtDialCmd, s); }
  const std::string& DialTerm() const { return info_.DialTerm; }
  void SetDialTerm(const std::string& s) { SetText(mtDialTerm, s); }
  const std::string& DialCancel() const { return info_.DialCancel; }
  void SetDialCancel(const std::string& s) { SetText(mtDialCancel, s); }
  const std::string& HangupCmd() const { return info_.HangupCmd; }
  void SetHangupCmd(const std::string& s) { SetText(mtHangupCmd, s); }
  const std::string& ConfigCmd() const { return info_.ConfigCmd; }
  void SetConfigCmd(const std::string& s) { SetText(mtConfigCmd, s); }
  const std::string& AnswerCmd() const { return info_.AnswerCmd; }
  void SetAnswerCmd(const std::string& s) { SetText(mtAnswerCmd, s); }
  const std::string& OkMsg() const { return info_.OkMsg; }
  void SetOkMsg(const std::string& s) { SetText(mtOkMsg, s); }
  const std::string& ConnectMsg() const { return info_.ConnectMsg; }
  void SetConnectMsg(const std::string& s) { SetText(mtConnectMsg, s); }
  const std::string& BusyMsg() const { return info_.BusyMsg; }
  void SetBusyMsg(const std::string& s) { SetText(mtBusyMsg, s); }
  const std::string& VoiceMsg() const { return info_.VoiceMsg; }
  void SetVoiceMsg(const std::string& s) { SetText(mtVoiceMsg, s); }
  const std::string& NoCarrierMsg() const { return info_.NoCarrierMsg; }
  void SetNoCarrierMsg(const std::string& s) { SetText(mtNoCarrierMsg, s); }
  const std::string& NoDialToneMsg() const { return info_.NoDialToneMsg; }
  void SetNoDialToneMsg(const std::string& s) { SetText(mtNoDialToneMsg, s); }
  const std::string& ErrorMsg() const { return info_.ErrorMsg; }
  void SetErrorMsg(const std::string& s) { SetText(mtErrorMsg, s); }
  const std::string& RingMsg() const { return info_.RingMsg; }
  void SetRingMsg(const std::string& s) { SetText(mtRingMsg, s); }
  const TTagSet& DataCompressionTags() const { return compressionTags_; }
  void SetDataCompressionTags(const TTagSet& tags);
  const TTagSet& ErrorCorrectionTags() const { return errorCorrectionTags_; }
  void SetErrorCorrectionTags(const TTagSet& tags);
  bool LockDTE() const { return info_.LockDTE; }
  void SetLockDTE(bool lock);
  std::uint32_t DialTimeout() const { return dialTimeout_; }
  void SetDialTimeout(std::uint32_t seconds);
  std::uint32_t AnswerTimeout() const { return answerTimeout_; }
  void SetAnswerTimeout(std::uint32_t seconds);
  std::uint32_t DelayFactor() const { return delayFactor_; }
  void SetDelayFactor(std::uint32_t ticks);
  std::uint32_t CmdTimeout() const { return cmdTimeout_; }
  void SetCmdTimeout(std::uint32_t ticks);
  std::uint32_t DTRDropHold() const { return dtrDropHold_; }
  void SetDTRDropHold(std::uint32_t ticks);
  std::uint32_t CharDelay() const { return charDelay_; }
  void SetCharDelay(std::uint32_t ticks);
  std::uint32_t TildeDelay() const { return tildeDelay_; }
  void SetTildeDelay(std::uint32_t ticks);
  std::uint32_t RingWaitTimeout() const { return ringWaitTimeout_; }
  void SetRingWaitTimeout(std::uint32_t ticks);

  // Every command and response string, LockDTE, the default baud rate and the name; the tags stay.
  void SetModemInfo(const TModemInfo& info);
  const TModemInfo& ModemInfo() const { return info_; }

  bool Started() const { return started_; }
  void SetStarted(bool started);

  // operations (each starts the engine first)
  void PutCommand(const std::string& command);
  void Initialize();
  void Configure();
  void Dial(const std::string& number);
  void Answer();
  void AutoAnswer(std::int32_t rings);
  void Hangup();
  void CancelDialAnswer();
  void ExtendConnectAttempt(std::int32_t seconds);
  void WaitOnFeatures();
  void WaitOnResponse();
  bool IsAttemptingConnect();
  bool FeatureWaitOver();
  std::int32_t GetConnectSpeed();
  std::string GetLastString();

  // events
#define ZELTA_MODEM_EVENT(Type, Name)         \
  Type Name() const { return Name##_.Get(); } \
  void Set##Name(Type e) { Name##_.Set(std::move(e)); }
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemOk)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemConnect)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemBusy)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemVoice)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemNoCarrier)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemNoDialTone)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemError)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnGotErrCorrection)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnGotDataCompression)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnCmdTimedOut)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnDialTimedOut)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnAnswerTimedOut)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemIsConnected)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnConnectFailed)
  ZELTA_MODEM_EVENT(TNotifyEvent, OnModemRing)
  ZELTA_MODEM_EVENT(TLineSpeedEvent, OnGotLineSpeed)
  ZELTA_MODEM_EVENT(TConnectCountEvent, OnDialCount)
  ZELTA_MODEM_EVENT(TConnectCountEvent, OnAnswerCount)
  ZELTA_MODEM_EVENT(TModemEvent, OnCommandProcessed)
  ZELTA_MODEM_EVENT(TModemEvent, OnModemEvent)
  // Told first thing when the modem is destroyed (not published).
  ZELTA_MODEM_EVENT(TModemDestroyEvent, OnDestroy)
#undef ZELTA_MODEM_EVENT

  void Notification(tk::Component* component, tk::Operation operation) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  virtual void ModemOk();
  virtual void ModemConnect();
  virtual void ModemBusy();
  virtual void ModemVoice();
  virtual void ModemNoCarrier();
  virtual void ModemNoDialTone();
  virtual void ModemError();
  virtual void GotLineSpeed(std::int32_t speed);
  virtual void GotErrCorrection();
  virtual void GotDataCompression();
  virtual void CmdTimedOut();
  virtual void DialTimedOut();
  virtual void AnswerTimedOut();
  virtual void DialCount(std::uint16_t remaining);
  virtual void AnswerCount(std::uint16_t remaining);
  virtual void ModemIsConnected();
  virtual void ConnectFailed();
  virtual void ModemRing();
  virtual void CommandProcessed(TModemStatus status);
  void ModemEvent(TModemStatus status, std::int32_t data);

 private:
  static void ModemHandler(std::uint32_t msg, std::uint32_t wParam, std::intptr_t lParam);
  void HandleModemMessage(std::uint32_t msg, std::uint32_t wParam, TModemRec& rec);
  void SetText(TModemText which, const std::string& text);
  void SetTags(TTagSet& tags, const TTagSet& value);
  void Start();
  void Stop();
  void FreeRecord();
  TModemRec* EnsureStarted();
  void Fire(const ThreadSafeEvent<TNotifyEvent>& event);

  serial::TLkCustomComPort* port_ = nullptr;
  std::intptr_t portCallback_ = 0;
  TModemInfo info_;
  TTagSet errorCorrectionTags_, compressionTags_;
  std::uint32_t dialTimeout_ = 60, answerTimeout_ = 60, delayFactor_ = 2, cmdTimeout_ = 182, dtrDropHold_ = 8,
                charDelay_ = 0, tildeDelay_ = 9, ringWaitTimeout_ = 182;
  TModemRec* rec_ = nullptr;
  bool started_ = false;
  bool autoStart_ = true;

  ThreadSafeEvent<TNotifyEvent> OnModemOk_, OnModemConnect_, OnModemBusy_, OnModemVoice_, OnModemNoCarrier_,
      OnModemNoDialTone_, OnModemError_, OnGotErrCorrection_, OnGotDataCompression_, OnCmdTimedOut_, OnDialTimedOut_,
      OnAnswerTimedOut_, OnModemIsConnected_, OnConnectFailed_, OnModemRing_;
  ThreadSafeEvent<TLineSpeedEvent> OnGotLineSpeed_;
  ThreadSafeEvent<TConnectCountEvent> OnDialCount_, OnAnswerCount_;
  ThreadSafeEvent<TModemEvent> OnCommandProcessed_, OnModemEvent_;
  ThreadSafeEvent<TModemDestroyEvent> OnDestroy_;
};

class TLkModem : public TLkCustomModem {
 public:
  using TLkCustomModem::TLkCustomModem;
  std::string ClassName() const override { return "TLkModem"; }
};

}  // namespace telephony
