#include "program/editor_form.h"

#include <QGuiApplication>
#include <QScreen>

TEditorForm* EditorForm = nullptr;

TEditorForm::TEditorForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("  Marvik/Tessaro Control Wizard - Code Editor V2.00e5");
  resize(747, 569);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}
