#pragma once
// The "Pager Messages" window: the user's PIN and 15 pager messages, which "Load Messages" has the engine
// write into the controller. The engine reads the rows through RowText when it packs them.
#include <QDialog>
#include <QTableWidget>
#include <string>

#include "gui/typing_view.h"

class QPushButton;

namespace controller {
class CommsEngine;
}

class TPagerMessages : public QDialog {
  Q_OBJECT

 public:
  static constexpr int Rows = 16;  // row 0 the PIN, rows 1..15 the messages

  explicit TPagerMessages(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // The text of row `row` as typed: at most the 64 characters the controller keeps.
  std::string RowText(int row) const;

  void FormCreate();
  void BitBtn1Click();  // "Load Messages"

  gui::TypingView<QTableWidget>* StringGrid1;
  QPushButton* BitBtn1;
  QPushButton* CloseButton;

 private:
  controller::CommsEngine& engine_;
};

extern TPagerMessages* PagerMessages;
