#pragma once
// The outline's tree: nodes, the sorted sibling collections that hold them, expanding and collapsing with
// dynamic loading, check-box and radio-button nodes, and the two node files (a binary stream and
// tab-indented text). The outline (outline.h) owns the root collection, the list of every node and the line
// cache; nodes call back into it to repaint, renumber its lines and raise its events.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/link_lists.h"
#include "tk/filer.h"
#include "tk/types.h"

namespace controls {

class TVxCustomOutline;
class TVxOutlineNodes;

enum class TVxOlNodeStyle { osPlain, osRadio, osCheck };
enum class TVxOlNodeMode { omPreload, omDynamicLoad, omDynamic };

class TVxOutlineNode {
 public:
  // Frees the children, leaves the tree and tells the outline.
  ~TVxOutlineNode();
  TVxOutlineNode(const TVxOutlineNode&) = delete;
  TVxOutlineNode& operator=(const TVxOutlineNode&) = delete;

  const std::string& Text() const { return text_; }
  // Moves the node to its sorted place among its siblings.
  void SetText(const std::string& text);
  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }
  TVxOlNodeStyle Style() const { return style_; }
  // A top-level node refuses the radio style.
  void SetStyle(TVxOlNodeStyle style);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  TVxOlNodeMode Mode() const { return mode_; }
  void SetMode(TVxOlNodeMode mode) { mode_ = mode; }
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool expanded);
  // The dynamic children have been loaded.
  bool IsLoaded() const { return loaded_; }
  // Painting's findings: whether the line shows a shortened text, and where the button, the check mark and
  // the text are, in client coordinates while the line is in view (empty otherwise). Kept relative to the
  // line, so that they hold after the outline scrolls its pixels.
  bool Truncated() const { return truncated_; }
  tk::Rect ButtonRect() const;
  tk::Rect CheckRect() const;
  tk::Rect TextRect() const;

  TVxOutlineNodes& Children() { return *children_; }
  const TVxOutlineNodes& Children() const { return *children_; }
  TVxOutlineNode* Parent() const { return parent_; }
  TVxOutlineNodes* Collection() const { return collection_; }
  TVxCustomOutline* Outline() const { return outline_; }
  int Count() const;
  bool HasChildren() const { return Count() > 0; }
  bool HasParent() const { return parent_ != nullptr; }
  int Level() const;
  // The i-th child in the current key order.
  TVxOutlineNode* GetNode(int index) const;
  // The display line, -1 when the node is not shown.
  int Index() const;
  // Shown when every ancestor is expanded; making a node visible expands its ancestors.
  bool Visible() const;
  void SetVisible(bool visible);
  // 1, plus the children's lines when expanded.
  int LineCount() const;
  bool IsSiebling(const TVxOutlineNode* other) const { return other && other->parent_ == parent_; }
  bool IsFirstSiebling() const;
  bool IsLastSiebling() const;

  void Expand(bool recursive);
  void Collapse(bool recursive);
  void DeleteChildren();
  // Moves the node under another parent of the same outline (null: to the top level).
  void SetParent(TVxOutlineNode* newParent);
  // Scrolls the outline so that the node and its children are in view.
  void MakeChildrenVisible();
  void Invalidate();
  // Copies text, style, image index, checked, mode, expanded and the children.
  void Assign(const TVxOutlineNode& source);

 private:
  friend class TVxOutlineNodes;
  friend class TVxCustomOutline;
  TVxOutlineNode(TVxOutlineNodes* owner, TVxOutlineNode* parent, void* data);
  // A probe for searches: in no collection and no outline.
  explicit TVxOutlineNode(std::string text);
  // Leaves the sorted lists that order it, changes, and joins them again at its new place.
  void Relist(const std::function<void()>& change);

  std::string text_;
  void* data_ = nullptr;
  TVxOlNodeStyle style_ = TVxOlNodeStyle::osPlain;
  bool checked_ = false;
  int imageIndex_ = -1;
  TVxOlNodeMode mode_ = TVxOlNodeMode::omPreload;
  bool expanded_ = false;
  bool loaded_ = false;
  bool truncated_ = false;
  tk::Rect buttonRect_, checkRect_, textRect_;  // within the line
  std::unique_ptr<TVxOutlineNodes> children_;
  TVxOutlineNode* parent_ = nullptr;
  TVxOutlineNodes* collection_ = nullptr;
  TVxCustomOutline* outline_ = nullptr;
  bool listed_ = false;  // in its collection's list and the outline's list of every node
};

// One node as the node files hold it: no expanded state, no loaded state, no data.
struct TVxOutlineNodeRecord {
  std::string Text;
  std::int32_t ImageIndex = -1;
  TVxOlNodeStyle Style = TVxOlNodeStyle::osPlain;
  bool Checked = false;
  TVxOlNodeMode Mode = TVxOlNodeMode::omPreload;
  std::vector<TVxOutlineNodeRecord> Children;
  friend bool operator==(const TVxOutlineNodeRecord&, const TVxOutlineNodeRecord&) = default;
};

