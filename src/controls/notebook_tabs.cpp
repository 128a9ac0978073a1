#include "controls/notebook_tabs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "controls/library_data.h"
#include "controls/misc.h"
#include "controls/notebook.h"

namespace controls {

namespace {

using S = TVxTabOrientation;

constexpr int SSampleText = 30282;

bool SideTabs(S side) { return side == S::toRight || side == S::toLeft; }

}  // namespace

// layout

int TVxTabLayout::StripLength() const { return SideTabs(Side) ? Height - 4 : Width - 4; }

void TVxTabLayout::Run() {
  if (TabAutoHeight) {
    int height = std::max(ControlFontHeight, ActiveFontHeight) + 4;
    for (const TVxTabEntry& tab : Tabs) height = std::max(height, tab.FontHeight + 4);
    TabHeight = height;
  } else if (TabHeight == 0) {
    return;
  }
  if (Tabs.empty()) return;
  MeasureLengths();
  if (TabRowCount > 0)
    RowsByCount();
  else
    RowsByFit();
  if (PageIndex >= 0 && PageIndex < static_cast<int>(Tabs.size()))
    ActiveRow = Tabs[static_cast<std::size_t>(PageIndex)].Row;
  if (OldStyle) Justify();
  LastRow = Rows - 1;
}

void TVxTabLayout::MeasureLengths() {
  if (OldStyle) {
    // The 12 goes on once per shown tab, so the common length grows with their number.
    int common = 20;
    for (const TVxTabEntry& tab : Tabs)
      if (tab.Shown) common = std::max(std::max(common, tab.ActiveFontWidth), tab.FontWidth) + 12;
    for (TVxTabEntry& tab : Tabs) tab.Length = tab.Shown ? common : 0;
    return;
  }
  for (TVxTabEntry& tab : Tabs)
    tab.Length = tab.Shown ? std::max(std::max(tab.ActiveFontWidth, tab.FontWidth) + 12, 20) : 0;
}

void TVxTabLayout::RowsByCount() {
  const int count = static_cast<int>(Tabs.size());
  // At most a row per page: a row count left over from deleted pages would leave rows empty.
  Rows = std::min(TabRowCount, count);
  const int perRow = count / Rows;
  int row = 0, left = perRow, i = 0;
  for (; i < count && row < Rows; ++i) {
    TVxTabEntry& tab = Tabs[static_cast<std::size_t>(i)];
    if (!tab.Shown) continue;
    tab.Row = row;
    if (--left == 0) {
      ++row;
      left = perRow;
    }
  }
  // What the even split leaves over goes one to a row from the first.
  for (int extra = 0; i < count; ++i)
    if (Tabs[static_cast<std::size_t>(i)].Shown) Tabs[static_cast<std::size_t>(i)].Row = extra++;
}

void TVxTabLayout::RowsByFit() {
  const std::size_t count = Tabs.size();
  const int room = StripLength();
  Rows = 0;
  std::size_t i = 0;
  while (i < count) {
    ++Rows;
    int sum = 0;
    // A row takes its first tab however long it is.
    do {
      TVxTabEntry& tab = Tabs[i++];
      if (!tab.Shown) continue;
      sum += tab.Length;
      tab.Row = Rows - 1;
    } while (i < count && sum + Tabs[i].Length <= room);
  }
}

void TVxTabLayout::Justify() {
  const int room = StripLength();
  int empty = 0;
  for (int row = 0; row < Rows; ++row) {
    int sum = 0, n = 0;
    for (const TVxTabEntry& tab : Tabs)
      if (tab.Shown && tab.Row == row) sum += tab.Length, ++n;
    if (n == 0) {
      ++empty;
      continue;
    }
    const int d = room - sum;
    const int step = std::abs(d) / n, rest = std::abs(d) % n, sign = d > 0 ? 1 : -1;
    int k = 0;
    for (TVxTabEntry& tab : Tabs)
      if (tab.Shown && tab.Row == row) tab.Length += sign * (step + (k++ < rest ? 1 : 0));
  }
  Rows -= empty;
}

std::vector<TVxPlacedTab> TVxTabLayout::Place() const {
  std::vector<TVxPlacedTab> placed;
  if (Rows <= 0 || TabHeight <= 0) return placed;
  const int th = TabHeight;
  for (int k = 0; k < Rows; ++k) {
    const int row = ((ActiveRow + 1 + k) % Rows + Rows) % Rows;
    int along = Side == S::toLeft ? Height - 2 : 2;
    bool first = true;
    for (std::size_t i = 0; i < Tabs.size(); ++i) {
      const TVxTabEntry& tab = Tabs[i];
      if (!tab.Shown || tab.Row != row) continue;
      const int len = tab.Length;
      tk::Rect r;
      switch (Side) {
        case S::toTop:
          r = {along, 2 + k * th, along + len, 2 + (k + 1) * th};
          along += len;
          break;
        case S::toBottom:
          r = {along, Height - 3 - (k + 1) * th, along + len, Height - 3 - k * th};
          along += len;
          break;
        case S::toRight:
          r = {Width - 2 - (k + 1) * th, along, Width - 2 - k * th, along + len};
          along += len;
          break;
        case S::toLeft:
          r = {2 + k * th, along - len, 2 + (k + 1) * th, along};
          along -= len;
          break;
      }
      placed.push_back({static_cast<int>(i), r, k == 0, first});
      first = false;
    }
  }
  return placed;
}

// geometry

tk::Rect NotebookPageRect(TVxTabOrientation side, int width, int height, int tabHeight, int rows) {
  if (tabHeight == 0) return {0, 0, width, height};
  const int strip = tabHeight * rows;
  switch (side) {
    case S::toTop:
      return tk::Bounds(1, strip + 3, width - 3, height - (strip + 3) - 2);
    case S::toRight:
      return tk::Bounds(1, 1, width - (strip + 2) - 2, height - 3);
    case S::toBottom:
      return tk::Bounds(1, 1, width - 3, height - strip - 5);
    case S::toLeft:
      return tk::Bounds(strip + 3, 1, width - (strip + 3) - 2, height - 3);
  }
  return {};
}

tk::Rect EnlargedTabRect(TVxTabOrientation side, const tk::Rect& tab) {
  tk::Rect r = tab.Inflate(2, 2);
  switch (side) {
    case S::toTop:
      r.Bottom -= 2;
      break;
    case S::toBottom:
      r.Top += 2;
      break;
    case S::toRight:
      r.Left += 2;
      break;
    case S::toLeft:
      r.Right -= 2;
      r.Bottom -= 1;
      break;
  }
  return r;
}

tk::Rect TabTextArea(TVxTabOrientation side, const tk::Rect& tab, int tabHeight) {
  if (tabHeight == 0) return {};
  tk::Rect r = tab;
  switch (side) {
    case S::toTop:
      return {r.Left + 6 - 1, r.Top + 3, r.Right - 6, r.Bottom};
    case S::toRight:
      return {r.Left, r.Top + 6 - 1, r.Right - 3, r.Bottom - 6};
    case S::toBottom:
      return {r.Left + 6 - 1, r.Top, r.Right - 6, r.Bottom + 3};
    case S::toLeft:
      return {r.Left - 3, r.Top + 6 - 1, r.Right, r.Bottom - 6};
  }
  return r;
}

tk::Rect TabFocusRect(TVxTabOrientation side, const tk::Rect& a) {
  switch (side) {
    case S::toTop:
      return {a.Left - 4, a.Top - 2, a.Right + 4, a.Bottom - 2};
    case S::toRight:
      return {a.Left + 1, a.Top - 4, a.Right + 2, a.Bottom + 4};
    case S::toBottom:
      return {a.Left - 4, a.Top + 2, a.Right + 4, a.Bottom - 3};
    case S::toLeft:
      return {a.Left + 4, a.Top - 4, a.Right - 1, a.Bottom + 4};
  }
  return a;
}

tk::Rect TabInvalidRect(TVxTabOrientation side, const tk::Rect& tab) {
  tk::Rect r = tab;
  switch (side) {
    case S::toTop:
      r.Bottom += 5;
      break;
    case S::toRight:
      r.Left -= 5;
      break;
    case S::toBottom:
      r.Top -= 5;
      break;
    case S::toLeft:
      r.Right += 5;
      break;
  }
  return r;
}

tk::Point NeighbourRowPoint(TVxTabOrientation side, const tk::Rect& tab, int tabHeight, int tabLength) {
  switch (side) {
    case S::toTop:
      return {tab.Left + tabLength / 2, tab.Top - tabHeight / 2};
    case S::toBottom:
      return {tab.Left + tabLength / 2, tab.Bottom + tabHeight / 2};
    case S::toRight:
      return {tab.Right + tabHeight / 2, tab.Top + tabLength / 2};
    case S::toLeft:
      return {tab.Left - tabHeight / 2, tab.Top + tabLength / 2};
  }
  return {};
}

TVxTabCaption ParseTabCaption(const std::string& caption) {
  TVxTabCaption out;
  const std::size_t amp = caption.find('&');
  if (amp == std::string::npos) {
    out.Text = caption;
  } else {
    out.Text = caption.substr(0, amp) + caption.substr(amp + 1);
    const bool doubled = amp + 1 < caption.size() && caption[amp + 1] == '&';
    if (!doubled && amp < out.Text.size()) out.AccelPos = static_cast<int>(amp);
  }
  if (out.Text.empty()) out.Text = " ";
  return out;
}

char TabAccelerator(const std::string& caption) {
  TVxTabCaption parsed = ParseTabCaption(caption);
  return parsed.AccelPos < 0 ? '\0' : parsed.Text[static_cast<std::size_t>(parsed.AccelPos)];
}

// painting

TVxTabPainter::TVxTabPainter(TVxNotebook& notebook, tk::Canvas& canvas, const TVxTabLayout& layout)
    : nb_(notebook),
      c_(canvas),
      layout_(layout),
      side_(notebook.TabOrientation()),
      w_(notebook.Width()),
      h_(notebook.Height()),
      th_(layout.TabHeight) {}

void TVxTabPainter::Fill(const tk::Rect& r, tk::TColor color) {
  c_.Brush.Color = color;
  c_.Brush.Style = tk::BrushStyle::Solid;
  c_.FillRect(
      {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right), std::max(r.Top, r.Bottom)});
}

