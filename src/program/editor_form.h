#pragma once
#include <QMainWindow>

// The main window: the program listing and its commands.
class TEditorForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TEditorForm(QWidget* parent = nullptr);
};

extern TEditorForm* EditorForm;
