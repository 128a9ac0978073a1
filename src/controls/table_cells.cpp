#include "controls/table_cells.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTextBlock>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/text.h"
#include "platform/ui.h"
#include "tk/exception_guard.h"
#include "tk/filer.h"
#include "tk/key_mapper.h"
#include "tk/virtual_keys.h"

namespace controls {

namespace {

const bool kCellClassesRegistered =
    (tk::RegisterClass("TVxTCString", [](tk::Component* owner) { return new TVxTCString(owner); }),
     tk::RegisterClass("TVxTCMemo", [](tk::Component* owner) { return new TVxTCMemo(owner); }),
     tk::RegisterClass("TVxTCColHead", [](tk::Component* owner) { return new TVxTCColHead(owner); }),
     tk::RegisterClass("TVxTCRowHead", [](tk::Component* owner) { return new TVxTCRowHead(owner); }), true);

bool IsLeftAdjust(TVxTblAdjust a) { return a == otaTopLeft || a == otaCenterLeft || a == otaBottomLeft; }
bool IsRightAdjust(TVxTblAdjust a) { return a == otaTopRight || a == otaCenterRight || a == otaBottomRight; }
bool IsTopAdjust(TVxTblAdjust a) { return a == otaTopLeft || a == otaTopCenter || a == otaTopRight; }
bool IsBottomAdjust(TVxTblAdjust a) { return a == otaBottomLeft || a == otaBottomCenter || a == otaBottomRight; }

// The left adjustment of the same row.
TVxTblAdjust LeftOf(TVxTblAdjust a) {
  if (IsTopAdjust(a)) return otaTopLeft;
  if (IsBottomAdjust(a)) return otaBottomLeft;
  return otaCenterLeft;
}

std::uint32_t HorizontalFlags(TVxTblAdjust a) {
  if (IsLeftAdjust(a)) return tk::DT_LEFT;
  if (IsRightAdjust(a)) return tk::DT_RIGHT;
  return tk::DT_CENTER;
}

std::uint32_t VerticalFlags(TVxTblAdjust a) {
  if (IsTopAdjust(a)) return tk::DT_TOP;
  if (IsBottomAdjust(a)) return tk::DT_BOTTOM;
  return tk::DT_VCENTER;
}

// Triangles one pixel row (or column) at a time: the base is `side` long, the tip half of it away.
void FillDownTriangle(tk::Canvas& canvas, tk::Point origin, int side) {
  for (int i = 0; i < (side + 1) / 2; ++i)
    canvas.FillRect({origin.X + i, origin.Y + i, origin.X + side - i, origin.Y + i + 1});
}

void FillRightTriangle(tk::Canvas& canvas, tk::Point origin, int side) {
  for (int i = 0; i < (side + 1) / 2; ++i)
    canvas.FillRect({origin.X + i, origin.Y + i, origin.X + i + 1, origin.Y + side - i});
}

// Copies text into a zero-terminated buffer of `size` characters, terminator included.
void CopyToBuffer(void* data, const std::string& text, int size) {
  if (size <= 0) return;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(data, text.data(), length);
  static_cast<char*>(data)[length] = '\0';
}

std::string EditorText(const QString& text) { return platform::FromQString(text).value_or(""); }

}  // namespace

std::string ShortStringText(const void* data) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::string(reinterpret_cast<const char*>(bytes + 1), bytes[0]);
}

void SetShortString(void* data, const std::string& text) {
  auto* bytes = static_cast<unsigned char*>(data);
  const std::size_t length = std::min<std::size_t>(text.size(), 255);
  bytes[0] = static_cast<unsigned char>(length);
  std::memcpy(bytes + 1, text.data(), length);
}

// text painting

void TVxTCBaseString::SetUseASCIIZStrings(bool value) {
  if (value == useASCIIZStrings_) return;
  useASCIIZStrings_ = value;
  tcDoCfgChanged();
}

void TVxTCBaseString::SetUseWordWrap(bool value) {
  if (value == useWordWrap_) return;
  useWordWrap_ = value;
  tcDoCfgChanged();
}

std::string TVxTCBaseString::DataText(const void* Data) const {
  if (!Data) return {};
  return useASCIIZStrings_ ? std::string(static_cast<const char*>(Data)) : ShortStringText(Data);
}

