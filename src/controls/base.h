#pragma once
// The bases every component of the library derives from: non-visual, graphic and windowed, each with the
// About version text and typed collections of sub-components that stream as the owner's children; the
// windowed base adds an attached caption label, deferred after-enter and after-exit events and the mouse
// wheel event.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tk/component.h"
#include "tk/control.h"
#include "tk/custom_label.h"

namespace controls {

// A class in the library's item hierarchy: what collections test items against (the C++ type of an object
// is not known yet while its base part is being built).
struct VxClass {
  const char* Name;
  const VxClass* Parent;
  bool InheritsFrom(const VxClass& other) const {
    for (const VxClass* c = this; c; c = c->Parent)
      if (c == &other) return true;
    return false;
  }
};

class TVxCollection;

class TVxCollectionStreamer {
 public:
  explicit TVxCollectionStreamer(tk::Component* owner) : owner_(owner) {}
  tk::Component* Owner() const { return owner_; }
  std::vector<TVxCollection*>& Collections() { return collections_; }
  void Clear();

 private:
  tk::Component* owner_;
  std::vector<TVxCollection*> collections_;
};

// The streamer slot and streaming behaviour the three bases share.
class TVxStreamerHost {
 public:
  virtual ~TVxStreamerHost() = default;
  TVxCollectionStreamer* CollectionStreamer() const { return streamer_.get(); }
  TVxCollectionStreamer& EnsureStreamer(tk::Component* self);

 protected:
  bool StreamerChildren(const std::function<void(tk::Component*)>& proc) const;
  void LoadCollections();
  std::unique_ptr<TVxCollectionStreamer> streamer_;
};

#define ZELTA_VX_BASE_DECLS                                                                        \
  std::string About() const;                                                                       \
  void SetAbout(const std::string&) {}                                                             \
  void GetChildren(const std::function<void(tk::Component*)>& proc, tk::Component* root) override; \
  tk::Component* GetChildOwner() override;                                                         \
  void Loaded() override;                                                                          \
  void GetProperties(tk::PropertyList& list) const override;

class TVxComponent : public tk::Component, public TVxStreamerHost {
 public:
  explicit TVxComponent(tk::Component* owner) : tk::Component(owner) {}
  ~TVxComponent() override;
  std::string ClassName() const override { return "TVxComponent"; }
  ZELTA_VX_BASE_DECLS
};

class TVxGraphicControl : public tk::GraphicControl, public TVxStreamerHost {
 public:
  explicit TVxGraphicControl(tk::Component* owner, QWidget* parent = nullptr) : tk::GraphicControl(owner, parent) {}
  ~TVxGraphicControl() override;
  std::string ClassName() const override { return "TVxGraphicControl"; }
  ZELTA_VX_BASE_DECLS
};

class TVxCustomControl;

// The caption label a windowed control can carry above itself.
class TVxAttachedLabel : public tk::CustomLabel {
 public:
  explicit TVxAttachedLabel(tk::Component* owner);
  TVxAttachedLabel(tk::Component* owner, TVxCustomControl* control);
  std::string ClassName() const override { return "TVxAttachedLabel"; }

  TVxCustomControl* Control() const { return control_; }
  void SetControl(TVxCustomControl* control) { control_ = control; }
  tk::ComponentRef ControlRef() const;
  void SetControlRef(tk::ComponentRef ref);

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  void Notification(tk::Component* component, tk::Operation operation) override;
  void GetProperties(tk::PropertyList& list) const override;

 private:
  // Tells the control that this label is its own and where it now stands.
  void ReportPosition();
  TVxCustomControl* control_ = nullptr;
};

class TVxLabelInfo {
 public:
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }
  bool Visible() const { return visible_; }
  void SetOffsetX(int v) { SetOffsets(v, offsetY_); }
  void SetOffsetY(int v) { SetOffsets(offsetX_, v); }
  void SetOffsets(int x, int y);
  void SetVisible(bool visible);

  TVxAttachedLabel* Label = nullptr;
  std::function<void()> OnChange;
  std::function<void(bool)> OnAttach;

 private:
  friend class TVxCustomControl;
  int offsetX_ = 0;
  int offsetY_ = 0;
  bool visible_ = false;
};

using MouseWheelEvent = std::function<void(tk::Component* sender, tk::ShiftState shift, int delta, int x, int y)>;

class TVxCustomControl : public tk::CustomControl, public TVxStreamerHost {
 public:
  explicit TVxCustomControl(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxCustomControl() override;
  std::string ClassName() const override { return "TVxCustomControl"; }
  ZELTA_VX_BASE_DECLS

  TVxLabelInfo& LabelInfo() { return *labelInfo_; }
  // Throws EVxException "Label not attached" when none is.
  TVxAttachedLabel* GetAttachedLabel() const;

  tk::NotifyEvent AfterEnter;
  tk::NotifyEvent AfterExit;
  MouseWheelEvent OnMouseWheel;

  void SetBounds(int left, int top, int width, int height) override;
  void Notification(tk::Component* component, tk::Operation operation) override;
  void Dispatch(tk::Message& message) override;

 protected:
  virtual void DoOnMouseWheel(tk::ShiftState shift, int delta, int x, int y);
  void LabelChange();
  void LabelAttach(bool visible);
  void PositionLabel();

 private:
  std::unique_ptr<TVxLabelInfo> labelInfo_;
};

#undef ZELTA_VX_BASE_DECLS

class TVxController;

// A windowed control that works through its form's controller (key tables, timers, options, errors).
class TVxCustomControlEx : public TVxCustomControl {
 public:
  explicit TVxCustomControlEx(tk::Component* owner, QWidget* parent = nullptr) : TVxCustomControl(owner, parent) {}
  std::string ClassName() const override { return "TVxCustomControlEx"; }

