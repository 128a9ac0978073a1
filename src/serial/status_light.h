#pragma once
// A small lamp that shows one on/off state (a coloured square with a raised edge, or one of two glyph
// halves), and a controller that drives up to eight of them from a port's lines and traffic by
// installing triggers on the port.
#include <cstdint>
#include <string>

#include "serial/com_port.h"
#include "serial/lk_base_component.h"
#include "tk/bitmap.h"
#include "tk/control.h"

namespace serial {

class TLkCustomStatusLight : public tk::GraphicControl {
 public:
  static constexpr int kDefaultSize = 13;

  explicit TLkCustomStatusLight(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TLkCustomStatusLight"; }

  const tk::Bitmap& Glyph() const { return glyph_; }
  // Two images side by side: the left half shows when lit, the right half when not.
  void SetGlyph(const tk::Bitmap* bitmap);
  bool HasGlyph() const { return hasGlyph_; }
  bool Lit() const { return lit_; }
  void SetLit(bool lit);
  tk::TColor LitColor() const { return litColor_; }
  void SetLitColor(tk::TColor color);
  tk::TColor NotLitColor() const { return notLitColor_; }
  void SetNotLitColor(tk::TColor color);
  std::string Version() const { return "v3.03"; }
  void SetVersion(const std::string&) {}

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;

 protected:
  void Paint(tk::Canvas& canvas) override;

 private:
  tk::Bitmap glyph_;
  bool hasGlyph_ = false;
  bool lit_ = false;
  tk::TColor litColor_ = 255;       // red
  tk::TColor notLitColor_ = 32768;  // green
};

class TLkStatusLight : public TLkCustomStatusLight {
 public:
  using TLkCustomStatusLight::TLkCustomStatusLight;
  std::string ClassName() const override { return "TLkStatusLight"; }
};

// The eight lights a controller drives; any may be absent.
class TLightSet {
 public:
  TLkCustomStatusLight* CTSLight = nullptr;
  TLkCustomStatusLight* DSRLight = nullptr;
  TLkCustomStatusLight* DCDLight = nullptr;
  TLkCustomStatusLight* RINGLight = nullptr;
  TLkCustomStatusLight* TXDLight = nullptr;
  TLkCustomStatusLight* RXDLight = nullptr;
  TLkCustomStatusLight* ERRORLight = nullptr;
  TLkCustomStatusLight* BREAKLight = nullptr;

  // Every light off; with a port being monitored, CTS, DSR and DCD show the port's lines.
  void InitLights(TLkCustomComPort* port, bool monitoring);
  // Clears the slot of a light that is going away.
  void Forget(tk::Component* light);
};

class TLkCustomSLController : public TLkBaseComponent {
 public:
  explicit TLkCustomSLController(tk::Component* owner);
  ~TLkCustomSLController() override;
  std::string ClassName() const override { return "TLkCustomSLController"; }

  TLkCustomComPort* ComPort() const { return port_; }
  void SetComPort(TLkCustomComPort* port);
  const TLightSet& Lights() const { return lights_; }
  void SetLights(const TLightSet& lights);
  bool Monitoring() const { return monitoring_; }
  void SetMonitoring(bool on);

  // Time-outs in 55 ms ticks.
  std::int32_t ErrorOffTimeout = 36;
  std::int32_t BreakOffTimeout = 36;
  std::int32_t RXDOffTimeout = 1;
  std::int32_t TXDOffTimeout = 1;
  std::int32_t RingOffTimeout = 8;

  void Notification(tk::Component* component, tk::Operation operation) override;
  void Loaded() override;

  // The handlers installed on the port while monitoring.
  void StatTriggerAvail(tk::Component* sender, std::uint32_t count);
  void StatTriggerStatus(tk::Component* sender, std::uint32_t handle);
  void StatTriggerTimer(tk::Component* sender, std::uint32_t handle);
  void StatPortClose(TLkCustomComPort* sender, bool opening);

 private:
  void AddTriggers();
  void RemoveTriggers();
  void Light(TLkCustomStatusLight* light, bool lit);
  static constexpr std::uint16_t kModemBits = 0x10 | 0x20 | 0x80 | 0x04;

  TLkCustomComPort* port_ = nullptr;
  TLightSet lights_;
  bool monitoring_ = false;
  bool wish_ = false;  // monitor once the port opens
  std::intptr_t callbackId_ = 0;
  TTriggerAvailEvent savedAvail_;
  TTriggerHandleEvent savedStatus_, savedTimer_;
  std::int32_t modemTrigger_ = 0, errorTrigger_ = 0, breakTrigger_ = 0, outSentTrigger_ = 0;
  std::int32_t ringOff_ = 0, errorOff_ = 0, breakOff_ = 0, rxdOff_ = 0, txdOff_ = 0;
};

class TLkSLController : public TLkCustomSLController {
 public:
  using TLkCustomSLController::TLkCustomSLController;
  std::string ClassName() const override { return "TLkSLController"; }
};

}  // namespace serial
