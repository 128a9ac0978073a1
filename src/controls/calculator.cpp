#include "controls/calculator.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cstdio>

#include "controls/library_data.h"
#include "controls/misc.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "tk/filer.h"
#include "tk/key_mapper.h"
#include "tk/services.h"
#include "tk/virtual_keys.h"

namespace controls {

using B = TVxCalculatorButton;
using Op = TVxCalculatorOperation;
using St = TVxCalcState;
using Opt = TVxCalculatorOption;

namespace {

constexpr std::uint32_t WM_SETTEXT = 0x000C;
constexpr std::uint32_t WM_GETTEXT = 0x000D;
constexpr std::uint32_t WM_GETTEXTLENGTH = 0x000E;

constexpr int kButtonCount = 29;  // cbTape .. cbMemSub
constexpr int kMarkWidth = 2;
constexpr int kMinTapeHeight = 30;
constexpr const char* kTotalMark = "*";
constexpr const char* kErrorText = "****** ";

const char* const kBorderStyleNames[] = {"bsNone", "bsSingle"};
const char* const kSchemeNames[] = {"cscalcCustom", "cscalcWindows", "cscalcDark", "cscalcOcean", "cscalcPlain"};
const char* const kColorNames[] = {"DisabledMemoryButtons", "Display",       "DisplayTextColor", "EditButtons",
                                   "FunctionButtons",       "MemoryButtons", "NumberButtons",    "OperatorButtons"};

const bool kRegistered =
    (tk::RegisterClass("TVxCalculator", [](tk::Component* owner) { return new TVxCalculator(owner); }), true);

int Index(B b) { return static_cast<int>(b); }
B ButtonOf(int index) { return static_cast<B>(index); }
bool IsOperator(B b) { return b == B::cbAdd || b == B::cbSub || b == B::cbMul || b == B::cbDiv; }
bool IsDigit(B b) { return b >= B::cb0 && b <= B::cb9; }

// What each button sends to the engine and prints on the tape, by TVxCalculatorButton.
struct ButtonTraits {
  Op Operation;
  const char* Mark;
};
constexpr ButtonTraits kTraits[] = {
    {Op::coNone, "  "},     {Op::coNone, "  "},      {Op::coNone, "  "},     {Op::coNone, "CE"},   {Op::coNone, "C"},
    {Op::coAdd, "+"},       {Op::coSub, "-"},        {Op::coMul, "*"},       {Op::coDiv, "/"},     {Op::coNone, "  "},
    {Op::coNone, "  "},     {Op::coNone, "  "},      {Op::coNone, "  "},     {Op::coNone, "  "},   {Op::coNone, "  "},
    {Op::coNone, "  "},     {Op::coNone, "  "},      {Op::coNone, "  "},     {Op::coNone, "  "},   {Op::coNone, "  "},
    {Op::coEqual, "="},     {Op::coInvert, "1/"},    {Op::coNone, "-+"},     {Op::coPercent, "%"}, {Op::coSqrt, "SQ"},
    {Op::coMemClear, "MC"}, {Op::coMemRecall, "MR"}, {Op::coMemStore, "MS"}, {Op::coMemAdd, "M+"}, {Op::coMemSub, "M-"},
    {Op::coSubTotal, "*"}};
static_assert(std::size(kTraits) == static_cast<std::size_t>(B::cbSubTotal) + 1);

Op OperationOf(B b) { return kTraits[Index(b)].Operation; }
std::string MarkOf(B b) { return kTraits[Index(b)].Mark; }

// Fixed-point entry moves the separator as digits arrive or leave; a zero in front of a digit goes.
std::string DropLeadingZero(std::string body, char sep) {
  if (body.size() > 1 && body[0] == '0' && body[1] != sep) body.erase(0, 1);
  return body;
}

std::string ShiftSeparatorRight(const std::string& text, char sep) {
  bool negative = !text.empty() && text[0] == '-';
  std::string body = negative ? text.substr(1) : text;
  std::size_t p = body.find(sep);
  if (p != std::string::npos && p + 1 < body.size()) std::swap(body[p], body[p + 1]);
  return (negative ? "-" : "") + DropLeadingZero(body, sep);
}

std::string ShiftSeparatorLeft(std::string body, char sep) {
  std::size_t p = body.find(sep);
  if (p == std::string::npos || p == 0) return body;
  std::swap(body[p - 1], body[p]);
  if (body[0] == sep) body.insert(0, 1, '0');
  return DropLeadingZero(body, sep);
}

}  // namespace

TVxCalcColors::TVxCalcColors() : colors_(SchemeColors(TVxCalcColorScheme::cscalcWindows)) {}

const std::array<tk::TColor, TVxCalcColors::Count>& TVxCalcColors::SchemeColors(TVxCalcColorScheme scheme) {
  using namespace tk;
  static const std::array<TColor, Count> windows{clGray, clWindow, clWindowText, clMaroon,
                                                 clNavy, clRed,    clBlue,       clRed};
  static const std::array<TColor, Count> dark{clGray, clBlack, clAqua, clBlack, clTeal, clNavy, clMaroon, clBlue};
  static const std::array<TColor, Count> ocean{clGray, clAqua, clBlack, clPurple, clNavy, clNavy, clAqua, clBlue};
  static const std::array<TColor, Count> plain{clGray, clWhite, clNavy, clBlack, clNavy, clNavy, clBlue, clBlue};
  switch (scheme) {
    case TVxCalcColorScheme::cscalcDark:
      return dark;
    case TVxCalcColorScheme::cscalcOcean:
      return ocean;
    case TVxCalcColorScheme::cscalcPlain:
      return plain;
    default:
      return windows;
  }
}

void TVxCalcColors::SetColor(int index, tk::TColor color) {
  colors_.at(static_cast<std::size_t>(index)) = color;
  scheme_ = TVxCalcColorScheme::cscalcCustom;
  Changed();
}

void TVxCalcColors::SetColorScheme(TVxCalcColorScheme scheme) {
  scheme_ = scheme;
  if (scheme == TVxCalcColorScheme::cscalcCustom) return;
  colors_ = SchemeColors(scheme);
  Changed();
}

void TVxCalcColors::EndUpdate() {
  if (updateCount_ == 0 || --updateCount_ > 0 || !pending_) return;
  pending_ = false;
  if (OnChange) OnChange();
}

void TVxCalcColors::Changed() {
  if (updateCount_ > 0)
    pending_ = true;
  else if (OnChange)
    OnChange();
}

void TVxCalcColors::Assign(const TVxCalcColors& other) {
  colors_ = other.colors_;
  scheme_ = other.scheme_;
  OnChange = other.OnChange;
}

TVxCalcPanel::TVxCalcPanel(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TVxCalcPanel::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void TVxCalcPanel::paintEvent(QPaintEvent*) {
  tk::Canvas canvas(this);
  tk::Rect r{0, 0, width(), height()};
  if (Bevel)
    canvas.Frame3D(r, tk::clBtnShadow, tk::clBtnHighlight, 1);
  else
    canvas.Frame3D(r, tk::clWindowFrame, tk::clWindowFrame, 1);
  canvas.Brush.Color = Color;
  canvas.FillRect(r);
  canvas.Font = TextFont;
  canvas.Font.SetColor(TextColor);
  canvas.Brush.Style = tk::BrushStyle::Clear;
  // Centred as a panel's caption; the line is padded to the tape's width, so it reads right-justified.
  int x = r.Left + (r.Width() - canvas.TextWidth(caption_)) / 2;
  int y = r.Top + (r.Height() - canvas.TextHeight(caption_)) / 2;
  canvas.TextOut(x, y, caption_);
}

void TVxCalcPanel::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (OnClick) OnClick();
}

TVxCustomCalculator::TVxCustomCalculator(tk::Component* owner, bool asPopup, QWidget* parent)
    : TVxCustomControl(owner, parent), popup_(asPopup) {
  tape_ = std::make_unique<TVxCalcTape>(this, kMarkWidth);
  tape_->MaxPaperCount = 9999;
  tape_->SetTapeColor(tk::clWindow);
  tape_->OnRecall = [this](tk::Extended value, const std::string& text) { RecallFromTape(value, text); };
  tape_->OnFontChange = [this] { TapeFontChanged(); };
  std::string sep = tk::Svc().IntlProfileString("sDecimal");
  decimalSeparator_ = sep.size() == 1 ? sep[0] : '.';
  tape_->DecimalSeparator = decimalSeparator_;

  panel_ = new TVxCalcPanel(this);
  panel_->OnClick = [this] { setFocus(); };
  panel_->TextFont = tape_->Font();
  panel_->SetCaption("0 ");

  tk::Font font;
  font.SetName("MS Sans Serif");
  font.SetSize(8);
  SetFont(font);
  engine_.Decimals = 2;

  static const char* const kCaptions[kButtonCount] = {nullptr, nullptr, nullptr, nullptr, "+",    "-",   "*", "/",
                                                      "0",     "1",     "2",     "3",     "4",    "5",   "6", "7",
                                                      "8",     "9",     nullptr, "=",     "1/x",  "+/-", "%", nullptr,
                                                      nullptr, nullptr, nullptr, nullptr, nullptr};
  for (int i = 0; i < kButtonCount; ++i)
    if (kCaptions[i]) buttons_[static_cast<std::size_t>(i)].Caption = kCaptions[i];
  auto caption = [this](B b, std::uint16_t id) {
    buttons_[static_cast<std::size_t>(Index(b) - 1)].Caption = GetVxStr(id);
  };
  caption(B::cbTape, 30299);
  caption(B::cbBack, 30293);
  caption(B::cbClearEntry, 30300);
  caption(B::cbClear, 30301);
  caption(B::cbSqrt, 30302);
  caption(B::cbMemClear, 30294);
  caption(B::cbMemRecall, 30295);
  caption(B::cbMemStore, 30296);
  caption(B::cbMemAdd, 30297);
  caption(B::cbMemSub, 30298);
  buttons_[static_cast<std::size_t>(Index(B::cbDecimal) - 1)].Caption = std::string(1, decimalSeparator_);

  // The whole surface is painted, the display and tape are children: no background erasing.
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (popup_) setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  tk::CustomControl::SetBounds(Left(), Top(), 200, 140);
  tapeHeight_ = Height() / 3;
  colors_.OnChange = [this] { ColorsChanged(); };
  ApplyOptions();
  ColorsChanged();
}

TVxCustomCalculator::~TVxCustomCalculator() { tape_.reset(); }

const TVxButtonInfo& TVxCustomCalculator::ButtonInfo(TVxCalculatorButton button) const {
  static const TVxButtonInfo none{{}, "", false};
  int i = Index(button) - 1;
  return i >= 0 && i < kButtonCount ? buttons_[static_cast<std::size_t>(i)] : none;
}

int TVxCustomCalculator::BorderWidth() const {
  int width = popup_ ? 1 : 0;
  if (borderStyle_ == TBorderStyle::bsSingle) width += NewStyleControls() && ctl3D_ ? 2 : 1;
  return width;
}

tk::Rect TVxCustomCalculator::ClientArea() const {
  int bw = BorderWidth();
  return {bw, bw, std::max(bw, Width() - bw), std::max(bw, Height() - bw)};
}

void TVxCustomCalculator::CalcLayout() {
  if (!HandleAllocated()) return;
  tk::Rect client = ClientArea();
  int bw = client.Left, W = client.Width(), H = client.Height();
  for (TVxButtonInfo& info : buttons_) info.Visible = true;
  int m = W > 200 ? 6 : 4, s = W > 200 ? 4 : 2;

  QFontMetrics tapeMetrics(TapeFont().Q());
  const int border = 1;
  int displayHeight = tapeMetrics.height();
  if (NewStyleControls())
    displayHeight += border * (ctl3D_ ? 8 : 6);
  else
    displayHeight += std::min(QFontMetrics(QApplication::font()).height(), tapeMetrics.height()) / 4 + 4 * border;

  bool memory = options_.Contains(Opt::coShowMemoryButtons);
  int b = 0, g = 0;
  if (!memory) {
    b = (W - 2 * m - 4 * s) / 5;
    int spare = (W - 2 * m - 4 * s) / 6;
    if (spare >= 4)
      m += 2;
    else if (spare >= 2)
      m += 1;
  } else {
    b = (W - 3 * m - 4 * s) / 6;
    g = W - 2 * m - 6 * b - 4 * s;
  }

  bool showTape = options_.Contains(Opt::coShowTape);
  int top = 2 * m + displayHeight + (showTape ? tapeHeight_ + m : 0);
  int h = (H - top - m - 4 * s) / 5;
  top = H - m - 5 * h - 4 * s;

  int displayWidth = 5 * b + 4 * s + (memory ? b + g : 0);
  // Rounded up: a fractional glyph width must not let a full line outgrow the tape.
  int f = (tapeMetrics.horizontalAdvance(QStringLiteral(" 0123456789")) + 10) / 11;
  if (f <= 0) f = 8;
  if (showTape) {
    tape_->SetBounds(bw + m, bw + m, displayWidth, tapeHeight_);
    panel_->setGeometry(bw + m + 2, bw + tapeHeight_ + 2 * m, std::max(0, displayWidth - 18), displayHeight);
    tape_->CharsPerLine = (displayWidth - 18 - f / 2) / f;
  } else {
    panel_->setGeometry(bw + m, bw + m, std::max(0, displayWidth), displayHeight);
    tape_->CharsPerLine = (displayWidth - f / 2) / f;
  }

  auto place = [&](B button, int x, int y, int w) {
    buttons_[static_cast<std::size_t>(Index(button) - 1)].Position = tk::Bounds(x, y, w, h);
  };
  auto row = [&](int r) { return top + r * (h + s); };
  static const B kMemoryColumn[] = {B::cbMemClear, B::cbMemRecall, B::cbMemStore, B::cbMemAdd, B::cbMemSub};
  for (int r = 0; r < 5; ++r) {
    place(kMemoryColumn[r], m, row(r), b);
    buttons_[static_cast<std::size_t>(Index(kMemoryColumn[r]) - 1)].Visible = memory;
  }
  int x0 = memory ? m + b + g : m;
  static const B kBlock[4][5] = {{B::cb7, B::cb8, B::cb9, B::cbDiv, B::cbSqrt},
                                 {B::cb4, B::cb5, B::cb6, B::cbMul, B::cbPercent},
                                 {B::cb1, B::cb2, B::cb3, B::cbSub, B::cbInvert},
                                 {B::cb0, B::cbChangeSign, B::cbDecimal, B::cbAdd, B::cbEqual}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) place(kBlock[r][c], x0 + c * (b + s), row(r + 1), b);

  // Row 0: the edit buttons share the width; the remainder widens the leading gaps so the row ends flush.
  bool clearTape = options_.Contains(Opt::coShowClearTapeButton);
  std::vector<B> edits = clearTape ? std::vector<B>{B::cbTape, B::cbBack, B::cbClearEntry, B::cbClear}
                                   : std::vector<B>{B::cbBack, B::cbClearEntry, B::cbClear};
  int span = clearTape ? 5 * b + s : 4 * b + s;
  int count = static_cast<int>(edits.size());
  int w = span / count, remainder = span % count;
  int x = clearTape ? x0 : x0 + b + s;
  for (int i = 0; i < count; ++i) {
    place(edits[static_cast<std::size_t>(i)], x, row(0), w);
    x += w + s + (i < remainder ? 1 : 0);
  }
  buttons_[static_cast<std::size_t>(Index(B::cbTape) - 1)].Visible = clearTape;
  tape_->RefreshDisplays();
}

void TVxCustomCalculator::CreateWnd() {
  TVxCustomControl::CreateWnd();
  CalcLayout();
  ClearCalculator();
  ColorsChanged();
}

void TVxCustomCalculator::resizeEvent(QResizeEvent* event) {
  TVxCustomControl::resizeEvent(event);
  CalcLayout();
}

void TVxCustomCalculator::SetBounds(int left, int top, int width, int height) {
  // In the designer, dragging the top edge gives the change of height to the tape.
  if (Designing() && options_.Contains(Opt::coShowTape) && top != Top() && height != Height())
    tapeHeight_ = std::max(kMinTapeHeight, tapeHeight_ + height - Height());
  TVxCustomControl::SetBounds(left, top, width, height);
}

std::string TVxCustomCalculator::Formatted(tk::Extended value) const {
  return FormatCalcValue(value, engine_.Decimals, decimalSeparator_);
}

tk::Extended TVxCustomCalculator::ToValue(const std::string& text) const {
  return CalcTextToValue(text, decimalSeparator_);
}

void TVxCustomCalculator::SetDisplayLine(const std::string& text) {
  int blanks = tape_->CharsPerLine - static_cast<int>(text.size()) - 2;
  panel_->SetCaption(std::string(static_cast<std::size_t>(std::max(0, blanks)), ' ') + text + "  ");
}

void TVxCustomCalculator::SetDisplay(tk::Extended value) {
  displayValue_ = value;
  SetDisplayLine(Formatted(value));
}

void TVxCustomCalculator::SetDisplayStr(const std::string& value) {
  std::size_t first = value.find_first_not_of(' ');
  entryText_ = first == std::string::npos ? std::string() : value.substr(first);
}

void TVxCustomCalculator::ClearCalculator() {
  engine_.ClearAll();
  entryValue_ = 0;
  displayValue_ = 0;
  entryText_ = "0";
  pendingMinus_ = false;
  tape_->InitializeTape();
  SetDisplayLine("0");
}

void TVxCustomCalculator::SetMemory(tk::Extended value) {
  if (value == engine_.Memory) return;
  engine_.Memory = value;
  CalcLayout();
  Invalidate();
}

void TVxCustomCalculator::SetOperand(tk::Extended value) {
  if (value != engine_.TopOperand()) engine_.PushOperand(value);
}

void TVxCustomCalculator::PushOperand(tk::Extended value) {
  engine_.PushOperand(value);
  entryValue_ = value;
  SetDisplay(value);
  // An operator right after "=" reads the entry text: it must be this value, not the last result.
  entryText_ = Formatted(value);
}

void TVxCustomCalculator::RecallFromTape(tk::Extended value, const std::string& text) {
  SetDisplay(value);
  entryValue_ = value;
  if (value != engine_.TopOperand()) engine_.PushOperand(value);
  entryText_ = text;
  setFocus();
}

void TVxCustomCalculator::SetText(const std::string& text) {
  ClearCalculator();
  for (char c : text) KeyPress(c);
}

void TVxCustomCalculator::CopyToClipboard() { tk::Svc().SetClipboardText(Text()); }

void TVxCustomCalculator::PasteFromClipboard() {
  std::string text = tk::Svc().ClipboardText().value_or(std::string());
  if (text.empty()) return;
  ClearCalculator();
  for (char c : text) {
    if ((c >= '0' && c <= '9') || std::string("%*+-./=").find(c) != std::string::npos || c == decimalSeparator_)
      KeyPress(c);
  }
}

void TVxCustomCalculator::SetColors(const TVxCalcColors& value) {
  std::function<void()> own = colors_.OnChange;
  colors_.Assign(value);
  colors_.OnChange = own;
  ColorsChanged();
}

void TVxCustomCalculator::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
  Invalidate();
}

