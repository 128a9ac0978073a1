#include "tk/component.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"
#include "tk/exception.h"

namespace tk {

bool IsValidIdent(const std::string& name) {
  if (name.empty()) return false;
  auto alpha = [](unsigned char c) { return std::isalpha(c) || c == '_'; };
  if (!alpha(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) {
    return alpha(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c));
  });
}

Component::Component(Component* owner) {
  if (owner) owner->InsertComponent(this);
}

Component::~Component() {
  state_ |= csDestroying;
  // Tell every linked component first, while this one is still listed where it was.
  while (!freeNotifies_.empty()) {
    Component* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& back = other->freeNotifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, Operation::Remove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void Component::DestroyComponents() {
  state_ |= csDestroying;
  // Last to first; one may take others with it (a widget deletes its child widgets).
  while (!components_.empty()) delete components_.back();
}

int Component::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

Component* Component::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (Component* c : components_)
    if (platform::SameText(c->name_, name)) return c;
  return nullptr;
}

void Component::ValidateRename(Component* component, const std::string& oldName, const std::string& newName) {
  if (newName.empty() || platform::SameText(oldName, newName)) return;
  Component* existing = FindComponent(newName);
  if (existing && existing != component) throw EComponentError("A component named " + newName + " already exists");
}

void Component::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name)) throw EComponentError("'" + name + "' is not a valid component name");
  if (owner_) owner_->ValidateRename(this, name_, name);
  name_ = name;
}

void Component::SetDesigning(bool designing) {
  if (designing)
    state_ |= csDesigning;
  else
    state_ &= static_cast<std::uint16_t>(~csDesigning);
  for (Component* c : components_) c->SetDesigning(designing);
}

void Component::InsertComponent(Component* component) {
  ValidateRename(component, "", component->name_);
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  if (Designing()) component->SetDesigning(true);
  Notification(component, Operation::Insert);
}

void Component::RemoveComponent(Component* component) {
  Notification(component, Operation::Remove);
  components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
  component->owner_ = nullptr;
}

void Component::FreeNotification(Component* other) {
  if (!other || other == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
    freeNotifies_.push_back(other);
    other->freeNotifies_.push_back(this);
  }
}

void Component::RemoveFreeNotification(Component* other) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), other), freeNotifies_.end());
  auto& back = other->freeNotifies_;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void Component::Notification(Component* component, Operation operation) {
  if (operation == Operation::Remove && component) RemoveFreeNotification(component);
  // A handler may free components: walk a copy and skip the ones gone meanwhile.
  std::vector<Component*> owned = components_;
  for (Component* c : owned)
    if (std::find(components_.begin(), components_.end(), c) != components_.end())
      c->Notification(component, operation);
}

void Component::Loaded() { state_ &= static_cast<std::uint16_t>(~csLoading); }

void Component::GetChildren(const std::function<void(Component*)>&, Component*) {}

void Component::GetProperties(PropertyList& list) const {
  list.push_back(MakeProperty<Component>("Tag", &Component::Tag, &Component::SetTag, Value(std::int64_t{0})));
}

}  // namespace tk
