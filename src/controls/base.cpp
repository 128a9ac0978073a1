#include "controls/base.h"

#include <QCoreApplication>
#include <algorithm>
#include <mutex>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/library_data.h"
#include "controls/messages.h"
#include "controls/misc.h"
#include "controls/version.h"
#include "platform/text.h"
#include "tk/filer.h"

namespace controls {

tk::PropertyInfo AboutProperty() {
  tk::PropertyInfo p;
  p.Name = "About";
  p.Get = [](const tk::Component&) { return tk::Value(std::string(VxVersionText)); };
  p.Set = [](tk::Component&, const tk::Value&) {};
  p.Stored = [](const tk::Component&) { return false; };
  return p;
}

namespace {

[[noreturn]] void Fail(int id) { throw EVxException(GetVxStr(static_cast<std::uint16_t>(id))); }

bool InTree(const tk::Component* root, const std::string& name) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    const tk::Component* c = root->Components(i);
    if (platform::SameText(c->Name(), name) || InTree(c, name)) return true;
  }
  return false;
}

}  // namespace

// streamer

void TVxCollectionStreamer::Clear() {
  for (TVxCollection* c : collections_) c->Clear();
}

TVxCollectionStreamer& TVxStreamerHost::EnsureStreamer(tk::Component* self) {
  if (!streamer_) streamer_ = std::make_unique<TVxCollectionStreamer>(self);
  return *streamer_;
}

bool TVxStreamerHost::StreamerChildren(const std::function<void(tk::Component*)>& proc) const {
  if (!streamer_) return false;
  for (TVxCollection* c : streamer_->Collections())
    if (c->Stored)
      for (int i = 0; i < c->Count(); ++i) proc(c->Items(i));
  return true;
}

void TVxStreamerHost::LoadCollections() {
  if (!streamer_) return;
  for (TVxCollection* c : streamer_->Collections()) c->Loaded();
}

#define ZELTA_VX_BASE_DEFS(Class, Base)                                                                    \
  Class::~Class() = default;                                                                               \
  std::string Class::About() const { return VxVersionText; }                                               \
  void Class::GetChildren(const std::function<void(tk::Component*)>& proc, tk::Component* root) {          \
    if (!StreamerChildren(proc)) Base::GetChildren(proc, root);                                            \
  }                                                                                                        \
  tk::Component* Class::GetChildOwner() { return streamer_ ? streamer_->Owner() : Base::GetChildOwner(); } \
  void Class::Loaded() {                                                                                   \
    LoadCollections();                                                                                     \
    Base::Loaded();                                                                                        \
  }                                                                                                        \
  void Class::GetProperties(tk::PropertyList& list) const {                                                \
    Base::GetProperties(list);                                                                             \
    list.push_back(AboutProperty());                                                                       \
  }

ZELTA_VX_BASE_DEFS(TVxComponent, tk::Component)
ZELTA_VX_BASE_DEFS(TVxGraphicControl, tk::GraphicControl)
#undef ZELTA_VX_BASE_DEFS

std::string TVxCustomControl::About() const { return VxVersionText; }

void TVxCustomControl::GetChildren(const std::function<void(tk::Component*)>& proc, tk::Component* root) {
  if (!StreamerChildren(proc)) tk::CustomControl::GetChildren(proc, root);
}

tk::Component* TVxCustomControl::GetChildOwner() {
  return streamer_ ? streamer_->Owner() : tk::CustomControl::GetChildOwner();
}

void TVxCustomControl::Loaded() {
  LoadCollections();
  tk::CustomControl::Loaded();
}

void TVxCustomControl::GetProperties(tk::PropertyList& list) const {
  tk::CustomControl::GetProperties(list);
  list.push_back(AboutProperty());
}

// label info and attached label

void TVxLabelInfo::SetOffsets(int x, int y) {
  if (x == offsetX_ && y == offsetY_) return;
  offsetX_ = x;
  offsetY_ = y;
  if (OnChange) OnChange();
}

void TVxLabelInfo::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (OnAttach) OnAttach(visible);
}

