#include "controls/notebook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/library_data.h"
#include "controls/misc.h"
#include "controls/rotated_label.h"
#include "platform/text.h"
#include "tk/exception_guard.h"
#include "tk/filer.h"
#include "tk/key_mapper.h"
#include "tk/virtual_keys.h"

namespace controls {

namespace {

constexpr int STabPagesEditor = 30323;
constexpr int SPage = 30328;
constexpr int SNoNotebookPages = 30333;

const char* const kSideNames[] = {"toTop", "toRight", "toBottom", "toLeft"};

bool SideTabs(TVxTabOrientation side) {
  return side == TVxTabOrientation::toRight || side == TVxTabOrientation::toLeft;
}

void RegisterNotebookClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto page = [](tk::Component* owner) -> tk::Component* { return new TVxTabPage(owner); };
    if (!tk::IsClassRegistered("TVxTabPage")) tk::RegisterClass("TVxTabPage", page);
    // The name pages had in older forms.
    if (!tk::IsClassRegistered("TVxPageContainer")) tk::RegisterClass("TVxPageContainer", page);
  });
}

const bool kNotebookRegistered =
    (tk::RegisterClass("TVxNotebook", [](tk::Component* owner) { return new TVxNotebook(owner); }), true);

// The keys the command tables bind, as virtual keys.

// Alt and a letter or digit anywhere in the notebook's window is offered to the notebook as an accelerator.
class AcceleratorFilter : public QObject {
 public:
  explicit AcceleratorFilter(TVxNotebook* notebook) : notebook_(notebook) {
    QCoreApplication::instance()->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) != Qt::AltModifier) return false;
    int k = key->key();
    if (!((k >= Qt::Key_0 && k <= Qt::Key_9) || (k >= Qt::Key_A && k <= Qt::Key_Z))) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (notebook_->Designing() || !notebook_->isVisible() || widget->window() != notebook_->window()) return false;
    bool handled = false;
    tk::Guarded([&] { handled = tk::SendMessage(*notebook_, CM_DIALOGCHAR, static_cast<std::uintptr_t>(k)) != 0; });
    return handled;
  }

 private:
  TVxNotebook* notebook_;
};

// Clears a flag however the scope ends.
struct FlagGuard {
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  bool& flag_;
};

bool CanTakeFocus(const QWidget* w) { return w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus; }

}  // namespace

// page

const VxClass TVxTabPage::Class{"TVxTabPage", &TVxCollectibleControl::Class};

TVxTabPage::TVxTabPage(tk::Component* owner, const VxClass& cls)
    : TVxCollectibleControl(owner, cls), notebook_(dynamic_cast<TVxNotebook*>(owner)) {
  // One page shows at a time: a new page waits, hidden, until it is activated.
  hide();
  setFocusPolicy(Qt::NoFocus);
  if (notebook_) ApplyParentFont(notebook_->Font());
  if (Designing() && owner && !owner->Loading()) SetName(GenerateName());
}

TVxTabPage::~TVxTabPage() {
  if (notebook_ && !notebook_->destroying_) notebook_->Invalidate();
}

void TVxTabPage::InvalidateNotebook() {
  if (notebook_) notebook_->Invalidate();
}

void TVxTabPage::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  InvalidateNotebook();
  if (!Loading()) ItemChanged();
}

void TVxTabPage::SetEnabled(bool enabled) {
  setEnabled(enabled);
  InvalidateNotebook();
}

void TVxTabPage::SetPageVisible(bool visible) {
  if (visible == pageVisible_) return;
  pageVisible_ = visible;
  InvalidateNotebook();
}

void TVxTabPage::SetTabColor(tk::TColor color) {
  if (color == tabColor_) return;
  tabColor_ = color;
  if (notebook_) notebook_->update(tabRect_.ToQRect());
}

void TVxTabPage::SetTextColor(tk::TColor color) {
  if (color == textColor_) return;
  textColor_ = color;
  if (notebook_) notebook_->update(tabRect_.ToQRect());
}

void TVxTabPage::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value && notebook_) ApplyParentFont(notebook_->Font());
}

void TVxTabPage::ApplyParentFont(const tk::Font& font) {
  if (!parentFont_) return;
  FlagGuard applying(applyingParentFont_);
  SetFont(font);
}

void TVxTabPage::SetHint(const std::string& hint) {
  hint_ = hint;
  setToolTip(platform::ToQString(hint));
}

std::string TVxTabPage::GetDisplayText() const { return ClassName() + ": " + (caption_.empty() ? Name() : caption_); }

