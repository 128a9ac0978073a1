#include "controls/calculator_tape.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

#include "controls/calculator_engine.h"
#include "tk/exception_guard.h"

namespace controls {

namespace {
constexpr int kClearedLineCount = 30;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool AllBlanks(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }
}  // namespace

TVxCalcTapeListBox::TVxCalcTapeListBox(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::NoFocus);  // no tab stop; a click focuses the calculator instead
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  verticalScrollBar()->setSingleStep(1);
  viewport()->setAutoFillBackground(false);
  SetCtl3D(true);
}

void TVxCalcTapeListBox::SetCtl3D(bool ctl3D) {
  if (ctl3D) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
  } else {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
  }
}

int TVxCalcTapeListBox::ItemHeight() const { return std::max(1, QFontMetrics(font_.Q()).height()); }

int TVxCalcTapeListBox::FullyVisibleItems() const { return std::max(1, ClientHeight() / ItemHeight()); }

void TVxCalcTapeListBox::ItemsChanged() {
  QScrollBar* bar = verticalScrollBar();
  int visible = FullyVisibleItems();
  bar->setPageStep(visible);
  bar->setRange(0, std::max(0, static_cast<int>(items_.size()) - visible));
  viewport()->update();
}

int TVxCalcTapeListBox::TopIndex() const { return verticalScrollBar()->value(); }

void TVxCalcTapeListBox::SetTopIndex(int index) {
  verticalScrollBar()->setValue(std::clamp(index, 0, verticalScrollBar()->maximum()));
}

int TVxCalcTapeListBox::ItemAt(int y) const {
  if (y < 0) return -1;
  int index = TopIndex() + y / ItemHeight();
  return index < static_cast<int>(items_.size()) ? index : -1;
}

void TVxCalcTapeListBox::SetFont(const tk::Font& font) {
  font_ = font;
  setFont(font.Q());
  ItemsChanged();
}

void TVxCalcTapeListBox::SetColor(tk::TColor color) {
  color_ = color;
  viewport()->update();
}

void TVxCalcTapeListBox::paintEvent(QPaintEvent*) {
  tk::Canvas canvas(viewport());
  canvas.Font = font_;
  canvas.Brush.Color = color_;
  canvas.FillRect({0, 0, viewport()->width(), viewport()->height()});
  int height = ItemHeight();
  for (int i = TopIndex(), y = 0; i < static_cast<int>(items_.size()) && y < viewport()->height(); ++i, y += height) {
    if (OnDrawItem) OnDrawItem(canvas, i, {0, y, viewport()->width(), y + height});
  }
}

void TVxCalcTapeListBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  ItemsChanged();
}

void TVxCalcTapeListBox::mousePressEvent(QMouseEvent* event) {
  QAbstractScrollArea::mousePressEvent(event);
  if (OnClick) OnClick();
}

void TVxCalcTapeListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QAbstractScrollArea::mouseDoubleClickEvent(event);
  int index = ItemAt(event->position().toPoint().y());
  // A line that is no number reaches the application's error report, not Qt's event loop.
  if (OnDblClick) tk::Guarded([&] { OnDblClick(index); });
}

void TVxCalcTapeListBox::scrollContentsBy(int, int) { viewport()->update(); }

TVxCalcTape::TVxCalcTape(tk::CustomControl* owner, int markWidth) : owner_(owner), markWidth_(markWidth) {
  font_.SetName("Courier New");
  font_.SetSize(10);
  font_.SetStyle(0);
}

TVxCalcTape::~TVxCalcTape() { delete listBox_.data(); }

TVxCalcTapeListBox& TVxCalcTape::List() {
  if (listBox_) return *listBox_;
  listBox_ = new TVxCalcTapeListBox(owner_);
  listBox_->SetCtl3D(ctl3D_);
  listBox_->SetColor(color_);
  listBox_->SetFont(font_);
  listBox_->setGeometry(left_, top_, width_, height_);
  listBox_->setVisible(visible_);
  listBox_->OnClick = [this] { owner_->setFocus(); };
  listBox_->OnDblClick = [this](int index) { RecallLine(index); };
  listBox_->OnDrawItem = [this](tk::Canvas& canvas, int index, const tk::Rect& rect) { DrawLine(canvas, index, rect); };
  InitializeTape();
  return *listBox_;
}

