#pragma once
// The outline: a tree control on the virtual list box. Every shown node of its tree (outline_nodes.h) is one
// list line; the outline paints each line itself (dotted connecting lines, plus and minus buttons, radio and
// check marks, images, text), keeps the active node, expands and collapses by mouse and keys, shows a
// shortened node text in full in a hint after the mouse rests on it, and reads and writes its node files.
#include <QImage>
#include <iosfwd>
#include <memory>
#include <string>

#include "controls/link_lists.h"
#include "controls/outline_nodes.h"
#include "controls/virtual_list_box.h"

class QWidget;

namespace controls {

// What the outline asks of an image list (the toolkit has none): indexed pictures of one size. A component
// that also implements this can be the outline's Images.
class IVxImageList {
 public:
  virtual ~IVxImageList() = default;
  virtual int ImageWidth() const = 0;
  virtual int ImageHeight() const = 0;
  virtual int ImageCount() const = 0;
  virtual void DrawImage(tk::Canvas& canvas, int x, int y, int index, bool enabled) const = 0;
};

class TVxCustomOutline : public TVxCustomVirtualListBox {
 public:
  static constexpr int MaxKeys = 64;
  static constexpr int Indent = 17;  // pixels per level, and per button or mark column

  using NodeEvent = std::function<void(tk::Component* sender, TVxOutlineNode* node)>;
  using ActiveChangeEvent =
      std::function<void(tk::Component* sender, TVxOutlineNode* oldNode, TVxOutlineNode* newNode)>;
  using CompareNodesEvent =
      std::function<void(tk::Component* sender, int key, TVxOutlineNode* node1, TVxOutlineNode* node2, int& result)>;
  using DrawCheckEvent =
      std::function<void(tk::Component* sender, tk::Canvas& canvas, TVxOutlineNode* node, const tk::Rect& rect,
                         TVxOlNodeStyle style, bool checked, bool& defaultDrawing)>;
  using DrawTextEvent = std::function<void(tk::Component* sender, tk::Canvas& canvas, TVxOutlineNode* node,
                                           const std::string& text, const tk::Rect& rect, bool& defaultDrawing)>;