TVxAttachedLabel::TVxAttachedLabel(tk::Component* owner) : tk::CustomLabel(owner) {
  SetAutoSize(true);
  SetTransparent(false);
}

TVxAttachedLabel::TVxAttachedLabel(tk::Component* owner, TVxCustomControl* control) : TVxAttachedLabel(owner) {
  control_ = control;
  SetFocusControl(control);
  if (control) FreeNotification(control);
}

tk::ComponentRef TVxAttachedLabel::ControlRef() const { return {control_}; }

void TVxAttachedLabel::SetControlRef(tk::ComponentRef ref) {
  control_ = dynamic_cast<TVxCustomControl*>(ref.Target);
  if (control_) FreeNotification(control_);
}

void TVxAttachedLabel::ReportPosition() {
  if (Loading() || Destroying() || !control_) return;
  if (control_->Owner() != tk::GetParentForm(this)) return;
  tk::SendMessage(*control_, OM_ASSIGNLABEL, 0, reinterpret_cast<std::intptr_t>(this));
  tk::PostMessage(control_, OM_RECORDLABELPOSITION);
}

void TVxAttachedLabel::SetBounds(int left, int top, int width, int height) {
  tk::CustomLabel::SetBounds(left, top, width, height);
  ReportPosition();
  // Let the control record the new position before anything else moves.
  if (control_) QCoreApplication::sendPostedEvents(control_);
}

void TVxAttachedLabel::Loaded() {
  tk::CustomLabel::Loaded();
  ReportPosition();
}

void TVxAttachedLabel::Notification(tk::Component* component, tk::Operation operation) {
  tk::CustomLabel::Notification(component, operation);
  if (operation == tk::Operation::Remove && component == control_) control_ = nullptr;
}

void TVxAttachedLabel::GetProperties(tk::PropertyList& list) const {
  tk::CustomLabel::GetProperties(list);
  list.push_back(
      tk::MakeProperty<TVxAttachedLabel>("Control", &TVxAttachedLabel::ControlRef, &TVxAttachedLabel::SetControlRef));
}

// windowed base

TVxCustomControl::TVxCustomControl(tk::Component* owner, QWidget* parent)
    : tk::CustomControl(owner, parent), labelInfo_(std::make_unique<TVxLabelInfo>()) {
  labelInfo_->OnChange = [this] { LabelChange(); };
  labelInfo_->OnAttach = [this](bool visible) { LabelAttach(visible); };
}

TVxCustomControl::~TVxCustomControl() {
  // Hiding the label info frees the label; done directly, as the form may already be half gone.
  TVxAttachedLabel* label = labelInfo_->Label;
  labelInfo_->Label = nullptr;
  labelInfo_->visible_ = false;
  delete label;
  labelInfo_.reset();
  streamer_.reset();
}

TVxAttachedLabel* TVxCustomControl::GetAttachedLabel() const {
  if (!labelInfo_->Visible()) Fail(SLabelNotAttached);
  return labelInfo_->Label;
}

void TVxCustomControl::LabelChange() {
  if (!Loading()) PositionLabel();
}

void TVxCustomControl::LabelAttach(bool visible) {
  if (Loading()) return;
  tk::Form* form = tk::GetParentForm(this);
  if (!form) return;
  TVxAttachedLabel* old = labelInfo_->Label;
  labelInfo_->Label = nullptr;
  delete old;
  if (!visible) return;
  auto* label = new TVxAttachedLabel(form, this);
  labelInfo_->Label = label;
  label->setParent(parentWidget());
  if (auto* parent = dynamic_cast<tk::ControlT<QWidget>*>(parentWidget())) label->SetFont(parent->Font());
  std::string name = GenerateComponentName(form, Name() + "Label");
  label->SetName(name);
  label->SetCaption(name);
  labelInfo_->offsetX_ = 0;
  labelInfo_->offsetY_ = 0;
  PositionLabel();
  label->raise();
  label->show();
  label->SetAutoSize(true);
}

void TVxCustomControl::PositionLabel() {
  TVxAttachedLabel* label = labelInfo_ ? labelInfo_->Label : nullptr;
  if (!label) return;
  label->tk::CustomLabel::SetBounds(Left() + labelInfo_->OffsetX(), Top() + labelInfo_->OffsetY() - label->Height(),
                                    label->Width(), label->Height());
}

