#include "controls/outline.h"

#include <QFontMetrics>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cerrno>
#include <istream>
#include <iterator>
#include <ostream>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/library_data.h"
#include "controls/misc.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tk/exception_guard.h"

namespace controls {

namespace {

constexpr int kLineCacheSize = 4096;
constexpr std::uint32_t kHoverInterval = 250;
constexpr std::int32_t kHintDelay = 100;
constexpr std::int32_t kHintLife = 3000;

const bool kRegistered =
    (tk::RegisterClass("TVxOutline", [](tk::Component* owner) { return new TVxOutline(owner); }), true);

// The dotted-line brush, loaded once for every outline.
const QImage& LineBrush() {
  static const QImage brush = [] {
    QImage image = LoadBaseBitmap("VXOLBRUSH");
    if (image.isNull()) {
      image = QImage(8, 8, QImage::Format_RGB32);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) image.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    }
    return image;
  }();
  return brush;
}

bool Meets(const tk::Rect& a, const tk::Rect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// The window the full text of a shortened node shows in, above the mouse.
class OutlineHintWindow : public QWidget {
 public:
  explicit OutlineHintWindow(QWidget* owner) : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(QToolTip::font());
  }
  std::string Text;

 protected:
  void paintEvent(QPaintEvent*) override {
    tk::Canvas canvas(this);
    const tk::Rect all = tk::Bounds(0, 0, width(), height());
    canvas.Brush = tk::Brush{tk::clInfoBk, tk::BrushStyle::Solid};
    canvas.FillRect(all);
    canvas.Brush.Color = tk::clWindowFrame;
    canvas.FrameRect(all);
    canvas.Font.SetQ(font());
    canvas.Font.SetColor(tk::clInfoText);
    canvas.Brush.Style = tk::BrushStyle::Clear;
    tk::Rect text = all;
    canvas.DrawText(Text, text, tk::DT_SINGLELINE | tk::DT_VCENTER | tk::DT_CENTER | tk::DT_NOPREFIX);
  }
};

// Suppresses OnActiveChange while a key or a press is handled, and raises it once afterwards.
class UserAction {
 public:
  UserAction(std::function<void()> begin, std::function<void()> end) : end_(std::move(end)) { begin(); }
  ~UserAction() {
    if (end_) tk::Guarded(end_);
  }
  void Keep() { end_ = nullptr; }

 private:
  std::function<void()> end_;
};

}  // namespace

TVxCustomOutline::TVxCustomOutline(tk::Component* owner, QWidget* parent)
    : TVxCustomVirtualListBox(owner, parent), hint_(new OutlineHintWindow(this)) {
  hint_->hide();
  allNodes_ = MakeNodeList(true);
  root_ = std::make_unique<TVxOutlineNodes>(this, nullptr);
  lineCache_ = std::make_unique<TVxLiteCache<TVxOutlineNode*>>(kLineCacheSize);
  setFocusPolicy(Qt::ClickFocus);
  SetBounds(Left(), Top(), 100, 100);
  SetNumItems(0);
}

TVxCustomOutline::~TVxCustomOutline() {
  DestroyComponents();  // marks the outline as being destroyed
  OnActiveChange = nullptr;
  hintFinished_ = true;
  if (hoverTrigger_ != -1 && Controller()) Controller()->TimerPool().Remove(hoverTrigger_);
  hoverTrigger_ = -1;
  root_->Clear();
  root_.reset();
  allNodes_.reset();
  lineCache_.reset();
}

std::unique_ptr<TVxSortedList> TVxCustomOutline::MakeNodeList(bool large) {
  auto list = std::make_unique<TVxSortedList>(
      keys_,
      [this](int key, void* a, void* b) {
        return CompareNodes(key, static_cast<TVxOutlineNode*>(a), static_cast<TVxOutlineNode*>(b));
      },
      large);
  list->SetCurrentKey(currentKey_);
  return list;
}

