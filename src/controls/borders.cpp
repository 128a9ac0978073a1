#include "controls/borders.h"

#include <QKeyEvent>
#include <QResizeEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <utility>

#include "controls/controller.h"
#include "controls/misc.h"
#include "tk/filer.h"

namespace controls {

namespace {

const char* const kPenStyleNames[] = {"psSolid",      "psDash",  "psDot",        "psDashDot",
                                      "psDashDotDot", "psClear", "psInsideFrame"};

const char* const kCharCaseNames[] = {"ecNormal", "ecUpperCase", "ecLowerCase"};
const char* const kAnchorNames[] = {"paLeft", "paRight"};
constexpr const char* kCalculatorGlyph = "VXBTNCLC";

const bool kRegistered =
    (tk::RegisterClass("TVxBorderedEdit", [](tk::Component* owner) { return new TVxBorderedEdit(owner); }),
     tk::RegisterClass("TVxBorderedNumberEdit", [](tk::Component* owner) { return new TVxBorderedNumberEdit(owner); }),
     true);

}  // namespace

// border lines

void TVxBorder::Changed() {
  if (OnChange) OnChange();
}

void TVxBorder::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Changed();
}

void TVxBorder::SetBorderStyle(TVxBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Changed();
}

void TVxBorder::SetPenColor(tk::TColor value) {
  if (value == penColor_) return;
  penColor_ = value;
  Changed();
}

void TVxBorder::SetPenStyle(tk::PenStyle value) {
  if (value == penStyle_) return;
  penStyle_ = value;
  Changed();
}

void TVxBorder::SetPenWidth(int value) {
  if (value < 1 || value == penWidth_) return;
  penWidth_ = value;
  Changed();
}

void TVxBorder::Assign(const TVxBorder& other) {
  SetEnabled(other.Enabled());
  SetPenColor(other.PenColor());
  SetPenStyle(other.PenStyle());
  SetPenWidth(other.PenWidth());
}

void TVxBorders::Assign(const TVxBorders& other) {
  left_.Assign(other.left_);
  right_.Assign(other.right_);
  top_.Assign(other.top_);
  bottom_.Assign(other.bottom_);
}

void AppendBorderProperties(tk::PropertyList& list, const std::string& prefix,
                            std::function<TVxBorders&(tk::Component&)> get) {
  using Side = TVxBorder& (TVxBorders::*)();
  static const std::pair<const char*, Side> kSides[] = {{"LeftBorder", &TVxBorders::LeftBorder},
                                                        {"RightBorder", &TVxBorders::RightBorder},
                                                        {"TopBorder", &TVxBorders::TopBorder},
                                                        {"BottomBorder", &TVxBorders::BottomBorder}};
  for (const auto& [name, side] : kSides) {
    auto border = [get, side](const tk::Component& c) -> TVxBorder& {
      return (get(const_cast<tk::Component&>(c)).*side)();
    };
    const std::string base = prefix + "." + name + ".";
    tk::PropertyInfo enabled;
    enabled.Name = base + "Enabled";
    enabled.Get = [border](const tk::Component& c) { return tk::Value(border(c).Enabled()); };
    enabled.Set = [border](tk::Component& c, const tk::Value& v) {
      border(c).SetEnabled(tk::detail::FromValue<bool>(v));
    };
    enabled.Default = tk::Value(false);
    tk::PropertyInfo color;
    color.Name = base + "PenColor";
    color.Get = [border](const tk::Component& c) { return tk::Value(static_cast<std::int64_t>(border(c).PenColor())); };
    color.Set = [border](tk::Component& c, const tk::Value& v) {
      border(c).SetPenColor(tk::detail::FromValue<tk::TColor>(v));
    };
    color.Default = tk::Value(static_cast<std::int64_t>(tk::clBlack));
    tk::PropertyInfo style;
    style.Name = base + "PenStyle";
    style.Get = [border](const tk::Component& c) {
      return tk::Value(tk::Ident{kPenStyleNames[static_cast<int>(border(c).PenStyle())]});
    };
    style.Set = [border](tk::Component& c, const tk::Value& v) {
      const std::string& text = tk::detail::Get<tk::Ident>(v).Name;
      for (int i = 0; i < 7; ++i)
        if (text == kPenStyleNames[i]) return border(c).SetPenStyle(static_cast<tk::PenStyle>(i));
      tk::detail::InvalidPropertyValue();
    };
    style.Default = tk::Value(tk::Ident{kPenStyleNames[0]});
    tk::PropertyInfo width;
    width.Name = base + "PenWidth";
    width.Get = [border](const tk::Component& c) { return tk::Value(std::int64_t{border(c).PenWidth()}); };
    width.Set = [border](tk::Component& c, const tk::Value& v) {
      border(c).SetPenWidth(tk::detail::FromValue<int>(v));
    };
    width.Default = tk::Value(std::int64_t{2});
    for (tk::PropertyInfo* p : {&enabled, &color, &style, &width}) list.push_back(std::move(*p));
  }
}

