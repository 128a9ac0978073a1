#pragma once
// The controller parameter window ("Contoller"): parameter numbers and values in a grid that the engine
// fills on every read. A value cell's edit queues the change when it is committed (Return or leaving the
// cell), not on every keystroke; the protected parameters open to editing only while the settings allow it.
#include <QDialog>
#include <string>

#include "controller/comms_engine.h"

class QTableWidget;

class TManagerParamsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TManagerParamsForm(controller::CommsEngine& engine, QWidget* parent = nullptr);

  // Handlers, named as the window's events, in the grid's coordinates (row 0 and column 0 are fixed).
  // Before a cell is selected: switches the grid's editing on or off for it.
  void StringGrid1SelectCell(int column, int row);
  // A committed edit of a value cell; false when its text was refused.
  bool StringGrid1SetEditText(int column, int row, const std::string& text);

  // Whether the grid takes edits (as the last selection switched it).
  bool Editing() const { return editing_; }

  // The grid's fixed row is the table's header; table row r is grid row r + 1.
  QTableWidget* StringGrid1;

 private:
  controller::CommsEngine& engine_;
  bool editing_ = false;
};

extern TManagerParamsForm* ManagerParamsForm;