std::string TVxTabPage::GetBaseName() const { return GetVxStr(SPage); }

void TVxTabPage::Dispatch(tk::Message& message) {
  if (message.Msg == tk::CM_FONTCHANGED) {
    if (!applyingParentFont_) parentFont_ = false;
    TVxCollectibleControl::Dispatch(message);
    if (notebook_ && !Loading() && notebook_->HandleAllocated() && SideTabs(notebook_->TabOrientation()) &&
        !notebook_->checkingFonts_ && !IsTrueTypeFont(Font())) {
      FlagGuard renaming(notebook_->checkingFonts_);
      tk::Font font = Font();
      font.SetName("Arial");
      SetFont(font);
      InvalidateNotebook();
      throw EInvalidTabFont();
    }
    InvalidateNotebook();
    return;
  }
  TVxCollectibleControl::Dispatch(message);
}

void TVxTabPage::Paint(tk::Canvas& canvas) {
  canvas.Brush.Color = notebook_ ? notebook_->Color() : Color();
  canvas.FillRect(ClientRect());
}

void TVxTabPage::mousePressEvent(QMouseEvent* event) {
  if (Designing()) return TVxCollectibleControl::mousePressEvent(event);
  event->ignore();
}

void TVxTabPage::mouseReleaseEvent(QMouseEvent* event) {
  if (Designing()) return TVxCollectibleControl::mouseReleaseEvent(event);
  event->ignore();
}

void TVxTabPage::mouseDoubleClickEvent(QMouseEvent* event) {
  if (Designing()) return TVxCollectibleControl::mouseDoubleClickEvent(event);
  event->ignore();
}

void TVxTabPage::mouseMoveEvent(QMouseEvent* event) {
  if (Designing()) return TVxCollectibleControl::mouseMoveEvent(event);
  event->ignore();
}