int TVxCustomOutline::CompareNodes(int key, TVxOutlineNode* node1, TVxOutlineNode* node2) {
  if (key == 0) return CompareNodeTexts(node1->Text(), node2->Text());
  if (OnCompareNodes) {
    int result = 0;
    OnCompareNodes(this, key, node1, node2, result);
    return result;
  }
  // Events are not streamed: while a form stream is read, the orders of other keys follow the texts.
  if (Designing() || Loading() || lenientCompare_) return CompareNodeTexts(node1->Text(), node2->Text());
  throw EVxException("OnCompareNodes not assigned");
}

// properties

void TVxCustomOutline::SetKeys(int keys) {
  if (keys == keys_) return;
  if (allNodes_->Count() > 0) throw EVxException("Number of keys cannot be changed while an outline contains data");
  if (keys < 1) throw EVxException("Number of keys cannot be lower than one");
  if (keys > MaxKeys)
    throw EVxException(FormatVxStr("Number of keys cannot greater than %d", {std::to_string(MaxKeys)}));
  keys_ = keys;
  if (currentKey_ >= keys_) currentKey_ = 0;
  allNodes_ = MakeNodeList(true);
  root_->list_ = MakeNodeList(false);
}

void TVxCustomOutline::SetCurrentKey(int key) {
  if (key < 0 || key >= keys_) throw EVxException("Key value out of range");
  currentKey_ = key;
  root_->SetCurrentKey(key);  // every collection below too
  allNodes_->SetCurrentKey(key);
  ClearLineCache();
  UpdateLines();
}

void TVxCustomOutline::SetShowLines(bool value) {
  if (value == showLines_) return;
  showLines_ = value;
  Invalidate();
}

void TVxCustomOutline::SetShowButtons(bool value) {
  if (value == showButtons_) return;
  showButtons_ = value;
  Invalidate();
}

void TVxCustomOutline::SetShowImages(bool value) {
  if (value == showImages_) return;
  showImages_ = value;
  Invalidate();
}

void TVxCustomOutline::SetHideSelection(bool value) {
  if (value == hideSelection_) return;
  hideSelection_ = value;
  Invalidate();
}

void TVxCustomOutline::SetImages(tk::Component* images) {
  if (images == images_) return;
  images_ = images;
  if (images) FreeNotification(images);
  Invalidate();
}

IVxImageList* TVxCustomOutline::ImageList() const { return dynamic_cast<IVxImageList*>(images_); }

void TVxCustomOutline::Notification(tk::Component* component, tk::Operation operation) {
  const bool controllerGone = operation == tk::Operation::Remove && component && component == Controller();
  TVxCustomVirtualListBox::Notification(component, operation);
  if (operation != tk::Operation::Remove) return;
  if (controllerGone) hoverTrigger_ = -1;  // it went with the controller's timer pool
  if (component == images_) {
    images_ = nullptr;
    Invalidate();
  }
}