void TVxTabPainter::Polyline(std::initializer_list<tk::Point> points, tk::TColor color) {
  c_.Pen.Color = color;
  auto p = points.begin();
  c_.MoveTo(p->X, p->Y);
  for (++p; p != points.end(); ++p) c_.LineTo(p->X, p->Y);
}

void TVxTabPainter::Polygon(std::initializer_list<tk::Point> points, tk::TColor color) {
  const std::vector<tk::Point> p(points);
  int top = p[0].Y, bottom = p[0].Y;
  for (const tk::Point& q : p) top = std::min(top, q.Y), bottom = std::max(bottom, q.Y);
  c_.Brush.Color = color;
  c_.Brush.Style = tk::BrushStyle::Solid;
  // The inside: the pixels whose centres lie between crossings of each scan line, alternating.
  for (int y = top; y <= bottom; ++y) {
    const double scan = y + 0.5;
    std::vector<double> xs;
    for (std::size_t i = 0; i < p.size(); ++i) {
      const tk::Point& a = p[i];
      const tk::Point& b = p[(i + 1) % p.size()];
      if ((a.Y <= scan) == (b.Y <= scan)) continue;
      xs.push_back(a.X + (scan - a.Y) * (b.X - a.X) / (b.Y - a.Y));
    }
    std::sort(xs.begin(), xs.end());
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
      const int from = static_cast<int>(std::ceil(xs[i] - 0.5)), to = static_cast<int>(std::ceil(xs[i + 1] - 0.5));
      if (to > from) c_.FillRect({from, y, to, y + 1});
    }
  }
  // The outline, every vertex included.
  c_.Pen.Color = color;
  c_.MoveTo(p[0].X, p[0].Y);
  for (std::size_t i = 1; i <= p.size(); ++i) c_.LineTo(p[i % p.size()].X, p[i % p.size()].Y);
}