void TVxTCBaseString::tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
                              const TVxCellAttributes& CellAttr, void* Data) {
  TVxBaseTableCell::tcPaint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data);
  if (CellAttr.Access == otxInvisible || (!Data && !Designing())) return;
  std::string text;
  if (Data) {
    text = DataText(Data);
  } else {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%d:%d", RowNum, ColNum);
    text = numbers;
  }
  if (!text.empty()) tcPaintStrZ(TableCanvas, CellRect, CellAttr, text);
}

void TVxTCBaseString::tcPaintStrZ(tk::Canvas& TableCanvas, const tk::Rect& CellRect, const TVxCellAttributes& CellAttr,
                                  const std::string& Text) {
  if (CellAttr.Font) TableCanvas.Font = *CellAttr.Font;
  const int inset = Margin() / 2;
  const tk::Rect box = CellRect.Inflate(-inset, -inset);
  std::uint32_t flags = tk::DT_NOPREFIX;
  if (UseWordWrap()) {
    flags |=
        tk::DT_WORDBREAK |
        HorizontalFlags(IsLeftAdjust(CellAttr.Adjust) || IsRightAdjust(CellAttr.Adjust) ? CellAttr.Adjust : otaCenter);
  } else {
    TVxTblAdjust adjust = CellAttr.Adjust;
    // Too long to fit: keep the start of the text in view.
    if (!IsLeftAdjust(adjust) && TableCanvas.TextWidth(Text) > box.Width()) adjust = LeftOf(adjust);
    flags |= tk::DT_SINGLELINE | HorizontalFlags(adjust) | VerticalFlags(adjust);
  }
  TableCanvas.Brush.Style = tk::BrushStyle::Clear;
  if (CellAttr.TextStyle != tsFlat) {
    const int step = CellAttr.TextStyle == tsRaised ? -1 : 1;
    tk::Rect shade = box.Offset(step, step);
    TableCanvas.Font.SetColor(CellAttr.FontHiColor);
    TableCanvas.DrawText(Text, shade, flags);
  }
  tk::Rect main = box;
  TableCanvas.Font.SetColor(CellAttr.FontColor);
  TableCanvas.DrawText(Text, main, flags);
  TableCanvas.Brush.Style = tk::BrushStyle::Solid;
}

void TVxTCBaseString::GetProperties(tk::PropertyList& list) const {
  TVxBaseTableCell::GetProperties(list);
  using C = TVxTCBaseString;
  list.push_back(tk::MakeProperty<C>("UseASCIIZStrings", &C::UseASCIIZStrings, &C::SetUseASCIIZStrings));
  list.push_back(tk::MakeProperty<C>("UseWordWrap", &C::UseWordWrap, &C::SetUseWordWrap));
}

// headings

tk::Point HeadingMarkerOrigin(const tk::Rect& cell, int width, int height, TVxTblAdjust adjust, int margin) {
  tk::Point p;
  if (IsLeftAdjust(adjust))
    p.X = cell.Left + margin;
  else if (IsRightAdjust(adjust))
    p.X = cell.Right - margin - width;
  else
    p.X = cell.Left + (cell.Width() - width) / 2;
  if (IsTopAdjust(adjust))
    p.Y = cell.Top + margin;
  else if (IsBottomAdjust(adjust))
    p.Y = cell.Bottom - margin - height;
  else
    p.Y = cell.Top + (cell.Height() - height) / 2;
  return p;
}

std::string ColumnLetters(int n) {
  std::string letters;
  while (n > 0) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return letters;
}

TVxTCColHead::TVxTCColHead(tk::Component* owner) : TVxTCBaseString(owner) {
  SetAccess(otxReadOnly);
  SetUseASCIIZStrings(false);
}

void TVxTCColHead::SetHeadings(const std::vector<std::string>& value) {
  headings_ = value;
  tcDoCfgChanged();
}

void TVxTCColHead::SetShowActiveCol(bool value) {
  if (value == showActiveCol_) return;
  showActiveCol_ = value;
  tcDoCfgChanged();
}

void TVxTCColHead::SetShowLetters(bool value) {
  if (value == showLetters_) return;
  showLetters_ = value;
  tcDoCfgChanged();
}

std::string TVxTCColHead::HeadingText(int ColNum, int LockedCols, const void* Data) const {
  if (showLetters_) return ColumnLetters(ColNum - LockedCols + 1);
  if (Data) return DataText(Data);
  if (ColNum >= 0 && static_cast<std::size_t>(ColNum) < headings_.size())
    return headings_[static_cast<std::size_t>(ColNum)].substr(0, 255);
  return {};
}

