#include "controls/outline_nodes.h"

#include <algorithm>
#include <cstring>

#include "controls/exceptions.h"
#include "controls/outline.h"
#include "tk/exception.h"
#include "tk/exception_guard.h"

namespace controls {

namespace {

// Deeper trees than this are refused by the file readers: every walk of the tree recurses by level.
constexpr int kMaxDepth = 1000;

unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  return c;
}

// Takes a node out of a sorted list even when the list's comparison has become unable to find it.
void Unlist(TVxSortedList& list, TVxOutlineNode* node) {
  int index = list.IndexOf(node);
  if (index < 0 || list.GetItems(index) != node) {
    index = -1;
    for (int i = 0; i < list.Count(); ++i)
      if (list.GetItems(i) == node) {
        index = i;
        break;
      }
  }
  if (index >= 0) list.Delete(index);
}

// A node of a file being read, before the tree takes it.
struct Pending {
  TVxOutlineNodeRecord Record;
  std::vector<std::unique_ptr<Pending>> Children;
  int Depth = 0;
};

TVxOutlineNodeRecord Take(Pending& p) {
  TVxOutlineNodeRecord r = std::move(p.Record);
  for (auto& child : p.Children) r.Children.push_back(Take(*child));
  return r;
}

std::vector<TVxOutlineNodeRecord> TakeAll(std::vector<std::unique_ptr<Pending>>& roots) {
  std::vector<TVxOutlineNodeRecord> out;
  for (auto& root : roots) out.push_back(Take(*root));
  return out;
}

[[noreturn]] void Damaged() { throw tk::EReadError("Invalid outline node data"); }

void Put32(std::string& out, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void EncodeNodes(std::string& out, const std::vector<TVxOutlineNodeRecord>& nodes) {
  for (const TVxOutlineNodeRecord& node : nodes) {
    Put32(out, static_cast<std::int32_t>(node.Text.size()));
    out += node.Text;
    Put32(out, node.ImageIndex);
    Put32(out, static_cast<std::int32_t>(node.Style));
    Put32(out, node.Checked ? 1 : 0);
    Put32(out, static_cast<std::int32_t>(node.Mode));
    Put32(out, static_cast<std::int32_t>(node.Children.size()));
    EncodeNodes(out, node.Children);
  }
}

void EncodeTextNodes(std::string& out, const std::vector<TVxOutlineNodeRecord>& nodes, int level) {
  for (const TVxOutlineNodeRecord& node : nodes) {
    out.append(static_cast<std::size_t>(level), '\t');
    out += node.Text;
    out += "\r\n";
    EncodeTextNodes(out, node.Children, level + 1);
  }
}

}  // namespace

int CompareNodeTexts(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldCase(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// node

TVxOutlineNode::TVxOutlineNode(TVxOutlineNodes* owner, TVxOutlineNode* parent, void* data)
    : data_(data), parent_(parent), collection_(owner), outline_(owner->Outline()) {
  children_ = std::make_unique<TVxOutlineNodes>(outline_, this);
  owner->Insert(this);
  try {
    outline_->allNodes_->Add(this);
  } catch (...) {
    outline_->lenientCompare_ = true;
    Unlist(*owner->list_, this);
    outline_->lenientCompare_ = false;
    throw;
  }
  listed_ = true;
  outline_->ClearLineCache();
}

TVxOutlineNode::TVxOutlineNode(std::string text) : text_(std::move(text)) {}

TVxOutlineNode::~TVxOutlineNode() {
  if (!outline_) return;
  TVxCustomOutline* outline = outline_;
  outline->BeginUpdate();
  if (outline->active_ == this) outline->active_ = nullptr;
  if (outline->activeBeforeAction_ == this) outline->activeBeforeAction_ = nullptr;
  children_->Clear();
  if (listed_) {
    outline->lenientCompare_ = true;
    tk::Guarded([&] {
      Unlist(*collection_->list_, this);
      outline->UpdateLines();
      Unlist(*outline->allNodes_, this);
    });
    outline->lenientCompare_ = false;
  }
  tk::Guarded([&] { outline->DoNodeDestroy(this); });
  outline->ClearLineCache();
  children_.reset();
  tk::Guarded([&] { outline->EndUpdate(); });
}

void TVxOutlineNode::Relist(const std::function<void()>& change) {
  outline_->lenientCompare_ = true;
  Unlist(*collection_->list_, this);
  Unlist(*outline_->allNodes_, this);
  outline_->lenientCompare_ = false;
  listed_ = false;
  change();
  collection_->list_->Add(this);
  try {
    outline_->allNodes_->Add(this);
  } catch (...) {
    outline_->lenientCompare_ = true;
    Unlist(*collection_->list_, this);
    outline_->lenientCompare_ = false;
    throw;
  }
  listed_ = true;
}

void TVxOutlineNode::SetText(const std::string& text) {
  if (text == text_) return;
  if (!collection_) {
    text_ = text;
    return;
  }
  TVxOutlineNode* active = outline_->active_;
  const std::string old = text_;
  try {
    Relist([&] { text_ = text; });
  } catch (...) {
    // Back where it was, if the comparison lets it.
    try {
      Relist([&] { text_ = old; });
    } catch (...) {
    }
    outline_->ClearLineCache();
    throw;
  }
  outline_->ClearLineCache();
  outline_->active_ = active;
  outline_->FollowActiveNode();
  outline_->Invalidate();
}

void TVxOutlineNode::SetStyle(TVxOlNodeStyle style) {
  if (style == style_) return;
  if (style == TVxOlNodeStyle::osRadio && !parent_)
    throw EVxException("Only child nodes can have the radio button style");
  style_ = style;
  if (style != TVxOlNodeStyle::osPlain) checked_ = false;
  Invalidate();
}

void TVxOutlineNode::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Invalidate();
  if (style_ == TVxOlNodeStyle::osRadio && collection_) {
    for (int i = checked ? 0 : 1; i < collection_->Count(); ++i) {
      TVxOutlineNode* sibling = collection_->GetNodeFromIndex(i);
      if (sibling == this || sibling->style_ != TVxOlNodeStyle::osRadio || !sibling->checked_) continue;
      sibling->checked_ = false;
      sibling->Invalidate();
    }
  }
  if (outline_) outline_->DoNodeClick(this);
}

void TVxOutlineNode::SetImageIndex(int index) {
  if (index == imageIndex_) return;
  imageIndex_ = index;
  Invalidate();
}

void TVxOutlineNode::SetExpanded(bool expanded) {
  if (expanded == expanded_ || !outline_) return;
  if (!expanded && mode_ == TVxOlNodeMode::omDynamic) {
    DeleteChildren();
    loaded_ = false;
  }
  if (expanded && mode_ != TVxOlNodeMode::omPreload && !loaded_) {
    outline_->DoDynamicLoad(this);
    loaded_ = true;
  }
  if (parent_) parent_->SetExpanded(true);
  expanded_ = expanded;
  // A node without children leaves every line where it was (expanding a whole tree touches every leaf).
  if (Count() > 0) outline_->ClearLineCache();
  outline_->UpdateLines();
  MakeChildrenVisible();
  outline_->DoExpandCollapse(this, expanded);
}

tk::Rect TVxOutlineNode::ButtonRect() const { return outline_ ? outline_->InClient(this, buttonRect_) : tk::Rect{}; }

tk::Rect TVxOutlineNode::CheckRect() const { return outline_ ? outline_->InClient(this, checkRect_) : tk::Rect{}; }

tk::Rect TVxOutlineNode::TextRect() const { return outline_ ? outline_->InClient(this, textRect_) : tk::Rect{}; }

int TVxOutlineNode::Count() const { return children_ ? children_->Count() : 0; }

int TVxOutlineNode::Level() const {
  int level = 0;
  for (const TVxOutlineNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}

TVxOutlineNode* TVxOutlineNode::GetNode(int index) const { return children_->GetNodeFromIndex(index); }

int TVxOutlineNode::Index() const { return outline_ ? outline_->LineOfNode(this) : -1; }

bool TVxOutlineNode::Visible() const { return !parent_ || (parent_->expanded_ && parent_->Visible()); }

void TVxOutlineNode::SetVisible(bool visible) {
  if (visible && parent_) parent_->Expand(false);
}

int TVxOutlineNode::LineCount() const { return 1 + (expanded_ ? children_->LineCount() : 0); }

bool TVxOutlineNode::IsFirstSiebling() const {
  return collection_ && collection_->Count() > 0 && collection_->GetNodeFromIndex(0) == this;
}

bool TVxOutlineNode::IsLastSiebling() const {
  return collection_ && collection_->Count() > 0 && collection_->GetNodeFromIndex(collection_->Count() - 1) == this;
}

void TVxOutlineNode::Expand(bool recursive) {
  if (parent_ && !parent_->Visible()) parent_->Expand(false);
  SetExpanded(true);
  if (recursive)
    for (int i = 0; i < Count(); ++i) GetNode(i)->Expand(true);
}

void TVxOutlineNode::Collapse(bool recursive) {
  if (recursive)
    for (int i = 0; i < Count(); ++i) GetNode(i)->Collapse(true);
  SetExpanded(false);
}

void TVxOutlineNode::DeleteChildren() {
  if (!outline_) return;
  outline_->BeginUpdate();
  try {
    children_->Clear();
  } catch (...) {
    outline_->EndUpdate();
    throw;
  }
  outline_->EndUpdate();
}

void TVxOutlineNode::SetParent(TVxOutlineNode* newParent) {
  if (newParent == parent_ || !outline_) return;
  if (newParent) {
    if (newParent->outline_ != outline_) throw EVxException("A node can only move to a parent of its own outline");
    for (const TVxOutlineNode* p = newParent; p; p = p->parent_)
      if (p == this) throw EVxException("A node cannot move under itself or its own descendants");
  }
  outline_->active_ = nullptr;
  outline_->BeginUpdate();
  try {
    TVxOutlineNodes& root = *outline_->root_;
    outline_->lenientCompare_ = true;
    Unlist(*collection_->list_, this);
    outline_->lenientCompare_ = false;
    parent_ = nullptr;
    collection_ = &root;
    root.list_->Add(this);
    if (newParent) {
      outline_->lenientCompare_ = true;
      Unlist(*root.list_, this);
      outline_->lenientCompare_ = false;
      parent_ = newParent;
      collection_ = newParent->children_.get();
      collection_->list_->Add(this);
    }
  } catch (...) {
    outline_->lenientCompare_ = false;
    outline_->ClearLineCache();
    outline_->EndUpdate();
    throw;
  }
  outline_->ClearLineCache();
  outline_->EndUpdate();
}

void TVxOutlineNode::MakeChildrenVisible() {
  if (!outline_) return;
  const int line = Index();
  if (line == -1) return;
  const int last = expanded_ ? line + Count() : line;
  const int lastShown = outline_->TopIndex() + outline_->Rows() - 1;
  if (last <= lastShown) return;
  int top = outline_->TopIndex() + (last - lastShown);
  if (top > line || top < 0) top = line;
  outline_->SetTopIndex(top);
}

void TVxOutlineNode::Invalidate() {
  if (!outline_ || !outline_->HandleAllocated()) return;
  const int line = Index();
  if (line != -1) outline_->InvalidateItem(line);
}

void TVxOutlineNode::Assign(const TVxOutlineNode& source) {
  SetText(source.text_);
  SetStyle(source.style_);
  SetImageIndex(source.imageIndex_);
  SetChecked(source.checked_);
  SetMode(source.mode_);
  SetExpanded(source.expanded_);
  children_->Assign(*source.children_);
}

// sibling collection

TVxOutlineNodes::TVxOutlineNodes(TVxCustomOutline* outline, TVxOutlineNode* parent)
    : outline_(outline), parent_(parent), list_(outline->MakeNodeList(false)) {}

TVxOutlineNodes::~TVxOutlineNodes() {
  Clear();
  list_.reset();
}

TVxOutlineNode* TVxOutlineNodes::GetNodeFromIndex(int index) const {
  return static_cast<TVxOutlineNode*>(list_->GetItems(index));
}

int TVxOutlineNodes::IndexOf(const TVxOutlineNode* node) const {
  const int index = list_->IndexOf(const_cast<TVxOutlineNode*>(node));
  if (index >= 0 && list_->GetItems(index) == node) return index;
  for (int i = 0; i < Count(); ++i)
    if (list_->GetItems(i) == node) return i;
  return -1;
}

int TVxOutlineNodes::LineCount() const {
  if (outline_ && linesGeneration_ == outline_->lineGeneration_) return lines_;
  int lines = 0;
  for (int i = 0; i < Count(); ++i) lines += GetNodeFromIndex(i)->LineCount();
  lines_ = lines;
  if (outline_) linesGeneration_ = outline_->lineGeneration_;
  return lines;
}

void TVxOutlineNodes::Insert(TVxOutlineNode* node) { list_->Add(node); }

void TVxOutlineNodes::Remove(TVxOutlineNode* node) {
  outline_->lenientCompare_ = true;
  Unlist(*list_, node);
  outline_->lenientCompare_ = false;
}

void TVxOutlineNodes::SetCurrentKey(int key) {
  list_->SetCurrentKey(key);
  for (int i = 0; i < Count(); ++i) GetNodeFromIndex(i)->children_->SetCurrentKey(key);
}

TVxOutlineNode* TVxOutlineNodes::AddObject(const std::string& text, void* data) {
  return AddChildObject(nullptr, text, data);
}

TVxOutlineNode* TVxOutlineNodes::AddChildObject(TVxOutlineNode* parent, const std::string& text, void* data) {
  TVxOutlineNodes& target = parent ? parent->Children() : *this;
  auto* node = new TVxOutlineNode(&target, target.parent_, data);
  try {
    node->SetText(text);
  } catch (...) {
    delete node;
    throw;
  }
  outline_->UpdateLines();
  return node;
}

TVxOutlineNode* TVxOutlineNodes::AddChildObjectEx(TVxOutlineNode* parent, const std::string& text, void* data,
                                                  int imageIndex, TVxOlNodeMode mode) {
  TVxOutlineNode* node = AddChildObject(parent, text, data);
  node->SetImageIndex(imageIndex);
  node->SetMode(mode);
  return node;
}

TVxOutlineNode* TVxOutlineNodes::AddButtonChildObject(TVxOutlineNode* parent, const std::string& text, void* data,
                                                      TVxOlNodeStyle style, bool checked) {
  TVxOutlineNode* node = AddChildObject(parent, text, data);
  node->SetStyle(style);
  node->SetChecked(checked);
  return node;
}

void TVxOutlineNodes::Clear() {
  while (Count() > 0) delete GetNodeFromIndex(Count() - 1);
}

void TVxOutlineNodes::Assign(const TVxOutlineNodes& source) {
  if (&source == this) return;
  // Clearing would free a source inside this branch; copying a source that holds this branch never ends.
  for (const TVxOutlineNode* n = source.parent_; n; n = n->parent_)
    if (n->collection_ == this) throw EVxException("A node collection cannot take a copy of its own branch");
  for (const TVxOutlineNode* n = parent_; n; n = n->parent_)
    if (n->collection_ == &source) throw EVxException("A node collection cannot take a copy of its own branch");
  outline_->BeginUpdate();
  try {
    Clear();
    for (int i = 0; i < source.Count(); ++i) {
      const TVxOutlineNode* from = source.GetNodeFromIndex(i);
      TVxOutlineNode* node = AddObject(std::string(), from->data_);
      node->Assign(*from);
    }
  } catch (...) {
    outline_->EndUpdate();
    throw;
  }
  outline_->EndUpdate();
}

std::vector<TVxOutlineNodeRecord> TVxOutlineNodes::Records() const {
  std::vector<TVxOutlineNodeRecord> records;
  for (int i = 0; i < Count(); ++i) {
    const TVxOutlineNode* node = GetNodeFromIndex(i);
    records.push_back(
        {node->text_, node->imageIndex_, node->style_, node->checked_, node->mode_, node->children_->Records()});
  }
  return records;
}

void TVxOutlineNodes::AddRecords(const std::vector<TVxOutlineNodeRecord>& records) {
  outline_->BeginUpdate();
  try {
    for (const TVxOutlineNodeRecord& record : records) {
      TVxOutlineNode* node = AddObject(record.Text, nullptr);
      node->SetImageIndex(record.ImageIndex);
      node->SetStyle(record.Style);
      node->SetChecked(record.Checked);
      node->SetMode(record.Mode);
      node->children_->AddRecords(record.Children);
    }
  } catch (...) {
    outline_->EndUpdate();
    throw;
  }
  outline_->EndUpdate();
}

void TVxOutlineNodes::DefineProperties(tk::Filer& filer, const std::string& prefix) {
  TVxCustomOutline* outline = outline_;
  filer.DefineBinaryProperty(
      prefix + "Data",
      [outline](const tk::Binary& bytes) {
        outline->LoadRecords(
            DecodeOutlineBinary(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
      },
      [this] {
        const std::string bytes = EncodeOutlineBinary(Records());
        return tk::Binary(bytes.begin(), bytes.end());
      },
      Count() > 0);
}

// node files

std::string EncodeOutlineBinary(const std::vector<TVxOutlineNodeRecord>& roots) {
  std::string out;
  Put32(out, static_cast<std::int32_t>(roots.size()));
  EncodeNodes(out, roots);
  return out;
}

std::vector<TVxOutlineNodeRecord> DecodeOutlineBinary(std::string_view bytes, std::size_t* consumed) {
  std::size_t at = 0;
  auto get = [&]() -> std::int32_t {
    if (bytes.size() - at < 4) Damaged();
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    at += 4;
    return static_cast<std::int32_t>(v);
  };
  // Every node takes at least 24 bytes: a count beyond what is left cannot be right.
  auto count = [&]() {
    const std::int32_t n = get();
    if (n < 0 || static_cast<std::size_t>(n) > (bytes.size() - at) / 24) Damaged();
    return n;
  };
  std::vector<std::unique_ptr<Pending>> roots;
  struct Frame {
    std::vector<std::unique_ptr<Pending>>* Into;
    std::int32_t Left;
    int Depth;
  };
  std::vector<Frame> frames{{&roots, count(), 0}};
  while (!frames.empty()) {
    Frame& frame = frames.back();
    if (frame.Left == 0) {
      frames.pop_back();
      continue;
    }
    --frame.Left;
    auto node = std::make_unique<Pending>();
    const std::int32_t length = get();
    if (length < 0 || static_cast<std::size_t>(length) > bytes.size() - at) Damaged();
    node->Record.Text.assign(bytes.substr(at, static_cast<std::size_t>(length)));
    at += static_cast<std::size_t>(length);
    node->Record.ImageIndex = get();
    const std::int32_t style = get();
    // A top-level radio node would be refused half-way through building the tree.
    if (style < 0 || style > 2 || (frame.Depth == 0 && style == static_cast<int>(TVxOlNodeStyle::osRadio))) Damaged();
    node->Record.Style = static_cast<TVxOlNodeStyle>(style);
    node->Record.Checked = get() != 0;
    const std::int32_t mode = get();
    if (mode < 0 || mode > 2) Damaged();
    node->Record.Mode = static_cast<TVxOlNodeMode>(mode);
    const std::int32_t children = count();
    const int depth = frame.Depth;
    if (children > 0 && depth + 1 >= kMaxDepth) Damaged();
    frame.Into->push_back(std::move(node));
    Pending* added = frame.Into->back().get();
    if (children > 0) frames.push_back({&added->Children, children, depth + 1});
  }
  if (consumed) *consumed = at;
  return TakeAll(roots);
}

std::string EncodeOutlineText(const std::vector<TVxOutlineNodeRecord>& roots) {
  std::string out;
  EncodeTextNodes(out, roots, 0);
  return out;
}

std::vector<TVxOutlineNodeRecord> DecodeOutlineText(std::string_view bytes) {
  std::size_t at = 0;
  struct Line {
    int Level = 0;
    std::string Text;
    bool Present = false;
  } pending;
  // A line ends at CR LF, at a bare LF (a file edited here) or at a bare CR (an old Mac file); every tab,
  // wherever it stands, counts one level.
  auto readLine = [&] {
    pending = Line{0, std::string(), true};
    while (at < bytes.size()) {
      const char c = bytes[at++];
      if (c == '\r') {
        if (at < bytes.size() && bytes[at] == '\n') ++at;
        return;
      }
      if (c == '\n') return;
      if (c == '\t')
        ++pending.Level;
      else
        pending.Text.push_back(c);
    }
  };

  std::vector<std::unique_ptr<Pending>> roots;
  // The original reads with a recursive procedure (depth, parent); these frames are its calls.
  struct Frame {
    int Depth;
    Pending* Parent;
    Pending* Last;
  };
  while (true) {
    std::vector<Frame> frames{{0, nullptr, nullptr}};
    while (!frames.empty()) {
      Frame& frame = frames.back();
      if (!pending.Present) readLine();
      if (pending.Text.empty() || frame.Depth > pending.Level) {
        frames.pop_back();
      } else if (frame.Depth == pending.Level) {
        auto node = std::make_unique<Pending>();
        node->Record.Text = pending.Text;
        node->Depth = frame.Parent ? frame.Parent->Depth + 1 : 0;
        if (node->Depth >= kMaxDepth) Damaged();
        auto& into = frame.Parent ? frame.Parent->Children : roots;
        into.push_back(std::move(node));
        frame.Last = into.back().get();
        pending.Present = false;
      } else {
        frames.push_back({frame.Depth + 1, frame.Last, nullptr});
      }
    }
    // An empty line closed every level; reading goes on at the top with the next one.
    if (at >= bytes.size()) break;
    pending.Present = false;
  }
  return TakeAll(roots);
}

}  // namespace controls
