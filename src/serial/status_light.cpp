#include "serial/status_light.h"

#include <QImage>
#include <QPainter>

#include "serial/error_codes.h"
#include "serial/lk_exception.h"

namespace serial {

// Light

TLkCustomStatusLight::TLkCustomStatusLight(tk::Component* owner, QWidget* parent) : tk::GraphicControl(owner, parent) {
  SetBounds(Left(), Top(), kDefaultSize, kDefaultSize);
}

void TLkCustomStatusLight::SetGlyph(const tk::Bitmap* bitmap) {
  if (bitmap && !bitmap->Empty()) {
    glyph_.Assign(bitmap);
    hasGlyph_ = true;
    tk::GraphicControl::SetBounds(Left(), Top(), glyph_.Width() / 2, glyph_.Height());
  } else {
    glyph_ = tk::Bitmap();
    hasGlyph_ = false;
    tk::GraphicControl::SetBounds(Left(), Top(), kDefaultSize, kDefaultSize);
  }
  Invalidate();
}

void TLkCustomStatusLight::SetBounds(int left, int top, int width, int height) {
  if (hasGlyph_) {
    width = glyph_.Width() / 2;
    height = glyph_.Height();
  }
  tk::GraphicControl::SetBounds(left, top, width, height);
}

void TLkCustomStatusLight::Loaded() {
  tk::GraphicControl::Loaded();
  hasGlyph_ = !glyph_.Empty();
}

void TLkCustomStatusLight::SetLit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  Invalidate();
}

void TLkCustomStatusLight::SetLitColor(tk::TColor color) {
  if (color == litColor_) return;
  litColor_ = color;
  if (!hasGlyph_ && lit_) Invalidate();
}

void TLkCustomStatusLight::SetNotLitColor(tk::TColor color) {
  if (color == notLitColor_) return;
  notLitColor_ = color;
  if (!hasGlyph_ && !lit_) Invalidate();
}

void TLkCustomStatusLight::Paint(tk::Canvas& canvas) {
  int w = Width(), h = Height();
  if (hasGlyph_) {
    // The glyph's top-left colour is see-through: the parent's colour shows there.
    const QImage& glyph = glyph_.Image();
    QColor background = parentWidget() ? parentWidget()->palette().color(parentWidget()->backgroundRole())
                                       : palette().color(QPalette::Window);
    if (auto* parentControl = dynamic_cast<tk::GraphicControl*>(parentWidget()))
      background = tk::ToQColor(parentControl->Color());
    QImage part = glyph.copy(lit_ ? 0 : w, 0, w, h).convertToFormat(QImage::Format_ARGB32);
    QRgb transparent = glyph.pixel(0, 0);
    QImage shown(w, h, QImage::Format_ARGB32);
    shown.fill(background);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((part.pixel(x, y) & 0xFFFFFF) != (transparent & 0xFFFFFF)) shown.setPixel(x, y, part.pixel(x, y));
    canvas.Draw(0, 0, shown);
    return;
  }
  canvas.Brush.Color = lit_ ? litColor_ : notLitColor_;
  canvas.Brush.Style = tk::BrushStyle::Solid;
  canvas.FillRect({0, 0, w, h});
  canvas.Pen.Color = tk::clWhite;
  canvas.MoveTo(0, h - 1);
  canvas.LineTo(0, 0);
  canvas.LineTo(w, 0);
  canvas.Pen.Color = tk::RGB(128, 128, 128);
  canvas.MoveTo(w - 1, 1);
  canvas.LineTo(w - 1, h);
  canvas.MoveTo(1, h - 1);
  canvas.LineTo(w, h - 1);
}

// Light set

void TLightSet::InitLights(TLkCustomComPort* port, bool monitoring) {
  for (TLkCustomStatusLight* light :
       {CTSLight, DSRLight, DCDLight, RINGLight, TXDLight, RXDLight, ERRORLight, BREAKLight})
    if (light) light->SetLit(false);
  if (port && monitoring) {
    if (CTSLight) CTSLight->SetLit(port->CTS());
    if (DSRLight) DSRLight->SetLit(port->DSR());
    if (DCDLight) DCDLight->SetLit(port->DCD());
  }
}

