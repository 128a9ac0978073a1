#include "serial/com_port.h"

#include <QCoreApplication>
#include <atomic>
#include <exception>
#include <mutex>

#include "serial/port_list.h"
#include "tk/exception_guard.h"

namespace serial {

namespace {

// An event the dispatch thread posts to the window thread. Qt's event queue hands it over under locks the
// thread checker cannot see, so the hand-over is also made plain by a release on posting and an acquire
// before the window thread reads what the event carries.
class CrossThreadEvent : public QEvent {
 public:
  using QEvent::QEvent;
  void Published() { published_.store(true, std::memory_order_release); }
  void Received() const { (void)published_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> published_{false};
};

// A message of the dispatch thread on its way to the notification window.
class DeliveryEvent : public CrossThreadEvent {
 public:
  static QEvent::Type EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  explicit DeliveryEvent(std::shared_ptr<Delivery> delivery)
      : CrossThreadEvent(EventType()), Item(std::move(delivery)) {}
  std::shared_ptr<Delivery> Item;
};

// A handler's exception on the dispatch thread, on its way to the window thread.
class HandlerErrorEvent : public CrossThreadEvent {
 public:
  static QEvent::Type EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  explicit HandlerErrorEvent(std::exception_ptr error) : CrossThreadEvent(EventType()), Error(std::move(error)) {}
  std::exception_ptr Error;
};

void PostAcross(QObject* window, CrossThreadEvent* event) {
  event->Published();
  QCoreApplication::postEvent(window, event);
}

// The notification window: runs delivered trigger messages through the component's window procedure, and
// shows handler failures of the dispatch thread as the toolkit shows any exception of an event.
class ComWindow : public tk::HiddenWindow {
 public:
  using tk::HiddenWindow::HiddenWindow;

  // Set when the port lets the window go; it may still be inside one of its own messages then, so it is
  // deleted later, and whatever reaches it meanwhile goes nowhere.
  bool Detached = false;

  void Dispatch(tk::Message& message) override {
    if (Detached) {
      message.Result = 0;
      return;
    }
    tk::HiddenWindow::Dispatch(message);
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() == DeliveryEvent::EventType()) {
      static_cast<DeliveryEvent*>(e)->Received();
      auto& delivery = *static_cast<DeliveryEvent*>(e)->Item;
      delivery.Run([&] {
        tk::Message m{delivery.Msg, delivery.Trigger, static_cast<std::intptr_t>(delivery.Data), 0};
        Dispatch(m);
      });
      return true;
    }
    if (e->type() == HandlerErrorEvent::EventType()) {
      static_cast<HandlerErrorEvent*>(e)->Received();
      if (!Detached) tk::HandleException(static_cast<HandlerErrorEvent*>(e)->Error);
      return true;
    }
    return tk::HiddenWindow::event(e);
  }
};

// Posts from the dispatch thread to the notification window, for as long as the window is there.
class ComReceiver : public NotifyTarget {
 public:
  explicit ComReceiver(ComWindow* window) : window_(window) {}
  void Post(std::shared_ptr<Delivery> delivery) override {
    std::lock_guard lock(mutex_);
    if (window_) PostAcross(window_, new DeliveryEvent(std::move(delivery)));
  }
  void PostError(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    if (window_) PostAcross(window_, new HandlerErrorEvent(std::move(error)));
  }
  void Detach() {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
  }

