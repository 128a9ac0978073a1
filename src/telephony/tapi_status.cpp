#include "telephony/tapi_status.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "platform/text.h"
#include "telephony/tapi_device.h"

namespace telephony {

TLkAbstractTapiStatus::TLkAbstractTapiStatus(tk::Component* owner) : serial::TLkBaseComponent(owner) {}

TLkAbstractTapiStatus::~TLkAbstractTapiStatus() { DoneDisplay(); }

void TLkAbstractTapiStatus::InitDisplay() {
  CreateDisplay();
  if (auto* form = dynamic_cast<TLkStandardTapiDisplay*>(display_.get())) {
    position_ = form->Position;
    ctl3D_ = form->Ctl3D;
  }
  if (display_) {
    visible_ = display_->isVisible();
    caption_ = platform::FromQString(display_->windowTitle()).value_or(caption_);
  }
}

void TLkAbstractTapiStatus::DoneDisplay() {
  if (display_) DestroyDisplay();
  display_.reset();
  if (device_) {
    TLkCustomTapiDevice* device = device_;
    device_ = nullptr;
    device->SetStatusDisplay(nullptr);
  }
}

void TLkAbstractTapiStatus::SetPosition(TPosition position) {
  position_ = position;
  if (auto* form = dynamic_cast<TLkStandardTapiDisplay*>(display_.get())) form->Position = position;
  ApplyPosition();
}

void TLkAbstractTapiStatus::SetCtl3D(bool on) {
  ctl3D_ = on;
  if (auto* form = dynamic_cast<TLkStandardTapiDisplay*>(display_.get())) form->Ctl3D = on;
}

void TLkAbstractTapiStatus::SetVisible(bool visible) {
  visible_ = visible;
  if (display_) display_->setVisible(visible);
}

void TLkAbstractTapiStatus::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (display_) display_->setWindowTitle(platform::ToQString(caption));
}

void TLkAbstractTapiStatus::SetTapiDevice(TLkCustomTapiDevice* device) {
  device_ = device;
  if (device) FreeNotification(device);
  if (auto* form = dynamic_cast<TLkStandardTapiDisplay*>(display_.get())) form->Device = device;
}

void TLkAbstractTapiStatus::Show() {
  if (!display_) return;
  ApplyPosition();
  display_->show();
  visible_ = true;
}

void TLkAbstractTapiStatus::ApplyPosition() {
  if (!display_ || position_ != poScreenCenter) return;
  if (QScreen* screen = QGuiApplication::primaryScreen())
    display_->move(screen->availableGeometry().center() - display_->rect().center());
}

void TLkAbstractTapiStatus::Notification(tk::Component* component, tk::Operation operation) {
  tk::Component::Notification(component, operation);
  if (operation == tk::Operation::Remove && component && component == device_) {
    device_ = nullptr;
    if (auto* form = dynamic_cast<TLkStandardTapiDisplay*>(display_.get())) form->Device = nullptr;
  }
}

TLkTapiStatus::TLkTapiStatus(tk::Component* owner) : TLkAbstractTapiStatus(owner) {
  InitDisplay();
  Announce();
}

TLkTapiStatus::~TLkTapiStatus() { DoneDisplay(); }

void TLkTapiStatus::CreateDisplay() {
  auto form = std::make_unique<TLkStandardTapiDisplay>();
  form->Device = TapiDevice();
  form->setWindowTitle(platform::ToQString(Caption()));
  display_ = std::move(form);
}

void TLkTapiStatus::DestroyDisplay() { display_.reset(); }

void TLkTapiStatus::UpdateDisplay(bool first, bool last, TLkCustomTapiDevice* device, std::uint32_t message,
                                  std::uint32_t param1, std::uint32_t param2, std::uint32_t) {
  TLkStandardTapiDisplay* form = Form();
  if (!form) return;
  if (first) {
    form->Device = device;
    form->Clear();
    form->dpLabel1->setText(Answering ? "Answering -" : "Dialing:");
    Show();
  } else if (last) {
    form->hide();
    SetVisible(false);
  } else {
    if (!form->isVisible()) {
      Show();
      form->Clear();
    }
    form->UpdateValues(device, message, param1, param2);
  }
}

}  // namespace telephony