// container

TVxBorderParent::TVxBorderParent(tk::Component* owner, QWidget* parent)
    : TVxCustomControl(owner, parent), borders_(std::make_unique<TVxBorders>()) {
  for (TVxBorder* border :
       {&borders_->LeftBorder(), &borders_->RightBorder(), &borders_->TopBorder(), &borders_->BottomBorder()})
    border->OnChange = [this] {
      PlaceEdit();
      Invalidate();
    };
  tk::CustomControl::SetBounds(Left(), Top(), 121, ControlHeight);
  if (auto* control = dynamic_cast<tk::ControlT<QWidget>*>(parentWidget())) SetColor(control->Color());
  setFocusPolicy(Qt::ClickFocus);
}

TVxBorderParent::~TVxBorderParent() = default;

void TVxBorderParent::SetTabStop(bool value) {
  tabStop_ = value;
  setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

void TVxBorderParent::SetEditControl(TVxCustomEdit* edit) { edit_ = edit; }

void TVxBorderParent::AdoptEdit(TVxCustomEdit* edit) {
  SetEditControl(edit);
  edit->setParent(this);
  edit->SetBounds(0, 0, edit->Width(), edit->Height());
  edit->SetCtl3D(false);
  edit->SetHasBorder(false);
  edit->SetColor(Color());
  edit->SetTabStop(tabStop_);
  edit->show();
  PlaceEdit();
}

void TVxBorderParent::CreateWnd() {
  TVxCustomControl::CreateWnd();
  SetBounds(Left(), Top(), Width(), Height());
}

void TVxBorderParent::focusInEvent(QFocusEvent* event) {
  TVxCustomControl::focusInEvent(event);
  if (edit_) edit_->setFocus(event->reason());
}

void TVxBorderParent::Paint(tk::Canvas& canvas) {
  canvas.Brush.Color = Color();
  canvas.FillRect(ClientRect());
  PaintBorders(canvas);
}

void TVxBorderParent::SetBounds(int left, int top, int width, int) {
  TVxCustomControl::SetBounds(left, top, width, ControlHeight);
  PlaceEdit();
}

void TVxBorderParent::resizeEvent(QResizeEvent* event) {
  TVxCustomControl::resizeEvent(event);
  PlaceEdit();
}

void TVxBorderParent::PlaceEdit() {
  if (!edit_) return;
  const TVxBorder &l = borders_->LeftBorder(), &r = borders_->RightBorder();
  const TVxBorder &t = borders_->TopBorder(), &b = borders_->BottomBorder();
  const int W = Width(), H = Height();
  const int allowance = showButton_ ? buttonAllowance_ : 0;
  int left = l.Enabled() ? l.PenWidth() : 0;
  int top = t.Enabled() ? t.PenWidth() : 0;
  int width = W, height = H;
  if (l.Enabled() || r.Enabled())
    width = W - (l.Enabled() ? l.PenWidth() : allowance) - (r.Enabled() ? r.PenWidth() : 0);
  if (t.Enabled() || b.Enabled()) height = H - (t.Enabled() ? t.PenWidth() : 0) - (b.Enabled() ? b.PenWidth() : 0);
  if (edit_->geometry() != QRect(left, top, width, height)) edit_->SetBounds(left, top, width, height);
}

void TVxBorderParent::PaintBorders(tk::Canvas& canvas) {
  const TVxBorder &l = borders_->LeftBorder(), &r = borders_->RightBorder();
  const TVxBorder &t = borders_->TopBorder(), &b = borders_->BottomBorder();
  const int W = Width(), H = Height();

  canvas.Flush();
  QPainter painter(this);
  auto pen = [&](const TVxBorder& border) {
    painter.setPen(
        QPen(tk::ToQColor(border.PenColor()), border.PenWidth(), tk::ToQtPenStyle(border.PenStyle()), Qt::SquareCap));
  };
  // Each line is centred on its coordinate; an odd width is drawn one pixel further in.
  if (l.Enabled()) {
    pen(l);
    int h = l.PenWidth() / 2;
    painter.drawLine(h, 0, h, H);
  }
  if (r.Enabled()) {
    pen(r);
    int x = W - r.PenWidth() / 2 - (r.PenWidth() % 2);
    painter.drawLine(x, 0, x, H);
  }
  if (t.Enabled()) {
    pen(t);
    int h = t.PenWidth() / 2;
    painter.drawLine(0, h, W, h);
  }
  if (b.Enabled()) {
    pen(b);
    int h = b.PenWidth() / 2, odd = b.PenWidth() % 2;
    painter.drawLine(0, H - h - odd, odd ? W : W - h, H - h - odd);
  }
  if (edit_) edit_->update();
}

// The edit's own size gives way to the borders again, as the user always saw it.
void TVxBorderParent::SetEditHeight(int value) {
  edit_->SetHeight(value);
  PlaceEdit();
  Invalidate();
}

void TVxBorderParent::SetEditWidth(int value) {
  edit_->SetWidth(value);
  PlaceEdit();
  Invalidate();
}

void TVxBorderParent::GetProperties(tk::PropertyList& list) const {
  TVxCustomControl::GetProperties(list);
  AppendBorderProperties(list, "Borders",
                         [](tk::Component& c) -> TVxBorders& { return dynamic_cast<TVxBorderParent&>(c).Borders(); });
  list.push_back(tk::MakeProperty<TVxBorderParent>("TabStop", &TVxBorderParent::TabStop, &TVxBorderParent::SetTabStop,
                                                   tk::Value(false)));
}

void TVxBorderParent::AppendEditProperties(tk::PropertyList& list) const {
  using C = TVxBorderParent;
  list.push_back(tk::MakeProperty<C>("AutoSelect", &C::AutoSelect, &C::SetAutoSelect, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("AutoSize", &C::AutoSize, &C::SetAutoSize, tk::Value(true)));
  list.push_back(tk::MakeEnumProperty<C>("CharCase", &C::CharCase, &C::SetCharCase, kCharCaseNames, 0));
  tk::PropertyInfo controller;
  controller.Name = "Controller";
  controller.Get = [](const tk::Component& c) {
    return tk::Value(tk::ComponentRef{dynamic_cast<const C&>(c).Controller()});
  };
  controller.Set = [](tk::Component& c, const tk::Value& v) {
    dynamic_cast<C&>(c).SetController(dynamic_cast<TVxController*>(tk::detail::Get<tk::ComponentRef>(v).Target));
  };
  list.push_back(controller);
  list.push_back(tk::MakeProperty<C>("Enabled", &C::Enabled, &C::SetEnabled, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("HideSelection", &C::HideSelection, &C::SetHideSelection, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("MaxLength", &C::MaxLength, &C::SetMaxLength, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<C>("OEMConvert", &C::OEMConvert, &C::SetOEMConvert, tk::Value(false)));
  list.push_back(
      tk::MakeProperty<C>("PasswordChar", &C::PasswordChar, &C::SetPasswordChar, tk::Value(std::int64_t{0})));
  list.push_back(tk::MakeProperty<C>("ReadOnly", &C::ReadOnly, &C::SetReadOnly, tk::Value(false)));
}

// bordered edit

TVxBorderedEdit::TVxBorderedEdit(tk::Component* owner, QWidget* parent) : TVxBorderParent(owner, parent) {
  inner_ = new TVxEditEx(this);
  inner_->SetContainer(this);
  AdoptEdit(inner_);
  Borders().BottomBorder().SetEnabled(true);
}

void TVxBorderedEdit::GetProperties(tk::PropertyList& list) const {
  TVxBorderParent::GetProperties(list);
  AppendEditProperties(list);
  list.push_back(tk::MakeProperty<TVxBorderedEdit>("Text", &TVxBorderedEdit::Text, &TVxBorderedEdit::SetText));
}

// bordered pop-up edit

TVxBorderEdPopup::TVxBorderEdPopup(tk::Component* owner, QWidget* parent) : TVxBorderParent(owner, parent) {
  buttonAllowance_ = glyph_.Width() + 4;
  showButton_ = true;
}

void TVxBorderEdPopup::SetEditControl(TVxCustomEdit* edit) {
  TVxBorderParent::SetEditControl(edit);
  popupEdit_ = dynamic_cast<TVxEdPopup*>(edit);
}

int TVxBorderEdPopup::GetButtonWidth() const {
  if (!button_) return 0;
  return std::max(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this), glyph_.Width() + 4);
}

bool TVxBorderEdPopup::GetButtonEnabled() const { return !(popupEdit_ && popupEdit_->ReadOnly()); }

void TVxBorderEdPopup::SetButtonGlyph(const tk::Bitmap* glyph) {
  if (glyph)
    glyph_.Assign(glyph);
  else
    glyph_ = tk::Bitmap();
  GlyphChanged();
  if (button_) button_->SetGlyph(glyph_);
  SetBounds(Left(), Top(), Width(), Height());
}

void TVxBorderEdPopup::SetShowButton(bool value) {
  showButton_ = value;
  SetBounds(Left(), Top(), Width(), Height());
  Invalidate();
}

void TVxBorderEdPopup::CreateWnd() {
  TVxBorderParent::CreateWnd();
  if (button_) button_->setEnabled(GetButtonEnabled());
}

void TVxBorderEdPopup::Loaded() {
  TVxBorderParent::Loaded();
  if (button_) button_->SetGlyph(glyph_);
}

void TVxBorderEdPopup::PopupOpen() {
  popupActive_ = true;
  tk::PostMessage(this, OM_POPUPOPENED);
}

void TVxBorderEdPopup::PopupClose(tk::Component*) {
  popupActive_ = false;
  tk::PostMessage(this, OM_POPUPCLOSED);
}

void TVxBorderEdPopup::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case OM_POPUPOPENED:
      if (OnPopupOpen) OnPopupOpen(this);
      return;
    case OM_POPUPCLOSED:
      if (OnPopupClose) OnPopupClose(this);
      return;
    default:
      TVxBorderParent::Dispatch(message);
  }
}

void TVxBorderEdPopup::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
    event->accept();
  else
    event->ignore();
}

void TVxBorderEdButton::Click() {
  tk::ControlT<QWidget>::Click();
  if (auto* container = dynamic_cast<TVxBorderEdPopup*>(parentWidget())) container->PopupOpen();
}

// bordered number edit

TVxBorderedNumberEdit::TVxBorderedNumberEdit(tk::Component* owner, QWidget* parent) : TVxBorderEdPopup(owner, parent) {
  inner_ = new TVxNumberEditEx(this);
  inner_->SetContainer(this);
  AdoptEdit(inner_);
  button_ = inner_->Button();
  glyph_ = inner_->ButtonGlyph();
  buttonAllowance_ = glyph_.Width() + 4;
  tk::CustomControl::SetBounds(Left(), Top(), inner_->Width(), inner_->Height());
  Borders().BottomBorder().SetEnabled(true);
  glyph_.Assign(LoadBaseBitmap(kCalculatorGlyph));
  button_->SetGlyph(glyph_);
  calculator_ = inner_->Calculator();
}

void TVxBorderedNumberEdit::SetShowButton(bool value) {
  inner_->SetShowButton(value);
  TVxBorderEdPopup::SetShowButton(value);
}

void TVxBorderedNumberEdit::GlyphChanged() {
  if (glyph_.Empty()) glyph_.Assign(LoadBaseBitmap(kCalculatorGlyph));
  // The button is the inner edit's: its place follows the inner edit's glyph.
  inner_->SetButtonGlyph(&glyph_);
}

void TVxBorderedNumberEdit::GetProperties(tk::PropertyList& list) const {
  TVxBorderEdPopup::GetProperties(list);
  AppendEditProperties(list);
  using C = TVxBorderedNumberEdit;
  list.push_back(tk::MakeProperty<C>("AllowIncDec", &C::AllowIncDec, &C::SetAllowIncDec, tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("ShowButton", &C::ShowButton, &C::SetShowButton, tk::Value(true)));
  list.push_back(tk::MakeEnumProperty<C>("PopupAnchor", &C::PopupAnchor, &C::SetPopupAnchor, kAnchorNames, 0));
  list.push_back(
      tk::MakeProperty<C>("PopupDecimals", &C::PopupDecimals, &C::SetPopupDecimals, tk::Value(std::int64_t{2})));
  list.push_back(tk::MakeProperty<C>("PopupHeight", &C::PopupHeight, &C::SetPopupHeight, tk::Value(std::int64_t{140})));
  list.push_back(tk::MakeProperty<C>("PopupWidth", &C::PopupWidth, &C::SetPopupWidth, tk::Value(std::int64_t{200})));
}

}  // namespace controls
