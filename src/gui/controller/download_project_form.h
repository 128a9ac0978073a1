#pragma once
// "Download Project": asks the engine in one go for the clock, the icons, the touch screen and the
// program, attaching to the controller first when no connection runs. The engine's idle order then
// runs them one after the other.
#include <QDialog>

namespace controller {
class CommsEngine;
}
namespace gui {
class CommsLink;
}

class QCheckBox;
class QPushButton;

class TForm3 : public QDialog {
  Q_OBJECT

 public:
  // `link` is the communications window: it reloads the settings and attaches the engine.
  TForm3(controller::CommsEngine& engine, gui::CommsLink& link, QWidget* parent = nullptr);

  // "Begin Download". A settings reload that fails (already reported), or a ticked part that waits already
  // (told), asks for nothing and leaves the dialog open.
  void BitBtn1Click();

  QCheckBox* CheckBox1;  // "Download Icons"
  QCheckBox* CheckBox2;  // "Download Program"
  QCheckBox* CheckBox3;  // "Download IR Commands": not offered
  QCheckBox* CheckBox4;  // "Download Touch Screen"
  QPushButton* BitBtn1;  // "Begin Download"

 private:
  // A ticked part whose request waits already: nothing is sent, and every ticked part is told, naming it.
  // True when there is one.
  bool PartsWaiting();

  controller::CommsEngine& engine_;
  gui::CommsLink& link_;
};

extern TForm3* Form3;