void TVxTabPainter::FillStrip() {
  const int strip = th_ * layout_.Rows;
  const bool old = nb_.OldStyle();
  const tk::TColor bg = background_;
  switch (side_) {
    case S::toTop:
      if (!old) {
        Fill({0, 2, w_, strip + 2}, bg);
      } else {
        Fill({0, 0, 2, strip + 2}, bg);
        Fill({w_ - 2, 0, w_, strip + 2}, bg);
      }
      Fill({0, 0, w_, 2}, bg);
      break;
    case S::toBottom:
      if (!old) {
        Fill({0, h_ - 2 - strip, w_, h_ - 2}, bg);
      } else {
        Fill({0, h_ - strip - 2, 2, h_}, bg);
        Fill({w_ - 2, h_ - strip - 2, w_, h_}, bg);
      }
      Fill({0, h_ - 2, w_, h_}, bg);
      break;
    case S::toRight:
      if (!old) {
        Fill({w_ - 2 - strip, 0, w_ - 2, h_}, bg);
      } else {
        Fill({w_ - strip - 2, 0, w_, 2}, bg);
        Fill({w_ - strip - 2, h_ - 2, w_, h_}, bg);
      }
      Fill({w_ - 2, 0, w_, h_}, bg);
      break;
    case S::toLeft:
      if (!old) {
        Fill({2, 0, strip + 2, h_}, bg);
      } else {
        Fill({0, 0, strip + 2, 2}, bg);
        Fill({0, h_ - 2, strip + 2, h_}, bg);
      }
      Fill({0, 0, 2, h_}, bg);
      break;
  }
}