void TVxCustomCalculator::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  panel_->Bevel = value;
  panel_->update();
  tape_->SetCtl3D(value);
  if (borderStyle_ == TBorderStyle::bsSingle) RecreateWnd();
  CalcLayout();
  Invalidate();
}

void TVxCustomCalculator::SetDecimals(int value) {
  engine_.Decimals = value;
  CalcLayout();
  Invalidate();
}

void TVxCustomCalculator::SetTapeHeight(int value) {
  tapeHeight_ = value;
  CalcLayout();
  Invalidate();
}

void TVxCustomCalculator::SetMaxPaperCount(std::int32_t value) {
  tape_->MaxPaperCount = value;
  if (TVxCalcTapeListBox* list = tape_->ListBox()) list->viewport()->update();
}

void TVxCustomCalculator::SetOptions(TVxCalculatorOptions value) {
  options_ = value;
  ApplyOptions();
}

void TVxCustomCalculator::ApplyOptions() {
  bool showTape = options_.Contains(Opt::coShowTape);
  tape_->ShowTape = showTape;
  tape_->SetVisible(showTape);
  engine_.ShowSeparatePercent = options_.Contains(Opt::coShowSeparatePercent);
  CalcLayout();
  Invalidate();
}

void TVxCustomCalculator::ColorsChanged() {
  panel_->Color = colors_.Display();
  panel_->TextColor = colors_.DisplayTextColor();
  panel_->update();
  if (!Loading()) SetFontColor(colors_.DisplayTextColor());
  tape_->SetTapeColor(colors_.Display());
  // The tape's text follows the display's, or a dark scheme would print black on black.
  if (tape_->Font().Color() != colors_.DisplayTextColor()) {
    tk::Font font = tape_->Font();
    font.SetColor(colors_.DisplayTextColor());
    tape_->SetFont(font);
  }
  Invalidate();
}