void TLightSet::Forget(tk::Component* light) {
  for (TLkCustomStatusLight** slot :
       {&CTSLight, &DSRLight, &DCDLight, &RINGLight, &TXDLight, &RXDLight, &ERRORLight, &BREAKLight})
    if (*slot && static_cast<tk::Component*>(*slot) == light) *slot = nullptr;
}

// Controller

TLkCustomSLController::TLkCustomSLController(tk::Component* owner) : TLkBaseComponent(owner) {}

TLkCustomSLController::~TLkCustomSLController() {
  try {
    if (monitoring_) SetMonitoring(false);
  } catch (...) {
  }
  if (port_ && callbackId_) port_->DeregisterUserCallback(callbackId_);
}

void TLkCustomSLController::SetComPort(TLkCustomComPort* port) {
  if (port == port_) return;
  if (port_ && callbackId_) port_->DeregisterUserCallback(callbackId_);
  callbackId_ = 0;
  bool was = monitoring_;
  SetMonitoring(false);
  port_ = port;
  if (port_) {
    port_->FreeNotification(this);
    SetMonitoring(was);
    callbackId_ = port_->RegisterUserCallback([this](TLkCustomComPort* p, bool opening) { StatPortClose(p, opening); });
  }
}

void TLkCustomSLController::SetLights(const TLightSet& lights) {
  lights_ = lights;
  for (TLkCustomStatusLight* light : {lights_.CTSLight, lights_.DSRLight, lights_.DCDLight, lights_.RINGLight,
                                      lights_.TXDLight, lights_.RXDLight, lights_.ERRORLight, lights_.BREAKLight})
    if (light) light->FreeNotification(this);
  lights_.InitLights(port_, monitoring_);
}

void TLkCustomSLController::Notification(tk::Component* component, tk::Operation operation) {
  tk::Component::Notification(component, operation);
  if (operation != tk::Operation::Remove) return;
  if (component == static_cast<tk::Component*>(port_)) {
    // The port is going: nothing of it may be touched any more.
    monitoring_ = false;
    wish_ = false;
    callbackId_ = 0;
    port_ = nullptr;
  }
  lights_.Forget(component);
}

void TLkCustomSLController::Loaded() {
  tk::Component::Loaded();
  lights_.InitLights(port_, monitoring_);
}

void TLkCustomSLController::SetMonitoring(bool on) {
  if (Designing() || Loading()) return;
  // Switched off while the port is closed or closing: no monitoring comes back when it opens.
  if (!on) wish_ = false;
  if (on == monitoring_) return;
  if (!port_) Check(ecPortNotAssigned);
  if (port_->PortState() != 2) {
    if (on) {
      wish_ = true;
      return;
    }
  }
  if (on) {
    savedAvail_ = port_->OnTriggerAvail();
    savedStatus_ = port_->OnTriggerStatus();
    savedTimer_ = port_->OnTriggerTimer();
    port_->SetOnTriggerAvail([this](tk::Component* s, std::uint32_t n) { StatTriggerAvail(s, n); });
    port_->SetOnTriggerStatus([this](tk::Component* s, std::uint32_t h) { StatTriggerStatus(s, h); });
    port_->SetOnTriggerTimer([this](tk::Component* s, std::uint32_t h) { StatTriggerTimer(s, h); });
    monitoring_ = true;
    AddTriggers();
  } else {
    RemoveTriggers();
    port_->SetOnTriggerAvail(savedAvail_);
    port_->SetOnTriggerStatus(savedStatus_);
    port_->SetOnTriggerTimer(savedTimer_);
    monitoring_ = false;
  }
  lights_.InitLights(port_, monitoring_);
}

void TLkCustomSLController::AddTriggers() {
  TLightSet& l = lights_;
  if (l.CTSLight || l.DSRLight || l.DCDLight || l.RINGLight) {
    modemTrigger_ = port_->AddStatusTrigger(stModem);
    port_->SetStatusTrigger(modemTrigger_, kModemBits, true);
    if (l.RINGLight) ringOff_ = port_->AddTimerTrigger();
  }
  if (l.ERRORLight) {
    errorTrigger_ = port_->AddStatusTrigger(stLine);
    port_->SetStatusTrigger(errorTrigger_, 7, true);
    errorOff_ = port_->AddTimerTrigger();
  }
  if (l.BREAKLight) {
    breakTrigger_ = port_->AddStatusTrigger(stLine);
    port_->SetStatusTrigger(breakTrigger_, 8, true);
    breakOff_ = port_->AddTimerTrigger();
  }
  if (l.RXDLight) rxdOff_ = port_->AddTimerTrigger();
  if (l.TXDLight) {
    outSentTrigger_ = port_->AddStatusTrigger(stOutSent);
    port_->SetStatusTrigger(outSentTrigger_, 0, true);
    txdOff_ = port_->AddTimerTrigger();
  }
}