void TVxTabPainter::Paint() {
  if (nb_.PageUsesTabColor())
    if (TVxTabPage* active = nb_.Pages(nb_.PageIndex())) nb_.SetColorInternally(active->TabColor());
  background_ = nb_.BackgroundColor();
  c_.Pen.Color = background_;
  FillStrip();
  c_.Font = nb_.Font();
  const int textHeight = c_.TextHeight(GetVxStr(SSampleText));
  offset_ = (th_ - textHeight) / 2;
  activeOffset_ = (th_ - textHeight + 2) / 2;

  // A tab that is not painted has no rectangle to hit.
  for (int i = 0; i < nb_.PageCount(); ++i) nb_.Pages(i)->SetTabRect({});
  const std::vector<TVxPlacedTab> placed = layout_.Place();
  const TVxPlacedTab* active = nullptr;
  for (const TVxPlacedTab& tab : placed) {
    if (!nb_.Pages(tab.Index)) continue;  // laid out for pages since deleted, while the notebook was hidden
    nb_.Pages(tab.Index)->SetTabRect(tab.Rect);
    PaintTab(tab, tab.Rect, false);
    if (tab.Index == nb_.PageIndex()) active = &tab;
  }
  if (!active) return;
  PaintTab(*active, EnlargedTabRect(side_, active->Rect), true);
  if (nb_.hasFocus() && nb_.IsValid(active->Index)) {
    c_.Pen.Color = tk::clBlack;
    c_.DrawFocusRect(TabFocusRect(side_, TabTextArea(side_, active->Rect, th_)));
  }
}