void TVxTabPage::GetProperties(tk::PropertyList& list) const {
  TVxCollectibleControl::GetProperties(list);
  // The notebook places its pages and shows one at a time: their bounds and visibility are its own.
  std::erase_if(list, [](const tk::PropertyInfo& p) {
    return p.Name == "Left" || p.Name == "Top" || p.Name == "Width" || p.Name == "Height" || p.Name == "Visible";
  });
  using P = TVxTabPage;
  list.push_back(tk::MakeProperty<P>("Caption", &P::Caption, &P::SetCaption));
  list.push_back(tk::MakeProperty<P>("Enabled", &P::Enabled, &P::SetEnabled, tk::Value(true)));
  list.push_back(tk::MakeProperty<P>("HelpContext", &P::HelpContext, &P::SetHelpContext, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<P>("Hint", &P::Hint, &P::SetHint, tk::Value(std::string())));
  list.push_back(tk::MakeProperty<P>("PageVisible", &P::PageVisible, &P::SetPageVisible, tk::Value(true)));
  list.push_back(tk::MakeProperty<P>("ParentFont", &P::ParentFont, &P::SetParentFont, tk::Value(true)));
  list.push_back(
      tk::MakeProperty<P>("TabColor", &P::TabColor, &P::SetTabColor, tk::Value(std::int64_t{tk::clBtnFace})));
  list.push_back(
      tk::MakeProperty<P>("TextColor", &P::TextColor, &P::SetTextColor, tk::Value(std::int64_t{tk::clBtnText})));
  for (const char* dummy : {"Cursor", "TabOrder"}) {
    tk::PropertyInfo p;
    p.Name = dummy;
    p.Get = [](const tk::Component&) { return tk::Value(std::int64_t{0}); };
    p.Set = [](tk::Component&, const tk::Value&) {};
    p.Stored = [](const tk::Component&) { return false; };
    list.push_back(std::move(p));
  }
}

void TVxTabPage::DefineProperties(tk::Filer& filer) {
  TVxCollectibleControl::DefineProperties(filer);
  // Older forms stored these; they are read and dropped ("Cursor" is taken by its dummy property).
  for (const char* name : {"Top", "Left", "Height", "Width"})
    filer.DefineProperty(
        name, [](const tk::Value& v) { tk::detail::FromValue<int>(v); }, nullptr, false);
  filer.DefineProperty(
      "Visible", [](const tk::Value& v) { tk::detail::FromValue<bool>(v); }, nullptr, false);
}

// notebook: creation and pages

TVxNotebook::TVxNotebook(tk::Component* owner, QWidget* parent) : TVxCustomControlEx(owner, parent) {
  RegisterNotebookClasses();
  pages_ = std::make_unique<TVxCollection>(this, ItemClassOf<TVxTabPage>());
  pages_->OnChanged = [this](TVxCollection*) { PagesChanged(); };
  pages_->OnItemSelected = [this](TVxCollection*, int index) {
    if (Designing() && index >= 0 && index < PageCount()) SetPageIndex(index);
  };
  pages_->OnGetEditorCaption = [](TVxCollection*, std::string& caption) { caption = GetVxStr(STabPagesEditor); };
  activeTabFont_.SetName(Font().Name());
  setAttribute(Qt::WA_OpaquePaintEvent);
  SetColorInternally(tk::clBtnFace);
  SetBounds(Left(), Top(), 220, 185);
  accelerators_ = std::make_unique<AcceleratorFilter>(this);
}

TVxNotebook::~TVxNotebook() {
  destroying_ = true;
  accelerators_.reset();
  pages_.reset();
}

TVxTabPage* TVxNotebook::Pages(int index) const {
  if (index < 0 || index >= PageCount()) return nullptr;
  return static_cast<TVxTabPage*>(pages_->Items(index));
}

void TVxNotebook::PagesChanged() {
  if (!destroying_) Invalidate();
}

bool TVxNotebook::IsValid(int index) const {
  TVxTabPage* page = Pages(index);
  if (!page) return false;
  return Designing() || (page->Enabled() && page->PageVisible());
}

int TVxNotebook::NextValidIndex(int from) const {
  int count = PageCount();
  if (count == 0) return -1;
  if (from < 0 || from >= count) from = count - 1;
  for (int i = from + 1;; ++i) {
    if (i >= count) i = 0;
    if (i == from) return -1;
    if (IsValid(i)) return i;
  }
}

int TVxNotebook::PrevValidIndex(int from) const {
  int count = PageCount();
  if (count == 0) return -1;
  if (from < 0 || from >= count) from = 0;
  for (int i = from - 1;; --i) {
    if (i < 0) i = count - 1;
    if (i == from) return -1;
    if (IsValid(i)) return i;
  }
}

void TVxNotebook::NextPage() {
  int i = NextValidIndex(pageIndex_);
  if (i != -1) SetPageIndex(i);
}

void TVxNotebook::PrevPage() {
  int i = PrevValidIndex(pageIndex_);
  if (i != -1) SetPageIndex(i);
}

void TVxNotebook::SetPageIndex(int index) {
  if (Loading()) {
    pageIndex_ = index;
    return;
  }
  const int old = pageIndex_;
  if (!IsValid(index)) throw EInvalidPageIndex();
  if (index == old || changingPage_) return;
  {
    FlagGuard changing(changingPage_);
    if (!Designing() && old != -1 && !DoOnPageChange(index)) return;
    QWidget* focus = window()->focusWidget();
    if (focus && focus != this && isAncestorOf(focus)) focus->clearFocus();
    TVxTabPage* page = Pages(index);
    page->raise();
    page->show();
    // Any page that was active goes, valid or not: a hidden-but-shown page would keep its controls in the
    // tab order. Window resources are not scarce here, so ConserveResources frees nothing.
    if (TVxTabPage* previous = Pages(old)) previous->hide();
    pageIndex_ = index;
    layout_.ActiveRow = page->TabRow();
    helpContext_ = page->HelpContext();
    hint_ = page->Hint();
    setToolTip(platform::ToQString(hint_));
    Invalidate();
  }
  if (!Designing() && old != -1 && pageIndex_ == index) DoOnPageChanged(index);
  if (!IsValid(pageIndex_)) throw EInvalidPageIndex();
}

TVxTabPage* TVxNotebook::InsertPage(const std::string& caption, int index) {
  if (index < 0 || index > PageCount()) throw EInvalidPageIndex();
  auto* page = static_cast<TVxTabPage*>(pages_->Insert(index));
  page->SetCaption(caption);
  if (index <= pageIndex_) {
    // The active page moved up one place; it stays active, with no change events.
    int moved = std::min(pageIndex_ + 1, PageCount() - 1);
    pageIndex_ = -1;
    SetPageIndex(moved);
  }
  if (PageCount() == 1 && pageIndex_ != 0) {
    pageIndex_ = -1;
    SetPageIndex(0);
  }
  Invalidate();
  return page;
}

void TVxNotebook::DeletePage(int index) {
  if (index < 0 || index >= PageCount()) return;
  if (TVxTabPage* active = Pages(pageIndex_)) active->hide();
  pages_->Delete(index);
  if (IsValid(pageIndex_)) {
    TVxTabPage* page = Pages(pageIndex_);
    page->show();
    page->raise();
  } else if (IsValid(0)) {
    SetPageIndex(0);
  }
  Invalidate();
}

int TVxNotebook::IndexOf(const std::string& name, bool byCaption) const {
  for (int i = 0; i < PageCount(); ++i) {
    TVxTabPage* page = Pages(i);
    if (platform::SameText(byCaption ? page->Caption() : page->Name(), name)) return i;
  }
  return -1;
}

int TVxNotebook::ClientWidth() const { return IsValid(pageIndex_) ? Pages(pageIndex_)->Width() : 0; }

int TVxNotebook::ClientHeight() const { return IsValid(pageIndex_) ? Pages(pageIndex_)->Height() : 0; }

void TVxNotebook::ShowControl(QWidget* control) {
  for (int i = 0; i < PageCount(); ++i)
    if (Pages(i) == control) SetPageIndex(i);
}

void TVxNotebook::ForcePageHandles() {
  for (int i = 0; i < PageCount(); ++i) Pages(i)->HandleNeeded();
}

void TVxNotebook::BeginUpdate() { setUpdatesEnabled(false); }

void TVxNotebook::EndUpdate() {
  setUpdatesEnabled(true);
  Invalidate();
}

int TVxNotebook::TabsInRow(int row) const {
  int n = 0;
  for (int i = 0; i < PageCount(); ++i) {
    TVxTabPage* page = Pages(i);
    if (page->TabRow() == row && (page->PageVisible() || Designing())) ++n;
  }
  return n;
}

tk::Rect TVxNotebook::GetTabRect(int index) const {
  TVxTabPage* page = Pages(index);
  return page ? page->TabRect() : tk::Rect{};
}

void TVxNotebook::InvalidateTab(int index) {
  TVxTabPage* page = Pages(index);
  if (page && HandleAllocated()) update(TabInvalidRect(orientation_, page->TabRect()).ToQRect());
}

int TVxNotebook::TabAt(int x, int y) const {
  for (int i = 0; i < PageCount(); ++i)
    if (Pages(i)->TabRect().Contains({x, y})) return i;
  return -1;
}

void TVxNotebook::LayoutTabs() {
  if (!Visible()) return;
  QImage scratch(1, 1, QImage::Format_RGB32);
  tk::Canvas canvas(&scratch);
  const std::string sample = GetVxStr(30282);
  canvas.Font = activeTabFont_;
  layout_.ActiveFontHeight = useActiveTabFont_ ? canvas.TextHeight(sample) : 0;
  canvas.Font = Font();
  layout_.ControlFontHeight = canvas.TextHeight(sample);
  layout_.Side = orientation_;
  layout_.Width = Width();
  layout_.Height = Height();
  layout_.OldStyle = oldStyle_;
  layout_.TabRowCount = tabRowCount_;
  layout_.TabAutoHeight = tabAutoHeight_;
  layout_.PageIndex = pageIndex_;
  layout_.Tabs.clear();
  for (int i = 0; i < PageCount(); ++i) {
    TVxTabPage* page = Pages(i);
    TVxTabEntry tab;
    tab.Shown = page->PageVisible() || Designing();
    if (useActiveTabFont_) {
      canvas.Font = activeTabFont_;
      tab.ActiveFontWidth = canvas.TextWidth(page->Caption());
    }
    canvas.Font = page->Font();
    tab.FontWidth = canvas.TextWidth(page->Caption());
    tab.FontHeight = canvas.TextHeight(sample);
    tab.Length = page->TabLength();
    tab.Row = page->TabRow();
    layout_.Tabs.push_back(tab);
  }
  layout_.Run();
  for (int i = 0; i < PageCount(); ++i) {
    Pages(i)->SetTabLength(layout_.Tabs[static_cast<std::size_t>(i)].Length);
    Pages(i)->SetTabRow(layout_.Tabs[static_cast<std::size_t>(i)].Row);
  }
}

void TVxNotebook::PositionPages() {
  tk::Rect r = NotebookPageRect(orientation_, Width(), Height(), layout_.TabHeight, layout_.Rows);
  for (int i = 0; i < PageCount(); ++i) {
    TVxTabPage* page = Pages(i);
    if (page->BoundsRect() != r) page->SetBounds(r.Left, r.Top, r.Width(), r.Height());
  }
}

void TVxNotebook::ReapplyBounds() { SetBounds(Left(), Top(), Width(), Height()); }

// notebook: properties

void TVxNotebook::SetActiveTabFont(const tk::Font& font) {
  activeTabFont_ = font;
  Invalidate();
  if (!Loading()) tk::SendMessage(*this, tk::CM_FONTCHANGED);
}

void TVxNotebook::SetHighlightColor(tk::TColor color) {
  highlightColor_ = color;
  Invalidate();
}

void TVxNotebook::SetOldStyle(bool value) {
  oldStyle_ = value;
  Invalidate();
}

void TVxNotebook::SetPageUsesTabColor(bool value) {
  pageUsesTabColor_ = value;
  Invalidate();
}

void TVxNotebook::SetShadowColor(tk::TColor color) {
  shadowColor_ = color;
  Invalidate();
}

void TVxNotebook::SetShadowedText(bool value) {
  shadowedText_ = value;
  Invalidate();
}

void TVxNotebook::SetTabAutoHeight(bool value) {
  if (value == tabAutoHeight_) return;
  tabAutoHeight_ = value;
  if (value) Invalidate();
}

void TVxNotebook::SetTabHeight(int value) {
  if (value < 0) return;
  if (value != layout_.TabHeight) {
    if (!Loading()) tabAutoHeight_ = false;
    layout_.TabHeight = value;
  }
  Invalidate();
}

void TVxNotebook::SetTabOrientation(TVxTabOrientation side) {
  if (side == orientation_) return;
  if (!Loading() && SideTabs(side)) CheckSideFonts(Designing());
  orientation_ = side;
  ReapplyBounds();
  Invalidate();
}

void TVxNotebook::CheckSideFonts(bool designTimeRename) {
  FlagGuard checking(checkingFonts_);
  auto check = [&](const tk::Font& font, const std::function<void(const tk::Font&)>& set) {
    if (IsTrueTypeFont(font)) return;
    if (!designTimeRename) throw EInvalidTabFont();
    tk::Font renamed = font;
    renamed.SetName("Arial");
    set(renamed);
  };
  check(Font(), [this](const tk::Font& f) { SetFont(f); });
  if (useActiveTabFont_) check(activeTabFont_, [this](const tk::Font& f) { activeTabFont_ = f; });
  for (int i = 0; i < PageCount(); ++i) {
    TVxTabPage* page = Pages(i);
    check(page->Font(), [page](const tk::Font& f) { page->SetFont(f); });
  }
}

void TVxNotebook::SetTabRowCount(int value) {
  if (Loading() || (value >= 0 && value <= PageCount())) tabRowCount_ = value;
  LayoutTabs();
  ReapplyBounds();
  Invalidate();
}

void TVxNotebook::SetTabUseDefaultColor(bool value) {
  tabUseDefaultColor_ = value;
  if (value && !Loading())
    for (int i = 0; i < PageCount(); ++i) Pages(i)->SetTabColor(Color());
  Invalidate();
}

void TVxNotebook::SetTextShadowColor(tk::TColor color) {
  textShadowColor_ = color;
  Invalidate();
}

void TVxNotebook::SetUseActiveTabFont(bool value) {
  useActiveTabFont_ = value;
  Invalidate();
}

tk::TColor TVxNotebook::TabColor() const {
  TVxTabPage* page = Pages(pageIndex_);
  return page ? page->TabColor() : Color();
}

void TVxNotebook::SetTabColor(tk::TColor color) {
  if (!IsValid(pageIndex_)) return;
  TVxTabPage* page = Pages(pageIndex_);
  if (page->TabColor() == color) return;
  page->SetTabColor(color);
  tabUseDefaultColor_ = false;
  InvalidateTab(pageIndex_);
}

tk::TColor TVxNotebook::BackgroundColor() const {
  QWidget* parent = parentWidget();
  if (!parent) return Color();
  if (auto* control = dynamic_cast<tk::ControlT<QWidget>*>(parent)) return control->Color();
  return tk::FromQColor(parent->palette().color(QPalette::Window));
}

void TVxNotebook::SetColorInternally(tk::TColor color) {
  FlagGuard internal(internalColor_);
  SetColor(color);
}

void TVxNotebook::ColorChanged() {
  if (!internalColor_ && !Loading()) {
    pageUsesTabColor_ = false;
    if (tabUseDefaultColor_)
      for (int i = 0; i < PageCount(); ++i) Pages(i)->SetTabColor(Color());
  }
  // The pages show the notebook's colour.
  for (int i = 0; i < PageCount(); ++i) Pages(i)->update();
  if (!canvas_) Invalidate();
}

void TVxNotebook::FontChanged() {
  if (!Loading() && HandleAllocated() && SideTabs(orientation_) && !checkingFonts_ && !IsTrueTypeFont(Font())) {
    {
      FlagGuard renaming(checkingFonts_);
      tk::Font font = Font();
      font.SetName("Arial");
      SetFont(font);
    }
    Invalidate();
    throw EInvalidTabFont();
  }
  for (int i = 0; i < PageCount(); ++i) Pages(i)->ApplyParentFont(Font());
  Invalidate();
}

void TVxNotebook::ChangeScale(int m, int d) {
  if (m == d || d == 0) return;
  layout_.TabHeight = (layout_.TabHeight * m + d / 2) / d;
  activeTabFont_.SetHeight(static_cast<int>(std::lround(static_cast<double>(activeTabFont_.Height()) * m / d)));
  LayoutTabs();
}

void TVxNotebook::SetBounds(int left, int top, int width, int height) {
  if (!Loading()) {
    if (SideTabs(orientation_))
      height = std::max(height, 20);
    else
      width = std::max(width, 20);
  }
  TVxCustomControlEx::SetBounds(left, top, width, height);
  if (HandleAllocated()) {
    LayoutTabs();
    PositionPages();
  }
}

void TVxNotebook::Loaded() {
  TVxCustomControlEx::Loaded();
  if (PageCount() > 0) {
    for (int i = 0; i < PageCount(); ++i)
      if (i != defaultPageIndex_) Pages(i)->hide();
    pageIndex_ = -1;
    SetPageIndex(defaultPageIndex_);
  }
  LayoutTabs();
}

void TVxNotebook::GetProperties(tk::PropertyList& list) const {
  TVxCustomControlEx::GetProperties(list);
  using N = TVxNotebook;
  list.push_back(tk::MakeProperty<N>("Color", &N::Color, &N::SetColor));
  list.push_back(tk::MakeProperty<N>("ConserveResources", &N::ConserveResources, &N::SetConserveResources));
  list.push_back(tk::MakeProperty<N>("DefaultPageIndex", &N::DefaultPageIndex, &N::SetDefaultPageIndex));
  list.push_back(tk::MakeProperty<N>("HighlightColor", &N::HighlightColor, &N::SetHighlightColor));
  list.push_back(tk::MakeProperty<N>("OldStyle", &N::OldStyle, &N::SetOldStyle));
  list.push_back(tk::MakeProperty<N>("PageUsesTabColor", &N::PageUsesTabColor, &N::SetPageUsesTabColor));
  list.push_back(tk::MakeProperty<N>("ShadowColor", &N::ShadowColor, &N::SetShadowColor));
  list.push_back(tk::MakeProperty<N>("ShadowedText", &N::ShadowedText, &N::SetShadowedText));
  list.push_back(tk::MakeProperty<N>("TabAutoHeight", &N::TabAutoHeight, &N::SetTabAutoHeight));
  list.push_back(tk::MakeProperty<N>("TabHeight", &N::TabHeight, &N::SetTabHeight));
  list.push_back(tk::MakeEnumProperty<N>("TabOrientation", &N::TabOrientation, &N::SetTabOrientation, kSideNames));
  list.push_back(tk::MakeProperty<N>("TabRowCount", &N::TabRowCount, &N::SetTabRowCount));
  list.push_back(tk::MakeProperty<N>("TabUseDefaultColor", &N::TabUseDefaultColor, &N::SetTabUseDefaultColor));
  list.push_back(tk::MakeProperty<N>("TextShadowColor", &N::TextShadowColor, &N::SetTextShadowColor));
  list.push_back(tk::MakeProperty<N>("UseActiveTabFont", &N::UseActiveTabFont, &N::SetUseActiveTabFont));
}

// notebook: window and painting

void TVxNotebook::CreateWnd() {
  TVxCustomControlEx::CreateWnd();
  if (IsValid(pageIndex_)) {
    TVxTabPage* page = Pages(pageIndex_);
    page->show();
    page->raise();
  }
}

void TVxNotebook::Paint(tk::Canvas& canvas) {
  if (PageCount() == 0) {
    canvas.Pen.Color = Color();
    canvas.Brush.Color = Color();
    canvas.Brush.Style = tk::BrushStyle::Solid;
    canvas.Rectangle(ClientRect());
    if (Designing()) {
      canvas.Font = Font();
      canvas.TextOut(5, 5, GetVxStr(SNoNotebookPages));
    }
    return;
  }
  LayoutTabs();
  PositionPages();
  if (layout_.TabHeight > 0) TVxTabPainter(*this, canvas, layout_).Paint();
}

void TVxNotebook::paintEvent(QPaintEvent*) {
  if (buffer_.size() != size()) {
    buffer_ = QImage(size(), QImage::Format_RGB32);
    buffer_.fill(tk::ToQColor(Color()));
  }
  tk::Guarded([this] {
    tk::Canvas canvas(&buffer_);
    canvas.Font = Font();
    canvas_ = &canvas;
    try {
      Paint(canvas);
    } catch (...) {
      canvas_ = nullptr;
      throw;
    }
    canvas_ = nullptr;
  });
  QPainter(this).drawImage(0, 0, buffer_);
}

void TVxNotebook::resizeEvent(QResizeEvent* event) {
  TVxCustomControlEx::resizeEvent(event);
  if (!HandleAllocated()) return;
  tk::Guarded([this] {
    LayoutTabs();
    PositionPages();
  });
}

void TVxNotebook::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case tk::WM_GETDLGCODE:
      message.Result = Designing() ? tk::DLGC_STATIC : tk::DLGC_WANTARROWS;
      return;
    case tk::CM_COLORCHANGED:
      ColorChanged();
      return;
    case tk::CM_FONTCHANGED:
      FontChanged();
      return;
    case CM_DIALOGCHAR:
      if (DialogChar(static_cast<char>(message.WParam))) {
        message.Result = 1;
        return;
      }
      TVxCustomControlEx::Dispatch(message);
      return;
    default:
      TVxCustomControlEx::Dispatch(message);
  }
}