void TVxCustomCalculator::TapeFontChanged() {
  panel_->TextFont = tape_->Font();
  panel_->update();
  CalcLayout();
}

void TVxCustomCalculator::PressButton(TVxCalculatorButton button) {
  if (!HandleAllocated()) return;
  if (pressed_ == B::cbNone) {
    pressed_ = button;
    RepaintButton(button);
  }
  try {
    if (lastButton_ != B::cbClear && button == B::cbClear) {
      ClearCalculator();
      tape_->SpaceTape(separatorChar_);
    }
    if (engine_.State.Contains(St::csLocked))
      platform::Ui().Beep();
    else
      Calculate(button);
    EditButton(button);
  } catch (...) {
    SetDisplayLine(kErrorText);
    engine_.State = {St::csLocked};
    platform::Ui().Beep();
  }
  if (!(hasFocus() && leftDown_)) {
    B marked = pressed_;
    pressed_ = B::cbNone;
    RepaintButton(marked);
  }
  lastButton_ = button;
  if (OnButtonPressed) OnButtonPressed(this, button);
}

void TVxCustomCalculator::Calculate(TVxCalculatorButton& button) {
  if (button == B::cbEqual && (lastButton_ == B::cbNone || lastButton_ == B::cbClear || lastButton_ == B::cbEqual)) {
    ClearCalculator();
    button = B::cbClear;
    return;
  }
  if (lastButton_ == B::cbPercent && (IsOperator(button) || button == B::cbEqual)) {
    Evaluate(button);
    return;
  }
  if ((lastButton_ == B::cbEqual || lastButton_ == B::cbMemRecall) && IsOperator(button)) {
    engine_.AddOperand(ToValue(entryText_), OperationOf(button));
    Evaluate(button);
    return;
  }
  if (button != B::cbMemStore) {
    if (engine_.AddOperand(entryValue_, OperationOf(button))) {
      Evaluate(button);
      if (button == B::cbEqual || button == B::cbInvert || button == B::cbSqrt) entryValue_ = engine_.PopOperand();
    }
    return;
  }
  if (lastButton_ != B::cbEqual) Evaluate(button);
  SetMemory(displayValue_);
}