void TVxTabPainter::PaintTab(const TVxPlacedTab& placed, const tk::Rect& r, bool enlarged) {
  const TVxTabPage& page = *nb_.Pages(placed.Index);
  const bool active = placed.Index == nb_.PageIndex();
  const bool enabled = nb_.isEnabled() && page.Enabled();
  tk::Font font = page.Font();
  font.SetColor(page.TextColor());
  if (enlarged && nb_.UseActiveTabFont()) font = nb_.ActiveTabFont();
  if (SideTabs(side_)) font = CreateRotatedFont(font, side_ == S::toLeft ? 90 : 270);
  c_.Font = font;
  tabColor_ = page.TabColor();

  Outline(r, placed.FirstInRow, active);
  if (active) PageFrame(r);
  int offset = enlarged ? activeOffset_ : SideTabs(side_) ? offset_ - 1 : offset_;
  Caption(page, placed.Index, r, enabled, active, offset);
  Corners(r, placed.FirstRowPainted, placed.FirstInRow);
  c_.Pen.Color = background_;
  c_.Brush.Color = background_;
  c_.Brush.Style = tk::BrushStyle::Solid;
}

void TVxTabPainter::Outline(const tk::Rect& r, bool firstInRow, bool active) {
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  const tk::TColor hl = nb_.HighlightColor(), sh = nb_.ShadowColor(), black = tk::clBlack;
  const tk::TColor color = tabColor_;
  switch (side_) {
    case S::toTop:
      Polygon({{L, B}, {L, T + 2}, {L + 2, T}, {R - 4, T}, {R - 2, T + 2}, {R - 2, B}}, color);
      Polyline({{L, B - 1}, {L, T + 2}, {L + 2, T}, {R - 2, T}}, hl);
      Polyline({{R - 2, T + 1}, {R - 1, T + 2}, {R - 1, B}}, black);
      Polyline({{R - 2, T + 2}, {R - 2, B}}, sh);
      break;
    case S::toBottom:
      Polygon({{L + 1, T}, {L + 1, B - 2}, {L + 3, B - 1}, {R - 3, B - 1}, {R - 1, B - 3}, {R - 1, T}}, color);
      Polyline({{L, T + 1}, {L, B - 2}}, hl);
      Polyline({{R - 1, T}, {R - 1, B - 2}, {R - 3, B}, {L + 2, B}, {L, B - 2}}, black);
      Polyline({{R - 2, T}, {R - 2, B - 2}, {R - 3, B - 1}, {L + 2, B - 1}, {L, B - 2}}, sh);
      break;
    case S::toRight:
      Polygon({{L + 1, T}, {R - 2, T}, {R - 1, T + 2}, {R - 1, B - 3}, {R - 2, B - 1}, {L + 1, B - 1}}, color);
      Polyline({{L + 1, T}, {R - 2, T}, {R, T + 2}}, hl);
      Polyline({{R, T + 2}, {R, B - 2}, {R - 1, B - 2}, {R - 2, B - 1}, {L, B - 1}}, black);
      Polyline({{R - 1, T + 2}, {R - 1, B - 3}, {R - 2, B - 2}, {L, B - 2}}, sh);
      break;
    case S::toLeft:
      Polygon({{L + 2, T + 1}, {R, T + 1}, {R, B - 1}, {L + 2, B - 1}, {L, B - 2}, {L, T + 2}}, color);
      Polyline({{L, B - 2}, {L, T + 2}, {L + 2, T}, {R, T}}, hl);
      if (!firstInRow && !active) {
        Polyline({{L, B - 3}, {L + 2, B - 1}, {R, B - 1}}, black);
        Polyline({{L + 1, B - 3}, {L + 2, B - 2}, {R, B - 2}}, sh);
      } else {
        Polyline({{L, B - 2}, {L + 2, B}, {R, B}}, black);
        Polyline({{L + 1, B - 2}, {L + 2, B - 1}, {R, B - 1}}, sh);
      }
      break;
  }
}