void TVxCustomOutline::GetProperties(tk::PropertyList& list) const {
  TVxCustomVirtualListBox::GetProperties(list);
  // The list box's item properties belong to the tree here.
  static const char* const hidden[] = {
      "Columns",    "Header",     "HeaderColor.TextColor",  "HeaderColor.BackColor",  "MultiSelect",
      "NumItems",   "OwnerDraw",  "ProtectColor.TextColor", "ProtectColor.BackColor", "ScrollBars",
      "ShowHeader", "UseTabStops"};
  list.erase(std::remove_if(list.begin(), list.end(),
                            [](const tk::PropertyInfo& p) {
                              return std::find(std::begin(hidden), std::end(hidden), p.Name) != std::end(hidden);
                            }),
             list.end());
  using C = TVxCustomOutline;
  list.push_back(tk::MakeProperty<C>("Keys", &C::Keys, &C::SetKeys, tk::Value(std::int64_t{1})));
  list.push_back(tk::MakeProperty<C>("ShowLines", &C::ShowLines, &C::SetShowLines, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("ShowButtons", &C::ShowButtons, &C::SetShowButtons, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("ShowImages", &C::ShowImages, &C::SetShowImages, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("HideSelection", &C::HideSelection, &C::SetHideSelection, tk::Value(false)));
  tk::PropertyInfo images;
  images.Name = "Images";
  images.Get = [](const tk::Component& c) { return tk::Value(tk::ComponentRef{dynamic_cast<const C&>(c).Images()}); };
  images.Set = [](tk::Component& c, const tk::Value& v) {
    dynamic_cast<C&>(c).SetImages(tk::detail::Get<tk::ComponentRef>(v).Target);
  };
  list.push_back(images);
}

void TVxCustomOutline::DefineProperties(tk::Filer& filer) {
  TVxCustomVirtualListBox::DefineProperties(filer);
  root_->DefineProperties(filer, "Nodes.");
}

// tree and lines

void TVxCustomOutline::BeginUpdate() { TVxCustomVirtualListBox::BeginUpdate(); }

void TVxCustomOutline::EndUpdate() {
  TVxCustomVirtualListBox::EndUpdate();
  if (!Updating()) UpdateLines();
}

void TVxCustomOutline::UpdateLines() {
  if (Destroying() || Updating()) return;
  SetNumItems(Lines());
  Invalidate();
  UpdateActiveNode();
}

void TVxCustomOutline::UpdateActiveNode() {
  if (active_ && active_->Visible()) {
    SetItemIndex(LineOfNode(active_));
    return;
  }
  SetItemIndex(-1);
  // No active node, no change to report.
  if (!Destroying() && active_) DoActiveChange(active_, nullptr);
}

int TVxCustomOutline::Lines() const { return root_->LineCount(); }

int TVxCustomOutline::GetAbsNodes() const { return allNodes_->Count(); }

TVxOutlineNode* TVxCustomOutline::GetAbsNode(int index) const {
  return static_cast<TVxOutlineNode*>(allNodes_->GetItems(index));
}

TVxOutlineNode* TVxCustomOutline::GetNode(int line) const {
  if (line < 0 || !root_) return nullptr;
  TVxOutlineNode* found = nullptr;
  if (lineCache_->GetValue(line, found)) return found;
  const TVxOutlineNodes* nodes = root_.get();
  int rest = line;
  while (!found) {
    const TVxOutlineNodes* below = nullptr;
    for (int i = 0; i < nodes->Count(); ++i) {
      TVxOutlineNode* node = nodes->GetNodeFromIndex(i);
      const int lines = node->LineCount();
      if (rest >= lines) {
        rest -= lines;
        continue;
      }
      if (rest == 0)
        found = node;
      else
        below = &node->Children();
      --rest;
      break;
    }
    if (!below) break;
    nodes = below;
  }
  if (found) lineCache_->AddValue(line, found);
  return found;
}

int TVxCustomOutline::LineOfNode(const TVxOutlineNode* node) const {
  if (!node || node->Outline() != this || !node->Visible()) return -1;
  int line = 0;
  for (const TVxOutlineNode* n = node; n; n = n->Parent()) {
    const TVxOutlineNodes* siblings = n->Collection();
    const int index = siblings->IndexOf(n);
    for (int i = 0; i < index; ++i) line += siblings->GetNodeFromIndex(i)->LineCount();
    if (n->Parent()) ++line;  // the parent's own line
  }
  return line;
}

tk::Rect TVxCustomOutline::InClient(const TVxOutlineNode* node, const tk::Rect& inLine) const {
  const int line = LineOfNode(node);
  if (line < TopIndex() || line >= TopIndex() + Rows() || inLine.Empty()) return {};
  return inLine.Offset(0, (line - TopIndex()) * RowHeight());
}

bool TVxCustomOutline::GetIsGroup(int line) const {
  const TVxOutlineNode* node = GetNode(line);
  return node && (node->HasChildren() || (node->Mode() != TVxOlNodeMode::omPreload && !node->IsLoaded()));
}

TVxOutlineNode* TVxCustomOutline::FindNode(const std::string& text) {
  TVxOutlineNode probe(text);
  const int saved = allNodes_->CurrentKey();
  allNodes_->SetCurrentKey(0);
  TVxOutlineNode* found = nullptr;
  int index = allNodes_->IndexOfValue(&probe);
  if (index >= 0) {
    while (index > 0 && CompareNodeTexts(GetAbsNode(index - 1)->Text(), text) == 0) --index;
    found = GetAbsNode(index);
  }
  allNodes_->SetCurrentKey(saved);
  return found;
}

int TVxCustomOutline::PointToIndex(int y) const {
  if (y < 0 || y >= ClientHeight()) return -1;
  int line = TopIndex() + y / RowHeight();
  if (ClientHeight() % RowHeight() != 0) line = std::min(line, TopIndex() + Rows() - 1);
  return line;
}

void TVxCustomOutline::Clear() {
  BeginUpdate();
  try {
    root_->Clear();
    allNodes_->Clear();
    ClearLineCache();
    active_ = nullptr;
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  SetNumItems(0);
  Invalidate();
}

void TVxCustomOutline::ExpandAll() {
  BeginUpdate();
  try {
    for (int i = 0; i < root_->Count(); ++i) root_->GetNodeFromIndex(i)->Expand(true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TVxCustomOutline::CollapseAll() {
  BeginUpdate();
  try {
    for (int i = 0; i < root_->Count(); ++i) root_->GetNodeFromIndex(i)->Collapse(true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  SetTopIndex(0);
}

// active node

void TVxCustomOutline::SetActiveNode(TVxOutlineNode* node) {
  if (node == active_) return;
  TVxOutlineNode* old = active_;
  if (old) old->Invalidate();
  DoActiveChange(old, node);
  if (!node) return;
  node->SetVisible(true);
  UpdateWindow();
  SetItemIndex(LineOfNode(node));
  node->Invalidate();
}

void TVxCustomOutline::DoActiveChange(TVxOutlineNode* oldNode, TVxOutlineNode* newNode) {
  if (userAction_ == 0 && OnActiveChange) OnActiveChange(this, oldNode, newNode);
  active_ = newNode;
}

void TVxCustomOutline::FollowActiveNode() {
  if (active_ && active_->Visible()) SetItemIndex(LineOfNode(active_));
}

void TVxCustomOutline::BeginUserAction() {
  if (userAction_++ == 0) activeBeforeAction_ = active_;
}

void TVxCustomOutline::EndUserAction() {
  if (userAction_ == 0 || --userAction_ > 0) return;
  if (active_ != activeBeforeAction_ && OnActiveChange) OnActiveChange(this, activeBeforeAction_, active_);
}

bool TVxCustomOutline::DoOnIsSelected(std::int32_t index) {
  return !Designing() && (hasFocus() || !hideSelection_) && index == ItemIndex();
}

void TVxCustomOutline::DoOnSelect(std::int32_t index, bool selected) {
  if (index == -1 || !selected) return;
  TVxOutlineNode* node = GetNode(index);
  if (node != active_) DoActiveChange(active_, node);
}

// events

bool TVxCustomOutline::DoDrawCheck(tk::Canvas& canvas, TVxOutlineNode* node, const tk::Rect& rect, TVxOlNodeStyle style,
                                   bool checked) {
  bool defaultDrawing = true;
  if (OnDrawCheck) OnDrawCheck(this, canvas, node, rect, style, checked, defaultDrawing);
  return !defaultDrawing;
}

bool TVxCustomOutline::DoDrawText(tk::Canvas& canvas, TVxOutlineNode* node, const std::string& text,
                                  const tk::Rect& rect) {
  bool defaultDrawing = true;
  if (OnDrawText) OnDrawText(this, canvas, node, text, rect, defaultDrawing);
  return !defaultDrawing;
}

void TVxCustomOutline::DoDynamicLoad(TVxOutlineNode* node) {
  if (OnDynamicLoad) OnDynamicLoad(this, node);
}

void TVxCustomOutline::DoNodeDestroy(TVxOutlineNode* node) {
  if (OnNodeDestroy) OnNodeDestroy(this, node);
}

void TVxCustomOutline::DoExpandCollapse(TVxOutlineNode* node, bool expanded) {
  if (expanded && OnExpand) OnExpand(this, node);
  if (!expanded && OnCollapse) OnCollapse(this, node);
}

void TVxCustomOutline::DoNodeClick(TVxOutlineNode* node) {
  if (OnNodeClick) OnNodeClick(this, node);
}

// mouse and keys

void TVxCustomOutline::SimulatedClick() {
  programmaticClick_ = true;
  try {
    TVxCustomVirtualListBox::SimulatedClick();
  } catch (...) {
    programmaticClick_ = false;
    throw;
  }
  programmaticClick_ = false;
}

void TVxCustomOutline::Click() {
  if (programmaticClick_ || NumItems() == 0) {
    TVxCustomVirtualListBox::Click();
    return;
  }
  const int line = PointToIndex(clickPoint_.Y);
  if (TVxOutlineNode* node = GetNode(line)) {
    if (GetIsGroup(line) && node->ButtonRect().Contains(clickPoint_)) {
      node->SetExpanded(!node->Expanded());
      return;
    }
    if (node->CheckRect().Contains(clickPoint_)) {
      if (node->Style() == TVxOlNodeStyle::osRadio) {
        node->SetChecked(true);
        return;
      }
      if (node->Style() == TVxOlNodeStyle::osCheck) {
        node->SetChecked(!node->Checked());
        return;
      }
    }
  }
  TVxCustomVirtualListBox::Click();
}

void TVxCustomOutline::DblClick() {
  if (active_) active_->SetExpanded(!active_->Expanded());
  TVxCustomVirtualListBox::DblClick();
}

void TVxCustomOutline::KeyPress(char& key) {
  const int line = ItemIndex();
  if (line != -1 && (key == '\r' || key == ' ' || key == '+' || key == '-')) {
    if (TVxOutlineNode* node = GetNode(line)) {
      if (GetIsGroup(line)) {
        if (key == '+')
          node->SetExpanded(true);
        else if (key == '-')
          node->SetExpanded(false);
        else
          node->SetExpanded(!node->Expanded());
        key = 0;
        SetItemIndex(line);
        return;
      }
      if (key == ' ' && node->Style() == TVxOlNodeStyle::osRadio) {
        node->SetChecked(true);
        key = 0;
        return;
      }
      if (key == ' ' && node->Style() == TVxOlNodeStyle::osCheck) {
        node->SetChecked(!node->Checked());
        key = 0;
        return;
      }
    }
  }
  TVxCustomVirtualListBox::KeyPress(key);
}

void TVxCustomOutline::WMKeyDown(std::uint16_t key, tk::ShiftState shift) {
  UserAction action([this] { BeginUserAction(); }, [this] { EndUserAction(); });
  TVxCustomVirtualListBox::WMKeyDown(key, shift);
}

void TVxCustomOutline::WMLButtonDown(tk::Point point, tk::ShiftState shift) {
  UserAction action([this] { BeginUserAction(); }, [this] { EndUserAction(); });
  const int line = PointToIndex(point.Y);
  TVxOutlineNode* node = GetNode(line);
  if (node && GetIsGroup(line) && node->ButtonRect().Contains(point)) {
    // Only the toolkit's own press handling: the button acts on the click, the selection stays.
    protectedClick_ = true;
    try {
      TVxCustomVirtualListBox::WMLButtonDown(point, shift);
    } catch (...) {
      protectedClick_ = false;
      throw;
    }
    protectedClick_ = false;
  } else {
    TVxCustomVirtualListBox::WMLButtonDown(point, shift);
  }
  // A press that goes on choosing lines as the mouse moves reports its change when released.
  if (Tracking()) {
    action.Keep();
    pressOpen_ = true;
  }
}

void TVxCustomOutline::WMLButtonUp(tk::Point point, tk::ShiftState shift) {
  clickPoint_ = point;
  const bool open = pressOpen_;
  pressOpen_ = false;
  UserAction action([] {},
                    [this, open] {
                      if (open) EndUserAction();
                    });
  TVxCustomVirtualListBox::WMLButtonUp(point, shift);
}

void TVxCustomOutline::MouseMove(tk::ShiftState shift, int x, int y) {
  if (hoverTrigger_ != -1 && Controller()) Controller()->TimerPool().ResetElapsedTime(hoverTrigger_);
  if (x != lastMouse_.X && y != lastMouse_.Y) {
    HideHint(true);
    hintFinished_ = false;
  }
  lastMouse_ = {x, y};
  TVxCustomVirtualListBox::MouseMove(shift, x, y);
}

void TVxCustomOutline::Dispatch(tk::Message& message) {
  TVxCustomVirtualListBox::Dispatch(message);
  if (message.Msg == tk::WM_SETFOCUS || message.Msg == tk::WM_KILLFOCUS) Invalidate();
}

// hover hint

void TVxCustomOutline::Loaded() {
  TVxCustomVirtualListBox::Loaded();
  AddHoverTrigger();
}

void TVxCustomOutline::CreateWnd() {
  TVxCustomVirtualListBox::CreateWnd();
  // An outline made at run time has no loading to add its trigger: its window does.
  AddHoverTrigger();
}

void TVxCustomOutline::AddHoverTrigger() {
  if (hoverTrigger_ != -1 || !Controller() || Designing()) return;
  hoverTrigger_ = Controller()->TimerPool().Add(
      [this](tk::Component*, std::int32_t handle, std::uint32_t, std::int32_t) { HoverTick(handle); }, kHoverInterval);
  hintFinished_ = true;
}

QWidget* TVxCustomOutline::HintWindow() const { return hint_; }

bool TVxCustomOutline::HintShowing() const { return hint_->isVisible(); }

void TVxCustomOutline::HideHint(bool updateWindow) {
  if (!hint_->isVisible()) return;
  hint_->hide();
  if (updateWindow) UpdateWindow();
}

void TVxCustomOutline::HoverTick(std::int32_t handle) {
  if (hintFinished_ || !HandleAllocated() || !parentWidget() || !parentWidget()->isVisible() || Updating() ||
      Destroying() || !Controller())
    return;
  // Both delays count from the mouse's last move. The elapsed time the pool hands its triggers adds the time
  // since the last firing to a value it refreshes only when asked, which is stale after a finished hint: the
  // next hint would go on the tick it came.
  const std::int32_t resting = Controller()->TimerPool().GetElapsedTriggerTime(handle);
  if (resting > kHintDelay && !HintShowing()) {
    const int line = PointToIndex(lastMouse_.Y);
    const TVxOutlineNode* node = GetNode(line);
    if (node && node->Truncated() && node->TextRect().Contains(lastMouse_)) {
      hintText_ = node->Text();
      QFontMetrics metrics(hint_->font());
      const int w = metrics.horizontalAdvance(platform::ToQString(hintText_));
      const int h = metrics.height();
      const QPoint at = mapToGlobal(ClientToWidget(lastMouse_));
      static_cast<OutlineHintWindow*>(hint_)->Text = hintText_;
      const tk::Rect r{at.x() - w / 2 - 4, at.y() - h - 10, at.x() + w / 2 + 4, at.y() - 8};
      hint_->setGeometry(r.ToQRect());
      hint_->show();
      hint_->update();
    }
  }
  if (resting > kHintLife && HintShowing()) {
    HideHint(true);
    hintFinished_ = true;
  }
}

// painting

void TVxCustomOutline::Paint(tk::Canvas& canvas) {
  if (Updating()) return;
  HideHint(false);
  const int h = RowHeight();
  const std::int64_t left = std::max<std::int64_t>(0, static_cast<std::int64_t>(NumItems()) - TopIndex());
  const int shown = static_cast<int>(std::min<std::int64_t>(Rows(), left));
  for (int r = 0; r < shown; ++r) {
    const tk::Rect row{0, r * h, ClientWidth(), (r + 1) * h};
    if (Meets(row, ClipBox())) PaintLine(canvas, TopIndex() + r, row);
  }
  canvas.Brush = tk::Brush{Color(), tk::BrushStyle::Solid};
  canvas.FillRect({0, shown * h, ClientWidth(), ClientHeight()});
  if (NumItems() == 0 && hasFocus()) {
    canvas.Pen.Color = Font().Color();
    canvas.DrawFocusRect({0, 0, ClientWidth(), h});
  }
}

void TVxCustomOutline::DrawLineBars(tk::Canvas& canvas, const TVxOutlineNode* node, int line, int c) {
  canvas.Flush();
  const QImage& brush = LineBrush();
  const int h = lineImage_.height();
  const int w = lineImage_.width();
  // The pattern runs on from line to line, so dots line up however the lines are scrolled.
  const int origin = static_cast<int>((static_cast<std::int64_t>(line) * h) & 7);
  auto dot = [&](int x, int y) {
    if (x >= 0 && x < w && y >= 0 && y < h) lineImage_.setPixel(x, y, brush.pixel(x & 7, (y + origin) & 7));
  };
  auto bar = [&](int x, int top, int bottom) {
    for (int y = top; y < bottom; ++y) dot(x, y);
  };
  const int middle = h / 2 - 1;
  int level = node->Level() - 1;
  for (const TVxOutlineNode* a = node->Parent(); a; a = a->Parent(), --level)
    if (!a->IsLastSiebling()) bar(level * Indent + 2 + c - 1, 0, h);
  const int x = node->Level() * Indent + 2 + c - 1;
  if (node->IsLastSiebling()) {
    if (line != 0) bar(x, 0, middle + 1);
  } else {
    bar(x, line == 0 ? middle : 0, h);
  }
  for (int i = 0; i < 11; ++i) dot(x + i, middle);
}

void TVxCustomOutline::PaintLine(tk::Canvas& canvas, int line, const tk::Rect& row) {
  const int h = RowHeight();
  const int w = ClientWidth();
  if (lineImage_.size() != QSize(w, h)) lineImage_ = QImage(w, h, QImage::Format_RGB32);
  tk::Canvas lc(&lineImage_);
  lc.Font = Font();
  lc.Brush = tk::Brush{Color(), tk::BrushStyle::Solid};
  lc.FillRect({0, 0, w, h});
  TVxOutlineNode* node = GetNode(line);
  if (node) {
    tk::TColor fg = Font().Color(), bg = Color();
    if (DoOnIsSelected(line)) {
      fg = SelectColor().TextColor();
      bg = SelectColor().BackColor();
    } else {
      DoOnGetItemColor(line, fg, bg);
    }
    const int c = (h - 4) / 2;
    const int level = node->Level();
    if (showLines_) DrawLineBars(lc, node, line, c);
    int indent = level * Indent;
    node->buttonRect_ = {};
    node->checkRect_ = {};

    if (showButtons_ && GetIsGroup(line)) {
      const int x = level * Indent + 2 + c, y = 2 + c;
      const tk::Rect box{x - 5, y - 5, x + 4, y + 4};
      lc.Pen.Color = tk::clBtnFace;
      lc.Brush = tk::Brush{Color(), tk::BrushStyle::Solid};
      lc.Rectangle(box);
      node->buttonRect_ = box;
      lc.Pen.Color = tk::clBtnText;
      lc.MoveTo(x - 3, y - 1);
      lc.LineTo(x + 2, y - 1);
      if (!node->Expanded()) {
        lc.MoveTo(x - 1, y - 3);
        lc.LineTo(x - 1, y + 2);
      }
    }
    if (showButtons_ || showLines_) indent += Indent;

    if (node->Style() != TVxOlNodeStyle::osPlain) {
      const int x = indent + c, y = c;
      const tk::Rect box{x - 5, y - 5, x + 7, y + 7};
      node->checkRect_ = box;
      if (!DoDrawCheck(lc, node, box, node->Style(), node->Checked())) {
        if (node->Style() == TVxOlNodeStyle::osRadio) {
          lc.Flush();
          QPainter p(&lineImage_);
          p.setPen(Qt::black);
          p.setBrush(tk::ToQColor(Color()));
          p.drawEllipse(QRect(box.Left, box.Top, box.Width() - 1, box.Height() - 1));
          if (node->Checked()) {
            p.setBrush(Qt::black);
            p.drawEllipse(QRect(x - 3, y - 3, 7, 7));
          }
        } else {
          lc.Pen.Color = tk::clBlack;
          lc.Brush = tk::Brush{Color(), tk::BrushStyle::Solid};
          lc.Rectangle(box);
          if (node->Checked()) {
            lc.MoveTo(x - 5, y - 5);
            lc.LineTo(x + 7, y + 7);
            lc.MoveTo(x + 6, y - 5);
            lc.LineTo(x - 6, y + 7);
          }
        }
      }
      indent += Indent;
    }

    IVxImageList* images = ImageList();
    if (showImages_ && images && node->ImageIndex() != -1) {
      images->DrawImage(lc, indent, (h - images->ImageHeight()) / 2, node->ImageIndex(), true);
      indent += images->ImageWidth() + 2;
    }

    const std::string full = node->Text().empty() ? std::string("  ") : node->Text() + " ";
    const tk::Rect textRect{indent, 0, w, h};
    lc.Font.SetColor(fg);
    const std::string text = GetDisplayString(lc, full, 1, std::max(0, w - indent));
    node->truncated_ = text != full;
    lc.Brush = tk::Brush{bg, tk::BrushStyle::Solid};
    if (!DoDrawText(lc, node, text, textRect)) {
      tk::Rect r = textRect;
      lc.DrawText(text, r, tk::DT_SINGLELINE | tk::DT_VCENTER | tk::DT_NOPREFIX);
    }
    if (line == FocusedIndex() && hasFocus()) {
      tk::Rect extent = textRect;
      lc.DrawText(text, extent, tk::DT_CALCRECT | tk::DT_SINGLELINE | tk::DT_NOPREFIX);
      extent.Top += 2;
      lc.Brush.Style = tk::BrushStyle::Clear;
      lc.Pen.Color = fg;
      lc.DrawFocusRect(extent);
    }
    node->textRect_ = textRect;
  }
  lc.Flush();
  canvas.Draw(row.Left, row.Top, lineImage_);
}

// files

void TVxCustomOutline::LoadRecords(const std::vector<TVxOutlineNodeRecord>& records) {
  // The readers have checked every field; should the tree still refuse a node (a comparison event, say), the
  // old nodes go back rather than leaving half a file.
  const std::vector<TVxOutlineNodeRecord> old = root_->Records();
  Clear();
  try {
    root_->AddRecords(records);
  } catch (...) {
    Clear();
    try {
      root_->AddRecords(old);
    } catch (...) {
      Clear();
    }
    throw;
  }
}

void TVxCustomOutline::SaveToStream(std::ostream& stream) const {
  const std::string bytes = EncodeOutlineBinary(root_->Records());
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw tk::EInOutError("Stream write error", 0);
}

void TVxCustomOutline::LoadFromStream(std::istream& stream) {
  const std::istream::pos_type start = stream.tellg();
  const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
  std::size_t used = 0;
  std::vector<TVxOutlineNodeRecord> records = DecodeOutlineBinary(bytes, &used);
  // Leave the stream just after the nodes, for whatever follows them.
  if (start != std::istream::pos_type(-1)) {
    stream.clear();
    stream.seekg(start + static_cast<std::streamoff>(used));
  }
  LoadRecords(records);
}

namespace {

void WriteFile(const std::string& fileName, const std::string& bytes) {
  platform::AtomicFileWriter writer(fileName);
  writer.Write(bytes);
  if (!writer.Commit()) throw tk::EInOutError(writer.Error(), writer.ErrorNumber());
}

std::string ReadFile(const std::string& fileName) {
  std::string bytes;
  errno = 0;
  if (!platform::ReadWholeFile(platform::ResolveFileCase(fileName), bytes))
    throw tk::EInOutError("Cannot open file \"" + fileName + "\"", errno);
  return bytes;
}

}  // namespace

void TVxCustomOutline::SaveToFile(const std::string& fileName) const {
  WriteFile(fileName, EncodeOutlineBinary(root_->Records()));
}

void TVxCustomOutline::LoadFromFile(const std::string& fileName) {
  LoadRecords(DecodeOutlineBinary(ReadFile(fileName)));
}

void TVxCustomOutline::SaveAsText(const std::string& fileName) const {
  WriteFile(fileName, EncodeOutlineText(root_->Records()));
}

void TVxCustomOutline::LoadFromText(const std::string& fileName) { LoadRecords(DecodeOutlineText(ReadFile(fileName))); }

}  // namespace controls
