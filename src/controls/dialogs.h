#pragma once
// The library's dialog components: a base that holds a dialog form's caption, font, icon, options and
// placement and applies them to the form it makes, and the splash dialog that shows a picture in a
// borderless form for a set time or until it is closed.
#include <QIcon>
#include <QPointer>
#include <memory>
#include <set>
#include <string>

#include "controls/base.h"
#include "tk/bitmap.h"
#include "tk/control.h"

class QTimer;

namespace controls {

using tk::EAbstractError;

enum class TVxDialogPosition { mpCenter, mpCenterTop, mpCustom };
enum class TVxDialogOption { doShowHelp, doSizeable };
using TVxDialogOptions = std::set<TVxDialogOption>;

struct TVxDialogPlacement {
  TVxDialogPosition Position = TVxDialogPosition::mpCenter;
  int Top = 10;
  int Left = 10;
  int Height = 250;
  int Width = 400;
};

// What dialogs ask of the screen, behind one object that tests replace.
class TVxDialogScreen {
 public:
  virtual ~TVxDialogScreen() = default;
  virtual int Width() = 0;
  virtual int Height() = 0;
  virtual int BitsPerPixel() = 0;
  virtual int Planes() = 0;
  // The window that has the focus now, if it is one of ours.
  virtual QWidget* ActiveForm() = 0;
};
TVxDialogScreen& DialogScreen();
// Installs a screen (not owned) and returns the previous one; nullptr restores the real screen.
TVxDialogScreen* SetDialogScreen(TVxDialogScreen* screen);

class TVxBaseDialog : public TVxComponent {
 public:
  explicit TVxBaseDialog(tk::Component* owner);
  std::string ClassName() const override { return "TVxBaseDialog"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value) { caption_ = value; }
  const tk::Font& Font() const { return font_; }
  void SetFont(const tk::Font& value) { font_ = value; }
  const QIcon& Icon() const { return icon_; }
  void SetIcon(const QIcon& value) { icon_ = value; }
  const TVxDialogOptions& Options() const { return options_; }
  void SetOptions(const TVxDialogOptions& value) { options_ = value; }
  TVxDialogPlacement& Placement() { return placement_; }
  const TVxDialogPlacement& Placement() const { return placement_; }
  void SetPlacement(const TVxDialogPlacement& value) { placement_ = value; }

  // Shows the dialog; every dialog kind has its own.
  virtual bool Execute();
  // Gives a top-level form the dialog's caption, font, icon, border, stay-on-top style and position.
  void DoFormPlacement(QWidget* form);

 protected:
  // A sizeable border, or the fixed dialog border.
  virtual void SetFormBorder(QWidget* form, bool sizeable);

  TVxDialogOptions options_{TVxDialogOption::doSizeable};

 private:
  std::string caption_;
  tk::Font font_;
  QIcon icon_;
  TVxDialogPlacement placement_;
};

class TVxSplashDialog;

// The picture of the splash form, over its whole client area.
class TVxSplashImage : public tk::GraphicControl {
 public:
  explicit TVxSplashImage(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TImage"; }
  const tk::Bitmap& Picture() const { return picture_; }
  void SetPicture(const tk::Bitmap& picture);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);

  tk::NotifyEvent OnDblClick;

 protected:
  void Paint(tk::Canvas& canvas) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  tk::Bitmap picture_;
  bool stretch_ = false;
};

// The splash form: a pop-up with a thin border around a picture, and the timer that closes it. It takes
// no focus and does not activate, yet clicks on the picture reach the dialog's events.
class TVxfrmSplashDlg : public tk::Form {
 public:
  static constexpr int kBorder = 1;
  explicit TVxfrmSplashDlg(TVxSplashDialog* dialog);
  ~TVxfrmSplashDlg() override;
  std::string ClassName() const override { return "TVxfrmSplashDlg"; }

  int ClientWidth() const { return Width() - 2 * kBorder; }
  int ClientHeight() const { return Height() - 2 * kBorder; }
  void SetClientSize(int width, int height);
  void SetStayOnTop(bool value);

  // The timer's tick: stops it and asks the dialog to close.
  void TimerTimer();

  TVxSplashImage* Image = nullptr;
  QTimer* Timer = nullptr;
  TVxSplashDialog* Dialog = nullptr;

 protected:
  void Paint(tk::Canvas& canvas) override;
  void resizeEvent(QResizeEvent* event) override;
};

class TVxSplashDialog : public TVxBaseDialog {
 public:
  explicit TVxSplashDialog(tk::Component* owner);
  ~TVxSplashDialog() override;
  std::string ClassName() const override { return "TVxSplashDialog"; }

  // Whether the splash shows itself when its owner form has been created.
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  // Milliseconds until the splash closes itself; 0 keeps it up until Close.
  int Delay() const { return delay_; }
  void SetDelay(int value) { delay_ = value; }
  const tk::Bitmap& PictureHiRes() const { return pictureHiRes_; }
  void SetPictureHiRes(const tk::Bitmap& picture) { pictureHiRes_ = picture; }
  // Shown instead of the high-resolution picture on a screen of fewer than 256 colours.
  const tk::Bitmap& PictureLoRes() const { return pictureLoRes_; }
  void SetPictureLoRes(const tk::Bitmap& picture) { pictureLoRes_ = picture; }
  bool StayOnTop() const { return stayOnTop_; }
  void SetStayOnTop(bool value) { stayOnTop_ = value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  bool Execute() override;
  void Show();
  // Finished from a timer tick: the first call arms a 1 ms tick and returns; the tick closes the form.
  void Close();
  // The splash form while there is one.
  TVxfrmSplashDlg* Form() const { return form_; }

  // The image is the sender, as the picture is what was clicked.
  tk::NotifyEvent OnClick;
  tk::NotifyEvent OnDblClick;
  tk::NotifyEvent OnClose;

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  // The splash form's window is a thin-bordered pop-up whatever border the options ask for.
  void SetFormBorder(QWidget* form, bool sizeable) override;

 private:
  void OwnerFormCreated();
  void DiscardForm();

  bool active_ = true;
  int delay_ = 0;
  tk::Bitmap pictureHiRes_;
  tk::Bitmap pictureLoRes_;
  bool stayOnTop_ = true;
  bool visible_ = false;
  QPointer<TVxfrmSplashDlg> form_;
  std::unique_ptr<QObject> creationWatch_;
};

}  // namespace controls