void TVxTabPainter::PageFrame(const tk::Rect& r) {
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom, W = w_, H = h_;
  const tk::TColor own = nb_.Color(), hl = nb_.HighlightColor(), sh = nb_.ShadowColor(), black = tk::clBlack;
  switch (side_) {
    case S::toTop:
      Fill({L, B, R, B + 1}, own);
      Polyline({{L, B}, {0, B}, {0, H - 1}}, hl);
      Polyline({{R - 1, B}, {W - 2, B}}, hl);
      Polyline({{0, H - 1}, {W - 1, H - 1}, {W - 1, B - 1}}, black);
      Polyline({{1, H - 2}, {W - 2, H - 2}, {W - 2, B - 1}}, sh);
      break;
    case S::toBottom:
      Fill({L, T, R, T - 1}, own);
      Polyline({{L - 1, T}, {0, T}}, black);
      Polyline({{W - 1, 0}, {W - 1, T}, {R - 2, T}}, black);
      Polyline({{L - 1, T - 1}, {0, T - 1}}, sh);
      Polyline({{W - 2, 1}, {W - 2, T - 1}, {R - 2, T - 1}}, sh);
      c_.SetPixel(W - 2, T - 1, sh);
      Polyline({{0, T}, {0, 0}, {W, 0}}, hl);
      Polyline({{L, T}, {L, B}}, hl);
      c_.SetPixel(L + 1, T, own);
      break;
    case S::toRight:
      Fill({L - 1, T, L + 1, B}, own);
      Polyline({{L, 0}, {L, T}}, black);
      Polyline({{L, B - 1}, {L, H}}, black);
      Polyline({{0, H - 1}, {L, H - 1}}, black);
      Polyline({{L - 1, 0}, {L - 1, T - 1}}, sh);
      Polyline({{L - 1, B}, {L - 1, H - 1}}, sh);
      Polyline({{1, H - 2}, {L + 1, H - 2}}, sh);
      Polyline({{0, H - 1}, {0, 0}, {L + 1, 0}}, hl);
      break;
    case S::toLeft:
      Fill({R - 1, T, R + 2, B}, own);
      Polyline({{R, H - 1}, {W - 1, H - 1}, {W - 1, 0}}, black);
      Polyline({{R, H - 2}, {W - 2, H - 2}, {W - 2, 0}}, sh);
      Polyline({{R, B}, {R, H - 1}}, hl);
      Polyline({{R - 1, T}, {R, T}, {R, 0}, {W, 0}}, hl);
      break;
  }
}

void TVxTabPainter::Corners(const tk::Rect& r, bool firstRow, bool firstInRow) {
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  // Later rows take the colour of what lies beyond the corner: a tab of a row painted before.
  auto colorAt = [&](int x, int y) {
    if (firstRow) return background_;
    tk::TColor color = c_.Pixel(x, y);
    return color == tk::clNone ? background_ : color;
  };
  switch (side_) {
    case S::toTop:
      if (firstRow || !firstInRow) Polygon({{L, T}, {L + 1, T}, {L, T + 1}}, colorAt(L, T - 1));
      Polygon({{R, T}, {R - 2, T}, {R, T + 2}}, colorAt(R, T - 1));
      break;
    case S::toBottom:
      if (firstRow || !firstInRow) Polygon({{L, B}, {L + 1, B}, {L, B - 1}}, colorAt(L, B + 1));
      Polygon({{R, B}, {R - 2, B}, {R, B - 2}}, colorAt(R, B + 1));
      break;
    case S::toRight:
      if (firstRow || firstInRow) Polygon({{R, T}, {R - 1, T}, {R, T + 1}}, colorAt(R + 1, T));
      Polygon({{R, B}, {R, B - 2}, {R - 2, B}}, colorAt(R + 1, B));
      break;
    case S::toLeft:
      if (firstRow || firstInRow) Polygon({{L, T}, {L + 1, T}, {L, T + 1}}, colorAt(L - 1, T));
      Polygon({{L, B}, {L, B - 2}, {L + 2, B}}, colorAt(L - 1, B));
      break;
  }
}

