#pragma once
// The original's up-down arrows beside a number edit: they step the edit's number within
// [minimum, maximum]; text typed into the edit is not bound by the limits.
class QLineEdit;
class QToolButton;
class QWidget;

namespace gui {

QWidget* UpDown(QWidget* parent, QLineEdit* edit, int minimum, int maximum, QToolButton*& up, QToolButton*& down);

}  // namespace gui