void TVxCustomCalculator::Evaluate(TVxCalculatorButton button) {
  if (!engine_.State.Contains(St::csValid)) return;
  if (!engine_.AddOperation(OperationOf(button))) return;
  SetDisplay(engine_.TopOperand());
  if (button == B::cbNone || IsOperator(button) || button == B::cbEqual || button == B::cbPercent) {
    bool repeated = IsOperator(button) && button == lastButton_;
    tape_->AddToTape(repeated ? Formatted(entryValue_) : entryText_, MarkOf(button));
  }
  if (button == B::cbEqual && engine_.LastOperation == Op::coEqual) {
    if (options_.Contains(Opt::coShowItemCount)) {
      char count[16];
      std::snprintf(count, sizeof count, "%3.3d", engine_.OperationCount + 1);
      tape_->AddToTapeLeft(count);
    }
    tape_->AddToTape(Formatted(displayValue_), kTotalMark);
    tape_->SpaceTape(separatorChar_);
  }
  entryText_ = Formatted(displayValue_);
}

void TVxCustomCalculator::EditButton(TVxCalculatorButton button) {
  if (IsDigit(button)) {
    TypeDigit(static_cast<char>('0' + (Index(button) - Index(B::cb0))));
    return;
  }
  switch (button) {
    case B::cbDecimal:
      TypeDecimal();
      break;
    case B::cbBack:
      BackSpace();
      break;
    case B::cbClearEntry:
      entryText_.clear();
      entryValue_ = 0;
      pendingMinus_ = false;
      SetDisplay(0);
      break;
    case B::cbChangeSign:
      ChangeSign();
      break;
    case B::cbTape: {
      std::vector<std::string> lines = tape_->Tape();
      for (std::string& line : lines) line.clear();
      tape_->SetTape(lines);
      tape_->RefreshDisplays();
      break;
    }
    case B::cbMemClear:
    case B::cbMemStore:
    case B::cbMemAdd:
    case B::cbMemSub:
      RepaintButton(B::cbMemClear);
      RepaintButton(B::cbMemRecall);
      break;
    default:
      break;
  }
}

