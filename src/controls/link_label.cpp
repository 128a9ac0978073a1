#include "controls/link_label.h"

#include "controls/version.h"
#include "platform/ui.h"
#include "tk/services.h"

namespace controls {

TVxURL::TVxURL(tk::Component* owner, QWidget* parent) : tk::CustomLabel(owner, parent) {
  setCursor(Qt::PointingHandCursor);
}

TVxURL::~TVxURL() { delete hoverTimer_; }

std::string TVxURL::About() const { return VxVersionText; }

void TVxURL::SetCaption(const std::string& caption) {
  caption_ = caption;
  tk::CustomLabel::SetCaption(caption_.empty() ? url_ : caption_);
}

void TVxURL::SetURL(const std::string& url) {
  url_ = url;
  if (caption_.empty()) tk::CustomLabel::SetCaption(url_);
}

void TVxURL::SetHighlightColor(tk::TColor color) {
  highlightColor_ = color == tk::clNone ? Font().Color() : color;
  ForgetRememberedColor();
}

void TVxURL::SetVisitedColor(tk::TColor color) {
  visitedColor_ = color == tk::clNone ? Font().Color() : color;
  ForgetRememberedColor();
}

void TVxURL::ForgetRememberedColor() {
  // While hovering it holds the colour from before the hover, which leaving must put back.
  if (!hoverTimer_) rememberedColor_ = NoColorRemembered;
}

void TVxURL::Loaded() {
  tk::CustomLabel::Loaded();
  tk::Font font = Font();
  font.SetStyle(font.Style() | tk::fsUnderline);
  SetFont(font);
  rememberedColor_ = NoColorRemembered;
}

void TVxURL::MouseMove(tk::ShiftState shift, int x, int y) {
  tk::CustomLabel::MouseMove(shift, x, y);
  if (!ClientRect().Contains({x, y}) || hoverTimer_) return;
  if (rememberedColor_ == NoColorRemembered) rememberedColor_ = Font().Color();
  SetFontColor(highlightColor_);
  hoverTimer_ = new QTimer(this);
  hoverTimer_->setInterval(100);
  QObject::connect(hoverTimer_, &QTimer::timeout, this, [this] { TimerEvent(); });
  hoverTimer_->start();
}

void TVxURL::TimerEvent() {
  tk::Point cursor = tk::Svc().CursorPos();
  QPoint local = mapFromGlobal(QPoint(cursor.X, cursor.Y));
  if (ClientRect().Contains({local.x(), local.y()})) return;
  if (hoverTimer_) {
    hoverTimer_->stop();
    hoverTimer_->deleteLater();  // this may run inside the timer's own signal
    hoverTimer_ = nullptr;
  }
  if (rememberedColor_ != NoColorRemembered) SetFontColor(rememberedColor_);
  Repaint();
}

void TVxURL::Click() {
  if (!url_.empty()) {
    std::string address = url_.substr(0, MaxAddressLength);
    if (!tk::Svc().OpenAddress(address)) platform::Ui().Beep();
  }
  tk::CustomLabel::Click();
  if (useVisitedColor_) rememberedColor_ = visitedColor_;
}

void TVxURL::GetProperties(tk::PropertyList& list) const {
  tk::CustomLabel::GetProperties(list);
  // The own caption replaces the toolkit's.
  std::erase_if(list, [](const tk::PropertyInfo& p) { return p.Name == "Caption"; });
  list.push_back(AboutProperty());
  list.push_back(tk::MakeProperty<TVxURL>("Caption", &TVxURL::Caption, &TVxURL::SetCaption));
  list.push_back(tk::MakeProperty<TVxURL>("HighlightColor", &TVxURL::HighlightColor, &TVxURL::SetHighlightColor));
  list.push_back(tk::MakeProperty<TVxURL>("URL", &TVxURL::URL, &TVxURL::SetURL));
  list.push_back(tk::MakeProperty<TVxURL>("UseVisitedColor", &TVxURL::UseVisitedColor, &TVxURL::SetUseVisitedColor));
  list.push_back(tk::MakeProperty<TVxURL>("VisitedColor", &TVxURL::VisitedColor, &TVxURL::SetVisitedColor));
}

}  // namespace controls
