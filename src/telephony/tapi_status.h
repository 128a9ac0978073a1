#pragma once
// The progress display of a telephony line device. The abstract component keeps the window's settings and
// its binding to a device; TLkTapiStatus shows the standard "Call Progress" window.
#include <cstdint>
#include <memory>
#include <string>

#include "serial/lk_base_component.h"
#include "telephony/tapi_status_display.h"
#include "tk/component.h"

class QWidget;

namespace telephony {

class TLkCustomTapiDevice;

class TLkAbstractTapiStatus : public serial::TLkBaseComponent {
 public:
  explicit TLkAbstractTapiStatus(tk::Component* owner);
  ~TLkAbstractTapiStatus() override;
  std::string ClassName() const override { return "TLkAbstractTapiStatus"; }

  TPosition Position() const { return position_; }
  void SetPosition(TPosition position);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  TLkCustomTapiDevice* TapiDevice() const { return device_; }
  void SetTapiDevice(TLkCustomTapiDevice* device);

  // Set while the device waits for an incoming call; the window then says "Answering -".
  bool Answering = false;

  // A status of the device: the first of a call, the last, or one in between.
  virtual void UpdateDisplay(bool first, bool last, TLkCustomTapiDevice* device, std::uint32_t message,
                             std::uint32_t param1, std::uint32_t param2, std::uint32_t param3) = 0;
  void Show();
  QWidget* Display() const { return display_.get(); }

  void Notification(tk::Component* component, tk::Operation operation) override;

 protected:
  virtual void CreateDisplay() = 0;
  virtual void DestroyDisplay() = 0;
  // Makes the window and takes its settings; the most derived constructor calls it, because the
  // window's class is known only there.
  void InitDisplay();
  // Frees the window and unbinds the device; the most derived destructor calls it.
  void DoneDisplay();
  void ApplyPosition();

  std::unique_ptr<QWidget> display_;

 private:
  TPosition position_ = poScreenCenter;
  bool ctl3D_ = true;
  bool visible_ = false;
  std::string caption_ = "Call Progress";
  TLkCustomTapiDevice* device_ = nullptr;
};

class TLkTapiStatus : public TLkAbstractTapiStatus {
 public:
  explicit TLkTapiStatus(tk::Component* owner);
  ~TLkTapiStatus() override;
  std::string ClassName() const override { return "TLkTapiStatus"; }

  void UpdateDisplay(bool first, bool last, TLkCustomTapiDevice* device, std::uint32_t message, std::uint32_t param1,
                     std::uint32_t param2, std::uint32_t param3) override;
  TLkStandardTapiDisplay* Form() const { return static_cast<TLkStandardTapiDisplay*>(display_.get()); }

 protected:
  void CreateDisplay() override;
  void DestroyDisplay() override;
};

}  // namespace telephony
