#include "project/system_map_tree.h"

#include <algorithm>
#include <cstdio>

namespace project {

namespace {

const std::string kEmpty;

std::string Format(const char* format, int value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

void AddChildren(SystemMapTree::Node* parent, const std::vector<std::string>& names) {
  for (const std::string& name : names) parent->AddChild(name);
}

std::vector<std::string> Numbered(const char* format, int count) {
  std::vector<std::string> names;
  names.reserve(count);
  for (int i = 0; i < count; ++i) names.push_back(Format(format, i));
  return names;
}

std::string CutToSlotName(const std::string& text) { return text.substr(0, std::min<size_t>(text.size(), 11)); }

}  // namespace

std::vector<std::string> DefaultVariableNames() {
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) names.push_back(Format("Variable #%d", i));
  names.push_back("Variable# 60 / IR-Variable");
  names.push_back("Variable# 61 / Beep-Variable");
  names.push_back("Variable# 62 / Work-Variable");
  names.push_back("Variable# 63 / Screen#");
  for (int i = 0; i < 16; ++i) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Variable# %d / RCS Temp %c", 64 + i, 'A' + i);
    names.push_back(buffer);
  }
  for (int i = 80; i < 128; ++i) names.push_back(Format("Variable #%d", i));
  return names;
}

std::vector<std::string> DefaultTouchObjectNames() {
  std::vector<std::string> names{"Touch Anywhere Button #0"};
  for (int i = 1; i < 256; ++i) names.push_back(Format("Touch Object #%d", i));
  return names;
}

std::vector<std::string> DefaultIconNames() {
  std::vector<std::string> names{"Screen# 0 Bitmap"};
  for (int i = 1; i < IconCount; ++i) names.push_back(Format("Icon #%d", i));
  return names;
}

SystemMapTree::Node* SystemMapTree::Node::Child(int row) const {
  return row >= 0 && row < ChildCount() ? children_[row].get() : nullptr;
}

SystemMapTree::Node* SystemMapTree::Node::AddChild(std::string text) {
  children_.push_back(std::make_unique<Node>(std::move(text)));
  children_.back()->parent_ = this;
  return children_.back().get();
}

SystemMapTree::SystemMapTree(std::unique_ptr<Node> root) : root_(std::move(root)) {}

SystemMapTree::SystemMapTree(SystemMapTree&& other) noexcept : root_(std::move(other.root_)) { other.Invalidate(); }

SystemMapTree& SystemMapTree::operator=(SystemMapTree&& other) noexcept {
  if (this != &other) {
    root_ = std::move(other.root_);
    Invalidate();
    other.Invalidate();
  }
  return *this;
}

SystemMapTree SystemMapTree::Default() {
  auto root = std::make_unique<Node>("Marvik");
  Node* local = root->AddChild("Local");
  AddChildren(local->AddChild("Variables"), DefaultVariableNames());
  AddChildren(local->AddChild("Timers"), Numbered("Timer #%d", 64));
  AddChildren(local->AddChild("Infra-Red"), Numbered("IR #%d", 1024));
  Node* x10 = local->AddChild("X-10");
  for (int house = 0; house < 16; ++house) {
    for (int unit = 1; unit <= 16; ++unit) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "X-10 House %c / Unit %d", 'A' + house, unit);
      x10->AddChild(buffer);
    }
  }
  AddChildren(local->AddChild("Ascii Messages"), Numbered("Ascii Message %d", 128));
  for (int slot = 1; slot <= ModuleSlotCount; ++slot) root->AddChild(Format("Module #%d", slot));
  return SystemMapTree(std::move(root));
}

void SystemMapTree::Assign(SystemMapTree&& other) {
  if (observer_) observer_->BeginReset();
  root_ = std::move(other.root_);
  other.Invalidate();
  Invalidate();
  MarkSaved();
  if (observer_) observer_->EndReset();
}

