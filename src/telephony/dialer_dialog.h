#pragma once
// The dial dialog component: Execute shows the "Dial Progress" window, which runs a modem dialer on
// Modem with this component's number, tries, wait and options; true when the dialer ended connected.
#include <cstdint>
#include <string>

#include "serial/lk_base_component.h"
#include "telephony/modem_dialer.h"
#include "tk/component.h"

namespace telephony {

class TLkDialerDialog : public serial::TLkBaseComponent {
 public:
  explicit TLkDialerDialog(tk::Component* owner);
  std::string ClassName() const override { return "TLkDialerDialog"; }

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
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on) { ctl3D_ = on; }

  bool Execute();

  void Notification(tk::Component* component, tk::Operation operation) override;
  void GetProperties(tk::PropertyList& list) const override;

 private:
  TLkCustomModem* modem_ = nullptr;
  std::string phoneNumber_;
  std::int32_t maxDialTries_ = 10;
  std::int32_t retrySecs_ = 60;
  TDialerOptions options_ = kDefaultDialerOptions;
  std::string caption_ = "Dial Progress";
  bool ctl3D_ = true;
};

}  // namespace telephony