// notebook: events

void TVxNotebook::DoOnDrawTab(int index, const std::string& title, const tk::Rect& r, bool enabled, bool active) {
  if (OnDrawTab && index >= 0 && index < PageCount()) OnDrawTab(this, index, title, r, enabled, active);
}

void TVxNotebook::DoOnMouseOverTab(int index) {
  if (OnMouseOverTab) OnMouseOverTab(this, index);
}

bool TVxNotebook::DoOnPageChange(int index) {
  bool allow = true;
  if (OnPageChange) OnPageChange(this, index, allow);
  return allow;
}

void TVxNotebook::DoOnPageChanged(int index) {
  if (OnPageChanged) OnPageChanged(this, index);
}

void TVxNotebook::DoOnTabClick(int index) {
  if (OnTabClick) OnTabClick(this, index);
}

void TVxNotebook::DoOnUserCommand(std::uint16_t command) {
  if (OnUserCommand) OnUserCommand(this, command);
}

// notebook: mouse, keys and focus

void TVxNotebook::CancelMode() {
  if (QWidget::mouseGrabber() == this) releaseMouse();
}

bool TVxNotebook::DesignHitTest(int x, int y) {
  const bool overTab = TabAt(x, y) >= 0;
  if (Designing()) {
    if (overTab && !tabCursor_) tabCursor_ = LoadBaseCursor("VXTABCURSOR");
    if (overTab && tabCursor_)
      setCursor(*tabCursor_);
    else
      unsetCursor();
  }
  return overTab;
}

