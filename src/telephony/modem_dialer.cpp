#include "telephony/modem_dialer.h"

#include <exception>

#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "serial/timing.h"
#include "tk/filer.h"

namespace telephony {

namespace {

[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkModemDialer", [](tk::Component* owner) { return new TLkModemDialer(owner); });
  return true;
}();

TLkCustomModem* FirstModem(tk::Component* owner) {
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (auto* modem = dynamic_cast<TLkCustomModem*>(owner->Components(i))) return modem;
  return nullptr;
}

}  // namespace

TLkCustomModemDialer::TLkCustomModemDialer(tk::Component* owner)
    : serial::TLkBaseQComponent(owner), post_(std::make_shared<WindowThreadPost>(this)) {
  SetModem(FirstModem(owner));
}

TLkCustomModemDialer::~TLkCustomModemDialer() {
  try {
    ShutDown();
  } catch (...) {
  }
  post_->Detach();
}

void TLkCustomModemDialer::SetModem(TLkCustomModem* modem) {
  if (modem == modem_) return;
  modem_ = modem;
  if (modem_) modem_->FreeNotification(this);
}

void TLkCustomModemDialer::Notification(tk::Component* component, tk::Operation operation) {
  serial::TLkBaseQComponent::Notification(component, operation);
  if (operation == tk::Operation::Remove) {
    if (component == static_cast<tk::Component*>(modem_)) {
      modem_ = nullptr;
      port_ = nullptr;
    } else if (component == static_cast<tk::Component*>(port_)) {
      // Its triggers and its event went with it.
      port_ = nullptr;
      dialStartTrigger_ = retryTrigger_ = 0;
      saved_.PortTimer = nullptr;
    }
  } else if (operation == tk::Operation::Insert && !modem_) {
    if (auto* modem = dynamic_cast<TLkCustomModem*>(component)) SetModem(modem);
  }
}

// Dialing

void TLkCustomModemDialer::Dial() {
  if (dialing_) Check(ecAlreadyDialing);
  if (!modem_) throw serial::EModemNotAssigned(serial::ecModemNotAssigned);
  if (!modem_->ComPort()) Check(serial::ecPortNotAssigned);
  port_ = modem_->ComPort();
  port_->FreeNotification(this);
  result_ = drDialing;
  InstallHooks();
  attempts_ = 0;
  dialing_ = true;
  try {
    ArmDialStart();
  } catch (...) {
    DialingFinished();
    throw;
  }
}

void TLkCustomModemDialer::OnWindowThread(const std::shared_ptr<WindowThreadPost>& post, TLkCustomModemDialer* dialer,
                                          std::function<void()> reaction) {
  // The dispatch thread may still be here while the dialer goes: it touches only `post`, and what it
  // posts runs only while the dialer is there.
  post->Post([dialer, reaction = std::move(reaction)] {
    if (dialer->dialing_) reaction();
  });
}

void TLkCustomModemDialer::InstallHooks() {
  TLkCustomModem& m = *modem_;
  saved_.PortTimer = port_->OnTriggerTimer();
  saved_.Connect = m.OnModemConnect();
  saved_.DialCount = m.OnDialCount();
  saved_.LineSpeed = m.OnGotLineSpeed();
  saved_.Busy = m.OnModemBusy();
  saved_.Voice = m.OnModemVoice();
  saved_.Error = m.OnModemError();
  saved_.NoCarrier = m.OnModemNoCarrier();
  saved_.NoDialTone = m.OnModemNoDialTone();
  saved_.DialTimedOut = m.OnDialTimedOut();
  saved_.IsConnected = m.OnModemIsConnected();
  saved_.Destroy = m.OnDestroy();
  hooked_ = true;

  port_->SetOnTriggerTimer([this](tk::Component* sender, std::uint32_t handle) { PortTriggerTimer(sender, handle); });
  // These run on the dispatch thread: the borrowed handler there, the dialer's reaction on its own thread.
  auto post = post_;
  auto hook = [this, post](const TNotifyEvent& saved, std::function<void()> reaction) {
    return [self = this, post, saved, reaction](tk::Component* sender) {
      if (saved) saved(sender);
      OnWindowThread(post, self, reaction);
    };
  };
  m.SetOnModemConnect(hook(saved_.Connect, [this] {
    if (inAttempt_) GotConnect();
  }));
  m.SetOnDialCount([this, post, saved = saved_.DialCount](tk::Component* sender, std::uint16_t remaining) {
    if (saved) saved(sender, remaining);
    OnWindowThread(post, this, [this, remaining] {
      if (inAttempt_) DialCount(remaining);
    });
  });
  m.SetOnGotLineSpeed([this, post, saved = saved_.LineSpeed](tk::Component* sender, std::int32_t speed) {
    if (saved) saved(sender, speed);
    OnWindowThread(post, this, [this, speed] {
      if (inAttempt_) GotLineSpeed(speed);
    });
  });
  m.SetOnModemBusy(hook(saved_.Busy, [this] { AttemptFailed(mdAbortOnBusy, &TLkCustomModemDialer::GotBusy); }));
  m.SetOnModemVoice(hook(saved_.Voice, [this] { AttemptFailed(mdAbortOnVoice, &TLkCustomModemDialer::GotVoice); }));
  m.SetOnModemError(hook(saved_.Error, [this] { AttemptFailed(mdAbortOnError, &TLkCustomModemDialer::GotError); }));
  m.SetOnModemNoCarrier(
      hook(saved_.NoCarrier, [this] { AttemptFailed(mdAbortOnNoCarrier, &TLkCustomModemDialer::GotNoCarrier); }));
  m.SetOnModemNoDialTone(
      hook(saved_.NoDialTone, [this] { AttemptFailed(mdAbortOnNoDialtone, &TLkCustomModemDialer::GotNoDialTone); }));
  m.SetOnDialTimedOut(hook(saved_.DialTimedOut, [this] {
    if (!inAttempt_) return;
    inAttempt_ = false;
    DialTimedOut();
    Retry();
  }));
  m.SetOnModemIsConnected(hook(saved_.IsConnected, [this] {
    if (!inAttempt_) return;
    inAttempt_ = false;
    result_ = drConnected;
    DialingFinished();
    ConnectionEstablished();
  }));
  // The modem's destruction is told on the window thread.
  m.SetOnDestroy([this, saved = saved_.Destroy](TLkCustomModem* modem) {
    ShutDown();
    if (saved) saved(modem);
  });
}

void TLkCustomModemDialer::DialingFinished() {
  dialing_ = false;
  retrying_ = false;
  inAttempt_ = false;
  // A dial start still pending would otherwise stay on the port for good.
  RemoveTrigger(dialStartTrigger_);
  RemoveTrigger(retryTrigger_);
  if (!hooked_) return;
  hooked_ = false;
  if (port_) port_->SetOnTriggerTimer(saved_.PortTimer);
  if (modem_) {
    TLkCustomModem& m = *modem_;
    m.SetOnModemConnect(saved_.Connect);
    m.SetOnDialCount(saved_.DialCount);
    m.SetOnGotLineSpeed(saved_.LineSpeed);
    m.SetOnModemBusy(saved_.Busy);
    m.SetOnModemVoice(saved_.Voice);
    m.SetOnModemError(saved_.Error);
    m.SetOnModemNoCarrier(saved_.NoCarrier);
    m.SetOnModemNoDialTone(saved_.NoDialTone);
    m.SetOnDialTimedOut(saved_.DialTimedOut);
    m.SetOnModemIsConnected(saved_.IsConnected);
    m.SetOnDestroy(saved_.Destroy);
  }
  saved_ = SavedHandlers{};
}

void TLkCustomModemDialer::ShutDown() {
  if (dialing_ && modem_ && modem_->ComPort()) {
    if (retrying_)
      RemoveTrigger(retryTrigger_);
    else
      CancelModemAttempt();
  }
  if (dialing_ || hooked_) DialingFinished();
}

void TLkCustomModemDialer::RemoveTrigger(std::int32_t& handle) {
  if (handle && port_ && port_->Open()) {
    try {
      port_->RemoveTrigger(handle);
    } catch (const serial::ELkException&) {
      // Gone with a reopen of the port already.
    }
  }
  handle = 0;
}

bool TLkCustomModemDialer::ModemAttempting() const {
  // A modem that has not started attempts nothing; asking would start it.
  return modem_ && modem_->Started() && modem_->IsAttemptingConnect();
}

void TLkCustomModemDialer::CancelModemAttempt() {
  inAttempt_ = false;
  if (!ModemAttempting()) return;
  try {
    modem_->CancelDialAnswer();
  } catch (const serial::EModemNotDialing&) {
    // Past dialing already (waiting for the connection's features): nothing left to cancel.
  }
}

void TLkCustomModemDialer::ArmDialStart() {
  RemoveTrigger(dialStartTrigger_);
  dialStartTrigger_ = port_->AddTimerTrigger();
  port_->SetTimerTrigger(dialStartTrigger_, kDialStartTicks, true);
}

void TLkCustomModemDialer::PortTriggerTimer(tk::Component* sender, std::uint32_t handle) {
  // Finishing puts the borrowed handler back: the one to pass this trigger on to is the one held now.
  const serial::TTriggerHandleEvent saved = saved_.PortTimer;
  const auto h = static_cast<std::int32_t>(handle);
  std::exception_ptr failure;
  try {
    if (dialing_ && dialStartTrigger_ && h == dialStartTrigger_) {
      RemoveTrigger(dialStartTrigger_);
      inAttempt_ = true;
      modem_->Dial(phoneNumber_);
      DialStart();
    } else if (dialing_ && retrying_ && retryTrigger_ && h == retryTrigger_) {
      if (--retrySecsLeft_ > 0) {
        RetryCount(retrySecsLeft_);
        port_->SetTimerTrigger(retryTrigger_, kSecondTicks, true);
      } else {
        RetryDone();
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  if (saved) saved(sender, handle);
  if (failure) std::rethrow_exception(failure);
}

void TLkCustomModemDialer::Retry() {
  ++attempts_;
  if (attempts_ < maxDialTries_) {
    RetryStart();
    retrySecsLeft_ = retrySecs_;
    RemoveTrigger(retryTrigger_);
    retryTrigger_ = port_->AddTimerTrigger();
    port_->SetTimerTrigger(retryTrigger_, kSecondTicks, true);
    retrying_ = true;
  } else {
    DialingFinished();
    result_ = drFailed;
    TooManyTries();
  }
}

void TLkCustomModemDialer::RetryDone() {
  RemoveTrigger(retryTrigger_);
  RetryEnd();
  ArmDialStart();
  retrying_ = false;
}

void TLkCustomModemDialer::AttemptFailed(TDialerOption option, void (TLkCustomModemDialer::*report)()) {
  if (!inAttempt_) return;
  inAttempt_ = false;
  if (options_ & DialerOptionBit(option)) {
    result_ = drFailed;
    (this->*report)();
    DialingFinished();
  } else {
    (this->*report)();
    Retry();
  }
}

void TLkCustomModemDialer::Cycle() {
  if (!dialing_) Check(ecNotDialing);
  if (cycling_) return;
  cycling_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{cycling_};
  if (retrying_) {
    RetryDone();
    return;
  }
  CancelModemAttempt();
  ++attempts_;
  if (attempts_ > maxDialTries_) {
    result_ = drFailed;
    DialingFinished();
    TooManyTries();
    return;
  }
  CycleDial();
  serial::DelayTicks(kDialStartTicks, false);
  ArmDialStart();
}

void TLkCustomModemDialer::Extend(std::int32_t seconds) {
  if (!dialing_) Check(ecNotDialing);
  if (!modem_) return;
  try {
    modem_->ExtendConnectAttempt(seconds);
  } catch (const serial::EModemNotDialing&) {
  }
}

void TLkCustomModemDialer::Abort() {
  if (!dialing_) Check(ecNotDialing);
  if (ModemAttempting()) {
    CancelModemAttempt();
    result_ = drFailed;
  } else if (retrying_) {
    RemoveTrigger(retryTrigger_);
  }
  DialingFinished();
}

// Events

#define ZELTA_DIALER_NOTIFY(Method, Event) \
  void TLkCustomModemDialer::Method() {    \
    if (Event) Event(this);                \
  }
ZELTA_DIALER_NOTIFY(RetryStart, OnRetryStart)
ZELTA_DIALER_NOTIFY(RetryEnd, OnRetryEnd)
ZELTA_DIALER_NOTIFY(CycleDial, OnCycleDial)
ZELTA_DIALER_NOTIFY(DialStart, OnDialStart)
ZELTA_DIALER_NOTIFY(GotConnect, OnConnect)
ZELTA_DIALER_NOTIFY(GotBusy, OnBusy)
ZELTA_DIALER_NOTIFY(GotVoice, OnVoice)
ZELTA_DIALER_NOTIFY(GotError, OnError)
ZELTA_DIALER_NOTIFY(GotNoCarrier, OnNoCarrier)
ZELTA_DIALER_NOTIFY(GotNoDialTone, OnNoDialTone)
ZELTA_DIALER_NOTIFY(DialTimedOut, OnDialTimedOut)
ZELTA_DIALER_NOTIFY(ConnectionEstablished, OnConnectionEstablished)
ZELTA_DIALER_NOTIFY(TooManyTries, OnTooManyTries)
#undef ZELTA_DIALER_NOTIFY

void TLkCustomModemDialer::RetryCount(std::int32_t remaining) {
  if (OnRetryCount) OnRetryCount(this, static_cast<std::uint16_t>(remaining));
}
void TLkCustomModemDialer::DialCount(std::int32_t remaining) {
  if (OnDialCount) OnDialCount(this, static_cast<std::uint16_t>(remaining));
}
void TLkCustomModemDialer::GotLineSpeed(std::int32_t speed) {
  if (OnGotLineSpeed) OnGotLineSpeed(this, speed);
}

void TLkCustomModemDialer::GetProperties(tk::PropertyList& list) const {
  serial::TLkBaseQComponent::GetProperties(list);
  using D = TLkCustomModemDialer;
  using tk::MakeProperty;
  using tk::Value;
  list.push_back(MakeProperty<D>("Version", &D::Version, &D::SetVersion));
  list.back().Stored = [](const tk::Component&) { return false; };
  list.push_back(MakeProperty<D>("Modem", &D::ModemRef, &D::SetModemRef));
  list.push_back(MakeProperty<D>("PhoneNumber", &D::PhoneNumber, &D::SetPhoneNumber));
  list.push_back(MakeProperty<D>("MaxDialTries", &D::MaxDialTries, &D::SetMaxDialTries, Value(std::int64_t{10})));
  list.push_back(MakeProperty<D>("RetrySecs", &D::RetrySecs, &D::SetRetrySecs, Value(std::int64_t{60})));
  list.push_back(MakeProperty<D>("DialerOptions", &D::DialerOptions, &D::SetDialerOptions,
                                 Value(std::int64_t{kDefaultDialerOptions})));
}

}  // namespace telephony