void SystemMapTree::EnsureCache() const {
  if (cacheValid_) return;
  order_.clear();
  if (root_) {
    // Iterative walk: a hand-edited file may nest deeper than the stack would like.
    std::vector<Node*> stack{root_.get()};
    root_->level_ = 0;
    root_->row_ = 0;
    while (!stack.empty()) {
      Node* node = stack.back();
      stack.pop_back();
      node->position_ = static_cast<int>(order_.size());
      order_.push_back(node);
      for (int row = node->ChildCount() - 1; row >= 0; --row) {
        Node* child = node->children_[row].get();
        child->level_ = node->level_ + 1;
        child->row_ = row;
        stack.push_back(child);
      }
    }
  }
  cacheValid_ = true;
}

int SystemMapTree::Count() const {
  EnsureCache();
  return static_cast<int>(order_.size());
}

SystemMapTree::Node* SystemMapTree::NodeAt(int position) const {
  EnsureCache();
  return position >= 0 && position < static_cast<int>(order_.size()) ? order_[position] : nullptr;
}

int SystemMapTree::PositionOf(const Node* node) const {
  EnsureCache();
  return node ? node->position_ : -1;
}

int SystemMapTree::LevelOf(const Node* node) const {
  EnsureCache();
  return node ? node->level_ : -1;
}

int SystemMapTree::RowOf(const Node* node) const {
  EnsureCache();
  return node ? node->row_ : -1;
}

int SystemMapTree::LevelAt(int position) const {
  Node* node = NodeAt(position);
  return node ? node->level_ : -1;
}

const std::string& SystemMapTree::TextAt(int position) const {
  Node* node = NodeAt(position);
  return node ? node->text_ : kEmpty;
}

int SystemMapTree::LastLocalIndex() const {
  return root_ && root_->text_ == "Marvik" ? MarvikLastLocalIndex : TessaroLastLocalIndex;
}

bool SystemMapTree::IsTouchController() const { return root_ && root_->text_ == "Tessaro"; }

bool SystemMapTree::IsModuleSlot(int position) const { return position > LastLocalIndex() && LevelAt(position) == 1; }

std::unique_ptr<SystemMapTree::Node> SystemMapTree::MakeSlotNode(const std::string& text,
                                                                 const std::vector<std::string>& points) const {
  auto node = std::make_unique<Node>(text);
  AddChildren(node.get(), points);
  return node;
}

void SystemMapTree::ReplaceChild(Node* parent, int row, std::unique_ptr<Node> replacement) {
  // The old node leaves and a new one takes its place, so a view shows the new slot collapsed.
  if (observer_) observer_->BeginRemoveChildren(parent, row, row);
  auto& slot = parent->children_[row];
  std::unique_ptr<Node> old = std::move(slot);
  parent->children_.erase(parent->children_.begin() + row);
  Invalidate();
  if (observer_) observer_->EndRemoveChildren();
  old.reset();

  if (observer_) observer_->BeginInsertChildren(parent, row, row);
  replacement->parent_ = parent;
  parent->children_.insert(parent->children_.begin() + row, std::move(replacement));
  Invalidate();
  if (observer_) observer_->EndInsertChildren();
}

bool SystemMapTree::AddModule(int position, ModuleType type) {
  if (!IsModuleSlot(position)) return false;
  Node* slot = NodeAt(position);
  std::string text = CutToSlotName(slot->text_) + InfoOf(type).Suffix;
  ReplaceChild(slot->parent_, RowOf(slot), MakeSlotNode(text, ModulePointNames(type)));
  return true;
}

bool SystemMapTree::RemoveModule(int position) {
  if (!IsModuleSlot(position)) return false;
  Node* slot = NodeAt(position);
  ReplaceChild(slot->parent_, RowOf(slot), MakeSlotNode(CutToSlotName(slot->text_), {}));
  return true;
}