void TVxCustomCalculator::TypeDigit(char digit) {
  if (engine_.LastOperation == Op::coEqual) ClearCalculator();
  const char sep = decimalSeparator_;
  bool fixedPoint = engine_.Decimals < 0;
  if (engine_.State.Contains(St::csClear)) {
    // A new number: in fixed-point entry the digits arrive from the right of "0.00".
    decimalTyped_ = false;
    entryText_ = fixedPoint ? "0" + std::string(1, sep) + std::string(static_cast<std::size_t>(-engine_.Decimals), '0')
                            : std::string();
  }
  entryText_ += digit;
  if (pendingMinus_) {
    entryText_.insert(0, 1, '-');
    pendingMinus_ = false;
  }
  if (fixedPoint && !decimalTyped_) entryText_ = ShiftSeparatorRight(entryText_, sep);
  entryValue_ = ToValue(entryText_);
  SetDisplay(entryValue_);
  if (entryValue_ == 0 && entryText_.find(sep) == std::string::npos) {
    entryText_ = "0";
    engine_.State = {St::csValid, St::csClear};
  } else {
    SetDisplayLine(entryText_);
    engine_.State = {St::csValid};
  }
}

void TVxCustomCalculator::TypeDecimal() {
  const char sep = decimalSeparator_;
  if (engine_.State.Contains(St::csClear)) {
    entryText_ = "0" + std::string(1, sep);
    SetDisplayLine(entryText_);
    decimalTyped_ = true;
    engine_.State = {St::csValid};
    return;
  }
  if (entryText_.find(sep) != std::string::npos) return;
  entryText_ += sep;
  if (entryText_.size() == 1) entryText_.insert(0, 1, '0');
  entryValue_ = ToValue(entryText_);
  SetDisplay(entryValue_);
  SetDisplayLine(entryText_);
  engine_.State = {St::csValid};
  decimalTyped_ = true;
}