void TVxCustomControl::SetBounds(int left, int top, int width, int height) {
  tk::CustomControl::SetBounds(left, top, width, height);
  if (HandleAllocated()) tk::PostMessage(this, OM_POSITIONLABEL);
}

void TVxCustomControl::Notification(tk::Component* component, tk::Operation operation) {
  tk::CustomControl::Notification(component, operation);
  if (operation != tk::Operation::Remove || !labelInfo_ || component != labelInfo_->Label) return;
  labelInfo_->Label = nullptr;  // never keep a freed label, whatever the form is doing
  tk::Form* form = tk::GetParentForm(this);
  if (form && form->Destroying()) return;
  labelInfo_->visible_ = false;
}

void TVxCustomControl::DoOnMouseWheel(tk::ShiftState shift, int delta, int x, int y) {
  if (OnMouseWheel) OnMouseWheel(this, shift, delta, x, y);
}

void TVxCustomControl::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case tk::WM_SETFOCUS:
      tk::CustomControl::Dispatch(message);
      tk::PostMessage(this, OM_AFTERENTER);
      return;
    case tk::WM_KILLFOCUS:
      tk::CustomControl::Dispatch(message);
      tk::PostMessage(this, OM_AFTEREXIT);
      return;
    case OM_AFTERENTER:
      if (AfterEnter) AfterEnter(this);
      return;
    case OM_AFTEREXIT:
      if (AfterExit) AfterExit(this);
      return;
    case tk::WM_MOUSEWHEEL: {
      auto shift = static_cast<tk::ShiftState>(message.WParam & 0xFFFF);
      int delta = static_cast<std::int16_t>((message.WParam >> 16) & 0xFFFF);
      int x = static_cast<std::int16_t>(message.LParam & 0xFFFF);
      int y = static_cast<std::int16_t>((message.LParam >> 16) & 0xFFFF);
      DoOnMouseWheel(shift, delta, x, y);
      message.Result = 1;
      return;
    }
    case tk::CM_VISIBLECHANGED:
      tk::CustomControl::Dispatch(message);
      if (!Loading() && labelInfo_->Label) labelInfo_->Label->setVisible(Visible());
      return;
    case OM_POSITIONLABEL: {
      TVxAttachedLabel* label = labelInfo_->Label;
      if (Loading() || !labelInfo_->Visible() || !label || !label->parentWidget()) return;
      int x = label->Left() - Left(), y = label->Top() + label->Height() - Top();
      if (x != labelInfo_->OffsetX() || y != labelInfo_->OffsetY()) PositionLabel();
      return;
    }
    case OM_RECORDLABELPOSITION: {
      TVxAttachedLabel* label = labelInfo_->Label;
      if (!label) return;
      labelInfo_->offsetX_ = label->Left() - Left();
      labelInfo_->offsetY_ = label->Top() + label->Height() - Top();
      return;
    }
    case OM_ASSIGNLABEL: {
      auto* label = reinterpret_cast<TVxAttachedLabel*>(message.LParam);
      if (labelInfo_->Label != label) {
        labelInfo_->Label = label;
        FreeNotification(label);
      }
      labelInfo_->visible_ = true;  // without re-attaching
      return;
    }
    default:
      tk::CustomControl::Dispatch(message);
  }
}

// controls tied to a controller

void TVxCustomControlEx::SetController(TVxController* controller) {
  controller_ = controller;
  if (controller) FreeNotification(controller);
}

void TVxCustomControlEx::Notification(tk::Component* component, tk::Operation operation) {
  TVxCustomControl::Notification(component, operation);
  if (operation == tk::Operation::Remove && component == controller_) {
    controller_ = nullptr;
  } else if (operation == tk::Operation::Insert && !controller_) {
    if (auto* controller = dynamic_cast<TVxController*>(component)) SetController(controller);
  }
}

void TVxCustomControlEx::CreateWnd() {
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
  TVxCustomControl::CreateWnd();
}

tk::ComponentRef TVxCustomControlEx::ControllerRef() const { return {controller_}; }