SystemMapTree::ModelChange SystemMapTree::ChangeToTessaro() {
  if (!root_ || root_->text_ != "Marvik") return ModelChange::Unchanged;
  root_->text_ = "Tessaro";
  if (observer_) observer_->TextChanged(root_.get());
  Node* local = root_->Child(0);
  if (!local) return ModelChange::Changed;
  int first = local->ChildCount();
  if (observer_) observer_->BeginInsertChildren(local, first, first + 1);
  AddChildren(local->AddChild("Touch Objects"), DefaultTouchObjectNames());
  AddChildren(local->AddChild("Icons"), DefaultIconNames());
  Invalidate();
  if (observer_) observer_->EndInsertChildren();
  return ModelChange::Changed;
}

SystemMapTree::ModelChange SystemMapTree::ChangeToMarvik() const {
  return IsTouchController() ? ModelChange::Refused : ModelChange::Unchanged;
}

bool SystemMapTree::CanEdit(int position) const {
  switch (position) {
    case 0:
    case 1:
    case VariablesHeader:
    case TimersHeader:
    case InfraRedHeader:
    case X10Header:
    case AsciiMessagesHeader:
      return false;
    default:
      break;
  }
  if (position == TouchObjectsHeader && IsTouchController()) return false;
  return LevelAt(position) >= 2;
}

std::string SystemMapTree::CleanName(std::string_view text) {
  std::string name(text);
  for (char& c : name)
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = '-';
  return name;
}

bool SystemMapTree::Rename(int position, std::string_view text) {
  if (!CanEdit(position)) return false;
  Node* node = NodeAt(position);
  node->text_ = CleanName(text);
  if (observer_) observer_->TextChanged(node);
  return true;
}

bool SystemMapTree::SetText(int position, std::string_view text) {
  Node* node = NodeAt(position);
  if (!node) return false;
  node->text_ = std::string(text);
  if (observer_) observer_->TextChanged(node);
  return true;
}

std::string SystemMapTree::HintAt(int position) const {
  std::string hint;
  int level = LevelAt(position);
  if (level < 0) return hint;
  bool afterLocal = position > LastLocalIndex();
  if (level == 1 && afterLocal) hint = "Right Click for Module List";
  if (position >= FirstX10Unit && position <= LastX10Unit) {
    char buffer[64];
    int offset = position - FirstX10Unit;
    std::snprintf(buffer, sizeof buffer, "X10 House %c, Unit %d", 'A' + offset / 16, offset % 16 + 1);
    hint = buffer;
  }
  if (level == 2 && afterLocal) hint = "Left Click to Select, then Hold Left Button down to begin Edit";
  return hint;
}

std::string SystemMapTree::ToText(char indent) const {
  EnsureCache();
  std::string text;
  text.reserve(order_.size() * 24);
  for (const Node* node : order_) {
    text.append(node->level_, indent);
    text += node->text_;
    text += "\r\n";
  }
  return text;
}

TreeParseResult SystemMapTree::Parse(std::string_view text) {
  TreeParseResult result;
  auto fail = [&](int line, std::string error) {
    result.ErrorLine = line;
    result.Error = std::move(error);
    return std::move(result);
  };

  std::unique_ptr<Node> root;
  Node* previous = nullptr;
  int previousLevel = 0;
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    int level = 0;
    while (level < static_cast<int>(line.size()) && (line[level] == '\t' || line[level] == ' ')) ++level;
    std::string nodeText(line.substr(level));

    if (!root) {
      if (level != 0) return fail(lineNumber, "the first line must not be indented");
      root = std::make_unique<Node>(std::move(nodeText));
      previous = root.get();
      previousLevel = 0;
      continue;
    }
    if (level == 0) return fail(lineNumber, "a second top-level line");
    if (level > previousLevel + 1) return fail(lineNumber, "indented more than one level below the line before");
    // The parent is the ancestor of the previous line one level up from the new line.
    Node* parent = previous;
    for (int l = previousLevel; l >= level; --l) parent = parent->parent_;
    previous = parent->AddChild(std::move(nodeText));
    previousLevel = level;
  }
  if (!root) return fail(1, "the file is empty");
  result.Tree.emplace(std::move(root));
  return result;
}

}  // namespace project
