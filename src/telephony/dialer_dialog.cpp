#include "telephony/dialer_dialog.h"

#include "platform/text.h"
#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "telephony/dial_progress_form.h"
#include "tk/filer.h"

namespace telephony {

namespace {
[[maybe_unused]] const bool registered = [] {
  tk::RegisterClass("TLkDialerDialog", [](tk::Component* owner) { return new TLkDialerDialog(owner); });
  return true;
}();
}  // namespace

TLkDialerDialog::TLkDialerDialog(tk::Component* owner) : serial::TLkBaseComponent(owner) {
  if (!owner) return;
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (auto* modem = dynamic_cast<TLkCustomModem*>(owner->Components(i))) {
      SetModem(modem);
      break;
    }
}

void TLkDialerDialog::SetModem(TLkCustomModem* modem) {
  modem_ = modem;
  if (modem_) modem_->FreeNotification(this);
}

void TLkDialerDialog::Notification(tk::Component* component, tk::Operation operation) {
  tk::Component::Notification(component, operation);
  if (operation == tk::Operation::Remove && component == static_cast<tk::Component*>(modem_))
    modem_ = nullptr;
  else if (operation == tk::Operation::Insert && !modem_)
    if (auto* modem = dynamic_cast<TLkCustomModem*>(component)) SetModem(modem);
}

bool TLkDialerDialog::Execute() {
  if (!modem_) throw serial::EModemNotAssigned(serial::ecModemNotAssigned);
  if (!modem_->ComPort()) throw serial::EPortNotAssigned(serial::ecPortNotAssigned);
  TDialerForm form;
  form.setWindowTitle(platform::ToQString(caption_));
  TLkModemDialer dialer(nullptr);
  dialer.SetModem(modem_);
  dialer.SetPhoneNumber(phoneNumber_);
  dialer.SetMaxDialTries(maxDialTries_);
  dialer.SetRetrySecs(retrySecs_);
  dialer.SetDialerOptions(options_);
  form.DoDial(dialer);
  return dialer.Result() == drConnected;
}

void TLkDialerDialog::GetProperties(tk::PropertyList& list) const {
  tk::Component::GetProperties(list);
  using D = TLkDialerDialog;
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
  list.push_back(MakeProperty<D>("Caption", &D::Caption, &D::SetCaption, Value(std::string("Dial Progress"))));
  list.push_back(MakeProperty<D>("Ctl3D", &D::Ctl3D, &D::SetCtl3D, Value(true)));
}

}  // namespace telephony
