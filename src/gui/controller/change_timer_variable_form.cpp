#include "gui/controller/change_timer_variable_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "controller/change_data_request.h"
#include "controller/comms_engine.h"
#include "gui/controller/up_down.h"
#include "platform/text.h"
#include "platform/ui.h"

TForm32* Form32 = nullptr;

TForm32::TForm32(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Change Timer/Variable");
  setObjectName("Form32");

  Label1 = new QLabel("Timer#", this);
  // Room for the longer of its two texts, which the debug grid's click sets.
  Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance("Variable#") + 4);
  Edit1 = new QLineEdit("0", this);
  Edit1->setObjectName("Edit1");
  Label2 = new QLabel("Data:", this);
  Edit2 = new QLineEdit("0", this);
  Edit2->setObjectName("Edit2");
  auto* fields = new QGridLayout;
  fields->addWidget(Label1, 0, 0);
  fields->addWidget(Edit1, 0, 1);
  fields->addWidget(gui::UpDown(this, Edit1, 0, 63, UpDown1Up, UpDown1Down), 0, 2);
  fields->addWidget(Label2, 1, 0);
  fields->addWidget(Edit2, 1, 1);
  fields->addWidget(gui::UpDown(this, Edit2, 0, 32000, UpDown2Up, UpDown2Down), 1, 2);

  BitBtn1 = new QPushButton("OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton("Cancel", this);
  BitBtn2->setObjectName("BitBtn2");
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
}

void TForm32::ShowFor(bool variable, int number) {
  kind_ = variable ? 0 : 1;
  Label1->setText(variable ? "Variable#" : "Timer#");
  Edit1->setText(QString::number(number));
  Edit2->setText("0");
  show();
  raise();
}

void TForm32::BitBtn1Click() {
  if (!engine_.RequestAllowed(controller::RequestKind::ChangeData,
                              engine_.ChangeDataRequest != controller::NoChangeData))
    return;
  const std::string refused = controller::PostChangeData(engine_, platform::FromQString(Edit1->text()).value_or(""),
                                                         platform::FromQString(Edit2->text()).value_or(""), kind_);
  if (!refused.empty()) {
    platform::Ui().ShowMessage(refused);
    return;
  }
  hide();
}

void TForm32::BitBtn2Click() { hide(); }
