#include "gui/controller/manager_params_form.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <optional>

#include "controller/param_requests.h"
#include "gui/latin1_cell_delegate.h"
#include "gui/typing_view.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "project/settings.h"

TManagerParamsForm* ManagerParamsForm = nullptr;

namespace {

constexpr int ParamRows = 128;
constexpr int RowHeight = 20;

// A value cell's editor whose text goes to the engine only when the edit is committed (Return, or leaving
// the cell), never keystroke by keystroke: a half-typed value must not reach the controller. Until then
// the engine's rewrites of the grid leave the typing alone. A text the engine refuses stays out of the cell.
class CommitDelegate : public gui::Latin1CellDelegate {
 public:
  using Committed = std::function<bool(int row, const std::string& text)>;
  CommitDelegate(QObject* parent, Committed committed)
      : gui::Latin1CellDelegate(parent, [](const QModelIndex&, const std::string&) {}),
        committed_(std::move(committed)) {}

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return;
    const QString text = line->text();
    // Only what the user typed goes: an editor left as it opened holds a value the engine may have
    // rewritten since. Typing back the cell's value changes nothing either.
    if (!line->isModified() || text == index.data(Qt::EditRole).toString()) return;
    if (committed_(index.row(), platform::FromQString(text).value_or(std::string())))
      model->setData(index, text, Qt::EditRole);
  }

 private:
  Committed committed_;
};

}  // namespace

TManagerParamsForm::TManagerParamsForm(controller::CommsEngine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine) {
  setWindowTitle("Contoller");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  StringGrid1 = new gui::TypingView<QTableWidget>(ParamRows, 2, this);
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
  StringGrid1->setItemDelegate(new CommitDelegate(
      StringGrid1, [this](int row, const std::string& text) { return StringGrid1SetEditText(1, row + 1, text); }));
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

bool TManagerParamsForm::StringGrid1SetEditText(int /*column*/, int row, const std::string& text) {
  return controller::QueueControllerParamChange(engine_, row, text);
}