QWidget* TVxNotebook::FirstControlInside(QWidget* within, bool tabStopOnly) const {
  for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
    if (!within->isAncestorOf(w) || !CanTakeFocus(w)) continue;
    if (!tabStopOnly || (w->focusPolicy() & Qt::TabFocus)) return w;
  }
  return nullptr;
}

void TVxNotebook::FocusAfterClick() {
  QWidget* next = FirstControlInside(this, true);
  if (!next) next = FirstControlInside(this, false);
  if (next && next != Pages(pageIndex_))
    next->setFocus(Qt::MouseFocusReason);
  else
    setFocus(Qt::MouseFocusReason);
}

void TVxNotebook::LeftButtonDown(int x, int y) {
  int target = -1;
  for (int i = 0; i < PageCount() && target < 0; ++i) {
    TVxTabPage* page = Pages(i);
    if (!page->TabRect().Contains({x, y})) continue;
    if (i == pageIndex_) {
      setFocus(Qt::MouseFocusReason);
      DoOnTabClick(i);
      return;
    }
    if ((page->Enabled() && page->PageVisible()) || Designing())
      target = i;
    else
      DoOnTabClick(i);
  }
  if (target < 0) return;
  if (!Designing() && !hasFocus()) {
    setFocus(Qt::MouseFocusReason);
    if (!hasFocus()) {  // something kept the focus
      CancelMode();
      return;
    }
  }
  SetPageIndex(target);
  if (pageIndex_ != target) return;
  if (!Designing()) {
    if (tk::GetParentForm(this))
      FocusAfterClick();
    else
      setFocus(Qt::MouseFocusReason);
  }
  DoOnTabClick(target);
}