// Siblings, kept sorted under every key of the outline and enumerated in its current key's order.
class TVxOutlineNodes {
 public:
  TVxOutlineNodes(TVxCustomOutline* outline, TVxOutlineNode* parent);
  ~TVxOutlineNodes();
  TVxOutlineNodes(const TVxOutlineNodes&) = delete;
  TVxOutlineNodes& operator=(const TVxOutlineNodes&) = delete;

  TVxCustomOutline* Outline() const { return outline_; }
  TVxOutlineNode* Parent() const { return parent_; }
  int Count() const { return list_->Count(); }
  TVxOutlineNode* GetNodeFromIndex(int index) const;
  int IndexOf(const TVxOutlineNode* node) const;
  int LineCount() const;
  int CurrentKey() const { return list_->CurrentKey(); }

  // Each makes a node, gives it its text (which sorts it in) and renumbers the outline's lines. The Child
  // forms add under `parent`, or here when it is null.
  TVxOutlineNode* Add(const std::string& text) { return AddObject(text, nullptr); }
  TVxOutlineNode* AddObject(const std::string& text, void* data);
  TVxOutlineNode* AddChild(TVxOutlineNode* parent, const std::string& text) {
    return AddChildObject(parent, text, nullptr);
  }
  TVxOutlineNode* AddChildObject(TVxOutlineNode* parent, const std::string& text, void* data);
  TVxOutlineNode* AddEx(const std::string& text, int imageIndex, TVxOlNodeMode mode) {
    return AddChildObjectEx(nullptr, text, nullptr, imageIndex, mode);
  }
  TVxOutlineNode* AddObjectEx(const std::string& text, void* data, int imageIndex, TVxOlNodeMode mode) {
    return AddChildObjectEx(nullptr, text, data, imageIndex, mode);
  }
  TVxOutlineNode* AddChildEx(TVxOutlineNode* parent, const std::string& text, int imageIndex, TVxOlNodeMode mode) {
    return AddChildObjectEx(parent, text, nullptr, imageIndex, mode);
  }
  TVxOutlineNode* AddChildObjectEx(TVxOutlineNode* parent, const std::string& text, void* data, int imageIndex,
                                   TVxOlNodeMode mode);
  TVxOutlineNode* AddButtonChild(TVxOutlineNode* parent, const std::string& text, TVxOlNodeStyle style, bool checked) {
    return AddButtonChildObject(parent, text, nullptr, style, checked);
  }
  TVxOutlineNode* AddButtonChildObject(TVxOutlineNode* parent, const std::string& text, void* data,
                                       TVxOlNodeStyle style, bool checked);

  // Frees every node.
  void Clear();
  // Replaces the nodes with copies of `source`'s (their Data shared).
  void Assign(const TVxOutlineNodes& source);

  // The tree below, as the node files hold it, and back: loading adds each node under the one read before
  // it, then sets its image index, style, checked state and mode.
  std::vector<TVxOutlineNodeRecord> Records() const;
  void AddRecords(const std::vector<TVxOutlineNodeRecord>& records);
  // "Data" under the given prefix: the binary node file, written only when there are nodes.
  void DefineProperties(tk::Filer& filer, const std::string& prefix);

 private:
  friend class TVxOutlineNode;
  friend class TVxCustomOutline;
  void Insert(TVxOutlineNode* node);
  void Remove(TVxOutlineNode* node);
  void SetCurrentKey(int key);

  TVxCustomOutline* outline_;
  TVxOutlineNode* parent_;
  std::unique_ptr<TVxSortedList> list_;
  // The lines counted last, good while the outline's line generation stays what it was then: painting asks
  // for them on every line, and counting walks the whole expanded branch.
  mutable int lines_ = 0;
  mutable std::uint64_t linesGeneration_ = 0;
};

// Key 0's order: the texts compared without regard to case (Latin-1 letters included).
int CompareNodeTexts(std::string_view a, std::string_view b);

// The binary node file: 32-bit little-endian integers; per node depth first its text length and bytes,
// image index, style, checked, mode and child count, then the children. A stream that ends early or
// holds impossible values throws tk::EReadError.
std::string EncodeOutlineBinary(const std::vector<TVxOutlineNodeRecord>& roots);
std::vector<TVxOutlineNodeRecord> DecodeOutlineBinary(std::string_view bytes, std::size_t* consumed = nullptr);
// The text node file: one node a line, a tab per level before its text, lines ending in CR LF. Reading
// follows the original's recursive reader: a line deeper than the one before by two or more levels starts at
// the top again, and an empty line closes every open level.
std::string EncodeOutlineText(const std::vector<TVxOutlineNodeRecord>& roots);
std::vector<TVxOutlineNodeRecord> DecodeOutlineText(std::string_view bytes);

}  // namespace controls