void TVxTCColHead::tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
                           const TVxCellAttributes& CellAttr, void* Data) {
  TVxBaseTableCell::tcPaint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data);
  const bool ready = TableReady();
  const int lockedCols = ready ? tcRetrieveTableLockedCols() : 0;
  const int activeCol = ready ? tcRetrieveTableActiveCol() : -1;
  if (showActiveCol_ && ColNum == activeCol) {
    const int side = std::min(CellRect.Width(), CellRect.Height()) / 3;
    TableCanvas.Brush.Color = CellAttr.FontColor;
    FillDownTriangle(TableCanvas, HeadingMarkerOrigin(CellRect, side, (side + 1) / 2, CellAttr.Adjust, Margin()), side);
    return;
  }
  const std::string text = HeadingText(ColNum, lockedCols, Data);
  if (!text.empty()) tcPaintStrZ(TableCanvas, CellRect, CellAttr, text);
}

void TVxTCColHead::tcColumnsChanged(int ColNum1, int ColNum2, TVxTblActions Action) {
  if (ColNum1 < 0) return;
  const auto at = static_cast<std::size_t>(ColNum1);
  switch (Action) {
    case taInsert:
      if (at <= headings_.size()) headings_.insert(headings_.begin() + static_cast<std::ptrdiff_t>(at), "");
      break;
    case taDelete:
      if (at < headings_.size()) headings_.erase(headings_.begin() + static_cast<std::ptrdiff_t>(at));
      break;
    case taExchange: {
      if (ColNum2 < 0) return;
      const auto other = static_cast<std::size_t>(ColNum2);
      if (headings_.size() <= std::max(at, other)) headings_.resize(std::max(at, other) + 1);
      std::swap(headings_[at], headings_[other]);
      break;
    }
    default:
      break;
  }
}

void TVxTCColHead::GetProperties(tk::PropertyList& list) const {
  TVxTCBaseString::GetProperties(list);
  using C = TVxTCColHead;
  list.push_back(tk::MakeProperty<C>("ShowActiveCol", &C::ShowActiveCol, &C::SetShowActiveCol, tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("ShowLetters", &C::ShowLetters, &C::SetShowLetters, tk::Value(true)));
}

void TVxTCColHead::DefineProperties(tk::Filer& filer) {
  TVxTCBaseString::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "Headings",
      [this](const tk::Binary& bytes) {
        const TVxStreamList list = TVxStreamList::Decode(bytes);
        std::vector<std::string> headings;
        for (int i = 0; i < list.Count(); ++i) headings.push_back(list.String(i));
        SetHeadings(headings);
      },
      [this] {
        TVxStreamList list;
        for (const std::string& heading : headings_) list.AddString(heading);
        return list.Encode();
      },
      !headings_.empty());
}

TVxTCRowHead::TVxTCRowHead(tk::Component* owner) : TVxTCBaseString(owner) {
  SetAccess(otxReadOnly);
  SetUseASCIIZStrings(false);
  SetUseWordWrap(false);
}

void TVxTCRowHead::SetShowActiveRow(bool value) {
  if (value == showActiveRow_) return;
  showActiveRow_ = value;
  tcDoCfgChanged();
}

void TVxTCRowHead::SetShowNumbers(bool value) {
  if (value == showNumbers_) return;
  showNumbers_ = value;
  tcDoCfgChanged();
}

void TVxTCRowHead::tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
                           const TVxCellAttributes& CellAttr, void* Data) {
  TVxBaseTableCell::tcPaint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data);
  const bool ready = TableReady();
  const int activeRow = ready ? tcRetrieveTableActiveRow() : -1;
  if (showActiveRow_ && RowNum == activeRow) {
    const int side = std::min(CellRect.Width() - 8, CellRect.Height() / 3);
    if (side <= 0) return;
    TableCanvas.Brush.Color = CellAttr.FontColor;
    FillRightTriangle(TableCanvas, HeadingMarkerOrigin(CellRect, (side + 1) / 2, side, CellAttr.Adjust, Margin()),
                      side);
    return;
  }
  if (!showNumbers_) return;
  const int lockedRows = ready ? tcRetrieveTableLockedRows() : 0;
  tcPaintStrZ(TableCanvas, CellRect, CellAttr, std::to_string(RowNum + 1 - lockedRows));
}