bool TVxNotebook::KeyDown(std::uint16_t key, tk::ShiftState shift) {
  TVxController* controller = Controller();
  if (!controller) return false;
  const std::uint16_t command = controller->EntryCommands().TranslateKey(key, shift);
  if (command >= 256) {
    DoOnUserCommand(command);
    return true;
  }
  // Per side: the commands for the previous tab, the next one and the row beyond the active one.
  struct SideKeys {
    std::uint16_t Prev, Next, Row;
  };
  static constexpr SideKeys kKeys[] = {
      {ccLeft, ccRight, ccUp},    // toTop
      {ccUp, ccDown, ccRight},    // toRight
      {ccLeft, ccRight, ccDown},  // toBottom
      {ccDown, ccUp, ccLeft},     // toLeft
  };
  const SideKeys& keys = kKeys[static_cast<int>(orientation_)];
  int found = -1;
  switch (command) {
    case ccHome:
      found = NextValidIndex(PageCount() - 1);
      break;
    case ccEnd:
      found = PrevValidIndex(0);
      break;
    case ccLeft:
    case ccRight:
    case ccUp:
    case ccDown:
      if (command == keys.Prev) found = PrevValidIndex(pageIndex_);
      if (command == keys.Next) found = NextValidIndex(pageIndex_);
      if (command == keys.Row && layout_.Rows >= 2) {
        if (TVxTabPage* page = Pages(pageIndex_)) {
          tk::Point p = NeighbourRowPoint(orientation_, page->TabRect(), layout_.TabHeight, page->TabLength());
          LeftButtonDown(p.X, p.Y);
        }
      }
      break;
    default:
      return false;
  }
  if (found != -1) {
    SetPageIndex(found);
    setFocus(Qt::OtherFocusReason);
  }
  return true;
}

