#include "gui/controller/manager_params_form.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <optional>

#include "controller/param_requests.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "project/settings.h"

TManagerParamsForm* ManagerParamsForm = nullptr;

namespace {

constexpr int ParamRows = 128;
constexpr int RowHeight = 20;

// Reports every change the user makes to an edited cell's text. The engine rewrites the whole grid after
// each change it sends, so an open editor keeps what is typed instead of taking the cell's new text; a
// character outside Latin-1 is refused with a beep.
class EditTextDelegate : public QStyledItemDelegate {
 public:
  using Changed = std::function<void(int column, int row, const std::string& text)>;
  EditTextDelegate(Changed changed, QObject* parent) : QStyledItemDelegate(parent), changed_(std::move(changed)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return editor;
    const int column = index.column();
    const int row = index.row() + 1;
    connect(line, &QLineEdit::textEdited, line, [this, line, column, row](const QString& text) {
      const std::optional<std::string> latin1 = platform::FromQString(text);
      if (!latin1) {
        const QString kept = line->property("acceptedText").toString();
        const int caret = line->cursorPosition() - static_cast<int>(text.size() - kept.size());
        line->setText(kept);
        line->setCursorPosition(std::max(0, caret));
        platform::Ui().Beep();
        return;
      }
      line->setProperty("acceptedText", text);
      changed_(column, row, *latin1);
    });
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (editor->property("filled").toBool()) return;
    editor->setProperty("filled", true);
    QStyledItemDelegate::setEditorData(editor, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setProperty("acceptedText", line->text());
  }

 private:
  Changed changed_;
};

}  // namespace

TManagerParamsForm::TManagerParamsForm(controller::CommsEngine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine) {
  setWindowTitle("Contoller");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  StringGrid1 = new QTableWidget(ParamRows, 2, this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setDefaultSectionSize(RowHeight);
  StringGrid1->setHorizontalHeaderLabels({"", ""});
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->setColumnWidth(0, 44);
  StringGrid1->setColumnWidth(1, 72);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Made up front so that the engine's writes keep the fixed look of column 0 and the flags of both.
  const QBrush fixed = palette().button();
  for (int r = 0; r < ParamRows; ++r) {
    auto* number = new QTableWidgetItem();
    number->setFlags(Qt::ItemIsEnabled);
    number->setBackground(fixed);
    StringGrid1->setItem(r, 0, number);
    auto* value = new QTableWidgetItem();
    value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    StringGrid1->setItem(r, 1, value);
  }
  StringGrid1->setItemDelegate(new EditTextDelegate(
      [this](int column, int row, const std::string& text) { StringGrid1SetEditText(column, row, text); },
      StringGrid1));
  StringGrid1->installEventFilter(this);
  connect(StringGrid1, &QTableWidget::currentCellChanged, this,
          [this](int row, int column) { StringGrid1SelectCell(column, row + 1); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(StringGrid1);
  setFixedSize(44 + 72 + StringGrid1->verticalScrollBar()->sizeHint().width() + 2 * StringGrid1->frameWidth(), 420);
}

void TManagerParamsForm::StringGrid1SelectCell(int /*column*/, int row) {
  editing_ = controller::ControllerParamRowEditable(row, engine_.Settings.EditProtectedParams);
  StringGrid1->setEditTriggers(editing_ ? QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                                              QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                                        : QAbstractItemView::NoEditTriggers);
}

bool TManagerParamsForm::eventFilter(QObject* watched, QEvent* event) {
  // A grid closed to editing ignores typing instead of jumping to a row that starts with the key.
  if (watched == StringGrid1 && event->type() == QEvent::KeyPress && !editing_ &&
      !static_cast<QKeyEvent*>(event)->text().isEmpty() && static_cast<QKeyEvent*>(event)->text()[0].isPrint())
    return true;
  return QDialog::eventFilter(watched, event);
}

void TManagerParamsForm::StringGrid1SetEditText(int /*column*/, int row, const std::string& text) {
  controller::QueueControllerParamChange(engine_, row, text);
}