 private:
  std::mutex mutex_;
  ComWindow* window_;
};

}  // namespace

bool TLkCustomComPort::AnyTriggerEvent() const {
  return onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ || onTriggerTimer_ ||
         onTriggerLineError_ || onTriggerModemStatus_ || onTriggerOutbuffFree_ || onTriggerOutbuffUsed_ ||
         onTriggerOutSent_;
}

#define ZELTA_TRIGGER_EVENT_SETTER(Name, Type, field) \
  void TLkCustomComPort::Name(Type e) {               \
    field = std::move(e);                             \
    UpdateHandlerFlag();                              \
  }
ZELTA_TRIGGER_EVENT_SETTER(SetOnTrigger, TTriggerEvent, onTrigger_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerAvail, TTriggerAvailEvent, onTriggerAvail_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerData, TTriggerHandleEvent, onTriggerData_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerStatus, TTriggerHandleEvent, onTriggerStatus_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerTimer, TTriggerHandleEvent, onTriggerTimer_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerLineError, TTriggerLineErrorEvent, onTriggerLineError_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerModemStatus, TTriggerSenderEvent, onTriggerModemStatus_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerOutbuffFree, TTriggerSenderEvent, onTriggerOutbuffFree_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerOutbuffUsed, TTriggerSenderEvent, onTriggerOutbuffUsed_)
ZELTA_TRIGGER_EVENT_SETTER(SetOnTriggerOutSent, TTriggerSenderEvent, onTriggerOutSent_)
#undef ZELTA_TRIGGER_EVENT_SETTER

void TLkCustomComPort::UpdateHandlerFlag() {
  if (auto d = ODispatcher()) d->UpdateHandlerFlags(AnyTriggerEvent() ? 1 : 2);
}

void TLkCustomComPort::Trigger(std::uint32_t msg, std::uint32_t handle, std::uint32_t data) {
  if (onTrigger_) onTrigger_(this, msg, handle, data);
}
void TLkCustomComPort::TriggerAvail(std::uint32_t count) {
  if (onTriggerAvail_) onTriggerAvail_(this, count);
}
void TLkCustomComPort::TriggerData(std::uint32_t handle) {
  if (onTriggerData_) onTriggerData_(this, handle);
}
void TLkCustomComPort::TriggerStatus(std::uint32_t handle) {
  if (onTriggerStatus_) onTriggerStatus_(this, handle);
}
void TLkCustomComPort::TriggerTimer(std::uint32_t handle) {
  if (onTriggerTimer_) onTriggerTimer_(this, handle);
}
void TLkCustomComPort::TriggerLineError(std::uint16_t error, bool lineBreak) {
  if (onTriggerLineError_) onTriggerLineError_(this, error, lineBreak);
}
void TLkCustomComPort::TriggerModemStatus() {
  if (onTriggerModemStatus_) onTriggerModemStatus_(this);
}
void TLkCustomComPort::TriggerOutbuffFree() {
  if (onTriggerOutbuffFree_) onTriggerOutbuffFree_(this);
}
void TLkCustomComPort::TriggerOutbuffUsed() {
  if (onTriggerOutbuffUsed_) onTriggerOutbuffUsed_(this);
}
void TLkCustomComPort::TriggerOutSent() {
  if (onTriggerOutSent_) onTriggerOutSent_(this);
}
void TLkCustomComPort::WaitChar(char c) {
  if (OnWaitChar) OnWaitChar(this, c);
}

void TLkCustomComPort::RegisterComPort(bool enabling) {
  if (enabling) {
    if (window_) return;
    auto window = std::make_unique<ComWindow>([this](tk::Message& m) { ComWindowProc(m); });
    receiver_ = std::make_unique<ComReceiver>(window.get());
    window_ = std::move(window);
    if (dispatcher_) {
      dispatcher_->RegisterWndTriggerHandler(receiver_.get());
      auto* receiver = static_cast<ComReceiver*>(receiver_.get());
      dispatcher_->SetHandlerErrorSink([receiver](std::exception_ptr e) { receiver->PostError(std::move(e)); });
    }
  } else {
    if (receiver_) {
      if (dispatcher_) {
        dispatcher_->SetHandlerErrorSink({});
        dispatcher_->DeregisterWndTriggerHandler(receiver_.get());
      }
      static_cast<ComReceiver*>(receiver_.get())->Detach();
    }
    if (auto* window = static_cast<ComWindow*>(window_.release())) {
      window->Detached = true;
      window->deleteLater();
    }
    receiver_.reset();
  }
}

void TLkCustomComPort::ComWindowProc(tk::Message& message) {
  std::uint32_t msg = message.Msg;
  if ((msg < apw_TriggerAvail || msg > apw_TriggerStatus) && msg != apw_ClosePending) {
    message.Result = 0;
    return;
  }
  message.Result = 0;
  if (destroying_) return;
  auto handle = static_cast<std::int32_t>((static_cast<std::uintptr_t>(message.LParam) >> 16) & 0xFFFF);
  std::shared_ptr<TLkBaseDispatcher> d = PortList::At(handle);
  if (!d || d->Owner != this) return;
  auto* port = this;
  if (msg == apw_ClosePending) {
    if (d != dispatcher_ || portState_ != 1) return;
    // Without a worker left to finish the close, the window does it.
    if (d->ClosePending && !d->InNotify && d->ThreadCount == 0 && d->Started) d->DonePortPrim();
    if (!d->Started) {
      d->DonePortPrim();  // the device is let go before anything may open it again
      FinishClose();
    } else if (window_) {
      tk::PostMessage(window_.get(), apw_ClosePending, message.WParam, message.LParam);
    }
    return;
  }
  auto wParam = static_cast<std::uint32_t>(message.WParam);
  auto low = static_cast<std::uint32_t>(message.LParam & 0xFFFF);
  port->Trigger(msg, wParam, msg == apw_TriggerAvail ? wParam : low);
  switch (msg) {
    case apw_TriggerAvail:
      TriggerAvail(wParam);
      break;
    case apw_TriggerData:
      TriggerData(wParam);
      break;
    case apw_TriggerTimer:
      TriggerTimer(wParam);
      break;
    case apw_TriggerStatus:
      TriggerStatus(wParam);
      switch (TLkBaseDispatcher::ClassifyStatusTrigger(wParam)) {
        case 1:
          TriggerModemStatus();
          break;
        case 2: {
          auto error = static_cast<std::uint16_t>(d->GetLineError());
          TriggerLineError(error, d->CheckLineBreak());
          break;
        }
        case 3:
          TriggerOutbuffFree();
          break;
        case 4:
          TriggerOutbuffUsed();
          break;
        case 5:
          TriggerOutSent();
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
}

void TLkCustomComPort::RegisterUser(QObject* window) { users_.push_back({window, 0, {}}); }

void TLkCustomComPort::DeregisterUser(QObject* window) {
  for (auto i = users_.size(); i-- > 0;)
    if (users_[i].Window == window) users_.erase(users_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::intptr_t TLkCustomComPort::RegisterUserCallback(TPortCallback callback) {
  std::intptr_t id = nextUserId_++;
  users_.push_back({nullptr, id, std::move(callback)});
  return id;
}

void TLkCustomComPort::DeregisterUserCallback(std::intptr_t id) {
  for (auto i = users_.size(); i-- > 0;)
    if (users_[i].Id == id) users_.erase(users_.begin() + static_cast<std::ptrdiff_t>(i));
}

void TLkCustomComPort::PortOpen() {
  // A copy: a user may deregister while being told.
  auto users = users_;
  for (auto i = users.size(); i-- > 0;) {
    if (users[i].Window) {
      if (auto* target = dynamic_cast<tk::MessageTarget*>(users[i].Window)) tk::SendMessage(*target, apw_PortOpen);
    } else if (users[i].Callback) {
      users[i].Callback(this, true);
    }
  }
  if (OnPortOpen) OnPortOpen(this);
}

void TLkCustomComPort::PortClose() {
  auto users = users_;
  for (auto i = users.size(); i-- > 0;) {
    if (users[i].Window) {
      if (auto* target = dynamic_cast<tk::MessageTarget*>(users[i].Window)) tk::SendMessage(*target, apw_PortClose);
    } else if (users[i].Callback) {
      users[i].Callback(this, false);
    }
  }
  if (OnPortClose) OnPortClose(this);
}

TLkCustomComPort* TLkCustomComPort::SearchComPort(tk::Component* component) {
  if (!component) return nullptr;
  for (int i = 0; i < component->ComponentCount(); ++i) {
    tk::Component* c = component->Components(i);
    if (auto* port = dynamic_cast<TLkCustomComPort*>(c)) return port;
    if (auto* found = SearchComPort(c)) return found;
  }
  return nullptr;
}

}  // namespace serial