void TVxTCRowHead::GetProperties(tk::PropertyList& list) const {
  TVxTCBaseString::GetProperties(list);
  using C = TVxTCRowHead;
  list.push_back(tk::MakeProperty<C>("ShowActiveRow", &C::ShowActiveRow, &C::SetShowActiveRow, tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("ShowNumbers", &C::ShowNumbers, &C::SetShowNumbers, tk::Value(true)));
}

// editors

namespace {

// Key data as the platform packs it for a key pressed once: repeat count 1.
tk::Message KeyMessage(std::uint16_t key) { return tk::Message{WM_KEYDOWN, key, 1, 0}; }

// The editors tell the table when they gain or lose the focus, naming the other window.
void PostFocusNotices(QWidget* editor, TVxBaseTableCell* cell) {
  QObject::connect(qApp, &QApplication::focusChanged, editor, [editor, cell](QWidget* old, QWidget* now) {
    if (now == editor)
      cell->PostMessageToTable(ctimEditorGotFocus, reinterpret_cast<std::uintptr_t>(old), 0);
    else if (old == editor)
      cell->PostMessageToTable(ctimEditorLostFocus, reinterpret_cast<std::uintptr_t>(now), 0);
  });
}

// Tab reaches an editor only when the table turns it into an arrow; otherwise it moves the focus.
bool IsTabTheTableWants(QEvent* event, TVxBaseTableCell* cell) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<QKeyEvent*>(event)->key();
  return (key == Qt::Key_Tab || key == Qt::Key_Backtab) && cell->TableWantsTab();
}

// Left goes to the table from the start of the text with nothing selected; Right from the end, unless a
// selection that does not start at 0 ends there.
bool LeavesLeft(int caret, bool selection) { return caret == 0 && !selection; }
bool LeavesRight(int selStart, int selEnd, int length) {
  return selEnd == length && (selStart == selEnd || selStart == 0);
}

}  // namespace

TVxTCStringEdit::TVxTCStringEdit(tk::Component* owner, QWidget* parent, TVxTCCustomString* cell)
    : tk::CustomEdit(owner, parent), cell_(cell) {
  SetAutoSize(false);
  SetTabStop(false);
  PostFocusNotices(this, cell);
}

bool TVxTCStringEdit::event(QEvent* event) {
  if (IsTabTheTableWants(event, cell_)) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return tk::CustomEdit::event(event);
}

void TVxTCStringEdit::KeyDown(std::uint16_t& key, tk::ShiftState shift) {
  tk::Message message = KeyMessage(key);
  bool toTable = false;
  switch (cell_->FilterTableKey(message)) {
    case otkMustHave:
      toTable = true;
      break;
    case otkWouldLike: {
      const int caret = cursorPosition();
      const int selStart = hasSelectedText() ? selectionStart() : caret;
      const int selEnd = hasSelectedText() ? selectionEnd() : caret;
      if (key == tk::VK_PRIOR || key == tk::VK_NEXT || key == tk::VK_UP || key == tk::VK_DOWN)
        toTable = true;
      else if (key == tk::VK_LEFT)
        toTable = cell_->AutoAdvanceLeftRight() && LeavesLeft(caret, hasSelectedText());
      else if (key == tk::VK_RIGHT)
        toTable = cell_->AutoAdvanceLeftRight() && LeavesRight(selStart, selEnd, static_cast<int>(text().size()));
      break;
    }
    case otkDontCare:
      break;
  }
  if (toTable) {
    cell_->SendKeyToTable(message);
    key = 0;
    return;
  }
  tk::CustomEdit::KeyDown(key, shift);
  if (key == tk::VK_RETURN || key == tk::VK_TAB || key == tk::VK_ESCAPE) key = 0;
}

void TVxTCStringEdit::KeyPress(char& key) {
  tk::CustomEdit::KeyPress(key);
  typed_ = static_cast<unsigned char>(key) >= ' ';
}

void TVxTCStringEdit::keyPressEvent(QKeyEvent* event) {
  typed_ = false;
  QPointer<TVxTCStringEdit> alive(this);
  tk::CustomEdit::keyPressEvent(event);
  if (!alive || !typed_) return;
  typed_ = false;
  if (cell_->AutoAdvanceChar() && text().size() >= maxLength()) cell_->SendKeyToTable(KeyMessage(tk::VK_RIGHT));
}