void TLkCustomSLController::RemoveTriggers() {
  // Also while the port is closing: its triggers are saved for the reopen after this.
  auto d = port_ ? port_->Dispatcher() : nullptr;
  for (std::int32_t* h : {&modemTrigger_, &errorTrigger_, &breakTrigger_, &outSentTrigger_, &ringOff_, &errorOff_,
                          &breakOff_, &rxdOff_, &txdOff_}) {
    if (*h && d) d->RemoveTrigger(static_cast<std::uint32_t>(*h));
    *h = 0;
  }
}

void TLkCustomSLController::Light(TLkCustomStatusLight* light, bool lit) {
  if (light && light->Lit() != lit) light->SetLit(lit);
}

void TLkCustomSLController::StatTriggerAvail(tk::Component* sender, std::uint32_t count) {
  if (lights_.RXDLight && !lights_.RXDLight->Lit()) {
    Light(lights_.RXDLight, true);
    if (rxdOff_) port_->SetTimerTrigger(rxdOff_, RXDOffTimeout, true);
  }
  if (savedAvail_) savedAvail_(sender, count);
}

void TLkCustomSLController::StatTriggerStatus(tk::Component* sender, std::uint32_t handle) {
  auto h = static_cast<std::int32_t>(handle);
  if (h == modemTrigger_ && h) {
    Light(lights_.DCDLight, port_->DCD());
    Light(lights_.CTSLight, port_->CTS());
    Light(lights_.DSRLight, port_->DSR());
    if (lights_.RINGLight && port_->DeltaRI()) {
      Light(lights_.RINGLight, true);
      if (ringOff_) port_->SetTimerTrigger(ringOff_, RingOffTimeout, true);
    }
    port_->SetStatusTrigger(modemTrigger_, kModemBits, true);
  } else if (h == errorTrigger_ && h) {
    Light(lights_.ERRORLight, true);
    port_->SetTimerTrigger(errorOff_, ErrorOffTimeout, true);
    port_->LineError();
  } else if (h == breakTrigger_ && h) {
    Light(lights_.BREAKLight, true);
    port_->SetTimerTrigger(breakOff_, BreakOffTimeout, true);
    port_->LineBreak();
  } else if (h == outSentTrigger_ && h) {
    Light(lights_.TXDLight, true);
    port_->SetTimerTrigger(txdOff_, TXDOffTimeout, true);
  }
  if (savedStatus_) savedStatus_(sender, handle);
}

void TLkCustomSLController::StatTriggerTimer(tk::Component* sender, std::uint32_t handle) {
  auto h = static_cast<std::int32_t>(handle);
  if (h == errorOff_ && h) {
    Light(lights_.ERRORLight, false);
    port_->SetStatusTrigger(errorTrigger_, 7, true);
  } else if (h == breakOff_ && h) {
    Light(lights_.BREAKLight, false);
    port_->SetStatusTrigger(breakTrigger_, 8, true);
  } else if (h == rxdOff_ && h) {
    if (port_->InBuffUsed() > 0)
      port_->SetTimerTrigger(rxdOff_, RXDOffTimeout, true);
    else
      Light(lights_.RXDLight, false);
  } else if (h == txdOff_ && h) {
    if (port_->OutBuffUsed() == 0) {
      Light(lights_.TXDLight, false);
      port_->SetStatusTrigger(outSentTrigger_, 0, true);
    } else {
      port_->SetTimerTrigger(txdOff_, TXDOffTimeout, true);
    }
  } else if (h == ringOff_ && h) {
    Light(lights_.RINGLight, false);
  }
  if (savedTimer_) savedTimer_(sender, handle);
}

void TLkCustomSLController::StatPortClose(TLkCustomComPort*, bool opening) {
  if (Designing()) return;
  if (opening) {
    if (wish_) {
      wish_ = false;
      SetMonitoring(true);
    }
  } else {
    const bool was = monitoring_;
    SetMonitoring(false);
    wish_ = was;
  }
}

}  // namespace serial