void TVxCustomCalculator::BackSpace() {
  if (entryValue_ == 0) return;
  bool negative = !entryText_.empty() && entryText_[0] == '-';
  std::string body = negative ? entryText_.substr(1) : entryText_;
  // The sign is no digit: "-5" goes back to 0 as "5" does.
  if (body.size() < 2) {
    entryText_ = "0";
    entryValue_ = 0;
    pendingMinus_ = false;
    SetDisplay(0);
    engine_.State = {St::csValid, St::csClear};
    return;
  }
  if (engine_.Decimals < 0 && !decimalTyped_) body = ShiftSeparatorLeft(body, decimalSeparator_);
  body.pop_back();
  entryText_ = (negative ? "-" : "") + body;
  entryValue_ = ToValue(entryText_);
  SetDisplay(entryValue_);
  SetDisplayLine(entryText_);
}

void TVxCustomCalculator::ChangeSign() {
  // A sign typed before any digit waits for the number.
  if (entryText_.empty() || entryText_ == "-") {
    entryValue_ = 0;
    pendingMinus_ = !pendingMinus_;
    SetDisplay(0);
    entryText_ = pendingMinus_ ? "-" : "";
    engine_.State = {St::csValid, St::csClear};
    return;
  }
  if (entryText_[0] == '-')
    entryText_.erase(0, 1);
  else
    entryText_.insert(0, 1, '-');
  entryValue_ = ToValue(entryText_);
  SetDisplay(entryValue_);
  SetDisplayLine(entryText_);
}

bool TVxCustomCalculator::MemoryButtonDead(TVxCalculatorButton button) const {
  return (button == B::cbMemClear || button == B::cbMemRecall) && engine_.Memory == 0;
}

tk::TColor TVxCustomCalculator::CaptionColor(TVxCalculatorButton button) const {
  if (MemoryButtonDead(button)) return colors_.DisabledMemoryButtons();
  if (button >= B::cbMemClear && button <= B::cbMemSub) return colors_.MemoryButtons();
  if (button >= B::cbTape && button <= B::cbClear) return colors_.EditButtons();
  if (IsOperator(button) || button == B::cbEqual) return colors_.OperatorButtons();
  if (IsDigit(button) || button == B::cbDecimal) return colors_.NumberButtons();
  return colors_.FunctionButtons();
}

void TVxCustomCalculator::RepaintButton(TVxCalculatorButton button) {
  const TVxButtonInfo& info = ButtonInfo(button);
  if (!HandleAllocated() || !info.Visible || info.Position.Empty()) return;
  int bw = BorderWidth();
  repaint(info.Position.Offset(bw, bw).ToQRect());
}

void TVxCustomCalculator::Paint(tk::Canvas& canvas) {
  tk::Rect r = ClientRect();
  canvas.Brush.Color = Color();
  canvas.FillRect(r);
  if (popup_) canvas.Frame3D(r, tk::clWindowFrame, tk::clWindowFrame, 1);
  if (borderStyle_ == TBorderStyle::bsSingle) {
    if (NewStyleControls() && ctl3D_) {
      canvas.Frame3D(r, tk::clBtnShadow, tk::clBtnHighlight, 1);
      canvas.Frame3D(r, tk::cl3DDkShadow, tk::cl3DLight, 1);
    } else {
      canvas.Frame3D(r, tk::clWindowFrame, tk::clWindowFrame, 1);
    }
  }
  int bw = BorderWidth();
  for (int i = 0; i < kButtonCount; ++i) {
    const TVxButtonInfo& info = buttons_[static_cast<std::size_t>(i)];
    if (!info.Visible || info.Position.Empty()) continue;
    B button = ButtonOf(i + 1);
    bool down = button == pressed_;
    tk::Rect face = DrawButtonFrame(canvas, info.Position.Offset(bw, bw), down, false, TButtonStyle::Auto);
    if (down) face = face.Offset(1, 1);
    canvas.Font = Font();
    canvas.Font.SetColor(CaptionColor(button));
    canvas.Brush.Style = tk::BrushStyle::Clear;
    canvas.DrawText(info.Caption, face, tk::DT_CENTER | tk::DT_VCENTER | tk::DT_SINGLELINE | tk::DT_NOPREFIX);
    canvas.Brush.Style = tk::BrushStyle::Solid;
  }
  if (hasFocus()) {
    const TVxButtonInfo& equal = ButtonInfo(B::cbEqual);
    canvas.DrawFocusRect(equal.Position.Offset(bw, bw).Inflate(-3, -3));
  }
  if (sizingTape_) {
    // What a dotted XOR line leaves on the button face.
    canvas.Brush.Color = tk::ColorToRGB(Color()) ^ 0xFFFFFF;
    for (int x = r.Left; x < r.Right; x += 2) canvas.FillRect({x, sizingLine_, x + 1, sizingLine_ + 1});
  }
}

void TVxCustomCalculator::keyPressEvent(QKeyEvent* event) {
  std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
  tk::ShiftState shift = tk::ShiftFromQt(event->modifiers());
  if (key) {
    KeyDown(key, shift);
    if (key == 0) {  // taken: no character follows
      event->accept();
      return;
    }
  }
  QString text = event->text();
  if (text.size() == 1 && text[0].unicode() > 0 && text[0].unicode() <= 0xFF) {
    char c = static_cast<char>(text[0].unicode());
    KeyPress(c);
    event->accept();
    return;
  }
  event->ignore();
}

void TVxCustomCalculator::keyReleaseEvent(QKeyEvent* event) {
  std::uint16_t key = tk::VirtualKeyFromQt(event->key(), event->modifiers());
  KeyUp(key, tk::ShiftFromQt(event->modifiers()));
  event->accept();
}