TVxTCMemoEdit::TVxTCMemoEdit(tk::Component* owner, QWidget* parent, TVxTCCustomMemo* cell)
    : tk::ControlT<QPlainTextEdit>(owner, parent), cell_(cell) {
  setFocusPolicy(Qt::ClickFocus);  // no tab stop
  PostFocusNotices(this, cell);
  // A change that leaves Latin-1 or MaxLength goes back to the last text taken.
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    const QString now = toPlainText();
    const bool latin1 = platform::IsLatin1(now);
    if (latin1 && (maxLength_ <= 0 || now.size() <= maxLength_)) {
      accepted_ = now;
      tk::Guarded([this] {
        if (OnChange) OnChange(this);
      });
      return;
    }
    if (!latin1) platform::Ui().Beep();
    QSignalBlocker block(this);
    setPlainText(accepted_);
    moveCursor(QTextCursor::End);
  });
}

std::string TVxTCMemoEdit::Text() const { return EditorText(toPlainText()); }

void TVxTCMemoEdit::LoadText(const std::string& text) {
  accepted_ = platform::ToQString(text);
  QSignalBlocker block(this);
  setPlainText(accepted_);
}

bool TVxTCMemoEdit::event(QEvent* event) {
  if (IsTabTheTableWants(event, cell_)) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return tk::ControlT<QPlainTextEdit>::event(event);
}

bool TVxTCMemoEdit::FilterKey(std::uint16_t key) {
  tk::Message message = KeyMessage(key);
  bool toTable = false;
  switch (cell_->FilterTableKey(message)) {
    case otkMustHave:
      toTable = true;
      break;
    case otkWouldLike: {
      const QTextCursor cursor = textCursor();
      if (key == tk::VK_RETURN)
        toTable = !cell_->WantReturns();
      else if (key == tk::VK_LEFT)
        toTable = LeavesLeft(cursor.position(), cursor.hasSelection());
      else if (key == tk::VK_RIGHT)
        toTable = LeavesRight(cursor.selectionStart(), cursor.selectionEnd(), static_cast<int>(toPlainText().size()));
      break;
    }
    case otkDontCare:
      break;
  }
  if (toTable) cell_->SendKeyToTable(message);
  return !toTable;
}

void TVxTCMemoEdit::keyPressEvent(QKeyEvent* event) {
  event->accept();
  QPointer<TVxTCMemoEdit> alive(this);
  tk::Guarded([&] {
    std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
    if (key != 0) {
      if (!FilterKey(key)) return;
      if (OnKeyDown) OnKeyDown(this, key, tk::ShiftFromQt(event->modifiers()));
      if (!alive || key == 0) return;
      if (key == tk::VK_TAB && (cell_->TableWantsTab() || !cell_->WantTabs())) return;
      if (key == tk::VK_RETURN && !cell_->WantReturns()) return;
      if (key == tk::VK_ESCAPE) return;
    }
    const QString text = event->text();
    if (text.size() != 1 || (event->modifiers() & Qt::AltModifier)) {
      QPlainTextEdit::keyPressEvent(event);
      return;
    }
    if (text[0].unicode() > 0xFF) {
      platform::Ui().Beep();
      return;
    }
    const char typed = static_cast<char>(text[0].unicode());
    char c = typed;
    if (OnKeyPress) OnKeyPress(this, c);
    if (!alive || c == '\0') return;
    if (c == typed) {
      QPlainTextEdit::keyPressEvent(event);
      return;
    }
    QKeyEvent replaced(event->type(), event->key(), event->modifiers(), QString(QChar(static_cast<unsigned char>(c))));
    QPlainTextEdit::keyPressEvent(&replaced);
  });
}

void TVxTCMemoEdit::keyReleaseEvent(QKeyEvent* event) {
  tk::Guarded([&] {
    std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
    if (key != 0 && OnKeyUp) OnKeyUp(this, key, tk::ShiftFromQt(event->modifiers()));
  });
  QPlainTextEdit::keyReleaseEvent(event);
}

void TVxTCMemoEdit::mousePressEvent(QMouseEvent* event) {
  QPlainTextEdit::mousePressEvent(event);
  const QPoint p = event->position().toPoint();
  tk::Guarded([&] {
    if (OnMouseDown)
      OnMouseDown(this, event->button(), tk::ShiftFromQt(event->modifiers(), event->buttons()), p.x(), p.y());
  });
}

