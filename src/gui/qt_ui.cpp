#include "gui/qt_ui.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

QStringList QtFilters(const std::string& filter) {
  QStringList parts = ToQString(filter).split('|');
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    qsizetype paren = description.indexOf('(');
    if (paren >= 0) description = description.left(paren).trimmed();
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      for (const QString& variant : {p.toLower(), p.toUpper()})
        if (!patterns.contains(variant)) patterns << variant;
    }
    result << QString("%1 (%2)").arg(description, patterns.join(' '));
  }
  return result;
}

MsgResult QtUi::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgKind kind) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(ToQString(caption));
  box.setText(ToQString(text));
  switch (kind) {
    case MsgKind::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MsgKind::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MsgKind::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case MsgKind::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case MsgKind::Plain:
      break;
  }
  switch (buttons) {
    case MsgButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MsgButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return MsgResult::Ok;
    case QMessageBox::Yes:
      return MsgResult::Yes;
    case QMessageBox::No:
      return MsgResult::No;
    default:
      return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
  }
}

namespace {

std::optional<std::string> RunFileDialog(const FileDialogOptions& o, bool save) {
  QFileDialog dialog(QApplication::activeWindow(), ToQString(o.Title), ToQString(o.InitialDir));
  // Qt's own size hides most of the detail columns; keep within small screens.
  QRect screen = dialog.screen()->availableGeometry();
  dialog.resize(std::min(760, screen.width()), std::min(480, screen.height()));
  // Its detail columns start narrower than a type or a date here: widen them, never narrow, to each folder read.
  auto* view = dialog.findChild<QTreeView*>();
  if (auto* model = view ? qobject_cast<QFileSystemModel*>(view->model()) : nullptr) {
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, [view] {
      for (int column = 1; column < 4; ++column)
        view->setColumnWidth(column, std::max(view->columnWidth(column),
                                              static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column)));
    });
  }
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(o.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  QStringList filters = QtFilters(o.Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (o.FilterIndex >= 1 && o.FilterIndex <= filters.size()) dialog.selectNameFilter(filters[o.FilterIndex - 1]);
  }
  if (!o.DefaultExt.empty()) dialog.setDefaultSuffix(ToQString(o.DefaultExt));
  if (!o.FileName.empty()) dialog.selectFile(ToQString(o.FileName));
  // A save asks itself, about the names it will really write: the dialog knows only the name typed.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ChosenFileName(dialog.selectedFiles().first());
}

}  // namespace

std::optional<std::string> QtUi::OpenFileName(const FileDialogOptions& options) {
  return RunFileDialog(options, false);
}

std::optional<std::string> QtUi::SaveFileName(const FileDialogOptions& options) { return RunFileDialog(options, true); }

std::optional<std::string> QtUi::InputBox(const std::string& caption, const std::string& prompt,
                                          const std::string& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(QApplication::activeWindow(), ToQString(caption), ToQString(prompt),
                                       QLineEdit::Normal, ToQString(initial), &ok);
  if (!ok) return std::nullopt;
  auto latin1 = FromQString(text);
  if (!latin1) Beep();
  return latin1;
}

bool QtUi::PrintSetup(QPrinter& printer) {
  QPrintDialog dialog(&printer, QApplication::activeWindow());
  return dialog.exec() == QDialog::Accepted;
}

void QtUi::Beep() { QApplication::beep(); }

int QtUi::RunModal(ModalWindow& window) { return window.ExecuteModal(); }

// Qt knows every modal window open, the seam's and those a window runs itself, a native file dialog too.
bool QtUi::ModalBoxOpen() const { return QApplication::activeModalWidget() != nullptr; }

}  // namespace platform