  explicit TVxCustomOutline(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxCustomOutline() override;
  std::string ClassName() const override { return "TVxCustomOutline"; }

  TVxOutlineNodes& Nodes() { return *root_; }
  const TVxOutlineNodes& Nodes() const { return *root_; }
  // Replaces the tree with a copy of `nodes`.
  void SetNodes(const TVxOutlineNodes& nodes) { root_->Assign(nodes); }
  int Keys() const { return keys_; }
  // Only while the outline holds no node; 1 to 64.
  void SetKeys(int keys);
  int CurrentKey() const { return currentKey_; }
  void SetCurrentKey(int key);
  bool ShowLines() const { return showLines_; }
  void SetShowLines(bool value);
  bool ShowButtons() const { return showButtons_; }
  void SetShowButtons(bool value);
  bool ShowImages() const { return showImages_; }
  void SetShowImages(bool value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  tk::Component* Images() const { return images_; }
  // A component that is not an IVxImageList is taken as none.
  void SetImages(tk::Component* images);

  TVxOutlineNode* ActiveNode() const { return active_; }
  // Makes the node visible (expanding its ancestors) and selects its line.
  void SetActiveNode(TVxOutlineNode* node);

  void Clear();
  void ExpandAll();
  void CollapseAll();
  void BeginUpdate() override;
  void EndUpdate() override;
  // The item count follows the shown lines, and the item index the active node.
  void UpdateLines();
  void UpdateActiveNode();
  int Lines() const;
  int GetAbsNodes() const;
  TVxOutlineNode* GetAbsNode(int index) const;
  // The node shown on a line; null for a line that does not exist.
  TVxOutlineNode* GetNode(int line) const;
  bool GetIsGroup(int line) const;
  // The first node at any depth whose text equals `text` ignoring case; null when none.
  TVxOutlineNode* FindNode(const std::string& text);
  int PointToIndex(int y) const;
  // Key 0 compares texts; other keys ask OnCompareNodes.
  int CompareNodes(int key, TVxOutlineNode* node1, TVxOutlineNode* node2);

  // The binary node file; reading replaces the tree. File errors throw tk::EInOutError, damaged data
  // tk::EReadError (the tree is then left as it was).
  void SaveToStream(std::ostream& stream) const;
  void LoadFromStream(std::istream& stream);
  void SaveToFile(const std::string& fileName) const;
  void LoadFromFile(const std::string& fileName);
  // The tab-indented text file.
  void SaveAsText(const std::string& fileName) const;
  void LoadFromText(const std::string& fileName);

  // The hover hint, in screen coordinates.
  QWidget* HintWindow() const;
  bool HintShowing() const;
  const std::string& HintText() const { return hintText_; }
  std::int32_t HoverTrigger() const { return hoverTrigger_; }

  void Loaded() override;
  void Notification(tk::Component* component, tk::Operation operation) override;
  void Dispatch(tk::Message& message) override;
  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;

  ActiveChangeEvent OnActiveChange;
  NodeEvent OnCollapse;
  NodeEvent OnExpand;
  NodeEvent OnDynamicLoad;
  NodeEvent OnNodeClick;
  NodeEvent OnNodeDestroy;
  CompareNodesEvent OnCompareNodes;
  DrawCheckEvent OnDrawCheck;
  DrawTextEvent OnDrawText;

 protected:
  virtual void DoActiveChange(TVxOutlineNode* oldNode, TVxOutlineNode* newNode);
  // Each answers true when the event did the drawing.
  virtual bool DoDrawCheck(tk::Canvas& canvas, TVxOutlineNode* node, const tk::Rect& rect, TVxOlNodeStyle style,
                           bool checked);
  virtual bool DoDrawText(tk::Canvas& canvas, TVxOutlineNode* node, const std::string& text, const tk::Rect& rect);
  virtual void DoDynamicLoad(TVxOutlineNode* node);
  virtual void DoNodeDestroy(TVxOutlineNode* node);
  virtual void DoExpandCollapse(TVxOutlineNode* node, bool expanded);
  virtual void DoNodeClick(TVxOutlineNode* node);

  bool DoOnIsSelected(std::int32_t index) override;
  void DoOnSelect(std::int32_t index, bool selected) override;
  void SimulatedClick() override;
  void Click() override;
  void DblClick() override;
  void KeyPress(char& key) override;
  void WMKeyDown(std::uint16_t key, tk::ShiftState shift) override;
  void WMLButtonDown(tk::Point point, tk::ShiftState shift) override;
  void WMLButtonUp(tk::Point point, tk::ShiftState shift) override;
  void MouseMove(tk::ShiftState shift, int x, int y) override;
  void Paint(tk::Canvas& canvas) override;
  void CreateWnd() override;

 private:
  friend class TVxOutlineNode;
  friend class TVxOutlineNodes;

  IVxImageList* ImageList() const;
  void PaintLine(tk::Canvas& canvas, int line, const tk::Rect& row);
  void DrawLineBars(tk::Canvas& canvas, const TVxOutlineNode* node, int line, int c);
  // Every change to the lines comes through here: it also ends the collections' counted lines.
  void ClearLineCache() {
    lineCache_->Clear();
    ++lineGeneration_;
  }
  int LineOfNode(const TVxOutlineNode* node) const;
  // A rectangle within a node's line, placed where the line is now in view; empty when it is not.
  tk::Rect InClient(const TVxOutlineNode* node, const tk::Rect& inLine) const;
  // After a rename: the item index follows the active node to its new line.
  void FollowActiveNode();
  void LoadRecords(const std::vector<TVxOutlineNodeRecord>& records);
  std::unique_ptr<TVxSortedList> MakeNodeList(bool large);
  // Suppresses OnActiveChange during mouse and key handling and raises it once afterwards.
  void BeginUserAction();
  void EndUserAction();
  void AddHoverTrigger();
  void HoverTick(std::int32_t handle);
  void HideHint(bool updateWindow);

  std::unique_ptr<TVxOutlineNodes> root_;
  std::unique_ptr<TVxSortedList> allNodes_;
  std::unique_ptr<TVxLiteCache<TVxOutlineNode*>> lineCache_;
  std::uint64_t lineGeneration_ = 1;
  int keys_ = 1;
  int currentKey_ = 0;
  bool showLines_ = true;
  bool showButtons_ = true;
  bool showImages_ = true;
  bool hideSelection_ = false;
  tk::Component* images_ = nullptr;
  TVxOutlineNode* active_ = nullptr;
  // While set, a comparison without its event compares texts instead of failing (removals must not fail).
  bool lenientCompare_ = false;

  QImage lineImage_;
  std::int32_t hoverTrigger_ = -1;
  tk::Point lastMouse_{-1, -1};
  bool hintFinished_ = true;
  QWidget* hint_;
  std::string hintText_;
  int userAction_ = 0;
  TVxOutlineNode* activeBeforeAction_ = nullptr;
  bool pressOpen_ = false;  // a press's user action ends with its release
  bool programmaticClick_ = false;
  tk::Point clickPoint_{-1, -1};
};

class TVxOutline : public TVxCustomOutline {
 public:
  using TVxCustomOutline::TVxCustomOutline;
  std::string ClassName() const override { return "TVxOutline"; }
};

}  // namespace controls