void TVxCustomCalculator::KeyDown(std::uint16_t& key, tk::ShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
  if (key == 0) return;
  tk::ShiftState modifiers = shift & (tk::ssShift | tk::ssCtrl | tk::ssAlt);
  bool plain = modifiers == 0, ctrl = modifiers == tk::ssCtrl;
  B button = B::cbNone;
  if (key == tk::VK_F1 + 8 && plain)  // F9
    button = B::cbChangeSign;
  else if (key == tk::VK_BACK)
    button = B::cbBack;
  else if (key == tk::VK_DELETE && plain)
    button = B::cbClearEntry;
  else if (key == tk::VK_ESCAPE)
    button = B::cbClear;
  else if (key == tk::VK_RETURN)  // also arrives as a character when text is typed in
    button = B::cbEqual;
  else if (ctrl && key == 'C')
    CopyToClipboard();
  else if (ctrl && key == 'V')
    PasteFromClipboard();
  else if (ctrl) {
    static const std::pair<char, B> kCtrlKeys[] = {{'L', B::cbMemClear}, {'R', B::cbMemRecall}, {'M', B::cbMemStore},
                                                   {'P', B::cbMemAdd},   {'S', B::cbMemSub},    {'T', B::cbTape}};
    for (const auto& [c, b] : kCtrlKeys)
      if (key == c) button = b;
  }
  if (ctrl && (key == 'C' || key == 'V')) {
    key = 0;
    return;
  }
  if (button == B::cbNone) return;
  PressButton(button);
  key = 0;
}

void TVxCustomCalculator::KeyUp(std::uint16_t& key, tk::ShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TVxCustomCalculator::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
  static const std::pair<char, B> kChars[] = {{'+', B::cbAdd},     {'-', B::cbSub},   {'*', B::cbMul},
                                              {'/', B::cbDiv},     {'=', B::cbEqual}, {'\r', B::cbEqual},
                                              {'%', B::cbPercent}, {'@', B::cbSqrt},  {'r', B::cbInvert}};
  B button = B::cbNone;
  if (key >= '0' && key <= '9')
    button = ButtonOf(Index(B::cb0) + (key - '0'));
  else if (key == '.' || key == decimalSeparator_)
    button = B::cbDecimal;
  for (const auto& [c, b] : kChars)
    if (key == c) button = b;
  if (button == B::cbNone) return;
  PressButton(button);
}

TVxCalculatorButton TVxCustomCalculator::ButtonAt(int x, int y) const {
  for (int i = 0; i < kButtonCount; ++i) {
    const TVxButtonInfo& info = buttons_[static_cast<std::size_t>(i)];
    if (info.Visible && info.Position.Contains({x, y})) return ButtonOf(i + 1);
  }
  return B::cbNone;
}

bool TVxCustomCalculator::InTapeSizingBand(int y) const {
  if (!Designing() || !options_.Contains(Opt::coShowTape)) return false;
  int bottom = tape_->Top() + tape_->Height();
  return y >= bottom && y < bottom + 4;
}

void TVxCustomCalculator::mousePressEvent(QMouseEvent* event) {
  setFocus();
  QPoint p = event->position().toPoint();
  int bw = BorderWidth(), x = p.x() - bw, y = p.y() - bw;
  tk::ShiftState shift = tk::ShiftFromQt(event->modifiers(), event->buttons());
  if (event->button() == Qt::LeftButton && InTapeSizingBand(p.y())) {
    sizingTape_ = true;
    sizingLine_ = p.y();
    update();
    return;
  }
  if (event->button() == Qt::LeftButton) {
    leftDown_ = true;
    B button = ButtonAt(x, y);
    if (button != B::cbNone && !MemoryButtonDead(button)) {
      pressed_ = button;
      RepaintButton(button);
    }
  }
  MouseDown(event->button(), shift, x, y);
}

void TVxCustomCalculator::mouseMoveEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  if (sizingTape_) {
    int low = tape_->Top() + kMinTapeHeight, high = Height() - kMinTapeHeight;
    sizingLine_ = std::max(low, std::min(p.y(), high));
    update();
    return;
  }
  if (Designing() && options_.Contains(Opt::coShowTape)) {
    if (InTapeSizingBand(p.y()))
      setCursor(Qt::SplitVCursor);
    else
      unsetCursor();
  }
  TVxCustomControl::mouseMoveEvent(event);
}

void TVxCustomCalculator::mouseReleaseEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  int bw = BorderWidth(), x = p.x() - bw, y = p.y() - bw;
  if (sizingTape_) {
    sizingTape_ = false;
    SetTapeHeight(sizingLine_ - 8);
    update();
    return;
  }
  if (event->button() == Qt::LeftButton) leftDown_ = false;
  if (pressed_ != B::cbNone) {
    B button = pressed_;
    RepaintButton(button);
    if (ButtonInfo(button).Position.Contains({x, y})) PressButton(button);
    pressed_ = B::cbNone;
    RepaintButton(button);
  }
  MouseUp(event->button(), tk::ShiftFromQt(event->modifiers(), event->buttons()), x, y);
  TVxCustomControl::mouseReleaseEvent(event);
}

