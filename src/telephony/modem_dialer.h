#pragma once
// The modem dialer: dials a number through a modem component and redials after a failed attempt, waiting
// RetrySecs seconds between attempts and giving up after MaxDialTries; it can stop at once on chosen
// results, and the user can cut a wait short (Cycle), lengthen an attempt (Extend) or stop (Abort).
// While it dials it borrows the modem's events and the port's timer-trigger event and hands each one on
// to the handler that was there before.
//
// Threads: everything of the dialer runs on the window thread, its events included. The modem's events
// arrive on the port's dispatch thread: there the dialer only calls the borrowed handler and posts its
// own reaction to the window thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/com_port.h"
#include "serial/lk_base_component.h"
#include "telephony/modem_component.h"
#include "telephony/window_thread_post.h"
#include "tk/qcomponent.h"

namespace telephony {

enum TDialerOption : std::uint8_t {
  mdAbortOnVoice,
  mdAbortOnBusy,
  mdAbortOnNoCarrier,
  mdAbortOnNoDialtone,
  mdAbortOnError
};
using TDialerOptions = std::uint8_t;  // a set of TDialerOption bits
constexpr TDialerOptions DialerOptionBit(TDialerOption option) { return static_cast<TDialerOptions>(1u << option); }
inline constexpr TDialerOptions kDefaultDialerOptions =
    DialerOptionBit(mdAbortOnNoDialtone) | DialerOptionBit(mdAbortOnError);

// The dialer's result.
enum : int { drIdle = 0, drDialing = 1, drConnected = 2, drFailed = 3 };

class TLkCustomModemDialer : public serial::TLkBaseQComponent {
 public:
  static constexpr std::int32_t kDialStartTicks = 4;
  static constexpr std::int32_t kSecondTicks = 18;

  explicit TLkCustomModemDialer(tk::Component* owner);
  ~TLkCustomModemDialer() override;
  std::string ClassName() const override { return "TLkCustomModemDialer"; }

  TLkCustomModem* Modem() const { return modem_; }
  void SetModem(TLkCustomModem* modem);
  tk::ComponentRef ModemRef() const { return {modem_}; }
  void SetModemRef(tk::ComponentRef ref) { SetModem(dynamic_cast<TLkCustomModem*>(ref.Target)); }
  const std::string& PhoneNumber() const { return phoneNumber_; }
  void SetPhoneNumber(const std::string& number) { phoneNumber_ = number; }
  std::int32_t MaxDialTries() const { return maxDialTries_; }
  void SetMaxDialTries(std::int32_t tries) { maxDialTries_ = tries; }
  std::int32_t RetrySecs() const { return retrySecs_; }
  void SetRetrySecs(std::int32_t seconds) { retrySecs_ = seconds; }
  TDialerOptions DialerOptions() const { return options_; }
  void SetDialerOptions(TDialerOptions options) { options_ = options; }

  void Dial();
  void Cycle();
  void Extend(std::int32_t seconds);
  void Abort();

  int Result() const { return result_; }
  bool Dialing() const { return dialing_; }
  bool Retrying() const { return retrying_; }
  std::int32_t Attempts() const { return attempts_; }

  // Events (window thread).
  TNotifyEvent OnRetryStart, OnRetryEnd, OnCycleDial, OnDialStart, OnConnect, OnBusy, OnVoice, OnError, OnNoCarrier,
      OnNoDialTone, OnConnectionEstablished, OnTooManyTries;
  TConnectCountEvent OnRetryCount, OnDialCount;
  TLineSpeedEvent OnGotLineSpeed;
  TNotifyEvent OnDialTimedOut;  // not published

  void Notification(tk::Component* component, tk::Operation operation) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  virtual void RetryStart();
  virtual void RetryCount(std::int32_t remaining);
  virtual void RetryEnd();
  virtual void CycleDial();
  virtual void DialStart();
  virtual void GotConnect();
  virtual void DialCount(std::int32_t remaining);
  virtual void GotLineSpeed(std::int32_t speed);
  virtual void GotBusy();
  virtual void GotVoice();
  virtual void GotError();
  virtual void GotNoCarrier();
  virtual void GotNoDialTone();
  virtual void DialTimedOut();
  virtual void ConnectionEstablished();
  virtual void TooManyTries();

 private:
  struct SavedHandlers {
    serial::TTriggerHandleEvent PortTimer;
    TNotifyEvent Connect, Busy, Voice, Error, NoCarrier, NoDialTone, DialTimedOut, IsConnected;
    TConnectCountEvent DialCount;
    TLineSpeedEvent LineSpeed;
    TModemDestroyEvent Destroy;
  };

  void InstallHooks();
  void DialingFinished();
  void ShutDown();
  void PortTriggerTimer(tk::Component* sender, std::uint32_t handle);
  void ArmDialStart();
  void Retry();
  void RetryDone();
  void RemoveTrigger(std::int32_t& handle);
  // A result that ends the attempt: stop at once with `option` set, else redial.
  void AttemptFailed(TDialerOption option, void (TLkCustomModemDialer::*report)());
  static void OnWindowThread(const std::shared_ptr<WindowThreadPost>& post, TLkCustomModemDialer* dialer,
                             std::function<void()> reaction);
  bool ModemAttempting() const;
  void CancelModemAttempt();

  TLkCustomModem* modem_ = nullptr;
  std::string phoneNumber_;
  std::int32_t maxDialTries_ = 10;
  std::int32_t retrySecs_ = 60;
  TDialerOptions options_ = kDefaultDialerOptions;

  serial::TLkCustomComPort* port_ = nullptr;
  int result_ = drIdle;
  bool dialing_ = false, retrying_ = false, cycling_ = false;
  // A modem attempt is running whose result has not come yet: results of a cancelled attempt that
  // were already on their way are dropped.
  bool inAttempt_ = false;
  bool hooked_ = false;
  std::int32_t attempts_ = 0;
  std::int32_t retrySecsLeft_ = 0;
  std::int32_t dialStartTrigger_ = 0, retryTrigger_ = 0;
  SavedHandlers saved_;
  std::shared_ptr<WindowThreadPost> post_;
};

class TLkModemDialer : public TLkCustomModemDialer {
 public:
  using TLkCustomModemDialer::TLkCustomModemDialer;
  std::string ClassName() const override { return "TLkModemDialer"; }
};

}  // namespace telephony