bool TVxNotebook::DialogChar(char c) {
  const int count = PageCount();
  if (!isEnabled() || count == 0) return false;
  const char wanted = platform::UpperCase(std::string(1, c))[0];
  for (int step = 1; step <= count; ++step) {
    const int i = ((pageIndex_ + step) % count + count) % count;
    char accel = TabAccelerator(Pages(i)->Caption());
    if (!accel || platform::UpperCase(std::string(1, accel))[0] != wanted) continue;
    if (!IsValid(i) || !CanTakeFocus(this)) continue;
    if (i == pageIndex_) {
      setFocus(Qt::ShortcutFocusReason);
      return true;
    }
    SetPageIndex(i);
    if (pageIndex_ == i) {
      QWidget* first = FirstControlInside(Pages(i), true);
      (first ? first : static_cast<QWidget*>(this))->setFocus(Qt::ShortcutFocusReason);
      DoOnTabClick(i);
    }
    return true;
  }
  return false;
}

void TVxNotebook::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return TVxCustomControlEx::mousePressEvent(event);
  QPoint p = event->position().toPoint();
  tk::Guarded([&] { LeftButtonDown(p.x(), p.y()); });
}

void TVxNotebook::mouseMoveEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  tk::Guarded([&] {
    if (Designing()) DesignHitTest(p.x(), p.y());
    int tab = TabAt(p.x(), p.y());
    if (tab >= 0) DoOnMouseOverTab(tab);
  });
  TVxCustomControlEx::mouseMoveEvent(event);
}

void TVxNotebook::keyPressEvent(QKeyEvent* event) {
  bool used = false;
  tk::Guarded([&] {
    std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
    if (key) used = KeyDown(key, tk::ShiftFromQt(event->modifiers()));
    // A plain character the notebook has no use for may be a page's accelerator.
    QString text = event->text();
    if (!used && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && text.size() == 1 &&
        text[0].unicode() > 0x20 && text[0].unicode() <= 0xFF)
      used = DialogChar(static_cast<char>(text[0].unicode()));
  });
  if (used)
    event->accept();
  else
    TVxCustomControlEx::keyPressEvent(event);
}

void TVxNotebook::focusInEvent(QFocusEvent* event) {
  TVxCustomControlEx::focusInEvent(event);
  InvalidateTab(pageIndex_);
}

void TVxNotebook::focusOutEvent(QFocusEvent* event) {
  TVxCustomControlEx::focusOutEvent(event);
  InvalidateTab(pageIndex_);
  CancelMode();
}

}  // namespace controls
