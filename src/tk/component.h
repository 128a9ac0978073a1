#pragma once
// The component model of the toolkit: an owner that frees what it owns, names unique within the owner,
// state flags, and notifications of insertion and removal. Not a QObject: visual controls mix it into a
// QWidget (ControlT), non-visual ones that need events into a QObject (QComponent).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tk/property.h"

namespace tk {

class Filer;

enum class Operation { Insert, Remove };

enum ComponentStateFlag : std::uint16_t {
  csLoading = 0x01,
  csReading = 0x02,
  csWriting = 0x04,
  csDestroying = 0x08,
  csDesigning = 0x10,
  csInline = 0x20,
  csAncestor = 0x40,
};

bool IsValidIdent(const std::string& name);

class Component {
 public:
  explicit Component(Component* owner);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  virtual std::string ClassName() const { return "TComponent"; }

  Component* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  Component* Components(int index) const { return components_.at(static_cast<std::size_t>(index)); }
  int ComponentIndex() const;
  // Finds an owned component by name, ignoring case.
  Component* FindComponent(const std::string& name) const;

  const std::string& Name() const { return name_; }
  // Refuses a name that is not an identifier or that another component of the owner already has.
  virtual void SetName(const std::string& name);
  std::intptr_t Tag() const { return tag_; }
  void SetTag(std::intptr_t tag) { tag_ = tag; }

  std::uint16_t ComponentState() const { return state_; }
  bool Loading() const { return state_ & csLoading; }
  bool Designing() const { return state_ & csDesigning; }
  bool Destroying() const { return state_ & csDestroying; }
  // Sets or clears the designing flag here and on every owned component.
  void SetDesigning(bool designing);
  // Reading a form stream sets these; Loaded() clears loading.
  void SetLoadingState() { state_ |= csLoading | csReading; }
  void ClearReadingState() { state_ &= static_cast<std::uint16_t>(~csReading); }
  // A read that failed before Loaded() leaves both flags as they were before it.
  void ClearLoadingState() { state_ &= static_cast<std::uint16_t>(~(csLoading | csReading)); }

  // Frees the owned components, last to first. The destructor does this too, but a class that wants its
  // own Notification overrides to see those removals calls it first in its destructor: by the time the
  // base destructor runs, the derived part is gone.
  void DestroyComponents();

  void InsertComponent(Component* component);
  void RemoveComponent(Component* component);

  // When `other` is destroyed, this component gets Notification(other, Remove), and the other way round.
  void FreeNotification(Component* other);
  void RemoveFreeNotification(Component* other);

  // Forwards to every owned component; a removal also drops a free-notification link.
  virtual void Notification(Component* component, Operation operation);
  virtual void Loaded();

  // Streaming: the children written under this component and who owns them when read back.
  virtual void GetChildren(const std::function<void(Component*)>& proc, Component* root);
  virtual Component* GetChildOwner() { return nullptr; }
  virtual void SetParentComponent(Component*) {}
  virtual void DefineProperties(Filer&) {}
  // Published properties in declaration order.
  virtual void GetProperties(PropertyList& list) const;

  // A token that expires when the component is destroyed: messages carrying it are dropped after that.
  std::weak_ptr<const void> Liveness() const { return alive_; }

 protected:
  virtual void ValidateRename(Component* component, const std::string& oldName, const std::string& newName);
  // The owner heard of this component from the base constructor, while it was no more than a Component:
  // a class whose owner's other components look for it (a port, a modem, a phone book...) calls this at
  // the end of its constructor so that they hear of it again as what it is.
  void Announce() {
    if (owner_) owner_->Notification(this, Operation::Insert);
  }

 private:
  Component* owner_ = nullptr;
  std::vector<Component*> components_;
  std::vector<Component*> freeNotifies_;
  std::string name_;
  std::intptr_t tag_ = 0;
  std::uint16_t state_ = 0;
  std::shared_ptr<const char> alive_ = std::make_shared<const char>(0);
};

}  // namespace tk