void TVxTCMemoEdit::mouseReleaseEvent(QMouseEvent* event) {
  tk::ControlT<QPlainTextEdit>::mouseReleaseEvent(event);
  const QPoint p = event->position().toPoint();
  tk::Guarded([&] {
    if (OnMouseUp)
      OnMouseUp(this, event->button(), tk::ShiftFromQt(event->modifiers(), event->buttons()), p.x(), p.y());
  });
}

void TVxTCMemoEdit::mouseMoveEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseMoveEvent(event);
  tk::ControlT<QPlainTextEdit>::mouseMoveEvent(event);
}

void TVxTCMemoEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseDoubleClickEvent(event);
  tk::Guarded([this] {
    if (OnDblClick) OnDblClick(this);
  });
}

void TVxTCMemoEdit::focusInEvent(QFocusEvent* event) {
  tk::ControlT<QPlainTextEdit>::focusInEvent(event);
  tk::Guarded([this] {
    if (OnEnter) OnEnter(this);
  });
}

void TVxTCMemoEdit::focusOutEvent(QFocusEvent* event) {
  tk::ControlT<QPlainTextEdit>::focusOutEvent(event);
  tk::Guarded([this] {
    if (OnExit) OnExit(this);
  });
}

// editing cells

namespace {

// The cell's events on its editor, which fires them with itself as the sender.
template <class Editor>
void InstallCellEvents(Editor& editor, const TVxBaseTableCell& cell, const tk::NotifyEvent& onChange) {
  editor.OnChange = onChange;
  editor.OnClick = cell.OnClick;
  editor.OnDblClick = cell.OnDblClick;
  editor.OnEnter = cell.OnEnter;
  editor.OnExit = cell.OnExit;
  editor.OnKeyDown = cell.OnKeyDown;
  editor.OnKeyPress = cell.OnKeyPress;
  editor.OnKeyUp = cell.OnKeyUp;
  editor.OnMouseDown = cell.OnMouseDown;
  editor.OnMouseMove = cell.OnMouseMove;
  editor.OnMouseUp = cell.OnMouseUp;
}

// Colour, font and font colour of the attributes, and the hint.
template <class Editor>
void ApplyCellLook(Editor& editor, const TVxBaseTableCell& cell, const TVxCellAttributes& attr) {
  tk::Font font = attr.Font ? *attr.Font : editor.Font();
  font.SetColor(attr.FontColor);
  editor.SetFont(font);
  editor.SetColor(attr.Color);
  editor.setToolTip(cell.ShowHint() ? platform::ToQString(cell.Hint()) : QString());
}

}  // namespace

TVxTCCustomString::~TVxTCCustomString() { delete editor_.data(); }

TVxTCStringEdit* TVxTCCustomString::CreateEditControl(TVxTableAncestor* owner) {
  return new TVxTCStringEdit(owner, owner, this);
}

bool TVxTCCustomString::GetModified() const { return editor_ && editor_->Modified(); }

void TVxTCCustomString::EditHide() {
  if (editor_) editor_->hide();
}

void TVxTCCustomString::EditMove(const tk::Rect& CellRect) {
  if (!editor_) return;
  editor_->setGeometry(CellRect.ToQRect());
  editor_->repaint();
}

void TVxTCCustomString::StartEditing(int, int, const tk::Rect& CellRect, const TVxCellAttributes& CellAttr,
                                     TVxTblEditorStyle CellStyle, void* Data) {
  delete editor_.data();
  if (!Table()) return;
  TVxTCStringEdit* editor = CreateEditControl(Table());
  editor_ = editor;
  editor->SetText(DataText(Data));
  editor->SetModified(false);
  ApplyCellLook(*editor, *this, CellAttr);
  editor->SetBounds(CellRect.Left, CellRect.Top, CellRect.Width(), CellRect.Height());
  editor->SetMaxLength(MaxLength());
  editor->SetHasBorder(CellStyle != tesNormal);
  editor->SetCtl3D(CellStyle == tes3D);
  InstallCellEvents(*editor, *this, OnChange);
}

