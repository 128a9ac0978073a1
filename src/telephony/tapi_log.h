#pragma once
// The call history of a telephony line device: one line per call event appended to a text file.
#include <string>

#include "serial/lk_base_component.h"
#include "tk/component.h"

namespace telephony {

class TLkCustomTapiDevice;

enum TTapiLogCode {
  ltapiNone,
  ltapiCallStart,
  ltapiCallFinish,
  ltapiDial,
  ltapiAccept,
  ltapiAnswer,
  ltapiConnect,
  ltapiCancel,
  ltapiDrop,
  ltapiBusy,
  ltapiDialFail,
  ltapiReceivedDigit,
};

class TLkTapiLog : public serial::TLkBaseComponent {
 public:
  explicit TLkTapiLog(tk::Component* owner);
  ~TLkTapiLog() override;
  std::string ClassName() const override { return "TLkTapiLog"; }

  const std::string& TapiHistoryName() const { return historyName_; }
  void SetTapiHistoryName(const std::string& name) { historyName_ = name; }
  TLkCustomTapiDevice* TapiDevice() const { return device_; }
  void SetTapiDevice(TLkCustomTapiDevice* device);

  // Appends the line for `code`; failures to write are dropped.
  virtual void UpdateLog(TTapiLogCode code);

  void Notification(tk::Component* component, tk::Operation operation) override;

  // The text written after " : " for a code ("" for ltapiNone); the dialled number follows ltapiDial's.
  static std::string LogText(TTapiLogCode code);

 private:
  std::string historyName_ = "LKTAPI.HIS";
  TLkCustomTapiDevice* device_ = nullptr;
};

}  // namespace telephony
