#include "controls/dialogs.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "platform/text.h"

namespace controls {

namespace {

const char* const kPositionNames[] = {"mpCenter", "mpCenterTop", "mpCustom"};

class QtDialogScreen : public TVxDialogScreen {
 public:
  int Width() override { return Geometry().width(); }
  int Height() override { return Geometry().height(); }
  int BitsPerPixel() override {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
  }
  int Planes() override { return 1; }
  QWidget* ActiveForm() override { return QApplication::activeWindow(); }

 private:
  static QRect Geometry() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  }
};

TVxDialogScreen* installedScreen = nullptr;

// Runs once, when the watched form first shows: the moment its creation is complete.
class FormCreationWatch : public QObject {
 public:
  FormCreationWatch(QWidget* form, std::function<void()> created) : created_(std::move(created)) {
    form->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      watched->removeEventFilter(this);
      created_();
    }
    return false;
  }

 private:
  std::function<void()> created_;
};

// A placement value, streamed under "Placement." with its declared default.
tk::PropertyInfo PlacementProperty(const char* name, int TVxDialogPlacement::*field, int def) {
  tk::PropertyInfo p;
  p.Name = std::string("Placement.") + name;
  p.Get = [field](const tk::Component& c) {
    return tk::Value(std::int64_t{dynamic_cast<const TVxSplashDialog&>(c).Placement().*field});
  };
  p.Set = [field](tk::Component& c, const tk::Value& v) {
    dynamic_cast<TVxSplashDialog&>(c).Placement().*field = tk::detail::FromValue<int>(v);
  };
  p.Default = tk::Value(std::int64_t{def});
  return p;
}

}  // namespace

TVxDialogScreen& DialogScreen() {
  static QtDialogScreen real;
  return installedScreen ? *installedScreen : real;
}

TVxDialogScreen* SetDialogScreen(TVxDialogScreen* screen) {
  TVxDialogScreen* previous = installedScreen;
  installedScreen = screen;
  return previous;
}

// base dialog

TVxBaseDialog::TVxBaseDialog(tk::Component* owner) : TVxComponent(owner) {}

bool TVxBaseDialog::Execute() { throw EAbstractError(); }

void TVxBaseDialog::DoFormPlacement(QWidget* form) {
  form->setWindowTitle(platform::ToQString(caption_));
  if (auto* control = dynamic_cast<tk::ControlT<QWidget>*>(form))
    control->SetFont(font_);
  else
    form->setFont(font_.Q());
  form->setWindowIcon(icon_);
  TVxDialogScreen& screen = DialogScreen();
  if (QWidget* active = screen.ActiveForm(); active && active->windowFlags() & Qt::WindowStaysOnTopHint)
    form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  switch (placement_.Position) {
    case TVxDialogPosition::mpCenter:
      form->move((screen.Width() - form->width()) / 2, (screen.Height() - form->height()) / 2);
      break;
    case TVxDialogPosition::mpCenterTop:
      form->move((screen.Width() - form->width()) / 2, (screen.Height() - form->height()) / 3);
      break;
    case TVxDialogPosition::mpCustom:
      form->move(placement_.Left, placement_.Top);
      form->resize(placement_.Width, placement_.Height);
      break;
  }
  // After the size is settled: a dialog border holds the form at it.
  SetFormBorder(form, options_.contains(TVxDialogOption::doSizeable));
}

void TVxBaseDialog::SetFormBorder(QWidget* form, bool sizeable) {
  form->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, !sizeable);
  if (sizeable) {
    form->setMinimumSize(0, 0);
    form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    form->setFixedSize(form->size());
  }
}

// splash image and form

TVxSplashImage::TVxSplashImage(tk::Component* owner, QWidget* parent) : tk::GraphicControl(owner, parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TVxSplashImage::SetPicture(const tk::Bitmap& picture) {
  picture_ = picture;
  Invalidate();
}

void TVxSplashImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

void TVxSplashImage::Paint(tk::Canvas& canvas) {
  if (picture_.Empty()) return;
  if (stretch_)
    canvas.StretchDraw(ClientRect(), picture_.Image());
  else
    canvas.Draw(0, 0, picture_.Image());
}

void TVxSplashImage::mouseDoubleClickEvent(QMouseEvent* event) {
  tk::GraphicControl::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
}

TVxfrmSplashDlg::TVxfrmSplashDlg(TVxSplashDialog* dialog) : tk::Form(nullptr), Dialog(dialog) {
  SetName("VxfrmSplashDlg");
  setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  tk::Font font = Font();
  font.SetName("MS Sans Serif");
  font.SetHeight(-11);
  SetFont(font);
  Image = new TVxSplashImage(this, this);
  Image->SetName("Image");
  Timer = new QTimer(this);
  QObject::connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });
  SetClientSize(210, 173);
}

TVxfrmSplashDlg::~TVxfrmSplashDlg() = default;

void TVxfrmSplashDlg::SetClientSize(int width, int height) {
  SetBounds(Left(), Top(), width + 2 * kBorder, height + 2 * kBorder);
}

void TVxfrmSplashDlg::SetStayOnTop(bool value) { setWindowFlag(Qt::WindowStaysOnTopHint, value); }

void TVxfrmSplashDlg::TimerTimer() {
  Timer->stop();
  if (Dialog) Dialog->Close();
}

