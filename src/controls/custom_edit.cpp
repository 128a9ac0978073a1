#include "controls/custom_edit.h"

#include <QEvent>
#include <functional>
#include <utility>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/library_data.h"
#include "controls/messages.h"
#include "controls/misc.h"
#include "controls/version.h"
#include "tk/filer.h"

namespace controls {

namespace {

const char* const kBorderStyleNames[] = {"bsNone", "bsSingle"};

const bool kRegistered = (tk::RegisterClass("TVxEdit", [](tk::Component* owner) { return new TVxEdit(owner); }), true);

}  // namespace

TVxCustomEdit::TVxCustomEdit(tk::Component* owner, QWidget* parent)
    : tk::CustomEdit(owner, parent), labelInfo_(std::make_unique<TVxLabelInfo>()) {
  labelInfo_->OnChange = [this] { LabelChange(); };
  labelInfo_->OnAttach = [this](bool attach) { LabelAttach(attach); };
}

TVxCustomEdit::~TVxCustomEdit() {
  // Freed directly: the form may already be half gone.
  TVxAttachedLabel* label = labelInfo_->Label;
  labelInfo_->Label = nullptr;
  labelInfo_->OnAttach = nullptr;
  labelInfo_->SetVisible(false);
  delete label;
  labelInfo_.reset();
}

std::string TVxCustomEdit::About() const { return VxVersionText; }

void TVxCustomEdit::SetController(TVxController* controller) {
  controller_ = controller;
  if (controller) FreeNotification(controller);
}

tk::ComponentRef TVxCustomEdit::ControllerRef() const { return {controller_}; }

void TVxCustomEdit::SetControllerRef(tk::ComponentRef ref) { SetController(dynamic_cast<TVxController*>(ref.Target)); }

void TVxCustomEdit::CreateWnd() {
  tk::Form* form = GetImmediateParentForm(this);
  if (Designing() && !Loading()) {
    TVxController* controller = controller_;
    ResolveController(form, controller);
    if (controller != controller_) SetController(controller);
  }
  if (!controller_ && !Loading()) {
    SetController(FindController(form));
    if (!controller_ && !Designing()) throw ENoControllerAssigned();
  }
  tk::CustomEdit::CreateWnd();
}

TVxAttachedLabel* TVxCustomEdit::GetAttachedLabel() const {
  if (!labelInfo_->Visible()) throw tk::Exception(GetVxStr(SLabelNotAttached));
  return labelInfo_->Label;
}

void TVxCustomEdit::LabelChange() {
  if (!Loading()) PositionLabel();
}

void TVxCustomEdit::LabelAttach(bool attach) {
  if (Loading()) return;
  tk::Form* form = GetImmediateParentForm(this);
  if (!form) return;
  TVxAttachedLabel* old = labelInfo_->Label;
  labelInfo_->Label = nullptr;
  delete old;
  if (!attach) return;
  auto* label = new TVxAttachedLabel(form);
  labelInfo_->Label = label;
  label->SetFocusControl(this);
  FreeNotification(label);
  label->setParent(parentWidget());
  label->installEventFilter(this);
  std::string name = GenerateComponentName(form, Name() + "Label");
  label->SetName(name);
  label->SetCaption(name);
  std::function<void()> notify;
  std::swap(notify, labelInfo_->OnChange);
  labelInfo_->SetOffsets(0, 0);
  std::swap(notify, labelInfo_->OnChange);
  PositionLabel();
  label->raise();
  placingLabel_ = true;
  label->show();
  placingLabel_ = false;
}

void TVxCustomEdit::PositionLabel() {
  TVxAttachedLabel* label = labelInfo_ ? labelInfo_->Label : nullptr;
  if (!label || !label->parentWidget() || Loading()) return;
  int top = labelBelow_ ? Top() + Height() + labelInfo_->OffsetY() : Top() + labelInfo_->OffsetY() - label->Height();
  placingLabel_ = true;
  label->tk::CustomLabel::SetBounds(Left() + labelInfo_->OffsetX(), top, label->Width(), label->Height());
  placingLabel_ = false;
}

tk::Point TVxCustomEdit::ImpliedOffsets() const {
  const TVxAttachedLabel* label = labelInfo_->Label;
  int y = labelBelow_ ? label->Top() - Top() - Height() : label->Top() + label->Height() - Top();
  return {label->Left() - Left(), y};
}

void TVxCustomEdit::RecordLabelPosition() {
  if (!labelInfo_->Label) return;
  MarkAttached();
  tk::Point offsets = ImpliedOffsets();
  // Recorded, not applied: the label is already where the offsets say.
  std::function<void()> notify;
  std::swap(notify, labelInfo_->OnChange);
  labelInfo_->SetOffsets(offsets.X, offsets.Y);
  std::swap(notify, labelInfo_->OnChange);
}

void TVxCustomEdit::MarkAttached() {
  // Attached as it is: no new label.
  std::function<void(bool)> attach;
  std::swap(attach, labelInfo_->OnAttach);
  labelInfo_->SetVisible(true);
  std::swap(attach, labelInfo_->OnAttach);
}

bool TVxCustomEdit::eventFilter(QObject* watched, QEvent* event) {
  if (labelInfo_ && watched == labelInfo_->Label && !placingLabel_ &&
      (event->type() == QEvent::Move || event->type() == QEvent::Resize) && !Loading())
    tk::SendMessage(*this, OM_RECORDLABELPOSITION);
  return tk::CustomEdit::eventFilter(watched, event);
}

void TVxCustomEdit::SetBounds(int left, int top, int width, int height) {
  tk::CustomEdit::SetBounds(left, top, width, height);
  if (HandleAllocated()) tk::PostMessage(this, OM_POSITIONLABEL);
}

void TVxCustomEdit::Notification(tk::Component* component, tk::Operation operation) {
  tk::CustomEdit::Notification(component, operation);
  if (operation == tk::Operation::Remove) {
    if (labelInfo_ && component == labelInfo_->Label) {
      labelInfo_->Label = nullptr;  // never keep a freed label, whatever the form is doing
      tk::Form* form = GetImmediateParentForm(this);
      if (form && form->Destroying()) return;
      std::function<void(bool)> attach;
      std::swap(attach, labelInfo_->OnAttach);
      labelInfo_->SetVisible(false);
      std::swap(attach, labelInfo_->OnAttach);
    } else if (component == controller_) {
      controller_ = nullptr;
    }
  } else if (!controller_) {
    if (auto* controller = dynamic_cast<TVxController*>(component)) SetController(controller);
  }
}

void TVxCustomEdit::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case tk::CM_VISIBLECHANGED:
      tk::CustomEdit::Dispatch(message);
      if (!Loading() && labelInfo_->Label) labelInfo_->Label->setVisible(Visible());
      return;
    case OM_ASSIGNLABEL: {
      auto* label = reinterpret_cast<TVxAttachedLabel*>(message.LParam);
      if (labelInfo_->Label != label) {
        labelInfo_->Label = label;
        if (label) {
          FreeNotification(label);
          label->installEventFilter(this);
        }
      }
      return;
    }
    case OM_POSITIONLABEL: {
      TVxAttachedLabel* label = labelInfo_->Label;
      if (Loading() || !labelInfo_->Visible() || !label || !label->parentWidget()) return;
      tk::Point offsets = ImpliedOffsets();
      if (offsets.X != labelInfo_->OffsetX() || offsets.Y != labelInfo_->OffsetY()) PositionLabel();
      return;
    }
    case OM_RECORDLABELPOSITION:
      RecordLabelPosition();
      return;
    default:
      tk::CustomEdit::Dispatch(message);
  }
}

void TVxCustomEdit::GetProperties(tk::PropertyList& list) const {
  tk::CustomEdit::GetProperties(list);
  using C = TVxCustomEdit;
  list.push_back(AboutProperty());
  list.push_back(tk::MakeEnumProperty<C>("BorderStyle", &C::BorderStyle, &C::SetBorderStyle, kBorderStyleNames, 1));
  list.push_back(tk::MakeProperty<C>("Color", &C::Color, &C::SetColor, tk::Value(std::int64_t{tk::clWindow})));
  list.push_back(tk::MakeProperty<C>("Controller", &C::ControllerRef, &C::SetControllerRef));
}

}  // namespace controls
