#include "gui/controller/parameter_form.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "controller/param_requests.h"
#include "gui/controller/change_param_form.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "platform/ui.h"

TParameterForm* ParameterForm = nullptr;

namespace {

constexpr int ModuleRows = 128;
constexpr int Parameters = 64;

}  // namespace

TParameterForm::TParameterForm(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Module Parameter Access");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);

  StringGrid1 = new QTableWidget(ModuleRows, Parameters + 1, this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setDefaultSectionSize(20);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(64);
  StringGrid1->setColumnWidth(0, 44);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  QStringList blank;
  for (int c = 0; c <= Parameters; ++c) blank << QString();
  StringGrid1->setHorizontalHeaderLabels(blank);
  // Column 0 is fixed: made up front so that it keeps that look whoever writes it.
  const QBrush fixed = palette().button();
  for (int r = 0; r < ModuleRows; ++r) {
    auto* number = new QTableWidgetItem();
    number->setFlags(Qt::ItemIsEnabled);
    number->setBackground(fixed);
    StringGrid1->setItem(r, 0, number);
  }
  connect(StringGrid1, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (column > 0) StringGrid1Click(column, row + 1);
  });

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label2 = new QLabel("Password:", this);
  Label2->setObjectName("Label2");
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setEchoMode(QLineEdit::Password);
  // A star for each character, whatever mark the style would show.
  Edit1->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
  Edit1->setFixedWidth(100);
  Label2->setBuddy(Edit1);
  connect(Edit1, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (platform::IsLatin1(text)) {
      password_ = text;
      return;
    }
    Edit1->setText(password_);
    platform::Ui().Beep();
  });
  BitBtn1 = new QPushButton("&Close", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setAutoDefault(false);
  connect(BitBtn1, &QPushButton::clicked, this, &TParameterForm::BitBtn1Click);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Label1, 1);
  bottom->addWidget(Label2);
  bottom->addWidget(Edit1);
  bottom->addSpacing(16);
  bottom->addWidget(BitBtn1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(StringGrid1, 1);
  layout->addLayout(bottom);
  resize(640, 460);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TParameterForm::CheckSingleInstance() {
  if (OnlyInstance(platform::InstanceLockDirectory())) return;
  // Only the first windows exist and nothing has been changed: leave without tearing them down.
  std::fflush(nullptr);
  std::_Exit(0);
}

bool TParameterForm::OnlyInstance(const std::string& lockDirectory) {
  if (platform::AcquireSingleInstance(lockDirectory) != platform::InstanceLock::HeldElsewhere) return true;
  platform::Ui().ShowMessage("Zelta Already Loaded");
  return false;
}

void TParameterForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TParameterForm::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

void TParameterForm::FormShow() {
  StringGrid1->setHorizontalHeaderItem(0, new QTableWidgetItem("Mod#"));
  for (int p = 0; p < Parameters; ++p)
    StringGrid1->setHorizontalHeaderItem(p + 1, new QTableWidgetItem(QString("Param %1").arg(p)));
  for (int module = controller::FirstParamModule; module <= controller::LastParamModule; ++module)
    StringGrid1->item(module - 1, 0)->setText(QString::number(module));
}

void TParameterForm::FormHide() {
  engine_.ModuleParamsStop = 1;
  Edit1->clear();
  password_.clear();
}

void TParameterForm::BitBtn1Click() { hide(); }

void TParameterForm::StringGrid1Click(int column, int row) {
  const std::string password = platform::FromQString(Edit1->text()).value_or(std::string());
  const std::optional<controller::ParamChangePrompt> prompt =
      controller::ClickModuleParamCell(engine_, column, row, password);
  if (!prompt || !ChangeParam) return;
  ChangeParam->Prompt(*prompt);
  // Modal, without a nested loop: nothing here waits for the answer; OK posts the request itself.
  ChangeParam->setModal(true);
  ChangeParam->show();
  ChangeParam->raise();
  ChangeParam->activateWindow();
}