void TVxfrmSplashDlg::Paint(tk::Canvas& canvas) {
  tk::Rect r = ClientRect();
  canvas.Brush.Color = Color();
  canvas.Brush.Style = tk::BrushStyle::Solid;
  canvas.FillRect(r);
  canvas.Brush.Color = tk::clWindowFrame;
  canvas.FrameRect(r);
}

void TVxfrmSplashDlg::resizeEvent(QResizeEvent* event) {
  tk::Form::resizeEvent(event);
  Image->SetBounds(kBorder, kBorder, ClientWidth(), ClientHeight());
}

// splash dialog

TVxSplashDialog::TVxSplashDialog(tk::Component* owner) : TVxBaseDialog(owner) {
  options_.clear();
  auto* form = dynamic_cast<tk::Form*>(owner);
  // A form that already shows was created long ago: there is no creation left to wait for.
  if (form && !Designing() && !form->isVisible())
    creationWatch_ = std::make_unique<FormCreationWatch>(form, [this] { OwnerFormCreated(); });
}

TVxSplashDialog::~TVxSplashDialog() { DiscardForm(); }

void TVxSplashDialog::OwnerFormCreated() {
  if (active_) Show();
}

void TVxSplashDialog::SetVisible(bool value) {
  if (value)
    Show();
  else
    Close();
}

bool TVxSplashDialog::Execute() {
  Show();
  return true;
}

void TVxSplashDialog::Show() {
  if (!form_) {
    form_ = new TVxfrmSplashDlg(this);
    form_->Image->OnClick = [this](tk::Component* image) {
      if (OnClick) OnClick(image);
    };
    form_->Image->OnDblClick = [this](tk::Component* image) {
      if (OnDblClick) OnDblClick(image);
    };
  }
  TVxDialogScreen& screen = DialogScreen();
  int depth = screen.BitsPerPixel() * screen.Planes();
  const tk::Bitmap& picture = !pictureLoRes_.Empty() && depth < 8 ? pictureLoRes_ : pictureHiRes_;
  form_->Image->SetPicture(picture);
  if (Placement().Position != TVxDialogPosition::mpCustom) {
    form_->Image->SetStretch(false);
    form_->SetClientSize(picture.Width(), picture.Height());
  } else {
    form_->Image->SetStretch(true);
  }
  DoFormPlacement(form_);
  form_->SetStayOnTop(stayOnTop_);
  if (delay_ > 0) {
    form_->Timer->setInterval(delay_);
    form_->Timer->start();
  }
  form_->show();
  form_->repaint();
  visible_ = true;
}

void TVxSplashDialog::Close() {
  if (!form_) {
    visible_ = false;
    return;
  }
  // Closing runs from a tick, so a form closed from one of its own handlers is not freed under it.
  if (form_->Timer->interval() != 1) {
    form_->Timer->setInterval(1);
    form_->Timer->start();
    return;
  }
  form_->Timer->stop();
  DiscardForm();
  if (OnClose) OnClose(this);
  visible_ = false;
}

void TVxSplashDialog::DiscardForm() {
  if (!form_) return;
  TVxfrmSplashDlg* form = form_;
  form_ = nullptr;
  form->Dialog = nullptr;
  form->Timer->stop();
  form->hide();
  // The tick that closes it may still be on the stack.
  form->deleteLater();
}

void TVxSplashDialog::SetFormBorder(QWidget*, bool) {}

void TVxSplashDialog::GetProperties(tk::PropertyList& list) const {
  TVxBaseDialog::GetProperties(list);
  using D = TVxSplashDialog;
  list.push_back(tk::MakeProperty<D>("Active", &D::Active, &D::SetActive, tk::Value(true)));
  list.push_back(tk::MakeProperty<D>("Delay", &D::Delay, &D::SetDelay, tk::Value(std::int64_t{0})));
  tk::PropertyInfo position;
  position.Name = "Placement.Position";
  position.Get = [](const tk::Component& c) {
    auto index = static_cast<std::size_t>(dynamic_cast<const D&>(c).Placement().Position);
    return tk::Value(tk::Ident{kPositionNames[index]});
  };
  position.Set = [](tk::Component& c, const tk::Value& v) {
    const std::string& name = tk::detail::Get<tk::Ident>(v).Name;
    for (std::size_t i = 0; i < std::size(kPositionNames); ++i)
      if (name == kPositionNames[i]) {
        dynamic_cast<D&>(c).Placement().Position = static_cast<TVxDialogPosition>(i);
        return;
      }
    tk::detail::InvalidPropertyValue();
  };
  position.Default = tk::Value(tk::Ident{kPositionNames[0]});
  list.push_back(std::move(position));
  list.push_back(PlacementProperty("Top", &TVxDialogPlacement::Top, 10));
  list.push_back(PlacementProperty("Left", &TVxDialogPlacement::Left, 10));
  list.push_back(PlacementProperty("Height", &TVxDialogPlacement::Height, 250));
  list.push_back(PlacementProperty("Width", &TVxDialogPlacement::Width, 400));
  list.push_back(tk::MakeProperty<D>("StayOnTop", &D::StayOnTop, &D::SetStayOnTop, tk::Value(true)));
}

}  // namespace controls