void TVxTCCustomString::SaveText(void* Data) {
  if (!editor_ || !Data) return;
  const std::string text = editor_->Text();
  if (UseASCIIZStrings())
    CopyToBuffer(Data, text, MaxLength() + 1);
  else
    SetShortString(Data, text.substr(0, std::min<std::size_t>(MaxLength(), 255)));
}

// A save during the edit keeps what the save at its end keeps.
void TVxTCCustomString::SaveEditedData(void* Data) { SaveText(Data); }

void TVxTCCustomString::StopEditing(bool SaveValue, void* Data) {
  if (SaveValue && Data) SaveText(Data);
  delete editor_.data();
}

void TVxTCCustomString::GetProperties(tk::PropertyList& list) const {
  TVxTCBaseString::GetProperties(list);
  using C = TVxTCCustomString;
  list.push_back(tk::MakeProperty<C>("AutoAdvanceChar", &C::AutoAdvanceChar, &C::SetAutoAdvanceChar, tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("AutoAdvanceLeftRight", &C::AutoAdvanceLeftRight, &C::SetAutoAdvanceLeftRight,
                                     tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("MaxLength", &C::MaxLength, &C::SetMaxLength, tk::Value(std::int64_t{0})));
}

TVxTCCustomMemo::TVxTCCustomMemo(tk::Component* owner) : TVxTCBaseString(owner) {
  SetUseASCIIZStrings(true);
  SetUseWordWrap(true);
}

TVxTCCustomMemo::~TVxTCCustomMemo() { delete editor_.data(); }

TVxTCMemoEdit* TVxTCCustomMemo::CreateEditControl(TVxTableAncestor* owner) {
  return new TVxTCMemoEdit(owner, owner, this);
}

bool TVxTCCustomMemo::GetModified() const { return editor_ && editor_->document()->isModified(); }

void TVxTCCustomMemo::EditHide() {
  if (editor_) editor_->hide();
}

void TVxTCCustomMemo::EditMove(const tk::Rect& CellRect) {
  if (!editor_) return;
  editor_->setGeometry(CellRect.ToQRect());
  editor_->repaint();
}

void TVxTCCustomMemo::StartEditing(int, int, const tk::Rect& CellRect, const TVxCellAttributes& CellAttr,
                                   TVxTblEditorStyle CellStyle, void* Data) {
  delete editor_.data();
  if (!Table()) return;
  TVxTCMemoEdit* editor = CreateEditControl(Table());
  editor_ = editor;
  editor->SetMaxLength(MaxLength());
  editor->LoadText(Data ? static_cast<const char*>(Data) : "");
  editor->document()->setModified(false);
  ApplyCellLook(*editor, *this, CellAttr);
  QPalette palette = editor->palette();
  palette.setColor(QPalette::Base, tk::ToQColor(CellAttr.Color));
  palette.setColor(QPalette::Text, tk::ToQColor(CellAttr.FontColor));
  editor->setPalette(palette);
  if (CellStyle == tes3D) {
    editor->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  } else if (CellStyle == tesBorder) {
    editor->setFrameStyle(QFrame::Box | QFrame::Plain);
    editor->setLineWidth(1);
  } else {
    editor->setFrameStyle(QFrame::NoFrame);
  }
  editor->SetBounds(CellRect.Left, CellRect.Top, CellRect.Width(), CellRect.Height());
  editor->setTabChangesFocus(!WantTabs());
  InstallCellEvents(*editor, *this, OnChange);
  editor->show();
}

// The table reports a save in the middle of an edit as done, so the memo must really save; its buffer is
// MaxLength characters, terminator included, as at the end of the edit.
void TVxTCCustomMemo::SaveEditedData(void* Data) {
  if (Data && editor_) CopyToBuffer(Data, editor_->Text(), MaxLength());
}

void TVxTCCustomMemo::StopEditing(bool SaveValue, void* Data) {
  if (SaveValue && Data) SaveEditedData(Data);
  delete editor_.data();
}

void TVxTCCustomMemo::GetProperties(tk::PropertyList& list) const {
  TVxTCBaseString::GetProperties(list);
  using C = TVxTCCustomMemo;
  list.push_back(tk::MakeProperty<C>("MaxLength", &C::MaxLength, &C::SetMaxLength, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<C>("WantReturns", &C::WantReturns, &C::SetWantReturns, tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("WantTabs", &C::WantTabs, &C::SetWantTabs, tk::Value(false)));
}

}  // namespace controls