void TVxCalcTape::InitializeTape() {
  if (!listBox_ || initialized_) return;
  ClearTape();
  initialized_ = true;
}

void TVxCalcTape::ClearTape() {
  if (!listBox_) return;
  lineCount_ = kClearedLineCount;
  listBox_->Items().assign(kClearedLineCount, std::string());
  listBox_->ItemsChanged();
  ScrollToEnd();
}

int TVxCalcTape::GetDisplayedItemCount() const {
  if (!listBox_) return 3;
  int lineHeight = std::max(1, QFontMetrics(listBox_->Font().Q()).height());
  return std::max(3, listBox_->ClientHeight() / lineHeight);
}

void TVxCalcTape::ScrollToEnd() { List().SetTopIndex(lineCount_ - GetDisplayedItemCount() + 2); }

void TVxCalcTape::Add(const std::string& s) {
  TVxCalcTapeListBox& list = List();
  list.Items().push_back(s);
  list.ItemsChanged();
}

void TVxCalcTape::DeleteFirst() {
  std::vector<std::string>& items = List().Items();
  if (!items.empty() && items.front().empty())
    items.erase(items.begin());
  else
    ++lineCount_;
  listBox_->ItemsChanged();
}

void TVxCalcTape::AddToTape(const std::string& s, const std::string& mark) {
  int blanks = CharsPerLine - static_cast<int>(s.size()) - markWidth_;
  Add(std::string(static_cast<std::size_t>(std::max(0, blanks)), ' ') + s + " " + mark);
  DeleteFirst();
  ScrollToEnd();
}

void TVxCalcTape::AddToTapeLeft(const std::string& s) {
  Add(s);
  DeleteFirst();
  ScrollToEnd();
}

void TVxCalcTape::SpaceTape(char c) {
  Add(std::string(static_cast<std::size_t>(std::max(0, CharsPerLine)), c));
  DeleteFirst();
  ScrollToEnd();
}

void TVxCalcTape::RefreshDisplays() {
  if (!listBox_ || !ShowTape) return;
  for (std::string& line : listBox_->Items()) {
    if (line.empty()) continue;
    int d = CharsPerLine - static_cast<int>(line.size());
    bool uniform = line.find_first_not_of(line[0]) == std::string::npos;
    if (line[0] == ' ') {
      if (d >= 0)
        line.insert(0, static_cast<std::size_t>(d), ' ');
      else if (AllBlanks(line.substr(0, static_cast<std::size_t>(-d))))
        line.erase(0, static_cast<std::size_t>(-d));
    } else if (uniform && !IsDigit(line[0])) {
      line.assign(static_cast<std::size_t>(std::max(0, CharsPerLine)), line[0]);
    } else if (line.rfind("0.", 0) == 0 && d >= 0) {
      line.insert(0, static_cast<std::size_t>(d), ' ');
    }
  }
  listBox_->ItemsChanged();
  ScrollToEnd();
}

void TVxCalcTape::DrawLine(tk::Canvas& canvas, int index, const tk::Rect& rect) {
  const std::vector<std::string>& items = listBox_->Items();
  canvas.Brush.Color = color_;
  canvas.Brush.Style = tk::BrushStyle::Solid;
  canvas.FillRect(rect);
  const std::string& line = items[static_cast<std::size_t>(index)];
  std::size_t firstInk = line.find_first_not_of(' ');
  if (firstInk == std::string::npos) return;
  tk::Font saved = canvas.Font;
  if (line[firstInk] == '-') canvas.Font.SetColor(tk::clRed);
  std::string padded = line;
  if (static_cast<int>(padded.size()) < CharsPerLine) padded.resize(static_cast<std::size_t>(CharsPerLine), ' ');
  std::string body = padded.substr(0, padded.size() - 1);
  canvas.Brush.Style = tk::BrushStyle::Clear;
  canvas.TextOut(rect.Left, rect.Top, body);
  // Paper past MaxPaperCount lines shows its mark on red.
  int firstLine = 0;
  while (firstLine < static_cast<int>(items.size()) && items[static_cast<std::size_t>(firstLine)].empty()) ++firstLine;
  int x = rect.Left + canvas.TextWidth(body);
  std::string last(1, padded.back());
  if (index - firstLine >= MaxPaperCount) {
    canvas.Brush.Color = tk::clRed;
    canvas.Brush.Style = tk::BrushStyle::Solid;
    canvas.FillRect({x, rect.Top, x + canvas.TextWidth(last), rect.Bottom});
  }
  canvas.Brush.Style = tk::BrushStyle::Clear;
  canvas.TextOut(x, rect.Top, last);
  canvas.Brush.Color = color_;
  canvas.Brush.Style = tk::BrushStyle::Solid;
  canvas.Font = saved;
}