void TVxTabPainter::Caption(const TVxTabPage& page, int index, const tk::Rect& r, bool enabled, bool active,
                            int offset) {
  if (nb_.OnDrawTab) {
    nb_.DoOnDrawTab(index, page.Caption(), TabTextArea(side_, r, th_), enabled, active);
    return;
  }
  if (c_.TextHeight(page.Caption()) > th_ - 4) return;
  c_.Brush.Color = tabColor_;
  const tk::TColor own = c_.Font.Color();
  if (SideTabs(side_))
    TurnedCaption(page.Caption(), r, enabled, offset);
  else
    LevelCaption(page.Caption(), r, enabled, offset);
  c_.Font.SetColor(own);
  c_.Brush.Style = tk::BrushStyle::Solid;
}

void TVxTabPainter::LevelCaption(const std::string& caption, const tk::Rect& r, bool enabled, int offset) {
  tk::Rect text{r.Left + 6, r.Top + offset, r.Right - 6, r.Bottom - offset};
  if (text.Right > w_ - 2) text.Right = w_ - 14;
  const tk::TColor own = c_.Font.Color();
  auto draw = [&](tk::Rect at, tk::TColor color, bool opaque) {
    c_.Font.SetColor(color);
    c_.Brush.Style = opaque ? tk::BrushStyle::Solid : tk::BrushStyle::Clear;
    c_.DrawText(caption, at, tk::DT_SINGLELINE | tk::DT_CENTER);
  };
  if (!enabled) {
    draw(text, nb_.HighlightColor(), true);
    draw(text.Offset(-2, -1), nb_.ShadowColor(), false);
  } else if (nb_.ShadowedText()) {
    draw(text, nb_.TextShadowColor(), true);
    draw(text.Offset(-2, -1), own, false);
  } else {
    draw(text, own, true);
  }
}

void TVxTabPainter::TurnedCaption(const std::string& caption, const tk::Rect& r, bool enabled, int offset) {
  const TVxTabCaption parsed = ParseTabCaption(caption);
  const bool left = side_ == S::toLeft;
  const int width = c_.TextWidth(parsed.Text);
  int last = r.Bottom - 6;
  if (last >= h_ - 2) last = h_ - 14;
  const int area = last - (r.Top + 6);
  const int centre = area > width ? (area - width) / 2 : 0;
  const int x = left ? r.Left + offset : r.Right - offset;
  const int y = left ? r.Bottom - 6 - centre : r.Top + 6 + centre;
  const tk::TColor own = c_.Font.Color();
  auto out = [&](int atX, int atY, tk::TColor color, bool opaque) {
    c_.Font.SetColor(color);
    c_.Brush.Style = opaque ? tk::BrushStyle::Solid : tk::BrushStyle::Clear;
    c_.TextOut(atX, atY, parsed.Text);
  };
  // How far the underline moves, across and along, with the text's last output.
  int across = 0, along = 0;
  const int dir = left ? 1 : -1;
  if (!enabled) {
    out(x - dir, y, nb_.HighlightColor(), true);
    out(x, y + 2 * dir, nb_.ShadowColor(), false);
    across = 1, along = 1;
  } else if (nb_.ShadowedText()) {
    out(x, y, nb_.TextShadowColor(), true);
    out(x + 2 * dir, y + dir, own, false);
    across = 2, along = 1;
  } else {
    out(x, y, own, true);
  }
  if (parsed.AccelPos < 0) return;
  const auto pos = static_cast<std::size_t>(parsed.AccelPos);
  const int before = c_.TextWidth(parsed.Text.substr(0, pos));
  const int accel = c_.TextWidth(parsed.Text.substr(pos, 1));
  const int h = c_.TextHeight(parsed.Text) - 1;
  // Text runs up from (x, y) on the left side, down on the right; the underline lies h across from it.
  const int lineX = x + dir * (h + across);
  const int from = y - dir * before + along * dir, to = y - dir * (before + accel) + along * dir;
  c_.Pen.Color = own;
  c_.MoveTo(lineX, from);
  c_.LineTo(lineX, to);
}

}  // namespace controls