void TVxCustomCalculator::MouseDown(Qt::MouseButton button, tk::ShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TVxCustomCalculator::MouseUp(Qt::MouseButton button, tk::ShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TVxCustomCalculator::CancelMode() {
  if (!sizingTape_) return;
  sizingTape_ = false;
  update();
}

void TVxCustomCalculator::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case WM_GETTEXTLENGTH:
      message.Result = static_cast<std::intptr_t>(Text().size());
      return;
    case WM_GETTEXT: {
      // Word parameter: the buffer's size; long parameter: the buffer. The copy ends in a zero.
      auto* buffer = reinterpret_cast<char*>(message.LParam);
      std::size_t size = message.WParam;
      if (!buffer || size == 0) {
        message.Result = 0;
        return;
      }
      std::string text = Text().substr(0, size - 1);
      std::copy(text.begin(), text.end(), buffer);
      buffer[text.size()] = '\0';
      message.Result = static_cast<std::intptr_t>(text.size());
      return;
    }
    case WM_SETTEXT:
      SetText(message.LParam ? reinterpret_cast<const char*>(message.LParam) : "");
      message.Result = 1;
      return;
    case tk::CM_VISIBLECHANGED:
      TVxCustomControl::Dispatch(message);
      tape_->SetVisible(options_.Contains(Opt::coShowTape));
      return;
    case tk::WM_SETFOCUS:
      TVxCustomControl::Dispatch(message);
      RepaintButton(B::cbEqual);
      return;
    case tk::WM_KILLFOCUS:
      TVxCustomControl::Dispatch(message);
      CancelMode();
      RepaintButton(B::cbEqual);
      return;
    case tk::CM_FONTCHANGED:
      TVxCustomControl::Dispatch(message);
      CalcLayout();
      return;
    default:
      TVxCustomControl::Dispatch(message);
  }
}

void TVxCustomCalculator::GetProperties(tk::PropertyList& list) const {
  TVxCustomControl::GetProperties(list);
  using C = TVxCustomCalculator;
  list.push_back(tk::MakeEnumProperty<C>("BorderStyle", &C::BorderStyle, &C::SetBorderStyle, kBorderStyleNames, 0));
  // The colours before the scheme: a scheme read last reloads them, a custom one leaves them.
  for (int i = 0; i < TVxCalcColors::Count; ++i) {
    tk::PropertyInfo p;
    p.Name = std::string("Colors.") + kColorNames[i];
    p.Get = [i](const tk::Component& c) {
      return tk::Value(static_cast<std::int64_t>(dynamic_cast<const C&>(c).Colors().Color(i)));
    };
    p.Set = [i](tk::Component& c, const tk::Value& v) {
      dynamic_cast<C&>(c).Colors().SetColor(i, tk::detail::FromValue<tk::TColor>(v));
    };
    p.Default = tk::Value(static_cast<std::int64_t>(
        TVxCalcColors::SchemeColors(TVxCalcColorScheme::cscalcWindows)[static_cast<std::size_t>(i)]));
    list.push_back(p);
  }
  tk::PropertyInfo scheme;
  scheme.Name = "Colors.ColorScheme";
  scheme.Get = [](const tk::Component& c) {
    return tk::Value(tk::Ident{kSchemeNames[static_cast<int>(dynamic_cast<const C&>(c).Colors().ColorScheme())]});
  };
  scheme.Set = [](tk::Component& c, const tk::Value& v) {
    const std::string& name = tk::detail::Get<tk::Ident>(v).Name;
    for (int i = 0; i < 5; ++i)
      if (name == kSchemeNames[i])
        return dynamic_cast<C&>(c).Colors().SetColorScheme(static_cast<TVxCalcColorScheme>(i));
    tk::detail::InvalidPropertyValue();
  };
  scheme.Default = tk::Value(tk::Ident{kSchemeNames[0]});
  list.push_back(scheme);
  list.push_back(tk::MakeProperty<C>("Ctl3D", &C::Ctl3D, &C::SetCtl3D, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("Decimals", &C::Decimals, &C::SetDecimals, tk::Value(std::int64_t{2})));
  list.push_back(
      tk::MakeProperty<C>("MaxPaperCount", &C::MaxPaperCount, &C::SetMaxPaperCount, tk::Value(std::int64_t{9999})));
  tk::PropertyInfo options;
  options.Name = "Options";
  options.Get = [](const tk::Component& c) {
    return tk::Value(static_cast<std::int64_t>(dynamic_cast<const C&>(c).Options().Bits()));
  };
  options.Set = [](tk::Component& c, const tk::Value& v) {
    auto bits = tk::detail::FromValue<std::uint8_t>(v);
    if (bits >= 1u << 5) tk::detail::InvalidPropertyValue();
    dynamic_cast<C&>(c).SetOptions(TVxCalculatorOptions::FromBits(bits));
  };
  options.Default =
      tk::Value(static_cast<std::int64_t>(TVxCalculatorOptions{Opt::coShowItemCount, Opt::coShowMemoryButtons}.Bits()));
  list.push_back(options);
  list.push_back(tk::MakeProperty<C>("TapeHeight", &C::TapeHeight, &C::SetTapeHeight));
  tk::PropertyInfo separator;
  separator.Name = "TapeSeparatorChar";
  separator.Get = [](const tk::Component& c) {
    return tk::Value(std::string(1, dynamic_cast<const C&>(c).TapeSeparatorChar()));
  };
  separator.Set = [](tk::Component& c, const tk::Value& v) {
    const std::string& text = tk::detail::Get<std::string>(v);
    if (text.size() != 1) tk::detail::InvalidPropertyValue();
    dynamic_cast<C&>(c).SetTapeSeparatorChar(text[0]);
  };
  separator.Default = tk::Value(std::string("_"));
  list.push_back(separator);
}

}  // namespace controls