void TVxCustomControlEx::SetControllerRef(tk::ComponentRef ref) {
  SetController(dynamic_cast<TVxController*>(ref.Target));
}

void TVxCustomControlEx::GetProperties(tk::PropertyList& list) const {
  TVxCustomControl::GetProperties(list);
  list.push_back(tk::MakeProperty<TVxCustomControlEx>("Controller", &TVxCustomControlEx::ControllerRef,
                                                      &TVxCustomControlEx::SetControllerRef));
}

TVxController* FindController(tk::Component* form) {
  if (!form) return nullptr;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* controller = dynamic_cast<TVxController*>(form->Components(i))) return controller;
  return nullptr;
}

void ResolveController(tk::Form* form, TVxController*& controller) {
  if (controller || !form) return;
  controller = FindController(form);
  if (controller) return;
  auto* created = new TVxController(form);
  try {
    created->SetName("VxController1");
  } catch (...) {
    delete created;
    controller = nullptr;
    throw;
  }
  controller = created;
}

// collections

TVxCollection::TVxCollection(tk::Component* owner, TVxItemClass itemClass)
    : owner_(owner), itemClass_(std::move(itemClass)) {
  TVxStreamerHost* host = nullptr;
  if (auto* c = dynamic_cast<TVxComponent*>(owner))
    host = c;
  else if (auto* w = dynamic_cast<TVxCustomControl*>(owner))
    host = w;
  if (!host) Fail(SOwnerMustBeVxComponent);
  streamer_ = &host->EnsureStreamer(owner);
  streamer_->Collections().push_back(this);
}

TVxCollection::~TVxCollection() {
  auto& list = streamer_->Collections();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  destroying_ = true;
  while (!items_.empty()) delete items_.back();
}