  TVxController* Controller() const { return controller_; }
  virtual void SetController(TVxController* controller);
  bool ControllerAssigned() const { return controller_ != nullptr; }

  void Notification(tk::Component* component, tk::Operation operation) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  // Finds the form's controller; at run time a control without one throws ENoControllerAssigned, at design
  // time one is added to the form.
  void CreateWnd() override;

 private:
  tk::ComponentRef ControllerRef() const;
  void SetControllerRef(tk::ComponentRef ref);
  TVxController* controller_ = nullptr;
};

// What a collection makes and accepts.
struct TVxItemClass {
  const VxClass* Class = nullptr;
  std::function<tk::Component*(tk::Component* owner)> Create;
};

class TVxCollectibleLink;

class TVxCollection {
 public:
  // `owner` must be a TVxComponent or a TVxCustomControl.
  TVxCollection(tk::Component* owner, TVxItemClass itemClass);
  virtual ~TVxCollection();
  TVxCollection(const TVxCollection&) = delete;
  TVxCollection& operator=(const TVxCollection&) = delete;
  virtual std::string ClassName() const { return "TVxCollection"; }

  int Count() const { return static_cast<int>(items_.size()); }
  tk::Component* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  int IndexOf(const tk::Component* item) const;
  tk::Component* Owner() const { return owner_; }
  const TVxItemClass& ItemClass() const { return itemClass_; }
  void SetItemClass(TVxItemClass itemClass) { itemClass_ = std::move(itemClass); }
  // The first form up the owner chain.
  tk::Form* ParentForm() const;

  tk::Component* Add();
  tk::Component* Insert(int index);
  void Delete(int index);
  virtual void Clear();
  virtual void Changed();
  void Loaded();
  tk::Component* ItemByName(const std::string& name) const;
  std::string GetEditorCaption();
  void DoOnItemSelected(int index);

  bool Stored = true;
  std::function<void(TVxCollection* sender)> OnChanged;
  std::function<void(TVxCollection* sender, int index)> OnItemSelected;
  std::function<void(TVxCollection* sender, std::string& caption)> OnGetEditorCaption;

 private:
  friend class TVxCollectibleLink;
  void Join(tk::Component* item, const VxClass& cls);
  void Leave(tk::Component* item);
  void Move(tk::Component* item, int index);

  tk::Component* owner_;
  TVxItemClass itemClass_;
  TVxCollectionStreamer* streamer_;
  std::vector<tk::Component*> items_;
  bool loading_ = false;
  bool loaded_ = false;
  bool inChanged_ = false;
  // Set while the collection frees its items on its way out (its owner is going too).
  bool destroying_ = false;
};

// What both kinds of collection items share: their collection, index, names and change reports.
class TVxCollectibleLink {
 public:
  virtual ~TVxCollectibleLink() = default;
  TVxCollection* Collection() const { return collection_; }
  const VxClass& ItemClassInfo() const { return *class_; }
  int GetIndex() const;
  void SetIndex(int index);
  virtual std::string GetDisplayText() const { return class_->Name; }
  virtual std::string GetBaseName() const { return "CollectionItem"; }
  std::string GenerateName() const;
  virtual void ItemChanged();

 protected:
  // Finds the owner's first collection for `cls` and joins it; throws the library's errors.
  void JoinFromOwner(tk::Component* self, tk::Component* owner, const VxClass& cls, bool controlItem);
  void LeaveCollection();

 private:
  friend class TVxCollection;
  tk::Component* self_ = nullptr;
  TVxCollection* collection_ = nullptr;
  const VxClass* class_ = nullptr;
  bool inChanged_ = false;
};

class TVxCollectible : public TVxComponent, public TVxCollectibleLink {
 public:
  static const VxClass Class;
  explicit TVxCollectible(tk::Component* owner, const VxClass& cls = Class);
  ~TVxCollectible() override;
  std::string ClassName() const override { return ItemClassInfo().Name; }
  void SetName(const std::string& name) override;
};

class TVxCollectibleControl : public TVxCustomControl, public TVxCollectibleLink {
 public:
  static const VxClass Class;
  explicit TVxCollectibleControl(tk::Component* owner, const VxClass& cls = Class);
  ~TVxCollectibleControl() override;
  std::string ClassName() const override { return ItemClassInfo().Name; }
  void SetName(const std::string& name) override;
};

// An item class for collections of T (T passes its own VxClass down to its base).
template <class T>
TVxItemClass ItemClassOf() {
  return {&T::Class, [](tk::Component* owner) -> tk::Component* { return new T(owner); }};
}

// The first form up the parent chain of `control`, else null.
tk::Form* GetImmediateParentForm(QWidget* control);

// The first controller among the components `form` owns, in order; null when there is none.
TVxController* FindController(tk::Component* form);
// Leaves a controller already held alone; else takes the form's, or adds one named "VxController1".
void ResolveController(tk::Form* form, TVxController*& controller);

// Registers the attached label for form streams; runs once.
void RegisterBaseClasses();

}  // namespace controls
