#include "controls/virtual_list_box.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "controls/command_table.h"
#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/misc.h"
#include "platform/text.h"
#include "tk/exception_guard.h"
#include "tk/filer.h"
#include "tk/key_mapper.h"
#include "tk/virtual_keys.h"

namespace controls {

namespace {

const char* const kBorderStyleNames[] = {"bsNone", "bsSingle"};
const char* const kScrollBarNames[] = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
constexpr int kMaxItemText = 255;
constexpr int kThumbRangeLimit = 32767;
constexpr int kAutoScrollMs = 50;

const bool kRegistered =
    (tk::RegisterClass("TVxVirtualListBox", [](tk::Component* owner) { return new TVxVirtualListBox(owner); }), true);

bool Meets(const tk::Rect& a, const tk::Rect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

tk::Rect Intersection(const tk::Rect& a, const tk::Rect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

// Moves the pixels of `area` vertically by `dy` inside the image; what moves out of the area is lost.
void ShiftPixels(QImage& image, const QRect& area, int dy) {
  const int bytes = area.width() * 4;
  const int left = area.left() * 4;
  if (dy > 0) {
    for (int y = area.bottom(); y >= area.top() + dy; --y)
      std::memmove(image.scanLine(y) + left, image.constScanLine(y - dy) + left, static_cast<std::size_t>(bytes));
  } else {
    for (int y = area.top(); y <= area.bottom() + dy; ++y)
      std::memmove(image.scanLine(y) + left, image.constScanLine(y - dy) + left, static_cast<std::size_t>(bytes));
  }
}

}  // namespace

TVxCustomVirtualListBox::TVxCustomVirtualListBox(tk::Component* owner, QWidget* parent)
    : TVxCustomControlEx(owner, parent),
      vertical_(new QScrollBar(Qt::Vertical, this)),
      horizontal_(new QScrollBar(Qt::Horizontal, this)),
      autoScroll_(new QTimer(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  repaintOnFocus_ = false;
  setFocusPolicy(Qt::StrongFocus);
  for (QScrollBar* bar : {vertical_, horizontal_}) {
    bar->setFocusPolicy(Qt::NoFocus);
    bar->hide();
    const bool vertical = bar == vertical_;
    QObject::connect(bar, &QAbstractSlider::actionTriggered, this,
                     [this, vertical](int action) { OnScrollAction(vertical, action); });
    QObject::connect(bar, &QAbstractSlider::sliderReleased, this, [this, bar, vertical] {
      tk::Guarded([&] {
        tk::SendMessage(*this, vertical ? WM_VSCROLL : WM_HSCROLL,
                        SB_THUMBPOSITION | static_cast<std::uintptr_t>(bar->sliderPosition() & 0xFFFF) << 16);
        UpdateScrollPositions();
      });
    });
  }
  autoScroll_->setInterval(kAutoScrollMs);
  QObject::connect(autoScroll_, &QTimer::timeout, this, [this] {
    tk::Guarded([this] {
      const tk::Rect area = ItemArea();
      if (tracking_ && (lastTrackPoint_.Y < area.Top || lastTrackPoint_.Y >= clientHeight_)) TrackPass(lastTrackPoint_);
    });
  });
  for (TVxColors* colors : {&headerColor_, &protectColor_, &selectColor_})
    colors->OnColorChange = [this] { Invalidate(); };
  SetColor(tk::clWindow);
  tk::CustomControl::SetBounds(Left(), Top(), 100, 150);
  LayoutClient();
}

TVxCustomVirtualListBox::~TVxCustomVirtualListBox() { autoScroll_->stop(); }

// properties

void TVxCustomVirtualListBox::SetAutoRowHeight(bool value) {
  if (value == autoRowHeight_) return;
  autoRowHeight_ = value;
  vlbCalcFontFields();
  AfterResize();
  Invalidate();
}

void TVxCustomVirtualListBox::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  AfterResize();
  update();
}

void TVxCustomVirtualListBox::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  AfterResize();
  Invalidate();
  update();
}

void TVxCustomVirtualListBox::SetColumns(std::uint8_t value) {
  if (value == columns_) return;
  columns_ = value;
  if (hOffset_ > columns_) SetHorizontalOffset(columns_);
  UpdateScrollBars();
}

void TVxCustomVirtualListBox::SetHeader(const std::string& value) {
  header_ = value;
  if (Designing() && !Loading()) SetShowHeader(!value.empty());
  Invalidate();
}

void TVxCustomVirtualListBox::SetIntegralHeight(bool value) {
  if (value == integralHeight_) return;
  integralHeight_ = value;
  vlbCalcFontFields();
  AfterResize();
}

void TVxCustomVirtualListBox::SetMultiSelect(bool value) {
  if (!Designing() && !Loading()) return;
  if (value == multiSelect_) return;
  multiSelect_ = value;
  Invalidate();
}

void TVxCustomVirtualListBox::SetOwnerDraw(bool value) {
  if (value == ownerDraw_) return;
  ownerDraw_ = value;
  Invalidate();
}

void TVxCustomVirtualListBox::SetRowHeight(int value) {
  value = std::max(1, value);
  if (!Loading()) autoRowHeight_ = false;
  if (value == rowHeight_) return;
  rowHeight_ = value;
  vlbCalcFontFields();
  AfterResize();
  Invalidate();
}

void TVxCustomVirtualListBox::SetScrollBars(TVxScrollBars value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  AfterResize();
  Invalidate();
}

void TVxCustomVirtualListBox::SetShowHeader(bool value) {
  if (value == showHeader_) return;
  showHeader_ = value;
  AfterResize();
  Invalidate();
}

void TVxCustomVirtualListBox::SetUseTabStops(bool value) {
  if (value == useTabStops_) return;
  useTabStops_ = value;
  Invalidate();
}

void TVxCustomVirtualListBox::SetCount(std::int32_t count) {
  numItems_ = std::max(0, count);
  UpdateScrollBars();
}

void TVxCustomVirtualListBox::SetNumItems(std::int32_t value) {
  if (value < 0) value = MaxItems;
  if (value == numItems_) return;
  const std::int32_t old = numItems_;
  numItems_ = value;
  const bool scrolledSideways = hOffset_ != 0;
  hOffset_ = 0;
  if (!Loading()) {
    if (itemIndex_ >= value) itemIndex_ = -1;
    if (focusedIndex_ >= value) focusedIndex_ = -1;
    if (anchor_ >= value) anchor_ = -1;
    if (value == 0) {
      // Nothing can be shown from further down: the next items start at the top again.
      if (topIndex_ != 0) {
        topIndex_ = 0;
        DoOnTopIndexChanged(0);
      }
    } else if (static_cast<std::int64_t>(topIndex_) + rows_ <= value) {
      ForceTopIndex(topIndex_, false);
    } else {
      ForceTopIndex(value - 1, true);
    }
    if (rows_ >= value || rows_ >= old || scrolledSideways) Invalidate();
  }
  UpdateScrollBars();
}

void TVxCustomVirtualListBox::GetProperties(tk::PropertyList& list) const {
  TVxCustomControlEx::GetProperties(list);
  using C = TVxCustomVirtualListBox;
  auto colors = [&list](const std::string& name, TVxColors& (C::*get)(), const TVxColors& (C::*cget)() const,
                        tk::TColor text, tk::TColor back) {
    tk::PropertyInfo t;
    t.Name = name + ".TextColor";
    t.Get = [cget](const tk::Component& c) {
      return tk::Value(static_cast<std::int64_t>((dynamic_cast<const C&>(c).*cget)().TextColor()));
    };
    t.Set = [get](tk::Component& c, const tk::Value& v) {
      (dynamic_cast<C&>(c).*get)().SetTextColor(tk::detail::FromValue<tk::TColor>(v));
    };
    t.Default = tk::Value(static_cast<std::int64_t>(text));
    list.push_back(t);
    tk::PropertyInfo b;
    b.Name = name + ".BackColor";
    b.Get = [cget](const tk::Component& c) {
      return tk::Value(static_cast<std::int64_t>((dynamic_cast<const C&>(c).*cget)().BackColor()));
    };
    b.Set = [get](tk::Component& c, const tk::Value& v) {
      (dynamic_cast<C&>(c).*get)().SetBackColor(tk::detail::FromValue<tk::TColor>(v));
    };
    b.Default = tk::Value(static_cast<std::int64_t>(back));
    list.push_back(b);
  };
  list.push_back(tk::MakeProperty<C>("AutoRowHeight", &C::AutoRowHeight, &C::SetAutoRowHeight, tk::Value(true)));
  list.push_back(tk::MakeEnumProperty<C>("BorderStyle", &C::BorderStyle, &C::SetBorderStyle, kBorderStyleNames, 1));
  list.push_back(tk::MakeProperty<C>("Columns", &C::Columns, &C::SetColumns, tk::Value(std::int64_t{255})));
  list.push_back(tk::MakeProperty<C>("Ctl3D", &C::Ctl3D, &C::SetCtl3D, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("Header", &C::Header, &C::SetHeader, tk::Value(std::string())));
  colors("HeaderColor", &C::HeaderColor, &C::HeaderColor, tk::clBtnText, tk::clBtnFace);
  list.push_back(tk::MakeProperty<C>("IntegralHeight", &C::IntegralHeight, &C::SetIntegralHeight, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("MultiSelect", &C::MultiSelect, &C::SetMultiSelect, tk::Value(false)));
  list.push_back(
      tk::MakeProperty<C>("NumItems", &C::NumItems, &C::SetNumItems, tk::Value(static_cast<std::int64_t>(MaxItems))));
  list.push_back(tk::MakeProperty<C>("OwnerDraw", &C::OwnerDraw, &C::SetOwnerDraw, tk::Value(false)));
  colors("ProtectColor", &C::ProtectColor, &C::ProtectColor, tk::clWhite, tk::clRed);
  list.push_back(tk::MakeProperty<C>("RowHeight", &C::RowHeight, &C::SetRowHeight, tk::Value(std::int64_t{17})));
  list.push_back(tk::MakeEnumProperty<C>("ScrollBars", &C::ScrollBars, &C::SetScrollBars, kScrollBarNames, 2));
  colors("SelectColor", &C::SelectColor, &C::SelectColor, tk::clHighlightText, tk::clHighlight);
  list.push_back(tk::MakeProperty<C>("ShowHeader", &C::ShowHeader, &C::SetShowHeader, tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("SmoothScroll", &C::SmoothScroll, &C::SetSmoothScroll, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("UseTabStops", &C::UseTabStops, &C::SetUseTabStops, tk::Value(false)));
}

void TVxCustomVirtualListBox::Loaded() {
  TVxCustomControlEx::Loaded();
  vlbCalcFontFields();
  AfterResize();
}

// geometry

int TVxCustomVirtualListBox::BorderWidth() const {
  if (borderStyle_ == TBorderStyle::bsNone) return 0;
  return ctl3D_ && NewStyleControls() ? 2 : 1;
}

QPoint TVxCustomVirtualListBox::ClientToWidget(tk::Point point) const {
  return {point.X + BorderWidth(), point.Y + BorderWidth()};
}

tk::Point TVxCustomVirtualListBox::ToClient(const QPoint& widgetPoint) const {
  return {widgetPoint.x() - BorderWidth(), widgetPoint.y() - BorderWidth()};
}

tk::Rect TVxCustomVirtualListBox::ItemRect(std::int32_t index) const {
  const std::int64_t row = static_cast<std::int64_t>(index) - topIndex_ + HeaderRows();
  const std::int64_t top = std::clamp<std::int64_t>(row * rowHeight_, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  return {0, static_cast<int>(top), clientWidth_, static_cast<int>(top) + rowHeight_};
}

tk::Rect TVxCustomVirtualListBox::ItemArea() const {
  const int top = HeaderRows() * rowHeight_;
  return {0, top, clientWidth_, std::min(clientHeight_, top + rows_ * rowHeight_)};
}

void TVxCustomVirtualListBox::SetBounds(int left, int top, int width, int height) {
  TVxCustomControlEx::SetBounds(left, top, width, height);
  AfterResize();
}

void TVxCustomVirtualListBox::resizeEvent(QResizeEvent* event) {
  TVxCustomControlEx::resizeEvent(event);
  tk::Guarded([this] { AfterResize(); });
}

void TVxCustomVirtualListBox::AfterResize() {
  if (rowHeight_ <= 0 || inLayout_) return;
  vlbCalcFontFields();
  LayoutClient();
  if (Designing() && !Loading() && integralHeight_ && clientHeight_ % rowHeight_ != 0) {
    const int extra = height() - clientHeight_;
    SetHeight(clientHeight_ / rowHeight_ * rowHeight_ + extra);
    return;
  }
  if (static_cast<std::int64_t>(topIndex_) + rows_ - 1 > LastIndex()) {
    const std::int32_t top = std::max(0, numItems_ - rows_);
    if (top != topIndex_) {
      topIndex_ = top;
      UpdateScrollPositions();
      Invalidate();
    }
  }
}

void TVxCustomVirtualListBox::LayoutClient() {
  if (inLayout_) return;
  inLayout_ = true;
  const int bw = BorderWidth();
  const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const bool horizontalOn = scrollBars_ == TVxScrollBars::ssHorizontal || scrollBars_ == TVxScrollBars::ssBoth;
  const bool verticalOn = scrollBars_ == TVxScrollBars::ssVertical || scrollBars_ == TVxScrollBars::ssBoth;
  const int innerWidth = std::max(0, width() - 2 * bw);
  const int innerHeight = std::max(0, height() - 2 * bw);
  const int clientHeight = std::max(0, innerHeight - (horizontalOn ? extent : 0));
  rows_ = std::max(1, clientHeight / rowHeight_ - HeaderRows());

  // The bar's 16-bit range: counts beyond it are divided down.
  int divisor = 1;
  int maximum = numItems_;
  if (numItems_ > kThumbRangeLimit) {
    divisor = numItems_ / 32768 * 2;
    maximum = numItems_ / divisor;
  }
  if (numItems_ < rows_) maximum = 1;
  const bool verticalShown = verticalOn && (numItems_ > rows_ || Designing());
  if (!verticalShown) maximum = 0;
  scrollDivisor_ = divisor;
  scrollMaximum_ = maximum;

  const int clientWidth = std::max(0, innerWidth - (verticalShown ? extent : 0));
  vertical_->setGeometry(bw + clientWidth, bw, extent, clientHeight);
  vertical_->setVisible(verticalShown);
  horizontal_->setGeometry(bw, bw + clientHeight, clientWidth, extent);
  horizontal_->setVisible(horizontalOn);
  {
    const QSignalBlocker block(vertical_);
    vertical_->setRange(0, std::max(0, maximum - rows_));
    vertical_->setPageStep(rows_);
    vertical_->setSingleStep(1);
  }
  {
    const QSignalBlocker block(horizontal_);
    horizontal_->setRange(0, columns_);
    horizontal_->setPageStep(10);
    horizontal_->setSingleStep(1);
  }
  if (clientWidth != clientWidth_ || clientHeight != clientHeight_) {
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    dirty_ = QRegion(0, 0, clientWidth_, clientHeight_);
    update();
  }
  UpdateScrollPositions();
  inLayout_ = false;
}

void TVxCustomVirtualListBox::UpdateScrollBars() { LayoutClient(); }

void TVxCustomVirtualListBox::UpdateScrollPositions() {
  {
    const QSignalBlocker block(vertical_);
    vertical_->setSliderPosition(topIndex_ / std::max(1, scrollDivisor_));
  }
  const QSignalBlocker block(horizontal_);
  horizontal_->setSliderPosition(hOffset_);
}

void TVxCustomVirtualListBox::vlbCalcFontFields() {
  if (!HandleAllocated()) return;
  QFontMetrics metrics(Font().Q());
  if (autoRowHeight_ && !Loading()) rowHeight_ = std::max(1, metrics.height() + extraRowSpacing_);
  dialogUnitWidth_ = metrics.horizontalAdvance("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") / 52 / 4;
  LayoutClient();
}

void TVxCustomVirtualListBox::CreateWnd() {
  TVxCustomControlEx::CreateWnd();
  vlbCalcFontFields();
  AfterResize();
}

// invalidation and painting

void TVxCustomVirtualListBox::InvalidateRect(const tk::Rect& rect) {
  const tk::Rect r = Intersection(rect, ClientRect());
  if (r.Empty()) return;
  dirty_ |= r.ToQRect();
  const int bw = BorderWidth();
  update(r.ToQRect().translated(bw, bw));
}

void TVxCustomVirtualListBox::Invalidate() {
  InvalidateRect(ClientRect());
  update();
}

void TVxCustomVirtualListBox::Repaint() {
  Invalidate();
  UpdateWindow();
}

void TVxCustomVirtualListBox::UpdateWindow() {
  // Not from inside a paint: the platform would refuse a nested one.
  if (paintCanvas_ || !isVisible()) return;
  const QRegion waiting = dirty_ | ownPaint_;
  if (!waiting.isEmpty()) repaint(waiting.translated(BorderWidth(), BorderWidth()));
}

void TVxCustomVirtualListBox::ShowSurface(const QRect& area) {
  ownPaint_ |= area;
  update(area.translated(BorderWidth(), BorderWidth()));
}

void TVxCustomVirtualListBox::InvalidateItem(std::int32_t index) {
  if (!IsValidIndex(index) || index < topIndex_ ||
      static_cast<std::int64_t>(index) >= static_cast<std::int64_t>(topIndex_) + rows_)
    return;
  InvalidateRect(ItemRect(index));
}

void TVxCustomVirtualListBox::DrawItem(std::int32_t index) {
  InvalidateItem(index);
  UpdateWindow();
}

void TVxCustomVirtualListBox::vlbValidateItem(std::int32_t index) {
  if (!IsValidIndex(index) || index < topIndex_ ||
      static_cast<std::int64_t>(index) >= static_cast<std::int64_t>(topIndex_) + rows_)
    return;
  dirty_ -= ItemRect(index).ToQRect();
  ownPaint_ |= ItemRect(index).ToQRect();
}

void TVxCustomVirtualListBox::BeginUpdate() { ++updateCount_; }

void TVxCustomVirtualListBox::EndUpdate() {
  if (updateCount_ <= 0) throw EVxException("Mismatched BeginUpdate/EndUpdate");
  if (--updateCount_ == 0) Invalidate();
}

void TVxCustomVirtualListBox::paintEvent(QPaintEvent* event) {
  if (surface_.size() != QSize(clientWidth_, clientHeight_)) {
    surface_ =
        clientWidth_ > 0 && clientHeight_ > 0 ? QImage(clientWidth_, clientHeight_, QImage::Format_RGB32) : QImage();
    if (!surface_.isNull()) surface_.fill(tk::ToQColor(Color()));
    dirty_ = QRegion(0, 0, clientWidth_, clientHeight_);
  }
  // A paint event beyond what the control asked to show itself is the window's paint request.
  const int bw = BorderWidth();
  dirty_ |= (event->region().translated(-bw, -bw) & QRect(0, 0, clientWidth_, clientHeight_)) - ownPaint_;
  ownPaint_ = QRegion();
  if (!Updating() && !blitOnly_ && !dirty_.isEmpty() && !surface_.isNull()) {
    const QRegion pending = dirty_;
    dirty_ = QRegion();
    tk::Canvas canvas(&surface_);
    paintCanvas_ = &canvas;
    for (const QRect& part : pending) {
      clipBox_ = tk::Rect::FromQRect(part);
      canvas.Font = Font();
      canvas.Brush = tk::Brush{Color(), tk::BrushStyle::Clear};
      tk::Guarded([&] { Paint(canvas); });
    }
    paintCanvas_ = nullptr;
  }
  tk::Canvas frame(this);
  if (!surface_.isNull()) frame.Draw(bw, bw, surface_);
  if (vertical_->isVisible() && horizontal_->isVisible()) {
    frame.Brush = tk::Brush{tk::clBtnFace, tk::BrushStyle::Solid};
    frame.FillRect(tk::Bounds(bw + clientWidth_, bw + clientHeight_, vertical_->width(), horizontal_->height()));
  }
  tk::Rect edge = tk::Bounds(0, 0, width(), height());
  if (bw == 2) {
    frame.Frame3D(edge, tk::clBtnShadow, tk::clBtnHighlight, 1);
    frame.Frame3D(edge, tk::cl3DDkShadow, tk::cl3DLight, 1);
  } else if (bw == 1) {
    frame.Brush = tk::Brush{tk::clWindowFrame, tk::BrushStyle::Solid};
    frame.FrameRect(edge);
  }
}

void TVxCustomVirtualListBox::Paint(tk::Canvas& canvas) {
  if (Updating()) return;
  const int rh = rowHeight_;
  const int textTop = (rh - canvas.TextHeight("Wy")) / 2;
  if (showHeader_ && Meets(clipBox_, tk::Rect{0, 0, clientWidth_, rh})) PaintHeader(canvas);
  const std::int64_t left = std::max<std::int64_t>(0, static_cast<std::int64_t>(numItems_) - topIndex_);
  const int shown = static_cast<int>(std::min<std::int64_t>(rows_, left));
  for (int i = 0; i < shown; ++i) {
    const std::int32_t index = topIndex_ + i;
    const tk::Rect row = ItemRect(index);
    if (!Meets(row, clipBox_)) continue;
    tk::TColor fg = Font().Color(), bg = Color();
    if (DoOnGetItemStatus(index)) {
      fg = protectColor_.TextColor();
      bg = protectColor_.BackColor();
    } else if (DoOnIsSelected(index)) {
      fg = selectColor_.TextColor();
      bg = selectColor_.BackColor();
    } else {
      DoOnGetItemColor(index, fg, bg);
    }
    canvas.Brush = tk::Brush{bg, tk::BrushStyle::Solid};
    canvas.FillRect(row);
    if (!IsValidIndex(index)) continue;
    std::string text = DoOnGetItem(index);
    if (static_cast<int>(text.size()) > kMaxItemText) text.resize(kMaxItemText);
    if (static_cast<int>(text.size()) <= hOffset_) continue;
    const std::string s = text.substr(static_cast<std::size_t>(hOffset_));
    canvas.Font.SetColor(fg);
    if (ownerDraw_) {
      DoOnDrawItem(index, row, s);
    } else if (useTabStops_) {
      canvas.Brush.Style = tk::BrushStyle::Clear;
      const int skipped = canvas.TextWidth(text.substr(0, static_cast<std::size_t>(hOffset_)));
      WriteText(canvas, 2, row.Top + textTop, s, 2 - skipped);
    } else {
      canvas.TextRect(row, 2, row.Top + textTop, s);
    }
  }
  canvas.Brush = tk::Brush{Color(), tk::BrushStyle::Solid};
  canvas.FillRect({0, (shown + HeaderRows()) * rh, clientWidth_, clientHeight_});
  canvas.Brush.Style = tk::BrushStyle::Clear;
  if (hasFocus() && focusedIndex_ >= topIndex_ && focusedIndex_ < topIndex_ + shown) {
    const tk::Rect row = ItemRect(focusedIndex_);
    if (Meets(row, clipBox_)) {
      canvas.Pen.Color = DoOnIsSelected(focusedIndex_) ? selectColor_.TextColor() : Font().Color();
      canvas.DrawFocusRect(row);
    }
  }
}

void TVxCustomVirtualListBox::PaintHeader(tk::Canvas& canvas) {
  const int rh = rowHeight_;
  const int cw = clientWidth_;
  canvas.Brush = tk::Brush{headerColor_.BackColor(), tk::BrushStyle::Solid};
  canvas.FillRect({0, 0, cw, rh});
  const std::string text =
      hOffset_ < static_cast<int>(header_.size()) ? header_.substr(static_cast<std::size_t>(hOffset_)) : " ";
  canvas.Font.SetColor(headerColor_.TextColor());
  canvas.Brush.Style = tk::BrushStyle::Clear;
  const int y = (rh - canvas.TextHeight("Wy")) / 2;
  if (useTabStops_)
    WriteText(canvas, 2, y, text, 2);
  else
    canvas.TextOut(2, y, text);
  canvas.Pen.Color = tk::clBlack;
  canvas.MoveTo(0, rh - 1);
  canvas.LineTo(cw, rh - 1);
  canvas.MoveTo(cw - 1, 0);
  canvas.LineTo(cw - 1, rh);
  if (ctl3D_) {
    canvas.Pen.Color = tk::clBtnHighlight;
    canvas.MoveTo(0, 0);
    canvas.LineTo(cw - 1, 0);
    canvas.MoveTo(0, 0);
    canvas.LineTo(0, rh - 1);
  }
  canvas.Font.SetColor(Font().Color());
}

// Tabbed text: each tab moves to the next stop after the pen, stops measured from `tabOrigin`. Without
// stops a tab is eight average characters wide; one stop sets that width; past the last stop the default
// width goes on.
void TVxCustomVirtualListBox::WriteText(tk::Canvas& canvas, int x, int y, const std::string& text, int tabOrigin) {
  const int defaultWidth = std::max(1, 8 * QFontMetrics(canvas.Font.Q()).averageCharWidth());
  const int every = tabStops_.size() == 1 && tabStops_[0] > 0 ? tabStops_[0] : defaultWidth;
  int pen = x;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = text.find('\t', start);
    const std::string part = text.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
    if (!part.empty()) {
      canvas.TextOut(pen, y, part);
      pen += canvas.TextWidth(part);
    }
    if (tab == std::string::npos) return;
    const int relative = pen - tabOrigin;
    int next = -1;
    if (tabStops_.size() > 1)
      for (int stop : tabStops_)
        if (stop > relative) {
          next = stop;
          break;
        }
    if (next < 0) {
      const int base = tabStops_.size() > 1 ? std::max(0, tabStops_.back()) : 0;
      next = relative < base ? base : base + ((relative - base) / every + 1) * every;
    }
    pen = tabOrigin + next;
    start = tab + 1;
  }
}

void TVxCustomVirtualListBox::ScrollArea(tk::Rect area, int distance, bool smooth) {
  area = Intersection(area, ClientRect());
  if (area.Empty() || distance == 0) return;
  const int magnitude = std::abs(distance);
  if (magnitude >= area.Height() || Updating() || surface_.size() != QSize(clientWidth_, clientHeight_)) {
    InvalidateRect(area);
    return;
  }
  const QRect box = area.ToQRect();
  const int sign = distance > 0 ? 1 : -1;
  const int step = smooth ? std::max(magnitude / 4, std::min(2, magnitude)) : magnitude;
  const QColor background = tk::ToQColor(Color());
  int moved = 0;
  blitOnly_ = true;
  while (moved < magnitude) {
    const int part = std::min(step, magnitude - moved);
    ShiftPixels(surface_, box, sign * part);
    moved += part;
    const QRect uncovered = sign > 0 ? QRect(box.left(), box.top(), box.width(), moved)
                                     : QRect(box.left(), box.bottom() + 1 - moved, box.width(), moved);
    QPainter(&surface_).fillRect(uncovered, background);
    if (smooth && moved < magnitude) {
      ownPaint_ |= box;
      UpdateWindow();
    }
  }
  blitOnly_ = false;
  // What waited to be painted moved with the content.
  const QRegion inside = dirty_ & box;
  dirty_ -= inside;
  dirty_ |= inside.translated(0, distance) & box;
  InvalidateRect(sign > 0 ? tk::Rect{area.Left, area.Top, area.Right, area.Top + magnitude}
                          : tk::Rect{area.Left, area.Bottom - magnitude, area.Right, area.Bottom});
  ShowSurface(box);
}

// top index and scrolling

void TVxCustomVirtualListBox::SetTopIndex(std::int32_t index) {
  if (Designing() || index == topIndex_) return;
  ForceTopIndex(index, false);
}

void TVxCustomVirtualListBox::ForceTopIndex(std::int32_t index, bool tracking) {
  if (index < 0 || index > LastIndex()) return;
  std::int64_t top = index;
  if (top + rows_ - 1 > LastIndex()) top = static_cast<std::int64_t>(LastIndex()) - rows_ + 1;
  if (top < 0) top = 0;
  if (top == topIndex_) return;
  const std::int32_t old = topIndex_;
  topIndex_ = static_cast<std::int32_t>(top);
  UpdateScrollPositions();
  const std::int64_t rowsMoved = static_cast<std::int64_t>(old) - topIndex_;
  const tk::Rect area = ItemArea();
  if (std::abs(rowsMoved) < rows_)
    ScrollArea(area, static_cast<int>(rowsMoved) * rowHeight_, smoothScroll_ && !tracking);
  else
    InvalidateRect(area);
  DoOnTopIndexChanged(topIndex_);
  SetFocusedIndex(itemIndex_);
}

void TVxCustomVirtualListBox::StepTopIndex(std::int64_t delta) {
  std::int64_t next = static_cast<std::int64_t>(topIndex_) + delta;
  if (next < 0) next = 0;
  std::int64_t highest = static_cast<std::int64_t>(LastIndex()) - (rows_ - 1);
  if (highest < 0) highest = 0;
  if (next > highest) next = highest;
  SetTopIndex(static_cast<std::int32_t>(next));
}

void TVxCustomVirtualListBox::SetHorizontalOffset(int offset) {
  offset = std::clamp(offset, 0, static_cast<int>(columns_));
  if (offset == hOffset_) return;
  hOffset_ = offset;
  UpdateScrollPositions();
  Invalidate();
}

void TVxCustomVirtualListBox::VScroll(std::uint16_t code, int position) {
  switch (code) {
    case SB_LINEUP:
      StepTopIndex(-1);
      break;
    case SB_LINEDOWN:
      StepTopIndex(1);
      break;
    case SB_PAGEUP:
      StepTopIndex(-(rows_ - 1));
      break;
    case SB_PAGEDOWN:
      StepTopIndex(rows_ - 1);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      ForceTopIndex(position == 0 ? 0 : position * scrollDivisor_, true);
      break;
    default:
      break;
  }
}

void TVxCustomVirtualListBox::HScroll(std::uint16_t code, int position) {
  switch (code) {
    case SB_LINEUP:
      SetHorizontalOffset(hOffset_ - 1);
      break;
    case SB_LINEDOWN:
      SetHorizontalOffset(hOffset_ + 1);
      break;
    case SB_PAGEUP:
      SetHorizontalOffset(hOffset_ - 10);
      break;
    case SB_PAGEDOWN:
      SetHorizontalOffset(hOffset_ + 10);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      SetHorizontalOffset(position);
      break;
    default:
      break;
  }
}

void TVxCustomVirtualListBox::OnScrollAction(bool vertical, int action) {
  QScrollBar* bar = vertical ? vertical_ : horizontal_;
  std::uint16_t code = SB_ENDSCROLL;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINEUP;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      code = SB_THUMBTRACK;
      break;
    default:
      break;
  }
  const int position = bar->sliderPosition() & 0xFFFF;
  tk::Guarded([&] {
    tk::SendMessage(*this, vertical ? WM_VSCROLL : WM_HSCROLL, code | static_cast<std::uintptr_t>(position) << 16);
  });
  // The bar shows where the list went, not where the action alone would have put it.
  const QSignalBlocker block(bar);
  bar->setSliderPosition(vertical ? topIndex_ / std::max(1, scrollDivisor_) : hOffset_);
}

void TVxCustomVirtualListBox::Scroll(int hDelta, int vDelta) {
  if (hDelta != 0) SetHorizontalOffset(hOffset_ + hDelta);
  if (vDelta != 0) StepTopIndex(vDelta);
}

void TVxCustomVirtualListBox::CenterLine(std::int32_t index) {
  // Near the top the list cannot centre the line; it starts at the first item instead.
  if (index != -1) SetTopIndex(std::max(0, index - rows_ / 2));
}

void TVxCustomVirtualListBox::DoOnMouseWheel(tk::ShiftState shift, int delta, int x, int y) {
  TVxCustomControlEx::DoOnMouseWheel(shift, delta, x, y);
  if (delta == 0) return;
  for (int i = 0; i < 3; ++i) tk::SendMessage(*this, WM_VSCROLL, delta < 0 ? SB_LINEDOWN : SB_LINEUP);
}

// items and selection

void TVxCustomVirtualListBox::SetFocusedIndex(std::int32_t index) {
  if (index == focusedIndex_) return;
  InvalidateItem(focusedIndex_);
  focusedIndex_ = index;
  InvalidateItem(focusedIndex_);
}

void TVxCustomVirtualListBox::MakeVisible(std::int32_t index) {
  if (index < topIndex_)
    SetTopIndex(index);
  else if (static_cast<std::int64_t>(index) > static_cast<std::int64_t>(topIndex_) + rows_ - 1)
    SetTopIndex(std::max(0, index - (rows_ - 1)));
}

void TVxCustomVirtualListBox::SetItemIndex(std::int32_t index) {
  if (index > LastIndex()) index = LastIndex();
  if (index < -1) index = -1;
  if (index == itemIndex_) return;
  const std::int32_t old = itemIndex_;
  if (old != -1) {
    InvalidateItem(old);
    DoOnSelect(old, false);
  }
  itemIndex_ = index;
  SetFocusedIndex(-1);
  UpdateWindow();
  if (Designing()) return;
  if (index != -1) {
    MakeVisible(index);
    DoOnSelect(index, true);
  }
  SetFocusedIndex(itemIndex_);
  DrawItem(itemIndex_);
  if (!capturing_) SimulatedClick();
}

void TVxCustomVirtualListBox::SelectAllItems(bool selected) {
  const std::int64_t left = std::max<std::int64_t>(0, static_cast<std::int64_t>(numItems_) - topIndex_);
  const int shown = static_cast<int>(std::min<std::int64_t>(rows_, left));
  for (int i = 0; i < shown; ++i)
    if (DoOnIsSelected(topIndex_ + i) != selected) InvalidateItem(topIndex_ + i);
  DoOnSelect(-1, selected);
}

void TVxCustomVirtualListBox::SelectRange(std::int32_t from, std::int32_t to, bool selected) {
  const std::int32_t step = from <= to ? 1 : -1;
  for (std::int32_t i = from;; i += step) {
    DoOnSelect(i, selected);
    InvalidateItem(i);
    if (i == to) break;
  }
}

void TVxCustomVirtualListBox::ExtendTo(std::int32_t index) {
  index = std::clamp(index, 0, std::max(0, LastIndex()));
  if (anchor_ < 0) anchor_ = itemIndex_ >= 0 ? itemIndex_ : index;
  SelectAllItems(false);
  SelectRange(anchor_, index, true);
  itemIndex_ = index;
  SetFocusedIndex(index);
  UpdateWindow();
}

void TVxCustomVirtualListBox::ToggleItem(std::int32_t index) {
  if (!IsValidIndex(index)) return;
  DoOnSelect(index, !DoOnIsSelected(index));
  SetFocusedIndex(index);
  DrawItem(index);
  itemIndex_ = anchor_ = index;
}

void TVxCustomVirtualListBox::MakeActive(std::int32_t index) {
  index = std::clamp(index, 0, std::max(0, LastIndex()));
  itemIndex_ = index;
  MakeVisible(index);
  DoOnSelect(index, true);
  InvalidateItem(index);
}

void TVxCustomVirtualListBox::DragSelection(std::int32_t from, std::int32_t to) {
  MakeActive(to);
  const std::int32_t low = std::min(from, to), high = std::max(from, to);
  const std::int64_t left = std::max<std::int64_t>(0, static_cast<std::int64_t>(numItems_) - topIndex_);
  const int shown = static_cast<int>(std::min<std::int64_t>(rows_, left));
  for (int i = 0; i < shown; ++i) {
    const std::int32_t index = topIndex_ + i;
    if ((index < low || index > high) && DoOnIsSelected(index)) InvalidateItem(index);
  }
  DoOnSelect(-1, false);
  SelectRange(from, to, true);
  SetFocusedIndex(to);
  UpdateWindow();
}

void TVxCustomVirtualListBox::MoveTo(std::int32_t index) {
  DeselectAll();
  SetItemIndex(index);
  anchor_ = index;
}

void TVxCustomVirtualListBox::InsertItemsAt(std::int32_t count, std::int32_t index) {
  // Only as many as still fit, so neither the count nor the item index can pass the maximum.
  count = std::min(count, MaxItems - numItems_);
  if (count <= 0) return;
  index = std::clamp(index, 0, numItems_);
  const std::int32_t remembered = itemIndex_;
  itemIndex_ = -1;
  SetCount(numItems_ + count);
  if (!Updating() && static_cast<std::int64_t>(index) - topIndex_ < rows_) {
    tk::Rect area = ItemArea();
    if (index >= topIndex_) area.Top = ItemRect(index).Top;
    ScrollArea(area, static_cast<int>(std::min<std::int64_t>(count, rows_)) * rowHeight_, false);
    if (index < topIndex_) UpdateWindow();
  }
  itemIndex_ = remembered != -1 && index <= remembered ? remembered + count : remembered;
  SetFocusedIndex(itemIndex_);
}

void TVxCustomVirtualListBox::DeleteItemsAt(std::int32_t count, std::int32_t index) {
  // Only items that exist: at most those from the index to the end.
  if (index < 0) index = 0;
  if (index >= numItems_) return;
  count = std::min(count, numItems_ - index);
  if (count <= 0) return;
  const std::int32_t remembered = itemIndex_;
  itemIndex_ = -1;
  if (!Updating()) UpdateWindow();
  SetCount(numItems_ - count);
  if (!Updating() && static_cast<std::int64_t>(index) - topIndex_ < rows_) {
    tk::Rect area = ItemArea();
    if (index >= topIndex_) area.Top = ItemRect(index).Top;
    ScrollArea(area, -static_cast<int>(std::min<std::int64_t>(count, rows_)) * rowHeight_, false);
    UpdateWindow();
  }
  std::int32_t next = remembered;
  if (remembered >= index && static_cast<std::int64_t>(remembered) >= static_cast<std::int64_t>(index) + count)
    next = remembered - count;
  else if (remembered >= index)
    next = -1;
  SetItemIndex(next);
  if (static_cast<std::int64_t>(topIndex_) + rows_ <= numItems_)
    ForceTopIndex(topIndex_, false);
  else
    ForceTopIndex(numItems_ - 1, true);
}

std::int32_t TVxCustomVirtualListBox::ItemAtPos(tk::Point point, bool existingOnly) const {
  if (showHeader_ && point.Y < rowHeight_) return existingOnly ? -1 : 0;
  if (point.Y < clientHeight_) {
    int row = point.Y / rowHeight_;
    if (clientHeight_ % rowHeight_ != 0) row = std::min(row, clientHeight_ / rowHeight_ - 1);
    const std::int64_t index = static_cast<std::int64_t>(row) + topIndex_ - HeaderRows();
    if (index > LastIndex()) return existingOnly ? -1 : numItems_;
    return static_cast<std::int32_t>(index);
  }
  return existingOnly ? -1 : LastIndex();
}

void TVxCustomVirtualListBox::SetTabStops(const std::vector<int>& stops) {
  HandleNeeded();
  tabStops_.clear();
  for (std::size_t i = 0; i < stops.size() && i < static_cast<std::size_t>(MaxTabStops); ++i)
    tabStops_.push_back(stops[i] * dialogUnitWidth_);
  if (useTabStops_) Invalidate();
}

// events and overridable steps

void TVxCustomVirtualListBox::DoOnDrawItem(std::int32_t index, const tk::Rect& rect, const std::string& s) {
  if (OnDrawItem) OnDrawItem(this, index, rect, s);
}

std::string TVxCustomVirtualListBox::DoOnGetItem(std::int32_t index) {
  if (OnGetItem) {
    std::string s;
    OnGetItem(this, index, s);
    return s;
  }
  char text[80];
  std::snprintf(text, sizeof text,
                Designing() ? "%d. - Sample virtual list box item" : "%d. *** Warning *** OnGetItem not assigned!",
                index);
  return text;
}

void TVxCustomVirtualListBox::DoOnGetItemColor(std::int32_t index, tk::TColor& fg, tk::TColor& bg) {
  if (OnGetItemColor) OnGetItemColor(this, index, fg, bg);
}

bool TVxCustomVirtualListBox::DoOnGetItemStatus(std::int32_t index) {
  bool protect = false;
  if (OnGetItemStatus) OnGetItemStatus(this, index, protect);
  return protect;
}

bool TVxCustomVirtualListBox::DoOnIsSelected(std::int32_t index) {
  if (Designing()) return index == 0;
  bool selected = index == itemIndex_;
  if (multiSelect_) {
    if (!OnIsSelected) throw EOnIsSelectedNotAssigned();
    OnIsSelected(this, index, selected);
  }
  return selected;
}

void TVxCustomVirtualListBox::SimulatedClick() { Click(); }

void TVxCustomVirtualListBox::DoOnCharToItem(char ch, std::int32_t& index) {
  if (OnCharToItem) OnCharToItem(this, ch, index);
}

void TVxCustomVirtualListBox::DoOnClickHeader(tk::Point point) {
  if (OnClickHeader) OnClickHeader(this, point);
}

void TVxCustomVirtualListBox::DoOnSelect(std::int32_t index, bool selected) {
  if (!multiSelect_ || Designing()) return;
  if (!OnSelect) throw EOnSelectNotAssigned();
  if (selected && index != -1 && DoOnGetItemStatus(index)) return;
  OnSelect(this, index, selected);
}

void TVxCustomVirtualListBox::DoOnTopIndexChanged(std::int32_t newTopIndex) {
  if (OnTopIndexChanged) OnTopIndexChanged(this, newTopIndex);
}

void TVxCustomVirtualListBox::DoOnUserCommand(std::uint16_t command) {
  if (OnUserCommand) OnUserCommand(this, command);
}

// keys

bool TVxCustomVirtualListBox::DoCommand(std::uint16_t command) {
  const std::int32_t current = itemIndex_;
  const std::int32_t last = LastIndex();
  const bool horizontalBar = scrollBars_ == TVxScrollBars::ssHorizontal || scrollBars_ == TVxScrollBars::ssBoth;
  auto extend = [this](std::int32_t target) {
    MakeActive(target);
    ExtendTo(target);
  };
  switch (command) {
    case ccDown:
      if (current < last) MoveTo(current + 1);
      return true;
    case ccUp:
      if (current > 0) MoveTo(current - 1);
      return true;
    case ccHome:
      if (numItems_ > 0 && current != 0) MoveTo(0);
      return true;
    case ccEnd:
      if (numItems_ > 0 && current != last) MoveTo(last);
      return true;
    case ccNextPage: {
      std::int64_t target;
      if (rows_ == 1)
        target = std::min<std::int64_t>(static_cast<std::int64_t>(current) + 1, last);
      else if (static_cast<std::int64_t>(current) + rows_ - 1 > static_cast<std::int64_t>(last) - (rows_ - 1))
        target = last;
      else
        target = static_cast<std::int64_t>(current) + rows_ - 1;
      if (target != current) MoveTo(static_cast<std::int32_t>(target));
      return true;
    }
    case ccPrevPage: {
      const std::int32_t target = std::max(0, current - (rows_ == 1 ? 1 : rows_ - 1));
      if (numItems_ > 0 && target != current) MoveTo(target);
      return true;
    }
    case ccLeft:
      if (horizontalBar) {
        if (hOffset_ > 0) SetHorizontalOffset(hOffset_ - 1);
      } else if (current > 0) {
        MoveTo(current - 1);
      }
      return true;
    case ccRight:
      if (horizontalBar) {
        if (hOffset_ < columns_) SetHorizontalOffset(hOffset_ + 1);
      } else if (current < last) {
        MoveTo(current + 1);
      }
      return true;
    case ccExtendDown:
      if (!multiSelect_) return false;
      extend(current + 1);
      return true;
    case ccExtendUp:
      if (!multiSelect_) return false;
      extend(current - 1);
      return true;
    case ccExtendPgDn:
      if (!multiSelect_) return false;
      extend(static_cast<std::int32_t>(std::min<std::int64_t>(static_cast<std::int64_t>(current) + rows_ - 1, last)));
      return true;
    case ccExtendPgUp:
      if (!multiSelect_) return false;
      extend(current - (rows_ - 1));
      return true;
    case ccExtendEnd:
      if (!multiSelect_) return false;
      if (last > current) extend(last);
      return true;
    case ccExtendHome:
      if (!multiSelect_) return false;
      if (current > 0) extend(0);
      return true;
    default:
      if (command >= 256) {
        DoOnUserCommand(command);
        return true;
      }
      return false;
  }
}

void TVxCustomVirtualListBox::KeyDown(std::uint16_t& key, tk::ShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TVxCustomVirtualListBox::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TVxCustomVirtualListBox::WMKeyDown(std::uint16_t key, tk::ShiftState shift) {
  KeyDown(key, shift);
  if (key == 0 || !Controller()) return;
  DoCommand(Controller()->EntryCommands().TranslateKey(key, shift));
}

void TVxCustomVirtualListBox::WMChar(char ch) {
  KeyPress(ch);
  if (ch == 0) return;
  std::int32_t index = itemIndex_;
  DoOnCharToItem(ch, index);
  if (IsValidIndex(index)) SetItemIndex(index);
}

void TVxCustomVirtualListBox::keyPressEvent(QKeyEvent* event) {
  const std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers());
  const QString text = event->text();
  tk::Guarded([&] {
    if (key) WMKeyDown(key, shift);
    if (text.size() == 1 && text[0].unicode() > 0 && text[0].unicode() <= 0xFF)
      WMChar(static_cast<char>(text[0].unicode()));
  });
  event->accept();
}

void TVxCustomVirtualListBox::keyReleaseEvent(QKeyEvent* event) {
  std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers());
  tk::Guarded([&] {
    if (key && OnKeyUp) OnKeyUp(this, key, shift);
  });
  event->accept();
}

// mouse

void TVxCustomVirtualListBox::MouseDown(Qt::MouseButton button, tk::ShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TVxCustomVirtualListBox::MouseUp(Qt::MouseButton button, tk::ShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TVxCustomVirtualListBox::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

std::int32_t TVxCustomVirtualListBox::TrackedItem(tk::Point point) const {
  if (point.Y < ItemArea().Top) return std::max(0, topIndex_ - 1 + point.Y / rowHeight_);
  if (point.Y >= clientHeight_)
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(LastIndex(), static_cast<std::int64_t>(point.Y / rowHeight_) + topIndex_));
  return ItemAtPos(point, false);
}

void TVxCustomVirtualListBox::TrackPass(tk::Point point) {
  const std::int32_t index = TrackedItem(point);
  if (trackedLast_ == -2 || !multiSelect_) {
    SetItemIndex(index);
    anchor_ = itemIndex_;
  } else if (index != trackedLast_) {
    DragSelection(anchor_, index);
  }
  trackedLast_ = index;
}

void TVxCustomVirtualListBox::WMLButtonDown(tk::Point point, tk::ShiftState shift) {
  MouseDown(Qt::LeftButton, shift, point.X, point.Y);
  if (protectedClick_) return;
  if (!hasFocus() && focusPolicy() != Qt::NoFocus && isEnabled()) setFocus(Qt::MouseFocusReason);
  if (showHeader_ && point.Y < rowHeight_) {
    DoOnClickHeader(point);
    return;
  }
  if (numItems_ <= 0) return;
  if (multiSelect_ && (shift & tk::ssCtrl)) {
    ToggleItem(ItemAtPos(point, true));
    return;
  }
  if (multiSelect_ && (shift & tk::ssShift)) {
    ExtendTo(ItemAtPos(point, false));
    return;
  }
  DeselectAll();
  if (itemIndex_ != -1) {
    DoOnSelect(itemIndex_, true);
    SetFocusedIndex(itemIndex_);
  }
  tracking_ = true;
  trackedLast_ = -2;  // the first pass
  lastTrackPoint_ = point;
  TrackPass(point);
  if (tracking_) autoScroll_->start();
}

void TVxCustomVirtualListBox::WMLButtonUp(tk::Point point, tk::ShiftState shift) {
  tracking_ = false;
  autoScroll_->stop();
  capturing_ = false;
  MouseUp(Qt::LeftButton, shift, point.X, point.Y);
  const bool click = clicked_ && ClientRect().Contains(point);
  clicked_ = false;
  if (click) Click();
}

void TVxCustomVirtualListBox::mousePressEvent(QMouseEvent* event) {
  const tk::Point point = ToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  tk::Guarded([&] {
    if (event->button() != Qt::LeftButton) {
      MouseDown(event->button(), shift, point.X, point.Y);
      return;
    }
    // A press meant to leave another control is eaten while that control's error is on its way back.
    if (!hasFocus() && Controller() && Controller()->ErrorPending()) return;
    capturing_ = true;
    clicked_ = true;
    WMLButtonDown(point, shift);
  });
}

void TVxCustomVirtualListBox::mouseReleaseEvent(QMouseEvent* event) {
  const tk::Point point = ToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  tk::Guarded([&] {
    if (event->button() == Qt::LeftButton)
      WMLButtonUp(point, shift);
    else
      MouseUp(event->button(), shift, point.X, point.Y);
  });
}

void TVxCustomVirtualListBox::mouseMoveEvent(QMouseEvent* event) {
  const tk::Point point = ToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  tk::Guarded([&] {
    MouseMove(shift, point.X, point.Y);
    if (tracking_ && (event->buttons() & Qt::LeftButton)) {
      lastTrackPoint_ = point;
      TrackPass(point);
    }
  });
}

void TVxCustomVirtualListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  const tk::Point point = ToClient(event->position().toPoint());
  const tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons()) | tk::ssDouble;
  tk::Guarded([&] {
    if (event->button() != Qt::LeftButton) {
      MouseDown(event->button(), shift, point.X, point.Y);
      return;
    }
    if (showHeader_ && point.Y < rowHeight_) return;  // swallowed
    capturing_ = true;
    DblClick();
    MouseDown(Qt::LeftButton, shift, point.X, point.Y);
  });
}

// window procedure

void TVxCustomVirtualListBox::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case tk::WM_GETDLGCODE:
      message.Result = tk::DLGC_WANTARROWS | tk::DLGC_WANTCHARS;
      return;
    case tk::CM_FONTCHANGED:
      vlbCalcFontFields();
      AfterResize();
      Invalidate();
      return;
    case tk::CM_COLORCHANGED:
      Invalidate();
      return;
    case tk::WM_SETFOCUS:
    case tk::WM_KILLFOCUS:
      TVxCustomControlEx::Dispatch(message);
      InvalidateItem(focusedIndex_);
      return;
    case WM_VSCROLL:
      VScroll(static_cast<std::uint16_t>(message.WParam & 0xFFFF), static_cast<int>((message.WParam >> 16) & 0xFFFF));
      return;
    case WM_HSCROLL:
      HScroll(static_cast<std::uint16_t>(message.WParam & 0xFFFF), static_cast<int>((message.WParam >> 16) & 0xFFFF));
      return;
    case LB_GETCARETINDEX:
    case LB_GETCOUNT:
    case LB_GETCURSEL:
    case LB_GETITEMHEIGHT:
    case LB_GETITEMRECT:
    case LB_GETSEL:
    case LB_GETTOPINDEX:
    case LB_RESETCONTENT:
    case LB_SELITEMRANGE:
    case LB_SETCURSEL:
    case LB_SETSEL:
    case LB_SETTABSTOPS:
    case LB_SETTOPINDEX:
      message.Result = ListBoxMessage(message);
      return;
    default:
      TVxCustomControlEx::Dispatch(message);
  }
}

std::intptr_t TVxCustomVirtualListBox::ListBoxMessage(const tk::Message& message) {
  const auto wordIndex = static_cast<std::int32_t>(message.WParam);
  switch (message.Msg) {
    case LB_GETCARETINDEX:
      return focusedIndex_;
    case LB_GETCOUNT:
      return numItems_;
    case LB_GETCURSEL:
      return itemIndex_;
    case LB_GETITEMHEIGHT:
      return rowHeight_;
    case LB_GETITEMRECT:
      if (!IsValidIndex(wordIndex) || message.LParam == 0) return -1;
      *reinterpret_cast<tk::Rect*>(message.LParam) = ItemRect(wordIndex);
      return 0;
    case LB_GETSEL:
      if (!IsValidIndex(wordIndex)) return -1;
      return DoOnIsSelected(wordIndex) ? 1 : 0;
    case LB_GETTOPINDEX:
      return topIndex_;
    case LB_RESETCONTENT:
      SetNumItems(0);
      return 0;
    case LB_SELITEMRANGE: {
      const auto low = static_cast<std::int32_t>(message.LParam & 0xFFFF);
      const auto high = static_cast<std::int32_t>((message.LParam >> 16) & 0xFFFF);
      if (!multiSelect_ || low > LastIndex() || high > LastIndex()) return -1;
      SelectRange(low, high, message.WParam > 0);
      return 0;
    }
    case LB_SETCURSEL:
      if (multiSelect_ || wordIndex < -1 || wordIndex > LastIndex()) return -1;
      SetItemIndex(wordIndex);
      return wordIndex == -1 ? -1 : 0;
    case LB_SETSEL: {
      const auto index = static_cast<std::int32_t>(message.LParam);
      if (!multiSelect_ || index < -1 || index > LastIndex()) return -1;
      if (index == -1) {
        SelectAllItems(message.WParam > 0);
      } else {
        DoOnSelect(index, message.WParam > 0);
        InvalidateItem(index);
      }
      return 0;
    }
    case LB_SETTABSTOPS: {
      const auto* values = reinterpret_cast<const int*>(message.LParam);
      const std::size_t count = values ? message.WParam : 0;
      tabStops_.clear();
      for (std::size_t i = 0; i < count && i < static_cast<std::size_t>(MaxTabStops); ++i)
        tabStops_.push_back(values[i] * dialogUnitWidth_);
      if (useTabStops_) Invalidate();
      return count <= static_cast<std::size_t>(MaxTabStops) ? 1 : 0;
    }
    case LB_SETTOPINDEX:
      if (!IsValidIndex(wordIndex)) return -1;
      SetTopIndex(wordIndex);
      return 0;
    default:
      return 0;
  }
}

}  // namespace controls