void TVxCalcTape::RecallLine(int index) {
  if (!listBox_ || index < 0 || index >= static_cast<int>(listBox_->Items().size())) return;
  const std::string line = listBox_->Items()[static_cast<std::size_t>(index)];
  if (line.empty()) return;
  // An item-count line ("003", "1000") is digits alone, where an amount always has its mark column.
  if (line[0] == '0' && (line.size() < 2 || (line[1] != '.' && line[1] != DecimalSeparator))) return;
  if (std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; })) return;
  std::string text = line.size() > static_cast<std::size_t>(markWidth_) ? line.substr(0, line.size() - markWidth_) : "";
  // A separator line does not convert: the error goes to the application's error reporting.
  const tk::Extended value = CalcTextToValue(text, DecimalSeparator);
  std::size_t first = text.find_first_not_of(' ');
  if (OnRecall) OnRecall(value, first == std::string::npos ? std::string() : text.substr(first));
}

void TVxCalcTape::SetFont(const tk::Font& font) {
  font_ = font;
  if (listBox_) listBox_->SetFont(font_);
  if (OnFontChange) OnFontChange();
}

int TVxCalcTape::Height() const { return listBox_ && visible_ ? listBox_->height() : height_; }

void TVxCalcTape::SetHeight(int height) {
  height_ = height;
  if (listBox_ && visible_) listBox_->resize(listBox_->width(), height);
}

int TVxCalcTape::Width() const { return listBox_ && visible_ ? listBox_->width() : width_; }

void TVxCalcTape::SetWidth(int width) {
  width_ = width;
  if (listBox_ && visible_) listBox_->resize(width, listBox_->height());
}

int TVxCalcTape::Top() const { return listBox_ ? listBox_->y() : top_; }

int TVxCalcTape::TopIndex() const { return listBox_ ? listBox_->TopIndex() : 0; }

void TVxCalcTape::SetTopIndex(int index) { List().SetTopIndex(index); }

void TVxCalcTape::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (listBox_ && visible_) listBox_->setGeometry(left, top, width, height);
}

void TVxCalcTape::SetVisible(bool visible) {
  if (visible) {
    bool wasShown = listBox_ && visible_;
    visible_ = true;
    TVxCalcTapeListBox& list = List();
    if (!wasShown) {
      list.setGeometry(left_, top_, width_, height_);
      list.show();
    }
    return;
  }
  if (listBox_ && visible_) {
    listBox_->hide();
    if (owner_->Designing()) listBox_->resize(listBox_->width(), 0);
  }
  visible_ = false;
}

void TVxCalcTape::SetTapeColor(tk::TColor color) {
  color_ = color;
  if (listBox_) listBox_->SetColor(color);
}

std::vector<std::string> TVxCalcTape::Tape() { return List().Items(); }

void TVxCalcTape::SetTape(const std::vector<std::string>& lines) {
  TVxCalcTapeListBox& list = List();
  list.Items() = lines;
  list.ItemsChanged();
}

void TVxCalcTape::SetCtl3D(bool ctl3D) {
  ctl3D_ = ctl3D;
  if (listBox_) listBox_->SetCtl3D(ctl3D);
}

}  // namespace controls
