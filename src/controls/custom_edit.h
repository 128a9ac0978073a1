#pragma once
// The platform's single-line edit joined to the library: it finds and keeps its form's controller and can
// carry an attached caption label that follows it when it moves, above it or, for a descendant that asks,
// below it. TVxEdit publishes it; the pop-up, number and bordered edits derive from it.
#include <memory>
#include <string>

#include "controls/base.h"
#include "controls/meter.h"
#include "tk/custom_edit.h"

namespace controls {

class TVxController;

class TVxCustomEdit : public tk::CustomEdit {
 public:
  explicit TVxCustomEdit(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxCustomEdit() override;
  std::string ClassName() const override { return "TVxCustomEdit"; }

  std::string About() const;
  void SetAbout(const std::string&) {}

  TVxController* Controller() const { return controller_; }
  // Remembers the controller and asks to hear of its removal.
  void SetController(TVxController* controller);
  bool ControllerAssigned() const { return controller_ != nullptr; }

  TBorderStyle BorderStyle() const { return HasBorder() ? TBorderStyle::bsSingle : TBorderStyle::bsNone; }
  void SetBorderStyle(TBorderStyle value) { SetHasBorder(value == TBorderStyle::bsSingle); }

  TVxLabelInfo& LabelInfo() { return *labelInfo_; }
  // Throws "Label not attached" when none is.
  TVxAttachedLabel* GetAttachedLabel() const;
  bool LabelBelow() const { return labelBelow_; }

  void SetBounds(int left, int top, int width, int height) override;
  void Notification(tk::Component* component, tk::Operation operation) override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  // Finds the form's controller; at run time an edit without one throws ENoControllerAssigned, at design
  // time one is added to the form.
  void CreateWnd() override;
  // A descendant that wants its label under the edit sets this.
  void SetLabelBelow(bool value) { labelBelow_ = value; }
  void LabelAttach(bool attach);
  void LabelChange();
  void PositionLabel();
  // The label does not know an edit as its control: its moves are watched here instead.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The offsets the label's place implies.
  tk::Point ImpliedOffsets() const;
  void RecordLabelPosition();
  void MarkAttached();
  tk::ComponentRef ControllerRef() const;
  void SetControllerRef(tk::ComponentRef ref);

  TVxController* controller_ = nullptr;
  bool labelBelow_ = false;
  std::unique_ptr<TVxLabelInfo> labelInfo_;
  bool placingLabel_ = false;
};

class TVxEdit : public TVxCustomEdit {
 public:
  using TVxCustomEdit::TVxCustomEdit;
  std::string ClassName() const override { return "TVxEdit"; }
};

}  // namespace controls