int TVxCollection::IndexOf(const tk::Component* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

tk::Form* TVxCollection::ParentForm() const {
  for (tk::Component* c = owner_; c; c = c->Owner())
    if (auto* form = dynamic_cast<tk::Form*>(c)) return form;
  return nullptr;
}

tk::Component* TVxCollection::Add() {
  if (!itemClass_.Create) Fail(SItemClassNotSet);
  tk::Component* item = itemClass_.Create(owner_);
  Changed();
  return item;
}

tk::Component* TVxCollection::Insert(int index) {
  if (index < 0 || index > Count()) index = Count();
  tk::Component* item = Add();
  auto* link = dynamic_cast<TVxCollectibleLink*>(item);
  if (!link) return nullptr;
  link->SetIndex(index);
  return item;
}

void TVxCollection::Delete(int index) {
  if (index >= 0 && index < Count()) delete items_[static_cast<std::size_t>(index)];
  Changed();
}

void TVxCollection::Clear() {
  for (int i = Count() - 1; i >= 0; --i) {
    tk::Component* item = items_[static_cast<std::size_t>(i)];
    if (!(item->ComponentState() & tk::csAncestor)) delete item;
  }
}

void TVxCollection::Changed() {
  if (inChanged_ || !ParentForm()) return;
  inChanged_ = true;
  try {
    if (OnChanged) OnChanged(this);
  } catch (...) {
    inChanged_ = false;
    throw;
  }
  inChanged_ = false;
}

void TVxCollection::Loaded() {
  loading_ = true;
  Changed();
  loading_ = false;
  loaded_ = true;
}

tk::Component* TVxCollection::ItemByName(const std::string& name) const {
  for (tk::Component* item : items_)
    if (item->Name() == name) return item;
  return nullptr;
}

std::string TVxCollection::GetEditorCaption() {
  std::string caption = "Editing " + ClassName();
  if (OnGetEditorCaption) OnGetEditorCaption(this, caption);
  return caption;
}

void TVxCollection::DoOnItemSelected(int index) {
  if (OnItemSelected) OnItemSelected(this, index);
}

void TVxCollection::Join(tk::Component* item, const VxClass& cls) {
  if (!itemClass_.Class || !cls.InheritsFrom(*itemClass_.Class)) Fail(SItemIncompatible);
  items_.push_back(item);
}

void TVxCollection::Leave(tk::Component* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
}

void TVxCollection::Move(tk::Component* item, int index) {
  Leave(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
}

// items

int TVxCollectibleLink::GetIndex() const { return collection_ ? collection_->IndexOf(self_) : -1; }

void TVxCollectibleLink::SetIndex(int index) {
  if (collection_ && index != GetIndex()) collection_->Move(self_, index);
  ItemChanged();
}

void TVxCollectibleLink::ItemChanged() {
  if (inChanged_ || !collection_ || (self_->ComponentState() & tk::csInline)) return;
  inChanged_ = true;
  try {
    collection_->Changed();
  } catch (...) {
    inChanged_ = false;
    throw;
  }
  inChanged_ = false;
}

std::string TVxCollectibleLink::GenerateName() const {
  std::string base = GetBaseName();
  tk::Form* form = collection_ ? collection_->ParentForm() : nullptr;
  for (int n = 1;; ++n) {
    std::string candidate = base + std::to_string(n);
    if (!form || !InTree(form, candidate)) return candidate;
  }
}

void TVxCollectibleLink::JoinFromOwner(tk::Component* self, tk::Component* owner, const VxClass& cls,
                                       bool controlItem) {
  self_ = self;
  class_ = &cls;
  TVxStreamerHost* host = dynamic_cast<TVxComponent*>(owner);
  if (!host && controlItem) host = dynamic_cast<TVxCustomControl*>(owner);
  if (!host) Fail(SOwnerMustBeVxComponent);
  TVxCollectionStreamer* streamer = host->CollectionStreamer();
  if (!streamer) Fail(SNoCollectionInOwner);
  TVxCollection* found = nullptr;
  for (TVxCollection* c : streamer->Collections())
    if (c->ItemClass().Class && cls.InheritsFrom(*c->ItemClass().Class)) {
      found = c;
      break;
    }
  if (!found) Fail(SNoCollectionForType);
  found->Join(self, cls);
  collection_ = found;
}

void TVxCollectibleLink::LeaveCollection() {
  if (!collection_) return;
  TVxCollection* collection = collection_;
  collection->Leave(self_);
  collection_ = nullptr;
  // The owner's destroying flag is only set once its own destructor has run, after its collections went.
  if (self_->Designing() && !collection->destroying_ && !(collection->Owner()->ComponentState() & tk::csDestroying))
    collection->Changed();
}

const VxClass TVxCollectible::Class{"TVxCollectible", nullptr};

TVxCollectible::TVxCollectible(tk::Component* owner, const VxClass& cls) : TVxComponent(owner) {
  JoinFromOwner(this, owner, cls, false);
  if (Designing() && owner && !owner->Loading()) SetName(GenerateName());
}

TVxCollectible::~TVxCollectible() { LeaveCollection(); }

void TVxCollectible::SetName(const std::string& name) {
  TVxComponent::SetName(name);
  // The collection's editor window, when one exists, refreshes its list; none is built.
}

const VxClass TVxCollectibleControl::Class{"TVxCollectibleControl", nullptr};

TVxCollectibleControl::TVxCollectibleControl(tk::Component* owner, const VxClass& cls) : TVxCustomControl(owner) {
  JoinFromOwner(this, owner, cls, true);
  if (Designing() && owner && !owner->Loading() && !(ComponentState() & tk::csInline)) SetName(GenerateName());
}

TVxCollectibleControl::~TVxCollectibleControl() { LeaveCollection(); }

void TVxCollectibleControl::SetName(const std::string& name) {
  TVxCustomControl::SetName(name);
  if (!Loading() && !(ComponentState() & tk::csInline)) ItemChanged();
}

namespace {
// Attached labels can be read from form streams as soon as the library is linked in.
const bool kBaseClassesRegistered = (RegisterBaseClasses(), true);
}  // namespace

tk::Form* GetImmediateParentForm(QWidget* control) { return tk::GetParentForm(control); }

void RegisterBaseClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!tk::IsClassRegistered("TVxAttachedLabel"))
      tk::RegisterClass("TVxAttachedLabel", [](tk::Component* owner) { return new TVxAttachedLabel(owner); });
  });
}

}  // namespace controls
